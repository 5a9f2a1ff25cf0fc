// Loading a 4096 x 4096 24-bit BMP from memory, against copying the same bytes out of the
// stream: the ratio says how much the decoder and pixel conversion add to the bare read.

#include "formats/bmp/bmp_codec.h"
#include "framework/memory_stream.h"
#include "image/image.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <cstring>

namespace {

constexpr u32 kSide = 4096;

void PutU32(char* at, u32 value)
{
    std::memcpy(at, &value, 4);
}

const QByteArray& LargeBmp()
{
    static const QByteArray bytes = [] {
        const u32 stride = kSide * 3;
        const u32 pixelBytes = stride * kSide;
        QByteArray out(54 + qsizetype(pixelBytes), '\0');
        char* p = out.data();
        p[0] = 'B';
        p[1] = 'M';
        PutU32(p + 2, u32(out.size()));
        PutU32(p + 10, 54);
        PutU32(p + 14, 40);
        PutU32(p + 18, kSide);
        PutU32(p + 22, kSide);
        p[26] = 1;
        p[28] = 24;
        u8* pixels = reinterpret_cast<u8*>(p + 54);
        for (u32 i = 0; i < pixelBytes; ++i)
            pixels[i] = u8(i * 2654435761u >> 24);
        return out;
    }();
    return bytes;
}

void BM_ReadFileBytes(benchmark::State& state)
{
    const QByteArray& bytes = LargeBmp();
    QByteArray target(bytes.size(), '\0');
    for (auto _ : state) {
        MemoryStream stream(bytes, kModeRead);
        benchmark::DoNotOptimize(stream.Read(target.data(), u32(target.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(i64(state.iterations()) * bytes.size());
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_LoadBmp24(benchmark::State& state)
{
    const QByteArray& bytes = LargeBmp();
    BmpCodec codec;
    for (auto _ : state) {
        MemoryStream stream(bytes, kModeRead);
        Image* image = codec.Load(&stream);
        if (!image) {
            state.SkipWithError("load failed");
            break;
        }
        image->Release();
    }
    state.SetBytesProcessed(i64(state.iterations()) * bytes.size());
}
BENCHMARK(BM_LoadBmp24)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
