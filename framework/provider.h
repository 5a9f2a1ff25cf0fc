#pragma once
// One service of a plug-in: a file system (kind 1) or an image format (kind 2). A provider owns
// the instances it created; removing it from its plug-in is the plug-in's job.

#include "framework/ref_object.h"

#include <QString>

class Item;
class Plugin;
class ProviderInstance;
class ProviderManager;
class Stream;

class Provider : public RefObject
{
public:
    Provider() = default;
    // Destroys every instance (last to first), then leaves its plug-in without being destroyed.
    ~Provider() override;

    virtual bool OnAttachManager(ProviderManager*) { return true; }
    virtual void OnDetachManager(ProviderManager*) {}
    virtual bool OnAttachPlugin(Plugin*) { return true; }
    virtual void OnDetachPlugin(Plugin*) {}
    // The cheap filter by kind; the kind bases answer for their own kind mask.
    virtual bool Accepts(Item* item, Stream* stream, u32 kindMask) = 0;
    virtual u32 GetKind(Item* item) = 0;
    // Whether this provider can serve the item, normally decided from the stream's first bytes.
    virtual bool Probe(Item* item, Stream* stream, u32 kindMask) = 0;
    virtual ProviderInstance* CreateInstance(Item* item) = 0;
    // The kind's first operation with the argument, or null when kind is not this provider's.
    virtual RefObject* OpenAs(Stream* argument, u32 kind) = 0;
    // Information strings: 0 short name, 1 display name, 2 description, 3 extension list
    // (";"-separated), 4 default extension. False for an index the provider does not have.
    virtual bool GetInfo(u32 index, QString& out) = 0;
    virtual bool Supports(u32 feature) = 0;
    virtual bool NextSubformat(void* /*record*/) { return false; }

    Plugin* GetPlugin() const { return m_plugin; }
    ProviderInstance* FirstInstance() const { return m_firstInstance; }
    Provider* PrevProvider() const { return m_prev; }
    Provider* NextProviderInList() const { return m_next; }

private:
    friend class Plugin;
    friend class ProviderInstance;

    Provider* m_prev = nullptr;
    Provider* m_next = nullptr;
    Plugin* m_plugin = nullptr;
    ProviderInstance* m_firstInstance = nullptr;
    ProviderInstance* m_lastInstance = nullptr;
};
