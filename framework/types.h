#pragma once
// Basic types shared by every subsystem.

#include <cstdint>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

// Failure value of byte counts and attribute words.
inline constexpr u32 kFailed32 = 0xFFFFFFFFu;
// "Unknown" value of sizes and positions.
inline constexpr u64 kUnknown64 = ~u64(0);

// A point in time as 100-nanosecond ticks since 1601-01-01 UTC, in two 32-bit halves.
struct FileTime
{
    u32 low = 0;
    u32 high = 0;

    u64 Ticks() const { return (u64(high) << 32) | low; }
    static FileTime FromTicks(u64 ticks) { return {u32(ticks), u32(ticks >> 32)}; }
    bool operator==(const FileTime&) const = default;
};

// Which time GetTime reports.
enum : u32 {
    kTimeCreated = 0,
    kTimeModified = 1,
    kTimeAccessed = 2,
};

// Platform file attribute bits.
enum : u32 {
    kAttrReadOnly = 0x1,
    kAttrHidden = 0x2,
    kAttrSystem = 0x4,
    kAttrFolder = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
};
