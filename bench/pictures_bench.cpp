// Frame pictures: drawing and encoding all 36 frames (what dorvik-framegen
// does at build time), and decoding all 36 embedded bitmaps with SDL2's BMP
// loader (what the Linux window does once at start-up).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "pictures/bitmap_decode.hpp"
#include "pictures/bitmap_file.hpp"
#include "pictures/canvas.hpp"
#include "pictures/frame_drawing.hpp"
#include "pictures/mechanism.hpp"
#include "pictures/window_definition.hpp"

namespace {

using namespace dorvik::frames;

void BM_DrawAll36(benchmark::State& state) {
  for (auto _ : state)
    for (int set = 0; set < kSets; ++set)
      for (int frame = 1; frame <= kFramesPerSet; ++frame)
        benchmark::DoNotOptimize(DrawFrame(set, frame));
  state.SetItemsProcessed(state.iterations() * 36);
}
BENCHMARK(BM_DrawAll36)->Unit(benchmark::kMillisecond);

void BM_EncodeAll36(benchmark::State& state) {
  std::vector<Canvas> frames;
  for (int set = 0; set < kSets; ++set)
    for (int frame = 1; frame <= kFramesPerSet; ++frame) frames.push_back(DrawFrame(set, frame));
  for (auto _ : state)
    for (const Canvas& canvas : frames)
      benchmark::DoNotOptimize(BitmapFile(canvas.Pixels(), kWidth, kHeight));
  state.SetItemsProcessed(state.iterations() * 36);
}
BENCHMARK(BM_EncodeAll36)->Unit(benchmark::kMillisecond);

void BM_GenerateAll36(benchmark::State& state) {
  for (auto _ : state)
    for (int set = 0; set < kSets; ++set)
      for (int frame = 1; frame <= kFramesPerSet; ++frame)
        benchmark::DoNotOptimize(BitmapFile(DrawFrame(set, frame).Pixels(), kWidth, kHeight));
  state.SetItemsProcessed(state.iterations() * 36);
}
BENCHMARK(BM_GenerateAll36)->Unit(benchmark::kMillisecond);

void BM_SdlDecodeAll36(benchmark::State& state) {
  for (auto _ : state)
    for (int number = 1; number <= 36; ++number) {
      const auto file = dorvik::HolderBitmapFile(number);
      SDL_Surface* surface =
          SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
      if (!surface) {
        state.SkipWithError(SDL_GetError());
        return;
      }
      benchmark::DoNotOptimize(surface->pixels);
      SDL_FreeSurface(surface);
    }
  state.SetItemsProcessed(state.iterations() * 36);
}
BENCHMARK(BM_SdlDecodeAll36)->Unit(benchmark::kMillisecond);

// The window's own decoder, straight into 8-bit surfaces, as it runs at start-up.
void BM_DecodeAll36(benchmark::State& state) {
  for (auto _ : state)
    for (int number = 1; number <= 36; ++number) {
      const dorvik::BitmapLayout layout =
          dorvik::ReadBitmapLayout(dorvik::HolderBitmapFile(number));
      SDL_Surface* surface =
          SDL_CreateRGBSurfaceWithFormat(0, layout.width, layout.height, 8, SDL_PIXELFORMAT_INDEX8);
      dorvik::DecodeBitmapPixels(layout, static_cast<std::uint8_t*>(surface->pixels),
                                 surface->pitch);
      benchmark::DoNotOptimize(surface->pixels);
      SDL_FreeSurface(surface);
    }
  state.SetItemsProcessed(state.iterations() * 36);
}
BENCHMARK(BM_DecodeAll36)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
