// The search dialog with the real record windows on a temporary database:
// what "&Ok" writes into the calling window's record source, "Imprime" and
// menus, what "&Cancela" undoes, the keyboard and the layout it starts from.
#include "loans_testutil.h"

#include "binding/datacontrol.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"
#include "widgets/twips.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

using namespace loanstest;
using ondrel::search::Frmpesquisa;
using testutil::shown;

namespace {

const QString kByCode = QStringLiteral("select cod, objeto, título, autor, valor from objetos order by cod");
const QString kSentinel = QStringLiteral("select cod, objeto, título, autor, valor from objetos order by autor");

// The plug-in folder (whose teardown closes the dialog before the windows).
struct Fixture {
    enum Contents { Catalogue, EmptyFile, NoFile };
    // The folder with the catalogue below (most tests), an empty collection, or no file at all.
    explicit Fixture(Contents contents = Catalogue)
    {
        if (contents == Catalogue)
            createCatalogue();
        else if (contents == EmptyFile)
            folder.create(testutil::Collection::Empty);
    }
    Folder folder;
    // Objects with subject and description; B2 has no author, subject or
    // description at all.
    void createCatalogue()
    {
        folder.create({{"A1", "Livro", "Dom Casmurro", "Machado de Assis"},
                       {"B2", "Revista", "Veja", ""},
                       {"C3", "DVD", "Olho d'Água", "Ana Muylaert"},
                       {"D4", "Disco (CD)", "100% Samba", "Vários"}},
                      {{"A1", "Ana", "Sim", "01/02/2003", ""},
                       {"B2", "Bruno", "Não", "02/02/2003", ""},
                       {"C3", "Carla", "não", "03/02/2003", ""},
                       {"D4", "Davi", "NÃO", "04/02/2003", ""},
                       {"A1", "Elisa", "Sim", "05/02/2003", ""}});
        auto db = folder.open();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        const QList<QStringList> extra = {{"Romance", "Um ciúme antigo"}, {}, {"Drama", ""}, {"", "ao vivo"}};
        for (const QStringList& fields : extra) {
            if (!fields.isEmpty()) {
                rs->edit();
                if (!fields[0].isEmpty())
                    rs->setText(QStringLiteral("assunto"), fields[0]);
                if (!fields[1].isEmpty())
                    rs->setText(QStringLiteral("descrição"), fields[1]);
                rs->update();
            }
            rs->moveNext();
        }
        db->deleteQueryDef(QStringLiteral("Imprime"));
        db->createQueryDef(QStringLiteral("Imprime"), kSentinel);
    }
    QString imprime() const { return folder.open()->queryDefSql(QStringLiteral("Imprime")); }
};

// The values of one field over a window's whole listing, sorted.
QStringList listed(ondrel::db::DataControl* data, const QString& field)
{
    QStringList values;
    auto* rs = data->recordset();
    for (int i = 0; i < rs->keyCount(); ++i)
        values << rs->textAt(i, field);
    std::sort(values.begin(), values.end());
    return values;
}

bool above(QWidget* a, QWidget* b)
{
    const QObjectList& siblings = a->parent()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

// What the catalogue window does before showing the dialog.
Frmpesquisa* prepareCatalogueSearch(Frmobjetos* objetos)
{
    objetos->cmdFechar->raise();
    objetos->mnufecharpesquisa->setEnabled(true);
    objetos->lblpanel->setText(QString());
    Frmpesquisa* dlg = Frmpesquisa::instance();
    for (const char* entry : {"Objeto", "Título", "Autor(a)", "Assunto", "Descrição"})
        dlg->Combo1->addItem(QString::fromUtf8(entry));
    dlg->Combo1->setEditText(QStringLiteral("Objeto"));
    dlg->Optobjeto->setChecked(true);
    objetos->mnuordenar->setEnabled(false);
    return dlg;
}

// What the loans window does before showing the dialog.
Frmpesquisa* prepareLoansSearch(Frmemprestimos* loans)
{
    loans->lblpanel->setText(QString());
    loans->cmdFechar->raise();
    loans->mnuordenar->setEnabled(false);
    loans->mnumostrar->setEnabled(false);
    loans->mnufecharpesquisa->setEnabled(true);
    Frmpesquisa* dlg = Frmpesquisa::instance();
    for (const char* entry : {"Nome", "Objeto", "Título", "Autor(a)"})
        dlg->Combo1->addItem(QString::fromUtf8(entry));
    dlg->Combo1->setEditText(QStringLiteral("Nome"));
    dlg->Frame2->raise();
    dlg->Optemprestimo->setChecked(true);
    dlg->Option1->setChecked(true);
    return dlg;
}

// Shows the dialog modally and runs `user` inside its loop, once the dialog
// has the keyboard; `user` closes it.
void showModal(Frmpesquisa* dlg, const std::function<void()>& user)
{
    QVERIFY(testutil::answerDialog<Frmpesquisa>([dlg] { dlg->ShowModal(); }, [&](Frmpesquisa* shown) {
        QVERIFY(QTest::qWaitForWindowActive(shown));
        user();
    }));
}

}  // namespace

class SearchTest : public QObject {
    Q_OBJECT
private slots:
    void layoutAtLoad_data();
    void layoutAtLoad();
    void catalogueSearch_data();
    void catalogueSearch();
    void catalogueSearchWithoutEntry_data();
    void catalogueSearchWithoutEntry();
    void descriptionCountsReachedRecords();
    void loansSearch_data();
    void loansSearch();
    void catalogueCancelAsFirstUse();
    void loansCancelKeepsFilter();
    void cancelWithoutCallerStaysOpen();
    void keyboard_data();
    void keyboard();
    void everyClosingRestoresLoadLayout();
    void engineErrorIsShown();
    void openedByBothWindows();
};

void SearchTest::layoutAtLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::newRow("Frame1") << "Frame1" << QRect(84, 228, 4512, 1824) << "";
    QTest::newRow("Label1") << "Label1" << QRect(144, 372, 1920, 192) << "Escolha um Campo:";
    QTest::newRow("Combo1") << "Combo1" << QRect(144, 600, 1848, 288) << "";
    QTest::newRow("Label2") << "Label2" << QRect(132, 996, 2496, 192) << "Digite a Chave:";
    QTest::newRow("Text1") << "Text1" << QRect(132, 1236, 2904, 300) << "";
    QTest::newRow("Ok") << "Command1_0" << QRect(288, 2196, 1044, 336) << "&Ok";
    QTest::newRow("Cancela") << "Command1_1" << QRect(3360, 2208, 1044, 336) << "&Cancela";
    QTest::newRow("Frame3") << "Frame3" << QRect(1908, 888, 936, 576) << "";
    // Three scopes where there were two: closer together, in a frame
    // that still ends above the key's box.
    QTest::newRow("Frame2") << "Frame2" << QRect(2388, 432, 1968, 1000) << "Objetos";
    QTest::newRow("Option1") << "Option1" << QRect(96, 228, 1116, 240) << "Todos";
    QTest::newRow("Option2") << "Option2" << QRect(96, 480, 1692, 240) << "Emprestados";
    QTest::newRow("Option3") << "Option3" << QRect(96, 732, 1692, 240) << "Atrasados";
    QTest::newRow("txttotal") << "txttotal" << QRect(3324, 1212, 852, 288) << "";
}

void SearchTest::layoutAtLoad()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    Frmpesquisa* dlg = Frmpesquisa::instance();
    auto* widget = dlg->findChild<QWidget*>(name);
    QVERIFY(widget);
    const QRect actual = ondrel::platform::geometryInTwips(widget);
    const int pixel = ondrel::platform::pixelsToTwips(1, ondrel::platform::logicalDpi(dlg));
    for (auto [a, e] : {std::pair{actual.left(), twips.left()}, {actual.top(), twips.top()},
                        {actual.width(), twips.width()}, {actual.height(), twips.height()}})
        QVERIFY2(std::abs(a - e) <= pixel, qPrintable(QStringLiteral("%1 vs %2").arg(a).arg(e)));
    QString shown = widget->property("text").toString();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        shown = box->title();
    QCOMPARE(shown, text);

    QCOMPARE(dlg->windowTitle(), QStringLiteral("Pesquisar..."));
    QCOMPARE(ondrel::platform::pixelsToTwips(dlg->width(), ondrel::platform::logicalDpi(dlg)) / 15,
             4755 / 15);
    // Only Frame1 and the two buttons are seen: everything else lies behind
    // Frame1, which paints its background.
    if (widget->parent() == dlg && widget != dlg->Frame1 && !qobject_cast<QPushButton*>(widget)) {
        QVERIFY(dlg->Frame1->geometry().contains(widget->geometry()));
        QVERIFY(above(dlg->Frame1, widget));
        QVERIFY(dlg->Frame1->autoFillBackground());
    }
    QVERIFY(dlg->Command1[0]->isDefault());
    QVERIFY(dlg->Combo1->isEditable());
    QCOMPARE(dlg->Combo1->count(), 0);
    QVERIFY(!dlg->Optobjeto->isChecked() && !dlg->Optemprestimo->isChecked());
    QCOMPARE(dlg->Optobjeto->focusPolicy(), Qt::NoFocus);
    delete dlg;
}

void SearchTest::catalogueSearch_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("panel");  // null: left to the catalogue's own display
    QTest::newRow("middle of a title, other case") << "Título" << "CASM" << "título" << QStringList{"A1"} << "antes";
    QTest::newRow("apostrophe in the key") << "Título" << "d'água" << "título" << QStringList{"C3"} << "antes";
    QTest::newRow("percent is no wildcard") << "Título" << "%" << "título" << QStringList{"D4"} << "antes";
    QTest::newRow("empty key: authors with a value")
        << "Autor(a)" << "" << "autor" << QStringList{"A1", "C3", "D4"} << "antes";
    QTest::newRow("empty key: subjects with a value")
        << "Assunto" << "" << "assunto" << QStringList{"A1", "C3"} << "antes";
    QTest::newRow("kind") << "Objeto" << "V" << "objeto" << QStringList{"A1", "B2", "C3"} << "antes";
    QTest::newRow("description") << "Descrição" << "ivo" << "descrição" << QStringList{"D4"} << "1";
    QTest::newRow("nothing found") << "Título" << "zzz" << "título" << QStringList{} << QString();
}

void SearchTest::catalogueSearch()
{
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, column);
    QFETCH(QStringList, codes);
    QFETCH(QString, panel);
    Fixture fx;
    Frmobjetos* objetos = shown<Frmobjetos>();
    Frmpesquisa* dlg = prepareCatalogueSearch(objetos);
    objetos->lblpanel->setText(QStringLiteral("antes"));
    showModal(dlg, [&] {
        dlg->Combo1->setEditText(field);
        dlg->Text1->setText(key);
        QTest::mouseClick(dlg->Command1[0], Qt::LeftButton);
    });

    QVERIFY(!dlg->isVisible());
    QVERIFY(fx.folder.services.messageBoxes.isEmpty());
    const QString pattern = column + " like '*" + QString(key).replace("'", "''") + "*'";
    QCOMPARE(objetos->Data1->recordSource(), "select * from objetos where " + pattern);
    QCOMPARE(listed(objetos->Data1, "cod"), codes);
    QCOMPARE(fx.imprime(), "select cod, objeto, título, autor, valor from objetos where " + pattern);
    QCOMPARE(dlg->ConsultaImprime->sql(), fx.imprime());
    auto printed = fx.folder.open()->openRecordset(QStringLiteral("Imprime"));
    QCOMPARE(printed->keyCount(), codes.size());
    if (!panel.isNull())
        QCOMPARE(objetos->lblpanel->text(), panel);
    QVERIFY(objetos->mnufecharpesquisa->isEnabled());
    QVERIFY(!objetos->mnupesquisar->isEnabled());
    QVERIFY(!objetos->mnuordenar->isEnabled());
    QCOMPARE(dlg->CaminhoBanco, fx.folder.path());
}

void SearchTest::catalogueSearchWithoutEntry_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("no accent") << "titulo";
    QTest::newRow("lower case") << "título";
    QTest::newRow("loans entry") << "Nome";
    QTest::newRow("empty") << "";
}

void SearchTest::catalogueSearchWithoutEntry()
{
    QFETCH(QString, field);
    Fixture fx;
    Frmobjetos* objetos = shown<Frmobjetos>();
    const QString source = objetos->Data1->recordSource();
    Frmpesquisa* dlg = prepareCatalogueSearch(objetos);
    dlg->Text1->setText(QStringLiteral("Dom"));
    // Typed over the preselected entry and confirmed with Enter in the box.
    showModal(dlg, [&] {
        dlg->Combo1->lineEdit()->selectAll();
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Delete);
        typeText(dlg->Combo1->lineEdit(), field);
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Return);
    });
    QVERIFY(!dlg->isVisible());

    QCOMPARE(objetos->Data1->recordSource(), source);
    QCOMPARE(objetos->Data1->recordset()->keyCount(), 4);
    QCOMPARE(fx.imprime(), kSentinel);
    QVERIFY(!dlg->ConsultaImprime);
    QVERIFY(objetos->mnufecharpesquisa->isEnabled());
    QVERIFY(!objetos->mnupesquisar->isEnabled());
    QVERIFY(dlg->BancoDados && dlg->TabObjetos);
}

void SearchTest::descriptionCountsReachedRecords()
{
    // An empty catalogue counts 0; a full one 1, as only the first record of
    // the set was reached.
    for (bool empty : {true, false}) {
        Fixture fx(empty ? Fixture::EmptyFile : Fixture::Catalogue);
        Frmobjetos* objetos = shown<Frmobjetos>();
        Frmpesquisa* dlg = prepareCatalogueSearch(objetos);
        dlg->Combo1->setEditText(QStringLiteral("Descrição"));
        dlg->Command1_Click(0);
        QCOMPARE(objetos->lblpanel->text(), empty ? QStringLiteral("0") : QStringLiteral("1"));
        QVERIFY(fx.folder.services.messageBoxes.isEmpty());
    }
}

void SearchTest::loansSearch_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("lentOnly");
    QTest::addColumn<QString>("statement");  // empty: the listing is unchanged
    QTest::addColumn<QStringList>("names");
    QTest::newRow("all, name") << "Nome" << "AR" << false << "select * from empréstimos where nome like '*AR*'"
                               << QStringList{"Carla"};
    QTest::newRow("lent, any case") << "Título" << "" << true
                                    << "select * from empréstimos where entregue='não' and título like '**'"
                                    << QStringList{"Bruno", "Carla", "Davi"};
    QTest::newRow("lent, author") << "Autor(a)" << "a" << true
                                  << "select * from empréstimos where entregue='não' and autor like '*a*'"
                                  << QStringList{"Carla", "Davi"};
    QTest::newRow("all, apostrophe") << "Título" << "D'Á" << false
                                     << "select * from empréstimos where título like '*D''Á*'" << QStringList{"Carla"};
    QTest::newRow("catalogue entry") << "Assunto" << "a" << false << "" << QStringList{};
    QTest::newRow("lower case entry") << "nome" << "a" << true << "" << QStringList{};
}

void SearchTest::loansSearch()
{
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(bool, lentOnly);
    QFETCH(QString, statement);
    QFETCH(QStringList, names);
    Fixture fx;
    Frmemprestimos* loans = shown<Frmemprestimos>();
    const QString source = loans->Data1->recordSource();
    Frmpesquisa* dlg = prepareLoansSearch(loans);
    showModal(dlg, [&] {
        QVERIFY(above(dlg->Frame2, dlg->Frame1));
        dlg->Combo1->setEditText(field);
        dlg->Text1->setText(key);
        if (lentOnly)
            QTest::mouseClick(dlg->Option2, Qt::LeftButton);
        QTest::mouseClick(dlg->Command1[0], Qt::LeftButton);
    });

    QVERIFY(!dlg->isVisible());
    QVERIFY(fx.folder.services.messageBoxes.isEmpty());
    if (statement.isEmpty()) {
        QCOMPARE(loans->Data1->recordSource(), source);
        QCOMPARE(loans->Data1->recordset()->keyCount(), 5);
    } else {
        QCOMPARE(loans->Data1->recordSource(), statement);
        QCOMPARE(listed(loans->Data1, "Nome"), names);
    }
    // A loans search opens nothing and leaves the menus as the window set them.
    QVERIFY(!dlg->BancoDados);
    QVERIFY(loans->mnufecharpesquisa->isEnabled());
    QVERIFY(!loans->mnuordenar->isEnabled());
}

void SearchTest::catalogueCancelAsFirstUse()
{
    Fixture fx;
    Frmobjetos* objetos = shown<Frmobjetos>();
    const QString source = objetos->Data1->recordSource();
    Frmpesquisa* dlg = prepareCatalogueSearch(objetos);
    objetos->lblpanel->setText(QStringLiteral("algo"));
    QVERIFY(!dlg->BancoDados);
    showModal(dlg, [&] { QTest::mouseClick(dlg->Command1[1], Qt::LeftButton); });

    QVERIFY(!dlg->isVisible());
    QVERIFY(dlg->BancoDados);
    QCOMPARE(dlg->CaminhoBanco, fx.folder.path());
    QCOMPARE(fx.imprime(), kByCode);
    QCOMPARE(dlg->ConsultaImprime->name, QStringLiteral("Imprime"));
    QCOMPARE(objetos->lblpanel->text(), QString());
    QVERIFY(above(objetos->cmdSeleciona, objetos->cmdFechar));
    QVERIFY(objetos->mnuordenar->isEnabled());
    QVERIFY(objetos->mnufecharpesquisa->isEnabled());
    QCOMPARE(objetos->Data1->recordSource(), source);
}

void SearchTest::loansCancelKeepsFilter()
{
    Fixture fx;
    Frmemprestimos* loans = shown<Frmemprestimos>();
    Frmpesquisa* dlg = prepareLoansSearch(loans);
    dlg->Text1->setText(QStringLiteral("a"));
    dlg->Command1_Click(0);
    const QString filter = loans->Data1->recordSource();
    QVERIFY(filter.contains(QStringLiteral("nome like '*a*'")));

    dlg = prepareLoansSearch(loans);
    showModal(dlg, [&] { QTest::mouseClick(dlg->Command1[1], Qt::LeftButton); });
    QVERIFY(!dlg->isVisible());
    QCOMPARE(loans->Data1->recordSource(), filter);
    QVERIFY(!loans->mnufecharpesquisa->isEnabled());
    QVERIFY(loans->mnumostrar->isEnabled());
    QVERIFY(loans->mnuordenar->isEnabled());
    QVERIFY(above(loans->cmdSeleciona, loans->cmdFechar));
    QVERIFY(!dlg->BancoDados);
}

void SearchTest::cancelWithoutCallerStaysOpen()
{
    Fixture fx;
    Frmpesquisa* dlg = Frmpesquisa::instance();
    bool stillOpen = false;
    showModal(dlg, [&] {
        QTest::mouseClick(dlg->Command1[1], Qt::LeftButton);
        QTest::mouseClick(dlg->Command1[0], Qt::LeftButton);
        stillOpen = dlg->isVisible();
        dlg->reject();
    });
    QVERIFY(stillOpen);
    QVERIFY(!dlg->BancoDados);
    QCOMPARE(fx.imprime(), kSentinel);
}

void SearchTest::keyboard_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("confirms");
    for (const char* control : {"Combo1", "Text1", "Option1", "Option2", "Command1_0"}) {
        QTest::addRow("Enter in %s", control) << control << int(Qt::Key_Return) << true;
        QTest::addRow("Esc in %s", control) << control << int(Qt::Key_Escape) << false;
    }
    QTest::addRow("keypad Enter in Text1") << "Text1" << int(Qt::Key_Enter) << true;
    QTest::addRow("Esc in Command1_1") << "Command1_1" << int(Qt::Key_Escape) << false;
}

void SearchTest::keyboard()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(bool, confirms);
    Fixture fx;
    Frmemprestimos* loans = shown<Frmemprestimos>();
    Frmpesquisa* dlg = prepareLoansSearch(loans);
    dlg->Text1->setText(QStringLiteral("Bru"));
    showModal(dlg, [&] {
        QVERIFY(dlg->Combo1->hasFocus());
        auto* widget = dlg->findChild<QWidget*>(control);
        widget->setFocus();
        QTest::keyClick(widget == dlg->Combo1 ? dlg->Combo1->lineEdit() : widget, Qt::Key(key));
    });
    QVERIFY(!dlg->isVisible());
    if (confirms) {
        QCOMPARE(listed(loans->Data1, "Nome"), QStringList{"Bruno"});
        QVERIFY(!loans->mnuordenar->isEnabled());
    } else {
        QCOMPARE(loans->Data1->recordset()->keyCount(), 5);
        QVERIFY(loans->mnuordenar->isEnabled());
    }
}

void SearchTest::everyClosingRestoresLoadLayout()
{
    Fixture fx;
    Frmemprestimos* loans = shown<Frmemprestimos>();
    const QString source = loans->Data1->recordSource();
    const std::function<void(Frmpesquisa*)> closings[] = {
        [](Frmpesquisa* d) { d->Command1[0]->click(); },
        [](Frmpesquisa* d) { d->Command1[1]->click(); },
        [](Frmpesquisa* d) { d->close(); },
    };
    for (const auto& closeIt : closings) {
        Frmpesquisa* dlg = prepareLoansSearch(loans);
        dlg->Option2->setChecked(true);
        dlg->Text1->setText(QStringLiteral("zzz"));
        showModal(dlg, [&] { closeIt(dlg); });
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->Combo1->count(), 0);
        QCOMPARE(dlg->Combo1->currentText(), QString());
        QCOMPARE(dlg->Text1->text(), QString());
        for (QRadioButton* option : {dlg->Optobjeto, dlg->Optemprestimo, dlg->Option1, dlg->Option2})
            QVERIFY(!option->isChecked());
        QVERIFY(above(dlg->Frame1, dlg->Frame2));
    }
    // The close box applied nothing: the listing is the one the Ok left.
    QVERIFY(loans->Data1->recordSource().contains(QStringLiteral("'*zzz*'")));
    QVERIFY(loans->Data1->recordSource() != source);
}

void SearchTest::engineErrorIsShown()
{
    // No database file: the open fails, the error is shown and the dialog
    // stays open with what the user typed.
    Fixture fx(Fixture::NoFile);
    Frmpesquisa* dlg = Frmpesquisa::instance();
    dlg->Optobjeto->setChecked(true);
    QString typed;
    showModal(dlg, [&] {
        dlg->Text1->setText(QStringLiteral("x"));
        QTest::mouseClick(dlg->Command1[0], Qt::LeftButton);
        typed = dlg->isVisible() ? dlg->Text1->text() : QString();
        dlg->reject();
    });
    QCOMPARE(typed, QStringLiteral("x"));
    QCOMPARE(fx.folder.services.messageBoxes.size(), 1);
    QCOMPARE(fx.folder.services.messageBoxes[0].icon, int(ondrel::platform::Critical));
}

void SearchTest::openedByBothWindows()
{
    // Each window fills the dialog itself; a second opening offers the
    // entries once, and Enter in the key box confirms.
    Fixture fx;
    Frmobjetos* objetos = shown<Frmobjetos>();
    Frmemprestimos* loans = shown<Frmemprestimos>();
    QStringList offered;
    const auto search = [&](const std::function<void()>& open, const QString& key) {
        QVERIFY(testutil::answerDialog<Frmpesquisa>(open, [&offered, key](Frmpesquisa* dlg) {
            offered << QString::number(dlg->Combo1->count()) + " " + dlg->Combo1->currentText()
                           + (dlg->Option1->focusPolicy() == Qt::NoFocus ? " (scope hidden)" : " (scope)");
            if (key.isNull()) {
                QTest::keyClick(dlg->Text1, Qt::Key_Escape);
            } else {
                dlg->Text1->setText(key);
                QTest::keyClick(dlg->Text1, Qt::Key_Return);
            }
        }));
    };
    for (const QString& key : {QString(), QStringLiteral("vd")})
        search([&] { objetos->cmdSeleciona_Click(); }, key);
    QCOMPARE(listed(objetos->Data1, "cod"), QStringList{"C3"});
    for (const QString& key : {QString(), QStringLiteral("Ana")})
        search([&] { loans->cmdSeleciona_Click(); }, key);
    QCOMPARE(listed(loans->Data1, "Nome"), QStringList{"Ana"});
    QCOMPARE(offered, (QStringList{"5 Objeto (scope hidden)", "5 Objeto (scope hidden)", "4 Nome (scope)",
                                   "4 Nome (scope)"}));
    QVERIFY(fx.folder.services.messageBoxes.isEmpty());
}

QTEST_MAIN(SearchTest)
#include "search_test.moc"
