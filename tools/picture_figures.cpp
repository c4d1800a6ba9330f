// picture_figures [data folder]: prints the figures by which the intro's pictures are judged.
//   logo:    the parts of its outline (non-zero pixels, 8-connected), the narrowest transparent
//            gap between two parts, the groups left when parts closer than 3 pixels count as
//            one, enclosed holes of a few pixels, the average colour and its chroma;
//   rainbow: the brightest and darkest row (mean luma), their ratio, the largest channel, and
//            the colour of the middle of the rows that lie under the scroll text;
//   year:    the empty rows above, below and between the two lines of figures;
//   sprites: each letter's bounding box and ink (pixel count and summed luma / 255).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/img.h"

namespace {

int red(uint32_t p) {
    return static_cast<int>(p >> 16 & 0xFF);
}
int green(uint32_t p) {
    return static_cast<int>(p >> 8 & 0xFF);
}
int blue(uint32_t p) {
    return static_cast<int>(p & 0xFF);
}
int luma1000(uint32_t p) {
    return 299 * red(p) + 587 * green(p) + 114 * blue(p);
}

struct Picture {
    Image *img = nullptr;
    Picture(const std::string &dir, const char *name) {
        img = img_load((dir + "/" + name).c_str());
        if (!img) fprintf(stderr, "picture_figures: cannot read %s/%s\n", dir.c_str(), name);
    }
    ~Picture() {
        if (img) img_free(&img);
    }
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;
    int w() const { return img->width; }
    int h() const { return img->height; }
    uint32_t at(int x, int y) const { return img->pixels[static_cast<size_t>(y) * w() + x]; }
};

// Labels the components of pixels for which `in` holds; returns their count.
template <class In>
int label(const Picture &p, bool eight, In in, std::vector<int> *labels, std::vector<int> *areas,
          std::vector<bool> *at_edge) {
    const int w = p.w(), h = p.h();
    labels->assign(static_cast<size_t>(w) * h, -1);
    areas->clear();
    at_edge->clear();
    std::vector<int> stack;
    for (int start = 0; start < w * h; start++) {
        if ((*labels)[start] >= 0 || !in(p.img->pixels[start])) continue;
        const int id = static_cast<int>(areas->size());
        areas->push_back(0);
        at_edge->push_back(false);
        (*labels)[start] = id;
        stack.push_back(start);
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            (*areas)[id]++;
            const int x = i % w, y = i / w;
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1) (*at_edge)[id] = true;
            for (int dy = -1; dy <= 1; dy++) {
                for (int dx = -1; dx <= 1; dx++) {
                    if ((dx == 0 && dy == 0) || (!eight && dx && dy)) continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int n = ny * w + nx;
                    if ((*labels)[n] < 0 && in(p.img->pixels[n])) {
                        (*labels)[n] = id;
                        stack.push_back(n);
                    }
                }
            }
        }
    }
    return static_cast<int>(areas->size());
}

int find(std::vector<int> &up, int a) {
    while (up[a] != a) a = up[a] = up[up[a]];
    return a;
}

// False when the picture cannot be read.
bool logo(const std::string &dir) {
    Picture p(dir, "klov-tamblor.ppm");
    if (!p.img) return false;
    const int w = p.w(), h = p.h();
    std::vector<int> lab, areas;
    std::vector<bool> edge;
    const int parts = label(
        p, true, [](uint32_t v) { return v != 0; }, &lab, &areas, &edge);
    // The narrowest gap: the shortest distance between pixels of two parts, less one pixel.
    const int reach = 12;
    int64_t best2 = int64_t{1} << 40;
    std::vector<int> up(parts);
    for (int i = 0; i < parts; i++) up[i] = i;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const int a = lab[static_cast<size_t>(y) * w + x];
            if (a < 0) continue;
            for (int dy = 0; dy <= reach; dy++) {
                for (int dx = -reach; dx <= reach; dx++) {
                    if (dy == 0 && dx <= 0) continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny >= h || nx >= w) continue;
                    const int b = lab[static_cast<size_t>(ny) * w + nx];
                    if (b < 0 || b == a) continue;
                    const int64_t d2 = int64_t{dx} * dx + int64_t{dy} * dy;
                    best2 = std::min(best2, d2);
                    if (d2 < 16) up[find(up, a)] = find(up, b); // closer than a 3-pixel gap
                }
            }
        }
    }
    int groups = 0, smallest = w * h;
    for (int i = 0; i < parts; i++) {
        groups += find(up, i) == i;
        smallest = std::min(smallest, areas[i]);
    }
    std::vector<int> zlab, zareas;
    std::vector<bool> zedge;
    const int zeros = label(
        p, false, [](uint32_t v) { return v == 0; }, &zlab, &zareas, &zedge);
    int holes = 0, enclosed = 0;
    for (int i = 0; i < zeros; i++) {
        if (zedge[i]) continue;
        enclosed++;
        holes += zareas[i] < 16;
    }
    int64_t n = 0, r = 0, g = 0, b = 0;
    for (int i = 0; i < w * h; i++) {
        const uint32_t v = p.img->pixels[i];
        if (!v) continue;
        n++;
        r += red(v);
        g += green(v);
        b += blue(v);
    }
    printf("logo    %dx%d  non-zero %.1f%%\n", w, h, 100.0 * n / (w * h));
    if (best2 < (int64_t{1} << 40))
        printf("        outline parts %d, narrowest gap between parts %.1f px, "
               "groups apart by >= 3 px %d, smallest part %d px\n",
               parts, std::sqrt(static_cast<double>(best2)) - 1, groups, smallest);
    else
        printf("        outline parts %d, no two parts within %d px, groups %d\n", parts, reach,
               groups);
    printf("        enclosed transparent areas %d, of them holes under 16 px: %d\n", enclosed,
           holes);
    if (n) {
        const int ar = static_cast<int>(r / n), ag = static_cast<int>(g / n),
                  ab = static_cast<int>(b / n);
        printf("        average colour #%02X%02X%02X, chroma %d (what a well-shuffled logo "
               "averages to)\n",
               ar, ag, ab, std::max({ar, ag, ab}) - std::min({ar, ag, ab}));
    }
    return true;
}

// False when the picture cannot be read.
bool rainbow(const std::string &dir) {
    Picture p(dir, "klov-rainbow.ppm");
    if (!p.img) return false;
    const int w = p.w(), h = p.h();
    int64_t hi = -1, lo = -1;
    int hi_row = 0, lo_row = 0, top = 0;
    for (int y = 0; y < h; y++) {
        int64_t sum = 0;
        for (int x = 0; x < w; x++) {
            const uint32_t v = p.at(x, y);
            sum += luma1000(v);
            top = std::max({top, red(v), green(v), blue(v)});
        }
        if (hi < 0 || sum > hi) hi = sum, hi_row = y;
        if (lo < 0 || sum < lo) lo = sum, lo_row = y;
    }
    printf("rainbow %dx%d  brightest row %d (mean luma %.1f), darkest row %d (%.1f), "
           "ratio %.2f, largest channel 0x%02X\n",
           w, h, hi_row, hi / 1000.0 / w, lo_row, lo / 1000.0 / w,
           lo ? static_cast<double>(hi) / lo : 0.0, top);
    // The scroll text runs over the last 8 rows of the screen, which the full-height column
    // also covers with its last 8 rows.
    printf("        under the scroll text (rows %d..%d), middle:", h - 8, h - 1);
    for (int y = h - 8; y < h; y += 7) printf(" #%06X", p.at(w / 2, y));
    printf("\n");
    return true;
}

// False when the picture cannot be read.
bool year(const std::string &dir) {
    Picture p(dir, "klov-2008.ppm");
    if (!p.img) return false;
    const int w = p.w(), h = p.h();
    int left = w, right = -1, first = h, last = -1;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            if (!p.at(x, y)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            first = std::min(first, y);
            last = std::max(last, y);
        }
    }
    // The gap: in any column with ink above and below the middle, the empty rows between the
    // two lines (the empty run nearest the middle row; none when ink crosses the middle).
    int gap = h;
    for (int x = 0; x < w; x++) {
        int best = -1, best_off = h;
        bool above = false;
        int run_start = -1;
        for (int y = 0; y < h; y++) {
            if (p.at(x, y)) {
                if (above && run_start >= 0) {
                    const int off = std::abs((run_start + y - 1) - (h - 1));
                    if (off < best_off) best_off = off, best = y - run_start;
                }
                above = true;
                run_start = -1;
                // Ink across the middle row joins the lines in this column.
                if (y == h / 2 && y > 0 && p.at(x, y - 1)) best = 0, best_off = 0;
            } else if (run_start < 0) {
                run_start = y;
            }
        }
        if (best >= 0 && best_off <= h / 3) gap = std::min(gap, best);
    }
    if (last < 0) {
        printf("year    %dx%d  empty\n", w, h);
        return true;
    }
    printf("year    %dx%d  margin top %d, bottom %d, left %d, right %d; gap between the lines "
           "%d px\n",
           w, h, first, h - 1 - last, left, w - 1 - right, gap);
    return true;
}

// False when a sprite cannot be read.
bool sprites(const std::string &dir) {
    bool ok = true;
    for (const char *name : {"K.ppm", "L.ppm", "O.ppm", "V.ppm"}) {
        Picture p(dir, name);
        if (!p.img) {
            ok = false;
            continue;
        }
        int left = p.w(), right = -1, top = p.h(), bottom = -1, count = 0;
        int64_t luma = 0;
        for (int y = 0; y < p.h(); y++) {
            for (int x = 0; x < p.w(); x++) {
                const uint32_t v = p.at(x, y);
                if (!v) continue;
                count++;
                luma += luma1000(v);
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        if (!count) {
            printf("sprite  %-5s %dx%d  empty\n", name, p.w(), p.h());
            continue;
        }
        printf("sprite  %-5s %dx%d  ink box %dx%d, ink pixels %d, ink luma %lld\n", name, p.w(),
               p.h(), right - left + 1, bottom - top + 1, count,
               static_cast<long long>(luma / 1000 / 255));
    }
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: picture_figures [data folder]\n");
        return 2;
    }
    const std::string dir = argc == 2 ? argv[1] : "data";
    bool ok = logo(dir);
    ok = rainbow(dir) && ok;
    ok = year(dir) && ok;
    ok = sprites(dir) && ok;
    return ok ? 0 : 1;
}
