#pragma once
// A read-only stream over bytes held in memory, for feeding the codec without files.

#include "framework/stream.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

class ByteStream : public Stream
{
public:
    explicit ByteStream(QByteArray bytes) : Stream(kModeRead), m_bytes(std::move(bytes)) {}

    u32 Read(void* buffer, u32 count) override
    {
        const u64 left = u64(m_bytes.size()) - std::min<u64>(m_position, u64(m_bytes.size()));
        const u32 n = u32(std::min<u64>(count, left));
        if (n > 0) std::memcpy(buffer, m_bytes.constData() + m_position, n);
        m_position += n;
        return n;
    }
    u32 Write(const void*, u32) override
    {
        ++m_writes;
        return kFailed32;
    }
    u64 GetSize() override { return u64(m_bytes.size()); }
    bool SetSize(u64) override { return false; }
    bool Seek(i64 offset, u32 origin) override
    {
        const i64 base = origin == kSeekBegin     ? 0
                         : origin == kSeekCurrent ? i64(m_position)
                                                  : i64(m_bytes.size());
        if (base + offset < 0) return false;
        m_position = u64(base + offset);
        return true;
    }
    u64 Tell() override { return m_position; }

    int Writes() const { return m_writes; }

private:
    QByteArray m_bytes;
    u64 m_position = 0;
    int m_writes = 0;
};
