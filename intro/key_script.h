// KEYS: a script of key presses and holds by frame, such as "600:space,1800-1860:p", fed to
// the intro's key handling by the capture program in place of a keyboard.
//
// "N:key" holds the key in frame N alone, "A-B:key" in frames A to B. Keys are named by
// their character ("p", "3"), or "space", "escape" (or "esc"). Where entries overlap, the one
// written last wins, as the keyboard keeps the last key pressed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/module_id.h"

struct KeyHold {
    int64_t first; // frames first .. last, inclusive
    int64_t last;
    int8_t code; // the keyboard's code for the key
};

struct KeyScript {
    KeyHold holds[64];
    int count;
};

extern const ModuleId keys_module;

// Returns 1 and fills s, or 0 with one line (no newline) in error that says what is wrong.
int keys_parse(KeyScript *s, const char *text, char *error, size_t size);
int8_t keys_code_at(const KeyScript *s, int64_t frame); // the key held in that frame, or 0
