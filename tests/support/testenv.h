#pragma once

#include <QString>

// Gives a test process its own empty configuration and data folders, so
// that no test reads or writes the user's real settings.
namespace testenv {
void isolate();
QString tempDir();
}
