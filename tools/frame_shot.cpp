// frame_shot <datadir> <frame> <out.ppm>: composes the intro's frames 0 .. <frame> with the
// sprites shown, as the intro does but without a screen to present them on, and saves the
// last one.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "intro/intro.h"
#include "intro/intro_scene.h"

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: frame_shot <datadir> <frame> <out.ppm>\n");
        return 2;
    }
    const int last = atoi(argv[2]);
    // The picture goes where the caller meant it, before the data folder becomes the cwd.
    std::string out = argv[3];
    char cwd[4096];
    if (out[0] != '/' && getcwd(cwd, sizeof cwd)) out = std::string(cwd) + "/" + out;
    if (last < 0 || chdir(argv[1]) != 0) {
        fprintf(stderr, "frame_shot: no data folder %s or a negative frame\n", argv[1]);
        return 2;
    }
    screen = img_new();
    img_resize(screen, screen_width, screen_height);
    if (!intro_scene_start()) return 1;
    intro_scene_setup();
    intro_scene_key(' ');
    for (int f = 0;; f++) {
        intro_scene_compose();
        if (f == last) break;
        intro_scene_after_present();
    }
    const int ok = img_save(screen, out.c_str());
    intro_scene_release_frame();
    intro_scene_release();
    img_free(&screen);
    return ok ? 0 : 1;
}
