#pragma once
// An image format: a provider of kind 2 that recognises its files, loads them into an Image and,
// if it can write, lists the pixel formats and compressions it writes and saves an image.

#include "framework/provider.h"
#include "image/pixel_format.h"

#include <QString>

class Image;

// Supports features of an image format.
enum : u32 {
    kFeatureSubformats = 0,    // has sub-format options
    kFeatureFormatOptions = 1, // has format options
    kFeatureWrite = 2,         // can write
};

// Cursor over the pixel formats a format writes (NextPixelFormat).
struct FormatQuery
{
    explicit FormatQuery(u32 subformatIn = 0xFFFFFFFFu) : subformat(subformatIn) {}
    u32 cursor = 0xFFFFFFFFu;
    u32 subformat;
    PixelFormat format;       // the pixel format just returned
    u32 index = 0xFFFFFFFFu;  // its position in the format's own table
};

// Cursor over the compressions available for one pixel format (NextCompression).
struct CompressionQuery
{
    explicit CompressionQuery(u32 formatIndexIn = 0xFFFFFFFFu) : formatIndex(formatIndexIn) {}
    u32 cursor = 0xFFFFFFFFu;
    u32 subformat = 0xFFFFFFFFu;
    u32 formatIndex;
    QString name;
    u32 code = 0xFFFFFFFFu;
};

class ImageCodec : public Provider
{
public:
    bool Accepts(Item*, Stream*, u32 kindMask) override { return kindMask == 2; }
    u32 GetKind(Item*) override { return 2; }
    ProviderInstance* CreateInstance(Item* item) override;
    // Load(stream) for kind 2, otherwise null without touching the stream.
    RefObject* OpenAs(Stream* stream, u32 kind) override;

    // A new image read from the stream's current position; null on any failure. Caller owns it.
    virtual Image* Load(Stream* stream) = 0;
    // Writes the current surface of the image's current frame; false for formats that cannot.
    virtual bool Save(Image* image, Stream* stream, u32 subformat, u32 pixelFormatIndex,
                      u32 compression, u32 mipLevels);
    virtual bool NextPixelFormat(FormatQuery& query) = 0;
    virtual bool NextCompression(CompressionQuery& query) = 0;
};
