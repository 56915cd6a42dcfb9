// Due dates in the loans window: the box "Devolver até" of a new loan, the
// collection's loan period set from the menu, and the view "Atrasados" with
// its order, menus, counter and search.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "collection/duedates.h"
#include "database_testutil.h"
#include "search/Frmpesquisa.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

using namespace loanstest;
using ondrel::search::Frmpesquisa;

namespace {

const QDate kToday(2024, 3, 1);

// Late on 1 March 2024 by the default 30 days: Rui (due 02/02), Lia (no due
// date, 15/01 + 30 = 14/02); not late: Ana (returned), Caio (due today),
// Gil ("não" is no open loan for the rule).
QList<Loan> datedLoans()
{
    return {{"A1", "Ana", "Sim", "01/01/2024", "", "10/01/2024"},
            {"B2", "Rui", "Não", "03/01/2024", "", "02/02/2024"},
            {"E5", "Lia", "Não", "15/01/2024", ""},
            {"D'A", "Caio", "Não", "10/02/2024", "", "01/03/2024"},
            {"A1", "Gil", "não", "01/01/2024", ""}};
}

QString storedDue(Folder& folder, const QString& name)
{
    auto rs = folder.open()->openRecordset(QStringLiteral("select * from empréstimos where nome = '") + name + u'\'');
    return rs->eof() ? QStringLiteral("(nenhum)") : rs->text(QStringLiteral("prazo"));
}

}  // namespace

class LoansDueDatesTest : public QObject {
    Q_OBJECT
private slots:
    void newLoanIsDueAfterThePeriod_data();
    void newLoanIsDueAfterThePeriod();
    void periodRefused_data();
    void periodRefused();
    void lateLoansView();
    void searchFromTheLateLoans();
    void olderReadOnlyFileHasNoDueDates();
};

void LoansDueDatesTest::newLoanIsDueAfterThePeriod_data()
{
    QTest::addColumn<bool>("fromCatalogue");
    QTest::addColumn<QString>("period");  // typed in the menu's box; empty: never asked
    QTest::addColumn<QString>("due");
    QTest::newRow("Novo, 30 days") << false << "" << "31/03/2024";
    QTest::newRow("Novo, 7 days") << false << "7" << "08/03/2024";
    QTest::newRow("Emprestar, 30 days") << true << "" << "31/03/2024";
    QTest::newRow("Emprestar, 365 days") << true << " 365 " << "01/03/2025";
}

void LoansDueDatesTest::newLoanIsDueAfterThePeriod()
{
    QFETCH(bool, fromCatalogue);
    QFETCH(QString, period);
    QFETCH(QString, due);
    OPEN_LOANS(standardObjects(), standardLoans());
    folder.services.day = kToday;
    if (!period.isEmpty()) {
        folder.services.inputBoxAnswers.enqueue(period);
        loans->mnuprazo->trigger();
        QCOMPARE(folder.services.inputBoxes.last().defaultText, QStringLiteral("30"));
        QCOMPARE(ondrel::db::loanPeriod(*folder.open()), period.trimmed().toInt());
    }
    if (fromCatalogue)
        loans->startLoanOf({"E5", "Disco (CD)", "Tropicália", "Vários"});
    else
        startLoan(loans, QStringLiteral("E5"), QString());
    QCOMPARE(loans->mskdata->text(), QStringLiteral("01/03/2024"));
    QCOMPARE(loans->mskprazo->text(), due);
    // The person may change it; it is stored as typed.
    retype(loans->mskprazo, QStringLiteral("5/4/2024"));
    retype(loans->Txtnome, QStringLiteral("Zeca"));
    click(loans->cmdSalvar);
    QCOMPARE(storedDue(folder, QStringLiteral("Zeca")), QStringLiteral("05/04/2024"));
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansDueDatesTest::periodRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("message");
    QTest::newRow("cancelled") << "" << false;
    QTest::newRow("not a number") << "um mês" << true;
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("past ten years") << "3651" << true;
}

void LoansDueDatesTest::periodRefused()
{
    QFETCH(QString, typed);
    QFETCH(bool, message);
    OPEN_LOANS(standardObjects(), standardLoans());
    folder.services.inputBoxAnswers.enqueue(QStringLiteral("12"));
    loans->mnuprazo->trigger();
    folder.services.inputBoxAnswers.enqueue(typed);
    loans->mnuprazo->trigger();
    QCOMPARE(ondrel::db::loanPeriod(*folder.open()), 12);
    QCOMPARE(folder.services.messageBoxes.size(), message ? 1 : 0);
    if (message)
        QVERIFY(folder.services.messageTexts().first().contains(QStringLiteral("continua de 12 dias")));
}

void LoansDueDatesTest::lateLoansView()
{
    OPEN_LOANS(standardObjects(), datedLoans());
    folder.services.day = kToday;
    loans->mnuordnome->trigger();
    loans->mnuatrasados->trigger();
    QCOMPARE(listed(loans), (QStringList{"Rui", "Lia"}));
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Rui"));
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 1  de  5"));
    QVERIFY(!enabled(loans->mnuordenar));
    QVERIFY(loans->mnuordnome->isChecked());
    // A longer period: only Rui, whose due date is his own.
    folder.services.inputBoxAnswers.enqueue(QStringLiteral("60"));
    loans->mnuprazo->trigger();
    QCOMPARE(listed(loans), QStringList{"Rui"});
    loans->mnutodos->trigger();
    QVERIFY(enabled(loans->mnuordenar));
    QCOMPARE(listed(loans).size(), 5);
}

void LoansDueDatesTest::searchFromTheLateLoans()
{
    OPEN_LOANS(standardObjects(), datedLoans());
    folder.services.day = kToday;
    for (const bool late : {false, true}) {
        (late ? loans->mnuatrasados : loans->mnuemprestados)->trigger();
        bool scopeLate = false;
        QVERIFY(testutil::answerDialog<Frmpesquisa>([&] { loans->cmdSeleciona->click(); },
                                                    [&](Frmpesquisa* d) {
                                                        scopeLate = d->Option3->isChecked();
                                                        d->Combo1->setEditText(QStringLiteral("Nome"));
                                                        d->Text1->setText(QStringLiteral("i"));
                                                        d->Command1[0]->click();
                                                    }));
        QCOMPARE(scopeLate, late);
        // "i" in every loan but Ana's (from "Emprestados" the dialog starts on
        // "Todos", as it always has); of the late loans only Rui and Lia.
        QCOMPARE(listed(loans), late ? (QStringList{"Rui", "Lia"}) : (QStringList{"Rui", "Lia", "Caio", "Gil"}));
        loans->cmdFechar->click();
    }
}

void LoansDueDatesTest::olderReadOnlyFileHasNoDueDates()
{
    Folder folder(standardObjects(), datedLoans());
    folder.services.day = kToday;
    QCOMPARE(testutil::dropDueDates(folder.path()), QString());
    ondrel::db::forceReadOnlyOpen(folder.path(), true);
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    QVERIFY(!loans->mskprazo->isEnabled());
    loans->mnuatrasados->trigger();
    // By the period alone: Rui (03/01 + 30) and Lia (15/01 + 30).
    QCOMPARE(listed(loans), (QStringList{"Rui", "Lia"}));
    ondrel::db::forceReadOnlyOpen(folder.path(), false);
}

QTEST_MAIN(LoansDueDatesTest)
#include "duedates_test.moc"
