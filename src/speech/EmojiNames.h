#pragma once

// Emoji and pictographs read by their Japanese short names ("emoji-ja.txt",
// made from Unicode CLDR by tools/emoji/make_emoji_table.py). Speech engines
// say nothing, or English, for 😅; a listener should hear 「冷や汗笑顔」.
//
// How a name is spoken:
//   - the longest sequence in the table wins, so a family joined by ZWJ, a
//     skin tone, a flag, a keycap or a tag sequence is one name
//     (「サムズアップ、薄い肌色」, 「旗、日本」, 「囲み数字、1」); variation
//     selectors (U+FE0E, U+FE0F) are read past and dropped;
//   - a run of the same emoji is counted, not repeated: 「冷や汗笑顔が3個」;
//   - a name is set off from the words round it by 「、」, so the engine
//     pauses instead of running it into them (「疲れた、冷や汗笑顔、また明日」);
//     next to a blank, a punctuation mark or a bracket no 「、」 is added;
//   - a ZWJ that joins pictographs the table does not know as one is dropped
//     and each of them is named on its own;
//   - anything else, unknown emoji included, passes through unchanged.
// Symbols of the Japanese character set (★ ♪ ♀ →) are not in the table: they
// keep the readings the engine and the reading conversion give them.
//
// Loaded once at start-up and then only read. Without the table nothing is
// replaced.

#include <bitset>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class EmojiNames
{
public:
    // The table's file name among the resource folders.
    static constexpr QStringView kFileName = u"emoji-ja.txt";
    // Guards against a damaged table: longer names and longer sequences are skipped.
    static constexpr qsizetype kMaxNameLength = 200;
    static constexpr int kMaxSequenceLength = 32;

    EmojiNames() = default;

    // Reads the table (UTF-8). A missing or unreadable file gives one warning
    // and an empty table; false then.
    bool load(const QString& filePath);
    // Fills the table from the text of a table file; lines that are no entry
    // are skipped. Returns the number of entries.
    int loadText(QStringView text);

    int count() const { return int(m_names.size()); }

    // The text with every emoji replaced by its spoken name.
    QString convert(const QString& text) const;

private:
    struct Match
    {
        int name = -1;  // index into m_names; -1: no emoji here
        qsizetype end = 0;
    };

    bool isCandidate(const QChar* s, qsizetype n, qsizetype i) const;
    qsizetype nextCandidate(const QChar* s, qsizetype n, qsizetype from) const;
    Match matchAt(const QChar* s, qsizetype n, qsizetype i) const;
    void addEntry(const QString& sequence, const QString& name);
    int child(int node, char16_t unit) const;
    void clear();

    static quint64 edgeKey(int node, char16_t unit) { return (quint64(quint32(node)) << 16) | unit; }

    // A trie over UTF-16 units: node 0 is the root.
    QHash<quint64, int> m_edges;
    QList<int> m_nameOfNode{-1};
    QStringList m_names;
    // The units some entry starts with; the quick scan looks at nothing else.
    std::bitset<65536> m_starts;
};
