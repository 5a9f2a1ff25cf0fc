#pragma once
// One folder listing (or the listing of the drive under the root) in progress.

#include "framework/find_context.h"

#include <QByteArray>

#include <dirent.h>

class PosixFindContext : public FindContext
{
public:
    explicit PosixFindContext(Item* folder) : FindContext(folder) {}
    ~PosixFindContext() override;

    QString GetName() const override { return m_hasEntry ? m_name : QString(); }
    u32 GetAttributes() const override { return m_hasEntry ? m_attributes : kFailed32; }
    u64 GetSize() const override { return m_hasEntry ? m_size : kUnknown64; }
    bool GetTime(u32 which, FileTime& out) const override;
    // The current entry's name as the kernel gave it.
    const QByteArray& NativeName() const { return m_native; }

private:
    friend class PosixItem;

    enum class State { NotStarted, Listing, Finished };
    State m_state = State::NotStarted;
    DIR* m_dir = nullptr;
    bool m_drive = false;
    bool m_hasEntry = false;
    QByteArray m_native;
    QString m_name;
    u32 m_attributes = 0;
    u64 m_size = 0;
    FileTime m_times[3];
};
