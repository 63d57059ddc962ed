// The board menu page as a server sends it: parsed into categories and
// boards, stored as "board.list" and read back unchanged.

#include "FuzzSupport.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "bbs/BoardList.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = Fuzz::scratch();
    SettingsStore store(folder + QStringLiteral("/config"));
    CSettings settings(store);
    settings.InitInstance();
    const QString dataRoot = folder + QStringLiteral("/data");

    const QString html = TextCodec::decodeServerText(Fuzz::bytes(data, size));
    (void)BoardList::isBoardMenuPage(html);
    BoardList menu(settings, dataRoot);
    if (!menu.parseMenu(html)) {
        return 0;
    }
    FUZZ_CHECK(menu.Get_CategoryNum() > 0);
    int boards = 0;
    for (int c = 1; c <= menu.Get_CategoryNum(); ++c) {
        FUZZ_CHECK(menu.Get_BoardNum(c) > 0);
        boards += menu.Get_BoardNum(c);
    }
    FUZZ_CHECK(boards == menu.Get_AllBoardNum());
    for (int overall = 1; overall <= boards; ++overall) {
        const int c = menu.Get_CategoryIdx(overall);
        const int p = menu.Get_BoardIdx(overall);
        FUZZ_CHECK(menu.overallIndex(c, p) == overall);
    }

    FUZZ_CHECK(menu.saveFile());
    BoardList stored(settings, dataRoot);
    FUZZ_CHECK(stored.loadFile());
    if (stored.Get_AllBoardNum() != boards || stored.Get_Categories() != menu.Get_Categories()) {
        for (const BoardList* list : {&menu, &stored}) {
            std::fprintf(stderr, "%s:\n", list == &menu ? "parsed" : "stored");
            for (int c = 1; c <= list->Get_CategoryNum(); ++c) {
                std::fprintf(stderr, " [%s]\n", qPrintable(Fuzz::codePoints(list->Get_Category(c))));
                for (int p = 1; p <= list->Get_BoardNum(c); ++p) {
                    std::fprintf(stderr, "  %s | %s\n",
                                 qPrintable(Fuzz::codePoints(list->Get_BoardUrl(c, p))),
                                 qPrintable(Fuzz::codePoints(list->Get_BoardName(c, p))));
                }
            }
        }
    }
    FUZZ_CHECK(stored.Get_Categories() == menu.Get_Categories());
    FUZZ_CHECK(stored.Get_AllBoardNum() == boards);
    for (int c = 1; c <= menu.Get_CategoryNum(); ++c) {
        FUZZ_CHECK(stored.Get_BoardNames(c) == menu.Get_BoardNames(c));
        for (int p = 1; p <= menu.Get_BoardNum(c); ++p) {
            FUZZ_CHECK(stored.Get_BoardUrl(c, p) == menu.Get_BoardUrl(c, p));
        }
    }
    return 0;
}
