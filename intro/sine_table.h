// One full turn of Q15 sine in 1024 steps; the motions and the image rotation index it.
#pragma once

#include <array>
#include <cstdint>

extern const int16_t sine_length; // always 1024: users take the length from here
extern const std::array<int16_t, 1024> sine_table;
