#include "formats/bmp/bmp_codec.h"

#include "formats/bmp/bmp_read.h"
#include "framework/stream.h"
#include "image/frame.h"
#include "image/gr_palette.h"
#include "image/image.h"
#include "image/image_desc.h"
#include "image/pixel_format.h"
#include "image/surface.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct BmpTableEntry
{
    u32 bits, red, green, blue, alpha;
};

constexpr std::array<BmpTableEntry, 7> kBmpTable{{
    {1, 0, 0, 0, 0},
    {4, 0, 0, 0, 0},
    {8, 0, 0, 0, 0},
    {15, 0x7C00, 0x3E0, 0x1F, 0},
    {16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
}};
constexpr u32 kFirstOffered = 2;

struct CompressionEntry
{
    u32 code;
    const char16_t* name; // null ends a one-entry list
};

constexpr CompressionEntry kUncompressed{0, u"Uncompressed"};
constexpr CompressionEntry kNone{0, nullptr};
// The 16-bit layout is written with bit fields, so its uncompressed code is 3.
constexpr std::array<std::array<CompressionEntry, 2>, 7> kCompressions{{
    {kUncompressed, kNone},
    {kUncompressed, CompressionEntry{2, u"RLE (4 bit)"}},
    {kUncompressed, CompressionEntry{1, u"RLE (8 bit)"}},
    {kUncompressed, kNone},
    {CompressionEntry{3, u"Uncompressed"}, kNone},
    {kUncompressed, kNone},
    {kUncompressed, kNone},
}};

constexpr std::array<const char16_t*, 5> kInfo{u"BMP", u"Windows BMP", u"Windows bitmap file",
                                               u".bmp;.dib", u".bmp"};

u32 StreamRead(BmpReader* reader, void* destination, u32 count)
{
    const u32 got = reader->stream->Read(destination, count);
    return got == kFailed32 ? 0 : got;
}

u64 StreamSize(BmpReader* reader)
{
    return reader->stream->GetSize();
}

bool StreamSeek(BmpReader* reader, u64 position)
{
    return reader->stream->Seek(i64(position), kSeekBegin);
}

struct BmpDataDeleter
{
    void operator()(BmpData* data) const { BmpFree(data); }
};

struct ImageReleaser
{
    void operator()(Image* image) const { image->Release(); }
};

bool ReadProbeBytes(Stream* stream, void* destination, u32 count)
{
    return stream->Read(destination, count) == count;
}

std::unique_ptr<Image, ImageReleaser> BuildImage(BmpCodec* codec, const BmpData& data)
{
    std::unique_ptr<Image, ImageReleaser> image(new (std::nothrow) Image(codec));
    if (!image) return nullptr;
    const BmpInfoHeader header = data.InfoHeader();
    const bool indexed = header.biBitCount < 9;
    GrPalette palette(0, GrPalette::kMaxEntries);
    if (indexed) {
        palette.Resize(data.paletteSize);
        for (u32 i = 0; i < data.paletteSize; ++i) {
            const u8* entry = data.palette + 4 * i;
            palette.SetEntry(i, u32(entry[2]) | u32(entry[1]) << 8 | u32(entry[0]) << 16);
        }
    }
    const PixelFormat format(header.biBitCount, data.redMask, data.greenMask, data.blueMask, 0);
    const ImageDesc desc(data.width, data.height, data.stride, &format,
                         indexed ? &palette : nullptr);

    Frame* frame = image->AddFrame();
    Surface* surface = frame ? frame->AddSurface() : nullptr;
    if (!surface || !surface->Create(data.width, data.height, false)) return nullptr;
    surface->SetSourceBitDepth(header.biBitCount);
    surface->SetInfoText(QStringView(data.compressionName));
    surface->SetPixels(desc, data.pixels, data.pixelSize);
    return image;
}

} // namespace

bool BmpCodec::Probe(Item*, Stream* stream, u32 kindMask)
{
    if ((kindMask != 0 && kindMask != 2) || !stream) return false;
    u8 fileHeader[14];
    u8 infoHeader[40];
    if (!ReadProbeBytes(stream, fileHeader, sizeof fileHeader) ||
        !ReadProbeBytes(stream, infoHeader, sizeof infoHeader))
        return false;
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') return true;
    u32 fileSize;
    u32 headerSize;
    std::memcpy(&fileSize, fileHeader + 2, sizeof fileSize);
    std::memcpy(&headerSize, infoHeader, sizeof headerSize);
    return fileSize == stream->GetSize() || headerSize == 40;
}

bool BmpCodec::GetInfo(u32 index, QString& out)
{
    if (index >= kInfo.size()) return false;
    out = QString::fromUtf16(kInfo[index]);
    return true;
}

bool BmpCodec::Supports(u32)
{
    return false;
}

Image* BmpCodec::Load(Stream* stream)
{
    if (!stream) return nullptr;
    try {
        BmpReader reader;
        reader.read = StreamRead;
        reader.size = StreamSize;
        reader.seek = StreamSeek;
        reader.stream = stream;
        std::unique_ptr<BmpData, BmpDataDeleter> data(BmpRead(&reader));
        if (!data) return nullptr;
        return BuildImage(this, *data).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool BmpCodec::Save(Image*, Stream*, u32, u32, u32, u32)
{
    return false;
}

bool BmpCodec::NextPixelFormat(FormatQuery& query)
{
    if (query.subformat != 0 && query.subformat != 0xFFFFFFFFu) return false;
    if (query.index == 0xFFFFFFFFu)
        query.index = kFirstOffered;
    else if (query.index >= kBmpTable.size() - 1)
        return false;
    else
        ++query.index;
    const BmpTableEntry& entry = kBmpTable[query.index];
    query.format.SetMasks(entry.red, entry.green, entry.blue, entry.alpha);
    query.format.SetBitCount(entry.bits);
    return true;
}

bool BmpCodec::NextCompression(CompressionQuery& query)
{
    if (query.formatIndex >= kCompressions.size()) return false;
    query.cursor = query.cursor == 0xFFFFFFFFu ? 0 : query.cursor + 1;
    if (query.cursor >= kCompressions[query.formatIndex].size()) return false;
    const CompressionEntry& entry = kCompressions[query.formatIndex][query.cursor];
    if (!entry.name) return false;
    query.name = QString::fromUtf16(entry.name);
    query.code = entry.code;
    return true;
}
