#include "ExtensionStore.h"

#include "CrxToZip.h"
#include "FileDownload.h"

#include "platform/ModulePath.h"
#include "platform/automation/AutomationError.h"
#include "support/modIni.h"
#include "support/modOperationFichierSimple.h"
#include "support/modShellExtended.h"
#include "zip/cZipArchive.h"

#include <QUrl>

namespace extensionstore {

namespace {

const QString StoreHost = QStringLiteral("https://microsoftedge.microsoft.com");
const QString PackageHost = QStringLiteral("https://edge.microsoft.com");
constexpr std::int64_t MinimumPackageBytes = 100;
constexpr std::int32_t OpenFolderFlag = 1;

const QString InvalidUrl = QStringLiteral("Invalid URL");
const QString DownloadFailed = QStringLiteral("Extension download failed !");
const QString UnzipFailed = QStringLiteral("Unable to unzip the extension file");
const QString NoManifest =
    QStringLiteral("File 'manifest.json' not found. This is not the directory of an extension");

bool isRedirection(std::int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

QString settingsFile() {
    return modulepath::folderOf(reinterpret_cast<const void*>(&settingsFile)) +
           QStringLiteral("/Kest.WV/System.ini");
}

Settings readSettings(const QString& iniPath) {
    const QString section = QStringLiteral("Extensions");
    return {ini::readValue(section, QStringLiteral("AddOnRoot"),
                           StoreHost + QStringLiteral("/addons/detail"), iniPath),
            ini::readValue(section, QStringLiteral("Store"),
                           StoreHost + QStringLiteral("/addons/Microsoft-Edge-Extensions-Home"),
                           iniPath),
            ini::readValue(section, QStringLiteral("PackageHost"), PackageHost, iniPath)};
}

std::optional<StoreAddress> parseAddress(const QString& address) {
    const QString path = address.section(QLatin1Char('?'), 0, 0);
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    if (last < 0)
        return std::nullopt;
    const QString id = path.mid(last + 1);
    const QString name = path.left(last).section(QLatin1Char('/'), -1);
    // The name becomes a folder of the extension root: never "." or "..".
    if (id.isEmpty() || name.isEmpty() || name == QLatin1String(".") ||
        name == QLatin1String("..") || path.left(last).lastIndexOf(QLatin1Char('/')) < 0)
        return std::nullopt;
    return StoreAddress{id, name};
}

QString packageAddress(const QString& packageHost, const QString& id) {
    return packageHost +
           QStringLiteral("/extensionwebstorebase/v1/crx?response=redirect&prod=chromiumcrx&"
                          "prodchannel=&x=id%3D") +
           id + QStringLiteral("%26installsource%3Dondemand%26uc");
}

bool downloadCrx(const QString& address, const QString& file) {
    FileDownload::Options options;
    options.followRedirects = false;
    options.userAgent = "Mozilla/5.0";
    options.minimumBytes = MinimumPackageBytes;
    QString current = address;
    for (int request = 0; request < MaxRequests; ++request) {
        const auto failure = FileDownload(current, file, options).run();
        if (!failure)
            return true;
        if (!isRedirection(failure->number) || failure->location.isEmpty())
            return false;
        current = QUrl(current).resolved(QUrl(failure->location)).toString();
    }
    return false;
}

bool decompressZip(const QString& zipFile, const QString& folder, const QString& password,
                   std::int32_t flags) {
    if (!files::fileExists(zipFile))
        return false;
    cZipArchive archive;
    const bool extracted =
        archive.OpenArchive(zipFile) && archive.Extract(folder, QVariant(), password);
    if (flags & OpenFolderFlag)
        shellopen::open(folder);
    return extracted;
}

std::variant<Unpacked, QString> downloadAndUnpack(const QString& pageAddress, const QString& root,
                                                  const Settings& settings) {
    files::createFolderTree(root);
    const auto address = parseAddress(pageAddress);
    if (!address)
        return InvalidUrl;
    const QString base = root + address->name;
    if (!downloadCrx(packageAddress(settings.packageHost, address->id),
                     base + QStringLiteral(".crx")))
        return DownloadFailed;
    try {
        crx::convertFile(base + QStringLiteral(".crx"), base + QStringLiteral(".zip"));
    } catch (const AutomationError&) {
        return DownloadFailed;
    }
    if (!decompressZip(base + QStringLiteral(".zip"), base, {}, 0))
        return UnzipFailed;
    if (!files::fileExists(base + QStringLiteral("/manifest.json")))
        return NoManifest;
    return Unpacked{address->id, address->name, base};
}

} // namespace extensionstore
