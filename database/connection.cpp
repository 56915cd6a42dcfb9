#include "connection.h"

#include "engineerror.h"

#include <QList>
#include <QMutex>

namespace ondrel::db {

namespace {

// Every open connection of the process, whatever its store.
struct Live {
    QMutex mutex;
    QList<Connection*> connections;
};

Live& live()
{
    static Live l;
    return l;
}

}  // namespace

QString duplicateKeyText()
{
    return QStringLiteral("As alterações solicitadas na tabela não foram bem-sucedidas porque criariam valores "
                          "duplicados no índice ou chave primária.");
}

QString readOnlyText(const QString& collection)
{
    return QStringLiteral("Nada foi gravado: a coleção \"%1\" é somente leitura (o arquivo ou a sua pasta não pode "
                          "ser alterado).").arg(collection);
}

qint64 moneyUnits(const QVariant& value)
{
    if (value.typeId() == qMetaTypeId<Money>())
        return value.value<Money>().units;
    return value.toLongLong();
}

void Statement::bind(int index, const QVariant& value)
{
    if (value.isNull() || !value.isValid()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        bindInt(index, value.toLongLong());
        break;
    case QMetaType::Double:
        bindDouble(index, value.toDouble());
        break;
    default:
        if (value.typeId() == qMetaTypeId<Money>())
            bindMoney(index, value.value<Money>().units);
        else
            bindText(index, value.toString());
    }
}

ScopedRun::~ScopedRun()
{
    m_statement.reset();
}

Connection::Connection()
{
    QMutexLocker lock(&live().mutex);
    live().connections.append(this);
}

Connection::~Connection()
{
    QMutexLocker lock(&live().mutex);
    live().connections.removeAll(this);
}

void Connection::closed()
{
    throw EngineError(ErrClosed, QStringLiteral("O objeto foi fechado ou não é válido."));
}

void Connection::checkpointAndCloseAll()
{
    QList<Connection*> connections;
    {
        QMutexLocker lock(&live().mutex);
        connections = live().connections;
    }
    for (Connection* c : connections)
        c->checkpointAndClose();
}

void Connection::excludeFromCloseAll()
{
    QMutexLocker lock(&live().mutex);
    live().connections.removeAll(this);
}

void Connection::noteWrite(const QString& table)
{
    if (table.isEmpty())
        ++m_nativeWrites;
    else
        ++m_writes[table];
}

qint64 Connection::writesTo(const QString& table) const
{
    return m_writes.value(table) + m_nativeWrites;
}

Transaction::Transaction(Connection& connection, Wait wait) : m_connection(connection)
{
    m_connection.begin(wait);
}

Transaction::~Transaction()
{
    if (m_open)
        m_connection.rollback();
}

void Transaction::commit()
{
    m_connection.commit();
    m_open = false;
}

}  // namespace ondrel::db
