#include "image/bitmap.h"

#include <cstdlib>
#include <new>

std::unique_ptr<Bitmap> Bitmap::Create(u32 width, u32 height, u32 bitsPerPixel)
{
    if (bitsPerPixel != 8 && bitsPerPixel != 32)
        return nullptr;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        u64(width) * height > kMaxPixels)
        return nullptr;
    const u32 bytesPerPixel = bitsPerPixel / 8;
    // calloc: large blocks come zeroed from the system without touching every page.
    u8* bits = static_cast<u8*>(std::calloc(u64(width) * height, bytesPerPixel));
    if (!bits)
        return nullptr;
    Bitmap* bitmap = new (std::nothrow) Bitmap(width, height, bytesPerPixel, bits);
    if (!bitmap) {
        std::free(bits);
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(bitmap);
}

Bitmap::~Bitmap()
{
    std::free(m_bits);
}
