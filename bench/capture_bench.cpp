// The capture's own speed at 640 x 480, without encoding: frames composed and fitted, and
// frames of sound mixed, a second.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "intro/capture.h"
#include "intro/data_dir.h"
#include "intro/intro_music.h"

namespace {

bool choose_data_folder() {
    const std::filesystem::path data =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
    return datadir_find(&data_dir, data.c_str(), nullptr) != 0;
}

void BM_CaptureFrame(benchmark::State &state) {
    Capture c;
    cap_init(&c, 60, 1, nullptr);
    if (!choose_data_folder() || !cap_music_start(&c) || !music || !cap_scene_start(&c, 640, 480)) {
        state.SkipWithError("the data files cannot be read");
        cap_release(&c);
        return;
    }
    int64_t i = 0;
    for (auto _ : state) {
        cap_compose(&c, i);
        cap_mix(&c, i);
        benchmark::DoNotOptimize(c.frame->pixels);
        benchmark::DoNotOptimize(c.audio);
        i++;
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    cap_release(&c);
}
BENCHMARK(BM_CaptureFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sound alone: what the measuring pass before the frames costs.
void BM_CaptureSound(benchmark::State &state) {
    Capture c;
    cap_init(&c, 60, 1, nullptr);
    if (!choose_data_folder() || !cap_music_start(&c) || !music) {
        state.SkipWithError("the tune cannot be read");
        cap_release(&c);
        return;
    }
    int64_t i = 0;
    for (auto _ : state) {
        cap_mix(&c, i++);
        benchmark::DoNotOptimize(c.audio);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    cap_release(&c);
}
BENCHMARK(BM_CaptureSound)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
