// The Image record, pixel access, blits, copies, run-length tables and line points.
#include <gtest/gtest.h>

#include <climits>

#include "tests/img_helpers.h"

TEST(ImgRecord, NewImageIsSixteenSquareAndBlack) {
    Image *img = img_new();
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 16);
    EXPECT_EQ(img->height, 16);
    EXPECT_EQ(words_of(img), std::vector<uint32_t>(256, 0));
    EXPECT_STREQ(img_module.name, "IMG");
    EXPECT_STREQ(img_module.date, "20080711");
    img_free(&img);
    EXPECT_EQ(img, nullptr);
}

TEST(ImgRecord, ResizeDiscardsContents) {
    Image *img = img_new();
    for (int i = 0; i < 256; i++) img->pixels[i] = 0xABCDEF;
    img_resize(img, 3, 2);
    EXPECT_EQ(img->width, 3);
    EXPECT_EQ(img->height, 2);
    EXPECT_EQ(words_of(img), std::vector<uint32_t>(6, 0));
    img_resize(img, 0, 7); // a valid Image without pixels
    EXPECT_EQ(img->width, 0);
    EXPECT_EQ(img->height, 7);
    img_free(&img);
}

// A size that is negative or whose pixel count overflows 32 bits is refused and the Image
// stays as it was.
TEST(ImgRecord, ResizeRefusesBadSizesAndKeepsTheImage) {
    const struct {
        int32_t w, h;
    } bad[] = {{-1, 4}, {4, -1}, {INT_MIN, INT_MIN}, {65536, 65536}, {INT_MAX, 2}, {46341, 46341}};
    for (auto s : bad) {
        Image *img = make_image(2, 2, {1, 2, 3, 4});
        EXPECT_EQ(stdout_of([&] { img_resize(img, s.w, s.h); }), "IMG error\n")
            << s.w << " x " << s.h;
        EXPECT_EQ(img->width, 2);
        EXPECT_EQ(img->height, 2);
        EXPECT_EQ(words_of(img), (std::vector<uint32_t>{1, 2, 3, 4}));
        img_free(&img);
    }
}

// Every missing record or array is reported once, with the null or zero result.
TEST(ImgRecord, MissingArgumentsReportOnce) {
    Image *img = img_new();
    Image bare = {4, 4, nullptr}; // a record without its pixel array
    Image *none = nullptr;
    const std::vector<std::pair<const char *, std::function<void()>>> cases = {
        {"free null address", [] { img_free(nullptr); }},
        {"free null handle", [&] { img_free(&none); }},
        {"resize", [] { img_resize(nullptr, 2, 2); }},
        {"clear", [] { img_clear(nullptr); }},
        {"clear bare", [&] { img_clear(&bare); }},
        {"put", [] { img_put(nullptr, 0, 0, 1); }},
        {"put bare", [&] { img_put(&bare, 0, 0, 1); }},
        {"get", [] { EXPECT_EQ(img_get(nullptr, 0, 0), 0u); }},
        {"blit src", [&] { img_blit(nullptr, img, 0, 0, 0, 0, 4, 4); }},
        {"blit dst", [&] { img_blit(img, nullptr, 0, 0, 0, 0, 4, 4); }},
        {"blit bare", [&] { img_blit(&bare, img, 0, 0, 0, 0, 4, 4); }},
        {"copy", [] { EXPECT_EQ(img_copy(nullptr), nullptr); }},
        {"equal", [&] { EXPECT_EQ(img_equal(img, nullptr), 0); }},
        {"equal bare", [&] { EXPECT_EQ(img_equal(&bare, &bare), 0); }},
        {"run lengths", [] { EXPECT_EQ(img_run_lengths(INT_MIN, 3), nullptr); }},
        {"line points", [] { EXPECT_EQ(img_line_points(INT_MIN, 0, INT_MAX, 0), nullptr); }},
    };
    for (const auto &[name, action] : cases) EXPECT_EQ(stdout_of(action), "IMG error\n") << name;
    img_free(&img);
}

TEST(ImgPixels, ClearWritesExactlyThePixelArray) {
    uint32_t memory[20];
    for (auto &w : memory) w = 0x55;
    Image img = {4, 4, memory + 2};
    EXPECT_EQ(stdout_of([&] { img_clear(&img); }), "");
    for (int i = 0; i < 20; i++) EXPECT_EQ(memory[i], i >= 2 && i < 18 ? 0u : 0x55u) << i;
}

TEST(ImgPixels, PutAndGetInsideAndOutside) {
    Image *img = make_image(3, 2);
    const std::string out = stdout_of([&] {
        img_put(img, 2, 1, 0x123456);
        img_put(img, 0, 0, 0xFF000001); // whole words, never masked
        for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}, {INT_MIN, INT_MAX}})
            img_put(img, x, y, 0xFFFFFF);
        EXPECT_EQ(img_get(img, 2, 1), 0x123456u);
        EXPECT_EQ(img_get(img, 0, 0), 0xFF000001u);
        for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {INT_MAX, INT_MIN}})
            EXPECT_EQ(img_get(img, x, y), 0u);
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(words_of(img), (std::vector<uint32_t>{0xFF000001, 0, 0, 0, 0, 0x123456}));
    img_free(&img);
}

// A naive blit: each destination pixel whose rectangle position lies inside the source.
static void reference_blit(const Image *src, Image *dst, int64_t sx, int64_t sy, int64_t dx,
                           int64_t dy, int64_t w, int64_t h) {
    for (int64_t ty = 0; ty < dst->height; ty++)
        for (int64_t tx = 0; tx < dst->width; tx++) {
            const int64_t i = tx - dx, j = ty - dy, x = sx + i, y = sy + j;
            if (i < 0 || j < 0 || i >= w || j >= h) continue;
            if (x < 0 || y < 0 || x >= src->width || y >= src->height) continue;
            const uint32_t p = src->pixels[y * src->width + x];
            if (p) dst->pixels[ty * dst->width + tx] = p;
        }
}

TEST(ImgBlit, CornersClippingAndTransparency) {
    Image *src = make_image(4, 4);
    for (int i = 0; i < 16; i++) src->pixels[i] = 0x100 + i;
    src->pixels[15] = 0; // transparent
    src->pixels[10] = 1; // the only transparent word is 0
    Image *dst = make_image(6, 5);
    for (int i = 0; i < 30; i++) dst->pixels[i] = 0xEEEEEE;

    EXPECT_EQ(stdout_of([&] { img_blit(src, dst, 0, 0, -2, -2, 4, 4); }), "");
    EXPECT_EQ(img_get(dst, 0, 0), 1u);        // source (2, 2)
    EXPECT_EQ(img_get(dst, 1, 0), 0x10Bu);    // source (3, 2)
    EXPECT_EQ(img_get(dst, 0, 1), 0x10Eu);    // source (2, 3)
    EXPECT_EQ(img_get(dst, 1, 1), 0xEEEEEEu); // source (3, 3) is 0 and skipped
    EXPECT_EQ(img_get(dst, 2, 0), 0xEEEEEEu);
    EXPECT_EQ(img_get(dst, 0, 2), 0xEEEEEEu);

    const std::vector<uint32_t> before = words_of(dst);
    img_blit(src, dst, 0, 0, dst->width, 0, 4, 4);
    img_blit(src, dst, 0, 0, 0, dst->height, 4, 4);
    img_blit(src, dst, 0, 0, -4, 0, 4, 4); // dx + w = 0: column -1 is the last one
    EXPECT_EQ(words_of(dst), before);
    img_free(&src);
    img_free(&dst);
}

// Clipping on every side, oversized rectangles and extreme arguments against the naive blit.
TEST(ImgBlit, MatchesNaiveCopyForManyRectangles) {
    Image *src = make_image(5, 4, some_words(20));
    src->pixels[7] = 0;
    src->pixels[12] = 0;
    const int coords[] = {-7, -1, 0, 1, 4, 5, 6, 9};
    const int sizes[] = {-2, 0, 1, 5, 12};
    for (int sx : coords)
        for (int sy : {-2, 0, 1, 3, 4})
            for (int dx : coords)
                for (int dy : {-3, 0, 2, 5, 6})
                    for (int w : sizes)
                        for (int h : {-1, 0, 2, 4, 9}) {
                            Image *got = make_image(6, 5, some_words(30, 7));
                            Image *want = img_copy(got);
                            img_blit(src, got, sx, sy, dx, dy, w, h);
                            reference_blit(src, want, sx, sy, dx, dy, w, h);
                            ASSERT_EQ(img_equal(got, want), 1) << sx << ' ' << sy << ' ' << dx
                                                               << ' ' << dy << ' ' << w << ' ' << h;
                            img_free(&got);
                            img_free(&want);
                        }
    Image *dst = make_image(6, 5);
    EXPECT_EQ(stdout_of([&] {
                  img_blit(src, dst, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX);
                  img_blit(src, dst, INT_MAX, 0, INT_MIN, 0, INT_MAX, INT_MAX);
                  img_blit(src, dst, -2, -2, -3, -1, INT_MAX, INT_MAX);
              }),
              "");
    Image *want = make_image(6, 5);
    reference_blit(src, want, -2, -2, -3, -1, INT_MAX, INT_MAX);
    EXPECT_EQ(img_equal(dst, want), 1);
    img_free(&src);
    img_free(&dst);
    img_free(&want);
}

// Rows longer than eight words, where whole runs of eight go at once and the rest one by
// one: every split of a clipped row into runs and a tail, cut on each side.
TEST(ImgBlit, WideRowsMatchTheNaiveCopy) {
    std::vector<uint32_t> words = some_words(19 * 3, 3);
    for (int i = 0; i < 19 * 3; i += 3) words[i] = 0;      // scattered transparent words
    for (int i = 19; i < 27; i++) words[i] = 0;            // a whole run of eight
    for (int i = 40; i < 48; i++) words[i] |= 0xFF000000u; // the top byte is copied too
    Image *src = make_image(19, 3, words);
    for (int sx : {-9, -1, 0, 1, 3, 11, 18})
        for (int dx : {-10, -2, 0, 5, 8, 22})
            for (int w : {7, 8, 9, 16, 17, 19, 40})
                for (int sy : {-1, 0, 2})
                    for (int dy : {-2, 0, 3}) {
                        Image *got = make_image(23, 4, some_words(92, 5));
                        Image *want = img_copy(got);
                        img_blit(src, got, sx, sy, dx, dy, w, 3);
                        reference_blit(src, want, sx, sy, dx, dy, w, 3);
                        ASSERT_EQ(img_equal(got, want), 1)
                            << sx << ' ' << sy << ' ' << dx << ' ' << dy << ' ' << w;
                        img_free(&got);
                        img_free(&want);
                    }
    img_free(&src);
}

// Within one Image a copied word can be copied again further along the same blit: a shift
// by fewer than eight words to the right smears the first words across the row.
TEST(ImgBlit, WithinOneImageReadsWhatItHasJustWritten) {
    const struct {
        int sx, sy, dx, dy;
    } shifts[] = {{0, 0, 1, 0}, {0, 0, 3, 0}, {2, 0, 9, 0}, {0, 0, 0, 1},
                  {0, 0, 5, 1}, {4, 1, 0, 0}, {3, 0, 0, 0}, {0, 1, 0, 0}};
    std::vector<uint32_t> words = some_words(24 * 4, 9);
    words[1] = words[30] = 0;
    for (auto m : shifts) {
        Image *got = make_image(24, 4, words);
        Image *want = make_image(24, 4, words);
        img_blit(got, got, m.sx, m.sy, m.dx, m.dy, 24, 4);
        reference_blit(want, want, m.sx, m.sy, m.dx, m.dy, 24, 4);
        EXPECT_EQ(words_of(got), words_of(want))
            << m.sx << ' ' << m.sy << ' ' << m.dx << ' ' << m.dy;
        img_free(&got);
        img_free(&want);
    }
    // Two Images whose arrays overlap count as one.
    Image *whole = make_image(24, 4, words);
    Image part = {16, 2, whole->pixels + 5};
    Image *want = make_image(24, 4, words);
    Image want_part = {16, 2, want->pixels + 5};
    img_blit(whole, &part, 0, 0, 0, 0, 16, 2);
    reference_blit(want, &want_part, 0, 0, 0, 0, 16, 2);
    EXPECT_EQ(words_of(whole), words_of(want));
    img_free(&whole);
    img_free(&want);
}

TEST(ImgCopy, CopyIsEqualAndIndependent) {
    Image *a = make_image(3, 5, some_words(15));
    Image *b = img_copy(a);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(b->pixels, a->pixels);
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_equal(a, b), 1); }), "");
    b->pixels[14] ^= 1; // the last word counts
    EXPECT_EQ(img_equal(a, b), 0);
    Image *wide = make_image(5, 3, words_of(a)); // same words, other shape
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_equal(a, wide), 0); }), "");
    Image *empty = make_image(0, 3);
    Image *empty_copy = img_copy(empty);
    ASSERT_NE(empty_copy, nullptr);
    EXPECT_EQ(empty_copy->height, 3);
    EXPECT_EQ(img_equal(empty, empty_copy), 1);
    for (Image *img : {a, b, wide, empty, empty_copy}) img_free(&img);
}

static std::vector<int> run_lengths(int a, int b) {
    int *runs = img_run_lengths(a, b);
    const int small = std::min(std::abs(a), std::abs(b));
    std::vector<int> v(runs, runs + small + 1);
    free(runs);
    return v;
}

TEST(ImgRunLengths, KnownTables) {
    EXPECT_EQ(run_lengths(3, 8), (std::vector<int>{3, 3, 2, 1}));
    EXPECT_EQ(run_lengths(8, 3), (std::vector<int>{3, 3, 2, 1}));
    EXPECT_EQ(run_lengths(-2, 7), (std::vector<int>{4, 3, 1}));
    EXPECT_EQ(run_lengths(5, 5), std::vector<int>(6, 1));
    EXPECT_EQ(run_lengths(0, 4), std::vector<int>{5});
    EXPECT_EQ(run_lengths(0, 0), std::vector<int>{1});
    std::vector<int> pairs;
    for (int i = 0; i < 128; i++) pairs.insert(pairs.end(), {3, 2});
    pairs.push_back(1);
    EXPECT_EQ(run_lengths(256, 640), pairs);
    // The lone entry big + 1 must fit an int.
    EXPECT_EQ(stdout_of([] { EXPECT_EQ(img_run_lengths(0, INT_MAX), nullptr); }), "IMG error\n");
}

// Entry j counts the k in 0 .. big - 1 with k * small / big = j; the last entry is 1.
TEST(ImgRunLengths, EntriesCountTheFlooredMapping) {
    for (int a = 1; a <= 24; a++)
        for (int b = 1; b <= 24; b++) {
            const int big = std::max(a, b), small = std::min(a, b);
            std::vector<int> want(small + 1, 0);
            for (int k = 0; k < big; k++) want[k * small / big]++;
            want[small] = 1;
            ASSERT_EQ(run_lengths(a, b), want) << a << ", " << b;
        }
}

static std::vector<int> line(int x0, int y0, int x1, int y1) {
    int *list = img_line_points(x0, y0, x1, y1);
    std::vector<int> v(list + 1, list + 1 + list[0]);
    free(list);
    return v;
}

TEST(ImgLinePoints, KnownLines) {
    EXPECT_EQ(line(0, 0, 3, 1), (std::vector<int>{0, 0, 1, 1, 2, 1, 3, 1}));
    EXPECT_EQ(line(0, 0, 2, 5), (std::vector<int>{0, 0, 1, 1, 1, 2, 1, 3, 2, 4, 2, 5}));
    EXPECT_EQ(line(0, 0, 0, 0), (std::vector<int>{0, 0}));
    EXPECT_EQ(line(0, 0, 1, 0), (std::vector<int>{0, 0, 1, 0}));
    EXPECT_EQ(line(5, 5, 5, 4), (std::vector<int>{5, 5, 5, 4}));
    EXPECT_EQ(line(3, 1, 0, 0), (std::vector<int>{3, 1, 2, 0, 1, 0, 0, 0}));
    int *list = img_line_points(0, 0, 0, 0);
    EXPECT_EQ(list[0], 2);
    free(list);
    // Far apart but representable: the end points stay exact, nothing overflows.
    list = img_line_points(INT_MAX - 3, INT_MIN, INT_MAX, INT_MIN + 1);
    ASSERT_EQ(list[0], 8);
    EXPECT_EQ(list[7], INT_MAX);
    EXPECT_EQ(list[8], INT_MIN + 1);
    free(list);
}

// Every line walks one step at a time along its major axis, never strays off the minor
// range, and ends on its end point.
TEST(ImgLinePoints, ConnectedAndEndingAtTheEndPoint) {
    for (int dx = -9; dx <= 9; dx++)
        for (int dy = -9; dy <= 9; dy++) {
            const std::vector<int> v = line(2, -3, 2 + dx, -3 + dy);
            const int major = std::max(std::abs(dx), std::abs(dy));
            ASSERT_EQ(v.size(), size_t(2 * major + 2)) << dx << ", " << dy;
            EXPECT_EQ(v[0], 2);
            EXPECT_EQ(v[1], -3);
            EXPECT_EQ(v[v.size() - 2], 2 + dx) << dx << ", " << dy;
            EXPECT_EQ(v.back(), -3 + dy) << dx << ", " << dy;
            for (size_t k = 2; k < v.size(); k += 2) {
                const int sx = v[k] - v[k - 2], sy = v[k + 1] - v[k - 1];
                EXPECT_LE(std::abs(sx), 1);
                EXPECT_LE(std::abs(sy), 1);
                EXPECT_EQ(std::max(std::abs(sx), std::abs(sy)), 1);
                EXPECT_TRUE(sx == 0 || (sx > 0) == (dx > 0));
                EXPECT_TRUE(sy == 0 || (sy > 0) == (dy > 0));
            }
        }
}
