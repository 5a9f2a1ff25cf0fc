#pragma once
// A stream over bytes held in memory, for pictures that never touch a file (tests, fuzzing,
// in-memory conversions). Writing past the end grows the data; it has no owner item.

#include "framework/stream.h"

#include <QByteArray>

class MemoryStream : public Stream
{
public:
    explicit MemoryStream(QByteArray data = {}, u32 mode = kModeRead | kModeWrite);

    u32 Read(void* buffer, u32 count) override;
    u32 Write(const void* buffer, u32 count) override;
    u64 GetSize() override { return u64(m_data.size()); }
    bool SetSize(u64 size) override;
    bool Seek(i64 offset, u32 origin) override;
    u64 Tell() override { return m_position; }

    const QByteArray& Data() const { return m_data; }

private:
    QByteArray m_data;
    u64 m_position = 0;
};
