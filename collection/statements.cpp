#include "statements.h"

#include "collection.h"
#include "duedates.h"

#include "database/database.h"

namespace ondrel::db {

namespace {

const QString kListingColumns = QStringLiteral("select cod, objeto, título, autor, valor");

// "<column> like '*<key>*'": the column holds the key anywhere.
QString contains(const QString& column, const QString& key)
{
    return column + QStringLiteral(" like '*") + literal(key) + QStringLiteral("*'");
}

}  // namespace

QString pesquisaName()
{
    return QStringLiteral("pesquisa");
}

QString imprimeName()
{
    return QStringLiteral("Imprime");
}

QString allObjects()
{
    return QStringLiteral("select * from objetos");
}

QString objectsForTotal()
{
    return QStringLiteral("Select * from objetos");
}

QString objectsOrderedBy(const QString& field)
{
    return QStringLiteral("select * from objetos order by ") + field;
}

QString listingOrderedBy(const QString& field)
{
    return kListingColumns + QStringLiteral(" from objetos order by ") + field;
}

QString listingByCode()
{
    return listingOrderedBy(QStringLiteral("cod"));
}

QString objectsWhereContains(const QString& column, const QString& key)
{
    return QStringLiteral("select * from objetos where ") + contains(column, key);
}

QString listingWhereContains(const QString& column, const QString& key)
{
    return kListingColumns + QStringLiteral(" from objetos where ") + contains(column, key);
}

QString objectsForLookup()
{
    return QStringLiteral("select * from Objetos");
}

QString objectWithCode(const QString& code)
{
    return QStringLiteral("cod='") + literal(code) + QStringLiteral("'");
}

QString objectOfSavedLoan(const QString& code)
{
    return QStringLiteral("cod= '") + literal(code) + QStringLiteral("'");
}

QString titleCriteria(const QString& title)
{
    return QStringLiteral("Título like'") + literal(title) + QStringLiteral("'");
}

QString allLoans()
{
    return QStringLiteral("select * from empréstimos");
}

QString loansNewestFirst()
{
    return QStringLiteral("select * from empréstimos order by data desc");
}

QString loansNotReturned()
{
    return QStringLiteral("select * from empréstimos where entregue='Não'");
}

QString lateLoans(const DueRule& rule)
{
    return QStringLiteral("select * from empréstimos where ") + rule.lateCriteria() + QStringLiteral(" order by ")
           + rule.dueExpression();
}

QString loansOrderedBy(const QString& field)
{
    return QStringLiteral("select * from empréstimos order by ") + field;
}

QString loansOfObject(const QString& code)
{
    // No space before "order": the text as the catalogue has always stored it.
    return QStringLiteral("select * from empréstimos where codobjeto = '") + literal(code) + QStringLiteral("'")
           + QStringLiteral("order by data desc");
}

QString loansOfObjectCriteria(const QString& code)
{
    return QStringLiteral("codobjeto='") + literal(code) + QStringLiteral("'");
}

InsertCheck lendingCheck()
{
    const QString code = QStringLiteral("codobjeto");
    return {[code](const Recordset& loan) { return loansOfObject(loan.text(code)); },
            [code](const Recordset& loan, const Recordset& latest) {
                if (latest.eof() || latest.text(QStringLiteral("Entregue")) != kNotReturned)
                    return QString();
                const QString who = latest.text(QStringLiteral("Nome"));
                const QString since = latest.text(QStringLiteral("Data"));
                return QStringLiteral("O empréstimo não foi salvo: o objeto de código \"%1\" já está emprestado a %2%3 "
                                      "e ainda não foi devolvido. Registre a devolução antes de emprestá-lo de novo.")
                    .arg(loan.text(code), who.isEmpty() ? QStringLiteral("outra pessoa") : who,
                         since.isEmpty() ? QString() : QStringLiteral(" desde ") + since);
            }};
}

QString loansWhereContains(const QString& column, const QString& key)
{
    return QStringLiteral("select * from empréstimos where ") + contains(column, key);
}

QString notReturnedLoansWhereContains(const QString& column, const QString& key)
{
    return QStringLiteral("select * from empréstimos where entregue='não' and ") + contains(column, key);
}

QString lateLoansWhereContains(const QString& column, const QString& key, const DueRule& rule)
{
    return QStringLiteral("select * from empréstimos where ") + rule.lateCriteria() + QStringLiteral(" and ")
           + contains(column, key) + QStringLiteral(" order by ") + rule.dueExpression();
}

}  // namespace ondrel::db
