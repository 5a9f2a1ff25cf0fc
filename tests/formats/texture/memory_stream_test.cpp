// The memory stream the texture tests and the fuzzer read through.

#include "framework/memory_stream.h"

#include <gtest/gtest.h>

TEST(MemoryStream, ReadWriteSeekAndSize)
{
    MemoryStream stream(QByteArray("abcdef"));
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 4), 4u);
    EXPECT_EQ(QByteArray(buffer, 4), "abcd");
    EXPECT_EQ(stream.Read(buffer, 8), 2u);
    EXPECT_EQ(stream.Read(buffer, 8), 0u);
    EXPECT_TRUE(stream.Seek(-2, kSeekEnd));
    EXPECT_EQ(stream.Write("XYZ", 3), 3u);
    EXPECT_EQ(stream.Data(), "abcdXYZ");
    EXPECT_EQ(stream.GetSize(), 7u);
    EXPECT_FALSE(stream.Seek(-8, kSeekCurrent));
    EXPECT_EQ(stream.Tell(), 7u);
    EXPECT_TRUE(stream.Seek(10, kSeekBegin)); // past the end: reads nothing, writes fill
    EXPECT_EQ(stream.Read(buffer, 1), 0u);
    EXPECT_EQ(stream.Write("!", 1), 1u);
    EXPECT_EQ(stream.Data(), QByteArray("abcdXYZ\0\0\0!", 11));
    EXPECT_TRUE(stream.SetSize(2));
    EXPECT_EQ(stream.Tell(), 2u);
    EXPECT_EQ(stream.Data(), "ab");
    EXPECT_FALSE(stream.Seek(0, 7));

    MemoryStream readOnly(QByteArray("x"), kModeRead);
    EXPECT_EQ(readOnly.Write("y", 1), kFailed32);
}
