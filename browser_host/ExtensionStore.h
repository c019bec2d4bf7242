#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

// Extensions from the store: its addresses, the package download with its
// own redirections, and the steps from a store page address to an unpacked
// extension folder.
namespace extensionstore {

struct Settings {
    // Store detail pages begin with this address.
    QString detailRoot;
    // The store's home page.
    QString home;
    // Scheme and host (and any leading path) of the package endpoint.
    QString packageHost;
};

// The control library's folder + "/Kest.WV/System.ini".
QString settingsFile();
// Section "Extensions", keys "AddOnRoot", "Store" and "PackageHost"; the
// store's own addresses where a key (or the file) is missing.
Settings readSettings(const QString& iniPath);

struct StoreAddress {
    QString id;
    QString name;
};
// A detail page address ".../NAME/ID?query"; nothing when either part is empty.
std::optional<StoreAddress> parseAddress(const QString& address);
QString packageAddress(const QString& packageHost, const QString& id);

// At most this many requests, redirections included.
constexpr int MaxRequests = 6;
// GETs the address, following redirections itself; True when a status 200
// answer of more than 100 bytes was written to `file`.
bool downloadCrx(const QString& address, const QString& file);

// Unpacks every entry into the folder (never outside it), with the password
// when there is one; with bit 0 of flags the folder is then opened on the
// desktop. False when the archive is missing or an entry failed.
bool decompressZip(const QString& zipFile, const QString& folder, const QString& password,
                   std::int32_t flags);

struct Unpacked {
    QString id;
    QString name;
    QString folder;
};
// From a store detail page address to the unpacked extension in root + name;
// the failure's message otherwise.
std::variant<Unpacked, QString> downloadAndUnpack(const QString& pageAddress, const QString& root,
                                                  const Settings& settings);

} // namespace extensionstore
