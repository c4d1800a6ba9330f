// The tune, through the music library: start, one update a frame, stop.
#pragma once

struct MODULE;

// The loaded tune, or none: before the start, when the sound could not be set up, and
// after a failed load or reload.
extern MODULE *music;

void intro_music_start();
void intro_music_update();
void intro_music_stop();
