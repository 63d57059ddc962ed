// Commands on the current item: bookmarks, deleting, moving bookmarks, the
// clipboard, and opening links and pages in the desktop's programs.

#include <QFile>

#include "VoiceMenu.h"
#include "base/SafeName.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"
#include "speech/SoundPlayer.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/DefaultApps.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

void VoiceMenu::setShellSearchDirs(const QStringList& configDirs, const QStringList& dataDirs)
{
    m_shellConfigDirs = configDirs;
    m_shellDataDirs = dataDirs;
    m_customShellDirs = true;
}

std::pair<int, int> VoiceMenu::boardOfOverallIndex(int overall) const
{
    const int category = m_boards->Get_CategoryIdx(overall);
    return {category, category == 0 ? 0 : m_boards->Get_BoardIdx(overall)};
}

void VoiceMenu::bookmarkBoard(int category, int position)
{
    const QString categoryName = m_boards->Get_Category(category);
    const QString boardName = m_boards->Get_BoardName(category, position);
    if (m_itaBookmarks->Exist(categoryName, boardName)) {
        m_title = u"その板は既に板ブックマークに登録しています。"_s;
        return;
    }
    m_title = m_itaBookmarks->Add(categoryName, boardName) ? u"板ブックマークに登録しました。"_s
                                                           : QString::fromUtf16(kItaBookmarkNotSaved);
}

void VoiceMenu::bookmarkThread(int thread)
{
    const QString categoryName = m_boards->Get_Category(m_categoryIndex);
    const QString boardName = m_boards->Get_BoardName(m_categoryIndex, m_boardIndex);
    const QString key = m_threads->Get_ThreadNo(thread);
    if (m_bookmarks->Exist(categoryName, boardName, key)) {
        m_title = u"そのスレッドは既にブックマーク登録しています。"_s;
        return;
    }
    m_title = m_bookmarks->Add(categoryName, boardName, m_threads->Get_ThreadName(thread), key)
                  ? u"ブックマークに登録しました。"_s
                  : QString::fromUtf16(kBookmarkNotSaved);
}

void VoiceMenu::Special()
{
    if (!m_enabled) {
        return;
    }
    switch (m_menu) {
    case BoardMenu:
        bookmarkBoard(m_categoryIndex, m_item);
        break;
    case ThreadMenu:
        bookmarkThread(m_threadIndex);
        break;
    case SearchResultMenu: {
        const qint32 hit = m_searchHits.value(m_item);
        if (m_searchOrigin == CategoryMenu) {
            const auto [category, position] = boardOfOverallIndex(hit);
            bookmarkBoard(category, position);
        } else if (m_searchOrigin == BoardMenu) {
            bookmarkBoard(m_categoryIndex, hit);
        } else if (m_searchOrigin == ThreadMenu) {
            bookmarkThread(hit);
        }
        break;
    }
    default:
        m_title.clear();
        break;
    }
    speakTitle();
}

void VoiceMenu::deleteBoardData(int category, int position)
{
    m_title = m_boards->Delete_BoardData(category, position) ? u"指定の板の全スレッドデータを削除しました。"_s
                                                             : QString();
}

void VoiceMenu::deleteThreadLog(int thread)
{
    m_title.clear();
    const QString key = m_threads->Get_ThreadNo(thread);
    if (!SafeName::isSafeKey(key)) {
        return;
    }
    const QString log = SafeName::boardFolder(m_paths.dataRoot(), m_boards->Get_Category(m_categoryIndex),
                                              m_boards->Get_BoardName(m_categoryIndex, m_boardIndex))
                        + u'/' + key + u".log"_s;
    if (QFile::exists(log) && QFile::remove(log)) {
        m_title = u"スレッドデータを削除しました。"_s;
    }
}

void VoiceMenu::deleteBookmark(bool boards)
{
    const qint32 k = m_item;
    Set_Menu(boards ? 18 : 17);
    m_item = k;
    const int before = boards ? m_itaBookmarks->Get_Num() : m_bookmarks->Get_Num();
    bool keepRunning = true;
    entryAction(keepRunning);
    // What the delete menu said ("…から削除しました。", or that the list could
    // not be saved) comes first; the title follows in the same utterance, so
    // neither cuts the other short.
    const QString removed = m_title;
    Set_Menu(-1);
    const int after = boards ? m_itaBookmarks->Get_Num() : m_bookmarks->Get_Num();
    if (after < before) {
        m_title =
            removed
            + (boards ? u"指定の板ブックマークを削除しました。"_s : u"指定のブックマークを削除しました。"_s);
    } else {
        m_title = removed;
    }
    m_item = k > Get_ItemNum() ? k - 1 : k;
    m_host.Update_List();
}

void VoiceMenu::Delete()
{
    if (!m_enabled || m_item < 1) {
        return;
    }
    qint16 menu = m_menu;
    qint32 item = m_item;
    if (menu == SearchResultMenu) {
        const qint32 hit = m_searchHits.value(m_item);
        if (m_searchOrigin == CategoryMenu) {
            const auto [category, position] = boardOfOverallIndex(hit);
            deleteBoardData(category, position);
            speakTitle();
            return;
        }
        if (m_searchOrigin != BoardMenu && m_searchOrigin != ThreadMenu && m_searchOrigin != BookmarkMenu
            && m_searchOrigin != ItaBookmarkMenu) {
            return;
        }
        // The user lands in the menu the result came from, without a push.
        m_menu = m_searchOrigin;
        m_item = hit;
        buildMenu();
        menu = m_menu;
        item = hit;
    }
    switch (menu) {
    case BoardMenu:
        deleteBoardData(m_categoryIndex, item);
        break;
    case ThreadMenu:
        deleteThreadLog(item);
        break;
    case BookmarkMenu:
        deleteBookmark(false);
        break;
    case ItaBookmarkMenu:
        deleteBookmark(true);
        break;
    default:
        return;
    }
    speakTitle();
}

bool VoiceMenu::Move_BM(qint32 move)
{
    if (!m_enabled || (m_menu != BookmarkMenu && m_menu != ItaBookmarkMenu) || m_item < 1) {
        return false;
    }
    const qint32 from = m_item;
    qint32 target = from + move;
    const qint32 count = Get_ItemNum();
    if (target > count) {
        target = count;
        m_title = u"一番下に移動"_s;
    } else if (target > 0) {
        m_title = QString::number(target) + u"番目に移動"_s;
    } else {
        target = 1;
        m_title = u"一番上に移動"_s;
    }
    bool moved = false;
    if (m_menu == BookmarkMenu) {
        moved = m_bookmarks->move(from, target);
        m_items = m_bookmarks->Get_ItemTexts();
        if (!moved) {
            m_title = QString::fromUtf16(kBookmarkNotSaved);
        }
    } else {
        moved = m_itaBookmarks->move(from, target);
        m_items = m_itaBookmarks->Get_ItemTexts();
        if (!moved) {
            m_title = QString::fromUtf16(kItaBookmarkNotSaved);
        }
    }
    speakTitle();
    m_item = moved ? target : from;
    return true;
}

void VoiceMenu::Clip()
{
    if (m_menu == ReadingMenu) {
        m_host.setClipboardText(m_thread->Get_OrgMessage(-1));
    } else if (m_item >= 1) {
        m_host.setClipboardText(Get_Item(m_item));
    }
}

void VoiceMenu::Clip_TitleURL()
{
    if (!(m_menu == ReadingMenu || (m_menu == ThreadMenu && m_item >= 1))) {
        return;
    }
    m_host.setClipboardText(m_threads->Get_ThreadName(m_threadIndex) + u"\r\n"_s
                            + m_threads->Get_ThreadURL(m_threadIndex));
    m_title = u"スレッド名とURLをクリップボードにコピーしました"_s;
    speakTitle();
}

void VoiceMenu::Open_Link(const QString& text, qint16 kind, bool suppress)
{
    if (suppress) {
        return;
    }
    if (kind == 2) {
        m_readable = false;
        m_reading = false;
        m_title = u"メールオープン"_s;
        m_speech.StopSpeech();
        if (m_sounds) {
            m_sounds->play(u"ir_begin.wav"_s, true);
        }
        Shell_Open(u"mailto:"_s + text, false);
    } else if (kind == 1) {
        VbRegExp scheme(u"^h?t?tp://"_s, false, false);
        Open_URL(scheme.Replace(text, u"http://"_s));
    }
}

void VoiceMenu::Open_URL(const QString& url)
{
    m_readable = false;
    m_reading = false;
    m_title = u"URLオープン"_s;
    m_speech.StopSpeech();
    if (m_sounds) {
        m_sounds->play(u"ir_begin.wav"_s, true);
    }
    Shell_Open(url, true);
}

void VoiceMenu::Shell_Open(const QString& target, bool web)
{
    if (m_host.openWithDesktop(target)) {
        return;
    }
    DefaultApps apps;
    if (m_customShellDirs) {
        apps.setSearchDirs(m_shellConfigDirs, m_shellDataDirs);
    }
    const QString command = web ? apps.browserCommand() : apps.mailerCommand();
    if (command.isEmpty()) {
        return;
    }
    m_host.startCommand(DefaultApps::commandFor(command, target));
}

QString VoiceMenu::Get_ThreadURL(bool& machibbs) const
{
    const QString url = m_thread ? m_thread->Get_ThreadURL() : QString();
    machibbs = url.contains(u".machi."_s);
    return url;
}

QString VoiceMenu::Get_Url(bool& machibbs, bool& suretate) const
{
    machibbs = false;
    suretate = false;
    if (m_menu == ThreadMenu) {
        suretate = true;
        return Get_BoardUrl(machibbs);
    }
    if (m_menu == ReadingMenu) {
        return Get_ThreadURL(machibbs);
    }
    return {};
}

void VoiceMenu::Write_Message()
{
    if (m_menu != ReadingMenu || !Get_Online()) {
        return;
    }
    m_readable = false;
    m_host.runWriteDialog();
}

void VoiceMenu::Create_Thread()
{
    if (m_menu != ThreadMenu || !Get_Online()) {
        return;
    }
    m_host.runWriteDialog();
}

void VoiceMenu::Open_EditModeViewer()
{
    if (m_menu != ReadingMenu || !m_message || m_message->Get_MessageMaxNum() < 1) {
        return;
    }
    m_reading = false;
    m_readable = false;
    m_host.runEditModeViewer(m_message->Get_OrgMessagesText(), m_message->Get_CurrentLinePos());
}

QString VoiceMenu::Get_BoardUrl(bool& machibbs) const
{
    machibbs = m_boards->Get_Category(m_categoryIndex).contains(u"まちＢＢＳ"_s);
    return m_boards->Get_BoardUrl(m_categoryIndex, m_boardIndex);
}
