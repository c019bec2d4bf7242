#include "KestWebviewKD.h"

#include "CrxToZip.h"
#include "ExtensionRegister.h"
#include "HostValues.h"

#include "dialogs/modCmnDialogEx.h"
#include "support/modOperationFichierSimple.h"
#include "support/modWait.h"
#include "webview2_binding/Collection.h"
#include "webview2_binding/cWebView2.h"

#include <QApplication>
#include <QPushButton>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

const QString NoManifest =
    QStringLiteral("File 'manifest.json' not found. This is not the directory of an extension");
const QString InstallFailed =
    QStringLiteral("Extension installation failed. Check the installation directory.");
const QString StoreCaption = QStringLiteral("Download && Install...");
const QString BusyCaption = QStringLiteral("Download in progress...");
constexpr std::int32_t StoreColour = 0xC0C0FF;
constexpr std::int32_t BusyColour = 0xC0FFC0;
constexpr double InstallWaitSeconds = 8;
constexpr int StorePumps = 5;

void setButtonColour(QPushButton& button, std::int32_t bgr) {
    const QColor colour(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    button.setStyleSheet(QStringLiteral("background-color: %1").arg(colour.name()));
}

} // namespace

// ---------------------------------------------------------------- members

void KestWebviewKD::bindExtensionMembers() {
    // Every member answers empty or False unless extensions can be used.
    const auto gated = [this](Variant empty, std::function<Variant(QList<Variant>&)> action) {
        return [this, empty = std::move(empty), action = std::move(action)](QList<Variant>& a) {
            return extensionsAvailable() ? action(a) : empty;
        };
    };
    const auto registered = [this](QString ExtensionRegister::Entry::*field) {
        return [this, field](QList<Variant>& a) {
            return text(ExtensionRegister(extensionRoot()).read(a[0].toString()).*field);
        };
    };
    bindMethod("AddBrowserExtension", [this](QList<Variant>& a) {
        return text(AddBrowserExtension(a[0].toString(), a[1].toDouble()));
    });
    bindMethod("GetBrowserExtensions", gated(Variant(), [this](QList<Variant>& a) {
                   return m_wv->GetBrowserExtensions(a[0].toDouble());
               }));
    bindMethod("GetBrowserExtensionName", gated(text({}), [this](QList<Variant>& a) {
                   return text(extensionName(a[0].toString()));
               }));
    bindMethod("GetBrowserExtensionState", gated(longValue(-1), [this](QList<Variant>& a) {
                   return longValue(
                       m_wv->GetBrowserExtensionState(a[0].toString(), a[1].toDouble()));
               }));
    bindMethod("IsBrowserExtensionEnabled", gated(Variant(false), [this](QList<Variant>& a) {
                   return Variant(
                       m_wv->GetBrowserExtensionState(a[0].toString(), a[1].toDouble()) == 1);
               }));
    bindMethod("BrowserExtensionExists", gated(Variant(false), [this](QList<Variant>& a) {
                   return Variant(
                       m_wv->GetBrowserExtensionState(a[0].toString(), a[1].toDouble()) >= 0);
               }));
    for (const auto& [name, enable] :
         {std::pair{"EnableBrowserExtension", true}, std::pair{"DisableBrowserExtension", false}})
        bindMethod(name, gated(Variant(false), [this, enable = enable](QList<Variant>& a) {
                       return Variant(
                           m_wv->EnableBrowserExtension(a[0].toString(), enable, a[1].toDouble()));
                   }));
    bindMethod("RemoveBrowserExtension", gated(Variant(false), [this](QList<Variant>& a) {
                   const bool removed =
                       m_wv->RemoveBrowserExtension(a[0].toString(), a[1].toDouble());
                   if (removed)
                       ExtensionRegister(extensionRoot()).clear(a[0].toString());
                   return Variant(removed);
               }));
    bindMethod("GetBrowserExtensionFolderPath",
               gated(text({}), registered(&ExtensionRegister::Entry::folder)));
    bindMethod("GetBrowserExtensionIconPath",
               gated(text({}), registered(&ExtensionRegister::Entry::iconPath)));
    bindMethod("GoExtensions", [this](QList<Variant>&) { return Variant(GoExtensions()); });
    bindMethod("DownloadCrx", gated(Variant(false), [](QList<Variant>& a) {
                   return Variant(extensionstore::downloadCrx(a[0].toString(), a[1].toString()));
               }));
    bindMethod("CrxToZip", gated(Variant(), [](QList<Variant>& a) {
                   crx::convertFile(a[0].toString(), a[1].toString());
                   return Variant();
               }));
    bindMethod("DecompressZip", gated(Variant(false), [](QList<Variant>& a) {
                   return Variant(extensionstore::decompressZip(a[0].toString(), a[1].toString(),
                                                                a[2].toString(), a[3].toLong()));
               }));
}

bool KestWebviewKD::extensionsAvailable() const {
    return m_wv && m_props.flag(P::AreBrowserExtensionsEnabled) && !m_userDataFolder.isEmpty();
}

QString KestWebviewKD::extensionRoot() const {
    return files::withTrailingSeparator(m_userDataFolder) + QStringLiteral("EBWebView/Extensions/");
}

QString KestWebviewKD::extensionName(const QString& id) {
    const auto list = Collection::from(m_wv->GetBrowserExtensions(InstallWaitSeconds));
    for (int i = 1; list && i <= list->count(); ++i) {
        const auto item = Collection::from(list->item(i));
        if (item && item->item(QStringLiteral("Id")).toString() == id)
            return item->item(QStringLiteral("Name")).toString();
    }
    return {};
}

// ---------------------------------------------------------------- installing

QString KestWebviewKD::AddBrowserExtension(QString folder, double secondsToWait) {
    if (!extensionsAvailable())
        return {};
    if (folder.isEmpty()) {
        const QString manifest = cmndialog::ShowOpenDialog(
            cmndialog::DefaultFlags, {}, {}, QStringLiteral("manifest.json"),
            QStringLiteral("manifest.json|manifest.json"), {}, this);
        if (manifest.isEmpty())
            return {};
        folder = files::folderPart(manifest);
    }
    folder = files::withoutTrailingSeparator(folder);
    if (!files::fileExists(folder + QStringLiteral("/manifest.json"))) {
        raise("ExtensionInstallationFailed", {text(NoManifest)});
        return {};
    }
    const QString id = m_wv->AddBrowserExtension(folder, secondsToWait);
    if (id.isEmpty()) {
        raise("ExtensionInstallationFailed", {text(InstallFailed)});
        return {};
    }
    const QString name = extensionName(id);
    ExtensionRegister(extensionRoot()).write(id, ExtensionRegister::fromFolder(folder, name));
    raise("ExtensionInstalled", {text(id), text(name)});
    return id;
}

bool KestWebviewKD::GoExtensions() {
    if (!m_props.flag(P::AreBrowserExtensionsEnabled))
        return false;
    requireBrowser();
    if (runtimeBeforeVersion122()) {
        showOldVersionNotice();
        return false;
    }
    return openAddress(m_storeSettings.home);
}

// ---------------------------------------------------------------- the store button

void KestWebviewKD::connectStoreButton() {
    connect(m_wv.get(), &cWebView2::TitleChanged, this, [this] { updateStoreButton(); });
    if (m_storeButton)
        return;
    m_storeButton = new QPushButton(StoreCaption, this);
    m_storeButton->setObjectName(QStringLiteral("cmdDownloadExtension"));
    m_storeButton->hide();
    setButtonColour(*m_storeButton, StoreColour);
    connect(m_storeButton, &QPushButton::clicked, this, &KestWebviewKD::onStoreButton);
}

// Shown on the store's detail pages, holding the page's address.
void KestWebviewKD::updateStoreButton() {
    if (!m_storeButton)
        return;
    const bool storePage = !m_storeSettings.detailRoot.isEmpty() &&
                           m_currentAddress.contains(m_storeSettings.detailRoot);
    m_storeButton->setProperty("tag", storePage ? m_currentAddress : QString());
    m_storeButton->setVisible(storePage);
    if (storePage) {
        m_storeButton->adjustSize();
        m_storeButton->move(width() - m_storeButton->width() - toPixels(PaneMarginTwips),
                            toPixels(PaneMarginTwips));
        m_storeButton->raise();
    }
}

void KestWebviewKD::onStoreButton() {
    m_storeButton->setText(BusyCaption);
    setButtonColour(*m_storeButton, BusyColour);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waits::pump(StorePumps);
    const auto unpacked = extensionstore::downloadAndUnpack(
        m_storeButton->property("tag").toString(), extensionRoot(), m_storeSettings);
    if (const auto* failure = std::get_if<QString>(&unpacked)) {
        raise("ExtensionDownLoadFailed", {text(*failure)});
    } else {
        const auto& extension = std::get<extensionstore::Unpacked>(unpacked);
        raise("ExtensionDownloaded",
              {text(extension.id), text(extension.name), text(extension.folder)});
        AddBrowserExtension(extension.folder, InstallWaitSeconds);
    }
    m_storeButton->setText(StoreCaption);
    setButtonColour(*m_storeButton, StoreColour);
    QApplication::restoreOverrideCursor();
    waits::pump(StorePumps);
}
