// Reading SDL's screen surface back as Image words, on a screen of any format.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>
#include <string>
#include <vector>

#include "image/img.h"

inline uint32_t screen_word(int x, int y) {
    SDL_Surface *s = SDL_GetVideoSurface();
    SDL_LockSurface(s);
    const uint8_t *p =
        static_cast<const uint8_t *>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t raw = 0;
    switch (s->format->BytesPerPixel) {
    case 1:
        raw = *p;
        break;
    case 2:
        raw = *reinterpret_cast<const uint16_t *>(p);
        break;
    case 3:
        raw = p[0] | p[1] << 8 | p[2] << 16;
        break;
    default:
        raw = *reinterpret_cast<const uint32_t *>(p);
        break;
    }
    SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(raw, s->format, &r, &g, &b);
    return uint32_t(r) << 16 | g << 8 | b;
}

// Colours the screen shows exactly: palette entries on a screen with a palette.
inline std::vector<uint32_t> exact_colours() {
    const SDL_Palette *pal = SDL_GetVideoSurface()->format->palette;
    if (!pal)
        return {0x000001, 0x123456, 0xFEDCBA, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x7F80FF};
    std::vector<uint32_t> colours;
    for (int i = 1; i < pal->ncolors; i += 37) {
        const SDL_Color &c = pal->colors[i];
        colours.push_back(uint32_t(c.r) << 16 | c.g << 8 | c.b);
    }
    return colours;
}

// An Image whose pixels differ from their neighbours, in colours the screen shows exactly.
inline Image *pattern_image(int w, int h) {
    std::vector<uint32_t> colours = exact_colours();
    Image *img = img_new();
    img_resize(img, w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img_put(img, x, y, colours[(x * 3 + y * 7 + x / 5) % colours.size()]);
    return img;
}

// Fills the whole screen surface with one colour the screen shows exactly.
inline uint32_t fill_screen(size_t colour_index) {
    std::vector<uint32_t> colours = exact_colours();
    uint32_t word = colours[colour_index % colours.size()];
    SDL_Surface *s = SDL_GetVideoSurface();
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, word >> 16, word >> 8 & 0xFF, word & 0xFF));
    return word;
}

// The first place where the screen's top-left w x h differs from the Image, or "".
inline std::string screen_differs_from(const Image *img, int w, int h) {
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (screen_word(x, y) != img_get(img, x, y))
                return "at " + std::to_string(x) + "," + std::to_string(y) + ": screen " +
                       std::to_string(screen_word(x, y)) + ", image " +
                       std::to_string(img_get(img, x, y));
    return "";
}

// The number of screen pixels in the rectangle that do not hold the given word.
inline long screen_pixels_not(uint32_t word, int x0, int y0, int w, int h) {
    long n = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) n += screen_word(x, y) != word;
    return n;
}

inline bool video_driver_is(const char *name) {
    char buf[32] = "";
    return SDL_VideoDriverName(buf, sizeof buf) && std::string(buf) == name;
}
