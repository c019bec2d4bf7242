#include "VrRepair.h"

#include <QtEndian>

#include <gdcmDicts.h>
#include <gdcmGlobal.h>
#include <gdcmVR.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace vrrepair {

namespace {

constexpr qsizetype MetaStart = 132; // after the preamble and "DICM"
constexpr int MaxDepth = 32;
constexpr quint32 Undefined = 0xffffffff;
constexpr qsizetype Unbounded = std::numeric_limits<qsizetype>::max();
constexpr quint16 ItemGroup = 0xfffe;
constexpr quint16 Item = 0xe000;
constexpr quint16 ItemEnd = 0xe00d;
constexpr quint16 SequenceEnd = 0xe0dd;
constexpr qsizetype Stop = -1;

const char* const KnownVrs[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL",
                                "IS", "LO", "LT", "OB", "OD", "OF", "OL", "OV", "OW",
                                "PN", "SH", "SL", "SQ", "SS", "ST", "SV", "TM", "UC",
                                "UI", "UL", "UN", "UR", "US", "UT", "UV"};
const char* const LongVrs[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                               "SV", "UC", "UN", "UR", "UT", "UV"};

template <std::size_t N> bool among(const char* vr, const char* const (&list)[N]) {
    return std::any_of(std::begin(list), std::end(list),
                       [vr](const char* known) { return std::memcmp(vr, known, 2) == 0; });
}

// The syntaxes whose data sets are explicit VR little endian are all but these.
bool explicitLittleEndian(const QByteArray& syntax) {
    return !syntax.isEmpty() && syntax != "1.2.840.10008.1.2" && syntax != "1.2.840.10008.1.2.2" &&
           syntax != "1.2.840.10008.1.2.1.99";
}

class Walker {
public:
    explicit Walker(QByteArray& file)
        : m_data(file.data())
        , m_size(file.size()) {}

    int repaired() const { return m_repaired; }
    const QByteArray& syntax() const { return m_syntax; }

    // Elements from `at` until `end`, a delimiter (when unbounded) or, for the
    // meta information, the first element of another group. The position
    // after them, or Stop.
    qsizetype elements(qsizetype at, qsizetype end, int depth, bool meta) {
        while (at < end) {
            if (at + 8 > m_size)
                return end == Unbounded || meta ? Stop : at;
            const quint16 group = u16(at);
            if (meta && group != 0x0002)
                return at;
            if (group == ItemGroup)
                return end == Unbounded && u16(at + 2) == ItemEnd ? at + 8 : Stop;
            at = element(at, depth);
            if (at == Stop)
                return Stop;
        }
        return at;
    }

private:
    quint16 u16(qsizetype at) const { return qFromLittleEndian<quint16>(m_data + at); }
    quint32 u32(qsizetype at) const { return qFromLittleEndian<quint32>(m_data + at); }
    bool fits(qsizetype at, quint32 length) const { return qsizetype(length) <= m_size - at; }

    qsizetype element(qsizetype at, int depth) {
        char* vr = m_data + at + 4;
        if (!among(vr, KnownVrs))
            repair(at);
        const bool longForm = among(vr, LongVrs);
        const qsizetype value = at + (longForm ? 12 : 8);
        if (value > m_size)
            return Stop;
        const quint32 length = longForm ? u32(at + 8) : u16(at + 6);
        const bool sequence = std::memcmp(vr, "SQ", 2) == 0;
        if (length == Undefined) {
            if (u16(at) == 0x7fe0 && u16(at + 2) == 0x0010)
                return fragments(value);
            return sequence ? items(value, Unbounded, depth + 1) : Stop;
        }
        if (!fits(value, length))
            return Stop;
        if (u16(at) == 0x0002 && u16(at + 2) == 0x0010)
            m_syntax = QByteArray(m_data + value, length).replace('\0', "").trimmed();
        if (sequence && items(value, value + length, depth + 1) == Stop)
            return Stop;
        return value + length;
    }

    // The items of a sequence, to `end` or (unbounded) its delimiter.
    qsizetype items(qsizetype at, qsizetype end, int depth) {
        if (depth > MaxDepth)
            return Stop;
        while (at < end) {
            if (at + 8 > m_size || u16(at) != ItemGroup)
                return Stop;
            const quint16 tag = u16(at + 2);
            const quint32 length = u32(at + 4);
            if (tag == SequenceEnd)
                return at + 8;
            if (tag != Item)
                return Stop;
            const qsizetype value = at + 8;
            if (length == Undefined) {
                at = elements(value, Unbounded, depth, false);
            } else if (!fits(value, length) ||
                       elements(value, value + length, depth, false) == Stop) {
                return Stop;
            } else {
                at = value + length;
            }
            if (at == Stop)
                return Stop;
        }
        return at;
    }

    // Encapsulated pixel data: its items hold codestreams, not elements.
    qsizetype fragments(qsizetype at) const {
        while (at + 8 <= m_size && u16(at) == ItemGroup) {
            const quint32 length = u32(at + 4);
            if (u16(at + 2) == SequenceEnd)
                return at + 8;
            if (u16(at + 2) != Item || length == Undefined || !fits(at + 8, length))
                return Stop;
            at += 8 + qsizetype(length);
        }
        return Stop;
    }

    // The dictionary's VR for the tag, read in the form the header's bytes
    // allow: a long-form VR only where the two reserved bytes are zero, else a
    // text VR with a 16-bit length, as lenient readers read it.
    void repair(qsizetype at) {
        const gdcm::DictEntry& entry =
            gdcm::Global::GetInstance().GetDicts().GetDictEntry(gdcm::Tag(u16(at), u16(at + 2)));
        const char* known = entry.GetVR() == gdcm::VR::INVALID
                                ? nullptr
                                : gdcm::VR::GetVRString(gdcm::VR::VRType(entry.GetVR()));
        const bool reservedZero = at + 8 <= m_size && m_data[at + 6] == 0 && m_data[at + 7] == 0;
        const char* chosen = "LO";
        if (known && std::strlen(known) >= 2 && among(known, KnownVrs) &&
            among(known, LongVrs) == reservedZero)
            chosen = known;
        else if (!known && reservedZero)
            chosen = "UN";
        std::memcpy(m_data + at + 4, chosen, 2);
        ++m_repaired;
    }

    char* m_data;
    qsizetype m_size;
    QByteArray m_syntax;
    int m_repaired = 0;
};

} // namespace

int repairUnknownVrs(QByteArray& file) {
    if (file.size() < MetaStart || file.mid(128, 4) != "DICM")
        return 0;
    Walker walker(file);
    const qsizetype dataSet = walker.elements(MetaStart, file.size(), 0, true);
    // A data set whose first element has no VR is not encoded as its syntax says (implicit VR
    // under an explicit syntax): GDCM's reader finds that out itself, and it is left as it is.
    if (dataSet != Stop && explicitLittleEndian(walker.syntax()) && dataSet + 6 <= file.size() &&
        among(file.constData() + dataSet + 4, KnownVrs))
        walker.elements(dataSet, file.size(), 0, false);
    return walker.repaired();
}

} // namespace vrrepair
