#include "formats/freeimage/freeimage_format_table.h"

const FreeImageFormat kFreeImageFormats[kFreeImageFormatCount] = {
    {0, u".bmp", u".bmp;.dib", u"Microsoft Windows Bitmap"},
    {2, u".jpg", u".jpg;.jpe;.jpeg;.jfif", u"JPEG"},
    {3, u".jng", u".jng", u"Multiple-image Network Graphics"},
    {6, u".mng", u".mng", u"Multiple-image Network Graphics"},
    {5, u".ilbm", u".iff;.ilbm;.lbm", u"Amiga IFF (FORM ILBM)"},
    {7, u".pbm", u".pbm", u"B/W Portable Bitmap Graphics"},
    {8, u".pnmraw", u".pnmraw", u"B/W Portable Bitmap Graphics/Raw"},
    {11, u".pgm", u".pgm", u"Grayscale Portable Bitmap Graphics"},
    {12, u".pgmraw", u".pgmraw", u"Grayscale Portable Bitmap Graphics/Raw"},
    {14, u".ppm", u".ppm", u"RGB Portable Bitmap Graphics"},
    {15, u".ppmraw", u".ppmraw", u"RGB Portable Bitmap Graphics/Raw"},
    {10, u".pcx", u".pcx", u"ZSoft PCX"},
    {13, u".png", u".png", u"Portable Network Graphics"},
    {16, u".ras", u".ras", u"Sun Raster"},
    {17, u".tga", u".tga;.vda;.icb;.vst", u"TrueVision Targa File"},
    {18, u".tif", u".tif;.tiff", u"Tagged Image File Format"},
    {19, u".wbmp", u".wbmp", u"Wireless Bitmap"},
    {20, u".psd", u".psd", u"Adobe PhotoShop"},
    {23, u".xpm", u".xpm", u"Pixel Map"},
    {22, u".xbm", u".xbm", u"XBM"},
    {24, u".dds", u".dds", u"DirectDraw Surface"},
    {25, u".gif", u".gif", u"Graphics Interchange Format"},
    {26, u".hdr", u".hdr", u"Radiance High Dynamic Range"},
    {28, u".sgi", u".sgi;.bw;.rgb;.rgba", u"Silicon Graphics"},
    {29, u".exr", u".exr", u"OpenEXR"},
    {30, u".j2k", u".j2k", u"J2K"},
    {31, u".jp2", u".jp2", u"Jpeg 2000"},
    {32, u".pfm", u".pfm", u"PFM"},
    {34, u".raw", u".raw", u"Raw Image Data"},
};

const FreeImageFormat* FindFreeImageFormat(i32 id)
{
    for (const FreeImageFormat& format : kFreeImageFormats) {
        if (format.id == id) return &format;
    }
    return nullptr;
}
