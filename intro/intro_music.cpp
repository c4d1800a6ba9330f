#include "intro/intro_music.h"

// Placeholders until the music is built.
void intro_music_start() {}
void intro_music_update() {}
void intro_music_stop() {}
