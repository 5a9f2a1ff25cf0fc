#pragma once
// Vistrel's own bitmaps: 32-bit pixels (blue, green, red, unused byte in memory order, the
// little-endian word 0x00RRGGBB) or 8-bit planes, rows tightly packed and stored bottom-up:
// memory row 0 is the picture's bottom row. The 32-bit layout is Qt's Format_RGB32, so a
// bitmap is shown without conversion; this library itself knows nothing of Qt's image classes.
// Drawing coordinates count rows from the top (ScanLine). Pixels start zeroed.

#include "framework/types.h"

#include <memory>

// The 40-byte bitmap header that describes each of a surface's bitmaps.
struct BitmapInfoHeader
{
    u32 biSize = 0;
    i32 biWidth = 0;
    i32 biHeight = 0;
    u16 biPlanes = 0;
    u16 biBitCount = 0;
    u32 biCompression = 0;
    u32 biSizeImage = 0;
    i32 biXPelsPerMeter = 0;
    i32 biYPelsPerMeter = 0;
    u32 biClrUsed = 0;
    u32 biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

class Bitmap
{
public:
    // Largest side and pixel count a bitmap may have.
    static constexpr u32 kMaxSide = 65536;
    static constexpr u64 kMaxPixels = 268435456;

    // A zeroed bitmap of 8 or 32 bits per pixel; null for other depths, a zero or oversized
    // side, or when memory runs out.
    static std::unique_ptr<Bitmap> Create(u32 width, u32 height, u32 bitsPerPixel);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    u32 Width() const { return m_width; }
    u32 Height() const { return m_height; }
    u32 BitsPerPixel() const { return m_bytesPerPixel * 8; }
    u32 BytesPerPixel() const { return m_bytesPerPixel; }
    // Bytes per row; rows are packed.
    u32 Stride() const { return m_width * m_bytesPerPixel; }
    u64 ByteCount() const { return u64(Stride()) * m_height; }
    u8* Bits() { return m_bits; }
    const u8* Bits() const { return m_bits; }
    // Row y counted from the top of the picture.
    u8* ScanLine(u32 y) { return m_bits + u64(m_height - 1 - y) * Stride(); }
    const u8* ScanLine(u32 y) const { return m_bits + u64(m_height - 1 - y) * Stride(); }

private:
    Bitmap(u32 width, u32 height, u32 bytesPerPixel, u8* bits)
        : m_width(width), m_height(height), m_bytesPerPixel(bytesPerPixel), m_bits(bits)
    {
    }

    u32 m_width;
    u32 m_height;
    u32 m_bytesPerPixel;
    u8* m_bits;
};
