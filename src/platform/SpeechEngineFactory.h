#pragma once

// Chooses the speech engine from the --speech option:
//   auto               speech-dispatcher when it answers with a Japanese voice,
//                      else the transcript on stdout, with a warning on stderr
//   speechd            speech-dispatcher, even without a Japanese voice (the
//                      caller then tells the user and ends)
//   transcript[:FILE]  the transcript, to FILE or to stdout

#include <memory>

#include <QString>

class SpeechEngine;

struct SpeechEngineChoice
{
    std::unique_ptr<SpeechEngine> engine;  // null when the option is not understood
    QString kind;                          // "speechd" or "transcript"
    QString warning;                       // what was printed on stderr, if anything
    QString error;                         // why the option was refused
};

// Why the option names no engine, or empty when it names one. Checked before
// anything is created, so a mistyped option changes nothing on disk.
QString speechOptionError(const QString& option);

// An empty option means "auto". openTimeoutMs bounds the wait for the daemon.
SpeechEngineChoice createSpeechEngine(const QString& option, int openTimeoutMs = 8000);
