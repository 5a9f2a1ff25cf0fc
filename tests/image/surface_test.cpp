#include "image/surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const PixelFormat kRgba32(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

// A surface filled with one colour (blue, green, red) and per-pixel alpha.
void Fill(Surface& surface, u32 width, u32 height, const u8 bgr[3], const std::vector<u8>& alpha)
{
    std::vector<u8> pixels;
    for (u32 i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {bgr[0], bgr[1], bgr[2], alpha[i]});
    const ImageDesc desc(width, height, 0, &kRgba32, nullptr);
    ASSERT_TRUE(surface.SetPixels(desc, pixels.data(), 0));
}

u8 CompositeByte(Surface& surface, u32 pixel, u32 channel)
{
    return surface.GetCompositeDC()->Bits()[4 * pixel + channel];
}

} // namespace

TEST(SurfaceTest, CreateWritesHeadersAndRefusesHugeSizes)
{
    Surface surface;
    EXPECT_EQ(surface.LockBits(), nullptr);
    ASSERT_TRUE(surface.Create(3, 2, true));
    const BitmapInfoHeader& h = surface.GetDisplayHeader();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biClrUsed, 256u);
    EXPECT_EQ(surface.GetAlphaHeader().biBitCount, 8);
    ASSERT_NE(surface.GetDC(), nullptr);
    EXPECT_EQ(surface.GetDC()->Stride(), 12u);
    EXPECT_EQ(surface.GetAlphaDC()->Stride(), 3u);
    EXPECT_EQ(surface.LockBits(), surface.GetDC()->Bits());
    EXPECT_TRUE(surface.UnlockBits());

    for (auto [w, h2] : {std::pair<u32, u32>{0, 5}, {5, 0}, {65537, 1}, {16385, 16385}}) {
        EXPECT_FALSE(surface.Create(w, h2, true)) << w << " x " << h2;
        EXPECT_EQ(surface.GetDC(), nullptr);
        EXPECT_EQ(surface.GetAlphaDC(), nullptr);
    }
    EXPECT_TRUE(surface.Create(4, 4, false));
    EXPECT_EQ(surface.LockAlpha(), nullptr);
    EXPECT_EQ(surface.GetAlphaHeader().biSize, 0u);
    EXPECT_TRUE(surface.Destroy());
    EXPECT_EQ(surface.GetDisplayHeader().biWidth, 0);
    EXPECT_EQ(surface.LockBits(), nullptr);
    Rect bounds;
    EXPECT_TRUE(surface.GetBounds(bounds));
    EXPECT_EQ(bounds, (Rect{0, 0, 0, 0}));
}

TEST(SurfaceTest, SetPixelsFillsDisplayAndAlpha)
{
    Surface surface;
    const ImageDesc noFormat(2, 2, 8, nullptr, nullptr);
    EXPECT_FALSE(surface.SetPixels(noFormat, nullptr, 0));
    ImageDesc out;
    EXPECT_FALSE(surface.GetSourceDesc(out));

    const u8 pixels[] = {1, 2, 3, 40, 5, 6, 7, 80};
    static_assert(sizeof(pixels) == 8);
    const ImageDesc desc(2, 1, 8, &kRgba32, nullptr);
    ASSERT_TRUE(surface.SetPixels(desc, pixels, sizeof(pixels)));
    ASSERT_NE(surface.GetAlphaDC(), nullptr); // 8 alpha bits: an alpha plane
    const u8* display = surface.GetDC()->Bits();
    EXPECT_EQ(std::vector<u8>(display, display + 8), (std::vector<u8>{1, 2, 3, 0, 5, 6, 7, 0}));
    const u8* alpha = surface.GetAlphaDC()->Bits();
    EXPECT_EQ(alpha[0], 40);
    EXPECT_EQ(alpha[1], 80);
    EXPECT_EQ(surface.GetCompositeDC(), nullptr); // not rebuilt here
    ASSERT_TRUE(surface.GetSourceDesc(out));
    EXPECT_TRUE(out.Equals(&desc));

    // A given size bounds what is read: the second pixel lies beyond it.
    Surface bounded;
    const PixelFormat rgb24(24, 0xFF0000, 0xFF00, 0xFF, 0);
    const ImageDesc rgbDesc(2, 1, 6, &rgb24, nullptr);
    ASSERT_TRUE(bounded.SetPixels(rgbDesc, pixels, 4));
    EXPECT_EQ(bounded.GetAlphaDC(), nullptr);
    EXPECT_EQ(bounded.GetDC()->Bits()[0], 1);
    EXPECT_EQ(bounded.GetDC()->Bits()[4], 0);
}

TEST(SurfaceTest, CompositeArithmetic)
{
    const u8 colour[3] = {200, 100, 50};
    struct Case
    {
        const char* name;
        u32 width;
        u8 alpha;
        bool inverted;
        std::vector<u8> expectedFirstChannel; // blue of each pixel
    };
    const Case cases[] = {
        {"transparent 2 x 2", 2, 0, false, {0, 0, 0, 0}},
        {"transparent 2 x 2 inverted", 2, 0, true, {255, 255, 255, 255}},
        {"opaque keeps the colour", 2, 255, true, {200, 200, 200, 200}},
        {"half over black, truncated", 2, 128, false, {100, 100, 100, 100}},
        {"half over white, truncated", 2, 128, true, {227, 227, 227, 227}},
        {"16 x 1 squares", 16, 0, false,
         {0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255}},
        {"16 x 1 squares inverted", 16, 0, true,
         {255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface;
        const u32 height = c.width == 2 ? 2 : 1;
        Fill(surface, c.width, height, colour, std::vector<u8>(c.width * height, c.alpha));
        ASSERT_TRUE(surface.Composite(c.inverted));
        EXPECT_EQ(surface.IsCompositeInverted(), c.inverted);
        for (u32 i = 0; i < c.width * height; ++i) {
            EXPECT_EQ(CompositeByte(surface, i, 0), c.expectedFirstChannel[i]) << i;
            EXPECT_EQ(CompositeByte(surface, i, 3), 0);
        }
    }
    // The rows of the pattern count from the bottom row in memory.
    Surface tall;
    Fill(tall, 1, 9, colour, std::vector<u8>(9, 0));
    ASSERT_TRUE(tall.Composite(false));
    EXPECT_EQ(CompositeByte(tall, 0, 0), 0);
    EXPECT_EQ(CompositeByte(tall, 8, 0), 255);
    EXPECT_EQ(std::memcmp(&tall.GetCompositeHeader(), &tall.GetDisplayHeader(), 40), 0);

    Surface opaque;
    ASSERT_TRUE(opaque.Create(2, 2, false));
    EXPECT_FALSE(opaque.Composite(false));
}

TEST(SurfaceTest, DrawRebuildsTheCompositeOnlyWhenThePhaseChanges)
{
    const u8 colour[3] = {10, 20, 30};
    Surface surface;
    Fill(surface, 2, 2, colour, {0, 0, 0, 0});
    auto target = Bitmap::Create(2, 2, 32);
    const Point identity[3] = {{0, 0}, {2, 0}, {0, 2}};
    const Rect all{0, 0, 2, 2};

    // The picture was filled through SetPixels: drawing over the checkerboard builds it.
    surface.Draw(target.get(), identity, all, nullptr, kDrawCheckerboardInverted);
    ASSERT_NE(surface.GetCompositeDC(), nullptr);
    EXPECT_TRUE(surface.IsCompositeInverted());
    EXPECT_EQ(target->Bits()[0], 255);
    surface.GetCompositeDC()->Bits()[0] = 77; // a mark that a rebuild would erase
    surface.Draw(target.get(), identity, all, nullptr, kDrawCheckerboardInverted);
    EXPECT_EQ(surface.GetCompositeDC()->Bits()[0], 77);
    surface.Draw(target.get(), identity, all, nullptr, kDrawCheckerboard);
    EXPECT_FALSE(surface.IsCompositeInverted());
    EXPECT_EQ(surface.GetCompositeDC()->Bits()[0], 0);
    // Flags 0 draw the display bitmap.
    surface.Draw(target.get(), identity, all, nullptr, 0);
    EXPECT_EQ(target->Bits()[0], 10);

    // UnlockAlpha rebuilds the phase held.
    surface.LockAlpha()[0] = 255;
    EXPECT_TRUE(surface.UnlockAlpha());
    EXPECT_EQ(surface.GetCompositeDC()->Bits()[0], 10);

    Surface empty;
    EXPECT_FALSE(empty.Draw(target.get(), identity, all, nullptr, kDrawCheckerboard));
}

TEST(SurfaceTest, DrawIsTopDown)
{
    Surface surface;
    ASSERT_TRUE(surface.Create(1, 2, false));
    auto* bits = reinterpret_cast<u32*>(surface.LockBits());
    bits[0] = 0xB0770; // memory row 0: the bottom row
    bits[1] = 0x70707;
    auto target = Bitmap::Create(1, 2, 32);
    const Point identity[3] = {{0, 0}, {1, 0}, {0, 2}};
    surface.Draw(target.get(), identity, {0, 0, 1, 2}, nullptr, 0);
    EXPECT_EQ(reinterpret_cast<const u32*>(target->Bits())[0], 0xB0770u);
    EXPECT_EQ(reinterpret_cast<const u32*>(target->Bits())[1], 0x70707u);
}

TEST(SurfaceTest, MakePowerOfTwo)
{
    struct Case
    {
        u32 width, height, newWidth, newHeight;
    };
    const Case cases[] = {{300, 200, 256, 128}, {256, 256, 256, 256}, {1, 1, 1, 1}, {6, 3, 4, 2}};
    for (const Case& c : cases) {
        Surface surface;
        ASSERT_TRUE(surface.Create(c.width, c.height, true));
        auto* bits = reinterpret_cast<u32*>(surface.LockBits());
        for (u32 i = 0; i < c.width * c.height; ++i) {
            bits[i] = i;
            surface.LockAlpha()[i] = u8(i * 7);
        }
        const u8* before = surface.LockBits();
        ASSERT_TRUE(surface.MakePowerOfTwo());
        EXPECT_NE(surface.LockBits(), before); // re-created even when the size stays
        EXPECT_EQ(surface.GetDisplayHeader().biWidth, i32(c.newWidth));
        EXPECT_EQ(surface.GetDisplayHeader().biHeight, i32(c.newHeight));
        EXPECT_EQ(surface.GetAlphaHeader().biWidth, i32(c.newWidth));
        EXPECT_EQ(surface.GetAlphaDC()->Height(), c.newHeight);
        if (c.width == 6) {
            // Scale 1.5 across, 1.5 down: columns 0, 1, 3, 4 of rows 0 and 1.
            const u32 expected[] = {0, 1, 3, 4, 6, 7, 9, 10};
            bits = reinterpret_cast<u32*>(surface.LockBits());
            for (u32 i = 0; i < 8; ++i) {
                EXPECT_EQ(bits[i], expected[i]);
                EXPECT_EQ(surface.LockAlpha()[i], u8(expected[i] * 7));
            }
        }
    }
    Surface none;
    EXPECT_FALSE(none.MakePowerOfTwo());
}
