#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

// Sections are parted by runs of 5 to 25 blanks; inside a section words are parted by one
// blank, or two in the key help; the text ends with exactly 37 blanks.
TEST(ScrollText, SectionsArePartedByRunsOfFiveToTwentyFiveBlanks) {
    ASSERT_GE(text.size(), 38u);
    EXPECT_EQ(text.substr(text.size() - 37), std::string(37, ' '));
    EXPECT_NE(text[text.size() - 38], ' ');
    EXPECT_NE(text[0], ' ');
    std::vector<size_t> runs;
    for (size_t i = 0; i < text.size() - 37;) {
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

} // namespace
