#include "framework/provider.h"

#include "framework/plugin.h"
#include "framework/provider_instance.h"

Provider::~Provider()
{
    while (m_lastInstance)
        delete m_lastInstance; // unlinks itself
    if (m_plugin)
        m_plugin->RemoveProvider(this, false);
}
