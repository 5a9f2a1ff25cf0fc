#pragma once
// How the pixels of a buffer are laid out: bits per pixel and four channel masks, with the
// shift and width of each channel derived from its mask. A format without masks and with at most
// 8 bits per pixel is palette-indexed. Formats are values: every owner keeps its own copy.

#include "framework/types.h"

#include <QString>

class PixelFormat
{
public:
    PixelFormat() = default;
    PixelFormat(u32 bits, u32 redMask, u32 greenMask, u32 blueMask, u32 alphaMask);

    // The 32-bit display bitmap layout (blue, green, red, unused byte) and the 8-bit alpha plane.
    static PixelFormat Display() { return PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0); }
    static PixelFormat AlphaPlane() { return PixelFormat(8, 0, 0, 0, 0xFF); }

    bool SetBitCount(u32 bits);
    bool SetMasks(u32 red, u32 green, u32 blue, u32 alpha);

    u32 BitsPerPixel() const { return m_bitsPerPixel; }
    u32 RedMask() const { return m_redMask; }
    u32 GreenMask() const { return m_greenMask; }
    u32 BlueMask() const { return m_blueMask; }
    u32 AlphaMask() const { return m_alphaMask; }
    u8 RedBits() const { return m_redBits; }
    u8 GreenBits() const { return m_greenBits; }
    u8 BlueBits() const { return m_blueBits; }
    u8 AlphaBits() const { return m_alphaBits; }
    u32 RedShift() const { return m_redShift; }
    u32 GreenShift() const { return m_greenShift; }
    u32 BlueShift() const { return m_blueShift; }
    u32 AlphaShift() const { return m_alphaShift; }

    // Bits one pixel occupies in memory. Pixels wider than a byte take whole bytes: the 1-5-5-5
    // layout is labelled 15 bits but its alpha bit is bit 15, so it is stored in 16.
    u32 StorageBits() const;

    // Whole bytes that pixelCount pixels occupy; bitRemainder receives the bits used in the
    // last, partly filled byte. 0xFFFFFFFF when the count does not fit 32 bits.
    u32 RowBytes(u32 pixelCount, u32* bitRemainder = nullptr) const;

    // Bits and masks only; the derived fields are not compared.
    bool Equals(const PixelFormat& other) const;
    bool NotEquals(const PixelFormat& other) const { return !Equals(other); }
    bool IsValid() const { return true; }
    // A description that already has a format keeps it.
    bool Merge(const PixelFormat&) { return true; }

    bool IsIndexed() const { return m_bitsPerPixel < 9; }

private:
    u32 m_bitsPerPixel = 0;
    u32 m_redMask = 0;
    u32 m_greenMask = 0;
    u32 m_blueMask = 0;
    u32 m_alphaMask = 0;
    u8 m_redBits = 0;
    u8 m_greenBits = 0;
    u8 m_blueBits = 0;
    u8 m_alphaBits = 0;
    u32 m_redShift = 0;
    u32 m_greenShift = 0;
    u32 m_blueShift = 0;
    u32 m_alphaShift = 0;
};

// The text the convert pages show for a format: "8 bpp (paletted)", "R5G6B5 [16 bit color]",
// "R8G8B8A8 [32 bit color]".
QString PixelFormatText(const PixelFormat& format);
