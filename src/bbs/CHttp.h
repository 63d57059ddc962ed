#pragma once

// The program's only way to the network. Every request is synchronous for the
// caller, but the client runs the event loop while it waits, so speech, timers
// and keys stay alive during a download; handlers that run meanwhile must not
// start a second request (callers check IsDownloading). One client lives for
// the whole run, and its cookie jar keeps the cookies a posting confirmation
// sets.
//
// Nothing is reported as an error: a failure gives an empty (or, when the
// connection broke off, partial) result, as the callers expect.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

class CHttp : public QObject
{
    Q_OBJECT

public:
    static constexpr int kChunkSize = 10240;
    // A body larger than this is abandoned: a server that never stops sending
    // cannot exhaust memory.
    static constexpr qint64 kMaxBodySize = 64 * 1024 * 1024;

    explicit CHttp(QObject* parent = nullptr);
    ~CHttp() override;

    // Stores the settings for the following requests; opens nothing. The proxy
    // is "address:port", or empty for the system's configuration. Time-outs are
    // in milliseconds: a request that makes no progress for that long ends.
    void InitInstance(const QString& userAgent,
                      const QString& proxy,
                      int connectTimeout,
                      int receiveTimeout,
                      int sendTimeout);

    // Where "html.txt", the mirror of the last fetched text, is written; empty
    // writes none.
    void setHtmlTxtPath(const QString& path) { m_htmlTxtPath = path; }

    // Keeps the cookies the boards set in this file across runs (see
    // CookieStore); without it they last as long as the client.
    void setCookieFile(const QString& path);

    // What the caller already holds of a file: the server then sends only
    // what is new (a byte range from `from`), or nothing when its copy has not
    // changed (304). A range is asked uncompressed: a range of a compressed
    // answer would be bytes of the compressed stream, which cannot be
    // unpacked on their own.
    struct Conditions
    {
        qint64 from = -1;         // Range: bytes=from- ; -1 asks for the whole file
        QByteArray lastModified;  // If-Modified-Since, as the server sent it
        QByteArray etag;          // If-None-Match, as the server sent it
    };

    // Fetches one URL ("http", "https" or "file") and returns the body bytes,
    // empty on any failure. finalUrl receives the address after redirections,
    // with the request's fragment appended. Whole files are asked compressed
    // (gzip or deflate) and arrive unpacked.
    QByteArray Get_Binary2(const QString& url,
                           const QString& referer = {},
                           QString* finalUrl = nullptr,
                           const Conditions* conditions = nullptr);

    // Fetches and decodes to text (UTF-8 when the bytes look like it, else the
    // Japanese encoding they are in) and mirrors the text in "html.txt".
    // An empty conversion option is set to "s", as the boards' text ends up in
    // Shift_JIS files.
    QString Get2(const QString& url,
                 const QString& referer = {},
                 QString* finalUrl = nullptr,
                 QString* conversionOption = nullptr);

    // Posts a form body to host (which may carry ":port", else the scheme's
    // port) at path with the scheme ("http" or "https") and returns the
    // response text, empty on failure. A redirection is not followed: its
    // status stays in lastStatus(), as some boards answer an accepted post
    // with one.
    QString Post(const QString& host,
                 const QString& path,
                 const QString& referer,
                 const QString& body,
                 const QString& scheme = QStringLiteral("http"));

    // Received / announced length while a response of known length is read; 0 otherwise.
    float Get_Progress() const;

    bool IsDownloading() const { return m_downloading; }

    // Ends the request in progress; the caller receives what had arrived.
    void Cancel();

    // The raw bytes of the last Get2.
    QByteArray lastBody() const { return m_lastBody; }

    // True when the last request's body arrived whole (no broken connection,
    // no time-out, no deadline hit, not cut at the size limit, not
    // cancelled, and as long as its Content-Length said).
    bool lastComplete() const { return m_lastComplete; }

    // The HTTP status of the last answer (after redirections); 0 when no
    // answer came (or for a local file).
    int lastStatus() const { return m_lastStatus; }

    // A header of the last answer (Last-Modified, ETag, Content-Range), empty
    // when it had none.
    QByteArray lastHeader(const QByteArray& name) const;

    // Bytes of the last answer's body as they came over the wire (compressed
    // when the server compressed them).
    qint64 lastTransferred() const { return m_lastTransferred; }

    // Certificates trusted besides the system's; the certificate checks
    // themselves are never switched off.
    void addCaCertificates(const QList<QSslCertificate>& certificates);

    // True when the whole form of the last Post was handed to the connection:
    // without an answer, the server may or may not have taken it.
    bool lastPostSent() const { return m_lastPostSent; }

    // True when the last request ended because its overall deadline passed.
    bool lastDeadlineHit() const { return m_deadlineHit; }

    // Besides the idle time-out, every request ends at this deadline however
    // steadily the bytes trickle in; 0 or less sets the default.
    static constexpr int kDefaultDeadlineMs = 60000;

    void setDeadline(int ms) { m_deadlineMs = ms > 0 ? ms : kDefaultDeadlineMs; }

    int deadline() const { return m_deadlineMs; }

    // Ends the request in progress and refuses every later one: the program
    // is about to end.
    void Shutdown();

    bool isShutDown() const { return m_shutDown; }

    // Lowers the body limit (tests use a small one).
    void setMaxBodySize(qint64 bytes) { m_maxBodySize = bytes; }

    QString userAgent() const { return m_userAgent; }

    QString proxy() const { return m_proxy; }

    // Splits a URL as the client does: scheme (lower case), host, port (0 when
    // none), path with query, fragment. False when the URL does not have that shape.
    struct UrlParts
    {
        QString scheme;
        QString host;
        int port = 0;
        QString path;
        QString fragment;
    };

    static bool splitUrl(const QString& url, UrlParts& parts);

private:
    QByteArray readLocalFile(const UrlParts& parts, const QString& url) const;
    QByteArray runRequest(QNetworkReply* reply);
    void prepare(QNetworkRequest& request, const QString& referer, bool compressed) const;
    void applyProxy();

    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QString m_userAgent;
    QString m_proxy;
    int m_connectTimeout = 30000;
    int m_receiveTimeout = 30000;
    int m_sendTimeout = 30000;
    qint64 m_totalLength = 0;
    qint64 m_received = 0;
    bool m_encoded = false;
    qint64 m_lastTransferred = 0;
    QList<QPair<QByteArray, QByteArray>> m_lastHeaders;
    QList<QSslCertificate> m_extraCa;
    bool m_downloading = false;
    bool m_lastComplete = false;
    bool m_cancelled = false;
    bool m_deadlineHit = false;
    bool m_shutDown = false;
    bool m_lastPostSent = false;
    int m_lastStatus = 0;
    int m_deadlineMs = kDefaultDeadlineMs;
    QByteArray m_lastBody;
    QString m_htmlTxtPath;
    QUrl m_lastReplyUrl;
    qint64 m_maxBodySize = kMaxBodySize;
};
