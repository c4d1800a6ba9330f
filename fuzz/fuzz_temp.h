// The private folder of one fuzz process, for targets that feed a reader through a file.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

// A new folder of its own under the first of `bases` where one can be made: memory-backed
// /dev/shm first (millions of runs rewrite the input), then TMPDIR, then /tmp. Empty when
// none can.
inline std::string fuzz_make_temp_dir(std::initializer_list<const char *> bases) {
    for (const char *base : bases) {
        if (!base || !*base) continue;
        std::string pattern = std::string(base) + "/klov-fuzz-XXXXXX";
        if (mkdtemp(pattern.data())) return pattern;
    }
    return "";
}

inline std::string fuzz_make_temp_dir() {
    return fuzz_make_temp_dir({"/dev/shm", getenv("TMPDIR"), "/tmp"});
}
