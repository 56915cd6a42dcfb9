#include "listing.h"

#include "collection/collection.h"
#include "database/database.h"
#include "database/recordset.h"


#include <stdexcept>

namespace ondrel::catalogue {

platform::ReportRows readListing(const QString& dataFile, const QString& source, const QStringList& fields)
{
    std::shared_ptr<db::Database> database;
    try {
        database = db::Database::open(dataFile, QString::fromLatin1(db::kConnectString));
    } catch (const db::EngineError& e) {
        if (e.number() != db::ErrFileNotFound)
            throw;
        throw std::runtime_error(
            QStringLiteral("Arquivo de dados do relatório não encontrado: %1").arg(dataFile).toStdString());
    }
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
