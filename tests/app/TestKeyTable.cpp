// The key names the program knows and their combinations.

#include <QTest>

#include "app/CKeyTable.h"

using namespace Qt::StringLiterals;

class TestKeyTable : public QObject
{
    Q_OBJECT

private slots:
    void lookups();
};

void TestKeyTable::lookups()
{
    CKeyTable table;
    table.InitInstance();
    QCOMPARE(table.count(), 52);
    QCOMPARE(table.Get_VtKey(u"ctrl"_s), quint32(17));
    QCOMPARE(table.Get_VtKey(u"f12"_s), quint32(123));
    QCOMPARE(table.Get_VtKey(u"nope"_s), quint32(0));
    QCOMPARE(table.Get_Command(48), u"0"_s);
    QVERIFY(table.Get_Command(200).isEmpty());
    QCOMPARE(table.Get_Commands2(65, true, true, false), u"CTRL+SHIFT+A"_s);
    QCOMPARE(table.Get_Commands2(200, false, false, true), u"ALT+??"_s);
    QList<quint32> codes;
    QVERIFY(table.Get_VtKeys(u"ctrl+shift+q"_s, codes));
    QCOMPARE(codes, QList<quint32>({17, 16, 81}));
    QVERIFY(!table.Get_VtKeys(u"ctrl+nope"_s, codes));
    QVERIFY(!table.Get_VtKeys(QString(), codes));
    QCOMPARE(table.Get_Commands({17, 200, 90}), u"CTRL+??+Z"_s);
}

QTEST_GUILESS_MAIN(TestKeyTable)
#include "TestKeyTable.moc"
