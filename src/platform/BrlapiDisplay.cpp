#include "BrlapiDisplay.h"

#include <brlapi.h>
#include <csignal>
#include <cstdlib>

#include <QLoggingCategory>
#include <QSocketNotifier>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBraille, "yomimaru.braille")

namespace {

brlapi_handle_t* handleOf(void* handle)
{
    return static_cast<brlapi_handle_t*>(handle);
}

// The library's own handler ends the program on an error the server
// reports; here it is only written down, and the next call finds the
// connection's state.
void BRLAPI_STDCALL keepGoing(brlapi_handle_t*, int error, brlapi_packetType_t type, const void*, size_t)
{
    qCWarning(lcBraille, "BrlAPI error %d on packet %u", error, unsigned(type));
}

QString errorText()
{
    return QString::fromLocal8Bit(brlapi_strerror(&brlapi_error));
}

}  // namespace

BrlapiDisplay::BrlapiDisplay(QObject* parent)
    : QObject(parent)
    , m_handle(std::calloc(1, brlapi_getHandleSize()))
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { open(true); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_settleTries = kSettleTries;
        open(true);
    });
    // A server that goes away must not take the program with it.
    std::signal(SIGPIPE, SIG_IGN);
}

BrlapiDisplay::~BrlapiDisplay()
{
    close();
    std::free(m_handle);
}

void BrlapiDisplay::setServer(const QString& host, const QString& auth)
{
    m_host = host;
    m_auth = auth;
}

bool BrlapiDisplay::open(bool retry)
{
    if (isConnected()) {
        return true;
    }
    const QByteArray host = m_host.toLocal8Bit();
    const QByteArray auth = m_auth.toLocal8Bit();
    brlapi_connectionSettings_t wanted = {m_auth.isEmpty() ? nullptr : auth.data(),
                                          m_host.isEmpty() ? nullptr : host.data()};
    const int fd = brlapi__openConnection(handleOf(m_handle), &wanted, nullptr);
    if (fd < 0) {
        m_error = errorText();
        if (retry) {
            waitForServer();
        }
        return false;
    }
    m_retry.stop();
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    brlapi__setExceptionHandler(handleOf(m_handle), keepGoing);
    unsigned int x = 0;
    unsigned int y = 0;
    char driver[64] = {};
    if (brlapi__getDisplaySize(handleOf(m_handle), &x, &y) < 0 || x == 0) {
        m_error = errorText();
        brlapi__closeConnection(handleOf(m_handle));
        if (retry) {
            waitForServer();
        }
        return false;
    }
    if (brlapi__getDriverName(handleOf(m_handle), driver, sizeof driver) > 0) {
        m_driver = QString::fromLocal8Bit(driver);
    }
    m_fd = fd;
    m_columns = int(x);
    m_error.clear();
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readKeys(); });
    qCInfo(lcBraille, "braille display %s with %d cells", qPrintable(m_driver), m_columns);
    if (onConnected) {
        onConnected();
    }
    return true;
}

void BrlapiDisplay::close()
{
    m_retry.stop();
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    if (!isConnected()) {
        return;
    }
    delete m_notifier;
    m_notifier = nullptr;
    if (m_claimed) {
        brlapi__leaveTtyMode(handleOf(m_handle));
    }
    brlapi__closeConnection(handleOf(m_handle));
    m_fd = -1;
    m_columns = 0;
    m_claimed = false;
}

void BrlapiDisplay::lost()
{
    // BRLTTY went away: the line comes back when it does.
    delete m_notifier;
    m_notifier = nullptr;
    brlapi__closeConnection(handleOf(m_handle));
    m_fd = -1;
    m_columns = 0;
    m_claimed = false;
    waitForServer();
}

void BrlapiDisplay::waitForServer()
{
    const bool localDefault = m_host.isEmpty() && qEnvironmentVariableIsEmpty("BRLAPI_HOST");
    if (!localDefault) {
        m_retry.start(m_retryMs);
        return;
    }
    if (m_watcher.directories().isEmpty() && !m_watcher.addPath(QStringLiteral(BRLAPI_SOCKETPATH))) {
        // Without BrlAPI's folder (BRLTTY not installed) a slow retry is enough.
        m_retry.start(6 * kRetryMs);
        return;
    }
    // A socket that has just appeared may not listen yet: a few quick tries.
    if (m_settleTries > 0) {
        --m_settleTries;
        m_retry.start(kSettleMs);
    }
}

bool BrlapiDisplay::claim()
{
    if (m_claimed) {
        return true;
    }
    // The terminal of the session BRLTTY is told of (WINDOWPATH), else the
    // one it shows.
    if (brlapi__enterTtyModeWithPath(handleOf(m_handle), nullptr, 0, nullptr) < 0) {
        m_error = errorText();
        return false;
    }
    // Only the keys acted on here; BRLTTY keeps the others.
    brlapi__ignoreAllKeys(handleOf(m_handle));
    const brlapi_keyCode_t keys[] = {
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINLT, BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINRT,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNUP,   BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNDN,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_ROUTE,
    };
    brlapi__acceptKeys(handleOf(m_handle), brlapi_rangeType_command, keys, sizeof keys / sizeof keys[0]);
    m_claimed = true;
    return true;
}

bool BrlapiDisplay::writeDots(const QByteArray& cells)
{
    if (!isConnected() || !claim()) {
        return false;
    }
    QByteArray line = cells.left(m_columns);
    line.resize(m_columns, 0);
    if (brlapi__writeDots(handleOf(m_handle), reinterpret_cast<const unsigned char*>(line.constData())) < 0) {
        m_error = errorText();
        return false;
    }
    return true;
}

bool BrlapiDisplay::writeText(const QString& text, int cursor)
{
    if (!isConnected() || !claim()) {
        return false;
    }
    const QByteArray utf8 = text.left(m_columns).toUtf8();
    brlapi_writeArguments_t arguments = BRLAPI_WRITEARGUMENTS_INITIALIZER;
    arguments.regionBegin = 1;
    arguments.regionSize = -int(text.left(m_columns).toUcs4().size());  // pad the rest of the display
    arguments.text = utf8.constData();
    arguments.textSize = int(utf8.size());
    arguments.charset = "UTF-8";
    arguments.cursor = cursor >= 0 ? cursor + 1 : BRLAPI_CURSOR_OFF;
    if (text.isEmpty()) {
        arguments.regionSize = -1;
        arguments.text = " ";
        arguments.textSize = 1;
    }
    if (brlapi__write(handleOf(m_handle), &arguments) < 0) {
        m_error = errorText();
        return false;
    }
    return true;
}

void BrlapiDisplay::release()
{
    if (isConnected() && m_claimed) {
        brlapi__leaveTtyMode(handleOf(m_handle));
        m_claimed = false;
    }
}

void BrlapiDisplay::readKeys()
{
    brlapi_keyCode_t code = 0;
    for (;;) {
        const int got = brlapi__readKey(handleOf(m_handle), 0, &code);
        if (got < 0) {
            lost();
            return;
        }
        if (got == 0) {
            return;
        }
        brlapi_expandedKeyCode_t key{};
        if (brlapi_expandKeyCode(code, &key) < 0 || key.type != BRLAPI_KEY_TYPE_CMD || !onKey) {
            continue;
        }
        switch (key.command) {
        case BRLAPI_KEY_CMD_FWINLT:
            onKey(Key::PanLeft, 0);
            break;
        case BRLAPI_KEY_CMD_FWINRT:
            onKey(Key::PanRight, 0);
            break;
        case BRLAPI_KEY_CMD_LNUP:
            onKey(Key::LineUp, 0);
            break;
        case BRLAPI_KEY_CMD_LNDN:
            onKey(Key::LineDown, 0);
            break;
        case BRLAPI_KEY_CMD_ROUTE:
            onKey(Key::Route, int(key.argument));
            break;
        default:
            break;
        }
        // The handler may have closed the connection.
        if (!isConnected()) {
            return;
        }
    }
}
