#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>

namespace ondrel::db {

// An amount of a currency field as a statement binds it: ten-thousandths of
// the unit. Each store writes it in its own exact form (an integer of
// ten-thousandths in a file, a four-decimal numeric on a server).
struct Money {
    qint64 units = 0;
};

// The ten-thousandths of a bound or stored amount (a Money or an integer).
qint64 moneyUnits(const QVariant& value);

// One prepared statement of a store, released with its owner. Bind, step,
// read columns; reset() makes it ready for the next run (a ScopedRun does it
// for you). Statements are written with `?` (and `?N`) for their parameters,
// whatever the store.
class Statement {
public:
    virtual ~Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value);  // 1-based
    virtual void bindText(int index, const QString& text) = 0;
    virtual void bindInt(int index, qint64 value) = 0;
    virtual void bindNull(int index) = 0;
    virtual void bindDouble(int index, double value) = 0;
    virtual void bindMoney(int index, qint64 units) = 0;

    // Steps once: true while a row is available. Throws EngineError on failure.
    virtual bool step() = 0;
    virtual void reset() = 0;

    virtual int columnCount() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual qint64 columnInt(int column) const = 0;  // a truth value reads 1 or 0
    virtual QString columnText(int column) const = 0;
    virtual QVariant column(int column) const = 0;  // integer / text / null
    virtual bool isInteger(int column) const = 0;
    virtual QByteArrayView columnUtf8(int column) const = 0;  // valid until the next step
    // An amount of a currency field, in ten-thousandths.
    virtual qint64 columnMoney(int column) const = 0;

    const QByteArray& sql() const { return m_sql; }

protected:
    explicit Statement(const QByteArray& sql) : m_sql(sql) {}

private:
    QByteArray m_sql;
};

// Resets (and unbinds) a statement when the scope ends, so that no statement
// stays stepping between two calls into the layer.
class ScopedRun {
public:
    explicit ScopedRun(Statement& statement) : m_statement(statement) {}
    ~ScopedRun();
    ScopedRun(const ScopedRun&) = delete;
    ScopedRun& operator=(const ScopedRun&) = delete;
    Statement* operator->() const { return &m_statement; }
    Statement& operator*() const { return m_statement; }

private:
    Statement& m_statement;
};

}  // namespace ondrel::db

Q_DECLARE_METATYPE(ondrel::db::Money)
