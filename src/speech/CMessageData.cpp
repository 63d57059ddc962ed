#include "CMessageData.h"

#include <QLoggingCategory>

#include "base/CSettings.h"
#include "base/VbRegExp.h"
#include "speech/InBandMarkers.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMessageData, "yomimaru.messagedata", QtWarningMsg)

namespace {

// Every rule the text model applies, compiled once per thread and reused for
// every message: a thread of a thousand messages must not compile them a
// thousand times. Matching keeps scratch state inside each expression, which
// is why the set is per thread rather than shared.
struct MessageRules
{
    static VbRegExp rule(const QString& pattern) { return VbRegExp(pattern, true, true); }

    const VbRegExp lineBreaks = rule(u"(\\r\\n|\\r|\\n)"_s);
    const VbRegExp trailingLines = rule(u"\\r\\n(\\r\\n|[> 　\\t])+$"_s);
    const VbRegExp url =
        rule(u"(^|[^前])((s?h?t?tps?|ftp):\\/\\/[-_.!~*'a-zA-Z0-9;/?:@&=+$,%#]+)([^後]|$)"_s);
    const VbRegExp mail =
        rule(u"(^|[^眼前])([-_.!~*'a-zA-Z0-9?&=+$%#]+@[-_.!~*'a-zA-Z0-9?&=+$%#]+)([^瑠後]|$)"_s);
    const VbRegExp mailInUrl = rule(u"(<&&前)([^後]+)(<&&眼)([^後]+)(瑠&&>)([^後]+)(後&&>)"_s);
    const VbRegExp spacesRoundBreak = rule(u"[ 　\\t]*\\r\\n[ 　\\t]*"_s);
    const VbRegExp sentenceEnd = rule(u"([^0-9０-９][．]+|[。！？]+)"_s);
    const VbRegExp lineEnd = rule(u"\\r\\n"_s);
    const VbRegExp anchor = rule(u"([>＞]{1,2}[0-9０-９]{1,3})"_s);
    const VbRegExp lineBeforeQuote = rule(u"(^|\\r\\n)([^>＞].*)(\\r\\n)([>＞])"_s);
    const VbRegExp lineAfterQuote = rule(u"(^|\\r\\n)([>＞].*)(\\r\\n{1,})([^>＞])"_s);
    const VbRegExp closeAfterBreak = rule(u"&rr;(引[0-9]{1,2}用&&>)"_s);
    const VbRegExp emptyRun = rule(u"((((<&&引[0-9]{1,2}用)*|(引[0-9]{1,2}用&&>)*)[> 　\\t]*\\r\\n){2,})"_s);
    const VbRegExp longRunBreak = rule(u"(\\r\\n){3,}&rr;"_s);
    const VbRegExp emptyUnit =
        rule(u"&rr;(([> 　\\t]*((<&&引[0-9]{1,2}用)*|(引[0-9]{1,2}用&&>)*)\\r\\n[> 　\\t]*"
             u"((<&&[0-9]{1,2}引)*|(用[0-9]{1,2}&&>)*)){1,}&rr;)"_s);
    const VbRegExp linkOpen = rule(u"(<&&前|<&&眼|<&&添)"_s);
    const VbRegExp linkClose = rule(u"(後&&>|瑠&&>|付&&>)"_s);
    const VbRegExp finalBreak = rule(u"&rr;$"_s);
    const VbRegExp quoteOpen = rule(u"<&&引([0-9]{1,2})用"_s);
    const VbRegExp quoteClose = rule(u"引([0-9]{1,2})用&&>"_s);
    const VbRegExp urlBracket = rule(u"<&&前([^後]+)後&&>"_s);
    const VbRegExp mailBracket = rule(u"<&&眼([^瑠]+)瑠&&>"_s);
    const VbRegExp spokenBlanks = rule(u"(\\r\\n|[ 　\\t]*)"_s);
};

const MessageRules& rules()
{
    thread_local const MessageRules instance;
    return instance;
}

const QString kCrLf = u"\r\n"_s;

bool isQuoteMark(QChar c)
{
    return c == u'>' || c == u'＞';
}

bool startsWithQuoteMark(const QString& line)
{
    return !line.isEmpty() && isQuoteMark(line.at(0));
}

// Leading and trailing U+0020 only; tabs, ideographic spaces and line breaks stay.
QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ') {
        ++begin;
    }
    while (end > begin && text.at(end - 1) == u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

// A poster can type the marker sequences into a message (the thread data
// decodes "&amp;"), and a marker taken from the message would cut units,
// or reach the screen and the voice. The ampersand of any such sequence
// becomes a full-width one, which looks and sounds the same.
QString disarmMarkers(QString text)
{
    if (!text.contains(u'&')) {
        return text;
    }
    text.replace(u"&&"_s, u"＆＆"_s);
    for (const QString& marker : {InBandMarker::UnitBreak.toString(), InBandMarker::AnchorGuard.toString()}) {
        qsizetype at = text.indexOf(marker, 0, Qt::CaseInsensitive);
        while (at >= 0) {
            text[at] = u'＆';
            at = text.indexOf(marker, at + 1, Qt::CaseInsensitive);
        }
    }
    return text;
}

// The number in the last match of a depth marker rule.
int lastDepth(const VbRegExp& rule, const QString& text)
{
    const QList<VbMatch> matches = rule.Execute(text);
    if (matches.isEmpty() || matches.constLast().SubMatches.isEmpty()) {
        return 0;
    }
    return matches.constLast().SubMatches.constFirst().toInt();
}

// Width and case do not matter when spotting art characters: "｜" counts as "|".
char32_t foldArtCharacter(char16_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c = char16_t(c - 0xFEE0);
    } else if (c == 0xFFE3) {
        c = 0x00AF;
    }
    return QChar::toCaseFolded(char32_t(c));
}

// True when one of the pieces has something to say once markers, line breaks
// and blanks are gone.
bool carriesWords(const QStringList& pieces)
{
    const MessageRules& r = rules();
    for (const QString& piece : pieces) {
        const QString bare = r.quoteClose.Replace(r.quoteOpen.Replace(piece, QString()), QString());
        if (!r.spokenBlanks.Replace(bare, QString()).isEmpty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

CMessageData::CMessageData()
{
    ExitInstance();
}

void CMessageData::InitInstance(const CSettings& settings,
                                const QString& message,
                                const QString& disp_header,
                                const QString& read_header)
{
    InitInstance(settings.Get_(CSettings::ReadAsciiArt), settings.Get_(CSettings::ReadQuoteLevel), message,
                 disp_header, read_header);
}

void CMessageData::InitInstance(const QString& readAsciiArt,
                                const QString& readQuoteLevel,
                                const QString& message,
                                const QString& disp_header,
                                const QString& read_header)
{
    ExitInstance();
    m_readAsciiArt = readAsciiArt;
    m_readQuoteLevel = readQuoteLevel;
    m_headerUnit = !rules().spokenBlanks.Replace(read_header, QString()).isEmpty();
    buildUnits(disarmMarkers(message), disarmMarkers(disp_header), disarmMarkers(read_header));
    fillUnitInfo();
}

void CMessageData::ExitInstance()
{
    m_dispUnits = QStringList{QString()};
    m_readUnits = QStringList{QString()};
    m_unitInfo = QList<UnitInfo>(1);
    m_normalized.clear();
    m_count = 0;
    m_index = 0;
}

void CMessageData::setWholeMessage(const QString& message,
                                   const QString& disp_header,
                                   const QString& read_header,
                                   const QString& reading)
{
    m_dispUnits = QStringList{QString(), disp_header + kCrLf + kCrLf, message};
    m_readUnits = QStringList{QString(), read_header + kCrLf + kCrLf, reading};
    m_count = 2;
}

void CMessageData::buildUnits(const QString& message, const QString& disp_header, const QString& read_header)
{
    const MessageRules& r = rules();

    m_normalized = r.lineBreaks.Replace(message, kCrLf);
    if (Check_AA(m_normalized)) {
        setWholeMessage(message, disp_header, read_header, kAsciiArtText.toString());
        return;
    }
    if (m_normalized.size() > kMaxCutLength) {
        qCDebug(lcMessageData) << "body of" << m_normalized.size() << "characters read as one unit";
        setWholeMessage(message, disp_header, read_header, message);
        return;
    }

    // Trailing empty lines, blanks and stray quote marks collapse to one break.
    QString d = r.trailingLines.Replace(trimSpaces(m_normalized), kCrLf);
    d = r.url.Replace(d, u"$1<&&前$2後&&>$4"_s);
    d = r.mail.Replace(d, u"$1<&&眼$2瑠&&>$3"_s);
    // One pass drops one mail bracket per link; a link with several at signs
    // needs more, or a bracket left inside would cut the link apart.
    for (QString before; before != d;) {
        before = d;
        d = r.mailInUrl.Replace(d, u"$1$2$4$6$7"_s);
    }
    d = r.spacesRoundBreak.Replace(d, kCrLf);

    // Text written in sentences breaks after each sentence; anything else
    // (lists, short remarks, art-like lines) breaks at each line end.
    if (d.contains(u'。')) {
        d = r.sentenceEnd.Replace(d, u"$1&rr;"_s);
    } else {
        d = r.lineEnd.Replace(d, u"&rr;\r\n"_s);
    }

    // Anchors such as ">>12" are references, not quotations; a guard keeps
    // them from being taken for quote marks. Quotations get an empty line
    // before and after so that they become paragraphs of their own.
    d = r.anchor.Replace(d, u"&numref;$1"_s);
    d = r.lineBeforeQuote.Replace(d, u"$1$2\r\n$3$4"_s);
    d = r.lineAfterQuote.Replace(d, u"$1$2\r\n\r\n$4"_s);

    QString reading = MarkQuoteLevels(d);
    d.remove(InBandMarker::AnchorGuard.toString());
    reading.remove(InBandMarker::AnchorGuard.toString());

    auto cut = [&r](QString text, const QString& header) {
        text = r.emptyRun.Replace(text, u"$1&rr;"_s);
        text = r.longRunBreak.Replace(text, u"\r\n\r\n&rr;"_s);
        text = u"&rr;"_s + header + u"\r\n\r\n&rr;"_s + text;
        text = r.emptyUnit.Replace(text, u"$1"_s);
        text = r.linkOpen.Replace(text, u"&rr;$1"_s);
        text = r.linkClose.Replace(text, u"$1&rr;"_s);
        return r.finalBreak.Replace(text, QString());
    };
    d = cut(d, disp_header);
    reading = cut(reading, read_header);

    m_dispUnits = d.split(InBandMarker::UnitBreak.toString());
    m_readUnits = reading.split(InBandMarker::UnitBreak.toString());
    m_count = qint32(m_dispUnits.size() - 1);
    // Reading and display units must pair up. Fewer reading units cannot; more
    // are harmless only when the extra ones hold nothing to say, otherwise
    // their words would never be read.
    if (m_readUnits.size() < m_dispUnits.size() || carriesWords(m_readUnits.mid(m_dispUnits.size()))) {
        qCDebug(lcMessageData) << "reading and display units do not pair up; read whole";
        setWholeMessage(message, disp_header, read_header, message);
    }
}

void CMessageData::fillUnitInfo()
{
    const MessageRules& r = rules();
    const bool announce = m_readQuoteLevel == u"1";
    const QString openText = announce ? u"($1段目引用開始)"_s : QString();
    const QString closeText = announce ? u"($1段目引用おわり)"_s : QString();

    m_unitInfo = QList<UnitInfo>(m_count + 1);
    int level = 0;
    for (qint32 u = 1; u <= m_count; ++u) {
        UnitInfo& info = m_unitInfo[u];
        QString& display = m_dispUnits[u];
        QString& reading = m_readUnits[u];
        info.kind = 0;
        if (u == 1) {
            info.paragraphStart = true;
        }
        if (r.quoteOpen.Test(reading)) {
            level = lastDepth(r.quoteOpen, reading);
            info.kind = qint16(level + 3);
            reading = r.quoteOpen.Replace(reading, openText);
        }
        if (r.quoteClose.Test(reading)) {
            level = lastDepth(r.quoteClose, reading);
            info.kind = qint16(level + 3);
            --level;
            reading = r.quoteClose.Replace(reading, closeText);
        } else if (level >= 1) {
            info.kind = qint16(level + 3);
        }
        if (r.urlBracket.Test(display)) {
            display = r.urlBracket.Replace(display, u"$1"_s);
            info.kind = 1;
        }
        if (r.mailBracket.Test(display)) {
            display = r.mailBracket.Replace(display, u"$1"_s);
            info.kind = 2;
        }
        // Brackets go from the reading text even when they sit in another unit
        // there than in the display text, so the voice never hears a marker.
        reading = r.mailBracket.Replace(r.urlBracket.Replace(reading, u"$1"_s), u"$1"_s);
        info.length = qint32(display.size());
        info.start = m_unitInfo[u - 1].start + m_unitInfo[u - 1].length;
        if (display.endsWith(u"\r\n\r\n") && u < m_count) {
            m_unitInfo[u + 1].paragraphStart = true;
        }
        if (u == 1 && m_headerUnit) {
            // The listener needs the pause each blank of the header gives.
            reading = trimSpaces(reading.remove(kCrLf));
        } else {
            reading = r.spokenBlanks.Replace(trimSpaces(reading), QString());
        }
    }
}

QString CMessageData::MarkQuoteLevels(const QString& text)
{
    if (text.isEmpty()) {
        return {};
    }
    const bool endsWithBreak = text.endsWith(kCrLf);
    QStringList lines = (kCrLf + text).split(kCrLf);
    const qsizetype n = lines.size() - 1;
    QStringList prefix(lines.size());
    QStringList suffix(lines.size());

    auto anyQuoted = [&lines, n] {
        for (qsizetype k = 1; k <= n; ++k) {
            if (startsWithQuoteMark(lines.at(k))) {
                return true;
            }
        }
        return false;
    };

    // Each pass finds the blocks of one more level of quote marks, then takes
    // one mark off every line. The depth bound keeps a hostile line of
    // thousands of marks from costing thousands of passes and keeps every
    // depth within the two digits the markers carry.
    int depth = 0;
    while (depth < kMaxQuoteDepth && anyQuoted()) {
        ++depth;
        const QString depthText = QString::number(depth);
        const QString openMarker =
            InBandMarker::QuoteOpenHead.toString() + depthText + InBandMarker::QuoteOpenTail.toString();
        const QString closeMarker =
            InBandMarker::QuoteCloseHead.toString() + depthText + InBandMarker::QuoteCloseTail.toString();
        bool open = false;
        for (qsizetype k = 0; k <= n; ++k) {
            const QString& line = lines.at(k);
            const bool starts = startsWithQuoteMark(line);
            bool restEmpty = line.isEmpty();
            if (starts) {
                qsizetype i = 1;
                while (i < line.size()
                       && (isQuoteMark(line.at(i)) || line.at(i) == u' ' || line.at(i) == u'　'
                           || line.at(i) == u'\t')) {
                    ++i;
                }
                restEmpty = i == line.size();
            }
            if (!restEmpty && !open && starts) {
                open = true;
                prefix[k] += openMarker;
            } else if (open && !starts) {
                open = false;
                suffix[k - 1] = closeMarker + suffix.at(k - 1);
            }
        }
        for (qsizetype k = 1; k <= n; ++k) {
            QString& line = lines[k];
            if (startsWithQuoteMark(line)) {
                line.remove(0, line.size() > 1 && line.at(1) == u' ' ? 2 : 1);
            }
        }
    }

    QString result;
    for (qsizetype k = 1; k <= n; ++k) {
        result += prefix.at(k) + lines.at(k) + suffix.at(k) + kCrLf;
    }
    if (endsWithBreak) {
        result.chop(2);
    }
    return rules().closeAfterBreak.Replace(result, u"$1&rr;"_s);
}

QString CMessageData::Get_Message(qint32 move, qint16& line_type, bool absolute)
{
    qint64 index = absolute ? qint64(move) : qint64(m_index) + move;
    if (index < 1) {
        index = 1;
    }
    if (index > m_count) {
        m_index = m_count;
        return kNoMoreText.toString();
    }
    m_index = qint32(index);
    line_type = m_unitInfo.at(m_index).kind;
    return m_readUnits.at(m_index);
}

QString CMessageData::Get_OrgMessage(qint32 unit) const
{
    if (unit == -1) {
        unit = m_index;
    }
    if (unit < 1 || unit > m_count) {
        return {};
    }
    return m_dispUnits.at(unit);
}

QStringList CMessageData::Get_OrgMessages() const
{
    return m_dispUnits.mid(0, m_count + 1);
}

QString CMessageData::Get_OrgMessagesText() const
{
    return m_dispUnits.mid(1, m_count).join(QString());
}

void CMessageData::Get_OrgMessagePos(qint32& start, qint32& length) const
{
    const UnitInfo info = unitInfo(m_index);
    start = info.start;
    length = info.length;
}

void CMessageData::Rewind_Index()
{
    if (m_index > 0) {
        --m_index;
    }
}

qint32 CMessageData::Get_NextLink(bool back_search) const
{
    auto isLink = [this](qint32 u) { return m_unitInfo.at(u).kind == 1 || m_unitInfo.at(u).kind == 2; };
    if (back_search) {
        for (qint32 u = qMin(m_index, m_count + 1) - 1; u >= 1; --u) {
            if (isLink(u)) {
                return u;
            }
        }
    } else {
        for (qint32 u = qMax(m_index, 0) + 1; u <= m_count; ++u) {
            if (isLink(u)) {
                return u;
            }
        }
    }
    return 0;
}

qint32 CMessageData::Get_NextParagraph(bool back_search) const
{
    if (back_search) {
        for (qint32 u = qMin(m_index, m_count + 1) - 1; u >= 1; --u) {
            if (m_unitInfo.at(u).paragraphStart) {
                return u;
            }
        }
    } else {
        for (qint32 u = qMax(m_index, 0) + 1; u <= m_count; ++u) {
            if (m_unitInfo.at(u).paragraphStart) {
                return u;
            }
        }
    }
    return 0;
}

qint32 CMessageData::Get_CurrentLinePos() const
{
    if (m_index < 1) {
        return 0;
    }
    return unitInfo(m_index).start;
}

bool CMessageData::Check_AA(const QString& text) const
{
    if (m_readAsciiArt != u"1") {
        return false;
    }
    static constexpr char16_t kArtCharacters[] = u"￣|∧＼Д∬∀＾´｀从";
    char32_t folded[std::size(kArtCharacters) - 1];
    for (size_t i = 0; i + 1 < std::size(kArtCharacters); ++i) {
        folded[i] = foldArtCharacter(kArtCharacters[i]);
    }
    int found = 0;
    for (const QChar c : text) {
        const char32_t f = foldArtCharacter(c.unicode());
        if (std::find(std::begin(folded), std::end(folded), f) != std::end(folded) && ++found > 4) {
            return true;
        }
    }
    return false;
}

QString CMessageData::readingUnit(qint32 unit) const
{
    if (unit < 1 || unit > m_count) {
        return {};
    }
    return m_readUnits.at(unit);
}

UnitInfo CMessageData::unitInfo(qint32 unit) const
{
    if (unit < 0 || unit > m_count) {
        return {};
    }
    return m_unitInfo.at(unit);
}

int CMessageData::documentPosition(const QString& text, qint32 offset)
{
    const qint32 end = qBound(0, offset, qint32(text.size()));
    int position = end;
    for (qint32 i = 0; i + 1 < end; ++i) {
        if (text.at(i) == u'\r' && text.at(i + 1) == u'\n') {
            --position;
            ++i;
        }
    }
    return position;
}
