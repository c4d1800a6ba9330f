// MEDIA: the capture's output files, chosen by the file name.
//
// .y4m: 4:4:4 video (BT.601, studio range) plus a .wav of the same name, both written
// here. .mkv (FFV1 keeping RGB, FLAC) and .mp4 (H.264 High, yuv420p, AAC): the frames go
// to the ffmpeg command through a pipe, the sound through a temporary WAV file beside the
// output, written first. .png: one picture, the last frame.
//
// The order of calls: media_check, media_audio_open, media_audio (every frame's sound),
// media_audio_close, media_video_open, media_frame (every frame), media_finish. After a
// failure (any call returning 0, with one line in error), media_abort removes what was
// made.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>

#include "image/img.h"
#include "image/module_id.h"

enum MediaKind { MEDIA_NONE, MEDIA_Y4M, MEDIA_MKV, MEDIA_MP4, MEDIA_PNG };

struct MediaOut {
    MediaKind kind;
    const char *path;      // the output file (borrowed)
    char wav_path[4200];   // the .wav beside a .y4m, or the temporary sound of ffmpeg's files
    char ffmpeg_log[4200]; // what ffmpeg says, in a temporary file
    int32_t width;
    int32_t height;
    int32_t fps_num;
    int32_t fps_den;
    int force;
    FILE *wav;
    int64_t wav_frames; // sample frames written
    FILE *video;        // the .y4m, or the pipe into ffmpeg
    pid_t ffmpeg;       // 0: none running
    uint8_t *yuv;       // one .y4m frame: the Y, Cb and Cr planes
    int made_output;    // the output (and the .wav) may exist and are ours to remove
    char error[9000];   // room for the file names
};

extern const ModuleId media_module;
constexpr int32_t media_rate = 48000; // sample frames a second, 16-bit stereo

MediaKind media_kind(const char *path); // by the extension; MEDIA_NONE for any other
int media_needs_even_size(MediaKind kind);
// Sets up m for writing path and checks, before anything is made: an existing output
// (and, for .y4m, .wav) without force, a folder that cannot be written, and ffmpeg's
// presence where it is needed.
int media_check(MediaOut *m, const char *path, int32_t width, int32_t height, int32_t fps_num,
                int32_t fps_den, int force);
int media_audio_open(MediaOut *m);
int media_audio(MediaOut *m, const int16_t *samples, int32_t count); // stereo pairs
int media_audio_close(MediaOut *m);
int media_video_open(MediaOut *m);
int media_frame(MediaOut *m, const Image *frame); // frame: width x height, 0x00RRGGBB
int media_finish(MediaOut *m);
void media_abort(MediaOut *m);
// Where a program is found on PATH (buf, or null when it is not there).
const char *media_find_program(const char *name, char *buf, size_t size);
// One pixel to BT.601 studio-range Y, Cb, Cr, as the .y4m holds it.
void media_yuv(uint32_t rgb, uint8_t *y, uint8_t *cb, uint8_t *cr);
