// The board server as an opponent: names built to leave the data folder,
// bodies without end, lengths that lie, threads that shrink, broken text,
// huge threads and menus, redirects in a circle and a trickle of bytes. The
// core is driven as the voice menu drives it (board menu, thread list,
// thread), and every case checks the same four things: nothing is written
// outside the data folder, memory stays bounded, the deadline holds, and the
// result says what happened without losing anything already stored.

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "base/SafeName.h"
#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "support/BoardServerProcess.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

namespace {

const QString kServer = QStringLiteral(BOARDSERVER_PATH);
const QString kUserAgent = u"Monazilla/1.00 (Yomimaru/1.11) "_s;
const QString kBoardUrl = u"http://uni.2ch.example/zatsudan/"_s;
const QString kThreadUrl = u"http://uni.2ch.example/test/read.cgi/zatsudan/1714600000"_s;
// The body cap (64 MiB) held as bytes and as text, with the sanitizers' own
// bookkeeping on top: a client that kept a 1 GB body would pass it by far.
constexpr qint64 kMemoryBoundKiB = 768 * 1024;

qint64 statusField(const QByteArray& name)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(name + ':')) {
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray datLine(int n, const QString& title = {})
{
    return TextCodec::toCp932(
               u"名無しさん<>sage<>2024/05/01(水) 12:00:00 ID:abc<> 本文%1 <br> 二行目 <>"_s.arg(n) + title)
           + '\n';
}

QByteArray datOf(int messages)
{
    QByteArray dat;
    for (int n = 1; n <= messages; ++n) {
        dat += datLine(n, n == 1 ? u"試験スレ"_s : QString());
    }
    return dat;
}

QByteArray menuOf(const QList<std::pair<QString, QStringList>>& categories)
{
    QString html = u"<HTML><HEAD><TITLE>BBS MENU for 2ch</TITLE></HEAD><BODY>\n"_s;
    for (const auto& [category, links] : categories) {
        html += u"<BR><BR><B>"_s + category + u"</B><BR>\n"_s;
        for (const QString& link : links) {
            html += link + u"<br>\n"_s;
        }
    }
    html += u"</BODY></HTML>\n"_s;
    return TextCodec::toCp932(html);
}

QString link(const QString& url, const QString& name)
{
    return u"<A HREF="_s + url + u'>' + name + u"</A>"_s;
}

// One hostile session: a served folder with the board "zatsudan", a profile,
// the server, the client, and the guards every case checks at its end.
struct Arena
{
    QTemporaryDir served;
    TempProfile profile;
    BoardServerProcess server;
    CHttp http;
    QString stampPath;
    QDateTime stamp;
    qint64 rssBefore = 0;
    QElapsedTimer clock;

    QString root() const { return served.path(); }

    QString dataRoot() const { return profile.dataRoot(); }

    bool serve(const QByteArray& subject, const QByteArray& dat, const QByteArray& menu = {})
    {
        const QByteArray defaultMenu = menuOf({{u"雑談"_s, {link(kBoardUrl, u"なんでも雑談"_s)}}});
        return writeBytes(root() + u"/bbsmenu.html"_s, menu.isEmpty() ? defaultMenu : menu)
               && writeBytes(root() + u"/zatsudan/SETTING.TXT"_s, "BBS_TITLE=zatsudan\n")
               && writeBytes(root() + u"/zatsudan/subject.txt"_s, subject)
               && writeBytes(root() + u"/zatsudan/dat/1714600000.dat"_s, dat);
    }

    bool start(const QStringList& faults = {}, int timeoutMs = 10000)
    {
        QStringList options;
        for (const QString& fault : faults) {
            options << u"--fault"_s << fault;
        }
        if (!server.start(kServer, root(), options)) {
            return false;
        }
        http.InitInstance(kUserAgent, server.address(), timeoutMs, timeoutMs, timeoutMs);
        http.setHtmlTxtPath(dataRoot() + u"/html.txt"_s);
        QDir().mkpath(dataRoot());
        profile.settings().Set_Named(u"BoardListUrl"_s, QString::fromUtf16(BoardServerProcess::kMenuUrl));
        return true;
    }

    // From here on every file written must lie in the data folder.
    void arm()
    {
        // What the test itself wrote just before is older than the stamp.
        QThread::msleep(20);
        stampPath = QDir(QDir::tempPath()).filePath(u"hostile-stamp"_s);
        writeBytes(stampPath, "stamp");
        stamp = QFileInfo(stampPath).lastModified();
        // Starts the peak anew (Linux: "5" resets VmHWM to the current size).
        QFile clear(u"/proc/self/clear_refs"_s);
        if (clear.open(QIODevice::WriteOnly)) {
            clear.write("5");
        }
        rssBefore = statusField("VmRSS");
        clock.start();
    }

    // Files and folders made or changed since arm() outside the data folder
    // (and the settings folder), in the temporary tree and the home folder.
    QStringList writtenOutside() const
    {
        QStringList roots{QDir::tempPath(), QDir::homePath()};
        roots.removeDuplicates();
        const QStringList allowed{QDir(dataRoot()).canonicalPath() + u'/',
                                  QDir(profile.path(u"config"_s)).canonicalPath() + u'/'};
        QStringList outside;
        for (const QString& top : roots) {
            QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo entry = it.nextFileInfo();
                const QDateTime made =
                    entry.isDir() ? entry.birthTime() : qMax(entry.lastModified(), entry.birthTime());
                if (!made.isValid() || made <= stamp || entry.filePath() == stampPath) {
                    continue;
                }
                const QString path = entry.canonicalFilePath() + (entry.isDir() ? u"/"_s : QString());
                if (!std::any_of(allowed.cbegin(), allowed.cend(),
                                 [&](const QString& a) { return path.startsWith(a) || a == path; })) {
                    outside.append(entry.filePath());
                }
            }
        }
        return outside;
    }

    qint64 peakGrowthKiB() const { return statusField("VmHWM") - rssBefore; }

    // The checks every case ends with.
    void verifyContained(qint64 hangGuardMs = 60000) const
    {
        const QStringList outside = writtenOutside();
        QVERIFY2(outside.isEmpty(),
                 qPrintable(u"written outside the data folder: "_s + outside.join(u", "_s)));
        const qint64 growth = peakGrowthKiB();
        QVERIFY2(growth < kMemoryBoundKiB, qPrintable(u"peak memory grew by %1 KiB"_s.arg(growth)));
        QVERIFY2(clock.elapsed() < hangGuardMs, qPrintable(u"took %1 ms"_s.arg(clock.elapsed())));
    }
};

std::pair<int, int> findBoard(const BoardList& boards, const QString& category, const QString& board)
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

}  // namespace

class TestHostileServer : public QObject
{
    Q_OBJECT

private slots:
    void hostileMenuNames_data();
    void hostileMenuNames();
    void hostileSubjectKeys_data();
    void hostileSubjectKeys();
    void endlessBodyIsCapped();
    void contentLengthLies_data();
    void contentLengthLies();
    void shrinkingDatKeepsTheLog();
    void invalidCp932();
    void hugeDat();
    void redirectLoop();
    void hugeMenu();
    void trickleMeetsTheDeadline();
};

void TestHostileServer::hostileMenuNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("href");
    const QString trap = QDir(QDir::tempPath()).filePath(u"trap"_s);
    QTest::newRow("parent folders") << u"../../../escaped"_s << kBoardUrl;
    QTest::newRow("percent-encoded dots") << u"%2e%2e%2f%2e%2e%2fescaped"_s << kBoardUrl;
    QTest::newRow("absolute path") << trap << kBoardUrl;
    QTest::newRow("NUL inside") << u"nul\u0000../escaped"_s << kBoardUrl;
    QTest::newRow("3000 characters") << QString(3000, u'長') << kBoardUrl;
    QTest::newRow("dots alone") << u".."_s << kBoardUrl;
    QTest::newRow("link with parent folders") << u"板"_s << u"http://uni.2ch.example/../../zatsudan/"_s;
    QTest::newRow("link with encoded dots") << u"板"_s << u"http://uni.2ch.example/%2e%2e/zatsudan/"_s;
    QTest::newRow("link with a line break") << u"板"_s << u"http://uni.2ch.example/zatsu\ndan/"_s;
    QTest::newRow("link of 3000 characters")
        << u"板"_s << u"http://uni.2ch.example/"_s + QString(3000, u'a') + u'/';
}

void TestHostileServer::hostileMenuNames()
{
    QFETCH(QString, name);
    QFETCH(QString, href);
    Arena a;
    // The hostile name is a category and a board; a plain category follows,
    // so the menu is a menu whatever the hostile one does.
    const QByteArray menu =
        menuOf({{name, {link(href, name)}}, {u"雑談"_s, {link(kBoardUrl, u"なんでも雑談"_s)}}});
    QVERIFY(a.serve("1714600000.dat<>試験スレ (3)\n", datOf(3), menu));
    QVERIFY(a.start());
    a.arm();

    BoardList boards(a.profile.settings(), a.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(a.http, error, offline), qint16(1));
    const int stored = boards.Get_AllBoardNum();
    QVERIFY(stored >= 1);
    // Every board the menu offered is entered, and its first thread read.
    for (int c = 1; c <= boards.Get_CategoryNum(); ++c) {
        for (int p = 1; p <= boards.Get_BoardNum(c); ++p) {
            ThreadList threads(a.dataRoot());
            const bool listed =
                threads.InitInstance(a.http, boards.Get_BoardUrl(c, p), boards.Get_Category(c),
                                     boards.Get_BoardName(c, p), nullptr, offline);
            if (!listed) {
                QCOMPARE(threads.Get_ThreadNum(), 0);
                continue;
            }
            QCOMPARE(threads.Get_ThreadNum(), 1);
            ThreadData thread(a.dataRoot(), a.profile.settings());
            const bool read = thread.InitInstance(
                &boards, &a.http, threads.Get_ThreadName(1), threads.Get_ThreadURL(1), boards.Get_Category(c),
                boards.Get_BoardName(c, p), threads.Get_MessageNum(1), false);
            // A thread reported as read has its messages.
            QVERIFY(!read || thread.Get_MessageLoadedNum() == 3);
        }
    }
    // The plain board works beside the hostile one.
    const auto [c, p] = findBoard(boards, u"雑談"_s, u"なんでも雑談"_s);
    QVERIFY(c > 0);
    // The stored menu reads back whole.
    BoardList again(a.profile.settings(), a.dataRoot());
    QVERIFY(again.loadFile());
    QCOMPARE(again.Get_AllBoardNum(), stored);
    a.verifyContained();
}

void TestHostileServer::hostileSubjectKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("parent folders") << u"../../../escaped"_s;
    QTest::newRow("percent-encoded dots") << u"%2e%2e%2f%2e%2e%2fescaped"_s;
    QTest::newRow("absolute path") << QDir(QDir::tempPath()).filePath(u"trap"_s);
    QTest::newRow("NUL inside") << u"1714600000\u0000../x"_s;
    QTest::newRow("3000 digits") << QString(3000, u'7');
    QTest::newRow("3000 characters") << QString(3000, u'x');
}

void TestHostileServer::hostileSubjectKeys()
{
    QFETCH(QString, key);
    Arena a;
    const QByteArray subject =
        TextCodec::toCp932(key + u".dat<>罠のスレ (5)\n1714600000.dat<>試験スレ (3)\n"_s);
    QVERIFY(a.serve(subject, datOf(3)));
    QVERIFY(a.start());
    a.arm();

    bool offline = false;
    ThreadList threads(a.dataRoot());
    QVERIFY(threads.InitInstance(a.http, kBoardUrl, u"雑談"_s, u"なんでも雑談"_s, nullptr, offline));
    QVERIFY(threads.Exist(u"1714600000"_s));
    for (int t = 1; t <= threads.Get_ThreadNum(); ++t) {
        ThreadData thread(a.dataRoot(), a.profile.settings());
        const bool read =
            thread.InitInstance(nullptr, &a.http, threads.Get_ThreadName(t), threads.Get_ThreadURL(t),
                                u"雑談"_s, u"なんでも雑談"_s, threads.Get_MessageNum(t), false);
        if (threads.Get_ThreadNo(t) == u"1714600000"_s) {
            QVERIFY(read);
            QCOMPARE(thread.Get_MessageLoadedNum(), 3);
            thread.Move_Index(2);
        } else {
            // The server has no such thread: no messages can be claimed.
            QVERIFY(!read || thread.Get_MessageLoadedNum() == 0);
        }
    }
    // The read position of the real thread is stored whole.
    QCOMPARE(TextFile::readLines(threads.folderPath() + u"/thread.idx"_s).value_or(QStringList()).size(), 1);
    a.verifyContained();
}

void TestHostileServer::endlessBodyIsCapped()
{
    Arena a;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (3)\n", datOf(3)));
    QVERIFY(a.start({u"endless:60@.dat"_s}, 30000));
    a.arm();
    ThreadData thread(a.dataRoot(), a.profile.settings());
    // Nothing stored and nothing whole arrived: a failure, not an empty thread.
    QVERIFY(!thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s, 3,
                                 false));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Failed);
    QVERIFY(!a.http.lastComplete());
    a.verifyContained(3 * CHttp::kDefaultDeadlineMs);
}

void TestHostileServer::contentLengthLies_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("longer than sent") << u"short:200@.dat"_s;
    QTest::newRow("shorter than sent") << u"long:200@.dat"_s;
}

void TestHostileServer::contentLengthLies()
{
    QFETCH(QString, fault);
    Arena a;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (8)\n", datOf(8)));
    // A first visit stores the whole thread.
    {
        QVERIFY(a.start());
        ThreadData thread(a.dataRoot(), a.profile.settings());
        QVERIFY(thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s,
                                    8, false));
        QCOMPARE(thread.Get_MessageLoadedNum(), 8);
        a.server.stop();
    }
    const QString log =
        SafeName::boardFolder(a.dataRoot(), u"雑談"_s, u"なんでも雑談"_s) + u"/1714600000.log"_s;
    const QStringList stored = TextFile::readLines(log).value_or(QStringList());
    QCOMPARE(stored.size(), 8);

    // Without the state of that download the next one is a whole one (an
    // unchanged file would otherwise be answered 304 and nothing could lie).
    QVERIFY(QFile::remove(log.chopped(4) + u".datinfo"_s));
    QVERIFY(a.start({fault}));
    a.arm();
    ThreadData thread(a.dataRoot(), a.profile.settings());
    thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s, 8, false);
    // Whatever the answer claimed, the thread and its log keep every message.
    QCOMPARE(thread.Get_MessageLoadedNum(), 8);
    QCOMPARE(TextFile::readLines(log).value_or(QStringList()), stored);
    if (fault.startsWith(u"short"_s)) {
        QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Failed);
    }
    a.verifyContained();
}

void TestHostileServer::shrinkingDatKeepsTheLog()
{
    Arena a;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (10)\n", datOf(10)));
    QVERIFY(a.start());
    {
        ThreadData thread(a.dataRoot(), a.profile.settings());
        QVERIFY(thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s,
                                    10, false));
        QCOMPARE(thread.Get_MessageLoadedNum(), 10);
    }
    const QString log =
        SafeName::boardFolder(a.dataRoot(), u"雑談"_s, u"なんでも雑談"_s) + u"/1714600000.log"_s;
    const QStringList stored = TextFile::readLines(log).value_or(QStringList());
    QCOMPARE(stored.size(), 10);

    // The server now has only four of them.
    QVERIFY(writeBytes(a.root() + u"/zatsudan/dat/1714600000.dat"_s, datOf(4)));
    a.arm();
    ThreadData thread(a.dataRoot(), a.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s, 10,
                                false));
    QCOMPARE(thread.Get_MessageLoadedNum(), 10);
    QCOMPARE(TextFile::readLines(log).value_or(QStringList()), stored);
    a.verifyContained();
}

void TestHostileServer::invalidCp932()
{
    Arena a;
    // Lead bytes without trail bytes, bytes no code page 932 sequence holds,
    // and a lead byte cut by the line end.
    QByteArray dat = datOf(1);
    dat += "\x81<>\xff\xfe<>2024/05/01 ID:x<> \x82\x20\xa0\x85\x40 <br> \x9f<>\n";
    dat += datLine(3);
    dat += "\xfc\xfc\xfc\x81<>\x80<><>\xef\x40<>\x81\n";
    QVERIFY(a.serve("1714600000.dat<>試験スレ (4)\n", dat));
    QVERIFY(a.start());
    a.arm();
    ThreadData thread(a.dataRoot(), a.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s, 4,
                                false));
    // Every line is a message, the third one intact after the broken ones.
    QCOMPARE(thread.Get_MessageLoadedNum(), 4);
    QVERIFY(thread.Get_OrgBody(3).contains(u"本文3"_s));
    QVERIFY(thread.Get_OrgMessage(2).contains(QChar(0xFFFD)));
    a.verifyContained();
}

void TestHostileServer::hugeDat()
{
    Arena a;
    constexpr int kLines = 100000;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (1000)\n", datOf(kLines)));
    QVERIFY(a.start({}, 60000));
    a.arm();
    ThreadData thread(a.dataRoot(), a.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &a.http, u"試験スレ"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s,
                                1000, false));
    // Message numbers are 16-bit: the first 32767 messages are read, whole.
    constexpr int kKept = 32767;
    QCOMPARE(thread.Get_MessageLoadedNum(), kKept);
    QVERIFY(thread.Get_OrgBody(kKept).contains(u"本文%1 "_s.arg(kKept)));
    const QString log =
        SafeName::boardFolder(a.dataRoot(), u"雑談"_s, u"なんでも雑談"_s) + u"/1714600000.log"_s;
    QCOMPARE(TextFile::readLines(log).value_or(QStringList()).size(), kKept);
    a.verifyContained(3 * 60000);
}

void TestHostileServer::redirectLoop()
{
    Arena a;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (3)\n", datOf(3)));
    // A first start stores the board list.
    {
        QVERIFY(a.start());
        BoardList boards(a.profile.settings(), a.dataRoot());
        QString error;
        bool offline = false;
        QCOMPARE(boards.InitInstance(a.http, error, offline), qint16(1));
        a.server.stop();
    }
    QFile list(a.dataRoot() + u"/board.list"_s);
    QVERIFY(list.open(QIODevice::ReadOnly));
    const QByteArray stored = list.readAll();
    list.close();

    QVERIFY(a.start({u"redirect:/bbsmenu.html@bbsmenu"_s, u"redirect:/zatsudan/subject.txt@subject"_s}));
    a.arm();
    BoardList boards(a.profile.settings(), a.dataRoot());
    QString error;
    bool offline = false;
    // Not downloaded: the stored list is used and the loss of the line said.
    QCOMPARE(boards.InitInstance(a.http, error, offline), qint16(0));
    QVERIFY(offline);
    QVERIFY(!error.isEmpty());
    QCOMPARE(boards.Get_AllBoardNum(), 1);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), stored);
    list.close();

    ThreadList threads(a.dataRoot());
    bool threadsOffline = false;
    QVERIFY(!threads.InitInstance(a.http, kBoardUrl, u"雑談"_s, u"なんでも雑談"_s, nullptr, threadsOffline));
    a.verifyContained();
}

void TestHostileServer::hugeMenu()
{
    Arena a;
    constexpr int kLinks = 50000;
    QList<std::pair<QString, QStringList>> categories;
    for (int c = 0; c < 50; ++c) {
        QStringList links;
        for (int b = 0; b < kLinks / 50; ++b) {
            links.append(
                link(u"http://host%1.2ch.example/board%2/"_s.arg(c).arg(b), u"板%1-%2"_s.arg(c).arg(b)));
        }
        categories.append({u"分類%1"_s.arg(c), links});
    }
    QVERIFY(a.serve("1714600000.dat<>試験スレ (3)\n", datOf(3), menuOf(categories)));
    QVERIFY(a.start({}, 30000));
    a.arm();
    BoardList boards(a.profile.settings(), a.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(a.http, error, offline), qint16(1));
    QCOMPARE(boards.Get_CategoryNum(), 50);
    QCOMPARE(boards.Get_AllBoardNum(), kLinks);
    QCOMPARE(boards.Get_BoardName(50, kLinks / 50), u"板49-999"_s);
    BoardList again(a.profile.settings(), a.dataRoot());
    QVERIFY(again.loadFile());
    QCOMPARE(again.Get_AllBoardNum(), kLinks);
    QCOMPARE(again.Get_BoardUrl(50, kLinks / 50), u"http://host49.2ch.example/board999/"_s);
    a.verifyContained();
}

void TestHostileServer::trickleMeetsTheDeadline()
{
    Arena a;
    QVERIFY(a.serve("1714600000.dat<>試験スレ (3)\n", datOf(3)));
    QVERIFY(a.start({u"trickle:1000@subject.txt"_s}));
    constexpr int kDeadlineMs = 3000;
    a.http.setDeadline(kDeadlineMs);
    a.arm();
    ThreadList threads(a.dataRoot());
    bool offline = false;
    QVERIFY(!threads.InitInstance(a.http, kBoardUrl, u"雑談"_s, u"なんでも雑談"_s, nullptr, offline));
    QVERIFY(a.http.lastDeadlineHit());
    QCOMPARE(threads.Get_ThreadNum(), 0);
    a.verifyContained(3 * kDeadlineMs);
}

QTEST_GUILESS_MAIN(TestHostileServer)
#include "TestHostileServer.moc"
