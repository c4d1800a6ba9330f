// SMP: a growable buffer of 32-bit signed samples (one channel, no rate attached) with
// editing, arithmetic, alignment search, a text form and raw stream input and output.
//
// Samples are plain integers in whatever scale their producer gave them. Every refusal
// (null buffer, index out of range, allocation failure ...) calls smp_error, which does
// nothing, and gives the operation's null, zero or -1 result or leaves the buffers as
// they were. Value-and-index operations take the value first.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image/module_id.h"

struct SampleBuffer {
    int length;       // samples in use
    int capacity;     // slots in the storage
    int32_t *samples; // owned; capacity slots
};

extern const ModuleId smp_module;
extern const int smp_sample_size; // bytes per sample: every storage allocation uses it

// Lifecycle and the standard set.
SampleBuffer *smp_new(); // length 0, capacity 32
void smp_free(SampleBuffer **b);
char *smp_to_text(const SampleBuffer *b); // "SMP{3\n5\n-12\n0\n}\n"; release with free()
SampleBuffer *smp_from_text(const char *text);
int smp_equal(const SampleBuffer *a, const SampleBuffer *b);
SampleBuffer *smp_copy(const SampleBuffer *src);

// Editing.
void smp_reserve(SampleBuffer *b, int n); // always new storage of exactly n slots
void smp_set_length(SampleBuffer *b, int n);
void smp_insert(SampleBuffer *b, int32_t value, int index);
void smp_remove(SampleBuffer *b, int index);
int32_t smp_get(const SampleBuffer *b, int index);
void smp_set(SampleBuffer *b, int32_t value, int index);
void smp_clear(SampleBuffer *b);
void smp_move(const SampleBuffer *src, SampleBuffer *dst, int count, int from, int to);
void smp_insert_buffer(SampleBuffer *dst, const SampleBuffer *src, int at);
SampleBuffer *smp_slice(const SampleBuffer *b, int from, int to);
void smp_reverse(SampleBuffer *b);
void smp_rotate_left(SampleBuffer *b, int n);
void smp_rotate_right(SampleBuffer *b, int n);
void smp_resample(SampleBuffer *b, int newlen);

// Arithmetic and analysis; products and sums wrap around in 32 bits.
void smp_scale(SampleBuffer *b, int32_t k);
void smp_shift_right(SampleBuffer *b, int n); // 0..32
void smp_shift_left(SampleBuffer *b, int n);  // 0..32
void smp_add(SampleBuffer *a, const SampleBuffer *b);
void smp_multiply(SampleBuffer *a, const SampleBuffer *b);
void smp_normalize(SampleBuffer *b, int32_t lo, int32_t hi);
int32_t smp_min(const SampleBuffer *b);
int32_t smp_max(const SampleBuffer *b);
int smp_find(const SampleBuffer *b, int32_t value, int start);
int smp_match_count(const SampleBuffer *a, const SampleBuffer *b, int offset);
int smp_best_offset(const SampleBuffer *a, const SampleBuffer *b);

// Raw streams: the caller opens and closes the stream.
SampleBuffer *smp_read_raw(FILE *stream, int depth, char order, char sign);
void smp_write_raw(const SampleBuffer *b, FILE *stream, int depth, char order);

void smp_error();
