#include "framework/stream.h"

#include "framework/item.h"

#include <algorithm>

Stream::~Stream()
{
    if (m_owner)
        m_owner->CloseStream(this, false);
}

bool ReadExact(Stream& stream, void* buffer, u64 count)
{
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        const u32 chunk = u32(std::min<u64>(count, 0x40000000));
        const u32 got = stream.Read(out, chunk);
        if (got == kFailed32 || got == 0)
            return false;
        out += got;
        count -= got;
    }
    return true;
}

bool WriteAll(Stream& stream, const void* buffer, u64 count)
{
    auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const u32 chunk = u32(std::min<u64>(count, 0x40000000));
        const u32 put = stream.Write(in, chunk);
        if (put == kFailed32 || put == 0)
            return false;
        in += put;
        count -= put;
    }
    return true;
}
