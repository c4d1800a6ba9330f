// What every image fuzz target asks of an Image a reader returned.
#pragma once

#include <cstdlib>

#include "image/img.h"

// A returned Image always has a sane size; the result tells whether every word is
// 0x00RRGGBB, which is what the writers can carry unchanged.
inline bool fuzz_img_words_are_plain(const Image *img) {
    if (img->width < 0 || img->height < 0 || !img_size_ok(img->width, img->height)) abort();
    const int64_t n = int64_t{img->width} * img->height;
    for (int64_t i = 0; i < n; i++)
        if (img->pixels[i] > 0xFFFFFF) return false;
    return true;
}
