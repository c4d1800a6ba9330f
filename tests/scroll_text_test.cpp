#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/img.h"
#include "intro/scroll_text.h"

namespace {

const std::string text = scroll_text;

TEST(ScrollText, Is899CharactersTheFontHolds) {
    EXPECT_EQ(text.size(), 899u);
    EXPECT_EQ(strlen(scroll_text), 899u);
    for (size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        std::string(" #.:-,&!").find(c) != std::string::npos;
        EXPECT_TRUE(ok) << "character " << i << " is '" << c << "'";
    }
}

TEST(ScrollText, CarriesTheKeyHelp) {
    EXPECT_NE(text.find("PRESS KEYS: O,P: SCROLL SPEED  SPACE-BAR: SPRITES  ESC,Q: EXIT"),
              std::string::npos);
    EXPECT_NE(text.find("KLOV"), std::string::npos);
}

// The line is 640 pixels, 80 cells: a lead-in of 80 blanks makes the first frame empty, so
// the text scrolls in from the right edge. After it, sections are parted by runs of 5 to 25
// blanks; inside a section words are parted by one blank, or two in the key help; the text
// ends with exactly 37 blanks.
TEST(ScrollText, ScrollsInAfterABlankLineAndPartsSectionsByRunsOfBlanks) {
    constexpr size_t lead = 640 / 8;
    ASSERT_GE(text.size(), lead + 38);
    EXPECT_EQ(text.substr(0, lead), std::string(lead, ' '));
    EXPECT_NE(text[lead], ' ');
    EXPECT_EQ(text.substr(text.size() - 37), std::string(37, ' '));
    EXPECT_NE(text[text.size() - 38], ' ');
    std::vector<size_t> runs;
    for (size_t i = lead; i < text.size() - 37;) {
        if (text[i] != ' ') {
            i++;
            continue;
        }
        size_t n = 0;
        while (text[i + n] == ' ') n++;
        runs.push_back(n);
        i += n;
    }
    int sections = 1;
    for (size_t n : runs) {
        EXPECT_TRUE(n <= 2 || (n >= 5 && n <= 25)) << "a run of " << n << " blanks";
        sections += n >= 5;
    }
    // Presentation, party, key help, note, credits, greetings.
    EXPECT_GE(sections, 6);
}

// Every character of the text has a glyph in the committed sheet.
TEST(ScrollText, EveryCharacterIsDrawnByTheFont) {
    const std::string path = std::string(KLOV_SOURCE_DIR) + "/data/font8x8.pbm";
    Image *sheet = img_load(path.c_str());
    ASSERT_NE(sheet, nullptr);
    const int per_row = sheet->width / 8;
    for (size_t i = 0; i < text.size(); i++) {
        const int code = static_cast<signed char>(text[i]);
        if (code == ' ') continue;
        int set = 0;
        if (code >= 0 && code / per_row * 8 < sheet->height)
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++)
                    set += img_get(sheet, code % per_row * 8 + x, code / per_row * 8 + y) != 0;
        EXPECT_GT(set, 0) << "character " << i << " '" << text[i] << "' has no glyph";
    }
    img_free(&sheet);
}

} // namespace
