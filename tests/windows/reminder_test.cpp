// Late loans seen from the catalogue: how late the shown object's loan is,
// beside its borrower, and the day's reminder of the late loans, whose
// action opens the loans window on "Atrasados".
#include "loans_testutil.h"

#include "binding/datacontrol.h"

#include <QLabel>
#include <QTemporaryDir>

using namespace loanstest;

namespace {

const QDate kToday(2024, 3, 13);

// A1 due on 12/03 (1 day late), E5 lent on 31/01 without a due date (due
// 01/03 by the 30 days: 12 days late, over the month's end of a leap year),
// B2 returned, D'A due today. Ana borrowed all three open ones.
QList<Loan> loans()
{
    return {{"A1", "Ana", "Não", "01/03/2024", "", "12/03/2024"},
            {"B2", "Bia", "Sim", "01/01/2024", ""},
            {"E5", "Ana", "Não", "31/01/2024", ""},
            {"D'A", "Ana", "Não", "01/03/2024", "", "13/03/2024"}};
}

}  // namespace

class ReminderTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // The reminder's day is kept in a state folder of the test's own.
        m_state = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", m_state->path().toUtf8());
        m_folder = std::make_unique<Folder>(standardObjects(), loans());
        m_folder->services.day = kToday;
    }
    void cleanup() { m_folder.reset(); }

    void lateBesideTheBorrower();
    void oneReminderADay();
    void reminderActionShowsTheLateLoans();
    void statusLabelWithoutNotifications();

private:
    std::unique_ptr<QTemporaryDir> m_state;
    std::unique_ptr<Folder> m_folder;
};

void ReminderTest::lateBesideTheBorrower()
{
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    // Object by object, in table order; D'A and E5 have the same borrower and
    // state, so only the loan's own dates tell them apart.
    QStringList shown;
    for (int i = 0; i < 4; ++i) {
        shown << objects->Txtcod->text() + u':' + objects->lblBorrow->text() + u':' + objects->lblAtraso->text();
        objects->sscommand1[3]->click();
    }
    QCOMPARE(shown, (QStringList{"A1:Ana:atrasado há 1 dia", "B2::", "D'A:Ana:", "E5:Ana:atrasado há 12 dias"}));
}

void ReminderTest::oneReminderADay()
{
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    auto& notifications = m_folder->services.notifications;
    objects->remindLateLoans();
    QCOMPARE(notifications.size(), 1);
    QCOMPARE(notifications[0].summary, QStringLiteral("Ulmix: 2 empréstimos atrasados"));
    QCOMPARE(notifications[0].action, QStringLiteral("Ver atrasados"));
    objects->remindLateLoans();
    QCOMPARE(notifications.size(), 1);
    // Another run of the plug-in on the same day: still none.
    delete Frmobjetos::existing();
    testutil::shown<Frmobjetos>()->remindLateLoans();
    QCOMPARE(notifications.size(), 1);
    m_folder->services.day = kToday.addDays(1);  // D'A is late too
    Frmobjetos::existing()->remindLateLoans();
    QCOMPARE(notifications.size(), 2);
    QCOMPARE(notifications[1].summary, QStringLiteral("Ulmix: 3 empréstimos atrasados"));
}

void ReminderTest::reminderActionShowsTheLateLoans()
{
    testutil::shown<Frmobjetos>()->remindLateLoans();
    QCOMPARE(m_folder->services.notifications.size(), 1);
    m_folder->services.notifications[0].activated();
    Frmemprestimos* loans = Frmemprestimos::existing();
    QVERIFY(loans && loans->isVisible());
    QCOMPARE(listed(loans).size(), 2);
    QCOMPARE(loans->Txtcod->text(), QStringLiteral("E5"));  // the most late first
    QVERIFY(!enabled(loans->mnuordenar));
}

void ReminderTest::statusLabelWithoutNotifications()
{
    m_folder->services.notificationService = false;
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    objects->remindLateLoans();
    QCOMPARE(objects->lblpanel->text(), QStringLiteral("2 empréstimos atrasados (Empréstimos: Mostrar, Atrasados)"));
}

QTEST_MAIN(ReminderTest)
#include "reminder_test.moc"
