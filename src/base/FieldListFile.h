#pragma once

// A small list kept in a text file of the data root, one entry per line with
// a fixed number of comma-separated fields, in the user's order. The
// bookmark lists are made of it. Entries count from 1.

#include <QList>
#include <QString>
#include <QStringList>

class FieldListFile
{
public:
    FieldListFile(const QString& path, int fieldCount);

    // Loads the file, creating it empty when missing; lines that do not have
    // exactly the field count are skipped. False when a missing file could
    // not be created.
    bool load();
    // Appends the entry and its line (the file is appended to, not rewritten;
    // a file in UTF-8, as an editor may leave it, is rewritten whole in the
    // program's encoding, its other lines kept).
    // Refused when the field count is wrong or a field holds a comma or a line
    // break, which would shift the fields of the line. False, and the list
    // unchanged, when the line could not be written.
    bool append(const QStringList& fields);
    // Both rewrite the file; when that fails the list stays as the file has
    // it and the result is false.
    bool remove(int index);
    // Moves entry `from` to position `to`, shifting the entries between.
    bool move(int from, int to);

    int count() const { return int(m_entries.size()); }

    // The entry, with an index above the count lowered to the last entry;
    // nullptr when there is none.
    const QStringList* entry(int index) const;
    // The first entry whose fields at the given positions equal the values.
    int find(const QList<int>& positions, const QStringList& values) const;

    QString path() const { return m_path; }

private:
    bool rewrite(const QList<QStringList>& entries);

    QString m_path;
    int m_fieldCount;
    QList<QStringList> m_entries;
    bool m_utf8 = false;
};
