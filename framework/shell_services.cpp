#include "framework/shell_services.h"

#include <QMimeDatabase>

namespace {
ShellServices g_defaultServices;
ShellServices* g_services = &g_defaultServices;
} // namespace

QString ShellServices::GetTypeName(const QString& path, u32 attributes)
{
    static const QMimeDatabase database;
    // By name only: reading the content could block on a FIFO and costs time in every listing.
    const QMimeType type = (attributes != kFailed32 && (attributes & kAttrFolder))
                               ? database.mimeTypeForName(QStringLiteral("inode/directory"))
                               : database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.comment();
}

QString ShellServices::GetDisplayName(const QString& path, u32)
{
    if (path == u"/")
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

IconHandle ShellServices::GetIcon(const QString&, u32, IconVariant)
{
    return 0;
}

void ShellServices::DestroyIcon(IconHandle) {}

ShellServices& GetShellServices()
{
    return *g_services;
}

void InstallShellServices(ShellServices* services)
{
    g_services = services ? services : &g_defaultServices;
}
