// The time to compose one frame of the scene with the real data files, without a display.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

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

// What a frame cannot do without: the random numbers of the logo's shuffle (four for each
// of its 10,001 swaps), one clear and one copy of a whole frame.
void BM_FrameFloor(benchmark::State &state) {
    Image *frame = img_new();
    img_resize(frame, 640, 480);
    std::vector<uint32_t> copy(size_t{640} * 480);
    for (auto _ : state) {
        int sum = 0;
        for (int i = 0; i < 4 * 10001; i++) sum += rand() & 1;
        benchmark::DoNotOptimize(sum);
        img_clear(frame);
        benchmark::DoNotOptimize(frame->pixels);
        memcpy(copy.data(), frame->pixels, copy.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    img_free(&frame);
}
BENCHMARK(BM_FrameFloor)->Unit(benchmark::kMillisecond);

// The console table, then each composed frame's time over the floor's: the medians when the
// runs are repeated, the single figures otherwise.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Coloured only on a terminal; this reporter always writes the console table.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            Figures &f = figures_[run.run_name.function_name + "/" + run.run_name.args];
            if (f.from_median && !median) continue;
            f = {run.GetAdjustedRealTime() * scale(run.time_unit),
                 run.GetAdjustedCPUTime() * scale(run.time_unit), median};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto floor = figures_.find("BM_FrameFloor/");
        if (floor == figures_.end()) return;
        for (const auto &[name, f] : figures_) {
            if (name.rfind("BM_ComposeFrame/", 0) != 0) continue;
            printf("%s over the floor%s: %.2f (time), %.2f (CPU)\n", name.c_str(),
                   f.from_median ? " (medians)" : "", f.real / floor->second.real,
                   f.cpu / floor->second.cpu);
        }
    }

  private:
    struct Figures {
        double real = 0, cpu = 0;
        bool from_median = false;
    };
    static double scale(benchmark::TimeUnit unit) {
        return unit == benchmark::kSecond        ? 1e9
               : unit == benchmark::kMillisecond ? 1e6
               : unit == benchmark::kMicrosecond ? 1e3
                                                 : 1;
    }
    std::map<std::string, Figures> figures_;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
