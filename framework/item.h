#pragma once
// A node of the namespace: the invisible root, the drive, folders and files. An item holds one
// reference on each child, owns its provider bindings and its tracked streams. Names match
// exactly on this platform, which lets the children be indexed by name.

#include "framework/ref_object.h"
#include "framework/shell_services.h"

#include <QHash>
#include <QString>
#include <QStringView>

class FindContext;
class Provider;
class ProviderInstance;
class ProviderManager;
class Stream;

// GetIcon flags.
enum : u32 {
    kIconSmall = 0x1,
    kIconLarge = 0x2,
    kIconOpen = 0x4,
    kIconSelected = 0x8,
};

// Supports capabilities.
enum : u32 {
    kCapRename = 0,
    kCapDelete = 1,
    kCapAuxStream = 2,
};

class Item : public RefObject
{
public:
    explicit Item(ProviderManager* manager);
    ~Item() override;

    // --- File-system face; each file system supplies these.
    virtual bool GetName(QString& out) = 0;
    virtual bool GetDisplayName(QString& out) = 0;
    virtual bool GetTypeName(QString& out) = 0;
    // One cached icon per flag combination, owned by the item; 0 when there is none.
    virtual IconHandle GetIcon(u32 flags) = 0;
    // All ones when it cannot be determined.
    virtual u64 GetSize() = 0;
    virtual bool GetTime(u32 which, FileTime& out) = 0;
    // kFailed32 when the attributes cannot be read.
    virtual u32 GetAttributes() = 0;
    virtual bool MatchesName(QStringView name) = 0;
    virtual bool HasChildren(bool foldersOnly, bool includeHidden);
    virtual bool Supports(u32 capability) = 0;
    // A new unlinked item for a child of that name; nothing happens on disk.
    virtual Item* CreateChildItem(QStringView name) = 0;
    // Creates a folder on disk and links its new item as the last child. reserved must be 0.
    virtual Item* CreateFolder(u32 reserved, QStringView name) = 0;
    virtual FindContext* CreateFindContext() = 0;
    virtual FindContext* FindFirst(QStringView pattern, u32 flags);
    virtual bool FindNext(FindContext& context) = 0;
    virtual bool FindClose(FindContext* context);
    virtual bool Rename(QStringView newName) = 0;
    // Deletes on disk; on success the item gives up one reference (its parent's).
    virtual bool Delete() = 0;
    // The item's bytes, untracked (the caller releases it).
    virtual Stream* CreateStream(u32 mode) = 0;
    virtual Stream* CreateAuxStream(u32 argument);
    // CreateStream, tracked by this item.
    virtual Stream* OpenStream(u32 mode);
    virtual Stream* OpenAuxStream(u32 argument);
    virtual bool CloseStream(Stream* stream, bool destroy);
    virtual bool CloseAllStreams();

    // --- Structure.
    ProviderManager* GetManager() const { return m_manager; }
    Item* GetParent() const { return m_parent; }
    Item* FirstChild() const { return m_firstChild; }
    Item* LastChild() const { return m_lastChild; }
    Item* NextSibling() const { return m_nextSibling; }
    Item* PrevSibling() const { return m_prevSibling; }

    bool AddChild(Item* child);
    bool RemoveChild(Item* child, bool release);
    void RemoveAllChildren(bool release);
    // Borrowed pointer to the first child in order whose name matches.
    Item* FindChild(QStringView name) const;
    Item* FindOrCreateChild(QStringView name);
    // Names joined with "/" up to (not including) stopAt or the root; false when empty.
    bool GetPath(QString& out, Item* stopAt = nullptr);

    // --- Provider bindings.
    bool AddInstance(Provider* provider);
    bool RemoveInstance(Provider* provider, bool destroy);
    void RemoveAllInstances();
    ProviderInstance* FindInstance(Provider* provider) const;
    ProviderInstance* FirstInstance() const { return m_firstInstance; }
    // The first bound provider of the kinds in the mask (probing once per kind); null for 0.
    Provider* GetProvider(u32 kindMask);
    // Advances provider to the next bound provider matching the mask, in binding order.
    bool NextMatchingProvider(u32 kindMask, Provider*& provider);
    u32 GetProbedKinds() const { return m_probedKinds; }
    void AddProbedKinds(u32 kinds) { m_probedKinds |= kinds; }

    Stream* FirstStream() const { return m_firstStream; }

protected:
    // A file system calls this after its name changed, so that the parent's index follows.
    void OnNameChanged(const QString& newName);

private:
    void IndexChild(Item* child);
    void UnindexChild(Item* child);
    void UnlinkInstance(ProviderInstance* instance);
    void TrackStream(Stream* stream);

    ProviderManager* m_manager;
    Item* m_parent = nullptr;
    Item* m_firstChild = nullptr;
    Item* m_lastChild = nullptr;
    Item* m_prevSibling = nullptr;
    Item* m_nextSibling = nullptr;
    ProviderInstance* m_firstInstance = nullptr;
    ProviderInstance* m_lastInstance = nullptr;
    u32 m_probedKinds = 0;
    Stream* m_firstStream = nullptr;
    Stream* m_lastStream = nullptr;

    // The first child in order for each name, and the name each child is indexed under.
    QHash<QString, Item*> m_childIndex;
    QString m_indexedName;

    friend class ProviderInstance;
};
