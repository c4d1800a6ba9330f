// The intro's own drawing: the bouncing letter sprites, the additive copy of the rainbow
// columns, the mask that colours the scroll text, and a fade and a blend copy that the
// frame cycle keeps in reserve.
#pragma once

#include <cstdint>

#include "image/img.h"

// Sprite 0 is "K.ppm"; its size sets the amplitudes of all four (intro_scene_start).
extern Image *sprite_images[4];
extern uint8_t sprite_flags; // drawn while non-zero; the keys toggle single values
// Four sine terms: 0 and 1 move the sprites sideways, 2 and 3 up and down.
extern int32_t sprite_phase[4]; // each in 0 .. sine_length - 1
extern const int32_t sprite_speed[4];
extern const int32_t sprite_spacing[4]; // phase distance from one sprite to the next
extern int32_t sprite_amplitude[4];

void intro_draw_sprites(); // into screen, sprite 0 on top
void intro_move_sprites(); // one frame on
// target += source as plain 32-bit words, so a full channel carries into the next one up.
void intro_blit_add(const Image *src, Image *dst, int32_t x, int32_t y);
void intro_mask(const Image *mask, Image *target); // target &= mask, pixel by pixel
void intro_fade_step(Image *img, uint8_t amount);  // each channel down by amount, at least 0
void intro_fade_out();                             // screen to black on the display
// The source's non-zero pixels blended half and half into the target.
void intro_blit_average(const Image *src, Image *dst, int32_t x, int32_t y);
