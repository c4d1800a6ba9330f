#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "sound/arr.h"

namespace {

Array *make(std::initializer_list<intptr_t> values) {
    Array *a = arr_new();
    for (intptr_t v : values) arr_push(a, v);
    return a;
}

std::vector<intptr_t> elements(const Array *a) {
    return std::vector<intptr_t>(a->items, a->items + a->count);
}

using V = std::vector<intptr_t>;

TEST(Arr, NewArrayAndDoublingGrowth) {
    Array *a = arr_new();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->count, 0);
    EXPECT_EQ(a->capacity, 2);
    const int capacity_after[] = {2, 2, 4, 4, 8, 8, 8, 8, 16};
    for (int i = 0; i < 9; i++) {
        arr_push(a, 100 + i);
        EXPECT_EQ(a->capacity, capacity_after[i]) << "after push " << i + 1;
    }
    EXPECT_EQ(elements(a), (V{100, 101, 102, 103, 104, 105, 106, 107, 108}));
    arr_free(&a);
    EXPECT_EQ(a, nullptr);
    arr_free(&a); // a second release of the cleared handle does nothing
    arr_free(nullptr);
}

TEST(Arr, PointersSurviveTheRoundTrip) {
    static int objects[3];
    Array *a = arr_new();
    for (int &o : objects) arr_push(a, reinterpret_cast<intptr_t>(&o));
    EXPECT_EQ(reinterpret_cast<int *>(arr_get(a, 2)), &objects[2]);
    EXPECT_EQ(arr_find(a, reinterpret_cast<intptr_t>(&objects[1])), 1);
    EXPECT_EQ(reinterpret_cast<int *>(arr_pop(a)), &objects[2]);
    arr_free(&a);
}

TEST(Arr, PopGetSetFind) {
    Array *a = make({5, 0, 7, 5});
    EXPECT_EQ(arr_get(a, 2), 7);
    EXPECT_EQ(arr_get(a, 4), 0);
    EXPECT_EQ(arr_get(a, -1), 0);
    EXPECT_EQ(arr_get(nullptr, 0), 0);
    arr_set(a, 9, 3);
    arr_set(a, 1, 4); // out of range: nothing
    arr_set(a, 1, -1);
    EXPECT_EQ(elements(a), (V{5, 0, 7, 9}));
    EXPECT_EQ(arr_find(a, 5), 0);
    EXPECT_EQ(arr_find(a, 0), -1); // 0 is never searched for, though element 1 is 0
    EXPECT_EQ(arr_find(a, 42), -1);
    EXPECT_EQ(arr_find(nullptr, 5), -1);
    EXPECT_EQ(arr_pop(a), 9);
    EXPECT_EQ(a->count, 3);
    arr_free(&a);

    Array *e = arr_new();
    EXPECT_EQ(arr_pop(e), 0);
    EXPECT_EQ(e->count, 0);
    EXPECT_EQ(e->capacity, 2);
    EXPECT_EQ(arr_pop(nullptr), 0);
    arr_free(&e);
}

TEST(Arr, InsertAndRemove) {
    const struct {
        int index;
        V expect;
    } cases[] = {
        {0, {9, 1, 2, 3}}, {1, {1, 9, 2, 3}}, {3, {1, 2, 3, 9}}, // index == count appends
        {4, {1, 2, 3}},    {-1, {1, 2, 3}},                      // out of range: nothing
    };
    for (const auto &c : cases) {
        Array *a = make({1, 2, 3});
        arr_insert(a, 9, c.index);
        EXPECT_EQ(elements(a), c.expect) << "index " << c.index;
        arr_free(&a);
    }
    Array *a = make({1, 2, 3, 4});
    arr_remove(a, 1);
    EXPECT_EQ(elements(a), (V{1, 3, 4}));
    arr_remove(a, 2);
    EXPECT_EQ(elements(a), (V{1, 3}));
    arr_remove(a, 2);
    arr_remove(a, -1);
    EXPECT_EQ(elements(a), (V{1, 3}));
    // Insertion into a full block grows it first.
    arr_insert(a, 7, 0);
    EXPECT_EQ(a->capacity, 4);
    EXPECT_EQ(elements(a), (V{7, 1, 3}));
    arr_free(&a);
    arr_insert(nullptr, 1, 0);
    arr_remove(nullptr, 0);
}

TEST(Arr, EqualAndCopy) {
    Array *a = make({1, 2, 3});
    Array *b = arr_new();
    arr_grow(b);
    arr_grow(b);
    for (intptr_t v : {1, 2, 3}) arr_push(b, v);
    EXPECT_NE(a->capacity, b->capacity);
    EXPECT_EQ(arr_equal(a, b), 1); // capacities don't matter
    arr_set(b, 4, 2);
    EXPECT_EQ(arr_equal(a, b), 0);
    arr_pop(b);
    EXPECT_EQ(arr_equal(a, b), 0); // counts differ
    EXPECT_EQ(arr_equal(nullptr, nullptr), 1);
    EXPECT_EQ(arr_equal(a, nullptr), 0);
    EXPECT_EQ(arr_equal(nullptr, a), 0);
    EXPECT_EQ(arr_equal(a, a), 1);

    Array *c = arr_copy(b); // b has capacity 8; the copy follows the doubling from 2
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(elements(c), (V{1, 2}));
    EXPECT_EQ(c->capacity, 2);
    EXPECT_EQ(arr_copy(nullptr), nullptr);
    EXPECT_EQ(arr_to_text(a), nullptr);
    EXPECT_EQ(arr_from_text("ARR{1}"), nullptr);
    arr_free(&a);
    arr_free(&b);
    arr_free(&c);
}

TEST(Arr, SliceAndEraseRange) {
    Array *a = make({10, 11, 12, 13, 14});
    Array *s = arr_slice(a, 1, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(elements(s), (V{11, 12}));
    arr_free(&s);
    s = arr_slice(a, 0, a->count);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(arr_equal(s, a), 1);
    arr_free(&s);
    const int refused[][2] = {{2, 2}, {3, 2}, {-1, 2}, {0, 6}};
    for (auto r : refused) {
        EXPECT_EQ(arr_slice(a, r[0], r[1]), nullptr) << r[0] << ".." << r[1];
        arr_erase_range(a, r[0], r[1]);
        EXPECT_EQ(a->count, 5);
    }
    EXPECT_EQ(arr_slice(nullptr, 0, 1), nullptr);

    arr_erase_range(a, 1, 3);
    EXPECT_EQ(elements(a), (V{10, 13, 14}));
    arr_erase_range(a, 1, a->count);
    EXPECT_EQ(elements(a), (V{10}));
    arr_free(&a);
}

TEST(Arr, InsertRange) {
    const struct {
        int from, to, at;
        V expect;
    } cases[] = {
        {0, 2, 3, {1, 2, 3, 7, 8}},    // at == count appends
        {1, 3, 0, {8, 9, 1, 2, 3}},    //
        {0, 3, 1, {1, 7, 8, 9, 2, 3}}, // grows twice: capacity 4 -> 8
        {2, 2, 0, {1, 2, 3}},          // empty range: nothing
        {0, 4, 0, {1, 2, 3}},          // beyond src
        {0, 1, 4, {1, 2, 3}},          // beyond dst
        {0, 1, -1, {1, 2, 3}},
    };
    for (const auto &c : cases) {
        Array *src = make({7, 8, 9});
        Array *dst = make({1, 2, 3});
        arr_insert_range(src, dst, c.from, c.to, c.at);
        EXPECT_EQ(elements(dst), c.expect) << c.from << ".." << c.to << " at " << c.at;
        EXPECT_GE(dst->capacity, dst->count);
        EXPECT_EQ(elements(src), (V{7, 8, 9}));
        arr_free(&src);
        arr_free(&dst);
    }
    arr_insert_range(nullptr, nullptr, 0, 1, 0);
}

TEST(Arr, InsertRangeOfAnArrayIntoItselfTakesTheRangeAsItWas) {
    const struct {
        int from, to, at;
        V expect;
    } cases[] = {
        {0, 3, 3, {1, 2, 3, 1, 2, 3}}, // the range lies before at
        {1, 3, 0, {2, 3, 1, 2, 3}},    // after at: it moves while being copied
        {0, 3, 1, {1, 1, 2, 3, 2, 3}}, // at inside the range
    };
    for (const auto &c : cases) {
        Array *a = make({1, 2, 3});
        arr_insert_range(a, a, c.from, c.to, c.at);
        EXPECT_EQ(elements(a), c.expect) << c.from << ".." << c.to << " at " << c.at;
        arr_free(&a);
    }
}

// A block that can't double: the insertions are refused, the elements stay, and nothing
// is written past the block (the sanitizer build would see it).
TEST(Arr, FailedGrowthRefusesTheInsertion) {
    intptr_t block[4] = {1, 2, 3, 4};
    Array full{block, INT_MAX / 2 + 1, INT_MAX / 2 + 1};
    EXPECT_EQ(arr_grow(&full), 0);
    arr_push(&full, 9);
    arr_insert(&full, 9, 0);
    Array src{block, 4, 2};
    arr_insert_range(&src, &full, 0, 2, 0);
    EXPECT_EQ(full.count, INT_MAX / 2 + 1);
    EXPECT_EQ(full.items, block);
    EXPECT_EQ(std::vector<intptr_t>(block, block + 4), (V{1, 2, 3, 4}));
    EXPECT_EQ(arr_grow(nullptr), 0);
}

TEST(Arr, GrowKeepsElementsAndZeroFillsTheRest) {
    Array *a = make({4, 5});
    ASSERT_EQ(arr_grow(a), 1);
    EXPECT_EQ(a->capacity, 4);
    EXPECT_EQ(std::vector<intptr_t>(a->items, a->items + 4), (V{4, 5, 0, 0}));
    arr_free(&a);
    Array bare{nullptr, 0, 0}; // a record with no block at all starts at two slots
    arr_push(&bare, 3);
    EXPECT_EQ(bare.capacity, 2);
    EXPECT_EQ(arr_get(&bare, 0), 3);
    free(bare.items);
}

} // namespace
