#pragma once

// The open thread as the voice menu sees it: its messages and the user's read
// position in it. Loading reads the thread's ".log" and read position
// (ThreadLog), then downloads the thread's ".dat" or, on boards served as
// HTML, its page (ThreadDownload, which parses it with ThreadParser and keeps
// what arrived in the log); on headline boards it follows the thread the
// second message points to. The reading side builds the headers and bodies
// the program shows and speaks. One object is reused: InitInstance replaces
// the previous thread. Messages count from 1; position 0 means nothing has
// been read yet.

#include <functional>
#include <optional>

#include <QList>
#include <QString>

#include "bbs/ReadPositions.h"
#include "bbs/ThreadDownload.h"
#include "bbs/ThreadLog.h"
#include "bbs/ThreadMessage.h"

class BoardList;
class CHttp;
class CSettings;

class ThreadData
{
public:
    // Headline threads that point to further headline threads are followed at
    // most this many times.
    static constexpr int kMaxHeadlineHops = 4;

    using Message = ThreadMessage;

    ThreadData(const QString& dataRoot, const CSettings& settings);
    Q_DISABLE_COPY_MOVE(ThreadData)

    // True when the thread is loaded. A known maximum below 0 loads the log
    // alone, without touching the network.
    bool InitInstance(const BoardList* boards,
                      CHttp* http,
                      const QString& title,
                      const QString& threadUrl,
                      const QString& category,
                      const QString& board,
                      int knownMaximum,
                      bool offline);

    // How the last download of the thread ended.
    using DownloadResult = ThreadDownload::Result;

    // Downloads and re-parses the whole thread when forced or when fewer
    // messages are loaded than known to exist. False when a download was
    // made and failed (lastDownload says how); the loaded messages stay.
    bool Download(bool force);

    DownloadResult lastDownload() const { return m_download.last(); }

    // True when the last download found the thread in the board's archive of
    // past threads because the live server no longer has it.
    bool fromArchive() const { return m_download.fromArchive(); }

    // Bytes the last download took over the network, all its requests together.
    qint64 lastBytesTransferred() const { return m_download.bytesTransferred(); }

    // What is kept of the last ".dat" download next to the log.
    using DatState = ThreadDownload::DatState;

    QString datStatePath() const { return m_download.datStatePath(); }

    std::optional<DatState> loadDatState() const { return m_download.loadDatState(); }

    QString Get_ThreadURL() const { return m_threadUrl; }

    QString key() const { return m_key; }

    QString title() const { return m_title; }

    bool isHtml() const { return m_html; }

    QString logPath() const { return m_log.path(); }

    // Writes the read position now. False when it could not be written.
    bool Save_Index();
    // Writes a position changed by reading that is still held in memory: at
    // once (leaving the thread or board, the end), or only when a second has
    // passed since the last write (the periodic tick).
    bool Flush_Index();
    bool Flush_IndexIfDue();

    // The clock the once-a-second rule of the position file runs on.
    void setClock(ReadPositions::Clock clock) { m_log.setClock(std::move(clock)); }

    int indexWriteCount() const { return m_log.positionWriteCount(); }

    // Told the sentence to speak when the log or the read position cannot be
    // written: once, until a save of that kind works again.
    void setWriteFailureHandler(std::function<void(const QString&)> handler)
    {
        m_log.setWriteFailureHandler(std::move(handler));
    }

    // Reading side. A message number of -1 means the current position.
    int Get_MessageCurrentNum() const { return m_position; }

    int Get_MessageLoadedNum() const { return int(m_messages.size()); }

    // The loaded messages, in order (message n at n - 1).
    const QList<Message>& messages() const { return m_messages; }

    int Get_MessageMaxNum() const { return m_maximum; }

    bool Have_Message() const;
    void Set_Index(int n);
    bool Move_Index(int delta);
    void Rewind_Index();
    QString Get_Message(int delta);
    QString Get_OrgHeader(int n) const;
    QString Get_OrgBody(int n) const;
    QString Get_OrgMessage(int n) const;
    QString Get_ReadHeader(int n, bool find, bool noNumber, bool allItems) const;
    QString Get_FindMessage(int n, bool noNumber) const;
    QString Get_AllReadMessage(int n) const;
    int Get_LineNum() const;

    // The message n (1-based), or nullptr outside the loaded range.
    const Message* message(int n) const;

    // Parsers, exposed for tests: the messages of a ".dat" text and of an HTML
    // thread page; nothing when the text holds no message at all.
    static std::optional<QList<Message>> parseDat(const QString& text);
    static std::optional<QList<Message>> parseHtml(const QString& page);

    // The six fields as a line of the ".log", and back.
    static QString logLine(const Message& m) { return ThreadLog::logLine(m); }

    // The ".log" bytes of the messages from index `from` on.
    static QByteArray logBytes(const QList<Message>& messages, qsizetype from = 0)
    {
        return ThreadLog::logBytes(messages, from);
    }

    static Message fromLogLine(const QString& line) { return ThreadLog::fromLogLine(line); }

private:
    bool loadThread();
    bool CheckHeadlineBoard() const;
    bool FollowHeadlineLink();
    int resolve(int n) const;

    QString m_dataRoot;
    const CSettings& m_settings;
    const BoardList* m_boards = nullptr;
    QString m_title;
    QString m_threadUrl;
    QString m_key;
    bool m_html = false;
    QString m_folder;
    int m_maximum = 0;
    int m_position = 0;
    bool m_offline = false;
    QList<Message> m_messages;
    ThreadLog m_log;
    ThreadDownload m_download{m_messages, m_log};
};
