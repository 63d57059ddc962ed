// Finding the default browser and mailer, as the link
// commands use it when handing an address to the desktop fails.

#include <QTemporaryDir>
#include <QTest>

#include "support/TestData.h"
#include "voicemenu/DefaultApps.h"

using namespace Qt::StringLiterals;

class TestDefaultApps : public QObject
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

void TestDefaultApps::init()
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

void TestDefaultApps::registeredCommand_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("command");
    QTest::newRow("http") << u"http"_s << u"/usr/bin/browser --new-window %1"_s;
    QTest::newRow("mailto without a field code") << u"mailto"_s << u"mailer --compose %s"_s;
    QTest::newRow("upper-case scheme") << u"HTTP"_s << u"/usr/bin/browser --new-window %1"_s;
    QTest::newRow("nothing registered") << u"gopher"_s << QString();
    QTest::newRow("empty scheme") << QString() << QString();
}

void TestDefaultApps::registeredCommand()
{
    QFETCH(QString, scheme);
    QFETCH(QString, command);
    DefaultApps apps;
    apps.setSearchDirs({m_dir->filePath(u"config"_s)},
                       {m_dir->filePath(u"data"_s), m_dir->filePath(u"system"_s)});
    QCOMPARE(apps.commandForScheme(scheme), command);
    if (scheme == u"http"_s) {
        QCOMPARE(apps.browserCommand(), command);
    } else if (scheme == u"mailto"_s) {
        QCOMPARE(apps.mailerCommand(), command);
    }
}

void TestDefaultApps::commandFor_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("placeholder") << u"browser %1 --x"_s << u"browser http://a/ --x"_s;
    QTest::newRow("no placeholder appends") << u"mailer --compose"_s << u"mailer --compose http://a/"_s;
}

void TestDefaultApps::commandFor()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(DefaultApps::commandFor(command, u"http://a/"_s), expected);
}

QTEST_GUILESS_MAIN(TestDefaultApps)
#include "TestDefaultApps.moc"
