#include "intro/intro.h"

#include <SDL/SDL.h>
#include <csignal>
#include <cstdio>

#include "intro/data_dir.h"
#include "intro/intro_music.h"
#include "intro/intro_scene.h"
#include "intro/options.h"
#include "intro/pace.h"
#include "sdl/sdldpy.h"
#include "sdl/sdlkbd.h"

const IntroModuleId intro_module = {
    "KLOV4402",
    "20080829",
    "KV",
    "\nWARRANTY: \nTHERE IS NO WARRANTY. \n",
    "\nRIGHTS: \nCOPYRIGHT (C) 2008-08-29 KV. \nALL RIGHTS RESERVED. \n",
    "\nQUOTATION: \nUNIVERSAL DECLARATION OF HUMAN RIGHTS, \n"
    "ADOPTED 10 DECEMBER 1948, PARIS. ARTICLE 3: \n"
    "EVERYONE HAS THE RIGHT TO LIFE, \nLIBERTY AND SECURITY OF PERSON. \n",
};

int32_t screen_width = 640;
int32_t screen_height = 480;
Display *intro_display;
Keyboard *intro_keyboard;
Image *screen;
uint8_t quit_flag;
uint8_t intro_error_switch;
int8_t intro_held_key;
int32_t intro_fps;
int64_t intro_frame_limit;

void intro_error() {
    if (intro_error_switch) printf("KLOV4402 Error.\n");
}

// What start-up made before it had to stop.
static void release_devices() {
    if (screen) img_free(&screen);
    kbd_free(&intro_keyboard);
    if (intro_display) dpy_free(&intro_display);
}

static int stop_start_up(const char *why) {
    fprintf(stderr, "%s: %s\n", dpy_caption, why);
    release_devices();
    return 0;
}

int intro_init() {
    char driver[64];
    if (dpy_blind_driver(driver, sizeof driver)) {
        fprintf(stderr,
                "%s: no display to show the intro on (SDL chose its \"%s\" driver); set DISPLAY "
                "to an X display, or SDL_VIDEODRIVER to the video driver to use\n",
                dpy_caption, driver);
        return 0;
    }
    intro_display = dpy_new();
    if (!intro_display) return stop_start_up("out of memory for the display");
    intro_keyboard = kbd_new();
    dpy_resize(intro_display, screen_width, screen_height);
    if (!dpy_ready(intro_display)) {
        char why[256];
        snprintf(why, sizeof why, "cannot open a %d x %d screen (%s)", int(screen_width),
                 int(screen_height), SDL_GetError());
        // One line, whatever SDL put in its text.
        for (char *c = why; *c; c++)
            if (*c == '\n' || *c == '\r') *c = ' ';
        return stop_start_up(why);
    }
    // SDL turns Ctrl+C and SIGTERM into its quit request, which the keyboard drops; give
    // them back their usual effect so that the program can still be stopped from outside.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (!intro_keyboard) return stop_start_up("out of memory for the keyboard");
    screen = img_new();
    if (screen) img_resize(screen, intro_display->width, intro_display->height);
    if (!screen || screen->width != intro_display->width || screen->height != intro_display->height)
        return stop_start_up("out of memory for the screen image");
    if (!intro_scene_start()) {
        // The scene has said why; it releases whatever it had read.
        intro_scene_release();
        release_devices();
        return 0;
    }
    intro_music_start();
    return 1;
}

int intro_frame() {
    intro_scene_compose();
    dpy_present(intro_display, screen);
    intro_scene_after_present();
    kbd_poll(intro_keyboard);
    intro_key(intro_keyboard ? int8_t(intro_keyboard->keys[0]) : 0);
    if (quit_flag) return 0; // the music is not updated in the last frame
    intro_music_update();
    return 1;
}

static void update_music(void *) {
    intro_music_update();
}

void intro_run() {
    intro_scene_setup();
    Pacer pacer{};
    if (intro_fps > 0) pace_start(&pacer, intro_fps, 1);
    for (int64_t frames = 1; intro_frame(); frames++) {
        if (frames == intro_frame_limit) break;
        if (intro_fps > 0) pace_wait(&pacer, update_music, nullptr);
    }
    intro_scene_release_frame();
}

int intro_main(int argc, char **argv) {
    Options options;
    int status = 0;
    if (!opt_handle(&options, OPT_INTRO, argc, argv, &status)) return status;
    if (!datadir_find(&data_dir, options.data, nullptr)) {
        datadir_report(&data_dir, opt_program_name(argc, argv, dpy_caption), options.data);
        return 1;
    }
    intro_fps = options.fps_num;
    intro_frame_limit = options.frames;
    if (!intro_init()) return 1;
    intro_run();
    intro_shutdown();
    return 0;
}

void intro_shutdown() {
    intro_music_stop();
    intro_scene_release();
    release_devices();
}

void intro_key(int8_t code) {
    // A toggle acts in the frame its key goes down, not again while the key stays down.
    const bool went_down = code != intro_held_key;
    intro_held_key = code;
    if (intro_is_quit_key(code)) {
        quit_flag = 1;
        return;
    }
    switch (code) {
    case 32: // space
    case 51: // 3
    case 54: // 6
    case 55: // 7
        if (went_down) intro_scene_key(code);
        break;
    case 111: // o: the speed changes in every frame the key is held
    case 112: // p
        intro_scene_key(code);
        break;
    default:
        break;
    }
}

int intro_is_quit_key(int8_t code) {
    return code == 27 || code == 'q' || code == 'Q';
}

// A modulus of 0 or less has no residues: 0.
int32_t intro_wrap(int32_t a, int32_t n) {
    if (n <= 0) return 0;
    int32_t r = a % n;
    return r < 0 ? r + n : r;
}

int32_t intro_frame_rate() {
    static int32_t calls;
    calls++;
    return calls / int32_t(SDL_GetTicks() / 1000 + 1);
}
