#include "base/Text.h"
#include "speech/Voice.h"

QString board()
{
    return text() + voice();
}
