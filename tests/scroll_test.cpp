#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "effects/scroll.h"
#include "tests/glyph_sheet.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr char kText[] = "ABCDEFGHIJ";
constexpr int kLength = 10;

// 8 x 2 cells, 16 a row; a strip six cells wide.
struct ScrollTest : testing::Test {
    Font *font = font_new();
    Image *strip = img_new();
    Scroller *s = scroll_new();

    void SetUp() override {
        font->cell_width = 8;
        font->cell_height = 2;
        font->sheet = make_sheet(16, 8, 8, 2);
        img_resize(strip, 48, 2);
        scroll_set(s, kText, font, strip);
        s->width = 40;
    }
    void TearDown() override {
        scroll_destroy(&s);
        font_destroy(&font);
        img_free(&strip);
    }
    // The character and its column that show at the strip's pixel (x, 0).
    CellPixel at(int x) const { return decode_pixel(img_get(strip, x, 0)); }
};

TEST(Scroll, NewScrollerWaitsForItsText) {
    Scroller *s = scroll_new();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->x, 0);
    EXPECT_EQ(s->y, 0);
    EXPECT_EQ(s->reserved0, 0);
    EXPECT_EQ(s->width, 0);
    EXPECT_EQ(s->reserved1, 0);
    EXPECT_EQ(s->reserved2, 0);
    EXPECT_EQ(s->speed, 1);
    EXPECT_EQ(s->offset, 0);
    EXPECT_EQ(s->text, nullptr);
    EXPECT_EQ(s->target, nullptr);
    ASSERT_NE(s->cursor, nullptr);
    EXPECT_EQ(s->cursor->length, 25);
    EXPECT_EQ(s->cursor->position, 0);
    ASSERT_NE(s->font, nullptr);
    EXPECT_EQ(s->font->cell_width, 6);
    EXPECT_EQ(s->font->cell_height, 6);
    EXPECT_EQ(s->font->sheet, nullptr);

    CaptureStdout();
    scroll_draw(s);
    scroll_step(s);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(s->offset, 0);
    EXPECT_EQ(s->cursor->position, 0);
    scroll_destroy(&s); // releases the scroller's own font with it
    EXPECT_EQ(s, nullptr);
}

TEST(Scroll, ModuleRecordCarriesTheDefaultText) {
    EXPECT_STREQ(scroll_module.name, "SCROLL");
    EXPECT_STREQ(scroll_module.date, "20080827");
    EXPECT_STREQ(scroll_module.author, "KV");
    EXPECT_STREQ(scroll_module.default_text, "A scroll's default text. ");
    EXPECT_STREQ(scroll_default_text, "A scroll's default text. ");
}

TEST(Scroll, TextLengthCountsBytesBeforeTheZero) {
    const struct {
        const char *text;
        int32_t length;
    } cases[] = {{"", 0}, {scroll_default_text, 25}, {"AB\nC", 4}, {"\xC4\x80", 2}};
    for (auto c : cases) EXPECT_EQ(scroll_text_length(c.text), c.length) << '"' << c.text << '"';
    CaptureStdout();
    EXPECT_EQ(scroll_text_length(nullptr), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(ScrollTest, SetStartsANewCursorAndKeepsTheWindow) {
    s->x = 3;
    s->y = 1;
    s->width = 17;
    s->speed = -2;
    s->offset = 5;
    s->cursor->position = 6;
    Image *other = img_new();
    scroll_set(s, "XYZ", font, other);
    EXPECT_EQ(s->cursor->position, 0);
    EXPECT_EQ(s->cursor->length, 3);
    EXPECT_STREQ(s->text, "XYZ");
    EXPECT_EQ(s->font, font);
    EXPECT_EQ(s->target, other);
    EXPECT_EQ(s->x, 3);
    EXPECT_EQ(s->y, 1);
    EXPECT_EQ(s->width, 17);
    EXPECT_EQ(s->speed, -2);
    EXPECT_EQ(s->offset, 5);
    img_free(&other);
}

TEST_F(ScrollTest, SetWithAMissingArgumentChangesNothing) {
    Image *other = img_new();
    s->cursor->position = 4;
    const Cursor *cursor = s->cursor;
    const struct {
        const char *text;
        Font *font;
        Image *target;
    } cases[] = {{nullptr, font, other}, {"XY", nullptr, other}, {"XY", font, nullptr}};
    CaptureStdout();
    for (auto c : cases) scroll_set(s, c.text, c.font, c.target);
    scroll_set(nullptr, "XY", font, other);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(s->cursor, cursor);
    EXPECT_EQ(s->cursor->position, 4);
    EXPECT_EQ(s->text, kText);
    EXPECT_EQ(s->target, strip);
    img_free(&other);
}

TEST_F(ScrollTest, StepMovesByWholeCellsAndKeepsTheRest) {
    const struct {
        int32_t speed, offset, position;
        int32_t want_position, want_offset;
    } cases[] = {
        {1, 0, 0, 0, 1},   {1, 7, 0, 1, 0},  {20, 0, 0, 2, 4}, {8, 0, 9, 0, 0},  {25, 6, 8, 1, 7},
        {-1, 0, 3, 2, 7},  {-1, 0, 0, 9, 7}, {-8, 0, 3, 1, 8}, {-8, 8, 1, 1, 0}, {-9, 8, 1, 0, 7},
        {-17, 0, 0, 7, 7}, {0, 5, 3, 3, 5},  {0, 0, 0, 0, 0},  {-3, 5, 4, 4, 2}, {3, 8, 2, 3, 3},
    };
    for (auto c : cases) {
        s->speed = c.speed;
        s->offset = c.offset;
        s->cursor->position = c.position;
        scroll_step(s);
        EXPECT_EQ(s->cursor->position, c.want_position)
            << "speed " << c.speed << " from " << c.position << "+" << c.offset;
        EXPECT_EQ(s->offset, c.want_offset)
            << "speed " << c.speed << " from " << c.position << "+" << c.offset;
    }
}

TEST_F(ScrollTest, EightStepsOfOnePixelMoveOneCharacter) {
    for (int i = 0; i < 8; i++) scroll_step(s);
    EXPECT_EQ(s->cursor->position, 1);
    EXPECT_EQ(s->offset, 0);
}

// Frame after frame, the strip's left pixel shows the text moved on by speed pixels a
// frame, round and round the circular text: at a total displacement of d pixels, the
// character d / 8 of the text, its column d mod 8.
TEST_F(ScrollTest, FramesShowTheTextMovingAndWrapping) {
    for (int32_t speed : {1, 3, -3, -8, 20, -17}) {
        scroll_set(s, kText, font, strip);
        s->offset = 0;
        s->speed = speed;
        for (int frame = 0; frame < 60; frame++) {
            img_clear(strip);
            scroll_draw(s);
            const int d = ((frame * speed) % (kLength * 8) + kLength * 8) % (kLength * 8);
            const CellPixel p = at(0);
            ASSERT_EQ(p.code, kText[d / 8]) << "speed " << speed << " frame " << frame;
            ASSERT_EQ(p.column, d % 8) << "speed " << speed << " frame " << frame;
            scroll_step(s);
        }
    }
}

TEST_F(ScrollTest, DrawFillsTheWindowFromTheCursorAndRestoresIt) {
    const struct {
        int32_t position, offset, x, width;
        int read_x;
        const char *cells; // six slots of 8 pixels from read_x
    } cases[] = {
        {0, 0, 0, 40, 0, "ABCDEF"},        // width / 8 + 1 characters
        {8, 0, 0, 40, 0, "IJABCD"},        // from the last character on to the first
        {9, 3, 0, 40, 5, "ABCDE."},        // J is 3 pixels out on the left
        {0, 0, 4, 16, 4, "ABC..."},        // the last one reaches past the window
        {0, 8, 8, 16, 0, "ABC..."},        // offset w: as one cell further on
        {2, 0, 0, 0, 0, "C....."},         // an empty window still takes one character
        {0, 0, 0, -8, 0, "......"},        // a negative one none
        {5, 0, 0, INT32_MAX, 0, "FGHIJA"}, // cut short at the target's right edge
    };
    for (auto c : cases) {
        img_clear(strip);
        s->cursor->position = c.position;
        s->offset = c.offset;
        s->x = c.x;
        s->width = c.width;
        s->cursor->step = 5;
        scroll_draw(s);
        EXPECT_EQ(cells_at(strip, c.read_x, 0, 8, 6), c.cells)
            << "from " << c.position << "+" << c.offset << " x " << c.x << " width " << c.width;
        EXPECT_EQ(s->cursor->position, c.position);
        EXPECT_EQ(s->cursor->step, 1);
    }
    // J's right part at the left edge.
    img_clear(strip);
    s->cursor->position = 9;
    s->offset = 3;
    s->x = 0;
    s->width = 40;
    scroll_draw(s);
    EXPECT_EQ(at(0).code, 'J');
    EXPECT_EQ(at(0).column, 3);
}

TEST_F(ScrollTest, HighBytesLeaveTheirCellEmpty) {
    scroll_set(s,
               "AB\xC4"
               "CD\x80",
               font, strip);
    scroll_draw(s);
    EXPECT_EQ(cells_at(strip, 0, 0, 8, 6), "AB.CD.");
}

// A backward step ending on a cell boundary leaves offset at the cell width; the picture
// is the one of a cell further back with offset 0, across the whole window.
TEST_F(ScrollTest, BackwardStepOntoACellBoundaryShowsTheSamePicture) {
    s->width = strip->width;
    s->cursor->position = 3;
    s->speed = -8;
    scroll_step(s);
    ASSERT_EQ(s->cursor->position, 1);
    ASSERT_EQ(s->offset, 8);
    scroll_draw(s);
    Image *stepped = img_copy(strip);

    img_clear(strip);
    s->cursor->position = 2;
    s->offset = 0;
    scroll_draw(s);
    EXPECT_TRUE(img_equal(stepped, strip));
    EXPECT_EQ(cells_at(strip, 0, 0, 8, 6), "CDEFGH");
    img_free(&stepped);
}

// An empty text or a cell narrower than a pixel has nothing to walk through: draw and step
// refuse instead of dividing by zero or looping without end.
TEST_F(ScrollTest, UnusableTextOrCellsAreRefused) {
    const struct {
        const char *text;
        int32_t cell_width;
        int32_t position;
    } cases[] = {{"", 8, 0}, {kText, 0, 0}, {kText, -8, 0}, {kText, 8, kLength}, {kText, 8, -1}};
    for (auto c : cases) {
        scroll_set(s, c.text, font, strip);
        font->cell_width = c.cell_width;
        s->cursor->position = c.position;
        s->offset = 3;
        s->speed = 5;
        img_clear(strip);
        CaptureStdout();
        scroll_draw(s);
        scroll_step(s);
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(s->offset, 3) << '"' << c.text << "\" cells " << c.cell_width;
        EXPECT_EQ(s->cursor->position, c.position);
        EXPECT_EQ(cells_at(strip, 0, 0, 8, 6), "......");
    }
}

TEST_F(ScrollTest, ExtremeSpeedsAndOffsetsStayDefined) {
    const struct {
        int32_t cell_width, speed, offset;
        int32_t want_position, want_offset;
    } cases[] = {
        {8, INT32_MAX, 7, 6, 6},         // 2^28 cells on
        {1, INT32_MAX, INT32_MAX, 4, 0}, // 2^32 - 2 cells: more than a cursor step holds
        {1, INT32_MIN, INT32_MIN, 3, 1}, // 2^32 + 1 cells back, ending on a boundary
        {8, INT32_MIN, 0, 3, 8},
    };
    for (auto c : cases) {
        font->cell_width = c.cell_width;
        s->cursor->position = 0;
        s->speed = c.speed;
        s->offset = c.offset;
        scroll_step(s);
        EXPECT_EQ(s->cursor->position, c.want_position) << c.speed << " from +" << c.offset;
        EXPECT_EQ(s->offset, c.want_offset) << c.speed << " from +" << c.offset;
    }
    // A window starting far out on the left is passed over, not walked cell by cell.
    font->cell_width = 1;
    s->cursor->position = 2;
    s->x = INT32_MIN;
    s->offset = INT32_MAX;
    s->width = INT32_MAX;
    img_clear(strip);
    scroll_draw(s);
    EXPECT_EQ(s->cursor->position, 2);
    EXPECT_EQ(cells_at(strip, 0, 0, 8, 6), "......");
}

// The caller's font outlives the scroller; the scroller's own first font does not leak,
// not even when it is handed back to scroll_set.
TEST_F(ScrollTest, DestroyReleasesOnlyWhatTheScrollerOwns) {
    scroll_destroy(&s);
    EXPECT_EQ(s, nullptr);
    font_draw_char(font, 'A', 0, 0, strip); // still alive
    EXPECT_EQ(at(0).code, 'A');
    CaptureStdout();
    scroll_destroy(&s);
    scroll_destroy(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");

    Scroller *own = scroll_new();
    scroll_set(own, kText, own->font, strip);
    scroll_set(own, "XY", own->font, strip);
    EXPECT_EQ(own->cursor->length, 2);
    scroll_step(own); // reads the font's cell width
    EXPECT_EQ(own->offset, 1);
    scroll_destroy(&own);
}

} // namespace
