#pragma once

#include "framework/types.h"

class Item;
class Plugin;
class Provider;
class Stream;

// Cursor over a plug-in's providers (Plugin::NextProvider); current is null before the first step.
struct ProviderQuery
{
    u32 kindMask = 0;
    Item* item = nullptr;
    Stream* stream = nullptr;
    Provider* current = nullptr;
};

// Cursor over a manager's plug-ins (ProviderManager::NextPlugin).
struct PluginCursor
{
    Plugin* current = nullptr;
};
