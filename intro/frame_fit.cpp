#include "intro/frame_fit.h"

#include <cstdlib>
#include <cstring>

const ModuleId fit_module = {"FIT", "20261211", "KV"};

int fit_plan(Fit *f, int32_t src_width, int32_t src_height, int32_t width, int32_t height) {
    *f = Fit{};
    f->src_width = src_width;
    f->src_height = src_height;
    f->width = width;
    f->height = height;
    // 4:3 from whichever side is the tighter one.
    if (int64_t{width} * 3 <= int64_t{height} * 4) {
        f->inner_width = width;
        f->inner_height = int32_t(int64_t{width} * 3 / 4);
    } else {
        f->inner_height = height;
        f->inner_width = int32_t(int64_t{height} * 4 / 3);
    }
    f->x = (width - f->inner_width) / 2;
    f->y = (height - f->inner_height) / 2;
    f->columns = static_cast<int32_t *>(malloc(sizeof(int32_t) * size_t(f->inner_width)));
    f->rows = static_cast<int32_t *>(malloc(sizeof(int32_t) * size_t(f->inner_height)));
    if (!f->columns || !f->rows) return 0;
    for (int32_t i = 0; i < f->inner_width; i++)
        f->columns[i] = int32_t(int64_t{i} * src_width / f->inner_width);
    for (int32_t i = 0; i < f->inner_height; i++)
        f->rows[i] = int32_t(int64_t{i} * src_height / f->inner_height);
    return 1;
}

void fit_free(Fit *f) {
    free(f->columns);
    free(f->rows);
    f->columns = f->rows = nullptr;
}

void fit_draw(const Fit *f, const Image *src, Image *dst) {
    if (!src || !dst || !f->columns || src->width != f->src_width || src->height != f->src_height ||
        dst->width != f->width || dst->height != f->height)
        return;
    uint32_t *out = dst->pixels;
    const size_t row_bytes = sizeof(uint32_t) * size_t(f->width);
    for (int32_t y = 0; y < f->y; y++) memset(out + size_t(y) * size_t(f->width), 0, row_bytes);
    const int32_t left = f->x, right = f->width - f->x - f->inner_width;
    for (int32_t y = 0; y < f->inner_height; y++) {
        uint32_t *row = out + size_t(f->y + y) * size_t(f->width);
        // The same source row as the one above: copy it rather than scale again.
        if (y > 0 && f->rows[y] == f->rows[y - 1]) {
            memcpy(row, row - f->width, row_bytes);
            continue;
        }
        const uint32_t *in = src->pixels + size_t(f->rows[y]) * size_t(src->width);
        memset(row, 0, sizeof(uint32_t) * size_t(left));
        uint32_t *p = row + left;
        for (int32_t x = 0; x < f->inner_width; x++) p[x] = in[f->columns[x]];
        memset(p + f->inner_width, 0, sizeof(uint32_t) * size_t(right));
    }
    for (int32_t y = f->y + f->inner_height; y < f->height; y++)
        memset(out + size_t(y) * size_t(f->width), 0, row_bytes);
}
