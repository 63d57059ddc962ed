// Finding the command registered for web and mail addresses, as the link
// commands use it when handing an address to the desktop fails.

#include <QTemporaryDir>
#include <QTest>

#include "support/TestData.h"
#include "voicemenu/CRegistry.h"

using namespace Qt::StringLiterals;

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void registeredCommand_data();
    void registeredCommand();
    void commandFor_data();
    void commandFor();

private:
    std::optional<QTemporaryDir> m_dir;
};

void TestRegistry::init()
{
    QVERIFY(m_dir.emplace().isValid());
    const QString config = m_dir->filePath(u"config"_s);
    const QString data = m_dir->filePath(u"data"_s);
    const QString system = m_dir->filePath(u"system"_s);
    // The user's choice for http wins over the system's; mailto is only in the
    // system's cache of handlers; a listed entry whose file is gone is passed over.
    TestData::writeFile(config + u"/mimeapps.list"_s,
                        "[Added Associations]\nx-scheme-handler/http=other.desktop;\n"
                        "[Default Applications]\nx-scheme-handler/http=gone.desktop;browser.desktop;\n");
    TestData::writeFile(system + u"/applications/mimeapps.list"_s,
                        "[Default Applications]\nx-scheme-handler/http=other.desktop\n");
    TestData::writeFile(data + u"/applications/browser.desktop"_s,
                        "[Desktop Entry]\nName=Browser\nExec=/usr/bin/browser --new-window %U\n"
                        "[Desktop Action private]\nExec=/usr/bin/browser --private %u\n");
    TestData::writeFile(system + u"/applications/other.desktop"_s, "[Desktop Entry]\nExec=other %u\n");
    TestData::writeFile(system + u"/applications/mailer.desktop"_s,
                        "[Desktop Entry]\nExec=mailer --compose %%s %i\n");
    TestData::writeFile(system + u"/applications/mimeinfo.cache"_s,
                        "[MIME Cache]\nx-scheme-handler/mailto=mailer.desktop;\n");
}

void TestRegistry::registeredCommand_data()
{
    QTest::addColumn<QString>("sectionKey");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("value");
    QTest::newRow("http") << u"\\http\\shell\\open\\command"_s << true
                          << u"/usr/bin/browser --new-window %1"_s;
    QTest::newRow("mailto without a field code")
        << u"\\mailto\\shell\\open\\command"_s << true << u"mailer --compose %s"_s;
    QTest::newRow("nothing registered") << u"\\gopher\\shell\\open\\command"_s << false << u"DEFAULT"_s;
    QTest::newRow("empty key") << QString() << false << u"DEFAULT"_s;
}

void TestRegistry::registeredCommand()
{
    QFETCH(QString, sectionKey);
    QFETCH(bool, exists);
    QFETCH(QString, value);
    CRegistry reg;
    reg.setSearchDirs({m_dir->filePath(u"config"_s)},
                      {m_dir->filePath(u"data"_s), m_dir->filePath(u"system"_s)});
    reg.SectionKey = sectionKey;
    reg.Default = u"DEFAULT"_s;
    QCOMPARE(reg.KeyExists(), exists);
    QCOMPARE(reg.Value(), value);
    QCOMPARE(reg.ValueType.isEmpty(), !exists);
}

void TestRegistry::commandFor_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("placeholder") << u"browser %1 --x"_s << u"browser http://a/ --x"_s;
    QTest::newRow("no placeholder appends") << u"mailer --compose"_s << u"mailer --compose http://a/"_s;
}

void TestRegistry::commandFor()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(CRegistry::commandFor(command, u"http://a/"_s), expected);
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "TestRegistry.moc"
