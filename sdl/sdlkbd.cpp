#include "sdl/sdlkbd.h"

#include <SDL/SDL.h>
#include <cstdlib>

#include "sdl/sdldpy.h"

const ModuleId kbd_module = {"SDLKBD", "20030728", "KV"};

static Keyboard *the_keyboard;

Keyboard *kbd_new() {
    if (!dpy_exists()) return nullptr;
    if (the_keyboard) return the_keyboard;
    Keyboard *k = static_cast<Keyboard *>(calloc(1, sizeof(Keyboard)));
    if (!k) return nullptr;
    k->keys = static_cast<uint8_t *>(calloc(8, 1));
    if (!k->keys) {
        free(k);
        return nullptr;
    }
    the_keyboard = k;
    return k;
}

// Only the Keyboard itself is released; any other pointer is left alone.
void kbd_free(Keyboard **k) {
    if (!k || !*k || *k != the_keyboard) return;
    free(the_keyboard->keys);
    free(the_keyboard);
    the_keyboard = nullptr;
    *k = nullptr;
}

// Empties the queue into the key code, noting each press in list (up to kbd_press_max).
static void take_events(Keyboard *k, uint8_t *list, int32_t *count) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_KEYDOWN) {
            k->keys[0] = uint8_t(event.key.keysym.sym & 0xFF);
            if (*count < kbd_press_max) list[(*count)++] = k->keys[0];
        } else if (event.type == SDL_KEYUP) {
            k->keys[0] = 0;
        }
        // Everything else, the window system's quit request too, is dropped.
    }
}

void kbd_poll(Keyboard *k) {
    if (!k || k != the_keyboard) return;
    for (int32_t i = 0; i < k->watched_count; i++) k->presses[i] = k->watched[i];
    k->press_count = k->watched_count;
    k->watched_count = 0;
    take_events(k, k->presses, &k->press_count);
}

void kbd_watch(Keyboard *k) {
    if (!k || k != the_keyboard) return;
    take_events(k, k->watched, &k->watched_count);
}

const char *kbd_to_text(const Keyboard *k) {
    return k ? "" : nullptr;
}

Keyboard *kbd_from_text(const char *) {
    return nullptr;
}

int kbd_equal(const Keyboard *a, const Keyboard *b) {
    return a && b && a == b;
}

Keyboard *kbd_copy(const Keyboard *) {
    return nullptr;
}
