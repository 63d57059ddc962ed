#pragma once

// Accepts connections on 127.0.0.1, reads one request from each, has the
// site answer it and sends the answer, bent by the fault rules that match.
// Every connection closes after one answer.

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>

#include "FaultRule.h"

class BoardSite;

class BoardServer : public QObject
{
public:
    struct Options
    {
        QList<FaultRule> faults;
        bool verbose = false;  // one line per request on stderr
        // With both set, a CONNECT to port 443 opens a tunnel in which the
        // server speaks TLS with this certificate; without them CONNECT is refused.
        QSslCertificate certificate;
        QSslKey privateKey;
    };

    bool tlsEnabled() const { return !m_options.certificate.isNull() && !m_options.privateKey.isNull(); }

    const Options& options() const { return m_options; }

    static constexpr int kMaxConnections = 256;
    static constexpr int kRequestTimeoutMs = 15000;

    BoardServer(BoardSite& site, Options options, QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(BoardServer)

    // Listens on 127.0.0.1 at the port (0: one the system picks).
    bool listen(quint16 port);

    quint16 port() const { return m_server.serverPort(); }

    QString errorString() const { return m_server.errorString(); }

    BoardSite& site() { return m_site; }

    FaultPlan planFaults(QByteArrayView pathAndQuery) { return ::planFaults(m_options.faults, pathAndQuery); }

    void log(const QByteArray& line) const;

    void connectionClosed() { --m_open; }

private:
    void acceptPending();

    // Every connection is a QSslSocket, plain until a tunnel asks for TLS.
    class SocketServer : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    BoardSite& m_site;
    Options m_options;
    SocketServer m_server;
    int m_open = 0;
};
