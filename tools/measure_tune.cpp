// measure_tune <module.xm>: listening by numbers. Renders the tune through the music library
// (whole mix, then each channel alone), and prints loudness per channel (ffmpeg's ebur128),
// RMS per order, the low-end share, the drums' attack and colour, how long a crash rings, how
// the opening builds, and facts read from the pattern data (chords, bass passing notes, repeats,
// the lead's rhythm and its highest pulse notes). The channels are taken to be lead, chords,
// bass and drums, in that order.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/byte_file.h"
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <mikmod.h>

namespace {

const char *const channel_names[] = {"lead", "chords", "bass", "drums"};
constexpr int role_channels = 4;
constexpr double full_scale = 32768.0;

// ---------------------------------------------------------------------------------------------
// The module, read back.

struct Cell {
    int note = 0, ins = 0, vol = 0, fx = 0, param = 0;
    bool operator==(const Cell &) const = default;
};

struct Sample {
    std::string name;
    uint32_t frames = 0;
    bool looped = false;
    int relative_note = 0, finetune = 0;
};

struct Module {
    int channels = 0, speed = 6, bpm = 125;
    std::vector<int> orders;
    std::vector<std::vector<Cell>> patterns; // rows x channels
    std::vector<int> pattern_rows;
    std::vector<Sample> instruments; // index = instrument number - 1
};

struct Reader {
    const std::vector<uint8_t> &b;
    bool ok = true;
    unsigned u8(size_t at) {
        if (at >= b.size()) {
            ok = false;
            return 0;
        }
        return b[at];
    }
    unsigned u16(size_t at) { return u8(at) | u8(at + 1) << 8; }
    uint32_t u32(size_t at) { return u16(at) | uint32_t(u16(at + 2)) << 16; }
    std::string text(size_t at, size_t n) {
        std::string s;
        for (size_t i = 0; i < n; i++) {
            unsigned c = u8(at + i);
            if (c) s += char(c);
        }
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
};

bool read_module(const std::vector<uint8_t> &bytes, Module *m) {
    Reader r{bytes};
    if (bytes.size() < 336 || memcmp(bytes.data(), "Extended Module: ", 17)) return false;
    unsigned length = r.u16(64), npat = r.u16(70), nins = r.u16(72);
    m->channels = int(r.u16(68));
    m->speed = int(r.u16(76));
    m->bpm = int(r.u16(78));
    if (m->channels < 1 || m->channels > 32 || length > 256) return false;
    for (unsigned i = 0; i < length; i++) m->orders.push_back(int(r.u8(80 + i)));
    size_t at = 60 + r.u32(60);
    for (unsigned p = 0; p < npat && r.ok; p++) {
        uint32_t header = r.u32(at);
        int rows = int(r.u16(at + 5));
        size_t packed = r.u16(at + 7);
        size_t pos = at + header, end = pos + packed;
        std::vector<Cell> cells(size_t(rows * m->channels));
        for (size_t i = 0; i < cells.size() && pos < end && r.ok; i++) {
            Cell &c = cells[i];
            unsigned flags = r.u8(pos);
            if (flags & 0x80) {
                pos++;
            } else {
                flags = 0x1F;
            }
            if (flags & 1) c.note = int(r.u8(pos++));
            if (flags & 2) c.ins = int(r.u8(pos++));
            if (flags & 4) c.vol = int(r.u8(pos++));
            if (flags & 8) c.fx = int(r.u8(pos++));
            if (flags & 16) c.param = int(r.u8(pos++));
        }
        m->patterns.push_back(cells);
        m->pattern_rows.push_back(rows);
        at = end;
    }
    for (unsigned i = 0; i < nins && r.ok; i++) {
        uint32_t size = r.u32(at);
        Sample s;
        s.name = r.text(at + 4, 22);
        unsigned nsamples = r.u16(at + 27);
        size_t pos = at + size;
        uint32_t data = 0;
        for (unsigned k = 0; k < nsamples; k++) {
            uint32_t len = r.u32(pos);
            bool sixteen = r.u8(pos + 14) & 0x10;
            if (k == 0) {
                s.frames = sixteen ? len / 2 : len;
                s.looped = (r.u8(pos + 14) & 3) != 0 && r.u32(pos + 8) > 0;
                s.finetune = int(int8_t(r.u8(pos + 13)));
                s.relative_note = int(int8_t(r.u8(pos + 16)));
            }
            data += len;
            pos += 40;
        }
        m->instruments.push_back(s);
        at = pos + data;
    }
    for (int o : m->orders)
        if (o >= int(m->patterns.size())) return false;
    return r.ok && !m->patterns.empty();
}

// ---------------------------------------------------------------------------------------------
// The song's time line: when every order and every note starts. Speed and tempo changes (Fxx)
// are followed; the tune uses no jumps or pattern breaks.

struct Event {
    double time;
    int order, row, channel;
    Cell cell;
    int ins; // the instrument sounding (the last one named on the channel)
};

struct Timeline {
    std::vector<double> order_start; // one more entry: the song's end
    std::vector<Event> events;       // cells with a note, in time order
};

Timeline timeline(const Module &m) {
    Timeline t;
    double now = 0;
    int speed = m.speed, bpm = m.bpm;
    std::vector<int> ins(size_t(m.channels), 0);
    for (size_t o = 0; o < m.orders.size(); o++) {
        t.order_start.push_back(now);
        int p = m.orders[o];
        for (int row = 0; row < m.pattern_rows[size_t(p)]; row++) {
            for (int ch = 0; ch < m.channels; ch++) {
                const Cell &c = m.patterns[size_t(p)][size_t(row * m.channels + ch)];
                if (c.fx == 0xF && c.param > 0) (c.param < 32 ? speed : bpm) = c.param;
            }
            for (int ch = 0; ch < m.channels; ch++) {
                const Cell &c = m.patterns[size_t(p)][size_t(row * m.channels + ch)];
                if (c.ins) ins[size_t(ch)] = c.ins;
                if (c.note) t.events.push_back({now, int(o), row, ch, c, ins[size_t(ch)]});
            }
            now += speed * 2.5 / bpm;
        }
    }
    t.order_start.push_back(now);
    return t;
}

std::string instrument_name(const Module &m, int ins) {
    return ins >= 1 && ins <= int(m.instruments.size()) ? m.instruments[size_t(ins - 1)].name : "";
}

bool named(const Module &m, int ins, const char *word) {
    return instrument_name(m, ins).find(word) != std::string::npos;
}

// ---------------------------------------------------------------------------------------------
// Rendering, as the intro plays it (software mixing, 4 voices), through the WAV writer.

struct Audio {
    int rate = 0;
    std::vector<double> left, right;
    size_t size() const { return left.size(); }
    double mid(size_t i) const { return (left[i] + right[i]) / 2; }
};

bool read_wav(const std::string &path, Audio *a) {
    std::vector<uint8_t> b = bytes_read(path);
    Reader r{b};
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) || memcmp(b.data() + 8, "WAVE", 4))
        return false;
    size_t at = 12;
    unsigned channels = 0, bits = 0;
    while (at + 8 <= b.size()) {
        uint32_t size = r.u32(at + 4);
        size_t body = at + 8;
        if (size > b.size() - body) return false;
        if (!memcmp(&b[at], "fmt ", 4) && size >= 16) {
            channels = r.u16(body + 2);
            a->rate = int(r.u32(body + 4));
            bits = r.u16(body + 14);
        } else if (!memcmp(&b[at], "data", 4) && channels == 2 && bits == 16) {
            for (size_t i = 0; i + 3 < size; i += 4) {
                a->left.push_back(double(int16_t(r.u16(body + i))));
                a->right.push_back(double(int16_t(r.u16(body + i + 2))));
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

// solo < 0 plays every channel; else only that one sounds.
bool render(const std::string &module, const std::string &wav, int solo) {
    md_device = UWORD(MikMod_DriverFromAlias(const_cast<char *>("wav")));
    md_mode |= DMODE_SOFT_MUSIC;
    std::string params = "file=" + wav;
    if (md_device == 0 || MikMod_Init(params.c_str()) != 0) return false;
    MODULE *mod = Player_Load(module.c_str(), 4, 0);
    if (!mod) {
        MikMod_Exit();
        return false;
    }
    Player_Start(mod);
    if (solo >= 0) {
        for (int ch = 0; ch < mod->numchn; ch++)
            if (ch != solo) Player_Mute(ch);
    }
    for (long updates = 0; Player_Active() && updates < 4000; updates++) MikMod_Update();
    Player_Stop();
    Player_Free(mod);
    MikMod_Exit();
    return true;
}

// Integrated loudness in LUFS from ffmpeg's EBU R128 meter; NAN when it cannot be read.
double lufs(const std::string &wav) {
    std::string cmd = "ffmpeg -nostats -hide_banner -i '" + wav + "' -af ebur128 -f null - 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return NAN;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    size_t at = out.rfind("Integrated loudness:");
    if (at == std::string::npos) return NAN;
    at = out.find("I:", at);
    if (at == std::string::npos) return NAN;
    return atof(out.c_str() + at + 2);
}

// ---------------------------------------------------------------------------------------------
// Levels and spectra.

double db(double power) {
    return power > 0 ? 10 * std::log10(power) : -120.0;
}

// RMS of both channels over [from, to) seconds, in dBFS.
double rms_db(const Audio &a, double from, double to) {
    size_t b = size_t(std::max(0.0, from) * a.rate), e = std::min(a.size(), size_t(to * a.rate));
    double sum = 0;
    for (size_t i = b; i < e; i++) sum += a.left[i] * a.left[i] + a.right[i] * a.right[i];
    return e > b ? db(sum / double(2 * (e - b)) / (full_scale * full_scale)) : -120.0;
}

void fft(std::vector<std::complex<double>> *v) {
    size_t n = v->size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap((*v)[i], (*v)[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w = std::polar(1.0, -2 * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> u(1);
            for (size_t k = 0; k < len / 2; k++) {
                std::complex<double> x = (*v)[i + k], y = (*v)[i + k + len / 2] * u;
                (*v)[i + k] = x + y;
                (*v)[i + k + len / 2] = x - y;
                u *= w;
            }
        }
    }
}

// Power spectrum (bins 0..n/2) of the mid signal from frame `first`, `count` frames long,
// zero-padded to n; hann applies a Hann window.
std::vector<double> spectrum(const Audio &a, size_t first, size_t count, size_t n, bool hann) {
    std::vector<std::complex<double>> v(n);
    for (size_t i = 0; i < count && i < n && first + i < a.size(); i++) {
        double w = hann ? 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(count)) : 1.0;
        v[i] = a.mid(first + i) * w;
    }
    fft(&v);
    std::vector<double> p(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; k++) p[k] = std::norm(v[k]);
    return p;
}

double share_above(const std::vector<double> &p, double hz, double bin_hz) {
    double all = 0, above = 0;
    for (size_t k = 1; k < p.size(); k++) {
        all += p[k];
        if (double(k) * bin_hz >= hz) above += p[k];
    }
    return all > 0 ? above / all : 0;
}

double centroid(const std::vector<double> &p, double bin_hz) {
    double sum = 0, weighted = 0;
    for (size_t k = 1; k < p.size(); k++) {
        sum += p[k];
        weighted += p[k] * double(k) * bin_hz;
    }
    return sum > 0 ? weighted / sum : 0;
}

// ---------------------------------------------------------------------------------------------
// Pattern facts.

const char *const pitch_names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                     "F#", "G",  "G#", "A",  "A#", "B"};

std::string note_name(int note) {
    if (note < 1 || note > 96) return "off";
    return std::string(pitch_names[(note - 1) % 12]) + std::to_string((note - 1) / 12);
}

struct Chord {
    int root = -1; // pitch class, -1 none
    int set = 0;   // bit per pitch class
    std::string name;
};

// The chord an arpeggio (0xy on a root) plays, named when it is a triad.
Chord chord_of(int note, int param) {
    Chord c;
    int pc = (note - 1) % 12;
    c.set = 1 << pc | 1 << (pc + (param >> 4)) % 12 | 1 << (pc + (param & 15)) % 12;
    const struct {
        int third, fifth;
        const char *suffix;
    } kinds[] = {{4, 7, ""}, {3, 7, "m"}, {3, 6, "dim"}, {5, 7, "sus4"}, {2, 7, "sus2"}};
    for (int r = 0; r < 12; r++) {
        for (auto k : kinds) {
            if (c.set == (1 << r | 1 << (r + k.third) % 12 | 1 << (r + k.fifth) % 12)) {
                c.root = r;
                c.name = std::string(pitch_names[r]) + k.suffix;
                return c;
            }
        }
    }
    c.root = pc;
    c.name = std::string(pitch_names[pc]) + "?";
    return c;
}

void pattern_facts(const Module &m, const Timeline &t) {
    const int chords_ch = 1, bass_ch = 2, lead_ch = 0;
    printf("\nPattern data\n");
    // Chords: one a bar (16 rows) from the chord channel's note and arpeggio.
    std::map<std::string, int> progressions;
    std::vector<std::vector<Chord>> bars(m.orders.size());
    Chord held;
    std::vector<std::string> order_prog(m.orders.size());
    for (size_t o = 0; o < m.orders.size(); o++) {
        int p = m.orders[o];
        int rows = m.pattern_rows[size_t(p)];
        for (int bar = 0; bar * 16 < rows; bar++) {
            for (int row = bar * 16; row < bar * 16 + 16 && row < rows; row++) {
                const Cell &c = m.patterns[size_t(p)][size_t(row * m.channels + chords_ch)];
                if (c.note >= 1 && c.note <= 96) {
                    held = chord_of(c.note, c.fx == 0 ? c.param : 0);
                    break;
                }
            }
            bars[o].push_back(held);
            order_prog[o] += (bar ? "-" : "") + held.name;
        }
        progressions[order_prog[o]]++;
    }
    printf("  order pattern chords\n");
    for (size_t o = 0; o < m.orders.size(); o++) {
        std::string same;
        for (size_t e = 0; e < o; e++) {
            if (m.orders[e] == m.orders[o] ||
                m.patterns[size_t(m.orders[e])] == m.patterns[size_t(m.orders[o])]) {
                same = "  repeats order " + std::to_string(e) + " exactly";
                break;
            }
        }
        printf("  %5zu %7d %s%s\n", o, m.orders[o], order_prog[o].c_str(), same.c_str());
    }
    int most = 0;
    std::string most_prog;
    for (auto &[prog, n] : progressions) {
        if (n > most) most = n, most_prog = prog;
    }
    printf("  most used progression: %s in %d of %zu orders\n", most_prog.c_str(), most,
           m.orders.size());

    // Bass and lead against the chord of their bar.
    int bass_notes = 0, bass_passing = 0;
    std::string passing;
    int lead_notes = 0, lead_chord_tones = 0, lead_offbeat = 0, lead_with_chord = 0;
    struct Top {
        int note, order, row;
    };
    std::vector<Top> pulse;
    for (const Event &e : t.events) {
        int note = e.cell.note;
        if (note < 1 || note > 96) continue;
        const Chord &ch = bars[size_t(e.order)][size_t(e.row / 16)];
        bool chord_tone = ch.set >> ((note - 1) % 12) & 1;
        if (e.channel == bass_ch) {
            bass_notes++;
            if (!chord_tone) {
                bass_passing++;
                if (passing.size() < 60) passing += " " + note_name(note) + "/" + ch.name;
            }
        } else if (e.channel == lead_ch) {
            lead_notes++;
            lead_chord_tones += chord_tone;
            lead_offbeat += e.row % 4 != 0;
            const Cell &c = m.patterns[size_t(m.orders[size_t(e.order)])]
                                      [size_t(e.row * m.channels + chords_ch)];
            lead_with_chord += c.note >= 1 && c.note <= 96;
            if (named(m, e.ins, "pwm") || named(m, e.ins, "pulse lead"))
                pulse.push_back({note, e.order, e.row});
        }
    }
    printf("  bass: %d notes, %d off the chord (passing)%s%s\n", bass_notes, bass_passing,
           passing.empty() ? "" : ":", passing.c_str());
    auto pct = [](int a, int b) { return b ? 100.0 * a / b : 0.0; };
    printf("  lead: %d notes; %.0f%% chord tones, %.0f%% start off the beat, %.0f%% start with a "
           "chord strike\n",
           lead_notes, pct(lead_chord_tones, lead_notes), pct(lead_offbeat, lead_notes),
           pct(lead_with_chord, lead_notes));
    std::sort(pulse.begin(), pulse.end(), [](const Top &a, const Top &b) {
        return a.note != b.note ? a.note > b.note : a.order < b.order;
    });
    printf("  pulse lead's highest notes:");
    for (size_t i = 0; i < pulse.size() && i < 5; i++)
        printf(" %s (order %d pattern %d row %d)", note_name(pulse[i].note).c_str(), pulse[i].order,
               m.orders[size_t(pulse[i].order)], pulse[i].row);
    printf("\n");
}

// ---------------------------------------------------------------------------------------------

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/measure-tune-XXXXXX";
        if (mkdtemp(tmpl)) path = tmpl;
    }
    ~TempDir() {
        if (DIR *d = opendir(path.c_str())) {
            while (dirent *e = readdir(d))
                if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                    unlink((path + "/" + e->d_name).c_str());
            closedir(d);
        }
        rmdir(path.c_str());
    }
};

// The hits of the instruments whose name holds word, on the drum channel.
std::vector<const Event *> hits(const Module &m, const Timeline &t, const char *word) {
    std::vector<const Event *> out;
    for (const Event &e : t.events)
        if (e.channel == 3 && e.cell.note >= 1 && e.cell.note <= 96 && named(m, e.ins, word))
            out.push_back(&e);
    return out;
}

void drum_facts(const Module &m, const Timeline &t, const Audio &drums, const Audio &lead) {
    const double rate = drums.rate;
    printf("\nDrums (drum channel alone)\n");
    // Kick: the share of its first 20 ms above 2 kHz; only untuned kicks (C-4), not toms.
    double share = 0;
    int n = 0;
    for (const Event *e : hits(m, t, "kick")) {
        if (e->cell.note != 49 || named(m, e->ins, "crash")) continue;
        share +=
            share_above(spectrum(drums, size_t(e->time * rate), size_t(0.02 * rate), 2048, false),
                        2000, rate / 2048);
        n++;
    }
    if (n)
        printf("  kick attack (first 20 ms): %.2f%% of the energy above 2 kHz (%.1f dB), %d hits\n",
               100 * share / n, db(share / n), n);
    // Snare: spectral centroid of its first 100 ms.
    double cen = 0, crack = 0;
    n = 0;
    for (const Event *e : hits(m, t, "snare")) {
        size_t at = size_t(e->time * rate);
        cen += centroid(spectrum(drums, at, size_t(0.1 * rate), 8192, true), rate / 8192);
        crack +=
            share_above(spectrum(drums, at, size_t(0.03 * rate), 2048, false), 4000, rate / 2048);
        n++;
    }
    if (n)
        printf("  snare: centroid %.0f Hz (first 100 ms), %.0f%% above 4 kHz in the first 30 "
               "ms, %d hits\n",
               cen / n, 100 * crack / n, n);
    // Each drum's hit level (first 50 ms) against the lead's level while it sounds.
    double lead_sum = 0;
    size_t lead_frames = 0, win = size_t(0.05 * rate);
    for (size_t at = 0; at + win <= lead.size(); at += win) {
        double s = 0;
        for (size_t i = at; i < at + win; i++)
            s += lead.left[i] * lead.left[i] + lead.right[i] * lead.right[i];
        if (db(s / double(2 * win) / (full_scale * full_scale)) > -50) {
            lead_sum += s;
            lead_frames += win;
        }
    }
    double lead_db =
        lead_frames ? db(lead_sum / double(2 * lead_frames) / full_scale / full_scale) : -120;
    printf("  lead while sounding: %.1f dBFS RMS\n", lead_db);
    std::map<std::string, std::pair<double, int>> level;
    for (const Event &e : t.events) {
        if (e.channel != 3 || e.cell.note < 1 || e.cell.note > 96) continue;
        double p = std::pow(10, rms_db(drums, e.time, e.time + 0.05) / 10);
        auto &l = level[instrument_name(m, e.ins)];
        l.first += p;
        l.second++;
    }
    for (auto &[name, l] : level)
        printf("  %-16s hits at %6.1f dBFS (first 50 ms), %+5.1f dB against the lead, %d hits\n",
               name.c_str(), db(l.first / l.second), db(l.first / l.second) - lead_db, l.second);
    // Crash: how long it rings before the next note on its channel cuts it.
    for (const Event *e : hits(m, t, "crash")) {
        double cut = t.order_start.back() - e->time;
        for (const Event &f : t.events)
            if (f.channel == e->channel && f.time > e->time + 1e-6) {
                cut = f.time - e->time;
                break;
            }
        const Sample &s = m.instruments[size_t(e->ins - 1)];
        // Played on C-4 the sample runs at 8363 * 2^((relative note + finetune/128) / 12) Hz.
        double hz = 8363 * std::pow(2, (s.relative_note + s.finetune / 128.0) / 12);
        double lasts = s.looped ? 1e9 : s.frames / hz;
        printf("  %s at %6.2f s (order %d row %2d): rings %.2f s (%s)\n",
               instrument_name(m, e->ins).c_str(), e->time, e->order, e->row, std::min(cut, lasts),
               cut < lasts ? "cut by the next note" : "to its end");
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: measure_tune <module.xm>\n");
        return 2;
    }
    const std::string path = argv[1];
    Module m;
    if (!read_module(bytes_read(path), &m)) {
        fprintf(stderr, "measure_tune: %s: not a readable XM module\n", path.c_str());
        return 1;
    }
    Timeline t = timeline(m);
    TempDir dir;
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    std::vector<Audio> solo(size_t(m.channels));
    Audio mix;
    std::string mix_wav = dir.path + "/mix.wav";
    if (!render(path, mix_wav, -1) || !read_wav(mix_wav, &mix)) {
        fprintf(stderr, "measure_tune: cannot render %s\n", path.c_str());
        return 1;
    }
    printf("%s: %d channels, %zu orders, %.2f s\n", path.c_str(), m.channels, m.orders.size(),
           t.order_start.back());
    printf("\nIntegrated loudness (EBU R128)\n  mix      %6.1f LUFS\n", lufs(mix_wav));
    for (int ch = 0; ch < m.channels; ch++) {
        std::string wav = dir.path + "/solo" + std::to_string(ch) + ".wav";
        if (!render(path, wav, ch) || !read_wav(wav, &solo[size_t(ch)])) return 1;
        printf("  %-8s %6.1f LUFS (alone)\n", ch < role_channels ? channel_names[ch] : "?",
               lufs(wav));
    }

    printf("\nRMS per order (whole mix)\n  order pattern  start    dBFS  against neighbours\n");
    std::vector<double> order_db;
    for (size_t o = 0; o + 1 < t.order_start.size(); o++)
        order_db.push_back(rms_db(mix, t.order_start[o], t.order_start[o + 1]));
    for (size_t o = 0; o < order_db.size(); o++) {
        printf("  %5zu %7d %6.2f %7.1f", o, m.orders[o], t.order_start[o], order_db[o]);
        if (o > 0 && o + 1 < order_db.size()) {
            double around =
                db((std::pow(10, order_db[o - 1] / 10) + std::pow(10, order_db[o + 1] / 10)) / 2);
            printf("  %+5.1f dB", order_db[o] - around);
        }
        printf("\n");
    }

    // Share of the energy below 120 Hz over the whole song.
    const size_t n = 8192;
    double low = 0, all = 0;
    for (size_t at = 0; at + n <= mix.size(); at += n) {
        std::vector<double> p = spectrum(mix, at, n, n, true);
        for (size_t k = 1; k < p.size(); k++) {
            all += p[k];
            if (double(k) * mix.rate / double(n) < 120) low += p[k];
        }
    }
    printf("\nEnergy below 120 Hz: %.1f%% of the whole mix\n", all > 0 ? 100 * low / all : 0);

    printf("\nOpening (whole mix, 0.5 s windows, dBFS RMS)\n ");
    double reached = -1;
    for (double s = 0; s < 8; s += 0.5) {
        double d = rms_db(mix, s, s + 0.5);
        printf(" %.1f", d);
        if (reached < 0 && d >= -26) reached = s + 0.5;
    }
    printf("\n  -26 dBFS reached by the end of the window at %.1f s\n", reached);
    for (const Event &e : t.events) {
        if (e.channel == 0 && e.cell.note >= 1 && e.cell.note <= 96) {
            printf("  first lead note (the hook) at %.2f s\n", e.time);
            break;
        }
    }

    if (m.channels >= role_channels) {
        drum_facts(m, t, solo[3], solo[0]);
        pattern_facts(m, t);
    }
    return 0;
}
