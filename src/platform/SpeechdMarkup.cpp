#include "SpeechdMarkup.h"

using namespace Qt::StringLiterals;

namespace SpeechdMarkup {

namespace {

constexpr int kSentencePauseMs = 400;
constexpr int kClausePauseMs = 200;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'　';
}

bool isAsciiLetter(QChar c)
{
    return c.unicode() < 0x80 && c.isLetter();
}

}  // namespace

int pauseAfter(QChar c)
{
    switch (c.unicode()) {
    case u'。':
    case u'｡':
    case u'！':
    case u'？':
        return kSentencePauseMs;
    case u'、':
    case u'､':
        return kClausePauseMs;
    default:
        return 0;
    }
}

QString toSsml(const QString& text)
{
    QString out = u"<speak>"_s;
    out.reserve(text.size() + 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;"_s;
            break;
        case u'<':
            out += u"&lt;"_s;
            break;
        case u'>':
            out += u"&gt;"_s;
            break;
        case u'。':
        case u'｡':
        case u'！':
        case u'？':
        case u'、':
        case u'､': {
            out += c;
            // A run such as 「。。。」 or 「、、」 pauses once, after its last mark.
            const bool runGoesOn = i + 1 < text.size() && pauseAfter(text.at(i + 1)) != 0;
            if (!runGoesOn) {
                out += pauseAfter(c) == kSentencePauseMs ? u"<break time=\"400ms\"/>"_s
                                                         : u"<break time=\"200ms\"/>"_s;
            }
            break;
        }
        case u' ':
        case u'　': {
            out += c;
            // A blank between the items of a header (number, name, date, ID)
            // is a pause the listener needs; the synthesizer would read over
            // it. Between two words of Latin letters it stays a plain blank.
            const bool runGoesOn = i + 1 < text.size() && isBlank(text.at(i + 1));
            if (!runGoesOn && i + 1 < text.size()) {
                qsizetype before = i;
                while (before > 0 && isBlank(text.at(before - 1))) {
                    --before;
                }
                if (before > 0 && !(isAsciiLetter(text.at(before - 1)) && isAsciiLetter(text.at(i + 1)))) {
                    out += u"<break time=\"200ms\"/>"_s;
                }
            }
            break;
        }
        default:
            if (c.isSurrogate() || (c.unicode() < 0x20 && c != u'\n') || c.unicode() == 0x7f
                || c.unicode() == 0xfffe || c.unicode() == 0xffff) {
                // Not allowed in the markup; a space keeps the words apart.
                out += u' ';
            } else {
                out += c;
            }
        }
    }
    out += u"</speak>"_s;
    return out;
}

}  // namespace SpeechdMarkup
