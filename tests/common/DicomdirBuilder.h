#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace testing_support {

// Writes DICOMDIR files for tests: records in sequence order, linked by the offsets of
// where each record lands, in any of the three uncompressed transfer syntaxes. A test
// damages the links (loops, offsets past the end) through the overrides and the bytes
// through the record offsets it reports.
class DicomdirBuilder {
public:
    enum class Syntax { ExplicitLittle, ImplicitLittle, ExplicitBig };

    // Adds a record below parent (-1: top level) and returns its number.
    int add(int parent, const QByteArray& type, const QList<QByteArray>& fileId = {});
    int patient(const QByteArray& name, const QByteArray& id);
    int study(int patient, const QByteArray& date, const QByteArray& description);
    int series(int study, const QByteArray& modality, int number);
    int image(int series, int instance, const QList<QByteArray>& fileId);

    // A text attribute of the record, e.g. (0010,0010) PN.
    DicomdirBuilder& text(int record, std::uint16_t group, std::uint16_t element, const char* vr,
                          const QByteArray& value);
    // A sequence (0040,A730) whose one item holds the same sequence, depth levels deep.
    DicomdirBuilder& nest(int record, int depth);

    DicomdirBuilder& setSyntax(Syntax syntax);
    // Items and the record sequence closed by delimiters instead of measured.
    DicomdirBuilder& setUndefinedLengths(bool undefined);
    // False writes every offset as zero: readers fall back to the order of the records.
    DicomdirBuilder& setOffsetsWritten(bool written);
    // Raw values for a record's next-record or lower-level offset, or the root offset.
    DicomdirBuilder& overrideNext(int record, std::uint32_t offset);
    DicomdirBuilder& overrideLower(int record, std::uint32_t offset);
    DicomdirBuilder& overrideRoot(std::uint32_t offset);

    QByteArray build() const;
    bool write(const QString& path) const;
    // Where the record's item starts in the built file.
    std::uint32_t offsetOf(int record) const;
    int recordCount() const { return int(m_records.size()); }

private:
    struct Record {
        int parent = -1;
        std::map<std::uint32_t, std::pair<QByteArray, QByteArray>> texts; // tag -> (VR, value)
        int nestDepth = 0;
    };

    QByteArray element(std::uint16_t group, std::uint16_t id, const QByteArray& vr,
                       const QByteArray& value) const;
    QByteArray number(std::uint32_t value, int size) const;
    QByteArray encodeRecord(const Record& record, std::uint32_t next, std::uint32_t lower) const;
    QByteArray nested(int depth) const;
    QByteArray item(const QByteArray& content) const;
    QByteArray metaHeader() const;
    QByteArray beforeRecords(std::uint32_t root, std::uint32_t last) const;
    std::vector<std::uint32_t> layout() const;

    std::vector<Record> m_records;
    std::map<int, std::uint32_t> m_next;
    std::map<int, std::uint32_t> m_lower;
    bool m_rootOverridden = false;
    std::uint32_t m_root = 0;
    Syntax m_syntax = Syntax::ExplicitLittle;
    bool m_undefinedLengths = false;
    bool m_offsetsWritten = true;
};

} // namespace testing_support
