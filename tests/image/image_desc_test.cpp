#include "image/image_desc.h"

#include <gtest/gtest.h>

namespace {

const PixelFormat kRgb24(24, 0xFF0000, 0xFF00, 0xFF, 0);
const PixelFormat kIndexed8(8, 0, 0, 0, 0);

} // namespace

TEST(ImageDescTest, PitchSizeAndOffset)
{
    ImageDesc desc(3, 2, 0, &kRgb24, nullptr);
    EXPECT_EQ(desc.GetPitch(), 9u);
    EXPECT_EQ(desc.GetSize(), 0u);
    desc.Set(3, 2, 12, &kRgb24, nullptr);
    EXPECT_EQ(desc.GetPitch(), 12u);
    EXPECT_EQ(desc.GetSize(), 24u);
    EXPECT_EQ(desc.GetPixelOffset(2, 1), 18u);
    EXPECT_EQ(ImageDesc().GetPitch(), 0u);

    const PixelFormat nibbles(4, 0, 0, 0, 0);
    u32 rest = 0;
    EXPECT_EQ(ImageDesc(5, 5, 4, &nibbles, nullptr).GetPixelOffset(3, 2, &rest), 10u);
    EXPECT_EQ(rest, 4u);
    // 64-bit products.
    EXPECT_EQ(ImageDesc(1, 0xFFFFFFFFu, 0xFFFFFFFFu, &kRgb24, nullptr).GetSize(),
              u64(0xFFFFFFFFu) * 0xFFFFFFFFu);
}

TEST(ImageDescTest, KeepsPrivateCopies)
{
    GrPalette palette(0, 2);
    palette.SetEntry(1, 0xABCDEF);
    PixelFormat format = kIndexed8;
    ImageDesc desc(4, 4, 4, &format, &palette);
    ASSERT_NE(desc.GetPalette(), nullptr);
    EXPECT_NE(desc.GetPalette(), &palette);
    EXPECT_NE(desc.GetPixelFormat(), &format);
    palette.SetEntry(1, 0);
    format.SetBitCount(4);
    u32 colour = 0;
    desc.GetPalette()->GetEntry(1, &colour);
    EXPECT_EQ(colour, 0xABCDEFu);
    EXPECT_EQ(desc.GetPixelFormat()->BitsPerPixel(), 8u);

    ImageDesc copy(desc);
    EXPECT_NE(copy.GetPalette(), desc.GetPalette());
    EXPECT_TRUE(copy.Equals(&desc));
    copy.SetPalette(nullptr);
    EXPECT_EQ(copy.GetPalette(), nullptr);
    EXPECT_FALSE(copy.Equals(&desc));
}

TEST(ImageDescTest, ValidityAndEquality)
{
    GrPalette palette(0, 2);
    EXPECT_FALSE(ImageDesc(2, 2, 2, &kIndexed8, nullptr).IsValid());
    EXPECT_TRUE(ImageDesc(2, 2, 2, &kIndexed8, &palette).IsValid());
    EXPECT_TRUE(ImageDesc(2, 2, 6, &kRgb24, nullptr).IsValid());
    EXPECT_FALSE(ImageDesc(2, 2, 0, &kRgb24, nullptr).IsValid());
    EXPECT_FALSE(ImageDesc(0, 2, 6, &kRgb24, nullptr).IsValid());
    EXPECT_FALSE(ImageDesc(2, 2, 6, nullptr, nullptr).IsValid());

    GrPalette other(palette);
    other.SetEntry(1, 0x010101);
    const ImageDesc a(2, 2, 2, &kIndexed8, &palette);
    const ImageDesc b(2, 2, 2, &kIndexed8, &other);
    EXPECT_FALSE(a.Equals(&b));
    EXPECT_TRUE(ImageDesc::Equals(nullptr, nullptr));
    EXPECT_FALSE(a.Equals(nullptr));
    EXPECT_TRUE(a.NotEquals(&b));
    EXPECT_FALSE(ImageDesc(2, 2, 6, &kRgb24, nullptr).Equals(&a));
}

TEST(ImageDescTest, CompleteFillsOnlyWhatIsMissing)
{
    GrPalette palette(0, 2);
    ImageDesc other(7, 5, 0, &kIndexed8, &palette);
    ImageDesc desc;
    desc.Complete(other);
    EXPECT_EQ(desc.GetWidth(), 7u);
    EXPECT_EQ(desc.GetHeight(), 5u);
    EXPECT_EQ(desc.GetStoredPitch(), 7u); // the other's pitch is 0 too: the row size
    ASSERT_NE(desc.GetPalette(), nullptr);
    EXPECT_TRUE(desc.GetPixelFormat()->Equals(kIndexed8));

    ImageDesc own(3, 0, 16, &kRgb24, nullptr);
    own.Complete(other);
    EXPECT_EQ(own.GetWidth(), 3u);
    EXPECT_EQ(own.GetHeight(), 5u);
    EXPECT_EQ(own.GetStoredPitch(), 16u);
    EXPECT_TRUE(own.GetPixelFormat()->Equals(kRgb24)); // a format is kept
}

TEST(ImageDescTest, CopyPixelsTakesTheSharedBlock)
{
    const PixelFormat gray(8, 0, 0, 0, 0xFF);
    const u8 src[3 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    u8 dst[4 * 2] = {};
    const ImageDesc s(3, 3, 3, &gray, nullptr);
    const ImageDesc d(4, 2, 4, &gray, nullptr);
    EXPECT_TRUE(d.CopyPixels(2, 0, dst, s, 1, 1, src));
    const u8 expected[8] = {0, 0, 5, 6, 0, 0, 8, 9};
    EXPECT_EQ(std::vector<u8>(dst, dst + 8), std::vector<u8>(expected, expected + 8));
    // Offsets beyond the pictures copy nothing rather than a wrapped block.
    u8 untouched[8] = {};
    EXPECT_TRUE(d.CopyPixels(9, 0, untouched, s, 0, 0, src));
    EXPECT_TRUE(d.CopyPixels(0, 0, untouched, s, 0, 7, src));
    EXPECT_EQ(std::vector<u8>(untouched, untouched + 8), std::vector<u8>(8, 0));
}
