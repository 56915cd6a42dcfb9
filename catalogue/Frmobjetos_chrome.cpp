// The window's chrome: the caption "Emprestar" asks while the mouse is over
// it, the home link, help, the About item, the bottom bar's loans and close
// buttons and "Sai&r".
#include "Frmobjetos.h"

#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "forms/guard.h"
#include "forms/links.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QScopeGuard>

namespace ondrel::catalogue {

using platform::services;

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

void Frmobjetos::ClarkTBButton2_Click(int Index)
{
    switch (Index) {
    case 0: {
        // The loans register as it is: nothing added, nothing filled.
        lblpanel->setText(QString());
        services().setPointer(platform::Pointer::Hourglass);
        const auto pointerBack = qScopeGuard([] { services().setPointer(platform::Pointer::Default); });
        forms::loansWindow(forms::Reach::Create)->Show();
        break;
    }
    case 1:
        services().endProcess();
        break;
    default:
        break;
    }
}

void Frmobjetos::mnusair_Click()
{
    services().endProcess();
}

}  // namespace ondrel::catalogue
