// The module program itself, started as speech-dispatcher starts it, driven
// over its standard input and output. open_jtalk is a stand-in that makes a
// tone of the text's length, and the sound goes to a trace that records when
// each block would have been heard.

#include <chrono>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct TraceLine
{
    qint64 us = 0;
    bool flush = false;
    qint64 samples = 0;
    int rate = 0;
    int peak = 0;
};

class Module
{
public:
    explicit Module(const QString& command = QStringLiteral(FAKE_OPEN_JTALK_PATH))
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).mkpath(u"voices/sub"_s);
        QDir(m_dir.path()).mkpath(u"dictionary"_s);
        for (const QString& voice :
             {u"voices/sub/nitech_jp_atr503_m001.htsvoice"_s, u"voices/zz_second.htsvoice"_s}) {
            QFile file(m_dir.filePath(voice));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile config(m_dir.filePath(u"yomimaru-openjtalk.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(
            u"# the test's module\nOpenJTalkCommand \"%1\"\nOpenJTalkDictionary %2\n"
            "OpenJTalkVoiceDirectory \"%3\"\nYomimaruAudioOutput \"trace:%4\"\n"_s
                .arg(command, m_dir.filePath(u"dictionary"_s), m_dir.filePath(u"voices"_s), tracePath())
                .toUtf8());
        config.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"FAKE_OPEN_JTALK_LOG"_s, logPath());
        env.insert(u"FAKE_OPEN_JTALK_SLOW"_s, u"読み丸"_s);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(MODULE_PATH), {config.fileName()});
        QVERIFY(m_process.waitForStarted());
    }

    ~Module()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    void send(const QString& lines) { m_process.write(lines.toUtf8()); }

    // The next line the module writes, without its "\n"; empty after 10 s.
    QString line()
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 10000) {
            m_process.waitForReadyRead(100);
        }
        return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()).chopped(1) : QString();
    }

    QString logPath() const { return m_dir.filePath(u"open_jtalk.log"_s); }

    QString tracePath() const { return m_dir.filePath(u"trace.txt"_s); }

    QProcess& process() { return m_process; }

    QList<TraceLine> trace() const
    {
        QList<TraceLine> lines;
        QFile file(tracePath());
        if (!file.open(QIODevice::ReadOnly)) {
            return lines;
        }
        for (const QByteArray& text : file.readAll().split('\n')) {
            const QList<QByteArray> f = text.split(' ');
            if (f.size() >= 2) {
                TraceLine line;
                line.us = f[0].toLongLong();
                line.flush = f[1] == "flush";
                if (!line.flush && f.size() == 5) {
                    line.samples = f[2].toLongLong();
                    line.rate = f[3].toInt();
                    line.peak = f[4].toInt();
                }
                lines << line;
            }
        }
        return lines;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

qint64 steadyMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

class TestOpenJTalkModule : public QObject
{
    Q_OBJECT

private slots:

    void conversation()
    {
        QFile script(QStringLiteral(CONVERSATION_PATH));
        QVERIFY(script.open(QIODevice::ReadOnly | QIODevice::Text));
        Module module;
        int number = 0;
        for (const QString& line : QString::fromUtf8(script.readAll()).split(u'\n')) {
            ++number;
            if (line.startsWith(u"> "_s)) {
                module.send(line.mid(2) + u'\n');
            } else if (line.startsWith(u"< "_s)) {
                const QString got = module.line();
                if (got != line.mid(2)) {
                    QFAIL(qPrintable(
                        u"line %1: expected \"%2\", got \"%3\""_s.arg(number).arg(line.mid(2), got)));
                }
            }
        }
        QVERIFY(module.process().waitForFinished(5000));
        QCOMPARE(module.process().exitCode(), 0);
    }

    // A stop in the middle of a long message leaves no sound after it, and the
    // next message is spoken as if nothing had come before.
    void stopInTheMiddle()
    {
        Module module;
        module.send(u"INIT\nAUDIO\naudio_output_method=pulse\n.\n"_s);
        while (module.line() != u"203 OK AUDIO INITIALIZED"_s) {
            QVERIFY(module.process().state() == QProcess::Running);
        }
        const QString message =
            u"本日のレス数は全体で一万二千三百四十五件でした。明日も良い天気になるでしょう。"_s;
        module.send(u"SPEAK\n%1\n.\n"_s.arg(message));
        QCOMPARE(module.line(), u"202 OK RECEIVING MESSAGE"_s);
        QCOMPARE(module.line(), u"200 OK SPEAKING"_s);
        QCOMPARE(module.line(), u"701 BEGIN"_s);
        QTest::qWait(300);
        module.send(u"STOP\n"_s);
        QCOMPARE(module.line(), u"703 STOP"_s);
        const qint64 secondSpoken = steadyMicros();
        module.send(u"SPEAK\nはい\n.\n"_s);
        QCOMPARE(module.line(), u"202 OK RECEIVING MESSAGE"_s);
        QCOMPARE(module.line(), u"200 OK SPEAKING"_s);
        QCOMPARE(module.line(), u"701 BEGIN"_s);
        QCOMPARE(module.line(), u"702 END"_s);

        const QList<TraceLine> trace = module.trace();
        qsizetype flush = -1;
        for (qsizetype i = 0; i < trace.size(); ++i) {
            if (trace[i].flush) {
                QCOMPARE(flush, -1);
                flush = i;
            }
        }
        QVERIFY(flush > 0);
        // Some of the message was heard, far from all of it (60 ms a character).
        qint64 heardUs = 0;
        for (qsizetype i = 0; i < flush; ++i) {
            QVERIFY(trace[i].rate == 48000);
            heardUs += trace[i].samples * 1000000 / trace[i].rate;
        }
        QVERIFY(heardUs > 0);
        QVERIFY(heardUs < message.size() * 60000 / 2);
        // Nothing was written between the flush and the next message.
        for (qsizetype i = flush + 1; i < trace.size(); ++i) {
            QVERIFY2(trace[i].us >= secondSpoken, "sound after the stop");
        }
        QVERIFY(trace.size() > flush + 1);
    }

    // SET reaches open_jtalk's command line (speed, pitch, voice) and the
    // volume scales the sound.
    void settings()
    {
        Module module;
        module.send(u"INIT\nAUDIO\naudio_output_method=pulse\n.\n"
                    "SET\nrate=100\npitch=-50\nvolume=0\nsynthesis_voice=zz_second\n.\nSPEAK\nはい\n.\n"_s);
        QString line;
        while ((line = module.line()) != u"702 END"_s) {
            QVERIFY2(!line.isEmpty(), "no end");
        }
        QFile log(module.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList calls = QString::fromUtf8(log.readAll()).trimmed().split(u'\n');
        QVERIFY(calls.last().contains(
            QRegularExpression(u"-m \\S*/zz_second\\.htsvoice -r 1\\.500 -fm -3\\.000 "_s)));
        QVERIFY(calls.last().endsWith(u" | はい"_s));
        int peak = 0;
        for (const TraceLine& t : module.trace()) {
            peak = std::max(peak, t.peak);
        }
        // The stand-in's tone peaks at 8000; volume 0 is six decibels below.
        QVERIFY2(peak > 3900 && peak < 4100, qPrintable(QString::number(peak)));
    }

    void initFailsWithoutOpenJTalk()
    {
        Module module(u"/nonexistent/open_jtalk"_s);
        module.send(u"INIT\n"_s);
        QCOMPARE(module.line(),
                 u"399-yomimaru-openjtalk: /nonexistent/open_jtalk is not installed (package open-jtalk)"_s);
        QCOMPARE(module.line(), u"399 ERR CANT INIT MODULE"_s);
        QVERIFY(module.process().waitForFinished(5000));
        QCOMPARE(module.process().exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(TestOpenJTalkModule)
#include "TestOpenJTalkModule.moc"
