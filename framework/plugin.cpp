#include "framework/plugin.h"

#include "framework/provider.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"

Plugin::~Plugin()
{
    RemoveAllProviders(true);
    if (m_manager)
        m_manager->RemovePlugin(this, false);
}

bool Plugin::OnAttachManager(ProviderManager* manager)
{
    for (Provider* p = m_firstProvider; p; p = p->m_next) {
        if (!p->OnAttachManager(manager))
            return false;
    }
    return true;
}

void Plugin::OnDetachManager(ProviderManager* manager)
{
    for (Provider* p = m_firstProvider; p; p = p->m_next)
        p->OnDetachManager(manager);
}

bool Plugin::NextProvider(ProviderQuery& query)
{
    if (query.stream)
        query.item = query.stream->GetOwner();
    for (;;) {
        query.current = query.current ? query.current->m_prev : m_lastProvider;
        if (!query.current)
            return false;
        if (query.kindMask == 0 || query.current->Accepts(query.item, query.stream, query.kindMask))
            return true;
    }
}

bool Plugin::ProbeItem(Item*, Stream*, u32)
{
    return false;
}

bool Plugin::AddProvider(Provider* provider)
{
    if (!provider)
        return false;
    if (provider->m_plugin == this)
        return true;
    if (provider->m_plugin)
        return false;
    provider->m_prev = m_lastProvider;
    provider->m_next = nullptr;
    if (m_lastProvider)
        m_lastProvider->m_next = provider;
    else
        m_firstProvider = provider;
    m_lastProvider = provider;
    provider->m_plugin = this;
    if (!provider->OnAttachPlugin(this)) {
        RemoveProvider(provider, true);
        return false;
    }
    return true;
}

bool Plugin::RemoveProvider(Provider* provider, bool destroy)
{
    if (!provider)
        return false;
    if (!provider->m_plugin)
        return true;
    if (provider->m_plugin != this)
        return false;
    provider->m_plugin = nullptr;
    if (provider->m_prev)
        provider->m_prev->m_next = provider->m_next;
    else
        m_firstProvider = provider->m_next;
    if (provider->m_next)
        provider->m_next->m_prev = provider->m_prev;
    else
        m_lastProvider = provider->m_prev;
    provider->m_prev = provider->m_next = nullptr;
    provider->OnDetachPlugin(this);
    if (destroy)
        delete provider;
    return true;
}

void Plugin::RemoveAllProviders(bool destroy)
{
    while (m_lastProvider)
        RemoveProvider(m_lastProvider, destroy);
}
