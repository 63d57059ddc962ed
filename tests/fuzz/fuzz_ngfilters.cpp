// The user's あぼーん rules (ngfilters.txt) as a damaged or hand-edited file
// may hold them: read, applied to a thread, then a rule added and removed.
// What the file held comes back unchanged after each rewrite.

#include "FuzzSupport.h"
#include "bbs/NgFilters.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Fuzz::scratch() + QStringLiteral("/ngfilters.txt");
    FUZZ_CHECK(Fuzz::writeFile(path, Fuzz::bytes(data, size)));
    NgFilters filters(path);
    filters.load();
    const QList<NgFilters::Rule> before = filters.rules();
    FUZZ_CHECK(before.size() <= NgFilters::kMaxRules);

    static const QList<ThreadMessage> thread = {
        {QStringLiteral("名無し"),
         {},
         QStringLiteral("2026/12/09(水) 12:00:00.00"),
         QStringLiteral("スパム <br> &gt;&gt;1 http://example.jp/"),
         QStringLiteral("Ab3dEf9h0"),
         {}},
        {QStringLiteral("<b>コテ</b>◆trip"),
         QStringLiteral("sage"),
         {},
         QStringLiteral("ｷﾀ━(ﾟ∀ﾟ)━!! 😀"),
         {},
         {}},
        {},
    };
    FUZZ_CHECK(filters.hidden(thread, QStringLiteral("雑談")).size() == thread.size());

    const NgFilters::Rule added{NgFilters::Kind::Word, QStringLiteral("*"), QStringLiteral("スパム")};
    if (filters.add(added)) {
        FUZZ_CHECK(filters.hidden(thread, QStringLiteral("雑談")).value(0));
        NgFilters again(path);
        again.load();
        FUZZ_CHECK(again.rules() == QList<NgFilters::Rule>(before) << added);
        FUZZ_CHECK(again.removeAt(int(before.size())));
        NgFilters last(path);
        last.load();
        FUZZ_CHECK(last.rules() == before);
    }
    return 0;
}
