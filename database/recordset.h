#pragma once

#include "engineerror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace ondrel::db {

class Database;

enum class RecordsetType { Dynaset, Snapshot };

enum class EditMode { None, Editing, Adding };

enum class FieldType { Text, Memo, Date, Currency, Counter };

// Action codes a bound record source announces before its current record is
// left, saved or abandoned.
enum DataAction : int {
    ActionCancel = 0,
    ActionMoveFirst = 1,
    ActionMovePrevious = 2,
    ActionMoveNext = 3,
    ActionMoveLast = 4,
    ActionAddNew = 5,
    ActionUpdate = 6,
    ActionDelete = 7,
    ActionFind = 8,
    ActionBookmark = 9,
    ActionClose = 10,
    ActionUnload = 11,
};

class Recordset;

// A check the insert of a pending new record makes in its own write
// transaction, before the record is written: two handles adding at the same
// moment, on any store, are checked one after the other, each seeing what
// the other stored. `statement` gives, for the pending record, a select in
// the collection's dialect; `refusal` is given the pending record and that
// select's record set on its first record. A text it returns refuses the
// insert with ErrCheckRefused and that text, the new record staying pending
// as it was typed.
struct InsertCheck {
    std::function<QString(const Recordset& pending)> statement;
    std::function<QString(const Recordset& pending, const Recordset& selected)> refusal;
};

// The bound record source attaches itself to the record set it shows, so that
// a move made directly on the record set (the windows move TabObjetos itself)
// runs the same sequence as a move through the source. All calls are
// synchronous and may nest.
class RecordsetObserver {
public:
    virtual ~RecordsetObserver() = default;
    // Before the current record is left, saved or abandoned. The observer
    // raises validate and performs the automatic save of user-changed bound
    // values. Returning false stops the operation: the record set stays where
    // it is and the operation returns without effect and without throwing.
    virtual bool recordsetAboutToChange(Recordset& rs, int action) = 0;
    // Before update() writes the edit buffer: the observer copies the bound
    // widgets' values into the buffer (setText).
    virtual void recordsetAboutToUpdate(Recordset& rs) = 0;
    // After the current record changed (or was cleared by add new or delete):
    // the observer fills its widgets and raises reposition.
    virtual void recordsetChanged(Recordset& rs, int action) = 0;
};

// Keyset record set: the membership and order are fixed when the set is
// opened (or requeried); records are read from the file when they become
// current (a snapshot reads a field for a block of records the first time
// that field is read). A set may read its members as its records are
// reached: its record count is the count of the records reached so far,
// complete after moving to the last. A record added through the set stands
// at its end until requery.
// Values: Text/Memo -> QString, Date -> QDate (null when empty),
// Currency -> qint64 ten-thousandths via currencyUnits(), Counter -> qint64.
// An empty field is a null QVariant.
class Recordset {
public:
    virtual ~Recordset() = default;

    virtual RecordsetType type() const = 0;
    virtual bool updatable() const = 0;
    virtual QString source() const = 0;  // what it was opened on

    virtual bool eof() const = 0;
    virtual bool bof() const = 0;
    virtual bool hasCurrent() const = 0;
    virtual int recordCount() const = 0;        // records reached so far
    virtual int absolutePosition() const = 0;   // zero-based, -1 without a current record
    virtual void setAbsolutePosition(int position) = 0;

    virtual void moveFirst() = 0;
    virtual void moveLast() = 0;
    virtual void moveNext() = 0;
    virtual void movePrevious() = 0;

    // Criteria in the dialect, e.g. "cod='A1'" or "Título like'Dom*'".
    virtual void findFirst(const QString& criteria) = 0;
    virtual void findLast(const QString& criteria) = 0;
    virtual void findNext(const QString& criteria) = 0;
    virtual void findPrevious(const QString& criteria) = 0;
    virtual bool noMatch() const = 0;

    virtual EditMode editMode() const = 0;
    virtual void addNew() = 0;
    // The check the insert of the pending new record makes (none without
    // one); dropped once that record is stored or abandoned.
    virtual void checkInsert(InsertCheck check) = 0;
    virtual void edit() = 0;
    virtual void update() = 0;        // EngineError: 3022, 3421, 3163, 3020 ...
    virtual void cancelUpdate() = 0;  // EngineError 3020 when nothing is pending
    virtual void deleteRecord() = 0;  // EngineError 3021 without a current record
    virtual void requery() = 0;
    virtual void close() = 0;

    virtual QStringList fieldNames() const = 0;  // as the table spells them
    virtual bool hasField(const QString& name) const = 0;  // case-insensitive
    virtual FieldType fieldType(const QString& name) const = 0;
    virtual int fieldSize(const QString& name) const = 0;  // 0 = no limit

    // Current record (or edit buffer while an add or edit is pending).
    // Field names are case-insensitive. EngineError 3021 without a current
    // record, 3265 for an unknown field.
    virtual QVariant value(const QString& field) const = 0;
    // Display text as a bound box shows it: dates "dd/mm/yyyy", currency as a
    // plain locale number ("12,5"), empty for null.
    virtual QString text(const QString& field) const = 0;
    // Writes typed text into the edit buffer (needs add new or edit pending).
    // Conversion and length checks happen in update(), so a bad value is
    // refused there with nothing stored.
    virtual void setText(const QString& field, const QString& text) = 0;
    virtual void setValue(const QString& field, const QVariant& value) = 0;

    // Row access for a grid: values of the record at a zero-based position,
    // without changing the current record.
    virtual int keyCount() const = 0;  // total records in the keyset (counts them)
    virtual QString textAt(int position, const QString& field) const = 0;
    // The records a grid may show without the set counting them: all of
    // them once they are known, else those up to the last one read;
    // readMore() reads about that many further.
    virtual int knownCount() const { return keyCount(); }
    virtual bool countKnown() const { return true; }
    virtual void readMore(int records) { Q_UNUSED(records); }

    virtual void setObserver(RecordsetObserver* observer) = 0;
    virtual RecordsetObserver* observer() const = 0;
};

}  // namespace ondrel::db
