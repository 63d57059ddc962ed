#pragma once

// The threads of one board: key, title and announced message count of each,
// in server order, with the user's read positions from the board's
// "thread.idx". Built when the user enters a board, from "subject.txt" online
// or from the local copy "thread.list" offline; bookmarked threads the server
// dropped but whose log is still on disk are added at the end. Threads count
// from 1.

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

#include "bbs/ReadPositions.h"

class BookmarkList;
class CHttp;

class ThreadList
{
public:
    explicit ThreadList(const QString& dataRoot);

    // True when a list is available. The board folder is named by its
    // category and board; the folder is created when missing.
    bool InitInstance(CHttp& http,
                      const QString& boardUrl,
                      const QString& category,
                      const QString& board,
                      const BookmarkList* bookmarks,
                      bool& offline);

    int Get_ThreadNum() const { return int(m_threads.size()); }

    QString Get_ThreadName(int index) const;
    QString Get_ThreadNo(int index) const;
    QString Get_ThreadURL(int index) const;
    int Get_MessageNum(int index) const;
    int Get_CurrentNum(int index) const;
    bool Exist(const QString& key) const;
    // Element 0 is an empty sentinel; the item texts count from 1.
    QStringList Get_ThreadNames();

    bool isHtmlBoard() const { return m_htmlBoard; }

    // False when the list just downloaded could not be kept in "thread.list":
    // the file then still names the threads of an older list.
    bool listSaved() const { return m_listSaved; }

    QString subjectUrl() const { return m_subjectUrl; }

    QString threadUrlPrefix() const { return m_threadUrlPrefix; }

    QString folderPath() const { return m_folder; }

    // Parses subject.txt text: the threads of every well-formed line ended by
    // LF. Exposed for the log manager and tests.
    struct Thread
    {
        QString key;
        QString title;
        int count = 0;
        int position = 0;  // in the board's own order, from 0
    };

    // The orders the threads can be heard in, kept for each board in its
    // folder's "thread.order": the board's own, the busiest first (勢い:
    // messages a day since the thread began, its key being that moment),
    // and the threads with new messages since the user read them first.
    enum class Order
    {
        Board,
        Busiest,
        NewFirst,
    };
    static constexpr int kOrderCount = 3;

    Order order() const { return m_order; }

    // What the user hears when the order is chosen.
    static QString orderName(Order order);
    // Puts the threads in the order and keeps it for the board; false when
    // it could not be kept (the threads are in the order all the same).
    bool setOrder(Order order);

    // Messages a day; -1 for a thread the server dropped.
    static double momentum(const Thread& thread, qint64 now);

    // The clock the busiest order is worked out by (seconds since the epoch).
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    static QList<Thread> parseSubject(const QString& text);

    // Splits a board URL "scheme://host/dir/" into host (with any port) and
    // board directory; false when it has not that shape.
    static bool splitBoardUrl(const QString& boardUrl, QString& host, QString& directory);

private:
    QString logPath(const QString& key) const;
    void applyOrder();

    QString m_dataRoot;
    QString m_folder;
    bool m_htmlBoard = false;
    bool m_listSaved = true;
    QString m_subjectUrl;
    QString m_threadUrlPrefix;
    QList<Thread> m_threads;
    ReadPositions m_positions;
    Order m_order = Order::Board;
    std::function<qint64()> m_clock;
};
