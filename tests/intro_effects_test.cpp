#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "intro/intro.h"
#include "intro/intro_effects.h"
#include "intro/sine_table.h"
#include "sdl/sdldpy.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

Image *image(int32_t w, int32_t h, uint32_t fill = 0) {
    Image *img = img_new();
    img_resize(img, w, h);
    for (int32_t i = 0; i < w * h; i++) img->pixels[i] = fill;
    return img;
}

// A 4 x 2 source whose pixel (x, y) is 0x10 * (y + 1) + x + 1, so each place is told apart.
Image *numbered_source() {
    Image *src = image(4, 2);
    for (int32_t y = 0; y < 2; y++)
        for (int32_t x = 0; x < 4; x++) img_put(src, x, y, 0x10 * (y + 1) + x + 1);
    return src;
}

std::vector<uint32_t> pixels(const Image *img) {
    return {img->pixels, img->pixels + img->width * img->height};
}

struct Placement {
    int32_t x, y;
    // The target 6 x 3 (target starts at 0x1000 everywhere), row by row.
    std::vector<uint32_t> expected;
};

const uint32_t B = 0x1000; // the target's background

// Placements of numbered_source() in a 6 x 3 target, shared by the two clipped copies.
// clang-format off
const Placement placements[] = {
    {0, 0, {B + 0x11, B + 0x12, B + 0x13, B + 0x14, B, B,
            B + 0x21, B + 0x22, B + 0x23, B + 0x24, B, B,
            B,        B,        B,        B,        B, B}},
    // Only the last source column, into target column 0.
    {-3, 1, {B,        B, B, B, B, B,
             B + 0x14, B, B, B, B, B,
             B + 0x24, B, B, B, B, B}},
    // Cut on the right and at the bottom.
    {4, 2, {B, B, B, B, B,        B,
            B, B, B, B, B,        B,
            B, B, B, B, B + 0x11, B + 0x12}},
    // Only the second source row, into target row 0.
    {1, -1, {B, B + 0x21, B + 0x22, B + 0x23, B + 0x24, B,
             B, B,        B,        B,        B,        B,
             B, B,        B,        B,        B,        B}},
    // Wholly outside: nothing at all.
    {-4, 0, std::vector<uint32_t>(18, B)},
    {6, 0, std::vector<uint32_t>(18, B)},
    {0, -2, std::vector<uint32_t>(18, B)},
    {0, 3, std::vector<uint32_t>(18, B)},
    {INT32_MIN, INT32_MIN, std::vector<uint32_t>(18, B)},
    {INT32_MAX, 0, std::vector<uint32_t>(18, B)},
    {0, INT32_MAX, std::vector<uint32_t>(18, B)},
    {INT32_MIN + 1, 1, std::vector<uint32_t>(18, B)},
};
// clang-format on

TEST(IntroBlitAdd, ClipsAtEveryEdge) {
    Image *src = numbered_source();
    for (const Placement &p : placements) {
        Image *dst = image(6, 3, B);
        intro_blit_add(src, dst, p.x, p.y);
        EXPECT_EQ(pixels(dst), p.expected) << "at (" << p.x << ", " << p.y << ")";
        img_free(&dst);
    }
    img_free(&src);
}

TEST(IntroBlitAdd, AddsWholeWordsSoChannelsCarry) {
    const struct {
        uint32_t src, dst, sum;
    } cases[] = {
        {0x00F000, 0x002000, 0x011000},   // green carries into red
        {0x0000FF, 0x000001, 0x000100},   // blue into green
        {0xFF0000, 0x010000, 0x01000000}, // red into the top byte
        {0x808080, 0x808080, 0x01010100}, // every channel at once
        {0x00000001, 0xFFFFFFFF, 0},      // the word wraps
        {0, 0x123456, 0x123456},          // a source of 0 changes nothing
    };
    for (auto c : cases) {
        Image *src = image(1, 1, c.src);
        Image *dst = image(1, 1, c.dst);
        intro_blit_add(src, dst, 0, 0);
        EXPECT_EQ(dst->pixels[0], c.sum) << std::hex << c.src << " + " << c.dst;
        img_free(&src);
        img_free(&dst);
    }
}

TEST(IntroBlitAverage, BlendsNonZeroPixelsHalfAndHalfWithTheSameClipping) {
    const struct {
        uint32_t src, dst, result;
    } cases[] = {
        {0xFFFFFF, 0x000000, 0x7F7F7F},
        {0x000001, 0x000001, 0x000000}, // the halves are dropped, nothing carries
        {0x0000FF, 0x0000FF, 0x0000FE},
        {0x204060, 0x604020, 0x404040},
        {0, 0xABCDEF, 0xABCDEF}, // a source of 0 leaves the target
    };
    for (auto c : cases) {
        Image *src = image(1, 1, c.src);
        Image *dst = image(1, 1, c.dst);
        intro_blit_average(src, dst, 0, 0);
        EXPECT_EQ(dst->pixels[0], c.result) << std::hex << c.src << " over " << c.dst;
        img_free(&src);
        img_free(&dst);
    }
    // With a background of 0x1000 (halved: 0x800) and the numbered source (halved too).
    Image *src = numbered_source();
    for (const Placement &p : placements) {
        Image *dst = image(6, 3, B);
        intro_blit_average(src, dst, p.x, p.y);
        std::vector<uint32_t> expected = p.expected;
        for (uint32_t &e : expected) e = e == B ? B : (B >> 1) + ((e - B) >> 1);
        EXPECT_EQ(pixels(dst), expected) << "at (" << p.x << ", " << p.y << ")";
        img_free(&dst);
    }
    img_free(&src);
}

// Word by word in the target's row order, reading the source as it is at that moment, so
// that a source sharing the target's words sees what was written before.
template <typename Combine>
void reference_combine(const Image *src, Image *dst, int64_t x, int64_t y, Combine combine) {
    for (int64_t ty = 0; ty < dst->height; ty++)
        for (int64_t tx = 0; tx < dst->width; tx++) {
            const int64_t sx = tx - x, sy = ty - y;
            if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height) continue;
            combine(src->pixels[sy * src->width + sx], dst->pixels[ty * dst->width + tx]);
        }
}

// Pseudo-random words with every fourth one 0; the top byte set in some.
std::vector<uint32_t> some_words(size_t n, uint32_t seed) {
    std::vector<uint32_t> words(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        words[i] = i % 4 == 1 ? 0 : seed >> 4;
    }
    return words;
}

Image *filled(int32_t w, int32_t h, uint32_t seed) {
    Image *img = image(w, h);
    const std::vector<uint32_t> words = some_words(size_t(w) * h, seed);
    std::copy(words.begin(), words.end(), img->pixels);
    return img;
}

const struct {
    const char *name;
    void (*blit)(const Image *, Image *, int32_t, int32_t);
    void (*combine)(uint32_t, uint32_t &);
} combined_copies[] = {
    {"add", intro_blit_add, [](uint32_t s, uint32_t &d) { d += s; }},
    {"average", intro_blit_average,
     [](uint32_t s, uint32_t &d) {
         if (s) d = ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
     }},
};

// Rows longer than eight words, where runs of eight go at once and the rest one by one,
// cut on every side, against the word-by-word copy.
TEST(IntroCombinedCopies, WideRowsMatchTheWordByWordCopy) {
    for (const auto &copy : combined_copies)
        for (int32_t w : {7, 8, 9, 17, 30})
            for (int32_t x : {-12, -8, -1, 0, 1, 5, 18, 23})
                for (int32_t y : {-2, 0, 1}) {
                    Image *src = filled(w, 3, 11);
                    Image *got = filled(23, 4, 13);
                    Image *want = filled(23, 4, 13);
                    copy.blit(src, got, x, y);
                    reference_combine(src, want, x, y, copy.combine);
                    ASSERT_EQ(pixels(got), pixels(want))
                        << copy.name << ": " << w << " wide at (" << x << ", " << y << ")";
                    img_free(&src);
                    img_free(&got);
                    img_free(&want);
                }
}

// A target that is its own source sees its own sums further along: a shift by fewer than
// eight words to the right adds the row's start again and again.
TEST(IntroCombinedCopies, AnImageCombinedIntoItselfReadsWhatItHasJustWritten) {
    for (const auto &copy : combined_copies)
        for (auto [x, y] : {std::pair{1, 0}, {3, 0}, {7, 0}, {9, 0}, {2, 1}, {-3, 0}, {0, -1}}) {
            Image *got = filled(24, 3, 17);
            Image *want = filled(24, 3, 17);
            copy.blit(got, got, x, y);
            reference_combine(want, want, x, y, copy.combine);
            EXPECT_EQ(pixels(got), pixels(want)) << copy.name << " at (" << x << ", " << y << ")";
            img_free(&got);
            img_free(&want);
        }
}

TEST(IntroMask, KeepsOnlyTheMaskedBits) {
    Image *mask = image(3, 1);
    Image *target = image(3, 1);
    const uint32_t m[] = {0xA05010, 0xA05010, 0xFFFFFF};
    const uint32_t t[] = {0xFFFFFF, 0, 0x123456};
    for (int i = 0; i < 3; i++) mask->pixels[i] = m[i], target->pixels[i] = t[i];
    intro_mask(mask, target);
    EXPECT_EQ(pixels(target), (std::vector<uint32_t>{0xA05010, 0, 0x123456}));
    // Pixel i goes with pixel i, whatever the two shapes.
    Image *column = image(1, 3, 0x00FF00);
    intro_mask(column, target);
    EXPECT_EQ(pixels(target), (std::vector<uint32_t>{0x005000, 0, 0x003400}));
    img_free(&column);
    img_free(&mask);
    img_free(&target);
}

TEST(IntroMask, AMaskLargerThanTheTargetStopsAtTheTargetsEnd) {
    Image *mask = image(8, 8, 0x0F0F0F);
    Image *target = image(2, 2, 0xFFFFFF);
    intro_mask(mask, target);
    EXPECT_EQ(pixels(target), std::vector<uint32_t>(4, 0x0F0F0F));
    img_free(&mask);
    img_free(&target);
}

TEST(IntroFadeStep, LowersEachChannelDownToZero) {
    Image *img = image(4, 1);
    const uint32_t before[] = {0x030810, 0xFFFFFF, 0x000000, 0xAB040404};
    for (int i = 0; i < 4; i++) img->pixels[i] = before[i];
    intro_fade_step(img, 4);
    // The top byte is not a channel: it becomes 0.
    EXPECT_EQ(pixels(img), (std::vector<uint32_t>{0x00040C, 0xFBFBFB, 0, 0}));
    intro_fade_step(img, 255);
    EXPECT_EQ(pixels(img), std::vector<uint32_t>(4, 0));
    img_free(&img);
}

TEST(IntroEffects, AMissingImageIsReportedAndNothingIsDrawn) {
    Image *img = image(2, 2, 0x777777);
    CaptureStdout();
    intro_blit_add(nullptr, img, 0, 0);
    intro_blit_add(img, nullptr, 0, 0);
    intro_blit_average(nullptr, img, 0, 0);
    intro_blit_average(img, nullptr, 0, 0);
    intro_mask(nullptr, img);
    intro_mask(img, nullptr);
    intro_fade_step(nullptr, 4);
    std::string seven;
    for (int i = 0; i < 7; i++) seven += "IMG error\n";
    EXPECT_EQ(GetCapturedStdout(), seven);
    EXPECT_EQ(pixels(img), std::vector<uint32_t>(4, 0x777777));
    img_free(&img);
}

// Sprites: four solid squares of different sizes on a 640 x 480 screen, sprite 0 the
// smallest.
struct SpriteTest : testing::Test {
    const int32_t sizes[4] = {40, 50, 60, 100};
    const uint32_t colours[4] = {0x110000, 0x002200, 0x000033, 0x444444};

    void SetUp() override {
        screen = image(640, 480);
        for (int n = 0; n < 4; n++) sprite_images[n] = image(sizes[n], sizes[n], colours[n]);
        // As start-up sets them from the first sprite.
        sprite_amplitude[0] = sprite_amplitude[1] = (640 - sizes[0]) / 2;
        sprite_amplitude[2] = sprite_amplitude[3] = (480 - sizes[0]) / 2;
        for (int32_t &p : sprite_phase) p = 0;
        sprite_flags = 0;
    }
    void TearDown() override {
        for (Image *&s : sprite_images)
            if (s) img_free(&s);
        img_free(&screen);
        sprite_flags = 0;
    }
    // Where sprite n's top left corner belongs: centred, plus four sine terms that round
    // toward minus infinity.
    void place(int n, int32_t *x, int32_t *y) const {
        auto term = [&](int k) {
            const int64_t product =
                int64_t{sine_table[(sprite_spacing[k] * n + sprite_phase[k]) % 1024]} *
                sprite_amplitude[k];
            const int64_t q = product / 32768;
            return q * 32768 > product ? q - 1 : q; // floor
        };
        *x = static_cast<int32_t>((640 - sizes[n]) / 2 + term(0) + term(1));
        *y = static_cast<int32_t>((480 - sizes[n]) / 2 + term(2) + term(3));
    }
    int count(uint32_t colour) const {
        int c = 0;
        for (int32_t i = 0; i < 640 * 480; i++) c += screen->pixels[i] == colour;
        return c;
    }
};

TEST_F(SpriteTest, HiddenWhileTheFlagsAreZero) {
    intro_draw_sprites();
    EXPECT_EQ(count(0), 640 * 480);
}

TEST_F(SpriteTest, EachSpriteStandsOnItsOwnPhasesWithSpriteZeroAtTheCentre) {
    sprite_flags = 2;
    intro_draw_sprites();
    EXPECT_EQ(count(colours[0]), 40 * 40);
    EXPECT_EQ(img_get(screen, 300, 220), colours[0]);
    EXPECT_EQ(img_get(screen, 339, 259), colours[0]);
    EXPECT_EQ(img_get(screen, 299, 220), 0u);
    EXPECT_EQ(img_get(screen, 340, 259), 0u);
    // With these sizes the four do not overlap; sprite 2 is cut at the right edge and
    // sprite 3 lies wholly off the screen.
    for (int n = 1; n < 4; n++) {
        int32_t x, y;
        place(n, &x, &y);
        const int32_t w = std::min(x + sizes[n], 640) - std::max(x, 0);
        const int32_t h = std::min(y + sizes[n], 480) - std::max(y, 0);
        EXPECT_EQ(count(colours[n]), std::max(w, 0) * std::max(h, 0)) << "sprite " << n;
        EXPECT_EQ(img_get(screen, x, y), x < 640 && y < 480 ? colours[n] : 0) << "sprite " << n;
        EXPECT_EQ(img_get(screen, x - 1, y), 0u) << "sprite " << n;
    }
    EXPECT_EQ(count(colours[2]), 8 * 60);
    EXPECT_EQ(count(colours[3]), 0);
}

TEST_F(SpriteTest, SpriteZeroLiesOnTopOfOneOnTopOfTwoOnTopOfThree) {
    // Without amplitudes the four squares share their centre.
    for (int32_t &a : sprite_amplitude) a = 0;
    sprite_flags = 1;
    intro_draw_sprites();
    EXPECT_EQ(img_get(screen, 320, 240), colours[0]);
    EXPECT_EQ(img_get(screen, 297, 240), colours[1]);
    EXPECT_EQ(img_get(screen, 292, 240), colours[2]);
    EXPECT_EQ(img_get(screen, 275, 240), colours[3]);
}

TEST_F(SpriteTest, PhasesRunDownwardsAndTheSpritesFollowThem) {
    const int32_t expected[][4] = {
        {0, 0, 0, 0}, {1013, 1015, 1019, 1017}, {1002, 1006, 1014, 1010}};
    for (auto &e : expected) {
        EXPECT_EQ(std::vector<int32_t>(sprite_phase, sprite_phase + 4),
                  std::vector<int32_t>(e, e + 4));
        intro_move_sprites();
    }
    for (int i = 0; i < 200; i++) intro_move_sprites();
    sprite_flags = 4;
    intro_draw_sprites();
    int32_t x, y;
    place(0, &x, &y);
    EXPECT_EQ(img_get(screen, x, y), colours[0]);
    EXPECT_EQ(img_get(screen, x + 39, y + 39), colours[0]);
    EXPECT_EQ(count(colours[0]), 40 * 40);
}

TEST_F(SpriteTest, OneMissingSpriteHidesAllFour) {
    img_free(&sprite_images[2]);
    sprite_flags = 7;
    intro_draw_sprites();
    EXPECT_EQ(count(0), 640 * 480);
}

TEST_F(SpriteTest, SpritesPastTheEdgeAreClipped) {
    // Amplitudes as a sprite much wider than the screen gives them: the terms run mirrored
    // and push the sprites far off the screen; nothing is drawn outside it.
    sprite_amplitude[0] = sprite_amplitude[1] = -2000000000;
    sprite_amplitude[2] = sprite_amplitude[3] = 2000000000;
    sprite_phase[0] = sprite_phase[1] = sprite_phase[2] = sprite_phase[3] = 100;
    sprite_flags = 1;
    intro_draw_sprites();
    EXPECT_EQ(count(0), 640 * 480);
}

TEST(IntroFadeOut, LeavesTheScreenBlack) {
    intro_display = dpy_new();
    ASSERT_NE(intro_display, nullptr);
    dpy_resize(intro_display, 64, 48);
    ASSERT_EQ(intro_display->width, 64);
    screen = image(64, 48, 0xFFFFFF);
    intro_fade_out();
    EXPECT_EQ(pixels(screen), std::vector<uint32_t>(64 * 48, 0));
    img_free(&screen);
    dpy_free(&intro_display);
}

} // namespace
