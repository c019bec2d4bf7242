// Browsing collections: a folder's DICOM files in the list on the left, and a
// DICOMDIR's patients, studies and series in the third browser host.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "PageAssets.h"
#include "PageMessage.h"
#include "StudyFolder.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerValues.h"

#include "dialogs/CmnDialogEx.h"
#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"
#include "support/modConfig.h"
#include "support/modOperationFichierSimple.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>

#include <limits>

using viewervalues::text;

namespace {

// The prefix of every list item before the file name.
const QString ListItemPrefix = QStringLiteral(" ----- ");

constexpr std::uint32_t FolderDialogFlags = 0x80000;
constexpr std::uint32_t FolderBrowsingFlags = 596;

void pumpTimes(int passes) {
    for (int i = 0; i < passes; ++i)
        pump::processPending();
}

bool isDicomdirName(const QString& path) {
    return files::fileNamePart(path).compare(QLatin1String("DICOMDIR"), Qt::CaseInsensitive) == 0;
}

// A count for an Integer event argument: the page counts more than an
// Integer holds only for huge media, which then report the largest value.
std::int16_t integerCount(std::int32_t count) {
    return static_cast<std::int16_t>(
        std::clamp<std::int32_t>(count, 0, std::numeric_limits<std::int16_t>::max()));
}

// The most files of one DICOMDIR series record a stack is made from.
constexpr qsizetype MaxSeriesFiles = 20000;

// The files of the series record a DICOMDIR selection came from, as the page
// lists them: only those within the medium's folder.
QStringList seriesFilesOf(const QString& content, const QString& mediumFolder) {
    const QJsonArray urls = QJsonDocument::fromJson(content.toUtf8())
                                .object()
                                .value(QStringLiteral("series"))
                                .toArray();
    const QString root = files::withTrailingSeparator(mediumFolder);
    QStringList paths;
    for (const QJsonValue& url : urls) {
        if (paths.size() >= MaxSeriesFiles)
            break;
        const QString path = studyfolder::resolveIgnoringCase(
            QDir::cleanPath(studyfolder::pathFromPageUrl(url.toString())));
        if (!mediumFolder.isEmpty() && path.startsWith(root))
            paths.append(path);
    }
    return paths;
}

} // namespace

// An initialised host shows the placeholder page again; another one is started.
void KestDicomViewAX::startOrBlank(BrowserHostProxy& host) {
    // A blanked tags page has no tags due any more.
    if (&host == m_tags.get())
        m_tagsPage = TagsPage::Blank;
    if (host.isWebViewInit())
        host.navigateToString(m_placeholderPage);
    else
        startHost(host);
}

bool KestDicomViewAX::LoadDirectory(QString& directory, std::int16_t& flag) {
    flag = std::max<std::int16_t>(flag, 1);
    if (m_instanceFolder.isEmpty())
        return false;
    if (!directory.isEmpty() && !files::folderExists(directory))
        directory.clear();
    CmnDialogEx dialog;
    dialog.Clear();
    dialog.setFlagsDialog(FolderDialogFlags);
    dialog.setFlagsFolderBrowsing(FolderBrowsingFlags);
    QString initial = directory.isEmpty() ? m_lastListedFolder : directory;
    if (initial.isEmpty())
        initial = config::dicomListPath(m_dataFolder);
    dialog.setInitDir(initial);
    directory = dialog.ShowBrowseForFolder(m_surface) ? dialog.FileName() : QString();
    if (directory.isEmpty())
        return false;
    directory = files::withTrailingSeparator(directory);
    m_lastListedFolder = directory;
    // The Data folder is made here so that the folder is remembered from the
    // first run on.
    files::createFolderTree(m_dataFolder);
    config::setDicomListPath(m_dataFolder, directory);
    listFolder(directory);
    chooseRuntime();
    m_documentPath.clear();
    m_inverted = false;
    raise(QStringLiteral("BeforeLoading"));
    showWait(true);
    pumpTimes(20);
    startOrBlank(*m_image);
    startOrBlank(*m_tags);
    const bool ready = waitForHosts({m_image.get(), m_tags.get()});
    showWait(false);
    pumpTimes(20);
    files::createFolderTree(m_instanceFolder);
    m_surface->setDicomDirTag(paneTag(PaneMode::Hidden));
    m_surface->setListTag(paneTag(PaneMode::DefaultWidth));
    bringToFront(*m_image);
    layout();
    if (m_surface->fileList()->isVisible())
        m_surface->fileList()->setFocus();
    return ready;
}

// Fills the list with the folder's DICOM files; the list stays hidden while
// it is filled and when it is empty.
void KestDicomViewAX::listFolder(const QString& folder) {
    const QString none = QStringLiteral("No DICOM File...");
    QLabel* label = m_surface->listLabel();
    label->setText(studyfolder::holdsFiles(folder) ? QStringLiteral("...") : none);
    pump::processPending();
    QListWidget* list = m_surface->fileList();
    const QSignalBlocker quiet(list);
    list->hide();
    list->clear();
    list->setProperty("Tag", folder);
    QStringList items = studyfolder::dicomFileNames(folder);
    for (QString& name : items)
        name.prepend(ListItemPrefix);
    list->addItems(items);
    if (list->count() == 0) {
        label->setText(none);
        return;
    }
    list->show();
    list->raise();
    label->setText(QString::number(list->count()) + QStringLiteral(" DICOM Files"));
}

void KestDicomViewAX::onFileListSelection() {
    const QListWidget* list = m_surface->fileList();
    const QListWidgetItem* item = list->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString path =
        list->property("Tag").toString() + QString(item->text()).remove(ListItemPrefix).trimmed();
    loadProcedure(path);
    raise(QStringLiteral("DicomListImageSelected"), {text(path)});
}

bool KestDicomViewAX::LoadDICOMDIR(QString& path, std::int16_t& flag) {
    flag = std::max<std::int16_t>(flag, 1);
    if (m_instanceFolder.isEmpty())
        return false;
    const QString startFolder =
        !path.isEmpty() && !files::fileExists(path) && files::folderExists(path) ? path : QString();
    if (!startFolder.isEmpty() || path.isEmpty()) {
        CmnDialogEx dialog;
        dialog.Clear();
        dialog.setFlagsDialog(CmnDialogEx::OFN_PATHMUSTEXIST | CmnDialogEx::OFN_FILEMUSTEXIST);
        if (!startFolder.isEmpty())
            dialog.setInitDir(startFolder);
        dialog.setFilter(QStringLiteral("All Files|*.*"));
        dialog.setFileName(QStringLiteral("DICOMDIR"));
        path = dialog.ShowOpen(m_surface) ? dialog.FileName() : QString();
    }
    if (path.isEmpty() || !files::fileExists(path) || !isDicomdirName(path))
        return false;
    const QString folder = files::withoutTrailingSeparator(files::folderPart(path));
    m_dicomdirFolder = folder;
    m_documentPath.clear();
    m_inverted = false;
    raise(QStringLiteral("BeforeLoading"));
    showWait(true);
    chooseRuntime();
    pumpTimes(20);
    startOrBlank(*m_dicomDir);
    startOrBlank(*m_image);
    startOrBlank(*m_tags);
    const bool ready = waitForHosts({m_dicomDir.get(), m_image.get(), m_tags.get()});
    showWait(false);
    pumpTimes(20);
    const QString language = languageCode();
    files::createFolderTree(m_instanceFolder);
    const QString page = m_instanceFolder + QStringLiteral("KDVAX_DICOMDIR.html");
    const QString templateName = language == QLatin1String("fr")
                                     ? QStringLiteral("KDVAX_DICOMDIR_FR.dll")
                                     : QStringLiteral("KDVAX_DICOMDIR.dll");
    const QString filled =
        pageassets::dicomdirPage(files::readTextFile(m_assetFolder + templateName), folder,
                                 files::withoutTrailingSeparator(m_instanceFolder));
    files::deleteFile(page);
    files::writeTextFile(filled, page, false);
    m_dicomDir->navigateToFile(page);
    m_surface->setDicomDirTag(QString::number(flag));
    bringToFront(*m_image);
    if (m_dicomDir->widget())
        m_dicomDir->widget()->setFocus();
    layout();
    return ready;
}

void KestDicomViewAX::onDicomdirMessage(const QString& name, const QString& content) {
    if (name == QLatin1String("dicomdirLoaded")) {
        if (pagemessage::value(content, QStringLiteral("status")) != QStringLiteral("ok"))
            return;
        const auto patients = pagemessage::toLong(
            pagemessage::value(content, QStringLiteral("patients")).value_or(""));
        const auto images = pagemessage::toLong(
            pagemessage::value(content, QStringLiteral("totalImages")).value_or(""));
        if (!patients || !images)
            return;
        raise(QStringLiteral("DicomdirLoaded"),
              {Variant(integerCount(*patients)), Variant(integerCount(*images))});
        return;
    }
    if (name != QLatin1String("dicomdirImageSelected"))
        return;
    const auto url = pagemessage::value(content, QStringLiteral("url"));
    const auto type = pagemessage::value(content, QStringLiteral("type"));
    if (!url || !type)
        return;
    // A CD copied with other letter cases still opens: the page's path is
    // matched against the names on disk when it does not exist as written.
    const QString path = studyfolder::resolveIgnoringCase(studyfolder::pathFromPageUrl(*url));
    raise(QStringLiteral("DicomdirImageSelected"), {text(path), text(*type)});
    if (!isPaneMode(m_surface->dicomDirTag(), PaneMode::WholeControl))
        loadProcedure(path, seriesFilesOf(content, m_dicomdirFolder));
}

// The folder list and the DICOMDIR tree show the stack's file as selected,
// without raising their selection events.
void KestDicomViewAX::followStackSelection(const QString& path) {
    QListWidget* list = m_surface->fileList();
    const QString folder = list->property("Tag").toString();
    if (list->isVisible() && !folder.isEmpty() &&
        files::withTrailingSeparator(files::folderPart(path)) == folder) {
        const auto items =
            list->findItems(ListItemPrefix + files::fileNamePart(path), Qt::MatchExactly);
        if (!items.isEmpty()) {
            const QSignalBlocker quiet(list);
            list->setCurrentItem(items.first());
            list->scrollToItem(items.first());
        }
    }
    if (isPaneMode(m_surface->dicomDirTag(), PaneMode::Hidden) || !m_dicomDir->isWebViewInit())
        return;
    try {
        m_dicomDir->runJs(QStringLiteral("showSelectedFile"), {text(path)});
    } catch (const AutomationError&) {
        // The DICOMDIR page is gone: there is no selection to follow.
    }
}
