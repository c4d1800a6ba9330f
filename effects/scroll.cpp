#include "effects/scroll.h"

#include <algorithm>
#include <cstdlib>

const char scroll_default_text[] = "A scroll's default text. ";
const ScrollModuleId scroll_module = {"SCROLL", "20080827", "KV", scroll_default_text};

void scroll_error() {}

int32_t scroll_text_length(const char *text) {
    if (!text) {
        scroll_error();
        return 0;
    }
    int32_t n = 0;
    while (n < INT32_MAX && text[n] != '\0') n++;
    return n;
}

// A cursor over the text's places, starting at its first character.
static Cursor *text_cursor(const char *text) {
    Cursor *cursor = cursor_new();
    if (cursor) cursor_set(cursor, 1, scroll_text_length(text), 1);
    return cursor;
}

Scroller *scroll_new() {
    Scroller *s = static_cast<Scroller *>(calloc(1, sizeof(Scroller)));
    if (!s) {
        scroll_error();
        return nullptr;
    }
    s->cursor = text_cursor(scroll_default_text);
    s->own_font = font_new();
    if (!s->cursor || !s->own_font) {
        if (s->cursor) cursor_destroy(&s->cursor);
        if (s->own_font) font_destroy(&s->own_font);
        free(s);
        scroll_error();
        return nullptr;
    }
    s->font = s->own_font;
    s->speed = 1;
    return s;
}

void scroll_destroy(Scroller **scroller) {
    if (!scroller || !*scroller) {
        scroll_error();
        return;
    }
    Scroller *s = *scroller;
    if (s->cursor) cursor_destroy(&s->cursor);
    if (s->own_font) font_destroy(&s->own_font);
    free(s);
    *scroller = nullptr;
}

void scroll_set(Scroller *s, const char *text, Font *font, Image *target) {
    if (!s || !text || !font || !target) {
        scroll_error();
        return;
    }
    Cursor *cursor = text_cursor(text);
    if (!cursor) {
        scroll_error();
        return;
    }
    if (s->cursor) cursor_destroy(&s->cursor);
    s->cursor = cursor;
    s->text = text;
    // Handing the scroller back its own font keeps it the scroller's to release.
    if (s->own_font && font != s->own_font) font_destroy(&s->own_font);
    s->font = font;
    s->target = target;
}

// An empty text or a cell narrower than a pixel cannot be walked or stepped through; a
// cursor moved out of the text by hand would index past it.
static bool usable(const Scroller *s) {
    const Cursor *c = s->cursor;
    return c && s->text && s->font && s->font->cell_width >= 1 && c->length >= 1 &&
           c->position >= 0 && c->position < c->length;
}

void scroll_draw(Scroller *s) {
    if (!s || !s->target || !usable(s)) {
        scroll_error();
        return;
    }
    const int32_t w = s->font->cell_width;
    int64_t px = int64_t{s->x} - s->offset;
    const int64_t n = int64_t{s->width} / w + 1;
    cursor_mark(s->cursor);
    // Characters wholly left of the target are passed over in one move, and those
    // further right than it are not visited: a huge window costs no more than the target.
    int64_t i = 0;
    if (px < 0) {
        i = std::min(n, -px / w);
        s->cursor->step = static_cast<int32_t>(i % s->cursor->length);
        cursor_advance(s->cursor);
        px += i * w;
    }
    s->cursor->step = 1;
    for (; i < n && px < s->target->width; i++) {
        const int8_t code = static_cast<int8_t>(s->text[s->cursor->position]);
        font_draw_char(s->font, code, static_cast<int32_t>(px), s->y, s->target);
        px += w;
        cursor_advance(s->cursor);
    }
    cursor_restore(s->cursor);
}

// A step of whole characters reduced to at most one lap of the text when it would not
// fit the cursor's step.
static int32_t cursor_step(int64_t q, int32_t length) {
    if (q > INT32_MAX || q < INT32_MIN) q %= length;
    return static_cast<int32_t>(q);
}

void scroll_step(Scroller *s) {
    if (!s || !usable(s)) {
        scroll_error();
        return;
    }
    const int64_t w = s->font->cell_width;
    int64_t offset = int64_t{s->offset} + s->speed;
    if (offset >= w) {
        s->cursor->step = cursor_step(offset / w, s->cursor->length);
        cursor_advance(s->cursor);
        offset %= w;
    } else if (offset < 0) {
        offset -= w;
        s->cursor->step = cursor_step(offset / w, s->cursor->length);
        cursor_advance(s->cursor);
        offset = offset % w + w;
    }
    s->offset = static_cast<int32_t>(offset);
}
