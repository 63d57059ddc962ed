#include "KanaBraille.h"

#include <QStringList>

#include "speech/JapaneseFrontEnd.h"

using namespace Qt::StringLiterals;

namespace KanaBraille {

namespace {

// A cell from its dot numbers: "16" is dots 1 and 6.
constexpr char cell(const char* dots)
{
    unsigned value = 0;
    for (const char* p = dots; *p; ++p) {
        value |= 1u << unsigned(*p - '1');
    }
    return char(value);
}

constexpr char kBlank = 0;
constexpr char kVoiced = cell("5");
constexpr char kSemiVoiced = cell("6");
constexpr char kContracted = cell("4");
constexpr char kContractedVoiced = cell("45");
constexpr char kContractedSemiVoiced = cell("46");
constexpr char kSmallTsu = cell("2");
constexpr char kLongVowel = cell("25");
constexpr char kNumberSign = cell("3456");
constexpr char kDecimalPoint = cell("2");
constexpr char kThousands = cell("3");
constexpr char kForeignLetter = cell("56");
constexpr char kCapital = cell("6");
constexpr char kJoiner = cell("36");  // つなぎ符: a kana that could be read as a digit or letter

// The fifty sounds by rows, vowels a i u e o.
struct Row
{
    const char16_t* kana;
    const char* dots[5];
};

constexpr Row kRows[] = {
    {u"あいうえお", {"1", "12", "14", "124", "24"}},
    {u"かきくけこ", {"16", "126", "146", "1246", "246"}},
    {u"さしすせそ", {"156", "1256", "1456", "12456", "2456"}},
    {u"たちつてと", {"135", "1235", "1345", "12345", "2345"}},
    {u"なにぬねの", {"13", "123", "134", "1234", "234"}},
    {u"はひふへほ", {"136", "1236", "1346", "12346", "2346"}},
    {u"まみむめも", {"1356", "12356", "13456", "123456", "23456"}},
    {u"らりるれろ", {"15", "125", "145", "1245", "245"}},
};

// The kana outside the rows; ゐ and ゑ as the sounds they are read as today.
struct Other
{
    char16_t kana;
    const char* dots;
};

constexpr Other kOthers[] = {
    {u'や', "34"}, {u'ゆ', "346"}, {u'よ', "345"}, {u'わ', "3"},
    {u'を', "35"}, {u'ん', "356"}, {u'ゐ', "12"},  {u'ゑ', "124"},
};

// Voiced and semi-voiced kana and the plain kana they mark.
constexpr const char16_t* kVoicedKana = u"がぎぐげござじずぜぞだぢづでどばびぶべぼゔ";
constexpr const char16_t* kVoicedBase = u"かきくけこさしすせそたちつてとはひふへほう";
constexpr const char16_t* kSemiVoicedKana = u"ぱぴぷぺぽ";
constexpr const char16_t* kSemiVoicedBase = u"はひふへほ";

qsizetype indexIn(const char16_t* list, char16_t c)
{
    for (qsizetype i = 0; list[i]; ++i) {
        if (list[i] == c) {
            return i;
        }
    }
    return -1;
}

// The cell of a plain kana (no mark), or -1.
int plainCell(char16_t c)
{
    for (const Row& row : kRows) {
        if (const qsizetype i = indexIn(row.kana, c); i >= 0) {
            return int(static_cast<unsigned char>(cell(row.dots[i])));
        }
    }
    for (const Other& other : kOthers) {
        if (other.kana == c) {
            return int(static_cast<unsigned char>(cell(other.dots)));
        }
    }
    return -1;
}

// The row (its a-column kana) and the mark of a kana of the i-column that
// takes a contracted sound: き → か, ぎ → か voiced, ぴ → は semi-voiced.
bool contractedRow(char16_t c, char16_t& row, char& prefix)
{
    static constexpr char16_t kPlain[] = u"きしちにひみり";
    static constexpr char16_t kPlainRows[] = u"かさたなはまら";
    static constexpr char16_t kVoicedI[] = u"ぎじぢび";
    static constexpr char16_t kVoicedRows[] = u"かさたは";
    if (const qsizetype i = indexIn(kPlain, c); i >= 0) {
        row = kPlainRows[i];
        prefix = kContracted;
        return true;
    }
    if (const qsizetype i = indexIn(kVoicedI, c); i >= 0) {
        row = kVoicedRows[i];
        prefix = kContractedVoiced;
        return true;
    }
    if (c == u'ぴ') {
        row = u'は';
        prefix = kContractedSemiVoiced;
        return true;
    }
    return false;
}

// The kana of the row in the column of a small や, ゆ or よ.
char16_t rowKana(char16_t row, char16_t small)
{
    for (const Row& r : kRows) {
        if (r.kana[0] == row) {
            return r.kana[small == u'ゃ' ? 0 : (small == u'ゅ' ? 2 : 4)];
        }
    }
    return row;
}

constexpr const char* kLetters[26] = {"1",   "12",   "14",  "145",  "15",   "124",  "1245",  "125",   "24",
                                      "245", "13",   "123", "134",  "1345", "135",  "1234",  "12345", "1235",
                                      "234", "2345", "136", "1236", "2456", "1346", "13456", "1356"};
constexpr const char* kDigits[10] = {"245", "1", "12", "14", "145", "15", "124", "1245", "125", "24"};

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isLatin(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isUpper(char16_t c)
{
    return c >= u'A' && c <= u'Z';
}

bool isKana(char16_t c)
{
    return (c >= u'ぁ' && c <= u'ゖ') || c == u'ー';
}

// Kana whose cells read as digits or Latin letters right after them.
bool looksLikeDigit(char16_t c)
{
    return indexIn(u"あいうえおらりるれろ", c) >= 0;
}

// One character as the tables see it: katakana as hiragana, full-width
// ASCII as ASCII, half-width katakana widened (a sound mark after one joins it).
struct Char
{
    char16_t c = 0;
    qsizetype source = 0;
};

QList<Char> normalise(QStringView text, qsizetype offset)
{
    QList<Char> out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text.at(i).unicode();
        const qsizetype at = offset + i;
        if (c >= 0xFF61 && c <= 0xFF9F) {
            // Half-width katakana, with the sound mark that may follow.
            const bool marked = i + 1 < text.size() && (text.at(i + 1) == u'ﾞ' || text.at(i + 1) == u'ﾟ');
            const QString wide =
                text.mid(i, marked ? 2 : 1).toString().normalized(QString::NormalizationForm_KC);
            if (marked) {
                ++i;
            }
            for (const QChar w : wide) {
                char16_t k = w.unicode();
                if (k >= u'ァ' && k <= u'ヶ') {
                    k = char16_t(k - 0x60);
                }
                out.append({k, at});
            }
            continue;
        }
        if (c >= u'ァ' && c <= u'ヶ') {
            c = char16_t(c - 0x60);
        } else if (c >= 0xFF01 && c <= 0xFF5E) {
            c = char16_t(c - 0xFEE0);
        } else if (c == 0x3000 || c == u'\t' || c == u'\n' || c == u'\r') {
            c = u' ';
        } else if (c == u'ヴ') {
            c = u'ゔ';
        }
        out.append({c, at});
    }
    return out;
}

// Small tsu, the long vowel and the punctuation: their cells and the blanks
// that follow them when the line goes on (a full stop takes two).
struct Mark
{
    char16_t c;
    const char* cells[3];
    int blanksAfter;
};

constexpr Mark kMarks[] = {
    {u'っ', {"2"}, 0},       {u'ー', {"25"}, 0},       {u'。', {"256"}, 2},      {u'.', {"256"}, 2},
    {u'、', {"56"}, 1},      {u',', {"56"}, 1},        {u'?', {"26"}, 1},        {u'!', {"235"}, 1},
    {u'「', {"36"}, 0},      {u'」', {"36"}, 0},       {u'『', {"56", "36"}, 0}, {u'』', {"36", "23"}, 0},
    {u'(', {"2356"}, 0},     {u')', {"2356"}, 0},      {u'・', {"5"}, 0},        {u'…', {"2", "2", "2"}, 0},
    {u'~', {"36", "36"}, 0}, {u'〜', {"36", "36"}, 0},
};

const Mark* markOf(char16_t c)
{
    for (const Mark& mark : kMarks) {
        if (mark.c == c) {
            return &mark;
        }
    }
    return nullptr;
}

class Writer
{
public:
    explicit Writer(Line& line)
        : m_line(line)
    {}

    void put(char c, qsizetype source)
    {
        m_line.cells.append(c);
        m_line.source.append(source);
    }

    void put(const char* dots, qsizetype source) { put(cell(dots), source); }

    void blank(qsizetype source)
    {
        if (!m_line.cells.isEmpty() && m_line.cells.back() != kBlank) {
            put(kBlank, source);
        }
    }

    // Two blanks after a full stop, whatever came before.
    void blanks(int count, qsizetype source)
    {
        for (int i = 0; i < count; ++i) {
            put(kBlank, source);
        }
    }

    void trimEnd()
    {
        while (!m_line.cells.isEmpty() && m_line.cells.back() == kBlank) {
            m_line.cells.chop(1);
            m_line.source.removeLast();
        }
    }

private:
    Line& m_line;
};

}  // namespace

Line fromKana(QStringView text, qsizetype offset)
{
    const QList<Char> chars = normalise(text, offset);
    Line line;
    line.cells.reserve(chars.size() * 2);
    Writer out(line);
    const auto at = [&chars](qsizetype i) -> char16_t { return i < chars.size() ? chars.at(i).c : 0; };
    qsizetype i = 0;
    while (i < chars.size()) {
        const char16_t c = chars.at(i).c;
        const qsizetype source = chars.at(i).source;
        const bool more = i + 1 < chars.size();
        if (isDigit(c)) {
            // A number: the number sign, then the digits with their decimal
            // point and thousands commas.
            out.put(kNumberSign, source);
            while (i < chars.size()) {
                const char16_t d = at(i);
                if (isDigit(d)) {
                    out.put(kDigits[d - u'0'], chars.at(i).source);
                } else if ((d == u'.' || d == u',') && isDigit(at(i + 1))) {
                    out.put(d == u'.' ? kDecimalPoint : kThousands, chars.at(i).source);
                } else {
                    break;
                }
                ++i;
            }
            if (isKana(at(i)) && looksLikeDigit(at(i))) {
                out.put(kJoiner, chars.at(i).source);
            }
            continue;
        }
        if (isLatin(c)) {
            // A Latin word: the foreign-letter sign, capital signs (two for a
            // word in capitals), the letters.
            qsizetype end = i;
            bool allCaps = true;
            while (isLatin(at(end))) {
                allCaps = allCaps && isUpper(at(end));
                ++end;
            }
            out.put(kForeignLetter, source);
            const bool capsWord = allCaps && end - i >= 2;
            if (capsWord) {
                out.put(kCapital, source);
                out.put(kCapital, source);
            }
            for (; i < end; ++i) {
                const char16_t l = at(i);
                if (isUpper(l) && !capsWord) {
                    out.put(kCapital, chars.at(i).source);
                }
                out.put(kLetters[(isUpper(l) ? l - u'A' : l - u'a')], chars.at(i).source);
            }
            if (isKana(at(i))) {
                out.put(kJoiner, chars.at(i).source);
            }
            continue;
        }
        if (c == u' ') {
            out.blank(source);
            ++i;
            continue;
        }
        // Contracted sounds: きゃ, ぎゅ, ぴょ.
        char16_t row = 0;
        char prefix = 0;
        const char16_t next = at(i + 1);
        if ((next == u'ゃ' || next == u'ゅ' || next == u'ょ') && contractedRow(c, row, prefix)) {
            out.put(prefix, source);
            out.put(char(plainCell(rowKana(row, next))), source);
            i += 2;
            continue;
        }
        if (const qsizetype v = indexIn(kVoicedKana, c); v >= 0) {
            out.put(kVoiced, source);
            out.put(char(plainCell(kVoicedBase[v])), source);
            ++i;
            continue;
        }
        if (const qsizetype v = indexIn(kSemiVoicedKana, c); v >= 0) {
            out.put(kSemiVoiced, source);
            out.put(char(plainCell(kSemiVoicedBase[v])), source);
            ++i;
            continue;
        }
        if (const int p = plainCell(c); p >= 0) {
            out.put(char(p), source);
            ++i;
            continue;
        }
        // Small kana outside a contracted sound are written full size.
        if (const qsizetype s = indexIn(u"ぁぃぅぇぉゃゅょゎ", c); s >= 0) {
            out.put(char(plainCell(u"あいうえおやゆよわ"[s])), source);
            ++i;
            continue;
        }
        if (const Mark* mark = markOf(c)) {
            for (const char* dots : mark->cells) {
                if (dots) {
                    out.put(dots, source);
                }
            }
            if (more && mark->blanksAfter == 2) {
                out.blanks(2, source);
            } else if (more && mark->blanksAfter == 1) {
                out.blank(source);
            }
        }
        // Anything else has no cell: left out, the line goes on.
        ++i;
    }
    out.trimEnd();
    return line;
}

namespace {

bool isCopula(const JapaneseFrontEnd::Word& word)
{
    static const QStringList forms = {u"です"_s, u"でし"_s, u"でしょ"_s, u"だ"_s, u"だっ"_s, u"だろ"_s};
    return word.pos == u"助動詞"_s && forms.contains(word.surface);
}

// Brackets and other marks, whatever part of speech the dictionary gives
// them (IPAdic calls half-width ones nouns).
bool isMarks(const QString& surface)
{
    for (const QChar c : surface) {
        if (!c.isPunct() && !c.isSymbol()) {
            return false;
        }
    }
    return !surface.isEmpty();
}

// Whether a word is written on to the one before it, without a blank:
// marks, the particles, the auxiliaries (but です and だ after a noun stand
// apart), suffixes, what follows a prefix, and the pieces of one number.
bool attaches(const JapaneseFrontEnd::Word& previous, const JapaneseFrontEnd::Word& word)
{
    if (isMarks(word.surface) || isMarks(previous.surface)) {
        return true;  // the tables give punctuation its own spacing
    }
    if (word.pos == u"助詞"_s || word.pos1 == u"接尾"_s || previous.pos == u"接頭詞"_s) {
        return true;
    }
    if (word.pos == u"助動詞"_s) {
        return !(isCopula(word) && previous.pos == u"名詞"_s);
    }
    if (word.pos == u"記号"_s || previous.pos == u"記号"_s) {
        return true;  // the tables give punctuation and blanks their own spacing
    }
    return word.pos1 == u"数"_s && previous.pos1 == u"数"_s;
}

}  // namespace

Line translate(const QString& text, const JapaneseFrontEnd* frontEnd)
{
    if (!frontEnd || !frontEnd->isOpen()) {
        return fromKana(text);
    }
    // The words as they sound, blanks between them, then the tables over the
    // whole; each character of the sounds remembers the written character
    // it comes from.
    QString sounds;
    QList<qsizetype> from;
    const QList<JapaneseFrontEnd::Word> words = frontEnd->words(text);
    for (qsizetype w = 0; w < words.size(); ++w) {
        const JapaneseFrontEnd::Word& word = words.at(w);
        if (w > 0 && !attaches(words.at(w - 1), word)) {
            sounds += u' ';
            from.append(word.start);
        }
        const qsizetype length = qMax<qsizetype>(word.surface.size(), 1);
        const qsizetype soundLength = qMax<qsizetype>(word.sound.size(), 1);
        for (qsizetype k = 0; k < word.sound.size(); ++k) {
            sounds += word.sound.at(k);
            from.append(word.start + qMin(k * length / soundLength, length - 1));
        }
    }
    Line line = fromKana(sounds);
    for (qsizetype& source : line.source) {
        source = from.value(source, 0);
    }
    return line;
}

QString dotNumbers(const QByteArray& cells)
{
    QStringList out;
    out.reserve(cells.size());
    for (const char c : cells) {
        QString dots;
        for (int d = 0; d < 8; ++d) {
            if (static_cast<unsigned char>(c) & (1u << d)) {
                dots += QChar(u'1' + d);
            }
        }
        out.append(dots);
    }
    return out.join(u'|');
}

}  // namespace KanaBraille
