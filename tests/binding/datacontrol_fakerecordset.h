#pragma once

// An in-memory record set that follows the engine's observer contract, so the
// bound source can be tested without a database file.

#include "database/recordset.h"

#include <QDate>
#include <QMap>
#include <QRegularExpression>
#include <vector>

namespace ondrel::test {

using namespace ondrel::db;

struct FakeField {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;
};

class FakeRecordset : public Recordset {
public:
    using Row = QMap<QString, QString>;  // folded field name -> text

    FakeRecordset(std::vector<FakeField> fields, std::vector<Row> rows, bool updatable = true)
        : m_fields(std::move(fields)), m_rows(std::move(rows)), m_updatable(updatable)
    {
        m_pos = m_rows.empty() ? -1 : 0;
        m_bof = m_eof = m_rows.empty();
    }

    static Row row(std::initializer_list<std::pair<QString, QString>> values)
    {
        Row r;
        for (const auto& [k, v] : values)
            r.insert(k.toLower(), v);
        return r;
    }

    int updates = 0;  // stored updates
    const std::vector<Row>& rows() const { return m_rows; }
    QString stored(int position, const QString& field) const { return m_rows.at(position).value(field.toLower()); }

    RecordsetType type() const override { return m_updatable ? RecordsetType::Dynaset : RecordsetType::Snapshot; }
    bool updatable() const override { return m_updatable; }
    QString source() const override { return QStringLiteral("fake"); }
    bool eof() const override { return m_eof; }
    bool bof() const override { return m_bof; }
    bool hasCurrent() const override { return m_pos >= 0; }
    int recordCount() const override { return int(m_rows.size()); }
    int absolutePosition() const override { return m_mode == EditMode::Adding ? -1 : m_pos; }
    void setAbsolutePosition(int position) override
    {
        if (position < 0 || position >= int(m_rows.size()))
            throw EngineError(ErrGeneric, QStringLiteral("posição inválida"));
        moveTo([=] { return position; }, ActionBookmark);
    }

    void moveFirst() override { moveTo([this] { return m_rows.empty() ? -1 : 0; }, ActionMoveFirst); }
    void moveLast() override { moveTo([this] { return int(m_rows.size()) - 1; }, ActionMoveLast); }
    void moveNext() override
    {
        if (m_eof)
            throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
        moveTo([this] { return m_pos + 1; }, ActionMoveNext);
    }
    void movePrevious() override
    {
        if (m_bof)
            throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
        moveTo([this] { return m_pos < 0 && m_eof ? int(m_rows.size()) - 1 : m_pos - 1; }, ActionMovePrevious);
    }

    // Criteria of the form field='value' only.
    void findFirst(const QString& criteria) override { find(criteria, true); }
    void findLast(const QString& criteria) override { find(criteria, false); }
    void findNext(const QString& criteria) override { find(criteria, true); }
    void findPrevious(const QString& criteria) override { find(criteria, false); }
    bool noMatch() const override { return m_noMatch; }

    EditMode editMode() const override { return m_mode; }
    void addNew() override
    {
        if (!m_updatable)
            throw EngineError(ErrReadOnly, QStringLiteral("somente leitura"));
        if (!announce(ActionAddNew))
            return;
        if (m_mode != EditMode::Adding)
            m_beforeAdd = m_pos;
        m_mode = EditMode::Adding;
        m_buffer.clear();
        changed(ActionAddNew);
    }
    void edit() override
    {
        if (!m_updatable)
            throw EngineError(ErrReadOnly, QStringLiteral("somente leitura"));
        if (m_pos < 0)
            throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
        m_mode = EditMode::Editing;
        m_buffer = m_rows[m_pos];
    }
    void update() override
    {
        if (m_mode == EditMode::None)
            throw EngineError(ErrNoPendingUpdate, QStringLiteral("Atualizar sem AddNew ou Edit."));
        if (!announce(ActionUpdate))
            return;
        if (m_observer)
            m_observer->recordsetAboutToUpdate(*this);
        for (const FakeField& f : m_fields) {
            const QString v = m_buffer.value(f.name.toLower());
            if (f.size > 0 && v.size() > f.size)
                throw EngineError(ErrFieldTooLong, QStringLiteral("O campo é pequeno demais."));
            if (f.type == FieldType::Date && !v.isEmpty() && !QDate::fromString(v, QStringLiteral("d/M/yyyy")).isValid())
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível."));
        }
        ++updates;
        if (m_mode == EditMode::Adding) {
            m_rows.push_back(m_buffer);
            m_mode = EditMode::None;
            m_pos = m_beforeAdd;
            changed(ActionUpdate);
        } else {
            m_rows[m_pos] = m_buffer;
            m_mode = EditMode::None;
        }
    }
    void cancelUpdate() override
    {
        if (m_mode == EditMode::None)
            throw EngineError(ErrNoPendingUpdate, QStringLiteral("Atualizar sem AddNew ou Edit."));
        if (m_mode == EditMode::Adding) {
            if (!announce(ActionCancel))
                return;
            m_pos = m_beforeAdd;
        }
        m_mode = EditMode::None;
        changed(ActionCancel);
    }
    void deleteRecord() override
    {
        if (m_pos < 0 || m_mode == EditMode::Adding)
            throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
        if (!announce(ActionDelete))
            return;
        m_rows.erase(m_rows.begin() + m_pos);
        m_mode = EditMode::None;
        m_pos = -1;
        changed(ActionDelete);
    }
    void requery() override
    {
        m_mode = EditMode::None;
        m_pos = m_rows.empty() ? -1 : 0;
        m_bof = m_eof = m_rows.empty();
        changed(ActionMoveFirst);
    }
    void close() override { announce(ActionClose); }

    QStringList fieldNames() const override
    {
        QStringList names;
        for (const FakeField& f : m_fields)
            names << f.name;
        return names;
    }
    bool hasField(const QString& name) const override { return field(name) != nullptr; }
    FieldType fieldType(const QString& name) const override { return checked(name).type; }
    int fieldSize(const QString& name) const override { return checked(name).size; }

    QVariant value(const QString& name) const override { return text(name); }
    QString text(const QString& name) const override
    {
        checked(name);
        if (m_mode != EditMode::None)
            return m_buffer.value(name.toLower());
        if (m_pos < 0)
            throw EngineError(ErrNoCurrentRecord, QStringLiteral("Nenhum registro atual."));
        return m_rows[m_pos].value(name.toLower());
    }
    void setText(const QString& name, const QString& text) override
    {
        checked(name);
        if (m_mode == EditMode::None)
            throw EngineError(ErrNoPendingUpdate, QStringLiteral("Atualizar sem AddNew ou Edit."));
        m_buffer[name.toLower()] = text;
    }
    void setValue(const QString& name, const QVariant& value) override { setText(name, value.toString()); }

    int keyCount() const override { return int(m_rows.size()); }
    QString textAt(int position, const QString& name) const override
    {
        checked(name);
        return m_rows.at(position).value(name.toLower());
    }

    void setObserver(RecordsetObserver* observer) override { m_observer = observer; }
    RecordsetObserver* observer() const override { return m_observer; }

private:
    const FakeField* field(const QString& name) const
    {
        for (const FakeField& f : m_fields)
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                return &f;
        return nullptr;
    }
    const FakeField& checked(const QString& name) const
    {
        if (const FakeField* f = field(name))
            return *f;
        throw EngineError(ErrNoField, QStringLiteral("Item não encontrado nesta coleção."));
    }
    bool announce(int action) { return !m_observer || m_observer->recordsetAboutToChange(*this, action); }
    void changed(int action)
    {
        if (m_observer)
            m_observer->recordsetChanged(*this, action);
    }
    // The target is worked out after the announcement: the observer's
    // automatic save may have added a record or made another one current.
    template <typename Target>
    void moveTo(Target target, int action)
    {
        if (!announce(action))
            return;
        if (m_mode == EditMode::Adding)
            m_pos = m_beforeAdd;
        const int position = target();
        m_mode = EditMode::None;  // a pending edit is abandoned by a move
        const int n = int(m_rows.size());
        m_bof = position < 0 || n == 0;
        m_eof = position >= n || n == 0;
        m_pos = (m_bof || m_eof) ? -1 : position;
        changed(action);
    }
    void find(const QString& criteria, bool first)
    {
        static const QRegularExpression re(QStringLiteral("^\\s*(\\S+?)\\s*=\\s*'(.*)'\\s*$"));
        const auto m = re.match(criteria);
        if (!m.hasMatch())
            throw EngineError(ErrSyntax, QStringLiteral("Erro de sintaxe."));
        const QString name = m.captured(1).toLower();
        int found = -1;
        for (int i = 0; i < int(m_rows.size()); ++i) {
            if (m_rows[i].value(name).compare(m.captured(2), Qt::CaseInsensitive) == 0) {
                found = i;
                if (first)
                    break;
            }
        }
        m_noMatch = found < 0;
        if (found >= 0)
            moveTo([=] { return found; }, ActionFind);
    }

    std::vector<FakeField> m_fields;
    std::vector<Row> m_rows;
    bool m_updatable;
    int m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_noMatch = false;
    EditMode m_mode = EditMode::None;
    int m_beforeAdd = -1;
    Row m_buffer;
    RecordsetObserver* m_observer = nullptr;
};

}  // namespace ondrel::test
