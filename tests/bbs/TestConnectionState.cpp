#include <QtTest>

#include "bbs/ConnectionState.h"

// The start-up decision between online and offline, with the system's
// reachability given by the test.
class TestConnectionState : public QObject
{
    Q_OBJECT

private slots:
    void startDecision_data();
    void startDecision();
};

void TestConnectionState::startDecision_data()
{
    QTest::addColumn<int>("reachability");  // -1 unknown, 0 disconnected, 1 connected
    QTest::addColumn<bool>("offlineRequested");
    QTest::addColumn<bool>("online");
    QTest::newRow("connected") << 1 << false << true;
    QTest::newRow("nothing reported counts as connected") << -1 << false << true;
    QTest::newRow("no network: offline") << 0 << false << false;
    QTest::newRow("the user's --offline stands") << 1 << true << false;
    QTest::newRow("no network and --offline") << 0 << true << false;
}

void TestConnectionState::startDecision()
{
    QFETCH(int, reachability);
    QFETCH(bool, offlineRequested);
    QFETCH(bool, online);
    int probes = 0;
    ConnectionState connection(offlineRequested, [&]() -> std::optional<bool> {
        ++probes;
        if (reachability < 0) {
            return std::nullopt;
        }
        return reachability == 1;
    });
    QCOMPARE(connection.decideStartOnline(), online);
    QCOMPARE(connection.IsOffline(), offlineRequested);
    QVERIFY(probes >= 1);
    QVERIFY(connection.SetGlobalOffline());
    QVERIFY(connection.IsOffline());
}

QTEST_GUILESS_MAIN(TestConnectionState)
#include "TestConnectionState.moc"
