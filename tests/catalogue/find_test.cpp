// Finding in the catalogue: the quick find by title, opening the search
// dialog from the catalogue (what it hands over, the listing states) and
// closing a search.
#include "catalogue_browse_testutil.h"

#include "chrome/quickfind.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

using namespace cattest;
using ondrel::search::Frmpesquisa;
using testutil::answerDialog;

namespace {

const QString kNotFound = QStringLiteral("Objeto Não Encontrado");

QStringList items(QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// What the listing commands change: the list, its menus and buttons, the
// status label, "Imprime", and the date typed on screen.
QString listingState(Frmobjetos* f, const Folder& folder)
{
    QStringList state{f->Data1->recordSource(), listedCodes(f).join(QLatin1Char(',')),
                      folder.storedQuery(QStringLiteral("Imprime")), f->lblpanel->text(), f->mskdata->text(),
                      above(f->cmdFechar, f->cmdSeleciona) ? QStringLiteral("cmdFechar") : QStringLiteral("cmdSeleciona")};
    for (QAction* a : {f->mnuordcod, f->mnuordtitulo, f->mnuordautor, f->mnuordassunto})
        state << QString::number(a->isChecked());
    for (QAction* a : {f->mnuordenar->menuAction(), f->mnufecharpesquisa, f->mnupesquisar})
        state << QString::number(a->isEnabled());
    return state.join(QLatin1Char('|'));
}

}  // namespace

class CatalogueFindTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_folder = std::make_unique<Folder>(); }
    void cleanup() { m_folder.reset(); }

    void quickFind_data();
    void quickFind();
    void quickFindOnAnEmptyListing();
    void quickFindWithinASearchResult();
    void searchAndClose();
    void cancelledSearchTwice();
    void closeSearchWithoutImprime();
    void refusedSaveChangesNothing_data();
    void refusedSaveChangesNothing();

private:
    std::unique_ptr<Folder> m_folder;
};

void CatalogueFindTest::quickFind_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("found");
    // Table order: A1, C3, B2, D4.
    QTest::newRow("exact title") << 3 << "Veja" << "B2" << true;
    QTest::newRow("other case") << 3 << "dom casmurro" << "A1" << true;
    QTest::newRow("from the start of the set") << 3 << "auto DA compadecida" << "C3" << true;
    QTest::newRow("part without wildcard") << 2 << "Casmurro" << "A1" << false;
    QTest::newRow("wildcard") << 0 << "*compadecida" << "C3" << true;
    QTest::newRow("cancelled (empty)") << 2 << "" << "A1" << false;
    // An apostrophe is matched as typed instead of ending the criteria.
    QTest::newRow("apostrophe") << 0 << "o'brien" << "D4" << true;
    QTest::newRow("apostrophe not found") << 3 << "d'arc" << "A1" << false;
}

void CatalogueFindTest::quickFind()
{
    QFETCH(int, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QFETCH(bool, found);
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->Data1->recordset()->setAbsolutePosition(start);
    m_folder->services.inputBoxAnswers.enqueue(typed);

    f->mnuprocurar->trigger();

    QCOMPARE(m_folder->services.inputBoxes.size(), 1);
    QCOMPARE(m_folder->services.inputBoxes[0].prompt, QStringLiteral("Digite o Título do Objeto "));
    QCOMPARE(m_folder->services.inputBoxes[0].title, QStringLiteral("Procura o Título"));
    QCOMPARE(m_folder->services.inputBoxes[0].defaultText, QString());
    QCOMPARE(f->Txtcod->text(), expected);
    if (found) {
        QVERIFY(m_folder->services.messageBoxes.isEmpty());
    } else {
        QCOMPARE(m_folder->services.messageTexts(), QStringList{kNotFound});
        QCOMPARE(m_folder->services.messageBoxes[0].icon, int(ondrel::platform::Exclamation));
        QCOMPARE(m_folder->services.messageBoxes[0].buttons, int(ondrel::platform::OkOnly));
    }
    // The program-wide texts hold what was asked, typed and looked for.
    const auto& texts = ondrel::chrome::quickFindTexts();
    QCOMPARE(texts.Mensagem, QStringLiteral("Digite o Título do Objeto "));
    QCOMPARE(texts.Titulo, typed);
    QCOMPARE(texts.Criterio, QStringLiteral("Título like'") + QString(typed).replace("'", "''") + "'");
    // The listing is the whole catalogue still.
    QCOMPARE(listedCodes(f).size(), 4);
}

void CatalogueFindTest::quickFindOnAnEmptyListing()
{
    Frmobjetos* f = m_folder->openCatalogueOn({});
    m_folder->services.inputBoxAnswers.enqueue(QStringLiteral("Veja"));
    f->mnuprocurar->trigger();
    // Only the message: no error of a move on nothing.
    QCOMPARE(m_folder->services.messageTexts(), QStringList{kNotFound});
}

void CatalogueFindTest::quickFindWithinASearchResult()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    QVERIFY(answerDialog<Frmpesquisa>([&] { QTest::mouseClick(f->cmdSeleciona, Qt::LeftButton); },
                                      [](Frmpesquisa* d) {
                                          d->Combo1->setCurrentText(QStringLiteral("Objeto"));
                                          d->Text1->setText(QStringLiteral("livro"));
                                          d->Command1[0]->click();
                                      }));
    QCOMPARE(listedCodes(f), (QStringList{"A1", "D4"}));
    // A title outside the result is not found; the first found object shows.
    m_folder->services.inputBoxAnswers.enqueue(QStringLiteral("Veja"));
    f->mnuprocurar->trigger();
    QCOMPARE(m_folder->services.messageTexts(), QStringList{kNotFound});
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    m_folder->services.inputBoxAnswers.enqueue(QStringLiteral("O'Brien"));
    f->mnuprocurar->trigger();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("D4"));
    QCOMPARE(listedCodes(f), (QStringList{"A1", "D4"}));
}

void CatalogueFindTest::searchAndClose()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->mnuordtitulo->trigger();
    f->lblpanel->setText(QStringLiteral("painel"));

    QStringList handed;
    bool objectSearch = false;
    QString panelWhileShown;
    const auto answer = [&](Frmpesquisa* d) {
        handed = items(d->Combo1);
        handed << d->Combo1->currentText();
        objectSearch = d->Optobjeto->isChecked();
        panelWhileShown = f->lblpanel->text();
        // While the dialog is up the search state has begun.
        QVERIFY(above(f->cmdFechar, f->cmdSeleciona));
        QVERIFY(f->mnufecharpesquisa->isEnabled());
        QVERIFY(!f->mnuordenar->isEnabled());
        d->Combo1->setCurrentText(QStringLiteral("Título"));
        d->Text1->setText(QStringLiteral("CASM"));
        d->Command1[0]->click();
    };
    QVERIFY(answerDialog<Frmpesquisa>([&] { QTest::mouseClick(f->cmdSeleciona, Qt::LeftButton); }, answer));

    QCOMPARE(handed, (QStringList{"Objeto", "Título", "Autor(a)", "Assunto", "Descrição", "Objeto"}));
    QVERIFY(objectSearch);
    QCOMPARE(panelWhileShown, QString());
    QCOMPARE(listedCodes(f), QStringList{"A1"});
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QVERIFY(f->mnufecharpesquisa->isEnabled());
    QVERIFY(!f->mnupesquisar->isEnabled());
    QVERIFY(!f->mnuordenar->isEnabled());
    QVERIFY(above(f->cmdFechar, f->cmdSeleciona));
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")),
             QStringLiteral("select cod, objeto, título, autor, valor from objetos where título like '*CASM*'"));

    f->lblpanel->setText(QStringLiteral("painel"));
    QTest::mouseClick(f->cmdFechar, Qt::LeftButton);

    // The whole catalogue in table order, the first object shown.
    QCOMPARE(f->Data1->recordSource(), QStringLiteral("select * from objetos"));
    QCOMPARE(listedCodes(f), (QStringList{"A1", "C3", "B2", "D4"}));
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QCOMPARE(m_folder->storedQuery(QStringLiteral("pesquisa")), QStringLiteral("<none>"));
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")),
             QStringLiteral("select cod, objeto, título, autor, valor from objetos order by cod"));
    QVERIFY(above(f->cmdSeleciona, f->cmdFechar));
    QVERIFY(!f->mnufecharpesquisa->isEnabled());
    QVERIFY(f->mnuordenar->isEnabled());
    QVERIFY(f->mnupesquisar->isEnabled());
    QCOMPARE(f->lblpanel->text(), QString());
    // The check mark is left as it was.
    QVERIFY(f->mnuordtitulo->isChecked());
    QVERIFY(!f->mnuordcod->isChecked());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());

    // The next change of the shown code writes "pesquisa" again.
    f->mnuproximo->trigger();
    QCOMPARE(m_folder->storedQuery(QStringLiteral("pesquisa")),
             QStringLiteral("select * from empréstimos where codobjeto = 'C3'order by data desc"));
}

void CatalogueFindTest::cancelledSearchTwice()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->mnuproximo->trigger();
    QList<QStringList> handed;
    for (int round = 0; round < 2; ++round) {
        const auto open = [&] {
            if (round == 0)
                QTest::mouseClick(f->cmdSeleciona, Qt::LeftButton);
            else
                f->mnupesquisar->trigger();
        };
        QVERIFY(answerDialog<Frmpesquisa>(open, [&](Frmpesquisa* d) {
            handed << items(d->Combo1);
            d->Text1->setText(QStringLiteral("x"));
            d->Command1[1]->click();
        }));

        QVERIFY(above(f->cmdSeleciona, f->cmdFechar));
        QVERIFY(f->mnuordenar->isEnabled());
        QVERIFY(f->mnufecharpesquisa->isEnabled());  // still offered after a cancel
        QCOMPARE(listedCodes(f), (QStringList{"A1", "C3", "B2", "D4"}));
        QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
    }
    const QStringList five{"Objeto", "Título", "Autor(a)", "Assunto", "Descrição"};
    QCOMPARE(handed, (QList<QStringList>{five, five}));
    // Closing then restores the whole catalogue and switches itself off.
    f->mnufecharpesquisa->trigger();
    QVERIFY(!f->mnufecharpesquisa->isEnabled());
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
}

void CatalogueFindTest::closeSearchWithoutImprime()
{
    m_folder->create();
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")), QStringLiteral("<none>"));
    Frmobjetos* f = m_folder->openCatalogue();
    f->cmdFechar_Click();
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")),
             QStringLiteral("select cod, objeto, título, autor, valor from objetos order by cod"));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueFindTest::refusedSaveChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("order by title") << "mnuordtitulo";
    QTest::newRow("close the search") << "mnufecharpesquisa";
    QTest::newRow("search dialog Ok") << "Ok";
}

void CatalogueFindTest::refusedSaveChangesNothing()
{
    QFETCH(QString, command);
    Frmobjetos* f = m_folder->openCatalogueOn();
    const auto search = [&](const std::function<void(Frmpesquisa*)>& ok) {
        return answerDialog<Frmpesquisa>([&] { QTest::mouseClick(f->cmdSeleciona, Qt::LeftButton); }, ok);
    };
    const auto typeLivro = [](Frmpesquisa* d) {
        d->Combo1->setCurrentText(QStringLiteral("Objeto"));
        d->Text1->setText(QStringLiteral("livro"));
    };
    if (command == QLatin1String("mnufecharpesquisa"))
        QVERIFY(search([&](Frmpesquisa* d) { typeLivro(d); d->Command1[0]->click(); }));
    f->lblpanel->setText(QStringLiteral("painel"));
    // A date the engine cannot store, typed while browsing.
    f->mskdata->setFocus();
    f->mskdata->selectAll();
    QTest::keyClicks(f->mskdata, QStringLiteral("31/02/2003"));

    QString before, after;
    if (command == QLatin1String("Ok")) {
        QVERIFY(search([&](Frmpesquisa* d) {
            typeLivro(d);
            before = listingState(f, *m_folder);
            d->Command1[0]->click();
            after = listingState(f, *m_folder);
            QVERIFY(d->isVisible());  // the dialog stays for another try or "&Cancela"
            d->reject();
        }));
    } else {
        before = listingState(f, *m_folder);
        f->findChild<QAction*>(command)->trigger();
        after = listingState(f, *m_folder);
    }
    // The engine's reason, told once; nothing else changed.
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(m_folder->services.messageBoxes.first().icon, int(ondrel::platform::Exclamation));
    QCOMPARE(after, before);
    QCOMPARE(f->mskdata->text(), QStringLiteral("31/02/2003"));
}

QTEST_MAIN(CatalogueFindTest)
#include "find_test.moc"
