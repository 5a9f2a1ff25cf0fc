#pragma once
// Base of every file-system provider (kind 1).

#include "framework/provider.h"

class FileSystemProvider : public Provider
{
public:
    bool Accepts(Item*, Stream*, u32 kindMask) override { return kindMask == 1; }
    u32 GetKind(Item*) override { return 1; }
    ProviderInstance* CreateInstance(Item* item) override;
    RefObject* OpenAs(Stream* argument, u32 kind) override;
    // The top item of a (nested) namespace read from the stream, or the real root for none.
    virtual Item* CreateRoot(Stream* stream) = 0;
};
