#pragma once

// The character readings of the shipped dictionaries, loaded once for a
// dialog test.

#include <QString>

#include "base/AppPaths.h"
#include "speech/CShosaiYomi.h"

inline const CShosaiYomi& shippedYomi()
{
    static const CShosaiYomi yomi = [] {
        AppPaths paths(QStringLiteral("/nonexistent-data-root"), QString());
        paths.setResourceDirs({QStringLiteral(YOMIMARU_SOURCE_RESOURCES)});
        CShosaiYomi y;
        if (!y.InitInstance(paths)) {
            qFatal("the shipped dictionaries did not load");
        }
        return y;
    }();
    return yomi;
}
