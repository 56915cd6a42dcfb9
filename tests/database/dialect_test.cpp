// The collection's query dialect on a real file: every statement and criteria
// text the windows send, wildcards, case and accents, ordering and refusals,
// and hostile values stored, read back and searched for.
#include "database_testutil.h"

#include "collection/statements.h"

#include <QtTest>

using namespace ondrel::db;

using testutil::column;

class DatabaseDialect : public QObject {
    Q_OBJECT
    testutil::TempCollection m_file;
    std::shared_ptr<Database> m_db;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        m_db = m_file.open();
        auto objects = m_db->openRecordset(QStringLiteral("objetos"));
        using P = QList<QPair<QString, QString>>;
        testutil::addRecord(*objects, P{{"cod", "B2"}, {"Objeto", "Livro"}, {"Título", "bola de meia"}, {"Autor", "Zé"},
                                        {"Assunto", "Infantil"}, {"Descrição", "Uma AÇÃO rara"}, {"valor", "10"}});
        testutil::addRecord(*objects, P{{"cod", "A1"}, {"Objeto", "Disco (CD)"}, {"Título", "Arroz doce"},
                                        {"Autor", "Ana"}, {"Assunto", "Culinária"}, {"valor", "2,5"}});
        testutil::addRecord(*objects, P{{"cod", "C#"}, {"Objeto", "Livro"}, {"Título", "Árvore da vida"},
                                        {"Autor", "bruno"}, {"Assunto", "Botânica"}, {"Descrição", "50% off [a]"}});
        testutil::addRecord(*objects, P{{"cod", "c1"}, {"Objeto", "Ferramenta"}, {"Título", "D'Ávila e filhos"},
                                        {"Autor", "Álvaro"}, {"Assunto", "Reparos"}});
        auto loans = m_db->openRecordset(QStringLiteral("empréstimos"));
        // Same-day loans: the one stored later must come first in "order by data desc".
        testutil::addRecord(*loans, P{{"codobjeto", "A1"}, {"Nome", "Maria"}, {"objeto", "Disco (CD)"},
                                      {"Título", "Arroz doce"}, {"Data", "01/03/2003"}, {"Entregue", "Sim"}});
        testutil::addRecord(*loans, P{{"codobjeto", "A1"}, {"Nome", "João"}, {"objeto", "Disco (CD)"},
                                      {"Título", "Arroz doce"}, {"Data", "1/3/2003"}, {"Entregue", "Não"}});
        testutil::addRecord(*loans, P{{"codobjeto", "B2"}, {"Nome", "Ângela"}, {"objeto", "Livro"},
                                      {"Título", "bola de meia"}, {"Data", "15/12/2002"}, {"Entregue", "NÃO"}});
        testutil::addRecord(*loans, P{{"codobjeto", "a1"}, {"Nome", "bento"}, {"objeto", "Disco (CD)"},
                                      {"Título", "Arroz doce"}, {"Data", "20/01/2003"}, {"Entregue", "sim"}});
    }

    void statements_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected");
        const QStringList tableOrder{"B2", "A1", "C#", "c1"};
        QTest::newRow("C1") << "select * from objetos" << "cod" << tableOrder;
        QTest::newRow("C2") << "Select * from objetos" << "cod" << tableOrder;
        QTest::newRow("C9 capital table") << "select * from Objetos" << "cod" << tableOrder;
        QTest::newRow("C3 cod") << "select * from objetos order by cod" << "cod" << QStringList{"A1", "B2", "C#", "c1"};
        QTest::newRow("C3 título accents") << "select * from objetos order by título" << "Título"
                                           << QStringList{"Arroz doce", "Árvore da vida", "bola de meia", "D'Ávila e filhos"};
        QTest::newRow("C3 autor case") << "select * from objetos order by autor" << "cod"
                                       << QStringList{"c1", "A1", "C#", "B2"};
        QTest::newRow("C3 assunto") << "select * from objetos order by assunto" << "cod"
                                    << QStringList{"C#", "A1", "B2", "c1"};
        QTest::newRow("C4") << "select cod, objeto, título, autor, valor from objetos order by título" << "cod"
                            << QStringList{"A1", "C#", "B2", "c1"};
        QTest::newRow("C5 objeto") << "select * from objetos where objeto like '*livro*'" << "cod"
                                   << QStringList{"B2", "C#"};
        QTest::newRow("C5 descrição accents") << "select * from objetos where descrição like '*ção*'" << "cod"
                                              << QStringList{"B2"};
        QTest::newRow("C5 percent literal") << "select * from objetos where descrição like '*50%*'" << "cod"
                                            << QStringList{"C#"};
        QTest::newRow("C5 bracket literal") << "select * from objetos where descrição like '*[a]*'" << "cod"
                                            << QStringList{"C#"};
        QTest::newRow("C5 hash literal") << "select * from objetos where cod like '*C#*'" << "cod" << QStringList{"C#"};
        QTest::newRow("C5 question mark") << "select * from objetos where cod like '?1'" << "cod"
                                          << QStringList{"A1", "c1"};
        QTest::newRow("C5 doubled quote") << "select * from objetos where título like '*D''Ávila*'" << "cod"
                                          << QStringList{"c1"};
        QTest::newRow("C6") << "select cod, objeto, título, autor, valor from objetos where autor like '*a*'" << "cod"
                            << QStringList{"A1", "c1"};
        QTest::newRow("L1") << "select * from empréstimos" << "Nome" << QStringList{"Maria", "João", "Ângela", "bento"};
        QTest::newRow("L2 same day newest first") << "select * from empréstimos order by data desc" << "Nome"
                                                  << QStringList{"João", "Maria", "bento", "Ângela"};
        QTest::newRow("L3") << "select * from empréstimos where entregue='Não'" << "Nome"
                            << QStringList{"João", "Ângela"};
        QTest::newRow("L4 cod") << "select * from empréstimos order by cod" << "Nome"
                                << QStringList{"Maria", "João", "Ângela", "bento"};
        QTest::newRow("L4 nome") << "select * from empréstimos order by nome" << "Nome"
                                 << QStringList{"Ângela", "bento", "João", "Maria"};
        QTest::newRow("L4 título") << "select * from empréstimos order by título" << "Nome"
                                   << QStringList{"Maria", "João", "bento", "Ângela"};
        QTest::newRow("L5 missing space") << "select * from empréstimos where codobjeto = 'A1'order by data desc"
                                          << "Nome" << QStringList{"João", "Maria", "bento"};
        QTest::newRow("L7") << "select * from empréstimos where nome like '*O*'" << "Nome"
                            << QStringList{"João", "bento"};
        QTest::newRow("L8 lower não") << "select * from empréstimos where entregue='não' and objeto like '*cd*'"
                                      << "Nome" << QStringList{"João"};
        QTest::newRow("unaccented upper NAO") << "select * from empréstimos where ENTREGUE='NAO'" << "Nome"
                                             << QStringList{"João", "Ângela"};
        QTest::newRow("StrComp exact") << "select * from empréstimos where StrComp(entregue, 'Não', 0) = 0" << "Nome"
                                       << QStringList{"João"};
        QTest::newRow("StrComp as text") << "select * from empréstimos where strcomp(Entregue, 'nao', 1) = 0"
                                         << "Nome" << QStringList{"João", "Ângela"};
        QTest::newRow("DateAdd across the year's end") << "select * from empréstimos where DateAdd('d', 30, data) < "
                                                          "'31/03/2003'"
                                                       << "Nome" << QStringList{"Ângela", "bento"};
        QTest::newRow("order by Nz of DateAdd") << "select * from empréstimos order by Nz(prazo, DateAdd('d', 10, data))"
                                                << "Nome" << QStringList{"Ângela", "bento", "Maria", "João"};
        QTest::newRow("bracketed name") << "select [cod] from [objetos] where [Título] like 'arroz*'" << "cod"
                                        << QStringList{"A1"};
        QTest::newRow("currency compare") << "select * from objetos where valor > 3" << "cod" << QStringList{"B2"};
        // Long chains are flat and nesting is bounded: what the dialect
        // accepts, SQLite's parser takes.
        const QString where = QStringLiteral("select * from objetos where ");
        QTest::newRow("500 or terms") << where + QStringLiteral("cod='zz' or ").repeated(499) + "cod='A1'" << "cod"
                                      << QStringList{"A1"};
        QTest::newRow("90 and terms") << where + QStringLiteral("valor > 1 and ").repeated(89) + "valor > 1" << "cod"
                                      << QStringList{"B2", "A1"};
        QTest::newRow("32 parentheses") << where + QString(32, u'(') + "cod='A1' or cod='B2'" + QString(32, u')')
                                        << "cod" << QStringList{"B2", "A1"};
        QTest::newRow("32 not") << where + QStringLiteral("not ").repeated(32) + "cod='A1'" << "cod" << QStringList{"A1"};
        QTest::newRow("number with a dot, any locale") << "select * from objetos where valor = 2.500" << "cod"
                                                       << QStringList{"A1"};
        QTest::newRow("quoted amount as typed") << "select * from objetos where valor = '2,50'" << "cod"
                                                << QStringList{"A1"};
    }
    void statements()
    {
        QFETCH(QString, statement);
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        auto rs = m_db->openRecordset(statement);
        QCOMPARE(column(*rs, field), expected);
        auto snapshot = m_db->openRecordset(statement, RecordsetType::Snapshot);
        QCOMPARE(column(*snapshot, field), expected);
    }

    void selectListLimitsFields()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select cod, objeto, título, autor, valor from objetos"));
        QCOMPARE(rs->fieldNames(), (QStringList{"cod", "Objeto", "Título", "Autor", "valor"}));
        QVERIFY(!rs->hasField(QStringLiteral("Assunto")));
        QVERIFY(rs->hasField(QStringLiteral("TÍTULO")));
    }

    void criteria_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("found");
        QTest::newRow("C7") << "objetos" << "cod='c#'" << "cod" << "C#";
        QTest::newRow("C7 space") << "objetos" << "cod= 'a1'" << "cod" << "A1";
        QTest::newRow("C8") << "objetos" << "Título like'árvore*'" << "cod" << "C#";
        QTest::newRow("C8 apostrophe") << "objetos" << "Título like'D''Ávila*'" << "cod" << "c1";
        QTest::newRow("L6") << "empréstimos" << "codobjeto='B2'" << "Nome" << "Ângela";
        QTest::newRow("C8 no match") << "objetos" << "Título like'xyz*'" << "cod" << "";
    }
    void criteria()
    {
        QFETCH(QString, source);
        QFETCH(QString, criteria);
        QFETCH(QString, field);
        QFETCH(QString, found);
        auto rs = m_db->openRecordset(source);
        rs->moveLast();
        const QString before = rs->text(field);
        rs->findFirst(criteria);
        QCOMPARE(rs->noMatch(), found.isEmpty());
        QCOMPARE(rs->text(field), found.isEmpty() ? before : found);
    }

    // Quotes, backslashes, wildcards, statement and parameter look-alikes,
    // control characters and long texts are stored and read back as typed,
    // found by the windows' searches, and touch no other record.
    void hostileValuesAreKeptAndFound_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes") << "D'A\"" << "D'Ávila ''dupla'' \"aspas\" `crase`";
        QTest::newRow("backslash") << "C:\\p" << "C:\\pasta\\novo \\' \\\\ fim\\";
        QTest::newRow("wildcards") << "%_*?[#" << "50%_off *?[a-z]#! [!x] ^$ .*";
        QTest::newRow("statement") << "';--" << "x'; DELETE FROM objetos; -- /* fim */";
        QTest::newRow("parameters") << "$1?" << "$1 $2::text :nome @p E'\\x41' $$ dólar $$";
        QTest::newRow("control characters") << "t\tb" << QString::fromUtf8("tab\tsino\afim\r\nlinha\x1b[0m\x7f");
        QTest::newRow("300 characters") << "longo" << QString(150, u'ç') + QString(150, u'\'');
    }
    void hostileValuesAreKeptAndFound()
    {
        QFETCH(QString, code);
        QFETCH(QString, value);
        using P = QList<QPair<QString, QString>>;
        testutil::TempCollection file;
        const auto db = file.open();
        const QString title = value.left(100);
        const QString name = value.left(70);
        auto objects = db->openRecordset(QStringLiteral("objetos"));
        testutil::addRecord(*objects, P{{"cod", "N1"}, {"Título", "vizinho"}, {"Descrição", "vizinho"}});
        if (value.size() > 255) {  // longer than the longest field: refused whole
            QCOMPARE(testutil::errorNumber([&] { testutil::addRecord(*objects, P{{"cod", code}, {"Descrição", value}}); }),
                     int(ErrFieldTooLong));
            objects->cancelUpdate();
            value.truncate(255);
        }
        testutil::addRecord(*objects, P{{"cod", code}, {"Título", title}, {"Descrição", value}});
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        testutil::addRecord(*loans, P{{"codobjeto", code}, {"Nome", name}, {"Título", title}, {"Data", "1/3/2003"}});
        for (const QString& search : {objectsWhereContains(QStringLiteral("Título"), title),
                                      listingWhereContains(QStringLiteral("Título"), title),
                                      objectsWhereContains(QStringLiteral("Descrição"), value)}) {
            auto found = db->openRecordset(search);
            found->findFirst(objectWithCode(code));
            QVERIFY2(!found->noMatch(), qPrintable(search));
            QCOMPARE(found->text(QStringLiteral("Título")), title);
        }
        objects = db->openRecordset(allObjects());
        objects->findFirst(titleCriteria(title));
        QVERIFY(!objects->noMatch());
        objects->findFirst(objectWithCode(code));
        QCOMPARE(objects->text(QStringLiteral("Descrição")), value);
        objects->findFirst(objectWithCode(QStringLiteral("N1")));
        QCOMPARE(objects->text(QStringLiteral("Título")), QStringLiteral("vizinho"));
        QCOMPARE(column(*objects, QStringLiteral("cod")).size(), 2);
        auto lent = db->openRecordset(loansWhereContains(QStringLiteral("Nome"), name));
        QCOMPARE(column(*lent, QStringLiteral("Nome")), QStringList{name});
        lent = db->openRecordset(loansOfObject(code));
        QCOMPARE(column(*lent, QStringLiteral("Título")), QStringList{title});
    }

    void refused_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("number");
        QTest::newRow("unbalanced quote") << "select * from objetos where cod = 'D'Ávila'" << int(ErrSyntax);
        QTest::newRow("unterminated") << "select * from objetos where cod = 'abc" << int(ErrSyntax);
        QTest::newRow("delete") << "delete from objetos" << int(ErrNoSuchObject);
        QTest::newRow("join") << "select * from objetos, empréstimos" << int(ErrSyntax);
        QTest::newRow("sql injection") << "select * from objetos; drop table objetos" << int(ErrSyntax);
        QTest::newRow("function") << "select * from objetos where lower(cod) = 'a1'" << int(ErrSyntax);
        QTest::newRow("unknown table") << "select * from pessoas" << int(ErrNoSuchObject);
        QTest::newRow("DateAdd by months") << "select * from empréstimos where DateAdd('m', 1, data) > '1/1/2003'"
                                           << int(ErrSyntax);
        QTest::newRow("DateAdd of a text") << "select * from empréstimos where DateAdd('d', 1, nome) > '1/1/2003'"
                                           << int(ErrDataType);
        QTest::newRow("Nz of a date or a text") << "select * from empréstimos where Nz(prazo, nome) = 'x'"
                                                << int(ErrDataType);
        QTest::newRow("StrComp of a date") << "select * from empréstimos where StrComp(data, 'x', 0) = 0"
                                           << int(ErrDataType);
        QTest::newRow("unknown field") << "select * from objetos order by preço" << int(ErrNoField);
        QTest::newRow("missing by") << "select * from objetos order cod" << int(ErrSyntax);
        QTest::newRow("bad date") << "select * from objetos where data = '31/02/2003'" << int(ErrDataType);
        QTest::newRow("trailing junk") << "select * from objetos where cod = 'a' 'b'" << int(ErrSyntax);
        const QString where = QStringLiteral("select * from objetos where ");
        QTest::newRow("501 or terms") << where + QStringLiteral("cod='zz' or ").repeated(500) + "cod='A1'" << int(ErrSyntax);
        QTest::newRow("50,000 or terms") << where + QStringLiteral("cod='zz' or ").repeated(49999) + "cod='A1'"
                                         << int(ErrSyntax);
        QTest::newRow("33 parentheses") << where + QString(33, u'(') + "cod='A1'" + QString(33, u')') << int(ErrSyntax);
        QTest::newRow("10,000 parentheses") << where + QString(10000, u'(') + "cod='A1'" + QString(10000, u')')
                                            << int(ErrSyntax);
        QTest::newRow("50,000 not") << where + QStringLiteral("not ").repeated(50000) + "cod='A1'" << int(ErrSyntax);
    }
    void refused()
    {
        QFETCH(QString, statement);
        QFETCH(int, number);
        try {
            m_db->openRecordset(statement);
            QFAIL("statement accepted");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), number);
            QVERIFY(!e.description().isEmpty());
        }
        // Nothing was executed: the table is intact.
        QCOMPARE(m_db->openRecordset(QStringLiteral("objetos"))->keyCount(), 4);
    }

    void refusedCriteria()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        try {
            rs->findFirst(QStringLiteral("cod='D'Ávila'"));
            QFAIL("criteria accepted");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), int(ErrSyntax));
        }
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("B2"));
    }
};

QTEST_GUILESS_MAIN(DatabaseDialect)
#include "dialect_test.moc"
