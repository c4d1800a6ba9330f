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
void intro_music_register_loaders();  // once a process
MODULE *intro_music_load(int voices); // the tune from the data folder, or none
// Played to its end: from the top again, with room for more voices. A reload that fails
// ends the music quietly (music becomes none).
void intro_music_restart();
