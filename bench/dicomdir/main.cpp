// Times the DICOMDIR page from navigation to its "dicomdirLoaded" message for a directory of
// 10,000 images against the same page on a directory of 10 images, in one run, and prints the
// medians and their ratio. The page's own clock measures: performance.now() counts from the
// start of the navigation.
#include "tests/common/DicomdirBuilder.h"
#include "viewer/PageAssets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::DicomdirBuilder;

constexpr int kRuns = 7;

// The viewer's host object, reduced to noting when the page reports its directory.
const char kHost[] = R"JS(
var vbH_ = { RaiseMessageEvent: function (name, content) {
  if (name === 'dicomdirLoaded') { window.__loadedAt = performance.now(); window.__report = content; }
} };
function vbH() { return vbH_; }
)JS";

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One patient, one study, one series of that many images.
bool writeDirectory(const QString& folder, int images) {
    DicomdirBuilder builder;
    const int series = builder.series(
        builder.study(builder.patient("Bench^Patient", "B1"), "20240101", "Bench"), "CT", 1);
    for (int i = 1; i <= images; ++i)
        builder.image(series, i, {"IMAGES", "IM" + QByteArray::number(i)});
    return QDir().mkpath(folder) && builder.write(folder + QStringLiteral("/DICOMDIR"));
}

// The page filled as the viewer fills it, in its own instance folder below the Bin folder.
QString writePage(const QString& base, const QString& name, const QString& media) {
    QFile source(QCoreApplication::applicationDirPath() +
                 QStringLiteral("/KestDicomAx/KDVAX_DICOMDIR.dll"));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    const QString folder = base + QStringLiteral("/Temp/") + name;
    const QString text =
        pageassets::dicomdirPage(QString::fromUtf8(source.readAll()), media, folder);
    QDir().mkpath(folder);
    QFile page(folder + QStringLiteral("/KDVAX_DICOMDIR.html"));
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) || page.write(text.toUtf8()) < 0)
        return {};
    return page.fileName();
}

class Bench {
public:
    Bench()
        : m_view(std::make_unique<QWebEngineView>()) {
        auto* page = new QWebEnginePage(&m_profile, m_view.get());
        QWebEngineScript host;
        host.setSourceCode(QString::fromLatin1(kHost));
        host.setInjectionPoint(QWebEngineScript::DocumentCreation);
        host.setWorldId(QWebEngineScript::MainWorld);
        page->scripts().insert(host);
        page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        m_view->setPage(page);
        m_view->resize(800, 600);
        m_view->show();
    }
    ~Bench() { m_view.reset(); }

    // Milliseconds from navigation to the page's report, or a negative value on failure.
    double measure(const QString& pagePath, QString* report) {
        bool finished = false;
        QObject::connect(
            m_view->page(), &QWebEnginePage::loadFinished, m_view.get(),
            [&finished](bool) { finished = true; }, Qt::SingleShotConnection);
        m_view->load(QUrl::fromLocalFile(pagePath));
        const QDeadlineTimer deadline(30000);
        while (!finished && !deadline.hasExpired())
            pump(5);
        while (!deadline.hasExpired()) {
            const QVariant at = run(QStringLiteral("window.__loadedAt === undefined ? -1 :"
                                                   " [window.__loadedAt, window.__report]"));
            if (at.typeId() == QMetaType::QVariantList) {
                *report = at.toList().value(1).toString();
                return at.toList().value(0).toDouble();
            }
            pump(5);
        }
        return -1;
    }

private:
    QVariant run(const QString& script) {
        QVariant result;
        bool done = false;
        m_view->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        while (!done)
            pump(1);
        return result;
    }

    QWebEngineProfile m_profile;
    std::unique_ptr<QWebEngineView> m_view;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Chromium refuses to run its sandbox as root.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The viewer's browser hosts read local files through the profile's settings (below),
    // with web security on.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString base = dir.path() + QStringLiteral("/Tarnwell/KestDicomAx");
    QDir().mkpath(base + QStringLiteral("/Bin"));
    // The Bin folder as the viewer fills it: the page libraries and the pages' scripts.
    bool deployed = true;
    for (const QString& name : pageassets::libraryNames() + pageassets::pageScriptNames())
        deployed = QFile::copy(app.applicationDirPath() + QStringLiteral("/KestDicomAx/") + name,
                               base + QStringLiteral("/Bin/") + name) &&
                   deployed;
    if (!deployed || !writeDirectory(dir.path() + QStringLiteral("/small"), 10) ||
        !writeDirectory(dir.path() + QStringLiteral("/large"), 10000)) {
        std::fputs("bench_dicomdir: the page assets or the test directories are missing\n", stderr);
        return 1;
    }
    const QString small = writePage(base, QStringLiteral("small"), dir.path() + "/small");
    const QString large = writePage(base, QStringLiteral("large"), dir.path() + "/large");

    Bench bench;
    std::vector<double> smallTimes;
    std::vector<double> largeTimes;
    QString report;
    // The first of each warms the browser and its caches and is not counted.
    for (int run = 0; run <= kRuns; ++run) {
        const double smallTime = bench.measure(small, &report);
        const double largeTime = bench.measure(large, &report);
        if (smallTime < 0 || largeTime < 0 || !report.contains(QStringLiteral("\"ok\""))) {
            std::fprintf(stderr, "bench_dicomdir: the page did not report (%s)\n",
                         qPrintable(report));
            return 1;
        }
        if (run > 0) {
            smallTimes.push_back(smallTime);
            largeTimes.push_back(largeTime);
        }
    }
    const double smallMedian = median(smallTimes);
    const double largeMedian = median(largeTimes);
    std::printf("navigation to dicomdirLoaded, median of %d runs:\n", kRuns);
    std::printf("    10 images  %8.1f ms\n", smallMedian);
    std::printf("10,000 images  %8.1f ms   ratio %.2f   (goal: under 1000 ms)\n", largeMedian,
                largeMedian / smallMedian);
    return 0;
}
