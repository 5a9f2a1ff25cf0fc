#include "bmp_builder.h"

namespace {

void AppendU16(QByteArray& out, u16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void AppendU32(QByteArray& out, u32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

void PutU16(QByteArray& bytes, int offset, u16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void PutU32(QByteArray& bytes, int offset, u32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

QByteArray BuildBmp(const BmpLayout& layout)
{
    const bool masksInHeader = layout.headerSize >= 52;
    const u32 masksAfter = masksInHeader ? 0 : u32(layout.masks.size() * 4);
    const u32 offBits = 14 + layout.headerSize + masksAfter + u32(layout.palette.size() * 4);

    QByteArray info;
    AppendU32(info, layout.headerSize);
    AppendU32(info, u32(layout.width));
    AppendU32(info, u32(layout.height));
    AppendU16(info, 1);
    AppendU16(info, layout.bits);
    AppendU32(info, layout.compression);
    AppendU32(info, 0);
    AppendU32(info, 2835);
    AppendU32(info, 2835);
    AppendU32(info, layout.clrUsed);
    AppendU32(info, 0);
    if (masksInHeader)
        for (u32 mask : layout.masks)
            AppendU32(info, mask);
    // The rest of a longer header (colour space, gamma...) stays zero.
    info.append(QByteArray(int(layout.headerSize) - int(info.size()), '\0'));
    if (!masksInHeader)
        for (u32 mask : layout.masks)
            AppendU32(info, mask);
    for (u32 colour : layout.palette) {
        info.append(char(colour & 0xFF));
        info.append(char((colour >> 8) & 0xFF));
        info.append(char((colour >> 16) & 0xFF));
        info.append('\0');
    }

    QByteArray pixels;
    for (const std::vector<u8>& row : layout.rows) {
        pixels.append(reinterpret_cast<const char*>(row.data()), qsizetype(row.size()));
        while (pixels.size() % 4 != 0)
            pixels.append('\0');
    }

    QByteArray out;
    out.append(layout.signature[0]);
    out.append(layout.signature[1]);
    const u32 total = offBits + u32(pixels.size());
    AppendU32(out, layout.bfSize != 0 ? layout.bfSize : total);
    AppendU16(out, 0);
    AppendU16(out, 0);
    AppendU32(out, offBits);
    out.append(info);
    out.append(pixels);
    return out;
}
