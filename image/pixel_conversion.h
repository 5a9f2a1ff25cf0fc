#pragma once
// Moves pixels between two buffers of any pixel formats, channel by channel.
//
// Sizes are the buffers' lengths in bytes; a row stops at the last whole pixel that fits either
// buffer, so nothing outside them is read or written. A channel of a different width is scaled:
// a narrower value repeats its high bits (5-bit 31 becomes 255), a wider one keeps its most
// significant bits; a colour looked up in a destination palette is first taken to 8 bits per
// channel. Bits of a destination pixel outside its channel fields keep their contents. Pixels of
// more than 8 bits occupy whole bytes (PixelFormat::StorageBits). Channels whose field does not
// lie inside the pixel are treated as absent, and a format of 0 or more than 32 bits converts
// nothing. Always true.

#include "framework/types.h"
#include "image/gr_palette.h"
#include "image/pixel_format.h"

bool ConvertPixels(const PixelFormat& dstFormat, void* dstBits, u32 dstPitch, u64 dstSize,
                   GrPalette* dstPalette, u32 dstX, u32 dstY, const PixelFormat& srcFormat,
                   const void* srcBits, u32 srcPitch, u64 srcSize, const GrPalette* srcPalette,
                   u32 srcX, u32 srcY, u32 width, u32 height);

// The same conversion through bit-field reads and writes only, for every pair of layouts.
// ConvertPixels takes faster routes for the common layouts, which give exactly these bytes.
bool ConvertPixelsGeneric(const PixelFormat& dstFormat, void* dstBits, u32 dstPitch, u64 dstSize,
                          GrPalette* dstPalette, u32 dstX, u32 dstY, const PixelFormat& srcFormat,
                          const void* srcBits, u32 srcPitch, u64 srcSize,
                          const GrPalette* srcPalette, u32 srcX, u32 srcY, u32 width, u32 height);

// A channel value of fromBits bits taken to toBits bits (see above).
u32 ScaleChannel(u32 value, u32 fromBits, u32 toBits);
