#pragma once

// The report printer of the catalogue (Report1): told which data file to
// read, which layout file to follow and where the output goes, it produces
// the listing when its action is set to 1.
//
//   Report1->setDataFiles(0, "<plug-in folder>/livrano.mdb");
//   Report1->setReportFileName("<plug-in folder>/objetos.rpt");
//   Report1->setDestination(ReportPrinter::ToPrinter);
//   Report1->setAction(1);   // throws when anything is missing
//
// The file destination writes a PDF file of the pages the printer would get,
// or the rows as a CSV file for a spreadsheet (setPrintFileType); the file
// appears whole or not at all.
//
// The layout file is a small text file of "key = value" lines ('#' starts a
// comment line):
//
//   title  = Listagem de Objetos
//   source = Imprime                        # the stored query the rows come from
//   column = cod | Código | 10              # field | caption | relative width [| currency]
//   column = valor | Valor | 14 | currency
//   total  = valor | Valor Total:           # optional: sum of a currency column
//
// The printer knows nothing of the database: its row reader (set by the
// window that owns it) opens the data file and reads the source's rows.

#include <QList>
#include <QLocale>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QPagedPaintDevice;
class QTextDocument;

namespace ondrel::platform {

struct ReportColumn {
    QString field;
    QString caption;
    int width = 10;  // relative to the other columns
    bool currency = false;
};

struct ReportLayout {
    QString title;
    QString source;
    QList<ReportColumn> columns;
    QString totalField;  // empty: no total line
    QString totalCaption;

    QStringList fields() const;

    // Throws std::runtime_error for a layout without a source or columns, an
    // unknown key or a malformed line.
    static ReportLayout parse(const QString& text);
    // Reads a layout file (UTF-8); throws when it is missing or unreadable.
    static ReportLayout load(const QString& fileName);
};

// Values of each row in the order of the fields asked for. Empty fields are
// null; a currency field holds its exact amount in ten-thousandths (qint64).
using ReportRows = QList<QVariantList>;
using ReportRowReader =
    std::function<ReportRows(const QString& dataFile, const QString& source, const QStringList& fields)>;

// What the listing shows: its title, the column captions, each row's cells as
// printed and the total line (empty without one).
struct ReportContent {
    QString title;
    QStringList captions;
    QList<QStringList> cells;
    QString totalLine;
};

// The cells as printed: text as stored, a currency column in the locale's
// currency format with two decimals, the total line as caption + amount.
ReportContent formatReport(const ReportLayout& layout, const ReportRows& rows, const QLocale& locale);
// The listing as a document of pages of pageSize (the document's pixels): the
// header row repeated on every page, and no row split across two pages (a
// row that would straddle a page break starts the next page).
void buildReportDocument(const ReportContent& content, const ReportLayout& layout, QTextDocument& document,
                         const QSizeF& pageSize);

class ReportPrinter : public QObject {
    Q_OBJECT
public:
    // Output destinations, as the component numbers them.
    enum Destination { ToWindow = 0, ToPrinter = 1, ToFile = 2 };
    // What the file destination writes.
    enum FileType { PdfFile, CsvFile };

    explicit ReportPrinter(QObject* parent = nullptr);
    ~ReportPrinter() override;

    void setRowReader(ReportRowReader reader);

    void setDataFiles(int index, const QString& fileName);
    QString dataFiles(int index) const;
    void setReportFileName(const QString& fileName);
    QString reportFileName() const;
    void setDestination(int destination);
    int destination() const;
    // The file the file destination writes, and what it writes there (PDF by
    // default).
    void setPrintFileName(const QString& fileName);
    QString printFileName() const;
    void setPrintFileType(FileType type);
    FileType printFileType() const;

    // 1 produces the report now on the destination. Throws std::runtime_error
    // (layout or data file missing, no rows source, the output cannot be
    // opened); nothing is printed then. Other values do nothing.
    void setAction(int action);

    // What the last produced report showed (empty before the first one).
    const ReportContent& lastReport() const;
    int reportsProduced() const;

    // Tests: while set, the printer destination writes this PDF file instead
    // of printing, and counts as a printer installed.
    static void setPrinterOverride(const QString& pdfFile);
    static QString printerOverride();
    // Whether the printer destination has somewhere to go: a printer
    // installed, or the override.
    static bool printerAvailable();

private:
    void produce();
    // The pages, each with the date of printing and "Página N de M" at its
    // foot.
    static void print(const ReportContent& content, const ReportLayout& layout, QPagedPaintDevice& device);
    static void toPrinter(const ReportContent& content, const ReportLayout& layout);
    static void toFile(const ReportContent& content, const ReportLayout& layout, const QString& pdfFile);
    static void toCsv(const ReportLayout& layout, const ReportRows& rows, const QString& csvFile);

    ReportRowReader m_reader;
    QStringList m_dataFiles;
    QString m_reportFile;
    int m_destination = ToWindow;
    QString m_printFile;
    FileType m_printFileType = PdfFile;
    ReportContent m_last;
    int m_produced = 0;
};

}  // namespace ondrel::platform
