#include "ReadConv.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "base/TextFile.h"

using namespace Qt::StringLiterals;

namespace {

// Stands in for "\/" while the line is cut at its slashes.
constexpr QStringView kSlashPlaceholder = u"\\$^";

}  // namespace

ReadConv::ReadConv(const QString& filePath)
    : m_filePath(filePath)
{}

ReadConv::Loaded ReadConv::InitInstance()
{
    if (m_filePath.isEmpty() || !QFileInfo::exists(m_filePath)) {
        m_rules.clear();
        return {};
    }
    const std::optional<QStringList> lines = TextFile::readLines(m_filePath);
    if (!lines) {
        return {false, 0};
    }
    return {true, loadLines(*lines)};
}

void ReadConv::ExitInstance()
{
    m_rules.clear();
}

bool ReadConv::parseRule(const QString& line, QString& pattern, QString& replacement)
{
    if (!line.startsWith(u'/')) {
        return false;
    }
    QString work = line;
    work.replace(u"\\/"_s, kSlashPlaceholder.toString());
    const QStringList pieces = work.split(u'/');
    if (pieces.size() != 4) {
        return false;
    }
    pattern = pieces.at(1);
    replacement = pieces.at(2);
    pattern.replace(kSlashPlaceholder.toString(), u"\\/"_s);
    replacement.replace(kSlashPlaceholder.toString(), u"\\/"_s);
    return true;
}

int ReadConv::loadLines(const QStringList& lines)
{
    m_rules.clear();
    m_warned.clear();
    int invalid = 0;
    for (const QString& line : lines) {
        if (m_rules.size() >= kMaxRules) {
            break;
        }
        QString pattern;
        QString replacement;
        if (!parseRule(line, pattern, replacement)) {
            // A line that starts like a rule but is none is a mistake.
            invalid += line.startsWith(u'/') ? 1 : 0;
            continue;
        }
        // A rule the engine rejects stays in the table and changes nothing,
        // so the numbering of the rules matches the file.
        m_rules.append(Rule{VbRegExp(pattern, true, false), replacement});
        invalid += m_rules.constLast().regExp.isValid() ? 0 : 1;
    }
    return invalid;
}

qsizetype ReadConv::growthLimit(qsizetype inputSize)
{
    return qMax<qsizetype>(inputSize * kMaxGrowthFactor, inputSize + kMaxGrowthSlack);
}

QString ReadConv::Convert(const QString& text) const
{
    // A table whose rules keep lengthening the text (or a rule that takes
    // very long) must not hold speech up: a rule whose result would pass the
    // length bound is skipped, and once the time is spent the remaining rules
    // are too. Each offending rule is reported once.
    const qsizetype limit = growthLimit(text.size());
    QElapsedTimer clock;
    clock.start();
    QString result = text;
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        const Rule& rule = m_rules.at(i);
        if (clock.elapsed() > kMaxConvertMs) {
            warnOnce(int(i) + 1, "the conversion took too long; this and the following rules were skipped");
            break;
        }
        QString next = rule.regExp.Replace(result, rule.replacement);
        if (next.size() > limit) {
            warnOnce(int(i) + 1, "the rule makes the text grow beyond bounds and was skipped");
            continue;
        }
        result = std::move(next);
    }
    return result;
}

void ReadConv::warnOnce(int rule, const char* what) const
{
    if (m_warned.contains(rule)) {
        return;
    }
    m_warned.insert(rule);
    qWarning("readconv.txt rule %d (/%s/%s/): %s", rule, qPrintable(pattern(rule)),
             qPrintable(replacement(rule)), what);
}

QString ReadConv::pattern(int index) const
{
    return index >= 1 && index <= m_rules.size() ? m_rules.at(index - 1).regExp.pattern() : QString();
}

QString ReadConv::replacement(int index) const
{
    return index >= 1 && index <= m_rules.size() ? m_rules.at(index - 1).replacement : QString();
}
