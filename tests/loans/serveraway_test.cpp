// The loans window on a shared collection whose server stops and comes
// back: a new order is told, leaves the order and its mark as they were, and
// works once the server is back.
#include "loans_testutil.h"

#include <QtTest>

using loanstest::Folder;
using ondrel::loans::Frmemprestimos;

class LoansServerAwayTest : public QObject {
    Q_OBJECT
private slots:
    void orderWhileAwayStays()
    {
        Folder folder;
        QVERIFY(!folder.useServer().isEmpty());
        folder.create({{"A1", "Livro", "Alfa", ""}, {"B2", "Livro", "Beta", ""}},
                      {{"B2", "Bruno", "Não", "01/12/2026", ""}, {"A1", "Ana", "Sim", "02/12/2026", "03/12/2026"}});
        Frmemprestimos* loans = loanstest::openLoans();
        QVERIFY(loans);
        const QStringList before = testutil::checkedItems(loans->mnuordenar);
        const QStringList listedBefore = loanstest::listed(loans);
        {
            testutil::Outage outage(testutil::PgServer::instance());
            loans->mnuordnome->trigger();
            QCOMPARE(folder.services.messageTexts().size(), 1);
            QVERIFY2(folder.services.messageTexts().first().contains(u"Não foi possível alcançar o servidor"),
                     qPrintable(folder.services.messageTexts().first()));
            QCOMPARE(testutil::checkedItems(loans->mnuordenar), before);
            QVERIFY(outage.back());
        }
        QCOMPARE(loanstest::listed(loans), listedBefore);
        loans->mnuordnome->trigger();
        QCOMPARE(folder.services.messageTexts().size(), 1);
        QCOMPARE(testutil::checkedItems(loans->mnuordenar), QStringList{"mnuordnome"});
        QCOMPARE(loanstest::listed(loans), (QStringList{"Ana", "Bruno"}));
    }
};

QTEST_MAIN(LoansServerAwayTest)
#include "serveraway_test.moc"
