#pragma once

#include "datacontrol.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <vector>

class QTableView;

namespace ondrel::db {

// The rows of a bound source's record set for a grid (QTableView). Each
// column is bound to a field by name; a column bound to a field the record set
// lacks (the hidden "check" columns) shows nothing. The grid's current row
// follows the source's current record, and choosing a row moves the source.
// An edited cell is written to its record (edit, the new text, update); on
// success afterUpdate() is raised.
// A grid over a set of a few thousand records holds a row for each; over a
// larger one it holds the records around the current one, a few hundred
// more whenever it is scrolled to either end, and Ctrl+Home and Ctrl+End
// reach the set's first and last record: a grid's rows cost it time and
// memory each, and it reads only the records it shows.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Format {
        Plain,
        Currency,  // the system's currency format ("R$ 12,50" under Brazilian settings)
    };

    explicit RecordsetModel(DataControl* source, QObject* parent = nullptr);
    ~RecordsetModel() override;

    int addColumn(const QString& caption, const QString& field, Format format = Format::Plain, bool hidden = false);
    QString columnField(int column) const;
    bool isColumnHidden(int column) const;

    // Whether cells can be edited (the loans grid only displays and moves).
    void setEditable(bool editable);

    // Shows the model in the view, hides the hidden columns and keeps the
    // view's current row and the source's current record together.
    void attachView(QTableView* view);

    // Makes the record at a row current in the source (the full sequence of
    // the source runs; a refused automatic save keeps the record).
    void moveTo(int row);
    // The position in the record set of the record a row shows.
    int positionOf(int row) const { return m_first + row; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The rows of a record set that has not read every record grow as the
    // grid scrolls to its end.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // A row edited in the grid was stored.
    void afterUpdate();
    // The engine refused a grid edit or a move; nothing escapes into the event
    // loop.
    void engineError(int number, const QString& description);

private:
    struct Column {
        QString caption;
        QString field;
        Format format;
        bool hidden;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    void reset();
    void follow();  // after the source repositioned
    void selectCurrentRow();
    void showEarlierRows();  // the grid was scrolled to its first row
    bool moveToEnd(bool last);
    bool writeCell(int row, const QString& field, const QString& text);
    Recordset* recordset() const;

    QPointer<DataControl> m_source;
    QPointer<QTableView> m_view;
    std::vector<Column> m_columns;
    Recordset* m_shown = nullptr;  // the record set the rows were counted on
    int m_known = 0;  // the records it knew of then
    int m_first = 0;  // the position of the record the first row shows
    int m_rows = 0;
    bool m_editable = true;
    bool m_selecting = false;
};

}  // namespace ondrel::db
