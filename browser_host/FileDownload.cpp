#include "FileDownload.h"

#include "platform/MessagePump.h"
#include "support/modOperationFichierSimple.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <fcntl.h>

namespace {

// What the network layer may hold for the reader; the rest waits in the socket.
constexpr qint64 ReadBufferBytes = 8 * 1024 * 1024;
// A server that sends nothing for this long ends the read.
constexpr int StallTimeoutMs = 60000;
// What one write moves from the network's buffer into the file.
constexpr qint64 ChunkBytes = 1024 * 1024;
// Written bytes handed to the disk while the read goes on, so that the flush
// made when the file is committed finds little left to write.
constexpr qint64 WritebackBytes = 8 * 1024 * 1024;

} // namespace

FileDownload::FileDownload(const QString& address, const QString& destination,
                           const Options& options, QObject* parent)
    : QObject(parent)
    , m_address(address)
    , m_options(options)
    , m_file(destination) {
    m_network.setRedirectPolicy(options.followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                                        : QNetworkRequest::ManualRedirectPolicy);
}

FileDownload::~FileDownload() {
    cancel();
}

std::optional<FileDownload::Failure> FileDownload::start() {
    const QUrl url(m_address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return Failure{InvalidAddress, QStringLiteral("Invalid address: ") + m_address, {}};
    files::createFolderTree(m_file.fileName());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure{FileAccess, m_file.errorString(), {}};
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(StallTimeoutMs);
    if (!m_options.userAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, m_options.userAgent);
    m_reply = m_network.get(request);
    m_reply->setReadBufferSize(ReadBufferBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownload::drain);
    connect(m_reply, &QNetworkReply::finished, this, &FileDownload::onFinished);
    return std::nullopt;
}

std::optional<FileDownload::Failure> FileDownload::run() {
    std::optional<Failure> failure = start();
    if (failure)
        return failure;
    connect(this, &FileDownload::finished, this,
            [&failure](const std::optional<Failure>& end) { failure = end; });
    while (!m_finished)
        pump::waitUntil([this] { return m_finished; }, std::chrono::hours(1));
    return failure;
}

void FileDownload::cancel() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    discard();
}

void FileDownload::discard() {
    if (!m_file.isOpen())
        return;
    m_file.cancelWriting();
    m_file.commit(); // with writing cancelled, this only removes the temporary file
}

bool FileDownload::httpFailed() const {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
}

// Moves what arrived into the temporary file, through one reused buffer, and
// reports it; an error page is not kept.
void FileDownload::drain() {
    if (!m_reply || m_writeFailure)
        return;
    if (httpFailed()) {
        m_reply->readAll();
        return;
    }
    std::int64_t moved = 0;
    m_chunk.resize(ChunkBytes);
    for (;;) {
        const qint64 length = m_reply->read(m_chunk.data(), ChunkBytes);
        if (length <= 0)
            break;
        if (m_file.write(m_chunk.constData(), length) != length) {
            m_writeFailure = Failure{FileAccess, m_file.errorString(), {}};
            m_reply->abort();
            return;
        }
        moved += length;
    }
    if (moved == 0)
        return;
    m_received += moved;
    startWriteback();
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    emit progress(m_received, length.isValid() ? length.toLongLong() : -1);
}

void FileDownload::startWriteback() {
    if (m_received - m_writtenBack < WritebackBytes)
        return;
    // A file system without it leaves the work to the flush at commit.
    ::sync_file_range(m_file.handle(), m_writtenBack, m_received - m_writtenBack,
                      SYNC_FILE_RANGE_WRITE);
    m_writtenBack = m_received;
}

std::optional<FileDownload::Failure> FileDownload::outcome() {
    if (m_writeFailure)
        return m_writeFailure;
    if (httpFailed()) {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString reason =
            m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return Failure{status, QStringLiteral("HTTP %1 %2").arg(status).arg(reason).trimmed(),
                       QString::fromUtf8(m_reply->rawHeader("Location"))};
    }
    if (m_reply->error() != QNetworkReply::NoError)
        return Failure{static_cast<std::int32_t>(m_reply->error()), m_reply->errorString(), {}};
    // A connection that ends early may still look like a normal end to the
    // network layer: fewer bytes than announced is a cut file, not a download.
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && m_received != announced.toLongLong())
        return Failure{QNetworkReply::RemoteHostClosedError,
                       QStringLiteral("The connection ended after %1 of %2 bytes")
                           .arg(m_received)
                           .arg(announced.toLongLong()),
                       {}};
    if (m_options.minimumBytes > 0 && m_file.size() <= m_options.minimumBytes)
        return Failure{TooShort, QStringLiteral("The answer holds too few bytes"), {}};
    if (!m_file.commit())
        return Failure{FileAccess, m_file.errorString(), {}};
    return std::nullopt;
}

void FileDownload::onFinished() {
    if (m_finished)
        return;
    drain();
    if (m_finished) // cancelled by whoever heard the last progress report
        return;
    std::optional<Failure> failure = outcome();
    m_finished = true;
    if (failure)
        discard();
    m_reply->deleteLater();
    emit finished(failure);
}
