#include "listingexport.h"

#include "listing.h"

#include "collection/collection.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "forms/guard.h"
#include "platform/reportprinter.h"
#include "platform/services.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <stdexcept>

namespace ondrel::catalogue {

using platform::ReportPrinter;
using platform::services;

namespace {

const QString kPdfName = QStringLiteral("Listagem de Objetos.pdf");

// Where the dialog opens: the documents folder, or the home folder where
// there is none yet.
QString suggestedPdf()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    return QDir(folder).filePath(kPdfName);
}

// The rows of the stored query; a collection whose listing was never ordered
// or searched lists the whole catalogue in code order, as the window prints
// it (the file itself is left unchanged).
platform::ReportRows readStoredListing(const QString& dataFile, const QString& source, const QStringList& fields)
{
    const bool stored = db::Database::open(dataFile, QString::fromLatin1(db::kConnectString))->hasQueryDef(source);
    return readListing(dataFile, stored ? source : db::listingByCode(), fields);
}

}  // namespace

void saveListingAsPdf(ReportPrinter& report, QWidget* parent)
{
    const QString file = platform::saveFileName(
        parent, QStringLiteral("Nenhuma impressora instalada - Salvar a Listagem em PDF"),
        QStringLiteral("Documentos PDF (*.pdf)|*.pdf"), suggestedPdf());
    if (file.isEmpty())
        return;
    if (QFileInfo::exists(file)
        && services().msgBox(QStringLiteral("O arquivo \"%1\" já existe. Deseja substituí-lo?").arg(file),
                             platform::YesNo, platform::Question) != platform::ResultYes)
        return;
    const int destination = report.destination();
    const QString printFile = report.printFileName();
    std::optional<platform::Failure> failed = platform::skipFailing({
        [&] {
            report.setDestination(ReportPrinter::ToFile);
            report.setPrintFileType(ReportPrinter::PdfFile);
            report.setPrintFileName(file);
            report.setAction(1);
        },
    });
    report.setDestination(destination);
    report.setPrintFileName(printFile);
    if (failed)
        services().msgBox(QStringLiteral("A listagem não foi salva em \"%1\".\n\n%2").arg(file, failed->description),
                          platform::OkOnly, platform::Exclamation);
    else
        services().msgBox(QStringLiteral("Como não há impressora instalada, a listagem foi salva em PDF no "
                                         "arquivo:\n\n%1").arg(QDir::toNativeSeparators(file)),
                          platform::OkOnly, platform::Information);
}

void exportListing(const QString& destination)
{
    const QString type = QFileInfo(destination).suffix().toLower();
    if (type != QLatin1String("csv") && type != QLatin1String("pdf"))
        throw std::runtime_error(QStringLiteral("O nome do arquivo deve terminar em .csv ou .pdf.").toStdString());
    const QString collection = db::collectionLocation();
    if (db::Database::check(collection, QString::fromLatin1(db::kConnectString)).problem == db::FileProblem::Missing)
        throw std::runtime_error(
            QStringLiteral("Não há coleção em \"%1\".").arg(collection).toStdString());
    ReportPrinter report;
    report.setRowReader(readStoredListing);
    report.setDataFiles(0, collection);
    report.setReportFileName(db::databasePath(db::readOnlyFilesFolder(), QStringLiteral("objetos.rpt")));
    report.setDestination(ReportPrinter::ToFile);
    report.setPrintFileType(type == QLatin1String("csv") ? ReportPrinter::CsvFile : ReportPrinter::PdfFile);
    report.setPrintFileName(destination);
    report.setAction(1);
}

}  // namespace ondrel::catalogue
