#include "sdl/sdldpy.h"

#include <SDL/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

const ModuleId dpy_module = {"SDLDPY", "20080403", "KV"};

static Display *the_display;
static SDL_Surface *screen_surface; // from SDL_SetVideoMode; null while no mode is set
static uint32_t video_flags;
static int double_buffer;

// Image words are 0x00RRGGBB.
static const uint32_t red_mask = 0x00FF0000, green_mask = 0x0000FF00, blue_mask = 0x000000FF;

void dpy_error() {}

int dpy_exists() {
    return the_display != nullptr;
}

int dpy_ready(const Display *d) {
    return d && d == the_display && screen_surface;
}

// Where SDL 1.2 runs over SDL2, the frame is scaled to the screen with a smoothing filter
// unless the user chose a method; pixel art stays sharp with the nearest pixel. Set before
// SDL starts (both ways in here can be the first); other SDLs ignore the variable.
static void ask_for_sharp_pixels() {
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
}

Display *dpy_new() {
    if (the_display) {
        dpy_error();
        return the_display;
    }
    video_flags = dpy_video_flags;
    Display *d = static_cast<Display *>(calloc(1, sizeof(Display)));
    if (!d) {
        dpy_error();
        return nullptr;
    }
    the_display = d;
    ask_for_sharp_pixels();
    dpy_resize(d, 256, 256);
    return d;
}

void dpy_free(Display **d) {
    if (!d || !*d || *d != the_display) {
        dpy_error();
        return;
    }
    // SDL keeps its video surface itself; this hands it back for form's sake.
    SDL_FreeSurface(screen_surface);
    screen_surface = nullptr;
    free(the_display);
    the_display = nullptr;
    *d = nullptr;
}

void dpy_resize(Display *d, int32_t width, int32_t height) {
    if (!d || d != the_display || width < 0 || height < 0) {
        dpy_error();
        return;
    }
    if (screen_surface) SDL_FreeSurface(screen_surface);
    screen_surface = SDL_SetVideoMode(width, height, 0, video_flags);
    if (!screen_surface) {
        dpy_error();
        return;
    }
    SDL_WM_SetCaption(dpy_caption, dpy_caption);
    d->depth = screen_surface->format->BitsPerPixel;
    // The surface's own size: SDL may pick one for a size of 0.
    d->width = screen_surface->w;
    d->height = screen_surface->h;
    double_buffer = (screen_surface->flags & SDL_DOUBLEBUF) ? 1 : 0;
}

static void show_screen() {
    if (double_buffer)
        SDL_Flip(screen_surface);
    else
        SDL_UpdateRect(screen_surface, 0, 0, 0, 0);
}

static bool can_present(const Display *d, const Image *img) {
    return dpy_ready(d) && img && img->pixels;
}

// Whether the screen memory holds exactly the Image words of the Display's size, so that a
// frame can go there as one block.
static bool screen_is_image_layout(const Display *d) {
    const SDL_Surface *s = screen_surface;
    const SDL_PixelFormat *f = s->format;
    return f->BytesPerPixel == 4 && f->Rmask == red_mask && f->Gmask == green_mask &&
           f->Bmask == blue_mask && s->w == d->width && s->h == d->height &&
           s->pitch == d->width * 4;
}

// SDL keeps a surface's row length in 16 bits.
static bool row_length_fits(const Image *img) {
    return img->width <= 0xFFFF / 4;
}

// SDL 1.2 turns rows of 0x00RRGGBB words into palette indices wrongly (every pixel of a row
// becomes the row's first one); from the opposite byte order it converts them right.
static SDL_Surface *to_reversed_bytes(SDL_Surface *from) {
    SDL_Surface *bgr = SDL_CreateRGBSurface(SDL_SWSURFACE, from->w, from->h, 32, blue_mask,
                                            green_mask, red_mask, 0);
    if (!bgr) return nullptr;
    SDL_SetAlpha(from, 0, SDL_ALPHA_OPAQUE); // a plain copy, whatever the top bytes hold
    SDL_BlitSurface(from, nullptr, bgr, nullptr);
    return bgr;
}

// Blits the top-left w x h part of the Image to the top-left of the screen, converted to
// the screen's format, and shows the screen. Nothing is shown when SDL cannot make the
// surfaces it needs.
static void show_converted(const Image *img, int w, int h) {
    if (w <= 0 || h <= 0 || !row_length_fits(img)) return;
    // A 32-bit surface over the Image's own memory, each row at the Image's row length.
    SDL_Surface *tmp = SDL_CreateRGBSurfaceFrom(img->pixels, w, h, 32, img->width * 4, red_mask,
                                                green_mask, blue_mask, 0xFF000000);
    if (!tmp) return;
    SDL_Surface *conv =
        screen_surface->format->palette ? to_reversed_bytes(tmp) : SDL_DisplayFormat(tmp);
    SDL_FreeSurface(tmp);
    if (!conv) return;
    SDL_UpperBlit(conv, nullptr, screen_surface, nullptr);
    SDL_FreeSurface(conv);
    show_screen();
}

// The checks of the two same-size presenters. False when the frame was refused, or when it
// has been shown through the conversion because the screen's layout is not the Image's.
static bool takes_image_directly(Display *d, const Image *img) {
    if (!can_present(d, img) || img->width != d->width || img->height != d->height) {
        dpy_error();
        return false;
    }
    if (!screen_is_image_layout(d)) {
        show_converted(img, img->width, img->height);
        return false;
    }
    return true;
}

void dpy_present(Display *d, const Image *img) {
    if (!takes_image_directly(d, img)) return;
    SDL_LockSurface(screen_surface);
    memcpy(screen_surface->pixels, img->pixels, size_t(img->width) * img->height * 4);
    SDL_UnlockSurface(screen_surface);
    show_screen();
}

void dpy_present_alias(Display *d, const Image *img) {
    if (!takes_image_directly(d, img)) return;
    SDL_LockSurface(screen_surface);
    void *own = screen_surface->pixels;
    screen_surface->pixels = img->pixels;
    show_screen();
    screen_surface->pixels = own;
    SDL_UnlockSurface(screen_surface);
}

void dpy_present_convert(Display *d, const Image *img) {
    if (!can_present(d, img)) {
        dpy_error();
        return;
    }
    show_converted(img, img->width < d->width ? img->width : d->width,
                   img->height < d->height ? img->height : d->height);
}

const char *dpy_to_text(const Display *d) {
    if (!d || d != the_display) {
        dpy_error();
        return nullptr;
    }
    return "";
}

Display *dpy_from_text(const char *text) {
    if (!text || the_display) dpy_error();
    return nullptr;
}

int dpy_equal(const Display *a, const Display *b) {
    if (a && b && a == b && a == the_display) return 1;
    dpy_error();
    return 0;
}

Display *dpy_copy(Display *d) {
    if (d && d == the_display) return d;
    dpy_error();
    return nullptr;
}

// SDL falls back by itself to drivers that draw characters into the terminal or into
// memory; a person could neither see the intro there nor stop it. A driver named in
// SDL_VIDEODRIVER is the user's choice and always honoured.
const char *dpy_blind_driver(char *name, int size) {
    const char *chosen = getenv("SDL_VIDEODRIVER");
    if ((chosen && *chosen) || !name || size <= 0) return nullptr;
    // A text-mode driver takes over standard output as it starts: while SDL is asked, that
    // goes nowhere, so the terminal (or a file) is left as it was.
    ask_for_sharp_pixels();
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
    const char *blind_name = nullptr;
    // A failure to start is reported by the mode setting that follows.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && SDL_VideoDriverName(name, size)) {
        static const char *const blind[] = {"aalib", "caca", "dummy", "offscreen"};
        for (const char *b : blind)
            if (strcmp(name, b) == 0) blind_name = name;
        if (blind_name) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    fflush(stdout);
    if (saved >= 0) {
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    if (null >= 0) close(null);
    return blind_name;
}
