#include "EmojiNames.h"

#include <QFile>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcEmoji, "yomimaru.speech.emoji", QtWarningMsg)

namespace {

constexpr char16_t kZwj = 0x200D;
constexpr char16_t kKeycap = 0x20E3;
constexpr char16_t kTextStyle = 0xFE0E;
constexpr char16_t kEmojiStyle = 0xFE0F;
constexpr char16_t kPause = u'、';

// The shipped table is about 160 KB; anything far larger is not ours.
constexpr qint64 kMaxFileSize = 8 * 1024 * 1024;

bool isVariationSelector(char16_t u)
{
    return u == kTextStyle || u == kEmojiStyle;
}

// Next to these a name needs no 「、」 of its own.
bool isPauseOrBracket(QChar c)
{
    static constexpr QStringView kMarks = u"、。，．,.!?！？…‥・「」『』（）()【】［］[]〈〉《》";
    return c.isSpace() || kMarks.contains(c);
}

// "1F468 200D 1F469" -> the characters; empty when a field is no code point.
QString parseSequence(QStringView field)
{
    QString sequence;
    int count = 0;
    for (QStringView hex : field.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint cp = hex.toUInt(&ok, 16);
        if (!ok || hex.size() > 6 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0
            || ++count > EmojiNames::kMaxSequenceLength) {
            return {};
        }
        const char32_t c = cp;
        sequence += QString::fromUcs4(&c, 1);
    }
    return sequence;
}

}  // namespace

void EmojiNames::clear()
{
    m_edges.clear();
    m_nameOfNode = QList<int>{-1};
    m_names.clear();
    m_starts.reset();
}

bool EmojiNames::load(const QString& filePath)
{
    clear();
    QFile file(filePath);
    if (filePath.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize) {
        qCWarning(lcEmoji).noquote()
            << u"emoji names not loaded (%1 missing or unreadable); emoji are passed on as they are"_s.arg(
                   filePath.isEmpty() ? kFileName.toString() : filePath);
        return false;
    }
    if (loadText(QString::fromUtf8(file.read(kMaxFileSize))) == 0) {
        qCWarning(lcEmoji).noquote() << u"%1 holds no emoji names; emoji are passed on as they are"_s.arg(
            filePath);
        return false;
    }
    return true;
}

int EmojiNames::loadText(QStringView text)
{
    clear();
    int skipped = 0;
    for (QStringView line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype tab = line.indexOf(u'\t');
        const QString sequence = tab > 0 ? parseSequence(line.left(tab)) : QString();
        const QStringView name = tab > 0 ? line.mid(tab + 1).trimmed() : QStringView();
        if (sequence.isEmpty() || name.isEmpty() || name.size() > kMaxNameLength) {
            ++skipped;
            continue;
        }
        addEntry(sequence, name.toString());
    }
    if (skipped > 0) {
        qCDebug(lcEmoji) << skipped << "lines of the emoji table are no entry";
    }
    return count();
}

int EmojiNames::child(int node, char16_t unit) const
{
    return m_edges.value(edgeKey(node, unit), -1);
}

void EmojiNames::addEntry(const QString& sequence, const QString& name)
{
    int node = 0;
    for (QChar c : sequence) {
        int next = child(node, c.unicode());
        if (next < 0) {
            next = int(m_nameOfNode.size());
            m_nameOfNode.append(-1);
            m_edges.insert(edgeKey(node, c.unicode()), next);
        }
        node = next;
    }
    // A repeated sequence keeps its first name.
    if (m_nameOfNode.at(node) < 0) {
        m_nameOfNode[node] = int(m_names.size());
        m_names.append(name);
    }
    m_starts.set(sequence.at(0).unicode());
}

bool EmojiNames::isCandidate(const QChar* s, qsizetype n, qsizetype i) const
{
    const char16_t u = s[i].unicode();
    if (!m_starts[u]) {
        return false;
    }
    // A digit, "#" or "*" is an emoji only as a keycap.
    if (u < 0x80) {
        return i + 1 < n && (s[i + 1].unicode() == kEmojiStyle || s[i + 1].unicode() == kKeycap);
    }
    return true;
}

qsizetype EmojiNames::nextCandidate(const QChar* s, qsizetype n, qsizetype from) const
{
    // The quick scan: one bit per unit, nothing else for text without emoji.
    for (qsizetype i = from; i < n; ++i) {
        if (m_starts[s[i].unicode()] && isCandidate(s, n, i)) {
            return i;
        }
    }
    return n;
}

EmojiNames::Match EmojiNames::matchAt(const QChar* s, qsizetype n, qsizetype i) const
{
    Match best;
    int node = 0;
    for (qsizetype j = i; j < n;) {
        const char16_t u = s[j].unicode();
        // Selectors are read past, but never between the halves of a pair.
        if (j > i && isVariationSelector(u) && !s[j - 1].isHighSurrogate()) {
            ++j;
            if (m_nameOfNode.at(node) >= 0) {
                best = {m_nameOfNode.at(node), j};
            }
            continue;
        }
        node = child(node, u);
        if (node < 0) {
            break;
        }
        ++j;
        if (m_nameOfNode.at(node) >= 0) {
            best = {m_nameOfNode.at(node), j};
        }
    }
    return best;
}

QString EmojiNames::convert(const QString& text) const
{
    const QChar* s = text.constData();
    const qsizetype n = text.size();
    qsizetype i = m_names.isEmpty() ? n : nextCandidate(s, n, 0);
    if (i == n) {
        return text;
    }
    QString out;
    out.reserve(n + 32);
    out.append(s, i);
    while (i < n) {
        const Match match = matchAt(s, n, i);
        if (match.name < 0) {
            out += s[i];
            const qsizetype next = nextCandidate(s, n, i + 1);
            out.append(s + i + 1, next - i - 1);
            i = next;
            continue;
        }
        qsizetype end = match.end;
        int repeat = 1;
        for (Match again = matchAt(s, n, end); again.name == match.name; again = matchAt(s, n, end)) {
            ++repeat;
            end = again.end;
        }
        if (end < n && s[end].unicode() == kZwj) {
            ++end;
        }
        if (!out.isEmpty() && !isPauseOrBracket(out.back())) {
            out += kPause;
        }
        out += m_names.at(match.name);
        if (repeat > 1) {
            out += u'が';
            out += QString::number(repeat);
            out += u'個';
        }
        if (end < n && !isPauseOrBracket(s[end])) {
            out += kPause;
        }
        const qsizetype next = nextCandidate(s, n, end);
        out.append(s + end, next - end);
        i = next;
    }
    return out;
}
