// The local board server as the program's tests and the demo use it: the real
// binary on an ephemeral port, spoken to over TCP and through Qt's HTTP client
// with the server as its proxy. Posting tests work on a temporary copy of the
// sample boards, never on samples/ itself.

#include <memory>
#include <signal.h>
#include <sys/prctl.h>
#include <zlib.h>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kServerPath = QStringLiteral(BOARDSERVER_PATH);
const QString kSamples = QStringLiteral(SAMPLE_BOARDS_DIR);

// The server as a child process. It dies with the test however the test ends:
// the destructor kills it, the kernel kills it when the test process dies, and
// the server itself quits when its stdin (our pipe) closes.
class ServerProcess
{
public:
    ServerProcess() = default;
    Q_DISABLE_COPY_MOVE(ServerProcess)

    ~ServerProcess() { stop(); }

    bool start(const QStringList& arguments)
    {
        m_process.setProgram(kServerPath);
        m_process.setArguments(QStringList{u"--port"_s, u"0"_s, u"--quit-on-stdin-eof"_s} + arguments);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 10000) {
            if (!m_process.waitForReadyRead(1000) && m_process.state() != QProcess::Running) {
                qWarning("server ended: %s", m_process.readAllStandardError().constData());
                return false;
            }
        }
        static const QRegularExpression pattern(u"^listening 127\\.0\\.0\\.1:([0-9]+)\\n$"_s);
        const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(m_process.readLine()));
        m_port = m.hasMatch() ? m.captured(1).toUShort() : 0;
        return m_port != 0;
    }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    quint16 port() const { return m_port; }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

struct RawReply
{
    QByteArray head;  // status line and headers, without the empty line
    QByteArray body;  // at most the first 1 MiB
    qint64 bodySize = 0;
    bool closed = false;  // the server closed the connection
    qint64 elapsedMs = 0;

    int status() const { return head.isEmpty() ? 0 : head.split(' ').value(1).toInt(); }

    QByteArray header(QByteArrayView name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name) {
                return line.mid(colon + 1).trimmed();
            }
        }
        return {};
    }

    bool hasHeader(QByteArrayView name) const { return !header(name).isNull(); }
};

// Sends the bytes as they are and reads until the server closes or the time
// is up. Only the first MiB of the body is kept, so an endless body is counted
// without filling memory.
RawReply exchange(quint16 port, const QByteArray& request, int timeoutMs = 10000)
{
    RawReply reply;
    QElapsedTimer clock;
    clock.start();
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(5000)) {
        return reply;
    }
    socket.write(request);
    socket.waitForBytesWritten(5000);
    QByteArray buffer;
    bool headDone = false;
    while (clock.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(100)) {
            if (socket.state() == QAbstractSocket::UnconnectedState) {
                reply.closed = true;
                break;
            }
            continue;
        }
        QByteArray bytes = socket.readAll();
        if (!headDone) {
            buffer += bytes;
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                continue;
            }
            headDone = true;
            reply.head = buffer.left(end).replace("\r\n", "\n");
            bytes = buffer.mid(end + 4);
        }
        reply.bodySize += bytes.size();
        if (reply.body.size() < 1024 * 1024) {
            reply.body += bytes;
        }
    }
    if (!headDone) {
        reply.body = buffer;
    }
    reply.elapsedMs = clock.elapsed();
    return reply;
}

QByteArray get(QByteArrayView target)
{
    return "GET " + target.toByteArray() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

// The body of a gzip answer unpacked; empty when it is not one whole member.
QByteArray gunzip(const QByteArray& packed)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        return {};
    }
    QByteArray out(1024 * 1024, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = inflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

QByteArray sampleBytes(const QString& relative)
{
    QFile file(kSamples + u'/' + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target)) {
            return false;
        }
    }
    return true;
}

// What the program sends: Shift_JIS, letters and digits as they are, every
// other byte as %XX. A reference typed as text ("&#128517;") goes as typed.
QByteArray formEncode(const QString& text)
{
    QByteArray bytes;
    const QStringList pieces = text.split(u"&#"_s);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        bytes += (i > 0 ? "&#" : "") + TextCodec::toCp932(pieces[i]);
    }
    QByteArray out;
    for (char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += c;
        } else {
            out +=
                '%' + QByteArray::number(static_cast<unsigned char>(c), 16).toUpper().rightJustified(2, '0');
        }
    }
    return out;
}

QString decode(const QByteArray& bytes)
{
    return TextCodec::fromCp932(bytes);
}

// The checks by which the program recognises the pages of a post.
bool isConfirmation(const QString& page)
{
    static const QRegularExpression pattern(u"<title>.*確認.*</title>"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(page).hasMatch();
}

bool isError(const QString& page)
{
    static const QRegularExpression pattern(
        u"(<title>|<b>).*(error|[ｅＥ][ｒＲ][ｒＲ][ｏＯ][ｒＲ]|エラー|ｴﾗｰ|規制).*(</title>|</b>)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(page).hasMatch();
}

// The confirmation page's own hidden field (a random name and value), ready
// to be sent back with the next post as a browser would: "&NAME=VALUE", or
// empty when the page has none.
QByteArray returnedField(const QString& page)
{
    static const QRegularExpression field(u"<input type=hidden name=(h[0-9a-f]{6}) value=\"([^\"]*)\">"_s);
    // The page also repeats the fields it was sent, a former one of these
    // included; its own comes last.
    QRegularExpressionMatch m;
    for (auto it = field.globalMatch(page); it.hasNext();) {
        m = it.next();
    }
    if (!m.hasMatch()) {
        return {};
    }
    return '&' + m.captured(1).toLatin1() + '='
           + formEncode(QString(m.captured(2)).replace(u"&#32;"_s, u" "_s));
}

struct PostResult
{
    QString page;
    QByteArray setCookie;
    int status = 0;
    QByteArray location;
};

}  // namespace

class TestBoardServer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_root;
    ServerProcess m_server;
    std::unique_ptr<QNetworkAccessManager> m_nam;
    QByteArray m_returned;  // the last confirmation's hidden field, sent back with the next post

    QNetworkAccessManager& freshClient()
    {
        m_returned.clear();
        m_nam = std::make_unique<QNetworkAccessManager>();
        m_nam->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, m_server.port()));
        return *m_nam;
    }

    QByteArray fetch(const QString& url)
    {
        QNetworkReply* reply = m_nam->get(QNetworkRequest(QUrl(url)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished()) {
            finished.wait(10000);
        }
        reply->deleteLater();
        return reply->readAll();
    }

    PostResult post(const QString& url, const QByteArray& form)
    {
        QNetworkRequest request{QUrl(url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply* reply = m_nam->post(request, form + m_returned);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished()) {
            finished.wait(10000);
        }
        reply->deleteLater();
        const PostResult result{decode(reply->readAll()), reply->rawHeader("Set-Cookie"),
                                reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                reply->rawHeader("Location")};
        m_returned = returnedField(result.page);
        return result;
    }

    QByteArray servedFile(const QString& relative)
    {
        QFile file(m_root + u'/' + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:

    void initTestCase()
    {
        QVERIFY(QFileInfo::exists(kServerPath));
        QVERIFY(m_dir.isValid());
        m_root = m_dir.filePath(u"board"_s);
        QVERIFY(copyTree(kSamples, m_root));
        QVERIFY(m_server.start({u"--root"_s, m_root}));
    }

    void cleanupTestCase() { m_server.stop(); }

    void menuPage()
    {
        const RawReply reply = exchange(m_server.port(), get("/bbsmenu.html"));
        QCOMPARE(reply.status(), 200);
        QVERIFY(reply.header("content-type").contains("Shift_JIS"));
        QCOMPARE(reply.header("content-length").toLongLong(), reply.bodySize);
        QCOMPARE(reply.body, sampleBytes(u"bbsmenu.html"_s));
        QCOMPARE(exchange(m_server.port(), get("/")).body, reply.body);

        const QString menu = decode(reply.body);
        QVERIFY(menu.contains(u"<TITLE>BBS MENU for 2ch</TITLE>"_s, Qt::CaseInsensitive));
        static const QRegularExpression category(u"<b>([^<]+)</b>"_s,
                                                 QRegularExpression::CaseInsensitiveOption);
        QStringList categories;
        for (const QRegularExpressionMatch& m : category.globalMatch(menu)) {
            categories.append(m.captured(1));
        }
        QVERIFY(categories.size() >= 3);
        QVERIFY(categories.contains(u"まちＢＢＳ"_s));
        static const QRegularExpression link(u"<a href=([^ >]+/)[^>]*>([^<]+)</a>"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        QSet<QString> boards;
        bool headline = false;
        bool machi = false;
        for (const QRegularExpressionMatch& m : link.globalMatch(menu)) {
            boards.insert(m.captured(1));
            headline = headline || m.captured(2).endsWith(u"headline"_s);
            machi = machi || m.captured(1).contains(u".machi."_s);
        }
        QVERIFY(boards.size() >= 6);
        QVERIFY(headline);
        QVERIFY(machi);
    }

    // Conditional requests, byte ranges and gzip on a stored file. "$ETAG",
    // "$DATE" and "$SIZE" stand for the file's own tag, date and size.
    void storedFileAnswers_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentRange");
        QTest::addColumn<QString>("body");  // "whole", "gzip", "empty", "from:N", "first:N"
        QTest::newRow("range to the end")
            << "Range: bytes=10-\r\n"_ba << 206 << "bytes 10-$LAST/$SIZE"_ba << u"from:10"_s;
        QTest::newRow("range of ten bytes")
            << "Range: bytes=0-9\r\n"_ba << 206 << "bytes 0-9/$SIZE"_ba << u"first:10"_s;
        QTest::newRow("range past the end")
            << "Range: bytes=$SIZE-\r\n"_ba << 416 << "bytes */$SIZE"_ba << u"empty"_s;
        QTest::newRow("several ranges: the whole file")
            << "Range: bytes=0-1,5-6\r\n"_ba << 200 << QByteArray() << u"whole"_s;
        QTest::newRow("tag matches") << "If-None-Match: $ETAG\r\n"_ba << 304 << QByteArray() << u"empty"_s;
        QTest::newRow("tag differs: the date is not asked")
            << "If-None-Match: \"other\"\r\nIf-Modified-Since: $DATE\r\n"_ba << 200 << QByteArray()
            << u"whole"_s;
        QTest::newRow("not modified since")
            << "If-Modified-Since: $DATE\r\n"_ba << 304 << QByteArray() << u"empty"_s;
        QTest::newRow("modified since")
            << "If-Modified-Since: Mon, 01 Jan 2001 00:00:00 GMT\r\n"_ba << 200 << QByteArray() << u"whole"_s;
        QTest::newRow("gzip asked") << "Accept-Encoding: gzip, deflate\r\n"_ba << 200 << QByteArray()
                                    << u"gzip"_s;
        QTest::newRow("gzip and a range: the range uncompressed")
            << "Accept-Encoding: gzip\r\nRange: bytes=10-\r\n"_ba << 206 << "bytes 10-$LAST/$SIZE"_ba
            << u"from:10"_s;
    }

    void storedFileAnswers()
    {
        QFETCH(QByteArray, headers);
        QFETCH(int, status);
        QFETCH(QByteArray, contentRange);
        QFETCH(QString, body);
        const QByteArray file = sampleBytes(u"zatsudan/dat/1714850000.dat"_s);
        const QByteArray target = "/zatsudan/dat/1714850000.dat";
        const RawReply plain = exchange(m_server.port(), get(target));
        QCOMPARE(plain.status(), 200);
        QCOMPARE(plain.header("accept-ranges"), "bytes"_ba);
        const auto fill = [&](QByteArray text) {
            return text.replace("$ETAG", plain.header("etag"))
                .replace("$DATE", plain.header("last-modified"))
                .replace("$SIZE", QByteArray::number(file.size()))
                .replace("$LAST", QByteArray::number(file.size() - 1));
        };
        const RawReply reply = exchange(m_server.port(), "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                             + fill(headers) + "Connection: close\r\n\r\n");
        QCOMPARE(reply.status(), status);
        QCOMPARE(reply.header("content-range"), fill(contentRange));
        QCOMPARE(reply.header("content-length").toLongLong(), reply.bodySize);
        QCOMPARE(reply.hasHeader("content-encoding"), body == u"gzip"_s);
        if (body == u"whole"_s) {
            QCOMPARE(reply.body, file);
        } else if (body == u"gzip"_s) {
            QVERIFY(reply.body.size() < file.size());
            QCOMPARE(gunzip(reply.body), file);
        } else if (body == u"empty"_s) {
            QCOMPARE(reply.bodySize, 0);
        } else if (body.startsWith(u"from:"_s)) {
            QCOMPARE(reply.body, file.mid(body.mid(5).toInt()));
        } else {
            QCOMPARE(reply.body, file.left(body.mid(6).toInt()));
        }
    }

    void subjectIsShiftJis()
    {
        const RawReply reply = exchange(m_server.port(), get("/cooking/subject.txt"));
        QCOMPARE(reply.status(), 200);
        QVERIFY(reply.header("content-type").startsWith("text/plain"));
        QCOMPARE(reply.body, sampleBytes(u"cooking/subject.txt"_s));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8(reply.body);
        QVERIFY(utf8.hasError());
        QVERIFY(!reply.body.contains('\r'));
        QVERIFY(reply.body.endsWith('\n'));
        const QString text = decode(reply.body);
        QVERIFY(text.contains(u"初心者でも失敗しないホットケーキの焼き方"_s));
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
    }

    void datFile()
    {
        const RawReply reply = exchange(m_server.port(), get("/zatsudan/dat/1714300000.dat"));
        QCOMPARE(reply.status(), 200);
        QCOMPARE(reply.header("content-length").toLongLong(), reply.bodySize);
        QCOMPARE(reply.body, sampleBytes(u"zatsudan/dat/1714300000.dat"_s));
        QCOMPARE(reply.body.count('\n'), 1000);
        QVERIFY(decode(reply.body.left(reply.body.indexOf('\n'))).endsWith(u"<>1から1000まで数えるスレ"_s));
    }

    void missingFileIs404()
    {
        const RawReply reply = exchange(m_server.port(), get("/cooking/dat/9999999999.dat"));
        QCOMPARE(reply.status(), 404);
        QVERIFY(reply.header("content-type").startsWith("text/html"));
        QVERIFY(reply.body.contains("404"));
        QVERIFY(reply.body.size() < 1024);
    }

    void machiThreadPage()
    {
        const RawReply reply = exchange(m_server.port(), get("/bbs/read.cgi?BBS=kanto&KEY=1714690000"));
        QCOMPARE(reply.status(), 200);
        const QString page = decode(reply.body);
        QVERIFY(page.contains(u"<title>関東の朝市・商店街スレ</title>"_s));
        // Read as the program reads it: pieces between "<dt>", the last one not a message.
        const QStringList pieces = page.split(u"<dt>"_s);
        QList<int> numbers;
        for (qsizetype i = 1; i < pieces.size() - 1; ++i) {
            const QString& item = pieces[i];
            numbers.append(item.left(item.indexOf(u' ')).toInt());
            QVERIFY2(item.contains(u" ID:"_s) && item.contains(u"[ "_s) && item.contains(u"<dd>"_s),
                     qPrintable(item));
            QVERIFY(item.contains(u"<br><br>"_s));
        }
        QCOMPARE(numbers, (QList<int>{1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 14, 15}));
        QVERIFY(!pieces.last().contains(u"<br><br>"_s));
        QVERIFY(pieces[1].contains(u"[ p2201-ipngn100.saitama.example.ne.jp ]"_s));
        QVERIFY(pieces[2].contains(u"<a href=\"mailto:sage\"><b>"_s));
    }

    void proxyStyleRequest_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("sample");
        QTest::newRow("2ch host") << "http://uni.2ch.example/zatsudan/subject.txt"_ba
                                  << u"zatsudan/subject.txt"_s;
        QTest::newRow("machi host") << "http://kanto.machi.example/kanto/subject.txt"_ba
                                    << u"kanto/subject.txt"_s;
        QTest::newRow("host with port") << "http://ikura.2ch.example:8080/cooking/dat/1714600000.dat"_ba
                                        << u"cooking/dat/1714600000.dat"_s;
        QTest::newRow("upper-case scheme") << "HTTP://Menu.2ch.example/bbsmenu.html"_ba << u"bbsmenu.html"_s;
    }

    void proxyStyleRequest()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, sample);
        const RawReply reply = exchange(m_server.port(), "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
        QCOMPARE(reply.status(), 200);
        QCOMPARE(reply.body, sampleBytes(sample));
    }

    void http10AndHead()
    {
        const RawReply old = exchange(m_server.port(), "GET /cooking/subject.txt HTTP/1.0\r\n\r\n");
        QVERIFY(old.head.startsWith("HTTP/1.0 200 "));
        QCOMPARE(old.body, sampleBytes(u"cooking/subject.txt"_s));
        const RawReply head = exchange(m_server.port(), "HEAD /cooking/subject.txt HTTP/1.1\r\n\r\n");
        QCOMPARE(head.status(), 200);
        QCOMPARE(head.bodySize, 0);
        QCOMPARE(head.header("content-length").toLongLong(), sampleBytes(u"cooking/subject.txt"_s).size());
    }

    void boardTopPages()
    {
        static const QRegularExpression time(u"name=time value=([0-9]+)>"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        const QString top = decode(exchange(m_server.port(), get("/cooking/")).body);
        QVERIFY(time.match(top).hasMatch());
        QVERIFY(top.contains(u"action=\"../test/bbs.cgi\""_s));
        QVERIFY(top.contains(u"1714600000"_s));
        const QString machi = decode(exchange(m_server.port(), get("/kanto/")).body);
        QVERIFY(time.match(machi).hasMatch());
        QVERIFY(machi.contains(u"action=\"../bbs/write.cgi\""_s));
        // A headline board takes no new threads: no time field at all.
        const QString headline = decode(exchange(m_server.port(), get("/headnews/")).body);
        QVERIFY(!headline.toLower().contains(u"name=time"_s));
        QVERIFY(headline.contains(u"<title>"_s));
    }

    void confirmationNeedsCookieAndHiddenField()
    {
        freshClient();
        const QByteArray form =
            "submit=x&bbs=cooking&key=1714750000&FROM=&mail=sage&MESSAGE=abc&time=1714750000";
        const QString url = u"http://ikura.2ch.example/test/bbs.cgi"_s;
        const QByteArray before = servedFile(u"cooking/dat/1714750000.dat"_s);
        const PostResult first = post(url, form);
        QVERIFY(isConfirmation(first.page));
        const QByteArray field = m_returned;
        QVERIFY(!field.isEmpty());
        // The cookie alone is not enough.
        m_returned.clear();
        QVERIFY(isConfirmation(post(url, form).page));
        // Nor the field without its cookie.
        freshClient();
        m_returned = field;
        QVERIFY(isConfirmation(post(url, form).page));
        QCOMPARE(servedFile(u"cooking/dat/1714750000.dat"_s), before);
        // Both, as a browser returns the page's form.
        QVERIFY(post(url, form).page.contains(u"書きこみました"_s));
        QVERIFY(servedFile(u"cooking/dat/1714650000.dat"_s).size() > before.size());

        // The machi kind answers an accepted post with a redirection to the thread.
        freshClient();
        const QString machi = u"http://kanto.machi.example/bbs/write.cgi?BBS=kanto&KEY=1714690000"_s;
        const QByteArray machiForm =
            "submit=x&BBS=kanto&KEY=1714690000&NAME=&MAIL=&MESSAGE=abc&TIME=1714690000";
        QVERIFY(isConfirmation(post(machi, machiForm).page));
        const PostResult done = post(machi, machiForm);
        QCOMPARE(done.status, 302);
        QCOMPARE(done.location, QByteArray("/bbs/read.cgi?BBS=kanto&KEY=1714690000"));
    }

    void replyIsConfirmedThenAppended()
    {
        freshClient();
        const QByteArray form =
            "submit=" + formEncode(u"上記全てを承諾して書き込む"_s)
            + "&bbs=cooking&key=1714650000&FROM=" + formEncode(u"テスト"_s)
            + "&mail=sage&MESSAGE=" + formEncode(u"卵焼きに<ねぎ>\n&#128517; \"おいしい\""_s)
            + "&guid=ON&hana=mogera&time=1714650000";
        const QString url = u"http://ikura.2ch.example/test/bbs.cgi"_s;

        const PostResult first = post(url, form);
        QVERIFY(isConfirmation(first.page));
        QVERIFY(first.setCookie.startsWith("PON="));
        const QByteArray before = servedFile(u"cooking/dat/1714650000.dat"_s);
        QCOMPARE(before, sampleBytes(u"cooking/dat/1714650000.dat"_s));

        const PostResult second = post(url, form);
        QVERIFY(second.page.contains(u"<title>書きこみました。</title>"_s));
        QVERIFY(!isConfirmation(second.page));
        QVERIFY(!isError(second.page));

        const QByteArray dat = fetch(u"http://ikura.2ch.example/cooking/dat/1714650000.dat"_s);
        QVERIFY(dat.startsWith(before));
        QCOMPARE(dat.count('\n'), before.count('\n') + 1);
        const QString added = decode(dat.mid(before.size()));
        static const QRegularExpression line(
            u"^テスト<>sage<>[0-9]{4}/[0-9]{2}/[0-9]{2}\\(.\\) [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{2} ID:[^ "
            u"<]{8}0<> "
            u"卵焼きに&lt;ねぎ&gt; <br> &#128517; &quot;おいしい&quot; <>\\n$"_s);
        QVERIFY2(line.match(added).hasMatch(), qPrintable(added));
        // "sage": the thread keeps its place in the list, with the new count.
        const QString subject = decode(fetch(u"http://ikura.2ch.example/cooking/subject.txt"_s));
        QVERIFY(subject.contains(u"1714650000.dat<>お弁当のおかず、何入れてる？ (11)\n"_s));
        QVERIFY(!subject.startsWith(u"1714650000"_s));
    }

    void newThreadIsCreated()
    {
        freshClient();
        const QString top = decode(fetch(u"http://kohada.2ch.example/train/"_s));
        static const QRegularExpression time(u"name=time value=([0-9]+)>"_s);
        const QString timeValue = time.match(top).captured(1);
        QVERIFY(!timeValue.isEmpty());
        const QByteArray form = "submit=" + formEncode(u"新規スレッド作成"_s)
                                + "&bbs=train&FROM=&mail=&MESSAGE=" + formEncode(u"はじめての新スレです"_s)
                                + "&subject=" + formEncode(u"夜行列車の&思い出"_s)
                                + "&time=" + timeValue.toLatin1();
        QVERIFY(isConfirmation(post(u"http://kohada.2ch.example/test/bbs.cgi"_s, form).page));
        QVERIFY(post(u"http://kohada.2ch.example/test/bbs.cgi"_s, form).page.contains(u"書きこみました"_s));

        const QString subject = decode(fetch(u"http://kohada.2ch.example/train/subject.txt"_s));
        static const QRegularExpression firstLine(u"^([0-9]{10})\\.dat<>夜行列車の&思い出 \\(1\\)\\n"_s);
        const QRegularExpressionMatch m = firstLine.match(subject);
        QVERIFY2(m.hasMatch(), qPrintable(subject));
        const QString dat =
            decode(fetch(u"http://kohada.2ch.example/train/dat/"_s + m.captured(1) + u".dat"_s));
        QCOMPARE(dat.count(u'\n'), 1);
        QVERIFY(dat.startsWith(u"名無しでGO!<><>"_s));
        QVERIFY(dat.endsWith(u"<> はじめての新スレです <>夜行列車の&思い出\n"_s));
    }

    void machiReplyAndNewThread()
    {
        freshClient();
        const QString url = u"http://kanto.machi.example/bbs/write.cgi?BBS=kanto&KEY=1714780000"_s;
        const QByteArray form = "submit=" + formEncode(u"上記全てを承諾して書き込む"_s)
                                + "&BBS=kanto&KEY=1714780000&NAME=&MAIL=&MESSAGE="
                                + formEncode(u"夕方の海もきれい"_s) + "&TIME=1714780000";
        QVERIFY(isConfirmation(post(url, form).page));
        const QString done = post(url, form).page;
        QVERIFY(!isConfirmation(done) && !isError(done));

        const QString page =
            decode(fetch(u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY=1714780000"_s));
        const QStringList pieces = page.split(u"<dt>"_s);
        const QString last = pieces[pieces.size() - 2];
        QVERIFY2(last.startsWith(u"9 ："_s), qPrintable(last));
        QVERIFY(last.contains(u"[ 127.0.0.1 ]"_s));
        QVERIFY(last.contains(u"夕方の海もきれい"_s));
        QVERIFY(decode(fetch(u"http://kanto.machi.example/kanto/subject.txt"_s))
                    .startsWith(u"1714780000.cgi,海沿いの散歩コースを語ろう(9)\n"_s));

        static const QRegularExpression time(u"name=time value=([0-9]+)>"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        const QString timeValue =
            time.match(decode(fetch(u"http://kanto.machi.example/kanto/"_s))).captured(1);
        const QByteArray newThread = "submit=" + formEncode(u"新規書き込み"_s)
                                     + "&BBS=kanto&SUBJECT=" + formEncode(u"駅前,公園の話"_s)
                                     + "&NAME=&MAIL=&MESSAGE=" + formEncode(u"ベンチが新しくなりました"_s)
                                     + "&TIME=" + timeValue.toLatin1();
        // A cookie is not enough: each post brings back its confirmation's field.
        QVERIFY(isConfirmation(post(u"http://kanto.machi.example/bbs/write.cgi"_s, newThread).page));
        QCOMPARE(post(u"http://kanto.machi.example/bbs/write.cgi"_s, newThread).status, 302);
        static const QRegularExpression firstLine(u"^[0-9]{10}\\.cgi,駅前，公園の話\\(1\\)\\n"_s);
        QVERIFY(firstLine.match(decode(fetch(u"http://kanto.machi.example/kanto/subject.txt"_s))).hasMatch());
    }

    void postErrors_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QString>("message");
        const QByteArray submit = "submit=" + formEncode(u"上記全てを承諾して書き込む"_s);
        QTest::newRow("empty message")
            << u"uni.2ch.example"_s << submit + "&bbs=zatsudan&key=1714850000&FROM=&mail=&MESSAGE=&time=1"
            << u"本文がありません"_s;
        QTest::newRow("readonly board")
            << u"headline.2ch.example"_s
            << submit + "&bbs=headnews&key=1714700000&FROM=&mail=&MESSAGE=a&time=1" << u"規制"_s;
        QTest::newRow("thread of 1000")
            << u"uni.2ch.example"_s << submit + "&bbs=zatsudan&key=1714300000&FROM=&mail=&MESSAGE=1001&time=1"
            << u"1000を超えました"_s;
        QTest::newRow("missing thread")
            << u"uni.2ch.example"_s << submit + "&bbs=zatsudan&key=1234567890&FROM=&mail=&MESSAGE=a&time=1"
            << u"このスレッドには書き込めません"_s;
        QTest::newRow("missing board")
            << u"uni.2ch.example"_s << submit + "&bbs=nosuch&key=1234567890&FROM=&mail=&MESSAGE=a&time=1"
            << u"その板は存在しません"_s;
        QTest::newRow("new thread without subject")
            << u"uni.2ch.example"_s << "submit=x&bbs=zatsudan&FROM=&mail=&MESSAGE=a&subject=&time=1"_ba
            << u"サブジェクトが存在しません"_s;
    }

    void postErrors()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, form);
        QFETCH(QString, message);
        freshClient();
        const QString url = u"http://"_s + host + u"/test/bbs.cgi"_s;
        const QByteArray dat = servedFile(u"zatsudan/dat/1714300000.dat"_s);
        PostResult result = post(url, form);
        if (isConfirmation(result.page)) {
            result = post(url, form);
        }
        QVERIFY2(isError(result.page), qPrintable(result.page));
        QVERIFY2(result.page.contains(message), qPrintable(result.page));
        QCOMPARE(servedFile(u"zatsudan/dat/1714300000.dat"_s), dat);
    }

    void olderConfirmationLeadsToSubbbs()
    {
        ServerProcess server;
        QVERIFY(server.start({u"--root"_s, m_root, u"--old-confirmation"_s}));
        QNetworkAccessManager nam;
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
        m_nam.reset();
        auto send = [&nam](const QString& url, const QByteArray& form) {
            QNetworkRequest request{QUrl(url)};
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
            QNetworkReply* reply = nam.post(request, form);
            QSignalSpy finished(reply, &QNetworkReply::finished);
            if (!reply->isFinished()) {
                finished.wait(10000);
            }
            reply->deleteLater();
            return decode(reply->readAll());
        };
        const QByteArray rest =
            "&bbs=yomiage&key=1714880000&FROM=&mail=&MESSAGE=" + formEncode(u"…も読みにくい"_s);
        const QString page =
            send(u"http://anago.2ch.example/test/bbs.cgi"_s,
                 "submit=" + formEncode(u"上記全てを承諾して書き込む"_s) + rest + "&time=1714880000");
        QVERIFY(!isConfirmation(page));
        static const QRegularExpression title(u"<title>.*＠2ch掲示板.*</title>"_s,
                                              QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression button(u"<input type=submit value=\"(.*)\" name=\"submit\">"_s,
                                               QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression time(u"name=time value=([0-9]+)>"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        QVERIFY(title.match(page).hasMatch());
        const QString value = button.match(page).captured(1);
        QCOMPARE(value, u"上記全てを承諾して書き込む"_s);
        const QString timeValue = time.match(page).captured(1);
        QCOMPARE(timeValue, u"1714880000"_s);

        const QString done = send(u"http://anago.2ch.example/test/subbbs.cgi"_s,
                                  "submit=" + formEncode(value) + rest + "&time=" + timeValue.toLatin1()
                                      + returnedField(page));
        QVERIFY2(done.contains(u"<title>書きこみました。</title>"_s), qPrintable(done));
        QVERIFY(decode(servedFile(u"yomiage/dat/1714880000.dat"_s)).contains(u"<> …も読みにくい <>\n"_s));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("expect");
        const QByteArray dat = "/cooking/dat/1714600000.dat";
        QTest::newRow("no Content-Length") << u"no-length@/dat/"_s << dat << u"no-length"_s;
        QTest::newRow("short body") << u"short@/dat/"_s << dat << u"short"_s;
        QTest::newRow("short body of 10 bytes") << u"short:10@/dat/"_s << dat << u"short10"_s;
        QTest::newRow("length shorter than the body") << u"long:100@/dat/"_s << dat << u"long"_s;
        QTest::newRow("dropped connection") << u"drop@/dat/"_s << dat << u"drop"_s;
        QTest::newRow("endless body") << u"endless:2@/dat/"_s << dat << u"endless"_s;
        QTest::newRow("delay") << u"delay:600@/dat/"_s << dat << u"delay"_s;
        QTest::newRow("stall") << u"stall:1@/dat/"_s << dat << u"stall"_s;
        QTest::newRow("error page") << u"error-page@/dat/"_s << dat << u"error-page"_s;
        QTest::newRow("status") << u"status:503"_s << dat << u"status"_s;
        QTest::newRow("redirect") << u"redirect:/cooking/subject.txt@/old"_s << "/old/place"_ba
                                  << u"redirect"_s;
        QTest::newRow("trickle") << u"trickle:1@subject.txt"_s << "/cooking/subject.txt"_ba << u"trickle"_s;
        QTest::newRow("throttle") << u"throttle:20000@/dat/"_s << dat << u"throttle"_s;
        QTest::newRow("other paths unaffected")
            << u"drop@/dat/"_s << "/cooking/subject.txt"_ba << u"normal"_s;
    }

    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, target);
        QFETCH(QString, expect);
        ServerProcess server;
        QVERIFY(server.start({u"--root"_s, kSamples, u"--fault"_s, fault}));
        const QByteArray full = sampleBytes(u"cooking/dat/1714600000.dat"_s);
        const RawReply reply = exchange(server.port(), get(target), 15000);
        QVERIFY(reply.closed);

        if (expect == u"no-length"_s) {
            QCOMPARE(reply.status(), 200);
            QVERIFY(!reply.hasHeader("content-length"));
            QCOMPARE(reply.body, full);
        } else if (expect == u"short"_s || expect == u"short10"_s) {
            QCOMPARE(reply.status(), 200);
            QCOMPARE(reply.header("content-length").toLongLong(), full.size());
            QCOMPARE(reply.bodySize, expect == u"short10"_s ? 10 : full.size() / 2);
            QVERIFY(full.startsWith(reply.body));
        } else if (expect == u"long"_s) {
            QCOMPARE(reply.status(), 200);
            QCOMPARE(reply.header("content-length").toLongLong(), 100);
            QCOMPARE(reply.body, full);
        } else if (expect == u"drop"_s) {
            QVERIFY(reply.head.isEmpty());
            QCOMPARE(reply.bodySize, 0);
            QVERIFY(reply.body.isEmpty());
        } else if (expect == u"endless"_s) {
            QCOMPARE(reply.status(), 200);
            QVERIFY(!reply.hasHeader("content-length"));
            QVERIFY(reply.bodySize > 1024 * 1024);
            QVERIFY2(reply.elapsedMs < 2000 + 5000, qPrintable(QString::number(reply.elapsedMs)));
            QVERIFY(decode(reply.body.left(4096)).contains(u"<>"_s));
        } else if (expect == u"delay"_s) {
            QVERIFY(reply.elapsedMs >= 600);
            QCOMPARE(reply.body, full);
        } else if (expect == u"stall"_s) {
            QCOMPARE(reply.header("content-length").toLongLong(), full.size());
            QCOMPARE(reply.bodySize, full.size() / 2);
            QVERIFY(reply.elapsedMs >= 1000);
        } else if (expect == u"trickle"_s) {
            // Byte by byte, but whole in the end, with its length announced.
            QCOMPARE(reply.status(), 200);
            QCOMPARE(reply.header("content-length").toLongLong(),
                     sampleBytes(u"cooking/subject.txt"_s).size());
            QCOMPARE(reply.body, sampleBytes(u"cooking/subject.txt"_s));
        } else if (expect == u"throttle"_s) {
            // At the rate of a slow link, whole in the end.
            QCOMPARE(reply.status(), 200);
            QCOMPARE(reply.header("content-length").toLongLong(), full.size());
            QCOMPARE(reply.body, full);
        } else if (expect == u"error-page"_s) {
            QCOMPARE(reply.status(), 200);
            QVERIFY(isError(decode(reply.body)));
        } else if (expect == u"status"_s) {
            QCOMPARE(reply.status(), 503);
        } else if (expect == u"redirect"_s) {
            QCOMPARE(reply.status(), 302);
            QCOMPARE(reply.header("location"), "/cooking/subject.txt"_ba);
        } else {
            QCOMPARE(reply.status(), 200);
            QCOMPARE(reply.body, sampleBytes(u"cooking/subject.txt"_s));
        }
    }

    void faultCountRunsOut()
    {
        ServerProcess server;
        QVERIFY(server.start({u"--root"_s, kSamples, u"--fault"_s, u"drop@subject.txt#1"_s}));
        QVERIFY(exchange(server.port(), get("/cooking/subject.txt")).head.isEmpty());
        QCOMPARE(exchange(server.port(), get("/cooking/subject.txt")).status(), 200);
    }

    void badFaultDescriptionIsRefused()
    {
        QProcess process;
        process.start(kServerPath, {u"--root"_s, kSamples, u"--fault"_s, u"explode"_s});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }

    void traversalIsRejected_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        QTest::newRow("dot-dot") << "/../etc/passwd"_ba << 400;
        QTest::newRow("dot-dot inside") << "/cooking/../../etc/passwd"_ba << 400;
        QTest::newRow("encoded dot-dot") << "/%2e%2e/etc/passwd"_ba << 400;
        QTest::newRow("encoded slashes") << "/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd"_ba << 400;
        QTest::newRow("mixed encoding") << "/cooking/..%2f..%2fSETTING.TXT"_ba << 400;
        QTest::newRow("double slash") << "//etc/passwd"_ba << 400;
        QTest::newRow("encoded absolute") << "/%2Fetc%2Fpasswd"_ba << 400;
        QTest::newRow("backslashes") << "/cooking\\..\\..\\etc\\passwd"_ba << 400;
        QTest::newRow("encoded backslashes") << "/cooking/%5c..%5c..%5cetc"_ba << 400;
        QTest::newRow("NUL byte") << "/cooking/subject.txt%00.html"_ba << 400;
        QTest::newRow("hidden name") << "/.git/config"_ba << 400;
        QTest::newRow("relative target") << "etc/passwd"_ba << 400;
        QTest::newRow("drive letter") << "C:/Windows/win.ini"_ba << 400;
        QTest::newRow("proxy URL with dot-dot") << "http://x.example/../../etc/passwd"_ba << 400;
        QTest::newRow("board name with dot-dot") << "/bbs/read.cgi?BBS=../cooking&KEY=1714600000"_ba << 400;
        QTest::newRow("key with slashes") << "/bbs/read.cgi?BBS=kanto&KEY=../../etc/passwd"_ba << 400;
        QTest::newRow("link out of the folder") << "/cooking/outside.txt"_ba << 403;
    }

    void traversalIsRejected()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        const QString link = m_root + u"/cooking/outside.txt"_s;
        if (!QFileInfo(link).isSymLink()) {
            QVERIFY(QFile::link(u"/etc/passwd"_s, link));
        }
        const RawReply reply = exchange(m_server.port(), get(target));
        QCOMPARE(reply.status(), status);
        QVERIFY(!reply.body.contains("root:"));
        QVERIFY(reply.body.size() < 1024);
    }

    void malformedRequestsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("garbage") << "garbage\r\n\r\n"_ba << 400;
        QTest::newRow("method only") << "GET\r\n\r\n"_ba << 400;
        QTest::newRow("no version") << "GET /\r\n\r\n"_ba << 400;
        QTest::newRow("four parts") << "GET / HTTP/1.1 extra\r\n\r\n"_ba << 400;
        QTest::newRow("double blank") << "GET  / HTTP/1.1\r\n\r\n"_ba << 400;
        QTest::newRow("wrong protocol") << "GET / FOO/1.1\r\n\r\n"_ba << 400;
        QTest::newRow("unknown version") << "GET / HTTP/2.0\r\n\r\n"_ba << 505;
        QTest::newRow("header without colon") << "GET / HTTP/1.1\r\nNoColon\r\n\r\n"_ba << 400;
        QTest::newRow("empty header name") << "GET / HTTP/1.1\r\n: x\r\n\r\n"_ba << 400;
        QTest::newRow("folded header") << "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n"_ba << 400;
        QTest::newRow("control byte in header") << "GET / HTTP/1.1\r\nA: b\x01\r\n\r\n"_ba << 400;
        QTest::newRow("non-ASCII target") << "GET /\xe3\x81\x82 HTTP/1.1\r\n\r\n"_ba << 400;
        QTest::newRow("binary junk") << QByteArray("\x00\x01\xff\xfe GET\r\n\r\n", 13) << 400;
        QTest::newRow("bad Content-Length")
            << "POST /test/bbs.cgi HTTP/1.1\r\nContent-Length: abc\r\n\r\n"_ba << 400;
        QTest::newRow("negative Content-Length")
            << "POST /test/bbs.cgi HTTP/1.1\r\nContent-Length: -5\r\n\r\n"_ba << 400;
        QTest::newRow("conflicting Content-Length")
            << "POST /test/bbs.cgi HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab"_ba << 400;
        QTest::newRow("chunked body")
            << "POST /test/bbs.cgi HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"_ba << 501;
        QTest::newRow("unknown method") << "DELETE /bbsmenu.html HTTP/1.1\r\n\r\n"_ba << 405;
        QTest::newRow("GET to a posting script") << "GET /test/bbs.cgi HTTP/1.1\r\n\r\n"_ba << 405;
        QTest::newRow("POST to a file")
            << "POST /bbsmenu.html HTTP/1.1\r\nContent-Length: 0\r\n\r\n"_ba << 405;
        QTest::newRow("bad host in URL") << "GET http://bad_host!/x HTTP/1.1\r\n\r\n"_ba << 400;
        QTest::newRow("https URL") << "GET https://x.example/ HTTP/1.1\r\n\r\n"_ba << 400;
        QTest::newRow("CONNECT") << "CONNECT x.example:443 HTTP/1.1\r\n\r\n"_ba << 405;
        QTest::newRow("body too large")
            << "POST /test/bbs.cgi HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n"_ba << 413;
        QTest::newRow("header block too large")
            << "GET / HTTP/1.1\r\n" + QByteArray(40000, 'a') + ": b\r\n\r\n"
            << 431;
        QTest::newRow("request line too long") << "GET /" + QByteArray(20000, 'a') << 400;
    }

    void malformedRequestsAreRefused()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        const RawReply reply = exchange(m_server.port(), request);
        QCOMPARE(reply.status(), status);
        QVERIFY(reply.closed);
        QVERIFY(reply.body.size() < 1024);
        // The server lives on.
        QCOMPARE(exchange(m_server.port(), get("/bbsmenu.html")).status(), 200);
    }

    void expectContinue()
    {
        QTcpSocket socket;
        socket.connectToHost(u"127.0.0.1"_s, m_server.port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write("POST /test/bbs.cgi HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 9\r\n\r\n");
        QVERIFY(socket.waitForReadyRead(5000));
        QCOMPARE(socket.readAll(), "HTTP/1.1 100 Continue\r\n\r\n"_ba);
        socket.write("bbs=nosuc");
        QByteArray rest;
        while (socket.waitForReadyRead(5000)) {
            rest += socket.readAll();
        }
        QVERIFY(rest.startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(isError(decode(rest)));
    }

    void directLinks()
    {
        ServerProcess server;
        QVERIFY(server.start({u"--root"_s, kSamples, u"--direct-links"_s}));
        const QByteArray self = "http://127.0.0.1:" + QByteArray::number(server.port()) + '/';
        const RawReply menu = exchange(server.port(), get("/bbsmenu.html"));
        QVERIFY(menu.body.contains("HREF=" + self + "cooking/>"));
        QVERIFY(!menu.body.contains("2ch.example/"));
        QCOMPARE(menu.header("content-length").toLongLong(), menu.bodySize);
        const RawReply headline = exchange(server.port(), get("/headnews/dat/1714700000.dat"));
        QVERIFY(headline.body.contains(self + "test/read.cgi/nonbiri/1714698000/"));
    }

    void quitsWhenStdinCloses()
    {
        ServerProcess server;
        QVERIFY(server.start({u"--root"_s, kSamples}));
        server.process().closeWriteChannel();
        QVERIFY(server.process().waitForFinished(5000));
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBoardServer)
#include "TestBoardServer.moc"
