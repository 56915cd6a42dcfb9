#pragma once

// The stored query "Imprime", which the printed listing reads: every window
// that changes what the listing shows rewrites it here.
//
//   ConsultaImprime = forms::writeImprime(BancoDados, db::listingOrderedBy(field));
#include <QString>

#include <memory>

namespace ondrel::db {
class Database;
struct QueryDef;
}  // namespace ondrel::db

namespace ondrel::forms {

// Rewrites "Imprime" with a listing statement (delete, create and set its
// text, in one transaction) and returns its handle. An unset database fails
// like any unset handle.
std::unique_ptr<db::QueryDef> writeImprime(const std::shared_ptr<db::Database>& database, const QString& listing);

}  // namespace ondrel::forms
