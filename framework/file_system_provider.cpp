#include "framework/file_system_provider.h"

#include "framework/item.h"
#include "framework/provider_instance.h"

#include <new>

ProviderInstance* FileSystemProvider::CreateInstance(Item* item)
{
    return new (std::nothrow) ProviderInstance(item, this, 1);
}

RefObject* FileSystemProvider::OpenAs(Stream* argument, u32 kind)
{
    return kind == 1 ? CreateRoot(argument) : nullptr;
}
