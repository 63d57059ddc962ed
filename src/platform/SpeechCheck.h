#pragma once

// yomimaru --speech-check: says one sentence with kanji through the voice the
// program would use and prints what spoke it and how long it took to start.
// Needs no window (it runs on a QCoreApplication before any GUI exists), so it
// also works on a console or over ssh. Exit status 0 when the sentence was
// spoken to its end, 1 when there was no speech, 2 for a bad option.

#include <functional>

#include <QString>
#include <QStringList>

class CSettings;
class SpeechEngine;
class SpeechOutput;

class SpeechCheck
{
public:
    static constexpr const char* kOption = "--speech-check";
    static constexpr const char16_t* kSentence = u"読み丸の音声確認です。今日は良い天気ですね。";

    // What the reading front end did for the sentence.
    struct FrontEnd
    {
        bool built = false;   // the program has a reading front end
        bool active = false;  // it converted the sentence for this voice
    };

    struct Result
    {
        int exitCode = 1;
        QStringList lines;  // the report, one line each
    };

    // True when the command line asks for the check.
    static bool requested(int argc, char** argv);
    // Makes its own QCoreApplication, reads --speech and --config-dir (and
    // --data-dir for the reading conversion), runs the check, prints the
    // report on stdout.
    static int run(int argc, char** argv);

    // The check itself on an engine that is ready: selects the user's saved
    // voice (setting 13) when it is a Japanese one, else the default voice,
    // speaks the sentence and waits for its end, at most timeoutMs.
    // frontEnd is asked after the sentence went out.
    static Result check(SpeechEngine& engine,
                        const QString& engineKind,
                        CSettings& settings,
                        SpeechOutput& output,
                        const std::function<FrontEnd()>& frontEnd,
                        int timeoutMs = 60000);

    static QString frontEndLine(const FrontEnd& frontEnd);
};
