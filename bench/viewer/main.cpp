// bench_viewer: the viewer against a bare Cornerstone page, each figure with
// its reference measured in the same run, as median (min-max) of several runs
// and their ratio:
//   cold        process start to ImageLoaded (kestdicom-render) against process
//               start to the first rendering of bench_viewer_bare;
//   warm        a further LoadDicomFile to ImageLoaded against the bare page
//               navigated afresh, and against its in-place display (the floor);
//   list click  a click in the LoadDirectory list to ImageLoaded;
//   DICOMDIR    a selection in the DICOMDIR page to ImageLoaded;
//   frames      frames per second stepping a 100-frame 512x512 16-bit file;
//   compressed  JPEG 2000 and JPEG-LS files (two of pydicom's, and the 100-frame
//               file in JPEG 2000) to ImageLoaded, decoded by the viewer's host
//               decoder, against the bare page's WebAssembly decoders;
//   large load  that file's load, and the peak memory of its cold start;
//   memory      proportional set size of the whole process tree with a file shown.
//   bench_viewer [--runs N] [--compressed] [--frames] [--timeline]
//   (--compressed, --frames: those figures only; --timeline: where the last of N further loads of
//   the viewer and of the bare page's fresh navigations went, from the pages' own timing entries)

#include "BarePage.h"
#include "PageTimeline.h"
#include "ProcessTree.h"
#include "Samples.h"
#include "ViewerUnderTest.h"

#include "platform/FileDialogHook.h"
#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/DicomdirBuilder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineView>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include <unistd.h>

namespace {

using benchviewer::msSince;
using benchviewer::Patience;
using benchviewer::Viewer;

constexpr int FrameCount = 100;

bool fail(const char* what) {
    std::fprintf(stderr, "bench_viewer: %s\n", what);
    return false;
}

// 100 frames of 512x512 16-bit pixels, written with pydicom.
bool writeMultiFrame(const QString& path) {
    const char* script = R"(
import sys
import numpy as np
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
meta = FileMetaDataset()
meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.7.3'
meta.MediaStorageSOPInstanceUID = generate_uid()
meta.TransferSyntaxUID = ExplicitVRLittleEndian
ds = FileDataset(sys.argv[1], {}, file_meta=meta, preamble=b'\0' * 128)
ds.is_little_endian = True
ds.is_implicit_VR = False
ds.SOPClassUID = meta.MediaStorageSOPClassUID
ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
ds.PatientName = 'Bench^Frames'
ds.Modality = 'OT'
ds.StudyDate = '20240101'
ds.SamplesPerPixel = 1
ds.PhotometricInterpretation = 'MONOCHROME2'
ds.Rows = 512
ds.Columns = 512
ds.NumberOfFrames = 100
ds.BitsAllocated = 16
ds.BitsStored = 16
ds.HighBit = 15
ds.PixelRepresentation = 0
y, x = np.mgrid[0:512, 0:512]
frames = (x[None] + y[None] + np.arange(100)[:, None, None] * 40) % 4096
ds.PixelData = frames.astype('<u2').tobytes()
ds.save_as(sys.argv[1], write_like_original=False)
)";
    return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"), QLatin1String(script), path}) == 0 &&
           QFileInfo(path).size() > 50'000'000;
}

// The 100-frame file in lossless JPEG 2000, written with GDCM's Python binding.
bool writeJpeg2000(const QString& source, const QString& path) {
    const char* script = R"(
import sys
import gdcm
reader = gdcm.ImageReader()
reader.SetFileName(sys.argv[1])
if not reader.Read():
    sys.exit(1)
change = gdcm.ImageChangeTransferSyntax()
change.SetTransferSyntax(gdcm.TransferSyntax(gdcm.TransferSyntax.JPEG2000Lossless))
change.SetInput(reader.GetImage())
if not change.Change():
    sys.exit(1)
writer = gdcm.ImageWriter()
writer.SetFileName(sys.argv[2])
writer.SetFile(reader.GetFile())
writer.SetImage(change.GetOutput())
sys.exit(0 if writer.Write() else 1)
)";
    return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"), QLatin1String(script), source, path}) == 0 &&
           QFileInfo::exists(path);
}

// One program started from nothing: the time until it prints the marker, and
// the memory of its process tree.
struct ProcessFigures {
    double ms = -1;
    double peakMiB = 0;  // highest sample from start until a second after the marker
    double shownMiB = 0; // a second after the marker
};

ProcessFigures runProgram(const QString& program, const QStringList& args, const char* marker,
                          bool stays) {
    ProcessFigures figures;
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    if (!process.waitForStarted())
        return figures;
    QByteArray output;
    long long peak = 0;
    QElapsedTimer afterMarker;
    while (process.state() == QProcess::Running && clock.elapsed() < 120'000) {
        process.waitForReadyRead(20);
        output += process.readAllStandardOutput();
        if (figures.ms < 0 && output.contains(marker)) {
            figures.ms = msSince(clock);
            afterMarker.start();
        }
        if (stays)
            peak = std::max(peak, processTreePss(process.processId()));
        if (figures.ms >= 0 && (!stays || afterMarker.elapsed() > 1000))
            break;
    }
    if (stays) {
        figures.shownMiB = double(processTreePss(process.processId())) / 1024;
        figures.peakMiB = double(peak) / 1024;
        process.kill();
    }
    process.waitForFinished(30'000);
    return figures;
}

// The bare page in a view of its own, in the same process.
struct BareView {
    QWebEngineView view;
    QString page;
    QString title;
    int tokens = 0;

    explicit BareView(const QString& pagePath)
        : page(pagePath) {
        view.resize(1024, 768);
        QObject::connect(&view, &QWebEngineView::titleChanged,
                         [this](const QString& text) { title = text; });
        view.show();
    }

    QString nextToken() { return QStringLiteral("t%1").arg(++tokens); }

    double timeTo(const QString& token, const std::function<void()>& start) {
        QElapsedTimer clock;
        clock.start();
        start();
        if (!pump::waitUntil([&] { return title == barepage::renderedTitle(token); }, Patience))
            return -1;
        return msSince(clock);
    }

    double navigate(const QString& file, int frame = -1) {
        const QString token = nextToken();
        return timeTo(token, [&] { view.load(barepage::address(page, file, token, frame)); });
    }

    double showInPlace(const QString& file) {
        const QString token = nextToken();
        return timeTo(token,
                      [&] { view.page()->runJavaScript(barepage::showScript(file, token)); });
    }

    double showFrame(const QString& file, int frame) {
        const QString token = nextToken();
        const QString script = QStringLiteral("show('%1', %2, '%3')")
                                   .arg(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded))
                                   .arg(frame)
                                   .arg(token);
        return timeTo(token, [&] { view.page()->runJavaScript(script); });
    }
};

void addIfTimed(Samples& samples, double ms) {
    if (ms >= 0)
        samples.add(ms);
}

// A pause between figures; the viewer's decoder first finishes what the last
// load left it (the other frames of a multi-frame file), so that it does not
// take the processor from the next figure, the reference's included.
void settle() {
    const auto decoderTicks = [] {
        return childrenCpuTicks(getpid(), QByteArrayLiteral("kestdicom-decod"));
    };
    for (long long before = -1, now = decoderTicks(); now != before; now = decoderTicks()) {
        before = now;
        pump::waitUntil([] { return false; }, std::chrono::milliseconds(300));
    }
}

struct Setup {
    QString root;
    QString ct;
    QString large;
    QString listFolder;
    QString dicomdir;
    QString dicomdirImage;
    QString libraryFolder;
    QString largeJpeg2000;
};

void coldAndMemory(const Setup& setup, int runs) {
    const QString render = QStringLiteral(KEST_RENDER_PATH);
    const QString bare = QStringLiteral(KEST_BARE_PATH);
    const QStringList bareCt{setup.libraryFolder, setup.ct};
    const QStringList bareLarge{setup.libraryFolder, setup.large, QStringLiteral("0")};
    // The first start of each deploys files and fills the disk cache.
    runProgram(render, {setup.ct}, "\"ImageLoaded\"", false);
    runProgram(bare, bareCt, "rendered", false);
    Samples cold, coldRef;
    for (int run = 0; run < runs; ++run) {
        addIfTimed(cold, runProgram(render, {setup.ct}, "\"ImageLoaded\"", false).ms);
        addIfTimed(coldRef, runProgram(bare, bareCt, "rendered", false).ms);
    }
    printFigure("cold start", "ms", cold, coldRef, 2.0);
    Samples memory, memoryRef, peak, peakRef;
    const int memoryRuns = std::max(1, runs / 2);
    for (int run = 0; run < memoryRuns; ++run) {
        memory.add(runProgram(render, {QStringLiteral("--show"), setup.ct}, "\"ImageLoaded\"", true)
                       .shownMiB);
        memoryRef.add(
            runProgram(bare, QStringList{QStringLiteral("--stay")} + bareCt, "rendered", true)
                .shownMiB);
        peak.add(
            runProgram(render, {QStringLiteral("--show"), setup.large}, "\"ImageLoaded\"", true)
                .peakMiB);
        peakRef.add(
            runProgram(bare, QStringList{QStringLiteral("--stay")} + bareLarge, "rendered", true)
                .peakMiB);
    }
    printFigure("memory, file shown", "MiB", memory, memoryRef, 1.25);
    printFigure("large file peak memory", "MiB", peak, peakRef, 1.3);
}

// Frames per second stepping through all frames, each step waiting for its
// frame to be drawn; forward, back and forward again.
Samples viewerFrameRates(Viewer& viewer, int runs) {
    Samples rates;
    QWebEngineView* view = viewer.imageView();
    if (!view)
        return rates;
    // Each drawing of the image page shows in its title, as the bare page's do.
    int drawn = 0;
    const auto connection = QObject::connect(view, &QWebEngineView::titleChanged, view,
                                             [&drawn](const QString&) { ++drawn; });
    viewer.control->call(
        QStringLiteral("RunJs"),
        {Variant(QStringLiteral("eval")),
         Variant(
             QStringLiteral("var benchDrawn = 0; document.getElementById('image').addEventListener("
                            "'cornerstoneimagerendered', function () { document.title = 'drawn ' + "
                            "(++benchDrawn); })"))});
    for (int run = 0; run < runs; ++run) {
        const std::int16_t tool = run % 2 ? 15 : 14; // Tool_FramePrevious, Tool_FrameNext
        QElapsedTimer clock;
        clock.start();
        bool ok = true;
        for (int step = 1; step < FrameCount && ok; ++step) {
            const int before = drawn;
            viewer.control->call(QStringLiteral("SelectTool"), {Variant(tool)});
            ok = pump::waitUntil([&] { return drawn > before; }, Patience);
        }
        if (ok)
            rates.add((FrameCount - 1) * 1000.0 / msSince(clock));
    }
    QObject::disconnect(connection);
    return rates;
}

Samples bareFrameRates(BareView& bare, const QString& file, int runs) {
    Samples rates;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        bool ok = true;
        for (int step = 1; step < FrameCount && ok; ++step)
            ok = bare.showFrame(file, run % 2 ? FrameCount - 1 - step : step) >= 0;
        if (ok)
            rates.add((FrameCount - 1) * 1000.0 / msSince(clock));
    }
    return rates;
}

// Files the image page hands to the host decoder, each against the bare page's own decoders.
void compressedLoads(Viewer& viewer, BareView& bare, const Setup& setup, int runs) {
    const std::pair<const char*, QString> files[] = {
        {"JPEG 2000 load", testing_support::pydicomFile(QStringLiteral("JPEG2000.dcm"))},
        {"JPEG-LS load",
         testing_support::pydicomFile(QStringLiteral("MR_small_jpeg_ls_lossless.dcm"))},
        {"100-frame JPEG 2000 load", setup.largeJpeg2000}};
    for (const auto& [name, file] : files) {
        Samples host, page;
        for (int run = 0; run < runs; ++run) {
            settle();
            addIfTimed(
                host, viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(file); }));
            settle();
            addIfTimed(page, bare.navigate(file, file == setup.largeJpeg2000 ? 0 : -1));
        }
        printFigure(name, "ms", host, page, 1.0);
    }
}

// The viewer showing the CT file, which deploys the libraries the bare page then loads, and
// the bare page showing it too.
bool showFirstFile(Viewer& viewer, std::optional<BareView>& bare, const Setup& setup) {
    if (viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(setup.ct); }) < 0)
        return fail("the viewer did not show the file");
    bare.emplace(barepage::write(setup.root, setup.libraryFolder));
    return bare->navigate(setup.ct) >= 0 || fail("the bare page did not show the file");
}

bool compressedOnly(const Setup& setup, int runs) {
    Viewer viewer;
    std::optional<BareView> bare;
    if (!showFirstFile(viewer, bare, setup))
        return false;
    compressedLoads(viewer, *bare, setup, runs);
    return true;
}

// Both showing the large file already.
void frameStepping(Viewer& viewer, BareView& bare, const Setup& setup, int runs) {
    const Samples frames = viewerFrameRates(viewer, runs);
    const Samples framesRef = bareFrameRates(bare, setup.large, runs);
    printFigure("frame stepping", "fps", frames, framesRef, 0.8, true);
}

bool framesOnly(const Setup& setup, int runs) {
    Viewer viewer;
    std::optional<BareView> bare;
    if (!showFirstFile(viewer, bare, setup))
        return false;
    if (viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(setup.large); }) < 0 ||
        bare->navigate(setup.large, 0) < 0)
        return fail("the large file was not shown");
    frameStepping(viewer, *bare, setup, std::max(3, runs));
    return true;
}

bool timelines(const Setup& setup, int runs) {
    Viewer viewer;
    std::optional<BareView> bare;
    if (!showFirstFile(viewer, bare, setup))
        return false;
    QWebEngineView* view = viewer.imageView();
    if (!view)
        return fail("the image page's view was not found");
    pagetimeline::watch(*view);
    pagetimeline::watch(bare->view);
    double warm = -1, fresh = -1;
    for (int run = 0; run < runs; ++run) {
        settle();
        warm = viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(setup.ct); });
        settle();
        fresh = bare->navigate(setup.ct);
    }
    const QString viewerTimeline = pagetimeline::read(*view);
    const QString bareTimeline = pagetimeline::read(bare->view);
    if (warm < 0 || fresh < 0 || viewerTimeline.isEmpty() || bareTimeline.isEmpty())
        return fail("a page did not show the file or could not be read");
    std::printf("viewer: further load to ImageLoaded %.1f ms\n%s", warm,
                qPrintable(viewerTimeline));
    std::printf("bare page: fresh navigation to its rendering %.1f ms\n%s", fresh,
                qPrintable(bareTimeline));
    return true;
}

bool runningViewer(const Setup& setup, int runs) {
    Viewer viewer;
    std::optional<BareView> bare;
    if (!showFirstFile(viewer, bare, setup))
        return false;

    Samples warm, fresh, inPlace;
    for (int run = 0; run < runs; ++run) {
        settle();
        addIfTimed(
            warm, viewer.timeTo(QStringLiteral("ImageLoaded"), [&] { viewer.loadFile(setup.ct); }));
        settle();
        addIfTimed(fresh, bare->navigate(setup.ct));
        settle();
        addIfTimed(inPlace, bare->showInPlace(setup.ct));
    }
    printFigure("warm load", "ms", warm, fresh, 1.3);
    printFigure("warm load vs in-place", "ms", warm, inPlace, 0);

    filedialogs::setHook([&setup](const filedialogs::Request&) {
        return std::optional<filedialogs::Answer>(filedialogs::Answer{{setup.listFolder}, 0});
    });
    QList<Variant> listArgs{Variant(setup.listFolder), Variant(std::int16_t(1))};
    viewer.control->invokeByName(QStringLiteral("LoadDirectory"), InvokeFlags::Method, listArgs);
    filedialogs::setHook({});
    auto* list = qobject_cast<QListWidget*>(viewer.child("ListFile"));
    if (!list || list->count() < 2)
        return fail("the folder list was not filled");
    Samples click;
    for (int run = 0; run < runs; ++run) {
        settle();
        addIfTimed(click, viewer.timeTo(QStringLiteral("ImageLoaded"),
                                        [&] { list->setCurrentRow((run + 1) % 2); }));
    }
    printFigure("list click", "ms", click, fresh, 1.3);

    QList<Variant> dirArgs{Variant(setup.dicomdir), Variant(std::int16_t(1))};
    const double dicomdirShown = viewer.timeTo(QStringLiteral("DicomdirLoaded"), [&] {
        viewer.control->invokeByName(QStringLiteral("LoadDICOMDIR"), InvokeFlags::Method, dirArgs);
    });
    QWidget* pane = viewer.child("KestWebViewDD3");
    auto* dicomdirView = pane ? pane->findChild<QWebEngineView*>() : nullptr;
    if (dicomdirShown < 0 || !dicomdirView)
        return fail("the DICOMDIR page did not load");
    // What the page posts when the user picks the image in its tree.
    const QString pick =
        QStringLiteral("vbH().RaiseMessageEvent('dicomdirImageSelected', JSON.stringify({url: "
                       "'%1', type: 'IMAGE'}))")
            .arg(QUrl::fromLocalFile(setup.dicomdirImage).toString());
    Samples selection;
    for (int run = 0; run < runs; ++run) {
        settle();
        addIfTimed(selection, viewer.timeTo(QStringLiteral("ImageLoaded"),
                                            [&] { dicomdirView->page()->runJavaScript(pick); }));
    }
    printFigure("DICOMDIR selection", "ms", selection, fresh, 1.3);

    Samples large, largeRef;
    const int largeRuns = std::max(1, runs / 2);
    for (int run = 0; run < largeRuns; ++run) {
        settle();
        addIfTimed(large, viewer.timeTo(QStringLiteral("ImageLoaded"),
                                        [&] { viewer.loadFile(setup.large); }));
        settle();
        addIfTimed(largeRef, bare->navigate(setup.large, 0));
    }
    printFigure("large file load", "ms", large, largeRef, 1.3);

    frameStepping(viewer, *bare, setup, 3);
    compressedLoads(viewer, *bare, setup, runs);
    return true;
}

bool prepare(Setup& setup) {
    for (const char* name : {"XDG_CONFIG_HOME", "LOCALAPPDATA", "ALLUSERSPROFILE", "TEMP"}) {
        const QString folder = setup.root + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
    setup.libraryFolder = setup.root + QStringLiteral("/LOCALAPPDATA/Tarnwell/KestDicomAx/Bin");
    if (automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer") != hr::S_OK)
        return fail("the control library cannot be registered");
    setup.ct = testing_support::pydicomFile(QStringLiteral("CT_small.dcm"));
    setup.large = setup.root + QStringLiteral("/frames.dcm");
    if (!writeMultiFrame(setup.large))
        return fail("the 100-frame file could not be written (python3-pydicom, python3-numpy)");
    setup.largeJpeg2000 = setup.root + QStringLiteral("/frames-j2k.dcm");
    if (!writeJpeg2000(setup.large, setup.largeJpeg2000))
        return fail("the JPEG 2000 file could not be written (python3-gdcm)");
    setup.listFolder = setup.root + QStringLiteral("/list/");
    QDir().mkpath(setup.listFolder);
    QFile::copy(setup.ct, setup.listFolder + QStringLiteral("a.dcm"));
    QFile::copy(setup.ct, setup.listFolder + QStringLiteral("b.dcm"));
    QDir().mkpath(setup.root + QStringLiteral("/cd/IMAGES"));
    setup.dicomdirImage = setup.root + QStringLiteral("/cd/IMAGES/IM1");
    QFile::copy(setup.ct, setup.dicomdirImage);
    testing_support::DicomdirBuilder builder;
    const int patient = builder.patient("Bench^Dir", "ID1");
    const int study = builder.study(patient, "20240101", "Bench");
    const int series = builder.series(study, "CT", 1);
    builder.image(series, 1, {"IMAGES", "IM1"});
    setup.dicomdir = setup.root + QStringLiteral("/cd/DICOMDIR");
    return builder.write(setup.dicomdir) || fail("the DICOMDIR could not be written");
}

} // namespace

int main(int argc, char* argv[]) {
    benchviewer::setOffscreenDefaults();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype runsAt = args.indexOf(QStringLiteral("--runs"));
    const int runs = runsAt > 0 ? std::max(1, args.value(runsAt + 1).toInt()) : 5;
    QTemporaryDir folder;
    Setup setup;
    setup.root = folder.path();
    if (!prepare(setup))
        return 1;
    std::printf("bench_viewer: %d runs per figure (memory and large file: %d); viewer median "
                "(min-max), reference median (min-max)\n",
                runs, std::max(1, runs / 2));
    if (args.contains(QStringLiteral("--compressed")))
        return compressedOnly(setup, runs) ? 0 : 1;
    if (args.contains(QStringLiteral("--frames")))
        return framesOnly(setup, runs) ? 0 : 1;
    if (args.contains(QStringLiteral("--timeline")))
        return timelines(setup, runs) ? 0 : 1;
    coldAndMemory(setup, runs);
    return runningViewer(setup, runs) ? 0 : 1;
}
