// The printed listing: the layout file, the cells as printed, and the
// listing of "Imprime" through the catalogue window in the order or search
// shown, written to a PDF file in place of the printer; without a printer,
// saved as a PDF file the person chooses.
#include "catalogue_browse_testutil.h"

#include "platform/reportprinter.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

using namespace cattest;
using ondrel::platform::ReportLayout;
using ondrel::platform::ReportPrinter;

namespace {

QStringList firstColumn(const ondrel::platform::ReportContent& content)
{
    QStringList codes;
    for (const QStringList& row : content.cells)
        codes << row.value(0);
    return codes;
}

QString money(const QString& amount)
{
    return QStringLiteral("R$ ") + amount;
}

// The text of each page of a PDF file, as a PDF reader extracts it.
QStringList pdfPages(const QString& pdf)
{
    QStringList pages;
    for (int page = 1;; ++page) {
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                    QString::number(page), pdf, QStringLiteral("-")});
        if (!extract.waitForFinished(20000))
            qFatal("pdftotext is missing (run scripts/deps.sh)");
        if (extract.exitCode() != 0)
            return pages;
        pages << QString::fromUtf8(extract.readAllStandardOutput());
    }
}

}  // namespace

class CataloguePrintTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layoutParsing_data();
    void layoutParsing();
    void shippedLayout();
    void cellsAsPrinted();

    void printedListing_data();
    void printedListing();
    void printTwiceThenOrder();
    void missingPiecesPrintNothing_data();
    void missingPiecesPrintNothing();
    void rowsNeverSplitAcrossPages();
    void savedAsPdfWithoutPrinter_data();
    void savedAsPdfWithoutPrinter();

private:
    QString pdf() const { return m_folder->dir.filePath(QStringLiteral("listagem.pdf")); }
    bool pdfWritten() const
    {
        QFile file(pdf());
        return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-" && file.size() > 500;
    }
    std::unique_ptr<Folder> m_folder;
};

void CataloguePrintTest::init()
{
    m_folder = std::make_unique<Folder>();
    ReportPrinter::setPrinterOverride(pdf());
}

void CataloguePrintTest::cleanup()
{
    ReportPrinter::setPrinterOverride(QString());
    m_folder.reset();
}

// ---------------------------------------------------------------------------
// Layout and cells

void CataloguePrintTest::layoutParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fields");  // "" when the layout is refused
    const QString base = QStringLiteral("title = T\nsource = Imprime\n");
    QTest::newRow("columns and total") << base + "column = cod | Código | 10\ncolumn = valor | Valor | 5 | currency\n"
                                                 "total = valor | Total:\n"
                                       << "cod,valor";
    QTest::newRow("comments and blank lines") << "# layout\n\n" + base + "column = cod | Código  # the code\n" << "cod";
    QTest::newRow("no source") << "column = cod | Código\n" << "";
    QTest::newRow("no columns") << base << "";
    QTest::newRow("bad width") << base + "column = cod | Código | wide\n" << "";
    QTest::newRow("unknown key") << base + "column = cod | Código\ncolour = red\n" << "";
    QTest::newRow("line without key") << base + "column = cod | Código\njust text\n" << "";
    QTest::newRow("total of a text column") << base + "column = cod | Código\ntotal = cod | Total:\n" << "";
}

void CataloguePrintTest::layoutParsing()
{
    QFETCH(QString, text);
    QFETCH(QString, fields);
    if (fields.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ReportLayout::parse(text));
        return;
    }
    QCOMPARE(ReportLayout::parse(text).fields().join(','), fields);
}

void CataloguePrintTest::shippedLayout()
{
    const ReportLayout layout = ReportLayout::load(QStringLiteral(ONDREL_SOURCE_DIR "/assets/files/objetos.rpt"));
    QCOMPARE(layout.source, QStringLiteral("Imprime"));
    QCOMPARE(layout.fields(), (QStringList{"cod", "objeto", "título", "autor", "valor"}));
    QVERIFY(layout.columns.last().currency);
    QCOMPARE(layout.totalField, QStringLiteral("valor"));
    QVERIFY(!layout.title.isEmpty());
}

void CataloguePrintTest::cellsAsPrinted()
{
    const ReportLayout layout = ReportLayout::parse(QStringLiteral(
        "source = Imprime\ncolumn = cod | Código\ncolumn = valor | Valor | 5 | currency\ntotal = valor | Valor Total:\n"));
    const ondrel::platform::ReportRows rows = {{QStringLiteral("A1"), qint64(125000)},
                                               {QStringLiteral("B2"), QVariant()},
                                               {QStringLiteral("C3"), qint64(12345000)}};
    const auto content = ondrel::platform::formatReport(layout, rows, QLocale(QLocale::Portuguese, QLocale::Brazil));
    QCOMPARE(content.captions, (QStringList{"Código", "Valor"}));
    QCOMPARE(content.cells, (QList<QStringList>{{"A1", money("12,50")}, {"B2", ""}, {"C3", money("1.234,50")}}));
    QCOMPARE(content.totalLine, QStringLiteral("Valor Total: ") + money("1.247,00"));
}

// ---------------------------------------------------------------------------
// Through the window

void CataloguePrintTest::printedListing_data()
{
    QTest::addColumn<QString>("before");  // what the user did before printing
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("imprime");
    const QString c4 = QStringLiteral("select cod, objeto, título, autor, valor from objetos order by ");
    QTest::newRow("no Imprime yet, menu") << "" << "mnuprint" << QStringList{"A1", "B2", "C3", "D4"} << c4 + "cod";
    QTest::newRow("no Imprime yet, button") << "" << "cmdPrint" << QStringList{"A1", "B2", "C3", "D4"} << c4 + "cod";
    QTest::newRow("order Título") << "title" << "mnuprint" << QStringList{"C3", "A1", "D4", "B2"} << c4 + "título";
    QTest::newRow("order Assunto, button") << "subject" << "cmdPrint" << QStringList{"B2", "D4", "C3", "A1"}
                                           << c4 + "assunto";
    QTest::newRow("after a search") << "search" << "mnuprint" << QStringList{"A1", "D4"}
                                    << "select cod, objeto, título, autor, valor from objetos where objeto like '*livro*'";
    QTest::newRow("search closed") << "search closed" << "cmdPrint" << QStringList{"A1", "B2", "C3", "D4"} << c4 + "cod";
    QTest::newRow("left by an earlier run") << "earlier run" << "mnuprint" << QStringList{"B2", "D4", "A1", "C3"}
                                            << c4 + "autor";
}

void CataloguePrintTest::printedListing()
{
    QFETCH(QString, before);
    QFETCH(QString, command);
    QFETCH(QStringList, codes);
    QFETCH(QString, imprime);
    m_folder->create();
    if (before == QLatin1String("earlier run")) {
        auto db = m_folder->open();
        db->createQueryDef(QStringLiteral("Imprime"));
        db->setQueryDefSql(QStringLiteral("Imprime"),
                           QStringLiteral("select cod, objeto, título, autor, valor from objetos order by autor"));
    }
    Frmobjetos* f = m_folder->openCatalogue();
    if (before == QLatin1String("title"))
        f->mnuordtitulo->trigger();
    if (before == QLatin1String("subject"))
        f->mnuordassunto->trigger();
    if (before.startsWith(QLatin1String("search"))) {
        QVERIFY(testutil::answerDialog<ondrel::search::Frmpesquisa>([&] { f->mnupesquisar->trigger(); },
                                                                    [](ondrel::search::Frmpesquisa* d) {
                                                                        d->Text1->setText(QStringLiteral("livro"));
                                                                        d->Command1[0]->click();
                                                                    }));
        QCOMPARE(listedCodes(f), (QStringList{"A1", "D4"}));
    }
    if (before == QLatin1String("search closed"))
        f->mnufecharpesquisa->trigger();
    const QString shown = f->Txtcod->text();

    if (command == QLatin1String("cmdPrint"))
        QTest::mouseClick(f->cmdPrint, Qt::LeftButton);
    else
        f->mnuprint->trigger();

    QCOMPARE(f->Report1->reportsProduced(), 1);
    QVERIFY(pdfWritten());
    QCOMPARE(f->Report1->dataFiles(0), m_folder->path());
    QCOMPARE(f->Report1->reportFileName(), m_folder->dir.filePath(QStringLiteral("objetos.rpt")));
    QCOMPARE(f->Report1->destination(), int(ReportPrinter::ToPrinter));
    const auto& report = f->Report1->lastReport();
    QCOMPARE(firstColumn(report), codes);
    QCOMPARE(report.captions, (QStringList{"Código", "Objeto", "Título", "Autor(a)", "Valor"}));
    QCOMPARE(m_folder->storedQuery(QStringLiteral("Imprime")), imprime);
    // The window is left as it was.
    QCOMPARE(f->Txtcod->text(), shown);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePrintTest::printTwiceThenOrder()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->mnuprint->trigger();
    f->mnuprint->trigger();
    f->mnuordautor->trigger();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("B2"));
    f->mnuproximo->trigger();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("D4"));
    QTest::mouseClick(f->cmdPrint, Qt::LeftButton);
    QCOMPARE(f->Report1->reportsProduced(), 3);
    const auto& report = f->Report1->lastReport();
    QCOMPARE(firstColumn(report), (QStringList{"B2", "D4", "A1", "C3"}));
    QCOMPARE(report.cells.at(1), (QStringList{"D4", "Livro", "O'Brien", "Bandeira", money("1.000,00")}));
    QCOMPARE(report.cells.at(3).last(), QString());  // C3 has no value
    QCOMPARE(report.totalLine, QStringLiteral("Valor Total: ") + money("1.012,50"));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePrintTest::missingPiecesPrintNothing_data()
{
    QTest::addColumn<QString>("missing");
    QTest::newRow("layout file") << "objetos.rpt";
    QTest::newRow("database") << QString::fromLatin1(ondrel::db::kDatabaseFileName);
}

void CataloguePrintTest::missingPiecesPrintNothing()
{
    QFETCH(QString, missing);
    if (missing != QLatin1String(ondrel::db::kDatabaseFileName))
        m_folder->create();
    QFile::remove(m_folder->dir.filePath(missing));
    Frmobjetos* f = m_folder->openCatalogue();
    f->mnuprint->trigger();
    QTest::mouseClick(f->cmdPrint, Qt::LeftButton);
    QCOMPARE(f->Report1->reportsProduced(), 0);
    QVERIFY(!QFile::exists(pdf()));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePrintTest::rowsNeverSplitAcrossPages()
{
    // Authors that wrap over several lines in a narrow column: some row
    // meets each page break.
    const QString layoutFile = m_folder->dir.filePath(QStringLiteral("estreito.rpt"));
    QFile text(layoutFile);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("source = Imprime\ncolumn = cod | C\xc3\xb3" "digo | 40\ncolumn = autor | Autor(a) | 8\n");
    text.close();
    ondrel::platform::ReportRows rows;
    for (int i = 10; i < 90; ++i)
        rows.append({QStringLiteral("X%1").arg(i), QStringLiteral("in%1 Paneleiras de Goiabeiras%2 ult%1")
                                                       .arg(i)
                                                       .arg(i % 3 ? QString() : QStringLiteral(" de Vitória"))});
    ReportPrinter report;
    report.setRowReader([&](const QString&, const QString&, const QStringList&) { return rows; });
    report.setDataFiles(0, layoutFile);
    report.setReportFileName(layoutFile);
    report.setDestination(ReportPrinter::ToFile);
    report.setPrintFileName(pdf());
    report.setAction(1);

    const QStringList pages = pdfPages(pdf());
    QVERIFY(pages.size() >= 3);
    const auto pageOf = [&](const QString& word) {
        for (int p = 0; p < pages.size(); ++p)
            if (pages[p].contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(word))))
                return p;
        return -1;
    };
    for (const QString& page : pages)
        QVERIFY(page.contains(QStringLiteral("Autor(a)")));  // the header on every page
    for (int i = 10; i < 90; ++i) {
        const int first = pageOf(QStringLiteral("X%1").arg(i));
        QVERIFY(first >= 0);
        QCOMPARE(pageOf(QStringLiteral("in%1").arg(i)), first);
        QCOMPARE(pageOf(QStringLiteral("ult%1").arg(i)), first);
    }
}

void CataloguePrintTest::savedAsPdfWithoutPrinter_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");  // what the person does in the save dialog
    QTest::addColumn<QString>("told");    // the message, "" for none
    QTest::newRow("menu") << "mnuprint" << "save" << "a listagem foi salva em PDF";
    QTest::newRow("button, over an old file") << "cmdPrint" << "replace" << "a listagem foi salva em PDF";
    QTest::newRow("cancelled") << "mnuprint" << "cancel" << "";
    QTest::newRow("no layout") << "mnuprint" << "no layout" << "A listagem não foi salva";
}

void CataloguePrintTest::savedAsPdfWithoutPrinter()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, told);
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed here");
    ReportPrinter::setPrinterOverride(QString());
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", m_folder->dir.path().toUtf8());
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });
    QVERIFY(QDir(m_folder->dir.path()).mkpath(QStringLiteral("Documents")));
    const QString chosen = m_folder->dir.filePath(QStringLiteral("Documents/Listagem de Objetos.pdf"));
    if (answer == QLatin1String("replace")) {
        QFile old(chosen);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("antigo") == 6);
        m_folder->services.msgBoxAnswers.enqueue(ondrel::platform::ResultYes);
    }
    if (answer == QLatin1String("no layout"))
        QFile::remove(m_folder->dir.filePath(QStringLiteral("objetos.rpt")));
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->mnuordtitulo->trigger();

    QVERIFY(testutil::answerDialog<QFileDialog>(
        [&] {
            if (command == QLatin1String("cmdPrint"))
                QTest::mouseClick(f->cmdPrint, Qt::LeftButton);
            else
                f->mnuprint->trigger();
        },
        [&](QFileDialog* d) {
            QCOMPARE(d->selectedFiles().value(0), chosen);  // the documents folder, the listing's name
            answer == QLatin1String("cancel") ? d->reject() : static_cast<QDialog*>(d)->accept();
        }));

    QVERIFY2(m_folder->services.messageTexts().join('\n').contains(told),
             qPrintable(m_folder->services.messageTexts().join('\n')));
    QCOMPARE(m_folder->services.messageTexts().size(), int(!told.isEmpty()) + int(answer == QLatin1String("replace")));
    if (told.isEmpty() || answer == QLatin1String("no layout")) {
        QCOMPARE(QFile::exists(chosen), false);
        const QDir documents(m_folder->dir.filePath(QStringLiteral("Documents")));
        QCOMPARE(documents.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        return;
    }
    QVERIFY(m_folder->services.messageTexts().last().contains(chosen));
    // The pages the printer would get, in the order chosen.
    const QStringList saved = pdfPages(chosen);
    QVERIFY(!saved.isEmpty());
    QVERIFY(saved.first().contains(QRegularExpression(QStringLiteral("Compadecida.*Casmurro.*O'Brien.*Veja"),
                                                      QRegularExpression::DotMatchesEverythingOption)));
    ReportPrinter::setPrinterOverride(pdf());
    f->mnuprint->trigger();
    QCOMPARE(saved, pdfPages(pdf()));
}

QTEST_MAIN(CataloguePrintTest)
#include "print_test.moc"
