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
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ControlRun {
    double seconds = 0;
    long peakGrowthKib = 0;
    bool ok = false;
};

ControlRun downloadFile(KestWebviewKD& control, const QString& url, const QString& target) {
    ControlRun run;
    bool done = false;
    const long before = residentKib();
    long peak = before;
    int reports = 0;
    auto sink =
        std::make_shared<FunctionEventSink>([&](DispId, const QString& name, QList<Variant>&) {
            if (name == QLatin1String("DownLoadInProgress") && ++reports % 256 == 0)
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
    // Each timing starts with no dirty pages left by the one before, and the
    // two take turns at going first.
    const auto timeControl = [&](const QString& target) {
        ::sync();
        const ControlRun result = downloadFile(*control, url, target);
        ours.push_back(result.seconds);
        growthKib = std::max(growthKib, result.peakGrowthKib);
        return result.ok;
    };
    const auto timeCurl = [&](const QString& target) {
        ::sync();
        const double seconds = curlSeconds(url, target);
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
    return 0;
}
