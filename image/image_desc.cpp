#include "image/image_desc.h"

#include "image/pixel_conversion.h"

#include <algorithm>
#include <new>

ImageDesc::ImageDesc(const ImageDesc& other) : RefObject()
{
    Assign(other);
}

ImageDesc::ImageDesc(u32 width, u32 height, u32 pitch, const PixelFormat* format,
                     const GrPalette* palette)
{
    Set(width, height, pitch, format, palette);
}

ImageDesc& ImageDesc::operator=(const ImageDesc& other)
{
    if (this != &other)
        Assign(other);
    return *this;
}

bool ImageDesc::Assign(const ImageDesc& other)
{
    if (this == &other)
        return true;
    return Set(other.m_width, other.m_height, other.m_pitch, other.m_format.get(),
               other.m_palette.get());
}

bool ImageDesc::Set(u32 width, u32 height, u32 pitch, const PixelFormat* format,
                    const GrPalette* palette)
{
    m_width = width;
    m_height = height;
    m_pitch = pitch;
    SetPixelFormat(format);
    SetPalette(palette);
    return true;
}

bool ImageDesc::SetPalette(const GrPalette* palette)
{
    if (palette == m_palette.get())
        return true;
    GrPalette* copy = palette ? new (std::nothrow) GrPalette(*palette) : nullptr;
    m_palette.reset(copy);
    return !palette || copy;
}

bool ImageDesc::SetPixelFormat(const PixelFormat* format)
{
    if (format == m_format.get())
        return true;
    PixelFormat* copy = format ? new (std::nothrow) PixelFormat(*format) : nullptr;
    m_format.reset(copy);
    return !format || copy;
}

u32 ImageDesc::GetPitch() const
{
    if (m_pitch != 0)
        return m_pitch;
    if (m_format) {
        const u32 row = m_format->RowBytes(m_width);
        return row == kFailed32 ? 0 : row;
    }
    return 0;
}

u64 ImageDesc::GetPixelOffset(u32 x, u32 y, u32* bitRemainder) const
{
    const u32 row = m_format ? m_format->RowBytes(x, bitRemainder) : 0;
    if (!m_format && bitRemainder)
        *bitRemainder = 0;
    return u64(y) * m_pitch + row;
}

bool ImageDesc::Complete(const ImageDesc& other)
{
    if (!m_palette && other.m_palette)
        SetPalette(other.m_palette.get());
    if (m_format) {
        if (other.m_format)
            m_format->Merge(*other.m_format);
    } else if (other.m_format) {
        SetPixelFormat(other.m_format.get());
    }
    if (m_width == 0)
        m_width = other.m_width;
    if (m_height == 0)
        m_height = other.m_height;
    if (m_pitch == 0) {
        m_pitch = other.m_pitch;
        if (m_pitch == 0 && m_format) {
            const u32 row = m_format->RowBytes(m_width);
            m_pitch = row == kFailed32 ? 0 : row;
        }
    }
    return true;
}

bool ImageDesc::IsValid() const
{
    if (m_width == 0 || m_height == 0 || m_pitch == 0 || !m_format || !m_format->IsValid())
        return false;
    if (m_format->BitsPerPixel() > 8)
        return true;
    return m_palette && m_palette->IsValid();
}

bool ImageDesc::Equals(const ImageDesc* a, const ImageDesc* b)
{
    if (!a || !b)
        return a == b;
    if (a->m_width != b->m_width || a->m_height != b->m_height || a->m_pitch != b->m_pitch)
        return false;
    if (bool(a->m_palette) != bool(b->m_palette))
        return false;
    if (a->m_palette && !a->m_palette->Equals(*b->m_palette))
        return false;
    if (bool(a->m_format) != bool(b->m_format))
        return false;
    return !a->m_format || a->m_format->Equals(*b->m_format);
}

bool ImageDesc::CopyPixels(void* dstBits, const ImageDesc& src, const void* srcBits) const
{
    return CopyPixels(0, 0, dstBits, src, 0, 0, srcBits);
}

bool ImageDesc::CopyPixels(u32 dstX, u32 dstY, void* dstBits, const ImageDesc& src, u32 srcX,
                           u32 srcY, const void* srcBits) const
{
    // Offsets beyond either picture leave an empty block rather than a wrapped, huge one.
    const i64 width = std::min(i64(m_width) - dstX, i64(src.m_width) - srcX);
    const i64 height = std::min(i64(m_height) - dstY, i64(src.m_height) - srcY);
    if (width <= 0 || height <= 0 || !m_format || !src.m_format)
        return true;
    return ConvertPixels(*m_format, dstBits, GetPitch(), GetBufferSize(), m_palette.get(), dstX,
                         dstY, *src.m_format, srcBits, src.GetPitch(), src.GetBufferSize(),
                         src.m_palette.get(), srcX, srcY, u32(width), u32(height));
}
