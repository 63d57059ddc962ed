// Reading a thread as the reading timer drives it: unit after unit to the
// end, nothing new, moving by messages while reading, the jumps inside a
// message, the full text of an item, reloads and the all-bookmarks run.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "VoiceMenuFixture.h"
#include "bbs/BookmarkList.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"

using namespace Qt::StringLiterals;

namespace {

// Opens thread `thread` of the board なんでも雑談 (6 messages for thread 2).
bool openThread(Fixture& f, int thread)
{
    if (!f.start() || !f.menu->Initialize()) {
        return false;
    }
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s,
           u"select:"_s + QString::number(thread), u"enter"_s});
    return f.menu->Get_MenuNo() == VoiceMenu::ReadingMenu;
}

// What the reading timer does: one unit per tick while there is something to read.
int readToTheEnd(Fixture& f)
{
    int ticks = 0;
    while (f.menu->Read_Message(false) && ticks < 5000) {
        ++ticks;
    }
    return ticks;
}

// The speech one utterance plays at a time, as a queueing engine plays it:
// starts the oldest waiting utterance and returns its text, or an empty
// text when nothing waits.
QString startNext(Fixture& f)
{
    const QList<SpeechEngine::UtteranceId> pending = f.engine.pending();
    if (pending.isEmpty()) {
        return {};
    }
    f.engine.startCurrent();
    for (const SpySpeechEngine::Utterance& u : f.engine.spoken()) {
        if (u.id == pending.first()) {
            return u.text;
        }
    }
    return {};
}

}  // namespace

class TestVoiceMenuReading : public QObject
{
    Q_OBJECT

private slots:
    void readsToTheEnd();
    void gaplessReadingHandsOverEarly();
    void keyCancelsHeardAndQueued();
    void spokenHeaderKeepsItsBlanks();
    void unwritablePositionIsTold();
    void overLongBoardName();
    void nothingNew();
    void movingWhileReading();
    void paragraphJumps();
    void linkJumps();
    void lineJumps();
    void vanishedThread();
    void allInfo();
    void reloads();
    void allBookmarksRun();
};

void TestVoiceMenuReading::readsToTheEnd()
{
    Fixture f;
    QVERIFY(openThread(f, 2));
    f.engine.clear();
    const int ticks = readToTheEnd(f);
    QVERIFY(ticks >= 6);  // at least a header per message
    const QStringList spoken = f.engine.texts();
    QCOMPARE(spoken.constLast(), u"読み上げ完了"_s);
    QCOMPARE(spoken.count(u"読み上げ完了"_s), 1);
    QCOMPARE(spoken.size(), ticks + 1);
    // The first unit of the first message is its spoken header: the number.
    QCOMPARE(spoken.first(), u"1"_s);  // reading text drops the blanks
    QVERIFY(!f.menu->IsReadable());
    QVERIFY(!f.menu->IsReading());
    QCOMPARE(f.menu->Get_Index(), 6);
    QCOMPARE(f.host.messageTexts.size(), 6);
    // Further ticks are silent.
    QVERIFY(!f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts().size(), spoken.size());
    // The read position was saved on the way.
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), 6);
}

// With an engine that queues, every unit after the first is handed over while
// the one before it still plays (no reset between them), the position moves
// to a unit when its start is reported, and the thread is heard in the same
// order with the same texts as when each unit waits for the end of the last.
void TestVoiceMenuReading::gaplessReadingHandsOverEarly()
{
    Fixture plain;
    QVERIFY(openThread(plain, 3));
    plain.engine.clear();
    readToTheEnd(plain);
    const QStringList expected = plain.engine.texts();
    QVERIFY(expected.size() > 20);

    Fixture f;
    f.engine.setQueuing(true);
    QVERIFY(openThread(f, 3));
    f.engine.clear();
    QVERIFY(f.menu->Read_Message(false));
    const int resets = f.engine.resetCount();
    QStringList heard;
    int messagesCrossed = 0;
    for (int step = 0; step < 5000; ++step) {
        const int messageBefore = f.menu->threadData().Get_MessageCurrentNum();
        const QString text = startNext(f);
        if (text.isEmpty()) {
            // Nothing waits: as the main window does at the end of speech.
            QVERIFY(f.speech->speechDone());
            if (!f.menu->Read_Message(false)) {
                break;
            }
            continue;
        }
        heard << text;
        // What is heard is where the reader stands.
        QCOMPARE(SpeechOutput::WidenHalfwidthKana(f.menu->currentUnitText()), text);
        QCOMPARE(f.menu->messageData().readingUnit(f.menu->messageData().Get_Index()),
                 f.menu->currentUnitText());
        if (f.menu->threadData().Get_MessageCurrentNum() != messageBefore) {
            ++messagesCrossed;
            QCOMPARE(f.menu->Get_Index(), f.menu->threadData().Get_MessageCurrentNum());
        }
        const bool lastUnit = !f.menu->threadData().Have_Message() && !f.menu->messageData().Have_Message();
        // The next unit waits in the engine before this one has ended.
        QCOMPARE(f.engine.pending().size(), lastUnit ? 1 : 2);
        f.engine.finishCurrent();
        QCoreApplication::processEvents();
    }
    QCOMPARE(f.engine.resetCount(), resets + 1);  // only the final sentence replaces
    QCOMPARE(heard + QStringList{f.engine.texts().constLast()}, expected);
    QCOMPARE(f.engine.texts(), expected);
    QVERIFY(messagesCrossed >= 5);
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), plain.menu->threadData().Get_MessageCurrentNum());
}

// A key while the last unit of a message is heard and the next message's
// header waits: both stop, the position stays on the unit heard, and reading
// on starts with the header that was never heard.
void TestVoiceMenuReading::keyCancelsHeardAndQueued()
{
    Fixture f;
    f.engine.setQueuing(true);
    QVERIFY(openThread(f, 3));
    f.engine.clear();
    QVERIFY(f.menu->Read_Message(false));
    QString heard;
    for (int step = 0; step < 200; ++step) {
        heard = startNext(f);
        QVERIFY(!heard.isEmpty());
        const CMessageData& message = f.menu->messageData();
        if (f.menu->threadData().Get_MessageCurrentNum() >= 2
            && message.Get_Index() == message.Get_MessageMaxNum()) {
            break;
        }
        f.engine.finishCurrent();
        QCoreApplication::processEvents();
    }
    const int message = f.menu->threadData().Get_MessageCurrentNum();
    const qint32 unit = f.menu->messageData().Get_Index();
    QCOMPARE(unit, f.menu->messageData().Get_MessageMaxNum());
    QCOMPARE(f.engine.pending().size(), 2);
    const QString queuedHeader = f.engine.last().text;
    QCOMPARE(queuedHeader, QString::number(message + 1));

    f.menu->Read_AllInfo();  // the key that says the whole message
    QCOMPARE(f.engine.last().text,
             SpeechOutput::WidenHalfwidthKana(f.menu->threadData().Get_AllReadMessage(message)));
    QCOMPARE(f.engine.pending().size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), message);
    QCOMPARE(f.menu->messageData().Get_Index(), unit);
    QCOMPARE(SpeechOutput::WidenHalfwidthKana(f.menu->currentUnitText()), heard);
    QCOMPARE(f.menu->Get_Index(), message);
    // The answer plays to its end; reading goes on with the header not heard.
    startNext(f);
    f.engine.finishCurrent();
    QVERIFY(f.speech->speechDone());
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), message + 1);
    QCOMPARE(f.engine.spoken().at(f.engine.spoken().size() - 2).text, queuedHeader);
}

// From the message to the engine: number, name, date and ID reach the voice
// with one blank after each, through the shipped reading conversion.
void TestVoiceMenuReading::spokenHeaderKeepsItsBlanks()
{
    Fixture f;
    f.readconv.setFilePath(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/readconv.txt"_s);
    f.readconv.InitInstance();
    CSettings& s = f.profile.settings();
    for (const qint16 item : {CSettings::ReadName, CSettings::ReadDate, CSettings::ReadId}) {
        s.Set_(item, u"0"_s);
    }
    QVERIFY(openThread(f, 2));
    f.engine.clear();
    QVERIFY(f.menu->Read_Message(false));
    const QString header = f.menu->threadData().Get_ReadHeader(1, false, false, false);
    QVERIFY2(header.startsWith(u"1 名前："_s) && header.count(u' ') >= 3, qPrintable(header));
    QCOMPARE(f.engine.texts().constFirst(), header.trimmed());
    // A header with every item, the mail field, ID and host among them.
    CMessageData data;
    data.InitInstance(u"1"_s, u"0"_s, u"本文"_s,
                      u"12 名前:名無しさん ：2024/05/06(月) 08:00:00 ID:0b2zAgYP0"_s,
                      u"12 名前：名無しさん メール欄：sage 2024/05/06(月) 08:00:00 ID：0b2zAgYP0 "_s);
    qint16 kind = 0;
    QCOMPARE(data.Get_Message(1, kind, true),
             u"12 名前：名無しさん メール欄：sage 2024/05/06(月) 08:00:00 ID：0b2zAgYP0"_s);
    // The body's blanks still go.
    data.InitInstance(u"1"_s, u"0"_s, u"a b"_s, u"1 名前:x ：d"_s, u"1 "_s);
    QCOMPARE(data.Get_Message(1, kind, true), u"1"_s);
    QCOMPARE(data.Get_Message(2, kind, true), u"ab"_s);
}

// The read position cannot be saved: the listener hears it once, in front of
// what is read next, and the reading goes on.
void TestVoiceMenuReading::unwritablePositionIsTold()
{
    Fixture f;
    QVERIFY(openThread(f, 2));
    const QString idx = QFileInfo(f.menu->threadData().logPath()).absolutePath() + u"/thread.idx"_s;
    QVERIFY(QFile::remove(idx) && QDir().mkpath(idx));
    f.engine.clear();
    readToTheEnd(f);
    const QStringList spoken = f.engine.texts();
    QCOMPARE(spoken.join(u'\n').count(u"読み上げ位置を保存できませんでした。"_s), 1);
    QVERIFY2(spoken.constFirst().startsWith(u"読み上げ位置を保存できませんでした。1"_s),
             qPrintable(spoken.constFirst()));
    QCOMPARE(spoken.constLast(), u"読み上げ完了"_s);
    QCOMPARE(f.menu->Get_Index(), 6);
}

// A board whose name is too long for a folder: the thread still downloads and
// reads, and each kind of save that cannot be made is told once.
void TestVoiceMenuReading::overLongBoardName()
{
    Fixture f;
    QVERIFY(openThread(f, 2));
    ThreadData thread(f.profile.dataRoot(), f.profile.settings());
    QStringList told;
    thread.setWriteFailureHandler([&told](const QString& sentence) { told << sentence; });
    const QString board(100, u'板');  // 300 bytes as a file name
    thread.InitInstance(nullptr, &f.menu->http(), u"題"_s, f.menu->threadData().Get_ThreadURL(), u"雑談"_s,
                        board, 6, false);
    QCOMPARE(thread.Get_MessageLoadedNum(), 6);
    QVERIFY(thread.Move_Index(1));
    QVERIFY(thread.Move_Index(1));
    QCOMPARE(told, QStringList({u"スレッドデータを保存できませんでした。"_s,
                                u"読み上げ位置を保存できませんでした。"_s}));
}

void TestVoiceMenuReading::nothingNew()
{
    Fixture f;
    QVERIFY(openThread(f, 2));
    readToTheEnd(f);
    f.run({u"back"_s, u"enter"_s});  // the same thread again, read to its end
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    f.engine.clear();
    QVERIFY(!f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts(), QStringList({u"新着メッセージはありません"_s}));
    QVERIFY(!f.menu->IsReadable());
}

void TestVoiceMenuReading::movingWhileReading()
{
    Fixture f;
    QVERIFY(openThread(f, 3));
    QVERIFY(f.menu->Read_Message(false));
    f.engine.clear();
    // With continuous reading on, choosing message 4 reads it from its start.
    f.run({u"select:4"_s});
    QCOMPARE(f.engine.texts(), QStringList({u"4"_s}));
    QCOMPARE(f.menu->Get_Index(), 4);
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts().constLast(), f.menu->messageData().readingUnit(2));
    // With reading stopped, a move speaks the whole message and reads nothing on.
    f.run({u"back"_s});
    f.engine.clear();
    f.run({u"down"_s});
    QCOMPARE(f.menu->Get_Index(), 5);
    QCOMPARE(f.engine.texts().size(), 1);
    QVERIFY(f.engine.texts().first().startsWith(u"5 "_s));
    QVERIFY(!f.menu->Read_Message(false));
}

void TestVoiceMenuReading::paragraphJumps()
{
    Fixture f;
    QVERIFY(openThread(f, 3));
    // Find a message with a second paragraph, reading it from its header.
    int found = 0;
    for (int n = 1; n <= 10 && found == 0; ++n) {
        f.menu->threadData().Set_Index(n);
        f.menu->Read_Message(true);
        if (f.menu->messageData().Get_NextParagraph(false) > 0) {
            found = n;
        }
    }
    QVERIFY2(found > 0, "no sample message with two paragraphs");
    CMessageData& message = f.menu->messageData();
    const qint32 from = message.Get_Index();
    const qint32 target = message.Get_NextParagraph(false);
    f.menu->Jump_NextParagraph(false);
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts().constLast(),
             QString::number(target - from) + u"文スキップ、"_s + message.readingUnit(target));

    // Back at the header, no paragraph lies before it.
    f.menu->threadData().Set_Index(found);
    f.menu->Read_Message(true);
    const qint32 before = message.Get_Index();
    QCOMPARE(message.Get_NextParagraph(true), 0);
    f.menu->Jump_NextParagraph(true);
    QCOMPARE(f.engine.texts().constLast(), u"これより前に段落はありません"_s);
    QCOMPARE(message.Get_Index(), before);
}

void TestVoiceMenuReading::linkJumps()
{
    Fixture f;
    QVERIFY(openThread(f, 3));
    f.run({u"back"_s});  // reading off
    f.menu->threadData().Set_Index(1);
    f.menu->Read_Message(true);  // readable is off: nothing is loaded or spoken
    f.engine.clear();
    const qint32 index = f.menu->messageData().Get_Index();
    f.menu->Jump_NextLink(false);
    if (f.menu->messageData().Get_NextLink(false) == 0) {
        QCOMPARE(f.engine.texts(), QStringList({u"これよりあとにリンクはありません"_s}));
    } else {
        QVERIFY(f.engine.texts().isEmpty());
    }
    QCOMPARE(f.menu->messageData().Get_Index(), index);
}

void TestVoiceMenuReading::lineJumps()
{
    Fixture f;
    QVERIFY(openThread(f, 3));
    CMessageData& message = f.menu->messageData();
    // A message of at least four units, read up to its second.
    int found = 0;
    for (int n = 1; n <= 10 && found == 0; ++n) {
        f.menu->threadData().Set_Index(n);
        f.menu->Read_Message(true);
        if (message.Get_MessageMaxNum() >= 4) {
            found = n;
        }
    }
    QVERIFY2(found > 0, "no sample message with four units");
    QVERIFY(f.menu->Read_Message(false));
    const qint32 at = message.Get_MessageCurrentNum();
    QCOMPARE(at, 2);
    // Forward: the unit being spoken is cut short and the next one follows.
    f.menu->Jump_NextLine(false);
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts().constLast(), message.readingUnit(3));
    // Back: the unit before the one being spoken comes again.
    f.menu->Jump_NextLine(true);
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.engine.texts().constLast(), message.readingUnit(2));
}

void TestVoiceMenuReading::vanishedThread()
{
    // The thread list names a thread whose dat is gone and that was never
    // read: the user is told it is gone, and the thread list stays.
    Fixture f;
    QVERIFY(f.server.start(QStringLiteral(BOARDSERVER_PATH), QStringLiteral(SAMPLE_BOARDS_DIR),
                           {u"--fault=status:404@/dat/"_s}));
    QVERIFY(f.start(false, false));
    f.profile.settings().Set_(CSettings::ProxyServer, f.server.address());
    QVERIFY(f.menu->Initialize());
    f.run(
        {u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s, u"select:2"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QCOMPARE(f.engine.texts().constLast(), u"このスレッドはサーバーにありません。"_s);
    QVERIFY(!f.menu->IsReadable());
    QVERIFY(!f.menu->Read_Message(false));
    QVERIFY(!f.engine.texts().contains(u"新着メッセージはありません"_s));
    QCOMPARE(f.menu->Get_Index(), 2);
}

void TestVoiceMenuReading::allInfo()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s, u"select:2"_s});
    f.menu->Read_AllInfo();
    // The thread's whole item, count field included.
    QCOMPARE(f.engine.texts().constLast(), u"2,"_s + f.menu->Get_Item(2));
    QVERIFY(f.engine.texts().constLast().contains(u"/006 "_s));
    f.run({u"enter"_s, u"back"_s, u"select:2"_s});
    f.menu->Read_AllInfo();
    QCOMPARE(f.engine.texts().constLast(), f.menu->threadData().Get_AllReadMessage(2));
    QVERIFY(f.engine.texts().constLast().startsWith(u"2 名前："_s));
}

void TestVoiceMenuReading::reloads()
{
    Fixture f;
    QVERIFY(openThread(f, 2));
    f.run({u"back"_s});
    f.menu->Reload(true);
    QVERIFY(!f.menu->IsReadable());
    QCOMPARE(f.menu->Get_Index(), 6);
    QVERIFY(f.engine.texts().constLast() != u"リロードします"_s);
    f.menu->Reload(false);
    QVERIFY(f.engine.texts().contains(u"リロードします"_s));
    QVERIFY(f.menu->IsReadable());
    f.run({u"back"_s, u"back"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    f.menu->Reload(false);
    QCOMPARE(f.menu->Get_Index(), 0);
    QVERIFY(f.menu->Get_ItemNum() >= 2);
    f.menu->Update_Progress();
    QCOMPARE(f.host.progress.constLast(), 0.0);
}

void TestVoiceMenuReading::allBookmarksRun()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.menu->Run_AllRead(0), 0);  // no bookmarks: no run
    QVERIFY(!f.menu->IsAllRead());
    for (const QString& t : {u"一"_s, u"二"_s, u"三"_s}) {
        f.menu->bookmarks().Add(u"雑談"_s, u"なんでも雑談"_s, t, t + u"1"_s);
    }
    QCOMPARE(f.menu->Run_AllRead(0), 1);
    QVERIFY(f.menu->IsAllRead());
    QCOMPARE(f.engine.texts().constLast(), u"なんでも雑談板のスレッド, 一"_s);
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BookmarkMenu));
    QCOMPARE(f.menu->Get_Index(), 1);
    QCOMPARE(f.menu->Run_AllRead(1), 2);
    QCOMPARE(f.menu->Run_AllRead(2), 3);
    QCOMPARE(f.engine.texts().constLast(), u"なんでも雑談板のスレッド, 三"_s);
    QCOMPARE(f.menu->Run_AllRead(3), 0);
    QCOMPARE(f.engine.texts().constLast(), u"全ブックマークスレッドを読み上げ完了"_s);
    QVERIFY(!f.menu->IsAllRead());
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BookmarkMenu));
}

QTEST_GUILESS_MAIN(TestVoiceMenuReading)
#include "TestVoiceMenuReading.moc"
