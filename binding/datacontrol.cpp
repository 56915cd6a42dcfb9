#include "datacontrol.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTextEdit>
#include <QValidator>
#include <QtGlobal>

#include <algorithm>

namespace ondrel::db {

namespace {

// QLineEdit's own "no limit" length.
constexpr int kNoLimit = 32767;

// QLineEdit cuts every text it is given, even one set in code, at its
// maxLength. A bound box limits typing only: the source lifts maxLength and
// this validator keeps a typed or pasted change from growing the text past
// the limit, keeping the first characters of a paste as a box with a length
// limit does. A stored value longer than the limit is shown whole (the source
// fills the box past the validator) and may be shortened.
class TypingLimit : public QValidator {
public:
    TypingLimit(int limit, const QValidator* inner, QObject* parent)
        : QValidator(parent), m_limit(limit), m_inner(inner) {}

    State validate(QString& input, int& pos) const override
    {
        const qsizetype room = std::max<qsizetype>(m_limit, m_accepted);
        if (!m_filling && input.size() > room) {
            // What was put in ends at the cursor: its end is cut.
            const qsizetype cut = std::min<qsizetype>(input.size() - room, pos);
            input.remove(pos - cut, cut);
            pos -= int(cut);
            if (input.size() > room)
                return Invalid;
        }
        const State state = m_inner ? m_inner->validate(input, pos) : Acceptable;
        if (state != Invalid || m_filling)
            m_accepted = input.size();
        return m_filling ? Acceptable : state;
    }
    void fixup(QString& input) const override
    {
        if (m_inner)
            m_inner->fixup(input);
    }
    void setFilling(bool filling) { m_filling = filling; }

private:
    int m_limit;
    QPointer<const QValidator> m_inner;
    mutable qsizetype m_accepted = 0;
    bool m_filling = false;
};

void takeOverLengthLimit(QLineEdit* edit)
{
    if (!edit || !edit->inputMask().isEmpty() || edit->maxLength() >= kNoLimit)
        return;  // a mask limits by itself; no limit to take over
    auto* limit = new TypingLimit(edit->maxLength(), edit->validator(), edit);
    edit->setMaxLength(kNoLimit);
    edit->setValidator(limit);
}

void setFilling(QLineEdit* edit, bool filling)
{
    if (!edit)
        return;
    if (auto* limit = dynamic_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator())))
        limit->setFilling(filling);
}

// The record keeps "\r\n" line ends; Qt's text boxes edit with "\n".
QString toWidgetLines(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString toRecordLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

// Actions after which the record that was current is left behind.
bool leavesRecord(int action)
{
    return action != ActionUpdate && action != ActionCancel && action != ActionDelete;
}

enum class Kind { Line, PlainText, RichText, Combo, Label };

struct Binding {
    QPointer<QWidget> widget;
    QString field;
    BindMode mode;
    Kind kind;
    QString filled;  // the widget's text right after the last fill or write

    bool multiLine() const { return kind == Kind::PlainText || kind == Kind::RichText; }
    bool writable() const { return mode == BindMode::ReadWrite && kind != Kind::Label; }

    QString shown() const
    {
        switch (kind) {
        case Kind::Line: return static_cast<QLineEdit*>(widget.data())->text();
        case Kind::PlainText: return static_cast<QPlainTextEdit*>(widget.data())->toPlainText();
        case Kind::RichText: return static_cast<QTextEdit*>(widget.data())->toPlainText();
        case Kind::Combo: return static_cast<QComboBox*>(widget.data())->currentText();
        case Kind::Label: return static_cast<QLabel*>(widget.data())->text();
        }
        return {};
    }

    void show(const QString& text) const
    {
        switch (kind) {
        case Kind::Line: {
            auto* edit = static_cast<QLineEdit*>(widget.data());
            takeOverLengthLimit(edit);
            setFilling(edit, true);
            edit->setText(text);
            setFilling(edit, false);
            break;
        }
        case Kind::PlainText: static_cast<QPlainTextEdit*>(widget.data())->setPlainText(text); break;
        case Kind::RichText: static_cast<QTextEdit*>(widget.data())->setPlainText(text); break;
        case Kind::Combo: {
            auto* combo = static_cast<QComboBox*>(widget.data());
            if (combo->isEditable()) {
                setFilling(combo->lineEdit(), true);
                combo->setEditText(text);
                setFilling(combo->lineEdit(), false);
            } else {
                combo->setCurrentIndex(combo->findText(text));
            }
            break;
        }
        case Kind::Label: static_cast<QLabel*>(widget.data())->setText(text); break;
        }
    }

    // Raises the signals a typed change raises, for the windows' _Change
    // handlers.
    void emitChanged(int previousIndex) const
    {
        switch (kind) {
        case Kind::Line: {
            auto* edit = static_cast<QLineEdit*>(widget.data());
            emit edit->textChanged(edit->text());
            break;
        }
        case Kind::PlainText: emit static_cast<QPlainTextEdit*>(widget.data())->textChanged(); break;
        case Kind::RichText: emit static_cast<QTextEdit*>(widget.data())->textChanged(); break;
        case Kind::Combo: {
            auto* combo = static_cast<QComboBox*>(widget.data());
            const QString text = combo->currentText();
            if (combo->currentIndex() != previousIndex)
                emit combo->currentIndexChanged(combo->currentIndex());
            if (QLineEdit* edit = combo->isEditable() ? combo->lineEdit() : nullptr) {
                // the combo relays its box's signal as editTextChanged and
                // currentTextChanged, as for a typed change
                emit edit->textChanged(text);
            } else {
                emit combo->currentTextChanged(text);
            }
            break;
        }
        case Kind::Label: break;
        }
    }

    int index() const
    {
        return kind == Kind::Combo ? static_cast<QComboBox*>(widget.data())->currentIndex() : -1;
    }
};

std::optional<Kind> kindOf(QWidget* widget)
{
    if (qobject_cast<QLineEdit*>(widget))
        return Kind::Line;
    if (qobject_cast<QPlainTextEdit*>(widget))
        return Kind::PlainText;
    if (qobject_cast<QTextEdit*>(widget))
        return Kind::RichText;
    if (qobject_cast<QComboBox*>(widget))
        return Kind::Combo;
    if (qobject_cast<QLabel*>(widget))
        return Kind::Label;
    return std::nullopt;
}

// Sets a flag for the length of a scope and restores it afterwards.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

}  // namespace

class DataControl::Private : public RecordsetObserver {
public:
    explicit Private(DataControl* q) : q(q) {}

    DataControl* q;
    std::shared_ptr<Database> database;
    QString databaseName;
    QString recordSource;
    bool readOnly = false;
    std::shared_ptr<Recordset> rs;
    QString caption;
    std::vector<Binding> bindings;
    std::function<bool()> saveCheck;

    bool userChanged = false;
    bool filling = false;
    bool autoSaving = false;  // inside the automatic save of the record being left
    bool dropping = false;    // inside the drop of an untouched pending record
    quint64 fillGeneration = 0;

    // Runs f; an engine error is reported through engineError instead of
    // escaping into the engine or Qt's event loop.
    template <typename F>
    bool guarded(F&& f)
    {
        try {
            f();
            return true;
        } catch (const EngineError& e) {
            emit q->engineError(e.number(), e.description());
            return false;
        }
    }

    bool isCurrent(const Recordset& other) const { return rs.get() == &other; }

    QString recordText(const Binding& b) const
    {
        if (!rs || !rs->hasField(b.field))
            return {};  // e.g. a hidden box bound to a field the set lacks
        if (!rs->hasCurrent() && rs->editMode() != EditMode::Adding)
            return {};
        QString text;
        try {
            text = rs->text(b.field);
        } catch (const EngineError&) {
            return {};  // a record deleted by another handle shows empty
        }
        return b.multiLine() ? toWidgetLines(text) : text;
    }

    bool anyWidgetDiffers() const
    {
        for (const Binding& b : bindings) {
            if (b.widget && b.writable() && b.shown() != b.filled)
                return true;
        }
        return false;
    }

    // Shows the current record in every bound widget, then raises the change
    // signals of the widgets whose text changed, then reposition. If a handler
    // moves the source again meanwhile, the newer fill has raised its own
    // signals and this one stops.
    void fill(bool reposition)
    {
        const quint64 generation = ++fillGeneration;
        std::vector<std::pair<size_t, int>> changed;  // binding, previous combo index
        {
            std::vector<QSignalBlocker> blockers;
            blockers.reserve(bindings.size() * 2);
            for (const Binding& b : bindings) {
                if (!b.widget)
                    continue;
                blockers.emplace_back(b.widget.data());
                if (b.kind == Kind::Combo) {
                    if (QLineEdit* edit = static_cast<QComboBox*>(b.widget.data())->lineEdit())
                        blockers.emplace_back(edit);
                }
            }
            FlagScope scope(filling);
            for (size_t i = 0; i < bindings.size(); ++i) {
                Binding& b = bindings[i];
                if (!b.widget)
                    continue;
                const QString before = b.shown();
                const int beforeIndex = b.index();
                b.show(recordText(b));
                b.filled = b.shown();
                if (b.filled != before || b.index() != beforeIndex)
                    changed.emplace_back(i, beforeIndex);
            }
            userChanged = false;
        }
        for (const auto& [i, previousIndex] : changed) {
            if (generation != fillGeneration)
                return;
            if (i < bindings.size() && bindings[i].widget)
                bindings[i].emitChanged(previousIndex);
        }
        if (reposition && generation == fillGeneration)
            emit q->reposition();
    }

    void markUserChange()
    {
        if (!filling)
            userChanged = true;
    }

    bool needsSave() const
    {
        if (!userChanged || !rs || !rs->updatable())
            return false;
        return rs->editMode() != EditMode::None || anyWidgetDiffers();
    }

    // The automatic save: the typed values go to the record being left.
    bool autoSave(Recordset& set)
    {
        QString refusal;
        {
            FlagScope scope(autoSaving);
            try {
                if (set.editMode() == EditMode::None)
                    set.edit();
                set.update();  // asks for the bound values through recordsetAboutToUpdate
                userChanged = false;
                return true;
            } catch (const EngineError& e) {
                refusal = e.description();
            }
        }
        emit q->saveRefused(refusal);
        return false;
    }

    // Abandons a pending record nobody typed into. A dropped new record is
    // announced with validate(ActionCancel), so a window that counted it on
    // add new counts it out again.
    void dropPending(Recordset& set)
    {
        FlagScope scope(dropping);
        guarded([&] { set.cancelUpdate(); });
    }

    // The window's checks, then the automatic save. False: the record stays.
    bool saveTyped(Recordset& set)
    {
        bool passed = true;
        if (saveCheck)
            guarded([&] { passed = saveCheck(); });
        return passed && autoSave(set);
    }

    // The automatic-save step of the sequence. False: the record stays.
    bool leaveRecord(Recordset& set, int action)
    {
        if (!leavesRecord(action))
            return true;
        if (needsSave())
            return saveTyped(set);
        if (set.editMode() != EditMode::None)
            dropPending(set);
        return true;
    }

    void emitValidate(int action)
    {
        guarded([&] { emit q->validate(action); });
    }

    bool recordsetAboutToChange(Recordset& set, int action) override
    {
        if (!isCurrent(set))
            return true;
        if (dropping) {
            if (action == ActionCancel)
                emitValidate(ActionCancel);
            return true;
        }
        if (autoSaving)
            return true;  // the save belongs to the announced action
        emitValidate(action);
        if (!isCurrent(set))
            return true;  // a validate handler gave the source another record set
        return leaveRecord(set, action);
    }

    void recordsetAboutToUpdate(Recordset& set) override
    {
        if (isCurrent(set))
            guarded([&] { q->writeBoundValues(); });
    }

    void recordsetChanged(Recordset& set, int action) override
    {
        if (!isCurrent(set) || dropping || autoSaving)
            return;  // the operation that caused the drop or save fills afterwards
        guarded([&] { fill(true); });
    }

    void detach()
    {
        if (rs && rs->observer() == this)
            rs->setObserver(nullptr);
    }

    // Refresh and assignment: the record being left goes through validate and
    // the automatic save first; then the new set shows its first record.
    void replaceRecordset(std::shared_ptr<Recordset> next, bool moveFirst)
    {
        emitValidate(ActionMoveFirst);
        if (rs && !leaveRecord(*rs, ActionMoveFirst))
            throw EngineError(ErrSaveRefused, QStringLiteral("A ação foi cancelada: o registro digitado não pôde ser salvo."));
        if (next != rs) {
            detach();
            rs = std::move(next);
        }
        if (rs) {
            rs->setObserver(nullptr);  // the first record is shown below, once
            if (moveFirst && !(rs->bof() && rs->eof()))
                guarded([&] { rs->moveFirst(); });
            rs->setObserver(this);
        }
        emit q->recordsetReplaced();
        guarded([&] { fill(true); });
    }
};

DataControl::DataControl(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

DataControl::~DataControl()
{
    d->detach();
}

void DataControl::setDatabase(std::shared_ptr<Database> database)
{
    d->database = std::move(database);
}

std::shared_ptr<Database> DataControl::database() const
{
    return d->database;
}

void DataControl::setDatabaseName(const QString& path)
{
    d->databaseName = path;
}

QString DataControl::databaseName() const
{
    if (d->databaseName.isEmpty() && d->database)
        return d->database->path();
    return d->databaseName;
}

void DataControl::setRecordSource(const QString& source)
{
    d->recordSource = source;
}

QString DataControl::recordSource() const
{
    return d->recordSource;
}

void DataControl::setReadOnly(bool snapshot)
{
    d->readOnly = snapshot;
}

bool DataControl::readOnly() const
{
    return d->readOnly;
}

void DataControl::refresh()
{
    if (!d->database)
        throw EngineError(ErrGeneric, QStringLiteral("A fonte de dados não tem um banco de dados aberto."));
    // Opening first: a source that cannot be opened leaves everything as it was.
    auto fresh = d->database->openRecordset(d->recordSource,
                                            d->readOnly ? RecordsetType::Snapshot : RecordsetType::Dynaset);
    d->replaceRecordset(std::move(fresh), false);
}

void DataControl::showSource(const QString& source)
{
    const QString previous = d->recordSource;
    d->recordSource = source;
    try {
        refresh();
    } catch (...) {
        d->recordSource = previous;
        throw;
    }
}

Recordset* DataControl::recordset() const
{
    return d->rs.get();
}

void DataControl::setRecordset(std::shared_ptr<Recordset> rs)
{
    d->replaceRecordset(std::move(rs), true);
}

void DataControl::setSaveCheck(std::function<bool()> check)
{
    d->saveCheck = std::move(check);
}

bool DataControl::saveTypedValues()
{
    return !d->rs || !d->needsSave() || d->saveTyped(*d->rs);
}

void DataControl::setCaption(const QString& caption)
{
    if (caption == d->caption)
        return;
    d->caption = caption;
    emit captionChanged(caption);
}

QString DataControl::caption() const
{
    return d->caption;
}

void DataControl::bind(QWidget* widget, const QString& field, BindMode mode)
{
    const std::optional<Kind> kind = widget ? kindOf(widget) : std::nullopt;
    if (!kind) {
        qWarning("DataControl::bind: unsupported widget for field %s", qPrintable(field));
        return;
    }
    Binding b{widget, field, mode, *kind, {}};
    Private* p = d.get();
    auto mark = [p] { p->markUserChange(); };
    switch (*kind) {
    case Kind::Line: {
        auto* edit = static_cast<QLineEdit*>(widget);
        takeOverLengthLimit(edit);
        connect(edit, &QLineEdit::textEdited, this, mark);
        break;
    }
    case Kind::PlainText:
        // Typing adds undo steps; setPlainText from code does not.
        connect(static_cast<QPlainTextEdit*>(widget)->document(), &QTextDocument::undoCommandAdded, this, mark);
        break;
    case Kind::RichText:
        connect(static_cast<QTextEdit*>(widget)->document(), &QTextDocument::undoCommandAdded, this, mark);
        break;
    case Kind::Combo: {
        auto* combo = static_cast<QComboBox*>(widget);
        takeOverLengthLimit(combo->lineEdit());
        connect(combo, &QComboBox::activated, this, mark);
        if (QLineEdit* edit = combo->lineEdit())
            connect(edit, &QLineEdit::textEdited, this, mark);
        break;
    }
    case Kind::Label: break;
    }
    b.filled = b.shown();
    d->bindings.push_back(std::move(b));
}

bool DataControl::userChanged() const
{
    return d->userChanged;
}

void DataControl::writeBoundValues()
{
    Recordset* rs = d->rs.get();
    if (!rs)
        return;
    for (Binding& b : d->bindings) {
        if (!b.widget || !b.writable() || !rs->hasField(b.field))
            continue;
        if (rs->fieldType(b.field) == FieldType::Counter)
            continue;  // automatic numbers are never written
        const QString shown = b.shown();
        if (shown == b.filled)
            continue;
        rs->setText(b.field, b.multiLine() ? toRecordLines(shown) : shown);
        b.filled = shown;
    }
}

void DataControl::refillBoundWidgets()
{
    d->guarded([&] { d->fill(false); });
}

}  // namespace ondrel::db
