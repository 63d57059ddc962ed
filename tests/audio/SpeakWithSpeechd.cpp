// Speaks one text through speech-dispatcher the way the program does (speech
// output, reading conversion, levels, the real engine) and reports what the
// engine said about it. Used by the audio capture test.
//
//   speak-with-speechd [--front-end] [--ssml] [--watchdog MS_PER_CHAR MARGIN_MS] TEXT
//   speak-with-speechd --sound RESOURCE_DIR NAME
//   speak-with-speechd --continuous|--late TEXT...
//   speak-with-speechd --interrupt COUNT TEXT...
//
// Prints "mode <name>", "started", "finished" and "audio-output-failed" as they
// happen; exits 0 once the utterance has finished, 1 when speech-dispatcher
// cannot be used. With --ssml it prints the markup sent for TEXT and exits.
// With --front-end the Japanese reading front end is opened and given to the
// speech output as the program does (for --ssml: applied to TEXT first), and
// "front-end on" is printed when it was applied to the utterance.
// With --sound it plays a sound cue to its end and prints "played", or
// "skipped" (exit 1) when it was not played.
// With --continuous the texts are read as continuous reading reads units:
// the first is spoken and each next one handed over while the one before it
// plays; with --one-by-one each next one is spoken only at the end of the one
// before it. "queued" is printed at each hand-over; the program exits after
// the end of the last.
// With --interrupt the first text is spoken and cut off by an audio reset
// COUNT times, then the texts are read as --continuous reads them; at the
// end "held N" tells how many notifications the engine still keeps.

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SpeechdEngine.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    JapaneseFrontEnd frontEnd;
    const bool withFrontEnd = !args.isEmpty() && args.at(0) == u"--front-end"_s;
    if (withFrontEnd) {
        args.removeFirst();
        if (QString warning; !frontEnd.open(&warning)) {
            std::fprintf(stderr, "%s\n", warning.toLocal8Bit().constData());
            return 1;
        }
    }
    if (args.size() == 2 && args.at(0) == u"--ssml"_s) {
        say(SpeechdEngine::toSsml(withFrontEnd ? frontEnd.convert(args.at(1)) : args.at(1)));
        return 0;
    }
    if (args.size() == 3 && args.at(0) == u"--sound"_s) {
        QtSoundPlayer player(QtSoundPlayer::searchDirsFor({args.at(1)}));
        const bool played = player.play(args.at(2), true);
        say(played ? u"played"_s : u"skipped"_s);
        return played ? 0 : 1;
    }
    SpeechdEngine engine;
    enum class Units
    {
        One,
        Continuous,
        Late
    };
    Units units = Units::One;
    int interruptions = 0;
    if (args.size() >= 3 && args.at(0) == u"--interrupt"_s) {
        interruptions = args.at(1).toInt();
        args = args.mid(2);
        units = Units::Continuous;
    }
    if (args.size() >= 2 && (args.at(0) == u"--continuous"_s || args.at(0) == u"--late"_s)) {
        units = args.takeFirst() == u"--continuous"_s ? Units::Continuous : Units::Late;
    }
    if (args.size() == 4 && args.at(0) == u"--watchdog"_s) {
        engine.setWatchdog(args.at(1).toInt(), args.at(2).toInt());
        args = args.mid(3);
    }
    if (args.isEmpty() || (units == Units::One && args.size() != 1)) {
        std::fprintf(
            stderr,
            "usage: speak-with-speechd [--front-end] [--ssml] [--watchdog MS_PER_CHAR MARGIN_MS] TEXT\n");
        return 2;
    }
    if (!engine.open(20000)) {
        std::fprintf(stderr, "speech-dispatcher: %s\n", engine.errorString().toLocal8Bit().constData());
        return 1;
    }
    const int mode = engine.firstJapaneseMode();
    if (mode == 0 || !engine.selectMode(mode)) {
        std::fprintf(stderr, "no Japanese voice\n");
        return 1;
    }
    say(u"mode "_s + engine.modeName(mode) + u" module "_s + engine.voiceInfo(mode).module);

    QTemporaryDir config;
    SettingsStore store(config.path());
    CSettings settings(store);
    settings.InitInstance();
    ReadConv readconv;
    SpeechOutput output(engine, settings, readconv);
    if (withFrontEnd) {
        output.setReadingFrontEnd(&frontEnd);
    }
    // The middle of the speed and pitch scales and full volume.
    output.ApplyVolume(10);
    output.ApplySpeed(5);
    output.ApplyPitch(5);

    bool quiet = false;
    QObject::connect(&output, &SpeechOutput::speechStarted, [&quiet] {
        if (!quiet) {
            say(u"started"_s);
        }
    });
    // Each interruption comes once the daemon has the message, so that its
    // own cancel notification follows the reset.
    quiet = true;
    for (int i = 0; i < interruptions; ++i) {
        output.SpeakText(args.at(0));
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 10) {
            app.processEvents(QEventLoop::AllEvents, 5);
        }
        output.StopSpeech();
    }
    if (interruptions > 0) {
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 1000) {
            app.processEvents(QEventLoop::AllEvents, 50);
        }
        say(u"interrupted "_s + QString::number(interruptions));
    }
    quiet = false;
    QObject::connect(&output, &SpeechOutput::audioOutputFailed, [] { say(u"audio-output-failed"_s); });
    if (units != Units::One) {
        qsizetype next = 1;
        const auto handOver = [&] {
            if (next < args.size() && output.QueueText(args.at(next)) != 0) {
                ++next;
                say(u"queued"_s);
            }
        };
        QObject::connect(&output, &SpeechOutput::queuedStarted, handOver);
        QObject::connect(&output, &SpeechOutput::speechFinished, &app, [&] {
            if (next < args.size()) {
                QTimer::singleShot(units == Units::Late ? 200 : 0, &app, [&] {
                    output.SpeakText(args.at(next++));
                    if (units == Units::Continuous) {
                        handOver();
                    }
                });
                return;
            }
            say(u"finished"_s);
            if (interruptions > 0) {
                say(u"held "_s + QString::number(engine.heldNotifications()));
            }
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        });
        output.SpeakText(args.at(0));
        if (units == Units::Continuous) {
            handOver();
        }
        return app.exec();
    }
    QObject::connect(&output, &SpeechOutput::speechFinished, &app, [&app] {
        say(u"finished"_s);
        // Let a pending audio-output-failed report arrive first.
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    output.SpeakText(args.at(0), true);
    if (output.frontEndActive()) {
        say(u"front-end on"_s);
    }
    return app.exec();
}
