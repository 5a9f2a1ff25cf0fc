#include "formats/freeimage/freeimage_codec.h"

#include "formats/freeimage/decoder_client.h"
#include "framework/stream.h"
#include "image/frame.h"
#include "image/gr_palette.h"
#include "image/image.h"
#include "image/image_desc.h"
#include "image/surface.h"

#include <QByteArray>

#include <cstring>
#include <memory>
#include <new>

namespace {
constexpr i32 kTargaId = 17;
constexpr i32 kDirectDrawId = 24;

struct Layout
{
    u32 bits, red, green, blue, alpha;
};
constexpr Layout kTargaLayouts[] = {
    {16, 0xF800, 0x7E0, 0x1F, 0},
    {16, 0xF00, 0xF0, 0xF, 0xF000},
    {15, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {32, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

struct Releaser
{
    void operator()(RefObject* object) const { object->Release(); }
};
template <typename T> using RefPtr = std::unique_ptr<T, Releaser>;

// The image of a decoded picture, or null.
Image* BuildImage(ImageCodec* codec, const DecodedPicture& picture)
{
    RefPtr<GrPalette> palette;
    if (!picture.palette.empty()) {
        palette.reset(new (std::nothrow) GrPalette(0, u32(picture.palette.size())));
        if (!palette) return nullptr;
        for (u32 i = 0; i < picture.palette.size(); ++i)
            palette->SetEntry(i, picture.palette[i]);
    }
    const PixelFormat format(picture.bitsPerPixel, picture.redMask, picture.greenMask,
                             picture.blueMask, picture.alphaMask);
    const ImageDesc desc(picture.width, picture.height, 0, &format, palette.get());

    RefPtr<Image> image(new (std::nothrow) Image(codec));
    if (!image) return nullptr;
    Frame* frame = image->AddFrame();
    Surface* surface = frame ? frame->AddSurface() : nullptr;
    const u8* alpha = picture.Alpha();
    if (!surface || !surface->Create(picture.width, picture.height, alpha != nullptr))
        return nullptr;
    u8* bits = surface->LockBits();
    if (!bits) return nullptr;
    std::memcpy(bits, picture.Pixels(), picture.PixelBytes());
    surface->UnlockBits();
    surface->SetSourceBitDepth(picture.bitsPerPixel);
    if (alpha) {
        if (u8* plane = surface->LockAlpha()) {
            std::memcpy(plane, alpha, u64(picture.width) * picture.height);
            surface->UnlockAlpha();
        }
    }
    surface->SetSourceDesc(desc);
    return image.release();
}
} // namespace

bool ReadWholeStream(Stream& stream, QByteArray& out)
{
    const u64 size = stream.GetSize();
    const u64 position = stream.Tell();
    if (size == kUnknown64 || position == kUnknown64 || position > size) return false;
    const u64 remaining = size - position;
    if (remaining > u64(std::numeric_limits<qsizetype>::max() / 2)) return false;
    try {
        out.resize(qsizetype(remaining));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return ReadExact(stream, out.data(), remaining);
}

FreeImageCodec::FreeImageCodec(const FreeImageFormat& format)
    : m_id(format.id), m_name(format.name), m_extensionList(format.extensionList),
      m_defaultExtension(format.defaultExtension)
{
}

bool FreeImageCodec::Probe(Item*, Stream* stream, u32 kindMask)
{
    if (!stream || (kindMask != 0 && kindMask != 2)) return false;
    Image* image = Load(stream);
    if (!image) return false;
    image->Release();
    return true;
}

bool FreeImageCodec::GetInfo(u32 index, QString& out)
{
    switch (index) {
    case 0:
    case 1:
    case 2:
        out = QString::fromUtf16(m_name);
        return true;
    case 3:
        out = QString::fromUtf16(m_extensionList);
        return true;
    case 4:
        out = QString::fromUtf16(m_defaultExtension);
        return true;
    default:
        return false;
    }
}

Image* FreeImageCodec::Load(Stream* stream)
{
    if (!stream) return nullptr;
    QByteArray bytes;
    if (!ReadWholeStream(*stream, bytes)) return nullptr;
    if (m_id == kDirectDrawId && !bytes.startsWith("DDS ")) return nullptr;
    std::optional<DecodedPicture> picture = DecoderClient::Shared().Load(m_id, bytes);
    bytes = QByteArray(); // the file's copy is not needed while the image is built
    if (!picture || picture->width == 0 || picture->height == 0 || picture->bitsPerPixel == 0)
        return nullptr;
    try {
        return BuildImage(this, *picture);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool FreeImageCodec::NextPixelFormat(FormatQuery& query)
{
    if (m_id != kTargaId) return false;
    u32 entry;
    if (query.cursor == 0xFFFFFFFFu || query.cursor == 0)
        entry = 0, query.cursor = 1;
    else if (query.cursor <= 4)
        entry = query.cursor++;
    else
        return false;
    const Layout& layout = kTargaLayouts[entry];
    query.format.SetMasks(layout.red, layout.green, layout.blue, layout.alpha);
    query.format.SetBitCount(layout.bits);
    return true;
}
