#include "framework/posixfs/posix_file_system.h"

#include "framework/plugin.h"
#include "framework/posixfs/posix_item.h"
#include "framework/provider_manager.h"

#include <new>

bool PosixFileSystem::OnAttachManager(ProviderManager* manager)
{
    manager->SetRoot(CreateRoot(nullptr));
    return true;
}

bool PosixFileSystem::GetInfo(u32 index, QString& out)
{
    switch (index) {
    case 0: out = QStringLiteral("PosixFS"); return true;
    case 1: out = QStringLiteral("POSIX FS"); return true;
    case 2: out = QStringLiteral("POSIX file system API"); return true;
    default: return false;
    }
}

Item* PosixFileSystem::CreateRoot(Stream* stream)
{
    if (stream || !GetPlugin() || !GetPlugin()->GetManager())
        return nullptr;
    return new (std::nothrow) PosixItem(QString(), GetPlugin()->GetManager());
}
