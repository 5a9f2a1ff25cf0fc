// The image model's hot paths on a 4096 x 4096 picture, each beside a memcpy of as many bytes
// as the larger of its source and destination, in the same run.

#include "image/bitmap.h"
#include "image/gr_palette.h"
#include "image/pixel_conversion.h"
#include "image/raster.h"
#include "image/surface.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr u32 kSide = 4096;

std::vector<u8> Noise(u64 bytes)
{
    std::vector<u8> data(bytes);
    u32 state = 12345;
    for (u8& b : data) {
        state = state * 1664525u + 1013904223u;
        b = u8(state >> 24);
    }
    return data;
}

struct Layout
{
    const char* name;
    PixelFormat source;
    PixelFormat target;
};

void Convert(benchmark::State& state, PixelFormat source, PixelFormat target)
{
    const u32 srcPitch = source.RowBytes(kSide);
    const u32 dstPitch = target.RowBytes(kSide);
    const std::vector<u8> src = Noise(u64(srcPitch) * kSide);
    std::vector<u8> dst(u64(dstPitch) * kSide);
    GrPalette palette(0, 256);
    for (u32 i = 0; i < 256; ++i)
        palette.SetEntry(i, i * 0x010203u);
    const GrPalette* srcPalette = source.IsIndexed() ? &palette : nullptr;
    for (auto _ : state) {
        ConvertPixels(target, dst.data(), dstPitch, dst.size(), nullptr, 0, 0, source, src.data(),
                      srcPitch, src.size(), srcPalette, 0, 0, kSide, kSide);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * i64(std::max(src.size(), dst.size())));
}

void Memcpy(benchmark::State& state)
{
    const u64 bytes = u64(state.range(0));
    const std::vector<u8> src = Noise(bytes);
    std::vector<u8> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * i64(bytes));
}

const PixelFormat kDisplay = PixelFormat::Display();

void BM_Convert24ToDisplay(benchmark::State& s) { Convert(s, PixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0), kDisplay); }
void BM_Convert32ToDisplay(benchmark::State& s) { Convert(s, PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), kDisplay); }
void BM_Convert8IndexedToDisplay(benchmark::State& s) { Convert(s, PixelFormat(8, 0, 0, 0, 0), kDisplay); }
void BM_Convert565ToDisplay(benchmark::State& s) { Convert(s, PixelFormat(16, 0xF800, 0x7E0, 0x1F, 0), kDisplay); }
void BM_Convert32ToAlphaPlane(benchmark::State& s) { Convert(s, PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), PixelFormat::AlphaPlane()); }

Surface* MakeSurface(bool alpha)
{
    auto* surface = new Surface;
    surface->Create(kSide, kSide, alpha);
    const std::vector<u8> noise = Noise(u64(kSide) * kSide * 4);
    std::memcpy(surface->LockBits(), noise.data(), noise.size());
    surface->UnlockBits();
    if (alpha) {
        std::memcpy(surface->LockAlpha(), noise.data(), u64(kSide) * kSide);
        surface->UnlockAlpha();
    }
    return surface;
}

void BM_Composite(benchmark::State& state)
{
    Surface* surface = MakeSurface(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(surface->Composite(false));
    state.SetBytesProcessed(state.iterations() * i64(kSide) * kSide * 4);
    surface->Release();
}

void BM_MakePowerOfTwo(benchmark::State& state)
{
    // 4095 x 4095 reduces to 2048 x 2048, the worst case for a 4096-class picture.
    for (auto _ : state) {
        state.PauseTiming();
        auto* surface = new Surface;
        surface->Create(kSide - 1, kSide - 1, true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(surface->MakePowerOfTwo());
        state.PauseTiming();
        surface->Release();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * i64(kSide - 1) * (kSide - 1) * 4);
}

// The whole picture fitted into a 1920 x 1080 target at an angle in degrees.
void BM_BlitFitted(benchmark::State& state)
{
    const double angle = double(state.range(0)) * M_PI / 180.0;
    std::unique_ptr<Bitmap> source = Bitmap::Create(kSide, kSide, 32);
    const std::vector<u8> noise = Noise(source->ByteCount());
    std::memcpy(source->Bits(), noise.data(), noise.size());
    std::unique_ptr<Bitmap> target = Bitmap::Create(1920, 1080, 32);
    const double c = std::cos(angle), s = std::sin(angle);
    // Scale so that the turned square fits the target's height.
    const double scale = 1080.0 / (kSide * (std::fabs(c) + std::fabs(s)));
    const double half = kSide * scale / 2;
    auto at = [&](double x, double y) {
        return Point{i32(std::lround(960 + (x - half) * c - (y - half) * s)),
                     i32(std::lround(540 + (x - half) * s + (y - half) * c))};
    };
    const double side = kSide * scale;
    const Point destination[3] = {at(0, 0), at(side, 0), at(0, side)};
    const Rect sourceRect{0, 0, i32(kSide), i32(kSide)};
    for (auto _ : state) {
        PlgBlt(*target, destination, *source, sourceRect);
        benchmark::DoNotOptimize(target->Bits());
    }
    state.SetBytesProcessed(state.iterations() * i64(target->ByteCount()));
}
} // namespace

constexpr i64 kPicture32 = i64(kSide) * kSide * 4;
BENCHMARK(Memcpy)->Arg(kPicture32)->Arg(1920 * 1080 * 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24ToDisplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert32ToDisplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert8IndexedToDisplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert565ToDisplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert32ToAlphaPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Composite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakePowerOfTwo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitFitted)->Arg(0)->Arg(90)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
