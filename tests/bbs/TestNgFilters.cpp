// The user's あぼーん rules: what each kind hides, where, and the file they live in.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "bbs/NgFilters.h"

using namespace Qt::StringLiterals;

namespace {

ThreadMessage message(const QString& name, const QString& id, const QString& body)
{
    ThreadMessage m;
    m.name = name;
    m.id = id;
    m.body = body;
    return m;
}

bool writeCp932(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(TextCodec::toCp932(text)) >= 0;
}

}  // namespace

class TestNgFilters : public QObject
{
    Q_OBJECT

private slots:
    void hides_data();
    void hides();
    void fileRoundTrip();
};

void TestNgFilters::hides_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("board");
    QTest::addColumn<QList<bool>>("hidden");
    const QString comment = u"# 先頭のコメント\r\n"_s;
    QTest::newRow("no rules") << QString() << u"雑談"_s << QList<bool>{false, false, false, false};
    QTest::newRow("an ID on its board")
        << u"ID\t雑談\tSpAm0001\r\n"_s << u"雑談"_s << QList<bool>{true, false, true, false};
    QTest::newRow("an ID on another board hides nothing")
        << u"ID\tニュース\tSpAm0001\r\n"_s << u"雑談"_s << QList<bool>{false, false, false, false};
    QTest::newRow("a name everywhere, without its tags")
        << comment + u"名前\t*\t荒らし ◆Trip\r\n"_s << u"ニュース"_s
        << QList<bool>{false, true, false, false};
    QTest::newRow("a word in the body as written, any case, escapes decoded")
        << u"語句\t*\tclick <HERE> (now\r\n"_s << u"雑談"_s << QList<bool>{false, false, true, false};
    QTest::newRow("a pattern over the body's lines")
        << u"正規表現\t*\t^宣伝.*\\nURL$\r\n"_s << u"雑談"_s << QList<bool>{false, false, false, true};
    QTest::newRow("a broken pattern is skipped, the rest kept")
        << u"正規表現\t*\t(宣伝\r\n語句\t*\tそれな\r\n"_s << u"雑談"_s
        << QList<bool>{false, true, false, false};
    QTest::newRow("unusable lines hide nothing")
        << u"なにか\t*\t宣伝\r\n語句\t*\r\n語句\t\tそれな\r\nID\t*\t   \r\n"_s << u"雑談"_s
        << QList<bool>{false, false, false, false};
}

void TestNgFilters::hides()
{
    QFETCH(QString, file);
    QFETCH(QString, board);
    QFETCH(QList<bool>, hidden);
    const QList<ThreadMessage> thread = {
        message(u"名無しさん"_s, u"SpAm0001"_s, u"普通の書き込み"_s),
        message(u"<b>荒らし</b> ◆Trip"_s, u"Other002"_s, u"それな"_s),
        message(u"名無しさん"_s, u"SpAm0001"_s, u"CLICK &lt;here&gt; (now)"_s),
        message(u"名無しさん"_s, QString(), u"宣伝です<br>URL"_s),
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf16(NgFilters::kFileName));
    if (!file.isEmpty()) {
        QVERIFY(writeCp932(path, file));
    }
    NgFilters filters(path);
    filters.load();
    QCOMPARE(filters.hidden(thread, board), hidden);
    // Each unusable line is named once, with its line number.
    const QStringList problems = filters.takeProblems();
    if (QByteArray(QTest::currentDataTag()).startsWith("a broken")) {
        QCOMPARE(problems, QStringList{u"あぼーんの1行目は使えないので読み飛ばしました。"_s});
    } else if (QByteArray(QTest::currentDataTag()).startsWith("unusable")) {
        QCOMPARE(problems.size(), 4);
    } else {
        QVERIFY(problems.isEmpty());
    }
    QVERIFY(filters.takeProblems().isEmpty());
}

void TestNgFilters::fileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf16(NgFilters::kFileName));
    // What the user wrote by hand, a line the program cannot use among it.
    QVERIFY(writeCp932(path, u"# 自分用のメモ\r\n語句\t*\t宣伝\r\nなにか\t*\t残す\r\n"_s));
    NgFilters filters(path);
    filters.load();
    QCOMPARE(filters.rules().size(), 1);

    const NgFilters::Rule id{NgFilters::Kind::Id, u"雑談"_s, u"SpAm0001"_s};
    QVERIFY(filters.add(id));
    QCOMPARE(filters.indexOf(id), 1);
    QVERIFY(!filters.add({NgFilters::Kind::Regex, u"*"_s, u"(壊れた"_s}));
    QVERIFY(!filters.add({NgFilters::Kind::Word, u"*"_s, u"  "_s}));
    QCOMPARE(NgFilters::invalidReason({NgFilters::Kind::Regex, u"*"_s, u"(壊れた"_s}),
             u"正規表現が正しくありません。"_s);

    NgFilters again(path);
    again.load();
    QCOMPARE(again.rules(), filters.rules());
    QVERIFY(again.removeAt(0));
    QVERIFY(!again.removeAt(5));

    // The comment and the unusable line stand as the user wrote them, in
    // code page 932; the removed rule is gone, the added one stays.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = TextCodec::fromCp932(file.readAll());
    QVERIFY(text.contains(u"# 自分用のメモ\r\n"_s));
    QVERIFY(text.contains(u"なにか\t*\t残す\r\n"_s));
    QVERIFY(!text.contains(u"宣伝"_s));
    QVERIFY(text.contains(u"ID\t雑談\tSpAm0001\r\n"_s));
    QCOMPARE(NgFilters::describe(id), u"ID「SpAm0001」、板「雑談」"_s);

    // A folder that cannot be written keeps the rules as they were.
    NgFilters nowhere(dir.filePath(u"missing/ngfilters.txt"_s));
    nowhere.load();
    QVERIFY(nowhere.rules().isEmpty());
    QVERIFY(!nowhere.add(id));
    QVERIFY(nowhere.rules().isEmpty());
}

QTEST_GUILESS_MAIN(TestNgFilters)
#include "TestNgFilters.moc"
