// The text codecs: code page 932, EUC-JP and ISO-2022-JP decoding, the UTF-8
// judgement, numeric and named character references. Whatever the program
// writes to a file must read back as the same text.

#include "FuzzSupport.h"
#include "base/TextCodec.h"
#include "bbs/HtmlText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = Fuzz::bytes(data, size);

    // Decoders of server and file bytes take anything.
    const QString cp932 = TextCodec::fromCp932(input);
    const QString server = TextCodec::decodeServerText(input);
    const QString japanese = TextCodec::decodeJapanese(input);
    const QString fileText = TextCodec::fromFileBytes(input);
    (void)TextCodec::IsUtf8(input, input.size() / 2);
    (void)TextCodec::Utf8ToText(input);
    (void)HtmlText::decodeEntities(server);
    const QString line = HtmlText::oneLine(japanese);
    for (const QChar c : line) {
        FUZZ_CHECK(c.unicode() >= 0x20 || c.unicode() == 0);
    }
    FUZZ_CHECK(line == line.trimmed());
    (void)TextCodec::decodeNumericReferences(cp932 + fileText);

    // What is written reads back the same: any text (here the input read as
    // UTF-8 and as code page 932) through the file encoding and back.
    for (const QString& text : {QString::fromUtf8(input), cp932}) {
        const QByteArray written = TextCodec::toFileBytes(text);
        const QString viaCp932 = TextCodec::decodeNumericReferences(TextCodec::fromCp932(written));
        const QString viaFile = TextCodec::fromFileBytes(written);
        if (viaCp932 != text || viaFile != text) {
            std::fprintf(stderr, "text:     %s\nwritten:  %s\nread:     %s\nas file:  %s\n",
                         qPrintable(Fuzz::codePoints(text)), written.toHex(' ').constData(),
                         qPrintable(Fuzz::codePoints(viaCp932)), qPrintable(Fuzz::codePoints(viaFile)));
        }
        FUZZ_CHECK(viaCp932 == text);
        FUZZ_CHECK(viaFile == text);
    }
    return 0;
}
