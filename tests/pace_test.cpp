// Frame pacing on a clock of the test's own: when frames start, what a late frame does,
// and that the tick keeps coming during long waits.
#include <gtest/gtest.h>

#include <vector>

#include "intro/pace.h"

namespace {

int64_t fake_now;
std::vector<int64_t> sleeps;

int64_t fake_clock() {
    return fake_now;
}
void fake_sleep(int64_t ns) {
    sleeps.push_back(ns);
    fake_now += ns;
}

constexpr int64_t ms = 1'000'000;

// A pacer on the fake clock, which stands at `now` with no sleeps yet.
Pacer fake_pacer(int64_t now) {
    fake_now = now;
    sleeps.clear();
    Pacer p{};
    p.clock = fake_clock;
    p.sleep = fake_sleep;
    return p;
}

// Starts of the frames when each takes the given time to make.
std::vector<int64_t> frame_starts(int32_t num, int32_t den, const std::vector<int64_t> &work) {
    Pacer p = fake_pacer(1000 * ms);
    pace_start(&p, num, den);
    std::vector<int64_t> starts;
    for (int64_t w : work) {
        starts.push_back(fake_now - 1000 * ms);
        fake_now += w;
        pace_wait(&p, nullptr, nullptr);
    }
    return starts;
}

TEST(Pace, FramesStartOnTheSchedule) {
    // 50 a second: every 20 ms, however long the work under 20 ms took.
    EXPECT_EQ(frame_starts(50, 1, {1 * ms, 5 * ms, 19 * ms, 0}),
              (std::vector<int64_t>{0, 20 * ms, 40 * ms, 60 * ms}));
    // 60000/1001: 16.683 ms.
    const std::vector<int64_t> s = frame_starts(60000, 1001, {ms, ms, ms});
    EXPECT_EQ(s[1], 16'683'333);
    EXPECT_EQ(s[2], 2 * 16'683'333);
}

TEST(Pace, ALateFrameMovesTheScheduleOnWithoutABurst) {
    // The second frame stalls for 75 ms: the third starts at once when it ends, and the
    // ones after keep 20 ms apart from there.
    EXPECT_EQ(frame_starts(50, 1, {ms, 75 * ms, ms, ms, ms}),
              (std::vector<int64_t>{0, 20 * ms, 95 * ms, 115 * ms, 135 * ms}));
    // A frame exactly on time does not wait.
    EXPECT_EQ(frame_starts(50, 1, {20 * ms, 20 * ms}), (std::vector<int64_t>{0, 20 * ms}));
}

TEST(Pace, LongWaitsSleepInSlicesWithATickBetween) {
    Pacer p = fake_pacer(0);
    pace_start(&p, 1, 1); // a frame a second
    fake_now += 3 * ms;
    int ticks = 0;
    pace_wait(
        &p,
        [](void *n) {
            ++*static_cast<int *>(n);
            return true;
        },
        &ticks);
    EXPECT_EQ(fake_now, 1000 * ms);
    for (int64_t s : sleeps) EXPECT_LE(s, pace_slice_ns);
    EXPECT_EQ(sleeps.size(), 100u);           // 97 ms in whole slices, then the last 0 to 10 ms
    EXPECT_EQ(ticks, int(sleeps.size()) - 1); // after every slice but the last
}

// A tick that says stop ends a long wait after its slice; the frame after keeps the old
// schedule.
TEST(Pace, ATickCanEndTheWait) {
    Pacer p = fake_pacer(0);
    pace_start(&p, 1, 1);
    int ticks_left = 3;
    pace_wait(
        &p, [](void *n) { return --*static_cast<int *>(n) > 0; }, &ticks_left);
    EXPECT_EQ(ticks_left, 0);
    EXPECT_EQ(fake_now, 3 * pace_slice_ns);
    pace_wait(&p, nullptr, nullptr);
    EXPECT_EQ(fake_now, 2000 * ms);
}

TEST(Pace, RealClockSleepsRatherThanSpins) {
    Pacer p{};
    pace_start(&p, 100, 1);
    const int64_t start = pace_clock();
    const clock_t cpu = clock();
    for (int i = 0; i < 10; i++) pace_wait(&p, nullptr, nullptr);
    const int64_t took = pace_clock() - start;
    EXPECT_GE(took, 95 * ms);
    // Sleeping costs next to no processor time; spinning would cost all 100 ms.
    EXPECT_LT(double(clock() - cpu) / CLOCKS_PER_SEC, 0.05);
}

} // namespace
