#include "PageHarness.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/DicomdirBuilder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const QString kEnglish = QStringLiteral("KDVAX_DICOMDIR.dll");
const QString kFrench = QStringLiteral("KDVAX_DICOMDIR_FR.dll");
const QString kLoaded = QStringLiteral("dicomdirLoaded");
const QString kSelected = QStringLiteral("dicomdirImageSelected");

QString pydicomSet() {
    return pydicomFile(QStringLiteral("dicomdirtests"));
}

// What dcmdump reads: patient records, and records that reference a file.
struct DumpedCounts {
    int patients = 0;
    int files = 0;
};

DumpedCounts dumpedCounts(const QString& dicomdir) {
    DumpedCounts counts;
    for (const DumpedElement& element : dcmdump(dicomdir)) {
        if (element.tag == QStringLiteral("0004,1430") &&
            element.value == QStringLiteral("PATIENT"))
            ++counts.patients;
        if (element.tag == QStringLiteral("0004,1500") && element.depth == 2)
            ++counts.files;
    }
    return counts;
}

// Copies a tree of files; lowerCase renames every file and folder as a copied CD may show them.
void copyTree(const QString& from, const QString& to, bool lowerCase = false) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        QString relative = QDir(from).relativeFilePath(source);
        if (lowerCase)
            relative = relative.toLower();
        QDir().mkpath(QFileInfo(to + '/' + relative).path());
        QFile::copy(source, to + '/' + relative);
    }
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class DicomdirBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    // Opens the page on the DICOMDIR of that folder and waits for its report and for the
    // existence checks of the files it shows.
    bool open(const QString& dicomdirFolder, const QString& templateName = kEnglish,
              int timeoutMs = 20000) {
        if (!view.load(folder.fillDicomdirPage(templateName, dicomdirFolder)))
            return false;
        return view.waitForMessage(kLoaded, timeoutMs) && waitForChecks(timeoutMs);
    }

    bool waitForChecks(int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (bodyAttribute(QStringLiteral("data-files")) != QStringLiteral("checked")) {
            if (deadline.hasExpired())
                return false;
            view.pump(20);
        }
        return true;
    }

    QJsonObject report() const {
        return QJsonDocument::fromJson(view.lastContent(kLoaded).toUtf8()).object();
    }

    QString bodyAttribute(const QString& name) {
        return view.run(QStringLiteral("document.body.getAttribute('%1') || ''").arg(name))
            .toString();
    }

    QString text(const QString& selector) {
        return view
            .run(QStringLiteral("(document.querySelector('%1') || {}).textContent || ''")
                     .arg(selector))
            .toString();
    }

    // The visible rows, each as its texts joined by " | ".
    QStringList visibleRows() {
        return view
            .run(QStringLiteral(
                "Array.prototype.filter.call(document.querySelectorAll('.row'),"
                " function (r) { return r.offsetParent !== null; }).map(function (r) {"
                " return Array.prototype.map.call(r.querySelectorAll('.main, .detail, .badge'),"
                " function (s) { return s.textContent; }).filter(String).join(' | '); })"))
            .toStringList();
    }

    QString currentRow(const QString& property = QStringLiteral("title")) {
        return view
            .run(QStringLiteral("(document.querySelector('.row.current') || {}).%1 || ''")
                     .arg(property))
            .toString();
    }

    // Moves down with the arrow key until the current row references that file.
    bool moveTo(const QString& fileId) {
        for (int i = 0; i < 100; ++i) {
            if (currentRow() == fileId)
                return true;
            view.pressKey(Qt::Key_Down);
        }
        return false;
    }

    QJsonObject selection() {
        if (!view.waitForMessage(kSelected, 5000))
            return {};
        return QJsonDocument::fromJson(view.lastContent(kSelected).toUtf8()).object();
    }

    void expectCounts(const DumpedCounts& expected) {
        const QJsonObject loaded = report();
        // Quoted decimal text, as the viewer reads page values.
        EXPECT_EQ(loaded.value("patients").toString(), QString::number(expected.patients));
        EXPECT_EQ(loaded.value("totalImages").toString(), QString::number(expected.files));
    }

    // A medium as dcmmkdir writes it: images of three patients with their icons, a report and
    // a PDF document.
    void makeDcmmkdirMedium() {
        const QString dicom = media.path() + QStringLiteral("/DICOM/");
        QDir().mkpath(dicom);
        QFile::copy(pydicomFile(QStringLiteral("CT_small.dcm")), dicom + "CT000001");
        QFile::copy(pydicomFile(QStringLiteral("MR_small.dcm")), dicom + "MR000001");
        QFile::copy(pydicomFile(QStringLiteral("test-SR.dcm")), dicom + "SR000001");
        ASSERT_TRUE(writeEncapsulatedPdf(dicom + "PDF00001"));
        QFile::remove(dicom + "PDF00001.pdf");
        const QStringList ct = QDir(pydicomSet() + "/98892001/CT5N").entryList(QDir::Files);
        for (int i = 0; i < ct.size(); ++i)
            QFile::copy(pydicomSet() + "/98892001/CT5N/" + ct[i],
                        dicom + QStringLiteral("CT50000%1").arg(i + 1));
        QStringList arguments = {
            "--general-purpose",       "--invent", "+X", "+id", media.path(), "+D",
            media.path() + "/DICOMDIR"};
        for (const QString& name : QDir(dicom).entryList(QDir::Files))
            arguments << "DICOM/" + name;
        QProcess dcmmkdir;
        dcmmkdir.start(QStringLiteral("dcmmkdir"), arguments);
        ASSERT_TRUE(dcmmkdir.waitForFinished(30000));
        ASSERT_EQ(dcmmkdir.exitCode(), 0) << dcmmkdir.readAllStandardError().toStdString();
    }

    QTemporaryDir media;
    InstanceFolder folder;
    PageView view;
};

TEST_F(DicomdirBrowser, ShowsWhatDcmmkdirWroteWithDcmdumpsCounts) {
    makeDcmmkdirMedium();
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
    const DumpedCounts dumped = dumpedCounts(media.path() + "/DICOMDIR");
    ASSERT_EQ(dumped.patients, 5);
    ASSERT_EQ(dumped.files, 9);
    expectCounts(dumped);
    EXPECT_EQ(bodyAttribute("data-state"), QStringLiteral("done"));
    EXPECT_EQ(view.messages(kLoaded).size(), 1);
    EXPECT_EQ(text("#summary"), QStringLiteral("5\u00a0patients \u00b7 5\u00a0studies \u00b7 "
                                               "5\u00a0series \u00b7 7\u00a0images \u00b7 "
                                               "2\u00a0other documents"));

    // A small medium opens whole; names, dates and counts as a radiologist reads them.
    const QStringList rows = visibleRows();
    EXPECT_EQ(rows.size(), 5 * 3 + 9);
    EXPECT_TRUE(rows.contains(QRegularExpression("^CompressedSamples CT1 \\| ID 1CT1( |$)")))
        << rows.join('\n').toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("2004-01-19 e+1")));
    EXPECT_TRUE(rows.contains(QStringLiteral("CT Series 1 | 1\u00a0image")));
    EXPECT_TRUE(rows.contains(QStringLiteral("ENCAP DOC 1")));
    EXPECT_TRUE(rows.contains(QStringLiteral("SR DOCUMENT 1")));
    // The five CT slices of one series, in instance order.
    const qsizetype first = rows.indexOf(QRegularExpression("CT Series .*5\u00a0images"));
    ASSERT_GE(first, 0);
    QStringList instances;
    for (qsizetype i = first + 1; i <= first + 5; ++i)
        instances << rows[i].section(' ', 1);
    QStringList sorted = instances;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    EXPECT_EQ(instances, sorted);
    EXPECT_TRUE(view.consoleErrors().isEmpty()) << view.consoleErrors().join('\n').toStdString();
}

TEST_F(DicomdirBrowser, KeyboardAndClicksSelectFiles) {
    makeDcmmkdirMedium();
    ASSERT_TRUE(open(media.path()));

    ASSERT_TRUE(moveTo(QStringLiteral("DICOM\\MR000001")));
    view.pressKey(Qt::Key_Return);
    QJsonObject selected = selection();
    EXPECT_EQ(selected.value("url").toString(), "file://" + media.path() + "/DICOM/MR000001");
    EXPECT_EQ(selected.value("type").toString(), QStringLiteral("IMAGE"));

    // Left goes up to the series and then closes it; Right opens it again.
    view.pressKey(Qt::Key_Left);
    EXPECT_EQ(currentRow("className"), QStringLiteral("row series current"));
    view.pressKey(Qt::Key_Left);
    EXPECT_EQ(currentRow("getAttribute('aria-expanded')"), QStringLiteral("false"));
    const int open = visibleRows().size();
    view.pressKey(Qt::Key_Right);
    EXPECT_EQ(currentRow("getAttribute('aria-expanded')"), QStringLiteral("true"));
    EXPECT_EQ(visibleRows().size(), open + 1);
    view.pressKey(Qt::Key_Up);
    EXPECT_EQ(currentRow("className"), QStringLiteral("row study current"));

    // A click on a report selects it with its record type.
    view.clearMessages();
    const QVariantList box =
        view.run(QStringLiteral("(function () { var r = Array.prototype.find.call("
                                "document.querySelectorAll('.row'), function (r) {"
                                " return r.title === 'DICOM\\\\SR000001'; });"
                                " r.scrollIntoView(); var b = r.getBoundingClientRect();"
                                " return [b.left + 40, b.top + b.height / 2]; })()"))
            .toList();
    ASSERT_EQ(box.size(), 2);
    view.click(QPoint(box[0].toInt(), box[1].toInt()));
    selected = selection();
    EXPECT_EQ(selected.value("url").toString(), "file://" + media.path() + "/DICOM/SR000001");
    EXPECT_EQ(selected.value("type").toString(), QStringLiteral("SR DOCUMENT"));
    EXPECT_EQ(currentRow(), QStringLiteral("DICOM\\SR000001"));
}

// Each variant of pydicom's set (dcmtk's original, pydicom's implicit VR copy, dcmodify's big
// endian copy, records reordered with offsets adapted, and a copy whose records lost their
// offset elements, its last record still claiming the 24 bytes they took) reads whole.
TEST_F(DicomdirBrowser, PydicomVariantsGiveDcmdumpsCounts) {
    const struct {
        const char* file;
        const char* status;
    } variants[] = {{"DICOMDIR", "ok"},
                    {"DICOMDIR-implicit", "ok"},
                    {"DICOMDIR-bigEnd", "ok"},
                    {"DICOMDIR-reordered", "ok"},
                    {"DICOMDIR-nooffset", "ok"}};
    copyTree(pydicomSet(), media.path());
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.file);
        const QString dicomdir = media.path() + "/DICOMDIR";
        QFile::remove(dicomdir);
        ASSERT_TRUE(QFile::copy(pydicomSet() + '/' + variant.file, dicomdir));
        ASSERT_TRUE(open(media.path()));
        EXPECT_EQ(report().value("status").toString(), QString::fromLatin1(variant.status));
        expectCounts(dumpedCounts(dicomdir));
        const QStringList rows = visibleRows();
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(rows.first(), QStringLiteral("Doe Archibald | ID 77654033"));
        EXPECT_TRUE(rows.contains(QStringLiteral("2001-01-01 XR C Spine Comp Min 4 Views | "
                                                 "accession no. 2")));
        EXPECT_EQ(
            view.run(QStringLiteral("document.querySelectorAll('.row.missing').length")).toInt(),
            0);
        EXPECT_EQ(text("#notice"), QString());
    }
}

TEST_F(DicomdirBrowser, MissingFileIsMarkedAndCannotBeSelected) {
    copyTree(pydicomSet(), media.path());
    ASSERT_TRUE(QFile::remove(media.path() + "/77654033/CR2/6247"));
    ASSERT_TRUE(open(media.path()));
    expectCounts(dumpedCounts(media.path() + "/DICOMDIR"));
    EXPECT_TRUE(text("#summary").endsWith(QStringLiteral("1\u00a0file missing")));

    ASSERT_TRUE(moveTo(QStringLiteral("77654033\\CR2\\6247")));
    EXPECT_TRUE(view.run(QStringLiteral("document.querySelector('.row.current.missing') !== null"))
                    .toBool());
    EXPECT_EQ(text(".row.current .badge"), QStringLiteral("file missing"));
    view.pressKey(Qt::Key_Return);
    EXPECT_FALSE(view.waitForMessage(kSelected, 500));

    // The next image is there and is selected.
    ASSERT_TRUE(moveTo(QStringLiteral("77654033\\CR3\\6278")));
    view.pressKey(Qt::Key_Return);
    EXPECT_EQ(selection().value("url").toString(), "file://" + media.path() + "/77654033/CR3/6278");
}

// A CD copied with lower-case names: the files are found and reported as they are on disk.
TEST_F(DicomdirBrowser, LowerCaseCopyGivesTheNamesOnDisk) {
    copyTree(pydicomSet() + "/77654033", media.path() + "/77654033", true);
    copyTree(pydicomSet() + "/98892001", media.path() + "/98892001", true);
    copyTree(pydicomSet() + "/98892003", media.path() + "/98892003", true);
    ASSERT_TRUE(QFile::copy(pydicomSet() + "/DICOMDIR", media.path() + "/dicomdir"));
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
    expectCounts(dumpedCounts(media.path() + "/dicomdir"));
    EXPECT_EQ(view.run(QStringLiteral("document.querySelectorAll('.row.missing').length")).toInt(),
              0);
    ASSERT_TRUE(moveTo(QStringLiteral("98892003\\MR700\\4467")));
    view.pressKey(Qt::Key_Return);
    const QJsonObject selected = selection();
    EXPECT_EQ(selected.value("url").toString(), "file://" + media.path() + "/98892003/mr700/4467");
    EXPECT_EQ(selected.value("type").toString(), QStringLiteral("IMAGE"));
}

TEST_F(DicomdirBrowser, FrenchPageSpeaksFrench) {
    copyTree(pydicomSet(), media.path());
    ASSERT_TRUE(QFile::remove(media.path() + "/98892001/CT2N/6293"));
    ASSERT_TRUE(open(media.path(), kFrench));
    expectCounts(dumpedCounts(media.path() + "/DICOMDIR"));
    EXPECT_EQ(view.run(QStringLiteral("document.title")).toString(),
              QStringLiteral("Navigateur DICOMDIR"));
    const QString summary = text("#summary");
    EXPECT_TRUE(summary.contains(QStringLiteral("6\u00a0\u00e9tudes \u00b7 13\u00a0s\u00e9ries")))
        << summary.toStdString();
    EXPECT_TRUE(summary.endsWith(QStringLiteral("1\u00a0fichier manquant")));
    EXPECT_EQ(text(".row.missing .badge"), QStringLiteral("fichier manquant"));
    EXPECT_TRUE(visibleRows().contains(
        QStringLiteral("2001-01-01 XR C Spine Comp Min 4 Views | n\u00b0 d\u2019accession 2")));
}

// Two patients, a series whose images are listed out of instance order, and a report.
DicomdirBuilder smallDirectory() {
    DicomdirBuilder builder;
    const int jane = builder.patient("Doe^Jane", "P1");
    builder.text(jane, 0x0010, 0x0030, "DA", "19700102").text(jane, 0x0010, 0x0040, "CS", "F");
    const int ct = builder.series(builder.study(jane, "20240102", "Chest"), "CT", 3);
    builder.image(ct, 2, {"A", "IMG2"});
    builder.image(ct, 1, {"A", "IMG1"});
    const int rick = builder.patient("Roe^Rick", "P2");
    const int sr = builder.series(builder.study(rick, "20240103", "Head"), "SR", 1);
    builder.add(sr, "SR DOCUMENT", {"B", "SR1"});
    return builder;
}

const QStringList kSmallDirectoryRows = {"Doe Jane | ID P1 | born 1970-01-02 | sex F",
                                         "2024-01-02 Chest",
                                         "CT Series 3 | 2\u00a0images",
                                         "Image 1",
                                         "Image 2",
                                         "Roe Rick | ID P2",
                                         "2024-01-03 Head",
                                         "SR Series 1 | 1\u00a0document",
                                         "SR DOCUMENT"};

TEST_F(DicomdirBrowser, ReadsEachSyntaxWithMeasuredOrDelimitedLengths) {
    using Syntax = DicomdirBuilder::Syntax;
    for (Syntax syntax : {Syntax::ExplicitLittle, Syntax::ImplicitLittle, Syntax::ExplicitBig}) {
        for (bool delimited : {false, true}) {
            SCOPED_TRACE(testing::Message() << int(syntax) << (delimited ? " delimited" : ""));
            DicomdirBuilder builder = smallDirectory();
            builder.setSyntax(syntax).setUndefinedLengths(delimited);
            ASSERT_TRUE(builder.write(media.path() + "/DICOMDIR"));
            for (const char* file : {"/A/IMG1", "/A/IMG2", "/B/SR1"}) {
                QDir().mkpath(QFileInfo(media.path() + file).path());
                writeBytes(media.path() + file, "x");
            }
            ASSERT_TRUE(open(media.path()));
            EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
            expectCounts({2, 3});
            EXPECT_EQ(visibleRows(), kSmallDirectoryRows);
            ASSERT_TRUE(moveTo(QStringLiteral("B\\SR1")));
            view.pressKey(Qt::Key_Return);
            EXPECT_EQ(selection().value("url").toString(), "file://" + media.path() + "/B/SR1");
        }
    }
}

// Without offsets the records nest by their order: patient, study, series, then the leaves.
TEST_F(DicomdirBrowser, ZeroOffsetsNestRecordsByTheirOrder) {
    DicomdirBuilder builder = smallDirectory();
    builder.setOffsetsWritten(false);
    ASSERT_TRUE(builder.write(media.path() + "/DICOMDIR"));
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
    expectCounts({2, 3});
    QStringList rows = visibleRows();
    for (QString& row : rows)
        row.remove(QStringLiteral(" | file missing"));
    EXPECT_EQ(rows, kSmallDirectoryRows);
    EXPECT_EQ(view.run(QStringLiteral("Array.prototype.map.call(document.querySelectorAll('.row'),"
                                      " function (r) { return r.getAttribute('aria-level'); })"
                                      ".join('')"))
                  .toString(),
              QStringLiteral("123441234"));
}

// Names decode with their record's character set (Latin-1 when none is given); a folder whose
// name needs escaping in a URL is read, and reported with its characters written plainly.
TEST_F(DicomdirBrowser, TextsDecodeWithTheirCharacterSetAndPathsStayPlain) {
    DicomdirBuilder builder;
    const int utf8 = builder.patient("M\xc3\xbcller^J\xc3\xbcrgen", "U1");
    builder.text(utf8, 0x0008, 0x0005, "CS", "ISO_IR 192");
    // Each record declares its own character set.
    const int study = builder.study(utf8, "20240102", "\xe2\x86\x92 UTF-8");
    builder.text(study, 0x0008, 0x0005, "CS", "ISO_IR 192");
    builder.image(builder.series(study, "MR", 1), 1, {"A", "IMG1"});
    const int latin1 = builder.patient("\xc9lodie^Fran\xe7ois", "L1");
    builder.image(builder.series(builder.study(latin1, "2024.01.03", "Latin"), "CT", 2), 1,
                  {"A", "IMG2"});
    const QString medium = media.path() + QStringLiteral("/M\u00e9dias #2 %41?");
    ASSERT_TRUE(QDir().mkpath(medium + "/A"));
    ASSERT_TRUE(builder.write(medium + "/DICOMDIR"));
    writeBytes(medium + "/A/IMG1", "x");
    writeBytes(medium + "/A/IMG2", "x");
    ASSERT_TRUE(open(medium));
    EXPECT_EQ(
        visibleRows(),
        QStringList({"M\u00fcller J\u00fcrgen | ID U1", "2024-01-02 \u2192 UTF-8",
                     "MR Series 1 | 1\u00a0image", "Image 1", "\u00c9lodie Fran\u00e7ois | ID L1",
                     "2024-01-03 Latin", "CT Series 2 | 1\u00a0image", "Image 1"}));
    ASSERT_TRUE(moveTo(QStringLiteral("A\\IMG2")));
    view.pressKey(Qt::Key_Return);
    EXPECT_EQ(selection().value("url").toString(), "file://" + medium + "/A/IMG2");
}

// The policy of an unfilled page names no folder its scripts may come from: it runs none,
// even beside a directory it could read.
TEST_F(DicomdirBrowser, UnfilledPageRunsNoScript) {
    ASSERT_TRUE(smallDirectory().write(folder.path(QStringLiteral("DICOMDIR"))));
    const QString page = folder.path(QStringLiteral("KDVAX_DICOMDIR.html"));
    ASSERT_TRUE(QFile::copy(assetFolder() + '/' + kEnglish, page));
    ASSERT_TRUE(view.load(page));
    EXPECT_EQ(view.run(QStringLiteral("typeof KestPage + ' ' + typeof dicomParser")).toString(),
              QStringLiteral("undefined undefined"));
    EXPECT_TRUE(view.messages().isEmpty());
}

// The directory with the item length of a record replaced (explicit VR little endian: the four
// bytes after the item tag).
QByteArray withItemLength(QByteArray bytes, const DicomdirBuilder& builder, int record,
                          quint32 length) {
    const int at = int(builder.offsetOf(record)) + 4;
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((length >> (8 * i)) & 0xff);
    return bytes;
}

// A last record that claims more bytes than its list holds, the list's own length right (as
// when elements were taken out of the record), is read up to the list's end. The same bytes
// missing from a list whose length claims them, or a record before the last that claims the
// rest of the list, are damage.
TEST_F(DicomdirBrowser, OverlongLastRecordIsReadUpToTheListsEnd) {
    DicomdirBuilder builder = smallDirectory();
    const QByteArray whole = builder.build();
    const int last = builder.recordCount() - 1;
    const quint32 lastLength = quint32(whole.size()) - builder.offsetOf(last) - 8;
    for (const char* file : {"/A/IMG1", "/A/IMG2", "/B/SR1"}) {
        QDir().mkpath(QFileInfo(media.path() + file).path());
        writeBytes(media.path() + file, "x");
    }

    writeBytes(media.path() + "/DICOMDIR", withItemLength(whole, builder, last, lastLength + 24));
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
    expectCounts({2, 3});
    EXPECT_EQ(visibleRows(), kSmallDirectoryRows);
    EXPECT_EQ(text("#notice"), QString());

    // The file cut by 24 bytes: the list's length runs past its end.
    writeBytes(media.path() + "/DICOMDIR", whole.left(whole.size() - 24));
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("partial"));
    EXPECT_TRUE(text("#notice").contains(QStringLiteral("The file ends inside the record list.")))
        << text("#notice").toStdString();

    // Without offsets to tell, the first image claims everything after it and 24 bytes more:
    // the records it swallows (the second image and the second patient's) are damage, not its
    // elements.
    DicomdirBuilder unlinked = smallDirectory();
    unlinked.setOffsetsWritten(false);
    const QByteArray unlinkedBytes = unlinked.build();
    const int image = 3;
    const quint32 rest = quint32(unlinkedBytes.size()) - unlinked.offsetOf(image) - 8;
    writeBytes(media.path() + "/DICOMDIR",
               withItemLength(unlinkedBytes, unlinked, image, rest + 24));
    ASSERT_TRUE(open(media.path()));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("partial"));
    expectCounts({1, 1});
    EXPECT_TRUE(text("#notice").contains(
        QStringLiteral("The record at byte %1 is damaged.").arg(unlinked.offsetOf(image))))
        << text("#notice").toStdString();
    EXPECT_EQ(visibleRows().mid(2), QStringList({"CT Series 3 | 1\u00a0image", "Image 2"}));
}

// A damaged directory ends with one report: what could be read, and why the rest could not.
TEST_F(DicomdirBrowser, DamagedDirectoriesEndWithWhatCouldBeRead) {
    DicomdirBuilder probe = smallDirectory();
    const QByteArray whole = probe.build();
    const struct Case {
        const char* name;
        std::function<QByteArray()> bytes;
        const char* status;
        int patients;
        int files;
        const char* notice;
    } cases[] = {
        {"loop in next offsets",
         [] {
             DicomdirBuilder b = smallDirectory();
             return b.overrideNext(5, b.offsetOf(0)).build();
         },
         "partial", 2, 3, "leads back to a record already read"},
        {"lower offset to itself",
         [] {
             DicomdirBuilder b = smallDirectory();
             return b.overrideLower(2, b.offsetOf(2)).build();
         },
         "partial", 2, 1, "leads back to a record already read"},
        {"offset past the end",
         [] { return smallDirectory().overrideLower(2, 0x7ffffff0).build(); }, "partial", 2, 1,
         "where no record starts"},
        {"offset inside a record",
         [] {
             DicomdirBuilder b = smallDirectory();
             return b.overrideNext(3, b.offsetOf(4) + 2).build();
         },
         "partial", 2, 2, "where no record starts"},
        {"root offset nowhere", [] { return smallDirectory().overrideRoot(12345).build(); },
         "partial", 2, 3, "where no record starts"},
        {"truncated inside a record", [&] { return whole.left(int(probe.offsetOf(5)) + 30); },
         "partial", 1, 2, "The file ends inside the record list."},
        {"truncated before the records", [&] { return whole.left(200); }, "error", 0, 0,
         "This file is not a DICOM directory."},
        {"not DICOM", [] { return QByteArray("DICOMDIR\n"); }, "error", 0, 0,
         "This file is not a DICOM directory."},
        {"empty", [] { return QByteArray(); }, "error", 0, 0, "The DICOMDIR file cannot be read."},
        {"sequences nested 100000 deep",
         [] {
             DicomdirBuilder b = smallDirectory();
             return b.nest(3, 100000).build();
         },
         "partial", 2, 3, "is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(media.path() + "/DICOMDIR", c.bytes());
        ASSERT_TRUE(open(media.path()));
        view.pump(300);
        view.waitForMessage(QStringLiteral("none"), 10);
        EXPECT_EQ(view.messages(kLoaded).size(), 1);
        const QJsonObject loaded = report();
        EXPECT_EQ(loaded.value("status").toString(), QString::fromLatin1(c.status));
        EXPECT_EQ(loaded.value("patients").toString(), QString::number(c.patients));
        EXPECT_EQ(loaded.value("totalImages").toString(), QString::number(c.files));
        EXPECT_EQ(bodyAttribute("data-state"),
                  QString::fromLatin1(c.status) == "partial" ? "partial" : "error");
        EXPECT_TRUE(text("#notice").contains(QString::fromLatin1(c.notice)))
            << text("#notice").toStdString();
    }
}

// Rows are made when a level opens: a directory of 100,000 images shows its upper levels,
// and the series shows its images a thousand at a time.
TEST_F(DicomdirBrowser, HundredThousandRecordsOpenOnDemand) {
    DicomdirBuilder builder;
    const int series = builder.series(
        builder.study(builder.patient("Big^Series", "B1"), "20240101", "Many"), "CT", 1);
    for (int i = 1; i <= 100000; ++i)
        builder.image(series, i, {"IMG", QByteArray::number(i)});
    ASSERT_TRUE(builder.write(media.path() + "/DICOMDIR"));
    ASSERT_TRUE(open(media.path(), kEnglish, 60000));
    EXPECT_EQ(report().value("status").toString(), QStringLiteral("ok"));
    expectCounts({1, 100000});
    EXPECT_EQ(visibleRows(), QStringList({"Big Series | ID B1", "2024-01-01 Many",
                                          "CT Series 1 | 100000\u00a0images"}));
    view.pressKey(Qt::Key_End);
    view.pressKey(Qt::Key_Right);
    ASSERT_TRUE(waitForChecks());
    const QStringList rows = visibleRows();
    ASSERT_EQ(rows.size(), 3 + 1000 + 1);
    EXPECT_EQ(rows[3], QStringLiteral("Image 1 | file missing"));
    EXPECT_EQ(rows.last(), QStringLiteral("Show the next 1000 of 99000 remaining\u2026"));
    view.pressKey(Qt::Key_End);
    view.pressKey(Qt::Key_Return);
    EXPECT_EQ(visibleRows().size(), 3 + 2000 + 1);
    EXPECT_EQ(currentRow(), QStringLiteral("IMG\\1001"));
}

} // namespace
