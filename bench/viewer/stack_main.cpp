// bench_stack: the viewer's stacks against a bare Cornerstone stack page
// (cornerstoneTools' stack state, StackScrollMouseWheelTool and stackPrefetch),
// each figure with its reference measured in the same run, as median (min-max)
// of several runs and their ratio:
//   scroll      a 300-image 512x512 16-bit series (and its JPEG lossless copy)
//               scrolled by wheel notches arriving at 60 per second, both pages
//               opened afresh at the first image and left to prefetch first:
//               images displayed per second, and the time from a notch to its
//               image displayed for images loaded before their notch;
//   open        StackMode True, LoadDicomFile of a file of that folder to
//               ImageLoaded, against the same file loaded alone;
//   memory      the whole process tree's proportional set size while a
//               1,000-image series is scrolled end to end with CacheSizeMB 128
//               (more notches after the first 999 if the page merged some),
//               against the same viewer showing one file (in a process of its own);
//   cine        PlayCine at 10, 25 and 50 per second: images displayed per
//               second against the rate asked, and cornerstoneTools' playClip.
//   bench_stack [--runs N] [--quick] [--cine-seconds N] [--only scroll|open|memory|cine]

#include "BareStackPage.h"
#include "ProcessTree.h"
#include "Samples.h"
#include "StackProbe.h"
#include "ViewerUnderTest.h"

#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineView>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

using benchviewer::msSince;
using benchviewer::Patience;
using benchviewer::Viewer;

constexpr double WheelRate = 60;
constexpr qint64 MiB = 1024 * 1024;
constexpr std::int32_t MemoryCacheMB = 128;

bool fail(const char* what) {
    std::fprintf(stderr, "bench_stack: %s\n", what);
    return false;
}

struct Options {
    int runs = 3;
    bool quick = false;
    int cineSeconds = 60;
    int scrollImages = 300;
    int memoryImages = 1000;
    QString only; // scroll, open, memory or cine; empty for all
};

// An axial series of 512x512 16-bit slices named s0000.dcm... from the head
// down (the order the viewer shows them in), each slice a disc over a ramp with
// noise, so that its lossless compression is not trivial.
bool writeSeries(const QString& folder, int slices) {
    const char* script = R"(
import os, sys
import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
folder, slices = sys.argv[1], int(sys.argv[2])
os.makedirs(folder, exist_ok=True)
series, study = generate_uid(), generate_uid()
rng = np.random.default_rng(7)
y, x = np.mgrid[0:512, 0:512]
ramp = (x + y).astype(np.int32)
for place in range(slices):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.2'
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.PatientName, ds.PatientID, ds.Modality = 'BENCH^STACK', 'BENCH1', 'CT'
    ds.StudyInstanceUID, ds.SeriesInstanceUID = study, series
    ds.InstanceNumber = place + 1
    ds.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
    ds.ImagePositionPatient = [0, 0, 1000.0 - place]
    ds.PixelSpacing, ds.SliceThickness = [0.7, 0.7], 1
    ds.Rows = ds.Columns = 512
    ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.RescaleSlope, ds.RescaleIntercept = 1, -1024
    ds.WindowCenter, ds.WindowWidth = 40, 400
    radius = 100 + 100 * abs(np.sin(place / 40.0))
    disc = ((x - 256) ** 2 + (y - 256) ** 2 < radius ** 2) * 1000
    pixels = ramp + disc + rng.integers(0, 64, size=(512, 512))
    ds.PixelData = pixels.astype('<u2').tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(os.path.join(folder, 's%04d.dcm' % place), write_like_original=False)
)";
    return QProcess::execute(
               QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"), QLatin1String(script), folder, QString::number(slices)}) == 0;
}

// The series in JPEG lossless (process 14, first-order prediction), with dcmcjpeg's defaults.
bool writeJpegLossless(const QString& from, const QString& to) {
    QDir().mkpath(to);
    const QString command =
        QStringLiteral("cd '%1' && ls | xargs -P2 -I{} dcmcjpeg {} '%2/{}'").arg(from, to);
    return QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}) == 0;
}

QStringList seriesFiles(const QString& folder, int count) {
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(QStringLiteral("%1/s%2.dcm").arg(folder).arg(i, 4, 10, QLatin1Char('0')));
    return files;
}

// Waits until the program and its helpers (the browser's processes among
// them) use less than a tenth of a processor for half a second, at most a minute.
void settle() {
    const long long quiet = std::max(1L, sysconf(_SC_CLK_TCK) / 20);
    QElapsedTimer clock;
    clock.start();
    long long before = processTreeCpuTicks(getpid());
    while (clock.elapsed() < 60'000) {
        pump::waitUntil([] { return false; }, std::chrono::milliseconds(500));
        const long long now = processTreeCpuTicks(getpid());
        if (now - before < quiet)
            return;
        before = now;
    }
    std::fputs("bench_stack: the browser did not settle within a minute\n", stderr);
}

void pause(std::chrono::milliseconds duration) {
    pump::waitUntil([] { return false; }, duration);
}

// The viewer loads a file, with or without its series; milliseconds to ImageLoaded, -1 for none.
double viewerLoad(Viewer& viewer, const QString& file, bool stack) {
    viewer.control->put(QStringLiteral("StackMode"), Variant(stack));
    return viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(file); });
}

// The viewer's stack opened afresh at file: another file loaded alone first,
// so that the page starts with nothing read ahead.
QWebEngineView* openViewerStack(Viewer& viewer, const QString& other, const QString& file) {
    if (viewerLoad(viewer, other, false) < 0 || viewerLoad(viewer, file, true) < 0)
        return nullptr;
    return viewer.imageView();
}

// The bare stack page in a view of its own, in the same process.
struct BareStackView {
    QWebEngineView view;
    QString title;
    int tokens = 0;

    explicit BareStackView(const QString& page) {
        view.resize(1024, 768);
        QObject::connect(&view, &QWebEngineView::titleChanged,
                         [this](const QString& text) { title = text; });
        bool loaded = false;
        QObject::connect(&view, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
        view.load(QUrl::fromLocalFile(page));
        view.show();
        pump::waitUntil([&] { return loaded; }, Patience);
    }

    bool open(const QStringList& files, qint64 cacheBytes) {
        const QString token = QStringLiteral("t%1").arg(++tokens);
        view.page()->runJavaScript(barestackpage::openScript(files, cacheBytes, token));
        return pump::waitUntil([&] { return title == barestackpage::openedTitle(token); },
                               Patience);
    }
};

// Wheel notches at 60 per second from the first image, once the page has read
// ahead what it reads ahead; then until the last image is displayed, or five seconds.
stackprobe::ScrollFigures scrollFromStart(QWebEngineView* view, int count) {
    settle();
    if (!stackprobe::start(view))
        return {};
    const stackprobe::Wheeling wheeling =
        stackprobe::turnWheel(stackprobe::wheelTarget(view), count - 1, WheelRate);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && stackprobe::lastShown(view) < count - 1)
        pause(std::chrono::milliseconds(20));
    auto figures = stackprobe::scrollFigures(stackprobe::finish(view, count), 0);
    figures.hostLongestWaitMs = wheeling.longestWaitMs;
    return figures;
}

// More notches, at the same rate, until the last image is shown (notches the
// page merged stepped one image each); returns the index reached.
int scrollToEnd(QWebEngineView* view, int count) {
    const stackprobe::WheelTarget target = stackprobe::wheelTarget(view);
    int reached = stackprobe::lastShown(view);
    for (int round = 0; round < 20 && reached >= 0 && reached < count - 1; ++round) {
        stackprobe::turnWheel(target, count - 1 - reached, WheelRate);
        pause(std::chrono::seconds(1));
        reached = stackprobe::lastShown(view);
    }
    return reached;
}

// A line of what one scroll saw, for reading the figures.
void printScroll(const char* who, const stackprobe::ScrollFigures& figures) {
    std::printf("  %-6s wheel events seen %d (deltaY %.0f), each %.1f ms from host to page; "
                "displayed %d, last image %d, %s, %zu timed; page long tasks %.0f ms, host "
                "thread's longest wait %.0f ms; %.1f/s, median %.1f ms, p95 %.1f ms\n",
                who, figures.wheelsSeen, figures.deltaY, figures.deliveryMs, figures.shownCount,
                figures.lastIndex, figures.ordered ? "in order" : "OUT OF ORDER",
                figures.latencies.size(), figures.longTaskMs, figures.hostLongestWaitMs,
                figures.shownPerSecond, stackprobe::percentile(figures.latencies, 0.5),
                stackprobe::percentile(figures.latencies, 0.95));
    std::fflush(stdout);
}

// A figure with a goal of its own (not a ratio to its reference).
void printLimit(const char* name, const char* unit, const Samples& measured,
                const Samples& reference, const char* goal, bool met) {
    if (measured.empty()) {
        std::printf("%-24s not measured\n", name);
        return;
    }
    std::printf("%-24s %-24s ref %-24s %-4s goal %s: %s\n", name, qPrintable(measured.text(1)),
                reference.empty() ? "-" : qPrintable(reference.text(1)), unit, goal,
                met ? "met" : "NOT met");
    std::fflush(stdout);
}

struct ScrollSamples {
    Samples rate, median, p95;

    void add(const stackprobe::ScrollFigures& figures) {
        if (figures.shownCount == 0)
            return;
        rate.add(figures.shownPerSecond);
        if (figures.latencies.empty())
            return;
        median.add(stackprobe::percentile(figures.latencies, 0.5));
        p95.add(stackprobe::percentile(figures.latencies, 0.95));
    }
};

struct Setup {
    QString root;
    QString other;
    QString libraryFolder;
    QString plain;
    QString jpeg;
    QString large;
    QString barePage;
};

void scrolling(Viewer& viewer, BareStackView& bare, const Setup& setup, const Options& options) {
    const std::pair<const char*, QString> series[] = {{"uncompressed", setup.plain},
                                                      {"JPEG lossless", setup.jpeg}};
    const qint64 cacheBytes = viewer.control->get(QStringLiteral("CacheSizeMB")).toLong() * MiB;
    for (const auto& [name, folder] : series) {
        const QStringList files = seriesFiles(folder, options.scrollImages);
        ScrollSamples measured, reference;
        std::printf("scroll, %s series of %d, notches at %.0f/s:\n", name, options.scrollImages,
                    WheelRate);
        for (int run = 0; run < options.runs; ++run) {
            QWebEngineView* view = openViewerStack(viewer, setup.other, files.first());
            if (!view) {
                fail("the viewer did not open the stack");
                return;
            }
            const auto figures = scrollFromStart(view, options.scrollImages);
            printScroll("viewer", figures);
            measured.add(figures);
            if (!bare.open(files, cacheBytes)) {
                fail("the bare stack page did not open the stack");
                return;
            }
            const auto figuresRef = scrollFromStart(&bare.view, options.scrollImages);
            printScroll("bare", figuresRef);
            reference.add(figuresRef);
        }
        printFigure("  images per second", "/s", measured.rate, reference.rate, 0.95, true);
        printFigure("  latency, median", "ms", measured.median, reference.median, 1.1);
        printLimit("  latency, 95th pct", "ms", measured.p95, reference.p95, "<= 33 ms",
                   !measured.p95.empty() && measured.p95.max() <= 33);
    }
}

void opening(Viewer& viewer, const Setup& setup, const Options& options) {
    const QString file =
        seriesFiles(setup.plain, options.scrollImages).at(options.scrollImages / 2);
    // The first of each fills the disk cache and the page's code cache.
    viewerLoad(viewer, file, false);
    viewerLoad(viewer, file, true);
    Samples alone, stacked;
    for (int run = 0; run < options.runs; ++run) {
        settle();
        const double single = viewerLoad(viewer, file, false);
        settle();
        const double stack = viewerLoad(viewer, file, true);
        if (single >= 0 && stack >= 0) {
            alone.add(single);
            stacked.add(stack);
        }
    }
    std::printf("open, a file of the folder of %d to ImageLoaded; ref: the file alone:\n",
                options.scrollImages);
    printFigure("  open series", "ms", stacked, alone, 1.2);
}

// Images displayed per second during the cine, from inside the page.
double cineRate(QWebEngineView* view, int count, const std::function<void()>& play,
                const std::function<void()>& stop, int seconds) {
    settle();
    if (!stackprobe::start(view))
        return -1;
    play();
    pause(std::chrono::seconds(seconds));
    stop();
    return stackprobe::displayRate(stackprobe::finish(view, count));
}

// KestImagePage.lastCine once the page has stopped the cine.
QString lastCine(QWebEngineView* view) {
    const QString script = QStringLiteral(
        "window.KestImagePage.lastCine ? JSON.stringify(window.KestImagePage.lastCine) : ''");
    QString text;
    pump::waitUntil(
        [&] {
            text = stackprobe::evaluate(view, script).toString();
            return !text.isEmpty();
        },
        std::chrono::seconds(5));
    return text;
}

void cine(Viewer& viewer, BareStackView& bare, const Setup& setup, const Options& options) {
    const QStringList files = seriesFiles(setup.plain, options.scrollImages);
    const qint64 cacheBytes = viewer.control->get(QStringLiteral("CacheSizeMB")).toLong() * MiB;
    const int runs = std::max(1, options.runs / 2);
    std::printf("cine over %d s, series of %d (%d runs); ref: cornerstoneTools' playClip:\n",
                options.cineSeconds, options.scrollImages, runs);
    for (const double rate : {10.0, 25.0, 50.0}) {
        Samples measured, reference;
        for (int run = 0; run < runs; ++run) {
            QWebEngineView* view = openViewerStack(viewer, setup.other, files.first());
            if (!view) {
                fail("the viewer did not open the stack");
                return;
            }
            stackprobe::evaluate(view, QStringLiteral("window.KestImagePage.lastCine = null"));
            const double shown = cineRate(
                view, options.scrollImages,
                [&] { viewer.control->call(QStringLiteral("PlayCine"), {Variant(rate)}); },
                [&] { viewer.control->call(QStringLiteral("StopCine")); }, options.cineSeconds);
            std::printf("  viewer at %.0f/s: %.2f/s displayed, lastCine %s\n", rate, shown,
                        qPrintable(lastCine(view)));
            if (shown >= 0)
                measured.add(shown);
            if (!bare.open(files, cacheBytes))
                return;
            const double shownRef = cineRate(
                &bare.view, options.scrollImages,
                [&] { bare.view.page()->runJavaScript(barestackpage::playScript(rate)); },
                [&] { bare.view.page()->runJavaScript(barestackpage::stopScript()); },
                options.cineSeconds);
            std::printf("  bare   at %.0f/s: %.2f/s displayed\n", rate, shownRef);
            if (shownRef >= 0)
                reference.add(shownRef);
        }
        const QByteArray name = QStringLiteral("  cine %1/s").arg(rate).toUtf8();
        printFigure(name.constData(), "/s", measured, reference, 0);
        const double ratio = measured.median() / rate;
        printLimit(QStringLiteral("  cine %1/s vs asked").arg(rate).toUtf8().constData(), "/s",
                   measured, {}, "within 5% of the rate",
                   !measured.empty() && ratio >= 0.95 && ratio <= 1.05);
    }
}

void setEnvironment(const QString& root) {
    for (const char* name : {"XDG_CONFIG_HOME", "LOCALAPPDATA", "ALLUSERSPROFILE", "TEMP"}) {
        const QString folder = root + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
}

bool registerControl() {
    return automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer") == hr::S_OK ||
           fail("the control library cannot be registered");
}

// The memory child: the viewer alone in this process shows one file of the
// series, then opens the series as a stack with CacheSizeMB 128 and scrolls it
// end to end; it prints when each part starts, for its parent to sample.
int memoryChild(const QString& root, const QString& folder, int count) {
    setEnvironment(root);
    if (!registerControl())
        return 1;
    Viewer viewer;
    viewer.control->put(QStringLiteral("CacheSizeMB"), Variant(MemoryCacheMB));
    const QStringList files = seriesFiles(folder, count);
    if (viewerLoad(viewer, files.first(), false) < 0) {
        fail("the viewer did not show the file");
        return 1;
    }
    settle();
    std::puts("single");
    std::fflush(stdout);
    pause(std::chrono::seconds(3));
    std::puts("stack");
    std::fflush(stdout);
    QWebEngineView* view =
        viewerLoad(viewer, files.first(), true) >= 0 ? viewer.imageView() : nullptr;
    if (!view) {
        fail("the viewer did not open the stack");
        return 1;
    }
    const auto figures = scrollFromStart(view, count);
    printScroll("viewer", figures);
    std::printf("  viewer went on to image %d with more notches\n", scrollToEnd(view, count));
    std::puts("done");
    std::fflush(stdout);
    return 0;
}

struct MemoryFigures {
    double singleMiB = -1;
    double peakMiB = -1;
};

MemoryFigures memoryRun(const Setup& setup, const Options& options) {
    MemoryFigures figures;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory-child"), setup.root + QStringLiteral("/child"),
                 setup.large, QString::number(options.memoryImages)});
    if (!child.waitForStarted())
        return figures;
    QByteArray output;
    long long peak = 0;
    bool sampling = false;
    QElapsedTimer clock;
    clock.start();
    while (child.state() == QProcess::Running && clock.elapsed() < 600'000) {
        child.waitForReadyRead(100);
        output += child.readAllStandardOutput();
        if (figures.singleMiB < 0 && output.contains("single\n")) {
            QThread::msleep(1000);
            figures.singleMiB = double(processTreePss(child.processId())) / 1024;
        }
        sampling = sampling || output.contains("stack\n");
        if (sampling)
            peak = std::max(peak, processTreePss(child.processId()));
        if (output.contains("done\n"))
            break;
    }
    if (output.contains("done\n"))
        figures.peakMiB = double(peak) / 1024;
    std::fputs(output.mid(output.indexOf("stack\n") + 6).replace("done\n", "").constData(), stdout);
    child.waitForFinished(30'000);
    if (child.state() != QProcess::NotRunning)
        child.kill();
    return figures;
}

void memory(const Setup& setup, const Options& options) {
    const int runs = std::max(1, options.runs / 2);
    std::printf("memory, series of %d scrolled end to end with CacheSizeMB %d (%d runs); ref: one "
                "file shown:\n",
                options.memoryImages, MemoryCacheMB, runs);
    std::fflush(stdout);
    Samples single, peak;
    for (int run = 0; run < runs; ++run) {
        const MemoryFigures figures = memoryRun(setup, options);
        if (figures.singleMiB < 0 || figures.peakMiB < 0) {
            fail("the memory run did not finish");
            continue;
        }
        single.add(figures.singleMiB);
        peak.add(figures.peakMiB);
    }
    const double limit = (single.median() + MemoryCacheMB) * 1.1;
    printFigure("  peak while scrolling", "MiB", peak, single, 0);
    const QByteArray goal = QStringLiteral("<= (single + %1) x 1.1 = %2 MiB")
                                .arg(MemoryCacheMB)
                                .arg(limit, 0, 'f', 0)
                                .toUtf8();
    printLimit("  peak vs single + cache", "MiB", peak, single, goal.constData(),
               !peak.empty() && peak.median() <= limit);
}

bool prepare(Setup& setup, const Options& options) {
    setEnvironment(setup.root);
    setup.libraryFolder = setup.root + QStringLiteral("/LOCALAPPDATA/Tarnwell/KestDicomAx/Bin");
    setup.other = testing_support::pydicomFile(QStringLiteral("CT_small.dcm"));
    setup.plain = setup.root + QStringLiteral("/plain");
    setup.jpeg = setup.root + QStringLiteral("/jpeg");
    setup.large = setup.root + QStringLiteral("/large");
    std::puts("bench_stack: writing the series");
    std::fflush(stdout);
    if (!writeSeries(setup.plain, options.scrollImages) ||
        !writeSeries(setup.large, options.memoryImages))
        return fail("the series could not be written (python3-pydicom, python3-numpy)");
    if (!writeJpegLossless(setup.plain, setup.jpeg) ||
        !QFile::exists(seriesFiles(setup.jpeg, options.scrollImages).last()))
        return fail("the JPEG lossless series could not be written (dcmtk's dcmcjpeg)");
    return registerControl();
}

Options parse(const QStringList& args) {
    Options options;
    options.quick = args.contains(QStringLiteral("--quick"));
    if (options.quick) {
        options = {1, true, 5, 60, 200, {}};
    }
    const qsizetype runsAt = args.indexOf(QStringLiteral("--runs"));
    if (runsAt > 0)
        options.runs = std::max(1, args.value(runsAt + 1).toInt());
    const qsizetype onlyAt = args.indexOf(QStringLiteral("--only"));
    if (onlyAt > 0)
        options.only = args.value(onlyAt + 1);
    const qsizetype cineAt = args.indexOf(QStringLiteral("--cine-seconds"));
    if (cineAt > 0)
        options.cineSeconds = std::max(1, args.value(cineAt + 1).toInt());
    return options;
}

bool runAll(const Setup& setup, const Options& options) {
    const auto wanted = [&options](const char* name) {
        return options.only.isEmpty() || options.only == QLatin1String(name);
    };
    // The memory runs first, in a process of their own, before this one starts a browser.
    if (wanted("memory"))
        memory(setup, options);
    if (!wanted("scroll") && !wanted("open") && !wanted("cine"))
        return true;
    Viewer viewer;
    if (viewerLoad(viewer, setup.other, false) < 0)
        return fail("the viewer did not show the file");
    BareStackView bare(barestackpage::write(setup.root, setup.libraryFolder));
    if (wanted("scroll"))
        scrolling(viewer, bare, setup, options);
    if (wanted("open"))
        opening(viewer, setup, options);
    if (wanted("cine"))
        cine(viewer, bare, setup, options);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    benchviewer::setOffscreenDefaults();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype childAt = args.indexOf(QStringLiteral("--memory-child"));
    if (childAt > 0)
        return memoryChild(args.value(childAt + 1), args.value(childAt + 2),
                           args.value(childAt + 3).toInt());
    const Options options = parse(args);
    QTemporaryDir folder;
    Setup setup;
    setup.root = folder.path();
    if (!prepare(setup, options))
        return 1;
    std::printf("bench_stack: %d runs per figure (memory and cine: %d), cine %d s; viewer median "
                "(min-max), reference median (min-max)\n",
                options.runs, std::max(1, options.runs / 2), options.cineSeconds);
    return runAll(setup, options) ? 0 : 1;
}
