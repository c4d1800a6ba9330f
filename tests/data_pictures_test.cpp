// The intro's data files, read as the intro reads them (img_load), and checked for what
// the screen needs of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
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

// The groups of non-zero pixels (8-connected) that are at least `gap` transparent pixels
// apart: parts nearer to each other than that count as one group.
int groups_apart(const Loaded &l, int gap) {
    const int w = l.img->width, h = l.img->height, reach = gap + 1;
    std::vector<int> up(static_cast<size_t>(w) * h, -1);
    auto find = [&](int a) {
        while (up[a] != a) a = up[a] = up[up[a]];
        return a;
    };
    for (int i = 0; i < w * h; i++)
        if (l.img->pixels[i]) up[i] = i;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            if (!l.at(x, y)) continue;
            for (int dy = 0; dy <= reach; dy++) {
                for (int dx = -reach; dx <= reach; dx++) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dy == 0 && dx <= 0) || nx < 0 || nx >= w || ny >= h) continue;
                    if (dx * dx + dy * dy >= reach * reach || !l.at(nx, ny)) continue;
                    up[find(y * w + x)] = find(ny * w + nx);
                }
            }
        }
    }
    int groups = 0;
    for (int i = 0; i < w * h; i++) groups += up[i] == i;
    return groups;
}

int luma1000(uint32_t p) {
    return 299 * static_cast<int>(p >> 16 & 0xFF) + 587 * static_cast<int>(p >> 8 & 0xFF) +
           114 * static_cast<int>(p & 0xFF);
}

// The first and last rows and columns that hold a non-zero pixel.
struct Box {
    int left, top, right, bottom;
};

Box ink_box(const Loaded &l) {
    Box b{l.img->width, l.img->height, -1, -1};
    for (int y = 0; y < l.img->height; y++) {
        for (int x = 0; x < l.img->width; x++) {
            if (!l.at(x, y)) continue;
            b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x),
                 std::max(b.bottom, y)};
        }
    }
    return b;
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
    int width = -1, height = -1, narrowest = 1 << 20, widest = 0;
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
        const Box b = ink_box(s);
        narrowest = std::min(narrowest, b.right - b.left + 1);
        widest = std::max(widest, b.right - b.left + 1);

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
    // Letters of one weight: none much narrower than the others.
    EXPECT_GE(narrowest * 10, widest * 9) << narrowest << " against " << widest << " pixels";
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
    // The shuffle moves only non-zero pixels, so the transparent gaps are what keeps the
    // letters apart once the colours are scattered: four letters, 3 pixels apart at least.
    EXPECT_GE(groups_apart(logo, 3), 4);
    for (int area : enclosed_black_areas(logo)) {
        EXPECT_GE(area, 16) << "a stray hole of " << area << " pixels";
    }
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
    // Centred: as much room above as below, give or take a pixel.
    const Box b = ink_box(year);
    const int above = b.top, below = year.img->height - 1 - b.bottom;
    EXPECT_GE(above, 3);
    EXPECT_GE(below, 3);
    EXPECT_LE(std::abs(above - below), 1) << above << " above, " << below << " below";
    // Air between the two lines: in every column, ink just above the middle row and ink just
    // below it are at least 4 rows apart.
    const int mid = year.img->height / 2;
    int air = year.img->height;
    for (int x = 0; x < year.img->width; x++) {
        int up = mid - 1, down = mid;
        while (up >= 0 && !year.at(x, up)) up--;
        while (down < year.img->height && !year.at(x, down)) down++;
        if (up >= 0 && down < year.img->height) air = std::min(air, down - up - 1);
    }
    EXPECT_GE(air, 4);
}

TEST(DataPictures, RainbowColumnFadesToBlackAtBothSidesAndStaysModerate) {
    Loaded rb("klov-rainbow.ppm");
    ASSERT_NE(rb.img, nullptr);
    const int w = rb.img->width, h = rb.img->height;
    ASSERT_GE(w, 3);
    std::set<uint32_t> centre_colours;
    int64_t brightest = 0, darkest = INT64_MAX;
    for (int y = 0; y < h; y++) {
        int64_t row = 0;
        for (int x = 0; x < w; x++) row += luma1000(rb.at(x, y));
        brightest = std::max(brightest, row);
        darkest = std::min(darkest, row);
        EXPECT_EQ(rb.at(0, y), 0u) << "row " << y;
        EXPECT_EQ(rb.at(w - 1, y), 0u) << "row " << y;
        centre_colours.insert(rb.at(w / 2, y));
        for (int x = 0; x < w; x++) {
            const uint32_t p = rb.at(x, y);
            // At most 0x78 a channel: two columns crossing over black never carry into the
            // next channel, only where they cross the bright pictures.
            ASSERT_LE(strongest(p), 0x78) << x << "," << y;
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
    // Of even brightness: no row outshines another more than twice.
    EXPECT_LE(brightest, 2 * darkest);
    // The last 8 rows lie under the scroll text, whose bars start red: no red there.
    for (int y = h - 8; y < h; y++) {
        const uint32_t p = rb.at(w / 2, y);
        EXPECT_LT(p >> 16 & 0xFF, std::max(p >> 8 & 0xFF, p & 0xFF)) << "row " << y;
    }
}

} // namespace
