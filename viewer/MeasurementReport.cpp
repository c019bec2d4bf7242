#include "MeasurementReport.h"

#include <QFile>
#include <QJsonObject>
#include <QPointF>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/dsrdoc.h>

#include <cmath>
#include <optional>

namespace measurementreport {

namespace {

OFString latin(const QString& text) {
    return OFString(text.toUtf8().constData());
}

QString qt(const OFString& text) {
    return QString::fromUtf8(text.c_str());
}

DSRCodedEntryValue code(const char* value, const char* scheme, const char* meaning) {
    return DSRCodedEntryValue(value, scheme, meaning);
}

// The values the viewer reports, their concepts and their UCUM units.
struct ValueConcept {
    const char* key;
    DSRCodedEntryValue name;
    DSRCodedEntryValue unit; // an empty value: the measurement's own unit
};

DSRCodedEntryValue unitOf(const QString& unit) {
    if (unit == QLatin1String("HU"))
        return code("[hnsf'U]", "UCUM", "Hounsfield unit");
    return code("1", "UCUM", "no units");
}

const QList<ValueConcept>& valueConcepts() {
    static const QList<ValueConcept> concepts = {
        {"length_mm", code("410668003", "SCT", "Length"), code("mm", "UCUM", "millimeter")},
        {"angle_deg", code("1483009", "SCT", "Angle"), code("deg", "UCUM", "degree")},
        {"area_mm2", code("42798000", "SCT", "Area"), code("mm2", "UCUM", "square millimeter")},
        {"mean", code("373098007", "SCT", "Mean"), {}},
        {"stdDev", code("386136009", "SCT", "Standard Deviation"), {}},
        {"min", code("255605001", "SCT", "Minimum"), {}},
        {"max", code("56851009", "SCT", "Maximum"), {}},
        {"modality", code("373098007", "SCT", "Mean"), {}},
    };
    return concepts;
}

QList<QPointF> pointsOf(const QJsonObject& measurement) {
    QList<QPointF> points;
    for (const QJsonValue& point : measurement.value(QStringLiteral("points")).toArray())
        points.append(QPointF(point.toArray().at(0).toDouble(), point.toArray().at(1).toDouble()));
    return points;
}

// The region of a measurement: its graphic type and points.
struct Graphic {
    DSRTypes::E_GraphicType type = DSRTypes::GT_invalid;
    QList<QPointF> points;
};

Graphic graphicOf(const QString& tool, const QList<QPointF>& points) {
    if (tool == QLatin1String("Probe") && points.size() == 1)
        return {DSRTypes::GT_Point, points};
    if ((tool == QLatin1String("Length") && points.size() == 2) ||
        (tool == QLatin1String("Angle") && points.size() == 3))
        return {DSRTypes::GT_Polyline, points};
    if (tool == QLatin1String("Cobb") && points.size() == 4)
        return {DSRTypes::GT_Multipoint, points};
    if (points.size() != 2)
        return {};
    const double left = std::min(points[0].x(), points[1].x());
    const double right = std::max(points[0].x(), points[1].x());
    const double top = std::min(points[0].y(), points[1].y());
    const double bottom = std::max(points[0].y(), points[1].y());
    if (tool == QLatin1String("Rectangle"))
        return {DSRTypes::GT_Polyline,
                {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}}};
    if (tool != QLatin1String("Ellipse"))
        return {};
    const QPointF centre((left + right) / 2, (top + bottom) / 2);
    const QList<QPointF> across = {{left, centre.y()}, {right, centre.y()}};
    const QList<QPointF> down = {{centre.x(), top}, {centre.x(), bottom}};
    return {DSRTypes::GT_Ellipse, right - left >= bottom - top ? across + down : down + across};
}

// Fills the report's patient and study from the image the measurements lie on.
OFCondition takePatientAndStudy(DSRDocument& document, const QString& source) {
    DcmFileFormat file;
    OFCondition status = file.loadFile(QFile::encodeName(source).constData());
    if (status.bad())
        return status;
    DcmDataset& data = *file.getDataset();
    const auto get = [&data](const DcmTagKey& key) {
        OFString value;
        data.findAndGetOFStringArray(key, value);
        return value;
    };
    document.setSpecificCharacterSetType(DSRTypes::CS_UTF8);
    document.setPatientName(get(DCM_PatientName), false);
    document.setPatientID(get(DCM_PatientID), false);
    document.setPatientBirthDate(get(DCM_PatientBirthDate), false);
    document.setPatientSex(get(DCM_PatientSex), false);
    document.setStudyDate(get(DCM_StudyDate), false);
    document.setStudyTime(get(DCM_StudyTime), false);
    document.setStudyID(get(DCM_StudyID), false);
    document.setAccessionNumber(get(DCM_AccessionNumber), false);
    document.setReferringPhysicianName(get(DCM_ReferringPhysicianName), false);
    const OFString study = get(DCM_StudyInstanceUID);
    return study.empty() ? document.createNewSeriesInStudy(dcmGenerateUniqueIdentifier(nullptr))
                         : document.createNewSeriesInStudy(study);
}

// Adds an item below or after the current one and makes it current.
bool add(DSRDocumentTree& tree, DSRTypes::E_RelationshipType relation, DSRTypes::E_ValueType type,
         const DSRCodedEntryValue& name, DSRTypes::E_AddMode mode) {
    if (tree.addContentItem(relation, type, mode) == 0)
        return false;
    return name.isEmpty() || tree.getCurrentContentItem().setConceptName(name).good();
}

void addImageReference(DSRDocumentTree& tree, const QJsonObject& measurement) {
    add(tree, DSRTypes::RT_selectedFrom, DSRTypes::VT_Image, {}, DSRTypes::AM_belowCurrent);
    DSRImageReferenceValue reference(
        latin(measurement.value(QStringLiteral("sopClassUid")).toString()),
        latin(measurement.value(QStringLiteral("sopInstanceUid")).toString()));
    tree.getCurrentContentItem().setImageReference(reference, false);
    const int frame = measurement.value(QStringLiteral("frame")).toInt();
    if (frame > 0)
        tree.getCurrentContentItem().getImageReferencePtr()->getFrameList().addItem(frame + 1);
    tree.goUp();
}

bool addGroup(DSRDocumentTree& tree, const QJsonObject& measurement, int number, bool first) {
    const QString tool = measurement.value(QStringLiteral("tool")).toString();
    const Graphic graphic = graphicOf(tool, pointsOf(measurement));
    if (graphic.type == DSRTypes::GT_invalid)
        return false;
    add(tree, DSRTypes::RT_contains, DSRTypes::VT_Container,
        code("125007", "DCM", "Measurement Group"),
        first ? DSRTypes::AM_belowCurrent : DSRTypes::AM_afterCurrent);
    add(tree, DSRTypes::RT_contains, DSRTypes::VT_Text,
        code("112039", "DCM", "Tracking Identifier"), DSRTypes::AM_belowCurrent);
    tree.getCurrentContentItem().setStringValue(
        latin(tool + QLatin1Char(' ') + QString::number(number)), false);
    add(tree, DSRTypes::RT_contains, DSRTypes::VT_UIDRef,
        code("112040", "DCM", "Tracking Unique Identifier"), DSRTypes::AM_afterCurrent);
    char uid[100];
    tree.getCurrentContentItem().setStringValue(dcmGenerateUniqueIdentifier(uid), false);
    add(tree, DSRTypes::RT_contains, DSRTypes::VT_SCoord, code("111030", "DCM", "Image Region"),
        DSRTypes::AM_afterCurrent);
    DSRSpatialCoordinatesValue region(graphic.type);
    for (const QPointF& point : graphic.points)
        region.getGraphicDataList().addItem(float(point.x()), float(point.y()));
    tree.getCurrentContentItem().setSpatialCoordinates(region, false);
    addImageReference(tree, measurement);
    const DSRCodedEntryValue ownUnit = unitOf(measurement.value(QStringLiteral("unit")).toString());
    for (const ValueConcept& value : valueConcepts()) {
        const QJsonValue number = measurement.value(QLatin1String(value.key));
        if (!number.isDouble() || !std::isfinite(number.toDouble()))
            continue;
        add(tree, DSRTypes::RT_contains, DSRTypes::VT_Num, value.name, DSRTypes::AM_afterCurrent);
        tree.getCurrentContentItem().setNumericValue(
            DSRNumericMeasurementValue(latin(QString::number(number.toDouble(), 'g', 12)),
                                       value.unit.isEmpty() ? ownUnit : value.unit),
            false);
    }
    tree.goUp();
    return true;
}

OFCondition buildTree(DSRDocumentTree& tree, const QJsonArray& measurements) {
    add(tree, DSRTypes::RT_isRoot, DSRTypes::VT_Container,
        code("126000", "DCM", "Imaging Measurement Report"), DSRTypes::AM_afterCurrent);
    tree.getCurrentContentItem().setTemplateIdentification("1500", "DCMR");
    add(tree, DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code,
        code("121049", "DCM", "Language of Content Item and Descendants"),
        DSRTypes::AM_belowCurrent);
    tree.getCurrentContentItem().setCodeValue(code("eng", "RFC5646", "English"), false);
    add(tree, DSRTypes::RT_hasObsContext, DSRTypes::VT_Code, code("121005", "DCM", "Observer Type"),
        DSRTypes::AM_afterCurrent);
    tree.getCurrentContentItem().setCodeValue(code("121007", "DCM", "Device"), false);
    add(tree, DSRTypes::RT_hasObsContext, DSRTypes::VT_UIDRef,
        code("121012", "DCM", "Device Observer UID"), DSRTypes::AM_afterCurrent);
    char uid[100];
    tree.getCurrentContentItem().setStringValue(dcmGenerateUniqueIdentifier(uid), false);
    add(tree, DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code,
        code("121058", "DCM", "Procedure reported"), DSRTypes::AM_afterCurrent);
    tree.getCurrentContentItem().setCodeValue(code("363679005", "SCT", "Imaging procedure"), false);
    add(tree, DSRTypes::RT_contains, DSRTypes::VT_Container,
        code("126010", "DCM", "Imaging Measurements"), DSRTypes::AM_afterCurrent);
    int number = 0;
    for (const QJsonValue& measurement : measurements) {
        if (addGroup(tree, measurement.toObject(), number + 1, number == 0))
            ++number;
    }
    return number > 0 ? EC_Normal : EC_IllegalParameter;
}

// The images the report references, as the evidence it was made from.
void listEvidence(DSRDocument& document, const QJsonArray& measurements) {
    for (const QJsonValue& value : measurements) {
        const QJsonObject measurement = value.toObject();
        const auto uid = [&measurement](const char* key) {
            return latin(measurement.value(QLatin1String(key)).toString());
        };
        document.getCurrentRequestedProcedureEvidence().addItem(
            uid("studyInstanceUid"), uid("seriesInstanceUid"), uid("sopClassUid"),
            uid("sopInstanceUid"));
    }
}

} // namespace

QString write(const QString& target, const QJsonArray& measurements, const QString& source) {
    DSRDocument document(DSRTypes::DT_ComprehensiveSR);
    if (takePatientAndStudy(document, source).bad())
        return QStringLiteral("the image's patient and study cannot be read");
    document.setManufacturer("Tarnwell");
    document.setSeriesDescription("Measurements");
    if (buildTree(document.getTree(), measurements).bad())
        return QStringLiteral("there is no measurement to write");
    listEvidence(document, measurements);
    DcmFileFormat file;
    if (document.write(*file.getDataset()).bad())
        return QStringLiteral("the report is not a valid structured report");
    const OFCondition saved =
        file.saveFile(QFile::encodeName(target).constData(), EXS_LittleEndianExplicit);
    return saved.good() ? QString() : qt(saved.text());
}

namespace {

// The region's points as the viewer's tool takes them, and the tool; nothing
// for a region no tool draws.
std::optional<std::pair<QString, QList<QPointF>>> toolOf(DSRTypes::E_GraphicType type,
                                                         const QList<QPointF>& points) {
    const auto isClosedRectangle = [&points] {
        return points.size() == 5 && points[0] == points[4] && points[0].y() == points[1].y() &&
               points[1].x() == points[2].x() && points[2].y() == points[3].y() &&
               points[3].x() == points[0].x();
    };
    if (type == DSRTypes::GT_Point && points.size() == 1)
        return std::pair{QStringLiteral("Probe"), points};
    if (type == DSRTypes::GT_Polyline && points.size() == 2)
        return std::pair{QStringLiteral("Length"), points};
    if (type == DSRTypes::GT_Polyline && points.size() == 3)
        return std::pair{QStringLiteral("Angle"), points};
    if (type == DSRTypes::GT_Multipoint && points.size() == 4)
        return std::pair{QStringLiteral("Cobb"), points};
    if (type == DSRTypes::GT_Polyline && isClosedRectangle())
        return std::pair{QStringLiteral("Rectangle"), QList<QPointF>{points[0], points[2]}};
    if (type == DSRTypes::GT_Ellipse && points.size() == 4) {
        const double left = std::min({points[0].x(), points[1].x(), points[2].x(), points[3].x()});
        const double right = std::max({points[0].x(), points[1].x(), points[2].x(), points[3].x()});
        const double top = std::min({points[0].y(), points[1].y(), points[2].y(), points[3].y()});
        const double bottom =
            std::max({points[0].y(), points[1].y(), points[2].y(), points[3].y()});
        return std::pair{QStringLiteral("Ellipse"), QList<QPointF>{{left, top}, {right, bottom}}};
    }
    if (type == DSRTypes::GT_Circle && points.size() == 2) {
        const double radius =
            std::hypot(points[1].x() - points[0].x(), points[1].y() - points[0].y());
        const QPointF centre = points[0];
        return std::pair{
            QStringLiteral("Ellipse"),
            QList<QPointF>{centre - QPointF(radius, radius), centre + QPointF(radius, radius)}};
    }
    return std::nullopt;
}

QJsonArray pointsJson(const QList<QPointF>& points) {
    QJsonArray array;
    for (const QPointF& point : points)
        array.append(QJsonArray{point.x(), point.y()});
    return array;
}

// The measurement of the SCOORD the cursor is on, from it and its image.
std::optional<QJsonObject> measurementAt(DSRDocumentTree& tree) {
    DSRSpatialCoordinatesValue* region = tree.getCurrentContentItem().getSpatialCoordinatesPtr();
    if (!region)
        return std::nullopt;
    QList<QPointF> points;
    const DSRGraphicDataList& data = region->getGraphicDataList();
    for (size_t i = 1; i <= data.getNumberOfItems(); ++i) {
        const DSRGraphicDataItem& item = data.getItem(i);
        points.append(QPointF(item.Column, item.Row));
    }
    const auto tool = toolOf(region->getGraphicType(), points);
    if (!tool || tree.goDown() == 0)
        return std::nullopt;
    std::optional<QJsonObject> found;
    do {
        const DSRImageReferenceValue* image = tree.getCurrentContentItem().getImageReferencePtr();
        if (!image ||
            tree.getCurrentContentItem().getRelationshipType() != DSRTypes::RT_selectedFrom)
            continue;
        Sint32 frame = 1;
        if (!image->getFrameList().isEmpty())
            image->getFrameList().getItem(1, frame);
        found = QJsonObject{{QStringLiteral("tool"), tool->first},
                            {QStringLiteral("points"), pointsJson(tool->second)},
                            {QStringLiteral("sopInstanceUid"), qt(image->getSOPInstanceUID())},
                            {QStringLiteral("frame"), std::max<int>(0, frame - 1)}};
        break;
    } while (tree.gotoNext() > 0);
    tree.goUp();
    return found;
}

} // namespace

Read read(const QString& file) {
    DcmFileFormat format;
    if (format.loadFile(QFile::encodeName(file).constData()).bad())
        return {{}, QStringLiteral("the file is not a readable DICOM file")};
    DSRDocument document;
    if (document.read(*format.getDataset()).bad())
        return {{}, QStringLiteral("the file is not a readable structured report")};
    DSRDocumentTree& tree = document.getTree();
    Read result;
    if (tree.gotoRoot() == 0)
        return result;
    // Every region in the report, wherever the template put it, up to as many
    // as the viewer keeps.
    constexpr qsizetype MaxMeasurements = 10000;
    while (tree.iterate() > 0 && result.measurements.size() < MaxMeasurements) {
        if (tree.getCurrentContentItem().getValueType() != DSRTypes::VT_SCoord)
            continue;
        const size_t at = tree.getNodeID();
        if (const auto measurement = measurementAt(tree))
            result.measurements.append(*measurement);
        tree.gotoNode(at);
    }
    return result;
}

} // namespace measurementreport
