// The tune, through the music library: start, one update a frame, stop.
#pragma once

struct MODULE;

// The loaded tune, or none: before the start, when the sound could not be set up, and
// after a failed load or reload.
extern MODULE *music;

void intro_music_start();
void intro_music_update();
void intro_music_stop();

// The pieces the capture program shares with the intro, which set up the library with an
// output driver of their own choosing.
void intro_music_register_loaders(); // once a process
// Opens the output driver: the one chosen before (md_device not 0), else the first of
// PulseAudio, ALSA, OSS and SDL's sound that opens. Returns 0 when none does (the library's error
// in MikMod_errno).
int intro_music_open_driver();
// The tune at path, or none. The file is read whole and checked (sound/xmc.h) before the
// library sees it; a tune the check refuses is told in one line on standard error, naming
// it, and sets *refused (may be null). A file that cannot be opened prints nothing.
MODULE *intro_music_load_file(const char *path, int voices, bool *refused);
// The tune from the data folder, the same way.
MODULE *intro_music_load(int voices, bool *refused);
// Played to its end: from the top again, with room for more voices. A reload that fails
// ends the music quietly (music becomes none).
void intro_music_restart();
// The mixer's own random state around the library's calls: begin returns the picture's
// state, which end gives back. Reset starts the mixer's sequence afresh (each music start).
void intro_music_random_reset();
char *intro_music_random_begin();
void intro_music_random_end(char *picture_random);
