// The intro's data files, read as the intro reads them (img_load), and checked for what
// the screen needs of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "image/img.h"

namespace {

struct Loaded {
    Image *img = nullptr;
    explicit Loaded(const char *name) {
        const std::string path = std::string(KLOV_SOURCE_DIR) + "/data/" + name;
        testing::internal::CaptureStdout();
        img = img_load(path.c_str());
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "") << name;
    }
    ~Loaded() {
        if (img) img_free(&img);
    }
    uint32_t at(int x, int y) const { return img->pixels[static_cast<size_t>(y) * img->width + x]; }
};

int strongest(uint32_t p) {
    return std::max({static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
                     static_cast<int>(p & 0xFF)});
}

bool border_is_black(const Loaded &l) {
    const Image *im = l.img;
    for (int x = 0; x < im->width; x++) {
        if (l.at(x, 0) || l.at(x, im->height - 1)) return false;
    }
    for (int y = 0; y < im->height; y++) {
        if (l.at(0, y) || l.at(im->width - 1, y)) return false;
    }
    return true;
}

// Sizes of the areas of 0 pixels that do not reach the picture's edge (4-connected).
std::vector<int> enclosed_black_areas(const Loaded &l) {
    const int w = l.img->width, h = l.img->height;
    std::vector<int> seen(static_cast<size_t>(w) * h, 0);
    std::vector<int> areas, stack;
    for (int start = 0; start < w * h; start++) {
        if (seen[start] || l.img->pixels[start]) continue;
        int area = 0;
        bool edge = false;
        stack.push_back(start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            area++;
            const int x = i % w, y = i / w;
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1) edge = true;
            const int next[4] = {x > 0 ? i - 1 : -1, x < w - 1 ? i + 1 : -1, y > 0 ? i - w : -1,
                                 y < h - 1 ? i + w : -1};
            for (int n : next) {
                if (n >= 0 && !seen[n] && !l.img->pixels[n]) {
                    seen[n] = 1;
                    stack.push_back(n);
                }
            }
        }
        if (!edge) areas.push_back(area);
    }
    return areas;
}

TEST(DataPictures, FontSheetHoldsEveryPrintableGlyphInSpacedCells) {
    Loaded font("font8x8.pbm");
    ASSERT_NE(font.img, nullptr);
    const int w = font.img->width, h = font.img->height;
    ASSERT_EQ(w % 8, 0);
    ASSERT_EQ(h % 8, 0);
    const int per_row = w / 8;
    ASSERT_GE(per_row * (h / 8), 128) << "the sheet must hold the cells up to code 127";

    auto cell = [&](int code, int x, int y) {
        return font.at(code % per_row * 8 + x, code / per_row * 8 + y);
    };
    for (int code = 0; code < per_row * (h / 8); code++) {
        int set = 0, right_column = 0;
        for (int y = 0; y < 8; y++) {
            for (int x = 0; x < 8; x++) {
                const uint32_t p = cell(code, x, y);
                ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << "code " << code;
                set += p != 0;
                if (x == 7) right_column += p != 0;
            }
        }
        if (code < 33 || code > 126) {
            if (code != 127) {
                EXPECT_EQ(set, 0) << "code " << code << " should be blank";
            }
            continue;
        }
        EXPECT_GT(set, 0) << "code " << code << " has no glyph";
        // The scroll text's characters keep a clear column, so neighbours never touch.
        if (code <= 90) {
            EXPECT_EQ(right_column, 0) << "code " << code;
        }
    }
}

// Capitals set in one width read evenly in words like INTRO and EXIT, and a letter that
// ends in a lone pixel looks as if it floats above the line.
TEST(DataPictures, FontCapitalsShareOneWidthAndLettersStandOnFirmFeet) {
    Loaded font("font8x8.pbm");
    ASSERT_NE(font.img, nullptr);
    ASSERT_GE(font.img->width, 128);
    ASSERT_GE(font.img->height, 64);
    const int per_row = font.img->width / 8;
    auto ink = [&](int code, int x, int y) {
        return font.at(code % per_row * 8 + x, code / per_row * 8 + y) != 0;
    };
    for (int code = 'A'; code <= 'z'; code++) {
        if (code > 'Z' && code < 'a') continue;
        int left = 8, right = -1, bottom = -1;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                if (ink(code, x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    bottom = y;
                }
        ASSERT_GE(bottom, 0) << char(code);
        if (code <= 'Z') {
            EXPECT_EQ(right - left + 1, 7) << char(code) << " is not as wide as the others";
        }
        for (int x = 0; x < 8; x++) {
            const bool alone = ink(code, x, bottom) && (x == 0 || !ink(code, x - 1, bottom)) &&
                               (x == 7 || !ink(code, x + 1, bottom));
            EXPECT_FALSE(alone) << char(code) << " ends in a single pixel at column " << x;
        }
    }
}

TEST(DataPictures, LetterSpritesShareOneSizeAndHaveNoDarkOrStrayHolesInside) {
    const char *names[] = {"K.ppm", "L.ppm", "O.ppm", "V.ppm"};
    int width = -1, height = -1;
    for (const char *name : names) {
        Loaded s(name);
        ASSERT_NE(s.img, nullptr) << name;
        if (width < 0) {
            width = s.img->width;
            height = s.img->height;
        }
        EXPECT_EQ(s.img->width, width) << name;
        EXPECT_EQ(s.img->height, height) << name;
        EXPECT_GE(s.img->height, 64) << name;
        EXPECT_LE(s.img->height, 96) << name;
        EXPECT_TRUE(border_is_black(s)) << name << " is cut at its edge";

        int solid = 0, dark = 0;
        std::set<uint32_t> colours;
        for (int i = 0; i < s.img->width * s.img->height; i++) {
            const uint32_t p = s.img->pixels[i];
            if (!p) continue;
            solid++;
            colours.insert(p);
            if (strongest(p) < 0x30) dark++;
        }
        EXPECT_EQ(dark, 0) << name << " has near-black pixels inside the letter";
        EXPECT_GT(solid * 4, s.img->width * s.img->height) << name << " is mostly empty";
        EXPECT_GE(colours.size(), 100u) << name << " is not shaded";
        for (int area : enclosed_black_areas(s)) {
            EXPECT_GE(area, 64) << name << " has a see-through hole of " << area << " pixels";
        }
    }
}

TEST(DataPictures, LogoHasManyColoursInsideABlackSurround) {
    Loaded logo("klov-tamblor.ppm");
    ASSERT_NE(logo.img, nullptr);
    // Drawn at the size the intro shows it, so scaling changes nothing.
    EXPECT_EQ(logo.img->width, 640);
    EXPECT_EQ(logo.img->height, 240);
    EXPECT_TRUE(border_is_black(logo));
    std::set<uint32_t> colours;
    int solid = 0;
    for (int i = 0; i < logo.img->width * logo.img->height; i++) {
        if (!logo.img->pixels[i]) continue;
        solid++;
        colours.insert(logo.img->pixels[i]);
    }
    EXPECT_GE(colours.size(), 1000u);
    // Enough black around the letters for the outline to show, enough letter to shuffle.
    const int all = logo.img->width * logo.img->height;
    EXPECT_GT(solid, all / 3);
    EXPECT_LT(solid, all * 3 / 4);
}

TEST(DataPictures, YearPictureIsDrawnOnBlack) {
    Loaded year("klov-2008.ppm");
    ASSERT_NE(year.img, nullptr);
    EXPECT_EQ(year.img->width, 106);
    EXPECT_EQ(year.img->height, 120);
    EXPECT_TRUE(border_is_black(year));
    int solid = 0;
    for (int i = 0; i < year.img->width * year.img->height; i++) solid += year.img->pixels[i] != 0;
    const int all = year.img->width * year.img->height;
    EXPECT_GT(solid, all / 5);
    EXPECT_LT(solid, all * 4 / 5);
}

TEST(DataPictures, RainbowColumnFadesToBlackAtBothSidesAndStaysModerate) {
    Loaded rb("klov-rainbow.ppm");
    ASSERT_NE(rb.img, nullptr);
    const int w = rb.img->width, h = rb.img->height;
    ASSERT_GE(w, 3);
    std::set<uint32_t> centre_colours;
    for (int y = 0; y < h; y++) {
        EXPECT_EQ(rb.at(0, y), 0u) << "row " << y;
        EXPECT_EQ(rb.at(w - 1, y), 0u) << "row " << y;
        centre_colours.insert(rb.at(w / 2, y));
        for (int x = 0; x < w; x++) {
            const uint32_t p = rb.at(x, y);
            // Two columns crossing over black never carry into the next channel.
            ASSERT_LE(2 * strongest(p), 0xFF) << x << "," << y;
            if (x == w / 2) continue;
            // Each channel only grows from the sides towards the middle.
            const uint32_t inner = rb.at(x < w / 2 ? x + 1 : x - 1, y);
            for (int shift : {0, 8, 16}) {
                ASSERT_LE(p >> shift & 0xFF, inner >> shift & 0xFF) << x << "," << y;
            }
        }
        EXPECT_GE(strongest(rb.at(w / 2, y)), 0x40) << "row " << y << " is dark in the middle";
    }
    // A rainbow, not one colour: the hue changes down the column.
    EXPECT_GE(centre_colours.size(), static_cast<size_t>(h / 4));
}

} // namespace
