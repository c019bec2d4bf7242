#include "PageHarness.h"
#include "tests/common/DicomFiles.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
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

// A 3 MB image written with pydicom: "trailing" puts an element after the
// pixel data, "bighead" 1.5 MB of private data before it, "cut" ends the file
// inside the pixel data.
QString largeFile(const QTemporaryDir& folder, const QString& kind) {
    const QString path = folder.filePath(kind + QStringLiteral(".dcm"));
    const char* script = R"(
import sys
import numpy as np
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
path, kind = sys.argv[1], sys.argv[2]
meta = FileMetaDataset()
meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.7'
meta.MediaStorageSOPInstanceUID = generate_uid()
meta.TransferSyntaxUID = ExplicitVRLittleEndian
ds = FileDataset(path, {}, file_meta=meta, preamble=b'\0' * 128)
ds.is_little_endian, ds.is_implicit_VR = True, False
ds.SOPClassUID = meta.MediaStorageSOPClassUID
ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
ds.PatientName = 'Large^File'
ds.Modality = 'OT'
ds.Rows, ds.Columns = 1024, 1536
ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, 'MONOCHROME2'
ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
if kind == 'bighead':
    ds.add_new(0x00090010, 'LO', 'KEST')
    ds.add_new(0x00091010, 'OB', bytes(1536 * 1024))
ds.PixelData = np.arange(1024 * 1536, dtype='<u2').tobytes()
if kind == 'trailing':
    ds.add_new(0xFFFCFFFC, 'OB', b'\1\2\3\4')
ds.save_as(path, write_like_original=False)
if kind == 'cut':
    with open(path, 'r+b') as f:
        f.truncate(2 * 1024 * 1024)
)";
    const int exit =
        QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON),
                          {QStringLiteral("-c"), QString::fromUtf8(script), path, kind});
    return exit == 0 ? path : QString();
}

// A large file's tags are read from its head and its tail; the rows must be
// those of the whole file, whichever way it was read.
TEST_F(DocumentPage, TagsPageListsEveryElementOfALargeFile) {
    const QTemporaryDir sources;
    for (const QString& kind : {QStringLiteral("trailing"), QStringLiteral("bighead")}) {
        SCOPED_TRACE(kind.toStdString());
        const QString file = largeFile(sources, kind);
        ASSERT_FALSE(file.isEmpty());
        ASSERT_TRUE(show(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"), file));
        EXPECT_EQ(state(), QStringLiteral("done")) << view.bodyText().left(300).toStdString();
        QList<ShownElement> shown = shownElements(view);
        // dcmdump's list leaves the pixel data out; the page names its length.
        const auto pixels = std::find_if(shown.begin(), shown.end(), [](const ShownElement& e) {
            return e.tag == QLatin1String("(7fe0,0010)");
        });
        ASSERT_NE(pixels, shown.end());
        EXPECT_EQ(pixels->value, QStringLiteral("pixel data, 3145728 bytes"));
        shown.erase(pixels);
        const QList<DumpedElement> dumped = dcmdump(file);
        ASSERT_EQ(shown.size(), dumped.size());
        for (int i = 0; i < dumped.size(); ++i) {
            SCOPED_TRACE(dumped[i].tag.toStdString());
            EXPECT_EQ(shown[i].tag, '(' + dumped[i].tag + ')');
            EXPECT_TRUE(sameValue(dumped[i], shown[i]))
                << shown[i].value.toStdString() << " vs " << dumped[i].value.toStdString();
        }
    }

    const QString cut = largeFile(sources, QStringLiteral("cut"));
    ASSERT_FALSE(cut.isEmpty());
    ASSERT_TRUE(show(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"), cut));
    const QList<ShownElement> shown = shownElements(view);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last().tag, QStringLiteral("(7fe0,0010)"));
    EXPECT_TRUE(shown.last().value.startsWith(QStringLiteral("truncated")))
        << shown.last().value.toStdString();
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
