#pragma once
// A regular file opened by descriptor; the descriptor is closed with the stream.

#include "framework/stream.h"

#include <QByteArray>

class PosixStream : public Stream
{
public:
    PosixStream(int fd, u32 mode);
    ~PosixStream() override;

    u32 Read(void* buffer, u32 count) override;
    u32 Write(const void* buffer, u32 count) override;
    u64 GetSize() override;
    bool SetSize(u64 size) override;
    bool Seek(i64 offset, u32 origin) override;
    u64 Tell() override;

    int Descriptor() const { return m_fd; }

private:
    int m_fd;
};

// Opens a regular file with an open mode; -1 on failure. FIFOs, sockets and devices are
// refused without blocking.
int OpenRegularFile(const QByteArray& nativePath, u32 mode);
