#include "HtmlText.h"

#include <algorithm>
#include <utility>

#include "base/TextCodec.h"

using namespace Qt::StringLiterals;

namespace HtmlText {

QString decodeEntities(const QString& text)
{
    if (!text.contains(u'&')) {
        return text;
    }
    static const std::pair<QStringView, QStringView> kNamed[] = {
        {u"&gt;", u">"},  {u"&lt;", u"<"}, {u"&nbsp;", u" "}, {u"&quot;", u"\""},
        {u"&#39;", u"'"}, {u"&reg;", u""}, {u"&amp;", u"&"},
    };
    // One pass, so that what one escape produces is never read as another.
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, amp - i);
        const QStringView rest = QStringView(text).mid(amp);
        bool done = false;
        for (const auto& [name, value] : kNamed) {
            // Compared in place: the general comparison costs more than
            // these few characters.
            if (rest.size() >= name.size() && std::equal(name.begin(), name.end(), rest.begin())) {
                out += value;
                i = amp + name.size();
                done = true;
                break;
            }
        }
        if (done) {
            continue;
        }
        if (rest.startsWith(u"&#")) {
            const qsizetype semi = text.indexOf(u';', amp);
            if (semi > amp && semi - amp <= 12) {
                const QString decoded = TextCodec::decodeNumericReferences(text.mid(amp, semi - amp + 1));
                if (!decoded.startsWith(u"&#")) {
                    // A high surrogate reference may pair with the next one.
                    if (decoded.size() == 1 && decoded.at(0) == QChar(0xFFFD)) {
                        const qsizetype semi2 = text.indexOf(u';', semi + 1);
                        if (semi2 > semi && semi2 - semi <= 12 && text.mid(semi + 1, 2) == u"&#"_s) {
                            const QString pair =
                                TextCodec::decodeNumericReferences(text.mid(amp, semi2 - amp + 1));
                            if (pair.size() == 2 && pair.at(0).isHighSurrogate()) {
                                out += pair;
                                i = semi2 + 1;
                                continue;
                            }
                        }
                    }
                    out += decoded;
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += u'&';
        i = amp + 1;
    }
    return out;
}

QString oneLine(const QString& text)
{
    const auto control = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    // Copied only when there is something to replace.
    if (std::none_of(text.begin(), text.end(), control)) {
        return text.trimmed();
    }
    QString out = text;
    for (QChar& c : out) {
        if (control(c)) {
            c = u' ';
        }
    }
    return out.trimmed();
}

}  // namespace HtmlText
