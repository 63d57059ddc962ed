#pragma once

// A board's "thread.idx": the read position of each of its threads, one line
// "key,position" per thread, rewritten whole (atomically) on every save.
//
// Positions change at every message read; record() keeps them in memory and
// writes the file at most once a second while they keep changing: the first
// change after a quiet second is written at once, the later ones when
// saveIfDue() is called after the second has passed. saveNow() writes what is
// pending at once (leaving a thread or board, the end of the program). A crash
// thus loses at most the last second of reading.

#include <functional>

#include <QList>
#include <QString>

class ReadPositions
{
public:
    // Milliseconds from any fixed start; injectable for tests.
    using Clock = std::function<qint64()>;
    static constexpr qint64 kSaveIntervalMs = 1000;

    ReadPositions();

    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Reads the file, creating it empty when missing. Lines that do not split
    // into exactly two fields are skipped; for a repeated key the last wins.
    // The file read is the one record() and the saves write.
    void load(const QString& path);
    bool save(const QString& path) const;

    // The position recorded for the key, 0 when none.
    int position(const QString& key) const;
    void setPosition(const QString& key, int position);

    // Sets the position and writes the file when a second has passed since
    // the last write; otherwise the write waits for saveIfDue or saveNow.
    // False when a write was made and failed.
    bool record(const QString& key, int position);
    // Writes the pending change when a second has passed since the last write.
    bool saveIfDue();
    // Writes the pending change at once; true when nothing is pending.
    bool saveNow();
    // Writes the file at once, pending or not.
    bool write();

    bool pending() const { return m_pending; }

    // Writes of the file made so far (for measuring).
    int writeCount() const { return m_writes; }

private:
    struct Entry
    {
        QString key;
        int position = 0;
    };

    QList<Entry> m_entries;
    QString m_path;
    Clock m_clock;
    qint64 m_lastWrite = 0;
    bool m_written = false;
    bool m_pending = false;
    int m_writes = 0;
};
