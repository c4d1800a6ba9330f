// make_pictures <outdir>: draws the intro's pictures and writes them with img_save:
// K.ppm, L.ppm, O.ppm, V.ppm (the bouncing letters), klov-tamblor.ppm (the logo),
// klov-2008.ppm (the year) and klov-rainbow.ppm (the rainbow column).
//
// Everything is integer arithmetic, so the files come out byte for byte the same on every
// machine. Letters are polygons in a design space where the capital height is 1000 units;
// they are filled at 4 x 4 samples a pixel, turned into a signed distance field, and shaded
// from the distance (outline, bevel, extrusion).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/img.h"
#include "intro/sine_table.h"

namespace {

// ---------------------------------------------------------------------------------------
// Integer helpers

int64_t floor_div(int64_t a, int64_t b) { // b > 0
    int64_t q = a / b;
    if (a % b != 0 && a < 0) q--;
    return q;
}

int64_t isqrt(int64_t v) {
    if (v <= 0) return 0;
    int64_t r = 0, bit = int64_t{1} << 62;
    while (bit > v) bit >>= 2;
    while (bit) {
        if (v >= r + bit) {
            v -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
        bit >>= 2;
    }
    return r;
}

int clampi(int64_t v, int lo, int hi) {
    return static_cast<int>(v < lo ? lo : v > hi ? hi : v);
}

// ---------------------------------------------------------------------------------------
// Colours

struct Rgb {
    int r, g, b;
};

Rgb mix(Rgb a, Rgb b, int t) { // t in 0..256
    return {a.r + (b.r - a.r) * t / 256, a.g + (b.g - a.g) * t / 256, a.b + (b.b - a.b) * t / 256};
}

Rgb add(Rgb a, int v) {
    return {a.r + v, a.g + v, a.b + v};
}

Rgb scale(Rgb a, int t) {
    return {a.r * t / 256, a.g * t / 256, a.b * t / 256};
}

uint32_t pack(Rgb c) {
    return static_cast<uint32_t>(clampi(c.r, 0, 255) << 16 | clampi(c.g, 0, 255) << 8 |
                                 clampi(c.b, 0, 255));
}

// A pixel that belongs to a shape must never read as the transparent 0 or as near black:
// lift its darkest-looking case to at least `floor` in its strongest channel.
uint32_t pack_lit(Rgb c, int floor) {
    c = {clampi(c.r, 0, 255), clampi(c.g, 0, 255), clampi(c.b, 0, 255)};
    const int top = std::max({c.r, c.g, c.b});
    if (top < floor) c = add(c, floor - top);
    return pack(c);
}

struct Stop {
    int at; // 0..1024
    Rgb c;
};

Rgb gradient(const std::vector<Stop> &stops, int t) {
    if (t <= stops.front().at) return stops.front().c;
    for (size_t i = 1; i < stops.size(); i++) {
        if (t <= stops[i].at) {
            const int span = stops[i].at - stops[i - 1].at;
            return mix(stops[i - 1].c, stops[i].c, (t - stops[i - 1].at) * 256 / span);
        }
    }
    return stops.back().c;
}

// ---------------------------------------------------------------------------------------
// Letter shapes in design units: capital height 1000, y down, baseline at y = 1000.

struct Pt {
    int64_t x, y;
};

struct Part {
    std::vector<Pt> pts;
    bool cut; // clears instead of fills
};

struct Glyph {
    std::vector<Part> parts;
    int64_t width;
};

Part poly(std::vector<Pt> pts, bool cut = false) {
    return {std::move(pts), cut};
}

Part rect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool cut = false) {
    return {{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, cut};
}

// A rectangle with round corners of radius r, its arcs taken from the sine table.
Part rrect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t r, bool cut = false) {
    struct Corner {
        int64_t cx, cy;
        int from; // sine-table angle where the arc starts, counter-clockwise
    };
    const Corner corners[4] = {
        {x1 - r, y0 + r, 0}, {x0 + r, y0 + r, 256}, {x0 + r, y1 - r, 512}, {x1 - r, y1 - r, 768}};
    Part p{{}, cut};
    for (const Corner &c : corners) {
        for (int a = c.from; a <= c.from + 256; a += 8) {
            const int64_t s = sine_table[a & 1023];
            const int64_t co = sine_table[(a + 256) & 1023];
            p.pts.push_back({c.cx + floor_div(2 * r * co + 32766, 2 * 32766),
                             c.cy - floor_div(2 * r * s + 32766, 2 * 32766)});
        }
    }
    return p;
}

Glyph glyph_k() {
    return {{rect(0, 0, 300, 1000), poly({{560, 0}, {880, 0}, {541, 560}, {221, 560}}),
             poly({{221, 440}, {541, 440}, {880, 1000}, {560, 1000}})},
            880};
}

// stem: the upright's width; foot: the height of the bar along the baseline.
Glyph glyph_l(int64_t stem = 300, int64_t foot = 280, int64_t width = 640) {
    return {{rect(0, 0, stem, 1000), rect(0, 1000 - foot, width, 1000)}, width};
}

Glyph glyph_o() {
    return {{rrect(0, 0, 860, 1000, 330), rrect(280, 260, 580, 740, 130, true)}, 860};
}

Glyph glyph_v() {
    return {{poly({{0, 0}, {310, 0}, {440, 640}, {570, 0}, {880, 0}, {600, 1000}, {280, 1000}})},
            880};
}

Glyph glyph_0() {
    return {{rrect(0, 0, 700, 1000, 300), rrect(210, 210, 490, 790, 110, true)}, 700};
}

// An arch whose right leg runs on as a diagonal down to the base bar.
Glyph glyph_2() {
    return {{rrect(0, 0, 700, 640, 300), rrect(210, 210, 490, 430, 100, true),
             rect(-50, 320, 800, 700, true), poly({{490, 320}, {700, 320}, {280, 800}, {0, 800}}),
             rect(0, 790, 700, 1000)},
            700};
}

Glyph glyph_8() {
    return {{rrect(50, 0, 650, 490, 230), rrect(0, 430, 700, 1000, 270),
             rrect(240, 170, 460, 330, 80, true), rrect(220, 600, 480, 820, 110, true)},
            700};
}

// ---------------------------------------------------------------------------------------
// Filling: a mask of kSub x kSub samples a pixel. Polygon vertices are in fine units,
// 1/16 of a sample, and a sample is inside when its centre is (even-odd rule).

constexpr int kSub = 4;
constexpr int kFine = 16;

struct Mask {
    int w, h; // in samples
    std::vector<uint8_t> v;
};

Mask mask_new(int width_px, int height_px) {
    Mask m{width_px * kSub, height_px * kSub, {}};
    m.v.assign(static_cast<size_t>(m.w) * m.h, 0);
    return m;
}

void fill_polygon(Mask *m, const std::vector<Pt> &pts, uint8_t value) {
    int64_t ymin = pts[0].y, ymax = pts[0].y;
    for (const Pt &p : pts) {
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    const int row0 = clampi(floor_div(ymin, kFine) - 1, 0, m->h);
    const int row1 = clampi(floor_div(ymax, kFine) + 1, 0, m->h);
    std::vector<int64_t> xs;
    for (int row = row0; row < row1; row++) {
        const int64_t y = int64_t{row} * kFine + kFine / 2;
        xs.clear();
        for (size_t i = 0; i < pts.size(); i++) {
            Pt a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.y <= y) == (b.y <= y)) continue;
            if (a.y > b.y) std::swap(a, b);
            // The crossing lies at num / den; the first sample whose centre is right of it:
            const int64_t den = b.y - a.y;
            const int64_t num = a.x * den + (y - a.y) * (b.x - a.x);
            xs.push_back(floor_div(num - den * (kFine / 2), den * kFine) + 1);
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int c0 = clampi(xs[i], 0, m->w), c1 = clampi(xs[i + 1], 0, m->w);
            for (int c = c0; c < c1; c++) m->v[static_cast<size_t>(row) * m->w + c] = value;
        }
    }
}

// Where a glyph lands: design (x, y) goes to fine units
// (ox + (1000 x + (1000 - y) shear) * cap / 10^6, oy + y * cap / 1000), cap = fine units
// per capital height, shear in thousandths (a slant to the right).
struct Place {
    int64_t ox, oy, cap, shear;
};

void draw_glyph(Mask *m, const Glyph &g, const Place &at) {
    for (const Part &part : g.parts) {
        std::vector<Pt> pts;
        for (const Pt &p : part.pts) {
            pts.push_back(
                {at.ox + floor_div((1000 * p.x + (1000 - p.y) * at.shear) * at.cap, 1000000),
                 at.oy + floor_div(p.y * at.cap, 1000)});
        }
        fill_polygon(m, pts, part.cut ? 0 : 1);
    }
}

// Lays out a word of glyphs with `gap` design units between them, centred in a
// width_px x height_px picture with the capitals cap_px high.
Mask draw_word(const std::vector<Glyph> &word, int64_t gap, int width_px, int height_px,
               int64_t cap_px, int64_t shear, int64_t dx_px, int64_t dy_px) {
    Mask m = mask_new(width_px, height_px);
    int64_t total = -gap + shear;
    for (const Glyph &g : word) total += g.width + gap;
    const int64_t px = int64_t{kSub} * kFine; // fine units per pixel
    const int64_t cap = cap_px * px;
    int64_t x = (width_px * px - total * cap / 1000) / 2 + dx_px * px;
    const int64_t y = (height_px * px - cap) / 2 + dy_px * px;
    for (const Glyph &g : word) {
        draw_glyph(&m, g, {x, y, cap, shear});
        x += (g.width + gap) * cap / 1000;
    }
    return m;
}

// ---------------------------------------------------------------------------------------
// Signed distance field: per pixel, the distance to the shape's edge in 1/64 pixel,
// negative inside. Exact squared distances between samples (Meijster's two passes),
// averaged over the pixel's samples.

std::vector<int64_t> squared_distance(const Mask &m, uint8_t feature) {
    const int w = m.w, h = m.h;
    const int64_t inf = w + h;
    std::vector<int64_t> g(static_cast<size_t>(w) * h), d(g.size());
    for (int x = 0; x < w; x++) {
        g[x] = m.v[x] == feature ? 0 : inf;
        for (int y = 1; y < h; y++) {
            const size_t i = static_cast<size_t>(y) * w + x;
            g[i] = m.v[i] == feature ? 0 : std::min(inf, g[i - w] + 1);
        }
        for (int y = h - 2; y >= 0; y--) {
            const size_t i = static_cast<size_t>(y) * w + x;
            if (g[i + w] < g[i]) g[i] = g[i + w] + 1;
        }
    }
    std::vector<int64_t> s(w), t(w);
    for (int y = 0; y < h; y++) {
        const int64_t *gr = &g[static_cast<size_t>(y) * w];
        auto f = [&](int64_t x, int64_t i) { return (x - i) * (x - i) + gr[i] * gr[i]; };
        auto sep = [&](int64_t i, int64_t u) {
            return floor_div(u * u - i * i + gr[u] * gr[u] - gr[i] * gr[i], 2 * (u - i));
        };
        int q = 0;
        s[0] = 0;
        t[0] = 0;
        for (int u = 1; u < w; u++) {
            while (q >= 0 && f(t[q], s[q]) > f(t[q], u)) q--;
            if (q < 0) {
                q = 0;
                s[0] = u;
            } else {
                const int64_t wpos = 1 + sep(s[q], u);
                if (wpos < w) {
                    q++;
                    s[q] = u;
                    t[q] = wpos;
                }
            }
        }
        for (int u = w - 1; u >= 0; u--) {
            d[static_cast<size_t>(y) * w + u] = f(u, s[q]);
            if (u == t[q]) q--;
        }
    }
    return d;
}

struct Field {
    int w, h;
    std::vector<int32_t> sd; // 1/64 pixel, negative inside

    int32_t at(int x, int y) const {
        if (x < 0 || y < 0 || x >= w || y >= h) return 1 << 20;
        return sd[static_cast<size_t>(y) * w + x];
    }
};

Field distance_field(const Mask &m) {
    const std::vector<int64_t> to_inside = squared_distance(m, 1);
    const std::vector<int64_t> to_outside = squared_distance(m, 0);
    Field f{m.w / kSub, m.h / kSub, {}};
    f.sd.assign(static_cast<size_t>(f.w) * f.h, 0);
    for (int y = 0; y < f.h; y++) {
        for (int x = 0; x < f.w; x++) {
            int64_t sum = 0;
            for (int sy = 0; sy < kSub; sy++) {
                for (int sx = 0; sx < kSub; sx++) {
                    const size_t i = static_cast<size_t>(y * kSub + sy) * m.w + x * kSub + sx;
                    // In sixteenths of a sample, measured from the half-way point between
                    // the sample centres on either side of the edge.
                    if (m.v[i])
                        sum -= isqrt(to_outside[i] * 256) - 8;
                    else
                        sum += isqrt(to_inside[i] * 256) - 8;
                }
            }
            // A sixteenth of a sample is a 64th of a pixel.
            f.sd[static_cast<size_t>(y) * f.w + x] =
                static_cast<int32_t>(floor_div(sum, kSub * kSub));
        }
    }
    return f;
}

constexpr int kPx = 64; // field units per pixel

// ---------------------------------------------------------------------------------------
// Shading: a bevelled letter face, an outline band and an extrusion towards the lower
// right, over pure black.

struct Style {
    std::vector<Stop> face;    // by height within the capitals, 0 top .. 1024 baseline
    std::vector<Stop> outline; // likewise
    std::vector<Stop> depth;   // by extrusion step, 0 nearest .. 1024 farthest
    int outline_px64;          // outline width
    int bevel_px64;            // bevel width
    int light;                 // bevel contrast
    int extrude_px;            // extrusion length
    int floor;                 // the least strongest channel of any shape pixel
};

struct Frame {
    int64_t cap_top_px64, cap_px64; // where the capitals lie, for the gradients
};

int face_height(const Field &f, int x, int y, int bevel) {
    const int d = -f.at(x, y);
    return d <= 0 ? 0 : std::min(d, bevel);
}

Image *shade(const Field &f, const Style &st, const Frame &fr) {
    Image *img = img_new();
    img_resize(img, f.w, f.h);
    for (int y = 0; y < f.h; y++) {
        const int t = clampi(
            floor_div((int64_t{y} * kPx + kPx / 2 - fr.cap_top_px64) * 1024, fr.cap_px64), 0, 1024);
        for (int x = 0; x < f.w; x++) {
            const int sd = f.at(x, y);
            Rgb c{0, 0, 0};
            bool inside = true;
            if (sd <= st.outline_px64) {
                // Light from the upper left: the face rises over the bevel width.
                const int slope = face_height(f, x + 1, y + 1, st.bevel_px64) -
                                  face_height(f, x - 1, y - 1, st.bevel_px64);
                Rgb face = add(gradient(st.face, t), slope * st.light / (3 * kPx));
                const Rgb line = gradient(st.outline, t);
                // The face blends into the outline over one pixel.
                const int k = clampi(int64_t{sd + kPx / 2} * 256 / kPx, 0, 256);
                c = mix(face, line, k);
            } else {
                inside = false;
                for (int step = 1; step <= st.extrude_px; step++) {
                    if (f.at(x - step, y - step) <= st.outline_px64) {
                        c = gradient(st.depth, (step - 1) * 1024 / std::max(1, st.extrude_px - 1));
                        inside = true;
                        break;
                    }
                }
            }
            if (inside) img_put(img, x, y, pack_lit(c, st.floor));
        }
    }
    return img;
}

// A four-pointed glint: two thin rays and a small round core, blended towards white. It
// only lights pixels that are already there: the transparent lines keep their shape.
void sparkle(Image *img, int cx, int cy, int ray) {
    const int core = ray / 5;
    for (int dy = -ray; dy <= ray; dy++) {
        for (int dx = -ray; dx <= ray; dx++) {
            const int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
            int v = 0;
            if (ay <= 1) v = std::max(v, (ray - ax) * (ay ? 110 : 256) / ray);
            if (ax <= 1) v = std::max(v, (ray - ay) * (ax ? 110 : 256) / ray);
            const int r2 = dx * dx + dy * dy;
            if (r2 < core * core) v = std::max(v, (core * core - r2) * 256 / (core * core));
            const uint32_t p = img_get(img, cx + dx, cy + dy);
            if (v <= 0 || p == 0) continue;
            const Rgb c{static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
                        static_cast<int>(p & 0xFF)};
            img_put(img, cx + dx, cy + dy, pack(mix(c, {255, 255, 255}, v)));
        }
    }
}

// ---------------------------------------------------------------------------------------
// The logo's shading. The intro shuffles every non-zero pixel of the logo among the others
// and leaves the zero pixels alone, so its drawing lives in the zero pixels: a transparent
// groove inside each letter, a transparent line between a letter and its extrusion, and
// clear gaps between the letters. Whatever colours land where, those lines keep the
// letters readable. Edges are smoothed towards black, since the logo lies on black.

struct Inline {
    std::vector<Stop> face;   // by height within the capitals
    std::vector<Stop> lit;    // what the bevel turned to the light tends to
    std::vector<Stop> shadow; // what the bevel turned away tends to: saturated, not grey
    std::vector<Stop> rim;    // the band outside the groove
    std::vector<Stop> depth;  // the extrusion, by distance from the letter, near .. far
    int rim_out, groove_out;  // the rim from groove_out to rim_out (1/64 px from the edge)
    int groove_in;            // the groove from groove_in to groove_out; the face inside
    int line;                 // the transparent line between rim and extrusion
    int bevel;                // bevel width
    int extrude_px;           // extrusion length along the diagonal
    int floor;                // the least strongest channel of any pixel drawn
};

// The share (0..256) of a pixel that lies where the field is below `level`.
int below(int sd, int level) {
    return clampi(int64_t{level - sd} * 256 / kPx + 128, 0, 256);
}

Image *shade_inline(const Field &f, const Inline &st, const Frame &fr) {
    Image *img = img_new();
    img_resize(img, f.w, f.h);
    auto height = [&](int x, int y) {
        return clampi(int64_t{st.groove_in} - f.at(x, y), 0, st.bevel);
    };
    for (int y = 0; y < f.h; y++) {
        const int t = clampi(
            floor_div((int64_t{y} * kPx + kPx / 2 - fr.cap_top_px64) * 1024, fr.cap_px64), 0, 1024);
        for (int x = 0; x < f.w; x++) {
            const int sd = f.at(x, y);
            // Light from the upper left: the face rises over the bevel width, and the
            // bevel mixes the face towards its lit or its shadow colour.
            const int slope = height(x + 1, y + 1) - height(x - 1, y - 1);
            Rgb face = gradient(st.face, t);
            if (slope > 0) face = mix(face, gradient(st.lit, t), std::min(200, slope * 160 / kPx));
            if (slope < 0)
                face = mix(face, gradient(st.shadow, t), std::min(220, -slope * 160 / kPx));
            const int face_k = below(sd, st.groove_in);
            const int rim_k = below(sd, st.rim_out) - below(sd, st.groove_out);
            // The extrusion: the rim's shape pushed 1 .. extrude_px pixels down to the right,
            // beyond the transparent line.
            int near = 1 << 20;
            for (int step = 1; step <= st.extrude_px; step++)
                near = std::min(near, f.at(x - step, y - step));
            const int depth_k =
                std::min(below(near, st.rim_out), 256 - below(sd, st.rim_out + st.line));
            const int total = face_k + std::max(0, rim_k) + std::max(0, depth_k);
            if (total < 128) continue;
            const int far = clampi(
                int64_t{sd - st.rim_out} * 1024 / (int64_t{st.extrude_px} * kPx * 3 / 2), 0, 1024);
            const Rgb parts[3] = {face, gradient(st.rim, t), gradient(st.depth, far)};
            const int k[3] = {face_k, std::max(0, rim_k), std::max(0, depth_k)};
            Rgb c{0, 0, 0};
            for (int i = 0; i < 3; i++) {
                c.r += parts[i].r * k[i] / 256;
                c.g += parts[i].g * k[i] / 256;
                c.b += parts[i].b * k[i] / 256;
            }
            img_put(img, x, y, pack_lit(c, st.floor));
        }
    }
    return img;
}

// Clears the islands of fewer than `least` pixels (8-connected) that thin slivers of a
// shape leave behind: shuffled, they would be lone specks in the black.
void drop_specks(Image *img, int least) {
    const int w = img->width, h = img->height;
    std::vector<int> seen(static_cast<size_t>(w) * h, 0), part, stack;
    for (int start = 0; start < w * h; start++) {
        if (seen[start] || !img->pixels[start]) continue;
        part.clear();
        stack.push_back(start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            part.push_back(i);
            const int x = i % w, y = i / w;
            for (int dy = -1; dy <= 1; dy++) {
                for (int dx = -1; dx <= 1; dx++) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int n = ny * w + nx;
                    if (!seen[n] && img->pixels[n]) {
                        seen[n] = 1;
                        stack.push_back(n);
                    }
                }
            }
        }
        if (static_cast<int>(part.size()) < least)
            for (int i : part) img->pixels[i] = 0;
    }
}

// ---------------------------------------------------------------------------------------
// The pictures

int save(Image **img, const std::string &dir, const char *name) {
    const std::string path = dir + "/" + name;
    const int ok = img_save(*img, path.c_str());
    img_free(img);
    if (!ok) fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
    return ok;
}

int logo(const std::string &dir) {
    const int w = 640, h = 240, cap = 150;
    const Mask m =
        draw_word({glyph_k(), glyph_l(), glyph_o(), glyph_v()}, 170, w, h, cap, 200, -5, -5);
    const Field f = distance_field(m);
    // A warm chrome: gold over a sunset horizon into hot pink, a magenta-to-violet rim and a
    // deep purple extrusion. Shuffled, the mix stays a warm pink glitter with bright specks.
    const Inline st{
        {{0, {255, 250, 215}},
         {280, {255, 215, 70}},
         {490, {255, 130, 20}},
         {512, {190, 20, 80}},
         {640, {235, 50, 130}},
         {1024, {255, 150, 215}}},
        {{0, {255, 255, 240}},
         {490, {255, 240, 170}},
         {512, {255, 170, 220}},
         {1024, {255, 225, 245}}},
        {{0, {215, 120, 0}}, {490, {190, 50, 0}}, {512, {110, 0, 60}}, {1024, {150, 20, 120}}},
        {{0, {255, 110, 230}}, {1024, {120, 50, 230}}},
        {{0, {120, 40, 170}}, {1024, {50, 10, 90}}},
        3 * kPx,
        -1 * kPx,
        -4 * kPx,
        3 * kPx,
        6 * kPx,
        10,
        0x30};
    Image *img = shade_inline(f, st, {(h * kPx - cap * kPx) / 2 - 5 * kPx, cap * kPx});
    sparkle(img, 97, 160, 28);
    sparkle(img, 418, 52, 22);
    sparkle(img, 530, 126, 16);
    drop_specks(img, 16);
    return save(&img, dir, "klov-tamblor.ppm");
}

int sprites(const std::string &dir) {
    const int w = 80, h = 88, cap = 72;
    struct Letter {
        const char *name;
        Glyph g;
        Style st;
    };
    auto style = [](std::vector<Stop> face, Rgb line, Rgb deep) {
        return Style{std::move(face),
                     {{0, line}, {1024, scale(line, 200)}},
                     {{0, deep}, {1024, scale(deep, 200)}},
                     2 * kPx,
                     3 * kPx,
                     130,
                     4,
                     0x50};
    };
    const Letter letters[] = {
        {"K.ppm", glyph_k(),
         style({{0, {255, 220, 200}}, {400, {255, 90, 50}}, {1024, {200, 20, 60}}}, {110, 16, 30},
               {150, 40, 40})},
        {"L.ppm", glyph_l(370, 350, 820),
         style({{0, {255, 255, 190}}, {400, {240, 220, 40}}, {1024, {60, 190, 40}}}, {30, 100, 20},
               {60, 120, 30})},
        {"O.ppm", glyph_o(),
         style({{0, {220, 255, 255}}, {400, {40, 200, 255}}, {1024, {40, 70, 230}}}, {20, 40, 130},
               {40, 60, 150})},
        {"V.ppm", glyph_v(),
         style({{0, {255, 220, 255}}, {400, {240, 80, 230}}, {1024, {130, 40, 220}}}, {80, 16, 110},
               {110, 40, 140})},
    };
    for (const Letter &l : letters) {
        const Mask m = draw_word({l.g}, 0, w, h, cap, 0, -2, -2);
        const Field f = distance_field(m);
        Image *img = shade(f, l.st, {(h * kPx - cap * kPx) / 2 - 2 * kPx, cap * kPx});
        if (!save(&img, dir, l.name)) return 0;
    }
    return 1;
}

int year(const std::string &dir) {
    const int w = 106, h = 120, cap = 44;
    // Two lines, "20" over "08", drawn into halves of the picture. The ink reaches 2 pixels
    // above a line's capitals (the outline) and 5 below (outline and extrusion); raised by 1
    // and 2 pixels in their halves, the lines leave 5 pixels above and below and 8 between.
    const int top_dy = -1, bottom_dy = -2;
    Mask m = mask_new(w, h);
    const Mask top = draw_word({glyph_2(), glyph_0()}, 130, w, h / 2, cap, 0, -1, top_dy);
    const Mask bottom = draw_word({glyph_0(), glyph_8()}, 130, w, h / 2, cap, 0, -1, bottom_dy);
    std::copy(top.v.begin(), top.v.end(), m.v.begin());
    std::copy(bottom.v.begin(), bottom.v.end(), m.v.begin() + top.v.size());
    const Field f = distance_field(m);
    const Style st{{{0, {240, 255, 255}},
                    {440, {100, 190, 255}},
                    {512, {30, 60, 170}},
                    {600, {50, 110, 210}},
                    {1024, {190, 245, 255}}},
                   {{0, {255, 80, 180}}, {1024, {200, 40, 220}}},
                   {{0, {90, 30, 130}}, {1024, {50, 20, 90}}},
                   2 * kPx,
                   3 * kPx,
                   120,
                   3,
                   0x30};
    // Each line gets the whole gradient: shade the halves with their own frames.
    Image *img = shade(f, st, {(h / 2 * kPx - cap * kPx) / 2 + top_dy * kPx, cap * kPx});
    Image *low =
        shade(f, st, {h / 2 * kPx + (h / 2 * kPx - cap * kPx) / 2 + bottom_dy * kPx, cap * kPx});
    img_blit(low, img, 0, h / 2, 0, h / 2, w, h - h / 2);
    img_free(&low);
    return save(&img, dir, "klov-2008.ppm");
}

// One hue of the spectrum at full saturation, h in 0..1535, channels 0..256.
Rgb hue(int h) {
    const int seg = h / 256, t = h % 256;
    switch (seg) {
    case 0:
        return {256, t, 0};
    case 1:
        return {256 - t, 256, 0};
    case 2:
        return {0, 256, t};
    case 3:
        return {0, 256 - t, 256};
    case 4:
        return {t, 0, 256};
    default:
        return {256, 0, 256 - t};
    }
}

// Luma in thousandths of a channel step.
int luma(Rgb c) {
    return 299 * c.r + 587 * c.g + 114 * c.b;
}

// The colour of one row: a hue at `peak`, brought into a narrow band of luma so that no
// row outshines another: dark hues (blue, red) are lifted towards a grey of the same peak,
// bright ones (yellow, cyan) are scaled down.
Rgb even_hue(int h, int peak, int least, int most) {
    const Rgb full = hue(h);
    Rgb c{full.r * peak / 256, full.g * peak / 256, full.b * peak / 256};
    const int l = luma(c);
    if (l < least) {
        const int t = static_cast<int>((int64_t{least - l} * 256 + (peak * 1000 - l) - 1) /
                                       (peak * 1000 - l));
        c = mix(c, {peak, peak, peak}, t);
    } else if (l > most) {
        c = {c.r * most / l, c.g * most / l, c.b * most / l};
    }
    return c;
}

int rainbow(const std::string &dir) {
    const int w = 320, h = 480, peak = 0x78;
    Image *img = img_new();
    img_resize(img, w, h);
    const int64_t w2 = int64_t{w} * w;
    for (int y = 0; y < h; y++) {
        // Red at the top down to violet at the bottom, as a rainbow runs: the rows under the
        // scroll text at the screen's foot are violet, never the red of the first bars.
        const Rgb c = even_hue(y * 1170 / (h - 1), peak, 56000, 102000);
        for (int x = 0; x < w; x++) {
            // (1 - u^2)^2 across the column, u = -1 .. 1: zero at both sides.
            const int64_t u = 2 * x + 1 - w;
            const int64_t a = w2 - u * u;
            const int64_t bell = a * a * 256 / (w2 * w2);
            img_put(img, x, y,
                    pack({static_cast<int>(c.r * bell / 256), static_cast<int>(c.g * bell / 256),
                          static_cast<int>(c.b * bell / 256)}));
        }
    }
    return save(&img, dir, "klov-rainbow.ppm");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_pictures <outdir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int ok = logo(dir) && sprites(dir) && year(dir) && rainbow(dir);
    return ok ? 0 : 1;
}
