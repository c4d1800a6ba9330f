// render_text <font8x8.pbm> <out.ppm> <width> <text>: draws one line of text with the
// 8 x 8 glyph sheet through the font module, white on black, into a width x 8 picture.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "effects/font.h"
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
    Font *font = font_new();
    font->cell_width = font->cell_height = 8;
    font->sheet = img_load(argv[1]);
    if (!font->sheet) {
        font_destroy(&font);
        return 1;
    }
    Image *line = img_new();
    img_resize(line, width, 8);
    const std::string text = std::string(argv[4]) + "\n";
    font_draw_text(font, text.c_str(), 0, 0, line);
    const int ok = img_save(line, argv[2]);
    img_free(&line);
    font_destroy(&font);
    return ok ? 0 : 1;
}
