#pragma once

// Removes the logs of threads that a board's last downloaded thread list no
// longer names and that the user has not bookmarked. Only "<ten digits>.log"
// files are ever candidates; every other file stays.

#include <QString>

class BoardList;
class BookmarkList;
class CHttp;

class LogManager
{
public:
    explicit LogManager(const QString& dataRoot);

    // Cleans every board of the board list.
    void Delete(CHttp& http, const BoardList& boards, const BookmarkList& bookmarks);
    // Cleans one board (category index, position within the category).
    void Delete_in_board(
        CHttp& http, const BoardList& boards, const BookmarkList& bookmarks, int category, int position);

private:
    QString m_dataRoot;
};
