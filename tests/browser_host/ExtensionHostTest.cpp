// The browser host's extension members on a started browser: the gate, the
// installation steps (which end on the runtime's refusal, as it has no
// extension interface), the listing members and the store button.

#include "ExtensionPackages.h"
#include "HostFixture.h"

#include "browser_host/ExtensionStore.h"
#include "platform/FileDialogHook.h"
#include "support/modIni.h"
#include "tests/common/LoopbackHttpServer.h"
#include "webview2_binding/Collection.h"

#include <QLockFile>
#include <QPushButton>

namespace {

const QString NoManifest =
    "File 'manifest.json' not found. This is not the directory of an extension";
const QString InstallFailed = "Extension installation failed. Check the installation directory.";

} // namespace

class Extensions : public HostFixture {
protected:
    void SetUp() override {
        testing_support::app();
        server = std::make_unique<LoopbackHttpServer>();
        // The store settings are read when the control is made, from a file
        // beside the library that every test process shares: the tests that
        // run at the same time take turns from writing it to removing it.
        const QString settings = extensionstore::settingsFile();
        QLockFile turn(QFileInfo(settings).path() + ".lock");
        turn.setStaleLockTime(0);
        ASSERT_TRUE(turn.lock());
        QDir().mkpath(QFileInfo(settings).path());
        ini::writeValue("Extensions", "AddOnRoot", server->url("/addons/detail"), settings);
        ini::writeValue("Extensions", "PackageHost", server->url("/redirect/2"), settings);
        HostFixture::SetUp();
        QFile::remove(settings);
        QDir().rmdir(QFileInfo(settings).path());
        extension = temp + "/unpacked";
        QDir().mkpath(extension + "/icons");
        for (const auto& [name, bytes] : extensionpackages::sampleExtension()) {
            QFile file(extension + "/" + name);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
        onEvent = [this](const QString& name, QList<Variant>& args) {
            if (name.startsWith("Extension"))
                raised << name + ":" + (args.isEmpty() ? QString() : args.last().toString());
        };
    }
    void TearDown() override {
        filedialogs::setHook(nullptr);
        HostFixture::TearDown();
    }
    bool startWithExtensions(bool enabled) {
        host->put("AreBrowserExtensionsEnabled", Variant(enabled));
        return start();
    }
    QString add(const QString& folder) {
        return host->call("AddBrowserExtension", {Variant(folder), Variant(1.0)}).toString();
    }
    QString registerFile() const {
        return host->call("GetKestWebView2DataPath", {}).toString() +
               "/EBWebView/Extensions/Extensions.ini";
    }

    std::unique_ptr<LoopbackHttpServer> server;
    QString extension;
    QStringList raised;
};

TEST_F(Extensions, WithoutTheOptionEveryMemberAnswersEmpty) {
    ASSERT_TRUE(startWithExtensions(false));
    server->serve("/package.crx", QByteArray(500, 'x'));
    EXPECT_EQ(add(extension), "");
    EXPECT_FALSE(
        host->call("DownloadCrx", {Variant(server->url("/package.crx")), Variant(temp + "/p.crx")})
            .toBool());
    EXPECT_EQ(server->hits("/package.crx"), 0);
    EXPECT_FALSE(host->call("GoExtensions", {}).toBool());
    EXPECT_TRUE(host->call("GetBrowserExtensions", {}).isEmpty());
    EXPECT_TRUE(raised.isEmpty()) << raised.join(";").toStdString();
}

TEST_F(Extensions, InstallingEndsOnTheFailureTexts) {
    ASSERT_TRUE(startWithExtensions(true));
    EXPECT_EQ(add(temp), "");
    EXPECT_EQ(add(extension + "/"), "");
    EXPECT_EQ(raised, (QStringList{"ExtensionInstallationFailed:" + NoManifest,
                                   "ExtensionInstallationFailed:" + InstallFailed}));
    // Nothing was installed, so nothing was registered.
    EXPECT_FALSE(QFile::exists(registerFile()));

    // Without a folder the container's user picks the manifest.
    raised.clear();
    std::optional<filedialogs::Request> asked;
    filedialogs::setHook([&](const filedialogs::Request& request) {
        asked = request;
        return std::optional<filedialogs::Answer>({{extension + "/manifest.json"}, 0});
    });
    EXPECT_EQ(add(""), "");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->kind, filedialogs::Kind::Open);
    EXPECT_EQ(asked->fileName, "manifest.json");
    EXPECT_EQ(raised, QStringList{"ExtensionInstallationFailed:" + InstallFailed});
}

TEST_F(Extensions, TheListingMembersFindNothing) {
    ASSERT_TRUE(startWithExtensions(true));
    const auto list = Collection::from(host->call("GetBrowserExtensions", {Variant(1.0)}));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(host->call("GetBrowserExtensionState", {Variant("abc"), Variant(1.0)}).toLong(), -1);
    EXPECT_FALSE(host->call("BrowserExtensionExists", {Variant("abc"), Variant(1.0)}).toBool());
    EXPECT_FALSE(host->call("RemoveBrowserExtension", {Variant("abc"), Variant(1.0)}).toBool());
    EXPECT_EQ(host->call("GetBrowserExtensionName", {Variant("abc")}).toString(), "");
    EXPECT_EQ(host->call("GetBrowserExtensionFolderPath", {Variant("abc")}).toString(), "");
}

TEST_F(Extensions, TheStoreOpensOnlyWhereTheRuntimeHasIt) {
    ASSERT_TRUE(startWithExtensions(true));
    // The runtime's Chromium is older than the store needs: the notice shows.
    EXPECT_FALSE(host->call("GoExtensions", {}).toBool());
    EXPECT_TRUE(pump::waitUntil(
        [this] { return bodyText().contains("not available in old versions"); }, 10s));
}

TEST_F(Extensions, TheStoreButtonDownloadsUnpacksAndTriesToInstall) {
    server->serve("/extensionwebstorebase/v1/crx", extensionpackages::crx3(extensionpackages::zipOf(
                                                       extensionpackages::sampleExtension())));
    server->serve("/addons/detail/sample-ext/abcdefghijklmnop", "<html><body>store</body></html>",
                  "text/html");
    server->serve("/other.html", "<html><body>other</body></html>", "text/html");
    ASSERT_TRUE(startWithExtensions(true));
    QPushButton* button = host->storeButton();
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisible());
    const QString page = server->url("/addons/detail/sample-ext/abcdefghijklmnop");
    host->call("Navigate", {Variant(page)});
    ASSERT_TRUE(pump::waitUntil([&] { return button->isVisible(); }, 10s));
    EXPECT_EQ(button->property("tag").toString(), page);
    EXPECT_EQ(button->text(), "Download && Install...");
    button->click();
    const QString folder = QDir::cleanPath(host->call("GetKestWebView2DataPath", {}).toString()) +
                           "/EBWebView/Extensions/sample-ext";
    EXPECT_EQ(raised, (QStringList{"ExtensionDownloaded:" + folder,
                                   "ExtensionInstallationFailed:" + InstallFailed}));
    EXPECT_TRUE(QFile::exists(folder + "/manifest.json"));
    EXPECT_EQ(server->hits("/extensionwebstorebase/v1/crx"), 1);
    EXPECT_EQ(button->text(), "Download && Install...");
    // Away from the store the button goes.
    host->call("Navigate", {Variant(server->url("/other.html"))});
    EXPECT_TRUE(pump::waitUntil([&] { return !button->isVisible(); }, 10s));
    EXPECT_EQ(button->property("tag").toString(), "");
}
