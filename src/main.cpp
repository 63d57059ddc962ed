// The composition root: reads the command line, decides where files live,
// builds the long-lived objects and starts the main window.

#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/AppPaths.h"
#include "app/CSettings.h"
#include "app/MainForm.h"
#include "app/SettingsStore.h"
#include "bbs/CWinInetConnection.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"yomimaru"_s);
    QApplication::setApplicationVersion(QStringLiteral(YOMIMARU_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Yomimaru: read and post on 2ch-style bulletin boards by ear, with the keyboard alone."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDir(u"data-dir"_s,
                                     u"Keep logs, bookmarks and lists in DIR "
                                     "(default: $YOMIMARU_DATA_DIR, else ~/.local/share/yomimaru)."_s,
                                     u"DIR"_s);
    const QCommandLineOption configDir(u"config-dir"_s,
                                       u"Keep the settings file yomimaru.ini in DIR "
                                       "(default: $YOMIMARU_CONFIG_DIR, else ~/.config/yomimaru)."_s,
                                       u"DIR"_s);
    const QCommandLineOption smokeTest(u"smoke-test"_s,
                                       u"Start, show the window once and quit (for checks)."_s);
    const QCommandLineOption offline(u"offline"_s,
                                     u"Start offline: read the saved logs and download nothing."_s);
    parser.addOptions({dataDir, configDir, offline, smokeTest});
    parser.process(app);

    const AppPaths paths = AppPaths::resolve(parser.value(dataDir), parser.value(configDir));
    SettingsStore store(paths.configDir());
    CSettings settings(store);
    if (!settings.InitInstance()) {
        std::fprintf(stderr, "%s\n", qPrintable(settings.errorMessage()));
    }

    CWinInetConnection connection(parser.isSet(offline));
    const bool online = connection.decideStartOnline();

    MainForm form(paths, store, settings);
    form.setOnline(online);
    form.start();
    if (parser.isSet(smokeTest)) {
        QTimer::singleShot(0, &form, &QWidget::close);
    }
    return QApplication::exec();
}
