// The help file: how topics and subtopics are taken apart, what a look-up by
// menu or dialog name returns, which files are refused, and that the shipped
// help.txt answers every name the program asks for.

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "base/AppPaths.h"
#include "base/TextCodec.h"
#include "support/TestData.h"
#include "voicemenu/HelpMenu.h"
#include "voicemenu/MenuNames.h"

using namespace Qt::StringLiterals;

namespace {

// Help text written with LF line ends in the tests; `lineEnd` replaces them.
QByteArray utf8File(const QString& text, const QString& lineEnd)
{
    QString t = text;
    t.replace(u'\n', lineEnd);
    return t.toUtf8();
}

const QString kTwoMenus = u"■メニューのヘルプ\n"
                          "\n"
                          "●メイン\n"
                          "\n"
                          "メインの一行目。\n"
                          "メインの二行目。\n"
                          "●カテゴリー選択\n"
                          "\n"
                          "カテゴリーの説明。\n"_s;

}  // namespace

class TestHelpMenu : public QObject
{
    Q_OBJECT

private slots:
    void lookUp_data();
    void lookUp();
    void topicsAndSubtopicsCountFromOne();
    void refused_data();
    void refused();
    void failureForgetsEarlierContent();
    void shiftJisAndUtf8Files();
    void foundAmongResources();
    void menuNames();
    void shippedFileParses();
    void shippedMenuHelp_data();
    void shippedMenuHelp();
    void shippedDialogHelp_data();
    void shippedDialogHelp();

private:
    HelpMenu load(const QByteArray& bytes);

    QTemporaryDir m_dir;
};

HelpMenu TestHelpMenu::load(const QByteArray& bytes)
{
    const QString path = m_dir.filePath(u"help.txt"_s);
    if (!TestData::writeFile(path, bytes)) {
        qWarning("cannot write %s", qPrintable(path));
    }
    return HelpMenu(path);
}

void TestHelpMenu::lookUp_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("lineEnd");
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QString menuMain = u"\r\nメインの一行目。\r\nメインの二行目。"_s;
    for (const QString& end : {u"\r\n"_s, u"\n"_s, u"\r"_s}) {
        const QByteArray tag = end == u"\r\n"_s ? "CR LF" : end == u"\n"_s ? "LF" : "CR";
        QTest::addRow("main subtopic, %s", tag.constData())
            << kTwoMenus << end << false << u"メイン"_s << menuMain;
        QTest::addRow("last subtopic runs to the end, %s", tag.constData())
            << kTwoMenus << end << false << u"カテゴリー選択"_s << u"\r\nカテゴリーの説明。"_s;
    }
    QTest::newRow("text before the first topic is ignored")
        << u"前置きの文。\n●メイン\n\n偽物。\n\n■メニューのヘルプ\n\n●メイン\n\n本物。\n"_s << u"\r\n"_s
        << false << u"メイン"_s << u"\r\n本物。"_s;
    QTest::newRow("text between topic title and first subtopic is ignored")
        << u"■メニューのヘルプ\n\n説明の文。\n\n●メイン\n\n本物。\n"_s << u"\r\n"_s << false << u"メイン"_s
        << u"\r\n本物。"_s;
    QTest::newRow("trailing empty lines are removed")
        << u"■メニューのヘルプ\n\n●メイン\n\n一行目。\n\n二行目。\n\n\n\n"_s << u"\r\n"_s << false
        << u"メイン"_s << u"\r\n一行目。\r\n\r\n二行目。"_s;
    QTest::newRow("empty text") << u"■メニューのヘルプ\n\n●メイン\n\n\n\n●ヘルプ\n\n説明。\n"_s << u"\r\n"_s
                                << false << u"メイン"_s << QString();
    QTest::newRow("the later menu-help topic is used")
        << u"■メニューのヘルプ\n\n●メイン\n\n古い説明。\n■メニューのヘルプ\n\n●メイン\n\n新しい説明。\n"_s
        << u"\r\n"_s << false << u"メイン"_s << u"\r\n新しい説明。"_s;
    QTest::newRow("a name only in the earlier menu-help topic is gone")
        << u"■メニューのヘルプ\n\n●終了\n\n古い説明。\n■メニューのヘルプ\n\n●メイン\n\n新しい説明。\n"_s
        << u"\r\n"_s << false << u"終了"_s << QString();
    QTest::newRow("unknown menu name") << kTwoMenus << u"\r\n"_s << false << u"板選択"_s << QString();
    QTest::newRow("names match exactly") << kTwoMenus << u"\r\n"_s << false << u"メイン "_s << QString();
    QTest::newRow("empty name") << kTwoMenus << u"\r\n"_s << false << QString() << QString();
    QTest::newRow("menu help is not searched for dialog names")
        << kTwoMenus << u"\r\n"_s << true << u"メイン"_s << QString();
    QTest::newRow("no menu-help topic")
        << u"■使い方\n\n●メイン\n\n説明。\n"_s << u"\r\n"_s << false << u"メイン"_s << QString();
    QTest::newRow("dialog help") << u"■ダイアログのヘルプ\n\n●検索ダイアログ\n\n言葉を入れます。\n"_s
                                        + kTwoMenus
                                 << u"\r\n"_s << true << u"検索ダイアログ"_s << u"\r\n言葉を入れます。"_s;
    QTest::newRow("a mark inside a sentence is text")
        << u"■メニューのヘルプ\n\n●メイン\n\n記号の■と●も読みます。\n"_s << u"\r\n"_s << false << u"メイン"_s
        << u"\r\n記号の■と●も読みます。"_s;
}

void TestHelpMenu::lookUp()
{
    QFETCH(QString, file);
    QFETCH(QString, lineEnd);
    QFETCH(bool, dialog);
    QFETCH(QString, name);
    QFETCH(QString, expected);

    HelpMenu help = load(utf8File(file, lineEnd));
    QVERIFY(help.Initialize());
    const QString text = dialog ? help.Get_DlgHelp(name) : help.Get_MenuHelp(name);
    QCOMPARE(text, expected);
}

void TestHelpMenu::topicsAndSubtopicsCountFromOne()
{
    HelpMenu help = load(utf8File(u"■はじめに\n\n●起動\n\n起動します。\n"_s + kTwoMenus, u"\r\n"_s));
    QVERIFY(help.Initialize());

    QCOMPARE(help.topicCount(), 2);
    QCOMPARE(help.Get_Tops(), (QStringList{QString(), u"はじめに"_s, u"メニューのヘルプ"_s}));
    QCOMPARE(help.Get_Top(2), u"メニューのヘルプ"_s);
    QCOMPARE(help.Get_Subs(2), (QStringList{QString(), u"メイン"_s, u"カテゴリー選択"_s}));
    QCOMPARE(help.Get_Text(1, 1), u"\r\n起動します。"_s);
    QCOMPARE(help.Get_Text(2, 2), u"\r\nカテゴリーの説明。"_s);

    // Out of range gives nothing, never a neighbour's text.
    QCOMPARE(help.Get_Top(0), QString());
    QCOMPARE(help.Get_Top(3), QString());
    QCOMPARE(help.Get_Subs(0), QStringList{QString()});
    QCOMPARE(help.Get_Subs(3), QStringList{QString()});
    QCOMPARE(help.Get_Text(1, 0), QString());
    QCOMPARE(help.Get_Text(1, 2), QString());
    QCOMPARE(help.Get_Text(0, 1), QString());
    QCOMPARE(help.Get_Text(-1, -1), QString());
}

void TestHelpMenu::refused_data()
{
    QTest::addColumn<QString>("file");

    QTest::newRow("topic title not followed by an empty line") << u"■メニューのヘルプ\n●メイン\n説明。\n"_s;
    QTest::newRow("topic title at the end of the file") << kTwoMenus + u"■おわり\n"_s;
    QTest::newRow("subtopic title not followed by an empty line")
        << u"■メニューのヘルプ\n\n●メイン\n説明。\n"_s;
    QTest::newRow("bad subtopic after good ones") << kTwoMenus + u"●終了\n説明。\n"_s;
}

void TestHelpMenu::refused()
{
    QFETCH(QString, file);
    HelpMenu help = load(utf8File(file, u"\r\n"_s));
    QVERIFY(!help.Initialize());
    QCOMPARE(help.topicCount(), 0);
    QCOMPARE(help.Get_MenuHelp(u"メイン"_s), QString());
}

void TestHelpMenu::failureForgetsEarlierContent()
{
    HelpMenu help = load(utf8File(kTwoMenus, u"\n"_s));
    QVERIFY(help.Initialize());
    QVERIFY(!help.Get_MenuHelp(u"メイン"_s).isEmpty());

    QVERIFY(QFile::remove(help.filePath()));
    QVERIFY(!help.Initialize());
    QCOMPARE(help.Get_Tops(), QStringList{QString()});
    QCOMPARE(help.Get_MenuHelp(u"メイン"_s), QString());

    QVERIFY(!HelpMenu().Initialize());
    QVERIFY(!HelpMenu(m_dir.path()).Initialize());

    QByteArray huge(HelpMenu::kMaxFileSize + 1, 'a');
    huge.prepend(utf8File(kTwoMenus, u"\n"_s));
    HelpMenu tooLarge = load(huge);
    QVERIFY(!tooLarge.Initialize());
}

void TestHelpMenu::shiftJisAndUtf8Files()
{
    const QByteArray sjis = TestData::bytes(u"voicemenu/help_sjis.txt"_s);
    QVERIFY(!sjis.isEmpty());
    const QString mainText =
        u"\r\nメインメニューでは上下の矢印キーで項目を選びます。\r\n漢字と、かなと、記号「※」も読めます。"_s;

    HelpMenu fromSjis(TestData::path(u"voicemenu/help_sjis.txt"_s));
    QVERIFY(fromSjis.Initialize());
    QCOMPARE(fromSjis.Get_MenuHelp(u"メイン"_s), mainText);
    QCOMPARE(fromSjis.Get_MenuHelp(u"カテゴリー選択"_s), u"\r\nカテゴリーを選びます。"_s);
    QCOMPARE(fromSjis.Get_DlgHelp(u"検索ダイアログ"_s), u"\r\n探したい言葉を入力します。"_s);

    // The same help saved as UTF-8 with a byte-order mark reads the same.
    const QString decoded = TextCodec::fromCp932(sjis);
    QVERIFY(decoded.contains(u"漢字と、かなと"_s));
    HelpMenu fromUtf8 = load("\xEF\xBB\xBF" + decoded.toUtf8());
    QVERIFY(fromUtf8.Initialize());
    QCOMPARE(fromUtf8.Get_Tops(), fromSjis.Get_Tops());
    QCOMPARE(fromUtf8.Get_MenuHelp(u"メイン"_s), mainText);
    QCOMPARE(fromUtf8.Get_DlgHelp(u"検索ダイアログ"_s), fromSjis.Get_DlgHelp(u"検索ダイアログ"_s));
}

void TestHelpMenu::foundAmongResources()
{
    QTemporaryDir data;
    QTemporaryDir shipped;
    QVERIFY(TestData::writeFile(shipped.filePath(u"help.txt"_s), utf8File(kTwoMenus, u"\n"_s)));
    AppPaths paths(data.path(), data.path());
    paths.setResourceDirs({data.path(), shipped.path()});

    HelpMenu help(paths);
    QCOMPARE(help.filePath(), shipped.filePath(u"help.txt"_s));
    QVERIFY(help.Initialize());

    AppPaths nowhere(data.path(), data.path());
    nowhere.setResourceDirs({data.path()});
    QVERIFY(!HelpMenu(nowhere).Initialize());
}

void TestHelpMenu::menuNames()
{
    QCOMPARE(int(MenuNames::kNames.size()), 46);
    const QStringList names = MenuNames::all();
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 46);
    // Positions that other code relies on by number.
    QCOMPARE(MenuNames::name(0), u"メイン"_s);
    QCOMPARE(MenuNames::name(5), u"ヘルプ"_s);
    QCOMPARE(MenuNames::name(19), u"ボリューム設定"_s);
    QCOMPARE(MenuNames::name(22), u"音声エンジン切替"_s);
    QCOMPARE(MenuNames::name(35), u"読み上げ"_s);
    QCOMPARE(MenuNames::name(38), u"ヘルプ読み上げ"_s);
    QCOMPARE(MenuNames::name(-1), QString());
    QCOMPARE(MenuNames::name(39), u"あぼーん設定"_s);
    QCOMPARE(MenuNames::name(43), u"点字設定"_s);
    QCOMPARE(MenuNames::name(46), QString());
}

namespace {

HelpMenu shippedHelp()
{
    HelpMenu help(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/help.txt"_s);
    if (!help.Initialize()) {
        qWarning("the shipped help.txt does not parse");
    }
    return help;
}

}  // namespace

void TestHelpMenu::shippedFileParses()
{
    const HelpMenu help = shippedHelp();
    QVERIFY(help.topicCount() >= 6);
    const QStringList tops = help.Get_Tops();
    QVERIFY(tops.contains(u"メニューのヘルプ"_s));
    QVERIFY(tops.contains(u"ダイアログのヘルプ"_s));
    // A missing empty line after a title would swallow the text into the
    // title; every text is a spoken sentence that ends in 「。」.
    for (int t = 1; t <= help.topicCount(); ++t) {
        QVERIFY2(!help.Get_Top(t).contains(u'\n'), qPrintable(help.Get_Top(t)));
        const QStringList subs = help.Get_Subs(t);
        QVERIFY2(subs.size() > 1, qPrintable(help.Get_Top(t)));
        for (int s = 1; s < subs.size(); ++s) {
            QVERIFY2(!subs[s].contains(u'\n'), qPrintable(subs[s]));
            const QString text = help.Get_Text(t, s);
            QVERIFY2(text.startsWith(u"\r\n"_s) && text.size() > 2, qPrintable(subs[s]));
            QVERIFY2(text.endsWith(u'。'), qPrintable(subs[s]));
        }
    }
}

void TestHelpMenu::shippedMenuHelp_data()
{
    QTest::addColumn<QString>("name");
    for (QStringView name : MenuNames::kNames) {
        QTest::newRow(name.toUtf8().constData()) << name.toString();
    }
}

void TestHelpMenu::shippedMenuHelp()
{
    QFETCH(QString, name);
    static const HelpMenu help = shippedHelp();
    QVERIFY(!help.Get_MenuHelp(name).trimmed().isEmpty());
}

void TestHelpMenu::shippedDialogHelp_data()
{
    QTest::addColumn<QString>("name");
    for (QStringView name : HelpMenu::kDialogHelpNames) {
        QTest::newRow(name.toUtf8().constData()) << name.toString();
    }
}

void TestHelpMenu::shippedDialogHelp()
{
    QFETCH(QString, name);
    static const HelpMenu help = shippedHelp();
    QVERIFY(!help.Get_DlgHelp(name).trimmed().isEmpty());
}

QTEST_GUILESS_MAIN(TestHelpMenu)
#include "TestHelpMenu.moc"
