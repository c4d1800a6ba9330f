#include "sound/smp.h"

#include <climits>
#include <cstdlib>
#include <cstring>

const ModuleId smp_module = {"SMP", "20080409", "KV"};
const int smp_sample_size = 4;

void smp_error() {}

static int32_t *new_storage(int n) {
    return static_cast<int32_t *>(calloc(n, smp_sample_size));
}

static bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal digits of v, with one more for a minus sign.
static size_t text_width(int32_t v) {
    int64_t m = v;
    size_t width = 1;
    if (m < 0) {
        m = -m;
        width++;
    }
    while (m >= 10) {
        m /= 10;
        width++;
    }
    return width;
}

SampleBuffer *smp_new() {
    SampleBuffer *b = static_cast<SampleBuffer *>(calloc(1, sizeof(SampleBuffer)));
    if (!b) {
        smp_error();
        return nullptr;
    }
    smp_reserve(b, 32);
    return b;
}

void smp_free(SampleBuffer **b) {
    if (!b || !*b) {
        smp_error();
        return;
    }
    free((*b)->samples);
    free(*b);
    *b = nullptr;
}

char *smp_to_text(const SampleBuffer *b) {
    if (!b) {
        smp_error();
        return nullptr;
    }
    if (b->length <= 0 || !b->samples) {
        char *text = static_cast<char *>(malloc(7));
        if (!text) {
            smp_error();
            return nullptr;
        }
        memcpy(text, "SMP{}\n", 7);
        return text;
    }
    // Counted in 64 bits: on a 32-bit host the text of a long buffer can pass 4 GiB.
    uint64_t total = 8 + text_width(b->length);
    for (int i = 0; i < b->length; i++) total += text_width(b->samples[i]) + 1;
    const size_t size = static_cast<size_t>(total);
    char *text = size == total ? static_cast<char *>(malloc(size)) : nullptr;
    if (!text) {
        smp_error();
        return nullptr;
    }
    char *p = text;
    char *end = text + size;
    p += snprintf(p, end - p, "SMP{%d\n", b->length);
    for (int i = 0; i < b->length; i++) p += snprintf(p, end - p, "%d\n", b->samples[i]);
    snprintf(p, end - p, "}\n");
    return text;
}

SampleBuffer *smp_from_text(const char *text) {
    if (!text) {
        smp_error();
        return nullptr;
    }
    const char *p = strstr(text, "SMP");
    if (!p) {
        smp_error();
        return nullptr;
    }
    p = strchr(p + 3, '{');
    if (!p) {
        smp_error();
        return nullptr;
    }
    p++;
    // The empty form "SMP{}" carries no count: a '}' or the end before any digit is an
    // empty buffer.
    while (*p && *p != '}' && !is_digit(*p)) p++;
    if (!is_digit(*p)) return smp_new();
    int n = 0;
    for (; is_digit(*p); p++) n = n > (INT_MAX - 9) / 10 ? INT_MAX : n * 10 + (*p - '0');
    SampleBuffer *b = smp_new();
    if (!b) return nullptr;
    // The samples end at the closing brace; what follows it is not this buffer's. Every
    // number takes at least one character, so a count beyond what is left before the brace
    // can't be met; don't reserve for it.
    const size_t rest = strcspn(p, "}");
    const int room = rest < static_cast<size_t>(n) ? static_cast<int>(rest) : n;
    if (room > 0) {
        smp_reserve(b, room);
        if (b->capacity < room) {
            smp_free(&b);
            return nullptr;
        }
    }
    int i = 0;
    while (i < n && i < b->capacity) {
        while (*p && *p != '}' && *p != '-' && !is_digit(*p)) p++;
        if (!*p || *p == '}') break; // the text ends early: keep what was read
        uint32_t sign = 1;
        if (*p == '-') {
            sign = UINT32_MAX;
            p++;
        }
        uint32_t v = 0;
        for (; is_digit(*p); p++) v = v * 10 + static_cast<uint32_t>(*p - '0');
        b->samples[i++] = static_cast<int32_t>(v * sign);
    }
    b->length = i;
    return b;
}

int smp_equal(const SampleBuffer *a, const SampleBuffer *b) {
    if (!a || !b || !a->samples || !b->samples || a->length != b->length) {
        smp_error();
        return 0;
    }
    for (int i = 0; i < a->length; i++)
        if (a->samples[i] != b->samples[i]) {
            smp_error();
            return 0;
        }
    return 1;
}

SampleBuffer *smp_copy(const SampleBuffer *src) {
    if (!src || !src->samples) {
        smp_error();
        return nullptr;
    }
    SampleBuffer *b = smp_new();
    if (!b) return nullptr;
    if (src->length > 0) {
        smp_reserve(b, src->length);
        if (b->capacity != src->length) {
            smp_free(&b);
            return nullptr;
        }
        memcpy(b->samples, src->samples, static_cast<size_t>(src->length) * smp_sample_size);
    }
    b->length = src->length;
    return b;
}

void smp_reserve(SampleBuffer *b, int n) {
    if (!b || n <= 0) {
        smp_error();
        return;
    }
    int32_t *samples = new_storage(n);
    if (!samples) {
        smp_error();
        return;
    }
    if (b->length > n) b->length = n;
    if (b->samples && b->length > 0)
        memcpy(samples, b->samples, static_cast<size_t>(b->length) * smp_sample_size);
    free(b->samples);
    b->samples = samples;
    b->capacity = n;
}

void smp_set_length(SampleBuffer *b, int n) {
    if (!b) {
        smp_error();
        return;
    }
    if (n < 0) n = 0;
    if (b->capacity < n) {
        smp_reserve(b, n);
        if (b->capacity < n) return; // no storage for n samples
    }
    b->length = n;
}

void smp_insert(SampleBuffer *b, int32_t value, int index) {
    if (!b || index < 0 || index > b->length) {
        smp_error();
        return;
    }
    if (b->length >= b->capacity) {
        // A buffer whose first storage could not be had starts again at the default size.
        if (b->capacity > INT_MAX / 2) {
            smp_error();
            return;
        }
        smp_reserve(b, b->capacity > 0 ? 2 * b->capacity : 32);
        if (b->length >= b->capacity) return;
    }
    memmove(b->samples + index + 1, b->samples + index,
            static_cast<size_t>(b->length - index) * smp_sample_size);
    b->samples[index] = value;
    b->length++;
}

void smp_remove(SampleBuffer *b, int index) {
    if (!b || index < 0 || index >= b->length) {
        smp_error();
        return;
    }
    memmove(b->samples + index, b->samples + index + 1,
            static_cast<size_t>(b->length - index - 1) * smp_sample_size);
    b->length--;
}

int32_t smp_get(const SampleBuffer *b, int index) {
    if (!b || !b->samples || index < 0 || index >= b->length) {
        smp_error();
        return 0;
    }
    return b->samples[index];
}

void smp_set(SampleBuffer *b, int32_t value, int index) {
    if (!b || !b->samples || index < 0 || index >= b->length) {
        smp_error();
        return;
    }
    b->samples[index] = value;
}

void smp_clear(SampleBuffer *b) {
    if (!b) {
        smp_error();
        return;
    }
    if (b->samples && b->length > 0)
        memset(b->samples, 0, static_cast<size_t>(b->length) * smp_sample_size);
}

void smp_move(const SampleBuffer *src, SampleBuffer *dst, int count, int from, int to) {
    if (!src || !dst || !src->samples || !dst->samples || from < 0 || to < 0 ||
        static_cast<int64_t>(from) + count > src->length ||
        static_cast<int64_t>(to) + count > dst->length) {
        smp_error();
        return;
    }
    if (count <= 0) return;
    // memmove copies as if through a temporary, which is what the highest-first order
    // gives for an overlapping run within one buffer.
    memmove(dst->samples + to, src->samples + from, static_cast<size_t>(count) * smp_sample_size);
}

void smp_insert_buffer(SampleBuffer *dst, const SampleBuffer *src, int at) {
    if (!dst || !src || at < 0 || at > dst->length ||
        static_cast<int64_t>(dst->length) + src->length > INT_MAX) {
        smp_error();
        return;
    }
    if (src->length <= 0) return;
    if (src == dst) {
        // Inserting a buffer into itself inserts a copy of it as it was.
        SampleBuffer *copy = smp_copy(src);
        if (!copy) return;
        smp_insert_buffer(dst, copy, at);
        smp_free(&copy);
        return;
    }
    const int old = dst->length;
    const int n = src->length;
    smp_reserve(dst, old + n);
    if (dst->capacity != old + n || dst->length != old) return;
    dst->length = old + n;
    memmove(dst->samples + at + n, dst->samples + at,
            static_cast<size_t>(old - at) * smp_sample_size);
    memcpy(dst->samples + at, src->samples, static_cast<size_t>(n) * smp_sample_size);
}

SampleBuffer *smp_slice(const SampleBuffer *b, int from, int to) {
    if (!b || !b->samples || from > to) {
        smp_error();
        return nullptr;
    }
    if (to > b->length) to = b->length;
    if (from < 0) from = 0;
    SampleBuffer *s = smp_new();
    if (!s) return nullptr;
    if (from >= to) return s;
    smp_reserve(s, to - from);
    if (s->capacity != to - from) {
        smp_free(&s);
        return nullptr;
    }
    memcpy(s->samples, b->samples + from, static_cast<size_t>(to - from) * smp_sample_size);
    s->length = to - from;
    return s;
}

void smp_reverse(SampleBuffer *b) {
    if (!b) {
        smp_error();
        return;
    }
    for (int i = 0, j = b->length - 1; i < j; i++, j--) {
        int32_t t = b->samples[i];
        b->samples[i] = b->samples[j];
        b->samples[j] = t;
    }
}

// Sample k becomes the old sample (k + n) mod length, for any n; an empty buffer stays.
static void rotate(SampleBuffer *b, int n) {
    const int len = b->length;
    if (len <= 0 || !b->samples) return;
    int r = n % len;
    if (r < 0) r += len;
    if (r == 0) return;
    int32_t *samples = new_storage(b->capacity);
    if (!samples) {
        smp_error();
        return;
    }
    memcpy(samples, b->samples + r, static_cast<size_t>(len - r) * smp_sample_size);
    memcpy(samples + (len - r), b->samples, static_cast<size_t>(r) * smp_sample_size);
    free(b->samples);
    b->samples = samples;
}

void smp_rotate_left(SampleBuffer *b, int n) {
    if (!b) {
        smp_error();
        return;
    }
    rotate(b, n);
}

void smp_rotate_right(SampleBuffer *b, int n) {
    if (!b) {
        smp_error();
        return;
    }
    if (b->length > 0) rotate(b, b->length - n % b->length);
}

void smp_resample(SampleBuffer *b, int newlen) {
    if (!b || !b->samples || newlen <= 0 || newlen == b->length || b->length <= 0) {
        smp_error();
        return;
    }
    int32_t *samples = new_storage(newlen);
    if (!samples) {
        smp_error();
        return;
    }
    // One stepping for both directions: output i takes source sample
    // ceil((i + 1) * length / newlen) - 1. Enlarging repeats samples; shrinking keeps
    // newlen of them, evenly spread, in source order, the last one always among them.
    const int64_t length = b->length;
    int64_t e = length - newlen;
    int j = 0;
    for (int i = 0; i < newlen; i++) {
        while (e > 0 && j < b->length - 1) {
            e -= newlen;
            j++;
        }
        samples[i] = b->samples[j];
        e += length;
    }
    free(b->samples);
    b->samples = samples;
    b->length = newlen;
    b->capacity = newlen;
}

void smp_scale(SampleBuffer *b, int32_t k) {
    if (!b) {
        smp_error();
        return;
    }
    for (int i = 0; i < b->length; i++)
        b->samples[i] =
            static_cast<int32_t>(static_cast<uint32_t>(b->samples[i]) * static_cast<uint32_t>(k));
}

void smp_shift_right(SampleBuffer *b, int n) {
    if (!b || n < 0 || n > 32) {
        smp_error();
        return;
    }
    // A shift by all 32 digits leaves only the sign: 0 or -1.
    for (int i = 0; i < b->length; i++)
        b->samples[i] = n == 32 ? (b->samples[i] < 0 ? -1 : 0) : b->samples[i] >> n;
}

void smp_shift_left(SampleBuffer *b, int n) {
    if (!b || n < 0 || n > 32) {
        smp_error();
        return;
    }
    for (int i = 0; i < b->length; i++)
        b->samples[i] =
            n == 32 ? 0 : static_cast<int32_t>(static_cast<uint32_t>(b->samples[i]) << n);
}

void smp_add(SampleBuffer *a, const SampleBuffer *b) {
    if (!a || !b) {
        smp_error();
        return;
    }
    const int n = a->length < b->length ? a->length : b->length;
    for (int i = 0; i < n; i++)
        a->samples[i] = static_cast<int32_t>(static_cast<uint32_t>(a->samples[i]) +
                                             static_cast<uint32_t>(b->samples[i]));
}

void smp_multiply(SampleBuffer *a, const SampleBuffer *b) {
    if (!a || !b) {
        smp_error();
        return;
    }
    const int n = a->length < b->length ? a->length : b->length;
    for (int i = 0; i < n; i++)
        a->samples[i] = static_cast<int32_t>(static_cast<uint32_t>(a->samples[i]) *
                                             static_cast<uint32_t>(b->samples[i]));
}

void smp_normalize(SampleBuffer *b, int32_t lo, int32_t hi) {
    if (!b || b->length <= 0) {
        smp_error();
        return;
    }
    const int64_t min = smp_min(b);
    const int64_t max = smp_max(b);
    // A flat buffer has no range to stretch: every sample is its minimum, so becomes lo.
    if (max == min) {
        for (int i = 0; i < b->length; i++) b->samples[i] = lo;
        return;
    }
    // 16.16 fixed point; (hi - lo) * 65536 needs 49 bits, and (v - min) * scale stays
    // within (hi - lo) * 65536 since v - min <= max - min.
    const int64_t scale = (static_cast<int64_t>(hi) - lo) * 65536 / (max - min);
    for (int i = 0; i < b->length; i++)
        b->samples[i] = static_cast<int32_t>(lo + (((b->samples[i] - min) * scale) >> 16));
}

int32_t smp_min(const SampleBuffer *b) {
    if (!b || b->length <= 0) {
        smp_error();
        return 0;
    }
    int32_t m = b->samples[0];
    for (int i = 1; i < b->length; i++)
        if (b->samples[i] < m) m = b->samples[i];
    return m;
}

int32_t smp_max(const SampleBuffer *b) {
    if (!b || b->length <= 0) {
        smp_error();
        return 0;
    }
    int32_t m = b->samples[0];
    for (int i = 1; i < b->length; i++)
        if (b->samples[i] > m) m = b->samples[i];
    return m;
}

int smp_find(const SampleBuffer *b, int32_t value, int start) {
    if (!b) {
        smp_error();
        return -1;
    }
    if (start < 0) start = 0;
    for (int i = start; i < b->length; i++)
        if (b->samples[i] == value) return i;
    return -1;
}

int smp_match_count(const SampleBuffer *a, const SampleBuffer *b, int offset) {
    if (!a || !b || offset < 1 - static_cast<int64_t>(b->length) || offset >= a->length) {
        smp_error();
        return 0;
    }
    int i = offset < 0 ? 0 : offset;
    int j = offset < 0 ? -offset : 0;
    int count = 0;
    for (; i < a->length && j < b->length; i++, j++)
        if (a->samples[i] == b->samples[j]) count++;
    return count;
}

int smp_best_offset(const SampleBuffer *a, const SampleBuffer *b) {
    if (!a || !b) {
        smp_error();
        return 0;
    }
    int best = -b->length;
    int best_count = 0;
    for (int64_t offset = 1 - static_cast<int64_t>(b->length); offset < a->length; offset++) {
        const int count = smp_match_count(a, b, static_cast<int>(offset));
        if (count > best_count) {
            best_count = count;
            best = static_cast<int>(offset);
        }
    }
    return best;
}

SampleBuffer *smp_read_raw(FILE *stream, int depth, char order, char sign) {
    if (!stream || (depth != 8 && depth != 16) || (order != 'b' && order != 'l') ||
        (sign != 's' && sign != 'u')) {
        smp_error();
        return nullptr;
    }
    SampleBuffer *b = smp_new();
    if (!b) return nullptr;
    smp_reserve(b, 1024);
    for (;;) {
        int32_t v;
        const int first = fgetc(stream);
        if (first == EOF) break;
        if (depth == 8) {
            v = sign == 's' ? static_cast<int8_t>(first) * 256 : first * 256 - 32768;
        } else {
            const int second = fgetc(stream);
            if (second == EOF) break; // a lone last byte is dropped
            const int w = order == 'l' ? first | second << 8 : first << 8 | second;
            v = sign == 's' ? static_cast<int16_t>(w) : w - 32768;
        }
        if (b->length >= b->capacity) {
            if (b->capacity > INT_MAX / 2) {
                smp_error();
                smp_free(&b);
                return nullptr;
            }
            smp_reserve(b, 2 * b->capacity);
            if (b->length >= b->capacity) {
                smp_free(&b);
                return nullptr;
            }
        }
        b->samples[b->length++] = v;
    }
    return b;
}

static int32_t clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

void smp_write_raw(const SampleBuffer *b, FILE *stream, int depth, char order) {
    if (!b || !stream) {
        smp_error();
        return;
    }
    int width;
    int32_t lo, hi;
    switch (depth) {
    case 8:
        width = 1, lo = -128, hi = 127;
        break;
    case 24:
        width = 3, lo = -8388608, hi = 8388607;
        break;
    case 32:
        width = 4, lo = -2147483647, hi = INT32_MAX;
        break;
    default:
        width = 2, lo = -32768, hi = 32767;
        break;
    }
    for (int i = 0; i < b->length; i++) {
        const uint32_t v = static_cast<uint32_t>(clamp(b->samples[i], lo, hi));
        unsigned char bytes[4];
        for (int k = 0; k < width; k++) {
            const int digit = order == 'b' ? width - 1 - k : k; // byte k from the low end
            bytes[k] = static_cast<unsigned char>(v >> (8 * digit));
        }
        fwrite(bytes, 1, width, stream);
    }
}
