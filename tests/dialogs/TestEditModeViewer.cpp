// The edit-mode viewer, offscreen, driven by real key events: where the caret
// starts, F1's help, the delayed help and what suppresses it (time moved on
// by hand), Escape, the colours, the size rule and the remembered place.

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include "ShippedYomi.h"
#include "app/ManualClock.h"
#include "base/AppPaths.h"
#include "dialogs/EditModeViewer.h"
#include "speech/CMessageData.h"
#include "speech/CShosaiYomi.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SoundPlayer.h"
#include "speech/SpeechOutput.h"
#include "speech/mSpeakTextBox.h"
#include "support/FakeScreenReader.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

namespace {

struct RecordingSounds : SoundPlayer
{
    QStringList played;

    bool play(const QString& fileName, bool synchronous) override
    {
        played << fileName + (synchronous ? u" sync"_s : u" async"_s);
        return true;
    }
};

const QString kMessage = u"一行目です\r\n二行目です\r\n\r\n四行目です"_s;

// A viewer on the real speech output with a spy engine, its delayed help on
// a clock the test moves.
struct Bench
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech{engine, profile.settings(), readconv};
    HelpMenu help{QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/help.txt"_s};
    RecordingSounds sounds;
    ManualClock clock;
    ManualTicker timer{clock};
    // Outlives the viewer, which lets go of it on the way out.
    std::unique_ptr<mSpeakTextBox> reader;
    EditModeViewer viewer{&speech, &sounds, &help, nullptr, &timer};

    Bench()
    {
        if (!help.Initialize()) {
            qFatal("the shipped help did not load");
        }
    }

    mSpeakTextBox& speakingTextBox()
    {
        reader = std::make_unique<mSpeakTextBox>(speech, profile.settings(), shippedYomi());
        viewer.setTextBoxReader(reader.get());
        return *reader;
    }

    QPlainTextEdit* view() const { return viewer.findChild<QPlainTextEdit*>(u"Text_View"_s); }

    bool open(const QString& text, qint32 caret)
    {
        viewer.setText(text);
        viewer.Initialize(caret);
        viewer.show();
        viewer.activateWindow();
        return QTest::qWaitForWindowActive(&viewer);
    }

    // Lets the engine end everything it was given.
    void finishSpeech()
    {
        while (engine.isSpeaking()) {
            engine.startCurrent();
            engine.finishCurrent();
        }
        QCoreApplication::processEvents();
    }

    int delayedHelps() const
    {
        const QString delayed = help.Get_DlgHelp(u"遅延ヘルプ"_s);
        return int(engine.texts().count(delayed));
    }
};

}  // namespace

class TestEditModeViewer : public QObject
{
    Q_OBJECT

private slots:
    void caretOnTheLineBeingRead_data();
    void caretOnTheLineBeingRead();
    void captionSpokenOnActivation();
    void f1SpeaksHelpAndChangesNothing();
    void helpText();
    void delayedHelp_data();
    void delayedHelp();
    void delayedHelpOncePerActivation();
    void escapeCloses();
    void colours_data();
    void colours();
    void textFillsTheWindow();
    void placeRemembered();
    void screenReaderSilencedOnActivation();
};

void TestEditModeViewer::caretOnTheLineBeingRead_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("line");
    // Unit 1 is the header, then one unit per line of the body; a unit
    // begins with the line break before its line.
    QTest::newRow("header") << 1 << u"1 名無しさん"_s;
    QTest::newRow("first line") << 2 << u"一行目です"_s;
    QTest::newRow("second line") << 3 << u"二行目です"_s;
    QTest::newRow("after an empty line") << 4 << u"四行目です"_s;
}

void TestEditModeViewer::caretOnTheLineBeingRead()
{
    QFETCH(int, unit);
    QFETCH(QString, line);
    CMessageData message;
    message.InitInstance(u"0"_s, u"0"_s, kMessage, u"1 名無しさん"_s, u"1"_s);
    qint16 kind = 0;
    message.Get_Message(unit, kind, true);
    QCOMPARE(message.Get_Index(), unit);
    Bench bench;
    QVERIFY(bench.open(message.Get_OrgMessagesText(), message.Get_CurrentLinePos()));
    const QTextCursor caret = bench.view()->textCursor();
    QCOMPARE(caret.block().text(), line);
    QCOMPARE(caret.positionInBlock(), 0);
    QCOMPARE(bench.view()->toPlainText(), message.Get_OrgMessagesText().replace(u"\r\n"_s, u"\n"_s));
}

void TestEditModeViewer::captionSpokenOnActivation()
{
    Bench bench;
    QVERIFY(bench.open(u"本文"_s, 0));
    QCOMPARE(bench.engine.texts(), QStringList{u"編集モードビューア"_s});
    QCOMPARE(bench.viewer.windowTitle(), u"編集モードビューア"_s);
    QVERIFY(bench.view()->hasFocus());
}

void TestEditModeViewer::f1SpeaksHelpAndChangesNothing()
{
    Bench bench;
    mSpeakTextBox& reader = bench.speakingTextBox();
    const QString text = u"一行目\r\n二行目\r\n三行目"_s;
    QVERIFY(bench.open(text, 5));
    QTRY_VERIFY(reader.attachedField() != nullptr);
    const QString shown = bench.view()->toPlainText();
    const int caret = bench.view()->textCursor().position();
    QCOMPARE(caret, 4);
    bench.engine.clear();
    QTest::keyClick(bench.view(), Qt::Key_F1);
    QCOMPARE(bench.engine.texts(), QStringList{u"編集モードビューアのヘルプ。"_s
                                               + bench.help.Get_DlgHelp(u"編集モードビューア"_s)});
    QCOMPARE(bench.view()->toPlainText(), shown);
    QCOMPARE(bench.view()->textCursor().position(), caret);
    QVERIFY(bench.viewer.isVisible());
    // The other keys still reach the text box and its reader.
    QTest::keyClick(bench.view(), Qt::Key_Down);
    QCOMPARE(bench.view()->textCursor().blockNumber(), 2);
    QVERIFY(!bench.engine.texts().isEmpty());
}

void TestEditModeViewer::helpText()
{
    HelpMenu help(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/help.txt"_s);
    QVERIFY(help.Initialize());
    const QString own = help.Get_DlgHelp(u"編集モードビューア"_s);
    QVERIFY(own.contains(u"矢印キー"_s));
    QVERIFY(help.Get_DlgHelp(u"遅延ヘルプ"_s).contains(u"F1キー"_s));
    QCOMPARE(EditModeViewer::helpText(help, u"編集モードビューア"_s),
             u"編集モードビューアのヘルプ。"_s + own);
    // A caption that is itself a help's names the viewer instead.
    QCOMPARE(EditModeViewer::helpText(help, u"編集モードビューアのヘルプ"_s),
             u"編集モードビューアについて。"_s + own);
}

void TestEditModeViewer::delayedHelp_data()
{
    QTest::addColumn<bool>("speechEnds");  // the caption has been spoken when the time comes
    QTest::addColumn<int>("key");          // pressed and released after one second; 0 none
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("pressOnly");  // the key is pressed, not released
    QTest::addColumn<int>("helps");
    QTest::newRow("five quiet seconds") << true << 0 << 0 << false << 1;
    QTest::newRow("speech still running") << false << 0 << 0 << false << 0;
    QTest::newRow("an arrow key") << true << int(Qt::Key_Right) << 0 << false << 0;
    QTest::newRow("a letter") << true << int(Qt::Key_A) << 0 << false << 0;
    QTest::newRow("Shift alone") << true << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << false << 0;
    QTest::newRow("Num Lock pressed") << true << int(Qt::Key_NumLock) << 0 << true << 1;
    QTest::newRow("Num Lock pressed and released") << true << int(Qt::Key_NumLock) << 0 << false << 0;
    QTest::newRow("keys with Alt are not the viewer's")
        << true << int(Qt::Key_X) << int(Qt::AltModifier) << false << 1;
}

void TestEditModeViewer::delayedHelp()
{
    QFETCH(bool, speechEnds);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, pressOnly);
    QFETCH(int, helps);
    Bench bench;
    QVERIFY(bench.open(u"一行目\r\n二行目"_s, 0));
    QVERIFY(bench.timer.isActive());
    QCOMPARE(bench.timer.interval(), 5000);
    bench.clock.advance(1000);
    if (key != 0) {
        const auto k = Qt::Key(key);
        const auto m = Qt::KeyboardModifiers(modifiers);
        if (pressOnly) {
            QTest::keyPress(bench.view(), k, m);
        } else {
            QTest::keyClick(bench.view(), k, m);
        }
    }
    if (speechEnds) {
        bench.finishSpeech();
    }
    bench.clock.advance(4000);
    QCOMPARE(bench.delayedHelps(), helps);
    QVERIFY(!bench.timer.isActive());
    QVERIFY(bench.viewer.isVisible());
}

void TestEditModeViewer::delayedHelpOncePerActivation()
{
    Bench bench;
    QVERIFY(bench.open(u"本文"_s, 0));
    bench.finishSpeech();
    bench.clock.advance(5000);
    QCOMPARE(bench.delayedHelps(), 1);
    bench.finishSpeech();
    // Nothing restarts the timer within the same activation; a tick that
    // comes anyway says nothing.
    bench.clock.advance(60000);
    bench.viewer.Timer_Help_Tick();
    QCOMPARE(bench.delayedHelps(), 1);
    // The viewer coming to the front again is a new activation.
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&bench.viewer, &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&bench.viewer, &activate);
    bench.finishSpeech();
    bench.clock.advance(5000);
    QCOMPARE(bench.delayedHelps(), 2);
}

void TestEditModeViewer::escapeCloses()
{
    Bench bench;
    mSpeakTextBox& reader = bench.speakingTextBox();
    QVERIFY(bench.open(u"本文"_s, 0));
    QTRY_VERIFY(reader.attachedField() != nullptr);
    // The caption is still being spoken: closing cuts it off.
    QVERIFY(bench.engine.isSpeaking());
    const int resets = bench.engine.resetCount();
    QTest::keyClick(bench.view(), Qt::Key_Escape);
    QVERIFY(!bench.viewer.isVisible());
    QCOMPARE(bench.viewer.result(), int(QDialog::Rejected));
    QVERIFY(bench.engine.resetCount() > resets);
    QCOMPARE(bench.sounds.played, QStringList{u"ir_end.wav async"_s});
    QCOMPARE(reader.attachedField(), nullptr);
    QVERIFY(!bench.timer.isActive());
    // Closed, the viewer takes no more keys.
    bench.engine.clear();
    QTest::keyClick(bench.view(), Qt::Key_F1);
    QVERIFY(bench.engine.texts().isEmpty());
}

void TestEditModeViewer::colours_data()
{
    QTest::addColumn<bool>("lowVision");
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("text");
    QTest::newRow("low vision") << true << QColor(0, 0, 128) << QColor(255, 255, 255);
    QTest::newRow("standard") << false << QColor(255, 255, 255) << QColor(0, 0, 0);
}

void TestEditModeViewer::colours()
{
    QFETCH(bool, lowVision);
    QFETCH(QColor, base);
    QFETCH(QColor, text);
    Bench bench;
    bench.viewer.setLowVision(lowVision);
    bench.viewer.setFontSize(28);
    QCOMPARE(bench.view()->palette().color(QPalette::Base), base);
    QCOMPARE(bench.view()->palette().color(QPalette::Text), text);
    QCOMPARE(bench.view()->font().pointSize(), 28);
}

void TestEditModeViewer::textFillsTheWindow()
{
    Bench bench;
    QVERIFY(bench.open(u"本文"_s, 0));
    for (const QSize size : {QSize(500, 300), QSize(820, 640)}) {
        bench.viewer.resize(size);
        QTRY_COMPARE(bench.viewer.size(), size);
        const QRect view = bench.view()->geometry();
        QVERIFY(view.left() > 0);
        QCOMPARE(view.width(), size.width() - 2 * view.left());
        QCOMPARE(view.height(), size.height() - view.left());
    }
}

void TestEditModeViewer::placeRemembered()
{
    TempProfile profile;
    {
        EditModeViewer viewer(nullptr, nullptr, nullptr);
        viewer.setFormStore(&profile.store());
        viewer.show();
        viewer.setGeometry(120, 80, 560, 420);
        QTRY_COMPARE(viewer.geometry().size(), QSize(560, 420));
        viewer.reject();
    }
    EditModeViewer again(nullptr, nullptr, nullptr);
    QVERIFY(again.size() != QSize(560, 420));
    again.setFormStore(&profile.store());
    QCOMPARE(again.size(), QSize(560, 420));
}

void TestEditModeViewer::screenReaderSilencedOnActivation()
{
    Bench bench;
    FakeScreenReader reader(1, true);
    CSrCntl screenReaders({&reader});
    QCOMPARE(screenReaders.InitInstance(), 1);
    bench.viewer.setScreenReaders(&screenReaders);
    const int before = reader.silenceCalls;
    QVERIFY(bench.open(u"本文"_s, 0));
    QVERIFY(reader.silenceCalls > before);
}

QTEST_MAIN(TestEditModeViewer)
#include "TestEditModeViewer.moc"
