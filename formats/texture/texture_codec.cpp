#include "formats/texture/texture_codec.h"

#include "formats/texture/texture_image.h"
#include "formats/texture/texture_pipeline.h"
#include "formats/texture/texture_surface.h"
#include "framework/stream.h"
#include "image/image_desc.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

namespace {

constexpr u32 kMaxSide = 65536;
constexpr u64 kMaxPixels = 268435456;

struct TextureHeader
{
    u32 version = 0;
    u32 format = 0;
    u32 mipLevels = 0;
    u32 width = 0;
    u32 height = 0;
    u8 hasAlpha = 0;
};

u32 GetU32(const u8* p)
{
    return u32(p[0]) | (u32(p[1]) << 8) | (u32(p[2]) << 16) | (u32(p[3]) << 24);
}

void PutU32(u8* p, u32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = u8(v >> (8 * i));
}

TextureHeader ParseHeader(const u8* bytes)
{
    TextureHeader h;
    h.version = GetU32(bytes);
    h.format = GetU32(bytes + 4);
    h.mipLevels = GetU32(bytes + 12);
    h.width = GetU32(bytes + 16);
    h.height = GetU32(bytes + 20);
    h.hasAlpha = bytes[24];
    return h;
}

std::array<u8, kTextureHeaderSize> BuildHeader(const TextureHeader& h)
{
    std::array<u8, kTextureHeaderSize> bytes{};
    PutU32(bytes.data(), h.version);
    PutU32(bytes.data() + 4, h.format);
    PutU32(bytes.data() + 12, h.mipLevels);
    PutU32(bytes.data() + 16, h.width);
    PutU32(bytes.data() + 20, h.height);
    bytes[24] = h.hasAlpha;
    return bytes;
}

bool SizeAcceptable(u64 width, u64 height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

struct SavedFormat
{
    u32 bits, red, green, blue, alpha;
};

// The pixel formats offered for saving; entry i is saved as code i + 1.
constexpr SavedFormat kSavedFormats[] = {
    {16, 0xF800, 0x07E0, 0x001F, 0},          {16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {15, 0x7C00, 0x03E0, 0x001F, 0x8000},     {32, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

// Compression i (above 0) is saved as code kTextureDxt1 + i - 1.
constexpr const char16_t* kCompressionNames[] = {
    u"Uncompressed",
    u"DXT1 8x compressed [16 bit color, 1 bit alpha]",
    u"DXT3 4x compressed [16 bit color, 4 bit alpha]",
    u"DXT5 4x compressed [16 bit color, 8 bit indexed alpha]",
};

// The masks recorded as a loaded surface's source description for codes 1 to 5, in the order
// red, green, blue, alpha: readers of the description see these, not the stored layout.
constexpr std::array<u32, 4> kSourceMasks[] = {
    {0x001F, 0x07E0, 0xF800, 0},
    {0x000F, 0x00F0, 0x0F00, 0xF000},
    {0x001F, 0x03E0, 0x7C00, 0x8000},
    {0x00FF, 0xFF00, 0xFF0000, 0},
    {0x00FF, 0xFF00, 0xFF0000, 0xFF000000},
};

const char16_t* BlockText(u32 code)
{
    return code == kTextureDxt1 ? u"DXT1" : (code == kTextureDxt3 ? u"DXT3" : u"DXT5");
}

// Bytes that arrived, up to count; a short stream is not an error here.
u64 ReadUpTo(Stream& stream, u8* buffer, u64 count)
{
    u64 total = 0;
    while (total < count) {
        const u32 chunk = u32(std::min<u64>(count - total, 0x40000000));
        const u32 got = stream.Read(buffer + total, chunk);
        if (got == kFailed32 || got == 0) break;
        total += got;
    }
    return total;
}

// What a staging texture could be made of: a known code, a size within the limits and a level
// count the (raised) size allows. Checked before anything is allocated.
bool HeaderAcceptable(const TextureHeader& h, u32 textureWidth, u32 textureHeight)
{
    return h.format >= kTextureR5G6B5 && h.format <= kTextureR16F &&
           SizeAcceptable(h.width, h.height) &&
           h.mipLevels <= TextureChainLength(textureWidth, textureHeight);
}

void RecordSourceDesc(Surface& surface, u32 code, u32 textureWidth, u32 textureHeight)
{
    if (code < kTextureR5G6B5 || code > kTextureA8R8G8B8) return;
    const std::array<u32, 4>& m = kSourceMasks[code - 1];
    const PixelFormat format(0, m[0], m[1], m[2], m[3]);
    surface.SetSourceDesc(ImageDesc(textureWidth, textureHeight, 0, &format, nullptr));
}

// Reads level 0 into the surface's bitmaps; the levels after it are not needed for display.
bool ReadLevelZero(Stream& stream, const TextureHeader& h, Surface& surface, int threads)
{
    if (!surface.Create(h.width, h.height, h.hasAlpha != 0)) return false;
    surface.SetSourceBitDepth(32);
    Bitmap* display = surface.GetDC();
    Bitmap* alpha = surface.GetAlphaDC();
    const u32 code = h.format;
    if (code >= kTextureR5G6B5 && code <= kTextureDxt5) {
        // The level-size rule gives what Save wrote; block data is decoded from whole blocks, so
        // the part of the last block row a short level leaves out stays zero.
        const u64 levelSize = TextureLevelSize(code, h.width, h.height);
        const u64 bufferSize =
            IsTextureBlockCode(code)
                ? DxtEncodedSize(h.width, h.height,
                                 code == kTextureDxt1
                                     ? DxtFormat::Dxt1
                                     : (code == kTextureDxt3 ? DxtFormat::Dxt3 : DxtFormat::Dxt5))
                : levelSize;
        std::vector<u8> data(bufferSize, 0);
        const u64 got = ReadUpTo(stream, data.data(), levelSize);
        if (!IsTextureBlockCode(code))
            surface.SetInfoText(u"Uncompressed");
        else if (got == levelSize)
            surface.SetInfoText(BlockText(code));
        if (!DecodeTextureLevel(data.data(), code, h.width, h.height, *display, alpha, threads))
            return false;
    } else {
        // Float formats are recognised but their pixels are not read.
        surface.SetInfoText(u"Unknown");
        if (alpha) std::fill(alpha->Bits(), alpha->Bits() + alpha->ByteCount(), u8(255));
    }
    if (surface.LockAlpha()) surface.UnlockAlpha();
    return true;
}

// The code a (pixel format, compression) choice is saved as; 0 for an invalid choice.
u32 TargetCode(u32 pixelFormatIndex, u32 compression)
{
    if (compression == 0) return pixelFormatIndex <= 4 ? pixelFormatIndex + 1 : 0;
    return compression <= 3 ? kTextureDxt1 + compression - 1 : 0;
}

bool CodeTakesAlpha(u32 code)
{
    return code == kTextureA4R4G4B4 || code == kTextureA1R5G5B5 || code == kTextureA8R8G8B8 ||
           IsTextureBlockCode(code);
}

} // namespace

bool TextureCodec::Probe(Item*, Stream* stream, u32 kindMask)
{
    if ((kindMask != 0 && kindMask != 2) || !stream) return false;
    u8 header[kTextureHeaderSize];
    return ReadExact(*stream, header, sizeof header) && GetU32(header) == 1;
}

bool TextureCodec::GetInfo(u32 index, QString& out)
{
    static constexpr const char16_t* kInfo[] = {u"MRT", u"* Morvalen Texture",
                                                u"* Morvalen Texture file", u".t", u".t"};
    if (index >= std::size(kInfo)) return false;
    out = QString::fromUtf16(kInfo[index]);
    return true;
}

Image* TextureCodec::Load(Stream* stream)
{
    if (!stream || !Probe(stream->GetOwner(), stream, 2) || !stream->Seek(0, kSeekBegin))
        return nullptr;
    u8 bytes[kTextureHeaderSize];
    if (!ReadExact(*stream, bytes, sizeof bytes)) return nullptr;
    const TextureHeader header = ParseHeader(bytes);
    u32 textureWidth = header.width;
    u32 textureHeight = header.height;
    if (IsTextureBlockCode(header.format)) {
        textureWidth = std::max(textureWidth, 4u);
        textureHeight = std::max(textureHeight, 4u);
    }
    if (!HeaderAcceptable(header, textureWidth, textureHeight)) return nullptr;

    auto* image = new (std::nothrow) TextureImage(this);
    if (!image) return nullptr;
    Frame* frame = image->AddFrame();
    auto* surface = frame ? static_cast<TextureSurface*>(frame->AddSurface()) : nullptr;
    bool ok = surface != nullptr;
    if (ok) {
        surface->SetTextureSize(textureWidth, textureHeight);
        try {
            RecordSourceDesc(*surface, header.format, textureWidth, textureHeight);
            ok = ReadLevelZero(*stream, header, *surface, m_threads);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        image->Release();
        return nullptr;
    }
    return image;
}

bool TextureCodec::Save(Image* image, Stream* stream, u32 subformat, u32 pixelFormatIndex,
                        u32 compression, u32 mipLevels)
{
    Frame* frame = image ? image->GetCurrentFrame() : nullptr;
    Surface* surface = frame ? frame->GetCurrentSurface() : nullptr;
    if (!surface || !stream || (subformat != 0 && subformat != 0xFFFFFFFFu)) return false;
    const u32 code = TargetCode(pixelFormatIndex, compression);
    Rect bounds;
    if (code == 0 || !surface->GetBounds(bounds) ||
        !SizeAcceptable(u64(std::max<i64>(0, bounds.Width())),
                        u64(std::max<i64>(0, bounds.Height()))))
        return false;
    const u32 width = u32(bounds.Width());
    const u32 height = u32(bounds.Height());
    const u32 chain = TextureChainLength(width, height);
    if (mipLevels > chain) return false;
    const u32 levels = mipLevels == 0 ? chain : mipLevels;
    const Bitmap* display = surface->GetDC();
    if (!display) return false;
    const Bitmap* alpha = CodeTakesAlpha(code) ? surface->GetAlphaDC() : nullptr;

    TextureHeader header;
    header.version = 1;
    header.format = code;
    header.mipLevels = mipLevels;
    header.width = width;
    header.height = height;
    // DXT1 keeps alpha only as one bit of the three-colour mode, so it claims alpha exactly when
    // there was some to keep; DXT3 and DXT5 always store an alpha channel.
    header.hasAlpha = (CodeTakesAlpha(code) && code != kTextureDxt1) ||
                      (code == kTextureDxt1 && surface->GetAlphaDC() != nullptr);
    try {
        std::vector<u32> picture(u64(width) * height);
        ComposePicture(*display, alpha, width, height, picture.data(), m_threads);
        const std::array<u8, kTextureHeaderSize> headerBytes = BuildHeader(header);
        if (!WriteAll(*stream, headerBytes.data(), headerBytes.size())) return false;
        MipChain chainLevels(picture.data(), width, height, m_threads);
        std::vector<u8> bytes;
        for (u32 level = 0; level < levels; ++level) {
            if (level > 0 && !chainLevels.Next()) return false;
            if (!EncodeTextureLevel(chainLevels.Pixels(), chainLevels.Width(), chainLevels.Height(),
                                    code, alpha != nullptr, m_encoderLevel, m_threads, bytes) ||
                !WriteAll(*stream, bytes.data(), bytes.size()))
                return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TextureCodec::NextPixelFormat(FormatQuery& query)
{
    if (query.subformat != 0 && query.subformat != 0xFFFFFFFFu) return false;
    const u32 next = query.index == 0xFFFFFFFFu ? 0 : query.index + 1;
    if (next >= std::size(kSavedFormats)) return false;
    const SavedFormat& entry = kSavedFormats[next];
    query.index = next;
    query.format.SetMasks(entry.red, entry.green, entry.blue, entry.alpha);
    query.format.SetBitCount(entry.bits);
    return true;
}

bool TextureCodec::NextCompression(CompressionQuery& query)
{
    if (query.subformat != 0 && query.subformat != 0xFFFFFFFFu) return false;
    const u32 next = query.code == 0xFFFFFFFFu ? 0 : query.code + 1;
    if (next >= std::size(kCompressionNames)) return false;
    query.code = next;
    query.name = QString::fromUtf16(kCompressionNames[next]);
    return true;
}
