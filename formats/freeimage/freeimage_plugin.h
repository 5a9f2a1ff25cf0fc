#pragma once
// The plug-in of the formats read through FreeImage: one provider per table entry. It
// identifies a file in one step (one type detection instead of a decode per format).

#include "framework/plugin.h"

class FreeImageCodec;

class FreeImagePlugin : public Plugin
{
public:
    FreeImagePlugin();

    // Binds the provider of the format the library detects, if any. True whenever it was asked
    // (a stream and kind 0 or 2), so that its providers are not probed one by one.
    bool ProbeItem(Item* item, Stream* stream, u32 kindMask) override;

    // The provider of table entry index (null when its allocation failed).
    FreeImageCodec* GetCodec(int index) const;

private:
    FreeImageCodec* m_codecs[29] = {};
};
