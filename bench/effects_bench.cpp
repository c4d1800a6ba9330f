// The per-frame cost of the scroll line: the scroller into a 640 x 8 strip, and the raster
// bars into another.
#include <benchmark/benchmark.h>

#include "effects/raster.h"
#include "effects/scroll.h"
#include "intro/intro_bars.h"

namespace {

constexpr char kText[] = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 .:-,&!#    ";

Image *strip() {
    Image *img = img_new();
    img_resize(img, 640, 8);
    return img;
}

// 16 cells a row, 8 rows of 8 x 8 glyphs with a few lit pixels each, like a real font.
Font *font() {
    Font *f = font_new();
    f->cell_width = f->cell_height = 8;
    f->sheet = img_new();
    img_resize(f->sheet, 128, 64);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 128; x++)
            if ((x * 7 + y * 3) % 5 == 0) img_put(f->sheet, x, y, 0xFFFFFF);
    return f;
}

void BM_ScrollDrawAndStep(benchmark::State &state) {
    Image *target = strip();
    Font *f = font();
    Scroller *s = scroll_new();
    scroll_set(s, kText, f, target);
    s->width = target->width;
    s->speed = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        img_clear(target);
        scroll_draw(s);
        scroll_step(s);
        benchmark::DoNotOptimize(target->pixels);
    }
    state.SetItemsProcessed(state.iterations());
    scroll_destroy(&s);
    font_destroy(&f);
    img_free(&target);
}
BENCHMARK(BM_ScrollDrawAndStep)->Arg(1)->Arg(-3)->Arg(20);

void BM_RasterDraw(benchmark::State &state) {
    Image *target = strip();
    Raster bars = intro_bars; // a list of its own, so the intro's index is left alone
    for (auto _ : state) {
        raster_draw(&bars, target);
        raster_advance(&bars);
        benchmark::DoNotOptimize(target->pixels);
    }
    state.SetItemsProcessed(state.iterations());
    img_free(&target);
}
BENCHMARK(BM_RasterDraw);

void BM_RasterDrawBlend(benchmark::State &state) {
    Image *target = strip();
    Raster bars = intro_bars;
    for (auto _ : state) {
        raster_draw_blend(&bars, target, 128);
        raster_advance(&bars);
        benchmark::DoNotOptimize(target->pixels);
    }
    state.SetItemsProcessed(state.iterations());
    img_free(&target);
}
BENCHMARK(BM_RasterDrawBlend);

} // namespace
