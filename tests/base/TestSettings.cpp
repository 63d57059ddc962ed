// The settings store: defaults on a first start, the index rules, write-through
// and hand-damaged files.

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "base/CSettings.h"
#include "base/SettingsStore.h"

using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:

    void init() { QVERIFY(m_dir.emplace().isValid()); }

    void defaultsOnEmptyStore_data();
    void defaultsOnEmptyStore();
    void outOfRangeIndexes();
    void writeThrough();
    void storedKeysAreTheNumberedNames();
    void namedValues();
    void handDamagedFile_data();
    void handDamagedFile();
    void listValueReadsBackAsText();
    void unwritableStore();

private:
    std::optional<QTemporaryDir> m_dir;
};

void TestSettings::defaultsOnEmptyStore_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    const QStringList expected = {u"10"_s, u"6"_s, u"5"_s,  u"1"_s, u"1"_s, u"1"_s, u"1"_s, u"1"_s,
                                  u"1"_s,  u"0"_s, u"1"_s,  u"0"_s, u"1"_s, u"0"_s, u"0"_s, u""_s,
                                  u"0"_s,  u"0"_s, u"0"_s,  u"1"_s, u"1"_s, u"2"_s, u"1"_s, u"0"_s,
                                  u"0"_s,  u"1"_s, u"11"_s, u"0"_s, u"0"_s};
    QCOMPARE(expected.size(), 29);
    for (int i = 1; i <= 29; ++i) {
        QTest::addRow("Setting%d", i) << i << expected.at(i - 1);
    }
}

void TestSettings::defaultsOnEmptyStore()
{
    QFETCH(int, index);
    QFETCH(QString, expected);
    SettingsStore store(m_dir->path());
    CSettings settings(store);
    QVERIFY(settings.InitInstance());
    QCOMPARE(settings.Get_(qint16(index)), expected);
    // A first start writes nothing by itself.
    QVERIFY(!store.contains(u"Config"_s, u"Setting"_s + QString::number(index)));
}

void TestSettings::outOfRangeIndexes()
{
    SettingsStore store(m_dir->path());
    CSettings settings(store);
    settings.InitInstance();
    for (const qint16 index : {qint16(0), qint16(30), qint16(-1), qint16(32767)}) {
        QCOMPARE(settings.Get_(index), u"1"_s);
        settings.Set_(index, u"9"_s);
        QCOMPARE(settings.Get_(index), u"1"_s);
    }
    QVERIFY(!store.contains(u"Config"_s, u"Setting0"_s));
    QVERIFY(!store.contains(u"Config"_s, u"Setting30"_s));
    QCOMPARE(settings.Get_(CSettings::ProxyServer), QString());
}

void TestSettings::writeThrough()
{
    {
        SettingsStore store(m_dir->path());
        CSettings settings(store);
        settings.InitInstance();
        settings.Set_(CSettings::SpeechSpeed, u"9"_s);
        settings.Set_(CSettings::ProxyServer, u"127.0.0.1:8080"_s);
        // Another reader of the same file sees the values before anything is closed.
        SettingsStore other(m_dir->path());
        CSettings second(other);
        second.InitInstance();
        QCOMPARE(second.Get_(CSettings::SpeechSpeed), u"9"_s);
        QCOMPARE(second.Get_(CSettings::ProxyServer), u"127.0.0.1:8080"_s);
        QCOMPARE(second.Get_(CSettings::SpeechVolume), u"10"_s);
    }
    SettingsStore reopened(m_dir->path());
    CSettings third(reopened);
    third.InitInstance();
    QCOMPARE(third.Get_(CSettings::SpeechSpeed), u"9"_s);
}

void TestSettings::unwritableStore()
{
    // The settings file's place is taken by a folder: no write can reach it,
    // even for root.
    const QString config = m_dir->filePath(u"config"_s);
    QVERIFY(QDir().mkpath(config + u"/yomimaru.ini"_s));
    SettingsStore store(config);
    CSettings settings(store);
    settings.InitInstance();
    QStringList told;
    settings.setWriteFailureHandler([&told](const QString& sentence) { told << sentence; });
    QVERIFY(!settings.Set_(CSettings::SpeechSpeed, u"9"_s));
    QVERIFY(!settings.Set_Named(QString::fromUtf16(CSettings::kCookie), u"c"_s));
    QVERIFY(!settings.Set_(CSettings::SpeechPitch, u"3"_s));
    // Told once for the run of failures, not at every write.
    QCOMPARE(told, QStringList{u"設定を保存できませんでした。"_s});
    // The value holds for this run all the same.
    QCOMPARE(settings.Get_(CSettings::SpeechSpeed), u"9"_s);
    QVERIFY(settings.Set_(0, u"x"_s));  // out of range: nothing to write

    // A writable store reports its writes as done.
    SettingsStore good(m_dir->filePath(u"good"_s));
    CSettings fine(good);
    fine.InitInstance();
    QVERIFY(fine.Set_(CSettings::SpeechSpeed, u"9"_s));
    QVERIFY(fine.Set_Named(QString::fromUtf16(CSettings::kCookie), u"c"_s));
}

void TestSettings::storedKeysAreTheNumberedNames()
{
    SettingsStore store(m_dir->path());
    CSettings settings(store);
    settings.InitInstance();
    settings.Set_(CSettings::LowVisionColors, u"1"_s);
    QSettings raw(store.filePath(), QSettings::IniFormat);
    QCOMPARE(raw.value(u"Config/Setting29"_s).toString(), u"1"_s);
}

void TestSettings::namedValues()
{
    SettingsStore store(m_dir->path());
    CSettings settings(store);
    settings.InitInstance();
    QVERIFY(!settings.HasNamed(QString::fromUtf16(CSettings::kExceptCategory)));
    QCOMPARE(settings.Get_Named(QString::fromUtf16(CSettings::kCookie), u"none"_s), u"none"_s);
    // Commas must survive: the excluded-category list is comma-separated.
    const QString list = u"おすすめ,特別企画,チャット"_s;
    settings.Set_Named(QString::fromUtf16(CSettings::kExceptCategory), list);
    SettingsStore other(m_dir->path());
    CSettings second(other);
    QCOMPARE(second.Get_Named(QString::fromUtf16(CSettings::kExceptCategory)), list);
}

void TestSettings::handDamagedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage lines") << QByteArray(
        "[Config]\nSetting1=3\n\xff\xfe garbage [[[ = = =\nSetting2=\n[broken\nSetting3=abc\n");
    QTest::newRow("bracket in the section name, quote left open")
        << QByteArray("[C[Config]\n1=10\n2=6\n16=127.0.0.1:8080\nBch.example/bbsmenu.html\n"
                      "ExceptCategory=おすすめ,特別企画\nCookie=\"PON=abc; path=on");
}

void TestSettings::handDamagedFile()
{
    QFETCH(QByteArray, content);
    const QString path = m_dir->filePath(u"yomimaru.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    SettingsStore store(m_dir->path());
    CSettings settings(store);
    settings.InitInstance();
    // Whatever was read, every value is text and the program can go on.
    for (qint16 i = 1; i <= 29; ++i) {
        settings.Get_(i);
    }
    QCOMPARE(settings.getInt(CSettings::SpeechPitch, 5), 5);
    // And a change is not lost.
    QVERIFY(settings.Set_(CSettings::FontSize, u"36"_s));
    SettingsStore other(m_dir->path());
    CSettings second(other);
    second.InitInstance();
    QCOMPARE(second.Get_(CSettings::FontSize), u"36"_s);
}

void TestSettings::listValueReadsBackAsText()
{
    const QString path = m_dir->filePath(u"yomimaru.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Config]\nExceptBoard=a,b,c\nSetting16=127.0.0.1:3128\n");
    file.close();
    SettingsStore store(m_dir->path());
    CSettings settings(store);
    settings.InitInstance();
    QCOMPARE(settings.Get_Named(u"ExceptBoard"_s), u"a,b,c"_s);
    QCOMPARE(settings.Get_(CSettings::ProxyServer), u"127.0.0.1:3128"_s);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
