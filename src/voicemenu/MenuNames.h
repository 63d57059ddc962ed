#pragma once

// The names of the voice menus. A menu's number is its position in this list
// (0 is the main menu), and the name is used three ways: the menu's spoken
// title ("…メニューです"), the foreground announcement, and the title of its
// subtopic in the menu help of help.txt.

#include <array>

#include <QString>
#include <QStringList>
#include <QStringView>

namespace MenuNames {

inline constexpr int kCount = 46;

inline constexpr std::array<QStringView, kCount> kNames = {
    u"メイン",
    u"カテゴリー選択",
    u"ブックマーク選択",
    u"板ブックマーク選択",
    u"オプション設定",
    u"ヘルプ",
    u"終了",
    u"終了方法選択",
    u"音声設定",
    u"読み上げ項目設定",
    u"終了方法設定",
    u"左右キー反転設定",
    u"スクリーンリーダ併用設定",
    u"弱視向け設定",
    u"プロキシ使用設定",
    u"プロキシ設定",
    u"作者のホームページ",
    u"ブックマーク削除",
    u"板ブックマーク削除",
    u"ボリューム設定",
    u"スピード設定",
    u"ピッチ設定",
    u"音声エンジン切替",
    u"名前読み上げ設定",
    u"メール欄読み上げ設定",
    u"日時読み上げ設定",
    u"アスキーアート読み上げ設定",
    u"ID読み上げ設定",
    u"リモートホスト読み上げ設定",
    u"メッセージ番号読み上げ設定",
    u"フォントサイズ設定",
    u"色設定",
    u"画面サイズ設定",
    u"板選択",
    u"スレッド選択",
    u"読み上げ",
    u"検索結果",
    u"ヘルプサブ",
    u"ヘルプ読み上げ",
    u"あぼーん設定",
    u"あぼーん削除",
    u"あぼーん表示設定",
    u"返信件数読み上げ設定",
    u"点字設定",
    u"点字表示設定",
    u"点字の種類設定",
};

// The name of menu number menuNo; empty outside 0..45 (for example -1 before
// start-up has finished).
inline QString name(int menuNo)
{
    if (menuNo < 0 || menuNo >= kCount) {
        return {};
    }
    return kNames[std::size_t(menuNo)].toString();
}

// All names in menu order, element 0 being the main menu.
inline QStringList all()
{
    QStringList names;
    names.reserve(kCount);
    for (QStringView n : kNames) {
        names.append(n.toString());
    }
    return names;
}

}  // namespace MenuNames
