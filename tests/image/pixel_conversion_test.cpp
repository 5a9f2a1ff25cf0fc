#include "image/pixel_conversion.h"

#include "image/image_desc.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Layout
{
    const char* name;
    PixelFormat format;
    bool indexed;
};

const Layout kSources[] = {
    {"1-bit indexed", PixelFormat(1, 0, 0, 0, 0), true},
    {"4-bit indexed", PixelFormat(4, 0, 0, 0, 0), true},
    {"8-bit indexed", PixelFormat(8, 0, 0, 0, 0), true},
    {"5-5-5", PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0), false},
    {"1-5-5-5", PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0x8000), false},
    {"5-6-5", PixelFormat(16, 0xF800, 0x7E0, 0x1F, 0), false},
    {"4-4-4-4", PixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000), false},
    {"24", PixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0), false},
    {"32", PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0), false},
    {"32 alpha", PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), false},
    {"32 RGBA byte order", PixelFormat(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), false},
    {"2-10-10-10", PixelFormat(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), false},
    {"8-bit 3-3-2 unpaletted", PixelFormat(8, 0xE0, 0x1C, 0x3, 0), false},
};

struct Target
{
    const char* name;
    PixelFormat format;
};

const Target kTargets[] = {
    {"display", PixelFormat::Display()},
    {"alpha plane", PixelFormat::AlphaPlane()},
};

std::vector<u8> RandomBytes(u64 n, std::mt19937& random)
{
    std::vector<u8> bytes(n);
    for (u8& b : bytes)
        b = u8(random());
    return bytes;
}

// A palette shorter than the index range, so that some lookups fail and end their rows.
GrPalette RandomPalette(u32 bits, std::mt19937& random)
{
    const u32 count = bits == 1 ? 2 : (1u << bits) - 3;
    GrPalette palette(0, count);
    for (u32 i = 0; i < count; ++i)
        palette.SetEntry(i, random());
    return palette;
}

} // namespace

// The fast routes must give exactly the generic route's bytes, over odd widths, padded and short
// pitches, offsets and buffers that end inside a row.
TEST(PixelConversionTest, FastPathsEqualTheGenericPath)
{
    std::mt19937 random(1234);
    int compared = 0;
    for (const Layout& src : kSources) {
        for (const Target& dst : kTargets) {
            for (u32 width : {1u, 3u, 7u, 33u}) {
                for (int pitchKind = 0; pitchKind < 3; ++pitchKind) {
                    for (u32 offset : {0u, 1u, 3u}) {
                        for (u32 shortBy : {0u, 5u}) {
                            SCOPED_TRACE(testing::Message()
                                         << src.name << " -> " << dst.name << " width " << width
                                         << " pitch kind " << pitchKind << " offset " << offset
                                         << " short by " << shortBy);
                            const u32 height = 4;
                            const u32 srcRow = src.format.RowBytes(width + offset);
                            const u32 dstRow = dst.format.RowBytes(width + offset);
                            // Exact rows, padded rows, and rows closer than a row (overlapping).
                            const u32 srcPitch = pitchKind == 0   ? srcRow
                                                 : pitchKind == 1 ? srcRow + 3
                                                                  : std::max(1u, srcRow / 2);
                            const u32 dstPitch = pitchKind == 0   ? dstRow
                                                 : pitchKind == 1 ? dstRow + 2
                                                                  : std::max(1u, dstRow / 2);
                            const u64 srcSize = u64(srcPitch) * (height + offset) + srcRow;
                            const u64 dstSize = u64(dstPitch) * (height + offset) + dstRow -
                                                std::min<u64>(shortBy, dstRow);
                            const std::vector<u8> source =
                                RandomBytes(srcSize - std::min<u64>(shortBy, srcRow), random);
                            const std::vector<u8> before = RandomBytes(dstSize, random);
                            GrPalette palette =
                                RandomPalette(src.indexed ? src.format.BitsPerPixel() : 1, random);
                            const GrPalette* srcPalette = src.indexed ? &palette : nullptr;

                            std::vector<u8> fast = before;
                            std::vector<u8> generic = before;
                            ConvertPixels(dst.format, fast.data(), dstPitch, fast.size(), nullptr,
                                          offset, offset ? 1 : 0, src.format, source.data(),
                                          srcPitch, source.size(), srcPalette, offset / 2, offset,
                                          width, height);
                            ConvertPixelsGeneric(dst.format, generic.data(), dstPitch,
                                                 generic.size(), nullptr, offset, offset ? 1 : 0,
                                                 src.format, source.data(), srcPitch,
                                                 source.size(), srcPalette, offset / 2, offset,
                                                 width, height);
                            ASSERT_EQ(fast, generic);
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 0);
}

TEST(PixelConversionTest, ScalesChannelWidths)
{
    struct Case
    {
        u32 value, from, to, expected;
    };
    const Case cases[] = {
        {31, 5, 8, 255}, {0, 5, 8, 0},      {16, 5, 8, 132},    {63, 6, 8, 255},
        {1, 1, 8, 255},  {0, 1, 8, 0},      {0xAB, 8, 8, 0xAB}, {0xFF, 8, 5, 31},
        {0x80, 8, 1, 1}, {0x7F, 8, 1, 0},   {0x3FF, 10, 8, 255}, {0x9, 4, 8, 0x99},
        {5, 3, 8, 0xB6}, {1, 1, 16, 0xFFFF}, {7, 0, 8, 0},       {200, 8, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleChannel(c.value, c.from, c.to), c.expected)
            << c.value << " from " << c.from << " to " << c.to;
}

TEST(PixelConversionTest, IndexedIntoDisplayIgnoresPadding)
{
    GrPalette palette(0, 256);
    for (u32 i = 0; i < 256; ++i)
        palette.SetEntry(i, i | (255 - i) << 8 | (i ^ 0x55) << 16);
    // Two rows of three indexes, one padding byte each.
    const u8 bits[] = {1, 2, 3, 200, 4, 5, 6, 201};
    static_assert(sizeof(bits) == 8);
    const PixelFormat indexed(8, 0, 0, 0, 0);
    const ImageDesc src(3, 2, 4, &indexed, &palette);
    const PixelFormat display = PixelFormat::Display();
    const ImageDesc dst(3, 2, 12, &display, nullptr);
    std::vector<u8> out(24, 0xEE);
    dst.CopyPixels(out.data(), src, bits);
    const u8 indexes[] = {1, 2, 3, 4, 5, 6};
    for (int p = 0; p < 6; ++p) {
        const u32 i = indexes[p];
        EXPECT_EQ(out[size_t(4 * p)], i ^ 0x55);     // blue
        EXPECT_EQ(out[size_t(4 * p + 1)], 255 - i);  // green
        EXPECT_EQ(out[size_t(4 * p + 2)], i);        // red
        EXPECT_EQ(out[size_t(4 * p + 3)], 0xEE);     // untouched
    }
}

TEST(PixelConversionTest, KnownLayoutsIntoDisplay)
{
    struct Case
    {
        const char* name;
        PixelFormat format;
        std::vector<u8> pixel;
        u8 blue, green, red;
    };
    const Case cases[] = {
        {"24", PixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0), {0x10, 0x20, 0x30}, 0x10, 0x20, 0x30},
        {"5-6-5 white", PixelFormat(16, 0xF800, 0x7E0, 0x1F, 0), {0xFF, 0xFF}, 255, 255, 255},
        {"5-6-5 red", PixelFormat(16, 0xF800, 0x7E0, 0x1F, 0), {0x00, 0xF8}, 0, 0, 255},
        {"5-5-5 mid", PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0), {0x10, 0x42}, 132, 132, 132},
        {"4-4-4-4", PixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000), {0x9A, 0x3B}, 0xAA, 0x99, 0xBB},
    };
    const PixelFormat display = PixelFormat::Display();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<u8> out(4, 0x77);
        ConvertPixels(display, out.data(), 4, 4, nullptr, 0, 0, c.format, c.pixel.data(), 0,
                      c.pixel.size(), nullptr, 0, 0, 1, 1);
        EXPECT_EQ(out, (std::vector<u8>{c.blue, c.green, c.red, 0x77}));
    }
}

TEST(PixelConversionTest, SubBytePixelsStartAtTheHighBits)
{
    GrPalette palette(0, 16);
    for (u32 i = 0; i < 16; ++i)
        palette.SetEntry(i, i * 0x10);
    const PixelFormat nibbles(4, 0, 0, 0, 0);
    const u8 bits[] = {0x12, 0x30};
    std::vector<u8> out(12, 0);
    ConvertPixels(PixelFormat::Display(), out.data(), 12, 12, nullptr, 0, 0, nibbles, bits, 2, 2,
                  &palette, 0, 0, 3, 1);
    EXPECT_EQ(out[2], 0x10);
    EXPECT_EQ(out[6], 0x20);
    EXPECT_EQ(out[10], 0x30);

    // Writing 1-bit pixels: pixel 0 is bit 7.
    GrPalette twoColours(0, 2);
    twoColours.SetEntry(1, 0xFFFFFF);
    const u8 white[] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    u8 packed[1] = {0x00};
    ConvertPixels(PixelFormat(1, 0, 0, 0, 0), packed, 1, 1, &twoColours, 0, 0,
                  PixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0), white, 9, 9, nullptr, 0, 0, 3, 1);
    EXPECT_EQ(packed[0], 0xA0);
}

TEST(PixelConversionTest, AlphaIntoTheAlphaPlane)
{
    struct Case
    {
        const char* name;
        PixelFormat format;
        std::vector<u8> pixels;
        std::vector<u8> alpha;
    };
    const Case cases[] = {
        {"32", PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
         {1, 2, 3, 0x40, 5, 6, 7, 0xFE}, {0x40, 0xFE}},
        // A one-bit alpha becomes transparent or opaque, not 0 or 1.
        {"1-5-5-5", PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0x8000), {0xFF, 0xFF, 0xFF, 0x7F},
         {255, 0}},
        {"4-4-4-4", PixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000), {0, 0x80, 0, 0xF0}, {0x88, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<u8> out(2, 0x33);
        ConvertPixels(PixelFormat::AlphaPlane(), out.data(), 2, 2, nullptr, 0, 0, c.format,
                      c.pixels.data(), 0, c.pixels.size(), nullptr, 0, 0, 2, 1);
        EXPECT_EQ(out, c.alpha);
    }
}

TEST(PixelConversionTest, FailedPaletteLookupEndsOnlyThatRow)
{
    GrPalette palette(0, 2);
    palette.SetEntry(0, 0x0000FF);
    palette.SetEntry(1, 0x00FF00);
    const u8 bits[] = {0, 9, 1, 1, 0, 1};
    static_assert(sizeof(bits) == 6);
    const PixelFormat indexed(8, 0, 0, 0, 0);
    for (bool generic : {false, true}) {
        std::vector<u8> out(24, 0xAA);
        (generic ? ConvertPixelsGeneric : ConvertPixels)(
            PixelFormat::Display(), out.data(), 12, out.size(), nullptr, 0, 0, indexed, bits, 3,
            sizeof(bits), &palette, 0, 0, 3, 2);
        const std::vector<u8> expected = {0, 0, 0xFF, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
                                          0xAA, 0xAA, 0xAA, 0xAA, 0, 0xFF, 0, 0xAA,
                                          0, 0, 0xFF, 0xAA, 0, 0xFF, 0, 0xAA};
        EXPECT_EQ(out, expected);
    }
}

TEST(PixelConversionTest, StopsAtTheBufferEnds)
{
    const PixelFormat rgb(24, 0xFF0000, 0xFF00, 0xFF, 0);
    const std::vector<u8> src(3 * 4 * 2, 0x11);
    // Room for 1 row and 2 whole pixels of the second one (and a partial third).
    std::vector<u8> dst(16 + 8 + 3, 0);
    ConvertPixels(PixelFormat::Display(), dst.data(), 16, dst.size(), nullptr, 0, 0, rgb,
                  src.data(), 12, src.size(), nullptr, 0, 0, 4, 2);
    EXPECT_EQ(dst[16 + 4], 0x11);
    EXPECT_EQ(dst[16 + 8], 0); // the partial pixel is not written
    // A source that ends after five pixels.
    std::vector<u8> dst2(32, 0);
    const std::vector<u8> shortSrc(15, 0x22);
    ConvertPixels(PixelFormat::Display(), dst2.data(), 16, dst2.size(), nullptr, 0, 0, rgb,
                  shortSrc.data(), 12, shortSrc.size(), nullptr, 0, 0, 4, 2);
    EXPECT_EQ(dst2[16], 0x22);
    EXPECT_EQ(dst2[20], 0);
}

TEST(PixelConversionTest, HostileDescriptionsTouchNothingOutside)
{
    const std::vector<u8> src(16, 0x5A);
    std::vector<u8> dst(16, 0);
    struct Case
    {
        const char* name;
        PixelFormat srcFormat;
        u32 srcPitch, srcX, srcY, width, height;
    };
    const Case cases[] = {
        {"masks beyond the pixel", PixelFormat(16, 0xFF000000, 0xFF0000, 0xFF, 0), 4, 0, 0, 4, 4},
        {"huge offsets", PixelFormat(8, 0, 0, 0, 0xFF), 4, 0xFFFFFFF0u, 0xFFFFFFF0u, 4, 4},
        {"huge sizes", PixelFormat(8, 0, 0, 0, 0xFF), 0xFFFFFFFFu, 0, 0, 0xFFFFFFFFu, 0x100000},
        {"zero bits", PixelFormat(0, 0, 0, 0, 0xFF), 4, 0, 0, 4, 4},
        {"64 bits", PixelFormat(64, 0, 0, 0, 0xFF), 4, 0, 0, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConvertPixels(PixelFormat::AlphaPlane(), dst.data(), 4, dst.size(), nullptr, 0, 0,
                      c.srcFormat, src.data(), c.srcPitch, src.size(), nullptr, c.srcX, c.srcY,
                      c.width, c.height);
        ConvertPixelsGeneric(PixelFormat::Display(), dst.data(), 4, dst.size(), nullptr, 0, 0,
                             c.srcFormat, src.data(), c.srcPitch, src.size(), nullptr, c.srcX,
                             c.srcY, c.width, c.height);
    }
    // The field outside the pixel counts as absent: the red and green bytes are written as 0.
    std::vector<u8> one(4, 0x99);
    ConvertPixels(PixelFormat::Display(), one.data(), 4, 4, nullptr, 0, 0,
                  PixelFormat(16, 0xFF000000, 0xFF0000, 0xFF, 0), src.data(), 2, 2, nullptr, 0,
                  0, 1, 1);
    EXPECT_EQ(one, (std::vector<u8>{0x5A, 0, 0, 0x99}));
}

TEST(PixelConversionTest, DestinationPaletteGetsEightBitChannels)
{
    GrPalette palette(0, 3);
    palette.SetEntry(0, 0x000000);
    palette.SetEntry(1, 0x202020);
    palette.SetEntry(2, 0xFFFFFF);
    // A 5-6-5 white is (255, 255, 255) only once scaled; raw it would be (31, 63, 31).
    const u8 white[] = {0xFF, 0xFF};
    u8 index[1] = {0x77};
    ConvertPixels(PixelFormat(8, 0, 0, 0, 0), index, 1, 1, &palette, 0, 0,
                  PixelFormat(16, 0xF800, 0x7E0, 0x1F, 0), white, 2, 2, nullptr, 0, 0, 1, 1);
    EXPECT_EQ(index[0], 2);
}
