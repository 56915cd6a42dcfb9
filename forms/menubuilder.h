#pragma once

#include <QString>

#include <initializer_list>
#include <tuple>

class QAction;
class QMenu;
class QMenuBar;

namespace ondrel::platform {

// Builds a window's menus with every menu, item and separator carrying its
// name as object name, so the windows and their tests find them by name.
class MenuBuilder {
public:
    explicit MenuBuilder(QMenuBar* bar) : m_bar(bar) {}
    QMenu* menu(const QString& name, const QString& caption) const;
    QAction* item(QMenu* menu, const QString& name, const QString& caption) const;
    QAction* separator(QMenu* menu, const QString& name) const;

    // The record commands both record windows start their "&Arquivo" menu
    // with: mnunovo, mnusalvar, mnueditar, mnuexcluir, mnucancelar.
    std::tuple<QAction*, QAction*, QAction*, QAction*, QAction*> recordItems(QMenu* arquivo) const;
    // The "&Ir" menu mnuir with mnuanterior (Ctrl+A) and mnuproximo (Ctrl+P).
    std::tuple<QMenu*, QAction*, QAction*> goMenu() const;

private:
    QMenuBar* m_bar;
};

// A checkable menu item toggles itself when chosen. When its command then
// changes nothing, this puts back the marks of its group, of which exactly
// one was checked before. Called without the toggle, it changes nothing.
void undoToggle(QAction* item, std::initializer_list<QAction*> group);

}  // namespace ondrel::platform
