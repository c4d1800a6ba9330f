#include "effects/raster.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const ModuleId raster_module = {"RASTER", "20080421", "KV"};

void raster_error() {
    printf("RASTER error\n");
}

// An empty list still gets an array, so "no colours" never reads as "missing".
static uint32_t *alloc_colours(int32_t n) {
    return static_cast<uint32_t *>(calloc(n > 0 ? n : 1, sizeof(uint32_t)));
}

Raster *raster_new() {
    Raster *raster = static_cast<Raster *>(calloc(1, sizeof(Raster)));
    if (!raster) {
        raster_error();
        return nullptr;
    }
    raster->colours = alloc_colours(256);
    if (!raster->colours) {
        free(raster);
        raster_error();
        return nullptr;
    }
    raster->count = 256;
    return raster;
}

void raster_destroy(Raster **raster) {
    if (!raster || !*raster) {
        raster_error();
        return;
    }
    free((*raster)->colours);
    free(*raster);
    *raster = nullptr;
}

int raster_equal(const Raster *a, const Raster *b) {
    if (!a || !b || !a->colours || !b->colours) {
        raster_error();
        return 0;
    }
    if (a->count != b->count) return 0;
    for (int32_t i = 0; i < a->count; i++)
        if (a->colours[i] != b->colours[i]) return 0;
    return 1;
}

Raster *raster_copy(const Raster *raster) {
    if (!raster || !raster->colours || raster->count < 0) {
        raster_error();
        return nullptr;
    }
    Raster *copy = raster_new();
    if (!copy) return nullptr;
    raster_resize(copy, raster->count);
    if (copy->count != raster->count) {
        raster_destroy(&copy);
        return nullptr;
    }
    memcpy(copy->colours, raster->colours, sizeof(uint32_t) * raster->count);
    return copy;
}

// A negative size, or memory that runs out, keeps the old list.
void raster_resize(Raster *raster, int32_t n) {
    if (!raster || n < 0) {
        raster_error();
        return;
    }
    uint32_t *colours = alloc_colours(n);
    if (!colours) {
        raster_error();
        return;
    }
    free(raster->colours);
    raster->colours = colours;
    raster->count = n;
    raster->index = 0;
}

void raster_clear(Raster *raster) {
    if (!raster || !raster->colours) {
        raster_error();
        return;
    }
    if (raster->count > 0) memset(raster->colours, 0, sizeof(uint32_t) * raster->count);
}

Raster *raster_load(const char *path) {
    if (!path) {
        raster_error();
        return nullptr;
    }
    FILE *file = fopen(path, "rb");
    if (!file) {
        raster_error();
        return nullptr;
    }
    Raster *raster = raster_new();
    if (raster) raster_resize(raster, 0);
    fclose(file);
    return raster;
}

int raster_save(const Raster *raster, const char *path) {
    if (!raster || !raster->colours || !path || raster->count == 0) {
        raster_error();
        return 0;
    }
    FILE *file = fopen(path, "w");
    if (!file) {
        raster_error();
        return 0;
    }
    fclose(file);
    return 1;
}

// Clips a span of row y to the Image; false when nothing of it is inside.
static bool clip_span(const Image *img, int32_t y, int32_t &x0, int32_t &x1) {
    if (y < 0 || y >= img->height) return false;
    if (x0 < 0) x0 = 0;
    if (x1 > img->width - 1) x1 = img->width - 1;
    return x0 <= x1;
}

void raster_hline(Image *target, uint32_t colour, int32_t y, int32_t x0, int32_t x1) {
    if (!target || !target->pixels) {
        img_error();
        return;
    }
    if (!clip_span(target, y, x0, x1)) return;
    uint32_t *row = target->pixels + int64_t{y} * target->width;
    for (int32_t x = x0; x <= x1; x++) row[x] = colour;
}

static uint32_t blend_channel(uint32_t old, uint32_t colour, int shift, int32_t alpha) {
    const uint32_t o = (old >> shift) & 0xFF, c = (colour >> shift) & 0xFF;
    return ((o * (256 - alpha) + c * alpha) >> 8) << shift;
}

// Alpha is held to 0 .. 256, where every channel stays within its byte.
void raster_hline_blend(Image *target, uint32_t colour, int32_t y, int32_t x0, int32_t x1,
                        int32_t alpha) {
    if (!target || !target->pixels) {
        img_error();
        return;
    }
    if (!clip_span(target, y, x0, x1)) return;
    if (alpha < 0) alpha = 0;
    if (alpha > 256) alpha = 256;
    uint32_t *row = target->pixels + int64_t{y} * target->width;
    for (int32_t x = x0; x <= x1; x++)
        row[x] = blend_channel(row[x], colour, 16, alpha) |
                 blend_channel(row[x], colour, 8, alpha) | blend_channel(row[x], colour, 0, alpha);
}

// Row r takes entry (index + r) mod count, the remainder taken into 0 .. count - 1 even for
// an index set out of range by hand. An empty list has no colour to draw.
static void draw_rows(const Raster *raster, Image *target, bool blend, int32_t alpha) {
    if (!raster || !target || !raster->colours || !target->pixels || raster->count < 1) {
        raster_error();
        return;
    }
    int32_t entry = static_cast<int32_t>(raster->index % raster->count);
    if (entry < 0) entry += raster->count;
    for (int32_t r = 0; r < target->height; r++) {
        const uint32_t colour = raster->colours[entry];
        if (blend)
            raster_hline_blend(target, colour, r, 0, target->width - 1, alpha);
        else
            raster_hline(target, colour, r, 0, target->width - 1);
        if (++entry == raster->count) entry = 0;
    }
}

void raster_draw(const Raster *raster, Image *target) {
    draw_rows(raster, target, false, 256);
}

void raster_draw_blend(const Raster *raster, Image *target, int32_t alpha) {
    draw_rows(raster, target, true, alpha);
}

void raster_advance(Raster *raster) {
    if (!raster || !raster->colours) {
        raster_error();
        return;
    }
    const int64_t next = int64_t{raster->index} + 1;
    raster->index = next >= raster->count ? 0 : static_cast<int32_t>(next);
}
