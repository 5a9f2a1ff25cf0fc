#pragma once
// A file's bytes. A stream opened through Item::OpenStream is tracked by its item (its owner)
// until CloseStream, its last Release or the item's destruction.

#include "framework/ref_object.h"

class Item;

// Open modes: access and sharing bits plus a disposition in the 0xF0000 field.
enum : u32 {
    kModeRead = 0x1,
    kModeWrite = 0x2,
    kModeShareRead = 0x10,
    kModeShareWrite = 0x20,
    kModeDispositionMask = 0xF0000,
    kModeCreateAlways = 0x10000,   // an existing file is overwritten
    kModeCreateNew = 0x20000,      // fails if the file exists
    kModeOpenAlways = 0x30000,     // created if missing
    kModeOpenExisting = 0x40000,
    kModeTruncateExisting = 0x50000,
    kModeOpenAlwaysAppend = 0x60000,   // open always, then position at the end
    kModeOpenExistingAppend = 0x70000, // open existing, then position at the end
};

// Seek origins.
enum : u32 {
    kSeekBegin = 0,
    kSeekCurrent = 1,
    kSeekEnd = 2,
};

class Stream : public RefObject
{
public:
    explicit Stream(u32 mode) : m_mode(mode) {}
    // Unlinks the stream from its owner's list.
    ~Stream() override;

    // Bytes read (fewer at the end of the data), kFailed32 on failure.
    virtual u32 Read(void* buffer, u32 count) = 0;
    // Bytes written, kFailed32 on failure.
    virtual u32 Write(const void* buffer, u32 count) = 0;
    // All ones on failure.
    virtual u64 GetSize() = 0;
    // The data ends at size afterwards and the position is left at size.
    virtual bool SetSize(u64 size) = 0;
    virtual bool Seek(i64 offset, u32 origin) = 0;
    // All ones on failure.
    virtual u64 Tell() = 0;

    Item* GetOwner() const { return m_owner; }
    u32 GetMode() const { return m_mode; }

private:
    friend class Item;

    Item* m_owner = nullptr;
    Stream* m_prev = nullptr;
    Stream* m_next = nullptr;
    u32 m_mode;
};

// Reads exactly count bytes; false on a failure or a short read.
bool ReadExact(Stream& stream, void* buffer, u64 count);
// Writes all count bytes (in chunks below 4 GiB); false on a failure or a short write.
bool WriteAll(Stream& stream, const void* buffer, u64 count);
