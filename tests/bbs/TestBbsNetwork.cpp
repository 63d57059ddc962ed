// The board data over the network, against the real local board server on
// 127.0.0.1: downloads, logs written and read back offline, headline threads,
// HTML-served boards, posting with its cookie, and the faults of a bad server.

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "support/BoardServerProcess.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

namespace {

const QString kServer = QStringLiteral(BOARDSERVER_PATH);
const QString kSamples = QStringLiteral(SAMPLE_BOARDS_DIR);
const QString kUserAgent = u"Monazilla/1.00 (Yomimaru/1.11) "_s;

// Copies the sample service so that a test may post to it.
bool copyTree(const QString& from, const QString& to)
{
    QDir source(from);
    if (!QDir().mkpath(to)) {
        return false;
    }
    for (const QFileInfo& entry : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target) : !QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

struct Session
{
    TempProfile profile;
    BoardServerProcess server;
    CHttp http;

    bool start(const QStringList& options = {}, int timeoutMs = 30000, const QString& root = kSamples)
    {
        if (!server.start(kServer, root, options)) {
            return false;
        }
        // The server answers for any host name, as a proxy would.
        http.InitInstance(kUserAgent, server.address(), timeoutMs, timeoutMs, timeoutMs);
        http.setHtmlTxtPath(profile.dataRoot() + u"/html.txt"_s);
        QDir().mkpath(profile.dataRoot());
        profile.settings().Set_Named(u"BoardListUrl"_s, QString::fromUtf16(BoardServerProcess::kMenuUrl));
        return true;
    }

    // Position of the board named `board` in category `category`, as (category, position).
    static std::pair<int, int> find(const BoardList& boards, const QString& category, const QString& board)
    {
        for (int c = 1; c <= boards.Get_CategoryNum(); ++c) {
            for (int p = 1; p <= boards.Get_BoardNum(c); ++p) {
                if (boards.Get_Category(c) == category && boards.Get_BoardName(c, p) == board) {
                    return {c, p};
                }
            }
        }
        return {0, 0};
    }
};

}  // namespace

class TestBbsNetwork : public QObject
{
    Q_OBJECT

private slots:
    void onlineThenOffline();
    void headlineThreads_data();
    void headlineThreads();
    void htmlBoardFillsGaps();
    void faults_data();
    void faults();
    void newMessagesAppended_data();
    void newMessagesAppended();
    void brokenDownloadKeepsTheLog_data();
    void brokenDownloadKeepsTheLog();
    void endlessBodyIsCapped();
    void deadlineEndsATrickle();
    void cutOffThreadListIsKept();
    void cutOffMenuKeepsTheBoardList_data();
    void cutOffMenuKeepsTheBoardList();
    void progressAndCancel();
    void postingWithCookie();
    void requestHeaders();
    void serviceMovedTo5chIo();
};

void TestBbsNetwork::onlineThenOffline()
{
    Session s;
    QVERIFY2(s.start(), qPrintable(s.server.errorOutput()));
    BoardList boards(s.profile.settings(), s.profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(s.http, error, offline), qint16(1));
    QVERIFY(QFile::exists(s.profile.dataRoot() + u"/board.list"_s));
    QVERIFY(QFile::exists(s.profile.dataRoot() + u"/html.txt"_s));
    const auto [category, position] = Session::find(boards, u"雑談"_s, u"なんでも雑談"_s);
    QVERIFY(category > 0);

    ThreadList threads(s.profile.dataRoot());
    QVERIFY(threads.InitInstance(s.http, boards.Get_BoardUrl(category, position), u"雑談"_s,
                                 u"なんでも雑談"_s, nullptr, offline));
    QVERIFY(threads.Get_ThreadNum() >= 2);
    const QString folder = s.profile.dataRoot() + u"/雑談/なんでも雑談"_s;
    QVERIFY(QFile::exists(folder + u"/thread.list"_s));

    ThreadData thread(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(thread.InitInstance(&boards, &s.http, threads.Get_ThreadName(1), threads.Get_ThreadURL(1),
                                u"雑談"_s, u"なんでも雑談"_s, threads.Get_MessageNum(1), false));
    const int loaded = thread.Get_MessageLoadedNum();
    QCOMPARE(loaded, threads.Get_MessageNum(1));
    QVERIFY(QFile::exists(thread.logPath()));
    thread.Move_Index(2);
    QCOMPARE(TextFile::readLines(folder + u"/thread.idx"_s).value(),
             QStringList({threads.Get_ThreadNo(1) + u",2"_s}));
    const QString firstHeader = thread.Get_OrgHeader(1);

    // The same thread again with the server gone: from the log.
    s.server.stop();
    bool nowOffline = true;
    BoardList offlineBoards(s.profile.settings(), s.profile.dataRoot());
    QCOMPARE(offlineBoards.InitInstance(s.http, error, nowOffline), qint16(0));
    ThreadList offlineThreads(s.profile.dataRoot());
    QVERIFY(offlineThreads.InitInstance(s.http, boards.Get_BoardUrl(category, position), u"雑談"_s,
                                        u"なんでも雑談"_s, nullptr, nowOffline));
    QCOMPARE(offlineThreads.Get_ThreadNum(), 1);  // only the thread that has a log
    ThreadData again(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(again.InitInstance(&offlineBoards, &s.http, offlineThreads.Get_ThreadName(1),
                               offlineThreads.Get_ThreadURL(1), u"雑談"_s, u"なんでも雑談"_s,
                               offlineThreads.Get_MessageNum(1), true));
    QCOMPARE(again.Get_MessageLoadedNum(), loaded);
    QCOMPARE(again.Get_MessageCurrentNum(), 2);
    QCOMPARE(again.Get_OrgHeader(1), firstHeader);
}

void TestBbsNetwork::headlineThreads_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expectedUrl");
    QTest::newRow("to a thread of another board")
        << u"1714700000"_s << u"http://hayabusa.2ch.example/test/read.cgi/nonbiri/1714698000"_s;
    QTest::newRow("to a thread of an HTML board")
        << u"1714710000"_s << u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY=1714690000"_s;
    QTest::newRow("to another headline thread, followed on")
        << u"1714720000"_s << u"http://hayabusa.2ch.example/test/read.cgi/nonbiri/1714698000"_s;
    QTest::newRow("to itself: no endless loop")
        << u"1714730000"_s << u"http://headline.2ch.example/test/read.cgi/headnews/1714730000"_s;
}

void TestBbsNetwork::headlineThreads()
{
    QFETCH(QString, key);
    QFETCH(QString, expectedUrl);
    Session s;
    QVERIFY(s.start());
    BoardList boards(s.profile.settings(), s.profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(s.http, error, offline), qint16(1));
    ThreadData thread(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(thread.InitInstance(&boards, &s.http, u"見出し"_s,
                                u"http://headline.2ch.example/test/read.cgi/headnews/"_s + key, u"ニュース"_s,
                                u"速報headline"_s, 2, false));
    QCOMPARE(thread.Get_ThreadURL(), expectedUrl);
    QVERIFY(thread.Get_MessageLoadedNum() >= 2);
}

void TestBbsNetwork::htmlBoardFillsGaps()
{
    Session s;
    QVERIFY(s.start());
    // The sample dat has deleted (empty) lines; the HTML page leaves their
    // numbers out, and the client fills them.
    const QStringList datLines = TextCodec::fromCp932([] {
                                     QFile f(kSamples + u"/kanto/dat/1714690000.dat"_s);
                                     f.open(QIODevice::ReadOnly);
                                     return f.readAll();
                                 }())
                                     .split(u'\n');
    ThreadData thread(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &s.http, u"朝市"_s,
                                u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY=1714690000"_s,
                                u"まちＢＢＳ"_s, u"関東"_s, 0, false));
    QVERIFY(thread.isHtml());
    QCOMPARE(thread.Get_MessageLoadedNum(), int(datLines.size() - 1));
    int gaps = 0;
    for (int n = 1; n <= thread.Get_MessageLoadedNum(); ++n) {
        const ThreadData::Message* m = thread.message(n);
        if (datLines.at(n - 1).isEmpty()) {
            QCOMPARE(m->name, u"あぼーん"_s);
            QCOMPARE(m->host, u"あぼーん"_s);
            ++gaps;
        } else {
            QVERIFY2(!m->host.isEmpty() && m->id.size() <= 8, qPrintable(thread.Get_OrgHeader(n)));
        }
    }
    QVERIFY(gaps >= 2);
}

void TestBbsNetwork::faults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("expected");  // "whole", "part", "empty"
    QTest::addColumn<bool>("complete");
    QTest::newRow("no Content-Length: read until the close")
        << QStringList{u"--fault=no-length"_s} << 30000 << u"whole"_s << true;
    QTest::newRow("short body: what arrived")
        << QStringList{u"--fault=short:100"_s} << 30000 << u"part"_s << false;
    QTest::newRow("dropped connection: nothing")
        << QStringList{u"--fault=drop"_s} << 30000 << u"empty"_s << false;
    QTest::newRow("no answer within the time-out: nothing")
        << QStringList{u"--fault=delay:5000"_s} << 500 << u"empty"_s << false;
    QTest::newRow("stalled body: what arrived before the time-out")
        << QStringList{u"--fault=stall:30"_s} << 500 << u"part"_s << false;
    QTest::newRow("error status: the page is the body")
        << QStringList{u"--fault=status:404"_s} << 30000 << u"other"_s << true;
}

void TestBbsNetwork::faults()
{
    QFETCH(QStringList, options);
    QFETCH(int, timeoutMs);
    QFETCH(QString, expected);
    QFETCH(bool, complete);
    Session s;
    QVERIFY(s.start(options, timeoutMs));
    QFile file(kSamples + u"/zatsudan/subject.txt"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    QElapsedTimer timer;
    timer.start();
    const QByteArray body = s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/subject.txt"_s);
    QVERIFY(!s.http.IsDownloading());
    QCOMPARE(s.http.lastComplete(), complete);
    if (expected == u"whole"_s) {
        QCOMPARE(body, whole);
    } else if (expected == u"part"_s) {
        QVERIFY(!body.isEmpty());
        QVERIFY(body.size() < whole.size());
        QVERIFY(whole.startsWith(body));
    } else if (expected == u"empty"_s) {
        QVERIFY(body.isEmpty());
    } else {
        QVERIFY(!body.isEmpty() && body != whole);
    }
}

void TestBbsNetwork::brokenDownloadKeepsTheLog_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("short body") << u"--fault=short:200@.dat"_s;
    QTest::newRow("dropped connection") << u"--fault=drop@.dat"_s;
    QTest::newRow("error page instead of the dat") << u"--fault=error-page@.dat"_s;
    QTest::newRow("not found") << u"--fault=status:404@.dat"_s;
    QTest::newRow("server error") << u"--fault=status:503@.dat"_s;
    QTest::newRow("redirect loop") << u"--fault=redirect:/zatsudan/dat/loop.dat@.dat"_s;
}

void TestBbsNetwork::brokenDownloadKeepsTheLog()
{
    QFETCH(QString, fault);
    const QString url = u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s;
    QString key;
    QByteArray logBefore;
    int loaded = 0;
    TempProfile profile;
    {
        Session s;
        QVERIFY(s.start());
        ThreadList threads(profile.dataRoot());
        bool offline = false;
        QVERIFY(threads.InitInstance(s.http, u"http://uni.2ch.example/zatsudan/"_s, u"雑談"_s,
                                     u"なんでも雑談"_s, nullptr, offline));
        key = threads.Get_ThreadNo(1);
        ThreadData thread(profile.dataRoot(), profile.settings());
        QVERIFY(thread.InitInstance(nullptr, &s.http, u"題"_s, url + key, u"雑談"_s, u"なんでも雑談"_s, 0,
                                    false));
        loaded = thread.Get_MessageLoadedNum();
        QFile log(thread.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        logBefore = log.readAll();
        // Without the state of that download the next one asks for the whole file.
        QVERIFY(QFile::remove(thread.datStatePath()));
    }
    QVERIFY(loaded > 1);
    BoardServerProcess server;
    QVERIFY(server.start(kServer, kSamples, {fault}));
    CHttp http;
    http.InitInstance(kUserAgent, server.address(), 5000, 5000, 5000);
    ThreadData thread(profile.dataRoot(), profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &http, u"題"_s, url + key, u"雑談"_s, u"なんでも雑談"_s, 0, false));
    QCOMPARE(thread.Get_MessageLoadedNum(), loaded);
    QCOMPARE(thread.Get_MessageMaxNum(), loaded);
    QCOMPARE(thread.lastDownload(), fault.contains(u"404"_s) ? ThreadData::DownloadResult::Gone
                                                             : ThreadData::DownloadResult::Failed);
    QVERIFY(!thread.Download(true));
    QFile log(thread.logPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), logBefore);
    const QStringList leftovers =
        QDir(QFileInfo(thread.logPath()).path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : leftovers) {
        QVERIFY2(name == key + u".log"_s || name == key + u".datinfo"_s || name.startsWith(u"thread."_s),
                 qPrintable(name));
    }
}

void TestBbsNetwork::newMessagesAppended_data()
{
    QTest::addColumn<bool>("oldChanged");  // a message the log holds differs from the download
    QTest::newRow("only new messages: appended") << false;
    QTest::newRow("an old message changed: rewritten") << true;
}

void TestBbsNetwork::newMessagesAppended()
{
    QFETCH(bool, oldChanged);
    const QString url = u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s;
    Session s;
    QVERIFY(s.start());
    ThreadList threads(s.profile.dataRoot());
    bool offline = false;
    QVERIFY(threads.InitInstance(s.http, u"http://uni.2ch.example/zatsudan/"_s, u"雑談"_s, u"なんでも雑談"_s,
                                 nullptr, offline));
    const QString key = threads.Get_ThreadNo(1);
    QByteArray whole;
    QString logPath;
    {
        ThreadData thread(s.profile.dataRoot(), s.profile.settings());
        QVERIFY(thread.InitInstance(nullptr, &s.http, u"題"_s, url + key, u"雑談"_s, u"なんでも雑談"_s, 0,
                                    false));
        QVERIFY(thread.Get_MessageLoadedNum() > 3);
        logPath = thread.logPath();
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        whole = log.readAll();
    }
    // An older log: the first messages only, as an earlier visit left it.
    QStringList lines = TextFile::readLines(logPath).value();
    lines = lines.mid(0, 2);
    if (oldChanged) {
        lines[1] = u"あぼーん,あぼーん,あぼーん,あぼーん,,"_s;
    }
    QVERIFY(TextFile::writeLines(logPath, lines));

    struct stat before
    {
    };

    QCOMPARE(::stat(QFile::encodeName(logPath).constData(), &before), 0);
    ThreadData thread(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(
        thread.InitInstance(nullptr, &s.http, u"題"_s, url + key, u"雑談"_s, u"なんでも雑談"_s, 0, false));
    QVERIFY(thread.Download(true));
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), whole);

    // An append writes into the same file; a rewrite puts a new one in place.
    struct stat after
    {
    };

    QCOMPARE(::stat(QFile::encodeName(logPath).constData(), &after), 0);
    QCOMPARE(after.st_ino == before.st_ino, !oldChanged);
}

void TestBbsNetwork::endlessBodyIsCapped()
{
    Session s;
    QVERIFY(s.start({u"--fault=endless:20@subject.txt"_s}));
    s.http.setMaxBodySize(2 * 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    const QByteArray body = s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/subject.txt"_s);
    QVERIFY(body.isEmpty());
    QVERIFY(!s.http.lastComplete());
    QVERIFY(!s.http.IsDownloading());
    // The client left long before the server would have stopped by itself.
    QVERIFY(timer.elapsed() < 15000);
}

void TestBbsNetwork::deadlineEndsATrickle()
{
    // Bytes keep coming, so the idle time-out never strikes; the overall
    // deadline does, and what arrived is not taken as the whole.
    Session s;
    QVERIFY(s.start({u"--fault=trickle:100@subject.txt"_s}));
    s.http.setDeadline(800);
    const QByteArray body = s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/subject.txt"_s);
    QVERIFY(s.http.lastDeadlineHit());
    QVERIFY(!s.http.lastComplete());
    QVERIFY(!s.http.IsDownloading());
    QFile file(kSamples + u"/zatsudan/subject.txt"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(body.size() < file.size());
    // The next request has the whole deadline again.
    s.http.setDeadline(0);
    QCOMPARE(s.http.deadline(), CHttp::kDefaultDeadlineMs);
    QVERIFY(!s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/SETTING.TXT"_s).isEmpty());
    QVERIFY(s.http.lastComplete());
    QVERIFY(!s.http.lastDeadlineHit());
    QCOMPARE(s.http.lastStatus(), 200);
}

void TestBbsNetwork::cutOffThreadListIsKept()
{
    // A subject.txt cut off on the way replaces neither the stored
    // thread.list nor, on a reload of the same board, the threads held.
    const QString boardUrl = u"http://uni.2ch.example/zatsudan/"_s;
    TempProfile profile;
    ThreadList threads(profile.dataRoot());
    bool offline = false;
    {
        Session s;
        QVERIFY(s.start());
        QVERIFY(threads.InitInstance(s.http, boardUrl, u"雑談"_s, u"なんでも雑談"_s, nullptr, offline));
    }
    const int count = threads.Get_ThreadNum();
    QCOMPARE(count, 3);
    QFile list(threads.folderPath() + u"/thread.list"_s);
    QVERIFY(list.open(QIODevice::ReadOnly));
    const QByteArray stored = list.readAll();
    list.close();
    Session s;
    QVERIFY(s.start({u"--fault=short:60@subject.txt"_s}));
    QVERIFY(!threads.InitInstance(s.http, boardUrl, u"雑談"_s, u"なんでも雑談"_s, nullptr, offline));
    QCOMPARE(threads.Get_ThreadNum(), count);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), stored);
}

void TestBbsNetwork::cutOffMenuKeepsTheBoardList_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("cut off after 600 bytes") << u"--fault=short:600@bbsmenu"_s;
    QTest::newRow("connection dropped") << u"--fault=drop@bbsmenu"_s;
    QTest::newRow("trickling past the deadline") << u"--fault=trickle:50@bbsmenu"_s;
    QTest::newRow("server error") << u"--fault=status:503@bbsmenu"_s;
}

void TestBbsNetwork::cutOffMenuKeepsTheBoardList()
{
    // Only a whole board menu replaces the stored list; otherwise the stored
    // one is used and the failure is reported.
    QFETCH(QString, fault);
    TempProfile profile;
    const QString listPath = profile.dataRoot() + u"/board.list"_s;
    QByteArray stored;
    int boardCount = 0;
    {
        Session s;
        QVERIFY(s.start());
        BoardList boards(s.profile.settings(), profile.dataRoot());
        QString error;
        bool offline = false;
        QCOMPARE(boards.InitInstance(s.http, error, offline), qint16(1));
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        stored = file.readAll();
        boardCount = boards.Get_AllBoardNum();
        QVERIFY(boardCount > 2);
    }
    Session s;
    QVERIFY(s.start({fault}));
    s.http.setDeadline(1500);
    BoardList boards(s.profile.settings(), profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(s.http, error, offline), qint16(0));
    QCOMPARE(error, u"板リストのダウンロードに失敗しました。"_s);
    QVERIFY(offline);
    QFile file(listPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored);
    QCOMPARE(boards.Get_AllBoardNum(), boardCount);
}

void TestBbsNetwork::progressAndCancel()
{
    Session s;
    QVERIFY(s.start({u"--fault=stall:30@.dat"_s}));
    bool sawDownloading = false;
    float progress = -1;
    // A handler running in the middle of the download, as a key press would.
    QTimer::singleShot(300, [&] {
        sawDownloading = s.http.IsDownloading();
        progress = s.http.Get_Progress();
        // A second request while one is running is refused.
        QVERIFY(s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/subject.txt"_s).isEmpty());
        s.http.Cancel();
    });
    QElapsedTimer timer;
    timer.start();
    const QString dat = QDir(kSamples + u"/zatsudan/dat"_s).entryList({u"*.dat"_s}).value(0);
    QVERIFY(!dat.isEmpty());
    const QByteArray body = s.http.Get_Binary2(u"http://uni.2ch.example/zatsudan/dat/"_s + dat);
    QVERIFY(sawDownloading);
    QVERIFY(progress > 0.0f && progress < 1.0f);
    QVERIFY(!s.http.IsDownloading());
    QCOMPARE(s.http.Get_Progress(), 0.0f);
    QVERIFY(!s.http.lastComplete());
    QVERIFY(timer.elapsed() < 10000);
    Q_UNUSED(body);
}

void TestBbsNetwork::postingWithCookie()
{
    QTemporaryDir served;
    QVERIFY(copyTree(kSamples, served.path()));
    Session s;
    QVERIFY(s.start({}, 30000, served.path()));
    ThreadList threads(s.profile.dataRoot());
    bool offline = false;
    QVERIFY(threads.InitInstance(s.http, u"http://uni.2ch.example/zatsudan/"_s, u"雑談"_s, u"なんでも雑談"_s,
                                 nullptr, offline));
    // A thread that still takes posts (below 1000 messages).
    int index = 1;
    while (index < threads.Get_ThreadNum() && threads.Get_MessageNum(index) >= 1000) {
        ++index;
    }
    const QString key = threads.Get_ThreadNo(index);
    const auto encode = [](const QString& text) {
        return QString::fromLatin1(TextCodec::toCp932(text).toPercentEncoding());
    };
    const QString body = u"bbs=zatsudan&key="_s + key + u"&time=1714600000&FROM=&mail=sage&MESSAGE="_s
                         + encode(u"テストの書き込みです😅"_s) + u"&submit="_s + encode(u"書き込む"_s);
    const QString referer = u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s + key + u'/';
    const QString first = s.http.Post(u"uni.2ch.example"_s, u"/test/bbs.cgi"_s, referer, body);
    QVERIFY2(first.contains(u"書き込み確認"_s), qPrintable(first.left(300)));
    // The confirmation set a cookie; the client keeps it for the second try,
    // which also brings back the page's own hidden field.
    static const QRegularExpression field(u"<input type=hidden name=(h[0-9a-f]{6}) value=\"([^\"]*)\">"_s);
    const QRegularExpressionMatch hidden = field.match(first);
    QVERIFY(hidden.hasMatch());
    const QString returned =
        u'&' + hidden.captured(1) + u'=' + encode(QString(hidden.captured(2)).replace(u"&#32;"_s, u" "_s));
    const QString second = s.http.Post(u"uni.2ch.example"_s, u"/test/bbs.cgi"_s, referer, body + returned);
    QVERIFY2(second.contains(u"書きこみました"_s), qPrintable(second.left(300)));

    ThreadData thread(s.profile.dataRoot(), s.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &s.http, u"題"_s,
                                u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s + key, u"雑談"_s,
                                u"なんでも雑談"_s, 0, false));
    const ThreadData::Message* last = thread.message(thread.Get_MessageLoadedNum());
    QVERIFY(last);
    QVERIFY2(last->body.contains(u"テストの書き込みです😅"_s), qPrintable(last->body));
    QCOMPARE(last->mail, u"sage"_s);
}

void TestBbsNetwork::requestHeaders()
{
    // What the client sends, seen by a plain socket: the user agent exactly,
    // the referer, a whole file asked compressed, a range asked uncompressed
    // with the validators of the copy held.
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    QByteArray requests;
    connect(&listener, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* socket = listener.nextPendingConnection();
        auto* buffer = new QByteArray;
        connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, socket, [&requests, buffer, socket] {
            *buffer += socket->readAll();
            if (!buffer->contains("\r\n\r\n")) {
                return;
            }
            requests += *buffer;
            if (buffer->startsWith("GET /moved.txt")) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            } else {
                socket->write("HTTP/1.1 301 Moved\r\nLocation: /moved.txt\r\nContent-Length: 0\r\n\r\n");
            }
            socket->disconnectFromHost();
        });
    });
    CHttp http;
    http.InitInstance(kUserAgent, QString(), 3000, 3000, 3000);
    QString finalUrl;
    const QByteArray body =
        http.Get_Binary2(u"http://127.0.0.1:"_s + QString::number(listener.serverPort()) + u"/a.txt#frag"_s,
                         u"http://ref.example/"_s, &finalUrl);
    QCOMPARE(body, QByteArray("ok"));
    QVERIFY2(requests.contains("User-Agent: Monazilla/1.00 (Yomimaru/1.11) \r\n"), requests.constData());
    QVERIFY(requests.contains("Referer: http://ref.example/\r\n"));
    QVERIFY(requests.contains("Accept-Encoding: gzip\r\n"));
    QVERIFY(!requests.contains("Range:"));
    QVERIFY(requests.startsWith("GET /a.txt HTTP/1."));
    // Redirected to a path the listener answers the same way: the final
    // address is the one after the redirections, with the fragment kept.
    QVERIFY2(finalUrl.endsWith(u"/moved.txt#frag"_s), qPrintable(finalUrl));

    requests.clear();
    CHttp::Conditions held;
    held.from = 1233;
    held.lastModified = "Tue, 08 Dec 2026 01:02:03 GMT";
    held.etag = "\"abc-1\"";
    QCOMPARE(
        http.Get_Binary2(u"http://127.0.0.1:"_s + QString::number(listener.serverPort()) + u"/moved.txt"_s,
                         {}, nullptr, &held),
        QByteArray("ok"));
    QVERIFY2(requests.contains("Range: bytes=1233-\r\n"), requests.constData());
    QVERIFY(requests.contains("Accept-Encoding: identity\r\n"));
    QVERIFY(requests.contains("If-Modified-Since: Tue, 08 Dec 2026 01:02:03 GMT\r\n"));
    QVERIFY(requests.contains("If-None-Match: \"abc-1\"\r\n"));
}

// The service moved: a profile written while the boards lived on 5ch.net
// keeps its logs, read positions and bookmarks once the menu links the
// boards on 5ch.io, and what is asked of the old hosts comes through their
// redirections.
void TestBbsNetwork::serviceMovedTo5chIo()
{
    Session s;
    QVERIFY2(s.start({u"--verbose"_s, u"--domain-5ch-io"_s}), qPrintable(s.server.errorOutput()));
    CSettings& settings = s.profile.settings();
    settings.Set_Named(u"BoardListUrl"_s, u"http://menu.5ch.net/bbsmenu.html"_s);
    const QString root = s.profile.dataRoot();
    const QString category = u"雑談"_s;
    const QString name = u"なんでも雑談"_s;

    BoardList before(settings, root);
    QFile menu(kSamples + u"/bbsmenu.html"_s);
    QVERIFY(menu.open(QIODevice::ReadOnly));
    QVERIFY(
        before.parseMenu(TextCodec::fromCp932(menu.readAll()).replace(u".2ch.example/"_s, u".5ch.net/"_s)));
    QVERIFY(before.saveFile());
    const auto [c1, p1] = Session::find(before, category, name);
    const QString oldBoard = before.Get_BoardUrl(c1, p1);
    QCOMPARE(oldBoard, u"http://uni.5ch.net/zatsudan/"_s);
    bool offline = false;
    ThreadList threads(root);
    QVERIFY(threads.InitInstance(s.http, oldBoard, category, name, nullptr, offline));
    const QString key = threads.Get_ThreadNo(1);
    ThreadData thread(root, settings);
    QVERIFY(thread.InitInstance(&before, &s.http, threads.Get_ThreadName(1), threads.Get_ThreadURL(1),
                                category, name, threads.Get_MessageNum(1), false));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    const int count = thread.Get_MessageLoadedNum();
    QCOMPARE(count, threads.Get_MessageNum(1));
    QVERIFY(s.server.waitForLog("GET http://uni.5ch.net/zatsudan/dat/" + key.toLatin1() + ".dat -> 301"));
    QVERIFY(s.server.waitForLog("GET http://uni.5ch.io/zatsudan/dat/" + key.toLatin1() + ".dat -> 200"));
    thread.Move_Index(3);
    QVERIFY(thread.Flush_Index());
    BookmarkList bookmarks(root);
    QVERIFY(bookmarks.InitInstance());
    QVERIFY(bookmarks.Add(category, name, threads.Get_ThreadName(1), key));
    const QString log = thread.logPath();

    BoardList after(settings, root);
    QString error;
    QCOMPARE(after.InitInstance(s.http, error, offline), qint16(1));
    const auto [c2, p2] = Session::find(after, category, name);
    QCOMPARE(after.Get_BoardUrl(c2, p2), u"http://uni.5ch.io/zatsudan/"_s);
    QCOMPARE(after.findBoardByUrl(oldBoard), after.overallIndex(c2, p2));
    QVERIFY(TextFile::readText(root + u"/board.list"_s).value().contains(u"http://uni.5ch.io/zatsudan/"_s));
    ThreadList moved(root);
    QVERIFY(moved.InitInstance(s.http, after.Get_BoardUrl(c2, p2), category, name, &bookmarks, offline));
    QCOMPARE(moved.Get_ThreadNo(1), key);
    QCOMPARE(moved.Get_CurrentNum(1), 3);
    QVERIFY(bookmarks.Exist(category, name, key));
    ThreadData reopened(root, settings);
    QVERIFY(reopened.InitInstance(&after, &s.http, moved.Get_ThreadName(1), moved.Get_ThreadURL(1), category,
                                  name, -1, true));
    QCOMPARE(reopened.logPath(), log);
    QCOMPARE(reopened.Get_MessageLoadedNum(), count);
    QCOMPARE(reopened.Get_MessageCurrentNum(), 3);
}

QTEST_GUILESS_MAIN(TestBbsNetwork)
#include "TestBbsNetwork.moc"
