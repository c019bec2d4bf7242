// kestdicom-decode: decodes a DICOM file's pixel data for the image page.
//   kestdicom-decode FILE FRAMES
// writes the raw frames to FRAMES and prints their description as one JSON line.

#include "DecoderMemory.h"
#include "HostDecoder.h"

#include <gdcmTrace.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kestdicom-decode FILE FRAMES\n");
        return 2;
    }
    if (!decodermemory::limitFor(QFileInfo(args[1]).size()))
        std::fprintf(stderr, "kestdicom-decode: the memory bound could not be set\n");
    std::printf("%s\n", qPrintable(hostdecoder::decodeToFile(args[1], args[2])));
    return 0;
}
