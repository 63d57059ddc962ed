// The message text model: a message body (as a thread delivers it) cut into
// the units the reader speaks, walked forwards and backwards.

#include "FuzzSupport.h"
#include "speech/CMessageData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    // The first byte picks the settings: character art detection and the
    // quotation depth read.
    const QString asciiArt = (data[0] & 1) ? QStringLiteral("1") : QStringLiteral("0");
    const QString quoteLevel = QString::number((data[0] >> 1) % 5);
    const QString message = QString::fromUtf8(Fuzz::bytes(data + 1, size - 1));

    CMessageData model;
    model.InitInstance(asciiArt, quoteLevel, message, QStringLiteral("1 名無し"), QStringLiteral("1"));
    const qint32 count = model.Get_MessageMaxNum();
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(model.Get_OrgMessages().size() == count + 1);
    qint16 type = 0;
    for (qint32 step = 0; step <= count && model.Have_Message(); ++step) {
        (void)model.Get_Message(1, type, false);
        qint32 start = 0;
        qint32 length = 0;
        model.Get_OrgMessagePos(start, length);
        FUZZ_CHECK(start >= 0 && length >= 0);
        (void)model.Get_NextLink(false);
        (void)model.Get_NextParagraph(true);
    }
    FUZZ_CHECK(!model.Have_Message() || count == 0 || model.Get_Index() <= count);
    (void)model.Get_Message(-count, type, false);
    (void)model.Get_OrgMessagesText();
    return 0;
}
