#include "SpeechCheck.h"

#include <cstdio>
#include <cstring>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "base/AppPaths.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "platform/BrlapiDisplay.h"
#include "platform/SpeechEngineFactory.h"
#include "speech/EmojiNames.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "speech/VoiceChoice.h"

using namespace Qt::StringLiterals;

bool SpeechCheck::requested(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kOption) == 0) {
            return true;
        }
    }
    return false;
}

QString SpeechCheck::frontEndLine(const FrontEnd& frontEnd)
{
    if (!frontEnd.built) {
        return u"front end: not built"_s;
    }
    return frontEnd.active ? u"front end: ran (kanji turned into katakana for this voice)"_s
                           : u"front end: not used (this voice reads kanji itself)"_s;
}

SpeechCheck::Result SpeechCheck::check(SpeechEngine& engine,
                                       const QString& engineKind,
                                       CSettings& settings,
                                       SpeechOutput& output,
                                       const std::function<FrontEnd()>& frontEnd,
                                       int timeoutMs)
{
    Result result;
    result.lines << u"engine: "_s + engineKind;

    QList<VoiceInfo> voices;
    for (int mode = 1; mode <= engine.modeCount(); ++mode) {
        voices.append(engine.voiceInfo(mode));
    }
    bool ok = false;
    const int stored = settings.Get_(CSettings::VoiceEngine).toInt(&ok);
    const int saved = settings.isStored(CSettings::VoiceEngine) && ok ? stored : 0;
    const int mode = VoiceChoice::defaultMode(voices, saved);
    if (mode == 0) {
        result.lines << u"voice: none (no Japanese voice)"_s << u"result: no speech"_s;
        return result;
    }
    engine.selectMode(mode);
    const VoiceInfo voice = engine.voiceInfo(mode);
    result.lines << u"voice: %1  (%2)"_s.arg(engine.modeName(mode), engine.productName(mode))
                 << u"module: "_s + voice.module << u"voice name: "_s + voice.name
                 << (mode == saved ? u"chosen by: the saved choice (%1)"_s.arg(saved)
                     : saved != 0  ? u"chosen by: default (the saved choice %1 is not usable)"_s.arg(saved)
                                   : u"chosen by: default (no saved choice)"_s);

    output.ApplyVolume(settings.getInt(CSettings::SpeechVolume, 10));
    output.ApplySpeed(settings.getInt(CSettings::SpeechSpeed, 6));
    output.ApplyPitch(settings.getInt(CSettings::SpeechPitch, 5));

    QEventLoop loop;
    QElapsedTimer clock;
    qint64 startedMs = -1;
    qint64 finishedMs = -1;
    bool audioFailed = false;
    const auto onStarted = QObject::connect(&output, &SpeechOutput::speechStarted, &loop, [&] {
        if (startedMs < 0) {
            startedMs = clock.elapsed();
        }
    });
    const auto onFailed =
        QObject::connect(&output, &SpeechOutput::audioOutputFailed, &loop, [&] { audioFailed = true; });
    const auto onFinished = QObject::connect(&output, &SpeechOutput::speechFinished, &loop, [&] {
        finishedMs = clock.elapsed();
        // A pending report of a failing audio output comes first.
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);

    const QString sentence = QString::fromUtf16(kSentence);
    result.lines << u"sentence: "_s + sentence;
    clock.start();
    output.SpeakText(sentence, true);
    result.lines << frontEndLine(frontEnd ? frontEnd() : FrontEnd());
    if (!output.speechDone() || output.isEngineSpeaking()) {
        loop.exec();
    }
    QObject::disconnect(onStarted);
    QObject::disconnect(onFailed);
    QObject::disconnect(onFinished);

    result.lines << (startedMs >= 0 ? u"start after: %1 ms"_s.arg(startedMs) : u"start after: never"_s);
    if (startedMs >= 0 && voice.module == u"yomimaru-openjtalk"_s) {
        // The program's own module reports the start with the first sound.
        result.lines << u"first sound after: %1 ms"_s.arg(startedMs);
    }
    result.lines << (finishedMs >= 0 ? u"end after: %1 ms"_s.arg(finishedMs) : u"end after: never"_s);
    if (engineKind != u"speechd"_s) {
        result.lines << u"result: no speech (the %1 engine only writes text)"_s.arg(engineKind);
    } else if (audioFailed) {
        result.lines << u"result: no speech (no audio output works)"_s;
    } else if (startedMs < 0 || finishedMs < 0) {
        output.StopSpeech();
        result.lines << u"result: no speech (the engine did not report it)"_s;
    } else {
        result.lines << u"result: spoken"_s;
        result.exitCode = 0;
    }
    return result;
}

int SpeechCheck::run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"yomimaru"_s);
    QCommandLineParser parser;
    const QCommandLineOption checkOption(QString::fromLatin1(kOption + 2));
    const QCommandLineOption speech(u"speech"_s, QString(), u"ENGINE"_s, u"auto"_s);
    const QCommandLineOption configDir(u"config-dir"_s, QString(), u"DIR"_s);
    const QCommandLineOption dataDir(u"data-dir"_s, QString(), u"DIR"_s);
    parser.addOptions({checkOption, speech, configDir, dataDir});
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(parser.errorText()));
        return 2;
    }

    const AppPaths paths = AppPaths::resolve(parser.value(dataDir), parser.value(configDir));
    SettingsStore store(paths.configDir());
    CSettings settings(store);
    settings.InitInstance();

    SpeechEngineChoice choice = createSpeechEngine(parser.value(speech));
    if (!choice.engine) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(choice.error));
        return 2;
    }
    ReadConv readconv(paths.findResource(u"readconv.txt"_s));
    readconv.InitInstance();
    EmojiNames emojiNames;
    emojiNames.load(paths.findResource(EmojiNames::kFileName.toString()));
    JapaneseFrontEnd frontEnd;
    QString frontEndWarning;
    const bool frontEndOpen = frontEnd.open(&frontEndWarning);
    if (!frontEndOpen) {
        std::fprintf(stderr, "yomimaru: %s\n", qPrintable(frontEndWarning));
    }
    SpeechOutput output(*choice.engine, settings, readconv);
    output.setEmojiNames(&emojiNames);
    output.setReadingFrontEnd(&frontEnd);

    const Result result = check(*choice.engine, choice.kind, settings, output, [&] {
        return FrontEnd{frontEndOpen, output.frontEndActive()};
    });
    for (const QString& line : result.lines) {
        std::printf("%s\n", line.toUtf8().constData());
    }
    // One line on braille, whatever the voice did.
    BrlapiDisplay braille;
    const QString brailleLine =
        braille.open(false)
            ? u"braille: %1 cells (%2) through BrlAPI"_s.arg(braille.cellCount()).arg(braille.driverName())
            : u"braille: no BrlAPI server (%1)"_s.arg(braille.lastError());
    std::printf("%s\n", brailleLine.toUtf8().constData());
    std::fflush(stdout);
    return result.exitCode;
}
