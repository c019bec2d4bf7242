// The viewer's page protocol, driven through the real stack: messages are
// posted from the image page itself, through the host object every page has.

#include "ViewerFixture.h"

#include "dialogs/FileDialogSeam.h"
#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/DicomFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>

namespace {

using MessageProtocolTest = ViewerFixture;

QString imageChanged(const QString& width, const QString& height, const QString& spacing,
                     const QString& multiFrame = "false", const QString& frame = "0") {
    return QStringLiteral(
               R"({"nom":"DOE^J","naissance":"19700101","dateExamen":"20240301","largeur":"%1",)"
               R"("hauteur":"%2","fileName":"x.dcm","modality":"MR","multiFrame":"%3",)"
               R"("frame":"%4","totalFrames":"3","pixelSpacing":"%5"})")
        .arg(width, height, multiFrame, frame, spacing);
}

TEST_F(MessageProtocolTest, FreshControlAndReset) {
    EXPECT_EQ(viewer->get("dcmPatientName"), Variant(QString()));
    EXPECT_EQ(viewer->get("dcmFrames"), Variant(std::int16_t(0)));
    EXPECT_EQ(viewer->get("dcmPixelWidth"), Variant(0.0));
    try {
        viewer->get("dcmImageWidth");
        FAIL() << "no error before the first report";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 13);
    }
    viewer->call("ResetDICOMProperty");
    EXPECT_EQ(viewer->get("dcmImageWidth"), Variant(std::int32_t(0)));
    EXPECT_EQ(viewer->get("dcmPixelHeight"), Variant(-1.0));
    EXPECT_FALSE(viewer->call("IsDicomFile", {Variant(QDir::tempPath())}).toBool());
    EXPECT_FALSE(viewer->call("LoadDicomFile", {Variant(QDir::tempPath())}).toBool());
    EXPECT_EQ(find("BeforeLoading"), nullptr);
}

TEST_F(MessageProtocolTest, ImageChangedRefreshesTheDocument) {
    ASSERT_TRUE(loadDemo());
    post("imageChanged", imageChanged("256", "192", "0.5//0.25", "True"));
    const Raised* loaded = find("ImageLoaded");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->args[1], Variant(std::int32_t(256)));
    EXPECT_EQ(loaded->args[7], Variant(false)); // "True" is not "true"
    EXPECT_EQ(loaded->args[10], Variant(0.5));
    EXPECT_EQ(loaded->args[11], Variant(0.25));
    ASSERT_NE(find("ToolSelected"), nullptr);
    EXPECT_EQ(viewer->get("dcmPatientName"), Variant(QStringLiteral("DOE^J")));
    EXPECT_EQ(viewer->get("dcmFrames"), Variant(std::int16_t(3)));

    post("imageChanged", imageChanged("256", "192", "0.5"));
    EXPECT_EQ(viewer->get("dcmPixelHeight"), Variant(-1.0));
    EXPECT_EQ(viewer->get("dcmPixelWidth"), Variant(-1.0));

    // A damaged file's spacing that is not two numbers leaves the image uncalibrated; the
    // load is still reported.
    raised.clear();
    post("imageChanged", imageChanged("256", "192", "0.661468//0.66146<"));
    loaded = find("ImageLoaded");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->args[10], Variant(-1.0));
    EXPECT_EQ(loaded->args[11], Variant(-1.0));

    post("imageChanged", imageChanged("0", "512", ""));
    loaded = find("ImageLoaded");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->args[12], Variant(true));
    EXPECT_EQ(loaded->args[1], Variant(std::int32_t(0)));
    EXPECT_EQ(loaded->args[2], Variant(std::int32_t(0)));
    EXPECT_EQ(find("ToolSelected"), nullptr);

    // A value that does not convert stops the handling where it fails.
    post("imageChanged", R"({"nom":"STOPPED","frame":"x"})");
    EXPECT_EQ(viewer->get("dcmPatientName"), Variant(QStringLiteral("STOPPED")));
    EXPECT_EQ(find("ImageLoaded"), nullptr);
}

TEST_F(MessageProtocolTest, ClicksZoomOffsetsAndButtons) {
    ASSERT_TRUE(loadDemo()); // a 128 x 128 image
    post("imageClicked", R"({"pixelX":"128","pixelY":"0","pixelValue":"42.5"})");
    const Raised* click = find("ImagePixelClic");
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->args[0], Variant(std::int32_t(128)));
    EXPECT_EQ(click->args[2], Variant(42.5));
    post("imageClicked", R"({"pixelX":"-1","pixelY":"0","pixelValue":"1"})");
    EXPECT_EQ(find("ImagePixelClic"), nullptr);

    post("zoomChanged", "150");
    ASSERT_NE(find("ZoomChanged"), nullptr);
    EXPECT_EQ(viewer->get("dcmZoomFactor"), Variant(std::int16_t(150)));

    const QString offset =
        R"({"dpr":"%1","screenX":"101","screenY":"10","imageX":"1","imageY":"2",)"
        R"("originX":"3","originY":"4","viewportLeft":"5","viewportTop":"6"})";
    post("offsetChanged", offset.arg("1.5"));
    ASSERT_NE(find("OffsetChanged"), nullptr);
    EXPECT_EQ(find("OffsetChanged")->args[2], Variant(std::int32_t(152)));
    EXPECT_EQ(find("OffsetChanged")->args[8], Variant(1.5));
    post("offsetChanged", offset.arg(""));
    EXPECT_EQ(find("OffsetChanged")->args[2], Variant(std::int32_t(0)));

    post("buttonClicked", "Suivant");
    ASSERT_NE(find("ToolSelected"), nullptr);
    EXPECT_EQ(find("ToolSelected")->args[0], Variant(QStringLiteral("Next")));
    EXPECT_EQ(find("ToolSelected")->args[1], Variant(std::int32_t(101)));
}

TEST_F(MessageProtocolTest, CommandsGoThroughThePage) {
    ASSERT_TRUE(loadDemo());
    raised.clear();
    viewer->call("SelectTool", {Variant(std::int16_t(11))});
    ASSERT_TRUE(waitFor("ToolSelected"));
    ASSERT_NE(find("InvertStatusChange"), nullptr);
    EXPECT_EQ(find("InvertStatusChange")->args[0], Variant(true));
    EXPECT_EQ(find("ToolSelected")->args[0], Variant(QStringLiteral("Invert")));

    raised.clear();
    viewer->call("SelectTool", {Variant(std::int16_t(16))});
    viewer->call("SelectTool", {Variant(std::int16_t(0))});
    settle();
    EXPECT_EQ(find("ToolSelected"), nullptr);

    // The zoom is stored when the page reports it.
    raised.clear();
    viewer->put("dcmZoomFactor", Variant(std::int16_t(250)));
    ASSERT_TRUE(waitFor("ZoomChanged"));
    EXPECT_EQ(find("ZoomChanged")->args[0], Variant(std::int16_t(250)));
    EXPECT_EQ(viewer->get("dcmZoomFactor"), Variant(std::int16_t(250)));

    raised.clear();
    viewer->put("DisplayDicomTags", Variant::fromVBool(1)); // only -1 shows the tags
    ASSERT_NE(find("TagsStatusChange"), nullptr);
    EXPECT_EQ(find("TagsStatusChange")->args[0], Variant(false));
    // Once the tags page has loaded, True brings it to the front.
    const auto tagsShown = [&] {
        raised.clear();
        viewer->put("DisplayDicomTags", Variant(true));
        const Raised* change = find("TagsStatusChange");
        return change && change->args[0] == Variant(true);
    };
    EXPECT_TRUE(pump::waitUntil(tagsShown, std::chrono::seconds(20)));
    EXPECT_EQ(viewer->get("DisplayDicomTags"), Variant(true));
}

TEST_F(MessageProtocolTest, PersistedProperties) {
    PropertyBag bag;
    viewer->control()->save(bag);
    EXPECT_EQ(bag.count(), 0); // defaults are not written
    PropertyBag onlyLanguage;
    onlyLanguage.write("Language", Variant(QStringLiteral("fr")));
    viewer->control()->load(onlyLanguage);
    EXPECT_EQ(viewer->get("Language"), Variant(QStringLiteral("fr")));
    EXPECT_EQ(viewer->get("ShowTagsOnLoad"), Variant(false));
    EXPECT_EQ(viewer->get("BackColor"), Variant(std::int32_t(0x8000000F)));
    EXPECT_EQ(viewer->get("Enabled"), Variant(true));
    viewer->put("InvertOnLoad", Variant(true));
    viewer->put("ShowTagsOnLoad", Variant(true));
    viewer->control()->save(bag);
    EXPECT_EQ(bag.keys(), (QStringList{"InvertOnLoad", "Language", "ShowTagsOnLoad"}));
}

} // namespace

namespace {

QStringList instanceFolders(const testing_support::TempEnvironment& environment) {
    return QDir(environment.root() + "/local/Tarnwell/KestDicomAx/Temp")
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

TEST_F(MessageProtocolTest, EachInstanceHasItsOwnFolderUntilDestroyed) {
    ASSERT_TRUE(loadDemo());
    DispatchPtr second = automation::createObject("KestDicomViewControl.KestDicomViewAX");
    QWidget secondWindow;
    second->control()->widget()->setParent(&secondWindow);
    secondWindow.show();
    ASSERT_TRUE(
        second->call("LoadDicomFile", {Variant(testing_support::pydicomFile("MR_small.dcm"))})
            .toBool());
    const QStringList both = instanceFolders(environment);
    ASSERT_EQ(both.size(), 2);
    EXPECT_TRUE(
        QFile::exists(environment.root() + "/local/Tarnwell/KestDicomAx/Bin/AboutBlack.html"));
    second->control()->widget()->setParent(nullptr);
    second.reset();
    const QStringList left = instanceFolders(environment);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(both.contains(left.first()));
    EXPECT_TRUE(QFile::exists(environment.root() + "/local/Tarnwell/KestDicomAx/Temp/" +
                              left.first() + "/KDVAX_MONO.html"));
}

} // namespace

namespace {

TEST_F(MessageProtocolTest, SaveImageAsksForAFileWhenNoneIsGiven) {
    ASSERT_TRUE(loadDemo());
    QList<filedialogs::Request> asked;
    const QString chosen = environment.root() + "/chosen.png";
    filedialogs::setHook(
        [&](const filedialogs::Request& request) -> std::optional<filedialogs::Answer> {
            asked.append(request);
            if (asked.size() == 1)
                return std::nullopt; // the first time the user cancels
            return filedialogs::Answer{{chosen}, 0};
        });
    QList<Variant> args{Variant(QString())};
    EXPECT_EQ(viewer->invokeByName("SaveImage", InvokeFlags::Method, args), Variant(false));
    EXPECT_TRUE(
        args[0].toString().endsWith("/DicomImage.jpg")); // the proposal stays with the caller
    args = {Variant(QString())};
    EXPECT_EQ(viewer->invokeByName("SaveImage", InvokeFlags::Method, args), Variant(true));
    filedialogs::setHook(nullptr);
    EXPECT_EQ(args[0], Variant(chosen));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0].kind, filedialogs::Kind::Save);
    EXPECT_TRUE(asked[0].confirmOverwrite);
    EXPECT_TRUE(pump::waitUntil([&] { return QImage(chosen).size() == QSize(128, 128); },
                                std::chrono::seconds(20)));
}

TEST_F(MessageProtocolTest, ImageDimensionsReplaceTheSizeAndTheirErrorIsShown) {
    ASSERT_TRUE(loadDemo());
    QStringList boxes;
    ui::setMessageBoxHook([&](const ui::MessageBoxRequest& request) {
        boxes << request.prompt;
        return int(ui::MsgBox::Ok);
    });
    post("imageDimensions", R"({"largeur":"640","hauteur":""})");
    EXPECT_EQ(viewer->get("dcmImageWidth"), Variant(std::int32_t(640)));
    EXPECT_EQ(viewer->get("dcmImageHeight"), Variant(std::int32_t(0)));
    EXPECT_EQ(find("ImageLoaded"), nullptr);
    // GetImageSize asks the page, which answers with the image's own size.
    viewer->call("GetImageSize");
    settle();
    EXPECT_EQ(viewer->get("dcmImageWidth"), Variant(std::int32_t(128)));
    EXPECT_EQ(viewer->get("dcmImageHeight"), Variant(std::int32_t(128)));
    post("imageDimensionsError", "No image is displayed");
    ui::setMessageBoxHook(nullptr);
    EXPECT_EQ(boxes, QStringList{"Erreur: No image is displayed"});
}

} // namespace
