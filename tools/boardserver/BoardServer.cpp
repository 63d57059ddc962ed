#include "BoardServer.h"

#include <cstdio>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include "BoardSite.h"
#include "HttpRequestParser.h"

namespace {

constexpr qint64 kEndlessDefaultSeconds = 10;
constexpr qint64 kStallDefaultSeconds = 60;
constexpr qint64 kEndlessBuffered = 256 * 1024;
// However a client behaves, a connection ends this long after its answer
// was due (its own bounds come on top).
constexpr int kLingerMs = 30000;

// One connection: one request, one answer, then close. Owns its socket.
class Connection : public QObject
{
public:
    Connection(QTcpSocket* socket, BoardServer& server)
        : m_socket(socket)
        , m_server(server)
    {
        m_socket->setParent(this);
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(m_socket, &QTcpSocket::disconnected, this, &Connection::finish);
        connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
            m_socket->abort();
            finish();
        });
        m_guard.setSingleShot(true);
        connect(&m_guard, &QTimer::timeout, this, [this] {
            if (!m_answered) {
                m_answered = true;
                sendWhole(statusPage(408), "HTTP/1.1", false);
                m_guard.start(kLingerMs);
                return;
            }
            m_socket->abort();
            finish();
        });
        m_guard.start(BoardServer::kRequestTimeoutMs);
        onReadyRead();
    }

private:
    void onReadyRead()
    {
        const QByteArray bytes = m_socket->readAll();
        if (m_answered) {
            return;
        }
        const HttpRequestParser::State state = m_parser.feed(bytes);
        if (state == HttpRequestParser::State::Failed) {
            m_answered = true;
            m_server.log(QByteArray::number(m_parser.failureStatus())
                         + " refused: " + m_parser.failureDetail());
            sendWhole(statusPage(m_parser.failureStatus(), m_parser.failureDetail()), "HTTP/1.1", false);
            return;
        }
        if (state == HttpRequestParser::State::NeedMore) {
            if (m_parser.expectsContinue() && !m_continueSent) {
                m_continueSent = true;
                m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        m_answered = true;
        if (m_parser.request().method == "CONNECT") {
            openTunnel(m_parser.request());
            return;
        }
        answer(m_parser.request());
    }

    // A proxy's tunnel to an https host: the server itself is that host. After
    // "200" the same connection speaks TLS and carries one request.
    void openTunnel(const HttpRequest& request)
    {
        auto* tls = qobject_cast<QSslSocket*>(m_socket);
        const bool toHttpsPort = request.target.endsWith(":443");
        if (!tls || !m_server.tlsEnabled() || !toHttpsPort || m_tunnel) {
            m_server.log("CONNECT " + request.target + " -> 405");
            sendWhole(statusPage(405, "No tunnel is opened here."), request.version, false);
            return;
        }
        m_server.log("CONNECT " + request.target + " -> 200");
        m_tunnel = true;
        m_socket->write(request.version + " 200 Connection established\r\n\r\n");
        m_parser = HttpRequestParser();
        m_answered = false;
        tls->setLocalCertificate(m_server.options().certificate);
        tls->setPrivateKey(m_server.options().privateKey);
        tls->setPeerVerifyMode(QSslSocket::VerifyNone);
        connect(tls, &QSslSocket::sslErrors, this, [this] {
            m_socket->abort();
            finish();
        });
        tls->startServerEncryption();
        m_guard.start(BoardServer::kRequestTimeoutMs);
    }

    void answer(const HttpRequest& request)
    {
        const FaultPlan plan = m_server.planFaults(request.pathAndQuery());
        qint64 bound = 0;
        if (plan.fault && plan.fault->kind == FaultRule::Kind::Endless) {
            bound = (plan.fault->value < 0 ? kEndlessDefaultSeconds : plan.fault->value) * 1000;
        } else if (plan.fault && plan.fault->kind == FaultRule::Kind::Stall) {
            bound = (plan.fault->value < 0 ? kStallDefaultSeconds : plan.fault->value) * 1000;
        }
        m_guard.start(static_cast<int>(qMin<qint64>(plan.delayMs + bound + kLingerMs, INT_MAX)));

        HttpResponse response;
        if (!plan.fault || plan.fault->deliversRealAnswer()) {
            HttpRequest seen = request;
            seen.tls = m_tunnel;
            response = m_server.site().handle(seen, m_socket->peerAddress().toString());
        }
        QByteArray note;
        if (plan.delayMs > 0) {
            note += " delay:" + QByteArray::number(plan.delayMs);
        }
        if (plan.fault) {
            note += ' ' + plan.fault->name();
        }
        if (m_tunnel) {
            note += " tls";
        }
        if (!plan.fault || plan.fault->deliversRealAnswer()) {
            note += " body=" + QByteArray::number(request.method == "HEAD" ? 0 : response.body.size());
        }
        m_server.log(request.method + ' ' + request.target + " -> "
                     + (plan.fault && !plan.fault->deliversRealAnswer() ? QByteArray("-")
                                                                        : QByteArray::number(response.status))
                     + note);

        auto deliver = [this, request, response, plan] { deliverAnswer(request, response, plan.fault); };
        if (plan.delayMs > 0) {
            QTimer::singleShot(static_cast<int>(qMin<qint64>(plan.delayMs, INT_MAX)), this, deliver);
        } else {
            deliver();
        }
    }

    void
    deliverAnswer(const HttpRequest& request, HttpResponse response, const std::optional<FaultRule>& fault)
    {
        const bool headOnly = request.method == "HEAD";
        if (!fault) {
            sendWhole(response, request.version, headOnly);
            return;
        }
        switch (fault->kind) {
        case FaultRule::Kind::Delay:
            sendWhole(response, request.version, headOnly);
            return;
        case FaultRule::Kind::NoLength:
            m_socket->write(responseHead(response, request.version, kNoContentLength));
            if (!headOnly) {
                m_socket->write(response.body);
            }
            m_socket->disconnectFromHost();
            return;
        case FaultRule::Kind::Short: {
            const qint64 size = response.body.size();
            const qint64 sent = qMin(fault->value < 0 ? size / 2 : fault->value, size);
            m_socket->write(responseHead(response, request.version, qMax(size, sent + 1)));
            m_socket->write(response.body.left(sent));
            m_socket->disconnectFromHost();
            return;
        }
        case FaultRule::Kind::Long: {
            // The announced length is less than what follows it.
            const qint64 size = response.body.size();
            const qint64 announced =
                qBound(qint64(0), fault->value < 0 ? size / 2 : fault->value, qMax(size - 1, qint64(0)));
            m_socket->write(responseHead(response, request.version, announced));
            if (!headOnly) {
                m_socket->write(response.body);
            }
            m_socket->disconnectFromHost();
            return;
        }
        case FaultRule::Kind::Drop:
            m_socket->disconnectFromHost();
            return;
        case FaultRule::Kind::Endless: {
            const qint64 seconds = fault->value < 0 ? kEndlessDefaultSeconds : fault->value;
            HttpResponse head;
            head.contentType = request.path.endsWith(".html") || request.path.endsWith('/')
                                   ? "text/html; charset=Shift_JIS"
                                   : "text/plain; charset=Shift_JIS";
            m_socket->write(responseHead(head, request.version, kNoContentLength));
            m_endlessChunk = BoardSite::endlessChunk(request.path);
            m_endlessLimitMs = seconds * 1000;
            m_endlessClock.start();
            connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::pumpEndless);
            QTimer::singleShot(static_cast<int>(qMin<qint64>(m_endlessLimitMs, INT_MAX)), this, [this] {
                m_endlessDone = true;
                m_socket->disconnectFromHost();
            });
            pumpEndless();
            return;
        }
        case FaultRule::Kind::Stall: {
            const qint64 seconds = fault->value < 0 ? kStallDefaultSeconds : fault->value;
            m_socket->write(responseHead(response, request.version, response.body.size()));
            m_socket->write(response.body.left(response.body.size() / 2));
            QTimer::singleShot(static_cast<int>(qMin<qint64>(seconds * 1000, INT_MAX)), this, [this] {
                m_socket->abort();
                finish();
            });
            return;
        }
        case FaultRule::Kind::Trickle: {
            const qint64 interval =
                qBound<qint64>(qint64(1), fault->value < 0 ? qint64(1000) : fault->value, qint64(3600000));
            m_socket->write(responseHead(response, request.version, response.body.size()));
            if (headOnly || response.body.isEmpty()) {
                m_socket->disconnectFromHost();
                return;
            }
            m_trickleBody = response.body;
            // However long the trickle would take, the connection closes in
            // the end (the guard's linger comes after the last byte).
            m_guard.start(
                static_cast<int>(qMin<qint64>(interval * (m_trickleBody.size() + 1) + kLingerMs, INT_MAX)));
            m_trickle.setInterval(static_cast<int>(interval));
            connect(&m_trickle, &QTimer::timeout, this, [this] {
                if (m_trickleSent >= m_trickleBody.size()
                    || m_socket->state() != QAbstractSocket::ConnectedState) {
                    m_trickle.stop();
                    m_socket->disconnectFromHost();
                    return;
                }
                m_socket->write(m_trickleBody.mid(m_trickleSent, 1));
                ++m_trickleSent;
            });
            m_trickle.start();
            return;
        }
        case FaultRule::Kind::Throttle: {
            // Every 10 ms the share of a second's bytes goes out.
            const qint64 perSecond = qMax<qint64>(1, fault->value < 0 ? 125000 : fault->value);
            const qint64 perTick = qMax<qint64>(1, perSecond / 100);
            m_socket->write(responseHead(response, request.version, response.body.size()));
            if (headOnly || response.body.isEmpty()) {
                m_socket->disconnectFromHost();
                return;
            }
            m_trickleBody = response.body;
            m_guard.start(static_cast<int>(
                qMin<qint64>((m_trickleBody.size() / perTick + 1) * 10 + kLingerMs, INT_MAX)));
            const auto sendShare = [this, perTick] {
                if (m_trickleSent >= m_trickleBody.size()
                    || m_socket->state() != QAbstractSocket::ConnectedState) {
                    m_trickle.stop();
                    m_socket->disconnectFromHost();
                    return;
                }
                m_socket->write(m_trickleBody.mid(m_trickleSent, perTick));
                m_trickleSent += perTick;
            };
            m_trickle.setInterval(10);
            connect(&m_trickle, &QTimer::timeout, this, sendShare);
            // The first share leaves at once, as it would on a link.
            sendShare();
            m_trickle.start();
            return;
        }
        case FaultRule::Kind::ErrorPage:
            sendWhole(BoardSite::boardErrorPage(), request.version, headOnly);
            return;
        case FaultRule::Kind::Status:
            sendWhole(statusPage(fault->value < 0 ? 500 : static_cast<int>(fault->value)), request.version,
                      headOnly);
            return;
        case FaultRule::Kind::Redirect: {
            HttpResponse redirect = statusPage(302);
            redirect.headers.append({"Location", fault->text});
            sendWhole(redirect, request.version, headOnly);
            return;
        }
        }
    }

    void sendWhole(const HttpResponse& response, QByteArrayView version, bool headOnly)
    {
        m_socket->write(responseHead(response, version, response.body.size()));
        if (!headOnly) {
            m_socket->write(response.body);
        }
        m_socket->disconnectFromHost();
    }

    void pumpEndless()
    {
        if (m_endlessDone || m_socket->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        while (m_socket->bytesToWrite() < kEndlessBuffered) {
            if (m_endlessSent >= kEndlessMaxBytes || m_endlessClock.elapsed() >= m_endlessLimitMs) {
                m_endlessDone = true;
                m_socket->disconnectFromHost();
                return;
            }
            m_socket->write(m_endlessChunk);
            m_endlessSent += m_endlessChunk.size();
        }
    }

    void finish()
    {
        if (m_finished) {
            return;
        }
        m_finished = true;
        m_server.connectionClosed();
        deleteLater();
    }

    QTcpSocket* m_socket;
    BoardServer& m_server;
    HttpRequestParser m_parser;
    QTimer m_guard;
    bool m_answered = false;
    bool m_continueSent = false;
    bool m_finished = false;
    bool m_tunnel = false;
    QByteArray m_endlessChunk;
    QElapsedTimer m_endlessClock;
    qint64 m_endlessLimitMs = 0;
    qint64 m_endlessSent = 0;
    bool m_endlessDone = false;
    QTimer m_trickle;
    QByteArray m_trickleBody;
    qint64 m_trickleSent = 0;
};

}  // namespace

BoardServer::BoardServer(BoardSite& site, Options options, QObject* parent)
    : QObject(parent)
    , m_site(site)
    , m_options(std::move(options))
{
    m_server.setMaxPendingConnections(kMaxConnections);
    connect(&m_server, &QTcpServer::newConnection, this, &BoardServer::acceptPending);
}

bool BoardServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void BoardServer::log(const QByteArray& line) const
{
    if (m_options.verbose) {
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }
}

void BoardServer::SocketServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    addPendingConnection(socket);
}

void BoardServer::acceptPending()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_open >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        new Connection(socket, *this);
    }
}
