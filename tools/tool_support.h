#pragma once
// What the command-line tools share: paths from the command line, the image formats of a
// manager, and loading a file's picture the way the browser does.

#include "formats/image_codec.h"

#include <QList>
#include <QString>

class Image;
class Item;
class ProviderManager;

// A command-line argument as an absolute, clean path; its bytes survive even when they are
// not UTF-8.
QString AbsolutePathFromArgument(const char* argument);

// Every image format of the manager, in registration order.
QList<ImageCodec*> ImageFormats(ProviderManager& manager);
// The format with this short name (GetInfo 0), compared ignoring case; null when none.
ImageCodec* FindImageFormat(ProviderManager& manager, const QString& shortName);
QString FormatInfo(ImageCodec& codec, u32 index);

// One pixel format or compression a codec offers, with the data Save receives for it.
struct OfferedPixelFormat
{
    PixelFormat format;
    u32 index;
    QString text;  // as the convert pages show it, "R5G6B5 [16 bit color]"
    QString name;  // the text without the bracket, "R5G6B5"
};
struct OfferedCompression
{
    QString name;
    u32 code;
};
QList<OfferedPixelFormat> OfferedPixelFormats(ImageCodec& codec, u32 subformat = 0xFFFFFFFFu);
QList<OfferedCompression> OfferedCompressions(ImageCodec& codec, u32 formatIndex,
                                              u32 subformat = 0xFFFFFFFFu);

// Loads the item's picture through its image-format providers in binding order, trying the
// next one when a load fails. usedFormat receives the provider that loaded it.
Image* LoadItemImage(Item& item, ImageCodec** usedFormat = nullptr);

class ImageDesc;
// The pixel layout text the status bar shows for a source description: "8 bit (paletted)", or
// the byte-aligned channels lowest byte first ("B8:G8:R8:A8"); empty for other layouts.
QString PixelLayoutText(const ImageDesc& desc);
