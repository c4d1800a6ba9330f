#include "image/img.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const ModuleId img_module = {"IMG", "20080711", "KV"};

void img_error() {
    printf("IMG error\n");
}

bool img_size_ok(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width * height <= INT32_MAX;
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
    const int64_t s_skip = src->width - w, d_skip = dst->width - w;
    for (int64_t row = 0; row < h; row++) {
        for (int64_t col = 0; col < w; col++, s++, d++)
            if (*s) *d = *s;
        s += s_skip;
        d += d_skip;
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
    if (!a || !b) {
        img_error();
        return 0;
    }
    if (a->width != b->width || a->height != b->height) return 0;
    const int64_t n = int64_t{a->width} * a->height;
    for (int64_t i = 0; i < n; i++)
        if (a->pixels[i] != b->pixels[i]) return 0;
    return 1;
}
