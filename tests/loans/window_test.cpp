// The loans window as it opens, closes and reopens, its toolbars as shown,
// the returned indicator and the limits of its boxes.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"
#include "widgets/toolbarbar.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

using namespace loanstest;
using ondrel::platform::LimitedTextEdit;

namespace {

bool inFront(QWidget* a, QWidget* b)
{
    const QObjectList& siblings = a->parent()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

// Positions the catalogue on a code (a shown, loaded catalogue window).
Frmobjetos* catalogueOn(const QString& code)
{
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    if (!code.isEmpty())
        objects->Data1->recordset()->findFirst(QStringLiteral("cod='") + ondrel::db::literal(code) + "'");
    return objects;
}

}  // namespace

class LoansWindowTest : public QObject {
    Q_OBJECT
private slots:
    void toolbarLayout_data();
    void toolbarLayout();
    void opensOnLastLoanOfCatalogueCode_data();
    void opensOnLastLoanOfCatalogueCode();
    void closeAndReopenStartsOnFirstLoanAndRecounts();
    void missingDatabaseOpensEmpty();
    void returnedIndicator_data();
    void returnedIndicator();
    void initialStateOfControls();
    void remarksTypingStopsAtRecordLength();
    void typingAndPastingStopAtFieldLength_data();
    void typingAndPastingStopAtFieldLength();
};

void LoansWindowTest::toolbarLayout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("as it opens") << QSize();
    QTest::newRow("wider and taller") << QSize(1100, 760);
}

void LoansWindowTest::toolbarLayout()
{
    QFETCH(QSize, size);
    OPEN_LOANS(standardObjects(), standardLoans());
    if (size.isValid())
        loans->resize(size);
    QTest::qWait(10);
    const QString fault = testutil::toolbarFault(
        loans->ctbBar, {loans->cmdNovo, loans->cmdSalvar, loans->cmdEditar, loans->cmdExcluir, loans->cmdCancelar},
        loans->Image2, loans->ctbBar2, loans->ClarkTBButton2[1]);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void LoansWindowTest::opensOnLastLoanOfCatalogueCode_data()
{
    QTest::addColumn<QString>("catalogueCode");  // "-" : no catalogue window
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("position");
    QTest::newRow("several loans: the last stored") << "A1" << "Elisa" << 5;
    QTest::newRow("apostrophe in the code") << "D'A" << "Davi" << 4;
    QTest::newRow("never lent: first loan") << "E5" << "Ana" << 1;
    QTest::newRow("no catalogue window: first loan") << "-" << "Ana" << 1;
}

void LoansWindowTest::opensOnLastLoanOfCatalogueCode()
{
    QFETCH(QString, catalogueCode);
    QFETCH(QString, name);
    QFETCH(int, position);
    Folder folder(standardObjects(), standardLoans());
    if (catalogueCode != QStringLiteral("-")) {
        QCOMPARE(catalogueOn(catalogueCode)->Txtcod->text(), catalogueCode);
    }

    Frmemprestimos* loans = Frmemprestimos::instance();
    QVERIFY(loans->isLoaded());
    QCOMPARE(loans->Txtnome->text(), name);
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : %1  de  6").arg(position));
    // Showing it does not open the record source again.
    loans->Show();
    QCOMPARE(loans->Txtnome->text(), name);
    QCOMPARE(Frmemprestimos::instance(), loans);
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansWindowTest::closeAndReopenStartsOnFirstLoanAndRecounts()
{
    Folder folder(standardObjects(), standardLoans());
    catalogueOn(QStringLiteral("B2"));
    Frmemprestimos* loans = testutil::shown<Frmemprestimos>();
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Fábio"));
    loans->Cmdeditar_Click();
    QVERIFY(loans->Editando);

    QVERIFY(loans->close());
    QCOMPARE(Frmemprestimos::existing(), loans);  // the instance is kept
    QVERIFY(!loans->isLoaded());
    QVERIFY(!loans->BancoDados);
    QVERIFY(loans->Txtnome->text().isEmpty());
    QVERIFY(!loans->Txtcod->isEnabled());
    QVERIFY(loans->cmdNovo->isEnabled());
    QVERIFY(!loans->cmdSalvar->isEnabled());
    // Nothing typed or pending was stored.
    QCOMPARE(folder.storedLoans().size(), 6);

    folder.addLoan({"E5", "Gil", "Não", "07/02/2003", ""});
    loans->Show();
    QVERIFY(loans->isLoaded());
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
    QVERIFY(!loans->Editando);
    QCOMPARE(loans->TotalRegistros, 7);
    QCOMPARE(loans->Data1->caption(), QStringLiteral(" Registro : 1  de  7"));
    QCOMPARE(loans->GridModel->rowCount(), 7);

    // A reference after closing loads it too.
    loans->close();
    QCOMPARE(Frmemprestimos::instance(), loans);
    QVERIFY(loans->isLoaded());
    QCOMPARE(loans->Txtnome->text(), QStringLiteral("Ana"));
}

void LoansWindowTest::missingDatabaseOpensEmpty()
{
    Folder folder;
    Frmemprestimos* loans = testutil::shown<Frmemprestimos>();
    QVERIFY(loans->isLoaded());
    QVERIFY(!loans->BancoDados);
    QCOMPARE(loans->CaminhoBanco, folder.path());
    QCOMPARE(loans->TotalRegistros, 0);
    QCOMPARE(loans->GridModel->rowCount(), 0);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(folder.services.pointer(), ondrel::platform::Pointer::Default);
}

void LoansWindowTest::returnedIndicator_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("redLamp");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("foreground");
    const QColor white(255, 255, 255), black(0, 0, 0), red(255, 0, 0);
    QTest::newRow("empty") << QStringList{"Não", ""} << false << white << black;
    QTest::newRow("Sim") << QStringList{"Não", "Sim"} << false << white << black;
    QTest::newRow("Não") << QStringList{"Sim", "Não"} << true << black << red;
    QTest::newRow("não keeps the red look") << QStringList{"Não", "não"} << true << black << red;
    QTest::newRow("não keeps the grey look") << QStringList{"Sim", "não"} << false << white << black;
    QTest::newRow("SIM changes nothing") << QStringList{"Não", "SIM"} << true << black << red;
}

void LoansWindowTest::returnedIndicator()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, redLamp);
    QFETCH(QColor, background);
    QFETCH(QColor, foreground);
    Folder folder;
    Frmemprestimos* loans = Frmemprestimos::instance();
    // Right after loading: the grey lamp, white with black text.
    QVERIFY(inFront(loans->imgLight1, loans->imglight2));
    QCOMPARE(loans->Combo1->palette().color(QPalette::Base), QColor(Qt::white));

    QVERIFY(showActive(loans));
    for (const QString& text : texts) {
        loans->Combo1->lineEdit()->selectAll();
        if (text.isEmpty())
            QTest::keyClick(loans->Combo1->lineEdit(), Qt::Key_Backspace);
        else
            typeText(loans->Combo1->lineEdit(), text);
        QCOMPARE(loans->Combo1->currentText(), text);
    }
    QCOMPARE(inFront(loans->imglight2, loans->imgLight1), redLamp);
    QCOMPARE(loans->Combo1->palette().color(QPalette::Base), background);
    QCOMPARE(loans->Combo1->palette().color(QPalette::Text), foreground);
}

void LoansWindowTest::initialStateOfControls()
{
    Folder folder(standardObjects(), standardLoans());
    Frmemprestimos* loans = Frmemprestimos::instance();
    QCOMPARE(loans->windowTitle(), QStringLiteral("Empréstimos"));
    // The toolbar in the browsing pattern, the menu's five items enabled.
    QVERIFY(loans->cmdNovo->isEnabled() && loans->cmdEditar->isEnabled() && loans->cmdExcluir->isEnabled());
    QVERIFY(!loans->cmdSalvar->isEnabled() && !loans->cmdCancelar->isEnabled());
    for (QAction* a : {loans->mnunovo, loans->mnusalvar, loans->mnueditar, loans->mnuexcluir, loans->mnucancelar})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(!loans->Txtcod->isEnabled());
    QVERIFY(!loans->mnufecharpesquisa->isEnabled());
    QVERIFY(loans->mnuordcod->isChecked());
    QCOMPARE(loans->mnuproximo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    // Picture buttons tell their meaning.
    QCOMPARE(loans->ClarkTBButton2[0]->toolTip(), QStringLiteral("Tela Objetos"));
    QCOMPARE(loans->cmdSeleciona->accessibleName(), QStringLiteral("Pesquisar..."));
    QCOMPARE(loans->sscommand1[0]->toolTip(), QStringLiteral("Próximo Registro"));
    QCOMPARE(loans->sscommand1[1]->toolTip(), QStringLiteral("Registro Anterior"));
    QVERIFY(inFront(loans->cmdSeleciona, loans->cmdFechar));
    // The grid: eight shown columns over the loans, two hidden.
    QStringList shown;
    for (int c = 0; c < loans->GridModel->columnCount(); ++c)
        if (!loans->GridModel->isColumnHidden(c))
            shown << loans->GridModel->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown, (QStringList{"Data", "Código Objeto", "Título", "Autor", "Nome", "Devolvido ?", "objeto",
                                 "observações"}));
    QCOMPARE(loans->GridModel->rowCount(), 6);
    QVERIFY(!(loans->GridModel->flags(loans->GridModel->index(0, 5)) & Qt::ItemIsEditable));
    // The lookup boxes carry the first object.
    QCOMPARE(loans->Txttítuloclone->text(), QStringLiteral("Dom Casmurro"));
}

void LoansWindowTest::remarksTypingStopsAtRecordLength()
{
    Folder folder;
    Frmemprestimos* loans = Frmemprestimos::instance();
    QVERIFY(showActive(loans));
    LimitedTextEdit* box = loans->Txtobs;
    box->setFocus();
    typeText(box, QString(252, QLatin1Char('x')));
    QTest::keyClick(box, Qt::Key_Return);  // a line break counts two
    typeText(box, QStringLiteral("yz"));
    QCOMPARE(LimitedTextEdit::recordLength(box->toPlainText()), 255);
    QCOMPARE(box->toPlainText(), QString(252, QLatin1Char('x')) + QStringLiteral("\ny"));
    // A longer text set in code is shown whole (the store refuses it).
    box->setPlainText(QString(300, QLatin1Char('w')));
    QCOMPARE(box->toPlainText().size(), 300);

    typeText(loans->Txtnome, QString(80, QLatin1Char('n')));
    QCOMPARE(loans->Txtnome->text().size(), 70);
}

void LoansWindowTest::typingAndPastingStopAtFieldLength_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("kept");
    QTest::newRow("code box, paste") << "Txtcod" << true << 10 << 7;
    QTest::newRow("borrower, paste") << "Txtnome" << true << 80 << 70;
    QTest::newRow("Devolvido ?, typed") << "Combo1" << false << 60 << 50;
    QTest::newRow("Devolvido ?, paste") << "Combo1" << true << 60 << 50;
}

void LoansWindowTest::typingAndPastingStopAtFieldLength()
{
    QFETCH(QString, box);
    QFETCH(bool, paste);
    QFETCH(int, typed);
    QFETCH(int, kept);
    Folder folder(standardObjects(), standardLoans());
    Frmemprestimos* loans = Frmemprestimos::instance();
    QVERIFY(showActive(loans));
    loans->cmdNovo->click();
    QWidget* widget = loans->findChild<QWidget*>(box);
    auto* edit = box == QLatin1String("Combo1") ? loans->Combo1->lineEdit() : qobject_cast<QLineEdit*>(widget);
    QVERIFY(edit);
    edit->setFocus();
    edit->clear();
    QString text;
    for (int i = 0; i < typed; ++i)
        text += QChar(u'A' + i % 26);
    if (paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        typeText(edit, text);
    }
    QCOMPARE(edit->text(), text.left(kept));
}

QTEST_MAIN(LoansWindowTest)
#include "window_test.moc"
