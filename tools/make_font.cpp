// make_font <font8x8.txt> <outdir>: turns the text-art font into <outdir>/font8x8.pbm, a
// binary PBM sheet of 16 x 8 cells of 8 x 8 pixels in code order (codes 0-127). A set bit is
// a visible pixel, as the intro's reader takes it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kCell = 8;
constexpr int kCodes = 128;
constexpr int kColumns = 16;
constexpr int kFirstRequired = 32; // space up to the last printable code must all be drawn
constexpr int kLastRequired = 127;

struct Glyphs {
    unsigned char rows[kCodes][kCell]; // bit 7 is the glyph's left column
    bool present[kCodes];
};

int fail(const char *path, int line, const char *what) {
    fprintf(stderr, "make_font: %s:%d: %s\n", path, line, what);
    return 0;
}

std::string trim_end(const char *s) {
    std::string t(s);
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
    return t;
}

// Returns 1 when every glyph parsed; prints the first problem otherwise.
int read_glyphs(const char *path, Glyphs *g) {
    FILE *f = fopen(path, "r");
    if (!f) return fail(path, 0, "cannot open");
    char buf[256];
    int line = 0, code = -1, row = kCell, ok = 1;
    while (ok && fgets(buf, sizeof buf, f)) {
        line++;
        const std::string t = trim_end(buf);
        if (row < kCell) {
            if (t.size() != kCell) {
                ok = fail(path, line, "a glyph row must be 8 cells of '#' or '.'");
                break;
            }
            unsigned char bits = 0;
            for (int x = 0; x < kCell; x++) {
                if (t[x] == '#')
                    bits |= 0x80 >> x;
                else if (t[x] != '.')
                    ok = fail(path, line, "a glyph row must be 8 cells of '#' or '.'");
            }
            g->rows[code][row++] = bits;
            continue;
        }
        if (t.empty() || t.rfind("//", 0) == 0) continue;
        if (t.rfind("code ", 0) != 0) {
            ok = fail(path, line, "expected \"code <n> <name>\"");
            break;
        }
        char *end = nullptr;
        const long n = strtol(t.c_str() + 5, &end, 10);
        if (end == t.c_str() + 5 || n < 0 || n >= kCodes || (*end != '\0' && *end != ' ')) {
            ok = fail(path, line, "the code must be a number from 0 to 127");
        } else if (g->present[n]) {
            ok = fail(path, line, "code given twice");
        } else {
            code = static_cast<int>(n);
            g->present[code] = true;
            row = 0;
        }
    }
    fclose(f);
    if (!ok) return 0;
    if (row < kCell) return fail(path, line, "the last glyph has fewer than 8 rows");
    for (int c = kFirstRequired; c <= kLastRequired; c++) {
        if (!g->present[c]) {
            fprintf(stderr, "make_font: %s: no glyph for code %d\n", path, c);
            return 0;
        }
    }
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: make_font <font8x8.txt> <outdir>\n");
        return 2;
    }
    static Glyphs g;
    if (!read_glyphs(argv[1], &g)) return 1;

    const int width = kColumns * kCell;             // 128: one byte per cell per row
    const int height = (kCodes / kColumns) * kCell; // 64
    const std::string out = std::string(argv[2]) + "/font8x8.pbm";
    FILE *f = fopen(out.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "make_font: cannot write %s\n", out.c_str());
        return 1;
    }
    fprintf(f, "P4\n%d %d\n", width, height);
    for (int y = 0; y < height; y++) {
        for (int col = 0; col < kColumns; col++) {
            const int code = (y / kCell) * kColumns + col;
            putc(g.rows[code][y % kCell], f);
        }
    }
    const bool written = fflush(f) == 0 && !ferror(f);
    if (fclose(f) != 0 || !written) {
        fprintf(stderr, "make_font: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
