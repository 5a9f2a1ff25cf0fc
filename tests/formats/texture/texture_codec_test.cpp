// The texture codec: exact file bytes, load rules, round trips, alpha and hostile headers.

#include "formats/texture/texture_codec.h"
#include "formats/texture/texture_image.h"
#include "formats/texture/texture_pipeline.h"
#include "formats/texture/texture_surface.h"
#include "framework/memory_stream.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <gtest/gtest.h>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

struct ImageDeleter
{
    void operator()(Image* image) const { image->Release(); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

u32 Argb(u32 a, u32 r, u32 g, u32 b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A picture with smooth gradients, some noise and a varying alpha.
std::vector<u32> Textured(u32 width, u32 height, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::vector<u32> pixels(u64(width) * height);
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x) {
            const int n = int(rng() % 9) - 4;
            auto c = [&](int v) { return u32(std::clamp(v + n, 0, 255)); };
            pixels[u64(y) * width + x] = Argb(
                u32((x * 255 / std::max(1u, width - 1) + y) % 256), c(int(x * 200 / width) + 20),
                c(int(y * 220 / height)), c(int((x + y) * 127 / (width + height)) + 60));
        }
    return pixels;
}

ImagePtr MakeImage(u32 width, u32 height, const std::vector<u32>& pixels, bool withAlpha)
{
    ImagePtr image(new Image());
    Surface* surface = image->AddFrame()->AddSurface();
    EXPECT_TRUE(surface->Create(width, height, withAlpha));
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x) {
            const u32 px = pixels[u64(y) * width + x];
            u8* d = surface->GetDC()->ScanLine(y) + 4 * x;
            d[0] = u8(px);
            d[1] = u8(px >> 8);
            d[2] = u8(px >> 16);
            if (withAlpha) surface->GetAlphaDC()->ScanLine(y)[x] = u8(px >> 24);
        }
    return image;
}

QByteArray SaveBytes(TextureCodec& codec, Image* image, u32 pixelFormat, u32 compression,
                     u32 mipLevels)
{
    MemoryStream stream;
    EXPECT_TRUE(codec.Save(image, &stream, 0xFFFFFFFF, pixelFormat, compression, mipLevels));
    return stream.Data();
}

ImagePtr LoadBytes(TextureCodec& codec, const QByteArray& bytes)
{
    MemoryStream stream(bytes, kModeRead);
    return ImagePtr(codec.Load(&stream));
}

TextureSurface* SurfaceOf(Image* image)
{
    return static_cast<TextureSurface*>(image->GetCurrentFrame()->GetCurrentSurface());
}

// The loaded picture as 0xAARRGGBB words (alpha 255 without an alpha plane).
std::vector<u32> PictureOf(Image* image)
{
    Surface* s = SurfaceOf(image);
    Bitmap* d = s->GetDC();
    Bitmap* a = s->GetAlphaDC();
    std::vector<u32> out(u64(d->Width()) * d->Height());
    for (u32 y = 0; y < d->Height(); ++y)
        for (u32 x = 0; x < d->Width(); ++x) {
            const u8* p = d->ScanLine(y) + 4 * x;
            out[u64(y) * d->Width() + x] = Argb(a ? a->ScanLine(y)[x] : 255, p[2], p[1], p[0]);
        }
    return out;
}

int MaxChannelError(const std::vector<u32>& a, const std::vector<u32>& b, int shift)
{
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst =
            std::max(worst, std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)));
    return worst;
}

double Psnr(const std::vector<u32>& a, const std::vector<u32>& b, std::initializer_list<int> shifts)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int s : shifts) {
            const double d = double((a[i] >> s) & 0xFF) - double((b[i] >> s) & 0xFF);
            sum += d * d;
        }
    const double mse = sum / double(a.size() * shifts.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

QByteArray Header(u32 version, u32 format, u32 mipLevels, u32 width, u32 height, u8 hasAlpha)
{
    QByteArray h(59, '\0');
    auto put = [&](int at, u32 v) {
        for (int i = 0; i < 4; ++i)
            h[at + i] = char(u8(v >> (8 * i)));
    };
    put(0, version);
    put(4, format);
    put(12, mipLevels);
    put(16, width);
    put(20, height);
    h[24] = char(hasAlpha);
    return h;
}

u32 WordAt(const QByteArray& bytes, int at)
{
    u32 v = 0;
    std::memcpy(&v, bytes.constData() + at, 4);
    return v;
}

TEST(TextureCodec, HeaderBytesAndLevelSizes)
{
    struct Case
    {
        u32 width, height;
        bool alphaPlane;
        u32 pixelFormat, compression, mipLevels;
        u32 code;
        u8 hasAlpha;
        std::vector<u64> levels;
    };
    const Case cases[] = {
        {256, 256, false, 0, 1, 0, 6, 0, {32768, 8192, 2048, 512, 128, 32, 8, 4, 2}},
        {256, 128, false, 0, 0, 1, 1, 0, {65536}},
        {256, 256, true, 3, 1, 2, 6, 1, {32768, 8192}},
        {8, 8, false, 0, 3, 0, 8, 1, {64, 16, 8, 4}},
        {8, 8, true, 0, 2, 0, 7, 1, {64, 16, 8, 4}},
        {4, 2, false, 4, 0, 0, 5, 1, {32, 8, 4}},
        {4, 2, true, 3, 0, 0, 4, 0, {32, 8, 4}},
        {5, 3, true, 1, 0, 2, 2, 1, {30, 4}},
        {5, 3, false, 2, 0, 1, 3, 1, {30}},
    };
    TextureCodec codec;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " code " << c.code);
        ImagePtr image = MakeImage(c.width, c.height, Textured(c.width, c.height), c.alphaPlane);
        const QByteArray file =
            SaveBytes(codec, image.get(), c.pixelFormat, c.compression, c.mipLevels);
        QByteArray expected = Header(1, c.code, c.mipLevels, c.width, c.height, c.hasAlpha);
        EXPECT_EQ(file.left(59), expected);
        u64 total = 59;
        for (u32 i = 0; i < c.levels.size(); ++i) {
            const u32 w = std::max(1u, c.width >> i);
            const u32 h = std::max(1u, c.height >> i);
            EXPECT_EQ(TextureLevelSize(c.code, w, h), c.levels[i]) << "level " << i;
            total += c.levels[i];
        }
        EXPECT_EQ(u64(file.size()), total);
    }
    EXPECT_EQ(
        SaveBytes(codec, MakeImage(256, 128, Textured(256, 128), false).get(), 0, 0, 1).size(),
        65595);
}

TEST(TextureCodec, ProbeRules)
{
    struct Case
    {
        QByteArray bytes;
        u32 kindMask;
        bool claimed;
    };
    const QByteArray good = Header(1, 5, 1, 4, 4, 0);
    const Case cases[] = {
        {good, 2, true},
        {good, 0, true},
        {good, 1, false},
        {good, 3, false},
        {good.left(58), 2, false},
        {Header(2, 5, 1, 4, 4, 0), 2, false},
        {Header(1, 77, 0, 0, 0, 0) + "anything", 2, true},
    };
    TextureCodec codec;
    for (const Case& c : cases) {
        MemoryStream stream(c.bytes, kModeRead);
        EXPECT_EQ(codec.Probe(nullptr, &stream, c.kindMask), c.claimed);
    }
    EXPECT_FALSE(codec.Probe(nullptr, nullptr, 2));
    MemoryStream stream(good + QByteArray(64, '\0'), kModeRead);
    EXPECT_TRUE(codec.Probe(nullptr, &stream, 2));
    EXPECT_EQ(stream.Tell(), 59u);
}

TEST(TextureCodec, LoadRulesByCode)
{
    struct Case
    {
        u32 code, width, height;
        u8 hasAlpha;
        bool loads;
        const char16_t* text;
        bool sourceDesc;
        u32 textureWidth, textureHeight;
    };
    const Case cases[] = {
        {5, 4, 4, 0, true, u"Uncompressed", true, 4, 4},
        {5, 4, 4, 1, true, u"Uncompressed", true, 4, 4},
        {1, 3, 5, 0, true, u"Uncompressed", true, 3, 5},
        {6, 2, 2, 0, true, u"", false, 4, 4}, // short data: no "DXT1"
        {9, 8, 8, 0, true, u"Unknown", false, 8, 8},
        {10, 8, 8, 1, true, u"Unknown", false, 8, 8},
        {0, 8, 8, 0, false, u"", false, 0, 0},
        {11, 8, 8, 0, false, u"", false, 0, 0},
    };
    TextureCodec codec;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        ImagePtr image = LoadBytes(codec, Header(1, c.code, 1, c.width, c.height, c.hasAlpha));
        ASSERT_EQ(image != nullptr, c.loads);
        if (!image) continue;
        EXPECT_NE(dynamic_cast<TextureImage*>(image.get()), nullptr);
        EXPECT_EQ(image->GetFormat(), &codec);
        TextureSurface* surface = SurfaceOf(image.get());
        EXPECT_EQ(surface->GetDC()->Width(), c.width);
        EXPECT_EQ(surface->GetDC()->Height(), c.height);
        EXPECT_EQ(surface->GetAlphaDC() != nullptr, c.hasAlpha != 0);
        EXPECT_EQ(surface->GetTextureWidth(), c.textureWidth);
        EXPECT_EQ(surface->GetTextureHeight(), c.textureHeight);
        EXPECT_EQ(surface->GetSourceBitDepth(), 32u);
        QString text;
        EXPECT_TRUE(surface->GetInfo(0, text));
        EXPECT_EQ(text, QString::fromUtf16(c.text));
        ImageDesc desc;
        EXPECT_EQ(surface->GetSourceDesc(desc), c.sourceDesc);
    }
    // The recorded masks of code 1 are descriptive: red in the low bits.
    ImagePtr image = LoadBytes(codec, Header(1, 1, 1, 2, 2, 0));
    ImageDesc desc;
    ASSERT_TRUE(SurfaceOf(image.get())->GetSourceDesc(desc));
    EXPECT_EQ(desc.GetPixelFormat()->RedMask(), 0x001Fu);
    EXPECT_EQ(desc.GetPixelFormat()->BlueMask(), 0xF800u);
    EXPECT_EQ(desc.GetPixelFormat()->BitsPerPixel(), 0u);
}

TEST(TextureCodec, HostileHeadersAreRefused)
{
    struct Case
    {
        u32 code, mipLevels, width, height;
        bool loads;
    };
    const Case cases[] = {
        {5, 1, 0, 4, false},
        {5, 1, 4, 0, false},
        {5, 1, 65537, 1, false},
        {6, 1, 1, 65537, false},
        {5, 1, 65536, 65536, false},
        {8, 1, 16384, 16385, false},
        {5, 1, 0xFFFFFFFF, 0xFFFFFFFF, false},
        {5, 10, 256, 256, false},
        {5, 9, 256, 256, true},
        {6, 4, 2, 2, false},
        {6, 3, 2, 2, true}, // the raised 4 x 4 allows 3
        {5, 0xFFFFFFFF, 4, 4, false},
    };
    TextureCodec codec;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " mips " << c.mipLevels);
        EXPECT_EQ(LoadBytes(codec, Header(1, c.code, c.mipLevels, c.width, c.height, 1)) != nullptr,
                  c.loads);
    }
}

TEST(TextureCodec, SaveRefusesBadArgumentsBeforeWriting)
{
    struct Case
    {
        u32 subformat, pixelFormat, compression, mipLevels;
    };
    const Case cases[] = {{1, 0, 0, 1}, {0, 5, 0, 1}, {0, 0, 4, 1}, {0, 0, 1, 10}, {0, 4, 0, 10}};
    TextureCodec codec;
    ImagePtr image = MakeImage(256, 256, Textured(256, 256), true);
    for (const Case& c : cases) {
        MemoryStream stream;
        EXPECT_FALSE(codec.Save(image.get(), &stream, c.subformat, c.pixelFormat, c.compression,
                                c.mipLevels));
        EXPECT_EQ(stream.GetSize(), 0u);
    }
    MemoryStream stream;
    ImagePtr empty(new Image());
    EXPECT_FALSE(codec.Save(empty.get(), &stream, 0, 0, 0, 1));
    EXPECT_FALSE(codec.Save(nullptr, &stream, 0, 0, 0, 1));
}

TEST(TextureCodec, UncompressedStoresRoundToNearest)
{
    // Pixels chosen so that rounding and truncating differ.
    const std::vector<u32> pixels = {Argb(9, 5, 3, 5), Argb(128, 8, 25, 26),
                                     Argb(127, 255, 0, 132)};
    struct Case
    {
        u32 pixelFormat;
        std::vector<u8> bytes;
    };
    const Case cases[] = {
        {0, {0x21, 0x08, 0xC3, 0x08, 0x10, 0xF8}},
        {1, {0x00, 0x10, 0x12, 0x80, 0x08, 0x7F}},
        {2, {0x01, 0x04, 0x63, 0x84, 0x10, 0x7C}},
        {3, {5, 3, 5, 0xFF, 26, 25, 8, 0xFF, 132, 0, 255, 0xFF}},
        {4, {5, 3, 5, 9, 26, 25, 8, 128, 132, 0, 255, 127}},
    };
    TextureCodec codec;
    ImagePtr image = MakeImage(3, 1, pixels, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixelFormat);
        const QByteArray file = SaveBytes(codec, image.get(), c.pixelFormat, 0, 1);
        ASSERT_EQ(u64(file.size()), 59 + c.bytes.size());
        EXPECT_EQ(std::vector<u8>(file.begin() + 59, file.end()), c.bytes);
    }
}

TEST(TextureCodec, SixteenBitUnitsWidenByBitReplication)
{
    struct Case
    {
        u32 code;
        u16 unit;
        u32 pixel;
    };
    const Case cases[] = {
        {1, 0xF800, Argb(255, 255, 0, 0)},     {1, 0x0821, Argb(255, 8, 4, 8)},
        {1, 0x8410, Argb(255, 132, 130, 132)}, {2, 0x8F4C, Argb(136, 255, 68, 204)},
        {2, 0x0000, Argb(0, 0, 0, 0)},         {3, 0x87E0, Argb(255, 8, 255, 0)},
        {3, 0x7FFF, Argb(0, 255, 255, 255)},
    };
    TextureCodec codec;
    for (const Case& c : cases) {
        QByteArray file = Header(1, c.code, 1, 1, 1, 1);
        file.append(char(c.unit & 0xFF));
        file.append(char(c.unit >> 8));
        ImagePtr image = LoadBytes(codec, file);
        ASSERT_TRUE(image);
        EXPECT_EQ(PictureOf(image.get())[0], c.pixel) << std::hex << c.unit;
    }
}

TEST(TextureCodec, RoundTripsOfEveryLayout)
{
    struct Case
    {
        u32 pixelFormat, compression;
        int maxRgbError;           // per channel, for the uncompressed layouts
        int maxAlphaError;         // -1: alpha is not kept
        double rgbPsnr, alphaPsnr; // floors for the block layouts
    };
    const Case cases[] = {
        {0, 0, 5, -1, 0, 0}, {1, 0, 9, 9, 0, 0},    {2, 0, 5, 128, 0, 0},   {3, 0, 0, -1, 0, 0},
        {4, 0, 0, 0, 0, 0},  {0, 1, -1, -1, 34, 0}, {0, 2, -1, -1, 34, 33}, {0, 3, -1, -1, 34, 40},
    };
    const u32 w = 61, h = 36; // edge blocks at the right
    const std::vector<u32> source = Textured(w, h);
    for (DxtLevel level : {DxtLevel::Quality, DxtLevel::Fast}) {
        TextureCodec codec;
        codec.SetEncoderLevel(level);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.pixelFormat << "/" << c.compression);
            // DXT1 would make the translucent half black: it is judged without an alpha plane.
            ImagePtr image = MakeImage(w, h, source, c.compression != 1);
            ImagePtr loaded =
                LoadBytes(codec, SaveBytes(codec, image.get(), c.pixelFormat, c.compression, 0));
            ASSERT_TRUE(loaded);
            const std::vector<u32> picture = PictureOf(loaded.get());
            if (c.compression == 0) {
                for (int shift : {0, 8, 16})
                    EXPECT_LE(MaxChannelError(picture, source, shift), c.maxRgbError);
                if (c.maxAlphaError >= 0) {
                    EXPECT_LE(MaxChannelError(picture, source, 24), c.maxAlphaError);
                }
            } else {
                EXPECT_GE(Psnr(picture, source, {0, 8, 16}), c.rgbPsnr);
                if (c.alphaPsnr > 0) {
                    EXPECT_GE(Psnr(picture, source, {24}), c.alphaPsnr);
                }
            }
        }
    }
}

TEST(TextureCodec, DxtCarriesTheAlphaPlane)
{
    const u32 w = 16, h = 12;
    std::vector<u32> source = Textured(w, h);
    for (u32 i = 0; i < source.size(); ++i)
        source[i] = (source[i] & 0xFFFFFF) | (i % 3 == 0 ? 0u : 0xFF000000u);
    struct Case
    {
        u32 compression;
        bool alphaPlane;
        u8 hasAlpha;
    };
    const Case cases[] = {{1, true, 1},  {1, false, 0}, {2, true, 1},
                          {2, false, 1}, {3, true, 1},  {3, false, 1}};
    TextureCodec codec;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "compression " << c.compression << " plane " << c.alphaPlane);
        ImagePtr image = MakeImage(w, h, source, c.alphaPlane);
        const QByteArray file = SaveBytes(codec, image.get(), 0, c.compression, 1);
        EXPECT_EQ(u8(file[24]), c.hasAlpha);
        ImagePtr loaded = LoadBytes(codec, file);
        ASSERT_TRUE(loaded);
        ASSERT_EQ(SurfaceOf(loaded.get())->GetAlphaDC() != nullptr, c.hasAlpha != 0);
        const std::vector<u32> picture = PictureOf(loaded.get());
        for (size_t i = 0; i < picture.size(); ++i) {
            const u32 expected = c.alphaPlane ? source[i] >> 24 : 255;
            ASSERT_EQ(picture[i] >> 24, expected) << i;
        }
    }
}

TEST(TextureCodec, LevelZeroOfNarrowBlockPicturesIsReadWhole)
{
    // Sizes whose (height x width) / 2 differs from the stored level size.
    struct Case
    {
        u32 width, height, compression;
    };
    const Case cases[] = {{5, 8, 1}, {6, 4, 3}, {13, 4, 2}, {2, 12, 1}};
    TextureCodec codec;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const std::vector<u32> source = Textured(c.width, c.height);
        ImagePtr image = MakeImage(c.width, c.height, source, false);
        const QByteArray file = SaveBytes(codec, image.get(), 0, c.compression, 1);
        ImagePtr loaded = LoadBytes(codec, file);
        ASSERT_TRUE(loaded);
        QString text;
        SurfaceOf(loaded.get())->GetInfo(0, text);
        EXPECT_TRUE(text.startsWith(u"DXT"));
        // Every block of the level comes back, not only the first (height x width) / 2 bytes.
        std::vector<u8> blocks;
        ASSERT_TRUE(EncodeTextureLevel(source.data(), c.width, c.height,
                                       kTextureDxt1 + c.compression - 1, false, DxtLevel::Quality,
                                       1, blocks));
        std::vector<u32> expected(source.size());
        const DxtFormat format = c.compression == 1   ? DxtFormat::Dxt1
                                 : c.compression == 2 ? DxtFormat::Dxt3
                                                      : DxtFormat::Dxt5;
        ASSERT_TRUE(
            DecodeDxt(blocks.data(), c.width, c.height, format, expected.data(), c.width * 4));
        EXPECT_EQ(PictureOf(loaded.get()), expected);
    }
}

TEST(TextureCodec, MipLevelsAreFullPrecisionBoxAverages)
{
    // Level 1 averages 0.5, 0.5, 0.25, 0.25 round to 1, 1, 0, 0, whose average would round to
    // 1; the sixteen pixels average 0.375, which rounds to 0.
    const u32 values[16] = {1, 1, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0};
    std::vector<u32> pixels(16);
    for (int i = 0; i < 16; ++i)
        pixels[i] = Argb(255, 0, 0, values[i]);
    TextureCodec codec;
    ImagePtr image = MakeImage(4, 4, pixels, false);
    const QByteArray file = SaveBytes(codec, image.get(), 3, 0, 0);
    ASSERT_EQ(file.size(), 59 + 64 + 16 + 4);
    EXPECT_EQ(WordAt(file, 59 + 64), 0xFF000001u);
    EXPECT_EQ(WordAt(file, 59 + 68), 0xFF000001u);
    EXPECT_EQ(WordAt(file, 59 + 72), 0xFF000000u);
    EXPECT_EQ(WordAt(file, 59 + 76), 0xFF000000u);
    EXPECT_EQ(WordAt(file, 59 + 80), 0xFF000000u);

    // A side of 1 pairs its pixel with itself; an odd side leaves its last column out.
    const std::vector<u32> row = {Argb(0, 10, 0, 0), Argb(255, 21, 0, 0), Argb(255, 200, 0, 0)};
    const QByteArray oddFile = SaveBytes(codec, MakeImage(3, 1, row, true).get(), 4, 0, 0);
    ASSERT_EQ(oddFile.size(), 59 + 12 + 4);
    EXPECT_EQ(WordAt(oddFile, 59 + 12), Argb(128, 16, 0, 0));
}

TEST(TextureCodec, DxtLevelsComeFromTheUncompressedChain)
{
    const u32 w = 64, h = 32;
    TextureCodec codec;
    ImagePtr image = MakeImage(w, h, Textured(w, h), true);
    const QByteArray plain = SaveBytes(codec, image.get(), 4, 0, 0);
    const QByteArray dxt = SaveBytes(codec, image.get(), 0, 3, 0);
    u64 plainAt = 59, dxtAt = 59;
    for (u32 level = 0; level < TextureChainLength(w, h); ++level) {
        const u32 lw = std::max(1u, w >> level), lh = std::max(1u, h >> level);
        std::vector<u32> picture(u64(lw) * lh);
        std::memcpy(picture.data(), plain.constData() + plainAt, picture.size() * 4);
        std::vector<u8> expected;
        ASSERT_TRUE(EncodeTextureLevel(picture.data(), lw, lh, kTextureDxt5, true,
                                       DxtLevel::Quality, 1, expected));
        EXPECT_EQ(0, std::memcmp(expected.data(), dxt.constData() + dxtAt, expected.size()))
            << "level " << level;
        plainAt += TextureLevelSize(kTextureA8R8G8B8, lw, lh);
        dxtAt += expected.size();
    }
    EXPECT_EQ(u64(dxt.size()), dxtAt);
}

TEST(TextureCodec, BytesDoNotDependOnThreadCount)
{
    ImagePtr image = MakeImage(203, 150, Textured(203, 150), true);
    for (u32 compression : {0u, 1u, 3u}) {
        TextureCodec one, many;
        one.SetThreadCount(1);
        many.SetThreadCount(3);
        const QByteArray file = SaveBytes(one, image.get(), 2, compression, 0);
        EXPECT_EQ(file, SaveBytes(many, image.get(), 2, compression, 0));
        EXPECT_EQ(PictureOf(LoadBytes(one, file).get()), PictureOf(LoadBytes(many, file).get()));
    }
}

TEST(TextureCodec, ShortLevelDataStillLoads)
{
    TextureCodec codec;
    ImagePtr image = MakeImage(8, 8, Textured(8, 8), true);
    for (u32 compression : {0u, 3u}) {
        QByteArray file = SaveBytes(codec, image.get(), 4, compression, 1);
        file.chop(20);
        ImagePtr loaded = LoadBytes(codec, file);
        ASSERT_TRUE(loaded);
        QString text;
        SurfaceOf(loaded.get())->GetInfo(0, text);
        EXPECT_EQ(text, compression == 0 ? u"Uncompressed" : u"");
    }
}

TEST(TextureCodec, TablesAndInformation)
{
    TextureCodec codec;
    for (u32 subformat : {0xFFFFFFFFu, 0u}) {
        FormatQuery formats(subformat);
        u32 count = 0;
        while (codec.NextPixelFormat(formats)) {
            EXPECT_EQ(formats.index, count);
            ++count;
        }
        EXPECT_EQ(count, 5u);
        EXPECT_EQ(formats.format.BitsPerPixel(), 32u);
        EXPECT_EQ(formats.format.AlphaMask(), 0xFF000000u);

        CompressionQuery compressions(4);
        compressions.subformat = subformat;
        QStringList names;
        while (codec.NextCompression(compressions))
            names << compressions.name;
        EXPECT_EQ(names,
                  QStringList({"Uncompressed", "DXT1 8x compressed [16 bit color, 1 bit alpha]",
                               "DXT3 4x compressed [16 bit color, 4 bit alpha]",
                               "DXT5 4x compressed [16 bit color, 8 bit indexed alpha]"}));
    }
    FormatQuery formats(1);
    EXPECT_FALSE(codec.NextPixelFormat(formats));
    CompressionQuery compressions(0);
    compressions.subformat = 1;
    EXPECT_FALSE(codec.NextCompression(compressions));

    FormatQuery first;
    ASSERT_TRUE(codec.NextPixelFormat(first));
    EXPECT_EQ(first.format.BitsPerPixel(), 16u);
    EXPECT_EQ(first.format.RedMask(), 0xF800u);

    const char* info[] = {"MRT", "* Morvalen Texture", "* Morvalen Texture file", ".t", ".t"};
    for (u32 i = 0; i < 5; ++i) {
        QString text;
        EXPECT_TRUE(codec.GetInfo(i, text));
        EXPECT_EQ(text, info[i]);
    }
    QString untouched = "x";
    EXPECT_FALSE(codec.GetInfo(5, untouched));
    EXPECT_EQ(untouched, "x");
    EXPECT_TRUE(codec.Supports(2));
    EXPECT_FALSE(codec.Supports(0));
    EXPECT_FALSE(codec.Supports(1));
    EXPECT_EQ(codec.GetKind(nullptr), 2u);
}

} // namespace
