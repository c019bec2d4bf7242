#include "SiteServer.h"

#include <QTcpSocket>

SiteServer::SiteServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        }
    });
    listen(QHostAddress::LocalHost);
}

QString SiteServer::url(const QString& host, const QString& path) const {
    return QStringLiteral("http://%1:%2%3").arg(host).arg(serverPort()).arg(path);
}

void SiteServer::serve(const QString& path, Page page) {
    m_pages.insert(path, std::move(page));
}

int SiteServer::hits(const QString& host, const QString& path) const {
    return m_hits.value(host + path);
}

// Requests are GETs without a body: the head is answered once it is complete.
void SiteServer::answer(QTcpSocket* socket) {
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n"))
        return;
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
    QString host;
    QString userAgent;
    for (const QByteArray& line : lines) {
        const QByteArray name = line.left(line.indexOf(':')).toLower();
        const QString value = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
        if (name == "host")
            host = value.section(QLatin1Char(':'), 0, 0);
        else if (name == "user-agent")
            userAgent = value;
    }
    ++m_hits[host + path];
    m_userAgents.insert(path, userAgent);
    const auto page = m_pages.constFind(path.section(QLatin1Char('?'), 0, 0));
    QByteArray response;
    if (page == m_pages.constEnd()) {
        response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n";
    } else {
        response = "HTTP/1.1 200 OK\r\nContent-Type: " + page->contentType +
                   "\r\nContent-Length: " + QByteArray::number(page->body.size()) + "\r\n";
        for (const QByteArray& cookie : page->cookies)
            response += "Set-Cookie: " + cookie + "\r\n";
    }
    response += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (page != m_pages.constEnd())
        response += page->body;
    socket->write(response);
    socket->disconnectFromHost();
}
