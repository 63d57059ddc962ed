#pragma once

// The user's bookmarked boards, in the user's order, mirrored in
// "bookmark_ita.list" (category and board per line). Entries count from 1.

#include <QList>
#include <QString>
#include <QStringList>

class BookmarkItaList
{
public:
    explicit BookmarkItaList(const QString& dataRoot);

    void InitInstance();
    void Add(const QString& category, const QString& board);
    void Remove(int index);
    void move(int from, int to);
    bool Exist(const QString& category, const QString& board) const;

    int Get_Num() const { return int(m_entries.size()); }

    // An index above the count is lowered to the last entry.
    QString Get_Category(int index) const;
    QString Get_Board(int index) const;
    QString Get_ItemText(int index) const;
    // Element 0 is an empty sentinel; the texts count from 1.
    QStringList Get_ItemTexts() const;

    QString filePath() const { return m_path; }

private:
    struct Entry
    {
        QString category;
        QString board;
    };

    const Entry* entry(int index) const;
    void rewrite() const;

    QString m_path;
    QList<Entry> m_entries;
};
