// The window positions kept in the settings store: what is stored for each
// window state, and what a start makes of stored values.

#include <QTemporaryDir>
#include <QTest>

#include "app/CFormState.h"
#include "app/FormWindow.h"
#include "base/SettingsStore.h"

using namespace Qt::StringLiterals;

namespace {

// A window that remembers what it was told, and can refuse sizes.
class FakeWindow : public FormWindow
{
public:
    int t = 100, l = 200, w = 9000, h = 7000, state = Normal;
    bool refuseWidth = false;

    int top() const override { return t; }

    int left() const override { return l; }

    int width() const override { return w; }

    int height() const override { return h; }

    int windowState() const override { return state; }

    bool setTop(int v) override { return t = v, true; }

    bool setLeft(int v) override { return l = v, true; }

    bool setWidth(int v) override
    {
        if (refuseWidth) {
            return false;
        }
        w = v;
        return true;
    }

    bool setHeight(int v) override { return h = v, true; }

    bool setWindowState(int v) override { return state = v, true; }
};

}  // namespace

class TestFormState : public QObject
{
    Q_OBJECT

private slots:

    void init() { QVERIFY(m_dir.emplace().isValid()); }

    void formPositions_data();
    void formPositions();
    void formStateInitialize();

private:
    std::optional<QTemporaryDir> m_dir;
};

void TestFormState::formPositions_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("expectedTop");
    QTest::addColumn<QString>("expectedWidth");
    QTest::addColumn<QString>("expectedState");
    // The stored normal position is Top 10, Width 5000, state 0; the window is
    // now at Top 300, Width 8000 in the given state.
    QTest::newRow("normal stores all five") << int(FormWindow::Normal) << u"300"_s << u"8000"_s << u"0"_s;
    QTest::newRow("maximized keeps the normal position")
        << int(FormWindow::Maximized) << u"10"_s << u"5000"_s << u"2"_s;
    QTest::newRow("minimized stores nothing") << int(FormWindow::Minimized) << u"10"_s << u"5000"_s << u"0"_s;
}

void TestFormState::formPositions()
{
    QFETCH(int, state);
    QFETCH(QString, expectedTop);
    QFETCH(QString, expectedWidth);
    QFETCH(QString, expectedState);
    const QString section = u"FormLocation/MainForm"_s;
    SettingsStore store(m_dir->path());
    store.setValue(section, u"Top"_s, u"10"_s);
    store.setValue(section, u"Width"_s, u"5000"_s);
    store.setValue(section, u"WindowState"_s, u"0"_s);

    FakeWindow window;
    CFormState form(store);
    form.Initialize(u"yomimaru"_s, section, &window);
    window.t = 300;
    window.w = 8000;
    window.state = state;
    QVERIFY(form.Save());

    SettingsStore reread(m_dir->path());
    QCOMPARE(reread.value(section, u"Top"_s), expectedTop);
    QCOMPARE(reread.value(section, u"Width"_s), expectedWidth);
    QCOMPARE(reread.value(section, u"WindowState"_s), expectedState);
}

void TestFormState::formStateInitialize()
{
    const QString section = u"FormLocation/MainForm"_s;
    SettingsStore store(m_dir->path());
    store.setValue(section, u"Top"_s, u"1440"_s);
    store.setValue(section, u"Left"_s, u"not a number"_s);
    store.setValue(section, u"Height"_s, u"99999"_s);  // beyond 16 bits
    store.setValue(section, u"WindowState"_s, u"2"_s);

    FakeWindow window;
    window.refuseWidth = true;
    CFormState form(store);
    form.Initialize(u"yomimaru"_s, section, &window);
    QCOMPARE(window.t, 1440);
    QCOMPARE(window.l, 0);
    QCOMPARE(window.h, 0);
    QCOMPARE(window.w, 9000);  // refused: left as it was
    QCOMPARE(window.state, int(FormWindow::Maximized));

    CFormState unnamed(store);
    QVERIFY(!unnamed.Save());
}

QTEST_GUILESS_MAIN(TestFormState)
#include "TestFormState.moc"
