// Lending from the catalogue: the loans of the object shown, its lent or
// available display with the borrower, whether it may be lent, the command
// that starts a loan in the loans window, and the following of a saved loan.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "collection/collection.h"
#include "collection/duedates.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "core/files.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>

namespace ondrel::catalogue {

using platform::fromBgr;
using platform::services;
using platform::skipFailing;
using platform::use;

namespace {

void setTextColour(QLabel* label, int bgr)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, fromBgr(bgr));
    label->setPalette(palette);
}

// The day of the last reminder of the late loans, kept for the person (not
// for the collection): one reminder a day, whichever collection she opens.
QString reminderFile()
{
    return db::userStateFolder() + QStringLiteral("/lembrete-atrasados");
}

QDate lastReminder()
{
    QFile file(reminderFile());
    return file.open(QIODevice::ReadOnly) ? QDate::fromString(QString::fromLatin1(file.readLine(32)).trimmed(), Qt::ISODate)
                                          : QDate();
}

// False when the day could not be noted (the reminder then goes on, and
// may come again at the next start).
bool noteReminder(const QDate& day)
{
    if (!QDir().mkpath(db::userStateFolder()))
        return false;
    try {
        files::writeWhole(reminderFile(), [&](QIODevice& out) { out.write(day.toString(Qt::ISODate).toLatin1() + '\n'); });
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

void Frmobjetos::Txtcod_Change()
{
    const QString name = db::pesquisaName();
    // The loans of the code on screen, newest first. The code is pasted with
    // its quotes doubled, so any code reads its own loans.
    const QString loans = db::loansOfObject(Txtcod->text());
    // Written in one transaction without waiting for another program (a
    // locked or read-only file keeps it in memory for the run). Should it
    // fail all the same, the loans are read through the statement itself, so
    // the display still follows the object shown.
    const bool written = !skipFailing({[&] {
        use(BancoDados).writeQueryDef(name, loans);
        ConsultaPesquisa = std::make_unique<db::QueryDef>(db::QueryDef{BancoDados, name});
    }});
    skipFailing({[&] { Data2->setRecordSource(written ? name : loans); }});
    const bool read = !skipFailing({[&] { Data2->refresh(); }});
    if (BancoDados)
        showLoansReadable(read);
}

bool Frmobjetos::showBorrower()
{
    if (Label1->text().isEmpty())
        return false;
    services().beep();
    lblBorrow->setText(Label1->text());
    lblborrow2->setText(Label1->text());
    return true;
}

bool Frmobjetos::canLend() const
{
    const db::Recordset* objects = Data1 ? Data1->recordset() : nullptr;
    if (objects && objects->editMode() != db::EditMode::None)
        return false;  // a new object is being typed, or the shown one edited
    // With no object on screen "Emprestar" says so.
    if (Txtcod->text().isEmpty())
        return true;
    if (m_loansUnreadable)
        return false;  // whether it is out on loan is not known
    return Text2->text() != db::kNotReturned;
}

void Frmobjetos::enableLending()
{
    cmdEmprestar->setEnabled(canLend());
}

void Frmobjetos::showLent(LoanSound sound)
{
    skipFailing({
        [&] {
            lblBorrow->setText(Label1->text());
            lblborrow2->setText(Label1->text());
        },
        [&] {
            setTextColour(lblBorrow, 255);
            setTextColour(lblborrow2, 255);
        },
        [&] { cmdEmprestar->setEnabled(false); },
        [&] {
            // The alarm and the beep answer the person's own moves.
            if (m_showingOthersWork)
                return;
            if (sound == LoanSound::Alarm)
                Ring();
            else
                services().beep();
        },
        [&] { imgBorrow->raise(); },
        [&] { imgBorrow2->raise(); },
    });
}

void Frmobjetos::showAvailable(bool clearPanel)
{
    skipFailing({
        [&] {
            lblBorrow->setText(QString());
            lblborrow2->setText(QString());
        },
        [&] {
            if (clearPanel)
                lblpanel->setText(QString());
        },
        [&] { enableLending(); },
        [&] { imgLight->raise(); },
        [&] { imgLight2->raise(); },
    });
}

void Frmobjetos::showLoansReadable(bool readable)
{
    if (readable == !m_loansUnreadable)
        return;
    m_loansUnreadable = !readable;
    for (QLabel* lamp : {imgLight, imgBorrow, imgLight2, imgBorrow2})
        lamp->setVisible(readable);
    const QString why = readable ? QString()
                                 : QStringLiteral("Não foi possível ler os empréstimos deste objeto na coleção: "
                                                  "não se sabe se ele está emprestado.");
    lblBorrow->setToolTip(why);
    lblborrow2->setToolTip(why);
    lblAtraso->clear();
    if (readable) {
        // The newest loan read now decides, as for a change of object.
        platform::guarded([&] { Text2_Change(); });
        return;
    }
    // The loans of the object shown could not be read: neither look would be
    // true, and lending could make a second open loan.
    const QString unreadable = QStringLiteral("Empréstimos ilegíveis");
    lblBorrow->setText(unreadable);
    lblborrow2->setText(unreadable);
    setTextColour(lblBorrow, 255);
    setTextColour(lblborrow2, 255);
    cmdEmprestar->setEnabled(false);
}

void Frmobjetos::Label1_Change()
{
    // Another borrower: the beep. A never lent object ("") changes nothing here.
    // With no object on screen there is no loan to show, whatever the loans
    // source holds (all loans, before an object points it at its own).
    const QString state = Text2->text();
    const bool noObject = Txtcod->text().isEmpty();
    if (state == db::kNotReturned && !noObject)
        showLent(LoanSound::Beep);
    else if (state == db::kReturned || noObject)
        showAvailable(false);
}

void Frmobjetos::Text2_Change()
{
    // The object went out or came back: the alarm when it went out. With no
    // object on screen there is no loan to show.
    const QString state = Text2->text();
    const bool noObject = Txtcod->text().isEmpty();
    if (state == db::kNotReturned && !noObject)
        showLent(LoanSound::Alarm);
    else if (state == db::kReturned || state.isEmpty() || noObject)
        showAvailable(true);
}

void Frmobjetos::showLateness()
{
    const db::Recordset* loans = Data2->recordset();
    std::optional<qint64> days;
    if (BancoDados && loans && loans->hasCurrent() && !Txtcod->text().isEmpty() && !m_loansUnreadable) {
        const db::DueRule rule = db::dueRuleOf(*BancoDados, services().today());
        const QVariant prazo = rule.prazoKept ? loans->value(QStringLiteral("prazo")) : QVariant();
        days = rule.daysLate(Text2->text(), loans->value(QStringLiteral("Data")), prazo);
    }
    lblAtraso->setText(days ? db::lateText(*days) : QString());
    setTextColour(lblAtraso, 255);
}

void Frmobjetos::remindLateLoans()
{
    if (!BancoDados)
        return;
    const QDate today = services().today();
    if (lastReminder() == today)
        return;
    const qint64 late = db::countLateLoans(*BancoDados, db::dueRuleOf(*BancoDados, today));
    if (late == 0)
        return;
    noteReminder(today);
    const QString count = late == 1 ? QStringLiteral("1 empréstimo atrasado")
                                    : QStringLiteral("%1 empréstimos atrasados").arg(late);
    platform::Notification notification;
    notification.summary = QStringLiteral("Ulmix: ") + count;
    notification.body = late == 1 ? QStringLiteral("Um objeto emprestado já devia ter voltado.")
                                  : QStringLiteral("%1 objetos emprestados já deviam ter voltado.").arg(late);
    notification.action = QStringLiteral("Ver atrasados");
    notification.activated = [] { forms::loansWindow(forms::Reach::Create)->showLateLoans(); };
    if (!services().notify(notification))
        lblpanel->setText(count + QStringLiteral(" (Empréstimos: Mostrar, Atrasados)"));
}

void Frmobjetos::Ring()
{
    // Played in the background; a missing file plays the desktop's sound.
    services().playSound(db::readOnlyFilesFolder() + QStringLiteral("/alarme.wav"));
}

void Frmobjetos::cmdEmprestar_Click()
{
    if (Txtcod->text().isEmpty()) {
        services().msgBox(QStringLiteral("Não há nenhum objeto cadastrado ou") + QStringLiteral("\r\n")
                              + QStringLiteral("O código deste registro foi apagado!"),
                          platform::OkOnly, platform::Exclamation);
        return;
    }
    services().setPointer(platform::Pointer::Hourglass);
    // The pointer comes back even when the loans window cannot start a loan.
    const auto pointerBack = qScopeGuard([] { services().setPointer(platform::Pointer::Default); });

    // Created and loaded on first reference, on the last loan of our code.
    forms::LoansLink* emprestimos = forms::loansWindow(forms::Reach::Create);
    // A loan typed there that cannot be stored keeps the loans window where
    // it is (it says why); the lending data must not land on that loan.
    emprestimos->startLoanOf({Txtcod->text(), Cmbobjeto->currentText(), txttítulo->text(), Txtautor->text()});
}

QString Frmobjetos::shownCode() const
{
    return Txtcod->text();
}

void Frmobjetos::followSavedLoan(const QString& code)
{
    // A catalogue window that was never loaded is left alone.
    if (!isLoaded())
        return;
    // An object typed here that cannot be stored keeps the catalogue as it is
    // (it has said why).
    if (!Data1->saveTypedValues())
        return;
    // The window may be closed by what its sources raise: each step asks
    // whether it is still there.
    const QPointer<Frmobjetos> self(this);
    skipFailing({
        [&] { Data2->setRecordSource(db::loansNewestFirst()); },
        [&] { Data2->refresh(); },
        [&] { use(self.data()).Data1->refresh(); },
        [&] { use(use(self.data()).Data1->recordset()).findFirst(db::objectOfSavedLoan(code)); },
        [&] {
            // The loan source ends on the loans of the object shown. When the
            // shown code did not change, nothing rewrote them yet.
            if (use(self.data()).Data2->recordSource() != db::pesquisaName())
                Txtcod_Change();
        },
    });
}

}  // namespace ondrel::catalogue
