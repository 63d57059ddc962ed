#include "LogManager.h"

#include <QDir>

#include "base/SafeName.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkList.h"
#include "bbs/ThreadList.h"

using namespace Qt::StringLiterals;

namespace {

bool isTenDigits(const QString& key)
{
    if (key.size() != 10) {
        return false;
    }
    for (const QChar c : key) {
        if (c.unicode() < u'0' || c.unicode() > u'9') {
            return false;
        }
    }
    return true;
}

}  // namespace

LogManager::LogManager(const QString& dataRoot)
    : m_dataRoot(dataRoot)
{}

void LogManager::Delete(CHttp& http, const BoardList& boards, const BookmarkList& bookmarks)
{
    for (int c = 1; c <= boards.Get_CategoryNum(); ++c) {
        for (int p = 1; p <= boards.Get_BoardNum(c); ++p) {
            Delete_in_board(http, boards, bookmarks, c, p);
        }
    }
}

void LogManager::Delete_in_board(
    CHttp& http, const BoardList& boards, const BookmarkList& bookmarks, int category, int position)
{
    const QString categoryName = boards.Get_Category(category);
    const QString boardName = boards.Get_BoardName(category, position);
    if (categoryName.isEmpty() || boardName.isEmpty()) {
        return;
    }
    QDir folder(SafeName::boardFolder(m_dataRoot, categoryName, boardName));
    if (!folder.exists() || folder.entryList(QDir::Files).isEmpty()) {
        return;
    }
    ThreadList list(m_dataRoot);
    bool offline = true;
    if (!list.InitInstance(http, boards.Get_BoardUrl(category, position), categoryName, boardName, &bookmarks,
                           offline)) {
        return;
    }
    for (const QString& file : folder.entryList({u"*.log"_s}, QDir::Files)) {
        const QString key = file.left(file.size() - 4);
        if (!list.Exist(key) && !bookmarks.Exist(categoryName, boardName, key) && isTenDigits(key)) {
            folder.remove(file);
            folder.remove(key + u".datinfo"_s);
        }
    }
}
