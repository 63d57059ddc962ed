// The spoken help (help.txt): topics and subtopics read from the file.

#include "FuzzSupport.h"
#include "voicemenu/HelpMenu.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Fuzz::scratch() + QStringLiteral("/help.txt");
    FUZZ_CHECK(Fuzz::writeFile(path, Fuzz::bytes(data, size)));
    HelpMenu help(path);
    if (!help.Initialize()) {
        FUZZ_CHECK(help.topicCount() == 0);
        return 0;
    }
    const QStringList tops = help.Get_Tops();
    FUZZ_CHECK(tops.size() == help.topicCount() + 1);
    for (int t = 1; t <= help.topicCount(); ++t) {
        FUZZ_CHECK(help.Get_Top(t) == tops.at(t));
        const QStringList subs = help.Get_Subs(t);
        for (int s = 1; s < subs.size(); ++s) {
            (void)help.Get_Text(t, s);
        }
    }
    (void)help.Get_MenuHelp(QStringLiteral("メインメニュー"));
    for (const QStringView name : HelpMenu::kDialogHelpNames) {
        (void)help.Get_DlgHelp(name.toString());
    }
    return 0;
}
