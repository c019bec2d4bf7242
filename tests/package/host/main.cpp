// A host program outside the tree: it finds the installed package, shows a
// DICOM file in the viewer widget and checks the picture the viewer saves of it.
//
//   kest_package_host FILE OUT.png [TIMEOUT_SECONDS]
//
// Prints the loaded document and the saved picture; exits 0 when the file is
// shown, else with one of the codes of HostExit.

#include <KestDicomView/KestDicomViewWidget.h>

#include <QApplication>
#include <QImage>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

enum HostExit { Shown = 0, Refused = 1, TimedOut = 2, BlankPicture = 3 };

constexpr int DefaultTimeoutSeconds = 90;

struct LoadedImage {
    QString fileName;
    int width = 0;
    int height = 0;
};

// A shown image has more than one pixel value; a blank or failed page has one.
bool hasContent(const QImage& image) {
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

HostExit saveAndCheck(KestDicomViewWidget& viewer, const LoadedImage& loaded, const QString& out) {
    std::printf("ImageLoaded %s %dx%d\n", qPrintable(loaded.fileName), loaded.width, loaded.height);
    const Variant saved = viewer.control().call(QStringLiteral("SaveImage"), {Variant(out)});
    if (!saved.toBool()) {
        std::fprintf(stderr, "SaveImage refused %s\n", qPrintable(out));
        return BlankPicture;
    }
    const QImage picture(out);
    if (!hasContent(picture)) {
        std::fprintf(stderr, "the saved picture %s is missing or blank\n", qPrintable(out));
        return BlankPicture;
    }
    std::printf("saved %s %dx%d\n", qPrintable(out), picture.width(), picture.height());
    return Shown;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: kest_package_host FILE OUT.png [TIMEOUT_SECONDS]\n");
        return Refused;
    }
    const QString file = arguments[1];
    const QString out = arguments[2];
    const int timeoutSeconds = arguments.size() > 3 ? arguments[3].toInt() : DefaultTimeoutSeconds;

    KestDicomViewWidget viewer;
    viewer.resize(640, 480);
    viewer.show();

    std::optional<HostExit> result;
    const auto finish = [&](HostExit code) {
        if (result)
            return;
        result = code;
        QApplication::quit();
    };
    const int cookie = viewer.events().advise(
        std::make_shared<FunctionEventSink>([&](DispId, const QString& name, QList<Variant>& args) {
            if (name != QLatin1String("ImageLoaded") || args.size() < 3)
                return;
            const LoadedImage loaded{args[0].toString(), args[1].toLong(), args[2].toLong()};
            // The picture is taken once the viewer has returned from raising the event.
            QTimer::singleShot(0, &app, [&, loaded] { finish(saveAndCheck(viewer, loaded, out)); });
        }));

    if (!viewer.IsDicomFile(file) || !viewer.LoadDicomFile(file)) {
        std::fprintf(stderr, "the viewer refused %s\n", qPrintable(file));
        viewer.events().unadvise(cookie);
        return Refused;
    }
    QTimer::singleShot(timeoutSeconds * 1000, &app, [&] {
        std::fprintf(stderr, "no ImageLoaded within %d s\n", timeoutSeconds);
        finish(TimedOut);
    });
    // The load may already have finished while LoadDicomFile waited for the pages.
    if (!result)
        QApplication::exec();
    viewer.events().unadvise(cookie);
    return result.value_or(TimedOut);
}
