// SCROLL: one line of circular text moving sideways through a strip of an Image.
//
// A positive speed moves the text left, a negative one right. The scroller owns its
// cursor (and the font it makes for itself until scroll_set hands it the caller's); the
// text, the caller's font and the target are borrowed.
#pragma once

#include <cstdint>

#include "effects/cursor.h"
#include "effects/font.h"
#include "image/img.h"

struct Scroller {
    int32_t x; // left edge of the window in the target
    int32_t y; // top row of the text
    int32_t reserved0;
    int32_t width; // window width in pixels
    int32_t reserved1;
    int32_t reserved2;
    int32_t speed;    // pixels per scroll_step
    int32_t offset;   // pixels of the first visible character already out on the left
    const char *text; // borrowed, zero-terminated
    Cursor *cursor;   // owned; position = first visible character
    Font *font;       // the caller's after scroll_set
    Image *target;    // borrowed
    Font *own_font;   // made by scroll_new; released once the caller's font replaces it
};

// The scroll module's record also carries its default text.
struct ScrollModuleId {
    const char *name;
    const char *date;
    const char *author;
    const char *default_text;
};

extern const ScrollModuleId scroll_module;
extern const char scroll_default_text[]; // "A scroll's default text. "

Scroller *scroll_new(); // no text yet; the cursor is sized to the default text
void scroll_destroy(Scroller **scroller);
void scroll_set(Scroller *scroller, const char *text, Font *font, Image *target);
void scroll_draw(Scroller *scroller);
void scroll_step(Scroller *scroller);
int32_t scroll_text_length(const char *text); // bytes before the terminating zero
void scroll_error();                          // prints nothing
