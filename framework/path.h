#pragma once
// Paths of the namespace: components joined with "/", the drive "/" first in an absolute path.
// This is the one splitter everything that walks a path component by component uses.

#include <QList>
#include <QString>
#include <QStringView>

// The name of the drive, the file-system root.
inline constexpr QStringView kDriveName = u"/";

struct SplitPathResult
{
    bool absolute = false;
    QList<QStringView> components; // views into the split text; "/" first when absolute
};

// Splits a path; repeated and trailing separators yield no empty components.
SplitPathResult SplitPath(QStringView path);
// Joins a folder path and a name without doubling the separator ("/" + "home" gives "/home").
QString JoinPath(QStringView folder, QStringView name);
// The folder of a path: "/a/b" gives "/a", "/b" gives "/", "/" gives "".
QString ParentPath(QStringView path);
// The last component of a path ("/" for the drive).
QString LastComponent(QStringView path);

// Native names are bytes. Valid UTF-8 decodes as usual; any other byte becomes a lone surrogate
// U+DC80..U+DCFF, so that every name decodes and encodes back to the same bytes.
QString DecodeNativeName(const char* bytes, qsizetype length);
QString DecodeNativeName(const QByteArray& bytes);
QByteArray EncodeNativeName(QStringView name);
