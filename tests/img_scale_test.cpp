// Nearest-neighbour rescaling and rotation.
#include <gtest/gtest.h>

#include <climits>

#include "tests/img_helpers.h"

static std::vector<uint32_t> scaled(int32_t sw, int32_t sh, const std::vector<uint32_t> &words,
                                    int32_t nw, int32_t nh) {
    Image *src = make_image(sw, sh, words);
    Image *dst = img_scale(src, nw, nh);
    EXPECT_NE(dst, nullptr);
    std::vector<uint32_t> out;
    if (dst) {
        EXPECT_EQ(dst->width, nw);
        EXPECT_EQ(dst->height, nh);
        out = words_of(dst);
        img_free(&dst);
    }
    img_free(&src);
    return out;
}

enum : uint32_t { A = 0xA, B = 0xB, C = 0xC, D = 0xD, E = 0xE, P = 0x10, Q = 0x11, R = 0x12 };

TEST(ImgScale, KnownRowsAndColumns) {
    EXPECT_EQ(scaled(2, 1, {A, B}, 5, 1), (std::vector<uint32_t>{A, A, A, B, B}));
    EXPECT_EQ(scaled(5, 1, {A, B, C, D, E}, 2, 1), (std::vector<uint32_t>{C, E}));
    // Height shrinking: the first row of each group while the width stays, the last row
    // when the width shrinks too.
    EXPECT_EQ(scaled(1, 3, {P, Q, R}, 1, 2), (std::vector<uint32_t>{P, R}));
    EXPECT_EQ(scaled(2, 3, {0, P, 0, Q, 0, R}, 1, 2), (std::vector<uint32_t>{Q, R}));
    EXPECT_EQ(scaled(2, 2, {A, B, C, D}, 2, 2), (std::vector<uint32_t>{A, B, C, D}));
    EXPECT_EQ(scaled(2, 2, {A, B, C, D}, 3, 3), (std::vector<uint32_t>{A, A, B, A, A, B, C, C, D}));
}

// Every size pair from 0 to 9 against the closed-form mapping of each of the four cases.
TEST(ImgScale, EveryCaseMapsEachPixelExactly) {
    for (int sw = 1; sw <= 9; sw++)
        for (int sh = 1; sh <= 9; sh++) {
            std::vector<uint32_t> words(sw * sh);
            for (int i = 0; i < sw * sh; i++) words[i] = 0x010000 + i;
            for (int nw = 0; nw <= 9; nw++)
                for (int nh = 0; nh <= 9; nh++) {
                    const std::vector<uint32_t> got = scaled(sw, sh, words, nw, nh);
                    ASSERT_EQ(got.size(), size_t(nw * nh));
                    for (int y = 0; y < nh; y++)
                        for (int x = 0; x < nw; x++) {
                            const int col =
                                nw >= sw ? x * sw / nw : ((x + 1) * sw + nw - 1) / nw - 1;
                            int row;
                            if (nh >= sh)
                                row = y * sh / nh;
                            else if (nw < sw)
                                row = ((y + 1) * sh + nh - 1) / nh - 1; // last
                            else
                                row = (y * sh + nh - 1) / nh; // first
                            ASSERT_EQ(got[y * nw + x], words[row * sw + col])
                                << sw << 'x' << sh << " -> " << nw << 'x' << nh << " at " << x
                                << ',' << y;
                        }
                }
        }
}

TEST(ImgScale, EmptySizesAndWholeWords) {
    EXPECT_EQ(scaled(3, 3, some_words(9), 0, 0), std::vector<uint32_t>{});
    EXPECT_EQ(scaled(3, 3, some_words(9), 4, 0), std::vector<uint32_t>{});
    EXPECT_EQ(scaled(0, 3, {}, 4, 2), std::vector<uint32_t>(8, 0));
    EXPECT_EQ(scaled(3, 0, {}, 2, 5), std::vector<uint32_t>(10, 0));
    EXPECT_EQ(scaled(1, 1, {0xFF123456}, 2, 1), (std::vector<uint32_t>{0xFF123456, 0xFF123456}));
    // A big enlargement replicates rows by copying: compare its rows with the source's.
    const std::vector<uint32_t> big = scaled(320, 240, some_words(320 * 240), 640, 480);
    const std::vector<uint32_t> src = some_words(320 * 240);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5) ASSERT_EQ(big[y * 640 + x], src[y / 2 * 320 + x / 2]);
}

TEST(ImgScale, BadArgumentsReportAndGiveNull) {
    Image *src = make_image(2, 2);
    Image bare = {2, 2, nullptr};
    for (auto [nw, nh] : {std::pair{-1, 2}, {2, -1}, {65536, 65536}, {INT_MAX, 2}})
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_scale(src, nw, nh), nullptr); }), "IMG error\n")
            << nw << " x " << nh;
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_scale(nullptr, 2, 2), nullptr); }), "IMG error\n");
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_scale(&bare, 2, 2), nullptr); }), "IMG error\n");
    img_free(&src);
}

static Image *rotated(const Image *src, int32_t angle) {
    Image *out = img_rotate(src, angle);
    EXPECT_NE(out, nullptr);
    return out;
}

TEST(ImgRotate, ResultSizeAndEquivalentAngles) {
    Image *src = make_image(100, 50, some_words(5000));
    Image *r0 = rotated(src, 0);
    EXPECT_EQ(r0->width, 141);
    EXPECT_EQ(r0->height, 70);
    for (int angle : {1024, -1024, 4096, INT_MIN}) { // INT_MIN is a multiple of 1024
        Image *r = rotated(src, angle);
        EXPECT_EQ(img_equal(r0, r), 1) << angle;
        img_free(&r);
    }
    Image *r300 = rotated(src, 300), *r_minus = rotated(src, 300 - 1024 * 5);
    EXPECT_EQ(img_equal(r300, r_minus), 1);
    Image *r_max = rotated(src, INT_MAX), *r_1023 = rotated(src, 1023);
    EXPECT_EQ(img_equal(r_max, r_1023), 1);
    Image *empty = make_image(0, 0);
    Image *r_empty = rotated(empty, 77);
    EXPECT_EQ(r_empty->width, 0);
    for (Image *img : {src, r0, r300, r_minus, r_max, r_1023, empty, r_empty}) img_free(&img);
}

// The positions of the pixels that hold `word`.
static std::vector<std::pair<int, int>> where(const Image *img, uint32_t word) {
    std::vector<std::pair<int, int>> at;
    for (int y = 0; y < img->height; y++)
        for (int x = 0; x < img->width; x++)
            if (img->pixels[y * img->width + x] == word) at.push_back({x, y});
    return at;
}

// A marker ten pixels right of the centre: a quarter turn puts it ten rows below the
// centre, angle 0 (half a turn) ten columns left of it; the centre stays the centre.
TEST(ImgRotate, TurnsAboutTheCentre) {
    Image *src = make_image(41, 31);
    img_put(src, 20, 15, 0xC0FFEE);
    img_put(src, 30, 15, 0x123456);
    const struct { int angle, dx, dy; } turns[] = {{256, 0, 10}, {0, -10, 0}, {768, 0, -10}};
    for (auto t : turns) {
        Image *r = rotated(src, t.angle);
        const int hw = r->width / 2, hh = r->height / 2;
        EXPECT_EQ(img_get(r, hw, hh), 0xC0FFEEu) << t.angle;
        const auto marks = where(r, 0x123456);
        ASSERT_FALSE(marks.empty()) << t.angle;
        for (auto [x, y] : marks) {
            // Shifts round toward minus infinity: one pixel of slack.
            EXPECT_LE(std::abs(x - (hw + t.dx)), 1) << t.angle;
            EXPECT_LE(std::abs(y - (hh + t.dy)), 1) << t.angle;
        }
        EXPECT_EQ(r->pixels[0], 0u) << "a corner outside the source is black";
        img_free(&r);
    }
    img_free(&src);
}

// Sides whose products with 92667 pass 32 bits are refused, not wrapped.
TEST(ImgRotate, HugeAndMissingSourcesReport) {
    Image *wide = make_image(30000, 1);
    Image *tall = make_image(1, 23175);
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_rotate(wide, 0), nullptr); }), "IMG error\n");
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_rotate(tall, 0), nullptr); }), "IMG error\n");
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_rotate(nullptr, 0), nullptr); }), "IMG error\n");
    Image *edge = make_image(23174, 1); // the widest side that still fits
    Image *r = nullptr;
    EXPECT_EQ(stdout_of([&] { r = img_rotate(edge, 100); }), "");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 32767);
    EXPECT_EQ(r->height, 1);
    for (Image *img : {wide, tall, edge, r}) img_free(&img);
}
