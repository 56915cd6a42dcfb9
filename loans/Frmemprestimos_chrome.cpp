// The loans window's chrome: the bottom bar's switch to the catalogue and
// close button, "Sai&r", the home link and help.
#include "Frmemprestimos.h"

#include "chrome/chrome.h"
#include "forms/links.h"
#include "widgets/picturebutton.h"

#include <QLabel>

namespace ondrel::loans {

void Frmemprestimos::ClarkTBButton2_Click(int Index)
{
    switch (Index) {
    case 0:
        forms::catalogueWindow(forms::Reach::Create)->Show();
        close();
        break;
    case 1:
        close();
        break;
    default:
        break;
    }
}

void Frmemprestimos::mnusair_Click()
{
    close();
}

void Frmemprestimos::cmdHome_MouseEnter()
{
    chrome::homeMouseEnter(this, lblpanel);
}

void Frmemprestimos::cmdHome_MouseExit()
{
    chrome::homeMouseExit(this, lblpanel);
}

void Frmemprestimos::cmdHome_Click()
{
    lblpanel->setText(QString());
    // The pointing hand stays until the mouse leaves the button.
    chrome::openHomePage();
}

void Frmemprestimos::ctbajuda_Click()
{
    lblpanel->setText(QString());
    mnuhelp_Click();
}

void Frmemprestimos::mnuhelp_Click()
{
    chrome::sendHelpKey();
}

}  // namespace ondrel::loans
