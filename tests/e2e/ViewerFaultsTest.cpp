// Viewer behaviours once found broken, each driven through the real stack.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "platform/automation/ControlSite.h"
#include "tests/common/CommaDecimalLocale.h"
#include "tests/common/DicomFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

#include <optional>

namespace {

using ViewerFaults = ViewerFixture;

class RecordedMessageBoxes {
public:
    RecordedMessageBoxes() {
        ui::setMessageBoxHook([this](const ui::MessageBoxRequest& request) {
            prompts.append(request.prompt);
            return int(ui::MsgBox::Ok);
        });
    }
    ~RecordedMessageBoxes() { ui::setMessageBoxHook(nullptr); }
    QStringList prompts;
};

// A "saveImage" answer; without a picture the "base64" field is left out.
QString saveAnswer(const QString& fileName, const std::optional<QString>& base64 = {}) {
    const QString field = base64 ? QStringLiteral(R"(,"base64":"%1")").arg(*base64) : QString();
    return QStringLiteral(R"({"fileName":"%1"%2})").arg(fileName, field);
}

QByteArray pngBytes() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The page's picture answers: print and clipboard pictures go to the Temp
// folder, and a failed or empty answer leaves the target as it was and says so.
TEST_F(ViewerFaults, SaveAnswersNeverLoseAFileOrFailInSilence) {
    ASSERT_TRUE(loadDemo());
    const RecordedMessageBoxes boxes;
    const QString temp = environment.root() + "/local/Tarnwell/KestDicomAx/Temp/";
    const QString picture = QString::fromLatin1(pngBytes().toBase64());

    const QString cwdPrint = QDir::current().filePath("Print.jpg");
    QFile::remove(cwdPrint);
    post("saveImage", saveAnswer("Print.jpg", picture));
    EXPECT_EQ(QImage(temp + "Print.jpg").size(), QSize(4, 3));
    EXPECT_FALSE(QFile::exists(cwdPrint));

    const QString kept = environment.root() + "/kept.png";
    QFile existing(kept);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("previous content");
    existing.close();
    post("saveImage", saveAnswer(kept));
    post("saveImage", saveAnswer(kept, "@@not base64@@"));
    QFile reread(kept);
    ASSERT_TRUE(reread.open(QIODevice::ReadOnly));
    EXPECT_EQ(reread.readAll(), QByteArray("previous content"));
    ASSERT_EQ(boxes.prompts.size(), 2);
    EXPECT_TRUE(boxes.prompts[0].startsWith("Erreur lors de la sauvegarde : "))
        << boxes.prompts[0].toStdString();

    const QString unwritable = environment.root() + "/no such folder/image.png";
    post("saveImage", saveAnswer(unwritable, picture));
    ASSERT_EQ(boxes.prompts.size(), 3);
    EXPECT_TRUE(boxes.prompts[2].startsWith("Erreur lors de la sauvegarde : "));
    EXPECT_TRUE(boxes.prompts[2].contains(unwritable)) << boxes.prompts[2].toStdString();
}

// The frame index follows the page's frame steps, within the document's frames.
TEST_F(ViewerFaults, FrameIndexFollowsFrameSteps) {
    ASSERT_TRUE(loadFile(testing_support::pydicomFile("SC_rgb_rle_2frame.dcm")));
    ASSERT_EQ(viewer->get("dcmFrames"), Variant(std::int16_t(2)));
    const auto step = [&](std::int16_t tool) {
        raised.clear();
        viewer->call("SelectTool", {Variant(tool)});
        EXPECT_TRUE(waitFor("ToolSelected"));
        return viewer->get("dcmFrame");
    };
    EXPECT_EQ(step(14), Variant(std::int16_t(1)));
    EXPECT_EQ(step(14), Variant(std::int16_t(1))); // the last frame stays
    EXPECT_EQ(step(15), Variant(std::int16_t(0)));
    EXPECT_EQ(step(15), Variant(std::int16_t(0)));
}

// Loading the instance's own working copy keeps the file and shows it.
TEST_F(ViewerFaults, ReloadingTheWorkingCopyLosesNothing) {
    ASSERT_TRUE(loadDemo());
    const QString workingCopy = instanceFolder() + viewer->get("dcmFile").toString();
    ASSERT_TRUE(QFile::exists(workingCopy)) << workingCopy.toStdString();
    ASSERT_TRUE(loadFile(workingCopy));
    EXPECT_TRUE(QFile::exists(workingCopy));
    EXPECT_EQ(find("ImageLoaded")->args[1], Variant(std::int32_t(128)));
    EXPECT_EQ(find("ImageLoaded")->args[12], Variant(false));
}

class RecordingSite : public ControlSite {
public:
    void propertyChanged(const QString& name) override { changed.append(name); }
    QStringList changed;
};

// Reads leave the widget as it was; loads mark a property changed only when it changes.
TEST_F(ViewerFaults, ReadsAndLoadsDoNotTouchWhatTheyDoNotChange) {
    QWidget* widget = viewer->control()->widget();
    viewer->get("hwnd");
    viewer->get("ContainerHwnd");
    EXPECT_FALSE(widget->testAttribute(Qt::WA_NativeWindow));
    EXPECT_EQ(viewer->get("hwnd"), Variant(std::int32_t(window.internalWinId())));
    EXPECT_NE(viewer->get("hwnd"), Variant(std::int32_t(0)));

    // The first load turns the property to the system runtime (no private one
    // is installed): a change. Later loads change nothing.
    RecordingSite site;
    viewer->control()->setControlSite(&site);
    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(site.changed.count("UseEvergreenWebview2"), 1);
    site.changed.clear();
    ASSERT_TRUE(loadDemo());
    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(site.changed.join(','), QString());
    viewer->control()->setControlSite(nullptr);
}

// Decimals from the page keep their value under a comma-decimal locale.
TEST_F(ViewerFaults, SpacingsReadTheSameUnderACommaLocale) {
    const CommaDecimalLocale comma;
    ASSERT_TRUE(comma.active()) << "fr_FR.UTF-8 is not installed";
    ASSERT_TRUE(loadDemo());
    const Raised* loaded = find("ImageLoaded");
    ASSERT_NE(loaded, nullptr);
    EXPECT_DOUBLE_EQ(loaded->args[10].toDouble(), 0.661468);
    EXPECT_DOUBLE_EQ(loaded->args[11].toDouble(), 0.661468);
    raised.clear();
    viewer->put("dcmZoomFactor", Variant(std::int16_t(150)));
    ASSERT_TRUE(waitFor("ZoomChanged"));
    EXPECT_EQ(viewer->get("dcmZoomFactor"), Variant(std::int16_t(150)));
}

// A report shown after an image does not keep the image's patient and size.
TEST_F(ViewerFaults, AReportAfterAnImageKeepsNothingOfTheImage) {
    ASSERT_TRUE(loadFile(testing_support::pydicomFile("MR_small.dcm")));
    ASSERT_FALSE(viewer->get("dcmPatientName").toString().isEmpty());
    ASSERT_TRUE(loadFile(testing_support::pydicomFile("test-SR.dcm")));
    EXPECT_EQ(find("ImageLoaded")->args[12], Variant(true));
    EXPECT_EQ(viewer->get("dcmModality"), Variant(QStringLiteral("SR")));
    EXPECT_EQ(viewer->get("dcmPatientName"), Variant(QString()));
    EXPECT_EQ(viewer->get("dcmExamDate"), Variant(QString()));
    EXPECT_EQ(viewer->get("dcmImageWidth"), Variant(std::int32_t(0)));
    EXPECT_EQ(viewer->get("dcmPixelWidth"), Variant(-1.0));
    EXPECT_EQ(viewer->get("dcmFile"), Variant(QStringLiteral("test-SR.dcm")));
}

} // namespace
