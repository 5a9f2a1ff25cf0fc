// Saving and loading a 4096 x 4096 texture, against reading the file's bytes alone.

#include "formats/texture/texture_codec.h"
#include "framework/memory_stream.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QString>

#include <random>

namespace {

constexpr u32 kSide = 4096;

// A picture with gradients, noise and a varying alpha plane.
Image* MakePicture()
{
    auto* image = new Image();
    Surface* surface = image->AddFrame()->AddSurface();
    surface->Create(kSide, kSide, true);
    std::mt19937 rng(7);
    for (u32 y = 0; y < kSide; ++y) {
        u8* row = surface->GetDC()->ScanLine(y);
        u8* alpha = surface->GetAlphaDC()->ScanLine(y);
        for (u32 x = 0; x < kSide; ++x) {
            const u32 noise = rng() & 15;
            row[4 * x] = u8((x >> 4) + noise);
            row[4 * x + 1] = u8((y >> 4) + noise);
            row[4 * x + 2] = u8(((x + y) >> 5) + noise);
            alpha[x] = u8((x * 3 + y) >> 6);
        }
    }
    return image;
}

Image* Picture()
{
    static Image* image = MakePicture();
    return image;
}

QString Dxt5Path()
{
    return QStringLiteral(VISTREL_BINARY_DIR "/texture_bench_dxt5.t");
}

void Save(benchmark::State& state, u32 pixelFormat, u32 compression)
{
    TextureCodec codec;
    for (auto _ : state) {
        MemoryStream stream;
        if (!codec.Save(Picture(), &stream, 0, pixelFormat, compression, 0))
            state.SkipWithError("save failed");
        benchmark::DoNotOptimize(stream.Data().data());
        if (compression == 3) {
            state.PauseTiming();
            QFile file(Dxt5Path());
            if (file.open(QIODevice::WriteOnly)) file.write(stream.Data());
            state.ResumeTiming();
        }
    }
}

void BM_SaveDxt5FullChain(benchmark::State& state)
{
    Save(state, 0, 3);
}
BENCHMARK(BM_SaveDxt5FullChain)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveA8R8G8B8FullChain(benchmark::State& state)
{
    Save(state, 4, 0);
}
BENCHMARK(BM_SaveA8R8G8B8FullChain)->Unit(benchmark::kMillisecond)->Iterations(3);

QByteArray ReadFile()
{
    QFile file(Dxt5Path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_ReadDxt5FileBytes(benchmark::State& state)
{
    for (auto _ : state) {
        QByteArray bytes = ReadFile();
        if (bytes.isEmpty()) state.SkipWithError("no file: run the DXT5 save first");
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_ReadDxt5FileBytes)->Unit(benchmark::kMillisecond);

void BM_LoadDxt5File(benchmark::State& state)
{
    TextureCodec codec;
    for (auto _ : state) {
        MemoryStream stream(ReadFile(), kModeRead);
        Image* image = codec.Load(&stream);
        if (!image)
            state.SkipWithError("load failed");
        else
            image->Release();
    }
}
BENCHMARK(BM_LoadDxt5File)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
