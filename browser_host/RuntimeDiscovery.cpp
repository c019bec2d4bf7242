#include "RuntimeDiscovery.h"

#include "platform/BrowserRuntime.h"
#include "platform/Environment.h"
#include "platform/Guid.h"
#include "support/modOperationFichierSimple.h"

#include <QDir>
#include <QFileInfo>

namespace runtimediscovery {

namespace {

constexpr int OldestUsableMajorVersion = 100;

int majorVersion(const QString& version) {
    return version.section(QLatin1Char('.'), 0, 0).toInt();
}

} // namespace

QString fixedRuntimeRoot() {
    return files::withTrailingSeparator(env::allUsersProfile()) + QStringLiteral("KestWebView2");
}

QString productFixedFolder() {
    return fixedRuntimeRoot() + QStringLiteral("/Tarnwell.WebView2.FixedVersionRuntime");
}

QString defaultFixedFolder() {
    return fixedRuntimeRoot() + QStringLiteral("/Microsoft.WebView2.FixedVersionRuntime");
}

bool holdsRuntime(const QString& folder) {
    return browserruntime::isRuntimeFolder(folder);
}

QString fixedVersion(const QString& folder) {
    const QDir dir(folder);
    const QStringList manifests =
        dir.entryList({QStringLiteral("*.manifest")}, QDir::Files, QDir::Name);
    if (!manifests.isEmpty())
        return manifests.first().chopped(int(sizeof(".manifest") - 1));
    const QString name = QFileInfo(files::withoutTrailingSeparator(folder)).fileName();
    return !name.isEmpty() && name.front().isDigit() && dir.exists() ? name : QString();
}

QString defaultUserDataFolder() {
    return files::withTrailingSeparator(env::localAppData()) +
           QStringLiteral("Tarnwell/KestWebView2/Data/") + env::userName();
}

QString newPrivateFolder() {
    return files::withTrailingSeparator(env::tempFolder()) + QStringLiteral("KestWebView2/") +
           Guid::createRandom().toString();
}

Choice choose(const QString& evergreenVersion, bool useFixed, const QString& fixedFolderVersion) {
    const QString version =
        !evergreenVersion.isEmpty() && !useFixed ? evergreenVersion : fixedFolderVersion;
    if (!version.isEmpty())
        return majorVersion(version) < OldestUsableMajorVersion ? Choice::Evergreen : Choice::Fixed;
    return useFixed ? Choice::EvergreenAfterNotice : Choice::NoRuntime;
}

} // namespace runtimediscovery
