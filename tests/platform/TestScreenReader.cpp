#include <unistd.h>

#include <QAccessible>
#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "platform/OrcaScreenReader.h"
#include "speech/CSrCntl.h"
#include "support/FakeScreenReader.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

int g_updatesSeen = 0;

void countUpdate(QAccessibleEvent*)
{
    ++g_updatesSeen;
}

}  // namespace

// Stands in for the accessibility bus launcher, which tells whether a screen
// reader is enabled.
class FakeA11yStatus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Status")
    Q_PROPERTY(bool ScreenReaderEnabled READ screenReaderEnabled)

public:
    bool screenReaderEnabled() const { return enabled.loadRelaxed() != 0; }

    QAtomicInt enabled;
};

class TestScreenReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void orcaOnTheAccessibilityBus();
    void silencesOnlyWhatWasFound();
    void nothingFoundNothingCalled();
    void redetectionStartsAfresh();
    void orcaProcess_data();
    void orcaProcess();
    void orcaWithholdsUpdatesWhileActive();
};

void TestScreenReader::orcaOnTheAccessibilityBus()
{
    // Without any session bus there is nothing to ask, and nothing is started.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent");
    QVERIFY(!OrcaScreenReader::screenReaderEnabledOnBus(500));
    qputenv("XDG_RUNTIME_DIR", runtime);

    // A private session bus with a stand-in for the accessibility bus.
    QTemporaryDir dir;
    QProcess daemon;
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s,
                                    u"--address=unix:path="_s + dir.filePath(u"bus"_s)});
    QVERIFY2(daemon.waitForStarted(), "dbus-daemon is missing (run scripts/setup.sh)");
    QTRY_VERIFY(daemon.canReadLine());
    const QByteArray address = daemon.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    // The stand-in answers from its own thread while the question blocks.
    QThread serviceThread;
    serviceThread.start();
    FakeA11yStatus status;
    status.moveToThread(&serviceThread);
    bool registered = false;
    QMetaObject::invokeMethod(
        &status,
        [&] {
            QDBusConnection service = QDBusConnection::connectToBus(QString::fromUtf8(address), u"a11y"_s);
            registered =
                service.registerService(u"org.a11y.Bus"_s)
                && service.registerObject(u"/org/a11y/bus"_s, &status, QDBusConnection::ExportAllProperties);
        },
        Qt::BlockingQueuedConnection);
    QVERIFY(registered);

    QVERIFY(!OrcaScreenReader::screenReaderEnabledOnBus(5000));
    status.enabled.storeRelaxed(1);
    QVERIFY(OrcaScreenReader::screenReaderEnabledOnBus(5000));

    QMetaObject::invokeMethod(
        &status,
        [&status] {
            QDBusConnection::disconnectFromBus(u"a11y"_s);
            status.moveToThread(nullptr);
        },
        Qt::BlockingQueuedConnection);
    serviceThread.quit();
    serviceThread.wait();
    QDBusConnection::disconnectFromBus(QDBusConnection::sessionBus().name());
    daemon.kill();
    daemon.waitForFinished();
}

void TestScreenReader::silencesOnlyWhatWasFound()
{
    FakeScreenReader absent(2, false);
    FakeScreenReader orca(5, true);
    FakeScreenReader other(3, true);
    CSrCntl control({&absent, &orca, &other});

    // Before detection silencing does nothing.
    control.Block_SRVoice();
    QCOMPARE(orca.silenceCalls, 0);

    QCOMPARE(control.InitInstance(), 2);
    QVERIFY(control.isInitialised());
    QCOMPARE(control.count(), qint16(2));
    QCOMPARE(control.kind(1), qint16(5));
    QCOMPARE(control.kind(2), qint16(3));
    QCOMPARE(control.kind(0), qint16(0));
    QCOMPARE(control.kind(3), qint16(0));

    for (int i = 0; i < 100; ++i) {
        control.Block_SRVoice();
    }
    QCOMPARE(absent.silenceCalls, 0);
    QCOMPARE(orca.silenceCalls, 100);
    QCOMPARE(other.silenceCalls, 100);
}

void TestScreenReader::nothingFoundNothingCalled()
{
    FakeScreenReader a(2, false);
    FakeScreenReader b(5, false);
    CSrCntl control({&a, &b});
    QCOMPARE(control.InitInstance(), 0);
    control.Block_SRVoice();
    control.ExitInstance();
    QCOMPARE(a.silenceCalls + b.silenceCalls, 0);
    QCOMPARE(a.endCalls + b.endCalls, 0);
    QCOMPARE(control.count(), qint16(0));

    CSrCntl empty;
    QCOMPARE(empty.InitInstance(), 0);
    empty.Block_SRVoice();
}

void TestScreenReader::redetectionStartsAfresh()
{
    FakeScreenReader orca(5, true);
    {
        CSrCntl control({&orca});
        control.InitInstance();
        control.InitInstance();
        // The reader found first is released before looking again.
        QCOMPARE(orca.endCalls, 1);
        QCOMPARE(orca.detectCalls, 2);
        QCOMPARE(control.count(), qint16(1));
        QCOMPARE(control.kind(1), qint16(5));
    }
    // Released when the control goes.
    QCOMPARE(orca.endCalls, 2);
}

void TestScreenReader::orcaProcess_data()
{
    QTest::addColumn<QString>("comm");
    QTest::addColumn<QByteArray>("cmdline");
    QTest::addColumn<bool>("ownUser");
    QTest::addColumn<bool>("found");

    QTest::newRow("orca") << u"orca\n"_s << QByteArray("/usr/bin/python3\0/usr/bin/orca\0", 31) << true
                          << true;
    QTest::newRow("started by python")
        << u"python3\n"_s << QByteArray("python3\0/usr/bin/orca\0--replace\0", 33) << true << true;
    QTest::newRow("another user's orca") << u"orca\n"_s << QByteArray() << false << false;
    QTest::newRow("not orca") << u"bash\n"_s << QByteArray("bash\0orca\0", 10) << true << false;
    QTest::newRow("orca in a longer name")
        << u"orca-helper\n"_s << QByteArray("orca-helper\0", 12) << true << false;
}

void TestScreenReader::orcaProcess()
{
    QFETCH(QString, comm);
    QFETCH(QByteArray, cmdline);
    QFETCH(bool, ownUser);
    QFETCH(bool, found);

    // A folder laid out as /proc: one folder per process, plus other entries.
    QTemporaryDir proc;
    QVERIFY(TestData::writeFile(proc.filePath(u"1234/comm"_s), comm.toUtf8()));
    QVERIFY(TestData::writeFile(proc.filePath(u"1234/cmdline"_s), cmdline));
    QVERIFY(TestData::writeFile(proc.filePath(u"self/comm"_s), "orca\n"));
    QVERIFY(TestData::writeFile(proc.filePath(u"uptime"_s), "1.0 1.0\n"));
    const uint me = uint(getuid());
    QCOMPARE(OrcaScreenReader::orcaProcessRunning(proc.path(), ownUser ? me : me + 1), found);
}

void TestScreenReader::orcaWithholdsUpdatesWhileActive()
{
    // The platform delivers updates only through the installed handler; on
    // the offscreen platform nothing is delivered, so the handler in place is
    // what the test looks at.
    const auto installed = [] {
        const QAccessible::UpdateHandler handler = QAccessible::installUpdateHandler(nullptr);
        QAccessible::installUpdateHandler(handler);
        return handler;
    };
    QAccessible::installUpdateHandler(countUpdate);

    OrcaScreenReader orca;
    QCOMPARE(orca.kind(), OrcaScreenReader::kKind);
    orca.followActivity(true);
    QVERIFY(orca.isWithholding());
    const QAccessible::UpdateHandler dropping = installed();
    QVERIFY(dropping != nullptr && dropping != countUpdate);
    QObject subject;
    QAccessibleEvent event(&subject, QAccessible::NameChanged);
    dropping(&event);
    QCOMPARE(g_updatesSeen, 0);

    // Repeated ticks change nothing.
    orca.followActivity(true);
    QVERIFY(installed() == dropping);

    orca.followActivity(false);
    QVERIFY(!orca.isWithholding());
    QVERIFY(installed() == countUpdate);

    // Ending gives the updates back too.
    orca.followActivity(true);
    orca.end();
    QVERIFY(installed() == countUpdate);
    QAccessible::installUpdateHandler(nullptr);
}

QTEST_MAIN(TestScreenReader)
#include "TestScreenReader.moc"
