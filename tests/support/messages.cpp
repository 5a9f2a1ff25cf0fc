#include "support/messages.h"

#include <QtGlobal>

namespace {
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void Capture(QtMsgType, const QMessageLogContext&, const QString& text)
{
    g_lines.append(text);
}
} // namespace

MessageCapture::MessageCapture()
{
    g_lines.clear();
    g_previous = qInstallMessageHandler(Capture);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(g_previous);
}

const QStringList& MessageCapture::Lines() const
{
    return g_lines;
}

void MessageCapture::Clear()
{
    g_lines.clear();
}
