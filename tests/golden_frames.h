// Hashes of the whole 640 x 480 screen after composing frames 0, 1 and 300 of a run that
// holds Space in frame 5, P in frames 10 to 14, 7 in frame 100 and O in frames 200 and
// 201 (each applied after its frame is composed), with the data files of data/ and the C
// library's unseeded random sequence. They pin down the order of the random draws, the
// accumulating shuffle, the swings, the bars, the scroller's speed changes and the sprite
// paths; they change whenever a picture in data/ does.
#pragma once

#include <cstdint>

#include "image/img.h"

inline constexpr uint64_t golden_frame_0 = 0x41546739dd58d523;
inline constexpr uint64_t golden_frame_1 = 0x5ceb2224b4516fe2;
inline constexpr uint64_t golden_frame_300 = 0xb04688287682b7b6;

// The same keys as a capture's key script, where a frame's key comes before it is composed.
inline constexpr const char golden_key_script[] = "6:space,11-15:p,101:7,201-202:o";

inline uint64_t fnv1a(const Image *img) {
    uint64_t h = 0xcbf29ce484222325u;
    for (int32_t i = 0; i < img->width * img->height; i++)
        for (int b = 0; b < 4; b++) {
            h ^= (img->pixels[i] >> (8 * b)) & 0xFF;
            h *= 0x100000001b3u;
        }
    return h;
}
