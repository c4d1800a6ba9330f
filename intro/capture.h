// CAP: the intro rendered frame by frame into a file, with its music in lockstep.
//
// Frame i of a capture is frame i of the intro: the same scene code composes it off
// screen, with the same random sequence, and the key script's key for frame i goes
// through the intro's own key handling just before frame i is composed (so a key held
// from frame 600 on shows in frame 600). The music is mixed by the library's software
// mixer through a driver of our own with no output: frame i gets exactly
// floor((i + 1) * rate / fps) - floor(i * rate / fps) sample frames, and the tune starts
// again at a frame's start after it has ended, as the intro restarts it.
#pragma once

#include <cstdint>

#include "image/img.h"
#include "image/module_id.h"
#include "intro/frame_fit.h"
#include "intro/key_script.h"

struct Capture {
    int32_t fps_num; // frames a second: fps_num / fps_den
    int32_t fps_den;
    KeyScript keys;
    int has_keys;
    int music_on;   // the mixer is set up (the tune itself may still be missing)
    int16_t *audio; // one frame's sound: audio_count stereo pairs
    int32_t audio_count;
    int32_t audio_capacity;
    int scene_on;
    Fit fit;
    Image *picture;     // the last frame fitted into the video size, when that is not 640 x 480
    const Image *frame; // the last frame as written: picture, or screen itself at 640 x 480
};

extern const ModuleId cap_module;

// Sample frames of frame i at 48,000 a second and fps_num / fps_den frames a second.
int32_t cap_samples_in_frame(int32_t fps_num, int32_t fps_den, int64_t i);
// Frames in a time given in thousandths of a second, to the nearest, at least 1.
int64_t cap_frames_in(int64_t milli, int32_t fps_num, int32_t fps_den);
// The first frame in which the script holds a quit key, or -1.
int64_t cap_quit_frame(const KeyScript *keys);

void cap_init(Capture *c, int32_t fps_num, int32_t fps_den, const char *keys);
// The mixer with no device, and the tune from the data folder. Returns 0 (after one line
// on standard error) when the library cannot be set up; a missing tune is not an error
// here: music stays none and the frames are silent.
int cap_music_start(Capture *c);
// Mixes frame i's sound into c->audio. Returns 1 while the tune plays, 0 once it has
// ended (in this frame or before) or when there is none.
int cap_mix(Capture *c, int64_t i);
void cap_music_stop(Capture *c);
// The scene on an off-screen 640 x 480 screen, fitted into width x height. Returns 0 after
// one line on standard error.
int cap_scene_start(Capture *c, int32_t width, int32_t height);
// Frame i: its key, the composition into screen and c->frame, the after-present step.
void cap_compose(Capture *c, int64_t i);
void cap_release(Capture *c); // the scene and the music, whatever was started

// The whole program. Returns the exit status.
int cap_main(int argc, char **argv);
