#pragma once

// Where a unit of a message sits in the message box, and how it is spoken.

#include <QtGlobal>

struct UnitInfo
{
    qint32 start = 0;  // offset of the unit in all display units joined
    qint32 length = 0;
    qint16 kind = 0;  // the speech mode: 0 plain, 1 link, 2 mail address, 3 + N quotation of depth N
    bool paragraphStart = false;
};
