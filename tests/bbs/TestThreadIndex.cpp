// The anchors of a message, the replies to it and the messages of its ID.

#include <QTest>

#include "bbs/ThreadIndex.h"

using namespace Qt::StringLiterals;

class TestThreadIndex : public QObject
{
    Q_OBJECT

private slots:

    void anchorTargets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("targets");
        QTest::newRow("as the .dat links it")
            << u"<a href=\"../test/read.cgi/news/1714400000/12\" target=\"_blank\">&gt;&gt;12</a> それな"_s
            << QList<int>{12};
        QTest::newRow("as shown") << u">>12 それな"_s << QList<int>{12};
        QTest::newRow("full width") << u"＞＞１２ ＞３"_s << QList<int>{12, 3};
        QTest::newRow("one mark") << u">5 &gt;6"_s << QList<int>{5, 6};
        QTest::newRow("a range") << u">>12-15"_s << QList<int>{12, 13, 14, 15};
        QTest::newRow("a full-width range") << u"＞＞１－３"_s << QList<int>{1, 2, 3};
        QTest::newRow("a list") << u">>12,14、16"_s << QList<int>{12, 14, 16};
        QTest::newRow("a list with a range") << u">>2,5-6"_s << QList<int>{2, 5, 6};
        QTest::newRow("each once, in the order written") << u">>9 >>3 >>9"_s << QList<int>{9, 3};
        QTest::newRow("a third mark") << u">>>7"_s << QList<int>{7};
        QTest::newRow("a backward range is its start") << u">>5-2"_s << QList<int>{5};
        QTest::newRow("a flood is cut") << u">>1-1000"_s << [] {
            QList<int> first;
            for (int i = 1; i <= ThreadIndex::kMaxTargets; ++i) {
                first << i;
            }
            return first;
        }();
        QTest::newRow("no message 0, none past the last possible")
            << u">>0 >>40000 >>123456"_s << QList<int>{};
        QTest::newRow("quotations and numbers are no anchors")
            << u"> 引用です\n1000円 >> まだ >>-3"_s << QList<int>{};
        QTest::newRow("a range mark with nothing after") << u">>8- です"_s << QList<int>{8};
    }

    void anchorTargets()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, targets);
        QCOMPARE(ThreadIndex::anchorTargets(text), targets);
    }

    void index()
    {
        auto message = [](const QString& body, const QString& id) {
            ThreadMessage m;
            m.body = body;
            m.id = id;
            return m;
        };
        const QList<ThreadMessage> thread = {
            message(u"スレ立て"_s, u"aaaa"_s),                     // 1
            message(u"&gt;&gt;1 乙"_s, u"bbbb"_s),                 // 2
            message(u">>1 >>2 >>99 >>4"_s, u"cccc"_s),             // 3: 99 is past the end, 4 is later
            message(u"&gt;&gt;1-3"_s, u"bbbb"_s),                  // 4
            message(u"広告"_s, u"???"_s),                          // 5
            message(u"広告"_s, u"???"_s),                          // 6
            message(u"<a href=\"x\">&gt;&gt;3</a>"_s, QString()),  // 7
        };
        ThreadIndex index;
        index.build(thread);
        QCOMPARE(index.count(), 7);
        QCOMPARE(index.anchorsOf(3), (QList<int>{1, 2, 99, 4}));
        QCOMPARE(index.repliesTo(1), (QList<int>{2, 3, 4}));
        QCOMPARE(index.repliesTo(3), (QList<int>{4, 7}));
        QCOMPARE(index.repliesTo(4), QList<int>{});  // message 3 names it before it exists
        QCOMPARE(index.sameId(2), (QList<int>{2, 4}));
        QCOMPARE(index.sameId(1), QList<int>{1});
        QCOMPARE(index.sameId(5), QList<int>{});  // hidden IDs are nobody's
        QCOMPARE(index.sameId(7), QList<int>{});
        QCOMPARE(index.anchorsOf(0), QList<int>{});
        QCOMPARE(index.repliesTo(8), QList<int>{});

        index.build({});
        QCOMPARE(index.count(), 0);
        QCOMPARE(index.sameId(1), QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestThreadIndex)
#include "TestThreadIndex.moc"
