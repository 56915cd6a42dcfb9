// Value conversions of the collection database: dates, currency, folding,
// the like pattern, literals and the path rule.
#include "database/database.h"
#include "database/values.h"

#include <QtTest>

using namespace ondrel::db;

class DatabaseValues : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void path_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/opt/ulmix" << "/opt/ulmix/livrano.mdb";
        QTest::newRow("trailing separator") << "/opt/ulmix/" << "/opt/ulmix/livrano.mdb";
        QTest::newRow("root") << "/" << "/livrano.mdb";
    }
    void path()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(databasePath(folder), expected);
    }

    void literalDoublesQuotes()
    {
        QCOMPARE(literal(QStringLiteral("D'Ávila")), QStringLiteral("D''Ávila"));
        QCOMPARE(literal(QStringLiteral("''")), QStringLiteral("''''"));
        QCOMPARE(literal(QStringLiteral("sem aspas")), QStringLiteral("sem aspas"));
    }

    void dates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short") << "5/3/2003" << true << "05/03/2003";
        QTest::newRow("full") << "05/03/2003" << true << "05/03/2003";
        QTest::newRow("two-digit year") << "5/3/03" << true << "05/03/2003";
        QTest::newRow("two-digit old year") << "1/1/95" << true << "01/01/1995";
        QTest::newRow("leap day") << "29/02/2004" << true << "29/02/2004";
        QTest::newRow("empty") << "" << true << "";
        QTest::newRow("empty mask") << "__/__/____" << true << "";
        QTest::newRow("impossible") << "31/02/2003" << false << "";
        QTest::newRow("not leap") << "29/02/2003" << false << "";
        QTest::newRow("month 13") << "01/13/2003" << false << "";
        QTest::newRow("words") << "ontem" << false << "";
        QTest::newRow("half mask") << "12/__/____" << false << "";
    }
    void dates()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QString, shown);
        bool parsed = false;
        const auto date = parseDate(typed, &parsed);
        QCOMPARE(parsed, ok);
        QCOMPARE(date ? formatDate(*date) : QString(), shown);
    }

    void currency_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QString>("shown");
        QTest::newRow("comma decimals") << "12,50" << true << qint64(125000) << "12,5";
        QTest::newRow("grouped") << "1.234,50" << true << qint64(12345000) << "1234,5";
        QTest::newRow("dot decimals") << "12.5" << true << qint64(125000) << "12,5";
        QTest::newRow("grouped thousand") << "1.234" << true << qint64(12340000) << "1234";
        QTest::newRow("english grouped") << "1,234.50" << true << qint64(12345000) << "1234,5";
        QTest::newRow("currency sign") << "R$ 3,00" << true << qint64(30000) << "3";
        QTest::newRow("four decimals") << "0,1234" << true << qint64(1234) << "0,1234";
        QTest::newRow("rounded fifth") << "0,00005" << true << qint64(1) << "0,0001";
        QTest::newRow("negative") << "-0,25" << true << qint64(-2500) << "-0,25";
        QTest::newRow("empty") << "" << true << qint64(0) << "";
        QTest::newRow("letters") << "doze" << false << qint64(0) << "";
        QTest::newRow("two groups") << "1.234.567" << true << qint64(12345670000) << "1234567";
        QTest::newRow("mixed garbage") << "1,2.3,4" << false << qint64(0) << "";
    }
    void currency()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(qint64, units);
        QFETCH(QString, shown);
        bool parsed = false;
        const auto value = parseCurrency(typed, &parsed);
        QCOMPARE(parsed, ok);
        QCOMPARE(value.value_or(0), units);
        QCOMPARE(value ? formatCurrency(*value) : QString(), shown);
    }

    void currencyIsExact()
    {
        bool ok = false;
        qint64 sum = 0;
        for (int i = 0; i < 10; ++i)
            sum += *parseCurrency(QStringLiteral("0,1"), &ok);
        QCOMPARE(sum, qint64(10000));
        QCOMPARE(formatCurrency(sum), QStringLiteral("1"));
    }

    void fold_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("case") << "Não" << "NÃO";
        QTest::newRow("accent") << "Não" << "nao";
        QTest::newRow("cedilla") << "AÇÃO" << "acao";
        QTest::newRow("mixed") << "Título" << "TITULO";
    }
    void fold()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QCOMPARE(foldText(a), foldText(b));
        QCOMPARE(QString::fromUtf8(foldUtf8(a.toUtf8().constData(), int(a.toUtf8().size()))), foldText(b));
    }

    void like_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("match");
        QTest::newRow("anywhere") << "*ção*" << "AÇÃO PENAL" << true;
        QTest::newRow("prefix") << "dom*" << "Dom Casmurro" << true;
        QTest::newRow("prefix miss") << "casm*" << "Dom Casmurro" << false;
        QTest::newRow("one char") << "c?d" << "cod" << true;
        QTest::newRow("one char too many") << "c?d" << "cood" << false;
        QTest::newRow("hash literal") << "*C#*" << "Curso de C#" << true;
        QTest::newRow("hash is no digit") << "C#" << "C1" << false;
        QTest::newRow("bracket literal") << "*[a]*" << "x[A]y" << true;
        QTest::newRow("bracket no class") << "[a]" << "a" << false;
        QTest::newRow("percent literal") << "50%" << "50%" << true;
        QTest::newRow("percent no wildcard") << "5%" << "50" << false;
        QTest::newRow("underscore literal") << "a_b" << "axb" << false;
        QTest::newRow("star only") << "*" << "" << true;
        QTest::newRow("backtracking") << "*ab*ab" << "abxabyab" << true;
    }
    void like()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, match);
        QCOMPARE(likeMatch(foldText(pattern), foldText(text)), match);
    }
};

QTEST_GUILESS_MAIN(DatabaseValues)
#include "database_values.moc"
