#include "intro/intro_scene.h"

// Placeholders until the scene is built: a frame is the cleared screen.
int intro_scene_start() {
    return 1;
}
void intro_scene_setup() {}
void intro_scene_compose() {}
void intro_scene_after_present() {}
void intro_scene_key(int8_t) {}
void intro_scene_release_frame() {}
void intro_scene_release() {}
