#include "image/raster.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

using i128 = __int128;

constexpr i64 kCoordinateLimit = i64(1) << 24;

i128 FloorDiv(i128 a, i128 b) // b > 0
{
    i128 q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

i128 CeilDiv(i128 a, i128 b) // b > 0
{
    return -FloorDiv(-a, b);
}

i64 ClampTo(i128 v, i64 lo, i64 hi)
{
    return v < lo ? lo : v > hi ? hi : i64(v);
}

// The X values of one row for which lo <= value0 + X * step < hi, as [first, last).
void Span(i128 value0, i128 step, i128 lo, i128 hi, i64 width, i64& first, i64& last)
{
    i128 a;
    i128 b;
    if (step == 0) {
        if (value0 >= lo && value0 < hi)
            return; // every X
        a = 0;
        b = 0;
    } else if (step > 0) {
        a = CeilDiv(lo - value0, step);
        b = CeilDiv(hi - value0, step);
    } else {
        const i128 t = -step;
        a = FloorDiv(value0 - hi, t) + 1;
        b = FloorDiv(value0 - lo, t) + 1;
    }
    first = std::max(first, ClampTo(a, 0, width));
    last = std::min(last, ClampTo(b, 0, width));
}

// A quotient that steps exactly: value = q * den + rem with 0 <= rem < den.
struct Stepper
{
    i64 q = 0;
    i64 rem = 0;
    i64 stepQ = 0;
    i64 stepRem = 0;
    i64 den = 1;

    Stepper(i128 value, i128 step, i64 denominator) : den(denominator)
    {
        const i128 qq = FloorDiv(value, den);
        q = i64(qq);
        rem = i64(value - qq * den);
        const i128 sq = FloorDiv(step, den);
        stepQ = i64(sq);
        stepRem = i64(step - sq * den);
    }
    void Next()
    {
        q += stepQ;
        rem += stepRem;
        if (rem >= den) {
            rem -= den;
            ++q;
        }
    }
};

// The affine map from target pixel centres back to source offsets, in exact rational form:
// with ex = 2X + 1 - 2 P0.x and ey = 2Y + 1 - 2 P0.y, the source offset is (U / den, V / den),
// U = cu (ex by - ey bx), V = cv (ax ey - ay ex), den > 0.
struct Mapping
{
    i64 ax, ay, bx, by;
    i64 p0x, p0y;
    i64 cu, cv;
    i64 den;

    i128 U(i64 x, i64 y) const
    {
        const i128 ex = 2 * i128(x) + 1 - 2 * i128(p0x);
        const i128 ey = 2 * i128(y) + 1 - 2 * i128(p0y);
        return i128(cu) * (ex * by - ey * bx);
    }
    i128 V(i64 x, i64 y) const
    {
        const i128 ex = 2 * i128(x) + 1 - 2 * i128(p0x);
        const i128 ey = 2 * i128(y) + 1 - 2 * i128(p0y);
        return i128(cv) * (ax * ey - ay * ex);
    }
    i128 StepU() const { return i128(cu) * 2 * by; }
    i128 StepV() const { return -i128(cv) * 2 * ay; }
};

bool InLimit(i64 v)
{
    return v >= -kCoordinateLimit && v <= kCoordinateLimit;
}

u32* TargetRow(Bitmap& target, i64 y)
{
    return reinterpret_cast<u32*>(target.ScanLine(u32(y)));
}

const u32* SourceRow(const Bitmap& source, i64 y)
{
    return reinterpret_cast<const u32*>(source.ScanLine(u32(y)));
}

} // namespace

bool PlgBlt(Bitmap& target, const Point destination[3], const Bitmap& source,
            const Rect& sourceRect)
{
    if (!destination || target.BitsPerPixel() != 32 || source.BitsPerPixel() != 32)
        return false;
    const i64 w = sourceRect.Width();
    const i64 h = sourceRect.Height();
    for (int i = 0; i < 3; ++i)
        if (!InLimit(destination[i].x) || !InLimit(destination[i].y))
            return false;
    if (w <= 0 || h <= 0 || !InLimit(sourceRect.left) || !InLimit(sourceRect.top) ||
        !InLimit(sourceRect.right) || !InLimit(sourceRect.bottom))
        return false;

    Mapping m{};
    m.p0x = destination[0].x;
    m.p0y = destination[0].y;
    m.ax = destination[1].x - m.p0x;
    m.ay = destination[1].y - m.p0y;
    m.bx = destination[2].x - m.p0x;
    m.by = destination[2].y - m.p0y;
    const i64 det = m.ax * m.by - m.ay * m.bx;
    if (det == 0)
        return false;
    const i64 sign = det > 0 ? 1 : -1;
    m.cu = sign * w;
    m.cv = sign * h;
    m.den = 2 * det * sign;

    // Source offsets that stay inside both the rectangle and the source bitmap.
    const i64 sx = sourceRect.left;
    const i64 sy = sourceRect.top;
    const i64 uLo = std::max<i64>(0, -sx);
    const i64 uHi = std::min<i64>(w, i64(source.Width()) - sx);
    const i64 vLo = std::max<i64>(0, -sy);
    const i64 vHi = std::min<i64>(h, i64(source.Height()) - sy);
    if (uLo >= uHi || vLo >= vHi)
        return false;
    const i128 uMin = i128(uLo) * m.den, uMax = i128(uHi) * m.den;
    const i128 vMin = i128(vLo) * m.den, vMax = i128(vHi) * m.den;

    const i64 xs[4] = {m.p0x, m.p0x + m.ax, m.p0x + m.bx, m.p0x + m.ax + m.bx};
    const i64 ys[4] = {m.p0y, m.p0y + m.ay, m.p0y + m.by, m.p0y + m.ay + m.by};
    const i64 width = target.Width();
    const i64 yFirst = std::max<i64>(0, *std::min_element(ys, ys + 4) - 1);
    const i64 yLast = std::min<i64>(target.Height(), *std::max_element(ys, ys + 4) + 1);
    const i64 xFirst = std::max<i64>(0, *std::min_element(xs, xs + 4) - 1);
    const i64 xLast = std::min<i64>(width, *std::max_element(xs, xs + 4) + 1);
    if (yFirst >= yLast || xFirst >= xLast)
        return true;
    const i128 su = m.StepU();
    const i128 sv = m.StepV();

    try {
        if (m.ay == 0 && m.bx == 0) {
            // Axis-aligned (scales and mirrors): the column depends on X only, the row on Y.
            i64 first = xFirst, last = xLast;
            Span(m.U(0, 0), su, uMin, uMax, width, first, last);
            if (first >= last)
                return true;
            std::vector<i32> columns(size_t(last - first));
            Stepper col(m.U(first, 0), su, m.den);
            for (auto& c : columns) {
                c = i32(sx + col.q);
                col.Next();
            }
            const bool contiguous = columns.back() - columns.front() == last - first - 1 &&
                                    col.stepQ == 1 && col.stepRem == 0;
            for (i64 y = yFirst; y < yLast; ++y) {
                const i128 v = m.V(0, y);
                if (v < vMin || v >= vMax)
                    continue;
                const u32* src = SourceRow(source, sy + i64(FloorDiv(v, m.den)));
                u32* dst = TargetRow(target, y) + first;
                if (contiguous) {
                    std::memcpy(dst, src + columns.front(), columns.size() * 4);
                } else {
                    for (size_t i = 0; i < columns.size(); ++i)
                        dst[i] = src[columns[i]];
                }
            }
            return true;
        }
        if (m.ax == 0 && m.by == 0) {
            // Quarter turns: the column depends on Y only, the row on X.
            i64 first = xFirst, last = xLast;
            Span(m.V(0, 0), sv, vMin, vMax, width, first, last);
            if (first >= last)
                return true;
            std::vector<const u32*> rows(size_t(last - first));
            Stepper row(m.V(first, 0), sv, m.den);
            for (auto& r : rows) {
                r = SourceRow(source, sy + row.q);
                row.Next();
            }
            for (i64 y = yFirst; y < yLast; ++y) {
                const i128 u = m.U(0, y);
                if (u < uMin || u >= uMax)
                    continue;
                const i64 column = sx + i64(FloorDiv(u, m.den));
                u32* dst = TargetRow(target, y) + first;
                for (size_t i = 0; i < rows.size(); ++i)
                    dst[i] = rows[i][column];
            }
            return true;
        }
    } catch (const std::bad_alloc&) {
        // Fall through to the general route, which needs no tables.
    }

    for (i64 y = yFirst; y < yLast; ++y) {
        i64 first = xFirst, last = xLast;
        Span(m.U(0, y), su, uMin, uMax, width, first, last);
        Span(m.V(0, y), sv, vMin, vMax, width, first, last);
        if (first >= last)
            continue;
        Stepper col(m.U(first, y), su, m.den);
        Stepper row(m.V(first, y), sv, m.den);
        u32* dst = TargetRow(target, y);
        for (i64 x = first; x < last; ++x) {
            dst[x] = SourceRow(source, sy + row.q)[sx + col.q];
            col.Next();
            row.Next();
        }
    }
    return true;
}

void FillRect(Bitmap& target, const Rect& rect, u32 colour)
{
    if (target.BitsPerPixel() != 32)
        return;
    const i64 left = std::max<i64>(0, rect.left);
    const i64 right = std::min<i64>(target.Width(), rect.right);
    const i64 top = std::max<i64>(0, rect.top);
    const i64 bottom = std::min<i64>(target.Height(), rect.bottom);
    if (left >= right || top >= bottom)
        return;
    const u32 pixel = PixelFromColour(colour);
    for (i64 y = top; y < bottom; ++y)
        std::fill(TargetRow(target, y) + left, TargetRow(target, y) + right, pixel);
}

void FrameRect(Bitmap& target, const Rect& rect, u32 colour)
{
    if (rect.IsEmpty())
        return;
    FillRect(target, {rect.left, rect.top, rect.right, rect.top + 1}, colour);
    FillRect(target, {rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
    FillRect(target, {rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
    FillRect(target, {rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

void BitBlt(Bitmap& target, i32 x, i32 y, i32 width, i32 height, const Bitmap& source, i32 srcX,
            i32 srcY)
{
    if (target.BytesPerPixel() != source.BytesPerPixel() || width <= 0 || height <= 0)
        return;
    i64 dx = x, dy = y, sx = srcX, sy = srcY, w = width, h = height;
    // Clip the block against both bitmaps, moving both corners together.
    auto clipLow = [&](i64& d, i64& s, i64& extent) {
        const i64 cut = std::max({i64(0), -d, -s});
        d += cut;
        s += cut;
        extent -= cut;
    };
    clipLow(dx, sx, w);
    clipLow(dy, sy, h);
    w = std::min({w, i64(target.Width()) - dx, i64(source.Width()) - sx});
    h = std::min({h, i64(target.Height()) - dy, i64(source.Height()) - sy});
    if (w <= 0 || h <= 0)
        return;
    const u32 bpp = target.BytesPerPixel();
    for (i64 row = 0; row < h; ++row)
        std::memmove(target.ScanLine(u32(dy + row)) + dx * bpp,
                     source.ScanLine(u32(sy + row)) + sx * bpp, size_t(w) * bpp);
}
