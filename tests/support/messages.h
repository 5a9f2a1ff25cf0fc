#pragma once
// Captures the lines written through Qt's message handler while an instance lives.

#include <QStringList>

class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    const QStringList& Lines() const;
    void Clear();
};
