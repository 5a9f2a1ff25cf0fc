#pragma once
// An item of the POSIX file system. It keeps the native bytes of its name; every system call
// uses the native names joined along its parents.

#include "framework/item.h"

#include <QByteArray>

struct statx;

class PosixItem : public Item
{
public:
    PosixItem(const QString& name, ProviderManager* manager);
    ~PosixItem() override;

    bool GetName(QString& out) override;
    bool GetDisplayName(QString& out) override;
    bool GetTypeName(QString& out) override;
    IconHandle GetIcon(u32 flags) override;
    u64 GetSize() override;
    bool GetTime(u32 which, FileTime& out) override;
    u32 GetAttributes() override;
    bool MatchesName(QStringView name) override;
    bool Supports(u32 capability) override;
    Item* CreateChildItem(QStringView name) override;
    Item* CreateFolder(u32 reserved, QStringView name) override;
    FindContext* CreateFindContext() override;
    bool FindNext(FindContext& context) override;
    bool Rename(QStringView newName) override;
    bool Delete() override;
    Stream* CreateStream(u32 mode) override;

    bool IsDrive() const { return m_isDrive; }
    // The full native path ("/" for the drive); empty for the root.
    QByteArray NativePath() const;

private:
    bool StatPath(struct statx& out) const;

    QString m_name;
    QByteArray m_native;
    bool m_isDrive;
    IconHandle m_icons[8] = {};
    QString m_typeName;
    QString m_displayName;
};

// Attribute bits for a listed or stat'ed entry.
u32 PosixAttributes(QStringView name, unsigned mode, bool dangling);
// 100-nanosecond ticks since 1601-01-01 for a POSIX time.
FileTime PosixToFileTime(i64 seconds, u32 nanoseconds);
