#pragma once

// The user's bookmarked threads, in the user's order, mirrored in
// "bookmark.list" (category, board, thread title, thread key per line).
// Entries count from 1. A thread is identified by category, board and key.

#include <QString>
#include <QStringList>

#include "base/FieldListFile.h"

class BookmarkList
{
public:
    explicit BookmarkList(const QString& dataRoot);

    // Loads the file, creating it empty when missing; false when it could not
    // be created.
    bool InitInstance();
    // Appends the entry (and its line) unless a field is empty or the thread is
    // already bookmarked. True only when the line was written.
    bool
    Add(const QString& category, const QString& board, const QString& threadName, const QString& threadNo);

    // False, and the list unchanged, when the file could not be rewritten.
    bool Remove(int index) { return m_file.remove(index); }

    bool move(int from, int to) { return m_file.move(from, to); }

    bool Exist(const QString& category, const QString& board, const QString& threadNo) const;

    int Get_Num() const { return m_file.count(); }

    // An index above the count is lowered to the last entry.
    QString Get_Category(int index) const { return field(index, 0); }

    QString Get_Board(int index) const { return field(index, 1); }

    QString Get_ThreadName(int index) const { return field(index, 2); }

    QString Get_ThreadNo(int index) const { return field(index, 3); }

    QString Get_ItemText(int index) const;
    // Element 0 is an empty sentinel; the texts count from 1.
    QStringList Get_ItemTexts() const;

    QString filePath() const { return m_file.path(); }

private:
    QString field(int index, int position) const;

    FieldListFile m_file;
};
