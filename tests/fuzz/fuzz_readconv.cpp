// The user's reading conversions (readconv.txt): the rules read from the
// file, then applied to a message.

#include "FuzzSupport.h"
#include "speech/ReadConv.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Fuzz::scratch() + QStringLiteral("/readconv.txt");
    FUZZ_CHECK(Fuzz::writeFile(path, Fuzz::bytes(data, size)));
    ReadConv conv(path);
    conv.InitInstance();
    FUZZ_CHECK(conv.count() <= ReadConv::kMaxRules);
    static const QString sample =
        QStringLiteral("ｷﾀ━━━(ﾟ∀ﾟ)━━━!! >>1 乙 wwwww http://example.jp/ 草生える 1234円 ABC &amp; 😀");
    const QString out = conv.Convert(sample);
    FUZZ_CHECK(out.size() <= ReadConv::growthLimit(sample.size()));
    return 0;
}
