#include "sound/xmc.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/safe_file.h"

namespace {

// Headers longer than this exist in no tracker's files.
constexpr uint32_t longest_header = 1024;
constexpr int most_samples_per_instrument = 16;
// The mixer holds a few hundred samples at once; a tune needing more fails half-loaded.
constexpr int most_samples = 256;
constexpr int envelope_points = 12;
constexpr unsigned key_off = 97;

struct Bytes {
    const unsigned char *p;
    size_t size;
};

// Every read is checked against the size first, so none of these can run past the end.
unsigned u8(const Bytes &b, size_t at) {
    return b.p[at];
}
unsigned u16(const Bytes &b, size_t at) {
    return b.p[at] | unsigned(b.p[at + 1]) << 8;
}
uint32_t u32(const Bytes &b, size_t at) {
    return u16(b, at) | uint32_t(u16(b, at + 2)) << 16;
}
bool has(const Bytes &b, size_t at, uint64_t n) {
    return at <= b.size && n <= b.size - at;
}

int refuse(char *why, size_t why_size, const char *format, ...) {
    if (why && why_size) {
        va_list args;
        va_start(args, format);
        vsnprintf(why, why_size, format, args);
        va_end(args);
    }
    return 0;
}

#define REFUSE(...) return refuse(why, why_size, __VA_ARGS__)

// The packed cells of one pattern: exactly rows x channels of them, none running past the
// packed size, and no note beyond key off.
int check_cells(const Bytes &b, size_t at, unsigned packed, unsigned cells, int pattern, char *why,
                size_t why_size) {
    size_t i = 0;
    for (unsigned c = 0; c < cells; c++) {
        if (i >= packed) REFUSE("pattern %d holds fewer cells than its rows and channels", pattern);
        const unsigned flag = u8(b, at + i);
        unsigned n = 5, note = flag;
        bool has_note = true;
        if (flag & 0x80) {
            n = 1 + __builtin_popcount(flag & 0x1F);
            has_note = flag & 1;
            note = has_note && i + 1 < packed ? u8(b, at + i + 1) : 0;
        }
        if (i + n > packed) REFUSE("pattern %d: a cell runs past its packed data", pattern);
        if (has_note && note > key_off) REFUSE("pattern %d: note %u does not exist", pattern, note);
        i += n;
    }
    if (i != packed) REFUSE("pattern %d holds more data than its rows and channels", pattern);
    return 1;
}

int check_envelope(const Bytes &b, size_t ins_at, int ins, bool panning, char *why,
                   size_t why_size) {
    const char *what = panning ? "panning" : "volume";
    const size_t points_at = ins_at + (panning ? 177 : 129);
    const unsigned points = u8(b, ins_at + (panning ? 226 : 225));
    const unsigned sustain = u8(b, ins_at + (panning ? 230 : 227));
    const unsigned loop_start = u8(b, ins_at + (panning ? 231 : 228));
    const unsigned loop_end = u8(b, ins_at + (panning ? 232 : 229));
    const unsigned flags = u8(b, ins_at + (panning ? 234 : 233));
    if (points > envelope_points) REFUSE("instrument %d: %u %s envelope points", ins, points, what);
    if (!(flags & 1)) return 1; // an envelope that is off is never read
    if (points < 2) REFUSE("instrument %d: a %s envelope of %u point", ins, what, points);
    // The player indexes the points with these, unchecked.
    if ((flags & 2) && sustain >= points)
        REFUSE("instrument %d: %s sustain point %u of %u", ins, what, sustain, points);
    if ((flags & 4) && (loop_start > loop_end || loop_end >= points))
        REFUSE("instrument %d: %s loop %u..%u of %u points", ins, what, loop_start, loop_end,
               points);
    if (u16(b, points_at) != 0) REFUSE("instrument %d: %s envelope starts late", ins, what);
    for (unsigned i = 1; i < points; i++)
        if (u16(b, points_at + 4 * i) <= u16(b, points_at + 4 * (i - 1)))
            REFUSE("instrument %d: %s envelope points out of order", ins, what);
    return 1;
}

// One sample header (40 bytes at at); adds its data length to data.
int check_sample(const Bytes &b, size_t at, int ins, int s, uint64_t *data, char *why,
                 size_t why_size) {
    const uint32_t length = u32(b, at), loop_start = u32(b, at + 4), loop_length = u32(b, at + 8);
    const unsigned volume = u8(b, at + 12), type = u8(b, at + 14), reserved = u8(b, at + 17);
    if (volume > 64) REFUSE("instrument %d sample %d: volume %u", ins, s, volume);
    if ((type & ~0x13u) || (type & 3) == 3)
        REFUSE("instrument %d sample %d: unknown type 0x%02x", ins, s, type);
    if (reserved == 0xAD) REFUSE("instrument %d sample %d: packed sample data", ins, s);
    const bool sixteen = type & 0x10;
    if (sixteen && ((length | loop_start | loop_length) & 1))
        REFUSE("instrument %d sample %d: odd byte counts in 16-bit data", ins, s);
    if (type & 3) {
        if (uint64_t{loop_start} + loop_length > length)
            REFUSE("instrument %d sample %d: loop %u+%u past its length %u", ins, s, loop_start,
                   loop_length, length);
        // The mixer smooths a ping-pong loop's turn with the 16 frames before its end.
        const uint32_t frame = sixteen ? 2 : 1;
        if ((type & 3) == 2 && loop_length && uint64_t{loop_start} + loop_length < 16u * frame)
            REFUSE("instrument %d sample %d: ping-pong loop ends before frame 16", ins, s);
    }
    *data += length;
    return 1;
}

// One instrument at *at; moves *at past its headers and sample data.
int check_instrument(const Bytes &b, size_t *at, int ins, int *samples, char *why,
                     size_t why_size) {
    const size_t start = *at;
    if (!has(b, start, 29)) REFUSE("cut short in instrument %d's header", ins);
    const uint32_t header = u32(b, start);
    const unsigned count = u16(b, start + 27);
    if (count == 0) {
        // The player reads 29 bytes, then 4 more when the size says so, then skips to the
        // size: a size of 30..32 or below 29 is read two ways.
        if (header != 29 && (header < 33 || header > longest_header))
            REFUSE("instrument %d: header size %u", ins, header);
        if (!has(b, start, header)) REFUSE("cut short in instrument %d's header", ins);
        *at = start + header;
        return 1;
    }
    if (count > most_samples_per_instrument) REFUSE("instrument %d: %u samples", ins, count);
    // The player reads 241 bytes of fields before it skips to the size.
    if (header < 241 || header > longest_header)
        REFUSE("instrument %d: header size %u", ins, header);
    if (!has(b, start, header)) REFUSE("cut short in instrument %d's header", ins);
    const uint32_t sample_header = u32(b, start + 29);
    if (sample_header != 40) REFUSE("instrument %d: sample header size %u", ins, sample_header);
    for (int k = 0; k < 96; k++)
        if (u8(b, start + 33 + k) >= count)
            REFUSE("instrument %d: its key map names sample %u of %u", ins, u8(b, start + 33 + k),
                   count);
    if (!check_envelope(b, start, ins, false, why, why_size)) return 0;
    if (!check_envelope(b, start, ins, true, why, why_size)) return 0;
    if (u8(b, start + 235) > 3) REFUSE("instrument %d: vibrato type %u", ins, u8(b, start + 235));
    if (u16(b, start + 239) > 0x0FFF) REFUSE("instrument %d: fadeout %u", ins, u16(b, start + 239));
    const size_t headers = start + header;
    if (!has(b, headers, uint64_t{40} * count))
        REFUSE("cut short in instrument %d's sample headers", ins);
    uint64_t data = 0;
    for (unsigned s = 0; s < count; s++)
        if (!check_sample(b, headers + 40 * s, ins, int(s) + 1, &data, why, why_size)) return 0;
    const size_t data_at = headers + 40 * count;
    if (!has(b, data_at, data)) REFUSE("cut short in instrument %d's sample data", ins);
    *samples += int(count);
    if (*samples > most_samples) REFUSE("more than %d samples", most_samples);
    *at = data_at + size_t(data);
    return 1;
}

} // namespace

int xmc_check(const unsigned char *bytes, size_t size, char *why, size_t why_size) {
    if (why && why_size) why[0] = 0;
    const Bytes b{bytes, bytes ? size : 0};
    if (!has(b, 0, 80)) REFUSE("too short for an XM header");
    if (memcmp(bytes, "Extended Module: ", 17) != 0 || u8(b, 37) != 0x1A)
        REFUSE("not an XM module");
    if (u16(b, 58) != 0x0104) REFUSE("XM version %x.%02x, not 1.04", u8(b, 59), u8(b, 58));
    const uint32_t header = u32(b, 60);
    const unsigned length = u16(b, 64), channels = u16(b, 68), patterns = u16(b, 70),
                   instruments = u16(b, 72), speed = u16(b, 76), bpm = u16(b, 78);
    if (header < 276 || header > longest_header) REFUSE("header size %u", header);
    if (!has(b, 60, header)) REFUSE("cut short in the header");
    if (length < 1 || length > 256) REFUSE("song length %u", length);
    if (channels < 1 || channels > 32) REFUSE("%u channels", channels);
    if (patterns < 1 || patterns > 256) REFUSE("%u patterns", patterns);
    if (instruments < 1 || instruments > 128) REFUSE("%u instruments", instruments);
    if (speed < 1 || speed > 31) REFUSE("speed %u", speed);
    if (bpm < 32 || bpm > 255) REFUSE("%u BPM", bpm);
    for (unsigned i = 0; i < length; i++)
        if (u8(b, 80 + i) >= patterns)
            REFUSE("order %u names pattern %u of %u", i, u8(b, 80 + i), patterns);

    size_t at = 60 + size_t{header};
    for (unsigned p = 0; p < patterns; p++) {
        if (!has(b, at, 9)) REFUSE("cut short in pattern %u's header", p);
        const uint32_t pattern_header = u32(b, at);
        const unsigned rows = u16(b, at + 5), packed = u16(b, at + 7);
        if (pattern_header < 9 || pattern_header > longest_header)
            REFUSE("pattern %u: header size %u", p, pattern_header);
        if (u8(b, at + 4) != 0) REFUSE("pattern %u: packing type %u", p, u8(b, at + 4));
        if (rows < 1 || rows > 256) REFUSE("pattern %u: %u rows", p, rows);
        if (!has(b, at, uint64_t{pattern_header} + packed)) REFUSE("cut short in pattern %u", p);
        at += pattern_header;
        if (packed && !check_cells(b, at, packed, rows * channels, int(p), why, why_size)) return 0;
        at += packed;
    }
    int samples = 0;
    for (unsigned i = 0; i < instruments; i++)
        if (!check_instrument(b, &at, int(i) + 1, &samples, why, why_size)) return 0;
    if (!samples) REFUSE("no samples");
    return 1;
}

XmcStatus xmc_load(XmcTune *t, const char *path) {
    if (!t) return XMC_CANNOT_OPEN;
    *t = XmcTune{};
    auto fail = [t](XmcStatus status, const char *what) {
        snprintf(t->why, sizeof t->why, "%s", what);
        free(t->bytes);
        t->bytes = nullptr;
        t->size = 0;
        return status;
    };
    if (!path) return fail(XMC_CANNOT_OPEN, "no file");
    // Only a regular file, opened without blocking: a named pipe with no writer or a
    // device never holds up the start.
    FILE *f = file_open_regular(path);
    if (!f) return fail(XMC_CANNOT_OPEN, "missing, unreadable or not a regular file");
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size < 0 || uint64_t(st.st_size) > xmc_size_cap) {
        fclose(f);
        return fail(XMC_REFUSED, "larger than any tune");
    }
    // The file may grow while it is read: one byte more than it claimed shows that.
    const size_t room = size_t(st.st_size) + 1;
    t->bytes = static_cast<unsigned char *>(malloc(room));
    if (!t->bytes) {
        fclose(f);
        return fail(XMC_REFUSED, "out of memory");
    }
    const size_t got = fread(t->bytes, 1, room, f);
    const bool read_error = ferror(f) != 0;
    fclose(f);
    if (read_error) return fail(XMC_CANNOT_OPEN, "read error");
    if (got == room) return fail(XMC_REFUSED, "changed while it was read");
    t->size = got;
    char why[sizeof t->why];
    if (!xmc_check(t->bytes, t->size, why, sizeof why)) return fail(XMC_REFUSED, why);
    return XMC_OK;
}

void xmc_free(XmcTune *t) {
    if (!t) return;
    free(t->bytes);
    *t = XmcTune{};
}
