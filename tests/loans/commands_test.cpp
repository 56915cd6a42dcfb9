// The record commands of the loans window driven as a user drives them:
// new, edit, cancel, save with its return note, delete, the code lookup, the
// moves, closing and switching to the catalogue.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

using namespace loanstest;
using ondrel::db::EditMode;
using ondrel::platform::RecordingServices;

namespace {

const QString kToday = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
const QString kNote = QStringLiteral("devolvido em ") + kToday + QStringLiteral("\r\n\r\n");

bool entering(Frmemprestimos* loans)
{
    return !loans->cmdNovo->isEnabled() && !loans->mnunovo->isEnabled() && loans->cmdSalvar->isEnabled()
           && loans->mnusalvar->isEnabled() && !loans->cmdEditar->isEnabled() && !loans->mnuexcluir->isEnabled()
           && loans->cmdCancelar->isEnabled() && loans->mnucancelar->isEnabled() && loans->Txtcod->isEnabled();
}

// Which record commands are on, buttons then menu items, and the code box.
QString commandStates(Frmemprestimos* loans)
{
    QString states;
    for (QWidget* w : std::initializer_list<QWidget*>{loans->cmdNovo, loans->cmdSalvar, loans->cmdEditar,
                                                      loans->cmdExcluir, loans->cmdCancelar, loans->Txtcod})
        states += QLatin1Char(w->isEnabled() ? '1' : '0');
    for (QAction* a : {loans->mnunovo, loans->mnusalvar, loans->mnueditar, loans->mnuexcluir, loans->mnucancelar})
        states += QLatin1Char(a->isEnabled() ? '1' : '0');
    return states;
}

}  // namespace

class LoansCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void newLoanIsFilledStoredAndCounted();
    void lookup_data();
    void lookup();
    void lookupIgnoresMenusAndCancel();
    void saveWithoutNameKeepsEntry();
    void moveWhileEntering_data();
    void moveWhileEntering();
    void returnNoteInFrontOfRemarks();
    void editandoCarriesOverToNewLoan();
    void refusedSaveKeepsLoan_data();
    void refusedSaveKeepsLoan();
    void newRefusedKeepsShownLoan_data();
    void newRefusedKeepsShownLoan();
    void cancelAndRefusals();
    void deleteLastAndOnlyLoan();
    void moves_data();
    void moves();
    void movesInAnEmptyList();
    void closing_data();
    void closing();
};

void LoansCommandsTest::newLoanIsFilledStoredAndCounted()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    startLoan(loans, QStringLiteral("B2"), QStringLiteral("Gil"));
    QVERIFY(entering(loans));
    QCOMPARE(loans->Combo1->currentText(), QStringLiteral("Não"));
    QCOMPARE(loans->mskdata->text(), kToday);
    QCOMPARE(loans->TotalRegistros, 7);
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 0  de  7"));
    QCOMPARE(loans->Txtobjeto->text(), QStringLiteral("Revista"));

    click(loans->cmdSalvar);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(folder.storedLoans().size(), 7);
    QCOMPARE(folder.storedLoans().last(), QStringLiteral("B2|Gil|Não|%1|").arg(kToday));
    // The last loan is shown, the toolbar browses again.
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Gil"));
    QCOMPARE(loans->Txttítulo->text(), QStringLiteral("Veja"));
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 7  de  7"));
    QVERIFY(browsing(loans));
    QVERIFY(!loans->Editando);
}

void LoansCommandsTest::lookup_data()
{
    QTest::addColumn<QString>("before");  // a code looked up first, then typed over
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("copied");  // objeto, título, autor
    QTest::addColumn<bool>("warned");
    const QStringList none{"", "", ""};
    QTest::newRow("existing object") << "" << "E5" << QStringList{"Disco (CD)", "Tropicália", "Vários"} << false;
    QTest::newRow("apostrophe") << "" << "D'A" << QStringList{"DVD", "O Auto da Compadecida", "Guel Arraes"} << false;
    QTest::newRow("no such object: accepted") << "" << "Z9" << none << false;
    QTest::newRow("zero") << "" << "0" << none << true;
    QTest::newRow("empty") << "" << "" << none << true;
    QTest::newRow("no such object after another") << "E5" << "Z9" << none << false;
    QTest::newRow("catalogued since the window opened") << "" << "N1" << QStringList{"Revista", "Nova", "Rui"} << false;
}

void LoansCommandsTest::lookup()
{
    QFETCH(QString, before);
    QFETCH(QString, code);
    QFETCH(QStringList, copied);
    QFETCH(bool, warned);
    OPEN_LOANS(standardObjects(), standardLoans());
    folder.addObject({"N1", "Revista", "Nova", "Rui"});  // by another window, after the loans window opened
    click(loans->cmdNovo);
    if (!before.isEmpty()) {
        typeText(loans->Txtcod, before);
        QTest::keyClick(loans->Txtcod, Qt::Key_Tab);
        retype(loans->Txtcod, QString());
    }
    typeText(loans->Txtcod, code);
    QTest::keyClick(loans->Txtcod, Qt::Key_Tab);

    QCOMPARE((QStringList{loans->Txtobjeto->text(), loans->Txttítulo->text(), loans->Txtautor->text()}), copied);
    if (warned) {
        QCOMPARE(folder.services.messageTexts(), QStringList{"É Necessário Digitar o Código !"});
        QCOMPARE(folder.services.messageBoxes.first().icon, int(ondrel::platform::Exclamation));
        QCOMPARE(QApplication::focusWidget(), loans->Txtcod);
    } else {
        QVERIFY(folder.services.messageBoxes.isEmpty());
        QCOMPARE(QApplication::focusWidget(), loans->Txtnome);
    }
    // A failed lookup leaves "Novo" working while objects exist.
    click(loans->cmdCancelar);
    folder.services.messageBoxes.clear();
    click(loans->cmdNovo);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(loans->Data1->recordset()->editMode(), EditMode::Adding);
}

void LoansCommandsTest::lookupIgnoresMenusAndCancel()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    click(loans->cmdNovo);
    QVERIFY(loans->Txtcod->hasFocus());
    // Opening "&Arquivo" takes the focus for a moment only.
    loans->mnuarquivo->popup(loans->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(loans->mnuarquivo->isVisible());
    loans->mnucancelar->trigger();
    loans->mnuarquivo->hide();
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QVERIFY(browsing(loans));
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));

    // Cancelling from the toolbar disables the box while it has the focus:
    // no lookup runs (the object source stays on the first object).
    goTo(loans, QStringLiteral("Davi"));
    click(loans->cmdNovo);
    QVERIFY(loans->Txtcod->hasFocus());
    click(loans->cmdCancelar);
    QVERIFY(!loans->Txtcod->hasFocus());
    QCOMPARE(loans->Txtcod->text(), QStringLiteral("D'A"));
    QCOMPARE(loans->Txttítuloclone->text(), QStringLiteral("Dom Casmurro"));
    QVERIFY(folder.services.messageBoxes.isEmpty());

    // Leaving the box for another control does look the code up.
    click(loans->cmdNovo);
    QTest::keyClick(loans->Txtcod, Qt::Key_Tab);
    QCOMPARE(folder.services.messageTexts(), QStringList{"É Necessário Digitar o Código !"});
}

void LoansCommandsTest::saveWithoutNameKeepsEntry()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    startLoan(loans, QStringLiteral("A1"), QString());
    loans->mnusalvar->trigger();
    QCOMPARE(folder.services.messageTexts(), QStringList{"O Preenchimento do Campo NOME é necessário"});
    QCOMPARE(folder.services.messageBoxes.first().icon, int(ondrel::platform::Exclamation));
    QVERIFY(entering(loans));
    QCOMPARE(loans->Data1->recordset()->editMode(), EditMode::Adding);
    QCOMPARE(folder.storedLoans().size(), 6);
}

void LoansCommandsTest::moveWhileEntering_data()
{
    QTest::addColumn<QString>("loan");     // empty: a new loan of E5
    QTest::addColumn<QString>("name");     // typed into "Emprestado a" (a new loan's box starts empty)
    QTest::addColumn<bool>("byGrid");      // a click on a grid row, or Ctrl+A
    QTest::addColumn<bool>("told");        // the name check refused the move
    QTest::addColumn<QString>("stored");   // the loan stored by the move, if any
    QTest::newRow("new loan without a name, Ctrl+A") << "" << "" << false << true << "";
    QTest::newRow("new loan without a name, grid row") << "" << "" << true << true << "";
    QTest::newRow("new loan with a name, Ctrl+A") << "" << "Gil" << false << false << "E5|Gil|Não|" + kToday + "|";
    QTest::newRow("edited loan emptied of its name, grid row") << "Bruno" << "" << true << true << "";
    QTest::newRow("edited loan untouched, Ctrl+A") << "Carla" << "Carla" << false << false << "";
}

void LoansCommandsTest::moveWhileEntering()
{
    QFETCH(QString, loan);
    QFETCH(QString, name);
    QFETCH(bool, byGrid);
    QFETCH(bool, told);
    QFETCH(QString, stored);
    OPEN_LOANS(standardObjects(), standardLoans());
    if (loan.isEmpty()) {
        startLoan(loans, QStringLiteral("E5"), name);
    } else {
        goTo(loans, loan);
        click(loans->cmdEditar);
        if (name != loans->Txtnome->text())
            retype(loans->Txtnome, name);
    }
    const EditMode mode = loans->Data1->recordset()->editMode();
    const QString code = loans->Txtcod->text();

    if (byGrid) {
        const QRect row = loans->DBGrid1->visualRect(loans->DBGrid1->model()->index(2, 1));
        QTest::mouseClick(loans->DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
    } else {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    }

    if (told) {
        // The check of "Salvar": its message; the loan, its values and the
        // commands stay; nothing is stored.
        QCOMPARE(folder.services.messageTexts(), QStringList{"O Preenchimento do Campo NOME é necessário"});
        QCOMPARE(loans->Data1->recordset()->editMode(), mode);
        QVERIFY(entering(loans));
        QCOMPARE(loans->Txtcod->text(), code);
        QCOMPARE(loans->Txtnome->text(), name);
        QCOMPARE(folder.storedLoans().size(), 6);
    } else {
        // Stored or dropped by the move: the commands browse again, so
        // "Salvar" cannot write over the loan now shown.
        QVERIFY(folder.services.messageBoxes.isEmpty());
        QCOMPARE(loans->Data1->recordset()->editMode(), EditMode::None);
        QVERIFY(browsing(loans));
        QCOMPARE(folder.storedLoans().size(), stored.isEmpty() ? 6 : 7);
        if (!stored.isEmpty())
            QCOMPARE(folder.storedLoans().last(), stored);
    }
}

void LoansCommandsTest::returnNoteInFrontOfRemarks()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    goTo(loans, QStringLiteral("Elisa"));
    click(loans->cmdEditar);
    QVERIFY(loans->Editando);
    QVERIFY(entering(loans));
    retype(loans->Combo1->lineEdit(), QStringLiteral("Sim"));
    click(loans->cmdSalvar);
    const QString once = kNote + QStringLiteral("linha 1\r\nlinha 2");
    QCOMPARE(folder.storedLoans().at(4), QStringLiteral("A1|Elisa|Sim|05/02/2003|") + once);
    QVERIFY(!loans->Editando);

    // Saving with "Não" writes nothing and keeps the flag.
    goTo(loans, QStringLiteral("Bruno"));
    click(loans->cmdEditar);
    click(loans->cmdSalvar);
    QCOMPARE(folder.storedLoans().at(1), QStringLiteral("B2|Bruno|Não|02/02/2003|"));
    QVERIFY(loans->Editando);

    // A second return puts a second note in front of the first.
    goTo(loans, QStringLiteral("Elisa"));
    click(loans->cmdEditar);
    click(loans->cmdSalvar);
    QCOMPARE(folder.storedLoans().at(4), QStringLiteral("A1|Elisa|Sim|05/02/2003|") + kNote + once);
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansCommandsTest::editandoCarriesOverToNewLoan()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    click(loans->cmdEditar);
    click(loans->cmdCancelar);
    QVERIFY(loans->Editando);
    QVERIFY(browsing(loans));

    startLoan(loans, QStringLiteral("E5"), QStringLiteral("Hugo"));
    retype(loans->Combo1->lineEdit(), QStringLiteral("Sim"));
    click(loans->cmdSalvar);
    QCOMPARE(folder.storedLoans().last(), QStringLiteral("E5|Hugo|Sim|%1|").arg(kToday) + kNote);
    QVERIFY(!loans->Editando);
}

void LoansCommandsTest::refusedSaveKeepsLoan_data()
{
    QTest::addColumn<QString>("loan");      // empty: a new loan
    QTest::addColumn<QString>("badDate");   // empty: the date is left alone
    QTest::addColumn<bool>("returned");     // "Sim" chosen before saving
    QTest::addColumn<QString>("fixDate");
    QTest::addColumn<QString>("fixRemarks");
    QTest::addColumn<QString>("stored");
    QTest::newRow("impossible date, new loan")
        << "" << "31/02/2003" << false << "01/03/2003" << "" << QStringLiteral("A1|Ivo|Não|01/03/2003|");
    QTest::newRow("impossible date, returned loan")
        << "Elisa" << "31/02/2003" << true << "05/02/2003" << ""
        << QStringLiteral("A1|Elisa|Sim|05/02/2003|") + kNote + QStringLiteral("linha 1\r\nlinha 2");
    QTest::newRow("note past 255 characters")
        << "Longo" << "" << true << "" << "curto" << QStringLiteral("E5|Longo|Sim|08/02/2003|") + kNote + "curto";
}

void LoansCommandsTest::refusedSaveKeepsLoan()
{
    QFETCH(QString, loan);
    QFETCH(QString, badDate);
    QFETCH(bool, returned);
    QFETCH(QString, fixDate);
    QFETCH(QString, fixRemarks);
    QFETCH(QString, stored);
    Folder folder;
    auto all = standardLoans();
    all.append({"E5", "Longo", "Não", "08/02/2003", QString(240, QLatin1Char('r'))});
    folder.create(standardObjects(), all);
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    if (loan.isEmpty()) {
        startLoan(loans, QStringLiteral("A1"), QStringLiteral("Ivo"));
    } else {
        goTo(loans, loan);
        click(loans->cmdEditar);
    }
    const EditMode mode = loans->Data1->recordset()->editMode();
    const QString remarks = loans->Txtobs->toPlainText();
    if (!badDate.isEmpty())
        retype(loans->mskdata, badDate);
    if (returned)
        retype(loans->Combo1->lineEdit(), QStringLiteral("Sim"));
    const bool editando = loans->Editando;

    click(loans->cmdSalvar);
    // The engine's reason is shown; the loan, its state and the remarks stay.
    QCOMPARE(folder.services.messageBoxes.size(), 1);
    QCOMPARE(folder.services.messageBoxes.first().icon, int(ondrel::platform::Critical));
    QVERIFY(!folder.services.messageBoxes.first().text.isEmpty());
    QCOMPARE(loans->Data1->recordset()->editMode(), mode);
    QVERIFY(entering(loans));
    QCOMPARE(loans->Txtobs->toPlainText(), remarks);
    QCOMPARE(loans->Editando, editando);
    if (!badDate.isEmpty())
        QCOMPARE(loans->mskdata->text(), badDate);
    QCOMPARE(folder.storedLoans().size(), 7);

    // Corrected, it is stored once, with one note at most.
    if (!fixDate.isEmpty())
        retype(loans->mskdata, fixDate);
    if (!fixRemarks.isEmpty()) {
        loans->Txtobs->setFocus();
        loans->Txtobs->selectAll();
        typeText(loans->Txtobs, fixRemarks);
    }
    click(loans->cmdSalvar);
    QCOMPARE(folder.services.messageBoxes.size(), 1);
    QVERIFY(browsing(loans));
    const QStringList rows = folder.storedLoans();
    QCOMPARE(rows.size(), loan.isEmpty() ? 8 : 7);
    QVERIFY2(rows.contains(stored), qPrintable(rows.join(QLatin1Char('\n'))));
}

void LoansCommandsTest::newRefusedKeepsShownLoan_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("button") << false;
    QTest::newRow("menu item") << true;
}

void LoansCommandsTest::newRefusedKeepsShownLoan()
{
    QFETCH(bool, fromMenu);
    OPEN_LOANS(standardObjects(), standardLoans());
    goTo(loans, QStringLiteral("Ana"));
    const QString caption = loans->Data1->caption();
    const QString commandsBefore = commandStates(loans);
    QVERIFY(!loans->Txtcod->isEnabled());
    // A date the engine cannot store, typed while browsing.
    retype(loans->mskdata, QStringLiteral("31/02/2003"));

    if (fromMenu)
        loans->mnunovo->trigger();
    else
        click(loans->cmdNovo);

    // The refusal is told once; the loan typed over stays shown as typed,
    // nothing new is started and the count is as it was.
    QCOMPARE(folder.services.messageBoxes.size(), 1);
    QCOMPARE(folder.services.messageBoxes.first().icon, int(ondrel::platform::Critical));
    QVERIFY(loans->Data1->recordset()->editMode() != EditMode::Adding);
    QCOMPARE(commandStates(loans), commandsBefore);
    QCOMPARE(loans->Txtcod->text(), QStringLiteral("A1"));
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
    QCOMPARE(loans->Combo1->currentText(), QStringLiteral("Sim"));
    QCOMPARE(loans->mskdata->text(), QStringLiteral("31/02/2003"));
    QCOMPARE(loans->TotalRegistros, 6);
    QCOMPARE(loans->Data1->caption(), caption);
    QCOMPARE(folder.storedLoans(), (QStringList{"A1|Ana|Sim|01/02/2003|primeira", "B2|Bruno|Não|02/02/2003|",
                                                "A1|Carla|Sim|03/02/2003|", "D'A|Davi|Não|04/02/2003|",
                                                "A1|Elisa|Não|05/02/2003|linha 1\r\nlinha 2",
                                                "B2|Fábio|Sim|06/02/2003|"}));

    // Corrected, the next "Novo" stores the typed date on that loan and the
    // new loan is added beside it: no loan is written over.
    retype(loans->mskdata, QStringLiteral("01/03/2003"));
    startLoan(loans, QStringLiteral("B2"), QStringLiteral("Zeca"));
    QVERIFY(entering(loans));
    QCOMPARE(loans->TotalRegistros, 7);
    click(loans->cmdSalvar);
    QCOMPARE(folder.services.messageBoxes.size(), 1);
    const QStringList rows = folder.storedLoans();
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows.first(), QStringLiteral("A1|Ana|Sim|01/03/2003|primeira"));
    QCOMPARE(rows.last(), QStringLiteral("B2|Zeca|Não|%1|").arg(kToday));
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 7  de  7"));
    QVERIFY(browsing(loans));
}

void LoansCommandsTest::cancelAndRefusals()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    // Nothing to cancel right after opening: one message, menus set.
    loans->mnucancelar->trigger();
    QCOMPARE(folder.services.messageTexts(), QStringList{"Impossível Cancelar esta Operação!"});
    QVERIFY(!loans->mnusalvar->isEnabled());
    QVERIFY(!loans->mnucancelar->isEnabled());
    QVERIFY(browsing(loans));

    // New then cancel: the loan before is back and the count with it.
    goTo(loans, QStringLiteral("Carla"));
    click(loans->cmdNovo);
    QCOMPARE(loans->TotalRegistros, 7);
    click(loans->cmdCancelar);
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Carla"));
    QCOMPARE(loans->TotalRegistros, 6);
    QVERIFY(browsing(loans));
    QCOMPARE(folder.services.messageBoxes.size(), 1);

    // A loan without a title cannot be edited; the code box stays enabled.
    retype(loans->Txttítulo, QString());
    loans->mnueditar->trigger();
    QCOMPARE(folder.services.messageTexts().last(), QStringLiteral(" Não há registro corrente!"));
    QVERIFY(loans->Txtcod->isEnabled());
    QVERIFY(loans->cmdNovo->isEnabled() && !loans->cmdSalvar->isEnabled());
    QVERIFY(!loans->Editando);
}

void LoansCommandsTest::deleteLastAndOnlyLoan()
{
    {
        Folder folder(standardObjects(), standardLoans());
        Frmemprestimos* loans = openLoans();
        QVERIFY(loans);
        goTo(loans, QStringLiteral("Fábio"));
        folder.services.msgBoxAnswers.enqueue(ondrel::platform::ResultCancel);
        click(loans->cmdExcluir);
        QCOMPARE(folder.storedLoans().size(), 6);

        click(loans->cmdExcluir);
        const auto& box = folder.services.messageBoxes.last();
        QCOMPARE(box.text, QStringLiteral("Você quer realmente Excluir este Registro?"));
        QCOMPARE(box.title, QStringLiteral("Excluir Registro"));
        QCOMPARE(box.buttons, int(ondrel::platform::OkCancel));
        QCOMPARE(folder.storedLoans().size(), 5);
        QCOMPARE(loans->Txtnome->text(), QStringLiteral("Elisa"));
        QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 5  de  5"));
    }
    {
        Folder folder(standardObjects(), {{"A1", "Única", "Não", "01/01/2003", ""}});
        Frmemprestimos* loans = openLoans();
        QVERIFY(loans);
        loans->mnuexcluir->trigger();
        QVERIFY(folder.storedLoans().isEmpty());
        QVERIFY(loans->Txtnome->text().isEmpty());
        QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 0  de  0"));
        // Deleting again with nothing current fails quietly.
        loans->mnuexcluir->trigger();
        QCOMPARE(folder.services.messageBoxes.size(), 2);
        QCOMPARE(loans->TotalRegistros, 0);
    }
}

void LoansCommandsTest::moves_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("position");
    QTest::newRow("next") << 2 << "sscommand1_0" << "Davi" << 4;
    QTest::newRow("previous") << 2 << "sscommand1_1" << "Bruno" << 2;
    QTest::newRow("next on the last") << 5 << "sscommand1_0" << "Fábio" << 6;
    QTest::newRow("previous on the first") << 0 << "sscommand1_1" << "Ana" << 1;
    QTest::newRow("Próximo on the last") << 5 << "mnuproximo" << "Fábio" << 6;
    QTest::newRow("Anterior on the first") << 0 << "mnuanterior" << "Ana" << 1;
    QTest::newRow("Anterior") << 5 << "mnuanterior" << "Elisa" << 5;
}

void LoansCommandsTest::moves()
{
    QFETCH(int, start);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(int, position);
    OPEN_LOANS(standardObjects(), standardLoans());
    loans->Data1->recordset()->setAbsolutePosition(start);
    if (auto* button = loans->findChild<QAbstractButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        loans->findChild<QAction*>(control)->trigger();
    QCOMPARE(loans->Txtnome->text(), name);
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : %1  de  6").arg(position));
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansCommandsTest::movesInAnEmptyList()
{
    OPEN_LOANS(standardObjects(), {});
    for (int i : {0, 1, 0})
        QTest::mouseClick(loans->sscommand1[i], Qt::LeftButton);
    loans->mnuproximo->trigger();
    loans->mnuanterior->trigger();
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(loans->Txtnome->text(), QString());
}

void LoansCommandsTest::closing_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("catalogueShown");
    QTest::newRow("Sair") << "mnusair" << false;
    QTest::newRow("close button") << "ClarkTBButton2_1" << false;
    QTest::newRow("close box") << "" << false;
    QTest::newRow("to the catalogue") << "ClarkTBButton2_0" << true;
}

void LoansCommandsTest::closing()
{
    QFETCH(QString, control);
    QFETCH(bool, catalogueShown);
    OPEN_LOANS(standardObjects(), standardLoans());
    if (control.isEmpty())
        loans->close();
    else if (auto* button = loans->findChild<QAbstractButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        loans->findChild<QAction*>(control)->trigger();

    QVERIFY(!loans->isVisible());
    QVERIFY(!loans->isLoaded());
    QCOMPARE(Frmemprestimos::existing(), loans);  // the instance stays
    QCOMPARE(folder.services.endProcessCalls, 0);  // only this window closes
    Frmobjetos* objects = Frmobjetos::existing();
    QCOMPARE(objects && objects->isVisible(), catalogueShown);
    if (catalogueShown) {
        QVERIFY(objects->isLoaded());
        QCOMPARE(objects->Txtcod->text(), QStringLiteral("A1"));
    }
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

QTEST_MAIN(LoansCommandsTest)
#include "commands_test.moc"
