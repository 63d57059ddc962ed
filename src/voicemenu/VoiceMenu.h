#pragma once

// The spoken menu tree and the cursor in it: the heart of the program. Every
// command the keys or the mouse produce ends in one operation here; the
// operation moves the cursor or acts, leaves the text to speak in the title
// (Get_Text) and speaks it. The main window owns the one instance and redraws
// its list and tree from the accessors when asked through VoiceMenuHost.
//
// The operations are spread over files by concern: VoiceMenu.cpp (start-up,
// shut-down, accessors), VoiceMenuNavigation.cpp (menus, moves, jumps) and
// VoiceMenuOptions.cpp (the option menus' lists, cursor and current setting),
// VoiceMenuEntry.cpp (what Enter does) and VoiceMenuReading.cpp (reading
// messages unit by unit, reloads and the all-bookmarks run).
//
// Menus are numbered 0..45 (MenuNames). Item lists count from 1; element 0 is
// an empty sentinel and item 0 means nothing is selected yet.

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>

#include "base/AppPaths.h"
#include "base/VbRegExp.h"
#include "bbs/ThreadIndex.h"

class BoardList;
class BookmarkItaList;
class BookmarkList;
class CHttp;
class CMessageData;
class CSettings;
class CSrCntl;
class ConnectionState;
class HelpMenu;
class LogManager;
class NgFilters;
class SoundPlayer;
class SpeechEngine;
class SpeechOutput;
class ThreadData;
class ThreadList;
class VoiceMenuHost;

class VoiceMenu
{
public:
    // Menu numbers the code names.
    enum Menu : qint16
    {
        MainMenu = 0,
        CategoryMenu = 1,
        BookmarkMenu = 2,
        ItaBookmarkMenu = 3,
        ConfigMenu = 4,
        HelpTopMenu = 5,
        ExitChoiceMenu = 7,
        VoiceConfigMenu = 8,
        ReadItemsMenu = 9,
        VolumeMenu = 19,
        SpeedMenu = 20,
        PitchMenu = 21,
        EngineMenu = 22,
        FontSizeMenu = 30,
        BoardMenu = 33,
        ThreadMenu = 34,
        ReadingMenu = 35,
        SearchResultMenu = 36,
        HelpSubMenu = 37,
        HelpReadMenu = 38,
        NgConfigMenu = 39,
        NgDeleteMenu = 40,
        NgShowMenu = 41,
        ReplyCountMenu = 42,
        BrailleMenu = 43,
        BrailleShowMenu = 44,
        BrailleModeMenu = 45,
    };

    static constexpr const char16_t* kUserAgent = u"Monazilla/1.00 (Yomimaru/1.11) ";
    static constexpr int kTimeoutMs = 30000;
    // The named setting that bounds one download as a whole, in seconds
    // (default 60), besides the idle time-out above.
    static constexpr const char16_t* kDownloadDeadlineKey = u"DownloadDeadline";
    // Said when a thread's download failed, and when the server no longer has it.
    static constexpr const char16_t* kThreadDownloadFailed = u"スレッドデータのダウンロードに失敗しました。";
    static constexpr const char16_t* kThreadGone = u"このスレッドはサーバーにありません。";
    // Said before a thread that came from the board's archive of past threads.
    static constexpr const char16_t* kThreadFromArchive = u"過去ログを読み込みました。";
    // Said when a board's thread list holds no thread.
    static constexpr const char16_t* kBoardEmpty = u"この板にはスレッドがありません。";
    // The program's home page; empty while there is none, and the options
    // item then says so.
    static constexpr const char16_t* kHomePageUrl = u"";
    // The spoken farewells of the two direct ways out.
    static constexpr const char16_t* kFarewell = u"読み丸を終了します。ご利用ありがとうございました。";
    static constexpr const char16_t* kFarewellShutdown =
        u"読み丸を終了して、コンピューターの電源を切ります。ご利用ありがとうございました。";

    // What the user hears when a change could not be written: nothing is
    // ever said to be saved when it was not.
    static constexpr const char16_t* kBookmarkNotSaved = u"ブックマークを保存できませんでした。";
    static constexpr const char16_t* kItaBookmarkNotSaved = u"板ブックマークを保存できませんでした。";
    static constexpr const char16_t* kSettingNotSaved = u"設定を保存できませんでした。";
    static constexpr const char16_t* kNgNotSaved = u"あぼーんを保存できませんでした。";

    // Named settings: "1" hides filtered messages without a word (透明あぼーん),
    // and "1" ends the header of a message that has replies with their count.
    static constexpr const char16_t* kNgTransparentKey = u"NgTransparent";
    static constexpr const char16_t* kReplyCountKey = u"ReadReplyCount";

    VoiceMenu(const AppPaths& paths,
              CSettings& settings,
              SpeechOutput& speech,
              SpeechEngine& engine,
              CSrCntl* screenReaders,
              VoiceMenuHost& host,
              bool offlineRequested = false);
    ~VoiceMenu();
    VoiceMenu(const VoiceMenu&) = delete;
    VoiceMenu& operator=(const VoiceMenu&) = delete;

    // Start-up: creates the owned objects, chooses the voice, decides online or
    // offline, loads bookmarks and the board list and speaks the opening.
    // False when the program cannot start (the user has been told).
    bool Initialize();
    void ExitInstance();

    // Enter on the current item. False when the program is to end (and shut
    // the machine down when IsShutdown).
    bool Entry();
    // Goes to the main menu's exit item and does what Enter does there.
    bool JumpExit();

    // Moves the cursor by menu_delta items, or to item menu_delta when absolute.
    void Select_(qint32 menu_delta, bool absolute);
    void GoBack();
    // The periodic tick: writes a read position changed more than a second ago.
    void Save_IndexIfDue();
    void GoMain();
    void Go_First();
    void Go_Bottom();
    void JumpCategory();
    void JumpBookmark();
    void JumpItaBookmark();
    void JumpConfig();
    void JumpAudioConfig(qint16 menu);

    // Reading (see VoiceMenuReading.cpp): the main window calls
    // Read_Message whenever the previous utterance has ended. Where the engine
    // queues, the unit after the one heard is handed over while it plays, so
    // no gap falls between them; the reading position moves on to it only
    // when the engine reports its start.
    bool Read_Message(bool force_read);
    void Stop_Read();
    QString Get_Message() const;
    void Jump_NextParagraph(bool back);
    void Jump_NextLink(bool back);
    void Jump_NextLine(bool backword);
    // While a message is read: read the message the current unit's anchor
    // names (else the message's first), the later messages that answer this
    // one, or the other messages of its ID, one after the other; and go back
    // to the very unit the reading was at. The trips nest; each return goes
    // back one.
    void Follow_Anchor();
    void Read_Replies();
    void Read_SameId();
    void Return_Trail();
    // While a message is read: hide the messages of its ID (or its name) on
    // this board from now on, or, pressed again on such a message, no longer.
    void Toggle_NgId();
    void Toggle_NgName();
    // In the thread-selection menu: the next order of the threads (the
    // board's, the busiest first, those with new messages first), kept for
    // the board.
    void Switch_ThreadOrder();
    void Read_AllInfo();
    qint32 Run_AllRead(qint32 read_no);
    void Stop_AllRead();
    void Reload(bool Silent);
    void Reloaded();
    void Update_Progress();

    // The find command: asks for a key and searches the current menu's
    // domain; the hits become the search results menu.
    void find();

    // Speaks the help of the current menu; the help reading lasts until
    // Stop_HelpRead.
    void Help();
    void Stop_HelpRead();

    // Commands on the current item (see VoiceMenuCommands.cpp).
    void Special();
    void Delete();
    bool Move_BM(qint32 move);
    void Clip();
    void Clip_TitleURL();
    void Open_URL(const QString& url);
    QString Get_ThreadURL(bool& machibbs) const;
    QString Get_BoardUrl(bool& machibbs) const;
    // Where a post goes: the board in the thread-selection menu (a new
    // thread, suretate), the thread in the reading menu; empty elsewhere.
    QString Get_Url(bool& machibbs, bool& suretate) const;
    // Open the posting dialog for a reply (reading menu) or a new thread
    // (thread-selection menu); nothing elsewhere or offline.
    void Write_Message();
    void Create_Thread();
    // Opens the message being read in the edit-mode viewer; nothing outside
    // the reading menu or before a message has been read.
    void Open_EditModeViewer();

    // The cues played before a browser or mailer takes over; none in tests.
    void setSoundPlayer(SoundPlayer* player) { m_sounds = player; }

    // The registered open commands are looked up in these XDG folders
    // (the system's when not set).
    void setShellSearchDirs(const QStringList& configDirs, const QStringList& dataDirs);

    // Volume, speed and pitch levels from the settings.
    void Get_Setting(qint16& vol, qint16& spd, qint16& pitch) const;

    QString Get_Text() const { return m_title; }

    qint16 Get_MenuNo() const { return m_menu; }

    qint32 Get_Index() const { return m_item; }

    qint32 Get_ItemNum() const;
    QString Get_Item(qint32 index) const;

    qint16 Get_CategoryIdx() const { return qint16(m_categoryIndex); }

    qint16 Get_BoardIdx() const { return qint16(m_boardIndex); }

    QString Get_ThreadName() const;

    bool Get_Online() const { return !m_offline; }

    bool IsShutdown() const { return m_shutdown; }

    bool IsReverse_LRKey() const;
    bool IsMenuFixed() const;

    bool IsReading() const { return m_reading; }

    bool IsReadable() const { return m_readable; }

    bool IsHelpReading() const { return m_helpReading; }

    bool IsAllRead() const { return m_allRead; }

    // The owned objects, for the main window's displays and for tests.
    const BoardList& boardList() const { return *m_boards; }

    BookmarkList& bookmarks() { return *m_bookmarks; }

    BookmarkItaList& itaBookmarks() { return *m_itaBookmarks; }

    ThreadList& threadList() { return *m_threads; }

    ThreadData& threadData() { return *m_thread; }

    CHttp& http() { return *m_http; }

    HelpMenu& helpMenu() { return *m_help; }

    CMessageData& messageData() { return *m_message; }

    NgFilters& ngFilters() { return *m_filters; }

    // The unit last spoken and its kind, shared with the speech output.
    QString currentUnitText() const { return m_currentUnitText; }

    qint16 currentUnitKind() const { return m_currentUnitKind; }

    // Where the board menu is published when the configured page is no menu;
    // tests and builds without one leave it empty.
    void setBoardListFallbackUrl(const QString& url) { m_boardListFallback = url; }

    // How the start decides whether the machine is connected (set before
    // Initialize); without one it counts as connected.
    void setConnectionProbe(std::function<std::optional<bool>()> probe)
    {
        m_connectionProbe = std::move(probe);
    }

private:
    friend class VoiceMenuTestAccess;

    // Navigation.
    void Set_Menu(qint16 menu);
    void buildMenu();
    void restorePreview();
    void speakTitle();
    void jumpTo(qint16 menu);
    bool moveInReadingMenu(qint32 delta);
    void leaveThread();
    void loadCurrentMessage();

    // Search (see VoiceMenuSearch.cpp).
    QString searchPatternFor(const QString& key, bool& expanded) const;
    void buildSearchResults();
    void openSearchResult(bool& keepRunning);

    // Entry.
    bool entryAction(bool& keepRunning);
    bool exitHandling();
    void openBoard();
    void openThread();
    void openBookmarkedThread();
    void openBookmarkedBoard();
    bool loadThreadList();
    bool loadThread();
    // After loadThread: the reading menu, opened with what was loaded; a
    // failed download is said first, and reading then goes on only through
    // what the log holds unread. False when nothing could be opened.
    bool enterLoadedThread(bool loaded);
    // What the last thread download's failure is to be called; empty after
    // a good one (and offline, where nothing is downloaded).
    QString threadDownloadFailure() const;
    void runProxyDialog();
    void reinitHttp(bool useProxy);
    void storeOption();

    // Commands.
    void Open_Link(const QString& text, qint16 kind, bool suppress);
    void Shell_Open(const QString& target, bool web);
    void bookmarkBoard(int category, int position);
    void bookmarkThread(int thread);
    void deleteBoardData(int category, int position);
    void deleteThreadLog(int thread);
    void deleteBookmark(bool boards);
    std::pair<int, int> boardOfOverallIndex(int overall) const;

    // Options.
    void Set_OptionList(const QString& items, qint16 settingIndex, int offset);
    QString optionItem(qint16 menu, qint16 settingIndex, int offset) const;
    void buildEngineMenu();
    void buildFontSizeMenu();
    void applyPreview(qint32 item);
    void applyStoredLevels();
    bool selectStoredEngine();
    // The voice the settings ask for: the saved one when it is a Japanese
    // voice, the default one when none was saved, else 0.
    int storedEngine() const;
    // The best Japanese voice there is (Open JTalk, then other voices, espeak
    // last), or 0 when none is Japanese.
    int defaultEngine() const;

    static QStringList literalItems(const QString& list);
    // The literal item list of an option menu, and the setting (with its
    // offset) that places the cursor; empty and 0 for other menus.
    static QString optionListOf(qint16 menu);
    static std::pair<qint16, int> optionSettingOf(qint16 menu);
    // The named setting an option menu stores its choice in, else empty.
    static QString optionNamedOf(qint16 menu);
    int optionValue(qint16 menu) const;
    bool storeOptionValue(qint16 menu, int value);

    // あぼーん (see VoiceMenuFilters.cpp).
    void loadFilters();
    void addWordFilter(bool everywhere, bool regex);
    void deleteFilter();
    void toggleFilter(int kind);
    void filtersChanged();
    // Whether message n of the open thread is hidden, and the first message
    // after n that is not (0 when none is), with how many were passed.
    bool isHidden(int n);
    int nextShown(int n, int* passed);
    QList<int> shownOnly(const QList<int>& messages);
    // What is said where hidden messages were passed: their count, or
    // nothing for 透明あぼーん.
    QString hiddenSentence(int count) const;
    // Continuous reading that lands on a hidden message by the arrows goes
    // on from the next shown one.
    void readOnFromHidden();
    // The spoken header of message n, with its reply count when asked for.
    QString readHeaderOf(int n);

    AppPaths m_paths;
    CSettings& m_settings;
    SpeechOutput& m_speech;
    SpeechEngine& m_engine;
    CSrCntl* m_screenReaders;
    VoiceMenuHost& m_host;
    bool m_offlineRequested;
    QString m_boardListFallback;
    std::function<std::optional<bool>()> m_connectionProbe;
    SoundPlayer* m_sounds = nullptr;
    QStringList m_shellConfigDirs;
    QStringList m_shellDataDirs;
    bool m_customShellDirs = false;

    std::unique_ptr<CHttp> m_http;
    std::unique_ptr<BoardList> m_boards;
    std::unique_ptr<ThreadList> m_threads;
    std::unique_ptr<ThreadData> m_thread;
    std::unique_ptr<CMessageData> m_message;
    std::unique_ptr<BookmarkList> m_bookmarks;
    std::unique_ptr<BookmarkItaList> m_itaBookmarks;
    std::unique_ptr<LogManager> m_logs;
    std::unique_ptr<ConnectionState> m_connection;
    std::unique_ptr<HelpMenu> m_help;
    std::unique_ptr<NgFilters> m_filters;
    QList<bool> m_hidden;    // [message - 1] of the open thread
    int m_hiddenCount = -1;  // messages m_hidden was worked out over; -1: anew
    VbRegExp m_searchPattern;

    qint16 m_menu = -1;
    qint32 m_item = 0;
    QStringList m_items{QString()};  // element 0 is an empty sentinel
    QString m_title;
    QString m_suffix;
    qint32 m_categoryIndex = 0;
    qint32 m_boardIndex = 0;
    qint32 m_threadIndex = 0;
    qint32 m_messageIndex = 0;
    bool m_offline = true;
    QString m_category;  // the open board's category and name (its log folder)
    QString m_board;
    bool m_readable = false;
    bool m_reading = false;
    bool m_helpReading = false;
    bool m_allRead = false;
    qint32 m_allReadPosition = 0;
    qint16 m_searchOrigin = 0;
    QString m_searchKey;
    bool m_searchSpoken = false;
    QList<qint16> m_menuStack{0};
    QList<qint32> m_itemStack{0};
    qint16 m_depth = 0;
    bool m_shutdown = false;
    qint16 m_helpTopic = 0;
    qint16 m_helpSubtopic = 0;
    bool m_enabled = false;
    bool m_busy = false;
    QString m_currentUnitText;
    qint16 m_currentUnitKind = 0;
    QString m_pendingPrefix;
    QList<qint32> m_searchHits{0};  // element 0 is an empty sentinel

    // The unit handed over behind the one being heard: the position it
    // follows, where it lies and what it says.
    struct QueuedUnit
    {
        quint64 id = 0;  // the utterance; 0 when nothing waits
        int fromMessage = 0;
        qint32 fromUnit = 0;
        bool newMessage = false;  // the first unit of the next message
        int toMessage = 0;        // that message
        qint32 unit = 0;
        QString text;
        qint16 kind = 0;
    };

    void Queue_NextUnit();
    void queuedUnitStarted(quint64 id);
    QueuedUnit m_queued;

    // Where a trip to other messages (an anchor, the replies, an ID) left the
    // reading, and the list of messages that trip reads instead of going on
    // to the next message.
    struct TrailStop
    {
        int message = 0;
        qint32 unit = 0;
        QList<int> side;
        qsizetype sideNext = 0;
    };

    // A message is being read (or stands chosen) in the reading menu.
    bool canTrip() const;
    void readSide(const QList<int>& messages, const QString& prefix);
    void clearTrail();

    bool inSide() const { return !m_trail.isEmpty(); }

    bool sideHasMore() const { return m_sideNext < m_side.size(); }

    const ThreadIndex& threadIndex();
    QList<TrailStop> m_trail;
    QList<int> m_side;
    qsizetype m_sideNext = 0;
    ThreadIndex m_index;
    int m_indexedCount = -1;  // messages the index was built over; -1: build it anew
    // The next message cut into units while the last unit of the current one
    // plays.
    std::unique_ptr<CMessageData> m_nextMessage;
    QMetaObject::Connection m_queuedStart;
};
