// Where the program keeps its files: command line first, then the
// environment, then the XDG locations; resources from the user's folder first.

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "base/AppPaths.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

class TestAppPaths : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
    void resources();
    void installedNextToExecutable();
};

void TestAppPaths::resolve_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("expectedData");
    QTest::addColumn<QString>("expectedConfig");
    QTest::newRow("defaults") << QString() << QString()
                              << qEnvironmentVariable("XDG_DATA_HOME") + u"/yomimaru"_s
                              << qEnvironmentVariable("XDG_CONFIG_HOME") + u"/yomimaru"_s;
    QTest::newRow("environment") << QString() << u"/tmp/env"_s << u"/tmp/env/data"_s << u"/tmp/env/config"_s;
    QTest::newRow("option wins") << u"/tmp/opt"_s << u"/tmp/env"_s << u"/tmp/opt/data"_s
                                 << u"/tmp/opt/config"_s;
}

void TestAppPaths::resolve()
{
    QFETCH(QString, option);
    QFETCH(QString, environment);
    QFETCH(QString, expectedData);
    QFETCH(QString, expectedConfig);
    if (environment.isEmpty()) {
        qunsetenv("YOMIMARU_DATA_DIR");
        qunsetenv("YOMIMARU_CONFIG_DIR");
    } else {
        qputenv("YOMIMARU_DATA_DIR", (environment + u"/data"_s).toUtf8());
        qputenv("YOMIMARU_CONFIG_DIR", (environment + u"/config"_s).toUtf8());
    }
    const AppPaths paths = AppPaths::resolve(option.isEmpty() ? QString() : option + u"/data"_s,
                                             option.isEmpty() ? QString() : option + u"/config"_s);
    QCOMPARE(paths.dataRoot(), expectedData);
    QCOMPARE(paths.configDir(), expectedConfig);
    qunsetenv("YOMIMARU_DATA_DIR");
    qunsetenv("YOMIMARU_CONFIG_DIR");
}

void TestAppPaths::resources()
{
    QTemporaryDir dir;
    AppPaths paths(dir.filePath(u"data"_s), dir.filePath(u"config"_s));
    // Without a copy of its own, the user gets the shipped file.
    QCOMPARE(paths.findResource(u"readconv.txt"_s),
             QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/readconv.txt"_s);
    QVERIFY(TestData::writeFile(dir.filePath(u"data/readconv.txt"_s), "/a/b/\r\n"));
    QCOMPARE(paths.findResource(u"readconv.txt"_s), dir.filePath(u"data/readconv.txt"_s));
    QVERIFY(paths.findResource(u"no-such-file.txt"_s).isEmpty());
    // A folder of that name is no resource.
    QVERIFY(QDir().mkpath(dir.filePath(u"data/help.txt"_s)));
    QVERIFY(paths.findResource(u"help.txt"_s) != dir.filePath(u"data/help.txt"_s));
    QCOMPARE(paths.dataFile(u"board.list"_s), dir.filePath(u"data/board.list"_s));
}

// An installation moved to another prefix (a .deb in /usr, a copy in /opt)
// finds its shared files from where its executable is, not from where it was
// configured to go.
void TestAppPaths::installedNextToExecutable()
{
    QTemporaryDir prefix;
    QVERIFY(QDir().mkpath(prefix.filePath(u"bin"_s)));
    QVERIFY(TestData::writeFile(prefix.filePath(u"share/yomimaru/only-installed.txt"_s), "x\r\n"));
    QCOMPARE(AppPaths::installedResourceDir(prefix.filePath(u"bin"_s)), prefix.filePath(u"share/yomimaru"_s));
    QVERIFY(AppPaths::installedResourceDir(QString()).isEmpty());

    QTemporaryDir dir;
    AppPaths paths(dir.filePath(u"data"_s), dir.filePath(u"config"_s));
    // The running test's own folder is searched right after the data root.
    const QStringList dirs = paths.resourceDirs();
    QVERIFY(dirs.size() >= 3);
    QCOMPARE(dirs.at(0), dir.filePath(u"data"_s));
    QCOMPARE(dirs.at(1), AppPaths::installedResourceDir(QCoreApplication::applicationDirPath()));

    // Through the real look-up: a file only in the executable's share folder is found there.
    paths.setResourceDirs(
        {dir.filePath(u"data"_s), AppPaths::installedResourceDir(prefix.filePath(u"bin"_s))});
    QCOMPARE(paths.findResource(u"only-installed.txt"_s),
             prefix.filePath(u"share/yomimaru/only-installed.txt"_s));
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "TestAppPaths.moc"
