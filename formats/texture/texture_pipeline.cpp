#include "formats/texture/texture_pipeline.h"

#include "image/bitmap.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Runs work(begin, end) over contiguous bands of [0, count). Bands never overlap, so the result
// does not depend on how many workers could be started; a band without a worker runs here.
template <typename Work>
void ParallelBands(u32 count, int threads, u32 minPerBand, const Work& work)
{
    if (count == 0) return;
    u32 bands = threads > 0 ? u32(threads) : std::max(1u, std::thread::hardware_concurrency());
    bands = std::max(1u, std::min(bands, count / std::max(1u, minPerBand)));
    auto begin = [&](u32 band) { return u32(u64(count) * band / bands); };
    std::vector<std::thread> workers;
    u32 started = 1;
    try {
        workers.reserve(bands - 1);
        for (; started < bands; ++started)
            workers.emplace_back(
                [&work, b = begin(started), e = begin(started + 1)] { work(b, e); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    work(0, begin(1));
    for (u32 band = started; band < bands; ++band)
        work(begin(band), begin(band + 1));
    for (std::thread& worker : workers)
        worker.join();
}

DxtFormat DxtFormatOf(u32 code)
{
    return code == kTextureDxt1 ? DxtFormat::Dxt1
                                : (code == kTextureDxt3 ? DxtFormat::Dxt3 : DxtFormat::Dxt5);
}

u32 StoredBytesPerPixel(u32 code)
{
    return code <= kTextureA1R5G5B5 ? 2 : 4;
}

// Rounds an 8-bit channel to nearest on a scale of maxValue.
inline u32 Narrow(u32 value, u32 maxValue)
{
    return (value * maxValue + 127) / 255;
}

inline u32 Widen5(u32 v)
{
    return (v << 3) | (v >> 2);
}

inline u32 Widen6(u32 v)
{
    return (v << 2) | (v >> 4);
}

u32 StoreUnit(u32 px, u32 code, bool carryAlpha)
{
    const u32 a = carryAlpha ? px >> 24 : 255;
    const u32 r = (px >> 16) & 0xFF;
    const u32 g = (px >> 8) & 0xFF;
    const u32 b = px & 0xFF;
    switch (code) {
    case kTextureR5G6B5:
        return (Narrow(r, 31) << 11) | (Narrow(g, 63) << 5) | Narrow(b, 31);
    case kTextureA4R4G4B4:
        return (Narrow(a, 15) << 12) | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) | Narrow(b, 15);
    case kTextureA1R5G5B5:
        return (u32(a >= 128) << 15) | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
    case kTextureX8R8G8B8:
        return 0xFF000000u | (px & 0xFFFFFF);
    default:
        return (a << 24) | (px & 0xFFFFFF);
    }
}

// The 0xAARRGGBB word of one stored unit.
u32 LoadUnit(const u8* unit, u32 code)
{
    if (code <= kTextureA1R5G5B5) {
        const u32 v = u32(unit[0]) | (u32(unit[1]) << 8);
        switch (code) {
        case kTextureR5G6B5:
            return 0xFF000000u | (Widen5(v >> 11) << 16) | (Widen6((v >> 5) & 0x3F) << 8) |
                   Widen5(v & 0x1F);
        case kTextureA4R4G4B4:
            return (((v >> 12) & 0xF) * 17 << 24) | (((v >> 8) & 0xF) * 17 << 16) |
                   (((v >> 4) & 0xF) * 17 << 8) | ((v & 0xF) * 17);
        default:
            return ((v & 0x8000) ? 0xFF000000u : 0) | (Widen5((v >> 10) & 0x1F) << 16) |
                   (Widen5((v >> 5) & 0x1F) << 8) | Widen5(v & 0x1F);
        }
    }
    const u32 v = u32(unit[0]) | (u32(unit[1]) << 8) | (u32(unit[2]) << 16) | (u32(unit[3]) << 24);
    return code == kTextureX8R8G8B8 ? (v | 0xFF000000u) : v;
}

// Display words carry no alpha byte; the alpha plane holds it.
void PutRow(const u32* pixels, u32 width, u8* displayRow, u8* alphaRow)
{
    for (u32 x = 0; x < width; ++x) {
        const u32 px = pixels[x];
        const u32 rgb = px & 0xFFFFFF;
        displayRow[4 * x] = u8(rgb);
        displayRow[4 * x + 1] = u8(rgb >> 8);
        displayRow[4 * x + 2] = u8(rgb >> 16);
        displayRow[4 * x + 3] = 0;
        if (alphaRow) alphaRow[x] = u8(px >> 24);
    }
}

// Sums of 2 x 2 boxes of the level above, four channels a pixel.
template <typename In, typename Out>
void SumBoxes(const In* src, u32 srcWidth, u32 srcHeight, Out* dst, u32 dstWidth, u32 dstHeight,
              int threads)
{
    ParallelBands(dstHeight, threads, 16, [=](u32 y0, u32 y1) {
        for (u32 y = y0; y < y1; ++y) {
            const In* row0 = src + u64(2 * y) * srcWidth * 4;
            const In* row1 = src + u64(std::min(2 * y + 1, srcHeight - 1)) * srcWidth * 4;
            Out* out = dst + u64(y) * dstWidth * 4;
            for (u32 x = 0; x < dstWidth; ++x) {
                const u64 a = u64(2 * x) * 4;
                const u64 b = u64(std::min(2 * x + 1, srcWidth - 1)) * 4;
                for (u32 c = 0; c < 4; ++c)
                    out[4 * x + c] = Out(Out(row0[a + c]) + Out(row0[b + c]) + Out(row1[a + c]) +
                                         Out(row1[b + c]));
            }
        }
    });
}

template <typename Sum>
void RoundSums(const Sum* sums, u64 count, u32 level, u32* pixels, int threads)
{
    const u32 shift = 2 * level;
    const u64 half = u64(1) << (shift - 1);
    ParallelBands(u32((count + 4095) / 4096), threads, 4, [=](u32 b0, u32 b1) {
        const u64 end = std::min(count, u64(b1) * 4096);
        for (u64 i = u64(b0) * 4096; i < end; ++i) {
            const Sum* s = sums + 4 * i;
            u32 px = 0;
            for (u32 c = 0; c < 4; ++c)
                px |= u32((u64(s[c]) + half) >> shift) << (8 * c);
            pixels[i] = px;
        }
    });
}

} // namespace

u32 TextureChainLength(u32 width, u32 height)
{
    const u32 side = std::max(width, height);
    return side == 0 ? 0 : u32(std::bit_width(side));
}

u64 TextureLevelSize(u32 code, u32 width, u32 height)
{
    if (code >= kTextureR5G6B5 && code <= kTextureA8R8G8B8)
        return u64(width) * StoredBytesPerPixel(code) * height;
    if (!IsTextureBlockCode(code)) return 0;
    const u64 blockBytes = code == kTextureDxt1 ? 8 : 16;
    const u64 pitch = std::max<u64>(1, (u64(width) + 3) / 4) * blockBytes;
    return pitch * height / 4;
}

bool EncodeTextureLevel(const u32* pixels, u32 width, u32 height, u32 code, bool carryAlpha,
                        DxtLevel level, int threads, std::vector<u8>& out)
{
    if (!pixels || width == 0 || height == 0) return false;
    if (IsTextureBlockCode(code)) {
        const size_t encoded = DxtEncodedSize(width, height, DxtFormatOf(code));
        if (encoded == 0) return false;
        out.resize(encoded);
        const DxtSource source{pixels, width, height, size_t(width) * 4, carryAlpha};
        if (!EncodeDxt(source, DxtFormatOf(code), level, threads, out.data())) return false;
        out.resize(size_t(TextureLevelSize(code, width, height)));
        return true;
    }
    if (code < kTextureR5G6B5 || code > kTextureA8R8G8B8) return false;
    const u32 unit = StoredBytesPerPixel(code);
    out.resize(size_t(TextureLevelSize(code, width, height)));
    u8* base = out.data();
    ParallelBands(height, threads, 16, [=](u32 y0, u32 y1) {
        for (u32 y = y0; y < y1; ++y) {
            const u32* row = pixels + u64(y) * width;
            u8* dst = base + u64(y) * width * unit;
            for (u32 x = 0; x < width; ++x) {
                const u32 v = StoreUnit(row[x], code, carryAlpha);
                for (u32 i = 0; i < unit; ++i)
                    dst[u64(x) * unit + i] = u8(v >> (8 * i));
            }
        }
    });
    return true;
}

bool DecodeTextureLevel(const u8* data, u32 code, u32 width, u32 height, Bitmap& display,
                        Bitmap* alpha, int threads)
{
    if (!data || display.Width() != width || display.Height() != height ||
        display.BitsPerPixel() != 32 ||
        (alpha && (alpha->Width() != width || alpha->Height() != height)))
        return false;
    if (code >= kTextureR5G6B5 && code <= kTextureA8R8G8B8) {
        const u32 unit = StoredBytesPerPixel(code);
        ParallelBands(height, threads, 16, [&](u32 y0, u32 y1) {
            std::vector<u32> row(width);
            for (u32 y = y0; y < y1; ++y) {
                const u8* src = data + u64(y) * width * unit;
                for (u32 x = 0; x < width; ++x)
                    row[x] = LoadUnit(src + u64(x) * unit, code);
                PutRow(row.data(), width, display.ScanLine(y),
                       alpha ? alpha->ScanLine(y) : nullptr);
            }
        });
        return true;
    }
    if (!IsTextureBlockCode(code)) return false;
    const DxtFormat format = DxtFormatOf(code);
    const u64 blockRowBytes = (u64(width) + 3) / 4 * (format == DxtFormat::Dxt1 ? 8 : 16);
    std::atomic<bool> ok = true;
    ParallelBands((height + 3) / 4, threads, 8, [&](u32 b0, u32 b1) {
        // One block row at a time through a small strip keeps the decode in cache.
        std::vector<u32> strip(u64(width) * 4);
        for (u32 by = b0; by < b1; ++by) {
            const u32 rows = std::min(4u, height - 4 * by);
            if (!DecodeDxt(data + by * blockRowBytes, width, rows, format, strip.data(),
                           size_t(width) * 4)) {
                ok = false;
                return;
            }
            for (u32 r = 0; r < rows; ++r) {
                const u32 y = 4 * by + r;
                PutRow(strip.data() + u64(r) * width, width, display.ScanLine(y),
                       alpha ? alpha->ScanLine(y) : nullptr);
            }
        }
    });
    return ok;
}

void ComposePicture(const Bitmap& display, const Bitmap* alpha, u32 width, u32 height, u32* out,
                    int threads)
{
    const u32 rgbWidth = std::min(width, display.Width());
    const u32 rgbHeight = std::min(height, display.Height());
    const u32 alphaWidth = alpha ? std::min(width, alpha->Width()) : 0;
    const u32 alphaHeight = alpha ? std::min(height, alpha->Height()) : 0;
    ParallelBands(height, threads, 16, [&](u32 y0, u32 y1) {
        for (u32 y = y0; y < y1; ++y) {
            u32* row = out + u64(y) * width;
            std::fill(row, row + width, 0xFF000000u);
            if (y < rgbHeight) {
                const u8* src = display.ScanLine(y);
                for (u32 x = 0; x < rgbWidth; ++x)
                    row[x] = 0xFF000000u | (u32(src[4 * x + 2]) << 16) |
                             (u32(src[4 * x + 1]) << 8) | src[4 * x];
            }
            if (y < alphaHeight) {
                const u8* src = alpha->ScanLine(y);
                for (u32 x = 0; x < alphaWidth; ++x)
                    row[x] = (row[x] & 0xFFFFFF) | (u32(src[x]) << 24);
            }
        }
    });
}

MipChain::MipChain(const u32* pixels, u32 width, u32 height, int threads)
    : m_source(pixels), m_width(width), m_height(height), m_threads(threads)
{
}

bool MipChain::Next()
{
    if (m_width <= 1 && m_height <= 1) return false;
    const u32 srcWidth = m_width;
    const u32 srcHeight = m_height;
    const u32 width = std::max(1u, srcWidth >> 1);
    const u32 height = std::max(1u, srcHeight >> 1);
    const u64 count = u64(width) * height;
    const u32 level = m_level + 1;
    // 255 x 4^level must fit the sum type: 16 bits up to level 4, 32 bits up to level 12.
    if (level == 1) {
        std::vector<u16> sums(count * 4);
        const u32* src = m_source;
        ParallelBands(height, m_threads, 16, [&](u32 y0, u32 y1) {
            for (u32 y = y0; y < y1; ++y) {
                const u32* row0 = src + u64(2 * y) * srcWidth;
                const u32* row1 = src + u64(std::min(2 * y + 1, srcHeight - 1)) * srcWidth;
                u16* out = sums.data() + u64(y) * width * 4;
                for (u32 x = 0; x < width; ++x) {
                    const u32 a = 2 * x;
                    const u32 b = std::min(2 * x + 1, srcWidth - 1);
                    for (u32 c = 0; c < 4; ++c) {
                        const u32 s = 8 * c;
                        out[4 * x + c] = u16(((row0[a] >> s) & 0xFF) + ((row0[b] >> s) & 0xFF) +
                                             ((row1[a] >> s) & 0xFF) + ((row1[b] >> s) & 0xFF));
                    }
                }
            }
        });
        m_sums16 = std::move(sums);
    } else if (level <= 4) {
        std::vector<u16> sums(count * 4);
        SumBoxes(m_sums16.data(), srcWidth, srcHeight, sums.data(), width, height, m_threads);
        m_sums16 = std::move(sums);
    } else if (level == 5) {
        m_sums32.resize(count * 4);
        SumBoxes(m_sums16.data(), srcWidth, srcHeight, m_sums32.data(), width, height, m_threads);
        m_sums16 = {};
    } else if (level <= 12) {
        std::vector<u32> sums(count * 4);
        SumBoxes(m_sums32.data(), srcWidth, srcHeight, sums.data(), width, height, m_threads);
        m_sums32 = std::move(sums);
    } else if (level == 13) {
        m_sums64.resize(count * 4);
        SumBoxes(m_sums32.data(), srcWidth, srcHeight, m_sums64.data(), width, height, m_threads);
        m_sums32 = {};
    } else {
        std::vector<u64> sums(count * 4);
        SumBoxes(m_sums64.data(), srcWidth, srcHeight, sums.data(), width, height, m_threads);
        m_sums64 = std::move(sums);
    }
    m_pixels.resize(count);
    if (level <= 4)
        RoundSums(m_sums16.data(), count, level, m_pixels.data(), m_threads);
    else if (level <= 12)
        RoundSums(m_sums32.data(), count, level, m_pixels.data(), m_threads);
    else
        RoundSums(m_sums64.data(), count, level, m_pixels.data(), m_threads);
    m_width = width;
    m_height = height;
    m_level = level;
    return true;
}
