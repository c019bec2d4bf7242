// Downloads the same 1 GiB from a loopback HTTP server (on its own thread)
// with the browser host's DownloadFile (waited for in an event loop, as a
// host would), with synchronous DownloadFileEx (which pumps events itself) and
// with curl, taking turns at going first, and prints the median times, their
// ratios to curl, how much the program's resident memory grew while the
// control downloaded, and the CPU seconds each thread used.
//   bench_downloads [--mib N] [--runs N]
#include "browser_host/KestWebviewKD.h"
#include "platform/automation/EventSource.h"
#include "tests/common/LoopbackHttpServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Resident memory of this process in KiB.
long residentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// CPU seconds used so far by this process (RUSAGE_SELF) or its ended children.
double cpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used so far by each thread of this process, by thread name;
// what threads that have ended used is counted apart.
QMap<QString, double> threadCpuSeconds() {
    QMap<QString, double> seconds;
    const double tick = double(::sysconf(_SC_CLK_TCK));
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task) + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        // After the name: state is field 3, utime and stime fields 14 and 15.
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < 0 || fields.size() < 13)
            continue;
        seconds[QString::fromUtf8(line.mid(open + 1, close - open - 1))] +=
            (fields[11].toDouble() + fields[12].toDouble()) / tick;
    }
    double live = 0;
    for (const double each : std::as_const(seconds))
        live += each;
    seconds[QStringLiteral("ended threads")] = cpuSeconds(RUSAGE_SELF) - live;
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What one way of downloading gave over all runs.
struct Contender {
    const char* name;
    // Downloads into the file; the seconds taken, negative on failure.
    std::function<double(const QString& target)> download;
    std::vector<double> seconds;
    // CPU seconds by thread name over all runs.
    QMap<QString, double> cpu;
};

// Watches the control's events: the end of a download, its progress reports
// and the resident memory, sampled every 16 reports.
class DownloadWatch {
public:
    explicit DownloadWatch(KestWebviewKD& control)
        : m_control(control)
        , m_before(residentKib())
        , m_peak(m_before) {
        m_cookie = control.events().advise(std::make_shared<FunctionEventSink>(
            [this](DispId, const QString& name, QList<Variant>&) {
                if (name == QLatin1String("DownLoadInProgress") && ++reports % 16 == 0)
                    m_peak = std::max(m_peak, residentKib());
                if (name == QLatin1String("DownloadCompleted"))
                    ok = ended = true;
                if (name == QLatin1String("DownloadError"))
                    ended = true;
                if (ended)
                    m_loop.quit();
            }));
    }
    ~DownloadWatch() { m_control.events().unadvise(m_cookie); }

    void waitForEnd() {
        if (!ended)
            m_loop.exec();
    }
    long growthKib() const { return std::max(m_peak, residentKib()) - m_before; }

    bool ok = false;
    bool ended = false;
    long reports = 0;

private:
    KestWebviewKD& m_control;
    QEventLoop m_loop;
    long m_before;
    long m_peak;
    int m_cookie = 0;
};

double curlSeconds(const QString& url, const QString& target) {
    QElapsedTimer timer;
    timer.start();
    const int code = QProcess::execute(QStringLiteral("curl"),
                                       {QStringLiteral("-sS"), QStringLiteral("-o"), target, url});
    return code == 0 ? timer.nsecsElapsed() / 1e9 : -1;
}

void printCpu(const Contender& contender, int runs) {
    std::printf("  CPU seconds per run during %s:", contender.name);
    for (auto it = contender.cpu.cbegin(); it != contender.cpu.cend(); ++it)
        if (it.value() / runs >= 0.005)
            std::printf("  %s %.2f", qPrintable(it.key()), it.value() / runs);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qint64 mib = 1024;
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--mib"))
            mib = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    const qint64 bytes = mib * 1024 * 1024;
    LoopbackHttpServer server;
    const QString url = server.url(QStringLiteral("/bytes/%1").arg(bytes));
    QTemporaryDir dir;
    const auto control = KestWebviewKD::create();

    long growthKib = 0;
    long reports = 0;
    // Times one call of the control until its download ended.
    const auto timeControl = [&](const QString& method, const QList<Variant>& arguments) {
        DownloadWatch watch(*control);
        QElapsedTimer timer;
        timer.start();
        control->call(method, arguments);
        watch.waitForEnd();
        const double seconds = timer.nsecsElapsed() / 1e9;
        growthKib = std::max(growthKib, watch.growthKib());
        reports += watch.reports;
        return watch.ok ? seconds : -1;
    };
    std::vector<Contender> contenders{
        {"DownloadFile",
         [&](const QString& target) {
             return timeControl(QStringLiteral("DownloadFile"), {Variant(url), Variant(target)});
         },
         {},
         {}},
        {"DownloadFileEx synchronous",
         [&](const QString& target) {
             return timeControl(QStringLiteral("DownloadFileEx"),
                                {Variant(url), Variant(target), Variant(true)});
         },
         {},
         {}},
        {"curl", [&](const QString& target) { return curlSeconds(url, target); }, {}, {}}};

    for (int run = 0; run < runs; ++run) {
        for (size_t turn = 0; turn < contenders.size(); ++turn) {
            Contender& contender = contenders[(run + turn) % contenders.size()];
            const QString target = dir.filePath(QStringLiteral("%1.bin").arg(turn));
            // Each timing starts with no dirty pages left by the one before.
            ::sync();
            const QMap<QString, double> before = threadCpuSeconds();
            const double curlBefore = cpuSeconds(RUSAGE_CHILDREN);
            const double seconds = contender.download(target);
            const QMap<QString, double> after = threadCpuSeconds();
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                contender.cpu[it.key()] += it.value() - before.value(it.key());
            if (const double children = cpuSeconds(RUSAGE_CHILDREN) - curlBefore; children > 0)
                contender.cpu[QStringLiteral("curl")] += children;
            if (seconds < 0 || !LoopbackHttpServer::holdsPattern(target, bytes)) {
                std::fprintf(stderr, "%s failed or wrote wrong bytes\n", contender.name);
                return 1;
            }
            contender.seconds.push_back(seconds);
            QFile::remove(target);
        }
    }
    const double curlMedian = median(contenders.back().seconds);
    std::printf("download of %lld MiB from 127.0.0.1, median of %d runs\n", mib, runs);
    for (const Contender& contender : contenders) {
        const double seconds = median(contender.seconds);
        std::printf("  %-27s %.3f s  (%.0f MiB/s)", contender.name, seconds, mib / seconds);
        if (&contender != &contenders.back())
            std::printf("  ratio to curl %.2f (goal: at most 1.25)", seconds / curlMedian);
        std::printf("\n");
    }
    std::printf("  resident memory added while the control downloaded: %.1f MiB\n",
                growthKib / 1024.0);
    std::printf("  progress reports per download: %ld\n", reports / (2 * runs));
    for (const Contender& contender : contenders)
        printCpu(contender, runs);
    return 0;
}
