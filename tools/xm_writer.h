// Writes XM modules (format version 1.04): header and order table, packed patterns, and
// instruments with one delta-coded sample each. Header-only, so that only programs sit in tools/.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct XmCell {
    uint8_t note; // 0 none, 1..96 C-0..B-7, 97 key off
    uint8_t ins;  // 0 none, 1.. instrument number
    uint8_t vol;  // volume column byte
    uint8_t fx, param;
};

struct XmPattern {
    int rows;
    std::vector<XmCell> cells; // rows x channels, row by row
};

struct XmEnvelope {
    int points; // 0 = envelope off, else 2..12
    uint16_t x[12], y[12];
    int sustain;              // point index, or -1
    int loop_start, loop_end; // point indices, or -1
};

struct XmInstrument {
    std::string name;            // up to 22 characters
    std::vector<int16_t> frames; // mono; 8-bit samples hold -128..127
    bool sixteen;
    uint32_t loop_start, loop_length; // in frames; length 0 = one-shot
    bool pingpong;
    uint8_t volume; // 0..64
    int8_t finetune;
    uint8_t panning; // 0 left .. 255 right
    int8_t relative_note;
    XmEnvelope volume_env;
    uint16_t fadeout; // 0..0x0FFF
    uint8_t vibrato_type, vibrato_sweep, vibrato_depth, vibrato_rate;
};

struct XmSong {
    std::string name;    // up to 20 characters
    std::string tracker; // up to 20 characters
    int channels, speed, bpm, restart;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

namespace xm_detail {

inline void put8(std::vector<uint8_t> *out, unsigned v) {
    out->push_back(uint8_t(v));
}
inline void put16(std::vector<uint8_t> *out, unsigned v) {
    put8(out, v & 0xFF);
    put8(out, (v >> 8) & 0xFF);
}
inline void put32(std::vector<uint8_t> *out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void put_text(std::vector<uint8_t> *out, const std::string &s, size_t n, char pad) {
    for (size_t i = 0; i < n; i++) put8(out, uint8_t(i < s.size() ? s[i] : pad));
}

inline bool envelope_ok(const XmEnvelope &e) {
    if (e.points == 0) return true;
    if (e.points < 2 || e.points > 12 || e.x[0] != 0) return false;
    for (int i = 0; i < e.points; i++) {
        if (e.y[i] > 64 || (i > 0 && e.x[i] <= e.x[i - 1])) return false;
    }
    if (e.sustain >= e.points) return false;
    if ((e.loop_start < 0) != (e.loop_end < 0)) return false;
    return e.loop_start < 0 || (e.loop_start <= e.loop_end && e.loop_end < e.points);
}

inline bool instrument_ok(const XmInstrument &in) {
    if (in.name.size() > 22 || in.volume > 64 || in.fadeout > 0x0FFF) return false;
    if (!envelope_ok(in.volume_env)) return false;
    uint64_t n = in.frames.size();
    if (n * (in.sixteen ? 2 : 1) > 0x7FFFFFFF) return false;
    if (uint64_t(in.loop_start) + in.loop_length > n) return false;
    if (!in.sixteen) {
        for (int16_t v : in.frames) {
            if (v < -128 || v > 127) return false;
        }
    }
    return true;
}

inline void pack_cell(std::vector<uint8_t> *out, const XmCell &c) {
    const uint8_t bytes[5] = {c.note, c.ins, c.vol, c.fx, c.param};
    if (c.note && c.ins && c.vol && c.fx && c.param) {
        for (uint8_t b : bytes) put8(out, b); // the full form is one byte shorter
        return;
    }
    uint8_t flags = 0x80;
    for (int i = 0; i < 5; i++) {
        if (bytes[i]) flags |= uint8_t(1 << i);
    }
    put8(out, flags);
    for (uint8_t b : bytes) {
        if (b) put8(out, b);
    }
}

} // namespace xm_detail

// Appends the module's bytes to *out. Returns false, leaving *out as it was, when the song
// breaks a limit of the format (counts, ranges, orders naming missing patterns ...).
inline bool xm_write(const XmSong *song, std::vector<uint8_t> *out) {
    using namespace xm_detail;
    if (!song || !out) return false;
    const XmSong &s = *song;
    size_t npat = s.patterns.size(), nord = s.orders.size(), nins = s.instruments.size();
    if (s.name.size() > 20 || s.tracker.size() > 20) return false;
    if (s.channels < 2 || s.channels > 32 || s.speed < 1 || s.speed > 31 || s.bpm < 32 ||
        s.bpm > 255)
        return false;
    if (npat < 1 || npat > 256 || nord < 1 || nord > 256 || nins > 128) return false;
    if (s.restart < 0 || size_t(s.restart) >= nord) return false;
    for (uint8_t o : s.orders) {
        if (o >= npat) return false;
    }
    for (const XmPattern &p : s.patterns) {
        if (p.rows < 1 || p.rows > 256 || p.cells.size() != size_t(p.rows) * s.channels)
            return false;
        for (const XmCell &c : p.cells) {
            if (c.note > 97 || c.ins > nins) return false;
        }
    }
    for (const XmInstrument &in : s.instruments) {
        if (!instrument_ok(in)) return false;
    }

    std::vector<uint8_t> b;
    put_text(&b, "Extended Module: ", 17, 0);
    put_text(&b, s.name, 20, 0);
    put8(&b, 0x1A);
    put_text(&b, s.tracker, 20, ' ');
    put16(&b, 0x0104);
    put32(&b, 276); // counted from its own offset, so patterns start at 336
    put16(&b, unsigned(nord));
    put16(&b, unsigned(s.restart));
    put16(&b, unsigned(s.channels));
    put16(&b, unsigned(npat));
    put16(&b, unsigned(nins));
    put16(&b, 1); // linear frequency table
    put16(&b, unsigned(s.speed));
    put16(&b, unsigned(s.bpm));
    for (size_t i = 0; i < 256; i++) put8(&b, i < nord ? s.orders[i] : 0);

    for (const XmPattern &p : s.patterns) {
        std::vector<uint8_t> packed;
        for (const XmCell &c : p.cells) pack_cell(&packed, c);
        if (packed.size() > 0xFFFF) return false;
        put32(&b, 9);
        put8(&b, 0);
        put16(&b, unsigned(p.rows));
        put16(&b, unsigned(packed.size()));
        b.insert(b.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument &in : s.instruments) {
        const XmEnvelope &e = in.volume_env;
        unsigned width = in.sixteen ? 2 : 1;
        put32(&b, 263);
        put_text(&b, in.name, 22, 0);
        put8(&b, 0);
        put16(&b, 1);
        put32(&b, 40);
        for (int i = 0; i < 96; i++) put8(&b, 0);
        for (int i = 0; i < 12; i++) {
            put16(&b, i < e.points ? e.x[i] : 0);
            put16(&b, i < e.points ? e.y[i] : 0);
        }
        for (int i = 0; i < 48; i++) put8(&b, 0); // no panning envelope
        put8(&b, unsigned(e.points));
        put8(&b, 0);
        put8(&b, e.sustain < 0 ? 0 : unsigned(e.sustain));
        put8(&b, e.loop_start < 0 ? 0 : unsigned(e.loop_start));
        put8(&b, e.loop_end < 0 ? 0 : unsigned(e.loop_end));
        put8(&b, 0);
        put8(&b, 0);
        put8(&b, 0);
        unsigned flags = 0;
        if (e.points) flags |= 1;
        if (e.points && e.sustain >= 0) flags |= 2;
        if (e.points && e.loop_start >= 0) flags |= 4;
        put8(&b, flags);
        put8(&b, 0);
        put8(&b, in.vibrato_type);
        put8(&b, in.vibrato_sweep);
        put8(&b, in.vibrato_depth);
        put8(&b, in.vibrato_rate);
        put16(&b, in.fadeout);
        for (int i = 0; i < 22; i++) put8(&b, 0);

        unsigned loop_mode = in.loop_length == 0 ? 0 : in.pingpong ? 2 : 1;
        put32(&b, uint32_t(in.frames.size() * width));
        put32(&b, in.loop_length ? in.loop_start * width : 0);
        put32(&b, in.loop_length * width);
        put8(&b, in.volume);
        put8(&b, uint8_t(in.finetune));
        put8(&b, loop_mode | (in.sixteen ? 0x10 : 0));
        put8(&b, in.panning);
        put8(&b, uint8_t(in.relative_note));
        put8(&b, 0);
        put_text(&b, in.name, 22, 0);

        // Each value is stored as its difference from the one before, starting from 0.
        int prev = 0;
        for (int16_t v : in.frames) {
            unsigned d = unsigned(v - prev);
            if (in.sixteen) {
                put16(&b, d & 0xFFFF);
            } else {
                put8(&b, d & 0xFF);
            }
            prev = v;
        }
    }
    out->insert(out->end(), b.begin(), b.end());
    return true;
}

// Writes the module to a file; false when the song is invalid or the file cannot be written.
inline bool xm_save(const XmSong *song, const char *path) {
    std::vector<uint8_t> bytes;
    if (!path || !xm_write(song, &bytes)) return false;
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}
