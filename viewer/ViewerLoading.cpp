// Loading a DICOM file: the browser hosts started, the pages and the working copy written, both
// pages navigated.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "PageAssets.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerValues.h"
#include "WorkingCopy.h"

#include "dialogs/CmnDialogEx.h"
#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "support/modLocalisation.h"
#include "support/modOperationFichierSimple.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <utility>

using viewervalues::flag;
using viewervalues::text;

bool KestDicomViewAX::IsDicomFile(const QString& path) const {
    return pageassets::isDicomFile(path);
}

// A file the viewer can show: a DICOM file no larger than the image page can
// hold in its memory. A larger one is refused with a message, before any of
// it is copied or read.
bool KestDicomViewAX::canLoad(const QString& path) const {
    if (m_instanceFolder.isEmpty() || !files::fileExists(path) || !IsDicomFile(path))
        return false;
    const qint64 size = QFileInfo(path).size();
    if (size <= MaxDicomFileSize)
        return true;
    ui::messageBox(QStringLiteral("%1\n\nThe file is too large to be shown: %2 MiB, the limit is "
                                  "%3 MiB.")
                       .arg(path)
                       .arg(size >> 20)
                       .arg(MaxDicomFileSize >> 20),
                   ui::MsgBox::Exclamation, QStringLiteral("KestDicomView"));
    return false;
}

bool KestDicomViewAX::LoadDicomFile(const QString& path) {
    if (stepToFile(path))
        return true;
    m_surface->setListTag(paneTag(PaneMode::Hidden));
    m_surface->setDicomDirTag(paneTag(PaneMode::Hidden));
    if (!canLoad(path))
        return false;
    showWait(true);
    // What the page shows goes with the navigation to the new page, or with
    // the placeholder when the load stops before it.
    if (m_image->isWebViewInit()) {
        m_imageStale = true;
        m_imagePresent = false;
    }
    pump::processPending();
    layout();
    return loadProcedure(path);
}

bool KestDicomViewAX::LoadSelectedDicomFile(const QString& searchPath) {
    CmnDialogEx dialog;
    dialog.Clear();
    dialog.setFlagsDialog(CmnDialogEx::OFN_PATHMUSTEXIST | CmnDialogEx::OFN_FILEMUSTEXIST);
    if (!searchPath.isEmpty())
        dialog.setInitDir(searchPath);
    dialog.setFilter(localisation::openDialogFilter(languageCode(), localeIni()));
    if (!dialog.ShowOpen(m_surface))
        return false;
    return LoadDicomFile(dialog.FileName());
}

void KestDicomViewAX::showWait(bool visible) {
    m_surface->setWaitVisible(visible);
    if (visible)
        m_surface->raiseWaitPicture();
}

void KestDicomViewAX::startHost(BrowserHostProxy& host) {
    // With the system's runtime chosen, the host is not sent looking for a
    // fixed runtime first: that would warn on every start that none is installed.
    if (browserRuntimeFolder().isEmpty())
        host.setUseEdgeFixedVersion(false);
    host.setHomeUrl(
        QUrl::fromLocalFile(m_binFolder + QStringLiteral("AboutBlack.html")).toString());
    host.initEx(browserRuntimeFolder(), browserUserDataFolder());
}

// Waits until each host has reported that it is ready. A host that cannot
// start never reports it: the wait then ends with its start-up time-out.
bool KestDicomViewAX::waitForHosts(std::initializer_list<BrowserHostProxy*> hosts) {
    double seconds = 8;
    for (const BrowserHostProxy* host : hosts)
        seconds = std::max(seconds, host->initTimeOut());
    const auto allReady = [hosts] {
        return std::all_of(hosts.begin(), hosts.end(),
                           [](const BrowserHostProxy* host) { return host->ready; });
    };
    return pump::waitUntil(allReady,
                           std::chrono::milliseconds(static_cast<int>((seconds + 2) * 1000)));
}

namespace {

bool isSameFile(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(QFile::encodeName(a).toStdString(),
                                       QFile::encodeName(b).toStdString(), error);
}

} // namespace

bool KestDicomViewAX::loadProcedure(const QString& path, const QStringList& seriesFiles) {
    if (stepToFile(path))
        return true;
    const auto clearing = qScopeGuard([this] { clearStalePages(); });
    if (!canLoad(path))
        return false;
    chooseRuntime();
    m_documentPath.clear();
    m_inverted = false;
    raise(QStringLiteral("BeforeLoading"));
    if (!m_image->isWebViewInit())
        startHost(*m_image);
    if (m_tags->isWebViewInit())
        m_tagsPage = TagsPage::Stale;
    else
        startHost(*m_tags);
    const bool ready = waitForHosts({m_image.get(), m_tags.get()});
    showWait(false);
    if (!ready)
        return false;
    waitForCrashPlaceholder();
    files::createFolderTree(m_instanceFolder);
    preparePages(languageCode());
    const QString name = files::fileNamePart(path);
    const QString workingCopy = m_instanceFolder + name;
    // The file asked for may be the working copy itself (a host reloading
    // dcmFile's file): it then stays where it is and is never deleted.
    if (!m_document.dcmFile.isEmpty() && !isSameFile(path, m_instanceFolder + m_document.dcmFile))
        files::deleteFile(m_instanceFolder + m_document.dcmFile);
    m_document.dcmFile.clear();
    if (!isSameFile(path, workingCopy) && !workingcopy::place(path, workingCopy))
        throw AutomationError::standard(vberr::PathFileAccessError);
    m_document.dcmFile = name;
    m_documentPath = pageassets::extractPdf(workingCopy, m_instanceFolder);
    openStackFor(path, seriesFiles);
    QString fileList = pageassets::fileListScript(name);
    if (!m_stack.isSingleImage())
        fileList += m_stack.pageScript(qint64(m_cacheSizeMB) << 20);
    files::writeTextFile(fileList, m_instanceFolder + QStringLiteral("liste.js"), false);
    const bool tagsInFront = m_showTagsOnLoad == VTrue;
    m_displayDicomTags = toVBool(tagsInFront);
    bringToFront(tagsInFront ? *m_tags : *m_image);
    // Set first: the navigation pumps events, and the page may answer or fail within it.
    m_awaitingPage = true;
    m_imageStale = false;
    m_tagsPage = tagsInFront ? TagsPage::Current : TagsPage::Due;
    m_image->navigateToFile(m_instanceFolder + QStringLiteral("KDVAX_MONO.html"));
    if (tagsInFront)
        m_tags->navigateToFile(m_instanceFolder + QStringLiteral("KDVAX_TAGS.html"));
    layout();
    raise(QStringLiteral("TagsStatusChange"), {flag(tagsInFront)});
    return true;
}

// After a renderer crash the image browser goes to the placeholder page. A load
// waits until it is there: a navigation started while the placeholder is still
// committing may be dropped by the engine without any report of its load, and
// the load would then wait for a page that never comes.
void KestDicomViewAX::waitForCrashPlaceholder() {
    if (!m_placeholderAfterCrash)
        return;
    pump::waitUntil([this] { return !m_placeholderAfterCrash; }, std::chrono::seconds(8));
    m_placeholderAfterCrash = false;
}

// A load that stopped before navigating a browser clears the previous
// document it still shows, as a load that ran on would have.
void KestDicomViewAX::clearStalePages() noexcept {
    try {
        if (std::exchange(m_imageStale, false))
            m_image->navigateToString(m_placeholderPage);
        if (m_tagsPage == TagsPage::Stale) {
            m_tagsPage = TagsPage::Blank;
            m_tags->navigateToString(m_placeholderPage);
        }
    } catch (const AutomationError&) {
        // A browser that cannot be reached shows nothing to clear.
    }
}

// The tags page due for the file shown is loaded from the event loop, after
// whatever the host does with the image page's answer.
void KestDicomViewAX::scheduleDueTags() {
    if (m_tagsPage != TagsPage::Due || !m_surface)
        return;
    QTimer::singleShot(0, m_surface, [this] {
        try {
            loadDueTags();
        } catch (const AutomationError&) {
            // The tags browser is gone: showing the tags finds no page then.
        }
    });
}

void KestDicomViewAX::loadDueTags() {
    if (m_tagsPage != TagsPage::Due)
        return;
    m_tagsPage = TagsPage::Current;
    m_tags->navigateToFile(m_instanceFolder + QStringLiteral("KDVAX_TAGS.html"));
}

void KestDicomViewAX::preparePages(const QString& language) {
    // The instance folder in forward-slash form, without its final separator.
    const QString root = files::withoutTrailingSeparator(m_instanceFolder);
    const QString ini = localeIni();
    pageassets::writePageFile(m_assetFolder + QStringLiteral("KDVAX_MONO.dll"),
                              m_instanceFolder + QStringLiteral("KDVAX_MONO.html"), root,
                              QStringLiteral("Tool"), language, ini);
    const QString report = language == QLatin1String("fr") ? QStringLiteral("KDVAX_SR_FR.dll")
                                                           : QStringLiteral("KDVAX_SR.dll");
    pageassets::writePageFile(m_assetFolder + report,
                              m_instanceFolder + QStringLiteral("KDVAX_SR.html"), root, {},
                              language, ini);
    pageassets::writePageFile(m_assetFolder + QStringLiteral("KDVAX_TAGS.dll"),
                              m_instanceFolder + QStringLiteral("KDVAX_TAGS.html"), root,
                              QStringLiteral("Tag"), language, ini);
}
