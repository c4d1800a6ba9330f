// The capture's pieces in process: the per-frame sample counts, the key script's quit
// frame, the fit into the video size, the colour conversion of the .y4m, the frames and
// the music.
#include <gtest/gtest.h>
#include <mikmod.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "intro/capture.h"
#include "intro/data_dir.h"
#include "intro/frame_fit.h"
#include "intro/intro_effects.h"
#include "intro/intro_music.h"
#include "intro/key_script.h"
#include "intro/media_out.h"
#include "tests/golden_frames.h"
#include "tests/intro_fixture.h"
#include "tests/xm_fixture.h"

namespace {

TEST(CaptureSamples, EachFrameGetsItsShareAndTheRemainderIsCarried) {
    const struct {
        int32_t num, den;
        int64_t frames;    // over this many frames
        int64_t total;     // exactly this many sample frames
        int32_t low, high; // and each frame between these
    } cases[] = {
        {60, 1, 600, 480000, 800, 800},           {60000, 1001, 1000, 800800, 800, 801},
        {60000, 1001, 7, 5605, 800, 801}, // 7 x 800.8 = 5605.6, floored once at the end
        {30000, 1001, 1000, 1601600, 1601, 1602}, {25, 1, 10, 19200, 1920, 1920},
        {1000, 1, 1000, 48000, 48, 48},           {1, 1, 3, 144000, 48000, 48000},
        {7, 3, 7, 144000, 20571, 20572},
    };
    for (const auto &c : cases) {
        int64_t total = 0;
        int32_t low = INT32_MAX, high = 0;
        for (int64_t i = 0; i < c.frames; i++) {
            const int32_t n = cap_samples_in_frame(c.num, c.den, i);
            total += n;
            low = std::min(low, n);
            high = std::max(high, n);
        }
        EXPECT_EQ(total, c.total) << c.num << "/" << c.den;
        EXPECT_EQ(low, c.low) << c.num << "/" << c.den;
        EXPECT_EQ(high, c.high) << c.num << "/" << c.den;
    }
    // Far into a long capture the sum still comes out exact.
    const int64_t far = int64_t{1} << 36;
    EXPECT_EQ(cap_samples_in_frame(60000, 1001, far), (far + 1) * 48048 / 60 - far * 48048 / 60);
}

TEST(CaptureSamples, SecondsBecomeTheNearestWholeFrameCount) {
    const struct {
        int64_t milli;
        int32_t num, den;
        int64_t frames;
    } cases[] = {
        {1000, 60, 1, 60},       {12500, 60, 1, 750},
        {1, 60, 1, 1},           {10000, 60000, 1001, 599}, // 599.4
        {1000, 30000, 1001, 30},                            // 29.97
        {8, 60, 1, 1}, // 0.48 rounds to 0, but a capture has a frame
    };
    for (const auto &c : cases)
        EXPECT_EQ(cap_frames_in(c.milli, c.num, c.den), c.frames) << c.milli << " ms";
}

TEST(CaptureKeys, AQuitKeyEndsTheCaptureInTheFirstFrameItIsHeld) {
    const struct {
        const char *script;
        int64_t frame;
    } cases[] = {
        {"600:space,1800-1860:p", -1},
        {"100-200:q", 100},
        {"600:space,300:escape,200-400:Q", 200},
        {"10-20:q,5-30:p", -1}, // P written later covers it
        {"10-20:q,5-15:p", 16}, // Q shows after P's hold ends
        {"0:esc", 0},
    };
    for (const auto &c : cases) {
        KeyScript s;
        char why[120];
        ASSERT_TRUE(keys_parse(&s, c.script, why, sizeof why)) << c.script << ": " << why;
        EXPECT_EQ(cap_quit_frame(&s), c.frame) << c.script;
    }
}

TEST(FrameFit, TheLargest43SizeThatFitsIsCentredOnBlack) {
    const struct {
        int32_t w, h, x, y, inner_w, inner_h;
    } cases[] = {
        {640, 480, 0, 0, 640, 480},       {1920, 1080, 240, 0, 1440, 1080},
        {1280, 720, 160, 0, 960, 720},    {1000, 1000, 0, 125, 1000, 750},
        {320, 240, 0, 0, 320, 240},       {4, 3, 0, 0, 4, 3},
        {3840, 2160, 480, 0, 2880, 2160},
    };
    for (const auto &c : cases) {
        Fit f;
        ASSERT_TRUE(fit_plan(&f, 640, 480, c.w, c.h));
        EXPECT_EQ(f.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(f.y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(f.inner_width, c.inner_w) << c.w << "x" << c.h;
        EXPECT_EQ(f.inner_height, c.inner_h) << c.w << "x" << c.h;
        fit_free(&f);
    }
}

TEST(FrameFit, EachPixelIsItsNearestSourcePixelAndTheBarsAreBlack) {
    Image *src = img_new();
    img_resize(src, 640, 480);
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++)
            img_put(src, x, y, uint32_t(x + 1) << 10 | uint32_t(y + 1));
    for (auto size : {std::pair{1920, 1080}, std::pair{640, 480}, std::pair{500, 600}}) {
        Image *dst = img_new();
        img_resize(dst, size.first, size.second);
        for (int32_t i = 0; i < dst->width * dst->height; i++) dst->pixels[i] = 0xFFFFFF;
        Fit f;
        ASSERT_TRUE(fit_plan(&f, 640, 480, dst->width, dst->height));
        fit_draw(&f, src, dst);
        int wrong = 0;
        for (int32_t y = 0; y < dst->height; y++)
            for (int32_t x = 0; x < dst->width; x++) {
                const int32_t ix = x - f.x, iy = y - f.y;
                const bool inside = ix >= 0 && iy >= 0 && ix < f.inner_width && iy < f.inner_height;
                const uint32_t want =
                    inside ? img_get(src, ix * 640 / f.inner_width, iy * 480 / f.inner_height) : 0;
                if (img_get(dst, x, y) != want && wrong++ < 3)
                    ADD_FAILURE() << size.first << "x" << size.second << " at " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
        if (size.first == 640) {
            EXPECT_TRUE(img_equal(src, dst));
        }
        fit_free(&f);
        img_free(&dst);
    }
    img_free(&src);
}

TEST(MediaColour, PrimariesGoToTheirStudioRangeValues) {
    const struct {
        uint32_t rgb;
        int y, cb, cr;
    } cases[] = {
        {0x000000, 16, 128, 128}, {0xFFFFFF, 235, 128, 128}, {0xFF0000, 82, 90, 240},
        {0x00FF00, 145, 54, 34},  {0x0000FF, 41, 240, 110},  {0x808080, 126, 128, 128},
    };
    for (const auto &c : cases) {
        uint8_t y, cb, cr;
        media_yuv(c.rgb, &y, &cb, &cr);
        EXPECT_NEAR(y, c.y, 1) << std::hex << c.rgb;
        EXPECT_NEAR(cb, c.cb, 1) << std::hex << c.rgb;
        EXPECT_NEAR(cr, c.cr, 1) << std::hex << c.rgb;
    }
}

TEST(MediaKind, TheFileNameChoosesTheOutput) {
    EXPECT_EQ(media_kind("a.y4m"), MEDIA_Y4M);
    EXPECT_EQ(media_kind("dir.mkv/klov.MP4"), MEDIA_MP4);
    EXPECT_EQ(media_kind("/tmp/x.mkv"), MEDIA_MKV);
    EXPECT_EQ(media_kind("shot.png"), MEDIA_PNG);
    EXPECT_EQ(media_kind("klov.avi"), MEDIA_NONE);
    EXPECT_EQ(media_kind(".mkv"), MEDIA_NONE); // a hidden file with no name before it
    EXPECT_EQ(media_kind("dir.mkv/"), MEDIA_NONE);
}

class CaptureRun : public testing::Test {
  protected:
    DataFolder folder;
    Capture c{};
    void SetUp() override {
        reset_intro_state();
        data_dir.folder[0] = 0;
    }
    void TearDown() override {
        cap_release(&c);
        reset_intro_state();
    }
    // The hashes of frames 0 .. count - 1 of the screen, checking the picture is the
    // screen itself at 640 x 480.
    std::vector<uint64_t> frames(int count) {
        std::vector<uint64_t> hashes;
        for (int i = 0; i < count; i++) {
            cap_compose(&c, i);
            EXPECT_EQ(c.frame, screen) << "frame " << i;
            hashes.push_back(fnv1a(screen));
        }
        return hashes;
    }
};

// The sound is mixed before the frames (as the program does): the mixer leaves the
// picture's random sequence alone, and the frames are the intro's own.
TEST_F(CaptureRun, FramesAreTheIntrosOwnWithTheKeyScriptAndTheMusicMixedFirst) {
    folder.copy("vemlotra.xm");
    cap_init(&c, 60, 1, golden_key_script);
    ASSERT_TRUE(c.has_keys);
    ASSERT_TRUE(cap_music_start(&c));
    ASSERT_NE(music, nullptr);
    int peak = 0;
    for (int i = 0; i < 301; i++) {
        EXPECT_EQ(cap_mix(&c, i), 1);
        for (int32_t s = 0; s < 2 * c.audio_count; s++)
            peak = std::max(peak, std::abs(int{c.audio[s]}));
    }
    EXPECT_GT(peak, 1000);
    cap_music_stop(&c);
    ASSERT_TRUE(cap_scene_start(&c, 640, 480));
    const std::vector<uint64_t> h = frames(301);
    EXPECT_EQ(h[0], golden_frame_0) << std::hex << h[0];
    EXPECT_EQ(h[1], golden_frame_1) << std::hex << h[1];
    EXPECT_EQ(h[300], golden_frame_300) << std::hex << h[300];
}

TEST_F(CaptureRun, TheSpritesShowFromTheFrameOfTheirKeyOn) {
    cap_init(&c, 60, 1, nullptr);
    ASSERT_TRUE(cap_scene_start(&c, 640, 480));
    const std::vector<uint64_t> plain = frames(40);
    cap_release(&c);
    reset_intro_state();
    cap_init(&c, 60, 1, "20:space");
    ASSERT_TRUE(cap_scene_start(&c, 640, 480));
    for (int i = 0; i < 40; i++) {
        cap_compose(&c, i);
        EXPECT_EQ(sprite_flags != 0, i >= 20) << "frame " << i;
        // The letters swing off the screen at times; in frame 20 they are on it.
        if (i <= 20) {
            EXPECT_EQ(fnv1a(screen) == plain[size_t(i)], i < 20) << "frame " << i;
        }
    }
}

// A tiny tune of eight rows, a little under a second: mixed on past its end, it starts
// again at the start of the frame after the one it ended in, and plays as the first time.
TEST_F(CaptureRun, TheTuneStartsAgainAfterItsEndAsTheIntroRestartsIt) {
    ASSERT_TRUE(write_file("vemlotra.xm", tiny_xm(8, 8)));
    auto mix = [&](int32_t num, int32_t den, int count, int *end) {
        cap_init(&c, num, den, nullptr);
        EXPECT_TRUE(cap_music_start(&c));
        std::vector<int16_t> all;
        *end = -1;
        for (int i = 0; i < count; i++) {
            const int playing = cap_mix(&c, i);
            if (!playing && *end < 0) *end = i;
            EXPECT_EQ(c.audio_count, cap_samples_in_frame(num, den, i));
            all.insert(all.end(), c.audio, c.audio + 2 * c.audio_count);
        }
        cap_music_stop(&c);
        return all;
    };
    int end = -1;
    const std::vector<int16_t> a = mix(60, 1, 150, &end);
    ASSERT_GE(end, 50);
    ASSERT_LE(end, 62);
    EXPECT_EQ(a.size(), size_t{150 * 800 * 2});
    int end2 = -1;
    const std::vector<int16_t> b = mix(60, 1, 150, &end2);
    EXPECT_EQ(end2, end);
    EXPECT_TRUE(a == b) << "two runs mix the same sound";
    // The second play, from frame end + 1 on, is the first one again.
    const size_t restart = size_t(end + 1) * 800 * 2;
    const size_t play = size_t(end) * 800 * 2;
    int differ = 0, peak = 0;
    for (size_t s = 0; s < play; s++) {
        differ += a[restart + s] != a[s];
        peak = std::max(peak, std::abs(int{a[restart + s]}));
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(peak, 1000);
}

TEST_F(CaptureRun, WithoutTheTuneTheFramesAreSilent) {
    cap_init(&c, 60000, 1001, nullptr);
    ASSERT_TRUE(cap_music_start(&c));
    EXPECT_EQ(music, nullptr);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(cap_mix(&c, i), 0);
        EXPECT_EQ(c.audio_count, cap_samples_in_frame(60000, 1001, i));
        for (int32_t s = 0; s < 2 * c.audio_count; s++) ASSERT_EQ(c.audio[s], 0);
    }
}

} // namespace
