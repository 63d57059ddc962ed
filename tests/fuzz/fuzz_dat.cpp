// A thread's .dat as a server sends it: parsed into messages, and each
// message through the thread log's line and back.

#include "FuzzSupport.h"
#include "base/TextCodec.h"
#include "bbs/ThreadData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = TextCodec::decodeServerText(Fuzz::bytes(data, size));
    const std::optional<QList<ThreadData::Message>> messages = ThreadData::parseDat(text);
    if (!messages) {
        return 0;
    }
    for (const ThreadData::Message& m : *messages) {
        const QString line = ThreadData::logLine(m);
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'));
        FUZZ_CHECK(line.count(u',') == 5);
        (void)ThreadData::fromLogLine(line);
    }
    return 0;
}
