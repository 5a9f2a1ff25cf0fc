#include "image/pixel_format.h"

#include <gtest/gtest.h>

TEST(PixelFormatTest, DerivesShiftsAndWidths)
{
    struct Case
    {
        u32 red, green, blue, alpha;
        u32 shifts[4];
        u32 widths[4];
    };
    const Case cases[] = {
        {0xF800, 0x7E0, 0x1F, 0, {11, 5, 0, 0}, {5, 6, 5, 0}},
        {0x7C00, 0x3E0, 0x1F, 0x8000, {10, 5, 0, 15}, {5, 5, 5, 1}},
        {0, 0, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
        // Bits above the first gap do not count; all ones gives width 0.
        {0x0B00, 0xFFFFFFFF, 0xF, 0xF000, {8, 0, 0, 12}, {2, 0, 4, 4}},
    };
    for (const Case& c : cases) {
        PixelFormat f(16, c.red, c.green, c.blue, c.alpha);
        EXPECT_EQ(f.RedShift(), c.shifts[0]);
        EXPECT_EQ(f.GreenShift(), c.shifts[1]);
        EXPECT_EQ(f.BlueShift(), c.shifts[2]);
        EXPECT_EQ(f.AlphaShift(), c.shifts[3]);
        EXPECT_EQ(f.RedBits(), c.widths[0]);
        EXPECT_EQ(f.GreenBits(), c.widths[1]);
        EXPECT_EQ(f.BlueBits(), c.widths[2]);
        EXPECT_EQ(f.AlphaBits(), c.widths[3]);
    }
}

TEST(PixelFormatTest, RowBytes)
{
    u32 rest = 99;
    EXPECT_EQ(PixelFormat(4, 0, 0, 0, 0).RowBytes(3, &rest), 2u);
    EXPECT_EQ(rest, 4u);
    EXPECT_EQ(PixelFormat(1, 0, 0, 0, 0).RowBytes(9, &rest), 2u);
    EXPECT_EQ(rest, 1u);
    EXPECT_EQ(PixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0).RowBytes(3, &rest), 9u);
    EXPECT_EQ(rest, 0u);
    // A 15-bit pixel is stored in two bytes: its alpha bit, where it has one, is bit 15.
    EXPECT_EQ(PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0x8000).RowBytes(3, &rest), 6u);
    EXPECT_EQ(rest, 0u);
    EXPECT_EQ(PixelFormat(15, 0x7C00, 0x3E0, 0x1F, 0).RowBytes(8), 16u);
    // No 32-bit wrap.
    EXPECT_EQ(PixelFormat(32, 0, 0, 0, 0).RowBytes(0x40000000u), kFailed32);
    EXPECT_EQ(PixelFormat(8, 0, 0, 0, 0).RowBytes(0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(PixelFormatTest, EqualsComparesBitsAndMasksOnly)
{
    PixelFormat a(16, 0xF800, 0x7E0, 0x1F, 0);
    PixelFormat b(a);
    EXPECT_TRUE(a.Equals(b));
    b.SetMasks(0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_TRUE(a.NotEquals(b));
    b.SetMasks(0xF800, 0x7E0, 0x1F, 0);
    EXPECT_TRUE(a.Equals(b));
    b.SetBitCount(15);
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(PixelFormat().Equals(PixelFormat(0, 0, 0, 0, 0)));
}

TEST(PixelFormatTest, Text)
{
    struct Case
    {
        u32 bits, red, green, blue, alpha;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 0, 0, 0, "1 bpp (paletted)"},
        {8, 0, 0, 0, 0, "8 bpp (paletted)"},
        {15, 0x7C00, 0x3E0, 0x1F, 0, "R5G5B5 [15 bit color]"},
        {16, 0xF800, 0x7E0, 0x1F, 0, "R5G6B5 [16 bit color]"},
        {16, 0xF00, 0xF0, 0xF, 0xF000, "R4G4B4A4 [16 bit color]"},
        {15, 0x7C00, 0x3E0, 0x1F, 0x8000, "R5G5B5A1 [15 bit color]"},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, "R8G8B8 [32 bit color]"},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "R8G8B8A8 [32 bit color]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PixelFormatText(PixelFormat(c.bits, c.red, c.green, c.blue, c.alpha)),
                  QString::fromLatin1(c.text));
}
