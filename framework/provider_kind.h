#pragma once

#include "framework/types.h"

// Kinds of service a provider offers. Kind masks combine these bits; a mask of 0 means any kind.
enum : u32 {
    kKindFileSystem = 1,
    kKindImageFormat = 2,
};
