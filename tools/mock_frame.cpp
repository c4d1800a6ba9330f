// mock_frame <datadir> <frame> <out.ppm>: a stand-in for one frame of the intro, composed
// from the data files the way the scene does it (shuffled logo, noise, year, two additive
// rainbow columns, a coloured text line, the letters), to judge the pictures together.
// The raster colours and the text are stand-ins; the sprites are always shown.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/img.h"
#include "intro/sine_table.h"

namespace {

constexpr int W = 640, H = 480;

Image *load(const std::string &dir, const char *name) {
    Image *img = img_load((dir + "/" + name).c_str());
    if (!img) fprintf(stderr, "mock_frame: cannot read %s/%s\n", dir.c_str(), name);
    return img;
}

// Nearest neighbour, enough for a preview.
Image *scaled(const Image *src, int w, int h) {
    Image *out = img_new();
    img_resize(out, w, h);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            img_put(out, x, y, img_get(src, x * src->width / w, y * src->height / h));
        }
    }
    return out;
}

// Plain 32-bit sums: a channel that passes 0xFF carries into the next one up.
void add_onto(const Image *src, Image *dst, int x0, int y0) {
    for (int y = 0; y < src->height; y++) {
        for (int x = 0; x < src->width; x++) {
            const int tx = x0 + x, ty = y0 + y;
            if (tx < 0 || ty < 0 || tx >= dst->width || ty >= dst->height) continue;
            dst->pixels[ty * dst->width + tx] += src->pixels[y * src->width + x];
        }
    }
}

int wrap(int v) {
    return ((v % 1024) + 1024) % 1024;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: mock_frame <datadir> <frame> <out.ppm>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int frame = atoi(argv[2]);
    Image *font = load(dir, "font8x8.pbm");
    Image *letters[4] = {load(dir, "K.ppm"), load(dir, "L.ppm"), load(dir, "O.ppm"),
                         load(dir, "V.ppm")};
    Image *logo_src = load(dir, "klov-tamblor.ppm");
    Image *year_src = load(dir, "klov-2008.ppm");
    Image *rainbow_src = load(dir, "klov-rainbow.ppm");
    if (!font || !letters[0] || !letters[1] || !letters[2] || !letters[3] || !logo_src ||
        !year_src || !rainbow_src) {
        return 1;
    }
    Image *logo = scaled(logo_src, W, H / 2);
    Image *year = scaled(year_src, W / 6, H / 4);
    Image *rainbow = scaled(rainbow_src, W / 2, H);
    Image *screen = img_new();
    img_resize(screen, W, H);

    for (int f = 0; f <= frame; f++) {
        for (int i = 0; i < 10001; i++) {
            const int x1 = rand() % logo->width, y1 = rand() % logo->height;
            const int x2 = rand() % logo->width, y2 = rand() % logo->height;
            const uint32_t p1 = img_get(logo, x1, y1), p2 = img_get(logo, x2, y2);
            if (p1 && p2) {
                img_put(logo, x1, y1, p2);
                img_put(logo, x2, y2, p1);
            }
        }
        img_clear(screen);
        for (int i = 0; i < 11; i++) {
            const int x = rand() % W, y = rand() % H;
            img_put(screen, x, y, static_cast<uint32_t>(rand() % 255) * 0x010101);
        }
    }
    img_blit(logo, screen, 0, 0, 0, H / 5, logo->width, logo->height);
    img_blit(year, screen, 0, 0, W * 3 / 4, H * 2 / 3, year->width, year->height);
    const int swings[2][2] = {{wrap(13 * frame), W}, {wrap(233 + 17 * frame), W * 3 / 2}};
    for (const auto &s : swings) {
        const int offset = (sine_table[s[0]] * s[1]) >> 16;
        add_onto(rainbow, screen, (W - rainbow->width) / 2 + offset, 0);
    }

    const char *text = "KLOV PRESENTS A LITTLE INTRO - GREETINGS TO EVERYONE AT THE PARTY! 2008";
    for (int i = 0; text[i]; i++) {
        const int k = text[i] * 8;
        for (int y = 0; y < 8; y++) {
            // A stand-in for the raster bars: warm rows rolling with the frame.
            const int v = (y + frame) % 8;
            const uint32_t colour = 0xFF0000u | static_cast<uint32_t>(0x40 + v * 0x1A) << 8 |
                                    static_cast<uint32_t>(v * 0x20);
            for (int x = 0; x < 8; x++) {
                if (img_get(font, k % font->width + x, k / font->width * 8 + y)) {
                    img_put(screen, i * 8 + x, H - 8 + y, colour);
                }
            }
        }
    }

    const int speed[4] = {-11, -9, -5, -7}, spacing[4] = {60, 40, 50, 30};
    const int amp[4] = {(W - letters[0]->width) / 2, (W - letters[0]->width) / 2,
                        (H - letters[0]->height) / 2, (H - letters[0]->height) / 2};
    int phase[4];
    for (int k = 0; k < 4; k++) phase[k] = wrap(speed[k] * frame);
    for (int n = 3; n >= 0; n--) {
        auto term = [&](int k) {
            return (sine_table[(spacing[k] * n + phase[k]) % 1024] * amp[k]) >> 15;
        };
        const int x = (W - letters[n]->width) / 2 + term(0) + term(1);
        const int y = (H - letters[n]->height) / 2 + term(2) + term(3);
        img_blit(letters[n], screen, 0, 0, x, y, letters[n]->width, letters[n]->height);
    }

    const int ok = img_save(screen, argv[3]);
    Image **all[] = {&font,     &letters[0],  &letters[1], &letters[2], &letters[3], &logo_src,
                     &year_src, &rainbow_src, &logo,       &year,       &rainbow,    &screen};
    for (Image **img : all) img_free(img);
    return ok ? 0 : 1;
}
