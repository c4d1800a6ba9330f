#include "intro/intro_music.h"

#include <dlfcn.h>
#include <mikmod.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "intro/data_dir.h"
#include "sound/xmc.h"

MODULE *music;

namespace {

const char tune_file[] = "vemlotra.xm";

// The library links its loaders into one list and does not look for one already there: a
// second registration makes the list a loop, and loading then never returns. Its drivers
// it does check, and both lists outlive MikMod_Exit, so a later start finds them ready.
bool loaders_registered;

// The output drivers tried, in this order, when nobody chose one before the start. The
// library's own choice tries SDL's sound second, and when that is absent (SDL_AUDIODRIVER
// naming a driver that does not exist) goes on to ALSA, which then aborts the process. Here
// ALSA is tried only when its device opens, and SDL's sound comes last, so that neither
// SDL's settings nor what the program started before decide the choice.
const char *const driver_aliases[] = {"pulseaudio", "alsa", "oss", "sdl"};
// Set when the start chose the driver, so that the stop gives the choice back.
bool driver_chosen_here;

// The library's mixer draws from the C library's random generator. The picture's sequence
// must not depend on when, or whether, sound was mixed, so the mixer gets a state of its own.
char mixer_random[128];
bool mixer_random_made;

} // namespace

void intro_music_random_reset() {
    mixer_random_made = false;
}

char *intro_music_random_begin() {
    if (mixer_random_made) return setstate(mixer_random);
    mixer_random_made = true;
    return initstate(1, mixer_random, sizeof mixer_random);
}

void intro_music_random_end(char *picture_random) {
    setstate(picture_random);
}

void intro_music_register_loaders() {
    if (!loaders_registered) {
        MikMod_RegisterAllLoaders();
        loaders_registered = true;
    }
}

MODULE *intro_music_load_file(const char *path, int voices, bool *refused) {
    if (refused) *refused = false;
    XmcTune tune;
    const XmcStatus status = xmc_load(&tune, path);
    if (status == XMC_CANNOT_OPEN) {
        // As the library itself reports a file it cannot open.
        MikMod_errno = MMERR_OPENING_FILE;
        return nullptr;
    }
    if (status == XMC_REFUSED) {
        fprintf(stderr, "Error loading: %s: %s\n", path, tune.why);
        MikMod_errno = MMERR_NOT_A_MODULE;
        if (refused) *refused = true;
        return nullptr;
    }
    // The checked bytes themselves: the file is not opened a second time, so what plays is
    // what was checked.
    MODULE *m =
        Player_LoadMem(reinterpret_cast<const char *>(tune.bytes), int(tune.size), voices, 0);
    xmc_free(&tune);
    return m;
}

MODULE *intro_music_load(int voices, bool *refused) {
    if (refused) *refused = false;
    char path[datadir_path_size];
    const char *file = datadir_path(&data_dir, tune_file, path, sizeof path);
    if (!file) {
        MikMod_errno = MMERR_OPENING_FILE;
        return nullptr;
    }
    return intro_music_load_file(file, voices, refused);
}

void intro_music_restart() {
    Player_Stop();
    if (music) Player_Free(music);
    music = intro_music_load(8, nullptr);
    if (music) Player_Start(music);
}

namespace {

void alsa_quiet(const char *, int, const char *, int, const char *, ...) {}

// The library's ALSA driver closes a device it failed to open, which the ALSA library
// answers with an abort: so ALSA is tried only once its default device has been seen to
// open. The ALSA library is the one the music library loads itself; its complaints are
// kept quiet meanwhile.
bool alsa_device_opens() {
    void *lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    using ErrorHandler = void (*)(const char *, int, const char *, int, const char *, ...);
    using SetHandler = int (*)(ErrorHandler);
    using Open = int (*)(void **, const char *, int, int);
    using Close = int (*)(void *);
    const auto set_handler = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler"));
    const auto open_pcm = reinterpret_cast<Open>(dlsym(lib, "snd_pcm_open"));
    const auto close_pcm = reinterpret_cast<Close>(dlsym(lib, "snd_pcm_close"));
    bool opens = false;
    if (open_pcm && close_pcm) {
        if (set_handler) set_handler(alsa_quiet);
        void *pcm = nullptr;
        const int playback = 0, non_blocking = 1;
        if (open_pcm(&pcm, "default", playback, non_blocking) == 0 && pcm) {
            opens = true;
            close_pcm(pcm);
        }
        if (set_handler) set_handler(nullptr);
    }
    dlclose(lib);
    return opens;
}

} // namespace

int intro_music_open_driver() {
    if (md_device) return MikMod_Init("") == 0;
    for (const char *alias : driver_aliases) {
        const int device = MikMod_DriverFromAlias(alias);
        if (device <= 0) continue;
        if (strcmp(alias, "alsa") == 0 && !alsa_device_opens()) {
            MikMod_errno = MMERR_OPENING_AUDIO;
            continue;
        }
        md_device = UWORD(device);
        if (MikMod_Init("") == 0) {
            driver_chosen_here = true;
            return 1;
        }
    }
    md_device = 0;
    return 0;
}

// The output driver is the first of a fixed list that opens, unless someone chose one
// before us (md_device not 0), whatever else the process has started or set.
void intro_music_start() {
    intro_music_random_reset();
    MikMod_RegisterAllDrivers();
    intro_music_register_loaders();
    md_mode |= DMODE_SOFT_MUSIC;
    if (!intro_music_open_driver()) {
        fprintf(stderr, "Could not initialize sound\n");
        fprintf(stderr, "Reason: %s\n", MikMod_strerror(MikMod_errno));
        // The library cannot load a module without a mixer (it crashes trying), so the
        // intro runs silently.
        return;
    }
    bool refused;
    music = intro_music_load(4, &refused);
    if (music)
        Player_Start(music);
    else if (!refused) // a refused tune has had its line
        fprintf(stderr, "Error loading: %s\n", MikMod_strerror(MikMod_errno));
}

void intro_music_update() {
    if (!music) return;
    char *picture_random = intro_music_random_begin();
    if (Player_Active())
        MikMod_Update();
    else
        intro_music_restart();
    intro_music_random_end(picture_random);
}

void intro_music_stop() {
    if (music) {
        Player_Stop();
        Player_Free(music);
        music = nullptr;
    }
    MikMod_Exit();
    if (driver_chosen_here) md_device = 0;
    driver_chosen_here = false;
}
