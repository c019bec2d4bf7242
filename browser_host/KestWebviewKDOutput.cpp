// Output of the page: captures to a file or the clipboard, the print dialog,
// PDF files and streams; and the user agent and browsing data.

#include "KestWebviewKD.h"

#include "HostValues.h"

#include "platform/MessagePump.h"
#include "support/modOperationFichierSimple.h"
#include "support/modShellExtended.h"
#include "support/modSpecialFolders.h"
#include "webview2_binding/cWebView2.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

using namespace hostvalues;

namespace {

// The capture folder: KestWebView2 in the user's pictures folder.
QString captureFolder() {
    return files::withTrailingSeparator(specialfolders::path(specialfolders::Pictures)) +
           QStringLiteral("KestWebView2/");
}

// "WebPicture_" and the time to the second; a capture taken within the same
// second as an earlier one gets a number rather than replacing it.
QString defaultCaptureName(int imageFormat) {
    const QString folder = captureFolder();
    QDir().mkpath(folder);
    const QString stem = folder + QStringLiteral("WebPicture_") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    const QString extension = imageFormat == 1 ? QStringLiteral(".jpg") : QStringLiteral(".png");
    QString name = stem + extension;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('_') + QString::number(n) + extension;
    return name;
}

bool writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size() && file.commit();
}

// The PDF settings Qt WebEngine 6.4 cannot print with, refused rather than
// dropped: it has no scale factor, no selection printing and no header or footer.
void refuseUnsupportedPdfOptions(double scaleFactor, bool selectionOnly, bool headerAndFooter) {
    QString option;
    if (scaleFactor != 1.0)
        option = QStringLiteral("a scale factor other than 1");
    else if (selectionOnly)
        option = QStringLiteral("the selection only");
    else if (headerAndFooter)
        option = QStringLiteral("a header and footer");
    if (!option.isEmpty())
        throw AutomationError(vberr::InvalidProcedureCall,
                              QStringLiteral("The browser cannot print to PDF with ") + option,
                              hosterr::ControlSource);
}

} // namespace

bool KestWebviewKD::CapturePreview(QString& filePathAndName, int imageFormat, bool toView) {
    if (!m_wv)
        return false;
    if (filePathAndName.isEmpty())
        filePathAndName = defaultCaptureName(imageFormat);
    if (!writeWhole(filePathAndName, m_wv->CapturePreview(imageFormat)))
        return false;
    if (toView)
        shellopen::open(filePathAndName, {}, this);
    return true;
}

void KestWebviewKD::bindCaptureMembers() {
    bindMethod("CapturePreview", [this](QList<Variant>& a) {
        try {
            QString path = a[0].toString();
            const bool captured = CapturePreview(path, a[1].toLong(), a[2].toBool());
            a[0] = text(path);
            return Variant(captured);
        } catch (...) {
            return Variant(false);
        }
    });
    bindMethod("CapturePreviewToClipBoard", forwarding([this](QList<Variant>&) {
                   // A bitmap made from the JPEG picture, which other programs can paste.
                   const QImage image = QImage::fromData(m_wv->CapturePreview(1), "JPG");
                   if (!image.isNull())
                       QApplication::clipboard()->setImage(image);
               }));
    bindMethod("OpenKestWebView2CaptureDirectory", [this](QList<Variant>&) {
        const QString folder = captureFolder();
        QDir().mkpath(folder);
        shellopen::open(folder, {}, this);
        return Variant();
    });
}

void KestWebviewKD::bindPrintMembers() {
    bindMethod("ShowPrintDialog", forwarding([this](QList<Variant>& a) {
                   m_wv->SetFocus(0);
                   pump::processPending();
                   m_wv->ShowPrintUI(a[0].toLong());
                   pump::processPending();
               }));
    bindMethod("PrintToPdf", [this](QList<Variant>& a) {
        if (!m_wv)
            return Variant();
        refuseUnsupportedPdfOptions(a[3].toDouble(), a[11].toBool(), a[12].toBool());
        return m_wv->PrintToPdf(a[0].toString(), a[1].toDouble(), a[2].toBool(), a[3].toDouble(),
                                a[4].toDouble(), a[5].toDouble(), a[6].toDouble(), a[7].toDouble(),
                                a[8].toDouble(), a[9].toDouble(), a[10].toBool(), a[11].toBool(),
                                a[12].toBool(), a[13].toString(), a[14].toString());
    });
    bindMethod("PrintToPdfStream", [this](QList<Variant>& a) {
        if (!m_wv)
            return Variant::fromBytes({});
        refuseUnsupportedPdfOptions(a[2].toDouble(), a[10].toBool(), a[11].toBool());
        return Variant::fromBytes(m_wv->PrintToPdfStream(
            a[0].toDouble(), a[1].toBool(), a[2].toDouble(), a[3].toDouble(), a[4].toDouble(),
            a[5].toDouble(), a[6].toDouble(), a[7].toDouble(), a[8].toDouble(), a[9].toBool(),
            a[10].toBool(), a[11].toBool(), a[12].toString(), a[13].toString()));
    });
}

void KestWebviewKD::bindBrowserDataMembers() {
    bindMethod("ClearBrowsingData", [this](QList<Variant>& a) {
        if (!m_wv)
            return Variant();
        return Variant(
            m_wv->ClearBrowsingData(static_cast<std::uint32_t>(a[0].toLong()), a[1].toDouble()));
    });
    bindMethod("GetUserAgent", [this](QList<Variant>&) {
        requireBrowser();
        return text(m_wv->UserAgent());
    });
    bindMethod("SetUserAgent", [this](QList<Variant>& a) {
        requireBrowser();
        m_wv->setUserAgent(a[0].toString());
        return Variant();
    });
    bindMethod("RestoreUserAgent", [this](QList<Variant>&) {
        requireBrowser();
        if (m_wv->UserAgent() != m_defaultUserAgent)
            m_wv->setUserAgent(m_defaultUserAgent);
        return Variant();
    });
}
