// render_text <font8x8.pbm> <out.ppm> <width> <text>: draws one line of text with the
// 8 x 8 glyph sheet, white on black, into a width x 8 picture, cell by cell as the font
// draws it (code c at column c mod 16, row c div 16 of a 128-pixel sheet).
#include <cstdio>
#include <cstdlib>

#include "image/img.h"

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: render_text <font8x8.pbm> <out.ppm> <width> <text>\n");
        return 2;
    }
    const int width = atoi(argv[3]);
    if (width <= 0) {
        fprintf(stderr, "render_text: the width must be positive\n");
        return 2;
    }
    Image *sheet = img_load(argv[1]);
    if (!sheet) return 1;
    Image *line = img_new();
    img_resize(line, width, 8);
    int x = 0;
    for (const char *p = argv[4]; *p; p++, x += 8) {
        const int k = static_cast<signed char>(*p) * 8;
        if (k < 0) continue;
        img_blit(sheet, line, k % sheet->width, k / sheet->width * 8, x, 0, 8, 8);
    }
    const int ok = img_save(line, argv[2]);
    img_free(&line);
    img_free(&sheet);
    return ok ? 0 : 1;
}
