#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <utility>

namespace testing_support {

// Points environment variables at folders of a temporary directory for the
// life of the object and restores their old values afterwards.
class TempEnvironment {
public:
    TempEnvironment();
    ~TempEnvironment();
    TempEnvironment(const TempEnvironment&) = delete;
    TempEnvironment& operator=(const TempEnvironment&) = delete;

    // Sets the variable to a new subfolder (created) and returns its path.
    QString setFolder(const char* variable, const QString& subfolder);
    void set(const char* variable, const QByteArray& value);
    void unset(const char* variable);
    QString root() const { return m_dir.path(); }

private:
    void remember(const char* variable);

    QTemporaryDir m_dir;
    QList<std::pair<QByteArray, std::pair<bool, QByteArray>>> m_saved;
};

} // namespace testing_support
