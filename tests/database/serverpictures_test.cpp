// Pictures of a collection on a server: chosen at one desk from a file only
// that desk has, shown at another from its own cache, stored once per
// content; a collection file shared with the pictures it can reach.
#include "database_testutil.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;

namespace {

QByteArray contentOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void writeFile(const QString& file, const QByteArray& bytes)
{
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// The picture's path stored as the catalogue stores a chosen one: the
// object's record edited and saved at once.
void choosePicture(Database& db, const QString& code, const QString& path)
{
    auto rs = db.openRecordset(QStringLiteral("objetos"));
    for (rs->moveFirst(); rs->text(QStringLiteral("cod")) != code; rs->moveNext()) {
    }
    rs->edit();
    rs->setText(QStringLiteral("path"), path);
    rs->update();
}

// What the desk whose cache folder is `cache` shows for the object, read
// where the catalogue reads it from.
QByteArray shownAt(const QString& cache, const Database& db, const QString& code, const QString& path)
{
    qputenv("XDG_CACHE_HOME", cache.toUtf8());
    return contentOf(db.pictureSource(code, path)());
}

}  // namespace

class ServerPictures : public QObject {
    Q_OBJECT
    testutil::PgServer* m_server = nullptr;

    int storedContents(const QString& address) const
    {
        QStringList rows;
        if (!m_server->run(address, "SELECT count(*) FROM ondrel_pictures", &rows).isEmpty())
            return -1;
        return rows.value(0).toInt();
    }

private slots:
    void initTestCase()
    {
        qputenv("ONDREL_TEST_STORE", "postgresql");
        m_server = &testutil::PgServer::instance();
        QVERIFY2(m_server->failure().isEmpty(), qPrintable(m_server->failure()));
    }

    void pictureShownAtEveryDesk_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("stored");
        // Past a few slices of the fetch, of no round size.
        QTest::newRow("chosen at one desk, shown at another") << "large" << 1;
        QTest::newRow("the same content chosen twice") << "twice" << 1;
        QTest::newRow("chosen, then removed") << "removed" << 1;
        QTest::newRow("collection shared before pictures were kept") << "older" << 1;
        QTest::newRow("shared with one picture out of reach") << "shared" << 1;
    }
    void pictureShownAtEveryDesk()
    {
        QFETCH(QString, situation);
        QFETCH(int, stored);
        QTemporaryDir deskA, deskB;
        const QString first = deskA.filePath(QStringLiteral("capa.jpg"));
        const QString second = deskA.filePath(QStringLiteral("outra capa.jpg"));
        const QByteArray content = randomBytes(situation == u"large" ? (20 << 20) + 12 : 4096);
        writeFile(first, content);
        writeFile(second, content);
        QString address;
        if (situation == u"shared") {
            const QString file = testutil::collectionFile(deskA.path());
            testutil::createCollection(file);
            auto here = testutil::openCollection(file);
            auto objects = here->openRecordset(QStringLiteral("objetos"));
            testutil::addRecord(*objects, P{{"cod", "A1"}, {"path", first}});
            testutil::addRecord(*objects, P{{"cod", "A2"}, {"path", deskA.filePath(QStringLiteral("sumiu.jpg"))}});
            testutil::addRecord(*objects, P{{"cod", "A3"}});
            objects.reset();
            here.reset();
            address = m_server->createDatabase();
            const QVector<PictureOutOfReach> out = Database::copyToServer(file, testutil::connectString(), address);
            QCOMPARE(out.size(), 1);
            QCOMPARE(out[0].code, QStringLiteral("A2"));
            QCOMPARE(out[0].path, deskA.filePath(QStringLiteral("sumiu.jpg")));
        } else {
            address = m_server->createDatabase();
            testutil::createCollection(address);
            if (situation == u"older")
                QCOMPARE(m_server->run(address, "DROP TABLE ondrel_object_pictures, ondrel_pictures"), QString());
            auto atA = testutil::openCollection(address);
            auto objects = atA->openRecordset(QStringLiteral("objetos"));
            testutil::addRecord(*objects, P{{"cod", "A1"}});
            testutil::addRecord(*objects, P{{"cod", "A2"}});
            choosePicture(*atA, QStringLiteral("A1"), first);
            if (situation == u"twice")
                choosePicture(*atA, QStringLiteral("A2"), second);
            if (situation == u"removed")
                choosePicture(*atA, QStringLiteral("A1"), QString());
        }
        QVERIFY(QFile::remove(first));
        QVERIFY(QFile::remove(second));
        QCOMPARE(storedContents(address), stored);

        auto atB = testutil::openCollection(address);
        const QString path = situation == u"removed" ? QString() : first;
        const QByteArray expected = situation == u"removed" ? QByteArray() : content;
        QCOMPARE(shownAt(deskB.path(), *atB, QStringLiteral("a1"), path), expected);
        if (situation == u"twice")
            QCOMPARE(shownAt(deskB.path(), *atB, QStringLiteral("A2"), second), content);
        if (situation == u"large") {
            // A copy that no longer matches its hash is fetched again.
            const QString copy = atB->pictureSource(QStringLiteral("A1"), first)();
            QVERIFY(copy.startsWith(deskB.path()));
            writeFile(copy, randomBytes(content.size()));
            QCOMPARE(shownAt(deskB.path(), *atB, QStringLiteral("A1"), first), content);
        }
    }
};

QTEST_GUILESS_MAIN(ServerPictures)
#include "serverpictures_test.moc"
