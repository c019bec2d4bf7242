#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

// An HTTP/1.1 server on 127.0.0.1 only, run on a thread of its own so that a
// client on the calling thread (or another process) is served at full speed.
// Every answer closes its connection. Besides the bodies registered with
// serve(), it answers generated paths:
//   /bytes/N           N bytes of the pattern, with their length
//   /unsized/N         N bytes of the pattern, without a length (ends at close)
//   /slow/N            N bytes of the pattern, 4 KiB every 50 ms
//   /status/CODE       that status with a short text body
//   /reset/N           announces 2N bytes, sends N, then resets the connection
//   /redirect/K/PATH   K redirections (302) before PATH is answered
// Paths are matched without their query.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    QString url(const QString& path) const;
    void serve(const QString& path, const QByteArray& body,
               const QByteArray& contentType = "application/octet-stream",
               const QList<QByteArray>& extraHeaders = {});
    // Requests received for a path (without its query).
    int hits(const QString& path) const;

    // The generated content: byte i of every generated body, from offset on.
    static void fillPattern(char* out, std::int64_t offset, std::int64_t length);
    // True when the file holds exactly `size` bytes of the pattern; read in chunks.
    static bool holdsPattern(const QString& path, std::int64_t size);

    class Worker;

private:
    std::unique_ptr<Worker> m_worker;
};
