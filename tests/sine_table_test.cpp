#include <gtest/gtest.h>

#include "intro/sine_table.h"

TEST(SineTable, KnownEntriesAndSymmetry) {
    ASSERT_EQ(sine_length, 1024);
    const struct {
        int index, value;
    } known[] = {{0, 0},       {1, 201},     {2, 402},     {64, 12539},  {128, 23170},
                 {129, 23312}, {183, 29535}, {255, 32766}, {256, 32766}, {257, 32765},
                 {384, 23027}, {511, 0},     {512, 0},     {513, -201},  {768, -32766},
                 {1022, -201}, {1023, 0}};
    for (auto k : known) EXPECT_EQ(sine_table[k.index], k.value) << "entry " << k.index;
    for (int j = 0; j < 256; j++) EXPECT_EQ(sine_table[256 + j], sine_table[255 - j]);
    for (int k = 0; k < 512; k++) EXPECT_EQ(sine_table[512 + k], -sine_table[k]);
}
