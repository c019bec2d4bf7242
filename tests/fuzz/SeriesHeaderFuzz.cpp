// The two header walkers on arbitrary file contents. The stack header reader always ends with an
// answer, and a header it gives is one the stack's ordering can use as it is. The host decoder's
// walk that mends damaged VRs always ends, changes only VR bytes, and leaves a file with nothing
// left to mend.

#include "FuzzSupport.h"

#include "viewer/SeriesHeader.h"
#include "viewer/VrRepair.h"

#include <cmath>

namespace {

bool isUnit(double x, double y, double z) {
    return std::abs(std::sqrt(x * x + y * y + z * z) - 1.0) < 1e-6;
}

void mendVrs(const QByteArray& file) {
    QByteArray mended = file;
    if (vrrepair::repairUnknownVrs(mended) == 0) {
        fuzz::require(mended == file, "a file with nothing to mend is left as it is");
        return;
    }
    fuzz::require(mended.size() == file.size(), "mending keeps the file's length");
    QByteArray again = mended;
    fuzz::require(vrrepair::repairUnknownVrs(again) == 0 && again == mended,
                  "a mended file has nothing left to mend");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mendVrs(fuzz::bytesOf(data, size));
    const fuzz::ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("input.dcm"), fuzz::bytesOf(data, size));
    seriesstack::HeaderReader reader;
    const seriesstack::ReadResult result = reader.read(path);
    const auto* header = std::get_if<seriesstack::ImageHeader>(&result);
    if (!header)
        return 0;
    fuzz::require(header->rows >= 0 && header->columns >= 0 && header->frames >= 1,
                  "sizes are never negative and a file holds at least one frame");
    if (const auto& o = header->orientation)
        fuzz::require(isUnit((*o)[0], (*o)[1], (*o)[2]) && isUnit((*o)[3], (*o)[4], (*o)[5]),
                      "an orientation is two unit vectors");
    if (const auto& p = header->position)
        fuzz::require(std::isfinite((*p)[0]) && std::isfinite((*p)[1]) && std::isfinite((*p)[2]),
                      "a position is three finite numbers");
    return 0;
}
