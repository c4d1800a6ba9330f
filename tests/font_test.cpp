#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "effects/font.h"
#include "tests/glyph_sheet.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr uint32_t kBackground = 0x00ABCDEF;

// 16 cells a row, 8 rows: codes 0 to 127 draw. Cells are 4 x 3 pixels.
struct FontTest : testing::Test {
    Font *font = font_new();
    Image *target = img_new();

    void SetUp() override {
        font->cell_width = 4;
        font->cell_height = 3;
        font->sheet = make_sheet(16, 8, 4, 3);
        img_resize(target, 40, 6);
        fill(kBackground);
    }
    void TearDown() override {
        font_destroy(&font);
        img_free(&target);
    }
    void fill(uint32_t p) {
        for (int i = 0; i < target->width * target->height; i++) target->pixels[i] = p;
    }
    bool untouched() const {
        for (int i = 0; i < target->width * target->height; i++)
            if (target->pixels[i] != kBackground) return false;
        return true;
    }
};

TEST(Font, NewFontHasSixBySixCellsAndNoSheetAndDrawsNothing) {
    Font *font = font_new();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->cell_width, 6);
    EXPECT_EQ(font->cell_height, 6);
    EXPECT_EQ(font->sheet, nullptr);
    Image *target = img_new();
    Image *before = img_copy(target);
    CaptureStdout();
    font_draw_char(font, 'A', 0, 0, target);
    font_draw_text(font, "AB\n", 0, 0, target);
    font_draw_hex32(font, 0x12345678, 0, 0, target);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(img_equal(before, target));
    img_free(&before);
    img_free(&target);
    font_destroy(&font);
}

TEST(Font, DestroyReleasesSheetAndClearsHandleOnceOnly) {
    Font *font = font_new();
    font->sheet = make_sheet(2, 2, 4, 4);
    font_destroy(&font);
    EXPECT_EQ(font, nullptr);
    CaptureStdout();
    font_destroy(&font);
    font_destroy(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(Font, ModuleRecord) {
    EXPECT_STREQ(font_module.name, "FONT");
    EXPECT_STREQ(font_module.date, "20080531");
    EXPECT_STREQ(font_module.author, "KV");
}

// Every target pixel is either the matching sheet pixel of the cell (its transparent
// corner leaving the background) or untouched, wherever the cell is placed.
TEST_F(FontTest, CharLandsWithItsCornerAtXYAndClipsAtEveryEdge) {
    const struct {
        int x, y;
    } places[] = {{5, 1}, {0, 0}, {-2, 0}, {-4, 0}, {38, 4}, {39, 5}, {40, 0}, {3, -2}, {3, 6}};
    const int code = 'A';
    for (auto at : places) {
        fill(kBackground);
        font_draw_char(font, code, at.x, at.y, target);
        for (int ty = 0; ty < target->height; ty++)
            for (int tx = 0; tx < target->width; tx++) {
                const int i = tx - at.x, j = ty - at.y;
                uint32_t want = kBackground;
                if (i >= 0 && i < 4 && j >= 0 && j < 3 && !(i == 3 && j == 2))
                    want = (uint32_t(code + 1) << 16) | uint32_t(j << 8) | uint32_t(i);
                ASSERT_EQ(img_get(target, tx, ty), want)
                    << "cell at " << at.x << "," << at.y << " pixel " << tx << "," << ty;
            }
    }
}

TEST_F(FontTest, CodesOutsideTheSheetDrawNothing) {
    const int32_t outside[] = {-60, -1, -128, 128, 1000, INT32_MAX, INT32_MIN};
    for (int32_t code : outside) {
        font_draw_char(font, code, 0, 0, target);
        EXPECT_TRUE(untouched()) << "code " << code;
    }
    for (int32_t code : {0, 127}) {
        fill(kBackground);
        font_draw_char(font, code, 0, 0, target);
        EXPECT_EQ(decode_pixel(img_get(target, 0, 0)).code, code);
    }
}

TEST(Font, DrawableCodesFollowTheSheetSize) {
    Font *font = font_new();
    font->cell_width = font->cell_height = 8;
    font->sheet = make_sheet(16, 6, 8, 8); // 128 x 48
    Image *target = img_new();
    for (int code = 0; code < 200; code++) {
        img_clear(target);
        font_draw_char(font, code, 0, 0, target);
        EXPECT_EQ(decode_pixel(img_get(target, 0, 0)).code, code < 96 ? code : -1) << code;
    }
    // The cell of 'A' is cell row 4, cell column 1: sheet (8, 32).
    img_clear(target);
    font_draw_char(font, 'A', 0, 0, target);
    EXPECT_EQ(img_get(target, 0, 0), img_get(font->sheet, 8, 32));
    img_free(&target);
    font_destroy(&font);
}

// Cell products beyond the int range, and cells of no size, draw nothing and stay defined.
TEST_F(FontTest, ExtremeCellSizesDrawNothing) {
    const struct {
        int32_t cw, ch, code;
    } cases[] = {{INT32_MAX, 3, 2},
                 {4, INT32_MAX, 127},
                 {INT32_MAX, INT32_MAX, INT32_MAX},
                 {INT32_MIN, 3, INT32_MIN},
                 {0, 3, 'A'},
                 {4, 0, 'A'},
                 {-4, 3, -1},
                 {INT32_MIN, INT32_MIN, 1}};
    for (auto c : cases) {
        font->cell_width = c.cw;
        font->cell_height = c.ch;
        font_draw_char(font, c.code, 0, 0, target);
        font_draw_text(font, "AB", INT32_MAX, 0, target);
        font_draw_hex32(font, 0xFFFFFFFF, INT32_MAX - 1, 0, target);
        EXPECT_TRUE(untouched()) << c.cw << "x" << c.ch << " code " << c.code;
    }
}

TEST_F(FontTest, SheetWithoutColumnsDrawsNothing) {
    img_resize(font->sheet, 0, 24);
    font_draw_char(font, 'A', 0, 0, target);
    EXPECT_TRUE(untouched());
}

TEST_F(FontTest, HexadecimalDigitsMostSignificantFirst) {
    enum Kind { Hex8, Hex16, Hex32 };
    const struct {
        Kind kind;
        uint32_t value;
        const char *digits;
    } cases[] = {
        {Hex32, 0x1234ABCD, "1234ABCD"},
        {Hex32, 0xFFFFFFFF, "FFFFFFFF"},
        {Hex32, 0, "00000000"},
        {Hex32, 0x80000009, "80000009"},
        {Hex8, 0x1F5, "F5"},
        {Hex8, 0xFFFFFFFF, "FF"},
        {Hex8, 0x0A, "0A"},
        {Hex16, 0x00A0, "00A0"},
        {Hex16, 0x12345, "2345"},
        {Hex16, 0xFFFF9BEF, "9BEF"},
    };
    for (auto c : cases) {
        fill(kBackground);
        if (c.kind == Hex8) font_draw_hex8(font, int32_t(c.value), 2, 1, target);
        if (c.kind == Hex16) font_draw_hex16(font, int32_t(c.value), 2, 1, target);
        if (c.kind == Hex32) font_draw_hex32(font, c.value, 2, 1, target);
        const int n = int(strlen(c.digits));
        EXPECT_EQ(cells_at(target, 2, 1, 4, n + 1), std::string(c.digits) + ".") << c.digits;
    }
}

TEST_F(FontTest, TextIsOneLineEndingAtNewlineOrZero) {
    const struct {
        const char *text;
        const char *cells; // what the first five slots show
    } cases[] = {
        {"AB\n", "AB..."},
        {"\nAB", "....."},
        {"AB\nCD", "AB..."},
        {"A\xC4"
         "B\n",
         "A.B.."},
        {"\x80\xFF"
         "C",
         "..C.."},
        {"", "....."},
    };
    for (auto c : cases) {
        fill(kBackground);
        font_draw_text(font, c.text, 4, 2, target);
        EXPECT_EQ(cells_at(target, 4, 2, 4, 5), c.cells) << '"' << c.text << '"';
    }
}

// The text sits in a buffer of exactly its own size, so a read past its zero is caught.
TEST_F(FontTest, TextWithoutNewlineStopsAtItsZero) {
    char *text = static_cast<char *>(malloc(4));
    memcpy(text, "XYZ", 4);
    font_draw_text(font, text, 0, 0, target);
    EXPECT_EQ(cells_at(target, 0, 0, 4, 4), "XYZ.");
    free(text);
}

TEST_F(FontTest, MissingArgumentsDrawNothing) {
    CaptureStdout();
    font_draw_text(font, nullptr, 0, 0, target);
    font_draw_char(nullptr, 'A', 0, 0, target);
    font_draw_hex8(nullptr, 1, 0, 0, target);
    font_draw_hex16(nullptr, 1, 0, 0, target);
    font_draw_hex32(nullptr, 1, 0, 0, target);
    font_draw_text(nullptr, "A\n", 0, 0, target);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(untouched());
    // A missing target is the Image module's to report.
    CaptureStdout();
    font_draw_char(font, 'A', 0, 0, nullptr);
    EXPECT_EQ(GetCapturedStdout(), "IMG error\n");
}

} // namespace
