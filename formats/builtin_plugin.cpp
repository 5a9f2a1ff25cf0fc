#include "formats/builtin_plugin.h"

#include "framework/posixfs/posix_file_system.h"

#include <new>

BuiltinPlugin::BuiltinPlugin()
{
    if (Provider* fileSystem = new (std::nothrow) PosixFileSystem)
        AddProvider(fileSystem);
}
