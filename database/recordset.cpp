#include "recordsetimpl.h"

#include "connection.h"
#include "database.h"
#include "record.h"

#include <QHash>
#include <QSet>

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
    void findLast(const QString& criteria) override { find(criteria, int(m_keys.size()) - 1, -1); }
    void findNext(const QString& criteria) override
    {
        checkOpen();
        int from = 0;
        switch (m_place) {
        case Place::Bof: from = 0; break;
        case Place::On: from = m_index + 1; break;
        case Place::Deleted: from = m_index; break;
        case Place::Eof: from = int(m_keys.size()); break;
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
        case Place::Eof: from = int(m_keys.size()) - 1; break;
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
        std::optional<Row> row = readRow(m_keys[m_index]);
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
            m_reached = std::min<int>(m_reached + 1, int(m_keys.size()));
            m_mode = EditMode::None;
            clearBuffer();
            m_gridCache.clear();
            refreshCurrent();
            changed(ActionUpdate);
        } else {
            const qint64 rowid = m_keys[m_index];
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
            db::deleteRecord(c, *m_table, m_keys[m_index]);
            tx.commit();
        }
        m_keys.removeAt(m_index);
        m_reached = std::max(0, std::min<int>(m_reached - 1, int(m_keys.size())));
        m_place = Place::Deleted;
        m_row.clear();
        m_gridCache.clear();
        changed(ActionDelete);
    }

    void requery() override
    {
        checkOpen();
        dropPending();
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
        m_snapshotRows.clear();
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
            return unpackField(m_snapshotRows[m_index], i);
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
        return int(m_keys.size());
    }

    QString textAt(int position, const QString& name) const override
    {
        checkOpen();
        const int i = requireSlot(name);
        if (position < 0 || position >= m_keys.size())
            return QString();
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

    int slot(const QString& name) const
    {
        for (int i = 0; i < m_plan.fields.size(); ++i)
            if (sameName(m_table->fields[m_plan.fields[i]].name, name))
                return i;
        return -1;
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
    void loadKeyset()
    {
        Connection& c = m_database->connection();
        QByteArray sql;
        if (m_type == RecordsetType::Snapshot) {
            // A snapshot reads its rows in the same pass.
            sql = "SELECT rowid";
            for (int i : m_plan.fields)
                sql += ", " + m_table->fields[i].column();
        } else {
            sql = "SELECT rowid";
        }
        sql += " FROM " + m_table->sqlName();
        if (!m_plan.where.isEmpty())
            sql += " WHERE " + m_plan.where.sql;
        sql += " ORDER BY " + m_plan.orderBy;
        m_keys.clear();
        m_snapshotRows.clear();
        m_gridCache.clear();
        {
            Statement& st = c.cached(sql);
            ScopedRun run(st);
            for (int i = 0; i < m_plan.where.params.size(); ++i)
                run->bind(i + 1, m_plan.where.params[i]);
            const bool snapshot = m_type == RecordsetType::Snapshot;
            while (run->step()) {
                m_keys.append(run->columnInt(0));
                if (snapshot)
                    m_snapshotRows.append(packRow(*run, 1, int(m_plan.fields.size())));
            }
        }
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

    std::optional<Row> readRow(qint64 rowid) const
    {
        if (m_type == RecordsetType::Snapshot) {
            const qsizetype at = m_keys.indexOf(rowid);
            if (at < 0 || at >= m_snapshotRows.size())
                return std::nullopt;
            return unpackRow(int(at));
        }
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
        const qint64 rowid = m_keys[position];
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

    // A snapshot keeps each row as one packed buffer (a tag, then an integer
    // or a length and UTF-8 bytes per column) and decodes only the fields
    // that are read: one allocation per row instead of one per value.
    static QByteArray packRow(const Statement& st, int first, int count)
    {
        QByteArray out;
        out.reserve(160);
        for (int c = first; c < first + count; ++c) {
            if (st.isNull(c)) {
                out.append(char(0));
            } else if (st.isInteger(c)) {
                const qint64 v = st.columnInt(c);
                out.append(char(1));
                out.append(reinterpret_cast<const char*>(&v), sizeof v);
            } else {
                const QByteArrayView bytes = st.columnUtf8(c);
                const qint32 n = qint32(bytes.size());
                out.append(char(2));
                out.append(reinterpret_cast<const char*>(&n), sizeof n);
                out.append(bytes);
            }
        }
        return out;
    }
    QVariant unpackField(const QByteArray& packed, int slotIndex) const
    {
        const char* p = packed.constData();
        for (int c = 0;; ++c) {
            const char tag = *p++;
            if (tag == 0) {
                if (c == slotIndex)
                    return QVariant();
            } else if (tag == 1) {
                qint64 v;
                memcpy(&v, p, sizeof v);
                p += sizeof v;
                if (c == slotIndex)
                    return fromStorage(field(c), QVariant(v));
            } else {
                qint32 n;
                memcpy(&n, p, sizeof n);
                p += sizeof n;
                if (c == slotIndex)
                    return fromStorage(field(c), QVariant(QString::fromUtf8(p, n)));
                p += n;
            }
        }
    }
    Row unpackRow(int index) const
    {
        Row row(m_plan.fields.size());
        for (int i = 0; i < row.size(); ++i)
            row[i] = unpackField(m_snapshotRows[index], i);
        return row;
    }

    // Makes the record at `index` current, skipping records that another
    // handle deleted meanwhile (in `direction`).
    void arrive(int index, int direction)
    {
        while (index >= 0 && index < m_keys.size()) {
            if (m_type == RecordsetType::Snapshot) {
                m_row.clear();  // decoded field by field from the packed row
                break;
            }
            std::optional<Row> row = readRow(m_keys[index]);
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
            m_index = int(m_keys.size());
        } else {
            m_place = Place::On;
            m_index = index;
            m_reached = std::max(m_reached, index + 1);
        }
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
        const int n = int(m_keys.size());
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
        const SqlExpr expr = parseCriteria(criteria, *m_table);
        const qint64 target = firstMatch(expr, from, direction);
        if (target < 0) {
            m_noMatch = true;
            return;
        }
        if (!announce(ActionFind))
            return;
        dropPending();
        const qsizetype index = m_keys.indexOf(target);
        if (index < 0) {
            m_noMatch = true;
            return;
        }
        m_noMatch = false;
        arrive(int(index), direction);
        changed(ActionFind);
    }

    // The row id of the first keyset member from `from` on (in `direction`)
    // that meets the criteria, or -1.
    qint64 firstMatch(const SqlExpr& expr, int from, int direction) const
    {
        if (from < 0 || from >= m_keys.size())
            return -1;
        QSet<qint64> matches;
        {
            Statement& st = m_database->connection().cached("SELECT rowid FROM " + m_table->sqlName() + " WHERE "
                                                            + expr.sql);
            ScopedRun run(st);
            for (int i = 0; i < expr.params.size(); ++i)
                run->bind(i + 1, expr.params[i]);
            while (run->step())
                matches.insert(run->columnInt(0));
        }
        if (matches.isEmpty())
            return -1;
        for (int i = from; i >= 0 && i < m_keys.size(); i += direction)
            if (matches.contains(m_keys[i]))
                return m_keys[i];
        return -1;
    }

    std::shared_ptr<Database> m_database;
    const TableInfo* m_table;
    SelectPlan m_plan;
    RecordsetType m_type;
    QString m_source;
    QByteArray m_rowSql;

    QVector<qint64> m_keys;
    QVector<QByteArray> m_snapshotRows;  // packed rows read in one pass
    mutable QHash<qint64, Row> m_gridCache;
    Place m_place = Place::Bof;
    int m_index = -1;
    int m_reached = 0;
    Row m_row;
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
