#include "toolbarbutton.h"

#include <QEnterEvent>

namespace ondrel::platform {

ToolbarButton::ToolbarButton(const QString& caption, QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setCaption(caption);
}

void ToolbarButton::setCaption(const QString& caption)
{
    setText(caption);
}

QString ToolbarButton::caption() const
{
    return text();
}

void ToolbarButton::setHoverText(const QString& text)
{
    m_hoverText = text;
    setToolTip(text);
    setAccessibleName(text);
}

QString ToolbarButton::hoverText() const
{
    return m_hoverText;
}

void ToolbarButton::setPicture(const QIcon& picture)
{
    setIcon(picture);
    if (text().isEmpty())
        setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void ToolbarButton::enterEvent(QEnterEvent* event)
{
    QToolButton::enterEvent(event);
    emit mouseEnter();
}

void ToolbarButton::leaveEvent(QEvent* event)
{
    QToolButton::leaveEvent(event);
    emit mouseExit();
}

}  // namespace ondrel::platform
