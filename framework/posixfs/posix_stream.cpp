#include "framework/posixfs/posix_stream.h"

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
template <typename F>
auto RetryOnInterrupt(F call)
{
    for (;;) {
        auto result = call();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}
} // namespace

int OpenRegularFile(const QByteArray& nativePath, u32 mode)
{
    const bool read = mode & kModeRead;
    const bool write = mode & kModeWrite;
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    bool toEnd = false;
    bool truncates = false;
    switch (mode & kModeDispositionMask) {
    case kModeCreateAlways: flags |= O_CREAT | O_TRUNC, truncates = true; break;
    case kModeCreateNew: flags |= O_CREAT | O_EXCL; break;
    case kModeOpenAlways: flags |= O_CREAT; break;
    case kModeTruncateExisting: flags |= O_TRUNC, truncates = true; break;
    case kModeOpenAlwaysAppend: flags |= O_CREAT, toEnd = true; break;
    case kModeOpenExistingAppend: toEnd = true; break;
    default: break; // open existing
    }
    // Truncating needs write access; without it the kernel would truncate a read-only open.
    if (truncates && !write)
        return -1;
    const int fd = RetryOnInterrupt([&] { return ::open(nativePath.constData(), flags, 0666); });
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        (toEnd && ::lseek(fd, 0, SEEK_END) < 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

PosixStream::PosixStream(int fd, u32 mode) : Stream(mode), m_fd(fd) {}

PosixStream::~PosixStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

u32 PosixStream::Read(void* buffer, u32 count)
{
    const ssize_t got = RetryOnInterrupt([&] { return ::read(m_fd, buffer, count); });
    return got < 0 ? kFailed32 : u32(got);
}

u32 PosixStream::Write(const void* buffer, u32 count)
{
    const ssize_t put = RetryOnInterrupt([&] { return ::write(m_fd, buffer, count); });
    return put < 0 ? kFailed32 : u32(put);
}

u64 PosixStream::GetSize()
{
    struct stat st;
    return ::fstat(m_fd, &st) == 0 ? u64(st.st_size) : kUnknown64;
}

bool PosixStream::SetSize(u64 size)
{
    if (size > u64(INT64_MAX))
        return false;
    return RetryOnInterrupt([&] { return ::ftruncate(m_fd, off_t(size)); }) == 0 &&
           ::lseek(m_fd, off_t(size), SEEK_SET) >= 0;
}

bool PosixStream::Seek(i64 offset, u32 origin)
{
    int whence;
    switch (origin) {
    case kSeekBegin: whence = SEEK_SET; break;
    case kSeekCurrent: whence = SEEK_CUR; break;
    case kSeekEnd: whence = SEEK_END; break;
    default: return false;
    }
    return ::lseek(m_fd, off_t(offset), whence) >= 0;
}

u64 PosixStream::Tell()
{
    const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
    return position < 0 ? kUnknown64 : u64(position);
}
