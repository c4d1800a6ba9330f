// The scene, frame by frame, composed in process without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "effects/font.h"
#include "effects/scroll.h"
#include "intro/intro.h"
#include "intro/intro_bars.h"
#include "intro/intro_effects.h"
#include "intro/intro_scene.h"
#include "intro/scroll_text.h"
#include "intro/sine_table.h"
#include "tests/golden_frames.h"
#include "tests/intro_fixture.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

constexpr int W = 640, H = 480;
constexpr int draws_per_frame = 4 * 10001 + 3 * 11;

struct Dot {
    int32_t x, y;
    uint32_t grey;
};

// The noise dots of frame f, from the unseeded random sequence: each frame draws the
// shuffle's 40,004 numbers, then three for each of the eleven dots. The sequence is put
// back where frame f + 1 begins.
std::vector<Dot> dots_of_frame(int f) {
    srand(1);
    for (int64_t i = 0; i < int64_t{draws_per_frame} * f + 4 * 10001; i++) rand();
    std::vector<Dot> dots;
    for (int i = 0; i < 11; i++) {
        const int32_t x = rand() % W;
        const int32_t y = rand() % H;
        dots.push_back({x, y, static_cast<uint32_t>(rand() % 255) * 0x010101});
    }
    return dots;
}

// floor(sine(phase) * amplitude / 65536): where a rainbow column's left edge goes.
int32_t rainbow_x(int32_t phase, int32_t amplitude, int32_t rainbow_width) {
    const int64_t p = int64_t{sine_table[phase]} * amplitude;
    int64_t q = p / 65536;
    if (q * 65536 > p) q--;
    return static_cast<int32_t>((W - rainbow_width) / 2 + q);
}

// A channel-wise sum that stops at 0xFF, to tell where the word sum carried.
uint32_t saturated(uint32_t a, uint32_t b) {
    uint32_t r = 0;
    for (int s = 0; s <= 16; s += 8)
        r |= std::min<uint32_t>(((a >> s) & 0xFF) + ((b >> s) & 0xFF), 0xFF) << s;
    return r;
}

class SceneTest : public testing::Test {
  protected:
    DataFolder folder;
    int frame_number = 0;

    void SetUp() override {
        reset_intro_state();
        screen = img_new();
        img_resize(screen, W, H);
        ASSERT_EQ(intro_scene_start(), 1);
        intro_scene_setup();
        ASSERT_NE(scaled_logo, nullptr);
        ASSERT_NE(intro_scroller, nullptr);
    }
    void TearDown() override {
        intro_scene_release_frame();
        intro_scene_release();
        img_free(&screen);
        reset_intro_state();
    }
    // One frame as the frame cycle runs it (the present aside), with a key held.
    void frame(int8_t key = 0) {
        intro_scene_compose();
        intro_scene_after_present();
        intro_key(key);
        frame_number++;
    }
    // Whether the sprites show in screen where the phases put them: 1 when every pixel of
    // theirs that is on the screen (the upper sprite where two overlap) shows, 0 when at
    // most half of them do, -1 for anything between.
    int sprites_show(const int32_t phase[4]) const {
        int32_t sx[4], sy[4];
        for (int n = 0; n < 4; n++) {
            auto term = [&](int t) {
                return (int64_t{sine_table[(sprite_spacing[t] * n + phase[t]) % 1024]} *
                        sprite_amplitude[t]) >>
                       15;
            };
            sx[n] = int32_t((W - sprite_images[n]->width) / 2 + term(0) + term(1));
            sy[n] = int32_t((H - sprite_images[n]->height) / 2 + term(2) + term(3));
        }
        int shown = 0, total = 0;
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++)
                for (int n = 0; n < 4; n++)
                    if (uint32_t p = img_get(sprite_images[n], x - sx[n], y - sy[n])) {
                        total++;
                        shown += img_get(screen, x, y) == p;
                        break;
                    }
        if (total > 0 && shown == total) return 1;
        return shown <= total / 2 ? 0 : -1;
    }
    // Composes one frame with the key and tells whether the sprites showed in it.
    int frame_shows_sprites(int8_t key = 0) {
        int32_t phase[4];
        std::copy(sprite_phase, sprite_phase + 4, phase);
        intro_scene_compose();
        const int shows = sprites_show(phase);
        intro_scene_after_present();
        intro_key(key);
        frame_number++;
        return shows;
    }
};

TEST_F(SceneTest, SetUpMakesTheWorkingImagesAndTheScroller) {
    EXPECT_EQ(swing_a.amplitude, 640);
    EXPECT_EQ(swing_b.amplitude, 960);
    const struct {
        const Image *img;
        int32_t w, h;
    } sizes[] = {{scaled_logo, 640, 240},
                 {scaled_year, 106, 120},
                 {scaled_rainbow, 320, 480},
                 {raster_strip, 640, 8},
                 {text_strip, 640, 8}};
    for (auto s : sizes) {
        ASSERT_NE(s.img, nullptr);
        EXPECT_EQ(s.img->width, s.w);
        EXPECT_EQ(s.img->height, s.h);
    }
    EXPECT_EQ(intro_scroller->x, 0);
    EXPECT_EQ(intro_scroller->y, 0);
    EXPECT_EQ(intro_scroller->width, 640);
    EXPECT_EQ(intro_scroller->speed, 1);
    EXPECT_EQ(intro_scroller->text, scroll_text);
    EXPECT_EQ(intro_scroller->font, intro_font);
    EXPECT_EQ(intro_scroller->target, text_strip);
    EXPECT_EQ(intro_font->cell_width, 8);
    EXPECT_EQ(intro_font->cell_height, 8);
    // From the first letter's size, 80 x 88.
    EXPECT_EQ(sprite_amplitude[0], 280);
    EXPECT_EQ(sprite_amplitude[1], 280);
    EXPECT_EQ(sprite_amplitude[2], 196);
    EXPECT_EQ(sprite_amplitude[3], 196);
}

TEST_F(SceneTest, TheLogoKeepsItsOutlineWhileItsColoursMove) {
    Image *start = img_copy(scaled_logo);
    auto colours = [](const Image *img) {
        std::vector<uint32_t> c(img->pixels, img->pixels + img->width * img->height);
        std::sort(c.begin(), c.end());
        return c;
    };
    auto moved = [&] {
        int n = 0;
        for (int32_t i = 0; i < start->width * start->height; i++) {
            EXPECT_EQ(start->pixels[i] == 0, scaled_logo->pixels[i] == 0) << "pixel " << i;
            n += start->pixels[i] != scaled_logo->pixels[i];
        }
        return n;
    };
    frame();
    const int after_one = moved();
    EXPECT_GT(after_one, 1000);
    EXPECT_EQ(colours(start), colours(scaled_logo));
    for (int i = 0; i < 9; i++) frame();
    EXPECT_GT(moved(), after_one) << "the shuffle works on its own result, frame after frame";
    EXPECT_EQ(colours(start), colours(scaled_logo));
    img_free(&start);
}

// Above the text line, a frame is: the noise dots, the logo at (0, 96) and the year at
// (480, 320) over them where they are not 0, and the two rainbow columns added on top.
TEST_F(SceneTest, EachFrameShowsDotsLogoYearAndRainbowsInTheirPlaces) {
    const int checked[] = {0, 1, 2, 37, 64, 150};
    int carries = 0, eleventh_dot_seen = 0;
    for (int f : checked) {
        while (frame_number < f) frame();
        const int32_t phase_a = swing_a.phase, phase_b = swing_b.phase;
        EXPECT_EQ(phase_a, 13 * f % 1024);
        EXPECT_EQ(phase_b, (233 + 17 * f) % 1024);
        intro_scene_compose();
        const std::vector<Dot> dots = dots_of_frame(f);
        std::vector<uint32_t> base(W * 472, 0);
        for (const Dot &d : dots)
            if (d.y < 472) base[d.y * W + d.x] = d.grey;
        std::vector<uint32_t> before_logo = base;
        for (int32_t y = 0; y < 240; y++)
            for (int32_t x = 0; x < W; x++)
                if (uint32_t p = img_get(scaled_logo, x, y)) base[(96 + y) * W + x] = p;
        for (int32_t y = 0; y < 120; y++)
            for (int32_t x = 0; x < 106; x++)
                if (uint32_t p = img_get(scaled_year, x, y)) base[(320 + y) * W + 480 + x] = p;
        const Dot &last = dots[10];
        eleventh_dot_seen += last.y < 472 && last.grey != 0 &&
                             base[last.y * W + last.x] == before_logo[last.y * W + last.x];
        const int32_t xa = rainbow_x(phase_a, 640, 320), xb = rainbow_x(phase_b, 960, 320);
        int wrong = 0;
        for (int32_t y = 0; y < 472; y++)
            for (int32_t x = 0; x < W; x++) {
                const uint32_t a = img_get(scaled_rainbow, x - xa, y);
                const uint32_t b = img_get(scaled_rainbow, x - xb, y);
                const uint32_t want = base[y * W + x] + a + b;
                carries += want != saturated(saturated(base[y * W + x], a), b);
                if (img_get(screen, x, y) != want && wrong++ < 5)
                    ADD_FAILURE() << "frame " << f << " (" << x << ", " << y << "): " << std::hex
                                  << img_get(screen, x, y) << " instead of " << want;
            }
        EXPECT_EQ(wrong, 0) << "frame " << f;
        intro_scene_after_present();
        frame_number++;
    }
    // The frames looked at do show what they are meant to show.
    EXPECT_GT(carries, 100);
    EXPECT_GT(eleventh_dot_seen, 0);
}

TEST_F(SceneTest, TheTextScrollsInFromTheRightEdgeInTheBarColours) {
    const Image *sheet = intro_font->sheet;
    ASSERT_NE(sheet, nullptr);
    const int length = static_cast<int>(strlen(scroll_text));
    // At speed 1, frame f shows the text from its pixel f at the strip's left edge.
    auto expect_text_of_frame = [&](int f) {
        int ink = 0, leftmost = W, wrong = 0;
        for (int32_t x = 0; x < W; x++) {
            const int p = f + x;
            const int code = scroll_text[p / 8 % length];
            const int32_t k = code * 8;
            for (int32_t y = 0; y < 8; y++) {
                const bool want =
                    img_get(sheet, k % sheet->width + p % 8, k / sheet->width * 8 + y);
                const bool shown = img_get(text_strip, x, y) != 0;
                if (shown != want && wrong++ < 5)
                    ADD_FAILURE() << "frame " << f << " (" << x << ", " << y << ") of '"
                                  << char(code) << "': " << (shown ? "ink" : "no ink");
                if (shown) ink++, leftmost = std::min(leftmost, int(x));
            }
        }
        EXPECT_EQ(wrong, 0) << "frame " << f;
        return std::pair(ink, leftmost);
    };
    const int checked[] = {0, 1, 2, 8, 241, 242, 355, 359, 360, 365};
    for (int f : checked) {
        while (frame_number < f) frame();
        intro_scene_compose();
        const auto [ink, leftmost] = expect_text_of_frame(f);
        if (f == 0) {
            EXPECT_EQ(ink, 0) << "the first frame shows no text";
        } else if (f <= 8) {
            EXPECT_GT(ink, 0) << "frame " << f;
            EXPECT_GE(leftmost, W - f) << "frame " << f << ": text away from the right edge";
        } else {
            EXPECT_GT(ink, 200) << "frame " << f;
        }
        for (int32_t i = 0; i < 8; i++) {
            const uint32_t colour = bar_colours[(f + i) % 120];
            for (int32_t x = 0; x < W; x++) {
                const uint32_t t = img_get(text_strip, x, i);
                if (!t) continue;
                ASSERT_EQ(t, colour) << "frame " << f << " row " << i;
                ASSERT_EQ(img_get(screen, x, 472 + i), colour) << "frame " << f << " row " << i;
            }
        }
        intro_scene_after_present();
        frame_number++;
    }
}

TEST_F(SceneTest, SpritesAreHiddenAtTheStartAndTheKeysToggleThem) {
    // Each step: the key held in one frame, and whether the next frame shows the sprites. A
    // toggle acts in the frame its key goes down.
    const struct {
        int8_t key;
        bool next_shows;
    } steps[] = {
        {0, false},   {0, false},                 // hidden at the start
        {' ', true},  {0, true},    {' ', false}, // space once shows them, once more hides them
        {0, false},   {' ', true},  {' ', true},  // held for two frames: one press, shown
        {'3', true},  {' ', true},  {' ', true},  // 3 keeps them on while space goes off
        {'3', false},                             // all off
        {'6', true},  {'6', true},  {0, true},    // 6 toggles the same value as space
        {'6', false},                             // once a press
        {'7', true},  {' ', true},  {'7', true},  {'6', false},
        {'q', false}, {'o', false}, {'p', false}, {'2', false},
    };
    int shows = 0;
    for (auto s : steps) {
        EXPECT_EQ(frame_shows_sprites(s.key), shows) << "frame " << frame_number;
        shows = s.next_shows;
    }
    EXPECT_EQ(frame_shows_sprites(), shows);
}

TEST_F(SceneTest, HeldOAndPChangeTheSpeedByOneAFrame) {
    for (int i = 1; i <= 10; i++) {
        frame('p');
        EXPECT_EQ(intro_scroller->speed, 1 + i);
    }
    for (int i = 1; i <= 12; i++) {
        frame('o');
        EXPECT_EQ(intro_scroller->speed, 11 - i);
    }
    ASSERT_EQ(intro_scroller->speed, -1);
    // Now the text runs the other way: one pixel to the right each frame.
    intro_scene_compose();
    std::vector<bool> before(W);
    for (int32_t x = 0; x < W; x++) before[x] = img_get(text_strip, x, 3) != 0;
    intro_scene_after_present();
    intro_scene_compose();
    for (int32_t x = 1; x < W; x++)
        ASSERT_EQ(img_get(text_strip, x, 3) != 0, before[x - 1]) << "column " << x;
    intro_scene_after_present();
}

// The run of tests/golden_frames.h.
std::vector<uint64_t> scripted_run() {
    std::vector<uint64_t> hashes;
    for (int f = 0; f <= 300; f++) {
        intro_scene_compose();
        hashes.push_back(fnv1a(screen));
        intro_scene_after_present();
        int8_t key = 0;
        if (f == 5) key = ' ';
        if (f >= 10 && f <= 14) key = 'p';
        if (f == 100) key = '7';
        if (f == 200 || f == 201) key = 'o';
        intro_key(key);
    }
    return hashes;
}

TEST_F(SceneTest, TwoRunsWithTheSameKeysGiveTheSameFrames) {
    const std::vector<uint64_t> first = scripted_run();
    EXPECT_EQ(intro_scroller->speed, 4);
    EXPECT_EQ(sprite_flags, 6);
    TearDown();
    SetUp();
    const std::vector<uint64_t> second = scripted_run();
    ASSERT_EQ(first.size(), second.size());
    for (size_t f = 0; f < first.size(); f++) ASSERT_EQ(first[f], second[f]) << "frame " << f;
    std::set<uint64_t> distinct(first.begin(), first.end());
    EXPECT_EQ(distinct.size(), first.size()) << "every frame differs from every other";
    EXPECT_EQ(first[0], golden_frame_0) << std::hex << first[0];
    EXPECT_EQ(first[1], golden_frame_1) << std::hex << first[1];
    EXPECT_EQ(first[300], golden_frame_300) << std::hex << first[300];
}

// Start-up with a file missing or unreadable.
class SceneFilesTest : public testing::Test {
  protected:
    DataFolder folder;
    void SetUp() override {
        reset_intro_state();
        screen = img_new();
        img_resize(screen, W, H);
    }
    void TearDown() override {
        img_free(&screen);
        reset_intro_state();
    }
};

TEST_F(SceneFilesTest, ARequiredPictureThatCannotBeReadStopsTheStartWithOneLine) {
    const char *const required[] = {"K.ppm", "klov-tamblor.ppm", "klov-2008.ppm",
                                    "klov-rainbow.ppm"};
    for (const char *file : required)
        for (bool truncated : {false}) {
            folder.remove(file);
            if (truncated) {
                // A header without a size.
                FILE *f = fopen(file, "w");
                ASSERT_NE(f, nullptr);
                fputs("P6\n", f);
                fclose(f);
            }
            CaptureStdout();
            CaptureStderr();
            EXPECT_EQ(intro_scene_start(), 0) << file;
            EXPECT_EQ(GetCapturedStderr(), std::string("Could not read picture: ") + file + "\n");
            EXPECT_EQ(GetCapturedStdout(), "IMG error\n") << file;
            // All given back; the release that start-up's caller makes says nothing more.
            for (const Image *s : sprite_images) EXPECT_EQ(s, nullptr);
            EXPECT_EQ(intro_font, nullptr);
            EXPECT_EQ(logo_image, nullptr);
            EXPECT_EQ(year_image, nullptr);
            EXPECT_EQ(rainbow_image, nullptr);
            CaptureStdout();
            intro_scene_release();
            EXPECT_EQ(GetCapturedStdout(), "");
            folder.copy(file);
        }
}

// The font and the letters L, O and V can be missing: the intro runs without them, after a
// line that names the file.
TEST_F(SceneFilesTest, AMissingFontLeavesTheTextLineEmpty) {
    folder.remove("font8x8.pbm");
    CaptureStdout();
    CaptureStderr();
    ASSERT_EQ(intro_scene_start(), 1);
    EXPECT_EQ(GetCapturedStderr(), "Could not read picture: font8x8.pbm\n");
    EXPECT_EQ(GetCapturedStdout(), "IMG error\n");
    intro_scene_setup();
    CaptureStdout();
    for (int f = 0; f < 20; f++) {
        intro_scene_compose();
        for (int32_t i = 0; i < W * 8; i++) ASSERT_EQ(text_strip->pixels[i], 0u);
        intro_scene_after_present();
    }
    intro_scene_release_frame();
    intro_scene_release();
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(SceneFilesTest, AMissingLetterHidesTheSpritesAndIsReportedAgainAtTheRelease) {
    for (const char *file : {"L.ppm", "O.ppm", "V.ppm"}) {
        reset_intro_state();
        folder.remove(file);
        CaptureStdout();
        CaptureStderr();
        ASSERT_EQ(intro_scene_start(), 1);
        EXPECT_EQ(GetCapturedStderr(), std::string("Could not read picture: ") + file + "\n");
        EXPECT_EQ(GetCapturedStdout(), "IMG error\n");
        intro_scene_setup();
        const Image *k = sprite_images[0];
        ASSERT_NE(k, nullptr);
        sprite_flags = 2;
        // Sprite 0 would stand at the centre in the first frame; the screen shows what
        // lies under it instead.
        intro_scene_compose();
        int kept = 0;
        for (int32_t y = 0; y < k->height; y++)
            for (int32_t x = 0; x < k->width; x++)
                kept += img_get(k, x, y) && img_get(screen, (W - k->width) / 2 + x,
                                                    (H - k->height) / 2 + y) == img_get(k, x, y);
        EXPECT_LT(kept, 100) << file;
        intro_scene_release_frame();
        CaptureStdout();
        intro_scene_release();
        EXPECT_EQ(GetCapturedStdout(), "IMG error\n") << file;
        folder.copy(file);
    }
}

// A picture wider or taller than the intro could ever use is refused with its name as soon
// as its header says so, before a pixel is read (nothing from the image library then), even
// behind a long comment. Without the font or a letter the intro goes on; without another
// picture it stops.
TEST_F(SceneFilesTest, APictureOverTheLargestSizeIsRefusedWithItsName) {
    // A binary picture of the given size with every pixel there, behind the given comment.
    auto full = [](int w, int h, const std::string &comment) {
        return "P6\n" + comment + std::to_string(w) + " " + std::to_string(h) + "\n255\n" +
               std::string(size_t(w) * h * 3, '\x40');
    };
    const std::string long_comment = "# " + std::string(5000, 'c') + "\n";
    const struct {
        const char *file;
        std::string bytes;
        bool starts; // the intro goes on without it
    } cases[] = {
        {"K.ppm", "P6\n4097 16\n255\n", false},
        {"klov-rainbow.ppm", "P3\n# big\n16 99999999999999999999\n255\n", false},
        {"V.ppm", "P6 5000 5000 255\n", true},
        {"font8x8.pbm", "P4\n4104 8\n", true},
        {"O.ppm", full(4097, 1, long_comment), true},
        {"klov-2008.ppm", full(1, 4097, long_comment), false},
    };
    for (const auto &c : cases) {
        reset_intro_state();
        std::ofstream(c.file, std::ios::binary) << c.bytes;
        CaptureStdout();
        CaptureStderr();
        EXPECT_EQ(intro_scene_start(), c.starts ? 1 : 0) << c.file;
        EXPECT_EQ(GetCapturedStderr(), std::string("Picture too large: ") + c.file +
                                           " (wider or taller than 4096 pixels)\n");
        EXPECT_EQ(GetCapturedStdout(), "") << c.file;
        EXPECT_EQ(logo_image != nullptr, c.starts) << c.file;
        CaptureStdout();
        intro_scene_release();
        GetCapturedStdout();
        folder.copy(c.file);
    }
    // 4096 pixels is not too large.
    std::ofstream("L.ppm", std::ios::binary) << full(4096, 1, "");
    std::ofstream("V.ppm", std::ios::binary) << full(1, 4096, long_comment);
    CaptureStderr();
    ASSERT_EQ(intro_scene_start(), 1);
    EXPECT_EQ(GetCapturedStderr(), "");
    ASSERT_NE(sprite_images[1], nullptr);
    EXPECT_EQ(sprite_images[1]->width, 4096);
    ASSERT_NE(sprite_images[3], nullptr);
    EXPECT_EQ(sprite_images[3]->height, 4096);
    intro_scene_release();
}

} // namespace
