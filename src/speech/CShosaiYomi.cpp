#include "CShosaiYomi.h"

#include <QFile>
#include <QLoggingCategory>

#include "base/AppPaths.h"
#include "base/TextCodec.h"
#include "speech/EmojiNames.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcShosai, "yomimaru.speech.shosai", QtWarningMsg)

namespace {

constexpr QStringView kPitchHalf = u"&&pitch;2";
constexpr QStringView kPitchFullKatakana = u"&&pitch;1";
constexpr QStringView kPitchPlain = u"&&pitch;0";
constexpr QStringView kHalfWidth = u"ﾊﾝｶｸ";
constexpr QStringView kFullWidth = u"ｾﾞﾝｶｸ";
constexpr QStringView kSmall = u"ｺﾓｼﾞﾉ";
constexpr QStringView kCapital = u"ｵｵﾓｼﾞﾉ";
constexpr QStringView kLineBreak = u"ｶｲｷﾞｮｰ";
constexpr QStringView kTab = u"ﾀﾌﾞ";
constexpr QStringView kUnknownSymbol = u"キゴー";
constexpr QStringView kUnknownKanji = u"カンジ";

// Spoken names of the classes, by class number.
constexpr std::array<QStringView, 16> kClassNames = {
    u"",        u"", u"ﾋﾗｶﾞﾅ", u"ｶﾀｶﾅ", u"",     u"ｷﾞﾘｼｬ", u"ﾛｼｱ", u"",
    u"ﾛｰﾏｽｰｼﾞ", u"", u"",      u"",     u"ｹｲｾﾝ", u"ｷｺﾞｰ",  u"",    u"",
};

// Kana that are not pronounced reliably on their own: alone they are read
// by their description.
constexpr QStringView kUnclearKana = u"ﾝｦんをンヲゐゑヰヱヴ";

bool hasWidthMarker(int cls)
{
    switch (cls) {
    case 3:
    case 4:
    case 7:
    case 10:
    case 11:
    case 13:
    case 14:
    case 15:
        return true;
    default:
        return false;
    }
}

// Never read by name in the smooth reading: words are made of these.
bool isWordClass(int cls)
{
    switch (cls) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 7:
    case 15:
        return true;
    default:
        return false;
    }
}

// Joiners and variation selectors belong to the character before them.
bool isJoiner(char32_t c)
{
    return c == 0x200D || c == 0xFE0E || c == 0xFE0F;
}

// Reads one code point at i and moves i past it; a lone surrogate is itself.
char32_t nextCodePoint(QStringView s, qsizetype& i)
{
    const char16_t u = s[i].unicode();
    ++i;
    if (QChar::isHighSurrogate(u) && i < s.size() && QChar::isLowSurrogate(s[i].unicode())) {
        return QChar::surrogateToUcs4(u, s[i++].unicode());
    }
    return u;
}

void appendCodePoint(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

qsizetype codePointCount(QStringView s)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < s.size(); ++n) {
        nextCodePoint(s, i);
    }
    return n;
}

// The reading of an entry by the caller's choice.
const QString& chosenReading(const CShosaiYomi::Entry& e, bool phonetic, bool alone, bool normal)
{
    if (phonetic && !e.phonetic.isEmpty()) {
        return e.phonetic;
    }
    if (((e.cls == 2 || e.cls == 3) && !alone) || normal) {
        return e.alternative;
    }
    return e.reading;
}

// The word for a change of case, or nothing.
QStringView caseWord(int cls, int caseKind)
{
    if ((cls == 2 || cls == 3) && caseKind == CShosaiYomi::Small) {
        return kSmall;
    }
    if (cls == 4 && caseKind == CShosaiYomi::Capital) {
        return kCapital;
    }
    if (cls == 5 || cls == 6 || cls == 8) {
        if (caseKind == CShosaiYomi::Capital) {
            return kCapital;
        }
        if (caseKind == CShosaiYomi::Small) {
            return kSmall;
        }
    }
    return {};
}

}  // namespace

CShosaiYomi::CShosaiYomi()
    : m_entries(1)
    , m_map(65536, 0)
{}

bool CShosaiYomi::isSingleByte(char32_t c)
{
    return c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F);
}

const CShosaiYomi::Entry* CShosaiYomi::entryOf(char32_t c) const
{
    if (c > 0xFFFF) {
        return nullptr;
    }
    const quint16 n = m_map[c];
    return n == 0 ? nullptr : &m_entries.at(n);
}

void CShosaiYomi::addEntry(char16_t key, Entry entry)
{
    if (m_entries.size() > kMaxEntries) {
        ++m_skippedLines;
        return;
    }
    m_map[key] = quint16(m_entries.size());
    m_entries.append(std::move(entry));
}

void CShosaiYomi::addBuiltIns()
{
    m_entries = QList<Entry>(1);
    std::fill(m_map.begin(), m_map.end(), quint16(0));
    const Entry lineBreak{kLineBreak.toString(), {}, kLineBreak.toString(), Control, NoCase};
    addEntry(u'\r', lineBreak);
    addEntry(u'\n', lineBreak);
    addEntry(u'\t', Entry{kTab.toString(), {}, kTab.toString(), Control, NoCase});
}

bool CShosaiYomi::InitInstance(const AppPaths& paths)
{
    return InitInstance(paths.findResource(kKigouBFile.toString()),
                        paths.findResource(kKigouAFile.toString()),
                        paths.findResource(kTankanFile.toString()));
}

bool CShosaiYomi::InitInstance(const QString& kigouB, const QString& kigouA, const QString& tankan)
{
    addBuiltIns();
    m_skippedLines = 0;
    // A missing file costs its own readings only: without the symbol files
    // the kanji are still worth telling apart.
    bool all = loadFile(kigouB, Kind::SingleByte) >= 0;
    all = loadFile(kigouA, Kind::DoubleByte) >= 0 && all;
    fixUpKana();
    all = loadFile(tankan, Kind::Kanji) >= 0 && all;
    if (m_skippedLines > 0) {
        qCDebug(lcShosai) << m_skippedLines << "dictionary lines skipped";
    }
    return all;
}

int CShosaiYomi::loadFile(const QString& path, Kind kind)
{
    const QStringView name = kind == Kind::SingleByte   ? kKigouBFile
                             : kind == Kind::DoubleByte ? kKigouAFile
                                                        : kTankanFile;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qCWarning(lcShosai).noquote()
            << u"character dictionary %1 not found; its characters are read without detail"_s.arg(name);
        return -1;
    }
    const qsizetype before = m_entries.size();
    const QString text = TextCodec::fromFileBytes(file.read(kMaxFileSize));
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (!line.isEmpty()) {
            loadLine(line, kind);
        }
    }
    return int(m_entries.size() - before);
}

void CShosaiYomi::loadLine(QStringView line, Kind kind)
{
    const char16_t separator = kind == Kind::Kanji ? u' ' : u'\t';
    std::array<QStringView, 5> fields;
    const int wanted = kind == Kind::Kanji ? 4 : 5;
    int count = 0;
    for (QStringView field : line.tokenize(separator)) {
        if (count == wanted) {
            ++m_skippedLines;
            return;
        }
        fields[count++] = field;
    }
    if (count != wanted || fields[0].size() != 1 || fields[0][0].isSurrogate()) {
        ++m_skippedLines;
        return;
    }
    const char16_t key = fields[0][0].unicode();
    if (isSingleByte(key) != (kind == Kind::SingleByte)) {
        ++m_skippedLines;
        return;
    }
    Entry e;
    if (kind == Kind::Kanji) {
        e.reading = fields[2].toString();
        e.alternative = fields[3].toString();
        e.cls = Kanji;
    } else {
        bool caseOk = false;
        bool classOk = false;
        const uint caseKind = fields[3].toUInt(&caseOk);
        const uint cls = fields[4].toUInt(&classOk);
        if (!caseOk || !classOk || caseKind > 2 || cls >= kClassNames.size()) {
            ++m_skippedLines;
            return;
        }
        e.phonetic = fields[1].toString();
        e.reading = fields[2].toString();
        e.alternative = e.reading;
        e.caseKind = quint8(caseKind);
        e.cls = quint8(cls);
    }
    addEntry(key, std::move(e));
}

void CShosaiYomi::fixUpKana()
{
    for (QChar c : kUnclearKana) {
        const quint16 n = m_map[c.unicode()];
        if (n != 0 && !m_entries.at(n).phonetic.isEmpty()) {
            m_entries[n].reading = m_entries.at(n).phonetic;
        }
    }
}

QString CShosaiYomi::fallbackReading(char32_t c) const
{
    if (m_emojiNames != nullptr) {
        QString one;
        appendCodePoint(one, c);
        QString named = m_emojiNames->convert(one);
        if (named != one) {
            return named;
        }
    }
    return QChar::script(c) == QChar::Script_Han ? kUnknownKanji.toString() : kUnknownSymbol.toString();
}

QString CShosaiYomi::Get_ShosaiYomi(const QString& str, bool phonetic, bool normal, bool vc_enable) const
{
    const bool alone = codePointCount(str) == 1;
    QString out;
    out.reserve(str.size() * 12);
    QStringView lastMarker;
    int lastClass = -1;
    int lastCase = -1;
    qsizetype i = 0;
    bool first = true;
    while (i < str.size()) {
        const char32_t c = nextCodePoint(str, i);
        if (!first && isJoiner(c)) {
            continue;
        }
        first = false;
        const Entry* e = entryOf(c);
        const bool half = isSingleByte(c);
        const int cls = e != nullptr ? e->cls : 0;
        const int caseKind = e != nullptr ? int(e->caseKind) : int(NoCase);

        QStringView marker = lastMarker;
        if (hasWidthMarker(cls)) {
            if (vc_enable) {
                marker = half ? kPitchHalf : cls == Katakana ? kPitchFullKatakana : kPitchPlain;
            } else {
                marker = half ? kHalfWidth : kFullWidth;
            }
        } else if (vc_enable) {
            marker = kPitchPlain;
        }
        if (marker != lastMarker) {
            out += marker;
            lastMarker = marker;
        }

        if (cls != lastClass) {
            if (!(vc_enable && (cls == Hiragana || cls == Katakana))) {
                out += kClassNames[cls];
            }
            lastClass = cls;
        }
        if (caseKind != lastCase) {
            out += caseWord(cls, caseKind);
            lastCase = caseKind;
        }

        if (e != nullptr) {
            out += chosenReading(*e, phonetic, alone, normal);
        } else {
            out += fallbackReading(c);
        }
        if (!normal) {
            out += u'|';
        }
    }
    return out;
}

QString CShosaiYomi::Get_NamerakaYomi(const QString& str,
                                      QStringView kuten_read,
                                      QStringView kakko_read,
                                      QStringView kigou_read) const
{
    const bool kuten = kuten_read == u"1";
    const bool kakko = kakko_read == u"1";
    const bool kigou = kigou_read == u"1";
    QString out;
    out.reserve(str.size() + str.size() / 4);
    bool counting = false;
    int run = 0;
    char32_t previous = 0;
    QStringView lastReading;

    const auto closeRun = [&] {
        if (!counting) {
            return;
        }
        if (run == 2 || run == 3) {
            for (int k = 1; k < run; ++k) {
                out += lastReading;
                out += u'|';
            }
        } else if (run >= 4) {
            out += u"が"_s + QString::number(run) + u"個|"_s;
        }
    };

    qsizetype i = 0;
    while (i < str.size()) {
        const qsizetype start = i;
        const char32_t c = nextCodePoint(str, i);
        if (counting && c == previous && run > 0) {
            ++run;
            continue;
        }
        closeRun();
        const Entry* e = entryOf(c);
        bool byName = false;
        if (e != nullptr && !isWordClass(e->cls)) {
            byName = e->cls == Bracket ? kakko : e->cls == Punctuation ? kuten : kigou;
        }
        if (byName) {
            lastReading = chosenReading(*e, false, false, false);
            out += lastReading;
            out += u'|';
            counting = true;
        } else {
            // Unknown characters (emoji, characters outside the code page) go
            // on as they are: the speech output names emoji.
            out += QStringView(str).mid(start, i - start);
            counting = false;
        }
        run = 1;
        previous = c;
    }
    closeRun();
    return out;
}

QString CShosaiYomi::Get_AsciiYomi(int code, bool phonetic, bool vc) const
{
    char32_t c = 0;
    if (code >= 0 && code < 0x80) {
        c = char32_t(code);
    } else if (code >= 0xA1 && code <= 0xDF) {
        c = char32_t(0xFF61 + code - 0xA1);
    } else {
        return {};
    }
    const Entry* e = entryOf(c);
    if (e == nullptr) {
        return {};
    }
    QString out = vc ? kPitchHalf.toString() : kHalfWidth.toString();
    out += caseWord(e->cls, e->caseKind);
    out += phonetic && !e->phonetic.isEmpty() ? e->phonetic : e->alternative;
    return out;
}
