// The message text model: golden cases (body in; display units, reading units,
// kinds and paragraph starts out), the character-art test, moving through the
// units, and the promise that no in-band marker ever reaches the screen or the
// voice, whatever a poster writes.

#include <random>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "base/VbRegExp.h"
#include "speech/CMessageData.h"
#include "speech/InBandMarkers.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

const QString kHeader = u"1 名無し"_s;

// What the thread data hands over for a body stored with "<br>".
QString displayBody(const QString& logBody)
{
    QString body = logBody;
    return body.replace(u"<br>"_s, u"\r\n    "_s);
}

QString unescape(const QString& line)
{
    QString out;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == u'\\' && i + 1 < line.size()) {
            const QChar c = line.at(++i);
            out += c == u'r' ? u'\r' : c == u'n' ? u'\n' : c == u't' ? u'\t' : c;
        } else {
            out += line.at(i);
        }
    }
    return out;
}

QStringList fixtureLines(const QString& relative)
{
    QStringList lines = QString::fromUtf8(TestData::bytes(relative)).split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

// The text the engine would get for a reading unit: only a pitch-markup unit
// (mode 3) has its "&&pitch;" markers taken out by the speech output.
QString spokenText(const QString& reading, qint16 kind)
{
    if (kind != 3) {
        return reading;
    }
    return VbRegExp(u"&&pitch;[0-9]"_s).Replace(reading, QString());
}

QString firstMarker(const QString& text)
{
    for (const QStringView fragment : InBandMarker::Fragments) {
        if (text.contains(fragment)) {
            return fragment.toString();
        }
    }
    return {};
}

// Checks every unit of a filled model; returns a description of the first
// marker that would reach the screen or the engine, or an empty string.
QString markerLeak(const CMessageData& model)
{
    for (qint32 u = 1; u <= model.Get_MessageMaxNum(); ++u) {
        if (const QString m = firstMarker(model.Get_OrgMessage(u)); !m.isEmpty()) {
            return u"display unit %1 carries %2: %3"_s.arg(u).arg(m, model.Get_OrgMessage(u));
        }
        const QString spoken = spokenText(model.readingUnit(u), model.unitInfo(u).kind);
        if (const QString m = firstMarker(spoken); !m.isEmpty()) {
            return u"reading unit %1 carries %2: %3"_s.arg(u).arg(m, spoken);
        }
    }
    return {};
}

// Bodies of a ".dat" thread file, decoded as the thread data does: Shift_JIS,
// the fourth "<>" field, links reduced to their text, entities decoded.
QStringList datBodies(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const VbRegExp link(u"<a href=\"[^\"]+[^>]+>([^<]+)<\\/a>"_s);
    QStringList bodies;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QStringList fields = TextCodec::fromCp932(line).split(u"<>"_s);
        if (fields.size() < 4) {
            continue;
        }
        QString body = link.Replace(fields.at(3), u"$1"_s);
        body.replace(u"&gt;"_s, u">"_s).replace(u"&lt;"_s, u"<"_s).replace(u"&nbsp;"_s, u" "_s);
        body.replace(u"&amp;"_s, u"&"_s).replace(u"&quot;"_s, u"\""_s).remove(u"&reg;"_s);
        bodies.append(displayBody(body));
    }
    return bodies;
}

QStringList threadFiles()
{
    QStringList files;
    QDirIterator fixtures(TestData::path(u"speech/threads"_s), {u"*.dat"_s}, QDir::Files);
    while (fixtures.hasNext()) {
        files.append(fixtures.next());
    }
    QDirIterator samples(QStringLiteral(YOMIMARU_SAMPLES_DIR "/board"), {u"*.dat"_s}, QDir::Files,
                         QDirIterator::Subdirectories);
    while (samples.hasNext()) {
        files.append(samples.next());
    }
    return files;
}

}  // namespace

class TestMessageData : public QObject
{
    Q_OBJECT

private slots:
    void golden_data();
    void golden();
    void checkAsciiArt_data();
    void checkAsciiArt();
    void markQuoteLevels_data();
    void markQuoteLevels();
    void settingsAreRead();
    void movingThroughUnits();
    void linkAndParagraphJumps();
    void outOfRangeIndexesAreSafe();
    void typedMarkersAreDisarmed();
    void deepQuotesStopAtTwoDigitDepth();
    void hostileBodiesFinish();
    void noMarkerInRandomBodies();
    void noMarkerReachesScreenOrVoice_data();
    void noMarkerReachesScreenOrVoice();
};

void TestMessageData::golden_data()
{
    QTest::addColumn<QString>("folder");
    const QDir dir(TestData::path(u"speech/messages"_s));
    const QStringList cases = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY2(cases.size() >= 10, "golden cases missing");
    for (const QString& name : cases) {
        QTest::newRow(qPrintable(name)) << u"speech/messages/"_s + name;
    }
}

void TestMessageData::golden()
{
    QFETCH(QString, folder);
    QString readAsciiArt = u"1"_s;
    QString readQuoteLevel = u"0"_s;
    if (QFile::exists(TestData::path(folder + u"/settings.txt"_s))) {
        for (const QString& line : fixtureLines(folder + u"/settings.txt"_s)) {
            if (line.startsWith(u"ReadAsciiArt="_s)) {
                readAsciiArt = line.mid(13);
            } else if (line.startsWith(u"ReadQuoteLevel="_s)) {
                readQuoteLevel = line.mid(15);
            }
        }
    }
    const QStringList input = fixtureLines(folder + u"/input.txt"_s);
    QVERIFY(!input.isEmpty());

    CMessageData model;
    model.InitInstance(readAsciiArt, readQuoteLevel, displayBody(input.first()), kHeader, kHeader);

    QStringList display;
    QStringList reading;
    QStringList kinds;
    QStringList paragraphs;
    for (qint32 u = 1; u <= model.Get_MessageMaxNum(); ++u) {
        display.append(model.Get_OrgMessage(u));
        reading.append(model.readingUnit(u));
        kinds.append(QString::number(model.unitInfo(u).kind));
        paragraphs.append(model.unitInfo(u).paragraphStart ? u"1"_s : u"0"_s);
    }
    QStringList expectedDisplay;
    for (const QString& line : fixtureLines(folder + u"/display.txt"_s)) {
        expectedDisplay.append(unescape(line));
    }
    QStringList expectedReading;
    for (const QString& line : fixtureLines(folder + u"/reading.txt"_s)) {
        expectedReading.append(unescape(line));
    }
    QCOMPARE(display, expectedDisplay);
    QCOMPARE(reading, expectedReading);
    QCOMPARE(kinds, fixtureLines(folder + u"/kinds.txt"_s));
    QCOMPARE(paragraphs, fixtureLines(folder + u"/paragraphs.txt"_s));

    // The positions select each unit inside the whole text in the message box.
    const QString whole = model.Get_OrgMessagesText();
    QCOMPARE(whole, expectedDisplay.join(QString()));
    for (qint32 u = 1; u <= model.Get_MessageMaxNum(); ++u) {
        model.Set_Index(u);
        qint32 start = -1;
        qint32 length = -1;
        model.Get_OrgMessagePos(start, length);
        QCOMPARE(whole.mid(start, length), expectedDisplay.at(u - 1));
        QCOMPARE(model.Get_CurrentLinePos(), start);
    }
}

void TestMessageData::checkAsciiArt_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("art");

    QTest::newRow("four art characters") << u"1"_s << u"（´∀｀）∧"_s << false;
    QTest::newRow("fifth one decides") << u"1"_s << u"（´∀｀）∧∧"_s << true;
    QTest::newRow("spread over lines") << u"1"_s << u"￣\r\nД\r\n∬\r\n从\r\n＾"_s << true;
    QTest::newRow("half-width bars and carets") << u"1"_s << u"|^|^|"_s << true;
    QTest::newRow("full-width bars equal half-width") << u"1"_s << u"｜｜|||"_s << true;
    QTest::newRow("back-quote and backslash either width") << u"1"_s << u"`｀\\＼`"_s << true;
    QTest::newRow("small de counts as capital") << u"1"_s << u"дддДд"_s << true;
    QTest::newRow("other symbols do not count") << u"1"_s << u"＞＞＞＞＞（）（）・・・"_s << false;
    QTest::newRow("detection off") << u"0"_s << u"∧∧∧∧∧∧"_s << false;
    QTest::newRow("detection unset") << QString() << u"∧∧∧∧∧∧"_s << false;
    QTest::newRow("empty text") << u"1"_s << QString() << false;
}

void TestMessageData::checkAsciiArt()
{
    QFETCH(QString, setting);
    QFETCH(QString, text);
    QFETCH(bool, art);
    CMessageData model;
    model.InitInstance(setting, u"0"_s, u"x"_s, kHeader, kHeader);
    QCOMPARE(model.Check_AA(text), art);
}

void TestMessageData::markQuoteLevels_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reading");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("no quote gains a final break") << u"a\r\nb"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("final break kept once") << u"a\r\n"_s << u"a\r\n"_s;
    QTest::newRow("block open at the end has no end marker") << u"x\r\n> a"_s << u"x\r\n<&&引1用a\r\n"_s;
    QTest::newRow("closed by plain line") << u"> a\r\n＞b\r\nc"_s << u"<&&引1用a\r\nb引1用&&>\r\nc\r\n"_s;
    QTest::newRow("mark-only line stays inside the block")
        << u"> a\r\n>\r\n> b\r\n\r\nc"_s << u"<&&引1用a\r\n\r\nb引1用&&>\r\n\r\nc\r\n"_s;
    QTest::newRow("end marker moves before the unit break")
        << u"> a&rr;\r\nb"_s << u"<&&引1用a引1用&&>&rr;\r\nb\r\n"_s;
    QTest::newRow("two blocks at one depth")
        << u"> a\r\nb\r\n> c\r\nd"_s << u"<&&引1用a引1用&&>\r\nb\r\n<&&引1用c引1用&&>\r\nd\r\n"_s;
}

void TestMessageData::markQuoteLevels()
{
    QFETCH(QString, text);
    QFETCH(QString, reading);
    QCOMPARE(CMessageData::MarkQuoteLevels(text), reading);
}

void TestMessageData::settingsAreRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SettingsStore store(dir.path());
    CSettings settings(store);
    QVERIFY(settings.InitInstance());
    const QString art = u"∧∧∧∧∧"_s;
    CMessageData model;

    settings.Set_(CSettings::ReadAsciiArt, u"1"_s);
    settings.Set_(CSettings::ReadQuoteLevel, u"1"_s);
    model.InitInstance(settings, art, kHeader, kHeader);
    QCOMPARE(model.readingUnit(2), CMessageData::kAsciiArtText.toString());
    model.InitInstance(settings, u"> a\r\nb"_s, kHeader, kHeader);
    QCOMPARE(model.readingUnit(2), u"(1段目引用開始)a(1段目引用おわり)"_s);

    settings.Set_(CSettings::ReadAsciiArt, u"0"_s);
    settings.Set_(CSettings::ReadQuoteLevel, u"0"_s);
    model.InitInstance(settings, art, kHeader, kHeader);
    QCOMPARE(model.readingUnit(2), art);
    model.InitInstance(settings, u"> a\r\nb"_s, kHeader, kHeader);
    QCOMPARE(model.readingUnit(2), u"a"_s);
}

void TestMessageData::movingThroughUnits()
{
    CMessageData model;
    model.InitInstance(u"1"_s, u"0"_s, u"一。二。三。"_s, u"H"_s, u"h"_s);
    QCOMPARE(model.Get_MessageMaxNum(), 4);
    QCOMPARE(model.Get_MessageCurrentNum(), 0);
    QVERIFY(model.Have_Message());

    qint16 kind = 77;
    QCOMPARE(model.Get_Message(1, kind, false), u"h"_s);
    QCOMPARE(kind, qint16(0));
    QCOMPARE(model.Get_Message(1, kind, false), u"一。"_s);
    QCOMPARE(model.Get_Message(2, kind, false), u"三。"_s);
    QVERIFY(!model.Have_Message());

    kind = 77;
    QCOMPARE(model.Get_Message(1, kind, false), CMessageData::kNoMoreText.toString());
    QCOMPARE(kind, qint16(77));
    QCOMPARE(model.Get_Index(), 4);

    QCOMPARE(model.Get_Message(-10, kind, false), u"h"_s);
    QCOMPARE(model.Get_Index(), 1);
    QCOMPARE(model.Get_Message(3, kind, true), u"二。"_s);
    model.Rewind_Index();
    QCOMPARE(model.Get_OrgMessage(-1), u"一。"_s);
    QCOMPARE(model.Get_OrgMessage(5), QString());

    const QStringList units = model.Get_OrgMessages();
    QCOMPARE(units, (QStringList{QString(), u"H\r\n\r\n"_s, u"一。"_s, u"二。"_s, u"三。"_s}));

    model.ExitInstance();
    QCOMPARE(model.Get_MessageMaxNum(), 0);
    QCOMPARE(model.Get_Index(), 0);
    QVERIFY(!model.Have_Message());
    QCOMPARE(model.Get_OrgMessagesText(), QString());
    QCOMPARE(model.Get_Message(1, kind, false), CMessageData::kNoMoreText.toString());
    QCOMPARE(model.Get_Index(), 0);
}

void TestMessageData::linkAndParagraphJumps()
{
    CMessageData model;
    // Units: 1 header, 2 "前置き", 3 link, 4 "⏎"-only piece, 5 mail, 6 "終わり" ...
    model.InitInstance(u"1"_s, u"0"_s,
                       displayBody(u"前置き<br>http://a.example/<br>x@example.jp<br><br>終わり"_s), kHeader,
                       kHeader);
    QList<qint32> links;
    QList<qint32> paragraphs;
    for (qint32 u = 1; u <= model.Get_MessageMaxNum(); ++u) {
        const qint16 kind = model.unitInfo(u).kind;
        if (kind == 1 || kind == 2) {
            links.append(u);
        }
        if (model.unitInfo(u).paragraphStart) {
            paragraphs.append(u);
        }
    }
    QCOMPARE(links.size(), 2);
    QCOMPARE(model.Get_OrgMessage(links.at(0)), u"http://a.example/"_s);
    QCOMPARE(model.Get_OrgMessage(links.at(1)), u"x@example.jp"_s);
    QCOMPARE(paragraphs.first(), 1);

    model.Set_Index(0);
    QCOMPARE(model.Get_NextLink(false), links.at(0));
    QCOMPARE(model.Get_NextLink(true), 0);
    model.Set_Index(links.at(0));
    QCOMPARE(model.Get_NextLink(false), links.at(1));
    QCOMPARE(model.Get_NextLink(true), 0);
    model.Set_Index(model.Get_MessageMaxNum());
    QCOMPARE(model.Get_NextLink(true), links.at(1));
    QCOMPARE(model.Get_NextLink(false), 0);

    model.Set_Index(1);
    QCOMPARE(model.Get_NextParagraph(true), 0);
    QCOMPARE(model.Get_NextParagraph(false), paragraphs.size() > 1 ? paragraphs.at(1) : 0);
}

void TestMessageData::outOfRangeIndexesAreSafe()
{
    CMessageData model;
    model.InitInstance(u"1"_s, u"0"_s, u"a"_s, u"H"_s, u"h"_s);
    for (const qint32 index : {-5, 0, 3, 1000}) {
        model.Set_Index(index);
        qint32 start = -1;
        qint32 length = -1;
        model.Get_OrgMessagePos(start, length);
        QCOMPARE(start, 0);
        QCOMPARE(length, 0);
        QCOMPARE(model.Get_OrgMessage(-1), QString());
        QCOMPARE(model.Get_CurrentLinePos(), 0);
        QVERIFY(model.Get_NextLink(false) >= 0);
        QVERIFY(model.Get_NextParagraph(true) <= model.Get_MessageMaxNum());
    }
    model.Set_Index(1000);
    QCOMPARE(model.Get_NextParagraph(true), 2);
    model.Set_Index(-5);
    QCOMPARE(model.Get_NextParagraph(false), 1);
}

void TestMessageData::typedMarkersAreDisarmed()
{
    CMessageData model;
    model.InitInstance(u"1"_s, u"1"_s, u"a&rr;b&NUMREF;>>1 <&&前x後&&> &&pitch;2c 引1用&&>"_s, u"&rr;H"_s,
                       u"&&pitch;1h"_s);
    QVERIFY2(markerLeak(model).isEmpty(), qPrintable(markerLeak(model)));
    // A typed "&rr;" does not cut the message, and the text survives with a
    // full-width ampersand.
    QCOMPARE(model.Get_MessageMaxNum(), 2);
    QCOMPARE(model.Get_OrgMessage(1), u"＆rr;H\r\n\r\n"_s);
    QCOMPARE(model.Get_OrgMessage(2), u"a＆rr;b＆NUMREF;>>1 <＆＆前x後＆＆> ＆＆pitch;2c 引1用＆＆>"_s);
    for (qint32 u = 1; u <= 2; ++u) {
        QCOMPARE(model.unitInfo(u).kind, qint16(0));
    }
}

void TestMessageData::deepQuotesStopAtTwoDigitDepth()
{
    const QString body = QString(150, u'>') + u" 深い\r\n普通"_s;
    CMessageData model;
    model.InitInstance(u"1"_s, u"1"_s, body, kHeader, kHeader);
    QVERIFY2(markerLeak(model).isEmpty(), qPrintable(markerLeak(model)));
    QCOMPARE(model.Get_MessageMaxNum(), 3);
    // The 99 levels are announced, then the marks beyond them are read as text.
    QVERIFY(model.readingUnit(2).startsWith(u"(1段目引用開始)(2段目引用開始)"_s));
    QVERIFY(model.readingUnit(2).contains(u"(99段目引用開始)"_s + QString(51, u'>') + u"深い"_s));
    QVERIFY(model.readingUnit(2).endsWith(u"(2段目引用おわり)(1段目引用おわり)"_s));
    // The unit that closes every level takes the outermost one's kind.
    QCOMPARE(model.unitInfo(2).kind, qint16(1 + 3));
    QCOMPARE(model.readingUnit(3), u"普通"_s);
    QCOMPARE(model.unitInfo(3).kind, qint16(0));
}

void TestMessageData::hostileBodiesFinish()
{
    QString huge;
    const QString piece = u"長い文章。> 引用 http://example.com/a x@y.jp ∧\r\n"_s;
    while (huge.size() < 300'000) {
        huge += piece;
    }
    QString broken = u"a"_s;
    broken += QChar(0xD800);
    broken += u"b\r\n"_s;
    broken += QChar(0xDC00);
    broken += u"> c\u0000d\u0007\u001b[0m。\r"_s;
    broken += QChar(0xDBFF);
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c) {
        controls += QChar(c);
    }
    const QString manyLines = QString(200'000, u'\n');
    const QString manyMarks = u">"_s.repeated(100'000) + u"\r\n"_s + u"＞ x\r\n"_s.repeated(20'000);
    // Just short enough to be cut up: long runs that some rules scan again and again.
    const qsizetype n = CMessageData::kMaxCutLength - 8;
    const QString cutText = huge.left(n);
    const QString cutMarks = QString(n, u'>') + u"\r\nx"_s;
    const QString cutLetters = QString(n, u'a') + u"。"_s;
    const QString cutBlanks = u"a"_s + QString(n / 2, u' ') + QString(n / 2, u'\t') + u"\r\nb"_s;
    const QString cutQuoteLines = u"\r\n>"_s.repeated(n / 3) + u"x"_s;

    for (const QString& body : {huge, broken, controls, manyLines, manyMarks, cutText, cutMarks, cutLetters,
                                cutBlanks, cutQuoteLines}) {
        CMessageData model;
        model.InitInstance(u"0"_s, u"1"_s, body, kHeader, kHeader);
        QVERIFY(model.Get_MessageMaxNum() >= 2);
        QVERIFY2(markerLeak(model).isEmpty(), qPrintable(markerLeak(model)));
        qint16 kind = 0;
        while (model.Have_Message()) {
            model.Get_Message(1, kind, false);
        }
        QCOMPARE(model.Get_Index(), model.Get_MessageMaxNum());
    }
}

void TestMessageData::noMarkerReachesScreenOrVoice_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("readAsciiArt");
    QTest::addColumn<QString>("readQuoteLevel");
    const QStringList files = threadFiles();
    QVERIFY(!files.isEmpty());
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        QTest::addRow("%s art on, levels on", qPrintable(name)) << file << u"1"_s << u"1"_s;
        QTest::addRow("%s art off, levels off", qPrintable(name)) << file << u"0"_s << u"0"_s;
    }
}

void TestMessageData::noMarkerReachesScreenOrVoice()
{
    QFETCH(QString, file);
    QFETCH(QString, readAsciiArt);
    QFETCH(QString, readQuoteLevel);
    QStringList bodies = datBodies(file);
    QVERIFY(!bodies.isEmpty());
    if (file.startsWith(TestData::dir())) {
        // The golden bodies are fixtures too.
        const QDir dir(TestData::path(u"speech/messages"_s));
        for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bodies.append(displayBody(fixtureLines(u"speech/messages/"_s + name + u"/input.txt"_s).value(0)));
        }
    }
    CMessageData model;
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        model.InitInstance(readAsciiArt, readQuoteLevel, bodies.at(i), u"%1 名無し"_s.arg(i + 1), kHeader);
        const QString leak = markerLeak(model);
        QVERIFY2(leak.isEmpty(), qPrintable(u"message %1: %2"_s.arg(i + 1).arg(leak)));
        // An empty body leaves the header alone.
        QVERIFY(model.Get_MessageMaxNum() >= 1);
    }
}

// Bodies pieced together at random from the things the rules react to; the
// seed is fixed, so a failure names a body that fails again.
void TestMessageData::noMarkerInRandomBodies()
{
    const QStringList pieces = {
        u">"_s,        u"＞"_s,     u" "_s,       u"　"_s,    u"\t"_s,           u"\r\n"_s,         u"\r\n"_s,
        u"\r\n    "_s, u"\r\n> "_s, u"\r\n>> "_s, u"。"_s,    u"．"_s,           u"！"_s,           u"1"_s,
        u"a"_s,        u"あ"_s,     u">>12"_s,    u"x@y.z"_s, u"http://a.b/c"_s, u"ttp://q.r/@s"_s,
    };
    std::mt19937 rng(12345);
    CMessageData model;
    for (int i = 0; i < 20'000; ++i) {
        QString body;
        for (int k = int(rng() % 14); k > 0; --k) {
            body += pieces.at(rng() % pieces.size());
        }
        model.InitInstance(u"1"_s, (i & 1) ? u"1"_s : u"0"_s, body, kHeader, kHeader);
        const QString leak = markerLeak(model);
        QVERIFY2(leak.isEmpty(), qPrintable(u"body %1: %2"_s.arg(body, leak)));
    }
}

QTEST_GUILESS_MAIN(TestMessageData)
#include "TestMessageData.moc"
