// Speaks one text through speech-dispatcher with the Japanese voice of a
// chosen output module, the way the program does (speech output, levels, the
// real engine). Used by the Open JTalk audio test.
//
//   speak-with-voice MODULE TEXT
//   speak-with-voice --cancel-after-audio MS RECORDING.raw MODULE TEXT
//
// MODULE is matched as a part of the output module's name. Prints "mode
// <name>", "module <module>", "started", "finished" and "audio-output-failed"
// as they happen; exits 0 once the utterance has finished, 1 when the voice
// or speech-dispatcher cannot be used.
//
// With --cancel-after-audio the tool watches RECORDING.raw, a recording in
// progress (signed 16-bit mono, 22050 Hz), and resets the speech MS
// milliseconds after the first audible sample in it. It then prints
// "cancel-at-byte N", N being the recording's length at that moment.

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "platform/SpeechdEngine.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRate = 22050;
constexpr int kAudible = 300;  // a sample above this is sound

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Follows a growing recording and tells when it has held sound for a while.
class RecordingWatch
{
public:
    RecordingWatch(const QString& path, int afterMs)
        : m_file(path)
        , m_afterBytes(qint64(afterMs) * kRate / 1000 * 2)
    {}

    // The recording's length once it holds afterMs of audio after its first
    // sound, else -1.
    qint64 poll()
    {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly)) {
            return -1;
        }
        const QByteArray bytes = m_file.readAll();
        for (qsizetype i = 0; m_onset < 0 && i + 1 < bytes.size(); i += 2) {
            const auto sample = qint16(quint16(quint8(bytes.at(i))) | quint16(quint8(bytes.at(i + 1))) << 8);
            if (std::abs(int(sample)) > kAudible) {
                m_onset = m_read + i;
            }
        }
        m_read += bytes.size();
        return m_onset >= 0 && m_read >= m_onset + m_afterBytes ? m_read : -1;
    }

private:
    QFile m_file;
    qint64 m_afterBytes;
    qint64 m_onset = -1;
    qint64 m_read = 0;  // whole samples: parecord writes them whole
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    std::unique_ptr<RecordingWatch> watch;
    if (args.size() == 5 && args.at(0) == u"--cancel-after-audio"_s) {
        watch = std::make_unique<RecordingWatch>(args.at(2), args.at(1).toInt());
        args = args.mid(3);
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: speak-with-voice [--cancel-after-audio MS RECORDING.raw] MODULE TEXT\n");
        return 2;
    }
    SpeechdEngine engine;
    if (!engine.open(20000)) {
        std::fprintf(stderr, "speech-dispatcher: %s\n", engine.errorString().toLocal8Bit().constData());
        return 1;
    }
    int mode = 0;
    for (int m = 1; m <= engine.modeCount() && mode == 0; ++m) {
        if (engine.isJapanese(m) && engine.voiceInfo(m).module.contains(args.at(0))) {
            mode = m;
        }
    }
    if (mode == 0 || !engine.selectMode(mode)) {
        std::fprintf(stderr, "no Japanese voice of a module named like %s\n", qPrintable(args.at(0)));
        return 1;
    }
    say(u"mode "_s + engine.modeName(mode));
    say(u"module "_s + engine.voiceInfo(mode).module);

    QTemporaryDir config;
    SettingsStore store(config.path());
    CSettings settings(store);
    settings.InitInstance();
    ReadConv readconv;
    SpeechOutput output(engine, settings, readconv);
    // The middle of the speed and pitch scales and full volume: Open JTalk's
    // -r 1 -fm 0 -g 0 through the shipped module file.
    output.ApplyVolume(10);
    output.ApplySpeed(5);
    output.ApplyPitch(5);

    QTimer poller;
    QObject::connect(&output, &SpeechOutput::speechStarted, [&] {
        say(u"started"_s);
        if (watch) {
            poller.start(5);
        }
    });
    QObject::connect(&poller, &QTimer::timeout, [&] {
        const qint64 at = watch->poll();
        if (at >= 0) {
            poller.stop();
            output.StopSpeech();
            say(u"cancel-at-byte %1"_s.arg(at));
        }
    });
    QObject::connect(&output, &SpeechOutput::audioOutputFailed, [] { say(u"audio-output-failed"_s); });
    QObject::connect(&output, &SpeechOutput::speechFinished, &app, [&app] {
        say(u"finished"_s);
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    output.SpeakText(args.at(1), true);
    return app.exec();
}
