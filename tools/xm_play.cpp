// Loads and plays tunes the way the intro does, through the library's WAV disk writer into a
// temporary file, for a few seconds each; run under valgrind it shows whether the library reads
// outside its memory on them.
//
//   xm_play [--unchecked] SECONDS FILE...
//
// Each tune goes through the intro's own loader (the check, then the library), and is
// reloaded with 8 voices when it ends, as the intro does. --unchecked lets the library read the
// file itself without the check, to show what the check keeps away from it. One line a file.
#include <mikmod.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "intro/intro_music.h"

namespace {

// As the intro loaded its tune before it had the check: the library reads the file itself.
MODULE *load_unchecked(const char *path, int voices) {
    return Player_Load(path, voices, 0);
}

MODULE *load(const char *path, int voices, bool unchecked, bool *refused) {
    *refused = false;
    return unchecked ? load_unchecked(path, voices) : intro_music_load_file(path, voices, refused);
}

} // namespace

int main(int argc, char **argv) {
    int a = 1;
    const bool unchecked = a < argc && strcmp(argv[a], "--unchecked") == 0;
    if (unchecked) a++;
    if (argc - a < 2) {
        fprintf(stderr, "usage: xm_play [--unchecked] SECONDS FILE...\n");
        return 2;
    }
    const double seconds = atof(argv[a++]);
    MikMod_RegisterAllDrivers();
    intro_music_register_loaders();
    md_device = UWORD(MikMod_DriverFromAlias(const_cast<char *>("wav")));
    md_mode |= DMODE_SOFT_MUSIC;
    const char *tmp = getenv("TMPDIR");
    char wav[4096];
    snprintf(wav, sizeof wav, "%s/xm_play_XXXXXX", tmp && *tmp ? tmp : "/tmp");
    const int fd = mkstemp(wav);
    if (fd < 0) {
        perror("xm_play: a temporary file");
        return 1;
    }
    close(fd);
    std::string params = std::string("file=") + wav;
    if (!md_device || MikMod_Init(params.data())) {
        fprintf(stderr, "xm_play: no WAV disk writer: %s\n", MikMod_strerror(MikMod_errno));
        unlink(wav);
        return 1;
    }
    // The disk writer mixes 8,192 frames at 44.1 kHz an update.
    const int updates = int(seconds * 44100 / 8192) + 1;
    for (; a < argc; a++) {
        const char *path = argv[a];
        bool refused;
        MODULE *m = load(path, 4, unchecked, &refused);
        if (!m) {
            printf("%s: %s\n", path, refused ? "refused" : MikMod_strerror(MikMod_errno));
            continue;
        }
        Player_Start(m);
        int restarts = 0;
        for (int u = 0; u < updates && m; u++) {
            if (Player_Active()) {
                MikMod_Update();
                continue;
            }
            Player_Stop();
            Player_Free(m);
            m = load(path, 8, unchecked, &refused);
            restarts++;
            if (m) Player_Start(m);
        }
        Player_Stop();
        if (m) Player_Free(m);
        printf("%s: played %d updates, %d restarts\n", path, updates, restarts);
    }
    MikMod_Exit();
    unlink(wav);
    return 0;
}
