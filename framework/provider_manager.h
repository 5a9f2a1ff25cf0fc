#pragma once
// Owns the plug-ins, the root of the namespace and the current folder, binds providers to items
// by probing their bytes, and offers the path operations the views and the conversion use.
// Construction registers nothing: CreateProviderManager (formats/) registers the standard
// plug-ins, so that this layer does not depend on the formats built on it.

#include "framework/provider_query.h"
#include "framework/ref_object.h"

#include <QStringView>

class FindContext;
class Item;
class Plugin;
class Provider;
class Stream;

class ProviderManager : public RefObject
{
public:
    ProviderManager() = default;
    // Destroys the root item, then all plug-ins from the last registered to the first.
    ~ProviderManager() override;

    virtual Stream* OpenStream(QStringView path, u32 mode);
    virtual Stream* OpenStream(Item* item, u32 mode);
    virtual Stream* OpenAuxStream(QStringView path, u32 argument);
    virtual Stream* OpenAuxStream(Item* item, u32 argument);
    virtual bool CloseStream(Stream* stream);

    bool AddPlugin(Plugin* plugin);
    bool RemovePlugin(Plugin* plugin, bool destroy);
    void RemoveAllPlugins(bool destroy);
    // Steps backwards through the plug-ins (the last registered first).
    bool NextPlugin(PluginCursor& cursor) const;

    bool SetCurrentFolder(Item* item);
    Item* GetCurrentFolder() const { return m_currentFolder; }
    Item* GetRoot() const { return m_root; }
    // The root is owned; the file-system provider sets it when it attaches.
    void SetRoot(Item* root) { m_root = root; }

    bool AttachProviders(Item* item, Stream* stream, u32 kindMask);
    Provider* FindProviderForStream(Stream* stream, u32 kindMask);

    // Path operations. Resolution only follows items already in the tree.
    Item* Resolve(QStringView path, bool create, bool asFile);
    FindContext* FindFirst(QStringView path, QStringView pattern, u32 flags);
    bool FindNext(FindContext& context);
    bool FindClose(FindContext* context);
    bool Exists(QStringView path);
    bool DeletePath(QStringView path);
    bool ProbeFolder(QStringView path);

    Plugin* FirstPlugin() const { return m_firstPlugin; }
    Plugin* LastPlugin() const { return m_lastPlugin; }

private:
    friend class Item; // an item being destroyed moves the current folder to its parent

    // Where a walk starts: the root for an absolute path, else the current folder.
    Item* WalkStart(QStringView path, bool& absolute) const;

    Plugin* m_firstPlugin = nullptr;
    Plugin* m_lastPlugin = nullptr;
    Item* m_root = nullptr;
    Item* m_currentFolder = nullptr;
};
