#include "modKWVUrl.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace kwvurl {

namespace {

// The hosts of the six engines are ours; the paths and queries are fixed.
const std::array<const char*, 6> engineTemplates{
    "",
    "https://duckduckgo.com/?q=%1&t=web",
    "https://www.google.com/search?q=%1",
    "https://www.bing.com/search?q=%1",
    "https://duckduckgo.com/?q=%1&ia=web",
    "https://www.startpage.com/sp/search?query=%1",
};

const std::array<const char*, 6> defaultDocuments{"index.html", "index.htm", "index.shtml",
                                                  "home.html",  "home.htm",  "main.html"};

QString percent(unsigned char byte) {
    return QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

bool keptByUtf8Encoding(unsigned char c) {
    return (c >= 0x24 && c <= 0x3E) || (c >= 0x40 && c <= 0x7E) || c == '?' || c == '#' || c == '*';
}

bool keptByUrlEncoding(unsigned char c) {
    return c == '.' || c == '/' || c == ':' || c == '\\' || (c >= '0' && c <= '9') ||
           (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// UTF-8 of each UTF-16 unit on its own, so a lone surrogate half still gives three bytes.
QByteArray unitwiseUtf8(const QString& text) {
    QByteArray bytes;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return bytes;
}

QString defaultDocumentOf(const QString& folder) {
    for (const char* name : defaultDocuments) {
        if (QFileInfo(QDir(folder).filePath(QLatin1String(name))).isFile())
            return QLatin1String(name);
    }
    return {};
}

} // namespace

QString searchTemplate(int engine, const QString& customTemplate) {
    if (engine == 0)
        return customTemplate;
    if (engine < 0 || engine >= static_cast<int>(engineTemplates.size()))
        engine = 4;
    return QLatin1String(engineTemplates[static_cast<std::size_t>(engine)]);
}

QString urlEncodeUtf8(const QString& text) {
    if (text.contains(QLatin1String("/search?")) || text.contains(QLatin1String("?q=")) ||
        text.contains(QLatin1String("?p=")))
        return text;
    QString result;
    for (const char byte : unitwiseUtf8(text)) {
        const auto c = static_cast<unsigned char>(byte);
        result += keptByUtf8Encoding(c) ? QString(QLatin1Char(byte)) : percent(c);
    }
    return result;
}

QString urlEncode(const QString& text, bool plusForSpace) {
    QString result;
    for (const char byte : text.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == ' ')
            result += plusForSpace ? QStringLiteral("+") : QStringLiteral("%20");
        else
            result += keptByUrlEncoding(c) ? QString(QLatin1Char(byte)) : percent(c);
    }
    return result;
}

QString decodeUri(const QString& encoded) {
    if (encoded.isEmpty())
        return {};
    const QByteArray bytes = QString(encoded).replace(QLatin1Char('+'), QLatin1Char(' ')).toUtf8();
    QByteArray decoded;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        // An escape cut short by the end of the text is kept as it is.
        if (bytes[i] != '%' || i + 2 >= bytes.size()) {
            decoded += bytes[i];
            continue;
        }
        const int high = hexValue(bytes[i + 1]);
        const int low = hexValue(bytes[i + 2]);
        // Characters that are not hexadecimal count as 0.
        decoded += static_cast<char>(std::max(high, 0) * 16 + std::max(low, 0));
        i += 2;
    }
    return QString::fromUtf8(decoded);
}

QString completeAddress(const QString& address, const QString& activeTemplate,
                        const QString& virtualHost, const QString& virtualFolder) {
    QString result = address;
    const QString lower = result.toLower();
    if (!virtualHost.isEmpty() && lower == virtualHost.toLower()) {
        const QString document = defaultDocumentOf(virtualFolder);
        if (!document.isEmpty())
            result += QLatin1Char('/') + document;
    }
    if (!lower.contains(QLatin1String("://")) && lower != QLatin1String("about:blank")) {
        if (result.contains(QLatin1Char('.')))
            result = QStringLiteral("https://") + result;
        else
            result = QString(activeTemplate).replace(QLatin1String("%1"), result);
    }
    return decodeUri(result);
}

QString autoSearchAddress(const QString& text, const QString& activeTemplate) {
    QString words = QString(text).replace(QLatin1Char(' '), QLatin1Char('+'));
    for (const char* run : {"++++", "+++", "++"})
        words.replace(QLatin1String(run), QLatin1String("+"));
    return QString(activeTemplate).replace(QLatin1String("%1"), words);
}

QString displayAddress(const QString& address) {
    QString text = address;
    text.remove(QLatin1String("http://")).remove(QLatin1String("https://"));
    return decodeUri(text);
}

} // namespace kwvurl
