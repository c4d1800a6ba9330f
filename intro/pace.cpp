#include "intro/pace.h"

#include <ctime>

const ModuleId pace_module = {"PACE", "20261211", "KV"};

int64_t pace_clock() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

void pace_sleep(int64_t ns) {
    if (ns <= 0) return;
    timespec t{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    nanosleep(&t, nullptr); // woken early by a signal: the caller looks at the clock again
}

void pace_start(Pacer *p, int32_t fps_num, int32_t fps_den) {
    if (!p) return;
    if (!p->clock) p->clock = pace_clock;
    if (!p->sleep) p->sleep = pace_sleep;
    if (fps_num <= 0 || fps_den <= 0) fps_num = fps_den = 1;
    p->period_ns = int64_t{1'000'000'000} * fps_den / fps_num;
    p->next_ns = p->clock();
}

void pace_wait(Pacer *p, bool (*tick)(void *), void *arg) {
    if (!p || !p->clock || !p->sleep) return;
    p->next_ns += p->period_ns;
    int64_t now = p->clock();
    if (now >= p->next_ns) {
        p->next_ns = now; // late: from now on, not a burst to catch up
        return;
    }
    while (now < p->next_ns) {
        const int64_t left = p->next_ns - now;
        p->sleep(left < pace_slice_ns ? left : pace_slice_ns);
        now = p->clock();
        if (tick && now < p->next_ns && !tick(arg)) return;
    }
}
