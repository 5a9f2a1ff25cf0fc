#include "image/gr_palette.h"

#include "framework/debug_output.h"

#include <limits>
#include <new>
#include <vector>

GrPalette::GrPalette(u32 flags, u32 count)
{
    SetFlags(flags, 0xFFFFFFFFu);
    Resize(count);
}

GrPalette::GrPalette(const GrPalette& other) : RefObject()
{
    CopyFrom(other);
}

GrPalette& GrPalette::operator=(const GrPalette& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

GrPalette::~GrPalette()
{
    if (m_mappingCount != 0)
        DebugOutput(QStringLiteral("*** GrPalette: some mappings are not released with Unmap!\n"));
    delete[] m_mapped;
}

bool GrPalette::CopyFrom(const GrPalette& other)
{
    SetFlags(other.m_flags, 0xFFFFFFFFu);
    Resize(other.m_count);
    for (u32 i = 0; i < m_count; ++i) {
        u32 colour = 0;
        if (other.GetEntry(i, &colour))
            SetEntry(i, colour);
    }
    return true;
}

bool GrPalette::Resize(u32 count)
{
    if (m_mappingCount != 0 || count > kMaxEntries)
        return false;
    m_count = count;
    return true;
}

bool GrPalette::SetFlags(u32 value, u32 mask, u32* old)
{
    if (old)
        *old = m_flags;
    m_flags = (m_flags & ~mask) | (value & mask);
    return true;
}

bool GrPalette::SetEntry(u32 index, u32 colour, u32)
{
    if (index >= m_count)
        return false;
    m_table[index] = colour & 0xFFFFFFu;
    return true;
}

bool GrPalette::SetEntries(u32 first, u32 n, const u32* colours, u32)
{
    if (!RangeInside(first, n))
        return false;
    if (n == 0)
        return true;
    if (!colours)
        return false;
    for (u32 i = 0; i < n; ++i)
        m_table[first + i] = colours[i] & 0xFFFFFFu;
    return true;
}

bool GrPalette::GetEntry(u32 index, u32* colour) const
{
    if (index >= m_count || !colour)
        return false;
    *colour = m_table[index];
    return true;
}

bool GrPalette::GetEntries(u32 first, u32 n, u32* colours) const
{
    if (!RangeInside(first, n))
        return false;
    if (n == 0)
        return true;
    if (!colours)
        return false;
    for (u32 i = 0; i < n; ++i)
        colours[i] = m_table[first + i];
    return true;
}

i32 GrPalette::FindNearestColor(u32 reserved, u32 colour)
{
    return FindNearestRGBA(reserved, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
                           colour >> 24);
}

i32 GrPalette::FindNearestRGBA(u32, u32 red, u32 green, u32 blue, u32 alpha)
{
    PaletteMapping* mapping = Map(0, 0);
    if (!mapping)
        return -1;
    // 64-bit distances: callers may pass channel values above 255.
    auto square = [](u32 a, u32 b) {
        const i64 d = i64(a) - i64(b);
        return d * d;
    };
    i64 best = std::numeric_limits<i64>::max();
    i32 bestIndex = -1;
    for (u32 i = 0; i < m_count; ++i) {
        const PaletteEntry& e = m_mapped[i];
        if (e.flags & 1)
            continue;
        const i64 distance = square(red, e.colour & 0xFF) + square(green, (e.colour >> 8) & 0xFF) +
                             square(blue, (e.colour >> 16) & 0xFF) + square(alpha, e.colour >> 24);
        if (distance < best) {
            best = distance;
            bestIndex = i32(i);
        }
    }
    Unmap(mapping);
    return bestIndex;
}

PaletteMapping* GrPalette::Map(u32 first, u32 n)
{
    // A pointer past the entries would let the caller write outside the array.
    if (!RangeInside(first, n))
        return nullptr;
    if (!m_mapped) {
        m_mapped = new (std::nothrow) PaletteEntry[m_count == 0 ? 1 : m_count]();
        if (!m_mapped)
            return nullptr;
        for (u32 i = 0; i < m_count; ++i)
            GetEntry(i, &m_mapped[i].colour);
    }
    auto* mapping = new (std::nothrow) PaletteMapping{this, first, n, m_mapped + first};
    if (!mapping) {
        if (m_mappingCount == 0) {
            delete[] m_mapped;
            m_mapped = nullptr;
        }
        return nullptr;
    }
    ++m_mappingCount;
    return mapping;
}

bool GrPalette::Unmap(PaletteMapping* mapping)
{
    if (!mapping || mapping->palette != this)
        return false;
    if (mapping->count > 0) {
        try {
            std::vector<u32> colours(mapping->count);
            for (u32 i = 0; i < mapping->count; ++i)
                colours[i] = mapping->entries[i].colour;
            SetEntries(mapping->first, mapping->count, colours.data());
        } catch (const std::bad_alloc&) {
            // The colours cannot be written back; the mapping is still closed.
        }
    }
    delete mapping;
    if (--m_mappingCount <= 0) {
        m_mappingCount = 0;
        delete[] m_mapped;
        m_mapped = nullptr;
    }
    return false;
}

bool GrPalette::Equals(const GrPalette& other) const
{
    if (m_count != other.m_count)
        return false;
    for (u32 i = 0; i < m_count; ++i) {
        u32 a = 0;
        u32 b = 0;
        if (!GetEntry(i, &a) || !other.GetEntry(i, &b) || a != b)
            return false;
    }
    return true;
}
