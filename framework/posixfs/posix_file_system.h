#pragma once
// The file system of the machine: an invisible root holding one drive, "/", and below it the
// folders and files as the kernel lists them.

#include "framework/file_system_provider.h"

class PosixFileSystem : public FileSystemProvider
{
public:
    // Creates the root item and hands it to the manager.
    bool OnAttachManager(ProviderManager* manager) override;
    bool Probe(Item*, Stream*, u32 kindMask) override { return kindMask == 0 || kindMask == 1; }
    // 0 "PosixFS", 1 "POSIX FS", 2 "POSIX file system API".
    bool GetInfo(u32 index, QString& out) override;
    bool Supports(u32) override { return false; }
    // Null with a stream: a file is never entered as a nested file system.
    Item* CreateRoot(Stream* stream) override;
};
