#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/sam.h"
#include "tests/hostile_files.h"
#include "tests/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using V = std::vector<int32_t>;
using Bytes = std::vector<unsigned char>;

std::string fixture(const char *name) {
    return std::string(KLOV_SOURCE_DIR) + "/tests/fixtures/sound/" + name;
}

Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

Bytes bytes_of(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// The bytes of a literal, zero bytes inside it included.
template <size_t N> Bytes lit(const char (&s)[N]) {
    return Bytes(s, s + N - 1);
}

template <size_t N> std::string str(const char (&s)[N]) {
    return std::string(s, N - 1);
}

V samples(const SampleBuffer *b) {
    return b ? V(b->samples, b->samples + b->length) : V{};
}

SampleFile *file_for(const std::string &path) {
    SampleFile *s = sam_new();
    s->path = strdup(path.c_str());
    return s;
}

SampleBuffer *make(const V &values) {
    SampleBuffer *b = smp_new();
    for (int32_t v : values) smp_insert(b, v, b->length);
    return b;
}

class SamFiles : public ::testing::Test {
  protected:
    TempDir tmp;
    const fs::path dir = tmp.path();
    std::string path(const char *name) { return (dir / name).string(); }
};

TEST(Sam, NameEndingsAndMatching) {
    const struct {
        const char *name, *ending;
        char expect;
    } endings[] = {
        {"x.WAV", "wav", 1}, {"mywav", "wav", 1}, {"x.wa", "wav", 0}, {"wav", "wav", 1},
        {"av", "wav", 0},    {"x.Sam", "SAM", 1}, {"x.raw", "", 1},
    };
    for (const auto &e : endings)
        EXPECT_EQ(sam_has_ending(e.name, e.ending), e.expect) << e.name << " " << e.ending;
    EXPECT_EQ(sam_has_ending(nullptr, "wav"), 0);
    EXPECT_EQ(sam_has_ending("x.wav", nullptr), 0);

    EXPECT_EQ(sam_match_at("RIFFxWAVE", "wave", 5), 1);
    EXPECT_EQ(sam_match_at("RIFFxWAVE", "wave", 4), 0);
    EXPECT_EQ(sam_match_at("RIFF", "iff", 1), 1);
    EXPECT_EQ(sam_match_at("RIFF", "iff", 2), 0); // runs past the end
    EXPECT_EQ(sam_match_at("RIFF", "R", -1), 0);
    // Only letters match in the other case; '@' and '`' differ by the case bit only.
    EXPECT_EQ(sam_match_at("a@b", "a`b", 0), 0);
    EXPECT_EQ(sam_match_at("x[", "x{", 0), 0);
    EXPECT_EQ(sam_match_at("x.1", ".1", 1), 1);
    EXPECT_EQ(sam_match_at(nullptr, "a", 0), 0);

    EXPECT_EQ(sam_strlen("abc"), 3);
    EXPECT_EQ(sam_strlen(""), 0);
    EXPECT_EQ(sam_strlen(nullptr), -1);
}

TEST(Sam, SignExtend) {
    const struct {
        int value, n, expect;
    } cases[] = {
        {0xFF, 8, -1},
        {0x7F, 8, 127},
        {0xFF, 0, 0xFF},
        {0xFF, 33, 0xFF},
        {0x800000, 24, -8388608},
        {0x8000, 16, -32768},
        {1, 1, -1},
        {INT_MIN, 32, INT_MIN},
        {0x1FF, 8, -1}, // bits above n are overwritten by the sign
    };
    for (const auto &c : cases)
        EXPECT_EQ(sam_sign_extend(c.value, c.n), c.expect) << c.value << " from " << c.n;
}

TEST(Sam, WidthNeededPrintsTwoLines) {
    const struct {
        int value, expect;
    } cases[] = {{127, 8}, {0, 1}, {1, 2}, {128, 9}, {-128, 9}, {-1, 2}, {INT_MIN, 33}};
    for (const auto &c : cases) {
        testing::internal::CaptureStdout();
        const int width = sam_width_needed(c.value);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(width, c.expect) << c.value;
        EXPECT_EQ(out, "BITS: " + std::to_string(c.value) + "\nBITS: " + std::to_string(c.expect) +
                           "\n");
    }
}

TEST(Sam, RecordAndPlaceholders) {
    SampleFile *s = sam_new();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->sample, nullptr);
    EXPECT_EQ(s->path, nullptr);
    EXPECT_EQ(s->file, nullptr);
    EXPECT_EQ(s->channels | s->depth | s->sign | s->format | s->order, 0);
    EXPECT_EQ(sam_to_text(s), nullptr);
    EXPECT_EQ(sam_from_text("SAM{}"), nullptr);
    EXPECT_EQ(sam_copy(s), nullptr);
    EXPECT_EQ(sam_equal(s, s), 1);
    EXPECT_EQ(sam_equal(s, nullptr), 0);
    SampleBuffer *b = make({1});
    sam_set_sample(s, b);
    EXPECT_EQ(s->sample, b);
    sam_set_sample(s, nullptr);
    EXPECT_EQ(s->sample, b);
    s->path = strdup("name.wav");
    s->file = tmpfile(); // a stream left open is closed by the release
    sam_free(&s);
    EXPECT_EQ(s, nullptr);
    sam_free(&s);
    sam_free(nullptr);
}

TEST(Sam, LoadsWavFixtures) {
    const struct {
        const char *name;
        V expect;
        int depth;
        char sign;
    } cases[] = {
        {"pcm16.wav", {-1, 1}, 16, 's'},
        {"pcm8.wav", {0, 255}, 8, 'u'},
    };
    for (const auto &c : cases) {
        SampleFile *s = file_for(fixture(c.name));
        EXPECT_NE(sam_load(s), 0) << c.name;
        EXPECT_EQ(samples(s->sample), c.expect) << c.name;
        EXPECT_EQ(s->depth, c.depth);
        EXPECT_EQ(s->sign, c.sign);
        EXPECT_EQ(s->order, 'l');
        EXPECT_EQ(s->channels, 1);
        EXPECT_EQ(s->file, nullptr);
        sam_free(&s);
    }
}

TEST(Sam, WavReaderRefusesFloatData) {
    SampleFile *s = file_for(fixture("float32.wav"));
    EXPECT_EQ(sam_read_wav(s), 0);
    EXPECT_EQ(s->file, nullptr);
    EXPECT_EQ(s->sample, nullptr);
    sam_free(&s);
}

// Variants of the 16-bit fixture: a header the reader refuses leaves the record as it
// was, closed and without samples; data that ends early keeps the whole values read.
TEST_F(SamFiles, WavHeaderVariants) {
    const Bytes base = read_file(fixture("pcm16.wav"));
    ASSERT_EQ(base.size(), 48u);
    auto with = [&](std::initializer_list<std::pair<int, int>> patch, size_t size) {
        Bytes b = base;
        for (auto [at, value] : patch) b[at] = static_cast<unsigned char>(value);
        b.resize(size);
        return b;
    };
    const struct {
        const char *what;
        Bytes bytes;
        char result;
        V expect;
    } cases[] = {
        {"depth 0", with({{34, 0}}, 48), 0, {}},
        {"depth 4", with({{34, 4}}, 48), 0, {}},
        {"depth 7", with({{34, 7}}, 48), 0, {}},
        {"depth 12", with({{34, 12}}, 48), 0, {}},
        {"depth 24", with({{34, 24}}, 48), 0, {}},
        {"depth 32", with({{34, 32}}, 48), 0, {}},
        {"depth -16", with({{34, 0xF0}, {35, 0xFF}}, 48), 0, {}},
        {"no RIFF", with({{0, 'X'}}, 48), 0, {}},
        {"no data tag", with({{36, 'x'}}, 48), 0, {}},
        {"short header", with({}, 30), 0, {}},
        {"lower-case tags", with({{0, 'r'}, {9, 'a'}, {13, 'M'}, {39, 'A'}}, 48), 1, {-1, 1}},
        {"fourth fmt byte", with({{15, 'x'}}, 48), 1, {-1, 1}},
        {"data cut short", with({}, 47), 1, {-1}},
        {"size beyond the file", with({{43, 0x7F}}, 48), 1, {-1, 1}},
        {"odd size", with({{40, 3}}, 48), 1, {-1}},
    };
    for (const auto &c : cases) {
        write_file(path("x.wav"), c.bytes);
        SampleFile *s = file_for(path("x.wav"));
        s->depth = 99;
        EXPECT_EQ(sam_read_wav(s), c.result) << c.what;
        EXPECT_EQ(s->file, nullptr) << c.what;
        EXPECT_EQ(samples(s->sample), c.expect) << c.what;
        if (!c.result) {
            EXPECT_EQ(s->sample, nullptr) << c.what;
            EXPECT_EQ(s->depth, 99) << c.what;
        }
        sam_free(&s);
        // Through the whole chain of readers a WAV file of an unknown depth fails too.
        if (!c.result) {
            SampleFile *l = file_for(path("x.wav"));
            EXPECT_EQ(sam_load(l), 0) << c.what;
            EXPECT_EQ(l->sample, nullptr) << c.what;
            sam_free(&l);
        }
    }
}

TEST(Sam, LoadsSamFixtures) {
    const struct {
        const char *name;
        V expect;
        char format;
    } cases[] = {
        {"binary.sam", {-2, 5}, 'b'},
        {"ascii.sam", {7, 300}, 'a'},
        {"comment.sam", {-2, 5}, 'b'},
    };
    for (const auto &c : cases) {
        SampleFile *s = file_for(fixture(c.name));
        EXPECT_NE(sam_load(s), 0) << c.name;
        EXPECT_EQ(samples(s->sample), c.expect) << c.name;
        EXPECT_EQ(s->depth, 16);
        EXPECT_EQ(s->channels, 1);
        EXPECT_EQ(s->sign, 's');
        EXPECT_EQ(s->format, c.format);
        EXPECT_EQ(s->order, 'm');
        EXPECT_EQ(s->file, nullptr);
        sam_free(&s);
    }
}

TEST_F(SamFiles, SamReaderHeadersAndData) {
    const struct {
        const char *what;
        std::string bytes;
        char result;
        V expect;
    } cases[] = {
        {"24-bit signed", str("SAM B S 24 2 1\n\xFF\xFF\xFE\x00\x01\x00"), 1, {-2, 256}},
        {"32-bit unsigned", str("sam b u 32 1 1\n\xFF\xFF\xFF\xFE"), 1, {-2}},
        {"depth 0 is one byte", str("SAM b s 0 2 1\n\xFF\x05"), 1, {-1, 5}},
        {"depth 33", str("SAM b s 33 1 1\n\x00\x00\x00\x00\x01"), 0, {}},
        {"depth beyond int", "SAM b s 99999999999999 1 1\n\x01", 0, {}},
        {"ascii ignores depth", "SAM a u 40 2 1\n-7 x 300\n", 1, {7, 300}},
        {"binary cut short", str("SAM b s 16 3 1\n\x00\x01\x00"), 1, {1}},
        {"ascii ends after a number", "SAM a s 16 3 1\n7\n300", 1, {7}},
        {"ascii ends before a number", "SAM a s 16 3 1\n7\n", 1, {7}},
        {"count 0", "SAM b s 16 0 1\n\x01\x02", 1, {}},
        {"numbers before letters", "16 2 1 9 SAM b s\x01\x02\x03\x04", 1, {0x102, 0x304}},
        {"letters as numbers", "SAM b s x 1 z\x05", 1, {5}}, // depth 0: one byte each
        {"ends in the marker", "SA", 0, {}},
        {"ends after a count", "SAM b s 16 2 1", 0, {}},
        {"ends in a comment", "SAM # b s 16 2 1", 0, {}},
        {"no sign letter", "SAM b 16 2 1 7 7 7", 0, {}},
        {"empty", "", 0, {}},
    };
    for (const auto &c : cases) {
        write_file(path("x.sam"), bytes_of(c.bytes));
        SampleFile *s = file_for(path("x.sam"));
        s->depth = 99;
        EXPECT_EQ(sam_read_sam(s), c.result) << c.what;
        EXPECT_EQ(s->file, nullptr) << c.what;
        EXPECT_EQ(samples(s->sample), c.expect) << c.what;
        if (!c.result) {
            EXPECT_EQ(s->sample, nullptr) << c.what;
            EXPECT_EQ(s->depth, 99) << c.what; // a failed header leaves the record alone
        }
        sam_free(&s);
    }
}

TEST(Sam, RawReaderFollowsTheRecord) {
    // samples.raw holds 12 34 FF FE 80 00 00 01.
    const struct {
        int depth;
        char order, sign;
        V expect;
    } cases[] = {
        {8, 'l', 'u', {0x12, 0x34, 0xFF, 0xFE, 0x80, 0, 0, 1}},
        {8, 'm', 's', {0x12, 0x34, -1, -2, -128, 0, 0, 1}},
        {16, 'l', 's', {0x3412, -257, 0x80, 0x100}},
        {16, 'm', 'S', {0x1234, -2, -32768, 1}},
        {16, 'm', 'u', {0x1234, 0xFFFE, 0x8000, 1}},
        {16, 'x', 's', {0x12, 0xFF, 0x80, 0}}, // the first byte alone
        {24, 'm', 's', {0x1234FF, -98304}},    // the last two bytes are dropped
        {32, 'l', 'u', {static_cast<int32_t>(0xFEFF3412), 0x01000080}},
        {32, 'm', 's', {0x1234FFFE, static_cast<int32_t>(0x80000001)}},
    };
    for (const auto &c : cases) {
        SampleFile *s = file_for(fixture("samples.raw"));
        s->depth = c.depth;
        s->order = c.order;
        s->sign = c.sign;
        EXPECT_EQ(sam_read_raw(s), 1) << c.depth << c.order << c.sign;
        EXPECT_EQ(samples(s->sample), c.expect) << c.depth << c.order << c.sign;
        EXPECT_EQ(s->file, nullptr);
        sam_free(&s);
    }
    // Depths that are not whole bytes of one to four: refused, nothing read.
    for (int depth : {0, 1, 7, 12, 40, -8}) {
        SampleFile *s = file_for(fixture("samples.raw"));
        s->depth = depth;
        s->order = 'l';
        EXPECT_EQ(sam_read_raw(s), 0) << depth;
        EXPECT_EQ(s->sample, nullptr) << depth;
        EXPECT_EQ(s->file, nullptr) << depth;
        sam_free(&s);
    }
}

TEST(Sam, LoadFallsBackToRawWithTheCallersDescription) {
    SampleFile *s = file_for(fixture("samples.raw"));
    s->depth = 16;
    s->order = 'l';
    s->sign = 's';
    EXPECT_NE(sam_load(s), 0);
    EXPECT_EQ(samples(s->sample), (V{0x3412, -257, 0x80, 0x100}));
    EXPECT_EQ(s->depth, 16);
    sam_free(&s);

    SampleFile *fresh = file_for(fixture("samples.raw")); // depth 0: nothing reads it
    EXPECT_EQ(sam_load(fresh), 0);
    EXPECT_EQ(fresh->sample, nullptr);
    sam_free(&fresh);

    SampleFile *missing = file_for("/nonexistent/klov/x.wav");
    EXPECT_EQ(sam_load(missing), 0);
    sam_free(&missing);
    SampleFile *nameless = sam_new();
    EXPECT_EQ(sam_load(nameless), 0);
    EXPECT_EQ(sam_save(nameless), 0);
    sam_free(&nameless);
    EXPECT_EQ(sam_load(nullptr), 0);
}

TEST_F(SamFiles, WritersWriteTheirForms) {
    const struct {
        const char *name;
        char format;
        V values;
        Bytes expect;
    } cases[] = {
        {"out.raw", 0, {-3, 100}, read_file(fixture("written-compact.raw"))},
        {"out.wav", 0, {-3, 100}, read_file(fixture("written-depth.wav"))},
        {"out.sam", 'a', {-3, 100}, read_file(fixture("written-long.sam"))},
        {"out.txt",
         'B',
         {-3, 100, 0x1234},
         lit("SAM\nbinary\nsigned\nbits 16\nlittle endian\nchanels 1\n3\n"
             "\xFD\xFF\x64\x00\x34\x12")},
        {"out.RAW", 0, {-300, 100}, lit("SAM\nbinary\n2\n16\n\xFE\xD4\x00\x64")},
        {"out.raw", 0, {-8388608, 1}, lit("SAM\nbinary\n2\n24\n\x80\x00\x00\x00\x00\x01")},
        {"out.raw", 0, {INT_MIN}, lit("SAM\nbinary\n1\n32\n\x80\x00\x00\x00")},
        {"out.raw", 0, {}, bytes_of("SAM\nbinary\n0\n8\n")},
        {"out.wav", 0, {-300, 100}, lit("16\n\xFE\xD4\x00\x64")},
        // Beyond 16 bits the depth line widens instead of cutting the samples.
        {"out.wav", 0, {40000, -1}, lit("24\n\x00\x9C\x40\xFF\xFF\xFF")},
        {"out.wav", 0, {INT_MAX}, lit("32\n\x7F\xFF\xFF\xFF")},
    };
    for (const auto &c : cases) {
        SampleFile *s = file_for(path(c.name));
        s->format = c.format;
        s->depth = 8; // the long form says 16 bits whatever the record holds
        sam_set_sample(s, make(c.values));
        EXPECT_EQ(sam_save(s), 1) << c.name;
        EXPECT_EQ(s->file, nullptr) << c.name;
        EXPECT_EQ(read_file(path(c.name)), c.expect) << c.name;
        sam_free(&s);
        fs::remove(path(c.name));
    }
}

TEST_F(SamFiles, SaveRefusals) {
    SampleFile *s = file_for(path("out.sam"));
    EXPECT_EQ(sam_save(s), 0); // no samples
    EXPECT_FALSE(fs::exists(path("out.sam")));
    sam_set_sample(s, make({1, 2}));
    // A long form without a data form, or binary samples beyond its 16 bits, would not read
    // back: refused before anything is written, and a file already there stays as it was.
    EXPECT_EQ(sam_save(s), 0);
    EXPECT_EQ(s->file, nullptr);
    EXPECT_FALSE(fs::exists(path("out.sam")));
    write_file(path("out.sam"), bytes_of("old"));
    EXPECT_EQ(sam_save(s), 0);
    s->format = 'b';
    smp_insert(s->sample, 0x12345, 0);
    EXPECT_EQ(sam_save(s), 0);
    EXPECT_EQ(read_file(path("out.sam")), bytes_of("old"));
    sam_free(&s);

    SampleFile *bad = file_for("/nonexistent/klov/out.raw");
    sam_set_sample(bad, make({1}));
    EXPECT_EQ(sam_save(bad), 0);
    EXPECT_EQ(sam_write_compact(bad), 0);
    EXPECT_EQ(bad->file, nullptr);
    sam_free(&bad);

    // A stream the caller opened, and no name: the long form goes there.
    SampleFile *open = sam_new();
    open->file = fopen(path("given").c_str(), "wb");
    open->format = 'a';
    sam_set_sample(open, make({5}));
    EXPECT_EQ(sam_save(open), 1);
    EXPECT_EQ(open->file, nullptr);
    sam_free(&open);
    EXPECT_EQ(read_file(path("given")),
              bytes_of("SAM\nASCII\nsigned\nbits 16\nlittle endian\nchanels 1\n1\n5\n"));
    EXPECT_EQ(sam_save(nullptr), 0);
}

// Paths that are not regular files and a header that never ends: every reader refuses at
// once, even with a raw depth set, and nothing is attached. Each load runs in a child that
// a hang can't outlive.
TEST_F(SamFiles, HostileFilesFailQuickly) {
    std::vector<HostilePath> cases = hostile_paths(dir);
    const std::string endless = "SAM b s" + std::string(100000, ' ') + "16 1 1\n\x01\x02";
    write_file(path("endless.sam"), bytes_of(endless));
    write_file(path("comments.sam"),
               bytes_of("SAM b s\n" + std::string(100000, '#') + "\n16 1 1\n\x01\x02"));
    for (const auto &c : cases) {
        for (int depth : {0, 16}) {
            const int status = in_child(10, [&] {
                SampleFile *s = file_for(c.path);
                s->depth = depth;
                s->order = 'l';
                const bool refused = sam_load(s) == 0 && !s->sample && !s->file;
                sam_free(&s);
                return refused ? 0 : 1;
            });
            EXPECT_EQ(status, 0) << c.what << " depth " << depth
                                 << (status == -1 ? ": did not end" : "");
        }
    }
    for (const char *name : {"endless.sam", "comments.sam"}) {
        const int status = in_child(10, [&] {
            SampleFile *s = file_for(path(name));
            const bool refused = sam_read_sam(s) == 0 && !s->sample && !s->file;
            sam_free(&s);
            return refused ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << name;
    }
}

// A read error is not the end of the data: a stream that can't be read (a folder opened by
// the caller) fails every reader, and the record keeps no buffer.
TEST_F(SamFiles, ReadErrorIsAFailure) {
    const struct {
        const char *reader;
        char (*read)(SampleFile *);
    } readers[] = {{"raw", sam_read_raw}, {"sam", sam_read_sam}, {"wav", sam_read_wav}};
    for (const auto &r : readers) {
        SampleFile *s = sam_new();
        s->file = fopen(dir.c_str(), "rb");
        ASSERT_NE(s->file, nullptr);
        s->depth = 16;
        s->order = 'l';
        EXPECT_EQ(r.read(s), 0) << r.reader;
        EXPECT_EQ(s->sample, nullptr) << r.reader;
        EXPECT_EQ(s->file, nullptr) << r.reader;
        sam_free(&s);
    }
}

// A second load replaces the first buffer (the sanitizer build sees a leak otherwise); a
// load that fails keeps it.
TEST_F(SamFiles, SecondLoadReplacesTheBuffer) {
    SampleFile *s = file_for(fixture("binary.sam"));
    ASSERT_NE(sam_load(s), 0);
    free(s->path);
    s->path = strdup(fixture("pcm16.wav").c_str());
    ASSERT_NE(sam_load(s), 0);
    EXPECT_EQ(samples(s->sample), (V{-1, 1}));
    free(s->path);
    s->path = strdup(path("missing.sam").c_str());
    EXPECT_EQ(sam_load(s), 0);
    EXPECT_EQ(samples(s->sample), (V{-1, 1}));
    sam_free(&s);
}

// Every form that sam_save writes loads back through sam_load to the same samples, with the
// samples of each form's full range, and 8-bit samples that spell a SAM header.
TEST_F(SamFiles, SavedFormsLoadBack) {
    const struct {
        const char *name;
        char format;
        bool wide; // holds samples beyond 16 bits
    } forms[] = {
        {"out.wav", 0, true},    {"out.WAV", 0, true},    {"out.raw", 0, true},
        {"out.sam", 'a', true},  {"out.txt", 'A', true},  {"out", 'a', true},
        {"out.sam", 'b', false}, {"out.txt", 'B', false},
    };
    std::vector<V> sets = {
        {},
        {-3, 100},
        {0},
        {-300, 100, 32767, -32768},
        {'S', 'A', 'M', ' ', 'b', ' ', 's', ' ', '1', ' ', '2', ' ', '3', '\n'},
        {40000, -1, -8388608},
        {INT_MIN, INT_MAX, 0, -1},
    };
    for (const auto &f : forms) {
        for (const V &values : sets) {
            const bool fits = std::all_of(values.begin(), values.end(),
                                          [](int32_t v) { return v >= -32768 && v <= 32767; });
            SampleFile *s = file_for(path(f.name));
            s->format = f.format;
            sam_set_sample(s, make(values));
            const char saved = sam_save(s);
            sam_free(&s);
            if (!f.wide && !fits) {
                EXPECT_EQ(saved, 0) << f.name << " " << values.size(); // refused, not cut
                continue;
            }
            ASSERT_EQ(saved, 1) << f.name;
            SampleFile *back = file_for(path(f.name));
            EXPECT_NE(sam_load(back), 0) << f.name << " " << values.size();
            EXPECT_EQ(samples(back->sample), values) << f.name;
            EXPECT_EQ(back->file, nullptr);
            sam_free(&back);
            fs::remove(path(f.name));
        }
    }
    // The written forms kept as fixtures.
    for (const char *name : {"written-compact.raw", "written-depth.wav", "written-long.sam"}) {
        SampleFile *s = file_for(fixture(name));
        EXPECT_NE(sam_load(s), 0) << name;
        EXPECT_EQ(samples(s->sample), (V{-3, 100})) << name;
        sam_free(&s);
    }
}

// A save whose writes fail reports it: on a full device, and on a disk that fills up
// part-way, where the old file stays as it was and no temporary file is left behind.
TEST_F(SamFiles, SaveFailuresKeepTheOldFile) {
    const struct {
        const char *name;
        char format;
    } forms[] = {{"x.wav", 0}, {"x.raw", 0}, {"x.sam", 'a'}, {"x.sam", 'b'}};
    V many(2000, 1000);
    for (const auto &f : forms) {
        const std::string full = path((std::string("full.") + f.name).c_str());
        fs::create_symlink("/dev/full", full);
        SampleFile *s = file_for(full);
        s->format = f.format;
        sam_set_sample(s, make(many));
        EXPECT_EQ(sam_save(s), 0) << f.name << " on /dev/full";
        EXPECT_EQ(s->file, nullptr);
        sam_free(&s);
        fs::remove(full);

        write_file(path(f.name), bytes_of("old"));
        const int status = on_full_disk(1000, [&] {
            SampleFile *c = file_for(path(f.name));
            c->format = f.format;
            sam_set_sample(c, make(many));
            const char saved = sam_save(c);
            sam_free(&c);
            return saved == 0 ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << f.name;
        EXPECT_EQ(read_file(path(f.name)), bytes_of("old")) << f.name;
        EXPECT_EQ(names_in(dir), std::vector<std::string>{f.name});
        fs::remove(path(f.name));
    }
    // The caller's own stream is checked too.
    SampleFile *given = sam_new();
    given->file = fopen("/dev/full", "wb");
    given->format = 'a';
    sam_set_sample(given, make(many));
    EXPECT_EQ(sam_save(given), 0);
    EXPECT_EQ(given->file, nullptr);
    sam_free(&given);
}

// Files made by sox: the known raw values sox wrote into a WAV come back, and a synthesised
// tone loads as the values sox itself extracts from it.
TEST_F(SamFiles, LoadsWavFilesMadeBySox) {
    Bytes raw16, raw8;
    V known16, known8;
    for (int v : {0, 1, -1, 32767, -32768, 4660, -4660, 256}) {
        raw16.push_back(static_cast<unsigned char>(v));
        raw16.push_back(static_cast<unsigned char>(v >> 8));
        known16.push_back(v);
    }
    for (int v : {0, 1, 127, 128, 255, 0x5A}) {
        raw8.push_back(static_cast<unsigned char>(v));
        known8.push_back(v);
    }
    write_file(path("in16.raw"), raw16);
    write_file(path("in8.raw"), raw8);
    const std::string d = dir.string();
    const struct {
        std::string command;
        std::string wav;
        std::string raw; // empty: compare with known
        V known;
        int depth;
    } cases[] = {
        {"sox -t raw -r 8000 -c 1 -e signed-integer -b 16 -L " + d + "/in16.raw " + d + "/k16.wav",
         "k16.wav", "", known16, 16},
        {"sox -t raw -r 8000 -c 1 -e unsigned-integer -b 8 " + d + "/in8.raw " + d + "/k8.wav",
         "k8.wav", "", known8, 8},
        {"sox -n -r 8000 -c 1 -b 16 -e signed-integer " + d +
             "/t16.wav synth 0.01 sine 440 && sox " + d +
             "/t16.wav -t raw -e signed-integer -b 16 -L " + d + "/t16.raw",
         "t16.wav",
         "t16.raw",
         {},
         16},
        {"sox -n -r 8000 -c 1 -b 8 -e unsigned-integer " + d +
             "/t8.wav synth 0.01 sine 440 && sox " + d +
             "/t8.wav -t raw -e unsigned-integer -b 8 " + d + "/t8.raw",
         "t8.wav",
         "t8.raw",
         {},
         8},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(std::system((c.command + " 2>/dev/null").c_str()), 0) << c.command;
        V expect = c.known;
        if (!c.raw.empty()) {
            const Bytes raw = read_file(path(c.raw.c_str()));
            ASSERT_FALSE(raw.empty());
            for (size_t i = 0; i + c.depth / 8 <= raw.size(); i += c.depth / 8)
                expect.push_back(c.depth == 8 ? raw[i]
                                              : static_cast<int16_t>(raw[i] | raw[i + 1] << 8));
        }
        SampleFile *s = file_for(path(c.wav.c_str()));
        EXPECT_NE(sam_load(s), 0) << c.wav;
        EXPECT_EQ(samples(s->sample), expect) << c.wav;
        EXPECT_EQ(s->depth, c.depth);
        EXPECT_EQ(s->channels, 1);
        EXPECT_EQ(s->sign, c.depth == 8 ? 'u' : 's');
        sam_free(&s);
    }
}

} // namespace
