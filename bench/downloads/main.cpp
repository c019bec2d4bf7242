// Downloads the same 1 GiB from a loopback HTTP server (on its own thread)
// with the browser host's DownloadFile and with curl, alternately, and prints
// the median times, their ratio (DownloadFile / curl) and how much the
// program's resident memory grew while DownloadFile ran.
//   bench_downloads [--mib N] [--runs N]
#include "browser_host/KestWebviewKD.h"
#include "platform/MessagePump.h"
#include "platform/automation/EventSource.h"
#include "tests/common/LoopbackHttpServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
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

struct ControlRun {
    double seconds = 0;
    long peakGrowthKib = 0;
    int reports = 0;
    bool ok = false;
};

ControlRun downloadFile(KestWebviewKD& control, const QString& url, const QString& target) {
    ControlRun run;
    bool done = false;
    const long before = residentKib();
    long peak = before;
    auto sink =
        std::make_shared<FunctionEventSink>([&](DispId, const QString& name, QList<Variant>&) {
            if (name == QLatin1String("DownLoadInProgress") && ++run.reports % 256 == 0)
                peak = std::max(peak, residentKib());
            if (name == QLatin1String("DownloadCompleted"))
                run.ok = done = true;
            if (name == QLatin1String("DownloadError"))
                done = true;
        });
    const auto cookie = control.events().advise(sink);
    QElapsedTimer timer;
    timer.start();
    control.call(QStringLiteral("DownloadFile"), {Variant(url), Variant(target)});
    while (!done)
        pump::waitUntil([&done] { return done; }, std::chrono::minutes(10));
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakGrowthKib = std::max(peak, residentKib()) - before;
    control.events().unadvise(cookie);
    return run;
}

double curlSeconds(const QString& url, const QString& target) {
    QElapsedTimer timer;
    timer.start();
    const int code = QProcess::execute(QStringLiteral("curl"),
                                       {QStringLiteral("-sS"), QStringLiteral("-o"), target, url});
    return code == 0 ? timer.nsecsElapsed() / 1e9 : -1;
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

    std::vector<double> ours, reference;
    long growthKib = 0;
    long reports = 0;
    // CPU seconds over all runs: this process's threads during DownloadFile,
    // and during curl the server's thread and curl itself.
    QMap<QString, double> controlCpu, curlCpu;
    const auto addCpu = [](QMap<QString, double>& total, const QMap<QString, double>& before) {
        const QMap<QString, double> after = threadCpuSeconds();
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            total[it.key()] += it.value() - before.value(it.key());
    };
    // Each timing starts with no dirty pages left by the one before, and the
    // two take turns at going first.
    const auto timeControl = [&](const QString& target) {
        ::sync();
        const QMap<QString, double> before = threadCpuSeconds();
        const ControlRun result = downloadFile(*control, url, target);
        addCpu(controlCpu, before);
        ours.push_back(result.seconds);
        growthKib = std::max(growthKib, result.peakGrowthKib);
        reports += result.reports;
        return result.ok;
    };
    const auto timeCurl = [&](const QString& target) {
        ::sync();
        const QMap<QString, double> before = threadCpuSeconds();
        const double curlBefore = cpuSeconds(RUSAGE_CHILDREN);
        const double seconds = curlSeconds(url, target);
        addCpu(curlCpu, before);
        curlCpu[QStringLiteral("curl")] += cpuSeconds(RUSAGE_CHILDREN) - curlBefore;
        reference.push_back(seconds);
        return seconds >= 0;
    };
    for (int run = 0; run < runs; ++run) {
        const QString target = dir.filePath(QStringLiteral("control-%1.bin").arg(run));
        const QString curlTarget = dir.filePath(QStringLiteral("curl-%1.bin").arg(run));
        const bool ok = run % 2 == 0 ? timeControl(target) && timeCurl(curlTarget)
                                     : timeCurl(curlTarget) && timeControl(target);
        if (!ok || !LoopbackHttpServer::holdsPattern(target, bytes) ||
            QFile(curlTarget).size() != bytes) {
            std::fprintf(stderr, "a download failed or wrote wrong bytes\n");
            return 1;
        }
        QFile::remove(target);
        QFile::remove(curlTarget);
    }
    const double oursMedian = median(ours);
    const double curlMedian = median(reference);
    std::printf("download of %lld MiB from 127.0.0.1, median of %d runs\n", mib, runs);
    std::printf("  DownloadFile  %.3f s  (%.0f MiB/s)\n", oursMedian, mib / oursMedian);
    std::printf("  curl          %.3f s  (%.0f MiB/s)\n", curlMedian, mib / curlMedian);
    std::printf("  ratio DownloadFile / curl: %.2f (goal: at most 1.25)\n",
                oursMedian / curlMedian);
    std::printf("  resident memory added during DownloadFile: %.1f MiB\n", growthKib / 1024.0);
    std::printf("  progress reports per run: %ld\n", reports / runs);
    const auto printCpu = [runs](const char* title, const QMap<QString, double>& cpu) {
        std::printf("  CPU seconds per run during %s:", title);
        for (auto it = cpu.cbegin(); it != cpu.cend(); ++it)
            if (it.value() / runs >= 0.005)
                std::printf("  %s %.2f", qPrintable(it.key()), it.value() / runs);
        std::printf("\n");
    };
    printCpu("DownloadFile", controlCpu);
    printCpu("curl", curlCpu);
    return 0;
}
