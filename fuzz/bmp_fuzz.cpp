// Feeds arbitrary bytes to the BMP probe and loader; any crash, leak or undefined behaviour is a
// finding. The loaded picture's pixels are touched so that the conversion is exercised too.

#include "formats/bmp/bmp_codec.h"
#include "framework/memory_stream.h"
#include "image/frame.h"
#include "image/image.h"
#include "image/surface.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    BmpCodec codec;
    {
        MemoryStream stream(bytes, kModeRead);
        codec.Probe(nullptr, &stream, 2);
    }
    MemoryStream stream(bytes, kModeRead);
    Image* image = codec.Load(&stream);
    if (image) {
        Frame* frame = image->GetCurrentFrame();
        Surface* surface = frame ? frame->GetCurrentSurface() : nullptr;
        volatile u8 sink = 0;
        if (const u8* bits = surface ? surface->LockBits() : nullptr) {
            const BitmapInfoHeader& header = surface->GetDisplayHeader();
            sink = bits[u64(header.biWidth) * u64(header.biHeight) * 4 - 1];
        }
        (void)sink;
        image->Release();
    }
    return 0;
}
