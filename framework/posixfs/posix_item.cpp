#include "framework/posixfs/posix_item.h"

#include "framework/path.h"
#include "framework/posixfs/posix_find_context.h"
#include "framework/posixfs/posix_stream.h"
#include "framework/provider_manager.h"

#include <QVarLengthArray>

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr i64 kSecondsFrom1601To1970 = 11644473600LL;

// Birth time where the file system reports one, otherwise the change time.
FileTime CreatedTime(const struct statx& st)
{
    if (st.stx_mask & STATX_BTIME)
        return PosixToFileTime(st.stx_btime.tv_sec, st.stx_btime.tv_nsec);
    return PosixToFileTime(st.stx_ctime.tv_sec, st.stx_ctime.tv_nsec);
}

void FillTimes(const struct statx& st, FileTime times[3])
{
    times[kTimeCreated] = CreatedTime(st);
    times[kTimeModified] = PosixToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
    times[kTimeAccessed] = PosixToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
}

constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

// Follows links; a dangling link reports itself through lstat with dangling set.
bool StatAt(int dirFd, const char* path, struct statx& st, bool& dangling)
{
    dangling = false;
    if (::statx(dirFd, path, AT_STATX_SYNC_AS_STAT, kStatxMask, &st) == 0)
        return true;
    if (::statx(dirFd, path, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, kStatxMask, &st) == 0 &&
        S_ISLNK(st.stx_mode)) {
        dangling = true;
        return true;
    }
    return false;
}

// Slot of the icon cache for GetIcon flags, or -1 when the combination has no icon.
int IconSlot(u32 flags)
{
    switch (flags & 0xFF) {
    case 1: return 0;
    case 8: case 9: return 1;
    case 4: case 5: return 2;
    case 12: case 13: return 3;
    case 2: return 4;
    case 10: return 5;
    case 6: return 6;
    case 14: return 7;
    default: return -1;
    }
}

bool IsValidNewName(QStringView name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}
} // namespace

FileTime PosixToFileTime(i64 seconds, u32 nanoseconds)
{
    if (seconds < -kSecondsFrom1601To1970)
        return {};
    return FileTime::FromTicks(u64(seconds + kSecondsFrom1601To1970) * 10000000u + nanoseconds / 100);
}

u32 PosixAttributes(QStringView name, unsigned mode, bool dangling)
{
    if (dangling)
        return name.startsWith(u'.') ? kAttrHidden : kAttrNormal;
    u32 attributes = 0;
    if (S_ISDIR(mode))
        attributes |= kAttrFolder;
    else if (!S_ISREG(mode))
        attributes |= kAttrSystem;
    if (name.startsWith(u'.') && name != kDriveName)
        attributes |= kAttrHidden;
    if ((mode & 0222) == 0)
        attributes |= kAttrReadOnly;
    return attributes ? attributes : kAttrNormal;
}

PosixItem::PosixItem(const QString& name, ProviderManager* manager)
    : Item(manager), m_name(name), m_native(EncodeNativeName(name)), m_isDrive(name == kDriveName)
{
}

PosixItem::~PosixItem()
{
    for (IconHandle icon : m_icons) {
        if (icon)
            GetShellServices().DestroyIcon(icon);
    }
}

QByteArray PosixItem::NativePath() const
{
    // Only a chain that reaches the drive is a path: an unlinked item has none, which keeps
    // every system call away from the process's working folder.
    QVarLengthArray<const PosixItem*, 32> chain;
    const Item* root = GetManager() ? GetManager()->GetRoot() : nullptr;
    for (const Item* item = this; item && item != root; item = item->GetParent())
        chain.append(static_cast<const PosixItem*>(item));
    if (chain.isEmpty() || !chain.last()->m_isDrive)
        return QByteArray();
    QByteArray path = "/";
    for (qsizetype i = chain.size() - 2; i >= 0; --i) {
        if (!path.endsWith('/'))
            path.append('/');
        path.append(chain[i]->m_native);
    }
    return path;
}

bool PosixItem::StatPath(struct statx& out) const
{
    const QByteArray path = NativePath();
    bool dangling;
    return !path.isEmpty() && StatAt(AT_FDCWD, path.constData(), out, dangling) && !dangling;
}

bool PosixItem::GetName(QString& out)
{
    out = m_name;
    return true;
}

bool PosixItem::GetDisplayName(QString& out)
{
    if (m_displayName.isEmpty()) {
        QString path;
        if (!GetPath(path))
            return false;
        const u32 attributes = GetAttributes();
        m_displayName = GetShellServices().GetDisplayName(path, attributes & 0x90);
        if (m_displayName.isEmpty())
            return false;
    }
    out = m_displayName;
    return true;
}

bool PosixItem::GetTypeName(QString& out)
{
    if (m_typeName.isEmpty()) {
        QString path;
        if (!GetPath(path))
            return false;
        m_typeName = GetShellServices().GetTypeName(path, GetAttributes() & 0x90);
        if (m_typeName.isEmpty())
            return false;
    }
    out = m_typeName;
    return true;
}

IconHandle PosixItem::GetIcon(u32 flags)
{
    const int slot = IconSlot(flags);
    if (slot < 0)
        return 0;
    if (!m_icons[slot]) {
        QString path;
        if (!GetPath(path))
            return 0;
        IconVariant variant;
        variant.size = ((flags & kIconSmall) || !(flags & kIconLarge)) ? IconSize::Small
                                                                        : IconSize::Large;
        variant.open = flags & kIconOpen;
        variant.selected = flags & kIconSelected;
        m_icons[slot] = GetShellServices().GetIcon(path, GetAttributes() & 0x90, variant);
    }
    return m_icons[slot];
}

u64 PosixItem::GetSize()
{
    const QByteArray path = NativePath();
    struct statx st;
    bool dangling;
    if (path.isEmpty() || m_isDrive || !StatAt(AT_FDCWD, path.constData(), st, dangling))
        return kUnknown64;
    if (dangling)
        return 0;
    return S_ISREG(st.stx_mode) ? u64(st.stx_size) : kUnknown64;
}

bool PosixItem::GetTime(u32 which, FileTime& out)
{
    struct statx st;
    if (which > kTimeAccessed || !StatPath(st))
        return false;
    FileTime times[3];
    FillTimes(st, times);
    out = times[which];
    return true;
}

u32 PosixItem::GetAttributes()
{
    if (m_isDrive && GetParent() == (GetManager() ? GetManager()->GetRoot() : nullptr))
        return kAttrFolder;
    const QByteArray path = NativePath();
    struct statx st;
    bool dangling;
    if (path.isEmpty() || !StatAt(AT_FDCWD, path.constData(), st, dangling))
        return kFailed32;
    return PosixAttributes(m_name, st.stx_mode, dangling);
}

bool PosixItem::MatchesName(QStringView name)
{
    return name == m_name;
}

bool PosixItem::Supports(u32 capability)
{
    switch (capability) {
    case kCapRename: return !m_isDrive;
    case kCapDelete: return !m_isDrive;
    default: return false;
    }
}

Item* PosixItem::CreateChildItem(QStringView name)
{
    return new (std::nothrow) PosixItem(name.toString(), GetManager());
}

Item* PosixItem::CreateFolder(u32 reserved, QStringView name)
{
    if (!GetManager() || reserved != 0 || !IsValidNewName(name))
        return nullptr;
    const QByteArray folder = NativePath();
    if (folder.isEmpty())
        return nullptr;
    QByteArray path = folder;
    if (!path.endsWith('/'))
        path.append('/');
    path.append(EncodeNativeName(name));
    auto* item = new (std::nothrow) PosixItem(name.toString(), GetManager());
    if (!item)
        return nullptr;
    if (::mkdir(path.constData(), 0777) != 0 || !AddChild(item)) {
        delete item;
        return nullptr;
    }
    return item;
}

FindContext* PosixItem::CreateFindContext()
{
    return new (std::nothrow) PosixFindContext(this);
}

bool PosixItem::FindNext(FindContext& base)
{
    auto& context = static_cast<PosixFindContext&>(base);
    context.m_hasEntry = false;
    if (context.m_state == PosixFindContext::State::Finished)
        return false;

    // Below the invisible root there is exactly one entry: the drive.
    if (context.path.isEmpty() || (GetManager() && GetManager()->GetRoot() == this)) {
        if (context.m_state == PosixFindContext::State::Listing) {
            context.m_state = PosixFindContext::State::Finished;
            return false;
        }
        context.m_state = PosixFindContext::State::Listing;
        context.m_drive = true;
        context.m_native = "/";
        context.m_name = kDriveName.toString();
        context.m_attributes = kAttrFolder;
        struct statvfs vfs;
        context.m_size = ::statvfs("/", &vfs) == 0 ? u64(vfs.f_blocks) * vfs.f_frsize : 0;
        for (FileTime& t : context.m_times)
            t = FileTime{};
        context.m_hasEntry = true;
        return true;
    }

    if (context.m_state == PosixFindContext::State::NotStarted) {
        const QByteArray path = NativePath();
        const int fd = path.isEmpty() ? -1
                                      : ::open(path.constData(),
                                               O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        context.m_dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!context.m_dir) {
            if (fd >= 0)
                ::close(fd);
            context.m_state = PosixFindContext::State::Finished;
            return false;
        }
        context.m_state = PosixFindContext::State::Listing;
    }

    const int dirFd = ::dirfd(context.m_dir);
    const bool everything = context.pattern == u"*.*" || context.pattern == u"*";
    while (const dirent* entry = ::readdir(context.m_dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        const qsizetype length = qsizetype(std::strlen(name));
        QString decoded = DecodeNativeName(name, length);
        if (!everything && !MatchesFindPattern(decoded, context.pattern))
            continue;
        struct statx st;
        bool dangling;
        if (!StatAt(dirFd, name, st, dangling))
            continue; // removed while listing
        context.m_native = QByteArray(name, length);
        context.m_name = std::move(decoded);
        context.m_attributes = PosixAttributes(context.m_name, st.stx_mode, dangling);
        context.m_size = (dangling || S_ISDIR(st.stx_mode)) ? 0 : u64(st.stx_size);
        if (dangling)
            std::fill(std::begin(context.m_times), std::end(context.m_times), FileTime{});
        else
            FillTimes(st, context.m_times);
        context.m_hasEntry = true;
        return true;
    }
    ::closedir(context.m_dir);
    context.m_dir = nullptr;
    context.m_state = PosixFindContext::State::Finished;
    return false;
}

bool PosixItem::Rename(QStringView newName)
{
    if (m_isDrive || !IsValidNewName(newName))
        return false;
    const QByteArray oldPath = NativePath();
    if (oldPath.isEmpty())
        return false;
    const QByteArray newNative = EncodeNativeName(newName);
    QByteArray newPath = oldPath.left(oldPath.lastIndexOf('/') + 1) + newNative;
    // Never replaces an existing entry; a file system without the flag fails the rename.
    if (::renameat2(AT_FDCWD, oldPath.constData(), AT_FDCWD, newPath.constData(),
                    RENAME_NOREPLACE) != 0)
        return false;
    m_name = newName.toString();
    m_native = newNative;
    m_displayName.clear();
    OnNameChanged(m_name);
    return true;
}

bool PosixItem::Delete()
{
    if (m_isDrive)
        return false;
    const QByteArray path = NativePath();
    struct stat st;
    if (path.isEmpty() || ::lstat(path.constData(), &st) != 0)
        return false;
    // A link is removed itself, whatever it points to.
    const int result = S_ISDIR(st.st_mode) ? ::rmdir(path.constData()) : ::unlink(path.constData());
    if (result != 0)
        return false;
    Release();
    return true;
}

Stream* PosixItem::CreateStream(u32 mode)
{
    if (m_isDrive)
        return nullptr;
    const QByteArray path = NativePath();
    if (path.isEmpty())
        return nullptr;
    const int fd = OpenRegularFile(path, mode);
    if (fd < 0)
        return nullptr;
    auto* stream = new (std::nothrow) PosixStream(fd, mode);
    if (!stream)
        ::close(fd);
    return stream;
}
