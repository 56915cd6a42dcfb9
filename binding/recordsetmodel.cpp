#include "recordsetmodel.h"

#include "core/valuetext.h"

#include "core/values.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

namespace ondrel::db {

namespace {

// A grid holds a row for every record of a set of at most this many, and
// otherwise this many on either side of the current one to start with, as
// many more whenever it is scrolled to either end.
constexpr int kWholeRows = 4096;
constexpr int kAround = 256;

}  // namespace

RecordsetModel::RecordsetModel(DataControl* source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &DataControl::recordsetReplaced, this, &RecordsetModel::reset);
    connect(source, &DataControl::reposition, this, &RecordsetModel::follow);
    reset();
}

RecordsetModel::~RecordsetModel() = default;

Recordset* RecordsetModel::recordset() const
{
    return m_source ? m_source->recordset() : nullptr;
}

int RecordsetModel::addColumn(const QString& caption, const QString& field, Format format, bool hidden)
{
    const int column = int(m_columns.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.push_back({caption, field, format, hidden});
    endInsertColumns();
    if (m_view)
        m_view->setColumnHidden(column, hidden);
    return column;
}

QString RecordsetModel::columnField(int column) const
{
    return column >= 0 && column < columnCount() ? m_columns[column].field : QString();
}

bool RecordsetModel::isColumnHidden(int column) const
{
    return column >= 0 && column < columnCount() && m_columns[column].hidden;
}

void RecordsetModel::setEditable(bool editable)
{
    m_editable = editable;
}

void RecordsetModel::attachView(QTableView* view)
{
    m_view = view;
    view->setModel(this);
    for (int c = 0; c < columnCount(); ++c)
        view->setColumnHidden(c, m_columns[c].hidden);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_selecting && current.isValid())
                    moveTo(current.row());
            });
    // Queued: the rows above come once the view has finished scrolling.
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &RecordsetModel::showEarlierRows,
            Qt::QueuedConnection);
    view->installEventFilter(this);
    selectCurrentRow();
}

void RecordsetModel::reset()
{
    beginResetModel();
    m_shown = recordset();
    m_known = m_first = m_rows = 0;
    if (m_shown) {
        try {
            m_known = m_rows = m_shown->knownCount();
            if (m_known > kWholeRows) {
                const int current = m_shown->absolutePosition();
                m_first = std::max(0, current - kAround);
                m_rows = std::min(m_known, std::max(current, m_first) + kAround + 1) - m_first;
            }
        } catch (const EngineError&) {
            m_known = m_first = m_rows = 0;  // a closed record set shows no rows
        }
    }
    endResetModel();
}

void RecordsetModel::showEarlierRows()
{
    if (!m_view || m_first == 0 || m_view->verticalScrollBar()->value() != m_view->verticalScrollBar()->minimum())
        return;
    const int more = std::min(m_first, kAround);
    const int top = std::max(0, m_view->rowAt(0));
    beginInsertRows(QModelIndex(), 0, more - 1);
    m_first -= more;
    m_rows += more;
    endInsertRows();
    // The rows shown stay where they were.
    m_view->scrollTo(index(top + more, m_view->horizontalHeader()->logicalIndexAt(0)), QAbstractItemView::PositionAtTop);
}

bool RecordsetModel::eventFilter(QObject* watched, QEvent* event)
{
    // The event's type first: the grid's own destruction sends events while
    // it is no longer a QTableView, and reading the pointer then is undefined.
    if (event->type() == QEvent::KeyPress && watched == m_view) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_Home || key->key() == Qt::Key_End))
            return moveToEnd(key->key() == Qt::Key_End);
    }
    return QAbstractTableModel::eventFilter(watched, event);
}

// Ctrl+Home and Ctrl+End when the grid does not hold that end of the set:
// the source moves there, and the grid follows. False: the grid holds it.
bool RecordsetModel::moveToEnd(bool last)
{
    Recordset* rs = recordset();
    if (!rs || rs != m_shown)
        return false;
    try {
        const bool held = last ? rs->countKnown() && m_first + m_rows >= rs->knownCount() : m_first == 0;
        if (held)
            return false;
        last ? rs->moveLast() : rs->moveFirst();
    } catch (const EngineError& e) {
        emit engineError(e.number(), e.description());
    }
    return true;
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const
{
    Recordset* rs = recordset();
    if (parent.isValid() || !rs || rs != m_shown)
        return false;
    try {
        return !rs->countKnown() || rs->knownCount() > m_first + m_rows;
    } catch (const EngineError&) {
        return false;
    }
}

void RecordsetModel::fetchMore(const QModelIndex& parent)
{
    Recordset* rs = recordset();
    if (parent.isValid() || !rs || rs != m_shown)
        return;
    int rows = m_rows;
    try {
        if (rs->knownCount() <= m_first + m_rows)
            rs->readMore(kAround);
        m_known = rs->knownCount();
        rows = (m_first == 0 && m_known <= kWholeRows ? m_known : std::min(m_known, m_first + m_rows + kAround))
            - m_first;
    } catch (const EngineError& e) {
        emit engineError(e.number(), e.description());
    }
    if (rows <= m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

void RecordsetModel::follow()
{
    Recordset* rs = recordset();
    int known = 0;
    int position = -1;
    if (rs) {
        try {
            known = rs->knownCount();
            position = rs->absolutePosition();
        } catch (const EngineError&) {
            known = 0;
        }
    }
    // A current record the rows do not reach: they are taken again around it.
    const int row = position - m_first;
    if (rs != m_shown || known != m_known || (position >= 0 && (row < 0 || row >= m_rows)))
        reset();
    else if (position >= 0 && columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));  // edited through the boxes
    selectCurrentRow();
}

void RecordsetModel::selectCurrentRow()
{
    if (!m_view || !m_view->selectionModel())
        return;
    Recordset* rs = recordset();
    const int position = rs ? rs->absolutePosition() - m_first : -1;
    QItemSelectionModel* selection = m_view->selectionModel();
    m_selecting = true;
    if (position >= 0 && position < m_rows) {
        int column = 0;
        while (column < columnCount() - 1 && m_columns[column].hidden)
            ++column;
        const QModelIndex at = index(position, column);
        selection->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->clear();
    }
    m_selecting = false;
}

void RecordsetModel::moveTo(int row)
{
    Recordset* rs = recordset();
    if (!rs || row < 0 || row >= m_rows)
        return;
    if (rs->absolutePosition() != positionOf(row)) {
        try {
            rs->setAbsolutePosition(positionOf(row));
        } catch (const EngineError& e) {
            emit engineError(e.number(), e.description());
        }
    }
    // A refused move leaves the source where it was; so does the view.
    if (recordset() && recordset()->absolutePosition() != positionOf(row))
        selectCurrentRow();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const Column& column = m_columns[index.column()];
    Recordset* rs = recordset();
    if (!rs || index.row() >= m_rows || !rs->hasField(column.field))
        return {};
    QString text;
    try {
        text = rs->textAt(positionOf(index.row()), column.field);
    } catch (const EngineError&) {
        return {};  // a row deleted meanwhile shows empty
    }
    if (role == Qt::DisplayRole && column.format == Format::Currency && !text.isEmpty()) {
        bool ok = false;
        const std::optional<qint64> units = parseAmount(text, &ok);
        if (ok && units)
            return formatAmount(*units, AmountShape::Currency);
    }
    return text;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QVariant(m_columns[section].caption) : QVariant();
    return {};
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    Recordset* rs = recordset();
    if (index.isValid() && m_editable && rs && rs->updatable() && rs->hasField(m_columns[index.column()].field)
        && rs->fieldType(m_columns[index.column()].field) != FieldType::Counter)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const Column& column = m_columns[index.column()];
    const QString text = value.toString();
    if (data(index, Qt::EditRole).toString() == text)
        return true;  // nothing changed, nothing stored
    if (!writeCell(index.row(), column.field, text))
        return false;
    if (m_source)
        m_source->refillBoundWidgets();  // the boxes show the stored row
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit afterUpdate();
    return true;
}

// Writes one cell through the record set. A refused write leaves the record
// as it was stored: an edit started here is cancelled, a value put into an
// edit the user had already started is taken back.
bool RecordsetModel::writeCell(int row, const QString& field, const QString& text)
{
    Recordset* rs = recordset();
    moveTo(row);
    if (!rs || rs != recordset() || rs->absolutePosition() != positionOf(row))
        return false;
    const bool startedEdit = rs->editMode() == EditMode::None;
    QString previous;
    try {
        previous = rs->text(field);
        if (startedEdit)
            rs->edit();
        rs->setText(field, text);
        rs->update();
        return true;
    } catch (const EngineError& e) {
        try {
            if (startedEdit && rs->editMode() != EditMode::None)
                rs->cancelUpdate();
            else if (!startedEdit)
                rs->setText(field, previous);
        } catch (const EngineError&) {
            // the record set already dropped the pending edit
        }
        emit engineError(e.number(), e.description());
        return false;
    }
}

}  // namespace ondrel::db
