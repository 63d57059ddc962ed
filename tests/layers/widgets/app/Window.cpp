#include <QWidget>

#include "base/Text.h"

void show(QWidget& window)
{
    window.show();
}
