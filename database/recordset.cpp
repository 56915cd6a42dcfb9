#include "recordsetimpl.h"

#include "connection.h"
#include "database.h"
#include "record.h"

#include <QHash>

#include <optional>
#include <vector>

namespace ondrel::db {

namespace {

using Row = QVector<QVariant>;

// Where the cursor stands. Deleted: the current record was deleted; `index`
// is where it stood (the next record now has that index).
enum class Place { Bof, On, Eof, Deleted };

[[noreturn]] void noCurrentRecord()
{
    throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
}

// The membership and order of a record set: row ids by position. The row id
// -> position index is built the first time it is needed (a find) and kept
// until the keyset changes.
class Keyset {
public:
    int size() const { return int(m_keys.size()); }
    bool isEmpty() const { return m_keys.isEmpty(); }
    qint64 at(int position) const { return m_keys.at(position); }

    void assign(QVector<qint64> keys)
    {
        m_keys = std::move(keys);
        dropIndex();
    }
    void append(qint64 rowid)
    {
        m_keys.append(rowid);
        if (m_indexed && !m_positions.contains(rowid))
            m_positions.insert(rowid, size() - 1);
    }
    void removeAt(int position)
    {
        m_keys.removeAt(position);
        dropIndex();
    }
    void clear() { assign({}); }

    // Position of a row id (its first, should a stale key repeat), or -1.
    int positionOf(qint64 rowid) const
    {
        if (!m_indexed) {
            m_positions.reserve(m_keys.size());
            for (int i = int(m_keys.size()) - 1; i >= 0; --i)
                m_positions.insert(m_keys.at(i), i);
            m_indexed = true;
        }
        return m_positions.value(rowid, -1);
    }

private:
    void dropIndex()
    {
        m_positions.clear();
        m_indexed = false;
    }

    QVector<qint64> m_keys;
    mutable QHash<qint64, int> m_positions;
    mutable bool m_indexed = false;
};

class KeysetRecordset final : public Recordset {
public:
    KeysetRecordset(std::shared_ptr<Database> database, const SelectPlan& plan, RecordsetType type,
                    const QString& source)
        : m_database(std::move(database)), m_table(plan.table), m_plan(plan), m_type(type), m_source(source),
          m_rowSql(selectRowSql(*plan.table, plan.fields))
    {
        loadKeyset();
    }

    RecordsetType type() const override { return m_type; }
    bool updatable() const override { return m_type == RecordsetType::Dynaset; }
    QString source() const override { return m_source; }

    bool eof() const override
    {
        checkOpen();
        if (m_mode == EditMode::Adding)
            return false;
        return m_place == Place::Eof || m_keys.isEmpty();
    }
    bool bof() const override
    {
        checkOpen();
        if (m_mode == EditMode::Adding)
            return false;
        return m_place == Place::Bof || m_keys.isEmpty();
    }
    bool hasCurrent() const override
    {
        return !m_closed && (m_mode == EditMode::Adding || m_place == Place::On);
    }
    int recordCount() const override
    {
        checkOpen();
        return m_reached;
    }
    int absolutePosition() const override
    {
        checkOpen();
        return m_mode != EditMode::Adding && m_place == Place::On ? m_index : -1;
    }

    void setAbsolutePosition(int position) override
    {
        checkOpen();
        if (position < 0 || position >= m_keys.size())
            throw EngineError(ErrInvalidArgument, QStringLiteral("Argumento inválido: posição %1.").arg(position));
        if (!announce(ActionBookmark))
            return;
        dropPending();
        if (position >= m_keys.size())
            noCurrentRecord();
        arrive(position, +1);
        changed(ActionBookmark);
    }

    void moveFirst() override { moveTo(ActionMoveFirst); }
    void moveLast() override { moveTo(ActionMoveLast); }
    void moveNext() override { moveTo(ActionMoveNext); }
    void movePrevious() override { moveTo(ActionMovePrevious); }

    void findFirst(const QString& criteria) override { find(criteria, 0, +1); }
    void findLast(const QString& criteria) override { find(criteria, m_keys.size() - 1, -1); }
    void findNext(const QString& criteria) override
    {
        checkOpen();
        int from = 0;
        switch (m_place) {
        case Place::Bof: from = 0; break;
        case Place::On: from = m_index + 1; break;
        case Place::Deleted: from = m_index; break;
        case Place::Eof: from = m_keys.size(); break;
        }
        find(criteria, from, +1);
    }
    void findPrevious(const QString& criteria) override
    {
        checkOpen();
        int from = 0;
        switch (m_place) {
        case Place::Bof: from = -1; break;
        case Place::On:
        case Place::Deleted: from = m_index - 1; break;
        case Place::Eof: from = m_keys.size() - 1; break;
        }
        find(criteria, from, -1);
    }
    bool noMatch() const override { return m_noMatch; }

    EditMode editMode() const override { return m_mode; }

    void addNew() override
    {
        checkUpdatable();
        if (!announce(ActionAddNew))
            return;
        dropPending();
        m_mode = EditMode::Adding;
        m_buffer = Row(m_plan.fields.size());
        m_dirty = QVector<bool>(m_plan.fields.size(), false);
        changed(ActionAddNew);
    }

    void edit() override
    {
        checkUpdatable();
        if (m_mode == EditMode::Adding)
            return;  // the new record is already editable
        if (m_place != Place::On)
            noCurrentRecord();
        // Edit starts from the record as it is in the file now.
        std::optional<Row> row = readRow(m_keys.at(m_index));
        if (!row)
            throw EngineError(ErrRecordDeleted, QStringLiteral("O registro foi excluído."));
        m_row = *row;
        m_buffer = m_row;
        m_dirty = QVector<bool>(m_plan.fields.size(), false);
        m_mode = EditMode::Editing;
    }

    void update() override
    {
        checkOpen();
        if (m_mode == EditMode::None)
            nothingPending();
        if (!announce(ActionUpdate))
            return;
        if (m_mode == EditMode::None)
            return;  // saved or abandoned by the observer meanwhile
        if (m_observer)
            m_observer->recordsetAboutToUpdate(*this);
        if (m_mode == EditMode::None)
            return;
        // Convert everything first: a refused value stores nothing.
        QVector<int> fields;
        Row values;
        for (int i = 0; i < m_plan.fields.size(); ++i) {
            if (!m_dirty[i])
                continue;
            const FieldInfo& f = m_table->fields[m_plan.fields[i]];
            if (f.type == FieldType::Counter)
                continue;
            fields.append(m_plan.fields[i]);
            values.append(convertInput(f, m_buffer[i]));
        }
        Connection& c = m_database->connection();
        if (m_mode == EditMode::Adding) {
            qint64 rowid = 0;
            {
                Transaction tx(c);
                rowid = insertRecord(c, *m_table, fields, values);
                tx.commit();
            }
            m_keys.append(rowid);
            m_reached = std::min(m_reached + 1, m_keys.size());
            m_mode = EditMode::None;
            clearBuffer();
            m_gridCache.clear();
            refreshCurrent();
            changed(ActionUpdate);
        } else {
            const qint64 rowid = m_keys.at(m_index);
            {
                Transaction tx(c);
                updateRecord(c, *m_table, rowid, fields, values);
                tx.commit();
            }
            m_mode = EditMode::None;
            clearBuffer();
            m_gridCache.clear();
            refreshCurrent();
        }
    }

    void cancelUpdate() override
    {
        checkOpen();
        if (m_mode == EditMode::None)
            nothingPending();
        if (m_mode == EditMode::Adding && !announce(ActionCancel))
            return;
        if (m_mode == EditMode::None)
            return;
        m_mode = EditMode::None;
        clearBuffer();
        changed(ActionCancel);
    }

    void deleteRecord() override
    {
        checkUpdatable();
        if (m_place != Place::On || m_mode == EditMode::Adding)
            noCurrentRecord();
        if (!announce(ActionDelete))
            return;
        dropPending();
        if (m_place != Place::On)
            noCurrentRecord();
        {
            Connection& c = m_database->connection();
            Transaction tx(c);
            db::deleteRecord(c, *m_table, m_keys.at(m_index));
            tx.commit();
        }
        m_keys.removeAt(m_index);
        m_reached = std::max(0, std::min(m_reached - 1, m_keys.size()));
        m_place = Place::Deleted;
        m_row.clear();
        m_gridCache.clear();
        changed(ActionDelete);
    }

    void requery() override
    {
        checkOpen();
        dropPending();
        // Translated again: the keys the translation relied on may no longer
        // match the table, or match it again.
        if (!m_plan.statement.isEmpty())
            m_plan = m_database->translateSelect(m_plan.statement);
        loadKeyset();
        changed(ActionMoveFirst);
    }

    void close() override
    {
        if (m_closed)
            return;
        if (!announce(ActionClose))
            return;
        dropPending();
        m_closed = true;
        m_keys.clear();
        m_row.clear();
        m_gridCache.clear();
        m_columns.clear();
    }

    QStringList fieldNames() const override
    {
        QStringList names;
        for (int i : m_plan.fields)
            names.append(m_table->fields[i].name);
        return names;
    }
    bool hasField(const QString& name) const override { return slot(name) >= 0; }
    FieldType fieldType(const QString& name) const override { return field(requireSlot(name)).type; }
    int fieldSize(const QString& name) const override { return field(requireSlot(name)).size; }

    QVariant value(const QString& name) const override
    {
        checkOpen();
        const int i = requireSlot(name);
        if (m_mode != EditMode::None)
            return m_dirty[i] ? convertLenient(field(i), m_buffer[i]) : m_buffer[i];
        if (m_place != Place::On)
            noCurrentRecord();
        if (m_type == RecordsetType::Snapshot)
            return snapshotColumn(i)[m_index];
        return m_row.value(i);
    }

    QString text(const QString& name) const override
    {
        const int i = requireSlot(name);
        return displayText(field(i), value(name));
    }

    void setText(const QString& name, const QString& text) override { setValue(name, text); }

    void setValue(const QString& name, const QVariant& value) override
    {
        checkOpen();
        const int i = requireSlot(name);
        if (m_mode == EditMode::None)
            throw EngineError(ErrNoPendingUpdate,
                              QStringLiteral("Operação não permitida sem AddNew ou Edit (campo '%1').").arg(name));
        if (field(i).type == FieldType::Counter)
            throw EngineError(ErrReadOnly, QStringLiteral("O campo '%1' não pode ser atualizado.").arg(field(i).name));
        m_buffer[i] = value;
        m_dirty[i] = true;
    }

    int keyCount() const override
    {
        checkOpen();
        return m_keys.size();
    }

    QString textAt(int position, const QString& name) const override
    {
        checkOpen();
        const int i = requireSlot(name);
        if (position < 0 || position >= m_keys.size())
            return QString();
        if (m_type == RecordsetType::Snapshot)
            return displayText(field(i), snapshotColumn(i)[position]);
        const Row* row = cachedRowAt(position);
        return row ? displayText(field(i), row->value(i)) : QString();
    }

    void setObserver(RecordsetObserver* observer) override { m_observer = observer; }
    RecordsetObserver* observer() const override { return m_observer; }

private:
    // ---- state helpers -------------------------------------------------
    void checkOpen() const
    {
        if (m_closed)
            throw EngineError(ErrClosed, QStringLiteral("O objeto foi fechado ou não é válido."));
    }
    void checkUpdatable() const
    {
        checkOpen();
        if (!updatable())
            throw EngineError(ErrReadOnly, QStringLiteral("Não é possível atualizar. O banco de dados ou objeto é "
                                                          "somente leitura."));
    }
    [[noreturn]] static void nothingPending()
    {
        throw EngineError(ErrNoPendingUpdate, QStringLiteral("Atualizar ou CancelarAtualização sem AdicionarNovo ou Editar."));
    }
    bool announce(int action)
    {
        return !m_observer || m_observer->recordsetAboutToChange(*this, action);
    }
    void changed(int action)
    {
        if (m_observer && !m_closed)
            m_observer->recordsetChanged(*this, action);
    }
    void dropPending()
    {
        m_mode = EditMode::None;
        clearBuffer();
    }
    void clearBuffer()
    {
        m_buffer.clear();
        m_dirty.clear();
    }

    // Field name -> slot, resolved once per spelling: the windows read the
    // same few fields on every move, and a loop over the set reads one field
    // per record (the very string asked last is recognised first).
    int slot(const QString& name) const
    {
        if (name.constData() == m_lastName.constData() && name.size() == m_lastName.size())
            return m_lastSlot;
        auto it = m_slots.constFind(name);
        if (it == m_slots.cend()) {
            int found = -1;
            for (int i = 0; i < m_plan.fields.size() && found < 0; ++i)
                if (sameName(m_table->fields[m_plan.fields[i]].name, name))
                    found = i;
            it = m_slots.insert(name, found);
        }
        m_lastName = name;
        m_lastSlot = *it;
        return m_lastSlot;
    }
    int requireSlot(const QString& name) const
    {
        const int i = slot(name);
        if (i < 0)
            throw EngineError(ErrNoField, QStringLiteral("Item não encontrado nesta coleção: '%1'.").arg(name));
        return i;
    }
    const FieldInfo& field(int slotIndex) const { return m_table->fields[m_plan.fields[slotIndex]]; }

    // ---- keyset and rows -------------------------------------------------
    // Runs the set's own query (its criteria and order) selecting the row id
    // and then `columns`, and hands every row to `take`.
    template <typename Take>
    void forEachMember(const QByteArray& columns, Take&& take) const
    {
        QByteArray sql = "SELECT rowid" + columns + " FROM " + m_table->sqlName();
        if (!m_plan.where.isEmpty())
            sql += " WHERE " + m_plan.where.sql;
        sql += " ORDER BY " + m_plan.orderBy;
        Statement& st = m_database->connection().cached(sql);
        ScopedRun run(st);
        for (int i = 0; i < m_plan.where.params.size(); ++i)
            run->bind(i + 1, m_plan.where.params[i]);
        while (run->step())
            take(*run);
    }

    void loadKeyset()
    {
        QVector<qint64> keys;
        forEachMember(QByteArray(), [&](const Statement& st) { keys.append(st.columnInt(0)); });
        m_keys.assign(std::move(keys));
        m_columns.assign(m_plan.fields.size(), std::nullopt);
        m_gridCache.clear();
        m_checkedVersion = m_database->connection().fileVersion();
        m_noMatch = false;
        m_row.clear();
        if (m_keys.isEmpty()) {
            m_place = Place::Eof;
            m_index = 0;
            m_reached = 0;
        } else {
            m_reached = 0;
            arrive(0, +1);
        }
    }

    // A dynaset row as the file holds it now.
    std::optional<Row> readRow(qint64 rowid) const
    {
        Statement& st = m_database->connection().cached(m_rowSql);
        ScopedRun run(st);
        run->bindInt(1, rowid);
        if (!run->step())
            return std::nullopt;
        Row row(m_plan.fields.size());
        for (int i = 0; i < m_plan.fields.size(); ++i)
            row[i] = readColumn(field(i), *run, i);
        return row;
    }

    const Row* cachedRowAt(int position) const
    {
        const qint64 rowid = m_keys.at(position);
        auto it = m_gridCache.find(rowid);
        if (it == m_gridCache.end()) {
            if (m_gridCache.size() > 512)
                m_gridCache.clear();
            std::optional<Row> row = readRow(rowid);
            if (!row)
                return nullptr;
            it = m_gridCache.insert(rowid, *row);
        }
        return &*it;
    }

    // A snapshot reads its row ids when it is opened, and a column's values,
    // for the whole set in one ordered pass, the first time that column is
    // read: summing one field over the set costs one narrow scan, not a copy
    // of every column of every row. The windows read a snapshot within the
    // user event that opened it, so every pass sees the records the row-id
    // pass saw. Caveat for a snapshot kept open across user events: a column
    // first read later shows the values committed by then (those already read
    // stay as they were), and a record deleted meanwhile shows it empty.
    const QVector<QVariant>& snapshotColumn(int slotIndex) const
    {
        std::optional<QVector<QVariant>>& column = m_columns[slotIndex];
        if (!column)
            column = loadColumn(slotIndex);
        return *column;
    }

    QVector<QVariant> loadColumn(int slotIndex) const
    {
        const FieldInfo& f = field(slotIndex);
        const int n = m_keys.size();
        QVector<QVariant> column(n);
        QVariant* values = column.data();
        std::vector<char> filled(size_t(n), 0);
        int unfilled = n;
        int expected = 0;  // members come back in keyset order unless the file changed
        forEachMember(", " + f.column(), [&](const Statement& st) {
            const qint64 rowid = st.columnInt(0);
            const int at = expected < n && m_keys.at(expected) == rowid ? expected : m_keys.positionOf(rowid);
            if (at < 0 || filled[size_t(at)])
                return;  // entered the set's criteria after it was opened
            values[at] = readColumn(f, st, 1);
            filled[size_t(at)] = 1;
            --unfilled;
            expected = at + 1;
        });
        if (unfilled == 0)
            return column;
        // Members that left the criteria since the set was opened keep their
        // place: read them by row id.
        Statement& st = m_database->connection().cached(selectRowSql(*m_table, {m_plan.fields[slotIndex]}));
        for (int at = 0; at < n; ++at) {
            if (filled[size_t(at)])
                continue;
            ScopedRun run(st);
            run->bindInt(1, m_keys.at(at));
            if (run->step())
                values[at] = readColumn(f, *run, 0);
        }
        return column;
    }

    // Makes the record at `index` current, skipping records that another
    // handle deleted meanwhile (in `direction`).
    void arrive(int index, int direction)
    {
        while (index >= 0 && index < m_keys.size()) {
            if (m_type == RecordsetType::Snapshot) {
                m_row.clear();  // values come from the snapshot's columns
                break;
            }
            std::optional<Row> row = readRow(m_keys.at(index));
            if (row) {
                m_row = std::move(*row);
                break;
            }
            m_keys.removeAt(index);
            m_gridCache.clear();
            if (direction < 0)
                --index;
        }
        if (index < 0) {
            m_place = Place::Bof;
            m_index = -1;
        } else if (index >= m_keys.size()) {
            m_place = Place::Eof;
            m_index = m_keys.size();
        } else {
            m_place = Place::On;
            m_index = index;
            m_reached = std::max(m_reached, index + 1);
        }
    }

    // A find tests its criteria against the record as the file holds it now;
    // a snapshot then shows that record's values as they are now too, not
    // those it read before.
    void takeFileValues()
    {
        if (m_type != RecordsetType::Snapshot || m_place != Place::On)
            return;
        const std::optional<Row> row = readRow(m_keys.at(m_index));
        if (!row)
            return;
        for (int i = 0; i < int(m_columns.size()); ++i) {
            if (m_columns[i])
                (*m_columns[i])[m_index] = row->at(i);
        }
    }

    // Records deleted since the keyset was read (by another handle, or through
    // another set) keep their ids in it until a move passes them. Moving to
    // the last record drops them all, so the record count is then the number
    // of records the set holds. A snapshot keeps its records as they were.
    void dropDeletedKeys()
    {
        if (m_type != RecordsetType::Dynaset)
            return;
        const QPair<qint64, qint64> version = m_database->connection().fileVersion();
        if (version == m_checkedVersion)
            return;
        m_checkedVersion = version;
        std::vector<char> alive(size_t(m_keys.size()), 0);
        {
            Statement& st = m_database->connection().cached("SELECT rowid FROM " + m_table->sqlName());
            ScopedRun run(st);
            while (run->step()) {
                const int at = m_keys.positionOf(run->columnInt(0));
                if (at >= 0)
                    alive[size_t(at)] = 1;
            }
        }
        QVector<qint64> kept;
        kept.reserve(m_keys.size());
        int index = 0;  // the current position, counted in the records kept
        for (int i = 0; i < m_keys.size(); ++i) {
            if (!alive[size_t(i)])
                continue;
            kept.append(m_keys.at(i));
            if (i < m_index)
                ++index;
        }
        if (kept.size() == m_keys.size())
            return;
        if (m_place == Place::On && !alive[size_t(m_index)])
            m_place = Place::Deleted;
        if (m_place == Place::On || m_place == Place::Deleted)
            m_index = index;
        m_keys.assign(std::move(kept));
        m_gridCache.clear();
        m_reached = std::min(m_reached, m_keys.size());
    }

    void refreshCurrent()
    {
        if (m_place == Place::On)
            arrive(m_index, +1);
    }

    void moveTo(int action)
    {
        checkOpen();
        const bool empty = m_keys.isEmpty();
        if ((action == ActionMoveFirst || action == ActionMoveLast) && empty)
            noCurrentRecord();
        if (action == ActionMoveNext && (m_place == Place::Eof || empty) && m_mode != EditMode::Adding)
            noCurrentRecord();
        if (action == ActionMovePrevious && (m_place == Place::Bof || empty) && m_mode != EditMode::Adding)
            noCurrentRecord();
        if (!announce(action))
            return;
        dropPending();
        if (action == ActionMoveLast)
            dropDeletedKeys();
        const int n = m_keys.size();
        switch (action) {
        case ActionMoveFirst:
            arrive(0, +1);
            break;
        case ActionMoveLast:
            arrive(n - 1, -1);
            break;
        case ActionMoveNext:
            arrive(m_place == Place::Bof ? 0 : m_place == Place::On ? m_index + 1 : m_place == Place::Deleted ? m_index : n, +1);
            break;
        case ActionMovePrevious:
            arrive(m_place == Place::Eof ? n - 1 : m_place == Place::Bof ? -1 : m_index - 1, -1);
            break;
        }
        changed(action);
    }

    void find(const QString& criteria, int from, int direction)
    {
        checkOpen();
        const SqlExpr expr = m_database->translateCriteria(criteria, *m_table);
        int position = firstMatch(expr, from, direction);
        if (position < 0) {
            m_noMatch = true;
            return;
        }
        const qint64 target = m_keys.at(position);
        if (!announce(ActionFind))
            return;
        dropPending();
        // The observer's automatic save may have changed the keyset.
        if (position >= m_keys.size() || m_keys.at(position) != target)
            position = m_keys.positionOf(target);
        if (position < 0) {
            m_noMatch = true;
            return;
        }
        m_noMatch = false;
        arrive(position, direction);
        takeFileValues();
        changed(ActionFind);
    }

    // The position of the first keyset member from `from` on (in
    // `direction`) that meets the criteria, or -1. Costs one indexed query
    // and a look-up per matching record, whatever the size of the set.
    int firstMatch(const SqlExpr& expr, int from, int direction) const
    {
        if (from < 0 || from >= m_keys.size())
            return -1;
        Statement& st = m_database->connection().cached("SELECT rowid FROM " + m_table->sqlName() + " WHERE " + expr.sql);
        ScopedRun run(st);
        for (int i = 0; i < expr.params.size(); ++i)
            run->bind(i + 1, expr.params[i]);
        int best = -1;
        while (run->step()) {
            const int at = m_keys.positionOf(run->columnInt(0));
            if (at < 0)
                continue;
            if (direction > 0 ? at >= from && (best < 0 || at < best) : at <= from && at > best)
                best = at;
        }
        return best;
    }

    std::shared_ptr<Database> m_database;
    const TableInfo* m_table;
    SelectPlan m_plan;
    RecordsetType m_type;
    QString m_source;
    QByteArray m_rowSql;

    Keyset m_keys;
    // Snapshot values by slot, then position; a column is read on first use.
    mutable std::vector<std::optional<QVector<QVariant>>> m_columns;
    mutable QHash<qint64, Row> m_gridCache;  // dynaset rows shown by a grid
    mutable QHash<QString, int> m_slots;     // field name as spelled -> slot (-1: none)
    mutable QString m_lastName;              // null: no name asked yet
    mutable int m_lastSlot = -1;
    Place m_place = Place::Bof;
    int m_index = -1;
    int m_reached = 0;
    Row m_row;
    QPair<qint64, qint64> m_checkedVersion;  // the file's version when the keyset was last checked
    bool m_noMatch = false;
    bool m_closed = false;

    EditMode m_mode = EditMode::None;
    Row m_buffer;
    QVector<bool> m_dirty;

    RecordsetObserver* m_observer = nullptr;
};

}  // namespace

std::shared_ptr<Recordset> makeRecordset(std::shared_ptr<Database> database, const SelectPlan& plan,
                                         RecordsetType type, const QString& source)
{
    return std::make_shared<KeysetRecordset>(std::move(database), plan, type, source);
}

}  // namespace ondrel::db
