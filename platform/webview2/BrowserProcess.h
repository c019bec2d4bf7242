#pragma once

#include "platform/HResult.h"

#include <QString>
#include <QStringList>

#include <memory>

class ProfileContext;

// What Qt WebEngine fixes once per process: the runtime folder, the Chromium
// switches and the bridge's URL schemes. Also the registry of live profiles,
// one per user data folder.
namespace BrowserProcess {

// The runtime folder to use: the given one, or Qt's own libexec folder for
// an empty one. ERROR_FILE_NOT_FOUND when it holds no runtime executable.
HRESULT resolveRuntimeFolder(const QString& requested, QString* folder);

// The Chromium version of the loaded Qt WebEngine.
QString browserVersion();

// Applies the runtime folder and the switches when Qt WebEngine has not
// started yet in this process; later calls change nothing process-wide.
void start(const QString& runtimeFolder, const QStringList& browserArguments);

// Whether Chromium was started with a dark colour scheme ("--force-dark-mode").
bool darkColorScheme();

// The profile for a user data folder (empty: the default folder), shared by
// every environment that names the same folder.
std::shared_ptr<ProfileContext> profileFor(const QString& userDataFolder,
                                           const QStringList& browserArguments,
                                           const QString& language);

} // namespace BrowserProcess
