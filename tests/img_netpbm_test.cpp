// Files written by netpbm and ImageMagick load pixel for pixel, and what img_save writes
// reads back in both. The test command installs the tools; ImageMagick is called by its full
// path because another program named convert may come first on the search path.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

#include "tests/img_helpers.h"

namespace {

// Runs a shell command; its standard output, with a failure recorded if it did not exit 0.
std::string run(const std::string &command) {
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot start: " << command;
        return "";
    }
    std::string out;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "failed (is the netpbm or imagemagick package installed?): " << command;
    return out;
}

std::string quoted(const std::string &path) {
    return "'" + path + "'";
}

const int W = 10, H = 3; // a width that is not a multiple of 8

// The test's own sources in the plain forms, with the words img_load must give for them.
struct Source {
    std::string plain;
    std::vector<uint32_t> words;
};

Source colour_source() {
    Source s{"P3\n10 3\n255\n", some_words(W * H, 3)};
    for (uint32_t w : s.words)
        s.plain += std::to_string(w >> 16) + " " + std::to_string(w >> 8 & 0xFF) + " " +
                   std::to_string(w & 0xFF) + "\n";
    return s;
}

Source grey_source() {
    Source s{"P2\n10 3\n255\n", {}};
    for (uint32_t w : some_words(W * H, 5)) {
        const uint32_t v = w & 0xFF;
        s.plain += std::to_string(v) + " ";
        s.words.push_back(v << 16 | v << 8 | v);
    }
    return s;
}

// In the files a 1 is black; here a set bit is white.
Source bitmap_source() {
    Source s{"P1\n10 3\n", {}};
    for (uint32_t w : some_words(W * H, 9)) {
        const bool bit = w & 0x100;
        s.plain += bit ? "1 " : "0 ";
        s.words.push_back(bit ? 0xFFFFFF : 0);
    }
    return s;
}

// The numbers of a plain PNM text, comments left out.
std::vector<long> numbers_of(const std::string &text, std::string *magic) {
    std::istringstream lines(text);
    std::string line, all;
    while (std::getline(lines, line)) all += line.substr(0, line.find('#')) + "\n";
    std::istringstream in(all);
    in >> *magic;
    std::vector<long> numbers;
    for (long v; in >> v;) numbers.push_back(v);
    return numbers;
}

} // namespace

class ImgNetpbm : public testing::Test {
  protected:
    TempDir dir;

    // Makes a file with `command` ({in} and {out} are replaced), checks its magic and
    // whether it has a comment, then loads it.
    void check_made(const std::string &command_template, const Source &source,
                    const std::string &suffix, const std::string &magic, bool comment) {
        const std::string in = dir.write("source" + suffix, source.plain);
        const std::string out = dir.file("made" + suffix);
        std::string command = command_template;
        command.replace(command.find("{in}"), 4, quoted(in));
        command.replace(command.find("{out}"), 5, quoted(out));
        run(command);
        const std::string bytes = read_file(out);
        ASSERT_EQ(bytes.substr(0, 2), magic) << command;
        EXPECT_EQ(bytes.find('#') != std::string::npos, comment) << command;
        Image *img = nullptr;
        EXPECT_EQ(stdout_of([&] { img = img_load(out.c_str()); }), "") << command;
        ASSERT_NE(img, nullptr) << command;
        EXPECT_EQ(img->width, W);
        EXPECT_EQ(img->height, H);
        EXPECT_EQ(words_of(img), source.words) << command;
        img_free(&img);
    }
};

TEST_F(ImgNetpbm, ColourFilesFromBothTools) {
    const Source s = colour_source();
    check_made("pamtopnm < {in} > {out}", s, ".ppm", "P6", false);
    check_made("pamtopnm < {in} | pnmtoplainpnm > {out}", s, ".ppm", "P3", false);
    check_made("/usr/bin/convert {in} -set comment 'made by convert' {out}", s, ".ppm", "P6", true);
    check_made("/usr/bin/convert {in} -set comment x -compress none {out}", s, ".ppm", "P3", true);
}

TEST_F(ImgNetpbm, GreyFilesFromBothTools) {
    const Source s = grey_source();
    check_made("pamtopnm < {in} > {out}", s, ".pgm", "P5", false);
    check_made("pamtopnm < {in} | pnmtoplainpnm > {out}", s, ".pgm", "P2", false);
    check_made("/usr/bin/convert {in} -set comment 'made by convert' {out}", s, ".pgm", "P5", true);
    check_made("/usr/bin/convert {in} -set comment x -compress none {out}", s, ".pgm", "P2", true);
}

TEST_F(ImgNetpbm, BitmapFilesFromBothTools) {
    const Source s = bitmap_source();
    check_made("pamtopnm < {in} > {out}", s, ".pbm", "P4", false);
    // netpbm's plain bitmap runs each row's digits together. img_load takes a digit run as one
    // pixel and refuses the short body; the buffer parser reads one digit a pixel.
    const std::string in = dir.write("source.pbm", s.plain), out = dir.file("packed.pbm");
    run("pamtopnm < " + quoted(in) + " | pnmtoplainpnm > " + quoted(out));
    const std::string packed = read_file(out);
    ASSERT_EQ(packed.substr(0, 2), "P1");
    Image *img = nullptr;
    EXPECT_EQ(stdout_of([&] { img = img_load(out.c_str()); }), "IMG error\n");
    img = img_from_pnm(reinterpret_cast<const unsigned char *>(packed.c_str()));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, W);
    EXPECT_EQ(words_of(img), s.words);
    img_free(&img);
    check_made("/usr/bin/convert {in} -set comment 'made by convert' {out}", s, ".pbm", "P4", true);
    check_made("/usr/bin/convert {in} -set comment x -compress none {out}", s, ".pbm", "P1", true);
}

// Files the tools make from nothing: a black netpbm bitmap is all set bits, white here.
TEST_F(ImgNetpbm, FilesMadeFromScratch) {
    const struct {
        std::string command;
        uint32_t word;
    } cases[] = {
        {"ppmmake rgb:ff/80/00 3 2", 0xFF8000},
        {"pgmmake 1 3 2", 0xFFFFFF},
        {"pbmmake -black 3 2", 0xFFFFFF},
        {"pbmmake -white 3 2", 0},
    };
    for (const auto &c : cases) {
        const std::string path = dir.file("scratch.pnm");
        run(c.command + " > " + quoted(path));
        Image *img = img_load(path.c_str());
        ASSERT_NE(img, nullptr) << c.command;
        EXPECT_EQ(img->width, 3);
        EXPECT_EQ(img->height, 2);
        EXPECT_EQ(words_of(img), std::vector<uint32_t>(6, c.word)) << c.command;
        img_free(&img);
    }
}

TEST_F(ImgNetpbm, SavedFilesReadBackInBothTools) {
    const int w = 13, h = 7;
    const std::vector<uint32_t> words = some_words(w * h, 11);
    Image *img = make_image(w, h, words);
    const std::string path = dir.file("saved.ppm");
    ASSERT_EQ(img_save(img, path.c_str()), 1);
    img_free(&img);
    for (const std::string &command :
         {"pnmtoplainpnm " + quoted(path),
          "/usr/bin/convert " + quoted(path) + " -compress none ppm:-"}) {
        std::string magic;
        const std::vector<long> numbers = numbers_of(run(command), &magic);
        EXPECT_EQ(magic, "P3") << command;
        ASSERT_EQ(numbers.size(), size_t(3 + 3 * w * h)) << command;
        EXPECT_EQ(numbers[0], w);
        EXPECT_EQ(numbers[1], h);
        EXPECT_EQ(numbers[2], 255);
        for (int i = 0; i < w * h; i++) {
            const uint32_t got =
                uint32_t(numbers[3 + 3 * i] << 16 | numbers[4 + 3 * i] << 8 | numbers[5 + 3 * i]);
            ASSERT_EQ(got, words[i]) << command << " pixel " << i;
        }
    }
}
