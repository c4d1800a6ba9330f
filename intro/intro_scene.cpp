#include "intro/intro_scene.h"

#include <cstdio>
#include <cstdlib>

#include "effects/font.h"
#include "effects/raster.h"
#include "effects/scroll.h"
#include "intro/data_dir.h"
#include "intro/intro.h"
#include "intro/intro_bars.h"
#include "intro/intro_effects.h"
#include "intro/scroll_text.h"
#include "intro/sine_table.h"

Font *intro_font;
Image *logo_image;
Image *year_image;
Image *rainbow_image;
Scroller *intro_scroller;
Swing swing_a = {0, 13, 0};
Swing swing_b = {233, 17, 0};
Image *scaled_logo;
Image *scaled_year;
Image *scaled_rainbow;
Image *raster_strip;
Image *text_strip;

namespace {

const char *const sprite_files[4] = {"K.ppm", "L.ppm", "O.ppm", "V.ppm"};

// Set once start-up has read every picture it needs; until then a release gives back
// only what exists.
bool scene_read;

// Start-up could not go on: give back what was read, without a word for what never was.
void release_read() {
    for (Image *&sprite : sprite_images)
        if (sprite) img_free(&sprite);
    if (intro_font) font_destroy(&intro_font);
    if (logo_image) img_free(&logo_image);
    if (year_image) img_free(&year_image);
    if (rainbow_image) img_free(&rainbow_image);
}

// A picture the scene cannot do without was not read (load has said which).
int missing() {
    release_read();
    return 0;
}

bool too_large(const char *name, int64_t width, int64_t height) {
    if (width <= intro_picture_max && height <= intro_picture_max) return false;
    fprintf(stderr, "Picture too large: %s (wider or taller than %d pixels)\n", name,
            intro_picture_max);
    return true;
}

// A picture from the data folder, or null after a line on standard error naming it.
Image *load(const char *name) {
    char buf[datadir_path_size];
    const char *path = datadir_path(&data_dir, name, buf, sizeof buf);
    int64_t width, height;
    // The header alone tells a huge picture, before seconds and gigabytes go into its pixels.
    if (path && img_file_size(path, &width, &height) && too_large(name, width, height))
        return nullptr;
    Image *img = img_load(path);
    if (!img) {
        fprintf(stderr, "Could not read picture: %s\n", name);
        return nullptr;
    }
    return img;
}

Image *strip(int32_t width) {
    Image *img = img_new();
    img_resize(img, width, 8);
    return img;
}

// Swaps 10,001 random pairs of the logo's pixels where both are coloured, so the colours
// scatter while the outline (the zero pixels) stays.
void shuffle_logo(Image *logo) {
    if (!logo || logo->width <= 0 || logo->height <= 0) return;
    const int32_t w = logo->width, h = logo->height;
    // rand() is never negative, so every position drawn lies inside the logo. Without
    // pixels every word reads as 0 and nothing is swapped, but the numbers are drawn still.
    uint32_t *const px = logo->pixels;
    for (int i = 0; i < 10001; i++) {
        // Four separate statements: the order of the draws is part of the picture.
        const int32_t x1 = rand() % w;
        const int32_t y1 = rand() % h;
        const int32_t x2 = rand() % w;
        const int32_t y2 = rand() % h;
        if (!px) continue;
        uint32_t &p1 = px[int64_t{y1} * w + x1];
        uint32_t &p2 = px[int64_t{y2} * w + x2];
        const uint32_t v1 = p1, v2 = p2;
        if (v1 && v2) {
            p1 = v2;
            p2 = v1;
        }
    }
}

void noise(Image *img, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return;
    for (int i = 0; i < 11; i++) {
        const int32_t x = rand() % w;
        const int32_t y = rand() % h;
        const uint32_t v = static_cast<uint32_t>(rand() % 255);
        img_put(img, x, y, v * 0x010101);
    }
}

void blit_whole(const Image *src, Image *dst, int32_t x, int32_t y) {
    if (!src) {
        img_error();
        return;
    }
    img_blit(src, dst, 0, 0, x, y, src->width, src->height);
}

void add_rainbow(const Swing &swing, int32_t w) {
    if (!scaled_rainbow) {
        img_error();
        return;
    }
    const int64_t s = sine_table[intro_wrap(swing.phase, sine_length)];
    const int64_t offset = (s * swing.amplitude) >> 16;
    const int64_t x = (int64_t{w} - scaled_rainbow->width) / 2 + offset;
    intro_blit_add(scaled_rainbow, screen, static_cast<int32_t>(x), 0);
}

} // namespace

int intro_scene_start() {
    intro_font = font_new();
    if (intro_font) {
        intro_font->cell_width = 8;
        intro_font->cell_height = 8;
        intro_font->sheet = load("font8x8.pbm");
    }
    for (int i = 0; i < 4; i++) sprite_images[i] = load(sprite_files[i]);
    const Image *k = sprite_images[0];
    if (!k) return missing();
    // The configured mode, not the display's, and the first letter's size for all four.
    sprite_amplitude[0] = sprite_amplitude[1] =
        static_cast<int32_t>((int64_t{screen_width} - k->width) / 2);
    sprite_amplitude[2] = sprite_amplitude[3] =
        static_cast<int32_t>((int64_t{screen_height} - k->height) / 2);
    logo_image = load("klov-tamblor.ppm");
    if (!logo_image) return missing();
    year_image = load("klov-2008.ppm");
    if (!year_image) return missing();
    rainbow_image = load("klov-rainbow.ppm");
    if (!rainbow_image) return missing();
    scene_read = true;
    return 1;
}

void intro_scene_setup() {
    if (!screen) {
        img_error();
        return;
    }
    const int32_t w = screen->width, h = screen->height;
    swing_a.amplitude = w;
    swing_b.amplitude = w * 3 / 2;
    scaled_logo = img_scale(logo_image, w, h / 2);
    scaled_year = img_scale(year_image, w / 6, h / 4);
    scaled_rainbow = img_scale(rainbow_image, w / 2, h);
    raster_strip = strip(w);
    text_strip = strip(w);
    intro_scroller = scroll_new();
    scroll_set(intro_scroller, scroll_text, intro_font, text_strip);
    if (intro_scroller && text_strip && intro_font) {
        intro_scroller->x = 0;
        intro_scroller->y = text_strip->height - intro_font->cell_height;
        intro_scroller->width = text_strip->width;
    }
}

void intro_scene_compose() {
    if (!screen) {
        img_error();
        return;
    }
    const int32_t w = screen->width, h = screen->height;
    shuffle_logo(scaled_logo);
    img_clear(screen);
    noise(screen, w, h);
    blit_whole(scaled_logo, screen, 0, h / 5);
    blit_whole(scaled_year, screen, w * 3 / 4, h * 2 / 3);
    add_rainbow(swing_a, w);
    add_rainbow(swing_b, w);
    raster_draw(&intro_bars, raster_strip);
    raster_advance(&intro_bars);
    img_clear(text_strip);
    scroll_draw(intro_scroller);
    scroll_step(intro_scroller);
    intro_mask(raster_strip, text_strip);
    blit_whole(text_strip, screen, 0, h - 8);
    intro_draw_sprites();
    intro_move_sprites();
}

void intro_scene_after_present() {
    swing_a.phase = intro_wrap(swing_a.phase + swing_a.speed, sine_length);
    swing_b.phase = intro_wrap(swing_b.phase + swing_b.speed, sine_length);
}

void intro_scene_key(int8_t code) {
    switch (code) {
    case ' ':
    case '6':
        sprite_flags ^= 2;
        break;
    case '3':
        sprite_flags ^= 1;
        break;
    case '7':
        sprite_flags ^= 4;
        break;
    case 'o':
    case 'p':
        if (!intro_scroller) break;
        // No limit a player could reach; the bound only keeps the sum from overflowing.
        if (code == 'o' && intro_scroller->speed > -(1 << 30)) intro_scroller->speed--;
        if (code == 'p' && intro_scroller->speed < (1 << 30)) intro_scroller->speed++;
        break;
    default:
        break;
    }
}

void intro_scene_release_frame() {
    img_free(&scaled_logo);
    img_free(&scaled_year);
    img_free(&scaled_rainbow);
    img_free(&raster_strip);
    img_free(&text_strip);
}

void intro_scene_release() {
    if (!scene_read) {
        release_read(); // start-up stopped early and has released it all already
        return;
    }
    scene_read = false;
    // A letter that was never read says so once more here, as every release of nothing does.
    for (Image *&sprite : sprite_images) img_free(&sprite);
    font_destroy(&intro_font);
    img_free(&logo_image);
    img_free(&year_image);
    img_free(&rainbow_image);
    scroll_destroy(&intro_scroller);
}
