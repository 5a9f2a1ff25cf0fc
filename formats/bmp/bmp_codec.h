#pragma once
// The built-in reader of Windows bitmap files. It lists the pixel formats and compressions a BMP
// writer would offer, but cannot write.

#include "formats/image_codec.h"

class BmpCodec : public ImageCodec
{
public:
    // Decides from the first 54 bytes at the stream's current position; does not rewind.
    bool Probe(Item* item, Stream* stream, u32 kindMask) override;
    bool GetInfo(u32 index, QString& out) override;
    bool Supports(u32 feature) override;
    Image* Load(Stream* stream) override;
    bool Save(Image* image, Stream* stream, u32 subformat, u32 pixelFormatIndex, u32 compression,
              u32 mipLevels) override;
    // Offers the entries 2 to 6 of the BMP table.
    bool NextPixelFormat(FormatQuery& query) override;
    // Code receives the value a BMP file stores in biCompression.
    bool NextCompression(CompressionQuery& query) override;
};
