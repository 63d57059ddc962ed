#include <QString>
#include <QWidget>

QString text()
{
    return QWidget().windowTitle();
}
