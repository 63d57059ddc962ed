// The option menus: their item lists, the cursor on the stored setting, the
// "current setting" sentence, and the previews of volume, speed, pitch and voice.

#include "VoiceMenu.h"
#include "app/CSettings.h"
#include "platform/SpeechEngine.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

QString VoiceMenu::optionListOf(qint16 menu)
{
    switch (menu) {
    case 10:
        return u",常にシャットダウンしない,シャットダウンするかどうかを終了時に選択する,常にシャットダウンする"_s;
    case 11:
        return u",左右キーを反転しない(右矢印キーで決定),左右キーを反転する(左矢印キーで決定)"_s;
    case 12:
        return u",スクリーンリーダと併用しない,スクリーンリーダと併用する"_s;
    case 14:
        return u",プロキシを使用しない,プロキシを使用する"_s;
    case VolumeMenu:
        return u",ボリューム1,ボリューム2,ボリューム3,ボリューム4,ボリューム5,ボリューム6,ボリューム7,ボリューム8,ボリューム9,ボリューム10"_s;
    case SpeedMenu:
        return u",スピード1,スピード2,スピード3,スピード4,スピード5,スピード6,スピード7,スピード8,スピード9,スピード10"_s;
    case PitchMenu:
        return u",ピッチ1,ピッチ2,ピッチ3,ピッチ4,ピッチ5,ピッチ6,ピッチ7,ピッチ8,ピッチ9,ピッチ10"_s;
    case 23:
        return u",名前を読み上げる,名前を読み上げない"_s;
    case 24:
        return u",メール欄を読み上げる,メール欄を読み上げない"_s;
    case 25:
        return u",日時を読み上げる,日時を読み上げない"_s;
    case 26:
        return u",アスキーアートを含むメッセージを読み上げる,アスキーアートを含むメッセージを読み上げない"_s;
    case 27:
        return u",IDを読み上げる,IDを読み上げない"_s;
    case 28:
        return u",リモートホストを読み上げる,リモートホストを読み上げない"_s;
    case 29:
        return u",メッセージ番号を読み上げる,メッセージ番号を読み上げない"_s;
    case FontSizeMenu:
        return u",8,9,10,11,12,14,16,18,20,22,24,26,28,36,48,72"_s;
    case 31:
        return u",Windows標準の配色,弱視向けの配色"_s;
    case 32:
        return u",標準サイズ,最大化表示"_s;
    default:
        return {};
    }
}

std::pair<qint16, int> VoiceMenu::optionSettingOf(qint16 menu)
{
    switch (menu) {
    case 10:
        return {CSettings::ExitMethod, 0};
    case 11:
        return {CSettings::ReverseLRKey, 1};
    case 12:
        return {CSettings::ScreenReaderUse, 1};
    case 14:
        return {CSettings::ProxyUse, 1};
    case VolumeMenu:
        return {CSettings::SpeechVolume, 0};
    case SpeedMenu:
        return {CSettings::SpeechSpeed, 0};
    case PitchMenu:
        return {CSettings::SpeechPitch, 0};
    case 31:
        return {CSettings::LowVisionColors, 1};
    case 32:
        return {CSettings::WindowMaximized, 1};
    default:
        if (menu >= 23 && menu <= 29) {
            return {qint16(CSettings::ReadName + (menu - 23)), 1};
        }
        return {0, 0};
    }
}

QString VoiceMenu::optionItem(qint16 menu, qint16 settingIndex, int offset) const
{
    const QStringList items = literalItems(optionListOf(menu));
    return items.value(m_settings.getInt(settingIndex, 0) + offset);
}

void VoiceMenu::Set_OptionList(const QString& items, qint16 settingIndex, int offset)
{
    m_items = literalItems(items);
    m_item = m_settings.getInt(settingIndex, 0) + offset;
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
    m_item = m_settings.getInt(CSettings::VoiceEngine, 0);
    if (m_item < 0 || m_item >= m_items.size()) {
        m_item = 0;
    }
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
