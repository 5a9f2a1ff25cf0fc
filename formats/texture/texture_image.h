#pragma once
// The image kind the texture codec loads: its frames are TextureFrames, whose surfaces are
// TextureSurfaces. Both differ from their bases only in these factories.

#include "image/frame.h"
#include "image/image.h"

class TextureFrame : public Frame
{
public:
    Surface* CreateSurface() override;
};

class TextureImage : public Image
{
public:
    explicit TextureImage(ImageCodec* format = nullptr) : Image(format) {}
    Frame* CreateFrame() override;
};
