#include "image/img.h"

#include <climits>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "intro/sine_table.h"

const ModuleId img_module = {"IMG", "20080711", "KV"};

void img_error() {
    printf("IMG error\n");
}

bool img_size_ok(int64_t width, int64_t height) {
    // Each side is bounded first so that the product cannot overflow either.
    return width >= 0 && height >= 0 && width <= INT32_MAX && height <= INT32_MAX &&
           width * height <= INT32_MAX;
}

// A zero-sized Image still gets a pixel array, so "no pixels" never reads as "missing".
static uint32_t *alloc_pixels(int64_t count) {
    return static_cast<uint32_t *>(calloc(count > 0 ? count : 1, sizeof(uint32_t)));
}

Image *img_new() {
    Image *img = static_cast<Image *>(calloc(1, sizeof(Image)));
    if (!img) {
        img_error();
        return nullptr;
    }
    img->pixels = alloc_pixels(16 * 16);
    if (!img->pixels) {
        free(img);
        img_error();
        return nullptr;
    }
    img->width = 16;
    img->height = 16;
    return img;
}

void img_free(Image **img) {
    if (!img || !*img) {
        img_error();
        return;
    }
    free((*img)->pixels);
    free(*img);
    *img = nullptr;
}

// A size that is negative or overflows, or memory that runs out, keeps the old Image.
void img_resize(Image *img, int32_t width, int32_t height) {
    if (!img || !img_size_ok(width, height)) {
        img_error();
        return;
    }
    uint32_t *pixels = alloc_pixels(int64_t{width} * height);
    if (!pixels) {
        img_error();
        return;
    }
    free(img->pixels);
    img->pixels = pixels;
    img->width = width;
    img->height = height;
}

void img_clear(Image *img) {
    if (!img || !img->pixels) {
        img_error();
        return;
    }
    memset(img->pixels, 0, sizeof(uint32_t) * img->width * img->height);
}

void img_put(Image *img, int32_t x, int32_t y, uint32_t pixel) {
    if (!img || !img->pixels) {
        img_error();
        return;
    }
    if (x >= 0 && x < img->width && y >= 0 && y < img->height)
        img->pixels[y * img->width + x] = pixel;
}

uint32_t img_get(const Image *img, int32_t x, int32_t y) {
    if (!img) {
        img_error();
        return 0;
    }
    if (x >= 0 && x < img->width && y >= 0 && y < img->height && img->pixels)
        return img->pixels[y * img->width + x];
    return 0;
}

bool img_pixels_overlap(const Image *a, const Image *b) {
    const auto begin = [](const Image *img) { return reinterpret_cast<uintptr_t>(img->pixels); };
    const auto end = [&](const Image *img) {
        return begin(img) + sizeof(uint32_t) * uint64_t(int64_t{img->width} * img->height);
    };
    return begin(a) < end(b) && begin(b) < end(a);
}

void img_blit(const Image *src, Image *dst, int32_t sx0, int32_t sy0, int32_t dx0, int32_t dy0,
              int32_t w0, int32_t h0) {
    if (!src || !dst || !src->pixels || !dst->pixels) {
        img_error();
        return;
    }
    // 64-bit so that extreme arguments cannot overflow while clipping.
    int64_t sx = sx0, sy = sy0, dx = dx0, dy = dy0, w = w0, h = h0;
    if (dx >= dst->width || dx + w < 0 || dy >= dst->height || dy + h < 0 || sx >= src->width ||
        sx + w < 0 || sy >= src->height || sy + h < 0)
        return;
    if (dx < 0) w += dx, sx -= dx, dx = 0;
    if (dy < 0) h += dy, sy -= dy, dy = 0;
    if (dx + w > dst->width) w = dst->width - dx;
    if (dy + h > dst->height) h = dst->height - dy;
    if (sx < 0) w += sx, dx -= sx, sx = 0;
    if (sy < 0) h += sy, dy -= sy, sy = 0;
    if (sx + w > src->width) w = src->width - sx;
    if (sy + h > src->height) h = src->height - sy;
    if (w <= 0 || h <= 0) return;

    const uint32_t *s = src->pixels + src->width * sy + sx;
    uint32_t *d = dst->pixels + dst->width * dy + dx;
    // Within one array a pixel written may be read again further on, so that copy goes
    // word by word; separate arrays go eight words at a time.
    const bool shared = img_pixels_overlap(src, dst);
    for (int64_t row = 0; row < h; row++, s += src->width, d += dst->width) {
        int64_t col = 0;
        if (!shared)
            for (; col + 8 <= w; col += 8) {
                uint32_t from[8], to[8];
                memcpy(from, s + col, sizeof from);
                memcpy(to, d + col, sizeof to);
                for (int k = 0; k < 8; k++) to[k] = from[k] ? from[k] : to[k];
                memcpy(d + col, to, sizeof to);
            }
        for (; col < w; col++)
            if (s[col]) d[col] = s[col];
    }
}

Image *img_copy(const Image *img) {
    if (!img || !img->pixels) {
        img_error();
        return nullptr;
    }
    Image *copy = img_new();
    if (!copy) return nullptr;
    img_resize(copy, img->width, img->height);
    if (copy->width != img->width || copy->height != img->height) {
        img_free(&copy);
        return nullptr;
    }
    memcpy(copy->pixels, img->pixels, sizeof(uint32_t) * img->width * img->height);
    return copy;
}

int img_equal(const Image *a, const Image *b) {
    if (!a || !b || !a->pixels || !b->pixels) {
        img_error();
        return 0;
    }
    if (a->width != b->width || a->height != b->height) return 0;
    const int64_t n = int64_t{a->width} * a->height;
    for (int64_t i = 0; i < n; i++)
        if (a->pixels[i] != b->pixels[i]) return 0;
    return 1;
}

int *img_run_lengths(int a, int b) {
    const int64_t abs_a = a < 0 ? -int64_t{a} : a, abs_b = b < 0 ? -int64_t{b} : b;
    const int64_t big = abs_a > abs_b ? abs_a : abs_b;
    const int64_t small = abs_a > abs_b ? abs_b : abs_a;
    // Every entry, the lone big + 1 included, has to fit an int.
    if (big > INT_MAX || (small == 0 && big == INT_MAX)) {
        img_error();
        return nullptr;
    }
    int *runs = static_cast<int *>(calloc(small + 1, sizeof(int)));
    if (!runs) {
        img_error();
        return nullptr;
    }
    int64_t e = big, i = 0;
    for (int64_t k = 0; k <= big; k++) {
        runs[i]++;
        e -= small;
        if (e <= 0) {
            e += big;
            i++;
        }
    }
    return runs;
}

int *img_line_points(int x0, int y0, int x1, int y1) {
    int64_t ddx = int64_t{x1} - x0, ddy = int64_t{y1} - y0;
    const int stx = ddx < 0 ? -1 : 1, sty = ddy < 0 ? -1 : 1;
    if (ddx < 0) ddx = -ddx;
    if (ddy < 0) ddy = -ddy;
    const bool x_major = ddx > ddy;
    const int64_t major = x_major ? ddx : ddy, minor = x_major ? ddy : ddx;
    // Entry 0 holds the count of the ints that follow; it has to fit an int.
    if (2 * major + 2 > INT_MAX) {
        img_error();
        return nullptr;
    }
    int *list = static_cast<int *>(malloc((2 * major + 3) * sizeof(int)));
    if (!list) {
        img_error();
        return nullptr;
    }
    list[0] = static_cast<int>(2 * major + 2);
    int x = x0, y = y0;
    int *out = list + 1;
    int64_t e = major >> 1;
    for (int64_t k = 0; k <= major; k++) {
        *out++ = x;
        *out++ = y;
        if (k == major) break; // no step past the end point
        if (x_major)
            x += stx;
        else
            y += sty;
        e -= minor;
        // A minor axis without travel never moves, even when e starts at 0.
        if (e <= 0 && minor != 0) {
            e += major;
            if (x_major)
                y += sty;
            else
                x += stx;
        }
    }
    return list;
}

// Nearest-neighbour rescale. The run-length tables hold how many result columns (rows) one
// source column (row) makes when growing, or how many source columns (rows) fold into one
// result column (row) when shrinking, so the pixel loops only copy and step indices.
Image *img_scale(const Image *src, int32_t nw, int32_t nh) {
    if (!src || !src->pixels || nw < 0 || nh < 0 || !img_size_ok(nw, nh)) {
        img_error();
        return nullptr;
    }
    Image *dst = img_new();
    if (!dst) return nullptr;
    img_resize(dst, nw, nh);
    if (dst->width != nw || dst->height != nh) {
        img_free(&dst);
        return nullptr;
    }
    const int32_t sw = src->width, sh = src->height;
    if (nw == 0 || nh == 0 || sw <= 0 || sh <= 0) return dst;

    int *xs = img_run_lengths(nw, sw);
    int *ys = img_run_lengths(nh, sh);
    if (!xs || !ys) {
        free(xs);
        free(ys);
        img_free(&dst);
        return nullptr;
    }
    const uint32_t *s = src->pixels;
    uint32_t *d = dst->pixels;
    const size_t row_bytes = sizeof(uint32_t) * nw;

    if (nw >= sw) {
        // Columns forwards: source column c fills xs[c] result columns.
        int64_t si = 0, di = 0;
        if (nh >= sh) {
            for (int32_t r = 0; r < sh; r++) {
                for (int32_t c = 0; c < sw; c++, si++)
                    for (int k = xs[c]; k > 0; k--) d[di++] = s[si];
                // The row repeats by copying the result row just written.
                for (int k = ys[r] - 1; k > 0; k--, di += nw)
                    memcpy(d + di, d + di - nw, row_bytes);
            }
        } else {
            // Result row r takes the first source row of its group of ys[r] rows.
            for (int32_t r = 0; r < nh; r++) {
                for (int32_t c = 0; c < sw; c++, si++)
                    for (int k = xs[c]; k > 0; k--) d[di++] = s[si];
                si += int64_t{ys[r] - 1} * sw;
            }
        }
    } else {
        // Columns backwards from the last word: result column c takes the last source column
        // of its group of xs[c] columns.
        int64_t si = int64_t{sw} * sh - 1, di = int64_t{nw} * nh - 1;
        if (nh < sh) {
            // Result row r takes the last source row of its group of ys[r] rows.
            for (int32_t r = nh - 1; r >= 0; r--) {
                for (int32_t c = nw - 1; c >= 0; c--) {
                    d[di--] = s[si];
                    si -= xs[c];
                }
                si -= int64_t{ys[r] - 1} * sw;
            }
        } else {
            for (int32_t r = sh - 1; r >= 0; r--) {
                for (int32_t c = nw - 1; c >= 0; c--) {
                    d[di--] = s[si];
                    si -= xs[c];
                }
                // The row repeats upwards by copying the result row below.
                for (int k = ys[r] - 1; k > 0; k--, di -= nw)
                    memcpy(d + di - nw + 1, d + di + 1, row_bytes);
            }
        }
    }
    free(xs);
    free(ys);
    return dst;
}

// Rotation about the centre with the Q15 sine table. The result is about sqrt 2 times the
// source in each direction so that a turned copy fits.
Image *img_rotate(const Image *src, int32_t angle) {
    if (!src || !src->pixels) {
        img_error();
        return nullptr;
    }
    // The size products and the per-pixel products below stay within 32 bits only while
    // each side times 92667 does.
    const int64_t w92667 = int64_t{src->width} * 92667, h92667 = int64_t{src->height} * 92667;
    if (src->width < 0 || src->height < 0 || w92667 > INT32_MAX || h92667 > INT32_MAX) {
        img_error();
        return nullptr;
    }
    const int32_t rw = static_cast<int32_t>(w92667 >> 16), rh = static_cast<int32_t>(h92667 >> 16);
    if (!img_size_ok(rw, rh)) {
        img_error();
        return nullptr;
    }
    Image *dst = img_new();
    if (!dst) return nullptr;
    img_resize(dst, rw, rh);
    if (dst->width != rw || dst->height != rh) {
        img_free(&dst);
        return nullptr;
    }
    const int64_t n = sine_length;
    const int32_t sn = sine_table[(n - int64_t{angle} % n) % n];
    const int32_t cs = sine_table[(n - (int64_t{angle} + 256) % n) % n];
    const int32_t hw = rw / 2, hh = rh / 2, sw2 = src->width / 2, sh2 = src->height / 2;
    const int32_t sw = src->width, sh = src->height;
    uint32_t *d = dst->pixels;
    for (int32_t y = 0; y < rh; y++) {
        const int32_t ddy = y - hh;
        const int32_t u_row = -((ddy * sn) >> 15) + sw2, v_row = ((ddy * cs) >> 15) + sh2;
        // ddx times c and times s as running sums, starting at ddx = -hw.
        int32_t pc = -hw * cs, ps = -hw * sn;
        for (int32_t x = 0; x < rw; x++, pc += cs, ps += sn) {
            const int32_t u = (pc >> 15) + u_row, v = (ps >> 15) + v_row;
            *d++ = (u >= 0 && u < sw && v >= 0 && v < sh) ? src->pixels[int64_t{v} * sw + u] : 0;
        }
    }
    return dst;
}
