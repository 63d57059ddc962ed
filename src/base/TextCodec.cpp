#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include <QStringDecoder>

namespace {

// Lead-byte ranges in the order an encoder prefers them when a character has
// more than one encoding: JIS X 0208 first, then the NEC row 13, then the IBM
// extension, then the NEC-selected IBM extension, then the user area. This is
// the choice the Windows code page makes, so files stay byte-compatible.
constexpr std::array<std::pair<int, int>, 9> kLeadPreference{{
    {0x81, 0x84},
    {0x88, 0x9F},
    {0xE0, 0xEA},
    {0x87, 0x87},
    {0xFA, 0xFC},
    {0xED, 0xEE},
    {0x85, 0x86},
    {0xEB, 0xEC},
    {0xEF, 0xF9},
}};

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

bool isSingleByteChar(unsigned char b)
{
    return b < 0x80 || (b >= 0xA1 && b <= 0xDF);
}

// Both directions of code page 932, built once from the system's converter.
struct Cp932Tables
{
    // decode[lead << 8 | trail] for double bytes, decode[byte] for single bytes;
    // 0xFFFF = unassigned.
    std::array<char16_t, 0x10000> decode{};
    // encode[code unit]: the bytes (one byte when < 0x100, except U+0000) or 0 = none.
    std::array<quint16, 0x10000> encode{};

    Cp932Tables()
    {
        decode.fill(0xFFFF);
        encode.fill(0);
        QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
        for (int b = 0; b < 0x100; ++b) {
            if (b < 0x80) {
                decode[b] = char16_t(b);
            } else if (b >= 0xA1 && b <= 0xDF) {
                decode[b] = char16_t(0xFF61 + (b - 0xA1));
            }
        }
        for (int b = 1; b < 0x100; ++b) {
            if (decode[b] != 0xFFFF) {
                encode[decode[b]] = quint16(b);
            }
        }
        for (const auto& [first, last] : kLeadPreference) {
            for (int lead = first; lead <= last; ++lead) {
                for (int trail = 0x40; trail <= 0xFC; ++trail) {
                    if (trail == 0x7F) {
                        continue;
                    }
                    const char pair[2] = {char(lead), char(trail)};
                    const QString s = decoder.decode(QByteArrayView(pair, 2));
                    decoder.resetState();
                    if (s.size() != 1 || s.at(0).unicode() == 0xFFFD || s.at(0).unicode() == 0x1A) {
                        continue;
                    }
                    const char16_t u = s.at(0).unicode();
                    decode[(lead << 8) | trail] = u;
                    if (encode[u] == 0 && u != 0) {
                        encode[u] = quint16((lead << 8) | trail);
                    }
                }
            }
        }
    }
};

const Cp932Tables& tables()
{
    static const auto t = std::make_unique<Cp932Tables>();
    return *t;
}

void appendReference(QByteArray& out, char32_t codePoint)
{
    out += "&#";
    out += QByteArray::number(quint32(codePoint));
    out += ';';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

// Reads one reference at text[pos] ("&#"). Returns its value and sets end to the
// index after ';', or returns -1 when no well-formed reference starts there.
// Values too large to be characters are reported as 0x110000.
qint64 readReference(const QString& text, qsizetype pos, qsizetype& end)
{
    qsizetype i = pos + 2;
    const qsizetype n = text.size();
    const bool hex = i < n && (text.at(i) == u'x' || text.at(i) == u'X');
    if (hex) {
        ++i;
    }
    const int base = hex ? 16 : 10;
    qint64 value = 0;
    qsizetype digits = 0;
    while (i < n) {
        const int d =
            hex ? hexValue(text.at(i))
                : (text.at(i).isDigit() && text.at(i).unicode() < 0x80 ? text.at(i).unicode() - u'0' : -1);
        if (d < 0) {
            break;
        }
        value = value * base + d;
        if (value > 0x10FFFF) {
            value = 0x110000;
        }
        ++digits;
        ++i;
    }
    if (digits == 0 || i >= n || text.at(i) != u';') {
        return -1;
    }
    end = i + 1;
    return value;
}

}  // namespace

namespace TextCodec {

QString fromCp932(QByteArrayView bytes)
{
    const auto& t = tables();
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (isSingleByteChar(b)) {
            out += QChar(t.decode[b]);
        } else if (isLeadByte(b) && i + 1 < n && isTrailByte(p[i + 1])) {
            const char16_t u = t.decode[(b << 8) | p[i + 1]];
            out += QChar(u == 0xFFFF ? char16_t(0xFFFD) : u);
            ++i;
        } else {
            out += QChar(0xFFFD);
        }
    }
    return out;
}

bool isCp932Encodable(char32_t codePoint)
{
    return codePoint == 0 || (codePoint < 0x10000 && tables().encode[codePoint] != 0);
}

namespace {

// Writes a reference at p, the end of what out holds so far, and makes room
// after it for `left` more characters; returns the new end. Kept out of the
// encoding loop so that its end pointer stays in a register.
Q_NEVER_INLINE char* appendReferenceAt(QByteArray& out, char* p, char32_t codePoint, qsizetype left)
{
    out.truncate(p - out.constData());
    appendReference(out, codePoint);
    const qsizetype end = out.size();
    out.resize(end + left * 2);
    return out.data() + end;
}

// Appends the code page 932 bytes of the text to out; with asciiOnly every
// non-ASCII character is written as a reference instead.
void appendCp932(QByteArray& out, QStringView text, bool asciiOnly)
{
    const auto& t = tables();
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    // At most two bytes a character, written in place; the rare references
    // go through append and the room is made again.
    const qsizetype start = out.size();
    out.resize(start + n * 2);
    char* p = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (u < 0x80) {
            // A literal "&#" would be read back as a reference: write its "&" as one.
            if (u == u'&' && i + 1 < n && s[i + 1] == u'#') {
                p = appendReferenceAt(out, p, u'&', n - i - 1);
            } else {
                *p++ = char(u);
            }
            continue;
        }
        const quint16 code = asciiOnly ? 0 : t.encode[u];
        if (code != 0) {
            if (code < 0x100) {
                *p++ = char(code);
            } else {
                *p++ = char(code >> 8);
                *p++ = char(code & 0xFF);
            }
            continue;
        }
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            cp = QChar::surrogateToUcs4(u, s[i + 1]);
            ++i;
        }
        // A lone surrogate has no character to name; write the replacement character.
        p = appendReferenceAt(out, p, QChar::isSurrogate(cp) ? char32_t(0xFFFD) : cp, n - i - 1);
    }
    out.truncate(p - out.constData());
}

// False when the bytes cannot be UTF-8 at all: a byte that never occurs in
// it, a continuation byte without a lead, or a lead byte whose sequence is
// broken off before the end. Code page 932 text shows this within its first
// characters, so it needs no full decode.
bool brokenUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b < 0xC2 || b > 0xF4) {
            return true;
        }
        const int follow = b < 0xE0 ? 1 : (b < 0xF0 ? 2 : 3);
        for (int k = 1; k <= follow && i + k < n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return true;
            }
        }
        i += follow + 1;
    }
    return false;
}

// True when fromFileBytes takes the bytes for UTF-8: a byte-order mark, or
// valid UTF-8 holding at least one byte above ASCII.
bool readAsUtf8(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return true;
    }
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || brokenUtf8(bytes)) {
        return false;
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);  // the decoder works when its result is taken
    return !utf8.hasError();
}

}  // namespace

QByteArray toCp932(QStringView text)
{
    QByteArray bytes;
    appendCp932(bytes, text, false);
    return bytes;
}

QByteArray toFileBytes(QStringView text)
{
    QByteArray bytes;
    appendFileBytes(bytes, text);
    return bytes;
}

void appendFileBytes(QByteArray& out, QStringView text)
{
    const qsizetype start = out.size();
    appendCp932(out, text, false);
    // Code page 932 bytes may happen to be valid UTF-8 too (pairs of half-width
    // katakana such as "ﾎﾹ" are), and would then be read back as UTF-8. Such a
    // text is written in ASCII, every other character as a reference.
    if (readAsUtf8(QByteArrayView(out).sliced(start))) {
        out.truncate(start);
        appendCp932(out, text, true);
    }
}

QString decodeNumericReferences(const QString& text)
{
    qsizetype pos = text.indexOf(u"&#");
    if (pos < 0) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    while (pos >= 0) {
        qsizetype end = 0;
        const qint64 value = readReference(text, pos, end);
        if (value < 0) {
            pos = text.indexOf(u"&#", pos + 2);
            continue;
        }
        out += QStringView(text).mid(copied, pos - copied);
        copied = end;
        if (value >= 0xD800 && value <= 0xDBFF && end + 1 < text.size() && text.at(end) == u'&'
            && text.at(end + 1) == u'#') {
            qsizetype end2 = 0;
            const qint64 low = readReference(text, end, end2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += QChar(char16_t(value));
                out += QChar(char16_t(low));
                copied = end2;
                pos = text.indexOf(u"&#", copied);
                continue;
            }
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            out += QChar(0xFFFD);
        } else {
            // Built from code units: a decoder would take U+FEFF for a
            // byte-order mark and drop it.
            const char32_t cp = char32_t(value);
            if (QChar::requiresSurrogates(cp)) {
                out += QChar(QChar::highSurrogate(cp));
                out += QChar(QChar::lowSurrogate(cp));
            } else {
                out += QChar(char16_t(cp));
            }
        }
        pos = text.indexOf(u"&#", copied);
    }
    out += QStringView(text).mid(copied);
    return out;
}

bool isUtf8FileBytes(QByteArrayView bytes)
{
    return readAsUtf8(bytes);
}

QString fromFileBytes(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return decodeNumericReferences(QString::fromUtf8(bytes.sliced(3)));
    }
    if (readAsUtf8(bytes)) {
        return decodeNumericReferences(QString::fromUtf8(bytes));
    }
    return decodeNumericReferences(fromCp932(bytes));
}

bool IsUtf8(QByteArrayView bytes, qsizetype limit)
{
    const qsizetype n = qMin(limit, bytes.size());
    if (n <= 0) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    int sequences = 0;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80 || b >= 0xFE) {
            ++i;
            continue;
        }
        if (b <= 0xBF) {
            return false;
        }
        int follow = 5;
        if (b <= 0xDF) {
            follow = 1;
        } else if (b <= 0xEF) {
            follow = 2;
        } else if (b <= 0xF7) {
            follow = 3;
        } else if (b <= 0xFB) {
            follow = 4;
        }
        if (i + follow >= n) {
            break;
        }
        for (int k = 1; k <= follow; ++k) {
            const unsigned char c = p[i + k];
            if (c < 0x80 || c > 0xBF) {
                return false;
            }
        }
        ++sequences;
        i += follow + 1;
    }
    return sequences >= 2;
}

QString Utf8ToText(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

namespace {

// What each byte can be, for the vote between code page 932 and EUC-JP.
enum : unsigned char
{
    kSjisLead = 1,
    kSjisTrail = 2,
    kEucByte = 4,
    kHalfKana = 8
};

constexpr std::array<unsigned char, 256> byteClasses()
{
    std::array<unsigned char, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        unsigned char c = 0;
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
            c |= kSjisLead;
        }
        if (b >= 0x40 && b <= 0xFC && b != 0x7F) {
            c |= kSjisTrail;
        }
        if (b >= 0xA1 && b <= 0xFE) {
            c |= kEucByte;
        }
        if (b >= 0xA1 && b <= 0xDF) {
            c |= kHalfKana;
        }
        classes[size_t(b)] = c;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> kByteClass = byteClasses();

}  // namespace

JapaneseEncoding detectJapaneseEncoding(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // An escape byte never trails a pair, so whether one starts a sequence
    // does not depend on how the bytes around it pair up: look for them first.
    for (qsizetype i = 0; i < n; ++i) {
        const void* at = std::memchr(p + i, 0x1B, size_t(n - i));
        if (!at) {
            break;
        }
        i = static_cast<const unsigned char*>(at) - p;
        if (i + 2 < n && (p[i + 1] == '$' || p[i + 1] == '(')
            && (p[i + 2] == 'B' || p[i + 2] == '@' || p[i + 2] == 'J')) {
            return JapaneseEncoding::Iso2022Jp;
        }
    }
    // Votes for each reading over the byte pairs only one of them explains.
    qsizetype sjisOnly = 0;
    qsizetype eucOnly = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            continue;
        }
        // A vote for EUC-JP takes a pair, so the bytes left can add at most
        // half their number of them: once the code page leads by that, the
        // answer is certain.
        if (eucOnly + (n - i) / 2 <= sjisOnly) {
            return JapaneseEncoding::Cp932;
        }
        const unsigned char c = i + 1 < n ? p[i + 1] : 0;
        const unsigned first = kByteClass[b];
        const unsigned second = kByteClass[c];
        const bool sjisPair = (first & kSjisLead) && (second & kSjisTrail);
        const bool eucPair =
            ((first & kEucByte) && (second & kEucByte)) || (b == 0x8E && (second & kHalfKana));
        if (sjisPair && !eucPair) {
            ++sjisOnly;
        } else if (eucPair && !sjisPair) {
            ++eucOnly;
        }
        // Half-width katakana alone in code page 932 look like single bytes
        // 0xA1-0xDF; in EUC-JP such a byte is always a lead of a pair.
        if (!sjisPair && !eucPair && (first & kHalfKana)) {
            ++sjisOnly;
        }
        if (sjisPair || eucPair) {
            ++i;
        }
    }
    return eucOnly > sjisOnly ? JapaneseEncoding::EucJp : JapaneseEncoding::Cp932;
}

QString decodeJapanese(QByteArrayView bytes)
{
    return decodeJapanese(bytes, detectJapaneseEncoding(bytes));
}

QString decodeJapanese(QByteArrayView bytes, JapaneseEncoding encoding)
{
    switch (encoding) {
    case JapaneseEncoding::EucJp: {
        QStringDecoder decoder("EUC-JP", QStringConverter::Flag::Stateless);
        return decoder.decode(bytes);
    }
    case JapaneseEncoding::Iso2022Jp: {
        QStringDecoder decoder("ISO-2022-JP", QStringConverter::Flag::Stateless);
        return decoder.decode(bytes);
    }
    case JapaneseEncoding::Cp932:
        break;
    }
    return fromCp932(bytes);
}

QString decodeServerText(QByteArrayView bytes)
{
    if (IsUtf8(bytes, 4096)) {
        return Utf8ToText(bytes);
    }
    return decodeJapanese(bytes);
}

}  // namespace TextCodec
