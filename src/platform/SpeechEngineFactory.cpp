#include "SpeechEngineFactory.h"

#include <cstdio>

#include "platform/SpeechdEngine.h"
#include "platform/TranscriptEngine.h"

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<SpeechEngine> transcriptTo(const QString& file, QString& warning)
{
    auto engine = std::make_unique<TranscriptEngine>();
    if (!engine->open(file)) {
        warning = u"yomimaru: cannot write the transcript to %1; writing it to stdout"_s.arg(file);
    }
    return engine;
}

}  // namespace

QString speechOptionError(const QString& option)
{
    const QString value = option.isEmpty() ? u"auto"_s : option;
    if (value == u"auto"_s || value == u"speechd"_s || value == u"transcript"_s
        || value.startsWith(u"transcript:"_s)) {
        return {};
    }
    return u"unknown speech engine \"%1\" (use auto, speechd or transcript[:FILE])"_s.arg(value);
}

SpeechEngineChoice createSpeechEngine(const QString& option, int openTimeoutMs)
{
    SpeechEngineChoice choice;
    const QString value = option.isEmpty() ? u"auto"_s : option;

    if (value == u"transcript"_s || value.startsWith(u"transcript:"_s)) {
        choice.kind = u"transcript"_s;
        choice.engine = transcriptTo(value.mid(qsizetype(sizeof("transcript:")) - 1), choice.warning);
    } else if (value == u"speechd"_s) {
        auto engine = std::make_unique<SpeechdEngine>();
        if (!engine->open(openTimeoutMs)) {
            choice.warning = u"yomimaru: speech-dispatcher: %1"_s.arg(engine->errorString());
        }
        choice.kind = u"speechd"_s;
        choice.engine = std::move(engine);
    } else if (value == u"auto"_s) {
        auto engine = std::make_unique<SpeechdEngine>();
        if (engine->open(openTimeoutMs) && engine->firstJapaneseMode() != 0) {
            choice.kind = u"speechd"_s;
            choice.engine = std::move(engine);
        } else {
            choice.warning =
                engine->isOpen()
                    ? u"yomimaru: speech-dispatcher has no Japanese voice; writing speech to stdout"_s
                    : u"yomimaru: speech-dispatcher is not available (%1); writing speech to stdout"_s.arg(
                        engine->errorString());
            engine.reset();
            QString ignored;
            choice.kind = u"transcript"_s;
            choice.engine = transcriptTo(QString(), ignored);
        }
    } else {
        choice.error = speechOptionError(value);
        return choice;
    }
    if (!choice.warning.isEmpty()) {
        std::fprintf(stderr, "%s\n", choice.warning.toLocal8Bit().constData());
    }
    return choice;
}
