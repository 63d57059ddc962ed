// The find dialog, offscreen, driven by real key and input-method events:
// what it hands back, its spoken caption and help, its height of one text
// line, and Escape during a composition.

#include <algorithm>

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCharFormat>

#include "ShippedYomi.h"
#include "base/AppPaths.h"
#include "dialogs/FindDlg.h"
#include "speech/CShosaiYomi.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "speech/mSpeakTextBox.h"
#include "support/FakeScreenReader.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

namespace {

// A dialog with the real speech output on a spy engine.
struct Bench
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech{engine, profile.settings(), readconv};
    HelpMenu help{QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/help.txt"_s};
    FindDlg dialog{&speech, &help};

    QLineEdit* field() const { return dialog.findChild<QLineEdit*>(u"Text_Key"_s); }

    QPushButton* button() const { return dialog.findChild<QPushButton*>(u"Command_Find"_s); }
};

}  // namespace

class TestFindDlg : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void captionSpokenOnceAndHelpOnF1();
    void oneTextLineHigh_data();
    void oneTextLineHigh();
    void lowVisionColours_data();
    void lowVisionColours();
    void escapeDuringACompositionDoesNotClose();
    void screenReaderSilencedOnActivation();
};

void TestFindDlg::answers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("how");  // 0 Enter on the field, 1 the button, 2 Escape
    QTest::addColumn<QString>("result");
    QTest::newRow("Enter searches") << u"kyou"_s << 0 << u"kyou"_s;
    QTest::newRow("the button searches") << u"今日"_s << 1 << u"今日"_s;
    QTest::newRow("empty is empty, not a cancel") << QString() << 0 << QString();
    QTest::newRow("blanks are kept") << u" a "_s << 0 << u" a "_s;
    QTest::newRow("Escape cancels") << u"kyou"_s << 2 << QString::fromUtf16(FindDlg::kCancelled);
}

void TestFindDlg::answers()
{
    QFETCH(QString, typed);
    QFETCH(int, how);
    QFETCH(QString, result);
    Bench bench;
    bench.dialog.show();
    QVERIFY(bench.field());
    // Keys for what a keyboard types directly; the input method's committed
    // text for the rest.
    if (std::all_of(typed.cbegin(), typed.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
        QTest::keyClicks(bench.field(), typed);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(typed);
        QCoreApplication::sendEvent(bench.field(), &commit);
    }
    QCOMPARE(bench.field()->text(), typed);
    if (how == 0) {
        QTest::keyClick(bench.field(), Qt::Key_Return);
    } else if (how == 1) {
        QTest::keyClick(bench.button(), Qt::Key_Space);
    } else {
        QTest::keyClick(bench.field(), Qt::Key_Escape);
    }
    QTRY_VERIFY(!bench.dialog.isVisible());
    QCOMPARE(bench.dialog.result(), result);
    QCOMPARE(bench.dialog.result() == QString::fromUtf16(FindDlg::kCancelled), how == 2);
}

void TestFindDlg::captionSpokenOnceAndHelpOnF1()
{
    Bench bench;
    bench.dialog.show();
    QCOMPARE(bench.engine.texts(), QStringList{u"検索ダイアログ"_s});
    QVERIFY(bench.help.Initialize());
    QTest::keyClick(bench.field(), Qt::Key_F1);
    QVERIFY(bench.dialog.isVisible());
    QCOMPARE(bench.engine.texts().size(), 2);
    QVERIFY2(bench.engine.texts().constLast().contains(u"探したい言葉を入力するダイアログです。"_s),
             qPrintable(bench.engine.texts().constLast()));
}

void TestFindDlg::oneTextLineHigh_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("11 points") << 11;
    QTest::newRow("36 points") << 36;
    QTest::newRow("72 points") << 72;
}

void TestFindDlg::oneTextLineHigh()
{
    QFETCH(int, points);
    Bench bench;
    bench.dialog.setFontSize(points);
    bench.dialog.show();
    QLineEdit* field = bench.field();
    const QFontMetrics metrics(field->font());
    QCOMPARE(field->font().pointSize(), points);
    // The field: one line and its frame, the same frame at every size.
    const int frame = field->height() - metrics.lineSpacing();
    QVERIFY2(frame >= 0 && frame <= 12, qPrintable(QString::number(frame)));
    QVERIFY(field->height() < metrics.lineSpacing() * 2);
    // The dialog: the field and the margins above and below it.
    QCOMPARE(bench.dialog.height(), field->height() + 2 * field->y());
    // The button sits centred on the field.
    const QPushButton* button = bench.button();
    QVERIFY(qAbs((button->y() + button->height() / 2) - (field->y() + field->height() / 2)) <= 1);
}

void TestFindDlg::lowVisionColours_data()
{
    QTest::addColumn<bool>("lowVision");
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("text");
    QTest::newRow("low vision") << true << QColor(0, 0, 128) << QColor(255, 255, 255);
    QTest::newRow("standard") << false << QColor(255, 255, 255) << QColor(0, 0, 0);
}

void TestFindDlg::lowVisionColours()
{
    QFETCH(bool, lowVision);
    QFETCH(QColor, base);
    QFETCH(QColor, text);
    Bench bench;
    bench.dialog.setLowVision(lowVision);
    QCOMPARE(bench.field()->palette().color(QPalette::Base), base);
    QCOMPARE(bench.field()->palette().color(QPalette::Text), text);
}

void TestFindDlg::escapeDuringACompositionDoesNotClose()
{
    Bench bench;
    mSpeakTextBox reader(bench.speech, bench.profile.settings(), shippedYomi());
    bench.dialog.setTextBoxReader(&reader);
    bench.dialog.show();
    bench.dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&bench.dialog));
    QLineEdit* field = bench.field();
    QTRY_VERIFY(reader.attachedField() != nullptr);
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::DashUnderline);
    QInputMethodEvent composing(u"きょう"_s, {{QInputMethodEvent::TextFormat, 0, 3, underline},
                                              {QInputMethodEvent::Cursor, 3, 1, QVariant()}});
    QCoreApplication::sendEvent(field, &composing);
    QVERIFY(reader.imeComposing());
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(bench.dialog.isVisible());
    QVERIFY(!bench.engine.texts().contains(u"キャンセル"_s));
    // With the composition over, Escape cancels and the reader lets go.
    QVERIFY(!reader.imeComposing());
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!bench.dialog.isVisible());
    QCOMPARE(bench.dialog.result(), QString::fromUtf16(FindDlg::kCancelled));
    QCOMPARE(reader.attachedField(), nullptr);
}

void TestFindDlg::screenReaderSilencedOnActivation()
{
    // Each time the dialog comes to the front, and only then.
    Bench b;
    FakeScreenReader reader(1, true);
    CSrCntl screenReaders({&reader});
    QCOMPARE(screenReaders.InitInstance(), 1);
    b.dialog.setScreenReaders(&screenReaders);
    b.dialog.show();
    const int before = reader.silenceCalls;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&b.dialog, &activate);
    QCOMPARE(reader.silenceCalls, before + 1);
    QApplication::sendEvent(&b.dialog, &activate);
    QCOMPARE(reader.silenceCalls, before + 2);
}

QTEST_MAIN(TestFindDlg)
#include "TestFindDlg.moc"
