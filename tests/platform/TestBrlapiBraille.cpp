// The braille line on a real BRLTTY: the test starts BRLTTY on its virtual
// display driver and plays the display itself, reading back every line of
// cells BRLTTY shows and pressing its keys. Moving through the voice menu
// shows each item; a message unit read aloud appears as its kana braille;
// the panning keys move through a line wider than the display, the line
// keys through the units said, and a routing key marks its character and has
// it spoken; turned off, nothing is written.

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "../voicemenu/VoiceMenuFixture.h"
#include "platform/BrlapiDisplay.h"
#include "speech/BrailleOutput.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/KanaBraille.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kCells = 20;

// The display end of BRLTTY's virtual driver: the driver connects, is told
// the display's width, and then sends a line for every change of the cells.
class VirtualDisplay : public QObject
{
public:
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }

    quint16 port() const { return m_server.serverPort(); }

    bool waitConnected(int ms)
    {
        if (!m_socket && !m_server.waitForNewConnection(ms)) {
            return false;
        }
        if (!m_socket) {
            m_socket = m_server.nextPendingConnection();
            m_socket->write("cells " + QByteArray::number(kCells) + "\n");
            m_socket->flush();
        }
        return true;
    }

    // Waits until the display shows these cells (dot numbers, "|" between
    // cells, blank cells as blanks, as the driver writes them).
    bool waitFor(const QString& dots, int ms = 5000)
    {
        return QTest::qWaitFor(
            [&] {
                read();
                return m_shown == dots;
            },
            ms);
    }

    // Waits until the display shows something else.
    bool waitChanged(const QString& from, int ms = 5000)
    {
        return QTest::qWaitFor(
            [&] {
                read();
                return m_shown != from;
            },
            ms);
    }

    void press(const QByteArray& command)
    {
        m_socket->write(command + "\n");
        m_socket->flush();
    }

    QString shown() const { return m_shown; }

    // The driver went away: the next one connects anew.
    void reset()
    {
        delete m_socket;
        m_socket = nullptr;
        m_pending.clear();
        m_shown.clear();
    }

private:
    void read()
    {
        if (!m_socket) {
            return;
        }
        m_socket->waitForReadyRead(10);
        m_pending += m_socket->readAll();
        qsizetype end = 0;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end).trimmed();
            m_pending.remove(0, end + 1);
            if (line.startsWith("Braille \"") && line.endsWith('"')) {
                m_shown = QString::fromUtf8(line.mid(9, line.size() - 10));
            }
        }
    }

    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_pending;
    QString m_shown;
};

// The first window of a line as the driver writes it.
QString window(const KanaBraille::Line& line, int start = 0)
{
    QByteArray cells = line.cells.mid(start, kCells);
    cells.resize(kCells, 0);
    QStringList out = KanaBraille::dotNumbers(cells).split(u'|');
    for (QString& cell : out) {
        if (cell.isEmpty()) {
            cell = u" "_s;
        }
    }
    return out.join(u'|');
}

}  // namespace

class TestBrlapiBraille : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void menuUnitsPanAndRouting();

private:
    void startBrltty();
    void stopBrltty();

    QTemporaryDir m_dir;
    QProcess m_brltty;
    VirtualDisplay m_display;
    QString m_api;
};

void TestBrlapiBraille::initTestCase()
{
    const QString brltty =
        QStandardPaths::findExecutable(u"brltty"_s, {u"/usr/bin"_s, u"/bin"_s, u"/usr/sbin"_s});
    if (brltty.isEmpty()) {
        QSKIP("brltty is not installed (scripts/setup.sh installs it)");
    }
    QVERIFY(m_display.listen());
    // BrlAPI on a TCP port of its own (4101 + the number), no key file.
    const int number = 40 + int(QCoreApplication::applicationPid() % 50);
    m_api = u"127.0.0.1:%1"_s.arg(number);
    m_brltty.setProgram(brltty);
    m_brltty.setProcessChannelMode(QProcess::MergedChannels);
    startBrltty();
}

void TestBrlapiBraille::startBrltty()
{
    const QString display = u"client:127.0.0.1:%1"_s.arg(m_display.port());
    const QString api = u"host=%1,auth=none"_s.arg(m_api);
    m_brltty.setArguments({u"-n"_s,
                           u"-e"_s,
                           u"-q"_s,
                           u"-b"_s,
                           u"vr"_s,
                           u"-d"_s,
                           display,
                           u"-x"_s,
                           u"no"_s,
                           u"-s"_s,
                           u"no"_s,
                           u"-A"_s,
                           api,
                           u"-W"_s,
                           m_dir.path(),
                           u"-U"_s,
                           m_dir.path(),
                           u"-P"_s,
                           m_dir.filePath(u"brltty.pid"_s),
                           u"-f"_s,
                           u"/dev/null"_s});
    m_brltty.start();
    QVERIFY(m_brltty.waitForStarted());
    QVERIFY2(m_display.waitConnected(15000), m_brltty.readAll().constData());
}

void TestBrlapiBraille::stopBrltty()
{
    m_brltty.terminate();
    if (!m_brltty.waitForFinished(3000)) {
        m_brltty.kill();
        m_brltty.waitForFinished();
    }
}

void TestBrlapiBraille::cleanupTestCase()
{
    stopBrltty();
}

void TestBrlapiBraille::menuUnitsPanAndRouting()
{
    BrlapiDisplay display;
    display.setServer(m_api, u"none"_s);
    // BRLTTY opens its API once the display has answered.
    QVERIFY2(QTest::qWaitFor([&] { return display.open(false); }, 10000), qPrintable(display.lastError()));
    QCOMPARE(display.cellCount(), kCells);
    JapaneseFrontEnd frontEnd;
    QVERIFY(frontEnd.open());
    BrailleOutput braille(display, &frontEnd);
    QStringList routed;
    Fixture f;
    QVERIFY(f.start());
    f.speech->setBraille(&braille);
    braille.onRoute = [&](const QString& text, qsizetype index) {
        routed << text.mid(index, 1);
        // What is spoken for the character leaves the line as it is.
        f.speech->SpeakText(u"詳しい読み"_s);
    };
    QVERIFY(f.menu->Initialize());

    // Each item of the menu, as it is spoken.
    for (int step = 0; step < 2; ++step) {
        f.run({u"down"_s});
        const QString item = f.engine.texts().last();
        QVERIFY2(m_display.waitFor(window(KanaBraille::translate(item, &frontEnd))),
                 qPrintable(m_display.shown()));
    }

    // A unit of a message, as continuous reading speaks it: kanji read, in
    // kana braille; wider than the display.
    f.run(
        {u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s, u"select:2"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    QString unit;
    for (int i = 0; i < 40 && !f.engine.texts().last().contains(u"メールアドレス"_s); ++i) {
        f.menu->Read_Message(false);
    }
    unit = f.engine.texts().last();
    QVERIFY2(unit.contains(u"メールアドレス"_s), qPrintable(unit));
    const KanaBraille::Line line = KanaBraille::translate(BrailleOutput::displayText(unit), &frontEnd);
    QVERIFY(line.cells.size() > kCells);
    QVERIFY2(m_display.waitFor(window(line)), qPrintable(m_display.shown()));

    // The display's own keys: the next window, and back.
    m_display.press("FWINRT");
    QVERIFY2(m_display.waitFor(window(line, kCells)), qPrintable(m_display.shown()));
    m_display.press("FWINLT");
    QVERIFY2(m_display.waitFor(window(line)), qPrintable(m_display.shown()));

    // A routing key on the third cell (the virtual driver hands its number on
    // as the cell's index from 0): its character is marked with dots 7 and 8
    // and handed over to be spoken; the line stays.
    m_display.press("Route 2");
    QTRY_COMPARE(routed.size(), 1);
    QCOMPARE(routed.first(), BrailleOutput::displayText(unit).mid(line.source.at(2), 1));
    KanaBraille::Line marked = line;
    for (qsizetype i = 0; i < marked.cells.size(); ++i) {
        if (marked.source.at(i) == line.source.at(2)) {
            marked.cells[i] = char(marked.cells.at(i) | BrailleOutput::kCursorDots);
        }
    }
    QVERIFY2(m_display.waitFor(window(marked)), qPrintable(m_display.shown()));
    QCOMPARE(f.engine.texts().last(), u"詳しい読み"_s);

    // Turned off, nothing more is written; turned on again, the display
    // shows what was said meanwhile.
    braille.setEnabled(false);
    f.speech->SpeakText(u"かなです"_s);
    QVERIFY(!m_display.waitChanged(window(marked), 500));
    braille.setEnabled(true);
    const QString kana = window(KanaBraille::translate(u"かなです"_s, &frontEnd));
    QVERIFY2(m_display.waitFor(kana), qPrintable(m_display.shown()));

    // The line keys go back to the unit said before (what was spoken for
    // the routing key was never shown), and on again.
    m_display.press("LNUP");
    QVERIFY2(m_display.waitFor(window(line)), qPrintable(m_display.shown()));
    m_display.press("LNDN");
    QVERIFY2(m_display.waitFor(kana), qPrintable(m_display.shown()));

    // BRLTTY restarted: the program finds it again by itself and shows the
    // line it last said.
    display.setRetryInterval(200);
    stopBrltty();
    m_display.reset();
    QTRY_VERIFY(!display.isConnected());
    startBrltty();
    QVERIFY2(m_display.waitFor(kana, 15000), qPrintable(m_display.shown()));
    QVERIFY(display.isConnected());
}

QTEST_MAIN(TestBrlapiBraille)
#include "TestBrlapiBraille.moc"
