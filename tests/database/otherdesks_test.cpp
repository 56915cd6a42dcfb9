// Other desks' changes told on a collection on a PostgreSQL server: a
// change another connection commits to the objects or the loans is told to
// a connection watching, once per burst; its own changes, a rolled-back one
// and a stored query are not; a collection shared before the telling gains
// it when its indexes are built.
#include "database_testutil.h"

#include "database/connection.h"

#include <QtTest>

using namespace ondrel::db;

namespace {

void addObject(Database& db, const QString& code)
{
    auto rs = db.openRecordset(QStringLiteral("objetos"));
    rs->addNew();
    rs->setText(QStringLiteral("cod"), code);
    rs->setText(QStringLiteral("Título"), code);
    rs->update();
}

}  // namespace

class DatabaseOtherDesks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("ONDREL_TEST_STORE", "postgresql");
        testutil::PgServer& server = testutil::PgServer::instance();
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    void changesAreToldOncePerBurst_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("sharedBefore");  // triggers dropped, then the index build
        QTest::addColumn<int>("told");
        QTest::newRow("an object added there") << "object" << false << 1;
        QTest::newRow("a loan added there") << "loan" << false << 1;
        QTest::newRow("fifty objects there, one by one") << "burst" << false << 1;
        QTest::newRow("an object added here") << "own" << false << 0;
        QTest::newRow("rolled back there") << "rollback" << false << 0;
        QTest::newRow("a stored query there") << "query" << false << 0;
        QTest::newRow("shared before, indexes built") << "object" << true << 1;
    }
    void changesAreToldOncePerBurst()
    {
        QFETCH(QString, change);
        QFETCH(bool, sharedBefore);
        QFETCH(int, told);
        testutil::TempCollection collection;
        if (sharedBefore) {
            QCOMPARE(testutil::PgServer::instance().run(
                         collection.path, "DROP FUNCTION ondrel_tell_desks() CASCADE"),
                     QString());
            Database::buildIndexes(collection.path, testutil::connectString());
        }
        auto here = collection.open();
        int heard = 0;
        here->whenOthersChange([&] { ++heard; });
        auto there = collection.open();

        if (change == QLatin1String("object")) {
            addObject(*there, QStringLiteral("A1"));
        } else if (change == QLatin1String("loan")) {
            auto rs = there->openRecordset(QStringLiteral("empréstimos"));
            rs->addNew();
            rs->setText(QStringLiteral("codobjeto"), QStringLiteral("A1"));
            rs->update();
        } else if (change == QLatin1String("burst")) {
            for (int i = 0; i < 50; ++i)
                addObject(*there, QStringLiteral("B%1").arg(i));
        } else if (change == QLatin1String("own")) {
            addObject(*here, QStringLiteral("A1"));
        } else if (change == QLatin1String("rollback")) {
            Transaction tx(there->connection());
            there->executeNative(QStringLiteral("INSERT INTO objetos (ondrel_id, cod) VALUES (999999, 'X')"));
        } else {
            there->writeQueryDef(QStringLiteral("pesquisa"), QStringLiteral("SELECT * FROM objetos"));
        }
        if (told)
            QTRY_COMPARE_WITH_TIMEOUT(heard, told, 5000);
        // Nothing more is told later.
        QTest::qWait(500);
        QCOMPARE(heard, told);
        // Stopped, nothing is told.
        here->whenOthersChange({});
        addObject(*there, QStringLiteral("Z9"));
        QTest::qWait(300);
        QCOMPARE(heard, told);
    }

    // A session made again after the server came back listens again, and
    // tells once for what it could not hear meanwhile.
    void toldAgainAfterTheServerIsBack()
    {
        testutil::TempCollection collection;
        auto here = collection.open();
        int heard = 0;
        here->whenOthersChange([&] { ++heard; });
        auto there = collection.open();
        {
            testutil::Outage outage(testutil::PgServer::instance());
            QTest::qWait(100);
            QVERIFY(outage.back());
        }
        QVERIFY(!here->hasQueryDef(QStringLiteral("nenhuma")));
        QTRY_COMPARE_WITH_TIMEOUT(heard, 1, 5000);
        addObject(*there, QStringLiteral("A1"));
        QTRY_COMPARE_WITH_TIMEOUT(heard, 2, 5000);
    }
};

QTEST_GUILESS_MAIN(DatabaseOtherDesks)
#include "otherdesks_test.moc"
