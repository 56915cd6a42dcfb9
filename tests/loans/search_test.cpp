// The loans window's search commands: opening a search, closing it, cancelling
// it, and a refused save while one is open.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
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

class LoansSearchTest : public QObject {
    Q_OBJECT
private slots:
    void searchThenCloseSearch();
    void searchMenusRunTheButtons();
    void searchCancelledTwice();
    void closeDuringSearchStartsLoaded();
    void refusedSaveChangesNothing_data();
    void refusedSaveChangesNothing();
};

void LoansSearchTest::searchThenCloseSearch()
{
    OPEN_LOANS(standardObjects(), standardLoans());
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

void LoansSearchTest::searchMenusRunTheButtons()
{
    OPEN_LOANS(standardObjects(), standardLoans());
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

void LoansSearchTest::searchCancelledTwice()
{
    OPEN_LOANS(standardObjects(), standardLoans());
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

void LoansSearchTest::closeDuringSearchStartsLoaded()
{
    OPEN_LOANS(standardObjects(), standardLoans());
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

void LoansSearchTest::refusedSaveChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("all loans") << "mnutodos";
    QTest::newRow("not returned") << "mnuemprestados";
    QTest::newRow("order by name") << "mnuordnome";
    QTest::newRow("close the search") << "mnufecharpesquisa";
    QTest::newRow("search dialog Ok") << "Ok";
}

void LoansSearchTest::refusedSaveChangesNothing()
{
    QFETCH(QString, command);
    OPEN_LOANS(standardObjects(), standardLoans());
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


QTEST_MAIN(LoansSearchTest)
#include "search_test.moc"
