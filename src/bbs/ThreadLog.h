#pragma once

// Where a thread is kept on disk: its ".log", one line of six fields per
// message, which is what is read offline, and the read positions of its
// board ("thread.idx"). A save that only adds messages to those the log holds
// appends them; any other change rewrites the log whole, atomically. A write
// that fails is told once, until a write of that kind works again.

#include <functional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "bbs/ReadPositions.h"
#include "bbs/ThreadMessage.h"

class ThreadLog
{
public:
    // Points at the thread `key` of the board folder `folder`; nothing is
    // read yet. A key that is no safe file name names no log: path() is
    // empty, and load and save fail.
    void open(const QString& folder, const QString& key);

    QString folder() const { return m_folder; }

    QString key() const { return m_key; }

    QString path() const { return m_path; }

    // Reads the log into `messages` (at most ThreadMessage::kMax of them),
    // creating an empty log when there is none. False when it could not be
    // read or created.
    bool load(QList<ThreadMessage>& messages);

    // True when load found no log and made the empty one.
    bool created() const { return m_created; }

    // Removes the empty log that load made, when it made one.
    void removeCreated();

    // Messages the log on disk holds exactly, line for line; -1 unknown.
    qsizetype linesOnDisk() const { return m_lines; }

    // Writes `messages`, which were `before` when the log last held them.
    bool save(const QList<ThreadMessage>& messages, const QList<ThreadMessage>& before);

    // The six fields as a line of the log, and back.
    static QString logLine(const ThreadMessage& m);
    static ThreadMessage fromLogLine(const QString& line);
    // The log bytes of the messages from index `from` on: what
    // TextFile::writeLines makes of their logLine, without a string per line.
    static QByteArray logBytes(const QList<ThreadMessage>& messages, qsizetype from = 0);

    // Reads the board's positions (creating the file when missing) and
    // returns the thread's.
    int loadPosition();
    // The position reached by reading: written at once when a second has
    // passed since the last write, else by flushPositionIfDue or flushPosition.
    bool recordPosition(int position);
    // Writes the position now.
    bool savePosition(int position);
    bool flushPosition();
    bool flushPositionIfDue();

    void setClock(ReadPositions::Clock clock) { m_positions.setClock(std::move(clock)); }

    int positionWriteCount() const { return m_positions.writeCount(); }

    // Told the sentence to speak when the log or a read position cannot be written.
    void setWriteFailureHandler(std::function<void(const QString&)> handler)
    {
        m_onWriteFailure = std::move(handler);
    }

private:
    bool notePositionWrite(int writesBefore, bool written);

    QString m_folder;
    QString m_key;
    QString m_path;
    bool m_created = false;
    qsizetype m_lines = -1;
    bool m_logFailing = false;
    ReadPositions m_positions;
    bool m_positionFailing = false;
    std::function<void(const QString&)> m_onWriteFailure;
};
