#pragma once

// Who points at whom in a thread: the messages each message's anchors name
// (「>>12」, 「>>12-15」, 「>>12,14」, full-width digits, inside links too), the
// later messages that answer each message, and the messages of each ID.
// Built once when a thread is loaded; every question after that is a lookup.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include "bbs/ThreadMessage.h"

class ThreadIndex
{
public:
    // Messages one message may name at most (「>>1-1000」 is a flood, not a
    // reference), and the longest range taken.
    static constexpr int kMaxTargets = 100;

    // The message numbers the anchors of a text name, in the order written,
    // each once; numbers are 1..ThreadMessage::kMax (whether they exist in
    // the thread is the caller's question). The text may be a .dat body
    // (「&gt;&gt;12」 in a link) or shown text (「>>12」, 「＞＞１２」).
    static QList<int> anchorTargets(QStringView text);

    void build(const QList<ThreadMessage>& messages);
    void clear();

    int count() const { return int(m_anchors.size()); }

    // 1-based message numbers; an empty list for a number out of range.
    QList<int> anchorsOf(int message) const;
    QList<int> repliesTo(int message) const;
    // Every message written under the same ID as this one, itself included;
    // empty when the message has no usable ID.
    QList<int> sameId(int message) const;

private:
    static bool usableId(const QString& id);

    QList<QList<int>> m_anchors;  // [message - 1]
    QList<QList<int>> m_replies;  // [message - 1]
    QList<QString> m_ids;         // [message - 1]
    QHash<QString, QList<int>> m_byId;
};
