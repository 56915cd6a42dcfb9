// Jet collections converted: every value as stored, the stored queries as
// the program writes them, the Jet file kept untouched beside the new
// collection, and nothing changed when the file is damaged, holds repeated
// codes or the converting process is killed.
#include "database_testutil.h"
#include "jet_testutil.h"

#include "collection/statements.h"
#include "database/recordset.h"
#include "database/schema.h"
#include "import/importerror.h"
#include "import/jetconversion.h"
#include "import/jetqueries.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace ondrel::import;
using ondrel::db::Database;
using ondrel::db::FieldType;

namespace {

// A folder whose livrano.mdb is a copy of a Jet fixture.
struct JetFolder {
    QTemporaryDir dir;
    QString path = testutil::collectionFile(dir.path());
    explicit JetFolder(const char* name = "legacy-v2000-pw.mdb") { QFile::copy(jettest::fixture(name), path); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

// Every value of a converted collection in the dump's form: objects in
// table order, loans by their number from 0.
jettest::Dump converted(const QString& path)
{
    jettest::Dump dump;
    auto db = testutil::openCollection(path);
    for (const QString& table : {QStringLiteral("objetos"), QStringLiteral("empréstimos")}) {
        const auto& fields = db->schema().table(table)->fields;
        auto rs = db->openRecordset(QStringLiteral("select * from ") + table, ondrel::db::RecordsetType::Snapshot);
        for (int row = 0; !rs->eof(); rs->moveNext(), ++row) {
            const int key = table == QLatin1String("objetos") ? row : int(rs->value(QStringLiteral("cod")).toLongLong() - 1);
            for (const auto& f : fields)
                dump.values[table][key][f.name] = jettest::dumped(rs->value(f.name), f.type == FieldType::Currency);
        }
    }
    for (const QString& name : {ondrel::db::pesquisaName(), ondrel::db::imprimeName()})
        if (db->hasQueryDef(name))
            dump.queries[name] = db->queryDefSql(name);
    return dump;
}

QString run(const QStringList& arguments, int* code)
{
    QProcess p;
    p.start(QStringLiteral(ONDREL_EXE), arguments);
    p.waitForFinished(60000);
    *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

}  // namespace

class JetConversionTest : public QObject {
    Q_OBJECT
private slots:
    // Texts with accents, "" apart from NULL, four decimals, dates by their
    // day (before 1900 too), the loans' numbers, the stored queries.
    void everyValueComesAcross_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* name : {"legacy-v2000-pw.mdb", "legacy-v2003-pw.mdb", "legacy-v2000-nopw.mdb"})
            QTest::newRow(name) << jettest::fixture(name);
    }
    void everyValueComesAcross()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString into = testutil::collectionFile(dir.path());
        const JetConversion done = convertJetInto(file, into);
        jettest::Dump want = jettest::expected("legacy-small.expected.txt");
        for (auto& rows : want.values)
            for (auto& row : rows)
                for (QString& value : row)
                    if (value.startsWith(u'd'))
                        value.truncate(12);  // the collection keeps the day
        // A Jet collection has no due dates: every loan comes without one.
        for (auto& loan : want.values[QStringLiteral("empréstimos")])
            loan[QStringLiteral("prazo")] = QStringLiteral("NULL");
        const jettest::Dump got = converted(into);
        QCOMPARE(got.values, want.values);
        QCOMPARE(got.queries, want.queries);
        QCOMPARE(done.objects, 8);
        QCOMPARE(done.loans, 6);
        QCOMPARE(done.timesLeftOut, 7);
        QCOMPARE(done.picturesMissing, 5);
        QVERIFY2(done.notes.isEmpty(), qPrintable(done.notes.join(u'\n')));
        QVERIFY(done.report().contains(QStringLiteral("Vieram 8 objetos e 6 empréstimos.")));
        QVERIFY(done.report().contains(QStringLiteral("7 datas tinham também uma hora do dia")));
        QCOMPARE(Database::check(into, testutil::connectString()).problem, ondrel::db::FileProblem::None);
        // The search index holds the objects, and the ledger's count, total
        // and keys are in step.
        QCOMPARE(testutil::plainQuery(into, "SELECT group_concat(rowid) FROM objetos_busca WHERE objetos_busca MATCH "
                                            "'independencia'"),
                 QStringLiteral("4"));
        QCOMPARE(testutil::plainQuery(into, "SELECT count(*) FROM ondrel_changes WHERE keyed = changes AND counted = "
                                            "changes"),
                 QStringLiteral("2"));
    }

    void largeFileComesAcross()
    {
        QTemporaryDir dir;
        const QString into = testutil::collectionFile(dir.path());
        const JetConversion done = convertJetInto(jettest::fixture("legacy-v2000-pw-5k.mdb"), into);
        const jettest::Dump want = jettest::expected("legacy-v2000-pw-5k.expected.txt");
        QCOMPARE(QString::number(done.objects), want.facts.value("count objetos rows"));
        QCOMPARE(QString::number(done.loans), want.facts.value(QString::fromUtf8("count empréstimos rows")));
        auto db = testutil::openCollection(into);
        QCOMPARE(jettest::money(db->sumField(QStringLiteral("objetos"), QStringLiteral("valor"))),
                 want.facts.value("sum objetos valor"));
        const auto count = [&](const QString& statement) {
            auto rs = db->openRecordset(statement, ondrel::db::RecordsetType::Snapshot);
            rs->moveLast();
            return QString::number(rs->recordCount());
        };
        QCOMPARE(count(ondrel::db::loansNotReturned()), want.facts.value(QString::fromUtf8("count empréstimos Entregue = 'Não'")));
        QCOMPARE(count(QStringLiteral("select * from empréstimos where codobjeto = 'L001'")),
                 want.facts.value(QString::fromUtf8("count empréstimos codobjeto = 'L001'")));
        QCOMPARE(testutil::plainQuery(into, "SELECT count(*) FROM objetos WHERE valor IS NULL"),
                 want.facts.value("count objetos valor IS NULL"));
        QCOMPARE(testutil::plainQuery(into, "SELECT count(*) FROM objetos WHERE \"Data\" < '1899-12-30'"),
                 want.facts.value("count objetos Data < 1899-12-30"));
    }

    // In place: the new collection takes the name, the Jet file is kept
    // beside it byte for byte, a second one the same day gets "-2".
    void inPlaceKeepsTheJetFileBeside()
    {
        JetFolder folder;
        const QByteArray jet = jettest::bytes(folder.path);
        const JetConversion done = convertJetInPlace(folder.path, {}, QDate(2024, 6, 1));
        QCOMPARE(done.keptAs, folder.dir.filePath(QStringLiteral("livrano-jet-2024-06-01.mdb")));
        QCOMPARE(jettest::bytes(done.keptAs), jet);
        QVERIFY(done.report().contains(QStringLiteral("livrano-jet-2024-06-01.mdb")));
        QCOMPARE(testutil::openCollection(folder.path)->countRecords(QStringLiteral("objetos")), 8);
        QCOMPARE(folder.files(), QStringList({"livrano-jet-2024-06-01.mdb", "livrano.mdb"}));

        QFile::remove(folder.path);
        QFile::copy(jettest::fixture("legacy-v2003-pw.mdb"), folder.path);
        QCOMPARE(convertJetInPlace(folder.path, {}, QDate(2024, 6, 1)).keptAs,
                 folder.dir.filePath(QStringLiteral("livrano-jet-2024-06-01-2.mdb")));
    }

    // Pictures not found are looked for by name in a folder.
    void picturesFolderFindsThemByName()
    {
        QTemporaryDir pictures;
        for (const char* name : {"L001.jpg", "l002.TIF"})
            QFile(pictures.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
        QTemporaryDir dir;
        JetOptions options;
        options.picturesFolder = pictures.path();
        const QString into = testutil::collectionFile(dir.path());
        const JetConversion done = convertJetInto(jettest::fixture("legacy-v2000-pw.mdb"), into, options);
        QCOMPARE(done.picturesFound, 2);
        QCOMPARE(done.picturesMissing, 3);
        QCOMPARE(testutil::plainQuery(into, "SELECT path FROM objetos WHERE cod IN ('L001', 'L002') ORDER BY cod"),
                 pictures.filePath(QStringLiteral("L001.jpg")) + u'\n' + pictures.filePath(QStringLiteral("l002.TIF")));
    }

    // A damaged file or repeated codes: refused with a message, the Jet
    // file unchanged and nothing left beside it.
    void refusedFilesChangeNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("says");
        QTest::newRow("cut at half") << "cut" << "não pôde ser lido";
        QTest::newRow("objetos definition overwritten") << "tdef" << "objetos";
        QTest::newRow("repeated code") << "repeat" << "códigos repetidos, que a coleção não admite: \"L001\" (2 vezes)";
    }
    void refusedFilesChangeNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QString, says);
        JetFolder folder;
        QFile file(folder.path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        if (damage == QLatin1String("cut")) {
            bytes.truncate(bytes.size() / 2);
        } else if (damage == QLatin1String("tdef")) {
            // The page the catalogue names for objetos (a table definition
            // page starts with 02 01), overwritten.
            qsizetype page = -1;
            for (qsizetype p = 4096; p + 4096 <= bytes.size(); p += 4096)
                if (bytes[p] == 2 && bytes.mid(p, 4096).contains(QByteArrayView("D\0e\0s\0c\0r\0i\0", 12)))
                    page = p;
            QVERIFY(page > 0);
            bytes.replace(page + 8, 4096 - 8, QByteArray(4096 - 8, '\x5a'));
        } else {
            const qsizetype at = bytes.indexOf(QByteArrayView("\xff\xfeL002"));
            QVERIFY(at > 0);
            bytes[at + 5] = '1';
        }
        file.resize(0);
        file.write(bytes);
        file.close();
        const QStringList before = folder.files();
        try {
            convertJetInPlace(folder.path);
            QFAIL("converted");
        } catch (const ImportError& e) {
            QVERIFY2(e.text().contains(says), qPrintable(e.text()));
        }
        QCOMPARE(jettest::bytes(folder.path), bytes);
        QCOMPARE(folder.files(), before);
    }

    // The parts Jet keeps of a stored query: the program's shapes give its
    // texts; any other shape gives none.
    void queryShapes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVector<QueryPart>>("parts");
        QTest::addColumn<QString>("text");
        const QueryPart select{0, 0, {}, {}, {}}, end{255, 0, {}, {}, {}};
        const auto column = [](const char* c) { return QueryPart{6, 0, QString::fromUtf8(c), {}, {}}; };
        const QVector<QueryPart> listing{select, {3, 0, {}, {}, {}}, {5, 0, {}, "objetos", {}}, column("cod"),
                                         column("objeto"), column("título"), column("autor"), column("valor")};
        QTest::newRow("Imprime ordered") << "Imprime" << (listing + QVector<QueryPart>{{11, 0, "autor", {}, {}}, end})
                                         << ondrel::db::listingOrderedBy(QStringLiteral("autor"));
        QTest::newRow("Imprime searched")
            << "imprime" << (listing + QVector<QueryPart>{{8, 0, "descrição like '*d''água*'", {}, {}}, end})
            << ondrel::db::listingWhereContains(QStringLiteral("descrição"), QStringLiteral("d'água"));
        QTest::newRow("Imprime descending") << "Imprime" << (listing + QVector<QueryPart>{{11, 0, "cod", "D", {}}})
                                            << QString();
        QTest::newRow("pesquisa with a join")
            << "pesquisa"
            << QVector<QueryPart>{select, {3, 1, {}, {}, {}}, {5, 0, {}, "empréstimos", {}}, {7, 0, "x", {}, {}},
                                  {8, 0, "codobjeto = 'A'", {}, {}}, {11, 0, "data", "D", {}}}
            << QString();
        QTest::newRow("pesquisa of another table")
            << "pesquisa"
            << QVector<QueryPart>{select, {3, 1, {}, {}, {}}, {5, 0, {}, "objetos", {}}, {8, 0, "codobjeto = 'A'", {}, {}},
                                  {11, 0, "data", "D", {}}}
            << QString();
    }
    void queryShapes()
    {
        QFETCH(QString, name);
        QFETCH(QVector<QueryPart>, parts);
        QFETCH(QString, text);
        QCOMPARE(queryTextFromParts(name, parts), text);
    }

    // ondrel --import-jet: counts printed; refused with status 2 into a
    // collection that has objects, or --into a file that exists.
    void commandLine()
    {
        QTemporaryDir dir;
        const QString jet = jettest::fixture("legacy-v2003-pw.mdb");
        const QString into = dir.filePath(QStringLiteral("nova.mdb"));
        int code = 0;
        QString said = run({"--import-jet", jet, "--into", into}, &code);
        QCOMPARE(code, 0);
        QVERIFY2(said.contains(QStringLiteral("Vieram 8 objetos e 6 empréstimos.")), qPrintable(said));
        said = run({"--import-jet", jet, "--into", into}, &code);
        QCOMPARE(code, 2);
        QVERIFY2(said.contains(QStringLiteral("já existe")), qPrintable(said));

        testutil::createCollection(testutil::collectionFile(dir.path()), testutil::Collection::Demo);
        const QByteArray demo = jettest::bytes(testutil::collectionFile(dir.path()));
        said = run({"--import-jet", jet, "--plugin-folder", dir.path()}, &code);
        QCOMPARE(code, 2);
        QVERIFY2(said.contains(QStringLiteral("não está vazia")), qPrintable(said));
        QCOMPARE(jettest::bytes(testutil::collectionFile(dir.path())), demo);
    }

    // The converting process killed at a random moment: the Jet file stays
    // as it was, or the whole collection is in place with the Jet file kept.
    void killedConversionLeavesTheJetFile()
    {
        const QString jet = jettest::fixture("legacy-v2000-pw-5k.mdb");
        const QByteArray original = jettest::bytes(jet);
        const quint32 seed = qEnvironmentVariableIsSet("ONDREL_KILL_SEED") ? qEnvironmentVariableIntValue("ONDREL_KILL_SEED")
                                                                           : QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        QElapsedTimer whole;
        whole.start();
        {
            JetFolder folder("legacy-v2000-pw-5k.mdb");
            int code = 0;
            run({"--import-jet", folder.path, "--plugin-folder", folder.dir.path()}, &code);
            QCOMPARE(code, 0);
        }
        const qint64 duration = whole.elapsed();
        bool cleaned = false;
        for (int round = 0; round < 3; ++round) {
            JetFolder folder("legacy-v2000-pw-5k.mdb");
            QProcess p;
            p.start(QStringLiteral(ONDREL_EXE), {"--import-jet", folder.path, "--plugin-folder", folder.dir.path()});
            QVERIFY(p.waitForStarted());
            QTest::qSleep(int(random.bounded(qMax<qint64>(duration, 1))));
            p.kill();
            p.waitForFinished();
            const QStringList kept = QDir(folder.dir.path()).entryList({QStringLiteral("livrano-jet-*.mdb")});
            if (jettest::bytes(folder.path) == original) {
                QVERIFY(kept.size() <= 1);  // a link made just before the end
            } else {
                QCOMPARE(testutil::openCollection(folder.path)->countRecords(QStringLiteral("objetos")), 5000);
                QCOMPARE(jettest::bytes(folder.dir.filePath(kept.value(0))), original);
            }
            // What was left half-built goes with the next conversion.
            if (isJetFile(folder.path) && !std::exchange(cleaned, true)) {
                QFile::remove(folder.dir.filePath(kept.value(0)));
                convertJetInPlace(folder.path);
                QCOMPARE(folder.files().filter(QStringLiteral(".novo-")), QStringList());
            }
        }
    }
};

QTEST_GUILESS_MAIN(JetConversionTest)
#include "jetconversion_test.moc"
