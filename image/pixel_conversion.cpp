#include "image/pixel_conversion.h"

#include "image/bit_field.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Field
{
    u32 shift = 0;
    u32 bits = 0;
};

// A format as the conversion uses it: the storage size of a pixel and the four channel fields
// (red, green, blue, alpha), each reduced to nothing when it reaches outside the pixel.
struct Layout
{
    u32 storage = 0;
    std::array<Field, 4> fields;

    explicit Layout(const PixelFormat& format) : storage(format.StorageBits())
    {
        const u32 shifts[4] = {format.RedShift(), format.GreenShift(), format.BlueShift(),
                               format.AlphaShift()};
        const u32 bits[4] = {format.RedBits(), format.GreenBits(), format.BlueBits(),
                             format.AlphaBits()};
        for (int k = 0; k < 4; ++k) {
            if (bits[k] != 0 && u64(shifts[k]) + bits[k] <= storage)
                fields[k] = {shifts[k], bits[k]};
        }
    }

    bool Usable() const { return storage >= 1 && storage <= 32; }
    bool Is(u32 storageBits, Field r, Field g, Field b, Field a) const
    {
        auto same = [](Field x, Field y) {
            return x.bits == y.bits && (x.bits == 0 || x.shift == y.shift);
        };
        return storage == storageBits && same(fields[0], r) && same(fields[1], g) &&
               same(fields[2], b) && same(fields[3], a);
    }
};

// Rows far beyond any buffer start here; every pixel of such a row fails the bounds test.
constexpr u64 kBeyond = u64(1) << 62;

struct Position
{
    u64 byte = 0;
    u32 bit = 0;
};

Position RowStart(u64 row, u32 pitch, u32 x, u32 storage)
{
    const unsigned __int128 rowByte = (unsigned __int128)row * pitch;
    const u64 xBits = u64(x) * storage;
    const unsigned __int128 byte = rowByte + xBits / 8;
    if (byte >= kBeyond)
        return {kBeyond, 0};
    return {u64(byte), u32(xBits % 8)};
}

// How many whole pixels from the position fit the buffer.
u64 FitCount(u64 size, Position start, u32 storage)
{
    if (start.byte >= size)
        return 0;
    const u64 availableBits = std::min<u64>(size - start.byte, kBeyond) * 8;
    return availableBits < start.bit ? 0 : (availableBits - start.bit) / storage;
}

bool PixelFits(u64 size, Position p, u32 storage)
{
    return p.byte + (u64(p.bit) + storage + 7) / 8 <= size;
}

void Advance(Position& p, u32 storage)
{
    const u32 bits = p.bit + storage;
    p.byte += bits / 8;
    p.bit = bits % 8;
}

u32 Load(const u8* p, u32 bytes)
{
    u32 word = 0;
    std::memcpy(&word, p, bytes); // little-endian host
    return word;
}

u32 Load32(const u8* p)
{
    u32 word;
    std::memcpy(&word, p, 4);
    return word;
}

void Store32(u8* p, u32 word)
{
    std::memcpy(p, &word, 4);
}

// A source channel of a packed pixel word taken to 8 bits, as the generic path scales it.
struct ChannelTo8
{
    u32 shift = 0;
    u32 mask = 0;
    u32 bits = 0;
    std::array<u8, 256> table{};

    explicit ChannelTo8(Field f) : shift(f.shift), bits(f.bits)
    {
        mask = bits == 0 ? 0 : u32((u64(1) << bits) - 1);
        if (bits <= 8)
            for (u32 v = 0; v <= mask; ++v)
                table[v] = u8(ScaleChannel(v, bits, 8));
    }

    u32 operator()(u32 word) const
    {
        const u32 v = (word >> shift) & mask;
        return bits <= 8 ? table[v] : v >> (bits - 8);
    }
};

struct Conversion
{
    Layout dst;
    u8* dstBits;
    u32 dstPitch;
    u64 dstSize;
    GrPalette* dstPalette;
    u32 dstX, dstY;
    Layout src;
    const u8* srcBits;
    u32 srcPitch;
    u64 srcSize;
    const GrPalette* srcPalette;
    u32 srcX, srcY;
    u32 width, height;

    Position SrcRow(u32 r) const { return RowStart(u64(srcY) + r, srcPitch, srcX, src.storage); }
    Position DstRow(u32 r) const { return RowStart(u64(dstY) + r, dstPitch, dstX, dst.storage); }
    u64 RowFit(const Position& s, const Position& d) const
    {
        return std::min({u64(width), FitCount(srcSize, s, src.storage),
                         FitCount(dstSize, d, dst.storage)});
    }
};

void ConvertGeneric(const Conversion& cv)
{
    const u32 sStorage = cv.src.storage;
    const u32 dStorage = cv.dst.storage;
    i64 lastIndex = -1;
    u32 colour = 0;
    for (u32 r = 0; r < cv.height; ++r) {
        Position s = cv.SrcRow(r);
        Position d = cv.DstRow(r);
        for (u32 c = 0; c < cv.width; ++c) {
            if (!PixelFits(cv.srcSize, s, sStorage) || !PixelFits(cv.dstSize, d, dStorage))
                break;
            u32 value[4];
            u32 bits[4];
            const u8* sBase = cv.srcBits + s.byte;
            if (cv.srcPalette) {
                const u32 index = ReadBits(sBase, BitPosition(s.bit, sStorage), sStorage);
                if (i64(index) != lastIndex) {
                    if (!cv.srcPalette->GetEntry(index, &colour))
                        break;
                    lastIndex = index;
                }
                for (int k = 0; k < 4; ++k) {
                    value[k] = (colour >> (8 * k)) & 0xFF;
                    bits[k] = 8;
                }
            } else {
                const u64 at = BitPosition(s.bit, sStorage);
                for (int k = 0; k < 4; ++k) {
                    bits[k] = cv.src.fields[k].bits;
                    value[k] = ReadBits(sBase, at + cv.src.fields[k].shift, bits[k]);
                }
            }
            u8* dBase = cv.dstBits + d.byte;
            if (cv.dstPalette) {
                u32 packed = 0;
                for (int k = 0; k < 4; ++k)
                    packed |= ScaleChannel(value[k], bits[k], 8) << (8 * k);
                const i32 index = cv.dstPalette->FindNearestColor(0, packed);
                if (index < 0)
                    break;
                WriteBits(dBase, BitPosition(d.bit, dStorage), dStorage, u32(index));
            } else {
                const u64 at = BitPosition(d.bit, dStorage);
                for (int k = 0; k < 4; ++k) {
                    const Field f = cv.dst.fields[k];
                    if (f.bits != 0)
                        WriteBits(dBase, at + f.shift, f.bits,
                                  ScaleChannel(value[k], bits[k], f.bits));
                }
            }
            Advance(s, sStorage);
            Advance(d, dStorage);
        }
    }
}

// Indexed 1, 2, 4 or 8-bit source into the display layout.
void IndexedToDisplay(const Conversion& cv)
{
    const u32 bpp = cv.src.storage;
    const u32 entries = 1u << bpp;
    std::array<u32, 256> lut{};
    std::array<bool, 256> known{};
    for (u32 i = 0; i < entries; ++i) {
        u32 colour = 0;
        known[i] = cv.srcPalette->GetEntry(i, &colour);
        lut[i] = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    }
    const u32 indexMask = entries - 1;
    for (u32 r = 0; r < cv.height; ++r) {
        const Position s = cv.SrcRow(r);
        const Position d = cv.DstRow(r);
        const u64 n = cv.RowFit(s, d);
        const u8* sRow = cv.srcBits + s.byte;
        u8* dRow = cv.dstBits + d.byte;
        for (u64 c = 0; c < n; ++c) {
            u32 index;
            if (bpp == 8) {
                index = sRow[c];
            } else {
                const u64 p = s.bit + c * bpp;
                index = (sRow[p / 8] >> (8 - bpp - p % 8)) & indexMask;
            }
            if (!known[index])
                break;
            u8* out = dRow + 4 * c;
            Store32(out, (Load32(out) & 0xFF000000u) | lut[index]);
        }
    }
}

// Packed 16, 24 or 32-bit source of any channel layout into the display layout.
template <u32 Bytes>
void PackedToDisplay(const Conversion& cv)
{
    const ChannelTo8 red(cv.src.fields[0]);
    const ChannelTo8 green(cv.src.fields[1]);
    const ChannelTo8 blue(cv.src.fields[2]);
    for (u32 r = 0; r < cv.height; ++r) {
        const Position s = cv.SrcRow(r);
        const Position d = cv.DstRow(r);
        const u64 n = cv.RowFit(s, d);
        const u8* sRow = cv.srcBits + s.byte;
        u8* dRow = cv.dstBits + d.byte;
        for (u64 c = 0; c < n; ++c) {
            const u32 word = Load(sRow + Bytes * c, Bytes);
            u8* out = dRow + 4 * c;
            Store32(out, (Load32(out) & 0xFF000000u) | red(word) << 16 | green(word) << 8 |
                             blue(word));
        }
    }
}

// 8-bit blue, green, red in bytes 0 to 2 of a 24 or 32-bit source: the colour bytes are copied
// and the display pixel's fourth byte stays.
void Bgr24ToDisplay(const Conversion& cv)
{
    for (u32 r = 0; r < cv.height; ++r) {
        const Position s = cv.SrcRow(r);
        const Position d = cv.DstRow(r);
        const u64 n = cv.RowFit(s, d);
        const u8* sRow = cv.srcBits + s.byte;
        u8* dRow = cv.dstBits + d.byte;
        u64 c = 0;
        // A four-byte load reads one byte past the pixel, so the last pixel goes byte-wise.
        for (; c + 1 < n; ++c) {
            u8* out = dRow + 4 * c;
            Store32(out, (Load32(out) & 0xFF000000u) | (Load32(sRow + 3 * c) & 0xFFFFFFu));
        }
        for (; c < n; ++c)
            std::memcpy(dRow + 4 * c, sRow + 3 * c, 3);
    }
}

void Bgrx32ToDisplay(const Conversion& cv)
{
    for (u32 r = 0; r < cv.height; ++r) {
        const Position s = cv.SrcRow(r);
        const Position d = cv.DstRow(r);
        const u64 n = cv.RowFit(s, d);
        const u8* sRow = cv.srcBits + s.byte;
        u8* dRow = cv.dstBits + d.byte;
        for (u64 c = 0; c < n; ++c) {
            u8* out = dRow + 4 * c;
            Store32(out, (Load32(out) & 0xFF000000u) | (Load32(sRow + 4 * c) & 0xFFFFFFu));
        }
    }
}

// Packed 16, 24 or 32-bit source into the 8-bit alpha plane.
template <u32 Bytes>
void PackedToAlpha(const Conversion& cv)
{
    const ChannelTo8 alpha(cv.src.fields[3]);
    const bool topByte = Bytes == 4 && alpha.shift == 24 && alpha.bits == 8;
    for (u32 r = 0; r < cv.height; ++r) {
        const Position s = cv.SrcRow(r);
        const Position d = cv.DstRow(r);
        const u64 n = cv.RowFit(s, d);
        const u8* sRow = cv.srcBits + s.byte;
        u8* dRow = cv.dstBits + d.byte;
        if (topByte) {
            for (u64 c = 0; c < n; ++c)
                dRow[c] = sRow[4 * c + 3];
        } else {
            for (u64 c = 0; c < n; ++c)
                dRow[c] = u8(alpha(Load(sRow + Bytes * c, Bytes)));
        }
    }
}

template <template <u32> class Routine>
bool ByBytes(u32 storage, const Conversion& cv)
{
    switch (storage) {
    case 16:
        Routine<2>::Run(cv);
        return true;
    case 24:
        Routine<3>::Run(cv);
        return true;
    case 32:
        Routine<4>::Run(cv);
        return true;
    default:
        return false;
    }
}

template <u32 Bytes>
struct PackedToDisplayRoutine
{
    static void Run(const Conversion& cv) { PackedToDisplay<Bytes>(cv); }
};

template <u32 Bytes>
struct PackedToAlphaRoutine
{
    static void Run(const Conversion& cv) { PackedToAlpha<Bytes>(cv); }
};

bool TryFastPath(const Conversion& cv)
{
    if (cv.dstPalette)
        return false;
    constexpr Field none{0, 0};
    const Field red{16, 8}, green{8, 8}, blue{0, 8}, alpha{0, 8};
    if (cv.dst.Is(32, red, green, blue, none)) {
        if (cv.srcPalette) {
            const u32 s = cv.src.storage;
            if (s != 1 && s != 2 && s != 4 && s != 8)
                return false;
            IndexedToDisplay(cv);
            return true;
        }
        const auto& f = cv.src.fields;
        const bool bgr = f[0].shift == 16 && f[0].bits == 8 && f[1].shift == 8 &&
                         f[1].bits == 8 && f[2].shift == 0 && f[2].bits == 8;
        if (bgr && cv.src.storage == 24) {
            Bgr24ToDisplay(cv);
            return true;
        }
        if (bgr && cv.src.storage == 32) {
            Bgrx32ToDisplay(cv);
            return true;
        }
        return ByBytes<PackedToDisplayRoutine>(cv.src.storage, cv);
    }
    if (cv.dst.Is(8, none, none, none, alpha) && !cv.srcPalette)
        return ByBytes<PackedToAlphaRoutine>(cv.src.storage, cv);
    return false;
}

bool Prepare(Conversion& cv)
{
    return cv.dstBits && cv.srcBits && cv.width != 0 && cv.height != 0 && cv.src.Usable() &&
           cv.dst.Usable();
}

} // namespace

u32 ScaleChannel(u32 value, u32 fromBits, u32 toBits)
{
    if (fromBits == toBits)
        return value;
    if (fromBits == 0 || toBits == 0)
        return 0;
    if (fromBits > toBits)
        return value >> (fromBits - toBits);
    // Repeat the value's bits from the top down so that all ones stay all ones.
    u64 out = 0;
    i32 pos = i32(toBits);
    while (pos > 0) {
        pos -= i32(fromBits);
        out |= pos >= 0 ? u64(value) << pos : u64(value) >> -pos;
    }
    return u32(out & ((u64(1) << toBits) - 1));
}

bool ConvertPixels(const PixelFormat& dstFormat, void* dstBits, u32 dstPitch, u64 dstSize,
                   GrPalette* dstPalette, u32 dstX, u32 dstY, const PixelFormat& srcFormat,
                   const void* srcBits, u32 srcPitch, u64 srcSize, const GrPalette* srcPalette,
                   u32 srcX, u32 srcY, u32 width, u32 height)
{
    Conversion cv{Layout(dstFormat), static_cast<u8*>(dstBits), dstPitch, dstSize, dstPalette,
                  dstX, dstY, Layout(srcFormat), static_cast<const u8*>(srcBits), srcPitch,
                  srcSize, srcPalette, srcX, srcY, width, height};
    if (!Prepare(cv))
        return true;
    if (!TryFastPath(cv))
        ConvertGeneric(cv);
    return true;
}

bool ConvertPixelsGeneric(const PixelFormat& dstFormat, void* dstBits, u32 dstPitch, u64 dstSize,
                          GrPalette* dstPalette, u32 dstX, u32 dstY, const PixelFormat& srcFormat,
                          const void* srcBits, u32 srcPitch, u64 srcSize,
                          const GrPalette* srcPalette, u32 srcX, u32 srcY, u32 width, u32 height)
{
    Conversion cv{Layout(dstFormat), static_cast<u8*>(dstBits), dstPitch, dstSize, dstPalette,
                  dstX, dstY, Layout(srcFormat), static_cast<const u8*>(srcBits), srcPitch,
                  srcSize, srcPalette, srcX, srcY, width, height};
    if (Prepare(cv))
        ConvertGeneric(cv);
    return true;
}
