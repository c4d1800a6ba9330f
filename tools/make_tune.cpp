// make_tune <outdir>: composes the intro's tune and writes <outdir>/vemlotra.xm.
// The instruments are synthesized here with integer arithmetic only, so every run on every
// machine writes the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "intro/sine_table.h"
#include "tools/xm_writer.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Synthesis. Waves are built in Q16 fixed point; phases are 32-bit fractions of a turn.

constexpr int drum_rate = 22050;
constexpr int song_speed = 6, song_bpm = 125; // a row lasts speed * 2.5 / bpm seconds

// Sine of a 32-bit phase, linearly interpolated between table entries, about +-32767.
int32_t sine_at(uint32_t phase) {
    int idx = int(phase >> 22);
    int32_t frac = int32_t((phase >> 6) & 0xFFFF);
    int32_t s0 = sine_table[size_t(idx)];
    int32_t s1 = sine_table[size_t((idx + 1) & 1023)];
    return s0 + int32_t((int64_t(s1 - s0) * frac) >> 16);
}

// Phase step per frame for a frequency given in Q16 Hz.
uint32_t phase_step(int64_t hz_q16, int rate) {
    return uint32_t((hz_q16 << 16) / rate);
}

struct Noise {
    uint32_t state = 0x1234567u;
    int32_t next() { // xorshift32; the top 16 bits as a signed value
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int32_t(state >> 16) - 32768;
    }
};

// One step of an exponential decay: level * (1 - d/65536).
int32_t decay(int32_t level_q16, int32_t d) {
    return int32_t((int64_t(level_q16) * (65536 - d)) >> 16);
}

int16_t clamp16(int64_t v) {
    return int16_t(v > 32767 ? 32767 : v < -32767 ? -32767 : v);
}

// Scales a buffer so that its largest magnitude becomes peak.
void normalize(std::vector<int32_t> *v, int32_t peak) {
    int64_t m = 1;
    for (int32_t x : *v) m = std::max<int64_t>(m, x < 0 ? -int64_t(x) : x);
    for (int32_t &x : *v) x = int32_t(int64_t(x) * peak / m);
}

// Lets the last frames of a one-shot fall linearly to silence, so a cut tail never clicks.
void fade_tail(std::vector<int32_t> *v, size_t frames) {
    size_t n = v->size();
    if (frames > n) frames = n;
    for (size_t i = 0; i < frames; i++) {
        size_t at = n - frames + i;
        (*v)[at] = int32_t(int64_t((*v)[at]) * int64_t(frames - 1 - i) / int64_t(frames));
    }
}

// A soft clipper (1.5x - 0.5x^3 of full scale) on a buffer normalized first: a denser, louder
// hit within the same peak.
void saturate(std::vector<int32_t> *v) {
    normalize(v, 32767);
    const int64_t k2 = int64_t(32768) * 32768;
    for (int32_t &x : *v) x = int32_t((3 * k2 * x - int64_t(x) * x * x) / (2 * k2));
}

std::vector<int16_t> to16(const std::vector<int32_t> &v) {
    std::vector<int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); i++) out[i] = clamp16(v[i]);
    return out;
}

// A single cycle of n frames made of harmonics 1..count with the given weights (index k-1).
std::vector<int32_t> additive_cycle(int n, const int32_t *weights, int count) {
    std::vector<int32_t> v(size_t(n), 0);
    for (int i = 0; i < n; i++) {
        int64_t sum = 0;
        for (int k = 1; k <= count; k++) {
            uint32_t phase = uint32_t((uint64_t(k) * uint64_t(i) << 32) / uint64_t(n));
            sum += int64_t(weights[k - 1]) * sine_at(phase);
        }
        v[size_t(i)] = int32_t(sum >> 15);
    }
    return v;
}

// The lead: a 64-frame pulse whose width sweeps 3/16 -> 1/2 -> 3/16 over a 64-cycle loop (a
// narrower pulse buzzes on high notes).
std::vector<int16_t> pwm_lead() {
    std::vector<int16_t> v;
    const int span = 144;
    for (int c = 0; c < 64; c++) {
        int tri = c < 32 ? c : 64 - c;
        int duty = 12 + tri * 20 / 32;
        int high = span * (64 - duty) / 64, low = -span * duty / 64; // no DC offset
        for (int i = 0; i < 64; i++) v.push_back(int16_t(i < duty ? high : low));
    }
    return v;
}

// The chord voice: a thin quarter-width pulse, 64 frames.
std::vector<int16_t> pulse_arp() {
    std::vector<int16_t> v;
    for (int i = 0; i < 64; i++) v.push_back(int16_t(i < 16 ? 114 : -38));
    return v;
}

// A soft, hollow flute-like tone: mostly odd harmonics, 128 frames.
std::vector<int16_t> glass_lead() {
    const int32_t w[6] = {32768, 6000, 11000, 2500, 4200, 1200};
    std::vector<int32_t> v = additive_cycle(128, w, 6);
    normalize(&v, 30000);
    return to16(v);
}

// The bass: a sawtooth of 24 harmonics with a gentle roll-off (no ringing), 256 frames. Its
// fundamental is held back, so the bass is heard by its overtones more than felt as boom.
std::vector<int16_t> saw_bass() {
    int32_t w[24];
    for (int k = 1; k <= 24; k++) w[k - 1] = (25 - k) * 1400 / k;
    w[0] = w[0] * 9 / 20;
    std::vector<int32_t> v = additive_cycle(256, w, 24);
    normalize(&v, 30000);
    return to16(v);
}

// A sine that drops fast from 320 Hz to 52 Hz, struck by a few milliseconds of bright noise:
// the beater's attack that cuts through the mix.
std::vector<int32_t> kick_body(size_t frames) {
    std::vector<int32_t> v(frames);
    Noise noise;
    int64_t hz = int64_t(320) << 16;
    const int64_t floor_hz = int64_t(52) << 16;
    uint32_t phase = 0;
    int32_t amp = 65536, click = 30000, prev = 0;
    for (size_t i = 0; i < frames; i++) {
        int64_t s = int64_t(sine_at(phase)) * amp >> 16;
        int32_t n = noise.next();
        s = s * 13 / 16 + (int64_t(n - prev) * click >> 16); // differenced: the top only
        prev = n;
        v[i] = int32_t(s);
        phase += phase_step(hz, drum_rate);
        hz = floor_hz + ((hz - floor_hz) * (65536 - 140) >> 16);
        amp = decay(amp, 30);
        click = decay(click, 450);
    }
    return v;
}

std::vector<int32_t> kick_hit() {
    std::vector<int32_t> v = kick_body(7700);
    saturate(&v);
    fade_tail(&v, 1500);
    return v;
}

std::vector<int16_t> kick() {
    return to16(kick_hit());
}

// A short drum tone under a burst of bright noise (the crack), then a rattling tail.
std::vector<int16_t> snare() {
    const size_t frames = 7700;
    std::vector<int32_t> v(frames);
    Noise noise;
    int64_t hz = int64_t(240) << 16;
    const int64_t floor_hz = int64_t(190) << 16;
    uint32_t phase = 0;
    int32_t tone = 30000, hiss = 15000, crack = 30000, lp = 0, soft = 0;
    for (size_t i = 0; i < frames; i++) {
        int32_t n = noise.next();
        lp += int32_t((int64_t(n - lp) * 24000) >> 16);
        soft += int32_t((int64_t(n - soft) * 40000) >> 16); // the harshest top taken off
        int32_t high = n - lp;                              // above about 1.6 kHz
        int64_t s = (int64_t(sine_at(phase)) * tone >> 16) + (int64_t(high) * hiss >> 16) +
                    (int64_t(soft) * crack >> 16);
        v[i] = int32_t(s);
        phase += phase_step(hz, drum_rate);
        hz = floor_hz + ((hz - floor_hz) * (65536 - 60) >> 16);
        tone = decay(tone, 110);
        hiss = decay(hiss, 20);
        crack = decay(crack, 260);
    }
    saturate(&v);
    normalize(&v, 30000);
    fade_tail(&v, 1200);
    return to16(v);
}

// High-passed noise with an exponential decay d; hats and the crash's wash. A larger lp_speed
// moves the cut higher.
std::vector<int32_t> metal(size_t frames, int32_t d, uint32_t seed, int32_t lp_speed) {
    std::vector<int32_t> v(frames);
    Noise noise;
    noise.state = seed;
    int32_t amp = 65536, lp = 0;
    for (size_t i = 0; i < frames; i++) {
        int32_t n = noise.next();
        lp += int32_t((int64_t(n - lp) * lp_speed) >> 16);
        v[i] = int32_t(int64_t(n - lp) * amp >> 16);
        amp = decay(amp, d);
    }
    return v;
}

std::vector<int16_t> hat(size_t frames, int32_t d) {
    std::vector<int32_t> v = metal(frames, d, 0x9E3779B9u, 36000);
    saturate(&v);
    normalize(&v, 30000);
    fade_tail(&v, frames / 4);
    return to16(v);
}

// A kick with a cymbal wash of `frames` frames decaying by d: marks the first beat of a part.
std::vector<int32_t> crash_mix(size_t frames, int32_t d) {
    std::vector<int32_t> body = kick_hit();
    std::vector<int32_t> wash = metal(frames, d, 0x2545F491u, 22000);
    normalize(&wash, 15000);
    std::vector<int32_t> v(frames);
    for (size_t i = 0; i < frames; i++) v[i] = wash[i] + (i < body.size() ? body[i] * 3 / 4 : 0);
    return v;
}

std::vector<int16_t> crash() {
    std::vector<int32_t> v = crash_mix(33000, 7);
    normalize(&v, 32000);
    fade_tail(&v, 4000);
    return to16(v);
}

// One drum hit inside a baked bar: its row, sound and volume (0..64).
struct BarHit {
    int row;
    const std::vector<int16_t> *sound;
    int volume;
};

// A whole bar of drums at the song's first tempo mixed into one sample, over a crash that
// rings through it: on one drum channel a crash is otherwise cut by the next hat. As on a
// channel, each hit is cut by the next; the wash goes on under them all.
std::vector<int16_t> crash_bar(int crash_volume, const std::vector<BarHit> &hits) {
    const size_t row = drum_rate * song_speed * 5 / (2 * song_bpm), frames = 16 * row;
    std::vector<int32_t> v = crash_mix(frames, 4);
    for (int32_t &x : v) x = x * crash_volume / 64;
    for (size_t h = 0; h < hits.size(); h++) {
        size_t start = size_t(hits[h].row) * row;
        size_t end = h + 1 < hits.size() ? size_t(hits[h + 1].row) * row : frames;
        const std::vector<int16_t> &s = *hits[h].sound;
        for (size_t i = 0; i < s.size() && start + i < end; i++) {
            int64_t x = int64_t(s[i]) * hits[h].volume / 64;
            size_t left = end - (start + i);
            if (left < 64) x = x * int64_t(left) / 64; // the cut does not click
            v[start + i] += int32_t(x);
        }
    }
    fade_tail(&v, 1500);
    int64_t peak = 1;
    for (int32_t x : v) peak = std::max<int64_t>(peak, x < 0 ? -int64_t(x) : x);
    if (peak > 32767) normalize(&v, 32767);
    return to16(v);
}

XmEnvelope envelope(std::initializer_list<std::pair<int, int>> points, int sustain) {
    XmEnvelope e{};
    for (auto p : points) {
        e.x[e.points] = uint16_t(p.first);
        e.y[e.points] = uint16_t(p.second);
        e.points++;
    }
    e.sustain = sustain;
    e.loop_start = e.loop_end = -1;
    return e;
}

XmInstrument looped(const char *name, std::vector<int16_t> frames, bool sixteen, int cycle,
                    uint32_t loop_frames) {
    XmInstrument in{};
    in.name = name;
    in.frames = std::move(frames);
    in.sixteen = sixteen;
    in.loop_start = 0;
    in.loop_length = loop_frames;
    in.panning = 128;
    // A cycle of 32 * 2^k frames sounds at concert pitch 12k semitones up, finetune +2.
    int k = 0;
    while ((32 << k) < cycle) k++;
    in.relative_note = int8_t(12 * k);
    in.finetune = 2;
    return in;
}

XmInstrument one_shot(const char *name, std::vector<int16_t> frames, uint8_t volume,
                      uint8_t panning) {
    XmInstrument in{};
    in.name = name;
    in.frames = std::move(frames);
    in.sixteen = true;
    in.volume = volume;
    in.panning = panning;
    // Recorded at 22050 Hz: unchanged on C-4.
    in.relative_note = 17;
    in.finetune = -28;
    in.volume_env.sustain = in.volume_env.loop_start = in.volume_env.loop_end = -1;
    return in;
}

enum Instrument { PWM = 1, GLASS, ARP, BASS, KICK, SNARE, HAT, OPEN_HAT, CRASH, CRASH_BAR };

// Each instrument's own volume (0..64), by number.
const uint8_t ins_volume[] = {0, 30, 34, 30, 46, 64, 64, 54, 50, 54, 64};

std::vector<XmInstrument> instruments() {
    std::vector<XmInstrument> all;

    XmInstrument lead = looped("pwm lead", pwm_lead(), false, 64, 4096);
    lead.volume = ins_volume[PWM];
    lead.panning = 120;
    lead.volume_env = envelope({{0, 36}, {2, 64}, {8, 52}, {24, 44}, {34, 0}}, 3);
    lead.fadeout = 0x200;
    all.push_back(lead);

    XmInstrument glass = looped("glass lead", glass_lead(), true, 128, 128);
    glass.volume = ins_volume[GLASS];
    glass.panning = 136;
    glass.volume_env = envelope({{0, 20}, {4, 64}, {16, 54}, {40, 0}}, 2);
    glass.fadeout = 0x180;
    all.push_back(glass);

    XmInstrument arp = looped("pulse chords", pulse_arp(), false, 64, 64);
    arp.volume = ins_volume[ARP];
    arp.panning = 176;
    arp.volume_env = envelope({{0, 64}, {3, 52}, {12, 36}, {32, 28}}, -1);
    arp.fadeout = 0x400;
    all.push_back(arp);

    XmInstrument bass = looped("saw bass", saw_bass(), true, 256, 256);
    bass.volume = ins_volume[BASS];
    bass.panning = 128;
    bass.volume_env = envelope({{0, 64}, {3, 56}, {12, 40}, {40, 30}}, -1);
    bass.fadeout = 0x800;
    all.push_back(bass);

    std::vector<int16_t> k = kick(), s = snare(), h = hat(1800, 160);
    all.push_back(one_shot("kick", k, ins_volume[KICK], 128));
    all.push_back(one_shot("snare", s, ins_volume[SNARE], 116));
    all.push_back(one_shot("closed hat", h, ins_volume[HAT], 92));
    all.push_back(one_shot("open hat", hat(8800, 27), ins_volume[OPEN_HAT], 92));
    all.push_back(one_shot("kick and crash", crash(), ins_volume[CRASH], 140));
    // The beat of a plain bar after its crash (rows 2 .. 14; the crash holds the kick on 0).
    const std::vector<BarHit> beat = {{2, &h, ins_volume[HAT]},  {4, &s, ins_volume[SNARE]},
                                      {6, &h, ins_volume[HAT]},  {8, &k, ins_volume[KICK]},
                                      {10, &h, ins_volume[HAT]}, {12, &s, ins_volume[SNARE]},
                                      {14, &h, ins_volume[HAT]}};
    all.push_back(
        one_shot("crash bar", crash_bar(ins_volume[CRASH], beat), ins_volume[CRASH_BAR], 128));
    return all;
}

// ---------------------------------------------------------------------------------------------
// Composition. Four channels: lead, chords, bass, drums. A part is one pattern of four bars
// of 16 rows; four rows make a beat (speed 6, 125 BPM).

enum Channel { LEAD, CHORDS, BASS_CH, DRUMS, CHANNELS };

constexpr int bar_rows = 16;
constexpr uint8_t key_off = 97;

enum Fx { FX_ARPEGGIO = 0x0, FX_PORTA = 0x3, FX_VIBRATO = 0x4, FX_TEMPO = 0xF };

constexpr uint8_t vibrato = 0x53; // about 4 Hz, a quarter semitone deep
constexpr uint8_t porta_speed = 0x18;

struct Chord {
    const char *arp_root; // chord voice root, arpeggiated with 0xy
    uint8_t arp;
    const char *bass_root;
};

enum ChordName { AM, F, C, G, DM, EM, E };
const Chord chords[] = {
    {"A3", 0x37, "A1"}, {"F3", 0x47, "F1"}, {"C4", 0x47, "C2"}, {"G3", 0x47, "G1"},
    {"D4", 0x37, "D2"}, {"E4", 0x37, "E2"}, {"E4", 0x47, "E2"},
};

struct Part {
    int chord[4];
    int lead_ins;
    const char *lead[4]; // 16 space-separated tokens a bar: note, "." hold, "^" off, "~" glide
    int arp_ins;
    const char *arp[4];   // x strike, . hold, ^ off
    int arp_vol[4];       // strike volume, 0 = the instrument's own
    const char *bass[4];  // see place_bass
    const char *drums[4]; // see place_drums
    int then = AM;        // the chord after the part, where the bass's last approach leads
    int level = 64;       // every voice at level/64 of its volume: a quieter part
};

// Bass figures.
const char *const whole = "R...............";
const char *const oct8 = "R.O.R.O.R.O.R.O.";
const char *const oct8p = "R.O.R.O.R.O.R.p.";
const char *const synco = "R..R..O.R..R..O.";
const char *const syncop = "R..R..O.R..R.Fp.";
const char *const drive = "R.RO.RR.R.RO.RFO";
const char *const drivep = "R.RO.RR.R.RO.RFp";
const char *const walk = "R...T...F...p...";
const char *const stroll = "R.R.T.T.F.F.O.p.";
// Chord rhythms.
const char *const hold = "x...............";
const char *const beats = "x...x...x...x...";
const char *const eighths = "x.x.x.x.x.x.x.x.";
const char *const skip = "x..x..x...x..x..";
const char *const offbeat = "..x...x...x...x.";
// Drum bars.
const char *const basic = "k.h.s.h.k.h.s.h.";
const char *const busy = "k.hgs.hgk.hgs.hg";
const char *const crash_in = "C..............."; // a crash bar: the beat of `basic` inside

// The theme: a 3+3+4+2+4 figure of its own over the chords' plain beats.
const char *const theme[4] = {
    "A4 . . C5 . . E5 . . . D5 . E5 . . .",
    "F5 . . E5 . . C5 . . . A4 . C5 . . .",
    "G5 . . E5 . . C5 . . . D5 . E5 . . .",
    "D5 . . B4 . . G4 . . . A4 . B4 . ^ .",
};

// clang-format off
const Part parts[] = {
    // 0: a crash, the chords and the bass at once; the hook floats in over a light beat.
    {{AM, F, AM, F}, GLASS, {nullptr, nullptr, theme[0], theme[1]},
     ARP, {eighths, eighths, beats, beats}, {40, 44, 48, 52},
     {whole, whole, oct8, oct8p},
     {"c...............", "..h...h...h...h.", "k.h...h.k.h...h.", "k.h.s.h.k.h.s.ss"}},
    // 1: the beat starts; a slow soft line falls over a descending progression.
    {{AM, G, F, E}, GLASS,
     {"E5 . . . . . . . . . . . D5 . . .",
      "D5 . . . . . . . C5 . . . B4 . . .",
      "C5 . . . . . . . . . . . A4 . . .",
      "B4 . . . . . . . G#4 . . . . . ^ ."},
     ARP, {skip, skip, skip, skip}, {},
     {oct8p, oct8p, oct8p, oct8p},
     {crash_in, basic, basic, "k.h.s.h.k.hks.ss"}},
    // 2: the theme.
    {{AM, F, C, G}, PWM, {theme[0], theme[1], theme[2], theme[3]},
     ARP, {beats, beats, beats, beats}, {},
     {oct8, oct8p, oct8, oct8p},
     {crash_in, basic, basic, "k.h.s.h.k.hks.ho"}},
    // 3: the theme's answer, turning to the dominant.
    {{AM, F, C, E}, PWM,
     {"A4 . . C5 . . E5 . . . A5 . G5 . . .",
      "F5 . . E5 . . C5 . . . A4 . . . . .",
      "G5 . . E5 . . C5 . . . D5 . E5 . . .",
      "D5 . . . B4 . . . G#4 . . . B4 . ^ ."},
     ARP, {beats, beats, beats, beats}, {},
     {oct8, oct8p, oct8, oct8p},
     {basic, basic, basic, "k.h.s.hks.ss.sss"}, F},
    // 4: second theme, soft lead, chords on the off-beats.
    {{F, G, EM, AM}, GLASS,
     {"A5 . . . . . G5 . F5 . . . E5 . . .",
      "D5 . . . . . E5 . G5 . . . . . . .",
      "B5 . . . . . A5 . G5 . . . E5 . . .",
      "C6 . B5 . A5 . . . . . . . . . ^ ."},
     ARP, {offbeat, offbeat, offbeat, offbeat}, {},
     {syncop, syncop, syncop, synco},
     {crash_in, busy, busy, "k.hgs.hgk.hks.ho"}, F},
    // 5: second theme, climbing to the dominant; a snare roll.
    {{F, G, E, E}, GLASS,
     {"A5 . . . . . G5 . F5 . . . A5 . . .",
      "B5 . . . . . A5 . G5 . . . D5 . . .",
      "E5 . . . G#5 . . . B5 . . . . . . .",
      "E6 . . . . . . . D6 . . . B5 . G#5 ."},
     ARP, {offbeat, offbeat, beats, beats}, {},
     {syncop, syncop, synco, oct8p},
     {busy, busy, busy, "k.h.s.h.rrrrrrrr"}},
    // 6: break: everything steps back; a soft chord pad, sparse drums, the lead calls late.
    {{AM, F, DM, E}, PWM,
     {"^ . . . . . . . . . . . . . . .", nullptr,
      "A5 . . . . . . . F5 . . . D5 . . .",
      "E5 . . . . . . . G#5 . . . B5 . ^ ."},
     GLASS, {hold, hold, hold, hold}, {30, 30, 30, 34},
     {whole, whole, walk, walk},
     {"c...............", "k.......k.......", "k...s...k...s...", "k.h.s.h.rrrrrrrr"},
     DM, 42},
    // 7: bridge, driving bass, a lead that climbs by leaps and glides down.
    {{DM, EM, F, E}, PWM,
     {"D5 . . F5 . . A5 . . . G5 . F5 . E5 .",
      "E5 . . G5 . . B5 . . . A5 . G5 . . .",
      "F5 . . A5 . . C6 . . . ~A5 . . . G5 .",
      "G#5 . . . B5 . . . A5 . G#5 . E5 . . ."},
     ARP, {beats, beats, beats, beats}, {},
     {drivep, drivep, drivep, drivep},
     {crash_in, "k.hgs.hkk.hgs.ho", "k.hgs.hkk.hgs.ho", "k.h.s.h.T.T.t.m."}, F},
    // 8: the answer again, reaching higher.
    {{AM, F, C, G}, PWM,
     {"A4 . . C5 . . E5 . . . A5 . . . C6 .",
      "C6 . . A5 . . G5 . F5 . E5 . C5 . . .",
      "G5 . . E5 . . C5 . . . D5 . E5 . G5 .",
      "B5 . . . . . . . G5 . . . D5 . B4 ."},
     ARP, {offbeat, offbeat, offbeat, offbeat}, {},
     {oct8, oct8p, oct8, drivep},
     {busy, busy, busy, "k.h.s.h.T.T.t.m."}, F},
    // 9: second theme, last time, with a tom fill into the ending.
    {{F, G, E, E}, GLASS,
     {"A5 . . . . . G5 . F5 . . . A5 . . .",
      "B5 . . . . . A5 . G5 . . . D6 . . .",
      "E6 . . . D6 . . . B5 . . . G#5 . . .",
      "B5 . . . . . . . . . . . ^ . . ."},
     ARP, {offbeat, offbeat, beats, beats}, {},
     {syncop, syncop, synco, oct8p},
     {busy, busy, busy, "k.s.TTt.ttm.mm.."}},
    // 10: ending: the theme's opening, slowing down onto a last chord.
    {{AM, F, G, AM}, PWM,
     {theme[0], theme[1],
      "D5 . . . . . B4 . G4 . . . B4 . . .",
      "A4 . . . . . . . ^ . . . . . . ."},
     ARP, {beats, beats, beats, hold}, {},
     {oct8, oct8p, "R.O.R.O.R...R...", "R.......^......."},
     {crash_in, basic, "k.h.s.h.k...s...", "c..............."}},
    // 11: the theme again, reharmonised: the same tune over new chords and a walking bass.
    {{F, DM, AM, EM}, PWM, {theme[0], theme[1], theme[2], theme[3]},
     ARP, {offbeat, offbeat, offbeat, offbeat}, {},
     {stroll, stroll, stroll, stroll},
     {crash_in, busy, busy, "k.hgs.hgk.hks.ho"}},
    // 12: second theme again, pushed on by a driving bass and chords in a skipping rhythm.
    {{F, G, EM, AM}, GLASS,
     {"A5 . . . . . G5 . F5 . . . E5 . . .",
      "D5 . . . . . E5 . G5 . . . . . . .",
      "B5 . . . . . A5 . G5 . . . E5 . . .",
      "C6 . B5 . A5 . . . . . . . . . ^ ."},
     ARP, {skip, skip, skip, skip}, {},
     {drivep, drivep, drivep, drive},
     {crash_in, busy, busy, "k.hgs.hgk.hks.ho"}, F},
};
// clang-format on

const uint8_t song_orders[] = {0, 1, 2, 3, 4, 5, 6, 7, 11, 8, 12, 9, 10};
constexpr size_t ending_part = 10; // slows down to the end

[[noreturn]] void fail(const char *what, const char *text) {
    fprintf(stderr, "make_tune: %s: \"%s\"\n", what, text);
    exit(1);
}

// "C#5" -> 62 (C-4 is 49).
uint8_t note_number(const std::string &name) {
    static const int semis[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    size_t i = 0;
    if (name.empty() || name[0] < 'A' || name[0] > 'G') fail("bad note", name.c_str());
    int semi = semis[name[i++] - 'A'];
    if (i < name.size() && name[i] == '#') {
        semi++;
        i++;
    }
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '7') fail("bad note", name.c_str());
    int n = 12 * (name[i] - '0') + semi + 1;
    if (n < 1 || n > 96) fail("note out of range", name.c_str());
    return uint8_t(n);
}

std::vector<std::string> tokens(const char *text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char *p = text;; p++) {
        if (*p == ' ' || *p == 0) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
            if (*p == 0) break;
        } else {
            cur += *p;
        }
    }
    if (out.size() != bar_rows) fail("a bar needs 16 rows", text);
    return out;
}

struct Builder {
    XmPattern pat;
    XmCell &at(int row, int ch) { return pat.cells[size_t(row * CHANNELS + ch)]; }
};

void check_bar(const char *text) {
    if (strlen(text) != bar_rows) fail("a bar needs 16 rows", text);
}

// The volume column for a note of volume vol (0..64) in a part at `level`; 0 leaves the
// instrument's own volume.
uint8_t volume_cell(int vol, const Part &p) {
    if (p.level >= 64) return vol ? uint8_t(0x10 + vol) : 0;
    return uint8_t(0x10 + vol * p.level / 64);
}

void place_lead(Builder *b, const Part &p) {
    // Flatten the four bars, then give long notes a vibrato after their attack.
    std::vector<std::string> rows;
    for (const char *bar : p.lead) {
        std::vector<std::string> t =
            bar ? tokens(bar) : std::vector<std::string>(bar_rows, std::string("."));
        rows.insert(rows.end(), t.begin(), t.end());
    }
    int n = int(rows.size());
    for (int r = 0; r < n; r++) {
        const std::string &t = rows[size_t(r)];
        if (t == ".") continue;
        XmCell &c = b->at(r, LEAD);
        if (t == "^") {
            c.note = key_off;
            continue;
        }
        bool glide = t[0] == '~';
        c.note = note_number(glide ? t.substr(1) : t);
        c.vol = p.level < 64 ? volume_cell(ins_volume[p.lead_ins], p) : 0;
        int len = 1;
        while (r + len < n && rows[size_t(r + len)] == ".") len++;
        if (glide) {
            c.fx = FX_PORTA;
            c.param = porta_speed;
            if (len > 1) b->at(r + 1, LEAD).fx = FX_PORTA; // 300: keep sliding
        } else {
            c.ins = uint8_t(p.lead_ins);
        }
        if (len >= 6) {
            for (int k = 3; k < len; k++) {
                XmCell &v = b->at(r + k, LEAD);
                v.fx = FX_VIBRATO;
                v.param = vibrato;
            }
        }
    }
}

void place_chords(Builder *b, const Part &p) {
    for (int bar = 0; bar < 4; bar++) {
        const char *rhythm = p.arp[bar];
        check_bar(rhythm);
        const Chord &ch = chords[p.chord[bar]];
        bool sounding = false;
        for (int i = 0; i < bar_rows; i++) {
            XmCell &c = b->at(bar * bar_rows + i, CHORDS);
            if (rhythm[i] == 'x') {
                c.note = note_number(ch.arp_root);
                c.ins = uint8_t(p.arp_ins);
                int vol = p.arp_vol[bar] ? p.arp_vol[bar]
                          : p.level < 64 ? ins_volume[p.arp_ins]
                                         : 0;
                c.vol = volume_cell(vol, p);
                sounding = true;
            } else if (rhythm[i] == '^') {
                c.note = key_off;
                sounding = false;
            } else if (rhythm[i] != '.') {
                fail("bad chord rhythm", rhythm);
            }
            if (sounding) {
                c.fx = FX_ARPEGGIO;
                c.param = ch.arp; // needed on every row, or the chord falls back to its root
            }
        }
    }
}

// A note a step away from target, leading into it: a step of A minor from the side the line
// comes from; between roots a whole tone apart the semitone between; else a step from the
// other side.
uint8_t approach(uint8_t from, uint8_t target) {
    static const bool in_key[12] = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1}; // from C
    auto key = [](int n) { return in_key[(n + 119) % 12]; };
    int dir = target < from ? 1 : -1;
    for (int d = 1; d <= 2; d++) {
        int n = target + dir * d;
        if (key(n) && n != from) return uint8_t(n);
    }
    if (std::abs(target - from) == 2) return uint8_t((target + from) / 2); // chromatic
    for (int d = 1; d <= 2; d++) {
        if (key(target - dir * d)) return uint8_t(target - dir * d); // from the other side
    }
    return uint8_t(target - 1);
}

// R root, T third, F fifth, O octave, p a passing note into the next bar's root,
// . hold, ^ off.
void place_bass(Builder *b, const Part &p) {
    for (int bar = 0; bar < 4; bar++) {
        const char *figure = p.bass[bar];
        if (!figure) continue;
        check_bar(figure);
        const Chord &ch = chords[p.chord[bar]];
        uint8_t root = note_number(ch.bass_root);
        uint8_t next = note_number(chords[bar < 3 ? p.chord[bar + 1] : p.then].bass_root);
        for (int i = 0; i < bar_rows; i++) {
            XmCell &c = b->at(bar * bar_rows + i, BASS_CH);
            int note = 0;
            switch (figure[i]) {
            case 'R':
                note = root;
                break;
            case 'T':
                note = root + (ch.arp >> 4);
                break;
            case 'F':
                note = root + 7;
                break;
            case 'O':
                note = root + 12;
                break;
            case 'p':
                note = approach(root, next);
                break;
            case '^':
                c.note = key_off;
                break;
            case '.':
                break;
            default:
                fail("bad bass figure", figure);
            }
            if (note) {
                c.note = uint8_t(note);
                c.ins = BASS;
                c.vol = p.level < 64 ? volume_cell(ins_volume[BASS], p) : 0;
            }
        }
    }
}

// k kick, s snare, h hat, g ghost hat, o open hat, c kick and crash, C crash bar,
// T t m high/middle/low toms (the kick tuned up), r snare roll rising through the bar.
void place_drums(Builder *b, const Part &p) {
    for (int bar = 0; bar < 4; bar++) {
        const char *line = p.drums[bar];
        check_bar(line);
        for (int i = 0; i < bar_rows; i++) {
            XmCell &c = b->at(bar * bar_rows + i, DRUMS);
            uint8_t ins = 0, note = note_number("C4");
            int vol = 0;
            switch (line[i]) {
            case '.':
                continue;
            case 'k':
                ins = KICK;
                break;
            case 's':
                ins = SNARE;
                break;
            case 'h':
                ins = HAT;
                break;
            case 'g':
                ins = HAT, vol = 32;
                break;
            case 'o':
                ins = OPEN_HAT;
                break;
            case 'c':
                ins = CRASH;
                break;
            case 'C':
                ins = CRASH_BAR;
                break;
            case 'T':
                ins = KICK, note = note_number("C5");
                break;
            case 't':
                ins = KICK, note = note_number("G4");
                break;
            case 'm':
                ins = KICK, note = note_number("D#4");
                break;
            case 'r':
                ins = SNARE, vol = 18 + i * 3;
                break;
            default:
                fail("bad drum line", line);
            }
            c.note = note;
            c.ins = ins;
            c.vol = volume_cell(vol ? vol : p.level < 64 ? ins_volume[ins] : 0, p);
        }
    }
}

XmPattern build_part(const Part &p, bool ending) {
    Builder b;
    b.pat.rows = 4 * bar_rows;
    b.pat.cells.assign(size_t(b.pat.rows * CHANNELS), XmCell{});
    place_lead(&b, p);
    place_chords(&b, p);
    place_bass(&b, p);
    place_drums(&b, p);
    if (ending) {
        // Slow down through the last bar; the chord fades and everything is off before the end.
        const struct { int row, bpm; } tempo[] = {{48, 118}, {52, 108}, {56, 96}, {60, 84}};
        for (auto t : tempo) {
            XmCell &c = b.at(t.row, BASS_CH);
            c.fx = FX_TEMPO;
            c.param = uint8_t(t.bpm);
        }
        for (int r = 50; r < 56; r += 2) b.at(r, CHORDS).vol = 0x61; // down 5 a row
        b.at(56, CHORDS).note = key_off;
    }
    return b.pat;
}

XmSong compose() {
    XmSong s{};
    s.name = "vemlotra";
    s.tracker = "KLOV make_tune";
    s.channels = CHANNELS;
    s.speed = song_speed;
    s.bpm = song_bpm;
    s.restart = 0;
    size_t count = sizeof parts / sizeof parts[0];
    for (size_t i = 0; i < count; i++) s.patterns.push_back(build_part(parts[i], i == ending_part));
    s.orders.assign(std::begin(song_orders), std::end(song_orders));
    s.instruments = instruments();
    return s;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_tune <outdir>\n");
        return 2;
    }
    XmSong song = compose();
    std::string path = std::string(argv[1]) + "/vemlotra.xm";
    if (!xm_save(&song, path.c_str())) {
        fprintf(stderr, "make_tune: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
