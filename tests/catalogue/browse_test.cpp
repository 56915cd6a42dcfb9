// Browsing the catalogue: previous and next through the buttons, the menu
// items and their shortcuts, the four orderings with their check marks and
// the listing they give the printed report, the total after a grid edit; and
// the window's chrome: hover texts, the home link, help and the About item.
#include "catalogue_browse_testutil.h"
#include "catalogue_hover_testdata.h"

#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>

using namespace cattest;
using ondrel::platform::Pointer;

class CatalogueBrowseTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_folder = std::make_unique<Folder>(); }
    void cleanup() { m_folder.reset(); }

    void moves_data();
    void moves();
    void menuShortcuts();
    void movesOnAnEmptyTable();
    void orderings_data();
    void orderings();
    void orderingCreatesMissingImprime();
    void gridEditUpdatesTotal();
    void counterShowsTheObjectsInTheFile_data();
    void counterShowsTheObjectsInTheFile();

    void hoverTexts_data();
    void hoverTexts();
    void emprestarHoverChangesOnlyItsCaption();
    void homeLink();
    void helpCommands();
    void f1OpensTheHelpFile();
    void aboutDoesNothing();

private:
    std::unique_ptr<Folder> m_folder;
};

// ---------------------------------------------------------------------------
// Moves

void CatalogueBrowseTest::moves_data()
{
    QTest::addColumn<int>("start");      // position moved to first
    QTest::addColumn<QString>("command");  // "button N" or a menu item
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("expected");
    // Table order: A1, C3, B2, D4.
    QTest::newRow("next 3 from first") << 0 << "button 3" << 0 << "C3";
    QTest::newRow("next 1 from first") << 0 << "button 1" << 1 << "C3";
    QTest::newRow("previous 2 mid") << 2 << "button 2" << 0 << "C3";
    QTest::newRow("previous 0 mid") << 2 << "button 0" << 1 << "C3";
    QTest::newRow("previous on first stays") << 0 << "button 2" << 0 << "A1";
    QTest::newRow("previous 0 on first stays") << 0 << "button 0" << 1 << "A1";
    QTest::newRow("next on last stays") << 3 << "button 3" << 0 << "D4";
    QTest::newRow("next 1 on last stays") << 3 << "button 1" << 1 << "D4";
    QTest::newRow("menu next") << 1 << "mnuproximo" << 0 << "B2";
    QTest::newRow("menu previous") << 1 << "mnuanterior" << 0 << "A1";
    QTest::newRow("menu next on Listagem") << 1 << "mnuproximo" << 1 << "B2";
    QTest::newRow("menu previous on first") << 0 << "mnuanterior" << 1 << "A1";
    QTest::newRow("menu next on last") << 3 << "mnuproximo" << 0 << "D4";
}

void CatalogueBrowseTest::moves()
{
    QFETCH(int, start);
    QFETCH(QString, command);
    QFETCH(int, tab);
    QFETCH(QString, expected);
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->Data1->recordset()->setAbsolutePosition(start);
    f->SSTab1->setCurrentIndex(tab);
    f->lblpanel->setText(QStringLiteral("painel"));

    if (command.startsWith(QLatin1String("button "))) {
        auto* button = f->sscommand1[command.mid(7).toUInt()];
        QVERIFY(button->isVisible());  // the buttons of the tab shown
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(f->lblpanel->text(), QString());
    } else {
        f->findChild<QAction*>(command)->trigger();
    }

    QCOMPARE(f->Txtcod->text(), expected);
    QCOMPARE(f->Data1->recordset()->editMode(), ondrel::db::EditMode::None);
    // The counter follows the move.
    const int position = f->Data1->recordset()->absolutePosition() + 1;
    QVERIFY2(f->lblCount->text().startsWith(QStringLiteral(" Registro : %1 ").arg(position)),
             qPrintable(f->lblCount->text()));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueBrowseTest::menuShortcuts()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    QCOMPARE(f->mnuanterior->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QCOMPARE(f->mnuproximo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    f->sscommand1[3]->setFocus();
    QTest::keyClick(f, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
    QTest::keyClick(f, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("B2"));
    QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
    // Also from inside a text box, which would take Ctrl+A as select all.
    for (QWidget* box : {static_cast<QWidget*>(f->txttítulo), static_cast<QWidget*>(f->Txtdesc)}) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
        QTest::keyClick(box, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
    }
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueBrowseTest::movesOnAnEmptyTable()
{
    Frmobjetos* f = m_folder->openCatalogueOn({});
    for (auto* button : f->sscommand1)
        QTest::mouseClick(button, Qt::LeftButton);
    f->mnuanterior->trigger();
    f->mnuproximo->trigger();
    QCOMPARE(f->Txtcod->text(), QString());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

// ---------------------------------------------------------------------------
// Orderings

void CatalogueBrowseTest::orderings_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("Código") << "mnuordcod" << "cod" << QStringList{"A1", "B2", "C3", "D4"};
    QTest::newRow("Título") << "mnuordtitulo" << "título" << QStringList{"C3", "A1", "D4", "B2"};
    QTest::newRow("Autor(a)") << "mnuordautor" << "autor" << QStringList{"B2", "D4", "A1", "C3"};
    QTest::newRow("Assunto") << "mnuordassunto" << "assunto" << QStringList{"B2", "D4", "C3", "A1"};
}

void CatalogueBrowseTest::orderings()
{
    QFETCH(QString, item);
    QFETCH(QString, field);
    QFETCH(QStringList, codes);
    Frmobjetos* f = m_folder->openCatalogueOn();
    // From another order first, so the check marks really move.
    f->mnuordassunto->trigger();
    f->Data1->recordset()->setAbsolutePosition(2);

    f->findChild<QAction*>(item)->trigger();

    QCOMPARE(listedCodes(f), codes);
    QCOMPARE(f->Txtcod->text(), codes.first());
    QCOMPARE(testutil::checkedItems(f->mnuordenar), QStringList{item});
    QCOMPARE(f->Data1->recordSource(), QStringLiteral("select * from objetos order by ") + field);
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")),
             QStringLiteral("select cod, objeto, título, autor, valor from objetos order by ") + field);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    // Moving still works in the new order, with the edit commands untouched.
    f->mnuproximo->trigger();
    QCOMPARE(f->Txtcod->text(), codes.at(1));
    QVERIFY(f->cmdNovo->isEnabled());
}

void CatalogueBrowseTest::orderingCreatesMissingImprime()
{
    m_folder->create();
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")), QStringLiteral("<none>"));
    Frmobjetos* f = m_folder->openCatalogue();
    f->mnuordautor->trigger();
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")),
             QStringLiteral("select cod, objeto, título, autor, valor from objetos order by autor"));
}

void CatalogueBrowseTest::gridEditUpdatesTotal()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->SSTab1->setCurrentIndex(1);
    QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  1.012,50"));
    auto* model = f->GridModel;
    int valorColumn = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!model->isColumnHidden(c) && model->columnField(c).compare(QLatin1String("valor"), Qt::CaseInsensitive) == 0)
            valorColumn = c;
    QVERIFY(valorColumn >= 0);
    // The object without a value (C3, row 1) gets one; an emptied value
    // (B2, row 2) counts as nothing.
    QVERIFY(model->setData(model->index(1, valorColumn), QStringLiteral("1234,5")));
    QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  2.247,00"));
    QVERIFY(model->setData(model->index(2, valorColumn), QString()));
    QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  2.244,50"));
    QCOMPARE(m_folder->stored(QStringLiteral("valor")), (QStringList{"10,00", "1.234,50", "", "1.000,00"}));
}

void CatalogueBrowseTest::counterShowsTheObjectsInTheFile_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("total");  // the counter's second number after the next move
    QTest::newRow("deleted by another handle") << "delete" << "3";
    QTest::newRow("added by another handle") << "add" << "5";
    QTest::newRow("saved while ordered by title") << "order and save" << "5";
}

void CatalogueBrowseTest::counterShowsTheObjectsInTheFile()
{
    QFETCH(QString, change);
    QFETCH(QString, total);
    Frmobjetos* f = m_folder->openCatalogueOn();
    QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 1  de  4"));
    if (change == QLatin1String("order and save")) {
        f->mnuordtitulo->trigger();
        f->cmdNovo->click();
        f->Txtcod->setText(QStringLiteral("E5"));
        f->txttítulo->setText(QStringLiteral("Zumbi"));
        f->cmdSalvar->click();
    } else {
        auto other = m_folder->open()->openRecordset(QStringLiteral("objetos"));
        if (change == QLatin1String("add")) {
            other->addNew();
            other->setText(QStringLiteral("cod"), QStringLiteral("E5"));
            other->update();
        } else {
            other->moveLast();
            other->deleteRecord();
        }
    }
    f->mnuanterior->trigger();
    f->mnuproximo->trigger();
    QVERIFY2(f->lblCount->text().endsWith(QStringLiteral("  de  ") + total), qPrintable(f->lblCount->text()));
    QCOMPARE(f->TotalRegistros, total.toInt());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

// ---------------------------------------------------------------------------
// Chrome

void CatalogueBrowseTest::hoverTexts_data()
{
    testutil::addCatalogueHoverRows();
}

void CatalogueBrowseTest::hoverTexts()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    Frmobjetos* f = m_folder->openCatalogueOn();
    auto* b = f->findChild<ondrel::platform::ToolbarButton*>(button);
    QVERIFY(b);
    enter(b);
    QCOMPARE(f->lblpanel->text(), text);
    leave(b);
    QCOMPARE(f->lblpanel->text(), QString());
    // From one button straight onto another.
    enter(b);
    leave(b);
    enter(f->ctbajuda);
    QCOMPARE(f->lblpanel->text(), QStringLiteral("Ajuda"));
}

void CatalogueBrowseTest::emprestarHoverChangesOnlyItsCaption()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->lblpanel->setText(QStringLiteral("painel"));
    enter(f->cmdEmprestar);
    QCOMPARE(f->cmdEmprestar->caption(), QStringLiteral("Emprestar !?"));
    QCOMPARE(f->lblpanel->text(), QStringLiteral("painel"));
    leave(f->cmdEmprestar);
    QCOMPARE(f->cmdEmprestar->caption(), QStringLiteral("Emprestar"));
    QCOMPARE(f->lblpanel->text(), QStringLiteral("painel"));
}

void CatalogueBrowseTest::homeLink()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    QCOMPARE(f->cmdHome->text(), ondrel::chrome::makerName());
    enter(f->cmdHome);
    QCOMPARE(f->lblpanel->text(), ondrel::chrome::homePage());
    QCOMPARE(f->cursor().shape(), Qt::BitmapCursor);  // the pointing hand, this window only
    leave(f->cmdHome);
    QCOMPARE(f->lblpanel->text(), QString());
    QCOMPARE(f->cursor().shape(), Qt::ArrowCursor);

    // The click clears the panel and puts the default pointer back at once.
    enter(f->cmdHome);
    QTest::mouseClick(f->cmdHome, Qt::LeftButton);
    QCOMPARE(f->lblpanel->text(), QString());
    QCOMPARE(f->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_folder->services.opened, QStringList{ondrel::chrome::homePage()});
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueBrowseTest::helpCommands()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->lblpanel->setText(QStringLiteral("Ajuda"));
    QTest::mouseClick(f->ctbajuda, Qt::LeftButton);
    // The catalogue's help button leaves the panel as it is.
    QCOMPARE(f->lblpanel->text(), QStringLiteral("Ajuda"));
    f->mnuajuda->trigger();
    QCOMPARE(m_folder->services.keysSent, (QStringList{"{f1}", "{f1}"}));
    QCOMPARE(f->HelpFile, m_folder->dir.filePath(QStringLiteral("Ulmix.hlp")));
}

void CatalogueBrowseTest::f1OpensTheHelpFile()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QTest::keyClick(f, Qt::Key_F1);
    auto* viewer = ondrel::chrome::HelpViewer::current();
    QVERIFY(viewer);
    QCOMPARE(viewer->fileName(), m_folder->dir.filePath(QStringLiteral("Ulmix.hlp")));
    delete viewer;
}

void CatalogueBrowseTest::aboutDoesNothing()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->lblpanel->setText(QStringLiteral("painel"));
    const QString code = f->Txtcod->text();
    f->mnusobre->trigger();
    QCOMPARE(f->lblpanel->text(), QStringLiteral("painel"));
    QCOMPARE(f->Txtcod->text(), code);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QVERIFY(m_folder->services.keysSent.isEmpty());
    QVERIFY(m_folder->services.opened.isEmpty());
}

QTEST_MAIN(CatalogueBrowseTest)
#include "browse_test.moc"
