// The values the image page holds for every image of the pydicom test data,
// compared with pydicom's own decoding: the stored values of the frame shown
// and their modality values.

#include "RenderRun.h"
#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

using testing_support::pydicomFile;

QStringList reference(const QStringList& arguments) {
    QProcess python;
    python.setStandardErrorFile(QProcess::nullDevice());
    python.start(QStringLiteral(KEST_SYSTEM_PYTHON),
                 QStringList{QStringLiteral(KEST_PIXEL_REFERENCE)} + arguments);
    if (!python.waitForFinished(120000))
        return {};
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// pydicom's verdict on each file of its test data that holds pixel data.
struct TestFiles {
    QStringList decodable;
    QStringList undecodable;
};

TestFiles pydicomVerdicts() {
    TestFiles files;
    const QString folder = QFileInfo(pydicomFile(QStringLiteral("CT_small.dcm"))).path();
    for (const QString& line : reference({QStringLiteral("list"), folder})) {
        const QStringList fields = line.split('\t');
        if (fields.value(0) == QLatin1String("decodable"))
            files.decodable.append(folder + '/' + fields.value(1));
        else if (fields.value(0) == QLatin1String("undecodable"))
            files.undecodable.append(folder + '/' + fields.value(1));
    }
    return files;
}

class PixelValues : public ViewerFixture {
protected:
    bool saveValues(const QString& path) {
        QFile::remove(path);
        viewer->call("RunJs", {Variant(QStringLiteral("saveCurrentValues")), Variant(path)});
        return pump::waitUntil([&] { return QFileInfo(path).size() > 0; },
                               std::chrono::seconds(20));
    }
    bool noImage() const { return find("ImageLoaded")->args.value(12).toBool(); }
};

TEST_F(PixelValues, EveryFilePydicomDecodesShowsPydicomsValues) {
    const TestFiles files = pydicomVerdicts();
    ASSERT_GE(files.decodable.size(), 40) << "python3 with pydicom and numpy is needed";
    QTemporaryDir values;
    QStringList shown;
    for (const QString& file : files.decodable) {
        const QString name = QFileInfo(file).fileName();
        ASSERT_TRUE(loadFile(file)) << name.toStdString();
        EXPECT_FALSE(noImage()) << name.toStdString() << " was not shown";
        EXPECT_TRUE(noImage() || saveValues(values.filePath(name + ".values")))
            << name.toStdString() << ": no values came back";
        shown.append(file);
    }
    const QStringList results =
        reference(QStringList{QStringLiteral("compare"), values.path()} + shown);
    EXPECT_EQ(results.size(), shown.size());
    for (const QString& line : results) {
        const QStringList fields = line.split('\t');
        EXPECT_EQ(fields.value(1), QStringLiteral("ok"))
            << fields.value(0).toStdString() << ": " << fields.value(2).toStdString();
    }
}

// The header line of a values file the page wrote.
QJsonObject valuesHeader(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readLine()).object()
                                          : QJsonObject();
}

// An Enhanced CT made with pydicom: each frame has its own rescale, window
// and position, and the pixel spacing is in the shared functional groups.
// The values of each frame come back with that frame's own rescale.
TEST_F(PixelValues, EnhancedMultiFrameFramesCarryTheirOwnValues) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("enhanced_ct.dcm"));
    ASSERT_EQ(reference({QStringLiteral("enhanced"), file}), QStringList());
    ASSERT_TRUE(QFileInfo::exists(file)) << "python3 with pydicom and numpy is needed";
    ASSERT_TRUE(loadFile(file));
    const Raised* loaded = find("ImageLoaded");
    ASSERT_FALSE(noImage());
    EXPECT_EQ(loaded->args.value(9).toInteger(), 3);
    EXPECT_DOUBLE_EQ(loaded->args.value(10).toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(loaded->args.value(11).toDouble(), 0.75);
    QStringList slopes;
    for (int frame = 0; frame < 3; ++frame) {
        if (frame > 0)
            viewer->call("RunJs", {Variant(QStringLiteral("PressButton")),
                                   Variant(QStringLiteral("FrameNext"))});
        const QString values =
            folder.filePath(QStringLiteral("frame%1/enhanced_ct.dcm.values").arg(frame));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(values).path()));
        // The frame asked for is drawn once its image is decoded.
        ASSERT_TRUE(pump::waitUntil(
            [&] {
                return saveValues(values) && valuesHeader(values).value("frame").toInt() == frame;
            },
            std::chrono::seconds(20)))
            << "frame " << frame;
        slopes << QString::number(
            valuesHeader(values).value("modality").toObject().value("slope").toDouble());
        const QStringList results =
            reference({QStringLiteral("compare"), QFileInfo(values).path(), file});
        ASSERT_EQ(results.size(), 1);
        EXPECT_TRUE(results[0].startsWith(QStringLiteral("enhanced_ct.dcm\tok")))
            << "frame " << frame << ": " << results[0].toStdString();
    }
    EXPECT_EQ(slopes, (QStringList{"1", "2", "0.5"}));
}

// pydicom cannot decode high-throughput JPEG 2000: the values of this file's
// second frame are known, (x * 257 + y * 61) mod 4096 at (x, y), 4095 minus that.
TEST_F(PixelValues, HighThroughputJpeg2000IsShownWithItsValues) {
    ASSERT_TRUE(loadFile(QStringLiteral(KEST_HTJ2K_FILE)));
    ASSERT_FALSE(noImage());
    viewer->call("RunJs",
                 {Variant(QStringLiteral("PressButton")), Variant(QStringLiteral("FrameNext"))});
    QTemporaryDir folder;
    const QString values = folder.filePath(QStringLiteral("frame.values"));
    ASSERT_TRUE(pump::waitUntil(
        [&] { return saveValues(values) && valuesHeader(values).value("frame").toInt() == 1; },
        std::chrono::seconds(20)));
    QFile file(values);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject header = QJsonDocument::fromJson(file.readLine()).object();
    EXPECT_EQ(header.value("type").toString(), QStringLiteral("uint16"));
    const QByteArray samples = file.readAll();
    ASSERT_EQ(samples.size(), 16 * 12 * 2);
    int differing = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            differing += qFromLittleEndian<quint16>(samples.constData() + 2 * (y * 16 + x)) !=
                         4095 - (x * 257 + y * 61) % 4096;
    EXPECT_EQ(differing, 0);
}

// A file pydicom cannot decode ends its load (the truncated one without an
// image), and the next file shows.
TEST_F(PixelValues, FilesPydicomCannotDecodeEndTheirLoadAndTheViewerGoesOn) {
    const TestFiles files = pydicomVerdicts();
    ASSERT_FALSE(files.undecodable.isEmpty());
    for (const QString& file : files.undecodable) {
        ASSERT_TRUE(loadFile(file)) << file.toStdString();
        if (file.endsWith(QLatin1String("MR_truncated.dcm"))) {
            EXPECT_TRUE(noImage());
        }
        ASSERT_TRUE(loadDemo());
        EXPECT_FALSE(noImage());
    }
}

// The same readback from the command line, for a dose grid the host decodes.
TEST(RenderValues, KestdicomRenderWritesTheStoredValuesOfTheFrameShown) {
    RenderRun run;
    const QString values = run.output(QStringLiteral("rtdose.dcm.values"));
    ASSERT_TRUE(run.run(pydicomFile(QStringLiteral("rtdose.dcm")), {"--values", values}))
        << run.errors().toStdString();
    const QStringList results = reference({QStringLiteral("compare"), QFileInfo(values).path(),
                                           pydicomFile(QStringLiteral("rtdose.dcm"))});
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].startsWith(QStringLiteral("rtdose.dcm\tok")))
        << results[0].toStdString();
}

} // namespace
