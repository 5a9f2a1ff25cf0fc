#pragma once
// Writes small BMP files for the tests: any depth, header length, masks and colour table.

#include "framework/types.h"

#include <QByteArray>

#include <vector>

struct BmpLayout
{
    u16 bits = 24;
    i32 width = 1;
    i32 height = 1; // negative: top-down
    u32 headerSize = 40;
    u32 compression = 0;
    // Red, green, blue (and alpha): inside headers of 52 bytes and more, else after the header.
    std::vector<u32> masks;
    // Colours 0xRRGGBB, written blue, green, red, 0.
    std::vector<u32> palette;
    u32 clrUsed = 0;
    // Rows in stored order, without padding; each is padded to a multiple of 4 bytes.
    std::vector<std::vector<u8>> rows;
    char signature[2] = {'B', 'M'};
    // 0: the real file size.
    u32 bfSize = 0;
};

QByteArray BuildBmp(const BmpLayout& layout);

// Little-endian field writers for patching fixtures.
void PutU16(QByteArray& bytes, int offset, u16 value);
void PutU32(QByteArray& bytes, int offset, u32 value);
