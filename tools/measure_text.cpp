// measure_text [data folder]: figures for the font and the scroll text.
//   - each capital's ink width (leftmost to rightmost set column of its cell);
//   - the set pixels in the lowest inked row of V, W and v (a firm foot has more than one);
//   - the scroll text's length, its leading and trailing blanks, and any character that the
//     glyph sheet cannot draw or that lies outside A-Z 0-9 blank # . : - , & !;
//   - the first frame, composed by the intro's own scene, whose text line shows a pixel,
//     and the column where that pixel is (the right edge, 639, when the text scrolls in).
// The data folder defaults to data/.
#include <cstdio>
#include <cstring>
#include <string>

#include "effects/font.h"
#include "image/img.h"
#include "intro/data_dir.h"
#include "intro/intro.h"
#include "intro/intro_scene.h"
#include "intro/scroll_text.h"

namespace {

bool ink(const Image *sheet, int code, int x, int y) {
    if (code < 0) return false;
    const int k = code * 8;
    const int sx = k % sheet->width + x, sy = k / sheet->width * 8 + y;
    if (sy >= sheet->height) return false;
    return img_get(sheet, sx, sy) != 0;
}

// Width of the glyph's ink, 0 for an empty cell.
int ink_width(const Image *sheet, int code) {
    int lo = 8, hi = -1;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            if (ink(sheet, code, x, y)) {
                if (x < lo) lo = x;
                if (x > hi) hi = x;
            }
    return hi < 0 ? 0 : hi - lo + 1;
}

// Set pixels in the lowest row that has any.
int foot(const Image *sheet, int code) {
    for (int y = 7; y >= 0; y--) {
        int n = 0;
        for (int x = 0; x < 8; x++) n += ink(sheet, code, x, y);
        if (n) return n;
    }
    return 0;
}

bool empty_cell(const Image *sheet, int code) {
    return ink_width(sheet, code) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: measure_text [data folder]\n");
        return 2;
    }
    const std::string folder = argc == 2 ? argv[1] : "data";
    Image *sheet = img_load((folder + "/font8x8.pbm").c_str());
    if (!sheet) return 1;

    printf("capitals' ink width:");
    int narrowest = 8, widest = 0;
    for (int c = 'A'; c <= 'Z'; c++) {
        const int w = ink_width(sheet, c);
        printf(" %c%d", c, w);
        if (w < narrowest) narrowest = w;
        if (w > widest) widest = w;
    }
    printf("  (%d to %d)\n", narrowest, widest);
    printf("pixels in the lowest row: V %d, W %d, v %d\n", foot(sheet, 'V'), foot(sheet, 'W'),
           foot(sheet, 'v'));

    const size_t length = strlen(scroll_text);
    size_t lead = 0, trail = 0;
    while (lead < length && scroll_text[lead] == ' ') lead++;
    while (trail < length && scroll_text[length - 1 - trail] == ' ') trail++;
    printf("scroll text: %zu characters, %zu of them between the leading and trailing blanks "
           "(%zu and %zu)\n",
           length, length - lead - trail, lead, trail);
    std::string undrawable, unlisted;
    for (size_t i = 0; i < length; i++) {
        const char c = scroll_text[i];
        if (c != ' ' && empty_cell(sheet, static_cast<signed char>(c))) undrawable += c;
        const bool listed =
            (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c && strchr(" #.:-,&!", c));
        if (!listed) unlisted += c;
    }
    printf("characters the font cannot draw: %s\n",
           undrawable.empty() ? "none" : undrawable.c_str());
    printf("characters outside A-Z 0-9 blank # . : - , & !: %s\n",
           unlisted.empty() ? "none" : unlisted.c_str());
    img_free(&sheet);

    // The scene as the intro composes it, frame after frame, until the text line shows ink.
    if (!datadir_find(&data_dir, folder.c_str(), nullptr)) return 1;
    screen = img_new();
    img_resize(screen, screen_width, screen_height);
    if (!intro_scene_start()) return 1;
    intro_scene_setup();
    const int last = 2000;
    int frame = 0, column = -1;
    for (; frame <= last && column < 0; frame++) {
        intro_scene_compose();
        for (int32_t x = 0; x < text_strip->width && column < 0; x++)
            for (int32_t y = 0; y < text_strip->height; y++)
                if (img_get(text_strip, x, y)) {
                    column = x;
                    break;
                }
        if (column < 0) intro_scene_after_present();
    }
    if (column < 0)
        printf("no text pixel in frames 0 to %d\n", last);
    else
        printf("first text pixel: frame %d, column %d of %d\n", frame - 1, column,
               text_strip->width);
    intro_scene_release_frame();
    intro_scene_release();
    img_free(&screen);
    return 0;
}
