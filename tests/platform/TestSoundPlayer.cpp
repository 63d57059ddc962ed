#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/QtSoundPlayer.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

QString resources()
{
    return QString::fromUtf8(YOMIMARU_SOURCE_RESOURCES);
}

quint32 le32(const QByteArray& b, int at)
{
    return quint32(quint8(b.at(at))) | quint32(quint8(b.at(at + 1))) << 8
           | quint32(quint8(b.at(at + 2))) << 16 | quint32(quint8(b.at(at + 3))) << 24;
}

quint16 le16(const QByteArray& b, int at)
{
    return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8);
}

}  // namespace

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cuesAreShortDistinctWaveFiles_data();
    void cuesAreShortDistinctWaveFiles();
    void refusesNamesOutsideItsFolders_data();
    void refusesNamesOutsideItsFolders();
    void waveDuration_data();
    void waveDuration();
    void playsOrSkipsCleanly();
    void userCopyWins();
};

void TestSoundPlayer::cuesAreShortDistinctWaveFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("begin") << u"ir_begin.wav"_s;
    QTest::newRow("end") << u"ir_end.wav"_s;
}

void TestSoundPlayer::cuesAreShortDistinctWaveFiles()
{
    QFETCH(QString, name);
    QFile file(resources() + u"/sounds/"_s + name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(le16(wav, 20), quint16(1));  // PCM
    QCOMPARE(le16(wav, 22), quint16(1));  // mono
    QCOMPARE(le32(wav, 24), quint32(22050));
    QCOMPARE(le16(wav, 34), quint16(16));
    const double seconds = double(wav.size() - 44) / (22050.0 * 2.0);
    QVERIFY2(seconds > 0.1 && seconds < 0.6, qPrintable(QString::number(seconds)));

    QFile other(resources() + u"/sounds/"_s
                + (name == u"ir_begin.wav"_s ? u"ir_end.wav"_s : u"ir_begin.wav"_s));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QVERIFY(other.readAll() != wav);
}

void TestSoundPlayer::refusesNamesOutsideItsFolders_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << u"no_such.wav"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("parent folder") << u"../sounds/ir_begin.wav"_s;
    QTest::newRow("absolute") << resources() + u"/sounds/ir_begin.wav"_s;
    QTest::newRow("hidden") << u".ir_begin.wav"_s;
}

void TestSoundPlayer::refusesNamesOutsideItsFolders()
{
    QFETCH(QString, name);
    QtSoundPlayer player(QtSoundPlayer::searchDirsFor({resources() + u"/sounds/x"_s, resources()}));
    QVERIFY(!player.play(name, true));
}

void TestSoundPlayer::waveDuration_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("ms");

    QFile cue(resources() + u"/sounds/ir_begin.wav"_s);
    QVERIFY(cue.open(QIODevice::ReadOnly));
    const QByteArray wav = cue.readAll();
    QTest::newRow("shipped cue") << wav << int(qint64(wav.size() - 44) * 1000 / (22050 * 2));
    QTest::newRow("cut short") << wav.left(44 + 4410) << 100;
    QTest::newRow("header only") << wav.left(40) << 0;
    QTest::newRow("not a wave file") << QByteArray("RIFX\0\0\0\0WAVEfmt ") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QByteArray huge = wav.left(44);
    huge[40] = char(0xff);
    huge[41] = char(0xff);
    huge[42] = char(0xff);
    huge[43] = char(0x7f);
    QTest::newRow("size larger than the file") << huge << 0;
}

void TestSoundPlayer::waveDuration()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, ms);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"cue.wav"_s);
    QVERIFY(TestData::writeFile(path, bytes));
    QCOMPARE(QtSoundPlayer::waveDurationMs(path), ms);
}

void TestSoundPlayer::playsOrSkipsCleanly()
{
    QtSoundPlayer player(QtSoundPlayer::searchDirsFor({resources()}));
    // Without an audio output the cue is skipped at once instead of waiting
    // on a sound that never ends; with one, it plays to its end.
    QCOMPARE(player.play(u"ir_begin.wav"_s, true), QtSoundPlayer::hasAudioOutput());
    QCOMPARE(player.play(u"ir_end.wav"_s, false), QtSoundPlayer::hasAudioOutput());
}

void TestSoundPlayer::userCopyWins()
{
    QTemporaryDir dataRoot;
    const QStringList dirs = QtSoundPlayer::searchDirsFor({dataRoot.path(), resources()});
    QCOMPARE(dirs, (QStringList{dataRoot.path(), dataRoot.path() + u"/sounds"_s, resources(),
                                resources() + u"/sounds"_s}));
}

QTEST_MAIN(TestSoundPlayer)
#include "TestSoundPlayer.moc"
