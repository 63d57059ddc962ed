#include "FaultRule.h"

#include <array>

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

struct KindName
{
    FaultRule::Kind kind;
    QLatin1StringView name;
    bool takesNumber;
};

constexpr std::array<KindName, 12> kKinds{{
    {FaultRule::Kind::Delay, "delay"_L1, true},
    {FaultRule::Kind::NoLength, "no-length"_L1, false},
    {FaultRule::Kind::Short, "short"_L1, true},
    {FaultRule::Kind::Drop, "drop"_L1, false},
    {FaultRule::Kind::Endless, "endless"_L1, true},
    {FaultRule::Kind::Stall, "stall"_L1, true},
    {FaultRule::Kind::ErrorPage, "error-page"_L1, false},
    {FaultRule::Kind::Status, "status"_L1, true},
    {FaultRule::Kind::Redirect, "redirect"_L1, false},
    {FaultRule::Kind::Trickle, "trickle"_L1, true},
    {FaultRule::Kind::Long, "long"_L1, true},
    {FaultRule::Kind::Throttle, "throttle"_L1, true},
}};

}  // namespace

std::optional<FaultRule> FaultRule::parse(const QString& text, QString* error)
{
    FaultRule rule;
    QString rest = text;

    const qsizetype hash = rest.lastIndexOf(u'#');
    if (hash >= 0) {
        bool ok = false;
        const int count = rest.mid(hash + 1).toInt(&ok);
        if (!ok || count < 1) {
            *error = u"the count after # must be a positive number: "_s + text;
            return std::nullopt;
        }
        rule.remaining = count;
        rest.truncate(hash);
    }
    const qsizetype at = rest.lastIndexOf(u'@');
    if (at >= 0) {
        rule.pathFilter = rest.mid(at + 1).toLatin1();
        if (rule.pathFilter.isEmpty()) {
            *error = u"the path filter after @ is empty: "_s + text;
            return std::nullopt;
        }
        rest.truncate(at);
    }
    const qsizetype colon = rest.indexOf(u':');
    const QString kindName = colon < 0 ? rest : rest.left(colon);
    const QString value = colon < 0 ? QString() : rest.mid(colon + 1);

    const KindName* found = nullptr;
    for (const KindName& k : kKinds) {
        if (kindName == k.name) {
            found = &k;
        }
    }
    if (found == nullptr) {
        *error = u"unknown fault kind: "_s + text;
        return std::nullopt;
    }
    rule.kind = found->kind;
    if (rule.kind == Kind::Redirect) {
        if (value.isEmpty()) {
            *error = u"redirect needs a target: redirect:URL"_s;
            return std::nullopt;
        }
        rule.text = value.toLatin1();
    } else if (!value.isEmpty()) {
        bool ok = false;
        rule.value = value.toLongLong(&ok);
        if (!found->takesNumber || !ok || rule.value < 0) {
            *error = u"this fault takes no such value: "_s + text;
            return std::nullopt;
        }
        if (rule.kind == Kind::Throttle && rule.value < 1) {
            *error = u"a throttle needs at least one byte per second: "_s + text;
            return std::nullopt;
        }
        if (rule.kind == Kind::Status && (rule.value < 100 || rule.value > 599)) {
            *error = u"a status must lie between 100 and 599: "_s + text;
            return std::nullopt;
        }
    }
    return rule;
}

bool FaultRule::matches(QByteArrayView pathAndQuery) const
{
    return remaining != 0 && (pathFilter.isEmpty() || pathAndQuery.contains(pathFilter));
}

bool FaultRule::deliversRealAnswer() const
{
    return kind == Kind::Delay || kind == Kind::NoLength || kind == Kind::Short || kind == Kind::Stall
           || kind == Kind::Trickle || kind == Kind::Long || kind == Kind::Throttle;
}

QByteArray FaultRule::name() const
{
    for (const KindName& k : kKinds) {
        if (k.kind == kind) {
            return QByteArray(k.name.data(), k.name.size());
        }
    }
    return {};
}

FaultPlan planFaults(QList<FaultRule>& rules, QByteArrayView pathAndQuery)
{
    FaultPlan plan;
    bool delayChosen = false;
    for (FaultRule& rule : rules) {
        if (!rule.matches(pathAndQuery)) {
            continue;
        }
        const bool isDelay = rule.kind == FaultRule::Kind::Delay;
        if (isDelay ? delayChosen : plan.fault.has_value()) {
            continue;
        }
        if (rule.remaining > 0) {
            --rule.remaining;
        }
        if (isDelay) {
            delayChosen = true;
            plan.delayMs = rule.value < 0 ? 1000 : rule.value;
        } else {
            plan.fault = rule;
        }
    }
    return plan;
}
