#pragma once

#include <QString>

// The browser runtime as files on disk: the folder that holds its process
// executable is a runtime folder.
namespace browserruntime {

inline constexpr char processExecutable[] = "QtWebEngineProcess";

// The executable's path inside folder.
QString executableIn(const QString& folder);
// Whether folder holds the runtime's process executable (as a file).
bool isRuntimeFolder(const QString& folder);

} // namespace browserruntime
