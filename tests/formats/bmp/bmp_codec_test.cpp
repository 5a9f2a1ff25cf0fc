#include "bmp_builder.h"
#include "byte_stream.h"

#include "formats/bmp/bmp_codec.h"
#include "formats/bmp/bmp_read.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct ImageReleaser
{
    void operator()(Image* image) const
    {
        if (image) image->Release();
    }
};
using ImagePtr = std::unique_ptr<Image, ImageReleaser>;

struct BmpDataDeleter
{
    void operator()(BmpData* data) const { BmpFree(data); }
};
using BmpDataPtr = std::unique_ptr<BmpData, BmpDataDeleter>;

ImagePtr LoadBytes(BmpCodec& codec, const QByteArray& bytes)
{
    ByteStream stream(bytes);
    return ImagePtr(codec.Load(&stream));
}

bool ProbeBytes(BmpCodec& codec, const QByteArray& bytes, u32 kindMask = 2)
{
    ByteStream stream(bytes);
    return codec.Probe(nullptr, &stream, kindMask);
}

// A reader over bytes that remembers the largest single read it was asked for.
struct CountingReader
{
    BmpReader reader;
    const QByteArray* bytes;
    u64 position = 0;
    u64 largestRequest = 0;
};

BmpDataPtr ReadBytes(const QByteArray& bytes, u64* largestRequest = nullptr)
{
    CountingReader counting{};
    counting.bytes = &bytes;
    counting.reader.read = [](BmpReader* r, void* to, u32 count) -> u32 {
        auto* self = reinterpret_cast<CountingReader*>(r);
        self->largestRequest = std::max<u64>(self->largestRequest, count);
        const u64 size = u64(self->bytes->size());
        const u64 left = self->position < size ? size - self->position : 0;
        const u32 n = u32(std::min<u64>(count, left));
        std::memcpy(to, self->bytes->constData() + self->position, n);
        self->position += n;
        return n;
    };
    counting.reader.size = [](BmpReader* r) -> u64 {
        return u64(reinterpret_cast<CountingReader*>(r)->bytes->size());
    };
    counting.reader.seek = [](BmpReader* r, u64 position) {
        reinterpret_cast<CountingReader*>(r)->position = position;
        return true;
    };
    BmpDataPtr data(BmpRead(&counting.reader));
    if (largestRequest) *largestRequest = counting.largestRequest;
    return data;
}

Surface* OnlySurface(Image& image)
{
    Frame* frame = image.GetCurrentFrame();
    return frame ? frame->GetCurrentSurface() : nullptr;
}

// Display pixels as 0xRRGGBB, in memory order (bottom row first).
std::vector<u32> DisplayPixels(Surface& surface)
{
    const BitmapInfoHeader& header = surface.GetDisplayHeader();
    const u32 count = u32(header.biWidth) * u32(header.biHeight);
    std::vector<u32> out(count);
    const u8* bits = surface.LockBits();
    for (u32 i = 0; i < count; ++i) {
        u32 word;
        std::memcpy(&word, bits + 4 * i, 4);
        out[i] = word & 0xFFFFFF;
    }
    return out;
}

std::vector<u8> Le16(std::initializer_list<u16> values)
{
    std::vector<u8> out;
    for (u16 v : values) {
        out.push_back(u8(v));
        out.push_back(u8(v >> 8));
    }
    return out;
}

std::vector<u8> Le32(std::initializer_list<u32> values)
{
    std::vector<u8> out;
    for (u32 v : values)
        for (int i = 0; i < 4; ++i)
            out.push_back(u8(v >> (8 * i)));
    return out;
}

const std::vector<u32> kSixteen = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

std::vector<u32> Grey256()
{
    std::vector<u32> palette(256);
    for (u32 i = 0; i < 256; ++i)
        palette[i] = 0x010101 * (255 - i);
    return palette;
}

struct DepthCase
{
    const char* name;
    BmpLayout layout;
    // Display colours in memory order, bottom row first.
    std::vector<u32> expected;
};

std::vector<DepthCase> DepthCases()
{
    std::vector<DepthCase> cases;
    {
        BmpLayout s;
        s.bits = 1;
        s.width = 3;
        s.height = 2;
        s.palette = {0x102030, 0xF0E0D0};
        s.rows = {{0b10100000}, {0b01000000}};
        cases.push_back({"1 bit", s, {0xF0E0D0, 0x102030, 0xF0E0D0, 0x102030, 0xF0E0D0, 0x102030}});
    }
    {
        BmpLayout s;
        s.bits = 2;
        s.width = 3;
        s.height = 1;
        s.palette = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
        s.rows = {{0b00011011}};
        cases.push_back({"2 bit", s, {0x000000, 0x555555, 0xAAAAAA}});
    }
    {
        // biClrUsed says 6, yet the table holds 16 entries and index 12 is used.
        BmpLayout s;
        s.bits = 4;
        s.width = 3;
        s.height = 2;
        s.clrUsed = 6;
        s.palette = kSixteen;
        s.rows = {{0x1C, 0xF0}, {0x59, 0x00}};
        cases.push_back({"4 bit, biClrUsed 6",
                         s,
                         {0x800000, 0x0000FF, 0xFFFFFF, 0x800080, 0xFF0000, 0x000000}});
    }
    {
        BmpLayout s;
        s.bits = 8;
        s.width = 3;
        s.height = 2;
        s.palette = Grey256();
        s.rows = {{0, 1, 255}, {128, 7, 64}};
        cases.push_back({"8 bit", s, {0xFFFFFF, 0xFEFEFE, 0x000000, 0x7F7F7F, 0xF8F8F8, 0xBFBFBF}});
    }
    {
        BmpLayout s;
        s.bits = 16;
        s.width = 3;
        s.height = 1;
        s.rows = {Le16({0x7C00, 0x03E0, 0x801F})}; // the top bit is unused in 5-5-5
        cases.push_back({"16 bit 5-5-5 default", s, {0xFF0000, 0x00FF00, 0x0000FF}});
    }
    {
        BmpLayout s;
        s.bits = 16;
        s.width = 3;
        s.height = 2;
        s.compression = 3;
        s.masks = {0xF800, 0x07E0, 0x001F};
        s.rows = {Le16({0xF800, 0x07E0, 0x001F}), Le16({0xFFFF, 0x0000, 0x8410})};
        cases.push_back({"16 bit 5-6-5 bit fields",
                         s,
                         {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x848284}});
    }
    {
        BmpLayout s;
        s.bits = 16;
        s.width = 3;
        s.height = 1;
        s.headerSize = 124;
        s.compression = 3;
        s.masks = {0xF800, 0x07E0, 0x001F, 0};
        s.rows = {Le16({0xF800, 0x07E0, 0x001F})};
        cases.push_back({"16 bit 5-6-5, 124-byte header", s, {0xFF0000, 0x00FF00, 0x0000FF}});
    }
    {
        BmpLayout s;
        s.bits = 16;
        s.width = 2;
        s.height = 1;
        s.headerSize = 108;
        s.compression = 3;
        s.masks = {0x7C00, 0x03E0, 0x001F, 0x8000};
        s.rows = {Le16({0xFC00, 0x03E0})};
        cases.push_back({"16 bit 1-5-5-5, 108-byte header", s, {0xFF0000, 0x00FF00}});
    }
    {
        BmpLayout s;
        s.bits = 24;
        s.width = 3;
        s.height = 2;
        s.rows = {{0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0xAA, 0xBB, 0xCC},
                  {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF}};
        cases.push_back(
            {"24 bit", s, {0x030201, 0x302010, 0xCCBBAA, 0x0000FF, 0x00FF00, 0xFF0000}});
    }
    {
        BmpLayout s;
        s.bits = 32;
        s.width = 2;
        s.height = 1;
        s.rows = {Le32({0x00123456, 0xFFABCDEF})};
        cases.push_back({"32 bit default", s, {0x123456, 0xABCDEF}});
    }
    {
        // Channels in an unusual order: only the masks can tell.
        BmpLayout s;
        s.bits = 32;
        s.width = 2;
        s.height = 1;
        s.compression = 3;
        s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
        s.rows = {Le32({0x00123456, 0x000000FF})};
        cases.push_back({"32 bit bit fields, 40-byte header", s, {0x563412, 0xFF0000}});
    }
    {
        BmpLayout s;
        s.bits = 32;
        s.width = 2;
        s.height = 1;
        s.headerSize = 124;
        s.compression = 3;
        s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0};
        s.rows = {Le32({0x12345600, 0xFF000000})};
        cases.push_back({"32 bit bit fields, 124-byte header", s, {0x123456, 0xFF0000}});
    }
    {
        BmpLayout s;
        s.bits = 32;
        s.width = 1;
        s.height = 1;
        s.headerSize = 52;
        s.compression = 3;
        s.masks = {0x0000FF00, 0x00FF0000, 0xFF000000};
        s.rows = {Le32({0x11223300})};
        cases.push_back({"32 bit bit fields, 52-byte header", s, {0x332211}});
    }
    {
        // Top-down: the first stored row is the top one.
        BmpLayout s;
        s.bits = 24;
        s.width = 1;
        s.height = -3;
        s.rows = {{0, 0, 0xFF}, {0, 0xFF, 0}, {0xFF, 0, 0}};
        cases.push_back({"24 bit top-down", s, {0x0000FF, 0x00FF00, 0xFF0000}});
    }
    {
        BmpLayout s;
        s.bits = 8;
        s.width = 2;
        s.height = -2;
        s.palette = Grey256();
        s.rows = {{0, 1}, {2, 3}};
        cases.push_back({"8 bit top-down", s, {0xFDFDFD, 0xFCFCFC, 0xFFFFFF, 0xFEFEFE}});
    }
    return cases;
}

TEST(BmpCodecLoad, EveryDepthAndHeaderGivesTheFileColours)
{
    BmpCodec codec;
    for (const DepthCase& c : DepthCases()) {
        SCOPED_TRACE(c.name);
        ImagePtr image = LoadBytes(codec, BuildBmp(c.layout));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetFormat(), &codec);
        Surface* surface = OnlySurface(*image);
        ASSERT_NE(surface, nullptr);
        const BitmapInfoHeader& header = surface->GetDisplayHeader();
        EXPECT_EQ(header.biWidth, c.layout.width);
        EXPECT_EQ(header.biHeight, c.layout.height < 0 ? -c.layout.height : c.layout.height);
        EXPECT_EQ(surface->GetSourceBitDepth(), c.layout.bits);
        EXPECT_EQ(surface->GetAlphaDC(), nullptr);
        QString text;
        EXPECT_TRUE(surface->GetInfo(0, text));
        EXPECT_EQ(text, QStringLiteral("Uncompressed"));
        EXPECT_EQ(DisplayPixels(*surface), c.expected);
    }
}

struct MaskCase
{
    const char* name;
    BmpLayout layout;
    std::array<u32, 4> masks; // red, green, blue, alpha
};

TEST(BmpRead, MasksComeFromWhereTheHeaderVersionKeepsThem)
{
    auto layout = [](u32 headerSize, u16 bits, u32 compression, std::vector<u32> masks) {
        BmpLayout s;
        s.headerSize = headerSize;
        s.bits = bits;
        s.compression = compression;
        s.masks = std::move(masks);
        s.rows = {std::vector<u8>(bits / 8, 0x5A)};
        return s;
    };
    const MaskCase cases[] = {
        {"16 bit default", layout(40, 16, 0, {}), {0x7C00, 0x3E0, 0x1F, 0}},
        {"24 bit default", layout(40, 24, 0, {}), {0xFF0000, 0xFF00, 0xFF, 0}},
        {"32 bit default", layout(40, 32, 0, {}), {0xFF0000, 0xFF00, 0xFF, 0}},
        {"40 bytes, then 12", layout(40, 16, 3, {0xF800, 0x7E0, 0x1F}), {0xF800, 0x7E0, 0x1F, 0}},
        {"52 bytes", layout(52, 32, 3, {0xFF, 0xFF00, 0xFF0000}), {0xFF, 0xFF00, 0xFF0000, 0}},
        {"56 bytes", layout(56, 16, 3, {0xF00, 0xF0, 0xF, 0xF000}), {0xF00, 0xF0, 0xF, 0xF000}},
        {"108 bytes",
         layout(108, 16, 3, {0x7C00, 0x3E0, 0x1F, 0x8000}),
         {0x7C00, 0x3E0, 0x1F, 0x8000}},
        {"124 bytes",
         layout(124, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
         {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
        // A version-5 header without bit fields: the masks it carries do not apply.
        {"124 bytes, no bit fields",
         layout(124, 32, 0, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
         {0xFF0000, 0xFF00, 0xFF, 0}},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpDataPtr data = ReadBytes(BuildBmp(c.layout));
        ASSERT_TRUE(data);
        EXPECT_EQ(data->redMask, c.masks[0]);
        EXPECT_EQ(data->greenMask, c.masks[1]);
        EXPECT_EQ(data->blueMask, c.masks[2]);
        EXPECT_EQ(data->alphaMask, c.masks[3]);
        EXPECT_EQ(data->InfoHeader().biSize, c.layout.headerSize);
    }
}

TEST(BmpRead, OnePixelWide24BitRowsAdvanceByFourBytes)
{
    BmpLayout s;
    s.bits = 24;
    s.width = 1;
    s.height = 3;
    s.rows = {{0x11, 0x22, 0x33}, {0x44, 0x55, 0x66}, {0x77, 0x88, 0x99}};
    const QByteArray bytes = BuildBmp(s);
    BmpDataPtr data = ReadBytes(bytes);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->stride, 4u);
    EXPECT_EQ(data->pixelSize, 12u);
    EXPECT_EQ(data->paletteSize, 0u);
    EXPECT_EQ(data->palette, nullptr);

    BmpCodec codec;
    ImagePtr image = LoadBytes(codec, bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(DisplayPixels(*OnlySurface(*image)),
              (std::vector<u32>{0x332211, 0x665544, 0x998877}));
}

TEST(BmpRead, IndexedFilesReadTheWholeTableWhateverBiClrUsedSays)
{
    BmpLayout s;
    s.bits = 4;
    s.width = 1;
    s.height = 1;
    s.clrUsed = 6;
    s.palette = kSixteen;
    s.rows = {{0xF0}};
    BmpDataPtr data = ReadBytes(BuildBmp(s));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->paletteSize, 16u);
    ASSERT_EQ(data->palette, data->info + 40);
    EXPECT_EQ(data->palette[4 * 15], 0xFF);
    EXPECT_EQ(data->stride, 4u);
}

TEST(BmpCodecProbe, FollowsTheSignatureSizeAndHeaderRules)
{
    BmpLayout base;
    base.bits = 24;
    base.rows = {{1, 2, 3}};

    struct ProbeCase
    {
        const char* name;
        char signature[2];
        u32 bfSize; // 0: the file's real size
        u32 headerSize;
        bool probes;
        bool loads;
    };
    const ProbeCase cases[] = {
        {"BM, right size", {'B', 'M'}, 0, 40, true, true},
        {"BM, wrong size", {'B', 'M'}, 12345, 40, true, true},
        {"other bytes, right size", {'X', 'Y'}, 0, 40, true, true},
        {"other bytes, right size, 124-byte header", {'X', 'Y'}, 0, 124, true, true},
        // The probe also takes a 40-byte header alone; the loader does not.
        {"other bytes, wrong size, 40-byte header", {'X', 'Y'}, 12345, 40, true, false},
        {"other bytes, wrong size, 124-byte header", {'X', 'Y'}, 12345, 124, false, false},
    };
    BmpCodec codec;
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpLayout s = base;
        s.signature[0] = c.signature[0];
        s.signature[1] = c.signature[1];
        s.bfSize = c.bfSize;
        s.headerSize = c.headerSize;
        const QByteArray bytes = BuildBmp(s);
        EXPECT_EQ(ProbeBytes(codec, bytes), c.probes);
        EXPECT_EQ(LoadBytes(codec, bytes) != nullptr, c.loads);
    }
}

TEST(BmpCodecProbe, NeedsAStreamTheKindAndFiftyFourBytes)
{
    BmpLayout s;
    s.rows = {{1, 2, 3}};
    const QByteArray bytes = BuildBmp(s);
    BmpCodec codec;
    EXPECT_TRUE(ProbeBytes(codec, bytes, 0));
    EXPECT_FALSE(ProbeBytes(codec, bytes, 1));
    EXPECT_FALSE(ProbeBytes(codec, bytes, 3));
    EXPECT_FALSE(codec.Probe(nullptr, nullptr, 2));
    EXPECT_FALSE(ProbeBytes(codec, bytes.left(53)));
    EXPECT_FALSE(ProbeBytes(codec, bytes.left(10)));

    // It reads from where the stream stands and leaves it there.
    ByteStream stream(QByteArray(3, 'z') + bytes);
    ASSERT_TRUE(stream.Seek(3, kSeekBegin));
    EXPECT_TRUE(codec.Probe(nullptr, &stream, 2));
    EXPECT_EQ(stream.Tell(), 3u + 54u);
}

TEST(BmpCodecLoad, CompressedFilesProbeButDoNotLoad)
{
    BmpCodec codec;
    struct CompressedCase
    {
        const char* name;
        u16 bits;
        u32 compression;
    };
    const CompressedCase cases[] = {
        {"RLE8", 8, 1}, {"RLE4", 4, 2}, {"JPEG", 24, 4}, {"PNG", 24, 5}, {"unknown 7", 24, 7},
    };
    for (const CompressedCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpLayout s;
        s.bits = c.bits;
        s.compression = c.compression;
        s.width = 2;
        s.height = 2;
        if (c.bits <= 8) s.palette.assign(size_t(1) << c.bits, 0x808080);
        // An RLE8 picture of two rows: "2 x colour 1", end of line, "2 x colour 1", end.
        s.rows = {{2, 1, 0, 0, 2, 1, 0, 1}};
        const QByteArray bytes = BuildBmp(s);
        EXPECT_TRUE(ProbeBytes(codec, bytes));
        EXPECT_EQ(LoadBytes(codec, bytes), nullptr);
    }
}

// A valid 2 x 2, 24-bit file: the base the hostile headers below are patched from.
constexpr unsigned char kTwoByTwo[] = {
    'B',  'M', 70,   0,    0,    0,    0, 0, 0, 0, 54, 0, 0, 0, // file header
    40,   0,   0,    0,    2,    0,    0, 0, 2, 0, 0,  0, 1, 0,
    24,   0, // size, width, height, planes, bits
    0,    0,   0,    0,    16,   0,    0, 0, 0, 0, 0,  0, 0, 0,
    0,    0,                                 // compression, image size, density
    0,    0,   0,    0,    0,    0,    0, 0, // colours used, important
    0xFF, 0,   0,    0,    0xFF, 0,    0, 0, // bottom row, padded
    0,    0,   0xFF, 0xFF, 0xFF, 0xFF, 0, 0, // top row, padded
};
static_assert(sizeof(kTwoByTwo) == 70);

QByteArray TwoByTwo()
{
    return QByteArray(reinterpret_cast<const char*>(kTwoByTwo), sizeof kTwoByTwo);
}

TEST(BmpCodecLoad, TheBaseFixtureLoads)
{
    BmpCodec codec;
    ImagePtr image = LoadBytes(codec, TwoByTwo());
    ASSERT_TRUE(image);
    EXPECT_EQ(DisplayPixels(*OnlySurface(*image)),
              (std::vector<u32>{0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}));
}

TEST(BmpCodecLoad, HostileHeadersFailWithoutAllocatingForThem)
{
    struct Patch
    {
        const char* name;
        int offset;
        int width; // 2 or 4 bytes
        u32 value;
    };
    const Patch patches[] = {
        {"header size 39", 14, 4, 39},
        {"header size beyond the file", 14, 4, 0xFFFFFFF0},
        {"width 0", 18, 4, 0},
        {"width -2", 18, 4, u32(-2)},
        {"width 65537", 18, 4, 65537},
        {"height 0", 22, 4, 0},
        {"height 65537", 22, 4, 65537},
        {"height -65537", 22, 4, u32(-65537)},
        {"height INT_MIN", 22, 4, 0x80000000u},
        {"20000 x 20000 pixels", 18, 4, 20000}, // with the height patched below
        {"65536 x 2 claims more than the file", 18, 4, 65536},
        {"bits 0", 28, 2, 0},
        {"bits 7", 28, 2, 7},
        {"bits 12", 28, 2, 12},
        {"bits 33", 28, 2, 33},
        {"bits 64", 28, 2, 64},
        {"bits 30000", 28, 2, 30000},
        {"pixels past the end", 10, 4, 60},
        {"offset beyond the file", 10, 4, 0xFFFFFFF0},
    };
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.name);
        QByteArray bytes = TwoByTwo();
        if (p.width == 2)
            PutU16(bytes, p.offset, u16(p.value));
        else
            PutU32(bytes, p.offset, p.value);
        if (std::strcmp(p.name, "20000 x 20000 pixels") == 0) PutU32(bytes, 22, 20000);
        u64 largestRequest = 0;
        EXPECT_FALSE(ReadBytes(bytes, &largestRequest));
        EXPECT_LE(largestRequest, 64u);
        BmpCodec codec;
        EXPECT_EQ(LoadBytes(codec, bytes), nullptr);
    }
}

TEST(BmpCodecLoad, TruncatedFilesFail)
{
    const QByteArray whole = TwoByTwo();
    BmpCodec codec;
    for (int length : {0, 13, 14, 30, 53, 54, 60, 69}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(LoadBytes(codec, whole.left(length)), nullptr);
    }
    // Truncated inside the colour table and inside the mask block.
    BmpLayout indexed;
    indexed.bits = 8;
    indexed.palette = Grey256();
    indexed.rows = {{0}};
    EXPECT_EQ(LoadBytes(codec, BuildBmp(indexed).left(14 + 40 + 500)), nullptr);
    BmpLayout fields;
    fields.bits = 16;
    fields.compression = 3;
    fields.masks = {0xF800, 0x7E0, 0x1F};
    fields.rows = {{0, 0}};
    EXPECT_EQ(LoadBytes(codec, BuildBmp(fields).left(14 + 40 + 8)), nullptr);
}

TEST(BmpCodec, AnswersItsTablesAndCannotWrite)
{
    BmpCodec codec;
    const char* const info[] = {"BMP", "Windows BMP", "Windows bitmap file", ".bmp;.dib", ".bmp"};
    for (u32 i = 0; i < 5; ++i) {
        QString out;
        EXPECT_TRUE(codec.GetInfo(i, out));
        EXPECT_EQ(out, QString::fromLatin1(info[i]));
    }
    QString untouched = QStringLiteral("keep");
    EXPECT_FALSE(codec.GetInfo(5, untouched));
    EXPECT_EQ(untouched, QStringLiteral("keep"));
    for (u32 feature : {0u, 1u, 2u, 3u, 0xFFFFFFFFu})
        EXPECT_FALSE(codec.Supports(feature));

    ByteStream target(QByteArray{});
    ImagePtr image = LoadBytes(codec, TwoByTwo());
    EXPECT_FALSE(codec.Save(image.get(), &target, 0, 5, 0, 1));
    EXPECT_EQ(target.Writes(), 0);
    EXPECT_EQ(target.Tell(), 0u);

    EXPECT_TRUE(codec.Accepts(nullptr, nullptr, 2));
    EXPECT_FALSE(codec.Accepts(nullptr, nullptr, 1));
    EXPECT_FALSE(codec.Accepts(nullptr, nullptr, 3));
    EXPECT_EQ(codec.GetKind(nullptr), 2u);
}

TEST(BmpCodec, OpenAsLoadsOnlyForImages)
{
    BmpCodec codec;
    ByteStream stream(TwoByTwo());
    EXPECT_EQ(codec.OpenAs(&stream, 1), nullptr);
    EXPECT_EQ(stream.Tell(), 0u);
    RefObject* object = codec.OpenAs(&stream, 2);
    ASSERT_NE(object, nullptr);
    object->Release();
}

TEST(BmpCodec, OffersTheFiveWritableFormats)
{
    BmpCodec codec;
    struct Expected
    {
        u32 index, bits, red, green, blue, alpha;
    };
    const Expected expected[] = {
        {2, 8, 0, 0, 0, 0},
        {3, 15, 0x7C00, 0x3E0, 0x1F, 0},
        {4, 16, 0xF800, 0x7E0, 0x1F, 0},
        {5, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {6, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    };
    for (u32 subformat : {0xFFFFFFFFu, 0u}) {
        SCOPED_TRACE(subformat);
        FormatQuery query(subformat);
        for (const Expected& e : expected) {
            ASSERT_TRUE(codec.NextPixelFormat(query));
            EXPECT_EQ(query.index, e.index);
            EXPECT_EQ(query.format.BitsPerPixel(), e.bits);
            EXPECT_EQ(query.format.RedMask(), e.red);
            EXPECT_EQ(query.format.GreenMask(), e.green);
            EXPECT_EQ(query.format.BlueMask(), e.blue);
            EXPECT_EQ(query.format.AlphaMask(), e.alpha);
        }
        EXPECT_FALSE(codec.NextPixelFormat(query));
    }
    FormatQuery other(1);
    EXPECT_FALSE(codec.NextPixelFormat(other));
    EXPECT_EQ(other.index, 0xFFFFFFFFu);
}

TEST(BmpCodec, ListsTheCompressionsOfEachFormat)
{
    BmpCodec codec;
    struct Expected
    {
        u32 formatIndex;
        std::vector<std::pair<QString, u32>> compressions;
    };
    const QString plain = QStringLiteral("Uncompressed");
    const Expected expected[] = {
        {0, {{plain, 0}}},
        {1, {{plain, 0}, {QStringLiteral("RLE (4 bit)"), 2}}},
        {2, {{plain, 0}, {QStringLiteral("RLE (8 bit)"), 1}}},
        {3, {{plain, 0}}},
        {4, {{plain, 3}}},
        {5, {{plain, 0}}},
        {6, {{plain, 0}}},
        {7, {}},
        {0xFFFFFFFFu, {}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.formatIndex);
        CompressionQuery query(e.formatIndex);
        std::vector<std::pair<QString, u32>> got;
        while (codec.NextCompression(query))
            got.emplace_back(query.name, query.code);
        EXPECT_EQ(got, e.compressions);
    }
}

} // namespace
