#pragma once
// Points, rectangles and sizes in the target's pixel coordinates (y grows downwards).
// Rectangles exclude their right and bottom edges.

#include "framework/types.h"

struct Point
{
    i32 x = 0;
    i32 y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect
{
    i32 left = 0;
    i32 top = 0;
    i32 right = 0;
    i32 bottom = 0;

    i64 Width() const { return i64(right) - left; }
    i64 Height() const { return i64(bottom) - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const Rect&) const = default;
};

struct Size
{
    i32 cx = 0;
    i32 cy = 0;
    bool operator==(const Size&) const = default;
};
