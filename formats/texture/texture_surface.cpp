#include "formats/texture/texture_surface.h"

// The class is complete in its header; this unit keeps its vtable in the texture library.
