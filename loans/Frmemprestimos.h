#pragma once

#include "forms/links.h"
#include "forms/recordtoolbar.h"
#include "forms/singlewindow.h"

#include <QDate>
#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;

namespace ondrel::db {
struct DueRule;
class Database;
class Recordset;
class DataControl;
class RecordsetModel;
}  // namespace ondrel::db

namespace ondrel::platform {
class ToolbarBar;
class ToolbarButton;
class PictureButton;
class ToolbarSeparator;
class Resizer;
class LimitedTextEdit;
}  // namespace ondrel::platform

namespace ondrel::loans {

// Controles lays out the toolbars with its divisions in single precision.
inline constexpr platform::Precision kToolbarPrecision = platform::Precision::Single;

// The return note put in front of a loan's remarks, with the record's line
// ends: "devolvido em dd/mm/yyyy" and an empty line.
QString returnNote(const QDate& day);

// The loans window. One shared instance for the whole run: closing it unloads
// its data but keeps the object, and the next reference loads it again. It
// offers the catalogue the start of a loan, and the search dialog its search
// target.
class Frmemprestimos : public QMainWindow,
                       public forms::LoansLink,
                       public forms::SearchTarget,
                       public forms::SingleWindow<Frmemprestimos> {
    Q_OBJECT
    friend class forms::SingleWindow<Frmemprestimos>;

public:
    // The shared instance, created (and initialised) on first reference; a
    // reference to a window that was closed loads it again. existing() finds
    // it without creating or loading anything.
    static Frmemprestimos* instance();

    ~Frmemprestimos() override;

    // Shows the window modeless, loading it again when it was closed.
    void Show() override;
    bool isLoaded() const;

    // ---- Window state
    QString CaminhoBanco;
    std::shared_ptr<db::Database> BancoDados;
    std::shared_ptr<db::Recordset> TabEmprestimos;
    qint64 TotalRegistros = 0;  // wide, so a large register never wraps
    bool Editando = false;

    // ---- Bound record sources and components
    db::DataControl* Data1 = nullptr;  // the loans
    db::DataControl* Data2 = nullptr;  // the objects, for the code lookup
    db::RecordsetModel* GridModel = nullptr;
    platform::Resizer* Resize1 = nullptr;

    // ---- Top bar
    platform::ToolbarBar* ctbBar = nullptr;
    platform::ToolbarButton* cmdNovo = nullptr;
    platform::ToolbarButton* cmdSalvar = nullptr;
    platform::ToolbarButton* cmdEditar = nullptr;
    platform::ToolbarButton* cmdExcluir = nullptr;
    platform::ToolbarButton* cmdCancelar = nullptr;
    QLabel* Image2 = nullptr;

    // ---- Second bar
    platform::ToolbarBar* ctbBar2 = nullptr;
    platform::ToolbarButton* cmdHome = nullptr;
    platform::PictureButton* ctbajuda = nullptr;
    platform::PictureButton* cmdSeleciona = nullptr;
    platform::PictureButton* cmdFechar = nullptr;
    std::array<platform::PictureButton*, 2> ClarkTBButton2{};
    platform::ToolbarSeparator* ClarkTBSeparator1 = nullptr;
    platform::ToolbarSeparator* ClarkTBSeparator2 = nullptr;
    QLabel* lblpanel = nullptr;

    // ---- Record boxes (Data1)
    QLineEdit* Txtcod = nullptr;
    QComboBox* Combo1 = nullptr;
    QLineEdit* Txtnome = nullptr;
    QLineEdit* Txtobjeto = nullptr;
    QLineEdit* mskdata = nullptr;
    QLineEdit* mskprazo = nullptr;  // the day the object should come back
    QLineEdit* Txttítulo = nullptr;
    QLineEdit* Txtautor = nullptr;
    platform::LimitedTextEdit* Txtobs = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;  // "Devolver até"

    // ---- Lookup boxes (Data2), outside the visible area
    QLineEdit* Txtobjetoclone = nullptr;
    QLineEdit* Txtautorclone = nullptr;
    QLineEdit* Txttítuloclone = nullptr;

    // ---- Returned indicator: the lamp in front is the one seen
    QLabel* imgLight1 = nullptr;  // grey, unlit
    QLabel* imglight2 = nullptr;  // red, lit

    // ---- Record counter (Data1's caption) and move buttons
    QLabel* lblRegistro = nullptr;
    std::array<platform::PictureButton*, 2> sscommand1{};  // 0 next, 1 previous

    QTableView* DBGrid1 = nullptr;

    // ---- Menus
    QMenu* mnuarquivo = nullptr;
    QAction* mnunovo = nullptr;
    QAction* mnusalvar = nullptr;
    QAction* mnueditar = nullptr;
    QAction* mnuexcluir = nullptr;
    QAction* mnucancelar = nullptr;
    QAction* mnuprazo = nullptr;  // the collection's loan period
    QAction* mnusepara = nullptr;
    QAction* mnusair = nullptr;
    QMenu* mnuir = nullptr;
    QAction* mnuanterior = nullptr;
    QAction* mnuproximo = nullptr;
    QMenu* mnupesquisar = nullptr;
    QAction* mnuprocurar = nullptr;
    QAction* mnuseparproc = nullptr;
    QAction* mnupesquisa = nullptr;
    QAction* mnufecharpesquisa = nullptr;
    QMenu* mnumostrar = nullptr;
    QAction* mnutodos = nullptr;
    QAction* mnuemprestados = nullptr;
    QAction* mnuatrasados = nullptr;
    QMenu* mnuordenar = nullptr;
    QAction* mnuordcod = nullptr;
    QAction* mnuordtitulo = nullptr;
    QAction* mnuordnome = nullptr;
    QAction* mnudata = nullptr;
    QMenu* mnuajuda = nullptr;
    QAction* mnuhelp = nullptr;
    QAction* mnuseparahelp = nullptr;
    QAction* mnusobre = nullptr;

    // ---- Window events
    void Form_Initialize();
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Controles();

    // ---- Record commands
    void cmdnovo_Click();
    void Cmdeditar_Click();
    void Cmdcancelar_Click();
    void Cmdsalvar_Click();
    void Cmdexcluir_Click();
    void mnunovo_Click();
    void mnueditar_Click();
    void mnucancelar_Click();
    void mnusalvar_Click();
    void mnuexcluir_Click();

    // ---- Box and record source events
    void Txtcod_LostFocus();
    void Combo1_Change();
    void Data1_Reposition();
    void Data1_Validate(int action);

    // ---- Other desks' work (a collection on a server)
    // Asks the collection to tell the window of changes other desks commit.
    void watchOtherDesks();
    // Another desk changed the loans: the counter and its total again; the
    // loan on screen shows their work at the next move.
    void showOtherDesksWork();

    // ---- Views and order
    void mnutodos_Click();
    void mnuemprestados_Click();
    // The late loans, most late first (collection/duedates.h).
    void mnuatrasados_Click();
    // Asks the collection's loan period, in days, and keeps it.
    void mnuprazo_Click();
    void mnuordcod_Click();
    void mnuordtitulo_Click();
    void mnuordnome_Click();
    void mnudata_Click();
    void mnuprocurar_Click();
    void mnupesquisa_Click();
    void mnufecharpesquisa_Click();
    void mnuanterior_Click();
    void mnuproximo_Click();

    // ---- Window commands
    void cmdSeleciona_Click();
    void cmdFechar_Click();
    void sscommand1_Click(int Index);  // 0 next, 1 previous
    void ClarkTBButton2_Click(int Index);  // 0 to the catalogue, 1 close
    void mnusair_Click();

    // ---- What the catalogue reaches (forms::LoansLink)
    void startLoanOf(const forms::LoanObject& object) override;
    void showLateLoans() override;

    // ---- What the search dialog reaches (forms::SearchTarget): the loan
    // typed is stored first; a search lists its loans (the window took its
    // search state when it opened the dialog); a cancellation turns "&Fechar
    // Pesquisa" off, "&Mostrar" and "&Ordenar" on and brings the search button
    // back.
    bool saveTypedValues() override;
    void applySearch(const QString& statement, const std::optional<QString>& status) override;
    void cancelSearch(const QString& status) override;

    // ---- Home link and help
    void cmdHome_MouseEnter();
    void cmdHome_MouseExit();
    void cmdHome_Click();
    void ctbajuda_Click();
    void mnuhelp_Click();

    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Frmemprestimos();
    void buildToolbars();
    void buildRecordBoxes();
    void buildGrid();
    void buildMenus();
    void bindFields();
    void connectHandlers();
    // The view, order, move, search, switch and chrome commands.
    void connectCommands();
    // Lists the loans of a statement, first one current. False when the loan
    // on screen could not be saved (the user was told why): nothing changed.
    bool showLoans(const QString& statement);
    // One of the orders: its list, and the order items' marks (the chosen one
    // checked, the others not; as they were when nothing changed).
    void showOrder(const QString& statement, QAction* chosen);

    // Referring to Data1 loads the window: Form_Load, then the record
    // sources open (the first loan becomes current).
    void ensureLoaded();
    // The controls as the window first shows them, for a window loaded again.
    void restoreInitialState();
    // The enabled pattern of the record commands, button before menu item:
    // adding, editing and a refused save (true), or browsing (false).
    void setEditingCommands(bool editing);
    // The check of "Salvar", also run before the automatic save: a loan
    // needs a borrower. Tells why when it refuses.
    bool checkTypedValues();
    // After a move that stored or dropped the pending loan, the browsing
    // pattern: "Salvar" never writes over a loan nobody edited.
    void matchCommandsToPending();
    // The returned indicator for a text of Combo1.
    void showReturned(const QString& text);
    // Starts a new loan on Data1. False when the source would not leave the
    // loan it is on (the typed values could not be stored, and it said so):
    // nothing was started and the count is as it was.
    bool startNewLoan();

    // The due-date rule of the collection today.
    db::DueRule dueRule() const;
    // What a new loan's "Devolver até" gets: today plus the loan period.
    QString defaultDueDate() const;
    // Lists a view of "&Mostrar"; `late` tells whether it is "Atrasados".
    bool showView(const QString& statement, bool late);

    bool m_loaded = false;
    bool m_showingLate = false;  // the list is the view "Atrasados"
};

}  // namespace ondrel::loans
