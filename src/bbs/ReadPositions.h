#pragma once

// A board's "thread.idx": the read position of each of its threads, one line
// "key,position" per thread, rewritten whole on every save.

#include <QList>
#include <QString>

class ReadPositions
{
public:
    // Reads the file, creating it empty when missing. Lines that do not split
    // into exactly two fields are skipped; for a repeated key the last wins.
    void load(const QString& path);
    bool save(const QString& path) const;

    // The position recorded for the key, 0 when none.
    int position(const QString& key) const;
    void setPosition(const QString& key, int position);

private:
    struct Entry
    {
        QString key;
        int position = 0;
    };

    QList<Entry> m_entries;
};
