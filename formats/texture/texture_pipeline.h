#pragma once
// The texture codec's pixel work: level sizes of the file layout, the stored layouts of the
// format codes in both directions, and the mip chain. Pictures here are 32-bit words 0xAARRGGBB,
// top row first, rows packed. Everything may run on worker threads (threads <= 0: every hardware
// thread); the result is the same for any thread count. Allocation failures throw
// std::bad_alloc; the codec catches them at its border.

#include "formats/texture/dxt/dxt.h"
#include "framework/types.h"

#include <vector>

class Bitmap;

// Format codes of the texture file.
enum : u32
{
    kTextureR5G6B5 = 1,
    kTextureA4R4G4B4 = 2,
    kTextureA1R5G5B5 = 3,
    kTextureX8R8G8B8 = 4,
    kTextureA8R8G8B8 = 5,
    kTextureDxt1 = 6,
    kTextureDxt3 = 7,
    kTextureDxt5 = 8,
    kTextureR32F = 9,
    kTextureR16F = 10,
};

inline bool IsTextureBlockCode(u32 code)
{
    return code >= kTextureDxt1 && code <= kTextureDxt5;
}

// Levels of the full chain down to 1 x 1: floor(log2(max(width, height))) + 1; 0 for an empty
// picture.
u32 TextureChainLength(u32 width, u32 height);

// Bytes a level of width x height occupies in the file for codes 1 to 8 (0 for other codes).
// Block formats store (block-row pitch x level height) / 4 bytes, so a level less than 4 pixels
// high keeps only the first half or quarter of its block row: files in use rely on that layout.
u64 TextureLevelSize(u32 code, u32 width, u32 height);

// Stores a picture in the layout of code (1 to 8) into out, resized to TextureLevelSize bytes.
// Channels are rounded to nearest; without carryAlpha the stored alpha is opaque.
bool EncodeTextureLevel(const u32* pixels, u32 width, u32 height, u32 code, bool carryAlpha,
                        DxtLevel level, int threads, std::vector<u8>& out);

// Turns level-0 bytes of code (1 to 8) into the display bitmap (RGB) and, when given, the alpha
// plane, both width x height. data holds TextureLevelSize bytes for the uncompressed codes and
// DxtEncodedSize bytes for the block codes. 16-bit channels widen by bit replication.
bool DecodeTextureLevel(const u8* data, u32 code, u32 width, u32 height, Bitmap& display,
                        Bitmap* alpha, int threads);

// The surface's picture as W x H words: RGB from the display bitmap and alpha from the alpha plane
// when one is given (opaque otherwise), both copied from their top-left corners; whatever the
// bitmaps do not cover is opaque black.
void ComposePicture(const Bitmap& display, const Bitmap* alpha, u32 width, u32 height, u32* out,
                    int threads);

// The levels below a picture, each a 2 x 2 box of the level above (the last column or row of an
// odd side is left out, a side of 1 pairs its pixel with itself). The chain keeps exact sums, so
// every level is the box average of the picture at full precision, rounded to nearest only when
// it is handed out.
class MipChain
{
public:
    // The picture must stay alive until the chain is done with it.
    MipChain(const u32* pixels, u32 width, u32 height, int threads);

    // Moves to the next level; false at 1 x 1.
    bool Next();

    const u32* Pixels() const { return m_level == 0 ? m_source : m_pixels.data(); }
    u32 Width() const { return m_width; }
    u32 Height() const { return m_height; }

private:
    const u32* m_source;
    u32 m_width;
    u32 m_height;
    u32 m_level = 0;
    int m_threads;
    // Four channel sums a pixel, in the narrowest type that holds 255 x 4^level.
    std::vector<u16> m_sums16;
    std::vector<u32> m_sums32;
    std::vector<u64> m_sums64;
    std::vector<u32> m_pixels;
};
