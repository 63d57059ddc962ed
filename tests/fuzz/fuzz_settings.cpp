// The settings file (yomimaru.ini) as a damaged or hand-edited file may hold
// it: every setting read, one changed, and the file read again keeps the
// others.

#include "FuzzSupport.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::quiet();
    return 0;
}

namespace {

QStringList values(CSettings& settings)
{
    QStringList all;
    for (qint16 i = 1; i <= CSettings::kCount; ++i) {
        all.append(settings.Get_(i));
    }
    all.append(settings.Get_Named(QString::fromUtf16(CSettings::kBoardListUrl)));
    all.append(settings.Get_Named(QString::fromUtf16(CSettings::kExceptCategory)));
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = Fuzz::scratch();
    FUZZ_CHECK(Fuzz::writeFile(folder + QStringLiteral("/yomimaru.ini"), Fuzz::bytes(data, size)));
    QStringList before;
    {
        SettingsStore store(folder);
        CSettings settings(store);
        FUZZ_CHECK(settings.InitInstance());
        before = values(settings);
        (void)settings.getInt(CSettings::FontSize, 11);
        FUZZ_CHECK(settings.Set_(CSettings::SpeechSpeed, QStringLiteral("7")));
    }
    SettingsStore store(folder);
    CSettings settings(store);
    FUZZ_CHECK(settings.InitInstance());
    before[CSettings::SpeechSpeed - 1] = QStringLiteral("7");
    FUZZ_CHECK(values(settings) == before);
    return 0;
}
