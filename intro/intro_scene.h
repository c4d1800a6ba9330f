// The scene's share of start-up, the frame cycle, the keys and shutdown.
#pragma once

#include <cstdint>

#include "image/img.h"

// The widest and tallest picture the scene reads: far more than the screen can show.
constexpr int32_t intro_picture_max = 4096;

// Reads the font, sprites and pictures; each one that cannot be read, or is larger than
// intro_picture_max either way, is named in one line on standard error. Returns 0 when it is
// one the scene cannot do without.
int intro_scene_start();
void intro_scene_setup();         // the working images and the scroller
void intro_scene_compose();       // one frame into screen
void intro_scene_after_present(); // the rainbow swings advance
void intro_scene_key(int8_t code);
void intro_scene_release_frame(); // the working images
void intro_scene_release();       // sprites, font, pictures, scroller

// The scene's state, open to the tests and the benchmark.
struct Font;
struct Scroller;

// A rainbow column swings about the screen's centre by amplitude * sine(phase).
struct Swing {
    int32_t phase; // in 0 .. sine_length - 1
    int32_t speed; // added to the phase after each present
    int32_t amplitude;
};

extern Font *intro_font;
extern Image *logo_image;
extern Image *year_image;
extern Image *rainbow_image;
extern Scroller *intro_scroller;
extern Swing swing_a;
extern Swing swing_b;
// The frame cycle's working images.
extern Image *scaled_logo; // shuffled in place, frame after frame
extern Image *scaled_year;
extern Image *scaled_rainbow;
extern Image *raster_strip;
extern Image *text_strip;
