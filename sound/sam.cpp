#include "sound/sam.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/safe_file.h"

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

// The stream in use for reading, opened from path when there is none. Only a regular file
// is opened: a pipe would block, a device could stream for ever, a folder can't be read.
static bool open_stream(SampleFile *s) {
    if (s->file) return true;
    if (!s->path) return false;
    s->file = file_open_regular(s->path);
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

// Ends a reader that has filled `b`: a read error is a failure, not the end of the data,
// and leaves the record as it was. Otherwise `b` replaces the record's previous buffer.
static bool finish_reading(SampleFile *s, SampleBuffer *b) {
    if (ferror(s->file)) {
        smp_free(&b);
        close_stream(s);
        return false;
    }
    close_stream(s);
    if (s->sample != b) smp_free(&s->sample);
    s->sample = b;
    return true;
}

// Reads a value of `width` bytes (1 to 4); false at the end of the data, a value cut short
// included. `lsb_first` puts the first byte lowest.
template <typename Next> static bool read_value(Next next, int width, bool lsb_first, uint32_t *v) {
    *v = 0;
    for (int k = 0; k < width; k++) {
        const int c = next();
        if (c == EOF) return false;
        if (lsb_first)
            *v |= static_cast<uint32_t>(c) << (8 * k);
        else
            *v = *v << 8 | static_cast<uint32_t>(c);
    }
    return true;
}

// The narrowest of 8, 16, 24 and 32 bits that holds every sample.
static bool within(int32_t min, int32_t max, int32_t lo, int32_t hi) {
    return min >= lo && max <= hi;
}

static int width_for(const SampleBuffer *b) {
    const int32_t min = smp_min(b);
    const int32_t max = smp_max(b);
    if (within(min, max, -128, 127)) return 8;
    if (within(min, max, -32768, 32767)) return 16;
    if (within(min, max, -8388608, 8388607)) return 24;
    return 32;
}

// The form sam_save writes for a name ending "wav": a line holding the width 8, 16, 24 or
// 32, then every sample in that many bits, signed, most significant byte first, the width
// being the narrowest that holds them all. Anything else is not this form.
static char read_depth_form(SampleFile *s) {
    if (!open_stream(s)) return refuse_closing(s);
    FILE *f = s->file;
    char line[4] = {};
    int n = 0, c;
    while ((c = getc(f)) != EOF && c != '\n' && n < 3) line[n++] = static_cast<char>(c);
    if (c != '\n') return refuse_closing(s);
    int width = 0;
    for (int w : {8, 16, 24, 32})
        if (std::to_string(w) == line) width = w;
    if (!width) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    uint32_t v;
    while (read_value([f] { return getc(f); }, width / 8, false, &v))
        if (!append(b, sam_sign_extend(static_cast<int32_t>(v), width))) break;
    // A value cut short or a wider line than the samples need: written by something else.
    const bool whole = feof(f) && ftell(f) == 1 + n + int64_t{b->length} * (width / 8);
    if (!whole || width_for(b) != width) {
        smp_free(&b);
        return refuse_closing(s);
    }
    if (!finish_reading(s, b)) return refuse_closing(s);
    s->depth = width;
    s->sign = 's';
    s->format = 'b';
    s->order = 'm';
    s->channels = 1;
    return 1;
}

char sam_load(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    char result = 0;
    if (sam_has_ending(s->path, "wav") || sam_has_ending(s->path, "raw")) {
        result = sam_read_wav(s);
        if (!result && sam_has_ending(s->path, "wav")) result = read_depth_form(s);
    } else if (sam_has_ending(s->path, "sam")) {
        result = sam_read_sam(s);
    }
    if (result) return result;
    if ((result = sam_read_wav(s))) return result;
    if ((result = sam_read_sam(s))) return result;
    if ((result = sam_read_raw(s))) return result;
    sam_error();
    return 0;
}

char sam_save(SampleFile *s) {
    if (!s || !s->sample || (!s->file && !s->path)) {
        sam_error();
        return 0;
    }
    // Each writer opens the path itself, so that a failed save leaves an existing file
    // as it was.
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
    if (!open_stream(s)) return refuse_closing(s);
    // A short file leaves the rest of the header zero, which fails the tests below.
    unsigned char h[44] = {};
    const size_t got = fread(h, 1, sizeof h, s->file);
    (void)got;
    if (ferror(s->file)) return refuse_closing(s);
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
    if (!finish_reading(s, b)) return refuse_closing(s);
    s->channels = static_cast<int16_t>(h[22] | h[23] << 8);
    s->depth = depth;
    s->sign = depth == 8 ? 'u' : 's';
    s->order = 'l';
    return 1;
}

namespace {

// A SAM header is a few dozen bytes; one that runs on this long is not a sample file.
constexpr int64_t header_limit = 64 * 1024;

// The SAM reader's input: a stream with a few characters pushed back, counting the bytes
// that the header takes.
struct SamInput {
    FILE *f;
    int back[40] = {};
    int pending = 0;
    int64_t used = 0;

    int get() { return pending ? back[--pending] : getc(f); }
    // A header character: EOF also once the header has run on too long.
    int header_get() {
        if (pending) return back[--pending];
        return ++used > header_limit ? EOF : getc(f);
    }
    void unget(int c) {
        if (c != EOF && pending < static_cast<int>(sizeof back / sizeof back[0]))
            back[pending++] = c;
    }
    // Gives back what was read, last character first.
    void unget_all(const std::string &read) {
        for (size_t k = read.size(); k-- > 0;) unget(static_cast<unsigned char>(read[k]));
    }
};

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

bool is_letter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads one header character that is not blank.
int header_char(SamInput *in) {
    int c;
    do c = in->header_get();
    while (c != EOF && (c < 0x21 || c > 0xB0));
    return c;
}

// The compact form that sam_save writes for a name ending "raw": the lines SAM, binary,
// the count and the width 8, 16, 24 or 32, exactly. Anything else is given back unread.
bool read_compact_header(SamInput *in, int *count, int *width) {
    std::string read;
    auto next = [&] {
        const int c = in->header_get();
        if (c != EOF) read += static_cast<char>(c);
        return c;
    };
    auto line_number = [&](int max_digits, int64_t *value) {
        *value = 0;
        int digits = 0, c;
        for (; is_digit(c = next()) && digits < max_digits; digits++)
            *value = *value * 10 + (c - '0');
        return digits > 0 && c == '\n';
    };
    bool match = true;
    for (const char *p = "SAM\nbinary\n"; *p && match; p++) match = next() == *p;
    int64_t n = 0, w = 0;
    match = match && line_number(10, &n) && n <= INT_MAX && line_number(2, &w) &&
            (w == 8 || w == 16 || w == 24 || w == 32);
    if (!match) {
        in->unget_all(read);
        return false;
    }
    *count = static_cast<int>(n);
    *width = static_cast<int>(w);
    return true;
}

// The words of the long form that sam_save writes. Any other run of letters is read letter
// by letter, as single-letter tokens.
enum class Word {
    none,
    binary,
    ascii,
    is_signed,
    is_unsigned,
    bits,
    little,
    big,
    endian,
    channels
};

Word word_of(const std::string &letters) {
    std::string w;
    for (char c : letters) w += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const struct {
        const char *text;
        Word word;
    } words[] = {{"binary", Word::binary},    {"ascii", Word::ascii},
                 {"signed", Word::is_signed}, {"unsigned", Word::is_unsigned},
                 {"bits", Word::bits},        {"little", Word::little},
                 {"big", Word::big},          {"endian", Word::endian},
                 {"chanels", Word::channels}, {"channels", Word::channels}};
    for (const auto &entry : words)
        if (w == entry.text) return entry.word;
    return Word::none;
}

// Reads the run of letters that starts with `first`; a known word is used up, anything else
// is given back.
Word read_word(SamInput *in, int first) {
    std::string letters(1, static_cast<char>(first));
    int c;
    while (letters.size() <= 8 && is_letter(c = in->header_get())) letters += static_cast<char>(c);
    if (letters.size() > 8) {
        in->unget_all(letters.substr(1));
        return Word::none;
    }
    const Word w = word_of(letters);
    in->unget(c);
    if (w == Word::none) in->unget_all(letters.substr(1));
    return w;
}

} // namespace

char sam_read_sam(SampleFile *s) {
    if (!s) {
        sam_error();
        return 0;
    }
    if (!open_stream(s)) return refuse_closing(s);
    SamInput in{s->file};
    // The header's values reach the record only once the header is complete and readable,
    // so that a failed attempt leaves the description for the next reader of sam_load.
    bool marker = false, form = false, sign = false;
    // Depth, count and channels: a number labelled by a word ("bits", "chanels") fills its
    // own slot, any other number the first empty one.
    int slot[3] = {};
    bool filled[3] = {};
    int label = -1;
    char format_letter = 0, sign_letter = 0, order_letter = 'm';
    int compact_count, compact_width;
    if (read_compact_header(&in, &compact_count, &compact_width)) {
        marker = form = sign = true;
        format_letter = 'b';
        sign_letter = 's';
        slot[0] = compact_width;
        slot[1] = compact_count;
        slot[2] = 1;
        filled[0] = filled[1] = filled[2] = true;
    }
    while (!(marker && form && sign && filled[0] && filled[1] && filled[2])) {
        int c = header_char(&in);
        if (c == EOF) return refuse_closing(s);
        const Word word = is_letter(c) ? read_word(&in, c) : Word::none;
        if (word == Word::binary || word == Word::ascii) {
            if (!form) format_letter = word == Word::binary ? 'b' : 'a';
            form = true;
        } else if (word == Word::is_signed || word == Word::is_unsigned) {
            if (!sign) sign_letter = word == Word::is_signed ? 's' : 'u';
            sign = true;
        } else if (word == Word::little || word == Word::big) {
            order_letter = word == Word::little ? 'l' : 'm';
        } else if (word == Word::bits || word == Word::channels) {
            label = word == Word::bits ? 0 : 2;
        } else if (word == Word::endian) {
        } else if (c == '#') {
            do c = in.header_get();
            while (c != EOF && c != '\n');
            if (c == EOF) return refuse_closing(s);
        } else if ((c == 'S' || c == 's') && !marker) {
            c = in.header_get();
            if (c == EOF) return refuse_closing(s);
            if (c == 'A' || c == 'a') {
                c = in.header_get();
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
                for (; is_digit(c); c = in.header_get())
                    value = value > (INT_MAX - 9) / 10 ? INT_MAX : value * 10 + (c - '0');
                if (c == EOF) return refuse_closing(s); // the character after the digits
            }
            int k = label >= 0 && !filled[label] ? label : 0;
            while (k < 3 && filled[k]) k++;
            if (k < 3) {
                slot[k] = value;
                filled[k] = true;
            }
            label = -1;
        }
    }
    const int depth = slot[0], count = slot[1], channels = slot[2];
    const bool binary = format_letter == 'b' || format_letter == 'B';
    const bool ascii = format_letter == 'a' || format_letter == 'A';
    // Binary values are at most four bytes wide; a wider depth can't be read.
    if (binary && depth > 32) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    const bool extend = sign_letter == 's' || sign_letter == 'S';
    bool cut_short = false;
    if (ascii) {
        for (int i = 0; i < count; i++) {
            int c, before = 0;
            while ((c = in.get()) != EOF && !is_digit(c)) before = c;
            uint32_t v = 0;
            for (; is_digit(c); c = in.get()) v = v * 10 + static_cast<uint32_t>(c - '0');
            if (c == EOF) { // before or directly after a number: that number is dropped
                cut_short = true;
                break;
            }
            // A minus sign right before the digits counts when the values are signed.
            if (extend && before == '-') v = 0u - v;
            if (!append(b, static_cast<int32_t>(v))) break;
        }
    } else if (binary) {
        const int width = depth <= 8 ? 1 : depth <= 16 ? 2 : depth <= 24 ? 3 : 4;
        for (int i = 0; i < count; i++) {
            uint32_t v;
            if (!read_value([&in] { return in.get(); }, width, order_letter == 'l', &v)) break;
            int32_t value = static_cast<int32_t>(v);
            if (extend) value = sam_sign_extend(value, 8 * width);
            if (!append(b, value)) break;
        }
    }
    if (!finish_reading(s, b)) return refuse_closing(s);
    s->depth = depth;
    s->channels = channels;
    s->format = format_letter;
    s->sign = sign_letter;
    s->order = order_letter;
    if (cut_short) sam_error();
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
    if (!open_stream(s)) return refuse_closing(s);
    SampleBuffer *b = smp_new();
    if (!b) return refuse_closing(s);
    const int width = s->depth / 8;
    const bool extend = s->sign == 's' || s->sign == 'S';
    FILE *f = s->file;
    for (;;) {
        uint32_t v = 0;
        int k = 0;
        for (; k < width; k++) {
            const int c = fgetc(f);
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
    if (!finish_reading(s, b)) return refuse_closing(s);
    return 1;
}

namespace {

// Where a writer's bytes go: the caller's open stream, or a replacement of the file at path
// that takes its place only when every byte and the close succeeded.
struct Output {
    FileReplace replace{};
    bool own = false;
};

bool begin_output(SampleFile *s, Output *out) {
    if (s->file) return true;
    if (!s->path || !file_replace_open(&out->replace, s->path)) return false;
    out->own = true;
    s->file = out->replace.file;
    return true;
}

// Closes and forgets the stream; 1 when every write and the close succeeded.
char end_output(SampleFile *s, Output *out) {
    FILE *f = s->file;
    s->file = nullptr;
    bool ok;
    if (out->own) {
        ok = file_replace_close(&out->replace, true);
    } else {
        ok = fflush(f) == 0 && ferror(f) == 0;
        ok = fclose(f) == 0 && ok;
    }
    if (!ok) sam_error();
    return ok ? 1 : 0;
}

// Writes the low width bytes of v, most significant first.
void put_msb_first(FILE *f, int32_t v, int width) {
    for (int k = width - 1; k >= 0; k--)
        fputc(static_cast<int>(static_cast<uint32_t>(v) >> (8 * k) & 0xFF), f);
}

} // namespace

char sam_write_sam(SampleFile *s) {
    if (!s || !s->sample) {
        sam_error();
        return 0;
    }
    const SampleBuffer *b = s->sample;
    const bool binary = s->format == 'b' || s->format == 'B';
    const bool ascii = s->format == 'a' || s->format == 'A';
    // Without a data form, or with samples that the binary form's 16 bits can't hold, the
    // samples would not come back: refused before anything is written.
    if ((!binary && !ascii) || (binary && width_for(b) > 16)) {
        sam_error();
        return 0;
    }
    Output out;
    if (!begin_output(s, &out)) return refuse_closing(s);
    FILE *f = s->file;
    fputs("SAM\n", f);
    fputs(binary ? "binary\n" : "ASCII\n", f);
    fputs("signed\nbits 16\nlittle endian\nchanels 1\n", f);
    fprintf(f, "%li\n", static_cast<long>(b->length));
    for (int i = 0; i < b->length; i++) {
        if (binary) {
            fputc(b->samples[i] & 0xFF, f);
            fputc(b->samples[i] >> 8 & 0xFF, f);
        } else {
            fprintf(f, "%d\n", b->samples[i]);
        }
    }
    return end_output(s, &out);
}

// The depth and compact forms: a header, then every sample most significant byte first in
// the narrowest width of 8, 16, 24 or 32 bits that holds them all.
static char write_fixed_width(SampleFile *s, bool compact) {
    if (!s || !s->sample) {
        sam_error();
        return 0;
    }
    Output out;
    if (!begin_output(s, &out)) return refuse_closing(s);
    const SampleBuffer *b = s->sample;
    // Samples beyond 16 bits get a wider line rather than losing their high digits.
    const int width = width_for(b);
    if (compact) fprintf(s->file, "SAM\nbinary\n%li\n", static_cast<long>(b->length));
    fprintf(s->file, "%d\n", width);
    for (int i = 0; i < b->length; i++) put_msb_first(s->file, b->samples[i], width / 8);
    return end_output(s, &out);
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
