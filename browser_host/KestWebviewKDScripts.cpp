#include "KestWebviewKD.h"

#include "HostErrors.h"
#include "HostValues.h"

#include "webview2_binding/cWebView2.h"

using namespace hostvalues;
using P = PersistedProperties;

namespace {

constexpr int MaxScriptArguments = 15;
// The document properties GetInnerText and GetInnerHTML read, by Documentobject.
struct DocumentExpression {
    const char* text;
    const char* html;
    bool breakLines;
};
constexpr DocumentExpression documentExpressions[] = {
    {"document.documentElement.innerText", "document.documentElement.innerHTML", true},
    {"document.body.innerText", "document.body.innerHTML", true},
    {"document.cookie", "document.cookie", false},
    {"document.domain", "document.domain", false},
    {"document.title", "document.title", false},
    {"document.URL", "document.URL", false},
    {"document.inputEncoding", "document.inputEncoding", false},
    {"document.head.innerText", "document.head.innerHTML", true},
};
constexpr int LinkTargets = 8;

} // namespace

// ---------------------------------------------------------------- scripts

Variant KestWebviewKD::runJs(const QString& functionName, const QList<Variant>& args, bool async) {
    // Every failure, the argument limit included, leaves the caller with an empty result.
    try {
        if (args.size() > MaxScriptArguments)
            throw AutomationError(hosterr::TooManyScriptArguments,
                                  QStringLiteral("Too many parameters (Max : 15)"),
                                  hosterr::ControlSource);
        if (!m_wv)
            return {};
        if (async)
            return Variant(m_wv->jsRunAsync(functionName, args));
        return m_wv->jsRun(functionName, args);
    } catch (...) {
        return async ? Variant(Currency{}) : Variant();
    }
}

Variant KestWebviewKD::RunJs(const QString& functionName, const QList<Variant>& args) {
    return runJs(functionName, args, false);
}

Currency KestWebviewKD::RunJsAsync(const QString& functionName, const QList<Variant>& args) {
    return runJs(functionName, args, true).toCurrency();
}

QString KestWebviewKD::jsProp(const QString& propName) {
    try {
        if (!m_wv)
            return {};
        const Variant value = m_wv->jsProp(propName);
        return value.isNull() || value.isEmpty() ? QString() : value.toString();
    } catch (...) {
        return {};
    }
}

QString KestWebviewKD::linkTargets() {
    const int count = jsProp(QStringLiteral("document.links.length")).toInt();
    QString result;
    for (int i = 0; i < count; ++i) {
        try {
            result +=
                m_wv->jsRun(QStringLiteral("getLinkValue"), {text(QString::number(i))}).toString() +
                Crlf;
        } catch (...) {
            return result;
        }
    }
    return result;
}

QString KestWebviewKD::documentText(int documentObject, bool html) {
    if (documentObject == LinkTargets)
        return m_wv ? linkTargets() : QString();
    if (documentObject < 0 || documentObject >= LinkTargets)
        return {};
    const DocumentExpression& expression = documentExpressions[documentObject];
    QString value = jsProp(QLatin1String(html ? expression.html : expression.text));
    if (!expression.breakLines)
        return value;
    return html ? value.replace(QLatin1String(">"), QStringLiteral(">\r\n"))
                : value.replace(QLatin1String("\n"), Crlf);
}

QString KestWebviewKD::GetInnerText(int documentObject) {
    return documentText(documentObject, false);
}

QString KestWebviewKD::GetInnerHTML(int documentObject) {
    return documentText(documentObject, true);
}
