// Objects brought in from a spreadsheet: columns by the program's captions
// in any order, Windows-1252 or UTF-8, amounts as Brazilian spreadsheets
// write them, all or nothing with every refused row named, and the listing
// exported, imported and exported again unchanged.
#include "database_testutil.h"
#include "jet_testutil.h"

#include "import/importerror.h"
#include "import/listingimport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ondrel::import;

namespace {

QString write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    QFile f(dir.filePath(QLatin1String(name)));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

int runOndrel(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(ONDREL_EXE), arguments);
    p.waitForFinished(60000);
    if (p.exitCode() != 0)
        qWarning("%s", p.readAllStandardError().constData());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

}  // namespace

class ListingImportTest : public QObject {
    Q_OBJECT
private slots:
    // Nine columns in another order, ',' between quoted fields, LF line
    // ends, Windows-1252 text, four decimals, the export's apostrophe.
    void nineColumnsOfWindows1252()
    {
        QTemporaryDir dir;
        const QString csv = write(dir, "acervo.csv",
                                  "Data,Imagem,Valor,Descri\xe7\xe3o,Assunto,Autor(a),T\xedtulo,Objeto,C\xf3" "digo\n"
                                  "07/09/1822,/fotos/f.jpg,\"1.234,5678\",\"Linha 1\nLinha 2\",Hist\xf3ria,An\xf4nimo,"
                                  "\"Independ\xeancia, ou Morte\",Foto,F001\n"
                                  ",,,,,,'=SOMA(1),Livro,L1\n");
        const QString into = testutil::collectionFile(dir.path());
        const ListingImport done = importListing(csv, into, QDate(2024, 6, 1));
        QCOMPARE(done.added, 2);
        QVERIFY(done.created);
        QCOMPARE(testutil::plainQuery(into,
                                      "SELECT cod || '|' || \"Objeto\" || '|' || \"Título\" || '|' || \"Autor\" || '|' || "
                                      "\"Assunto\" || '|' || \"Descrição\" || '|' || \"Data\" || '|' || valor || '|' || "
                                      "path FROM objetos WHERE cod = 'F001'"),
                 QStringLiteral("F001|Foto|Independência, ou Morte|Anônimo|História|Linha 1\nLinha 2|1822-09-07|12345678|"
                                "/fotos/f.jpg"));
        QCOMPARE(testutil::plainQuery(into, "SELECT \"Título\" || '|' || ifnull(valor, 'NULL') || '|' || "
                                            "ifnull(\"Data\", 'NULL') FROM objetos WHERE cod = 'L1'"),
                 QStringLiteral("=SOMA(1)|NULL|NULL"));
    }

    // The shapes of amounts, encodings, separators and line ends.
    void amountsAndEncodings_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("stored");
        QTest::newRow("BOM, ';', CRLF, R$") << QByteArray("\xEF\xBB\xBFT\xC3\xADtulo;C\xC3\xB3" "digo;Valor\r\n"
                                                          "A\xC3\xA7\xC3\xA3o;A;R$ 1.234,50\r\n")
                                            << "A|Ação|12345000|2024-06-01";
        QTest::newRow("no BOM, point") << QByteArray("C\xC3\xB3" "digo;Valor\nA;1234.50\n") << "A||12345000|2024-06-01";
        QTest::newRow("comma, negative") << QByteArray("C\xC3\xB3" "digo,Valor,Data\nA,\"-0,01\",") << "A||-100|";
        QTest::newRow("cp1252 euro") << QByteArray("C\xF3" "digo;T\xEDtulo\nA;5 \x80\n") << "A|5 €||2024-06-01";
    }
    void amountsAndEncodings()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, stored);
        QTemporaryDir dir;
        const QString into = testutil::collectionFile(dir.path());
        importListing(write(dir, "a.csv", csv), into, QDate(2024, 6, 1));
        QCOMPARE(testutil::plainQuery(into, "SELECT cod || '|' || ifnull(\"Título\", '') || '|' || ifnull(valor, '') "
                                            "|| '|' || ifnull(\"Data\", '') FROM objetos"),
                 stored);
    }

    // Every row refused is named with its line and why; nothing is added.
    void refusedRowsAddNothing()
    {
        QTemporaryDir dir;
        const QString into = testutil::collectionFile(dir.path());
        testutil::createCollection(into, testutil::Collection::Demo);
        const QString before = testutil::everyRow(into);
        const QString csv = write(dir, "a.csv",
                                  "C\xc3\xb3" "digo;Valor;Data;Assunto\n"
                                  "N1;10;01/01/2000;ok\n"              // line 2: fine
                                  ";1;;\n"                              // 3: no code
                                  "N1;2;;\n"                            // 4: repeated here
                                  "L001;3;;\n"                          // 5: in the collection
                                  "N2;dez reais;;\n"                    // 6: amount
                                  "N3;;31/02/2001;\n"                   // 7: date
                                  "N4;;;Assunto comprido demais para o campo\n"  // 8: too long
                                  "N5;1\n");                            // 9: fields
        try {
            importListing(csv, into);
            QFAIL("imported");
        } catch (const ImportError& e) {
            for (const char* line : {"linha 3: falta o código", "linha 4: o código \"N1\" repete o da linha 2",
                                     "linha 5: o código \"L001\" já existe na coleção",
                                     "linha 6: o valor \"dez reais\" não foi entendido",
                                     "linha 7: a data \"31/02/2001\" é impossível",
                                     "linha 8: Assunto tem 36 caracteres, e o campo admite 25",
                                     "linha 9: tem 2 campos, e o cabeçalho tem 4", "7 linhas da planilha foram recusadas"})
                QVERIFY2(e.text().contains(QString::fromUtf8(line)), line);
            QVERIFY(!e.text().contains(QStringLiteral("linha 2:")));
        }
        QCOMPARE(testutil::everyRow(into), before);
    }

    void columnsAreChecked_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown") << QByteArray("C\xc3\xb3" "digo;Pre\xc3\xa7o\nA;1\n") << "a coluna \"Preço\" da planilha";
        QTest::newRow("no code") << QByteArray("T\xc3\xadtulo\nA\n") << "não tem a coluna Código";
        QTest::newRow("twice") << QByteArray("C\xc3\xb3" "digo;Valor;valor\nA;1;2\n") << "\"valor\" aparece duas vezes";
    }
    void columnsAreChecked()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString into = testutil::collectionFile(dir.path());
        try {
            importListing(write(dir, "a.csv", csv), into);
            QFAIL("imported");
        } catch (const ImportError& e) {
            QVERIFY2(e.text().contains(says), qPrintable(e.text()));
        }
        QVERIFY(!QFileInfo::exists(into));
    }

    // Exported, imported into an empty collection, exported again: the same
    // file (texts a spreadsheet would take for formulas included).
    void exportedListingComesBackTheSame()
    {
        QTemporaryDir from, to;
        for (const QTemporaryDir* folder : {&from, &to})
            QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/assets/files/objetos.rpt"), folder->filePath("objetos.rpt"));
        const QString source = testutil::collectionFile(from.path());
        testutil::createCollection(source, testutil::Collection::Demo);
        auto rs = testutil::openCollection(source)->openRecordset(QStringLiteral("objetos"));
        for (const char* title : {"=SOMA(1;2)", "-5 graus", "+mais", "@arroba", "'aspas' simples", "Linha\r\nquebrada \"x\""}) {
            testutil::addRecord(*rs, {{"cod", QString::number(qHash(QByteArray(title)) % 100000)},
                                      {"Título", QString::fromUtf8(title)}, {"valor", "-12,5"}});
        }
        rs.reset();
        const QString first = from.filePath(QStringLiteral("a.csv")), second = to.filePath(QStringLiteral("b.csv"));
        QCOMPARE(runOndrel({"--export-listing", first, "--plugin-folder", from.path()}), 0);
        QCOMPARE(runOndrel({"--import-listing", first, "--plugin-folder", to.path()}), 0);
        QCOMPARE(runOndrel({"--export-listing", second, "--plugin-folder", to.path()}), 0);
        QCOMPARE(jettest::bytes(second), jettest::bytes(first));
    }
};

QTEST_GUILESS_MAIN(ListingImportTest)
#include "listingimport_test.moc"
