#pragma once
// A group of providers registered with a provider manager. The plug-in owns its providers.

#include "framework/provider_query.h"
#include "framework/ref_object.h"

class Item;
class Provider;
class ProviderManager;
class Stream;

class Plugin : public RefObject
{
public:
    Plugin() = default;
    // Destroys all providers (last to first), then leaves its manager without being destroyed.
    ~Plugin() override;

    // Calls each provider's OnAttachManager in order; false at the first that refuses.
    virtual bool OnAttachManager(ProviderManager* manager);
    virtual void OnDetachManager(ProviderManager* manager);
    // Steps the query backwards through the providers, filtered by Accepts unless the mask is 0.
    virtual bool NextProvider(ProviderQuery& query);
    // A plug-in that classifies an item in one step binds its providers itself and returns true.
    virtual bool ProbeItem(Item* item, Stream* stream, u32 kindMask);

    bool AddProvider(Provider* provider);
    bool RemoveProvider(Provider* provider, bool destroy);
    void RemoveAllProviders(bool destroy);

    ProviderManager* GetManager() const { return m_manager; }
    Provider* FirstProvider() const { return m_firstProvider; }
    Provider* LastProvider() const { return m_lastProvider; }
    Plugin* NextPluginInList() const { return m_next; }

private:
    friend class ProviderManager;

    Plugin* m_prev = nullptr;
    Plugin* m_next = nullptr;
    ProviderManager* m_manager = nullptr;
    Provider* m_firstProvider = nullptr;
    Provider* m_lastProvider = nullptr;
};
