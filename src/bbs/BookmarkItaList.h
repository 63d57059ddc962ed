#pragma once

// The user's bookmarked boards, in the user's order, mirrored in
// "bookmark_ita.list" (category and board per line). Entries count from 1.

#include <QString>
#include <QStringList>

#include "base/FieldListFile.h"

class BookmarkItaList
{
public:
    explicit BookmarkItaList(const QString& dataRoot);

    // As their twins of BookmarkList: false when the file was not written.
    bool InitInstance();
    bool Add(const QString& category, const QString& board);

    bool Remove(int index) { return m_file.remove(index); }

    bool move(int from, int to) { return m_file.move(from, to); }

    bool Exist(const QString& category, const QString& board) const;

    int Get_Num() const { return m_file.count(); }

    // An index above the count is lowered to the last entry.
    QString Get_Category(int index) const { return field(index, 0); }

    QString Get_Board(int index) const { return field(index, 1); }

    QString Get_ItemText(int index) const { return Get_Board(index); }

    // Element 0 is an empty sentinel; the texts count from 1.
    QStringList Get_ItemTexts() const;

    QString filePath() const { return m_file.path(); }

private:
    QString field(int index, int position) const;

    FieldListFile m_file;
};
