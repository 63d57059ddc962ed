// The program's files survive a sudden end: a writer process repeating the
// program's writes (thread log, bookmark list, read positions, settings) is
// killed with SIGKILL at random moments, and every file is afterwards one
// whole content the program wrote, never a mixture or a torn one; the
// cookies stay readable by the user only.

#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "WriteRound.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kKills = 30;
// Rounds repeat their contents with this period (3 logs, 50 positions, 10 speeds, 5 cookies).
constexpr int kPeriod = 150;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct Files
{
    QString dataRoot;
    QString configDir;

    QStringList paths() const
    {
        return {WriteRound::logPath(dataRoot), WriteRound::bookmarkPath(dataRoot),
                WriteRound::indexPath(dataRoot), WriteRound::settingsPath(configDir),
                WriteRound::cookiePath(dataRoot)};
    }
};

}  // namespace

class TestKillWrites : public QObject
{
    Q_OBJECT

private slots:
    void everyFileIsOldOrNewAfterSigkill();
};

void TestKillWrites::everyFileIsOldOrNewAfterSigkill()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // Every content each file can have between two writes, from the same
    // rounds run here.
    const Files rehearsal{dir.filePath(u"rehearsal/data"_s), dir.filePath(u"rehearsal/config"_s)};
    QList<QSet<QByteArray>> allowed(rehearsal.paths().size());
    for (int round = 0; round < kPeriod + 2; ++round) {
        QVERIFY(WriteRound::run(rehearsal.dataRoot, rehearsal.configDir, round));
        const QStringList paths = rehearsal.paths();
        for (qsizetype i = 0; i < paths.size(); ++i) {
            allowed[i].insert(contentOf(paths.at(i)));
        }
    }
    QCOMPARE(allowed.at(0).size(), 3);   // the log's three versions
    QCOMPARE(allowed.at(1).size(), 2);   // with and without the added bookmark
    QCOMPARE(allowed.at(2).size(), 50);  // one read position each
    QCOMPARE(allowed.at(3).size(), 10);  // one speed each
    QCOMPARE(allowed.at(4).size(), 5);   // one ticket each

    const Files files{dir.filePath(u"data"_s), dir.filePath(u"config"_s)};
    QVERIFY(WriteRound::run(files.dataRoot, files.configDir, 0));
    int killedMidway = 0;
    for (int kill = 1; kill <= kKills; ++kill) {
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(
            QStringLiteral(KILL_WRITER_PATH),
            {files.dataRoot, files.configDir, QString::number(QRandomGenerator::global()->bounded(kPeriod))});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QVERIFY2(writer.waitForReadyRead(60000), "the writer never finished its first round");
        QThread::usleep(QRandomGenerator::global()->bounded(60000));
        if (writer.state() != QProcess::Running) {
            QFAIL(qPrintable(u"the writer ended by itself (exit %1)"_s.arg(writer.exitCode())));
        }
        writer.kill();  // SIGKILL
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        ++killedMidway;

        const QStringList paths = files.paths();
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QByteArray content = contentOf(paths.at(i));
            QVERIFY2(allowed.at(i).contains(content),
                     qPrintable(u"after kill %1, %2 is no whole content (%3 bytes)"_s.arg(kill)
                                    .arg(paths.at(i))
                                    .arg(content.size())));
        }

        struct stat mode
        {
        };

        QCOMPARE(::stat(QFile::encodeName(WriteRound::cookiePath(files.dataRoot)).constData(), &mode), 0);
        QCOMPARE(mode.st_mode & 0777, 0600u);
    }
    QCOMPARE(killedMidway, kKills);
}

QTEST_GUILESS_MAIN(TestKillWrites)
#include "TestKillWrites.moc"
