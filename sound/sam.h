// SAM: sample files. A SampleFile ties a SampleBuffer to a file name and to the
// description of how its samples are encoded, and loads and saves it in the WAV, SAM
// and raw forms, choosing the reader or writer by the ending of the name.
//
// Every refusal calls sam_error, which does nothing. Apart from sam_width_needed the
// module prints nothing. sam_new ends the process with status -1 when memory runs out.
#pragma once

#include <cstdio>

#include "image/module_id.h"
#include "sound/smp.h"

struct SampleFile {
    SampleBuffer *sample; // owned
    char *path;           // owned (released by sam_free); set by the caller
    FILE *file;           // the stream in use, or null
    int channels;
    int depth;   // binary digits per sample
    char sign;   // 's'/'S' signed, 'u'/'U' unsigned
    char format; // SAM form data: 'a'/'A' ASCII, 'b'/'B' binary
    char order;  // 'l' least significant byte first, 'm' most significant first
};

extern const ModuleId sam_module;

SampleFile *sam_new();
void sam_free(SampleFile **s);
char *sam_to_text(const SampleFile *s);      // no text form: always null
SampleFile *sam_from_text(const char *text); // no text form: always null
SampleFile *sam_copy(const SampleFile *s);   // no copy: always null
int sam_equal(const SampleFile *a, const SampleFile *b);
void sam_set_sample(SampleFile *s, SampleBuffer *buffer); // a previous buffer stays alive

// Reads only regular files (a pipe, a device or a folder is refused at once); a read error
// is a failure. A successful read replaces and releases the record's previous buffer.
char sam_load(SampleFile *s);
// Every write and the close are checked; an existing file is replaced only once the new one
// is complete. Each form written reads back through sam_load to the same samples.
char sam_save(SampleFile *s);
char sam_read_wav(SampleFile *s);
char sam_read_sam(SampleFile *s);
char sam_read_raw(SampleFile *s);
char sam_write_sam(SampleFile *s);
char sam_write_depth(SampleFile *s);
char sam_write_compact(SampleFile *s);

int sam_sign_extend(int value, int n);
char sam_has_ending(const char *name, const char *ending);
char sam_match_at(const char *s, const char *t, int offset);
int sam_strlen(const char *text);
int sam_width_needed(int value); // prints two "BITS: %d\n" lines

void sam_error();
