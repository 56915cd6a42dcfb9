#pragma once

// When a loan should come back, and which loans are late: the one rule that
// the catalogue's label, the loans window's view "Atrasados", the reminder
// and the calendar follow.
//
// A loan is due on its "prazo", or, without one, on its date ("Data") plus
// the collection's loan period; a loan with neither is never due. A loan is
// late when its "Entregue" is exactly "Não" (as the catalogue compares it)
// and the day it was due has passed.
#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

namespace ondrel::db {

class Database;

// The loans' field of the due date, which collections older than it lack.
inline const QString kDueDateField = QStringLiteral("prazo");

// The period a new loan gets, in days, when the collection keeps none.
inline constexpr int kDefaultLoanPeriod = 30;
inline constexpr int kLongestLoanPeriod = 3650;

// The collection's loan period: kept in the collection, so every desk of a
// shared collection agrees. A file without one (or with a value out of
// range) gives the default.
int loanPeriod(const Database& database);
// Keeps a period of 1 to kLongestLoanPeriod days (an engine error when the
// file cannot be written: locked, read-only).
void setLoanPeriod(Database& database, int days);

struct DueRule {
    int period = kDefaultLoanPeriod;
    QDate today;
    // Whether the loans have a "prazo" (a read-only file made before it
    // has none: each loan is then due its date plus the period).
    bool prazoKept = true;

    // The day a loan of that date and "prazo" is due (the values as a
    // record set reads them: a date or empty).
    std::optional<QDate> dueDate(const QVariant& date, const QVariant& prazo) const;
    // How many days the loan is late; none when it is not late.
    std::optional<qint64> daysLate(const QString& entregue, const QVariant& date, const QVariant& prazo) const;

    // The same rule for a record source: criteria of the late loans, and the
    // due day as the dialect computes it (to order by).
    QString lateCriteria() const;
    QString dueExpression() const;
};

// The rule of a collection on a day.
DueRule dueRuleOf(const Database& database, const QDate& today);

// "atrasado há 1 dia", "atrasado há 12 dias".
QString lateText(qint64 days);

// The number of loans of the collection late on the rule's day.
qint64 countLateLoans(Database& database, const DueRule& rule);

}  // namespace ondrel::db
