// The voice menu as a user moves through it: start-up, cursor moves with
// their wrapping and stops, going back and to the main menu, the jumps, the
// option menus' current-setting sentences and previews, and what is spoken
// at each step. Real board data from the local board server, a spy speech
// engine and a recording host stand in for the window and the voice.

#include <QDir>
#include <QTest>

#include "VoiceMenuFixture.h"
#include "bbs/BoardList.h"
#include "bbs/ThreadList.h"
#include "voicemenu/HelpMenu.h"

using namespace Qt::StringLiterals;

class TestVoiceMenuNavigation : public QObject
{
    Q_OBJECT

private slots:
    void startUp();
    void moves_data();
    void moves();
    void optionSuffixes_data();
    void optionSuffixes();
    void previewsAreRestored();
    void threadItemsAreSpokenWithoutCounts();
    void firstAndBottomSelectTheListRow();
    void startUpFailures_data();
    void startUpFailures();
    void firstRunChoosesAJapaneseVoice();
    void firstRunPrefersOpenJTalk_data();
    void firstRunPrefersOpenJTalk();
    void help();
    void enginePreview();
    void storedSettingOutOfRange();
};

void TestVoiceMenuNavigation::startUp()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.engine.texts(), QStringList({u"読み丸を起動しました。板の一覧を最新にしました。"_s}));
    QCOMPARE(f.menu->Get_MenuNo(), qint16(0));
    QCOMPARE(f.menu->Get_Text(), u"メインメニューです"_s);
    QCOMPARE(f.menu->Get_ItemNum(), 6);
    QCOMPARE(f.menu->Get_Item(6), u"終了(Q)"_s);
    QVERIFY(f.menu->Get_Item(7).isEmpty());
    QVERIFY(f.menu->Get_Online());
    QVERIFY(!f.menu->IsMenuFixed());
    QVERIFY(QFile::exists(f.profile.dataRoot() + u"/board.list"_s));

    // Offline on request: the board list comes from the file just written.
    Fixture again;
    QVERIFY(again.start(true, false));
    QDir().mkpath(again.profile.dataRoot());
    QVERIFY(
        QFile::copy(f.profile.dataRoot() + u"/board.list"_s, again.profile.dataRoot() + u"/board.list"_s));
    QVERIFY(again.menu->Initialize());
    QVERIFY(!again.menu->Get_Online());
    QCOMPARE(again.engine.texts(),
             QStringList({u"読み丸をオフラインで起動しました。保存してある板の一覧を使います。"_s}));
}

void TestVoiceMenuNavigation::moves_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("spoken");  // the last utterance
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("menu");

    QTest::newRow("down from a fresh menu selects the first item")
        << QStringList{u"down"_s} << u"1,カテゴリー選択(C)"_s << 1 << 0;
    QTest::newRow("up from a fresh menu selects the last item")
        << QStringList{u"up"_s} << u"6,終了(Q)"_s << 6 << 0;
    QTest::newRow("down from the last item wraps")
        << QStringList{u"up"_s, u"down"_s} << u"1,カテゴリー選択(C)"_s << 1 << 0;
    QTest::newRow("up from the first item wraps")
        << QStringList{u"down"_s, u"up"_s} << u"6,終了(Q)"_s << 6 << 0;
    QTest::newRow("down by 10 stops at the end") << QStringList{u"down10"_s} << u"6,終了(Q)"_s << 6 << 0;
    QTest::newRow("up by 10 stops at the start")
        << QStringList{u"up"_s, u"up10"_s} << u"1,カテゴリー選択(C)"_s << 1 << 0;
    QTest::newRow("by 100 stops as well") << QStringList{u"down100"_s} << u"6,終了(Q)"_s << 6 << 0;
    QTest::newRow("typed number lands on the item") << QStringList{u"select:5"_s} << u"5,ヘルプ"_s << 5 << 0;
    QTest::newRow("back at the top stays in the main menu")
        << QStringList{u"down"_s, u"back"_s} << u"メインメニューです"_s << 1 << 0;
    QTest::newRow("a jump speaks the menu")
        << QStringList{u"jumpCategory"_s} << u"カテゴリー選択メニューです"_s << 0 << 1;
    QTest::newRow("categories are the board menu's")
        << QStringList{u"jumpCategory"_s, u"down"_s} << u"1,ニュース"_s << 1 << 1;
    QTest::newRow("GoMain returns to the main item first left")
        << QStringList{u"select:4"_s, u"jumpConfig"_s, u"down"_s, u"main"_s} << u"メインメニューです"_s << 4
        << 0;
    QTest::newRow("after GoMain the cursor goes on from there")
        << QStringList{u"select:4"_s, u"jumpConfig"_s, u"down"_s, u"main"_s, u"down"_s} << u"5,ヘルプ"_s << 5
        << 0;
    QTest::newRow("back returns to the item left")
        << QStringList{u"select:2"_s, u"jumpCategory"_s, u"select:3"_s, u"push:33"_s, u"back"_s}
        << u"カテゴリー選択メニューです"_s << 3 << 1;
    QTest::newRow("an empty list speaks that it has no data")
        << QStringList{u"jumpBookmark"_s, u"down"_s} << u"データがありません。"_s << 0 << 2;
    QTest::newRow("an empty list on every move")
        << QStringList{u"jumpIta"_s, u"down"_s, u"up10"_s} << u"データがありません。"_s << 0 << 3;
    QTest::newRow("options list") << QStringList{u"jumpConfig"_s, u"up"_s} << u"11,点字設定"_s << 11 << 4;
    QTest::newRow("boards of the category chosen")
        << QStringList{u"jumpCategory"_s, u"select:3"_s, u"push:33"_s, u"down"_s} << u"1,なんでも雑談"_s << 1
        << 33;
}

void TestVoiceMenuNavigation::moves()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, spoken);
    QFETCH(int, item);
    QFETCH(int, menu);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.engine.clear();
    f.run(steps);
    QVERIFY(!f.engine.texts().isEmpty());
    QCOMPARE(f.engine.texts().constLast(), spoken);
    QCOMPARE(f.menu->Get_Index(), item);
    QCOMPARE(int(f.menu->Get_MenuNo()), menu);
}

void TestVoiceMenuNavigation::optionSuffixes_data()
{
    QTest::addColumn<int>("menu");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("item");
    QTest::newRow("voice: the three levels")
        << 8 << u"音声設定メニューです、現在の設定は「ボリューム10」、「スピード6」、「ピッチ5」、です。"_s
        << 0;
    QTest::newRow("reading items: all seven in order")
        << 9
        << u"読み上げ項目設定メニューです、現在の設定は「名前を読み上げない」、「メール欄を読み上げない」、"
           "「日時を読み上げない」、「アスキーアートを含むメッセージを読み上げない」、「IDを読み上げない」、"
           "「リモートホストを読み上げない」、「メッセージ番号を読み上げる」、です。"_s
        << 0;
    QTest::newRow("volume") << 19 << u"ボリューム設定メニューです、現在の設定は「ボリューム10」です"_s << 10;
    QTest::newRow("exit method, offset 0")
        << 10 << u"終了方法設定メニューです、現在の設定は「常にシャットダウンしない」です"_s << 1;
    QTest::newRow("left and right, offset 1")
        << 11 << u"左右キー反転設定メニューです、現在の設定は「左右キーを反転しない(右矢印キーで決定)」です"_s
        << 1;
    QTest::newRow("font size by text")
        << 30 << u"フォントサイズ設定メニューです、現在の設定は「11」です"_s << 4;
    QTest::newRow("voices of the engine")
        << 22 << u"音声エンジン切替メニューです、現在の設定は「Spy Japanese  (Spy)」です"_s << 1;
}

void TestVoiceMenuNavigation::optionSuffixes()
{
    QFETCH(int, menu);
    QFETCH(QString, expected);
    QFETCH(int, item);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    VoiceMenuTestAccess::push(*f.menu, qint16(menu));
    QCOMPARE(VoiceMenuTestAccess::titleWithSuffix(*f.menu), expected);
    QCOMPARE(f.menu->Get_Index(), item);
}

void TestVoiceMenuNavigation::previewsAreRestored()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.engine.volume(), 100);  // level 10
    f.engine.clear();
    f.menu->JumpAudioConfig(19);
    QCOMPARE(f.engine.texts().constLast(), u"ボリューム設定メニューです、現在の設定は「ボリューム10」です"_s);
    QCOMPARE(f.host.listUpdates, 1);
    QCOMPARE(f.host.treeUpdates, 0);
    f.menu->Select_(5, true);
    QCOMPARE(f.engine.texts().constLast(), u"ボリューム5"_s);
    QCOMPARE(f.engine.volume(), 0);  // level 5 heard at once
    QCOMPARE(f.profile.settings().Get_(CSettings::SpeechVolume), u"10"_s);
    f.menu->GoBack();
    QCOMPARE(f.engine.volume(), 100);

    f.menu->JumpAudioConfig(20);
    f.menu->Select_(1, true);
    QCOMPARE(f.engine.speed(), -80);
    f.menu->GoMain();
    QCOMPARE(f.engine.speed(), 20);  // level 6
    QCOMPARE(f.engine.texts().constLast(), u"メインメニューです"_s);
}

void TestVoiceMenuNavigation::threadItemsAreSpokenWithoutCounts()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"select:3"_s, u"push:33"_s, u"select:1"_s});
    bool offline = false;
    QVERIFY(f.menu->threadList().InitInstance(f.menu->http(), f.menu->boardList().Get_BoardUrl(3, 1),
                                              u"雑談"_s, u"なんでも雑談"_s, &f.menu->bookmarks(), offline));
    f.run({u"push:34"_s, u"select:2"_s});
    const QString item = f.menu->Get_Item(2);
    QVERIFY2(item.startsWith(u"000/"_s), qPrintable(item));
    QCOMPARE(f.engine.texts().constLast(), u"2,"_s + item.mid(7));
    // A total of four digits is left out just the same.
    f.run({u"select:1"_s});
    QVERIFY(f.menu->Get_Item(1).startsWith(u"000/1000 "_s));
    QCOMPARE(f.engine.texts().constLast(), u"1, 1から1000まで数えるスレ(未読1000)"_s);
    f.run({u"select:2"_s});
    QCOMPARE(f.menu->Get_ThreadName(), f.menu->threadList().Get_ThreadName(2));
}

void TestVoiceMenuNavigation::firstAndBottomSelectTheListRow()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.menu->Go_Bottom();
    f.menu->Go_First();
    QCOMPARE(f.host.rows, QList<int>({5, 0}));
    f.menu->JumpBookmark();
    f.menu->Go_Bottom();
    QCOMPARE(f.host.rows, QList<int>({5, 0}));  // nothing to select in an empty list
}

void TestVoiceMenuNavigation::startUpFailures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("no help file") << u"help"_s << u"error:ヘルプファイル(help.txt)が見つかりません"_s
                                  << QString();
    QTest::newRow("no Japanese voice") << u"voice"_s << u"error:"_s << QString();
    QTest::newRow("offline without a saved board list")
        << u"offline"_s << QString()
        << u"インターネットに接続されていません。読み丸を起動できませんでした。"_s;
    QTest::newRow("no server and no saved board list")
        << u"network"_s << QString()
        << u"板リストのダウンロードに失敗しました。読み丸を起動できませんでした。"_s;
}

void TestVoiceMenuNavigation::startUpFailures()
{
    QFETCH(QString, failure);
    QFETCH(QString, box);
    QFETCH(QString, spoken);
    Fixture f;
    QVERIFY(f.start(failure == u"offline"_s, false));
    if (failure == u"help"_s) {
        AppPaths paths(f.profile.dataRoot(), f.profile.path(u"config"_s));
        paths.setResourceDirs({f.profile.path(u"empty"_s)});
        f.menu =
            std::make_unique<VoiceMenu>(paths, f.profile.settings(), *f.speech, f.engine, nullptr, f.host);
    } else if (failure == u"voice"_s) {
        f.engine.setModes({{u"English"_s, false}});
    }
    QVERIFY(!f.menu->Initialize());
    if (box.isEmpty()) {
        QVERIFY(f.host.boxes.isEmpty());
    } else {
        QCOMPARE(f.host.boxes.size(), 1);
        QVERIFY2(f.host.boxes.first().startsWith(box), qPrintable(f.host.boxes.first()));
        QVERIFY(f.host.boxes.first().size() > 10);  // a real explanation, not an empty box
    }
    if (!spoken.isEmpty()) {
        QCOMPARE(f.engine.texts(), QStringList({spoken}));
    }
    // A menu that did not start refuses to move.
    f.menu->Select_(1, false);
    QCOMPARE(f.menu->Get_Index(), 0);
}

void TestVoiceMenuNavigation::firstRunChoosesAJapaneseVoice()
{
    Fixture f;
    f.engine.setModes({{u"English"_s, false}, {u"Japanese A"_s, true}, {u"Japanese B"_s, true}});
    f.profile.settings().Set_(CSettings::VoiceEngine, u"7"_s);  // a voice that is gone
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.profile.settings().Get_(CSettings::VoiceEngine), u"2"_s);
    QCOMPARE(f.engine.currentMode(), 2);
    QCOMPARE(f.host.boxes.size(), 1);
    QVERIFY(f.host.boxes.first().startsWith(u"info:"_s));
    const QString welcome = f.host.boxes.first().mid(5);
    QVERIFY(!welcome.isEmpty());
    // The welcome is spoken first, then again with the start-up status.
    QCOMPARE(f.engine.texts().first(), welcome);
    QCOMPARE(f.engine.texts().last(), welcome + u"読み丸を起動しました。板の一覧を最新にしました。"_s);
}

void TestVoiceMenuNavigation::firstRunPrefersOpenJTalk_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("storedAfter");  // empty: still nothing stored
    QTest::addColumn<bool>("welcome");         // the saved voice was unusable

    // Nothing saved (also when Open JTalk came after an earlier run): Open
    // JTalk, chosen again at every start, and nothing stored for the user.
    QTest::newRow("no choice: Open JTalk") << QString() << 3 << QString() << false;
    QTest::newRow("saved espeak stays") << u"1"_s << 1 << u"1"_s << false;
    QTest::newRow("saved other voice stays") << u"2"_s << 2 << u"2"_s << false;
    QTest::newRow("saved voice gone: Open JTalk") << u"9"_s << 3 << u"3"_s << true;
    QTest::newRow("saved voice not Japanese: Open JTalk") << u"4"_s << 3 << u"3"_s << true;
}

void TestVoiceMenuNavigation::firstRunPrefersOpenJTalk()
{
    QFETCH(QString, saved);
    QFETCH(int, expected);
    QFETCH(QString, storedAfter);
    QFETCH(bool, welcome);
    Fixture f;
    f.engine.setModes(
        {{u"Japanese"_s, true}, {u"Haruka"_s, true}, {u"nitech-m001"_s, true}, {u"espeak-ng"_s, false}});
    f.engine.setModules({u"espeak-ng"_s, u"kali"_s, u"openjtalk-generic"_s, u"espeak-ng"_s});
    if (!saved.isEmpty()) {
        f.profile.settings().Set_(CSettings::VoiceEngine, saved);
    }
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.engine.currentMode(), expected);
    QCOMPARE(f.profile.settings().isStored(CSettings::VoiceEngine), !storedAfter.isEmpty());
    if (!storedAfter.isEmpty()) {
        QCOMPARE(f.profile.settings().Get_(CSettings::VoiceEngine), storedAfter);
    }
    QCOMPARE(f.host.boxes.size(), welcome ? 1 : 0);
    // Every word of the start-up went out in that voice.
    for (const SpySpeechEngine::Utterance& u : f.engine.spoken()) {
        QCOMPARE(u.mode, expected);
    }
    // The engine menu stands on that voice, and leaving it after a preview
    // returns to it.
    VoiceMenuTestAccess::push(*f.menu, VoiceMenu::EngineMenu);
    QCOMPARE(f.menu->Get_Index(), expected);
    f.run({u"select:%1"_s.arg(expected == 1 ? 2 : 1)});
    QVERIFY(f.engine.currentMode() != expected);
    f.run({u"back"_s});
    QCOMPARE(f.engine.currentMode(), expected);
}

void TestVoiceMenuNavigation::help()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    // Help for the current menu: its name, then its subtopic of the menu help.
    f.menu->Help();
    const QString mainHelp = f.menu->helpMenu().Get_MenuHelp(u"メイン"_s);
    QVERIFY(!mainHelp.trimmed().isEmpty());
    QCOMPARE(f.engine.texts().constLast(), u"メインメニューのヘルプ。\r\n"_s + mainHelp);
    QVERIFY(f.menu->IsHelpReading());
    f.menu->Stop_HelpRead();
    QVERIFY(!f.menu->IsHelpReading());
    QCOMPARE(int(f.menu->Get_MenuNo()), 0);

    // The help menus: topics, subtopics, and a subtopic read out.
    f.run({u"select:5"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"ヘルプメニューです"_s);
    QCOMPARE(f.menu->Get_ItemNum(), f.menu->helpMenu().Get_Tops().size() - 1);
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::HelpSubMenu));
    QCOMPARE(f.engine.texts().constLast(), u"ヘルプ："_s + f.menu->helpMenu().Get_Top(1));
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::HelpReadMenu));
    QVERIFY(f.menu->IsHelpReading());
    QCOMPARE(f.engine.texts().constLast(),
             f.menu->helpMenu().Get_Subs(1).value(1) + u"\r\n"_s + f.menu->helpMenu().Get_Text(1, 1));
    const int listUpdates = f.host.listUpdates;
    f.menu->Stop_HelpRead();
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::HelpSubMenu));
    QCOMPARE(f.host.listUpdates, listUpdates + 1);
}

void TestVoiceMenuNavigation::enginePreview()
{
    Fixture f;
    f.engine.setModes({{u"Japanese A"_s, true}, {u"Japanese B"_s, true}});
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    QCOMPARE(f.engine.currentMode(), 1);
    VoiceMenuTestAccess::push(*f.menu, VoiceMenu::EngineMenu);
    f.run({u"select:2"_s});
    QCOMPARE(f.engine.texts().constLast(), u"Japanese B  (Spy)"_s);
    QCOMPARE(f.engine.currentMode(), 2);  // heard at once
    f.run({u"back"_s});
    QCOMPARE(f.engine.currentMode(), 1);  // the stored voice again
    QCOMPARE(f.profile.settings().Get_(CSettings::VoiceEngine), u"1"_s);
}

void TestVoiceMenuNavigation::storedSettingOutOfRange()
{
    Fixture f;
    f.profile.settings().Set_(CSettings::SpeechVolume, u"99"_s);
    f.profile.settings().Set_(CSettings::ReadName, u"x"_s);
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    // A hand-edited value: the cursor is on no item and moving still works.
    VoiceMenuTestAccess::push(*f.menu, VoiceMenu::VolumeMenu);
    QCOMPARE(f.menu->Get_Index(), 0);
    QCOMPARE(VoiceMenuTestAccess::titleWithSuffix(*f.menu),
             u"ボリューム設定メニューです、現在の設定は「」です"_s);
    f.run({u"down"_s});
    QCOMPARE(f.engine.texts().constLast(), u"ボリューム1"_s);
    f.run({u"main"_s});
    VoiceMenuTestAccess::push(*f.menu, 23);
    QCOMPARE(f.menu->Get_Index(), 1);  // "x" counts as 0: the first item
}

QTEST_GUILESS_MAIN(TestVoiceMenuNavigation)
#include "TestVoiceMenuNavigation.moc"
