#pragma once
// The plug-in of the providers built into Vistrel: the file system, then the image formats of
// its own readers.

#include "framework/plugin.h"

class BuiltinPlugin : public Plugin
{
public:
    // Creates and adds the providers in their fixed order; one that cannot be allocated is skipped.
    BuiltinPlugin();
};
