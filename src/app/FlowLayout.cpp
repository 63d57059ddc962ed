#include "FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent)
    : QLayout(parent)
{}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size()) {
        return nullptr;
    }
    return m_items.takeAt(index);
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    // As narrow as the widest item: everything else can wrap.
    QSize size;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty()) {
            size = size.expandedTo(item->minimumSize());
        }
    }
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // Everything on one row.
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty()) {
            continue;
        }
        const QSize hint = item->sizeHint();
        width += hint.width();
        height = qMax(height, hint.height());
        ++shown;
    }
    const QMargins m = contentsMargins();
    return QSize(width + qMax(0, shown - 1) * qMax(0, spacing()) + m.left() + m.right(),
                 height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = qMax(0, spacing());
    // First cut the items into rows, then place each row.
    QList<QList<QLayoutItem*>> rows(1);
    int x = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty()) {
            continue;
        }
        const int w = qMin(item->sizeHint().width(), area.width());
        if (!rows.last().isEmpty() && x + gap + w > area.width()) {
            rows.append(QList<QLayoutItem*>());
            x = 0;
        }
        x += (rows.last().isEmpty() ? 0 : gap) + w;
        rows.last().append(item);
    }
    int y = area.top();
    for (const QList<QLayoutItem*>& row : rows) {
        if (row.isEmpty()) {
            continue;
        }
        int rowHeight = 0;
        for (const QLayoutItem* item : row) {
            rowHeight = qMax(rowHeight, item->sizeHint().height());
        }
        if (apply) {
            int left = area.left();
            for (QLayoutItem* item : row) {
                const QSize hint = item->sizeHint();
                const int w = qMin(hint.width(), area.width());
                item->setGeometry(QRect(left, y + (rowHeight - hint.height()) / 2, w, hint.height()));
                left += w + gap;
            }
        }
        y += rowHeight;
    }
    const QMargins m = contentsMargins();
    return y - area.top() + m.top() + m.bottom();
}
