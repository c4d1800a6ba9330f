// The tune, through the music library: start, one update a frame, stop.
#pragma once

void intro_music_start();
void intro_music_update();
void intro_music_stop();
