// The character-detail dictionaries (tankan95.txt, kigou95_a.txt,
// kigou95_b.txt): the input is split into the three files, read, and the
// readings are then asked for a line that touches every class.

#include "FuzzSupport.h"
#include "speech/CShosaiYomi.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A 0xff byte (never found in code page 932 text) separates the files.
    const QList<QByteArray> parts = Fuzz::bytes(data, size).split('\xff');
    const QString dir = Fuzz::scratch();
    const QStringList names{CShosaiYomi::kKigouBFile.toString(), CShosaiYomi::kKigouAFile.toString(),
                            CShosaiYomi::kTankanFile.toString()};
    QStringList paths;
    for (int i = 0; i < names.size(); ++i) {
        paths << dir + u'/' + names[i];
        FUZZ_CHECK(Fuzz::writeFile(paths[i], parts.value(i)));
    }
    CShosaiYomi yomi;
    yomi.InitInstance(paths[0], paths[1], paths[2]);
    FUZZ_CHECK(yomi.entryCount() < CShosaiYomi::kMaxEntries);

    static const QString sample =
        QStringLiteral("川皮aZｱァあ１Ⅲ┏αЖ「」。、！？ 😀\t") + QChar(0xD800) + QStringLiteral("𠮷");
    for (const bool phonetic : {false, true}) {
        FUZZ_CHECK(!yomi.Get_ShosaiYomi(sample, phonetic, true, true).isEmpty());
        yomi.Get_ShosaiYomi(sample, phonetic, false, false);
    }
    yomi.Get_NamerakaYomi(sample, u"テン", u"カッコ", u"キゴー");
    for (int code = 0; code < 0x80; code += 7) {
        yomi.Get_AsciiYomi(code, code % 2 == 0, code % 3 == 0);
    }
    return 0;
}
