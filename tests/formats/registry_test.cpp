// The standard plug-ins together: which providers a file gets, in which order.

#include "formats/freeimage/freeimage_codec.h"
#include "formats/freeimage/freeimage_plugin.h"
#include "formats/image_codec.h"
#include "formats/provider_registry.h"
#include "framework/item.h"
#include "framework/locate_item.h"
#include "framework/plugin.h"
#include "framework/provider_instance.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"
#include "image/image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace {
u32 Crc32(const QByteArray& bytes)
{
    u32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= u8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void Chunk(QByteArray& png, const char* type, const QByteArray& data)
{
    char length[4];
    qToBigEndian<u32>(u32(data.size()), length);
    png.append(length, 4);
    const QByteArray body = QByteArray(type, 4) + data;
    png.append(body);
    char crc[4];
    qToBigEndian<u32>(Crc32(body), crc);
    png.append(crc, 4);
}

// A w x h 8-bit RGB PNG of one colour.
QByteArray SolidPng(u32 w, u32 h, u8 r, u8 g, u8 b)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, 0);
    qToBigEndian<u32>(w, header.data());
    qToBigEndian<u32>(h, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 2; // RGB
    Chunk(png, "IHDR", header);
    QByteArray raw;
    for (u32 y = 0; y < h; ++y) {
        raw.append(char(0));
        for (u32 x = 0; x < w; ++x)
            raw.append(char(r)).append(char(g)).append(char(b));
    }
    Chunk(png, "IDAT", qCompress(raw).mid(4)); // a zlib stream after Qt's length prefix
    Chunk(png, "IEND", {});
    return png;
}

QByteArray SolidBmp(u32 w, u32 h)
{
    const u32 stride = (w * 3 + 3) & ~3u;
    QByteArray bmp(54 + stride * h, 0);
    char* p = bmp.data();
    p[0] = 'B', p[1] = 'M';
    qToLittleEndian<u32>(u32(bmp.size()), p + 2);
    qToLittleEndian<u32>(54, p + 10);
    qToLittleEndian<u32>(40, p + 14);
    qToLittleEndian<u32>(w, p + 18);
    qToLittleEndian<u32>(h, p + 22);
    qToLittleEndian<u16>(1, p + 26);
    qToLittleEndian<u16>(24, p + 28);
    for (qsizetype i = 54; i < bmp.size(); ++i)
        p[i] = char(i);
    return bmp;
}

QString ShortName(Provider* provider)
{
    QString name;
    if (provider)
        provider->GetInfo(0, name);
    return name;
}

struct Registry : testing::Test
{
    TempDir temp;
    ProviderManager* manager = CreateProviderManager();
    ~Registry() override { manager->Release(); }

    QStringList Bound(const QString& relative)
    {
        Item* item = LocateItem(*manager, temp / relative);
        QStringList names;
        if (!item)
            return names;
        item->GetProvider(2);
        for (ProviderInstance* i = item->FirstInstance(); i; i = i->NextInItem())
            names.append(ShortName(i->GetProvider()));
        return names;
    }
};
} // namespace

TEST_F(Registry, PluginsAndProvidersInTheirOrder)
{
    auto* library = dynamic_cast<FreeImagePlugin*>(manager->FirstPlugin());
    ASSERT_NE(library, nullptr);
    int count = 0;
    for (Provider* p = library->FirstProvider(); p; p = p->NextProviderInList())
        ++count;
    EXPECT_EQ(count, 29);
    QStringList builtin;
    for (Provider* p = manager->LastPlugin()->FirstProvider(); p; p = p->NextProviderInList())
        builtin.append(ShortName(p));
    EXPECT_EQ(builtin, QStringList({"PosixFS", "MRT", "BMP"}));
}

TEST_F(Registry, FilesAreClassifiedByTheirBytesOnly)
{
    temp.WriteFile("picture.bmp", SolidBmp(3, 2));
    temp.WriteFile("really-a-png.bmp", SolidPng(5, 4, 10, 20, 30));
    temp.WriteFile("notes.png", "just some text, not a picture");
    // Both the built-in reader and the library read a BMP: the built-in one is bound first.
    EXPECT_EQ(Bound("picture.bmp"), QStringList({"BMP", "Microsoft Windows Bitmap"}));
    EXPECT_EQ(Bound("really-a-png.bmp"), QStringList({"Portable Network Graphics"}));
    EXPECT_EQ(Bound("notes.png"), QStringList());

    Item* png = LocateItem(*manager, temp / "really-a-png.bmp");
    Stream* stream = png->OpenStream(kModeRead);
    auto* codec = dynamic_cast<ImageCodec*>(png->GetProvider(2));
    ASSERT_NE(codec, nullptr);
    Image* image = codec->Load(stream);
    png->CloseStream(stream, true);
    ASSERT_NE(image, nullptr);
    Size size;
    EXPECT_TRUE(image->GetSize(size));
    EXPECT_EQ(size, (Size{5, 4}));
    image->Release();
}

TEST_F(Registry, CodecBaseAnswers)
{
    temp.WriteFile("picture.bmp", SolidBmp(2, 2));
    Item* item = LocateItem(*manager, temp / "picture.bmp");
    auto* bmp = dynamic_cast<ImageCodec*>(manager->LastPlugin()->LastProvider());
    ASSERT_NE(bmp, nullptr);
    EXPECT_TRUE(bmp->Accepts(item, nullptr, 2));
    EXPECT_FALSE(bmp->Accepts(item, nullptr, 1));
    EXPECT_FALSE(bmp->Accepts(item, nullptr, 3));
    QString out = "unchanged";
    EXPECT_FALSE(bmp->GetInfo(5, out));
    EXPECT_EQ(out, "unchanged");
    Stream* stream = item->OpenStream(kModeRead);
    EXPECT_EQ(bmp->OpenAs(stream, 1), nullptr);
    EXPECT_EQ(stream->Tell(), 0u); // not read
    RefObject* loaded = bmp->OpenAs(stream, 2);
    EXPECT_NE(dynamic_cast<Image*>(loaded), nullptr);
    if (loaded)
        loaded->Release();
    item->CloseStream(stream, true);
}

TEST_F(Registry, LibraryFormatTables)
{
    auto* library = dynamic_cast<FreeImagePlugin*>(manager->FirstPlugin());
    ASSERT_NE(library, nullptr);
    FreeImageCodec* png = library->GetCodec(12);
    FreeImageCodec* tga = library->GetCodec(14);
    FreeImageCodec* dds = library->GetCodec(20);
    ASSERT_TRUE(png && tga && dds);
    FormatQuery query;
    EXPECT_FALSE(png->NextPixelFormat(query));
    int formats = 0;
    FormatQuery tgaQuery;
    while (tga->NextPixelFormat(tgaQuery))
        ++formats;
    EXPECT_EQ(formats, 5);
    EXPECT_EQ(tgaQuery.index, 0xFFFFFFFFu);
    CompressionQuery compression;
    EXPECT_FALSE(tga->NextCompression(compression));
    QString text;
    EXPECT_TRUE(tga->GetInfo(3, text));
    EXPECT_EQ(text, ".tga;.vda;.icb;.vst");

    // The DirectDraw entry wants its magic before the library sees anything.
    temp.WriteFile("fake.dds", QByteArray(128, 'x'));
    Item* item = LocateItem(*manager, temp / "fake.dds");
    Stream* stream = item->OpenStream(kModeRead);
    EXPECT_EQ(dds->Load(stream), nullptr);
    item->CloseStream(stream, true);
}
