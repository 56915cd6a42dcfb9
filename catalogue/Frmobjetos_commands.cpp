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
    const auto command = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler] { platform::guarded([&] { handler(this); }); });
    };
    for (int index = 0; index < static_cast<int>(sscommand1.size()); ++index)
        command(sscommand1[static_cast<std::size_t>(index)], &QToolButton::clicked,
                [index](Frmobjetos* f) { f->sscommand1_Click(index); });
    auto* menuKeys = new MenuKeysFirst(this, {mnuanterior->shortcut(), mnuproximo->shortcut()});
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus)
            child->installEventFilter(menuKeys);
    command(mnuanterior, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuanterior_Click));
    command(mnuproximo, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuproximo_Click));
    command(mnuordcod, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuordcod_Click));
    command(mnuordtitulo, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuordtitulo_Click));
    command(mnuordautor, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuordautor_Click));
    command(mnuordassunto, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuordassunto_Click));
    command(mnuprocurar, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuprocurar_Click));
    command(cmdSeleciona, &QToolButton::clicked, std::mem_fn(&Frmobjetos::cmdSeleciona_Click));
    command(mnupesquisar, &QAction::triggered, std::mem_fn(&Frmobjetos::mnupesquisar_Click));
    command(cmdFechar, &QToolButton::clicked, std::mem_fn(&Frmobjetos::cmdFechar_Click));
    command(mnufecharpesquisa, &QAction::triggered, std::mem_fn(&Frmobjetos::mnufecharpesquisa_Click));
    command(ctbImagem, &QToolButton::clicked, std::mem_fn(&Frmobjetos::ctbImagem_Click));
    command(ctbApagImagem, &QToolButton::clicked, std::mem_fn(&Frmobjetos::ctbApagImagem_Click));
    command(mnuprint, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuprint_Click));
    command(cmdPrint, &QToolButton::clicked, std::mem_fn(&Frmobjetos::cmdPrint_Click));
    command(cmdHome, &QToolButton::clicked, std::mem_fn(&Frmobjetos::cmdHome_Click));
    command(ctbajuda, &QToolButton::clicked, std::mem_fn(&Frmobjetos::ctbajuda_Click));
    command(mnuajuda, &QAction::triggered, std::mem_fn(&Frmobjetos::mnuajuda_Click));
    command(mnusobre, &QAction::triggered, std::mem_fn(&Frmobjetos::mnusobre_Click));
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
