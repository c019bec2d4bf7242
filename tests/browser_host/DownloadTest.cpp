// Downloads by address against a loopback HTTP server, and downloads the
// browser starts from a link in a real page.

#include "HostFixture.h"

#include "platform/FileDialogHook.h"
#include "tests/common/LoopbackHttpServer.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

namespace {

constexpr std::int64_t LargeBytes = 200ll * 1024 * 1024;

struct Progress {
    int percent = 0;
    std::int64_t read = 0;
    std::int64_t max = 0;
};

} // namespace

class Downloads : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        // The server's thread needs the application made by the fixture.
        serverInstance = std::make_unique<LoopbackHttpServer>();
        folder = temp + "/downloads";
        QDir().mkpath(folder);
        record = [this](const QString& name, QList<Variant>& args) {
            if (name == "DownLoadInProgress")
                progress.push_back(
                    {args[2].toInteger(), args[3].toLongLong(), args[4].toLongLong()});
            else if (name == "DownloadCompleted")
                completed << args[0].toString();
            else if (name == "DownloadError")
                errors.push_back({args[0].toLong(), args[1].toString()});
            if (also)
                also(name, args);
        };
        onEvent = record;
    }

    QString destination(const QString& name) const { return folder + "/" + name; }
    QString download(const QString& path, const QString& name, bool synchronous = false) {
        return host
            ->call("DownloadFileEx", {Variant(serverInstance->url(path)),
                                      Variant(destination(name)), Variant(synchronous)})
            .toString();
    }
    bool waitForEnds(int count, std::chrono::milliseconds wait = 60s) {
        return pump::waitUntil([&] { return completed.size() + qsizetype(errors.size()) >= count; },
                               wait);
    }
    // Files and folders in the download folder (no temporary file may stay).
    QStringList folderEntries() const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<LoopbackHttpServer> serverInstance;
    QString folder;
    std::vector<Progress> progress;
    QStringList completed;
    std::vector<std::pair<std::int32_t, QString>> errors;
    std::function<void(const QString&, QList<Variant>&)> record;
    std::function<void(const QString&, QList<Variant>&)> also;
};

TEST_F(Downloads, LargeFileArrivesWholeWithProgressInOrder) {
    QStringList order;
    also = [&order](const QString& name, QList<Variant>&) {
        if (name.startsWith("Down"))
            order << name;
    };
    host->call("DownloadFile", {Variant(serverInstance->url(QString("/bytes/%1").arg(LargeBytes))),
                                Variant(destination("large.bin"))});
    ASSERT_TRUE(waitForEnds(1));
    ASSERT_TRUE(errors.empty()) << errors[0].second.toStdString();
    EXPECT_EQ(completed, QStringList{destination("large.bin")});
    ASSERT_GT(progress.size(), 2u);
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i].read, progress[i - 1].read);
        EXPECT_GE(progress[i].percent, progress[i - 1].percent);
    }
    EXPECT_EQ(progress.back().read, LargeBytes);
    EXPECT_EQ(progress.back().max, LargeBytes);
    EXPECT_EQ(progress.back().percent, 100);
    // Each progress report is followed by its check, and completion comes last.
    ASSERT_EQ(order.size(), qsizetype(2 * progress.size() + 1));
    for (qsizetype i = 0; i + 1 < order.size(); i += 2) {
        EXPECT_EQ(order[i], "DownLoadInProgress");
        EXPECT_EQ(order[i + 1], "DownloadChecking");
    }
    EXPECT_EQ(order.last(), "DownloadCompleted");
    EXPECT_TRUE(LoopbackHttpServer::holdsPattern(destination("large.bin"), LargeBytes));
    EXPECT_EQ(folderEntries(), QStringList{"large.bin"});
}

TEST_F(Downloads, UnknownLengthGivesZeroPercent) {
    download("/unsized/20000000", "unsized.bin");
    ASSERT_TRUE(waitForEnds(1));
    ASSERT_EQ(completed.size(), 1);
    ASSERT_GT(progress.size(), 1u);
    // The total is known only once the connection has closed.
    for (size_t i = 0; i + 1 < progress.size(); ++i) {
        EXPECT_EQ(progress[i].percent, 0);
        EXPECT_EQ(progress[i].max, 0);
    }
    EXPECT_TRUE(LoopbackHttpServer::holdsPattern(destination("unsized.bin"), 20000000));
}

TEST_F(Downloads, SynchronousDownloadEndsBeforeItReturns) {
    const QString key = download("/bytes/500000", "sync.bin", true);
    EXPECT_TRUE(key.startsWith(QString::fromUtf8("sync.bin\xc2\xa7")));
    EXPECT_EQ(key.size(), QString("sync.bin").size() + 15);
    EXPECT_EQ(completed, QStringList{destination("sync.bin")});
    EXPECT_TRUE(LoopbackHttpServer::holdsPattern(destination("sync.bin"), 500000));
}

TEST_F(Downloads, ContainerCancelsFromTheCheck) {
    writeFile(destination("kept.bin"), "what was there");
    bool asked = false;
    also = [&asked](const QString& name, QList<Variant>& args) {
        if (name == "DownloadChecking") {
            asked = true;
            args[5] = Variant(true);
        }
    };
    download("/slow/400000", "kept.bin");
    ASSERT_TRUE(pump::waitUntil([&] { return asked; }, 10s));
    pump::waitUntil([] { return false; }, 500ms);
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(progress.size(), 1u);
    EXPECT_EQ(readFile(destination("kept.bin")), "what was there");
    EXPECT_EQ(folderEntries(), QStringList{"kept.bin"});
}

// Cancelled at full speed, well after the first written bytes went to the disk.
TEST_F(Downloads, CancelMidwayThroughAFastDownloadKeepsTheOlderFile) {
    writeFile(destination("fast.bin"), "older copy");
    constexpr std::int64_t CancelAfter = 48ll * 1024 * 1024;
    size_t reportsAtCancel = 0;
    also = [&](const QString& name, QList<Variant>& args) {
        if (name == "DownloadChecking" && !reportsAtCancel && args[3].toLongLong() >= CancelAfter) {
            args[5] = Variant(true);
            reportsAtCancel = progress.size();
        }
    };
    download(QString("/bytes/%1").arg(LargeBytes), "fast.bin");
    ASSERT_TRUE(pump::waitUntil([&] { return reportsAtCancel > 0; }, 60s));
    pump::waitUntil([] { return false; }, 500ms);
    EXPECT_EQ(progress.size(), reportsAtCancel);
    EXPECT_LT(progress.back().read, LargeBytes);
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(readFile(destination("fast.bin")), "older copy");
    EXPECT_EQ(folderEntries(), QStringList{"fast.bin"});
}

TEST_F(Downloads, CancelByKeyStopsOneAndAnEmptyKeyStopsTheRest) {
    const QString first = download("/slow/400000", "a.bin");
    download("/slow/400000", "b.bin");
    download("/slow/400000", "c.bin");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_TRUE(pump::waitUntil([&] { return progress.size() >= 3; }, 10s));
    host->call("DownloadCancel", {Variant(first)});
    const size_t seen = progress.size();
    pump::waitUntil([] { return false; }, 300ms);
    // The other two still report.
    EXPECT_GT(progress.size(), seen);
    host->call("DownloadCancel", {Variant(QString())});
    const size_t afterAll = progress.size();
    pump::waitUntil([] { return false; }, 500ms);
    EXPECT_EQ(progress.size(), afterAll);
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(",").toStdString();
}

TEST_F(Downloads, HttpErrorsAndResetsEndInDownloadErrorWithoutAFile) {
    writeFile(destination("page.html"), "older copy");
    download("/status/404", "page.html");
    ASSERT_TRUE(waitForEnds(1));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, 404);
    EXPECT_EQ(errors[0].second, "HTTP 404 Not Found");
    EXPECT_EQ(readFile(destination("page.html")), "older copy");

    download("/reset/200000", "reset.bin");
    ASSERT_TRUE(waitForEnds(2));
    ASSERT_EQ(errors.size(), 2u) << completed.join(",").toStdString();
    EXPECT_NE(errors[1].first, 0);
    EXPECT_FALSE(errors[1].second.isEmpty());

    download("/status/500", "error.bin");
    ASSERT_TRUE(waitForEnds(3));
    EXPECT_EQ(errors[2].first, 500);
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_EQ(folderEntries(), QStringList{"page.html"});
}

TEST_F(Downloads, AnUnusableAddressOrDestinationFailsToStart) {
    EXPECT_EQ(host->call("DownloadFileEx",
                         {Variant("no address"), Variant(destination("x.bin")), Variant(false)})
                  .toString(),
              "");
    ASSERT_EQ(errors.size(), 1u);
    // A destination under a file cannot be written.
    writeFile(destination("file"), "x");
    EXPECT_EQ(download("/bytes/10", "file/under.bin"), "");
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_TRUE(completed.isEmpty());
}

TEST_F(Downloads, ASecondDownloadToTheSameDestinationInTheSameSecondIsRefused) {
    // Both calls must fall within one second; retry when a second boundary came between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString name = QString("same%1.bin").arg(attempt);
        const QString path = QString("/slow/%1").arg(400000 + attempt);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        download(path, name);
        int refused = 0;
        try {
            download(path, name);
        } catch (const AutomationError& error) {
            refused = error.number();
        }
        const bool sameSecond = QDateTime::currentSecsSinceEpoch() == before;
        pump::waitUntil([&] { return serverInstance->hits(path) > 0; }, 5s);
        pump::waitUntil([] { return false; }, 200ms);
        host->call("DownloadCancel", {Variant(QString())});
        if (!sameSecond)
            continue;
        EXPECT_EQ(refused, 457);
        EXPECT_EQ(serverInstance->hits(path), 1);
        return;
    }
    FAIL() << "no two calls within one second";
}

TEST_F(Downloads, FolderMembers) {
    host->call("MakeAllDirectorys", {Variant(folder + "/x/y/z")});
    EXPECT_TRUE(QFileInfo(folder + "/x/y/z").isDir());
    const QString downloads = host->call("GetUserDefaultDownloadsPath", {}).toString();
    EXPECT_TRUE(downloads.endsWith("/"));
    EXPECT_EQ(downloads, QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + "/");
}

// ---------------------------------------------------------------- downloads the browser starts

class BrowserDownloads : public Downloads {
protected:
    void SetUp() override {
        Downloads::SetUp();
        serverInstance->serve("/report.pdf", QByteArray(5000, 'p'), "application/pdf",
                              {"Content-Disposition: attachment; filename=\"report.pdf\""});
        serverInstance->serve(
            "/page.html", "<html><body><a id=\"l\" href=\"/report.pdf\">report</a></body></html>",
            "text/html");
        ASSERT_TRUE(start());
    }
    void clickTheLink() {
        host->call("Navigate", {Variant(serverInstance->url("/page.html"))});
        ASSERT_TRUE(pump::waitUntil(
            [this] {
                return host->call("jsProp", {text("document.links.length")}).toString() == "1";
            },
            10s));
        host->call("ExecuteScript", {text("document.getElementById('l').click()")});
    }
    static bool arrived(const QString& path) {
        return pump::waitUntil([&] { return QFileInfo(path).size() == 5000; }, 15s);
    }
};

TEST_F(BrowserDownloads, TheContainersPathIsUsed) {
    std::optional<QList<Variant>> starting;
    const QString chosen = folder + "/chosen/mine.pdf";
    QDir().mkpath(folder + "/chosen");
    also = [&](const QString& name, QList<Variant>& args) {
        if (name != "DownloadStarting")
            return;
        starting = args;
        args[6] = Variant(chosen);
    };
    clickTheLink();
    ASSERT_TRUE(arrived(chosen));
    ASSERT_TRUE(starting);
    EXPECT_EQ((*starting)[0].toString(), serverInstance->url("/report.pdf"));
    EXPECT_EQ((*starting)[1].toString(), "application/pdf");
    EXPECT_EQ((*starting)[3].toString(), "report.pdf");
    EXPECT_TRUE((*starting)[2].toString().endsWith("/report.pdf"));
}

TEST_F(BrowserDownloads, AskingForThePathUsesTheSaveDialog) {
    host->put("AlwaysAskForDownloadPath", Variant(true));
    std::optional<filedialogs::Request> asked;
    const QString chosen = folder + "/asked.pdf";
    filedialogs::setHook([&](const filedialogs::Request& request) {
        asked = request;
        return std::optional<filedialogs::Answer>(filedialogs::Answer{{chosen}, 0});
    });
    bool eventRaised = false;
    also = [&](const QString& name, QList<Variant>&) {
        eventRaised |= name == "DownloadStarting";
    };
    clickTheLink();
    const bool saved = arrived(chosen);
    filedialogs::setHook(nullptr);
    ASSERT_TRUE(saved);
    ASSERT_TRUE(asked);
    EXPECT_FALSE(eventRaised);
    EXPECT_EQ(asked->kind, filedialogs::Kind::Save);
    EXPECT_EQ(asked->title, "Downloads...");
    EXPECT_EQ(asked->fileName, "report.pdf");
    ASSERT_EQ(asked->nameFilters.size(), 2);
    EXPECT_TRUE(asked->nameFilters[0].contains("*.pdf")) << asked->nameFilters[0].toStdString();
}

TEST_F(BrowserDownloads, CancellingTheSaveDialogCancelsTheDownload) {
    host->put("AlwaysAskForDownloadPath", Variant(true));
    const QString target = folder + "/target";
    host->put("DefaultDownloadFolderPath", Variant(target));
    bool asked = false;
    filedialogs::setHook([&](const filedialogs::Request&) {
        asked = true;
        return std::optional<filedialogs::Answer>();
    });
    clickTheLink();
    const bool dialogShown = pump::waitUntil([&] { return asked; }, 10s);
    pump::waitUntil([] { return false; }, 1s);
    filedialogs::setHook(nullptr);
    EXPECT_TRUE(dialogShown);
    EXPECT_TRUE(QDir(target).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(BrowserDownloads, TheDefaultFolderTakesEffect) {
    const QString target = folder + "/default/here";
    host->put("DefaultDownloadFolderPath", Variant(target));
    EXPECT_EQ(host->get("DefaultDownloadFolderPath").toString(), target);
    EXPECT_TRUE(QFileInfo(target).isDir());
    clickTheLink();
    EXPECT_TRUE(arrived(target + "/report.pdf"));
}
