#include "SpeechOutput.h"

#include <cmath>
#include <utility>

#include <QLoggingCategory>

#include "base/CSettings.h"
#include "speech/BrailleOutput.h"
#include "speech/EmojiNames.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSpeech, "yomimaru.speech", QtWarningMsg)

namespace {

// Full-width forms of U+FF66..U+FF9D (half-width katakana ｦ..ﾝ).
constexpr char16_t kKatakana[] = {
    u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ',
    u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ',
    u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ',
    u'ミ', u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン',
};

constexpr char16_t kVoicedMark = u'\uFF9E';
constexpr char16_t kSemiVoicedMark = u'\uFF9F';

// The voiced (or semi-voiced) katakana of a full-width katakana, or 0 when it
// has none in the Japanese character set.
char16_t voicedForm(char16_t kana, bool semi)
{
    if (semi) {
        const bool haRow = kana >= u'ハ' && kana <= u'ホ' && (kana - u'ハ') % 3 == 0;
        return haRow ? char16_t(kana + 2) : char16_t(0);
    }
    if (kana == u'ウ') {
        return u'ヴ';
    }
    // カ..ト take the dakuten at the next code point, except the small ッ.
    if (kana >= u'カ' && kana <= u'ト' && kana != u'ッ') {
        const bool base = kana <= u'チ' ? (kana - u'カ') % 2 == 0 : (kana - u'ツ') % 2 == 0;
        return base ? char16_t(kana + 1) : char16_t(0);
    }
    if (kana >= u'ハ' && kana <= u'ホ' && (kana - u'ハ') % 3 == 0) {
        return char16_t(kana + 1);
    }
    return 0;
}

// Half-width katakana from ｦ (U+FF66) to ﾟ (U+FF9F) widened, voiced marks
// joined to the kana before them. Returns the number of characters consumed
// (0 when text[i] is not such a character).
qsizetype widenKanaAt(const QString& text, qsizetype i, QString& out)
{
    const char16_t c = text.at(i).unicode();
    if (c < 0xFF66 || c > 0xFF9F) {
        return 0;
    }
    if (c == kVoicedMark) {
        out += u'゛';
        return 1;
    }
    if (c == kSemiVoicedMark) {
        out += u'゜';
        return 1;
    }
    const char16_t wide = kKatakana[c - 0xFF66];
    if (i + 1 < text.size()) {
        const char16_t next = text.at(i + 1).unicode();
        if (next == kVoicedMark || next == kSemiVoicedMark) {
            const char16_t joined = voicedForm(wide, next == kSemiVoicedMark);
            if (joined != 0) {
                out += QChar(joined);
                return 2;
            }
        }
    }
    out += QChar(wide);
    return 1;
}

// Emoji are named first, so the reading conversion and the engine see words.
// Pitch markup gets names too (the detail readers pass on what they cannot
// name), segment by segment, so a segment's pitch digit stays in front.
QString withEmojiNames(const EmojiNames* names, const QString& text, qint16 mode)
{
    if (names == nullptr) {
        return text;
    }
    if (mode != SpeechOutput::kModePitchMarkup) {
        return names->convert(text);
    }
    const QString marker = QString::fromUtf16(SpeechOutput::kPitchMarker);
    QStringList pieces = text.split(marker);
    for (qsizetype k = 1; k < pieces.size(); ++k) {
        pieces[k] = pieces.at(k).left(1) + names->convert(pieces.at(k).mid(1));
    }
    pieces[0] = names->convert(pieces.at(0));
    return pieces.join(marker);
}

}  // namespace

SpeechOutput::SpeechOutput(SpeechEngine& engine, CSettings& settings, ReadConv& readconv, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_settings(settings)
    , m_readconv(readconv)
{
    m_segments.append(QString());
    connect(&m_engine, &SpeechEngine::started, this, &SpeechOutput::onStarted);
    connect(&m_engine, &SpeechEngine::finished, this, &SpeechOutput::onFinished);
    connect(&m_engine, &SpeechEngine::audioOutputFailed, this, &SpeechOutput::audioOutputFailed);
}

SpeechOutput::~SpeechOutput() = default;

int SpeechOutput::pitchLevel() const
{
    return m_pitchLevel != 0 ? m_pitchLevel : qBound(1, m_settings.getInt(CSettings::SpeechPitch, 5), 10);
}

void SpeechOutput::addNotice(const QString& sentence)
{
    if (!sentence.isEmpty() && !m_notices.contains(sentence)) {
        m_notices.append(sentence);
    }
}

bool SpeechOutput::SpeakNotices()
{
    if (m_notices.isEmpty() || m_in_background || m_block_speak) {
        return false;
    }
    const QString notices = m_notices.join(QString());
    m_notices.clear();
    SpeakText(notices);
    return true;
}

void SpeechOutput::SpeakText(const QString& given, bool uninterruptible, qint16 mode)
{
    if (!uninterruptible && m_in_background) {
        return;
    }
    if (given.isEmpty() || m_block_speak) {
        return;
    }
    QString text = withEmojiNames(m_emojiNames, given, mode);
    // A pitch-marked text drops whatever stands before its first marker, so
    // the notices wait for the next plain utterance.
    if (!m_notices.isEmpty() && mode != kModePitchMarkup) {
        // Said first, so that what follows cannot cut it short. A sentence
        // that the text says itself is not said twice.
        QString notices;
        for (const QString& notice : std::as_const(m_notices)) {
            if (!text.contains(notice)) {
                notices += notice;
            }
        }
        m_notices.clear();
        text.prepend(notices);
    }
    m_segmentMode = false;
    resetEngine();

    bool queued = false;
    if (mode == kModePitchMarkup) {
        const SpeechEngine::UtteranceId before = m_current;
        SpeakPitchMarkup(text);
        queued = m_current != before && !m_currentCancelled;
    } else {
        const int shift = mode == kModeNormal ? 0 : (mode == 1 || mode == 2 ? 2 : 1);
        ApplyPitch(pitchLevel(), shift);
        const QString spoken = forVoice(WidenHalfwidthKana(m_readconv.Convert(text)));
        queued = !spoken.isEmpty() && speakNow(spoken);
    }
    // Only an utterance that is really on its way may block the others:
    // its end is what lifts the block.
    if (uninterruptible && queued) {
        m_block_speak = true;
    }
    // The display shows what is on its way to the voice.
    m_nextBraille.clear();
    if (queued && m_braille) {
        m_braille->show(text);
    }
}

void SpeechOutput::StopSpeech()
{
    if (m_SpeechDone) {
        return;
    }
    // A stopped utterance must not go on with the rest of its segments.
    m_segmentMode = false;
    resetEngine();
}

void SpeechOutput::resetEngine()
{
    m_engine.audioReset();
    if (m_current != 0) {
        m_currentCancelled = true;
    }
    // What waited behind it is discarded too; its end is history.
    m_next = 0;
    m_nextBraille.clear();
    m_currentWasQueued = false;
}

bool SpeechOutput::canQueue() const
{
    return m_engine.queuesUtterances() && m_current != 0 && !m_currentCancelled && m_next == 0;
}

SpeechEngine::UtteranceId SpeechOutput::QueueText(const QString& given, qint16 mode)
{
    if (given.isEmpty() || mode == kModePitchMarkup || !canQueue() || m_segmentMode || m_block_speak
        || m_in_background || !m_notices.isEmpty()) {
        return 0;
    }
    const QString text = withEmojiNames(m_emojiNames, given, mode);
    const QString spoken = forVoice(WidenHalfwidthKana(m_readconv.Convert(text)));
    if (spoken.isEmpty()) {
        return 0;
    }
    // The engine takes the levels with each utterance, so the one playing
    // keeps its pitch.
    const int shift = mode == kModeNormal ? 0 : (mode == 1 || mode == 2 ? 2 : 1);
    ApplyPitch(pitchLevel(), shift);
    m_next = m_engine.speak(spoken);
    // Shown when it starts to be heard.
    m_nextBraille = m_next != 0 ? text : QString();
    return m_next;
}

void SpeechOutput::promoteQueued()
{
    m_current = m_next;
    m_next = 0;
    m_currentCancelled = false;
    m_currentWasQueued = true;
    m_SpeechDone = false;
    if (m_braille && !m_nextBraille.isEmpty()) {
        m_braille->show(std::exchange(m_nextBraille, QString()));
    }
}

void SpeechOutput::queueNextSegment()
{
    while (m_segmentMode && m_segmentsLeft > 0 && canQueue()) {
        const QString segment = m_segments.at(m_segmentsLeft);
        --m_segmentsLeft;
        const QString rest = forVoice(toFullWidth(segment.mid(1)));
        if (rest.isEmpty()) {
            continue;
        }
        const int shift = segment.isEmpty() ? 0 : segment.at(0).digitValue();
        ApplyPitch(pitchLevel(), qMax(0, shift));
        m_next = m_engine.speak(rest);
        if (m_next != 0) {
            break;
        }
    }
    if (m_segmentsLeft == 0) {
        m_segments.resize(1);
        m_segmentMode = false;
    }
}

bool SpeechOutput::speakNow(const QString& text)
{
    const SpeechEngine::UtteranceId id = m_engine.speak(text);
    if (id == 0) {
        qCDebug(lcSpeech) << "the engine did not take an utterance";
        return false;
    }
    m_current = id;
    m_currentCancelled = false;
    // Speech counts as running from now on, so the reading timer does not
    // move on before the engine has reported the start.
    m_SpeechDone = false;
    return true;
}

QString SpeechOutput::forVoice(const QString& text)
{
    m_frontEndActive = m_frontEnd && m_frontEnd->isOpen()
                       && JapaneseFrontEnd::needsFrontEnd(m_engine.voiceInfo(m_engine.currentMode()).module);
    return m_frontEndActive ? m_frontEnd->convert(text) : text;
}

int SpeechOutput::levelValue(SpeechEngine::Range range, int level)
{
    const double value = double(range.min) + double(range.max - range.min) * double(level) / 10.0;
    return int(std::nearbyint(value));
}

int SpeechOutput::shiftedLevel(int level, int pitchShift)
{
    if (pitchShift == 1) {
        return qMax(1, level - 4);
    }
    if (pitchShift == 2) {
        return qMin(10, level + 2);
    }
    return level;
}

void SpeechOutput::ApplyVolume(int level)
{
    m_engine.setVolume(levelValue(m_engine.volumeRange(), qBound(1, level, 10)));
}

void SpeechOutput::ApplySpeed(int level)
{
    m_engine.setSpeed(levelValue(m_engine.speedRange(), qBound(1, level, 10)));
}

void SpeechOutput::ApplyPitch(int level, int pitchShift)
{
    m_pitchLevel = qBound(1, level, 10);
    m_engine.setPitch(levelValue(m_engine.pitchRange(), shiftedLevel(m_pitchLevel, pitchShift)));
}

void SpeechOutput::SpeakPitchMarkup(const QString& text)
{
    const QStringList pieces = text.split(QString::fromUtf16(kPitchMarker));
    const int n = int(pieces.size()) - 1;
    if (n == 0) {
        resetEngine();
        ApplyPitch(pitchLevel(), 0);
        speakNow(forVoice(toFullWidth(text)));
        m_segmentMode = false;
        return;
    }
    m_segments.resize(1);
    for (int k = 1; k <= n; ++k) {
        m_segments.append(pieces.at(n - k + 1));
    }
    m_segmentsLeft = n;
    m_segmentMode = true;
    SpeakNextSegment();
}

void SpeechOutput::SpeakNextSegment()
{
    // A segment with nothing to say would never end, so it is passed over.
    while (m_segmentMode && m_segmentsLeft > 0) {
        const QString segment = m_segments.at(m_segmentsLeft);
        --m_segmentsLeft;
        const QString rest = forVoice(toFullWidth(segment.mid(1)));
        if (rest.isEmpty()) {
            continue;
        }
        resetEngine();
        const int shift = segment.isEmpty() ? 0 : segment.at(0).digitValue();
        ApplyPitch(pitchLevel(), qMax(0, shift));
        if (speakNow(rest)) {
            break;
        }
    }
    queueNextSegment();
    if (m_segmentsLeft == 0) {
        m_segments.resize(1);
        m_segmentMode = false;
    }
}

QString SpeechOutput::WidenHalfwidthKana(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype used = widenKanaAt(text, i, out);
        if (used == 0) {
            out += text.at(i);
            ++i;
        } else {
            i += used;
        }
    }
    return out;
}

QString SpeechOutput::toFullWidth(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype used = widenKanaAt(text, i, out);
        if (used != 0) {
            i += used;
            continue;
        }
        const char16_t c = text.at(i).unicode();
        ++i;
        if (c >= 0x21 && c <= 0x7E) {
            out += QChar(char16_t(c + 0xFEE0));
            continue;
        }
        switch (c) {
        case u' ':
            out += u'\u3000';
            break;
        case u'\u00A2':
            out += u'\uFFE0';
            break;
        case u'\u00A3':
            out += u'\uFFE1';
            break;
        case u'\u00AC':
            out += u'\uFFE2';
            break;
        case u'\u00AF':
            out += u'\uFFE3';
            break;
        case u'\u00A6':
            out += u'\uFFE4';
            break;
        case u'\u00A5':
            out += u'\uFFE5';
            break;
        case u'\uFF61':
            out += u'。';
            break;
        case u'\uFF62':
            out += u'「';
            break;
        case u'\uFF63':
            out += u'」';
            break;
        case u'\uFF64':
            out += u'、';
            break;
        case u'\uFF65':
            out += u'・';
            break;
        default:
            out += QChar(c);
        }
    }
    return out;
}

void SpeechOutput::onStarted(SpeechEngine::UtteranceId id)
{
    // The waiting utterance may begin before the end of the one before it
    // is reported; from its start on it is what the listener hears.
    if (id != 0 && id == m_next) {
        promoteQueued();
    }
    // Only the current utterance moves the state; a replaced one is history.
    if (id != m_current || m_currentCancelled) {
        return;
    }
    m_SpeechDone = false;
    Q_EMIT speechStarted();
    if (m_currentWasQueued) {
        m_currentWasQueued = false;
        Q_EMIT queuedStarted(id);
        queueNextSegment();
    }
}

void SpeechOutput::onFinished(SpeechEngine::UtteranceId id)
{
    if (id != m_current) {
        return;
    }
    // Speech goes on with the utterance waiting behind this one; its start
    // moves the reading position.
    if (m_next != 0 && !m_currentCancelled) {
        promoteQueued();
        return;
    }
    handleSpeechFinished();
}

void SpeechOutput::handleSpeechFinished()
{
    const bool cancelled = m_currentCancelled;
    m_current = 0;
    m_next = 0;
    m_currentWasQueued = false;
    m_currentCancelled = false;
    m_SpeechDone = true;
    Q_EMIT speechFinished();
    m_block_speak = false;
    if (cancelled) {
        m_segmentMode = false;
        return;
    }
    SpeakNextSegment();
}
