#pragma once

// The program's one window: a category and board tree, the numbered item
// list, the line of text being spoken, two counters and the state labels.
// It owns the voice menu, drives it from the keys and the mouse (an
// application-wide event filter while the window is active, handing each key
// to the KeyDispatcher and each button and wheel turn to the MouseDispatcher)
// and from its timers (the read-all run is ReadAllRun's), and draws what the
// voice menu asks for. Its code is split by concern: MainForm.cpp (start,
// end, events, the services of the host), MainFormDisplay.cpp (list, tree,
// counters, colours and type size), MainFormInput.cpp (keys, the mouse and
// the queued actions), MainFormTimers.cpp (the reading tick, foreground
// tracking).

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QPalette>
#include <QTimer>
#include <QWidget>

#include "app/DisplayColours.h"
#include "app/KeyDispatcher.h"
#include "app/MouseDispatcher.h"
#include "app/ReadAllRun.h"
#include "app/Ticker.h"
#include "base/AppPaths.h"
#include "voicemenu/Migemo.h"
#include "voicemenu/VoiceMenuHost.h"

class CFormState;
class CSettings;
class CSrCntl;
class FlowLayout;
class QDialog;
class QGridLayout;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTreeWidget;
class ReadConv;
class SettingsStore;
class SoundPlayer;
class SpeechEngine;
class SpeechOutput;
class VoiceMenu;
class WidgetFormWindow;
class mSpeakTextBox;

class MainForm : public QWidget,
                 public VoiceMenuHost,
                 private KeyDispatcherHost,
                 private MouseDispatcherHost,
                 private ReadAllHost
{
    Q_OBJECT

public:
    struct Services
    {
        SpeechOutput* speech = nullptr;
        SpeechEngine* engine = nullptr;
        ReadConv* readconv = nullptr;
        CSrCntl* screenReaders = nullptr;
        SoundPlayer* sounds = nullptr;
        // Makes the dialogs' text fields speak; none: they stay silent.
        mSpeakTextBox* textBox = nullptr;
        bool offline = false;
        // Called at the end when the user chose to shut the machine down.
        std::function<void()> powerOff;
        // Runs a dialog instead of showing it modally; tests answer it here.
        std::function<void(QDialog&)> dialogRunner;
        // Message boxes; tests replace them so nothing blocks.
        std::function<void(VoiceMenuHost::MessageIcon, const QString&)> messageBox;
        // Whether the desktop has the program in front; by default the
        // application's state. Tests put the program in the background here.
        std::function<bool()> isForeground;
        // Whether the window is the active one, which takes the keys; by
        // default the window system's word. A test's window on a display of
        // its own is never made active: the test says it is.
        std::function<bool()> isWindowActive;
        // Whether the window system lets a program move its window and the
        // pointer (Wayland does not); the window then follows the pointer.
        bool placesWindows = true;
        // Whether the machine is connected, asked once at the start: true,
        // false, or nothing known (which counts as connected, as without one).
        std::function<std::optional<bool>()> connectionProbe;
    };

    MainForm(const AppPaths& paths, SettingsStore& store, CSettings& settings, QWidget* parent = nullptr);
    MainForm(const AppPaths& paths,
             SettingsStore& store,
             CSettings& settings,
             const Services& services,
             QWidget* parent = nullptr);
    ~MainForm() override;

    // Restores the window's place, shows it and, with services, starts the
    // voice menu and the reading tick. False when the program cannot start.
    bool start();

    // Shows whether the program works online or from its logs.
    void setOnline(bool online);

    VoiceMenu* voiceMenu() const { return VMenu.get(); }

    // The tick that keeps screen readers quiet runs only while one was found.
    bool screenReaderTickActive() const { return Timer_SRV_Block.isActive(); }

    // A screen reader was found running at the start.
    bool screenReaderRunning() const;

    // The romaji search dictionary. Its tables take tens of megabytes, so it
    // is opened by the first search that asks for it, not at start-up.
    const Migemo& migemo();

    bool migemoWorks() { return migemo().isWorking(); }

    bool migemoOpened() const { return m_migemoOpened; }

    bool isEnding() const override { return m_end; }

    // The line of the item list for item i of n items.
    static QString listLine(int i, int n, const QString& text);

    // The key handler: one key press or release, with the program's key code.
    void handleKey(quint32 code, bool keyDown, bool ctrl, bool shift, bool alt);

    // Where the mouse pointer rests on the window: just right of the tree,
    // half-way down.
    QPoint anchorPoint() const;

    // The ticks, public so tests can drive them.
    void Timer_Read_Tick();
    // The reading tick's interval while something goes on, and while the
    // program waits for the user.
    static constexpr int kReadTickMs = 100;
    static constexpr int kIdleTickMs = 1000;

    int readTickInterval() const { return Timer_Read.interval(); }

    void Timer_Mouse_Tick();
    void Timer_Number_Tick();
    void Timer_AllRead_Tick();

    void Show_Counter(int index, int total);

    // VoiceMenuHost
    void Update_List() override;
    void Update_Tree() override;
    void selectListRow(int row) override;
    void setProgress(double ratio) override;
    void showMessageText(const QString& text) override;
    void showMessageBox(MessageIcon icon, const QString& text) override;
    QString runLineEditDialog(const QString& caption, const QString& prompt, const QString& text) override;
    QString runFindDialog() override;
    QString migemoQuery(const QString& key) override;
    void runWriteDialog() override;
    void runEditModeViewer(const QString& text, qint32 caretPos) override;
    // Where a post goes, from the voice menu (empty outside the thread
    // selection and the reading menu).
    QString Get_Url(bool& machibbs, bool& suretate) const;
    void Switch_FontSize() override;
    void Switch_Color() override;
    // The height in pixels of one line of Text_Msg in its current font.
    int Get_TextHeight() const;
    void setFormState(int state) override;
    void setClipboardText(const QString& text) override;
    bool openWithDesktop(const QString& target) override;
    bool startCommand(const QString& commandLine) override;

signals:
    // The program has finished its end sequence.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Open_Dlg();
    void Close_Dlg();
    void runModal(QDialog& dialog);
    void buildUi();
    void quitNow();
    void moveBy(int delta);
    bool windowActive() const;

    // KeyDispatcherHost
    bool IsMenuFixed() const override;
    bool IsReverse_LRKey() const override;
    bool IsAllRead() const override;
    qint16 Get_MenuNo() const override;
    int Get_ItemNum() const override;
    void perform(const KeyCommand& command) override;
    void speakDigit(int digit) override;
    void runQueued(QueuedCommand command) override;
    void afterNavigation() override;
    void jumpToNumber(qint32 number) override;
    void showCounter() override;

    // MouseDispatcherHost
    void Stop_HelpRead() override;
    void Select_(int delta) override;
    void showCurrentItem() override;
    // The mouse handler: button and wheel events of the window; true when
    // the event is the program's alone.
    bool handleMouse(QEvent* event);
    // Keeps the window under the pointer, the pointer on the anchor point.
    void followPointer(const QPoint& global);

    // Whether the program may move its window and the pointer.
    bool canPlaceWindows() const { return m_services.placesWindows; }

    // A key press or click reached the window: the program is in front.
    void inputInFront();

    // ReadAllHost
    int Get_Index() const override;
    bool speechDone() const override;
    bool Have_Message() const override;
    bool IsReadable() const override;
    qint32 Run_AllRead(qint32 read_no) override;
    void Stop_AllRead() override;
    void showNextBookmark() override;
    void openBookmark() override;
    void showPlainTitle() override;
    void endProgram();
    // Continuous reading goes on with the next unit when speech has ended
    // and no action runs; true when the program has ended instead.
    bool readOn();
    // The same from the event loop, after the end-of-speech handling is over.
    void readOnSoon();
    // Nothing is spoken, read or downloaded, and no key was just pressed.
    bool idle() const;
    // Back to the short interval after the program was idle.
    void wakeReadTick();
    static constexpr int kSilentUnitsAtOnce = 64;
    void fillTree();
    void followForeground();
    void comeToFront();
    void watchReadConv();
    void checkReadConv();
    void applyReadingLayout(bool reading);
    // Marks the unit being spoken in Text_Msg and scrolls it into view; with
    // force, also when it is the one marked already (after a new layout).
    void followReadingUnit(bool force);
    void showText(const QString& text);
    void applyStatusColours();
    // Large type is shown maximized only.
    bool maximizedOnly() const;
    void keepMaximized();
    void fitTreeWidth();
    QString applicationTitle() const;

    AppPaths m_paths;
    SettingsStore& m_store;
    CSettings& m_settings;
    Services m_services;
    std::unique_ptr<WidgetFormWindow> m_formWindow;
    std::unique_ptr<CFormState> m_formstate;
    std::unique_ptr<VoiceMenu> VMenu;

    QTreeWidget* TreeView_Board = nullptr;
    QListWidget* List_Select = nullptr;
    QPlainTextEdit* Text_Msg = nullptr;
    QLabel* Label_Sel = nullptr;
    QLabel* Label_Total = nullptr;
    // The counters: plain digits in the list's type.
    QLabel* DigitalD_Read = nullptr;
    QLabel* DigitalD_Total = nullptr;
    QLabel* Label_Online = nullptr;
    QLabel* Label_Speak = nullptr;
    QLabel* Label_Load = nullptr;
    QLabel* Label_ProgBar = nullptr;
    QWidget* Picture_Back = nullptr;
    // The status row under the tree and the list: counters and indicators.
    QWidget* Picture_Status = nullptr;
    QGridLayout* m_grid = nullptr;
    FlowLayout* m_statusFlow = nullptr;
    QTimer Timer_Read;
    QTimer Timer_SRV_Block;
    QtTicker Timer_AllRead;
    QtTicker Timer_Number;
    QtTicker Timer_Mouse;
    // An input action is being processed: no other may start meanwhile.
    bool m_busy = false;
    KeyDispatcher m_keys;
    MouseDispatcher m_mouse;
    ReadAllRun m_readAll;

    bool m_end = false;
    bool m_quit_now = false;  // the quit key: end at the next idle tick, speech or not
    bool m_reading_layout = false;
    DisplayColours m_colours = DisplayColours::standard();
    bool m_online = true;
    bool m_speaking = false;
    bool m_downloading = false;
    QString m_shownText;      // Text_Msg's text as it was given, line ends and all
    qint32 m_unitStart = -1;  // the unit marked in Text_Msg; -1 none
    qint32 m_unitLength = 0;
    bool m_maximizePending = false;
    bool m_migemoOpened = false;
    bool m_wasActive = false;
    Migemo m_migemoDictionary;
    QPalette m_savedPalette;  // the application's colours before the scheme changed them
    bool m_dialog_open = false;
    bool m_filterInstalled = false;
    qint16 m_fg_state = 1;
    // Reading ticks for which a key press stands for the foreground: the
    // desktop tells the program that it is in front some time after the
    // first key has arrived.
    int m_keyForegroundTicks = 0;
    int m_tree_category = -1;
    int m_tree_board = -1;
    QFileSystemWatcher m_readconvWatch;
    QDateTime m_readconv_stamp;
    qint64 m_readconv_size = -1;
};
