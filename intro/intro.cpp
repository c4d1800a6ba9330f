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
volatile sig_atomic_t intro_stop_signal;

void intro_error() {
    if (intro_error_switch) printf("KLOV4402 Error.\n");
}

namespace {

const int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction actions_before[3]; // what the three did before start-up
bool signals_caught;

void on_stop_signal(int sig) {
    if (intro_stop_signal) {
        // A second request does not wait for the frame cycle.
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    intro_stop_signal = sig;
}

// SDL leaves a handler that is in place when it starts alone (and puts it back when it
// quits), so this comes first, and once more after the mode is set in case an SDL took them
// anyway. A signal that was ignored (as under nohup) stays ignored.
void catch_stop_signals() {
    for (int i = 0; i < 3; i++) {
        if (!signals_caught) sigaction(stop_signals[i], nullptr, &actions_before[i]);
        if (actions_before[i].sa_handler == SIG_IGN) continue;
        struct sigaction a = {};
        a.sa_handler = on_stop_signal;
        sigemptyset(&a.sa_mask);
        a.sa_flags = SA_RESTART;
        sigaction(stop_signals[i], &a, nullptr);
    }
    signals_caught = true;
}

void release_stop_signals() {
    if (!signals_caught) return;
    for (int i = 0; i < 3; i++) sigaction(stop_signals[i], &actions_before[i], nullptr);
    signals_caught = false;
}

// What start-up made, and SDL itself: a text-mode driver gives the terminal back, and a
// full-screen mode the desktop's own mode, only when SDL is shut down.
void release_devices() {
    if (screen) img_free(&screen);
    kbd_free(&intro_keyboard);
    if (intro_display) dpy_free(&intro_display);
    SDL_Quit();
    release_stop_signals();
}

} // namespace

static int stop_start_up(const char *why) {
    fprintf(stderr, "%s: %s\n", dpy_caption, why);
    release_devices();
    return 0;
}

int intro_init() {
    intro_stop_signal = 0;
    catch_stop_signals();
    char driver[64];
    if (dpy_blind_driver(driver, sizeof driver)) {
        fprintf(stderr,
                "%s: no display to show the intro on (SDL chose its \"%s\" driver); set DISPLAY "
                "to an X display, or SDL_VIDEODRIVER to the video driver to use\n",
                dpy_caption, driver);
        release_devices();
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
    catch_stop_signals();
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
    if (intro_keyboard)
        intro_keys(intro_keyboard->presses, intro_keyboard->press_count,
                   int8_t(intro_keyboard->keys[0]));
    else
        intro_key(0);
    if (quit_flag || intro_stop_signal) return 0; // the music is not updated in the last frame
    intro_music_update();
    return 1;
}

// While the pacer waits: the music, and the keys pressed meanwhile. A signal ends the wait.
static bool between_frames(void *) {
    kbd_watch(intro_keyboard);
    intro_music_update();
    return !intro_stop_signal;
}

void intro_run() {
    intro_scene_setup();
    Pacer pacer{};
    if (intro_fps > 0) pace_start(&pacer, intro_fps, 1);
    for (int64_t frames = 1; intro_frame(); frames++) {
        if (frames == intro_frame_limit) break;
        if (intro_fps > 0) pace_wait(&pacer, between_frames, nullptr);
        if (intro_stop_signal) break;
    }
    intro_scene_release_frame();
}

// Once SDL is shut down, a signal that ended the intro is raised again with the action it
// had before, so that the parent learns how the program ended.
static int end_status(int status) {
    const int sig = intro_stop_signal;
    if (!sig) return status;
    raise(sig);
    return 128 + sig; // the action let the process live on
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
    if (!intro_init()) return end_status(1);
    intro_run();
    intro_shutdown();
    return end_status(0);
}

void intro_shutdown() {
    intro_music_stop();
    intro_scene_release();
    release_devices();
}

static bool is_toggle_key(int8_t code) {
    return code == 32 || code == 51 || code == 54 || code == 55; // space, 3, 6, 7
}

void intro_keys(const uint8_t *presses, int32_t count, int8_t held) {
    if (!presses || count < 0) count = 0;
    int32_t slower = 0, faster = 0; // O and P presses
    for (int32_t i = 0; i < count; i++) {
        const int8_t code = int8_t(presses[i]);
        if (intro_is_quit_key(code))
            quit_flag = 1;
        else if (is_toggle_key(code))
            intro_scene_key(code); // once a press, however long the key is held
        else if (code == 'o')
            slower++;
        else if (code == 'p')
            faster++;
    }
    intro_held_key = held;
    if (intro_is_quit_key(held)) quit_flag = 1;
    // The speed changes once a press, and in every frame the key is held: a key pressed in
    // this frame and still held counts once.
    if (held == 'o' && slower == 0) slower = 1;
    if (held == 'p' && faster == 0) faster = 1;
    for (; slower > 0; slower--) intro_scene_key('o');
    for (; faster > 0; faster--) intro_scene_key('p');
}

void intro_key(int8_t code) {
    const uint8_t press = uint8_t(code);
    intro_keys(&press, code != 0 && code != intro_held_key ? 1 : 0, code);
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
