#pragma once

// The chrome both record windows share: hover texts of the picture-only
// toolbar buttons in the status label, the home link, and help.
//
//   chrome::showHoverText(ctbajuda, lblpanel, QStringLiteral("Ajuda"));
//   connect(cmdHome, &ToolbarButton::mouseEnter, this, [this] { chrome::homeMouseEnter(this, lblpanel); });
//   chrome::installHelpKey(this, chrome::kCatalogueHelpPage);   // F1 opens the window's help page

#include <QString>

class QLabel;
class QWidget;

namespace ondrel::platform {
class ToolbarButton;
}

namespace ondrel::chrome {

// The page about Ulmix in the plug-in folder (version, where the collection
// lives, how to get help): the home page when the build names no maker's page.
inline constexpr const char* kHomePageFileName = "Ulmix-sobre.html";

// The home page: shown in the status label over cmdHome and opened by it. The
// maker's address set at build time (ONDREL_HOME_URL), otherwise the file
// address of our page about Ulmix, so the link never leads nowhere.
QString homePage();
// The maker's name, the caption of cmdHome.
QString makerName();
// The home link cmdHome: captioned with the maker's name, the home page as
// its hover text, and named for a screen reader by what it opens.
platform::ToolbarButton* makeHomeLink();

// While the mouse is over the button the panel shows the text; leaving it
// clears the panel. The button's tool tip and accessible name say the same.
void showHoverText(platform::ToolbarButton* button, QLabel* panel, const QString& text);

// Mouse over the home link: the panel shows the home page and the pointer
// becomes the pointing hand (the window's cursor and the custom pointer).
void homeMouseEnter(QWidget* window, QLabel* panel);
// Mouse leaves the home link: panel cleared, default pointer again.
void homeMouseExit(QWidget* window, QLabel* panel);
// The window's pointer back to the default without touching the panel.
void defaultPointer(QWidget* window);
// Hands the home page to the user's browser. The result is not looked at and
// nothing is reported.
void openHomePage();

// The help file name, beside the plug-in: the entry page of the help.
inline constexpr const char* kHelpFileName = "Ulmix.hlp";
// The help page of each window, beside the help file.
inline constexpr const char* kCatalogueHelpPage = "Ulmix-objetos.html";
inline constexpr const char* kLoansHelpPage = "Ulmix-emprestimos.html";
inline constexpr const char* kSearchHelpPage = "Ulmix-pesquisa.html";
// Registers the plug-in folder's help file as the application's help file
// (the catalogue does this when it loads).
void registerHelpFile();
// The application's help file: the registered one, otherwise the one in the
// plug-in folder.
QString helpFile();
// A page of the help: the file of that name beside the help file, or the
// help file itself when there is no such page (or no page was named).
QString helpPage(const QString& page);

// The help command: sends F1 to the active window; the key opens the help
// after the calling handler returned.
void sendHelpKey();
// Makes F1 anywhere in the window open its help page in the help viewer.
// The viewer belongs to the window, so it stays usable while the window is a
// modal dialog.
void installHelpKey(QWidget* window, const QString& page = QString());

}  // namespace ondrel::chrome
