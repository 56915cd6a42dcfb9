// The connections of the browsing, find, picture and print commands, and the
// window chrome: hover texts in the status label, the home link, help and
// the About item.
#include "Frmobjetos.h"

#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "forms/guard.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>

namespace ondrel::catalogue {

namespace {

// The menu shortcuts Ctrl+A and Ctrl+P move through the catalogue wherever
// the focus is: a text box does not keep them for itself (select all).
class MenuKeysFirst : public QObject {
public:
    MenuKeysFirst(QObject* parent, QList<QKeySequence> keys) : QObject(parent), m_keys(std::move(keys)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (m_keys.contains(QKeySequence(key->keyCombination())))
                return true;  // not claimed by the box: the menu item runs
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QKeySequence> m_keys;
};

}  // namespace

void Frmobjetos::connectCommands()
{
    // An error a handler lets escape is shown and the window goes on.
    using platform::connectGuarded;
    for (int index = 0; index < static_cast<int>(sscommand1.size()); ++index)
        connectGuarded(sscommand1[static_cast<std::size_t>(index)], &QToolButton::clicked, this,
                       [this, index] { sscommand1_Click(index); });
    auto* menuKeys = new MenuKeysFirst(this, {mnuanterior->shortcut(), mnuproximo->shortcut()});
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus)
            child->installEventFilter(menuKeys);
    connectGuarded(mnuanterior, &QAction::triggered, this, &Frmobjetos::mnuanterior_Click);
    connectGuarded(mnuproximo, &QAction::triggered, this, &Frmobjetos::mnuproximo_Click);
    connectGuarded(mnuordcod, &QAction::triggered, this, &Frmobjetos::mnuordcod_Click);
    connectGuarded(mnuordtitulo, &QAction::triggered, this, &Frmobjetos::mnuordtitulo_Click);
    connectGuarded(mnuordautor, &QAction::triggered, this, &Frmobjetos::mnuordautor_Click);
    connectGuarded(mnuordassunto, &QAction::triggered, this, &Frmobjetos::mnuordassunto_Click);
    connectGuarded(mnuprocurar, &QAction::triggered, this, &Frmobjetos::mnuprocurar_Click);
    connectGuarded(cmdSeleciona, &QToolButton::clicked, this, &Frmobjetos::cmdSeleciona_Click);
    connectGuarded(mnupesquisar, &QAction::triggered, this, &Frmobjetos::mnupesquisar_Click);
    connectGuarded(cmdFechar, &QToolButton::clicked, this, &Frmobjetos::cmdFechar_Click);
    connectGuarded(mnufecharpesquisa, &QAction::triggered, this, &Frmobjetos::mnufecharpesquisa_Click);
    connectGuarded(ctbImagem, &QToolButton::clicked, this, &Frmobjetos::ctbImagem_Click);
    connectGuarded(ctbApagImagem, &QToolButton::clicked, this, &Frmobjetos::ctbApagImagem_Click);
    connectGuarded(mnuprint, &QAction::triggered, this, &Frmobjetos::mnuprint_Click);
    connectGuarded(cmdPrint, &QToolButton::clicked, this, &Frmobjetos::cmdPrint_Click);
    connectGuarded(cmdHome, &QToolButton::clicked, this, &Frmobjetos::cmdHome_Click);
    connectGuarded(ctbajuda, &QToolButton::clicked, this, &Frmobjetos::ctbajuda_Click);
    connectGuarded(mnuajuda, &QAction::triggered, this, &Frmobjetos::mnuajuda_Click);
    connectGuarded(mnusobre, &QAction::triggered, this, &Frmobjetos::mnusobre_Click);
}

void Frmobjetos::connectChrome()
{
    // Picture-only buttons: their meaning in the status label while the
    // mouse is over them.
    chrome::showHoverText(ClarkTBButton2[0], lblpanel, QStringLiteral("Controle de Empréstimos"));
    chrome::showHoverText(ClarkTBButton2[1], lblpanel, QStringLiteral("Fechar"));
    chrome::showHoverText(cmdSeleciona, lblpanel, QStringLiteral("Pesquisa..."));
    chrome::showHoverText(cmdFechar, lblpanel, QStringLiteral("Fechar Pesquisa"));
    for (std::size_t i : {0u, 2u})
        chrome::showHoverText(sscommand1[i], lblpanel, QStringLiteral("Registro Anterior"));
    for (std::size_t i : {1u, 3u})
        chrome::showHoverText(sscommand1[i], lblpanel, QStringLiteral("Próximo Registro"));
    chrome::showHoverText(cmdPrint, lblpanel, QStringLiteral("Imprime Listagem"));
    chrome::showHoverText(ctbImagem, lblpanel, QStringLiteral("Inserir Imagem"));
    chrome::showHoverText(ctbApagImagem, lblpanel, QStringLiteral("Excluir Imagem"));
    chrome::showHoverText(ctbajuda, lblpanel, QStringLiteral("Ajuda"));
    connect(cmdHome, &platform::ToolbarButton::mouseEnter, this, [this] { cmdHome_MouseEnter(); });
    connect(cmdHome, &platform::ToolbarButton::mouseExit, this, [this] { cmdHome_MouseExit(); });
    connect(cmdEmprestar, &platform::ToolbarButton::mouseEnter, this, [this] { cmdEmprestar_MouseEnter(); });
    connect(cmdEmprestar, &platform::ToolbarButton::mouseExit, this, [this] { cmdEmprestar_MouseExit(); });
    // F1 anywhere in the window opens the catalogue's help page.
    chrome::installHelpKey(this, QString::fromLatin1(chrome::kCatalogueHelpPage));
}

void Frmobjetos::cmdHome_MouseEnter()
{
    chrome::homeMouseEnter(this, lblpanel);
}

void Frmobjetos::cmdHome_MouseExit()
{
    chrome::homeMouseExit(this, lblpanel);
}

void Frmobjetos::cmdEmprestar_MouseEnter()
{
    // Not the status label: the button's own caption asks.
    cmdEmprestar->setCaption(QStringLiteral("Emprestar !?"));
}

void Frmobjetos::cmdEmprestar_MouseExit()
{
    cmdEmprestar->setCaption(QStringLiteral("Emprestar"));
}

void Frmobjetos::cmdHome_Click()
{
    lblpanel->setText(QString());
    chrome::defaultPointer(this);
    chrome::openHomePage();
}

void Frmobjetos::ctbajuda_Click()
{
    // The status label keeps its text here.
    mnuajuda_Click();
}

void Frmobjetos::mnuajuda_Click()
{
    chrome::sendHelpKey();
}

void Frmobjetos::mnusobre_Click()
{
    // No About box.
}

}  // namespace ondrel::catalogue
