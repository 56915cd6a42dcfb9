#pragma once

#include "collection/collection.h"
#include "collection_testutil.h"
#include "database/address.h"
#include "database/database.h"
#include "database/engineerror.h"
#include "pgserver_testutil.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <functional>
#include <sqlite3.h>

namespace testutil {

// The store the engine's tests run on: the collection file, or (ctest runs
// each engine test a second time with ONDREL_TEST_STORE=postgresql) a
// database on a PostgreSQL server of the test's own.
inline bool onServer()
{
    return qgetenv("ONDREL_TEST_STORE") == "postgresql";
}

// Where a new collection of the store under test goes: a file in `folder`,
// or a new database on the test's server.
inline QString newCollectionPlace(const QString& folder)
{
    if (!onServer())
        return collectionFile(folder);
    PgServer& server = PgServer::instance();
    if (!server.failure().isEmpty())
        qFatal("%s", qPrintable(server.failure()));
    return server.createDatabase();
}

// A fresh collection in a temporary folder (or on the test's server), empty
// or of another shape. `path` is the file, or the server database's address.
struct TempCollection {
    QTemporaryDir dir;
    QString path = newCollectionPlace(dir.path());
    explicit TempCollection(Collection shape = Collection::Empty) { createCollection(path, shape); }
    // A collection `make` creates at `path` (generateBenchData, say).
    explicit TempCollection(const std::function<void(const QString& path)>& make) { make(path); }
    std::shared_ptr<ondrel::db::Database> open() const { return openCollection(path); }
};

// An amount as a native statement of the store under test writes it:
// ten-thousandths in a file, a number of four decimals on a server.
inline QString storedAmount(qint64 units)
{
    if (!onServer())
        return QString::number(units);
    return QString::number(units / 10000) + u'.' + QStringLiteral("%1").arg(units % 10000, 4, 10, QChar(u'0'));
}

// Another program holding the file's write lock (the sqlite3 tool in a
// "begin exclusive" it has not ended).
class OtherWriter {
public:
    explicit OtherWriter(const QString& path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        m_locked = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtherWriter()
    {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;
    bool locked() const { return m_locked; }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
};

// Damages a collection file as a failing disk would: the pages of the tables
// overwritten, past the header and the verifier.
inline bool damagePages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    file.seek(size / 2);
    return file.write(QByteArray(int(size - size / 2), '\xff')) == size - size / 2;
}

// The bytes of a file, as one hash.
inline QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

// Reads the file the way the sqlite3 tool does (or the server's database as
// psql does): no functions of ours.
inline QString plainQuery(const QString& path, const char* sql)
{
    if (ondrel::db::isServerAddress(path)) {
        // The objects' row id is a column of its own there.
        QByteArray text(sql);
        text.replace("rowid", "ondrel_id");
        QStringList rows;
        const QString error = PgServer::instance().run(path, text, &rows);
        return error.isEmpty() ? rows.join(u'\n').trimmed() : QStringLiteral("query failed: ") + error;
    }
    sqlite3* db = nullptr;
    QString out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + u'\n';
        } else {
            out = QStringLiteral("prepare failed: ") + QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out.trimmed();
}

// Writes the file the way the sqlite3 tool does (or the server's database as
// psql does): no functions of ours. Returns the store's message when it
// fails.
inline QString plainExec(const QString& path, const QByteArray& sql)
{
    if (ondrel::db::isServerAddress(path))
        return PgServer::instance().run(path, QByteArray(sql).replace("rowid", "ondrel_id"));
    sqlite3* db = nullptr;
    char* error = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    const QString message = rc == SQLITE_OK ? QString() : QString::fromUtf8(error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return message;
}

// Makes a collection (a file or a server's) as it was before the loans had a
// due date: no column "prazo", no line for it in the metadata, no index of
// the loans' state. "" or the store's message.
inline QString dropDueDates(const QString& path)
{
    return plainExec(path, "DROP INDEX IF EXISTS emprestimos_entregue; ALTER TABLE \"empréstimos\" DROP COLUMN prazo; "
                           "DELETE FROM ondrel_fields WHERE name = 'prazo'");
}

// A handle that may only read the collection: the file opened read-only, or
// the server's database through a user granted nothing but reads.
inline std::shared_ptr<ondrel::db::Database> openReadOnly(const QString& path)
{
    if (!ondrel::db::isServerAddress(path)) {
        ondrel::db::forceReadOnlyOpen(path, true);
        auto database = openCollection(path);
        ondrel::db::forceReadOnlyOpen(path, false);
        return database;
    }
    const QString error = plainExec(path, "DO $$ BEGIN CREATE ROLE leitor LOGIN; EXCEPTION WHEN duplicate_object THEN "
                                          "NULL; END $$; GRANT SELECT ON ALL TABLES IN SCHEMA public TO leitor");
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return openCollection(path + QStringLiteral(" user=leitor"));
}

// Everything a person keeps in the file: every object and every loan.
inline QString everyRow(const QString& path)
{
    return plainQuery(path, "SELECT cod || '|' || \"Título\" FROM objetos ORDER BY cod") + u'\n'
        + plainQuery(path, "SELECT cod || '|' || \"Nome\" FROM \"empréstimos\" ORDER BY cod");
}

// The engine error number an action fails with, 0 when it succeeds.
inline int errorNumber(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ondrel::db::EngineError& e) {
        return e.number();
    }
    return 0;
}

// Adds an object through a dynaset: fields given as (name, typed text).
inline void addRecord(ondrel::db::Recordset& rs, const QList<QPair<QString, QString>>& values)
{
    rs.addNew();
    for (const auto& [field, text] : values)
        rs.setText(field, text);
    rs.update();
}

// Every value of one field, first to last, as a loop over the set reads it.
inline QStringList column(ondrel::db::Recordset& rs, const QString& field)
{
    QStringList out;
    if (rs.keyCount() == 0)
        return out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out.append(rs.text(field));
    return out;
}

}  // namespace testutil
