#include "storedqueries.h"

#include "collection/statements.h"
#include "database/database.h"
#include "guard.h"

namespace ondrel::forms {

std::unique_ptr<db::QueryDef> writeImprime(const std::shared_ptr<db::Database>& database, const QString& listing)
{
    platform::use(database).writeQueryDef(db::imprimeName(), listing);
    return std::make_unique<db::QueryDef>(db::QueryDef{database, db::imprimeName()});
}

}  // namespace ondrel::forms
