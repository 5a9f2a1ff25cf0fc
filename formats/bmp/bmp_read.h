#pragma once
// The BMP decoder: reads a Windows bitmap file through a callback record and hands back its
// headers, channel masks, colour table and raw pixel rows, independent of any stream class.
// Only uncompressed files (biCompression 0 or 3) are decoded; rows always come out bottom-up.

#include "framework/types.h"

class Stream;

// Callbacks the decoder reads through; the codec adapts a Stream to them.
struct BmpReader
{
    // Bytes read into destination (fewer at the end of the data).
    u32 (*read)(BmpReader* reader, void* destination, u32 count) = nullptr;
    // The whole size of the data, kUnknown64 when it cannot be told. 64 bits, so that a file
    // beyond 4 GiB cannot pass for a small one.
    u64 (*size)(BmpReader* reader) = nullptr;
    // Moves to an absolute position.
    bool (*seek)(BmpReader* reader, u64 position) = nullptr;
    Stream* stream = nullptr;
};

#pragma pack(push, 1)
struct BmpFileHeader
{
    u16 bfType;
    u32 bfSize;
    u16 bfReserved1;
    u16 bfReserved2;
    u32 bfOffBits;
};

// The first 40 bytes every information header of interest starts with.
struct BmpInfoHeader
{
    u32 biSize;
    i32 biWidth;
    i32 biHeight;
    u16 biPlanes;
    u16 biBitCount;
    u32 biCompression;
    u32 biSizeImage;
    i32 biXPelsPerMeter;
    i32 biYPelsPerMeter;
    u32 biClrUsed;
    u32 biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14);
static_assert(sizeof(BmpInfoHeader) == 40);

inline constexpr u16 kBmpSignature = 0x4D42; // "BM"

// biCompression values.
enum : u32
{
    kBmpRgb = 0,
    kBmpRle8 = 1,
    kBmpRle4 = 2,
    kBmpBitFields = 3,
    kBmpJpeg = 4,
    kBmpPng = 5,
};

// The decoder's result; release it with BmpFree.
struct BmpData
{
    BmpFileHeader fileHeader;
    // The information header exactly as long as its biSize says, followed by the colour table.
    u8* info;
    // Bytes per stored pixel row, a multiple of 4.
    u32 stride;
    // Colour-table entries: 2 to the power of the bit count for indexed pictures, else 0.
    u32 paletteSize;
    // Into info, just behind the header; entries are blue, green, red, reserved.
    u8* palette;
    u32 redMask;
    u32 greenMask;
    u32 blueMask;
    // Only headers of 56 bytes or more with bit fields carry one; not applied to the picture.
    u32 alphaMask;
    // The picture's size: biWidth and the magnitude of biHeight.
    u32 width;
    u32 height;
    // stride x height.
    u64 pixelSize;
    // The rows, bottom row first (top-down files are reordered).
    u8* pixels;
    char16_t compressionName[128];

    // The first 40 bytes of the information header.
    BmpInfoHeader InfoHeader() const;
};

// Null on a short read, an unsupported or inconsistent header, a compressed file or a failed
// allocation; nothing stays allocated then.
BmpData* BmpRead(BmpReader* reader);
// Frees the pixels, the information block and the record: -1 for null, else 0.
i32 BmpFree(BmpData* data);
