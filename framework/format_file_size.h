#pragma once
// Size texts shared by the file list, the status bar and the command-line tools.

#include "framework/types.h"

#include <QString>

enum : u32 {
    kSizeGroupDigits = 0x1,   // a space before every complete group of three digits
    kSizeStepsMask = 0xF0,    // a number of unconditional steps of 1024 (while size >= 1024)
    kSizeThresholdMask = 0xF00, // start index into the threshold table for further steps
};

// The size text for the flags: the file list uses 0x201, the status bar 0x11 and 0x1.
QString FormatFileSize(u64 size, u32 flags);
// The same into a buffer of outChars characters (the terminating zero included), at most 128
// characters of text; false when the text had to be cut.
bool FormatFileSize(char16_t* out, u32 outChars, u64 size, u32 flags);
