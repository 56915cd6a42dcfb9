#include "recordsetimpl.h"

#include "connection.h"
#include "database.h"
#include "record.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
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

// Members of a record set at consecutive positions, with the sort key of
// each when the set seeks by one.
struct Span {
    int start = 0;
    QVector<qint64> rowids;
    QVector<QVariant> keys;
    bool fromStart = false;  // nothing before it
    bool toEnd = false;      // nothing after it among the members in the file

    int end() const { return start + int(rowids.size()); }
    bool holds(int position) const { return position >= start && position < end(); }
    bool isEmpty() const { return rowids.isEmpty(); }
    qint64 at(int position) const { return rowids.at(position - start); }
    int indexOf(qint64 rowid) const
    {
        const qsizetype i = rowids.indexOf(rowid);
        return i < 0 ? -1 : start + int(i);
    }
    void removeAt(int position)
    {
        rowids.removeAt(position - start);
        if (!keys.isEmpty())
            keys.removeAt(position - start);
    }
    void clear() { *this = Span(); }
};

// Where a set stands in its order: a member's sort key and row id.
struct Bound {
    QVariant key;
    qint64 rowid = 0;
};

// A member read from the file: its row id and sort key.
struct Member {
    qint64 rowid = 0;
    QVariant key;
};

// How many members a set reads at a time, and at most keeps around the
// records it shows.
constexpr int kFirstRead = 64;
constexpr int kRead = 256;
constexpr int kMostRead = 4096;
constexpr int kMostKept = 1 << 16;
// Up to how far from what it holds a set reads on rather than counting.
constexpr int kReadOn = 4096;
// How many rows a snapshot reads a field of at once.
constexpr int kSnapshotBlock = 128;
constexpr int kSnapshotKept = 1 << 16;
constexpr int kFromEnd = std::numeric_limits<int>::max();

// The record set. Its membership and order are those of its query when it
// is opened (or requeried): rows added to the table afterwards are not
// members, and rows added through the set stand at its end until requery.
// A set whose order an index serves (a sort key an index leads, or the row
// id) reads its members a few at a time as its records are reached, seeking
// from the last one read; its record count is the count of the records
// reached so far, complete once it moved to its last record, which counts
// them. Any other set reads every member when it is opened. Records are
// read from the file when they become current; a snapshot reads a field for
// a block of records the first time that field of one of them is read.
class KeysetRecordset final : public Recordset {
public:
    KeysetRecordset(std::shared_ptr<Database> database, const SelectPlan& plan, RecordsetType type,
                    const QString& source)
        : m_database(std::move(database)), m_table(plan.table), m_plan(plan), m_type(type), m_source(source),
          m_rowSql(selectRowSql(*plan.table, plan.fields)), m_rowid(plan.table->rowid())
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
        return m_place == Place::Eof || isEmpty();
    }
    bool bof() const override
    {
        checkOpen();
        if (m_mode == EditMode::Adding)
            return false;
        return m_place == Place::Bof || isEmpty();
    }
    bool hasCurrent() const override
    {
        return !m_closed && (m_mode == EditMode::Adding || m_place == Place::On);
    }
    int recordCount() const override
    {
        checkOpen();
        const std::optional<int> size = knownSize();
        return size ? std::min(m_reached, *size) : m_reached;
    }
    int absolutePosition() const override
    {
        checkOpen();
        return m_mode != EditMode::Adding && m_place == Place::On ? m_index : -1;
    }

    void setAbsolutePosition(int position) override
    {
        checkOpen();
        if (position < 0 || !rowidAt(position, m_span))
            throw EngineError(ErrInvalidArgument, QStringLiteral("Argumento inválido: posição %1.").arg(position));
        if (!announce(ActionBookmark))
            return;
        dropPending();
        if (!rowidAt(position, m_span))
            noCurrentRecord();
        arrive(position, +1);
        changed(ActionBookmark);
    }

    void moveFirst() override { moveTo(ActionMoveFirst); }
    void moveLast() override { moveTo(ActionMoveLast); }
    void moveNext() override { moveTo(ActionMoveNext); }
    void movePrevious() override { moveTo(ActionMovePrevious); }

    void findFirst(const QString& criteria) override { find(criteria, 0, +1); }
    void findLast(const QString& criteria) override { find(criteria, kFromEnd, -1); }
    void findNext(const QString& criteria) override
    {
        checkOpen();
        int from = 0;
        switch (m_place) {
        case Place::Bof: from = 0; break;
        case Place::On: from = m_index + 1; break;
        case Place::Deleted: from = m_index; break;
        case Place::Eof: from = kFromEnd; break;
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
        case Place::Eof: from = kFromEnd; break;
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
        m_insertCheck.reset();
        m_buffer = Row(m_plan.fields.size());
        m_dirty = QVector<bool>(m_plan.fields.size(), false);
        changed(ActionAddNew);
    }

    void checkInsert(InsertCheck check) override
    {
        checkOpen();
        if (m_mode != EditMode::Adding)
            nothingPending();
        m_insertCheck = std::move(check);
    }

    void edit() override
    {
        checkUpdatable();
        if (m_mode == EditMode::Adding)
            return;  // the new record is already editable
        if (m_place != Place::On)
            noCurrentRecord();
        // Edit starts from the record as it is in the file now; its save
        // checks that it is still as it was shown.
        std::optional<Row> row = readRow(m_current);
        if (!row)
            throw EngineError(ErrRecordDeleted, QStringLiteral("O registro foi excluído."));
        m_shown = m_row.isEmpty() ? *row : m_row;
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
        const std::optional<QString> picture = m_database->storePictureOf(*m_table, fields, values);
        if (m_mode == EditMode::Adding) {
            qint64 rowid = 0;
            {
                Transaction tx(c);
                m_database->refreshFileState();
                if (m_insertCheck)
                    runInsertCheck(c);
                rowid = insertRecord(c, *m_table, fields, values);
                m_database->linkPictureOf(*m_table, rowid, picture);
                tx.commit();
            }
            m_added.append(rowid);
            m_reached = m_reached + 1;
            m_mode = EditMode::None;
            clearBuffer();
            m_gridCache.clear();
            refreshCurrent();
            changed(ActionUpdate);
        } else {
            {
                Transaction tx(c);
                m_database->refreshFileState();
                checkStillAsShown(c);
                updateRecord(c, *m_table, m_current, fields, values);
                m_database->linkPictureOf(*m_table, m_current, picture);
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
            m_database->refreshFileState();
            if (!db::deleteRecord(c, *m_table, m_current))
                throw EngineError(ErrRecordDeleted, QStringLiteral("Este registro já tinha sido excluído em outro "
                                                                   "computador."));
            tx.commit();
        }
        removeMember(m_index);
        m_reached = std::max(0, m_reached - 1);
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
        m_span.clear();
        m_view.clear();
        m_added.clear();
        m_row.clear();
        m_gridCache.clear();
        m_snapshot.clear();
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
            return snapshotValue(m_current, m_index, m_span, i);
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
        return size();
    }

    int knownCount() const override
    {
        checkOpen();
        if (const std::optional<int> size = knownSize())
            return *size;
        return std::max({m_span.end(), m_view.end(), m_place == Place::On ? m_index + 1 : 0});
    }
    bool countKnown() const override
    {
        checkOpen();
        return knownSize().has_value();
    }
    void readMore(int records) override
    {
        checkOpen();
        if (!countKnown())
            rowidAt(knownCount() + std::max(records, 1) - 1, m_view);
    }

    QString textAt(int position, const QString& name) const override
    {
        checkOpen();
        const int i = requireSlot(name);
        const std::optional<qint64> rowid = position >= 0 ? rowidAt(position, m_view) : std::nullopt;
        if (!rowid)
            return QString();
        if (m_type == RecordsetType::Snapshot)
            return displayText(field(i), snapshotValue(*rowid, position, m_span.holds(position) ? m_span : m_view, i));
        const Row* row = cachedRow(*rowid);
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
        m_insertCheck.reset();
    }

    // Inside the write transaction of an edit's save: another handle (another
    // desk) changed or deleted the record since it was shown, so the save
    // would silently undo its work. Refused; the record as it now is becomes
    // the one shown, so that a second save stores what was typed over it and
    // a cancel shows it.
    void checkStillAsShown(Connection& c)
    {
        lockForWrite(c, *m_table);
        const std::optional<Row> now = readRow(m_current);
        if (!now)
            throw EngineError(ErrRecordDeleted,
                              QStringLiteral("Nada foi salvo: este registro foi excluído em outro computador depois "
                                             "de mostrado aqui."));
        if (*now == m_shown)
            return;
        m_row = *now;
        m_shown = *now;
        throw EngineError(ErrRecordChanged,
                          QStringLiteral("Nada foi salvo: este registro foi alterado em outro computador depois de "
                                         "mostrado aqui. O que você digitou continua na janela: salve de novo para "
                                         "gravá-lo por cima da alteração, ou cancele para ver o registro como ele "
                                         "está agora."));
    }

    // The pending insert's check, inside its write transaction: the table is
    // held for this writer first, so what the check reads stays so until the
    // commit.
    void runInsertCheck(Connection& c)
    {
        lockForWrite(c, *m_table);
        const std::shared_ptr<Recordset> selected =
            m_database->openRecordset(m_insertCheck->statement(*this), RecordsetType::Snapshot);
        const QString refusal = m_insertCheck->refusal(*this, *selected);
        selected->close();
        if (!refusal.isEmpty())
            throw EngineError(ErrCheckRefused, refusal);
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

    // ---- members ---------------------------------------------------------
    Connection& connection() const { return m_database->connection(); }

    void loadKeyset()
    {
        m_span.clear();
        m_view.clear();
        m_added.clear();
        m_count.reset();
        m_gridCache.clear();
        m_snapshot.clear();
        m_noMatch = false;
        m_row.clear();
        m_reached = 0;
        m_lazy = m_plan.seekable;
        m_readVersion = m_database->tableVersion(*m_table);
        {
            Statement& st = connection().cached("SELECT max(" + m_rowid + ") FROM " + m_table->sqlName());
            ScopedRun run(st);
            m_maxRowid = run->step() ? run->columnInt(0) : 0;
        }
        if (m_lazy) {
            m_span.fromStart = true;
            extend(m_span, +1, kFirstRead);
        } else {
            readEveryMember();
        }
        if (!rowidAt(0, m_span)) {
            m_place = Place::Eof;
            m_index = 0;
        } else {
            arrive(0, +1);
        }
    }

    // The members all at once, in the set's order.
    void readEveryMember() const
    {
        m_span.clear();
        m_span.fromStart = m_span.toEnd = true;
        const Query q = query(QByteArray(), {}, m_rowid, m_plan.orderBy);
        Statement& st = connection().cached(q.sql);
        ScopedRun run(st);
        bindAll(*run, q.params);
        while (run->step())
            m_span.rowids.append(run->columnInt(0));
    }

    // A statement over the set's members: what it selects, a further
    // condition, and its order. Bound: the set's own parameters, then the
    // condition's.
    struct Query {
        QByteArray sql;
        QVector<QVariant> params;
    };
    Query query(const QByteArray& condition, const QVector<QVariant>& params, const QByteArray& columns,
                const QByteArray& order, bool fromIndex = true) const
    {
        Query q;
        // Nothing but the row id asked: the search index itself serves.
        fromIndex = fromIndex && !m_plan.searchIndex.isEmpty() && m_plan.seekable && m_plan.seekKey.isEmpty();
        if (fromIndex) {
            // The members are the search index's matches, in row-id order.
            q.sql = "SELECT " + columns + " FROM " + m_plan.searchIndex + " WHERE " + m_plan.searchIndex
                + " MATCH ? AND rowid <= ?";
            q.params = {m_plan.searchMatch, m_maxRowid};
        } else {
            // The set's own bound is only a filter ("+"): SQLite seeks by one
            // upper bound of the row id, which must be that of a read going
            // down the table, or it steps through every record after it.
            q.sql = "SELECT " + columns + " FROM " + m_table->sqlName() + " WHERE +" + m_rowid + " <= ?";
            q.params = {m_maxRowid};
            if (!m_plan.where.isEmpty()) {
                q.sql += " AND " + m_plan.where.sql;
                q.params += m_plan.where.params;
            }
        }
        if (!condition.isEmpty()) {
            q.sql += " AND " + condition;
            q.params += params;
        }
        if (!order.isEmpty())
            q.sql += " ORDER BY " + order;
        return q;
    }
    static void bindAll(Statement& st, const QVector<QVariant>& params)
    {
        for (int i = 0; i < params.size(); ++i)
            st.bind(i + 1, params[i]);
    }

    // The conditions, one after the other, that give the members past a
    // bound, going up the sort key (NULL first) or down it.
    struct Phase {
        QByteArray condition;
        QVector<QVariant> params;
    };
    QVector<Phase> phases(const std::optional<Bound>& bound, bool up) const
    {
        const QByteArray& key = m_plan.seekKey;
        if (!bound)
            return {Phase{}};
        if (key.isEmpty())
            return {Phase{m_rowid + (up ? " > ?" : " < ?"), {bound->rowid}}};
        if (bound->key.isNull()) {
            if (up)
                return {Phase{key + " IS NULL AND " + m_rowid + " > ?", {bound->rowid}}, Phase{key + " IS NOT NULL", {}}};
            return {Phase{key + " IS NULL AND " + m_rowid + " < ?", {bound->rowid}}};
        }
        if (up)
            return {Phase{"(" + key + ", " + m_rowid + ") > (?, ?)", {bound->key, bound->rowid}}};
        return {Phase{"(" + key + ", " + m_rowid + ") < (?, ?)", {bound->key, bound->rowid}}, Phase{key + " IS NULL", {}}};
    }
    QByteArray orderGoing(bool up) const
    {
        const QByteArray direction = up ? " ASC" : " DESC";
        if (m_plan.seekKey.isEmpty())
            return m_rowid + direction;
        return m_table->flavor->orderTerm(m_plan.seekKey, !up) + ", " + m_rowid + direction;
    }
    QByteArray selected() const { return m_plan.seekKey.isEmpty() ? m_rowid : m_rowid + ", " + m_plan.seekKey; }

    // Up to `limit` members past the bound (from the set's start or end
    // without one, `offset` members further), forward or backward in the
    // set's order, that also meet `criteria` when given.
    QVector<Member> fetch(const std::optional<Bound>& bound, bool forward, int limit, int offset = 0,
                          const SqlExpr* criteria = nullptr) const
    {
        QVector<Member> out;
        const bool up = forward != m_plan.descending;
        for (const Phase& phase : phases(bound, up)) {
            QByteArray condition = phase.condition;
            QVector<QVariant> params = phase.params;
            if (criteria) {
                condition += (condition.isEmpty() ? "" : " AND ") + criteria->sql;
                params += criteria->params;
            }
            Query q = query(condition, params, selected(), orderGoing(up) + " LIMIT ? OFFSET ?", !criteria);
            q.params += {limit - int(out.size()), offset};
            Statement& st = connection().cached(q.sql);
            ScopedRun run(st);
            bindAll(*run, q.params);
            while (run->step())
                out.append(Member{run->columnInt(0), m_plan.seekKey.isEmpty() ? QVariant() : run->column(1)});
            if (out.size() >= limit)
                break;
        }
        return out;
    }

    // The members before a bound in the set's order, or all of them.
    int countMembers(const std::optional<Bound>& before = std::nullopt) const
    {
        if (!before && m_plan.where.isEmpty() && m_table->ledgered) {
            // The table's count is kept; the rows added since the set was
            // opened are few.
            Statement& st = connection().cached("SELECT count(*) FROM " + m_table->sqlName() + " WHERE " + m_rowid + " > ?");
            ScopedRun run(st);
            run->bindInt(1, m_maxRowid);
            const qint64 later = run->step() ? run->columnInt(0) : 0;
            return int(m_database->countRecords(m_table->name) - later);
        }
        if (before && m_plan.where.isEmpty() && m_plan.seekKey.isEmpty()) {
            // The table's order: the records before a row id are kept per
            // block; going down it, those between it and the set's last.
            const qint64 rowid = before->rowid;
            const std::optional<qint64> below = m_database->recordsBefore(*m_table, m_plan.descending ? rowid + 1 : rowid);
            const std::optional<qint64> members =
                m_plan.descending ? m_database->recordsBefore(*m_table, m_maxRowid + 1) : std::optional<qint64>(0);
            if (below && members)
                return int(m_plan.descending ? *members - *below : *below);
        }
        qint64 n = 0;
        for (const Phase& phase : phases(before, m_plan.descending)) {
            const Query q = query(phase.condition, phase.params, "count(*)", QByteArray());
            Statement& st = connection().cached(q.sql);
            ScopedRun run(st);
            bindAll(*run, q.params);
            n += run->step() ? run->columnInt(0) : 0;
        }
        return int(n);
    }

    // The number of members in the file, when known without counting.
    std::optional<int> knownFileCount() const
    {
        if (m_span.toEnd)
            return m_span.end();
        if (m_view.toEnd)
            return m_view.end();
        return m_count;
    }
    int fileCount() const
    {
        if (const std::optional<int> known = knownFileCount())
            return *known;
        m_count = countMembers();
        return *m_count;
    }
    std::optional<int> knownSize() const
    {
        const std::optional<int> files = knownFileCount();
        return files ? std::optional<int>(*files + int(m_added.size())) : std::nullopt;
    }
    int size() const { return fileCount() + int(m_added.size()); }
    bool isEmpty() const
    {
        if (!m_span.isEmpty() || !m_view.isEmpty() || !m_added.isEmpty())
            return false;
        return !rowidAt(0, m_view);
    }

    // The row id at a position, read from the file into `into` when the set
    // does not hold it yet; none past the end.
    std::optional<qint64> rowidAt(int position, Span& into) const
    {
        if (position < 0)
            return std::nullopt;
        if (m_span.holds(position))
            return m_span.at(position);
        if (m_view.holds(position))
            return m_view.at(position);
        if (const std::optional<int> files = knownFileCount(); files && position >= *files) {
            const int added = position - *files;
            return added < m_added.size() ? std::optional<qint64>(m_added.at(added)) : std::nullopt;
        }
        if (!m_lazy)
            return std::nullopt;
        read(position, into);
        if (m_span.holds(position))
            return m_span.at(position);
        if (into.holds(position))
            return into.at(position);
        const int files = fileCount();
        const int added = position - files;
        return added >= 0 && added < m_added.size() ? std::optional<qint64>(m_added.at(added)) : std::nullopt;
    }

    // Reads the members around a position: on from a span that ends near it,
    // or from the set's nearer end.
    void read(int position, Span& into) const
    {
        for (Span* s : {&m_span, &m_view}) {
            if (s->isEmpty())
                continue;
            if (position >= s->end() && position < s->end() + kReadOn && !s->toEnd) {
                while (!s->holds(position) && !s->toEnd)
                    extend(*s, +1);
                return;
            }
            if (position < s->start && position >= s->start - kReadOn && !s->fromStart) {
                while (!s->holds(position) && !s->fromStart)
                    extend(*s, -1);
                return;
            }
        }
        place(into, position);
    }

    // The members read so far, once the table changed since the set was
    // opened: a record whose sort key changed meanwhile may come again
    // further on, and is not taken twice. (One whose key moved behind what
    // the set has read is not read; another program's writes leave the
    // keys, and so the set's order, as they were.)
    QSet<qint64> heldIfMoved() const
    {
        if (m_database->tableVersion(*m_table) == m_readVersion)
            return {};
        QSet<qint64> held;
        held.reserve(m_span.rowids.size() + m_view.rowids.size());
        for (const Span* s : {&m_span, &m_view})
            for (qint64 rowid : s->rowids)
                held.insert(rowid);
        return held;
    }

    // Reads the next members after a span's last (forward) or before its
    // first (backward).
    void extend(Span& s, int direction, int batch = 0) const
    {
        if (batch <= 0)
            batch = std::clamp(int(s.rowids.size()), kRead, kMostRead);
        if (direction > 0) {
            std::optional<Bound> bound;
            if (!s.isEmpty())
                bound = Bound{s.keys.isEmpty() ? QVariant() : s.keys.last(), s.rowids.last()};
            const QVector<Member> read = fetch(bound, true, batch);
            const QSet<qint64> held = heldIfMoved();
            for (const Member& m : read) {
                if (held.contains(m.rowid))
                    continue;
                s.rowids.append(m.rowid);
                if (!m_plan.seekKey.isEmpty())
                    s.keys.append(m.key);
            }
            if (read.size() < batch) {
                s.toEnd = true;
                m_count = s.end();
            }
            keepAround(s, s.end() - 1);
        } else {
            const Bound bound{s.keys.isEmpty() ? QVariant() : s.keys.first(), s.rowids.first()};
            const QVector<Member> read = fetch(bound, false, batch);
            const QSet<qint64> held = heldIfMoved();
            QVector<qint64> rowids;
            QVector<QVariant> keys;
            for (auto m = read.crbegin(); m != read.crend(); ++m) {
                if (held.contains(m->rowid))
                    continue;
                rowids.append(m->rowid);
                if (!m_plan.seekKey.isEmpty())
                    keys.append(m->key);
            }
            s.rowids = rowids + s.rowids;
            s.keys = keys + s.keys;
            s.start -= int(rowids.size());
            if (read.size() < batch)
                s.fromStart = true;
            if (s.start < 0 && !s.fromStart)
                rebase(s, -s.start);
            if (s.fromStart && s.start != 0)
                rebase(s, -s.start);
            keepAround(s, s.start);
        }
    }

    // Reads the members at and after a position (or, near the end, at and
    // before it), placing `into` there.
    void place(Span& into, int position) const
    {
        const std::optional<int> files = knownFileCount();
        Span s;
        if (files && position >= *files - position) {
            const int offset = *files - 1 - position;
            const QVector<Member> read = fetch(std::nullopt, false, kRead, offset);
            for (auto m = read.crbegin(); m != read.crend(); ++m) {
                s.rowids.append(m->rowid);
                if (!m_plan.seekKey.isEmpty())
                    s.keys.append(m->key);
            }
            s.start = position - int(read.size()) + 1;
            s.toEnd = offset == 0;
            s.fromStart = read.size() < kRead;
            if (s.fromStart && s.start != 0) {
                // Fewer members than counted: count them again.
                m_count.reset();
                s.start = 0;
            }
        } else {
            const QVector<Member> read = fetch(std::nullopt, true, kRead, position);
            for (const Member& m : read) {
                s.rowids.append(m.rowid);
                if (!m_plan.seekKey.isEmpty())
                    s.keys.append(m.key);
            }
            s.start = position;
            s.fromStart = position == 0;
            s.toEnd = read.size() < kRead && !read.isEmpty();
            if (read.isEmpty() && !files)
                m_count.reset();
        }
        if (!s.isEmpty() || &into != &m_span || !m_span.holds(m_index))
            into = s;
    }

    // Positions in a span counted from a start that proved wrong.
    void rebase(Span& s, int shift) const
    {
        s.start += shift;
        if (&s == &m_span && (m_place == Place::On || m_place == Place::Deleted)) {
            m_index += shift;
            m_view.clear();
        }
        m_count.reset();
    }

    // A span holds at most kMostKept members, those nearest `around` (the
    // current record's position when it holds it).
    void keepAround(Span& s, int around) const
    {
        if (s.rowids.size() <= kMostKept)
            return;
        if (&s == &m_span && s.holds(m_index))
            around = m_index;
        const int from = std::clamp(around - kMostKept / 2, s.start, s.end() - kMostKept);
        if (s.toEnd && from + kMostKept < s.end())
            m_count = s.end();
        const int first = from - s.start;
        s.rowids = s.rowids.mid(first, kMostKept);
        if (!s.keys.isEmpty())
            s.keys = s.keys.mid(first, kMostKept);
        s.fromStart = s.fromStart && first == 0;
        s.toEnd = s.toEnd && s.end() == from + kMostKept;
        s.start = from;
    }

    // The member at a position leaves the set (deleted through it, or found
    // deleted by another handle): those after it move up one place.
    void removeMember(int position)
    {
        if (m_span.holds(position)) {
            m_span.removeAt(position);
            if (m_count)
                --*m_count;
        } else if (const std::optional<int> files = knownFileCount(); files && position >= *files) {
            m_added.removeAt(position - *files);
        } else if (m_count) {
            --*m_count;
        }
        m_view.clear();
        m_gridCache.clear();
    }

    // The bound a member at a position stands for.
    Bound boundAt(int position) const
    {
        for (const Span* s : {&m_span, &m_view})
            if (s->holds(position))
                return Bound{s->keys.isEmpty() ? QVariant() : s->keys.at(position - s->start), s->at(position)};
        return Bound{};
    }

    // A dynaset row as the file holds it now.
    std::optional<Row> readRow(qint64 rowid) const
    {
        Statement& st = connection().cached(m_rowSql);
        ScopedRun run(st);
        run->bindInt(1, rowid);
        if (!run->step())
            return std::nullopt;
        Row row(m_plan.fields.size());
        for (int i = 0; i < m_plan.fields.size(); ++i)
            row[i] = readColumn(field(i), *run, i);
        return row;
    }

    const Row* cachedRow(qint64 rowid) const
    {
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

    // A snapshot reads a field's values for a block of its records (from the
    // one asked for on, as its span holds them) the first time the field of
    // one of them is read: a loop over the set costs a read per block, and a
    // record keeps the value first read. The windows read a snapshot within
    // the user event that opened it. Caveat for a snapshot kept open across
    // user events: a field first read later shows the value committed by
    // then, and a record deleted meanwhile shows it empty.
    struct SnapshotRow {
        Row values;
        QVector<bool> read;
    };
    QVariant snapshotValue(qint64 rowid, int position, const Span& span, int slotIndex) const
    {
        auto it = m_snapshot.constFind(rowid);
        if (it != m_snapshot.cend() && it->read.at(slotIndex))
            return it->values.at(slotIndex);
        readSnapshotBlock(rowid, position, span, slotIndex);
        return m_snapshot.value(rowid).values.value(slotIndex);
    }
    void readSnapshotBlock(qint64 rowid, int position, const Span& span, int slotIndex) const
    {
        if (m_snapshot.size() + kSnapshotBlock > kSnapshotKept)
            m_snapshot.clear();
        QVector<qint64> block{rowid};
        for (int p = position + 1; span.holds(p) && block.size() < kSnapshotBlock; ++p) {
            const auto it = m_snapshot.constFind(span.at(p));
            if (it == m_snapshot.cend() || !it->read.at(slotIndex))
                block.append(span.at(p));
        }
        const FieldInfo& f = field(slotIndex);
        QByteArray marks = "?";
        for (int i = 1; i < kSnapshotBlock; ++i)
            marks += ", ?";
        Statement& st = connection().cached("SELECT " + m_rowid + ", " + f.column() + " FROM " + m_table->sqlName()
                                            + " WHERE " + m_rowid + " IN (" + marks + ")");
        ScopedRun run(st);
        for (int i = 0; i < kSnapshotBlock; ++i)
            run->bindInt(i + 1, block.at(std::min<int>(i, int(block.size()) - 1)));
        for (qint64 id : block)
            take(id, slotIndex, QVariant());  // a record deleted meanwhile shows empty
        while (run->step())
            take(run->columnInt(0), slotIndex, readColumn(f, *run, 1));
    }
    void take(qint64 rowid, int slotIndex, const QVariant& value) const
    {
        SnapshotRow& row = m_snapshot[rowid];
        if (row.values.isEmpty()) {
            row.values.resize(m_plan.fields.size());
            row.read.resize(m_plan.fields.size());
        }
        row.values[slotIndex] = value;
        row.read[slotIndex] = true;
    }

    // Makes the record at `index` current, skipping records that another
    // handle deleted meanwhile (in `direction`).
    void arrive(int index, int direction)
    {
        // The span around the current record is the one read around it.
        if (!m_span.holds(index) && m_view.holds(index))
            std::swap(m_span, m_view);
        std::optional<qint64> rowid;
        while (index >= 0 && (rowid = rowidAt(index, m_span))) {
            if (m_type == RecordsetType::Snapshot) {
                m_row.clear();  // values come from the snapshot's blocks
                break;
            }
            std::optional<Row> row = readRow(*rowid);
            if (row) {
                m_row = std::move(*row);
                break;
            }
            removeMember(index);
            if (direction < 0)
                --index;
        }
        if (index < 0) {
            m_place = Place::Bof;
            m_index = -1;
        } else if (!rowid) {
            m_place = Place::Eof;
            m_index = size();
        } else {
            m_place = Place::On;
            m_index = index;
            m_current = *rowid;
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
        const std::optional<Row> row = readRow(m_current);
        const auto kept = m_snapshot.find(m_current);
        if (!row || kept == m_snapshot.end())
            return;
        for (int i = 0; i < kept->read.size(); ++i)
            if (kept->read.at(i))
                kept->values[i] = row->at(i);
    }

    // Moving to the last record takes the members as the file holds them
    // now: records deleted since (by another handle, or through another set)
    // are dropped, so the record count is then the number of records the set
    // holds. A snapshot keeps its records as they were.
    void dropDeletedKeys()
    {
        if (m_type != RecordsetType::Dynaset)
            return;
        const qint64 version = m_database->tableVersion(*m_table);
        if (version == m_readVersion)
            return;
        m_readVersion = version;
        for (int i = int(m_added.size()) - 1; i >= 0; --i) {
            Statement& st = connection().cached("SELECT 1 FROM " + m_table->sqlName() + " WHERE " + m_rowid + " = ?");
            ScopedRun run(st);
            run->bindInt(1, m_added.at(i));
            if (!run->step())
                m_added.removeAt(i);
        }
        m_view.clear();
        m_gridCache.clear();
        if (m_lazy) {
            // Read again from the file's end.
            m_span.clear();
            m_count = countMembers();
            return;
        }
        std::vector<qint64> alive;
        {
            Statement& st =
                connection().cached("SELECT " + m_rowid + " FROM " + m_table->sqlName() + " ORDER BY " + m_rowid);
            ScopedRun run(st);
            while (run->step())
                alive.push_back(run->columnInt(0));
        }
        QVector<qint64> kept;
        kept.reserve(m_span.rowids.size());
        int index = 0;  // the current position, counted in the records kept
        bool currentKept = true;
        for (int i = 0; i < m_span.rowids.size(); ++i) {
            const qint64 id = m_span.rowids.at(i);
            if (!std::binary_search(alive.cbegin(), alive.cend(), id)) {
                if (i == m_index)
                    currentKept = false;
                continue;
            }
            kept.append(id);
            if (i < m_index)
                ++index;
        }
        if (kept.size() == m_span.rowids.size())
            return;
        if (m_place == Place::On && !currentKept)
            m_place = Place::Deleted;
        if (m_place == Place::On || m_place == Place::Deleted)
            m_index = index;
        m_span.rowids = kept;
    }

    void refreshCurrent()
    {
        if (m_place == Place::On)
            arrive(m_index, +1);
    }

    void moveTo(int action)
    {
        checkOpen();
        const bool empty = isEmpty();
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
        switch (action) {
        case ActionMoveFirst:
            arrive(0, +1);
            break;
        case ActionMoveLast:
            arrive(size() - 1, -1);
            break;
        case ActionMoveNext:
            if (m_place == Place::Eof)
                arrive(size(), +1);
            else
                arrive(m_place == Place::Bof ? 0 : m_place == Place::On ? m_index + 1 : m_index, +1);
            break;
        case ActionMovePrevious:
            arrive(m_place == Place::Eof ? size() - 1 : m_place == Place::Bof ? -1 : m_index - 1, -1);
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
        const qint64 target = *rowidAt(position, m_span);
        if (!announce(ActionFind))
            return;
        dropPending();
        // The observer's automatic save may have changed the members.
        if (rowidAt(position, m_span) != target)
            position = locate(target);
        if (position < 0) {
            m_noMatch = true;
            return;
        }
        m_noMatch = false;
        arrive(position, direction);
        takeFileValues();
        changed(ActionFind);
    }

    // Whether a row meets criteria, as the file holds it now.
    bool meets(qint64 rowid, const SqlExpr& expr) const
    {
        Statement& st = connection().cached("SELECT 1 FROM " + m_table->sqlName() + " WHERE " + m_rowid + " = ? AND "
                                            + expr.sql);
        ScopedRun run(st);
        run->bindInt(1, rowid);
        for (int i = 0; i < expr.params.size(); ++i)
            run->bind(i + 2, expr.params[i]);
        return run->step();
    }

    // The position of the first member from `from` on (in `direction`;
    // kFromEnd: from the last) that meets the criteria, or -1. A set that
    // holds every member tests the rows that meet the criteria against its
    // positions; one that does not asks the file for the first member past
    // its neighbour that meets them, and counts the members before it.
    int firstMatch(const SqlExpr& expr, int from, int direction) const
    {
        if (from < 0)
            return -1;
        if ((m_span.fromStart && m_span.toEnd) || !m_lazy)
            return firstMatchAmong(expr, from, direction);
        if (direction > 0) {
            if (from == kFromEnd)
                return -1;
            // The file's members past the one before `from`.
            std::optional<Bound> bound;
            bool inFile = true;
            if (from > 0) {
                const std::optional<qint64> before = rowidAt(from - 1, m_view);
                const std::optional<int> files = knownFileCount();
                inFile = before && !(files && from - 1 >= *files);
                if (inFile)
                    bound = boundAt(from - 1);
            }
            if (inFile) {
                const QVector<Member> hit = fetch(bound, true, 1, 0, &expr);
                if (!hit.isEmpty())
                    return positionOf(hit.first());
            }
            if (m_added.isEmpty())
                return -1;
            const int files = fileCount();
            for (int i = std::max(0, from - files); i < m_added.size(); ++i)
                if (meets(m_added.at(i), expr))
                    return files + i;
            return -1;
        }
        const int files = fileCount();
        if (from == kFromEnd)
            from = files + int(m_added.size()) - 1;
        for (int i = std::min(from - files, int(m_added.size()) - 1); i >= 0; --i)
            if (meets(m_added.at(i), expr))
                return files + i;
        from = std::min(from, files - 1);
        if (from < 0)
            return -1;
        // The file's members before the one after `from`.
        std::optional<Bound> bound;
        if (from < files - 1 && rowidAt(from + 1, m_view))
            bound = boundAt(from + 1);
        const QVector<Member> hit = fetch(bound, false, 1, 0, &expr);
        return hit.isEmpty() ? -1 : positionOf(hit.first());
    }

    // Where a member the set has read stands, or -1.
    int locate(qint64 rowid) const
    {
        for (const Span* s : {&m_span, &m_view})
            if (const int found = s->indexOf(rowid); found >= 0)
                return found;
        const qsizetype added = m_added.indexOf(rowid);
        return added >= 0 ? fileCount() + int(added) : -1;
    }

    // Where a member found in the file stands: among those read, or after
    // the members before it, counted; the set then holds it.
    int positionOf(const Member& member) const
    {
        for (const Span* s : {&m_span, &m_view})
            if (const int found = s->indexOf(member.rowid); found >= 0)
                return found;
        const int position = countMembers(Bound{member.key, member.rowid});
        Span s;
        s.start = position;
        s.fromStart = position == 0;
        s.rowids = {member.rowid};
        if (!m_plan.seekKey.isEmpty())
            s.keys = {member.key};
        m_view = s;
        return position;
    }

    // A set that holds its members: the rows that meet the criteria, looked
    // up among them.
    int firstMatchAmong(const SqlExpr& expr, int from, int direction) const
    {
        QSet<qint64> matching;
        {
            Statement& st =
                connection().cached("SELECT " + m_rowid + " FROM " + m_table->sqlName() + " WHERE " + expr.sql);
            ScopedRun run(st);
            bindAll(*run, expr.params);
            while (run->step())
                matching.insert(run->columnInt(0));
        }
        const int n = size();
        if (from == kFromEnd)
            from = n - 1;
        for (int p = from; p >= 0 && p < n; p += direction) {
            const std::optional<qint64> rowid = rowidAt(p, m_span);
            if (rowid && matching.contains(*rowid))
                return p;
        }
        return -1;
    }

    std::shared_ptr<Database> m_database;
    const TableInfo* m_table;
    SelectPlan m_plan;
    RecordsetType m_type;
    QString m_source;
    QByteArray m_rowSql;
    QByteArray m_rowid;  // the table's row id column

    // The members: those read around the current record and around the
    // records a grid shows, those added through the set, and how many there
    // are in the file when that was counted.
    bool m_lazy = false;
    qint64 m_maxRowid = 0;  // rows with a greater id came after the set was opened
    mutable Span m_span;
    mutable Span m_view;
    QVector<qint64> m_added;
    mutable std::optional<int> m_count;
    qint64 m_readVersion = 0;  // the table's version when the members were read

    mutable QHash<qint64, SnapshotRow> m_snapshot;  // a snapshot's values read
    mutable QHash<qint64, Row> m_gridCache;          // dynaset rows shown by a grid
    mutable QHash<QString, int> m_slots;             // field name as spelled -> slot (-1: none)
    mutable QString m_lastName;                      // null: no name asked yet
    mutable int m_lastSlot = -1;
    mutable Place m_place = Place::Bof;
    mutable int m_index = -1;
    qint64 m_current = 0;  // the current record's row id
    int m_reached = 0;
    Row m_row;
    Row m_shown;  // the record being edited as it was shown
    bool m_noMatch = false;
    bool m_closed = false;

    EditMode m_mode = EditMode::None;
    std::optional<InsertCheck> m_insertCheck;
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
