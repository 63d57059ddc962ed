// The composition root: reads the command line, decides where files live,
// chooses the speech engine, builds the long-lived objects and starts the
// main window.

#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "app/MainForm.h"
#include "base/AppPaths.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextFile.h"
#include "bbs/ConnectionState.h"
#include "platform/BrlapiDisplay.h"
#include "platform/OrcaScreenReader.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SpeechCheck.h"
#include "platform/SpeechEngineFactory.h"
#include "platform/TranscriptEngine.h"
#include "speech/BrailleOutput.h"
#include "speech/CShosaiYomi.h"
#include "speech/CSrCntl.h"
#include "speech/EmojiNames.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "speech/mSpeakTextBox.h"

using namespace Qt::StringLiterals;

namespace {

// The arguments without the options that the GUI application takes for
// itself ("-platform offscreen" and the like): they are read before it exists.
QStringList withoutGuiOptions(const QStringList& arguments)
{
    static const QStringList withValue = {u"-platform"_s,
                                          u"-platformpluginpath"_s,
                                          u"-platformtheme"_s,
                                          u"-plugin"_s,
                                          u"-qwindowgeometry"_s,
                                          u"-qwindowtitle"_s,
                                          u"-qwindowicon"_s,
                                          u"-display"_s,
                                          u"-geometry"_s,
                                          u"-session"_s,
                                          u"-style"_s,
                                          u"-stylesheet"_s,
                                          u"-name"_s,
                                          u"-title"_s,
                                          u"-visual"_s};
    static const QStringList alone = {u"-reverse"_s, u"-widgetcount"_s, u"-nograb"_s, u"-dograb"_s,
                                      u"-sync"_s};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (i > 0 && withValue.contains(a)) {
            ++i;
        } else if (i == 0 || !alone.contains(a)) {
            kept.append(a);
        }
    }
    return kept;
}

// Says why the program cannot start, on stderr and, where a voice answers,
// aloud (in kana, which every Japanese voice reads without help), and gives
// the exit status of a failed start. Runs on the command line's application.
int cannotStart(const QString& speechOption, const QString& reason, const QString& sentence)
{
    std::fprintf(stderr, "yomimaru: %s; the program does not start\n", qPrintable(reason));
    const SpeechEngineChoice choice = createSpeechEngine(speechOption, 3000);
    if (choice.engine) {
        for (int mode = 1; mode <= choice.engine->modeCount(); ++mode) {
            if (choice.engine->isJapanese(mode)) {
                choice.engine->selectMode(mode);
                break;
            }
        }
        QEventLoop loop;
        QObject::connect(choice.engine.get(), &SpeechEngine::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        choice.engine->speak(sentence);
        loop.exec();
    }
    return 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    // The spoken check needs no window, so it runs before any GUI exists.
    if (SpeechCheck::requested(argc, argv)) {
        return SpeechCheck::run(argc, argv);
    }
    // The command line is read before the GUI exists, so --help, --version and
    // a mistyped option work without a display.
    std::optional<QCoreApplication> commandLine(std::in_place, argc, argv);
    QCoreApplication::setApplicationName(u"yomimaru"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(YOMIMARU_VERSION));

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
    const QCommandLineOption offline(u"offline"_s,
                                     u"Start offline: read the saved logs and download nothing."_s);
    const QCommandLineOption online(u"online"_s, u"Start online even when the system reports no network "
                                                 "(boards reached through a proxy on this machine)."_s);
    const QCommandLineOption speech(u"speech"_s,
                                    u"Where speech goes: auto (default), speechd, or transcript[:FILE] "
                                    "(one line per utterance, on stdout or in FILE)."_s,
                                    u"ENGINE"_s, u"auto"_s);
    const QCommandLineOption smokeTest(u"smoke-test"_s,
                                       u"Start, show the window once and quit (for checks)."_s);
    const QCommandLineOption speechCheck(
        u"speech-check"_s, u"Say a test sentence through the chosen voice, print which voice spoke "
                           "and how soon, and quit (exit status 0 when it was spoken)."_s);
    parser.addOptions({dataDir, configDir, offline, online, speech, smokeTest, speechCheck});
    const QStringList arguments = withoutGuiOptions(QCoreApplication::arguments());
    // A mistyped option ends with 2, like every other bad command line
    // (QCommandLineParser::process would end with 1, the code of a failed start).
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "yomimaru: %s (see --help)\n", qPrintable(parser.errorText()));
        return 2;
    }
    parser.process(arguments);  // --help, --help-all and --version
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "yomimaru: unexpected argument \"%s\" (see --help)\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }
    if (const QString error = speechOptionError(parser.value(speech)); !error.isEmpty()) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(error));
        return 2;
    }
    if (parser.isSet(offline) && parser.isSet(online)) {
        std::fprintf(stderr, "yomimaru: --offline and --online exclude each other (see --help)\n");
        return 2;
    }

    const AppPaths paths = AppPaths::resolve(parser.value(dataDir), parser.value(configDir));
    const QString root = paths.dataRoot();
    if (!QDir().mkpath(root) || !QFileInfo(root).isDir()) {
        return cannotStart(parser.value(speech),
                           u"the data folder %1 cannot be created"_s.arg(QDir::toNativeSeparators(root)),
                           u"データフォルダーをつくれないため、よみまるをきどうできません。"_s);
    }
    // One copy of the program per data folder; a second one ends silently,
    // before it has opened (and perhaps repaired) any file of the first.
    QLockFile instanceLock(QDir(root).filePath(u".yomimaru.lock"_s));
    instanceLock.setStaleLockTime(0);
    if (!instanceLock.tryLock(100)) {
        if (instanceLock.error() == QLockFile::LockFailedError) {
            return 0;
        }
        // Not another copy: the folder takes no file.
        return cannotStart(parser.value(speech),
                           u"the data folder %1 takes no files"_s.arg(QDir::toNativeSeparators(root)),
                           u"データフォルダーにかきこめないため、よみまるをきどうできません。"_s);
    }
    commandLine.reset();
    // What an interrupted save left behind is of no use to anyone.
    TextFile::removeStaleTemporaries(paths.dataRoot());

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"yomimaru"_s);
    QApplication::setApplicationVersion(QStringLiteral(YOMIMARU_VERSION));
    SettingsStore store(paths.configDir());
    CSettings settings(store);
    if (!settings.InitInstance()) {
        std::fprintf(stderr, "%s\n", qPrintable(settings.errorMessage()));
    }

    SpeechEngineChoice choice = createSpeechEngine(parser.value(speech));
    if (!choice.engine) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(choice.error));
        return 2;
    }
    // Scripted runs make the transcript's utterances take no time.
    if (auto* transcript = qobject_cast<TranscriptEngine*>(choice.engine.get())) {
        bool ok = false;
        const int ms = qEnvironmentVariableIntValue("YOMIMARU_TRANSCRIPT_MS_PER_CHAR", &ok);
        if (ok) {
            transcript->setMsPerChar(ms);
        }
    }
    ReadConv readconv(paths.findResource(u"readconv.txt"_s));
    readconv.InitInstance();
    EmojiNames emojiNames;
    emojiNames.load(paths.findResource(EmojiNames::kFileName.toString()));
    JapaneseFrontEnd frontEnd;  // kanji readings for espeak-ng
    if (QString warning; !frontEnd.open(&warning)) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(warning));
    }
    SpeechOutput speechOutput(*choice.engine, settings, readconv);
    speechOutput.setEmojiNames(&emojiNames);
    speechOutput.setReadingFrontEnd(&frontEnd);
    OrcaScreenReader orca;
    CSrCntl screenReaders({&orca});
    screenReaders.InitInstance();
    QtSoundPlayer sounds(QtSoundPlayer::searchDirsFor(paths.resourceDirs()));
    // Character details for the speaking text fields; a missing dictionary is
    // reported on stderr by the loader and the others still serve.
    CShosaiYomi shosaiYomi;
    shosaiYomi.setEmojiNames(&emojiNames);
    shosaiYomi.InitInstance(paths);
    mSpeakTextBox textBox(speechOutput, settings, shosaiYomi);
    // The braille line beside the voice, when BRLTTY answers.
    BrlapiDisplay brailleDisplay;
    BrailleOutput braille(brailleDisplay, &frontEnd);
    braille.applySettings(settings);
    braille.onRoute = [&](const QString& text, qsizetype index) {
        const QString ch = text.mid(index, text.at(index).isHighSurrogate() ? 2 : 1);
        const QString reading = shosaiYomi.Get_ShosaiYomi(ch, false, false, true);
        speechOutput.SpeakText(reading, false,
                               reading.contains(QString::fromUtf16(SpeechOutput::kPitchMarker))
                                   ? SpeechOutput::kModePitchMarkup
                                   : SpeechOutput::kModeNormal);
    };
    speechOutput.setBraille(&braille);
    brailleDisplay.open();

    MainForm::Services services;
    services.speech = &speechOutput;
    services.engine = choice.engine.get();
    services.readconv = &readconv;
    services.screenReaders = &screenReaders;
    services.sounds = &sounds;
    services.textBox = &textBox;
    services.offline = parser.isSet(offline);
    // Under Wayland a program can place neither its window nor the pointer.
    services.placesWindows = !QGuiApplication::platformName().startsWith(u"wayland"_s);
    services.powerOff = [] { QProcess::startDetached(u"systemctl"_s, {u"poweroff"_s}); };
    // Asked of the system unless the user knows better: a proxy or board
    // server on this machine answers whatever the system says of its network.
    if (!parser.isSet(online)) {
        services.connectionProbe = ConnectionState::systemProbe();
    }

    MainForm form(paths, store, settings, services);
    // A failed start says so and ends at the next idle tick; it must not end
    // as a success.
    const bool started = form.start();
    if (parser.isSet(smokeTest) && started) {
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    const int result = QApplication::exec();
    screenReaders.ExitInstance();
    return started ? result : 1;
}
