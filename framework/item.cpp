#include "framework/item.h"

#include "framework/find_context.h"
#include "framework/path.h"
#include "framework/provider.h"
#include "framework/provider_instance.h"
#include "framework/provider_manager.h"
#include "framework/stream.h"

#include <QVarLengthArray>

Item::Item(ProviderManager* manager) : m_manager(manager) {}

Item::~Item()
{
    RemoveAllInstances();
    if (m_manager) {
        if (m_manager->m_currentFolder == this)
            m_manager->m_currentFolder = m_parent;
        if (m_manager->GetRoot() == this)
            m_manager->SetRoot(nullptr);
    }
    RemoveAllChildren(true);
    CloseAllStreams();
    if (m_parent)
        m_parent->RemoveChild(this, false);
}

// ---------------------------------------------------------------------------------------------
// Structure

void Item::IndexChild(Item* child)
{
    QString name;
    child->GetName(name);
    child->m_indexedName = name;
    // The index keeps the first child in order, so a later duplicate does not replace it.
    if (!m_childIndex.contains(name))
        m_childIndex.insert(name, child);
}

void Item::UnindexChild(Item* child)
{
    const auto it = m_childIndex.find(child->m_indexedName);
    if (it == m_childIndex.end() || it.value() != child)
        return;
    // Another child of the same name, if any, becomes the first match.
    for (Item* other = child->m_nextSibling; other; other = other->m_nextSibling) {
        if (other->m_indexedName == child->m_indexedName) {
            it.value() = other;
            return;
        }
    }
    m_childIndex.erase(it);
}

void Item::OnNameChanged(const QString& newName)
{
    if (!m_parent) {
        m_indexedName = newName;
        return;
    }
    Item* parent = m_parent;
    parent->UnindexChild(this);
    m_indexedName = newName;
    const auto it = parent->m_childIndex.find(newName);
    if (it == parent->m_childIndex.end()) {
        parent->m_childIndex.insert(newName, this);
        return;
    }
    // Keep the first-in-order rule: this item wins only if it comes before the indexed one.
    for (Item* c = parent->m_firstChild; c; c = c->m_nextSibling) {
        if (c == it.value())
            return;
        if (c == this) {
            it.value() = this;
            return;
        }
    }
}

bool Item::AddChild(Item* child)
{
    if (!child)
        return false;
    if (child->m_parent == this)
        return true;
    if (child->m_parent)
        return false;
    child->m_prevSibling = m_lastChild;
    child->m_nextSibling = nullptr;
    if (m_lastChild)
        m_lastChild->m_nextSibling = child;
    else
        m_firstChild = child;
    m_lastChild = child;
    child->m_parent = this;
    IndexChild(child);
    return true;
}

bool Item::RemoveChild(Item* child, bool release)
{
    if (!child)
        return false;
    if (!child->m_parent)
        return true;
    if (child->m_parent != this)
        return false;
    UnindexChild(child);
    child->m_parent = nullptr;
    if (child->m_prevSibling)
        child->m_prevSibling->m_nextSibling = child->m_nextSibling;
    else
        m_firstChild = child->m_nextSibling;
    if (child->m_nextSibling)
        child->m_nextSibling->m_prevSibling = child->m_prevSibling;
    else
        m_lastChild = child->m_prevSibling;
    child->m_prevSibling = child->m_nextSibling = nullptr;
    if (release)
        child->Release();
    return true;
}

void Item::RemoveAllChildren(bool release)
{
    while (m_lastChild)
        RemoveChild(m_lastChild, release);
}

Item* Item::FindChild(QStringView name) const
{
    const auto it = m_childIndex.constFind(name.toString());
    if (it == m_childIndex.constEnd())
        return nullptr;
    return it.value()->MatchesName(name) ? it.value() : nullptr;
}

Item* Item::FindOrCreateChild(QStringView name)
{
    if (Item* found = FindChild(name))
        return found;
    Item* child = CreateChildItem(name);
    if (!child)
        return nullptr;
    if (!AddChild(child)) {
        delete child;
        return nullptr;
    }
    return child;
}

bool Item::GetPath(QString& out, Item* stopAt)
{
    out.clear();
    // Collect the names first and join once: paths are built in every listing.
    QVarLengthArray<QString, 32> names;
    for (Item* item = this;;) {
        QString name;
        if (!item->GetName(name)) {
            out.clear();
            return false;
        }
        names.append(std::move(name));
        Item* parent = item->m_parent;
        if (!parent || parent == stopAt || (m_manager && parent == m_manager->GetRoot()))
            break;
        item = parent;
    }
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        if (!out.isEmpty() && !out.endsWith(u'/') && !names[i].isEmpty())
            out.append(u'/');
        out.append(names[i]);
    }
    return !out.isEmpty();
}

// ---------------------------------------------------------------------------------------------
// Provider bindings

void Item::UnlinkInstance(ProviderInstance* instance)
{
    if (instance->m_prevInItem)
        instance->m_prevInItem->m_nextInItem = instance->m_nextInItem;
    else if (m_firstInstance == instance)
        m_firstInstance = instance->m_nextInItem;
    if (instance->m_nextInItem)
        instance->m_nextInItem->m_prevInItem = instance->m_prevInItem;
    else if (m_lastInstance == instance)
        m_lastInstance = instance->m_prevInItem;
    instance->m_prevInItem = instance->m_nextInItem = nullptr;
    instance->m_item = nullptr;
}

bool Item::AddInstance(Provider* provider)
{
    if (!provider || FindInstance(provider))
        return false;
    ProviderInstance* instance = provider->CreateInstance(this);
    if (!instance)
        return false;
    instance->m_prevInItem = m_lastInstance;
    instance->m_nextInItem = nullptr;
    if (m_lastInstance)
        m_lastInstance->m_nextInItem = instance;
    else
        m_firstInstance = instance;
    m_lastInstance = instance;
    instance->m_item = this;
    return true;
}

bool Item::RemoveInstance(Provider* provider, bool destroy)
{
    if (!provider)
        return false;
    ProviderInstance* instance = FindInstance(provider);
    if (!instance)
        return false;
    m_probedKinds &= ~provider->GetKind(this);
    UnlinkInstance(instance);
    if (destroy)
        delete instance;
    return true;
}

void Item::RemoveAllInstances()
{
    while (ProviderInstance* instance = m_lastInstance) {
        UnlinkInstance(instance);
        delete instance;
    }
    m_firstInstance = m_lastInstance = nullptr;
    m_probedKinds = 0;
}

ProviderInstance* Item::FindInstance(Provider* provider) const
{
    for (ProviderInstance* i = m_lastInstance; i; i = i->m_prevInItem) {
        if (i->m_provider == provider)
            return i;
    }
    return nullptr;
}

Provider* Item::GetProvider(u32 kindMask)
{
    if (kindMask == 0)
        return nullptr;
    Provider* provider = nullptr;
    return NextMatchingProvider(kindMask, provider) ? provider : nullptr;
}

bool Item::NextMatchingProvider(u32 kindMask, Provider*& provider)
{
    Stream* stream = OpenStream(kModeRead);
    if ((m_probedKinds & kindMask) != kindMask) {
        m_probedKinds |= kindMask;
        if (m_manager)
            m_manager->AttachProviders(this, stream, kindMask);
    }
    ProviderInstance* start = provider ? FindInstance(provider) : nullptr;
    ProviderInstance* instance = start ? start->m_nextInItem : m_firstInstance;
    for (; instance; instance = instance->m_nextInItem) {
        if (kindMask == 0 || instance->m_provider->Accepts(this, stream, kindMask))
            break;
    }
    if (stream)
        CloseStream(stream, true);
    if (!instance)
        return false;
    provider = instance->m_provider;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Generic file-system operations

bool Item::HasChildren(bool foldersOnly, bool includeHidden)
{
    FindContext* context = FindFirst(QStringView(), 0);
    if (!context)
        return false;
    bool answer = !foldersOnly;
    if (foldersOnly) {
        do {
            const u32 attributes = context->GetAttributes();
            if ((attributes & kAttrHidden) && !includeHidden)
                continue;
            if (attributes & kAttrFolder) {
                answer = true;
                break;
            }
        } while (FindNext(*context));
    }
    FindClose(context);
    return answer;
}

FindContext* Item::FindFirst(QStringView pattern, u32 flags)
{
    FindContext* context = CreateFindContext();
    if (!context)
        return nullptr;
    GetPath(context->path, nullptr);
    context->pattern = pattern.isEmpty() ? QStringLiteral("*.*") : pattern.toString();
    context->flags = flags;
    if (!FindNext(*context)) {
        delete context;
        return nullptr;
    }
    return context;
}

bool Item::FindClose(FindContext* context)
{
    if (!context)
        return false;
    delete context;
    return true;
}

Stream* Item::CreateAuxStream(u32)
{
    return nullptr;
}

void Item::TrackStream(Stream* stream)
{
    stream->m_prev = m_lastStream;
    stream->m_next = nullptr;
    if (m_lastStream)
        m_lastStream->m_next = stream;
    else
        m_firstStream = stream;
    m_lastStream = stream;
    stream->m_owner = this;
}

Stream* Item::OpenStream(u32 mode)
{
    Stream* stream = CreateStream(mode);
    if (stream)
        TrackStream(stream);
    return stream;
}

Stream* Item::OpenAuxStream(u32 argument)
{
    if (!Supports(kCapAuxStream))
        return nullptr;
    Stream* stream = CreateAuxStream(argument);
    if (stream)
        TrackStream(stream);
    return stream;
}

bool Item::CloseStream(Stream* stream, bool destroy)
{
    if (!stream)
        return false;
    if (stream->m_owner == this) {
        if (stream->m_prev)
            stream->m_prev->m_next = stream->m_next;
        else
            m_firstStream = stream->m_next;
        if (stream->m_next)
            stream->m_next->m_prev = stream->m_prev;
        else
            m_lastStream = stream->m_prev;
    }
    stream->m_owner = nullptr;
    stream->m_prev = stream->m_next = nullptr;
    if (destroy)
        delete stream;
    return true;
}

bool Item::CloseAllStreams()
{
    while (m_lastStream)
        CloseStream(m_lastStream, true);
    return true;
}
