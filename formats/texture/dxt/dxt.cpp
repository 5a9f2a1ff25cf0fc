// Picture-level DXT coding: block gathering at the edges, worker threads, the colour decoder.

#include "formats/texture/dxt/dxt.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "formats/texture/dxt/dxt_block.h"

namespace {

size_t BlockBytes(DxtFormat format)
{
    return format == DxtFormat::Dxt1 ? 8 : 16;
}

bool SizeAccepted(u32 width, u32 height)
{
    return width > 0 && height > 0 && width <= kDxtMaxSide && height <= kDxtMaxSide &&
           u64(width) * u64(height) <= kDxtMaxPixels;
}

bool FormatKnown(DxtFormat format)
{
    return format == DxtFormat::Dxt1 || format == DxtFormat::Dxt3 || format == DxtFormat::Dxt5;
}

void EncodeBlock(const u32* pixels, DxtFormat format, DxtLevel level, bool hasAlpha, u8* out)
{
    switch (format) {
    case DxtFormat::Dxt1:
        EncodeColourBlock(pixels, true, hasAlpha, level, out);
        break;
    case DxtFormat::Dxt3:
        if (hasAlpha)
            EncodeAlphaDxt3(pixels, out);
        else
            std::memset(out, 0xFF, 8);
        EncodeColourBlock(pixels, false, false, level, out + 8);
        break;
    case DxtFormat::Dxt5:
        if (hasAlpha) {
            EncodeAlphaDxt5(pixels, level, out);
        } else {
            // Equal ends, index 0 everywhere: opaque.
            std::memset(out, 0, 8);
            out[0] = out[1] = 0xFF;
        }
        EncodeColourBlock(pixels, false, false, level, out + 8);
        break;
    }
}

void EncodeBlockRows(const DxtSource& src, DxtFormat format, DxtLevel level, u32 firstRow,
                     u32 endRow, u8* out)
{
    const u32 blocksX = (src.width + 3) / 4;
    const size_t blockBytes = BlockBytes(format);
    const u8* base = reinterpret_cast<const u8*>(src.pixels);
    u32 pixels[16];
    for (u32 by = firstRow; by < endRow; ++by) {
        const u32* rows[4];
        for (u32 y = 0; y < 4; ++y) {
            const u32 sy = std::min(by * 4 + y, src.height - 1);
            rows[y] = reinterpret_cast<const u32*>(base + size_t(sy) * src.pitchBytes);
        }
        u8* dst = out + size_t(by) * blocksX * blockBytes;
        for (u32 bx = 0; bx < blocksX; ++bx) {
            for (u32 y = 0; y < 4; ++y)
                for (u32 x = 0; x < 4; ++x)
                    pixels[4 * y + x] = rows[y][std::min(bx * 4 + x, src.width - 1)];
            EncodeBlock(pixels, format, level, src.hasAlpha, dst + size_t(bx) * blockBytes);
        }
    }
}

void DecodeBlock(const u8* block, DxtFormat format, u32* pixels)
{
    switch (format) {
    case DxtFormat::Dxt1:
        DecodeColourBlock(block, true, pixels);
        break;
    case DxtFormat::Dxt3:
        DecodeColourBlock(block + 8, false, pixels);
        DecodeAlphaDxt3(block, pixels);
        break;
    case DxtFormat::Dxt5:
        DecodeColourBlock(block + 8, false, pixels);
        DecodeAlphaDxt5(block, pixels);
        break;
    }
}

} // namespace

void DecodeColourBlock(const u8* block, bool dxt1, u32* pixels)
{
    const u32 c0 = block[0] | (u32(block[1]) << 8);
    const u32 c1 = block[2] | (u32(block[3]) << 8);
    const int a[3] = {int((c0 >> 11) << 3 | (c0 >> 13)),
                      int(((c0 >> 5) & 63) << 2 | ((c0 >> 9) & 3)),
                      int((c0 & 31) << 3 | ((c0 >> 2) & 7))};
    const int b[3] = {int((c1 >> 11) << 3 | (c1 >> 13)),
                      int(((c1 >> 5) & 63) << 2 | ((c1 >> 9) & 3)),
                      int((c1 & 31) << 3 | ((c1 >> 2) & 7))};
    const bool three = dxt1 && c0 <= c1;
    int pal[4][3];
    for (int ch = 0; ch < 3; ++ch) {
        pal[0][ch] = a[ch];
        pal[1][ch] = b[ch];
        pal[2][ch] = three ? (a[ch] + b[ch]) / 2 : (2 * a[ch] + b[ch]) / 3;
        pal[3][ch] = three ? 0 : (a[ch] + 2 * b[ch]) / 3;
    }
    u32 colours[4];
    for (int e = 0; e < 4; ++e)
        colours[e] = 0xFF000000u | (u32(pal[e][0]) << 16) | (u32(pal[e][1]) << 8) | u32(pal[e][2]);
    if (three) colours[3] = 0;
    const u32 bits =
        block[4] | (u32(block[5]) << 8) | (u32(block[6]) << 16) | (u32(block[7]) << 24);
    for (int i = 0; i < 16; ++i)
        pixels[i] = colours[(bits >> (2 * i)) & 3];
}

size_t DxtEncodedSize(u32 width, u32 height, DxtFormat format)
{
    if (!SizeAccepted(width, height) || !FormatKnown(format)) return 0;
    return size_t((u64(width) + 3) / 4 * ((u64(height) + 3) / 4) * BlockBytes(format));
}

bool EncodeDxt(const DxtSource& src, DxtFormat format, DxtLevel level, int threads, u8* out)
{
    if (!src.pixels || !out || !SizeAccepted(src.width, src.height) || !FormatKnown(format) ||
        src.pitchBytes < u64(src.width) * 4)
        return false;
    const u32 blockRows = (src.height + 3) / 4;
    u32 count = threads > 0 ? u32(threads) : std::max(1u, std::thread::hardware_concurrency());
    count = std::min(count, blockRows);
    // Each worker takes a contiguous band of block rows; blocks do not depend on each other, so
    // the bytes are the same whatever the split.
    std::vector<std::thread> workers;
    u32 started = 1;
    try {
        workers.reserve(count - 1);
        for (; started < count; ++started) {
            const u32 first = u32(u64(blockRows) * started / count);
            const u32 end = u32(u64(blockRows) * (started + 1) / count);
            workers.emplace_back(EncodeBlockRows, std::cref(src), format, level, first, end, out);
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    // The calling thread does the first band and any band no worker could be started for.
    EncodeBlockRows(src, format, level, 0, u32(u64(blockRows) / count), out);
    for (u32 t = started; t < count; ++t)
        EncodeBlockRows(src, format, level, u32(u64(blockRows) * t / count),
                        u32(u64(blockRows) * (t + 1) / count), out);
    for (std::thread& w : workers)
        w.join();
    return true;
}

bool DecodeDxt(const u8* blocks, u32 width, u32 height, DxtFormat format, u32* out,
               size_t outPitchBytes)
{
    if (!blocks || !out || !SizeAccepted(width, height) || !FormatKnown(format) ||
        outPitchBytes < u64(width) * 4)
        return false;
    const u32 blocksX = (width + 3) / 4;
    const u32 blocksY = (height + 3) / 4;
    const size_t blockBytes = BlockBytes(format);
    u8* base = reinterpret_cast<u8*>(out);
    u32 pixels[16];
    for (u32 by = 0; by < blocksY; ++by) {
        for (u32 bx = 0; bx < blocksX; ++bx) {
            DecodeBlock(blocks + (size_t(by) * blocksX + bx) * blockBytes, format, pixels);
            const u32 w = std::min(4u, width - bx * 4);
            const u32 h = std::min(4u, height - by * 4);
            for (u32 y = 0; y < h; ++y) {
                u32* row = reinterpret_cast<u32*>(base + (size_t(by) * 4 + y) * outPitchBytes);
                std::memcpy(row + size_t(bx) * 4, pixels + 4 * y, w * 4);
            }
        }
    }
    return true;
}
