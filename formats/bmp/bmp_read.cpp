#include "formats/bmp/bmp_read.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr u64 kMaxSide = 65536;
constexpr u64 kMaxPixels = 268435456;
// Room behind the header for the largest colour table (256 entries of 4 bytes).
constexpr u64 kPaletteRoom = 1024;
// Where headers of version 2 and later keep their channel masks.
constexpr u32 kHeaderMaskOffset = 40;
constexpr u32 kHeaderWithMasks = 52;
constexpr u32 kHeaderWithAlphaMask = 56;

struct BmpDataDeleter
{
    void operator()(BmpData* data) const { BmpFree(data); }
};
using BmpDataPtr = std::unique_ptr<BmpData, BmpDataDeleter>;

bool ReadFull(BmpReader* reader, void* destination, u64 count)
{
    u8* to = static_cast<u8*>(destination);
    while (count > 0) {
        const u32 chunk = u32(std::min<u64>(count, 0x40000000u));
        const u32 got = reader->read(reader, to, chunk);
        // A stream may deliver less than asked before its end; only no progress is short.
        if (got == 0 || got > chunk) return false;
        to += got;
        count -= got;
    }
    return true;
}

u32 LoadU32(const u8* bytes)
{
    u32 value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void SetName(BmpData& data, const char* name)
{
    std::size_t i = 0;
    for (; name[i] != '\0' && i + 1 < std::size(data.compressionName); ++i)
        data.compressionName[i] = char16_t(name[i]);
    data.compressionName[i] = u'\0';
}

// The depths a BMP defines. Packed indexes of 3, 5, 6 or 7 bits are not read: the pixel
// conversion reads past the end of such rows.
bool BitCountSupported(u32 bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

// The size checks that must pass before anything is sized from the header.
bool HeaderDimensionsValid(const BmpInfoHeader& header)
{
    if (!BitCountSupported(header.biBitCount)) return false;
    const i64 width = header.biWidth;
    // A negative height marks a top-down file; its magnitude is the height.
    const i64 height = header.biHeight < 0 ? -i64(header.biHeight) : i64(header.biHeight);
    if (width <= 0 || height <= 0) return false;
    if (u64(width) > kMaxSide || u64(height) > kMaxSide) return false;
    return u64(width) * u64(height) <= kMaxPixels;
}

// Bit fields: headers of 52 bytes and more hold the masks themselves; the 40-byte header is
// followed by them.
bool ReadMasks(BmpReader* reader, BmpData& data, const BmpInfoHeader& header)
{
    if (header.biCompression != kBmpBitFields) {
        const bool is16 = header.biBitCount == 16;
        data.redMask = is16 ? 0x7C00 : 0xFF0000;
        data.greenMask = is16 ? 0x3E0 : 0xFF00;
        data.blueMask = is16 ? 0x1F : 0xFF;
        return true;
    }
    u8 masks[12];
    if (header.biSize >= kHeaderWithMasks) {
        std::memcpy(masks, data.info + kHeaderMaskOffset, sizeof masks);
        if (header.biSize >= kHeaderWithAlphaMask)
            data.alphaMask = LoadU32(data.info + kHeaderMaskOffset + 12);
    } else if (!ReadFull(reader, masks, sizeof masks)) {
        return false;
    }
    data.redMask = LoadU32(masks);
    data.greenMask = LoadU32(masks + 4);
    data.blueMask = LoadU32(masks + 8);
    return true;
}

void FlipRows(BmpData& data)
{
    u8* top = data.pixels;
    u8* bottom = data.pixels + u64(data.height - 1) * data.stride;
    for (; top < bottom; top += data.stride, bottom -= data.stride)
        std::swap_ranges(top, top + data.stride, bottom);
}

} // namespace

BmpInfoHeader BmpData::InfoHeader() const
{
    BmpInfoHeader header{};
    if (info) std::memcpy(&header, info, sizeof header);
    return header;
}

BmpData* BmpRead(BmpReader* reader)
{
    if (!reader || !reader->read) return nullptr;
    BmpDataPtr data(new (std::nothrow) BmpData{});
    if (!data) return nullptr;
    const u64 streamSize = reader->size ? reader->size(reader) : kUnknown64;

    if (!ReadFull(reader, &data->fileHeader, sizeof data->fileHeader)) return nullptr;
    if (data->fileHeader.bfType != kBmpSignature && data->fileHeader.bfSize != streamSize)
        return nullptr;

    BmpInfoHeader header;
    if (!ReadFull(reader, &header, sizeof header) || header.biSize < sizeof header) return nullptr;
    if (!HeaderDimensionsValid(header)) return nullptr;
    // Without a known size nothing read from the header can be bounded before allocating.
    if (streamSize == kUnknown64) return nullptr;
    const u64 headersEnd = sizeof(BmpFileHeader) + u64(header.biSize);
    if (headersEnd > streamSize) return nullptr;

    data->info = new (std::nothrow) u8[header.biSize + kPaletteRoom]();
    if (!data->info) return nullptr;
    std::memcpy(data->info, &header, sizeof header);
    if (!ReadFull(reader, data->info + sizeof header, header.biSize - sizeof header))
        return nullptr;

    const u64 rowBytes = (u64(header.biBitCount) * u64(header.biWidth) + 7) / 8;
    data->stride = u32((rowBytes + 3) / 4 * 4);
    data->width = u32(header.biWidth);
    data->height = u32(header.biHeight < 0 ? -i64(header.biHeight) : i64(header.biHeight));

    if (header.biBitCount > 8) {
        if (!ReadMasks(reader, *data, header)) return nullptr;
    } else {
        // The full table for the depth, whatever biClrUsed says.
        data->paletteSize = 1u << header.biBitCount;
        data->palette = data->info + header.biSize;
        if (!ReadFull(reader, data->palette, u64(data->paletteSize) * 4)) return nullptr;
    }

    switch (header.biCompression) {
    case kBmpRgb:
    case kBmpBitFields:
        break;
    default:
        // RLE, embedded JPEG and PNG and unknown codes are not decoded.
        return nullptr;
    }

    data->pixelSize = u64(data->stride) * data->height;
    const u64 offset = data->fileHeader.bfOffBits;
    if (offset > streamSize || data->pixelSize > streamSize - offset) return nullptr;
    data->pixels = new (std::nothrow) u8[data->pixelSize];
    if (!data->pixels) return nullptr;
    if (reader->seek) reader->seek(reader, offset);
    if (!ReadFull(reader, data->pixels, data->pixelSize)) return nullptr;
    SetName(*data, "Uncompressed");
    if (header.biHeight < 0) FlipRows(*data);
    return data.release();
}

i32 BmpFree(BmpData* data)
{
    if (!data) return -1;
    delete[] data->pixels;
    delete[] data->info;
    delete data;
    return 0;
}
