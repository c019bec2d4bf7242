#include "tests/common/DicomdirBuilder.h"

#include <QFile>
#include <QtEndian>

namespace testing_support {

namespace {

using Syntax = DicomdirBuilder::Syntax;

constexpr std::uint32_t kUndefinedLength = 0xffffffff;

QByteArray syntaxUid(Syntax syntax) {
    switch (syntax) {
    case Syntax::ImplicitLittle:
        return "1.2.840.10008.1.2";
    case Syntax::ExplicitBig:
        return "1.2.840.10008.1.2.2";
    case Syntax::ExplicitLittle:
        break;
    }
    return "1.2.840.10008.1.2.1";
}

QByteArray encodeNumber(Syntax syntax, std::uint32_t value, int size) {
    char bytes[4];
    if (syntax == Syntax::ExplicitBig) {
        if (size == 2)
            qToBigEndian(std::uint16_t(value), bytes);
        else
            qToBigEndian(value, bytes);
    } else {
        if (size == 2)
            qToLittleEndian(std::uint16_t(value), bytes);
        else
            qToLittleEndian(value, bytes);
    }
    return QByteArray(bytes, size);
}

bool hasLongLength(const QByteArray& vr) {
    static const QList<QByteArray> longVrs = {"OB", "OD", "OF", "OL", "OW",
                                              "SQ", "UC", "UN", "UR", "UT"};
    return longVrs.contains(vr);
}

// The header of an element (or of an item, with an empty VR) in the given syntax.
QByteArray header(Syntax syntax, std::uint16_t group, std::uint16_t number, const QByteArray& vr,
                  std::uint32_t length) {
    QByteArray out = encodeNumber(syntax, group, 2) + encodeNumber(syntax, number, 2);
    if (syntax == Syntax::ImplicitLittle || vr.isEmpty())
        return out + encodeNumber(syntax, length, 4);
    out += vr;
    if (hasLongLength(vr))
        return out + encodeNumber(syntax, 0, 2) + encodeNumber(syntax, length, 4);
    return out + encodeNumber(syntax, length, 2);
}

QByteArray padded(QByteArray value, const QByteArray& vr) {
    if (value.size() % 2)
        value.append(vr == "UI" ? '\0' : ' ');
    return value;
}

QByteArray encodeElement(Syntax syntax, std::uint16_t group, std::uint16_t number,
                         const QByteArray& vr, const QByteArray& raw) {
    const QByteArray value = padded(raw, vr);
    return header(syntax, group, number, vr, std::uint32_t(value.size())) + value;
}

std::uint32_t tagOf(std::uint16_t group, std::uint16_t number) {
    return std::uint32_t(group) << 16 | number;
}

} // namespace

int DicomdirBuilder::add(int parent, const QByteArray& type, const QList<QByteArray>& fileId) {
    Record record;
    record.parent = parent;
    record.texts[tagOf(0x0004, 0x1430)] = {"CS", type};
    if (!fileId.isEmpty())
        record.texts[tagOf(0x0004, 0x1500)] = {"CS", fileId.join('\\')};
    m_records.push_back(record);
    return int(m_records.size()) - 1;
}

int DicomdirBuilder::patient(const QByteArray& name, const QByteArray& id) {
    const int record = add(-1, "PATIENT");
    text(record, 0x0010, 0x0010, "PN", name).text(record, 0x0010, 0x0020, "LO", id);
    return record;
}

int DicomdirBuilder::study(int patient, const QByteArray& date, const QByteArray& description) {
    const int record = add(patient, "STUDY");
    text(record, 0x0008, 0x0020, "DA", date).text(record, 0x0008, 0x1030, "LO", description);
    return record;
}

int DicomdirBuilder::series(int study, const QByteArray& modality, int number) {
    const int record = add(study, "SERIES");
    text(record, 0x0008, 0x0060, "CS", modality)
        .text(record, 0x0020, 0x0011, "IS", QByteArray::number(number));
    return record;
}

int DicomdirBuilder::image(int series, int instance, const QList<QByteArray>& fileId) {
    const int record = add(series, "IMAGE", fileId);
    text(record, 0x0020, 0x0013, "IS", QByteArray::number(instance));
    return record;
}

DicomdirBuilder& DicomdirBuilder::text(int record, std::uint16_t group, std::uint16_t element,
                                       const char* vr, const QByteArray& value) {
    m_records[std::size_t(record)].texts[tagOf(group, element)] = {vr, value};
    return *this;
}

DicomdirBuilder& DicomdirBuilder::nest(int record, int depth) {
    m_records[std::size_t(record)].nestDepth = depth;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::setSyntax(Syntax syntax) {
    m_syntax = syntax;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::setUndefinedLengths(bool undefined) {
    m_undefinedLengths = undefined;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::setOffsetsWritten(bool written) {
    m_offsetsWritten = written;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::overrideNext(int record, std::uint32_t offset) {
    m_next[record] = offset;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::overrideLower(int record, std::uint32_t offset) {
    m_lower[record] = offset;
    return *this;
}

DicomdirBuilder& DicomdirBuilder::overrideRoot(std::uint32_t offset) {
    m_rootOverridden = true;
    m_root = offset;
    return *this;
}

QByteArray DicomdirBuilder::element(std::uint16_t group, std::uint16_t id, const QByteArray& vr,
                                    const QByteArray& value) const {
    return encodeElement(m_syntax, group, id, vr, value);
}

QByteArray DicomdirBuilder::number(std::uint32_t value, int size) const {
    return encodeNumber(m_syntax, value, size);
}

// Level k of d holds one item whose content is level k + 1; the innermost item is empty.
QByteArray DicomdirBuilder::nested(int depth) const {
    const std::uint32_t sequenceHeader = m_syntax == Syntax::ImplicitLittle ? 8 : 12;
    QByteArray out;
    out.reserve(int(depth * (sequenceHeader + 8)));
    for (int level = 0; level < depth; ++level) {
        const std::uint32_t length = 8 + std::uint32_t(depth - 1 - level) * (8 + sequenceHeader);
        out += header(m_syntax, 0x0040, 0xa730, "SQ", length);
        out += header(m_syntax, 0xfffe, 0xe000, {}, length - 8);
    }
    return out;
}

QByteArray DicomdirBuilder::item(const QByteArray& content) const {
    if (!m_undefinedLengths)
        return header(m_syntax, 0xfffe, 0xe000, {}, std::uint32_t(content.size())) + content;
    return header(m_syntax, 0xfffe, 0xe000, {}, kUndefinedLength) + content +
           header(m_syntax, 0xfffe, 0xe00d, {}, 0);
}

QByteArray DicomdirBuilder::encodeRecord(const Record& record, std::uint32_t next,
                                         std::uint32_t lower) const {
    std::map<std::uint32_t, QByteArray> elements;
    elements[tagOf(0x0004, 0x1400)] = element(0x0004, 0x1400, "UL", number(next, 4));
    elements[tagOf(0x0004, 0x1410)] = element(0x0004, 0x1410, "US", number(0xffff, 2));
    elements[tagOf(0x0004, 0x1420)] = element(0x0004, 0x1420, "UL", number(lower, 4));
    for (const auto& [tag, text] : record.texts)
        elements[tag] =
            element(std::uint16_t(tag >> 16), std::uint16_t(tag), text.first, text.second);
    if (record.nestDepth > 0)
        elements[tagOf(0x0040, 0xa730)] = nested(record.nestDepth);
    QByteArray out;
    for (const auto& entry : elements)
        out += entry.second;
    return out;
}

QByteArray DicomdirBuilder::metaHeader() const {
    QByteArray meta;
    meta += encodeElement(Syntax::ExplicitLittle, 0x0002, 0x0001, "OB", QByteArray("\0\1", 2));
    meta += encodeElement(Syntax::ExplicitLittle, 0x0002, 0x0002, "UI", "1.2.840.10008.1.3.10");
    meta += encodeElement(Syntax::ExplicitLittle, 0x0002, 0x0003, "UI",
                          "1.2.826.0.1.3680043.2.1125.77");
    meta += encodeElement(Syntax::ExplicitLittle, 0x0002, 0x0010, "UI", syntaxUid(m_syntax));
    const QByteArray length = encodeNumber(Syntax::ExplicitLittle, std::uint32_t(meta.size()), 4);
    return QByteArray(128, '\0') + "DICM" +
           encodeElement(Syntax::ExplicitLittle, 0x0002, 0x0000, "UL", length) + meta;
}

// The file-set attributes, up to and without the record sequence's header.
QByteArray DicomdirBuilder::beforeRecords(std::uint32_t root, std::uint32_t last) const {
    return element(0x0004, 0x1130, "CS", "KEST_TEST") +
           element(0x0004, 0x1200, "UL", number(root, 4)) +
           element(0x0004, 0x1202, "UL", number(last, 4)) +
           element(0x0004, 0x1212, "US", number(0, 2));
}

std::vector<std::uint32_t> DicomdirBuilder::layout() const {
    const std::uint32_t sequenceHeader = m_syntax == Syntax::ImplicitLittle ? 8 : 12;
    std::uint32_t position =
        std::uint32_t(metaHeader().size() + beforeRecords(0, 0).size()) + sequenceHeader;
    std::vector<std::uint32_t> offsets;
    for (const Record& record : m_records) {
        offsets.push_back(position);
        position += std::uint32_t(item(encodeRecord(record, 0, 0)).size());
    }
    return offsets;
}

std::uint32_t DicomdirBuilder::offsetOf(int record) const {
    return layout()[std::size_t(record)];
}

QByteArray DicomdirBuilder::build() const {
    const std::vector<std::uint32_t> offsets = layout();
    // Siblings link through next offsets, parents to their first child.
    std::vector<std::uint32_t> next(m_records.size(), 0);
    std::vector<std::uint32_t> lower(m_records.size(), 0);
    std::map<int, int> lastChild;
    std::uint32_t root = 0;
    std::uint32_t lastRoot = 0;
    for (int i = 0; i < int(m_records.size()); ++i) {
        const int parent = m_records[std::size_t(i)].parent;
        const auto last = lastChild.find(parent);
        if (last != lastChild.end())
            next[std::size_t(last->second)] = offsets[std::size_t(i)];
        else if (parent < 0)
            root = offsets[std::size_t(i)];
        else
            lower[std::size_t(parent)] = offsets[std::size_t(i)];
        if (parent < 0)
            lastRoot = offsets[std::size_t(i)];
        lastChild[parent] = i;
    }
    for (const auto& [record, offset] : m_next)
        next[std::size_t(record)] = offset;
    for (const auto& [record, offset] : m_lower)
        lower[std::size_t(record)] = offset;
    if (m_rootOverridden)
        root = m_root;
    if (!m_offsetsWritten) {
        std::fill(next.begin(), next.end(), 0);
        std::fill(lower.begin(), lower.end(), 0);
        root = lastRoot = 0;
    }

    QByteArray records;
    for (std::size_t i = 0; i < m_records.size(); ++i)
        records += item(encodeRecord(m_records[i], next[i], lower[i]));
    QByteArray out = metaHeader() + beforeRecords(root, lastRoot);
    if (m_undefinedLengths)
        return out + header(m_syntax, 0x0004, 0x1220, "SQ", kUndefinedLength) + records +
               header(m_syntax, 0xfffe, 0xe0dd, {}, 0);
    return out + header(m_syntax, 0x0004, 0x1220, "SQ", std::uint32_t(records.size())) + records;
}

bool DicomdirBuilder::write(const QString& path) const {
    const QByteArray bytes = build();
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace testing_support
