#pragma once

// The user's bookmarked threads, in the user's order, mirrored in
// "bookmark.list" (category, board, thread title, thread key per line).
// Entries count from 1. A thread is identified by category, board and key.

#include <QList>
#include <QString>
#include <QStringList>

class BookmarkList
{
public:
    explicit BookmarkList(const QString& dataRoot);

    // Loads the file, creating it empty when missing.
    void InitInstance();
    // Appends the entry (and its line) unless a field is empty or the thread is
    // already bookmarked.
    void
    Add(const QString& category, const QString& board, const QString& threadName, const QString& threadNo);
    void Remove(int index);
    void move(int from, int to);
    bool Exist(const QString& category, const QString& board, const QString& threadNo) const;

    int Get_Num() const { return int(m_entries.size()); }

    // An index above the count is lowered to the last entry.
    QString Get_Category(int index) const;
    QString Get_Board(int index) const;
    QString Get_ThreadName(int index) const;
    QString Get_ThreadNo(int index) const;
    QString Get_ItemText(int index) const;
    // Element 0 is an empty sentinel; the texts count from 1.
    QStringList Get_ItemTexts() const;

    QString filePath() const { return m_path; }

private:
    struct Entry
    {
        QString category;
        QString board;
        QString threadName;
        QString threadNo;
    };

    const Entry* entry(int index) const;
    static QString lineOf(const Entry& e);
    void rewrite() const;

    QString m_path;
    QList<Entry> m_entries;
};
