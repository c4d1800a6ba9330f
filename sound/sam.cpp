#include "sound/sam.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

const ModuleId sam_module = {"SAM", "20080410", "KV"};

void sam_error() {}

SampleFile *sam_new() {
    SampleFile *s = static_cast<SampleFile *>(calloc(1, sizeof(SampleFile)));
    if (!s) {
        sam_error();
        exit(-1);
    }
    return s;
}

void sam_free(SampleFile **s) {
    if (!s || !*s) {
        sam_error();
        return;
    }
    if ((*s)->file) fclose((*s)->file);
    free((*s)->path);
    if ((*s)->sample) smp_free(&(*s)->sample);
    free(*s);
    *s = nullptr;
}

char *sam_to_text(const SampleFile *s) {
    if (!s) sam_error();
    return nullptr;
}

SampleFile *sam_from_text(const char *text) {
    if (!text) sam_error();
    return nullptr;
}

SampleFile *sam_copy(const SampleFile *s) {
    if (!s) sam_error();
    return nullptr;
}

int sam_equal(const SampleFile *a, const SampleFile *b) {
    if (!a || !b) {
        sam_error();
        return 0;
    }
    return 1;
}

void sam_set_sample(SampleFile *s, SampleBuffer *buffer) {
    if (!s || !buffer) {
        sam_error();
        return;
    }
    s->sample = buffer;
}

// The stream in use, opened from path when there is none.
static bool open_stream(SampleFile *s, const char *mode) {
    if (s->file) return true;
    if (!s->path) return false;
    s->file = fopen(s->path, mode);
    return s->file != nullptr;
}

static void close_stream(SampleFile *s) {
    if (s->file) fclose(s->file);
    s->file = nullptr;
}

static char refuse_closing(SampleFile *s) {
    close_stream(s);
    sam_error();
    return 0;
}

// Appends at the end; false when the buffer could not take the value.
static bool append(SampleBuffer *b, int32_t value) {
    const int before = b->length;
    smp_insert(b, value, b->length);
    return b->length > before;
}

char sam_load(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    char result = 0;
    if (sam_has_ending(s->path, "wav") || sam_has_ending(s->path, "raw"))
        result = sam_read_wav(s);
    else if (sam_has_ending(s->path, "sam"))
        result = sam_read_sam(s);
    if (result) return result;
    if ((result = sam_read_wav(s))) return result;
    if ((result = sam_read_sam(s))) return result;
    if ((result = sam_read_raw(s))) return result;
    sam_error();
    return 0;
}

char sam_save(SampleFile *s) {
    if (!s || !s->sample) {
        sam_error();
        return 0;
    }
    if (!s->file) {
        if (!s->path || !open_stream(s, "wb")) {
            sam_error();
            return 0;
        }
    }
    if (!s->path) return sam_write_sam(s);
    if (sam_has_ending(s->path, "wav")) return sam_write_depth(s);
    if (sam_has_ending(s->path, "raw")) return sam_write_compact(s);
    return sam_write_sam(s);
}

static char tag_matches(const unsigned char *bytes, int size, const char *tag) {
    char text[5] = {};
    memcpy(text, bytes, size);
    return sam_match_at(text, tag, 0);
}

char sam_read_wav(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    if (!open_stream(s, "rb")) return refuse_closing(s);
    // A short file leaves the rest of the header zero, which fails the tests below.
    unsigned char h[44] = {};
    const size_t got = fread(h, 1, sizeof h, s->file);
    (void)got;
    const int format = h[20] | h[21] << 8;
    const int depth = static_cast<int16_t>(h[34] | h[35] << 8);
    if (!tag_matches(h, 4, "RIFF") || !tag_matches(h + 8, 4, "WAVE") ||
        !tag_matches(h + 12, 3, "fmt") || format != 1 || !tag_matches(h + 36, 4, "data"))
        return refuse_closing(s);
    // Only 8- and 16-bit PCM is read; any other depth (0 and below 8 included, where the
    // value count has no byte width) is a header the reader does not understand.
    if (depth != 8 && depth != 16) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    s->channels = static_cast<int16_t>(h[22] | h[23] << 8);
    s->depth = depth;
    s->sample = b;
    s->sign = depth == 8 ? 'u' : 's';
    s->order = 'l';
    const uint32_t size = h[40] | h[41] << 8 | h[42] << 16 | static_cast<uint32_t>(h[43]) << 24;
    const uint32_t values = size / (depth / 8);
    for (uint32_t i = 0; i < values; i++) {
        const int lo = fgetc(s->file);
        if (lo == EOF) break;
        int32_t v = lo;
        if (depth == 16) {
            const int hi = fgetc(s->file);
            if (hi == EOF) break;
            v = static_cast<int16_t>(lo | hi << 8);
        }
        if (!append(b, v)) break;
    }
    close_stream(s);
    return 1;
}

// Reads one header character that is not blank; EOF at the end of the file.
static int header_char(FILE *f) {
    int c;
    do c = fgetc(f);
    while (c != EOF && (c < 0x21 || c > 0xB0));
    return c;
}

static bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

char sam_read_sam(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    if (!open_stream(s, "rb")) return refuse_closing(s);
    FILE *f = s->file;
    // The header's values reach the record only once the header is complete and readable,
    // so that a failed attempt leaves the description for the next reader of sam_load.
    bool marker = false, form = false, sign = false;
    int numbers = 0;
    int depth = 0, count = 0, channels = 0;
    char format_letter = 0, sign_letter = 0;
    while (!(marker && form && sign && numbers >= 3)) {
        int c = header_char(f);
        if (c == EOF) return refuse_closing(s);
        if (c == '#') {
            do c = fgetc(f);
            while (c != EOF && c != '\n');
            if (c == EOF) return refuse_closing(s);
        } else if ((c == 'S' || c == 's') && !marker) {
            c = fgetc(f);
            if (c == EOF) return refuse_closing(s);
            if (c == 'A' || c == 'a') {
                c = fgetc(f);
                if (c == EOF) return refuse_closing(s);
                marker = c == 'M' || c == 'm';
            }
        } else if ((c == 'a' || c == 'b' || c == 'A' || c == 'B') && !form) {
            format_letter = static_cast<char>(c);
            form = true;
        } else if ((c == 's' || c == 'u' || c == 'S' || c == 'U') && !sign) {
            sign_letter = static_cast<char>(c);
            sign = true;
        } else {
            int value = 0;
            if (is_digit(c)) {
                for (; is_digit(c); c = fgetc(f))
                    value = value > (INT_MAX - 9) / 10 ? INT_MAX : value * 10 + (c - '0');
                if (c == EOF) return refuse_closing(s); // the character after the digits
            }
            numbers++;
            if (numbers == 1) depth = value;
            if (numbers == 2) count = value;
            if (numbers == 3) channels = value;
        }
    }
    const bool binary = format_letter == 'b' || format_letter == 'B';
    // Binary values are at most four bytes wide; a wider depth can't be read.
    if (binary && depth > 32) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    s->depth = depth;
    s->channels = channels;
    s->format = format_letter;
    s->sign = sign_letter;
    s->order = 'm';
    s->sample = b;
    if (s->format == 'a' || s->format == 'A') {
        for (int i = 0; i < count; i++) {
            int c;
            do c = fgetc(f);
            while (c != EOF && !is_digit(c));
            uint32_t v = 0;
            for (; is_digit(c); c = fgetc(f)) v = v * 10 + static_cast<uint32_t>(c - '0');
            if (c == EOF) { // before or directly after a number: that number is dropped
                close_stream(s);
                sam_error();
                return 1;
            }
            if (!append(b, static_cast<int32_t>(v))) break;
        }
    } else if (binary) {
        const int width = s->depth <= 8 ? 1 : s->depth <= 16 ? 2 : s->depth <= 24 ? 3 : 4;
        const bool extend = s->sign == 's' || s->sign == 'S';
        for (int i = 0; i < count; i++) {
            uint32_t v = 0;
            int k = 0;
            for (; k < width; k++) {
                const int c = fgetc(f);
                if (c == EOF) break;
                v = v << 8 | static_cast<uint32_t>(c);
            }
            if (k < width) break;
            int32_t value = static_cast<int32_t>(v);
            if (extend) value = sam_sign_extend(value, 8 * width);
            if (!append(b, value)) break;
        }
    }
    close_stream(s);
    return 1;
}

char sam_read_raw(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    // Values are whole bytes, one to four of them.
    if (s->depth != 8 && s->depth != 16 && s->depth != 24 && s->depth != 32)
        return refuse_closing(s);
    if (!open_stream(s, "rb")) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    s->sample = b;
    const int width = s->depth / 8;
    const bool extend = s->sign == 's' || s->sign == 'S';
    for (;;) {
        uint32_t v = 0;
        int k = 0;
        for (; k < width; k++) {
            const int c = fgetc(s->file);
            if (c == EOF) break;
            if (s->order == 'l')
                v |= static_cast<uint32_t>(c) << (8 * k);
            else if (s->order == 'm')
                v = v << 8 | static_cast<uint32_t>(c);
            else if (k == 0)
                v = static_cast<uint32_t>(c);
        }
        if (k < width) break;
        int32_t value = static_cast<int32_t>(v);
        if (extend) value = sam_sign_extend(value, s->depth);
        if (!append(b, value)) break;
    }
    close_stream(s);
    return 1;
}

// Writes the low width bytes of v, most significant first.
static void put_msb_first(FILE *f, int32_t v, int width) {
    for (int k = width - 1; k >= 0; k--)
        fputc(static_cast<int>(static_cast<uint32_t>(v) >> (8 * k) & 0xFF), f);
}

static bool within(int32_t min, int32_t max, int32_t lo, int32_t hi) {
    return min >= lo && max <= hi;
}

// The narrowest of 8, 16, 24 and 32 bits that holds every sample.
static int width_for(const SampleBuffer *b) {
    const int32_t min = smp_min(b);
    const int32_t max = smp_max(b);
    if (within(min, max, -128, 127)) return 8;
    if (within(min, max, -32768, 32767)) return 16;
    if (within(min, max, -8388608, 8388607)) return 24;
    return 32;
}

char sam_write_sam(SampleFile *s) {
    if (!s || !s->sample) {
        sam_error();
        return 0;
    }
    if (!open_stream(s, "wb")) return refuse_closing(s);
    FILE *f = s->file;
    const SampleBuffer *b = s->sample;
    fputs("SAM\n", f);
    const bool binary = s->format == 'b' || s->format == 'B';
    const bool ascii = s->format == 'a' || s->format == 'A';
    if (binary) fputs("binary\n", f);
    if (ascii) fputs("ASCII\n", f);
    fputs("signed\nbits 16\nlittle endian\nchanels 1\n", f);
    fprintf(f, "%li\n", static_cast<long>(b->length));
    if (!binary && !ascii) {
        sam_error();
        return 0;
    }
    for (int i = 0; i < b->length; i++) {
        if (binary) {
            fputc(b->samples[i] & 0xFF, f);
            fputc(b->samples[i] >> 8 & 0xFF, f);
        } else {
            fprintf(f, "%d\n", b->samples[i]);
        }
    }
    close_stream(s);
    return 1;
}

// The depth and compact forms: a header, then every sample most significant byte first in
// the narrowest width of 8, 16, 24 or 32 bits that holds them all.
static char write_fixed_width(SampleFile *s, bool compact) {
    if (!s || !s->sample) {
        sam_error();
        return 0;
    }
    if (!open_stream(s, "wb")) return refuse_closing(s);
    const SampleBuffer *b = s->sample;
    // Samples beyond 16 bits get a wider line rather than losing their high digits.
    const int width = width_for(b);
    if (compact) fprintf(s->file, "SAM\nbinary\n%li\n", static_cast<long>(b->length));
    fprintf(s->file, "%d\n", width);
    for (int i = 0; i < b->length; i++) put_msb_first(s->file, b->samples[i], width / 8);
    close_stream(s);
    return 1;
}

char sam_write_depth(SampleFile *s) {
    return write_fixed_width(s, false);
}

char sam_write_compact(SampleFile *s) {
    return write_fixed_width(s, true);
}

int sam_sign_extend(int value, int n) {
    if (n < 1 || n > 32) {
        sam_error();
        return value;
    }
    uint32_t v = static_cast<uint32_t>(value);
    if (v >> (n - 1) & 1) v |= UINT32_MAX << (n - 1);
    return static_cast<int>(v);
}

char sam_has_ending(const char *name, const char *ending) {
    if (!name || !ending) {
        sam_error();
        return 0;
    }
    return sam_match_at(name, ending, sam_strlen(name) - sam_strlen(ending));
}

static char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

static bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char sam_match_at(const char *s, const char *t, int offset) {
    if (!s || !t) {
        sam_error();
        return 0;
    }
    const int ls = sam_strlen(s);
    const int lt = sam_strlen(t);
    if (offset < 0 || static_cast<int64_t>(offset) + lt > ls) {
        sam_error();
        return 0;
    }
    // Only letters of t match in either case; any other character matches itself.
    for (int k = lt - 1; k >= 0; k--) {
        const char a = t[k];
        const char b = s[offset + k];
        if (a != b && !(is_letter(a) && lower(a) == lower(b))) return 0;
    }
    return 1;
}

int sam_strlen(const char *text) {
    if (!text) {
        sam_error();
        return -1;
    }
    const size_t n = strlen(text);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

int sam_width_needed(int value) {
    printf("BITS: %d\n", value);
    int64_t m = value < 0 ? -static_cast<int64_t>(value) : value;
    int count = 0;
    while (m != 0) {
        m >>= 1;
        count++;
    }
    printf("BITS: %d\n", count + 1);
    return count + 1;
}
