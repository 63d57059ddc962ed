// The option menus: their item lists, the cursor on the stored setting, the
// "current setting" sentence, and the previews of volume, speed, pitch and voice.

#include "VoiceMenu.h"
#include "base/CSettings.h"
#include "speech/BrailleOutput.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

namespace {

// Each option menu: its items, the setting that holds the choice, and what is
// added to the stored value to give the item (0 for values that count from 1,
// 1 for "0"/"1" settings). The font sizes are matched by text instead.
struct OptionMenu
{
    qint16 menu;
    const char16_t* items;
    qint16 setting;
    int offset;
    const char16_t* named = nullptr;  // the named setting, for setting 0
};

constexpr OptionMenu kOptionMenus[] = {
    {10, u",常にシャットダウンしない,シャットダウンするかどうかを終了時に選択する,常にシャットダウンする",
     CSettings::ExitMethod, 0},
    {11, u",左右キーを反転しない(右矢印キーで決定),左右キーを反転する(左矢印キーで決定)",
     CSettings::ReverseLRKey, 1},
    {12, u",スクリーンリーダと併用しない,スクリーンリーダと併用する", CSettings::ScreenReaderUse, 1},
    {14, u",プロキシを使用しない,プロキシを使用する", CSettings::ProxyUse, 1},
    {VoiceMenu::VolumeMenu,
     u",ボリューム1,ボリューム2,ボリューム3,ボリューム4,ボリューム5,ボリューム6,ボリューム7,ボリューム8,"
     u"ボリューム9,ボリューム10",
     CSettings::SpeechVolume, 0},
    {VoiceMenu::SpeedMenu,
     u",スピード1,スピード2,スピード3,スピード4,スピード5,スピード6,スピード7,スピード8,スピード9,スピード10",
     CSettings::SpeechSpeed, 0},
    {VoiceMenu::PitchMenu,
     u",ピッチ1,ピッチ2,ピッチ3,ピッチ4,ピッチ5,ピッチ6,ピッチ7,ピッチ8,ピッチ9,ピッチ10",
     CSettings::SpeechPitch, 0},
    {23, u",名前を読み上げる,名前を読み上げない", CSettings::ReadName, 1},
    {24, u",メール欄を読み上げる,メール欄を読み上げない", CSettings::ReadMail, 1},
    {25, u",日時を読み上げる,日時を読み上げない", CSettings::ReadDate, 1},
    {26, u",アスキーアートを含むメッセージを読み上げる,アスキーアートを含むメッセージを読み上げない",
     CSettings::ReadAsciiArt, 1},
    {27, u",IDを読み上げる,IDを読み上げない", CSettings::ReadId, 1},
    {28, u",リモートホストを読み上げる,リモートホストを読み上げない", CSettings::ReadRemoteHost, 1},
    {29, u",メッセージ番号を読み上げる,メッセージ番号を読み上げない", CSettings::ReadMessageNumber, 1},
    {VoiceMenu::FontSizeMenu, u",8,9,10,11,12,14,16,18,20,22,24,26,28,36,48,72", 0, 0},
    {31, u",Windows標準の配色,弱視向けの配色", CSettings::LowVisionColors, 1},
    {32, u",標準サイズ,最大化表示", CSettings::WindowMaximized, 1},
    {VoiceMenu::NgShowMenu, u",あぼーんの件数を読み上げる,透明あぼーん(何も読み上げない)", 0, 1,
     VoiceMenu::kNgTransparentKey},
    {VoiceMenu::ReplyCountMenu, u",返信件数を読み上げない,返信件数を読み上げる", 0, 1,
     VoiceMenu::kReplyCountKey},
    {VoiceMenu::BrailleShowMenu, u",点字を表示する,点字を表示しない", 0, 1, BrailleOutput::kOffKey},
    {VoiceMenu::BrailleModeMenu, u",かな点字,テキスト(BRLTTYの点字表)", 0, 1, BrailleOutput::kTextKey},
};

const OptionMenu* optionMenu(qint16 menu)
{
    for (const OptionMenu& option : kOptionMenus) {
        if (option.menu == menu) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

QString VoiceMenu::optionListOf(qint16 menu)
{
    const OptionMenu* option = optionMenu(menu);
    return option ? QString::fromUtf16(option->items) : QString();
}

std::pair<qint16, int> VoiceMenu::optionSettingOf(qint16 menu)
{
    const OptionMenu* option = optionMenu(menu);
    return option ? std::pair<qint16, int>{option->setting, option->offset} : std::pair<qint16, int>{0, 0};
}

QString VoiceMenu::optionNamedOf(qint16 menu)
{
    const OptionMenu* option = optionMenu(menu);
    return option && option->named ? QString::fromUtf16(option->named) : QString();
}

int VoiceMenu::optionValue(qint16 menu) const
{
    const QString named = optionNamedOf(menu);
    if (!named.isEmpty()) {
        bool ok = false;
        const int value = m_settings.Get_Named(named, u"0"_s).toInt(&ok);
        return ok ? value : 0;
    }
    return m_settings.getInt(optionSettingOf(menu).first, 0);
}

bool VoiceMenu::storeOptionValue(qint16 menu, int value)
{
    const QString named = optionNamedOf(menu);
    return named.isEmpty() ? m_settings.Set_(optionSettingOf(menu).first, QString::number(value))
                           : m_settings.Set_Named(named, QString::number(value));
}

QString VoiceMenu::optionItem(qint16 menu, qint16 settingIndex, int offset) const
{
    const QStringList items = literalItems(optionListOf(menu));
    return items.value((settingIndex > 0 ? m_settings.getInt(settingIndex, 0) : optionValue(menu)) + offset);
}

void VoiceMenu::Set_OptionList(const QString& items, qint16 settingIndex, int offset)
{
    m_items = literalItems(items);
    m_item = (settingIndex > 0 ? m_settings.getInt(settingIndex, 0) : optionValue(m_menu)) + offset;
    // A stored value outside the list (a hand-edited file) leaves the cursor
    // on no item rather than beyond the list.
    if (m_item < 0 || m_item >= m_items.size()) {
        m_item = 0;
    }
    m_suffix = u"、現在の設定は「"_s + m_items.value(m_item) + u"」です"_s;
}

void VoiceMenu::buildEngineMenu()
{
    m_items = QStringList{QString()};
    for (int mode = 1; mode <= m_engine.modeCount(); ++mode) {
        m_items.append(m_engine.modeName(mode) + u"  ("_s + m_engine.productName(mode) + u')');
    }
    m_item = storedEngine();
    m_suffix = u"、現在の設定は「"_s + m_items.value(m_item) + u"」です"_s;
}

void VoiceMenu::buildFontSizeMenu()
{
    m_items = literalItems(optionListOf(FontSizeMenu));
    const QString stored = m_settings.Get_(CSettings::FontSize);
    m_item = 0;
    for (qsizetype i = 1; i < m_items.size(); ++i) {
        if (m_items.at(i) == stored) {
            m_item = qint32(i);
        }
    }
    m_suffix = u"、現在の設定は「"_s + m_items.value(m_item) + u"」です"_s;
}

void VoiceMenu::applyPreview(qint32 item)
{
    switch (m_menu) {
    case VolumeMenu:
        m_speech.ApplyVolume(item);
        break;
    case SpeedMenu:
        m_speech.ApplySpeed(item);
        break;
    case PitchMenu:
        m_speech.ApplyPitch(item);
        break;
    case EngineMenu:
        m_engine.selectMode(item);
        applyStoredLevels();
        break;
    default:
        break;
    }
}
