#include "effects/font.h"

#include <cstdlib>

const ModuleId font_module = {"FONT", "20080531", "KV"};

void font_error() {}

Font *font_new() {
    Font *font = static_cast<Font *>(calloc(1, sizeof(Font)));
    if (!font) {
        font_error();
        return nullptr;
    }
    font->cell_width = 6;
    font->cell_height = 6;
    return font;
}

void font_destroy(Font **font) {
    if (!font || !*font) {
        font_error();
        return;
    }
    if ((*font)->sheet) img_free(&(*font)->sheet);
    free(*font);
    *font = nullptr;
}

// x is 64-bit because callers step it by whole cells: a position beyond the int range
// lies outside every Image and draws nothing.
static void draw_cell(const Font *font, int64_t code, int64_t x, int32_t y, Image *target) {
    if (!font || !font->sheet) {
        font_error();
        return;
    }
    const Image *sheet = font->sheet;
    if (!target || !target->pixels || !sheet->pixels) {
        img_error();
        return;
    }
    const int64_t cw = font->cell_width, ch = font->cell_height;
    if (cw < 1 || ch < 1 || sheet->width < 1 || x < INT32_MIN || x > INT32_MAX) return;
    // A negative k puts the cell before the sheet's first cell: nothing to copy.
    const int64_t k = code * cw;
    if (k < 0) return;
    const int64_t cell_row = k / sheet->width;
    if (cell_row >= sheet->height) return;
    const int64_t sy = cell_row * ch;
    if (sy >= sheet->height) return;
    img_blit(sheet, target, static_cast<int32_t>(k % sheet->width), static_cast<int32_t>(sy),
             static_cast<int32_t>(x), y, static_cast<int32_t>(cw), static_cast<int32_t>(ch));
}

void font_draw_char(const Font *font, int32_t code, int32_t x, int32_t y, Image *target) {
    draw_cell(font, code, x, y, target);
}

static int32_t hex_digit(uint32_t d) {
    return static_cast<int32_t>(d <= 9 ? d + 48 : d + 55);
}

static void draw_hex8(const Font *font, uint32_t value, int64_t x, int32_t y, Image *target) {
    if (!font) {
        font_error();
        return;
    }
    const uint32_t b = value & 0xFF;
    draw_cell(font, hex_digit(b >> 4), x, y, target);
    draw_cell(font, hex_digit(b & 15), x + font->cell_width, y, target);
}

static void draw_hex16(const Font *font, uint32_t value, int64_t x, int32_t y, Image *target) {
    if (!font) {
        font_error();
        return;
    }
    const uint32_t v = value & 0xFFFF;
    draw_hex8(font, v >> 8, x, y, target);
    draw_hex8(font, v & 0xFF, x + 2 * int64_t{font->cell_width}, y, target);
}

void font_draw_hex8(const Font *font, int32_t value, int32_t x, int32_t y, Image *target) {
    draw_hex8(font, static_cast<uint32_t>(value), x, y, target);
}

void font_draw_hex16(const Font *font, int32_t value, int32_t x, int32_t y, Image *target) {
    draw_hex16(font, static_cast<uint32_t>(value), x, y, target);
}

void font_draw_hex32(const Font *font, uint32_t value, int32_t x, int32_t y, Image *target) {
    if (!font) {
        font_error();
        return;
    }
    draw_hex16(font, value >> 16, x, y, target);
    draw_hex16(font, value & 0xFFFF, x + 4 * int64_t{font->cell_width}, y, target);
}

void font_draw_text(const Font *font, const char *text, int32_t x, int32_t y, Image *target) {
    if (!font || !text) {
        font_error();
        return;
    }
    int64_t px = x;
    for (const char *p = text; *p != '\n' && *p != '\0'; p++) {
        draw_cell(font, static_cast<int8_t>(*p), px, y, target);
        px += font->cell_width;
    }
}
