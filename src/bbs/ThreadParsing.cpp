// Parsing what a server sends for a thread: the ".dat" lines and, for boards
// served as HTML, the thread's page.

#include "ThreadData.h"
#include "base/VbRegExp.h"
#include "bbs/HtmlText.h"

using namespace Qt::StringLiterals;

namespace {

const QString kAbone = u"あぼーん"_s;

// Lines longer than this are damage, not messages.
constexpr qsizetype kMaxLineLength = 64 * 1024;
// Message numbers are 16-bit.
constexpr int kMaxMessages = 32767;

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

}  // namespace

std::optional<QList<ThreadData::Message>> ThreadData::parseDat(const QString& text)
{
    static const VbRegExp bold(u"(<b>|</b>)"_s, true, true);
    static const VbRegExp datePattern(
        u"[0-9]{2,4}/[0-9]{2}/[0-9]{2}(\\([^)]\\)){0,1} [0-9]{2}(:[0-9]{2}){1,2}"_s, false, true);
    static const VbRegExp idPattern(u"ID:([^ <]{3,9})"_s, false, true);
    static const VbRegExp link(u"<a href=\"[^\"]+[^>]+>([^<]+)<\\/a>"_s, true, true);

    const QStringList lines = bold.Replace(text, QString()).split(u'\n');
    QList<Message> messages;
    const qsizetype count = qMin<qsizetype>(lines.size() - 1, kMaxMessages);
    messages.reserve(qMax<qsizetype>(count, 0));
    bool anyWellFormed = false;
    for (qsizetype i = 0; i < count; ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        Message m;
        const QStringList f = line.split(u"<>"_s);
        // A broken line (wrong field count, NUL bytes, absurd length) stays an
        // empty message, so the numbering of the rest is kept.
        if (line.isEmpty() || f.size() != 5 || line.contains(QChar(0)) || line.size() > kMaxLineLength) {
            messages.append(m);
            continue;
        }
        anyWellFormed = true;
        m.name = HtmlText::oneLine(HtmlText::decodeEntities(f.at(0)));
        m.mail = HtmlText::oneLine(HtmlText::decodeEntities(f.at(1)));
        if (f.at(2) == kAbone) {
            m.date = f.at(2);
            m.body = f.at(3);
        } else {
            const QList<VbMatch> date = datePattern.Execute(f.at(2));
            m.date = date.isEmpty() ? QString() : date.first().Value;
            const QList<VbMatch> id = idPattern.Execute(f.at(2));
            m.id = id.isEmpty() ? QString() : id.first().SubMatches.value(0);
            m.body = HtmlText::decodeEntities(link.Replace(f.at(3), u"$1"_s));
        }
        messages.append(m);
    }
    if (!anyWellFormed) {
        return std::nullopt;
    }
    return messages;
}

std::optional<QList<ThreadData::Message>> ThreadData::parseHtml(const QString& page)
{
    static const VbRegExp link(u"<a[^>]*>([^<]*)</a>"_s, true, true);
    const QStringList items = page.split(u"<dt>"_s, Qt::KeepEmptyParts, Qt::CaseInsensitive);
    QList<Message> messages;
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
            messages.append(Message{kAbone, kAbone, kAbone, kAbone, kAbone, kAbone});
        }
        if (number < messages.size() + 1) {
            continue;  // numbers going backwards: not a message of this page
        }
        Message m;
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
