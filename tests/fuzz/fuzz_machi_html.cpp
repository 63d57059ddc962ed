// A thread page of the まちＢＢＳ kind, as such a server sends it.

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
    const QString page = TextCodec::decodeServerText(Fuzz::bytes(data, size));
    const std::optional<QList<ThreadData::Message>> messages = ThreadData::parseHtml(page);
    if (!messages) {
        return 0;
    }
    // A page may number its messages up to the limit, leaving the gaps as
    // deleted messages: thousands of lines sharing one text, checked once.
    const auto same = [](const QString& a, const QString& b) { return a.constData() == b.constData(); };
    const ThreadData::Message* previous = nullptr;
    for (const ThreadData::Message& m : *messages) {
        if (previous && same(m.name, previous->name) && same(m.mail, previous->mail)
            && same(m.date, previous->date) && same(m.body, previous->body) && same(m.id, previous->id)
            && same(m.host, previous->host)) {
            continue;
        }
        previous = &m;
        const QString line = ThreadData::logLine(m);
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'));
        FUZZ_CHECK(line.count(u',') == 5);
    }
    return 0;
}
