// Measurements for the host: what the image page reports of each one drawn,
// moved or removed, and the measurements the host draws and removes.

#include "KestDicomViewAX.h"

#include "ViewerValues.h"

#include "platform/MessagePump.h"

#include "platform/automation/AutomationError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>

#include <cmath>
#include <optional>

using viewervalues::text;

namespace {

// The points each tool takes.
int pointCount(const QString& tool) {
    static const QHash<QString, int> counts = {
        {QStringLiteral("Length"), 2},  {QStringLiteral("Angle"), 3},
        {QStringLiteral("Cobb"), 4},    {QStringLiteral("Rectangle"), 2},
        {QStringLiteral("Ellipse"), 2}, {QStringLiteral("Probe"), 1}};
    return counts.value(tool, 0);
}

// The points as the page takes them, or nothing when they are not count
// pairs of finite numbers.
std::optional<QString> pointsOf(const QString& points, int count) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(points.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() ||
        document.array().size() != count)
        return std::nullopt;
    for (const QJsonValue& point : document.array()) {
        const QJsonArray pair = point.toArray();
        if (pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble() ||
            !std::isfinite(pair[0].toDouble()) || !std::isfinite(pair[1].toDouble()))
            return std::nullopt;
    }
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

// A report read or written can take this long; a report tool that takes
// longer is stopped.
constexpr auto ReportToolTime = std::chrono::seconds(30);

// Runs the decoder program on a report (it reads and writes them in a process
// of its own) and returns its answer; an automation error when it fails.
QJsonObject runReportTool(const QString& program, const QStringList& arguments,
                          const QByteArray& input = {}) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForStarted())
        throw AutomationError(vberr::PathFileAccessError,
                              QStringLiteral("the report tool could not be started"),
                              QStringLiteral("KestDicomView"));
    tool.write(input);
    tool.closeWriteChannel();
    const bool finished =
        pump::waitUntil([&tool] { return tool.state() == QProcess::NotRunning; }, ReportToolTime);
    if (!finished) {
        tool.kill();
        tool.waitForFinished();
    }
    const QJsonObject answer = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    if (!finished || tool.exitStatus() != QProcess::NormalExit || answer.isEmpty())
        throw AutomationError(vberr::InvalidProcedureCall,
                              QStringLiteral("the report could not be read or written"),
                              QStringLiteral("KestDicomView"));
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        throw AutomationError(vberr::InvalidProcedureCall, error, QStringLiteral("KestDicomView"));
    return answer;
}

} // namespace

QString KestDicomViewAX::GetMeasurements() const {
    return m_measurements.json();
}

QString KestDicomViewAX::AddMeasurement(const QString& toolName, const QString& points) {
    const int count = pointCount(toolName);
    const auto valid = pointsOf(points, count);
    if (!m_imagePresent || count == 0 || !valid)
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    callPage(QStringLiteral("addMeasurement"), {text(toolName), text(*valid), text(id)});
    return id;
}

bool KestDicomViewAX::RemoveMeasurement(const QString& id) {
    if (!m_imagePresent || !m_measurements.contains(id))
        return false;
    callPage(QStringLiteral("removeMeasurement"), {text(id)});
    return true;
}

void KestDicomViewAX::onMeasurementChanged(const QString& content) {
    const auto change = m_measurements.apply(content);
    if (change)
        raise(QStringLiteral("MeasurementChanged"),
              {text(change->id), text(change->action), text(change->json)});
}

bool KestDicomViewAX::SaveMeasurementsAsSR(const QString& fileName) {
    const QJsonArray measurements = QJsonDocument::fromJson(m_measurements.json().toUtf8()).array();
    if (!m_imagePresent || measurements.isEmpty() || fileName.isEmpty())
        return false;
    // Written beside the target first, so that a failed write leaves the target as it was.
    const QString partial = fileName + QStringLiteral(".part");
    try {
        runReportTool(
            m_assetFolder + QStringLiteral("kestdicom-decode"),
            {QStringLiteral("--write-report"), partial, m_instanceFolder + m_document.dcmFile},
            QJsonDocument(measurements).toJson(QJsonDocument::Compact));
    } catch (const AutomationError&) {
        QFile::remove(partial);
        throw;
    }
    QFile::remove(fileName);
    if (!QFile::rename(partial, fileName)) {
        QFile::remove(partial);
        throw AutomationError::standard(vberr::PathFileAccessError);
    }
    return true;
}

std::int32_t KestDicomViewAX::LoadMeasurements(const QString& fileName) {
    if (!m_imagePresent)
        return 0;
    const QJsonObject report = runReportTool(m_assetFolder + QStringLiteral("kestdicom-decode"),
                                             {QStringLiteral("--read-report"), fileName});
    std::int32_t drawn = 0;
    for (const QJsonValue& value : report.value(QStringLiteral("measurements")).toArray()) {
        const QJsonObject measurement = value.toObject();
        const QString points =
            QString::fromUtf8(QJsonDocument(measurement.value(QStringLiteral("points")).toArray())
                                  .toJson(QJsonDocument::Compact));
        const Variant added =
            callPage(QStringLiteral("addMeasurementOn"),
                     {text(measurement.value(QStringLiteral("sopInstanceUid")).toString()),
                      Variant(std::int32_t(measurement.value(QStringLiteral("frame")).toInt())),
                      text(measurement.value(QStringLiteral("tool")).toString()), text(points),
                      text(QUuid::createUuid().toString(QUuid::WithoutBraces))});
        if (added.toBool())
            ++drawn;
    }
    return drawn;
}
