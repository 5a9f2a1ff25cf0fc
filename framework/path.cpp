#include "framework/path.h"

#include <QStringDecoder>

SplitPathResult SplitPath(QStringView path)
{
    SplitPathResult result;
    qsizetype i = 0;
    const qsizetype n = path.size();
    if (n > 0 && path[0] == u'/') {
        result.absolute = true;
        result.components.append(kDriveName);
    }
    while (i < n) {
        while (i < n && path[i] == u'/')
            ++i;
        const qsizetype start = i;
        while (i < n && path[i] != u'/')
            ++i;
        if (i > start)
            result.components.append(path.mid(start, i - start));
    }
    return result;
}

QString JoinPath(QStringView folder, QStringView name)
{
    if (folder.isEmpty())
        return name.toString();
    QString out;
    out.reserve(folder.size() + 1 + name.size());
    out.append(folder);
    if (!folder.endsWith(u'/'))
        out.append(u'/');
    out.append(name);
    return out;
}

QString ParentPath(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0 || path == u"/")
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash).toString();
}

QString LastComponent(QStringView path)
{
    const SplitPathResult split = SplitPath(path);
    return split.components.isEmpty() ? QString() : split.components.last().toString();
}

namespace {
// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the bytes there are not one.
int Utf8SequenceLength(const unsigned char* p, qsizetype remaining)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int length;
    unsigned minimum;
    unsigned code;
    if ((c & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = c & 0x07;
    } else {
        return 0;
    }
    if (remaining < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

QString DecodeNativeName(const char* bytes, qsizetype length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    bool ascii = true;
    for (qsizetype i = 0; i < length && ascii; ++i)
        ascii = p[i] < 0x80;
    if (ascii)
        return QString::fromLatin1(bytes, length);

    QString out;
    out.reserve(length);
    qsizetype i = 0;
    while (i < length) {
        const int sequence = Utf8SequenceLength(p + i, length - i);
        if (sequence == 0) {
            out.append(QChar(char16_t(0xDC00 + p[i])));
            ++i;
        } else {
            out.append(QString::fromUtf8(bytes + i, sequence));
            i += sequence;
        }
    }
    return out;
}

QString DecodeNativeName(const QByteArray& bytes)
{
    return DecodeNativeName(bytes.constData(), bytes.size());
}

QByteArray EncodeNativeName(QStringView name)
{
    bool escaped = false;
    for (QChar c : name) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            escaped = true;
            break;
        }
    }
    if (!escaped)
        return name.toUtf8();

    QByteArray out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF) {
            // A lone escape stands for its byte; a low surrogate after a high one is a pair.
            if (i > 0 && QChar::isHighSurrogate(name[i - 1].unicode()))
                continue;
            out.append(name.mid(runStart, i - runStart).toUtf8());
            out.append(char(u - 0xDC00));
            runStart = i + 1;
        }
    }
    out.append(name.mid(runStart).toUtf8());
    return out;
}
