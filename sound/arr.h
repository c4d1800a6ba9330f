// ARR: a growable array of one-word elements (integers or pointers), stored by value.
//
// The array never looks at what its elements point to and never releases it. A word is
// pointer-sized so that a pointer survives the round trip on every host. Value-and-index
// operations take the value first. The module reports nothing: refused calls return 0, -1
// or null, or leave the array unchanged.
#pragma once

#include <cstdint>

#include "image/module_id.h"

struct Array {
    intptr_t *items; // capacity words; element i is items[i]
    int capacity;    // slots in the block; changes only by doubling
    int count;       // slots in use
};

extern const ModuleId arr_module;

Array *arr_new(); // capacity 2, count 0
void arr_free(Array **p);
int arr_equal(const Array *a, const Array *b);
Array *arr_copy(const Array *src);
char *arr_to_text(const Array *a);      // no text form: always null
Array *arr_from_text(const char *text); // no text form: always null

void arr_push(Array *a, intptr_t value);
intptr_t arr_pop(Array *a);
void arr_insert(Array *a, intptr_t value, int index);
void arr_remove(Array *a, int index);
intptr_t arr_get(const Array *a, int index);
void arr_set(Array *a, intptr_t value, int index);
int arr_find(const Array *a, intptr_t value); // 0 is never searched for: -1
Array *arr_slice(const Array *a, int from, int to);
void arr_erase_range(Array *a, int from, int to);
// Inserts copies of src[from..to-1] into dst before position at. With src == dst the
// range is taken as it was before the call.
void arr_insert_range(const Array *src, Array *dst, int from, int to, int at);
int arr_grow(Array *a); // doubles the capacity; 1 on success, 0 when it can't
