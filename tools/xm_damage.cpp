// Writes damaged copies of a sound XM tune, one file a case, for the tune check's tests:
// cuts inside the headers and the sample data, extreme header values, and single bit flips
// in the headers.
//
//   xm_damage IN.xm OUTDIR
//
// The input must be a well-formed 1.04 tune with at least two instruments of one sample or
// more (the intro's own tune is).
#include "tools/byte_file.h"
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Where the parts of the tune lie.
struct Layout {
    std::vector<size_t> patterns;    // pattern headers
    std::vector<size_t> instruments; // instrument headers
    std::vector<size_t> samples;     // sample headers, every instrument's in turn
    std::vector<size_t> data;        // each instrument's sample data
};

bool lay_out(const Bytes &b, Layout *l) {
    if (b.size() < 336) return false;
    size_t at = 60 + bytes_get32(b, 60);
    const unsigned channels = bytes_get16(b, 68), patterns = bytes_get16(b, 70),
                   instruments = bytes_get16(b, 72);
    (void)channels;
    for (unsigned p = 0; p < patterns; p++) {
        if (at + 9 > b.size()) return false;
        l->patterns.push_back(at);
        at += bytes_get32(b, at) + bytes_get16(b, at + 7);
    }
    for (unsigned i = 0; i < instruments; i++) {
        if (at + 29 > b.size()) return false;
        l->instruments.push_back(at);
        const unsigned count = bytes_get16(b, at + 27);
        const size_t headers = at + bytes_get32(b, at);
        at = headers + 40 * size_t{count};
        uint64_t data = 0;
        for (unsigned s = 0; s < count; s++) {
            l->samples.push_back(headers + 40 * s);
            data += bytes_get32(b, headers + 40 * s);
        }
        l->data.push_back(at);
        at += data;
    }
    return at <= b.size() && l->instruments.size() >= 2 && l->samples.size() >= 2;
}

struct Case {
    std::string name;
    Bytes bytes;
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: xm_damage IN.xm OUTDIR\n");
        return 2;
    }
    Bytes tune;
    if (FILE *f = fopen(argv[1], "rb")) {
        int c;
        while ((c = getc(f)) != EOF) tune.push_back(uint8_t(c));
        fclose(f);
    }
    Layout l;
    if (!lay_out(tune, &l)) {
        fprintf(stderr, "xm_damage: %s is not a tune this generator can take apart\n", argv[1]);
        return 1;
    }
    const size_t ins1 = l.instruments[0], ins_last = l.instruments.back();
    const size_t smp1 = l.samples[0], smp_last = l.samples.back();
    const size_t pat1 = l.patterns[0];

    std::vector<Case> cases;
    auto cut = [&](const char *name, size_t at) {
        cases.push_back({name, Bytes(tune.begin(), tune.begin() + long(at))});
    };
    auto set16 = [&](const char *name, size_t at, unsigned v) {
        Case c{name, tune};
        bytes_put16(&c.bytes, at, v);
        cases.push_back(c);
    };
    auto set32 = [&](const char *name, size_t at, uint32_t v) {
        Case c{name, tune};
        bytes_put32(&c.bytes, at, v);
        cases.push_back(c);
    };
    auto set8 = [&](const char *name, size_t at, unsigned v) {
        Case c{name, tune};
        c.bytes[at] = uint8_t(v);
        cases.push_back(c);
    };

    cut("cut-in-file-header", 200);
    cut("cut-in-patterns", (pat1 + l.patterns.back()) / 2 + 3);
    cut("cut-in-first-instrument-header", ins1 + 100);
    cut("cut-in-last-instrument-header", ins_last + 10);
    cut("cut-in-first-sample-header", smp1 + 20);
    cut("cut-in-last-sample-header", smp_last + 7);
    cut("cut-in-last-sample-data", (l.data.back() + tune.size()) / 2);
    cut("cut-one-byte-short", tune.size() - 1);

    set32("sample-length-huge", smp1, 0xFFFFFFF0u);
    set32("sample-length-past-end", smp_last, bytes_get32(tune, smp_last) + 4096);
    set32("sample-length-doubled", smp1, bytes_get32(tune, smp1) * 2);
    set32("sample-loop-start-huge", smp1 + 4, 0x7FFFFFF0u);
    set32("sample-loop-length-huge", smp1 + 8, 0xFFFFFFF0u);
    set32("instrument-header-size-0", ins1, 0);
    set32("instrument-header-size-7", ins1, 7);
    set32("instrument-header-size-100", ins1, 100);
    set32("instrument-header-size-32k", ins1, 0x8000 + 263);
    set32("instrument-header-size-huge", ins_last, 0xFFFFFFF0u);
    set16("instrument-sample-count-0", ins1 + 27, 0);
    set16("instrument-sample-count-plus-1", ins1 + 27, bytes_get16(tune, ins1 + 27) + 1);
    set16("instrument-sample-count-huge", ins1 + 27, 0xFFFF);
    set32("sample-header-size-0", ins1 + 29, 0);
    set16("pattern-packed-size-huge", pat1 + 7, 0xFFFF);
    set16("pattern-packed-size-plus-1", pat1 + 7, bytes_get16(tune, pat1 + 7) + 1);
    set16("pattern-rows-0", pat1 + 5, 0);
    set16("pattern-rows-huge", pat1 + 5, 0xFFFF);
    set32("pattern-header-size-huge", pat1, 0x7FFFFFF0u);
    set16("song-length-0", 64, 0);
    set16("song-length-huge", 64, 0xFFFF);
    set16("channels-0", 68, 0);
    set16("channels-64", 68, 64);
    set16("channels-huge", 68, 0xFFFF);
    set16("patterns-plus-1", 70, bytes_get16(tune, 70) + 1);
    set16("instruments-huge", 72, 0xFFFF);
    set32("file-header-size-huge", 60, 0xFFFFFFF0u);
    {
        // A volume envelope whose sustain point lies far past its points.
        Case c{"envelope-sustain-past-points", tune};
        c.bytes[ins1 + 225] = 4;
        c.bytes[ins1 + 227] = 200;
        c.bytes[ins1 + 233] = 3;
        cases.push_back(c);
    }
    {
        // A ping-pong loop that ends before the 16 frames the mixer smooths it with.
        Case c{"pingpong-loop-ends-early", tune};
        bytes_put32(&c.bytes, smp1 + 4, 0);
        bytes_put32(&c.bytes, smp1 + 8, 4 * ((c.bytes[smp1 + 14] & 0x10) ? 2 : 1));
        c.bytes[smp1 + 14] = uint8_t((c.bytes[smp1 + 14] & ~3u) | 2);
        cases.push_back(c);
    }
    set8("sample-type-unknown", smp1 + 14, 0xFF);

    // Single bit flips at fixed, spread-out places in every kind of header.
    std::vector<size_t> header_bytes;
    for (size_t i = 58; i < 80; i++) header_bytes.push_back(i);
    for (size_t p : l.patterns)
        for (size_t i = 0; i < 9; i++) header_bytes.push_back(p + i);
    for (size_t in : l.instruments)
        for (size_t i = 0; i < 263 && in + i < tune.size(); i++) header_bytes.push_back(in + i);
    for (size_t s : l.samples)
        for (size_t i = 0; i < 18; i++) header_bytes.push_back(s + i);
    uint32_t seed = 4402;
    for (int k = 0; k < 12; k++) {
        seed = seed * 1103515245u + 12345u;
        const size_t at = header_bytes[(seed >> 8) % header_bytes.size()];
        const int bit = int((seed >> 4) & 7);
        Case c{"bit-flip-" + std::to_string(at) + "-" + std::to_string(bit), tune};
        c.bytes[at] ^= uint8_t(1 << bit);
        cases.push_back(c);
    }

    for (const Case &c : cases) {
        const std::string path = std::string(argv[2]) + "/" + c.name + ".xm";
        FILE *f = fopen(path.c_str(), "wb");
        if (!f || fwrite(c.bytes.data(), 1, c.bytes.size(), f) != c.bytes.size() || fclose(f)) {
            fprintf(stderr, "xm_damage: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    printf("%zu damaged tunes in %s\n", cases.size(), argv[2]);
    return 0;
}
