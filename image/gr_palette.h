#pragma once
// The colour table of a palette-indexed picture: up to 256 colours. Colours cross the interface
// as words red | green << 8 | blue << 16; the fourth byte is ignored on input and 0 on output.
// The table is the only store (no platform palette mirrors it).

#include "framework/ref_object.h"

#include <array>

class GrPalette;

// One entry of the array that open mappings share. Bit 0 of flags set: FindNearestRGBA skips
// the entry.
struct PaletteEntry
{
    u32 colour = 0;
    u32 flags = 0;
};

// A writable window on a palette, handed out by Map and written back by Unmap.
struct PaletteMapping
{
    GrPalette* palette = nullptr;
    u32 first = 0;
    u32 count = 0;
    PaletteEntry* entries = nullptr;
};

class GrPalette : public RefObject
{
public:
    static constexpr u32 kMaxEntries = 256;

    GrPalette(u32 flags, u32 count);
    GrPalette(const GrPalette& other);
    GrPalette& operator=(const GrPalette& other);
    // Writes a warning to the debugger output when mappings are still open.
    ~GrPalette() override;

    bool CopyFrom(const GrPalette& other);
    // False while a mapping is open or above 256 entries. Entries beyond a shrunken count keep
    // their colours and come back when the palette grows again.
    bool Resize(u32 count);
    u32 GetCount() const { return m_count; }
    bool SetFlags(u32 value, u32 mask, u32* old = nullptr);
    u32 GetFlags(u32 mask) const { return m_flags & mask; }

    virtual bool SetEntry(u32 index, u32 colour, u32 reserved = 0);
    virtual bool SetEntries(u32 first, u32 n, const u32* colours, u32 reserved = 0);
    virtual bool GetEntry(u32 index, u32* colour) const;
    virtual bool GetEntries(u32 first, u32 n, u32* colours) const;
    // The index of the nearest colour, or -1 when every entry is skipped.
    virtual i32 FindNearestColor(u32 reserved, u32 colour);
    virtual i32 FindNearestRGBA(u32 reserved, u32 red, u32 green, u32 blue, u32 alpha);
    // Null when the range does not lie inside the palette or memory runs out. Every mapping must
    // be given back with Unmap.
    virtual PaletteMapping* Map(u32 first, u32 n);
    // Writes the mapping's colours back and destroys it. Always false; callers ignore it.
    virtual bool Unmap(PaletteMapping* mapping);

    bool Equals(const GrPalette& other) const;
    bool NotEquals(const GrPalette& other) const { return !Equals(other); }
    bool IsValid() const { return true; }

    i32 MappingCount() const { return m_mappingCount; }

private:
    bool RangeInside(u32 first, u32 n) const { return u64(first) + n <= m_count; }

    u32 m_count = 0;
    u32 m_flags = 0;
    std::array<u32, kMaxEntries> m_table{};
    PaletteEntry* m_mapped = nullptr;
    i32 m_mappingCount = 0;
};
