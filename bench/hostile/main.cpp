// Loads hostile DICOM through the real viewer, one file after another in one
// running viewer: every file of the Debian pydicom test data, then variants
// made from a few of them (cut, flipped, lengths up to 4 GiB, undefined
// lengths never closed, pixel data past the end, deep sequences). Each load
// must end (refused, shown, or without an image) within its time-out, write
// nothing outside the viewer's instance folder, and a valid file must still
// show afterwards. Prints the counts; exits 1 on a hang, a write outside or a
// failed valid load.
//
//   bench_hostile [--count N] [--seed S] [--timeout SECONDS] [--no-pydicom] [--list]
//                 [--only TEXT]
// --list prints how the load of each file and variant ended; --only loads only the
// files whose name holds TEXT (the same variants as the whole run).
#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/HostileDicom.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <cstdio>
#include <optional>

namespace {

using testing_support::HostileFile;
using testing_support::pydicomFile;

struct Options {
    int count = 1000;
    std::uint32_t seed = 1;
    int timeoutSeconds = 30;
    bool pydicom = true;
    bool list = false;
    // Only the files whose name holds this text: to replay a few of a run's loads.
    QString only;
};

Options parse(const QStringList& args) {
    Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString next = args.value(i + 1);
        if (args[i] == "--count")
            options.count = next.toInt(), ++i;
        else if (args[i] == "--seed")
            options.seed = next.toUInt(), ++i;
        else if (args[i] == "--timeout")
            options.timeoutSeconds = next.toInt(), ++i;
        else if (args[i] == "--no-pydicom")
            options.pydicom = false;
        else if (args[i] == "--list")
            options.list = true;
        else if (args[i] == "--only")
            options.only = next, ++i;
    }
    return options;
}

enum class Outcome { Refused, Shown, NoImage, Hung };

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Refused:
        return "refused";
    case Outcome::Shown:
        return "shown";
    case Outcome::NoImage:
        return "no image";
    case Outcome::Hung:
        return "hung";
    }
    return "";
}

struct Counts {
    int tried = 0;
    int refused = 0;
    int shown = 0;
    int noImage = 0;
    int hung = 0;
    int writesOutside = 0;
    int validLoads = 0;
    int validFailures = 0;
};

// The viewer in a window, its ImageLoaded events kept.
class Harness {
public:
    explicit Harness(const QString& root)
        : m_root(root) {
        for (const char* variable :
             {"LOCALAPPDATA", "ALLUSERSPROFILE", "TEMP", "XDG_CONFIG_HOME"}) {
            const QString folder = root + '/' + QString::fromLatin1(variable).toLower();
            QDir().mkpath(folder);
            qputenv(variable, QFile::encodeName(folder));
        }
    }

    bool start() {
        if (automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer") != hr::S_OK)
            return false;
        m_viewer = automation::createObject(QStringLiteral("KestDicomViewControl.KestDicomViewAX"));
        m_viewer->control()->initNew();
        m_viewer->control()->widget()->setParent(&m_window);
        m_viewer->control()->widget()->resize(800, 600);
        m_window.resize(800, 600);
        m_window.show();
        m_viewer->eventSource()->advise(std::make_shared<FunctionEventSink>(
            [this](DispId, const QString& name, QList<Variant>& args) {
                if (name == "ImageLoaded")
                    m_loaded = args;
            }));
        return true;
    }

    void stop() {
        m_viewer.reset();
        pump::processPending();
    }

    Outcome load(const QString& path, int timeoutSeconds, QString* modality = nullptr) {
        m_loaded.reset();
        if (!m_viewer->call("LoadDicomFile", {Variant(path)}).toBool())
            return Outcome::Refused;
        if (!pump::waitUntil([this] { return m_loaded.has_value(); },
                             std::chrono::seconds(timeoutSeconds)))
            return Outcome::Hung;
        const QList<Variant>& args = *m_loaded;
        if (modality)
            *modality = args.value(3).toString();
        return args.value(12).toBool() ? Outcome::NoImage : Outcome::Shown;
    }

    // Counts the ends of the image page's renderer process (a crash, or a kill).
    void watchRenderer() {
        QWidget* host = m_viewer->control()->widget()->findChild<QWidget*>("KestWebViewKD1");
        auto* view = host ? host->findChild<QWebEngineView*>() : nullptr;
        if (view)
            QObject::connect(view->page(), &QWebEnginePage::renderProcessTerminated, view->page(),
                             [this] { ++rendererEnds; });
    }

    int rendererEnds = 0;

    QString instanceFolder() const {
        const QString temp = m_root + "/localappdata/Tarnwell/KestDicomAx/Temp/";
        const QStringList folders = QDir(temp).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return folders.size() == 1 ? temp + folders.first() : QString();
    }

private:
    QString m_root;
    QWidget m_window;
    DispatchPtr m_viewer;
    std::optional<QList<Variant>> m_loaded;
};

// Every file under the root except those the viewer and its browsers own:
// the instance folder, the browsers' profiles and caches, and the inputs.
QSet<QString> filesOutside(const QString& root, const QStringList& owned) {
    QSet<QString> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const bool isOwned = std::any_of(owned.begin(), owned.end(), [&](const QString& folder) {
            return !folder.isEmpty() && path.startsWith(folder + '/');
        });
        if (!isOwned)
            files.insert(path);
    }
    return files;
}

QList<std::pair<QString, QByteArray>> readFiles(const QStringList& names) {
    QList<std::pair<QString, QByteArray>> files;
    for (const QString& name : names) {
        QFile file(pydicomFile(name));
        if (file.open(QIODevice::ReadOnly))
            files.append({name, file.readAll()});
    }
    return files;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const Options options = parse(app.arguments());
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString inputs = root + "/inputs";
    QDir().mkpath(inputs);
    Harness harness(root);
    // Message boxes (a refused large file, a failed write) are counted, not shown.
    int boxes = 0;
    ui::setMessageBoxHook([&boxes](const ui::MessageBoxRequest&) { return ++boxes, 1; });
    if (!harness.start()) {
        std::fputs("bench_hostile: the control library cannot be registered\n", stderr);
        return 1;
    }
    const QString valid = pydicomFile("CT_small.dcm");
    if (harness.load(valid, 60) != Outcome::Shown) {
        std::fputs("bench_hostile: the valid file is not shown\n", stderr);
        return 1;
    }
    const QString instance = harness.instanceFolder();
    harness.watchRenderer();
    const QStringList owned = {instance,
                               root + "/localappdata/Tarnwell/KestWebView2",
                               root + "/allusersprofile",
                               root + "/xdg_config_home",
                               root + "/localappdata/Tarnwell/KestDicomAx/Bin",
                               inputs};
    const QSet<QString> before = filesOutside(root, owned);

    QList<HostileFile> files;
    if (options.pydicom) {
        const QDir data(pydicomFile(QString()));
        for (const QString& name : data.entryList({"*.dcm", "*DICOMDIR*"}, QDir::Files))
            files.append({name, {}});
    }
    const QList<HostileFile> variants = testing_support::hostileVariants(
        readFiles({"CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm", "MR_small_RLE.dcm",
                   "JPEG2000.dcm", "test-SR.dcm", "SC_rgb_small_odd.dcm"}),
        options.count, options.seed);
    files += variants;
    if (!options.only.isEmpty())
        files.removeIf([&](const HostileFile& file) { return !file.name.contains(options.only); });

    Counts counts;
    QElapsedTimer clock;
    clock.start();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const HostileFile& file = files[i];
        QString path = pydicomFile(file.name);
        if (!file.bytes.isNull()) {
            path = QStringLiteral("%1/v%2.dcm").arg(inputs).arg(i);
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size())
                return 1;
        }
        ++counts.tried;
        const int rendererEnds = harness.rendererEnds;
        const Outcome outcome = harness.load(path, options.timeoutSeconds);
        if (options.list)
            std::printf("%s\t%s\n", outcomeName(outcome), qPrintable(file.name));
        switch (outcome) {
        case Outcome::Refused:
            ++counts.refused;
            break;
        case Outcome::Shown:
            ++counts.shown;
            break;
        case Outcome::NoImage:
            ++counts.noImage;
            break;
        case Outcome::Hung:
            ++counts.hung;
            std::printf("hung: %s\n", qPrintable(file.name));
            break;
        }
        if (harness.rendererEnds != rendererEnds)
            std::printf("the page's renderer ended: %s\n", qPrintable(file.name));
        const QSet<QString> outside = filesOutside(root, owned) - before;
        if (!outside.isEmpty()) {
            ++counts.writesOutside;
            std::printf("written outside by %s: %s\n", qPrintable(file.name),
                        qPrintable(QStringList(outside.values()).join(", ")));
        }
        if (!file.bytes.isNull())
            QFile::remove(path);
        if ((i + 1) % 50 == 0 || i + 1 == files.size()) {
            ++counts.validLoads;
            QString modality;
            if (harness.load(valid, 60, &modality) != Outcome::Shown || modality != "CT") {
                ++counts.validFailures;
                std::printf("the valid file did not show after %s\n", qPrintable(file.name));
            }
        }
    }
    harness.stop();
    ui::setMessageBoxHook({});
    std::printf("tried %d (%lld generated variants) in %.0f s: refused %d, shown %d, without an "
                "image %d, renderer ended %d, hung %d, crashed 0, written outside %d; valid file "
                "shown after them %d of %d; message boxes %d\n",
                counts.tried, static_cast<long long>(variants.size()),
                double(clock.elapsed()) / 1000.0, counts.refused, counts.shown, counts.noImage,
                harness.rendererEnds, counts.hung, counts.writesOutside,
                counts.validLoads - counts.validFailures, counts.validLoads, boxes);
    return counts.hung || counts.writesOutside || counts.validFailures ? 1 : 0;
}
