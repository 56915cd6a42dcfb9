// What a connection to the server hears of the other desks' work: the
// triggers that announce every committed change to the objects or the loans
// (pg_notify, delivered at commit), and the connection listening for them
// between its statements.
#include "pgstore.h"

#include "libpq.h"

#include <QSocketNotifier>
#include <QTimer>

namespace ondrel::db {

namespace {

// The channel the changes are announced on; the payload names the table.
constexpr const char* kChannel = "ondrel_mudancas";

// How long the first notice of a burst waits for the rest: changes from
// several desks within it are told once.
constexpr int kToldAfterMs = 150;

}  // namespace

struct PgConnection::Watch {
    std::function<void()> told;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer timer;
};

void PgConnection::addChangeNotices()
{
    // One notice per statement (not per row), whoever writes; the server
    // delivers it when the transaction commits, and not at all when it is
    // rolled back.
    const struct {
        const char* table;
        const char* trigger;
    } tables[] = {{"objetos", "ondrel_objetos_tell"}, {"\"empréstimos\"", "ondrel_emprestimos_tell"}};
    bool missing = false;
    for (const auto& t : tables)
        missing = missing || !hasSchemaObject(QString::fromLatin1(t.trigger));
    if (!missing)
        return;
    simple(QByteArray("CREATE OR REPLACE FUNCTION ondrel_tell_desks() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN "
                      "PERFORM pg_notify('") + kChannel + "', TG_TABLE_NAME); RETURN NULL; END $f$");
    for (const auto& t : tables)
        if (!hasSchemaObject(QString::fromLatin1(t.trigger)))
            simple(QByteArray("CREATE TRIGGER ") + t.trigger + " AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "
                   + t.table + " FOR EACH STATEMENT EXECUTE FUNCTION ondrel_tell_desks()");
}

void PgConnection::watchOthers(std::function<void()> told)
{
    checkOpen();
    if (!told) {
        if (m_watch) {
            m_watch.reset();
            simple(QByteArray("UNLISTEN ") + kChannel);
        }
        return;
    }
    if (!m_watch) {
        m_watch = std::make_shared<Watch>();
        m_watch->timer.setSingleShot(true);
        m_watch->timer.setInterval(kToldAfterMs);
        QObject::connect(&m_watch->timer, &QTimer::timeout, [this] { tellOthersWork(); });
        listen();
    }
    m_watch->told = std::move(told);
}

void PgConnection::listen()
{
    simple(QByteArray("LISTEN ") + kChannel);
    // The notices arrive on the socket the statements use: read only when
    // the event loop runs, that is between statements.
    m_watch->notifier.reset();  // a new session may have its socket's number
    m_watch->notifier = std::make_unique<QSocketNotifier>(libpq().PQsocket(m_conn), QSocketNotifier::Read);
    QObject::connect(m_watch->notifier.get(), &QSocketNotifier::activated, [this] { readNotices(); });
}

void PgConnection::listenAgain()
{
    // A new session listens to no one: listen again, and tell the window
    // once, for what other desks did while this one could not hear.
    if (!m_watch)
        return;
    listen();
    m_watch->timer.start();
}

void PgConnection::readNotices()
{
    if (!m_conn || !m_watch)
        return;
    if (!libpq().PQconsumeInput(m_conn)) {
        // The connection broke: its socket would wake the loop for ever.
        // The next statement says so to the window.
        m_watch->notifier->setEnabled(false);
        return;
    }
    takeNotices();
}

void PgConnection::takeNotices()
{
    // A statement's answer may bring notices with it; they wait in libpq,
    // and the socket says nothing more of them.
    bool others = false;
    const int self = libpq().PQbackendPID(m_conn);
    while (PGnotify* notice = libpq().PQnotifies(m_conn)) {
        // This connection's own changes are no news to its window.
        others = others || notice->be_pid != self;
        libpq().PQfreemem(notice);
    }
    if (others && m_watch && !m_watch->timer.isActive())
        m_watch->timer.start();
}

void PgConnection::tellOthersWork()
{
    if (!m_watch || !m_watch->told || !m_conn)
        return;
    // Never inside a transaction's work: told once it has ended.
    if (inTransaction()) {
        m_watch->timer.start();
        return;
    }
    // A copy: what is told may stop the watch.
    const std::function<void()> told = m_watch->told;
    told();
}

}  // namespace ondrel::db
