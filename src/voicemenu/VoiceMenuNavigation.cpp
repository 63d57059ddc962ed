// Entering and leaving menus, moving the cursor, and the jumps.

#include "VoiceMenu.h"
#include "base/CSettings.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/LogManager.h"
#include "bbs/NgFilters.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/BrailleOutput.h"
#include "speech/CMessageData.h"
#include "speech/CSrCntl.h"
#include "speech/SpeechOutput.h"
#include "voicemenu/HelpMenu.h"
#include "voicemenu/MenuNames.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

namespace {

const QString kNoData = u"データがありません。"_s;

// A thread item without its leading "read/total" field: the text from the
// blank after the total on. The total may have more than three digits.
QString withoutCounts(const QString& item)
{
    const qsizetype slash = item.indexOf(u'/');
    const qsizetype blank = slash < 0 ? -1 : item.indexOf(u' ', slash);
    return blank < 0 ? item.mid(slash + 4) : item.mid(blank);
}

}  // namespace

QStringList VoiceMenu::literalItems(const QString& list)
{
    return list.split(u',');
}

void VoiceMenu::Set_Menu(qint16 menu)
{
    if (menu != m_menu) {
        if (m_menu == ReadingMenu) {
            m_host.setProgress(0.0);
        }
        if (menu < 0) {
            if (m_depth > 0) {
                --m_depth;
                m_menu = m_menuStack.at(m_depth);
                m_item = m_itemStack.at(m_depth);
            }
        } else if (menu > 0) {
            m_menuStack.resize(m_depth + 1);
            m_itemStack.resize(m_depth + 1);
            m_menuStack[m_depth] = m_menu;
            m_itemStack[m_depth] = m_item;
            ++m_depth;
            m_menu = menu;
            m_item = 0;
        } else {
            // The main menu's cursor is where the user first left it.
            m_depth = 0;
            m_menu = MainMenu;
            m_item = m_itemStack.value(0);
        }
    }
    m_suffix.clear();
    m_currentUnitKind = 0;
    m_title = MenuNames::name(m_menu) + u"メニューです"_s;
    buildMenu();
}

void VoiceMenu::buildMenu()
{
    const QString literal = optionListOf(m_menu);
    switch (m_menu) {
    case MainMenu:
        m_items = literalItems(
            u",カテゴリー選択(C),ブックマーク選択(B),板ブックマーク選択(I),オプション設定(O),ヘルプ,終了(Q)"_s);
        m_categoryIndex = 0;
        m_boardIndex = 0;
        break;
    case CategoryMenu:
        m_items = m_boards->Get_Categories();
        m_boardIndex = 0;
        break;
    case BookmarkMenu:
    case 17:
        m_items = m_bookmarks->Get_ItemTexts();
        if (m_menu == BookmarkMenu) {
            m_categoryIndex = 0;
            m_boardIndex = 0;
        }
        break;
    case ItaBookmarkMenu:
    case 18:
        m_items = m_itaBookmarks->Get_ItemTexts();
        if (m_menu == ItaBookmarkMenu) {
            m_categoryIndex = 0;
            m_boardIndex = 0;
        }
        break;
    case ConfigMenu:
        m_items = literalItems(
            u",音声設定,読み上げ項目設定,終了方法設定,左右キー反転設定,スクリーンリーダ併用設定,弱視向け設定,プロキシ使用設定,プロキシ設定,作者のホームページ,あぼーん設定,点字設定"_s);
        break;
    case HelpTopMenu:
        m_items = m_help->Get_Tops();
        break;
    case ExitChoiceMenu:
        m_items = literalItems(u",プログラムのみ終了する,Windowsをシャットダウンさせる"_s);
        break;
    case VoiceConfigMenu:
        m_items = literalItems(u",ボリューム設定(V),スピード設定(S),ピッチ設定(P),音声エンジン切替"_s);
        m_suffix = u"、現在の設定は「"_s + optionItem(VolumeMenu, CSettings::SpeechVolume, 0) + u"」、「"_s
                   + optionItem(SpeedMenu, CSettings::SpeechSpeed, 0) + u"」、「"_s
                   + optionItem(PitchMenu, CSettings::SpeechPitch, 0) + u"」、です。"_s;
        break;
    case ReadItemsMenu: {
        m_items = literalItems(
            u",名前読み上げ設定,メール読み上げ設定,日時読み上げ設定,アスキーアート読み上げ設定,ID読み上げ設定,リモートホスト読み上げ設定,メッセージ番号読み上げ設定"_s);
        QStringList current;
        for (qint16 k = 0; k < 7; ++k) {
            current << optionItem(qint16(23 + k), qint16(CSettings::ReadName + k), 1);
        }
        m_suffix = u"、現在の設定は「"_s + current.join(u"」、「"_s) + u"」、です。"_s;
        break;
    }
    case 13:
        m_items = literalItems(u",フォントサイズ設定,色設定,画面サイズ設定"_s);
        break;
    case EngineMenu:
        buildEngineMenu();
        break;
    case FontSizeMenu:
        buildFontSizeMenu();
        break;
    case BoardMenu:
        m_items = m_boards->Get_BoardNames(m_categoryIndex);
        break;
    case ThreadMenu:
        m_items = m_threads->Get_ThreadNames();
        // The stale logs go by the stored lists; one that could not be saved
        // names older threads or boards, and nothing is deleted on its word.
        if (m_threads->listSaved() && m_boards->saved()) {
            m_logs->Delete_in_board(*m_http, *m_boards, *m_bookmarks, m_categoryIndex, m_boardIndex);
        } else {
            m_speech.addNotice(u"スレッドの一覧を保存できませんでした。"_s);
        }
        break;
    case ReadingMenu: {
        const int maximum = m_thread->Get_MessageMaxNum();
        if (m_threads->Get_MessageNum(m_threadIndex) < 1) {
            m_title = u"DAT落ちしたスレッドです。"_s;
        } else {
            m_title = u"メッセージ数は"_s + QString::number(maximum) + u"です。"_s;
        }
        m_items = QStringList{QString()};
        for (int n = 1; n <= maximum; ++n) {
            m_items.append(m_thread->Get_FindMessage(n, true));
        }
        m_item = qMin(m_thread->Get_MessageCurrentNum(), maximum);
        m_messageIndex = m_item;
        break;
    }
    case NgConfigMenu:
        m_items = literalItems(u",あぼーん削除,すべての板の語句あぼーん追加,この板の語句あぼーん追加,"
                               u"すべての板の正規表現あぼーん追加,"
                               u"この板の正規表現あぼーん追加,あぼーん表示設定,返信件数読み上げ設定"_s);
        m_suffix = u"、あぼーんは%1件です"_s.arg(m_filters->rules().size());
        break;
    case BrailleMenu: {
        m_items = literalItems(u",点字表示設定,点字の種類設定"_s);
        const BrailleOutput* braille = m_speech.braille();
        m_suffix =
            u"、現在の設定は「"_s + optionItem(BrailleShowMenu, 0, 1) + u"」、「"_s
            + optionItem(BrailleModeMenu, 0, 1) + u"」、です。"_s
            + (braille && braille->connected() ? u"点字ディスプレイは%1マスです。"_s.arg(braille->cellCount())
                                               : u"点字ディスプレイはつながっていません。"_s);
        break;
    }
    case NgDeleteMenu:
        m_items = QStringList{QString()};
        for (const NgFilters::Rule& rule : m_filters->rules()) {
            m_items.append(NgFilters::describe(rule));
        }
        if (m_items.size() == 1) {
            m_suffix = u"、あぼーんはありません"_s;
        }
        break;
    case HelpSubMenu:
        m_title = u"ヘルプ："_s + m_help->Get_Top(m_helpTopic);
        m_items = m_help->Get_Subs(m_helpTopic);
        m_helpReading = false;
        break;
    case HelpReadMenu:
        // The subtopic list of the help menu stays the item list.
        m_speech.StopSpeech();
        m_title = m_items.value(m_helpSubtopic) + u"\r\n"_s + m_help->Get_Text(m_helpTopic, m_helpSubtopic);
        break;
    case SearchResultMenu:
        buildSearchResults();
        break;
    default:
        if (!literal.isEmpty()) {
            m_items = literalItems(literal);
            if (const auto [setting, offset] = optionSettingOf(m_menu);
                setting > 0 || !optionNamedOf(m_menu).isEmpty()) {
                Set_OptionList(literal, setting, offset);
            }
        } else {
            // Menus without items of their own (exit, proxy, home page).
            m_items = QStringList{QString()};
        }
        break;
    }
}

void VoiceMenu::speakTitle()
{
    m_speech.SpeakText(m_title);
    if (m_screenReaders) {
        m_screenReaders->Block_SRVoice();
    }
}

bool VoiceMenu::moveInReadingMenu(qint32 delta)
{
    if (m_thread->Get_MessageLoadedNum() <= 0) {
        return false;
    }
    const int from = m_thread->Get_MessageCurrentNum();
    m_title = m_thread->Get_Message(delta);
    m_item = m_thread->Get_MessageCurrentNum();
    m_messageIndex = m_item;
    if (m_item != from && isHidden(m_item)) {
        // Its header and text stay unheard; the number tells where the
        // listener is (the key that hid it shows it again).
        m_title = QString::number(m_item) + u" あぼーん"_s;
    }
    loadCurrentMessage();
    return true;
}

void VoiceMenu::readOnFromHidden()
{
    // Read on as from the message before it: continuous reading passes the
    // hidden ones after their count, and says when nothing is left.
    m_thread->Rewind_Index();
    m_message->ExitInstance();
    Read_Message(false);
}

void VoiceMenu::Select_(qint32 menu_delta, bool absolute)
{
    if (!m_enabled) {
        return;
    }
    qint32 delta = menu_delta;
    if (absolute) {
        delta -= m_item;
    }
    m_item += delta;
    m_title.clear();

    const qint32 count = Get_ItemNum();
    bool ok = true;
    if (m_menu == ReadingMenu) {
        clearTrail();  // moving on by hand ends any trip to other messages
        ok = moveInReadingMenu(delta);
        if (ok && m_readable && isHidden(m_item)) {
            readOnFromHidden();
            return;
        }
        if (ok && m_readable) {
            // Continuous reading reads the chosen message from its start.
            Read_Message(true);
            return;
        }
    } else if (count < 1) {
        ok = false;
    } else {
        const bool single = delta == 1 || delta == -1;
        if (m_item < 1) {
            m_item = single ? count : 1;
        } else if (m_item > count) {
            m_item = single ? 1 : count;
        }
        const QString item = m_items.at(m_item);
        m_title = QString::number(m_item) + u',' + item;
        switch (m_menu) {
        case CategoryMenu:
            m_categoryIndex = m_item;
            break;
        case BoardMenu:
            m_boardIndex = m_item;
            break;
        case ThreadMenu:
            m_threadIndex = m_item;
            m_title = QString::number(m_item) + u',' + withoutCounts(item);
            break;
        case SearchResultMenu:
            if (m_searchOrigin == ThreadMenu) {
                m_title = QString::number(m_item) + u',' + withoutCounts(item);
            } else if (m_searchOrigin == ReadingMenu) {
                m_title = item;
            }
            break;
        case VolumeMenu:
        case SpeedMenu:
        case PitchMenu:
        case EngineMenu:
            m_title = item;
            applyPreview(m_item);
            break;
        case FontSizeMenu:
            m_title = item;
            break;
        default:
            break;
        }
    }
    if (!ok) {
        m_item = 0;
        m_title = kNoData;
    }
    speakTitle();
}

void VoiceMenu::restorePreview()
{
    switch (m_menu) {
    case VolumeMenu:
        m_speech.ApplyVolume(m_settings.getInt(CSettings::SpeechVolume, 10));
        break;
    case SpeedMenu:
        m_speech.ApplySpeed(m_settings.getInt(CSettings::SpeechSpeed, 6));
        break;
    case PitchMenu:
        m_speech.ApplyPitch(m_settings.getInt(CSettings::SpeechPitch, 5));
        break;
    case EngineMenu:
        selectStoredEngine();
        applyStoredLevels();
        break;
    default:
        break;
    }
}

void VoiceMenu::GoBack()
{
    if (!m_enabled) {
        return;
    }
    restorePreview();
    leaveThread();
    if (m_menu == ReadingMenu) {
        if (m_readable) {
            m_title = u"読み上げ停止"_s;
        } else {
            Set_Menu(-1);
        }
        m_readable = false;
        m_reading = false;
    } else {
        Set_Menu(-1);
    }
    m_suffix.clear();
    speakTitle();
}

// Leaving the reading or thread menu writes the read position reached.
void VoiceMenu::leaveThread()
{
    clearTrail();
    if (m_thread && (m_menu == ReadingMenu || m_menu == ThreadMenu)) {
        m_thread->Flush_Index();
    }
}

void VoiceMenu::Save_IndexIfDue()
{
    if (m_thread) {
        m_thread->Flush_IndexIfDue();
    }
}

void VoiceMenu::GoMain()
{
    if (!m_enabled) {
        return;
    }
    restorePreview();
    leaveThread();
    Set_Menu(MainMenu);
    m_readable = false;
    m_reading = false;
    speakTitle();
}

void VoiceMenu::Go_First()
{
    Select_(1, true);
    if (Get_ItemNum() > 0 && m_item > 0) {
        m_host.selectListRow(m_item - 1);
    }
}

void VoiceMenu::Go_Bottom()
{
    Select_(Get_ItemNum(), true);
    if (Get_ItemNum() > 0 && m_item > 0) {
        m_host.selectListRow(m_item - 1);
    }
}

void VoiceMenu::jumpTo(qint16 menu)
{
    m_readable = false;
    m_reading = false;
    m_helpReading = false;
    restorePreview();
    leaveThread();
    Set_Menu(MainMenu);
    Set_Menu(menu);
    speakTitle();
    m_host.Update_List();
    m_host.Update_Tree();
}

void VoiceMenu::JumpCategory()
{
    jumpTo(CategoryMenu);
}

void VoiceMenu::JumpBookmark()
{
    jumpTo(BookmarkMenu);
}

void VoiceMenu::JumpItaBookmark()
{
    jumpTo(ItaBookmarkMenu);
}

void VoiceMenu::JumpConfig()
{
    jumpTo(ConfigMenu);
}

void VoiceMenu::JumpAudioConfig(qint16 menu)
{
    m_readable = false;
    m_reading = false;
    m_helpReading = false;
    Set_Menu(menu);
    m_title += m_suffix;
    m_suffix.clear();
    speakTitle();
    m_host.Update_List();
}

void VoiceMenu::Help()
{
    const QString name = MenuNames::name(m_menu);
    m_title = name + u"メニューのヘルプ。"_s + u"\r\n"_s + m_help->Get_MenuHelp(name);
    m_speech.SpeakText(m_title);
    m_helpReading = true;
}

void VoiceMenu::Stop_HelpRead()
{
    if (m_menu == HelpReadMenu) {
        Set_Menu(-1);
        m_host.Update_List();
    }
    m_helpReading = false;
}
