// Copies of the collection as the catalogue meets them: a damaged file
// offers the newest good copy and opens it restored; the day's copy starts
// after the window is up and runs beside it while the person works.
#include "catalogue_browse_testutil.h"
#include "database_testutil.h"

#include "collection/backup.h"
#include "plugin/clsPluginInterface.h"

#include <QDir>
#include <QLineEdit>
#include <QSemaphore>
#include <QtTest>

using namespace cattest;
using namespace ondrel::db;

namespace {

class Host : public ondrel::platform::HostWindow {
public:
    QString caption() const override { return QStringLiteral("Ulmix"); }
};

}  // namespace

class CatalogueBackupTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_data;  // the person's data folder
    std::unique_ptr<Folder> m_folder;

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
        m_folder = std::make_unique<Folder>();
        m_folder->createWithLoans();
    }
    void cleanup()
    {
        finishBackup(true);
        m_folder.reset();
    }

    // The message of a damaged file, or of another program's file in the
    // collection's place, offers the newest copy of this collection that is
    // whole (a newer damaged one is passed over, and a newer copy of another
    // collection is never offered), naming whose copy it is; Yes restores it,
    // keeping the file beside it, and the window shows every row; No changes
    // nothing.
    void unusableFileOffersTheNewestGoodCopy_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");  // by a file that no longer tells whose it was
        QTest::newRow("damaged, Sim") << int(ondrel::platform::ResultYes) << false;
        QTest::newRow("damaged, Não") << int(ondrel::platform::ResultNo) << false;
        QTest::newRow("replaced, Sim") << int(ondrel::platform::ResultYes) << true;
    }
    void unusableFileOffersTheNewestGoodCopy()
    {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        const QString path = m_folder->path();
        const QString kept = testutil::everyRow(path);
        const QDateTime taken(QDate(2024, 5, 30), QTime(9, 15, 42));
        const QString copies = backupFolderFor(path);
        backUp(path, copies, taken, kCopiesKept);
        QVERIFY(testutil::damagePages(backUp(path, copies, taken.addDays(1), kCopiesKept)));
        testutil::TempCollection other(testutil::Collection::Demo);
        backUp(other.path, backupFolderFor(other.path), taken.addDays(2), kCopiesKept);
        if (replaced) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, 'J')) == 8192);
        } else {
            QVERIFY(testutil::damagePages(path));
        }
        const QByteArray unusable = testutil::digest(path);

        m_folder->services.msgBoxAnswers.enqueue(answer);
        Frmobjetos* f = m_folder->openCatalogue();
        const QStringList told = m_folder->services.messageTexts();
        QVERIFY2(told.value(0).contains(replaced ? QStringLiteral("não é uma coleção") : QStringLiteral("danificado"))
                     && told.value(0).contains(QStringLiteral("30/05/2024 às 09:15"))
                     && told.value(0).contains(QStringLiteral("cópia de segurança desta coleção (\"%1\")")
                                                   .arg(QFileInfo(path).canonicalFilePath())),
                 qPrintable(told.join(u'\n')));
        QCOMPARE(m_folder->services.messageBoxes.first().buttons, int(ondrel::platform::YesNo));
        const QStringList aside = QDir(m_folder->dir.path()).entryList({QStringLiteral("livrano-anterior-*.mdb")});
        if (answer == ondrel::platform::ResultYes) {
            QCOMPARE(told.size(), 2);  // and which file was kept where
            QCOMPARE(aside.size(), 1);
            QVERIFY(told.last().contains(aside.first()));
            QCOMPARE(testutil::digest(m_folder->dir.filePath(aside.first())), unusable);
            QCOMPARE(testutil::everyRow(path), kept);
            QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
            QCOMPARE(f->TotalRegistros, 4);
        } else {
            QCOMPARE(told.size(), 1);
            QVERIFY(aside.isEmpty());
            QCOMPARE(testutil::digest(path), unusable);
            QCOMPARE(f->Txtcod->text(), QString());
        }
    }

    // The catalogue answers, and saves, while a copy is under way: the copy
    // waits at its first step until the window has done so.
    void windowAnswersWhileTheCopyRuns()
    {
        Frmobjetos* f = m_folder->openCatalogue();
        QSemaphore gate;
        int steps = 0;
        BackupPace pace;
        pace.pagesPerStep = 1;
        pace.afterStep = [&] {
            if (steps++ == 0)
                gate.tryAcquire(1, 20000);  // a copy on this thread gives up here and fails the test
        };
        QVERIFY(startDailyBackup(m_folder->path(), QDateTime::currentDateTime(), pace));
        f->sscommand1_Click(3);
        QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
        f->Cmdeditar_Click();
        f->txttítulo->setText(QStringLiteral("Salvo durante a cópia"));
        f->Cmdsalvar_Click();
        QVERIFY(backupRunning());
        gate.release();
        QString error;
        const QString made = finishBackup(false, &error);
        QVERIFY2(!made.isEmpty(), qPrintable(error));
        QVERIFY(m_folder->services.messageTexts().isEmpty());
        QVERIFY(m_folder->stored(QStringLiteral("Título")).contains(QStringLiteral("Salvo durante a cópia")));
    }

    // Run shows the catalogue without the copy; the copy follows.
    void runStartsTheDayCopyAfterTheWindowIsUp()
    {
        ondrel::plugin::clsPluginInterface plugin;
        QCOMPARE(plugin.Run(std::make_shared<Host>()), QString());
        QVERIFY(Frmobjetos::existing()->isVisible());
        QVERIFY(!backupRunning());
        const QString copies = backupFolderFor(m_folder->path());
        QVERIFY(backupCopies(copies).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!backupCopies(copies).isEmpty(), 20000);
        QVERIFY(!finishBackup(false).isEmpty());
    }
};

QTEST_MAIN(CatalogueBackupTest)
#include "backup_test.moc"
