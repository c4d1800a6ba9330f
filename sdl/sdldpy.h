// SDLDPY: the program's one video output, an SDL screen surface with a caption, and the
// operations that put a finished Image on it.
//
// At most one Display exists at a time. Every failure is silent: the call has no effect
// and the caller sees only a null or zero result.
#pragma once

#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"

struct Display {
    int32_t width; // of the current video mode
    int32_t height;
    int32_t depth; // bits a pixel of the screen surface
};

extern const ModuleId dpy_module;

// The two build settings, the only differences between the programs. They come from
// sdl/sdldpy_config.cpp, which each program compiles for itself.
extern const char dpy_caption[];
extern const uint32_t dpy_video_flags;

Display *dpy_new(); // sets a 256 x 256 mode; returns the Display even when that fails
void dpy_free(Display **d);
void dpy_resize(Display *d, int32_t width, int32_t height);
void dpy_present(Display *d, const Image *img);         // same size as the Display
void dpy_present_alias(Display *d, const Image *img);   // same size as the Display
void dpy_present_convert(Display *d, const Image *img); // any size, to the top-left
const char *dpy_to_text(const Display *d);              // constant "", not to be freed
Display *dpy_from_text(const char *text);               // always null
int dpy_equal(const Display *a, const Display *b);
Display *dpy_copy(Display *d); // the Display itself
void dpy_error();

int dpy_exists(); // 1 while the Display exists (the keyboard needs it)
// 1 when d is the Display and a video mode is set, so that the presenters can work.
int dpy_ready(const Display *d);
// The name of the video driver SDL picked by itself when it is one that no person can see
// or type into (the text-mode, off-screen and dummy drivers), or null. Brings up SDL's video
// for the question. name receives the driver's name.
const char *dpy_blind_driver(char *name, int size);
