#include "ThreadIndex.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxDigits = 5;

// The digit at text[i] (ASCII or full-width), or -1.
int digitAt(QStringView text, qsizetype i)
{
    if (i >= text.size()) {
        return -1;
    }
    const char16_t c = text[i].unicode();
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'０' && c <= u'９') {
        return c - u'０';
    }
    return -1;
}

// Reads a number at i; advances i past it. -1 when there is none.
int numberAt(QStringView text, qsizetype& i)
{
    int value = 0;
    int digits = 0;
    for (int d; digits < kMaxDigits && (d = digitAt(text, i)) >= 0; ++i, ++digits) {
        value = value * 10 + d;
    }
    if (digits == 0 || digitAt(text, i) >= 0) {
        return -1;  // none, or too long to be a message number
    }
    return value;
}

bool entityGtAt(QStringView text, qsizetype at)
{
    return at + 3 < text.size() && text[at] == u'&' && text[at + 1] == u'g' && text[at + 2] == u't'
           && text[at + 3] == u';';
}

// The length of the anchor mark at i (「>>」「>」「&gt;&gt;」「&gt;」「＞＞」「＞」), 0 if none.
qsizetype markAt(QStringView text, qsizetype i)
{
    qsizetype at = i;
    for (int n = 0; n < 2; ++n) {
        if (entityGtAt(text, at)) {
            at += 4;
        } else if (at < text.size() && (text[at] == u'>' || text[at] == u'＞')) {
            at += 1;
        } else {
            break;
        }
    }
    return at - i;
}

bool isRangeMark(QChar c)
{
    return c == u'-' || c == u'－' || c == u'〜' || c == u'~' || c == u'ー';
}

bool isListMark(QChar c)
{
    return c == u',' || c == u'，' || c == u'、';
}

}  // namespace

QList<int> ThreadIndex::anchorTargets(QStringView text)
{
    QList<int> targets;
    auto add = [&](int n) {
        if (n >= 1 && n <= ThreadMessage::kMax && targets.size() < kMaxTargets && !targets.contains(n)) {
            targets.append(n);
        }
    };
    for (qsizetype i = 0; i < text.size() && targets.size() < kMaxTargets;) {
        const char16_t c = text[i].unicode();
        if (c != u'>' && c != u'&' && c != u'＞') {
            ++i;  // most characters begin no mark
            continue;
        }
        const qsizetype mark = markAt(text, i);
        if (mark == 0) {
            ++i;
            continue;
        }
        qsizetype at = i + mark;
        int first = numberAt(text, at);
        if (first < 0) {
            i = at;
            continue;
        }
        for (;;) {
            int last = first;
            if (at + 1 < text.size() && isRangeMark(text[at]) && digitAt(text, at + 1) >= 0) {
                qsizetype after = at + 1;
                const int end = numberAt(text, after);
                if (end >= first) {
                    last = std::min(end, first + kMaxTargets - 1);
                    at = after;
                }
            }
            for (int n = first; n <= last; ++n) {
                add(n);
            }
            if (at + 1 < text.size() && isListMark(text[at]) && digitAt(text, at + 1) >= 0) {
                ++at;
                first = numberAt(text, at);
                if (first >= 0) {
                    continue;
                }
            }
            break;
        }
        i = at;
    }
    return targets;
}

bool ThreadIndex::usableId(const QString& id)
{
    // Boards without IDs, and hidden ones, write nothing useful to group by.
    return !id.isEmpty() && !id.startsWith(u"???"_s) && id != u"0"_s;
}

void ThreadIndex::clear()
{
    m_anchors.clear();
    m_replies.clear();
    m_ids.clear();
    m_byId.clear();
}

void ThreadIndex::build(const QList<ThreadMessage>& messages)
{
    clear();
    const int n = int(std::min<qsizetype>(messages.size(), ThreadMessage::kMax));
    m_anchors.resize(n);
    m_replies.resize(n);
    m_ids.resize(n);
    for (int i = 0; i < n; ++i) {
        const ThreadMessage& m = messages.at(i);
        m_anchors[i] = anchorTargets(m.body);
        for (int target : std::as_const(m_anchors[i])) {
            if (target < i + 1) {
                m_replies[target - 1].append(i + 1);  // an answer comes after what it answers
            }
        }
        if (usableId(m.id)) {
            m_ids[i] = m.id;
            m_byId[m.id].append(i + 1);
        }
    }
}

QList<int> ThreadIndex::anchorsOf(int message) const
{
    return message >= 1 && message <= count() ? m_anchors.at(message - 1) : QList<int>();
}

QList<int> ThreadIndex::repliesTo(int message) const
{
    return message >= 1 && message <= count() ? m_replies.at(message - 1) : QList<int>();
}

QList<int> ThreadIndex::sameId(int message) const
{
    if (message < 1 || message > count() || m_ids.at(message - 1).isEmpty()) {
        return {};
    }
    return m_byId.value(m_ids.at(message - 1));
}
