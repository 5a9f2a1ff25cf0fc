#pragma once
// Test doubles for the provider machinery: items that live only in memory and providers that
// record what they are asked.

#include "framework/find_context.h"
#include "framework/item.h"
#include "framework/plugin.h"
#include "framework/provider.h"
#include "framework/provider_instance.h"

#include <QStringList>
#include <functional>
#include <new>

struct Destroyed
{
    bool* flag;
};

class FakeItem : public Item
{
public:
    FakeItem(ProviderManager* manager, QString name, bool* destroyed = nullptr)
        : Item(manager), m_name(std::move(name)), m_destroyed(destroyed)
    {
    }
    ~FakeItem() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }
    bool GetName(QString& out) override
    {
        out = m_name;
        return true;
    }
    bool GetDisplayName(QString& out) override { return GetName(out); }
    bool GetTypeName(QString&) override { return false; }
    IconHandle GetIcon(u32) override { return 0; }
    u64 GetSize() override { return kUnknown64; }
    bool GetTime(u32, FileTime&) override { return false; }
    u32 GetAttributes() override { return kAttrNormal; }
    bool MatchesName(QStringView name) override { return name == m_name; }
    bool Supports(u32) override { return false; }
    Item* CreateChildItem(QStringView name) override
    {
        return new FakeItem(GetManager(), name.toString());
    }
    Item* CreateFolder(u32, QStringView) override { return nullptr; }
    FindContext* CreateFindContext() override { return nullptr; }
    bool FindNext(FindContext&) override { return false; }
    bool Rename(QStringView newName) override
    {
        m_name = newName.toString();
        OnNameChanged(m_name);
        return true;
    }
    bool Delete() override { return false; }
    Stream* CreateStream(u32) override { return nullptr; }

private:
    QString m_name;
    bool* m_destroyed;
};

// A provider of a given kind whose Probe answer is a function; it logs its probes.
class FakeProvider : public Provider
{
public:
    FakeProvider(QString name, u32 kind, QStringList* log, bool accepts = true)
        : m_name(std::move(name)), m_kind(kind), m_log(log), m_accepts(accepts)
    {
    }
    bool Accepts(Item*, Stream*, u32 kindMask) override { return kindMask == m_kind; }
    u32 GetKind(Item*) override { return m_kind; }
    bool Probe(Item*, Stream*, u32) override
    {
        if (m_log)
            m_log->append(m_name);
        return m_accepts;
    }
    ProviderInstance* CreateInstance(Item* item) override
    {
        return new (std::nothrow) ProviderInstance(item, this, m_kind);
    }
    RefObject* OpenAs(Stream*, u32) override { return nullptr; }
    bool GetInfo(u32 index, QString& out) override
    {
        if (index != 0)
            return false;
        out = m_name;
        return true;
    }
    bool Supports(u32) override { return false; }

private:
    QString m_name;
    u32 m_kind;
    QStringList* m_log;
    bool m_accepts;
};

// A plug-in that may classify items in one step, binding a chosen provider itself.
class FakePlugin : public Plugin
{
public:
    std::function<bool(Item*)> probeItem;
    bool ProbeItem(Item* item, Stream*, u32) override { return probeItem && probeItem(item); }
};
