// Netpbm files and buffers, binary PPM output, and the image text form.
#include <gtest/gtest.h>

#include <climits>

#include "tests/hostile_files.h"
#include "tests/img_helpers.h"

using namespace std::string_literals;

class ImgFile : public testing::Test {
  protected:
    TempDir dir;

    // Loads `bytes` from a file; the words, or nullopt for no Image. Also keeps the output.
    std::optional<std::vector<uint32_t>> load(const std::string &bytes, int32_t *w = nullptr,
                                              int32_t *h = nullptr) {
        const std::string path = dir.write("in.pnm", bytes);
        Image *img = nullptr;
        printed = stdout_of([&] { img = img_load(path.c_str()); });
        if (!img) return std::nullopt;
        if (w) *w = img->width;
        if (h) *h = img->height;
        std::vector<uint32_t> words = words_of(img);
        img_free(&img);
        return words;
    }
    std::string printed;
};

using Words = std::vector<uint32_t>;

static Image *from_buffer(const std::string &bytes, std::string *printed);

TEST_F(ImgFile, LoadsEachKind) {
    const struct {
        std::string bytes;
        int32_t w, h;
        Words words;
    } cases[] = {
        {"P6\n2 1\n255\n\xFF\x80\x00\x00\x01\x02"s, 2, 1, {0xFF8000, 0x000102}},
        {"P3\n2 1\n255\n255 128 0  0 1 2\n", 2, 1, {0xFF8000, 0x000102}},
        {"P5 3 1 255 \x00\x7F\xFF"s, 3, 1, {0, 0x7F7F7F, 0xFFFFFF}},
        {"P2\n1 1\n15\n15\n", 1, 1, {0x0F0F0F}},        // maxval does not scale
        {"P3\n1 1\n255\n256 0 0\n", 1, 1, {0x1000000}}, // no clamping: red spills
        {"P2 1 1 255 65793", 1, 1, {0x01010101}},       // 0x10101 spills; ends at the end of file
        {"P1\n2 2\n1 0 0 1\n", 2, 2, {0xFFFFFF, 0, 0, 0xFFFFFF}}, // a set bit is white
        {"P1 3 1 0 7 0010", 3, 1, {0, 0xFFFFFF, 0xFFFFFF}},
        // Width 10: two bytes a row, the low bits of each row's second byte unused.
        {"P4\n10 2\n\x80\x7F\x40\x3F"s, 10, 2, {0xFFFFFF, 0,        0, 0, 0, 0, 0, 0, 0, 0xFFFFFF,
                                                0,        0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        int32_t w = 0, h = 0;
        const auto words = load(c.bytes, &w, &h);
        ASSERT_TRUE(words) << c.bytes << printed;
        EXPECT_EQ(printed, "");
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(*words, c.words) << c.bytes;
    }
}

// Comments and any whitespace between items; the items may come in any order relative to
// the magic.
TEST_F(ImgFile, HeaderCommentsAndOrder) {
    const std::string body = "\xFF\x80\x00\x00\x01\x02"s;
    for (const std::string header :
         {"P6 2 1 255\n", "#c\nP6\n2 1\n255\n", "P6#c\n2 1\n255\n", "P6\n#c\n2 1\n255\n",
          "P6\n2#\n1\n255\n", "P6\n2\n# one # two\n1 255\n", "P6\n2 1\n#c\n255\n",
          "P6\t2\r1\x01\x80\xFF 255 ", "2 1 P6 255\n", "2 P6 1 255\n"}) {
        const auto words = load(header + body);
        ASSERT_TRUE(words) << header;
        EXPECT_EQ(*words, (Words{0xFF8000, 0x000102})) << header;
    }
    // With the magic last the body starts right after the kind.
    auto words = load("2 1 255 P6" + body);
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, (Words{0xFF8000, 0x000102}));
    // The byte that ends a number is consumed, a printable non-digit too.
    words = load("P2\n2x1 255\n7 9\n");
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, (Words{0x070707, 0x090909}));
}

// Bad kinds, zero or overflowing sizes, and input that ends before the header or the body
// is complete: one report and no Image.
TEST_F(ImgFile, LoadFailures) {
    const std::string failures[] = {
        "P7 1 1 255 x", "P0 1 1 255 x", "P", "P6\n0 1\n255\nabc", "P6\n1 0\n255\nabc",
        "P5 65536 65536 255 ", "P5 99999999999999999999999999999 1 255 x", "P5 -5 1 255 x",
        // End of file in the header, in a comment, in each kind of body.
        "", "P6 2", "P6 2 1", "P6 2 1 #255\n", "P6 2 1\n# no end", "P2 2 1 255\n7", "P1 2 2 1 0 0",
        "P1 2 2\n1001", // one pixel: digits need separators
        "P3 1 1 255 1 2", "P4 9 1 \x80", "P5 2 2 255 abc", "P6 1 1 255 ab",
        "P5 40000 40000 255\nshort", // refused before anything is allocated
    };
    for (const auto &bytes : failures) {
        EXPECT_FALSE(load(bytes)) << bytes;
        EXPECT_EQ(printed, "IMG error\n") << bytes;
    }
    Image *img = nullptr;
    const std::string missing = dir.file("missing.pnm");
    for (const char *path : {missing.c_str(), "/dev/null", "/"}) {
        EXPECT_EQ(stdout_of([&] { img = img_load(path); }), "IMG error\n") << path;
        EXPECT_EQ(img, nullptr);
    }
    EXPECT_EQ(stdout_of([&] { img = img_load(nullptr); }), "IMG error\n");
}

// Paths that are not regular files and headers that never end are refused at once with the
// usual report: no blocked open, no endless scan. Each load runs in a child that a hang
// can't outlive.
TEST_F(ImgFile, HostileFilesFailQuickly) {
    std::vector<HostilePath> cases = hostile_paths(dir.path());
    const std::string body = "1 1 255\nabc";
    cases.push_back(
        {"endless blanks", dir.write("blanks.ppm", "P6" + std::string(100000, ' ') + body)});
    cases.push_back({"endless comment",
                     dir.write("comment.ppm", "P6 #" + std::string(100000, 'x') + "\n" + body)});
    cases.push_back({"endless comment lines",
                     dir.write("lines.ppm", "P6\n" + std::string(100000, '#') + body)});
    for (const auto &c : cases) {
        const int status = in_child(10, [&] {
            Image *img = nullptr;
            const std::string out = stdout_of([&] { img = img_load(c.path.c_str()); });
            return img == nullptr && out == "IMG error\n" ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << c.what << (status == -1 ? ": did not end" : "");
    }
    // A long comment that real files could hold still loads.
    const auto words =
        load("P6 #" + std::string(4000, 'x') + "\n2 1 255\n\xFF\x80\x00\x00\x01\x02"s);
    ASSERT_TRUE(words) << printed;
    EXPECT_EQ(*words, (Words{0xFF8000, 0x000102}));
}

// A maxval above 255 means two-byte samples in the binary kinds, and every sample is scaled
// to 8 bits; a maxval of 0 or above 65535, or a sample above the maxval, is refused. Both
// readers agree.
TEST_F(ImgFile, MaxvalAbove255IsScaledAndZeroRefused) {
    const struct {
        std::string bytes;
        std::optional<Words> words;
    } cases[] = {
        {"P5 3 1 65535\n\xFF\xFF\x80\x00\x00\xFF"s, Words{0xFFFFFF, 0x808080, 0x010101}},
        {"P6 1 1 1000\n\x03\xE8\x01\xF4\x00\x00"s, Words{0xFF8000}},
        {"P5 2 1 256\n\x01\x00\x00\x80"s, Words{0xFFFFFF, 0x808080}},
        {"P2 2 1 1000\n1000 500\n", Words{0xFFFFFF, 0x808080}},
        {"P3 1 1 65535\n65535 0 32768\n", Words{0xFF0080}},
        {"P5 2 1 255\n\x01\xFF"s, Words{0x010101, 0xFFFFFF}}, // one byte each, as they stand
        {"P5 1 1 15\n\x0F"s, Words{0x0F0F0F}},
        {"P5 1 1 0\nx", std::nullopt},
        {"P6 1 1 0\nabc", std::nullopt},
        {"P2 1 1 0\n1\n", std::nullopt},
        {"P3 1 1 0\n1 2 3\n", std::nullopt},
        {"P5 1 1 65536\nxx", std::nullopt},
        {"P2 1 1 1000\n1001\n", std::nullopt},
        {"P5 1 1 1000\n\x03\xE9"s, std::nullopt},
        {"P5 2 1 65535\n\x01\x02\x03"s, std::nullopt}, // the second sample cut short
    };
    for (const auto &c : cases) {
        const auto words = load(c.bytes);
        std::string printed_pnm;
        Image *img = from_buffer(c.bytes, &printed_pnm);
        if (c.words) {
            ASSERT_TRUE(words) << c.bytes << printed;
            EXPECT_EQ(*words, *c.words) << c.bytes;
            ASSERT_NE(img, nullptr) << c.bytes;
            EXPECT_EQ(words_of(img), *c.words) << c.bytes;
        } else {
            EXPECT_FALSE(words) << c.bytes;
            EXPECT_EQ(printed, "IMG error\n") << c.bytes;
            EXPECT_EQ(img, nullptr) << c.bytes;
            EXPECT_EQ(printed_pnm, "IMG error\n") << c.bytes;
        }
        if (img) img_free(&img);
    }
}

TEST_F(ImgFile, SaveWritesBinaryPpmThatLoadsBack) {
    Image *img = make_image(2, 1, {0xFF8000, 0x000102});
    const std::string path = dir.file("out.ppm");
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_save(img, path.c_str()), 1); }), "");
    EXPECT_EQ(read_file(path), "P6\n2 1\n255\n\xFF\x80\x00\x00\x01\x02"s);
    img_free(&img);

    img = make_image(13, 7, some_words(91));
    img->pixels[3] = 0xAB000000 | 0x010203; // the top byte is not written
    ASSERT_EQ(img_save(img, path.c_str()), 1);
    Image *back = img_load(path.c_str());
    ASSERT_NE(back, nullptr);
    img->pixels[3] = 0x010203;
    EXPECT_EQ(img_equal(img, back), 1);
    img_free(&img);
    img_free(&back);
}

TEST_F(ImgFile, SaveFailures) {
    Image *img = make_image(2, 2);
    Image *flat = make_image(0, 2);
    Image bare = {2, 2, nullptr};
    const std::string path = dir.file("x.ppm");
    const std::vector<std::pair<const char *, std::function<int()>>> cases = {
        {"null image", [&] { return img_save(nullptr, path.c_str()); }},
        {"null path", [&] { return img_save(img, nullptr); }},
        {"no pixel array", [&] { return img_save(&bare, path.c_str()); }},
        {"width 0", [&] { return img_save(flat, path.c_str()); }},
        {"unopenable", [&] { return img_save(img, dir.file("no/such/dir.ppm").c_str()); }},
        {"full disk", [&] { return img_save(img, "/dev/full"); }},
    };
    for (const auto &[name, action] : cases) {
        int result = -1;
        EXPECT_EQ(stdout_of([&] { result = action(); }), "IMG error\n") << name;
        EXPECT_EQ(result, 0) << name;
    }
    img_free(&img);
    img_free(&flat);
}

// A save that fails part-way (a full disk) leaves the old picture as it was and no stray
// file; a complete one replaces it, keeping its permissions and a link that leads to it.
TEST_F(ImgFile, SaveReplacesTheOldPictureOnlyWhenComplete) {
    const std::string old = "P6\n1 1\n255\nabc";
    const std::string path = dir.write("keep.ppm", old);
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    Image *big = make_image(64, 64, some_words(64 * 64));
    const int status = on_full_disk(1000, [&] {
        int result = -1;
        const std::string out = stdout_of([&] { result = img_save(big, path.c_str()); });
        return result == 0 && out == "IMG error\n" ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(path), old);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"keep.ppm"});

    const std::string link = dir.file("link.ppm");
    std::filesystem::create_symlink(path, link);
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(img_save(big, link.c_str()), 1); }), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    Image *back = img_load(path.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(img_equal(big, back), 1);
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"keep.ppm", "link.ppm"}));
    img_free(&back);
    img_free(&big);
}

// A bounded copy of `bytes`, so that a read past the end is caught by the sanitizer.
static Image *from_buffer(const std::string &bytes, std::string *printed) {
    std::vector<unsigned char> copy(bytes.begin(), bytes.end());
    Image *img = nullptr;
    *printed = stdout_of([&] { img = img_from_pnm_n(copy.data(), copy.size()); });
    return img;
}

TEST(ImgFromPnm, ParsesEachKind) {
    const struct {
        std::string bytes;
        int32_t w, h;
        Words words;
    } cases[] = {
        {"P6\n2 1\n255\n\xFF\x80\x00\x00\x01\x02"s, 2, 1, {0xFF8000, 0x000102}},
        {"P3 #c\n2 1 255\n255 128 0 0 1 2", 2, 1, {0xFF8000, 0x000102}},
        {"P5 2 1 255\n\x00\x10"s, 2, 1, {0, 0x101010}},
        {"P2 2 1 15\n15 300", 2, 1, {0x0F0F0F, 300u << 16 | 300u << 8 | 300u}},
        {"P1 4 1\n0110", 4, 1, {0, 0xFFFFFF, 0xFFFFFF, 0}}, // one digit a pixel
        {"P1 2 1\n5 x 0", 2, 1, {0xFFFFFF, 0}},
        // Width 10 rounds up to 16: the filler bits are pixels too.
        {"P4 10 2\n\xFF\x01\x80\x00"s,
         16,
         2,
         {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0,
          0,        0,        0,        0,        0xFFFFFF, 0xFFFFFF, 0,        0,        0, 0, 0,
          0,        0,        0,        0,        0,        0,        0,        0,        0, 0}},
        // The width came before the magic: no rounding, the bits run on across rows.
        {"3 P4 2\n\xA8"s, 3, 2, {0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF, 0}},
        // A stray printable byte after the three numbers is passed over.
        {"1 1 1 xP5 A", 1, 1, {0x414141}},
    };
    for (const auto &c : cases) {
        std::string printed;
        Image *img = from_buffer(c.bytes, &printed);
        ASSERT_NE(img, nullptr) << c.bytes << printed;
        EXPECT_EQ(printed, "");
        EXPECT_EQ(img->width, c.w) << c.bytes;
        EXPECT_EQ(img->height, c.h) << c.bytes;
        EXPECT_EQ(words_of(img), c.words) << c.bytes;
        img_free(&img);
    }
    // The unbounded form reads the same, a NUL inside a binary body being a sample.
    const unsigned char p5[] = "P5 3 1 255\n\x01\x00\x02";
    Image *img = img_from_pnm(p5);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(words_of(img), (Words{0x010101, 0, 0x020202}));
    img_free(&img);
}

TEST(ImgFromPnm, Failures) {
    const std::string failures[] = {
        "P7 1 1 255 x",
        "P0 1 1 255 x",
        "P",
        "P\0"s + "6 1 1 255 x",
        "P2\n2x1\n255\n7 9", // the 'x' stays and gives the height 0
        "P6 0 1 255 abc",
        "P5 65536 65536 255 ",
        "P5 99999999999999999999999 1 255 x",
        // The end of the buffer or a NUL in the header, in a comment or in a text body.
        "",
        "P6 2",
        "P6 2 1 255",
        "P6 2 1 # c",
        "P6 2 1\0 255 abcdef"s,
        "P5 1 1 255\0x"s,
        "P2 2 1 255\n7",
        "P2 2 1 255\n7\0 9"s,
        "P3 1 1 255 1 2",
        "P1 2 1\n1\0"s + "1",
        // Binary bodies short of the end of the bounded buffer.
        "P4 9 1\n\x80",
        "P5 2 2 255 abc",
        "P6 1 1 255 ab",
        "P5 40000 40000 255\nshort",
    };
    for (const auto &bytes : failures) {
        std::string printed;
        EXPECT_EQ(from_buffer(bytes, &printed), nullptr) << bytes;
        EXPECT_EQ(printed, "IMG error\n") << bytes;
    }
    Image *img = nullptr;
    EXPECT_EQ(stdout_of([&] { img = img_from_pnm(nullptr); }), "IMG error\n");
    EXPECT_EQ(stdout_of([&] { img = img_from_pnm_n(nullptr, 4); }), "IMG error\n");
    // Without a length a C string ends at its NUL.
    const unsigned char cut[] = "P3 2 1 255 1 2 3 4";
    EXPECT_EQ(stdout_of([&] { img = img_from_pnm(cut); }), "IMG error\n");
    EXPECT_EQ(img, nullptr);
}

TEST(ImgText, WritesTheTextForm) {
    Image *img = make_image(2, 1, {0xFF8000, 0x000102});
    char *text = nullptr;
    EXPECT_EQ(stdout_of([&] { text = img_to_text(img); }), "");
    EXPECT_STREQ(text, "IMG{\nP3\n2 1\n255\n255 128   0   0   1   2\n}\n");
    free(text);
    img_free(&img);

    img = make_image(7, 1, some_words(7));
    text = img_to_text(img);
    const std::string s = text;
    const size_t body = std::string("IMG{\nP3\n7 1\n255\n").size();
    ASSERT_EQ(s.size(), body + 7 * 12 + 2);
    EXPECT_EQ(s[body + 6 * 12 - 1], '\n'); // after the 6th pixel
    EXPECT_EQ(s[body + 7 * 12 - 1], '\n'); // after the last
    EXPECT_EQ(s.substr(s.size() - 2), "}\n");
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 7);
    free(text);
    img_free(&img);

    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {0, 0}}) {
        img = make_image(w, h);
        text = img_to_text(img);
        EXPECT_STREQ(text, "IMG{}");
        free(text);
        img_free(&img);
    }
}

TEST(ImgText, ReadsTheTextForm) {
    Image *img = nullptr;
    EXPECT_EQ(stdout_of([&] { img = img_from_text("xx IMG{\nP3\n1 1\n255\n  1   2   3\n}\n"); }),
              "");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(words_of(img), Words{0x010203});
    img_free(&img);
    // Channels past 255 spill; runs of many digits saturate instead of overflowing.
    img = img_from_text("IMG{P3\n2 1 255\n256 0 0 99999999999999999999 0 7");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(words_of(img), (Words{0x1000000, 0xFFFF0007}));
    img_free(&img);

    for (auto [w, h] : {std::pair{1, 1}, {7, 1}, {6, 2}, {5, 9}, {33, 3}}) {
        Image *src = make_image(w, h, some_words(w * h, w));
        char *text = img_to_text(src);
        Image *back = img_from_text(text);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(img_equal(src, back), 1) << w << " x " << h;
        free(text);
        img_free(&src);
        img_free(&back);
    }
}

TEST(ImgText, Failures) {
    const char *failures[] = {
        "IMG{}",
        "IMG\nP3\n1 1\n255\n1 2 3",
        "{P3\n1 1\n255\n1 2 3",
        "IMG{P3 1 1 255 1 2 3",
        "IMG{\nP3\n1",
        "IMG{\nP3\n1 1",
        "IMG{\nP3\n2 1\n255\n1 2 3 4 5 }\n", // ends one number short
        "IMG{\nP3\n65536 65536\n255\n",
        "IMG{\nP3\n99999999999999999999 1\n255\n1 2 3",
        // No text makes a pixel-less Image, whose own text form "IMG{}" does not read back.
        "IMG{\nP3\n0 5\n255\n}\n",
        "IMG{\nP3\n5 0\n255\n}\n",
    };
    for (const char *text : failures) {
        Image *img = nullptr;
        EXPECT_EQ(stdout_of([&] { img = img_from_text(text); }), "IMG error\n") << text;
        EXPECT_EQ(img, nullptr) << text;
    }
    Image *img = nullptr;
    EXPECT_EQ(stdout_of([&] { img = img_from_text(nullptr); }), "IMG error\n");
    char *text = nullptr;
    EXPECT_EQ(stdout_of([&] { text = img_to_text(nullptr); }), "IMG error\n");
    // A text longer than an int can index is refused before anything is written or read.
    uint32_t one = 0;
    Image huge = {20000, 10000, &one};
    EXPECT_EQ(stdout_of([&] { text = img_to_text(&huge); }), "IMG error\n");
    EXPECT_EQ(text, nullptr);
}

TEST(ImgFind, IndexPastThePattern) {
    EXPECT_EQ(img_find("abIMG{", "IMG"), 5);
    EXPECT_EQ(img_find("abIMG{", "{"), 6);
    EXPECT_EQ(img_find("xIMG", "IMG"), 4);
    EXPECT_EQ(img_find("IMIMG", "IMG"), 5);
    std::string printed = stdout_of([] {
        EXPECT_EQ(img_find("abc", ""), 0);
        EXPECT_EQ(img_find("abc", "abcd"), 0);
        EXPECT_EQ(img_find("", "a"), 0);
    });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(stdout_of([] { EXPECT_EQ(img_find(nullptr, "a"), 0); }), "IMG error\n");
    EXPECT_EQ(stdout_of([] { EXPECT_EQ(img_find("a", nullptr), 0); }), "IMG error\n");
}
