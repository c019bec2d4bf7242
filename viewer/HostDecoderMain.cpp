// kestdicom-decode: decodes DICOM files' pixel data for the image page. It
// stays up for its viewer and answers requests one after another, each a JSON
// object on a line of its standard input:
//   {"file": FILE, "frames": OUT, "first": N, "count": M}
// It writes the raw frames to OUT and prints their description as one JSON
// line; it ends when its input does.
//   kestdicom-decode --read-report FILE
//   kestdicom-decode --write-report TARGET SOURCE < measurements
// read and write measurement reports, hostile files read here rather than in
// the viewer, and print a JSON object: the measurements and an error text.

#include "DecoderMemory.h"
#include "HostDecoder.h"
#include "MeasurementReport.h"

#include <gdcmTrace.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <malloc.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

QString answerTo(const std::string& line) {
    const QJsonObject request = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    const QString file = request.value(QStringLiteral("file")).toString();
    const QString out = request.value(QStringLiteral("frames")).toString();
    if (file.isEmpty() || out.isEmpty()) {
        hostdecoder::Frames refused;
        refused.error = QStringLiteral("the request could not be read");
        return hostdecoder::describe(refused);
    }
    // Each request is bounded by what its own file may need.
    if (!decodermemory::limitFor(QFileInfo(file).size()))
        std::fprintf(stderr, "kestdicom-decode: the memory bound could not be set\n");
    return hostdecoder::decodeToFile(file, out, request.value(QStringLiteral("first")).toInt(),
                                     request.value(QStringLiteral("count")).toInt());
}

void print(const QJsonObject& answer) {
    const QByteArray text = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
}

int readReport(const QString& file) {
    if (!decodermemory::limitFor(QFileInfo(file).size()))
        std::fprintf(stderr, "kestdicom-decode: the memory bound could not be set\n");
    const measurementreport::Read report = measurementreport::read(file);
    print({{QStringLiteral("measurements"), report.measurements},
           {QStringLiteral("error"), report.error}});
    return 0;
}

int writeReport(const QString& target, const QString& source) {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 1;
    const QJsonArray measurements = QJsonDocument::fromJson(input.readAll()).array();
    if (!decodermemory::limitFor(QFileInfo(source).size()))
        std::fprintf(stderr, "kestdicom-decode: the memory bound could not be set\n");
    print({{QStringLiteral("error"), measurementreport::write(target, measurements, source)}});
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const auto argument = [argv](int i) {
        return QString::fromLocal8Bit(argv[i]);
    };
    if (argc == 3 && argument(1) == QLatin1String("--read-report"))
        return readReport(argument(2));
    if (argc == 4 && argument(1) == QLatin1String("--write-report"))
        return writeReport(argument(2), argument(3));
    if (argc != 1) {
        std::fprintf(stderr,
                     "usage: kestdicom-decode < requests\n"
                     "       kestdicom-decode --read-report FILE\n"
                     "       kestdicom-decode --write-report TARGET SOURCE < measurements\n");
        return 2;
    }
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        const QByteArray answer = answerTo(line).toUtf8();
        std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        // The next file's bound starts from what the process holds between requests.
        malloc_trim(0);
    }
    return 0;
}
