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
