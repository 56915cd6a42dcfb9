#pragma once

#include "database/database.h"
#include "database/recordset.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace ondrel::db {

// How a widget is bound to a field.
enum class BindMode {
    ReadWrite,    // shows the field and writes it back on update / automatic save
    DisplayOnly,  // shows the field, never written back (a box the window formats itself)
};

// The bound record source of a window (Data1, Data2): a record source text, a
// database reached through the window's open handle, an assignable record set,
// a caption, and widgets bound to fields.
//
// Event order for anything that makes another record current (a move through
// the source or directly on its record set, refresh, add new, a find, delete):
// validate(action) -> automatic save of user-changed values -> every bound
// widget filled -> the change signals of the widgets whose text changed ->
// reposition. All synchronous; handlers may move the source again.
//
// Supported widgets: QLineEdit (and subclasses such as the masked entry),
// QPlainTextEdit, QTextEdit, QComboBox (editable or not), QLabel (display only).
class DataControl : public QObject {
    Q_OBJECT
public:
    explicit DataControl(QObject* parent = nullptr);
    ~DataControl() override;

    // The handle the source reaches the file through (the window's own).
    void setDatabase(std::shared_ptr<Database> database);
    std::shared_ptr<Database> database() const;
    // Database name as the windows set it: the file path.
    void setDatabaseName(const QString& path);
    QString databaseName() const;

    void setRecordSource(const QString& source);  // statement, table or stored query
    QString recordSource() const;
    void setReadOnly(bool snapshot);  // opens its record source as a snapshot
    bool readOnly() const;

    // Re-runs the record source; the first record becomes current. When the
    // record being left cannot be saved (its values refused, and the user
    // told why), nothing changes and EngineError ErrSaveRefused is thrown.
    void refresh();
    // Runs another record source (another order, say) as refresh() does;
    // when it cannot be opened (the collection's server away) everything
    // stays as it was, the record source included, and the error goes on.
    void showSource(const QString& source);

    Recordset* recordset() const;
    void setRecordset(std::shared_ptr<Recordset> rs);  // as refresh() when refused

    // The window's own checks of the typed values (those of its "Salvar"),
    // run before the automatic save writes them. A check that refuses tells
    // the user why; the record then stays, with the typed values.
    void setSaveCheck(std::function<bool()> check);

    // The automatic save of what was typed into the record on screen, as
    // leaving the record would make it. False when it was refused (the user
    // has been told why). A command that replaces or refreshes the source
    // calls it first and changes nothing when it is refused.
    bool saveTypedValues();

    void setCaption(const QString& caption);
    QString caption() const;

    void bind(QWidget* widget, const QString& field, BindMode mode = BindMode::ReadWrite);
    // True when the user typed into a bound widget since the last fill.
    bool userChanged() const;

    // Copies the text of every read-write bound widget whose text differs
    // from what the last fill showed into the edit buffer (as bound controls
    // do: a box the window set in code is written too, an untouched one is
    // not). Multi-line boxes go back with "\r\n" line ends.
    void writeBoundValues();

    // Shows the current record again in every bound widget (change signals
    // for the widgets whose text changed, no reposition). Used after a grid
    // wrote the current row.
    void refillBoundWidgets();

signals:
    // Raised before the current record is left, saved or abandoned, with the
    // action code (ActionAddNew, ActionDelete, ActionCancel, ...).
    void validate(int action);
    void reposition();
    // The engine refused the automatic save; the source stayed on the record
    // with the typed values.
    void saveRefused(const QString& description);
    void captionChanged(const QString& caption);
    // An engine error raised inside the source's own sequence (a fill, a
    // validate handler) that no caller could catch.
    void engineError(int number, const QString& description);
    // The source got another record set (refresh or assignment); a grid over
    // it starts again.
    void recordsetReplaced();

private:
    class Private;
    std::unique_ptr<Private> d;
};

}  // namespace ondrel::db
