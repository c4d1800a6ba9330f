// SDLSND: plays sample buffers through SDL audio, 44100 Hz mono signed 16-bit
// little-endian. Buffers wait in a queue; SDL's audio thread plays them front to back
// through snd_callback and drops each one from the queue once it has been played.
//
// The record never owns the queued buffers. A buffer must stay alive while it is queued:
// snd_is_queued tells when the callback has dropped it and it may be released. Everything
// the callback shares (the queue, position, silenced) is changed on the caller's side
// only under SDL's audio lock, which is why snd_queue and snd_set_silenced exist.
#pragma once

#include <cstdint>

#include "image/module_id.h"
#include "sound/arr.h"
#include "sound/smp.h"

struct Sound {
    int frequency; // 44100
    int depth;     // 16
    int position;  // next sample of the front buffer
    Array *queue;  // SampleBuffer pointers; element 0 is playing
    char sign;     // 's'
    char order;    // 'l'
    char silenced; // 1: the callback writes silence and the queue stays where it is
};

extern const ModuleId snd_module;

Sound *snd_new(); // opens the audio device and starts playback; null on any failure
void snd_free(Sound **s);
const char *snd_to_text(const Sound *s); // constant "" (not to be released); null for none
Sound *snd_from_text(const char *text);  // no text form: always null
Sound *snd_copy(const Sound *s);         // no copy: always null
int snd_equal(const Sound *a, const Sound *b);

void snd_queue(Sound *s, SampleBuffer *buffer);
// 1 while buffer waits in the queue or is playing; 0 once it has been played (or was never
// queued), after which the caller may release it. A buffer queued twice counts until its
// last turn has been played.
int snd_is_queued(Sound *s, const SampleBuffer *buffer);
void snd_set_silenced(Sound *s, char silenced);

// The SDL audio callback; userdata is the Sound record.
void snd_callback(void *userdata, uint8_t *stream, int len);

void snd_error();
