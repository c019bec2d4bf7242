#include "tests/common/DicomFiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>

namespace testing_support {

namespace {

const QByteArray kExplicitLittleEndian = "1.2.840.10008.1.2.1";

bool hasLongLength(const QByteArray& vr) {
    static const QList<QByteArray> longVrs = {"OB", "OD", "OF", "OL", "OW",
                                              "SQ", "UC", "UN", "UR", "UT"};
    return longVrs.contains(vr);
}

QByteArray padded(QByteArray value, const QByteArray& vr) {
    if (value.size() % 2)
        value.append(vr == "UI" || vr == "OB" ? '\0' : ' ');
    return value;
}

void appendUint16(QByteArray& out, std::uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendUint32(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray encodeElement(std::uint16_t group, std::uint16_t element, const QByteArray& vr,
                         const QByteArray& raw) {
    const QByteArray value = padded(raw, vr);
    QByteArray out;
    appendUint16(out, group);
    appendUint16(out, element);
    out.append(vr);
    if (hasLongLength(vr)) {
        appendUint16(out, 0);
        appendUint32(out, std::uint32_t(value.size()));
    } else {
        appendUint16(out, std::uint16_t(value.size()));
    }
    return out + value;
}

// "(0010,0010) PN [Name]  # 4, 1 PatientName" -> tag, VR, value, depth.
DumpedElement parseDumpLine(const QString& line) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^( *)\(([0-9a-f]{4},[0-9a-f]{4})\) (\w\w) (.*?) *#)"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return {};
    QString value = match.captured(4);
    if (value.startsWith('[') && value.endsWith(']'))
        value = value.mid(1, value.size() - 2);
    else if (value.startsWith('('))
        value.clear(); // "(no value available)", "(Sequence ...)"
    return {match.captured(2), match.captured(3), value, int(match.captured(1).size() / 2)};
}

} // namespace

QString pydicomFile(const QString& name) {
    return QStringLiteral("/usr/lib/python3/dist-packages/pydicom/data/test_files/") + name;
}

QList<DumpedElement> dcmdump(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("dcmdump"),
                  {QStringLiteral("-q"), QStringLiteral("-Un"), QStringLiteral("+L"), path});
    process.waitForFinished(20000);
    QList<DumpedElement> elements;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        const DumpedElement element = parseDumpLine(line);
        if (!element.tag.isEmpty() && element.vr != QStringLiteral("na"))
            elements.append(element);
    }
    return elements;
}

QString dcmdumpValue(const QString& path, const QString& tag) {
    for (const DumpedElement& element : dcmdump(path))
        if (element.tag == tag)
            return element.value;
    return {};
}

bool writeEncapsulatedPdf(const QString& path) {
    const QString pdfPath = path + QStringLiteral(".pdf");
    QFile pdf(pdfPath);
    if (!pdf.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    pdf.write("%PDF-1.1\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
              "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
              "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>endobj\n"
              "trailer<</Root 1 0 R>>\n%%EOF\n");
    pdf.close();
    return QProcess::execute(QStringLiteral("pdf2dcm"), {pdfPath, path}) == 0;
}

DicomBuilder& DicomBuilder::add(std::uint16_t group, std::uint16_t element, const char* vr,
                                const QByteArray& value) {
    m_dataSet += encodeElement(group, element, vr, value);
    return *this;
}

DicomBuilder& DicomBuilder::addSequence(std::uint16_t group, std::uint16_t element,
                                        const QList<DicomBuilder>& items) {
    QByteArray value;
    for (const DicomBuilder& item : items) {
        appendUint16(value, 0xfffe);
        appendUint16(value, 0xe000);
        appendUint32(value, std::uint32_t(item.m_dataSet.size()));
        value += item.m_dataSet;
    }
    return add(group, element, "SQ", value);
}

DicomBuilder& DicomBuilder::addUs(std::uint16_t group, std::uint16_t element, std::uint16_t value) {
    QByteArray bytes;
    appendUint16(bytes, value);
    return add(group, element, "US", bytes);
}

DicomBuilder& DicomBuilder::addGreyImage(int width, int height, int (*valueAt)(int x, int y)) {
    QByteArray pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.append(char(valueAt(x, y)));
    add(0x0028, 0x0002, "US", QByteArray("\x01\x00", 2));
    add(0x0028, 0x0004, "CS", "MONOCHROME2");
    addUs(0x0028, 0x0010, std::uint16_t(height));
    addUs(0x0028, 0x0011, std::uint16_t(width));
    addUs(0x0028, 0x0100, 8);
    addUs(0x0028, 0x0101, 8);
    addUs(0x0028, 0x0102, 7);
    addUs(0x0028, 0x0103, 0);
    return add(0x7fe0, 0x0010, "OB", pixels);
}

DicomBuilder& DicomBuilder::addFloatImage(int width, int height, const QByteArray& samples) {
    addUs(0x0028, 0x0002, 1);
    add(0x0028, 0x0004, "CS", "MONOCHROME2");
    addUs(0x0028, 0x0010, std::uint16_t(height));
    addUs(0x0028, 0x0011, std::uint16_t(width));
    addUs(0x0028, 0x0100, 32);
    return add(0x7fe0, 0x0008, "OF", samples);
}

QByteArray DicomBuilder::floatSamples(const QList<float>& values) {
    QByteArray bytes;
    for (float value : values) {
        char little[4];
        qToLittleEndian(value, little);
        bytes.append(little, 4);
    }
    return bytes;
}

QByteArray DicomBuilder::build(const QByteArray& sopClass) const {
    QByteArray meta;
    meta += encodeElement(0x0002, 0x0001, "OB", QByteArray("\x00\x01", 2));
    meta += encodeElement(0x0002, 0x0002, "UI", sopClass);
    meta += encodeElement(0x0002, 0x0003, "UI", "1.2.826.0.1.3680043.2.1125.42");
    meta += encodeElement(0x0002, 0x0010, "UI", kExplicitLittleEndian);
    QByteArray length;
    appendUint32(length, std::uint32_t(meta.size()));
    return QByteArray(128, '\0') + "DICM" + encodeElement(0x0002, 0x0000, "UL", length) + meta +
           m_dataSet;
}

bool DicomBuilder::write(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(build()) == build().size();
}

} // namespace testing_support
