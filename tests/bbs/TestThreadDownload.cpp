// Threads as the boards serve them today, against the real local board
// server: boards linked with https fetched over TLS (with the certificate
// checked), threads that left the live server read from the archive of past
// threads, and re-opened threads that download only what was added, with a
// rewritten file replacing the log only when its whole new copy arrived.

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "bbs/BoardList.h"
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
const QString kThreadUrl = u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s;
// The 1000-message sample thread.
const QString kKey = u"1714300000"_s;

bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to)) {
        return false;
    }
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target) : !QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool appendAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

QByteArray datLines(int first, int count)
{
    QString text;
    for (int i = first; i < first + count; ++i) {
        text += u"名無しさん<>sage<>2026/12/08(火) 07:40:"_s + QString::number(i % 60).rightJustified(2, u'0')
                + u".12 ID:NewMsg"_s + QString::number(i) + u"<> 追加の書き込み"_s + QString::number(i)
                + u"です <br> 二行目 <>\n"_s;
    }
    return TextCodec::toCp932(text);
}

// The log lines of .dat lines, as the program writes them.
QByteArray logBytes(const QByteArray& dat)
{
    const QList<ThreadData::Message> messages =
        ThreadData::parseDat(TextCodec::fromCp932(dat)).value_or(QList<ThreadData::Message>{});
    QByteArray bytes;
    for (const ThreadData::Message& m : messages) {
        bytes += TextCodec::toFileBytes(ThreadData::logLine(m)) + "\r\n";
    }
    return bytes;
}

// A served copy of the sample boards, a profile, and a client that reaches
// the server as its proxy.
struct World
{
    QTemporaryDir served;
    TempProfile profile;
    BoardServerProcess server;
    CHttp http;

    QString dat(const QString& key = kKey) const
    {
        return served.path() + u"/zatsudan/dat/"_s + key + u".dat"_s;
    }

    bool start(const QStringList& options = {})
    {
        if (!served.isValid() || (!QFileInfo::exists(dat()) && !copyTree(kSamples, served.path()))) {
            return false;
        }
        server.stop();
        if (!server.start(kServer, served.path(), QStringList{u"--verbose"_s} + options)) {
            return false;
        }
        http.InitInstance(kUserAgent, server.address(), 10000, 10000, 10000);
        return true;
    }

    // Opens the thread as the program does on entering it.
    bool open(ThreadData& thread, const QString& key = kKey)
    {
        return thread.InitInstance(nullptr, &http, u"題"_s, kThreadUrl + key, u"雑談"_s, u"なんでも雑談"_s, 0,
                                   false);
    }

    // A first visit, closed again: false when the thread did not open.
    bool visit(QString& logPath)
    {
        ThreadData thread(profile.dataRoot(), profile.settings());
        if (!open(thread)) {
            return false;
        }
        logPath = thread.logPath();
        return true;
    }
};

// What a first visit with a fresh profile makes of the thread as served now.
QByteArray freshLog(World& world, const QString& key = kKey)
{
    TempProfile other;
    ThreadData thread(other.dataRoot(), other.settings());
    if (!world.open(thread, key)) {
        return {};
    }
    return readAll(thread.logPath());
}

ino_t inode(const QString& path)
{
    struct stat info
    {
    };

    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace

class TestThreadDownload : public QObject
{
    Q_OBJECT

private slots:
    void httpsWhereTheMenuSaysHttps();
    void pastThreadsFromTheArchive_data();
    void pastThreadsFromTheArchive();
    void reopenDownloadsOnlyTheAddedBytes();
    void reopenWithNothingNew();
    void movedBoardKeepsItsLog();
    void rewrittenThreadReplacesTheLog_data();
    void rewrittenThreadReplacesTheLog();
    void brokenRefetchKeepsTheLog();
    void oddRangeAnswersKeepTheLog_data();
    void oddRangeAnswersKeepTheLog();
    void appendedLogEqualsWholeRewrite_data();
    void appendedLogEqualsWholeRewrite();
    void tornAppendLeftOutThenRepaired_data();
    void tornAppendLeftOutThenRepaired();
};

void TestThreadDownload::httpsWhereTheMenuSaysHttps()
{
    QTemporaryDir keys;
    QString certificate;
    QString key;
    QVERIFY(BoardServerProcess::makeCertificate(keys.path(), &certificate, &key));
    World world;
    QVERIFY(copyTree(kSamples, world.served.path()));
    // One board of the menu moved to https; the others stay on http.
    const QString menuPath = world.served.path() + u"/bbsmenu.html"_s;
    QByteArray menu = readAll(menuPath);
    QVERIFY(menu.contains("http://uni.2ch.example/zatsudan/"));
    menu.replace("http://uni.2ch.example/zatsudan/", "https://uni.2ch.example/zatsudan/");
    QVERIFY(writeAll(menuPath, menu));
    QVERIFY(world.start({u"--tls-certificate"_s, certificate, u"--tls-key"_s, key}));
    const QList<QSslCertificate> trusted = QSslCertificate::fromPath(certificate);
    QCOMPARE(trusted.size(), 1);

    // Certificate checks stay on: a client that does not trust it gets nothing.
    {
        ThreadList threads(world.profile.dataRoot());
        bool offline = false;
        QVERIFY(!threads.InitInstance(world.http, u"https://uni.2ch.example/zatsudan/"_s, u"雑談"_s,
                                      u"なんでも雑談"_s, nullptr, offline));
        QVERIFY(!world.http.lastComplete());
        QVERIFY(!world.server.log().contains("subject.txt -> 200 tls"));
    }

    world.http.addCaCertificates(trusted);
    world.profile.settings().Set_Named(u"BoardListUrl"_s, QString::fromUtf16(BoardServerProcess::kMenuUrl));
    BoardList boards(world.profile.settings(), world.profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(world.http, error, offline), qint16(1));
    int zatsudan = 0;
    int nonbiri = 0;
    for (int i = 1; i <= boards.Get_AllBoardNum(); ++i) {
        const QString url = boards.Get_BoardUrl(boards.Get_CategoryIdx(i), boards.Get_BoardIdx(i));
        zatsudan = url.endsWith(u"/zatsudan/"_s) ? i : zatsudan;
        nonbiri = url.endsWith(u"/nonbiri/"_s) ? i : nonbiri;
    }
    QVERIFY(zatsudan > 0 && nonbiri > 0);
    const auto urlOf = [&](int i) {
        return boards.Get_BoardUrl(boards.Get_CategoryIdx(i), boards.Get_BoardIdx(i));
    };
    QCOMPARE(urlOf(zatsudan), u"https://uni.2ch.example/zatsudan/"_s);

    ThreadList threads(world.profile.dataRoot());
    QVERIFY2(
        threads.InitInstance(world.http, urlOf(zatsudan), u"雑談"_s, u"なんでも雑談"_s, nullptr, offline),
        world.server.log().constData());
    QCOMPARE(threads.subjectUrl(), u"https://uni.2ch.example/zatsudan/subject.txt"_s);
    QVERIFY(threads.Get_ThreadURL(1).startsWith(u"https://uni.2ch.example/test/read.cgi/zatsudan/"_s));
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(thread.InitInstance(&boards, &world.http, threads.Get_ThreadName(1), threads.Get_ThreadURL(1),
                                u"雑談"_s, u"なんでも雑談"_s, threads.Get_MessageNum(1), false));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QCOMPARE(thread.Get_MessageLoadedNum(), threads.Get_MessageNum(1));
    QVERIFY2(world.server.waitForLog("CONNECT uni.2ch.example:443 -> 200"), world.server.log().constData());
    QVERIFY(world.server.waitForLog("GET /zatsudan/subject.txt -> 200 tls"));
    QVERIFY(world.server.waitForLog("GET /zatsudan/dat/" + threads.Get_ThreadNo(1).toLatin1()
                                    + ".dat -> 200 tls"));

    // A board the menu links with http is fetched with plain http.
    ThreadList plain(world.profile.dataRoot());
    QVERIFY(plain.InitInstance(world.http, urlOf(nonbiri), u"ニュース"_s, u"のんびり"_s, nullptr, offline));
    QVERIFY(world.server.waitForLog("GET http://hayabusa.2ch.example/nonbiri/subject.txt -> 200 body="));
    QVERIFY(!world.server.log().contains("CONNECT hayabusa"));
}

void TestThreadDownload::pastThreadsFromTheArchive_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("archived");  // where the server keeps it; empty: nowhere
    QTest::newRow("ten-digit key") << u"1714850000"_s << u"oyster/1714/1714850000.dat"_s;
    QTest::newRow("nine-digit key: the first four digits too")
        << u"999850000"_s << u"oyster/9998/999850000.dat"_s;
    QTest::newRow("in neither place: gone") << u"1714850000"_s << QString();
}

void TestThreadDownload::pastThreadsFromTheArchive()
{
    QFETCH(QString, key);
    QFETCH(QString, archived);
    World world;
    QVERIFY(copyTree(kSamples, world.served.path()));
    const QString live = world.served.path() + u"/zatsudan/dat/1714850000.dat"_s;
    const QByteArray bytes = readAll(live);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(QFile::remove(live));
    if (!archived.isEmpty()) {
        const QString target = world.served.path() + u"/zatsudan/"_s + archived;
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QVERIFY(writeAll(target, bytes));
    }
    QVERIFY(world.start());

    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    const bool loaded = world.open(thread, key);
    if (archived.isEmpty()) {
        QVERIFY(!loaded);
        QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Gone);
        QVERIFY(!thread.fromArchive());
        QVERIFY(!QFileInfo::exists(thread.logPath()));
        QVERIFY(world.server.waitForLog("/zatsudan/oyster/1714/1714850000.dat -> 404"));
        return;
    }
    QVERIFY(loaded);
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QVERIFY(thread.fromArchive());
    QCOMPARE(thread.Get_MessageLoadedNum(), int(bytes.count('\n')));
    QVERIFY(world.server.waitForLog("/zatsudan/dat/"_ba + key.toLatin1() + ".dat -> 404"));
    QVERIFY(world.server.waitForLog("/zatsudan/"_ba + archived.toLatin1() + " -> 200"));
    // Logged like any other thread, and read back the same offline.
    const QByteArray log = readAll(thread.logPath());
    QVERIFY(!log.isEmpty());
    ThreadData offline(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(offline.InitInstance(nullptr, &world.http, u"題"_s, kThreadUrl + key, u"雑談"_s,
                                 u"なんでも雑談"_s, 0, true));
    QCOMPARE(offline.Get_OrgMessage(2), thread.Get_OrgMessage(2));

    // Opened again: the archive says nothing changed, and the log stays.
    ThreadData again(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(again, key));
    QVERIFY(again.fromArchive());
    QVERIFY(world.server.waitForLog("/zatsudan/"_ba + archived.toLatin1() + " -> 304"));
    QCOMPARE(readAll(thread.logPath()), log);
}

void TestThreadDownload::reopenDownloadsOnlyTheAddedBytes()
{
    World world;
    QVERIFY(world.start());
    const qint64 served = QFileInfo(world.dat()).size();
    QString logPath;
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(world.open(thread));
        QCOMPARE(thread.Get_MessageLoadedNum(), 1000);
        logPath = thread.logPath();
        // The whole file came packed.
        QVERIFY2(thread.lastBytesTransferred() > 0 && thread.lastBytesTransferred() < served / 2,
                 qPrintable(QString::number(thread.lastBytesTransferred())));
        QVERIFY(QFileInfo::exists(thread.datStatePath()));
    }
    const ino_t before = inode(logPath);
    const QByteArray added = datLines(1001, 3);
    QVERIFY(appendAll(world.dat(), added));

    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(thread));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QCOMPARE(thread.Get_MessageLoadedNum(), 1003);
    QVERIFY(thread.message(1003)->body.contains(u"追加の書き込み1003"_s));
    // Only the three messages came, behind the line feed the log already held.
    QCOMPARE(thread.lastBytesTransferred(), added.size() + 1);
    QVERIFY2(world.server.waitForLog("GET http://uni.2ch.example/zatsudan/dat/1714300000.dat -> 206 body="
                                     + QByteArray::number(added.size() + 1)),
             world.server.log().constData());
    // Appended to the same file, and the same as a first visit would make.
    QCOMPARE(inode(logPath), before);
    QCOMPARE(readAll(logPath), freshLog(world));
}

void TestThreadDownload::reopenWithNothingNew()
{
    World world;
    QVERIFY(world.start());
    QString logPath;
    QVERIFY(world.visit(logPath));
    const QByteArray log = readAll(logPath);
    const ino_t before = inode(logPath);
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(thread));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QCOMPARE(thread.Get_MessageLoadedNum(), 1000);
    QCOMPARE(thread.lastBytesTransferred(), 0);
    QVERIFY(world.server.waitForLog("dat/1714300000.dat -> 304 body=0"));
    QCOMPARE(readAll(logPath), log);
    QCOMPARE(inode(logPath), before);
}

void TestThreadDownload::movedBoardKeepsItsLog()
{
    // The board moved to another host (and to https): its folder is named by
    // category and board, so the log, the read position and the state of the
    // last download carry over, and only the added messages are fetched.
    QTemporaryDir keys;
    QString certificate;
    QString key;
    QVERIFY(BoardServerProcess::makeCertificate(keys.path(), &certificate, &key));
    World world;
    QVERIFY(world.start({u"--tls-certificate"_s, certificate, u"--tls-key"_s, key}));
    world.http.addCaCertificates(QSslCertificate::fromPath(certificate));
    QString logPath;
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(world.open(thread));
        thread.Set_Index(700);
        QVERIFY(thread.Save_Index());
        logPath = thread.logPath();
    }
    const QByteArray added = datLines(1001, 2);
    QVERIFY(appendAll(world.dat(), added));
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &world.http, u"題"_s,
                                u"https://mi.2ch.example/test/read.cgi/zatsudan/"_s + kKey, u"雑談"_s,
                                u"なんでも雑談"_s, 1002, false));
    QCOMPARE(thread.logPath(), logPath);
    QCOMPARE(thread.Get_MessageLoadedNum(), 1002);
    QCOMPARE(thread.Get_MessageCurrentNum(), 700);
    QCOMPARE(thread.lastBytesTransferred(), added.size() + 1);
    QVERIFY(world.server.waitForLog("CONNECT mi.2ch.example:443 -> 200"));
    QVERIFY(world.server.waitForLog("GET /zatsudan/dat/1714300000.dat -> 206 tls"));
}

void TestThreadDownload::rewrittenThreadReplacesTheLog_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("answer");  // what the range request gets
    QTest::newRow("messages deleted: shrunk below the bytes held") << u"shrink"_s << "-> 416"_ba;
    QTest::newRow("rewritten in place, longer") << u"rewrite"_s << "-> 206"_ba;
}

void TestThreadDownload::rewrittenThreadReplacesTheLog()
{
    QFETCH(QString, change);
    QFETCH(QByteArray, answer);
    World world;
    QVERIFY(world.start());
    QString logPath;
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(world.open(thread));
        thread.Set_Index(1000);
        logPath = thread.logPath();
    }
    QList<QByteArray> lines = readAll(world.dat()).split('\n');
    QCOMPARE(lines.size(), 1001);
    // Messages deleted by the board: their lines become あぼーん, the
    // numbering stays. Deleting many shrinks the file below the bytes held.
    const QByteArray abone = TextCodec::toCp932(u"あぼーん<>あぼーん<>あぼーん<>あぼーん<>"_s);
    lines[4] = abone;
    if (change == u"shrink"_s) {
        for (int i = 10; i < 40; ++i) {
            lines[i] = abone;
        }
    } else {
        lines[2] += TextCodec::toCp932(u"（編集で長くなりました）"_s);
    }
    QVERIFY(writeAll(world.dat(), lines.join('\n')));

    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(thread));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QVERIFY(world.server.waitForLog("dat/1714300000.dat " + answer));
    QVERIFY(world.server.waitForLog("dat/1714300000.dat -> 200"));
    QCOMPARE(thread.Get_MessageLoadedNum(), 1000);
    QCOMPARE(thread.message(5)->date, u"あぼーん"_s);
    QVERIFY(thread.Get_MessageCurrentNum() <= thread.Get_MessageLoadedNum());
    QCOMPARE(readAll(logPath), freshLog(world));
}

void TestThreadDownload::brokenRefetchKeepsTheLog()
{
    World world;
    QVERIFY(world.start());
    QString logPath;
    QVERIFY(world.visit(logPath));
    const QByteArray log = readAll(logPath);
    QList<QByteArray> lines = readAll(world.dat()).split('\n');
    for (int i = 10; i < 40; ++i) {
        lines[i] = TextCodec::toCp932(u"あぼーん<>あぼーん<>あぼーん<>あぼーん<>"_s);
    }
    QVERIFY(writeAll(world.dat(), lines.join('\n')));
    // The file shrank (416), and its whole new copy breaks off on the way.
    QVERIFY(world.start({u"--fault=short:3000@.dat"_s}));
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(thread));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Failed);
    QVERIFY(world.server.waitForLog("dat/1714300000.dat -> 416"));
    QVERIFY(world.server.waitForLog("dat/1714300000.dat -> 200 short"));
    QCOMPARE(thread.Get_MessageLoadedNum(), 1000);
    QCOMPARE(readAll(logPath), log);

    // Whole the next time: now it is replaced.
    QVERIFY(world.start());
    ThreadData later(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(later));
    QCOMPARE(later.lastDownload(), ThreadData::DownloadResult::Done);
    QCOMPARE(later.Get_MessageLoadedNum(), 1000);
    QCOMPARE(later.message(11)->date, u"あぼーん"_s);
    QCOMPARE(readAll(logPath), freshLog(world));
}

void TestThreadDownload::oddRangeAnswersKeepTheLog_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("range not from where it was asked")
        << "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9/99999\r\nContent-Length: 10\r\n\r\n\nabc<>\n<>\n"_ba;
    QTest::newRow("no Content-Range")
        << "HTTP/1.1 206 Partial Content\r\nContent-Length: 10\r\n\r\n\nabc<>\n<>\n"_ba;
    QTest::newRow("a range packed, and damaged") << "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes "
                                                    "$FROM-$LAST/$TOTAL\r\nContent-Encoding: gzip\r\n"
                                                    "Content-Length: 10\r\n\r\n\x1f\x8b\x08\x00garbag"_ba;
}

void TestThreadDownload::oddRangeAnswersKeepTheLog()
{
    // A server that answers a range request with something else than the
    // bytes asked for: nothing is appended, and the failure is reported.
    QFETCH(QByteArray, answer);
    World world;
    QVERIFY(world.start());
    QString logPath;
    qint64 held = 0;
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(world.open(thread));
        logPath = thread.logPath();
        held = thread.loadDatState().value_or(ThreadData::DatState{}).length;
    }
    QVERIFY(held > 0);
    const QByteArray log = readAll(logPath);
    answer.replace("$FROM", QByteArray::number(held - 1))
        .replace("$LAST", QByteArray::number(held + 8))
        .replace("$TOTAL", QByteArray::number(held + 9));
    QTcpServer liar;
    QVERIFY(liar.listen(QHostAddress::LocalHost));
    connect(&liar, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* socket = liar.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
            socket->readAll();
            socket->write(answer);
            socket->disconnectFromHost();
        });
    });
    CHttp http;
    http.InitInstance(kUserAgent, u"127.0.0.1:"_s + QString::number(liar.serverPort()), 5000, 5000, 5000);
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(thread.InitInstance(nullptr, &http, u"題"_s, kThreadUrl + kKey, u"雑談"_s, u"なんでも雑談"_s, 0,
                                false));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Failed);
    QCOMPARE(thread.Get_MessageLoadedNum(), 1000);
    QCOMPARE(readAll(logPath), log);
}

void TestThreadDownload::appendedLogEqualsWholeRewrite_data()
{
    // What the board adds between visits; the thread is opened after each.
    QTest::addColumn<QList<QByteArray>>("additions");
    QTest::addColumn<int>("messages");
    QTest::newRow("one message") << QList<QByteArray>{datLines(1001, 1)} << 1001;
    QTest::newRow("five hundred messages") << QList<QByteArray>{datLines(1001, 500)} << 1500;
    QTest::newRow("three visits") << QList<QByteArray>{datLines(1001, 2), datLines(1003, 1),
                                                       datLines(1004, 7)}
                                  << 1010;
    QTest::newRow("commas, entities and characters the code page lacks")
        << QList<QByteArray>{TextCodec::toCp932(
               u"名無し,さん<>sage,age<>2026/12/08(火) 07:41:00.00 ID:Comma,12<> "_s
               u"&gt;&gt;1 &amp; 😅 𠮷野家 ①Ⅻ &#128517; <br> 行末,<>\n"_s)}
        << 1001;
    // Code page bytes that would pass for UTF-8 are logged in ASCII with
    // references, line by line.
    QTest::newRow("half-width katakana that read as UTF-8")
        << QList<QByteArray>{TextCodec::toCp932(u"ﾎｹ<><>2026/12/08 07:42:00 ID:KanaKana<> ﾎｹ <>\n"_s)}
        << 1001;
    // The added bytes are read in the thread's encoding, not judged alone.
    QTest::newRow("half-width katakana that read as EUC-JP")
        << QList<QByteArray>{TextCodec::toCp932(u"ｱｲｳｴｵ<><>2026/12/08 07:43:00 ID:KanaKana<> ｶｷｸｹｺ <>\n"_s)}
        << 1001;
    // Only whole lines are taken; the rest of the last comes with the next visit.
    const QByteArray next = datLines(1003, 1);
    QTest::newRow("a message still being written")
        << QList<QByteArray>{datLines(1001, 2) + next.left(30), next.mid(30) + datLines(1004, 1)} << 1004;
}

void TestThreadDownload::appendedLogEqualsWholeRewrite()
{
    // A log that grows by appends ends byte for byte as the log written
    // whole from the same thread, and stays the same file.
    QFETCH(QList<QByteArray>, additions);
    QFETCH(int, messages);
    World world;
    QVERIFY(world.start());
    QString logPath;
    QVERIFY(world.visit(logPath));
    const ino_t before = inode(logPath);
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    for (const QByteArray& added : std::as_const(additions)) {
        QVERIFY(appendAll(world.dat(), added));
        QVERIFY(world.open(thread));
        QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
        QVERIFY2(world.server.waitForLog("dat/1714300000.dat -> 206"), world.server.log().constData());
    }
    QCOMPARE(thread.Get_MessageLoadedNum(), messages);
    QCOMPARE(inode(logPath), before);
    QCOMPARE(readAll(logPath), freshLog(world));
}

void TestThreadDownload::tornAppendLeftOutThenRepaired_data()
{
    // What a crash in the middle of appending messages 1001 to 1003 leaves
    // behind the log's thousand lines.
    const QByteArray lines = logBytes(datLines(1001, 3));
    const qsizetype second = lines.indexOf('\n') + 1;
    const qsizetype third = lines.indexOf('\n', second) + 1;
    QTest::addColumn<QByteArray>("torn");
    QTest::addColumn<int>("whole");  // the whole lines in it
    QTest::newRow("half a line") << lines.left(second / 2) << 0;
    QTest::newRow("two lines and half a third") << lines.left(third + 20) << 2;
    QTest::newRow("a line without its LF") << lines.left(second - 1) << 0;
    QTest::newRow("zeros where the data never arrived") << QByteArray(300, '\0') << 0;
}

void TestThreadDownload::tornAppendLeftOutThenRepaired()
{
    QFETCH(QByteArray, torn);
    QFETCH(int, whole);
    World world;
    QVERIFY(world.start());
    QString logPath;
    QVERIFY(world.visit(logPath));
    QVERIFY(appendAll(logPath, torn));
    const QByteArray damaged = readAll(logPath);

    // Read offline: the line cut short is no message; nothing is written.
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(thread.InitInstance(nullptr, nullptr, u"題"_s, kThreadUrl + kKey, u"雑談"_s,
                                    u"なんでも雑談"_s, 0, true));
        QCOMPARE(thread.Get_MessageLoadedNum(), 1000 + whole);
        if (whole > 0) {
            QVERIFY(thread.message(1000 + whole)
                        ->body.contains(u"追加の書き込み"_s + QString::number(1000 + whole)));
        }
    }
    QCOMPARE(readAll(logPath), damaged);

    // The board now has the messages. A download broken off on the way
    // changes nothing: the log is neither shortened nor appended to.
    QVERIFY(appendAll(world.dat(), datLines(1001, 3)));
    QVERIFY(world.start({u"--fault=short:3000@.dat"_s}));
    {
        ThreadData thread(world.profile.dataRoot(), world.profile.settings());
        QVERIFY(world.open(thread));
        QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Failed);
        QCOMPARE(thread.Get_MessageLoadedNum(), 1000 + whole);
    }
    QCOMPARE(readAll(logPath), damaged);

    // A whole download writes the log whole, as a first visit would.
    QVERIFY(world.start());
    ThreadData thread(world.profile.dataRoot(), world.profile.settings());
    QVERIFY(world.open(thread));
    QCOMPARE(thread.lastDownload(), ThreadData::DownloadResult::Done);
    QCOMPARE(thread.Get_MessageLoadedNum(), 1003);
    QCOMPARE(readAll(logPath), freshLog(world));
    // And from there it grows by appends again.
    const ino_t repaired = inode(logPath);
    QVERIFY(appendAll(world.dat(), datLines(1004, 2)));
    QVERIFY(world.open(thread));
    QCOMPARE(thread.Get_MessageLoadedNum(), 1005);
    QVERIFY(world.server.waitForLog("dat/1714300000.dat -> 206"));
    QCOMPARE(inode(logPath), repaired);
    QCOMPARE(readAll(logPath), freshLog(world));
}

QTEST_GUILESS_MAIN(TestThreadDownload)
#include "TestThreadDownload.moc"
