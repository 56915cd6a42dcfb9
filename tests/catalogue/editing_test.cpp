// Editing the catalogue: the command states of each edit mode and their menu
// twins, saving and its refusals, deleting, the record counter and total,
// the value display, the loans followed while a code is typed, and the kind
// list. Real database files in a temporary plug-in folder; the message boxes
// and beeps go to a recording double.
#include "binding/datacontrol.h"
#include "catalogue/Frmobjetos.h"
#include "core/valuetext.h"
#include "collection_testutil.h"
#include "database/database.h"
#include "database/recordset.h"
#include "folder_testutil.h"
#include "platform/testservices.h"
#include "widget_testutil.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/toolbarbar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>

using namespace ondrel::catalogue;
using namespace ondrel::db;
using ondrel::db::Database;
using ondrel::db::EditMode;
using testutil::above;
namespace platform = ondrel::platform;

namespace {

const QString kDuplicate = QStringLiteral("Esse código já existe!");
const QString kNoTitle = QStringLiteral("O Preenchimento do Campo Título é necessário");
const QString kNoCode = QStringLiteral("É Necessário digitar um código (até 7 dígitos)");

struct ObjectRow {
    QString cod;
    QString title;
    QString valor;  // as a user types it; empty leaves the field empty
};

struct LoanRow {
    QString cod;
    QString nome;
    QString data;
    QString entregue;
};

void createCatalogue(const QString& path, const QList<ObjectRow>& objects, const QList<LoanRow>& loans = {})
{
    testutil::createCollection(path);
    auto db = testutil::openCollection(path);
    auto rs = db->openRecordset(QStringLiteral("objetos"));
    for (const ObjectRow& o : objects) {
        rs->addNew();
        rs->setText(QStringLiteral("cod"), o.cod);
        rs->setText(QStringLiteral("Objeto"), QStringLiteral("Livro"));
        if (!o.title.isEmpty())
            rs->setText(QStringLiteral("Título"), o.title);
        // More than two decimals cannot be typed; a file may hold them all the same.
        if (o.valor.section(QLatin1Char(','), 1).size() > 2)
            rs->setValue(QStringLiteral("valor"), QLocale().toDouble(o.valor));
        else if (!o.valor.isEmpty())
            rs->setText(QStringLiteral("valor"), o.valor);
        rs->update();
    }
    auto ls = db->openRecordset(QStringLiteral("empréstimos"));
    for (const LoanRow& l : loans) {
        ls->addNew();
        ls->setText(QStringLiteral("codobjeto"), l.cod);
        ls->setText(QStringLiteral("Nome"), l.nome);
        ls->setText(QStringLiteral("Data"), l.data);
        ls->setText(QStringLiteral("Entregue"), l.entregue);
        ls->update();
    }
}

QList<ObjectRow> threeObjects()
{
    return {{QStringLiteral("A1"), QStringLiteral("Alfa"), QStringLiteral("10")},
            {QStringLiteral("B2"), QStringLiteral("Beta"), QString()},
            {QStringLiteral("C3"), QStringLiteral("Gama"), QStringLiteral("2,5")}};
}

// "on"/"off" of a widget or action.
QString onOff(bool enabled)
{
    return enabled ? QStringLiteral("1") : QStringLiteral("0");
}

// The command pattern of the window, each button with its menu twin, the
// value box in front and where the focus is.
QString commandState(Frmobjetos* f)
{
    const auto pair = [](QWidget* button, QAction* item) { return onOff(button->isEnabled()) + "/" + onOff(item->isEnabled()); };
    QString focus = f->focusWidget() ? f->focusWidget()->objectName() : QString();
    return QStringLiteral("novo %1 salvar %2 editar %3 excluir %4 cancelar %5 emprestar %6 imagem %7%8 front %9 focus %10")
        .arg(pair(f->cmdNovo, f->mnunovo), pair(f->cmdSalvar, f->mnusalvar), pair(f->cmdEditar, f->mnueditar),
             pair(f->cmdExcluir, f->mnuexcluir), pair(f->cmdCancelar, f->mnucancelar), onOff(f->cmdEmprestar->isEnabled()),
             onOff(f->ctbImagem->isEnabled()), onOff(f->ctbApagImagem->isEnabled()),
             above(f->MaskEdBox1, f->Text1) ? QStringLiteral("MaskEdBox1") : QStringLiteral("Text1"), focus);
}

EditMode pending(Frmobjetos* f)
{
    return f->Data1->recordset() ? f->Data1->recordset()->editMode() : EditMode::None;
}

}  // namespace

Q_DECLARE_METATYPE(QList<ObjectRow>)
Q_DECLARE_METATYPE(QList<LoanRow>)

class CatalogueEditingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void valueTexts_data();
    void valueTexts();
    void valueDisplay_data();
    void valueDisplay();

    void commandStatesPerMode_data();
    void commandStatesPerMode();
    void menuItemDoesWhatItsButtonDoes_data();
    void menuItemDoesWhatItsButtonDoes();
    void startupMenuOnlyCommands();
    void editWithoutCurrentRecord_data();
    void editWithoutCurrentRecord();
    void newObjectWhenTheSourceCannotAdd();

    void saveChecksTitleThenCode_data();
    void saveChecksTitleThenCode();
    void saveNewObject();
    void duplicateCode_data();
    void duplicateCode();
    void refusedPendingRecordIsKept_data();
    void refusedPendingRecordIsKept();
    void refusedAutomaticSaveIsShown();
    void saveOverAnotherDesksChange();
    void newObjectRefusedKeepsShownObject();

    void deleteObject_data();
    void deleteObject();

    void counterWhileNewObjectPending();
    void totalValue_data();
    void totalValue();
    void valueShownIsNotStored();
    void valueEnteredInMaskedBox_data();
    void valueEnteredInMaskedBox();
    void badAmountIsRefused_data();
    void badAmountIsRefused();
    void moveWhileAddingRunsSaveChecks_data();
    void moveWhileAddingRunsSaveChecks();

    void codeTypedLetterByLetter_data();
    void codeTypedLetterByLetter();

    void kindListOpensOnFocus_data();
    void kindListOpensOnFocus();

private:
    QString databaseFile() const { return m_folder->path(); }
    Frmobjetos* showForm();
    // A collection of these objects and loans, and the catalogue window shown on it.
    Frmobjetos* showCatalogue(const QList<ObjectRow>& objects = threeObjects(), const QList<LoanRow>& loans = {})
    {
        createCatalogue(databaseFile(), objects, loans);
        return showForm();
    }
    void closeForm();
    // Brings the window into one of the edit modes named in the tables.
    void enterMode(Frmobjetos* f, const QString& mode);
    // Runs a command through its button (or, where the button is disabled
    // while its menu item is not, through the handler the button runs) or
    // through its "&Arquivo" item.
    void runCommand(Frmobjetos* f, const QString& command, bool viaMenu);
    // Everything a command can change, for comparing two runs.
    QString outcome(Frmobjetos* f);
    QStringList storedCodes() const;
    QString storedText(const QString& cod, const QString& field) const;

    std::unique_ptr<testutil::PluginFolder> m_folder;
};

void CatalogueEditingTest::initTestCase()
{
    // The window follows the user's regional settings; pin the Brazilian ones.
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
}

void CatalogueEditingTest::init()
{
    m_folder = std::make_unique<testutil::PluginFolder>();
    QVERIFY(m_folder->dir.isValid());
}

void CatalogueEditingTest::cleanup()
{
    closeForm();
    m_folder.reset();
}

Frmobjetos* CatalogueEditingTest::showForm()
{
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QApplication::setActiveWindow(form);
    if (!QTest::qWaitForWindowActive(form))
        qWarning("window not active");
    return form;
}

void CatalogueEditingTest::closeForm()
{
    delete Frmobjetos::existing();
}

QStringList CatalogueEditingTest::storedCodes() const
{
    QStringList codes;
    auto db = testutil::openCollection(databaseFile());
    auto rs = db->openRecordset(QStringLiteral("objetos"), ondrel::db::RecordsetType::Snapshot);
    for (; !rs->eof(); rs->moveNext())
        codes << rs->text(QStringLiteral("cod"));
    return codes;
}

QString CatalogueEditingTest::storedText(const QString& cod, const QString& field) const
{
    auto db = testutil::openCollection(databaseFile());
    auto rs = db->openRecordset(QStringLiteral("objetos"), ondrel::db::RecordsetType::Snapshot);
    rs->findFirst(QStringLiteral("cod='%1'").arg(cod));
    return rs->noMatch() ? QStringLiteral("<none>") : rs->text(field);
}

void CatalogueEditingTest::enterMode(Frmobjetos* f, const QString& mode)
{
    if (mode == QLatin1String("startup"))
        return;
    if (mode == QLatin1String("adding")) {
        f->cmdNovo->click();
    } else if (mode == QLatin1String("editing")) {
        f->cmdEditar->click();
    } else if (mode == QLatin1String("cancelled")) {
        f->cmdNovo->click();
        f->cmdCancelar->click();
    } else if (mode == QLatin1String("saved")) {
        f->cmdNovo->click();
        QTest::keyClicks(f->Txtcod, QStringLiteral("D4"));
        QTest::keyClicks(f->txttítulo, QStringLiteral("Delta"));
        f->cmdSalvar->click();
    } else if (mode == QLatin1String("refused")) {
        f->cmdNovo->click();
        f->cmdSalvar->click();
    } else {
        QFAIL(qPrintable(mode));
    }
}

void CatalogueEditingTest::runCommand(Frmobjetos* f, const QString& command, bool viaMenu)
{
    struct Command {
        platform::ToolbarButton* button;
        QAction* item;
        void (Frmobjetos::*handler)();
    };
    const QHash<QString, Command> commands = {
        {QStringLiteral("novo"), {f->cmdNovo, f->mnunovo, &Frmobjetos::cmdnovo_Click}},
        {QStringLiteral("salvar"), {f->cmdSalvar, f->mnusalvar, &Frmobjetos::Cmdsalvar_Click}},
        {QStringLiteral("editar"), {f->cmdEditar, f->mnueditar, &Frmobjetos::Cmdeditar_Click}},
        {QStringLiteral("excluir"), {f->cmdExcluir, f->mnuexcluir, &Frmobjetos::Cmdexcluir_Click}},
        {QStringLiteral("cancelar"), {f->cmdCancelar, f->mnucancelar, &Frmobjetos::Cmdcancelar_Click}},
    };
    const Command c = commands.value(command);
    QVERIFY(c.button);
    if (viaMenu)
        c.item->trigger();
    else if (c.button->isEnabled())
        c.button->click();
    else if (c.item->isEnabled())
        (f->*c.handler)();
}

QString CatalogueEditingTest::outcome(Frmobjetos* f)
{
    QString boxes;
    for (const auto& box : m_folder->services.messageBoxes)
        boxes += QStringLiteral("[%1|%2|%3|%4]").arg(box.text).arg(box.buttons).arg(box.icon).arg(box.title);
    return commandState(f) + QStringLiteral(" | count %1 | %2 | cod %3 | título %4 | pending %5 | beeps %6 | boxes %7 | file %8")
                                 .arg(f->TotalRegistros)
                                 .arg(f->lblCount->text(), f->Txtcod->text(), f->txttítulo->text())
                                 .arg(int(pending(f)))
                                 .arg(m_folder->services.beeps)
                                 .arg(boxes, storedCodes().join(QLatin1Char(',')));
}

// ---------------------------------------------------------------------------
// Texts of the counter, the total and the value display

void CatalogueEditingTest::valueTexts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<qint64>("units");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("currency");
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("12.5") << br << qint64(125000) << "R$  12,50" << "R$ 12,50";
    QTest::newRow("grouped") << br << qint64(12345000) << "R$  1.234,50" << "R$ 1.234,50";
    QTest::newRow("zero") << br << qint64(0) << "R$  0,00" << "R$ 0,00";
    QTest::newRow("negative") << br << qint64(-30000) << "R$  -3,00" << "R$ -3,00";
    QTest::newRow("half a cent rounds up") << br << qint64(50) << "R$  0,01" << "R$ 0,01";
    QTest::newRow("under half a cent") << br << qint64(49) << "R$  0,00" << "R$ 0,00";
    QTest::newRow("-0.0049 shows no sign") << br << qint64(-49) << "R$  0,00" << "R$ 0,00";
    QTest::newRow("beyond a double's digits") << br << qint64(9007199254740993) << "R$  900.719.925.474,10"
                                              << "R$ 900.719.925.474,10";
    QTest::newRow("millions") << br << qint64(12345678912) << "R$  1.234.567,89" << "R$ 1.234.567,89";
    QTest::newRow("US separators") << us << qint64(12345000) << "R$  1,234.50" << "$1,234.50";
}

void CatalogueEditingTest::valueTexts()
{
    QFETCH(QLocale, locale);
    QFETCH(qint64, units);
    QFETCH(QString, total);
    QFETCH(QString, currency);
    QCOMPARE(formatAmount(units, AmountShape::Total, locale), total);
    QCOMPARE(formatAmount(units, AmountShape::Currency, locale), currency);
    // The value box shows plain spaces only.
    QVERIFY(!formatAmount(units, AmountShape::Currency, locale).contains(QChar(0x00A0)));
    QCOMPARE(counterText(5, 12), QStringLiteral(" Registro : 5  de  12"));
}

void CatalogueEditingTest::valueDisplay_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("display");
    QTest::newRow("record text") << "12,5" << "R$ 12,50";
    QTest::newRow("whole") << "10" << "R$ 10,00";
    QTest::newRow("grouped") << "1.234,5" << "R$ 1.234,50";
    QTest::newRow("already formatted") << "R$ 12,50" << "R$ 12,50";
    QTest::newRow("formatted by Qt") << QStringLiteral("R$\u00A012,50") << "R$ 12,50";
    QTest::newRow("negative") << "-3" << "R$ -3,00";
    QTest::newRow("empty stays") << "" << "";
    QTest::newRow("not a number stays") << "abc" << "abc";
}

void CatalogueEditingTest::valueDisplay()
{
    QFETCH(QString, shown);
    QFETCH(QString, display);
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    QCOMPARE(currencyDisplay(shown, br), display);
    // Formatting is stable: the formatted text formats to itself.
    QCOMPARE(currencyDisplay(display, br), display);
}

// ---------------------------------------------------------------------------
// Edit modes

void CatalogueEditingTest::commandStatesPerMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("state");
    // Start-up: "&Salvar" and "&Cancelar" of the menu are on, their buttons off.
    QTest::newRow("start-up") << "startup"
                              << "novo 1/1 salvar 0/1 editar 1/1 excluir 1/1 cancelar 0/1 emprestar 1 imagem 11 front Text1 focus ";
    QTest::newRow("adding") << "adding"
                            << "novo 0/0 salvar 1/1 editar 0/0 excluir 0/0 cancelar 1/1 emprestar 0 imagem 00 front MaskEdBox1 focus Txtcod";
    QTest::newRow("editing") << "editing"
                             << "novo 0/0 salvar 1/1 editar 0/0 excluir 0/0 cancelar 1/1 emprestar 0 imagem 00 front MaskEdBox1 focus txttítulo";
    // Cancel leaves the entry box in front until the next save.
    QTest::newRow("after Cancelar") << "cancelled"
                                    << "novo 1/1 salvar 0/0 editar 1/1 excluir 1/1 cancelar 0/0 emprestar 1 imagem 11 front MaskEdBox1 focus Txtcod";
    QTest::newRow("after a save") << "saved"
                                  << "novo 1/1 salvar 0/0 editar 1/1 excluir 1/1 cancelar 0/0 emprestar 1 imagem 11 front Text1 focus Txtcod";
    QTest::newRow("after a refused save") << "refused"
                                          << "novo 0/0 salvar 1/1 editar 0/0 excluir 0/0 cancelar 1/1 emprestar 0 imagem 00 front MaskEdBox1 focus txttítulo";
}

void CatalogueEditingTest::commandStatesPerMode()
{
    QFETCH(QString, mode);
    QFETCH(QString, state);
    Frmobjetos* f = showCatalogue();
    if (mode == QLatin1String("startup"))
        f->setFocus();  // nothing of the tabs focused yet
    enterMode(f, mode);
    QString actual = commandState(f);
    if (mode == QLatin1String("startup"))
        actual = actual.left(actual.indexOf(QLatin1String("focus ")) + 6);
    QCOMPARE(actual, state);
}

void CatalogueEditingTest::menuItemDoesWhatItsButtonDoes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("command");
    for (const char* mode : {"startup", "adding", "editing", "cancelled", "saved", "refused"})
        for (const char* command : {"novo", "salvar", "editar", "excluir", "cancelar"})
            QTest::addRow("%s, %s", mode, command) << QString::fromLatin1(mode) << QString::fromLatin1(command);
}

void CatalogueEditingTest::menuItemDoesWhatItsButtonDoes()
{
    QFETCH(QString, mode);
    QFETCH(QString, command);
    QStringList outcomes;
    for (const bool viaMenu : {false, true}) {
        closeForm();
        QFile::remove(databaseFile());
        Frmobjetos* f = showCatalogue();
        enterMode(f, mode);
        m_folder->services.messageBoxes.clear();
        m_folder->services.beeps = 0;
        runCommand(f, command, viaMenu);
        outcomes << outcome(f);
    }
    QCOMPARE(outcomes.at(1), outcomes.at(0));
}

void CatalogueEditingTest::startupMenuOnlyCommands()
{
    Frmobjetos* f = showCatalogue();
    // "&Cancelar" with nothing pending: the fixed message, then browsing.
    f->mnucancelar->trigger();
    QCOMPARE(m_folder->services.messageTexts(), QStringList{QStringLiteral("Impossível Cancelar esta Operação!")});
    QCOMPARE(m_folder->services.messageBoxes.first().buttons, int(platform::OkOnly));
    QCOMPARE(m_folder->services.messageBoxes.first().icon, int(platform::NoIcon));
    QVERIFY(!f->mnucancelar->isEnabled());
    QVERIFY(!f->mnusalvar->isEnabled());
    QCOMPARE(f->TotalRegistros, 3);

    // "&Salvar" with nothing pending: a beep only, then browsing.
    closeForm();
    m_folder->services.messageBoxes.clear();
    m_folder->services.beeps = 0;
    f = showForm();
    f->mnusalvar->trigger();
    QCOMPARE(m_folder->services.beeps, 1);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QVERIFY(!f->mnusalvar->isEnabled());
    QVERIFY(f->cmdNovo->isEnabled());
    QVERIFY(above(f->Text1, f->MaskEdBox1));
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3"}));
}

void CatalogueEditingTest::editWithoutCurrentRecord_data()
{
    QTest::addColumn<QList<ObjectRow>>("objects");
    QTest::newRow("empty catalogue") << QList<ObjectRow>{};
    QTest::newRow("object without a title") << QList<ObjectRow>{{QStringLiteral("Z9"), QString(), QString()}};
}

void CatalogueEditingTest::editWithoutCurrentRecord()
{
    QFETCH(QList<ObjectRow>, objects);
    Frmobjetos* f = showCatalogue(objects);
    const QString before = commandState(f);
    f->cmdEditar->click();
    QCOMPARE(m_folder->services.messageTexts(), QStringList{QStringLiteral(" Não há registro corrente!")});
    QCOMPARE(m_folder->services.messageBoxes.first().icon, int(platform::NoIcon));
    QCOMPARE(m_folder->services.messageBoxes.first().title, platform::applicationTitle());
    QCOMPARE(commandState(f), before);
    QCOMPARE(pending(f), EditMode::None);
}

void CatalogueEditingTest::newObjectWhenTheSourceCannotAdd()
{
    Frmobjetos* f = showCatalogue();
    // A read-only set bound (as a search result can be).
    f->Data1->setRecordset(f->BancoDados->openRecordset(QStringLiteral("objetos"), ondrel::db::RecordsetType::Snapshot));
    const QString before = commandState(f);
    f->cmdNovo->click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QVERIFY(!m_folder->services.messageBoxes.first().text.isEmpty());
    QCOMPARE(commandState(f), before);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
}

// ---------------------------------------------------------------------------
// Save

void CatalogueEditingTest::saveChecksTitleThenCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("focus");
    QTest::newRow("both empty: only the title message") << "" << "" << kNoTitle << int(platform::Exclamation) << "txttítulo";
    QTest::newRow("title empty") << "X9" << "" << kNoTitle << int(platform::Exclamation) << "txttítulo";
    QTest::newRow("code empty") << "" << "Sem codigo" << kNoCode << int(platform::NoIcon) << "Txtcod";
}

void CatalogueEditingTest::saveChecksTitleThenCode()
{
    QFETCH(QString, code);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(int, icon);
    QFETCH(QString, focus);
    Frmobjetos* f = showCatalogue();
    f->cmdNovo->click();
    QTest::keyClicks(f->Txtcod, code);
    QTest::keyClicks(f->txttítulo, title);
    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.messageTexts(), QStringList{message});
    QCOMPARE(m_folder->services.messageBoxes.first().icon, icon);
    QCOMPARE(m_folder->services.messageBoxes.first().buttons, int(platform::OkOnly));
    QCOMPARE(m_folder->services.beeps, 0);
    QCOMPARE(commandState(f), QStringLiteral("novo 0/0 salvar 1/1 editar 0/0 excluir 0/0 cancelar 1/1 emprestar 0 "
                                             "imagem 00 front MaskEdBox1 focus ") + focus);
    // Still adding, with what was typed.
    QCOMPARE(pending(f), EditMode::Adding);
    QCOMPARE(f->Txtcod->text(), code);
    QCOMPARE(f->txttítulo->text(), title);
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3"}));
}

void CatalogueEditingTest::saveNewObject()
{
    Frmobjetos* f = showCatalogue();
    f->cmdNovo->click();
    // A new object is dated the day it is catalogued.
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(f->mskdata->text(), today);
    // Seven characters of any kind make a code; an eighth cannot be typed.
    QTest::keyClicks(f->Txtcod, QStringLiteral("ABCDEFGH"));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("ABCDEFG"));
    QTest::keyClicks(f->txttítulo, QStringLiteral("Delta"));
    f->MaskEdBox1->setFocus();
    QTest::keyClicks(f->MaskEdBox1, QStringLiteral("7,25"));
    f->cmdSalvar->click();
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QCOMPARE(m_folder->services.beeps, 0);
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3", "ABCDEFG"}));
    QCOMPARE(storedText(QStringLiteral("ABCDEFG"), QStringLiteral("Data")), today);
    QCOMPARE(storedText(QStringLiteral("ABCDEFG"), QStringLiteral("Título")), QStringLiteral("Delta"));
    // The new object is shown, last of four, with the total grown.
    QCOMPARE(f->Txtcod->text(), QStringLiteral("ABCDEFG"));
    QCOMPARE(f->TotalRegistros, 4);
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 4  de  4"));
    QCOMPARE(f->Text1->text(), QStringLiteral("R$ 7,25"));
    QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  19,75"));
    QCOMPARE(pending(f), EditMode::None);
}

void CatalogueEditingTest::duplicateCode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("code");
    QTest::newRow("new object") << "adding" << "B2";
    QTest::newRow("new object, other case") << "adding" << "b2";
    QTest::newRow("edited object") << "editing" << "C3";
}

void CatalogueEditingTest::duplicateCode()
{
    QFETCH(QString, mode);
    QFETCH(QString, code);
    Frmobjetos* f = showCatalogue();
    enterMode(f, mode);
    f->Txtcod->selectAll();
    QTest::keyClicks(f->Txtcod, code);
    f->txttítulo->selectAll();
    QTest::keyClicks(f->txttítulo, QStringLiteral("Outro"));
    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.beeps, 1);
    QCOMPARE(m_folder->services.messageTexts(), QStringList{kDuplicate});
    QCOMPARE(m_folder->services.messageBoxes.first().icon, int(platform::NoIcon));
    // The pending record is dropped; the catalogue is as it was.
    QCOMPARE(pending(f), EditMode::None);
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3"}));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Título")), QStringLiteral("Alfa"));
    QCOMPARE(f->TotalRegistros, 3);
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 3  de  3"));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
    QVERIFY(commandState(f).startsWith(QStringLiteral(
        "novo 1/1 salvar 0/0 editar 1/1 excluir 1/1 cancelar 0/0 emprestar 1 imagem 11 front Text1")));
}

void CatalogueEditingTest::refusedPendingRecordIsKept_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("bad");
    QTest::addColumn<QString>("good");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("stored");
    const QString tooLong = QStringLiteral("Colecao de selos raros 1234");  // 27 of 25
    QTest::newRow("adding, kind too long") << "adding" << "Cmbobjeto" << tooLong << "Livro" << "Objeto" << "Livro";
    QTest::newRow("adding, impossible date") << "adding" << "mskdata" << "31/02/2003" << "28/02/2003" << "Data"
                                             << "28/02/2003";
    QTest::newRow("editing, kind too long") << "editing" << "Cmbobjeto" << tooLong << "Revista" << "Objeto"
                                            << "Revista";
    QTest::newRow("editing, impossible date") << "editing" << "mskdata" << "30/02/2004" << "29/02/2004" << "Data"
                                              << "29/02/2004";
}

// Another desk changes the object while it is edited here: "Salvar" says
// so and stores nothing, what was typed stays; "Cancelar" then shows the
// object as it now is. Deleted there, "Excluir" here says so.
void CatalogueEditingTest::saveOverAnotherDesksChange()
{
    Frmobjetos* f = showCatalogue();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    f->cmdEditar->click();
    f->txttítulo->selectAll();
    QTest::keyClicks(f->txttítulo, QStringLiteral("Digitado"));
    {
        auto other = testutil::openCollection(databaseFile())->openRecordset(QStringLiteral("objetos"));
        other->edit();
        other->setText(QStringLiteral("Título"), QStringLiteral("Da outra mesa"));
        other->update();
    }
    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QVERIFY(m_folder->services.messageBoxes.first().text.contains(QStringLiteral("outro computador")));
    QCOMPARE(pending(f), EditMode::Editing);
    QCOMPARE(f->txttítulo->text(), QStringLiteral("Digitado"));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Título")), QStringLiteral("Da outra mesa"));
    f->cmdCancelar->click();
    QCOMPARE(pending(f), EditMode::None);
    QCOMPARE(f->txttítulo->text(), QStringLiteral("Da outra mesa"));

    // The other desk deletes it: "Excluir" here says it was gone already
    // and the window moves on.
    {
        auto other = testutil::openCollection(databaseFile())->openRecordset(QStringLiteral("objetos"));
        other->deleteRecord();
    }
    m_folder->services.msgBoxAnswers.enqueue(platform::ResultOk);
    f->cmdExcluir->click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 3);  // the question, then the answer
    QVERIFY(m_folder->services.messageBoxes.last().text.contains(QStringLiteral("já tinha sido excluído")));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));  // where a delete of its own ends
    QCOMPARE(f->TotalRegistros, 2);
}

void CatalogueEditingTest::refusedPendingRecordIsKept()
{
    QFETCH(QString, mode);
    QFETCH(QString, box);
    QFETCH(QString, bad);
    QFETCH(QString, good);
    QFETCH(QString, field);
    QFETCH(QString, stored);
    Frmobjetos* f = showCatalogue();
    enterMode(f, mode);
    const EditMode expected = mode == QLatin1String("adding") ? EditMode::Adding : EditMode::Editing;
    const QString code = mode == QLatin1String("adding") ? QStringLiteral("N1") : QStringLiteral("A1");
    f->Txtcod->selectAll();
    QTest::keyClicks(f->Txtcod, code);
    f->txttítulo->selectAll();
    QTest::keyClicks(f->txttítulo, QStringLiteral("Digitado"));
    QLineEdit* edit = box == QLatin1String("Cmbobjeto") ? f->Cmbobjeto->lineEdit() : f->mskdata;
    edit->selectAll();
    QTest::keyClicks(edit, bad);
    QCOMPARE(edit->text(), bad);

    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.beeps, 1);
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    const QString description = m_folder->services.messageBoxes.first().text;
    QVERIFY(!description.isEmpty());
    QVERIFY(description != kDuplicate);
    // Still adding or editing, everything typed still there, nothing stored.
    QCOMPARE(pending(f), expected);
    QVERIFY(commandState(f).startsWith(QStringLiteral(
        "novo 0/0 salvar 1/1 editar 0/0 excluir 0/0 cancelar 1/1 emprestar 0 imagem 00 front MaskEdBox1")));
    QCOMPARE(f->Txtcod->text(), code);
    QCOMPARE(f->txttítulo->text(), QStringLiteral("Digitado"));
    QCOMPARE(edit->text(), bad);
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3"}));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Título")), QStringLiteral("Alfa"));

    // Mending the value and saving again stores everything typed.
    edit->selectAll();
    QTest::keyClicks(edit, good);
    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(pending(f), EditMode::None);
    QCOMPARE(storedText(code, QStringLiteral("Título")), QStringLiteral("Digitado"));
    QCOMPARE(storedText(code, field), stored);
    QCOMPARE(storedCodes().size(), mode == QLatin1String("adding") ? 4 : 3);
    QVERIFY(f->cmdNovo->isEnabled());
}

void CatalogueEditingTest::refusedAutomaticSaveIsShown()
{
    Frmobjetos* f = showCatalogue();
    f->cmdEditar->click();
    f->mskdata->selectAll();
    QTest::keyClicks(f->mskdata, QStringLiteral("31/02/2003"));
    // Moving on stores the edit by itself; the engine refuses it and the
    // source stays on the record: the user is told why.
    f->TabObjetos->moveNext();
    QCOMPARE(m_folder->services.beeps, 1);
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QCOMPARE(f->mskdata->text(), QStringLiteral("31/02/2003"));
}

void CatalogueEditingTest::newObjectRefusedKeepsShownObject()
{
    Frmobjetos* f = showCatalogue();
    const QString commands = commandState(f);
    const QString stored = storedText(QStringLiteral("A1"), QStringLiteral("Data"));
    // A date the engine cannot store, typed while browsing.
    f->mskdata->setFocus();
    f->mskdata->selectAll();
    QTest::keyClicks(f->mskdata, QStringLiteral("31/02/2003"));
    f->cmdNovo->setFocus();

    f->cmdNovo->click();
    // Told once; the object stays shown as typed, nothing new is started and
    // the count is as it was.
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QVERIFY(pending(f) != EditMode::Adding);
    QCOMPARE(commandState(f), commands);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QCOMPARE(f->mskdata->text(), QStringLiteral("31/02/2003"));
    QCOMPARE(f->TotalRegistros, 3);
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 1  de  3"));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Data")), stored);

    // Corrected, "Novo" stores the date on that object and a new one is
    // added beside it.
    f->mskdata->setFocus();
    f->mskdata->selectAll();
    QTest::keyClicks(f->mskdata, QStringLiteral("28/02/2003"));
    f->cmdNovo->click();
    QCOMPARE(pending(f), EditMode::Adding);
    QCOMPARE(f->TotalRegistros, 4);
    QTest::keyClicks(f->Txtcod, QStringLiteral("D4"));
    QTest::keyClicks(f->txttítulo, QStringLiteral("Delta"));
    f->cmdSalvar->click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(storedCodes(), (QStringList{"A1", "B2", "C3", "D4"}));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Data")), QStringLiteral("28/02/2003"));
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("Título")), QStringLiteral("Alfa"));
    QCOMPARE(f->TotalRegistros, 4);
}

// ---------------------------------------------------------------------------
// Delete

void CatalogueEditingTest::deleteObject_data()
{
    QTest::addColumn<QList<ObjectRow>>("objects");
    QTest::addColumn<QList<LoanRow>>("loans");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("borrower");
    QTest::addColumn<bool>("emprestar");
    QTest::addColumn<int>("beeps");
    const QList<LoanRow> none;
    const QList<LoanRow> betaLent = {{QStringLiteral("B2"), QStringLiteral("Carla"), QStringLiteral("02/02/2003"),
                                      QStringLiteral("Não")}};
    QTest::newRow("last in table order") << threeObjects() << none << 2 << int(platform::ResultOk) << "B2"
                                         << " Registro : 2  de  2" << QStringList{"A1", "B2"} << "" << true << 0;
    QTest::newRow("first: the last remaining is shown") << threeObjects() << none << 0 << int(platform::ResultOk)
                                                         << "C3" << " Registro : 2  de  2" << QStringList{"B2", "C3"}
                                                         << "" << true << 0;
    QTest::newRow("only object") << QList<ObjectRow>{{QStringLiteral("A1"), QStringLiteral("Alfa"), QStringLiteral("10")}}
                                 << none << 0 << int(platform::ResultOk) << "" << " Registro : 0  de  0"
                                 << QStringList{} << "" << true << 0;
    QTest::newRow("answer Cancel") << threeObjects() << none << 1 << int(platform::ResultCancel) << "B2"
                                   << " Registro : 2  de  3" << QStringList{"A1", "B2", "C3"} << "" << true << 0;
    QTest::newRow("the object shown next is lent") << threeObjects() << betaLent << 2 << int(platform::ResultOk)
                                                   << "B2" << " Registro : 2  de  2" << QStringList{"A1", "B2"}
                                                   << "Carla" << false
                                                   // B2 is reached twice by the moves (after the
                                                   // deletion and as the last record), each time
                                                   // the borrower's beep; then the delete's own.
                                                   << 3;
}

void CatalogueEditingTest::deleteObject()
{
    QFETCH(QList<ObjectRow>, objects);
    QFETCH(QList<LoanRow>, loans);
    QFETCH(int, position);
    QFETCH(int, answer);
    QFETCH(QString, shown);
    QFETCH(QString, counter);
    QFETCH(QStringList, remaining);
    QFETCH(QString, borrower);
    QFETCH(bool, emprestar);
    QFETCH(int, beeps);
    Frmobjetos* f = showCatalogue(objects, loans);
    f->TabObjetos->setAbsolutePosition(position);
    f->lblBorrow->clear();
    const int beepsBefore = m_folder->services.beeps;
    const QString before = commandState(f);
    m_folder->services.msgBoxAnswers.enqueue(answer);
    f->cmdExcluir->click();

    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    const auto& box = m_folder->services.messageBoxes.first();
    QCOMPARE(box.text, QStringLiteral("Você quer realmente Excluir este Registro?"));
    QCOMPARE(box.buttons, int(platform::OkCancel));
    QCOMPARE(box.icon, int(platform::NoIcon));
    QCOMPARE(box.title, QStringLiteral("Excluir Registro"));
    QCOMPARE(storedCodes(), remaining);
    QCOMPARE(f->Txtcod->text(), shown);
    QCOMPARE(f->lblCount->text(), counter);
    QCOMPARE(f->TotalRegistros, remaining.size());
    if (answer == platform::ResultOk) {
        QCOMPARE(f->lblBorrow->text(), borrower);
        QCOMPARE(f->lblborrow2->text(), borrower);
        QCOMPARE(m_folder->services.beeps - beepsBefore, beeps);
        QCOMPARE(f->cmdEmprestar->isEnabled(), emprestar);
        // The edit mode stays browsing ("Emprestar" follows the object shown,
        // checked above).
        const auto editPattern = [](const QString& state) { return state.section(QStringLiteral(" emprestar"), 0, 0); };
        QCOMPARE(editPattern(commandState(f)), editPattern(before));
    } else {
        QCOMPARE(commandState(f), before);
    }
    if (remaining.isEmpty()) {
        QVERIFY(f->txttítulo->text().isEmpty());
        QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  0,00"));
    }
}

// ---------------------------------------------------------------------------
// Counter, total and value

void CatalogueEditingTest::counterWhileNewObjectPending()
{
    QList<ObjectRow> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append({QStringLiteral("K%1").arg(i), QStringLiteral("Objeto %1").arg(i), QString()});
    Frmobjetos* f = showCatalogue(twelve);
    f->TabObjetos->setAbsolutePosition(4);
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 5  de  12"));
    f->cmdNovo->click();
    QCOMPARE(f->Data1->caption(), QStringLiteral(" Registro : 0  de  13"));
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 0  de  13"));
    f->cmdCancelar->click();
    QCOMPARE(f->TotalRegistros, 12);
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 5  de  12"));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("K5"));
}

void CatalogueEditingTest::totalValue_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("total");
    QTest::newRow("10, empty and 2.5") << QStringList{"10", "", "2,5"} << "R$  12,50";
    QTest::newRow("only empty values") << QStringList{"", ""} << "R$  0,00";
    QTest::newRow("thousands grouped") << QStringList{"1234,5"} << "R$  1.234,50";
    QTest::newRow("four decimals add up before rounding") << QStringList{"0,0025", "0,0025"} << "R$  0,01";
    QTest::newRow("millions") << QStringList{"1000000", "234567,89"} << "R$  1.234.567,89";
    // Past the currency range the total is not written (never a wrapped sum).
    QTest::newRow("past the currency range") << QStringList(10, QStringLiteral("99999999999999")) << "";
}

void CatalogueEditingTest::totalValue()
{
    QFETCH(QStringList, values);
    QFETCH(QString, total);
    QList<ObjectRow> objects;
    for (int i = 0; i < values.size(); ++i)
        objects.append({QStringLiteral("V%1").arg(i), QStringLiteral("Valor %1").arg(i), values.at(i)});
    Frmobjetos* f = showCatalogue(objects);
    QCOMPARE(f->lbltotal->text(), total);
}

void CatalogueEditingTest::valueShownIsNotStored()
{
    Frmobjetos* f = showCatalogue();
    QVERIFY(f->Text1->isReadOnly());
    QCOMPARE(f->Text1->text(), QStringLiteral("R$ 10,00"));  // a plain space after the sign
    f->TabObjetos->moveNext();
    QCOMPARE(f->Text1->text(), QString());  // an empty value stays empty
    f->TabObjetos->moveNext();
    QCOMPARE(f->Text1->text(), QStringLiteral("R$ 2,50"));
    f->TabObjetos->moveFirst();
    f->TabObjetos->moveLast();
    // The formatted display made no record look changed.
    QCOMPARE(pending(f), EditMode::None);
    QVERIFY(!f->Data1->userChanged());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("valor")), QStringLiteral("10,00"));
    QCOMPARE(storedText(QStringLiteral("B2"), QStringLiteral("valor")), QString());
    QCOMPARE(storedText(QStringLiteral("C3"), QStringLiteral("valor")), QStringLiteral("2,50"));
}

void CatalogueEditingTest::valueEnteredInMaskedBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("total");
    QTest::newRow("comma decimals") << "12,50" << "12,50" << "R$ 12,50" << "R$  15,00";
    QTest::newRow("grouped") << "1.234,50" << "1.234,50" << "R$ 1.234,50" << "R$  1.237,00";
    QTest::newRow("with the sign") << "R$ 7,00" << "7,00" << "R$ 7,00" << "R$  9,50";
    QTest::newRow("whole") << "300" << "300,00" << "R$ 300,00" << "R$  302,50";
}

void CatalogueEditingTest::valueEnteredInMaskedBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, display);
    QFETCH(QString, total);
    Frmobjetos* f = showCatalogue();
    f->cmdEditar->click();
    QVERIFY(above(f->MaskEdBox1, f->Text1));
    f->MaskEdBox1->setFocus();
    f->MaskEdBox1->selectAll();
    QTest::keyClicks(f->MaskEdBox1, typed);
    f->cmdSalvar->click();
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("valor")), stored);
    QCOMPARE(f->lbltotal->text(), total);
    QVERIFY(above(f->Text1, f->MaskEdBox1));
    f->TabObjetos->moveFirst();
    QCOMPARE(f->Text1->text(), display);
}

void CatalogueEditingTest::badAmountIsRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("two decimal marks") << "1,5,6";
    QTest::newRow("groups of one digit") << "1.2.3";
    QTest::newRow("decimal mark twice") << "12,3,4";
    QTest::newRow("three decimals") << "12,345";
}

void CatalogueEditingTest::badAmountIsRefused()
{
    QFETCH(QString, typed);
    Frmobjetos* f = showCatalogue();
    f->cmdEditar->click();
    f->MaskEdBox1->setFocus();
    f->MaskEdBox1->selectAll();
    QTest::keyClicks(f->MaskEdBox1, typed);
    f->cmdSalvar->click();
    // Refused with its reason; the typed text and the edit stay.
    QCOMPARE(m_folder->services.messageTexts(), QStringList{amountRefusal(typed, QLocale())});
    QCOMPARE(f->MaskEdBox1->text(), typed);
    QCOMPARE(pending(f), EditMode::Editing);
    QVERIFY(f->cmdSalvar->isEnabled() && !f->cmdNovo->isEnabled());
    QCOMPARE(storedText(QStringLiteral("A1"), QStringLiteral("valor")), QStringLiteral("10,00"));
}

void CatalogueEditingTest::moveWhileAddingRunsSaveChecks_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("told");  // the check of "Salvar" that refused the move, if any
    QTest::addColumn<QStringList>("stored");
    const QStringList three{"A1", "B2", "C3"};
    QTest::newRow("no title") << "N1" << "" << kNoTitle << three;
    QTest::newRow("no code") << "" << "Novo" << kNoCode << three;
    QTest::newRow("nothing typed: dropped") << "" << "" << "" << three;
    QTest::newRow("title and code: stored") << "N1" << "Novo" << "" << (three + QStringList{"N1"});
}

void CatalogueEditingTest::moveWhileAddingRunsSaveChecks()
{
    QFETCH(QString, code);
    QFETCH(QString, title);
    QFETCH(QString, told);
    QFETCH(QStringList, stored);
    Frmobjetos* f = showCatalogue();
    f->cmdNovo->click();
    QTest::keyClicks(f->Txtcod, code);
    f->txttítulo->setFocus();
    QTest::keyClicks(f->txttítulo, title);
    const QString adding = commandState(f).section(QStringLiteral(" front"), 0, 0);

    f->mnuanterior->trigger();

    if (!told.isEmpty()) {
        // The new object stays, as typed, and nothing is stored.
        QCOMPARE(m_folder->services.messageTexts(), QStringList{told});
        QCOMPARE(pending(f), EditMode::Adding);
        QCOMPARE(f->Txtcod->text(), code);
        QCOMPARE(f->txttítulo->text(), title);
        QCOMPARE(commandState(f).section(QStringLiteral(" front"), 0, 0), adding);
    } else {
        // Stored or dropped by the move; the commands browse again.
        QVERIFY(m_folder->services.messageBoxes.isEmpty());
        QCOMPARE(pending(f), EditMode::None);
        QVERIFY(f->cmdNovo->isEnabled() && !f->cmdSalvar->isEnabled() && !f->mnusalvar->isEnabled());
    }
    QCOMPARE(storedCodes(), stored);
}

// ---------------------------------------------------------------------------
// Loans of the code typed

void CatalogueEditingTest::codeTypedLetterByLetter_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("borrowers");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("1, 12, 123") << "123" << QStringList{"Ana", "Caio", ""} << QStringList{"Não", "Sim", ""};
    QTest::newRow("apostrophe") << "D'A" << QStringList{"", "", "Duda"} << QStringList{"", "", "Não"};
    QTest::newRow("case ignored") << "d'a" << QStringList{"", "", "Duda"} << QStringList{"", "", "Não"};
}

void CatalogueEditingTest::codeTypedLetterByLetter()
{
    QFETCH(QString, code);
    QFETCH(QStringList, borrowers);
    QFETCH(QStringList, states);
    const QList<LoanRow> loans = {
        {QStringLiteral("1"), QStringLiteral("Bia"), QStringLiteral("01/01/2003"), QStringLiteral("Sim")},
        {QStringLiteral("1"), QStringLiteral("Ana"), QStringLiteral("01/02/2003"), QStringLiteral("Não")},
        {QStringLiteral("12"), QStringLiteral("Caio"), QStringLiteral("03/03/2003"), QStringLiteral("Sim")},
        {QStringLiteral("D'A"), QStringLiteral("Duda"), QStringLiteral("04/04/2003"), QStringLiteral("Não")},
    };
    Frmobjetos* f = showCatalogue(threeObjects(), loans);
    f->cmdNovo->click();
    for (int i = 0; i < code.size(); ++i) {
        QTest::keyClick(f->Txtcod, code.at(i).toLatin1());
        const QString partial = code.left(i + 1);
        QCOMPARE(f->Txtcod->text(), partial);
        QCOMPARE(f->BancoDados->queryDefSql(QStringLiteral("pesquisa")),
                 QStringLiteral("select * from empréstimos where codobjeto = '") + ondrel::db::literal(partial)
                     + QStringLiteral("'order by data desc"));
        QCOMPARE(f->Label1->text(), borrowers.at(i));
        QCOMPARE(f->Text2->text(), states.at(i));
    }
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

// ---------------------------------------------------------------------------
// Kind list

void CatalogueEditingTest::kindListOpensOnFocus_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Tab") << "tab";
    QTest::newRow("Shift+Tab") << "backtab";
    QTest::newRow("click") << "click";
}

namespace {
// Counts the openings of a combo box's list.
class ShowCounter : public QObject {
public:
    int shows = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return QObject::eventFilter(watched, event);
    }
};
}  // namespace

void CatalogueEditingTest::kindListOpensOnFocus()
{
    QFETCH(QString, how);
    Frmobjetos* f = showCatalogue();
    QVERIFY(QApplication::activeWindow() == f);
    QWidget* list = f->Cmbobjeto->view()->window();
    ShowCounter counter;
    list->installEventFilter(&counter);
    f->cmdEditar->click();  // focus in the title box

    if (how == QLatin1String("tab")) {
        f->mskdata->setFocus();
        QTest::keyClick(f->mskdata, Qt::Key_Tab);
    } else if (how == QLatin1String("backtab")) {
        QWidget* after = f->Cmbobjeto->nextInFocusChain();
        while (after->focusProxy() || !(after->focusPolicy() & Qt::TabFocus))
            after = after->nextInFocusChain();
        after->setFocus();
        QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
    } else {
        QTest::mouseClick(f->Cmbobjeto->lineEdit(), Qt::LeftButton);
    }
    QVERIFY(f->Cmbobjeto->hasFocus());
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(counter.shows, 1);

    // Picking a kind closes the list; the focus coming back does not open it.
    QTest::keyClick(f->Cmbobjeto->view(), Qt::Key_Down);
    QTest::keyClick(f->Cmbobjeto->view(), Qt::Key_Return);
    QTRY_VERIFY(!list->isVisible());
    QTest::qWait(50);
    QVERIFY(!list->isVisible());
    QCOMPARE(counter.shows, 1);
    QVERIFY(f->Cmbobjeto->hasFocus());
    QVERIFY(!f->Cmbobjeto->currentText().isEmpty());

    // Nor does the focus coming back from a menu (as a popup's return or,
    // on platforms that activate the menu's window, with the window's
    // activation).
    f->mnuarquivo->popup(f->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(f->mnuarquivo->isVisible());
    QTest::keyClick(f->mnuarquivo, Qt::Key_Escape);
    QTRY_VERIFY(!f->mnuarquivo->isVisible());
    QTest::qWait(50);
    QApplication::setActiveWindow(f);
    QVERIFY(QTest::qWaitForWindowActive(f));
    QTest::qWait(50);
    QVERIFY(f->Cmbobjeto->hasFocus());
    QVERIFY(!list->isVisible());
    QCOMPARE(counter.shows, 1);
}

QTEST_MAIN(CatalogueEditingTest)
#include "editing_test.moc"
