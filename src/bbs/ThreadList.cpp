#include "ThreadList.h"

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "base/SafeName.h"
#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/HtmlText.h"

using namespace Qt::StringLiterals;

namespace {

// Longer lines in a subject.txt are damage, not threads.
constexpr qsizetype kMaxLineLength = 4096;

const QString kOrderFile = u"/thread.order"_s;

// The words "thread.order" holds, by Order.
constexpr const char16_t* kOrderWords[] = {u"board", u"busiest", u"new"};

QString threeDigits(int value)
{
    return QString::number(value).rightJustified(3, u'0');
}

}  // namespace

ThreadList::ThreadList(const QString& dataRoot)
    : m_dataRoot(dataRoot)
{}

bool ThreadList::splitBoardUrl(const QString& boardUrl, QString& host, QString& directory)
{
    const QStringList parts = boardUrl.split(u'/');
    if (parts.size() < 4 || parts.at(2).isEmpty() || parts.at(3).isEmpty()) {
        return false;
    }
    host = parts.at(2);
    directory = parts.at(3);
    return true;
}

QList<ThreadList::Thread> ThreadList::parseSubject(const QString& text)
{
    static const VbRegExp line(u"^(.*)\\.(dat|cgi)(<>|,)(.*)[<\\(（]([0-9]{1,4})[>\\)）]$"_s, false, false);
    QList<Thread> threads;
    const QStringList lines = text.split(u'\n');
    // The piece after the last line feed is not a line.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QString l = lines.at(i);
        if (l.endsWith(u'\r')) {
            l.chop(1);
        }
        if (l.size() > kMaxLineLength) {
            continue;
        }
        const QList<VbMatch> m = line.Execute(l);
        if (m.isEmpty()) {
            continue;
        }
        const QStringList& g = m.first().SubMatches;
        QString title = HtmlText::oneLine(HtmlText::decodeEntities(g.value(3)));
        title.replace(u',', u'、');
        threads.append(Thread{g.value(0), title.trimmed(), g.value(4).toInt()});
    }
    return threads;
}

QString ThreadList::logPath(const QString& key) const
{
    return SafeName::isSafeKey(key) ? m_folder + u'/' + key + u".log"_s : QString();
}

bool ThreadList::InitInstance(CHttp& http,
                              const QString& boardUrl,
                              const QString& category,
                              const QString& board,
                              const BookmarkList* bookmarks,
                              bool& offline)
{
    // A reload of the same board that fails keeps the threads it had.
    const QString previousFolder = m_folder;
    QList<Thread> previous;
    previous.swap(m_threads);
    m_folder = SafeName::boardFolder(m_dataRoot, category, board);
    const auto keepPrevious = [&] {
        if (m_folder == previousFolder) {
            m_threads.swap(previous);
        }
        return false;
    };
    m_htmlBoard = category.contains(u"まちＢＢＳ"_s) || board.contains(u"まちＢＢＳ"_s);
    QString host;
    QString directory;
    if (splitBoardUrl(boardUrl, host, directory)) {
        // The board's files are fetched as the menu links the board: https
        // where it says https, plain http only where it says http.
        const QString origin =
            (boardUrl.startsWith(u"https:"_s, Qt::CaseInsensitive) ? u"https://"_s : u"http://"_s) + host;
        m_subjectUrl = origin + u'/' + directory + u"/subject.txt"_s;
        m_threadUrlPrefix = m_htmlBoard ? origin + u"/bbs/read.cgi?BBS="_s + directory + u"&KEY="_s
                                        : origin + u"/test/read.cgi/"_s + directory + u'/';
    } else {
        m_subjectUrl.clear();
        m_threadUrlPrefix.clear();
    }

    m_listSaved = true;
    QDir().mkpath(m_folder);
    const QString indexPath = m_folder + u"/thread.idx"_s;
    const QString listPath = m_folder + u"/thread.list"_s;
    m_positions.load(indexPath);

    if (offline) {
        const std::optional<QStringList> lines = TextFile::readLines(listPath);
        if (!lines) {
            return false;
        }
        for (const QString& l : *lines) {
            const QStringList f = l.split(u',');
            if (f.size() != 3) {
                continue;
            }
            const QString log = logPath(f.at(0));
            if (!log.isEmpty() && QFileInfo::exists(log)) {
                m_threads.append(Thread{f.at(0), f.at(1), f.at(2).trimmed().toInt()});
            }
        }
    } else {
        if (m_subjectUrl.isEmpty()) {
            return false;
        }
        const QString text = http.Get2(m_subjectUrl);
        // Only a whole answer replaces the stored list. A list of one thread
        // is a list; an empty answer is a board without threads, but text
        // that names no thread at all (an error page) is no list.
        const int status = http.lastStatus();
        if (!http.lastComplete() || status < 200 || status >= 300) {
            return keepPrevious();
        }
        QList<Thread> parsed = parseSubject(text);
        if (parsed.isEmpty() && !text.trimmed().isEmpty()) {
            return keepPrevious();
        }
        m_threads = std::move(parsed);
        QStringList lines;
        lines.reserve(m_threads.size());
        for (const Thread& t : std::as_const(m_threads)) {
            lines.append(t.key + u',' + t.title + u',' + QString::number(t.count));
        }
        m_listSaved = TextFile::writeLines(listPath, lines);
    }

    if (bookmarks) {
        for (int i = 1; i <= bookmarks->Get_Num(); ++i) {
            if (bookmarks->Get_Category(i) != category || bookmarks->Get_Board(i) != board) {
                continue;
            }
            const QString key = bookmarks->Get_ThreadNo(i);
            const QString log = logPath(key);
            if (!Exist(key) && !log.isEmpty() && QFileInfo::exists(log)) {
                m_threads.append(Thread{key, bookmarks->Get_ThreadName(i), -1});
            }
        }
    }
    for (qsizetype i = 0; i < m_threads.size(); ++i) {
        m_threads[i].position = int(i);
    }
    m_order = Order::Board;
    if (const std::optional<QStringList> stored = TextFile::readLines(m_folder + kOrderFile)) {
        for (int k = 0; k < kOrderCount; ++k) {
            if (stored->value(0).trimmed() == QString::fromUtf16(kOrderWords[k])) {
                m_order = Order(k);
            }
        }
    }
    applyOrder();
    return true;
}

QString ThreadList::orderName(Order order)
{
    switch (order) {
    case Order::Busiest:
        return u"勢いの順"_s;
    case Order::NewFirst:
        return u"新着のあるスレッドを先"_s;
    case Order::Board:
        break;
    }
    return u"板の順"_s;
}

double ThreadList::momentum(const Thread& thread, qint64 now)
{
    bool ok = false;
    const qint64 started = thread.key.toLongLong(&ok);
    if (!ok || thread.count < 0) {
        return -1.0;
    }
    // A thread of a minute or less counts as a minute old, and a key in the
    // future (a clock off) as just begun.
    const qint64 seconds = qMax<qint64>(now - started, 60);
    return double(thread.count) * 86400.0 / double(seconds);
}

void ThreadList::applyOrder()
{
    const auto byPosition = [](const Thread& a, const Thread& b) { return a.position < b.position; };
    std::sort(m_threads.begin(), m_threads.end(), byPosition);
    if (m_order == Order::Busiest) {
        const qint64 now = m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch();
        QList<double> rates(m_threads.size());
        for (const Thread& t : std::as_const(m_threads)) {
            rates[t.position] = momentum(t, now);
        }
        std::stable_sort(m_threads.begin(), m_threads.end(), [&](const Thread& a, const Thread& b) {
            return rates.at(a.position) > rates.at(b.position);
        });
    } else if (m_order == Order::NewFirst) {
        m_positions.load(m_folder + u"/thread.idx"_s);
        const auto hasNew = [this](const Thread& t) {
            const int read = m_positions.position(t.key);
            return read > 0 && t.count > read;
        };
        std::stable_partition(m_threads.begin(), m_threads.end(), hasNew);
    }
}

bool ThreadList::setOrder(Order order)
{
    m_order = order;
    applyOrder();
    return TextFile::writeLines(m_folder + kOrderFile, {QString::fromUtf16(kOrderWords[int(order)])});
}

QString ThreadList::Get_ThreadName(int index) const
{
    return index >= 1 && index <= m_threads.size() ? m_threads.at(index - 1).title : QString();
}

QString ThreadList::Get_ThreadNo(int index) const
{
    return index >= 1 && index <= m_threads.size() ? m_threads.at(index - 1).key : QString();
}

QString ThreadList::Get_ThreadURL(int index) const
{
    return index >= 1 && index <= m_threads.size() ? m_threadUrlPrefix + m_threads.at(index - 1).key
                                                   : QString();
}

int ThreadList::Get_MessageNum(int index) const
{
    return index >= 1 && index <= m_threads.size() ? m_threads.at(index - 1).count : 0;
}

int ThreadList::Get_CurrentNum(int index) const
{
    return index >= 1 && index <= m_threads.size() ? m_positions.position(m_threads.at(index - 1).key) : 0;
}

bool ThreadList::Exist(const QString& key) const
{
    for (const Thread& t : m_threads) {
        if (t.key == key) {
            return true;
        }
    }
    return false;
}

QStringList ThreadList::Get_ThreadNames()
{
    m_positions.load(m_folder + u"/thread.idx"_s);
    QStringList names{QString()};
    for (int i = 1; i <= m_threads.size(); ++i) {
        const int read = Get_CurrentNum(i);
        const int total = Get_MessageNum(i);
        const QString& title = m_threads.at(i - 1).title;
        if (total < 0) {
            names.append(threeDigits(read) + u"/--- "_s + title + u"(DAT落ち)"_s);
        } else if (read < total) {
            names.append(threeDigits(read) + u'/' + threeDigits(total) + u' ' + title + u"(未読"_s
                         + QString::number(total - read) + u')');
        } else {
            names.append(threeDigits(read) + u'/' + threeDigits(total) + u' ' + title);
        }
    }
    return names;
}
