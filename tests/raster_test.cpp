#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "effects/raster.h"
#include "intro/intro_bars.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

Image *image(int w, int h, uint32_t fill) {
    Image *img = img_new();
    img_resize(img, w, h);
    for (int i = 0; i < w * h; i++) img->pixels[i] = fill;
    return img;
}

// The colour of row y if every pixel of it has one, else a marker no colour list holds.
uint32_t row_colour(const Image *img, int y) {
    const uint32_t first = img_get(img, 0, y);
    for (int x = 1; x < img->width; x++)
        if (img_get(img, x, y) != first) return 0xDEAD0000;
    return first;
}

// A file of this test's own, removed with the test.
struct TempFile {
    std::string path;
    explicit TempFile(const char *name)
        : path(testing::TempDir() + "raster_test_" + std::to_string(getpid()) + "_" + name) {}
    ~TempFile() { remove(path.c_str()); }
    void write(const char *content) const {
        FILE *f = fopen(path.c_str(), "w");
        fputs(content, f);
        fclose(f);
    }
    std::string read() const {
        std::string s;
        FILE *f = fopen(path.c_str(), "r");
        if (!f) return "(missing)";
        for (int c; (c = fgetc(f)) != EOF;) s += char(c);
        fclose(f);
        return s;
    }
};

// intro_bars is shared by the whole program; every test leaves its index as it found it.
struct IntroBarsTest : testing::Test {
    void TearDown() override { intro_bars.index = 0; }
};

TEST(Raster, NewListIs256BlackColoursAndBlackensTheTarget) {
    Raster *r = raster_new();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->count, 256);
    EXPECT_EQ(r->index, 0);
    for (int i = 0; i < 256; i++) ASSERT_EQ(r->colours[i], 0u);
    Image *target = image(7, 300, 0x123456);
    raster_draw(r, target);
    for (int i = 0; i < 7 * 300; i++) ASSERT_EQ(target->pixels[i], 0u);
    img_free(&target);
    raster_destroy(&r);
    EXPECT_EQ(r, nullptr);
}

TEST(Raster, ModuleRecord) {
    EXPECT_STREQ(raster_module.name, "RASTER");
    EXPECT_STREQ(raster_module.date, "20080421");
    EXPECT_STREQ(raster_module.author, "KV");
}

TEST_F(IntroBarsTest, EightRowsAtIndexZeroAndAt115) {
    EXPECT_EQ(intro_bars.count, 120);
    EXPECT_EQ(intro_bars.colours, bar_colours);
    const struct {
        int32_t index;
        uint32_t rows[8];
    } cases[] = {
        {0, {0x701010, 0x801010, 0x901010, 0xA01010, 0xB01010, 0xB01010, 0xA01010, 0x901010}},
        {115, {0xB01050, 0xA01050, 0x901040, 0x801040, 0x701030, 0x701010, 0x801010, 0x901010}},
    };
    Image *strip = image(640, 8, 0xFFFFFF);
    for (auto c : cases) {
        intro_bars.index = c.index;
        raster_draw(&intro_bars, strip);
        for (int y = 0; y < 8; y++)
            EXPECT_EQ(row_colour(strip, y), c.rows[y]) << "index " << c.index << " row " << y;
    }
    img_free(&strip);
}

// Each bar rises to 0xB0 in its main channels over five rows and falls back mirrored.
TEST(IntroBars, BarsRiseAndFallSymmetrically) {
    const uint32_t peaks[12] = {0xB01010, 0xB05010, 0xB0B010, 0x50B010, 0x10B010, 0x10B050,
                                0x10B0B0, 0x1050B0, 0x1020B0, 0x5020B0, 0xB010B0, 0xB01050};
    const uint32_t firsts[12] = {0x701010, 0x703010, 0x707010, 0x307010, 0x107010, 0x107030,
                                 0x107070, 0x103070, 0x102070, 0x302070, 0x701070, 0x701030};
    for (int bar = 0; bar < 12; bar++) {
        const uint32_t *b = bar_colours + 10 * bar;
        EXPECT_EQ(b[0], firsts[bar]) << "bar " << bar;
        EXPECT_EQ(b[4], peaks[bar]) << "bar " << bar;
        for (int k = 0; k < 5; k++) EXPECT_EQ(b[k], b[9 - k]) << "bar " << bar << " row " << k;
    }
}

TEST_F(IntroBarsTest, AdvanceWrapsAfterTheLastEntry) {
    intro_bars.index = 119;
    raster_advance(&intro_bars);
    EXPECT_EQ(intro_bars.index, 0);
    for (int i = 0; i < 120; i++) raster_advance(&intro_bars);
    EXPECT_EQ(intro_bars.index, 0);
    raster_advance(&intro_bars);
    EXPECT_EQ(intro_bars.index, 1);
}

TEST(Raster, AdvanceFromAnIndexSetByHandStaysDefined) {
    Raster *r = raster_new();
    r->index = INT32_MAX;
    raster_advance(r);
    EXPECT_EQ(r->index, 0);
    r->index = -5;
    raster_advance(r);
    EXPECT_EQ(r->index, -4);
    raster_destroy(&r);
}

// A target taller than the list repeats it, and an index set out of range by hand is
// taken modulo the list.
TEST(Raster, DrawTakesRowColoursCyclically) {
    Raster *r = raster_new();
    raster_resize(r, 3);
    r->colours[0] = 0x0000AA;
    r->colours[1] = 0x00BB00;
    r->colours[2] = 0xCC0000;
    const struct {
        int32_t index;
        uint32_t rows[7];
    } cases[] = {
        {0, {0xAA, 0xBB00, 0xCC0000, 0xAA, 0xBB00, 0xCC0000, 0xAA}},
        {2, {0xCC0000, 0xAA, 0xBB00, 0xCC0000, 0xAA, 0xBB00, 0xCC0000}},
        {-1, {0xCC0000, 0xAA, 0xBB00, 0xCC0000, 0xAA, 0xBB00, 0xCC0000}},
        {INT32_MAX, {0xBB00, 0xCC0000, 0xAA, 0xBB00, 0xCC0000, 0xAA, 0xBB00}},
    };
    Image *target = image(5, 7, 0);
    for (auto c : cases) {
        r->index = c.index;
        raster_draw(r, target);
        for (int y = 0; y < 7; y++)
            EXPECT_EQ(row_colour(target, y), c.rows[y]) << "index " << c.index << " row " << y;
    }
    img_free(&target);
    raster_destroy(&r);
}

TEST(Raster, HlineFillsTheClippedSpanOnly) {
    const struct {
        int32_t y, x0, x1;
        int first, last; // filled columns; first > last for none
    } cases[] = {
        {0, -5, 1000, 0, 319},     {3, 10, 20, 10, 20},
        {1, 7, 7, 7, 7},           {2, 20, 10, 1, 0},
        {-1, 0, 319, 1, 0},        {4, 0, 319, 1, 0},
        {2, 319, 400, 319, 319},   {2, INT32_MIN, INT32_MAX, 0, 319},
        {2, 320, INT32_MAX, 1, 0}, {2, INT32_MIN, -1, 1, 0},
    };
    for (auto c : cases) {
        Image *img = image(320, 4, 0x111111);
        raster_hline(img, 0xABCDEF, c.y, c.x0, c.x1);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 320; x++) {
                const bool in = y == c.y && x >= c.first && x <= c.last;
                ASSERT_EQ(img_get(img, x, y), in ? 0xABCDEFu : 0x111111u)
                    << "span " << c.x0 << ".." << c.x1 << " row " << c.y << " at " << x << "," << y;
            }
        img_free(&img);
    }
}

// Alpha outside 0 .. 256 is held to the nearer end.
TEST(Raster, BlendMixesEachChannelTowardsTheColour) {
    const struct {
        uint32_t old, colour;
        int32_t alpha;
        uint32_t expected;
    } cases[] = {
        {0x000000, 0xFF00FF, 128, 0x7F007F},  {0x123456, 0xFFFFFF, 0, 0x123456},
        {0x123456, 0xABCDEF, 256, 0xABCDEF},  {0x808080, 0x000000, 64, 0x606060},
        {0x102030, 0x302010, 128, 0x202020},  {0xFF000000, 0x000000, 0, 0x000000},
        {0x123456, 0xABCDEF, 1000, 0xABCDEF}, {0x123456, 0xABCDEF, INT32_MIN, 0x123456},
    };
    for (auto c : cases) {
        Image *img = image(3, 2, c.old);
        raster_hline_blend(img, c.colour, 1, -10, 10, c.alpha);
        EXPECT_EQ(row_colour(img, 1), c.expected)
            << std::hex << c.old << " towards " << c.colour << " alpha " << std::dec << c.alpha;
        EXPECT_EQ(row_colour(img, 0), c.old) << "the other row is left alone";
        img_free(&img);
    }
}

TEST(Raster, DrawBlendBlendsEveryRowTowardsItsColour) {
    Raster *r = raster_new();
    raster_resize(r, 2);
    r->colours[0] = 0xFF00FF;
    r->colours[1] = 0x00FF00;
    r->index = 1;
    Image *target = image(4, 3, 0);
    raster_draw_blend(r, target, 128);
    EXPECT_EQ(row_colour(target, 0), 0x007F00u);
    EXPECT_EQ(row_colour(target, 1), 0x7F007Fu);
    EXPECT_EQ(row_colour(target, 2), 0x007F00u);
    img_free(&target);
    raster_destroy(&r);
}

TEST(Raster, EqualAndCopy) {
    Raster *a = raster_new();
    raster_resize(a, 4);
    for (int i = 0; i < 4; i++) a->colours[i] = 0x10101 * uint32_t(i + 1);
    a->index = 37;
    Raster *copy = raster_copy(a);
    ASSERT_NE(copy, nullptr);
    Raster *b = raster_new();
    raster_resize(b, 3);
    Raster *empty1 = raster_new(), *empty2 = raster_new();
    raster_resize(empty1, 0);
    raster_resize(empty2, 0);

    CaptureStdout();
    EXPECT_EQ(raster_equal(a, copy), 1);
    EXPECT_EQ(copy->index, 0);
    EXPECT_EQ(raster_equal(a, b), 0);
    EXPECT_EQ(raster_equal(empty1, empty2), 1);
    copy->index = 2;
    EXPECT_EQ(raster_equal(a, copy), 1) << "the index is not compared";
    copy->colours[3] ^= 1;
    EXPECT_EQ(raster_equal(a, copy), 0);
    EXPECT_EQ(GetCapturedStdout(), "");

    for (Raster **r : {&a, &b, &copy, &empty1, &empty2}) raster_destroy(r);
}

TEST(Raster, ResizeAndClear) {
    Raster *r = raster_new();
    r->colours[0] = 5;
    r->index = 9;
    raster_resize(r, 5);
    EXPECT_EQ(r->count, 5);
    EXPECT_EQ(r->index, 0);
    for (int i = 0; i < 5; i++) EXPECT_EQ(r->colours[i], 0u);
    for (int i = 0; i < 5; i++) r->colours[i] = 0xFFFFFF;
    r->index = 3;
    raster_clear(r);
    EXPECT_EQ(r->index, 3);
    for (int i = 0; i < 5; i++) EXPECT_EQ(r->colours[i], 0u);
    // A negative size keeps the list.
    CaptureStdout();
    raster_resize(r, -1);
    EXPECT_EQ(GetCapturedStdout(), "RASTER error\n");
    EXPECT_EQ(r->count, 5);
    EXPECT_EQ(r->index, 3);
    raster_destroy(&r);
}

TEST(Raster, LoadChecksTheFileAndGivesAnEmptyList) {
    TempFile file("load");
    file.write("0x701010 0x801010\n");
    CaptureStdout();
    Raster *r = raster_load(file.path.c_str());
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->count, 0);
    EXPECT_EQ(r->index, 0);
    raster_destroy(&r);

    TempFile missing("missing");
    CaptureStdout();
    EXPECT_EQ(raster_load(missing.path.c_str()), nullptr);
    EXPECT_EQ(raster_load(nullptr), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "RASTER error\nRASTER error\n");
}

TEST(Raster, SaveChecksItsArgumentsBeforeTouchingTheFile) {
    TempFile file("save");
    file.write("keep me");
    Raster *r = raster_new();
    Raster *empty = raster_new();
    raster_resize(empty, 0);
    Raster hollow = {3, 0, nullptr};
    CaptureStdout();
    EXPECT_EQ(raster_save(empty, file.path.c_str()), 0);
    EXPECT_EQ(raster_save(&hollow, file.path.c_str()), 0);
    EXPECT_EQ(raster_save(nullptr, file.path.c_str()), 0);
    EXPECT_EQ(raster_save(r, nullptr), 0);
    EXPECT_EQ(GetCapturedStdout(), "RASTER error\nRASTER error\nRASTER error\nRASTER error\n");
    EXPECT_EQ(file.read(), "keep me");

    CaptureStdout();
    EXPECT_EQ(raster_save(r, file.path.c_str()), 1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(file.read(), "") << "saving creates or empties the file";
    TempFile fresh("fresh");
    EXPECT_EQ(raster_save(r, fresh.path.c_str()), 1);
    EXPECT_EQ(fresh.read(), "");

    const std::string unreachable =
        testing::TempDir() + "no-such-dir-" + std::to_string(getpid()) + "/colours";
    CaptureStdout();
    EXPECT_EQ(raster_save(r, unreachable.c_str()), 0);
    EXPECT_EQ(GetCapturedStdout(), "RASTER error\n");
    raster_destroy(&r);
    raster_destroy(&empty);
}

// Each missing piece is reported once on standard output and nothing is drawn; the row
// primitives leave a missing Image to the Image module's report.
TEST(Raster, MissingPiecesAreReported) {
    Raster *r = raster_new();
    Raster *empty = raster_new();
    raster_resize(empty, 0);
    Raster hollow = {3, 0, nullptr};
    Image *target = image(4, 2, 0x55);
    const struct {
        const char *what;
        void (*call)(Raster *, Raster *, Raster *, Image *);
        const char *printed;
    } cases[] = {
        {"draw without list",
         [](Raster *, Raster *, Raster *, Image *t) { raster_draw(nullptr, t); }, "RASTER error\n"},
        {"draw without target",
         [](Raster *r, Raster *, Raster *, Image *) { raster_draw(r, nullptr); }, "RASTER error\n"},
        {"draw without colours", [](Raster *, Raster *, Raster *h, Image *t) { raster_draw(h, t); },
         "RASTER error\n"},
        {"draw of an empty list",
         [](Raster *, Raster *e, Raster *, Image *t) { raster_draw(e, t); }, "RASTER error\n"},
        {"blend without list",
         [](Raster *, Raster *, Raster *, Image *t) { raster_draw_blend(nullptr, t, 128); },
         "RASTER error\n"},
        {"blend of an empty list",
         [](Raster *, Raster *e, Raster *, Image *t) { raster_draw_blend(e, t, 128); },
         "RASTER error\n"},
        {"advance",
         [](Raster *, Raster *, Raster *h, Image *) {
             raster_advance(nullptr);
             raster_advance(h);
         },
         "RASTER error\nRASTER error\n"},
        {"clear",
         [](Raster *, Raster *, Raster *h, Image *) {
             raster_clear(nullptr);
             raster_clear(h);
         },
         "RASTER error\nRASTER error\n"},
        {"resize", [](Raster *, Raster *, Raster *, Image *) { raster_resize(nullptr, 3); },
         "RASTER error\n"},
        {"equal",
         [](Raster *r, Raster *, Raster *h, Image *) {
             raster_equal(r, nullptr);
             raster_equal(h, r);
         },
         "RASTER error\nRASTER error\n"},
        {"copy",
         [](Raster *, Raster *, Raster *h, Image *) {
             raster_copy(nullptr);
             raster_copy(h);
         },
         "RASTER error\nRASTER error\n"},
        {"destroy",
         [](Raster *, Raster *, Raster *, Image *) {
             Raster *none = nullptr;
             raster_destroy(&none);
             raster_destroy(nullptr);
         },
         "RASTER error\nRASTER error\n"},
        {"hline", [](Raster *, Raster *, Raster *, Image *) { raster_hline(nullptr, 1, 0, 0, 3); },
         "IMG error\n"},
        {"hline blend",
         [](Raster *, Raster *, Raster *, Image *) { raster_hline_blend(nullptr, 1, 0, 0, 3, 9); },
         "IMG error\n"},
    };
    for (auto c : cases) {
        CaptureStdout();
        c.call(r, empty, &hollow, target);
        EXPECT_EQ(GetCapturedStdout(), c.printed) << c.what;
        EXPECT_EQ(row_colour(target, 0), 0x55u) << c.what;
        EXPECT_EQ(row_colour(target, 1), 0x55u) << c.what;
    }
    img_free(&target);
    raster_destroy(&r);
    raster_destroy(&empty);
}

} // namespace
