#include "LoopbackHttpServer.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>

#include <atomic>
#include <cstring>

namespace {

constexpr qint64 ChunkBytes = 256 * 1024;
constexpr qint64 HighWaterBytes = 1024 * 1024;
constexpr qint64 SlowChunkBytes = 4096;
constexpr int SlowIntervalMs = 50;

std::uint64_t mix(std::uint64_t block) {
    std::uint64_t z = block + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

QByteArray reasonOf(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

struct StaticBody {
    QByteArray body;
    QByteArray contentType;
    QList<QByteArray> headers;
};

// What one connection still has to send of a generated body.
struct Stream {
    qint64 offset = 0;
    qint64 end = 0;
    bool slow = false;
    bool resetAtEnd = false;
};

} // namespace

class LoopbackHttpServer::Worker : public QTcpServer {
public:
    Worker() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                accept(socket);
        });
    }

    std::atomic<quint16> port{0};
    mutable QMutex mutex;
    QHash<QString, StaticBody> bodies;
    QHash<QString, int> hitCounts;

private:
    void accept(QTcpSocket* socket) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { readHead(socket); });
    }

    void readHead(QTcpSocket* socket) {
        const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const QByteArray target = head.left(head.indexOf("\r\n")).split(' ').value(1);
        const QString path = QString::fromLatin1(target).section(QLatin1Char('?'), 0, 0);
        {
            QMutexLocker lock(&mutex);
            ++hitCounts[path];
        }
        answer(socket, path);
    }

    static void send(QTcpSocket* socket, int status, const QByteArray& headers,
                     const QByteArray& body) {
        socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\n" +
                      headers + "Connection: close\r\nCache-Control: no-store\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    void answer(QTcpSocket* socket, const QString& path) {
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const QString kind = parts.value(0);
        const qint64 number = parts.value(1).toLongLong();
        if (kind == QLatin1String("redirect") && parts.size() > 2) {
            const QString rest = parts.mid(2).join(QLatin1Char('/'));
            const QString next = number > 1
                                     ? QStringLiteral("/redirect/%1/%2").arg(number - 1).arg(rest)
                                     : QLatin1Char('/') + rest;
            send(socket, 302, "Location: " + next.toLatin1() + "\r\nContent-Length: 0\r\n", {});
            return;
        }
        if (kind == QLatin1String("status")) {
            const QByteArray body = "status " + QByteArray::number(number);
            send(socket, int(number),
                 "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\n",
                 body);
            return;
        }
        if (kind == QLatin1String("bytes") || kind == QLatin1String("slow") ||
            kind == QLatin1String("reset") || kind == QLatin1String("unsized")) {
            const bool reset = kind == QLatin1String("reset");
            QByteArray headers = "Content-Type: application/octet-stream\r\n";
            if (kind != QLatin1String("unsized"))
                headers +=
                    "Content-Length: " + QByteArray::number(reset ? 2 * number : number) + "\r\n";
            socket->write("HTTP/1.1 200 OK\r\n" + headers + "Connection: close\r\n\r\n");
            startStream(socket, Stream{0, number, kind == QLatin1String("slow"), reset});
            return;
        }
        StaticBody page;
        {
            QMutexLocker lock(&mutex);
            const auto found = bodies.constFind(path);
            if (found == bodies.constEnd()) {
                lock.unlock();
                send(socket, 404, "Content-Length: 0\r\n", {});
                return;
            }
            page = *found;
        }
        QByteArray headers = "Content-Type: " + page.contentType +
                             "\r\nContent-Length: " + QByteArray::number(page.body.size()) + "\r\n";
        for (const QByteArray& header : page.headers)
            headers += header + "\r\n";
        send(socket, 200, headers, page.body);
    }

    void startStream(QTcpSocket* socket, Stream stream) {
        auto state = std::make_shared<Stream>(stream);
        if (state->slow) {
            auto* timer = new QTimer(socket);
            timer->setInterval(SlowIntervalMs);
            connect(timer, &QTimer::timeout, socket,
                    [this, socket, state] { writeSome(socket, *state, SlowChunkBytes); });
            timer->start();
            return;
        }
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket, state] {
            if (socket->bytesToWrite() < HighWaterBytes)
                writeSome(socket, *state, ChunkBytes);
        });
        writeSome(socket, *state, ChunkBytes);
    }

    // Once everything written has left, the connection is reset (not closed).
    static void resetOnceSent(QTcpSocket* socket) {
        const auto reset = [socket] {
            if (socket->bytesToWrite() > 0 || socket->state() != QAbstractSocket::ConnectedState)
                return;
            const linger abortive{1, 0};
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                         sizeof abortive);
            socket->abort();
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, reset);
        reset();
    }

    void writeSome(QTcpSocket* socket, Stream& stream, qint64 most) {
        if (stream.offset >= stream.end)
            return;
        const qint64 length = std::min(most, stream.end - stream.offset);
        QByteArray chunk(length, Qt::Uninitialized);
        fillPattern(chunk.data(), stream.offset, length);
        socket->write(chunk);
        stream.offset += length;
        if (stream.offset < stream.end)
            return;
        if (stream.resetAtEnd)
            resetOnceSent(socket);
        else
            socket->disconnectFromHost();
    }
};

LoopbackHttpServer::LoopbackHttpServer()
    : m_worker(std::make_unique<Worker>()) {
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("loopback http"));
    m_worker->moveToThread(thread);
    thread->start();
    QMetaObject::invokeMethod(
        m_worker.get(),
        [worker = m_worker.get()] {
            worker->listen(QHostAddress::LocalHost);
            worker->port = worker->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    QThread* thread = m_worker->thread();
    // Connections and the server are deleted on their own thread.
    Worker* worker = m_worker.release();
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete thread;
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_worker->port.load()).arg(path);
}

void LoopbackHttpServer::serve(const QString& path, const QByteArray& body,
                               const QByteArray& contentType,
                               const QList<QByteArray>& extraHeaders) {
    QMutexLocker lock(&m_worker->mutex);
    m_worker->bodies.insert(path, StaticBody{body, contentType, extraHeaders});
}

int LoopbackHttpServer::hits(const QString& path) const {
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->hitCounts.value(path);
}

void LoopbackHttpServer::fillPattern(char* out, std::int64_t offset, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        const std::int64_t position = offset + done;
        const std::uint64_t word = qToLittleEndian(mix(std::uint64_t(position) >> 3));
        const int skip = int(position & 7);
        const std::int64_t take = std::min<std::int64_t>(8 - skip, length - done);
        std::memcpy(out + done, reinterpret_cast<const char*>(&word) + skip, size_t(take));
        done += take;
    }
}

bool LoopbackHttpServer::holdsPattern(const QString& path, std::int64_t size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    QByteArray expected(ChunkBytes * 4, Qt::Uninitialized);
    for (std::int64_t offset = 0; offset < size;) {
        const QByteArray actual = file.read(ChunkBytes * 4);
        if (actual.isEmpty())
            return false;
        fillPattern(expected.data(), offset, actual.size());
        if (std::memcmp(actual.constData(), expected.constData(), size_t(actual.size())) != 0)
            return false;
        offset += actual.size();
    }
    return true;
}
