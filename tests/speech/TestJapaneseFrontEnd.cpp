// The Japanese reading front end for espeak-ng: exact readings, what passes
// through untouched, hostile input, a missing dictionary, the speech output
// applying it to espeak voices only, and every message of the sample service
// and every sentence of the program read with no kanji left for espeak-ng.

#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "bbs/ThreadData.h"
#include "speech/CMessageData.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/BoardServerProcess.h"
#include "support/SpySpeechEngine.h"
#include "voicemenu/MenuNames.h"

using namespace Qt::StringLiterals;

namespace {

const QString kBoards = QStringLiteral(YOMIMARU_SAMPLES_DIR "/board");
const QString kResources = QStringLiteral(YOMIMARU_RESOURCES_DIR);
const QString kServer = QStringLiteral(BOARDSERVER_PATH);

// What espeak-ng says for a character it cannot read: "Chinese letter",
// "Japanese letter".
const QRegularExpression kLetterPhonemes(u"tS'aIni:z|dZ'ap@ni:z"_s);

bool isKanaOrKanji(char32_t c)
{
    return (c >= 0x3041 && c <= 0x309C) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC
           || (c >= 0xFF66 && c <= 0xFF9F) || JapaneseFrontEnd::isKanji(c);
}

// The characters that must come out as they went in: everything but kana,
// kanji and blanks (the front end adds blanks between ASCII and kana).
QString keptCharacters(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (!isKanaOrKanji(cp)) {
                out += c;
                out += text.at(i + 1);
            }
            ++i;
            continue;
        }
        if (c != u' ' && !isKanaOrKanji(c.unicode())) {
            out += c;
        }
    }
    return out;
}

QString firstKanji(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (JapaneseFrontEnd::isKanji(c)) {
            return QString::fromUcs4(&c, 1);
        }
    }
    return {};
}

// Characters of kaomoji and character art that espeak-ng has no reading for
// (・ ゝ ヽ ゜ ω ∀ and the like): anything but ASCII, kana letters, kanji,
// full-width ASCII forms and the common Japanese punctuation.
bool isArtCharacter(char32_t c)
{
    const bool kanaLetter = (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC;
    if (c < 0x80 || kanaLetter || JapaneseFrontEnd::isKanji(c) || (c >= 0xFF01 && c <= 0xFF5E)) {
        return false;
    }
    static const QString plain = u"\u3000、。「」『』【】〜…"_s;
    return c > 0xFFFF || !plain.contains(QChar(char16_t(c)));
}

int artCount(const QString& text)
{
    int n = 0;
    for (const char32_t c : text.toUcs4()) {
        n += isArtCharacter(c) ? 1 : 0;
    }
    return n;
}

// The phonemes espeak-ng gives each text, from one process for the whole
// batch: the texts go in one per line, a number between them as a separator
// whose phonemes are looked up first. Empty when espeak-ng fails.
QStringList espeakPhonemes(const QString& espeak, const QStringList& texts)
{
    static const QString separator = u"7039451"_s;
    QTemporaryDir dir;
    auto run = [&](const QString& input) -> std::optional<QString> {
        QFile file(dir.filePath(u"in.txt"_s));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(input.toUtf8()) < 0) {
            return std::nullopt;
        }
        file.close();
        QProcess p;
        // -l: every line ends a clause, so the separator is read the same way each time.
        p.start(espeak,
                {u"-v"_s, u"ja"_s, u"-q"_s, u"-x"_s, u"-l"_s, u"1000000"_s, u"-f"_s, file.fileName()});
        if (!p.waitForFinished(300000) || p.exitCode() != 0) {
            return std::nullopt;
        }
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const std::optional<QString> sep = run(separator + u'\n');
    if (!sep || sep->trimmed().isEmpty()) {
        return {};
    }
    QString input;
    for (const QString& t : texts) {
        QString line = t;
        line.replace(u'\r', u' ').replace(u'\n', u' ');
        input += line + u'\n' + separator + u'\n';
    }
    const std::optional<QString> out = run(input);
    if (!out) {
        return {};
    }
    QStringList pieces = out->split(sep->trimmed());
    pieces.removeLast();  // after the last separator
    return pieces;
}

// The thread page of a board served as HTML, fetched from the local board
// server acting as the proxy.
QByteArray fetchPage(QNetworkAccessManager& net, const QString& url)
{
    QNetworkReply* reply = net.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body =
        reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    reply->deleteLater();
    return body;
}

bool isMachi(const QString& dir)
{
    QFile setting(kBoards + u'/' + dir + u"/SETTING.TXT"_s);
    return setting.open(QIODevice::ReadOnly) && setting.readAll().contains("BBS_TYPE=machi");
}

}  // namespace

class TestJapaneseFrontEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void exactReadings_data();
    void exactReadings();
    void asciiPassesThrough_data();
    void asciiPassesThrough();
    void badInput_data();
    void badInput();
    void missingDictionary();
    void onlyEspeakVoicesGetIt_data();
    void onlyEspeakVoicesGetIt();
    void pitchSegmentsEachConverted();
    void everyMessageAndSentenceReadable();

private:
    // Every reading unit of every message of the sample service, and the
    // program's own menu names and help text.
    QList<QPair<QString, QString>> corpus(QString* error);
    // What the engine gets for each unit through the speech output.
    QStringList spoken(const QList<QPair<QString, QString>>& units, const JapaneseFrontEnd* frontEnd);

    JapaneseFrontEnd m_frontEnd;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<ReadConv> m_readconv;
    std::unique_ptr<SpySpeechEngine> m_engine;
    std::unique_ptr<SpeechOutput> m_out;
};

void TestJapaneseFrontEnd::initTestCase()
{
    QString warning;
    QVERIFY2(m_frontEnd.open(&warning), qPrintable(warning));
    QVERIFY(m_frontEnd.hasKakasi());
}

void TestJapaneseFrontEnd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->path());
    m_settings = std::make_unique<CSettings>(*m_store);
    QVERIFY(m_settings->InitInstance());
    m_readconv = std::make_unique<ReadConv>();
    m_engine = std::make_unique<SpySpeechEngine>();
    m_engine->setModes({{u"Japanese (espeak-ng)"_s, true}, {u"nitech-m001 (openjtalk-generic)"_s, true}});
    m_engine->setProductNames({u"espeak-ng"_s, u"openjtalk-generic"_s});
    m_out = std::make_unique<SpeechOutput>(*m_engine, *m_settings, *m_readconv);
    m_out->setReadingFrontEnd(&m_frontEnd);
}

void TestJapaneseFrontEnd::cleanup()
{
    m_out.reset();
    m_engine.reset();
    m_readconv.reset();
    m_settings.reset();
    m_store.reset();
    m_dir.reset();
}

void TestJapaneseFrontEnd::exactReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reading");

    // Pronunciations, not dictionary readings: は as ワ, long vowels as ー.
    QTest::newRow("particle and long vowel")
        << u"今日は良い天気ですね。"_s << u"キョーワヨイテンキデスネ。"_s;
    QTest::newRow("digits kept, blanks around them")
        << u"メッセージ数は1000です。"_s << u"メッセージスーワ 1000 デス。"_s;
    QTest::newRow("full-width at sign stays")
        << u"名無しさん＠お腹いっぱい。"_s << u"ナナシサン＠オナカイッパイ。"_s;
    QTest::newRow("kanji MeCab does not know, through kakasi") << u"鬱だ。"_s << u"ウツダ。"_s;
    QTest::newRow("ASCII word glued to kanji") << u"2ch全体で"_s << u"2ch ゼンタイデ"_s;
    QTest::newRow("half-width katakana widened") << u"ｼｬｷｰﾝ！"_s << u"シャキーン！"_s;
    QTest::newRow("middle dot between words") << u"料理・お菓子"_s << u"リョーリ オカシ"_s;
    QTest::newRow("question and comma kept") << u"本当？はい、そうです"_s << u"ホントー？ハイ、ソーデス"_s;
    QTest::newRow("run of small tsu") << u"あっっっ"_s << u"アッ"_s;
    QTest::newRow("word beginning with a vowel") << u"文字の大きさ"_s << u"モジノ オーキサ"_s;
    QTest::newRow("long vowel after a vowel kana") << u"カアー、アー"_s << u"カアア、アー"_s;
    QTest::newRow("word beginning with another vowel") << u"読んでいた"_s << u"ヨンデイタ"_s;
    QTest::newRow("run of long vowels, one after ン") << u"ワーーーイ、ンー"_s << u"ワーイ、ン"_s;
    QTest::newRow("squared and enclosed words written out")
        << u"5㎝と㍑、㈱"_s << u"5cm トリットル、(カブ)"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestJapaneseFrontEnd::exactReadings()
{
    QFETCH(QString, text);
    QFETCH(QString, reading);
    QCOMPARE(m_frontEnd.convert(text), reading);
}

void TestJapaneseFrontEnd::asciiPassesThrough_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("pure ASCII, blanks and all")
        << u"  Hello,  world!\t<b>&amp;</b> 1+1=2 "_s << u"  Hello,  world!\t<b>&amp;</b> 1+1=2 "_s;
    QTest::newRow("pitch markup passed whole")
        << u"&&pitch;2今日は&&pitch;0ABC&&pitch;1天気"_s << u"&&pitch;2キョーワ&&pitch;0ABC&&pitch;1テンキ"_s;
    QTest::newRow("link markers") << u"<&&前http://example.jp/a?b=1&c=2後&&>を見て"_s
                                  << u"<&&前http://example.jp/a?b=1&c=2後&&>ヲミテ"_s;
    QTest::newRow("mail address between kana")
        << u"連絡はfoo.bar@example.comへ"_s << u"レンラクワ foo.bar@example.com エ"_s;
}

void TestJapaneseFrontEnd::asciiPassesThrough()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString out = m_frontEnd.convert(text);
    QCOMPARE(out, expected);
    // Whatever else happens, the ASCII is the same apart from blanks.
    auto ascii = [](const QString& s) {
        QString a;
        for (const QChar c : s) {
            if (c.unicode() < 0x80 && c != u' ') {
                a += c;
            }
        }
        return a;
    };
    QCOMPARE(ascii(out), ascii(text));
}

void TestJapaneseFrontEnd::badInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allKanjiRead");

    QString big;
    const QString piece =
        u"今日は良い天気ですね。ABC 123😀(´・ω・｀)＠鬱"_s + QChar(u'\0') + QChar(0xD800) + u"ｶﾞ"_s;
    while (big.size() < 16 * 1024) {
        big += piece;
    }
    QTest::newRow("16 K characters") << big << true;
    QTest::newRow("16 K of kanji, no break") << QString(16 * 1024, QChar(u'漢')) << true;
    QTest::newRow("NUL") << u"今日"_s + QChar(u'\0') + u"は天気"_s << true;
    QTest::newRow("lone high surrogate") << u"天気"_s + QChar(0xD83D) + u"です"_s << true;
    QTest::newRow("lone low surrogate") << QChar(0xDE00) + u"天気です"_s << true;
    QTest::newRow("reversed pair") << u"天気"_s + QChar(0xDE00) + QChar(0xD83D) << true;
    QTest::newRow("emoji") << u"今日は😀🌸です🍣"_s << true;
    QTest::newRow("kaomoji") << u"(´・ω・｀)ｼｮﾎﾞｰﾝ ( ﾟ∀ﾟ)ｱﾊﾊ八八ﾉヽﾉヽﾉヽ"_s << true;
    QTest::newRow("full-width symbols") << u"＠＃＄％＆＊（）［］｛｝＜＞→★☆♪①Ⅱ"_s << true;
    QTest::newRow("controls") << u"行\x01\x1f\x7f末\r\n次の行\t。"_s << true;
    QTest::newRow("emoji across a chunk boundary")
        << QString(JapaneseFrontEnd::kMaxChunk - 1, QChar(u'あ')) + u"😀天気"_s << true;
    // Outside EUC-JP and unknown to MeCab: left as it is, nothing lost.
    QTest::newRow("supplementary kanji") << u"𠮷野家で食べた"_s << false;
}

void TestJapaneseFrontEnd::badInput()
{
    QFETCH(QString, text);
    QFETCH(bool, allKanjiRead);
    const QString out = m_frontEnd.convert(text);
    QCOMPARE(keptCharacters(out), keptCharacters(text));
    if (allKanjiRead) {
        QCOMPARE(firstKanji(out), QString());
    }
}

void TestJapaneseFrontEnd::missingDictionary()
{
    JapaneseFrontEnd missing;
    QString warning;
    QVERIFY(!missing.open(u"/nonexistent/mecab/dic"_s, &warning));
    QVERIFY(warning.contains(u"/nonexistent/mecab/dic"_s));
    QVERIFY(!missing.isOpen());
    QVERIFY(!missing.hasKakasi());
    QCOMPARE(missing.convert(u"今日は良い天気"_s), u"今日は良い天気"_s);

    // A folder that is there but holds no dictionary fails the same way.
    QVERIFY(!missing.open(m_dir->path(), &warning));
    QVERIFY(!warning.isEmpty());

    m_out->setReadingFrontEnd(&missing);
    m_out->SpeakText(u"今日は良い天気ですね。"_s);
    QCOMPARE(m_engine->texts(), QStringList{u"今日は良い天気ですね。"_s});
    QVERIFY(!m_out->frontEndActive());
}

void TestJapaneseFrontEnd::onlyEspeakVoicesGetIt_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<bool>("active");

    const QString text = u"今日は良い天気ですね。"_s;
    const QString reading = u"キョーワヨイテンキデスネ。"_s;
    QTest::newRow("espeak-ng") << u"espeak-ng"_s << 0 << text << reading << true;
    QTest::newRow("espeak") << u"espeak"_s << 0 << text << reading << true;
    QTest::newRow("espeak-ng-mbrola, any case") << u"eSpeak-NG-mbrola"_s << 0 << text << reading << true;
    QTest::newRow("Open JTalk") << u"openjtalk-generic"_s << 0 << text << text << false;
    QTest::newRow("transcript") << u"Transcript"_s << 0 << text << text << false;
    QTest::newRow("after the reading conversion and widening")
        << u"espeak-ng"_s << 0 << u"ｿｰｽ天気"_s << u"ソーステンキ"_s << true;
    QTest::newRow("quotation mode") << u"espeak-ng"_s << 5 << text << reading << true;
    QTest::newRow("markup without marker, widened first")
        << u"espeak-ng"_s << 3 << u"天気ABC"_s << u"テンキＡＢＣ"_s << true;
    QTest::newRow("markup without marker, other voice")
        << u"openjtalk-generic"_s << 3 << u"天気ABC"_s << u"天気ＡＢＣ"_s << false;
}

void TestJapaneseFrontEnd::onlyEspeakVoicesGetIt()
{
    QFETCH(QString, product);
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, spoken);
    QFETCH(bool, active);

    m_readconv->loadLines({u"/ソース/ソース/"_s});
    m_engine->setProductNames({u"espeak-ng"_s, product});
    QVERIFY(m_engine->selectMode(2));
    m_out->SpeakText(text, false, qint16(mode));
    QCOMPARE(m_engine->texts(), QStringList{spoken});
    QCOMPARE(m_out->frontEndActive(), active);
}

void TestJapaneseFrontEnd::pitchSegmentsEachConverted()
{
    // Each segment is widened, then read, then spoken on its own: the
    // segment digits never reach the front end or the voice.
    m_out->SpeakText(u"&&pitch;2今日はABC&&pitch;0天気&&pitch;1ｶﾞｯｺｳ"_s, false,
                     SpeechOutput::kModePitchMarkup);
    m_engine->finishCurrent();
    m_engine->finishCurrent();
    QCOMPARE(m_engine->texts(), (QStringList{u"キョーワＡＢＣ"_s, u"テンキ"_s, u"ガッコウ"_s}));
    QVERIFY(m_out->frontEndActive());

    // The same on a voice that reads kanji itself: untouched.
    m_engine->clear();
    QVERIFY(m_engine->selectMode(2));
    m_out->SpeakText(u"&&pitch;2今日は&&pitch;0天気"_s, false, SpeechOutput::kModePitchMarkup);
    m_engine->finishCurrent();
    QCOMPARE(m_engine->texts(), (QStringList{u"今日は"_s, u"天気"_s}));
    QVERIFY(!m_out->frontEndActive());
}

QList<QPair<QString, QString>> TestJapaneseFrontEnd::corpus(QString* error)
{
    QList<QPair<QString, QString>> units;
    auto addMessages = [&units](const QString& where, const QList<ThreadData::Message>& messages) {
        for (qsizetype n = 0; n < messages.size(); ++n) {
            // The body as the reader gets it, cut up by the text model with
            // character art not read (its default): art messages become one
            // sentence saying so.
            CMessageData model;
            model.InitInstance(u"1"_s, u"0"_s, QString(messages.at(n).body).replace(u"<br>"_s, u"\r\n    "_s),
                               QString(), QString());
            for (qint32 u = 1; u <= model.Get_MessageMaxNum(); ++u) {
                units.append({u"%1 #%2 unit %3"_s.arg(where).arg(n + 1).arg(u), model.readingUnit(u)});
            }
        }
    };

    BoardServerProcess server;
    QNetworkAccessManager net;
    const QStringList dirs = QDir(kBoards).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& dir : dirs) {
        const bool machi = isMachi(dir);
        if (machi && server.port() == 0) {
            if (!server.start(kServer, kBoards)) {
                *error = u"the board server did not start: "_s + server.errorOutput();
                return {};
            }
            net.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
        }
        QDirIterator it(kBoards + u'/' + dir + u"/dat"_s, {u"*.dat"_s}, QDir::Files);
        while (it.hasNext()) {
            const QFileInfo file(it.next());
            std::optional<QList<ThreadData::Message>> messages;
            if (machi) {
                // Served as HTML: read the thread page as the program does.
                const QString url =
                    u"http://%1.machi.example/bbs/read.cgi?BBS=%1&KEY=%2"_s.arg(dir, file.baseName());
                messages = ThreadData::parseHtml(TextCodec::fromCp932(fetchPage(net, url)));
            } else {
                QFile dat(file.filePath());
                if (dat.open(QIODevice::ReadOnly)) {
                    messages = ThreadData::parseDat(TextCodec::fromCp932(dat.readAll()));
                }
            }
            if (!messages || messages->isEmpty()) {
                *error = u"no messages in "_s + file.filePath();
                return {};
            }
            addMessages(dir + u'/' + file.baseName(), *messages);
        }
    }
    for (const QString& name : MenuNames::all()) {
        units.append({u"menu name"_s, name});
        units.append({u"menu title"_s, name + u"メニューです"_s});
    }
    QFile help(kResources + u"/help.txt"_s);
    if (!help.open(QIODevice::ReadOnly)) {
        *error = u"no help.txt"_s;
        return {};
    }
    const QStringList lines = QString::fromUtf8(help.readAll()).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines.at(i).trimmed().isEmpty()) {
            units.append({u"help.txt line %1"_s.arg(i + 1), lines.at(i)});
        }
    }
    return units;
}

QStringList TestJapaneseFrontEnd::spoken(const QList<QPair<QString, QString>>& units,
                                         const JapaneseFrontEnd* frontEnd)
{
    ReadConv readconv(kResources + u"/readconv.txt"_s);
    readconv.InitInstance();
    SpySpeechEngine engine;
    engine.setProductNames({u"espeak-ng"_s});
    SpeechOutput out(engine, *m_settings, readconv);
    out.setReadingFrontEnd(frontEnd);
    QStringList texts;
    for (const auto& unit : units) {
        engine.clear();
        out.SpeakText(unit.second);
        texts.append(engine.texts().join(u' '));
        out.handleSpeechFinished();
    }
    return texts;
}

void TestJapaneseFrontEnd::everyMessageAndSentenceReadable()
{
    QString error;
    const QList<QPair<QString, QString>> units = corpus(&error);
    QVERIFY2(!units.isEmpty(), qPrintable(error));
    const QStringList after = spoken(units, &m_frontEnd);
    QCOMPARE(after.size(), units.size());

    qsizetype kanjiUnits = 0;
    for (qsizetype i = 0; i < units.size(); ++i) {
        kanjiUnits += JapaneseFrontEnd::containsKanji(units.at(i).second) ? 1 : 0;
        QVERIFY2(firstKanji(after.at(i)).isEmpty(),
                 qPrintable(u"%1: %2 -> %3"_s.arg(units.at(i).first, units.at(i).second, after.at(i))));
    }
    QVERIFY2(kanjiUnits > 500, qPrintable(QString::number(kanjiUnits)));

    const QString espeak = QStandardPaths::findExecutable(u"espeak-ng"_s);
    if (espeak.isEmpty()) {
        QSKIP("espeak-ng is not installed: only the kanji were checked");
    }
    // Without the front end, for comparison (and to show that the count
    // finds them): every fourth unit that holds kanji, as espeak-ng is slow
    // at spelling them out.
    QList<QPair<QString, QString>> withKanji;
    for (const auto& unit : units) {
        if (JapaneseFrontEnd::containsKanji(unit.second) && kanjiUnits-- % 4 == 0) {
            withKanji.append(unit);
        }
    }
    const QStringList phonemesBefore = espeakPhonemes(espeak, spoken(withKanji, nullptr));
    const QStringList phonemesAfter = espeakPhonemes(espeak, after);
    QCOMPARE(phonemesBefore.size(), withKanji.size());
    QCOMPARE(phonemesAfter.size(), units.size());

    // A letter espeak-ng cannot read is only excused in a unit with at least
    // as many characters of kaomoji or character art.
    qsizetype lettersBefore = 0;
    qsizetype lettersAfter = 0;
    for (const QString& phonemes : phonemesBefore) {
        lettersBefore += phonemes.count(kLetterPhonemes);
    }
    for (qsizetype i = 0; i < units.size(); ++i) {
        const qsizetype letters = phonemesAfter.at(i).count(kLetterPhonemes);
        lettersAfter += letters;
        if (letters == 0) {
            continue;
        }
        QVERIFY2(letters <= artCount(after.at(i)),
                 qPrintable(u"%1: %2 -> %3 -> %4"_s.arg(units.at(i).first, units.at(i).second, after.at(i),
                                                        phonemesAfter.at(i))));
    }
    qInfo("%lld units; \"Chinese/Japanese letter\" with the front end %lld (all in kaomoji); without it "
          "%lld in a sample of %lld units with kanji",
          qlonglong(units.size()), qlonglong(lettersAfter), qlonglong(lettersBefore),
          qlonglong(withKanji.size()));
    QVERIFY(lettersBefore > 10 * qMax<qsizetype>(lettersAfter, 1));
}

QTEST_GUILESS_MAIN(TestJapaneseFrontEnd)
#include "TestJapaneseFrontEnd.moc"
