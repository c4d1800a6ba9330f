// Per-frame Image operations at the intro's screen size.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "image/img.h"

namespace {

Image *filled(int32_t width, int32_t height) {
    Image *img = img_new();
    img_resize(img, width, height);
    uint32_t seed = 1;
    for (int64_t i = 0; i < int64_t{width} * height; i++) {
        seed = seed * 1103515245u + 12345u;
        // About one word in eight is 0, the transparent value.
        img->pixels[i] = (seed >> 29) ? (seed >> 8) & 0xFFFFFF : 0;
    }
    return img;
}

void scale(benchmark::State &state, int32_t sw, int32_t sh, int32_t nw, int32_t nh) {
    Image *src = filled(sw, sh);
    for (auto _ : state) {
        Image *out = img_scale(src, nw, nh);
        benchmark::DoNotOptimize(out->pixels);
        img_free(&out);
    }
    state.SetItemsProcessed(state.iterations() * int64_t{nw} * nh);
    img_free(&src);
}

void BM_ScaleUp320x240To640x480(benchmark::State &state) {
    scale(state, 320, 240, 640, 480);
}
void BM_ScaleDown640x480To320x240(benchmark::State &state) {
    scale(state, 640, 480, 320, 240);
}
void BM_ScaleOdd300x200To641x479(benchmark::State &state) {
    scale(state, 300, 200, 641, 479);
}

void BM_Blit640x480(benchmark::State &state) {
    Image *src = filled(640, 480);
    Image *dst = filled(640, 480);
    for (auto _ : state) {
        img_blit(src, dst, 0, 0, 0, 0, 640, 480);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    img_free(&src);
    img_free(&dst);
}

void BM_Rotate(benchmark::State &state) {
    const int32_t side = static_cast<int32_t>(state.range(0));
    Image *src = filled(side, side);
    int32_t angle = 0;
    for (auto _ : state) {
        Image *out = img_rotate(src, angle += 7);
        benchmark::DoNotOptimize(out->pixels);
        img_free(&out);
    }
    const int64_t out_side = (int64_t{side} * 92667) >> 16;
    state.SetItemsProcessed(state.iterations() * out_side * out_side);
    img_free(&src);
}

} // namespace

BENCHMARK(BM_ScaleUp320x240To640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScaleDown640x480To320x240)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScaleOdd300x200To641x479)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Blit640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rotate)->Arg(128)->Arg(320)->Unit(benchmark::kMicrosecond);
