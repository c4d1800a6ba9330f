// The XM writer behind make_tune: byte layout, cell packing, delta-coded samples, the limits it
// refuses, and a round trip through the music library's loader.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <mikmod.h>

#include "tools/xm_writer.h"

namespace {

unsigned u16(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | b[at + 1] << 8;
}
uint32_t u32(const std::vector<uint8_t> &b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

XmEnvelope no_envelope() {
    XmEnvelope e{};
    e.sustain = e.loop_start = e.loop_end = -1;
    return e;
}

// Two channels, two patterns (the second of 3 rows), orders 0 1 0; an 8-bit looped square
// with a sustained envelope and a 16-bit one-shot.
XmSong small_song() {
    XmSong s{};
    s.name = "writer check";
    s.tracker = "klov test";
    s.channels = 2;
    s.speed = 5;
    s.bpm = 140;
    s.restart = 1;
    s.orders = {0, 1, 0};
    XmPattern p0{2, std::vector<XmCell>(4, XmCell{})};
    p0.cells[0] = {49, 1, 0, 0, 0};         // C-4, instrument 1
    p0.cells[1] = {49, 2, 0x40, 0xC, 0x20}; // every byte set: full form
    p0.cells[2] = {97, 0, 0, 0, 0};         // key off
    p0.cells[3] = {0, 0, 0, 0x0, 0x37};     // arpeggio alone
    XmPattern p1{3, std::vector<XmCell>(6, XmCell{})};
    s.patterns = {p0, p1};

    XmInstrument square{};
    square.name = "square";
    for (int i = 0; i < 32; i++) square.frames.push_back(int16_t(i < 16 ? 100 : -100));
    square.loop_start = 8;
    square.loop_length = 24;
    square.volume = 48;
    square.finetune = -6;
    square.panning = 200;
    square.relative_note = 12;
    square.volume_env = no_envelope();
    square.volume_env.points = 3;
    square.volume_env.x[1] = 4;
    square.volume_env.x[2] = 20;
    square.volume_env.y[0] = 64;
    square.volume_env.y[1] = 40;
    square.volume_env.y[2] = 0;
    square.volume_env.sustain = 1;
    square.fadeout = 0x400;

    XmInstrument hit{};
    hit.name = "hit";
    hit.sixteen = true;
    hit.frames = {1000, -1000, 32767, -32768, 0};
    hit.volume = 64;
    hit.panning = 128;
    hit.volume_env = no_envelope();
    s.instruments = {square, hit};
    return s;
}

TEST(XmWriter, LaysOutHeaderPatternsAndSamples) {
    XmSong s = small_song();
    std::vector<uint8_t> b;
    ASSERT_TRUE(xm_write(&s, &b));

    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 29), "writer check");
    EXPECT_EQ(b[29], 0);
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 58), "klov test           ");
    EXPECT_EQ(u16(b, 58), 0x0104u);
    EXPECT_EQ(u32(b, 60), 276u);
    const unsigned header[] = {3, 1, 2, 2, 2, 1, 5, 140}; // length .. BPM
    for (int i = 0; i < 8; i++) EXPECT_EQ(u16(b, 64 + 2 * i), header[i]) << "header word " << i;
    EXPECT_EQ(b[80], 0);
    EXPECT_EQ(b[81], 1);
    EXPECT_EQ(b[82], 0);
    for (size_t i = 83; i < 336; i++) ASSERT_EQ(b[i], 0) << "order " << i - 80;

    // Pattern 0: note+instrument flagged, all five in full, key off, effect parameter only.
    const std::vector<uint8_t> p0 = {9,    0,    0,    0,    0,    2,    0,
                                     12,   0,    0x83, 0x31, 0x01, 0x31, 0x02,
                                     0x40, 0x0C, 0x20, 0x81, 0x61, 0x90, 0x37};
    ASSERT_GE(b.size(), 336 + p0.size());
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 336, b.begin() + 336 + long(p0.size())), p0);
    size_t at = 336 + p0.size();
    EXPECT_EQ(u32(b, at), 9u);
    EXPECT_EQ(u16(b, at + 5), 3u);
    EXPECT_EQ(u16(b, at + 7), 6u);
    for (size_t i = 0; i < 6; i++) EXPECT_EQ(b[at + 9 + i], 0x80);
    at += 15;

    // Instrument 1: header, envelope, one sample header with byte lengths, delta data.
    EXPECT_EQ(u32(b, at), 263u);
    EXPECT_EQ(std::string(b.begin() + long(at) + 4, b.begin() + long(at) + 10), "square");
    EXPECT_EQ(u16(b, at + 27), 1u);
    EXPECT_EQ(u32(b, at + 29), 40u);
    EXPECT_EQ(u16(b, at + 129 + 4), 4u); // second point x
    EXPECT_EQ(u16(b, at + 129 + 6), 40u);
    EXPECT_EQ(b[at + 225], 3);
    EXPECT_EQ(b[at + 227], 1);
    EXPECT_EQ(b[at + 233], 3); // on, with sustain
    EXPECT_EQ(u16(b, at + 239), 0x400u);
    size_t sh = at + 263;
    EXPECT_EQ(u32(b, sh), 32u);
    EXPECT_EQ(u32(b, sh + 4), 8u);
    EXPECT_EQ(u32(b, sh + 8), 24u);
    EXPECT_EQ(b[sh + 12], 48);
    EXPECT_EQ(int8_t(b[sh + 13]), -6);
    EXPECT_EQ(b[sh + 14], 1); // forward loop, 8-bit
    EXPECT_EQ(b[sh + 15], 200);
    EXPECT_EQ(b[sh + 16], 12);
    EXPECT_EQ(b[sh + 17], 0);
    size_t data = sh + 40;
    EXPECT_EQ(b[data], 100);
    EXPECT_EQ(b[data + 1], 0);
    EXPECT_EQ(b[data + 16], 0x38); // -100 - 100 = -200, wrapped to 56
    EXPECT_EQ(b[data + 17], 0);

    // Instrument 2: 16-bit, so its lengths are doubled and its deltas wrap at 16 bits.
    at = data + 32;
    sh = at + 263;
    EXPECT_EQ(u32(b, sh), 10u);
    EXPECT_EQ(u32(b, sh + 8), 0u);
    EXPECT_EQ(b[sh + 14], 0x10);
    EXPECT_EQ(b[at + 233], 0); // no envelope
    const unsigned deltas[] = {1000, 0x10000 - 2000, 33767, 1, 32768};
    for (int i = 0; i < 5; i++) EXPECT_EQ(u16(b, sh + 40 + 2 * i), deltas[i]) << "frame " << i;

    EXPECT_EQ(b.size(), 336 + (9 + 12) + (9 + 6) + (263 + 40 + 32) + (263 + 40 + 10));
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    const struct {
        const char *what;
        std::function<void(XmSong *)> spoil;
    } cases[] = {
        {"order names a missing pattern", [](XmSong *s) { s->orders[2] = 2; }},
        {"restart past the song", [](XmSong *s) { s->restart = 3; }},
        {"no orders", [](XmSong *s) { s->orders.clear(); }},
        {"one channel", [](XmSong *s) { s->channels = 1; }},
        {"speed 0", [](XmSong *s) { s->speed = 0; }},
        {"BPM 31", [](XmSong *s) { s->bpm = 31; }},
        {"cells do not fill the rows", [](XmSong *s) { s->patterns[1].cells.pop_back(); }},
        {"no rows", [](XmSong *s) { s->patterns[1].rows = 0; }},
        {"note above key off", [](XmSong *s) { s->patterns[0].cells[0].note = 98; }},
        {"missing instrument", [](XmSong *s) { s->patterns[0].cells[0].ins = 3; }},
        {"8-bit value too large", [](XmSong *s) { s->instruments[0].frames[3] = 128; }},
        {"loop past the end", [](XmSong *s) { s->instruments[0].loop_length = 25; }},
        {"volume above 64", [](XmSong *s) { s->instruments[1].volume = 65; }},
        {"envelope going back", [](XmSong *s) { s->instruments[0].volume_env.x[2] = 4; }},
        {"envelope level above 64", [](XmSong *s) { s->instruments[0].volume_env.y[0] = 65; }},
        {"sustain past the points", [](XmSong *s) { s->instruments[0].volume_env.sustain = 3; }},
        {"song name too long", [](XmSong *s) { s->name = std::string(21, 'x'); }},
    };
    for (const auto &c : cases) {
        XmSong s = small_song();
        c.spoil(&s);
        std::vector<uint8_t> out = {7};
        EXPECT_FALSE(xm_write(&s, &out)) << c.what;
        EXPECT_EQ(out, std::vector<uint8_t>{7}) << c.what;
    }
    EXPECT_FALSE(xm_write(nullptr, nullptr));
    EXPECT_FALSE(xm_save(nullptr, "/tmp/never-written.xm"));
}

// The music library reads back what was written (the no-sound driver: nothing to play to).
TEST(XmWriter, LoadsInTheMusicLibrary) {
    XmSong s = small_song();
    std::vector<uint8_t> b;
    ASSERT_TRUE(xm_write(&s, &b));
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_device = UWORD(MikMod_DriverFromAlias("nosound"));
    ASSERT_NE(md_device, 0);
    ASSERT_EQ(MikMod_Init(""), 0) << MikMod_strerror(MikMod_errno);
    MODULE *m = Player_LoadMem((const char *)b.data(), int(b.size()), 64, 0);
    ASSERT_NE(m, nullptr) << MikMod_strerror(MikMod_errno);
    EXPECT_STREQ(m->songname, "writer check");
    EXPECT_EQ(m->numchn, 2);
    EXPECT_EQ(m->numpos, 3);
    EXPECT_EQ(m->numpat, 2);
    EXPECT_EQ(m->numins, 2);
    EXPECT_EQ(m->numsmp, 2);
    EXPECT_EQ(m->initspeed, 5);
    EXPECT_EQ(m->inittempo, 140);
    EXPECT_EQ(m->pattrows[1], 3);
    EXPECT_EQ(m->samples[0].length, 32u); // frames, not bytes
    EXPECT_EQ(m->samples[0].loopstart, 8u);
    EXPECT_EQ(m->samples[0].loopend, 32u);
    EXPECT_TRUE(m->samples[0].flags & SF_LOOP);
    EXPECT_EQ(m->samples[1].length, 5u);
    EXPECT_TRUE(m->samples[1].flags & SF_16BITS);
    EXPECT_FALSE(m->samples[1].flags & SF_LOOP);
    EXPECT_EQ(m->instruments[0].volpts, 3);
    EXPECT_EQ(m->instruments[0].volfade, 0x400);
    Player_Free(m);
    MikMod_Exit();
}

} // namespace
