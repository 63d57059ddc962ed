#include "BoardServerProcess.h"

#include <QDeadlineTimer>

#include "base/CSettings.h"

using namespace Qt::StringLiterals;

BoardServerProcess::~BoardServerProcess()
{
    stop();
}

bool BoardServerProcess::start(const QString& serverPath, const QString& root, const QStringList& options)
{
    QStringList arguments{u"--root"_s, root, u"--port"_s, u"0"_s, u"--quit-on-stdin-eof"_s};
    arguments += options;
    m_process.setProgram(serverPath);
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        return false;
    }
    const QDeadlineTimer deadline(10000);
    QByteArray output;
    while (!deadline.hasExpired() && !output.contains('\n')) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        output += m_process.readAllStandardOutput();
        if (m_process.state() != QProcess::Running) {
            break;
        }
    }
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    const QByteArray prefix = "listening 127.0.0.1:";
    if (!line.startsWith(prefix)) {
        return false;
    }
    bool ok = false;
    m_port = quint16(line.mid(prefix.size()).toUInt(&ok));
    return ok && m_port != 0;
}

void BoardServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString BoardServerProcess::address() const
{
    return u"127.0.0.1:"_s + QString::number(m_port);
}

QByteArray BoardServerProcess::log()
{
    m_log += m_process.readAllStandardError();
    return m_log;
}

bool BoardServerProcess::waitForLog(const QByteArray& text, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!log().contains(text)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            return false;
        }
        m_process.waitForReadyRead(int(qBound(qint64(1), deadline.remainingTime(), qint64(100))));
    }
    return true;
}

bool BoardServerProcess::makeCertificate(const QString& folder, QString* certificatePath, QString* keyPath)
{
    *certificatePath = folder + u"/server-cert.pem"_s;
    *keyPath = folder + u"/server-key.pem"_s;
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s,
                                 u"2"_s, u"-subj"_s, u"/CN=2ch.example"_s, u"-addext"_s,
                                 u"subjectAltName=DNS:*.2ch.example,DNS:*.machi.example,IP:127.0.0.1"_s,
                                 u"-keyout"_s, *keyPath, u"-out"_s, *certificatePath});
    const bool made = openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit
                      && openssl.exitCode() == 0;
    if (!made) {
        qWarning("openssl req failed: %s", openssl.readAll().constData());
    }
    return made;
}

QString BoardServerProcess::errorOutput()
{
    return QString::fromLocal8Bit(m_process.readAllStandardError());
}

void BoardServerProcess::pointSettingsAt(CSettings& settings) const
{
    settings.Set_Named(QString::fromUtf16(CSettings::kBoardListUrl), QString::fromUtf16(kMenuUrl));
    settings.Set_(CSettings::ProxyUse, u"1"_s);
    settings.Set_(CSettings::ProxyServer, address());
}
