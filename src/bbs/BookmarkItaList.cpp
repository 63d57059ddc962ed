#include "BookmarkItaList.h"

#include <QDir>

using namespace Qt::StringLiterals;

BookmarkItaList::BookmarkItaList(const QString& dataRoot)
    : m_file(QDir(dataRoot).filePath(u"bookmark_ita.list"_s), 2)
{}

bool BookmarkItaList::InitInstance()
{
    return m_file.load();
}

bool BookmarkItaList::Add(const QString& category, const QString& board)
{
    if (category.isEmpty() || board.isEmpty() || Exist(category, board)) {
        return false;
    }
    return m_file.append({category, board});
}

bool BookmarkItaList::Exist(const QString& category, const QString& board) const
{
    return m_file.find({0, 1}, {category, board}) > 0;
}

QString BookmarkItaList::field(int index, int position) const
{
    const QStringList* e = m_file.entry(index);
    return e ? e->value(position) : QString();
}

QStringList BookmarkItaList::Get_ItemTexts() const
{
    QStringList texts{QString()};
    for (int i = 1; i <= Get_Num(); ++i) {
        texts.append(Get_ItemText(i));
    }
    return texts;
}
