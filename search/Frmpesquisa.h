#pragma once

#include "forms/links.h"
#include "forms/singlewindow.h"

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ondrel::db {
class Database;
class Recordset;
struct QueryDef;
}  // namespace ondrel::db

namespace ondrel::platform {
class Resizer;
}

namespace ondrel::search {

// The search dialog "Pesquisar...", shared by the catalogue and the loans
// window. It has no start-up of its own: asked by a caller, it fills its
// field list and flags for that caller, then the caller shows it. Its "&Ok"
// and "&Cancela" reach the caller named by the flags through the caller's
// search target (forms::SearchTarget).
//
//   forms::SearchDialogLink& dialog = forms::searchDialog();
//   dialog.prepareFor(forms::SearchCaller::Loans);  // entries, Optemprestimo,
//   dialog.ShowModal();                             // Frame2 raised, Option1
//
// Whenever it is not shown the dialog is in its load layout: empty field
// list, empty key, no option set, Frame1 in front. Every closing (Ok,
// Cancela, the close box) puts it back there, so a showing never inherits
// the field list of an earlier one. CaminhoBanco, BancoDados, TabObjetos and
// ConsultaImprime are kept from one showing to the next.
//
// Driving it from a test: ShowModal() blocks in exec(). Queue the user's
// part before calling the caller's handler, e.g.
//   QTimer::singleShot(0, [] { auto* d = Frmpesquisa::instance();
//                              d->Text1->setText("x"); d->Command1[0]->click(); });
// or fill the dialog and call Command1_Click() without showing it.
// The single dialog of the process is created on first reference
// (instance()); existing() finds it without creating it.
class Frmpesquisa : public QDialog, public forms::SearchDialogLink, public forms::SingleWindow<Frmpesquisa> {
    Q_OBJECT
    friend class forms::SingleWindow<Frmpesquisa>;

public:
    ~Frmpesquisa() override;

    // Fills the field list with the caller's entries, the first one
    // preselected, and sets the caller's flag; for the loans the scope frame
    // comes forward with "Todos" set, or "Atrasados" for the late loans.
    void prepareFor(forms::SearchCaller caller, forms::SearchScope scope = forms::SearchScope::All) override;
    // Shows the dialog modally (returns when it is closed).
    void ShowModal() override;

    // ---- Dialog state
    QString CaminhoBanco;
    std::shared_ptr<db::Database> BancoDados;
    std::shared_ptr<db::Recordset> TabObjetos;
    std::unique_ptr<db::QueryDef> ConsultaImprime;

    // ---- Controls
    platform::Resizer* Resize1 = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;  // editable; entries compared exactly
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;   // the key
    std::array<QPushButton*, 2> Command1{};  // 0 "&Ok" (Enter), 1 "&Cancela" (Esc)
    QFrame* Frame3 = nullptr;     // hidden behind Frame1: the caller's flags
    QRadioButton* Optobjeto = nullptr;      // the caller is the catalogue window
    QRadioButton* Optemprestimo = nullptr;  // the caller is the loans window
    QGroupBox* Frame2 = nullptr;  // "Objetos", raised by the loans window only
    QRadioButton* Option1 = nullptr;  // "Todos"
    QRadioButton* Option2 = nullptr;  // "Emprestados"
    QRadioButton* Option3 = nullptr;  // "Atrasados"
    QLineEdit* txttotal = nullptr;    // hidden behind Frame1, always empty

    // ---- Handlers. No error handling of their own: an engine error escapes
    // to the caller (the button's connection shows it).
    void Command1_Click(int Index);
    void PesquisaObjetos();
    void PesquisaEmprestimos();

    // Twips -> pixels for this dialog's screen.
    int twipsToPixels(int twips) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    Frmpesquisa();
    void buildLayout();
    // Back to the load layout (controls only; the state values stay).
    void resetToLoadLayout();
    // Opens the dialog's own handle on the collection database.
    void openDatabase();
    void Cancela();
};

}  // namespace ondrel::search
