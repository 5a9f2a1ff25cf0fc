#pragma once
// The provider manager of a Vistrel window or tool, with the standard plug-ins registered.

class ProviderManager;

// Registers the standard plug-ins with a manager, in their fixed order: searches run from the
// last registered back, so the built-in readers are asked before the library's.
void RegisterStandardPlugins(ProviderManager& manager);
// A new manager (count 1) with the standard plug-ins; null when allocation fails.
ProviderManager* CreateProviderManager();
