// The main window itself: it starts, shows whether it works online,
// remembers its place, takes real key and mouse events before any widget and
// shows what the voice menu does. What the keys and buttons mean, the action
// queue and typed numbers are TestKeyDispatcher's and TestMouseDispatcher's;
// the read-all run is TestReadAllRun's.

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include "app/MainForm.h"
#include "app/VirtualKeys.h"
#include "base/ColourContrast.h"
#include "base/TextFile.h"
#include "bbs/CHttp.h"
#include "bbs/NgFilters.h"
#include "bbs/ThreadData.h"
#include "dialogs/LineEditDlg.h"
#include "speech/CMessageData.h"
#include "speech/CSrCntl.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/BoardServerProcess.h"
#include "support/FakeScreenReader.h"
#include "support/SpySpeechEngine.h"
#include "support/TempProfile.h"
#include "support/TestData.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

// Key codes of the program's key table.
constexpr quint32 kEnter = 13;
constexpr quint32 kEsc = 27;
constexpr quint32 kHome = 36;
constexpr quint32 kDown = 40;
constexpr quint32 kF1 = 112;

// Every text of the status row.
const QStringList kStatusTexts = {u"Label_Sel"_s,      u"DigitalD_Read"_s, u"Label_Total"_s,
                                  u"DigitalD_Total"_s, u"Label_Online"_s,  u"Label_Speak"_s,
                                  u"Label_Load"_s};

double contrast(const QColor& a, const QColor& b)
{
    return ColourContrast::contrastRatio(a.red(), a.green(), a.blue(), b.red(), b.green(), b.blue());
}

// The colour a widget's background is drawn in: its own when it fills it,
// else that of the nearest ancestor that does.
QColor backgroundOf(const QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow()) {
            return w->palette().color(w->backgroundRole());
        }
    }
    return {};
}

QString describe(const QColor& text, const QColor& back)
{
    return text.name() + u" on "_s + back.name() + u": "_s + QString::number(contrast(text, back), 'f', 2);
}

// The main window with the voice menu running against the local board server.
bool copySamples(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to)) {
        return false;
    }
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copySamples(entry.filePath(), target) : !QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

struct Window
{
    TempProfile profile;
    BoardServerProcess server;
    SpySpeechEngine engine;
    ReadConv readconv;
    std::unique_ptr<SpeechOutput> speech;
    std::unique_ptr<MainForm> form;
    QStringList boxes;
    QString dialogAnswer;
    int findDialogs = 0;
    bool findClosed = false;
    bool foreground = true;     // what the desktop says
    bool placesWindows = true;  // false: a window system like Wayland
    // Answers the posting dialog; without it the dialog closes at once.
    std::function<void(QDialog&)> writeRunner;
    // Uses the edit-mode viewer; without it the viewer closes at once.
    std::function<void(QDialog&)> viewerRunner;
    // Runs while any dialog is up, before it is answered.
    std::function<void()> duringDialog;
    CSrCntl* screenReaders = nullptr;

    bool start(const QStringList& serverOptions = {}, const QString& root = QStringLiteral(SAMPLE_BOARDS_DIR))
    {
        if (!server.start(QStringLiteral(BOARDSERVER_PATH), root, serverOptions)) {
            return false;
        }
        CSettings& s = profile.settings();
        server.pointSettingsAt(s);
        s.Set_(CSettings::VoiceEngine, u"1"_s);
        speech = std::make_unique<SpeechOutput>(engine, s, readconv);
        MainForm::Services services;
        services.speech = speech.get();
        services.engine = &engine;
        services.readconv = &readconv;
        services.screenReaders = screenReaders;
        services.messageBox = [this](VoiceMenuHost::MessageIcon, const QString& text) { boxes << text; };
        services.isForeground = [this] { return foreground; };
        // The window on the test's display of its own is never made active.
        services.isWindowActive = [] { return true; };
        services.placesWindows = placesWindows;
        services.dialogRunner = [this](QDialog& dialog) {
            if (duringDialog) {
                duringDialog();
            }
            if (dialog.objectName() == u"WriteDlg"_s) {
                dialog.show();
                if (writeRunner) {
                    writeRunner(dialog);
                }
                dialog.reject();
                return;
            }
            if (dialog.objectName() == u"EditModeViewer"_s) {
                dialog.show();
                if (viewerRunner) {
                    viewerRunner(dialog);
                }
                dialog.reject();
                return;
            }
            dialog.show();
            if (auto* key = dialog.findChild<QLineEdit*>(u"Text_Key"_s)) {
                // The find dialog closes a tick after its button.
                ++findDialogs;
                key->setText(dialogAnswer);
                dialog.findChild<QPushButton*>(u"Command_Find"_s)->click();
                findClosed = QTest::qWaitFor([&dialog] { return !dialog.isVisible(); });
                return;
            }
            dialog.findChild<QLineEdit*>(u"Text_Msg"_s)->setText(dialogAnswer);
            dialog.findChild<QPushButton*>(u"Command_OK"_s)->click();
        };
        form = std::make_unique<MainForm>(AppPaths(profile.dataRoot(), profile.path(u"config"_s)),
                                          profile.store(), s, services);
        return form->start();
    }

    void press(quint32 code, bool ctrl = false, bool shift = false)
    {
        form->handleKey(code, true, ctrl, shift, false);
        form->handleKey(code, false, ctrl, shift, false);
    }

    // Presses the keys within one queue window, then lets the queue run.
    void quickly(const QList<quint32>& codes)
    {
        for (const quint32 code : codes) {
            press(code);
        }
        form->Timer_Mouse_Tick();
    }

    QListWidget* list() const { return form->findChild<QListWidget*>(u"List_Select"_s); }

    QPlainTextEdit* text() const { return form->findChild<QPlainTextEdit*>(u"Text_Msg"_s); }

    QTreeWidget* tree() const { return form->findChild<QTreeWidget*>(u"TreeView_Board"_s); }

    // Category 3, board 1, thread 2 (six messages): the reading menu.
    void openThread()
    {
        menu().JumpCategory();
        press('3');
        form->Timer_Number_Tick();
        quickly({kEnter});
        press(kDown);
        quickly({kEnter});
        press(kDown);
        press(kDown);
        quickly({kEnter});
    }

    // The engine says the current utterance ended; the reading tick goes on.
    void speakNext()
    {
        engine.startCurrent();
        engine.finishCurrent();
        form->Timer_Read_Tick();
    }

    VoiceMenu& menu() const { return *form->voiceMenu(); }
};

}  // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void onlineIndicator();
    void noIdleScreenReaderTick();
    void readConvReloadedOnChange_data();
    void readConvReloadedOnChange();
    void remembersItsPlace();
    void listLines_data();
    void listLines();
    void arrowsMoveTheList();
    void doublePresses_data();
    void doublePresses();
    void keysDuringADownload();
    void mouseDuringAReload();
    void quitKeyStopsADownload();
    void keysThroughTheWindow();
    void mouseThroughTheWindow();
    void windowFollowsThePointer();
    void windowStaysWhereItCannotBePlaced();
    void noMouseWhileADialogIsUp();
    void returnPutsThePointerOnTheAnchor();
    void firstClickInFrontIsHeard();
    void colourSchemes();
    void closingGoesToTheExitMenu();
    void proxyThroughTheDialog();
    void replyWithW();
    void viewerWithY();
    void romajiDictionary();
    void findThroughTheWindow();
    void farewellOnce();
    void firstKeyInFrontIsSpoken();
    void readingLayout_data();
    void readingLayout();
    void everyTextInTheFontSize_data();
    void everyTextInTheFontSize();
    void contrastRatio_data();
    void contrastRatio();
    void textContrast_data();
    void textContrast();
    void readingPacedByTheEngine();
    void tripsToOtherMessages();
    void filtersFromTheOptions_data();
    void filtersFromTheOptions();
};

// The tick that keeps a screen reader quiet runs only while a reader runs
// and the program speaks: idle, the program sleeps.
void TestMainForm::noIdleScreenReaderTick()
{
    Window without;
    QVERIFY(without.start());
    without.engine.startCurrent();
    QVERIFY(!without.form->screenReaderTickActive());

    FakeScreenReader orca(1, true);
    CSrCntl readers({&orca});
    QCOMPARE(readers.InitInstance(), 1);
    Window w;
    w.screenReaders = &readers;
    QVERIFY(w.start());
    QVERIFY(!w.form->screenReaderTickActive());
    const int silencedIdle = orca.silenceCalls;
    w.engine.startCurrent();
    QVERIFY(w.form->screenReaderTickActive());
    QVERIFY(orca.silenceCalls > silencedIdle);
    w.engine.finishCurrent();
    QVERIFY(!w.form->screenReaderTickActive());
}

void TestMainForm::readConvReloadedOnChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reading");  // of ほげ afterwards
    QTest::addColumn<QString>("heard");
    const QString updated = u"読み替え登録更新しました"_s;
    QTest::newRow("written in place") << u"in place"_s << u"ぴよ"_s << updated;
    QTest::newRow("replaced by a rename") << u"rename"_s << u"ぴよ"_s << updated;
    QTest::newRow("a rule the engine cannot use")
        << u"invalid"_s << u"ぴよ"_s
        << u"読み替え登録更新しました。正しくない規則が1件あり、使われません。"_s;
    // What cannot be read takes nothing away.
    QTest::newRow("a folder in its place")
        << u"unreadable"_s << u"ふが"_s
        << u"読み替え登録を読み込めませんでした。今までの読み替えを使います。"_s;
}

void TestMainForm::readConvReloadedOnChange()
{
    QFETCH(QString, change);
    QFETCH(QString, reading);
    QFETCH(QString, heard);
    Window w;
    const QString path = w.profile.path(u"readconv.txt"_s);
    QVERIFY(TextFile::writeLines(path, {u"/ほげ/ふが/"_s}));
    w.readconv.setFilePath(path);
    w.readconv.InitInstance();
    QCOMPARE(w.readconv.Convert(u"ほげ"_s), u"ふが"_s);
    QVERIFY(w.start());
    w.engine.clear();
    if (change == u"rename"_s) {
        QVERIFY(TextFile::writeLines(path, {u"/ほげ/ぴよ/"_s}));
    } else if (change == u"invalid"_s) {
        QVERIFY(TextFile::writeLines(path, {u"/ほげ/ぴよ/"_s, u"/[/x/"_s}));
    } else if (change == u"unreadable"_s) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path));
    } else {
        // The same bytes, written over the watched file itself.
        const QString other = w.profile.path(u"other.txt"_s);
        QVERIFY(TextFile::writeLines(other, {u"/ほげ/ぴよ/"_s}));
        QFile source(other);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(source.readAll()) > 0);
        file.close();
    }
    QTRY_VERIFY2(w.engine.texts().contains(heard), qPrintable(w.engine.texts().join(u'|')));
    QCOMPARE(w.readconv.Convert(u"ほげ"_s), reading);
}

void TestMainForm::onlineIndicator()
{
    TempProfile profile;
    MainForm form(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                  profile.settings());
    auto* label = form.findChild<QLabel*>(u"Label_Online"_s);
    QVERIFY(label);
    form.setOnline(false);
    QCOMPARE(label->text(), u"Offline"_s);
    form.setOnline(true);
    QCOMPARE(label->text(), u"Online"_s);
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
}

void TestMainForm::remembersItsPlace()
{
    TempProfile profile;
    {
        MainForm form(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                      profile.settings());
        form.start();
        form.resize(500, 300);
        form.close();
    }
    const int width = profile.store().value(u"FormLocation/MainForm"_s, u"Width"_s).toInt();
    QVERIFY(width > 0);
    MainForm again(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                   profile.settings());
    again.start();
    QCOMPARE(again.width(), 500);
}

void TestMainForm::listLines_data()
{
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("line");
    const QString gap(QChar(0x3000));
    QTest::newRow("9 items: two blanks") << 9 << 9 << u"  9."_s + gap + u"x"_s;
    QTest::newRow("12 items, item 1: two blanks") << 1 << 12 << u"  1."_s + gap + u"x"_s;
    QTest::newRow("12 items, item 12: one blank") << 12 << 12 << u" 12."_s + gap + u"x"_s;
    QTest::newRow("1000 items, item 5") << 5 << 1000 << u"    5."_s + gap + u"x"_s;
}

void TestMainForm::listLines()
{
    QFETCH(int, i);
    QFETCH(int, n);
    QFETCH(QString, line);
    QCOMPARE(MainForm::listLine(i, n, u"x"_s), line);
}

void TestMainForm::arrowsMoveTheList()
{
    Window w;
    QVERIFY(w.start());
    QCOMPARE(w.list()->count(), 6);
    w.press(kDown);
    QCOMPARE(w.list()->currentRow(), 0);
    QCOMPARE(w.engine.texts().constLast(), u"1,カテゴリー選択(C)"_s);
    w.press(kDown, false, true);  // Shift: by ten, stops at the end
    QCOMPARE(w.list()->currentRow(), 5);
    QVERIFY(!w.form->isEnding());
    w.quickly({kEnter});  // the exit item, with the exit method "1": the program ends
    QCOMPARE(w.engine.texts().constLast(), QString::fromUtf16(VoiceMenu::kFarewell));
    QVERIFY(w.form->isEnding());
}

void TestMainForm::doublePresses_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<int>("menu");
    QTest::newRow("Enter twice adds a bookmark instead of entering")
        << QList<int>{Qt::Key_Return, Qt::Key_Return} << u"板ブックマークに登録しました。"_s
        << int(VoiceMenu::BoardMenu);
    QTest::newRow("Esc twice goes to the main menu")
        << QList<int>{Qt::Key_Escape, Qt::Key_Escape} << u"メインメニューです"_s << 0;
    QTest::newRow("Enter then Esc only enters")
        << QList<int>{Qt::Key_Return, Qt::Key_Escape} << u"スレッド選択メニューです"_s
        << int(VoiceMenu::ThreadMenu);
}

void TestMainForm::doublePresses()
{
    // Two keys typed at once through the window: the queue runs once, and
    // the window shows where the voice menu went.
    QFETCH(QList<int>, keys);
    QFETCH(QString, spoken);
    QFETCH(int, menu);
    Window w;
    QVERIFY(w.start());
    w.menu().JumpCategory();
    w.press('3');
    w.form->Timer_Number_Tick();
    w.quickly({kEnter});
    w.press(kDown);
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::BoardMenu));
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    const qsizetype said = w.engine.texts().size();
    for (const int key : keys) {
        QTest::keyClick(window, Qt::Key(key));
    }
    QTRY_VERIFY(w.engine.texts().size() > said);
    QCOMPARE(w.engine.texts().constLast(), spoken);
    QCOMPARE(int(w.menu().Get_MenuNo()), menu);
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Total"_s)->text().toInt(), w.menu().Get_ItemNum());
}

void TestMainForm::keysThroughTheWindow()
{
    // Keys delivered to the window, as the user's keyboard delivers them,
    // reach the key handler before any widget.
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    QTest::keyClick(window, Qt::Key_C);
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    QTest::keyClick(window, Qt::Key_Down);
    QTest::keyClick(window, Qt::Key_Down);
    QTest::keyClick(window, Qt::Key_Down);
    QCOMPARE(w.list()->currentRow(), 2);
    QCOMPARE(w.engine.texts().constLast(), u"3,雑談"_s);
    // The tree shows the category in yellow, the others plain and closed.
    auto* tree = w.form->findChild<QTreeWidget*>(u"TreeView_Board"_s);
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItem(2)->background(0).color(), QColor(255, 255, 0));
    QVERIFY(tree->topLevelItem(2)->isSelected());
    QCOMPARE(tree->topLevelItem(0)->background(0).style(), Qt::NoBrush);
    // The counters: item 3 of 4 categories.
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Read"_s)->text().toInt(), 3);
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Total"_s)->text().toInt(), 4);
    QCOMPARE(w.form->findChild<QLabel*>(u"Label_Sel"_s)->text(), u"選択"_s);
    // Enter waits for the queue; then the board list.
    QTest::keyClick(window, Qt::Key_Return);
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::BoardMenu));
    QTest::keyClick(window, Qt::Key_Down);
    QTRY_VERIFY(tree->topLevelItem(2)->isExpanded());
    QCOMPARE(tree->topLevelItem(2)->child(0)->background(0).color(), QColor(255, 255, 0));
}

namespace {

// Turns the wheel over the window at pos, as the window system delivers it.
void turnWheel(QWindow* window, QPoint pos, int delta)
{
    QWheelEvent wheel(QPointF(pos), QPointF(window->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window, &wheel);
}

}  // namespace

void TestMainForm::mouseThroughTheWindow()
{
    // Buttons and the wheel delivered to the window, as the user's mouse
    // delivers them: the wheel moves the menu, a left click enters, a right
    // click goes back, a double right click goes to the main menu.
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    const QPoint anchor = w.form->anchorPoint();
    QCOMPARE(int(w.menu().Get_MenuNo()), 0);
    turnWheel(window, anchor, -120);
    QCOMPARE(w.engine.texts().constLast(), u"1,カテゴリー選択(C)"_s);
    QCOMPARE(w.list()->currentRow(), w.menu().Get_Index() - 1);
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Read"_s)->text().toInt(), w.menu().Get_Index());
    QTest::mouseClick(window, Qt::LeftButton, {}, anchor);
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    // A fine wheel: nine small steps are three notches.
    for (int i = 0; i < 9; ++i) {
        turnWheel(window, anchor, -40);
    }
    QCOMPARE(w.menu().Get_Index(), 3);
    QCOMPARE(w.engine.texts().constLast(), u"3,雑談"_s);
    QCOMPARE(w.list()->currentRow(), 2);
    QVERIFY(w.tree()->topLevelItem(2)->isSelected());
    turnWheel(window, anchor, 120);
    QCOMPARE(w.menu().Get_Index(), 2);
    turnWheel(window, anchor, -120);
    // A click on another line of the list enters the menu's item; the list
    // keeps showing it.
    const auto onWindow = [&](QWidget* widget, QPoint pos) { return widget->mapTo(w.form.get(), pos); };
    QTest::mouseClick(window, Qt::LeftButton, {},
                      onWindow(w.list()->viewport(), w.list()->visualItemRect(w.list()->item(0)).center()));
    QCOMPARE(w.list()->currentRow(), 2);
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::BoardMenu));
    QCOMPARE(w.engine.texts().constLast(), u"板選択メニューです"_s);
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Total"_s)->text().toInt(), w.menu().Get_ItemNum());
    // The right button over the text goes back, with no menu of its own.
    QTest::mouseClick(window, Qt::RightButton, {}, onWindow(w.text(), w.text()->rect().center()));
    QVERIFY(!QApplication::activePopupWidget());
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    QCOMPARE(w.menu().Get_Index(), 3);
    QTest::mouseClick(window, Qt::LeftButton, {}, anchor);
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::BoardMenu));
    const qsizetype said = w.engine.texts().size();
    QTest::mouseClick(window, Qt::RightButton, {}, anchor);
    QTest::mouseClick(window, Qt::RightButton, {}, anchor);
    QTRY_VERIFY(w.engine.texts().size() > said);
    QCOMPARE(w.engine.texts().constLast(), u"メインメニューです"_s);
    QCOMPARE(int(w.menu().Get_MenuNo()), 0);
}

void TestMainForm::windowFollowsThePointer()
{
    // In its normal state the window moves so that the pointer rests just
    // right of the tree, half-way down; maximized it stays, and the list
    // shows the current item whatever a click chose.
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    QVERIFY(!w.form->isMaximized());
    const QPoint anchor = w.form->anchorPoint();
    QCOMPARE(anchor.y(), w.form->height() / 2);
    QCOMPARE(anchor.x(), w.tree()->mapTo(w.form.get(), QPoint()).x() + w.tree()->width() + 2);
    const QPoint pointer = window->mapToGlobal(anchor + QPoint(37, 21));
    const QPoint before = w.form->pos();
    QTest::mouseMove(window, anchor + QPoint(37, 21));
    QTRY_COMPARE(w.form->mapToGlobal(w.form->anchorPoint()), pointer);
    QCOMPARE(w.form->pos(), before + QPoint(37, 21));

    w.form->showMaximized();
    QTRY_VERIFY(w.form->isMaximized());
    QWindowSystemInterface::flushWindowSystemEvents();
    QCoreApplication::processEvents();
    const QPoint maximized = w.form->pos();
    w.menu().JumpCategory();
    w.menu().Select_(2, true);
    w.form->Update_List();
    w.list()->setCurrentRow(3);
    QTest::mouseMove(window, w.form->anchorPoint() + QPoint(50, 40));
    QCOMPARE(w.list()->currentRow(), 1);
    QCOMPARE(w.form->pos(), maximized);
}

void TestMainForm::windowStaysWhereItCannotBePlaced()
{
    // Where the window system places windows itself, the window stays and
    // the clicks still act.
    Window w;
    w.placesWindows = false;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    const QPoint before = w.form->pos();
    QTest::mouseMove(window, w.form->anchorPoint() + QPoint(37, 21));
    QCoreApplication::processEvents();
    QCOMPARE(w.form->pos(), before);
    turnWheel(window, w.form->anchorPoint(), -120);
    QCOMPARE(w.engine.texts().constLast(), u"1,カテゴリー選択(C)"_s);
    QTest::mouseClick(window, Qt::LeftButton, {}, w.form->anchorPoint());
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    QCOMPARE(w.form->pos(), before);
}

void TestMainForm::noMouseWhileADialogIsUp()
{
    // While the find dialog is up, clicks and turns of the wheel over the
    // main window do nothing.
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    const QPoint anchor = w.form->anchorPoint();
    w.press('C');
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    const int index = w.menu().Get_Index();
    w.dialogAnswer = u"qqqqqq"_s;
    w.duringDialog = [&] {
        turnWheel(window, anchor, -120);
        QTest::mouseClick(window, Qt::LeftButton, {}, anchor);
        QTest::mouseClick(window, Qt::MiddleButton, {}, anchor);
    };
    w.press('F');
    QCOMPARE(w.findDialogs, 1);
    QCOMPARE(w.engine.texts().constLast(), u"見つかりません"_s);
    w.form->Timer_Mouse_Tick();
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    QCOMPARE(w.menu().Get_Index(), index);
    QCOMPARE(w.engine.texts().constLast(), u"見つかりません"_s);
    // Once it is closed, the mouse acts again.
    turnWheel(window, anchor, -120);
    QCOMPARE(w.menu().Get_Index(), index + 1);
}

void TestMainForm::returnPutsThePointerOnTheAnchor()
{
    // Back from another program, the pointer is put where the window
    // follows it, wherever the window went meanwhile.
    Window w;
    QVERIFY(w.start());
    w.form->Timer_Read_Tick();
    const QPoint moved = w.form->pos() + QPoint(60, 40);
    w.form->move(moved);
    QTRY_COMPARE(w.form->pos(), moved);
    QVERIFY(QCursor::pos() != w.form->mapToGlobal(w.form->anchorPoint()));
    w.foreground = false;
    w.form->Timer_Read_Tick();
    w.foreground = true;
    w.form->Timer_Read_Tick();
    QCOMPARE(w.engine.texts().constLast(), u"Yomimaru,メインメニュー"_s);
    QTRY_VERIFY(!w.form->isMinimized());
    QCOMPARE(QCursor::pos(), w.form->mapToGlobal(w.form->anchorPoint()));
}

void TestMainForm::firstClickInFrontIsHeard()
{
    // The user comes back with a click before the desktop says the program
    // is in front: the click is acted on and its answer heard.
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    turnWheel(window, w.form->anchorPoint(), -120);
    QCOMPARE(w.menu().Get_Index(), 1);
    w.foreground = false;
    w.form->Timer_Read_Tick();
    QVERIFY(w.speech->inBackground());
    QTest::mouseClick(window, Qt::LeftButton, {}, w.form->anchorPoint());
    QVERIFY(!w.speech->inBackground());
    QTRY_COMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::CategoryMenu));
    QCOMPARE(w.engine.texts().constLast(), u"カテゴリー選択メニューです"_s);
}

void TestMainForm::keysDuringADownload()
{
    Window w;
    QVERIFY(w.start({u"--fault=stall:20@subject.txt"_s}));
    w.menu().JumpCategory();
    w.menu().Select_(3, true);
    w.quickly({kEnter});
    w.press(kDown);  // the board 1
    bool wasFixed = false;
    int indexDuring = -1;
    // Keys pressed while the thread list is downloading: navigation is
    // refused, but Ctrl+Shift+Q still ends the program.
    QTimer::singleShot(300, [&] {
        wasFixed = w.menu().IsMenuFixed();
        w.press(kDown);
        indexDuring = w.menu().Get_Index();
        w.press('Q', true, true);
        w.menu().http().Cancel();
    });
    w.quickly({kEnter});
    QVERIFY(wasFixed);
    QCOMPARE(indexDuring, 1);
    QVERIFY(w.form->isEnding());
    QVERIFY(!w.menu().IsMenuFixed());
}

// The wheel and the buttons while a reload of the thread list waits for the
// server: the cursor stays, and no click is kept to act after the reload.
void TestMainForm::mouseDuringAReload()
{
    Window w;
    QVERIFY(w.start({u"--fault=delay:1500@subject.txt"_s}));
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    const QPoint anchor = w.form->anchorPoint();
    w.menu().JumpCategory();
    w.menu().Select_(3, true);
    w.quickly({kEnter});
    w.press(kDown);
    w.quickly({kEnter});
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    w.press(kDown);
    w.press(kDown);
    const int index = w.menu().Get_Index();
    bool fixed = false;
    int indexDuring = -1;
    QTimer::singleShot(300, w.form.get(), [&] {
        fixed = w.menu().IsMenuFixed();
        turnWheel(window, anchor, -120);
        QTest::mouseClick(window, Qt::RightButton, {}, anchor);
        QTest::mouseClick(window, Qt::LeftButton, {}, anchor);
        QTest::qWait(400);  // the queue's window passes during the download
        indexDuring = w.menu().Get_Index();
    });
    const qsizetype before = w.engine.texts().size();
    w.press('R');
    QVERIFY(fixed);
    QCOMPARE(indexDuring, index);
    QTest::qWait(400);
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QVERIFY(!w.engine.texts().mid(before).contains(u"板選択メニューです"_s));
}

void TestMainForm::quitKeyStopsADownload()
{
    // Key events arriving from the window system while the thread list
    // hangs half-way: the arrows the held menu cannot take are dropped (not
    // kept for later), and Ctrl+Shift+Q stops the download; once the opening
    // has unwound, the program ends.
    Window w;
    QVERIFY(w.start({u"--fault=stall:60@subject.txt"_s}));
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    w.menu().JumpCategory();
    w.menu().Select_(3, true);
    w.quickly({kEnter});
    w.press(kDown);  // the board 1
    const auto post = [window](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(window, type,
                                                                                             key, modifiers);
    };
    bool fixedAtKeys = false;
    int indexAfterArrows = -1;
    bool stillDownloading = false;
    QTimer::singleShot(300, w.form.get(), [&] {
        fixedAtKeys = w.menu().IsMenuFixed();
        post(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        post(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        post(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        post(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    });
    QTimer::singleShot(600, w.form.get(), [&] {
        indexAfterArrows = w.menu().Get_Index();
        post(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
        post(QEvent::KeyRelease, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
    });
    // Should the key not reach the download, it is ended here instead of
    // after a minute, and the test fails below.
    QTimer::singleShot(3000, w.form.get(), [&] {
        if (w.menu().http().IsDownloading()) {
            stillDownloading = true;
            w.menu().http().Cancel();
        }
    });
    w.quickly({kEnter});
    QVERIFY(fixedAtKeys);
    QCOMPARE(indexAfterArrows, 1);
    QVERIFY(w.form->isEnding());
    QVERIFY(!stillDownloading);
    // Nothing was kept back to act later: whatever the window system still
    // holds is delivered now, and the board menu stays where it was. (The
    // program itself ends at the next reading tick; the end-to-end session
    // sees that, as ending here would end every later test's event loops.)
    QWindowSystemInterface::flushWindowSystemEvents();
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::BoardMenu));
    QCOMPARE(w.menu().Get_Index(), 1);
    QVERIFY(w.menu().http().isShutDown());
}

void TestMainForm::colourSchemes()
{
    const QColor selectionBefore = QApplication::palette().color(QPalette::Highlight);
    {
        Window w;
        QVERIFY(w.start());
        auto* text = w.form->findChild<QPlainTextEdit*>(u"Text_Msg"_s);
        w.profile.settings().Set_(CSettings::LowVisionColors, u"1"_s);
        w.form->Switch_Color();
        QCOMPARE(w.list()->palette().color(QPalette::Base), QColor(0, 0, 128));
        QCOMPARE(text->palette().color(QPalette::Text), QColor(255, 255, 255));
        QCOMPARE(QApplication::palette().color(QPalette::Highlight), QColor(0, 0, 255));
        QCOMPARE(QApplication::palette().color(QPalette::HighlightedText), QColor(255, 255, 0));
        w.profile.settings().Set_(CSettings::LowVisionColors, u"0"_s);
        w.form->Switch_Color();
        QCOMPARE(w.list()->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(text->palette().color(QPalette::Text), QColor(0, 0, 0));
        QCOMPARE(QApplication::palette().color(QPalette::Highlight), QColor(192, 240, 255));
    }
    // The program's own colours are given back when the window goes.
    QCOMPARE(QApplication::palette().color(QPalette::Highlight), selectionBefore);
}

void TestMainForm::closingGoesToTheExitMenu()
{
    Window w;
    w.profile.settings().Set_(CSettings::ExitMethod, u"2"_s);
    QVERIFY(w.start());
    QVERIFY(!w.form->close());  // Alt+F4 and the close box ask first
    QVERIFY(w.form->isVisible());
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ExitChoiceMenu));
    QCOMPARE(w.engine.texts().constLast(), u"終了方法選択メニューです"_s);
    QVERIFY(!w.form->isEnding());
}

void TestMainForm::proxyThroughTheDialog()
{
    Window w;
    QVERIFY(w.start());
    w.dialogAnswer = u" proxy.example:3128 "_s;
    w.menu().JumpConfig();
    w.menu().Select_(8, true);
    w.quickly({kEnter});
    QCOMPARE(w.profile.settings().Get_(CSettings::ProxyServer), u"proxy.example:3128"_s);
    QCOMPARE(w.engine.texts().constLast(), u"プロキシを登録しました"_s);
    QVERIFY(w.engine.texts().contains(
        u"プロキシ設定ダイアログ、プロキシアドレスとポートを半角コロンで区切って記入してください"_s));
}

void TestMainForm::replyWithW()
{
    QTemporaryDir served;
    QVERIFY(copySamples(QStringLiteral(SAMPLE_BOARDS_DIR), served.path()));
    Window w;
    QVERIFY(w.start({}, served.path()));
    // A post an hour ago: no notice this time.
    w.profile.settings().Set_Named(QString::fromUtf16(CSettings::kLastWriteDate),
                                   QDateTime::currentDateTime().addSecs(-3600).toString(Qt::ISODate));
    w.openThread();
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    const int before = w.menu().threadData().Get_MessageLoadedNum();
    QStringList captions;
    w.writeRunner = [&](QDialog& dialog) {
        captions << dialog.windowTitle();
        dialog.findChild<QPlainTextEdit*>(u"Text_Edit"_s)->setPlainText(u"Wキーからの返信です"_s);
        dialog.findChild<QPushButton*>(u"Command_Write1"_s)->click();
        QTRY_VERIFY(w.engine.texts().contains(u"書き込みました。"_s));
        w.engine.startCurrent();
        w.engine.finishCurrent();
        QTRY_VERIFY(!dialog.isVisible());
    };
    w.press('W');
    QCOMPARE(captions, QStringList{u"書き込みダイアログ"_s});
    // Reloaded: the reply is the thread's last message.
    QCOMPARE(w.menu().threadData().Get_MessageLoadedNum(), before + 1);
    QVERIFY(w.menu().threadData().message(before + 1)->body.contains(u"Wキーからの返信です"_s));

    // T in the thread list opens the dialog for a new thread.
    // The reload reads on; the first step back stops the reading.
    w.menu().GoBack();
    if (w.menu().Get_MenuNo() == VoiceMenu::ReadingMenu) {
        w.menu().GoBack();
    }
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    w.writeRunner = [&](QDialog& dialog) { captions << dialog.windowTitle(); };
    w.press('T');
    QCOMPARE(captions.constLast(), u"スレ立てダイアログ"_s);
}

void TestMainForm::viewerWithY()
{
    Window w;
    QVERIFY(w.start());
    QStringList captions;
    QString line;
    w.viewerRunner = [&](QDialog& dialog) {
        captions << dialog.windowTitle();
        // A window on the test's display is not made active by itself.
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&dialog, &activate);
        auto* view = dialog.findChild<QPlainTextEdit*>(u"Text_View"_s);
        line = view->textCursor().block().text();
        QVERIFY(view->toPlainText().contains(line));
    };
    w.press('Y');  // the main menu
    w.openThread();
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    // The thread's announcement ends; the reading goes on to the first body line.
    for (int i = 0; i < 10 && w.menu().messageData().Get_Index() < 2; ++i) {
        w.speakNext();
    }
    QVERIFY(w.menu().IsReading());
    const CMessageData& message = w.menu().messageData();
    const QString unit = message.Get_OrgMessage(-1).trimmed();
    QVERIFY(!unit.isEmpty());
    QVERIFY(captions.isEmpty());
    const int item = w.menu().Get_Index();
    w.press('Y');
    QCOMPARE(captions, QStringList{u"編集モードビューア"_s});
    QVERIFY2(unit.startsWith(line.trimmed()), qPrintable(line + u" / "_s + unit));
    QVERIFY(!w.menu().IsReading());
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    // Back in the window, its keys act again.
    w.press(kDown);
    QCOMPARE(w.menu().Get_Index(), item + 1);
}

void TestMainForm::romajiDictionary()
{
    Window w;
    QVERIFY(w.start());
    // Tens of megabytes: not loaded until a search asks for it.
    QVERIFY(!w.form->migemoOpened());
    QVERIFY(w.form->migemoWorks());
    QVERIFY(w.form->migemoOpened());
    const QString pattern = w.form->migemo().query(u"kigou"_s);
    QVERIFY(pattern.contains(u"記号"_s));
    // A dictionary that is not one leaves the search without romaji.
    Migemo broken;
    QVERIFY(TestData::writeFile(w.profile.path(u"bad-dict"_s), "\xff\xfe not a dictionary\n"));
    QVERIFY(!broken.open(w.profile.path(u"bad-dict"_s)));
    QVERIFY(!broken.open(w.profile.path(u"missing"_s)));
    QVERIFY(broken.query(u"kigou"_s).isEmpty());
}

// F and slash open the find dialog from the window's keys; the romaji key
// goes through the window's dictionary.
void TestMainForm::findThroughTheWindow()
{
    Window w;
    QVERIFY(w.start());
    w.press('C');
    w.dialogAnswer = u"hokkaidou"_s;
    QVERIFY(!w.form->migemoOpened());
    w.press('F');
    QVERIFY(w.form->migemoOpened());  // opened by the first romaji search
    QCOMPARE(w.findDialogs, 1);
    QVERIFY(w.findClosed);
    QVERIFY(w.engine.texts().contains(u"検索ダイアログ"_s));
    QCOMPARE(w.menu().Get_MenuNo(), VoiceMenu::BoardMenu);
    QCOMPARE(w.engine.texts().constLast(), u"2,北海道"_s);

    w.openThread();
    QCOMPARE(w.menu().Get_MenuNo(), VoiceMenu::ReadingMenu);
    w.dialogAnswer = u"qqqqqq"_s;
    w.press(VirtualKeys::Slash);
    QCOMPARE(w.findDialogs, 2);
    QCOMPARE(w.engine.texts().constLast(), u"見つかりません"_s);
    QCOMPARE(w.menu().Get_MenuNo(), VoiceMenu::ReadingMenu);
}

void TestMainForm::farewellOnce()
{
    // Out through the exit item of the main menu; Enter and the exit key
    // pressed again while the farewell plays, then the window closes.
    Window w;
    QVERIFY(w.start());
    w.engine.setAutomatic(true);
    const QString farewell = u"読み丸を終了します。ご利用ありがとうございました。"_s;
    w.menu().GoMain();
    w.menu().Select_(6, true);
    w.quickly({kEnter});
    QVERIFY(w.form->isEnding());
    QCOMPARE(w.engine.texts().constLast(), farewell);
    w.quickly({kEnter});
    w.press('Q');
    QSignalSpy ended(w.form.get(), &MainForm::ended);
    QTRY_COMPARE(ended.size(), 1);
    w.form->close();
    QCOMPARE(w.engine.texts().count(farewell), 1);
    QCOMPARE(w.engine.texts().constLast(), farewell);
}

void TestMainForm::firstKeyInFrontIsSpoken()
{
    Window w;
    QVERIFY(w.start());
    QWindow* window = w.form->windowHandle();
    QVERIFY(window);
    // The user works elsewhere: the program steps aside and keeps quiet.
    w.foreground = false;
    w.form->Timer_Read_Tick();
    QVERIFY(w.speech->inBackground());
    // The user comes back; the first key arrives before the desktop says the
    // program is in front. It is acted on and its answer heard.
    QTest::keyClick(window, Qt::Key_Down);
    QCOMPARE(w.menu().Get_Index(), 1);
    QCOMPARE(w.engine.texts().constLast(), u"1,カテゴリー選択(C)"_s);
    QVERIFY(!w.form->isMinimized());
    w.form->Timer_Read_Tick();  // still not told by the desktop
    QVERIFY(!w.speech->inBackground());
    QTest::keyClick(window, Qt::Key_Down);
    QCOMPARE(w.engine.texts().constLast(), u"2,ブックマーク選択(B)"_s);
    // Once the desktop agrees, no return announcement talks over the keys.
    w.foreground = true;
    const qsizetype said = w.engine.texts().size();
    w.form->Timer_Read_Tick();
    QCOMPARE(w.engine.texts().size(), said);
    // Leaving for real still sends the program to the background.
    w.foreground = false;
    for (int tick = 0; tick < 20; ++tick) {
        w.form->Timer_Read_Tick();
    }
    QVERIFY(w.speech->inBackground());
}

void TestMainForm::readingLayout_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("lowVision");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("mustScroll");  // the message is taller than the box
    QTest::newRow("message, 11 points") << 11 << false << false << false;
    QTest::newRow("message, 28 points, low vision") << 28 << true << false << false;
    QTest::newRow("message, 72 points") << 72 << false << false << true;
    QTest::newRow("help, 11 points, low vision") << 11 << true << true << false;
    QTest::newRow("help, 36 points") << 36 << false << true << false;
}

void TestMainForm::readingLayout()
{
    // While a message or a help text is read, the message box takes the
    // whole height beside the tree and keeps the unit being spoken in view,
    // marked in the selection colours; when reading stops, it is one line
    // above the list again.
    QFETCH(int, points);
    QFETCH(bool, lowVision);
    QFETCH(bool, help);
    QFETCH(bool, mustScroll);
    Window w;
    w.profile.settings().Set_(CSettings::FontSize, QString::number(points));
    w.profile.settings().Set_(CSettings::LowVisionColors, lowVision ? u"1"_s : u"0"_s);
    QVERIFY(w.start());
    QPlainTextEdit* text = w.text();
    const int lineHeight = QFontMetrics(text->font()).lineSpacing();
    const auto checkMenuLayout = [&] {
        QVERIFY(w.list()->isVisible());
        QVERIFY2(text->height() < 2 * lineHeight, qPrintable(QString::number(text->height())));
        QVERIFY(text->geometry().bottom() < w.list()->geometry().top());
        QVERIFY(text->extraSelections().isEmpty());
    };
    checkMenuLayout();
    if (help) {
        w.quickly({kF1});
        w.form->Timer_Read_Tick();
        QVERIFY(w.menu().IsHelpReading());
    } else {
        w.openThread();
        QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
        w.speakNext();
        QVERIFY(w.menu().IsReading());
    }
    const DisplayColours colours = DisplayColours::of(lowVision);
    const QWidget* tree = w.tree();
    bool scrolled = false;
    int units = 0;
    // Every unit of the first two messages (the help text is one unit).
    for (int step = 0; step < 60; ++step) {
        QVERIFY(!w.list()->isVisible());
        QVERIFY2(text->height() >= 0.9 * tree->height(),
                 qPrintable(u"box %1 px beside a tree of %2 px"_s.arg(text->height()).arg(tree->height())));
        const QList<QTextEdit::ExtraSelection> marked = text->extraSelections();
        QCOMPARE(marked.size(), 1);
        const QTextCursor unit = marked.first().cursor;
        QString expected = help ? w.menu().Get_Text() : w.menu().messageData().Get_OrgMessage(-1);
        // Marked without the line breaks around it.
        while (expected.startsWith(u"\r\n"_s)) {
            expected.remove(0, 2);
        }
        while (expected.endsWith(u"\r\n"_s)) {
            expected.chop(2);
        }
        expected.replace(u"\r\n"_s, QChar(QChar::ParagraphSeparator));
        QCOMPARE(unit.selectedText(), expected);
        QCOMPARE(marked.first().format.background().color(), colours.selection);
        QCOMPARE(marked.first().format.foreground().color(), colours.selectionText);
        QVERIFY2(contrast(colours.selectionText, colours.selection) >= ColourContrast::kMinimumTextRatio,
                 qPrintable(describe(colours.selectionText, colours.selection)));
        // The unit's first line, and its last when the unit fits, lie in the viewport.
        const QRect viewport = text->viewport()->rect();
        QTextCursor first = unit;
        first.setPosition(unit.selectionStart());
        QTextCursor last = unit;
        last.setPosition(unit.selectionEnd());
        QVERIFY2(viewport.contains(text->cursorRect(first)),
                 qPrintable(u"unit %1 starts outside the box"_s.arg(units)));
        if (text->cursorRect(last).bottom() - text->cursorRect(first).top() < viewport.height()) {
            QVERIFY2(viewport.contains(text->cursorRect(last)),
                     qPrintable(u"unit %1 ends outside the box"_s.arg(units)));
        }
        scrolled = scrolled || text->verticalScrollBar()->value() > 0;
        ++units;
        if (help || w.menu().threadData().Get_MessageCurrentNum() > 2) {
            break;
        }
        w.speakNext();
    }
    QVERIFY(units > (help ? 0 : 5));
    if (mustScroll) {
        QVERIFY(scrolled);
    }
    // Reading stops: back to the menu layout.
    if (help) {
        w.press(kDown);
    } else {
        w.quickly({kEsc});
    }
    w.form->Timer_Read_Tick();
    QVERIFY(!w.menu().IsReading() && !w.menu().IsHelpReading());
    checkMenuLayout();
}

void TestMainForm::everyTextInTheFontSize_data()
{
    QTest::addColumn<int>("points");
    for (const int points : {8, 11, 28, 72}) {
        QTest::addRow("%d points", points) << points;
    }
}

void TestMainForm::everyTextInTheFontSize()
{
    // Every text of the window in the chosen size, the status row whole:
    // wrapped within the window rather than cut off at its edge.
    QFETCH(int, points);
    Window w;
    QVERIFY(w.start());
    w.form->resize(1000, 750);
    w.profile.settings().Set_(CSettings::FontSize, QString::number(points));
    w.form->Switch_FontSize();
    QCoreApplication::processEvents();
    QStringList names = kStatusTexts;
    names << u"List_Select"_s << u"Text_Msg"_s << u"TreeView_Board"_s;
    const QRect window = w.form->rect();
    QList<QRect> placed;
    for (const QString& name : names) {
        auto* widget = w.form->findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->font().pointSize(), points);
        auto* label = qobject_cast<QLabel*>(widget);
        if (!label) {
            continue;
        }
        QVERIFY2(label->isVisible(), qPrintable(name));
        const QRect r(label->mapTo(w.form.get(), QPoint(0, 0)), label->size());
        QVERIFY2(window.contains(r), qPrintable(name + u" is cut off at the window's edge"_s));
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                 qPrintable(name + u" is narrower than its text"_s));
        QVERIFY2(label->height() >= label->fontMetrics().height(), qPrintable(name));
        for (const QRect& other : std::as_const(placed)) {
            QVERIFY2(!other.intersects(r), qPrintable(name + u" overlaps another label"_s));
        }
        // A counter and its caption stay side by side; other labels may wrap.
        placed << r;
    }
    if (points >= 72) {
        // The row did not fit on one line at this size: it wrapped.
        QVERIFY(placed.constFirst().top() != placed.constLast().top());
    }
    // The items of the list and the names of the tree wrap within their
    // width: every line of each is in its row.
    const auto whole = [](const QAbstractItemView* view, const QRect& rect, const QString& text) {
        const QRect need = view->fontMetrics().boundingRect(QRect(0, 0, rect.width() - 8, QWIDGETSIZE_MAX),
                                                            Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
        return rect.left() >= 0 && rect.right() <= view->viewport()->width()
               && need.height() <= rect.height();
    };
    w.menu().JumpCategory();
    w.press('3');
    w.form->Timer_Number_Tick();
    w.quickly({kEnter});
    w.press(kDown);
    QCoreApplication::processEvents();
    QVERIFY(w.tree()->topLevelItem(2)->isExpanded());
    for (int row = 0; row < w.list()->count(); ++row) {
        QListWidgetItem* item = w.list()->item(row);
        QVERIFY2(whole(w.list(), w.list()->visualItemRect(item), item->text()), qPrintable(item->text()));
    }
    QTreeWidgetItem* category = w.tree()->topLevelItem(2);
    for (QTreeWidgetItem* node : {category, category->child(0), category->child(1)}) {
        QVERIFY2(whole(w.tree(), w.tree()->visualItemRect(node), node->text(0)), qPrintable(node->text(0)));
    }
    // The counters show whole numbers in the list's type.
    w.form->Show_Counter(1234, 5678);
    QCOMPARE(w.form->findChild<QLabel*>(u"DigitalD_Total"_s)->font(), w.list()->font());
}

void TestMainForm::contrastRatio_data()
{
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(0, 0, 0) << QColor(255, 255, 255) << 21.0;
    QTest::newRow("the same colour") << QColor(0, 0, 128) << QColor(0, 0, 128) << 1.0;
    QTest::newRow("yellow on white") << QColor(255, 255, 0) << QColor(255, 255, 255) << 1.07;
    QTest::newRow("yellow on navy") << QColor(255, 255, 0) << QColor(0, 0, 128) << 14.91;
    QTest::newRow("mid grey on white (sRGB curve)") << QColor(119, 119, 119) << QColor(255, 255, 255) << 4.48;
    QTest::newRow("order does not matter") << QColor(255, 255, 255) << QColor(0, 0, 255) << 8.59;
}

void TestMainForm::contrastRatio()
{
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(contrast(a, b) - ratio) < 0.01, qPrintable(QString::number(contrast(a, b))));
}

void TestMainForm::textContrast_data()
{
    QTest::addColumn<bool>("lowVision");
    QTest::addColumn<QString>("element");
    const QStringList elements = {u"message box"_s,  u"list"_s,       u"list selection"_s, u"tree"_s,
                                  u"tree current"_s, u"captions"_s,   u"counters"_s,       u"online"_s,
                                  u"offline"_s,      u"speak idle"_s, u"speaking"_s,       u"download idle"_s,
                                  u"downloading"_s};
    for (const bool lowVision : {false, true}) {
        for (const QString& element : elements) {
            QTest::addRow("%s, %s", lowVision ? "low vision" : "standard", qPrintable(element))
                << lowVision << element;
        }
    }
}

void TestMainForm::textContrast()
{
    // Every text of the window against what is drawn behind it, as the
    // widgets have it, in both schemes.
    QFETCH(bool, lowVision);
    QFETCH(QString, element);
    Window w;
    w.profile.settings().Set_(CSettings::LowVisionColors, lowVision ? u"1"_s : u"0"_s);
    QVERIFY(w.start());
    const auto label = [&w](const QString& name) { return w.form->findChild<QLabel*>(name); };
    QList<QPair<QColor, QColor>> pairs;  // text, background
    const auto labelPair = [&](const QString& name) {
        QLabel* l = label(name);
        QVERIFY(l);
        pairs.append({l->palette().color(l->foregroundRole()), backgroundOf(l)});
    };
    const auto viewPair = [&](const QWidget* view, bool selected) {
        const QPalette p = view->palette();
        pairs.append(selected ? qMakePair(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight))
                              : qMakePair(p.color(QPalette::Text), p.color(QPalette::Base)));
    };
    if (element == u"message box") {
        viewPair(w.text(), false);
    } else if (element == u"list") {
        viewPair(w.list(), false);
    } else if (element == u"list selection") {
        w.press(kDown);
        QCOMPARE(w.list()->currentRow(), 0);
        viewPair(w.list(), true);
    } else if (element == u"tree") {
        viewPair(w.tree(), false);
    } else if (element == u"tree current") {
        w.menu().JumpCategory();
        w.press('3');
        w.form->Timer_Number_Tick();
        w.form->Update_Tree();
        QTreeWidgetItem* node = w.tree()->topLevelItem(2);
        QVERIFY(node->isSelected());
        // The node's own colours are the tree's selection colours.
        QCOMPARE(node->background(0).color(), w.tree()->palette().color(QPalette::Highlight));
        QCOMPARE(node->foreground(0).color(), w.tree()->palette().color(QPalette::HighlightedText));
        viewPair(w.tree(), true);
        QCOMPARE(pairs.constLast().second,
                 lowVision ? QColor(0, 0, 255) : QColor(255, 255, 0));  // yellow when it passes
    } else if (element == u"captions") {
        labelPair(u"Label_Sel"_s);
        labelPair(u"Label_Total"_s);
    } else if (element == u"counters") {
        labelPair(u"DigitalD_Read"_s);
        labelPair(u"DigitalD_Total"_s);
    } else if (element == u"online" || element == u"offline") {
        w.form->setOnline(element == u"online");
        labelPair(u"Label_Online"_s);
        if (element == u"online") {
            // Highlighted: yellow letters, as ever, on a ground they show on.
            QCOMPARE(pairs.constLast().first, QColor(255, 255, 0));
        }
    } else if (element == u"speak idle" || element == u"speaking") {
        if (element == u"speaking") {
            w.press(kDown);
            w.engine.startCurrent();
        }
        labelPair(u"Label_Speak"_s);
    } else if (element == u"download idle" || element == u"downloading") {
        if (element == u"downloading") {
            w.form->setProgress(0.5);
        }
        labelPair(u"Label_Load"_s);
    }
    QVERIFY(!pairs.isEmpty());
    for (const auto& [text, back] : std::as_const(pairs)) {
        QVERIFY(text.isValid() && back.isValid());
        QVERIFY2(contrast(text, back) >= ColourContrast::kMinimumTextRatio, qPrintable(describe(text, back)));
    }
    // An indicator that is on looks different from one that is off.
    if (element == u"speaking" || element == u"downloading" || element == u"online") {
        QLabel* l = label(element == u"speaking"      ? u"Label_Speak"_s
                          : element == u"downloading" ? u"Label_Load"_s
                                                      : u"Label_Online"_s);
        QVERIFY(pairs.constLast()
                != qMakePair(label(u"Label_Sel"_s)->palette().color(QPalette::WindowText),
                             backgroundOf(label(u"Label_Sel"_s))));
        QVERIFY(l->isVisible());
    }
}

// Continuous reading goes on from the engine's end event, in the same turn of
// the event loop, with the next unit already waiting behind the one heard;
// while the program waits for the user its tick wakes it once a second.
void TestMainForm::readingPacedByTheEngine()
{
    Window w;
    QVERIFY(w.start());
    w.engine.setQueuing(true);
    w.form->Timer_Read_Tick();
    QCOMPARE(w.form->readTickInterval(), MainForm::kReadTickMs);  // the greeting plays
    w.engine.startCurrent();
    w.engine.finishCurrent();
    w.form->Timer_Read_Tick();
    QCOMPARE(w.form->readTickInterval(), MainForm::kIdleTickMs);
    w.press(kDown);
    QCOMPARE(w.form->readTickInterval(), MainForm::kReadTickMs);

    w.menu().JumpCategory();
    w.menu().Select_(3, true);
    QVERIFY(w.menu().Entry());
    w.menu().Select_(1, true);
    QVERIFY(w.menu().Entry());
    w.menu().Select_(2, true);
    QVERIFY(w.menu().Entry());
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    // The thread's announcement ends; the first header follows at once.
    for (int i = 0; i < 10 && !w.engine.texts().contains(u"1"_s); ++i) {
        w.engine.startCurrent();
        w.engine.finishCurrent();
        QCoreApplication::processEvents();
    }
    QCOMPARE(w.engine.texts().at(w.engine.texts().size() - 2), u"1"_s);
    QCOMPARE(w.engine.pending().size(), 2);
    const qsizetype units = w.engine.texts().size();
    const int resets = w.engine.resetCount();
    // Each start hands over the unit after it; each end moves nothing else.
    for (int i = 0; i < 3; ++i) {
        w.engine.startCurrent();
        QCOMPARE(w.engine.pending().size(), 2);
        w.engine.finishCurrent();
        QCoreApplication::processEvents();
    }
    // The first start was of the header itself, spoken at once; the two after
    // it each handed over one more unit.
    QCOMPARE(w.engine.texts().size(), units + 2);
    QCOMPARE(w.engine.resetCount(), resets);  // nothing was cut short
    QVERIFY(w.menu().IsReading());
}

// N reads the replies to the message being read, M the other messages of its
// ID, E the message its anchor names; X goes back one trip at a time, to the
// unit the reading was at. The thread: 2 answers 1; 3 and 4 answer 2; 4 is
// by the ID of 1, 6 by the ID of 2.
void TestMainForm::tripsToOtherMessages()
{
    Window w;
    QVERIFY(w.start());
    w.openThread();
    QCOMPARE(int(w.menu().Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    auto heard = [&w] { return w.engine.texts().last(); };
    // Up to the second unit of message 1.
    for (int i = 0; i < 10 && !(w.menu().Get_Index() == 1 && w.menu().IsReading()); ++i) {
        w.speakNext();
    }
    w.speakNext();
    QCOMPARE(w.menu().Get_Index(), 1);
    const QString unitOfOne = heard();

    w.press('N');
    QVERIFY2(heard().startsWith(u"返信1件、"_s), qPrintable(heard()));
    QCOMPARE(w.menu().Get_Index(), 2);
    w.press('N');
    QVERIFY2(heard().startsWith(u"返信2件、"_s), qPrintable(heard()));
    QCOMPARE(w.menu().Get_Index(), 3);
    // The trip reads 3, then 4, and ends there.
    for (int i = 0; i < 20 && w.menu().Get_Index() == 3; ++i) {
        w.speakNext();
    }
    QCOMPARE(w.menu().Get_Index(), 4);
    for (int i = 0; i < 20 && heard() != u"以上です"_s; ++i) {
        w.speakNext();
    }
    QCOMPARE(heard(), u"以上です"_s);
    QCOMPARE(w.menu().Get_Index(), 4);

    // From 4: its anchor names 2; its ID wrote 1 as well.
    w.press('E');
    QVERIFY2(heard().startsWith(u"アンカー、深さ3、"_s), qPrintable(heard()));
    QCOMPARE(w.menu().Get_Index(), 2);
    w.press('X');
    QVERIFY2(heard().startsWith(u"戻りました、深さ2、"_s), qPrintable(heard()));
    QCOMPARE(w.menu().Get_Index(), 4);
    w.press('M');
    QVERIFY2(heard().startsWith(u"このIDの書き込み2件、"_s), qPrintable(heard()));
    QCOMPARE(w.menu().Get_Index(), 1);

    // Back through every trip, to the very unit of message 1.
    w.press('X');
    w.press('X');
    QCOMPARE(w.menu().Get_Index(), 2);
    w.press('X');
    QCOMPARE(heard(), u"戻りました、"_s + unitOfOne);
    QCOMPARE(w.menu().Get_Index(), 1);
    w.press('X');
    QCOMPARE(heard(), u"戻る位置はありません"_s);
    // Message 5 answers nothing and is answered by one.
    w.press(kDown);
    w.press(kDown);
    w.press(kDown);
    w.press(kDown);
    QCOMPARE(w.menu().Get_Index(), 5);
    w.press('E');
    QCOMPARE(heard(), u"アンカーはありません"_s);
    w.press('M');
    QCOMPARE(heard(), u"このIDの書き込みは、この1件だけです"_s);
}

void TestMainForm::filtersFromTheOptions_data()
{
    QTest::addColumn<int>("show");  // the item of あぼーん表示設定
    QTest::addColumn<QString>("passed");
    QTest::newRow("counted") << 1 << u"あぼーん1件、"_s;
    QTest::newRow("transparent") << 2 << QString();
}

// A word added through the options hides message 2 of the thread; the
// listener hears the count or nothing where it was, the header of a message
// with replies ends with their count, and the rule can be deleted again.
void TestMainForm::filtersFromTheOptions()
{
    QFETCH(int, show);
    QFETCH(QString, passed);
    Window w;
    QVERIFY(w.start());
    const auto heard = [&w] { return w.engine.texts().last(); };
    // From the options menu to an item of あぼーん設定 and into it.
    const auto ngItem = [&w](int item) {
        w.press('O');
        w.press('1');
        w.press('0');
        w.form->Timer_Number_Tick();
        w.quickly({kEnter});
        for (int i = 0; i < item; ++i) {
            w.press(kDown);
        }
        w.quickly({kEnter});
    };
    const auto choose = [&w](int item) {
        for (int i = 0; i < item; ++i) {
            w.press(kDown);
        }
        w.quickly({kEnter});
    };
    w.dialogAnswer = u"いたずらメール"_s;
    ngItem(2);
    QCOMPARE(heard(), u"語句「いたずらメール」、すべての板のあぼーんを追加しました。"_s);
    // The option menus open on the current choice, the first.
    ngItem(6);
    choose(show - 1);
    ngItem(7);
    choose(1);
    QCOMPARE(heard(), u"返信件数を読み上げるに設定しました。"_s);

    w.openThread();
    w.engine.clear();
    for (int i = 0; i < 60 && w.engine.texts().value(w.engine.texts().size() - 1) != u"読み上げ完了"_s; ++i) {
        w.speakNext();
    }
    QCOMPARE(heard(), u"読み上げ完了"_s);
    const QString all = w.engine.texts().join(u'\n');
    QVERIFY2(!all.contains(u"いたずらメール"_s), qPrintable(all));
    QVERIFY2(all.contains(u"\n"_s + passed + u"3\n"_s), qPrintable(all));
    QCOMPARE(all.count(u"あぼーん"_s), passed.isEmpty() ? 0 : 1);
    // 1 is answered by the hidden 2 alone; 5 by 6.
    QVERIFY2(!all.contains(u"1 返信"_s), qPrintable(all));
    QVERIFY2(all.contains(u"\n5 返信1件\n"_s), qPrintable(all));
    // The arrow onto the hidden message names it without reading it; in
    // continuous reading it goes on to the next shown message.
    w.press(kHome);
    w.press(kDown);
    QCOMPARE(heard(), u"2 あぼーん"_s);
    w.quickly({kEnter});
    w.press(kHome);
    w.press(kDown);
    QCOMPARE(heard(), passed + u"3"_s);
    QCOMPARE(w.menu().Get_Index(), 3);

    ngItem(1);
    choose(1);
    QCOMPARE(heard(), u"語句「いたずらメール」、すべての板のあぼーんを削除しました。"_s);
    NgFilters stored(w.profile.dataRoot() + u"/ngfilters.txt"_s);
    stored.load();
    QVERIFY(stored.rules().isEmpty());
}

QTEST_MAIN(TestMainForm)
#include "TestMainForm.moc"
