#pragma once

// Detailed readings of characters for a listener who edits text: which
// script, which width, capital or small, and which of several homophone
// kanji ("ｶﾀｶﾅ ｺﾓｼﾞﾉ ﾂ", "ｵｵﾓｼﾞﾉ ｴｰ", "カワ、ヒカクノヒ"). Also the smooth
// reading of a line, in which punctuation, brackets and symbols are read by
// name on request and a run of one symbol is counted instead of repeated.
//
// The readings come from three dictionaries among the resource folders
// (code page 932 or UTF-8, one entry a line):
//   kigou95_b.txt  single-byte characters: char TAB phonetic TAB reading TAB case TAB class
//   kigou95_a.txt  double-byte characters, the same five fields
//   tankan95.txt   kanji: char SPACE key SPACE reading SPACE short reading
// A line with another number of fields, or with a key or number that makes
// no sense, is skipped. A later entry for a character replaces an earlier one.
//
// The output goes to SpeakText; with pitch marking on it carries "&&pitch;N"
// segments (speech mode 3) in place of the spoken words for width and script.
// GUI-free; built once at start-up, then only read.

#include <array>
#include <vector>

#include <QList>
#include <QString>
#include <QStringView>

class AppPaths;
class EmojiNames;

class CShosaiYomi
{
public:
    static constexpr QStringView kKigouBFile = u"kigou95_b.txt";
    static constexpr QStringView kKigouAFile = u"kigou95_a.txt";
    static constexpr QStringView kTankanFile = u"tankan95.txt";
    // Entries are numbered from 1 (0: none); at most this many, built-ins included.
    static constexpr int kMaxEntries = 8000;
    // The shipped dictionaries are about 220 KB together.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    // Character classes of the dictionaries.
    enum Class : quint8
    {
        Kanji = 1,
        Hiragana = 2,
        Katakana = 3,
        Latin = 4,
        Greek = 5,
        Cyrillic = 6,
        Digit = 7,
        RomanNumeral = 8,
        Bracket = 10,
        Punctuation = 11,
        BoxDrawing = 12,
        Symbol = 13,
        Control = 15,
    };

    enum Case : quint8
    {
        NoCase = 0,
        Capital = 1,
        Small = 2
    };

    struct Entry
    {
        QString reading;
        QString phonetic;
        QString alternative;
        quint8 cls = 0;
        quint8 caseKind = NoCase;
    };

    CShosaiYomi();

    // Emoji and other characters the code page cannot hold are read by these
    // names; without them they are read as 「キゴー」.
    void setEmojiNames(const EmojiNames* names) { m_emojiNames = names; }

    // The built-in entries, then the three dictionaries found among the
    // resource folders. A missing file is reported once on stderr and the
    // others are still read. True when all three were read.
    bool InitInstance(const AppPaths& paths);
    // The same from explicit paths (an empty path counts as missing).
    bool InitInstance(const QString& kigouB, const QString& kigouA, const QString& tankan);

    int entryCount() const { return int(m_entries.size()) - 1; }

    // The entry of a character, or nullptr.
    const Entry* entryOf(char32_t c) const;

    QString Get_ShosaiYomi(const QString& str, bool phonetic, bool normal, bool vc_enable) const;
    QString Get_NamerakaYomi(const QString& str,
                             QStringView kuten_read,
                             QStringView kakko_read,
                             QStringView kigou_read) const;
    QString Get_AsciiYomi(int code, bool phonetic, bool vc) const;

    // Whether a character is one byte in code page 932 (read as half-width).
    static bool isSingleByte(char32_t c);

private:
    enum class Kind
    {
        SingleByte,
        DoubleByte,
        Kanji
    };

    void addBuiltIns();
    // -1: the file is missing or unreadable; otherwise the entries read.
    int loadFile(const QString& path, Kind kind);
    void loadLine(QStringView line, Kind kind);
    void addEntry(char16_t key, Entry entry);
    void fixUpKana();
    QString fallbackReading(char32_t c) const;

    // Element 0 stays empty: entry numbers start at 1.
    QList<Entry> m_entries;
    // UTF-16 unit -> entry number. The dictionaries name their characters in
    // code page 932, whose characters all lie in this plane; keying by the
    // character instead of its code makes the look-up one index.
    std::vector<quint16> m_map;
    const EmojiNames* m_emojiNames = nullptr;
    int m_skippedLines = 0;
};
