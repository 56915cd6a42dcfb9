#include "listing.h"

#include "collection/collection.h"
#include "database/address.h"
#include "database/database.h"
#include "database/recordset.h"

#include <QFileInfo>

#include <stdexcept>

namespace ondrel::catalogue {

platform::ReportRows readListing(const QString& dataFile, const QString& source, const QStringList& fields)
{
    if (!db::isServerAddress(dataFile) && !QFileInfo::exists(dataFile))
        throw std::runtime_error(
            QStringLiteral("Arquivo de dados do relatório não encontrado: %1").arg(dataFile).toStdString());
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
