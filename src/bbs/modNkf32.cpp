#include "modNkf32.h"

#include <QStringDecoder>

#include "bbs/TextCodec.h"

namespace modNkf32 {

bool IsUtf8(QByteArrayView bytes, qsizetype limit)
{
    const qsizetype n = qMin(limit, bytes.size());
    if (n <= 0) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    int sequences = 0;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80 || b >= 0xFE) {
            ++i;
            continue;
        }
        if (b <= 0xBF) {
            return false;
        }
        int follow = 5;
        if (b <= 0xDF) {
            follow = 1;
        } else if (b <= 0xEF) {
            follow = 2;
        } else if (b <= 0xF7) {
            follow = 3;
        } else if (b <= 0xFB) {
            follow = 4;
        }
        if (i + follow >= n) {
            break;
        }
        for (int k = 1; k <= follow; ++k) {
            const unsigned char c = p[i + k];
            if (c < 0x80 || c > 0xBF) {
                return false;
            }
        }
        ++sequences;
        i += follow + 1;
    }
    return sequences >= 2;
}

QString Utf8ToText(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

JapaneseEncoding detectJapaneseEncoding(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // Votes for each reading over the byte pairs only one of them explains.
    qsizetype sjisOnly = 0;
    qsizetype eucOnly = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (b == 0x1B && i + 2 < n && (p[i + 1] == '$' || p[i + 1] == '(')
            && (p[i + 2] == 'B' || p[i + 2] == '@' || p[i + 2] == 'J')) {
            return JapaneseEncoding::Iso2022Jp;
        }
        if (b < 0x80) {
            continue;
        }
        const unsigned char c = i + 1 < n ? p[i + 1] : 0;
        const bool sjisPair =
            ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && c >= 0x40 && c <= 0xFC && c != 0x7F;
        const bool eucPair =
            ((b >= 0xA1 && b <= 0xFE) && c >= 0xA1 && c <= 0xFE) || (b == 0x8E && c >= 0xA1 && c <= 0xDF);
        if (sjisPair && !eucPair) {
            ++sjisOnly;
        } else if (eucPair && !sjisPair) {
            ++eucOnly;
        }
        // Half-width katakana alone in code page 932 look like single bytes
        // 0xA1-0xDF; in EUC-JP such a byte is always a lead of a pair.
        if (!sjisPair && !eucPair && b >= 0xA1 && b <= 0xDF) {
            ++sjisOnly;
        }
        if (sjisPair || eucPair) {
            ++i;
        }
    }
    return eucOnly > sjisOnly ? JapaneseEncoding::EucJp : JapaneseEncoding::Cp932;
}

QString decodeJapanese(QByteArrayView bytes)
{
    switch (detectJapaneseEncoding(bytes)) {
    case JapaneseEncoding::EucJp: {
        QStringDecoder decoder("EUC-JP", QStringConverter::Flag::Stateless);
        return decoder.decode(bytes);
    }
    case JapaneseEncoding::Iso2022Jp: {
        QStringDecoder decoder("ISO-2022-JP", QStringConverter::Flag::Stateless);
        return decoder.decode(bytes);
    }
    case JapaneseEncoding::Cp932:
        break;
    }
    return TextCodec::fromCp932(bytes);
}

QString decodeServerText(QByteArrayView bytes)
{
    if (IsUtf8(bytes, 4096)) {
        return Utf8ToText(bytes);
    }
    return decodeJapanese(bytes);
}

}  // namespace modNkf32
