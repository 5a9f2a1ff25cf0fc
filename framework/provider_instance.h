#pragma once
// The binding of one provider to one item. Created by the provider (which owns it, in creation
// order) and linked into the item's list by Item::AddInstance.

#include "framework/ref_object.h"

class Item;
class Provider;

class ProviderInstance : public RefObject
{
public:
    // Appends the instance to the provider's list at once.
    ProviderInstance(Item* item, Provider* provider, u32 kind);
    ~ProviderInstance() override;

    virtual u32 GetKind() const { return m_kind; }

    Item* GetItem() const { return m_item; }
    Provider* GetProvider() const { return m_provider; }
    // The next instance in the item's list (binding order).
    ProviderInstance* NextInItem() const { return m_nextInItem; }

private:
    friend class Item;
    friend class Provider;

    Item* m_item;
    Provider* m_provider;
    u32 m_kind;
    ProviderInstance* m_prevInItem = nullptr;
    ProviderInstance* m_nextInItem = nullptr;
    ProviderInstance* m_prevInProvider = nullptr;
    ProviderInstance* m_nextInProvider = nullptr;
};
