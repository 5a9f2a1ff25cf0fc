// Colour half of a DXT block.
//
// Quality level: the points are ordered along their principal axis and every split of that order
// into the palette's clusters is scored in closed form from prefix sums (the least-squares ends of
// a split follow from the sums of its clusters). The best splits are quantised to 5-6-5, then
// least-squares refinement alternates with the choice of selectors, and each quantised component
// is nudged by one step while that lowers the error. DXT1 also tries the three-colour mode.
// Fast level: principal-axis ends and the refinement only, three colours only where alpha needs
// them.
// Errors are unweighted RGB squared errors against the palette the reference decoders produce.

#include "formats/texture/dxt/dxt_block.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

inline int Expand5(int q)
{
    return (q << 3) | (q >> 2);
}
inline int Expand6(int q)
{
    return (q << 2) | (q >> 4);
}

constexpr int kChannelMax[3] = {31, 63, 31};

// The points being fitted: the block's pixels that take part (all of them, or the opaque ones of
// a punch-through DXT1 block), padded to a multiple of 4 with copies of point 0 of weight 0.
struct Points
{
    alignas(16) float r[16];
    alignas(16) float g[16];
    alignas(16) float b[16];
    alignas(16) float w[16];
    int count = 0;
    int groups = 0;
};

// Quantised ends: red 0-31, green 0-63, blue 0-31 of end 0 and end 1.
struct Ends
{
    int c[2][3];
    bool operator==(const Ends&) const = default;
};

struct Fit
{
    Ends ends{};
    bool three = false;
    float error = 1e30f;
    u8 sel[16] = {};
};

// Exact best ends for a block of one colour, per channel value: the palette entry 2 of the four-
// colour mode ((2a + b) / 3) or of the three-colour mode ((a + b) / 2) made as close as possible.
struct SingleEntry
{
    u8 e0;
    u8 e1;
    u8 error;
};

struct SingleTables
{
    SingleEntry four5[256];
    SingleEntry four6[256];
    SingleEntry three5[256];
    SingleEntry three6[256];

    SingleTables()
    {
        Build(four5, 5, false);
        Build(four6, 6, false);
        Build(three5, 5, true);
        Build(three6, 6, true);
    }

    static void Build(SingleEntry* table, int bits, bool three)
    {
        const int levels = 1 << bits;
        for (int v = 0; v < 256; ++v) {
            SingleEntry best{0, 0, 255};
            for (int q0 = 0; q0 < levels; ++q0) {
                for (int q1 = 0; q1 < levels; ++q1) {
                    const int a = bits == 5 ? Expand5(q0) : Expand6(q0);
                    const int b = bits == 5 ? Expand5(q1) : Expand6(q1);
                    const int p = three ? (a + b) / 2 : (2 * a + b) / 3;
                    const int err = std::abs(p - v);
                    if (err < best.error) best = {u8(q0), u8(q1), u8(err)};
                }
            }
            table[v] = best;
        }
    }
};

const SingleTables& Singles()
{
    static const SingleTables tables;
    return tables;
}

float HorizontalSum(__m128 v)
{
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, v);
    return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

void BuildPalette(const Ends& e, bool three, float pal[4][3])
{
    const int a[3] = {Expand5(e.c[0][0]), Expand6(e.c[0][1]), Expand5(e.c[0][2])};
    const int b[3] = {Expand5(e.c[1][0]), Expand6(e.c[1][1]), Expand5(e.c[1][2])};
    for (int ch = 0; ch < 3; ++ch) {
        pal[0][ch] = float(a[ch]);
        pal[1][ch] = float(b[ch]);
        if (three) {
            pal[2][ch] = float((a[ch] + b[ch]) / 2);
            pal[3][ch] = 0.0f; // transparent black: never chosen for a point
        } else {
            pal[2][ch] = float((2 * a[ch] + b[ch]) / 3);
            pal[3][ch] = float((a[ch] + 2 * b[ch]) / 3);
        }
    }
}

// Chooses the nearest palette entry of every point (the first one on a tie) and returns the
// summed squared error of the real points.
float Select(const Points& p, const float pal[4][3], int entries, u8* sel)
{
    __m128 total = _mm_setzero_ps();
    for (int g = 0; g < p.groups; ++g) {
        const __m128 r = _mm_load_ps(p.r + 4 * g);
        const __m128 gr = _mm_load_ps(p.g + 4 * g);
        const __m128 b = _mm_load_ps(p.b + 4 * g);
        __m128 best = _mm_set1_ps(1e30f);
        __m128 index = _mm_setzero_ps();
        for (int e = 0; e < entries; ++e) {
            const __m128 dr = _mm_sub_ps(r, _mm_set1_ps(pal[e][0]));
            const __m128 dg = _mm_sub_ps(gr, _mm_set1_ps(pal[e][1]));
            const __m128 db = _mm_sub_ps(b, _mm_set1_ps(pal[e][2]));
            const __m128 d =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
            const __m128 less = _mm_cmplt_ps(d, best);
            best = _mm_min_ps(d, best);
            index = _mm_or_ps(_mm_and_ps(less, _mm_set1_ps(float(e))), _mm_andnot_ps(less, index));
        }
        total = _mm_add_ps(total, _mm_mul_ps(best, _mm_load_ps(p.w + 4 * g)));
        if (sel) {
            alignas(16) i32 lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_cvttps_epi32(index));
            for (int l = 0; l < 4; ++l)
                sel[4 * g + l] = u8(lanes[l]);
        }
    }
    alignas(16) float sums[4];
    _mm_store_ps(sums, total);
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

float Evaluate(const Points& p, const Ends& e, bool three, u8* sel)
{
    float pal[4][3];
    BuildPalette(e, three, pal);
    return Select(p, pal, three ? 3 : 4, sel);
}

inline int Quantise(float v, int channel)
{
    const float maxQ = float(kChannelMax[channel]);
    return int(std::min(std::max(v * (maxQ / 255.0f) + 0.5f, 0.0f), maxQ));
}

Ends QuantiseEnds(const float a[3], const float b[3])
{
    Ends e;
    for (int ch = 0; ch < 3; ++ch) {
        e.c[0][ch] = Quantise(a[ch], ch);
        e.c[1][ch] = Quantise(b[ch], ch);
    }
    return e;
}

Fit MakeFit(const Points& p, const Ends& e, bool three)
{
    Fit fit;
    fit.ends = e;
    fit.three = three;
    fit.error = Evaluate(p, e, three, fit.sel);
    return fit;
}

// Least-squares ends for the selectors of the fit; false when the selectors do not pin both ends.
bool SolveEnds(const Points& p, const u8* sel, bool three, float a[3], float b[3])
{
    static constexpr float kWeight4[4] = {1.0f, 0.0f, 2.0f / 3.0f, 1.0f / 3.0f};
    static constexpr float kWeight3[4] = {1.0f, 0.0f, 0.5f, 0.0f};
    const float* weight = three ? kWeight3 : kWeight4;
    alignas(16) float alpha[16];
    for (int i = 0; i < 4 * p.groups; ++i)
        alpha[i] = weight[sel[i] & 3];
    // With beta = 1 - alpha only the sums of alpha, alpha^2 and alpha * colour are needed.
    __m128 sa = _mm_setzero_ps(), saa = _mm_setzero_ps(), sw = _mm_setzero_ps();
    __m128 xr = _mm_setzero_ps(), xg = _mm_setzero_ps(), xb = _mm_setzero_ps();
    __m128 tr = _mm_setzero_ps(), tg = _mm_setzero_ps(), tb = _mm_setzero_ps();
    for (int g = 0; g < p.groups; ++g) {
        const __m128 w = _mm_load_ps(p.w + 4 * g);
        const __m128 al = _mm_mul_ps(w, _mm_load_ps(alpha + 4 * g));
        const __m128 r = _mm_load_ps(p.r + 4 * g), gr = _mm_load_ps(p.g + 4 * g);
        const __m128 b = _mm_load_ps(p.b + 4 * g);
        sw = _mm_add_ps(sw, w);
        sa = _mm_add_ps(sa, al);
        saa = _mm_add_ps(saa, _mm_mul_ps(al, al));
        xr = _mm_add_ps(xr, _mm_mul_ps(al, r));
        xg = _mm_add_ps(xg, _mm_mul_ps(al, gr));
        xb = _mm_add_ps(xb, _mm_mul_ps(al, b));
        tr = _mm_add_ps(tr, _mm_mul_ps(w, r));
        tg = _mm_add_ps(tg, _mm_mul_ps(w, gr));
        tb = _mm_add_ps(tb, _mm_mul_ps(w, b));
    }
    const float n = HorizontalSum(sw), sumA = HorizontalSum(sa), sumAA = HorizontalSum(saa);
    const float aa = sumAA, bb = n - 2.0f * sumA + sumAA, ab = sumA - sumAA;
    const float x[3] = {HorizontalSum(xr), HorizontalSum(xg), HorizontalSum(xb)};
    const float t[3] = {HorizontalSum(tr), HorizontalSum(tg), HorizontalSum(tb)};
    const float y[3] = {t[0] - x[0], t[1] - x[1], t[2] - x[2]};
    const float det = aa * bb - ab * ab;
    if (det < 1e-3f) return false;
    const float inv = 1.0f / det;
    for (int ch = 0; ch < 3; ++ch) {
        a[ch] = (x[ch] * bb - y[ch] * ab) * inv;
        b[ch] = (y[ch] * aa - x[ch] * ab) * inv;
    }
    return true;
}

void Refine(const Points& p, Fit& fit, int iterations)
{
    for (int it = 0; it < iterations; ++it) {
        float a[3], b[3];
        if (!SolveEnds(p, fit.sel, fit.three, a, b)) return;
        const Ends e = QuantiseEnds(a, b);
        if (e == fit.ends) return;
        Fit next = MakeFit(p, e, fit.three);
        if (!(next.error < fit.error)) return;
        fit = next;
    }
}

// Moves single quantised components by one step while that lowers the error.
void Polish(const Points& p, Fit& fit, int passes)
{
    for (int pass = 0; pass < passes; ++pass) {
        bool improved = false;
        for (int end = 0; end < 2; ++end) {
            for (int ch = 0; ch < 3; ++ch) {
                for (int delta = -1; delta <= 1; delta += 2) {
                    Ends e = fit.ends;
                    e.c[end][ch] += delta;
                    if (e.c[end][ch] < 0 || e.c[end][ch] > kChannelMax[ch]) continue;
                    u8 sel[16];
                    const float err = Evaluate(p, e, fit.three, sel);
                    if (err < fit.error) {
                        fit.ends = e;
                        fit.error = err;
                        std::memcpy(fit.sel, sel, sizeof sel);
                        improved = true;
                    }
                }
            }
        }
        if (!improved) return;
    }
}

void PrincipalAxis(const Points& p, int iterations, float mean[3], float axis[3])
{
    __m128 sr = _mm_setzero_ps(), sg = _mm_setzero_ps(), sb = _mm_setzero_ps();
    for (int g = 0; g < p.groups; ++g) {
        const __m128 w = _mm_load_ps(p.w + 4 * g);
        sr = _mm_add_ps(sr, _mm_mul_ps(w, _mm_load_ps(p.r + 4 * g)));
        sg = _mm_add_ps(sg, _mm_mul_ps(w, _mm_load_ps(p.g + 4 * g)));
        sb = _mm_add_ps(sb, _mm_mul_ps(w, _mm_load_ps(p.b + 4 * g)));
    }
    const float invCount = 1.0f / float(p.count);
    mean[0] = HorizontalSum(sr) * invCount;
    mean[1] = HorizontalSum(sg) * invCount;
    mean[2] = HorizontalSum(sb) * invCount;
    const __m128 mr = _mm_set1_ps(mean[0]), mg = _mm_set1_ps(mean[1]), mb = _mm_set1_ps(mean[2]);
    __m128 c[6] = {}; // rr rg rb gg gb bb
    for (int g = 0; g < p.groups; ++g) {
        const __m128 w = _mm_load_ps(p.w + 4 * g);
        const __m128 dr = _mm_mul_ps(w, _mm_sub_ps(_mm_load_ps(p.r + 4 * g), mr));
        const __m128 dg = _mm_mul_ps(w, _mm_sub_ps(_mm_load_ps(p.g + 4 * g), mg));
        const __m128 db = _mm_mul_ps(w, _mm_sub_ps(_mm_load_ps(p.b + 4 * g), mb));
        c[0] = _mm_add_ps(c[0], _mm_mul_ps(dr, dr));
        c[1] = _mm_add_ps(c[1], _mm_mul_ps(dr, dg));
        c[2] = _mm_add_ps(c[2], _mm_mul_ps(dr, db));
        c[3] = _mm_add_ps(c[3], _mm_mul_ps(dg, dg));
        c[4] = _mm_add_ps(c[4], _mm_mul_ps(dg, db));
        c[5] = _mm_add_ps(c[5], _mm_mul_ps(db, db));
    }
    float cov[6];
    for (int i = 0; i < 6; ++i)
        cov[i] = HorizontalSum(c[i]);
    // Start from the covariance column of the largest variance: never orthogonal to the axis.
    float v[3];
    if (cov[0] >= cov[3] && cov[0] >= cov[5]) {
        v[0] = cov[0], v[1] = cov[1], v[2] = cov[2];
    } else if (cov[3] >= cov[5]) {
        v[0] = cov[1], v[1] = cov[3], v[2] = cov[4];
    } else {
        v[0] = cov[2], v[1] = cov[4], v[2] = cov[5];
    }
    for (int it = 0; it < iterations; ++it) {
        const float x = cov[0] * v[0] + cov[1] * v[1] + cov[2] * v[2];
        const float y = cov[1] * v[0] + cov[3] * v[1] + cov[4] * v[2];
        const float z = cov[2] * v[0] + cov[4] * v[1] + cov[5] * v[2];
        const float m = std::max({std::fabs(x), std::fabs(y), std::fabs(z)});
        if (m <= 0.0f) break;
        const float inv = 1.0f / m;
        v[0] = x * inv, v[1] = y * inv, v[2] = z * inv;
    }
    const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0.0f) {
        for (int ch = 0; ch < 3; ++ch)
            axis[ch] = v[ch] / len;
    } else {
        axis[0] = axis[1] = axis[2] = 0.57735027f;
    }
}

// Prefix sums of the points in axis order, padded with the total for the vector loads.
struct Prefix
{
    alignas(16) float r[20];
    alignas(16) float g[20];
    alignas(16) float b[20];
    int n = 0;
};

Prefix SortedPrefix(const Points& p, const float mean[3], const float axis[3])
{
    float t[16];
    int order[16];
    for (int i = 0; i < p.count; ++i) {
        t[i] = (p.r[i] - mean[0]) * axis[0] + (p.g[i] - mean[1]) * axis[1] +
               (p.b[i] - mean[2]) * axis[2];
        order[i] = i;
    }
    for (int i = 1; i < p.count; ++i) {
        const int o = order[i];
        int j = i;
        while (j > 0 && t[order[j - 1]] > t[o]) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = o;
    }
    Prefix s;
    s.n = p.count;
    s.r[0] = s.g[0] = s.b[0] = 0.0f;
    for (int i = 0; i < 19; ++i) {
        const int o = i < p.count ? order[i] : -1;
        s.r[i + 1] = s.r[i] + (o >= 0 ? p.r[o] : 0.0f);
        s.g[i + 1] = s.g[i] + (o >= 0 ? p.g[o] : 0.0f);
        s.b[i + 1] = s.b[i] + (o >= 0 ? p.b[o] : 0.0f);
    }
    return s;
}

// The four-colour split 0 <= i <= j <= k <= n puts the first i ordered points on end 0, the next
// j - i on (2a + b) / 3, then k - j on (a + 2b) / 3 and the rest on end 1. With the cluster sums
// taken from the prefix sums P, the least-squares system has (scaled by 9)
//   A = 5i + 3j + k, B = 9n - i - 3j - 5k, C = 2(k - i), X = (P_i + P_j + P_k) / 3, Y = T - X,
// and the error the split removes is proportional to (B|X|^2 - 2C X.Y + A|Y|^2) / (AB - C^2).
// With Y = T - X that is c1 |X'|^2 - c2 X'.T + c3 |T|^2 for X' = P_i + P_j + P_k and constants of
// the split alone, which are tabulated once per point count.
// The three-colour split i <= j: i points on end 0, j - i on (a + b) / 2, the rest on end 1.
// Scaled by 4: A = 3i + j, B = 4n - i - 3j, C = j - i, X = (P_i + P_j) / 2.
struct SplitTable
{
    std::vector<float> coef; // per step of four lanes: c1 x4, c2 x4, c3 x4
    std::vector<i32> split;  // per lane: i * 289 + j * 17 + k, or -1 past the end
};

void AddSplit(SplitTable& t, size_t step, int lane, double a, double b, double c, double scaleX,
              i32 split)
{
    const double det = a * b - c * c;
    if (det > 0.5) {
        const double cb = b / det, cc = 2.0 * c / det, ca = a / det;
        t.coef[12 * step + lane] = float((cb + cc + ca) / (scaleX * scaleX));
        t.coef[12 * step + 4 + lane] = float((cc + 2.0 * ca) / scaleX);
        t.coef[12 * step + 8 + lane] = float(ca);
    }
    t.split[4 * step + lane] = split;
}

struct SplitTables
{
    SplitTable four[17];
    SplitTable three[17];

    SplitTables()
    {
        for (int n = 1; n <= 16; ++n) {
            SplitTable& f = four[n];
            for (int i = 0; i <= n; ++i)
                for (int j = i; j <= n; ++j)
                    for (int k0 = j; k0 <= n; k0 += 4) {
                        const size_t step = f.split.size() / 4;
                        f.coef.resize(f.coef.size() + 12, 0.0f);
                        f.split.resize(f.split.size() + 4, -1);
                        for (int l = 0; l < 4 && k0 + l <= n; ++l) {
                            const int k = k0 + l;
                            AddSplit(f, step, l, 5 * i + 3 * j + k, 9 * n - i - 3 * j - 5 * k,
                                     2 * (k - i), 3.0, i * 289 + j * 17 + k);
                        }
                    }
            SplitTable& t = three[n];
            for (int i = 0; i <= n; ++i)
                for (int j0 = i; j0 <= n; j0 += 4) {
                    const size_t step = t.split.size() / 4;
                    t.coef.resize(t.coef.size() + 12, 0.0f);
                    t.split.resize(t.split.size() + 4, -1);
                    for (int l = 0; l < 4 && j0 + l <= n; ++l) {
                        const int j = j0 + l;
                        AddSplit(t, step, l, 3 * i + j, 4 * n - i - 3 * j, j - i, 2.0,
                                 i * 289 + j * 17);
                    }
                }
        }
    }
};

const SplitTables& Splits()
{
    static const SplitTables tables;
    return tables;
}

// Scores one step of four splits whose X' is base + P[at..at+3] and keeps each lane's best.
struct SplitSearch
{
    __m128 tr, tg, tb, tt;
    __m128 bestQ = _mm_set1_ps(-1.0f);
    __m128 bestStep = _mm_setzero_ps();

    explicit SplitSearch(const Prefix& s)
    {
        const int n = s.n;
        tr = _mm_set1_ps(s.r[n]);
        tg = _mm_set1_ps(s.g[n]);
        tb = _mm_set1_ps(s.b[n]);
        tt = _mm_set1_ps(s.r[n] * s.r[n] + s.g[n] * s.g[n] + s.b[n] * s.b[n]);
    }

    void Step(const float* coef, float step, __m128 xr, __m128 xg, __m128 xb)
    {
        const __m128 xx =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(xr, xr), _mm_mul_ps(xg, xg)), _mm_mul_ps(xb, xb));
        const __m128 xt =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(xr, tr), _mm_mul_ps(xg, tg)), _mm_mul_ps(xb, tb));
        const __m128 q = _mm_add_ps(
            _mm_sub_ps(_mm_mul_ps(_mm_load_ps(coef), xx), _mm_mul_ps(_mm_load_ps(coef + 4), xt)),
            _mm_mul_ps(_mm_load_ps(coef + 8), tt));
        const __m128 better = _mm_cmpgt_ps(q, bestQ);
        bestQ = _mm_max_ps(q, bestQ);
        bestStep =
            _mm_or_ps(_mm_and_ps(better, _mm_set1_ps(step)), _mm_andnot_ps(better, bestStep));
    }

    // The split of every lane's best, -1 where a lane found none.
    void Best(const SplitTable& table, i32 splits[4]) const
    {
        alignas(16) float steps[4];
        _mm_store_ps(steps, bestStep);
        for (int l = 0; l < 4; ++l)
            splits[l] = table.split[4 * size_t(steps[l]) + l];
    }
};

// Least-squares ends of a split from its cluster sums.
void SplitEnds(const Prefix& s, i32 split, bool three, float ends[2][3])
{
    const int n = s.n;
    const int i = split / 289, j = (split / 17) % 17, k = split % 17;
    const float t[3] = {s.r[n], s.g[n], s.b[n]};
    float a, b, c, scale;
    float x[3];
    if (three) {
        a = float(3 * i + j), b = float(4 * n - i - 3 * j), c = float(j - i), scale = 4.0f;
        x[0] = (s.r[i] + s.r[j]) * 0.5f, x[1] = (s.g[i] + s.g[j]) * 0.5f;
        x[2] = (s.b[i] + s.b[j]) * 0.5f;
    } else {
        a = float(5 * i + 3 * j + k), b = float(9 * n - i - 3 * j - 5 * k), c = float(2 * (k - i));
        scale = 9.0f;
        x[0] = (s.r[i] + s.r[j] + s.r[k]) / 3.0f, x[1] = (s.g[i] + s.g[j] + s.g[k]) / 3.0f;
        x[2] = (s.b[i] + s.b[j] + s.b[k]) / 3.0f;
    }
    const float det = a * b - c * c;
    for (int ch = 0; ch < 3; ++ch) {
        const float y = t[ch] - x[ch];
        if (det > 0.5f) {
            ends[0][ch] = scale * (x[ch] * b - y * c) / det;
            ends[1][ch] = scale * (y * a - x[ch] * c) / det;
        } else {
            ends[0][ch] = ends[1][ch] = t[ch] / float(n);
        }
    }
}

void SearchFour(const Prefix& s, i32 splits[4])
{
    const int n = s.n;
    const SplitTable& table = Splits().four[n];
    const float* coef = table.coef.data();
    SplitSearch search(s);
    float step = 0.0f;
    for (int i = 0; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            const __m128 sr = _mm_set1_ps(s.r[i] + s.r[j]);
            const __m128 sg = _mm_set1_ps(s.g[i] + s.g[j]);
            const __m128 sb = _mm_set1_ps(s.b[i] + s.b[j]);
            for (int k0 = j; k0 <= n; k0 += 4, coef += 12, step += 1.0f)
                search.Step(coef, step, _mm_add_ps(sr, _mm_loadu_ps(s.r + k0)),
                            _mm_add_ps(sg, _mm_loadu_ps(s.g + k0)),
                            _mm_add_ps(sb, _mm_loadu_ps(s.b + k0)));
        }
    }
    search.Best(table, splits);
}

i32 SearchThree(const Prefix& s)
{
    const int n = s.n;
    const SplitTable& table = Splits().three[n];
    const float* coef = table.coef.data();
    SplitSearch search(s);
    float step = 0.0f;
    for (int i = 0; i <= n; ++i) {
        const __m128 sr = _mm_set1_ps(s.r[i]);
        const __m128 sg = _mm_set1_ps(s.g[i]);
        const __m128 sb = _mm_set1_ps(s.b[i]);
        for (int j0 = i; j0 <= n; j0 += 4, coef += 12, step += 1.0f)
            search.Step(coef, step, _mm_add_ps(sr, _mm_loadu_ps(s.r + j0)),
                        _mm_add_ps(sg, _mm_loadu_ps(s.g + j0)),
                        _mm_add_ps(sb, _mm_loadu_ps(s.b + j0)));
    }
    // The best of the four lanes.
    alignas(16) float q[4];
    _mm_store_ps(q, search.bestQ);
    i32 splits[4];
    search.Best(table, splits);
    i32 best = -1;
    float bestQ = -1.0f;
    for (int l = 0; l < 4; ++l)
        if (splits[l] >= 0 && q[l] > bestQ) best = splits[l], bestQ = q[l];
    return best;
}

Fit BestOfSearchFour(const Points& p, const Prefix& s)
{
    i32 splits[4];
    SearchFour(s, splits);
    Fit best;
    for (int l = 0; l < 4; ++l) {
        if (splits[l] < 0) continue;
        float ends[2][3];
        SplitEnds(s, splits[l], false, ends);
        const Ends e = QuantiseEnds(ends[0], ends[1]);
        if (best.error < 1e30f && e == best.ends) continue;
        Fit fit = MakeFit(p, e, false);
        if (fit.error < best.error) best = fit;
    }
    return best;
}

Fit FitQuality(const Points& p, bool allowFour, bool allowThree)
{
    float mean[3], axis[3];
    PrincipalAxis(p, 6, mean, axis);
    const Prefix s = SortedPrefix(p, mean, axis);
    Fit best;
    if (allowFour) {
        best = BestOfSearchFour(p, s);
        Refine(p, best, 4);
        Polish(p, best, 3);
    }
    if (allowThree) {
        const i32 split = SearchThree(s);
        float ends[2][3];
        if (split >= 0) {
            SplitEnds(s, split, true, ends);
        } else {
            for (int ch = 0; ch < 3; ++ch)
                ends[0][ch] = ends[1][ch] = mean[ch];
        }
        Fit fit = MakeFit(p, QuantiseEnds(ends[0], ends[1]), true);
        if (fit.error < best.error * 1.25f) {
            Refine(p, fit, 4);
            Polish(p, fit, 3);
            if (fit.error < best.error) best = fit;
        }
    }
    return best;
}

Fit FitFast(const Points& p, bool allowFour, bool allowThree)
{
    float mean[3], axis[3];
    PrincipalAxis(p, 4, mean, axis);
    const __m128 ar = _mm_set1_ps(axis[0]), ag = _mm_set1_ps(axis[1]), ab = _mm_set1_ps(axis[2]);
    __m128 lo = _mm_set1_ps(1e30f), hi = _mm_set1_ps(-1e30f);
    for (int g = 0; g < p.groups; ++g) {
        // The padding copies point 0, so it changes neither end.
        const __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_load_ps(p.r + 4 * g), ar),
                                               _mm_mul_ps(_mm_load_ps(p.g + 4 * g), ag)),
                                    _mm_mul_ps(_mm_load_ps(p.b + 4 * g), ab));
        lo = _mm_min_ps(lo, t);
        hi = _mm_max_ps(hi, t);
    }
    alignas(16) float los[4], his[4];
    _mm_store_ps(los, lo);
    _mm_store_ps(his, hi);
    const float centre = mean[0] * axis[0] + mean[1] * axis[1] + mean[2] * axis[2];
    float tMin = std::min(std::min(los[0], los[1]), std::min(los[2], los[3])) - centre;
    float tMax = std::max(std::max(his[0], his[1]), std::max(his[2], his[3])) - centre;
    // Inset the ends a little: the extreme points rarely deserve an exact palette entry.
    const float inset = (tMax - tMin) / 32.0f;
    tMin += inset;
    tMax -= inset;
    float a[3], b[3];
    for (int ch = 0; ch < 3; ++ch) {
        a[ch] = mean[ch] + tMin * axis[ch];
        b[ch] = mean[ch] + tMax * axis[ch];
    }
    const Ends e = QuantiseEnds(a, b);
    Fit best;
    if (allowFour) {
        best = MakeFit(p, e, false);
        Refine(p, best, 3);
    }
    // Opaque blocks skip the three-colour trial here: it rarely wins on its own ends and costs
    // a sixth of the time.
    if (allowThree && !allowFour) {
        Fit fit = MakeFit(p, e, true);
        if (fit.error < best.error * 1.25f) {
            Refine(p, fit, 3);
            if (fit.error < best.error) best = fit;
        }
    }
    return best;
}

u16 Pack565(const int c[3])
{
    return u16((c[0] << 11) | (c[1] << 5) | c[2]);
}

// Writes the block from ends and per-pixel selectors, ordering the ends as the mode needs:
// DXT1 reads colour0 > colour1 as four colours and colour0 <= colour1 as three.
void Emit(const Ends& ends, bool three, bool dxt1, u8 sel[16], u8* out)
{
    u16 c0 = Pack565(ends.c[0]);
    u16 c1 = Pack565(ends.c[1]);
    if (dxt1) {
        if (three && c0 > c1) {
            std::swap(c0, c1);
            for (int i = 0; i < 16; ++i)
                if (sel[i] < 2) sel[i] ^= 1;
        } else if (!three && c0 < c1) {
            std::swap(c0, c1);
            for (int i = 0; i < 16; ++i)
                sel[i] ^= 1;
        } else if (!three && c0 == c1) {
            // Equal ends decode as three colours; every opaque entry is the one colour.
            for (int i = 0; i < 16; ++i)
                sel[i] = 0;
        }
    }
    u32 bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= u32(sel[i]) << (2 * i);
    out[0] = u8(c0);
    out[1] = u8(c0 >> 8);
    out[2] = u8(c1);
    out[3] = u8(c1 >> 8);
    out[4] = u8(bits);
    out[5] = u8(bits >> 8);
    out[6] = u8(bits >> 16);
    out[7] = u8(bits >> 24);
}

// Ends for a block whose points all have one colour, from the exhaustive tables; every point
// takes index 2.
Fit FitSingle(int r, int g, int b, bool allowFour, bool allowThree)
{
    const SingleTables& t = Singles();
    Fit best;
    if (allowFour) {
        const SingleEntry& er = t.four5[r];
        const SingleEntry& eg = t.four6[g];
        const SingleEntry& eb = t.four5[b];
        best.ends = {{{er.e0, eg.e0, eb.e0}, {er.e1, eg.e1, eb.e1}}};
        best.error = float(er.error * er.error + eg.error * eg.error + eb.error * eb.error);
        best.three = false;
    }
    if (allowThree) {
        const SingleEntry& er = t.three5[r];
        const SingleEntry& eg = t.three6[g];
        const SingleEntry& eb = t.three5[b];
        const float error = float(er.error * er.error + eg.error * eg.error + eb.error * eb.error);
        if (error < best.error) {
            best.ends = {{{er.e0, eg.e0, eb.e0}, {er.e1, eg.e1, eb.e1}}};
            best.error = error;
            best.three = true;
        }
    }
    std::memset(best.sel, 2, sizeof best.sel);
    return best;
}

} // namespace

void EncodeColourBlock(const u32* pixels, bool dxt1, bool punchThrough, DxtLevel level, u8* out)
{
    Points p;
    int pointOf[16];
    for (int i = 0; i < 16; ++i) {
        const u32 px = pixels[i];
        if (dxt1 && punchThrough && (px >> 24) < 128) {
            pointOf[i] = -1;
            continue;
        }
        pointOf[i] = p.count;
        p.r[p.count] = float((px >> 16) & 0xFF);
        p.g[p.count] = float((px >> 8) & 0xFF);
        p.b[p.count] = float(px & 0xFF);
        p.w[p.count] = 1.0f;
        ++p.count;
    }
    u8 sel[16];
    if (p.count == 0) {
        // Fully transparent: equal ends select the three-colour mode, index 3 everywhere.
        const Ends black{};
        std::memset(sel, 3, sizeof sel);
        Emit(black, true, true, sel, out);
        return;
    }
    p.groups = (p.count + 3) / 4;
    for (int i = p.count; i < 4 * p.groups; ++i) {
        p.r[i] = p.r[0];
        p.g[i] = p.g[0];
        p.b[i] = p.b[0];
        p.w[i] = 0.0f;
    }
    // A transparent pixel needs the three-colour mode; only DXT1 decodes that mode.
    const bool anyTransparent = p.count < 16;
    const bool allowFour = !anyTransparent;
    const bool allowThree = dxt1;

    bool single = true;
    for (int i = 1; i < p.count && single; ++i)
        single = p.r[i] == p.r[0] && p.g[i] == p.g[0] && p.b[i] == p.b[0];
    Fit fit;
    if (single)
        fit = FitSingle(int(p.r[0]), int(p.g[0]), int(p.b[0]), allowFour, allowThree);
    else if (level == DxtLevel::Quality)
        fit = FitQuality(p, allowFour, allowThree);
    else
        fit = FitFast(p, allowFour, allowThree);

    for (int i = 0; i < 16; ++i)
        sel[i] = pointOf[i] < 0 ? 3 : (single ? 2 : fit.sel[pointOf[i]]);
    Emit(fit.ends, fit.three, dxt1, sel, out);
}
