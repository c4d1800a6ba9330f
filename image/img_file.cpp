// IMG files: Netpbm P1 to P6 from a file or a buffer, binary PPM out, and the text form.
//
// Every reader stops at the end of its input (end of file, a NUL byte in a header or a text
// body, the end of a bounded buffer). Input that ends before the header is complete or
// before the body holds every pixel is an error: "IMG error\n" and no Image. Before
// allocating, a reader checks that the input left can hold the body at all, so a short
// input never makes a large allocation.
//
// Samples up to a maxval of 255 are taken as they stand. A larger maxval (up to 65535) means
// two-byte big-endian samples in the binary kinds, and every sample is scaled to 8 bits; a
// sample above such a maxval is an error. A maxval of 0 is an error.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "image/img.h"
#include "image/safe_file.h"

namespace {

constexpr uint32_t white = 0xFFFFFF;

// Decimal runs saturate here, far above any size that could be valid, so that a run of
// many digits is refused as a size instead of overflowing.
constexpr int64_t number_cap = int64_t{1} << 40;

int64_t add_digit(int64_t value, int ch) {
    value = value * 10 + (ch - '0');
    return value > number_cap ? number_cap : value;
}

// A sample is taken as it stands (it may spill into the next channel); beyond 32 bits it
// saturates.
uint32_t as_sample(int64_t value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

// A file header (magic, sizes, maxval, comments) is a few dozen bytes; one that runs on
// this long is not a picture.
constexpr int64_t header_limit = 64 * 1024;

constexpr int64_t widest_maxval = 65535;

// Whether samples are two-byte, scaled values.
bool wide(int64_t maxval) {
    return maxval > 255;
}

// The 8-bit value of a sample; false for a sample above a wide maxval.
bool scaled(uint32_t value, int64_t maxval, uint32_t *out) {
    if (!wide(maxval)) {
        *out = value;
        return true;
    }
    if (value > maxval) return false;
    *out = static_cast<uint32_t>((int64_t{value} * 255 + maxval / 2) / maxval);
    return true;
}

uint32_t grey(uint32_t v) {
    return (v << 16) | (v << 8) | v;
}

bool is_digit(int ch) {
    return ch >= '0' && ch <= '9';
}
bool is_printable(int ch) {
    return ch >= '!' && ch <= '~';
}

// An all-zero Image of a size already checked, or null after a report.
Image *image_of_size(int64_t width, int64_t height) {
    Image *img = img_new();
    if (!img) return nullptr;
    img_resize(img, static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (img->width != width || img->height != height) { // img_resize has reported
        img_free(&img);
        return nullptr;
    }
    return img;
}

// The Image for a header's size, or null after a report.
Image *new_image(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || !img_size_ok(width, height)) {
        img_error();
        return nullptr;
    }
    return image_of_size(width, height);
}

// The fewest body bytes that can hold every pixel: a byte per sample for the text kinds
// (one digit), rows of whole bytes for a P4 file, packed bits for a P4 buffer.
int64_t body_minimum(int kind, int64_t width, int64_t height, int64_t maxval, bool rows_padded) {
    const int64_t n = width * height;
    switch (kind) {
    case '3':
        return 3 * n;
    case '5':
        return wide(maxval) ? 2 * n : n;
    case '6':
        return wide(maxval) ? 6 * n : 3 * n;
    case '4':
        return rows_padded ? height * ((width + 7) / 8) : (n + 7) / 8;
    default:
        return n;
    }
}

struct Header {
    int kind = 0;
    int64_t width = 0, height = 0, maxval = 0;
    bool has_kind = false, has_width = false, has_height = false, has_maxval = false;

    bool complete() const { return has_kind && has_width && has_height && has_maxval; }

    // The bitmap kinds have no maxval; the others need one from 1 to 65535.
    bool maxval_ok() const {
        return kind == '1' || kind == '4' || (maxval > 0 && maxval <= widest_maxval);
    }

    // Returns false for a kind other than '1' to '6'.
    bool set_kind(int ch) {
        if (ch < '1' || ch > '6') return false;
        kind = ch;
        has_kind = true;
        if (ch == '1' || ch == '4') has_maxval = true; // bitmaps have none
        return true;
    }

    // Returns false when every number is already there and this one is dropped.
    bool set_number(int64_t value) {
        if (!has_width) {
            width = value;
            has_width = true;
        } else if (!has_height) {
            height = value;
            has_height = true;
        } else if (!has_maxval) {
            maxval = value;
            has_maxval = true;
        } else {
            return false;
        }
        return true;
    }
};

// File reading -----------------------------------------------------------------------------

// Reads a header byte; EOF at the end of the file and once the header has run on too long.
struct HeaderReader {
    FILE *f;
    int64_t used = 0;
    int get() { return ++used > header_limit ? EOF : getc(f); }
};

bool read_file_header(FILE *f, Header *h) {
    HeaderReader in{f};
    while (!h->complete()) {
        int ch;
        do ch = in.get();
        while (ch != EOF && !is_printable(ch));
        if (ch == EOF) return false;
        if (ch == 'P' && !h->has_kind) {
            if (!h->set_kind(in.get())) return false;
        } else if (ch == '#') {
            do ch = in.get();
            while (ch != EOF && ch != '\n');
        } else {
            // The character that ends the number is consumed, a non-digit on its own too.
            int64_t value = 0;
            for (; is_digit(ch); ch = in.get()) value = add_digit(value, ch);
            h->set_number(value);
        }
    }
    return h->maxval_ok();
}

// Whether the (regular) file still holds `need` bytes.
bool file_can_hold(FILE *f, int64_t need) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    const long here = ftell(f);
    return here < 0 || st.st_size - here >= need;
}

// Skips to the next digit and reads its run; the character after the run is consumed.
bool read_file_sample(FILE *f, uint32_t *sample) {
    int ch;
    do ch = getc(f);
    while (ch != EOF && !is_digit(ch));
    if (ch == EOF) return false;
    int64_t value = 0;
    for (; is_digit(ch); ch = getc(f)) value = add_digit(value, ch);
    *sample = as_sample(value);
    return true;
}

// One grey or colour sample of a P2, P3, P5 or P6 body, scaled by the maxval.
bool read_file_value(FILE *f, int kind, int64_t maxval, uint32_t *sample) {
    uint32_t v;
    if (kind == '2' || kind == '3') {
        if (!read_file_sample(f, &v)) return false;
    } else {
        const int hi = getc(f);
        if (hi == EOF) return false;
        v = static_cast<uint32_t>(hi);
        if (wide(maxval)) {
            const int lo = getc(f);
            if (lo == EOF) return false;
            v = v << 8 | static_cast<uint32_t>(lo);
        }
    }
    return scaled(v, maxval, sample);
}

bool read_file_body(FILE *f, const Header &h, Image *img) {
    const int32_t width = img->width, height = img->height;
    const int64_t n = int64_t{width} * height;
    uint32_t *p = img->pixels;
    switch (h.kind) {
    case '1':
        for (int64_t i = 0; i < n; i++) {
            uint32_t v;
            if (!read_file_sample(f, &v)) return false;
            p[i] = v ? white : 0;
        }
        return true;
    case '4':
        // Every row starts on a new byte; the bits past the width are skipped.
        for (int32_t y = 0; y < height; y++) {
            int byte = 0;
            for (int32_t x = 0; x < width; x++) {
                if ((x & 7) == 0 && (byte = getc(f)) == EOF) return false;
                *p++ = (byte >> (7 - (x & 7))) & 1 ? white : 0;
            }
        }
        return true;
    case '2':
    case '5':
        for (int64_t i = 0; i < n; i++) {
            uint32_t v;
            if (!read_file_value(f, h.kind, h.maxval, &v)) return false;
            p[i] = grey(v);
        }
        return true;
    default: // '3', '6'
        for (int64_t i = 0; i < n; i++) {
            uint32_t r, g, b;
            if (!read_file_value(f, h.kind, h.maxval, &r) ||
                !read_file_value(f, h.kind, h.maxval, &g) ||
                !read_file_value(f, h.kind, h.maxval, &b))
                return false;
            p[i] = (r << 16) | (g << 8) | b;
        }
        return true;
    }
}

Image *read_file(FILE *f) {
    Header h;
    if (!read_file_header(f, &h)) {
        img_error();
        return nullptr;
    }
    if (h.width > 0 && h.height > 0 && img_size_ok(h.width, h.height) &&
        !file_can_hold(f, body_minimum(h.kind, h.width, h.height, h.maxval, true))) {
        img_error();
        return nullptr;
    }
    Image *img = new_image(h.width, h.height);
    if (!img) return nullptr;
    if (!read_file_body(f, h, img)) {
        img_free(&img);
        img_error();
        return nullptr;
    }
    return img;
}

// Buffer reading ---------------------------------------------------------------------------

// A byte buffer of `size` bytes in which a NUL also ends a header or a text body.
struct Bytes {
    const unsigned char *b;
    size_t size;
    size_t i = 0;

    bool text_end(size_t at) const { return at >= size || b[at] == 0; }
    bool text_end() const { return text_end(i); }
    bool digit() const { return i < size && is_digit(b[i]); }

    int64_t number() {
        int64_t value = 0;
        for (; digit(); i++) value = add_digit(value, b[i]);
        return value;
    }

    // Whether the text from i holds at least `need` bytes before it ends.
    bool text_holds(int64_t need) const {
        size_t at = i;
        for (int64_t k = 0; k < need; k++, at++)
            if (text_end(at)) return false;
        return true;
    }

    // Moves to the next digit of the text; false at its end.
    bool skip_to_digit() {
        while (!text_end() && !is_digit(b[i])) i++;
        return !text_end();
    }
};

bool read_buffer_header(Bytes *in, Header *h) {
    while (!h->complete()) {
        while (!in->text_end() && !is_printable(in->b[in->i])) in->i++;
        if (in->text_end()) return false;
        const unsigned char ch = in->b[in->i];
        if (ch == 'P' && !h->has_kind) {
            if (in->text_end(in->i + 1) || !h->set_kind(in->b[in->i + 1])) return false;
            in->i += 2;
        } else if (ch == '#') {
            while (!in->text_end() && in->b[in->i] != '\n') in->i++;
            if (in->text_end()) return false;
            in->i++;
        } else {
            // The character that ends the number stays: a non-digit gives 0 to each item
            // still missing, one per round.
            const size_t start = in->i;
            int64_t value = in->number();
            const bool width = !h->has_width;
            if (width && h->has_kind && h->kind == '4') value = (value + 7) / 8 * 8;
            // A round that neither fills an item nor moves on would repeat for ever.
            if (!h->set_number(value) && in->i == start) in->i++;
        }
    }
    return h->maxval_ok();
}

// One grey or colour sample of a P2, P3, P5 or P6 body, scaled by the maxval. A binary
// body's length was checked before.
bool read_buffer_value(Bytes *in, int kind, int64_t maxval, uint32_t *sample) {
    uint32_t v;
    if (kind == '2' || kind == '3') {
        if (!in->skip_to_digit()) return false;
        v = as_sample(in->number());
    } else if (wide(maxval)) {
        v = uint32_t{in->b[in->i]} << 8 | in->b[in->i + 1];
        in->i += 2;
    } else {
        v = in->b[in->i++];
    }
    return scaled(v, maxval, sample);
}

bool read_buffer_body(Bytes *in, int kind, int64_t maxval, Image *img) {
    const int64_t n = int64_t{img->width} * img->height;
    uint32_t *p = img->pixels;
    const unsigned char *b = in->b;
    size_t &i = in->i;
    switch (kind) {
    case '1':
        // One digit is one pixel; digits need no separators.
        for (int64_t k = 0; k < n; k++) {
            if (!in->skip_to_digit()) return false;
            p[k] = b[i++] != '0' ? white : 0;
        }
        return true;
    case '4': {
        // The bits run on across rows; a rounded width puts each row on a byte boundary.
        unsigned byte = 0;
        for (int64_t k = 0; k < n; k++) {
            if ((k & 7) == 0) byte = b[i++];
            p[k] = (byte >> (7 - (k & 7))) & 1 ? white : 0;
        }
        return true;
    }
    case '2':
    case '5':
        for (int64_t k = 0; k < n; k++) {
            uint32_t v;
            if (!read_buffer_value(in, kind, maxval, &v)) return false;
            p[k] = grey(v);
        }
        return true;
    default: // '3', '6'
        for (int64_t k = 0; k < n; k++) {
            uint32_t rgb[3];
            for (uint32_t &v : rgb)
                if (!read_buffer_value(in, kind, maxval, &v)) return false;
            p[k] = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
        }
        return true;
    }
}

void put_field(char *out, uint32_t value) {
    out[0] = value >= 100 ? char('0' + value / 100) : ' ';
    out[1] = value >= 10 ? char('0' + value / 10 % 10) : ' ';
    out[2] = char('0' + value % 10);
    out[3] = ' ';
}

} // namespace

Image *img_load(const char *path) {
    if (!path) {
        img_error();
        return nullptr;
    }
    // Only a regular file: a pipe would block the open, a device could stream for ever.
    FILE *f = file_open_regular(path);
    if (!f) {
        img_error();
        return nullptr;
    }
    Image *img = read_file(f);
    fclose(f);
    return img;
}

bool img_file_size(const char *path, int64_t *width, int64_t *height) {
    FILE *f = path ? file_open_regular(path) : nullptr;
    if (!f) return false;
    Header h;
    const bool ok = read_file_header(f, &h);
    fclose(f);
    if (!ok) return false;
    *width = h.width;
    *height = h.height;
    return true;
}

// Write errors (a full disk) are failures too, and they leave an existing picture as it was:
// the new one replaces it only once it is complete.
int img_save(const Image *img, const char *path) {
    if (!img || !img->pixels || !path || img->width <= 0 || img->height <= 0 ||
        !img_size_ok(img->width, img->height)) {
        img_error();
        return 0;
    }
    FileReplace out;
    if (!file_replace_open(&out, path)) {
        img_error();
        return 0;
    }
    FILE *f = out.file;
    fprintf(f, "P6\n%d %d\n255\n", img->width, img->height);
    const int64_t n = int64_t{img->width} * img->height;
    for (int64_t i = 0; i < n; i++) {
        const uint32_t p = img->pixels[i];
        putc((p >> 16) & 0xFF, f);
        putc((p >> 8) & 0xFF, f);
        putc(p & 0xFF, f);
    }
    if (!file_replace_close(&out, true)) {
        img_error();
        return 0;
    }
    return 1;
}

Image *img_from_pnm(const unsigned char *bytes) {
    // No length: the header and a text body end at a NUL, a binary body is the caller's.
    return img_from_pnm_n(bytes, SIZE_MAX);
}

Image *img_from_pnm_n(const unsigned char *bytes, size_t size) {
    if (!bytes) {
        img_error();
        return nullptr;
    }
    Bytes in{bytes, size};
    Header h;
    // The header ends with one whitespace byte; a NUL there ends the input.
    if (!read_buffer_header(&in, &h) || in.text_end()) {
        img_error();
        return nullptr;
    }
    in.i++;
    if (h.width > 0 && h.height > 0 && img_size_ok(h.width, h.height)) {
        const int64_t need = body_minimum(h.kind, h.width, h.height, h.maxval, false);
        const bool binary = h.kind >= '4';
        if (binary ? size - in.i < uint64_t(need) : !in.text_holds(need)) {
            img_error();
            return nullptr;
        }
    }
    Image *img = new_image(h.width, h.height);
    if (!img) return nullptr;
    if (!read_buffer_body(&in, h.kind, h.maxval, img)) {
        img_free(&img);
        img_error();
        return nullptr;
    }
    return img;
}

char *img_to_text(const Image *img) {
    if (!img || !img->pixels || img->width < 0 || img->height < 0) {
        img_error();
        return nullptr;
    }
    const int64_t n = int64_t{img->width} * img->height;
    if (n == 0) {
        char *text = static_cast<char *>(calloc(6, 1));
        if (!text) {
            img_error();
            return nullptr;
        }
        memcpy(text, "IMG{}", 6);
        return text;
    }
    // The header, 12 characters a pixel, "}\n" and the NUL; the length has to fit an int.
    const int64_t size = 12 * n + n / 6 + 29;
    char *text = size <= INT32_MAX ? static_cast<char *>(calloc(size, 1)) : nullptr;
    if (!text) {
        img_error();
        return nullptr;
    }
    char *out = text + snprintf(text, size, "IMG{\nP3\n%d %d\n255\n", img->width, img->height);
    int on_line = 0;
    for (int64_t j = 0; j < n; j++, out += 12) {
        const uint32_t p = img->pixels[j];
        put_field(out, (p >> 16) & 0xFF);
        put_field(out + 4, (p >> 8) & 0xFF);
        put_field(out + 8, p & 0xFF);
        if (++on_line == 6) {
            out[11] = '\n';
            on_line = 0;
        }
    }
    out[-1] = '\n';
    memcpy(out, "}\n", 3);
    return text;
}

Image *img_from_text(const char *text) {
    if (!text) {
        img_error();
        return nullptr;
    }
    const char *t = text;
    for (const char *mark : {"IMG", "{", "P3\n"}) {
        const int past = img_find(t, mark);
        if (!past) {
            img_error();
            return nullptr;
        }
        t += past;
    }
    // Width, height and maxval, each ended by exactly one character.
    const char *end = t + strlen(t);
    Bytes in{reinterpret_cast<const unsigned char *>(t), size_t(end - t)};
    const int64_t width = in.number();
    if (in.text_end()) {
        img_error();
        return nullptr;
    }
    in.i++;
    const int64_t height = in.number();
    if (in.text_end()) {
        img_error();
        return nullptr;
    }
    in.i++;
    in.number();
    if (!in.text_end()) in.i++;

    // A pixel-less Image has the text form "IMG{}", which does not read back; no text makes
    // one either, as no Netpbm file does.
    if (width == 0 || height == 0 || !img_size_ok(width, height) ||
        !in.text_holds(3 * width * height)) {
        img_error();
        return nullptr;
    }
    Image *img = image_of_size(width, height);
    if (!img) return nullptr;
    // The text form's samples are taken as they stand, whatever its maxval line says.
    if (!read_buffer_body(&in, '3', 255, img)) {
        img_free(&img);
        img_error();
        return nullptr;
    }
    return img;
}

int img_find(const char *text, const char *pattern) {
    if (!text || !pattern) {
        img_error();
        return 0;
    }
    if (!*pattern) return 0;
    const char *found = strstr(text, pattern);
    if (!found) return 0;
    const size_t past = size_t(found - text) + strlen(pattern);
    return past <= INT_MAX ? static_cast<int>(past) : 0;
}
