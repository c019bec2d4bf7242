// The image page's messages: the document's description, clicks, zoom, offsets, buttons and
// pictures.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "DecoderProcess.h"
#include "PageMessage.h"
#include "ViewerValues.h"

#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QSaveFile>

#include <cmath>

using viewervalues::flag;
using viewervalues::text;

void KestDicomViewAX::raise(const QString& event, std::initializer_list<Variant> args) {
    m_events.raise(event, args);
}

void KestDicomViewAX::onHostEvent(BrowserHostProxy& host, const QString& name,
                                  QList<Variant>& args) {
    if (name == QLatin1String("InitComplete")) {
        host.ready = true;
        return;
    }
    if (&host == m_dicomDir.get()) {
        if (name == QLatin1String("JSMessage") && args.size() >= 2)
            onDicomdirMessage(args[0].toString(), args[1].toString());
        return;
    }
    if (&host != m_image.get())
        return; // the tags page's messages have no effect
    if (name == QLatin1String("ProcessFailed"))
        onImageProcessFailed();
    else if (name == QLatin1String("NavigationCompleted"))
        m_placeholderAfterCrash = false;
    else if (name == QLatin1String("NavigationStarting")) {
        m_imagePresent = false;
        m_measurements.clear();
        cancelDecoding();
    } else if (name == QLatin1String("JSMessage") && args.size() >= 2)
        onPageMessage(args[0].toString(), args[1].toString());
}

void KestDicomViewAX::onPageMessage(const QString& name, const QString& content) {
    // A value that cannot be read or converted ends the message's handling.
    try {
        if (name == QLatin1String("imageChanged"))
            onImageChanged(content);
        else if (name == QLatin1String("imageClicked"))
            onImageClicked(content);
        else if (name == QLatin1String("zoomChanged"))
            onZoomChanged(content);
        else if (name == QLatin1String("buttonClicked"))
            onButtonClicked(content);
        else if (name == QLatin1String("saveImage"))
            onSaveImage(content);
        else if (name == QLatin1String("saveImageError"))
            showSaveError(content);
        else if (name == QLatin1String("imageDimensions"))
            onImageDimensions(content);
        else if (name == QLatin1String("imageDimensionsError"))
            ui::messageBox(QStringLiteral("Erreur: ") + content);
        else if (name == QLatin1String("offsetChanged"))
            onOffsetChanged(content);
        else if (name == QLatin1String("NoImage"))
            onNoImage();
        else if (name == QLatin1String("decodePixels"))
            onDecodePixels(content);
        else if (name == QLatin1String("stackImageChanged"))
            onStackImageChanged(content);
        else if (name == QLatin1String("releasePixels"))
            onReleasePixels(content);
        else if (name == QLatin1String("measurementChanged"))
            onMeasurementChanged(content);
    } catch (const AutomationError&) {
    }
}

namespace {

// The value of a key, or an error that ends the message's handling.
QString valueOf(const QString& content, const char* key) {
    const auto value = pagemessage::value(content, QLatin1String(key));
    if (!value)
        throw AutomationError::standard(vberr::TypeMismatch);
    return *value;
}

template <typename T> T required(const std::optional<T>& value) {
    if (!value)
        throw AutomationError::standard(vberr::TypeMismatch);
    return *value;
}

QString zeroIfEmpty(const QString& value) {
    return value.isEmpty() ? QStringLiteral("0") : value;
}

} // namespace

// The description of the image shown, which the page sends with each image.
void KestDicomViewAX::readDescription(const QString& content) {
    m_document.patientName = valueOf(content, "nom");
    m_document.birthDate = valueOf(content, "naissance");
    m_document.examDate = valueOf(content, "dateExamen");
    m_document.widthText = valueOf(content, "largeur");
    m_document.heightText = valueOf(content, "hauteur");
    m_document.fileName = valueOf(content, "fileName");
    m_document.modality = valueOf(content, "modality");
    m_document.multiFrame = valueOf(content, "multiFrame") == QLatin1String("true");
    m_document.frame = required(pagemessage::toInteger(valueOf(content, "frame")));
    m_document.frames = required(pagemessage::toInteger(valueOf(content, "totalFrames")));
    // The spacing is the file's own text: one that is not two numbers leaves
    // the image uncalibrated instead of ending the load unreported.
    const QStringList parts = valueOf(content, "pixelSpacing").split(QStringLiteral("//"));
    const auto height = pagemessage::toDouble(parts.value(0));
    const auto width = pagemessage::toDouble(parts.value(1));
    const bool calibrated = parts.size() >= 2 && height && width;
    m_document.pixelHeight = calibrated ? *height : -1.0;
    m_document.pixelWidth = calibrated ? *width : -1.0;
    m_document.widthText = zeroIfEmpty(m_document.widthText);
    m_document.heightText = zeroIfEmpty(m_document.heightText);
    m_imagePresent = required(pagemessage::toLong(m_document.heightText)) >= 1 &&
                     required(pagemessage::toLong(m_document.widthText)) >= 1;
}

void KestDicomViewAX::onImageChanged(const QString& content) {
    m_awaitingPage = false;
    readDescription(content);
    m_stackIndex = m_stack.isSingleImage() ? m_document.frame : m_stack.firstImage();
    m_stackCount = m_stack.isSingleImage() ? std::max<int>(m_document.frames, 1) : m_stack.count();
    if (m_invertOnLoad)
        callPage(QStringLiteral("PressButton"), {text(QStringLiteral("Invert"))});
    else
        raise(QStringLiteral("InvertStatusChange"), {flag(m_inverted)});
    m_sideBarVisible = m_showSidebarOnLoad;
    if (m_sideBarVisible)
        showSidebar();
    else
        hideSidebar();
    raiseImageLoaded(!m_imagePresent);
    if (m_imagePresent)
        raise(QStringLiteral("ToolSelected"),
              {text(QStringLiteral("Wwwc")), Variant(std::int32_t(Tool_Wwwc))});
    m_noImage = !m_imagePresent;
}

void KestDicomViewAX::raiseImageLoaded(bool noImage) {
    scheduleDueTags();
    if (noImage) {
        raise(QStringLiteral("ImageLoaded"),
              {text(m_document.fileName), Variant(0), Variant(0), text(m_document.modality),
               text(m_document.patientName), text(m_document.birthDate), text(m_document.examDate),
               flag(false), Variant(std::int16_t(0)), Variant(std::int16_t(0)), Variant(-1.0),
               Variant(-1.0), flag(true)});
        return;
    }
    raise(QStringLiteral("ImageLoaded"),
          {text(m_document.fileName), Variant(required(pagemessage::toLong(m_document.widthText))),
           Variant(required(pagemessage::toLong(m_document.heightText))), text(m_document.modality),
           text(m_document.patientName), text(m_document.birthDate), text(m_document.examDate),
           flag(m_document.multiFrame), Variant(m_document.frame), Variant(m_document.frames),
           Variant(m_document.pixelHeight), Variant(m_document.pixelWidth), flag(false)});
}

void KestDicomViewAX::onImageClicked(const QString& content) {
    const std::int32_t x = required(pagemessage::toLong(valueOf(content, "pixelX")));
    const std::int32_t y = required(pagemessage::toLong(valueOf(content, "pixelY")));
    const double value = required(pagemessage::toDouble(valueOf(content, "pixelValue")));
    const double width = required(pagemessage::toDouble(m_document.widthText));
    const double height = required(pagemessage::toDouble(m_document.heightText));
    if (x >= 0 && x <= width && y >= 0 && y <= height)
        raise(QStringLiteral("ImagePixelClic"), {Variant(x), Variant(y), Variant(value)});
}

void KestDicomViewAX::onZoomChanged(const QString& content) {
    m_zoomFactor = required(pagemessage::toInteger(content));
    raise(QStringLiteral("ZoomChanged"), {Variant(m_zoomFactor)});
}

void KestDicomViewAX::onButtonClicked(const QString& button) {
    const tools::ReportedTool tool = tools::fromButton(button);
    if (button == QLatin1String("Invert")) {
        m_inverted = !m_inverted;
        raise(QStringLiteral("InvertStatusChange"), {flag(m_inverted)});
    } else if (tool.number == Tool_FrameNext || tool.number == Tool_FramePrevious) {
        followFrameStep(tool.number == Tool_FrameNext ? 1 : -1);
    } else if (button == QLatin1String("Reinit")) {
        m_inverted = false;
        if (m_image->documentTitle() == QLatin1String("Console DICOM") && m_invertOnLoad)
            callPage(QStringLiteral("PressButton"), {text(QStringLiteral("Invert"))});
        else
            raise(QStringLiteral("InvertStatusChange"), {flag(false)});
    }
    raise(QStringLiteral("ToolSelected"), {text(tool.name), Variant(std::int32_t(tool.number))});
}

// The page reports a frame step as its button; it steps only within the
// document's frames, and so does the frame index kept here.
void KestDicomViewAX::followFrameStep(int step) {
    const int frame = m_document.frame + step;
    if (m_imagePresent && frame >= 0 && frame < m_document.frames && m_stack.isSingleImage()) {
        m_document.frame = static_cast<std::int16_t>(frame);
        m_stackIndex = frame;
    }
}

void KestDicomViewAX::onSaveImage(const QString& content) {
    QString target = valueOf(content, "fileName");
    target.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    const auto picture = QByteArray::fromBase64Encoding(valueOf(content, "base64").toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& bytes = picture.decoded;
    const bool clipboard = target == QLatin1String("ClipBoard.jpg");
    const bool print = target == QLatin1String("Print.jpg");
    if (clipboard || print)
        target = m_tempFolder + target;
    // A missing or broken picture must not empty the target, and a failed
    // write must not pass in silence: the existing file stays as it was.
    if (!picture || bytes.isEmpty()) {
        showSaveError(QStringLiteral("no picture was received for ") + target);
        return;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showSaveError(target + QStringLiteral(": ") + file.errorString());
        return;
    }
    if (clipboard) {
        // An image (not the JPEG's bytes), which other programs paste as a bitmap.
        QApplication::clipboard()->setImage(QImage(target));
        ui::beep();
    } else if (print && m_pendingPrintId) {
        // Only a picture PrintImage asked for is printed: a page cannot start a job by itself.
        printPicture(*m_pendingPrintId);
        endPendingPrint();
    }
}

void KestDicomViewAX::showSaveError(const QString& reason) {
    ui::messageBox(QStringLiteral("Erreur lors de la sauvegarde : ") + reason);
    // The job that waited for the picture ends here: the printer it chose is given back.
    endPendingPrint();
}

void KestDicomViewAX::endPendingPrint() {
    if (!m_pendingPrintId)
        return;
    m_pendingPrintId.reset();
    restorePrinter();
}

void KestDicomViewAX::onImageDimensions(const QString& content) {
    m_document.heightText = zeroIfEmpty(valueOf(content, "hauteur"));
    m_document.widthText = zeroIfEmpty(valueOf(content, "largeur"));
}

void KestDicomViewAX::onOffsetChanged(const QString& content) {
    const double dpr = pagemessage::numericPrefix(valueOf(content, "dpr"));
    const auto scaled = [&](const char* key) {
        return Variant(std::nearbyint(pagemessage::numericPrefix(valueOf(content, key)) * dpr))
            .toLong();
    };
    const auto whole = [&](const char* key) {
        return Variant(required(pagemessage::toLong(valueOf(content, key))));
    };
    QList<Variant> args{
        whole("imageX"),  whole("imageY"),  Variant(scaled("screenX")), Variant(scaled("screenY")),
        whole("originX"), whole("originY"), whole("viewportLeft"),      whole("viewportTop"),
        Variant(dpr)};
    m_events.raise(QStringLiteral("OffsetChanged"), args);
}

void KestDicomViewAX::onNoImage() {
    m_awaitingPage = false;
    // The previous document's description must not outlive it: a report or a
    // document shown afterwards keeps only its own file names and its kind.
    DocumentState shown = DocumentState::afterReset();
    shown.dcmFile = m_document.dcmFile;
    shown.fileName = m_document.fileName;
    m_document = shown;
    const bool report = m_documentPath.isEmpty();
    m_image->navigateToFile(report ? m_instanceFolder + QStringLiteral("KDVAX_SR.html")
                                   : m_documentPath);
    m_document.modality = report ? QStringLiteral("SR") : QStringLiteral("DOC");
    m_imagePresent = false;
    m_noImage = true;
    raiseImageLoaded(true);
    bringToFront(*m_image);
}

// The image page's browser process ended (it crashed or was killed): what it
// showed is gone. A load still waiting for the page ends as a load without an
// image and without a modality, so that a host waiting for ImageLoaded goes
// on; the placeholder page then starts a new process for the next load.
void KestDicomViewAX::onImageProcessFailed() {
    const bool pending = m_awaitingPage;
    const QString workingCopy = m_document.dcmFile;
    m_awaitingPage = false;
    m_imagePresent = false;
    m_noImage = false;
    m_document = DocumentState::afterReset();
    m_document.dcmFile = workingCopy;
    m_placeholderAfterCrash = true;
    m_image->navigateToString(m_placeholderPage);
    if (!pending)
        return;
    m_document.fileName = workingCopy;
    raiseImageLoaded(true);
}
