// The one-line edit dialog: its spoken prompt (once), the confirmed text,
// cancelling, and the proxy setting that uses it from the main window.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "base/CSettings.h"
#include "dialogs/LineEditDlg.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

class TestLineEditDlg : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void announcesOnce();
};

void TestLineEditDlg::answers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("result");
    QTest::newRow("confirmed, blanks trimmed")
        << u"  proxy.example:8080 "_s << true << u"proxy.example:8080"_s;
    QTest::newRow("only blanks is no answer") << u"   "_s << true << QString();
    QTest::newRow("escape cancels") << u"proxy.example:8080"_s << false << QString();
}

void TestLineEditDlg::answers()
{
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(QString, result);
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    LineEditDlg dialog(&speech, nullptr, nullptr);
    dialog.Initialize(u"プロキシ設定ダイアログ"_s,
                      u"プロキシアドレスとポートを半角コロンで区切って記入してください"_s);
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>(u"Text_Msg"_s);
    QVERIFY(edit);
    edit->setText(typed);
    if (confirm) {
        dialog.findChild<QPushButton*>(u"Command_OK"_s)->click();
    } else {
        QTest::keyClick(edit, Qt::Key_Escape);
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
}

void TestLineEditDlg::announcesOnce()
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    LineEditDlg dialog(&speech, nullptr, nullptr);
    dialog.Initialize(u"プロキシ設定ダイアログ"_s,
                      u"プロキシアドレスとポートを半角コロンで区切って記入してください"_s);
    dialog.show();
    QCOMPARE(
        engine.texts(),
        QStringList(
            {u"プロキシ設定ダイアログ、プロキシアドレスとポートを半角コロンで区切って記入してください"_s}));
    dialog.hide();
    dialog.show();  // back again after another window: no second announcement
    QCOMPARE(engine.texts().size(), 1);
    QCOMPARE(dialog.windowTitle(), u"プロキシ設定ダイアログ"_s);
}

QTEST_MAIN(TestLineEditDlg)
#include "TestLineEditDlg.moc"
