#pragma once
// Description of a pixel buffer: size, pitch, pixel format and palette. The description keeps
// private copies of the format and palette it is given; two descriptions never share one.

#include "framework/ref_object.h"
#include "image/gr_palette.h"
#include "image/pixel_format.h"

#include <memory>

class ImageDesc : public RefObject
{
public:
    ImageDesc() = default;
    ImageDesc(const ImageDesc& other);
    ImageDesc(u32 width, u32 height, u32 pitch, const PixelFormat* format,
              const GrPalette* palette);
    ImageDesc& operator=(const ImageDesc& other);

    bool Assign(const ImageDesc& other);
    bool Set(u32 width, u32 height, u32 pitch, const PixelFormat* format, const GrPalette* palette);
    bool SetPalette(const GrPalette* palette);
    bool SetPixelFormat(const PixelFormat* format);

    const GrPalette* GetPalette() const { return m_palette.get(); }
    GrPalette* GetPalette() { return m_palette.get(); }
    const PixelFormat* GetPixelFormat() const { return m_format.get(); }
    u32 GetWidth() const { return m_width; }
    u32 GetHeight() const { return m_height; }
    // The pitch as given; 0 when none was.
    u32 GetStoredPitch() const { return m_pitch; }

    // Stored pitch x height, 64-bit so that no product wraps (0 when no pitch was given).
    u64 GetSize() const { return u64(m_pitch) * m_height; }
    // The stored pitch, or the row size of the format when none was given, or 0.
    u32 GetPitch() const;
    // Bytes the buffer spans: GetPitch() x height.
    u64 GetBufferSize() const { return u64(GetPitch()) * m_height; }
    u64 GetPixelOffset(u32 x, u32 y, u32* bitRemainder = nullptr) const;

    // Fills what this description lacks from the other.
    bool Complete(const ImageDesc& other);
    bool IsValid() const;
    // Descriptions compared through pointers; two nulls are equal.
    static bool Equals(const ImageDesc* a, const ImageDesc* b);
    bool Equals(const ImageDesc* other) const { return Equals(this, other); }
    bool NotEquals(const ImageDesc* other) const { return !Equals(this, other); }

    // Converts pixels from the source buffer into this description's buffer, over the block
    // both share. Each buffer is taken to span its description's height x GetPitch() bytes.
    bool CopyPixels(void* dstBits, const ImageDesc& src, const void* srcBits) const;
    bool CopyPixels(u32 dstX, u32 dstY, void* dstBits, const ImageDesc& src, u32 srcX, u32 srcY,
                    const void* srcBits) const;

private:
    std::unique_ptr<GrPalette> m_palette;
    std::unique_ptr<PixelFormat> m_format;
    u32 m_width = 0;
    u32 m_height = 0;
    u32 m_pitch = 0;
};
