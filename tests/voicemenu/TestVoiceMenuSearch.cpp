// Searching by voice: how a key becomes a pattern (literal, or expanded by
// the real romaji dictionary), and the find command in the running menu over
// the sample boards: messages of the open thread, all boards, a menu's items,
// and what Enter does on a result.

#include "VoiceMenuFixture.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/ThreadData.h"
#include "voicemenu/SearchPattern.h"

namespace {

const QString kMigemoDict = QString::fromLatin1(Migemo::kSystemDictionary);

// Opens thread `thread` of the board なんでも雑談 in the reading menu.
bool openThread(Fixture& f, int thread)
{
    if (!f.start() || !f.menu->Initialize()) {
        return false;
    }
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s,
           u"select:"_s + QString::number(thread), u"enter"_s});
    return f.menu->Get_MenuNo() == VoiceMenu::ReadingMenu;
}

}  // namespace

class TestVoiceMenuSearch : public QObject
{
    Q_OBJECT

private slots:
    void literalPattern_data();
    void literalPattern();
    void singleByteKey_data();
    void singleByteKey();
    void migemoPattern_data();
    void migemoPattern();

    void search_data();
    void search();
    void threeMessageHitsThenEnterReadsFromTheSecond();
    void emptyAnswerRepeatsTheLastKey();
    void cancelLeavesEverythingAsItWas();
    void oneBoardHitOpensItsCategory();
    void enterOnABoardResultOpensTheBoard();
    void bookmarkAndDeleteThroughResults();
    void fullWidthKeyNeverReachesTheDictionary();
    void refusedOrRunawayPatternFallsBackToLiteral_data();
    void refusedOrRunawayPatternFallsBackToLiteral();
    void hugeKeysAreBounded_data();
    void hugeKeysAreBounded();
};

void TestVoiceMenuSearch::literalPattern_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::newRow("a.b finds a.b") << u"a.b"_s << u"xa.by"_s << true;
    QTest::newRow("a.b not axb") << u"a.b"_s << u"axb"_s << false;
    QTest::newRow("(1) finds (1)") << u"(1)"_s << u"第(1)項"_s << true;
    QTest::newRow("(1) not 1") << u"(1)"_s << u"第1項"_s << false;
    QTest::newRow("brackets") << u"[ab]"_s << u"x[ab]"_s << true;
    QTest::newRow("brackets not a class") << u"[ab]"_s << u"a"_s << false;
    QTest::newRow("braces") << u"a{2}"_s << u"a{2}"_s << true;
    QTest::newRow("braces not a count") << u"a{2}"_s << u"aa"_s << false;
    QTest::newRow("backslash") << u"c:\\d"_s << u"c:\\d"_s << true;
    QTest::newRow("backslash not a digit class") << u"c:\\d"_s << u"c:1"_s << false;
    QTest::newRow("bar") << u"a|b"_s << u"a|b"_s << true;
    QTest::newRow("bar not alternation") << u"a|b"_s << u"b"_s << false;
    QTest::newRow("plus and question") << u"c++?"_s << u"c++?"_s << true;
    QTest::newRow("plus not repetition") << u"c++?"_s << u"ccc"_s << false;
    QTest::newRow("slash") << u"1/2"_s << u"1/2"_s << true;
    QTest::newRow("dollar and caret") << u"$^"_s << u"a$^b"_s << true;
    QTest::newRow("caret not an anchor") << u"^a"_s << u"abc"_s << false;
    QTest::newRow("star") << u"a*"_s << u"a*"_s << true;
    QTest::newRow("star not repetition") << u"a*"_s << u"b"_s << false;
    QTest::newRow("metacharacters only") << u"()[]{}\\|.+?/$^*"_s << u"x()[]{}\\|.+?/$^*y"_s << true;
    QTest::newRow("metacharacters only not empty") << u"()[]{}\\|.+?/$^*"_s << u""_s << false;
}

void TestVoiceMenuSearch::literalPattern()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    const VbRegExp pattern(SearchPattern::literal(key), false, false);
    QVERIFY2(pattern.isValid(), qPrintable(pattern.pattern()));
    QCOMPARE(pattern.Test(text), matches);
    QVERIFY(SearchPattern::hasMetacharacter(key));
}

void TestVoiceMenuSearch::singleByteKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("singleByte");
    QTest::newRow("romaji") << u"kyou"_s << true;
    QTest::newRow("half-width katakana") << u"ｷｮｳ"_s << true;
    QTest::newRow("hiragana") << u"きょう"_s << false;
    QTest::newRow("full-width romaji") << u"ｋｙｏｕ"_s << false;
    QTest::newRow("one full-width character at the end") << u"kyou。"_s << false;
    QTest::newRow("emoji") << u"a\U0001F600"_s << false;
    QTest::newRow("latin-1 letter") << u"caf\u00e9"_s << false;
}

void TestVoiceMenuSearch::singleByteKey()
{
    QFETCH(QString, key);
    QFETCH(bool, singleByte);
    QCOMPARE(SearchPattern::isSingleByte(key), singleByte);
}

void TestVoiceMenuSearch::migemoPattern_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::newRow("kyou finds 今日") << u"kyou"_s << u"今日あったこと"_s << true;
    QTest::newRow("kyou finds きょう") << u"kyou"_s << u"きょうの天気"_s << true;
    QTest::newRow("kyou finds kyou") << u"kyou"_s << u"say kyou"_s << true;
    QTest::newRow("kyou not 明日") << u"kyou"_s << u"明日の天気"_s << false;
    QTest::newRow("nihon finds 日本") << u"nihon"_s << u"日本の話"_s << true;
    QTest::newRow("nihon finds にほん") << u"nihon"_s << u"にほんご"_s << true;
    QTest::newRow("nihon not 中国") << u"nihon"_s << u"中国の話"_s << false;
}

void TestVoiceMenuSearch::migemoPattern()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    Migemo migemo;
    QVERIFY(migemo.open(kMigemoDict));
    const QString answer = migemo.query(key);
    // The dictionary's whole answer is the pattern: its closing parenthesis
    // is its last character and must stay.
    QVERIFY2(answer.endsWith(u')'), qPrintable(answer));
    const VbRegExp pattern(SearchPattern::fromMigemo(answer), false, false);
    QVERIFY2(pattern.isValid(), qPrintable(pattern.pattern()));
    QCOMPARE(pattern.Test(text), matches);
}

// Each row: what the user does, whether the real dictionary is there, then
// the menu they end in, the item there and the last thing spoken.
void TestVoiceMenuSearch::search_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("dictionary");
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("spoken");

    const QStringList toFontSizes{u"jumpConfig"_s, u"push:30"_s};
    QTest::newRow("one item hit lands on it") << (toFontSizes + QStringList{u"find:48"_s}) << false
                                              << int(VoiceMenu::FontSizeMenu) << 15 << u"48"_s;
    QTest::newRow("several item hits") << (toFontSizes + QStringList{u"find:1"_s}) << false
                                       << int(VoiceMenu::SearchResultMenu) << 0 << u"6件です"_s;
    QTest::newRow("a dot is no wildcard") << (toFontSizes + QStringList{u"find:1."_s}) << false
                                          << int(VoiceMenu::FontSizeMenu) << 4 << u"見つかりません"_s;
    QTest::newRow("a dot is no wildcard with the dictionary")
        << (toFontSizes + QStringList{u"find:1."_s}) << true << int(VoiceMenu::FontSizeMenu) << 4
        << u"見つかりません"_s;
    QTest::newRow("parentheses are no group") << (toFontSizes + QStringList{u"find:(1)"_s}) << true
                                              << int(VoiceMenu::FontSizeMenu) << 4 << u"見つかりません"_s;
    QTest::newRow("moving in the results") << (toFontSizes + QStringList{u"find:1"_s, u"down"_s, u"down"_s})
                                           << false << int(VoiceMenu::SearchResultMenu) << 2 << u"2,11"_s;
    QTest::newRow("enter on a result acts in the origin")
        << QStringList{u"find:ブック"_s, u"select:2"_s, u"enter"_s} << false
        << int(VoiceMenu::ItaBookmarkMenu) << 0 << u"板ブックマーク選択メニューです"_s;
    QTest::newRow("nothing found stays in the origin")
        << QStringList{u"find:存在しない"_s} << false << int(VoiceMenu::MainMenu) << 0 << u"見つかりません"_s;
    QTest::newRow("romaji finds a board") << QStringList{u"jumpCategory"_s, u"find:hokkaidou"_s} << true
                                          << int(VoiceMenu::BoardMenu) << 2 << u"2,北海道"_s;
    QTest::newRow("no search in the results menu")
        << (toFontSizes + QStringList{u"find:1"_s, u"find:48"_s}) << false << int(VoiceMenu::SearchResultMenu)
        << 0 << u"6件です"_s;
}

void TestVoiceMenuSearch::search()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, dictionary);
    QFETCH(int, menu);
    QFETCH(int, item);
    QFETCH(QString, spoken);
    Fixture f;
    Migemo migemo;
    if (dictionary) {
        QVERIFY(migemo.open(kMigemoDict));
        f.host.migemo = &migemo;
    }
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run(steps);
    QCOMPARE(f.menu->Get_MenuNo(), menu);
    QCOMPARE(f.menu->Get_Index(), item);
    QCOMPARE(f.engine.texts().constLast(), spoken);
}

void TestVoiceMenuSearch::threeMessageHitsThenEnterReadsFromTheSecond()
{
    Fixture f;
    QVERIFY(openThread(f, 3));
    QVERIFY(f.menu->IsReadable());
    const int updates = f.host.listUpdates;
    f.run({u"find:いい"_s});
    QVERIFY(!f.menu->IsReadable());
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::SearchResultMenu);
    QCOMPARE(f.engine.texts().constLast(), u"3件です"_s);
    QCOMPARE(f.menu->Get_ItemNum(), 3);
    QVERIFY(f.host.listUpdates > updates);
    f.run({u"down"_s, u"down"_s});
    QVERIFY2(f.engine.texts().constLast().contains(u"いい人だ"_s), qPrintable(f.engine.texts().constLast()));
    f.run({u"enter"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::ReadingMenu);
    QCOMPARE(f.engine.texts().constLast(), u"読み上げ開始"_s);
    QVERIFY(f.menu->IsReadable());
    QVERIFY(f.menu->Read_Message(false));
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), 6);
}

void TestVoiceMenuSearch::emptyAnswerRepeatsTheLastKey()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpConfig"_s, u"push:30"_s, u"find:2"_s});
    QCOMPARE(f.engine.texts().constLast(), u"7件です"_s);
    const QStringList first{f.menu->Get_Item(1), f.menu->Get_Item(7)};
    f.run({u"back"_s, u"find:"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::SearchResultMenu);
    QCOMPARE(f.engine.texts().constLast(), u"7件です"_s);
    QCOMPARE(QStringList({f.menu->Get_Item(1), f.menu->Get_Item(7)}), first);
    QCOMPARE(f.host.findDialogs, 2);
}

void TestVoiceMenuSearch::cancelLeavesEverythingAsItWas()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpConfig"_s, u"push:30"_s, u"select:3"_s, u"findCancel"_s});
    QCOMPARE(f.host.findDialogs, 1);
    QCOMPARE(f.engine.texts().constLast(), u"キャンセル"_s);
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::FontSizeMenu);
    QCOMPARE(f.menu->Get_Index(), 3);
}

void TestVoiceMenuSearch::oneBoardHitOpensItsCategory()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"find:アスキー"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::BoardMenu);
    QCOMPARE(f.menu->Get_Item(f.menu->Get_Index()), u"アスキーアート"_s);
    QVERIFY(f.menu->Get_CategoryIdx() > 0);
    QCOMPARE(f.menu->boardList().Get_Category(f.menu->Get_CategoryIdx()), u"趣味"_s);
    QCOMPARE(f.engine.texts().constLast(), QString::number(f.menu->Get_Index()) + u",アスキーアート"_s);
    // Back leads to the category menu, on the category of the board.
    f.run({u"back"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::CategoryMenu);
    QCOMPARE(f.menu->Get_Item(f.menu->Get_Index()), u"趣味"_s);
}

void TestVoiceMenuSearch::enterOnABoardResultOpensTheBoard()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"find:雑談"_s});
    QCOMPARE(f.engine.texts().constLast(), u"2件です"_s);
    f.run({u"select:2"_s});
    QCOMPARE(f.engine.texts().constLast(), u"2,雑談：読み上げソフト"_s);
    f.run({u"enter"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::ThreadMenu);
    QCOMPARE(f.menu->boardList().Get_Category(f.menu->Get_CategoryIdx()), u"雑談"_s);
    f.run({u"back"_s});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::BoardMenu);
    QCOMPARE(f.menu->Get_Item(f.menu->Get_Index()), u"読み上げソフト"_s);
}

// A double Enter on a board found among all boards bookmarks that board;
// D on a result found among the board bookmarks removes that bookmark.
void TestVoiceMenuSearch::bookmarkAndDeleteThroughResults()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"find:雑談"_s, u"select:2"_s});
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"板ブックマークに登録しました。"_s);
    f.run({u"select:1"_s});
    f.menu->Special();
    QCOMPARE(f.menu->itaBookmarks().Get_Num(), 2);
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::SearchResultMenu);
    f.run({u"jumpCategory"_s, u"find:ニュース"_s, u"select:2"_s});
    f.menu->Special();
    const QStringList bookmarked{QString(), u"読み上げソフト"_s, u"なんでも雑談"_s, u"のんびりニュース"_s};
    QCOMPARE(f.menu->itaBookmarks().Get_ItemTexts(), bookmarked);

    f.run({u"jumpIta"_s, u"find:ソフト"_s});
    // One hit lands on the bookmark itself.
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::ItaBookmarkMenu);
    QCOMPARE(f.menu->Get_Index(), 1);
    f.run({u"find:ん"_s});
    QCOMPARE(f.engine.texts().constLast(), u"2件です"_s);
    f.run({u"select:2"_s});
    f.menu->Delete();
    QVERIFY2(f.engine.texts().constLast().endsWith(u"指定の板ブックマークを削除しました。"_s),
             qPrintable(f.engine.texts().constLast()));
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::ItaBookmarkMenu);
    QCOMPARE(f.menu->itaBookmarks().Get_ItemTexts(), bookmarked.mid(0, 3));
}

void TestVoiceMenuSearch::fullWidthKeyNeverReachesTheDictionary()
{
    Fixture f;
    Migemo migemo;
    QVERIFY(migemo.open(kMigemoDict));
    f.host.migemo = &migemo;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"find:ｈｏｋｋａｉｄｏｕ"_s, u"find:hokkaidou北"_s});
    QVERIFY(f.host.migemoKeys.isEmpty());
    f.run({u"jumpCategory"_s, u"find:hokkaidou"_s});
    QCOMPARE(f.host.migemoKeys, QStringList{u"hokkaidou"_s});
}

void TestVoiceMenuSearch::refusedOrRunawayPatternFallsBackToLiteral_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("refused") << u"(((kyou"_s;
    QTest::newRow("runaway") << u"(.*.*)*(@|#)"_s;
}

// The key as written finds in the 1000-message thread what it finds without
// a dictionary, whatever the dictionary answered.
void TestVoiceMenuSearch::refusedOrRunawayPatternFallsBackToLiteral()
{
    QFETCH(QString, answer);
    Fixture plain;
    QVERIFY(openThread(plain, 1));
    plain.run({u"find:1000"_s});
    const QString expected = plain.engine.texts().constLast();
    QVERIFY2(expected.endsWith(u"件です"_s), qPrintable(expected));

    Fixture f;
    f.host.migemoAnswer = answer;
    QVERIFY(openThread(f, 1));
    f.run({u"find:1000"_s});
    QCOMPARE(f.host.migemoKeys, QStringList{u"1000"_s});
    QCOMPARE(f.engine.texts().constLast(), expected);
}

void TestVoiceMenuSearch::hugeKeysAreBounded_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("dictionary");
    QTest::newRow("10,000 romaji characters") << QString(10000, u'a') << true;
    QTest::newRow("10,000 kana characters") << QString(10000, u'あ') << true;
    QTest::newRow("metacharacters only") << u"()[]{}\\|.+?/$^*"_s.repeated(700) << true;
}

void TestVoiceMenuSearch::hugeKeysAreBounded()
{
    QFETCH(QString, key);
    QFETCH(bool, dictionary);
    Fixture f;
    Migemo migemo;
    if (dictionary) {
        QVERIFY(migemo.open(kMigemoDict));
        f.host.migemo = &migemo;
    }
    QVERIFY(openThread(f, 1));
    f.run({u"find:"_s + key});
    QCOMPARE(f.menu->Get_MenuNo(), VoiceMenu::ReadingMenu);
    QCOMPARE(f.engine.texts().constLast(), u"見つかりません"_s);
}

QTEST_GUILESS_MAIN(TestVoiceMenuSearch)
#include "TestVoiceMenuSearch.moc"
