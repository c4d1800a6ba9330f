#include "intro/intro_music.h"

#include <mikmod.h>

#include <cstdio>

#include "intro/data_dir.h"

MODULE *music;

namespace {

const char tune_file[] = "vemlotra.xm";

// The library links its loaders into one list and does not look for one already there: a
// second registration makes the list a loop, and loading then never returns. Its drivers
// it does check, and both lists outlive MikMod_Exit, so a later start finds them ready.
bool loaders_registered;

} // namespace

void intro_music_register_loaders() {
    if (!loaders_registered) {
        MikMod_RegisterAllLoaders();
        loaders_registered = true;
    }
}

MODULE *intro_music_load(int voices) {
    char path[datadir_path_size];
    const char *file = datadir_path(&data_dir, tune_file, path, sizeof path);
    return file ? Player_Load(file, voices, 0) : nullptr;
}

void intro_music_restart() {
    Player_Stop();
    if (music) Player_Free(music);
    music = intro_music_load(8);
    if (music) Player_Start(music);
}

// The output driver is the library's own choice (md_device stays as it is, 0 unless
// someone chose one before us).
void intro_music_start() {
    MikMod_RegisterAllDrivers();
    intro_music_register_loaders();
    md_mode |= DMODE_SOFT_MUSIC;
    if (MikMod_Init("")) {
        fprintf(stderr, "Could not initialize sound\n");
        fprintf(stderr, "Reason: %s\n", MikMod_strerror(MikMod_errno));
        // The library cannot load a module without a mixer (it crashes trying), so the
        // intro runs silently.
        return;
    }
    music = intro_music_load(4);
    if (music)
        Player_Start(music);
    else
        fprintf(stderr, "Error loading: %s\n", MikMod_strerror(MikMod_errno));
}

void intro_music_update() {
    if (!music) return;
    if (Player_Active()) {
        MikMod_Update();
        return;
    }
    intro_music_restart();
}

void intro_music_stop() {
    if (music) {
        Player_Stop();
        Player_Free(music);
        music = nullptr;
    }
    MikMod_Exit();
}
