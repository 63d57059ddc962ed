#pragma once

// Brings the messages of a thread up to what its server holds: the ".dat"
// (whole, packed with gzip, or only the bytes added since the last time,
// asked as a range with the server's validators), from the board's archive
// of past threads when the live server no longer has it, or the page of a
// thread on a board served as HTML. What arrives whole and parses is taken
// and kept in the thread's log; a broken or shorter answer changes nothing.

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "base/TextCodec.h"
#include "bbs/ThreadMessage.h"

class CHttp;
class ThreadLog;

class ThreadDownload
{
public:
    // How the last download of the thread ended.
    enum class Result
    {
        None,    // nothing was fetched
        Done,    // the whole file arrived
        Failed,  // broken off, timed out, refused, or no thread data in it
        Gone,    // the server says the thread is not there (404, 410)
    };

    // The ".dat" as last downloaded: how many of its bytes (up to its last
    // line feed) the log holds, in how many messages, and the server's
    // validators for it. Kept in "KEY.datinfo" next to the log, so that a
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

    // The messages downloaded into and the log they are kept in: both owned
    // by the caller, and outliving this object.
    ThreadDownload(QList<ThreadMessage>& messages, ThreadLog& log);

    void setHttp(CHttp* http) { m_http = http; }

    // Forgets the last download (another thread is opened).
    void reset();

    // Downloads the ".dat" of the thread at `threadUrl`
    // ("SCHEME://HOST/test/read.cgi/BOARD/KEY"), whose key is `key`. True
    // when the messages now match the server's copy.
    bool fetchDat(const QString& threadUrl, const QString& key);
    // Downloads the page of a thread on a board served as HTML. True when the
    // page's messages were taken.
    bool fetchHtml(const QString& threadUrl);

    Result last() const { return m_last; }

    bool fromArchive() const { return m_fromArchive; }

    qint64 bytesTransferred() const { return m_bytesTransferred; }

    QString datStatePath() const;
    std::optional<DatState> loadDatState() const;

private:
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
    bool adopt(std::optional<QList<ThreadMessage>> parsed);
    // Judges the answer of the request just made; true when it may be parsed.
    bool judgeAnswer(const QString& threadUrl, const QString& text);

    QList<ThreadMessage>& m_messages;
    ThreadLog& m_log;
    CHttp* m_http = nullptr;
    Result m_last = Result::None;
    bool m_fromArchive = false;
    qint64 m_bytesTransferred = 0;
};
