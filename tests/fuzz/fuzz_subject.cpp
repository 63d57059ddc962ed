// A board's subject.txt as a server sends it.

#include "FuzzSupport.h"
#include "base/SafeName.h"
#include "base/TextCodec.h"
#include "bbs/ThreadList.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = TextCodec::decodeServerText(Fuzz::bytes(data, size));
    const QList<ThreadList::Thread> threads = ThreadList::parseSubject(text);
    FUZZ_CHECK(threads.size() <= text.count(u'\n'));
    for (const ThreadList::Thread& t : threads) {
        FUZZ_CHECK(!t.title.contains(u'\n') && !t.title.contains(u','));
        FUZZ_CHECK(t.count >= 0 && t.count <= 9999);
        (void)SafeName::isSafeKey(t.key);
    }
    return 0;
}
