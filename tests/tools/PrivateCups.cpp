#include "PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QThread>

namespace {

const QString Driver = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

} // namespace

PrivateCups::PrivateCups() {
    const QString scheduler = QStringLiteral("/usr/sbin/cupsd");
    if (!QFileInfo(scheduler).isExecutable()) {
        m_error = QStringLiteral("the CUPS scheduler (Debian cups) is not installed");
        return;
    }
    if (!QFileInfo::exists(Driver)) {
        m_error = QStringLiteral("the CUPS-PDF driver (Debian printer-driver-cups-pdf) is missing");
        return;
    }
    if (!m_dir.isValid() || !writeConfiguration()) {
        m_error = QStringLiteral("the scheduler's folders could not be made");
        return;
    }
    m_scheduler.setProcessChannelMode(QProcess::MergedChannels);
    m_scheduler.start(scheduler, {QStringLiteral("-f"), QStringLiteral("-c"), path("cupsd.conf"),
                                  QStringLiteral("-s"), path("cups-files.conf")});
    m_scheduler.waitForStarted();
    QString state;
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_scheduler.state() == QProcess::Running) {
        if (lp(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &state) &&
            state.contains(QLatin1String("is running")))
            return;
        QThread::msleep(100);
    }
    QFile log(path(QStringLiteral("log/error_log")));
    log.open(QIODevice::ReadOnly);
    m_error = QStringLiteral("the private scheduler did not start: ") +
              QString::fromLocal8Bit(m_scheduler.readAll() + log.readAll().right(600));
}

PrivateCups::~PrivateCups() {
    if (m_scheduler.state() == QProcess::NotRunning)
        return;
    m_scheduler.terminate();
    if (!m_scheduler.waitForFinished(5000))
        m_scheduler.kill();
    m_scheduler.waitForFinished();
}

QString PrivateCups::server() const {
    return path(QStringLiteral("cups.sock"));
}

// The filters run as the scheduler's unprivileged user: the folders they
// read and write are open to it.
bool PrivateCups::writeConfiguration() {
    QDir root(m_dir.path());
    for (const char* folder : {"root", "spool", "cache", "state", "log", "tmp", "out"})
        if (!root.mkpath(QString::fromLatin1(folder)))
            return false;
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                      QFileDevice::ExeOther;
    const auto shared = open | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QFile::setPermissions(m_dir.path(), open);
    QFile::setPermissions(path(QStringLiteral("tmp")), shared);
    QFile::setPermissions(path(QStringLiteral("out")), shared);
    const QString scheduler = QStringLiteral("Listen %1\nLogLevel warn\nWebInterface No\n"
                                             "Browsing No\n<Policy default>\n  <Limit All>\n"
                                             "    Order deny,allow\n  </Limit>\n</Policy>\n")
                                  .arg(server());
    QString files;
    const QMap<QString, QString> folders{
        {"ServerRoot", "root"},          {"RequestRoot", "spool"},   {"CacheDir", "cache"},
        {"StateDir", "state"},           {"TempDir", "tmp"},         {"ErrorLog", "log/error_log"},
        {"AccessLog", "log/access_log"}, {"PageLog", "log/page_log"}};
    for (auto it = folders.cbegin(); it != folders.cend(); ++it)
        files += it.key() + QLatin1Char(' ') + path(it.value()) + QLatin1Char('\n');
    files += QStringLiteral("FileDevice Yes\n");
    return writeFile(path(QStringLiteral("cupsd.conf")), scheduler) &&
           writeFile(path(QStringLiteral("cups-files.conf")), files);
}

bool PrivateCups::lp(const QString& program, const QStringList& arguments, QString* output) const {
    QProcess process;
    process.start(program, QStringList{QStringLiteral("-h"), server()} + arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return true;
}

bool PrivateCups::addQueue(const QString& name, bool isDefault) {
    if (!lp(QStringLiteral("lpadmin"),
            {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("file://") + output(name), QStringLiteral("-P"), Driver}))
        return false;
    return !isDefault || lp(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name});
}

QString PrivateCups::output(const QString& queue) const {
    return path(QStringLiteral("out/") + queue + QStringLiteral(".ps"));
}

QStringList PrivateCups::completedJobQueues() const {
    QString listing;
    if (!lp(QStringLiteral("lpstat"),
            {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o")}, &listing))
        return {};
    // "QUEUE-ID user size date", newest first.
    QMap<int, QString> byId;
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString job = line.section(QLatin1Char(' '), 0, 0);
        byId.insert(job.section(QLatin1Char('-'), -1).toInt(),
                    job.section(QLatin1Char('-'), 0, -2));
    }
    return byId.values();
}
