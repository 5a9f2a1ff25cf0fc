#include "image/raster.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using i128 = __int128;

std::unique_ptr<Bitmap> Numbered(u32 width, u32 height)
{
    auto bitmap = Bitmap::Create(width, height, 32);
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x)
            reinterpret_cast<u32*>(bitmap->ScanLine(y))[x] = 0x010000 * (y + 1) + x + 1;
    return bitmap;
}

u32 At(const Bitmap& bitmap, u32 x, u32 y)
{
    return reinterpret_cast<const u32*>(bitmap.ScanLine(y))[x];
}

i128 FloorDiv(i128 a, i128 b)
{
    if (b < 0) {
        a = -a;
        b = -b;
    }
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Pixel by pixel from the definition: invert the map at every target pixel centre, with
// exact rational arithmetic.
std::vector<u32> Reference(const Bitmap& target, const Point p[3], const Bitmap& source,
                           const Rect& r)
{
    std::vector<u32> out;
    const i64 ax = p[1].x - p[0].x, ay = p[1].y - p[0].y;
    const i64 bx = p[2].x - p[0].x, by = p[2].y - p[0].y;
    const i64 det = ax * by - ay * bx;
    const i64 w = r.right - r.left, h = r.bottom - r.top;
    for (u32 y = 0; y < target.Height(); ++y) {
        for (u32 x = 0; x < target.Width(); ++x) {
            u32 pixel = At(target, x, y);
            // Centre minus P0, doubled to stay integral.
            const i128 dx = 2 * i128(x) + 1 - 2 * i128(p[0].x);
            const i128 dy = 2 * i128(y) + 1 - 2 * i128(p[0].y);
            const i128 un = (dx * by - dy * bx) * w; // u = un / (2 det)
            const i128 vn = (ax * dy - ay * dx) * h;
            const i128 u = FloorDiv(un, 2 * i128(det));
            const i128 v = FloorDiv(vn, 2 * i128(det));
            const i128 sx = r.left + u, sy = r.top + v;
            if (u >= 0 && u < w && v >= 0 && v < h && sx >= 0 && sy >= 0 &&
                sx < source.Width() && sy < source.Height())
                pixel = At(source, u32(sx), u32(sy));
            out.push_back(pixel);
        }
    }
    return out;
}

std::vector<u32> Pixels(const Bitmap& bitmap)
{
    std::vector<u32> out;
    for (u32 y = 0; y < bitmap.Height(); ++y)
        for (u32 x = 0; x < bitmap.Width(); ++x)
            out.push_back(At(bitmap, x, y));
    return out;
}

} // namespace

TEST(RasterTest, BlitMatchesTheDefinition)
{
    struct Case
    {
        const char* name;
        Point p[3];
        Rect source;
    };
    const Case cases[] = {
        {"identity", {{0, 0}, {7, 0}, {0, 5}}, {0, 0, 7, 5}},
        {"moved and clipped", {{-3, 2}, {4, 2}, {-3, 7}}, {0, 0, 7, 5}},
        {"scale 2", {{1, 1}, {15, 1}, {1, 11}}, {0, 0, 7, 5}},
        {"scale 3 x 2", {{0, 0}, {21, 0}, {0, 10}}, {0, 0, 7, 5}},
        {"fit 7 x 5 into 4 x 3", {{0, 0}, {4, 0}, {0, 3}}, {0, 0, 7, 5}},
        {"horizontal mirror", {{7, 0}, {0, 0}, {7, 5}}, {0, 0, 7, 5}},
        {"vertical mirror", {{0, 5}, {7, 5}, {0, 0}}, {0, 0, 7, 5}},
        {"quarter turn", {{5, 0}, {5, 7}, {0, 0}}, {0, 0, 7, 5}},
        {"half turn", {{7, 5}, {0, 5}, {7, 0}}, {0, 0, 7, 5}},
        {"three quarters, scaled", {{0, 14}, {0, 0}, {10, 14}}, {0, 0, 7, 5}},
        {"30 degrees", {{3, 1}, {15, 8}, {-1, 8}}, {0, 0, 7, 5}},
        {"skewed", {{2, 2}, {12, 5}, {4, 13}}, {1, 1, 6, 4}},
        {"source rect beyond the source", {{0, 0}, {18, 0}, {0, 12}}, {-2, -1, 7, 5}},
        {"far outside", {{-5000, -5000}, {-4000, -5000}, {-5000, -4000}}, {0, 0, 7, 5}},
        {"large zoom", {{-300, -200}, {400, -200}, {-300, 300}}, {0, 0, 7, 5}},
    };
    auto source = Numbered(7, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto target = Bitmap::Create(16, 14, 32);
        FillRect(*target, {0, 0, 16, 14}, 0xABCDEF);
        const std::vector<u32> expected = Reference(*target, c.p, *source, c.source);
        PlgBlt(*target, c.p, *source, c.source);
        EXPECT_EQ(Pixels(*target), expected);
    }
}

TEST(RasterTest, ExactMappings)
{
    auto source = Numbered(3, 2);
    auto target = Bitmap::Create(6, 6, 32);
    const Rect all{0, 0, 3, 2};

    const Point identity[3] = {{0, 0}, {3, 0}, {0, 2}};
    PlgBlt(*target, identity, *source, all);
    for (u32 y = 0; y < 2; ++y)
        for (u32 x = 0; x < 3; ++x)
            EXPECT_EQ(At(*target, x, y), At(*source, x, y));
    EXPECT_EQ(At(*target, 3, 0), 0u);

    const Point twice[3] = {{0, 0}, {6, 0}, {0, 4}};
    PlgBlt(*target, twice, *source, all);
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 6; ++x)
            EXPECT_EQ(At(*target, x, y), At(*source, x / 2, y / 2));

    const Point mirrored[3] = {{3, 0}, {0, 0}, {3, 2}};
    PlgBlt(*target, mirrored, *source, all);
    for (u32 y = 0; y < 2; ++y)
        for (u32 x = 0; x < 3; ++x)
            EXPECT_EQ(At(*target, x, y), At(*source, 2 - x, y));

    // A quarter turn clockwise: the top row ends up as the right column.
    auto turned = Bitmap::Create(2, 3, 32);
    const Point quarter[3] = {{2, 0}, {2, 3}, {0, 0}};
    PlgBlt(*turned, quarter, *source, all);
    for (u32 y = 0; y < 3; ++y)
        for (u32 x = 0; x < 2; ++x)
            EXPECT_EQ(At(*turned, x, y), At(*source, y, 1 - x));
}

TEST(RasterTest, RotatedEdge)
{
    // One source pixel onto a diamond: which centres fall inside, with the left and top edges
    // of the source square included.
    auto source = Bitmap::Create(1, 1, 32);
    *reinterpret_cast<u32*>(source->Bits()) = 7;
    auto target = Bitmap::Create(5, 4, 32);
    const Point diamond[3] = {{2, 0}, {4, 2}, {0, 2}};
    PlgBlt(*target, diamond, *source, {0, 0, 1, 1});
    const char* expected[] = {".##..", "####.", ".##..", "....."};
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 5; ++x)
            EXPECT_EQ(At(*target, x, y), expected[y][x] == '#' ? 7u : 0u) << x << ", " << y;
}

TEST(RasterTest, DegenerateBlitsDrawNothing)
{
    auto source = Numbered(3, 3);
    auto target = Bitmap::Create(4, 4, 32);
    const Point flat[3] = {{0, 0}, {4, 4}, {2, 2}};
    EXPECT_FALSE(PlgBlt(*target, flat, *source, {0, 0, 3, 3}));
    const Point fine[3] = {{0, 0}, {4, 0}, {0, 4}};
    EXPECT_FALSE(PlgBlt(*target, fine, *source, {2, 2, 2, 3}));
    const Point huge[3] = {{0, 0}, {1 << 30, 0}, {0, 4}};
    EXPECT_FALSE(PlgBlt(*target, huge, *source, {0, 0, 3, 3}));
    auto plane = Bitmap::Create(3, 3, 8);
    EXPECT_FALSE(PlgBlt(*target, fine, *plane, {0, 0, 3, 3}));
    EXPECT_EQ(Pixels(*target), std::vector<u32>(16, 0));
}

TEST(RasterTest, FillFrameAndBlockCopy)
{
    auto target = Bitmap::Create(5, 4, 32);
    FillRect(*target, {-2, 1, 3, 9}, 0x0000FF); // red as a colour word
    EXPECT_EQ(At(*target, 0, 0), 0u);
    EXPECT_EQ(At(*target, 2, 3), 0xFF0000u);
    EXPECT_EQ(At(*target, 3, 1), 0u);
    // Memory row 0 is the bottom row.
    EXPECT_EQ(reinterpret_cast<const u32*>(target->Bits())[0], 0xFF0000u);

    auto framed = Bitmap::Create(5, 4, 32);
    FrameRect(*framed, {0, 0, 4, 4}, 0x00FF00);
    const char* expected[] = {"####.", "#..#.", "#..#.", "####."};
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 5; ++x)
            EXPECT_EQ(At(*framed, x, y), expected[y][x] == '#' ? 0xFF00u : 0u);

    auto source = Numbered(3, 3);
    auto copy = Bitmap::Create(4, 4, 32);
    BitBlt(*copy, 2, -1, 3, 3, *source, 0, 0);
    EXPECT_EQ(At(*copy, 2, 0), At(*source, 0, 1));
    EXPECT_EQ(At(*copy, 3, 1), At(*source, 1, 2));
    EXPECT_EQ(At(*copy, 1, 0), 0u);
    EXPECT_EQ(At(*copy, 2, 2), 0u);
    BitBlt(*copy, 0, 0, 4, 4, *source, -1, 2); // only the bottom source row lands
    EXPECT_EQ(At(*copy, 1, 0), At(*source, 0, 2));
    EXPECT_EQ(At(*copy, 0, 0), 0u);
}
