#include "resizer.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace ondrel::platform {

Resizer::Resizer(QObject* parent) : QObject(parent) {}

void Resizer::setEnabled(bool on)
{
    m_enabled = on;
}

bool Resizer::isEnabled() const
{
    return m_enabled;
}

void Resizer::addContainer(QWidget* container)
{
    if (!container)
        return;
    for (const Container& c : m_containers)
        if (c.widget == container)
            return;
    m_containers.push_back(Container{container, container->size(), container->size(), {}});
    container->installEventFilter(this);
}

void Resizer::exclude(QWidget* widget)
{
    m_excluded.push_back(widget);
}

void Resizer::InitResize()
{
    for (Container& c : m_containers)
        if (c.widget)
            c.startSize = c.laidOutFor = c.widget->size();
}

void Resizer::SaveInitialPositions()
{
    for (Container& c : m_containers) {
        c.children.clear();
        if (!c.widget || c.startSize.width() <= 0 || c.startSize.height() <= 0)
            continue;
        const double w = c.startSize.width();
        const double h = c.startSize.height();
        for (QObject* object : c.widget->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (!child || child->isWindow())
                continue;
            if (std::find(m_excluded.begin(), m_excluded.end(), child) != m_excluded.end())
                continue;
            const QRect g = child->geometry();
            Child recorded{child, QRectF(g.x() / w, g.y() / h, g.width() / w, g.height() / h)};
            recorded.pointSize = child->font().pointSizeF();
            recorded.pixelSize = child->font().pixelSize();
            if (const auto* button = qobject_cast<QAbstractButton*>(child))
                recorded.iconSize = button->iconSize();
            if (const auto* grid = qobject_cast<QTableView*>(child)) {
                recorded.rowHeight = grid->verticalHeader()->defaultSectionSize();
                for (int column = 0; column < grid->horizontalHeader()->count(); ++column)
                    recorded.columnWidths.push_back(grid->columnWidth(column));
            }
            c.children.push_back(std::move(recorded));
        }
    }
    m_setUp = true;
}

void Resizer::rescale()
{
    for (Container& c : m_containers)
        rescale(c);
}

void Resizer::rescale(Container& container)
{
    if (!m_enabled || !m_setUp || !container.widget)
        return;
    const QSize size = container.widget->size();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    container.laidOutFor = size;
    const double sx = double(size.width()) / container.startSize.width();
    const double sy = double(size.height()) / container.startSize.height();
    for (const Child& child : container.children) {
        if (!child.widget)
            continue;
        // Edges are rounded, not sizes, so neighbours stay edge to edge.
        const auto x = [&](double f) { return static_cast<int>(std::lround(f * size.width())); };
        const auto y = [&](double f) { return static_cast<int>(std::lround(f * size.height())); };
        const QRectF& f = child.fraction;
        const int left = x(f.x());
        const int top = y(f.y());
        child.widget->setGeometry(left, top, x(f.x() + f.width()) - left, y(f.y() + f.height()) - top);
        scaleContents(child, std::min(sx, sy));
    }
    // Containers inside this one follow at once, whether or not their own
    // resize events have been delivered yet.
    for (Container& inner : m_containers) {
        if (inner.widget && inner.widget->parentWidget() == container.widget && inner.laidOutFor != inner.widget->size())
            rescale(inner);
    }
}

void Resizer::scaleContents(const Child& child, double factor)
{
    QWidget* widget = child.widget;
    QFont font = widget->font();
    if (child.pointSize > 0)
        font.setPointSizeF(child.pointSize * factor);
    else if (child.pixelSize > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(child.pixelSize * factor))));
    if (font != widget->font())
        widget->setFont(font);
    const auto scaled = [factor](int length) { return std::max(1, static_cast<int>(std::lround(length * factor))); };
    if (child.iconSize.isValid()) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setIconSize(QSize(scaled(child.iconSize.width()), scaled(child.iconSize.height())));
    }
    if (auto* grid = qobject_cast<QTableView*>(widget)) {
        if (child.rowHeight > 0)
            grid->verticalHeader()->setDefaultSectionSize(scaled(child.rowHeight));
        for (std::size_t column = 0; column < child.columnWidths.size(); ++column)
            grid->setColumnWidth(static_cast<int>(column), scaled(child.columnWidths[column]));
    }
}

bool Resizer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (Container& c : m_containers)
            if (c.widget == watched && c.laidOutFor != c.widget->size())
                rescale(c);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ondrel::platform
