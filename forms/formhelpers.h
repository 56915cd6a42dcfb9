#pragma once

// Small helpers the record windows use to build their controls.

#include <QColor>
#include <QLabel>
#include <QString>

namespace ondrel::platform {

// Gives a widget (or any object) its control name and hands it back, so a
// control is created and named in one expression.
template <typename W>
W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

// A named label with a caption.
inline QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text)
{
    return named(new QLabel(text, parent), name);
}

// Gives a box the name a screen reader says for it: the text of its caption
// (a combo box too, which would otherwise be announced by its current text).
void nameBox(QWidget* box, const QString& caption);

// The caption label of a box: it names the box, and a click anywhere on the
// label's place goes through to what lies under it, so a label whose
// rectangle reaches over its box never takes the box's clicks.
QLabel* makeCaption(QWidget* parent, const QString& name, const QString& text, QWidget* box);

// Colours are given as the platform's blue-green-red integers.
inline QColor fromBgr(int value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

}  // namespace ondrel::platform
