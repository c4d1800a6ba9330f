#include "sound/arr.h"

#include <climits>
#include <cstdlib>
#include <cstring>

const ModuleId arr_module = {"ARR", "20030726", "KV"};

// Appends and reports whether the element was stored, for the operations that build a
// new array and must not hand back a short one.
static bool push_ok(Array *a, intptr_t value) {
    if (a->count >= a->capacity && !arr_grow(a)) return false;
    a->items[a->count++] = value;
    return true;
}

Array *arr_new() {
    Array *a = static_cast<Array *>(calloc(1, sizeof(Array)));
    if (!a) return nullptr;
    a->items = static_cast<intptr_t *>(calloc(2, sizeof(intptr_t)));
    if (!a->items) {
        free(a);
        return nullptr;
    }
    a->capacity = 2;
    return a;
}

void arr_free(Array **p) {
    if (!p || !*p) return;
    free((*p)->items);
    free(*p);
    *p = nullptr;
}

int arr_equal(const Array *a, const Array *b) {
    if (a == b) return 1;
    if (!a || !b) return 0;
    if (a->count != b->count) return 0;
    for (int i = 0; i < a->count; i++)
        if (a->items[i] != b->items[i]) return 0;
    return 1;
}

Array *arr_copy(const Array *src) {
    if (!src) return nullptr;
    Array *a = arr_new();
    if (!a) return nullptr;
    for (int i = 0; i < src->count; i++)
        if (!push_ok(a, src->items[i])) {
            arr_free(&a);
            return nullptr;
        }
    return a;
}

char *arr_to_text(const Array *) {
    return nullptr;
}

Array *arr_from_text(const char *) {
    return nullptr;
}

void arr_push(Array *a, intptr_t value) {
    if (a) push_ok(a, value);
}

intptr_t arr_pop(Array *a) {
    if (!a || a->count <= 0) return 0;
    return a->items[--a->count];
}

void arr_insert(Array *a, intptr_t value, int index) {
    if (!a || index < 0 || index > a->count) return;
    while (a->capacity <= a->count)
        if (!arr_grow(a)) return; // no room: the insertion is refused
    for (int i = a->count; i > index; i--) a->items[i] = a->items[i - 1];
    a->items[index] = value;
    a->count++;
}

void arr_remove(Array *a, int index) {
    if (!a || index < 0 || index >= a->count) return;
    for (int i = index; i + 1 < a->count; i++) a->items[i] = a->items[i + 1];
    a->count--;
}

intptr_t arr_get(const Array *a, int index) {
    if (!a || index < 0 || index >= a->count) return 0;
    return a->items[index];
}

void arr_set(Array *a, intptr_t value, int index) {
    if (!a || index < 0 || index >= a->count) return;
    a->items[index] = value;
}

int arr_find(const Array *a, intptr_t value) {
    if (!a || value == 0) return -1;
    for (int i = 0; i < a->count; i++)
        if (a->items[i] == value) return i;
    return -1;
}

Array *arr_slice(const Array *a, int from, int to) {
    if (!a || from < 0 || from >= to || to > a->count) return nullptr;
    Array *s = arr_new();
    if (!s) return nullptr;
    for (int i = from; i < to; i++)
        if (!push_ok(s, a->items[i])) {
            arr_free(&s);
            return nullptr;
        }
    return s;
}

void arr_erase_range(Array *a, int from, int to) {
    if (!a || from < 0 || from >= to || to > a->count) return;
    for (int k = 0; to + k < a->count; k++) a->items[from + k] = a->items[to + k];
    a->count -= to - from;
}

void arr_insert_range(const Array *src, Array *dst, int from, int to, int at) {
    if (!src || !dst || from < 0 || from >= to || to > src->count || at < 0 || at > dst->count)
        return;
    const int n = to - from;
    if (static_cast<long long>(dst->count) + n > INT_MAX) return;
    // Growing dst moves src's block too when they are one array, and the move below
    // overwrites the range; take the range aside first then.
    intptr_t *saved = nullptr;
    if (src == dst) {
        saved = static_cast<intptr_t *>(malloc(sizeof(intptr_t) * n));
        if (!saved) return;
        memcpy(saved, src->items + from, sizeof(intptr_t) * n);
    }
    while (dst->capacity < dst->count + n)
        if (!arr_grow(dst)) { // no room: the insertion is refused
            free(saved);
            return;
        }
    for (int i = dst->count - 1; i >= at; i--) dst->items[i + n] = dst->items[i];
    const intptr_t *from_items = saved ? saved : src->items + from;
    for (int k = n - 1; k >= 0; k--) dst->items[at + k] = from_items[k];
    dst->count += n;
    free(saved);
}

int arr_grow(Array *a) {
    if (!a) return 0;
    // A record built by hand with no slots starts at the size of a new one.
    if (a->capacity > INT_MAX / 2) return 0;
    const int capacity = a->capacity > 0 ? a->capacity * 2 : 2;
    intptr_t *items = static_cast<intptr_t *>(calloc(capacity, sizeof(intptr_t)));
    if (!items) return 0;
    for (int i = a->count - 1; i >= 0; i--) items[i] = a->items[i];
    free(a->items);
    a->items = items;
    a->capacity = capacity;
    return 1;
}
