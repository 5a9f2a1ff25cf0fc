#include "image/bit_field.h"

#include <gtest/gtest.h>

#include <array>

TEST(BitFieldTest, LowestSetBit)
{
    EXPECT_EQ(LowestSetBit(0), 0u);
    EXPECT_EQ(LowestSetBit(1), 0u);
    EXPECT_EQ(LowestSetBit(0xF800), 11u);
    EXPECT_EQ(LowestSetBit(0x80000000u), 31u);
}

TEST(BitFieldTest, ReadsFieldsAcrossBytes)
{
    // A 5-6-5 pixel 0b11111'101010'00001, stored little-endian.
    const std::array<u8, 2> pixel = {0x41, 0xFD};
    EXPECT_EQ(ReadBits(pixel.data(), 0, 5), 1u);
    EXPECT_EQ(ReadBits(pixel.data(), 5, 6), 0x2Au);
    EXPECT_EQ(ReadBits(pixel.data(), 11, 5), 0x1Fu);
    EXPECT_EQ(ReadBits(pixel.data(), 3, 0), 0u);

    const std::array<u8, 5> wide = {0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(ReadBits(wide.data(), 0, 32), 0x04030201u);
    EXPECT_EQ(ReadBits(wide.data(), 8, 24), 0x040302u);
    // Five bytes spanned.
    EXPECT_EQ(ReadBits(wide.data(), 4, 32), 0xFFFFFFFFu);
}

TEST(BitFieldTest, WritesOnlyTheField)
{
    std::array<u8, 5> bytes = {0x5A, 0xA5, 0xFF, 0x00, 0x77};
    EXPECT_EQ(WriteBits(bytes.data(), 4, 4, 0x3), 0);
    EXPECT_EQ(bytes[0], 0x3A);
    EXPECT_EQ(WriteBits(bytes.data(), 13, 6, 0), 0);
    EXPECT_EQ(bytes[1], 0x05);
    EXPECT_EQ(bytes[2], 0xF8);
    // High bits of the value beyond the field are dropped.
    EXPECT_EQ(WriteBits(bytes.data(), 24, 4, 0xFF), 0);
    EXPECT_EQ(bytes[3], 0x0F);
    EXPECT_EQ(WriteBits(bytes.data(), 1, 32, 0), -1);
    EXPECT_EQ(bytes[4], 0x77);
    EXPECT_EQ(WriteBits(bytes.data(), 0, 0, 0xFF), 0);
    EXPECT_EQ(bytes[0], 0x3A);
}

TEST(BitFieldTest, SubBytePixelsStartAtTheHighBits)
{
    EXPECT_EQ(BitPosition(0, 1), 7u);
    EXPECT_EQ(BitPosition(7, 1), 0u);
    EXPECT_EQ(BitPosition(0, 4), 4u);
    EXPECT_EQ(BitPosition(4, 4), 0u);
    EXPECT_EQ(BitPosition(5, 8), 5u);
    EXPECT_EQ(BitPosition(3, 24), 3u);
}
