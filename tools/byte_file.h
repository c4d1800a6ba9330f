// Whole files as bytes, and the little-endian numbers the tune and WAV tools poke at.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The file's bytes; empty when it cannot be read.
inline std::vector<uint8_t> bytes_read(const std::string &path) {
    std::vector<uint8_t> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

inline unsigned bytes_get16(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | unsigned(b[at + 1]) << 8;
}
inline uint32_t bytes_get32(const std::vector<uint8_t> &b, size_t at) {
    return bytes_get16(b, at) | uint32_t(bytes_get16(b, at + 2)) << 16;
}
inline void bytes_put16(std::vector<uint8_t> *b, size_t at, unsigned v) {
    (*b)[at] = uint8_t(v);
    (*b)[at + 1] = uint8_t(v >> 8);
}
inline void bytes_put32(std::vector<uint8_t> *b, size_t at, uint32_t v) {
    bytes_put16(b, at, v & 0xFFFF);
    bytes_put16(b, at + 2, v >> 16);
}
