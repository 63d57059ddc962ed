#include "BookmarkList.h"

#include <QDir>

#include "bbs/HtmlText.h"

using namespace Qt::StringLiterals;

BookmarkList::BookmarkList(const QString& dataRoot)
    : m_file(QDir(dataRoot).filePath(u"bookmark.list"_s), 4)
{}

bool BookmarkList::InitInstance()
{
    return m_file.load();
}

bool BookmarkList::Add(const QString& category,
                       const QString& board,
                       const QString& threadName,
                       const QString& threadNo)
{
    if (category.isEmpty() || board.isEmpty() || threadName.isEmpty() || threadNo.isEmpty()
        || Exist(category, board, threadNo)) {
        return false;
    }
    // Titles normally have their commas replaced already; one that has not
    // is made to fit its field.
    return m_file.append({category, board, HtmlText::oneLine(threadName).replace(u',', u'、'), threadNo});
}

bool BookmarkList::Exist(const QString& category, const QString& board, const QString& threadNo) const
{
    return m_file.find({0, 1, 3}, {category, board, threadNo}) > 0;
}

QString BookmarkList::field(int index, int position) const
{
    const QStringList* e = m_file.entry(index);
    return e ? e->value(position) : QString();
}

QString BookmarkList::Get_ItemText(int index) const
{
    const QStringList* e = m_file.entry(index);
    return e ? e->value(1) + u"板のスレッド, "_s + e->value(2) : QString();
}

QStringList BookmarkList::Get_ItemTexts() const
{
    QStringList texts{QString()};
    for (int i = 1; i <= Get_Num(); ++i) {
        texts.append(Get_ItemText(i));
    }
    return texts;
}
