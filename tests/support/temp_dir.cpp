#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempDir::TempDir() : m_dir(QDir::tempPath() + QStringLiteral("/vistrel-test-XXXXXX")) {}

QString TempDir::WriteFile(const QString& relative, const QByteArray& bytes) const
{
    const QString path = *this / relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

QString TempDir::MakeDir(const QString& relative) const
{
    const QString path = *this / relative;
    QDir().mkpath(path);
    return path;
}

QString SharedDataDir()
{
    const QString dir = QStringLiteral(VISTREL_SHARED_DIR);
    return QFileInfo(dir + QStringLiteral("/testdata")).isDir() ? dir : QString();
}

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
