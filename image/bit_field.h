#pragma once
// Reading and writing bit fields of at most 32 bits at arbitrary bit positions. Bytes are
// little-endian: bit 0 is the lowest bit of the byte at base.

#include "framework/types.h"

// Index of the lowest set bit; 0 for a value of 0.
u32 LowestSetBit(u32 value);

// The count bits at bitOffset from base, shifted down to bit 0. 0 for a count of 0;
// 0xFFFFFFFF when the field would span more than four bytes.
u32 ReadBits(const void* base, u64 bitOffset, u32 count);

// Replaces the count bits at bitOffset with the low bits of value, keeping every other bit of
// the bytes it touches. 0, or -1 when the field would span more than four bytes.
i32 WriteBits(void* base, u64 bitOffset, u32 count, u32 value);

// Where a pixel starting at bitInByte (0..7) really lies: pixels narrower than a byte fill it
// from the most significant bits down.
inline u32 BitPosition(u32 bitInByte, u32 bitsPerPixel)
{
    return bitsPerPixel >= 8 ? bitInByte : 8 - bitsPerPixel - bitInByte;
}
