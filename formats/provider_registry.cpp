#include "formats/provider_registry.h"

#include "formats/builtin_plugin.h"
#include "formats/freeimage/freeimage_plugin.h"
#include "framework/provider_manager.h"

#include <new>

void RegisterStandardPlugins(ProviderManager& manager)
{
    if (Plugin* library = new (std::nothrow) FreeImagePlugin)
        manager.AddPlugin(library);
    if (Plugin* builtin = new (std::nothrow) BuiltinPlugin)
        manager.AddPlugin(builtin);
}

ProviderManager* CreateProviderManager()
{
    auto* manager = new (std::nothrow) ProviderManager;
    if (manager)
        RegisterStandardPlugins(*manager);
    return manager;
}
