#include "sound/sdlsnd.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

const ModuleId snd_module = {"SDLSND", "20030724", "KV"};

void snd_error() {}

Sound *snd_new() {
    if (SDL_Init(SDL_INIT_EVERYTHING) != 0) return nullptr;
    Sound *s = static_cast<Sound *>(calloc(1, sizeof(Sound)));
    if (!s) return nullptr;
    SDL_AudioSpec wanted;
    memset(&wanted, 0, sizeof wanted);
    wanted.freq = 44100;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 1;
    wanted.samples = 4096;
    wanted.callback = snd_callback;
    wanted.userdata = s;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        free(s);
        return nullptr;
    }
    s->frequency = 44100;
    s->depth = 16;
    s->sign = 's';
    s->order = 'l';
    s->silenced = 0;
    s->queue = arr_new(); // if this fails snd_queue makes one later
    SDL_PauseAudio(0);
    return s;
}

void snd_free(Sound **s) {
    if (!s || !*s) return;
    SDL_PauseAudio(1);
    // Taking the lock once waits for a callback that is running. It must not be held
    // across SDL_CloseAudio: that joins the audio thread, which may be waiting for the
    // lock to start one last callback. The close stops the thread before the record goes.
    SDL_LockAudio();
    SDL_UnlockAudio();
    SDL_CloseAudio();
    arr_free(&(*s)->queue);
    free(*s);
    *s = nullptr;
}

const char *snd_to_text(const Sound *s) {
    return s ? "" : nullptr;
}

Sound *snd_from_text(const char *) {
    return nullptr;
}

Sound *snd_copy(const Sound *) {
    return nullptr;
}

int snd_equal(const Sound *a, const Sound *b) {
    return a && b ? 1 : 0;
}

void snd_queue(Sound *s, SampleBuffer *buffer) {
    if (!s || !buffer) return;
    SDL_LockAudio();
    if (!s->queue) s->queue = arr_new();
    arr_push(s->queue, reinterpret_cast<intptr_t>(buffer));
    SDL_UnlockAudio();
}

int snd_is_queued(Sound *s, const SampleBuffer *buffer) {
    if (!s || !buffer) return 0;
    SDL_LockAudio();
    const int queued = arr_find(s->queue, reinterpret_cast<intptr_t>(buffer)) >= 0;
    SDL_UnlockAudio();
    return queued;
}

void snd_set_silenced(Sound *s, char silenced) {
    if (!s) return;
    SDL_LockAudio();
    s->silenced = silenced ? 1 : 0;
    SDL_UnlockAudio();
}

// Drops buffers at the front that have nothing (more) to play, an empty buffer among them,
// so that playback never stalls on one; returns the buffer to play from, or null.
static const SampleBuffer *front_buffer(Sound *s) {
    const SampleBuffer *front = reinterpret_cast<const SampleBuffer *>(arr_get(s->queue, 0));
    if (s->position < 0) s->position = 0;
    while (front && s->position >= front->length) {
        arr_remove(s->queue, 0);
        s->position = 0;
        front = reinterpret_cast<const SampleBuffer *>(arr_get(s->queue, 0));
    }
    return front;
}

void snd_callback(void *userdata, uint8_t *stream, int len) {
    Sound *s = static_cast<Sound *>(userdata);
    if (!s || !stream || len <= 0 || !s->queue || s->queue->count <= 0) return;
    if (s->silenced || !arr_get(s->queue, 0)) {
        memset(stream, 0, len);
        return;
    }
    const SampleBuffer *front = front_buffer(s);
    for (int i = 0; i < len >> 1 && front; i++) {
        const uint32_t v = static_cast<uint32_t>(smp_get(front, s->position));
        stream[2 * i] = static_cast<uint8_t>(v);
        stream[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        s->position++;
        front = front_buffer(s);
    }
}
