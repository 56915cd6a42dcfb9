#pragma once

#include "dialect.h"
#include "recordset.h"

#include <memory>

namespace ondrel::db {

class Database;

std::shared_ptr<Recordset> makeRecordset(std::shared_ptr<Database> database, const SelectPlan& plan,
                                         RecordsetType type, const QString& source);

}  // namespace ondrel::db
