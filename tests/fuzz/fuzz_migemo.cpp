// The romaji search path: a search key turned by the dictionary into a
// pattern, compiled as the regular expression that searches a thread.

#include "FuzzSupport.h"
#include "base/VbRegExp.h"
#include "voicemenu/Migemo.h"

namespace {

Migemo* dictionary = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    static Migemo migemo;
    if (!migemo.open(QString::fromLatin1(Migemo::kSystemDictionary))) {
        std::fprintf(stderr, "the migemo dictionary %s does not work\n", Migemo::kSystemDictionary);
        std::abort();
    }
    dictionary = &migemo;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A search key is typed into a one-line box: a short line.
    if (size > 64) {
        return 0;
    }
    const QString key = QString::fromUtf8(Fuzz::bytes(data, size));
    const QString pattern = dictionary->query(key);
    if (pattern.isEmpty()) {
        return 0;
    }
    const VbRegExp search(pattern, true, true);
    static const QString text =
        QStringLiteral("記号の読み方 きごう キゴウ kigou 1 ：名無しさん ＞＞１ 乙です");
    // The dictionary's pattern must compile, or the search would find nothing
    // and say so.
    FUZZ_CHECK(search.isValid());
    (void)search.Execute(text);
    return 0;
}
