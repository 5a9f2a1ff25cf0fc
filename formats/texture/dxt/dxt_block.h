#pragma once
// Single-block coders behind EncodeDxt and DecodeDxt. A block is 16 pixels 0xAARRGGBB in row
// order; the colour half is 8 bytes, the DXT3 and DXT5 alpha halves 8 bytes each.

#include "formats/texture/dxt/dxt.h"

// dxt1: the block is a DXT1 block, where colour0 <= colour1 selects the three-colour mode (the
// DXT3 and DXT5 colour halves always decode with four colours). punchThrough: pixels with alpha
// below 128 become index 3 of the three-colour mode (DXT1 only).
void EncodeColourBlock(const u32* pixels, bool dxt1, bool punchThrough, DxtLevel level, u8* out);
void EncodeAlphaDxt3(const u32* pixels, u8* out);
void EncodeAlphaDxt5(const u32* pixels, DxtLevel level, u8* out);

// Fill the colour bytes (alpha 255, or 0 for the transparent index of a DXT1 block) and then the
// alpha bytes of 16 pixels.
void DecodeColourBlock(const u8* block, bool dxt1, u32* pixels);
void DecodeAlphaDxt3(const u8* block, u32* pixels);
void DecodeAlphaDxt5(const u8* block, u32* pixels);
