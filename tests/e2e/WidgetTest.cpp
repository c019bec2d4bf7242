// The viewer as a C++ host sees it: a widget from the linked control library.

#include "library/KestDicomViewWidget.h"
#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TempEnvironment.h"
#include "tests/common/TestApp.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

TEST(ViewerWidget, LoadsAFileAndReportsIt) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing_support::app();
    testing_support::TempEnvironment environment;
    environment.setFolder("LOCALAPPDATA", "local");
    environment.setFolder("ALLUSERSPROFILE", "common");
    KestDicomViewWidget viewer;
    viewer.resize(640, 480);
    viewer.show();
    QString loadedName;
    const int cookie = viewer.events().advise(
        std::make_shared<FunctionEventSink>([&](DispId, const QString& name, QList<Variant>& args) {
            if (name == "ImageLoaded")
                loadedName = args[4].toString();
        }));
    const QString file = testing_support::pydicomFile("MR_small.dcm");
    EXPECT_TRUE(viewer.IsDicomFile(file));
    ASSERT_TRUE(viewer.LoadDicomFile(file));
    ASSERT_TRUE(pump::waitUntil([&] { return !loadedName.isEmpty(); }, std::chrono::seconds(60)));
    EXPECT_EQ(loadedName, testing_support::dcmdumpValue(file, "0010,0010"));
    EXPECT_EQ(viewer.control().get("dcmImageWidth"), Variant(std::int32_t(64)));
    viewer.events().unadvise(cookie);
}

} // namespace
