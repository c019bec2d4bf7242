#include "TestTempRoot.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace testing_support {

namespace {

const char* const inheritedRootVariable = "KEST_TEST_TEMP_ROOT";

class TempRoot {
public:
    TempRoot() {
        const QString inherited = qEnvironmentVariable(inheritedRootVariable);
        if (!inherited.isEmpty() && QDir(inherited).exists()) {
            m_path = inherited;
            return;
        }
        m_owned = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/kest-test-run-XXXXXX"));
        if (!m_owned->isValid())
            return;
        m_path = m_owned->path();
        qputenv(inheritedRootVariable, QFile::encodeName(m_path));
        qputenv("TMPDIR", QFile::encodeName(m_path));
    }

    const QString& path() const { return m_path; }

private:
    // Removed at static destruction, after the test environment has torn down Qt and
    // with it the browser engine.
    std::unique_ptr<QTemporaryDir> m_owned;
    QString m_path;
};

TempRoot& root() {
    static TempRoot instance;
    return instance;
}

// Made before the first test, so that a fixture's folders made before its set-up land in it.
const bool madeAtStart = (root(), true);

} // namespace

QString tempRoot() {
    return root().path();
}

} // namespace testing_support
