// The main window as far as it goes: it starts, shows whether it works
// online, and remembers its place.

#include <QLabel>
#include <QTest>

#include "app/MainForm.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void onlineIndicator();
    void remembersItsPlace();
};

void TestMainForm::onlineIndicator()
{
    TempProfile profile;
    MainForm form(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                  profile.settings());
    auto* label = form.findChild<QLabel*>(u"Label_Online"_s);
    QVERIFY(label);
    form.setOnline(false);
    QCOMPARE(label->text(), u"Offline"_s);
    form.setOnline(true);
    QCOMPARE(label->text(), u"Online"_s);
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
}

void TestMainForm::remembersItsPlace()
{
    TempProfile profile;
    {
        MainForm form(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                      profile.settings());
        form.start();
        form.resize(500, 300);
        form.close();
    }
    const int width = profile.store().value(u"FormLocation/MainForm"_s, u"Width"_s).toInt();
    QVERIFY(width > 0);
    MainForm again(AppPaths(profile.dataRoot(), profile.path(u"config"_s)), profile.store(),
                   profile.settings());
    again.start();
    QCOMPARE(again.width(), 500);
}

QTEST_MAIN(TestMainForm)
#include "TestMainForm.moc"
