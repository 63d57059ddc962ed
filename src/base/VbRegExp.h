#pragma once

// The regular-expression engine every rule set of the program is written for.
// Its dialect: "^" and "$" match only at the ends of the whole text, "." matches
// anything but a line feed, the leftmost match wins with greedy quantifiers,
// "$1".."$9" in a replacement insert groups (a backslash there is an ordinary
// character), and after an empty match the search moves on by one character.
// "\uXXXX", "\xXX" and "\/" are understood.
//
// The pattern is compiled once when it is set. A pattern the engine rejects
// makes every operation fail softly: Test finds nothing, Replace returns the
// text unchanged, Execute returns no match. A runaway pattern such as "(a+)+$"
// on a long line gives up after a bounded amount of work and counts as no match.

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

struct VbMatch
{
    qsizetype FirstIndex = 0;  // in UTF-16 code units
    qsizetype Length = 0;
    QString Value;
    QStringList SubMatches;  // one per group; empty for a group that did not take part
};

class VbRegExp
{
public:
    VbRegExp();
    explicit VbRegExp(const QString& pattern, bool global = true, bool ignoreCase = false);
    ~VbRegExp();
    VbRegExp(const VbRegExp& other);
    VbRegExp& operator=(const VbRegExp& other);
    VbRegExp(VbRegExp&&) noexcept;
    VbRegExp& operator=(VbRegExp&&) noexcept;

    void setPattern(const QString& pattern);

    QString pattern() const { return m_pattern; }

    void setGlobal(bool global) { m_global = global; }

    bool global() const { return m_global; }

    void setIgnoreCase(bool ignoreCase);

    bool ignoreCase() const { return m_ignoreCase; }

    // False when the engine rejected the pattern.
    bool isValid() const;

    QString errorString() const { return m_error; }

    // True when the last search gave up (the work bound was reached) rather
    // than finding no match.
    bool abandoned() const { return m_abandoned; }

    bool Test(const QString& text) const;
    QString Replace(const QString& text, const QString& replacement) const;
    QList<VbMatch> Execute(const QString& text) const;

private:
    struct Compiled;

    void compile();
    // Finds the next match at or after `start`; false when there is none or the
    // search was abandoned. On success, ovector holds 2 * (groups + 1) offsets.
    bool matchAt(const QString& text, qsizetype start) const;
    QString expand(const QString& text, const QString& replacement) const;
    VbMatch currentMatch(const QString& text) const;

    QString m_pattern;
    bool m_global = true;
    bool m_ignoreCase = false;
    QString m_error;
    std::unique_ptr<Compiled> m_compiled;
    mutable bool m_abandoned = false;
};
