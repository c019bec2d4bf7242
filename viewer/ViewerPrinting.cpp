// Image output to the printer and the clipboard: the displayed image as the
// page renders it, or a picture of the visible page.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "PrintLayout.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerValues.h"

#include "platform/SystemPrinter.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"

#include <QFile>
#include <QImage>

using viewervalues::text;

namespace {

const QString PrintFile = QStringLiteral("Print.jpg");
const QString ClipboardFile = QStringLiteral("ClipBoard.jpg");

} // namespace

// A report or a document is printed by the browser with its own dialog; an
// image is printed when the page's picture arrives.
void KestDicomViewAX::PrintImage(const QString& printerName, bool printId) {
    if (!m_image->ready)
        return;
    if (m_noImage) {
        m_image->showPrintDialog();
        return;
    }
    if (!m_imagePresent)
        return;
    m_pendingPrintId = printId;
    selectPrinter(printerName);
    renderImage(QStringLiteral("saveCurrentImageJpeg"), {text(PrintFile)});
}

void KestDicomViewAX::PrintCanvas(const QString& printerName, bool printId) {
    if (!m_image->ready)
        return;
    const QString picture = m_tempFolder + PrintFile;
    captureCanvas([&](BrowserHostProxy& front) {
        // A picture left by an earlier job must not be printed in place of this one.
        QFile::remove(picture);
        if (!front.capturePreview(picture, 1)) {
            showPrintError(QStringLiteral("the page could not be captured"));
            return;
        }
        selectPrinter(printerName);
        printPicture(printId);
        restorePrinter();
    });
}

void KestDicomViewAX::CopyImageToClipboard() {
    if (!m_image->ready || !m_imagePresent)
        return;
    renderImage(QStringLiteral("saveCurrentImageJpeg"),
                {text(ClipboardFile), Variant(std::int32_t(1))});
}

void KestDicomViewAX::CopyCanvasToClipboard() {
    if (!m_image->ready || isPaneMode(m_surface->dicomDirTag(), PaneMode::WholeControl))
        return;
    try {
        captureCanvas([](BrowserHostProxy& front) { front.capturePreviewToClipboard(); });
    } catch (const AutomationError&) {
        // A copy that fails leaves the clipboard as it was, without a word.
    }
}

// The current printer is kept, then the named one made current when one is
// installed; an unknown name leaves the current printer in use.
void KestDicomViewAX::selectPrinter(const QString& printerName) {
    m_savedPrinter = printing::currentPrinter();
    if (!printerName.isEmpty() && printerName != m_savedPrinter)
        printing::setCurrentPrinter(printerName);
}

void KestDicomViewAX::restorePrinter() {
    if (printing::currentPrinter() != m_savedPrinter)
        printing::setCurrentPrinter(m_savedPrinter);
}

// Prints the picture of the Temp folder's Print.jpg with the patient header.
void KestDicomViewAX::printPicture(bool printId) {
    const QString header =
        printlayout::headerText(m_document.patientName, m_document.birthDate, m_document.examDate);
    const auto failure = printlayout::printPicture(
        printing::currentPrinter(), QImage(m_tempFolder + PrintFile), header, printId);
    if (failure)
        showPrintError(*failure);
}

void KestDicomViewAX::showPrintError(const QString& reason) {
    ui::messageBox(QStringLiteral("Erreur lors de l'impression : ") + reason);
}
