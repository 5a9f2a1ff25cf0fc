#pragma once
// The surface of a loaded texture: an ordinary Surface that also remembers the size of the
// staging texture its load used (the header's size, raised to at least 4 for the block formats).

#include "image/surface.h"

class TextureSurface : public Surface
{
public:
    TextureSurface() = default;

    u32 GetTextureWidth() const { return m_textureWidth; }
    u32 GetTextureHeight() const { return m_textureHeight; }
    void SetTextureSize(u32 width, u32 height)
    {
        m_textureWidth = width;
        m_textureHeight = height;
    }

private:
    u32 m_textureWidth = 0;
    u32 m_textureHeight = 0;
};
