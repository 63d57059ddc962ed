#include "SpeechEngine.h"

SpeechEngine::SpeechEngine(QObject* parent)
    : QObject(parent)
{}

SpeechEngine::~SpeechEngine() = default;

VoiceInfo SpeechEngine::voiceInfo(int mode) const
{
    if (mode < 1 || mode > modeCount()) {
        return {};
    }
    return {productName(mode), modeName(mode), isJapanese(mode) ? QStringLiteral("ja") : QString(),
            QString()};
}
