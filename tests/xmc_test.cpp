// The tune check: what the player would misread is refused, the tunes we write pass, and
// the file reader takes only regular files, without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sound/xmc.h"
#include "tests/temp_dir.h"
#include "tests/xm_fixture.h"
#include "tools/byte_file.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Where the parts of tiny_xm lie: one pattern, then one instrument of one sample.
struct Tiny {
    Bytes b = tiny_xm(4, 4);
    size_t pattern = 336;
    size_t instrument = 336 + 9 + (b[343] | b[344] << 8);
    size_t sample = instrument + 263;
    size_t data = sample + 40;
};

std::string check(const Bytes &b) {
    char why[160];
    // An exact copy, so that the sanitizer build sees any read past the end.
    const std::unique_ptr<unsigned char[]> exact(new unsigned char[b.size() + 1]);
    std::copy(b.begin(), b.end(), exact.get());
    return xmc_check(exact.get(), b.size(), why, sizeof why) ? "accepted" : why;
}

TEST(XmcCheck, TheTunesWeWriteAreAccepted) {
    EXPECT_EQ(check(Tiny().b), "accepted");
    EXPECT_EQ(check(tiny_xm(32, 256)), "accepted");
    EXPECT_EQ(check(bytes_read(fs::path(KLOV_SOURCE_DIR) / "data" / "vemlotra.xm")), "accepted");
}

TEST(XmcCheck, EveryCutIsRefused) {
    const Bytes whole = Tiny().b;
    for (size_t n = 0; n < whole.size(); n++)
        EXPECT_NE(check(Bytes(whole.begin(), whole.begin() + long(n))), "accepted") << n;
}

struct Damage {
    const char *name;
    std::function<void(Tiny *)> apply;
    const char *why; // a part of the reason, or "accepted"
};

void PrintTo(const Damage &d, std::ostream *os) {
    *os << d.name;
}

class XmcDamage : public testing::TestWithParam<Damage> {};

TEST_P(XmcDamage, IsRefusedWithItsReason) {
    Tiny t;
    GetParam().apply(&t);
    EXPECT_NE(check(t.b).find(GetParam().why), std::string::npos) << check(t.b);
}

const Damage damages[] = {
    {"magic", [](Tiny *t) { t->b[9] = 'm'; }, "not an XM module"},
    {"version", [](Tiny *t) { bytes_put16(&t->b, 58, 0x0103); }, "not 1.04"},
    {"header_size_short", [](Tiny *t) { bytes_put32(&t->b, 60, 20); }, "header size 20"},
    {"header_size_long", [](Tiny *t) { bytes_put32(&t->b, 60, 0x7FFFFFFF); }, "header size"},
    {"song_length_0", [](Tiny *t) { bytes_put16(&t->b, 64, 0); }, "song length 0"},
    {"song_length_257", [](Tiny *t) { bytes_put16(&t->b, 64, 257); }, "song length 257"},
    {"channels_0", [](Tiny *t) { bytes_put16(&t->b, 68, 0); }, "0 channels"},
    {"channels_33", [](Tiny *t) { bytes_put16(&t->b, 68, 33); }, "33 channels"},
    {"instruments_0", [](Tiny *t) { bytes_put16(&t->b, 72, 0); }, "0 instruments"},
    {"instruments_more", [](Tiny *t) { bytes_put16(&t->b, 72, 2); }, "instrument 2's header"},
    {"patterns_more", [](Tiny *t) { bytes_put16(&t->b, 70, 2); }, "pattern 1"},
    {"speed_0", [](Tiny *t) { bytes_put16(&t->b, 76, 0); }, "speed 0"},
    {"bpm_0", [](Tiny *t) { bytes_put16(&t->b, 78, 0); }, "0 BPM"},
    {"order_past_patterns", [](Tiny *t) { t->b[80] = 1; }, "order 0 names pattern 1"},
    {"pattern_header_8", [](Tiny *t) { bytes_put32(&t->b, t->pattern, 8); }, "header size 8"},
    {"pattern_packing", [](Tiny *t) { t->b[t->pattern + 4] = 1; }, "packing type 1"},
    {"pattern_rows_0", [](Tiny *t) { bytes_put16(&t->b, t->pattern + 5, 0); }, "0 rows"},
    {"pattern_rows_more", [](Tiny *t) { bytes_put16(&t->b, t->pattern + 5, 5); }, "fewer cells"},
    {"pattern_packed_short", [](Tiny *t) { t->b[t->pattern + 7]--; }, "fewer cells"},
    {"pattern_packed_long", [](Tiny *t) { t->b[t->pattern + 7]++; }, "more data"},
    {"pattern_note_98", [](Tiny *t) { t->b[t->pattern + 10] = 98; }, "note 98"},
    {"pattern_cell_straddles",
     [](Tiny *t) { t->b[t->instrument - 1] = 0x9F; }, // the last cell asks for five more bytes
     "runs past"},
    {"instrument_header_0", [](Tiny *t) { bytes_put32(&t->b, t->instrument, 0); }, "header size 0"},
    {"instrument_header_240", [](Tiny *t) { bytes_put32(&t->b, t->instrument, 240); },
     "header size 240"},
    {"instrument_header_past_end", [](Tiny *t) { bytes_put32(&t->b, t->instrument, 1000); },
     "cut short"},
    {"instrument_header_huge", [](Tiny *t) { bytes_put32(&t->b, t->instrument, 0x80000107); },
     "header"},
    {"samples_17", [](Tiny *t) { bytes_put16(&t->b, t->instrument + 27, 17); }, "17 samples"},
    {"samples_2", [](Tiny *t) { bytes_put16(&t->b, t->instrument + 27, 2); }, "sample data"},
    {"no_samples_header_31",
     [](Tiny *t) {
         bytes_put16(&t->b, t->instrument + 27, 0);
         bytes_put32(&t->b, t->instrument, 31);
     },
     "header size 31"},
    {"sample_header_41", [](Tiny *t) { bytes_put32(&t->b, t->instrument + 29, 41); },
     "sample header size"},
    {"keymap_past_samples", [](Tiny *t) { t->b[t->instrument + 33 + 48] = 1; }, "key map"},
    {"envelope_13_points", [](Tiny *t) { t->b[t->instrument + 225] = 13; }, "13 volume"},
    {"envelope_sustain_past_points",
     [](Tiny *t) {
         t->b[t->instrument + 225] = 2;
         bytes_put16(&t->b, t->instrument + 129 + 4, 10);
         t->b[t->instrument + 227] = 2;
         t->b[t->instrument + 233] = 3;
     },
     "sustain point 2 of 2"},
    {"envelope_loop_past_points",
     [](Tiny *t) {
         t->b[t->instrument + 226] = 2;
         bytes_put16(&t->b, t->instrument + 177 + 4, 10);
         t->b[t->instrument + 232] = 5;
         t->b[t->instrument + 234] = 5;
     },
     "panning loop 0..5"},
    {"envelope_out_of_order",
     [](Tiny *t) {
         t->b[t->instrument + 225] = 2;
         t->b[t->instrument + 233] = 1;
     },
     "out of order"},
    {"vibrato_type", [](Tiny *t) { t->b[t->instrument + 235] = 4; }, "vibrato type 4"},
    {"sample_length_past_end", [](Tiny *t) { bytes_put32(&t->b, t->sample, 65); }, "sample data"},
    {"sample_length_huge", [](Tiny *t) { bytes_put32(&t->b, t->sample, 0xFFFFFFFF); },
     "sample data"},
    {"loop_past_length", [](Tiny *t) { bytes_put32(&t->b, t->sample + 4, 1); }, "loop 1+64"},
    {"loop_wraps",
     [](Tiny *t) {
         bytes_put32(&t->b, t->sample + 4, 0xFFFFFFF0);
         bytes_put32(&t->b, t->sample + 8, 0x20);
     },
     "past its length"},
    {"sample_volume", [](Tiny *t) { t->b[t->sample + 12] = 65; }, "volume 65"},
    {"sample_type_both_loops", [](Tiny *t) { t->b[t->sample + 14] = 3; }, "type 0x03"},
    {"sample_type_stereo", [](Tiny *t) { t->b[t->sample + 14] = 0x21; }, "type 0x21"},
    {"sample_packed", [](Tiny *t) { t->b[t->sample + 17] = 0xAD; }, "packed"},
    {"sixteen_bit_odd",
     [](Tiny *t) {
         t->b[t->sample + 14] = 0x10;
         bytes_put32(&t->b, t->sample, 63);
     },
     "odd"},
    {"pingpong_ends_at_15",
     [](Tiny *t) {
         t->b[t->sample + 14] = 2;
         bytes_put32(&t->b, t->sample + 8, 15);
     },
     "ping-pong"},
    // The limits themselves pass.
    {"pingpong_ends_at_16",
     [](Tiny *t) {
         t->b[t->sample + 14] = 2;
         bytes_put32(&t->b, t->sample + 8, 16);
     },
     "accepted"},
    {"instrument_header_241",
     [](Tiny *t) {
         bytes_put32(&t->b, t->instrument, 241);
         t->b.erase(t->b.begin() + long(t->instrument + 241), t->b.begin() + long(t->sample));
     },
     "accepted"},
    {"trailing_bytes", [](Tiny *t) { t->b.insert(t->b.end(), 100, 0x55); }, "accepted"},
    {"empty_instrument_after",
     [](Tiny *t) {
         bytes_put16(&t->b, 72, 2);
         Bytes empty(29, 0);
         empty[0] = 29;
         t->b.insert(t->b.end(), empty.begin(), empty.end());
     },
     "accepted"},
    {"envelope_in_order",
     [](Tiny *t) {
         t->b[t->instrument + 225] = 12;
         for (int i = 0; i < 12; i++) bytes_put16(&t->b, t->instrument + 129 + 4 * i, 5 * i);
         t->b[t->instrument + 227] = 11;
         t->b[t->instrument + 228] = 3;
         t->b[t->instrument + 229] = 11;
         t->b[t->instrument + 233] = 7;
     },
     "accepted"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmcDamage, testing::ValuesIn(damages),
                         [](const testing::TestParamInfo<Damage> &i) { return i.param.name; });

class XmcLoad : public testing::Test {
  protected:
    TempDir tmp;
    const fs::path dir = tmp.path();
};

TEST_F(XmcLoad, ReadsAndChecksARegularFile) {
    const Bytes tiny = Tiny().b;
    ASSERT_TRUE(write_file(dir / "t.xm", tiny));
    XmcTune t;
    ASSERT_EQ(xmc_load(&t, (dir / "t.xm").c_str()), XMC_OK) << t.why;
    EXPECT_EQ(Bytes(t.bytes, t.bytes + t.size), tiny);
    EXPECT_STREQ(t.why, "");
    xmc_free(&t);
    EXPECT_EQ(t.bytes, nullptr);

    Bytes damaged = tiny;
    damaged.pop_back();
    ASSERT_TRUE(write_file(dir / "d.xm", damaged));
    EXPECT_EQ(xmc_load(&t, (dir / "d.xm").c_str()), XMC_REFUSED);
    EXPECT_STREQ(t.why, "cut short in instrument 1's sample data");
    EXPECT_EQ(t.bytes, nullptr);
}

// None of these may block or spin: each is refused at once, before any byte is read.
TEST_F(XmcLoad, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(mkfifo((dir / "pipe.xm").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.xm");
    fs::create_directory(dir / "folder.xm");
    for (const char *name : {"pipe.xm", "zero.xm", "folder.xm", "missing.xm"}) {
        const auto start = std::chrono::steady_clock::now();
        XmcTune t;
        EXPECT_EQ(xmc_load(&t, (dir / name).c_str()), XMC_CANNOT_OPEN) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
        EXPECT_EQ(t.bytes, nullptr);
        EXPECT_STRNE(t.why, "") << name;
    }
}

TEST_F(XmcLoad, AFileOverTheCapIsRefusedUnread) {
    // Sparse: no disk is used for it.
    const fs::path big = dir / "big.xm";
    ASSERT_TRUE(write_file(big, Tiny().b));
    fs::resize_file(big, xmc_size_cap + 1);
    XmcTune t;
    EXPECT_EQ(xmc_load(&t, big.c_str()), XMC_REFUSED);
    EXPECT_STREQ(t.why, "larger than any tune");
}

} // namespace
