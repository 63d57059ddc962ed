#include "Phrases.h"

#include <algorithm>
#include <cstdlib>

#include "Utf8.h"

namespace ojt {

namespace {

bool isSentenceEnd(char32_t c)
{
    return c == U'。' || c == U'｡' || c == U'！' || c == U'？' || c == U'!' || c == U'?';
}

bool isClauseEnd(char32_t c)
{
    return c == U'、' || c == U'､';
}

bool isBlank(char32_t c)
{
    return c == U' ' || c == U'　' || c == U'\t';
}

bool isHiragana(char32_t c)
{
    return c >= U'ぁ' && c <= U'ゖ';
}

bool isWordChar(char32_t c)
{
    return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')
           || (c >= U'０' && c <= U'９') || (c >= U'Ａ' && c <= U'Ｚ') || (c >= U'ａ' && c <= U'ｚ');
}

// The value of one attribute of a tag, e.g. time in <break time="400ms"/>.
std::string attribute(std::string_view tag, std::string_view name)
{
    std::size_t at = 0;
    while ((at = tag.find(name, at)) != std::string_view::npos) {
        const bool startsWord = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n');
        std::size_t p = at + name.size();
        while (p < tag.size() && tag[p] == ' ') {
            ++p;
        }
        if (startsWord && p < tag.size() && tag[p] == '=') {
            ++p;
            while (p < tag.size() && tag[p] == ' ') {
                ++p;
            }
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                const char quote = tag[p];
                const std::size_t end = tag.find(quote, p + 1);
                if (end != std::string_view::npos) {
                    return std::string(tag.substr(p + 1, end - p - 1));
                }
            }
            return {};
        }
        at = p;
    }
    return {};
}

// "400ms", "1.5s", "250": milliseconds, bounded to ten seconds; -1 when unreadable.
int breakMilliseconds(std::string_view tag)
{
    const std::string time = attribute(tag, "time");
    if (time.empty()) {
        const std::string strength = attribute(tag, "strength");
        if (strength == "none") {
            return 0;
        }
        if (strength == "x-weak" || strength == "weak") {
            return 100;
        }
        if (strength == "x-strong" || strength == "strong") {
            return 700;
        }
        return 400;  // medium, or no strength: a sentence
    }
    char* end = nullptr;
    const double value = std::strtod(time.c_str(), &end);
    if (end == time.c_str() || value < 0) {
        return -1;
    }
    const std::string_view unit(end);
    const double ms = unit == "s" ? value * 1000 : value;
    return ms > 10000 ? 10000 : static_cast<int>(ms);
}

class Cutter
{
public:
    explicit Cutter(const PhraseRules& rules)
        : m_rules(rules)
    {}

    void character(char32_t c)
    {
        if (c == U'\n') {
            cut(m_rules.clausePauseMs);
            return;
        }
        // A mark of punctuation stays with the words before it, however long.
        if (m_text.size() >= bound() && !isSentenceEnd(c) && !isClauseEnd(c)) {
            cutAtBound();
        }
        m_text.push_back(c);
    }

    // After a mark of 「。」 or 「、」 that no further mark follows.
    void punctuation(char32_t c) { cut(isSentenceEnd(c) ? m_rules.sentencePauseMs : m_rules.clausePauseMs); }

    void pause(int ms)
    {
        if (!blank()) {
            cut(ms);
        } else if (!m_phrases.empty()) {
            m_phrases.back().pauseMs = ms;
        }
    }

    void mark(std::string name)
    {
        if (!blank() || m_phrases.empty()) {
            cut(0);
        }
        m_phrases.back().marks.push_back(std::move(name));
    }

    std::vector<Phrase> finish()
    {
        if (!blank()) {
            cut(0);
        }
        return std::move(m_phrases);
    }

private:
    std::size_t bound() const { return m_phrases.empty() ? m_rules.firstBound : m_rules.bound; }

    // Nothing to say: blanks and marks of punctuation only.
    bool blank() const
    {
        for (char32_t c : m_text) {
            if (!isBlank(c) && !isSentenceEnd(c) && !isClauseEnd(c)) {
                return false;
            }
        }
        return true;
    }

    // Pushes the text so far (or, when it is blank, gives its pause to the
    // phrase before it).
    void cut(int pauseMs)
    {
        if (blank()) {
            m_text.clear();
            if (m_phrases.empty()) {
                m_phrases.push_back({});
            }
            m_phrases.back().pauseMs = std::max(m_phrases.back().pauseMs, pauseMs);
            return;
        }
        std::size_t begin = 0;
        std::size_t end = m_text.size();
        while (begin < end && isBlank(m_text[begin])) {
            ++begin;
        }
        while (end > begin && isBlank(m_text[end - 1])) {
            --end;
        }
        Phrase phrase;
        phrase.text = toUtf8(std::u32string_view(m_text).substr(begin, end - begin));
        phrase.pauseMs = pauseMs;
        if (!m_phrases.empty() && m_phrases.back().text.empty() && m_phrases.back().pauseMs == 0
            && m_phrases.back().marks.empty()) {
            m_phrases.back() = std::move(phrase);
        } else {
            m_phrases.push_back(std::move(phrase));
        }
        m_text.clear();
    }

    // The text is as long as a phrase may be: it is cut at its last blank,
    // else after its last hiragana that a word follows (a particle ends
    // there), else before a run of digits or letters, else where it stands.
    void cutAtBound()
    {
        const std::size_t half = m_text.size() / 2;
        std::size_t at = 0;
        for (std::size_t i = m_text.size() - 1; i > half && at == 0; --i) {
            if (isBlank(m_text[i])) {
                at = i + 1;
            }
        }
        for (std::size_t i = m_text.size() - 1; i > half && at == 0; --i) {
            if (isHiragana(m_text[i - 1]) && !isHiragana(m_text[i]) && m_text[i] != U'ー') {
                at = i;
            }
        }
        if (at == 0) {
            at = m_text.size();
            while (at > half && isWordChar(m_text[at - 1])) {
                --at;
            }
            if (at <= half) {
                at = m_text.size();
            }
        }
        std::u32string rest = m_text.substr(at);
        m_text.resize(at);
        cut(0);
        m_text = std::move(rest);
    }

    const PhraseRules& m_rules;
    std::u32string m_text;
    std::vector<Phrase> m_phrases;
};

// The character that a reference such as "&amp;" or "&#12354;" stands for, and
// its length; 0 when the text at `at` is no reference.
char32_t reference(std::string_view s, std::size_t at, std::size_t* length)
{
    static constexpr struct
    {
        std::string_view name;
        char32_t c;
    } kNamed[] = {{"&lt;", U'<'}, {"&gt;", U'>'}, {"&amp;", U'&'}, {"&quot;", U'"'}, {"&apos;", U'\''}};

    for (const auto& named : kNamed) {
        if (s.substr(at, named.name.size()) == named.name) {
            *length = named.name.size();
            return named.c;
        }
    }
    if (s.substr(at, 2) == "&#") {
        const std::size_t semicolon = s.find(';', at);
        if (semicolon != std::string_view::npos && semicolon - at <= 10) {
            const bool hex = at + 2 < s.size() && (s[at + 2] == 'x' || s[at + 2] == 'X');
            const std::string digits(s.substr(at + (hex ? 3 : 2), semicolon - at - (hex ? 3 : 2)));
            char* end = nullptr;
            const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && *end == 0 && value > 0 && value <= 0x10FFFF
                && !(value >= 0xD800 && value <= 0xDFFF)) {
                *length = semicolon - at + 1;
                return static_cast<char32_t>(value);
            }
        }
    }
    return 0;
}

}  // namespace

std::vector<Phrase> splitIntoPhrases(std::string_view ssml, const PhraseRules& rules)
{
    Cutter cutter(rules);
    std::u32string pending;  // the characters of a run of 「。」「、」, cut after its last one
    auto character = [&](char32_t c) {
        if (isSentenceEnd(c) || isClauseEnd(c)) {
            cutter.character(c);
            pending.push_back(c);
            return;
        }
        if (!pending.empty()) {
            cutter.punctuation(pending.back());
            pending.clear();
        }
        if (c < 0x20 && c != U'\n') {
            c = U' ';
        } else if (c == 0x7f || (c >= 0x80 && c < 0xa0)) {
            c = U' ';
        }
        cutter.character(c);
    };
    auto flushPunctuation = [&] {
        if (!pending.empty()) {
            cutter.punctuation(pending.back());
            pending.clear();
        }
    };

    std::size_t i = 0;
    while (i < ssml.size()) {
        const char b = ssml[i];
        if (b == '<') {
            const std::size_t close = ssml.find('>', i);
            if (close == std::string_view::npos) {
                break;  // an unclosed tag: nothing after it is text
            }
            const std::string_view tag = ssml.substr(i + 1, close - i - 1);
            std::size_t nameEnd = 0;
            while (nameEnd < tag.size() && tag[nameEnd] != ' ' && tag[nameEnd] != '/' && tag[nameEnd] != '\t'
                   && tag[nameEnd] != '\n') {
                ++nameEnd;
            }
            const std::string_view name = tag.substr(0, nameEnd);
            if (name == "break") {
                flushPunctuation();
                const int ms = breakMilliseconds(tag);
                if (ms >= 0) {
                    cutter.pause(ms);
                }
            } else if (name == "mark") {
                flushPunctuation();
                std::string markName = attribute(tag, "name");
                if (!markName.empty()) {
                    cutter.mark(std::move(markName));
                }
            }
            i = close + 1;
            continue;
        }
        if (b == '&') {
            std::size_t length = 0;
            const char32_t c = reference(ssml, i, &length);
            if (c != 0) {
                character(c);
                i += length;
                continue;
            }
        }
        std::size_t length = 0;
        const char32_t c = decodeUtf8(ssml, i, &length);
        i += length;
        if (c != kInvalid) {
            character(c);
        }
    }
    flushPunctuation();
    return cutter.finish();
}

}  // namespace ojt
