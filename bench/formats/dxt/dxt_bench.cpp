// DXT1 and DXT5 encoding of the Kodak pictures: Vistrel's two levels against libsquish's cluster
// fit and stb_dxt's high-quality mode, on one and two threads. Each run encodes all 24 pictures;
// the counters give the throughput in Mpixels/s and the mean PSNR in dB (RGB: squared error over
// the three channels of a picture; alpha for DXT5), averaged over the pictures.

#include "formats/texture/dxt/dxt.h"

#include <benchmark/benchmark.h>
#include <squish.h>

#include <cstring> // stb_dxt's implementation needs memcpy declared first
#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include <QDir>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Picture
{
    u32 width = 0;
    u32 height = 0;
    std::vector<u32> pixels; // 0xAARRGGBB, tightly packed
};

const std::vector<Picture>& Pictures(bool alpha)
{
    static std::vector<Picture> sets[2];
    static bool loaded[2] = {};
    std::vector<Picture>& set = sets[alpha];
    if (!loaded[alpha]) {
        loaded[alpha] = true;
        const QDir dir(QStringLiteral(VISTREL_SHARED_DIR "/bench-images/") +
                       (alpha ? "kodak-alpha" : "kodak"));
        for (const QString& name :
             dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name)) {
            const QImage image = QImage(dir.filePath(name)).convertToFormat(QImage::Format_ARGB32);
            if (image.isNull()) continue;
            Picture p{u32(image.width()), u32(image.height()), {}};
            p.pixels.resize(size_t(p.width) * p.height);
            for (u32 y = 0; y < p.height; ++y)
                std::memcpy(p.pixels.data() + size_t(y) * p.width, image.constScanLine(int(y)),
                            size_t(p.width) * 4);
            set.push_back(std::move(p));
        }
    }
    return set;
}

enum class Encoder
{
    VistrelQuality,
    VistrelFast,
    SquishClusterFit,
    StbHighQuality
};

// Gathers block (bx, by) as 16 RGBA byte quadruples, the order both references take.
void GatherRgba(const Picture& p, u32 bx, u32 by, u8* rgba)
{
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 4; ++x) {
            const u32 px = p.pixels[size_t(by * 4 + y) * p.width + bx * 4 + x];
            u8* o = rgba + 4 * (4 * y + x);
            o[0] = u8(px >> 16), o[1] = u8(px >> 8), o[2] = u8(px), o[3] = u8(px >> 24);
        }
}

void ReferenceRows(Encoder encoder, const Picture& p, DxtFormat format, u32 firstRow, u32 endRow,
                   u8* out)
{
    const size_t blockBytes = format == DxtFormat::Dxt1 ? 8 : 16;
    const u32 blocksX = p.width / 4;
    u8 rgba[64];
    for (u32 by = firstRow; by < endRow; ++by)
        for (u32 bx = 0; bx < blocksX; ++bx) {
            GatherRgba(p, bx, by, rgba);
            u8* block = out + (size_t(by) * blocksX + bx) * blockBytes;
            if (encoder == Encoder::SquishClusterFit) {
                const int flags = (format == DxtFormat::Dxt1 ? squish::kDxt1 : squish::kDxt5) |
                                  squish::kColourClusterFit;
                squish::Compress(rgba, block, flags);
            } else {
                stb_compress_dxt_block(block, rgba, format == DxtFormat::Dxt5, STB_DXT_HIGHQUAL);
            }
        }
}

void EncodePicture(Encoder encoder, const Picture& p, DxtFormat format, int threads, bool alpha,
                   u8* out)
{
    if (encoder == Encoder::VistrelQuality || encoder == Encoder::VistrelFast) {
        const DxtSource src{p.pixels.data(), p.width, p.height, size_t(p.width) * 4, alpha};
        EncodeDxt(src, format,
                  encoder == Encoder::VistrelQuality ? DxtLevel::Quality : DxtLevel::Fast, threads,
                  out);
        return;
    }
    // The references have no threads of their own: split the block rows as Vistrel does.
    const u32 rows = p.height / 4;
    if (threads == 1) {
        ReferenceRows(encoder, p, format, 0, rows, out);
        return;
    }
    std::thread second(ReferenceRows, encoder, std::cref(p), format, rows / 2, rows, out);
    ReferenceRows(encoder, p, format, 0, rows / 2, out);
    second.join();
}

double Psnr(double mse)
{
    return mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
}

void BM_Encode(benchmark::State& state, Encoder encoder, DxtFormat format, int threads)
{
    const bool alpha = format == DxtFormat::Dxt5;
    const std::vector<Picture>& pictures = Pictures(alpha);
    if (pictures.empty()) {
        state.SkipWithError("bench-images/kodak not found");
        return;
    }
    std::vector<std::vector<u8>> encoded;
    double pixels = 0;
    for (const Picture& p : pictures) {
        encoded.emplace_back(DxtEncodedSize(p.width, p.height, format));
        pixels += double(p.width) * p.height;
    }
    for (auto _ : state) {
        for (size_t i = 0; i < pictures.size(); ++i)
            EncodePicture(encoder, pictures[i], format, threads, alpha, encoded[i].data());
        benchmark::ClobberMemory();
    }
    double rgbDb = 0, alphaDb = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        std::vector<u32> decoded(p.pixels.size());
        DecodeDxt(encoded[i].data(), p.width, p.height, format, decoded.data(),
                  size_t(p.width) * 4);
        double rgb = 0, a = 0;
        for (size_t k = 0; k < decoded.size(); ++k) {
            for (int shift = 0; shift < 32; shift += 8) {
                const double d =
                    double((p.pixels[k] >> shift) & 0xFF) - double((decoded[k] >> shift) & 0xFF);
                (shift == 24 ? a : rgb) += d * d;
            }
        }
        rgbDb += Psnr(rgb / (3.0 * double(decoded.size())));
        alphaDb += Psnr(a / double(decoded.size()));
    }
    state.counters["Mpix/s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["PSNR_dB"] = rgbDb / double(pictures.size());
    if (alpha) state.counters["alphaPSNR_dB"] = alphaDb / double(pictures.size());
}

struct Registration
{
    Registration()
    {
        const struct
        {
            Encoder encoder;
            const char* name;
        } encoders[] = {{Encoder::VistrelQuality, "VistrelQuality"},
                        {Encoder::VistrelFast, "VistrelFast"},
                        {Encoder::SquishClusterFit, "SquishClusterFit"},
                        {Encoder::StbHighQuality, "StbHighQuality"}};
        for (DxtFormat format : {DxtFormat::Dxt1, DxtFormat::Dxt5})
            for (const auto& e : encoders)
                for (int threads : {1, 2}) {
                    const std::string name = std::string("BM_Encode") +
                                             (format == DxtFormat::Dxt1 ? "Dxt1/" : "Dxt5/") +
                                             e.name + "/threads:" + std::to_string(threads);
                    benchmark::RegisterBenchmark(name.c_str(), BM_Encode, e.encoder, format,
                                                 threads)
                        ->Unit(benchmark::kMillisecond)
                        ->UseRealTime();
                }
    }
} registration;

} // namespace

BENCHMARK_MAIN();
