#pragma once

#include "engineerror.h"
#include "recordset.h"
#include "serverpictures.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;

namespace ondrel::db {

class Connection;  // owns the sqlite3 handle and its prepared-statement cache
class Schema;      // the tables and fields, read from the file's metadata
class TranslationCache;
struct SelectPlan;
struct SqlExpr;
struct TableInfo;

// Makes a text safe to paste between single quotes of a statement or a
// criteria text: every ' becomes ''. The statement texts stay otherwise exactly
// as the windows write them.
QString literal(const QString& value);

// Folds a text the way the engine compares text: case and accents ignored
// ("Não" == "não" == "NAO"). Used for the unique code key and comparisons.
QString foldText(const QString& text);

// Why a file cannot be opened as a collection.
enum class FileProblem {
    None,
    Missing,         // no file at that path
    Unreadable,      // the file cannot be read (permissions)
    NotACollection,  // empty, not SQLite, or SQLite without our verifier
    NotAFile,        // a folder, a FIFO, a device: never opened
    WrongPassword,   // a collection whose verifier refuses the password
    Damaged,         // a collection whose contents are damaged
    Locked,          // another program keeps it from being read
    Unreachable,     // the server that keeps it cannot be reached, or refused the connection
};

struct FileCheck {
    FileProblem problem = FileProblem::None;
    bool readOnly = false;  // opens, but cannot be written by this process
    QString description;    // the engine's description of the problem
};

// The problem an error of Database::open() stands for.
FileProblem problemOf(const EngineError& error);

// A sentence in Portuguese for a person, naming the file and why it cannot
// be opened; empty for a missing file and for no problem. For a server that
// was not reached, `told` (the engine's description, which names the user
// and the database, or the address's refused sslmode) says why.
QString describeProblem(const QString& path, FileProblem problem, const QString& told = QString());

// Notes a collection file keeps about itself beside its records (its
// format, its identity, which collection a copy was made of), in plain rows
// of its table ondrel_meta that the sqlite3 tool reads and writes; empty
// when the file has no such note.
inline constexpr char kIdentityNote[] = "identity";
QString fileNote(Connection& c, const QString& key);
void setFileNote(Connection& c, const QString& key, const QString& value);
// A new collection identity, unlike any other.
QString newIdentity();

// The desk this process works at: on a collection on a server, "pesquisa"
// and "Imprime" are kept per desk (each desk sees and writes only its own),
// as the catalogue, its loan display and its listing each follow what this
// desk shows. The source is asked for the desk's key at every open of a
// server's collection; without one the desk's key is "" (one desk). A
// collection file keeps its stored queries as they are.
void setDeskSource(std::function<QString()> source);
// Whether a stored query of this name is kept per desk on a server.
bool keptPerDesk(const QString& queryName);

// The process may write any file (root): tests force the read-only open of a
// path they name, as a person without write access gets it.
void forceReadOnlyOpen(const QString& path, bool force);

// The index build of Database::buildIndexes() on a thread of its own, for
// the collection the catalogue has just shown: the windows never wait for
// it, and use the new keys once it has committed. One build at a time; a
// read-only, locked or unusable file is left alone; never throws. Returns
// whether a build started.
bool startBuildingIndexes(const QString& path, const QString& connect);
// Whether the build started last is still under way.
bool buildingIndexes();
// Waits for the build under way; `cancel` stops it, rolling it back
// (every end of the process).
void finishBuildingIndexes(bool cancel);

// A handle on one collection: a database file, or a database on a
// PostgreSQL server (`path` is then the server's address, see address.h).
// Every window opens its own. Non-copyable; record sets and stored-query
// handles keep the connection alive through a shared pointer.
class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing file with a connect string such as ";pwd=7Borel3".
    // Never creates a file. A file or folder this process cannot write is
    // opened read-only, leaving nothing beside it. Throws EngineError: missing
    // file (ErrFileNotFound), unreadable (ErrUnreadable), wrong or missing
    // password (ErrBadPassword), not a collection (ErrNotADatabase), damaged
    // (ErrDamaged); problemOf() names them. A server's database is opened with
    // the server's own authentication (the connect string is not used); a
    // server that cannot be reached or refuses the connection throws
    // ErrUnreachable.
    static std::shared_ptr<Database> open(const QString& path, const QString& connect);
    // Opens a file as open() does but writes nothing into it, not even the
    // identity a file of an earlier format lacks (a copy being read).
    static std::shared_ptr<Database> read(const QString& path, const QString& connect);

    // Whether the file opens as a collection, opening it and closing it
    // again: nothing is written into it. `thorough` also
    // reads every page (slow on a large file).
    static FileCheck check(const QString& path, const QString& connect, bool thorough = false);

    // Creates a new collection database with the full schema and the
    // password verifier, and lets `fill` write into it. It is built under a
    // temporary name in the same folder and renamed into place only when
    // complete, so an interrupted creation never leaves a file at `path`.
    // Fails if the file exists. On a server the database must be empty; it
    // is a collection once its contents are complete.
    static void create(const QString& path, const QString& password,
                       const std::function<void(const QString& file)>& fill = {});

    // Gives the file what a file of this format holds besides the records
    // and keeps it in step: the folded keys of the text fields, the indexes
    // of the four catalogue orders, the trigram search index of the objects
    // and the change ledger with the count and total of each table. A file
    // of an earlier format gains them, and keys another program left out of
    // step are written again, in one transaction on a connection of its own
    // (tens of seconds for a million objects; the windows meanwhile read as
    // before, and their saves wait for the file's lock). Nothing to do takes
    // a few reads. `cancel` stops it, rolled back. Throws EngineError
    // (ErrLocked when another writer holds the file; a read-only file is no
    // error and is left alone).
    static void buildIndexes(const QString& path, const QString& connect,
                             const std::atomic<bool>* cancel = nullptr);

    // Copies the collection file `file` into the empty database of a server
    // at `address`, in one transaction: every record with its row id, the
    // stored queries, and what the server keeps besides (keys, indexes, the
    // change ledger with the count and total). The count and the total of
    // each table are checked against the file's before it commits.
    // The pictures whose files can be read here go too (once per content);
    // returns the objects whose picture file cannot be read, not copied.
    static QVector<PictureOutOfReach> copyToServer(const QString& file, const QString& connect, const QString& address);
    // Copies a collection (a file, or a server's database) into the new
    // collection file `file`, created as create() creates one: every record
    // of one state of the collection, in its table's order, the loans with
    // their numbers, and the stored queries. The count and the total of each
    // table are checked against the collection's before the file is put in
    // place. `cancel` stops it between batches of records (ErrGeneric),
    // leaving no file.
    static void copyToFile(const QString& source, const QString& connect, const QString& file,
                           const std::atomic<bool>* cancel = nullptr);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const;
    // The collection's identity: written when it is created, the same in
    // every copy of it; a collection of an earlier format gets one the first
    // time it is opened for writing. Empty for a file that has none yet and
    // was opened read-only.
    QString identity() const;
    // A note of the file at `path` (kIdentityNote…) read without opening it
    // as a collection, also from one that no longer opens as such (a damaged
    // one); empty when none can be read.
    static QString noteOf(const QString& path, const char* key);
    // Opened read-only: every write fails with ErrReadOnly, and the stored
    // queries written during the run live in memory.
    bool readOnly() const;
    // What a person should be told once about where the collection lies (a
    // file in a network folder, opened without WAL); empty when nothing.
    QString openingNotice() const;

    // A table name, a select statement in the collection's dialect, or the
    // name of a stored query.
    std::shared_ptr<Recordset> openRecordset(const QString& source, RecordsetType type = RecordsetType::Dynaset);

    // The number of records of a table as the file holds it now, whoever
    // wrote them. Counted again only when the table changed.
    qint64 countRecords(const QString& table);
    // The sum of a currency field over the records of a statement, a table
    // or a stored query, as a pass over them reading the field would add it
    // (an empty value adds nothing). A sum past the currency range is an
    // error (ErrGeneric), never a wrapped one. The sum over a whole table is
    // added again only when the table changed.
    qint64 sumField(const QString& source, const QString& field);

    // The number of records of a table whose row id is below `rowid`, from
    // the counts the file keeps per block of row ids: a sum of a few
    // thousand blocks and a count within one. None when the file keeps no
    // such counts or they do not match the table's count now; the caller
    // then counts the records itself.
    std::optional<qint64> recordsBefore(const TableInfo& table, qint64 rowid);

    // A number that stays the same while the table stays as it is, and
    // differs once any handle or program has written it.
    qint64 tableVersion(const TableInfo& table);
    // Takes in what the file now holds besides the records (a build of the
    // indexes committed meanwhile) and whether the table's folded keys and
    // search index match its rows; translations relying on keys that no
    // longer match are dropped. Cheap when nothing was written.
    void refreshFileState();

    // Stored queries. Writing one always takes three steps: delete (a missing
    // one is no error), create by name, set its text; writeQueryDef() takes
    // them in one transaction, so a killed process leaves the old or the new
    // query, never an empty one. A stored-query write never waits for
    // another program: when the file cannot be written at once (locked or
    // read-only) the query is kept in memory for the rest of the run, for
    // every handle of the process on the same file, and read from there.
    void writeQueryDef(const QString& name, const QString& sql);
    void deleteQueryDef(const QString& name);
    void createQueryDef(const QString& name, const QString& sql = QString());
    void setQueryDefSql(const QString& name, const QString& sql);
    bool hasQueryDef(const QString& name) const;
    QString queryDefSql(const QString& name) const;  // throws ErrNoSuchObject
    // Makes this handle work at another desk than the process's (a second
    // desk in one process, as the tests and the load run have).
    void useDesk(const QString& desk);

    // A value the collection keeps for every handle and every desk that uses
    // it (a setting of the collection itself), or "" when none was set.
    QString collectionValue(const QString& key) const;
    // Keeps a value in the collection, in a record's transaction: it waits
    // for another writer as a save does (ErrLocked after the wait), and a
    // read-only file refuses it (ErrReadOnly).
    void setCollectionValue(const QString& key, const QString& value);

    // Calls `told`, from this thread's event loop, within a moment of a
    // change another desk or program committed to the objects or the loans
    // (a burst of them told once); an empty function stops it. The windows
    // of a collection file are never told: they see others' changes at the
    // next move.
    void whenOthersChange(std::function<void()> told);
    // What an object's save stores besides its record, in two steps around
    // its transaction: before it, the content of the picture its path now
    // names (on a server, once per content; a file keeps only the path), and
    // inside it, which content is the object's picture. Unset when the save
    // leaves the path as it was.
    std::optional<QString> storePictureOf(const TableInfo& table, const QVector<int>& fields,
                                          const QVector<QVariant>& values);
    void linkPictureOf(const TableInfo& table, qint64 rowid, const std::optional<QString>& picture);
    // The file the picture of an object is shown from, given by the function
    // returned, which may take a while and runs off the window's thread: the
    // path itself in a collection file; from a server, this computer's copy
    // of the picture stored with the object (fetched once), or the path when
    // none is stored.
    std::function<QString()> pictureSource(const QString& code, const QString& path) const;

    // Executes an action statement written in the engine's own SQL (used by the
    // creation and demo code and tests only; windows never call it).
    void executeNative(const QString& sql);

    Connection& connection() const;
    const Schema& schema() const;

    // The dialect translated for this file's schema; the texts used last are
    // kept translated. Throws EngineError for a text outside the dialect.
    SelectPlan translateSelect(const QString& statement);
    SqlExpr translateCriteria(const QString& criteria, const TableInfo& table);

private:
    struct OpenedFile;
    // A table's count and the sum of its currency field, and the table's
    // version they were taken at.
    struct Tally {
        qint64 version = 0;
        qint64 records = 0;
        std::optional<qint64> total;  // none: past the currency range
    };
    const Tally& tally(const TableInfo& table);
    // What a table, a select statement or a stored query is opened on.
    SelectPlan planFor(const QString& source);
    explicit Database(OpenedFile opened);
    static OpenedFile openFile(const QString& path, const QString& connect, bool forceReadOnly);
    static OpenedFile openServer(const QString& address);
    static void createOnServer(const QString& address, const std::function<void(const QString&)>& fill);
    std::optional<QString> storedQuerySql(const QString& name) const;
    // The names of the stored queries this desk sees.
    QStringList storedQueryNames() const;
    // The desk whose row of ondrel_queries holds `name`; none in a file.
    std::optional<QString> deskOf(const QString& name) const;
    // Runs a stored-query change on the file, or keeps `inMemory` (nullopt:
    // deleted) for the run when the file cannot be written at once.
    void changeStoredQuery(const QString& name, const std::function<void()>& onFile,
                           const std::optional<QString>& inMemory);

    std::shared_ptr<void> m_privateCopy;  // a read-only file's journal, read from a private copy
    QString m_path;
    QString m_key;  // the file's key for the stored queries kept in memory
    std::optional<QString> m_desk;  // on a server whose stored queries are kept per desk
    QString m_identity;
    bool m_readOnly = false;
    QString m_notice;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Schema> m_schema;
    std::unique_ptr<TranslationCache> m_translations;
    QHash<QString, Tally> m_tallies;
    std::optional<QPair<qint64, qint64>> m_stateAt;  // the file's version the state was read at
    qint64 m_schemaVersion = 0;
};

// A stored-query handle as the windows keep it (ConsultaPesquisa,
// ConsultaImprime).
struct QueryDef {
    std::shared_ptr<Database> database;
    QString name;
    void setSql(const QString& sql) const { database->setQueryDefSql(name, sql); }
    QString sql() const { return database->queryDefSql(name); }
};

}  // namespace ondrel::db
