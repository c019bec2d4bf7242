#pragma once

#include <QString>

// Where the browser host finds its runtimes and keeps its data, and which
// runtime it takes. A fixed-version runtime folder holds QtWebEngineProcess;
// its version is the name of its first "<version>.manifest" file (in name
// order) or, without one, the folder's own name when that begins with a digit.
namespace runtimediscovery {

QString productFixedFolder();
QString defaultFixedFolder();
// The folder named in the notice about a missing fixed runtime.
QString fixedRuntimeRoot();
bool holdsRuntime(const QString& folder);
QString fixedVersion(const QString& folder);
QString defaultUserDataFolder();
// A new folder under TEMP named by a random GUID, for one private browsing run.
QString newPrivateFolder();

enum class Choice {
    Fixed,
    Evergreen,
    // No fixed runtime was found: the user is told and the Evergreen runtime is used.
    EvergreenAfterNotice,
    // No Evergreen runtime and the fixed one is not wanted.
    NoRuntime,
};
// evergreenVersion is empty when no Evergreen runtime is installed.
Choice choose(const QString& evergreenVersion, bool useFixed, const QString& fixedFolderVersion);

} // namespace runtimediscovery
