// The posting dialog, offscreen, posting to the real local board server: the
// notice before the first post of 24 hours and the second press, a post
// within 24 hours going at once, the voice check in both modes, the refusals,
// and what the dialog does after success and after failure.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "base/CSettings.h"
#include "base/TextCodec.h"
#include "bbs/CHttp.h"
#include "dialogs/WriteDlg.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/BoardServerProcess.h"
#include "support/FakeScreenReader.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

namespace {

const QString kServer = QStringLiteral(BOARDSERVER_PATH);
const QString kSamples = QStringLiteral(SAMPLE_BOARDS_DIR);
const QString kThread = u"http://ikura.2ch.example/test/read.cgi/cooking/1714650000/"_s;
const QString kDat = u"/cooking/dat/1714650000.dat"_s;

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

QString datText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? TextCodec::fromCp932(file.readAll()) : QString();
}

struct World
{
    TempProfile profile;
    QTemporaryDir served;
    BoardServerProcess server;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech{engine, profile.settings(), readconv};
    CHttp http;

    bool start(const QStringList& options = {})
    {
        if (!copyTree(kSamples, served.path()) || !server.start(kServer, served.path(), options)) {
            return false;
        }
        http.InitInstance(u"Monazilla/1.00 (Yomimaru/1.11) "_s, server.address(), 10000, 10000, 10000);
        return true;
    }

    // Lets the engine end whatever it is saying.
    void finishSpeech()
    {
        engine.startCurrent();
        engine.finishCurrent();
        QCoreApplication::processEvents();
    }
};

template <typename T> T* child(QObject& parent, const QString& name)
{
    return parent.findChild<T*>(name);
}

}  // namespace

class TestWriteDlg : public QObject
{
    Q_OBJECT

private slots:
    void firstPostOfTheDay();
    void secondPostWithin24Hours();
    void voiceCheck_data();
    void voiceCheck();
    void refusals_data();
    void refusals();
    void failureStaysOpen();
    void captionAndFocus();
    void helpByCaption();
    void colours();
    void placeRemembered();
    void screenReadersSilenced();
};

void TestWriteDlg::firstPostOfTheDay()
{
    World w;
    QVERIFY(w.start());
    WriteDlg dialog(&w.speech, nullptr, nullptr, w.profile.settings(), &w.http);
    dialog.Initialize(kThread, false, false);
    dialog.show();
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setPlainText(u"初めての書き込み"_s);
    QPushButton* write = child<QPushButton>(dialog, u"Command_Write1"_s);
    const QString before = datText(w.served.path() + kDat);

    write->click();
    QTRY_COMPARE(w.engine.last().text, WriteSequence::noticeText());
    QCOMPARE(dialog.sequence().writeStep(), 1);
    QVERIFY(!dialog.sequence().timerActive());

    // Pressed while the notice is still being read: nothing is posted.
    write->click();
    QVERIFY(!dialog.sequence().timerActive());
    QCOMPARE(dialog.sequence().writeStep(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(datText(w.served.path() + kDat), before);

    // After the notice has ended, the press posts.
    w.finishSpeech();
    QVERIFY(w.speech.speechDone());
    write->click();
    QTRY_COMPARE(w.engine.last().text, u"書き込みました。"_s);
    QVERIFY(dialog.sequence().postSucceeded());
    QVERIFY(datText(w.served.path() + kDat).contains(u"初めての書き込み"_s));
    QVERIFY(w.profile.settings().HasNamed(QString::fromUtf16(CSettings::kLastWriteDate)));
    // The dialog waits until the sentence has been heard, then closes.
    QVERIFY(dialog.isVisible());
    w.finishSpeech();
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestWriteDlg::secondPostWithin24Hours()
{
    World w;
    QVERIFY(w.start());
    w.profile.settings().Set_Named(QString::fromUtf16(CSettings::kLastWriteDate),
                                   QDateTime::currentDateTime().addSecs(-3600).toString(Qt::ISODate));
    WriteDlg dialog(&w.speech, nullptr, nullptr, w.profile.settings(), &w.http);
    dialog.Initialize(kThread, false, false);
    dialog.show();
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setPlainText(u"続けて書き込み"_s);
    child<QPushButton>(dialog, u"Command_Write1"_s)->click();
    QTRY_COMPARE(w.engine.last().text, u"書き込みました。"_s);
    QVERIFY(!w.engine.texts().contains(WriteSequence::noticeText()));
    QVERIFY(datText(w.served.path() + kDat).contains(u"続けて書き込み"_s));
}

void TestWriteDlg::voiceCheck_data()
{
    QTest::addColumn<bool>("suretate");
    QTest::addColumn<QStringList>("fields");  // title, name, mail, body
    QTest::addColumn<QString>("sentence");
    QTest::newRow("reply, all empty")
        << false << QStringList{u"題"_s, {}, {}, {}} << u"名前欄は空欄、メール欄は空欄、本文は空欄です。"_s;
    QTest::newRow("reply, all filled") << false << QStringList{u"題"_s, u"名無し"_s, u"sage"_s, u"本文です"_s}
                                       << u"名前欄は,名無し、メール欄は,sage、本文は、本文です"_s;
    QTest::newRow("new thread, empty title")
        << true << QStringList{{}, {}, {}, u"本文"_s}
        << u"タイトル欄は空欄、名前欄は空欄、メール欄は空欄、本文は、本文"_s;
    QTest::newRow("new thread, title")
        << true << QStringList{u"新スレ"_s, {}, u"sage"_s, {}}
        << u"タイトル欄は,新スレ、名前欄は空欄、メール欄は,sage、本文は空欄です。"_s;
}

void TestWriteDlg::voiceCheck()
{
    QFETCH(bool, suretate);
    QFETCH(QStringList, fields);
    QFETCH(QString, sentence);
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    WriteDlg dialog(&speech, nullptr, nullptr, profile.settings(), nullptr);
    dialog.Initialize(u"http://uni.2ch.example/zatsudan/"_s, false, suretate);
    dialog.show();
    child<QLineEdit>(dialog, u"Text_Title"_s)->setText(fields[0]);
    child<QLineEdit>(dialog, u"Text_Name"_s)->setText(fields[1]);
    child<QLineEdit>(dialog, u"Text_Mail"_s)->setText(fields[2]);
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setPlainText(fields[3]);
    child<QPushButton>(dialog, u"Command_Write0"_s)->click();
    QCOMPARE(engine.last().text, sentence);
}

void TestWriteDlg::refusals_data()
{
    QTest::addColumn<bool>("suretate");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<QString>("focus");
    QTest::newRow("reply without body")
        << false << QString() << QString() << u"本文が空欄なので書き込めません。"_s << u"Text_Edit"_s;
    QTest::newRow("thread without body")
        << true << u"題"_s << QString() << u"本文が空欄なので書き込めません。"_s << u"Text_Edit"_s;
    QTest::newRow("thread without title")
        << true << QString() << u"本文"_s << u"タイトルが空欄なので書き込めません。"_s << u"Text_Title"_s;
}

void TestWriteDlg::refusals()
{
    QFETCH(bool, suretate);
    QFETCH(QString, title);
    QFETCH(QString, body);
    QFETCH(QString, sentence);
    QFETCH(QString, focus);
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    WriteDlg dialog(&speech, nullptr, nullptr, profile.settings(), nullptr);
    dialog.Initialize(u"http://uni.2ch.example/zatsudan/"_s, false, suretate);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    child<QLineEdit>(dialog, u"Text_Title"_s)->setText(title);
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setPlainText(body);
    child<QPushButton>(dialog, u"Command_Write1"_s)->setFocus();
    child<QPushButton>(dialog, u"Command_Write1"_s)->click();
    QCOMPARE(engine.last().text, sentence);
    QCOMPARE(dialog.focusWidget()->objectName(), focus);
    // Never the notice, never a post.
    QVERIFY(!dialog.sequence().timerActive());
    QCOMPARE(dialog.sequence().writeStep(), 0);
    QVERIFY(!engine.texts().contains(WriteSequence::noticeText()));
}

void TestWriteDlg::failureStaysOpen()
{
    World w;
    QVERIFY(w.start({u"--fault"_s, u"status:500@/test/bbs.cgi"_s}));
    w.profile.settings().Set_Named(QString::fromUtf16(CSettings::kLastWriteDate),
                                   QDateTime::currentDateTime().toString(Qt::ISODate));
    WriteDlg dialog(&w.speech, nullptr, nullptr, w.profile.settings(), &w.http);
    dialog.Initialize(kThread, false, false);
    dialog.show();
    child<QLineEdit>(dialog, u"Text_Name"_s)->setText(u"名無し"_s);
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setPlainText(u"消えないで"_s);
    child<QPushButton>(dialog, u"Command_Write1"_s)->click();
    QTRY_COMPARE(dialog.sequence().writeStep(), 2);
    QCOMPARE(w.engine.last().text, u"サーバーがエラー500を返しました。"_s);
    QVERIFY(!dialog.sequence().postSucceeded());
    w.finishSpeech();
    QTRY_COMPARE(dialog.sequence().writeStep(), 0);
    QVERIFY(dialog.isVisible());
    QCOMPARE(child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->toPlainText(), u"消えないで"_s);
    QCOMPARE(child<QLineEdit>(dialog, u"Text_Name"_s)->text(), u"名無し"_s);
}

void TestWriteDlg::captionAndFocus()
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    WriteDlg dialog(&speech, nullptr, nullptr, profile.settings(), nullptr);
    dialog.Initialize(u"http://uni.2ch.example/zatsudan/"_s, false, true);
    QCOMPARE(dialog.windowTitle(), u"スレ立てダイアログ"_s);
    QCOMPARE(child<QPushButton>(dialog, u"Command_Write1"_s)->text(), u"スレ立て(&W)"_s);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QTRY_VERIFY(engine.texts().contains(u"スレ立てダイアログ、タイトルのエディット(T)、"_s));
    child<QLineEdit>(dialog, u"Text_Name"_s)->setText(u"名無し"_s);
    child<QLineEdit>(dialog, u"Text_Name"_s)->setFocus();
    QTRY_COMPARE(engine.last().text, u"名前のエディット(N)、名無し"_s);
    child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->setFocus();
    // The caption prefix is spoken once per opening.
    QTRY_COMPARE(engine.last().text, u"本文のエディット(E)"_s);

    WriteDlg reply(&speech, nullptr, nullptr, profile.settings(), nullptr);
    reply.Initialize(kThread, false, false);
    QCOMPARE(reply.windowTitle(), u"書き込みダイアログ"_s);
    QVERIFY(child<QLineEdit>(reply, u"Text_Title"_s)->isHidden());
}

void TestWriteDlg::helpByCaption()
{
    TempProfile profile;
    SpySpeechEngine engine;
    ReadConv readconv;
    SpeechOutput speech(engine, profile.settings(), readconv);
    HelpMenu help(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/help.txt"_s);
    QVERIFY(help.Initialize());
    for (const bool suretate : {false, true}) {
        WriteDlg dialog(&speech, nullptr, &help, profile.settings(), nullptr);
        dialog.Initialize(u"http://uni.2ch.example/zatsudan/"_s, false, suretate);
        dialog.show();
        const QString text = help.Get_DlgHelp(dialog.windowTitle());
        QVERIFY(text.contains(suretate ? u"新しいスレッドを立てる"_s : u"スレッドに返信する"_s));
        QTest::keyClick(&dialog, Qt::Key_F1);
        QCOMPARE(engine.last().text, text);
        QVERIFY(dialog.isVisible());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }
}

void TestWriteDlg::colours()
{
    TempProfile profile;
    WriteDlg dialog(nullptr, nullptr, nullptr, profile.settings(), nullptr);
    dialog.Initialize(kThread, false, false);
    for (const bool lowVision : {true, false}) {
        dialog.setLowVision(lowVision);
        for (const QString& name : {u"Text_Title"_s, u"Text_Name"_s, u"Text_Mail"_s}) {
            const QPalette p = child<QLineEdit>(dialog, name)->palette();
            QCOMPARE(p.color(QPalette::Base), lowVision ? QColor(0, 0, 128) : QColor(Qt::white));
            QCOMPARE(p.color(QPalette::Text), lowVision ? QColor(Qt::white) : QColor(Qt::black));
        }
        const QPalette body = child<QPlainTextEdit>(dialog, u"Text_Edit"_s)->palette();
        QCOMPARE(body.color(QPalette::Base), lowVision ? QColor(0, 0, 128) : QColor(Qt::white));
    }
}

void TestWriteDlg::placeRemembered()
{
    TempProfile profile;
    {
        WriteDlg dialog(nullptr, nullptr, nullptr, profile.settings(), nullptr);
        dialog.Initialize(kThread, false, false);
        dialog.setFormStore(&profile.store());
        dialog.show();
        dialog.setGeometry(140, 90, 420, 380);
        QTRY_COMPARE(dialog.geometry().size(), QSize(420, 380));
        dialog.reject();
    }
    WriteDlg again(nullptr, nullptr, nullptr, profile.settings(), nullptr);
    again.Initialize(kThread, false, false);
    again.setFormStore(&profile.store());
    QCOMPARE(again.size(), QSize(420, 380));
    // The new-thread dialog keeps a place of its own.
    WriteDlg other(nullptr, nullptr, nullptr, profile.settings(), nullptr);
    other.Initialize(u"http://uni.2ch.example/zatsudan/"_s, false, true);
    other.setFormStore(&profile.store());
    QVERIFY(other.size() != QSize(420, 380));
}

void TestWriteDlg::screenReadersSilenced()
{
    TempProfile profile;
    FakeScreenReader reader(1, true);
    CSrCntl screenReaders({&reader});
    QCOMPARE(screenReaders.InitInstance(), 1);
    WriteDlg dialog(nullptr, nullptr, nullptr, profile.settings(), nullptr);
    dialog.setScreenReaders(&screenReaders);
    dialog.Initialize(kThread, false, false);
    dialog.show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    QVERIFY(reader.silenceCalls >= 1);
}

QTEST_MAIN(TestWriteDlg)
#include "TestWriteDlg.moc"
