#include "resizer.h"

#include <QEvent>
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
    m_containers.push_back(Container{container, container->size(), {}});
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
            c.designSize = c.widget->size();
}

void Resizer::SaveInitialPositions()
{
    for (Container& c : m_containers) {
        c.children.clear();
        if (!c.widget || c.designSize.width() <= 0 || c.designSize.height() <= 0)
            continue;
        const double w = c.designSize.width();
        const double h = c.designSize.height();
        for (QObject* object : c.widget->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (!child || child->isWindow())
                continue;
            if (std::find(m_excluded.begin(), m_excluded.end(), child) != m_excluded.end())
                continue;
            const QRect g = child->geometry();
            c.children.push_back(Child{child, QRectF(g.x() / w, g.y() / h, g.width() / w, g.height() / h)});
        }
    }
    m_setUp = true;
}

bool Resizer::isSetUp() const
{
    return m_setUp;
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
    }
}

bool Resizer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (Container& c : m_containers)
            if (c.widget == watched)
                rescale(c);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ondrel::platform
