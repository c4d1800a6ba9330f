#include "intro/intro_effects.h"

#include <cstring>

#include "intro/intro.h"
#include "intro/sine_table.h"
#include "sdl/sdldpy.h"

Image *sprite_images[4];
uint8_t sprite_flags;
int32_t sprite_phase[4];
const int32_t sprite_speed[4] = {-11, -9, -5, -7};
const int32_t sprite_spacing[4] = {60, 40, 50, 30};
int32_t sprite_amplitude[4];

namespace {

int64_t sine_at(int64_t index) {
    const int64_t i = index % sine_length;
    return sine_table[i < 0 ? i + sine_length : i];
}

// One sine term of a sprite's position. 64-bit, so that any amplitude a picture's size can
// give stays exact; the shift rounds toward minus infinity.
int64_t sprite_term(int n, int k) {
    return (sine_at(int64_t{sprite_spacing[k]} * n + sprite_phase[k]) * sprite_amplitude[k]) >> 15;
}

int32_t clamp32(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// The part of src that lands inside dst when src's top left corner is put at (x, y).
struct Clip {
    int64_t sx, sy, dx, dy, w, h;
};

// False when there is nothing to draw. Sizes are taken to 64 bits first, so that no
// position or picture size can overflow the comparisons.
bool clip(const Image *src, const Image *dst, int32_t x, int32_t y, Clip *c) {
    c->sx = 0;
    c->sy = 0;
    c->dx = x;
    c->dy = y;
    c->w = src->width;
    c->h = src->height;
    if (c->w + c->dx <= 0 || c->h + c->dy <= 0 || c->dx >= dst->width || c->dy >= dst->height)
        return false;
    if (c->dx < 0) {
        c->sx = -c->dx;
        c->w += c->dx;
        c->dx = 0;
    }
    if (c->dy < 0) {
        c->sy = -c->dy;
        c->h += c->dy;
        c->dy = 0;
    }
    if (c->dx + c->w >= dst->width) c->w = dst->width - c->dx;
    if (c->dy + c->h >= dst->height) c->h = dst->height - c->dy;
    return c->w > 0 && c->h > 0;
}

bool usable(const Image *img) {
    return img && img->pixels;
}

} // namespace

void intro_draw_sprites() {
    if (sprite_flags == 0) return;
    for (const Image *sprite : sprite_images)
        if (!sprite) return;
    // Drawn back to front, so that sprite 0 lies on top.
    for (int n = 3; n >= 0; n--) {
        const Image *sprite = sprite_images[n];
        const int64_t x =
            (int64_t{screen_width} - sprite->width) / 2 + sprite_term(n, 0) + sprite_term(n, 1);
        const int64_t y =
            (int64_t{screen_height} - sprite->height) / 2 + sprite_term(n, 2) + sprite_term(n, 3);
        img_blit(sprite, screen, 0, 0, clamp32(x), clamp32(y), sprite->width, sprite->height);
    }
}

void intro_move_sprites() {
    for (int k = 0; k < 4; k++)
        sprite_phase[k] = intro_wrap(sprite_phase[k] + sprite_speed[k], sine_length);
}

// Combines each source pixel with the target pixel under it, the source's top left corner
// at (x, y), clipped to both images.
template <typename Combine>
static void combine_clipped(const Image *src, Image *dst, int32_t x, int32_t y, Combine combine) {
    if (!usable(src) || !usable(dst)) {
        img_error();
        return;
    }
    Clip c;
    if (!clip(src, dst, x, y, &c)) return;
    // Separate arrays go eight words at a time; within one array a word written may be
    // read again further on, so that goes word by word.
    const bool shared = img_pixels_overlap(src, dst);
    for (int64_t row = 0; row < c.h; row++) {
        const uint32_t *s = src->pixels + (c.sy + row) * src->width + c.sx;
        uint32_t *d = dst->pixels + (c.dy + row) * dst->width + c.dx;
        int64_t col = 0;
        if (!shared)
            for (; col + 8 <= c.w; col += 8) {
                uint32_t from[8], to[8];
                memcpy(from, s + col, sizeof from);
                memcpy(to, d + col, sizeof to);
                for (int k = 0; k < 8; k++) combine(from[k], to[k]);
                memcpy(d + col, to, sizeof to);
            }
        for (; col < c.w; col++) combine(s[col], d[col]);
    }
}

// A plain 32-bit add: a channel sum above 0xFF carries into the next channel up.
void intro_blit_add(const Image *src, Image *dst, int32_t x, int32_t y) {
    combine_clipped(src, dst, x, y, [](uint32_t s, uint32_t &d) { d += s; });
}

void intro_mask(const Image *mask, Image *target) {
    if (!usable(mask) || !usable(target)) {
        img_error();
        return;
    }
    // A target with fewer pixels than the mask is masked only as far as it goes.
    int64_t n = int64_t{mask->width} * mask->height;
    const int64_t room = int64_t{target->width} * target->height;
    if (n > room) n = room;
    for (int64_t i = 0; i < n; i++) target->pixels[i] &= mask->pixels[i];
}

void intro_fade_step(Image *img, uint8_t amount) {
    if (!usable(img)) {
        img_error();
        return;
    }
    for (int32_t y = 0; y < img->height; y++)
        for (int32_t x = 0; x < img->width; x++) {
            const uint32_t p = img_get(img, x, y);
            int32_t r = static_cast<int32_t>((p >> 16) & 0xFF) - amount;
            int32_t g = static_cast<int32_t>((p >> 8) & 0xFF) - amount;
            int32_t b = static_cast<int32_t>(p & 0xFF) - amount;
            if (r < 0) r = 0;
            if (g < 0) g = 0;
            if (b < 0) b = 0;
            img_put(img, x, y, static_cast<uint32_t>(r << 16 | g << 8 | b));
        }
}

// 256 steps: black after 64, then black frames, which keeps the fade's length on screen.
void intro_fade_out() {
    for (int i = 0; i < 256; i++) {
        intro_fade_step(screen, 4);
        dpy_present(intro_display, screen);
    }
}

void intro_blit_average(const Image *src, Image *dst, int32_t x, int32_t y) {
    combine_clipped(src, dst, x, y, [](uint32_t s, uint32_t &d) {
        if (s) d = ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
    });
}
