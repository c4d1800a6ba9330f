// SDLKBD: SDL's keyboard events turned into one key code that is read once a frame.
//
// The key code is the low byte of the SDL key symbol of the last key pressed, or 0 after
// any key release. Beside it the Keyboard keeps every key press since the poll before, so
// that a key pressed and released between two polls still counts once. At most one
// Keyboard exists, and only while the Display exists.
#pragma once

#include <cstdint>

#include "image/module_id.h"

// The most presses kept from one poll to the next; more than a hand can make in a frame.
constexpr int32_t kbd_press_max = 16;

struct Keyboard {
    uint8_t *keys; // 8 bytes, owned; byte 0 is the key code, the others stay 0
    // The codes of the key presses that the last kbd_poll took in, oldest first, with the
    // ones kbd_watch took in before it; presses past kbd_press_max are dropped.
    uint8_t presses[kbd_press_max];
    int32_t press_count;
    // What kbd_watch has taken in since the last poll, for the next one.
    uint8_t watched[kbd_press_max];
    int32_t watched_count;
};

extern const ModuleId kbd_module;

Keyboard *kbd_new(); // null while no Display exists
void kbd_free(Keyboard **k);
// Empties SDL's event queue; never waits. The key code is then the one after every event
// so far, and presses holds the presses since the poll before.
void kbd_poll(Keyboard *k);
// Takes in the events that have arrived since, for the next poll, so that nothing is lost
// while the program waits between frames; never waits.
void kbd_watch(Keyboard *k);
const char *kbd_to_text(const Keyboard *k); // constant "", not to be freed
Keyboard *kbd_from_text(const char *text);  // always null
int kbd_equal(const Keyboard *a, const Keyboard *b);
Keyboard *kbd_copy(const Keyboard *k); // always null
