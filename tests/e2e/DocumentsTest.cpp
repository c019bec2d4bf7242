#include "RenderRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using testing_support::pydicomFile;

int distinctColours(const QString& picture) {
    const QImage image(picture);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

TEST(Documents, StructuredReportShowsTheReportPage) {
    RenderRun run;
    ASSERT_TRUE(run.run(pydicomFile("test-SR.dcm"), {"--canvas", "report.png"}))
        << run.errors().toStdString();
    const QJsonObject loaded = run.last("ImageLoaded");
    EXPECT_TRUE(loaded.value("NoImage").toBool());
    EXPECT_EQ(loaded.value("Modality").toString(), "SR");
    EXPECT_EQ(loaded.value("Width").toInt(), 0);
    EXPECT_EQ(run.count("ToolSelected"), 0);
    EXPECT_GT(distinctColours(run.output("report.png")), 2) << "the report page shows nothing";
}

TEST(Documents, EncapsulatedPdfIsShown) {
    RenderRun run;
    const QString pdf = run.output("document.dcm");
    ASSERT_TRUE(testing_support::writeEncapsulatedPdf(pdf));
    ASSERT_TRUE(run.run(pdf, {"--canvas", "pdf.png"})) << run.errors().toStdString();
    const QJsonObject loaded = run.last("ImageLoaded");
    EXPECT_TRUE(loaded.value("NoImage").toBool());
    EXPECT_EQ(loaded.value("Modality").toString(), "DOC");
    // The document shows in the engine's PDF viewer, whose surround is grey; a PDF the engine
    // downloads instead leaves a failed navigation and the white error page.
    const QImage canvas(run.output("pdf.png"));
    ASSERT_FALSE(canvas.isNull());
    EXPECT_LT(canvas.pixelColor(canvas.width() - 10, canvas.height() - 10).lightness(), 140)
        << "the PDF viewer does not show";
}

TEST(Documents, TagsPageComesToFront) {
    RenderRun run;
    ASSERT_TRUE(run.run(pydicomFile("CT_small.dcm"), {"--tags", "--canvas", "tags.png"}))
        << run.errors().toStdString();
    EXPECT_TRUE(run.last("TagsStatusChange").value("IsTagVisible").toBool());
    const QImage canvas(run.output("tags.png"));
    ASSERT_FALSE(canvas.isNull());
    EXPECT_GT(distinctColours(run.output("tags.png")), 2);
}

} // namespace
