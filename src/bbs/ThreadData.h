#pragma once

// The messages of the open thread and the user's read position in it. Loading
// downloads the thread's ".dat" (or, on boards served as HTML, its page),
// parses it into six fields per message and keeps it as the thread's ".log",
// which is what is read offline. The reading side builds the headers and
// bodies the program shows and speaks. One object is reused: InitInstance
// replaces the previous thread. Messages count from 1; position 0 means
// nothing has been read yet.

#include <functional>
#include <optional>

#include <QList>
#include <QString>

#include "base/TextCodec.h"
#include "bbs/ReadPositions.h"

class BoardList;
class CHttp;
class CSettings;

class ThreadData
{
public:
    // Headline threads that point to further headline threads are followed at
    // most this many times.
    static constexpr int kMaxHeadlineHops = 4;

    struct Message
    {
        QString name;
        QString mail;
        QString date;
        QString body;  // line breaks kept as "<br>"
        QString id;
        QString host;
    };

    ThreadData(const QString& dataRoot, const CSettings& settings);

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
    enum class DownloadResult
    {
        None,    // nothing was fetched
        Done,    // the whole file arrived
        Failed,  // broken off, timed out, refused, or no thread data in it
        Gone,    // the server says the thread is not there (404, 410)
    };

    // Downloads and re-parses the whole thread when forced or when fewer
    // messages are loaded than known to exist. False when a download was
    // made and failed (lastDownload says how); the loaded messages stay.
    bool Download(bool force);

    DownloadResult lastDownload() const { return m_lastDownload; }

    // True when the last download found the thread in the board's archive of
    // past threads because the live server no longer has it.
    bool fromArchive() const { return m_fromArchive; }

    // Bytes the last download took over the network, all its requests together.
    qint64 lastBytesTransferred() const { return m_bytesTransferred; }

    // The ".dat" as last downloaded: how many of its bytes (up to its last
    // line feed) the log holds, in how many messages, and the server's
    // validators for it. Kept in a small file next to the log, so that a
    // later download asks only for what was added.
    struct DatState
    {
        qint64 length = 0;
        int messages = 0;
        bool utf8 = false;
        // The Japanese encoding the file was found in; added bytes are read
        // in it, since a few lines alone can pass for another. Unknown in
        // records written before it was kept.
        std::optional<TextCodec::JapaneseEncoding> japanese;
        QByteArray lastModified;
        QByteArray etag;
    };

    QString datStatePath() const;
    std::optional<DatState> loadDatState() const;

    QString Get_ThreadURL() const { return m_threadUrl; }

    QString key() const { return m_key; }

    QString title() const { return m_title; }

    bool isHtml() const { return m_html; }

    QString logPath() const { return m_logPath; }

    // Writes the read position now. False when it could not be written.
    bool Save_Index();
    // Writes a position changed by reading that is still held in memory: at
    // once (leaving the thread or board, the end), or only when a second has
    // passed since the last write (the periodic tick).
    bool Flush_Index();
    bool Flush_IndexIfDue();

    // The clock the once-a-second rule of the position file runs on.
    void setClock(ReadPositions::Clock clock) { m_positions.setClock(std::move(clock)); }

    int indexWriteCount() const { return m_positions.writeCount(); }

    // Told the sentence to speak when the log or the read position cannot be
    // written: once, until a save of that kind works again.
    void setWriteFailureHandler(std::function<void(const QString&)> handler)
    {
        m_onWriteFailure = std::move(handler);
    }

    // Reading side. A message number of -1 means the current position.
    int Get_MessageCurrentNum() const { return m_position; }

    int Get_MessageLoadedNum() const { return int(m_messages.size()); }

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
    static QString logLine(const Message& m);
    // The ".log" bytes of the messages from index `from` on: what
    // TextFile::writeLines makes of their logLine, without a string per line.
    static QByteArray logBytes(const QList<Message>& messages, qsizetype from = 0);
    static Message fromLogLine(const QString& line);

private:
    bool loadThread();
    bool LoadLog();
    bool SaveLog(const QList<Message>& before) const;
    void LoadReadPosition();
    bool ParseDat();
    // How one address answered.
    enum class Fetch
    {
        Done,       // the log holds the thread as the server has it
        Rewritten,  // the file changed other than by appending
        Gone,       // 404 or 410
        Failed,
    };
    Fetch fetchAdded(const QString& url, const DatState& held);
    Fetch fetchWhole(const QString& url);
    Fetch takeWhole(const QByteArray& bytes);
    void noteValidators(DatState& state) const;
    bool saveDatState(const DatState& state) const;
    std::optional<DatState> heldDat() const;
    bool ParseHtml();
    bool CheckHeadlineBoard() const;
    bool FollowHeadlineLink();
    bool adopt(std::optional<QList<Message>> parsed);
    // Judges the answer of the request just made; true when it may be parsed.
    bool judgeAnswer(const QString& text);
    int resolve(int n) const;
    QString indexPath() const;
    bool noteIndexWrite(int writesBefore, bool written);

    QString m_dataRoot;
    const CSettings& m_settings;
    const BoardList* m_boards = nullptr;
    CHttp* m_http = nullptr;
    QString m_title;
    QString m_threadUrl;
    QString m_key;
    bool m_html = false;
    QString m_category;
    QString m_board;
    QString m_folder;
    QString m_logPath;
    int m_maximum = 0;
    int m_position = 0;
    bool m_offline = false;
    bool m_logCreated = false;
    DownloadResult m_lastDownload = DownloadResult::None;
    bool m_fromArchive = false;
    qint64 m_bytesTransferred = 0;
    QList<Message> m_messages;
    ReadPositions m_positions;
    std::function<void(const QString&)> m_onWriteFailure;
    mutable bool m_logFailing = false;
    // Messages the log on disk holds exactly, line for line; -1 unknown.
    mutable qsizetype m_logLines = -1;
    bool m_indexFailing = false;
};
