// The DICOM file test on arbitrary file contents, against its definition: "DICM" at offset 128.

#include "FuzzSupport.h"

#include "viewer/PageAssets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ScratchFolder folder;
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString path = folder.write(QStringLiteral("input.dcm"), bytes);
    fuzz::require(pageassets::isDicomFile(path) == (bytes.mid(128, 4) == "DICM"),
                  "a file is DICOM exactly when it has DICM at offset 128");
    return 0;
}
