// DXT coder: the decoder against libsquish's, the encoder by round-trip error.

#include "formats/texture/dxt/dxt.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Picture
{
    u32 width = 0;
    u32 height = 0;
    std::vector<u32> pixels;

    DxtSource Source(bool hasAlpha) const
    {
        return {pixels.data(), width, height, size_t(width) * 4, hasAlpha};
    }
};

u32 Argb(int a, int r, int g, int b)
{
    return (u32(a) << 24) | (u32(r) << 16) | (u32(g) << 8) | u32(b);
}

int Channel(u32 px, int shift)
{
    return int((px >> shift) & 0xFF);
}

Picture Gradient(u32 width, u32 height)
{
    Picture p{width, height, std::vector<u32>(size_t(width) * height)};
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x)
            p.pixels[y * width + x] =
                Argb(int((x * 7 + y * 3) % 256), int(x * 255 / width), int(y * 255 / height),
                     int((x + y) * 127 / (width + height)));
    return p;
}

Picture Noise(u32 width, u32 height, unsigned seed)
{
    std::mt19937 rng(seed);
    Picture p{width, height, std::vector<u32>(size_t(width) * height)};
    for (u32& px : p.pixels)
        px = rng();
    return p;
}

// A smooth picture with some noise on top: edges and texture, as in photographs.
Picture Textured(u32 width, u32 height, unsigned seed)
{
    std::mt19937 rng(seed);
    Picture p = Gradient(width, height);
    for (u32& px : p.pixels) {
        const int n = int(rng() % 41) - 20;
        px = Argb(Channel(px, 24), std::clamp(Channel(px, 16) + n, 0, 255),
                  std::clamp(Channel(px, 8) - n, 0, 255),
                  std::clamp(Channel(px, 0) + n / 2, 0, 255));
    }
    return p;
}

std::vector<u8> Encode(const Picture& p, DxtFormat format, DxtLevel level, bool hasAlpha,
                       int threads = 1)
{
    std::vector<u8> blocks(DxtEncodedSize(p.width, p.height, format));
    EXPECT_TRUE(EncodeDxt(p.Source(hasAlpha), format, level, threads, blocks.data()));
    return blocks;
}

Picture Decode(const std::vector<u8>& blocks, u32 width, u32 height, DxtFormat format)
{
    Picture p{width, height, std::vector<u32>(size_t(width) * height)};
    EXPECT_TRUE(DecodeDxt(blocks.data(), width, height, format, p.pixels.data(), width * 4));
    return p;
}

// Mean squared error per RGB channel.
double ColourMse(const Picture& a, const Picture& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = Channel(a.pixels[i], shift) - Channel(b.pixels[i], shift);
            sum += d * d;
        }
    return sum / (3.0 * double(a.pixels.size()));
}

int MaxAlphaError(const Picture& a, const Picture& b)
{
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        worst = std::max(worst, std::abs(Channel(a.pixels[i], 24) - Channel(b.pixels[i], 24)));
    return worst;
}

int SquishFlags(DxtFormat format)
{
    return format == DxtFormat::Dxt1   ? squish::kDxt1
           : format == DxtFormat::Dxt3 ? squish::kDxt3
                                       : squish::kDxt5;
}

constexpr DxtFormat kFormats[] = {DxtFormat::Dxt1, DxtFormat::Dxt3, DxtFormat::Dxt5};
constexpr DxtLevel kLevels[] = {DxtLevel::Quality, DxtLevel::Fast};

TEST(DxtDecode, MatchesLibsquishOnRandomBlocks)
{
    std::mt19937 rng(4);
    for (DxtFormat format : kFormats) {
        const size_t blockBytes = format == DxtFormat::Dxt1 ? 8 : 16;
        std::vector<u8> block(blockBytes);
        for (int n = 0; n < 4000; ++n) {
            for (u8& b : block)
                b = u8(rng());
            // Equal ends and equal alpha ends are rare at random but decode specially.
            if (n % 8 == 1)
                block[blockBytes - 6] = block[blockBytes - 8],
                                   block[blockBytes - 5] = block[blockBytes - 7];
            if (n % 8 == 2 && format == DxtFormat::Dxt5) block[1] = block[0];
            u32 ours[16];
            ASSERT_TRUE(DecodeDxt(block.data(), 4, 4, format, ours, 16));
            u8 rgba[64];
            squish::Decompress(rgba, block.data(), SquishFlags(format));
            for (int i = 0; i < 16; ++i)
                ASSERT_EQ(ours[i],
                          Argb(rgba[4 * i + 3], rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]))
                    << "format " << int(format) << " block " << n << " pixel " << i;
        }
    }
}

TEST(DxtDecode, WritesOnlyTheRealPixels)
{
    const Picture src = Textured(5, 3, 1);
    for (DxtFormat format : kFormats) {
        const std::vector<u8> blocks = Encode(src, format, DxtLevel::Fast, true);
        ASSERT_EQ(blocks.size(), (format == DxtFormat::Dxt1 ? 8u : 16u) * 2);
        const u32 pitchPixels = 7;
        std::vector<u32> out(pitchPixels * 3 + 1, 0x12345678u);
        ASSERT_TRUE(DecodeDxt(blocks.data(), 5, 3, format, out.data(), pitchPixels * 4));
        for (u32 y = 0; y < 3; ++y)
            for (u32 x = 5; x < pitchPixels; ++x)
                EXPECT_EQ(out[y * pitchPixels + x], 0x12345678u);
        EXPECT_EQ(out.back(), 0x12345678u);
    }
}

TEST(DxtCoder, RefusesBadArguments)
{
    EXPECT_EQ(DxtEncodedSize(1, 1, DxtFormat::Dxt1), 8u);
    EXPECT_EQ(DxtEncodedSize(5, 3, DxtFormat::Dxt5), 32u);
    EXPECT_EQ(DxtEncodedSize(8, 9, DxtFormat::Dxt3), 96u);
    EXPECT_EQ(DxtEncodedSize(0, 4, DxtFormat::Dxt1), 0u);
    EXPECT_EQ(DxtEncodedSize(65537, 1, DxtFormat::Dxt1), 0u);
    EXPECT_EQ(DxtEncodedSize(65536, 65536, DxtFormat::Dxt1), 0u);
    EXPECT_EQ(DxtEncodedSize(65536, 4096, DxtFormat::Dxt1), size_t(16384) * 1024 * 8);

    u32 px[16] = {};
    u8 out[16] = {};
    EXPECT_FALSE(EncodeDxt({px, 0, 4, 16, false}, DxtFormat::Dxt1, DxtLevel::Fast, 1, out));
    EXPECT_FALSE(EncodeDxt({px, 4, 4, 12, false}, DxtFormat::Dxt1, DxtLevel::Fast, 1, out));
    EXPECT_FALSE(EncodeDxt({nullptr, 4, 4, 16, false}, DxtFormat::Dxt1, DxtLevel::Fast, 1, out));
    EXPECT_FALSE(EncodeDxt({px, 4, 4, 16, false}, DxtFormat::Dxt1, DxtLevel::Fast, 1, nullptr));
    EXPECT_FALSE(EncodeDxt({px, 70000, 1, 280000, false}, DxtFormat::Dxt1, DxtLevel::Fast, 1, out));
    EXPECT_FALSE(DecodeDxt(out, 4, 4, DxtFormat::Dxt1, px, 15));
    EXPECT_FALSE(DecodeDxt(out, 4, 0, DxtFormat::Dxt1, px, 16));
    EXPECT_FALSE(DecodeDxt(nullptr, 4, 4, DxtFormat::Dxt1, px, 16));
    EXPECT_FALSE(DecodeDxt(out, 1, 300000, DxtFormat::Dxt1, px, 4));
}

// The least squared error a block of one colour can have: every pixel takes the same index, so
// each channel independently gets the best pair of ends for that index.
int BestSingleColourError(u32 colour, bool threeColourMode)
{
    int total = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const int bits = ch == 1 ? 6 : 5;
        const int v = Channel(colour, 16 - 8 * ch);
        int best = 1 << 20;
        for (int q0 = 0; q0 < (1 << bits); ++q0)
            for (int q1 = 0; q1 < (1 << bits); ++q1) {
                const int a = (q0 << (8 - bits)) | (q0 >> (2 * bits - 8));
                const int b = (q1 << (8 - bits)) | (q1 >> (2 * bits - 8));
                const int p = threeColourMode ? (a + b) / 2 : (2 * a + b) / 3;
                best = std::min(best, (p - v) * (p - v));
            }
        total += best;
    }
    return total;
}

TEST(DxtEncode, SingleColourBlocksAreAsCloseAsPossible)
{
    std::mt19937 rng(7);
    std::vector<u32> colours;
    for (int v = 0; v < 256; ++v)
        colours.push_back(Argb(255, v, v, v));
    for (int n = 0; n < 200; ++n)
        colours.push_back(rng() | 0xFF000000u);
    for (DxtFormat format : kFormats) {
        for (DxtLevel level : kLevels) {
            for (u32 colour : colours) {
                const Picture src{4, 4, std::vector<u32>(16, colour)};
                const Picture out = Decode(Encode(src, format, level, false), 4, 4, format);
                int best = BestSingleColourError(colour, false);
                if (format == DxtFormat::Dxt1)
                    best = std::min(best, BestSingleColourError(colour, true));
                ASSERT_EQ(ColourMse(src, out) * 3.0, double(best)) << std::hex << colour;
                ASSERT_EQ(MaxAlphaError(src, out), 0);
            }
        }
    }
}

struct RoundTripCase
{
    const char* name;
    Picture picture;
    double maxMse[2]; // Quality, Fast
};

TEST(DxtEncode, RoundTripErrorIsSmallAndNoWorseThanLibsquish)
{
    const RoundTripCase cases[] = {
        {"gradient", Gradient(64, 64), {9.0, 9.5}},
        {"textured", Textured(64, 64, 2), {60.0, 70.0}},
        {"noise", Noise(32, 32, 3), {2900.0, 2950.0}},
    };
    for (const RoundTripCase& c : cases) {
        for (DxtFormat format : kFormats) {
            // libsquish's cluster fit with its uniform metric, the quality the levels aim at.
            std::vector<u8> rgba;
            for (u32 px : c.picture.pixels)
                rgba.insert(rgba.end(), {u8(px >> 16), u8(px >> 8), u8(px), 255});
            std::vector<u8> reference(DxtEncodedSize(c.picture.width, c.picture.height, format));
            squish::CompressImage(rgba.data(), int(c.picture.width), int(c.picture.height),
                                  reference.data(),
                                  SquishFlags(format) | squish::kColourClusterFit);
            const double referenceMse =
                ColourMse(c.picture, Decode(reference, c.picture.width, c.picture.height, format));
            for (int l = 0; l < 2; ++l) {
                const Picture out = Decode(Encode(c.picture, format, kLevels[l], false),
                                           c.picture.width, c.picture.height, format);
                const double mse = ColourMse(c.picture, out);
                EXPECT_LT(mse, c.maxMse[l])
                    << c.name << " format " << int(format) << " level " << l;
                if (kLevels[l] == DxtLevel::Quality) {
                    EXPECT_LE(mse, referenceMse * 1.01) << c.name << " format " << int(format);
                }
                for (u32 px : out.pixels)
                    ASSERT_EQ(px >> 24, 255u) << "opaque without alpha";
            }
        }
    }
}

TEST(DxtEncode, EdgeBlocksOfOddSizes)
{
    const std::pair<u32, u32> sizes[] = {{1, 1}, {3, 5}, {5, 3}, {2, 2}, {7, 1}};
    for (auto [w, h] : sizes) {
        // Colours on one line, so that a block can hold them closely.
        Picture src{w, h, std::vector<u32>(size_t(w) * h)};
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x)
                src.pixels[y * w + x] = Argb(int(x * 40 + y * 20), int(10 + (x + y) * 8),
                                             int(20 + (x + y) * 4), int(30 + (x + y) * 6));
        for (DxtFormat format : kFormats) {
            for (DxtLevel level : kLevels) {
                // DXT1 would punch out the low-alpha pixels; its alpha has its own test.
                const bool alpha = format != DxtFormat::Dxt1;
                const Picture out = Decode(Encode(src, format, level, alpha), w, h, format);
                EXPECT_LT(ColourMse(src, out), 40.0) << w << "x" << h << " format " << int(format);
                if (format == DxtFormat::Dxt3) {
                    EXPECT_LE(MaxAlphaError(src, out), 8);
                } else if (format == DxtFormat::Dxt5) {
                    EXPECT_LE(MaxAlphaError(src, out), 12);
                }
            }
        }
    }
    // One pixel: its block is one colour, repeated.
    const Picture dot{1, 1, {Argb(255, 8, 4, 247)}};
    EXPECT_EQ(ColourMse(dot, Decode(Encode(dot, DxtFormat::Dxt1, DxtLevel::Quality, false), 1, 1,
                                    DxtFormat::Dxt1)),
              0.0);
}

TEST(DxtEncode, Dxt1PunchThroughAlpha)
{
    // Alpha around the threshold and fully transparent blocks, over colourful pixels.
    Picture src = Textured(16, 8, 5);
    const int alphas[] = {0, 127, 128, 255, 1, 200, 90, 254};
    for (size_t i = 0; i < src.pixels.size(); ++i) {
        const int a = (i / 16) < 4 && (i % 16) < 4 ? 0 : alphas[(i * 5 + i / 16) % 8];
        src.pixels[i] = (src.pixels[i] & 0x00FFFFFFu) | (u32(a) << 24);
    }
    for (DxtLevel level : kLevels) {
        const Picture out =
            Decode(Encode(src, DxtFormat::Dxt1, level, true), 16, 8, DxtFormat::Dxt1);
        double sum = 0;
        int opaque = 0;
        for (size_t i = 0; i < src.pixels.size(); ++i) {
            const bool transparent = (src.pixels[i] >> 24) < 128;
            ASSERT_EQ(out.pixels[i], transparent ? 0u : (out.pixels[i] | 0xFF000000u)) << i;
            if (transparent) continue;
            ++opaque;
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = Channel(src.pixels[i], shift) - Channel(out.pixels[i], shift);
                sum += d * d;
            }
        }
        EXPECT_LT(sum / (3.0 * opaque), 200.0);
    }
    // Without the alpha flag the same picture is opaque.
    const Picture out =
        Decode(Encode(src, DxtFormat::Dxt1, DxtLevel::Quality, false), 16, 8, DxtFormat::Dxt1);
    for (u32 px : out.pixels)
        ASSERT_EQ(px >> 24, 255u);
}

TEST(DxtEncode, Dxt3AlphaIsTheNearestNibble)
{
    Picture src = Gradient(16, 16);
    for (size_t i = 0; i < src.pixels.size(); ++i)
        src.pixels[i] = (src.pixels[i] & 0x00FFFFFFu) | (u32(i) << 24);
    const Picture out =
        Decode(Encode(src, DxtFormat::Dxt3, DxtLevel::Fast, true), 16, 16, DxtFormat::Dxt3);
    for (size_t i = 0; i < src.pixels.size(); ++i) {
        const int a = int(i);
        const int nearest = (a + 8) / 17 * 17;
        ASSERT_EQ(Channel(out.pixels[i], 24), nearest) << a;
        ASSERT_LE(std::abs(nearest - a), 8);
    }
}

TEST(DxtEncode, Dxt5AlphaBlocks)
{
    struct AlphaCase
    {
        const char* name;
        int alpha[16];
        int maxError;
    };
    const AlphaCase cases[] = {
        {"only 0 and 255", {0, 255, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255}, 0},
        {"one value", {77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77}, 0},
        {"two values", {10, 200, 10, 200, 10, 200, 10, 200, 10, 200, 10, 200, 10, 200, 10, 200}, 0},
        {"0, 255 and a narrow middle",
         {0, 255, 100, 104, 108, 112, 116, 120, 0, 255, 100, 104, 108, 112, 116, 120},
         1},
        {"ramp", {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255}, 10},
        {"near the ends", {1, 2, 254, 253, 1, 2, 254, 253, 0, 255, 0, 255, 3, 252, 3, 252}, 2},
    };
    for (const AlphaCase& c : cases) {
        Picture src{4, 4, std::vector<u32>(16)};
        for (int i = 0; i < 16; ++i)
            src.pixels[i] = Argb(c.alpha[i], i * 16, 255 - i * 16, 99);
        for (DxtLevel level : kLevels) {
            const Picture out =
                Decode(Encode(src, DxtFormat::Dxt5, level, true), 4, 4, DxtFormat::Dxt5);
            EXPECT_LE(MaxAlphaError(src, out), c.maxError) << c.name << " level " << int(level);
        }
    }
    // Without the alpha flag every pixel decodes opaque.
    const Picture src{4, 4, std::vector<u32>(16, Argb(0, 1, 2, 3))};
    for (DxtFormat format : kFormats) {
        const Picture out = Decode(Encode(src, format, DxtLevel::Quality, false), 4, 4, format);
        for (u32 px : out.pixels)
            ASSERT_EQ(px >> 24, 255u) << int(format);
    }
}

TEST(DxtEncode, SameBytesForAnyThreadCount)
{
    const Picture src = Textured(64, 61, 9);
    for (DxtFormat format : kFormats) {
        for (DxtLevel level : kLevels) {
            const std::vector<u8> one = Encode(src, format, level, true, 1);
            for (int threads : {2, 3, 0, 40})
                EXPECT_EQ(Encode(src, format, level, true, threads), one)
                    << int(format) << " threads " << threads;
        }
    }
}

} // namespace
