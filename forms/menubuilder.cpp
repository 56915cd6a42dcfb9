#include "menubuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace ondrel::platform {

QMenu* MenuBuilder::menu(const QString& name, const QString& caption) const
{
    QMenu* m = m_bar->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
}

QAction* MenuBuilder::item(QMenu* menu, const QString& name, const QString& caption) const
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

QAction* MenuBuilder::separator(QMenu* menu, const QString& name) const
{
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

void undoToggle(QAction* item, std::initializer_list<QAction*> group)
{
    int checked = 0;
    for (const QAction* a : group)
        checked += a->isChecked() ? 1 : 0;
    if (checked == 0)
        item->setChecked(true);
    else if (checked > 1 && item->isChecked())
        item->setChecked(false);
}

}  // namespace ondrel::platform
