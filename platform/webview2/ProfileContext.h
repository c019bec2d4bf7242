#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QStringList>

#include <memory>

class BridgeSchemeHandler;
class QWebEngineProfile;

// The Qt WebEngine profile of one user data folder (storage and cache under
// it), the bridge's scheme handler on it, the browser switches that Qt
// expresses as settings, and the cookies its store has reported.
class ProfileContext {
public:
    ProfileContext(const QString& userDataFolder, const QStringList& browserArguments,
                   const QString& language);
    ~ProfileContext();

    // The switches handed to Chromium: all but those that become settings only.
    static QStringList chromiumArguments(const QStringList& browserArguments);

    QWebEngineProfile* profile() const { return m_profile.get(); }
    const QString& userDataFolder() const { return m_userDataFolder; }

    // The cookies reported by the store so far.
    const QList<QNetworkCookie>& cookies() const { return m_cookies; }
    void forgetCookie(const QNetworkCookie& cookie);
    void forgetAllCookies() { m_cookies.clear(); }

private:
    void applyArguments(const QStringList& browserArguments);

    QString m_userDataFolder;
    std::unique_ptr<BridgeSchemeHandler> m_schemeHandler;
    // Destroyed before the scheme handler it uses.
    std::unique_ptr<QWebEngineProfile> m_profile;
    QList<QNetworkCookie> m_cookies;
};
