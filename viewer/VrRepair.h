#pragma once

#include <QByteArray>

// Element headers whose value representation is not one DICOM defines (a
// damaged byte: "CS" read as "CC", "US" as "Us"), mended so that GDCM's
// reader, which stops at the first of them, reads the file. Lenient readers
// (the page's parser among them) read such an element with a 16-bit length
// and go on; GDCM is handed the same reading, with the dictionary's VR for the
// tag in place of the damaged one.
namespace vrrepair {

// Walks the file meta information and, for explicit VR little endian, the
// data set, its sequences and items, and replaces each unknown VR; a data set
// whose first element has none is taken for one encoded with implicit VRs
// whatever its syntax says, and left as it is. The walk
// stops where the file stops making sense (a length past the end, an
// undefined length it cannot follow, nesting deeper than a few dozen levels);
// what it mended so far stays. Returns the number of VRs replaced.
int repairUnknownVrs(QByteArray& file);

} // namespace vrrepair
