#include "NgFilters.h"

#include <QRegularExpression>
#include <QSet>

#include "base/TextFile.h"
#include "bbs/HtmlText.h"

using namespace Qt::StringLiterals;

namespace {

struct KindName
{
    NgFilters::Kind kind;
    const char16_t* name;
};

constexpr KindName kKinds[] = {
    {NgFilters::Kind::Id, u"ID"},
    {NgFilters::Kind::Name, u"名前"},
    {NgFilters::Kind::Word, u"語句"},
    {NgFilters::Kind::Regex, u"正規表現"},
};

const QString kHeader = u"# あぼーん。一行に一つ、種類(ID・名前・語句・正規表現)、板の名前(すべての板は*)、"
                        u"内容をタブで区切って書きます。"_s;

}  // namespace

NgFilters::NgFilters(const QString& path)
    : m_path(path)
{}

QString NgFilters::kindName(Kind kind)
{
    for (const KindName& k : kKinds) {
        if (k.kind == kind) {
            return QString::fromUtf16(k.name);
        }
    }
    return {};
}

QString NgFilters::describe(const Rule& rule)
{
    const QString where =
        rule.board == QString::fromUtf16(kEverywhere) ? u"すべての板"_s : u"板「"_s + rule.board + u"」"_s;
    return kindName(rule.kind) + u"「"_s + rule.text + u"」、"_s + where;
}

QString NgFilters::plainName(const QString& name)
{
    static const QRegularExpression tags(u"<[^>]*>"_s);
    return HtmlText::decodeEntities(QString(name).remove(tags)).trimmed();
}

QString NgFilters::plainText(const QString& body)
{
    // One pass over the body: "<br>" becomes a line feed, other tags go.
    QString text;
    text.reserve(body.size());
    qsizetype i = 0;
    while (i < body.size()) {
        const qsizetype open = body.indexOf(u'<', i);
        if (open < 0) {
            text += QStringView(body).mid(i);
            break;
        }
        text += QStringView(body).mid(i, open - i);
        const qsizetype close = body.indexOf(u'>', open);
        if (close < 0) {
            text += QStringView(body).mid(open);
            break;
        }
        if (QStringView(body).mid(open, close - open + 1).compare(u"<br>", Qt::CaseInsensitive) == 0) {
            text += u'\n';
        }
        i = close + 1;
    }
    return HtmlText::decodeEntities(text);
}

QString NgFilters::invalidReason(const Rule& rule)
{
    if (rule.text.trimmed().isEmpty() || rule.board.isEmpty()) {
        return u"内容がありません。"_s;
    }
    if (rule.text.contains(u'\t') || rule.text.contains(u'\n') || rule.board.contains(u'\t')) {
        return u"タブや改行は使えません。"_s;
    }
    if (rule.kind == Kind::Regex) {
        const VbRegExp pattern(rule.text, false);
        if (!pattern.isValid()) {
            return u"正規表現が正しくありません。"_s;
        }
    }
    return {};
}

void NgFilters::load()
{
    m_lines.clear();
    m_rules.clear();
    m_problems.clear();
    const std::optional<QStringList> lines = TextFile::readLines(m_path);
    if (!lines) {
        compileAll();
        return;
    }
    for (qsizetype i = 0; i < lines->size(); ++i) {
        const QString& raw = lines->at(i);
        if (raw.trimmed().isEmpty() || raw.startsWith(u'#')) {
            m_lines.append({raw});
            continue;
        }
        const QStringList fields = raw.split(u'\t');
        Rule rule;
        bool known = false;
        for (const KindName& k : kKinds) {
            if (fields.value(0).trimmed() == QString::fromUtf16(k.name)) {
                rule.kind = k.kind;
                known = true;
            }
        }
        rule.board = fields.value(1).trimmed();
        // The text is all the rest: a tab inside a pattern stays in it.
        rule.text = fields.size() >= 3 ? QStringList(fields.mid(2)).join(u'\t') : QString();
        if (rule.kind != Kind::Regex) {
            rule.text = rule.text.trimmed();
        }
        const bool usable = known && fields.size() >= 3 && rule.text.trimmed().size() > 0
                            && !rule.board.isEmpty()
                            && (rule.kind != Kind::Regex || VbRegExp(rule.text, false).isValid())
                            && m_rules.size() < kMaxRules;
        if (!usable) {
            m_problems.append(u"あぼーんの%1行目は使えないので読み飛ばしました。"_s.arg(i + 1));
            m_lines.append({raw});
            continue;
        }
        m_lines.append({raw, int(m_rules.size())});
        m_rules.append(rule);
    }
    compileAll();
}

void NgFilters::compileAll()
{
    m_patterns.clear();
    m_patterns.reserve(m_rules.size());
    for (const Rule& rule : std::as_const(m_rules)) {
        compileOne(rule);
    }
}

void NgFilters::compileOne(const Rule& rule)
{
    m_patterns.append(rule.kind == Kind::Regex ? VbRegExp(rule.text, false) : VbRegExp());
}

QString NgFilters::lineOf(const Rule& rule)
{
    return kindName(rule.kind) + u'\t' + rule.board + u'\t' + rule.text;
}

bool NgFilters::write(const QList<Line>& lines, const QList<Rule>& rules) const
{
    QStringList out;
    out.reserve(lines.size() + 1);
    if (lines.isEmpty() || lines.first().raw != kHeader) {
        out.append(kHeader);
    }
    for (const Line& line : lines) {
        out.append(line.rule >= 0 ? lineOf(rules.at(line.rule)) : line.raw);
    }
    return TextFile::writeLines(m_path, out);
}

bool NgFilters::add(const Rule& rule)
{
    if (!invalidReason(rule).isEmpty()) {
        return false;
    }
    QList<Line> lines = m_lines;
    QList<Rule> rules = m_rules;
    lines.append({QString(), int(rules.size())});
    rules.append(rule);
    if (!write(lines, rules)) {
        return false;
    }
    m_lines = std::move(lines);
    m_rules = std::move(rules);
    compileOne(rule);
    return true;
}

bool NgFilters::removeAt(int index)
{
    if (index < 0 || index >= m_rules.size()) {
        return false;
    }
    QList<Line> lines;
    lines.reserve(m_lines.size());
    for (const Line& line : std::as_const(m_lines)) {
        if (line.rule == index) {
            continue;
        }
        lines.append({line.raw, line.rule > index ? line.rule - 1 : line.rule});
    }
    QList<Rule> rules = m_rules;
    rules.removeAt(index);
    if (!write(lines, rules)) {
        return false;
    }
    m_lines = std::move(lines);
    m_rules = std::move(rules);
    m_patterns.removeAt(index);
    return true;
}

namespace {

// A pattern that matches the text as it is written.
QString literalPattern(const QString& text)
{
    static const QString special = u"\\^$.|?*+()[]{}/"_s;
    QString pattern;
    pattern.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (special.contains(c)) {
            pattern += u'\\';
        }
        pattern += c;
    }
    return pattern;
}

}  // namespace

// The rules that apply on one board, made ready for many messages: IDs and
// names looked up, every word in one pattern, the patterns as they are.
struct NgFilters::Matcher
{
    QSet<QString> ids;
    QSet<QString> names;
    VbRegExp words;
    bool anyWord = false;
    QList<const VbRegExp*> patterns;

    bool hides(const ThreadMessage& message) const
    {
        if (!message.id.isEmpty() && ids.contains(message.id)) {
            return true;
        }
        if (!names.isEmpty() && names.contains(plainName(message.name))) {
            return true;
        }
        if (!anyWord && patterns.isEmpty()) {
            return false;
        }
        const QString body = plainText(message.body);
        if (anyWord && words.Test(body)) {
            return true;
        }
        for (const VbRegExp* pattern : patterns) {
            if (pattern->Test(body)) {
                return true;
            }
        }
        return false;
    }
};

NgFilters::Matcher NgFilters::matcherFor(const QString& board) const
{
    const QString everywhere = QString::fromUtf16(kEverywhere);
    Matcher matcher;
    QStringList words;
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        const Rule& rule = m_rules.at(i);
        if (rule.board != everywhere && rule.board != board) {
            continue;
        }
        switch (rule.kind) {
        case Kind::Id:
            matcher.ids.insert(rule.text);
            break;
        case Kind::Name:
            matcher.names.insert(rule.text);
            break;
        case Kind::Word:
            words.append(literalPattern(rule.text));
            break;
        case Kind::Regex:
            matcher.patterns.append(&m_patterns.at(i));
            break;
        }
    }
    if (!words.isEmpty()) {
        matcher.words = VbRegExp(words.join(u'|'), false, true);
        matcher.anyWord = true;
    }
    return matcher;
}

QList<bool> NgFilters::hidden(const QList<ThreadMessage>& messages, const QString& board) const
{
    QList<bool> result(messages.size(), false);
    if (m_rules.isEmpty()) {
        return result;
    }
    const Matcher matcher = matcherFor(board);
    for (qsizetype i = 0; i < messages.size(); ++i) {
        result[i] = matcher.hides(messages.at(i));
    }
    return result;
}
