#include "tools/tool_support.h"

#include "framework/item.h"
#include "framework/path.h"
#include "framework/plugin.h"
#include "framework/provider_kind.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"
#include "image/image.h"
#include "image/image_desc.h"

#include <QDir>

#include <climits>
#include <unistd.h>

QString AbsolutePathFromArgument(const char* argument)
{
    QString path = DecodeNativeName(QByteArray(argument));
    if (!path.startsWith(u'/')) {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            path = JoinPath(DecodeNativeName(QByteArray(cwd)), path);
    }
    return QDir::cleanPath(path);
}

QList<ImageCodec*> ImageFormats(ProviderManager& manager)
{
    QList<ImageCodec*> formats;
    for (Plugin* plugin = manager.FirstPlugin(); plugin; plugin = plugin->NextPluginInList()) {
        for (Provider* p = plugin->FirstProvider(); p; p = p->NextProviderInList()) {
            if (p->GetKind(nullptr) == kKindImageFormat) {
                if (auto* codec = dynamic_cast<ImageCodec*>(p))
                    formats.append(codec);
            }
        }
    }
    return formats;
}

QString FormatInfo(ImageCodec& codec, u32 index)
{
    QString text;
    codec.GetInfo(index, text);
    return text;
}

ImageCodec* FindImageFormat(ProviderManager& manager, const QString& shortName)
{
    for (ImageCodec* codec : ImageFormats(manager)) {
        if (FormatInfo(*codec, 0).compare(shortName, Qt::CaseInsensitive) == 0)
            return codec;
    }
    return nullptr;
}

QList<OfferedPixelFormat> OfferedPixelFormats(ImageCodec& codec, u32 subformat)
{
    QList<OfferedPixelFormat> list;
    FormatQuery query(subformat);
    while (codec.NextPixelFormat(query)) {
        const QString text = PixelFormatText(query.format);
        const qsizetype bracket = text.indexOf(u" [");
        list.append({query.format, query.index, text, bracket < 0 ? text : text.left(bracket)});
    }
    return list;
}

QList<OfferedCompression> OfferedCompressions(ImageCodec& codec, u32 formatIndex, u32 subformat)
{
    QList<OfferedCompression> list;
    CompressionQuery query(formatIndex);
    query.subformat = subformat;
    while (codec.NextCompression(query))
        list.append({query.name, query.code});
    return list;
}

Image* LoadItemImage(Item& item, ImageCodec** usedFormat)
{
    Provider* provider = nullptr;
    while (item.NextMatchingProvider(kKindImageFormat, provider)) {
        Stream* stream = item.OpenStream(kModeRead);
        if (!stream)
            return nullptr;
        RefObject* loaded = provider->OpenAs(stream, kKindImageFormat);
        item.CloseStream(stream, true);
        if (auto* image = dynamic_cast<Image*>(loaded)) {
            if (usedFormat)
                *usedFormat = dynamic_cast<ImageCodec*>(provider);
            return image;
        }
        if (loaded)
            loaded->Release();
    }
    return nullptr;
}

QString PixelLayoutText(const ImageDesc& desc)
{
    const PixelFormat* format = desc.GetPixelFormat();
    if (!format)
        return QString();
    if (desc.GetPalette())
        return QStringLiteral("%1 bit (paletted)").arg(format->BitsPerPixel());
    struct Channel
    {
        u32 mask;
        u32 bits;
        char letter;
    };
    const Channel channels[] = {
        {format->RedMask(), format->RedBits(), 'R'},
        {format->GreenMask(), format->GreenBits(), 'G'},
        {format->BlueMask(), format->BlueBits(), 'B'},
        {format->AlphaMask(), format->AlphaBits(), 'A'},
    };
    QString text;
    for (u32 byteMask : {0xFFu, 0xFF00u, 0xFF0000u, 0xFF000000u}) {
        for (const Channel& c : channels) {
            if (c.mask == byteMask) {
                if (!text.isEmpty())
                    text.append(u':');
                text.append(QLatin1Char(c.letter)).append(QString::number(c.bits));
            }
        }
    }
    return text;
}
