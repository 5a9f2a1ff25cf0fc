#include "image/surface.h"

#include "image/frame.h"
#include "image/pixel_conversion.h"
#include "image/raster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace {

BitmapInfoHeader HeaderFor(u32 width, u32 height, u16 bitCount)
{
    BitmapInfoHeader header;
    header.biSize = 40;
    header.biWidth = i32(width);
    header.biHeight = i32(height); // positive: bottom-up
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = 0;
    header.biSizeImage = 0;
    header.biClrUsed = 256;
    return header;
}

// blend[phase][alpha][value]: value x a + background x (1 - a) in single precision, truncated,
// for the two backgrounds 0 and 255. A table of the exact per-byte results keeps the blend
// identical to the arithmetic while costing one lookup per byte.
using BlendTable = std::array<std::array<std::array<u8, 256>, 256>, 2>;

const BlendTable& Blend()
{
    static const BlendTable* table = [] {
        auto* t = new BlendTable;
        for (int phase = 0; phase < 2; ++phase) {
            const float background = phase ? 255.0f : 0.0f;
            for (int alpha = 0; alpha < 256; ++alpha) {
                const float a = float(alpha) / 255.0f;
                for (int value = 0; value < 256; ++value)
                    (*t)[phase][alpha][value] =
                        u8(float(value) * a + background * (1.0f - a));
            }
        }
        return t;
    }();
    return *table;
}

// Nearest-neighbour resampling of packed rows.
void Resample(const u8* from, u32 oldWidth, u32 oldHeight, u8* to, u32 newWidth, u32 newHeight,
              u32 bytesPerPixel)
{
    const float scaleX = float(double(oldWidth) / double(newWidth));
    const float scaleY = float(double(oldHeight) / double(newHeight));
    for (u32 y = 0; y < newHeight; ++y) {
        const u32 sy = std::min(u32(float(y) * scaleY), oldHeight - 1);
        const u8* srcRow = from + u64(sy) * oldWidth * bytesPerPixel;
        u8* dstRow = to + u64(y) * newWidth * bytesPerPixel;
        for (u32 x = 0; x < newWidth; ++x) {
            const u32 sx = std::min(u32(float(x) * scaleX), oldWidth - 1);
            std::memcpy(dstRow + u64(x) * bytesPerPixel, srcRow + u64(sx) * bytesPerPixel,
                        bytesPerPixel);
        }
    }
}

} // namespace

Surface::Surface() = default;

Surface::~Surface()
{
    Destroy();
    RemoveAllChildren(true);
    if (m_parent)
        m_parent->RemoveChild(this, false);
    if (m_frame)
        m_frame->RemoveSurface(this, false);
}

bool Surface::GetBounds(Rect& out)
{
    out = {m_x, m_y, i32(i64(m_x) + m_displayHeader.biWidth),
           i32(i64(m_y) + m_displayHeader.biHeight)};
    for (Surface* child = m_firstChild; child; child = child->m_nextChild) {
        Rect bounds;
        if (!child->GetBounds(bounds))
            continue;
        out.left = std::min(out.left, bounds.left);
        out.top = std::min(out.top, bounds.top);
        out.right = std::max(out.right, bounds.right);
        out.bottom = std::max(out.bottom, bounds.bottom);
    }
    return true;
}

bool Surface::GetInfo(u32 index, QString& out)
{
    if (index != 0)
        return false;
    out = m_sourceText;
    return true;
}

bool Surface::GetSourceDesc(ImageDesc& out)
{
    if (!m_sourceDesc)
        return false;
    out.Assign(*m_sourceDesc);
    return true;
}

bool Surface::SetSourceDesc(const ImageDesc& desc)
{
    if (!m_sourceDesc) {
        m_sourceDesc.reset(new (std::nothrow) ImageDesc(desc));
        return m_sourceDesc != nullptr;
    }
    return m_sourceDesc->Assign(desc);
}

bool Surface::Create(u32 width, u32 height, bool withAlpha)
{
    if (m_display || m_alpha)
        Destroy();
    std::unique_ptr<Bitmap> display = Bitmap::Create(width, height, 32);
    if (!display)
        return false;
    std::unique_ptr<Bitmap> alpha;
    if (withAlpha) {
        alpha = Bitmap::Create(width, height, 8);
        if (!alpha)
            return false;
    }
    m_displayHeader = HeaderFor(width, height, 32);
    m_display = std::move(display);
    m_alphaHeader = {};
    if (alpha) {
        m_alphaHeader = HeaderFor(width, height, 8);
        m_alpha = std::move(alpha);
    }
    return true;
}

bool Surface::Destroy()
{
    m_display.reset();
    m_composite.reset();
    m_alpha.reset();
    m_displayHeader = {};
    m_alphaHeader = {};
    m_compositeHeader = {};
    return true;
}

bool Surface::SetPixels(const ImageDesc& desc, const void* bits, u64 size)
{
    const PixelFormat* format = desc.GetPixelFormat();
    if (!format)
        return false;
    if (!m_display && !Create(desc.GetWidth(), desc.GetHeight(), format->AlphaBits() > 0))
        return false;
    u64 srcSize = desc.GetBufferSize();
    if (size != 0)
        srcSize = std::min(srcSize, size);
    const u32 width = std::min(desc.GetWidth(), m_display->Width());
    const u32 height = std::min(desc.GetHeight(), m_display->Height());
    ConvertPixels(PixelFormat::Display(), m_display->Bits(), m_display->Stride(),
                  m_display->ByteCount(), nullptr, 0, 0, *format, bits, desc.GetPitch(), srcSize,
                  desc.GetPalette(), 0, 0, width, height);
    SetSourceDesc(desc);
    if (format->AlphaBits() > 0 && m_alpha) {
        ConvertPixels(PixelFormat::AlphaPlane(), m_alpha->Bits(), m_alpha->Stride(),
                      m_alpha->ByteCount(), nullptr, 0, 0, *format, bits, desc.GetPitch(),
                      srcSize, desc.GetPalette(), 0, 0, width, height);
    }
    return true;
}

u8* Surface::LockBits()
{
    return m_display ? m_display->Bits() : nullptr;
}

u8* Surface::LockAlpha()
{
    return m_alpha ? m_alpha->Bits() : nullptr;
}

bool Surface::UnlockAlpha()
{
    Composite(m_compositeInverted != 0);
    return true;
}

bool Surface::Composite(bool inverted)
{
    m_composite.reset();
    if (!m_alpha || !m_display)
        return false;
    std::unique_ptr<Bitmap> composite =
        Bitmap::Create(m_display->Width(), m_display->Height(), 32);
    if (!composite)
        return false;
    m_compositeHeader = m_displayHeader;

    const BlendTable& blend = Blend();
    const u32 width = m_display->Width();
    const u32 height = m_display->Height();
    const u8* alpha = m_alpha->Bits();
    const u8* src = m_display->Bits();
    u8* dst = composite->Bits();
    for (u32 y = 0; y < height; ++y) {
        const u64 rowStart = u64(y) * width;
        for (u32 x = 0; x < width; ++x) {
            const u64 i = rowStart + x;
            // Rows count in memory order, so the pattern is anchored at the bottom-left corner.
            const bool white = (((x >> 3) ^ (y >> 3)) & 1) != 0;
            const auto& row = blend[white != inverted ? 1 : 0][alpha[i]];
            dst[4 * i] = row[src[4 * i]];
            dst[4 * i + 1] = row[src[4 * i + 1]];
            dst[4 * i + 2] = row[src[4 * i + 2]];
        }
    }
    m_composite = std::move(composite);
    m_compositeInverted = inverted ? 1 : 0;
    return true;
}

bool Surface::Draw(Bitmap* target, const Point destination[3], const Rect& source, void*,
                   u32 flags)
{
    const bool wantsComposite = (flags & (kDrawCheckerboard | kDrawCheckerboardInverted)) != 0;
    if ((flags & kDrawCheckerboardInverted) && !m_compositeInverted)
        Composite(true);
    else if ((flags & kDrawCheckerboard) && m_compositeInverted)
        Composite(false);
    else if (wantsComposite && !m_composite && m_alpha)
        // Pictures filled through SetPixels have no composite yet; build the phase asked for.
        Composite((flags & kDrawCheckerboardInverted) != 0);

    const Bitmap* from = wantsComposite && m_composite ? m_composite.get() : m_display.get();
    if (target && from)
        PlgBlt(*target, destination, *from, source);
    return false;
}

bool Surface::MakePowerOfTwo()
{
    const u16 bitCount = m_displayHeader.biBitCount;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    if (!m_display)
        return false;
    const u32 oldWidth = m_display->Width();
    const u32 oldHeight = m_display->Height();
    const u32 newWidth = std::bit_floor(oldWidth);
    const u32 newHeight = std::bit_floor(oldHeight);
    if (newWidth == 0 || newHeight == 0)
        return false;
    std::unique_ptr<Bitmap> display = Bitmap::Create(newWidth, newHeight, 32);
    if (!display)
        return false;
    std::unique_ptr<Bitmap> alpha;
    if (m_alpha) {
        alpha = Bitmap::Create(newWidth, newHeight, 8);
        if (!alpha)
            return false;
    }
    Resample(m_display->Bits(), oldWidth, oldHeight, display->Bits(), newWidth, newHeight, 4);
    m_displayHeader.biWidth = i32(newWidth);
    m_displayHeader.biHeight = i32(newHeight);
    m_display = std::move(display);
    if (alpha) {
        Resample(m_alpha->Bits(), oldWidth, oldHeight, alpha->Bits(), newWidth, newHeight, 1);
        m_alphaHeader.biWidth = i32(newWidth);
        m_alphaHeader.biHeight = i32(newHeight);
        m_alpha = std::move(alpha);
    }
    // A composite of the old size would show the old picture; build it again from the new one.
    if (m_composite)
        Composite(m_compositeInverted != 0);
    return true;
}

bool Surface::AddChild(Surface* child)
{
    if (!child || child == this)
        return false;
    if (child->m_parent == this)
        return true;
    if (child->m_parent || child->m_frame)
        return false;
    child->m_prevChild = m_lastChild;
    child->m_nextChild = nullptr;
    if (m_lastChild)
        m_lastChild->m_nextChild = child;
    else
        m_firstChild = child;
    m_lastChild = child;
    child->m_parent = this;
    child->m_frame = m_frame;
    return true;
}

bool Surface::RemoveChild(Surface* child, bool destroy)
{
    if (!child)
        return false;
    if (!child->m_parent)
        return true;
    if (child->m_parent != this)
        return false;
    child->m_frame = nullptr;
    child->m_parent = nullptr;
    if (child->m_prevChild)
        child->m_prevChild->m_nextChild = child->m_nextChild;
    else
        m_firstChild = child->m_nextChild;
    if (child->m_nextChild)
        child->m_nextChild->m_prevChild = child->m_prevChild;
    else
        m_lastChild = child->m_prevChild;
    child->m_prevChild = child->m_nextChild = nullptr;
    if (destroy)
        delete child;
    return true;
}

void Surface::RemoveAllChildren(bool destroy)
{
    while (m_lastChild)
        RemoveChild(m_lastChild, destroy);
}
