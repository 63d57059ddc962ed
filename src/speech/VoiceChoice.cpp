#include "VoiceChoice.h"

using namespace Qt::StringLiterals;

namespace VoiceChoice {

namespace {

// Lower is better; Japanese voices only. The program's own Open JTalk module
// answers sooner than any other way to Open JTalk.
int rank(const VoiceInfo& voice)
{
    if (voice.module.compare(u"yomimaru-openjtalk"_s, Qt::CaseInsensitive) == 0) {
        return 0;
    }
    if (isOpenJTalk(voice)) {
        return 1;
    }
    return isEspeak(voice) ? 3 : 2;
}

QString engineLabel(const QString& module)
{
    const QString lower = module.toLower();
    if (lower.contains(u"openjtalk"_s)) {
        return u"Open JTalk"_s;
    }
    if (lower.startsWith(u"espeak-ng"_s)) {
        return u"eSpeak NG"_s;
    }
    if (lower.startsWith(u"espeak"_s)) {
        return u"eSpeak"_s;
    }
    return module;
}

QString genderLabel(const QString& variant)
{
    const QString upper = variant.toUpper();
    if (upper.startsWith(u"FEMALE"_s)) {
        return u"女性の声"_s;
    }
    if (upper.startsWith(u"MALE"_s)) {
        return u"男性の声"_s;
    }
    if (upper.startsWith(u"CHILD"_s)) {
        return u"子供の声"_s;
    }
    return {};
}

}  // namespace

bool isJapaneseLanguage(const QString& language)
{
    return language.compare(u"ja"_s, Qt::CaseInsensitive) == 0
           || language.startsWith(u"ja-"_s, Qt::CaseInsensitive)
           || language.startsWith(u"ja_"_s, Qt::CaseInsensitive);
}

bool isOpenJTalk(const VoiceInfo& voice)
{
    return voice.module.contains(u"openjtalk"_s, Qt::CaseInsensitive);
}

bool isEspeak(const VoiceInfo& voice)
{
    return voice.module.contains(u"espeak"_s, Qt::CaseInsensitive);
}

int defaultMode(const QList<VoiceInfo>& voices, int savedMode)
{
    if (savedMode >= 1 && savedMode <= voices.size()
        && isJapaneseLanguage(voices.at(savedMode - 1).language)) {
        return savedMode;
    }
    int best = 0;
    int bestRank = 0;
    for (int i = 0; i < voices.size(); ++i) {
        if (!isJapaneseLanguage(voices.at(i).language)) {
            continue;
        }
        const int r = rank(voices.at(i));
        if (best == 0 || r < bestRank) {
            best = i + 1;
            bestRank = r;
        }
    }
    return best;
}

QString modeLabel(const VoiceInfo& voice)
{
    const QString engine = engineLabel(voice.module);
    if (voice.name.isEmpty() || !isJapaneseLanguage(voice.language)) {
        return voice.name.isEmpty() ? engine : voice.name + u' ' + engine;
    }
    if (isEspeak(voice)) {
        return engine;
    }
    const QString gender = genderLabel(voice.variant);
    return gender.isEmpty() ? engine : engine + u' ' + gender;
}

QString productLabel(const VoiceInfo& voice)
{
    if (voice.name.isEmpty()) {
        return u"既定の声"_s;
    }
    if (isEspeak(voice) && isJapaneseLanguage(voice.language)) {
        // The reading front end turns kanji into katakana for this voice.
        return u"日本語、漢字はカナに変換"_s;
    }
    return voice.name;
}

}  // namespace VoiceChoice
