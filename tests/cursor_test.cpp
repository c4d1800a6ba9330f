#include <gtest/gtest.h>

#include <climits>

#include "effects/cursor.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

struct CursorTest : testing::Test {
    Cursor *cursor = cursor_new();
    void TearDown() override { cursor_destroy(&cursor); }
};

TEST_F(CursorTest, NewCursorDefaults) {
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->unit, 4);
    EXPECT_EQ(cursor->length, 16);
    EXPECT_EQ(cursor->step, 1);
    EXPECT_EQ(cursor->position, 0);
    EXPECT_EQ(cursor->saved, 0);
}

TEST_F(CursorTest, AdvanceWrapsIntoTheRangeFromEitherSide) {
    const struct {
        int32_t length, position, step, expected;
    } cases[] = {
        {5, 3, 12, 0},
        {5, 1, -7, 4},
        {16, 15, 1, 0},
        {16, 0, -1, 15},
        {16, 0, 40, 8},
        {16, 4, 0, 4},
        {1, 0, INT32_MAX, 0},
        {1, 0, INT32_MIN, 0},
        {3, 0, INT32_MIN, 1},
        {INT32_MAX, INT32_MAX - 1, INT32_MAX, INT32_MAX - 1},
        {INT32_MAX, 0, INT32_MIN, INT32_MAX - 1},
    };
    for (auto c : cases) {
        cursor->length = c.length;
        cursor->position = c.position;
        cursor->step = c.step;
        cursor_advance(cursor);
        EXPECT_EQ(cursor->position, c.expected)
            << "length " << c.length << " from " << c.position << " by " << c.step;
    }
}

TEST_F(CursorTest, SetRestartsAtZeroAndOneLapComesBack) {
    cursor->position = 9;
    cursor_set(cursor, 1, 25, 1);
    EXPECT_EQ(cursor->unit, 1);
    EXPECT_EQ(cursor->length, 25);
    EXPECT_EQ(cursor->step, 1);
    EXPECT_EQ(cursor->position, 0);
    for (int i = 0; i < 24; i++) cursor_advance(cursor);
    EXPECT_EQ(cursor->position, 24);
    cursor_advance(cursor);
    EXPECT_EQ(cursor->position, 0);
}

// A negative place counts back from the end, like a negative step.
TEST_F(CursorTest, SeekTakesThePlaceModuloTheLength) {
    const struct {
        int32_t p, expected;
    } cases[] = {{37, 5}, {0, 0}, {15, 15}, {16, 0}, {-1, 15}, {-17, 15}, {INT32_MIN, 0}};
    for (auto c : cases) {
        cursor_seek(cursor, c.p);
        EXPECT_EQ(cursor->position, c.expected) << "seek " << c.p;
    }
}

TEST_F(CursorTest, MarkAndRestoreSurviveAdvancesAndSet) {
    cursor_seek(cursor, 7);
    cursor_mark(cursor);
    for (int i = 0; i < 3; i++) cursor_advance(cursor);
    EXPECT_EQ(cursor->position, 10);
    cursor_restore(cursor);
    EXPECT_EQ(cursor->position, 7);

    cursor_advance(cursor);
    cursor_set(cursor, 1, 30, 2);
    EXPECT_EQ(cursor->saved, 7);
    cursor_restore(cursor);
    EXPECT_EQ(cursor->position, 7);
}

// Without a place to be in, advance and seek leave the cursor alone instead of dividing
// by zero or looping for ever.
TEST_F(CursorTest, LengthBelowOneLeavesThePositionAlone) {
    for (int32_t length : {0, -1, INT32_MIN}) {
        cursor->length = length;
        cursor->position = 3;
        cursor->step = 5;
        cursor_advance(cursor);
        cursor_seek(cursor, 9);
        EXPECT_EQ(cursor->position, 3) << "length " << length;
    }
}

TEST(Cursor, MissingCursorIsReportedSilently) {
    CaptureStdout();
    cursor_set(nullptr, 1, 2, 3);
    cursor_advance(nullptr);
    cursor_seek(nullptr, 1);
    cursor_mark(nullptr);
    cursor_restore(nullptr);
    cursor_destroy(nullptr);
    Cursor *none = nullptr;
    cursor_destroy(&none);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(Cursor, DestroyFreesAndClearsTheHandle) {
    Cursor *cursor = cursor_new();
    cursor_destroy(&cursor);
    EXPECT_EQ(cursor, nullptr);
}

TEST(Cursor, ModuleRecord) {
    EXPECT_STREQ(cursor_module.name, "CURSOR");
    EXPECT_STREQ(cursor_module.date, "20080827");
    EXPECT_STREQ(cursor_module.author, "KV");
}

} // namespace
