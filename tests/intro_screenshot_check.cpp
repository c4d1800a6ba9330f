// Checks a screenshot of the running intro against what the scene must show.
//
//   intro_screenshot_check <data folder> <screenshot.ppm> <sprites: 0 or 1>
//
// The intro runs unpaced, so the frame caught is not known in advance. The text line
// tells the frame number modulo 120 (its rows take the bar colours (f + i) mod 120), and
// of the 128 frame numbers below 15,360 that agree with it, the one whose two rainbow
// columns match the rows above the logo is the frame shown (the swings and the sprite
// paths repeat every 1,024 frames). Then every part is checked at its place: the rainbow
// columns with their carries, the year picture at (480, 320), the logo's outline with
// the logo's own colours inside it, the coloured text, and the sprites, which must show
// or not as asked. The checker knows nothing of the random sequence, so it allows the
// eleven noise dots wherever it cannot tell them apart.
//
// Exit status: 0 all as expected; 2 only the sprites are not as asked; 1 anything else.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "image/img.h"
#include "intro/intro_bars.h"
#include "intro/sine_table.h"

namespace {

constexpr int W = 640, H = 480;
const int32_t sprite_speed[4] = {-11, -9, -5, -7};
const int32_t sprite_spacing[4] = {60, 40, 50, 30};

Image *load(const std::string &path) {
    Image *img = img_load(path.c_str());
    if (!img) fprintf(stderr, "cannot read %s\n", path.c_str());
    return img;
}

int32_t wrap(int64_t a, int32_t n) {
    int64_t r = a % n;
    return static_cast<int32_t>(r < 0 ? r + n : r);
}

struct Frame {
    int32_t xa, xb;       // the rainbow columns' left edges
    int32_t sx[4], sy[4]; // the sprites' top left corners
};

struct Checker {
    Image *shot, *logo, *year, *rainbow, *sprites[4];
    bool expect_sprites;
    int failures = 0;

    void fail(const char *what, int count) {
        fprintf(stderr, "%s: %d pixels wrong\n", what, count);
        failures++;
    }

    Frame frame_at(int64_t k) const {
        Frame f;
        auto column = [&](int32_t phase, int32_t amplitude) {
            return (W - rainbow->width) / 2 +
                   static_cast<int32_t>((int64_t{sine_table[phase]} * amplitude) >> 16);
        };
        f.xa = column(wrap(13 * k, 1024), W);
        f.xb = column(wrap(233 + 17 * k, 1024), W * 3 / 2);
        int32_t phase[4];
        for (int t = 0; t < 4; t++) phase[t] = wrap(int64_t{sprite_speed[t]} * k, 1024);
        const int32_t amp_x = (W - sprites[0]->width) / 2, amp_y = (H - sprites[0]->height) / 2;
        for (int n = 0; n < 4; n++) {
            auto term = [&](int t, int32_t amp) {
                return static_cast<int32_t>(
                    (int64_t{sine_table[(sprite_spacing[t] * n + phase[t]) % 1024]} * amp) >> 15);
            };
            f.sx[n] = (W - sprites[n]->width) / 2 + term(0, amp_x) + term(1, amp_x);
            f.sy[n] = (H - sprites[n]->height) / 2 + term(2, amp_y) + term(3, amp_y);
        }
        return f;
    }

    uint32_t light(const Frame &f, int32_t x, int32_t y) const {
        return img_get(rainbow, x - f.xa, y) + img_get(rainbow, x - f.xb, y);
    }

    // The screen keeps 24 bits of each word: a carry out of red is lost on the way.
    static bool same(uint32_t shown, uint32_t word) { return shown == (word & 0xFFFFFF); }

    // The sprite pixel at (x, y), top sprite first, or 0.
    uint32_t sprite_at(const Frame &f, int32_t x, int32_t y) const {
        for (int n = 0; n < 4; n++)
            if (uint32_t p = img_get(sprites[n], x - f.sx[n], y - f.sy[n])) return p;
        return 0;
    }

    bool under_sprite(const Frame &f, int32_t x, int32_t y) const {
        return sprite_at(f, x, y) != 0;
    }

    // Frames f = m (mod 120) whose rows above the logo match the rainbows best.
    int64_t find_frame(int32_t m) const {
        int64_t best = -1;
        int best_wrong = W * 96 + 1;
        for (int64_t k = m; k < 15360; k += 120) {
            const Frame f = frame_at(k);
            int wrong = 0;
            for (int32_t y = 0; y < 96 && wrong < best_wrong; y++)
                for (int32_t x = 0; x < W; x++)
                    if (!under_sprite(f, x, y) && !same(img_get(shot, x, y), light(f, x, y)))
                        wrong++;
            if (wrong < best_wrong) best_wrong = wrong, best = k;
        }
        return best;
    }

    // The frame number modulo 120 that the text rows' colours give, and the number of text
    // pixels in those colours.
    int32_t text_phase(int *ink) const {
        int32_t best = 0;
        *ink = -1;
        for (int32_t m = 0; m < 120; m++) {
            int n = 0;
            for (int32_t i = 0; i < 8; i++)
                for (int32_t x = 0; x < W; x++)
                    n += img_get(shot, x, H - 8 + i) == bar_colours[(m + i) % 120];
            if (n > *ink) *ink = n, best = m;
        }
        return best;
    }

    int run() {
        int ink;
        const int32_t m = text_phase(&ink);
        printf("text: %d pixels in the bar colours of frame %d (mod 120)\n", ink, m);
        if (ink < 200) fail("text line in the bar colours", 200 - ink);
        const int64_t k = find_frame(m);
        const Frame f = frame_at(k);
        printf("frame %lld (mod 15360): rainbows at x = %d and %d\n", (long long)k, f.xa, f.xb);

        // Above the logo: only the rainbows, and the dots.
        int wrong = 0;
        for (int32_t y = 0; y < 96; y++)
            for (int32_t x = 0; x < W; x++)
                if (!under_sprite(f, x, y) && !same(img_get(shot, x, y), light(f, x, y))) wrong++;
        printf("rainbows above the logo: %d pixels differ\n", wrong);
        if (wrong > 11) fail("rainbow columns", wrong);

        // The year picture over the logo and the dots, with the rainbows added.
        wrong = 0;
        int year_pixels = 0;
        for (int32_t y = 0; y < year->height; y++)
            for (int32_t x = 0; x < year->width; x++) {
                const uint32_t p = img_get(year, x, y);
                const int32_t sx = 480 + x, sy = 320 + y;
                if (!p || under_sprite(f, sx, sy)) continue;
                year_pixels++;
                wrong += !same(img_get(shot, sx, sy), p + light(f, sx, sy));
            }
        printf("year picture: %d of %d pixels differ\n", wrong, year_pixels);
        if (wrong > 0 || year_pixels < 1000) fail("year picture at (480, 320)", wrong);

        // The logo: black outside its outline (but for the rainbows and the dots), and inside
        // it the logo's own colours, moved about.
        std::set<uint32_t> palette(logo->pixels, logo->pixels + logo->width * logo->height);
        int outside_wrong = 0, inside_wrong = 0, inside = 0;
        for (int32_t y = 0; y < logo->height; y++)
            for (int32_t x = 0; x < W; x++) {
                const int32_t sy = 96 + y;
                if (under_sprite(f, x, sy)) continue;
                if (x >= 480 && x < 480 + year->width && sy >= 320 &&
                    img_get(year, x - 480, sy - 320))
                    continue;
                const uint32_t shown = (img_get(shot, x, sy) - light(f, x, sy)) & 0xFFFFFF;
                if (img_get(logo, x, y)) {
                    inside++;
                    inside_wrong += !palette.count(shown) || shown == 0;
                } else {
                    outside_wrong += shown != 0;
                }
            }
        printf("logo: %d pixels outside the outline and %d of %d inside differ\n", outside_wrong,
               inside_wrong, inside);
        if (outside_wrong > 11 || inside_wrong > 11 || inside < 10000)
            fail("logo", outside_wrong + inside_wrong);
        if (failures) return 1;

        // The sprites: the whole of each visible sprite pixel, or none of them.
        int shown = 0, total = 0;
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++)
                if (uint32_t p = sprite_at(f, x, y)) {
                    total++;
                    shown += same(img_get(shot, x, y), p);
                }
        printf("sprites: %d of %d pixels shown\n", shown, total);
        if (expect_sprites ? shown != total || total < 1000 : shown > total / 2) {
            fprintf(stderr, "sprites are %s\n", expect_sprites ? "not shown" : "shown");
            return 2;
        }
        return 0;
    }
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s <data folder> <screenshot.ppm> <sprites: 0 or 1>\n", argv[0]);
        return 1;
    }
    const std::string data = argv[1];
    Image *shot = load(argv[2]);
    Image *logo = load(data + "/klov-tamblor.ppm");
    Image *year = load(data + "/klov-2008.ppm");
    Image *rainbow = load(data + "/klov-rainbow.ppm");
    Image *letters[4] = {load(data + "/K.ppm"), load(data + "/L.ppm"), load(data + "/O.ppm"),
                         load(data + "/V.ppm")};
    if (!shot || !logo || !year || !rainbow || !letters[0] || !letters[1] || !letters[2] ||
        !letters[3])
        return 1;
    if (shot->width != W || shot->height != H) {
        fprintf(stderr, "the screenshot is %d x %d, not %d x %d\n", shot->width, shot->height, W,
                H);
        return 1;
    }
    // The working sizes of the intro's pictures at 640 x 480.
    Checker c{shot,
              img_scale(logo, W, H / 2),
              img_scale(year, W / 6, H / 4),
              img_scale(rainbow, W / 2, H),
              {letters[0], letters[1], letters[2], letters[3]},
              argv[3][0] == '1'};
    const int status = c.run();
    for (Image *img : {shot, logo, year, rainbow, c.logo, c.year, c.rainbow}) img_free(&img);
    for (Image *&img : letters) img_free(&img);
    return status;
}
