#include "framework/provider_manager.h"

#include "framework/file_system_provider.h"
#include "framework/find_context.h"
#include "framework/item.h"
#include "framework/path.h"
#include "framework/provider_kind.h"
#include "framework/plugin.h"
#include "framework/stream.h"

ProviderManager::~ProviderManager()
{
    if (m_root)
        delete m_root; // clears m_root through the item's destructor
    m_root = nullptr;
    RemoveAllPlugins(true);
}

// ---------------------------------------------------------------------------------------------
// Registration

bool ProviderManager::AddPlugin(Plugin* plugin)
{
    if (!plugin)
        return false;
    if (plugin->m_manager == this)
        return true;
    if (plugin->m_manager)
        return false;
    plugin->m_prev = m_lastPlugin;
    plugin->m_next = nullptr;
    if (m_lastPlugin)
        m_lastPlugin->m_next = plugin;
    else
        m_firstPlugin = plugin;
    m_lastPlugin = plugin;
    plugin->m_manager = this;
    if (!plugin->OnAttachManager(this)) {
        RemovePlugin(plugin, true);
        return false;
    }
    return true;
}

bool ProviderManager::RemovePlugin(Plugin* plugin, bool destroy)
{
    if (!plugin)
        return false;
    if (!plugin->m_manager)
        return true;
    if (plugin->m_manager != this)
        return false;
    plugin->m_manager = nullptr;
    if (plugin->m_prev)
        plugin->m_prev->m_next = plugin->m_next;
    else
        m_firstPlugin = plugin->m_next;
    if (plugin->m_next)
        plugin->m_next->m_prev = plugin->m_prev;
    else
        m_lastPlugin = plugin->m_prev;
    plugin->m_prev = plugin->m_next = nullptr;
    plugin->OnDetachManager(this);
    if (destroy)
        delete plugin;
    return true;
}

void ProviderManager::RemoveAllPlugins(bool destroy)
{
    while (m_lastPlugin)
        RemovePlugin(m_lastPlugin, destroy);
}

bool ProviderManager::NextPlugin(PluginCursor& cursor) const
{
    cursor.current = cursor.current ? cursor.current->m_prev : m_lastPlugin;
    return cursor.current != nullptr;
}

bool ProviderManager::SetCurrentFolder(Item* item)
{
    if (!item || item->GetManager() != this)
        return false;
    m_currentFolder = item;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Probing

bool ProviderManager::AttachProviders(Item* item, Stream* stream, u32 kindMask)
{
    if (!item)
        return true;
    Stream* opened = nullptr;
    if (!stream)
        stream = opened = item->OpenStream(kModeRead);

    ProviderQuery query{kindMask, nullptr, nullptr, nullptr};
    PluginCursor cursor;
    while (NextPlugin(cursor)) {
        if (stream)
            stream->Seek(0, kSeekBegin);
        if (cursor.current->ProbeItem(item, stream, kindMask))
            continue;
        while (cursor.current->NextProvider(query)) {
            if (stream)
                stream->Seek(0, kSeekBegin);
            if (query.current->Probe(item, stream, kindMask))
                item->AddInstance(query.current);
        }
    }
    item->AddProbedKinds(kindMask);
    if (opened)
        item->CloseStream(opened, true);
    return true;
}

Provider* ProviderManager::FindProviderForStream(Stream* stream, u32 kindMask)
{
    if (!stream)
        return nullptr;
    Item* item = stream->GetOwner();
    PluginCursor cursor;
    while (NextPlugin(cursor)) {
        ProviderQuery query{0, nullptr, nullptr, nullptr};
        while (cursor.current->NextProvider(query)) {
            if (query.current->Accepts(item, stream, kindMask) &&
                query.current->Probe(item, stream, kindMask))
                return query.current;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Paths

Item* ProviderManager::WalkStart(QStringView path, bool& absolute) const
{
    absolute = path.startsWith(u'/');
    return absolute ? m_root : m_currentFolder;
}

Item* ProviderManager::Resolve(QStringView path, bool create, bool asFile)
{
    if (path.isEmpty())
        return nullptr;
    bool absolute;
    Item* current = WalkStart(path, absolute);
    if (!current)
        return nullptr;
    const SplitPathResult split = SplitPath(path);
    const qsizetype count = split.components.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView component = split.components[i];
        if (Item* child = current->FindChild(component)) {
            current = child;
            continue;
        }
        Stream* stream = current->OpenStream(kModeRead);
        if (!stream) {
            // A folder, the drive or the root whose child is not in the tree.
            if (!create)
                return nullptr;
            if (i == count - 1 && asFile)
                return current->FindOrCreateChild(component);
            return current->CreateFolder(0, component);
        }
        // A file: a file system may read it as a nested namespace.
        Item* nestedRoot = nullptr;
        if (auto* provider =
                dynamic_cast<FileSystemProvider*>(FindProviderForStream(stream, kKindFileSystem)))
            nestedRoot = provider->CreateRoot(stream);
        current->CloseStream(stream, true);
        if (nestedRoot) {
            Item* child = nestedRoot->FindChild(component);
            if (!child)
                return nestedRoot;
            current = child;
            continue;
        }
        return create ? current->CreateFolder(0, component) : current;
    }
    return current;
}

FindContext* ProviderManager::FindFirst(QStringView path, QStringView pattern, u32 flags)
{
    if (path.isEmpty())
        return m_root ? m_root->FindFirst(pattern, flags) : nullptr;
    bool absolute;
    Item* current = WalkStart(path, absolute);
    if (!current)
        return nullptr;
    const SplitPathResult split = SplitPath(path);
    const qsizetype count = split.components.size();
    QString lastAsPattern;
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView component = split.components[i];
        if (i == count - 1 && (flags & 1) && pattern.isEmpty()) {
            lastAsPattern = component.toString();
            break;
        }
        Item* child = current->FindChild(component);
        if (!child)
            return nullptr;
        current = child;
    }
    return current->FindFirst(lastAsPattern.isNull() ? pattern : QStringView(lastAsPattern), flags);
}

bool ProviderManager::FindNext(FindContext& context)
{
    return context.item && context.item->FindNext(context);
}

bool ProviderManager::FindClose(FindContext* context)
{
    if (!context || !context->item)
        return false;
    return context->item->FindClose(context);
}

bool ProviderManager::Exists(QStringView path)
{
    FindContext* context = FindFirst(path, QStringView(), 1);
    if (!context)
        return false;
    FindClose(context);
    return true;
}

bool ProviderManager::DeletePath(QStringView path)
{
    Item* item = Resolve(path, false, false);
    return item && item->Delete();
}

bool ProviderManager::ProbeFolder(QStringView path)
{
    Item* folder = Resolve(path, false, false);
    if (!folder)
        return false;
    FindContext* context = FindFirst(path, QStringView(), 0);
    if (!context)
        return false;
    do {
        if (Item* child = folder->FindChild(context->GetName()))
            AttachProviders(child, nullptr, 0);
    } while (FindNext(*context));
    FindClose(context);
    return true;
}

Stream* ProviderManager::OpenStream(QStringView path, u32 mode)
{
    const u32 disposition = mode & kModeDispositionMask;
    const bool create = disposition == kModeCreateAlways || disposition == kModeOpenAlways;
    Item* item = Resolve(path, create, true);
    return item ? item->OpenStream(mode) : nullptr;
}

Stream* ProviderManager::OpenStream(Item* item, u32 mode)
{
    return item ? item->OpenStream(mode) : nullptr;
}

Stream* ProviderManager::OpenAuxStream(QStringView path, u32 argument)
{
    return OpenAuxStream(Resolve(path, false, false), argument);
}

Stream* ProviderManager::OpenAuxStream(Item* item, u32 argument)
{
    if (!item || (item->GetAttributes() & kAttrFolder))
        return nullptr;
    return item->OpenAuxStream(argument);
}

bool ProviderManager::CloseStream(Stream* stream)
{
    if (!stream)
        return false;
    if (Item* owner = stream->GetOwner())
        return owner->CloseStream(stream, true);
    stream->Release();
    return true;
}
