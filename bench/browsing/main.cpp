// Lists a folder of 10,000 small files (nine in ten of them DICOM) three
// ways in one run and prints the medians and their ratios to the reference:
//   reference  a C loop that opens each file and reads its first 132 bytes;
//   listing    the viewer's folder listing alone (no widgets);
//   member     LoadDirectory through the control, its browsers already started.
#include "bench/MedianTime.h"

#include "platform/FileDialogHook.h"
#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/ObjectFactory.h"
#include "viewer/StudyFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int FileCount = 10000;
constexpr int Runs = 7;

void makeFolder(const QString& folder) {
    QByteArray dicom(200, '\0');
    dicom.replace(128, 4, "DICM");
    for (int i = 0; i < FileCount; ++i) {
        QFile file(QStringLiteral("%1/IM%2").arg(folder).arg(i));
        if (file.open(QIODevice::WriteOnly))
            file.write(i % 10 == 0 ? QByteArray("plain text, not an image") : dicom);
    }
}

// The reference: what any listing of DICOM files must do at least.
int referenceCount(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir)
        return -1;
    int count = 0;
    char path[4096];
    unsigned char head[132];
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
        const int fd = open(path, O_RDONLY);
        if (fd < 0)
            continue;
        if (read(fd, head, sizeof head) == sizeof head && std::memcmp(head + 128, "DICM", 4) == 0)
            ++count;
        close(fd);
    }
    closedir(dir);
    return count;
}

double median(const std::function<void()>& work) {
    return bench::medianMs(Runs, work);
}

void report(const char* what, double ms, double reference) {
    std::printf("%-10s %9.1f ms   ratio to reference %.2f\n", what, ms, ms / reference);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("study"));
    QDir().mkpath(folder);
    makeFolder(folder);
    const QByteArray native = QFile::encodeName(folder);

    int referenceFound = 0;
    const double reference = median([&] { referenceFound = referenceCount(native.constData()); });
    qsizetype listed = 0;
    const double listing = median([&] { listed = studyfolder::dicomFileNames(folder).size(); });

    if (automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer") != hr::S_OK) {
        std::fputs("bench_browsing: the control library cannot be registered\n", stderr);
        return 1;
    }
    filedialogs::setHook([&folder](const filedialogs::Request&) {
        return std::optional<filedialogs::Answer>(filedialogs::Answer{{folder}, 0});
    });
    QWidget window;
    window.resize(1200, 800);
    DispatchPtr viewer =
        automation::createObject(QStringLiteral("KestDicomViewControl.KestDicomViewAX"));
    viewer->control()->initNew();
    viewer->control()->widget()->setParent(&window);
    viewer->control()->widget()->resize(1200, 800);
    window.show();
    const auto loadDirectory = [&] {
        QList<Variant> args{Variant(folder), Variant(std::int16_t(1))};
        return viewer->invokeByName(QStringLiteral("LoadDirectory"), InvokeFlags::Method, args)
            .toBool();
    };
    // The first call starts the browsers; the timed ones list the folder again.
    if (!loadDirectory()) {
        std::fputs("bench_browsing: LoadDirectory failed\n", stderr);
        return 1;
    }
    bool ok = true;
    const double member = median([&] { ok = loadDirectory() && ok; });
    filedialogs::setHook({});
    if (!ok || listed != referenceFound) {
        std::fprintf(stderr, "bench_browsing: %lld listed, %d found by the reference\n",
                     static_cast<long long>(listed), referenceFound);
        return 1;
    }
    std::printf("%d files, %d DICOM, median of %d runs (page cache warm)\n", FileCount,
                referenceFound, Runs);
    report("reference", reference, reference);
    report("listing", listing, reference);
    report("member", member, reference);
    viewer.reset();
    pump::processPending();
    return 0;
}
