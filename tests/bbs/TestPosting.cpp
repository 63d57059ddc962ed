// Posting a reply or a new thread: the form bodies exactly as sent (against a
// recording server on 127.0.0.1), the whole exchange against the local board
// server (confirmation, cookie, hidden field, error pages, the post read back
// from the .dat), and every way a post can fail without being taken for done.

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/CHttp.h"
#include "bbs/Posting.h"
#include "support/BoardServerProcess.h"

using namespace Qt::StringLiterals;

namespace {

const QString kServer = QStringLiteral(BOARDSERVER_PATH);
const QString kSamples = QStringLiteral(SAMPLE_BOARDS_DIR);
const QString kUserAgent = u"Monazilla/1.00 (Yomimaru/1.11) "_s;
const QString kPosted = u"書き込みました。"_s;
const QString kNoAnswer = u"サーバーから応答がありませんでした。"_s;
const QString kUnknownAnswer = u"サーバーの応答を読み取れませんでした。書き込めたかどうか分かりません。"_s;

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

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray
httpAnswer(const QByteArray& body, const QByteArray& status = "200 OK", const QByteArray& extra = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=Shift_JIS\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

QByteArray page(const QString& title, const QString& body = {})
{
    return TextCodec::toCp932(u"<html><head><title>"_s + title + u"</title></head><body>"_s + body
                              + u"</body></html>\n"_s);
}

// Takes one request per connection, remembers it and answers with the next
// prepared answer (the last one again when they run out); an empty answer
// closes the connection without a word.
class Recorder : public QObject
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray target;
        QByteArray referer;
        QByteArray cookie;
        QByteArray body;
    };

    QList<Request> requests;
    QList<QByteArray> answers;

    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto* buffer = new QByteArray;
                connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
                    delete buffer;
                    socket->deleteLater();
                });
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) {
                        return;
                    }
                    Request request;
                    qsizetype length = 0;
                    const QList<QByteArray> lines = buffer->left(end).split('\n');
                    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                    request.method = first.value(0);
                    request.target = first.value(1);
                    for (const QByteArray& line : lines.mid(1)) {
                        const qsizetype colon = line.indexOf(':');
                        const QByteArray name = line.left(colon).trimmed().toLower();
                        const QByteArray value = line.mid(colon + 1).trimmed();
                        if (name == "content-length") {
                            length = value.toLongLong();
                        } else if (name == "referer") {
                            request.referer = value;
                        } else if (name == "cookie") {
                            request.cookie = value;
                        }
                    }
                    if (buffer->size() < end + 4 + length) {
                        return;
                    }
                    request.body = buffer->mid(end + 4, length);
                    buffer->clear();
                    const QByteArray answer =
                        answers.value(requests.size(), answers.value(answers.size() - 1));
                    requests.append(request);
                    if (!answer.isEmpty()) {
                        socket->write(answer);
                        socket->flush();
                    }
                    socket->disconnectFromHost();
                });
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }

    QString host() const { return u"127.0.0.1:"_s + QString::number(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

const QByteArray kSuccess = page(u"書きこみました。"_s, u"書きこみが終わりました。"_s);
const QByteArray kTopPage =
    page(u"雑談"_s,
         u"<form method=POST action=\"../test/bbs.cgi\"><input type=hidden name=time value=1714600123>"
         u"<input type=submit value=\"新規スレッド作成\" name=\"submit\"></form>"_s);

}  // namespace

class TestPosting : public QObject
{
    Q_OBJECT

private slots:
    void urlEncode_data();
    void urlEncode();
    void htmlToText();
    void formBodies_data();
    void formBodies();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void noServerIsNoPost();
    void badAnswers_data();
    void badAnswers();
    void confirmationPostsItsOwnForm_data();
    void confirmationPostsItsOwnForm();
    void boardServerExchange_data();
    void boardServerExchange();
    void boardServerFailures_data();
    void boardServerFailures();
    void httpsBoard();
    void todaysServer();
};

void TestPosting::urlEncode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("letters and digits stay") << u"aZ09"_s << u"aZ09"_s;
    QTest::newRow("space") << u"a b"_s << u"a%20b"_s;
    QTest::newRow("marks other forms keep") << u"-_.*~"_s << u"%2D%5F%2E%2A%7E"_s;
    QTest::newRow("ampersand and equals") << u"a&b=c"_s << u"a%26b%3Dc"_s;
    QTest::newRow("kana in code page 932") << u"あア"_s << u"%82%A0%83A"_s;
    QTest::newRow("half-width kana") << u"ｴﾗｰ"_s << u"%B4%D7%B0"_s;
    QTest::newRow("line break") << u"a\nb"_s << u"a%0Ab"_s;
    QTest::newRow("emoji as a reference") << u"x😅y"_s << u"x%26%23128517%3By"_s;
    QTest::newRow("typed reference as typed") << u"&#38;"_s << u"%26%2338%3B"_s;
}

void TestPosting::urlEncode()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(Posting::UrlEncode(text), encoded);
}

void TestPosting::htmlToText()
{
    // Tags go first, then the entities in their order: "&amp;lt;" becomes
    // "&lt;" and stays so.
    QCOMPARE(Posting::HtmlToText(u"<B>ＥＲＲＯＲ：</b>&gt;&gt;1&nbsp;&amp;lt;&quot;x&quot;&reg;<br>"_s),
             u"ＥＲＲＯＲ：>>1 &lt;\"x\""_s);
}

void TestPosting::formBodies_data()
{
    QTest::addColumn<bool>("machi");
    QTest::addColumn<QString>("path");  // after "http://HOST"
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("cookie");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("referer");  // after "http://HOST"
    QTest::addColumn<QByteArray>("body");

    const QByteArray agree =
        "submit=%8F%E3%8BL%91S%82%C4%82%F0%8F%B3%91%F8%82%B5%82%C4%8F%91%82%AB%8D%9E%82%DE";
    const QByteArray fields = "&FROM=%96%BC%96%B3%82%B5&mail=sage&MESSAGE=%96%7B%95%B6%0A2%8Ds%96%DA";
    // The clock stands at 1714600030: the form's time is half a minute before it.
    QTest::newRow("2ch reply") << false << u"/test/read.cgi/zatsudan/1714600000/"_s << QString() << QString()
                               << QByteArray("/test/bbs.cgi?guid=ON")
                               << u"/test/read.cgi/zatsudan/1714600000/"_s
                               << agree + "&bbs=zatsudan&key=1714600000" + fields
                                      + "&guid=ON&hana=mogera&kiri=tanpo&suka=pontan&tepo=don&kuno=ichi"
                                        "&time=1714600000";
    QTest::newRow("2ch reply, l50 and a stored cookie")
        << false << u"/test/read.cgi/zatsudan/1714600000/l50"_s << QString() << u"&yuki=akari"_s
        << QByteArray("/test/bbs.cgi?guid=ON") << u"/test/read.cgi/zatsudan/1714600000/"_s
        << agree + "&bbs=zatsudan&key=1714600000" + fields
               + "&guid=ON&hana=mogera&kiri=tanpo&suka=pontan&tepo=don&kuno=ichi&yuki=akari&time=1714600000";
    QTest::newRow("machi reply") << true << u"/bbs/read.cgi?BBS=kanto&KEY=1714780000"_s << QString()
                                 << QString() << QByteArray("/bbs/write.cgi?BBS=kanto&KEY=1714780000")
                                 << u"/bbs/read.cgi?BBS=kanto&KEY=1714780000"_s
                                 << agree
                                        + "&BBS=kanto&KEY=1714780000&NAME=%96%BC%96%B3%82%B5&MAIL=sage"
                                          "&MESSAGE=%96%7B%95%B6%0A2%8Ds%96%DA&TIME=1714780000";
    QTest::newRow("2ch new thread") << false << u"/zatsudan/"_s << u"A&B"_s << u"&yuki=akari"_s
                                    << QByteArray("/test/bbs.cgi?guid=ON") << u"/zatsudan/"_s
                                    << "submit=%90V%8BK%83X%83%8C%83b%83h%8D%EC%90%AC&bbs=zatsudan" + fields
                                           + "&subject=A%26B&time=1714600000";
    QTest::newRow("machi new thread")
        << true << u"/kanto/"_s << u"A&B"_s << QString() << QByteArray("/bbs/write.cgi") << u"/kanto/"_s
        << QByteArray(
               "submit=%90V%8BK%8F%91%82%AB%8D%9E%82%DD&BBS=kanto&SUBJECT=A%26B&NAME=%96%BC%96%B3%82%B5"
               "&MAIL=sage&MESSAGE=%96%7B%95%B6%0A2%8Ds%96%DA&TIME=1714600123");
}

void TestPosting::formBodies()
{
    QFETCH(bool, machi);
    QFETCH(QString, path);
    QFETCH(QString, subject);
    QFETCH(QString, cookie);
    QFETCH(QByteArray, target);
    QFETCH(QString, referer);
    QFETCH(QByteArray, body);

    Recorder recorder;
    QVERIFY(recorder.listen());
    // Only a new thread of the まちＢＢＳ kind takes its time from the board's top page.
    const bool topPage = machi && !subject.isEmpty();
    recorder.answers = topPage ? QList<QByteArray>{httpAnswer(kTopPage), httpAnswer(kSuccess)}
                               : QList<QByteArray>{httpAnswer(kSuccess)};
    CHttp http;
    http.InitInstance(kUserAgent, {}, 10000, 10000, 10000);
    const QString base = u"http://"_s + recorder.host();
    QString message;
    QVERIFY(Posting::Post(http, base + path, u"名無し"_s, u"sage"_s, u"本文\n2行目"_s, message, machi,
                          subject, cookie, 1714600030));
    QCOMPARE(message, kPosted);
    const Recorder::Request& post = recorder.requests.constLast();
    QCOMPARE(recorder.requests.size(), topPage ? 2 : 1);
    QCOMPARE(post.method, QByteArray("POST"));
    QCOMPARE(post.target, target);
    QCOMPARE(QString::fromLatin1(post.referer), base + referer);
    QCOMPARE(post.body, body);
}

void TestPosting::refusedBeforeSending_data()
{
    QTest::addColumn<bool>("machi");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QByteArray>("topPage");
    QTest::addColumn<QString>("message");  // "untouched" when it must stay as it was
    QTest::addColumn<int>("requests");

    QTest::newRow("2ch thread URL too short") << false << u"/test/read.cgi/zatsudan"_s << QString()
                                              << QByteArray() << u"内部エラー、URL指定が不正です。"_s << 0;
    QTest::newRow("machi URL with START") << true << u"/bbs/read.cgi?BBS=kanto&KEY=1714780000&START=1"_s
                                          << QString() << QByteArray() << u"untouched"_s << 0;
    QTest::newRow("board without a time field")
        << true << u"/kanto/"_s << u"題"_s << page(u"速報"_s) << u"この板ではスレ立てできません"_s << 1;
    QTest::newRow("time field without its end")
        << true << u"/kanto/"_s << u"題"_s << QByteArray("<input type=hidden name=TIME value=12")
        << u"この板ではスレ立てできません"_s << 1;
    QTest::newRow("top page empty") << true << u"/kanto/"_s << u"題"_s << QByteArray()
                                    << u"板トップページのダウンロードに失敗しました。"_s << 1;
}

// Nobody listens: the form never left, so the user hears no doubt about it.
void TestPosting::noServerIsNoPost()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString host = u"127.0.0.1:"_s + QString::number(closed.serverPort());
    closed.close();
    CHttp http;
    http.InitInstance(kUserAgent, {}, 10000, 10000, 10000);
    QString result;
    QVERIFY(!Posting::Post(http, u"http://"_s + host + u"/test/read.cgi/zatsudan/1714300000/"_s, {}, {},
                           u"本文"_s, result, false, {}, {}));
    QCOMPARE(result, kNoAnswer);
    QVERIFY(!http.lastPostSent());
}

void TestPosting::refusedBeforeSending()
{
    QFETCH(bool, machi);
    QFETCH(QString, path);
    QFETCH(QString, subject);
    QFETCH(QByteArray, topPage);
    QFETCH(QString, message);
    QFETCH(int, requests);

    Recorder recorder;
    QVERIFY(recorder.listen());
    recorder.answers = {httpAnswer(topPage)};
    CHttp http;
    http.InitInstance(kUserAgent, {}, 10000, 10000, 10000);
    QString result = u"untouched"_s;
    QVERIFY(!Posting::Post(http, u"http://"_s + recorder.host() + path, {}, {}, u"本文"_s, result, machi,
                           subject, {}));
    QCOMPARE(result, message);
    QCOMPARE(recorder.requests.size(), requests);
    for (const Recorder::Request& request : std::as_const(recorder.requests)) {
        QCOMPARE(request.method, QByteArray("GET"));
    }
}

void TestPosting::badAnswers_data()
{
    QTest::addColumn<bool>("machi");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests");

    const QByteArray confirm = httpAnswer(page(u"■ 書き込み確認 ■"_s, u"<b>確かめてください</b>"_s));
    // The server took the whole form and closed without a word: it may have
    // stored the post, so it is neither sent again nor called a failure for sure.
    QTest::newRow("no answer") << false << QList<QByteArray>{QByteArray()} << false
                               << kNoAnswer + u"書き込めたかどうか分かりません。"_s << 1;
    QTest::newRow("empty page") << false << QList<QByteArray>{httpAnswer({})} << false << kNoAnswer << 1;
    QTest::newRow("garbage") << false << QList<QByteArray>{httpAnswer("\x01\x02garbage\xff\xfe")} << false
                             << kUnknownAnswer << 1;
    QTest::newRow("page of another board software")
        << false << QList<QByteArray>{httpAnswer(page(u"ようこそ"_s))} << false << kUnknownAnswer << 1;
    QTest::newRow("server error 500")
        << false << QList<QByteArray>{httpAnswer(page(u"oops"_s), "500 Internal Server Error")} << false
        << u"サーバーがエラー500を返しました。"_s << 1;
    QTest::newRow("cut answer") << false
                                << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n"
                                                     + kSuccess}
                                << false
                                << u"サーバーの応答が途中で切れました。書き込めたかどうか分かりません。"_s
                                << 1;
    QTest::newRow("error title") << false
                                 << QList<QByteArray>{httpAnswer(
                                        page(u"ＥＲＲＯＲ！"_s, u"<b>ＥＲＲＯＲ：本文がありません！</b>"_s))}
                                 << false << u"ＥＲＲＯＲ！ＥＲＲＯＲ：本文がありません！"_s << 1;
    QTest::newRow("restriction in bold")
        << false << QList<QByteArray>{httpAnswer(page(u"お知らせ"_s, u"<b>規制中です</b>"_s))} << false
        << u"お知らせ規制中です"_s << 1;
    QTest::newRow("endless confirmations")
        << false << QList<QByteArray>{confirm} << false << u"■ 書き込み確認 ■確かめてください"_s
        << 1 + Posting::kMaxConfirmations;
    QTest::newRow("confirmation, then success")
        << false << QList<QByteArray>{confirm, httpAnswer(kSuccess)} << true << kPosted << 2;
    QTest::newRow("10 MB of garbage")
        << false << QList<QByteArray>{httpAnswer(QByteArray(10 * 1024 * 1024, 'x'))} << false
        << kUnknownAnswer << 1;
    // An error page in UTF-8 rather than Shift_JIS is still read as one.
    QTest::newRow("error page in UTF-8")
        << false
        << QList<QByteArray>{httpAnswer(
               u"<html><head><title>ＥＲＲＯＲ！</title></head><body><b>ＥＲＲＯＲ：連続投稿ですか？</b></body></html>"_s
                   .toUtf8())}
        << false << u"ＥＲＲＯＲ！ＥＲＲＯＲ：連続投稿ですか？"_s << 1;
    QTest::newRow("success comment") << false
                                     << QList<QByteArray>{httpAnswer(page(u"OK"_s, u"<!-- 2ch_X:true -->"_s))}
                                     << true << kPosted << 1;
    QTest::newRow("2ch 302 to the thread")
        << false
        << QList<QByteArray>{httpAnswer({}, "302 Found",
                                        "Location: /test/read.cgi/zatsudan/1714600000/l50\r\n")}
        << true << kPosted << 1;
    QTest::newRow("2ch 302 to another thread")
        << false
        << QList<QByteArray>{httpAnswer({}, "302 Found",
                                        "Location: /test/read.cgi/zatsudan/17146000001/\r\n")}
        << false << u"サーバーがエラー302を返しました。"_s << 1;
    QTest::newRow("refusal in a header only")
        << false
        << QList<QByteArray>{httpAnswer(page(u"..."_s), "200 OK", "X-Chx-Error: E4000 Reject your post.\r\n")}
        << false << u"E4000 Reject your post."_s << 1;
    QTest::newRow("machi 302") << true
                               << QList<QByteArray>{httpAnswer({}, "302 Found", "Location: /kanto/\r\n")}
                               << true << kPosted << 1;
    QTest::newRow("2ch 302 is no success")
        << false << QList<QByteArray>{httpAnswer({}, "302 Found", "Location: /\r\n")} << false
        << u"サーバーがエラー302を返しました。"_s << 1;
}

void TestPosting::badAnswers()
{
    QFETCH(bool, machi);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(bool, posted);
    QFETCH(QString, message);
    QFETCH(int, requests);

    Recorder recorder;
    QVERIFY(recorder.listen());
    recorder.answers = answers;
    CHttp http;
    http.InitInstance(kUserAgent, {}, 10000, 10000, 10000);
    const QString url =
        u"http://"_s + recorder.host()
        + (machi ? u"/bbs/read.cgi?BBS=kanto&KEY=1714780000"_s : u"/test/read.cgi/zatsudan/1714600000/"_s);
    QString result;
    QCOMPARE(Posting::Post(http, url, {}, {}, u"本文"_s, result, machi, {}, {}), posted);
    QCOMPARE(result, message);
    QCOMPARE(recorder.requests.size(), requests);
    // Every resend carries the same form.
    for (const Recorder::Request& request : std::as_const(recorder.requests)) {
        QCOMPARE(request.body, recorder.requests.constFirst().body);
    }
}

void TestPosting::confirmationPostsItsOwnForm_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QByteArray>("target");  // of the second post; empty: there is none
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    const QString fields = u"<input type=hidden name=bbs value=\"other\">"
                           u"<INPUT TYPE=\"hidden\" NAME=\"feature\" VALUE=\"confirmed:x y&amp;z\">"
                           u"<input type=text name=ignored value=1>"
                           u"<input type=submit value=\"上記全てを承諾して書き込む\" name=\"submit\">"
                           u"<input type=submit value=\"戻る\" name=\"back\">"_s;
    const QByteArray body =
        "bbs=other&feature=confirmed%3Ax%20y%26z&submit=%8F%E3%8BL%91S%82%C4%82%F0%8F%B3%91%F8"
        "%82%B5%82%C4%8F%91%82%AB%8D%9E%82%DE";
    QTest::newRow("relative action with a query")
        << u"<form method=POST action=\"../test/bbs.cgi?guid=ON&amp;x=1\">"_s + fields + u"</form>"_s
        << QByteArray("/test/bbs.cgi?guid=ON&x=1") << body << kPosted;
    QTest::newRow("no action: the same address")
        << u"<form method=POST>"_s + fields << QByteArray("/test/bbs.cgi?guid=ON") << body << kPosted;
    QTest::newRow("another host")
        << u"<form action=\"http://elsewhere.example/test/bbs.cgi\">"_s + fields << QByteArray()
        << QByteArray() << u"書き込み確認のページが別のサーバーへの送信を求めたので、書き込んでいません。"_s;
}

// A confirmation page is answered with the page's own form, to its action,
// with the cookie it set; a form that would send the post elsewhere is not.
void TestPosting::confirmationPostsItsOwnForm()
{
    QFETCH(QString, form);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    Recorder recorder;
    QVERIFY(recorder.listen());
    recorder.answers = {
        httpAnswer(page(u"■ 書き込み確認 ■"_s, form), "200 OK", "Set-Cookie: PON=abc123; path=/\r\n"),
        httpAnswer(kSuccess)};
    CHttp http;
    http.InitInstance(kUserAgent, {}, 10000, 10000, 10000);
    QString result;
    const bool posted =
        Posting::Post(http, u"http://"_s + recorder.host() + u"/test/read.cgi/zatsudan/1714600000/"_s, {}, {},
                      u"本文"_s, result, false, {}, {});
    QCOMPARE(result, message);
    QCOMPARE(posted, message == kPosted);
    QCOMPARE(recorder.requests.size(), target.isEmpty() ? 1 : 2);
    QVERIFY(recorder.requests[0].cookie.isEmpty());
    if (!target.isEmpty()) {
        QCOMPARE(recorder.requests[1].target, target);
        QCOMPARE(recorder.requests[1].body, body);
        QCOMPARE(recorder.requests[1].cookie, QByteArray("PON=abc123"));
    }
}

void TestPosting::boardServerExchange_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("machi");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("dat");  // board folder; the thread's file, or empty for the newest thread
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("2ch reply") << QStringList() << false
                               << u"http://ikura.2ch.example/test/read.cgi/cooking/1714650000/l50"_s
                               << QString() << u"cooking/dat/1714650000.dat"_s
                               << QByteArray("/test/bbs.cgi -> 200");
    QTest::newRow("2ch reply, older confirmation")
        << QStringList{u"--old-confirmation"_s} << false
        << u"http://ikura.2ch.example/test/read.cgi/cooking/1714650000/"_s << QString()
        << u"cooking/dat/1714650000.dat"_s << QByteArray("/test/subbbs.cgi -> 200");
    QTest::newRow("2ch new thread") << QStringList() << false << u"http://kohada.2ch.example/train/"_s
                                    << u"夜行列車&思い出"_s << u"train"_s
                                    << QByteArray("/test/bbs.cgi -> 200");
    QTest::newRow("machi reply") << QStringList() << true
                                 << u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY=1714780000"_s
                                 << QString() << u"kanto/dat/1714780000.dat"_s
                                 << QByteArray("/bbs/write.cgi?BBS=kanto&KEY=1714780000 -> 200");
    QTest::newRow("machi new thread") << QStringList() << true << u"http://kanto.machi.example/kanto/"_s
                                      << u"駅前&公園"_s << u"kanto"_s << QByteArray("/bbs/write.cgi -> 200");
}

void TestPosting::boardServerExchange()
{
    QFETCH(QStringList, options);
    QFETCH(bool, machi);
    QFETCH(QString, url);
    QFETCH(QString, subject);
    QFETCH(QString, dat);
    QFETCH(QByteArray, logged);

    QTemporaryDir served;
    QVERIFY(copyTree(kSamples, served.path()));
    BoardServerProcess server;
    QVERIFY(server.start(kServer, served.path(), options + QStringList{u"--verbose"_s}));
    CHttp http;
    http.InitInstance(kUserAgent, server.address(), 10000, 10000, 10000);

    const QString body = u"テストの書き込み😅 & <b>"_s;
    QString result;
    QVERIFY2(Posting::Post(http, url, u"名無し"_s, u"sage"_s, body, result, machi, subject, {}),
             qPrintable(result));
    QCOMPARE(result, kPosted);
    QVERIFY(server.waitForLog(logged));

    QString datPath = served.path() + u'/' + dat;
    if (!subject.isEmpty()) {
        const QStringList files = QDir(datPath + u"/dat"_s).entryList({u"*.dat"_s}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        datPath += u"/dat/"_s + files.constLast();
    }
    const QList<QByteArray> lines = readAll(datPath).trimmed().split('\n');
    const QString last = TextCodec::fromCp932(lines.constLast());
    QVERIFY2(last.startsWith(u"名無し<>sage<>"_s), qPrintable(last));
    QVERIFY2(last.contains(u"<> テストの書き込み&#128517; &amp; &lt;b&gt; <>"_s)
                 || last.contains(u"<> テストの書き込み&#128517; & &lt;b&gt; <>"_s),
             qPrintable(last));
    if (!subject.isEmpty()) {
        QVERIFY2(last.endsWith(subject), qPrintable(last));
    }
}

void TestPosting::boardServerFailures_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");

    const QString reply = u"http://ikura.2ch.example/test/read.cgi/cooking/1714650000/"_s;
    QTest::newRow("read-only board") << QStringList()
                                     << u"http://headline.2ch.example/test/read.cgi/headnews/1/"_s
                                     << QString() << u"ＥＲＲＯＲ！"_s;
    QTest::newRow("no such thread") << QStringList() << u"http://ikura.2ch.example/test/read.cgi/cooking/1/"_s
                                    << QString() << u"ＥＲＲＯＲ！"_s;
    QTest::newRow("dropped") << QStringList{u"--fault"_s, u"drop@/test/bbs.cgi"_s} << reply << QString()
                             << kNoAnswer;
    QTest::newRow("server error") << QStringList{u"--fault"_s, u"status:500@/test/bbs.cgi"_s} << reply
                                  << QString() << u"サーバーがエラー500を返しました。"_s;
    QTest::newRow("error page fault") << QStringList{u"--fault"_s, u"error-page@/test/bbs.cgi"_s} << reply
                                      << QString() << u"ＥＲＲＯＲ！"_s;
    // A server that stops half-way through its answer: the request deadline ends the wait.
    QTest::newRow("stalled answer")
        << QStringList{u"--fault"_s, u"stall:20@/test/bbs.cgi"_s} << reply << QString()
        << u"サーバーの応答が途中で切れました。書き込めたかどうか分かりません。"_s;
    // The 2ch kind needs no time from the top page: the server itself refuses.
    QTest::newRow("new thread on a read-only board")
        << QStringList() << u"http://headline.2ch.example/headnews/"_s << u"題"_s << u"ＥＲＲＯＲ！"_s;
}

void TestPosting::boardServerFailures()
{
    QFETCH(QStringList, options);
    QFETCH(QString, url);
    QFETCH(QString, subject);
    QFETCH(QString, message);

    QTemporaryDir served;
    QVERIFY(copyTree(kSamples, served.path()));
    BoardServerProcess server;
    QVERIFY(server.start(kServer, served.path(), options));
    CHttp http;
    http.InitInstance(kUserAgent, server.address(), 10000, 10000, 10000);
    http.setDeadline(1500);
    QString result;
    QVERIFY(!Posting::Post(http, url, {}, {}, u"本文"_s, result, false, subject, {}));
    QVERIFY2(result.startsWith(message), qPrintable(result));
    QVERIFY(result != kPosted);
}

void TestPosting::httpsBoard()
{
    QTemporaryDir keys;
    QString certificate;
    QString key;
    QVERIFY(BoardServerProcess::makeCertificate(keys.path(), &certificate, &key));
    QTemporaryDir served;
    QVERIFY(copyTree(kSamples, served.path()));
    BoardServerProcess server;
    QVERIFY(server.start(kServer, served.path(),
                         {u"--verbose"_s, u"--tls-certificate"_s, certificate, u"--tls-key"_s, key}));
    CHttp http;
    http.InitInstance(kUserAgent, server.address(), 10000, 10000, 10000);
    http.addCaCertificates(QSslCertificate::fromPath(certificate));
    QString result;
    QVERIFY2(Posting::Post(http, u"https://ikura.2ch.example/test/read.cgi/cooking/1714650000/"_s, {}, {},
                           u"安全に"_s, result, false, {}, {}),
             qPrintable(result));
    QVERIFY(server.waitForLog("POST /test/bbs.cgi -> 200 tls"));
}

// A server as the boards are today (5ch.io, MonaTicket, donguri, Samba),
// post after post, with the cookies kept in a file across restarts.
void TestPosting::todaysServer()
{
    QTemporaryDir served;
    QVERIFY(copyTree(kSamples, served.path()));
    QFile setting(served.filePath(u"cooking/SETTING.TXT"_s));
    QVERIFY(setting.open(QIODevice::Append));
    setting.write("BBS_ACORN=1\n");
    setting.close();
    BoardServerProcess server;
    QVERIFY(server.start(
        kServer, served.path(),
        {u"--verbose"_s, u"--domain-5ch-io"_s, u"--mona-ticket"_s, u"--donguri"_s, u"--samba"_s, u"60"_s}));
    QTemporaryDir data;
    const QString cookies = data.filePath(u"cookie.list"_s);
    // A thread as an old bookmark names it: the post goes to 5ch.io at once.
    const QString thread = u"http://ikura.5ch.net/test/read.cgi/cooking/1714650000/"_s;
    const QString dat = served.filePath(u"cooking/dat/1714650000.dat"_s);
    const QByteArray before = readAll(dat);
    const auto post = [&](const QString& url, const QString& body, std::optional<qint64> now = std::nullopt) {
        CHttp http;  // a new one each time: the program started again
        http.InitInstance(kUserAgent, server.address(), 10000, 10000, 10000);
        http.setCookieFile(cookies);
        QString result;
        const bool posted = Posting::Post(http, url, {}, {}, body, result, false, {}, {}, now);
        return std::make_pair(posted, result);
    };
    const auto posts = [&] { return server.log().count("POST "); };

    // A time of now is refused: the server wants it half a minute old.
    auto [posted, result] = post(thread, u"早すぎ"_s, QDateTime::currentSecsSinceEpoch() + 30);
    QVERIFY(!posted);
    QVERIFY2(result.contains(u"投稿時刻が正しくありません"_s), qPrintable(result));

    // Confirmation, then the acorn planted: the user hears the server's words.
    std::tie(posted, result) = post(thread, u"一回目"_s);
    QVERIFY(!posted);
    QVERIFY2(result.contains(u"どんぐりを埋めました。芽が出るまで数分待ってから投稿してください。"_s),
             qPrintable(result));
    QCOMPARE(posts(), 3);
    QVERIFY(server.log().contains("POST http://ikura.5ch.io/test/bbs.cgi?guid=ON -> 200"));
    QCOMPARE(readAll(dat), before);

    struct stat mode
    {
    };

    QCOMPARE(::stat(QFile::encodeName(cookies).constData(), &mode), 0);
    QCOMPARE(mode.st_mode & 0777, 0600u);
    const QByteArray kept = readAll(cookies);
    QVERIFY(kept.contains("MonaTicket=") && kept.contains("acorn=") && kept.contains("domain=.5ch.io"));

    // After a restart: ticket and acorn go with the post, which is taken at once.
    std::tie(posted, result) = post(thread, u"二回目"_s);
    QVERIFY2(posted, qPrintable(result));
    QCOMPARE(result, kPosted);
    QCOMPARE(posts(), 4);
    QVERIFY(TextCodec::fromCp932(readAll(dat)).contains(u"二回目"_s));

    // The next one on the same board comes too soon: the wait is said in seconds.
    std::tie(posted, result) = post(thread, u"三回目"_s);
    QVERIFY(!posted);
    QVERIFY2(result.contains(u"ＥＲＲＯＲ - 593 60 sec たたないと書けません。"_s), qPrintable(result));

    // An acorn the server never planted.
    QFile file(cookies);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray forged = file.readAll();
    file.close();
    const qsizetype at = forged.indexOf("acorn=") + 6;
    forged.replace(at, forged.indexOf(';', at) - at, "withered");
    QVERIFY(TextFile::writePrivateBytes(cookies, forged));
    std::tie(posted, result) = post(u"http://uni.5ch.io/test/read.cgi/zatsudan/1714850000/"_s, u"四回目"_s);
    QVERIFY2(posted, qPrintable(result));  // no acorn needed on this board
    std::tie(posted, result) = post(u"http://ikura.5ch.io/test/read.cgi/cooking/1714750000/"_s, u"五回目"_s);
    QVERIFY(!posted);
    QVERIFY2(result.contains(u"[broken_acorn]"_s), qPrintable(result));
}

QTEST_GUILESS_MAIN(TestPosting)
#include "TestPosting.moc"
