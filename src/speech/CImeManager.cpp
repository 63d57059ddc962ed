#include "CImeManager.h"

#include <algorithm>

#include "base/TextCodec.h"

void CImeManager::Initialize()
{
    m_current = Composition();
    m_previousPreedit.clear();
    m_reading.clear();
}

bool CImeManager::update(const Composition& composition)
{
    Composition next = composition;
    next.clauses = mergeClauses(next.clauses);
    if (next.preedit.isEmpty()) {
        next.cursor = -1;
    }
    if (next == m_current) {
        return false;
    }
    m_previousPreedit = m_current.preedit;
    m_current = next;
    // A result is news once: the same text committed again is a new event.
    m_current.commit.clear();
    if (m_current.preedit.isEmpty()) {
        m_reading.clear();
        m_previousPreedit.clear();
    } else if (!IsConverted()) {
        m_reading = m_current.preedit;
    }
    if (!m_current.preedit.isEmpty()) {
        m_open = true;
    }
    return true;
}

QString CImeManager::Get_String(int kind) const
{
    if (kind == kCompReadStr) {
        return m_reading;
    }
    if (kind == kCompStr) {
        return m_current.preedit;
    }
    return {};
}

int CImeManager::Get_Length(int kind) const
{
    return int(TextCodec::toCp932(Get_String(kind)).size());
}

int CImeManager::Get_CurPos() const
{
    const int size = int(m_current.preedit.size());
    return m_current.cursor < 0 || m_current.cursor > size ? size : m_current.cursor;
}

QString CImeManager::Get_LastInput(int kind) const
{
    const QString now = Get_String(kind);
    const QString& before = m_previousPreedit;
    int same = 0;
    const int limit = int(std::min(now.size(), before.size()));
    while (same < limit && now.at(same) == before.at(same)) {
        ++same;
    }
    if (same > 0 && now.at(same - 1).isHighSurrogate()) {
        --same;
    }
    const int end = std::max(same, kind == kCompStr ? Get_CurPos() : int(now.size()));
    return now.mid(same, end - same);
}

bool CImeManager::IsConverted() const
{
    return std::any_of(m_current.clauses.cbegin(), m_current.clauses.cend(),
                       [](const Clause& c) { return c.target; });
}

QString CImeManager::Get_TargetClause(int kind) const
{
    if (kind != kCompStr) {
        return {};
    }
    for (const Clause& c : m_current.clauses) {
        if (c.target) {
            return m_current.preedit.mid(c.start, c.length);
        }
    }
    return {};
}

CImeManager::TargetClauseInfo CImeManager::Get_TargetClauseInfo() const
{
    TargetClauseInfo info;
    for (int i = 0; i < m_current.clauses.size(); ++i) {
        const Clause& c = m_current.clauses.at(i);
        if (c.target) {
            info.number = i;
            info.reading = m_current.preedit.left(c.start) + u'|' + m_current.preedit.mid(c.start + c.length);
            break;
        }
    }
    return info;
}

QList<CImeManager::Clause> CImeManager::mergeClauses(QList<Clause> clauses)
{
    std::sort(clauses.begin(), clauses.end(), [](const Clause& a, const Clause& b) {
        return a.start != b.start ? a.start < b.start : a.length < b.length;
    });
    QList<Clause> out;
    for (const Clause& c : clauses) {
        if (c.length <= 0) {
            continue;
        }
        if (!out.isEmpty() && out.last().start == c.start && out.last().length == c.length) {
            out.last().target = out.last().target || c.target;
        } else {
            out.append(c);
        }
    }
    return out;
}
