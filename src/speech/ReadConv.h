#pragma once

// The user's reading conversions ("readconv.txt"): rules that rewrite every
// normal utterance just before it is spoken, so the engine reads slang,
// abbreviations and symbols the way the user wants. The main window owns it.
//
// A rule is a line of the form /pattern/replacement/ followed by an optional
// comment; "\/" writes a slash inside pattern or replacement. Other lines are
// ignored, and so is a rule line that does not split into exactly four pieces.

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/VbRegExp.h"

class ReadConv
{
public:
    // At most this many rules are kept, as the rule count is a 16-bit number.
    static constexpr int kMaxRules = 32767;

    ReadConv() = default;
    explicit ReadConv(const QString& filePath);

    void setFilePath(const QString& filePath) { m_filePath = filePath; }

    QString filePath() const { return m_filePath; }

    // How a load went: whether the file could be read (a missing file is
    // read: it holds no rule), and how many of its rule lines are no rule
    // the engine can use.
    struct Loaded
    {
        bool read = true;
        int invalid = 0;
    };

    // Loads the file in place of the rules held; a missing file leaves no
    // rule, one that cannot be read leaves the rules as they were. Called at
    // start-up and again whenever the file has changed.
    Loaded InitInstance();
    void ExitInstance();

    // Loads rules from the lines of a rule file (used by InitInstance);
    // returns how many lines that look like rules are no usable rule.
    int loadLines(const QStringList& lines);

    // One conversion may lengthen the text at most this much (factor, or a
    // slack of characters for short texts, whichever allows more), and takes
    // at most about this long; rules beyond either bound are skipped.
    static constexpr qsizetype kMaxGrowthFactor = 8;
    static constexpr qsizetype kMaxGrowthSlack = 4096;
    static constexpr qint64 kMaxConvertMs = 2000;
    static qsizetype growthLimit(qsizetype inputSize);

    // Applies every rule in file order, each to the previous one's result.
    QString Convert(const QString& text) const;

    int count() const { return int(m_rules.size()); }

    QString pattern(int index) const;      // 1-based
    QString replacement(int index) const;  // 1-based

    // Splits one line into pattern and replacement; false when it is no rule.
    static bool parseRule(const QString& line, QString& pattern, QString& replacement);

private:
    struct Rule
    {
        VbRegExp regExp;
        QString replacement;
    };

    void warnOnce(int rule, const char* what) const;

    QString m_filePath;
    QList<Rule> m_rules;
    mutable QSet<int> m_warned;  // rules already reported, 1-based
};
