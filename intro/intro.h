// The intro: program start, the frame cycle and shutdown, and the state they share with
// the scene (intro_scene.h) and the music (intro_music.h).
#pragma once

#include <csignal>
#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"

struct Display;
struct Keyboard;

// The intro's identification record carries three notice texts besides the usual three.
struct IntroModuleId {
    const char *name;
    const char *date;
    const char *author;
    const char *warranty;
    const char *rights;
    const char *quotation;
};
extern const IntroModuleId intro_module;

// Module state.
extern int32_t screen_width; // the video mode to set
extern int32_t screen_height;
extern Display *intro_display;
extern Keyboard *intro_keyboard;
extern Image *screen; // every frame is composed here, then presented
extern uint8_t quit_flag;
extern uint8_t intro_error_switch;
extern int8_t intro_held_key;     // the key code held in the frame before
extern int32_t intro_fps;         // frames a second on a schedule; 0: each frame at once
extern int64_t intro_frame_limit; // end after this many frames; 0: only on a quit key
// The signal (SIGINT, SIGTERM or SIGHUP) that asked the frame cycle to end, or 0.
extern volatile sig_atomic_t intro_stop_signal;

// The whole program: the command line, the data folder, start-up, the frame cycle and
// shutdown. Returns the exit status. When a signal ended the frame cycle, it is raised
// again with the action it had before start-up once SDL is shut down, so that the parent
// sees it (128 + the signal is returned if that action lets the process live).
int intro_main(int argc, char **argv);

// Start-up. Returns 1 when the intro can run; otherwise it has printed one line on
// standard error, released what it made, shut SDL down, and returns 0. When the scene's
// start-up fails, intro_scene_release is called to release what the scene had read so far.
// From here to the end of shutdown SIGINT, SIGTERM and SIGHUP (unless ignored) ask the
// frame cycle to end; a second one ends the process at once.
int intro_init();
// The frame cycle, until a quit key is seen, a signal asks it to end or the frame limit is
// reached: the scene's frame set-up, intro_frame until it returns 0 (paced when intro_fps
// is set, the music updated and the keyboard watched during the waits too), the scene's
// frame release.
void intro_run();
// One frame: compose, present, the after-present step, poll the keyboard and apply its
// keys, then (unless a quit key was seen or a signal came) the music update. Returns 0 after
// the last frame.
int intro_frame();
// Releases everything start-up made, shuts SDL down and gives the three signals back their
// actions of before start-up.
void intro_shutdown();
// The keys of one frame: each press since the frame before, oldest first, and the key code
// held at its end. Quit keys quit whether pressed or held; Space, 3, 6 and 7 act once a
// press; O and P step once a press, or once a frame while held.
void intro_keys(const uint8_t *presses, int32_t count, int8_t held);
// A key code held in one frame, as a script gives it: a code other than the frame before's
// is a press.
void intro_key(int8_t code);
int intro_is_quit_key(int8_t code);       // Escape, q, Q
int32_t intro_wrap(int32_t a, int32_t n); // a mod n in 0 .. n - 1, for n > 0
void intro_error();
int32_t intro_frame_rate();
