// Finds by position in the keyset, snapshots that read a column on first use,
// field names resolved once, and translations kept per text: results must stay
// those of a record set that re-reads and re-parses everything.
#include "core/values.h"
#include "database/connection.h"
#include "database_testutil.h"

#include <QtTest>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;
using testutil::errorNumber;

namespace {

QString codeAt(Recordset& rs)
{
    return rs.hasCurrent() ? rs.text(QStringLiteral("cod")) : QStringLiteral("<none>");
}

using testutil::column;

}  // namespace

class DatabaseKeyset : public QObject {
    Q_OBJECT
    std::unique_ptr<testutil::TempCollection> m_file;
    std::shared_ptr<Database> m_db;

    // cod, Título, Autor, valor. Row ids follow this order; titles do not.
    void addObjects(const QList<QStringList>& rows)
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        for (const QStringList& r : rows)
            testutil::addRecord(*rs, P{{"cod", r[0]}, {"Título", r[1]}, {"Autor", r[2]}, {"valor", r[3]}});
    }
    std::shared_ptr<Database> otherHandle() const { return m_file->open(); }

    // Thousands of generated objects, some without an author; made anew for
    // each test that changes it.
    std::unique_ptr<testutil::TempCollection> m_large;
    void makeLarge()
    {
        m_large = std::make_unique<testutil::TempCollection>(
            [](const QString& path) { generateBenchData(path, 5000, 0); });
        auto rs = m_large->open()->openRecordset(QStringLiteral("select * from objetos where cod like 'B0000*'"));
        for (; !rs->eof(); rs->moveNext()) {
            rs->edit();
            rs->setText(QStringLiteral("Autor"), QString());
            rs->update();
        }
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        makeLarge();
    }

    void init()
    {
        m_file = std::make_unique<testutil::TempCollection>();
        m_db = m_file->open();
        addObjects({{"A", "Dom Casmurro", "Ana", "1"},
                    {"B", "Bola", "Rui", "2"},
                    {"C", "Árvore", "ana", "4"},
                    {"D", "Casa", "Eva", "8"},
                    {"E", "arroz", "ANA", "16"},
                    {"F", "Zebra", "Rui", "32"}});
    }

    // In title order (arroz, Árvore, Bola, Casa, Dom Casmurro, Zebra) the
    // matches stand in another order than their row ids: a find walks
    // positions, never row ids.
    void findsFollowTheSetOrder_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QStringList>("forward");   // findFirst, then findNext until no match
        QTest::addColumn<QStringList>("backward");  // findLast, then findPrevious
        const QString byTitle = QStringLiteral("select * from objetos order by título");
        const QString byTitleDesc = QStringLiteral("select * from objetos order by título desc");
        QTest::newRow("ana, by title") << byTitle << "autor='ana'" << QStringList{"E", "C", "A"} << QStringList{"A", "C", "E"};
        QTest::newRow("ana, by title desc") << byTitleDesc << "autor='ana'" << QStringList{"A", "C", "E"}
                                            << QStringList{"E", "C", "A"};
        QTest::newRow("rui, table order") << "objetos" << "autor='rui'" << QStringList{"B", "F"} << QStringList{"F", "B"};
        QTest::newRow("one match") << byTitle << "cod='d'" << QStringList{"D"} << QStringList{"D"};
        QTest::newRow("no match") << byTitle << "cod='x'" << QStringList{} << QStringList{};
        QTest::newRow("outside the set's criteria") << "select * from objetos where autor='rui' order by título"
                                                    << "cod='a' or cod='f'" << QStringList{"F"} << QStringList{"F"};
    }
    void findsFollowTheSetOrder()
    {
        QFETCH(QString, source);
        QFETCH(QString, criteria);
        QFETCH(QStringList, forward);
        QFETCH(QStringList, backward);
        auto rs = m_db->openRecordset(source);
        auto walk = [&](void (Recordset::*first)(const QString&), void (Recordset::*next)(const QString&)) {
            QStringList seen;
            for ((rs.get()->*first)(criteria); !rs->noMatch() && seen.size() < 10; (rs.get()->*next)(criteria))
                seen.append(codeAt(*rs));
            return seen;
        };
        QCOMPARE(walk(&Recordset::findFirst, &Recordset::findNext), forward);
        QCOMPARE(walk(&Recordset::findLast, &Recordset::findPrevious), backward);
    }

    // The row id -> position index must follow every change of the keyset.
    void findsAfterTheKeysetChanges()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos order by título"));
        rs->findFirst(QStringLiteral("cod='f'"));  // the index is built here
        QCOMPARE(rs->absolutePosition(), 5);

        // Deleted through the set: everything after it moves up one place.
        rs->findFirst(QStringLiteral("cod='c'"));
        rs->deleteRecord();
        rs->findFirst(QStringLiteral("cod='d'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("D"));
        QCOMPARE(rs->absolutePosition(), 2);  // arroz, Bola, Casa

        // Added through the set: at its end until requery.
        testutil::addRecord(*rs, P{{"cod", "G"}, {"Título", "Abacaxi"}, {"Autor", "Rui"}});
        rs->findFirst(QStringLiteral("cod='g'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("G"));
        QCOMPARE(rs->absolutePosition(), 5);
        rs->findPrevious(QStringLiteral("autor='rui'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("F"));

        // Deleted by another handle: skipped when reached, then gone.
        otherHandle()->executeNative(QStringLiteral("DELETE FROM objetos WHERE cod = 'B'"));
        rs->moveFirst();
        rs->moveNext();  // Bola is gone: Casa
        QCOMPARE(codeAt(*rs), QStringLiteral("D"));
        rs->findFirst(QStringLiteral("cod='f'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("F"));
        QCOMPARE(rs->absolutePosition(), 3);  // arroz, Casa, Dom Casmurro, Zebra

        // Requery: the new order (Abacaxi first) and the new positions.
        rs->requery();
        rs->findFirst(QStringLiteral("cod='f'"));
        QCOMPARE(rs->absolutePosition(), 4);
        rs->findFirst(QStringLiteral("cod='g'"));
        QCOMPARE(rs->absolutePosition(), 0);
    }

    // A find the observer refuses leaves everything where it was; one it
    // allows after its automatic save (a new record appended) still lands on
    // the record found.
    void findAcrossAnAutomaticSave()
    {
        struct SavingObserver : RecordsetObserver {
            bool refuse = false;
            bool recordsetAboutToChange(Recordset& rs, int action) override
            {
                if (refuse)
                    return false;
                if (action == ActionFind && rs.editMode() == EditMode::Adding)
                    rs.update();
                return true;
            }
            void recordsetAboutToUpdate(Recordset&) override {}
            void recordsetChanged(Recordset&, int) override {}
        } observer;
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos order by título"));
        rs->setObserver(&observer);
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QStringLiteral("H"));
        rs->findFirst(QStringLiteral("cod='b'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("B"));
        QCOMPARE(rs->keyCount(), 7);
        observer.refuse = true;
        rs->findFirst(QStringLiteral("cod='h'"));
        QCOMPARE(codeAt(*rs), QStringLiteral("B"));
        observer.refuse = false;
        rs->findFirst(QStringLiteral("cod='h'"));
        QCOMPARE(rs->absolutePosition(), 6);
        rs->setObserver(nullptr);
    }

    void snapshotReadsEveryField()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select cod, título, valor from objetos where autor='ana' order by título"),
                                      RecordsetType::Snapshot);
        QCOMPARE(rs->keyCount(), 3);
        QCOMPARE(rs->recordCount(), 1);
        QCOMPARE(column(*rs, QStringLiteral("cod")), (QStringList{"E", "C", "A"}));
        QCOMPARE(column(*rs, QStringLiteral("TÍTULO")), (QStringList{"arroz", "Árvore", "Dom Casmurro"}));
        qint64 total = 0;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            total += rs->value(QStringLiteral("Valor")).toLongLong() + rs->value(QStringLiteral("valor")).toLongLong();
        QCOMPARE(total, 2 * qint64(21) * kCurrencyScale);
        QCOMPARE(rs->recordCount(), 3);
        // A grid reads rows without moving.
        rs->moveFirst();
        QCOMPARE(rs->textAt(2, QStringLiteral("título")), QStringLiteral("Dom Casmurro"));
        QCOMPARE(rs->textAt(1, QStringLiteral("valor")), QStringLiteral("4,00"));
        QCOMPARE(codeAt(*rs), QStringLiteral("E"));
        // Unknown names stay unknown, however often they are asked.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("autor")); }), int(ErrNoField));
            QVERIFY(!rs->hasField(QStringLiteral("autor")));
            QCOMPARE(rs->value(QStringLiteral("COD")).toString(), QStringLiteral("E"));
        }
        QCOMPARE(errorNumber([&] { rs->value(QString()); }), int(ErrNoField));
    }

    // The snapshot's members and order are those of its opening; changes
    // committed by another handle before a column is first read show as the
    // caveat in the engine describes, never as values shifted onto other
    // records.
    void snapshotColumnsKeepTheirRecords()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos where autor <> 'eva' order by título"),
                                      RecordsetType::Snapshot);
        QCOMPARE(column(*rs, QStringLiteral("cod")), (QStringList{"E", "C", "B", "A", "F"}));
        {
            auto other = otherHandle();
            // Zebra moves to the top of the order, Bola leaves the criteria,
            // Árvore is deleted, a new member appears.
            other->executeNative(QStringLiteral("UPDATE objetos SET \"Título\" = 'Aaa', valor = %1 WHERE cod = 'F'")
                                     .arg(testutil::storedAmount(320000)));
            other->executeNative(QStringLiteral("UPDATE objetos SET \"Autor\" = 'Eva', valor = %1 WHERE cod = 'B'")
                                     .arg(testutil::storedAmount(20001)));
            other->executeNative(QStringLiteral("DELETE FROM objetos WHERE cod = 'C'"));
            auto add = other->openRecordset(QStringLiteral("objetos"));
            testutil::addRecord(*add, P{{"cod", "N"}, {"Título", "Nova"}, {"Autor", "Rui"}, {"valor", "64"}});
        }
        QCOMPARE(rs->keyCount(), 5);
        QCOMPARE(column(*rs, QStringLiteral("cod")), (QStringList{"E", "C", "B", "A", "F"}));  // read before
        QCOMPARE(column(*rs, QStringLiteral("valor")), (QStringList{"16,00", "", "2,00", "1,00", "32,00"}));
        QCOMPARE(column(*rs, QStringLiteral("título")), (QStringList{"arroz", "", "Bola", "Dom Casmurro", "Aaa"}));
        // Requery takes the file as it is now.
        rs->requery();
        QCOMPARE(column(*rs, QStringLiteral("cod")), (QStringList{"F", "E", "A", "N"}));
        QCOMPARE(column(*rs, QStringLiteral("valor")), (QStringList{"32,00", "16,00", "1,00", "64,00"}));
    }

    // A find on a snapshot shows the record whose values met its criteria:
    // one changed by another handle with its new values, and never a deleted
    // record's values under an id given again to a new record.
    void snapshotFindShowsTheRecordItTested_data()
    {
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("title");  // empty: no match
        QTest::newRow("changed by another handle") << "cod='Q'" << "Quadro";
        QTest::newRow("added after the last was deleted") << "cod='N'" << "";
    }
    void snapshotFindShowsTheRecordItTested()
    {
        QFETCH(QString, criteria);
        QFETCH(QString, title);
        auto rs = m_db->openRecordset(QStringLiteral("objetos"), RecordsetType::Snapshot);
        QCOMPARE(column(*rs, QStringLiteral("título")).size(), 6);  // read before the changes
        {
            auto other = otherHandle()->openRecordset(QStringLiteral("objetos"));
            other->findFirst(QStringLiteral("cod='B'"));
            other->edit();
            other->setText(QStringLiteral("cod"), QStringLiteral("Q"));
            other->setText(QStringLiteral("Título"), QStringLiteral("Quadro"));
            other->update();
            other->findFirst(QStringLiteral("cod='F'"));
            other->deleteRecord();
            testutil::addRecord(*other, P{{"cod", "N"}, {"Título", "Nova"}});
        }
        rs->findFirst(criteria);
        QCOMPARE(rs->noMatch(), title.isEmpty());
        if (!title.isEmpty())
            QCOMPARE(rs->text(QStringLiteral("título")), title);
        QCOMPARE(testutil::plainQuery(m_file->path, "SELECT max(rowid) FROM objetos"), QStringLiteral("7"));
    }

    // Moving to the last record makes the count that of the records the set
    // still holds, whoever deleted the others.
    void countAfterMoveLast_data()
    {
        QTest::addColumn<bool>("sameHandle");
        QTest::addColumn<QStringList>("deleted");
        QTest::newRow("another handle, a middle record") << false << QStringList{"C"};
        QTest::newRow("another handle, the last record") << false << QStringList{"F"};
        QTest::newRow("another set of this handle, first and last") << true << QStringList{"A", "F"};
    }
    void countAfterMoveLast()
    {
        QFETCH(bool, sameHandle);
        QFETCH(QStringList, deleted);
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        rs->moveLast();
        QCOMPARE(rs->recordCount(), 6);
        rs->moveFirst();
        auto other = (sameHandle ? m_db : otherHandle())->openRecordset(QStringLiteral("objetos"));
        for (const QString& code : deleted) {
            other->findFirst(QStringLiteral("cod='%1'").arg(code));
            other->deleteRecord();
        }
        rs->moveLast();
        QCOMPARE(rs->recordCount(), 6 - int(deleted.size()));
        QCOMPARE(codeAt(*rs), deleted.contains(QStringLiteral("F")) ? QStringLiteral("E") : QStringLiteral("F"));
    }

    void emptySnapshot()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos where cod='x'"), RecordsetType::Snapshot);
        QVERIFY(rs->eof() && rs->bof());
        QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("valor")); }), int(ErrNoCurrentRecord));
        QCOMPARE(rs->textAt(0, QStringLiteral("valor")), QString());
    }

    // Translations are kept per text: a stored query opens with its current
    // text, criteria are bound to their own table, and a refused text is
    // refused every time.
    void translationsFollowTheirText()
    {
        const QString search = QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc");
        auto loans = m_db->openRecordset(QStringLiteral("empréstimos"));
        for (const char* code : {"A", "B", "A"}) {
            loans->addNew();
            loans->setText(QStringLiteral("codobjeto"), QString::fromLatin1(code));
            loans->setText(QStringLiteral("Título"), QStringLiteral("Bola"));
            loans->setText(QStringLiteral("Nome"), QStringLiteral("Leitor %1").arg(QLatin1String(code)));
            loans->update();
        }
        for (const char* code : {"A", "B", "A", "Z"}) {
            m_db->deleteQueryDef(QStringLiteral("pesquisa"));
            m_db->createQueryDef(QStringLiteral("pesquisa"));
            m_db->setQueryDefSql(QStringLiteral("pesquisa"), search.arg(QLatin1String(code)));
            auto rs = m_db->openRecordset(QStringLiteral("pesquisa"));
            const int expected = QByteArray(code) == "A" ? 2 : QByteArray(code) == "B" ? 1 : 0;
            QCOMPARE(rs->keyCount(), expected);
            if (expected)
                QCOMPARE(rs->text(QStringLiteral("codobjeto")), QString::fromLatin1(code));
        }
        // The same criteria text on two tables.
        auto objects = m_db->openRecordset(QStringLiteral("objetos"));
        objects->findFirst(QStringLiteral("título='bola'"));
        QCOMPARE(codeAt(*objects), QStringLiteral("B"));
        loans->findFirst(QStringLiteral("título='bola'"));
        QCOMPARE(loans->text(QStringLiteral("codobjeto")), QStringLiteral("A"));
        loans->findFirst(QStringLiteral("nome='leitor b'"));
        QCOMPARE(loans->text(QStringLiteral("codobjeto")), QStringLiteral("B"));
        QCOMPARE(errorNumber([&] { objects->findFirst(QStringLiteral("nome='leitor b'")); }), int(ErrNoField));
        // More texts than are kept, then the first again.
        for (int i = 0; i < 100; ++i)
            objects->findFirst(QStringLiteral("cod='%1'").arg(i));
        objects->findFirst(QStringLiteral("título='bola'"));
        QCOMPARE(codeAt(*objects), QStringLiteral("B"));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(errorNumber([&] { m_db->openRecordset(QStringLiteral("select * from objetos where cod = 'A' +")); }),
                     int(ErrSyntax));
            QCOMPARE(errorNumber([&] { objects->findFirst(QStringLiteral("cod = 'A' +")); }), int(ErrSyntax));
            QCOMPARE(errorNumber([&] { m_db->openRecordset(QStringLiteral("nenhuma")); }), int(ErrNoSuchObject));
        }
    }

    // A set of more records than it reads at once reads them as it moves:
    // the same members in the same order as a plain query gives, the count
    // of the records reached so far (complete after moving to the last),
    // finds and grid rows at their positions.
    void largeSetsReadAsTheyMove_data()
    {
        QTest::addColumn<QString>("statement");
        // (plain SQL both stores read alike: an empty key first going up)
        QTest::addColumn<QByteArray>("plain");  // the same members and order, read by plain SQL
        QTest::newRow("table order") << "objetos" << QByteArray("SELECT cod FROM objetos ORDER BY rowid");
        QTest::newRow("by title") << "select * from objetos order by título"
                                  << QByteArray("SELECT cod FROM objetos ORDER BY titulo_chave NULLS FIRST, rowid");
        QTest::newRow("by author, descending, some empty")
            << "select * from objetos order by autor desc"
            << QByteArray("SELECT cod FROM objetos ORDER BY autor_chave DESC NULLS LAST, rowid DESC");
        QTest::newRow("title contains") << "select * from objetos where título like '*mar*'"
                                        << QByteArray("SELECT cod FROM objetos WHERE titulo_chave LIKE '%mar%' "
                                                      "ORDER BY rowid");
    }
    void largeSetsReadAsTheyMove()
    {
        QFETCH(QString, statement);
        QFETCH(QByteArray, plain);
        const QStringList expected = testutil::plainQuery(m_large->path, plain.constData()).split(u'\n');
        const int n = int(expected.size());
        QVERIFY(n > 300);
        auto db = m_large->open();

        auto forward = db->openRecordset(statement);
        QCOMPARE(forward->recordCount(), 1);
        QStringList seen;
        for (; !forward->eof(); forward->moveNext())
            seen.append(codeAt(*forward));
        QCOMPARE(seen, expected);
        QCOMPARE(forward->recordCount(), n);

        auto backward = db->openRecordset(statement, RecordsetType::Snapshot);
        backward->moveLast();
        QCOMPARE(backward->recordCount(), n);
        QCOMPARE(backward->absolutePosition(), n - 1);
        seen.clear();
        for (; !backward->bof(); backward->movePrevious())
            seen.prepend(codeAt(*backward));
        QCOMPARE(seen, expected);

        // Finds and grid rows far from what the set has read.
        for (int position : {n - 1, n / 2, 3, n - 300}) {
            auto rs = db->openRecordset(statement);
            QCOMPARE(rs->textAt(position, QStringLiteral("cod")), expected.at(position));
            rs->findFirst(QStringLiteral("cod='%1'").arg(expected.at(position)));
            QCOMPARE(rs->absolutePosition(), position);
            rs->moveNext();
            QCOMPARE(codeAt(*rs), expected.value(position + 1, QStringLiteral("<none>")));
            rs->findPrevious(QStringLiteral("cod='%1'").arg(expected.at(position)));
            QCOMPARE(rs->absolutePosition(), position);
            rs->findLast(QStringLiteral("cod='%1'").arg(expected.first()));
            QCOMPARE(rs->absolutePosition(), 0);
        }
        auto kind = db->openRecordset(statement);
        const QStringList magazines = testutil::plainQuery(m_large->path, "SELECT cod FROM objetos WHERE \"Objeto\" = 'Revista'")
                                       .split(u'\n');
        QStringList found;
        for (kind->findFirst(QStringLiteral("objeto='revista'")); !kind->noMatch() && found.size() <= n;
             kind->findNext(QStringLiteral("objeto='revista'")))
            found.append(codeAt(*kind));
        QStringList inOrder;
        for (const QString& code : expected)
            if (magazines.contains(code))
                inOrder.append(code);
        QCOMPARE(found, inOrder);
    }

    // While a large set is read a few records at a time, another handle
    // deletes records ahead of it and adds some, and another program leaves
    // a file's keys out of step: the set goes on with its own members, in
    // order.
    void largeSetFollowsOtherWrites()
    {
        makeLarge();
        const QString statement = QStringLiteral("select * from objetos order by título");
        const QStringList all =
            testutil::plainQuery(m_large->path, "SELECT cod FROM objetos ORDER BY titulo_chave NULLS FIRST, rowid")
                .split(u'\n');
        auto db = m_large->open();
        auto rs = db->openRecordset(statement);
        for (int i = 0; i < 10; ++i)
            rs->moveNext();
        const QStringList gone{all.at(20), all.at(700), all.at(all.size() - 1)};
        {
            auto other = m_large->open()->openRecordset(QStringLiteral("objetos"));
            for (const QString& code : gone) {
                other->findFirst(QStringLiteral("cod='%1'").arg(code));
                other->deleteRecord();
            }
            testutil::addRecord(*other, P{{"cod", "NOVO1"}, {"Título", "Aaaa"}});
        }
        // (A server folds what another program writes itself: its keys never
        // fall out of step.)
        if (!testutil::onServer())
            testutil::plainExec(m_large->path, "UPDATE objetos SET \"Título\" = 'Zzzz' WHERE rowid = 30");
        QStringList seen{codeAt(*rs)};
        for (rs->moveNext(); !rs->eof(); rs->moveNext())
            seen.append(codeAt(*rs));
        QStringList expected = all.mid(10);
        for (const QString& code : gone)
            expected.removeOne(code);
        QCOMPARE(seen, expected);
        rs->moveLast();
        QCOMPARE(rs->recordCount(), int(all.size()) - 3);
        QCOMPARE(db->openRecordset(statement)->keyCount(), int(all.size()) - 2);
    }

    void handleKeepsPagesCached()
    {
        if (testutil::onServer())
            QSKIP("a file's page cache");
        Statement& st = m_db->connection().cached("PRAGMA cache_size");
        ScopedRun run(st);
        QVERIFY(run->step());
        QVERIFY2(run->columnInt(0) <= -16000, "at least 16 MB of page cache per handle");
    }
};

QTEST_GUILESS_MAIN(DatabaseKeyset)
#include "keyset_test.moc"
