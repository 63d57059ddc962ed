#include "mSpeakTextBox.h"

#include <algorithm>
#include <cmath>

#include <QRegularExpression>

#include "base/CSettings.h"
#include "base/TextCodec.h"
#include "speech/CShosaiYomi.h"
#include "speech/SpeechOutput.h"
#include "speech/TextBoxField.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kMarker = u"&&pitch;";
// A marker with its digit.
constexpr qsizetype kMarkerLength = 9;

bool isDigitKey(int key)
{
    return key >= Qt::Key_0 && key <= Qt::Key_9;
}

// The character that starts at pos, a surrogate pair whole.
QString codePointAt(const QString& text, int pos)
{
    if (pos < 0 || pos >= text.size()) {
        return {};
    }
    const int n = text.at(pos).isHighSurrogate() && pos + 1 < text.size() ? 2 : 1;
    return text.mid(pos, n);
}

QString codePointBefore(const QString& text, int pos)
{
    if (pos <= 0 || pos > text.size()) {
        return {};
    }
    const int n = pos >= 2 && text.at(pos - 1).isLowSurrogate() && text.at(pos - 2).isHighSurrogate() ? 2 : 1;
    return text.mid(pos - n, n);
}

int codePointCount(QStringView text)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate() || i == 0 || !text.at(i - 1).isHighSurrogate()) {
            ++n;
        }
    }
    return n;
}

}  // namespace

mSpeakTextBox::mSpeakTextBox(SpeechOutput& speech, CSettings& settings, const CShosaiYomi& yomi)
    : m_speech(speech)
    , m_settings(settings)
    , m_yomi(yomi)
{}

void mSpeakTextBox::Attach(TextBoxField* field)
{
    m_field = field;
    m_pressed.clear();
    m_composing = false;
    m_converted = false;
    m_lastTarget = {};
    m_caretTooFar = false;
    m_ime.Initialize();
    m_info.Initialize(field);
    if (field != nullptr) {
        // Low-vision users find a wide caret where a one-pixel line is lost.
        field->setCaretWidth(std::max(1, int(std::lround(m_info.Get_TextHeight() / 3.0))));
    }
}

void mSpeakTextBox::Detach()
{
    if (m_field != nullptr) {
        m_field->restoreCaret();
    }
    m_field = nullptr;
    m_pressed.clear();
    m_composing = false;
    m_ime.End_();
    m_info.Initialize(nullptr);
}

void mSpeakTextBox::say(const QString& text)
{
    m_speech.SpeakText(text, false, SpeechOutput::kModePitchMarkup);
}

bool mSpeakTextBox::setting(qint16 index) const
{
    return m_settings.Get_(index) == u"1"_s;
}

bool mSpeakTextBox::screenReaderUse() const
{
    return setting(CSettings::ScreenReaderUse);
}

QString mSpeakTextBox::oneCharReading(const QString& ch) const
{
    return m_yomi.Get_ShosaiYomi(ch, setting(CSettings::CaretPhonetic), !setting(CSettings::CaretDetailRead),
                                 setting(CSettings::CaretReadMode));
}

QString mSpeakTextBox::lineReading(const QString& line) const
{
    return m_yomi.Get_NamerakaYomi(line, m_settings.Get_(CSettings::ReadPunctuation),
                                   m_settings.Get_(CSettings::ReadBrackets),
                                   m_settings.Get_(CSettings::ReadSymbols));
}

QString mSpeakTextBox::withWordAfterMarker(const QString& reading, const QString& word) const
{
    if (reading.startsWith(kMarker) && reading.size() > kMarkerLength) {
        return reading.left(kMarkerLength) + word + reading.mid(kMarkerLength);
    }
    return word + reading;
}

bool mSpeakTextBox::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    m_composing = false;
    if (m_field == nullptr) {
        return false;
    }
    m_pressed.insert(key, modifiers);
    const QString text = m_field->text();
    const int caret = m_field->caretPosition();
    m_caretAtKeyDown = caret;
    m_rowAtKeyDown = CTextBoxInfo::rowOf(text, caret);
    m_caretTooFar = caret > kCaretLimit;
    if (m_caretTooFar) {
        say(u"カレット位置が64キロバイトを超えています"_s);
        return false;
    }
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const bool ctrlOnly = ctrl && !alt;
    const bool editable = !m_field->isReadOnly();
    switch (key) {
    case Qt::Key_Delete:
        if (editable) {
            readDelete(false);
        }
        return false;
    case Qt::Key_Backspace:
        if (editable) {
            readDelete(true);
        }
        return false;
    case Qt::Key_Home:
        say(ctrl || m_rowAtKeyDown == 0 ? u"ブントー"_s : u"ヒダリハシ"_s);
        return false;
    case Qt::Key_End:
        say(ctrl || m_rowAtKeyDown == int(text.count(u'\n')) ? u"ブンマツ"_s : u"ミギハシ"_s);
        return false;
    case Qt::Key_A:
        if (ctrlOnly) {
            say(u"全て選択"_s);
        }
        return false;
    case Qt::Key_X:
        if (ctrlOnly && editable) {
            say(QString::number(byteLength(m_field->selectedText())) + u"バイト切り取り "_s);
        }
        return false;
    case Qt::Key_Z:
        if (ctrlOnly && editable) {
            say(u"元に戻す"_s);
        }
        return false;
    case Qt::Key_V:
        if (ctrlOnly) {
            m_lengthBeforePaste = int(text.size());
            m_selectionBeforePaste = int(m_field->selectedText().size());
            m_selectionStartBeforePaste = m_field->selectionStart();
            m_clipboardBeforePaste = m_field->clipboardText();
        }
        return false;
    case Qt::Key_P:
        if (ctrlOnly) {
            report(7);
        }
        return false;
    default:
        break;
    }
    if (isDigitKey(key) && ctrl) {
        const int digit = key - Qt::Key_0;
        if (!alt) {
            report(digit);
            return false;
        }
        // The option keys never type their digit, whether or not they
        // switch anything.
        if (!screenReaderUse()) {
            switchOption(digit);
        }
        return true;
    }
    return false;
}

void mSpeakTextBox::keyUp(int key, Qt::KeyboardModifiers)
{
    if (m_field == nullptr) {
        return;
    }
    const auto pressed = m_pressed.constFind(key);
    if (pressed == m_pressed.cend()) {
        return;
    }
    // What the key meant is decided by the modifiers it went down with.
    const Qt::KeyboardModifiers modifiers = pressed.value();
    m_pressed.erase(pressed);
    if (m_caretTooFar) {
        return;
    }
    const bool ctrlOnly = modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        readHorizontal(key == Qt::Key_Left);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        readVertical(key == Qt::Key_Up || key == Qt::Key_PageUp);
        break;
    case Qt::Key_C:
        if (!ctrlOnly) {
            break;
        }
        if (modifiers.testFlag(Qt::ShiftModifier)) {
            const QString text = m_field->text();
            const QString quoted = quotedCopy(
                Get_CurrentLine(text, m_field->caretPosition(), LinePart::Whole), m_field->selectedText());
            m_field->setClipboardText(quoted);
            say(QString::number(byteLength(quoted)) + u"バイト引用記号付きコピー "_s);
        } else {
            say(QString::number(byteLength(m_field->selectedText())) + u"バイトコピー "_s);
        }
        break;
    case Qt::Key_V:
        if (ctrlOnly && !m_field->isReadOnly()) {
            readPaste();
        }
        break;
    default:
        break;
    }
}

void mSpeakTextBox::charInput(const QString& text)
{
    if (m_field == nullptr || m_field->isReadOnly() || m_composing || text.isEmpty()) {
        return;
    }
    // Backspace, Delete, Tab and Escape come with control characters that
    // are keys, not text.
    const char16_t first = text.at(0).unicode();
    if (text.size() == 1 && (first < 0x20 || first == 0x7F) && first != u'\r') {
        return;
    }
    // A character reaches the field past the input method only while it is
    // off (it takes every key while on).
    const bool turnedOff = m_ime.IsOpen() && text != u"\r"_s;
    if (turnedOff) {
        m_ime.Set_OpenClose(false);
    }
    if (screenReaderUse()) {
        m_speech.StopSpeech();
        return;
    }
    QString reading;
    for (qsizetype i = 0; i < text.size();) {
        const QString ch = codePointAt(text, int(i));
        i += ch.size();
        const char32_t c = ch.size() == 2 ? QChar::surrogateToUcs4(ch.at(0), ch.at(1)) : ch.at(0).unicode();
        QString one;
        if (CShosaiYomi::isSingleByte(c)) {
            const int code = c < 0x80 ? int(c) : int(c - 0xFF61 + 0xA1);
            one = m_yomi.Get_AsciiYomi(code, false, true);
        }
        if (one.isEmpty()) {
            one = m_yomi.Get_ShosaiYomi(ch, false, false, true);
        }
        reading += one;
    }
    say(turnedOff ? kMarker.toString() + u"0IMEオフ|"_s + reading : reading);
}

void mSpeakTextBox::imeComposition(const CImeManager::Composition& composition)
{
    if (m_field == nullptr) {
        return;
    }
    const bool wasOpen = m_ime.IsOpen();
    if (!m_ime.update(composition)) {
        return;
    }
    if (!m_ime.isComposing()) {
        m_composing = false;
        m_converted = false;
        m_lastTarget = {};
        if (!composition.commit.isEmpty() && !screenReaderUse()) {
            say(lineReading(composition.commit));
        }
        return;
    }
    m_composing = true;
    if (screenReaderUse()) {
        // The screen reader speaks the composition; the input method coming
        // on stops what the program was saying.
        if (!wasOpen) {
            m_speech.StopSpeech();
        }
        return;
    }
    const bool phonetic = setting(CSettings::ImePhonetic);
    const bool byPitch = setting(CSettings::ImeReadMode);
    QString text;
    if (m_ime.IsConverted()) {
        const CImeManager::TargetClauseInfo target = m_ime.Get_TargetClauseInfo();
        bool whole = false;
        switch (m_settings.getInt(CSettings::ImeReadRange, 1)) {
        case 0:
            whole = false;
            break;
        case 2:
            whole = !m_converted;
            break;
        case 3:
            whole = true;
            break;
        default:
            whole = !m_converted || target == m_lastTarget;
            break;
        }
        text =
            whole ? m_ime.Get_String(CImeManager::kCompStr) : m_ime.Get_TargetClause(CImeManager::kCompStr);
        m_converted = true;
        m_lastTarget = target;
    } else {
        text = m_ime.Get_LastInput(CImeManager::kCompStr);
    }
    const QString reading = m_yomi.Get_ShosaiYomi(text, phonetic, false, byPitch);
    say(wasOpen ? reading : kMarker.toString() + u"0IMEオン|"_s + reading);
}

void mSpeakTextBox::announceCleared()
{
    say(u"クリア"_s);
}

void mSpeakTextBox::readDelete(bool backspace)
{
    const QString text = m_field->text();
    if (text.isEmpty()) {
        say(u"テキストはカラです"_s);
        return;
    }
    const int caret = m_field->caretPosition();
    QString target = m_field->selectedText();
    if (target.isEmpty()) {
        if (backspace && caret == 0) {
            say(u"|ブントー"_s);
            return;
        }
        if (!backspace && caret >= text.size()) {
            say(u"ブンマツ"_s);
            return;
        }
        target = backspace ? codePointBefore(text, caret) : codePointAt(text, caret);
    }
    const QString reading = codePointCount(target) == 1 ? oneCharReading(target) : lineReading(target);
    say(withWordAfterMarker(reading, backspace ? u"バック|"_s : u"サクジョ|"_s));
}

void mSpeakTextBox::readHorizontal(bool left)
{
    const QString text = m_field->text();
    const int pos = m_field->caretPosition();
    QString reading;
    if (pos < text.size() && (left || text.at(pos) != u'\n')) {
        reading = oneCharReading(codePointAt(text, pos));
    }
    QString edge;
    if (left && pos == 0) {
        edge = u"|ブントー"_s;
    } else if (left && text.at(pos - 1) == u'\n') {
        edge = u"|ヒダリハシ"_s;
    } else if (!left && (pos >= text.size() || text.at(pos) == u'\n')) {
        edge = u"|ミギハシ"_s;
    }
    if (!edge.isEmpty() && reading.contains(kMarker)) {
        edge.prepend(kMarker.toString() + u"0"_s);
    }
    say(reading + edge);
}

void mSpeakTextBox::readVertical(bool up)
{
    const QString text = m_field->text();
    const int pos = m_field->caretPosition();
    const int row = CTextBoxInfo::rowOf(text, pos);
    const int lastRow = int(text.count(u'\n'));
    // Some fields jump to the very start or end when there is no line to go
    // to; that is no move to another line either.
    const bool stayed =
        pos == m_caretAtKeyDown
        || (row == m_rowAtKeyDown && (up ? row == 0 && pos == 0 : row == lastRow && pos == text.size()));
    if (stayed) {
        say(up ? u"上にはいけません"_s : u"下にはいけません"_s);
        return;
    }
    const QString line = Get_CurrentLine(text, pos, LinePart::Whole);
    if (line.isEmpty()) {
        say(CTextBoxInfo::lineEnd(text, pos) < text.size() ? u"カイギョー"_s : u"クウギョー"_s);
        return;
    }
    say(lineReading(line));
}

void mSpeakTextBox::readPaste()
{
    const QString text = m_field->text();
    const int inserted = int(text.size()) - (m_lengthBeforePaste - m_selectionBeforePaste);
    const QString clip = m_clipboardBeforePaste;
    m_clipboardBeforePaste.clear();
    if (inserted <= 0 && !clip.isEmpty()) {
        say(u"テキストサイズが許容量を超えたため貼り付けられませんでした"_s);
        return;
    }
    const QString pasted = text.mid(m_selectionStartBeforePaste, std::max(0, inserted));
    QString count = QString::number(byteLength(pasted)) + u"バイト貼り付け"_s;
    // Line ends may arrive as CR LF and be kept as LF only.
    const qsizetype expected = clip.size() - clip.count(u"\r\n"_s);
    if (pasted.size() < expected) {
        say(count + u"、全てを貼り付けられませんでした"_s);
    } else {
        say(count + u" "_s);
    }
}

void mSpeakTextBox::report(int digit)
{
    const QString text = m_field->text();
    const int caret = m_field->caretPosition();
    switch (digit) {
    case 7: {
        const QString before = Get_CurrentLine(text, caret, LinePart::Before);
        say(QString::number(CTextBoxInfo::rowOf(text, caret) + 1) + u"行目、"_s
            + QString::number(byteLength(before) + 1) + u"バイト目"_s);
        break;
    }
    case 8: {
        const QString line = Get_CurrentLine(text, caret, LinePart::Whole);
        say(u"カレットギョーは"_s + QString::number(codePointCount(line)) + u"モジ、"_s
            + QString::number(byteLength(line)) + u"バイト"_s);
        break;
    }
    case 9: {
        int longest = 0;
        int longestBytes = -1;
        int row = 0;
        for (const QStringView line : QStringView(text).split(u'\n')) {
            const int bytes = byteLength(line);
            if (bytes > longestBytes) {
                longestBytes = bytes;
                longest = row;
            }
            ++row;
        }
        say(u"最も長いギョーは"_s + QString::number(longest + 1) + u"ギョーメ、"_s
            + QString::number(longestBytes) + u"バイト"_s);
        break;
    }
    case 0:
        say(u"全"_s + QString::number(text.count(u'\n') + 1) + u"行、"_s + QString::number(byteLength(text))
            + u"バイト"_s);
        break;
    default:
        break;
    }
}

void mSpeakTextBox::switchOption(int digit)
{
    struct Option
    {
        qint16 index;
        const char16_t* on;
        const char16_t* off;
    };

    static constexpr Option kOptions[] = {
        {0, nullptr, nullptr},
        {CSettings::CaretPhonetic, u"イチモジイドーフォネティックオン", u"イチモジイドーフォネティックオフ"},
        {CSettings::CaretReadMode, u"イチモジイドーオンテイヨミ", u"イチモジイドーモジシュベツヨミ"},
        {CSettings::CaretDetailRead, u"イチモジイドーショーサイヨミオン",
         u"イチモジイドーショーサイヨミオフ"},
        {CSettings::ImePhonetic, u"IMEフォネティックオン", u"IMEフォネティックオフ"},
        {CSettings::ImeReadMode, u"IMEオンテイヨミ", u"IMEモジシュベツヨミ"},
        {CSettings::ImeReadRange, nullptr, nullptr},
        {CSettings::ReadPunctuation, u"クテンヨミオン", u"クテンヨミオフ"},
        {CSettings::ReadBrackets, u"カッコヨミオン", u"カッコヨミオフ"},
        {CSettings::ReadSymbols, u"キゴーヨミオン", u"キゴーヨミオフ"},
    };
    if (digit < 1 || digit > 9) {
        return;
    }
    const Option& option = kOptions[digit];
    if (option.index == CSettings::ImeReadRange) {
        static constexpr const char16_t* kRanges[] = {
            u"IME読み上げ範囲は注目文節のみ読み上げる",
            u"IME読み上げ範囲は変換時のみ全て読み上げる",
            u"IME読み上げ範囲は初回変換時のみ全て読み上げる",
            u"IME読み上げ範囲は常に全て読み上げる",
        };
        const int next = (std::clamp(m_settings.getInt(option.index, 1), 0, 3) + 1) % 4;
        m_settings.Set_(option.index, QString::number(next));
        say(QString::fromUtf16(kRanges[next]));
        return;
    }
    const bool on = !setting(option.index);
    m_settings.Set_(option.index, on ? u"1"_s : u"0"_s);
    say(QString::fromUtf16(on ? option.on : option.off));
}

QString mSpeakTextBox::Get_CurrentLine(const QString& text, int pos, LinePart part)
{
    pos = std::clamp(pos, 0, int(text.size()));
    const int start = CTextBoxInfo::lineStart(text, pos);
    const int end = CTextBoxInfo::lineEnd(text, pos);
    switch (part) {
    case LinePart::Before:
        return text.mid(start, pos - start);
    case LinePart::After:
        return text.mid(pos, end - pos);
    case LinePart::Whole:
        break;
    }
    return text.mid(start, end - start);
}

QString mSpeakTextBox::quotedCopy(const QString& caretLine, const QString& copied)
{
    static const QRegularExpression quoteMarks(u"^(>[ 　\\t>]*)"_s);
    static const QRegularExpression leadingMarks(u"^>(?:[ 　\\t]*>)*"_s);
    QString text = copied;
    const QRegularExpressionMatch marks = quoteMarks.match(caretLine);
    if (marks.hasMatch() && !text.startsWith(u'>')) {
        text.prepend(marks.captured(1));
    }
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        line.prepend(u"> "_s);
        // Quote marks stay together: "> > x" becomes ">> x".
        const qsizetype length = leadingMarks.match(line).capturedLength(0);
        QString head = line.left(length);
        head.remove(u' ').remove(u'　').remove(u'\t');
        line.replace(0, length, head);
    }
    return lines.join(u'\n');
}

int mSpeakTextBox::byteLength(QStringView text)
{
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            ++bytes;  // written as "?"
        } else if (CShosaiYomi::isSingleByte(c) || !TextCodec::isCp932Encodable(c)) {
            ++bytes;
        } else {
            bytes += 2;
        }
    }
    return bytes;
}
