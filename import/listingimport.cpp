#include "listingimport.h"

#include "importerror.h"
#include "windows1252.h"

#include "collection/collection.h"
#include "core/files.h"
#include "core/spreadsheettext.h"
#include "core/values.h"
#include "database/connection.h"
#include "database/database.h"
#include "database/record.h"
#include "database/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>

namespace ondrel::import {

namespace {

// At most this many refused rows are listed one by one.
constexpr int kRefusalsListed = 30;

// The captions a column is known by, and the field it fills.
struct Caption {
    const char* caption;
    const char* field;
};
constexpr Caption kCaptions[] = {
    {"Código", "cod"},      {"Objeto", "Objeto"},       {"Título", "Título"},
    {"Autor(a)", "Autor"},  {"Valor", "valor"},         {"Assunto", "Assunto"},
    {"Descrição", "Descrição"}, {"Data", "Data"},       {"Imagem", "path"},
};

QString captionsListed()
{
    QStringList names;
    for (const Caption& c : kCaptions)
        names << QString::fromUtf8(c.caption);
    return names.join(QStringLiteral(", "));
}

// The file's text: UTF-8 (its byte-order mark dropped), or Windows-1252 when
// the bytes are no UTF-8.
QString textOf(const QByteArray& bytes)
{
    QByteArrayView b(bytes);
    if (b.startsWith("\xEF\xBB\xBF"))
        b = b.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(b);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(b);
}

struct Record {
    int line = 0;  // where it starts in the file, from 1
    QStringList fields;
};

// The records of a CSV text: fields between `separator`s, a field between
// quotes holding separators, line breaks and doubled quotes; CRLF or LF.
QList<Record> recordsOf(const QString& text, QChar separator)
{
    QList<Record> records;
    Record record{1, {}};
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    int line = 1;
    const auto endField = [&] {
        record.fields << field;
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == separator) {
            endField();
        } else if (c == u'\n' || (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) {
            if (c == u'\r')
                ++i;
            endField();
            records << record;
            record = Record{++line, {}};
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.fields.isEmpty() || wasQuoted) {
        endField();
        records << record;
    }
    return records;
}

// ";" or ",", whichever separates more of the captions' line.
QChar separatorOf(const QString& text)
{
    int semicolons = 0, commas = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u';')
            ++semicolons;
        else if (!quoted && c == u',')
            ++commas;
    }
    return commas > semicolons ? u',' : u';';
}

// An amount as a Brazilian spreadsheet writes it ("1.234,50", "R$ 1.234,50",
// "1234,50"), or with a decimal point ("1234.50"); four decimals at most.
std::optional<qint64> amountOf(const QString& text, bool* ok)
{
    const std::optional<qint64> brazilian = db::parseAmount(text, QLocale(QLocale::Portuguese, QLocale::Brazil), ok, 4);
    if (*ok)
        return brazilian;
    return db::parseAmount(text, QLocale::c(), ok, 4);
}

class Importer {
public:
    Importer(db::Database& database, const QDate& today) : m_db(database), m_today(today) {}

    qint64 run(const QList<Record>& records)
    {
        const db::TableInfo& objects = *m_db.schema().table(QStringLiteral("objetos"));
        const Record& header = records.first();
        QVector<int> fieldOf;  // per column of the file: the field it fills
        for (int i = 0; i < header.fields.size(); ++i) {
            const QString caption = header.fields[i].trimmed();
            int field = -1;
            for (const Caption& c : kCaptions)
                if (db::foldText(caption) == db::foldText(QString::fromUtf8(c.caption)))
                    field = objects.indexOf(QString::fromUtf8(c.field));
            if (field < 0)
                throw ImportError(QStringLiteral("Nada foi importado: a coluna \"%1\" da planilha não é uma coluna do "
                                                 "Ulmix. As colunas reconhecidas são %2.")
                                      .arg(caption, captionsListed()));
            if (fieldOf.contains(field))
                throw ImportError(QStringLiteral("Nada foi importado: a coluna \"%1\" aparece duas vezes na planilha.")
                                      .arg(caption));
            fieldOf.append(field);
        }
        const int cod = objects.indexOf(QStringLiteral("cod"));
        const int date = objects.indexOf(QStringLiteral("Data"));
        if (!fieldOf.contains(cod))
            throw ImportError(QStringLiteral("Nada foi importado: a planilha não tem a coluna Código, que diz qual "
                                             "objeto é cada linha."));
        QVector<int> fields = fieldOf;
        if (!fieldOf.contains(date))
            fields.append(date);

        QStringList refused;
        QHash<QString, int> codeLines;  // folded code → the line that has it
        qint64 added = 0;
        db::Transaction tx(m_db.connection());
        db::RecordBatch batch(m_db.connection(), objects);
        for (qsizetype r = 1; r < records.size(); ++r) {
            const Record& record = records[r];
            if (record.fields.size() == 1 && record.fields[0].trimmed().isEmpty())
                continue;  // an empty line
            const auto refuse = [&](const QString& why) {
                refused << QStringLiteral("linha %1: %2").arg(record.line).arg(why);
            };
            if (record.fields.size() != header.fields.size()) {
                refuse(QStringLiteral("tem %1 campos, e o cabeçalho tem %2.")
                           .arg(record.fields.size())
                           .arg(header.fields.size()));
                continue;
            }
            QVector<QVariant> values;
            QStringList why;
            for (int i = 0; i < fieldOf.size(); ++i)
                values.append(valueOf(objects.fields[fieldOf[i]], record.fields[i], why));
            if (!fieldOf.contains(date))
                values.append(m_today);
            const QString code = values[fieldOf.indexOf(cod)].toString();
            const QString key = db::foldText(code);
            if (code.isEmpty())
                why.prepend(QStringLiteral("falta o código."));
            else if (const auto first = codeLines.constFind(key); first != codeLines.cend())
                why.prepend(QStringLiteral("o código \"%1\" repete o da linha %2.").arg(code).arg(*first));
            else
                codeLines.insert(key, record.line);
            if (!why.isEmpty()) {
                refuse(why.join(u' '));
                continue;
            }
            try {
                batch.insert(fields, values);
                ++added;
            } catch (const db::EngineError& e) {
                if (e.number() != db::ErrDuplicateKey)
                    throw;
                refuse(QStringLiteral("o código \"%1\" já existe na coleção.").arg(code));
            }
        }
        if (!refused.isEmpty()) {
            QStringList listed = refused.mid(0, kRefusalsListed);
            if (refused.size() > kRefusalsListed)
                listed << QStringLiteral("e mais %1 linhas recusadas.").arg(refused.size() - kRefusalsListed);
            throw ImportError(QStringLiteral("Nada foi importado: %1.\n%2")
                                  .arg(refused.size() == 1 ? QStringLiteral("1 linha da planilha foi recusada")
                                                           : QStringLiteral("%1 linhas da planilha foram recusadas")
                                                                 .arg(refused.size()),
                                       listed.join(u'\n')));
        }
        batch.finish();
        tx.commit();
        return added;
    }

private:
    // A field's value from its text, or why it is refused.
    QVariant valueOf(const db::FieldInfo& field, const QString& text, QStringList& why)
    {
        switch (field.type) {
        case db::FieldType::Currency: {
            bool ok = false;
            const std::optional<qint64> units = amountOf(text, &ok);
            if (!ok)
                why << QStringLiteral("o valor \"%1\" não foi entendido.").arg(text);
            return units ? QVariant(*units) : QVariant();
        }
        case db::FieldType::Date: {
            bool ok = false;
            const std::optional<QDate> day = db::parseDate(text, &ok);
            if (!ok)
                why << QStringLiteral("a data \"%1\" é impossível.").arg(text);
            return day ? QVariant(*day) : QVariant();
        }
        default: {
            const QString value = db::textFromSpreadsheet(text);
            if (field.size > 0 && value.size() > field.size)
                why << QStringLiteral("%1 tem %2 caracteres, e o campo admite %3.")
                           .arg(field.name)
                           .arg(value.size())
                           .arg(field.size);
            return value.isEmpty() ? QVariant() : QVariant(value);
        }
        }
    }

    db::Database& m_db;
    QDate m_today;
};

qint64 importInto(const QString& collection, const QList<Record>& records, const QDate& today)
{
    auto database = db::Database::open(collection, QString::fromLatin1(db::kConnectString));
    return Importer(*database, today).run(records);
}

}  // namespace

QString ListingImport::report() const
{
    return QStringLiteral("%1 %2 à coleção \"%3\"%4.")
        .arg(added)
        .arg(added == 1 ? QStringLiteral("objeto foi acrescentado") : QStringLiteral("objetos foram acrescentados"))
        .arg(QDir::toNativeSeparators(collection))
        .arg(created ? QStringLiteral(", criada para recebê-los") : QString());
}

ListingImport importListing(const QString& csv, const QString& collection, const QDate& today)
{
    // A FIFO or a device is never read: it would wait, or never end.
    const QString unreadable = files::refusalToRead(csv);
    if (!unreadable.isEmpty())
        throw ImportError(QStringLiteral("Nada foi importado: %1.").arg(unreadable));
    QFile file(csv);
    if (!file.open(QIODevice::ReadOnly))
        throw ImportError(QStringLiteral("Nada foi importado: o arquivo \"%1\" não pôde ser aberto (%2).")
                              .arg(QDir::toNativeSeparators(csv),
                                   QFileInfo::exists(csv) ? QStringLiteral("sem permissão de leitura")
                                                          : QStringLiteral("ele não existe")));
    const QString text = textOf(file.readAll());
    const QList<Record> records = recordsOf(text, separatorOf(text));
    if (records.isEmpty())
        throw ImportError(QStringLiteral("Nada foi importado: o arquivo \"%1\" está vazio.")
                              .arg(QDir::toNativeSeparators(csv)));
    ListingImport done;
    done.collection = collection;
    try {
        if (QFileInfo::exists(collection)) {
            done.added = importInto(collection, records, today);
        } else {
            db::Database::create(collection, QString::fromLatin1(db::kPassword), [&](const QString& building) {
                done.added = importInto(building, records, today);
            });
            done.created = true;
        }
    } catch (const db::EngineError& e) {
        throw ImportError(QStringLiteral("Nada foi importado: %1").arg(e.description()));
    }
    return done;
}

}  // namespace ondrel::import
