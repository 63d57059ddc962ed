#include "CHttp.h"

#include <cstring>
#include <zlib.h>

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/CookieStore.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHttp, "yomimaru.http", QtWarningMsg)

namespace {

// The service's moves cost a hop or two (2ch.net to 5ch.net to 5ch.io, http
// to https); more is a loop or a detour.
constexpr int kMaxRedirects = 5;

int defaultPort(const QString& scheme)
{
    if (scheme == u"https" || scheme == u"shttp") {
        return 443;
    }
    if (scheme == u"ftp") {
        return 21;
    }
    return 80;
}

// Errors that only say the server answered with an error status: the body of
// such an answer (an error page) is still a whole body.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
           || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

// Unpacks one gzip member. `whole` tells whether the stream ended with its
// trailer (length and CRC checked by zlib) with nothing after it; what came
// out so far is returned either way, bounded by `limit`.
QByteArray gunzip(const QByteArray& packed, qint64 limit, bool& whole)
{
    whole = false;
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        return {};
    }
    QByteArray out;
    out.reserve(qMin<qint64>(limit, qMax<qint64>(packed.size() * 4, 4096)));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    char chunk[64 * 1024];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof chunk - stream.avail_out);
        if (out.size() + produced > limit) {
            inflateEnd(&stream);
            return out;
        }
        out.append(chunk, produced);
        if (result == Z_BUF_ERROR || (result == Z_OK && stream.avail_in == 0 && produced == 0)) {
            break;
        }
    }
    whole = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return out;
}

// A form body the connection may take once only. When a server closes the
// connection after taking a request and before answering, Qt would send the
// request again on a new connection; for a post, a server that had stored it
// would store it twice. Refusing to rewind turns that into a failure the
// user hears, and the user decides whether to post again.
class SendOnceBody : public QIODevice
{
public:
    SendOnceBody(QByteArray bytes, QObject* parent)
        : QIODevice(parent)
        , m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }

    qint64 size() const override { return m_bytes.size(); }

    bool seek(qint64 pos) override { return pos >= m_handedOut && QIODevice::seek(pos); }

    bool reset() override { return seek(0); }

    // True once every byte was handed to the connection.
    bool handedOutWhole() const { return m_handedOut >= m_bytes.size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 from = pos();
        const qint64 count = qBound<qint64>(0, m_bytes.size() - from, maxSize);
        if (count > 0) {
            memcpy(data, m_bytes.constData() + from, size_t(count));
            m_handedOut = qMax(m_handedOut, from + count);
        }
        return count;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_handedOut = 0;
};

}  // namespace

CHttp::CHttp(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

CHttp::~CHttp()
{
    Cancel();
}

void CHttp::InitInstance(
    const QString& userAgent, const QString& proxy, int connectTimeout, int receiveTimeout, int sendTimeout)
{
    m_userAgent = userAgent;
    m_proxy = proxy;
    m_connectTimeout = connectTimeout;
    m_receiveTimeout = receiveTimeout;
    m_sendTimeout = sendTimeout;
    applyProxy();
}

void CHttp::setCookieFile(const QString& path)
{
    auto* store = new CookieStore(path);
    if (!store->load()) {
        qCWarning(lcHttp) << "stored cookies not read:" << path;
    }
    // The manager takes the store over.
    m_manager->setCookieJar(store);
}

void CHttp::applyProxy()
{
    const qsizetype colon = m_proxy.lastIndexOf(u':');
    bool ok = false;
    const int port = colon > 0 ? m_proxy.mid(colon + 1).trimmed().toInt(&ok) : 0;
    if (m_proxy.trimmed().isEmpty() || !ok || port <= 0 || port > 65535) {
        // No usable proxy: the system's configuration decides.
        m_manager->setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        return;
    }
    m_manager->setProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, m_proxy.left(colon).trimmed(), quint16(port)));
}

bool CHttp::splitUrl(const QString& url, UrlParts& parts)
{
    static const VbRegExp pattern(u"^([a-z]+):/{2,}([^/:]+)(:[0-9]+){0,1}(/?[^#]*)(#?.*)$"_s, false, true);
    const QList<VbMatch> matches = pattern.Execute(url);
    if (matches.isEmpty()) {
        return false;
    }
    const QStringList& g = matches.first().SubMatches;
    parts.scheme = g.value(0).toLower();
    parts.host = g.value(1);
    parts.port = g.value(2).isEmpty() ? 0 : g.value(2).mid(1).toInt();
    parts.path = g.value(3);
    parts.fragment = g.value(4);
    return true;
}

void CHttp::prepare(QNetworkRequest& request, const QString& referer, bool compressed) const
{
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    if (!referer.isEmpty()) {
        request.setRawHeader("Referer", referer.toUtf8());
    }
    // The client unpacks gzip itself rather than leave it to Qt: Qt drops
    // the Content-Length of a packed answer and takes a packed stream cut off
    // on the way for a whole one, so a broken download would pass for a
    // complete thread. The gzip trailer (length and CRC) proves it whole.
    request.setRawHeader("Accept-Encoding", compressed ? "gzip" : "identity");
    if (!m_extraCa.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_extraCa);
        request.setSslConfiguration(tls);
    }
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(qMax(1, qMax(m_connectTimeout, qMax(m_receiveTimeout, m_sendTimeout))));
}

QByteArray CHttp::readLocalFile(const UrlParts& parts, const QString& url) const
{
    // "file:///tmp/x" is split into host "tmp" and path "/x"; the local path is
    // what the URL names, whichever way it was written.
    QString path = QUrl(url).toLocalFile();
    if (path.isEmpty()) {
        path = u'/' + parts.host + parts.path + parts.fragment;
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(m_maxBodySize);
}

void CHttp::addCaCertificates(const QList<QSslCertificate>& certificates)
{
    m_extraCa += certificates;
    // Connections made under the old trust are not reused.
    m_manager->clearConnectionCache();
}

QByteArray CHttp::lastHeader(const QByteArray& name) const
{
    for (const auto& [key, value] : m_lastHeaders) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

QByteArray CHttp::Get_Binary2(const QString& url,
                              const QString& referer,
                              QString* finalUrl,
                              const Conditions* conditions)
{
    if (finalUrl) {
        finalUrl->clear();
    }
    m_lastComplete = false;
    m_lastStatus = 0;
    m_deadlineHit = false;
    m_lastTransferred = 0;
    m_lastHeaders.clear();
    if (m_downloading) {
        qCWarning(lcHttp) << "request refused: another is in progress";
        return {};
    }
    if (m_shutDown) {
        return {};
    }
    UrlParts parts;
    if (!splitUrl(url, parts)) {
        return {};
    }
    if (parts.scheme == u"file") {
        const QByteArray bytes = readLocalFile(parts, url);
        m_lastComplete = !bytes.isEmpty();
        m_lastStatus = m_lastComplete ? 200 : 0;
        if (finalUrl) {
            *finalUrl = url;
        }
        return bytes;
    }

    QUrl target;
    const bool secure = parts.scheme == u"https" || parts.scheme == u"shttp";
    target.setScheme(secure ? u"https"_s : u"http"_s);
    target.setHost(parts.host);
    if (parts.port > 0) {
        target.setPort(parts.port);
    } else if (defaultPort(parts.scheme) != (secure ? 443 : 80)) {
        target.setPort(defaultPort(parts.scheme));
    }
    const qsizetype query = parts.path.indexOf(u'?');
    target.setPath(query < 0 ? parts.path : parts.path.left(query), QUrl::TolerantMode);
    if (query >= 0) {
        target.setQuery(parts.path.mid(query + 1), QUrl::TolerantMode);
    }
    if (target.path().isEmpty()) {
        target.setPath(u"/"_s);
    }
    if (!target.isValid()) {
        return {};
    }
    QNetworkRequest request(target);
    const bool range = conditions && conditions->from >= 0;
    prepare(request, referer, !range);
    if (conditions) {
        if (range) {
            request.setRawHeader("Range", "bytes=" + QByteArray::number(conditions->from) + '-');
        }
        if (!conditions->lastModified.isEmpty()) {
            request.setRawHeader("If-Modified-Since", conditions->lastModified);
        }
        if (!conditions->etag.isEmpty()) {
            request.setRawHeader("If-None-Match", conditions->etag);
        }
    }
    QByteArray body = runRequest(m_manager->get(request));
    if (finalUrl && m_lastReplyUrl.isValid()) {
        *finalUrl = m_lastReplyUrl.toString(QUrl::FullyEncoded) + parts.fragment;
    }
    return body;
}

QByteArray CHttp::runRequest(QNetworkReply* reply)
{
    m_reply = reply;
    m_downloading = true;
    m_cancelled = false;
    m_totalLength = 0;
    m_received = 0;
    m_encoded = false;
    m_lastReplyUrl = QUrl();
    // Small read buffers make the body arrive in chunks, and the event loop
    // runs between them.
    reply->setReadBufferSize(kChunkSize);

    QByteArray buffer;
    bool tooLarge = false;
    QEventLoop loop;
    const auto readChunks = [&] {
        while (reply->bytesAvailable() > 0) {
            qint64 want = kChunkSize;
            if (m_totalLength > 0) {
                want = qMin<qint64>(want, m_totalLength - m_received);
                if (want <= 0) {
                    // More than announced: the rest is not part of the body.
                    reply->skip(reply->bytesAvailable());
                    break;
                }
            }
            const QByteArray chunk = reply->read(want);
            if (chunk.isEmpty()) {
                break;
            }
            if (m_received + chunk.size() > m_maxBodySize) {
                tooLarge = true;
                reply->abort();
                return;
            }
            if (buffer.capacity() == 0) {
                buffer.reserve(m_totalLength > 0 ? qMin(m_totalLength, m_maxBodySize) : 327670);
            }
            buffer += chunk;
            m_received += chunk.size();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        bool ok = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        m_totalLength = ok && length > 0 ? length : 0;
        const QByteArray coding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        m_encoded = !coding.isEmpty() && coding != "identity";
    });
    connect(reply, &QNetworkReply::readyRead, &loop, readChunks);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The idle time-out restarts with every byte; this one does not, so a
    // server trickling bytes cannot hold the program.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, [&] {
        m_deadlineHit = true;
        qCWarning(lcHttp) << "request abandoned after" << m_deadlineMs << "ms:" << reply->url();
        reply->abort();
    });
    if (!reply->isFinished()) {
        deadline.start(m_deadlineMs);
        // User input is delivered meanwhile: the key handler drops what the
        // fixed menu cannot take, and the quit key cancels this request.
        loop.exec();
    }
    deadline.stop();
    if (!tooLarge) {
        readChunks();
    }

    const QNetworkReply::NetworkError error = reply->error();
    const bool httpAnswered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    m_lastReplyUrl = reply->url();
    m_lastStatus = httpAnswered ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    m_lastHeaders = reply->rawHeaderPairs();
    m_lastTransferred = m_received;
    m_lastComplete = !tooLarge && !m_cancelled && !m_deadlineHit
                     && (error == QNetworkReply::NoError || (httpAnswered && isHttpStatusError(error)))
                     && (m_totalLength == 0 || m_received >= m_totalLength);
    if (m_encoded && !tooLarge) {
        const QByteArray coding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        bool whole = false;
        buffer = coding == "gzip" || coding == "x-gzip" ? gunzip(buffer, m_maxBodySize, whole) : QByteArray();
        if (!whole) {
            // Cut off, damaged, larger than allowed, or a coding never asked for.
            qCWarning(lcHttp) << "packed body not whole:" << reply->url() << coding;
            m_lastComplete = false;
        }
    }
    if (error != QNetworkReply::NoError) {
        qCDebug(lcHttp) << "request ended:" << reply->url() << reply->errorString();
    }
    reply->deleteLater();
    m_reply = nullptr;
    m_downloading = false;
    m_totalLength = 0;
    m_received = 0;
    if (tooLarge) {
        qCWarning(lcHttp) << "body abandoned: larger than" << m_maxBodySize << "bytes";
        return {};
    }
    return buffer;
}

QString CHttp::Get2(const QString& url, const QString& referer, QString* finalUrl, QString* conversionOption)
{
    if (conversionOption && conversionOption->isEmpty()) {
        *conversionOption = u"s"_s;
    }
    m_lastBody.clear();
    m_lastBody = Get_Binary2(url, referer, finalUrl);
    const QString text = TextCodec::decodeServerText(m_lastBody);
    if (!m_htmlTxtPath.isEmpty()) {
        TextFile::writeLines(m_htmlTxtPath, {text});
    }
    return text;
}

QString CHttp::Post(const QString& host,
                    const QString& path,
                    const QString& referer,
                    const QString& body,
                    const QString& scheme)
{
    m_lastPostSent = false;
    m_lastComplete = false;
    m_lastTransferred = 0;
    m_lastHeaders.clear();
    m_lastStatus = 0;
    m_deadlineHit = false;
    if (m_downloading || m_shutDown) {
        return {};
    }
    QUrl target;
    const QString lowerScheme = scheme.toLower();
    if (lowerScheme != u"http"_s && lowerScheme != u"https"_s) {
        return {};
    }
    target.setScheme(lowerScheme);
    const qsizetype colon = host.lastIndexOf(u':');
    bool ok = false;
    const int port = colon > 0 ? host.mid(colon + 1).toInt(&ok) : 0;
    target.setHost(ok ? host.left(colon) : host);
    if (ok && port > 0 && port <= 65535) {
        target.setPort(port);
    }
    const qsizetype query = path.indexOf(u'?');
    target.setPath(query < 0 ? path : path.left(query), QUrl::TolerantMode);
    if (query >= 0) {
        target.setQuery(path.mid(query + 1), QUrl::TolerantMode);
    }
    if (!target.isValid() || target.host().isEmpty()) {
        return {};
    }
    QNetworkRequest request(target);
    prepare(request, referer, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/x-www-form-urlencoded"_s);
    // A fresh connection: a kept-alive one the server has closed meanwhile
    // would fail the post, as it may not be sent twice.
    m_manager->clearConnectionCache();
    SendOnceBody upload(TextCodec::toCp932(body), nullptr);
    request.setHeader(QNetworkRequest::ContentLengthHeader, upload.size());
    const QByteArray bytes = runRequest(m_manager->post(request, &upload));
    m_lastPostSent = upload.handedOutWhole();
    return TextCodec::decodeServerText(bytes);
}

float CHttp::Get_Progress() const
{
    if (!m_downloading || m_totalLength <= 0) {
        return 0.0f;
    }
    return float(double(m_received) / double(m_totalLength));
}

void CHttp::Shutdown()
{
    m_shutDown = true;
    Cancel();
}

void CHttp::Cancel()
{
    if (m_reply) {
        m_cancelled = true;
        m_reply->abort();
    }
}
