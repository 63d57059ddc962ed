#pragma once

// What a server sends for a thread turned into its messages: the lines of a
// ".dat", and the page of a thread on a board served as HTML.

#include <optional>

#include <QList>
#include <QString>

#include "bbs/ThreadMessage.h"

class ThreadParser
{
public:
    // The messages of the text; nothing when it holds no message at all. A
    // broken line of a ".dat" stays an empty message, so the numbering holds.
    static std::optional<QList<ThreadMessage>> parseDat(const QString& text);
    static std::optional<QList<ThreadMessage>> parseHtml(const QString& page);
};
