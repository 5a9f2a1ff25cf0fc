// Alpha halves of DXT3 and DXT5 blocks.
//
// DXT5 has two palettes: alpha0 > alpha1 gives eight values between the ends, alpha0 <= alpha1
// six values plus exact 0 and 255. Both are fitted (ends from the range, then least squares on the
// chosen indices and one-step nudges at the quality level) and the lower squared error is kept.

#include "formats/texture/dxt/dxt_block.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

struct AlphaFit
{
    int a0 = 0;
    int a1 = 0;
    int error = 1 << 30;
    u8 index[16] = {};
};

void AlphaPalette(int a0, int a1, int pal[8])
{
    pal[0] = a0;
    pal[1] = a1;
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i)
            pal[1 + i] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i < 5; ++i)
            pal[1 + i] = ((5 - i) * a0 + i * a1) / 5;
        pal[6] = 0;
        pal[7] = 255;
    }
}

// Nearest palette entry of every pixel (the first one on a tie) and the summed squared error,
// sixteen pixels at once as bytes.
int SelectAlpha(const int* alpha, int a0, int a1, u8* index)
{
    int pal[8];
    AlphaPalette(a0, a1, pal);
    alignas(16) u8 bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = u8(alpha[i]);
    const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
    __m128i best = _mm_set1_epi8(char(0xFF));
    __m128i chosen = _mm_setzero_si128();
    for (int e = 0; e < 8; ++e) {
        const __m128i v = _mm_set1_epi8(char(pal[e]));
        const __m128i d = _mm_or_si128(_mm_subs_epu8(a, v), _mm_subs_epu8(v, a));
        const __m128i newBest = _mm_min_epu8(d, best);
        // Strictly closer: the minimum moved.
        const __m128i closer =
            _mm_andnot_si128(_mm_cmpeq_epi8(newBest, best), _mm_set1_epi8(char(0xFF)));
        chosen = _mm_or_si128(_mm_and_si128(closer, _mm_set1_epi8(char(e))),
                              _mm_andnot_si128(closer, chosen));
        best = newBest;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(index), chosen);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_unpacklo_epi8(best, zero), hi = _mm_unpackhi_epi8(best, zero);
    __m128i sums = _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(1, 0, 3, 2)));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sums);
}

// The mode is fixed by the order of the ends: eight values need a0 > a1, six values a0 <= a1.
bool ModeHolds(int a0, int a1, bool eight)
{
    return eight ? a0 > a1 : a0 <= a1;
}

AlphaFit MakeAlphaFit(const int* alpha, int a0, int a1)
{
    AlphaFit fit;
    fit.a0 = a0;
    fit.a1 = a1;
    fit.error = SelectAlpha(alpha, a0, a1, fit.index);
    return fit;
}

void RefineAlpha(const int* alpha, AlphaFit& fit, bool eight, int iterations)
{
    for (int it = 0; it < iterations; ++it) {
        // Weight of alpha0 in each entry; the fixed 0 and 255 do not depend on the ends.
        static constexpr float kEight[8] = {1.0f,        0.0f,        6.0f / 7.0f, 5.0f / 7.0f,
                                            4.0f / 7.0f, 3.0f / 7.0f, 2.0f / 7.0f, 1.0f / 7.0f};
        static constexpr float kSix[8] = {1.0f, 0.0f, 0.8f, 0.6f, 0.4f, 0.2f, -1.0f, -1.0f};
        const float* weight = eight ? kEight : kSix;
        float aa = 0, bb = 0, ab = 0, x = 0, y = 0;
        for (int i = 0; i < 16; ++i) {
            const float w = weight[fit.index[i]];
            if (w < 0.0f) continue;
            const float v = float(alpha[i]);
            aa += w * w;
            bb += (1 - w) * (1 - w);
            ab += w * (1 - w);
            x += w * v;
            y += (1 - w) * v;
        }
        const float det = aa * bb - ab * ab;
        if (det < 1e-3f) return;
        const int a0 = std::clamp(int((x * bb - y * ab) / det + 0.5f), 0, 255);
        const int a1 = std::clamp(int((y * aa - x * ab) / det + 0.5f), 0, 255);
        if ((a0 == fit.a0 && a1 == fit.a1) || !ModeHolds(a0, a1, eight)) return;
        AlphaFit next = MakeAlphaFit(alpha, a0, a1);
        if (next.error >= fit.error) return;
        fit = next;
    }
}

void PolishAlpha(const int* alpha, AlphaFit& fit, bool eight, int passes)
{
    for (int pass = 0; pass < passes; ++pass) {
        bool improved = false;
        for (int end = 0; end < 2; ++end) {
            for (int delta = -1; delta <= 1; delta += 2) {
                int a0 = fit.a0, a1 = fit.a1;
                (end == 0 ? a0 : a1) += delta;
                if (a0 < 0 || a0 > 255 || a1 < 0 || a1 > 255 || !ModeHolds(a0, a1, eight)) continue;
                AlphaFit next = MakeAlphaFit(alpha, a0, a1);
                if (next.error < fit.error) {
                    fit = next;
                    improved = true;
                }
            }
        }
        if (!improved) return;
    }
}

} // namespace

void EncodeAlphaDxt3(const u32* pixels, u8* out)
{
    for (int i = 0; i < 8; ++i) {
        // Nearest of the sixteen levels 17 * n.
        const u32 lo = ((pixels[2 * i] >> 24) + 8) / 17;
        const u32 hi = ((pixels[2 * i + 1] >> 24) + 8) / 17;
        out[i] = u8(lo | (hi << 4));
    }
}

void EncodeAlphaDxt5(const u32* pixels, DxtLevel level, u8* out)
{
    int alpha[16];
    int lo = 255, hi = 0, innerLo = 255, innerHi = 0;
    for (int i = 0; i < 16; ++i) {
        const int a = int(pixels[i] >> 24);
        alpha[i] = a;
        lo = std::min(lo, a);
        hi = std::max(hi, a);
        if (a != 0 && a != 255) {
            innerLo = std::min(innerLo, a);
            innerHi = std::max(innerHi, a);
        }
    }
    AlphaFit best;
    if (lo == hi) {
        best = MakeAlphaFit(alpha, lo, lo); // exact: index 0 everywhere
    } else {
        const bool quality = level == DxtLevel::Quality;
        AlphaFit eight = MakeAlphaFit(alpha, hi, lo);
        RefineAlpha(alpha, eight, true, quality ? 4 : 1);
        if (quality) PolishAlpha(alpha, eight, true, 4);
        best = eight;
        if (innerLo > innerHi) {
            // Only 0 and 255: both are exact entries of the six-value palette.
            AlphaFit six = MakeAlphaFit(alpha, 0, 255);
            if (six.error < best.error) best = six;
        } else if (best.error > 0 && (quality || lo == 0 || hi == 255)) {
            // The fast level leaves the six-value palette to blocks that reach 0 or 255,
            // where its exact ends pay.
            AlphaFit six = MakeAlphaFit(alpha, innerLo, innerHi);
            RefineAlpha(alpha, six, false, quality ? 4 : 1);
            if (quality) PolishAlpha(alpha, six, false, 4);
            if (six.error < best.error) best = six;
        }
    }
    out[0] = u8(best.a0);
    out[1] = u8(best.a1);
    u64 bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= u64(best.index[i]) << (3 * i);
    for (int i = 0; i < 6; ++i)
        out[2 + i] = u8(bits >> (8 * i));
}

void DecodeAlphaDxt3(const u8* block, u32* pixels)
{
    for (int i = 0; i < 16; ++i) {
        const u32 nibble = (block[i / 2] >> (4 * (i & 1))) & 0xF;
        pixels[i] = (pixels[i] & 0x00FFFFFFu) | ((nibble * 17) << 24);
    }
}

void DecodeAlphaDxt5(const u8* block, u32* pixels)
{
    int pal[8];
    AlphaPalette(block[0], block[1], pal);
    u64 bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= u64(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        const u32 a = u32(pal[(bits >> (3 * i)) & 7]);
        pixels[i] = (pixels[i] & 0x00FFFFFFu) | (a << 24);
    }
}
