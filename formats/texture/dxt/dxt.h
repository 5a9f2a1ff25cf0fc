#pragma once
// Vistrel's DXT1/DXT3/DXT5 (BC1/BC2/BC3) block coder: pure pixel work, no Qt.
//
// Pixels are 32-bit words 0xAARRGGBB (bytes B, G, R, A in memory), top row first. Blocks are
// 4 x 4 pixels, rows of blocks top to bottom, partial blocks at the right and bottom edges rounded
// up. The encoder fills the missing pixels of an edge block by repeating the picture's last column
// and row, so they count in the fit like real pixels; the decoder writes only the real pixels.

#include <cstddef>

#include "framework/types.h"

enum class DxtFormat
{
    Dxt1, // 8 bytes a block: 5-6-5 colour, 1-bit alpha through the three-colour mode
    Dxt3, // 16 bytes a block: explicit 4-bit alpha, then a four-colour block
    Dxt5, // 16 bytes a block: interpolated 8-bit alpha, then a four-colour block
};

enum class DxtLevel
{
    Quality, // the default: best error at a few Mpixels/s
    Fast,    // principal axis and least-squares refinement only
};

struct DxtSource
{
    const u32* pixels = nullptr; // 0xAARRGGBB words
    u32 width = 0;
    u32 height = 0;
    size_t pitchBytes = 0; // distance between rows, at least width * 4
    // Without it the blocks are opaque. With it, DXT1 makes alpha below 128 transparent (three-
    // colour mode, index 3), DXT3 rounds alpha to 4 bits, DXT5 interpolates it.
    bool hasAlpha = false;
};

// The largest picture the coder takes, in each direction and in pixels.
inline constexpr u32 kDxtMaxSide = 65536;
inline constexpr u64 kDxtMaxPixels = 268435456;

// Bytes of the blocks of a width x height picture; 0 for an empty picture or one over the limits.
size_t DxtEncodedSize(u32 width, u32 height, DxtFormat format);

// Encodes the whole picture into DxtEncodedSize bytes at out. threads <= 0 uses every hardware
// thread; the bytes are the same for any thread count. False for an empty or oversized picture,
// a null pointer or a pitch shorter than a row.
bool EncodeDxt(const DxtSource& src, DxtFormat format, DxtLevel level, int threads, u8* out);

// Decodes DxtEncodedSize bytes of blocks into width x height pixels at out (rows outPitchBytes
// apart). The interpolation is the integer one of the reference decoders. False on the same
// conditions as EncodeDxt.
bool DecodeDxt(const u8* blocks, u32 width, u32 height, DxtFormat format, u32* out,
               size_t outPitchBytes);
