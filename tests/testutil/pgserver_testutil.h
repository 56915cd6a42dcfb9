#pragma once

// A PostgreSQL server of the test's own: initdb into a temporary folder with
// a short path, started by an unprivileged user that owns it (PostgreSQL
// refuses root, and CI runs as root), listening only on a Unix socket in that
// folder, stopped and removed when the test ends — also when the test process
// dies, by a small reaper process that waits for it. Each collection gets an
// empty database of its own. The benchmark starts one the same way, durable
// (every commit synced) and with its data kept in a folder of its cache.
//
// The server's programs (Debian's postgresql-15, with pg_trgm) are test
// dependencies: ./test.sh installs them; the program needs only libpq.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include "database/libpq.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testutil {

class PgServer {
public:
    // The server of this process, started on first use.
    static PgServer& instance()
    {
        static PgServer server;
        return server;
    }

    // A server whose commits are synced to the disk, its data in
    // `dataFolder` (kept, and used again when it holds a server's data), or
    // in the temporary folder when that is empty.
    PgServer(bool durable, const QString& dataFolder) : m_durable(durable) { start(dataFolder); }

    // Empty when the server runs; else why it does not.
    const QString& failure() const { return m_failure; }

    // A new, empty database on the server, by its address.
    QString createDatabase()
    {
        const QString name = QStringLiteral("colecao%1").arg(++m_databases);
        if (!m_failure.isEmpty() || !execute(QStringLiteral("postgres"), "CREATE DATABASE " + name.toUtf8()))
            return address(QStringLiteral("indisponivel"));
        return address(name);
    }

    // The address of a database of the server.
    QString address(const QString& database) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=ondrel").arg(m_folder).arg(kPort).arg(database);
    }

    // Runs SQL text on a database of the server, as psql would; returns the
    // error, empty on success. `rows` gets the first column of every row.
    QString run(const QString& address, const QByteArray& sql, QStringList* rows = nullptr) const
    {
        PGconn* conn = ondrel::db::libpq().PQconnectdb(address.toUtf8().constData());
        ondrel::db::libpq().PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
        QString error;
        if (ondrel::db::libpq().PQstatus(conn) != CONNECTION_OK) {
            error = QString::fromUtf8(ondrel::db::libpq().PQerrorMessage(conn));
        } else {
            PGresult* result = ondrel::db::libpq().PQexec(conn, sql.constData());
            const ExecStatusType status = ondrel::db::libpq().PQresultStatus(result);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
                error = QString::fromUtf8(ondrel::db::libpq().PQresultErrorMessage(result));
            else if (rows)
                for (int i = 0; i < ondrel::db::libpq().PQntuples(result); ++i)
                    rows->append(QString::fromUtf8(ondrel::db::libpq().PQgetvalue(result, i, 0)));
            ondrel::db::libpq().PQclear(result);
        }
        ondrel::db::libpq().PQfinish(conn);
        return error;
    }

    ~PgServer() { stop(); }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

private:
    static constexpr int kPort = 5432;

    PgServer() { start(QString()); }

    void start(const QString& dataFolder)
    {
        const QString bin = serverPrograms();
        if (bin.isEmpty()) {
            m_failure = QStringLiteral("PostgreSQL 15 server not installed (postgresql-15): run ./test.sh");
            return;
        }
        char folder[] = "/tmp/ondrel-pg-XXXXXX";
        if (!::mkdtemp(folder)) {
            m_failure = QStringLiteral("no temporary folder");
            return;
        }
        m_folder = QString::fromLocal8Bit(folder);
        startReaper();
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (!user)
                user = ::getpwnam("nobody");
            if (!user) {
                m_failure = QStringLiteral("no unprivileged user to run the server");
                return;
            }
            m_uid = user->pw_uid;
            m_gid = user->pw_gid;
            if (::chown(folder, m_uid, m_gid) != 0) {
                m_failure = QStringLiteral("cannot give the server its folder");
                return;
            }
        }
        m_data = dataFolder.isEmpty() ? m_folder + QStringLiteral("/data") : dataFolder;
        if (!dataFolder.isEmpty()) {
            QFile named(m_folder + QStringLiteral("/data-folder"));
            if (named.open(QIODevice::WriteOnly))
                named.write(QFile::encodeName(m_data));
        }
        const QByteArray data = QFile::encodeName(m_data);
        const QByteArray log = QFile::encodeName(m_folder + QStringLiteral("/server.log"));
        const QByteArray initdb = QFile::encodeName(bin + QStringLiteral("/initdb"));
        if (!QFileInfo::exists(m_data + QStringLiteral("/PG_VERSION"))) {
            QDir().mkpath(m_data);
            if (::geteuid() == 0 && ::chown(data.constData(), m_uid, m_gid) != 0) {
                m_failure = QStringLiteral("cannot give the server its data folder");
                return;
            }
            const pid_t init = spawn({initdb.constData(), "-D", data.constData(), "-A", "trust", "-U", "ondrel",
                                      "-E", "UTF8", "--locale=C", "--no-sync", nullptr},
                                     log);
            int status = 0;
            if (init < 0 || ::waitpid(init, &status, 0) != init || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                m_failure = QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(readLog());
                return;
            }
        }
        launch();
    }

    // Starts the server on its data and socket and waits until it answers;
    // m_failure says why when it does not.
    void launch()
    {
        const QByteArray data = QFile::encodeName(m_data);
        const QByteArray log = QFile::encodeName(m_folder + QStringLiteral("/server.log"));
        const QByteArray postgres = QFile::encodeName(serverPrograms() + QStringLiteral("/postgres"));
        const QByteArray socket = QFile::encodeName(m_folder);
        const QByteArray port = QByteArray::number(kPort);
        // Durability is not what the tests look at: no sync to the disk.
        const char* sync = m_durable ? "fsync=on" : "fsync=off";
        const char* commit = m_durable ? "synchronous_commit=on" : "synchronous_commit=off";
        const char* pages = m_durable ? "full_page_writes=on" : "full_page_writes=off";
        m_server = spawn({postgres.constData(), "-D", data.constData(), "-k", socket.constData(), "-p",
                          port.constData(), "-c", "listen_addresses=", "-c", sync, "-c", commit, "-c", pages, "-c",
                          "max_connections=40", nullptr},
                         log);
        const QByteArray ping = address(QStringLiteral("postgres")).toUtf8();
        for (int i = 0; i < 600; ++i) {
            if (ondrel::db::libpq().PQping(ping.constData()) == PQPING_OK) {
                m_failure.clear();
                return;
            }
            int exited = 0;
            if (m_server < 0 || ::waitpid(m_server, &exited, WNOHANG) == m_server) {
                m_server = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_failure = QStringLiteral("the server did not start: ") + QString::fromLocal8Bit(readLog());
    }

    // Debian keeps the server's programs out of the PATH.
    static QString serverPrograms()
    {
        glob_t found{};
        QString bin;
        if (::glob("/usr/lib/postgresql/*/bin/postgres", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
            bin = QFileInfo(QString::fromLocal8Bit(found.gl_pathv[found.gl_pathc - 1])).absolutePath();
        ::globfree(&found);
        return bin;
    }

    // Runs a program as the server's user, its output going to `log`.
    pid_t spawn(std::initializer_list<const char*> argv, const QByteArray& log) const
    {
        std::vector<char*> args;
        for (const char* a : argv)
            args.push_back(const_cast<char*>(a));
        const pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (::geteuid() == 0) {
            if (out >= 0 && ::fchown(out, m_uid, m_gid) != 0)
                ::_exit(126);
            if (::setgid(m_gid) != 0 || ::setuid(m_uid) != 0)
                ::_exit(126);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }

    // A process of its own session, so that it outlives the test however
    // the test ends: when the pipe it reads closes (the test ended or died),
    // it stops what server is left and removes the folder.
    void startReaper()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        const QByteArray folder = QFile::encodeName(m_folder);
        m_reaper = ::fork();
        if (m_reaper == 0) {
            ::setsid();
            ::dup2(fds[0], 0);
            // The server's data may lie elsewhere (the benchmark's cache),
            // named in the folder once it is known.
            const char* script =
                "cat >/dev/null; data=$(cat \"$1/data-folder\" 2>/dev/null); [ -n \"$data\" ] || data=\"$1/data\"; "
                "pid=$(head -n 1 \"$data/postmaster.pid\" 2>/dev/null); "
                "if [ -n \"$pid\" ]; then kill -INT \"$pid\" 2>/dev/null; i=0; "
                "while kill -0 \"$pid\" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
                "kill -KILL \"$pid\" 2>/dev/null; fi; rm -rf \"$1\"";
            ::execl("/bin/sh", "sh", "-c", script, "sh", folder.constData(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[0]);
        m_reaperPipe = fds[1];
    }

    void stop()
    {
        stopServer();
        if (m_reaperPipe >= 0) {
            ::close(m_reaperPipe);
            m_reaperPipe = -1;
            int status = 0;
            ::waitpid(m_reaper, &status, 0);
        }
    }

public:
    // Stops the server as a restart or a power cut would meet a program
    // (a fast shutdown: every session cut, every open transaction rolled
    // back), and starts it again on the same data and socket. Use Outage,
    // which always starts it again.
    void stopServer()
    {
        if (m_server > 0) {
            ::kill(m_server, SIGINT);  // a fast shutdown
            int status = 0;
            for (int i = 0; i < 200 && ::waitpid(m_server, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::waitpid(m_server, &status, WNOHANG) == 0) {
                ::kill(m_server, SIGKILL);
                ::waitpid(m_server, &status, 0);
            }
            m_server = -1;
        }
    }
    bool startServer()
    {
        if (m_server <= 0 && !m_data.isEmpty())
            launch();
        return m_server > 0 && m_failure.isEmpty();
    }

private:

    QByteArray readLog() const
    {
        QFile log(m_folder + QStringLiteral("/server.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().right(2000) : QByteArray();
    }

    bool execute(const QString& database, const QByteArray& sql) const
    {
        const QString error = run(address(database), sql);
        return error.isEmpty();
    }

    QString m_folder;
    QString m_data;
    bool m_durable = false;
    QString m_failure;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    pid_t m_server = -1;
    pid_t m_reaper = -1;
    int m_reaperPipe = -1;
    int m_databases = 0;
};

// The test's server stopped while the object lives: started again when it
// ends (or at back()), however the test ends, so the tests after it find it.
class Outage {
public:
    explicit Outage(PgServer& server) : m_server(server) { m_server.stopServer(); }
    ~Outage() { back(); }
    Outage(const Outage&) = delete;
    Outage& operator=(const Outage&) = delete;
    // Starts the server again; false when it did not start.
    bool back()
    {
        if (!m_down)
            return true;
        m_down = false;
        return m_server.startServer();
    }

private:
    PgServer& m_server;
    bool m_down = true;
};

}  // namespace testutil
