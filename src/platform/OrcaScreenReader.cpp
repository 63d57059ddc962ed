#include "OrcaScreenReader.h"

#include <unistd.h>

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcOrca, "yomimaru.orca", QtWarningMsg)

namespace {

void dropAccessibleUpdate(QAccessibleEvent*)
{}

}  // namespace

OrcaScreenReader::~OrcaScreenReader()
{
    end();
}

bool OrcaScreenReader::detect()
{
    return screenReaderEnabledOnBus(500) || orcaProcessRunning(u"/proc"_s, uint(getuid()));
}

void OrcaScreenReader::silence()
{
    if (qGuiApp == nullptr) {
        return;
    }
    followActivity(QGuiApplication::applicationState() == Qt::ApplicationActive);
}

void OrcaScreenReader::followActivity(bool active)
{
    if (active != m_withholding) {
        withhold(active);
    }
}

void OrcaScreenReader::end()
{
    if (m_withholding) {
        withhold(false);
    }
}

void OrcaScreenReader::withhold(bool on)
{
    if (on) {
        m_previousHandler = QAccessible::installUpdateHandler(dropAccessibleUpdate);
    } else {
        QAccessible::installUpdateHandler(m_previousHandler);
        m_previousHandler = nullptr;
    }
    m_withholding = on;
}

bool OrcaScreenReader::screenReaderEnabledOnBus(int timeoutMs)
{
    // Without a session bus address libdbus would try to start a bus of its
    // own; a screen reader always runs with one, so there is nothing to ask.
    const QString runtimeBus = qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/bus"_s;
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")
        && (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") || !QFileInfo::exists(runtimeBus))) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcOrca) << "no session bus";
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s,
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << u"org.a11y.Status"_s << u"ScreenReaderEnabled"_s;
    // Asking must not start the accessibility bus when nobody runs it.
    get.setAutoStartService(false);
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, timeoutMs);
    if (!reply.isValid()) {
        qCDebug(lcOrca) << "accessibility bus did not answer:" << reply.error().message();
        return false;
    }
    return reply.value().variant().toBool();
}

bool OrcaScreenReader::orcaProcessRunning(const QString& procRoot, uint uid)
{
    const QDir proc(procRoot);
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        entry.toUInt(&isPid);
        if (!isPid) {
            continue;
        }
        const QString dir = proc.filePath(entry);
        if (QFileInfo(dir).ownerId() != uid) {
            continue;
        }
        QFile comm(dir + u"/comm"_s);
        if (comm.open(QIODevice::ReadOnly) && comm.read(64).trimmed() == "orca") {
            return true;
        }
        // Started as "python3 /usr/bin/orca": the script is the first argument.
        QFile cmdline(dir + u"/cmdline"_s);
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> args = cmdline.read(4096).split('\0');
            if (args.size() > 1 && args.at(0).contains("python")
                && (args.at(1) == "orca" || args.at(1).endsWith("/orca"))) {
                return true;
            }
        }
    }
    return false;
}
