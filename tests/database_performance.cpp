// Rough timings of the interactive steps on a full-size generated file
// (32,767 objects, 100,000 loans). Bounds are loose: the machine is shared;
// the benchmark reports the real figures.
#include "database/database.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace ondrel::db;

namespace {

template <typename F>
double medianMs(int runs, F&& work)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.append(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

class DatabasePerformance : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::shared_ptr<Database> m_db;

private slots:
    void initTestCase()
    {
        m_path = m_dir.filePath(QStringLiteral("livrano.mdb"));
        QElapsedTimer t;
        t.start();
        Database::generateBenchData(m_path, 32767, 100000);
        qInfo("generate: %lld ms", t.elapsed());
        m_db = Database::open(m_path, QString::fromLatin1(kConnectString));
    }

    void openAndMoveLast()
    {
        const double ms = medianMs(7, [&] {
            auto rs = m_db->openRecordset(QStringLiteral("objetos"));
            rs->moveLast();
            QCOMPARE(rs->recordCount(), 32767);
        });
        qInfo("open dynaset on objetos + move last: %.2f ms", ms);
        QVERIFY(ms < 300);
    }

    void moveAndReadSixFields()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        const QStringList fields{"cod", "Objeto", "Título", "Autor", "Assunto", "valor"};
        int step = 0;
        const double ms = medianMs(101, [&] {
            rs->setAbsolutePosition((step++ * 7919) % 32767);
            for (const QString& f : fields)
                rs->text(f);
        });
        qInfo("move + six fields: %.3f ms", ms);
        QVERIFY(ms < 20);
    }

    void sumValorThroughSnapshot()
    {
        qint64 total = 0;
        const double ms = medianMs(5, [&] {
            total = 0;
            auto rs = m_db->openRecordset(QStringLiteral("Select * from objetos"), RecordsetType::Snapshot);
            for (; !rs->eof(); rs->moveNext())
                total += rs->value(QStringLiteral("valor")).toLongLong();
        });
        qInfo("sum of valor through a snapshot: %.2f ms", ms);
        QVERIFY(total > 0);
        QVERIFY(ms < 300);
    }

    void rewritePesquisaAndOpen()
    {
        int i = 0;
        const double ms = medianMs(21, [&] {
            const QString code = QStringLiteral("B%1").arg((i++ * 811) % 32767, 5, 36, QChar(u'0')).toUpper();
            m_db->deleteQueryDef(QStringLiteral("pesquisa"));
            m_db->createQueryDef(QStringLiteral("pesquisa"));
            m_db->setQueryDefSql(QStringLiteral("pesquisa"),
                                 QStringLiteral("select * from empréstimos where codobjeto = '") + code
                                     + QStringLiteral("'order by data desc"));
            auto rs = m_db->openRecordset(QStringLiteral("pesquisa"));
            if (!rs->eof())
                rs->value(QStringLiteral("Nome"));
        });
        qInfo("rewrite pesquisa + open + first record: %.2f ms", ms);
        QVERIFY(ms < 50);
    }

    void findFirstByCode()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        int i = 0;
        const double ms = medianMs(51, [&] {
            rs->findFirst(QStringLiteral("cod='b%1'").arg((i++ * 977) % 32767, 5, 36, QChar(u'0')));
            QVERIFY(!rs->noMatch());
        });
        qInfo("find first by code: %.3f ms", ms);
        QVERIFY(ms < 50);
    }
};

QTEST_GUILESS_MAIN(DatabasePerformance)
#include "database_performance.moc"
