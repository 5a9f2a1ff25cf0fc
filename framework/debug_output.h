#pragma once
// The program's only diagnostics: lines written to the debugger output. On this platform they go
// through Qt's message handler (stderr unless a handler is installed).

#include <QString>

void DebugOutput(const QString& line);
