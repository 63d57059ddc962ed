#pragma once

// Turning the bytes a server sends into text: UTF-8 when the bytes look like
// UTF-8, otherwise the Japanese encoding the bytes are in (code page 932,
// EUC-JP or ISO-2022-JP), code page 932 when nothing else fits.

#include <QByteArrayView>
#include <QString>

namespace modNkf32 {

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

// Decodes a server's response as the HTTP client does: UTF-8 when IsUtf8 says
// so for the first 4096 bytes, otherwise the detected Japanese encoding.
// Numeric character references are left as they are.
QString decodeServerText(QByteArrayView bytes);

}  // namespace modNkf32
