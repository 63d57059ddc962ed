// The sample service in samples/board, checked as stored: the encoding and
// line ends a board serves, a thread list that agrees with its threads, and
// messages that exercise what the program has to read aloud.

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kSamples = QStringLiteral(SAMPLES_DIR);
const QString kBoards = kSamples + u"/board"_s;

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList linesOf(const QString& path)
{
    QStringList lines = TextCodec::fromCp932(bytesOf(path)).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

struct Board
{
    QString category;
    QString name;
    QString url;
    QString dir;  // the folder under samples/board
};

// Categories and their links as the menu lists them.
QList<Board> menuBoards()
{
    static const QRegularExpression comment(u"<!--.*?-->"_s, QRegularExpression::DotMatchesEverythingOption);
    const QString menu = TextCodec::fromCp932(bytesOf(kBoards + u"/bbsmenu.html"_s)).remove(comment);
    static const QRegularExpression category(u"<b>([^<]+)</b><br>((?:(?!<b>).)*)"_s,
                                             QRegularExpression::CaseInsensitiveOption
                                                 | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression link(u"<a href=([^ >]+/)[^>]*>([^<]+)</a>"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    QList<Board> boards;
    for (const QRegularExpressionMatch& c : category.globalMatch(menu)) {
        for (const QRegularExpressionMatch& l : link.globalMatch(c.captured(2))) {
            const QString url = l.captured(1);
            boards.append({c.captured(1), l.captured(2), url, url.section(u'/', 3, 3)});
        }
    }
    return boards;
}

QStringList servedBoards()
{
    return QDir(kBoards).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

bool isMachi(const QString& dir)
{
    return bytesOf(kBoards + u'/' + dir + u"/SETTING.TXT"_s).contains("BBS_TYPE=machi");
}

QString allMessages()
{
    QString text;
    for (const QString& dir : servedBoards()) {
        QDirIterator it(kBoards + u'/' + dir + u"/dat"_s, {u"*.dat"_s}, QDir::Files);
        while (it.hasNext()) {
            text += TextCodec::fromCp932(bytesOf(it.next()));
        }
    }
    return text;
}

}  // namespace

class TestSampleBoards : public QObject
{
    Q_OBJECT

private slots:

    void smallEnough()
    {
        qint64 total = 0;
        QDirIterator it(kSamples, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            total += QFileInfo(it.next()).size();
        }
        QVERIFY2(total < 1024 * 1024, qPrintable(QString::number(total)));
    }

    void storedAsServed()
    {
        QDirIterator it(kBoards, QDir::Files, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            const QByteArray bytes = bytesOf(path);
            ++files;
            QVERIFY2(!bytes.contains('\r'), qPrintable(path));
            QVERIFY2(bytes.endsWith('\n'), qPrintable(path));
            const QString text = TextCodec::fromCp932(bytes);
            QVERIFY2(!text.contains(QChar::ReplacementCharacter), qPrintable(path));
            static const QRegularExpression kana(u"[ぁ-ヶ]"_s);
            QVERIFY2(kana.match(text).hasMatch(), qPrintable(path));
            // Shift_JIS, not UTF-8: Japanese text of some length fails as UTF-8.
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString asUtf8 = utf8(bytes);
            QVERIFY2(bytes.size() < 256 || utf8.hasError(), qPrintable(path));
        }
        QVERIFY(files > 20);
    }

    void menuHasTheRequiredShape()
    {
        const QList<Board> boards = menuBoards();
        QSet<QString> categories;
        QSet<QString> urls;
        bool headline = false;
        for (const Board& b : boards) {
            categories.insert(b.category);
            urls.insert(b.url);
            headline = headline || b.name.endsWith(u"headline"_s);
            // Every board the program may open is served; the guide board is
            // left out of the program's menu by default and has no folder.
            if (b.name != u"ガイドライン"_s) {
                QVERIFY2(servedBoards().contains(b.dir), qPrintable(b.url));
                QCOMPARE(isMachi(b.dir), b.url.contains(u".machi."_s));
            }
        }
        QVERIFY(categories.size() >= 3);
        QVERIFY(categories.contains(u"まちＢＢＳ"_s));
        QVERIFY(headline);
        QVERIFY(urls.size() >= 6);
        QVERIFY(TextCodec::fromCp932(bytesOf(kBoards + u"/bbsmenu.html"_s))
                    .contains(u"<TITLE>BBS MENU for 2ch</TITLE>"_s));
    }

    void threadListsAgreeWithThreads_data()
    {
        QTest::addColumn<QString>("dir");
        for (const QString& dir : servedBoards()) {
            QTest::newRow(qPrintable(dir)) << dir;
        }
    }

    void threadListsAgreeWithThreads()
    {
        QFETCH(QString, dir);
        const bool machi = isMachi(dir);
        static const QRegularExpression subjectLine(
            u"^([0-9]{10})\\.(dat|cgi)(<>|,)(.*)\\(([0-9]{1,4})\\)$"_s);
        static const QRegularExpression date(
            u"^[0-9]{4}/[0-9]{2}/[0-9]{2}\\(.\\) [0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]{2})?( ID:[^ <]{8,9})?"_s);
        const QStringList subjects = linesOf(kBoards + u'/' + dir + u"/subject.txt"_s);
        QVERIFY(subjects.size() >= 2);
        for (const QString& line : subjects) {
            const QRegularExpressionMatch m = subjectLine.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            QCOMPARE(m.captured(2), machi ? u"cgi"_s : u"dat"_s);
            QCOMPARE(m.captured(3), machi ? u","_s : u"<>"_s);
            const QStringList messages =
                linesOf(kBoards + u'/' + dir + u"/dat/"_s + m.captured(1) + u".dat"_s);
            QCOMPARE(messages.size(), m.captured(5).toInt());
            const QString title = m.captured(4).trimmed();
            QVERIFY2(messages.value(0).endsWith(u"<>"_s + title), qPrintable(messages.value(0)));
            for (const QString& message : messages) {
                if (message.isEmpty()) {
                    QVERIFY(machi);  // a removed message leaves a gap only on the HTML boards
                    continue;
                }
                const QStringList fields = message.split(u"<>"_s);
                QCOMPARE(fields.size(), 5);
                if (fields[2] == u"あぼーん"_s) {
                    continue;
                }
                QVERIFY2(date.match(fields[2]).hasMatch(), qPrintable(fields[2]));
                if (machi) {
                    static const QRegularExpression host(u" ID:[^ <]{8} \\[ [-a-z0-9.]+ \\]$"_s);
                    QVERIFY2(host.match(fields[2]).hasMatch(), qPrintable(fields[2]));
                }
            }
        }
    }

    void messagesExerciseTheReader_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("http link") << u"http://[a-z]"_s;
        QTest::newRow("https link") << u"https://[a-z]"_s;
        QTest::newRow("link without h") << u"[^h]ttps?://[a-z]"_s;
        QTest::newRow("mail address") << u"[a-z.]+@example\\.(com|jp|org)"_s;
        QTest::newRow("mail field address") << u"<>[a-z]+@example\\.org<>"_s;
        QTest::newRow("anchor link")
            << u"<a href=\"../test/read.cgi/[a-z]+/[0-9]+/12\" target=\"_blank\">&gt;&gt;12</a>"_s;
        QTest::newRow("plain anchor") << u"> &gt;&gt;[0-9]+ <br>"_s;
        QTest::newRow("quote >") << u"(<> | <br> )&gt; \\S"_s;
        QTest::newRow("quote ＞") << u"<br> ＞[^＞]"_s;
        QTest::newRow("nested quote ＞＞") << u"<br> ＞＞[^0-9０-９]"_s;
        QTest::newRow("character art") << u"<br> 　+[^ 　]+　+[^ 　]+ <br> 　"_s;
        QTest::newRow("deleted message") << u"^あぼーん<>あぼーん<>あぼーん<>あぼーん<>$"_s;
        QTest::newRow("ID") << u" ID:[A-Za-z0-9+/]{8}[0OPi]<>"_s;
        QTest::newRow("remote host") << u" \\[ [a-z0-9.-]+ \\]<>"_s;
        QTest::newRow("decimal reference") << u"&#[0-9]{5,6};"_s;
        QTest::newRow("hex reference") << u"&#x[0-9A-F]{4,5};"_s;
        QTest::newRow("surrogate pair references") << u"&#5535[0-9];&#56[0-9]{3};"_s;
        QTest::newRow("entity &gt;") << u"&gt;"_s;
        QTest::newRow("entity &quot;") << u"&quot;"_s;
        QTest::newRow("entity &amp;") << u"&amp;"_s;
        QTest::newRow("entity &lt;") << u"&lt;"_s;
        QTest::newRow("half-width kana") << u"[ｦ-ﾟ]{3}"_s;
        QTest::newRow("trip") << u" </b>◆[^ ]+ <b><>"_s;
    }

    void messagesExerciseTheReader()
    {
        QFETCH(QString, pattern);
        static const QString text = allMessages();
        const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
        QVERIFY(re.isValid());
        QVERIFY2(re.match(text).hasMatch(), qPrintable(pattern));
    }

    void headlineThreadsLinkOnward()
    {
        int threads = 0;
        for (const Board& b : menuBoards()) {
            if (!b.name.endsWith(u"headline"_s)) {
                continue;
            }
            QDirIterator it(kBoards + u'/' + b.dir + u"/dat"_s, {u"*.dat"_s}, QDir::Files);
            while (it.hasNext()) {
                const QStringList messages = linesOf(it.next());
                QVERIFY(messages.size() >= 2);
                QVERIFY2(messages[1].contains(u"http://"_s), qPrintable(messages[1]));
                ++threads;
            }
        }
        QVERIFY(threads >= 2);
    }

    void thousandMessageThreadRegenerates()
    {
        const QString script = kSamples + u"/make_counting_thread.py"_s;
        const QString dat = kBoards + u"/zatsudan/dat/1714300000.dat"_s;
        QCOMPARE(linesOf(dat).size(), 1000);
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty()) {
            QSKIP("python3 is not installed");
        }
        QTemporaryDir dir;
        QVERIFY(QFile::copy(script, dir.filePath(u"make_counting_thread.py"_s)));
        QProcess process;
        process.start(python, {dir.filePath(u"make_counting_thread.py"_s)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(bytesOf(dir.filePath(u"board/zatsudan/dat/1714300000.dat"_s)), bytesOf(dat));
    }
};

QTEST_GUILESS_MAIN(TestSampleBoards)
#include "TestSampleBoards.moc"
