#include "debug_output.h"

#include <QDebug>

void DebugOutput(const QString& line)
{
    QString text = line;
    if (text.endsWith(u'\n'))
        text.chop(1);
    qWarning().noquote().nospace() << text;
}
