#include "formats/texture/texture_image.h"

#include "formats/texture/texture_surface.h"

#include <new>

Surface* TextureFrame::CreateSurface()
{
    return new (std::nothrow) TextureSurface();
}

Frame* TextureImage::CreateFrame()
{
    return new (std::nothrow) TextureFrame();
}
