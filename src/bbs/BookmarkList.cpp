#include "BookmarkList.h"

#include <QDir>
#include <QFileInfo>

#include "bbs/HtmlText.h"
#include "bbs/TextFile.h"

using namespace Qt::StringLiterals;

BookmarkList::BookmarkList(const QString& dataRoot)
    : m_path(QDir(dataRoot).filePath(u"bookmark.list"_s))
{}

void BookmarkList::InitInstance()
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
        if (f.size() == 4) {
            m_entries.append(Entry{f.at(0), f.at(1), f.at(2), f.at(3)});
        }
    }
}

QString BookmarkList::lineOf(const Entry& e)
{
    return e.category + u',' + e.board + u',' + e.threadName + u',' + e.threadNo;
}

void BookmarkList::Add(const QString& category,
                       const QString& board,
                       const QString& threadName,
                       const QString& threadNo)
{
    if (category.isEmpty() || board.isEmpty() || threadName.isEmpty() || threadNo.isEmpty()
        || Exist(category, board, threadNo)) {
        return;
    }
    // A comma or line break in a field would shift the fields of the line;
    // titles normally have their commas replaced already.
    Entry e{category, board, HtmlText::oneLine(threadName).replace(u',', u'、'), threadNo};
    if (e.category.contains(u',') || e.board.contains(u',') || e.threadNo.contains(u',')) {
        return;
    }
    m_entries.append(e);
    TextFile::appendLines(m_path, {lineOf(e)});
}

void BookmarkList::Remove(int index)
{
    if (index < 1 || index > m_entries.size()) {
        return;
    }
    m_entries.removeAt(index - 1);
    rewrite();
}

void BookmarkList::move(int from, int to)
{
    if (from < 1 || from > m_entries.size() || to < 1 || to > m_entries.size()) {
        return;
    }
    m_entries.move(from - 1, to - 1);
    rewrite();
}

bool BookmarkList::Exist(const QString& category, const QString& board, const QString& threadNo) const
{
    for (const Entry& e : m_entries) {
        if (e.category == category && e.board == board && e.threadNo == threadNo) {
            return true;
        }
    }
    return false;
}

const BookmarkList::Entry* BookmarkList::entry(int index) const
{
    if (m_entries.isEmpty() || index < 1) {
        return nullptr;
    }
    return &m_entries.at(qMin<qsizetype>(index, m_entries.size()) - 1);
}

QString BookmarkList::Get_Category(int index) const
{
    const Entry* e = entry(index);
    return e ? e->category : QString();
}

QString BookmarkList::Get_Board(int index) const
{
    const Entry* e = entry(index);
    return e ? e->board : QString();
}

QString BookmarkList::Get_ThreadName(int index) const
{
    const Entry* e = entry(index);
    return e ? e->threadName : QString();
}

QString BookmarkList::Get_ThreadNo(int index) const
{
    const Entry* e = entry(index);
    return e ? e->threadNo : QString();
}

QString BookmarkList::Get_ItemText(int index) const
{
    const Entry* e = entry(index);
    return e ? e->board + u"板のスレッド, "_s + e->threadName : QString();
}

QStringList BookmarkList::Get_ItemTexts() const
{
    QStringList texts{QString()};
    for (int i = 1; i <= m_entries.size(); ++i) {
        texts.append(Get_ItemText(i));
    }
    return texts;
}

void BookmarkList::rewrite() const
{
    QStringList lines;
    for (const Entry& e : m_entries) {
        lines.append(lineOf(e));
    }
    TextFile::writeLines(m_path, lines);
}
