#pragma once
// A fresh temporary folder per test, removed afterwards, with helpers to lay out files in it.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TempDir
{
public:
    TempDir();
    // The folder's absolute path, without a trailing "/".
    QString Path() const { return m_dir.path(); }
    QString operator/(const QString& relative) const { return Path() + u'/' + relative; }
    // Writes a file (creating folders on the way); returns its absolute path.
    QString WriteFile(const QString& relative, const QByteArray& bytes = {}) const;
    QString MakeDir(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};

// The shared conformance and benchmark data, or an empty string when it is absent.
QString SharedDataDir();
// Reads a whole file; empty on failure.
QByteArray ReadWholeFile(const QString& path);
