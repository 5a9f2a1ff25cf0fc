#include "image/pixel_format.h"

#include "image/bit_field.h"

namespace {

// The number of consecutive one bits from the shift up; bits above the first gap do not count.
u8 FieldWidth(u32 mask, u32 shift)
{
    return u8(LowestSetBit(~(mask >> shift)));
}

} // namespace

PixelFormat::PixelFormat(u32 bits, u32 redMask, u32 greenMask, u32 blueMask, u32 alphaMask)
{
    SetBitCount(bits);
    SetMasks(redMask, greenMask, blueMask, alphaMask);
}

bool PixelFormat::SetBitCount(u32 bits)
{
    m_bitsPerPixel = bits;
    return true;
}

bool PixelFormat::SetMasks(u32 red, u32 green, u32 blue, u32 alpha)
{
    m_redMask = red;
    m_greenMask = green;
    m_blueMask = blue;
    m_alphaMask = alpha;
    m_redShift = LowestSetBit(red);
    m_greenShift = LowestSetBit(green);
    m_blueShift = LowestSetBit(blue);
    m_alphaShift = LowestSetBit(alpha);
    m_redBits = FieldWidth(red, m_redShift);
    m_greenBits = FieldWidth(green, m_greenShift);
    m_blueBits = FieldWidth(blue, m_blueShift);
    m_alphaBits = FieldWidth(alpha, m_alphaShift);
    return true;
}

u32 PixelFormat::StorageBits() const
{
    if (m_bitsPerPixel <= 8)
        return m_bitsPerPixel;
    return u32((u64(m_bitsPerPixel) + 7) / 8 * 8);
}

u32 PixelFormat::RowBytes(u32 pixelCount, u32* bitRemainder) const
{
    const u64 bits = u64(pixelCount) * StorageBits();
    if (bitRemainder)
        *bitRemainder = u32(bits % 8);
    const u64 bytes = (bits + 7) / 8;
    return bytes > 0xFFFFFFFFu ? kFailed32 : u32(bytes);
}

bool PixelFormat::Equals(const PixelFormat& other) const
{
    return m_bitsPerPixel == other.m_bitsPerPixel && m_redMask == other.m_redMask &&
           m_greenMask == other.m_greenMask && m_blueMask == other.m_blueMask &&
           m_alphaMask == other.m_alphaMask;
}

QString PixelFormatText(const PixelFormat& format)
{
    if (format.BitsPerPixel() < 9)
        return QStringLiteral("%1 bpp (paletted)").arg(format.BitsPerPixel());
    if (format.AlphaMask() != 0)
        return QStringLiteral("R%1G%2B%3A%4 [%5 bit color]")
            .arg(int(format.RedBits()))
            .arg(int(format.GreenBits()))
            .arg(int(format.BlueBits()))
            .arg(int(format.AlphaBits()))
            .arg(format.BitsPerPixel());
    return QStringLiteral("R%1G%2B%3 [%4 bit color]")
        .arg(int(format.RedBits()))
        .arg(int(format.GreenBits()))
        .arg(int(format.BlueBits()))
        .arg(format.BitsPerPixel());
}
