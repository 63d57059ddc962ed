#pragma once

// How a search key becomes the pattern the search tests each text with.

#include <QString>

namespace SearchPattern {

// The key matched as written: each of ( ) [ ] { } \ | . + ? / $ ^ * gets a
// backslash in front.
QString literal(const QString& key);

// True when every character of the key is a single-byte character of the
// Japanese ANSI code page (ASCII or half-width katakana): only such a key is
// handed to the romaji dictionary.
bool isSingleByte(const QString& key);

// True when the key holds one of the characters literal() escapes. The
// romaji dictionary leaves parentheses and some others as they are in its
// answer, so such a key is searched for as written.
bool hasMetacharacter(const QString& key);

// Cleans the romaji dictionary's answer for use as a pattern: the dictionary
// answers some keys with a ":-)" alternative of its own, which is taken out.
QString fromMigemo(const QString& answer);

}  // namespace SearchPattern
