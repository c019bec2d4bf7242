// kestdicom-render: loads a DICOM file into the viewer, created by its
// programmatic identifier as any host does, prints the viewer's events as
// JSON lines and saves the displayed image and the visible page on request.
//   kestdicom-render [--tags] [--invert] [--sidebar] [--image OUT.png|OUT.jpg] [--canvas OUT.png]
//                    [--values OUT] [--timeout S] [--show] FILE
// --values writes the stored values of the frame shown as the page holds them
// (a JSON header line, then the values; see the image page's saveCurrentValues).

#include "RenderHost.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString ProgId = QStringLiteral("KestDicomViewControl.KestDicomViewAX");

int fail(const QString& message) {
    std::fprintf(stderr, "kestdicom-render: %s\n", qPrintable(message));
    return 1;
}

bool waitFor(const std::function<bool()>& done, double seconds) {
    return pump::waitUntil(done, std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
}

// The viewer writes the image when the page answers: wait for a complete file.
bool waitForFile(const QString& path, double seconds) {
    qint64 lastSize = -1;
    return waitFor(
        [&] {
            const qint64 size = QFileInfo(path).size();
            const bool stable = size > 0 && size == lastSize;
            lastSize = size;
            return stable;
        },
        seconds);
}

int render(const QCommandLineParser& options, const QString& file) {
    const double timeout = options.value("timeout").toDouble();
    RenderHost host(ProgId);
    Dispatch& viewer = host.viewer();
    if (options.isSet("tags"))
        viewer.put("ShowTagsOnLoad", Variant(true));
    if (options.isSet("invert"))
        viewer.put("InvertOnLoad", Variant(true));
    if (options.isSet("sidebar"))
        viewer.put("ShowSidebarOnLoad", Variant(true));
    if (!viewer.call("LoadDicomFile", {Variant(file)}).toBool())
        return fail(
            QStringLiteral("the viewer refused %1 (not a readable DICOM file, or the browser "
                           "could not start)")
                .arg(file));
    if (!waitFor([&] { return host.received("ImageLoaded"); }, timeout))
        return fail(QStringLiteral("no image was loaded within %1 seconds").arg(timeout));
    // Inverting on load is the page's answer to the viewer: wait for it.
    if (options.isSet("invert") &&
        !waitFor([&] { return host.received("InvertStatusChange"); }, timeout))
        return fail(QStringLiteral("the image was not inverted within %1 seconds").arg(timeout));
    if (options.isSet("image")) {
        const QString out = QFileInfo(options.value("image")).absoluteFilePath();
        QFile::remove(out);
        if (!viewer.call("SaveImage", {Variant(out)}).toBool())
            return fail(QStringLiteral("the viewer could not save the image to %1").arg(out));
        if (!waitForFile(out, timeout))
            return fail(QStringLiteral("the image was not written to %1").arg(out));
    }
    if (options.isSet("values")) {
        const QString out = QFileInfo(options.value("values")).absoluteFilePath();
        QFile::remove(out);
        viewer.call("RunJs", {Variant(QStringLiteral("saveCurrentValues")), Variant(out)});
        if (!waitForFile(out, timeout))
            return fail(QStringLiteral("the values were not written to %1").arg(out));
    }
    if (options.isSet("canvas")) {
        const QString out = QFileInfo(options.value("canvas")).absoluteFilePath();
        // Let the page in front finish drawing: the tags page, or the report
        // page that replaces an image page without an image.
        waitFor([] { return false; }, 1.5);
        if (!viewer.call("SaveCanvas", {Variant(out)}).toBool() || !QFileInfo(out).size())
            return fail(QStringLiteral("the viewer could not save the page to %1").arg(out));
    }
    if (options.isSet("show"))
        return QApplication::exec(); // the viewer stays open until its window is closed
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestdicom-render"));
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Renders a DICOM file with the KestDicomView control."));
    options.addHelpOption();
    options.addOptions({
        {"tags", "Show the tags page on load."},
        {"invert", "Invert the grey scale on load."},
        {"sidebar", "Show the tool sidebar on load."},
        {"image", "Save the displayed image (PNG or JPEG).", "file"},
        {"canvas", "Save the visible page (PNG or JPEG).", "file"},
        {"values", "Save the stored and modality values of the frame shown.", "file"},
        {"timeout", "Seconds to wait for each step.", "seconds", "60"},
        {"show", "Keep the viewer open on the screen after loading."},
    });
    options.addPositionalArgument("file", "The DICOM file.");
    options.process(app);
    if (options.positionalArguments().size() != 1)
        return fail(QStringLiteral("give exactly one DICOM file (see --help)"));
    try {
        return render(options, QFileInfo(options.positionalArguments().first()).absoluteFilePath());
    } catch (const AutomationError& error) {
        return fail(error.description());
    }
}
