#include "JapaneseFrontEnd.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <mecab.h>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "speech/SpeechOutput.h"

extern "C" {
#include <libkakasi.h>
}

using namespace Qt::StringLiterals;

namespace {

bool isAsciiAlnum(char32_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Hiragana, katakana (without the middle dot) and the long-vowel mark.
bool isKana(char32_t c)
{
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FC && c <= 0x30FF);
}

bool isJapanese(char32_t c)
{
    return isKana(c) || JapaneseFrontEnd::isKanji(c);
}

bool isWordChar(char32_t c)
{
    return isJapanese(c) || isAsciiAlnum(c) || (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A)
           || (c >= 0xFF41 && c <= 0xFF5A);
}

bool isMiddleDot(char32_t c)
{
    return c == 0x30FB || c == 0xFF65;
}

constexpr char32_t kLongVowel = 0x30FC;

bool isPlainVowel(char32_t c)
{
    static constexpr char16_t vowels[] = u"アイウエオあいうえお";
    return std::find(std::begin(vowels), std::end(vowels) - 1, char16_t(c)) != std::end(vowels) - 1;
}

// The vowel a kana ends in ('a', 'i', 'u', 'e', 'o'), or 0.
char vowelOf(char32_t c)
{
    if (c >= 0x3041 && c <= 0x3096) {
        c += 0x60;  // hiragana to katakana
    }
    static const QString vowels[] = {
        u"アカサタナハマヤラワガザダバパァャヮ"_s, u"イキシチニヒミリギジヂビピィ"_s,
        u"ウクスツヌフムユルグズヅブプゥュヴ"_s, u"エケセテネヘメレゲゼデベペェ"_s,
        u"オコソトノホモヨロヲゴゾドボポォョ"_s};
    static constexpr char names[] = "aiueo";
    for (int v = 0; v < 5; ++v) {
        if (c <= 0xFFFF && vowels[v].contains(QChar(char16_t(c)))) {
            return names[v];
        }
    }
    return 0;
}

bool isSmallTsu(char32_t c)
{
    return c == u'ッ' || c == u'っ';
}

// Characters MeCab never sees: controls (NUL included), lone surrogates and
// non-characters. They are copied as they are and cut the text into pieces.
bool passesAround(QStringView text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    if (c < 0x20 || c == 0x7F || c == 0xFFFE || c == 0xFFFF) {
        return true;
    }
    if (QChar::isHighSurrogate(c)) {
        return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
    }
    return QChar::isLowSurrogate(c);  // a low surrogate reached here has no high one before it
}

// Squared and enclosed words (㎝ ㎏ ㍑ ㈱) written out as what they stand
// for (cm, kg, リットル, (株)): espeak-ng spells the whole word around them
// letter by letter. Only these characters are folded; ＠ and the other
// full-width forms stay as they are.
QString foldSquaredWords(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x3200 && c.unicode() <= 0x33FF) {
            out += QString(c).normalized(QString::NormalizationForm_KC);
        } else {
            out += c;
        }
    }
    return out;
}

bool isBreakAfter(char16_t c)
{
    return c == u'。' || c == u'、' || c == u'！' || c == u'？' || c == u' ' || c == u'\u3000';
}

// The UTF-8 dictionary files are where they should be.
bool looksLikeDictionary(const QString& dir)
{
    return QFileInfo(QDir(dir).filePath(u"sys.dic"_s)).isReadable()
           && QFileInfo(QDir(dir).filePath(u"dicrc"_s)).isReadable();
}

// kakasi keeps its settings in globals, so it is set up once per process. Its
// library ends the process when the dictionary is missing, so the files are
// checked first.
bool kakasiReady()
{
    static const bool ready = [] {
        const QString kanwa = qEnvironmentVariableIsSet("KANWADICTPATH")
                                  ? qEnvironmentVariable("KANWADICTPATH")
                                  : u"/usr/share/kakasi/kanwadict"_s;
        const QString itaiji = qEnvironmentVariableIsSet("ITAIJIDICTPATH")
                                   ? qEnvironmentVariable("ITAIJIDICTPATH")
                                   : u"/usr/share/kakasi/itaijidict"_s;
        if (!QFileInfo(kanwa).isReadable() || !QFileInfo(itaiji).isReadable()) {
            return false;
        }
        char program[] = "kakasi";
        char input[] = "-ieuc";
        char output[] = "-oeuc";
        char kanji[] = "-JK";
        char* argv[] = {program, input, output, kanji, nullptr};
        return kakasi_getopt_argv(4, argv) == 0;
    }();
    return ready;
}

// One iconv conversion; an invalid or unconvertible input byte is skipped.
class Iconv
{
public:
    Iconv(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    {}

    ~Iconv()
    {
        if (isValid()) {
            iconv_close(m_cd);
        }
    }

    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool isValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The converted bytes; with strict set, nothing at all when any input
    // byte cannot be converted.
    QByteArray convert(const QByteArray& in, bool strict) const
    {
        QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = size_t(in.size());
        char* dst = out.data();
        size_t dstLeft = size_t(out.size());
        while (srcLeft > 0) {
            if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1)) {
                break;
            }
            if (strict || errno == E2BIG) {
                return {};
            }
            ++src;  // EILSEQ or EINVAL: drop the byte
            --srcLeft;
        }
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.truncate(out.size() - qsizetype(dstLeft));
        return out;
    }

private:
    iconv_t m_cd;
};

// MeCab's words of a UTF-8 text in order, and between them what MeCab
// skipped (blanks, possibly empty; once more after the last word).
template <typename Skipped, typename Word>
void walkNodes(const MeCab::Node* node, const QByteArray& utf8, Skipped skipped, Word word)
{
    qsizetype done = 0;
    for (; node; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) {
            continue;
        }
        const qsizetype start = node->surface - utf8.constData();
        if (start < done || start + qsizetype(node->length) > utf8.size()) {
            continue;
        }
        skipped(QString::fromUtf8(utf8.constData() + done, start - done));
        word(node);
        done = start + node->length;
    }
    skipped(QString::fromUtf8(utf8.constData() + done, utf8.size() - done));
}

}  // namespace

struct JapaneseFrontEnd::Impl
{
    std::unique_ptr<MeCab::Tagger> tagger;
    QString dictionaryDir;
    bool kakasi = false;
    Iconv toEuc{"EUC-JP", "UTF-8"};
    Iconv fromEuc{"UTF-8", "EUC-JP"};

    QString convertSpan(QStringView span) const;
    void appendWords(QStringView chunk, qsizetype offset, QList<Word>& words) const;
    QString convertChunk(const QString& chunk) const;
    static QString tidy(const QString& converted);
    QString tokenReading(const QString& surface, const char* feature) const;
    QString kakasiReading(const QString& token) const;
    QString kakasiRun(const QByteArray& euc) const;
};

JapaneseFrontEnd::JapaneseFrontEnd()
    : d(std::make_unique<Impl>())
{}

JapaneseFrontEnd::~JapaneseFrontEnd() = default;

QStringList JapaneseFrontEnd::dictionaryCandidates()
{
    QStringList dirs;
    if (const QString own = qEnvironmentVariable("YOMIMARU_MECAB_DICDIR"); !own.isEmpty()) {
        dirs.append(own);
    }
    dirs << u"/var/lib/mecab/dic/ipadic-utf8"_s << u"/usr/lib/x86_64-linux-gnu/mecab/dic/ipadic-utf8"_s
         << u"/usr/lib/aarch64-linux-gnu/mecab/dic/ipadic-utf8"_s << u"/usr/lib/mecab/dic/ipadic-utf8"_s
         << u"/usr/local/lib/mecab/dic/ipadic-utf8"_s;
    return dirs;
}

bool JapaneseFrontEnd::open(QString* warning)
{
    const QStringList dirs = dictionaryCandidates();
    QString reason;
    for (const QString& dir : dirs) {
        if (open(dir, &reason)) {
            return true;
        }
    }
    if (warning) {
        *warning = u"no Japanese reading for espeak-ng: the MeCab dictionary mecab-ipadic-utf8 is not "
                   "installed (looked in %1); kanji will not be read"_s.arg(dirs.join(u", "_s));
    }
    return false;
}

bool JapaneseFrontEnd::open(const QString& dictionaryDir, QString* warning)
{
    d->tagger.reset();
    d->dictionaryDir.clear();
    auto fail = [warning](const QString& why) {
        if (warning) {
            *warning = why;
        }
        return false;
    };
    if (!looksLikeDictionary(dictionaryDir)) {
        return fail(u"no MeCab dictionary in %1"_s.arg(dictionaryDir));
    }
    // The empty resource file keeps the system's mecabrc (and the dictionary
    // it names) out of the way.
    std::vector<QByteArray> args = {"mecab", "-r", "/dev/null", "-d", QFile::encodeName(dictionaryDir)};
    std::vector<char*> argv;
    for (QByteArray& a : args) {
        argv.push_back(a.data());
    }
    std::unique_ptr<MeCab::Tagger> tagger(MeCab::createTagger(int(argv.size()), argv.data()));
    if (!tagger) {
        return fail(u"MeCab cannot open %1: %2"_s.arg(dictionaryDir,
                                                      QString::fromLocal8Bit(MeCab::getTaggerError())));
    }
    const MeCab::DictionaryInfo* info = tagger->dictionary_info();
    const QByteArray charset = info && info->charset ? QByteArray(info->charset).toLower() : QByteArray();
    if (charset != "utf-8" && charset != "utf8") {
        return fail(u"the MeCab dictionary in %1 is not UTF-8"_s.arg(dictionaryDir));
    }
    if (!d->toEuc.isValid() || !d->fromEuc.isValid()) {
        return fail(u"no EUC-JP conversion available"_s);
    }
    d->tagger = std::move(tagger);
    d->dictionaryDir = dictionaryDir;
    d->kakasi = kakasiReady();
    return true;
}

bool JapaneseFrontEnd::isOpen() const
{
    return d->tagger != nullptr;
}

QString JapaneseFrontEnd::dictionaryDir() const
{
    return d->dictionaryDir;
}

bool JapaneseFrontEnd::hasKakasi() const
{
    return isOpen() && d->kakasi;
}

bool JapaneseFrontEnd::needsFrontEnd(const QString& module)
{
    return module.contains(u"espeak"_s, Qt::CaseInsensitive);
}

bool JapaneseFrontEnd::isKanji(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF)
           || (c >= 0x20000 && c <= 0x3FFFF) || c == 0x3005;
}

bool JapaneseFrontEnd::containsKanji(QStringView text)
{
    for (const char32_t c : text.toUcs4()) {
        if (isKanji(c)) {
            return true;
        }
    }
    return false;
}

QString JapaneseFrontEnd::convert(const QString& text) const
{
    if (!isOpen() || text.isEmpty()) {
        return text;
    }
    // The text model's in-band markers hold kanji and digits of their own;
    // they go round the front end untouched.
    static const QRegularExpression marker(
        u"<&&(?:前|眼|添|引[0-9]+用)|(?:後|瑠|付|引[0-9]+用)&&>|&&pitch;[0-9]?"_s);
    const QString wide = foldSquaredWords(SpeechOutput::WidenHalfwidthKana(text));
    QString out;
    out.reserve(wide.size() * 2);
    qsizetype done = 0;
    for (const QRegularExpressionMatch& m : marker.globalMatch(wide)) {
        out += d->convertSpan(QStringView(wide).mid(done, m.capturedStart() - done));
        out += m.capturedView();
        done = m.capturedEnd();
    }
    out += d->convertSpan(QStringView(wide).mid(done));
    return out;
}

QList<JapaneseFrontEnd::Word> JapaneseFrontEnd::words(QStringView text) const
{
    QList<Word> words;
    if (text.isEmpty()) {
        return words;
    }
    if (!d->tagger) {
        words.append({0, text.toString(), text.toString(), {}, {}});
        return words;
    }
    qsizetype begin = 0;
    const auto flush = [&](qsizetype end) {
        if (end > begin) {
            d->appendWords(text.mid(begin, end - begin), begin, words);
        }
        begin = end;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (passesAround(text, i)) {
            flush(i);
            words.append({i, text.mid(i, 1).toString(), text.mid(i, 1).toString(), u"記号"_s, {}});
            begin = i + 1;
        } else if (i - begin >= kMaxChunk && !text.at(i).isLowSurrogate()) {
            flush(i);
        }
    }
    flush(text.size());
    return words;
}

void JapaneseFrontEnd::Impl::appendWords(QStringView chunk, qsizetype offset, QList<Word>& words) const
{
    const QByteArray utf8 = chunk.toUtf8();
    qsizetype done = 0;  // UTF-16 units
    // What MeCab skipped (blanks) is a word of its own.
    walkNodes(
        tagger->parseToNode(utf8.constData(), size_t(utf8.size())), utf8,
        [&](const QString& skipped) {
            if (!skipped.isEmpty()) {
                words.append({offset + done, skipped, skipped, u"記号"_s, u"空白"_s});
                done += skipped.size();
            }
        },
        [&](const MeCab::Node* node) {
            Word word;
            word.start = offset + done;
            word.surface = QString::fromUtf8(node->surface, int(node->length));
            word.sound = tokenReading(word.surface, node->feature);
            const QList<QByteArray> fields = QByteArray(node->feature).split(',');
            word.pos = QString::fromUtf8(fields.value(0));
            word.pos1 = QString::fromUtf8(fields.value(1));
            done += word.surface.size();
            words.append(word);
        });
}

QString JapaneseFrontEnd::Impl::convertSpan(QStringView span) const
{
    // Pieces for MeCab: no control character or broken surrogate inside, at
    // most kMaxChunk long, cut after a sentence mark or a blank when possible.
    QString converted;
    converted.reserve(span.size() * 2);
    QString chunk;
    qsizetype lastBreak = -1;
    auto flush = [&](qsizetype upTo) {
        converted += convertChunk(chunk.left(upTo));
        chunk.remove(0, upTo);
        lastBreak = -1;
        for (qsizetype k = 0; k < chunk.size(); ++k) {
            if (isBreakAfter(chunk.at(k).unicode())) {
                lastBreak = k + 1;
            }
        }
    };
    for (qsizetype i = 0; i < span.size(); ++i) {
        if (passesAround(span, i)) {
            flush(chunk.size());
            converted += span.at(i);
            continue;
        }
        chunk += span.at(i);
        if (span.at(i).isHighSurrogate()) {
            chunk += span.at(++i);
        } else if (isBreakAfter(span.at(i).unicode())) {
            lastBreak = chunk.size();
        }
        if (chunk.size() >= kMaxChunk) {
            flush(lastBreak > 0 ? lastBreak : chunk.size());
        }
    }
    flush(chunk.size());
    return tidy(converted);
}

QString JapaneseFrontEnd::Impl::tidy(const QString& converted)
{
    // For the voice: a middle dot between words is a blank, a run of small
    // tsu is one, and ASCII words and kana are kept apart. Lone surrogates
    // are copied as they are.
    QString out;
    out.reserve(converted.size() + 16);
    auto codePointAt = [&converted](qsizetype i) -> std::pair<char32_t, qsizetype> {
        const QChar c = converted.at(i);
        if (c.isHighSurrogate() && i + 1 < converted.size() && converted.at(i + 1).isLowSurrogate()) {
            return {QChar::surrogateToUcs4(c, converted.at(i + 1)), 2};
        }
        return {c.unicode(), 1};
    };
    char32_t previous = 0;
    char32_t beforePrevious = 0;
    for (qsizetype i = 0; i < converted.size();) {
        auto [c, units] = codePointAt(i);
        const qsizetype next = i + units;
        if (isMiddleDot(c) && isWordChar(previous) && next < converted.size()
            && isWordChar(codePointAt(next).first)) {
            c = u' ';
        }
        if (isSmallTsu(c) && isSmallTsu(previous)) {
            i = next;
            continue;
        }
        if (c == kLongVowel) {
            // espeak-ng spells out the whole word around a long-vowel mark
            // that follows a vowel kana after a kana of the same vowel
            // (カアー, read as カアア), or that follows ン, ッ, another mark or
            // no kana at all (dropped).
            if (isPlainVowel(previous) && vowelOf(beforePrevious) == vowelOf(previous)) {
                c = previous;
            } else if (!isKana(previous) || previous == kLongVowel || isSmallTsu(previous)
                       || previous == u'ン' || previous == u'ん') {
                i = next;
                continue;
            }
        }
        if ((isAsciiAlnum(previous) && isJapanese(c)) || (isJapanese(previous) && isAsciiAlnum(c))) {
            out += u' ';
        }
        if (c == u' ' || c != codePointAt(i).first) {
            out += QChar(char16_t(c));
        } else {
            out += QStringView(converted).mid(i, units);
        }
        beforePrevious = previous;
        previous = c;
        i = next;
    }
    return out;
}

QString JapaneseFrontEnd::Impl::convertChunk(const QString& chunk) const
{
    if (chunk.isEmpty()) {
        return {};
    }
    const QByteArray utf8 = chunk.toUtf8();
    const MeCab::Node* node = tagger->parseToNode(utf8.constData(), size_t(utf8.size()));
    if (!node) {
        return containsKanji(chunk) ? kakasiReading(chunk) : chunk;
    }
    QString out;
    // What MeCab skipped (blanks) stays as it was.
    walkNodes(
        node, utf8, [&](const QString& skipped) { out += skipped; },
        [&](const MeCab::Node* n) {
            const QString reading = tokenReading(QString::fromUtf8(n->surface, n->length), n->feature);
            // espeak-ng spells a word out letter by letter where a vowel kana
            // follows a kana of the same vowel (ノオ, ルウィ); a word that begins
            // with a vowel is kept apart from the kana before it.
            if (!out.isEmpty() && !reading.isEmpty() && isPlainVowel(reading.front().unicode())
                && (out.back() == QChar(kLongVowel)
                    || vowelOf(out.back().unicode()) == vowelOf(reading.front().unicode()))) {
                out += u' ';
            }
            out += reading;
        });
    return out;
}

QString JapaneseFrontEnd::Impl::tokenReading(const QString& surface, const char* feature) const
{
    bool kanji = false;
    bool kana = false;
    bool ascii = false;
    for (const char32_t c : surface.toUcs4()) {
        kanji = kanji || isKanji(c);
        kana = kana || isKana(c);
        ascii = ascii || c < 0x80;
    }
    if (!kanji && !kana) {
        return surface;  // symbols, digits, Latin letters, emoji: as written
    }
    if (!ascii && feature) {
        // IPAdic: part of speech (4), conjugation (2), base form, reading,
        // pronunciation. Unknown words stop after the base form.
        const QList<QByteArray> fields = QByteArray(feature).split(',');
        if (fields.size() >= 9) {
            const QString pronunciation = QString::fromUtf8(fields.at(8));
            if (!pronunciation.isEmpty() && pronunciation != u"*"_s && !containsKanji(pronunciation)) {
                return pronunciation;
            }
        }
    }
    return kanji ? kakasiReading(surface) : surface;
}

QString JapaneseFrontEnd::Impl::kakasiReading(const QString& token) const
{
    if (!kakasi) {
        return token;
    }
    // kakasi reads EUC-JP. ASCII and characters EUC-JP cannot hold go round it.
    QString out;
    QByteArray pending;
    for (const char32_t c : token.toUcs4()) {
        const QString ch = QString::fromUcs4(&c, 1);
        const QByteArray euc = c < 0x80 ? QByteArray() : toEuc.convert(ch.toUtf8(), true);
        if (!euc.isEmpty()) {
            pending += euc;
            continue;
        }
        out += kakasiRun(pending);
        pending.clear();
        out += ch;
    }
    out += kakasiRun(pending);
    return out;
}

QString JapaneseFrontEnd::Impl::kakasiRun(const QByteArray& euc) const
{
    if (euc.isEmpty()) {
        return {};
    }
    QByteArray input = euc;
    char* result = kakasi_do(input.data());
    if (!result) {
        return QString::fromUtf8(fromEuc.convert(euc, false));
    }
    const QByteArray converted = fromEuc.convert(QByteArray(result), false);
    kakasi_free(result);
    QString out = QString::fromUtf8(converted);
    out.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return out;
}
