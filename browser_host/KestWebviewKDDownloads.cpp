#include "KestWebviewKD.h"

#include "FileDownload.h"
#include "HostValues.h"
#include "modKWVLanguage.h"

#include "dialogs/modCmnDialogEx.h"
#include "platform/MessagePump.h"
#include "support/modOperationFichierSimple.h"
#include "webview2_binding/cWebView2.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <limits>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

// A byte count as the events carry it: a Long while it fits, a 64-bit value above 2 GiB.
Variant byteCount(std::int64_t count) {
    if (count >= std::numeric_limits<std::int32_t>::min() &&
        count <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(count));
    return Variant(count);
}

// The user's Downloads folder (the XDG user directory), with a trailing "/".
QString userDownloadsFolder() {
    return files::withTrailingSeparator(
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
}

} // namespace

// ---------------------------------------------------------------- members

void KestWebviewKD::bindDownloadMembers() {
    bindMethod("DownloadFile", [this](QList<Variant>& a) {
        DownloadFile(a[0].toString(), a[1].toString());
        return Variant();
    });
    bindMethod("DownloadFileEx", [this](QList<Variant>& a) {
        return text(DownloadFileEx(a[0].toString(), a[1].toString(), a[2].toBool()));
    });
    bindMethod("DownloadCancel", [this](QList<Variant>& a) {
        DownloadCancel(a[0].toString());
        return Variant();
    });
    bindMethod("GetUserDefaultDownloadsPath",
               [](QList<Variant>&) { return text(userDownloadsFolder()); });
    bindMethod("MakeAllDirectorys", [](QList<Variant>& a) {
        files::createFolderTree(files::withTrailingSeparator(a[0].toString()));
        return Variant();
    });
    bindGet("DefaultDownloadFolderPath",
            [this](QList<Variant>&) { return text(m_defaultDownloadFolder); });
    bind(QStringLiteral("DefaultDownloadFolderPath"), InvokeFlags::PropertyPut,
         [this](QList<Variant>& a) {
             m_defaultDownloadFolder = a.last().toString();
             if (m_isWebViewInit)
                 applyDownloadFolder();
             return Variant();
         });
}

// ---------------------------------------------------------------- reads by address

void KestWebviewKD::DownloadFile(const QString& uri, const QString& destination) {
    startDownload(uri, destination, false);
}

QString KestWebviewKD::DownloadFileEx(const QString& uri, const QString& destination,
                                      bool synchronous) {
    return startDownload(uri, destination, synchronous);
}

QString KestWebviewKD::startDownload(const QString& uri, const QString& destination,
                                     bool synchronous) {
    const QString key = DownloadTable::keyFor(destination, QDateTime::currentDateTime());
    // A key already in use is the caller's error: nothing starts.
    m_downloadTable.add(key, destination);
    auto* read = new FileDownload(uri, destination, {}, this);
    if (const auto failure = read->start()) {
        delete read;
        raise("DownloadError", {longValue(failure->number), text(failure->description)});
        return {};
    }
    m_reads.insert(key, read);
    connect(read, &FileDownload::progress, this,
            [this, key](std::int64_t received, std::int64_t total) {
                onDownloadProgress(key, received, total);
            });
    connect(
        read, &FileDownload::finished, this,
        [this, key, read](const std::optional<FileDownload::Failure>& failure) {
            m_reads.remove(key);
            read->deleteLater();
            if (failure)
                raise("DownloadError", {longValue(failure->number), text(failure->description)});
            else
                raise("DownloadCompleted", {text(m_downloadTable.destination(key)),
                                            text(DownloadTable::fileNamePart(key))});
        });
    if (synchronous)
        pump::waitUntil(
            [read = QPointer<FileDownload>(read)] { return !read || read->isFinished(); },
            std::chrono::hours(24));
    return key;
}

void KestWebviewKD::onDownloadProgress(const QString& key, std::int64_t received,
                                       std::int64_t total) {
    const int percent = total > 0 ? static_cast<int>(received * 100 / total) : 0;
    QList<Variant> a{text(m_downloadTable.destination(key)), text(DownloadTable::fileNamePart(key)),
                     Variant(static_cast<std::int16_t>(percent)), byteCount(received),
                     byteCount(std::max<std::int64_t>(total, 0))};
    raise("DownLoadInProgress", a);
    a << Variant(false);
    raise("DownloadChecking", a);
    if (a[5].toBool())
        DownloadCancel(key);
}

void KestWebviewKD::DownloadCancel(const QString& key) {
    const QStringList keys = key.isEmpty() ? m_reads.keys() : QStringList{key};
    for (const QString& each : keys) {
        const QPointer<FileDownload> read = m_reads.take(each);
        if (!read)
            continue;
        read->cancel();
        read->deleteLater();
    }
}

// ---------------------------------------------------------------- downloads the browser starts

void KestWebviewKD::connectDownloads() {
    connect(m_wv.get(), &cWebView2::DownloadStarting, this,
            &KestWebviewKD::onBrowserDownloadStarting);
}

void KestWebviewKD::onBrowserDownloadStarting(const QString& uri, const QString& mimeType,
                                              const QString& suggestedPath,
                                              const QString& suggestedFile,
                                              bool& cancelBrowserDialog, bool& cancelDownload,
                                              QString& newPath) {
    if (!m_props.flag(P::AlwaysAskForDownloadPath)) {
        QList<Variant> a{text(uri),
                         text(mimeType),
                         text(suggestedPath),
                         text(suggestedFile),
                         Variant(cancelBrowserDialog),
                         Variant(cancelDownload),
                         text(newPath)};
        raise("DownloadStarting", a);
        cancelBrowserDialog = a[4].toBool();
        cancelDownload = a[5].toBool();
        newPath = a[6].toString();
        return;
    }
    const kwvlanguage::Texts& texts = kwvlanguage::texts();
    const QString ext = files::extension(suggestedFile);
    const QString filter =
        ext.isEmpty() ? texts.downloadAllFilesSuffix.mid(1)
                      : QStringLiteral("(*.%1)|*.%1").arg(ext) + texts.downloadAllFilesSuffix;
    const QString chosen =
        cmndialog::ShowSaveDialog(cmndialog::DefaultFlags, files::folderPart(suggestedPath),
                                  texts.downloadTitle, suggestedFile, filter, ext, m_pane);
    if (chosen.isEmpty())
        cancelDownload = true;
    else
        newPath = chosen;
}

// A folder given is created and handed to the browser; without one the
// browser goes back to the user's Downloads folder.
void KestWebviewKD::applyDownloadFolder() {
    try {
        if (!m_defaultDownloadFolder.isEmpty()) {
            files::createFolderTree(files::withTrailingSeparator(m_defaultDownloadFolder));
            m_wv->setDefaultDownloadFolderPath(m_defaultDownloadFolder);
            return;
        }
        const QString downloads = files::withoutTrailingSeparator(userDownloadsFolder());
        if (QDir::cleanPath(m_wv->DefaultDownloadFolderPath()) != QDir::cleanPath(downloads))
            m_wv->setDefaultDownloadFolderPath(downloads);
    } catch (const AutomationError&) {
    }
}
