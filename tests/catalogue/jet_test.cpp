// The catalogue started on a plug-in folder whose collection is in the Jet
// format: it offers to convert it; "Sim" converts it and shows it, "Não"
// leaves the file as it was and the window empty.
#include "catalogue_browse_testutil.h"
#include "database_testutil.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace cattest;

class CatalogueJetTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Folder> m_folder;
    QByteArray m_jet;

private slots:
    void init()
    {
        m_folder = std::make_unique<Folder>();
        const QString jet = QStringLiteral(ONDREL_SOURCE_DIR "/tests/import/jet/legacy-v2000-pw.mdb");
        QVERIFY(QFile::copy(jet, m_folder->path()));
        QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner);
        m_jet = testutil::digest(m_folder->path());
    }
    void cleanup() { m_folder.reset(); }

    void yesConvertsAndShowsTheCollection()
    {
        m_folder->services.msgBoxAnswers.enqueue(ondrel::platform::ResultYes);
        Frmobjetos* f = m_folder->openCatalogue();
        const QStringList told = m_folder->services.messageTexts();
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].contains(QStringLiteral("está no formato Jet")), qPrintable(told[0]));
        QCOMPARE(m_folder->services.messageBoxes.first().buttons, int(ondrel::platform::YesNo));
        QVERIFY2(told[1].contains(QStringLiteral("Vieram 8 objetos e 6 empréstimos.")), qPrintable(told[1]));
        const QStringList kept = QDir(m_folder->dir.path()).entryList({QStringLiteral("livrano-jet-*.mdb")});
        QCOMPARE(kept.size(), 1);
        QVERIFY(told[1].contains(kept.first()));
        QCOMPARE(testutil::digest(m_folder->dir.filePath(kept.first())), m_jet);

        QCOMPARE(f->Txtcod->text(), QStringLiteral("L001"));
        QCOMPARE(f->TotalRegistros, 8);
        QCOMPARE(f->lblCount->text(), QStringLiteral(" Registro : 1  de  8"));
        QCOMPARE(f->lbltotal->text(), QStringLiteral("R$  101.372,17"));
        // L001's newest loan (31/12/2005) is out, with Ângela Müller.
        QCOMPARE(f->Label1->text(), QStringLiteral("Ângela Müller"));
        QCOMPARE(f->lblBorrow->text(), QStringLiteral("Ângela Müller"));
    }

    void noLeavesTheFileAsItWas()
    {
        m_folder->services.msgBoxAnswers.enqueue(ondrel::platform::ResultNo);
        Frmobjetos* f = m_folder->openCatalogue();
        QCOMPARE(m_folder->services.messageTexts().size(), 1);
        QCOMPARE(testutil::digest(m_folder->path()), m_jet);
        QCOMPARE(QDir(m_folder->dir.path()).entryList({QStringLiteral("livrano*")}), QStringList{"livrano.mdb"});
        QCOMPARE(f->Txtcod->text(), QString());
    }
};

QTEST_MAIN(CatalogueJetTest)
#include "jet_test.moc"
