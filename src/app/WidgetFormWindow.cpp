#include "WidgetFormWindow.h"

#include <algorithm>
#include <limits>

#include <QWidget>

namespace {

constexpr int kTwipsPerInch = 1440;

int clampShort(long long v)
{
    return int(
        std::clamp<long long>(v, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

}  // namespace

WidgetFormWindow::WidgetFormWindow(QWidget* widget)
    : m_widget(widget)
{}

int WidgetFormWindow::toTwipsX(int pixels) const
{
    return clampShort((long long)pixels * kTwipsPerInch / qMax(1, m_widget->logicalDpiX()));
}

int WidgetFormWindow::toTwipsY(int pixels) const
{
    return clampShort((long long)pixels * kTwipsPerInch / qMax(1, m_widget->logicalDpiY()));
}

int WidgetFormWindow::toPixelsX(int twips) const
{
    return int((long long)twips * m_widget->logicalDpiX() / kTwipsPerInch);
}

int WidgetFormWindow::toPixelsY(int twips) const
{
    return int((long long)twips * m_widget->logicalDpiY() / kTwipsPerInch);
}

int WidgetFormWindow::top() const
{
    return toTwipsY(m_widget->y());
}

int WidgetFormWindow::left() const
{
    return toTwipsX(m_widget->x());
}

int WidgetFormWindow::width() const
{
    return toTwipsX(m_widget->width());
}

int WidgetFormWindow::height() const
{
    return toTwipsY(m_widget->height());
}

int WidgetFormWindow::windowState() const
{
    if (m_widget->isMinimized()) {
        return Minimized;
    }
    if (m_widget->isMaximized()) {
        return Maximized;
    }
    return Normal;
}

bool WidgetFormWindow::setTop(int twips)
{
    m_widget->move(m_widget->x(), toPixelsY(twips));
    return true;
}

bool WidgetFormWindow::setLeft(int twips)
{
    m_widget->move(toPixelsX(twips), m_widget->y());
    return true;
}

bool WidgetFormWindow::setWidth(int twips)
{
    const int px = toPixelsX(twips);
    if (px <= 0) {
        return false;
    }
    m_widget->resize(px, m_widget->height());
    return true;
}

bool WidgetFormWindow::setHeight(int twips)
{
    const int px = toPixelsY(twips);
    if (px <= 0) {
        return false;
    }
    m_widget->resize(m_widget->width(), px);
    return true;
}

bool WidgetFormWindow::setWindowState(int state)
{
    switch (state) {
    case Normal:
        m_widget->setWindowState(Qt::WindowNoState);
        return true;
    case Minimized:
        m_widget->setWindowState(Qt::WindowMinimized);
        return true;
    case Maximized:
        m_widget->setWindowState(Qt::WindowMaximized);
        return true;
    default:
        return false;
    }
}
