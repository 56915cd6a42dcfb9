// The folded keys, the sort and search indexes and the change ledger: what
// the engine reads through them is what it reads without them, in a file that
// has them, one whose keys another program left out of step, one of the
// earlier format (also read-only) and that file once its indexes are built.
#include "database/dialect.h"
#include "database_testutil.h"

#include <QtTest>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;
using testutil::plainExec;
using testutil::plainQuery;

namespace {

enum class State { Built, Stale, Earlier, EarlierReadOnly, Rebuilt };
constexpr State kStates[] = {State::Built, State::Stale, State::Earlier, State::EarlierReadOnly, State::Rebuilt};

// cod, Título, Autor, Assunto, Descrição, valor.
const QList<QStringList> kObjects = {
    {"A", "Antes", "João Guimarães Rosa", "Romance", "Capa dura", "1"},
    {"B", "O SERTANEJO", "José de Alencar", "romance", "ed. de bolso", "2"},
    {"C", "Sertões", "Euclides da Cunha", "História", "", "4"},
    {"D", "Mar Morto", "jorge amado", "Romance", "100% algodão", "8"},
    {"E", "Ação e reação", "Ana", "", "a*b?c", "16"},
    {"F", "ar", "Érico Veríssimo", "Ação", "ÁRVORE", "32"},
};

// What makes a file of the earlier format out of a file of this one.
const char* kEarlierFormat =
    "DROP TRIGGER ondrel_objetos_insert; DROP TRIGGER ondrel_objetos_update; DROP TRIGGER ondrel_objetos_delete;"
    "DROP TRIGGER ondrel_emprestimos_insert; DROP TRIGGER ondrel_emprestimos_update;"
    "DROP TRIGGER ondrel_emprestimos_delete; DROP TABLE ondrel_changes; DROP TABLE objetos_busca;"
    "DROP TRIGGER ondrel_objetos_blocks_insert; DROP TRIGGER ondrel_objetos_blocks_update;"
    "DROP TRIGGER ondrel_objetos_blocks_delete; DROP TRIGGER ondrel_emprestimos_blocks_insert;"
    "DROP TRIGGER ondrel_emprestimos_blocks_update; DROP TRIGGER ondrel_emprestimos_blocks_delete;"
    "DROP TABLE ondrel_blocks;"
    "DROP INDEX objetos_titulo; DROP INDEX objetos_autor; DROP INDEX objetos_assunto;"
    "ALTER TABLE objetos DROP COLUMN objeto_chave; ALTER TABLE objetos DROP COLUMN titulo_chave;"
    "ALTER TABLE objetos DROP COLUMN autor_chave; ALTER TABLE objetos DROP COLUMN assunto_chave;"
    "ALTER TABLE objetos DROP COLUMN descricao_chave;"
    "UPDATE ondrel_fields SET key_column = NULL WHERE key_column NOT IN ('cod_chave', 'codobjeto_chave');";

// The last changes, as another program writes them (no keys).
const char* kPlainChanges =
    "UPDATE objetos SET \"Título\" = 'Grande Sertão: Veredas' WHERE cod = 'A';"
    "INSERT INTO objetos (cod, cod_chave, \"Título\", \"Autor\", \"Assunto\", valor) "
    "VALUES ('G', 'g', 'Cais do Sertão', 'Chico Science', 'MPB', 640000);";

QStringList codes(Recordset& rs) { return testutil::column(rs, QStringLiteral("cod")); }

}  // namespace

class DatabaseIndexes : public QObject {
    Q_OBJECT
    std::map<State, std::unique_ptr<testutil::TempCollection>> m_files;

    // The same seven objects in every state; only how they were written
    // differs.
    std::unique_ptr<testutil::TempCollection> makeFile(State state)
    {
        auto file = std::make_unique<testutil::TempCollection>();
        {
            auto rs = file->open()->openRecordset(QStringLiteral("objetos"));
            for (const QStringList& o : kObjects)
                testutil::addRecord(*rs, P{{"cod", o[0]}, {"Título", o[1]}, {"Autor", o[2]}, {"Assunto", o[3]},
                                           {"Descrição", o[4]}, {"valor", o[5]}});
            if (state == State::Built) {
                rs->findFirst(QStringLiteral("cod='A'"));
                rs->edit();
                rs->setText(QStringLiteral("Título"), QStringLiteral("Grande Sertão: Veredas"));
                rs->update();
                testutil::addRecord(*rs, P{{"cod", "G"}, {"Título", "Cais do Sertão"}, {"Autor", "Chico Science"},
                                           {"Assunto", "MPB"}, {"valor", "64"}});
            }
        }
        if (state != State::Built && state != State::Stale)
            plainExec(file->path, kEarlierFormat);
        if (state != State::Built)
            plainExec(file->path, kPlainChanges);
        if (state == State::Rebuilt)
            Database::buildIndexes(file->path, QString::fromLatin1(kConnectString));
        return file;
    }

    std::shared_ptr<Database> open(State state)
    {
        const QString& path = m_files.at(state)->path;
        forceReadOnlyOpen(path, state == State::EarlierReadOnly);
        auto db = m_files.at(state)->open();
        forceReadOnlyOpen(path, false);
        return db;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        for (State state : kStates)
            m_files[state] = makeFile(state);
        QVERIFY(plainQuery(m_files[State::Earlier]->path, "PRAGMA integrity_check") == u"ok");
    }

    // Sorts, searches and comparisons give the same records in every state;
    // the keys and the search index are used only where they match the rows.
    void readsAgreeInEveryState_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("keys");         // translated over the keys while they match
        QTest::addColumn<bool>("searchIndex");  // asked of the search index while it matches
        const auto row = [](const char* name, const char* statement, const QStringList& expected, bool keys,
                            bool search = false) {
            QTest::newRow(name) << QString::fromUtf8(statement) << expected << keys << search;
        };
        row("contains, accents", "select * from objetos where título like '*sertao*'", {"A", "G"}, true, true);
        row("contains, case", "select * from objetos where título like '*SERT*'", {"A", "B", "C", "G"}, true, true);
        row("contains, spaces", "select * from objetos where título like '*o e r*'", {"E"}, true, true);
        row("contains, short accented", "select * from objetos where título like '*ão*'", {"A", "E", "G"}, true);
        row("contains, short", "select * from objetos where título like '*ar*'", {"D", "F"}, true);
        row("no wildcard", "select * from objetos where título like 'AR'", {"F"}, true);
        row("prefix", "select * from objetos where título like 'mar*'", {"D"}, false);
        row("one-character wildcard", "select * from objetos where título like '*s?rt*'", {"A", "B", "C", "G"}, false);
        row("empty key", "select * from objetos where título like '**'", {"A", "B", "C", "D", "E", "F", "G"}, true);
        row("description", "select * from objetos where descrição like '*LGOD*'", {"D"}, true, true);
        row("description, its own wildcards", "select * from objetos where descrição like '*a*b?c*'", {"E"}, false);
        row("author", "select * from objetos where autor like '*JOAO*'", {"A"}, true, true);
        row("subject", "select * from objetos where assunto like '*acao*'", {"F"}, true, true);
        row("order by título", "select * from objetos order by título", {"E", "F", "G", "A", "D", "B", "C"}, true);
        row("order by autor desc", "select * from objetos order by autor desc", {"B", "D", "A", "C", "F", "G", "E"},
            true);
        row("order by assunto, empty first", "select * from objetos order by assunto",
            {"E", "F", "C", "G", "A", "B", "D"}, true);
        row("comparison", "select * from objetos where título = 'AR' or autor >= 'jose'", {"B", "F"}, true);
    }
    void readsAgreeInEveryState()
    {
        QFETCH(QString, statement);
        QFETCH(QStringList, expected);
        QFETCH(bool, keys);
        QFETCH(bool, searchIndex);
        for (State state : kStates) {
            auto db = open(state);
            const bool matching = state == State::Built || state == State::Rebuilt;
            QCOMPARE(codes(*db->openRecordset(statement)), expected);
            const SelectPlan plan = db->translateSelect(statement);
            QCOMPARE(plan.usesKeys, matching && keys);
            QCOMPARE(!plan.searchIndex.isEmpty(), matching && searchIndex);
            // A find with the same criteria lands on one of them.
            const qsizetype where = statement.indexOf(QStringLiteral(" where "));
            if (where > 0) {
                auto all = db->openRecordset(QStringLiteral("select * from objetos order by título"));
                all->findFirst(statement.mid(where + 7));
                QVERIFY(!all->noMatch() && expected.contains(all->text(QStringLiteral("cod"))));
            }
        }
    }

    // The count and the total follow every write, whoever makes it: this
    // handle, another handle, another program; with and without the ledger.
    void countAndTotalFollowEveryWrite_data()
    {
        QTest::addColumn<State>("state");
        QTest::newRow("with the ledger") << State::Built;
        QTest::newRow("earlier format") << State::Earlier;
    }
    void countAndTotalFollowEveryWrite()
    {
        QFETCH(State, state);
        auto file = makeFile(state);
        auto db = file->open();
        auto other = file->open();
        const auto check = [&] {
            QCOMPARE(db->countRecords(QStringLiteral("objetos")),
                     plainQuery(file->path, "SELECT count(*) FROM objetos").toLongLong());
            QCOMPARE(db->sumField(QStringLiteral("Select * from objetos"), QStringLiteral("valor")),
                     plainQuery(file->path, "SELECT sum(valor) FROM objetos").toLongLong());
        };
        check();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        testutil::addRecord(*rs, P{{"cod", "H"}, {"valor", "1000"}});
        check();
        auto theirs = other->openRecordset(QStringLiteral("objetos"));
        theirs->findFirst(QStringLiteral("cod='B'"));
        theirs->edit();
        theirs->setText(QStringLiteral("valor"), QStringLiteral("2,50"));
        theirs->update();
        check();
        theirs->findFirst(QStringLiteral("cod='C'"));
        theirs->deleteRecord();
        check();
        plainExec(file->path, "UPDATE objetos SET valor = valor + 7 WHERE cod = 'D'; DELETE FROM objetos WHERE cod = 'E'");
        check();
        // Past the currency range: an error, never a wrapped sum.
        plainExec(file->path, "UPDATE objetos SET valor = 9223372036854775000 WHERE cod = 'F'");
        QCOMPARE(testutil::errorNumber([&] { db->sumField(QStringLiteral("Select * from objetos"), QStringLiteral("valor")); }),
                 int(ErrGeneric));
    }

    // Where a loan stands in the table's order, both ways, follows every
    // write, whoever makes it: read from the counts the file keeps per block
    // of row ids while they match the table, counted without them otherwise
    // (another program's REPLACE deletes a row behind its triggers' back).
    // The next index build counts the blocks again.
    void positionsFollowEveryWrite_data()
    {
        QTest::addColumn<QByteArray>("tool");  // what another program writes, after this handle and another
        QTest::addColumn<bool>("earlier");     // a file of the earlier format
        QTest::addColumn<bool>("kept");        // the blocks are used until the next build
        QTest::newRow("this handle and another") << QByteArray() << false << true;
        QTest::newRow("another program adds and deletes")
            << QByteArray("DELETE FROM \"empréstimos\" WHERE cod BETWEEN 1000 AND 1100 OR cod = 2047;"
                          "INSERT INTO \"empréstimos\" (cod, codobjeto) VALUES (5000, 'Z'), (900000, 'Z');"
                          "UPDATE \"empréstimos\" SET cod = 1050 WHERE cod = 3")
            << false << true;
        QTest::newRow("another program replaces")
            << QByteArray("REPLACE INTO \"empréstimos\" (cod, codobjeto) VALUES (1500, 'Z')") << false << false;
        QTest::newRow("earlier format") << QByteArray("DELETE FROM \"empréstimos\" WHERE cod = 7") << true << false;
    }
    void positionsFollowEveryWrite()
    {
        QFETCH(QByteArray, tool);
        QFETCH(bool, earlier);
        QFETCH(bool, kept);
        testutil::TempCollection file;
        plainExec(file.path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                             "INSERT INTO \"empréstimos\" (codobjeto) SELECT 'L' || i FROM n");
        if (earlier)
            plainExec(file.path, kEarlierFormat);
        auto db = file.open();
        for (const auto& handle : {db, file.open()}) {
            auto loans = handle->openRecordset(QStringLiteral("empréstimos"));
            testutil::addRecord(*loans, P{{"codobjeto", "N"}});
            loans->findFirst(QStringLiteral("cod=2000"));
            loans->deleteRecord();
        }
        plainExec(file.path, tool);
        const TableInfo& table = *db->schema().table(QStringLiteral("empréstimos"));
        const auto check = [&](bool blocks) {
            QCOMPARE(db->recordsBefore(table, 2500).has_value(), blocks);
            const QStringList probes =
                plainQuery(file.path, "SELECT cod FROM \"empréstimos\" WHERE cod % 311 = 0 OR cod IN (1, 1023, 1024, "
                                      "1025, 1050, 2046, 2048, 5000, 900000) OR cod = (SELECT max(cod) FROM \"empréstimos\")")
                    .split(u'\n');
            for (const QString& cod : probes) {
                const int before = plainQuery(file.path, QByteArray("SELECT count(*) FROM \"empréstimos\" WHERE cod < " + cod.toLatin1())).toInt();
                const int after = plainQuery(file.path, QByteArray("SELECT count(*) FROM \"empréstimos\" WHERE cod > " + cod.toLatin1())).toInt();
                auto ascending = db->openRecordset(QStringLiteral("empréstimos"));
                ascending->findFirst(QStringLiteral("cod=") + cod);
                QCOMPARE(ascending->absolutePosition(), before);
                auto descending = db->openRecordset(QStringLiteral("select * from empréstimos order by cod desc"));
                descending->findLast(QStringLiteral("cod=") + cod);
                QCOMPARE(descending->absolutePosition(), after);
            }
        };
        check(kept);
        Database::buildIndexes(file.path, QString::fromLatin1(kConnectString));
        check(true);
    }

    // Building the indexes leaves a read-only file as it is, and a file of
    // the earlier format still opens with the sqlite3 tool's checks passing.
    void buildLeavesReadOnlyFilesAlone()
    {
        const QString& path = m_files.at(State::Earlier)->path;
        const QByteArray before = testutil::digest(path);
        forceReadOnlyOpen(path, true);
        Database::buildIndexes(path, QString::fromLatin1(kConnectString));
        forceReadOnlyOpen(path, false);
        QCOMPARE(testutil::digest(path), before);
        QCOMPARE(plainQuery(m_files.at(State::Rebuilt)->path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        QCOMPARE(plainQuery(m_files.at(State::Rebuilt)->path, "SELECT count(*) FROM objetos WHERE titulo_chave IS NULL"),
                 QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(DatabaseIndexes)
#include "indexes_test.moc"
