#pragma once
// The formats FreeImagePlugin offers, one provider per entry, in this order.

#include "framework/types.h"

#include <QStringView>

struct FreeImageFormat
{
    // The library's format identifier (FREE_IMAGE_FORMAT).
    i32 id;
    const char16_t* defaultExtension;
    const char16_t* extensionList;
    const char16_t* name;
};

inline constexpr int kFreeImageFormatCount = 29;
extern const FreeImageFormat kFreeImageFormats[kFreeImageFormatCount];

// The first entry with the library's format identifier id, or null.
const FreeImageFormat* FindFreeImageFormat(i32 id);
