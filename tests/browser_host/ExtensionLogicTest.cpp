// Extension packages, manifests, the register and the store's download steps,
// the latter against a loopback HTTP server.

#include "ExtensionPackages.h"

#include "browser_host/CrxToZip.h"
#include "browser_host/ExtensionManifest.h"
#include "browser_host/ExtensionRegister.h"
#include "browser_host/ExtensionStore.h"
#include "platform/automation/AutomationError.h"
#include "tests/common/LoopbackHttpServer.h"
#include "tests/common/TestApp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace extensionpackages;

namespace {

QByteArray head(std::initializer_list<int> bytes) {
    QByteArray out;
    for (int b : bytes)
        out += char(b);
    return out;
}

int packageError(const QByteArray& bytes, std::int64_t size) {
    try {
        crx::archiveOffset(bytes, size);
    } catch (const AutomationError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

TEST(CrxPackages, ArchiveOffsetsOfBothVersions) {
    // Version 3, header length bytes 2, 1, 0: 12 + 258.
    EXPECT_EQ(crx::archiveOffset(head({'C', 'r', '2', '4', 3, 0, 0, 0, 2, 1, 0, 0}), 1000), 270);
    // Version 2: 16 + key length + signature length.
    EXPECT_EQ(
        crx::archiveOffset(head({'C', 'r', '2', '4', 2, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0}), 1000),
        46);
    EXPECT_EQ(crx::archiveOffset(crx3("PK", 258).left(crx::HeadBytes), 272), 270);
}

TEST(CrxPackages, NoPackageOrAHeaderPastTheEndIsRefused) {
    EXPECT_EQ(packageError("PK\x03\x04 not a package", 100), crx::NotAPackage);
    EXPECT_EQ(packageError("Cr2", 3), crx::NotAPackage);
    EXPECT_EQ(packageError(head({'C', 'r', '2', '4', 3, 0, 0}), 7), crx::NotAPackage);
    // Lengths that point at or beyond the end of the file.
    EXPECT_EQ(packageError(head({'C', 'r', '2', '4', 3, 0, 0, 0, 2, 1, 0, 0}), 270),
              crx::NotAPackage);
    EXPECT_EQ(
        packageError(head({'C', 'r', '2', '4', 2, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255}),
                     1 << 20),
        crx::NotAPackage);
}

TEST(CrxPackages, ConversionWritesTheArchiveExactly) {
    QTemporaryDir dir;
    const QByteArray zip = zipOf(sampleExtension());
    for (const QByteArray& package : {crx3(zip), crx2(zip)}) {
        QFile crxFile(dir.filePath("x.crx"));
        ASSERT_TRUE(crxFile.open(QIODevice::WriteOnly));
        crxFile.write(package);
        crxFile.close();
        crx::convertFile(dir.filePath("x.crx"), dir.filePath("x.zip"));
        QFile zipFile(dir.filePath("x.zip"));
        ASSERT_TRUE(zipFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(zipFile.readAll(), zip);
    }
}

TEST(ExtensionManifests, PagesAndTheIconInOrderOfPreference) {
    const ExtensionManifest sample =
        ExtensionManifest::parse(QString::fromUtf8(sampleExtension()[0].second));
    EXPECT_EQ(sample.optionsPage, "options.html");
    EXPECT_EQ(sample.popupPage, "popup.html");
    EXPECT_EQ(sample.icon, "icons/i16.png");
    const ExtensionManifest older = ExtensionManifest::parse(
        R"({"options_page": " settings.html ", "icons": {"128": "big.png", "32": "mid.png"}})");
    EXPECT_EQ(older.optionsPage, "settings.html");
    EXPECT_EQ(older.icon, "mid.png");
    EXPECT_TRUE(older.popupPage.isEmpty());
    // An unterminated value is no value; compact text reads as well.
    EXPECT_TRUE(ExtensionManifest::parse(R"({"default_popup": "pop)").popupPage.isEmpty());
    EXPECT_EQ(ExtensionManifest::parse(R"({"default_popup":"p.html"})").popupPage, "p.html");
}

TEST(ExtensionRegisters, AnUnpackedFolderIsWrittenAndReadBack) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("unpacked");
    QDir().mkpath(folder);
    QFile manifest(folder + "/manifest.json");
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(sampleExtension()[0].second);
    manifest.close();
    const ExtensionRegister reg(dir.filePath("root/EBWebView/Extensions/"));
    reg.write("abcd", ExtensionRegister::fromFolder(folder, "Sample"));
    EXPECT_TRUE(QFile::exists(dir.filePath("root/EBWebView/Extensions/Extensions.ini")));
    const ExtensionRegister::Entry entry = reg.read("abcd");
    EXPECT_EQ(entry.folder, folder);
    EXPECT_EQ(entry.optionsPage, "options.html");
    EXPECT_EQ(entry.popupPage, "popup.html");
    EXPECT_EQ(entry.iconPath, folder + "/icons/i16.png");
    EXPECT_EQ(entry.name, "Sample");
    EXPECT_TRUE(reg.read("other").folder.isEmpty());
    reg.clear("abcd");
    EXPECT_TRUE(reg.read("abcd").folder.isEmpty());
}

TEST(StoreAddresses, NameAndIdentifierComeFromTheLastTwoSegments) {
    const auto address = extensionstore::parseAddress(
        "https://store.example/addons/detail/dark-reader/ifoakfbpdcdoeenechcleahebpibofpc?hl=en");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->id, "ifoakfbpdcdoeenechcleahebpibofpc");
    EXPECT_EQ(address->name, "dark-reader");
    EXPECT_FALSE(extensionstore::parseAddress("https://store.example/addons/detail/name/"));
    EXPECT_FALSE(extensionstore::parseAddress("no-slash"));
    // The name becomes a folder: it may not lead out of the extension root.
    EXPECT_FALSE(extensionstore::parseAddress("https://store.example/detail/../abc"));
    EXPECT_TRUE(extensionstore::packageAddress("https://h", "abc")
                    .endsWith("x=id%3Dabc%26installsource%3Dondemand%26uc"));
}

// ---------------------------------------------------------------- the store's steps

class StoreDownloads : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::app();
        server = std::make_unique<LoopbackHttpServer>();
        root = dir.filePath("Extensions0/");
    }
    extensionstore::Settings settingsWithRedirects(int redirects) const {
        const QString host =
            redirects == 0 ? server->url("") : server->url(QString("/redirect/%1").arg(redirects));
        return {server->url("/addons/detail"), server->url("/home"), host};
    }
    std::variant<extensionstore::Unpacked, QString> unpack(const QByteArray& package,
                                                           int redirects = 0) {
        server->serve(PackagePath, package);
        // Each case unpacks into a root of its own.
        root = dir.filePath(QString("Extensions%1/").arg(++cases));
        return extensionstore::downloadAndUnpack(
            server->url("/addons/detail/sample-ext/abcdefghijklmnop?hl=en"), root,
            settingsWithRedirects(redirects));
    }
    static QString failureOf(const std::variant<extensionstore::Unpacked, QString>& result) {
        const auto* failure = std::get_if<QString>(&result);
        return failure ? *failure : QString();
    }

    static inline const QString PackagePath = "/extensionwebstorebase/v1/crx";
    QTemporaryDir dir;
    QString root;
    int cases = 0;
    std::unique_ptr<LoopbackHttpServer> server;
};

TEST_F(StoreDownloads, AVersion3PackageIsUnpackedThroughUpToSixRequests) {
    const QByteArray package = crx3(zipOf(sampleExtension()));
    for (int redirects = 0; redirects < extensionstore::MaxRequests; ++redirects) {
        const auto result = unpack(package, redirects);
        ASSERT_TRUE(failureOf(result).isEmpty())
            << redirects << " " << failureOf(result).toStdString();
        const auto& unpacked = std::get<extensionstore::Unpacked>(result);
        EXPECT_EQ(unpacked.id, "abcdefghijklmnop");
        EXPECT_EQ(unpacked.name, "sample-ext");
        EXPECT_EQ(unpacked.folder, root + "sample-ext");
        EXPECT_TRUE(QFile::exists(unpacked.folder + "/icons/i16.png"));
    }
    EXPECT_EQ(server->hits(PackagePath), extensionstore::MaxRequests);
}

TEST_F(StoreDownloads, ASeventhRequestIsNeverMade) {
    const auto result = unpack(crx3(zipOf(sampleExtension())), extensionstore::MaxRequests);
    EXPECT_EQ(failureOf(result), "Extension download failed !");
    // The sixth request was redirected once more; the package was never asked for.
    EXPECT_EQ(server->hits("/redirect/1/extensionwebstorebase/v1/crx"), 1);
    EXPECT_EQ(server->hits(PackagePath), 0);
}

TEST_F(StoreDownloads, AVersion2PackageIsUnpacked) {
    const auto result = unpack(crx2(zipOf(sampleExtension())));
    EXPECT_TRUE(failureOf(result).isEmpty()) << failureOf(result).toStdString();
    EXPECT_TRUE(QFile::exists(root + "sample-ext/manifest.json"));
}

TEST_F(StoreDownloads, BrokenPackagesAndAnswersFail) {
    const QByteArray package = crx3(zipOf(sampleExtension()));
    // A header longer than the file.
    EXPECT_EQ(failureOf(unpack(package.left(200))), "Extension download failed !");
    EXPECT_EQ(failureOf(unpack("Cr24 too short")), "Extension download failed !");
    // Not a package at all, but long enough.
    EXPECT_EQ(failureOf(unpack(QByteArray(5000, 'x'))), "Extension download failed !");
    // An archive whose first entry's data is damaged.
    QByteArray damaged = zipOf(sampleExtension());
    damaged.replace(50, 20, QByteArray(20, '\xff'));
    EXPECT_EQ(failureOf(unpack(crx3(damaged))), "Unable to unzip the extension file");
    EXPECT_EQ(failureOf(unpack(crx3(zipOf({{"readme.txt", "no manifest"}})))),
              "File 'manifest.json' not found. This is not the directory of an extension");
    EXPECT_EQ(
        failureOf(extensionstore::downloadAndUnpack("sample-ext", root, settingsWithRedirects(0))),
        "Invalid URL");
}

TEST_F(StoreDownloads, AnArchiveEntryNeverLandsOutsideItsFolder) {
    extensionpackages::Files files = sampleExtension();
    files << qMakePair(QString("abcevil.txt"), QByteArray("outside"));
    QByteArray zip = zipOf(files);
    // Both headers name the entry "../evil.txt" after this.
    zip.replace("abcevil.txt", "../evil.txt");
    const auto result = unpack(crx3(zip));
    EXPECT_FALSE(QFile::exists(root + "evil.txt"));
    EXPECT_FALSE(QFile::exists(dir.filePath("evil.txt")));
    EXPECT_EQ(failureOf(result), "Unable to unzip the extension file");
}

TEST_F(StoreDownloads, AShortAnswerIsNoPackage) {
    server->serve("/small", QByteArray(100, 'x'));
    server->serve("/enough", QByteArray(101, 'x'));
    EXPECT_FALSE(extensionstore::downloadCrx(server->url("/small"), dir.filePath("s.crx")));
    EXPECT_FALSE(QFile::exists(dir.filePath("s.crx")));
    EXPECT_TRUE(extensionstore::downloadCrx(server->url("/enough"), dir.filePath("e.crx")));
    EXPECT_FALSE(extensionstore::downloadCrx(server->url("/status/404"), dir.filePath("n.crx")));
}
