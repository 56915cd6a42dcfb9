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

}  // namespace ondrel::platform
