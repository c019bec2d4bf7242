#include "tests/common/DicomFiles.h"
#include "PageHarness.h"

#include <QDeadlineTimer>
#include <QVariantList>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class DocumentPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    // Fills the template, shows the file in it and waits until the page is done.
    bool show(const QString& templateName, const QString& captionKey, const QString& source,
              const QString& language = QStringLiteral("en")) {
        folder.setWorkingCopy(source);
        const QString page =
            folder.fillPage(templateName, QStringLiteral("page.html"), captionKey, language);
        if (!view.load(page))
            return false;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (!view.run(QStringLiteral("document.body.getAttribute('data-state') || ''"))
                     .toString()
                     .isEmpty())
                return true;
            view.pump(20);
        }
        return false;
    }

    QString state() {
        return view.run(QStringLiteral("document.body.getAttribute('data-state')")).toString();
    }

    InstanceFolder folder;
    PageView view;
};

// One shown element: tag, VR, name, value and nesting depth.
struct ShownElement {
    QString tag, vr, name, value;
    int depth = 0;
};

QList<ShownElement> shownElements(PageView& view) {
    const QVariantList rows =
        view.run(QStringLiteral(
                     "Array.prototype.map.call(document.querySelectorAll('#tags tr:not(.item)'),"
                     " function (r) { return Array.prototype.map.call(r.cells,"
                     " function (c) { return c.textContent; })"
                     ".concat([(parseInt(r.cells[0].style.paddingLeft, 10) - 6) / 18]); })"))
            .toList();
    QList<ShownElement> elements;
    for (const QVariant& row : rows) {
        const QVariantList cells = row.toList();
        elements.append({cells[0].toString(), cells[1].toString(), cells[2].toString(),
                         cells[3].toString(), cells[4].toInt()});
    }
    return elements;
}

// Floats as dcmdump prints them (nine digits) against the page's seven.
bool sameFloats(const QString& dumped, const QString& shown) {
    const QStringList left = dumped.split('\\');
    const QStringList right = shown.split('\\');
    if (left.size() != right.size())
        return false;
    for (int i = 0; i < left.size(); ++i) {
        const double a = left[i].toDouble();
        if (std::abs(a - right[i].toDouble()) > 1e-6 * std::max(1.0, std::abs(a)))
            return false;
    }
    return true;
}

bool sameValue(const DumpedElement& dumped, const ShownElement& shown) {
    static const QStringList binary = {"OB", "OW", "OF", "OD", "OL", "UN"};
    if (dumped.vr == QStringLiteral("SQ"))
        return shown.value.endsWith(QStringLiteral("item(s)"));
    if (dumped.vr == QStringLiteral("FL") || dumped.vr == QStringLiteral("FD"))
        return sameFloats(dumped.value, shown.value);
    if (binary.contains(dumped.vr) && dumped.value.size() > 16 * 3)
        return shown.value.contains(QStringLiteral("bytes"));
    return dumped.value == shown.value;
}

TEST_F(DocumentPage, TagsPageListsWhatDcmdumpReads) {
    const QString file = pydicomFile(QStringLiteral("CT_small.dcm"));
    ASSERT_TRUE(show(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"), file));
    EXPECT_EQ(state(), QStringLiteral("done"));
    EXPECT_EQ(view.run(QStringLiteral("document.title")).toString(), QStringLiteral("DICOM Tags"));
    EXPECT_EQ(view.run(QStringLiteral("Array.prototype.map.call(document.querySelectorAll('th'),"
                                      " function (h) { return h.textContent; }).join('|')"))
                  .toString(),
              QStringLiteral("Tag|VR|Name|Value"));

    const QList<DumpedElement> dumped = dcmdump(file);
    const QList<ShownElement> shown = shownElements(view);
    ASSERT_EQ(shown.size(), dumped.size());
    for (int i = 0; i < dumped.size(); ++i) {
        SCOPED_TRACE(dumped[i].tag.toStdString());
        EXPECT_EQ(shown[i].tag, '(' + dumped[i].tag + ')');
        EXPECT_EQ(shown[i].vr, dumped[i].vr);
        EXPECT_EQ(shown[i].depth, dumped[i].depth);
        EXPECT_TRUE(sameValue(dumped[i], shown[i]))
            << shown[i].value.toStdString() << " vs " << dumped[i].value.toStdString();
    }
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("dicomTags")));
    // Element rows plus one row per sequence item.
    EXPECT_EQ(view.lastContent(QStringLiteral("dicomTags")), QString::number(shown.size() + 2));
}

TEST_F(DocumentPage, TagsPageNamesStandardPrivateAndUnknownElements) {
    ASSERT_TRUE(show(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"),
                     pydicomFile(QStringLiteral("CT_small.dcm"))));
    QMap<QString, QString> names;
    for (const ShownElement& element : shownElements(view))
        names.insert(element.tag, element.name);
    EXPECT_EQ(names.value("(0010,0010)"), QStringLiteral("PatientName"));
    EXPECT_EQ(names.value("(0028,0030)"), QStringLiteral("PixelSpacing"));
    EXPECT_EQ(names.value("(0009,0010)"), QStringLiteral("PrivateCreator"));
    EXPECT_EQ(names.value("(0009,1001)"), QStringLiteral("Private"));
}

TEST_F(DocumentPage, TagsPageShowsWhatPrecedesTheDamageOfATruncatedFile) {
    ASSERT_TRUE(show(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"),
                     pydicomFile(QStringLiteral("MR_truncated.dcm"))));
    EXPECT_EQ(state(), QStringLiteral("error"));
    EXPECT_TRUE(view.bodyText().contains(QStringLiteral("The tags cannot be read completely")));
    QStringList tags;
    for (const ShownElement& element : shownElements(view))
        tags << element.tag;
    EXPECT_TRUE(tags.contains(QStringLiteral("(0010,0010)")));
}

// Single-line text and numeric values of the report that dcmdump reads.
QStringList reportTexts(const QString& file) {
    QStringList texts;
    for (const DumpedElement& element : dcmdump(file)) {
        const bool reportValue = element.tag == QStringLiteral("0040,a160") ||
                                 element.tag == QStringLiteral("0040,a30a");
        if (reportValue && !element.value.isEmpty() && !element.value.startsWith('['))
            texts << element.value;
    }
    return texts;
}

TEST_F(DocumentPage, ReportPageShowsTheContentTree) {
    const QString file = pydicomFile(QStringLiteral("test-SR.dcm"));
    ASSERT_TRUE(show(QStringLiteral("KDVAX_SR.dll"), QString(), file));
    EXPECT_EQ(state(), QStringLiteral("done"));
    const QString text = view.bodyText();
    const QStringList expected = reportTexts(file);
    ASSERT_GT(expected.size(), 5);
    for (const QString& value : expected)
        EXPECT_TRUE(text.contains(value)) << value.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Test^S R")));
    // The root concept names the report.
    EXPECT_EQ(view.run(QStringLiteral("document.getElementById('title').textContent")).toString(),
              dcmdumpValue(file, QStringLiteral("0008,0104")));
    EXPECT_GT(
        view.run(QStringLiteral("document.querySelectorAll('#content ul ul li').length")).toInt(),
        0);
}

TEST_F(DocumentPage, FrenchReportPageSpeaksFrench) {
    ASSERT_TRUE(show(QStringLiteral("KDVAX_SR_FR.dll"), QString(),
                     pydicomFile(QStringLiteral("test-SR.dcm")), QStringLiteral("fr")));
    const QString text = view.bodyText();
    EXPECT_TRUE(text.contains(QStringLiteral("Achèvement"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("COMPLETE")));
}

TEST_F(DocumentPage, ReportPageSaysWhenAFileHoldsNoReport) {
    ASSERT_TRUE(show(QStringLiteral("KDVAX_SR.dll"), QString(),
                     pydicomFile(QStringLiteral("CT_small.dcm"))));
    EXPECT_EQ(state(), QStringLiteral("error"));
    EXPECT_TRUE(view.bodyText().contains(QStringLiteral("This document holds no report content.")));
}

} // namespace
