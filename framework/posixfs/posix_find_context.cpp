#include "framework/posixfs/posix_find_context.h"

PosixFindContext::~PosixFindContext()
{
    if (m_dir)
        ::closedir(m_dir);
}

bool PosixFindContext::GetTime(u32 which, FileTime& out) const
{
    if (!m_hasEntry || which > kTimeAccessed)
        return false;
    out = m_times[which];
    return true;
}
