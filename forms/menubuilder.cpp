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

std::tuple<QAction*, QAction*, QAction*, QAction*, QAction*> MenuBuilder::recordItems(QMenu* arquivo) const
{
    return {item(arquivo, QStringLiteral("mnunovo"), QStringLiteral("&Novo")),
            item(arquivo, QStringLiteral("mnusalvar"), QStringLiteral("&Salvar")),
            item(arquivo, QStringLiteral("mnueditar"), QStringLiteral("&Editar")),
            item(arquivo, QStringLiteral("mnuexcluir"), QStringLiteral("E&xcluir")),
            item(arquivo, QStringLiteral("mnucancelar"), QStringLiteral("&Cancelar"))};
}

std::tuple<QMenu*, QAction*, QAction*> MenuBuilder::goMenu() const
{
    QMenu* ir = menu(QStringLiteral("mnuir"), QStringLiteral("&Ir"));
    QAction* anterior = item(ir, QStringLiteral("mnuanterior"), QStringLiteral("&Anterior"));
    anterior->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    QAction* proximo = item(ir, QStringLiteral("mnuproximo"), QStringLiteral("&Próximo"));
    proximo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    return {ir, anterior, proximo};
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
