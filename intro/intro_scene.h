// The scene's share of start-up, the frame cycle, the keys and shutdown.
#pragma once

#include <cstdint>

// Reads the font, sprites and pictures. Returns 0, after one line on standard error, when
// a picture the scene cannot do without is missing.
int intro_scene_start();
void intro_scene_setup();         // the working images and the scroller
void intro_scene_compose();       // one frame into screen
void intro_scene_after_present(); // the rainbow swings advance
void intro_scene_key(int8_t code);
void intro_scene_release_frame(); // the working images
void intro_scene_release();       // sprites, font, pictures, scroller
