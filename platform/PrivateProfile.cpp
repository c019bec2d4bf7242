#include "PrivateProfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace profile {

namespace {

struct Line {
    QString text;

    QString trimmed() const { return text.trimmed(); }
    bool isSection() const { return trimmed().startsWith(QLatin1Char('[')); }
    QString sectionName() const {
        const QString t = trimmed().mid(1);
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        return (close < 0 ? t : t.left(close)).trimmed();
    }
    bool isKey() const {
        const QString t = trimmed();
        return !t.isEmpty() && !t.startsWith(QLatin1Char(';')) && !isSection() &&
               t.contains(QLatin1Char('='));
    }
    QString keyName() const { return text.section(QLatin1Char('='), 0, 0).trimmed(); }
    QString value() const {
        QString v = text.mid(text.indexOf(QLatin1Char('=')) + 1).trimmed();
        if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
            v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        return v;
    }
};

// The lines of one INI file, read whole; edits work on this list and are
// written back in one piece.
struct Document {
    QList<Line> lines;
    QString lineEnd = QStringLiteral("\n");

    static Document load(const QString& path) {
        Document doc;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return doc;
        QByteArray bytes = file.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        if (bytes.contains("\r\n"))
            doc.lineEnd = QStringLiteral("\r\n");
        const QString text = QString::fromUtf8(bytes);
        for (QString line : text.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            doc.lines.append({line});
        }
        // A final line end leaves one empty piece, which is not a line.
        if (!doc.lines.isEmpty() && doc.lines.back().text.isEmpty())
            doc.lines.removeLast();
        return doc;
    }

    bool save(const QString& path) const {
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return false;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QString text;
        for (const Line& line : lines)
            text += line.text + lineEnd;
        file.write(text.toUtf8());
        return file.commit();
    }

    // [first line of the section's body, end of the body) of the first section of that name.
    std::optional<std::pair<qsizetype, qsizetype>> findSection(const QString& name) const {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (!lines[i].isSection() || lines[i].sectionName().compare(name, Qt::CaseInsensitive))
                continue;
            qsizetype end = i + 1;
            while (end < lines.size() && !lines[end].isSection())
                ++end;
            return std::make_pair(i + 1, end);
        }
        return std::nullopt;
    }

    qsizetype findKey(std::pair<qsizetype, qsizetype> body, const QString& key) const {
        for (qsizetype i = body.first; i < body.second; ++i) {
            if (lines[i].isKey() && lines[i].keyName().compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    // Where a new key goes: after the last non-blank line of the section.
    qsizetype insertionPoint(std::pair<qsizetype, qsizetype> body) const {
        qsizetype at = body.second;
        while (at > body.first && lines[at - 1].trimmed().isEmpty())
            --at;
        return at;
    }
};

} // namespace

QString readString(const QString& section, const QString& key, const QString& defaultValue,
                   const QString& path, int bufferSize) {
    const Document doc = Document::load(path);
    QString result = defaultValue;
    if (const auto body = doc.findSection(section)) {
        const qsizetype index = doc.findKey(*body, key);
        if (index >= 0)
            result = doc.lines[index].value();
    }
    return result.left(std::max(bufferSize - 1, 0));
}

bool writeString(const QString& section, const std::optional<QString>& key,
                 const std::optional<QString>& value, const QString& path) {
    Document doc = Document::load(path);
    const auto body = doc.findSection(section);
    if (!key) {
        if (body)
            doc.lines.remove(body->first - 1, body->second - body->first + 1);
        return doc.save(path);
    }
    const QString line = *key + QLatin1Char('=') + value.value_or(QString());
    if (!body) {
        if (!value)
            return doc.save(path);
        doc.lines.append({QLatin1Char('[') + section + QLatin1Char(']')});
        doc.lines.append({line});
        return doc.save(path);
    }
    const qsizetype index = doc.findKey(*body, *key);
    if (!value) {
        if (index >= 0)
            doc.lines.removeAt(index);
    } else if (index >= 0) {
        doc.lines[index].text = line;
    } else {
        doc.lines.insert(doc.insertionPoint(*body), {line});
    }
    return doc.save(path);
}

QStringList sectionNames(const QString& path) {
    QStringList names;
    for (const Line& line : Document::load(path).lines) {
        if (line.isSection())
            names.append(line.sectionName());
    }
    return names;
}

QStringList keyNames(const QString& section, const QString& path) {
    const Document doc = Document::load(path);
    QStringList names;
    if (const auto body = doc.findSection(section)) {
        for (qsizetype i = body->first; i < body->second; ++i) {
            if (doc.lines[i].isKey())
                names.append(doc.lines[i].keyName());
        }
    }
    return names;
}

} // namespace profile
