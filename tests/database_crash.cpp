// A writer killed with SIGKILL at any moment leaves a consistent file that
// holds every change it acknowledged.
#include "database_testutil.h"

#include <QProcess>
#include <QtTest>

using namespace ondrel::db;

class DatabaseCrash : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLosesNothingAcknowledged_data()
    {
        QTest::addColumn<int>("acks");
        QTest::newRow("early") << 1;
        QTest::newRow("after some") << 40;
        QTest::newRow("after many") << 150;
    }
    void killedWriterLosesNothingAcknowledged()
    {
        QFETCH(int, acks);
        testutil::TempCollection file;
        QList<int> acknowledged;
        for (int round = 0; round < 2; ++round) {
            QProcess child;
            child.start(QStringLiteral(CRASH_CHILD), {file.path, QString::number(round * 100000)});
            QVERIFY(child.waitForStarted());
            QByteArray pending;
            int seen = 0;
            QElapsedTimer timer;
            timer.start();
            while (seen < acks && timer.elapsed() < 60000) {
                child.waitForReadyRead(1000);
                pending += child.readAllStandardOutput();
                qsizetype nl;
                while ((nl = pending.indexOf('\n')) >= 0) {
                    const QByteArray line = pending.left(nl);
                    pending.remove(0, nl + 1);
                    if (line.startsWith("ok ")) {
                        acknowledged.append(line.mid(3).toInt());
                        ++seen;
                    }
                }
                QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            }
            child.kill();  // SIGKILL
            child.waitForFinished();
            // Acknowledgements that raced with the kill are counted too.
            pending += child.readAllStandardOutput();
            for (const QByteArray& line : pending.split('\n'))
                if (line.startsWith("ok "))
                    acknowledged.append(line.mid(3).toInt());
            QVERIFY(seen >= acks);
        }
        QCOMPARE(testutil::plainQuery(file.path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        auto db = file.open();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        for (int code : acknowledged) {
            rs->findFirst(QStringLiteral("cod='%1'").arg(code));
            QVERIFY2(!rs->noMatch(), qPrintable(QStringLiteral("object %1 lost").arg(code)));
        }
        if (db->hasQueryDef(QStringLiteral("pesquisa")))
            QVERIFY(db->queryDefSql(QStringLiteral("pesquisa")).startsWith(QStringLiteral("select * from empréstimos")));
    }
};

QTEST_GUILESS_MAIN(DatabaseCrash)
#include "database_crash.moc"
