// CURSOR: a position running cyclically over `length` places.
#pragma once

#include <cstdint>

#include "image/module_id.h"

struct Cursor {
    int32_t unit;     // stored, read by no operation
    int32_t length;   // number of places; advance and seek need at least 1
    int32_t step;     // added to position by cursor_advance
    int32_t position; // 0 .. length - 1 after an advance or a seek
    int32_t saved;    // set by cursor_mark
};

extern const ModuleId cursor_module;

Cursor *cursor_new();
void cursor_destroy(Cursor **cursor); // frees the cursor and clears the caller's handle
void cursor_set(Cursor *cursor, int32_t unit, int32_t length, int32_t step);
void cursor_advance(Cursor *cursor);
void cursor_seek(Cursor *cursor, int32_t p); // a negative p counts back from the end
void cursor_mark(Cursor *cursor);
void cursor_restore(Cursor *cursor);
void cursor_error(); // prints nothing
