// Lending an object and taking it back, as a person does it: every step
// through the windows' own widgets (clicks, typed keys), the database file
// read back at the end through a handle of its own.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "collection/collection.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

using namespace loanstest;

namespace {

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

}  // namespace

class LendingEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void lendAndReturn();
};

void LendingEndToEndTest::lendAndReturn()
{
    Folder folder(standardObjects(), standardLoans());
    RecordingServices& services = folder.services;
    const QString alarm = folder.dir.filePath(QStringLiteral("alarme.wav"));
    const QString borrower = QStringLiteral("Joana Guimarães");

    Frmobjetos* f = testutil::shown<Frmobjetos>();
    QVERIFY(showActive(f));

    // 1. Move to "Tropicália" (E5, never lent) by its row on the list tab.
    QTabBar* tabs = f->SSTab1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(f->SSTab1->currentIndex(), 1);
    QAbstractItemModel* model = f->DBGrid1->model();
    int row = -1;
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 0).data().toString() == QLatin1String("E5"))
            row = r;
    }
    QVERIFY(row >= 0);
    const QRect cell = f->DBGrid1->visualRect(model->index(row, 2));
    QTest::mouseClick(f->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(f->Txtcod->text(), QStringLiteral("E5"));
    QVERIFY(f->lblborrow2->text().isEmpty());
    QVERIFY(above(f->imgLight2, f->imgBorrow2));
    QVERIFY(f->cmdEmprestar->isEnabled());

    // 2. "Emprestar": the loans window comes up on a new loan of E5, ready
    //    for the borrower's name.
    services.sounds.clear();
    click(f->cmdEmprestar);
    Frmemprestimos* e = Frmemprestimos::existing();
    QVERIFY(e);
    QVERIFY(QTest::qWaitForWindowActive(e));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(e->Txtnome));
    QCOMPARE(e->Txtcod->text(), QStringLiteral("E5"));
    QCOMPARE(e->Txttítulo->text(), QStringLiteral("Tropicália"));
    QCOMPARE(e->Combo1->currentText(), QStringLiteral("Não"));

    // 3. The borrower typed where the focus is, then "Salvar".
    typeText(QApplication::focusWidget(), borrower);
    QCOMPARE(e->Txtnome->text(), borrower);
    click(e->cmdSalvar);

    // 4. Stored, and the catalogue shows E5 lent to her.
    QVERIFY(folder.storedLoans().contains(QStringLiteral("E5|%1|Não|%2|").arg(borrower, today())));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("E5"));
    QCOMPARE(f->Label1->text(), borrower);
    QCOMPARE(f->lblBorrow->text(), borrower);
    QCOMPARE(f->lblborrow2->text(), borrower);
    for (QLabel* label : {f->lblBorrow, f->lblborrow2})
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(above(f->imgBorrow, f->imgLight));
    QVERIFY(above(f->imgBorrow2, f->imgLight2));
    QVERIFY(!f->cmdEmprestar->isEnabled());
    QVERIFY(!services.sounds.isEmpty());
    QCOMPARE(services.sounds.last(), alarm);
    // The loans window is back to browsing, on the loan just saved.
    QVERIFY(e->cmdEditar->isEnabled());
    QVERIFY(!e->cmdSalvar->isEnabled());
    QCOMPARE(e->Txtnome->text(), borrower);

    // 5. The object comes back: "Editar", "Sim" chosen in "Devolvido ?",
    //    "Salvar".
    click(e->cmdEditar);
    click(e->Combo1);
    for (int i = 0; i < e->Combo1->count() && e->Combo1->currentText() != QLatin1String("Sim"); ++i)
        QTest::keyClick(e->Combo1, Qt::Key_Down);
    QCOMPARE(e->Combo1->currentText(), QStringLiteral("Sim"));
    QVERIFY(above(e->imgLight1, e->imglight2));
    click(e->cmdSalvar);

    // 6. The remarks begin with the dated note; the catalogue shows E5
    //    available again. (On its way there the catalogue passes through its
    //    first object, whose own loan may sound: only the end is checked.)
    QVERIFY2(e->Txtobs->toPlainText().startsWith(QStringLiteral("devolvido em %1\n\n").arg(today())),
             qPrintable(e->Txtobs->toPlainText()));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("E5"));
    QCOMPARE(f->Text2->text(), QStringLiteral("Sim"));
    QVERIFY(f->lblBorrow->text().isEmpty());
    QVERIFY(f->lblborrow2->text().isEmpty());
    QVERIFY(above(f->imgLight, f->imgBorrow));
    QVERIFY(above(f->imgLight2, f->imgBorrow2));
    QVERIFY(f->cmdEmprestar->isEnabled());
    // Nothing was asked and nothing went wrong along the way.
    QVERIFY2(services.messageTexts().isEmpty(), qPrintable(services.messageTexts().join(QLatin1Char('|'))));

    // 7. The file itself, through a handle of its own.
    const auto db = Database::open(folder.path(), QString::fromLatin1(ondrel::db::kConnectString));
    auto rs = db->openRecordset(QStringLiteral("select * from empréstimos where codobjeto = 'E5'"),
                                ondrel::db::RecordsetType::Snapshot);
    QVERIFY(!rs->eof());
    QCOMPARE(rs->text(QStringLiteral("Nome")), borrower);
    QCOMPARE(rs->text(QStringLiteral("Entregue")), QStringLiteral("Sim"));
    QCOMPARE(rs->text(QStringLiteral("Data")), today());
    QCOMPARE(rs->text(QStringLiteral("Título")), QStringLiteral("Tropicália"));
    QVERIFY(rs->text(QStringLiteral("observações")).startsWith(QStringLiteral("devolvido em %1\r\n\r\n").arg(today())));
    rs->moveNext();
    QVERIFY(rs->eof());  // one loan of E5, returned: not a second one
}

QTEST_MAIN(LendingEndToEndTest)
#include "lending_endtoend_test.moc"
