// Times creating and extracting the same archive with cZipArchive and with Info-ZIP's zip and
// unzip, in one run, and prints the ratio of the times (cZipArchive / Info-ZIP).
#include "zip/cZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <random>

namespace {

// About 40 MB: text that compresses well, and incompressible noise.
void makeTree(const QString& root) {
    std::mt19937 random(1);
    for (int i = 0; i < 40; ++i) {
        const QString folder = QStringLiteral("%1/tree/d%2").arg(root).arg(i % 5);
        QDir().mkpath(folder);
        QByteArray data;
        if (i % 4 == 0) {
            data.resize(1 << 20);
            for (char& c : data)
                c = char(random());
        } else {
            for (int line = 0; data.size() < (1 << 20); ++line)
                data += QByteArray("record ") + QByteArray::number(line * 7 % 1000) + " value " +
                        QByteArray::number(random() % 100) + '\n';
        }
        QFile file(QStringLiteral("%1/f%2.dat").arg(folder).arg(i));
        if (file.open(QIODevice::WriteOnly))
            file.write(data);
    }
}

double secondsFor(const std::function<bool()>& work, bool& ok) {
    QElapsedTimer timer;
    timer.start();
    ok = work() && ok;
    return double(timer.nsecsElapsed()) / 1e9;
}

bool runTool(const QString& program, const QStringList& args, const QString& dir) {
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void report(const char* what, double ours, double infoZip) {
    std::printf("%-8s cZipArchive %7.3f s   Info-ZIP %7.3f s   ratio %.2f\n", what, ours, infoZip,
                ours / infoZip);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
        std::fputs("bench_zip: Info-ZIP zip and unzip are needed\n", stderr);
        return 1;
    }
    QTemporaryDir dir;
    const QString root = dir.path();
    makeTree(root);
    bool ok = true;

    const double oursCreate = secondsFor(
        [&] {
            cZipArchive zip;
            return zip.AddFromFolder(root + QStringLiteral("/tree"), true,
                                     QStringLiteral("tree")) &&
                   zip.CompressArchive(root + QStringLiteral("/ours.zip"), {}, 6);
        },
        ok);
    const double infoCreate = secondsFor(
        [&] {
            return runTool(QStringLiteral("zip"), {"-qr", "-6", "iz.zip", "tree"}, root);
        },
        ok);
    // Both extract the archive Info-ZIP made.
    const double oursExtract = secondsFor(
        [&] {
            cZipArchive zip;
            return zip.OpenArchive(root + QStringLiteral("/iz.zip")) &&
                   zip.Extract(root + QStringLiteral("/out-ours"));
        },
        ok);
    const double infoExtract = secondsFor(
        [&] {
            return runTool(QStringLiteral("unzip"), {"-q", "iz.zip", "-d", "out-iz"}, root);
        },
        ok);
    if (!ok) {
        std::fputs("bench_zip: a run failed\n", stderr);
        return 1;
    }
    std::printf("sizes: cZipArchive %lld bytes, Info-ZIP %lld bytes\n",
                QFile(root + QStringLiteral("/ours.zip")).size(),
                QFile(root + QStringLiteral("/iz.zip")).size());
    report("create", oursCreate, infoCreate);
    report("extract", oursExtract, infoExtract);
    return 0;
}
