#include "BookmarkItaList.h"

#include <QDir>
#include <QFileInfo>

#include "bbs/TextFile.h"

using namespace Qt::StringLiterals;

BookmarkItaList::BookmarkItaList(const QString& dataRoot)
    : m_path(QDir(dataRoot).filePath(u"bookmark_ita.list"_s))
{}

void BookmarkItaList::InitInstance()
{
    m_entries.clear();
    if (!QFileInfo::exists(m_path)) {
        TextFile::writeLines(m_path, {});
        return;
    }
    const std::optional<QStringList> lines = TextFile::readLines(m_path);
    if (!lines) {
        return;
    }
    for (const QString& line : *lines) {
        const QStringList f = line.split(u',');
        if (f.size() == 2) {
            m_entries.append(Entry{f.at(0), f.at(1)});
        }
    }
}

void BookmarkItaList::Add(const QString& category, const QString& board)
{
    if (category.isEmpty() || board.isEmpty() || category.contains(u',') || board.contains(u',')
        || Exist(category, board)) {
        return;
    }
    m_entries.append(Entry{category, board});
    TextFile::appendLines(m_path, {category + u',' + board});
}

void BookmarkItaList::Remove(int index)
{
    if (index < 1 || index > m_entries.size()) {
        return;
    }
    m_entries.removeAt(index - 1);
    rewrite();
}

void BookmarkItaList::move(int from, int to)
{
    if (from < 1 || from > m_entries.size() || to < 1 || to > m_entries.size()) {
        return;
    }
    m_entries.move(from - 1, to - 1);
    rewrite();
}

bool BookmarkItaList::Exist(const QString& category, const QString& board) const
{
    for (const Entry& e : m_entries) {
        if (e.category == category && e.board == board) {
            return true;
        }
    }
    return false;
}

const BookmarkItaList::Entry* BookmarkItaList::entry(int index) const
{
    if (m_entries.isEmpty() || index < 1) {
        return nullptr;
    }
    return &m_entries.at(qMin<qsizetype>(index, m_entries.size()) - 1);
}

QString BookmarkItaList::Get_Category(int index) const
{
    const Entry* e = entry(index);
    return e ? e->category : QString();
}

QString BookmarkItaList::Get_Board(int index) const
{
    const Entry* e = entry(index);
    return e ? e->board : QString();
}

QString BookmarkItaList::Get_ItemText(int index) const
{
    return Get_Board(index);
}

QStringList BookmarkItaList::Get_ItemTexts() const
{
    QStringList texts{QString()};
    for (int i = 1; i <= m_entries.size(); ++i) {
        texts.append(Get_ItemText(i));
    }
    return texts;
}

void BookmarkItaList::rewrite() const
{
    QStringList lines;
    for (const Entry& e : m_entries) {
        lines.append(e.category + u',' + e.board);
    }
    TextFile::writeLines(m_path, lines);
}
