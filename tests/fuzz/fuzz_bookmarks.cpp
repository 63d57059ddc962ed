// The bookmark lists (bookmark.list, bookmark_ita.list) as a damaged or
// hand-edited file may hold them. A bookmark added to a loaded list is
// appended, and the list read again holds what it held plus the new entry.

#include "FuzzSupport.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString dataRoot = Fuzz::scratch();
    const QByteArray input = Fuzz::bytes(data, size);
    FUZZ_CHECK(Fuzz::writeFile(dataRoot + QStringLiteral("/bookmark.list"), input));
    FUZZ_CHECK(Fuzz::writeFile(dataRoot + QStringLiteral("/bookmark_ita.list"), input));

    BookmarkList threads(dataRoot);
    FUZZ_CHECK(threads.InitInstance());
    const QStringList before = threads.Get_ItemTexts();
    if (!threads.Exist(QStringLiteral("雑談"), QStringLiteral("なんでも"), QStringLiteral("1714600000"))) {
        FUZZ_CHECK(threads.Add(QStringLiteral("雑談"), QStringLiteral("なんでも"), QStringLiteral("スレ"),
                               QStringLiteral("1714600000")));
        BookmarkList again(dataRoot);
        FUZZ_CHECK(again.InitInstance());
        FUZZ_CHECK(again.Get_Num() == threads.Get_Num());
        FUZZ_CHECK(again.Get_ItemTexts().mid(0, before.size()) == before);
    }
    if (threads.Get_Num() > 1) {
        const QStringList all = threads.Get_ItemTexts();
        FUZZ_CHECK(threads.Remove(1));
        BookmarkList again(dataRoot);
        FUZZ_CHECK(again.InitInstance());
        FUZZ_CHECK(again.Get_ItemTexts() == threads.Get_ItemTexts());
        FUZZ_CHECK(again.Get_Num() == all.size() - 2);
    }

    BookmarkItaList boards(dataRoot);
    FUZZ_CHECK(boards.InitInstance());
    for (int i = 1; i <= boards.Get_Num(); ++i) {
        FUZZ_CHECK(boards.Exist(boards.Get_Category(i), boards.Get_Board(i)));
    }
    return 0;
}
