#include "image/bit_field.h"

namespace {

// Bytes a field touches, or 0 when it touches none.
u32 SpannedBytes(u64 bitOffset, u32 count)
{
    return u32(((bitOffset & 7) + count + 7) / 8);
}

} // namespace

u32 LowestSetBit(u32 value)
{
    if (value == 0)
        return 0;
    u32 index = 0;
    while ((value & 1) == 0 && index < 32) {
        value >>= 1;
        ++index;
    }
    return index;
}

u32 ReadBits(const void* base, u64 bitOffset, u32 count)
{
    if (count == 0)
        return 0;
    const u32 spanned = SpannedBytes(bitOffset, count);
    if (spanned > 4)
        return 0xFFFFFFFFu;
    const u8* bytes = static_cast<const u8*>(base) + bitOffset / 8;
    u64 word = 0;
    for (u32 i = 0; i < spanned; ++i)
        word |= u64(bytes[i]) << (8 * i);
    return u32((word >> (bitOffset & 7)) & ((u64(1) << count) - 1));
}

i32 WriteBits(void* base, u64 bitOffset, u32 count, u32 value)
{
    if (count == 0)
        return 0;
    const u32 spanned = SpannedBytes(bitOffset, count);
    if (spanned > 4)
        return -1;
    u8* bytes = static_cast<u8*>(base) + bitOffset / 8;
    u64 word = 0;
    for (u32 i = 0; i < spanned; ++i)
        word |= u64(bytes[i]) << (8 * i);
    const u32 shift = u32(bitOffset & 7);
    const u64 fieldMask = ((u64(1) << count) - 1) << shift;
    word = (word & ~fieldMask) | ((u64(value) << shift) & fieldMask);
    for (u32 i = 0; i < spanned; ++i)
        bytes[i] = u8(word >> (8 * i));
    return 0;
}
