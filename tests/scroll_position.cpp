// Finds where the scroll text stands in a screenshot of the running intro.
//
//   scroll_position <data folder> <screenshot.ppm>
//
// Prints the text's pixel position at the left edge of the screen, in 0 .. 8 x length - 1.
// Each row of the text line shows its glyphs in one bar colour over whatever lies behind
// (black, rainbow columns): the row's colour is the bar colour seen most in it, and the
// glyph pattern of those pixels is matched against the whole text at every position.
// Exit status 1 when no position matches well (no text line in the picture).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effects/font.h"
#include "image/img.h"
#include "intro/intro_bars.h"
#include "intro/scroll_text.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: scroll_position <data folder> <screenshot.ppm>\n");
        return 2;
    }
    Font *font = font_new();
    font->cell_width = font->cell_height = 8;
    font->sheet = img_load((std::string(argv[1]) + "/font8x8.pbm").c_str());
    Image *shot = img_load(argv[2]);
    if (!font->sheet || !shot || shot->width < 640 || shot->height < 8) return 2;

    const int length = int(strlen(scroll_text)) * 8;
    Image *line = img_new();
    img_resize(line, length, 8);
    img_clear(line);
    font_draw_text(font, scroll_text, 0, 0, line);

    const int top = shot->height - 8;
    std::vector<std::vector<bool>> on(8, std::vector<bool>(640));
    for (int r = 0; r < 8; r++) {
        int best = 0;
        uint32_t colour = 0;
        for (int b = 0; b < intro_bars.count; b++) {
            int n = 0;
            for (int c = 0; c < 640; c++) n += img_get(shot, c, top + r) == intro_bars.colours[b];
            if (n > best) best = n, colour = intro_bars.colours[b];
        }
        for (int c = 0; c < 640; c++) on[r][c] = best > 0 && img_get(shot, c, top + r) == colour;
    }
    int best_position = -1, best_agree = -1;
    for (int p = 0; p < length; p++) {
        int agree = 0;
        for (int r = 0; r < 8; r++)
            for (int c = 0; c < 640; c++)
                agree += on[r][c] == (img_get(line, (p + c) % length, r) != 0);
        if (agree > best_agree) best_agree = agree, best_position = p;
    }
    printf("%d\n", best_position);
    const bool found = best_agree >= 640 * 8 * 97 / 100;
    if (!found)
        fprintf(stderr, "best position %d matches %d of %d pixels\n", best_position, best_agree,
                640 * 8);
    img_free(&line);
    img_free(&shot);
    font_destroy(&font);
    return found ? 0 : 1;
}
