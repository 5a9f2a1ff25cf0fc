#pragma once
// An enumeration of one folder's entries: created by Item::FindFirst, advanced by FindNext,
// destroyed by FindClose. It holds no reference on its item.

#include "framework/types.h"

#include <QString>

class Item;

class FindContext
{
public:
    explicit FindContext(Item* folder) : item(folder) {}
    FindContext(const FindContext&) = delete;
    FindContext& operator=(const FindContext&) = delete;
    virtual ~FindContext() = default;

    // The current entry's name; a null string when there is no current entry.
    virtual QString GetName() const = 0;
    // kFailed32 without a current entry.
    virtual u32 GetAttributes() const = 0;
    // All ones without a current entry.
    virtual u64 GetSize() const = 0;
    // False for an unknown selector or without a current entry.
    virtual bool GetTime(u32 which, FileTime& out) const = 0;

    Item* item;
    QString path;    // the folder's path
    QString pattern; // "*.*" when the caller gave none
    u32 flags = 0;
};

// Whether a file name matches a find pattern: "*" and "*.*" match every name, "*" any run of
// characters and "?" one character; a pattern without wildcards matches only the same name.
bool MatchesFindPattern(QStringView name, QStringView pattern);
