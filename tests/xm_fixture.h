// A tiny XM module for the music tests: one pattern in which channel 0 strikes a square
// wave on its first row, then rests to the end of the pattern. At speed 6 and 125 BPM a
// row lasts 0.12 s, so the tune ends after rows x 0.12 s.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

class XmBytes {
  public:
    void u8(int v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(int v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    void text(const char *s, size_t n) {
        for (size_t i = 0; i < n; i++) u8(i < strlen(s) ? s[i] : 0);
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    void append(const XmBytes &o) { bytes.insert(bytes.end(), o.bytes.begin(), o.bytes.end()); }
    std::vector<uint8_t> bytes;
};

inline std::vector<uint8_t> tiny_xm(int channels, int rows) {
    XmBytes x;
    x.text("Extended Module: ", 17);
    x.text("fixture", 20);
    x.u8(0x1A);
    x.text("klov tests", 20);
    x.u16(0x0104);
    x.u32(276);      // header size
    x.u16(1);        // song length
    x.u16(0);        // restart position
    x.u16(channels); //
    x.u16(1);        // patterns
    x.u16(1);        // instruments
    x.u16(1);        // linear frequencies
    x.u16(6);        // speed
    x.u16(125);      // BPM
    x.u8(0);         // the order table: pattern 0
    x.zeros(255);

    XmBytes data; // row 0 channel 0: C-4 with instrument 1; everything else empty
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < channels; c++) {
            if (r == 0 && c == 0) {
                data.u8(0x80 | 0x01 | 0x02);
                data.u8(49);
                data.u8(1);
            } else {
                data.u8(0x80);
            }
        }
    x.u32(9);
    x.u8(0);
    x.u16(rows);
    x.u16(static_cast<int>(data.bytes.size()));
    x.append(data);

    x.u32(263); // instrument header size
    x.text("square", 22);
    x.u8(0);
    x.u16(1);  // samples
    x.u32(40); // sample header size
    x.zeros(96 + 48 + 48 + 8 + 2 + 4);
    x.u16(0);
    x.zeros(22);

    const int length = 64;
    x.u32(length);
    x.u32(0);      // loop start
    x.u32(length); // loop length
    x.u8(64);      // volume
    x.u8(0);       // finetune
    x.u8(1);       // forward loop, 8-bit
    x.u8(128);     // panning
    x.u8(0);       // relative note
    x.u8(0);
    x.text("square", 22);
    int8_t previous = 0; // the samples are stored as differences
    for (int i = 0; i < length; i++) {
        const int8_t v = i < length / 2 ? 100 : -100;
        x.u8(static_cast<uint8_t>(v - previous));
        previous = v;
    }
    return x.bytes;
}

inline bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}
