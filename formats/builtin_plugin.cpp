#include "formats/builtin_plugin.h"

#include "formats/bmp/bmp_codec.h"
#include "formats/texture/texture_codec.h"
#include "framework/posixfs/posix_file_system.h"

#include <new>

BuiltinPlugin::BuiltinPlugin()
{
    // Searches run backwards, so BMP is asked first, then the texture format.
    if (Provider* fileSystem = new (std::nothrow) PosixFileSystem)
        AddProvider(fileSystem);
    if (Provider* texture = new (std::nothrow) TextureCodec)
        AddProvider(texture);
    if (Provider* bmp = new (std::nothrow) BmpCodec)
        AddProvider(bmp);
}
