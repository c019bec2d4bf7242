// Browsing inside a host program: the DICOMDIR page in the viewer's language,
// the panes it lays out, and a folder list closed again by a single file.

#include "ViewerFixture.h"

#include "platform/automation/ControlSite.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/DicomdirBuilder.h"

#include <QDir>
#include <QFile>
#include <QListWidget>

namespace {

using testing_support::DicomdirBuilder;
using testing_support::pydicomFile;

class Browsing : public ViewerFixture {
protected:
    // A medium of one patient with one CT image, its folder name holding markup.
    QString writeMedium() {
        const QString root = environment.root() + "/CD <i>\"1\"&";
        QDir().mkpath(root + "/IMAGES");
        EXPECT_TRUE(QFile::copy(pydicomFile("CT_small.dcm"), root + "/IMAGES/IM1"));
        DicomdirBuilder builder;
        const int patient = builder.patient("Doe^Jane", "ID1");
        const int study = builder.study(patient, "20240102", "Chest");
        const int series = builder.series(study, "CT", 1);
        builder.image(series, 1, {"IMAGES", "IM1"});
        EXPECT_TRUE(builder.write(root + "/DICOMDIR"));
        return root + "/DICOMDIR";
    }

    bool loadDicomdir(const QString& path, std::int16_t flag) {
        QList<Variant> args{Variant(path), Variant(flag)};
        return viewer->invokeByName("LoadDICOMDIR", InvokeFlags::Method, args).toBool();
    }

    QWidget* child(const char* name) const {
        return viewer->control()->widget()->findChild<QWidget*>(QLatin1String(name));
    }
};

TEST_F(Browsing, TheFrenchPageIsWrittenForTheFrenchLanguage) {
    viewer->put("Language", Variant(QStringLiteral("fr")));
    const QString dicomdir = writeMedium();
    ASSERT_TRUE(loadDicomdir(dicomdir, 1));
    ASSERT_TRUE(waitFor("DicomdirLoaded"));
    const Raised* loaded = find("DicomdirLoaded");
    EXPECT_EQ(loaded->args.value(0).toInteger(), 1);
    EXPECT_EQ(loaded->args.value(1).toInteger(), 1);
    QFile page(instanceFolder() + "KDVAX_DICOMDIR.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains("lang=\"fr\""));
    // The folder is written as attribute text, its markup escaped.
    EXPECT_TRUE(text.contains(QFileInfo(dicomdir).path().toHtmlEscaped()));
    EXPECT_FALSE(text.contains("<i>\"1\""));
}

// pydicom's copy of its DICOMDIR whose records lost their offset elements (the last record still
// claiming their bytes): the records nest by their order and the load is reported, with
// dcmdump's counts of patients and referenced files.
TEST_F(Browsing, ADirectoryWithoutOffsetsIsLoaded) {
    const QString source = pydicomFile("dicomdirtests/DICOMDIR-nooffset");
    int patients = 0;
    int files = 0;
    for (const testing_support::DumpedElement& element : testing_support::dcmdump(source)) {
        if (element.tag == "0004,1430" && element.value == "PATIENT")
            ++patients;
        if (element.tag == "0004,1500" && element.depth == 2)
            ++files;
    }
    ASSERT_GT(patients, 0);
    const QString media = environment.root() + "/media";
    ASSERT_TRUE(QDir().mkpath(media));
    ASSERT_TRUE(QFile::copy(source, media + "/DICOMDIR"));
    ASSERT_TRUE(loadDicomdir(media + "/DICOMDIR", 1));
    ASSERT_TRUE(waitFor("DicomdirLoaded"));
    const Raised* loaded = find("DicomdirLoaded");
    EXPECT_EQ(loaded->args.value(0).toInteger(), patients);
    EXPECT_EQ(loaded->args.value(1).toInteger(), files);
}

TEST_F(Browsing, PanesFollowTheLoadsAndASingleFileClosesThem) {
    QWidget* pane = child("DicomDirPic");
    ASSERT_NE(pane, nullptr);
    const QString dicomdir = writeMedium();
    ASSERT_TRUE(loadDicomdir(dicomdir, 1));
    ASSERT_TRUE(waitFor("DicomdirLoaded"));
    // A fifth of an 800-pixel control, under the 4500-twip cap.
    EXPECT_EQ(pane->width(), 160);
    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(pane->width(), 0);
    EXPECT_EQ(child("ListPic")->width(), 0);

    raised.clear();
    ASSERT_TRUE(loadDicomdir(dicomdir, 2));
    ASSERT_TRUE(waitFor("DicomdirLoaded"));
    EXPECT_EQ(pane->width(), viewer->control()->widget()->width());
}

} // namespace
