#include "listing.h"

#include "collection/collection.h"
#include "database/database.h"
#include "database/recordset.h"

namespace ondrel::catalogue {

platform::ReportRows readListing(const QString& dataFile, const QString& source, const QStringList& fields)
{
    const auto database = db::Database::open(dataFile, QString::fromLatin1(db::kConnectString));
    const auto rows = database->openRecordset(source, db::RecordsetType::Snapshot);
    platform::ReportRows listing;
    while (!rows->eof()) {
        QVariantList values;
        for (const QString& field : fields)
            values.append(rows->value(field));
        listing.append(values);
        rows->moveNext();
    }
    rows->close();
    return listing;
}

}  // namespace ondrel::catalogue
