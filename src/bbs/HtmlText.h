#pragma once

// The few HTML escapes the boards use in names, titles and bodies.

#include <QString>

namespace HtmlText {

// Decodes "&gt;", "&lt;", "&quot;", "&amp;", "&nbsp;", "&#39;", numeric
// character references, and drops "&reg;" ("&amp;" last, so "&amp;gt;"
// stays "&gt;").
QString decodeEntities(const QString& text);

// Text fit for one line of a list file and for speech: control characters
// (line breaks included) become blanks, blanks at both ends go.
QString oneLine(const QString& text);

}  // namespace HtmlText
