#include "zip/EntryPath.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace EntryPath {

QString safeRelativePath(const QString& name, QString& reason) {
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/'))) {
        reason = QStringLiteral("absolute path");
        return {};
    }
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) {
        reason = QStringLiteral("drive letter");
        return {};
    }
    QStringList kept;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            reason = QStringLiteral("parent folder reference");
        else if (part != QLatin1String("."))
            kept.append(part);
    }
    if (!reason.isEmpty())
        return {};
    if (kept.isEmpty()) {
        reason = QStringLiteral("empty path");
        return {};
    }
    QString result = kept.join(QLatin1Char('/'));
    if (path.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString withPortableCharacters(const QString& path) {
    static const QString invalid = QStringLiteral("\"<>|:*?");
    QString out = path;
    for (QChar& ch : out)
        if (ch.unicode() < 0x20 || invalid.contains(ch))
            ch = QLatin1Char('_');
    return out;
}

bool matchesWildcard(const QString& text, const QString& pattern) {
    QString expression;
    for (QChar ch : pattern) {
        if (ch == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (ch == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(ch));
    }
    const QRegularExpression re(QRegularExpression::anchoredPattern(expression),
                                QRegularExpression::CaseInsensitiveOption |
                                    QRegularExpression::DotMatchesEverythingOption);
    return re.match(text).hasMatch();
}

bool matchesFileSpec(const QString& fileName, const QString& spec) {
    for (const QString& pattern : spec.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed == QLatin1String("*.*") || matchesWildcard(fileName, trimmed))
            return true;
    }
    return false;
}

bool resolvesInside(const QString& root, const QString& path) {
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        return false;
    // Resolve the deepest part of the path that exists; the rest is created below it.
    QString existing = QDir::cleanPath(path);
    while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink()) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return false;
        existing.truncate(slash);
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty())
        return false; // a dangling link
    return canonical == canonicalRoot || canonical.startsWith(canonicalRoot + QLatin1Char('/'));
}

} // namespace EntryPath
