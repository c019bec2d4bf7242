// Pictures of the page: the preview capture, PDF files and streams with
// WebView2's print settings, and the print dialog that prints on a printer.

#include "CoreWebView2.h"

#include "PrintSettings.h"

#include "platform/PrinterSeam.h"
#include "platform/SystemPrinter.h"
#include "platform/UiServices.h"

#include <QFileInfo>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineSettings>

HRESULT CoreWebView2::CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat,
                                     QIODevice* imageStream,
                                     ICoreWebView2CapturePreviewCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (!imageStream || !handler)
        return hr::E_POINTER;
    if (imageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG &&
        imageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG)
        return hr::E_INVALIDARG;
    ComPtr<ICoreWebView2CapturePreviewCompletedHandler> completion(handler);
    QPointer<QIODevice> stream(imageStream);
    later([this, completion, stream, imageFormat] {
        const char* format =
            imageFormat == COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG ? "PNG" : "JPG";
        const QPixmap picture = m_view->grab();
        const bool saved = stream && !picture.isNull() && picture.save(stream.data(), format);
        completion->Invoke(saved ? hr::S_OK : hr::E_FAIL);
    });
    return hr::S_OK;
}

// Qt applies changed page settings from a zero-interval timer; a timer with
// a longer interval started after it fires after it.
void CoreWebView2::afterSettingsApplied(std::function<void()> work) {
    ComPtr<CoreWebView2> self(this);
    QTimer::singleShot(1, m_page.data(), [self, work = std::move(work)] {
        if (self->usable())
            work();
    });
}

std::optional<QPageLayout>
CoreWebView2::preparePdfPrinting(ICoreWebView2PrintSettings* printSettings) {
    const PrintSettings defaults;
    const auto* own = printSettings ? dynamic_cast<const PrintSettings*>(printSettings) : &defaults;
    if (!own)
        return std::nullopt;
    // Qt WebEngine reads backgrounds from the page's settings, not from the
    // layout; the page takes a changed setting from the event loop, so the
    // printing starts after that (afterSettingsApplied).
    m_page->settings()->setAttribute(QWebEngineSettings::PrintElementBackgrounds,
                                     own->backgrounds());
    return own->pageLayout();
}

HRESULT CoreWebView2::PrintToPdf(const QString& resultFilePath,
                                 ICoreWebView2PrintSettings* printSettings,
                                 ICoreWebView2PrintToPdfCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (resultFilePath.isEmpty())
        return hr::E_INVALIDARG;
    const auto layout = preparePdfPrinting(printSettings);
    if (!layout)
        return hr::E_NOTIMPL;
    ComPtr<ICoreWebView2PrintToPdfCompletedHandler> completion(handler);
    const QString path = QFileInfo(resultFilePath).absoluteFilePath();
    auto connection = std::make_shared<QMetaObject::Connection>();
    ComPtr<CoreWebView2> self(this);
    *connection = QObject::connect(
        m_page, &QWebEnginePage::pdfPrintingFinished, m_page,
        [self, completion, path, connection](const QString& filePath, bool success) {
            if (filePath != path)
                return;
            QObject::disconnect(*connection);
            if (completion && self->usable())
                completion->Invoke(hr::S_OK, success);
        });
    afterSettingsApplied([this, path, layout] { m_page->printToPdf(path, *layout); });
    return hr::S_OK;
}

HRESULT CoreWebView2::PrintToPdfStream(ICoreWebView2PrintSettings* printSettings,
                                       ICoreWebView2PrintToPdfStreamCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const auto layout = preparePdfPrinting(printSettings);
    if (!layout)
        return hr::E_NOTIMPL;
    ComPtr<ICoreWebView2PrintToPdfStreamCompletedHandler> completion(handler);
    ComPtr<CoreWebView2> self(this);
    afterSettingsApplied([this, self, completion, layout] {
        m_page->printToPdf(
            [self, completion](const QByteArray& pdf) {
                if (completion && self->usable())
                    completion->Invoke(pdf.isEmpty() ? hr::E_FAIL : hr::S_OK, pdf);
            },
            *layout);
    });
    return hr::S_OK;
}

// Qt has one print dialog, for both kinds. It opens on the current printer;
// unattended, it is answered with its defaults. The job then goes through
// the printer seam, and the printer lives until the view has printed.
HRESULT CoreWebView2::ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (printDialogKind != COREWEBVIEW2_PRINT_DIALOG_KIND_BROWSER &&
        printDialogKind != COREWEBVIEW2_PRINT_DIALOG_KIND_SYSTEM)
        return hr::E_INVALIDARG;
    if (m_printer)
        return hr::E_ABORT; // one job at a time: the view prints asynchronously
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const QString current = printing::currentPrinter();
    if (!current.isEmpty())
        printer->setPrinterName(current);
    if (!ui::isUnattended()) {
        QPrintDialog dialog(printer.get(), m_view);
        if (dialog.exec() != QDialog::Accepted || !usable())
            return hr::S_OK;
    }
    printing::prepareJob(*printer);
    m_printer = std::move(printer);
    QObject::connect(
        m_view, &QWebEngineView::printFinished, m_view, [this](bool) { m_printer.reset(); },
        Qt::SingleShotConnection);
    m_view->print(m_printer.get());
    return hr::S_OK;
}
