// What the loans window lists and in which order: all loans, the loans not
// returned, the four orders with their check marks, the quick find by title
// and the menu keys that move through the list.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "chrome/quickfind.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

using namespace loanstest;

namespace {

QAction* orderItem(Frmemprestimos* loans, const QString& name)
{
    return loans->findChild<QAction*>(name);
}

// Loans dated out of storage order, titles and names out of order as well.
QList<Loan> mixedLoans()
{
    return {{"B2", "Rui", "Não", "10/03/2004", ""},
            {"A1", "Ana", "Sim", "01/02/2005", ""},
            {"E5", "Lia", "Não", "20/12/2003", ""},
            {"D'A", "Caio", "Sim", "15/07/2004", ""}};
}

}  // namespace

class LoansViewsTest : public QObject {
    Q_OBJECT
private slots:
    void allLoansNewestFirst();
    void notReturnedOnly();
    void orders_data();
    void orders();
    void orderAfterCancelledSearchListsAll();
    void quickFind_data();
    void quickFind();
    void quickFindSearchesOnlyTheListedLoans();
    void quickFindInAnEmptyList();
    void menuKeysMoveFromAnyBox_data();
    void menuKeysMoveFromAnyBox();
    void counterShowsTheLoansInTheFile_data();
    void counterShowsTheLoansInTheFile();
};

void LoansViewsTest::allLoansNewestFirst()
{
    OPEN_LOANS(standardObjects(), mixedLoans());
    // At load: table order, "Código" checked although the list does not follow it.
    QCOMPARE(listed(loans), (QStringList{"Rui", "Ana", "Lia", "Caio"}));
    QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{"mnuordcod"});

    for (int twice = 0; twice < 2; ++twice) {
        loans->mnutodos->trigger();
        QCOMPARE(loans->Data1->recordSource(), QStringLiteral("select * from empréstimos order by data desc"));
        QCOMPARE(listed(loans), (QStringList{"Ana", "Caio", "Rui", "Lia"}));
        QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
        QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 1  de  4"));
        QVERIFY(enabled(loans->mnuordenar));
        QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{"mnuordcod"});
    }
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansViewsTest::notReturnedOnly()
{
    OPEN_LOANS(standardObjects(), mixedLoans());
    loans->mnuordnome->trigger();
    loans->mnuemprestados->trigger();
    QCOMPARE(listed(loans), (QStringList{"Rui", "Lia"}));
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Rui"));
    QVERIFY(!enabled(loans->mnuordenar));
    QVERIFY(enabled(loans->mnumostrar));
    QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{"mnuordnome"});  // untouched

    loans->mnutodos->trigger();
    QVERIFY(enabled(loans->mnuordenar));
    QCOMPARE(listed(loans).size(), 4);
}

void LoansViewsTest::orders_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("code (storage order)") << "mnuordnome" << "mnuordcod" << QStringList{"Rui", "Ana", "Lia", "Caio"};
    QTest::newRow("title") << "mnuordcod" << "mnuordtitulo"
                           << QStringList{"Ana", "Caio", "Lia", "Rui"};  // Dom, O Auto, Tropicália, Veja
    QTest::newRow("name") << "mnudata" << "mnuordnome" << QStringList{"Ana", "Caio", "Lia", "Rui"};
    QTest::newRow("date, newest first") << "mnuordtitulo" << "mnudata" << QStringList{"Ana", "Caio", "Rui", "Lia"};
    QTest::newRow("name after name") << "mnuordnome" << "mnuordnome" << QStringList{"Ana", "Caio", "Lia", "Rui"};
}

void LoansViewsTest::orders()
{
    QFETCH(QString, before);
    QFETCH(QString, item);
    QFETCH(QStringList, names);
    OPEN_LOANS(standardObjects(), mixedLoans());
    orderItem(loans, before)->trigger();
    QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{before});
    loans->sscommand1[0]->click();  // away from the first loan

    orderItem(loans, item)->trigger();
    QCOMPARE(listed(loans), names);
    QCOMPARE(loans->Txtnome->text(), names.first());
    QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{item});
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansViewsTest::orderAfterCancelledSearchListsAll()
{
    OPEN_LOANS(standardObjects(), mixedLoans());
    loans->mnuemprestados->trigger();
    // A cancelled search gives "Ordenar" back while the not-returned list stays.
    loans->mnuordenar->setEnabled(true);
    loans->mnudata->trigger();
    QCOMPARE(listed(loans), (QStringList{"Ana", "Caio", "Rui", "Lia"}));
}

void LoansViewsTest::quickFind_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("message");
    QTest::newRow("exact, other case") << "dom casmurro" << "Ana" << false;
    QTest::newRow("part without wildcard") << "Dom" << "Bruno" << true;
    QTest::newRow("wildcard") << "trop*" << "Lia" << false;
    QTest::newRow("cancelled (empty)") << "" << "Bruno" << true;
    QTest::newRow("apostrophe in the title") << "Gota d'Água" << "Gil" << false;
    QTest::newRow("apostrophe, no such title") << "x' or 'a'='a" << "Bruno" << true;
    QTest::newRow("the name is not searched") << "Ana" << "Bruno" << true;
}

void LoansViewsTest::quickFind()
{
    QFETCH(QString, typed);
    QFETCH(QString, current);
    QFETCH(bool, message);
    Folder folder;
    QList<QStringList> objects = standardObjects();
    objects << QStringList{"G7", "Livro", "Gota d'Água", "Chico Buarque"};
    folder.create(objects, {{"B2", "Bruno", "Não", "01/01/2004", ""},
                            {"A1", "Ana", "Sim", "02/01/2004", ""},
                            {"G7", "Gil", "Não", "03/01/2004", ""},
                            {"A1", "Alice", "Não", "04/01/2004", ""},
                            {"E5", "Lia", "Não", "05/01/2004", ""}});
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->sscommand1[0]->click();
    loans->sscommand1[0]->click();

    folder.services.inputBoxAnswers.enqueue(typed);
    loans->mnuprocurar->trigger();
    QCOMPARE(folder.services.inputBoxes.size(), 1);
    QCOMPARE(folder.services.inputBoxes[0].prompt, QStringLiteral("Digite o Título (ou Nome) do Objeto "));
    QCOMPARE(folder.services.inputBoxes[0].title, QStringLiteral("Procura o Título"));
    QCOMPARE(folder.services.inputBoxes[0].defaultText, QString());
    QCOMPARE(loans->Txtnome->text(), current);
    if (message) {
        QCOMPARE(folder.services.messageBoxes.size(), 1);
        QCOMPARE(folder.services.messageBoxes[0].text, QStringLiteral("Objeto Não Encontrado"));
        QCOMPARE(folder.services.messageBoxes[0].buttons, int(ondrel::platform::OkOnly));
        QCOMPARE(folder.services.messageBoxes[0].icon, int(ondrel::platform::Exclamation));
        QCOMPARE(folder.services.messageBoxes[0].title, QStringLiteral("Ulmix"));
    } else {
        QVERIFY(folder.services.messageBoxes.isEmpty());
    }
    // The texts are the program's, shared with the catalogue's quick find.
    QCOMPARE(ondrel::chrome::quickFindTexts().Titulo, typed);
    QCOMPARE(ondrel::chrome::quickFindTexts().Criterio, ondrel::chrome::titleCriteria(typed));
}

void LoansViewsTest::quickFindSearchesOnlyTheListedLoans()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    loans->mnuemprestados->trigger();  // Bruno, Davi, Elisa
    folder.services.inputBoxAnswers.enqueue(QStringLiteral("Dom Casmurro"));
    loans->mnuprocurar->trigger();
    // Ana and Carla (returned) are not listed: the first listed loan of the title.
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Elisa"));
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansViewsTest::quickFindInAnEmptyList()
{
    OPEN_LOANS(standardObjects(), {{"A1", "Ana", "Sim", "01/02/2003", ""}});
    loans->mnuemprestados->trigger();
    QCOMPARE(listed(loans), QStringList{});
    folder.services.inputBoxAnswers.enqueue(QStringLiteral("Dom Casmurro"));
    loans->mnuprocurar->trigger();
    // The message alone: no error about a missing current record.
    QCOMPARE(folder.services.messageTexts(), QStringList{"Objeto Não Encontrado"});
}

void LoansViewsTest::menuKeysMoveFromAnyBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("grid") << "DBGrid1";
    QTest::newRow("name box") << "Txtnome";
    QTest::newRow("remarks") << "Txtobs";
    QTest::newRow("returned list") << "Combo1";
}

void LoansViewsTest::menuKeysMoveFromAnyBox()
{
    QFETCH(QString, box);
    OPEN_LOANS(standardObjects(), standardLoans());
    QWidget* focus = loans->findChild<QWidget*>(box);
    QVERIFY(focus);
    focus->setFocus();
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);

    QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Bruno"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
    // At the first loan "previous" stays there.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Fábio"));
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 6  de  6"));
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansViewsTest::counterShowsTheLoansInTheFile_data()
{
    QTest::addColumn<bool>("add");
    QTest::addColumn<QString>("counter");  // after the next move
    QTest::newRow("deleted by another handle") << false << " Registro : 2  de  3";
    QTest::newRow("added by another handle") << true << " Registro : 2  de  5";
}

void LoansViewsTest::counterShowsTheLoansInTheFile()
{
    QFETCH(bool, add);
    QFETCH(QString, counter);
    OPEN_LOANS(standardObjects(), mixedLoans());
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 1  de  4"));
    if (add) {
        folder.addLoan({"A1", "Zé", "Não", "01/01/2006", ""});
    } else {
        auto other = folder.open()->openRecordset(QStringLiteral("empréstimos"));
        other->moveLast();
        other->deleteRecord();
    }
    loans->mnuproximo->trigger();
    QCOMPARE(loans->Data1->caption(), counter);
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

QTEST_MAIN(LoansViewsTest)
#include "views_test.moc"
