#pragma once

// Which voice speaks when the user has not chosen one, and the names the
// engine menu gives the voices. Works on a plain list of voices so that it
// does not depend on any speech service.

#include <QList>
#include <QString>

struct VoiceInfo
{
    QString module;    // the speech service's output module, e.g. "espeak-ng"
    QString name;      // empty: the module's default voice
    QString language;  // as the module reports it, e.g. "ja"
    QString variant;   // e.g. "MALE1"; may be empty
};

namespace VoiceChoice {

bool isJapaneseLanguage(const QString& language);
// Open JTalk, whatever its module is called (yomimaru-openjtalk, openjtalk,
// openjtalk-generic).
bool isOpenJTalk(const VoiceInfo& voice);
bool isEspeak(const VoiceInfo& voice);

// The voice mode (voices[i] is mode i + 1) to speak with, or 0 when no voice is
// Japanese. A saved mode that names a Japanese voice wins; otherwise Open
// JTalk (through the program's own module first), then any other Japanese
// voice that is not espeak, then espeak.
int defaultMode(const QList<VoiceInfo>& voices, int savedMode = 0);

// What the engine menu says for a voice: "mode  (product)".
QString modeLabel(const VoiceInfo& voice);
QString productLabel(const VoiceInfo& voice);

}  // namespace VoiceChoice
