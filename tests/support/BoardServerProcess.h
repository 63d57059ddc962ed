#pragma once

// The local board server, started as a real process on an ephemeral port of
// 127.0.0.1 for one test. It goes away with the object, and also when the
// test dies (it quits when its standard input closes).

#include <QProcess>
#include <QStringList>

class CSettings;

class BoardServerProcess
{
public:
    // The sample service's board menu, under its real-looking host name.
    static constexpr const char16_t* kMenuUrl = u"http://menu.2ch.example/bbsmenu.html";

    BoardServerProcess() = default;
    ~BoardServerProcess();
    BoardServerProcess(const BoardServerProcess&) = delete;
    BoardServerProcess& operator=(const BoardServerProcess&) = delete;

    // Starts the server on the folder with the extra options (faults and the
    // like); false when it did not report its port in time.
    bool start(const QString& serverPath, const QString& root, const QStringList& options = {});
    void stop();

    quint16 port() const { return m_port; }

    // "127.0.0.1:PORT", usable as the program's proxy setting.
    QString address() const;
    QString errorOutput();

    // The request log of a server started with --verbose, gathered so far
    // (one line per request: method, target, "->", status, notes). waitForLog
    // waits until it holds the text; false when it did not come in time.
    QByteArray log();
    bool waitForLog(const QByteArray& text, int timeoutMs = 5000);

    // Makes a self-signed certificate and its key in the folder, for the
    // sample service's host names and 127.0.0.1, with openssl. The server
    // takes them with --tls-certificate and --tls-key; a client trusts the
    // certificate only when told to.
    static bool makeCertificate(const QString& folder, QString* certificatePath, QString* keyPath);

    // Points the program's settings at this server: the sample board menu,
    // reached through the server as the proxy.
    void pointSettingsAt(CSettings& settings) const;

private:
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_log;
};
