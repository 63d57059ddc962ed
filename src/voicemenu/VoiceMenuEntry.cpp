// What Enter does in each menu: descending, opening boards, threads and
// bookmarks, storing option choices, the proxy dialog and the ways out.

#include <functional>

#include "VoiceMenu.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/BrailleOutput.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/BusyGuard.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

namespace {

const QString kLoading = u"読み込み中です"_s;

}  // namespace

bool VoiceMenu::Entry()
{
    if (!m_enabled) {
        return true;
    }
    if (m_menu != ReadingMenu && m_item == 0) {
        m_speech.SpeakText(u"メニュー項目を選択してください"_s);
        return true;
    }
    if (m_menu == BookmarkMenu || m_menu == BoardMenu || m_menu == ThreadMenu) {
        m_speech.SpeakText(kLoading);
    }
    bool keepRunning = true;
    if (!entryAction(keepRunning)) {
        return keepRunning;
    }
    m_title += m_suffix;
    m_suffix.clear();
    speakTitle();
    return keepRunning;
}

// Performs the action of the current menu; false when nothing more is to be
// spoken by Entry.
bool VoiceMenu::entryAction(bool& keepRunning)
{
    switch (m_menu) {
    case MainMenu:
        if (m_item >= 1 && m_item <= 5) {
            Set_Menu(qint16(m_item));
        } else if (m_item == 6) {
            keepRunning = exitHandling();
        }
        break;
    case CategoryMenu:
        m_categoryIndex = m_item;
        Set_Menu(BoardMenu);
        break;
    case BookmarkMenu:
        openBookmarkedThread();
        break;
    case ItaBookmarkMenu:
        openBookmarkedBoard();
        break;
    case ConfigMenu:
        if (m_item >= 1 && m_item <= 7) {
            Set_Menu(qint16(m_item + 7));
        } else if (m_item == 8) {
            runProxyDialog();
        } else if (m_item == 10) {
            Set_Menu(NgConfigMenu);
        } else if (m_item == 11) {
            Set_Menu(BrailleMenu);
        } else if (m_item == 9) {
            if (QString::fromUtf16(kHomePageUrl).isEmpty()) {
                m_title = u"作者のホームページはまだありません。"_s;
            } else {
                Open_URL(QString::fromUtf16(kHomePageUrl));
            }
        }
        break;
    case HelpTopMenu:
        m_helpTopic = qint16(m_item);
        Set_Menu(HelpSubMenu);
        break;
    case ExitChoiceMenu:
        if (m_item == 2) {
            m_shutdown = true;
            m_title = u"シャットダウン後に電源オフします、ご利用ありがとうございました。"_s;
        } else {
            m_title = u"終了します、ご利用ありがとうございました。"_s;
        }
        keepRunning = false;
        break;
    case VoiceConfigMenu:
        Set_Menu(qint16(m_item + 18));
        break;
    case ReadItemsMenu:
        Set_Menu(qint16(m_item + 22));
        break;
    case 13:
        Set_Menu(qint16(m_item + 29));
        break;
    case 17:
        if (m_bookmarks->Get_Num() > 0) {
            m_title = m_bookmarks->Remove(m_item) ? u"ブックマークから削除しました。"_s
                                                  : QString::fromUtf16(kBookmarkNotSaved);
            m_items = m_bookmarks->Get_ItemTexts();
            m_item = 0;
        }
        break;
    case 18:
        if (m_itaBookmarks->Get_Num() > 0) {
            m_title = m_itaBookmarks->Remove(m_item) ? u"板ブックマークから削除しました。"_s
                                                     : QString::fromUtf16(kItaBookmarkNotSaved);
            m_items = m_itaBookmarks->Get_ItemTexts();
            m_item = 0;
        }
        break;
    case BoardMenu:
        openBoard();
        break;
    case ThreadMenu:
        openThread();
        break;
    case ReadingMenu:
        if (m_readable) {
            QString link = m_currentUnitText;
            link.remove(u"\r\n"_s);
            Open_Link(link.trimmed(), m_currentUnitKind, false);
            return false;
        }
        m_readable = true;
        m_title = u"読み上げ開始"_s;
        m_thread->Rewind_Index();
        break;
    case NgConfigMenu:
        if (m_item == 1) {
            Set_Menu(NgDeleteMenu);
        } else if (m_item >= 2 && m_item <= 5) {
            addWordFilter(m_item % 2 == 0, m_item >= 4);
        } else if (m_item == 6 || m_item == 7) {
            Set_Menu(m_item == 6 ? NgShowMenu : ReplyCountMenu);
        }
        break;
    case NgDeleteMenu:
        deleteFilter();
        break;
    case BrailleMenu:
        Set_Menu(qint16(BrailleMenu + m_item));
        break;
    case HelpSubMenu:
        m_helpSubtopic = qint16(m_item);
        Set_Menu(HelpReadMenu);
        m_helpReading = true;
        break;
    case HelpReadMenu:
        m_title.clear();
        break;
    case SearchResultMenu:
        openSearchResult(keepRunning);
        break;
    default:
        if (!optionListOf(m_menu).isEmpty() || m_menu == EngineMenu) {
            storeOption();
        }
        break;
    }
    return true;
}

bool VoiceMenu::exitHandling()
{
    const QString method = m_settings.Get_(CSettings::ExitMethod);
    if (method == u"1"_s) {
        m_title = QString::fromUtf16(kFarewell);
        return false;
    }
    if (method == u"2"_s) {
        Set_Menu(ExitChoiceMenu);
        return true;
    }
    if (method == u"3"_s) {
        m_title = QString::fromUtf16(kFarewellShutdown);
        m_shutdown = true;
        return false;
    }
    return true;
}

bool VoiceMenu::JumpExit()
{
    m_readable = false;
    m_reading = false;
    m_helpReading = false;
    restorePreview();
    Set_Menu(MainMenu);
    m_item = 6;
    bool keepRunning = true;
    entryAction(keepRunning);
    m_title += m_suffix;
    m_suffix.clear();
    speakTitle();
    m_host.Update_List();
    m_host.Update_Tree();
    return keepRunning;
}

bool VoiceMenu::loadThreadList()
{
    BusyGuard busy(m_busy);
    m_category = m_boards->Get_Category(m_categoryIndex);
    m_board = m_boards->Get_BoardName(m_categoryIndex, m_boardIndex);
    return m_threads->InitInstance(*m_http, m_boards->Get_BoardUrl(m_categoryIndex, m_boardIndex), m_category,
                                   m_board, m_bookmarks.get(), m_offline);
}

bool VoiceMenu::loadThread()
{
    BusyGuard busy(m_busy);
    clearTrail();
    m_indexedCount = -1;
    m_hiddenCount = -1;
    m_category = m_boards->Get_Category(m_categoryIndex);
    m_board = m_boards->Get_BoardName(m_categoryIndex, m_boardIndex);
    return m_thread->InitInstance(m_boards.get(), m_http.get(), m_threads->Get_ThreadName(m_threadIndex),
                                  m_threads->Get_ThreadURL(m_threadIndex), m_category, m_board,
                                  m_threads->Get_MessageNum(m_threadIndex), m_offline);
}

void VoiceMenu::openBoard()
{
    m_boardIndex = m_item;
    const bool loaded = loadThreadList();
    if (loaded && m_threads->Get_ThreadNum() > 0) {
        Set_Menu(ThreadMenu);
        return;
    }
    m_title = m_offline ? u"この板にはダウンロード済のスレッドはありません。"_s
              : loaded  ? QString::fromUtf16(kBoardEmpty)
                        : u"スレッドリストのダウンロードに失敗しました。"_s;
}

QString VoiceMenu::threadDownloadFailure() const
{
    if (m_offline) {
        return {};
    }
    switch (m_thread->lastDownload()) {
    case ThreadData::DownloadResult::Gone:
        return QString::fromUtf16(kThreadGone);
    case ThreadData::DownloadResult::Failed:
        return QString::fromUtf16(kThreadDownloadFailed);
    default:
        return {};
    }
}

bool VoiceMenu::enterLoadedThread(bool loaded)
{
    if (!loaded) {
        return false;
    }
    const QString failure = threadDownloadFailure();
    Set_Menu(ReadingMenu);
    if (failure.isEmpty()) {
        if (!m_offline && m_thread->fromArchive()) {
            m_title = QString::fromUtf16(kThreadFromArchive) + m_title;
        }
        m_readable = true;
    } else {
        // Never "no new messages" after a failure: nothing new is known.
        m_title = failure + m_title;
        m_readable = m_thread->Have_Message();
    }
    return true;
}

void VoiceMenu::openThread()
{
    m_threadIndex = m_item;
    if (enterLoadedThread(loadThread())) {
        return;
    }
    const QString failure = threadDownloadFailure();
    m_title = m_offline ? u"このスレッドにはダウンロード済のデータはありません。"_s
              : failure.isEmpty() ? QString::fromUtf16(kThreadDownloadFailed)
                                  : failure;
}

namespace {

// The first position (from 1) whose text equals the name, ignoring case; 0 when none.
int findByName(int count, const std::function<QString(int)>& nameAt, const QString& name)
{
    for (int i = 1; i <= count; ++i) {
        if (nameAt(i).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return 0;
}

}  // namespace

void VoiceMenu::openBookmarkedThread()
{
    const int k = m_item;
    const int category = findByName(
        m_boards->Get_CategoryNum(), [this](int i) { return m_boards->Get_Category(i); },
        m_bookmarks->Get_Category(k));
    const int board = category == 0 ? 0
                                    : findByName(
                                        m_boards->Get_BoardNum(category),
                                        [&](int i) { return m_boards->Get_BoardName(category, i); },
                                        m_bookmarks->Get_Board(k));
    if (board > 0) {
        m_categoryIndex = category;
        m_boardIndex = board;
        if (loadThreadList()) {
            const int thread = findByName(
                m_threads->Get_ThreadNum(), [this](int i) { return m_threads->Get_ThreadName(i); },
                m_bookmarks->Get_ThreadName(k));
            if (thread > 0) {
                m_threadIndex = thread;
                if (!enterLoadedThread(loadThread()) && !m_offline
                    && m_thread->lastDownload() == ThreadData::DownloadResult::Gone) {
                    m_title = QString::fromUtf16(kThreadGone);
                    return;
                }
            }
        }
    }
    if (m_menu != ReadingMenu) {
        m_title = m_offline ? u"指定のスレッドにダウンロード済のデータはありません。"_s
                            : u"指定のスレッドのダウンロードに失敗しました。"_s;
    }
}

void VoiceMenu::openBookmarkedBoard()
{
    const int k = m_item;
    const int category = findByName(
        m_boards->Get_CategoryNum(), [this](int i) { return m_boards->Get_Category(i); },
        m_itaBookmarks->Get_Category(k));
    const int board = category == 0 ? 0
                                    : findByName(
                                        m_boards->Get_BoardNum(category),
                                        [&](int i) { return m_boards->Get_BoardName(category, i); },
                                        m_itaBookmarks->Get_Board(k));
    if (board > 0) {
        m_categoryIndex = category;
        m_boardIndex = board;
        if (loadThreadList()) {
            if (m_threads->Get_ThreadNum() > 0) {
                Set_Menu(ThreadMenu);
            } else if (!m_offline) {
                m_title = QString::fromUtf16(kBoardEmpty);
                return;
            }
        }
    }
    if (m_menu != ThreadMenu) {
        m_title = m_offline ? u"指定の板にダウンロード済のスレッドはありません。"_s
                            : u"指定の板のスレッドリストのダウンロードに失敗しました。"_s;
    }
}

void VoiceMenu::reinitHttp(bool useProxy)
{
    m_http->InitInstance(QString::fromUtf16(kUserAgent),
                         useProxy ? m_settings.Get_(CSettings::ProxyServer) : QString(), kTimeoutMs,
                         kTimeoutMs, kTimeoutMs);
}

void VoiceMenu::runProxyDialog()
{
    const QString answer = m_host.runLineEditDialog(
        u"プロキシ設定ダイアログ"_s, u"プロキシアドレスとポートを半角コロンで区切って記入してください"_s,
        m_settings.Get_(CSettings::ProxyServer));
    if (answer.isEmpty()) {
        m_title = u"キャンセルしました"_s;
        return;
    }
    const qsizetype colon = answer.indexOf(u':');
    bool numeric = false;
    if (colon >= 0) {
        const QString port = answer.mid(colon + 1);
        numeric = !port.isEmpty();
        for (const QChar c : port) {
            numeric = numeric && c.unicode() >= u'0' && c.unicode() <= u'9';
        }
    }
    if (!numeric) {
        m_title = u"アドレスとポートの記述が不正なので登録に失敗しました"_s;
        return;
    }
    m_title = m_settings.Set_(CSettings::ProxyServer, answer) ? u"プロキシを登録しました"_s
                                                              : QString::fromUtf16(kSettingNotSaved);
    if (m_settings.Get_(CSettings::ProxyUse) == u"1"_s) {
        reinitHttp(true);
    }
}

void VoiceMenu::storeOption()
{
    const QString item = m_items.value(m_item);
    m_title = item + u"に設定しました。"_s;
    const auto [setting, offset] = optionSettingOf(m_menu);
    switch (m_menu) {
    case EngineMenu:
        if (!m_settings.Set_(CSettings::VoiceEngine, QString::number(m_item))) {
            m_title = QString::fromUtf16(kSettingNotSaved);
        }
        return;
    case FontSizeMenu:
        if (!m_settings.Set_(CSettings::FontSize, item)) {
            m_title = QString::fromUtf16(kSettingNotSaved);
        }
        if (item.toInt() > 27) {
            if (!m_settings.Set_(CSettings::WindowMaximized, u"1"_s)) {
                m_title = QString::fromUtf16(kSettingNotSaved);
            }
            m_host.setFormState(2);
        }
        m_host.Switch_FontSize();
        return;
    case 32:
        if (m_settings.getInt(CSettings::FontSize, 11) > 27 && m_item == 1) {
            m_title = u"フォント28以上では最大化のみとなります"_s;
            return;
        }
        break;
    default:
        break;
    }
    if (!storeOptionValue(m_menu, m_item - offset)) {
        m_title = QString::fromUtf16(kSettingNotSaved);
    }
    switch (m_menu) {
    case 14:
        reinitHttp(m_settings.Get_(CSettings::ProxyUse) == u"1"_s);
        break;
    case 31:
        m_host.Switch_Color();
        break;
    case BrailleShowMenu:
    case BrailleModeMenu:
        if (BrailleOutput* braille = m_speech.braille()) {
            braille->applySettings(m_settings);
        }
        break;
    case 32:
        m_host.setFormState(m_settings.Get_(CSettings::WindowMaximized) == u"1"_s ? 2 : 0);
        m_host.Switch_FontSize();
        break;
    default:
        break;
    }
}
