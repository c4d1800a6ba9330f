// Small helpers shared by the IMG tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/img.h"
#include "tests/temp_dir.h"

// Runs `action` and gives what it printed on standard output.
inline std::string stdout_of(const std::function<void()> &action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

// An Image of the given size holding `words` in index order (the rest zero).
inline Image *make_image(int32_t width, int32_t height, const std::vector<uint32_t> &words = {}) {
    Image *img = img_new();
    img_resize(img, width, height);
    for (size_t i = 0; i < words.size(); i++) img->pixels[i] = words[i];
    return img;
}

inline std::vector<uint32_t> words_of(const Image *img) {
    return std::vector<uint32_t>(img->pixels, img->pixels + int64_t{img->width} * img->height);
}

// Pseudo-random 0x00RRGGBB words, the same for every run.
inline std::vector<uint32_t> some_words(size_t n, uint32_t seed = 1) {
    std::vector<uint32_t> words(n);
    for (auto &w : words) {
        seed = seed * 1103515245u + 12345u;
        w = (seed >> 8) & 0xFFFFFF;
    }
    return words;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
