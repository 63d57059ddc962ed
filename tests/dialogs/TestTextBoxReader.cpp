// The speaking text fields: real QLineEdit and QPlainTextEdit widgets driven
// by key events and input-method events, the reader and the shipped
// character dictionaries behind them, and what the speech engine is told.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "ShippedYomi.h"
#include "base/AppPaths.h"
#include "dialogs/LineEditDlg.h"
#include "dialogs/QtTextBoxField.h"
#include "dialogs/TextBoxSpeaker.h"
#include "speech/CShosaiYomi.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "speech/mSpeakTextBox.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

namespace {

// A window with one field of each kind, speaking through a spy engine.
class Bench
{
public:
    Bench()
        : speech(engine, profile.settings(), readconv)
        , reader(speech, profile.settings(), shippedYomi())
        , speaker(&reader)
    {
        engine.setAutomatic(true);
        auto* layout = new QVBoxLayout(&window);
        line = new QLineEdit(&window);
        plain = new QPlainTextEdit(&window);
        layout->addWidget(line);
        layout->addWidget(plain);
        speaker.addField(line);
        speaker.addField(plain);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) {
            qWarning("the test window did not become active");
        }
    }

    QWidget* field(bool multiLine) const { return multiLine ? static_cast<QWidget*>(plain) : line; }

    void setText(bool multiLine, const QString& text, int caret)
    {
        if (multiLine) {
            plain->setPlainText(text);
            QTextCursor c = plain->textCursor();
            c.setPosition(caret);
            plain->setTextCursor(c);
        } else {
            line->setText(text);
            line->setCursorPosition(caret);
        }
        field(multiLine)->setFocus();
        engine.clear();
    }

    // Everything the engine was given since the last call, once the
    // utterance with all its pitch segments has been spoken.
    QString heard()
    {
        for (int i = 0; i < 100 && engine.isSpeaking(); ++i) {
            QCoreApplication::processEvents();
        }
        const QString text = engine.texts().join(u'/');
        engine.clear();
        return text;
    }

    void setting(qint16 index, const QString& value) { profile.settings().Set_(index, value); }

    // What the engine hears when the same output is told this text directly.
    QString heardFor(const QString& markup)
    {
        SpySpeechEngine other;
        other.setAutomatic(true);
        SpeechOutput output(other, profile.settings(), readconv);
        output.SpeakText(markup, false, SpeechOutput::kModePitchMarkup);
        for (int i = 0; i < 100 && other.isSpeaking(); ++i) {
            QCoreApplication::processEvents();
        }
        return other.texts().join(u'/');
    }

    void sendIme(bool multiLine,
                 const QString& preedit,
                 const QList<QInputMethodEvent::Attribute>& attributes,
                 const QString& commit = QString())
    {
        QInputMethodEvent event(preedit, attributes);
        if (!commit.isEmpty()) {
            event.setCommitString(commit);
        }
        QCoreApplication::sendEvent(field(multiLine), &event);
    }

    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech;
    mSpeakTextBox reader;
    QWidget window;
    QLineEdit* line = nullptr;
    QPlainTextEdit* plain = nullptr;
    TextBoxSpeaker speaker;
};

QInputMethodEvent::Attribute clause(int start, int length, bool target)
{
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::DashUnderline);
    if (target) {
        format.setBackground(QColor(0x30, 0x8c, 0xc6));
        format.setForeground(Qt::white);
    }
    return {QInputMethodEvent::TextFormat, start, length, format};
}

QInputMethodEvent::Attribute cursorAt(int position)
{
    return {QInputMethodEvent::Cursor, position, 1, QVariant()};
}

}  // namespace

class TestTextBoxReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keys_data();
    void keys();
    void optionSwitches_data();
    void optionSwitches();
    void optionsShapeTheReading();
    void clipboard_data();
    void clipboard();
    void megabytePasteIsCounted();
    void quotedCopy_data();
    void quotedCopy();
    void quotedCopyFromTheField();
    void conversionRange_data();
    void conversionRange();
    void typingAndCommit();
    void releaseOfAConsumedKeyIsSilent();
    void escapeCancelsTheCompositionNotTheDialog();
    void attachAndDetach();
    void charactersOutsideTheCodePage();
    void caretPast64Kilobytes();
    void screenReaderTakesOver();
};

void TestTextBoxReader::keys_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("expected");
    const int ctrl = int(Qt::ControlModifier);
    QTest::newRow("Delete reads what goes")
        << false << u"aｱ"_s << 1 << int(Qt::Key_Delete) << 0 << u"サクジョ｜ア｜"_s;
    QTest::newRow("Delete in an empty field")
        << false << u""_s << 0 << int(Qt::Key_Delete) << 0 << u"テキストはカラです"_s;
    QTest::newRow("Delete at the end") << false << u"ab"_s << 2 << int(Qt::Key_Delete) << 0 << u"ブンマツ"_s;
    QTest::newRow("Backspace reads what goes")
        << false << u"川a"_s << 1 << int(Qt::Key_Backspace) << 0 << u"バック｜カワ、サンセンノセン｜"_s;
    QTest::newRow("Backspace at the start")
        << false << u"ab"_s << 0 << int(Qt::Key_Backspace) << 0 << u"｜ブントー"_s;
    QTest::newRow("Backspace joins lines")
        << true << u"ab\ncd"_s << 3 << int(Qt::Key_Backspace) << 0 << u"バック｜カイギョー｜"_s;
    QTest::newRow("Backspace in an empty field")
        << true << u""_s << 0 << int(Qt::Key_Backspace) << 0 << u"テキストはカラです"_s;
    QTest::newRow("Home on the first line")
        << true << u"ab\ncd"_s << 1 << int(Qt::Key_Home) << 0 << u"ブントー"_s;
    QTest::newRow("Home on a later line")
        << true << u"ab\ncd"_s << 4 << int(Qt::Key_Home) << 0 << u"ヒダリハシ"_s;
    QTest::newRow("End on the last line")
        << true << u"ab\ncd"_s << 4 << int(Qt::Key_End) << 0 << u"ブンマツ"_s;
    QTest::newRow("End on an earlier line")
        << true << u"ab\ncd"_s << 0 << int(Qt::Key_End) << 0 << u"ミギハシ"_s;
    QTest::newRow("Left reads the character reached")
        << false << u"aB"_s << 2 << int(Qt::Key_Left) << 0 << u"オオモジノビー｜"_s;
    QTest::newRow("Left to the start")
        << false << u"aB"_s << 1 << int(Qt::Key_Left) << 0 << u"エー｜/｜ブントー"_s;
    QTest::newRow("Left to a line start")
        << true << u"a\nか"_s << 3 << int(Qt::Key_Left) << 0 << u"カ｜/｜ヒダリハシ"_s;
    QTest::newRow("Right reads the character reached")
        << false << u"aｶ"_s << 0 << int(Qt::Key_Right) << 0 << u"カ｜"_s;
    QTest::newRow("Right to the line end")
        << true << u"ab\ncd"_s << 1 << int(Qt::Key_Right) << 0 << u"｜ミギハシ"_s;
    QTest::newRow("Down reads the line")
        << true << u"ab\n「あ」"_s << 0 << int(Qt::Key_Down) << 0 << u"「あ」"_s;
    QTest::newRow("Down to an empty line")
        << true << u"ab\n\ncd"_s << 0 << int(Qt::Key_Down) << 0 << u"カイギョー"_s;
    QTest::newRow("Down to the empty last line")
        << true << u"ab\n"_s << 0 << int(Qt::Key_Down) << 0 << u"クウギョー"_s;
    QTest::newRow("Down on the last line")
        << true << u"ab\ncd"_s << 4 << int(Qt::Key_Down) << 0 << u"下にはいけません"_s;
    QTest::newRow("Up on the first line")
        << true << u"ab\ncd"_s << 1 << int(Qt::Key_Up) << 0 << u"上にはいけません"_s;
    QTest::newRow("Page Down reads the line reached")
        << true << u"ab\ncd"_s << 0 << int(Qt::Key_PageDown) << 0 << u"ｃｄ"_s;
    QTest::newRow("Page Up on the first line")
        << true << u"ab\ncd"_s << 0 << int(Qt::Key_PageUp) << 0 << u"上にはいけません"_s;
    QTest::newRow("Up in a line edit")
        << false << u"ab"_s << 1 << int(Qt::Key_Up) << 0 << u"上にはいけません"_s;
    QTest::newRow("Ctrl+A") << false << u"ab"_s << 1 << int(Qt::Key_A) << ctrl << u"全て選択"_s;
    QTest::newRow("Ctrl+Z") << false << u"ab"_s << 1 << int(Qt::Key_Z) << ctrl << u"元に戻す"_s;
    QTest::newRow("Ctrl+7 caret line and byte")
        << true << u"ab\nあいう"_s << 5 << int(Qt::Key_7) << ctrl << u"２行目、５バイト目"_s;
    QTest::newRow("Ctrl+P as Ctrl+7")
        << true << u"ab\nあいう"_s << 5 << int(Qt::Key_P) << ctrl << u"２行目、５バイト目"_s;
    QTest::newRow("Ctrl+8 caret line length")
        << true << u"ab\nあいう"_s << 5 << int(Qt::Key_8) << ctrl << u"カレットギョーは３モジ、６バイト"_s;
    QTest::newRow("Ctrl+9 longest line") << true << u"abc\nあい\nx"_s << 0 << int(Qt::Key_9) << ctrl
                                         << u"最も長いギョーは２ギョーメ、４バイト"_s;
    QTest::newRow("Ctrl+0 lines and bytes")
        << true << u"abc\nあい\nx"_s << 0 << int(Qt::Key_0) << ctrl << u"全３行、１０バイト"_s;
    QTest::newRow("typed letter") << false << u""_s << 0 << int(Qt::Key_A) << 0 << u"エー"_s;
}

void TestTextBoxReader::keys()
{
    QFETCH(bool, multiLine);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, expected);
    Bench bench;
    bench.setText(multiLine, text, caret);
    QTest::keyClick(bench.field(multiLine), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const QString heard = bench.heard();
    QCOMPARE(heard, expected);
}

void TestTextBoxReader::optionSwitches_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("1 caret phonetic on") << int(Qt::Key_1) << false << int(CSettings::CaretPhonetic) << u"0"_s
                                         << u"1"_s << u"イチモジイドーフォネティックオン"_s;
    QTest::newRow("1 caret phonetic off") << int(Qt::Key_1) << false << int(CSettings::CaretPhonetic)
                                          << u"1"_s << u"0"_s << u"イチモジイドーフォネティックオフ"_s;
    QTest::newRow("2 caret by name") << int(Qt::Key_2) << false << int(CSettings::CaretReadMode) << u"1"_s
                                     << u"0"_s << u"イチモジイドーモジシュベツヨミ"_s;
    QTest::newRow("2 caret by pitch") << int(Qt::Key_2) << false << int(CSettings::CaretReadMode) << u"0"_s
                                      << u"1"_s << u"イチモジイドーオンテイヨミ"_s;
    QTest::newRow("3 caret detail off") << int(Qt::Key_3) << false << int(CSettings::CaretDetailRead)
                                        << u"1"_s << u"0"_s << u"イチモジイドーショーサイヨミオフ"_s;
    QTest::newRow("4 IME phonetic on") << int(Qt::Key_4) << false << int(CSettings::ImePhonetic) << u"0"_s
                                       << u"1"_s << u"ＩＭＥフォネティックオン"_s;
    QTest::newRow("5 IME by name") << int(Qt::Key_5) << false << int(CSettings::ImeReadMode) << u"1"_s
                                   << u"0"_s << u"ＩＭＥモジシュベツヨミ"_s;
    QTest::newRow("6 range 0 to 1") << int(Qt::Key_6) << false << int(CSettings::ImeReadRange) << u"0"_s
                                    << u"1"_s << u"ＩＭＥ読み上げ範囲は変換時のみ全て読み上げる"_s;
    QTest::newRow("6 range 1 to 2") << int(Qt::Key_6) << false << int(CSettings::ImeReadRange) << u"1"_s
                                    << u"2"_s << u"ＩＭＥ読み上げ範囲は初回変換時のみ全て読み上げる"_s;
    QTest::newRow("6 range 2 to 3") << int(Qt::Key_6) << false << int(CSettings::ImeReadRange) << u"2"_s
                                    << u"3"_s << u"ＩＭＥ読み上げ範囲は常に全て読み上げる"_s;
    QTest::newRow("6 range 3 to 0") << int(Qt::Key_6) << false << int(CSettings::ImeReadRange) << u"3"_s
                                    << u"0"_s << u"ＩＭＥ読み上げ範囲は注目文節のみ読み上げる"_s;
    QTest::newRow("7 punctuation on") << int(Qt::Key_7) << false << int(CSettings::ReadPunctuation) << u"0"_s
                                      << u"1"_s << u"クテンヨミオン"_s;
    QTest::newRow("8 brackets on") << int(Qt::Key_8) << false << int(CSettings::ReadBrackets) << u"0"_s
                                   << u"1"_s << u"カッコヨミオン"_s;
    QTest::newRow("9 symbols off") << int(Qt::Key_9) << false << int(CSettings::ReadSymbols) << u"1"_s
                                   << u"0"_s << u"キゴーヨミオフ"_s;
    QTest::newRow("keypad 9 symbols on")
        << int(Qt::Key_9) << true << int(CSettings::ReadSymbols) << u"0"_s << u"1"_s << u"キゴーヨミオン"_s;
}

void TestTextBoxReader::optionSwitches()
{
    QFETCH(int, key);
    QFETCH(bool, keypad);
    QFETCH(int, index);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, spoken);
    Bench bench;
    bench.setting(qint16(index), before);
    bench.setText(false, u"abc"_s, 1);
    Qt::KeyboardModifiers modifiers = Qt::ControlModifier | Qt::AltModifier;
    if (keypad) {
        modifiers |= Qt::KeypadModifier;
    }
    QTest::keyClick(bench.line, Qt::Key(key), modifiers);
    QCOMPARE(bench.heard(), spoken);
    QCOMPARE(bench.line->text(), u"abc"_s);
    // Stored, not only held: a fresh load of the settings file sees it.
    CSettings reloaded(bench.profile.store());
    QVERIFY(reloaded.InitInstance());
    QCOMPARE(reloaded.Get_(qint16(index)), after);
}

void TestTextBoxReader::optionsShapeTheReading()
{
    Bench bench;
    bench.setText(false, u"xaB"_s, 0);
    const QString plain = [&] {
        QTest::keyClick(bench.line, Qt::Key_Right);
        return bench.heard();
    }();
    QCOMPARE(plain, bench.heardFor(shippedYomi().Get_ShosaiYomi(u"a"_s, false, false, true)));
    // Phonetic on: another reading of the same character.
    QTest::keyClick(bench.line, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
    bench.heard();
    QTest::keyClick(bench.line, Qt::Key_Left);
    QTest::keyClick(bench.line, Qt::Key_Right);
    const QString phonetic = bench.heard().section(u'/', -1);
    QVERIFY2(!phonetic.isEmpty() && !plain.endsWith(phonetic), qPrintable(phonetic));
    QCOMPARE(bench.heard(), QString());
    // Script by name instead of pitch: the width is said in words.
    bench.setting(CSettings::CaretPhonetic, u"0"_s);
    QTest::keyClick(bench.line, Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    bench.heard();
    QTest::keyClick(bench.line, Qt::Key_Right);
    QCOMPARE(bench.heard(), bench.heardFor(shippedYomi().Get_ShosaiYomi(u"B"_s, false, false, false)));
    QVERIFY(
        bench.heardFor(shippedYomi().Get_ShosaiYomi(u"B"_s, false, false, false)).contains(u"ハンカク"_s));
}

void TestTextBoxReader::clipboard_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("textAfter");
    QTest::newRow("copy counts bytes") << false << u"aあい"_s << 100 << QString() << true << int(Qt::Key_C)
                                       << u"５バイトコピー　"_s << u"aあい"_s;
    QTest::newRow("cut counts bytes") << false << u"aあい"_s << 100 << QString() << true << int(Qt::Key_X)
                                      << u"５バイト切り取り　"_s << QString();
    QTest::newRow("paste counts bytes") << true << u"x"_s << 100 << u"あいa\r\nb"_s << false << int(Qt::Key_V)
                                        << u"７バイト貼り付け　"_s << u"xあいa\nb"_s;
    QTest::newRow("paste over a selection") << false << u"xy"_s << 3 << u"あいう"_s << true << int(Qt::Key_V)
                                            << u"６バイト貼り付け　"_s << u"あいう"_s;
    QTest::newRow("paste that did not all fit")
        << false << u"xy"_s << 3 << u"あいう"_s << false << int(Qt::Key_V)
        << u"２バイト貼り付け、全てを貼り付けられませんでした"_s << u"xyあ"_s;
    QTest::newRow("paste into a full field")
        << false << u"xyz"_s << 3 << u"abc"_s << false << int(Qt::Key_V)
        << u"テキストサイズが許容量を超えたため貼り付けられませんでした"_s << u"xyz"_s;
}

void TestTextBoxReader::clipboard()
{
    QFETCH(bool, multiLine);
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(QString, clip);
    QFETCH(bool, selectAll);
    QFETCH(int, key);
    QFETCH(QString, spoken);
    QFETCH(QString, textAfter);
    Bench bench;
    bench.line->setMaxLength(maxLength);
    bench.setText(multiLine, text, 0);
    QWidget* field = bench.field(multiLine);
    QTest::keyClick(field, Qt::Key_End, multiLine ? Qt::ControlModifier : Qt::NoModifier);
    if (selectAll) {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    }
    QGuiApplication::clipboard()->setText(clip);
    bench.heard();
    QTest::keyClick(field, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(bench.heard(), spoken);
    const QString now = multiLine ? bench.plain->toPlainText() : bench.line->text();
    QCOMPARE(now, textAfter);
    if (key != Qt::Key_V) {
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
    }
}

void TestTextBoxReader::megabytePasteIsCounted()
{
    Bench bench;
    bench.setText(true, QString(), 0);
    QString big;
    for (int i = 0; i < 512 * 1024; ++i) {
        big += i % 64 == 63 ? u'\n' : u'字';
    }
    QGuiApplication::clipboard()->setText(big);
    QTest::keyClick(bench.plain, Qt::Key_V, Qt::ControlModifier);
    const int bytes = mSpeakTextBox::byteLength(big);
    QCOMPARE(bytes, 512 * 1024 * 2 - 512 * 1024 / 64);
    QCOMPARE(bench.heard(), SpeechOutput::toFullWidth(QString::number(bytes) + u"バイト貼り付け "_s));
    QCOMPARE(bench.plain->toPlainText().size(), big.size());
}

void TestTextBoxReader::quotedCopy_data()
{
    QTest::addColumn<QString>("caretLine");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain line") << u"hello"_s << u"hello"_s << u"> hello"_s;
    QTest::newRow("marks of the caret line carried") << u"> > hello"_s << u"hello"_s << u">>> hello"_s;
    QTest::newRow("copied with its marks") << u"> hello"_s << u"> hello"_s << u">> hello"_s;
    QTest::newRow("every line") << u"a"_s << u"a\n> b\n  c"_s << u"> a\n>> b\n>   c"_s;
}

void TestTextBoxReader::quotedCopy()
{
    QFETCH(QString, caretLine);
    QFETCH(QString, copied);
    QFETCH(QString, quoted);
    QCOMPARE(mSpeakTextBox::quotedCopy(caretLine, copied), quoted);
}

void TestTextBoxReader::quotedCopyFromTheField()
{
    Bench bench;
    bench.setText(true, u"> > abc\nx"_s, 4);
    QTest::keyClick(bench.plain, Qt::Key_End, Qt::ShiftModifier);
    bench.heard();
    QTest::keyClick(bench.plain, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u">>> abc"_s);
    QCOMPARE(bench.heard(), u"７バイト引用記号付きコピー　"_s);
    QCOMPARE(bench.plain->toPlainText(), u"> > abc\nx"_s);
}

void TestTextBoxReader::conversionRange_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("ibus");
    QTest::addColumn<QStringList>("read");
    const QString whole = u"私は学生です"_s;
    const QString whole2 = u"私は学制です"_s;
    QTest::newRow("0 target only") << u"0"_s << false << QStringList{u"私は"_s, u"学生です"_s, u"学制です"_s};
    QTest::newRow("1 whole unless the target moved")
        << u"1"_s << false << QStringList{whole, u"学生です"_s, whole2};
    QTest::newRow("1 with ibus attributes") << u"1"_s << true << QStringList{whole, u"学生です"_s, whole2};
    QTest::newRow("2 whole the first time")
        << u"2"_s << false << QStringList{whole, u"学生です"_s, u"学制です"_s};
    QTest::newRow("3 always whole") << u"3"_s << true << QStringList{whole, whole, whole2};
}

namespace {

// The clauses as the input methods draw them: fcitx5 one format per clause,
// the target with the palette's highlight; ibus three formats for the target.
QList<QInputMethodEvent::Attribute> clauses(bool ibus, int target, int cursor)
{
    QList<QInputMethodEvent::Attribute> a;
    const int starts[] = {0, 2};
    const int lengths[] = {2, 4};
    for (int i = 0; i < 2; ++i) {
        const int copies = ibus && i == target ? 3 : 1;
        for (int k = 0; k < copies; ++k) {
            a.append(clause(starts[i], lengths[i], i == target));
        }
    }
    a.append(cursorAt(cursor));
    return a;
}

}  // namespace

void TestTextBoxReader::conversionRange()
{
    QFETCH(QString, range);
    QFETCH(bool, ibus);
    QFETCH(QStringList, read);
    Bench bench;
    bench.setting(CSettings::ImeReadRange, range);
    bench.setText(false, QString(), 0);
    bench.sendIme(false, u"わたしはがくせいです"_s, {clause(0, 10, false), cursorAt(10)});
    QVERIFY(bench.reader.imeComposing());
    bench.heard();
    const auto reading = [&](const QString& text) {
        return bench.heardFor(shippedYomi().Get_ShosaiYomi(text, false, false, true));
    };
    bench.sendIme(false, u"私は学生です"_s, clauses(ibus, 0, 0));  // Space: converted
    QCOMPARE(bench.heard(), reading(read.at(0)));
    bench.sendIme(false, u"私は学生です"_s, clauses(ibus, 1, 2));  // Right: the next clause
    QCOMPARE(bench.heard(), reading(read.at(1)));
    bench.sendIme(false, u"私は学制です"_s, clauses(ibus, 1, 2));  // Space: another candidate
    QCOMPARE(bench.heard(), reading(read.at(2)));
    bench.sendIme(false, u"私は学制です"_s, clauses(ibus, 1, 2));  // the same event again
    QCOMPARE(bench.heard(), QString());
    bench.sendIme(false, QString(), {}, u"私は学制です"_s);  // Return: committed
    QVERIFY(!bench.reader.imeComposing());
    QCOMPARE(bench.line->text(), u"私は学制です"_s);
    QCOMPARE(bench.heard(), bench.heardFor(u"私は学制です"_s));
}

void TestTextBoxReader::typingAndCommit()
{
    Bench bench;
    bench.setText(false, QString(), 0);
    // The first composition shows that the input method is on.
    bench.sendIme(false, u"ｋ"_s, {clause(0, 1, false), cursorAt(1)});
    QVERIFY(bench.reader.imeOpen());
    QCOMPARE(bench.heard(), bench.heardFor(u"&&pitch;0IMEオン|"_s
                                           + shippedYomi().Get_ShosaiYomi(u"ｋ"_s, false, false, true)));
    bench.sendIme(false, u"か"_s, {clause(0, 1, false), cursorAt(1)});
    QCOMPARE(bench.heard(), bench.heardFor(shippedYomi().Get_ShosaiYomi(u"か"_s, false, false, true)));
    bench.sendIme(false, u"かわ"_s, {clause(0, 2, false), cursorAt(2)});
    QCOMPARE(bench.heard(), bench.heardFor(shippedYomi().Get_ShosaiYomi(u"わ"_s, false, false, true)));
    // With the IME options: phonetic and by name.
    bench.setting(CSettings::ImePhonetic, u"1"_s);
    bench.setting(CSettings::ImeReadMode, u"0"_s);
    bench.sendIme(false, u"川"_s, {clause(0, 1, true), cursorAt(0)});
    const QString kawa = bench.heard();
    QCOMPARE(kawa, bench.heardFor(shippedYomi().Get_ShosaiYomi(u"川"_s, true, false, false)));
    QVERIFY2(kawa.contains(u"カワ"_s), qPrintable(kawa));
    bench.sendIme(false, QString(), {}, u"川"_s);
    QCOMPARE(bench.line->text(), u"川"_s);
    QCOMPARE(bench.heard(), u"川"_s);
    bench.sendIme(false, QString(), {cursorAt(1)});  // what follows a commit
    bench.sendIme(false, u"川"_s, {clause(0, 1, true), cursorAt(0)});
    bench.sendIme(false, QString(), {}, u"川"_s);  // the same word again
    QCOMPARE(bench.line->text(), u"川川"_s);
    QCOMPARE(bench.heard().section(u'/', -1), u"川"_s);
    // A key that reaches the field shows the input method is off again.
    QTest::keyClick(bench.line, 'a');
    QVERIFY(!bench.reader.imeOpen());
    QCOMPARE(bench.heard(),
             bench.heardFor(u"&&pitch;0IMEオフ|"_s + shippedYomi().Get_AsciiYomi('a', false, true)));
    QTest::keyClick(bench.line, 'A');
    QCOMPARE(bench.heard(), bench.heardFor(shippedYomi().Get_AsciiYomi('A', false, true)));
    QVERIFY(bench.heardFor(shippedYomi().Get_AsciiYomi('A', false, true)).contains(u"オオモジノ"_s));
}

void TestTextBoxReader::releaseOfAConsumedKeyIsSilent()
{
    Bench bench;
    bench.setText(false, u"abc"_s, 1);
    // The input method took the press; only the release reaches the field.
    QTest::keyRelease(bench.line, Qt::Key_Right);
    QTest::keyRelease(bench.line, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(bench.heard(), QString());
}

void TestTextBoxReader::escapeCancelsTheCompositionNotTheDialog()
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    mSpeakTextBox reader(speech, profile.settings(), shippedYomi());
    LineEditDlg dialog(&speech, nullptr, nullptr);
    dialog.setTextBoxReader(&reader);
    dialog.Initialize(u"プロキシ設定ダイアログ"_s, u"コメント"_s);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* edit = dialog.findChild<QLineEdit*>(u"Text_Msg"_s);
    QVERIFY(edit);
    QTRY_VERIFY(reader.attachedField() != nullptr);
    QInputMethodEvent composing(u"へんかん"_s, {clause(0, 4, false), cursorAt(4)});
    QCoreApplication::sendEvent(edit, &composing);
    QVERIFY(reader.imeComposing());
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QVERIFY(!reader.imeComposing());
    QCOMPARE(edit->text(), QString());
    QVERIFY(!edit->hasSelectedText());
    QCOMPARE(edit->inputMethodQuery(Qt::ImSurroundingText).toString(), QString());
    // With no composition Escape closes the dialog, and the reader lets go.
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), QString());
    QCOMPARE(reader.attachedField(), nullptr);
}

void TestTextBoxReader::attachAndDetach()
{
    Bench bench;
    QFont big = bench.plain->font();
    big.setPixelSize(60);
    bench.plain->setFont(big);
    bench.line->setFont(big);
    const int third = qRound(QFontMetrics(big).height() / 3.0);
    QVERIFY(third >= 15);
    auto* plainField = bench.speaker.fieldOf(bench.plain);
    auto* lineField = bench.speaker.fieldOf(bench.line);
    const int narrow = bench.plain->cursorWidth();
    bench.setText(true, u"ab"_s, 0);
    QCOMPARE(bench.reader.attachedField(), plainField);
    QCOMPARE(bench.plain->cursorWidth(), third);
    bench.setText(false, u"ab"_s, 0);
    QCOMPARE(bench.reader.attachedField(), lineField);
    QCOMPARE(lineField->caretWidth(), third);
    QCOMPARE(bench.plain->cursorWidth(), narrow);
    // Another widget takes the focus: the field is left as it was.
    auto* button = new QPushButton(u"OK"_s, &bench.window);
    button->show();
    button->setFocus();
    QCOMPARE(bench.reader.attachedField(), nullptr);
    QVERIFY(lineField->caretWidth() < third);
    bench.heard();
    QTest::keyClick(bench.line, 'x');
    QTest::keyClick(bench.line, Qt::Key_Left);
    QCOMPARE(bench.line->text(), u"xab"_s);
    QCOMPARE(bench.heard(), QString());
    bench.reader.Attach(lineField);
    bench.reader.announceCleared();
    QCOMPARE(bench.heard(), u"クリア"_s);
}

void TestTextBoxReader::charactersOutsideTheCodePage()
{
    Bench bench;
    const QString emoji = u"😀"_s;
    QCOMPARE(mSpeakTextBox::byteLength(emoji + u"€a"_s), 3);
    bench.setText(true, emoji + u"b"_s, 0);
    QTest::keyClick(bench.plain, Qt::Key_Delete);
    const QString deleted = bench.heard();
    QVERIFY2(deleted.startsWith(u"サクジョ｜"_s) && deleted.size() > 5, qPrintable(deleted));
    QCOMPARE(bench.plain->toPlainText(), u"b"_s);
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, emoji);
    QCoreApplication::sendEvent(bench.plain, &typed);
    QCOMPARE(bench.heard(), bench.heardFor(shippedYomi().Get_ShosaiYomi(emoji, false, false, true)));
    QVERIFY(!shippedYomi().Get_ShosaiYomi(emoji, false, false, true).isEmpty());
    QTest::keyClick(bench.plain, Qt::Key_Left);
    QVERIFY(!bench.heard().isEmpty());
    // Delete as the window system sends it, with its control character.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, u"\x7f"_s);
    QCoreApplication::sendEvent(bench.plain, &press);
    QCOMPARE(bench.heard(), u"サクジョ｜キゴー｜"_s);
}

void TestTextBoxReader::caretPast64Kilobytes()
{
    Bench bench;
    bench.setText(true, QString(70000, u'a'), 70000);
    QTest::keyClick(bench.plain, Qt::Key_Left);
    QCOMPARE(bench.heard(), u"カレット位置が６４キロバイトを超えています"_s);
    bench.setText(true, QString(70000, u'a'), 10);
    QTest::keyClick(bench.plain, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(bench.heard(), u"全１行、７００００バイト"_s);
}

void TestTextBoxReader::screenReaderTakesOver()
{
    Bench bench;
    bench.setting(CSettings::ScreenReaderUse, u"1"_s);
    bench.setText(false, u"ab"_s, 0);
    QTest::keyClick(bench.line, 'x');
    QTest::keyClick(bench.line, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
    // The input method coming on is not announced, and the program's own speech stops.
    bench.speech.SpeakText(u"ながいぶんしょう"_s, false);
    const int resetsBefore = bench.engine.resetCount();
    bench.sendIme(false, u"川"_s, {clause(0, 1, true), cursorAt(0)});
    QVERIFY(bench.engine.resetCount() > resetsBefore);
    QCOMPARE(bench.heard(), u"ながいぶんしょう"_s);  // only what had started before
    QCOMPARE(bench.profile.settings().Get_(CSettings::CaretPhonetic), u"0"_s);
    QCOMPARE(bench.line->text(), u"xab"_s);  // the option key typed nothing
    QVERIFY(bench.reader.imeComposing());
    // Moving the caret is still read.
    QTest::keyClick(bench.line, Qt::Key_Home);
    QCOMPARE(bench.heard(), u"ブントー"_s);
}

QTEST_MAIN(TestTextBoxReader)
#include "TestTextBoxReader.moc"
