#include "duedates.h"

#include "collection.h"
#include "statements.h"

#include "database/database.h"
#include "database/recordset.h"
#include "database/schema.h"

namespace ondrel::db {

namespace {

const QString kPeriodKey = QStringLiteral("prazo_padrao");

std::optional<QDate> dateOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate && value.toDate().isValid())
        return value.toDate();
    return std::nullopt;
}

}  // namespace

int loanPeriod(const Database& database)
{
    bool ok = false;
    const int days = database.collectionValue(kPeriodKey).toInt(&ok);
    return ok && days >= 1 && days <= kLongestLoanPeriod ? days : kDefaultLoanPeriod;
}

void setLoanPeriod(Database& database, int days)
{
    database.setCollectionValue(kPeriodKey, QString::number(qBound(1, days, kLongestLoanPeriod)));
}

std::optional<QDate> DueRule::dueDate(const QVariant& date, const QVariant& prazo) const
{
    if (const auto due = dateOf(prazo))
        return due;
    if (const auto lent = dateOf(date))
        return lent->addDays(period);
    return std::nullopt;
}

std::optional<qint64> DueRule::daysLate(const QString& entregue, const QVariant& date, const QVariant& prazo) const
{
    if (entregue != kNotReturned)
        return std::nullopt;
    const auto due = dueDate(date, prazo);
    if (!due || *due >= today)
        return std::nullopt;
    return due->daysTo(today);
}

QString DueRule::dueExpression() const
{
    const QString lent = QStringLiteral("DateAdd('d', %1, Data)").arg(period);
    return prazoKept ? QStringLiteral("Nz(prazo, %1)").arg(lent) : lent;
}

QString DueRule::lateCriteria() const
{
    return QStringLiteral("StrComp(Entregue, '%1', 0) = 0 and %2 < '%3'")
        .arg(literal(kNotReturned), dueExpression(), today.toString(Qt::ISODate));
}

DueRule dueRuleOf(const Database& database, const QDate& today)
{
    const TableInfo* loans = database.schema().table(QStringLiteral("empréstimos"));
    return DueRule{loanPeriod(database), today, loans && loans->indexOf(QStringLiteral("prazo")) >= 0};
}

QString lateText(qint64 days)
{
    return days == 1 ? QStringLiteral("atrasado há 1 dia") : QStringLiteral("atrasado há %1 dias").arg(days);
}

qint64 countLateLoans(Database& database, const DueRule& rule)
{
    const auto late = database.openRecordset(lateLoans(rule), RecordsetType::Snapshot);
    if (!late->eof())
        late->moveLast();
    return late->recordCount();
}

}  // namespace ondrel::db
