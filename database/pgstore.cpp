#include "pgstore.h"

#include "address.h"
#include "database.h"
#include "engineerror.h"
#include "flavor.h"
#include "schema.h"
#include "serverpictures.h"
#include "core/values.h"

#include "libpq.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace ondrel::db {

namespace {

// PostgreSQL's type numbers the results are read by.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;

// The largest amount of the currency, in ten-thousandths, as PostgreSQL
// writes a numeric of four decimals.
constexpr const char* kMoneyLow = "-922337203685477.5808";
constexpr const char* kMoneyHigh = "922337203685477.5807";

// A statement written with ? and ?N, as the server takes it: $1, $2…
// Quoted texts and names are left as they are.
QByteArray serverText(const QByteArray& sql, int* parameters)
{
    QByteArray out;
    out.reserve(sql.size() + 16);
    int next = 0;
    int highest = 0;
    char quote = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char ch = sql[i];
        if (quote) {
            out += ch;
            if (ch == quote)
                quote = 0;
            continue;
        }
        if (ch == '\'' || ch == '"') {
            quote = ch;
            out += ch;
            continue;
        }
        if (ch != '?') {
            out += ch;
            continue;
        }
        qsizetype j = i + 1;
        while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9')
            ++j;
        const int number = j > i + 1 ? sql.mid(i + 1, j - i - 1).toInt() : ++next;
        highest = std::max(highest, number);
        next = std::max(next, number);
        out += '$' + QByteArray::number(number);
        i = j - 1;
    }
    *parameters = highest;
    return out;
}

// Ten-thousandths as a numeric of four decimals: 259000 -> "25.9000".
QByteArray moneyText(qint64 units)
{
    const bool negative = units < 0;
    const quint64 magnitude = negative ? quint64(-(units + 1)) + 1 : quint64(units);
    QByteArray fraction = QByteArray::number(magnitude % 10000);
    fraction = QByteArray(4 - fraction.size(), '0') + fraction;
    return (negative ? "-" : "") + QByteArray::number(magnitude / 10000) + '.' + fraction;
}

// A numeric read back as ten-thousandths (digits past the fourth decimal
// dropped); 0 for a value outside the currency's range, which the counts
// check before they read one.
qint64 unitsOf(const char* text)
{
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    quint64 whole = 0;
    while (*text >= '0' && *text <= '9') {
        if (__builtin_mul_overflow(whole, 10u, &whole) || __builtin_add_overflow(whole, quint64(*text - '0'), &whole))
            return 0;
        ++text;
    }
    quint64 fraction = 0;
    int digits = 0;
    if (*text == '.') {
        ++text;
        for (; *text >= '0' && *text <= '9'; ++text)
            if (digits < 4) {
                fraction = fraction * 10 + quint64(*text - '0');
                ++digits;
            }
    }
    for (; digits < 4; ++digits)
        fraction *= 10;
    quint64 units = 0;
    if (__builtin_mul_overflow(whole, 10000u, &units) || __builtin_add_overflow(units, fraction, &units))
        return 0;
    if (negative)
        return units > quint64(std::numeric_limits<qint64>::max()) + 1 ? 0 : qint64(0 - units);
    return units > quint64(std::numeric_limits<qint64>::max()) ? 0 : qint64(units);
}

// The SQLSTATE of a failure, as the number of base 36 EngineError keeps.
int stateNumber(const char* state)
{
    return state ? QByteArray(state).toInt(nullptr, 36) : 0;
}

QString lockedText(const QString& collection)
{
    return QStringLiteral("Nada foi gravado: a coleção \"%1\" está ocupada por outra gravação (de outro computador "
                          "ou programa). Tente de novo daqui a pouco.").arg(collection);
}

// A connection that failed: libpq does not say why in a way a program can
// read (no SQLSTATE), so the text names who asked for what.
QString unreachableText(const QString& collection, const QString& user, const QString& database)
{
    return QStringLiteral("Não foi possível alcançar o servidor da coleção \"%1\": ele não responde, não tem o banco "
                          "de dados \"%3\" ou recusou a conexão do usuário \"%2\" (que o servidor não conhece ou "
                          "que não tem o direito de se conectar a esse banco). Verifique o endereço, a rede e se o "
                          "servidor está ligado, ou peça acesso ao administrador do servidor.")
        .arg(collection, user, database);
}

// The server went away under a running window (stopped, restarted, the
// network cut): what it was doing is rolled back by the server, what was
// typed stays in the window's buffer.
QString lostText(const QString& collection)
{
    return QStringLiteral("Não foi possível alcançar o servidor da coleção \"%1\": a conexão caiu (o servidor parou "
                          "ou foi reiniciado, ou a rede caiu). Nada foi gravado agora e o que foi digitado continua na "
                          "janela. Tente de novo quando o servidor voltar.").arg(collection);
}

// The connection fell while the server was confirming a write: it may or
// may not be stored, and sending it again could store it twice.
QString commitUnknownText(const QString& collection)
{
    return QStringLiteral("A conexão com o servidor da coleção \"%1\" caiu enquanto a gravação era confirmada: não "
                          "se sabe se ela foi gravada. O que foi digitado continua na janela. Quando o servidor "
                          "voltar, confira o registro (Cancelar mostra como ele está) antes de salvar de novo.")
        .arg(collection);
}

// Whether running a statement twice changes nothing: a read, a BEGIN, a
// session's setting.
bool harmlessTwice(const QByteArray& sql, const QByteArray& lockingRead)
{
    const QByteArray head = sql.trimmed().left(6).toUpper();
    return head.startsWith("BEGIN") || head.startsWith("SET ") || (head == "SELECT" && !sql.contains(lockingRead));
}

// The fold the keys are written with, for the rare read that cannot use the
// keys (records another program wrote): the ASCII letters in lower case, and
// every letter of the Latin, Greek and Cyrillic alphabets that folds to one
// character (or to none, the accents) mapped as the program folds it.
QString foldFunctionSql()
{
    QString from, to, dropped;
    auto add = [&](char32_t c) {
        const QString one = QString::fromUcs4(&c, 1);
        const QString folded = foldText(one);
        if (folded == one)
            return;
        const QList<uint> units = folded.toUcs4();
        if (units.isEmpty())
            dropped += one;
        else if (units.size() == 1) {
            from += one;
            to += folded;
        }
    };
    for (char32_t c = 0x80; c < 0x530; ++c)
        add(c);
    for (char32_t c = 0x1E00; c < 0x2000; ++c)
        add(c);
    return QStringLiteral("CREATE OR REPLACE FUNCTION ondrel_fold(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
                          "AS $f$ SELECT translate(lower($1 COLLATE \"C\"), '%1', '%2') $f$")
        .arg(literal(from + dropped), literal(to));
}

// Whether the write under way comes from another program: the program's
// own connections say who they are, and write the keys themselves.
constexpr const char* kForeignWriter = "coalesce(current_setting('ondrel.writer', true), '') <> 'ondrel'";

// A folded pattern of the dialect ('*' any characters, '?' one) as LIKE
// takes it, with \ as its escape.
QString likePattern(const QString& folded)
{
    QString out;
    out.reserve(folded.size() + 4);
    for (QChar ch : folded) {
        if (ch == u'\\' || ch == u'%' || ch == u'_')
            out += u'\\';
        out += ch == u'*' ? u'%' : ch == u'?' ? u'_' : ch;
    }
    return out;
}

QString containsPattern(const QString& inner)
{
    QString escaped = inner;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

// The server's SQL: an explicit row id column, every text compared by its
// bytes (COLLATE "C"), an empty sort key first going up, the dialect's like
// as LIKE over the folded keys, "contains" through pg_trgm.
class PgFlavor final : public SqlFlavor {
public:
    QByteArray rowid(const TableInfo& table) const override
    {
        for (const FieldInfo& f : table.fields)
            if (f.type == FieldType::Counter)
                return f.column();
        return "ondrel_id";
    }
    QByteArray orderTerm(const QByteArray& key, bool descending) const override
    {
        return key + (descending ? " DESC NULLS LAST" : " ASC NULLS FIRST");
    }
    QByteArray foldOnTheFly(const QByteArray& column) const override
    {
        return "ondrel_fold(" + column + ") COLLATE \"C\"";
    }
    SqlExpr like(const TableInfo& table, const FieldInfo& field, const QString& foldedPattern) const override
    {
        QByteArray text;
        switch (field.type) {
        case FieldType::Text:
        case FieldType::Memo:
            text = !field.keyColumn.isEmpty() && table.keysUsable ? field.keyColumnSql() : foldOnTheFly(field.column());
            break;
        case FieldType::Currency:
            // As the file stores it: whole ten-thousandths.
            text = "CAST(CAST(" + field.column() + " * 10000 AS bigint) AS text)";
            break;
        default:
            text = "CAST(" + field.column() + " AS text)";
        }
        return SqlExpr{text + " LIKE ? ESCAPE '\\'", {likePattern(foldedPattern)}};
    }
    SqlExpr contains(const TableInfo&, const FieldInfo& field, const QString& inner, bool indexed, QByteArray*,
                     QString*) const override
    {
        // The trigram index serves LIKE '%…%' on the searched keys.
        if (indexed)
            return SqlExpr{field.keyColumnSql() + " LIKE ? ESCAPE '\\'", {containsPattern(inner)}};
        return SqlExpr{"strpos(" + field.keyColumnSql() + ", ?) > 0", {inner}};
    }
    bool writesSearchIndex() const override { return false; }
    QByteArray returningRowId(const TableInfo& table) const override { return " RETURNING " + rowid(table); }
    QByteArray keptTotalType() const override
    {
        return "CASE WHEN total IS NULL THEN 'null' WHEN total BETWEEN -9223372036854775808 AND 9223372036854775807 "
               "AND total = trunc(total) THEN 'integer' ELSE 'real' END";
    }
    QByteArray countAndTotal(const TableInfo& table, const FieldInfo* currency) const override
    {
        if (!currency)
            return "SELECT count(*), NULL, 1 FROM " + table.sqlName();
        const QByteArray sum = "sum(" + currency->column() + ")";
        return "SELECT count(*), " + sum + ", CASE WHEN " + sum + " IS NULL OR " + sum + " BETWEEN " + kMoneyLow
            + " AND " + kMoneyHigh + " THEN 1 ELSE 0 END FROM " + table.sqlName();
    }
    QByteArray queryNameIs() const override { return "lower(name) = lower(?)"; }
    QByteArray lockingRead() const override { return " FOR UPDATE"; }
    QByteArray columnType(const FieldInfo& f) const override
    {
        // Every text compared by its bytes.
        switch (f.type) {
        case FieldType::Counter: return "bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
        case FieldType::Currency: return "numeric(19,4)";
        case FieldType::Date: return "date";
        default: return "text COLLATE \"C\"";
        }
    }
    // A date column holds dates only.
    QByteArray dateValue(const QByteArray& column) const override { return column; }
    QByteArray addDays(const QByteArray& date, int days) const override
    {
        return "(" + date + " + " + QByteArray::number(days) + ")";
    }
};

QString keyColumnFor(const FieldInfo& f)
{
    return foldText(f.name) + QStringLiteral("_chave");
}

}  // namespace

// ---- PgStatement

PgStatement::PgStatement(PgConnection& connection, const QByteArray& sql, const QByteArray& name)
    : Statement(sql), m_connection(connection), m_name(name)
{
    m_server = serverText(sql, &m_parameterCount);
    m_values.resize(m_parameterCount);
    m_nulls.fill(true, m_parameterCount);
}

PgStatement::~PgStatement()
{
    libpq().PQclear(m_result);
}

void PgStatement::setParameter(int index, QByteArray value, bool null)
{
    if (index < 1 || index > m_parameterCount)
        throw EngineError(ErrInvalidArgument, QStringLiteral("Argumento inválido: parâmetro %1.").arg(index), 0,
                          QString::fromUtf8(sql()));
    m_values[index - 1] = std::move(value);
    m_nulls[index - 1] = null;
}

void PgStatement::bindText(int index, const QString& text)
{
    setParameter(index, text.toUtf8(), false);
}

void PgStatement::bindInt(int index, qint64 value)
{
    setParameter(index, QByteArray::number(value), false);
}

void PgStatement::bindNull(int index)
{
    setParameter(index, QByteArray(), true);
}

void PgStatement::bindDouble(int index, double value)
{
    setParameter(index, QByteArray::number(value, 'g', 17), false);
}

void PgStatement::bindMoney(int index, qint64 units)
{
    setParameter(index, moneyText(units), false);
}

pg_result* PgStatement::send(const char* const* values)
{
    pg_conn* conn = m_connection.handle();
    if (m_name.isEmpty())
        return libpq().PQexecParams(conn, m_server.constData(), m_parameterCount, nullptr, values, nullptr, nullptr, 0);
    if (m_preparedIn != m_connection.generation()) {
        PGresult* prepared = libpq().PQprepare(conn, m_name.constData(), m_server.constData(), m_parameterCount, nullptr);
        if (libpq().PQresultStatus(prepared) != PGRES_COMMAND_OK)
            return prepared;
        libpq().PQclear(prepared);
        m_preparedIn = m_connection.generation();
    }
    return libpq().PQexecPrepared(conn, m_name.constData(), m_parameterCount, values, nullptr, nullptr, 0);
}

void PgStatement::run()
{
    QVector<const char*> values(m_parameterCount);
    for (int i = 0; i < m_parameterCount; ++i)
        values[i] = m_nulls[i] ? nullptr : m_values[i].constData();
    PGresult* result = m_connection.execute(sql(), [&] { return send(values.constData()); });
    // As SQLite counts them: the rows the last INSERT, UPDATE or DELETE wrote.
    const char* command = libpq().PQcmdStatus(result);
    if (qstrncmp(command, "INSERT", 6) == 0 || qstrncmp(command, "UPDATE", 6) == 0
        || qstrncmp(command, "DELETE", 6) == 0)
        m_connection.noteChanges(std::atoi(libpq().PQcmdTuples(result)));
    m_result = result;
    m_connection.takeNotices();
}

bool PgStatement::step()
{
    if (!m_result) {
        run();
        m_row = 0;
    } else {
        ++m_row;
    }
    return m_row < libpq().PQntuples(m_result);
}

void PgStatement::reset()
{
    libpq().PQclear(m_result);
    m_result = nullptr;
    m_row = -1;
    m_nulls.fill(true);
}

int PgStatement::columnCount() const
{
    return m_result ? libpq().PQnfields(m_result) : 0;
}

bool PgStatement::isNull(int column) const
{
    return libpq().PQgetisnull(m_result, m_row, column) != 0;
}

qint64 PgStatement::columnInt(int column) const
{
    const char* text = libpq().PQgetvalue(m_result, m_row, column);
    if (libpq().PQftype(m_result, column) == kBool)
        return text[0] == 't' ? 1 : 0;
    return std::strtoll(text, nullptr, 10);
}

QString PgStatement::columnText(int column) const
{
    return QString::fromUtf8(libpq().PQgetvalue(m_result, m_row, column), libpq().PQgetlength(m_result, m_row, column));
}

bool PgStatement::isInteger(int column) const
{
    const Oid type = libpq().PQftype(m_result, column);
    return type == kInt8 || type == kInt4 || type == kInt2;
}

QByteArrayView PgStatement::columnUtf8(int column) const
{
    return QByteArrayView(libpq().PQgetvalue(m_result, m_row, column), libpq().PQgetlength(m_result, m_row, column));
}

qint64 PgStatement::columnMoney(int column) const
{
    return unitsOf(libpq().PQgetvalue(m_result, m_row, column));
}

QVariant PgStatement::column(int column) const
{
    if (isNull(column))
        return QVariant();
    const Oid type = libpq().PQftype(m_result, column);
    if (type == kInt8 || type == kInt4 || type == kInt2 || type == kBool)
        return QVariant(columnInt(column));
    if (type == kFloat8 || type == kFloat4)
        return QVariant(std::strtod(libpq().PQgetvalue(m_result, m_row, column), nullptr));
    return QVariant(columnText(column));
}

// ---- PgConnection

PgConnection::PgConnection(const QString& address) : m_shown(shownAddress(address))
{
    // Over the network the server's certificate is checked unless the
    // address chooses a check of its own; a weaker choice is refused.
    if (const QString refused = refusedSecurity(address); !refused.isEmpty())
        throw EngineError(ErrUnreachable, refused);
    // The address goes whole as the database's name, which libpq reads as a
    // URI or a connection string; it gives up after a while on a server
    // that does not answer (the address may say otherwise).
    const QByteArray conninfo = address.trimmed().toUtf8();
    const QByteArray sslmode = defaultSslMode(address);
    const char* keys[] = {"connect_timeout", "dbname", "client_encoding", "fallback_application_name", "sslmode", nullptr};
    const char* values[] = {"10", conninfo.constData(), "UTF8", "ondrel", sslmode.constData(), nullptr};
    if (sslmode.isEmpty())
        keys[4] = nullptr;
    m_conn = libpq().PQconnectdbParams(keys, values, 1);
    if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
        const bool password = libpq().PQconnectionNeedsPassword(m_conn) != 0;
        const QString unreachable = unreachableText(m_shown, QString::fromUtf8(libpq().PQuser(m_conn)),
                                                    QString::fromUtf8(libpq().PQdb(m_conn)));
        libpq().PQfinish(m_conn);
        m_conn = nullptr;
        if (password)
            throw EngineError(ErrUnreachable,
                              QStringLiteral("O servidor da coleção \"%1\" pede uma senha que não foi encontrada ou "
                                             "não confere. O Ulmix lê a senha do arquivo de senhas do PostgreSQL "
                                             "(~/.pgpass) ou do arquivo de serviços (~/.pg_service.conf).")
                                  .arg(m_shown));
        throw EngineError(ErrUnreachable, unreachable);
    }
    // The server's notices ("skipping", in its own language) are no
    // message for a person.
    libpq().PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
    setUpSession();
}

void PgConnection::setUpSession()
{
    // Dates as the windows write them; a record's write waits as long for
    // another desk as a file's does for another program.
    simple("SET datestyle = 'ISO, YMD'; SET lock_timeout = " + QByteArray::number(kStoreWaitMs)
           + "; SET standard_conforming_strings = on; SET ondrel.writer = 'ondrel'");
}

void PgConnection::ensureConnected()
{
    checkOpen();
    if (libpq().PQstatus(m_conn) == CONNECTION_OK)
        return;
    if (m_transaction)
        throw EngineError(ErrUnreachable, lostText(m_shown));
    // The same address, settings and notice processor, on a new session.
    libpq().PQreset(m_conn);
    if (libpq().PQstatus(m_conn) != CONNECTION_OK)
        throw EngineError(ErrUnreachable, lostText(m_shown));
    ++m_generation;
    setUpSession();
    listenAgain();
}

bool PgConnection::mayRunAgain(const QByteArray& sql) const
{
    return libpq().PQstatus(m_conn) != CONNECTION_OK && !m_transaction && harmlessTwice(sql, flavor().lockingRead());
}

void PgConnection::noteTransaction()
{
    if (libpq().PQstatus(m_conn) == CONNECTION_OK)
        m_transaction = libpq().PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}

PgConnection::~PgConnection()
{
    m_watch.reset();
    m_cache.clear();
    if (m_conn)
        libpq().PQfinish(m_conn);
}

const SqlFlavor& PgConnection::flavor() const
{
    static const PgFlavor flavor;
    return flavor;
}

void PgConnection::checkOpen() const
{
    if (!m_conn)
        closed();
}

void PgConnection::fail(PGresult* result, const QByteArray& sql)
{
    const char* state = result ? libpq().PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray code = state ? QByteArray(state) : QByteArray();
    const int number = stateNumber(state);
    libpq().PQclear(result);
    const QString statement = QString::fromUtf8(sql);
    if (libpq().PQstatus(m_conn) != CONNECTION_OK || code.startsWith("08") || code == "57P01" || code == "57P02"
        || code == "57P03") {
        // A write of its own (outside a transaction) may have been done
        // before the answer was lost.
        const bool unknown = !m_transaction && !harmlessTwice(sql, flavor().lockingRead());
        throw EngineError(ErrUnreachable, unknown ? commitUnknownText(m_shown) : lostText(m_shown), number, statement);
    }
    if (code == "23505")
        throw EngineError(ErrDuplicateKey, duplicateKeyText(), number, statement);
    if (code == "55P03" || code == "40P01" || code == "40001")
        throw EngineError(ErrLocked, lockedText(m_shown), number, statement);
    // A user the server does not let read the collection at all (no SELECT
    // on its tables) is told so, not that it is no collection or read-only.
    const QByteArray read = sql.trimmed().left(6).toUpper();
    if (code == "42501" && read == "SELECT" && !sql.contains(flavor().lockingRead()))
        throw EngineError(ErrUnreachable,
                          QStringLiteral("O servidor da coleção \"%1\" recusou ao usuário \"%2\" a leitura do banco "
                                         "de dados \"%3\". Peça ao administrador do servidor o direito de ler a "
                                         "coleção.")
                              .arg(m_shown, QString::fromUtf8(libpq().PQuser(m_conn)),
                                   QString::fromUtf8(libpq().PQdb(m_conn))),
                          number, statement);
    if (code == "25006" || code == "42501")
        throw EngineError(ErrReadOnly,
                          QStringLiteral("Nada foi gravado: este usuário do servidor só pode ler a coleção \"%1\".")
                              .arg(m_shown),
                          number, statement);
    if (code == "22003")
        throw EngineError(ErrGeneric, QStringLiteral("Estouro de capacidade."), number, statement);
    if (code == "22007" || code == "22008" || code == "22P02")
        throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."), number,
                          statement);
    throw EngineError(ErrGeneric,
                      QStringLiteral("Erro do servidor da coleção \"%1\" (código %2).")
                          .arg(m_shown, QString::fromLatin1(code.isEmpty() ? QByteArray("?") : code)),
                      number, statement);
}

void PgConnection::noteChanges(int rows)
{
    m_changes = rows;
    m_totalChanges += rows;
}

PGresult* PgConnection::execute(const QByteArray& sql, const std::function<PGresult*()>& send)
{
    const auto succeeded = [](PGresult* result) {
        const ExecStatusType status = libpq().PQresultStatus(result);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    };
    ensureConnected();
    PGresult* result = send();
    if (!succeeded(result) && mayRunAgain(sql)) {
        libpq().PQclear(result);
        ensureConnected();
        result = send();
    }
    noteTransaction();
    if (!succeeded(result))
        fail(result, sql);
    return result;
}

void PgConnection::simple(const QByteArray& sql)
{
    libpq().PQclear(execute(sql, [&] { return libpq().PQexec(m_conn, sql.constData()); }));
    takeNotices();
}

void PgConnection::exec(const QString& sql)
{
    simple(sql.toUtf8());
}

Statement& PgConnection::cached(const QByteArray& sql)
{
    checkOpen();
    auto it = m_cache.find(sql);
    if (it == m_cache.end())
        it = m_cache.insert(sql, std::make_shared<PgStatement>(*this, sql, "ondrel_" + QByteArray::number(++m_nextName)));
    return **it;
}

std::unique_ptr<Statement> PgConnection::prepare(const QByteArray& sql)
{
    checkOpen();
    return std::make_unique<PgStatement>(*this, sql, QByteArray());
}

QPair<qint64, qint64> PgConnection::fileVersion()
{
    // Every desk's and program's writes are counted by the ledger's
    // triggers.
    Statement& st = cached("SELECT coalesce(sum(changes), 0) FROM ondrel_changes");
    ScopedRun run(st);
    return {run->step() ? run->columnInt(0) : 0, m_totalChanges};
}

void PgConnection::begin(Wait wait)
{
    QByteArray sql = "BEGIN";
    if (wait == Wait::NoWait)
        sql += "; SET LOCAL lock_timeout = 1";
    if (m_relaxed)
        sql += "; SET LOCAL synchronous_commit = off";
    simple(sql);
}

void PgConnection::commit()
{
    checkOpen();
    // A connection lost before the COMMIT went out took the transaction
    // with it; one lost while waiting for the answer leaves it unknown.
    const bool wasUp = libpq().PQstatus(m_conn) == CONNECTION_OK;
    PGresult* result = libpq().PQexec(m_conn, "COMMIT");
    m_transaction = false;
    if (libpq().PQresultStatus(result) != PGRES_COMMAND_OK) {
        if (wasUp && libpq().PQstatus(m_conn) != CONNECTION_OK) {
            libpq().PQclear(result);
            throw EngineError(ErrUnreachable, commitUnknownText(m_shown), 0, QStringLiteral("COMMIT"));
        }
        fail(result, "COMMIT");
    }
    // A transaction a failed statement ended commits nothing.
    const bool rolledBack = qstrcmp(libpq().PQcmdStatus(result), "ROLLBACK") == 0;
    libpq().PQclear(result);
    takeNotices();
    if (rolledBack)
        throw EngineError(ErrGeneric, lostText(m_shown), 0, QStringLiteral("COMMIT"));
}

void PgConnection::rollback() noexcept
{
    // On a lost connection the server has rolled it back already.
    if (m_conn && libpq().PQstatus(m_conn) == CONNECTION_OK && libpq().PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        libpq().PQclear(libpq().PQexec(m_conn, "ROLLBACK"));
    m_transaction = false;
}

bool PgConnection::inTransaction() const
{
    return m_conn && m_transaction;
}

void PgConnection::beginSnapshot()
{
    simple("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY");
}

void PgConnection::endSnapshot() noexcept
{
    rollback();
}

bool PgConnection::hasSchemaObject(const QString& name)
{
    const std::unique_ptr<Statement> st =
        prepare("SELECT 1 FROM pg_class WHERE relname = ? AND pg_table_is_visible(oid) UNION ALL "
                "SELECT 1 FROM pg_trigger WHERE tgname = ?");
    ScopedRun run(*st);
    run->bindText(1, name);
    run->bindText(2, name);
    return run->step();
}

QStringList PgConnection::columnsOf(const QString& table)
{
    QStringList names;
    const std::unique_ptr<Statement> st =
        prepare("SELECT a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid WHERE c.relname = ? AND "
                "pg_table_is_visible(c.oid) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
    ScopedRun run(*st);
    run->bindText(1, table);
    while (run->step())
        names.append(run->columnText(0));
    return names;
}

QStringList PgConnection::leadingIndexColumns(const TableInfo& table)
{
    // Only an ordered (btree) index serves a sort.
    QStringList leading;
    const std::unique_ptr<Statement> st = prepare(
        "SELECT a.attname FROM pg_index i JOIN pg_class t ON t.oid = i.indrelid JOIN pg_class x ON x.oid = "
        "i.indexrelid JOIN pg_am m ON m.oid = x.relam JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = "
        "i.indkey[0] WHERE t.relname = ? AND pg_table_is_visible(t.oid) AND m.amname = 'btree'");
    ScopedRun run(*st);
    run->bindText(1, table.name);
    while (run->step())
        leading.append(run->columnText(0).toCaseFolded());
    return leading;
}

bool PgConnection::keepQueriesPerDesk()
{
    if (columnsOf(QStringLiteral("ondrel_queries")).contains(QStringLiteral("desk"), Qt::CaseInsensitive))
        return true;
    try {
        // Two desks opening it at once: the second finds the column made.
        Transaction tx(*this);
        // Never long behind another desk's copy reading the table.
        simple("SET LOCAL lock_timeout = '5s'");
        simple("LOCK TABLE ondrel_queries IN ACCESS EXCLUSIVE MODE");
        if (!columnsOf(QStringLiteral("ondrel_queries")).contains(QStringLiteral("desk"), Qt::CaseInsensitive)) {
            simple("ALTER TABLE ondrel_queries ADD COLUMN desk text COLLATE \"C\" NOT NULL DEFAULT ''");
            simple("DROP INDEX IF EXISTS ondrel_queries_name");
            simple("ALTER TABLE ondrel_queries ADD PRIMARY KEY (desk, name)");
            simple("CREATE UNIQUE INDEX ondrel_queries_desk_name ON ondrel_queries (desk, lower(name))");
        }
        tx.commit();
    } catch (const EngineError& e) {
        if (e.number() != ErrReadOnly && e.number() != ErrLocked)
            throw;
        return false;
    }
    return true;
}

bool PgConnection::isEmptyDatabase()
{
    const std::unique_ptr<Statement> st =
        prepare("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname NOT "
                "IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg_toast%' AND c.relkind IN ('r', "
                "'v', 'm', 'p', 'f', 'S')");
    ScopedRun run(*st);
    return run->step() && run->columnInt(0) == 0;
}

void PgConnection::createSchema(const Schema& schema)
{
    const QVector<TableInfo> tables = createTables(schema);
    createIndexes(schema);
    createLedger(tables);
}

QVector<TableInfo> PgConnection::createTables(const Schema& schema)
{
    // Every text field gets a folded key: the server has no fold of ours to
    // compare by on the fly (ondrel_fold below is the fallback for what
    // another program writes).
    QVector<TableInfo> tables = schema.tables();
    for (TableInfo& t : tables)
        for (FieldInfo& f : t.fields)
            if ((f.type == FieldType::Text || f.type == FieldType::Memo) && f.keyColumn.isEmpty())
                f.keyColumn = keyColumnFor(f);
    simple("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    exec(foldFunctionSql());
    for (const TableInfo& t : tables) {
        QByteArrayList columns;
        const bool counted = std::any_of(t.fields.cbegin(), t.fields.cend(),
                                         [](const FieldInfo& f) { return f.type == FieldType::Counter; });
        if (!counted)
            columns.append("ondrel_id bigint PRIMARY KEY");
        for (const FieldInfo& f : t.fields)
            columns.append(f.column() + ' ' + flavor().columnType(f));
        for (const FieldInfo& f : t.fields)
            if (!f.keyColumn.isEmpty())
                columns.append(f.keyColumnSql() + " text COLLATE \"C\"");
        simple("CREATE TABLE " + t.sqlName() + " (" + columns.join(", ") + ")");
    }
    simple("CREATE TABLE ondrel_meta (key text COLLATE \"C\" PRIMARY KEY, value text)");
    simple("CREATE TABLE ondrel_fields (tbl text NOT NULL, position integer NOT NULL, name text NOT NULL, type text "
           "NOT NULL, size integer NOT NULL, key_column text, PRIMARY KEY (tbl, position))");
    // A stored query is a desk's ("pesquisa", "Imprime") or every desk's
    // (desk "").
    simple("CREATE TABLE ondrel_queries (desk text COLLATE \"C\" NOT NULL DEFAULT '', name text COLLATE \"C\" NOT "
           "NULL, sql text NOT NULL, PRIMARY KEY (desk, name))");
    simple("CREATE UNIQUE INDEX ondrel_queries_desk_name ON ondrel_queries (desk, lower(name))");
    Statement& insert = cached("INSERT INTO ondrel_fields VALUES (?, ?, ?, ?, ?, ?)");
    for (const TableInfo& t : tables) {
        for (int i = 0; i < t.fields.size(); ++i) {
            const FieldInfo& f = t.fields[i];
            static const char* const types[] = {"text", "memo", "date", "currency", "counter"};
            ScopedRun run(insert);
            run->bindText(1, t.name);
            run->bindInt(2, i);
            run->bindText(3, f.name);
            run->bindText(4, QString::fromLatin1(types[int(f.type)]));
            run->bindInt(5, f.size);
            run->bind(6, f.keyColumn.isEmpty() ? QVariant() : QVariant(f.keyColumn));
            run->step();
        }
    }
    return tables;
}

void PgConnection::createIndexes(const Schema& schema)
{
    // The indexes of the orders (an empty key first, then the row id, as the
    // record sets read them) and the trigram index of the searched keys.
    simple("CREATE UNIQUE INDEX objetos_cod ON objetos (cod_chave)");
    simple("CREATE INDEX objetos_cod_ordem ON objetos (cod_chave NULLS FIRST, ondrel_id)");
    simple("CREATE INDEX objetos_titulo ON objetos (titulo_chave NULLS FIRST, ondrel_id)");
    simple("CREATE INDEX objetos_autor ON objetos (autor_chave NULLS FIRST, ondrel_id)");
    simple("CREATE INDEX objetos_assunto ON objetos (assunto_chave NULLS FIRST, ondrel_id)");
    simple("CREATE INDEX emprestimos_codobjeto ON \"empréstimos\" (codobjeto_chave NULLS FIRST, \"Data\" NULLS FIRST, cod)");
    simple("CREATE INDEX emprestimos_data ON \"empréstimos\" (\"Data\" NULLS FIRST, cod)");
    addLaterIndexes();
    addChangeNotices();
    for (const TableInfo& t : schema.tables()) {
        if (t.searchIndex.isEmpty())
            continue;
        QByteArrayList keys;
        for (const FieldInfo& f : t.fields)
            if (f.searched)
                keys.append(f.keyColumnSql() + " gin_trgm_ops");
        simple("CREATE INDEX " + quoteIdentifier(t.searchIndex) + " ON " + t.sqlName() + " USING gin (" + keys.join(", ")
               + ")");
    }
}

void PgConnection::addLaterIndexes()
{
    addPictureTables(*this);
    // The loans by their exact state: the loans out ("Não") found among
    // millions for the late loans.
    if (!hasSchemaObject(QStringLiteral("emprestimos_entregue")))
        simple("CREATE INDEX emprestimos_entregue ON \"empréstimos\" (\"Entregue\")");
}

void PgConnection::createLedger(const QVector<TableInfo>& tables)
{
    // The change ledger, counted by triggers whoever writes (a TRUNCATE
    // too); the engine notes beside it up to which change the keys, the
    // count and the total are right. What another program writes gets its
    // keys from the server's fold (a trigger before the write), so the keys
    // stay usable: the ledger notes them right at once.
    simple("CREATE TABLE ondrel_changes (tbl text PRIMARY KEY, changes bigint NOT NULL DEFAULT 0, keyed bigint, "
           "counted bigint, records bigint, total numeric)");
    simple("CREATE TABLE ondrel_blocks (tbl text NOT NULL, block bigint NOT NULL, records bigint NOT NULL, "
           "PRIMARY KEY (tbl, block))");
    simple("CREATE OR REPLACE FUNCTION ondrel_count_change() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN UPDATE ondrel_changes "
           "SET changes = changes + 1, keyed = CASE WHEN keyed = changes AND " + QByteArray(kForeignWriter)
           + " THEN changes + 1 ELSE keyed END WHERE tbl = TG_ARGV[0]; RETURN NULL; END $f$");
    for (const TableInfo& t : tables) {
        const QByteArray name = "'" + literal(t.name).toUtf8() + "'";
        const QByteArray ascii = foldText(t.name).toUtf8();
        simple("INSERT INTO ondrel_changes (tbl) VALUES (" + name + ")");
        QByteArray keys;
        for (const FieldInfo& f : t.fields)
            if (!f.keyColumn.isEmpty())
                keys += "NEW." + f.keyColumnSql() + " := ondrel_fold(NEW." + f.column() + "); ";
        simple("CREATE OR REPLACE FUNCTION ondrel_" + ascii + "_keys() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF "
               + kForeignWriter + " THEN " + keys + "END IF; RETURN NEW; END $f$");
        simple("CREATE TRIGGER ondrel_" + ascii + "_keys BEFORE INSERT OR UPDATE ON " + t.sqlName()
               + " FOR EACH ROW EXECUTE FUNCTION ondrel_" + ascii + "_keys()");
        for (const char* change : {"insert", "update", "delete"})
            simple("CREATE TRIGGER ondrel_" + ascii + '_' + change + " AFTER " + QByteArray(change).toUpper() + " ON "
                   + t.sqlName() + " FOR EACH ROW EXECUTE FUNCTION ondrel_count_change(" + name + ")");
        simple("CREATE TRIGGER ondrel_" + ascii + "_truncate AFTER TRUNCATE ON " + t.sqlName()
               + " FOR EACH STATEMENT EXECUTE FUNCTION ondrel_count_change(" + name + ")");
        createBlocks(t);
    }
    // Empty tables: every key, count and total is right as it stands.
    simple("UPDATE ondrel_changes SET keyed = changes, counted = changes, records = 0, total = 0");
}

void PgConnection::createBlocks(const TableInfo& t)
{
    // The records of each block of 1 << kBlockShift row ids, kept by
    // triggers whoever writes, as in a file; counted from the rows the
    // table holds now.
    const QByteArray name = "'" + literal(t.name).toUtf8() + "'";
    const QByteArray id = flavor().rowid(t);
    const QByteArray shift = QByteArray::number(kBlockShift);
    const QByteArray out = "UPDATE ondrel_blocks SET records = records - 1 WHERE tbl = " + name + " AND block = OLD."
        + id + " >> " + shift + "; ";
    const QByteArray in = "INSERT INTO ondrel_blocks (tbl, block, records) VALUES (" + name + ", NEW." + id + " >> "
        + shift + ", 1) ON CONFLICT (tbl, block) DO UPDATE SET records = ondrel_blocks.records + 1; ";
    struct Change {
        const char* change;
        QByteArray body;
        const char* when;
    };
    const Change changes[] = {{"insert", in, ""},
                              {"delete", out, ""},
                              {"update", out + in, " WHEN (OLD." + id + " <> NEW." + id + ")"}};
    for (const Change& c : changes) {
        const QByteArray trigger = blockTriggerName(t, c.change).toUtf8();
        simple("CREATE OR REPLACE FUNCTION " + trigger + "() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN " + c.body
               + "RETURN NULL; END $f$");
        simple("CREATE TRIGGER " + trigger + " AFTER " + QByteArray(c.change).toUpper() + " ON " + t.sqlName()
               + " FOR EACH ROW" + c.when + " EXECUTE FUNCTION " + trigger + "()");
    }
    simple("CREATE OR REPLACE FUNCTION " + blockTriggerName(t, "truncate").toUtf8()
           + "() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN DELETE FROM ondrel_blocks WHERE tbl = " + name
           + "; RETURN NULL; END $f$");
    simple("CREATE TRIGGER " + blockTriggerName(t, "truncate").toUtf8() + " AFTER TRUNCATE ON " + t.sqlName()
           + " FOR EACH STATEMENT EXECUTE FUNCTION " + blockTriggerName(t, "truncate").toUtf8() + "()");
    simple("DELETE FROM ondrel_blocks WHERE tbl = " + name);
    simple("INSERT INTO ondrel_blocks (tbl, block, records) SELECT " + name + ", " + id + " >> " + shift
           + ", count(*) FROM " + t.sqlName() + " GROUP BY " + id + " >> " + shift);
}

void PgConnection::copyIn(const QByteArray& sql, const std::function<bool(QByteArray&)>& next)
{
    checkOpen();
    PGresult* started = libpq().PQexec(m_conn, sql.constData());
    if (libpq().PQresultStatus(started) != PGRES_COPY_IN)
        fail(started, sql);
    libpq().PQclear(started);
    QByteArray chunk;
    bool more = true;
    while (more) {
        chunk.clear();
        more = next(chunk);
        if (!chunk.isEmpty() && libpq().PQputCopyData(m_conn, chunk.constData(), int(chunk.size())) != 1)
            break;
    }
    libpq().PQputCopyEnd(m_conn, more ? "interrompida" : nullptr);
    PGresult* result = libpq().PQgetResult(m_conn);
    while (PGresult* rest = libpq().PQgetResult(m_conn))
        libpq().PQclear(rest);
    if (libpq().PQresultStatus(result) != PGRES_COMMAND_OK)
        fail(result, sql);
    libpq().PQclear(result);
}

void PgConnection::checkpointAndClose()
{
    if (!m_conn)
        return;
    m_watch.reset();
    m_cache.clear();
    libpq().PQfinish(m_conn);
    m_conn = nullptr;
}

}  // namespace ondrel::db
