// PACE: frames on a fixed schedule of N a second.
//
// Between frames the program sleeps, in slices of at most 10 ms, and calls a tick between
// slices (the music must not starve, nor key presses wait unseen, during a long wait); the
// tick can end the wait early. A frame that ends late moves the
// schedule on from that moment, so a stall is never followed by a burst of frames.
#pragma once

#include <cstdint>

#include "image/module_id.h"

struct Pacer {
    int64_t period_ns; // one frame
    int64_t next_ns;   // when the current frame was due to start
    // The clock (monotonic nanoseconds) and the sleep; the real ones unless a test sets its own.
    int64_t (*clock)();
    void (*sleep)(int64_t ns);
};

extern const ModuleId pace_module;
constexpr int64_t pace_slice_ns = 10'000'000; // the longest sleep between two ticks

// fps_num / fps_den frames a second (both > 0); the first frame is due now. Keeps a clock
// and sleep that are already set.
void pace_start(Pacer *p, int32_t fps_num, int32_t fps_den);
// Waits until the next frame is due, calling tick(arg) after every slice of sleep; a tick
// that returns false ends the wait there (the schedule stays as it was).
void pace_wait(Pacer *p, bool (*tick)(void *), void *arg);
int64_t pace_clock(); // CLOCK_MONOTONIC in nanoseconds
void pace_sleep(int64_t ns);
