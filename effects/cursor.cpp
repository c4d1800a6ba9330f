#include "effects/cursor.h"

#include <cstdlib>

const ModuleId cursor_module = {"CURSOR", "20080827", "KV"};

void cursor_error() {}

Cursor *cursor_new() {
    Cursor *cursor = static_cast<Cursor *>(calloc(1, sizeof(Cursor)));
    if (!cursor) {
        cursor_error();
        return nullptr;
    }
    cursor->unit = 4;
    cursor->length = 16;
    cursor->step = 1;
    return cursor;
}

void cursor_destroy(Cursor **cursor) {
    if (!cursor || !*cursor) {
        cursor_error();
        return;
    }
    free(*cursor);
    *cursor = nullptr;
}

void cursor_set(Cursor *cursor, int32_t unit, int32_t length, int32_t step) {
    if (!cursor) {
        cursor_error();
        return;
    }
    cursor->unit = unit;
    cursor->length = length;
    cursor->step = step;
    cursor->position = 0;
}

// The floored remainder is what repeated subtraction and addition of the length would
// reach, without looping a huge step down one length at a time.
static int32_t wrap(int64_t p, int32_t length) {
    const int64_t r = p % length;
    return static_cast<int32_t>(r < 0 ? r + length : r);
}

void cursor_advance(Cursor *cursor) {
    if (!cursor) {
        cursor_error();
        return;
    }
    if (cursor->length < 1) return;
    cursor->position = wrap(int64_t{cursor->position} + cursor->step, cursor->length);
}

void cursor_seek(Cursor *cursor, int32_t p) {
    if (!cursor) {
        cursor_error();
        return;
    }
    if (cursor->length < 1) return;
    cursor->position = wrap(p, cursor->length);
}

void cursor_mark(Cursor *cursor) {
    if (!cursor) {
        cursor_error();
        return;
    }
    cursor->saved = cursor->position;
}

void cursor_restore(Cursor *cursor) {
    if (!cursor) {
        cursor_error();
        return;
    }
    cursor->position = cursor->saved;
}
