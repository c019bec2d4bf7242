#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QTcpServer>

// A web server on 127.0.0.1 for the browser host's tests. Pages are served
// under any host name (the browser resolves every "*.localhost" name to the
// loopback address), each request is counted by host name and path, and a
// page may set cookies. Nothing is cached.
class SiteServer : public QTcpServer {
public:
    struct Page {
        QByteArray contentType;
        QByteArray body;
        QList<QByteArray> cookies; // Set-Cookie values
    };

    SiteServer();

    // The address of a path under a host name.
    QString url(const QString& host, const QString& path) const;
    void serve(const QString& path, Page page);
    // How often host/path was asked for.
    int hits(const QString& host, const QString& path) const;
    void clearHits() { m_hits.clear(); }
    // The User-Agent of the last request for a path, its query included: a
    // request of another path arriving late (the browser's own, such as an
    // icon) never stands in for the page's.
    QString userAgent(const QString& path) const { return m_userAgents.value(path); }

private:
    void answer(QTcpSocket* socket);

    QHash<QString, Page> m_pages;
    QMap<QString, int> m_hits;
    QHash<QString, QString> m_userAgents;
};
