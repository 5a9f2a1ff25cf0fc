#include "framework/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

// QByteArray sizes are signed; a stream never grows past what one can hold.
constexpr u64 kMaxSize = u64(std::numeric_limits<qsizetype>::max() / 2);

} // namespace

MemoryStream::MemoryStream(QByteArray data, u32 mode) : Stream(mode), m_data(std::move(data)) {}

u32 MemoryStream::Read(void* buffer, u32 count)
{
    if (!(GetMode() & kModeRead) || (count > 0 && !buffer)) return kFailed32;
    const u64 size = u64(m_data.size());
    if (m_position >= size) return 0;
    const u32 got = u32(std::min<u64>(count, size - m_position));
    std::memcpy(buffer, m_data.constData() + m_position, got);
    m_position += got;
    return got;
}

u32 MemoryStream::Write(const void* buffer, u32 count)
{
    if (!(GetMode() & kModeWrite) || (count > 0 && !buffer) || count == kFailed32) return kFailed32;
    const u64 end = m_position + count;
    if (end > kMaxSize) return kFailed32;
    try {
        if (end > u64(m_data.size())) m_data.resize(qsizetype(end), '\0');
    } catch (const std::bad_alloc&) {
        return kFailed32;
    }
    if (count > 0) std::memcpy(m_data.data() + m_position, buffer, count);
    m_position = end;
    return count;
}

bool MemoryStream::SetSize(u64 size)
{
    if (size > kMaxSize) return false;
    try {
        m_data.resize(qsizetype(size), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_position = size;
    return true;
}

bool MemoryStream::Seek(i64 offset, u32 origin)
{
    i64 base = 0;
    switch (origin) {
    case kSeekBegin:
        break;
    case kSeekCurrent:
        base = i64(m_position);
        break;
    case kSeekEnd:
        base = i64(m_data.size());
        break;
    default:
        return false;
    }
    if ((offset > 0 && base > std::numeric_limits<i64>::max() - offset) || base + offset < 0)
        return false;
    m_position = u64(base + offset);
    return true;
}
