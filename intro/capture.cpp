#include "intro/capture.h"

#include <mikmod.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "intro/data_dir.h"
#include "intro/intro.h"
#include "intro/intro_music.h"
#include "intro/intro_scene.h"
#include "intro/media_out.h"
#include "intro/options.h"
#include "intro/pace.h"

const ModuleId cap_module = {"CAP", "20261211", "KV"};

namespace {

// A tune that has not ended within an hour is taken never to end.
constexpr int64_t longest_play_milli = int64_t{3600} * 1000;

int present() {
    return 1;
}
int reset() {
    VC_Exit();
    return VC_Init();
}
void nothing() {}

// A driver with no device: the sound exists only where cap_mix asks the mixer for it, so
// the player advances by exactly the samples mixed.
MDRIVER capture_driver = {
    nullptr,
    "Frame capture",
    "Frame capture 1.0",
    0,
    255,
    "klovcapture",
    "",
    nullptr,
    present,
    VC_SampleLoad,
    VC_SampleUnload,
    VC_SampleSpace,
    VC_SampleLength,
    VC_Init,
    VC_Exit,
    reset,
    VC_SetNumVoices,
    VC_PlayStart,
    VC_PlayStop,
    nothing,
    nothing,
    VC_VoiceSetVolume,
    VC_VoiceGetVolume,
    VC_VoiceSetFrequency,
    VC_VoiceGetFrequency,
    VC_VoiceSetPanning,
    VC_VoiceGetPanning,
    VC_VoicePlay,
    VC_VoiceStop,
    VC_VoiceStopped,
    VC_VoiceGetPosition,
    VC_VoiceRealVolume,
};

double now() {
    return double(pace_clock()) / 1e9;
}

// One line on a terminal, rewritten a few times a second.
struct Progress {
    bool on;
    double start;
    double shown;
    int width; // of the last line, to clear it
};

void progress_show(Progress *p, int64_t done, int64_t all) {
    if (!p->on) return;
    const double t = now();
    if (done < all && t - p->shown < 0.25) return;
    p->shown = t;
    const double rate = t > p->start ? double(done) / (t - p->start) : 0;
    const long left = rate > 0 ? long(double(all - done) / rate + 0.5) : 0;
    char line[160];
    const int n =
        snprintf(line, sizeof line, "frame %lld of %lld (%d%%), %.0f frames/s, %ld:%02ld left",
                 static_cast<long long>(done), static_cast<long long>(all),
                 int(all ? done * 100 / all : 100), rate, left / 60, left % 60);
    fprintf(stderr, "\r%s%*s", line, p->width > n ? p->width - n : 0, "");
    p->width = n;
}

void progress_clear(Progress *p) {
    if (p->on && p->width) fprintf(stderr, "\r%*s\r", p->width, "");
    p->width = 0;
}

// The signal that asked the capture to stop, or 0. A handler can only leave a mark.
volatile sig_atomic_t stop_signal;

void on_stop_signal(int sig) {
    stop_signal = sig;
}

// Ctrl+C, a hang-up or a kill stops between two frames, so that the partial file can be
// removed.
void catch_stop_signals() {
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

// After a stop signal: what was made is removed, and the status tells which signal it was.
int stopped(MediaOut *out, const char *name, const char *output) {
    fprintf(stderr, "%s: stopped%s%s%s\n", name, out->made_output ? "; \"" : "",
            out->made_output ? output : "", out->made_output ? "\" removed" : "");
    media_abort(out);
    return 128 + stop_signal;
}

} // namespace

int32_t cap_samples_in_frame(int32_t fps_num, int32_t fps_den, int64_t i) {
    using Wide = __int128;
    const Wide per = Wide{media_rate} * fps_den;
    return int32_t((Wide{i + 1} * per) / fps_num - (Wide{i} * per) / fps_num);
}

int64_t cap_frames_in(int64_t milli, int32_t fps_num, int32_t fps_den) {
    using Wide = __int128;
    const Wide scale = Wide{1000} * fps_den;
    const int64_t n = int64_t((Wide{milli} * fps_num + scale / 2) / scale);
    return n > 0 ? n : 1;
}

int64_t cap_quit_frame(const KeyScript *keys) {
    // The key held changes only where a hold begins or just after one ends.
    int64_t first = -1;
    for (int h = 0; h < keys->count; h++)
        for (int64_t f : {keys->holds[h].first, keys->holds[h].last + 1})
            if (intro_is_quit_key(keys_code_at(keys, f)) && (first < 0 || f < first)) first = f;
    return first;
}

void cap_init(Capture *c, int32_t fps_num, int32_t fps_den, const char *keys) {
    *c = Capture{};
    c->fps_num = fps_num;
    c->fps_den = fps_den;
    if (keys) {
        char why[120];
        c->has_keys = keys_parse(&c->keys, keys, why, sizeof why);
    }
}

int cap_music_start(Capture *c) {
    c->audio_capacity = cap_samples_in_frame(c->fps_num, c->fps_den, 0) + 1;
    c->audio = static_cast<int16_t *>(calloc(size_t(c->audio_capacity), 2 * sizeof(int16_t)));
    if (!c->audio) {
        fprintf(stderr, "klov-capture: out of memory for the sound\n");
        return 0;
    }
    MikMod_RegisterDriver(&capture_driver);
    intro_music_register_loaders();
    md_device = UWORD(MikMod_DriverFromAlias(const_cast<char *>("klovcapture")));
    md_mixfreq = UWORD(media_rate);
    md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC;
    if (MikMod_Init("")) {
        fprintf(stderr, "klov-capture: cannot set up the music mixer (%s)\n",
                MikMod_strerror(MikMod_errno));
        md_device = 0;
        return 0;
    }
    c->music_on = 1;
    intro_music_random_reset();
    music = intro_music_load(4, nullptr);
    if (music) Player_Start(music);
    return 1;
}

int cap_mix(Capture *c, int64_t i) {
    char *picture_random = intro_music_random_begin();
    // The intro restarts an ended tune in the update after the frame it ended in.
    if (music && !Player_Active()) intro_music_restart();
    int32_t n = cap_samples_in_frame(c->fps_num, c->fps_den, i);
    if (n > c->audio_capacity) n = c->audio_capacity;
    c->audio_count = n;
    const ULONG bytes = ULONG(n) * 4;
    ULONG mixed = 0;
    if (music && c->music_on) mixed = VC_WriteBytes(reinterpret_cast<SBYTE *>(c->audio), bytes);
    if (mixed < bytes) memset(reinterpret_cast<char *>(c->audio) + mixed, 0, bytes - mixed);
    intro_music_random_end(picture_random);
    return music && Player_Active();
}

void cap_music_stop(Capture *c) {
    if (c->music_on) {
        intro_music_stop();
        md_device = 0;
        c->music_on = 0;
    }
    free(c->audio);
    c->audio = nullptr;
    c->audio_count = c->audio_capacity = 0;
}

int cap_scene_start(Capture *c, int32_t width, int32_t height) {
    screen = img_new();
    if (screen) img_resize(screen, screen_width, screen_height);
    // At the intro's own size the screen itself is the frame: no copy.
    const bool own_size = width == screen_width && height == screen_height;
    if (!own_size) {
        c->picture = img_new();
        if (c->picture) img_resize(c->picture, width, height);
    }
    c->frame = own_size ? screen : c->picture;
    if (!screen || screen->width != screen_width || !c->frame || c->frame->width != width ||
        c->frame->height != height ||
        !fit_plan(&c->fit, screen_width, screen_height, width, height)) {
        fprintf(stderr, "klov-capture: out of memory for %d x %d frames\n", int(width),
                int(height));
        cap_release(c);
        return 0;
    }
    if (!intro_scene_start()) {
        intro_scene_release();
        cap_release(c);
        return 0;
    }
    intro_scene_setup();
    c->scene_on = 1;
    return 1;
}

void cap_compose(Capture *c, int64_t i) {
    intro_key(c->has_keys ? keys_code_at(&c->keys, i) : 0);
    intro_scene_compose();
    if (c->picture) fit_draw(&c->fit, screen, c->picture);
    intro_scene_after_present();
}

void cap_release(Capture *c) {
    cap_music_stop(c);
    if (c->scene_on) {
        intro_scene_release_frame();
        intro_scene_release();
        c->scene_on = 0;
    }
    if (screen) img_free(&screen);
    if (c->picture) img_free(&c->picture);
    c->frame = nullptr;
    fit_free(&c->fit);
}

int cap_main(int argc, char **argv) {
    Options o;
    int status = 0;
    if (!opt_handle(&o, OPT_CAPTURE, argc, argv, &status)) return status;
    const char *name = opt_program_name(argc, argv, "klov-capture");
    const MediaKind kind = media_kind(o.output);
    int32_t width = o.width, height = o.height;
    if (!width) {
        width = kind == MEDIA_MP4 ? 1920 : screen_width;
        height = kind == MEDIA_MP4 ? 1080 : screen_height;
    }
    MediaOut out;
    if (!media_check(&out, o.output, width, height, o.fps_num, o.fps_den, o.force)) {
        fprintf(stderr, "%s: %s\n", name, out.error);
        return kind == MEDIA_NONE ? 2 : 1;
    }
    if (!datadir_find(&data_dir, o.data, nullptr)) {
        datadir_report(&data_dir, name, o.data);
        return 1;
    }
    // A pipe ffmpeg has left is a failed write, told in one line, not a silent end.
    signal(SIGPIPE, SIG_IGN);
    catch_stop_signals();

    Capture c;
    cap_init(&c, o.fps_num, o.fps_den, o.keys);
    int64_t frames = o.frames;
    if (o.seconds_milli) frames = cap_frames_in(o.seconds_milli, o.fps_num, o.fps_den);
    const int64_t quit = c.has_keys ? cap_quit_frame(&c.keys) : -1;
    if (quit >= 0 && (!frames || quit + 1 < frames)) frames = quit + 1;

    // The sound first, frame by frame: it gives the length of one play of the tune, and
    // ffmpeg then reads it from a finished file while the frames come through the pipe.
    bool ok = cap_music_start(&c) != 0;
    if (ok && !frames && !music) {
        fprintf(stderr,
                "%s: the tune could not be read, so the capture has no length of its own; give "
                "--frames or --seconds\n",
                name);
        ok = false;
    }
    const bool sound_wanted = kind != MEDIA_PNG;
    if (ok && !media_audio_open(&out)) ok = false;
    if (ok && (sound_wanted || !frames)) {
        const int64_t longest = cap_frames_in(longest_play_milli, o.fps_num, o.fps_den);
        const int64_t mixed_frames = frames ? frames : longest;
        int64_t i = 0;
        for (; i < mixed_frames && ok && !stop_signal; i++) {
            const int playing = cap_mix(&c, i);
            if (sound_wanted && !media_audio(&out, c.audio, c.audio_count)) ok = false;
            if (!frames && !playing) break;
        }
        if (ok && !frames) {
            if (i == longest) {
                fprintf(stderr,
                        "%s: the tune plays for more than an hour; give --frames or --seconds\n",
                        name);
                ok = false;
            }
            frames = i + 1;
        }
    }
    cap_music_stop(&c);
    if (stop_signal) {
        cap_release(&c);
        return stopped(&out, name, o.output);
    }
    if (ok && !media_audio_close(&out)) ok = false;
    if (!ok && out.error[0]) fprintf(stderr, "%s: %s\n", name, out.error);
    if (!ok) {
        media_abort(&out);
        cap_release(&c);
        return 1;
    }

    if (!cap_scene_start(&c, width, height)) {
        media_abort(&out);
        return 1;
    }
    ok = media_video_open(&out);
    Progress progress{isatty(2) && !o.quiet, now(), 0, 0};
    for (int64_t i = 0; ok && !stop_signal && i < frames; i++) {
        cap_compose(&c, i);
        if (kind != MEDIA_PNG || i == frames - 1) ok = media_frame(&out, c.frame);
        progress_show(&progress, i + 1, frames);
    }
    progress_clear(&progress);
    if (ok && stop_signal) ok = 0;
    if (ok) ok = media_finish(&out);
    cap_release(&c);
    if (stop_signal) return stopped(&out, name, o.output);
    if (!ok) {
        fprintf(stderr, "%s: %s%s%s%s\n", name, out.error, out.made_output ? "; \"" : "",
                out.made_output ? o.output : "", out.made_output ? "\" removed" : "");
        media_abort(&out);
        return 1;
    }
    return 0;
}
