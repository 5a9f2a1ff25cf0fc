#include "image/gr_palette.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QtGlobal>

#include <vector>

namespace {

QStringList g_messages;

void Capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

} // namespace

TEST(GrPaletteTest, ResizeRules)
{
    GrPalette palette(0, 16);
    EXPECT_EQ(palette.GetCount(), 16u);
    EXPECT_FALSE(palette.Resize(257));
    EXPECT_EQ(palette.GetCount(), 16u);
    EXPECT_TRUE(palette.Resize(256));
    PaletteMapping* mapping = palette.Map(0, 4);
    ASSERT_NE(mapping, nullptr);
    EXPECT_FALSE(palette.Resize(8));
    palette.Unmap(mapping);
    EXPECT_TRUE(palette.Resize(8));
    EXPECT_EQ(GrPalette(0, 300).GetCount(), 0u);
}

TEST(GrPaletteTest, EntriesAndRanges)
{
    GrPalette palette(0, 4);
    EXPECT_FALSE(palette.SetEntry(4, 0x123456));
    EXPECT_TRUE(palette.SetEntry(3, 0xAB123456));
    u32 colour = 0;
    ASSERT_TRUE(palette.GetEntry(3, &colour));
    EXPECT_EQ(colour, 0x123456u); // the fourth byte comes back 0
    EXPECT_FALSE(palette.GetEntry(4, &colour));
    EXPECT_FALSE(palette.GetEntry(0, nullptr));

    const u32 colours[4] = {1, 2, 3, 4};
    EXPECT_TRUE(palette.SetEntries(0, 4, colours));
    EXPECT_FALSE(palette.SetEntries(1, 4, colours));
    EXPECT_TRUE(palette.SetEntries(4, 0, nullptr));
    EXPECT_FALSE(palette.SetEntries(0xFFFFFFFFu, 2, colours)); // no wrap of first + n
    u32 back[4] = {};
    ASSERT_TRUE(palette.GetEntries(0, 4, back));
    EXPECT_EQ(std::vector<u32>(back, back + 4), std::vector<u32>(colours, colours + 4));

    // Entries beyond a shrunken count come back when the palette grows again.
    EXPECT_TRUE(palette.Resize(2));
    EXPECT_FALSE(palette.GetEntry(3, &colour));
    EXPECT_TRUE(palette.Resize(4));
    ASSERT_TRUE(palette.GetEntry(3, &colour));
    EXPECT_EQ(colour, 4u);
}

TEST(GrPaletteTest, FindNearest)
{
    GrPalette palette(0, 2);
    palette.SetEntry(0, 0x000000);
    palette.SetEntry(1, 0xFFFFFF);
    EXPECT_EQ(palette.FindNearestRGBA(0, 200, 200, 200, 0), 1);
    EXPECT_EQ(palette.FindNearestRGBA(0, 10, 10, 10, 0), 0);
    EXPECT_EQ(palette.FindNearestColor(0, 0x808080), 1);
    EXPECT_EQ(palette.FindNearestColor(0, 0x7F7F7F), 0);
    // Ties keep the first entry.
    palette.SetEntry(1, 0x000000);
    EXPECT_EQ(palette.FindNearestColor(0, 0x101010), 0);
    EXPECT_EQ(palette.MappingCount(), 0);
    EXPECT_EQ(GrPalette(0, 0).FindNearestRGBA(0, 1, 2, 3, 0), -1);
}

TEST(GrPaletteTest, MappingsWriteBackAndFlagSkips)
{
    GrPalette palette(0, 3);
    palette.SetEntry(0, 0x0000FF);
    palette.SetEntry(1, 0x00FF00);
    palette.SetEntry(2, 0xFF0000);
    PaletteMapping* all = palette.Map(0, 3);
    PaletteMapping* second = palette.Map(1, 1);
    ASSERT_NE(all, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(palette.MappingCount(), 2);
    EXPECT_EQ(second->entries, all->entries + 1); // one shared array
    EXPECT_EQ(second->entries[0].colour, 0x00FF00u);
    all->entries[0].flags = 1; // skipped by the search
    EXPECT_EQ(palette.FindNearestColor(0, 0x0000FF), 1);
    second->entries[0].colour = 0x123456;
    EXPECT_FALSE(palette.Unmap(second));
    u32 colour = 0;
    palette.GetEntry(1, &colour);
    EXPECT_EQ(colour, 0x123456u);
    EXPECT_FALSE(palette.Unmap(nullptr));
    GrPalette other(0, 3);
    EXPECT_FALSE(other.Unmap(all));
    EXPECT_EQ(palette.MappingCount(), 1);
    palette.Unmap(all);
    EXPECT_EQ(palette.MappingCount(), 0);
    // A window outside the palette is refused rather than pointing past the entries.
    EXPECT_EQ(palette.Map(2, 2), nullptr);
    EXPECT_EQ(palette.MappingCount(), 0);
}

TEST(GrPaletteTest, CopyAndEquals)
{
    GrPalette a(0x5, 2);
    a.SetEntry(0, 0x112233);
    a.SetEntry(1, 0x445566);
    GrPalette b(a);
    EXPECT_EQ(b.GetFlags(0xFFFFFFFF), 0x5u);
    EXPECT_TRUE(a.Equals(b));
    u32 old = 0;
    b.SetFlags(0x2, 0x3, &old);
    EXPECT_EQ(old, 0x5u);
    EXPECT_EQ(b.GetFlags(0xFF), 0x6u);
    EXPECT_TRUE(a.Equals(b)); // flags do not count
    b.SetEntry(1, 0x445567);
    EXPECT_TRUE(a.NotEquals(b));
    b = a;
    EXPECT_TRUE(a.Equals(b));
    b.Resize(1);
    EXPECT_FALSE(a.Equals(b));
}

TEST(GrPaletteTest, WarnsOnceWhenDestroyedWithOpenMappings)
{
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Capture);
    {
        auto* palette = new GrPalette(0, 4);
        PaletteMapping* first = palette->Map(0, 1);
        PaletteMapping* second = palette->Map(1, 1);
        delete palette;
        // The mappings left open are the point of the warning; their records go afterwards.
        delete first;
        delete second;
    }
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_messages.size(), 1);
    EXPECT_EQ(g_messages[0], "*** GrPalette: some mappings are not released with Unmap!");
}
