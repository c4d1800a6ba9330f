// Shared by the sample file targets: the input goes to a file whose name has the given
// ending, is loaded through sam_load and released.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "fuzz/fuzz_temp.h"
#include "sound/sam.h"

// One file per process, in a folder of its own that goes when the process ends.
inline const std::string &fuzz_input_path(const char *ending) {
    static std::string dir;
    static std::string path;
    if (path.empty()) {
        dir = fuzz_make_temp_dir();
        if (dir.empty()) abort();
        path = dir + "/input." + ending;
        atexit([] {
            unlink(path.c_str());
            rmdir(dir.c_str());
        });
    }
    return path;
}

// depth, order and sign describe the data for the raw reader, which reads by the record.
inline void fuzz_sam_load(const uint8_t *data, size_t size, const char *ending, int depth = 0,
                          char order = 0, char sign = 0) {
    const std::string &path = fuzz_input_path(ending);
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
    SampleFile *s = sam_new();
    s->path = strdup(path.c_str());
    s->depth = depth;
    s->order = order;
    s->sign = sign;
    if (sam_load(s)) {
        // Whatever was loaded is a well-formed buffer.
        if (!s->sample || s->sample->length < 0 || s->sample->length > s->sample->capacity) abort();
        if (s->file) abort();
    }
    sam_free(&s);
}
