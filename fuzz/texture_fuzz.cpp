// Feeds arbitrary bytes to the texture loader.

#include "formats/texture/texture_codec.h"
#include "framework/memory_stream.h"
#include "image/image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TextureCodec* codec = [] {
        auto* c = new TextureCodec;
        c->SetThreadCount(1);
        return c;
    }();
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                        kModeRead);
    if (Image* image = codec->Load(&stream)) image->Release();
    return 0;
}
