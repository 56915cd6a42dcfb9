#pragma once

#include <QString>
#include <stdexcept>

namespace ondrel::db {

// Error numbers the windows look at; every other failure carries its own
// readable description and one of the generic numbers below.
enum EngineErrorNumber : int {
    ErrGeneric = 3000,
    ErrNoCurrentRecord = 3021,  // "Nenhum registro atual."
    ErrDuplicateKey = 3022,     // duplicate value in the unique index on cod
    ErrSyntax = 3075,           // statement or criteria outside the dialect
    ErrNoSuchObject = 3078,     // table or stored query not found
    ErrFileNotFound = 3024,     // database file missing
    ErrBadPassword = 3031,      // wrong or missing password
    ErrNotADatabase = 3343,     // file is not a collection database
    ErrDamaged = 3049,          // a collection database whose pages are damaged
    ErrUnreadable = 3051,       // the file cannot be read (permission)
    ErrNotAFile = 3044,         // the path is a folder, a FIFO, a device: not a file
    ErrNoPendingUpdate = 3020,  // update/cancel update without add new or edit
    ErrDataType = 3421,         // value cannot be converted (impossible date, bad currency)
    ErrFieldTooLong = 3163,     // value longer than its field allows
    ErrReadOnly = 3027,         // database or record set is read-only
    ErrLocked = 3260,           // file locked by another handle
    ErrNoField = 3265,          // field name not in the record set
    ErrClosed = 3420,           // record set already closed
    ErrInvalidArgument = 3001,  // e.g. an absolute position outside the set
    ErrRecordDeleted = 3167,    // the record was deleted (by this or another handle)
    ErrObjectExists = 3012,     // a stored query of that name already exists
    ErrSaveRefused = 3426,      // the record on screen could not be left: its typed values were refused
    ErrUnreachable = 3151,      // the server that keeps the collection cannot be reached
    ErrCheckRefused = 3317,     // an insert's check (InsertCheck) refused it
    ErrRecordChanged = 3197,    // another handle changed the record being saved since it was shown
};

// The texts of the errors both stores give alike.
QString duplicateKeyText();
QString readOnlyText(const QString& collection);

// A failure of the engine: the number the windows look at and the text they
// show; for a failure the store reported, also its code (SQLite's extended
// result code, or PostgreSQL's SQLSTATE as a number of base 36) and the
// statement that failed, for whoever has to find out why.
class EngineError : public std::runtime_error {
public:
    EngineError(int number, const QString& description, int storeCode = 0, const QString& statement = QString())
        : std::runtime_error(description.toStdString()),
          m_number(number),
          m_description(description),
          m_storeCode(storeCode),
          m_statement(statement) {}

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    // 0 when the failure did not come from the store.
    int storeCode() const noexcept { return m_storeCode; }
    // Empty when no statement was running (opening the file, for one).
    const QString& statement() const noexcept { return m_statement; }

private:
    int m_number;
    QString m_description;
    int m_storeCode;
    QString m_statement;
};

}  // namespace ondrel::db
