#include <gtest/gtest.h>

#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/sdlsnd.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

SampleBuffer *make(std::initializer_list<int32_t> values) {
    SampleBuffer *b = smp_new();
    for (int32_t v : values) smp_insert(b, v, b->length);
    return b;
}

// A record as snd_new leaves it, without the audio device: the callback is driven by hand.
class Callback : public ::testing::Test {
  protected:
    Sound s{};
    std::vector<SampleBuffer *> buffers;
    void SetUp() override {
        s.queue = arr_new();
        s.sign = 's';
        s.order = 'l';
    }
    void TearDown() override {
        arr_free(&s.queue);
        for (SampleBuffer *b : buffers) smp_free(&b);
    }
    SampleBuffer *queue(std::initializer_list<int32_t> values) {
        SampleBuffer *b = make(values);
        buffers.push_back(b);
        snd_queue(&s, b);
        return b;
    }
    // Runs the callback on len bytes that start out as 0xAA, to show what was not written.
    Bytes play(int len) {
        Bytes out(len, 0xAA);
        snd_callback(&s, out.data(), len);
        return out;
    }
};

TEST_F(Callback, EmptyQueueWritesNothing) {
    s.position = 5;
    EXPECT_EQ(play(6), Bytes(6, 0xAA));
    EXPECT_EQ(s.position, 5);
    arr_free(&s.queue);
    EXPECT_EQ(play(6), Bytes(6, 0xAA));
    Bytes out(4, 0xAA);
    snd_callback(nullptr, out.data(), 4);
    queue({1});
    snd_callback(&s, nullptr, 4);
    snd_callback(&s, out.data(), 0);
    snd_callback(&s, out.data(), -2);
    EXPECT_EQ(out, Bytes(4, 0xAA));
}

TEST_F(Callback, WritesLow16BitsLittleEndianAndDropsTheFinishedBuffer) {
    SampleBuffer *b = queue({1, -1, 74565});
    EXPECT_EQ(play(8), (Bytes{0x01, 0x00, 0xFF, 0xFF, 0x45, 0x23, 0xAA, 0xAA}));
    EXPECT_EQ(s.queue->count, 0);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(snd_is_queued(&s, b), 0);
    EXPECT_EQ(smp_get(b, 2), 74565); // dropped, not released
}

TEST_F(Callback, BuffersPlayBackToBackInQueueOrder) {
    queue({1, 2});
    queue({3, 4});
    EXPECT_EQ(play(8), (Bytes{1, 0, 2, 0, 3, 0, 4, 0}));
    EXPECT_EQ(s.queue->count, 0);
}

TEST_F(Callback, PlaybackContinuesAcrossCalls) {
    SampleBuffer *a = queue({10, 11, 12, 13, 14});
    SampleBuffer *b = queue({20});
    EXPECT_EQ(play(4), (Bytes{10, 0, 11, 0}));
    EXPECT_EQ(s.position, 2);
    EXPECT_EQ(snd_is_queued(&s, a), 1);
    EXPECT_EQ(play(7), (Bytes{12, 0, 13, 0, 14, 0, 0xAA})); // 7 bytes: 3 samples
    EXPECT_EQ(snd_is_queued(&s, a), 0);
    EXPECT_EQ(snd_is_queued(&s, b), 1);
    EXPECT_EQ(play(4), (Bytes{20, 0, 0xAA, 0xAA}));
    EXPECT_EQ(snd_is_queued(&s, b), 0);
}

TEST_F(Callback, SilencedWritesZerosAndKeepsTheQueue) {
    SampleBuffer *a = queue({5, 6, 7});
    EXPECT_EQ(play(2), (Bytes{5, 0}));
    snd_set_silenced(&s, 1);
    EXPECT_EQ(s.silenced, 1);
    EXPECT_EQ(play(6), Bytes(6, 0));
    EXPECT_EQ(s.position, 1);
    EXPECT_EQ(snd_is_queued(&s, a), 1);
    snd_set_silenced(&s, 0);
    EXPECT_EQ(play(4), (Bytes{6, 0, 7, 0}));
}

TEST_F(Callback, BufferQueuedAfterTheQueueRanEmptyStartsAtItsFirstSample) {
    queue({1, 2});
    EXPECT_EQ(play(6), (Bytes{1, 0, 2, 0, 0xAA, 0xAA}));
    EXPECT_EQ(play(2), (Bytes{0xAA, 0xAA}));
    queue({0x0102, 0x0304});
    EXPECT_EQ(play(4), (Bytes{2, 1, 4, 3}));
}

TEST_F(Callback, EmptyBuffersAreSkipped) {
    SampleBuffer *empty = queue({});
    queue({7});
    EXPECT_EQ(play(4), (Bytes{7, 0, 0xAA, 0xAA}));
    EXPECT_EQ(snd_is_queued(&s, empty), 0);
    queue({});
    EXPECT_EQ(play(2), (Bytes{0xAA, 0xAA}));
    EXPECT_EQ(s.queue->count, 0);
}

TEST_F(Callback, BufferQueuedTwiceCountsUntilItsLastTurn) {
    SampleBuffer *a = queue({1});
    snd_queue(&s, a);
    EXPECT_EQ(play(2), (Bytes{1, 0}));
    EXPECT_EQ(snd_is_queued(&s, a), 1);
    EXPECT_EQ(play(2), (Bytes{1, 0}));
    EXPECT_EQ(snd_is_queued(&s, a), 0);
}

TEST(SdlSnd, QueueAndPlaceholders) {
    Sound s{};
    SampleBuffer *b = make({1});
    snd_queue(&s, b); // makes the queue when there is none
    ASSERT_NE(s.queue, nullptr);
    EXPECT_EQ(arr_get(s.queue, 0), reinterpret_cast<intptr_t>(b));
    snd_queue(&s, nullptr);
    snd_queue(nullptr, b);
    EXPECT_EQ(s.queue->count, 1);
    EXPECT_EQ(snd_is_queued(&s, nullptr), 0);
    EXPECT_EQ(snd_is_queued(nullptr, b), 0);
    EXPECT_STREQ(snd_to_text(&s), "");
    EXPECT_EQ(snd_to_text(nullptr), nullptr);
    EXPECT_EQ(snd_from_text(""), nullptr);
    EXPECT_EQ(snd_copy(&s), nullptr);
    EXPECT_EQ(snd_equal(&s, &s), 1);
    EXPECT_EQ(snd_equal(&s, nullptr), 0);
    arr_free(&s.queue);
    smp_free(&b);
    snd_free(nullptr);
}

// Opens the device with the given audio driver; an earlier test in this process may have
// left SDL's audio set up with another one.
Sound *open_with(const char *driver) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", driver, 1);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return snd_new();
}

TEST(SdlSnd, ReleaseLeavesQueuedBuffersAlone) {
    Sound *s = open_with("dummy");
    ASSERT_NE(s, nullptr) << SDL_GetError();
    EXPECT_EQ(s->frequency, 44100);
    EXPECT_EQ(s->depth, 16);
    EXPECT_EQ(s->sign, 's');
    EXPECT_EQ(s->order, 'l');
    EXPECT_EQ(s->silenced, 0);
    EXPECT_EQ(snd_new(), nullptr); // the device is taken
    snd_set_silenced(s, 1);
    SampleBuffer *b = make({1, 2, 3});
    snd_queue(s, b);
    snd_free(&s);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(smp_get(b, 2), 3);
    smp_free(&b);
}

// Index of the first place at or after from where needle appears in hay, each sample within
// slack of its value, or -1.
long find_run(const std::vector<int16_t> &hay, const std::vector<int16_t> &needle, size_t from,
              int slack) {
    auto near = [slack](int16_t a, int16_t b) { return std::abs(a - b) <= slack; };
    for (size_t i = from; i + needle.size() <= hay.size(); i++)
        if (std::equal(needle.begin(), needle.end(), hay.begin() + i, near))
            return static_cast<long>(i);
    return -1;
}

TEST(SdlSnd, PlaysQueuedBuffersThroughTheDiskDriver) {
    char tmpl[] = "/tmp/klov-snd-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    const std::string out = (dir / "out.raw").string();
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    Sound *s = open_with("disk");
    ASSERT_NE(s, nullptr) << SDL_GetError();

    // Two buffers of distinct, non-silent samples; the second is longer than one device
    // buffer of 4096 samples, and some samples leave the 16-bit range.
    SampleBuffer *a = smp_new();
    SampleBuffer *b = smp_new();
    std::vector<int16_t> expect_a, expect_b;
    for (int i = 0; i < 3000; i++) {
        smp_insert(a, i * 7 + 1, a->length);
        expect_a.push_back(static_cast<int16_t>(i * 7 + 1));
    }
    for (int i = 0; i < 5000; i++) {
        const int32_t v = -(i * 13 + 3) * 3;
        smp_insert(b, v, b->length);
        expect_b.push_back(static_cast<int16_t>(v));
    }
    snd_queue(s, a);
    snd_queue(s, b);
    for (int waited = 0; snd_is_queued(s, a) || snd_is_queued(s, b); waited += 10) {
        ASSERT_LT(waited, 20000) << "the buffers were not played";
        SDL_Delay(10);
    }
    snd_free(&s);
    EXPECT_EQ(s, nullptr);
    SDL_QuitSubSystem(SDL_INIT_AUDIO); // some SDLs finish the file only here

    std::ifstream in(out, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> written;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        written.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    // SDL turns the mono stream into the device's own channel count, which it does not
    // report when no obtained format is asked for: the layout whose first channel holds the
    // samples is the device's, and every other channel must repeat them. A device that
    // takes the stream as it is gets the exact words; a conversion (made in floating point
    // by some SDLs) may round a sample by one step.
    long at_a = -1;
    size_t channels = 0;
    std::vector<int16_t> first;
    for (size_t c : {1, 2, 4, 6}) {
        first.clear();
        for (size_t i = 0; i + c <= written.size(); i += c) first.push_back(written[i]);
        at_a = find_run(first, expect_a, 0, c == 1 ? 0 : 1);
        if (at_a >= 0) {
            channels = c;
            break;
        }
    }
    ASSERT_GE(at_a, 0) << "first buffer not found in " << written.size() << " samples";
    const int slack = channels == 1 ? 0 : 1;
    const long at_b = find_run(first, expect_b, at_a + expect_a.size(), slack);
    EXPECT_GE(at_b, 0) << "second buffer not found after the first";
    const size_t end = (at_a + expect_a.size()) * channels;
    for (size_t i = at_a * channels; i < end; i++)
        ASSERT_EQ(written[i], written[i - i % channels]) << "channel " << i % channels;
    smp_free(&a);
    smp_free(&b);
    fs::remove_all(dir);
}

} // namespace
