#pragma once

#include "forms/guard.h"
#include "forms/links.h"
#include "forms/recordtoolbar.h"
#include "forms/singlewindow.h"
#include "platform/hostwindow.h"

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTableView;
class QWidget;

namespace ondrel::db {
class Database;
class Recordset;
class DataControl;
class RecordsetModel;
struct QueryDef;
}  // namespace ondrel::db

namespace ondrel::platform {
class ToolbarBar;
class ToolbarButton;
class PictureButton;
class ToolbarSeparator;
class Line3D;
class Resizer;
class MaskEdBox;
class LimitedTextEdit;
class ReportPrinter;
}  // namespace ondrel::platform

namespace ondrel::catalogue {

// ---- Layout arithmetic, in twips, kept free of widgets so it can be checked.

// Controles lays out the toolbars with its divisions in double precision.
inline constexpr platform::Precision kToolbarPrecision = platform::Precision::Double;

// SSTab1 between the two bars: its top at the top bar's height, its height
// the rest of the window's inner height.
struct TabPlacement {
    int top = 0;
    int height = 0;
};
TabPlacement tabBetweenBars(int barHeight, int bar2Height, int innerHeight);

struct ImageFit {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
};

// What AjustaImagem computes for a picture of natural size w x h in a frame
// frameWidth x frameHeight: shrinks by 1.2 until it fits (each step rounded to
// whole twips, stopping when a step no longer changes the size) and centres it.
ImageFit fitImage(int width, int height, int frameWidth, int frameHeight);

// The kinds offered by Cmbobjeto, in order.
const QStringList& objectKinds();

// The catalogue window. It offers the loans window its shown code and the
// following of a saved loan, and the search dialog its search target.
// The single shared instance: existing() returns it or nullptr; instance()
// creates it on first reference (construction builds the widgets but does
// NOT run the start-up sequence).
class Frmobjetos : public QMainWindow,
                   public forms::CatalogueLink,
                   public forms::SearchTarget,
                   public forms::SingleWindow<Frmobjetos> {
    Q_OBJECT
    friend class forms::SingleWindow<Frmobjetos>;

public:
    ~Frmobjetos() override;

    // Shows the window; the first show loads it (runs Form_Load once).
    void Show() override;
    bool isLoaded() const;

    // ---- Window state
    std::shared_ptr<db::Database> BancoDados;
    std::shared_ptr<db::Recordset> TabObjetos;
    qint64 TotalRegistros = 0;
    QString CaminhoBanco;
    std::unique_ptr<db::QueryDef> ConsultaPesquisa;
    std::unique_ptr<db::QueryDef> ConsultaImprime;
    platform::HostWindowRef objHost;
    QString HelpFile;  // the application's help file, set at start-up

    // ---- Non-visual components
    db::DataControl* Data1 = nullptr;
    db::DataControl* Data2 = nullptr;
    platform::Resizer* Resize1 = nullptr;
    db::RecordsetModel* GridModel = nullptr;
    platform::ReportPrinter* Report1 = nullptr;

    // ---- Top toolbar
    platform::ToolbarBar* ctbBar = nullptr;
    platform::ToolbarButton* cmdNovo = nullptr;
    platform::ToolbarButton* cmdSalvar = nullptr;
    platform::ToolbarButton* cmdEditar = nullptr;
    platform::ToolbarButton* cmdExcluir = nullptr;
    platform::ToolbarButton* cmdCancelar = nullptr;
    platform::ToolbarButton* cmdEmprestar = nullptr;
    QLabel* Image2 = nullptr;

    // ---- Bottom toolbar
    platform::ToolbarBar* ctbBar2 = nullptr;
    platform::ToolbarButton* cmdHome = nullptr;
    platform::PictureButton* ctbajuda = nullptr;
    platform::PictureButton* cmdPrint = nullptr;
    platform::PictureButton* cmdSeleciona = nullptr;
    platform::PictureButton* cmdFechar = nullptr;
    std::array<platform::PictureButton*, 2> ClarkTBButton2{};
    platform::ToolbarSeparator* ClarkTBSeparator1 = nullptr;
    platform::ToolbarSeparator* ClarkTBSeparator2 = nullptr;
    QLabel* lblpanel = nullptr;

    // ---- Tab control
    QTabWidget* SSTab1 = nullptr;

    // Tab "Objeto"
    QLineEdit* Txtcod = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* mskdata = nullptr;
    QLabel* Lbldata = nullptr;
    QComboBox* Cmbobjeto = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Lblvalor = nullptr;
    platform::MaskEdBox* MaskEdBox1 = nullptr;
    QLineEdit* txttítulo = nullptr;
    QLabel* Lbltitulo = nullptr;
    QLineEdit* Txtautor = nullptr;
    QLabel* Lblautor = nullptr;
    QLineEdit* Txtassunto = nullptr;
    QLabel* Lblassunto = nullptr;
    platform::LimitedTextEdit* Txtdesc = nullptr;
    QLabel* Lbldesc = nullptr;
    QFrame* Picture1 = nullptr;
    QLabel* Image1 = nullptr;
    platform::ToolbarButton* ctbImagem = nullptr;
    platform::PictureButton* ctbApagImagem = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblBorrow = nullptr;
    QLabel* lblAtraso = nullptr;  // how late the borrower is, beside the name
    QLabel* imgLight = nullptr;
    QLabel* imgBorrow = nullptr;
    QLineEdit* Text2 = nullptr;
    std::array<platform::PictureButton*, 4> sscommand1{};
    platform::Line3D* ClarkLine3D1 = nullptr;

    // Tab "Listagem"
    QTableView* DBGrid1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lbltotal = nullptr;
    QLabel* lblborrow2 = nullptr;
    QLabel* imgLight2 = nullptr;
    QLabel* imgBorrow2 = nullptr;

    // Boxes outside the visible area
    QLineEdit* Label1 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* txtPath = nullptr;

    // ---- Menus
    QMenu* mnuarquivo = nullptr;
    QAction* mnunovo = nullptr;
    QAction* mnusalvar = nullptr;
    QAction* mnueditar = nullptr;
    QAction* mnuexcluir = nullptr;
    QAction* mnucancelar = nullptr;
    QAction* mnusepara = nullptr;
    QAction* mnuprint = nullptr;
    QAction* mnuseplist = nullptr;
    QAction* mnusair = nullptr;
    QMenu* mnuir = nullptr;
    QAction* mnuanterior = nullptr;
    QAction* mnuproximo = nullptr;
    QMenu* mnuprocura = nullptr;
    QAction* mnuprocurar = nullptr;
    QAction* mnuproc = nullptr;
    QAction* mnupesquisar = nullptr;
    QAction* mnufecharpesquisa = nullptr;
    QMenu* mnuordenar = nullptr;
    QAction* mnuordcod = nullptr;
    QAction* mnuordtitulo = nullptr;
    QAction* mnuordautor = nullptr;
    QAction* mnuordassunto = nullptr;
    QMenu* mnuaj = nullptr;
    QAction* mnuajuda = nullptr;
    QAction* mnusepar = nullptr;
    QAction* mnusobre = nullptr;

    // ---- Window events
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Controles();
    void AjustaImagem();

    // ---- Handlers
    void mnusair_Click();

    // Edit modes. No handling of its own: an error escapes to the caller
    // (the event dispatch shows it).
    void cmdnovo_Click();
    // Every statement attempted, a failing one skipped.
    void Cmdeditar_Click();
    // A failing statement shows "Impossível Cancelar esta Operação!" and the
    // next one runs.
    void Cmdcancelar_Click();
    // Errors trapped: beep (and the duplicate-code message), then resume.
    void Cmdsalvar_Click();
    // Every statement attempted, a failing one skipped.
    void Cmdexcluir_Click();
    // The "&Arquivo" twins only call their button's handler.
    void mnunovo_Click();
    void mnusalvar_Click();
    void mnueditar_Click();
    void mnuexcluir_Click();
    void mnucancelar_Click();

    void Txtcod_Change();
    void Data1_Reposition();
    void Data1_Validate(int action);
    void Text1_Change();
    // Raised when Cmbobjeto really gains the focus (Tab, Shift+Tab, a click,
    // its label's shortcut); not when the focus comes back from its own list
    // or from a menu.
    void Cmbobjeto_GotFocus();

    // Loan indicators from Text2 / Label1 (start-up step 11).
    void showLoanState();

    // What the window says when the engine refuses to store a person's
    // change (Salvar, Excluir, a grid edit, the automatic save): the
    // duplicate code in the window's own words, otherwise the engine's
    // description (another program's lock, a read-only file, a value that
    // does not fit its field).
    static QString refusalText(const platform::Failure& failure);
    // The refusal with a beep, in a message box.
    void tellRefusal(const platform::Failure& failure);

    // ---- Lending
    // The lending command: a new loan of the shown object in the loans window.
    // No handling of its own: an error escapes to the caller, once the
    // pointer is back to normal.
    void cmdEmprestar_Click();
    // The loan-state display, raised when Data2 fills the borrower (Label1)
    // or the returned box (Text2) with another value.
    void Label1_Change();
    void Text2_Change();
    // Plays the alarm sound of the plug-in folder, without waiting for it.
    void Ring();
    // How late the newest loan of the shown object is ("atrasado há 12
    // dias"), beside the borrower; empty when it is not late.
    void showLateness();
    // Once a day (the day noted in the person's state folder), when loans
    // are late: a desktop notification says how many, and its action shows
    // them in the loans window; without a notification service the status
    // label says it.
    void remindLateLoans();
    // Bottom toolbar: 0 opens the loans register as it is, 1 ends the plug-in.
    void ClarkTBButton2_Click(int Index);

    // True when the shown object may be lent now: the catalogue is neither
    // adding nor editing, and the object's newest loan does not read "Não".
    // Every handler that enables "Emprestar" asks this first, so the same
    // object is never lent twice and an object not yet stored is never lent.
    bool canLend() const;

    // ---- What the loans window reaches (forms::CatalogueLink)
    QString shownCode() const override;
    void followSavedLoan(const QString& code) override;

    // ---- Other desks' work (a collection on a server)
    // Asks the collection to tell the window of changes other desks commit.
    void watchOtherDesks();
    // Another desk changed the objects or the loans: while browsing, the
    // object on screen as it now is (one deleted there gives way as at a
    // move), its loan state without a sound, the counter and the total.
    // While adding, editing or typing nothing is refilled.
    void showOtherDesksWork();

    // ---- Browsing and order
    // Previous (0, 2) or next (1, 3) record; the ends of the set stay
    // current. Every statement attempted, a failing one skipped.
    void sscommand1_Click(int Index);
    void mnuanterior_Click();
    void mnuproximo_Click();
    // The four orderings: Data1's order, the check marks and "Imprime".
    // No handling of their own.
    void mnuordcod_Click();
    void mnuordtitulo_Click();
    void mnuordautor_Click();
    void mnuordassunto_Click();
    // The grid stored an edited row: the total again.
    void DBGrid1_AfterUpdate();

    // ---- Find
    // Quick find by title. No handling of its own.
    void mnuprocurar_Click();
    // Opens the search dialog, modal. No handling of its own.
    void cmdSeleciona_Click();
    void mnupesquisar_Click();
    // Back to the whole catalogue. Every statement attempted, a failing one
    // skipped.
    void cmdFechar_Click();
    void mnufecharpesquisa_Click();

    // ---- What the search dialog reaches (forms::SearchTarget): the object
    // typed is stored first; a search lists its objects and turns "Pes&quisar..."
    // off and "&Fechar Pesquisa" on; a cancellation brings the search button
    // back and ordering on again.
    bool saveTypedValues() override;
    void applySearch(const QString& statement, const std::optional<QString>& status) override;
    void cancelSearch(const QString& status) override;

    // ---- Picture
    // Shows the picture named by txtPath, fitted, and enables its removal
    // only while there is one.
    void txtPath_Change();
    // Chooses a picture and stores its name at once. No handling of its own.
    void ctbImagem_Click();
    // Forgets the picture's name at once. Every statement attempted, a
    // failing one skipped.
    void ctbApagImagem_Click();

    // ---- Print
    // Prints the listing of "Imprime". Every statement attempted, a failing
    // one skipped; nothing is reported.
    void mnuprint_Click();
    void cmdPrint_Click();

    // ---- Toolbar feedback, help and links
    void cmdHome_MouseEnter();
    void cmdHome_MouseExit();
    void cmdEmprestar_MouseEnter();
    void cmdEmprestar_MouseExit();
    void cmdHome_Click();
    void ctbajuda_Click();
    void mnuajuda_Click();
    void mnusobre_Click();

    // Twips <-> pixels for this window's screen.
    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

signals:
    void loaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Frmobjetos();
    void buildToolbars();
    void buildTabs();
    void buildMenus();
    void bindFields();
    void connectHandlers();
    // Asks for the picture named by txtPath, read for the frame's present
    // size; it is shown when it arrives, if this object is still shown.
    void reloadPicture();
    void connectCommands();
    void connectChrome();

    // The sum of valor over the whole catalogue, read afresh (statement C2);
    // an empty value adds nothing. Throws what the engine throws.
    qint64 collectionTotal() const;
    // Shows that sum in lbltotal.
    void showCollectionTotal();
    // One of the four orderings: the field the catalogue is ordered by and
    // the item checked for it.
    void showOrder(const QString& field, QAction* item);
    // Runs a step on Data1's pending edit and cancels the edit if the step
    // did not store it, so the window never shows browsing over an edit the
    // record set still holds.
    void storeNow(const std::function<void()>& change);

    // Command states, each button before its menu twin. Adding, editing and a
    // refused save share one pattern, browsing (false) the opposite one.
    void setEditingCommands(bool editing);
    // The checks of "Salvar", also run before the automatic save: a title,
    // then a code. Tells why (and puts the focus there) when it refuses.
    bool checkTypedValues();
    // After a move that stored or dropped the pending object (or "Cancelar"),
    // the browsing commands.
    void matchCommandsToPending();
    // cmdEmprestar, ctbImagem and ctbApagImagem.
    void setObjectCommands(bool enabled);
    // Shows the borrower of the shown object's newest loan, if any; true when
    // there is one.
    bool showBorrower();
    // Opens the list of Cmbobjeto.
    void AbreCombo();
    // The two states of the loan-state display; the lent one with the sound
    // of the box that changed.
    enum class LoanSound { Beep, Alarm };
    void showLent(LoanSound sound);
    void showAvailable(bool clearPanel);
    // Enables "Emprestar" when the shown object may be lent, disables it
    // otherwise.
    void enableLending();
    // Whether the loans of the shown object could be read: when they could
    // not, the borrower labels say so, the lamps are hidden and "Emprestar"
    // stays disabled until they can be read again.
    void showLoansReadable(bool readable);

    bool m_loaded = false;
    bool m_unloading = false;
    bool m_loansUnreadable = false;
    // Showing another desk's work: the loan state changes without a sound.
    bool m_showingOthersWork = false;
    // Another desk's work waits until the person is browsing again.
    bool m_othersWorkWaiting = false;
    // The shown picture's natural size in pixels (empty: none), and which
    // showing of txtPath a picture that arrives belongs to.
    QSize m_pictureSize{0, 0};
    quint64 m_pictureShowing = 0;
};

}  // namespace ondrel::catalogue
