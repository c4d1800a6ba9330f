// SDLKBD: SDL's keyboard events turned into one key code that is read once a frame.
//
// The key code is the low byte of the SDL key symbol of the last key pressed, or 0 after
// any key release. At most one Keyboard exists, and only while the Display exists.
#pragma once

#include <cstdint>

#include "image/module_id.h"

struct Keyboard {
    uint8_t *keys; // 8 bytes, owned; byte 0 is the key code, the others stay 0
};

extern const ModuleId kbd_module;

Keyboard *kbd_new(); // null while no Display exists
void kbd_free(Keyboard **k);
void kbd_poll(Keyboard *k);                 // empties SDL's event queue; never waits
const char *kbd_to_text(const Keyboard *k); // constant "", not to be freed
Keyboard *kbd_from_text(const char *text);  // always null
int kbd_equal(const Keyboard *a, const Keyboard *b);
Keyboard *kbd_copy(const Keyboard *k); // always null
