// A glyph sheet for the effect tests whose every pixel tells which cell it came from.
//
// Pixel (i, j) of the cell of code c is ((c + 1) << 16) | (j << 8) | i, except the cell's
// bottom-right pixel, which is 0 (transparent).
#pragma once

#include <cstdint>
#include <string>

#include "image/img.h"

struct CellPixel {
    int code; // -1 for a pixel of value 0
    int column;
    int row;
};

inline CellPixel decode_pixel(uint32_t p) {
    if (p == 0) return {-1, 0, 0};
    return {static_cast<int>(p >> 16) - 1, static_cast<int>(p & 0xFF),
            static_cast<int>((p >> 8) & 0xFF)};
}

inline Image *make_sheet(int cells_across, int cells_down, int cw, int ch) {
    Image *sheet = img_new();
    img_resize(sheet, cells_across * cw, cells_down * ch);
    for (int c = 0; c < cells_across * cells_down; c++)
        for (int j = 0; j < ch; j++)
            for (int i = 0; i < cw; i++) {
                const uint32_t p = (i == cw - 1 && j == ch - 1)
                                       ? 0
                                       : (uint32_t(c + 1) << 16) | uint32_t(j << 8) | uint32_t(i);
                img_put(sheet, (c % cells_across) * cw + i, (c / cells_across) * ch + j, p);
            }
    return sheet;
}

// The cells drawn in consecutive slots of cw pixels starting at x, read at their row 0
// column 0: the character, or '.' for an empty slot.
inline std::string cells_at(const Image *img, int x, int y, int cw, int slots) {
    std::string s;
    for (int k = 0; k < slots; k++) {
        const CellPixel c = decode_pixel(img_get(img, x + k * cw, y));
        s += (c.code >= 0 && c.column == 0 && c.row == 0) ? static_cast<char>(c.code) : '.';
    }
    return s;
}
