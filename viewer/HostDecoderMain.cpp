// kestdicom-decode: decodes DICOM files' pixel data for the image page. It
// stays up for its viewer and answers requests one after another, each a JSON
// object on a line of its standard input:
//   {"file": FILE, "frames": OUT, "first": N, "count": M}
// It writes the raw frames to OUT and prints their description as one JSON
// line; it ends when its input does.

#include "DecoderMemory.h"
#include "HostDecoder.h"

#include <gdcmTrace.h>

#include <QFileInfo>
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

} // namespace

int main(int argc, char*[]) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: kestdicom-decode < requests\n");
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
