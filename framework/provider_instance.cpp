#include "framework/provider_instance.h"

#include "framework/item.h"
#include "framework/provider.h"

ProviderInstance::ProviderInstance(Item* item, Provider* provider, u32 kind)
    : m_item(item), m_provider(provider), m_kind(kind)
{
    if (!provider)
        return;
    m_prevInProvider = provider->m_lastInstance;
    if (provider->m_lastInstance)
        provider->m_lastInstance->m_nextInProvider = this;
    else
        provider->m_firstInstance = this;
    provider->m_lastInstance = this;
}

ProviderInstance::~ProviderInstance()
{
    // An instance destroyed by its provider while still bound must not stay in the item's list.
    if (m_item)
        m_item->UnlinkInstance(this);
    if (m_provider) {
        if (m_prevInProvider)
            m_prevInProvider->m_nextInProvider = m_nextInProvider;
        else
            m_provider->m_firstInstance = m_nextInProvider;
        if (m_nextInProvider)
            m_nextInProvider->m_prevInProvider = m_prevInProvider;
        else
            m_provider->m_lastInstance = m_prevInProvider;
        m_provider = nullptr;
    }
}
