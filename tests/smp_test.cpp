#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sound/smp.h"

namespace {

using V = std::vector<int32_t>;

SampleBuffer *make(const V &values) {
    SampleBuffer *b = smp_new();
    for (int32_t v : values) smp_insert(b, v, b->length);
    return b;
}

V samples(const SampleBuffer *b) {
    return V(b->samples, b->samples + b->length);
}

std::string text_of(const SampleBuffer *b) {
    char *t = smp_to_text(b);
    std::string s = t ? t : "(null)";
    free(t);
    return s;
}

// Runs op on a fresh buffer holding values and gives back what it then holds.
template <typename Op> V after(const V &values, Op op) {
    SampleBuffer *b = make(values);
    op(b);
    V result = samples(b);
    smp_free(&b);
    return result;
}

TEST(Smp, NewBufferAndGrowth) {
    SampleBuffer *b = smp_new();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->length, 0);
    EXPECT_EQ(b->capacity, 32);
    EXPECT_EQ(smp_sample_size, 4);
    for (int i = 0; i < 33; i++) smp_insert(b, i, b->length);
    EXPECT_EQ(b->capacity, 64);
    EXPECT_EQ(b->length, 33);
    EXPECT_EQ(smp_get(b, 32), 32);
    smp_free(&b);
    EXPECT_EQ(b, nullptr);
    smp_free(&b);
    smp_free(nullptr);
}

TEST(Smp, BufferWithoutStorageGetsSomeOnInsert) {
    SampleBuffer *b = static_cast<SampleBuffer *>(calloc(1, sizeof(SampleBuffer)));
    smp_insert(b, 5, 0);
    EXPECT_EQ(b->capacity, 32);
    EXPECT_EQ(samples(b), V{5});
    smp_free(&b);
}

TEST(Smp, EditingByIndex) {
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_insert(b, 9, 1); }), (V{1, 9, 2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_insert(b, 9, 4); }), (V{1, 2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_insert(b, 9, -1); }), (V{1, 2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_remove(b, 0); }), (V{2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_remove(b, 3); }), (V{1, 2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_set(b, 7, 2); }), (V{1, 2, 7}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_set(b, 7, 3); }), (V{1, 2, 3}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_clear(b); }), (V{0, 0, 0}));
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_reverse(b); }), (V{3, 2, 1}));
    EXPECT_EQ(after({1, 2, 3, 4}, [](SampleBuffer *b) { smp_reverse(b); }), (V{4, 3, 2, 1}));
    SampleBuffer *b = make({4, 5});
    EXPECT_EQ(smp_get(b, 1), 5);
    EXPECT_EQ(smp_get(b, 2), 0);
    EXPECT_EQ(smp_get(b, -1), 0);
    EXPECT_EQ(smp_get(nullptr, 0), 0);
    smp_free(&b);
}

TEST(Smp, ReserveAndSetLength) {
    SampleBuffer *b = make({1, 2, 3, 4});
    smp_reserve(b, 2); // cuts the length
    EXPECT_EQ(b->capacity, 2);
    EXPECT_EQ(samples(b), (V{1, 2}));
    smp_reserve(b, 0); // refused
    smp_reserve(b, -3);
    EXPECT_EQ(b->capacity, 2);
    smp_set_length(b, 5); // the new slots come in as zeros
    EXPECT_EQ(samples(b), (V{1, 2, 0, 0, 0}));
    EXPECT_EQ(b->capacity, 5);
    smp_set_length(b, 1);
    smp_set_length(b, 3); // slots that come back keep what they held
    EXPECT_EQ(samples(b), (V{1, 2, 0}));
    smp_set_length(b, -1);
    EXPECT_EQ(b->length, 0);
    smp_free(&b);
}

TEST(Smp, TextForm) {
    SampleBuffer *e = smp_new();
    EXPECT_EQ(text_of(e), "SMP{}\n");
    SampleBuffer *b = make({5, -12, 0});
    EXPECT_EQ(text_of(b), "SMP{3\n5\n-12\n0\n}\n");
    SampleBuffer *x = make({INT32_MIN, INT32_MAX, -1, 1000000});
    const std::string tx = text_of(x);
    EXPECT_EQ(tx, "SMP{4\n-2147483648\n2147483647\n-1\n1000000\n}\n");

    // Read back, and the empty form gives an empty buffer.
    for (const SampleBuffer *src : std::vector<const SampleBuffer *>{e, b, x}) {
        const std::string t = text_of(src);
        SampleBuffer *back = smp_from_text(t.c_str());
        ASSERT_NE(back, nullptr) << t;
        EXPECT_EQ(samples(back), samples(src)) << t;
        // The count is reserved exactly; the empty form keeps the default storage.
        EXPECT_EQ(back->capacity, src->length ? src->length : 32) << t;
        smp_free(&back);
    }
    EXPECT_EQ(smp_to_text(nullptr), nullptr);
    smp_free(&e);
    smp_free(&b);
    smp_free(&x);
}

TEST(Smp, TextThatEndsEarly) {
    const struct {
        const char *text;
        bool made;
        V expect;
    } cases[] = {
        {"", false, {}},
        {"SM", false, {}},
        {"SMP", false, {}},            // no '{'
        {"smp{2\n1\n2\n}", false, {}}, // the marker's case matters
        {"SMP{", true, {}},            // no count
        {"SMP{}", true, {}},
        {"SMP{3\n5\n-1", true, {5, -1}}, // ends before the third number
        {"SMP{3\n5\n-", true, {5, 0}},   // a lone '-' counts as -0
        {"SMP{3", true, {}},
        {"SMP{99999999999999999999\n1\n", true, {1}}, // count far beyond the text
        {"junk SMP junk { 2 x 7 y -8 z 9", true, {7, -8}},
        {"SMP{1\n4294967297\n}", true, {1}}, // digits beyond 32 bits wrap around
        // The closing brace ends the samples: the next text's numbers are not read.
        {"SMP{3\n1\n2\n}\nSMP{1\n99\n}\n", true, {1, 2}},
        {"SMP{2\n}7 8", true, {}},
    };
    for (const auto &c : cases) {
        SampleBuffer *b = smp_from_text(c.text);
        EXPECT_EQ(b != nullptr, c.made) << c.text;
        if (b) {
            EXPECT_EQ(samples(b), c.expect) << c.text;
            EXPECT_LE(b->length, b->capacity);
        }
        smp_free(&b);
    }
    EXPECT_EQ(smp_from_text(nullptr), nullptr);
}

TEST(Smp, EqualAndCopy) {
    SampleBuffer *a = make({1, 2, 3});
    SampleBuffer *c = smp_copy(a);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(samples(c), (V{1, 2, 3}));
    EXPECT_EQ(c->capacity, 3);
    EXPECT_EQ(smp_equal(a, c), 1);
    smp_set(c, 4, 2);
    EXPECT_EQ(smp_equal(a, c), 0);
    smp_remove(c, 2);
    EXPECT_EQ(smp_equal(a, c), 0);
    EXPECT_EQ(smp_equal(a, nullptr), 0);
    EXPECT_EQ(smp_equal(nullptr, nullptr), 0);
    SampleBuffer *e = smp_new();
    SampleBuffer *ec = smp_copy(e);
    ASSERT_NE(ec, nullptr);
    EXPECT_EQ(ec->length, 0);
    EXPECT_EQ(smp_equal(e, ec), 1);
    SampleBuffer bare{0, 0, nullptr};
    EXPECT_EQ(smp_copy(&bare), nullptr);
    EXPECT_EQ(smp_equal(&bare, &bare), 0);
    EXPECT_EQ(smp_copy(nullptr), nullptr);
    smp_free(&a);
    smp_free(&c);
    smp_free(&e);
    smp_free(&ec);
}

TEST(Smp, Move) {
    auto move = [](int count, int from, int to) {
        return [=](SampleBuffer *b) { smp_move(b, b, count, from, to); };
    };
    const V v{1, 2, 3, 4, 5};
    EXPECT_EQ(after(v, move(3, 0, 1)), (V{1, 1, 2, 3, 5})); // overlapping upwards
    EXPECT_EQ(after(v, move(3, 2, 0)), (V{3, 4, 5, 4, 5})); // overlapping downwards
    EXPECT_EQ(after(v, move(0, 0, 1)), v);
    EXPECT_EQ(after(v, move(3, 3, 0)), v); // beyond src
    EXPECT_EQ(after(v, move(3, 0, 3)), v); // beyond dst
    EXPECT_EQ(after(v, move(1, -1, 0)), v);
    EXPECT_EQ(after(v, move(INT_MAX, 1, 0)), v);
    SampleBuffer *src = make({7, 8});
    EXPECT_EQ(after(v, [&](SampleBuffer *b) { smp_move(src, b, 2, 0, 3); }), (V{1, 2, 3, 7, 8}));
    smp_free(&src);
}

TEST(Smp, InsertBuffer) {
    const struct {
        int at;
        V expect;
    } cases[] = {
        {0, {7, 8, 1, 2, 3}}, {1, {1, 7, 8, 2, 3}}, {3, {1, 2, 3, 7, 8}},
        {4, {1, 2, 3}},       {-1, {1, 2, 3}}, // outside 0..length: refused
    };
    for (const auto &c : cases) {
        SampleBuffer *src = make({7, 8});
        EXPECT_EQ(after({1, 2, 3}, [&](SampleBuffer *b) { smp_insert_buffer(b, src, c.at); }),
                  c.expect)
            << "at " << c.at;
        smp_free(&src);
    }
    // A buffer inserted into itself inserts a copy of itself as it was.
    EXPECT_EQ(after({1, 2, 3}, [](SampleBuffer *b) { smp_insert_buffer(b, b, 1); }),
              (V{1, 1, 2, 3, 2, 3}));
    EXPECT_EQ(after({1, 2}, [](SampleBuffer *b) { smp_insert_buffer(b, b, 2); }), (V{1, 2, 1, 2}));
    SampleBuffer *e = smp_new();
    EXPECT_EQ(after({1, 2}, [&](SampleBuffer *b) { smp_insert_buffer(b, e, 1); }), (V{1, 2}));
    smp_free(&e);
}

TEST(Smp, Slice) {
    SampleBuffer *b = make({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    const struct {
        int from, to;
        bool made;
        V expect;
    } cases[] = {
        {-5, 1000, true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {2, 5, true, {2, 3, 4}},
        {4, 4, true, {}},
        {20, 30, true, {}}, // clamped to an empty range
        {3, 2, false, {}},
    };
    for (const auto &c : cases) {
        SampleBuffer *s = smp_slice(b, c.from, c.to);
        EXPECT_EQ(s != nullptr, c.made) << c.from << ".." << c.to;
        if (s) {
            EXPECT_EQ(samples(s), c.expect) << c.from << ".." << c.to;
        }
        smp_free(&s);
    }
    EXPECT_EQ(smp_slice(nullptr, 0, 1), nullptr);
    smp_free(&b);
}

TEST(Smp, Rotation) {
    const V v{1, 2, 3, 4};
    auto left = [](int n) { return [=](SampleBuffer *b) { smp_rotate_left(b, n); }; };
    auto right = [](int n) { return [=](SampleBuffer *b) { smp_rotate_right(b, n); }; };
    EXPECT_EQ(after(v, left(1)), (V{2, 3, 4, 1}));
    EXPECT_EQ(after(v, right(1)), (V{4, 1, 2, 3}));
    EXPECT_EQ(after(v, left(5)), after(v, left(1)));
    EXPECT_EQ(after(v, left(4)), v);
    EXPECT_EQ(after(v, left(0)), v);
    // A negative amount turns the other way.
    EXPECT_EQ(after(v, left(-1)), (V{4, 1, 2, 3}));
    EXPECT_EQ(after(v, right(-1)), (V{2, 3, 4, 1}));
    EXPECT_EQ(after(v, right(-6)), (V{3, 4, 1, 2}));
    EXPECT_EQ(after(v, left(INT_MIN)), v);
    EXPECT_EQ(after(v, right(INT_MIN)), v);
    EXPECT_EQ(after({}, left(3)), V{});
    EXPECT_EQ(after({}, right(-3)), V{});
}

TEST(Smp, Resample) {
    auto to = [](int n) { return [=](SampleBuffer *b) { smp_resample(b, n); }; };
    EXPECT_EQ(after({0, 1}, to(4)), (V{0, 0, 1, 1}));
    EXPECT_EQ(after({10, 20, 30}, to(4)), (V{10, 20, 30, 30}));
    EXPECT_EQ(after({10, 20, 30}, to(7)), (V{10, 10, 20, 20, 30, 30, 30}));
    // Shrinking keeps source samples in order, evenly spread, the last one always kept.
    EXPECT_EQ(after({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, to(5)), (V{1, 3, 5, 7, 9}));
    EXPECT_EQ(after({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, to(3)), (V{3, 6, 9}));
    EXPECT_EQ(after({0, 1, 2, 3}, to(3)), (V{1, 2, 3}));
    EXPECT_EQ(after({0, 1, 2, 3}, to(1)), (V{3}));
    // Refused: same length, no samples, length 0 or below.
    EXPECT_EQ(after({1, 2}, to(2)), (V{1, 2}));
    EXPECT_EQ(after({1, 2}, to(0)), (V{1, 2}));
    EXPECT_EQ(after({}, to(4)), V{});

    // Long runs: every output comes from the source in order, each source sample is used
    // within one of the ideal spacing, and the ends are the source's.
    for (int len : {7, 100, 1000}) {
        for (int newlen : {1, 3, 6, 99, 250, 999, 1001, 4000}) {
            if (newlen == len) continue;
            V src(len);
            for (int i = 0; i < len; i++) src[i] = i;
            V out = after(src, to(newlen));
            ASSERT_EQ(static_cast<int>(out.size()), newlen);
            EXPECT_EQ(out.back(), len - 1);
            for (int i = 0; i < newlen; i++) {
                const int64_t ideal = (static_cast<int64_t>(i) + 1) * len;
                EXPECT_EQ(out[i], (ideal + newlen - 1) / newlen - 1) << len << "->" << newlen;
            }
        }
    }
    SampleBuffer *b = make({1, 2, 3});
    smp_resample(b, 6);
    EXPECT_EQ(b->capacity, 6);
    smp_free(&b);
}

TEST(Smp, ScaleAndShifts) {
    EXPECT_EQ(after({3, -4}, [](SampleBuffer *b) { smp_scale(b, -2); }), (V{-6, 8}));
    EXPECT_EQ(after({0x10000}, [](SampleBuffer *b) { smp_scale(b, 0x10000); }), V{0});
    const V v{-256, 255, INT32_MIN, 1};
    auto right = [](int n) { return [=](SampleBuffer *b) { smp_shift_right(b, n); }; };
    auto left = [](int n) { return [=](SampleBuffer *b) { smp_shift_left(b, n); }; };
    EXPECT_EQ(after(v, right(4)), (V{-16, 15, INT32_MIN / 16, 0}));
    EXPECT_EQ(after(v, right(31)), (V{-1, 0, -1, 0}));
    EXPECT_EQ(after(v, right(32)), (V{-1, 0, -1, 0})); // only the sign is left
    EXPECT_EQ(after(v, right(33)), v);                 // refused
    EXPECT_EQ(after(v, right(-1)), v);                 // refused
    EXPECT_EQ(after(v, left(4)), (V{-4096, 4080, 0, 16}));
    EXPECT_EQ(after(v, left(31)), (V{0, INT32_MIN, 0, INT32_MIN}));
    EXPECT_EQ(after(v, left(32)), (V{0, 0, 0, 0}));
    EXPECT_EQ(after(v, left(33)), v);
    EXPECT_EQ(after(v, left(-2)), v);
}

TEST(Smp, AddAndMultiplyOverTheShorterLength) {
    SampleBuffer *five = make({10, 20, 30, 40, 50});
    EXPECT_EQ(after({1, 2, 3}, [&](SampleBuffer *b) { smp_add(b, five); }), (V{11, 22, 33}));
    EXPECT_EQ(after({1, 2, 3, 4, 5, 6}, [&](SampleBuffer *b) { smp_multiply(b, five); }),
              (V{10, 40, 90, 160, 250, 6}));
    SampleBuffer *three = make({1, 2, INT32_MAX});
    smp_add(five, three);
    EXPECT_EQ(samples(five), (V{11, 22, INT32_MIN + 29, 40, 50})); // wraps around
    smp_free(&five);
    smp_free(&three);
}

TEST(Smp, Normalize) {
    auto norm = [](int32_t lo, int32_t hi) {
        return [=](SampleBuffer *b) { smp_normalize(b, lo, hi); };
    };
    EXPECT_EQ(after({100, 150, 200}, norm(0, 100)), (V{0, 50, 100}));
    EXPECT_EQ(after({100, 150, 200}, norm(100, 0)), (V{100, 50, 0}));
    // The full 16-bit range onto itself: the products need more than 32 bits.
    EXPECT_EQ(after({-32768, 0, 32767}, norm(-32768, 32767)), (V{-32768, 0, 32767}));
    EXPECT_EQ(after({INT32_MIN, INT32_MAX}, norm(INT32_MIN, INT32_MAX)), (V{INT32_MIN, INT32_MAX}));
    EXPECT_EQ(after({0, 1}, norm(INT32_MIN, INT32_MAX)), (V{INT32_MIN, INT32_MAX}));
    // Equal samples have no range: all become lo.
    EXPECT_EQ(after({7, 7, 7}, norm(-5, 5)), (V{-5, -5, -5}));
    EXPECT_EQ(after({}, norm(0, 10)), V{});
}

TEST(Smp, MinMaxFind) {
    SampleBuffer *b = make({3, -7, 9, 3});
    EXPECT_EQ(smp_min(b), -7);
    EXPECT_EQ(smp_max(b), 9);
    EXPECT_EQ(smp_find(b, 3, 0), 0);
    EXPECT_EQ(smp_find(b, 3, 1), 3);
    EXPECT_EQ(smp_find(b, 3, -10), 0);
    EXPECT_EQ(smp_find(b, 3, 4), -1);
    EXPECT_EQ(smp_find(b, 5, 0), -1);
    EXPECT_EQ(smp_find(nullptr, 3, 0), -1);
    SampleBuffer *e = smp_new();
    EXPECT_EQ(smp_min(e), 0);
    EXPECT_EQ(smp_max(e), 0);
    EXPECT_EQ(smp_min(nullptr), 0);
    smp_free(&b);
    smp_free(&e);
}

TEST(Smp, MatchCountAndBestOffset) {
    SampleBuffer *a = make({1, 2, 3, 4});
    SampleBuffer *b = make({3, 4});
    EXPECT_EQ(smp_match_count(a, b, 2), 2);
    EXPECT_EQ(smp_match_count(a, b, 0), 0);
    EXPECT_EQ(smp_match_count(a, b, 4), 0); // refused: no overlap
    EXPECT_EQ(smp_best_offset(a, b), 2);
    SampleBuffer *c = make({4, 9, 9});
    EXPECT_EQ(smp_match_count(a, c, -2), 0);
    EXPECT_EQ(smp_match_count(c, a, -3), 1); // a[3] against c[0]
    EXPECT_EQ(smp_best_offset(c, a), -3);
    SampleBuffer *d = make({1, 2});
    SampleBuffer *e = make({7, 8, 9});
    EXPECT_EQ(smp_best_offset(d, e), -3); // nothing matches anywhere
    SampleBuffer *f = make({5, 1, 5, 1});
    SampleBuffer *g = make({5});
    EXPECT_EQ(smp_best_offset(f, g), 0); // ties go to the smallest offset
    EXPECT_EQ(smp_best_offset(nullptr, g), 0);
    for (SampleBuffer *x : {a, b, c, d, e, f, g}) smp_free(&x);
}

class RawFile : public ::testing::Test {
  protected:
    FILE *f = nullptr;
    void SetUp() override { f = tmpfile(); }
    void TearDown() override { fclose(f); }
    void put(const std::vector<unsigned char> &bytes) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        rewind(f);
    }
    std::vector<unsigned char> bytes() {
        rewind(f);
        std::vector<unsigned char> out;
        for (int c; (c = fgetc(f)) != EOF;) out.push_back(static_cast<unsigned char>(c));
        return out;
    }
};

TEST_F(RawFile, ReadsEightBitSamples) {
    put({0x80, 0x00, 0xFF, 0x7F});
    SampleBuffer *u = smp_read_raw(f, 8, 'l', 'u');
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(samples(u), (V{0, -32768, 32512, -256}));
    rewind(f);
    SampleBuffer *s = smp_read_raw(f, 8, 'b', 's');
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(samples(s), (V{-32768, 0, -256, 32512}));
    smp_free(&u);
    smp_free(&s);
}

TEST_F(RawFile, ReadsSixteenBitSamplesInEitherOrder) {
    put({0x34, 0x12, 0x00, 0x80, 0xFF});
    SampleBuffer *l = smp_read_raw(f, 16, 'l', 's');
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(samples(l), (V{4660, -32768})); // the lone last byte is dropped
    rewind(f);
    SampleBuffer *lu = smp_read_raw(f, 16, 'l', 'u');
    EXPECT_EQ(samples(lu), (V{4660 - 32768, 0}));
    rewind(f);
    SampleBuffer *b = smp_read_raw(f, 16, 'b', 's');
    EXPECT_EQ(samples(b), (V{0x3412, 0x0080}));
    smp_free(&l);
    smp_free(&lu);
    smp_free(&b);
}

TEST_F(RawFile, ReadsPastTheFirstReservation) {
    std::vector<unsigned char> data(2 * 3000);
    for (int i = 0; i < 3000; i++) data[2 * i] = static_cast<unsigned char>(i);
    put(data);
    SampleBuffer *b = smp_read_raw(f, 16, 'l', 's');
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->length, 3000);
    EXPECT_EQ(b->capacity, 4096);
    EXPECT_EQ(smp_get(b, 2999), 2999 & 0xFF);
    smp_free(&b);
}

TEST_F(RawFile, RefusesUnknownEncodings) {
    put({1, 2, 3, 4});
    EXPECT_EQ(smp_read_raw(f, 24, 'l', 's'), nullptr);
    EXPECT_EQ(smp_read_raw(f, 0, 'l', 's'), nullptr);
    EXPECT_EQ(smp_read_raw(f, 16, 'm', 's'), nullptr);
    EXPECT_EQ(smp_read_raw(f, 16, 'l', 'S'), nullptr);
    EXPECT_EQ(smp_read_raw(nullptr, 16, 'l', 's'), nullptr);
}

TEST_F(RawFile, WritesEachDepthClamped) {
    SampleBuffer *b = make({300, -300, 0x123456, INT32_MIN});
    const struct {
        int depth;
        char order;
        std::vector<unsigned char> expect;
    } cases[] = {
        {8, 'l', {0x7F, 0x80, 0x7F, 0x80}},
        {16, 'l', {0x2C, 0x01, 0xD4, 0xFE, 0xFF, 0x7F, 0x00, 0x80}},
        {16, 'b', {0x01, 0x2C, 0xFE, 0xD4, 0x7F, 0xFF, 0x80, 0x00}},
        {12, 'x', {0x2C, 0x01, 0xD4, 0xFE, 0xFF, 0x7F, 0x00, 0x80}},
        {24, 'b', {0, 1, 0x2C, 0xFF, 0xFE, 0xD4, 0x12, 0x34, 0x56, 0x80, 0, 0}},
        {24, 'l', {0x2C, 1, 0, 0xD4, 0xFE, 0xFF, 0x56, 0x34, 0x12, 0, 0, 0x80}},
        {32, 'b', {0, 0, 1, 0x2C, 0xFF, 0xFF, 0xFE, 0xD4, 0, 0x12, 0x34, 0x56, 0x80, 0, 0, 1}},
    };
    for (const auto &c : cases) {
        FILE *out = tmpfile();
        smp_write_raw(b, out, c.depth, c.order);
        rewind(out);
        std::vector<unsigned char> got;
        for (int ch; (ch = fgetc(out)) != EOF;) got.push_back(static_cast<unsigned char>(ch));
        EXPECT_EQ(got, c.expect) << "depth " << c.depth << " order " << c.order;
        fclose(out);
    }
    smp_write_raw(b, nullptr, 16, 'l');
    smp_write_raw(nullptr, f, 16, 'l');
    EXPECT_TRUE(bytes().empty());
    smp_free(&b);
}

} // namespace
