// The loans window's own commands: opening and closing a search, the moves,
// switching to the catalogue and closing, the hover texts, the home link and
// help.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <functional>

using namespace loanstest;
using ondrel::platform::Pointer;
using ondrel::search::Frmpesquisa;
using testutil::answerDialog;

namespace {

// What the dialog looked like when it came up.
struct DialogSeen {
    bool shown = false;
    QStringList entries;
    QString field;
    bool loansCaller = false;
    bool objectsCaller = false;
    bool all = false;
    bool scopeVisible = false;
    // The loans window while the dialog is up.
    bool ordenar = true, mostrar = true, fechar = false, closeButtonInFront = false;
    QString panel;
};

// Clicks the search button; once the dialog is up, records it and lets
// `answer` do the user's part (which must close it).
DialogSeen search(Frmemprestimos* loans, QWidget* trigger, const std::function<void(Frmpesquisa*)>& answer)
{
    DialogSeen seen;
    const auto record = [&](Frmpesquisa* d) {
        for (int i = 0; i < d->Combo1->count(); ++i)
            seen.entries << d->Combo1->itemText(i);
        seen.field = d->Combo1->currentText();
        seen.loansCaller = d->Optemprestimo->isChecked();
        seen.objectsCaller = d->Optobjeto->isChecked();
        seen.all = d->Option1->isChecked();
        seen.scopeVisible = d->Frame2->isVisible() && above(d->Frame2, d->Frame1);
        seen.ordenar = enabled(loans->mnuordenar);
        seen.mostrar = enabled(loans->mnumostrar);
        seen.fechar = loans->mnufecharpesquisa->isEnabled();
        seen.closeButtonInFront = above(loans->cmdFechar, loans->cmdSeleciona);
        seen.panel = loans->lblpanel->text();
        answer(d);
    };
    seen.shown = answerDialog<Frmpesquisa>(
        [trigger] {
            if (auto* button = qobject_cast<QAbstractButton*>(trigger))
                button->click();
        },
        record);
    return seen;
}

const QStringList kLoanFields{"Nome", "Objeto", "Título", "Autor(a)"};

// What the view commands change: the list, its menus and buttons, the status
// label, and the date typed on screen.
QString viewState(Frmemprestimos* loans)
{
    QStringList state{loans->Data1->recordSource(), listed(loans).join(QLatin1Char(',')), loans->lblpanel->text(),
                      loans->mskdata->text(), above(loans->cmdFechar, loans->cmdSeleciona) ? "cmdFechar" : "cmdSeleciona"};
    for (QAction* a : {loans->mnuordcod, loans->mnuordtitulo, loans->mnuordnome, loans->mnudata})
        state << QString::number(a->isChecked());
    for (QAction* a : {loans->mnuordenar->menuAction(), loans->mnumostrar->menuAction(), loans->mnufecharpesquisa})
        state << QString::number(a->isEnabled());
    return state.join(QLatin1Char('|'));
}

}  // namespace

class LoansCommands2Test : public QObject {
    Q_OBJECT
private slots:
    void searchThenCloseSearch();
    void searchMenusRunTheButtons();
    void searchCancelledTwice();
    void closeDuringSearchStartsLoaded();
    void refusedSaveChangesNothing_data();
    void refusedSaveChangesNothing();
    void moves_data();
    void moves();
    void movesInAnEmptyList();
    void closing_data();
    void closing();
    void hoverTexts_data();
    void hoverTexts();
    void hoverFromSearchToHelp();
    void homeLink();
    void helpAndAbout();
    void f1OpensTheHelpFile();
};

void LoansCommands2Test::searchThenCloseSearch()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->mnuordnome->trigger();
    loans->lblpanel->setText(QStringLiteral("antes"));

    const DialogSeen seen = search(loans, loans->cmdSeleciona, [](Frmpesquisa* d) {
        d->Combo1->setEditText(QStringLiteral("Título"));
        d->Text1->setText(QStringLiteral("casm"));
        d->Command1[0]->click();
    });
    QVERIFY(seen.shown);
    QCOMPARE(seen.entries, kLoanFields);
    QCOMPARE(seen.field, QStringLiteral("Nome"));
    QVERIFY(seen.loansCaller);
    QVERIFY(!seen.objectsCaller);
    QVERIFY(seen.all);
    QVERIFY(seen.scopeVisible);
    QVERIFY(!seen.ordenar);
    QVERIFY(!seen.mostrar);
    QVERIFY(seen.fechar);
    QVERIFY(seen.closeButtonInFront);
    QCOMPARE(seen.panel, QString());

    // Searching, now listing the result.
    QCOMPARE(listed(loans), (QStringList{"Ana", "Carla", "Elisa"}));
    QVERIFY(above(loans->cmdFechar, loans->cmdSeleciona));
    QVERIFY(loans->mnufecharpesquisa->isEnabled());
    QVERIFY(!enabled(loans->mnuordenar));
    QVERIFY(!enabled(loans->mnumostrar));

    loans->lblpanel->setText(QStringLiteral("Fechar Pesquisa"));
    QTest::mouseClick(loans->cmdFechar, Qt::LeftButton);
    QCOMPARE(loans->Data1->recordSource(), QStringLiteral("select * from empréstimos order by data desc"));
    QCOMPARE(listed(loans), (QStringList{"Fábio", "Elisa", "Davi", "Carla", "Bruno", "Ana"}));
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Fábio"));
    QCOMPARE(loans->lblpanel->text(), QString());
    QVERIFY(above(loans->cmdSeleciona, loans->cmdFechar));
    QVERIFY(!loans->mnufecharpesquisa->isEnabled());
    QVERIFY(enabled(loans->mnuordenar));
    QVERIFY(enabled(loans->mnumostrar));
    QVERIFY(loans->mnuordnome->isChecked());  // check marks untouched
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansCommands2Test::searchMenusRunTheButtons()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    QVERIFY(answerDialog<Frmpesquisa>([&] { loans->mnupesquisa->trigger(); }, [](Frmpesquisa* d) {
        d->Combo1->setEditText(QStringLiteral("Nome"));
        d->Text1->setText(QStringLiteral("a"));
        d->Option2->setChecked(true);  // only the loans not returned
        d->Command1[0]->click();
    }));
    QCOMPARE(listed(loans), (QStringList{"Davi", "Elisa"}));
    loans->mnufecharpesquisa->trigger();
    QCOMPARE(listed(loans).size(), 6);
    QVERIFY(above(loans->cmdSeleciona, loans->cmdFechar));
    QVERIFY(!loans->mnufecharpesquisa->isEnabled());
}

void LoansCommands2Test::searchCancelledTwice()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->mnuemprestados->trigger();
    const QStringList before = listed(loans);
    for (int time = 0; time < 2; ++time) {
        const DialogSeen seen = search(loans, loans->cmdSeleciona, [](Frmpesquisa* d) { d->Command1[1]->click(); });
        QVERIFY(seen.shown);
        QCOMPARE(seen.entries, kLoanFields);  // once each, the second time too
        QCOMPARE(seen.field, QStringLiteral("Nome"));
        QVERIFY(seen.all);
        // Back to the list shown before, everything available again.
        QCOMPARE(listed(loans), before);
        QVERIFY(enabled(loans->mnuordenar));
        QVERIFY(enabled(loans->mnumostrar));
        QVERIFY(!loans->mnufecharpesquisa->isEnabled());
        QVERIFY(above(loans->cmdSeleciona, loans->cmdFechar));
    }
}

void LoansCommands2Test::closeDuringSearchStartsLoaded()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->mnudata->trigger();
    QVERIFY(search(loans, loans->cmdSeleciona, [](Frmpesquisa* d) {
                d->Text1->setText(QStringLiteral("Bruno"));
                d->Command1[0]->click();
            }).shown);
    QCOMPARE(listed(loans), QStringList{"Bruno"});
    loans->mnusair->trigger();
    QVERIFY(!loans->isVisible());
    QVERIFY(!loans->isLoaded());

    loans = openLoans();
    QVERIFY(loans);
    QCOMPARE(loans->Data1->recordSource(), QStringLiteral("select * from empréstimos"));
    QCOMPARE(listed(loans), (QStringList{"Ana", "Bruno", "Carla", "Davi", "Elisa", "Fábio"}));
    QVERIFY(above(loans->cmdSeleciona, loans->cmdFechar));
    QVERIFY(!loans->mnufecharpesquisa->isEnabled());
    QVERIFY(enabled(loans->mnuordenar));
    QVERIFY(enabled(loans->mnumostrar));
    QVERIFY(loans->mnuordcod->isChecked());
    QVERIFY(!loans->mnudata->isChecked());
}

void LoansCommands2Test::refusedSaveChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("all loans") << "mnutodos";
    QTest::newRow("not returned") << "mnuemprestados";
    QTest::newRow("order by name") << "mnuordnome";
    QTest::newRow("close the search") << "mnufecharpesquisa";
    QTest::newRow("search dialog Ok") << "Ok";
}

void LoansCommands2Test::refusedSaveChangesNothing()
{
    QFETCH(QString, command);
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    const auto typeCasm = [](Frmpesquisa* d) {
        d->Combo1->setEditText(QStringLiteral("Título"));
        d->Text1->setText(QStringLiteral("casm"));
    };
    if (command == QLatin1String("mnufecharpesquisa"))
        QVERIFY(search(loans, loans->cmdSeleciona, [&](Frmpesquisa* d) { typeCasm(d); d->Command1[0]->click(); }).shown);
    loans->lblpanel->setText(QStringLiteral("painel"));
    // A date the engine cannot store, typed while browsing.
    loans->mskdata->setFocus();
    loans->mskdata->selectAll();
    typeText(loans->mskdata, QStringLiteral("31/02/2003"));

    QString before, after;
    if (command == QLatin1String("Ok")) {
        QVERIFY(search(loans, loans->cmdSeleciona, [&](Frmpesquisa* d) {
            typeCasm(d);
            before = viewState(loans);
            d->Command1[0]->click();
            after = viewState(loans);
            QVERIFY(d->isVisible());  // the dialog stays for another try or "&Cancela"
            d->reject();
        }).shown);
    } else {
        before = viewState(loans);
        loans->findChild<QAction*>(command)->trigger();
        after = viewState(loans);
    }
    // The engine's reason, told once; nothing else changed.
    QCOMPARE(folder.services.messageBoxes.size(), 1);
    QCOMPARE(folder.services.messageBoxes.first().icon, int(ondrel::platform::Critical));
    QCOMPARE(after, before);
    QCOMPARE(loans->mskdata->text(), QStringLiteral("31/02/2003"));
}

void LoansCommands2Test::moves_data()
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

void LoansCommands2Test::moves()
{
    QFETCH(int, start);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(int, position);
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->Data1->recordset()->setAbsolutePosition(start);
    if (auto* button = loans->findChild<QAbstractButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        loans->findChild<QAction*>(control)->trigger();
    QCOMPARE(loans->Txtnome->text(), name);
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : %1  de  6").arg(position));
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansCommands2Test::movesInAnEmptyList()
{
    Folder folder;
    folder.create(standardObjects(), {});
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    for (int i : {0, 1, 0})
        QTest::mouseClick(loans->sscommand1[i], Qt::LeftButton);
    loans->mnuproximo->trigger();
    loans->mnuanterior->trigger();
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(loans->Txtnome->text(), QString());
}

void LoansCommands2Test::closing_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("catalogueShown");
    QTest::newRow("Sair") << "mnusair" << false;
    QTest::newRow("close button") << "ClarkTBButton2_1" << false;
    QTest::newRow("close box") << "" << false;
    QTest::newRow("to the catalogue") << "ClarkTBButton2_0" << true;
}

void LoansCommands2Test::closing()
{
    QFETCH(QString, control);
    QFETCH(bool, catalogueShown);
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
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

void LoansCommands2Test::hoverTexts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("to the catalogue") << "ClarkTBButton2_0" << "Tela Objetos";
    QTest::newRow("close") << "ClarkTBButton2_1" << "Fechar";
    QTest::newRow("search") << "cmdSeleciona" << "Pesquisar...";
    QTest::newRow("close search") << "cmdFechar" << "Fechar Pesquisa";
    QTest::newRow("next (member 0)") << "sscommand1_0" << "Próximo Registro";
    QTest::newRow("previous (member 1)") << "sscommand1_1" << "Registro Anterior";
    QTest::newRow("help") << "ctbajuda" << "Ajuda";
    QTest::newRow("home") << "cmdHome" << QString();  // the home page of the test's plug-in folder
    QTest::newRow("record button: none") << "cmdNovo" << "antes";
}

void LoansCommands2Test::hoverTexts()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    auto* b = loans->findChild<QWidget*>(button);
    QVERIFY(b);
    loans->lblpanel->setText(QStringLiteral("antes"));
    enter(b);
    QCOMPARE(loans->lblpanel->text(), text.isEmpty() ? ondrel::chrome::homePage() : text);
    leave(b);
    QCOMPARE(loans->lblpanel->text(), text == QStringLiteral("antes") ? text : QString());
}

void LoansCommands2Test::hoverFromSearchToHelp()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    // Moving the real mouse across the bar: search button, then help button.
    QTest::mouseMove(loans->cmdSeleciona);
    QTRY_COMPARE(loans->lblpanel->text(), QStringLiteral("Pesquisar..."));
    QTest::mouseMove(loans->ctbajuda);
    QTRY_COMPARE(loans->lblpanel->text(), QStringLiteral("Ajuda"));
}

void LoansCommands2Test::homeLink()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    QCOMPARE(loans->cmdHome->caption(), ondrel::chrome::makerName());

    enter(loans->cmdHome);
    QCOMPARE(loans->lblpanel->text(), ondrel::chrome::homePage());
    QCOMPARE(loans->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseClick(loans->cmdHome, Qt::LeftButton);
    QCOMPARE(folder.services.opened, QStringList{ondrel::chrome::homePage()});
    QCOMPARE(loans->lblpanel->text(), QString());
    // The pointing hand stays while the mouse is on the button.
    QCOMPARE(loans->cursor().shape(), Qt::BitmapCursor);
    leave(loans->cmdHome);
    QCOMPARE(loans->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansCommands2Test::helpAndAbout()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);

    loans->lblpanel->setText(QStringLiteral("Ajuda"));
    QTest::mouseClick(loans->ctbajuda, Qt::LeftButton);
    QCOMPARE(loans->lblpanel->text(), QString());
    QCOMPARE(folder.services.keysSent, QStringList{"{f1}"});

    loans->lblpanel->setText(QStringLiteral("fica"));
    loans->mnuhelp->trigger();
    QCOMPARE(folder.services.keysSent, (QStringList{"{f1}", "{f1}"}));
    QCOMPARE(loans->lblpanel->text(), QStringLiteral("fica"));

    loans->mnusobre->trigger();  // no handler: nothing at all
    QCOMPARE(folder.services.keysSent.size(), 2);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QVERIFY(folder.services.opened.isEmpty());
    QCOMPARE(loans->lblpanel->text(), QStringLiteral("fica"));
    QVERIFY(!ondrel::chrome::HelpViewer::current());
}

void LoansCommands2Test::f1OpensTheHelpFile()
{
    Folder folder;
    folder.create(standardObjects(), standardLoans());
    {
        QFile help(folder.dir.filePath(QStringLiteral("Ulmix.hlp")));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("Empréstimos: quem levou cada objeto.");
    }
    // The help file of this plug-in folder, as the catalogue registers it.
    ondrel::chrome::registerHelpFile();
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->Txtnome->setFocus();
    QTest::keyClick(loans->Txtnome, Qt::Key_F1);
    ondrel::chrome::HelpViewer* viewer = ondrel::chrome::HelpViewer::current();
    QVERIFY(viewer);
    QCOMPARE(viewer->browser()->toPlainText(), QStringLiteral("Empréstimos: quem levou cada objeto."));
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(LoansCommands2Test)
#include "search_test.moc"
