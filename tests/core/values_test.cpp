// Value conversions of the collection database: dates, currency, folding,
// the like pattern, literals and the path rule.
#include "collection/collection.h"
#include "core/values.h"
#include "database/database.h"

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

    void amount_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QString>("shown");  // the number shape, read back as the same amount
        const QLocale br(QLocale::Portuguese, QLocale::Brazil);
        const QLocale c = QLocale::c();
        QTest::newRow("comma decimals") << br << "12,50" << true << qint64(125000) << "12,50";
        QTest::newRow("one decimal") << br << "12,5" << true << qint64(125000) << "12,50";
        QTest::newRow("grouped") << br << "1.234,50" << true << qint64(12345000) << "1.234,50";
        QTest::newRow("grouped thousand") << br << "1.234" << true << qint64(12340000) << "1.234,00";
        QTest::newRow("two groups") << br << "1.234.567" << true << qint64(12345670000) << "1.234.567,00";
        QTest::newRow("ungrouped") << br << "1234567,8" << true << qint64(12345678000) << "1.234.567,80";
        QTest::newRow("currency sign") << br << "R$ 3,00" << true << qint64(30000) << "3,00";
        QTest::newRow("total shape") << br << "R$  -3,00" << true << qint64(-30000) << "-3,00";
        QTest::newRow("brackets") << br << "($12,00)" << true << qint64(-120000) << "-12,00";
        QTest::newRow("cents only") << br << ",75" << true << qint64(7500) << "0,75";
        QTest::newRow("negative") << br << "-0,25" << true << qint64(-2500) << "-0,25";
        QTest::newRow("empty") << br << "" << true << qint64(0) << "";
        QTest::newRow("letters") << br << "doze" << false << qint64(0) << "";
        QTest::newRow("mixed garbage") << br << "1,2.3,4" << false << qint64(0) << "";
        QTest::newRow("two decimal marks 1,5,6") << br << "1,5,6" << false << qint64(0) << "";
        QTest::newRow("groups of one 1.2.3") << br << "1.2.3" << false << qint64(0) << "";
        QTest::newRow("two decimal marks 12,3,4") << br << "12,3,4" << false << qint64(0) << "";
        QTest::newRow("three decimals") << br << "12,345" << false << qint64(0) << "";
        QTest::newRow("four decimals") << br << "0,1234" << false << qint64(0) << "";
        QTest::newRow("dot as decimal mark") << br << "12.5" << false << qint64(0) << "";
        QTest::newRow("group after decimals") << br << "1,234.50" << false << qint64(0) << "";
        QTest::newRow("short group") << br << "12.34,00" << false << qint64(0) << "";
        QTest::newRow("past 14 digits") << br << "999999999999999" << false << qint64(0) << "";
        QTest::newRow("C: grouped") << c << "1,234.50" << true << qint64(12345000) << "1,234.50";
        QTest::newRow("C: dot decimals") << c << "12.5" << true << qint64(125000) << "12.50";
        QTest::newRow("C: 12,345 is grouped") << c << "12,345" << true << qint64(123450000) << "12,345.00";
        QTest::newRow("C: comma decimals") << c << "12,50" << false << qint64(0) << "";
    }
    void amount()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(qint64, units);
        QFETCH(QString, shown);
        bool parsed = false;
        const auto value = parseAmount(typed, locale, &parsed);
        QCOMPARE(parsed, ok);
        QCOMPARE(value.value_or(0), units);
        const QString number = value ? formatAmount(*value, AmountShape::Number, locale) : QString();
        QCOMPARE(number, shown);
        if (!value)
            return;
        // Every shape reads back as the amount it shows.
        for (const AmountShape shape : {AmountShape::Number, AmountShape::Currency, AmountShape::Total, AmountShape::Plain})
            QCOMPARE(parseAmount(formatAmount(*value, shape, locale), locale, &parsed).value_or(-1), units);
    }

    // Amounts under each regional setting of the system, in a process of
    // their own: a C or POSIX locale writes them the Brazilian way.
    void amountsUnderTheSystemSettings_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("texts");  // currency | total | number
        const QString brazilian = QStringLiteral("R$ 3.505,50|R$  3.505,50|25,90");
        QTest::newRow("C") << QStringList{"LC_ALL=C"} << brazilian;
        QTest::newRow("C.UTF-8") << QStringList{"LANG=C.UTF-8"} << brazilian;
        QTest::newRow("POSIX") << QStringList{"LC_ALL=POSIX"} << brazilian;
        QTest::newRow("none") << QStringList{} << brazilian;
        QTest::newRow("pt_BR") << QStringList{"LANG=pt_BR.UTF-8"} << brazilian;
        QTest::newRow("en_US") << QStringList{"LANG=en_US.UTF-8"} << "$3,505.50|R$  3,505.50|25.90";
        QTest::newRow("numbers of de_DE") << QStringList{"LANG=C.UTF-8", "LC_NUMERIC=de_DE.UTF-8"}
                                          << "3.505,50|R$  3.505,50|25,90";
    }
    void amountsUnderTheSystemSettings()
    {
        QFETCH(QStringList, settings);
        QFETCH(QString, texts);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : environment.keys())
            if (name.startsWith(QLatin1String("LC_")) || name.startsWith(QLatin1String("LANG")))
                environment.remove(name);
        for (const QString& setting : settings)
            environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        environment.insert(QStringLiteral("ONDREL_TEST_AMOUNT_TEXTS"), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), texts);
    }

    void amountIsExact()
    {
        bool ok = false;
        qint64 sum = 0;
        for (int i = 0; i < 10; ++i)
            sum += *parseAmount(QStringLiteral("0,1"), QLocale(), &ok);
        QCOMPARE(sum, qint64(10000));
        QCOMPARE(formatAmount(sum, AmountShape::Number), QStringLiteral("1,00"));
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("ONDREL_TEST_AMOUNT_TEXTS")) {
        std::fputs(qPrintable(formatAmount(35055000, AmountShape::Currency) + u'|'
                              + formatAmount(35055000, AmountShape::Total) + u'|'
                              + formatAmount(259000, AmountShape::Number)),
                   stdout);
        return 0;
    }
    DatabaseValues test;
    return QTest::qExec(&test, argc, argv);
}
#include "values_test.moc"
