#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A CUPS scheduler of the test's own: it listens on a Unix socket in a
// temporary folder (the CUPS_SERVER a program is given), keeps its state
// there, and its queues, driven by the CUPS-PDF driver's description, write
// each job's PostScript into a file there. Stopped on destruction.
class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    bool isRunning() const { return m_error.isEmpty(); }
    // Why the scheduler could not run here.
    const QString& error() const { return m_error; }
    QString server() const;

    bool addQueue(const QString& name, bool isDefault);
    // The file the queue writes its last job to.
    QString output(const QString& queue) const;
    // The queue of each completed job, oldest first.
    QStringList completedJobQueues() const;

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    bool writeConfiguration();
    bool lp(const QString& program, const QStringList& arguments, QString* output = nullptr) const;

    QTemporaryDir m_dir;
    QProcess m_scheduler;
    QString m_error;
};
