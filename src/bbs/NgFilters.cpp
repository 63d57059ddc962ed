#include "NgFilters.h"

#include <QRegularExpression>

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
{
}

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
    const QString where = rule.board == QString::fromUtf16(kEverywhere) ? u"すべての板"_s
                                                                        : u"板「"_s + rule.board + u"」"_s;
    return kindName(rule.kind) + u"「"_s + rule.text + u"」、"_s + where;
}

QString NgFilters::plainName(const QString& name)
{
    static const QRegularExpression tags(u"<[^>]*>"_s);
    return HtmlText::decodeEntities(QString(name).remove(tags)).trimmed();
}

QString NgFilters::plainText(const QString& body)
{
    static const QRegularExpression br(u"<br>"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(u"<[^>]*>"_s);
    QString text = body;
    text.replace(br, u"\n"_s);
    text.remove(tags);
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
        const bool usable = known && fields.size() >= 3 && rule.text.trimmed().size() > 0 && !rule.board.isEmpty()
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
        m_patterns.append(rule.kind == Kind::Regex ? VbRegExp(rule.text, false) : VbRegExp());
    }
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
    m_patterns.append(rule.kind == Kind::Regex ? VbRegExp(rule.text, false) : VbRegExp());
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

bool NgFilters::hides(const ThreadMessage& message, const QString& board) const
{
    const QString everywhere = QString::fromUtf16(kEverywhere);
    QString name;
    QString body;
    bool nameDone = false;
    bool bodyDone = false;
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        const Rule& rule = m_rules.at(i);
        if (rule.board != everywhere && rule.board != board) {
            continue;
        }
        switch (rule.kind) {
        case Kind::Id:
            if (!message.id.isEmpty() && message.id == rule.text) {
                return true;
            }
            break;
        case Kind::Name:
            if (!std::exchange(nameDone, true)) {
                name = plainName(message.name);
            }
            if (name == rule.text) {
                return true;
            }
            break;
        case Kind::Word:
        case Kind::Regex:
            if (!std::exchange(bodyDone, true)) {
                body = plainText(message.body);
            }
            if (rule.kind == Kind::Word ? body.contains(rule.text, Qt::CaseInsensitive)
                                        : m_patterns.at(i).Test(body)) {
                return true;
            }
            break;
        }
    }
    return false;
}

QList<bool> NgFilters::hidden(const QList<ThreadMessage>& messages, const QString& board) const
{
    QList<bool> result(messages.size(), false);
    if (m_rules.isEmpty()) {
        return result;
    }
    for (qsizetype i = 0; i < messages.size(); ++i) {
        result[i] = hides(messages.at(i), board);
    }
    return result;
}
