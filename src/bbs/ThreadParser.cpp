// Parsing what a server sends for a thread: the ".dat" lines and, for boards
// served as HTML, the thread's page.

#include "ThreadParser.h"

#include <array>

#include "base/VbRegExp.h"
#include "bbs/HtmlText.h"

using namespace Qt::StringLiterals;

namespace {

const QString kAbone = u"あぼーん"_s;

// Lines longer than this are damage, not messages.
constexpr qsizetype kMaxLineLength = 64 * 1024;
constexpr int kMaxMessages = ThreadMessage::kMax;

// Text between the end of `from` and the start of `to`, searched in the
// lower-cased copy and copied from the item; missing `to` takes the rest,
// missing `from` gives nothing. `pos` moves past what was taken.
QString between(const QString& item,
                const QString& lower,
                const QString& from,
                const QString& to,
                qsizetype& pos,
                qsizetype limit = -1)
{
    const qsizetype start = lower.indexOf(from, pos);
    if (start < 0 || (limit >= 0 && start > limit)) {
        return {};
    }
    const qsizetype begin = start + from.size();
    qsizetype end = lower.indexOf(to, begin);
    if (end < 0 || (limit >= 0 && end > limit)) {
        end = limit >= 0 ? limit : item.size();
    }
    pos = end;
    return item.mid(begin, end - begin);
}

QString stripTags(const QString& text)
{
    static const VbRegExp tags(u"<[^>]*>"_s, true, true);
    return HtmlText::oneLine(tags.Replace(text, QString()));
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool digitsAt(QStringView s, qsizetype at, qsizetype count)
{
    if (at + count > s.size()) {
        return false;
    }
    for (qsizetype i = at; i < at + count; ++i) {
        if (!isDigit(s[i])) {
            return false;
        }
    }
    return true;
}

// How many UTF-16 units the character at `at` takes (a surrogate pair is one
// character).
qsizetype charLength(QStringView s, qsizetype at)
{
    return s[at].isHighSurrogate() && at + 1 < s.size() && s[at + 1].isLowSurrogate() ? 2 : 1;
}

bool startsWithAt(QStringView s, qsizetype at, QStringView what)
{
    return at + what.size() <= s.size() && s.mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// Whether the tag `tag` (written in lower case, ASCII) starts at `at`, in
// any case. Tags are matched a character at a time: no character outside
// ASCII folds to the letters of a tag, so this is the case-insensitive
// comparison without its cost.
bool tagAt(QStringView s, qsizetype at, QLatin1StringView tag)
{
    if (at + tag.size() > s.size()) {
        return false;
    }
    for (qsizetype k = 0; k < tag.size(); ++k) {
        const char16_t c = s[at + k].unicode();
        const char16_t t = char16_t(tag[k].unicode());
        if (c != t && !(t >= u'a' && t <= u'z' && c == t - (u'a' - u'A'))) {
            return false;
        }
    }
    return true;
}

// The time after a date: a blank, two digits and one or two ":" with two
// digits. Returns the end, or -1.
qsizetype timeEnd(QStringView s, qsizetype at)
{
    if (at >= s.size() || s[at] != u' ' || !digitsAt(s, at + 1, 2)) {
        return -1;
    }
    qsizetype end = at + 3;
    for (int part = 0; part < 2 && end < s.size() && s[end] == u':' && digitsAt(s, end + 1, 2); ++part) {
        end += 3;
    }
    return end == at + 3 ? -1 : end;
}

// A date like 2024/05/01(水) 12:34:56 starting at `at`: two to four digits
// (the most that fit), "/", two, "/", two, a weekday of one character in
// brackets if there is one, and the time. Returns the end, or -1.
qsizetype dateEnd(QStringView s, qsizetype at)
{
    for (qsizetype year = 4; year >= 2; --year) {
        if (!digitsAt(s, at, year)) {
            continue;
        }
        qsizetype p = at + year;
        if (p + 6 > s.size() || s[p] != u'/' || !digitsAt(s, p + 1, 2) || s[p + 3] != u'/'
            || !digitsAt(s, p + 4, 2)) {
            continue;
        }
        p += 6;
        if (p + 2 < s.size() && s[p] == u'(' && s[p + 1] != u')') {
            const qsizetype close = p + 1 + charLength(s, p + 1);
            if (close < s.size() && s[close] == u')') {
                if (const qsizetype end = timeEnd(s, close + 1); end >= 0) {
                    return end;
                }
            }
        }
        if (const qsizetype end = timeEnd(s, p); end >= 0) {
            return end;
        }
    }
    return -1;
}

QStringView findDate(QStringView field)
{
    for (qsizetype at = 0; at + 2 <= field.size(); ++at) {
        if (isDigit(field[at])) {
            if (const qsizetype end = dateEnd(field, at); end >= 0) {
                return field.mid(at, end - at);
            }
        }
    }
    return {};
}

// The ID after the first "ID:" (any case) that has three to nine characters
// other than a blank or "<"; as many as there are, up to nine.
QStringView findId(QStringView field)
{
    for (qsizetype colon = field.indexOf(u':'); colon >= 0; colon = field.indexOf(u':', colon + 1)) {
        if (colon < 2 || !startsWithAt(field, colon - 2, u"ID")) {
            continue;
        }
        const qsizetype begin = colon + 1;
        qsizetype end = begin;
        int count = 0;
        while (count < 9 && end < field.size() && field[end] != u' ' && field[end] != u'<') {
            end += charLength(field, end);
            ++count;
        }
        if (count >= 3) {
            return field.mid(begin, end - begin);
        }
    }
    return {};
}

// The next "<" from `from`, or -1. Tags come every few dozen characters:
// a plain loop beats a call to the general search for each.
qsizetype nextLt(QStringView s, qsizetype from)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == u'<') {
            return i;
        }
    }
    return -1;
}

// The line without its <b> and </b> tags (any case): the line itself when
// it has none, else a copy in `buffer`.
QStringView withoutBold(QStringView raw, QString& buffer)
{
    qsizetype from = 0;
    bool copied = false;
    for (qsizetype lt = nextLt(raw, 0); lt >= 0; lt = nextLt(raw, lt + 1)) {
        const qsizetype length = tagAt(raw, lt, "<b>"_L1) ? 3 : tagAt(raw, lt, "</b>"_L1) ? 4 : 0;
        if (length > 0) {
            if (!copied) {
                buffer.resize(0);
                copied = true;
            }
            buffer += raw.mid(from, lt - from);
            from = lt + length;
            lt = from - 1;
        }
    }
    if (!copied) {
        return raw;
    }
    buffer += raw.mid(from);
    return buffer;
}

enum class LineScan
{
    Fields,
    Broken,
    Bold
};

// One scan of a line for "<": its five fields and where the first link of
// the body starts (-1 for none). A line holding a NUL is broken. Unless its
// bold tags were taken out already, a line with one is reported as such and
// left alone: the tags must go before the fields are cut, since taking one
// out can join a "<" and a ">" (what is left after that is text).
LineScan
scanLine(QStringView line, bool boldRemoved, std::array<QStringView, 5>& fields, qsizetype& firstLink)
{
    if (line.contains(QChar(0))) {
        return LineScan::Broken;
    }
    int count = 0;
    qsizetype from = 0;
    firstLink = -1;
    bool tooMany = false;
    const qsizetype n = line.size();
    for (qsizetype i = line.indexOf(u'<'); i >= 0; i = line.indexOf(u'<', i + 1)) {
        if (i + 1 < n && line[i + 1] == u'>') {
            if (count == 4) {
                tooMany = true;
            } else {
                fields[count++] = line.mid(from, i - from);
            }
            from = i + 2;
            i = from - 1;
            continue;
        }
        if (!boldRemoved && (tagAt(line, i, "<b>"_L1) || tagAt(line, i, "</b>"_L1))) {
            return LineScan::Bold;
        }
        if (count == 3 && firstLink < 0 && tagAt(line, i, "<a href=\""_L1)) {
            firstLink = i - from;
        }
    }
    if (tooMany || count != 4) {
        return LineScan::Broken;
    }
    fields[4] = line.mid(from);
    return LineScan::Fields;
}

// The end of a link <a href="..." ...>text</a> whose text starts at `text`,
// or -1 when "</a>" does not follow the text.
qsizetype linkTextEnd(QStringView s, qsizetype text)
{
    qsizetype end = text;
    while (end < s.size() && s[end] != u'<') {
        ++end;
    }
    return end > text && tagAt(s, end, "</a>"_L1) ? end : -1;
}

// A link starting with <a href=" at `at`: the attributes run to a ">" (a
// run without quotes, then at least one more character before it), its text
// to "</a>". Of the possible ">" the last one of the run without quotes wins,
// as the longest attributes do. Sets the text and returns the end of the
// link, or -1.
qsizetype linkAt(QStringView s, qsizetype at, QStringView& text)
{
    const qsizetype value = at + 9;
    qsizetype run = value;
    while (run < s.size() && s[run] != u'"') {
        ++run;
    }
    if (run == value) {
        return -1;
    }
    // The ">" after the run, then those inside it from the last back.
    const auto textAfter = [&](qsizetype close) {
        const qsizetype end = linkTextEnd(s, close + 1);
        if (end >= 0) {
            text = s.mid(close + 1, end - close - 1);
        }
        return end;
    };
    if (const qsizetype after = s.indexOf(u'>', run); after >= 0) {
        if (const qsizetype end = textAfter(after); end >= 0) {
            return end + 4;
        }
    }
    for (qsizetype k = run - 1; k >= value + 2; --k) {
        if (s[k] == u'>' && s[k - 1] != u'>') {
            if (const qsizetype end = textAfter(k); end >= 0) {
                return end + 4;
            }
        }
    }
    return -1;
}

// The next <a href=" (any case) from `from`, or -1.
qsizetype nextLink(QStringView body, qsizetype from)
{
    for (qsizetype lt = nextLt(body, from); lt >= 0; lt = nextLt(body, lt + 1)) {
        if (tagAt(body, lt, "<a href=\""_L1)) {
            return lt;
        }
    }
    return -1;
}

// The body with every link replaced by its text; `at` is where the first
// link starts, or -1.
QString withLinkTexts(QStringView body, qsizetype at)
{
    if (at < 0) {
        return body.toString();
    }
    QString out;
    out.reserve(body.size());
    qsizetype from = 0;
    while (at >= 0) {
        QStringView text;
        const qsizetype end = linkAt(body, at, text);
        if (end < 0) {
            at = nextLink(body, at + 1);
            continue;
        }
        out += body.mid(from, at - from);
        out += text;
        from = end;
        at = nextLink(body, end);
    }
    out += body.mid(from);
    return out;
}

}  // namespace

std::optional<QList<ThreadMessage>> ThreadParser::parseDat(const QString& text)
{
    // One pass over the text: each line is cut at its line feed, its bold
    // tags dropped, its fields cut at "<>", and the date, ID and links found
    // by scanning, not by a pattern per line.
    QList<ThreadMessage> messages;
    bool anyWellFormed = false;
    const QStringView all(text);
    qsizetype pos = 0;
    QString buffer;
    // Names and mail fields repeat from message to message: a field as the
    // one before it shares that one's text.
    std::array<QString, 2> lastField;
    std::array<QString, 2> lastFieldRaw;
    std::array<bool, 2> haveLast{};
    while (messages.size() < kMaxMessages) {
        // The text after the last line feed is not a line.
        const qsizetype feed = all.indexOf(u'\n', pos);
        if (feed < 0) {
            break;
        }
        QStringView line = all.mid(pos, feed - pos);
        pos = feed + 1;
        std::array<QStringView, 5> f;
        qsizetype firstLink = -1;
        // A line too long may lose enough to its bold tags to be a message
        // after all: it is judged once they are out, like any line with one.
        const auto scan = [&](QStringView cut, bool boldRemoved, LineScan tooLong) {
            if (cut.endsWith(u'\r')) {
                cut.chop(1);
            }
            if (cut.isEmpty()) {
                return LineScan::Broken;
            }
            return cut.size() > kMaxLineLength ? tooLong : scanLine(cut, boldRemoved, f, firstLink);
        };
        LineScan scanned = scan(line, false, LineScan::Bold);
        if (scanned == LineScan::Bold) {
            scanned = scan(withoutBold(line, buffer), true, LineScan::Broken);
        }
        ThreadMessage m;
        // A broken line (wrong field count, NUL bytes, absurd length) stays an
        // empty message, so the numbering of the rest is kept.
        if (scanned != LineScan::Fields) {
            messages.append(std::move(m));
            continue;
        }
        anyWellFormed = true;
        for (size_t k = 0; k < 2; ++k) {
            if (!haveLast[k] || f[k] != lastFieldRaw[k]) {
                lastFieldRaw[k] = f[k].toString();
                lastField[k] = HtmlText::oneLine(HtmlText::decodeEntities(lastFieldRaw[k]));
                haveLast[k] = true;
            }
        }
        m.name = lastField[0];
        m.mail = lastField[1];
        if (f[2] == kAbone) {
            m.date = f[2].toString();
            m.body = f[3].toString();
        } else {
            m.date = findDate(f[2]).toString();
            m.id = findId(f[2]).toString();
            m.body = HtmlText::decodeEntities(withLinkTexts(f[3], firstLink));
        }
        messages.append(std::move(m));
    }
    if (!anyWellFormed) {
        return std::nullopt;
    }
    return messages;
}

std::optional<QList<ThreadMessage>> ThreadParser::parseHtml(const QString& page)
{
    static const VbRegExp link(u"<a[^>]*>([^<]*)</a>"_s, true, true);
    const QStringList items = page.split(u"<dt>"_s, Qt::KeepEmptyParts, Qt::CaseInsensitive);
    QList<ThreadMessage> messages;
    // The first piece is the page head, and the last is not examined.
    for (qsizetype k = 1; k + 1 < items.size(); ++k) {
        const QString& item = items.at(k);
        const QString lower = item.toLower();
        bool ok = false;
        const int number = item.section(u' ', 0, 0).trimmed().toInt(&ok);
        if (!ok || number < 1 || number > kMaxMessages) {
            continue;
        }
        while (number > messages.size() + 1) {
            messages.append(ThreadMessage{kAbone, kAbone, kAbone, kAbone, kAbone, kAbone});
        }
        if (number < messages.size() + 1) {
            continue;  // numbers going backwards: not a message of this page
        }
        ThreadMessage m;
        qsizetype pos = 0;
        const QString mailMarker = u"<a href=\"mailto:"_s;
        const bool hasMail = lower.contains(mailMarker);
        if (hasMail) {
            qsizetype p = 0;
            m.mail = HtmlText::decodeEntities(between(item, lower, mailMarker, u"\">"_s, p));
        }
        QString name = between(item, lower, u"<b>"_s, hasMail ? u"</a>"_s : u"</font>"_s, pos);
        for (const QString& junk : {u"<b>"_s, u"<B>"_s, u"</b>"_s, u"</B>"_s, u" <font color=#FF0000>"_s}) {
            name.remove(junk);
        }
        m.name = stripTags(HtmlText::decodeEntities(name));
        const qsizetype dd = lower.indexOf(u"<dd>"_s, pos);
        const qsizetype idAt = lower.indexOf(u" id:"_s, pos);
        const bool hasId = idAt >= 0 && (dd < 0 || idAt < dd);
        m.date = stripTags(between(item, lower, u"："_s, hasId ? u" id:"_s : u"<dd>"_s, pos, dd));
        if (hasId) {
            qsizetype p = idAt;
            const QString idText = between(item, lower, u" id:"_s, u"<dd>"_s, p, dd);
            const qsizetype open = idText.indexOf(u"[ "_s);
            if (open >= 0) {
                const qsizetype close = idText.indexOf(u']', open + 2);
                m.host = stripTags(idText.mid(open + 2, close < 0 ? -1 : close - open - 2));
            }
            m.id = stripTags(open >= 0 ? idText.left(open) : idText).left(8);
        }
        if (dd >= 0) {
            const qsizetype begin = dd + 4;
            qsizetype end = lower.lastIndexOf(u"<br><br>"_s);
            if (end < begin) {
                end = item.size();
            }
            QString body = link.Replace(item.mid(begin, end - begin), u"$1"_s);
            body.replace(u'\r', QString());
            body.replace(u'\n', QString());
            m.body = HtmlText::decodeEntities(body);
        }
        messages.append(m);
    }
    if (messages.isEmpty()) {
        return std::nullopt;
    }
    return messages;
}
