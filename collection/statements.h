#pragma once

// The statements and find criteria the windows send, each text written once.
// A value typed or shown in a window is pasted between single quotes with its
// own quotes doubled (literal()), so it is matched as typed. Texts that
// differ in a space or a capital stay different: the engine reads them alike,
// and each keeps the spelling its window has always sent.
//
//   Data1->setRecordSource(db::objectsOrderedBy(QStringLiteral("título")));
//   loans.findFirst(db::objectWithCode(Txtcod->text()));
#include "database/recordset.h"

#include <QString>

namespace ondrel::db {

struct DueRule;

// The stored queries the windows write: the loans of the object the
// catalogue shows, and the listing the printed report reads.
QString pesquisaName();  // "pesquisa"
QString imprimeName();   // "Imprime"

// ---- Objects

// The whole catalogue in table order; the text the catalogue's total reads.
QString allObjects();
QString objectsForTotal();
// The catalogue ordered by a field (cod, título, autor, assunto).
QString objectsOrderedBy(const QString& field);
// The listing's five columns ordered by a field, and by code.
QString listingOrderedBy(const QString& field);
QString listingByCode();
// The objects, and the listing, whose column contains a key anywhere.
QString objectsWhereContains(const QString& column, const QString& key);
QString listingWhereContains(const QString& column, const QString& key);
// The objects as the loans window looks codes up in them.
QString objectsForLookup();
// Criteria: the object of a code, as the loans window's lookup finds it and
// as the catalogue finds the object of a saved loan.
QString objectWithCode(const QString& code);
QString objectOfSavedLoan(const QString& code);
// Criteria: the first record with a title (a pattern: "*" any characters).
QString titleCriteria(const QString& title);

// ---- Loans

// Every loan in table order, and newest first.
QString allLoans();
QString loansNewestFirst();
// The loans not yet returned.
QString loansNotReturned();
// The late loans, most late first (duedates.h).
QString lateLoans(const DueRule& rule);
// The loans ordered by a field (cod, título, nome).
QString loansOrderedBy(const QString& field);
// The loans of one object, newest first: the text of "pesquisa".
QString loansOfObject(const QString& code);
// Criteria: the loans of one object.
QString loansOfObjectCriteria(const QString& code);
// The check a loan started from "Emprestar" makes as it is stored: refused
// while the object's latest loan (the first of loansOfObject()) is out,
// naming who has it.
InsertCheck lendingCheck();
// The loans, and those not yet returned, whose column contains a key.
QString loansWhereContains(const QString& column, const QString& key);
QString notReturnedLoansWhereContains(const QString& column, const QString& key);
QString lateLoansWhereContains(const QString& column, const QString& key, const DueRule& rule);

}  // namespace ondrel::db
