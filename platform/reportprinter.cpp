#include "reportprinter.h"

#include "core/files.h"
#include "core/spreadsheettext.h"
#include "core/values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QTextStream>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <stdexcept>

namespace ondrel::platform {

namespace {

constexpr qreal kDocumentDpi = 96;        // a text document's pixels to the inch

QString s_printerOverride;

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

// The band at the foot of each page for the date and "Página N de M", in
// the document's pixels.
constexpr qreal kFooterHeight = 28;

// One CSV field as RFC 4180 quotes it: between quotes, its quotes doubled,
// when it holds the separator, a quote or a line break.
QString csvField(const QString& text)
{
    static const QRegularExpression special(QStringLiteral("[;\"\r\n]"));
    if (!text.contains(special))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

}  // namespace

// ---------------------------------------------------------------------------
// Layout

QStringList ReportLayout::fields() const
{
    QStringList names;
    for (const ReportColumn& c : columns)
        names.append(c.field);
    return names;
}

ReportLayout ReportLayout::parse(const QString& text)
{
    ReportLayout layout;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            fail(QStringLiteral("Linha %1 do layout inválida: %2").arg(n + 1).arg(line.left(60)));
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1);
        const int comment = value.indexOf(QLatin1Char('#'));
        if (comment >= 0 && key != QLatin1String("title"))
            value.truncate(comment);
        value = value.trimmed();
        QStringList parts = value.split(QLatin1Char('|'));
        for (QString& p : parts)
            p = p.trimmed();

        if (key == QLatin1String("title")) {
            layout.title = value;
        } else if (key == QLatin1String("source")) {
            layout.source = value;
        } else if (key == QLatin1String("column")) {
            if (parts.size() < 2 || parts[0].isEmpty())
                fail(QStringLiteral("Coluna inválida na linha %1 do layout").arg(n + 1));
            ReportColumn column;
            column.field = parts[0];
            column.caption = parts[1];
            if (parts.size() > 2) {
                bool ok = false;
                column.width = parts[2].toInt(&ok);
                if (!ok || column.width <= 0)
                    fail(QStringLiteral("Largura inválida na linha %1 do layout").arg(n + 1));
            }
            column.currency = parts.size() > 3 && parts[3].compare(QLatin1String("currency"), Qt::CaseInsensitive) == 0;
            layout.columns.append(column);
        } else if (key == QLatin1String("total")) {
            layout.totalField = parts.value(0);
            layout.totalCaption = parts.value(1);
        } else {
            fail(QStringLiteral("Chave desconhecida na linha %1 do layout: %2").arg(n + 1).arg(key));
        }
    }
    if (layout.source.isEmpty())
        fail(QStringLiteral("O layout não diz de onde vêm as linhas (source)"));
    if (layout.columns.isEmpty())
        fail(QStringLiteral("O layout não tem colunas"));
    if (!layout.totalField.isEmpty()) {
        const auto found = std::find_if(layout.columns.cbegin(), layout.columns.cend(), [&](const ReportColumn& c) {
            return c.field.compare(layout.totalField, Qt::CaseInsensitive) == 0 && c.currency;
        });
        if (found == layout.columns.cend())
            fail(QStringLiteral("O total do layout não é uma coluna de valores"));
    }
    return layout;
}

ReportLayout ReportLayout::load(const QString& fileName)
{
    // A layout is a few lines of text: a file that is not (binary, or far
    // too long) is refused without showing any of it.
    constexpr qint64 kLongest = 1 << 20;
    QString unreadable = files::refusalToRead(fileName);
    QFile file(fileName);
    if (unreadable.isEmpty() && !file.open(QIODevice::ReadOnly))
        unreadable = files::reasonFor(EACCES, fileName, files::Access::Read);
    if (!unreadable.isEmpty())
        fail(QStringLiteral("Layout de relatório não encontrado: %1 (%2).").arg(fileName, unreadable));
    const QByteArray bytes = file.read(kLongest + 1);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    static const QRegularExpression binary(QStringLiteral("[\\x00-\\x08\\x0b\\x0c\\x0e-\\x1f\\x7f]"));
    if (bytes.size() > kLongest || utf8.hasError() || text.contains(binary))
        fail(QStringLiteral("O arquivo \"%1\" não é um layout de listagem.").arg(fileName));
    try {
        return parse(text);
    } catch (const std::runtime_error& e) {
        fail(QStringLiteral("O arquivo \"%1\" não é um layout de listagem válido: %2")
                 .arg(fileName, QString::fromUtf8(e.what())));
    }
}

// ---------------------------------------------------------------------------
// Content

ReportContent formatReport(const ReportLayout& layout, const ReportRows& rows, const QLocale& locale)
{
    ReportContent content;
    content.title = layout.title;
    for (const ReportColumn& c : layout.columns)
        content.captions.append(c.caption);
    qint64 total = 0;
    for (const QVariantList& row : rows) {
        QStringList cells;
        for (int i = 0; i < layout.columns.size(); ++i) {
            const ReportColumn& column = layout.columns[i];
            const QVariant value = row.value(i);
            if (value.isNull()) {
                cells.append(QString());
                continue;
            }
            if (column.currency) {
                const qint64 units = value.toLongLong();
                if (column.field.compare(layout.totalField, Qt::CaseInsensitive) == 0)
                    total += units;
                cells.append(db::formatAmount(units, db::AmountShape::Currency, locale));
            } else {
                cells.append(value.toString());
            }
        }
        content.cells.append(cells);
    }
    if (!layout.totalField.isEmpty())
        content.totalLine = layout.totalCaption + QLatin1Char(' ') + db::formatAmount(total, db::AmountShape::Currency, locale);
    return content;
}

namespace {

// The listing's HTML with a new table, starting a new page, at each of
// pageStarts (indexes of rows).
QString reportHtml(const ReportContent& content, const ReportLayout& layout, const QList<int>& pageStarts)
{
    int widthSum = 0;
    for (const ReportColumn& c : layout.columns)
        widthSum += c.width;
    QString html;
    QTextStream out(&html);
    const auto openTable = [&](bool newPage) {
        out << "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" border=\"1\""
            << (newPage ? " style=\"page-break-before: always\"" : "") << "><thead><tr>";
        for (int i = 0; i < layout.columns.size(); ++i) {
            out << "<th width=\"" << (layout.columns[i].width * 100 / qMax(1, widthSum)) << "%\" align=\""
                << (layout.columns[i].currency ? "right" : "left") << "\">"
                << content.captions.value(i).toHtmlEscaped() << "</th>";
        }
        out << "</tr></thead>";
    };
    out << "<html><body>";
    out << "<h2>" << content.title.toHtmlEscaped() << "</h2>";
    openTable(false);
    for (int r = 0; r < content.cells.size(); ++r) {
        if (pageStarts.contains(r)) {
            out << "</table>";
            openTable(true);
        }
        out << "<tr>";
        for (int i = 0; i < layout.columns.size(); ++i)
            out << "<td align=\"" << (layout.columns[i].currency ? "right" : "left") << "\">"
                << content.cells[r].value(i).toHtmlEscaped() << "</td>";
        out << "</tr>";
    }
    out << "</table>";
    if (!content.totalLine.isEmpty())
        out << "<p align=\"right\"><b>" << content.totalLine.toHtmlEscaped() << "</b></p>";
    out << "</body></html>";
    return html;
}

// The first row whose text the laid-out document puts on two pages and that
// does not already start its page's table, or -1.
int firstSplitRow(QTextDocument& document)
{
    const qreal pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    int row = 0;  // rows of the tables before
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        for (int r = table->format().headerRowCount(); r < table->rows(); ++r, ++row) {
            int firstPage = std::numeric_limits<int>::max();
            int lastPage = -1;
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
                    const QTextBlock block = it.currentBlock();
                    const QTextLayout* lines = block.layout();
                    if (!block.isValid() || !lines)
                        continue;
                    const qreal top = layout->blockBoundingRect(block).top() - lines->boundingRect().top();
                    for (int i = 0; i < lines->lineCount(); ++i) {
                        const QTextLine line = lines->lineAt(i);
                        firstPage = std::min(firstPage, int((top + line.y()) / pageHeight));
                        lastPage = std::max(lastPage, int((top + line.y() + line.height() - 0.01) / pageHeight));
                    }
                }
            }
            if (lastPage > firstPage && r > table->format().headerRowCount())
                return row;
        }
    }
    return -1;
}

}  // namespace

void buildReportDocument(const ReportContent& content, const ReportLayout& layout, QTextDocument& document,
                         const QSizeF& pageSize)
{
    document.setPageSize(pageSize);
    document.setMetaInformation(QTextDocument::DocumentTitle, content.title);
    QList<int> pageStarts;
    for (;;) {
        document.setHtml(reportHtml(content, layout, pageStarts));
        const int split = firstSplitRow(document);
        if (split < 0 || pageStarts.contains(split))
            break;
        pageStarts.append(split);
    }
}

// ---------------------------------------------------------------------------
// Printer

ReportPrinter::ReportPrinter(QObject* parent) : QObject(parent) {}

ReportPrinter::~ReportPrinter() = default;

void ReportPrinter::setRowReader(ReportRowReader reader)
{
    m_reader = std::move(reader);
}

void ReportPrinter::setDataFiles(int index, const QString& fileName)
{
    if (index < 0)
        fail(QStringLiteral("Índice de arquivo de dados inválido"));
    while (m_dataFiles.size() <= index)
        m_dataFiles.append(QString());
    m_dataFiles[index] = fileName;
}

QString ReportPrinter::dataFiles(int index) const
{
    return m_dataFiles.value(index);
}

void ReportPrinter::setReportFileName(const QString& fileName)
{
    m_reportFile = fileName;
}

QString ReportPrinter::reportFileName() const
{
    return m_reportFile;
}

void ReportPrinter::setDestination(int destination)
{
    m_destination = destination;
}

int ReportPrinter::destination() const
{
    return m_destination;
}

void ReportPrinter::setPrintFileName(const QString& fileName)
{
    m_printFile = fileName;
}

QString ReportPrinter::printFileName() const
{
    return m_printFile;
}

void ReportPrinter::setPrintFileType(FileType type)
{
    m_printFileType = type;
}

ReportPrinter::FileType ReportPrinter::printFileType() const
{
    return m_printFileType;
}

const ReportContent& ReportPrinter::lastReport() const
{
    return m_last;
}

int ReportPrinter::reportsProduced() const
{
    return m_produced;
}

void ReportPrinter::setPrinterOverride(const QString& pdfFile)
{
    s_printerOverride = pdfFile;
}

QString ReportPrinter::printerOverride()
{
    return s_printerOverride;
}

bool ReportPrinter::printerAvailable()
{
    return !s_printerOverride.isEmpty() || !QPrinterInfo::availablePrinters().isEmpty();
}

void ReportPrinter::setAction(int action)
{
    if (action == 1)
        produce();
}

void ReportPrinter::produce()
{
    // Everything is read before anything is printed: a missing piece prints
    // nothing.
    const ReportLayout layout = ReportLayout::load(m_reportFile);
    const QString dataFile = dataFiles(0);
    // The reader says when what it reads is not there.
    if (dataFile.isEmpty())
        fail(QStringLiteral("Arquivo de dados do relatório não informado"));
    if (!m_reader)
        fail(QStringLiteral("O relatório não tem de onde ler as linhas"));
    const ReportRows rows = m_reader(dataFile, layout.source, layout.fields());
    const ReportContent content = formatReport(layout, rows, db::regionalLocale());

    switch (m_destination) {
    case ToPrinter:
        if (s_printerOverride.isEmpty())
            toPrinter(content, layout);
        else
            toFile(content, layout, s_printerOverride);
        break;
    case ToFile:
        if (m_printFileType == CsvFile)
            toCsv(layout, rows, m_printFile);
        else
            toFile(content, layout, m_printFile);
        break;
    default:
        fail(QStringLiteral("Destino de relatório não suportado: %1").arg(m_destination));
    }
    m_last = content;
    ++m_produced;
}

void ReportPrinter::print(const ReportContent& content, const ReportLayout& layout, QPagedPaintDevice& device)
{
    device.setPageOrientation(QPageLayout::Portrait);
    // The page in the document's pixels (96 to the inch); the rows fill it
    // but for a band at its foot that holds the date and the page number.
    const QSizeF page = device.pageLayout().paintRect(QPageLayout::Inch).size() * kDocumentDpi;
    const QSizeF body(page.width(), page.height() - kFooterHeight);
    QTextDocument document;
    buildReportDocument(content, layout, document, body);
    const int pages = document.pageCount();
    const QString printed = db::formatDate(QDate::currentDate());

    QPainter painter(&device);
    if (!painter.isActive())
        fail(QStringLiteral("As páginas da listagem não puderam ser geradas."));
    // The document's pixels to the device's.
    painter.scale(device.width() / page.width(), device.width() / page.width());
    QFont footer = document.defaultFont();
    footer.setPixelSize(qRound(QFontInfo(footer).pointSizeF() * 0.85 * kDocumentDpi / 72));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            device.newPage();
        painter.save();
        painter.translate(0, -index * body.height());
        context.clip = QRectF(0, index * body.height(), body.width(), body.height());
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footer);
        painter.setPen(Qt::black);
        const QRectF band(0, body.height(), page.width(), kFooterHeight);
        painter.drawText(band, Qt::AlignLeft | Qt::AlignBottom, printed);
        painter.drawText(band, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Página %1 de %2").arg(index + 1).arg(pages));
    }
}

void ReportPrinter::toPrinter(const ReportContent& content, const ReportLayout& layout)
{
    // At once on the default printer; without one nothing is printed and
    // the failing step is skipped by the caller, without a message.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        fail(QStringLiteral("Impressora indisponível"));
    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid())
        fail(QStringLiteral("Impressora indisponível"));
    printer.setDocName(content.title.isEmpty() ? QStringLiteral("Ulmix") : content.title);
    print(content, layout, printer);
}

void ReportPrinter::toFile(const ReportContent& content, const ReportLayout& layout, const QString& pdfFile)
{
    files::writeWhole(pdfFile, [&](QIODevice& out) {
        // The pages a PDF printer would get, on its page and at its
        // resolution.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPdfWriter writer(&out);
        writer.setResolution(printer.resolution());
        writer.setPageLayout(printer.pageLayout());
        writer.setTitle(content.title.isEmpty() ? QStringLiteral("Ulmix") : content.title);
        writer.setCreator(QStringLiteral("Ulmix"));
        print(content, layout, writer);
    });
}

void ReportPrinter::toCsv(const ReportLayout& layout, const ReportRows& rows, const QString& csvFile)
{
    // For a spreadsheet set to Brazilian Portuguese: ';' between fields,
    // UTF-8 with its byte-order mark, CRLF line ends, the column captions on
    // the first line, and amounts as plain numbers with a decimal comma. A
    // text is never run as a formula.
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const auto line = [](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted.append(csvField(f));
        return (quoted.join(QLatin1Char(';')) + QLatin1String("\r\n")).toUtf8();
    };
    files::writeWhole(csvFile, [&](QIODevice& out) {
        out.write("\xEF\xBB\xBF");
        QStringList captions;
        for (const ReportColumn& c : layout.columns)
            captions.append(c.caption);
        out.write(line(captions));
        for (const QVariantList& row : rows) {
            QStringList fields;
            for (int i = 0; i < layout.columns.size(); ++i) {
                const QVariant value = row.value(i);
                if (value.isNull())
                    fields.append(QString());
                else if (layout.columns[i].currency)
                    fields.append(db::formatAmount(value.toLongLong(), db::AmountShape::Plain, brazil));
                else
                    fields.append(db::spreadsheetText(value.toString()));
            }
            out.write(line(fields));
        }
    });
}

}  // namespace ondrel::platform
