// The time to compose one frame of the scene with the real data files, without a display.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "intro/intro.h"
#include "intro/intro_effects.h"
#include "intro/intro_scene.h"

namespace {

// The data folder next to this file's folder in the source tree, or the working folder.
bool enter_data_folder() {
    const std::filesystem::path data =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
    std::error_code ec;
    if (std::filesystem::exists(data / "K.ppm", ec)) std::filesystem::current_path(data, ec);
    return !ec;
}

bool start_scene() {
    if (!enter_data_folder()) return false;
    screen = img_new();
    img_resize(screen, screen_width, screen_height);
    if (!intro_scene_start()) {
        img_free(&screen);
        return false;
    }
    intro_scene_setup();
    return true;
}

void stop_scene() {
    intro_scene_release_frame();
    intro_scene_release();
    img_free(&screen);
}

void BM_ComposeFrame(benchmark::State &state) {
    if (!start_scene()) {
        state.SkipWithError("the data files cannot be read");
        return;
    }
    sprite_flags = state.range(0) ? 2 : 0;
    for (auto _ : state) {
        intro_scene_compose();
        intro_scene_after_present();
        benchmark::DoNotOptimize(screen->pixels);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    sprite_flags = 0;
    stop_scene();
}
BENCHMARK(BM_ComposeFrame)->Arg(0)->Arg(1)->ArgName("sprites")->Unit(benchmark::kMillisecond);

} // namespace
