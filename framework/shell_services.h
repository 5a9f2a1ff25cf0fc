#pragma once
// The framework's window on the desktop: type names, display names and icons of paths. The
// application installs an implementation at start-up; without one (tests, command-line tools)
// there are no icons and type names come from the MIME database.

#include "framework/types.h"

#include <QString>

// An icon owned by the item that fetched it; 0 is "no icon".
using IconHandle = quintptr;

enum class IconSize { Small, Large };

struct IconVariant
{
    IconSize size = IconSize::Small;
    bool open = false;     // the open-folder picture
    bool selected = false; // the selected picture
};

class ShellServices
{
public:
    virtual ~ShellServices() = default;
    // The type description of a path with the given attributes; the file is not read.
    virtual QString GetTypeName(const QString& path, u32 attributes);
    // The name the desktop shows: the file name, "/" for the drive.
    virtual QString GetDisplayName(const QString& path, u32 attributes);
    virtual IconHandle GetIcon(const QString& path, u32 attributes, IconVariant variant);
    virtual void DestroyIcon(IconHandle icon);
};

// The installed services (a display-free default when none is installed). Not owned.
ShellServices& GetShellServices();
// Installs services (null restores the default); the caller keeps ownership.
void InstallShellServices(ShellServices* services);
