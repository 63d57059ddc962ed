#pragma once

// Lets the window-position store read and place a real window, converting
// between the window's pixels and the store's twips (1/1440 inch).

#include "app/FormWindow.h"

class QWidget;

class WidgetFormWindow : public FormWindow
{
public:
    explicit WidgetFormWindow(QWidget* widget);

    int top() const override;
    int left() const override;
    int width() const override;
    int height() const override;
    int windowState() const override;

    bool setTop(int twips) override;
    bool setLeft(int twips) override;
    bool setWidth(int twips) override;
    bool setHeight(int twips) override;
    bool setWindowState(int state) override;

private:
    int toTwipsX(int pixels) const;
    int toTwipsY(int pixels) const;
    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;

    QWidget* m_widget;
};
