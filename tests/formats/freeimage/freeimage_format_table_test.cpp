#include "formats/freeimage/freeimage_format_table.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <QList>
#include <QString>

TEST(FreeImageFormatTable, IdsAreTheLibrarysAndTheFirstEntryOfAnIdWins)
{
    ASSERT_EQ(kFreeImageFormatCount, 29);
    struct Spot
    {
        int index;
        FREE_IMAGE_FORMAT fif;
        const char16_t* defaultExtension;
        const char16_t* extensions;
        const char16_t* name;
    };
    const Spot spots[] = {
        {0, FIF_BMP, u".bmp", u".bmp;.dib", u"Microsoft Windows Bitmap"},
        {2, FIF_JNG, u".jng", u".jng", u"Multiple-image Network Graphics"},
        {3, FIF_MNG, u".mng", u".mng", u"Multiple-image Network Graphics"},
        {14, FIF_TARGA, u".tga", u".tga;.vda;.icb;.vst", u"TrueVision Targa File"},
        {20, FIF_DDS, u".dds", u".dds", u"DirectDraw Surface"},
        {23, FIF_SGI, u".sgi", u".sgi;.bw;.rgb;.rgba", u"Silicon Graphics"},
        {28, FIF_RAW, u".raw", u".raw", u"Raw Image Data"},
    };
    for (const Spot& s : spots) {
        const FreeImageFormat& f = kFreeImageFormats[s.index];
        EXPECT_EQ(f.id, s.fif) << s.index;
        EXPECT_EQ(QStringView(f.defaultExtension), QStringView(s.defaultExtension)) << s.index;
        EXPECT_EQ(QStringView(f.extensionList), QStringView(s.extensions)) << s.index;
        EXPECT_EQ(QStringView(f.name), QStringView(s.name)) << s.index;
    }
    // Every entry names a format the library knows, and its extension list starts or contains
    // its default extension.
    for (const FreeImageFormat& f : kFreeImageFormats) {
        EXPECT_NE(FreeImage_GetFormatFromFIF(FREE_IMAGE_FORMAT(f.id)), nullptr) << f.id;
        EXPECT_TRUE(
            QStringView(f.extensionList).split(u';').contains(QStringView(f.defaultExtension)))
            << f.id;
        EXPECT_EQ(FindFreeImageFormat(f.id)->id, f.id);
    }
    EXPECT_EQ(FindFreeImageFormat(FIF_ICO), nullptr);
    EXPECT_EQ(FindFreeImageFormat(-1), nullptr);
}
