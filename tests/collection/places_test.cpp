// Where the collection and the read-only files live in a build run from its
// tree and in an installed one, and the empty collection an installed build
// gives a person who has none.

#include "collection/places.h"
#include "collection_testutil.h"
#include "database_testutil.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace ondrel::db;

Q_DECLARE_METATYPE(ondrel::db::Build)

class PlacesTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QString data() const { return m_home.filePath(QStringLiteral("dados")); }

private slots:
    void init()
    {
        qputenv("XDG_DATA_HOME", data().toUtf8());
        setPluginFolder(QString());
    }
    void cleanup() { setPluginFolder(QString()); }

    void pluginFolderDefaultsToTheExecutablesFolder()
    {
        QCOMPARE(pluginFolder(), QCoreApplication::applicationDirPath());
        setPluginFolder(QStringLiteral("/tmp/ulmix/"));
        QCOMPARE(pluginFolder(), QStringLiteral("/tmp/ulmix"));  // no trailing separator
        setPluginFolder(QString());
        QCOMPARE(pluginFolder(), QCoreApplication::applicationDirPath());
    }

    void filesLiveWhereTheBuildKeepsThem_data()
    {
        QTest::addColumn<Build>("build");
        QTest::addColumn<QString>("named");  // --plugin-folder
        QTest::addColumn<QString>("collection");
        QTest::addColumn<QString>("readOnly");
        const QString exe = QCoreApplication::applicationDirPath();
        const QString share = QStringLiteral(ONDREL_SHARE_FOLDER);
        QTest::newRow("tree") << Build::Tree << QString() << exe + "/livrano.mdb" << exe;
        QTest::newRow("tree, folder named") << Build::Tree << "/outra/" << "/outra/livrano.mdb" << "/outra";
        QTest::newRow("installed") << Build::Installed << QString() << data() + "/ondrel/livrano.mdb" << share;
        QTest::newRow("installed, folder named") << Build::Installed << "/outra" << "/outra/livrano.mdb" << share;
    }
    void filesLiveWhereTheBuildKeepsThem()
    {
        QFETCH(Build, build);
        QFETCH(QString, named);
        setPluginFolder(named);
        QTEST(collectionFile(build), "collection");
        QTEST(readOnlyFilesFolder(build), "readOnly");
        QCOMPARE(thisBuild(), Build::Tree);  // the tests run in the build tree
    }

    void installedBuildCreatesAnEmptyCollectionOnce()
    {
        const QString file = data() + QStringLiteral("/ondrel/livrano.mdb");
        // Only an installed build using the person's data folder creates one.
        QCOMPARE(createMissingCollection(Build::Tree), QString());
        setPluginFolder(m_home.path());
        QCOMPARE(createMissingCollection(Build::Installed), QString());
        QVERIFY(QDir(m_home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        setPluginFolder(QString());

        QCOMPARE(createMissingCollection(Build::Installed), QString());
        QCOMPARE(testutil::plainQuery(file, "SELECT count(*) FROM objetos"), QStringLiteral("0"));
        testutil::openCollection(file);  // a collection of the program's password
        // An existing one, even an unusable one, is left as it is.
        testutil::plainExec(file, "CREATE TABLE kept (x)");
        const QByteArray before = testutil::digest(file);
        QCOMPARE(createMissingCollection(Build::Installed), QString());
        QCOMPARE(testutil::digest(file), before);
    }

    void aFolderThatCannotBeMadeIsNamed()
    {
        const QString blocker = m_home.filePath(QStringLiteral("arquivo"));  // a file where the data folder goes
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("XDG_DATA_HOME", blocker.toUtf8());
        const QString why = createMissingCollection(Build::Installed);
        QVERIFY2(why.startsWith(QStringLiteral("Não foi possível criar a pasta \"%1/ondrel\"").arg(blocker)),
                 qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(PlacesTest)
#include "places_test.moc"
