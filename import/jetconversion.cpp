#include "jetconversion.h"

#include "importerror.h"
#include "jetqueries.h"
#include "import/reader/jetstream.h"

#include "collection/collection.h"
#include "collection/duedates.h"
#include "collection/statements.h"
#include "core/values.h"
#include "database/connection.h"
#include "database/database.h"
#include "database/filework.h"
#include "database/record.h"
#include "database/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace ondrel::import {

namespace js = jetstream;

namespace {

// At most this many notes are listed one by one.
constexpr int kNotesListed = 20;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString counted(qint64 n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

bool isWhole(int type)
{
    return type == js::Byte || type == js::Int || type == js::Long;
}

bool isText(int type)
{
    return type == js::Text || type == js::Memo;
}

// The file name at the end of a Windows or Unix path.
QString fileNameOf(const QString& path)
{
    static const QRegularExpression separator(QStringLiteral("[\\\\/]"));
    return path.section(separator, -1);
}

// Writes the rows of a Jet file into a collection, inside the caller's
// transaction, noting what does not come across exactly.
class Converter {
public:
    Converter(db::Database& database, const QString& jet, const JetOptions& options, JetConversion& out)
        : m_db(database), m_jet(shown(jet)), m_out(out)
    {
        if (!options.picturesFolder.isEmpty()) {
            const QDir folder(options.picturesFolder);
            for (const QString& name : folder.entryList(QDir::Files))
                m_pictures.insert(name.toCaseFolded(), folder.absoluteFilePath(name));
        }
    }

    void onTable(const JetTable& table)
    {
        m_target = nullptr;
        if (table.system) {
            m_system = table.name;
            return;
        }
        m_system.clear();
        const db::TableInfo* info = nullptr;
        for (const db::TableInfo& t : m_db.schema().tables())
            if (db::foldText(t.name) == db::foldText(table.name))
                info = &t;
        if (!info || m_targets.contains(info->name)) {
            m_others.append({table.name, table.definedRows});
            return;
        }
        Target& target = m_targets[info->name];
        target.info = info;
        target.jet = table;
        target.batch = std::make_shared<db::RecordBatch>(m_db.connection(), *info);
        target.extra.fill(0, table.columns.size());
        QVector<bool> taken(table.columns.size(), false);
        for (int i = 0; i < info->fields.size(); ++i) {
            int column = -1;
            for (int j = 0; j < table.columns.size(); ++j)
                if (db::foldText(table.columns[j].name) == db::foldText(info->fields[i].name))
                    column = j;
            target.column.append(column);
            if (column >= 0) {
                taken[column] = true;
                target.fields.append(i);
            } else if (info->fields[i].type != db::FieldType::Counter
                       && !db::sameName(info->fields[i].name, db::kDueDateField)) {
                // A Jet collection comes from before the due dates: having
                // none is no news.
                target.missing.append(info->fields[i].name);
            }
        }
        for (int j = 0; j < table.columns.size(); ++j)
            target.extraColumn.append(!taken[j]);
        m_target = &target;
    }

    void onRow(const JetTable& table, const JetRow& row)
    {
        if (m_target) {
            writeRow(*m_target, row);
        } else if (m_system == QLatin1String("MSysObjects")) {
            const int id = table.indexOf(QStringLiteral("Id")), name = table.indexOf(QStringLiteral("Name")),
                      type = table.indexOf(QStringLiteral("Type"));
            if (id >= 0 && name >= 0 && type >= 0 && row[type].toLongLong() == 5)
                m_queryNames.insert(row[id].toLongLong(), row[name].toString());
        } else if (m_system == QLatin1String("MSysQueries")) {
            const auto at = [&](const char* column) {
                const int i = table.indexOf(QLatin1String(column));
                return i >= 0 ? row[i] : QVariant();
            };
            QueryPart part{int(at("Attribute").toLongLong()), int(at("Flag").toLongLong()), at("Expression").toString(),
                           at("Name1").toString(), at("Name2").toString()};
            m_queryParts[at("ObjectId").toLongLong()].append(part);
        }
    }

    // The checks before the commit, and the stored queries' texts.
    QList<QPair<QString, QString>> finish()
    {
        const auto objects = m_targets.constFind(QStringLiteral("objetos"));
        if (objects == m_targets.cend())
            throw ImportError(QStringLiteral("O arquivo Jet \"%1\" não tem a tabela objetos: não é uma coleção do "
                                             "Ulmix.").arg(m_jet));
        if (objects->column.value(objects->info->indexOf(QStringLiteral("cod"))) < 0)
            throw ImportError(QStringLiteral("A tabela objetos do arquivo Jet \"%1\" não tem a coluna cod: não é "
                                             "uma coleção do Ulmix.").arg(m_jet));
        if (!m_duplicates.isEmpty()) {
            QStringList listed;
            for (auto it = m_duplicates.cbegin(); it != m_duplicates.cend(); ++it)
                listed << QStringLiteral("\"%1\" (%2 vezes)").arg(it.key()).arg(it.value());
            throw ImportError(QStringLiteral("Nada foi convertido: a tabela objetos do arquivo Jet \"%1\" tem "
                                             "códigos repetidos, que a coleção não admite: %2. Corrija-os no arquivo "
                                             "Jet e converta-o de novo.")
                                  .arg(m_jet, listed.join(QStringLiteral(", "))));
        }
        if (!m_targets.contains(QStringLiteral("empréstimos")))
            m_out.notes << QStringLiteral("O arquivo Jet não tem a tabela empréstimos: nenhum empréstimo veio.");
        for (const Target& t : std::as_const(m_targets)) {
            t.batch->finish();
            if (t.read != t.jet.definedRows)
                throw ImportError(QStringLiteral("O arquivo Jet \"%1\" está danificado: a definição da tabela %2 "
                                                 "conta %3 linhas, mas %4 puderam ser lidas.")
                                      .arg(m_jet, t.jet.name)
                                      .arg(t.jet.definedRows)
                                      .arg(t.read));
            const qint64 stored = m_db.countRecords(t.info->name);
            if (stored != t.read)
                throw ImportError(QStringLiteral("A tabela %1 da nova coleção tem %2 registros, e não os %3 do "
                                                 "arquivo Jet.").arg(t.info->name).arg(stored).arg(t.read));
            if (t.read > 0)
                for (const QString& name : t.missing)
                    m_out.notes << QStringLiteral("A tabela %1 do arquivo Jet não tem a coluna %2; ela ficou vazia.")
                                       .arg(t.jet.name, name);
            for (int j = 0; j < t.extra.size(); ++j)
                if (t.extraColumn[j] && t.extra[j] > 0)
                    m_out.notes << QStringLiteral("A coluna %1 da tabela %2 não existe na coleção: %3 não vieram.")
                                       .arg(t.jet.columns[j].name, t.jet.name,
                                            counted(t.extra[j], "valor", "valores"));
        }
        m_out.objects = objects->read;
        m_out.loans = m_targets.value(QStringLiteral("empréstimos")).read;
        for (const auto& [name, rows] : std::as_const(m_others))
            if (rows > 0)
                m_out.notes << QStringLiteral("A tabela %1 do arquivo Jet (%2) não faz parte da coleção e não veio.")
                                   .arg(name, counted(rows, "linha", "linhas"));
        return queries();
    }

private:
    struct Target {
        const db::TableInfo* info = nullptr;
        JetTable jet;
        QVector<int> column;        // per field of the collection table: its Jet column, or -1
        QVector<int> fields;        // the fields written
        QStringList missing;        // fields the Jet table lacks
        QVector<bool> extraColumn;  // per Jet column: the collection has no field for it
        QVector<qint64> extra;      // per Jet column: its values that are not empty
        qint64 read = 0;
        std::shared_ptr<db::RecordBatch> batch;
    };

    // Where a value stands, for a note: the object's code or the loan's number.
    QString placeOf(const Target& t, const JetRow& row) const
    {
        const int cod = t.jet.indexOf(QStringLiteral("cod"));
        const QString key = cod >= 0 && row[cod].isValid() ? row[cod].toString() : QStringLiteral("?");
        if (t.info->name == QLatin1String("objetos"))
            return QStringLiteral("no objeto de código \"%1\"").arg(key);
        return QStringLiteral("no empréstimo nº %1").arg(key);
    }

    void writeRow(Target& t, const JetRow& row)
    {
        ++t.read;
        for (int j = 0; j < row.size(); ++j)
            if (t.extraColumn[j] && row[j].isValid() && !(t.jet.columns[j].type == js::Bool && !row[j].toBool()))
                ++t.extra[j];
        QVector<QVariant> values;
        for (int k : std::as_const(t.fields)) {
            const db::FieldInfo& field = t.info->fields[k];
            const int j = t.column[k];
            QVariant value = convert(field, t.jet.columns[j], row[j], t, row);
            if (field.name == QLatin1String("path") && value.isValid())
                value = picture(value.toString());
            values.append(value);
        }
        if (t.info->name == QLatin1String("objetos")) {
            const int cod = t.info->indexOf(QStringLiteral("cod"));
            const QString code = values.value(t.fields.indexOf(cod)).toString();
            if (!code.isEmpty()) {
                const QString key = db::foldText(code);
                if (m_codes.contains(key)) {
                    // The first one and this one; then one more each time.
                    const QString first = m_codes.value(key);
                    m_duplicates.insert(first, m_duplicates.value(first, 1) + 1);
                    return;
                }
                m_codes.insert(key, code);
            }
        }
        t.batch->insert(t.fields, values);
    }

    QVariant convert(const db::FieldInfo& field, const JetColumn& column, const QVariant& raw, const Target& t,
                     const JetRow& row)
    {
        if (!raw.isValid())
            return QVariant();
        const auto refuse = [&](const QString& why) {
            m_out.notes << QStringLiteral("O valor de %1 %2 não veio: %3.").arg(field.name, placeOf(t, row), why);
            return QVariant();
        };
        switch (field.type) {
        case db::FieldType::Text:
        case db::FieldType::Memo: {
            QString text;
            if (isText(column.type))
                text = raw.toString();
            else if (isWhole(column.type))
                text = QString::number(raw.toLongLong());
            else
                return refuse(QStringLiteral("a coluna do arquivo Jet não é de texto"));
            if (field.size > 0 && text.size() > field.size)
                m_out.notes << QStringLiteral("%1 %2 tem %3 caracteres, mais que os %4 do campo; foi guardado inteiro.")
                                   .arg(field.name, placeOf(t, row)).arg(text.size()).arg(field.size);
            return text;
        }
        case db::FieldType::Date: {
            if (column.type != js::DateTime)
                return refuse(QStringLiteral("a coluna do arquivo Jet não é de datas"));
            const QDateTime when = jetDateTime(raw.toDouble());
            if (!when.isValid())
                return refuse(QStringLiteral("não é uma data de calendário"));
            if (when.time() != QTime(0, 0))
                ++m_out.timesLeftOut;
            return when.date();
        }
        case db::FieldType::Currency:
            if (column.type == js::Money)
                return raw.toLongLong();
            if (isWhole(column.type))
                return raw.toLongLong() * db::kCurrencyScale;
            if (column.type == js::Double || column.type == js::Float) {
                const double amount = raw.toDouble();
                const double units = std::round(amount * db::kCurrencyScale);
                if (std::isfinite(units) && std::fabs(units) < 9.2e18
                    && std::fabs(units / db::kCurrencyScale - amount) <= 1e-9 * std::max(1.0, std::fabs(amount)))
                    return qint64(units);
                return refuse(QStringLiteral("%1 não cabe em quatro casas decimais").arg(amount, 0, 'g', 17));
            }
            return refuse(QStringLiteral("a coluna do arquivo Jet não é de valores"));
        case db::FieldType::Counter:
            if (isWhole(column.type))
                return raw.toLongLong();
            return refuse(QStringLiteral("a coluna do arquivo Jet não é de números; o registro ganhou um número novo"));
        }
        return QVariant();
    }

    // A picture's path as stored, or the file of the same name in the
    // pictures folder when the path finds nothing on this computer.
    QVariant picture(const QString& path)
    {
        if (path.isEmpty() || QFileInfo(path).isFile())
            return path;
        const QString found = m_pictures.value(fileNameOf(path).toCaseFolded());
        if (found.isEmpty()) {
            ++m_out.picturesMissing;
            return path;
        }
        ++m_out.picturesFound;
        return found;
    }

    QList<QPair<QString, QString>> queries()
    {
        QList<QPair<QString, QString>> texts;
        for (auto it = m_queryNames.cbegin(); it != m_queryNames.cend(); ++it) {
            const QString& name = it.value();
            if (name.startsWith(u'~'))
                continue;  // the hidden queries Access keeps for its forms
            const bool ours = db::foldText(name) == db::foldText(db::pesquisaName())
                              || db::foldText(name) == db::foldText(db::imprimeName());
            if (!ours) {
                m_out.notes << QStringLiteral("A consulta \"%1\" do arquivo Jet não é uma consulta do Ulmix e não veio.")
                                   .arg(name);
                continue;
            }
            const QString text = queryTextFromParts(name, m_queryParts.value(it.key()));
            if (text.isEmpty()) {
                m_out.notes << QStringLiteral("A consulta \"%1\" do arquivo Jet não veio: suas partes não têm a forma "
                                              "de nenhuma consulta que o Ulmix grava.").arg(name);
                continue;
            }
            const QString canonical = db::foldText(name) == db::foldText(db::pesquisaName()) ? db::pesquisaName()
                                                                                               : db::imprimeName();
            texts.append({canonical, text});
        }
        return texts;
    }

    db::Database& m_db;
    QString m_jet;  // as messages name it
    JetConversion& m_out;
    QMap<QString, Target> m_targets;
    Target* m_target = nullptr;
    QString m_system;
    QList<QPair<QString, qint64>> m_others;
    QHash<QString, QString> m_codes;   // folded code → the code as first met
    QMap<QString, int> m_duplicates;   // code → how many rows hold it
    QHash<QString, QString> m_pictures;
    QMap<qint64, QString> m_queryNames;
    QHash<qint64, QVector<QueryPart>> m_queryParts;
};

// Reads the Jet file into an open collection: the rows in one transaction,
// checked before it commits, then the stored queries.
JetConversion fill(const QString& jet, db::Database& database, const QString& shownPath, const JetOptions& options)
{
    JetConversion out;
    out.source = jet;
    Converter converter(database, jet, options, out);
    QList<QPair<QString, QString>> queries;
    {
        db::Transaction tx(database.connection());
        readJet(
            jet, [&](const JetFile&, const JetTable& t) { converter.onTable(t); },
            [&](const JetTable& t, const JetRow& r) { converter.onRow(t, r); }, options.reader);
        queries = converter.finish();
        db::checkIntegrity(database.connection(), shownPath);
        tx.commit();
    }
    for (const auto& [name, text] : std::as_const(queries)) {
        database.writeQueryDef(name, text);
        out.queries << name;
    }
    return out;
}

// The engine's failures as the conversion's own.
template <typename Work>
auto converting(const QString& jet, Work work)
{
    try {
        return work();
    } catch (const db::EngineError& e) {
        throw ImportError(QStringLiteral("O arquivo Jet \"%1\" não foi convertido: %2").arg(shown(jet), e.description()));
    }
}

// Keeps the Jet file under a dated name beside it, without moving it: a link
// (or, where the disk has none, a copy made whole first). Returns its name.
QString keepBeside(const QString& jet, const QDate& today)
{
    const QFileInfo info(jet);
    const QString base = info.completeBaseName() + QStringLiteral("-jet-") + today.toString(Qt::ISODate);
    for (int number = 1; number < 100; ++number) {
        const QString kept = info.absoluteDir().filePath(
            base + (number > 1 ? QStringLiteral("-%1").arg(number) : QString()) + QStringLiteral(".mdb"));
        if (::link(QFile::encodeName(jet).constData(), QFile::encodeName(kept).constData()) == 0)
            return kept;
        if (errno == EEXIST)
            continue;
        const QString building = db::buildingName(kept);
        QFile::remove(building);
        if (QFile::copy(jet, building)) {
            db::syncPath(building);
            if (db::linkIntoPlace(building, kept))
                return kept;
        }
        QFile::remove(building);
        if (!QFileInfo::exists(kept))
            break;
    }
    throw ImportError(QStringLiteral("Nada foi convertido: não foi possível guardar o arquivo Jet \"%1\" ao lado da "
                                     "coleção.").arg(shown(jet)));
}

}  // namespace

QString JetConversion::report() const
{
    QStringList lines;
    lines << QStringLiteral("Vieram %1 e %2.")
                 .arg(counted(objects, "objeto", "objetos"), counted(loans, "empréstimo", "empréstimos"));
    if (!keptAs.isEmpty())
        lines << QStringLiteral("O arquivo no formato Jet foi guardado, sem alterações, como \"%1\".").arg(shown(keptAs));
    QStringList inexact;
    if (timesLeftOut > 0)
        inexact << QStringLiteral("%1 também uma hora do dia; a coleção guarda só o dia, e a hora ficou de fora.")
                       .arg(timesLeftOut == 1 ? QStringLiteral("1 data tinha")
                                              : QStringLiteral("%1 datas tinham").arg(timesLeftOut));
    if (picturesFound > 0)
        inexact << QStringLiteral("%1 encontrada%2 pelo nome na pasta de imagens indicada.")
                       .arg(counted(picturesFound, "imagem foi", "imagens foram"),
                            picturesFound == 1 ? QString() : QStringLiteral("s"));
    if (picturesMissing > 0)
        inexact << QStringLiteral("%1 neste computador; seus caminhos ficaram como estavam (o comando ondrel "
                                  "--import-jet com --pictures-folder PASTA as procura pelo nome numa pasta).")
                       .arg(counted(picturesMissing, "imagem não foi encontrada", "imagens não foram encontradas"));
    inexact << notes.mid(0, kNotesListed);
    if (notes.size() > kNotesListed)
        inexact << QStringLiteral("E mais %1.").arg(counted(notes.size() - kNotesListed, "observação", "observações"));
    if (!inexact.isEmpty()) {
        lines << QString() << QStringLiteral("O que não veio exatamente como estava:");
        for (const QString& line : std::as_const(inexact))
            lines << QStringLiteral("- ") + line;
    }
    return lines.join(u'\n');
}

JetConversion convertJetInto(const QString& jet, const QString& destination, const JetOptions& options)
{
    if (QFileInfo::exists(destination))
        throw ImportError(QStringLiteral("Nada foi convertido: o arquivo \"%1\" já existe.").arg(shown(destination)));
    return converting(jet, [&] {
        JetConversion out;
        db::Database::create(destination, QString::fromLatin1(db::kPassword), [&](const QString& building) {
            auto database = db::Database::open(building, QString::fromLatin1(db::kConnectString));
            out = fill(jet, *database, destination, options);
        });
        out.destination = destination;
        return out;
    });
}

JetConversion convertJetIntoEmpty(const QString& jet, const QString& collection, const JetOptions& options)
{
    return converting(jet, [&] {
        auto database = db::Database::open(collection, QString::fromLatin1(db::kConnectString));
        if (database->countRecords(QStringLiteral("objetos")) != 0
            || database->countRecords(QStringLiteral("empréstimos")) != 0)
            throw ImportError(QStringLiteral("Nada foi convertido: a coleção \"%1\" não está vazia.").arg(shown(collection)));
        JetConversion out = fill(jet, *database, collection, options);
        out.destination = collection;
        return out;
    });
}

JetConversion convertJetInPlace(const QString& collection, const JetOptions& options, const QDate& today)
{
    if (!isJetFile(collection))
        throw ImportError(QStringLiteral("O arquivo \"%1\" não está no formato Jet.").arg(shown(collection)));
    // What a conversion killed before left beside the collection goes first.
    db::removeAbandonedBuilds(collection);
    const QString building = db::buildingName(collection);
    db::RemoveOnFailure guard{building};
    JetConversion out = convertJetInto(collection, building, options);
    out.keptAs = keepBeside(collection, today);
    if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(collection).constData()) != 0) {
        QFile::remove(out.keptAs);
        throw ImportError(QStringLiteral("Não foi possível pôr a coleção convertida no lugar de \"%1\"; o arquivo Jet "
                                         "continua lá, sem alterações.").arg(shown(collection)));
    }
    guard.done = true;
    db::syncPath(QFileInfo(collection).absolutePath());
    out.destination = collection;
    return out;
}

bool isEmptyCollection(const QString& path)
{
    auto database = db::Database::open(path, QString::fromLatin1(db::kConnectString));
    return database->countRecords(QStringLiteral("objetos")) == 0
           && database->countRecords(QStringLiteral("empréstimos")) == 0;
}

}  // namespace ondrel::import
