#pragma once
// One format read through FreeImage. The library runs in the confined decoder process; this
// class hands it the file's bytes and builds the image from what comes back.

#include "formats/freeimage/freeimage_format_table.h"
#include "formats/image_codec.h"

class FreeImageCodec : public ImageCodec
{
public:
    explicit FreeImageCodec(const FreeImageFormat& format);

    // Decodes the whole stream: true when the library reads it as this format.
    bool Probe(Item* item, Stream* stream, u32 kindMask) override;
    // 0, 1, 2 the name; 3 the extension list; 4 the default extension.
    bool GetInfo(u32 index, QString& out) override;
    bool Supports(u32) override { return false; }
    Image* Load(Stream* stream) override;
    // The TGA entry lists the five 16- and 32-bit layouts; the others none.
    bool NextPixelFormat(FormatQuery& query) override;
    bool NextCompression(CompressionQuery&) override { return false; }

    i32 GetId() const { return m_id; }

private:
    i32 m_id;
    const char16_t* m_name;
    const char16_t* m_extensionList;
    const char16_t* m_defaultExtension;
};

// Reads a whole stream from its current position into memory; false on a failure, a short read
// or a size that cannot be held.
bool ReadWholeStream(Stream& stream, QByteArray& out);
