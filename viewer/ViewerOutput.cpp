// Image output: the displayed image or the visible page saved as a picture.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerValues.h"

#include "dialogs/CmnDialogEx.h"
#include "platform/UiServices.h"
#include "support/modOperationFichierSimple.h"
#include "support/modSpecialFolders.h"
#include "support/modWait.h"

using viewervalues::flag;
using viewervalues::text;

void KestDicomViewAX::GetImageSize() {
    callPage(QStringLiteral("getCurrentImageDimensions"));
}

namespace {

QString pageFunctionFor(const QString& extension) {
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return QStringLiteral("saveCurrentImageJpeg");
    if (extension == QLatin1String("png"))
        return QStringLiteral("saveCurrentImage");
    return {};
}

} // namespace

// The save dialog of the image outputs; an empty name proposes
// DicomImage.jpg in the user's pictures folder. False when cancelled.
bool KestDicomViewAX::chooseSaveFile(QString& fileNameAndPath) {
    if (fileNameAndPath.isEmpty())
        fileNameAndPath =
            files::withTrailingSeparator(specialfolders::path(specialfolders::Pictures)) +
            QStringLiteral("DicomImage.jpg");
    CmnDialogEx dialog;
    dialog.Clear();
    dialog.setFlagsDialog(CmnDialogEx::OFN_OVERWRITEPROMPT | CmnDialogEx::OFN_PATHMUSTEXIST |
                          CmnDialogEx::OFN_NOREADONLYRETURN);
    dialog.setFilter(QStringLiteral("Jpeg or Png|*.jpg;*.jpeg;*.png"));
    dialog.setDefaultExt(QStringLiteral("jpg"));
    dialog.setFileName(fileNameAndPath);
    if (!dialog.ShowSave(m_surface))
        return false;
    fileNameAndPath = dialog.FileName();
    return true;
}

// The picture is written when the page's answer arrives.
bool KestDicomViewAX::SaveImage(QString& fileNameAndPath, bool forceSelect) {
    if (!m_image->ready || !m_imagePresent)
        return false;
    if ((forceSelect || fileNameAndPath.isEmpty()) && !chooseSaveFile(fileNameAndPath))
        return false;
    const QString function = pageFunctionFor(files::extension(fileNameAndPath).toLower());
    if (function.isEmpty())
        return false;
    renderImage(function, {text(fileNameAndPath)});
    return true;
}

// The page renders the image at its own pixel size, behind the wait picture
// and without the sidebar, and answers with the encoded picture ("saveImage").
void KestDicomViewAX::renderImage(const QString& function, QList<Variant> args) {
    const bool sidebarShown = m_sideBarVisible != 0;
    if (sidebarShown)
        hideSidebar();
    showWait(true);
    waits::pump(20);
    // One screen pixel per image pixel, behind the wait picture. The browser
    // host keeps its page 30 twips inside its edges: the page gets the image's
    // size when the host is that much larger.
    const int hostMargin = 2 * (30 / twipsPerPixel());
    if (m_image->widget())
        m_image->widget()->resize(Variant(m_document.widthText).toLong() + hostMargin,
                                  Variant(m_document.heightText).toLong() + hostMargin);
    waits::waitSeconds(2, true);
    callPage(function, std::move(args));
    if (sidebarShown)
        showSidebar();
    else
        hideSidebar();
    layout();
    bringToFront(*m_image);
    waits::pump(20);
    showWait(false);
}

BrowserHostProxy& KestDicomViewAX::frontPage() {
    return m_displayDicomTags == VTrue ? *m_tags : *m_image;
}

bool KestDicomViewAX::SaveCanvas(QString& fileNameAndPath, bool forceSelect) {
    if (!m_image->ready || isPaneMode(m_surface->dicomDirTag(), PaneMode::WholeControl))
        return false;
    if ((forceSelect || fileNameAndPath.isEmpty()) && !chooseSaveFile(fileNameAndPath))
        return false;
    const QString extension = files::extension(fileNameAndPath).toLower();
    int format = -1;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        format = 1;
    else if (extension == QLatin1String("png"))
        format = 0;
    if (format < 0)
        return false;
    // The result is True from here on, whatever the capture gave.
    captureCanvas([&](BrowserHostProxy& front) { front.capturePreview(fileNameAndPath, format); });
    return true;
}

// A picture of the page in front (the tags page when shown, else the image
// page) taken without the sidebar, then a beep.
void KestDicomViewAX::captureCanvas(const std::function<void(BrowserHostProxy& front)>& capture) {
    const bool sidebarShown = m_sideBarVisible != 0;
    if (sidebarShown)
        hideSidebar();
    waits::pump(20);
    BrowserHostProxy& front = frontPage();
    capture(front);
    ui::beep();
    if (sidebarShown)
        showSidebar();
    bringToFront(front);
    waits::pump(20);
}
