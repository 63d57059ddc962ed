#pragma once

// Conversions between the bytes of files and servers and the program's text.
// Files keep the boards' Shift_JIS (code page 932); characters that code page
// cannot hold travel as numeric character references ("&#128517;"), so nothing
// is lost on the way to disk and back.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace TextCodec {

// Decodes code page 932 bytes. An invalid or unassigned sequence becomes U+FFFD;
// a lead byte followed by a byte that cannot trail it yields U+FFFD and the
// second byte is read again on its own, so line breaks are never swallowed.
QString fromCp932(QByteArrayView bytes);

// Encodes to code page 932; every character it cannot hold (emoji, rare kanji,
// accented letters) is written as "&#N;" with N its code point in decimal, and
// the "&" of a literal "&#" as "&#38;", so reading decodes exactly what was written.
QByteArray toCp932(QStringView text);

// True when the character (a code point) has a code page 932 encoding.
bool isCp932Encodable(char32_t codePoint);

// Replaces "&#N;" and "&#xH;" by the characters they name. Two references that
// name a surrogate pair become one character; a reference naming nothing valid
// (a lone surrogate, zero, beyond U+10FFFF) becomes U+FFFD.
QString decodeNumericReferences(const QString& text);

// Text of a file the program or its user wrote: UTF-8 when it carries a byte
// order mark or is valid UTF-8 with at least one multi-byte character,
// otherwise code page 932; numeric character references are decoded.
QString fromFileBytes(QByteArrayView bytes);

// True when fromFileBytes reads the bytes as UTF-8. Lines the program adds
// are in code page 932, so such a file must be rewritten, not appended to:
// the mixture would be read as code page 932 and garble what was there.
bool isUtf8FileBytes(QByteArrayView bytes);

// Bytes of a file (or of one line of it) the program writes: code page 932
// with references, such that fromFileBytes reads back exactly the text. Bytes
// that would pass for UTF-8 there are written in ASCII, with every other
// character as a reference.
QByteArray toFileBytes(QStringView text);

// Appends toFileBytes(text) to out, without a buffer of its own: the way
// to put many lines into one file.
void appendFileBytes(QByteArray& out, QStringView text);

// Turning the bytes a server sends into text: UTF-8 when the bytes look like
// UTF-8, otherwise the Japanese encoding the bytes are in (code page 932,
// EUC-JP or ISO-2022-JP), code page 932 when nothing else fits.

// Judges the first `limit` bytes (all of them when fewer; false for 0). True only
// when at least two complete multi-byte sequences were seen and none was broken,
// so pure ASCII is not UTF-8. 0xFE and 0xFF are skipped without judgement, and a
// sequence cut by the limit ends the walk without failing it.
bool IsUtf8(QByteArrayView bytes, qsizetype limit);

// Decodes UTF-8; invalid sequences become U+FFFD.
QString Utf8ToText(QByteArrayView bytes);

enum class JapaneseEncoding
{
    Cp932,
    EucJp,
    Iso2022Jp,
};

// Guesses which Japanese encoding the bytes use. Escape sequences mean
// ISO-2022-JP; byte pairs that only EUC-JP explains mean EUC-JP; everything
// else, ambiguous text included, is taken as code page 932.
JapaneseEncoding detectJapaneseEncoding(QByteArrayView bytes);

// Decodes bytes in a Japanese encoding, detected as above.
QString decodeJapanese(QByteArrayView bytes);

// Decodes bytes in the Japanese encoding given.
QString decodeJapanese(QByteArrayView bytes, JapaneseEncoding encoding);

// Decodes a server's response as the HTTP client does: UTF-8 when IsUtf8 says
// so for the first 4096 bytes, otherwise the detected Japanese encoding.
// Numeric character references are left as they are.
QString decodeServerText(QByteArrayView bytes);

}  // namespace TextCodec
