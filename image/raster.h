#pragma once
// The raster back end: drawing into 32-bit bitmaps in top-down pixel coordinates, with
// nearest-neighbour sampling of pixel centres. Everything outside the target is clipped.
// Colours are colour words red | green << 8 | blue << 16.

#include "image/bitmap.h"
#include "image/geometry.h"

// Draws the source rectangle into the parallelogram whose upper-left, upper-right and lower-left
// corners are destination[0..2]. Every target pixel whose centre lies inside the parallelogram
// (left and top edges included, in source terms) takes the source pixel whose area holds its
// inverse-mapped centre; source pixels outside the source bitmap draw nothing. Both bitmaps must
// be 32-bit. Coordinates beyond +-2^24 and empty or flat mappings draw nothing; false then.
bool PlgBlt(Bitmap& target, const Point destination[3], const Bitmap& source,
            const Rect& sourceRect);

// Fills the rectangle with one colour.
void FillRect(Bitmap& target, const Rect& rect, u32 colour);

// Draws the rectangle's one-pixel outline, inside the rectangle.
void FrameRect(Bitmap& target, const Rect& rect, u32 colour);

// Copies a width x height block from (srcX, srcY) of the source to (x, y) of the target; both
// bitmaps must have the same depth.
void BitBlt(Bitmap& target, i32 x, i32 y, i32 width, i32 height, const Bitmap& source, i32 srcX,
            i32 srcY);

// The pixel word of a colour word.
inline u32 PixelFromColour(u32 colour)
{
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}
