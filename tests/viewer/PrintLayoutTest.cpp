// The print layout: the header, the grid and the fit of the picture, and a
// page printed through the printer seam as a PDF that poppler reads back.

#include "viewer/PrintLayout.h"

#include "platform/PrinterSeam.h"
#include "tests/common/PdfTools.h"
#include "tests/common/TestApp.h"

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TEST(PrintLayout, HeaderJoinsTheThreeValuesOrIsEmpty) {
    struct Row {
        QString name, birth, exam, header;
    };
    const QList<Row> rows{
        {"DOE^JANE", "19700101", "20240115", "DOE^JANE (19700101)|Date : 20240115"},
        {"", "", "20240115", " ()|Date : 20240115"},
        {"DOE^JANE", "", "", "DOE^JANE ()|Date : "},
        {"", "", "", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(printlayout::headerText(row.name, row.birth, row.exam), row.header)
            << row.name.toStdString();
}

TEST(PrintLayout, PagesTurnWithThePicture) {
    EXPECT_EQ(printlayout::orientationFor({3000, 2000}), QPageLayout::Landscape);
    EXPECT_EQ(printlayout::orientationFor({2000, 3000}), QPageLayout::Portrait);
    EXPECT_EQ(printlayout::orientationFor({500, 500}), QPageLayout::Portrait);
}

TEST(PrintLayout, CellsShareTheAreaWithAGapBetweenThem) {
    EXPECT_EQ(printlayout::cells(QRect(0, 0, 10000, 8000), 1, 1),
              QList<QRect>{QRect(0, 0, 10000, 8000)});
    // (10000 + 150) / 2 - 150 = 4925 wide, (8000 + 150) / 2 - 150 = 3925 high.
    EXPECT_EQ(printlayout::cells(QRect(100, 200, 10000, 8000), 2, 2),
              (QList<QRect>{QRect(100, 200, 4925, 3925), QRect(5175, 200, 4925, 3925),
                            QRect(100, 4275, 4925, 3925), QRect(5175, 4275, 4925, 3925)}));
}

TEST(PrintLayout, PictureFillsOneDirectionAndIsCentredInTheOther) {
    struct Row {
        QSize picture;
        QRectF placed;
    };
    const QRect cell(0, 0, 10000, 8000);
    const QList<Row> rows{
        // Wide: the width is filled, (8000 - 6666.7) / 2 rounds to 667 above.
        {{3000, 2000}, QRectF(0, 667, 10000, 10000.0 * 2 / 3)},
        // Tall: the height is filled, (10000 - 5333.3) / 2 rounds to 2333 left.
        {{2000, 3000}, QRectF(2333, 0, 8000.0 * 2 / 3, 8000)},
        // The cell's own shape fills it whole.
        {{500, 400}, QRectF(0, 0, 10000, 8000)},
    };
    for (const Row& row : rows) {
        const QRectF placed = printlayout::fitPicture(cell, row.picture);
        EXPECT_NEAR(placed.x(), row.placed.x(), 1e-6);
        EXPECT_NEAR(placed.y(), row.placed.y(), 1e-6);
        EXPECT_NEAR(placed.width(), row.placed.width(), 1e-6);
        EXPECT_NEAR(placed.height(), row.placed.height(), 1e-6);
        EXPECT_NEAR(placed.width() / placed.height(),
                    double(row.picture.width()) / row.picture.height(), 1e-9);
    }
}

// Pictures printed into PDF files of a temporary folder.
class PrintedPage : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(m_dir.isValid());
        printing::setHook(printing::pdfFolderHook(m_dir.path()));
    }
    void TearDown() override { printing::setHook({}); }

    // A dark picture with a lighter frame, so its edges show on the page.
    static QImage picture(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(40, 40, 40));
        QPainter painter(&image);
        painter.fillRect(image.rect().adjusted(width / 10, height / 10, -width / 10, -height / 10),
                         QColor(160, 160, 160));
        return image;
    }
    QString print(const QImage& image, const QString& header, bool printId) {
        const auto failure = printlayout::printPicture({}, image, header, printId);
        EXPECT_FALSE(failure.has_value()) << failure.value_or(QString()).toStdString();
        return m_dir.filePath(QStringLiteral("print-%1.pdf").arg(++m_jobs));
    }

    QTemporaryDir m_dir;
    int m_jobs = 0;
};

TEST_F(PrintedPage, WidePictureLandscapeTallPicturePortraitAspectKept) {
    for (const QSize size : {QSize(3000, 2000), QSize(2000, 3000)}) {
        const QString pdf = print(picture(size.width(), size.height()), {}, false);
        ASSERT_EQ(pdfPages(pdf), 1);
        const QSizeF page = pdfPageSize(pdf);
        EXPECT_EQ(page.width() > page.height(), size.width() > size.height())
            << page.width() << " x " << page.height();
        EXPECT_TRUE(pdfText(pdf).trimmed().isEmpty());
        const QRect drawn = nonWhiteBounds(pdfPageImage(pdf));
        ASSERT_FALSE(drawn.isEmpty());
        EXPECT_NEAR(double(drawn.width()) / drawn.height(), double(size.width()) / size.height(),
                    0.05);
    }
}

TEST_F(PrintedPage, HeaderPrintsOnlyWithPrintIdInArial) {
    const QString header = printlayout::headerText("DOE^JANE", "19700101", "20240115");
    const QString withId = print(picture(300, 200), header, true);
    const QString text = pdfText(withId);
    EXPECT_TRUE(text.contains("DOE^JANE (19700101)")) << text.toStdString();
    EXPECT_TRUE(text.contains("Date : 20240115")) << text.toStdString();
    // "Arial" is resolved by fontconfig to its metric-compatible substitute.
    EXPECT_TRUE(pdfFonts(withId).join(' ').contains("LiberationSans"))
        << pdfFonts(withId).join(' ').toStdString();

    EXPECT_TRUE(pdfText(print(picture(300, 200), header, false)).trimmed().isEmpty());
    // An empty header prints nothing even when asked for.
    EXPECT_TRUE(pdfText(print(picture(300, 200), {}, true)).trimmed().isEmpty());
}

TEST_F(PrintedPage, APictureThatCannotBeReadIsReportedAndNotPrinted) {
    EXPECT_EQ(printlayout::printPicture({}, QImage(), "x|y", true),
              QStringLiteral("the picture to print could not be read"));
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
