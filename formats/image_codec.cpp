#include "formats/image_codec.h"

#include "framework/provider_instance.h"
#include "image/image.h"

#include <new>

ProviderInstance* ImageCodec::CreateInstance(Item* item)
{
    return new (std::nothrow) ProviderInstance(item, this, 2);
}

RefObject* ImageCodec::OpenAs(Stream* stream, u32 kind)
{
    return kind == 2 ? Load(stream) : nullptr;
}

bool ImageCodec::Save(Image*, Stream*, u32, u32, u32, u32)
{
    return false;
}
