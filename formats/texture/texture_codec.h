#pragma once
// The Morvalen texture format ("MRT", files ".t"): a 59-byte header and a chain of mip levels,
// stored as 16- or 32-bit pixels or as DXT1, DXT3 or DXT5 blocks. The only format that saves.
// Load and Save run on the calling thread; their pixel work may use worker threads.

#include "formats/image_codec.h"
#include "formats/texture/dxt/dxt.h"

// The file header, read and written as one block.
inline constexpr u32 kTextureHeaderSize = 59;

class TextureCodec : public ImageCodec
{
public:
    TextureCodec() = default;

    bool Probe(Item* item, Stream* stream, u32 kindMask) override;
    bool GetInfo(u32 index, QString& out) override;
    bool Supports(u32 feature) override { return feature == kFeatureWrite; }

    Image* Load(Stream* stream) override;
    bool Save(Image* image, Stream* stream, u32 subformat, u32 pixelFormatIndex, u32 compression,
              u32 mipLevels) override;
    bool NextPixelFormat(FormatQuery& query) override;
    bool NextCompression(CompressionQuery& query) override;

    // How hard the DXT encoder works: Quality (the default) or Fast for the command-line tools.
    void SetEncoderLevel(DxtLevel level) { m_encoderLevel = level; }
    DxtLevel GetEncoderLevel() const { return m_encoderLevel; }
    // Worker threads for the pixel work; 0 (the default) uses every hardware thread. The bytes
    // written and the pictures loaded do not depend on it.
    void SetThreadCount(int threads) { m_threads = threads < 0 ? 0 : threads; }
    int GetThreadCount() const { return m_threads; }

private:
    DxtLevel m_encoderLevel = DxtLevel::Quality;
    int m_threads = 0;
};
