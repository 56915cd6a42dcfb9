// The interactive steps on a full-size generated file (32,767 objects,
// 100,000 loans) give the right records; their timings are in bench/.
#include "collection/collection.h"
#include "database/database.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ondrel::db;


class DatabaseFullsize : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::shared_ptr<Database> m_db;

private slots:
    void initTestCase()
    {
        m_path = databasePath(m_dir.path());
        generateBenchData(m_path, 32767, 100000);
        m_db = Database::open(m_path, QString::fromLatin1(kConnectString));
    }

    void openAndMoveLast()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        rs->moveLast();
        QCOMPARE(rs->recordCount(), 32767);
        QCOMPARE(rs->absolutePosition(), 32766);
    }

    void moveAndReadSixFields()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        const QStringList fields{"cod", "Objeto", "Título", "Autor", "Assunto", "valor"};
        for (int step = 0; step < 101; ++step) {
            const int position = (step * 7919) % 32767;
            rs->setAbsolutePosition(position);
            QCOMPARE(rs->absolutePosition(), position);
            for (const QString& f : fields)
                rs->text(f);
            QVERIFY(!rs->text(QStringLiteral("cod")).isEmpty());
        }
    }

    void sumValorThroughSnapshot()
    {
        qint64 total = 0;
        int rows = 0;
        auto rs = m_db->openRecordset(QStringLiteral("Select * from objetos"), RecordsetType::Snapshot);
        for (; !rs->eof(); rs->moveNext(), ++rows)
            total += rs->value(QStringLiteral("valor")).toLongLong();
        QCOMPARE(rows, 32767);
        QVERIFY(total > 0);
    }

    void rewritePesquisaAndOpen()
    {
        int lent = 0;
        for (int i = 0; i < 21; ++i) {
            const QString code = QStringLiteral("B%1").arg((i * 811) % 32767, 5, 36, QChar(u'0')).toUpper();
            const QString sql = QStringLiteral("select * from empréstimos where codobjeto = '") + code
                                + QStringLiteral("'order by data desc");
            m_db->deleteQueryDef(QStringLiteral("pesquisa"));
            m_db->createQueryDef(QStringLiteral("pesquisa"));
            m_db->setQueryDefSql(QStringLiteral("pesquisa"), sql);
            QCOMPARE(m_db->queryDefSql(QStringLiteral("pesquisa")), sql);
            auto rs = m_db->openRecordset(QStringLiteral("pesquisa"));
            for (; !rs->eof(); rs->moveNext(), ++lent)
                QCOMPARE(rs->text(QStringLiteral("codobjeto")), code);
        }
        QVERIFY(lent > 0);
    }

    void findFirstByCode()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        for (int i = 0; i < 51; ++i) {
            const QString code = QStringLiteral("b%1").arg((i * 977) % 32767, 5, 36, QChar(u'0'));
            rs->findFirst(QStringLiteral("cod='%1'").arg(code));
            QVERIFY(!rs->noMatch());
            QCOMPARE(rs->text(QStringLiteral("cod")).toLower(), code);
        }
    }
};

QTEST_GUILESS_MAIN(DatabaseFullsize)
#include "fullsize_test.moc"
