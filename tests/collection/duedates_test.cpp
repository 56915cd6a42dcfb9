// The late rule, once for a loan read by a window and once as the view's
// criteria: both give the same loans, most late first, across a month's end
// and 29 February; the loan period is kept in the collection.
#include "collection/duedates.h"
#include "collection/statements.h"
#include "database_testutil.h"

#include "core/values.h"
#include "database/recordset.h"

#include <QTest>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;

class DueDatesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void lateRule_data()
    {
        QTest::addColumn<QString>("returned");
        QTest::addColumn<QString>("lent");
        QTest::addColumn<QString>("due");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("today");
        QTest::addColumn<QString>("text");  // empty: not late
        QTest::newRow("due yesterday") << "Não" << "01/01/2024" << "10/01/2024" << 30 << "11/01/2024" << "atrasado há 1 dia";
        QTest::newRow("due today") << "Não" << "01/01/2024" << "11/01/2024" << 30 << "11/01/2024" << "";
        QTest::newRow("no due date, over a month's end") << "Não" << "31/01/2024" << "" << 30 << "13/03/2024"
                                                         << "atrasado há 12 dias";
        QTest::newRow("no due date, not yet") << "Não" << "31/01/2024" << "" << 30 << "01/03/2024" << "";
        QTest::newRow("due on 29 February") << "Não" << "01/02/2024" << "29/02/2024" << 30 << "01/03/2024"
                                            << "atrasado há 1 dia";
        QTest::newRow("lent on 29 February, a year") << "Não" << "29/02/2024" << "" << 366 << "02/03/2025"
                                                     << "atrasado há 1 dia";
        QTest::newRow("the due date before the period") << "Não" << "01/01/2020" << "31/12/2030" << 30
                                                        << "01/01/2025" << "";
        QTest::newRow("another period") << "Não" << "01/01/2024" << "" << 10 << "20/01/2024" << "atrasado há 9 dias";
        QTest::newRow("returned") << "Sim" << "01/01/2020" << "" << 30 << "01/01/2025" << "";
        QTest::newRow("lower-case não") << "não" << "01/01/2020" << "" << 30 << "01/01/2025" << "";
        QTest::newRow("no loan date") << "Não" << "" << "" << 30 << "01/01/2025" << "";
    }
    void lateRule()
    {
        QFETCH(QString, returned);
        QFETCH(QString, lent);
        QFETCH(QString, due);
        QFETCH(int, period);
        QFETCH(QString, today);
        QFETCH(QString, text);
        testutil::TempCollection file;
        auto db = file.open();
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        testutil::addRecord(*loans, P{{"codobjeto", "A1"}, {"Nome", "Ana"}, {"Entregue", returned}, {"Data", lent},
                                      {"prazo", due}});
        loans->requery();
        bool ok = false;
        const DueRule rule{period, *parseDate(today, &ok)};
        // The loan as a window reads it.
        const auto days = rule.daysLate(loans->text(QStringLiteral("Entregue")), loans->value(QStringLiteral("Data")),
                                        loans->value(QStringLiteral("prazo")));
        QCOMPARE(days ? lateText(*days) : QString(), text);
        // The view's criteria.
        QCOMPARE(countLateLoans(*db, rule), text.isEmpty() ? 0 : 1);
    }

    // Most late first, loans with and without a due date mixed; a file
    // without "prazo" (read-only, made before it) is late by the period.
    void lateLoansMostLateFirst()
    {
        testutil::TempCollection file;
        auto db = file.open();
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        for (const P& loan : {P{{"Nome", "Bia"}, {"Entregue", "Não"}, {"Data", "01/03/2024"}},
                              P{{"Nome", "Caio"}, {"Entregue", "Não"}, {"Data", "01/06/2024"}, {"prazo", "15/02/2024"}},
                              P{{"Nome", "Dora"}, {"Entregue", "Sim"}, {"Data", "01/01/2024"}},
                              P{{"Nome", "Eva"}, {"Entregue", "Não"}, {"Data", "10/02/2024"}}})
            testutil::addRecord(*loans, loan);
        const DueRule rule{30, QDate(2024, 6, 1)};
        auto late = db->openRecordset(lateLoans(rule));
        QCOMPARE(testutil::column(*late, QStringLiteral("Nome")), (QStringList{"Caio", "Eva", "Bia"}));
        testutil::plainExec(file.path, "UPDATE \"empréstimos\" SET prazo = NULL");
        QCOMPARE(testutil::dropDueDates(file.path), QString());
        auto older = testutil::openReadOnly(file.path);
        const DueRule byPeriod = dueRuleOf(*older, QDate(2024, 6, 1));
        QVERIFY(!byPeriod.prazoKept);
        QCOMPARE(testutil::column(*older->openRecordset(lateLoans(byPeriod)), QStringLiteral("Nome")),
                 (QStringList{"Eva", "Bia"}));
    }

    // A collection made before the due dates gains "prazo" and the index of
    // the loans' state when a handle that may write opens it; read as it is,
    // or by a handle that may only read, it stays as it was and reads alike.
    void olderCollectionGainsDueDates()
    {
        testutil::TempCollection collection;
        const QString& path = collection.path;
        QCOMPARE(testutil::dropDueDates(path), QString());
        QCOMPARE(testutil::plainExec(path, "INSERT INTO \"empréstimos\" (codobjeto, \"Nome\", \"Data\", \"Entregue\") "
                                           "VALUES ('A', 'Ana', '2003-02-01', 'Não')"),
                 QString());
        const auto listed = [&] {
            return testutil::plainQuery(path, "SELECT count(*) FROM ondrel_fields WHERE name = 'prazo'");
        };
        const auto late = [](Database& db) { return countLateLoans(db, dueRuleOf(db, QDate(2003, 6, 1))); };
        for (const auto& reader : {Database::read(path, testutil::connectString()), testutil::openReadOnly(path)}) {
            QVERIFY(!reader->openRecordset(QStringLiteral("empréstimos"))->hasField(kDueDateField));
            QCOMPARE(late(*reader), 1);
        }
        QCOMPARE(listed(), QStringLiteral("0"));
        auto db = collection.open();
        QCOMPARE(listed(), QStringLiteral("1"));
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        QCOMPARE(loans->fieldNames().last(), kDueDateField);
        QCOMPARE(loans->fieldType(kDueDateField), FieldType::Date);
        QCOMPARE(loans->text(QStringLiteral("Nome")), QStringLiteral("Ana"));
        QVERIFY(loans->value(kDueDateField).isNull());
        QCOMPARE(late(*db), 1);
        loans->edit();
        loans->setValue(kDueDateField, QDate(2003, 7, 1));
        loans->update();
        QCOMPARE(late(*db), 0);
        Database::buildIndexes(path, testutil::connectString());
        QCOMPARE(testutil::plainQuery(path, testutil::onServer()
                                                ? "SELECT count(*) FROM pg_class WHERE relname = 'emprestimos_entregue'"
                                                : "SELECT count(*) FROM sqlite_master WHERE name = 'emprestimos_entregue'"),
                 QStringLiteral("1"));
    }

    // Kept in the collection: every handle reads the period another set.
    void periodKeptInCollection()
    {
        testutil::TempCollection file;
        auto one = file.open();
        auto other = file.open();
        QCOMPARE(loanPeriod(*other), 30);
        setLoanPeriod(*one, 12);
        QCOMPARE(loanPeriod(*other), 12);
        QCOMPARE(loanPeriod(*file.open()), 12);
        auto readOnly = testutil::openReadOnly(file.path);
        QCOMPARE(testutil::errorNumber([&] { setLoanPeriod(*readOnly, 5); }), int(ErrReadOnly));
        QCOMPARE(loanPeriod(*file.open()), 12);
    }
};

QTEST_GUILESS_MAIN(DueDatesTest)
#include "duedates_test.moc"
