#pragma once

// The user's あぼーん: rules that keep messages from being read, by the ID of
// the day, by name, by a word or phrase of the body, or by a regular
// expression over the body, each for one board or for every board.
//
// They live in one user-editable file of the data folder, one rule a line,
// three fields separated by a tab: the kind ("ID", "名前", "語句",
// "正規表現"), the board (its name as the board menu says it, or "*" for
// every board) and the text. Lines starting with "#" are comments. A line
// that cannot be used (an unknown kind, a missing field, a pattern the
// regular-expression engine rejects) is skipped and named once in
// problems(); it is written back as it stood, so nothing the user wrote is
// lost when the program rewrites the file.

#include <utility>

#include <QList>
#include <QString>
#include <QStringList>

#include "base/VbRegExp.h"
#include "bbs/ThreadMessage.h"

class NgFilters
{
public:
    static constexpr const char16_t* kFileName = u"ngfilters.txt";
    static constexpr const char16_t* kEverywhere = u"*";
    // Rules beyond this many are not read: a file of that size is damage.
    static constexpr int kMaxRules = 5000;

    enum class Kind
    {
        Id,
        Name,
        Word,
        Regex,
    };

    struct Rule
    {
        Kind kind = Kind::Word;
        QString board;  // kEverywhere for every board
        QString text;
        friend bool operator==(const Rule&, const Rule&) = default;
    };

    explicit NgFilters(const QString& path);

    // Reads the file; a missing file holds no rules.
    void load();

    QString path() const { return m_path; }

    // One sentence for each line that was skipped, from the last load; taken
    // once, so it is said once.
    QStringList takeProblems() { return std::exchange(m_problems, {}); }

    const QList<Rule>& rules() const { return m_rules; }

    int indexOf(const Rule& rule) const { return int(m_rules.indexOf(rule)); }

    // Why a rule cannot be kept (an empty text, a broken pattern), spoken as
    // it stands; empty when it can.
    static QString invalidReason(const Rule& rule);

    // Adds or removes a rule and rewrites the file; false when the file could
    // not be written, and the rules are then as before.
    bool add(const Rule& rule);
    bool removeAt(int index);

    // Which messages of a thread on the board the rules keep from being
    // read: element n - 1 for message n.
    QList<bool> hidden(const QList<ThreadMessage>& messages, const QString& board) const;

    // The kind's name as the file and the spoken list say it.
    static QString kindName(Kind kind);
    // A rule as the list of rules says it: 「ID「abc」、板「雑談」」.
    static QString describe(const Rule& rule);

    // The body of a message as a listener hears it, for the word and pattern
    // rules: line breaks for "<br>", no tags, escapes decoded.
    static QString plainText(const QString& body);
    // The name field as it is heard and as a name rule is written: no tags,
    // escapes decoded.
    static QString plainName(const QString& name);

private:
    struct Line
    {
        QString raw;    // as read, for the lines that are no rule
        int rule = -1;  // else the rule the line holds
    };

    static QString lineOf(const Rule& rule);
    bool write(const QList<Line>& lines, const QList<Rule>& rules) const;
    void compileAll();
    void compileOne(const Rule& rule);
    struct Matcher;
    Matcher matcherFor(const QString& board) const;

    QString m_path;
    QList<Line> m_lines;
    QList<Rule> m_rules;
    QList<VbRegExp> m_patterns;  // parallel to m_rules; unused for the other kinds
    QStringList m_problems;
};
