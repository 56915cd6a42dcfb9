// Lending from the catalogue: the loan-state display and its sounds, the
// rule that keeps "Emprestar" off while adding, editing or while the shown
// object is out, the lending command and the two bottom buttons, and a loan
// saved in the loans window followed back in the catalogue. Real
// database files in a temporary plug-in folder; message boxes, pointer,
// beeps and sounds go to a recording double.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

using namespace loanstest;
using ondrel::db::EditMode;
using ondrel::platform::Pointer;

namespace {

const QString kLent = QStringLiteral("Não");

// Objects: the never lent A0, the returned B1 and B2, the lent C2, C3 and
// D1 (the last, so a save of the catalogue ends on it). An object's older
// loans say the opposite of its newest one.
QList<QStringList> objects()
{
    return {{"A0", "Livro", "Nunca Emprestado", "Autor N"},
            {"B1", "Revista", "Devolvida", "Autor R"},
            {"B2", "DVD", "Devolvido Também", "Autor B2"},
            {"C2", "Disco (CD)", "Com Bia", "Autor C2"},
            {"C3", "Ferramenta", "Também com Ana", "Autor C3"},
            {"D1", "Livro", "Com Ana", "Autor D1"}};
}

QList<Loan> loans()
{
    return {{"B1", "Zé", "Não", "01/01/2003", ""},   {"B1", "Ana", "Sim", "10/01/2003", ""},
            {"B2", "Bia", "Sim", "11/01/2003", ""},  {"D1", "Zé", "Sim", "02/01/2003", ""},
            {"D1", "Ana", "Não", "12/01/2003", ""},  {"C2", "Bia", "Não", "13/01/2003", ""},
            {"C3", "Ana", "Não", "14/01/2003", ""}};
}

bool shownRed(QLabel* label)
{
    return label->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

// Everything the loan-state display shows.
QString display(Frmobjetos* f)
{
    return QStringLiteral("borrow %1|%2 red %3%4 emprestar %5 front %6|%7 panel %8")
        .arg(f->lblBorrow->text(), f->lblborrow2->text())
        .arg(int(shownRed(f->lblBorrow)))
        .arg(int(shownRed(f->lblborrow2)))
        .arg(int(f->cmdEmprestar->isEnabled()))
        .arg(above(f->imgBorrow, f->imgLight) ? "lent" : "free", above(f->imgBorrow2, f->imgLight2) ? "lent" : "free",
             f->lblpanel->text());
}

void moveTo(Frmobjetos* f, const QString& code)
{
    f->Data1->recordset()->findFirst(QStringLiteral("cod='%1'").arg(code));
    QCOMPARE(f->Txtcod->text(), code);
}

}  // namespace

class LendingTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void displayRules_data();
    void displayRules();
    void soundsWhenMoving_data();
    void soundsWhenMoving();
    void noLendingWhileBusyOrLent_data();
    void noLendingWhileBusyOrLent();
    void emptyCatalogue();
    void lendFillsNewLoan_data();
    void lendFillsNewLoan();
    void lendRefusedWhenLentMeanwhile_data();
    void lendRefusedWhenLentMeanwhile();
    void lendingLeavesRefusedLoanAlone_data();
    void lendingLeavesRefusedLoanAlone();
    void loansRegisterButton();
    void endButton();
    // A loan saved in the loans window, back in the catalogue.
    void catalogueFollowsSavedLoan_data();
    void catalogueFollowsSavedLoan();
    void closedCatalogueIsLeftAlone();

private:
    Frmobjetos* openCatalogue();
    QString alarmFile() const { return m_folder->dir.filePath(QStringLiteral("alarme.wav")); }
    std::unique_ptr<Folder> m_folder;
};

void LendingTest::init()
{
    m_folder = std::make_unique<Folder>();
    QVERIFY(m_folder->dir.isValid());
}

void LendingTest::cleanup()
{
    m_folder.reset();
}

Frmobjetos* LendingTest::openCatalogue()
{
    Frmobjetos* f = testutil::shown<Frmobjetos>();
    if (!showActive(f))
        qWarning("catalogue window not active");
    return f;
}

// ---------------------------------------------------------------------------
// The table of the two handlers, one row per value of Text2.

void LendingTest::displayRules_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("entregue");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("alarms");

    // Before each row: captions "antes", panel "painel", "Emprestar" on, the
    // lent pictures in front, labels not red; Label1 holds "Ana".
    const QString nothing = "borrow antes|antes red 00 emprestar 1 front lent|lent panel painel";
    QTest::newRow("Label1 Não") << "Label1" << "Não" << "borrow Ana|Ana red 11 emprestar 0 front lent|lent panel painel" << 1 << 0;
    QTest::newRow("Text2 Não") << "Text2" << "Não" << "borrow Ana|Ana red 11 emprestar 0 front lent|lent panel painel" << 0 << 1;
    QTest::newRow("Label1 Sim") << "Label1" << "Sim" << "borrow | red 00 emprestar 1 front free|free panel painel" << 0 << 0;
    QTest::newRow("Text2 Sim") << "Text2" << "Sim" << "borrow | red 00 emprestar 1 front free|free panel " << 0 << 0;
    QTest::newRow("Label1 empty") << "Label1" << "" << nothing << 0 << 0;
    QTest::newRow("Text2 empty") << "Text2" << "" << "borrow | red 00 emprestar 1 front free|free panel " << 0 << 0;
    for (const char* other : {"não", "NÃO", "Nao", "sim", "SIM", " Sim", "Não ", "x"}) {
        QTest::addRow("Label1 '%s'", other) << "Label1" << QString::fromUtf8(other) << nothing << 0 << 0;
        QTest::addRow("Text2 '%s'", other) << "Text2" << QString::fromUtf8(other) << nothing << 0 << 0;
    }
}

void LendingTest::displayRules()
{
    QFETCH(QString, handler);
    QFETCH(QString, entregue);
    QFETCH(QString, display);
    QFETCH(int, beeps);
    QFETCH(int, alarms);
    m_folder->create(objects(), {});
    Frmobjetos* f = openCatalogue();
    {
        const QSignalBlocker b1(f->Label1);
        const QSignalBlocker b2(f->Text2);
        f->Label1->setText(QStringLiteral("Ana"));
        f->Text2->setText(entregue);
    }
    f->lblBorrow->setText(QStringLiteral("antes"));
    f->lblborrow2->setText(QStringLiteral("antes"));
    f->lblpanel->setText(QStringLiteral("painel"));
    f->cmdEmprestar->setEnabled(true);
    f->imgBorrow->raise();
    f->imgBorrow2->raise();
    m_folder->services.beeps = 0;
    m_folder->services.sounds.clear();

    if (handler == QLatin1String("Label1"))
        f->Label1_Change();
    else
        f->Text2_Change();

    QCOMPARE(::display(f), display);
    QCOMPARE(m_folder->services.beeps, beeps);
    QCOMPARE(m_folder->services.sounds, QStringList(QList<QString>(alarms, alarmFile())));
}

// ---------------------------------------------------------------------------
// Which sound is heard depends on the box that changed.

void LendingTest::soundsWhenMoving_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("alarms");
    QTest::addColumn<QString>("display");

    const QString lentAna = "borrow Ana|Ana red 11 emprestar 0 front lent|lent panel ";
    const QString free = "borrow | red ?? emprestar 1 front free|free panel ";
    QTest::newRow("never lent -> lent") << "A0" << "D1" << 1 << 1 << lentAna;
    QTest::newRow("returned by the same -> lent") << "B1" << "D1" << 0 << 1 << lentAna;
    QTest::newRow("returned by another -> lent") << "B2" << "D1" << 1 << 1 << lentAna;
    QTest::newRow("lent -> lent, another borrower") << "C2" << "D1" << 1 << 0 << lentAna;
    QTest::newRow("lent -> lent, same borrower") << "C3" << "D1" << 0 << 0 << lentAna;
    QTest::newRow("lent -> returned") << "D1" << "B1" << 0 << 0 << free;
    QTest::newRow("lent -> never lent") << "D1" << "A0" << 0 << 0 << free;
    QTest::newRow("returned -> returned") << "B1" << "B2" << 0 << 0 << free;
    // The same values refilled raise nothing.
    QTest::newRow("lent, loans read again") << "D1" << "" << 0 << 0 << lentAna;
    QTest::newRow("returned, loans read again") << "B1" << "" << 0 << 0 << free;
}

void LendingTest::soundsWhenMoving()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, beeps);
    QFETCH(int, alarms);
    QFETCH(QString, display);
    m_folder->create(objects(), loans());
    Frmobjetos* f = openCatalogue();
    moveTo(f, from);
    m_folder->services.beeps = 0;
    m_folder->services.sounds.clear();
    m_folder->services.messageBoxes.clear();

    if (to.isEmpty()) {
        f->Data2->refresh();
        f->Txtcod->setText(from);  // the same code again: no change at all
    } else {
        moveTo(f, to);
    }

    QCOMPARE(m_folder->services.beeps, beeps);
    QCOMPARE(m_folder->services.sounds, QStringList(QList<QString>(alarms, alarmFile())));
    // Where the object is available the colour is whatever an earlier lent
    // object left: it is never set back.
    QString shown = ::display(f);
    if (display.contains(QLatin1String("red ??")))
        shown.replace(QRegularExpression(QStringLiteral("red \\d\\d")), QStringLiteral("red ??"));
    QCOMPARE(shown, display);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

// ---------------------------------------------------------------------------
// "Emprestar" stays off while the catalogue adds or edits, and while the
// shown object is out; it comes back for an object that can be lent.

void LendingTest::noLendingWhileBusyOrLent_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("emprestar");
    QTest::addColumn<QString>("shown");  // Txtcod at the end

    // While typing, a code whose loans came back (or has none) must not
    // offer lending an object that is not stored yet.
    QTest::newRow("adding, a returned object's code typed") << "D1" << QStringList{"novo", "code:B1"} << false << "B1";
    QTest::newRow("adding, a never lent object's code typed") << "B1" << QStringList{"novo", "code:A0"} << false << "A0";
    QTest::newRow("editing, code typed over") << "B1" << QStringList{"editar", "code:A0"} << false << "A0";
    // Cancelling and saving come back to a lent object.
    QTest::newRow("edit cancelled on a lent object") << "D1" << QStringList{"editar", "cancelar"} << false << "D1";
    QTest::newRow("new object cancelled over a lent one") << "D1" << QStringList{"novo", "cancelar"} << false << "D1";
    QTest::newRow("lent object edited and saved") << "D1" << QStringList{"editar", "title: novo", "salvar"} << false << "D1";
    QTest::newRow("save ends on the lent object") << "B1" << QStringList{"editar", "title: x", "salvar"} << false << "D1";
    // Where the object can be lent, the same commands offer it again.
    QTest::newRow("edit cancelled on a returned object") << "B1" << QStringList{"editar", "cancelar"} << true << "B1";
    QTest::newRow("edit cancelled on a never lent object") << "A0" << QStringList{"editar", "cancelar"} << true << "A0";
    QTest::newRow("new object saved") << "D1" << QStringList{"novo", "code:Z9", "title:Zeta", "salvar"} << true << "Z9";
    QTest::newRow("new object cancelled over a returned one") << "B1" << QStringList{"novo", "cancelar"} << true << "B1";
}

void LendingTest::noLendingWhileBusyOrLent()
{
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    QFETCH(bool, emprestar);
    QFETCH(QString, shown);
    m_folder->create(objects(), loans());
    Frmobjetos* f = openCatalogue();
    moveTo(f, start);

    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("code:"))) {
            f->Txtcod->setFocus();
            f->Txtcod->selectAll();
            QTest::keyClick(f->Txtcod, Qt::Key_Backspace);
            QVERIFY2(!f->cmdEmprestar->isEnabled(), "while the code box is empty");
            for (const QChar c : step.mid(5)) {
                QTest::keyClicks(f->Txtcod, QString(c));
                QVERIFY2(!f->cmdEmprestar->isEnabled(), qPrintable(f->Txtcod->text()));
            }
        } else if (step.startsWith(QLatin1String("title:"))) {
            QTest::keyClicks(f->txttítulo, step.mid(6));
        } else {
            const QHash<QString, QWidget*> buttons = {{"novo", f->cmdNovo},
                                                      {"editar", f->cmdEditar},
                                                      {"cancelar", f->cmdCancelar},
                                                      {"salvar", f->cmdSalvar}};
            QWidget* button = buttons.value(step);
            QVERIFY2(button && button->isEnabled(), qPrintable(step));
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    QCOMPARE(f->Txtcod->text(), shown);
    QCOMPARE(f->cmdEmprestar->isEnabled(), emprestar);
    QCOMPARE(f->canLend(), emprestar);
    QVERIFY2(m_folder->services.messageTexts().isEmpty(), qPrintable(m_folder->services.messageTexts().join('|')));
}

// ---------------------------------------------------------------------------
// The lending command

void LendingTest::emptyCatalogue()
{
    m_folder->create({}, {});
    Frmobjetos* f = openCatalogue();
    QVERIFY(f->Txtcod->text().isEmpty());
    QVERIFY(f->cmdEmprestar->isEnabled());
    m_folder->services.pointers.clear();

    QTest::mouseClick(f->cmdEmprestar, Qt::LeftButton);

    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    const auto box = m_folder->services.messageBoxes.first();
    QCOMPARE(box.text, QStringLiteral("Não há nenhum objeto cadastrado ou\r\nO código deste registro foi apagado!"));
    QCOMPARE(box.buttons, int(ondrel::platform::OkOnly));
    QCOMPARE(box.icon, int(ondrel::platform::Exclamation));
    QCOMPARE(box.title, ondrel::platform::applicationTitle());
    QVERIFY(!Frmemprestimos::existing());
    QVERIFY(m_folder->services.pointers.isEmpty());
    QVERIFY(f->cmdEmprestar->isEnabled());
}

void LendingTest::lendFillsNewLoan_data()
{
    QTest::addColumn<bool>("alreadyOpen");
    QTest::addColumn<QString>("code");
    QTest::newRow("loans window never opened") << false << "B2";
    QTest::newRow("loans window open on another loan") << true << "A0";
}

void LendingTest::lendFillsNewLoan()
{
    QFETCH(bool, alreadyOpen);
    QFETCH(QString, code);
    m_folder->create(objects(), loans());
    const QStringList storedBefore = m_folder->storedLoans();
    Frmobjetos* f = openCatalogue();
    if (alreadyOpen) {
        moveTo(f, "C2");
        QTest::mouseClick(f->ClarkTBButton2[0], Qt::LeftButton);
        QVERIFY(Frmemprestimos::existing() && Frmemprestimos::existing()->isVisible());
        QCOMPARE(Frmemprestimos::existing()->Txtnome->text(), QStringLiteral("Bia"));
        QVERIFY(showActive(f));
    }
    moveTo(f, code);
    QVERIFY(f->cmdEmprestar->isEnabled());
    m_folder->services.pointers.clear();

    QTest::mouseClick(f->cmdEmprestar, Qt::LeftButton);

    Frmemprestimos* e = Frmemprestimos::existing();
    QVERIFY(e);
    QVERIFY(e->isVisible());
    QCOMPARE(e->Data1->recordset()->editMode(), EditMode::Adding);
    const QStringList o = objects().value(code == QLatin1String("B2") ? 2 : 0);
    QVERIFY(e->Txtcod->isEnabled());
    QCOMPARE(e->Txtcod->text(), code);
    QCOMPARE(e->Txtnome->text(), QString());
    QCOMPARE(e->Txttítulo->text(), o.at(2));
    QCOMPARE(e->Txtautor->text(), o.at(3));
    QCOMPARE(e->mskdata->text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    QCOMPARE(e->Combo1->currentText(), kLent);
    QCOMPARE(e->Txtobjeto->text(), o.at(1));
    const auto onOff = [](QWidget* button, QAction* item) {
        return QStringLiteral("%1%2").arg(int(button->isEnabled())).arg(int(item->isEnabled()));
    };
    QCOMPARE(QStringList({onOff(e->cmdNovo, e->mnunovo), onOff(e->cmdSalvar, e->mnusalvar),
                          onOff(e->cmdExcluir, e->mnuexcluir), onOff(e->cmdEditar, e->mnueditar),
                          onOff(e->cmdCancelar, e->mnucancelar)}),
             QStringList({"00", "11", "00", "00", "11"}));
    QVERIFY(!e->Editando);
    QVERIFY(QTest::qWaitForWindowActive(e));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(e->Txtnome));
    // Hourglass for the command, the default pointer at the end.
    QVERIFY(!m_folder->services.pointers.isEmpty());
    QCOMPARE(m_folder->services.pointers.first(), Pointer::Hourglass);
    QCOMPARE(m_folder->services.pointer(), Pointer::Default);
    // Nothing stored until the loan is saved there, and no box shown.
    QCOMPARE(m_folder->storedLoans(), storedBefore);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    // The catalogue itself is unchanged: still browsing its object.
    QCOMPARE(f->Txtcod->text(), code);
    QVERIFY(f->cmdEmprestar->isEnabled());
}

// Another desk lends the object between "Emprestar" and "Salvar": the save
// is refused, naming who has it, and the typed loan stays to be corrected or
// cancelled; a loan returned meanwhile is stored.
void LendingTest::lendRefusedWhenLentMeanwhile_data()
{
    QTest::addColumn<QString>("meanwhile");  // Entregue of the other desk's loan
    QTest::newRow("lent meanwhile") << "Não";
    QTest::newRow("returned meanwhile") << "Sim";
}

void LendingTest::lendRefusedWhenLentMeanwhile()
{
    QFETCH(QString, meanwhile);
    m_folder->create(objects(), loans());
    Frmobjetos* f = openCatalogue();
    moveTo(f, "B2");
    QTest::mouseClick(f->cmdEmprestar, Qt::LeftButton);
    Frmemprestimos* e = Frmemprestimos::existing();
    typeText(e->Txtnome, QStringLiteral("Lia"));
    m_folder->addLoan({"B2", "Rui", meanwhile, "20/01/2003", ""});
    const QStringList before = m_folder->storedLoans();
    click(e->cmdSalvar);
    if (meanwhile == QLatin1String("Sim")) {
        QVERIFY(m_folder->services.messageBoxes.isEmpty());
        QCOMPARE(m_folder->storedLoans().size(), before.size() + 1);
        return;
    }
    const QStringList told = m_folder->services.messageTexts();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().contains(QStringLiteral("emprestado a Rui desde 20/01/2003")), qPrintable(told.first()));
    QCOMPARE(m_folder->storedLoans(), before);
    QCOMPARE(e->Data1->recordset()->editMode(), EditMode::Adding);
    QCOMPARE(e->Txtnome->text(), QStringLiteral("Lia"));
    QCOMPARE(e->Txtcod->text(), QStringLiteral("B2"));
    QVERIFY(e->cmdSalvar->isEnabled() && e->cmdCancelar->isEnabled());
}

void LendingTest::lendingLeavesRefusedLoanAlone_data()
{
    QTest::addColumn<QString>("state");  // the loans window: browsing, editing or adding
    QTest::addColumn<QString>("fixed");  // the loan stored once its date is corrected
    QTest::newRow("typed over while browsing") << "browsing" << "C2|Bia|Não|14/02/2003|";
    QTest::newRow("loan being edited") << "editing" << "C2|Bia|Não|14/02/2003|";
    QTest::newRow("new loan being typed") << "adding" << "B1|Gil|Não|14/02/2003|";
}

void LendingTest::lendingLeavesRefusedLoanAlone()
{
    QFETCH(QString, state);
    QFETCH(QString, fixed);
    m_folder->create(objects(), loans());
    const QStringList storedBefore = m_folder->storedLoans();
    Frmobjetos* f = openCatalogue();
    moveTo(f, "C2");
    QTest::mouseClick(f->ClarkTBButton2[0], Qt::LeftButton);
    Frmemprestimos* e = Frmemprestimos::existing();
    QVERIFY(e && e->isVisible());
    QCOMPARE(e->Txtnome->text(), QStringLiteral("Bia"));
    if (state == QLatin1String("editing")) {
        QTest::mouseClick(e->cmdEditar, Qt::LeftButton);
        QCOMPARE(e->Data1->recordset()->editMode(), EditMode::Editing);
    } else if (state == QLatin1String("adding")) {
        QTest::mouseClick(e->cmdNovo, Qt::LeftButton);
        typeText(e->Txtcod, QStringLiteral("B1"));
        QTest::keyClick(e->Txtcod, Qt::Key_Tab);
        typeText(e->Txtnome, QStringLiteral("Gil"));
        QCOMPARE(e->Data1->recordset()->editMode(), EditMode::Adding);
    }
    const EditMode mode = e->Data1->recordset()->editMode();
    const qint64 total = e->TotalRegistros;
    const QString name = e->Txtnome->text();
    const QString code = e->Txtcod->text();
    // A date the engine cannot store.
    e->mskdata->setFocus();
    e->mskdata->selectAll();
    typeText(e->mskdata, QStringLiteral("31/02/2003"));

    QVERIFY(showActive(f));
    moveTo(f, "A0");
    m_folder->services.pointers.clear();
    QTest::mouseClick(f->cmdEmprestar, Qt::LeftButton);

    // The loans window said why and kept its loan as typed; the lending
    // data went nowhere and the pointer is back.
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(m_folder->services.messageBoxes.first().icon, int(ondrel::platform::Critical));
    QCOMPARE(e->Txtnome->text(), name);
    QCOMPARE(e->Txtcod->text(), code);
    QCOMPARE(e->mskdata->text(), QStringLiteral("31/02/2003"));
    QCOMPARE(e->TotalRegistros, total);
    if (mode != EditMode::None)
        QCOMPARE(e->Data1->recordset()->editMode(), mode);
    QCOMPARE(m_folder->services.pointers.first(), Pointer::Hourglass);
    QCOMPARE(m_folder->services.pointer(), Pointer::Default);
    QCOMPARE(m_folder->storedLoans(), storedBefore);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A0"));
    QVERIFY(f->cmdEmprestar->isEnabled());

    // Corrected, lending again stores that loan as typed and starts the new
    // one for the object shown.
    e->mskdata->setFocus();
    e->mskdata->selectAll();
    typeText(e->mskdata, QStringLiteral("14/02/2003"));
    QTest::mouseClick(f->cmdEmprestar, Qt::LeftButton);
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(e->Data1->recordset()->editMode(), EditMode::Adding);
    QCOMPARE(e->Txtcod->text(), QStringLiteral("A0"));
    QCOMPARE(e->Txtnome->text(), QString());
    const QStringList rows = m_folder->storedLoans();
    QVERIFY2(rows.contains(fixed), qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows.size(), storedBefore.size() + (state == QLatin1String("adding") ? 1 : 0));
    QCOMPARE(e->TotalRegistros, rows.size() + 1);
}

// ---------------------------------------------------------------------------
// Bottom toolbar

void LendingTest::loansRegisterButton()
{
    m_folder->create(objects(), loans());
    const QStringList storedBefore = m_folder->storedLoans();
    Frmobjetos* f = openCatalogue();
    moveTo(f, "B1");
    f->lblpanel->setText(QStringLiteral("Controle de Empréstimos"));
    m_folder->services.pointers.clear();

    QTest::mouseClick(f->ClarkTBButton2[0], Qt::LeftButton);

    QCOMPARE(f->lblpanel->text(), QString());
    Frmemprestimos* e = Frmemprestimos::existing();
    QVERIFY(e && e->isVisible());
    // As it is: on the last loan of the shown object, nothing added.
    QCOMPARE(e->Data1->recordset()->editMode(), EditMode::None);
    QCOMPARE(e->Txtcod->text(), QStringLiteral("B1"));
    QCOMPARE(e->Txtnome->text(), QStringLiteral("Ana"));
    QCOMPARE(m_folder->services.pointers.first(), Pointer::Hourglass);
    QCOMPARE(m_folder->services.pointer(), Pointer::Default);
    QCOMPARE(m_folder->storedLoans(), storedBefore);

    // A second click shows the same window again, still as it is.
    QTest::mouseClick(f->ClarkTBButton2[0], Qt::LeftButton);
    QCOMPARE(Frmemprestimos::existing(), e);
    QCOMPARE(e->Data1->recordset()->editMode(), EditMode::None);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void LendingTest::endButton()
{
    m_folder->create(objects(), loans());
    Frmobjetos* f = openCatalogue();
    QTest::mouseClick(f->ClarkTBButton2[1], Qt::LeftButton);
    QCOMPARE(m_folder->services.endProcessCalls, 1);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QVERIFY(!Frmemprestimos::existing());
}

void LendingTest::catalogueFollowsSavedLoan_data()
{
    QTest::addColumn<QString>("code");      // a new loan of this object, or "" to edit a loan
    QTest::addColumn<QString>("name");      // its borrower
    QTest::addColumn<QString>("returned");  // "Devolvido ?" when saved
    QTest::addColumn<QString>("shown");     // the catalogue's code afterwards
    QTest::addColumn<QString>("newest");    // borrower of its newest loan
    QTest::addColumn<QString>("lent");      // and that loan's state
    QTest::newRow("new loan of the object shown") << "A1" << "Gil" << "Não" << "A1" << "Gil" << "Não";
    QTest::newRow("new loan of another object") << "E5" << "Gil" << "Não" << "E5" << "Gil" << "Não";
    QTest::newRow("return of a loan that is not the last") << "" << "Davi" << "Sim" << "D'A" << "Davi" << "Sim";
    QTest::newRow("older loan of the object shown") << "" << "Ana" << "Sim" << "A1" << "Elisa" << "Não";
}

void LendingTest::catalogueFollowsSavedLoan()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, returned);
    QFETCH(QString, shown);
    QFETCH(QString, newest);
    QFETCH(QString, lent);
    Folder& folder = *m_folder;
    folder.create(standardObjects(), standardLoans());
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    QCOMPARE(objects->Txtcod->text(), QStringLiteral("A1"));
    QCOMPARE(objects->Label1->text(), QStringLiteral("Elisa"));

    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    if (!code.isEmpty()) {
        startLoan(loans, code, name);
    } else {
        goTo(loans, name);
        click(loans->cmdEditar);
    }
    retype(loans->Combo1->lineEdit(), returned);
    click(loans->cmdSalvar);
    QVERIFY(folder.services.messageBoxes.isEmpty());

    QCOMPARE(objects->Txtcod->text(), shown);
    // The catalogue's loan source ends on the loans of the object it shows.
    QCOMPARE(objects->Data2->recordSource(), QStringLiteral("pesquisa"));
    QCOMPARE(objects->Label1->text(), newest);
    QCOMPARE(objects->Text2->text(), lent);
}

void LendingTest::closedCatalogueIsLeftAlone()
{
    Folder& folder = *m_folder;
    folder.create(standardObjects(), standardLoans());
    Frmobjetos::instance()->Show();
    QVERIFY(Frmobjetos::existing()->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!Frmobjetos::existing());

    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    startLoan(loans, QStringLiteral("B2"), QStringLiteral("Gil"));
    click(loans->cmdSalvar);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QCOMPARE(folder.storedLoans().size(), 7);
    QVERIFY(!Frmobjetos::existing());
    QVERIFY(browsing(loans));
}

QTEST_MAIN(LendingTest)
#include "lending_test.moc"
