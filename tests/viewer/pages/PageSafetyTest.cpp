#include "PageHarness.h"
#include "support/modIni.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/DicomdirBuilder.h"
#include "viewer/PageAssets.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const QStringList kTemplates = {"KDVAX_MONO.dll", "KDVAX_SR.dll",       "KDVAX_SR_FR.dll",
                                "KDVAX_TAGS.dll", "KDVAX_DICOMDIR.dll", "KDVAX_DICOMDIR_FR.dll"};

bool isDicomdirPage(const QString& templateName) {
    return templateName.startsWith(QStringLiteral("KDVAX_DICOMDIR"));
}

QString policyOf(const QString& page) {
    static const QRegularExpression meta(
        QStringLiteral(R"re(http-equiv="Content-Security-Policy" content="([^"]*)")re"));
    return meta.match(page).captured(1);
}

// The src of each script element of a page, in order.
QStringList scriptSources(const QString& page) {
    static const QRegularExpression source(
        QStringLiteral(R"re(<script src="([^"]*)"></script>)re"));
    QStringList sources;
    for (auto it = source.globalMatch(page); it.hasNext();)
        sources << it.next().captured(1);
    return sources;
}

// No template carries script of its own, and its policy allows none (no hash, no
// 'unsafe-inline'): script written into a page does not run, nor do handlers in its markup.
TEST(PageTemplates, PoliciesAllowNoInlineScript) {
    static const QRegularExpression scriptElement(
        QStringLiteral("<script\\b([^>]*)>(.*?)</script>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression handler(QStringLiteral("<[^>]*\\son[a-z]+\\s*="),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const QString& name : kTemplates) {
        SCOPED_TRACE(name.toStdString());
        const QString page = readText(assetFolder() + '/' + name);
        const QString policy = policyOf(page);
        ASSERT_FALSE(policy.isEmpty());
        EXPECT_TRUE(policy.startsWith(QStringLiteral("default-src 'none';")));
        const QString scriptSources =
            policy.section(QStringLiteral("script-src"), 1).section(';', 0, 0);
        // The folders are named when the page is written; no template allows file: as a whole.
        EXPECT_EQ(scriptSources.split(' ', Qt::SkipEmptyParts).value(0),
                  QStringLiteral("###SCRIPTSRC###"));
        EXPECT_FALSE(scriptSources.contains(QStringLiteral("file:")));
        EXPECT_FALSE(scriptSources.contains(QStringLiteral("unsafe-inline")));
        EXPECT_FALSE(scriptSources.contains(QStringLiteral("eval")));
        EXPECT_FALSE(scriptSources.contains(QStringLiteral("'sha")));
        EXPECT_FALSE(scriptSources.contains(QStringLiteral("'nonce-")));
        int scripts = 0;
        for (auto it = scriptElement.globalMatch(page); it.hasNext(); ++scripts) {
            const QRegularExpressionMatch script = it.next();
            EXPECT_TRUE(script.captured(1).contains(QStringLiteral("src=")))
                << script.captured(0).left(80).toStdString();
            EXPECT_TRUE(script.captured(2).trimmed().isEmpty())
                << script.captured(0).left(80).toStdString();
        }
        EXPECT_GT(scripts, 1);
        EXPECT_FALSE(handler.match(page).hasMatch())
            << handler.match(page).captured(0).toStdString();
        EXPECT_TRUE(page.contains(isDicomdirPage(name) ? QStringLiteral("###DICOMDIR###")
                                                       : QStringLiteral("###ROOTDIR###")));
    }
}

// Each script a template loads is one the viewer deploys: the instance's file list, or a page
// library or page script that the Bin folder gets from the asset folder. Each page script is
// loaded by a page.
TEST(PageTemplates, LoadOnlyTheScriptsTheViewerDeploys) {
    const QStringList deployed = pageassets::libraryNames() + pageassets::pageScriptNames();
    const QString bin = QStringLiteral("../../Bin/");
    QStringList loaded;
    for (const QString& name : kTemplates) {
        SCOPED_TRACE(name.toStdString());
        for (const QString& source : scriptSources(readText(assetFolder() + '/' + name))) {
            if (source == QStringLiteral("liste.js"))
                continue;
            ASSERT_TRUE(source.startsWith(bin)) << source.toStdString();
            const QString file = source.mid(bin.size());
            EXPECT_TRUE(deployed.contains(file)) << file.toStdString();
            EXPECT_TRUE(QFile::exists(assetFolder() + '/' + file)) << file.toStdString();
            loaded << file;
        }
    }
    for (const QString& script : pageassets::pageScriptNames())
        EXPECT_TRUE(loaded.contains(script)) << script.toStdString();
}

// Every module of the pages' source folder is in a deployed page script, whole: a module added
// to the folder but left out of its page's joined script would be linted and never run.
TEST(PageScripts, HoldEveryModuleOfTheSourceFolderWhole) {
    const QDir sources(QString::fromLocal8Bit(qgetenv("KEST_SOURCE_DIR")) +
                       QStringLiteral("/assets/KestDicomAx"));
    QString joined;
    for (const QString& script : pageassets::pageScriptNames())
        joined += readText(assetFolder() + '/' + script);
    const QStringList modules = sources.entryList({QStringLiteral("*.js")}, QDir::Files);
    ASSERT_GT(modules.size(), 10);
    for (const QString& module : modules) {
        SCOPED_TRACE(module.toStdString());
        const QString text = readText(sources.filePath(module));
        const QString marker = QStringLiteral("// ---- ") + module + QLatin1Char('\n');
        const qsizetype at = joined.indexOf(marker);
        ASSERT_GE(at, 0);
        EXPECT_EQ(joined.mid(at + marker.size(), text.size()), text);
    }
}

// The page scripts put file values into pages as text only: none writes markup, and none runs
// text as script.
TEST(PageScripts, WriteNoMarkupAndRunNoText) {
    static const QRegularExpression unsafe(QStringLiteral(
        R"re(\.(innerHTML|outerHTML|insertAdjacentHTML|srcdoc)\b|createContextualFragment|)re"
        R"re(document\.write|\beval\s*\(|\bFunction\s*\(|set(Timeout|Interval)\s*\(\s*['"`])re"));
    for (const QString& name : pageassets::pageScriptNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString script = readText(assetFolder() + '/' + name);
        ASSERT_FALSE(script.isEmpty());
        const QRegularExpressionMatch found = unsafe.match(script);
        EXPECT_FALSE(found.hasMatch()) << found.captured(0).toStdString();
    }
}

TEST(PageTemplates, CarryTheirCaptionPlaceholdersAndTitles) {
    const QString image = readText(assetFolder() + QStringLiteral("/KDVAX_MONO.dll"));
    for (int i = 1; i <= 32; ++i)
        EXPECT_TRUE(image.contains(QStringLiteral("#Tool%1#").arg(i))) << i;
    EXPECT_TRUE(image.contains(QStringLiteral("<title>Console DICOM</title>")));
    const QString tags = readText(assetFolder() + QStringLiteral("/KDVAX_TAGS.dll"));
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(tags.contains(QStringLiteral("#Tag%1#").arg(i))) << i;
    EXPECT_TRUE(tags.contains(QStringLiteral("<title>DICOM Tags</title>")));
}

// The DICOMDIR and report pages are written once a language from one template: each language's
// page differs from the English one in its lang attribute and title only.
TEST(PageTemplates, LanguagePagesDifferInLanguageAndTitleOnly) {
    const struct {
        const char* english;
        const char* french;
        const char* englishTitle;
        const char* frenchTitle;
    } pages[] = {
        {"KDVAX_DICOMDIR.dll", "KDVAX_DICOMDIR_FR.dll", "DICOMDIR Browser", "Navigateur DICOMDIR"},
        {"KDVAX_SR.dll", "KDVAX_SR_FR.dll", "Structured Report", "Compte rendu structur\u00e9"}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.french);
        QString english = readText(assetFolder() + '/' + QLatin1String(page.english));
        QString french = readText(assetFolder() + '/' + QLatin1String(page.french));
        const QString englishHead =
            QStringLiteral("<html lang=\"en\">") + "|<title>" + page.englishTitle + "</title>";
        const QString frenchHead = QStringLiteral("<html lang=\"fr\">") + "|<title>" +
                                   QString::fromUtf8(page.frenchTitle) + "</title>";
        for (const QString& part : englishHead.split('|'))
            EXPECT_EQ(english.count(part), 1) << part.toStdString();
        for (const QString& part : frenchHead.split('|'))
            EXPECT_EQ(french.count(part), 1) << part.toStdString();
        EXPECT_FALSE(english.contains('@') || french.contains('@'));
        for (int i = 0; i < 2; ++i) {
            english.replace(englishHead.section('|', i, i), QString());
            french.replace(frenchHead.section('|', i, i), QString());
        }
        EXPECT_EQ(english, french);
    }
}

// Captions are substituted up to the first missing key: a gap would leave the
// later ones untranslated.
TEST(PageTemplates, EveryImageCaptionIsInEnglishAndFrench) {
    const QString image = readText(assetFolder() + QStringLiteral("/KDVAX_MONO.dll"));
    const QString locale = assetFolder() + QStringLiteral("/Locale.ini");
    for (const QString language : {"en", "fr"})
        for (int i = 1; image.contains(QStringLiteral("#Tool%1#").arg(i)); ++i)
            EXPECT_FALSE(
                ini::readValue(language, QStringLiteral("Tool%1").arg(i), {}, locale).isEmpty())
                << language.toStdString() << " Tool" << i;
}

const QString kHostileName = QStringLiteral("<img src=x onerror=__pwned=6>.dcm");
// A folder name that closes the page's attribute and element if written unescaped.
const QString kHostileFolder = QStringLiteral("a\"'><img src=x onerror=__pwned=7> & b #1 %41?");

class HostilePage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    void SetUp() override { ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0)); }

    QByteArray remoteImage() const {
        return "<img src=\"http://127.0.0.1:" + QByteArray::number(listener.serverPort()) +
               "/leak\">";
    }

    // Payloads a file could carry: markup with handlers, scripts, frames and a remote load.
    QList<QByteArray> payloads() const {
        return {"<img src=x onerror=\"window.__pwned=1;vbH().RaiseMessageEvent('pwned','img')\">",
                "<script>window.__pwned=2;vbH().RaiseMessageEvent('pwned','script')</script>",
                remoteImage(), "<iframe src=\"javascript:parent.__pwned=4\"></iframe>",
                "javascript:window.__pwned=5"};
    }

    // An image whose patient name, IDs, descriptions and a private element hold the payloads.
    bool writeHostileImage(const QString& path) const {
        const QList<QByteArray> p = payloads();
        DicomBuilder builder;
        builder.add(0x0008, 0x0060, "CS", "OT")
            .add(0x0008, 0x1030, "LO", p[2])
            .add(0x0008, 0x103e, "LO", p[4])
            .add(0x0009, 0x0010, "LO", "KEST TEST")
            .add(0x0009, 0x1001, "LT", p[3])
            .add(0x0010, 0x0010, "PN", p[0])
            .add(0x0010, 0x0020, "LO", p[1])
            .addGreyImage(8, 8, [](int x, int y) { return x * y; });
        return builder.write(path);
    }

    // A report whose concept names and text values hold the payloads.
    bool writeHostileReport(const QString& path) const {
        const QList<QByteArray> p = payloads();
        QList<DicomBuilder> items;
        for (const QByteArray& payload : p) {
            DicomBuilder conceptName;
            conceptName.add(0x0008, 0x0100, "SH", "1").add(0x0008, 0x0104, "LO", payload);
            DicomBuilder item;
            item.add(0x0040, 0xa010, "CS", "CONTAINS")
                .add(0x0040, 0xa040, "CS", "TEXT")
                .addSequence(0x0040, 0xa043, {conceptName})
                .add(0x0040, 0xa160, "UT", payload);
            items.append(item);
        }
        DicomBuilder builder;
        builder.add(0x0008, 0x0060, "CS", "SR")
            .add(0x0010, 0x0010, "PN", p[0])
            .add(0x0040, 0xa040, "CS", "CONTAINER")
            .addSequence(0x0040, 0xa730, items);
        return builder.write(path);
    }

    // A directory whose records carry the payloads in every text the page shows; the last
    // image's file exists, under a folder whose name is markup too.
    bool writeHostileDicomdir(const QString& dicomdirFolder) const {
        const QList<QByteArray> p = payloads();
        DicomdirBuilder builder;
        const int patient = builder.patient(p[0], p[1]);
        builder.text(patient, 0x0010, 0x0030, "DA", p[2]).text(patient, 0x0010, 0x0040, "CS", p[3]);
        const int study = builder.study(patient, p[4], p[0]);
        builder.text(study, 0x0008, 0x0050, "SH", p[1]);
        const int series = builder.series(study, p[2], 1);
        builder.text(series, 0x0008, 0x103e, "LO", p[3]).text(series, 0x0020, 0x0011, "IS", p[4]);
        builder.add(series, p[0], {"A", "B"});
        builder.text(builder.add(series, "ENCAP DOC", {"A", "C"}), 0x0042, 0x0010, "ST", p[1]);
        builder.text(builder.add(-1, p[2]), 0x0010, 0x0010, "PN", p[3]);
        builder.image(series, 7, {kHostileFolder.toUtf8(), "IMG"});
        QDir().mkpath(dicomdirFolder + '/' + kHostileFolder);
        QFile image(dicomdirFolder + '/' + kHostileFolder + QStringLiteral("/IMG"));
        return image.open(QIODevice::WriteOnly) && image.write("x") == 1 &&
               builder.write(dicomdirFolder + QStringLiteral("/DICOMDIR"));
    }

    bool open(const QString& templateName, const QString& captionKey, const QString& source,
              const QString& name, const QStringList& doneMessages) {
        QString page;
        if (isDicomdirPage(templateName)) {
            const QString media = folder.path(kHostileFolder);
            if (!QDir().mkpath(media) || !writeHostileDicomdir(media))
                return false;
            page = folder.fillDicomdirPage(templateName, media);
        } else {
            folder.setWorkingCopy(source, name);
            page = folder.fillPage(templateName, QStringLiteral("page.html"), captionKey);
        }
        if (!view.load(page))
            return false;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (view.waitForAnyMessage(doneMessages, 20) ||
                !view.run(QStringLiteral("document.body.getAttribute('data-state') || ''"))
                     .toString()
                     .isEmpty())
                break;
        }
        view.pump(500);
        view.clearMessages();
        return true;
    }

    void expectNothingRan() {
        view.pump(300);
        EXPECT_FALSE(view.run(QStringLiteral("'__pwned' in window")).toBool());
        view.waitForMessage(QStringLiteral("pwned"), 50);
        EXPECT_TRUE(view.messages(QStringLiteral("pwned")).isEmpty());
        EXPECT_FALSE(listener.hasPendingConnections());
    }

    void expectShownAsText(const QStringList& values) {
        const QString text = view.bodyText();
        for (const QString& value : values)
            EXPECT_TRUE(text.contains(value)) << value.toStdString();
    }

    QStringList payloadTexts() const {
        QStringList texts;
        for (const QByteArray& payload : payloads())
            texts << QString::fromUtf8(payload);
        return texts;
    }

    QTcpServer listener;
    InstanceFolder folder;
    PageView view;
};

TEST_F(HostilePage, ImagePageShowsMarkupAsTextAndRunsNothing) {
    const QString source = folder.path(QStringLiteral("source.bin"));
    ASSERT_TRUE(writeHostileImage(source));
    ASSERT_TRUE(open(QStringLiteral("KDVAX_MONO.dll"), QStringLiteral("Tool"), source, kHostileName,
                     {QStringLiteral("imageChanged")}));
    expectNothingRan();
    // The overlay shows the name's group before "=" and cuts the long ID.
    expectShownAsText({QStringLiteral("<img src"), payloadTexts()[1].left(63) + QChar(0x2026)});
}

TEST_F(HostilePage, ImagePageReportsTheNameExactly) {
    const QString source = folder.path(QStringLiteral("source.bin"));
    ASSERT_TRUE(writeHostileImage(source));
    folder.setWorkingCopy(source, kHostileName);
    ASSERT_TRUE(view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                          QStringLiteral("page.html"), QStringLiteral("Tool"))));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    const QString changed = view.lastContent(QStringLiteral("imageChanged"));
    EXPECT_EQ(jsonField(changed, "nom"), payloadTexts()[0]);
    EXPECT_EQ(jsonField(changed, "fileName"), kHostileName);
    EXPECT_EQ(jsonField(changed, "largeur"), QStringLiteral("8"));
}

TEST_F(HostilePage, TagsPageShowsMarkupAsTextAndRunsNothing) {
    const QString image = folder.path(QStringLiteral("image.bin"));
    const QString report = folder.path(QStringLiteral("report.bin"));
    ASSERT_TRUE(writeHostileImage(image));
    ASSERT_TRUE(writeHostileReport(report));
    for (const QString& source : {image, report}) {
        ASSERT_TRUE(open(QStringLiteral("KDVAX_TAGS.dll"), QStringLiteral("Tag"), source,
                         kHostileName, {QStringLiteral("dicomTags")}));
        expectNothingRan();
        expectShownAsText(payloadTexts());
    }
}

TEST_F(HostilePage, ReportPagesShowMarkupAsTextAndRunNothing) {
    const QString report = folder.path(QStringLiteral("report.bin"));
    ASSERT_TRUE(writeHostileReport(report));
    for (const QString& page :
         {QStringLiteral("KDVAX_SR.dll"), QStringLiteral("KDVAX_SR_FR.dll")}) {
        ASSERT_TRUE(open(page, QString(), report, kHostileName, {}));
        expectNothingRan();
        expectShownAsText(payloadTexts());
    }
}

TEST_F(HostilePage, DicomdirPagesShowMarkupAsTextAndRunNothing) {
    for (const QString& page :
         {QStringLiteral("KDVAX_DICOMDIR.dll"), QStringLiteral("KDVAX_DICOMDIR_FR.dll")}) {
        SCOPED_TRACE(page.toStdString());
        ASSERT_TRUE(
            open(page, QString(), QString(), QString(), {QStringLiteral("dicomdirLoaded")}));
        expectNothingRan();
        expectShownAsText(payloadTexts());
        // The image in the folder named with markup is found and reported with its plain path.
        view.run(QStringLiteral("document.querySelector('.row[title$=\"IMG\"]').click()"));
        ASSERT_TRUE(view.waitForMessage(QStringLiteral("dicomdirImageSelected")));
        const QString selected = view.lastContent(QStringLiteral("dicomdirImageSelected"));
        const QString media = folder.path(kHostileFolder);
        EXPECT_EQ(jsonField(selected, "url"),
                  "file://" + media + '/' + kHostileFolder + QStringLiteral("/IMG"));
        EXPECT_EQ(jsonField(selected, "type"), QStringLiteral("IMAGE"));
        expectNothingRan();
    }
}

// Should markup ever reach a page, its policy still stops handlers and remote loads.
TEST_F(HostilePage, PoliciesBlockInjectedHandlersAndRemoteRequests) {
    const QString source = folder.path(QStringLiteral("source.bin"));
    ASSERT_TRUE(writeHostileImage(source));
    const QString port = QString::number(listener.serverPort());
    for (const QString& page : kTemplates) {
        SCOPED_TRACE(page.toStdString());
        ASSERT_TRUE(open(page, QString(), source, QStringLiteral("image.dcm"),
                         {QStringLiteral("imageChanged"), QStringLiteral("NoImage"),
                          QStringLiteral("dicomTags"), QStringLiteral("dicomdirLoaded")}));
        view.run(
            QStringLiteral(
                "document.body.insertAdjacentHTML('beforeend', '<img src=x "
                "onerror=\"window.__pwned=1\">"
                "<img src=\"http://127.0.0.1:%1/img\">');"
                " try { fetch('http://127.0.0.1:%1/fetch').catch(function () {}); } catch (e) {}"
                " try { var s = document.createElement('script'); s.src = "
                "'http://127.0.0.1:%1/s.js';"
                " document.body.appendChild(s); } catch (e) {}"
                " try { var t = document.createElement('script'); t.textContent = "
                "'window.__pwned = 9'; document.body.appendChild(t); } catch (e) {}")
                .arg(port));
        expectNothingRan();
    }
}

// A page runs scripts from the Bin folder and its file list only, even in an instance folder
// whose path holds quotes, spaces, ";" and ",": not the working copy or another file beside
// the page, nor a file of another folder.
TEST_F(HostilePage, PagesRunScriptsFromTheirNamedFoldersOnly) {
    InstanceFolder hostile(QStringLiteral("a\"'; b, c %41"));
    const QString source = hostile.path(QStringLiteral("source.bin"));
    ASSERT_TRUE(writeHostileImage(source));
    QTemporaryDir other;
    const QString otherUrl =
        QUrl::fromLocalFile(other.filePath(QStringLiteral("other.js"))).toString();
    const QList<std::pair<QString, QByteArray>> scripts = {
        {hostile.path(QStringLiteral("../../Bin/probe.js")), "window.__binProbe = 1;"},
        {hostile.path(QStringLiteral("beside.js")), "window.__pwned = 1;"},
        {other.filePath(QStringLiteral("other.js")), "window.__pwned = 2;"}};
    for (const auto& [path, text] : scripts) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    hostile.setWorkingCopy(source, QStringLiteral("image.js"));
    const QString sources =
        QStringLiteral("['../../Bin/probe.js', 'beside.js', 'image.js', '%1']").arg(otherUrl);
    for (const QString& page :
         {QStringLiteral("KDVAX_MONO.dll"), QStringLiteral("KDVAX_TAGS.dll")}) {
        SCOPED_TRACE(page.toStdString());
        ASSERT_TRUE(view.load(hostile.fillPage(page, QStringLiteral("page.html"), QString())));
        // The page's own scripts and its file list ran: it reports the file it shows.
        ASSERT_TRUE(
            view.waitForAnyMessage({QStringLiteral("imageChanged"), QStringLiteral("dicomTags")}));
        view.run(QStringLiteral("window.__loads = {}; %1.forEach(function (src) {"
                                " var s = document.createElement('script'); s.src = src;"
                                " s.onload = function () { window.__loads[src] = 'ran'; };"
                                " s.onerror = function () { window.__loads[src] = 'refused'; };"
                                " document.head.appendChild(s); })")
                     .arg(sources));
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() &&
               view.run(QStringLiteral("Object.keys(window.__loads).length")).toInt() < 4)
            view.pump(20);
        EXPECT_EQ(view.run(QStringLiteral("%1.map(function (src) { return window.__loads[src]; })"
                                          ".join(' ')")
                               .arg(sources))
                      .toString(),
                  QStringLiteral("ran refused refused refused"));
        expectNothingRan();
    }
}

// Script built from text is refused by every page, the image page included:
// eval, new Function and string timers.
TEST_F(HostilePage, PagesRefuseScriptMadeFromText) {
    const QString source = folder.path(QStringLiteral("source.bin"));
    ASSERT_TRUE(writeHostileImage(source));
    const QString probe = QStringLiteral(
        "[function () { return eval('1'); }, function () { return new Function('return 1')(); },"
        " function () { return setTimeout('window.__pwned = 7', 0) && 1; }].map(function (f) {"
        "  try { return String(f()); } catch (e) { return e.name; } }).join(' ')");
    for (const QString& page : kTemplates) {
        SCOPED_TRACE(page.toStdString());
        ASSERT_TRUE(open(page, QString(), source, QStringLiteral("image.dcm"),
                         {QStringLiteral("imageChanged"), QStringLiteral("NoImage"),
                          QStringLiteral("dicomTags"), QStringLiteral("dicomdirLoaded")}));
        const QString outcome = view.run(probe).toString();
        EXPECT_EQ(outcome.section(' ', 0, 1), QStringLiteral("EvalError EvalError"));
        expectNothingRan();
    }
}

} // namespace
