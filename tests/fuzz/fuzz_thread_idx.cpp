// A board's read positions (thread.idx): read, one position changed, saved,
// and read again.

#include "FuzzSupport.h"
#include "bbs/ReadPositions.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Fuzz::scratch() + QStringLiteral("/thread.idx");
    FUZZ_CHECK(Fuzz::writeFile(path, Fuzz::bytes(data, size)));
    ReadPositions positions;
    positions.load(path);
    const QString key = QStringLiteral("1714600000");
    const int other = positions.position(QStringLiteral("1714600001"));
    positions.setPosition(key, 42);
    FUZZ_CHECK(positions.save(path));

    ReadPositions again;
    again.load(path);
    FUZZ_CHECK(again.position(key) == 42);
    FUZZ_CHECK(again.position(QStringLiteral("1714600001")) == other);
    return 0;
}
