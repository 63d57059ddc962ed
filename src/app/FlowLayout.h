#pragma once

// Lays its items out left to right and starts a new row when the next one
// does not fit, as words wrap in a paragraph: the status row of the main
// window stays whole in large type instead of being cut off at the window's
// edge. Every row is as tall as its tallest item; items are centred in it.
// The spacing parts the items of a row; rows follow each other without a gap.

#include <QLayout>
#include <QList>

class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in rect (or only measures, when apply is false) and
    // returns the height used.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
};
