#pragma once

// The user's braille display through BrlAPI, the programming interface of
// BRLTTY. The program takes the display for its window's terminal while it
// shows a line (BRLTTY gets it back when braille is turned off or the
// program ends), asks only for the keys it acts on (panning, line up and
// down, routing), and reads them as they come, without a thread of its own.
// When no BRLTTY answers, nothing is shown and nothing is said; a server that
// starts later is found when its socket appears in BrlAPI's folder (the
// program sleeps meanwhile), or, for a server named by host and port, by a
// quiet retry every few seconds.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include "speech/BrailleDisplay.h"

class QSocketNotifier;

class BrlapiDisplay : public QObject, public BrailleDisplay
{
    Q_OBJECT

public:
    static constexpr int kRetryMs = 10000;
    static constexpr int kSettleMs = 300;
    static constexpr int kSettleTries = 20;

    explicit BrlapiDisplay(QObject* parent = nullptr);
    ~BrlapiDisplay() override;

    // Where BRLTTY listens and how to authenticate ("127.0.0.1:1", "none");
    // empty for BrlAPI's own defaults (BRLAPI_HOST and BRLAPI_AUTH, else the
    // local server and its key file).
    void setServer(const QString& host, const QString& auth);

    // How long a retry waits for a server named by host and port (tests
    // make it short).
    void setRetryInterval(int ms) { m_retryMs = ms; }

    // One attempt now; with retry, further ones while none answers.
    bool open(bool retry = true);
    void close();

    bool isConnected() const override { return m_fd >= 0; }

    int cellCount() const override { return isConnected() ? m_columns : 0; }

    bool writeDots(const QByteArray& cells) override;
    bool writeText(const QString& text, int cursor) override;
    void release() override;

    // The display's driver as BRLTTY names it, and why the last attempt failed.
    QString driverName() const { return m_driver; }

    QString lastError() const { return m_error; }

private:
    bool claim();
    // Waits for the next attempt: BrlAPI's socket folder is watched when the
    // server is the local default, else a timer runs.
    void waitForServer();
    void readKeys();
    void lost();

    void* m_handle = nullptr;  // brlapi_handle_t, as large as the library says
    int m_fd = -1;
    int m_columns = 0;
    bool m_claimed = false;
    QString m_host;
    QString m_auth;
    QString m_driver;
    QString m_error;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_retry;
    int m_retryMs = kRetryMs;
    int m_settleTries = 0;
    QFileSystemWatcher m_watcher;
};
