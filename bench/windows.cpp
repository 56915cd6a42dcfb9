// The window benchmark: the real catalogue, loans and search windows driven
// offscreen on a generated collection, each step timed as a person feels it
// (from the command until the window has painted its result), next to the
// least SQLite work that shows the same (the raw floor).
//
//   ondrel-bench --windows [--objects N --loans M] [--runs N] [--quick] [--only STEPS] [--store file|server|both]
//
// Without --objects both sizes run: 32,767 objects with 100,000 loans, and
// 1,000,000 objects with 3,000,000 loans. Each size runs on fresh copies of
// its cached collection in two child processes: one times every step against
// its floor, one goes through every step a few times without the floor's
// handle and reports the peak memory of the windows (VmHWM). --only runs the
// chosen steps (after the start-up) in this process, for a profiler.
//
// Each size runs on both stores (--store file|server|both): the collection
// file, and the same collection on a PostgreSQL server the benchmark starts
// as the tests start theirs (over its Unix socket, every commit synced),
// loaded once from the cached file and kept in the server's data folder
// beside the cache. The server's figures have no raw floor but for a lend
// and a save, whose floor is one synced commit of the server.
//
// Message boxes, the beep and the sounds go to the recording services double,
// so nothing blocks; a message box shown during a step fails the run, since
// the step then timed an error instead of its work.
#include "windows.h"

#include "collection.h"
#include "floor.h"
#include "rawsqlite.h"

#include "binding/datacontrol.h"
#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "collection/statements.h"
#include "collection/settings.h"
#include "database/address.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/schema.h"
#include "core/valuetext.h"
#include "forms/guard.h"
#include "loans/Frmemprestimos.h"
#include "collection/places.h"
#include "platform/testservices.h"
#include "plugin/windowlinks.h"
#include "search/Frmpesquisa.h"
#include "tests/testutil/pgserver_testutil.h"
#include "tests/testutil/widget_testutil.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace ondrel::bench {

namespace {

using catalogue::Frmobjetos;
using loans::Frmemprestimos;
using search::Frmpesquisa;

struct Size {
    int objects;
    int loans;
};
constexpr Size kSmall{32767, 100000};
constexpr Size kLarge{1000000, 3000000};
constexpr Size kQuick{300, 900};
constexpr int kDefaultRuns = 11;
// The memory run goes through every step this many times: enough to see
// memory that grows with use.
constexpr int kMemoryRuns = 3;

// What a catalogue search looks for in the titles: one of the generator's
// words, typed in lower case and without its accent.
const QString kSearchKey = QStringLiteral("sertao");
const QString kBorrower = QStringLiteral("Leitor Bench");
// The code of the loans the floor of a lend writes (and takes away again).
const QString kFloorLoanCode = QStringLiteral("ZZPISO");
// The folded keys the objects' search index holds.
constexpr const char* kSearchKeys = "objeto_chave, titulo_chave, autor_chave, assunto_chave, descricao_chave";

// Where a loan stands in the table's order, read from the counts the file
// keeps as the engine reads them (bind its row id): the kept count of the
// loans, what their blocks add up to (the same when they can be used), and
// the loans of the blocks before its own with those before it in its block.
std::string loanPlaceSql()
{
    const std::string shift = std::to_string(db::kBlockShift);
    return "SELECT (SELECT records FROM ondrel_changes WHERE tbl = 'empréstimos' AND counted = changes), "
           "(SELECT sum(records) FROM ondrel_blocks WHERE tbl = 'empréstimos'), "
           "(SELECT coalesce(sum(records), 0) FROM ondrel_blocks WHERE tbl = 'empréstimos' AND block < ?1 >> "
        + shift + ") + (SELECT count(*) FROM \"empréstimos\" WHERE rowid >= (?1 >> " + shift + ") << " + shift
        + " AND rowid < ?1)";
}

enum class Target { StartUp, Frame, Order, Search, LoansWindow, None };

// The targets at 32,767 objects / 100,000 loans; a larger collection is held
// to those at 1,000,000 / 3,000,000.
double targetMs(Target target, bool large)
{
    switch (target) {
    case Target::StartUp: return large ? 300 : 100;
    case Target::Frame: return 16;
    case Target::Order: return large ? 50 : 20;
    case Target::Search: return large ? 500 : 50;
    case Target::LoansWindow: return 50;
    case Target::None: break;
    }
    return -1;
}
constexpr double kPeakMb = 100;

void require(bool condition, const QString& what)
{
    if (!condition)
        throw Failure(("the windows did not do the work timed: " + what).toStdString());
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Lets the windows finish what a step started: posted events, layout and
// painting into the offscreen backing store.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Wall-clock and CPU times of the steps of one figure.
struct Times {
    std::vector<double> wall, cpu;
};

// A step as a person feels it: the command and what it leaves to do until
// the window has painted.
void timeStep(Times& times, const std::function<void()>& step)
{
    const double cpu = cpuMs();
    times.wall.push_back(elapsedMs([&] {
        step();
        settle();
    }));
    times.cpu.push_back(cpuMs() - cpu);
}

// A memory figure of this process in MB: "VmHWM:" (its peak resident
// memory) or "VmRSS:" (resident now).
double memoryMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nan("");
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).simplified().split(' ').value(0).toDouble() / 1024.0;
    return std::nan("");
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2) : QString();
}

QString grouped(int n)
{
    return QLocale(QLocale::English).toString(n);
}

struct Figure {
    QString name;
    double value = 0;           // wall-clock time (what the target judges), or MB
    double cpu = std::nan("");  // of which this process's own CPU time
    double raw = std::nan("");  // the raw floor, where one exists
    double target = -1;         // none when negative
    QString unit = QStringLiteral("ms");

    // A commit on a server is held to its target by the program's own CPU
    // time: the server's synced commit is printed apart (its floor).
    bool over() const { return target >= 0 && (unit == u"ms cpu" ? cpu : value) > target; }
    QString text() const
    {
        QString t = QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(unit.section(u' ', 0, 0));
        QStringList notes;
        if (!std::isnan(cpu))
            notes << QStringLiteral("cpu %1").arg(cpu, 0, 'f', 1);
        if (!std::isnan(raw))
            notes << QStringLiteral("raw %1").arg(raw, 0, 'f', 1);
        if (!notes.isEmpty())
            t += QStringLiteral(" (") + notes.join(QStringLiteral(", ")) + u')';
        return t;
    }
    QString line() const
    {
        QString t = name + QStringLiteral(": ") + text();
        if (over())
            t += QStringLiteral("  over target (%1 %2)").arg(target).arg(unit);
        return t;
    }
    // name TAB value TAB cpu TAB raw TAB target TAB unit
    QString record() const
    {
        const auto number = [](double v) { return std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'f', 3); };
        return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
            .arg(name, number(value), number(cpu), number(raw))
            .arg(target)
            .arg(unit);
    }
    static std::optional<Figure> parse(const QString& line)
    {
        const QStringList p = line.split(u'\t');
        if (p.size() != 6)
            return std::nullopt;
        const auto number = [](const QString& v) { return v == u"-" ? std::nan("") : v.toDouble(); };
        return Figure{p[0], number(p[1]), number(p[2]), number(p[3]), p[4].toDouble(), p[5]};
    }
};

void print(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// The child: one size, one process

// The raw floor: a handle of its own on the same file, with the engine's
// folding, and the statements the windows' work comes down to.
RawDatabase openFolding(const QString& path)
{
    RawDatabase db(utf8(path));
    registerFold(db);
    return db;
}

struct Floor {
    explicit Floor(const QString& path)
        : db(openFolding(path)), writer(db),
          firstRow(prep(std::string("SELECT rowid, ") + kObjectColumns + " FROM objetos ORDER BY rowid LIMIT 1")),
          rowAfter(prep(std::string("SELECT rowid, ") + kObjectColumns
                        + " FROM objetos WHERE rowid > ? ORDER BY rowid LIMIT 1")),
          rowidOfCode(prep("SELECT rowid FROM objetos WHERE cod_chave = ?")),
          loansOfCode(prep(loansOfCodeSql())),
          firstMatch(prep(std::string("SELECT rowid, ") + kObjectColumns
                          + " FROM objetos WHERE instr(ondrel_fold(\"Título\"), ?) > 0 ORDER BY rowid LIMIT 1")),
          countMatches(prep("SELECT count(*) FROM objetos WHERE instr(ondrel_fold(\"Título\"), ?) > 0")),
          lastLoanOfCode(prep(std::string("SELECT rowid, ") + kLoanColumns
                              + " FROM \"empréstimos\" WHERE codobjeto_chave = ? ORDER BY rowid DESC LIMIT 1")),
          firstLoan(prep(std::string("SELECT rowid, ") + kLoanColumns + " FROM \"empréstimos\" ORDER BY rowid LIMIT 1")),
          lastLoan(prep(std::string("SELECT rowid, ") + kLoanColumns
                        + " FROM \"empréstimos\" ORDER BY rowid DESC LIMIT 1")),
          loanPlace(prep(loanPlaceSql())),
          rowsUpTo(prep(std::string("SELECT rowid, ") + kLoanColumns
                        + " FROM \"empréstimos\" WHERE rowid <= ? ORDER BY rowid DESC LIMIT 9")),
          notReturned(prep(std::string("SELECT rowid, ") + kLoanColumns
                           + " FROM \"empréstimos\" WHERE ondrel_fold(\"Entregue\") = 'nao' ORDER BY rowid LIMIT 1")),
          newestLoan(prep(std::string("SELECT rowid, ") + kLoanColumns
                          + " FROM \"empréstimos\" ORDER BY \"Data\" DESC, rowid DESC LIMIT 1")),
          countLoansOfCode(prep("SELECT count(*) FROM \"empréstimos\" WHERE codobjeto_chave = ?")),
          insertLoan(prep("INSERT INTO \"empréstimos\" (codobjeto, \"Nome\", objeto, \"Título\", \"Autor\", \"Data\", "
                          "\"Entregue\", codobjeto_chave) VALUES (?, ?, 'Livro', 'Título', 'Autor', ?, 'Não', ?)")),
          deleteLoansOfCode(prep("DELETE FROM \"empréstimos\" WHERE codobjeto_chave = ?")),
          updateDescription(prep("UPDATE objetos SET \"Descrição\" = ?1, descricao_chave = ondrel_fold(?1) "
                                 "WHERE rowid = ?2")),
          unindexObject(prep(std::string("INSERT INTO objetos_busca (objetos_busca, rowid, ") + kSearchKeys
                             + ") SELECT 'delete', rowid, " + kSearchKeys + " FROM objetos WHERE rowid = ?")),
          indexObject(prep(std::string("INSERT INTO objetos_busca (rowid, ") + kSearchKeys + ") SELECT rowid, "
                           + kSearchKeys + " FROM objetos WHERE rowid = ?")),
          noteChange(prep("UPDATE ondrel_changes SET keyed = CASE WHEN keyed = changes - ?1 THEN changes ELSE keyed "
                          "END, records = CASE WHEN counted = changes - ?1 THEN records + ?2 ELSE records END, "
                          "counted = CASE WHEN counted = changes - ?1 THEN changes ELSE counted END WHERE tbl = ?3")),
          descriptionOfCode(prep("SELECT \"Descrição\" FROM objetos WHERE cod_chave = ?"))
    {
        db.exec("PRAGMA synchronous=FULL");  // records are committed as the engine commits them
    }

    RawStatement prep(const std::string& sql) { return db.prepare(sql); }

    // The most late loan (the rule of collection/duedates.h, by the default
    // period), prepared once the windows have given the file its "prazo".
    RawStatement& lateLoan()
    {
        if (!m_lateLoan)
            m_lateLoan = prep(std::string("SELECT rowid, ") + kLoanColumns
                              + " FROM \"empréstimos\" WHERE \"Entregue\" = 'Não' AND coalesce(date(prazo), "
                                "date(\"Data\", '+30 days')) < date('now', 'localtime') ORDER BY coalesce(date(prazo), "
                                "date(\"Data\", '+30 days')), rowid LIMIT 1");
        return *m_lateLoan;
    }

    // The text of the first column of a statement's first row ("" for none),
    // every column of that row read.
    std::string firstText(RawStatement& st, const std::function<void(RawRun&)>& bind = {}, int column = 0)
    {
        RawRun run(st);
        if (bind)
            bind(run);
        if (!run.step())
            return {};
        run.touchRow();
        return std::string(run.text(column));
    }
    std::int64_t firstInteger(RawStatement& st, const std::function<void(RawRun&)>& bind = {})
    {
        RawRun run(st);
        if (bind)
            bind(run);
        return run.step() ? run.integer(0) : -1;
    }

    // A loan's row id and code, from a statement that selects them first.
    std::pair<std::int64_t, std::string> loanOf(RawStatement& st, const std::function<void(RawRun&)>& bind = {})
    {
        RawRun run(st);
        if (bind)
            bind(run);
        if (!run.step())
            return {-1, {}};
        run.touchRow();
        return {run.integer(0), std::string(run.text(1))};
    }
    // The counter of the loans window standing on a loan: its place in the
    // table's order and the count of the loans, as the file keeps them.
    QString counterOf(RawStatement& place, std::int64_t rowid)
    {
        RawRun run(place);
        run.bind(1, rowid);
        require(run.step() && run.integer(0) == run.integer(1), QStringLiteral("the file keeps the loans' blocks"));
        return db::counterText(run.integer(2) + 1, run.integer(0));
    }
    // The rows a grid shows, up to a loan.
    void readRowsUpTo(std::int64_t rowid)
    {
        RawRun run(rowsUpTo);
        run.bind(1, rowid);
        while (run.step())
            run.touchRow();
    }

    // What a change of the shown code costs at least: "pesquisa" rewritten
    // and the newest loan of the code read. Returns its borrower.
    std::string showLoansOf(const QString& code)
    {
        writer.rewrite("pesquisa", utf8(db::loansOfObject(code)));
        return firstText(loansOfCode, [&](RawRun& r) { r.bind(1, utf8(db::foldText(code))); }, 1);
    }

    // A fully synced transaction around a statement of a table, as the
    // engine commits a record: `records` more or fewer per row written, and
    // the change noted in the ledger as the engine notes its own.
    void commit(RawStatement& st, const std::function<void(RawRun&)>& bind, const char* table, int records)
    {
        db.exec("BEGIN IMMEDIATE");
        {
            RawRun run(st);
            bind(run);
            run.step();
        }
        note(table, records);
        db.exec("COMMIT");
    }
    void note(const char* table, int records)
    {
        const int rows = sqlite3_changes(db.handle());
        RawRun run(noteChange);
        run.bind(1, std::int64_t(rows));
        run.bind(2, std::int64_t(rows * records));
        run.bind(3, table);
        run.step();
    }
    // The description of an object saved as the engine saves it: its key and
    // its search index follow.
    void saveDescription(std::int64_t rowid, const std::string& text)
    {
        db.exec("BEGIN IMMEDIATE");
        for (RawStatement* st : {&unindexObject, &updateDescription, &indexObject}) {
            RawRun run(*st);
            if (st == &updateDescription) {
                run.bind(1, text);
                run.bind(2, rowid);
            } else {
                run.bind(1, rowid);
            }
            run.step();
            if (st == &updateDescription)
                note("objetos", 0);
        }
        db.exec("COMMIT");
    }

    RawDatabase db;
    RawQueryWriter writer;
    RawStatement firstRow, rowAfter, rowidOfCode, loansOfCode, firstMatch, countMatches, lastLoanOfCode, firstLoan,
        lastLoan, loanPlace, rowsUpTo, notReturned, newestLoan, countLoansOfCode, insertLoan, deleteLoansOfCode, updateDescription, unindexObject,
        indexObject, noteChange, descriptionOfCode;
    std::optional<RawStatement> m_lateLoan;
};

// A server's synced commit on a connection of its own: the floor of a lend
// and of a save on a collection kept by a server.
class ServerCommit {
public:
    explicit ServerCommit(const QString& address) : m_conn(db::libpq().PQconnectdb(address.toUtf8().constData()))
    {
        if (db::libpq().PQstatus(m_conn) != CONNECTION_OK)
            throw Failure("the server's floor cannot connect");
    }
    ~ServerCommit() { db::libpq().PQfinish(m_conn); }
    ServerCommit(const ServerCommit&) = delete;
    ServerCommit& operator=(const ServerCommit&) = delete;

    // A record's write and the ledger's note of it, as the engine writes
    // them, committed as one transaction; its time in milliseconds. The
    // values are the benchmark's own, written into the text.
    double commit(const QByteArray& write, const char* table, int records)
    {
        const QByteArray sql = "BEGIN; " + write + "; UPDATE ondrel_changes SET counted = changes, records = records + "
            + QByteArray::number(records) + " WHERE tbl = '" + table + "' AND counted = changes - 1; COMMIT";
        const auto start = Clock::now();
        PGresult* result = db::libpq().PQexec(m_conn, sql.constData());
        const double ms = msSince(start);
        const bool ok = db::libpq().PQresultStatus(result) == PGRES_COMMAND_OK;
        db::libpq().PQclear(result);
        if (!ok)
            throw Failure("the server's floor failed: " + sql.toStdString());
        return ms;
    }

private:
    PGconn* m_conn;
};

class WindowBench {
public:
    // `location`: the folder of the collection file, or a server's address.
    WindowBench(const QString& location, Size size, int runs, bool timing, platform::RecordingServices& services)
        : m_path(db::isServerAddress(location) ? location : db::databasePath(location)), m_size(size), m_runs(runs),
          m_large(size.objects > kSmall.objects), m_timing(timing), m_services(services)
    {
        if (timing && !db::isServerAddress(location))
            m_floor.emplace(m_path);
        if (timing && db::isServerAddress(location))
            m_serverFloor.emplace(location);
    }

    ~WindowBench() { closeWindows(); }

    // The steps, in this order, or those named in `only` (the catalogue
    // always starts up first).
    void run(const QStringList& only)
    {
        const auto wanted = [&](const char* step) { return only.isEmpty() || only.contains(QLatin1String(step)); };
        startUp();
        showMemory("start-up");
        const std::pair<const char*, void (WindowBench::*)()> steps[] = {
            {"move", &WindowBench::move},         {"keystroke", &WindowBench::keystroke},
            {"orders", &WindowBench::orders},     {"search", &WindowBench::search},
            {"loans", &WindowBench::openLoans},   {"views", &WindowBench::switchLoansView},
            {"lend", &WindowBench::lend},         {"save", &WindowBench::save},
        };
        for (const auto& [name, step] : steps) {
            if (wanted(name)) {
                (this->*step)();
                showMemory(name);
            }
        }
        closeWindows();
    }

    const std::vector<Figure>& figures() const { return m_figures; }

private:
    // ---- helpers -----------------------------------------------------------

    void closeWindows()
    {
        delete Frmpesquisa::existing();
        delete Frmemprestimos::existing();
        delete Frmobjetos::existing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_form = nullptr;
    }

    // The loans window, opened from the catalogue when it is not open yet.
    Frmemprestimos* loansWindow() const
    {
        if (!Frmemprestimos::existing() || !Frmemprestimos::existing()->isLoaded()) {
            m_form->ClarkTBButton2[0]->click();
            settle();
        }
        Frmemprestimos* loans = Frmemprestimos::existing();
        require(loans && loans->isLoaded(), QStringLiteral("the loans window is open"));
        return loans;
    }

    // A step that put up a message box timed an error, not its work.
    void requireNoMessage(const QString& step)
    {
        require(m_services.messageBoxes.isEmpty(),
                QStringLiteral("%1 showed \"%2\"").arg(step, m_services.messageTexts().value(0)));
    }

    void add(const QString& name, Target target, const Times& window, const std::vector<double>& raw)
    {
        // The memory run's timings are not figures: nothing else ran beside them.
        if (!m_timing)
            return;
        Figure f{name, median(window.wall), median(window.cpu), median(raw), targetMs(target, m_large)};
        if (m_serverFloor && !raw.empty()) {
            // A lend or a save on a server.
            f.target = targetMs(Target::Frame, m_large);
            f.unit = QStringLiteral("ms cpu");
        }
        print(QStringLiteral("  ") + f.line());
        m_figures.push_back(f);
    }

    // The memory run: what the windows hold after each step, the peak so
    // far, and how much of it SQLite holds (page caches, statements).
    void showMemory(const char* step) const
    {
        if (!m_timing)
            print(QStringLiteral("    after %1: resident %2 MB, peak %3 MB; SQLite holds %4 MB (at most %5 MB)")
                      .arg(QLatin1String(step))
                      .arg(memoryMb("VmRSS:"), 0, 'f', 1)
                      .arg(memoryMb("VmHWM:"), 0, 'f', 1)
                      .arg(double(sqlite3_memory_used()) / 1048576.0, 0, 'f', 1)
                      .arg(double(sqlite3_memory_highwater(0)) / 1048576.0, 0, 'f', 1));
    }

    void note(const QString& text)
    {
        if (m_floor)
            print(QStringLiteral("    (") + text + u')');
    }

    // Runs the step m_runs times, each after its untimed setup, with its raw
    // floor next to it (alternating which goes first); records the medians.
    // On a server the floor is `serverFloor`'s time, where there is one.
    void measure(const QString& name, Target target, const std::function<void(int)>& setup,
                 const std::function<void(int)>& step, const std::function<void(int)>& floor,
                 const std::function<double(int)>& serverFloor = {})
    {
        Times window;
        std::vector<double> raw;
        for (int rep = 0; rep < m_runs; ++rep) {
            if (setup) {
                setup(rep);
                settle();
            }
            const auto windowStep = [&] { timeStep(window, [&] { step(rep); }); };
            const auto floorStep = [&] {
                if (m_floor && floor)
                    raw.push_back(elapsedMs([&] { floor(rep); }));
                if (m_serverFloor && serverFloor)
                    raw.push_back(serverFloor(rep));
            };
            if (rep % 2 == 0) {
                windowStep();
                floorStep();
            } else {
                floorStep();
                windowStep();
            }
            requireNoMessage(name);
        }
        add(name, target, window, raw);
    }

    // A code spread over the collection, another for every repetition.
    QString codeFor(int rep) const { return generatedCode(int((qint64(rep) * 7919 + 1234) % m_size.objects)); }

    db::Recordset& objects() const { return platform::use(m_form->Data1->recordset()); }

    // ---- the steps ---------------------------------------------------------

    // From creating the catalogue window to its first object shown, loan
    // state included, and painted.
    void startUp()
    {
        std::string firstCode;
        measure(QStringLiteral("start-up to the first object shown"), Target::StartUp,
            [&](int) { closeWindows(); },
            [&](int) {
                m_form = Frmobjetos::instance();
                m_form->Show();
            },
            [&](int) {
                // Its own handle, as the window opens its own: the counter's
                // total and the collection's value as the file keeps them,
                // the first object and its newest loan.
                Floor& f = *m_floor;
                RawDatabase fresh(utf8(m_path));
                RawStatement kept = fresh.prepare("SELECT records, total FROM ondrel_changes "
                                                  "WHERE tbl = 'objetos' AND counted = changes");
                RawStatement first = fresh.prepare(std::string("SELECT ") + kObjectColumns
                                                   + " FROM objetos ORDER BY rowid LIMIT 1");
                RawStatement loans = fresh.prepare(loansOfCodeSql());
                require(f.firstInteger(kept) == m_size.objects, QStringLiteral("the file keeps the count"));
                firstCode = f.firstText(first);
                f.firstText(loans, [&](RawRun& r) { r.bind(1, utf8(db::foldText(QString::fromStdString(firstCode)))); });
            });
        require(m_form && m_form->isVisible() && m_form->TotalRegistros == m_size.objects,
                QStringLiteral("the catalogue opened on every object"));
        if (!m_floor)
            return;
        require(m_form->Txtcod->text() == QString::fromStdString(firstCode), QStringLiteral("the first object is shown"));
        std::vector<double> counts, sums;
        RawStatement count = m_floor->prep("SELECT count(*) FROM objetos");
        RawStatement sum = m_floor->prep("SELECT sum(valor) FROM objetos");
        for (int rep = 0; rep < 3; ++rep) {
            counts.push_back(elapsedMs([&] { m_floor->firstInteger(count); }));
            sums.push_back(elapsedMs([&] { m_floor->firstInteger(sum); }));
        }
        note(QStringLiteral("counted and summed over every object instead: count %1 ms, sum of valor %2 ms")
                 .arg(median(counts), 0, 'f', 1)
                 .arg(median(sums), 0, 'f', 1));
    }

    // The next-record button of the "Objeto" tab.
    void move()
    {
        std::int64_t rawRowid = 0;
        std::string rawCode;
        const auto rawFollow = [&] {
            rawRowid = m_floor->firstInteger(m_floor->rowidOfCode,
                                             [&](RawRun& r) { r.bind(1, utf8(db::foldText(m_form->Txtcod->text()))); });
        };
        if (m_floor)
            rawFollow();
        measure(QStringLiteral("a move (next object)"), Target::Frame,
            [&](int) {
                if (objects().absolutePosition() >= objects().keyCount() - 2) {
                    objects().moveFirst();
                    if (m_floor)
                        rawFollow();
                }
            },
            [&](int) { m_form->sscommand1[3]->click(); },
            [&](int) {
                RawRun run(m_floor->rowAfter);
                run.bind(1, rawRowid);
                require(run.step(), QStringLiteral("a next object"));
                run.touchRow();
                rawRowid = run.integer(0);
                rawCode = std::string(run.text(1));
                m_floor->showLoansOf(QString::fromStdString(rawCode));
            });
        if (m_floor)
            require(m_form->Txtcod->text() == QString::fromStdString(rawCode), QStringLiteral("the next object is shown"));
    }

    // Keys typed into Txtcod of a new object: every key rewrites "pesquisa"
    // and shows the loans of the code typed so far. Codes are typed whole and
    // erased again with Backspace; each key is one sample.
    void keystroke()
    {
        m_form->cmdNovo->click();
        settle();
        require(objects().editMode() == db::EditMode::Adding, QStringLiteral("a new object is pending"));
        Times window;
        std::vector<double> raw;
        QString typed;
        const auto key = [&](const std::function<void()>& press, const QString& after) {
            timeStep(window, press);
            if (m_floor)
                raw.push_back(elapsedMs([&] { m_floor->showLoansOf(after); }));
        };
        for (int rep = 0; rep < m_runs; ++rep) {
            for (const QChar c : codeFor(rep)) {
                typed += c;
                key([&] { QTest::keyClick(m_form->Txtcod, c.toLatin1()); }, typed);
            }
            require(m_form->Txtcod->text() == typed
                        && m_form->BancoDados->queryDefSql(QStringLiteral("pesquisa")) == db::loansOfObject(typed),
                    QStringLiteral("the keys typed %1 and pesquisa followed").arg(typed));
            while (!typed.isEmpty()) {
                typed.chop(1);
                key([&] { QTest::keyClick(m_form->Txtcod, Qt::Key_Backspace); }, typed);
            }
            requireNoMessage(QStringLiteral("a keystroke"));
        }
        add(QStringLiteral("a keystroke in Txtcod"), Target::Frame, window, raw);
        m_form->cmdCancelar->click();
        settle();
        require(objects().editMode() == db::EditMode::None, QStringLiteral("the new object was cancelled"));
        requireNoMessage(QStringLiteral("cancelling the new object"));
    }

    // The four items of the "&Ordenar" menu.
    void orders()
    {
        struct Order {
            QAction* item;
            QString field;
            const char* sortKey;  // as the engine sorts: the folded key, indexed
        };
        const Order list[] = {{m_form->mnuordcod, QStringLiteral("cod"), "cod_chave"},
                              {m_form->mnuordtitulo, QStringLiteral("título"), "titulo_chave"},
                              {m_form->mnuordautor, QStringLiteral("autor"), "autor_chave"},
                              {m_form->mnuordassunto, QStringLiteral("assunto"), "assunto_chave"}};
        for (const Order& order : list) {
            std::optional<RawStatement> first;
            if (m_floor)
                first.emplace(m_floor->prep(std::string("SELECT ") + kObjectColumns + " FROM objetos ORDER BY "
                                            + order.sortKey + ", rowid LIMIT 1"));
            std::string rawCode;
            measure(QStringLiteral("order by ") + order.field, Target::Order, nullptr,
                [&](int) { order.item->trigger(); },
                [&](int) {
                    rawCode = m_floor->firstText(*first);
                    m_floor->writer.rewrite("Imprime", utf8(db::listingOrderedBy(order.field)));
                    m_floor->showLoansOf(QString::fromStdString(rawCode));
                });
            require(order.item->isChecked(), QStringLiteral("the order is checked"));
            if (m_floor)
                require(m_form->Txtcod->text() == QString::fromStdString(rawCode),
                        QStringLiteral("the first object by %1 is shown").arg(order.field));
        }
    }

    // "Pesquisar...": the titles that contain a word; then "Fechar Pesquisa".
    // The search is timed from the click on "&Ok" until the catalogue has
    // painted the first object found.
    void search()
    {
        Times searches, closes;
        std::vector<double> rawSearches, rawCloses, scans;
        const std::string key = utf8(db::foldText(kSearchKey));
        std::string rawFirst;
        for (int rep = 0; rep < m_runs; ++rep) {
            Clock::time_point start;
            double cpuAtStart = 0;
            const bool answered = testutil::answerDialog<Frmpesquisa>(
                [&] { m_form->cmdSeleciona->click(); },
                [&](Frmpesquisa* dialog) {
                    dialog->Combo1->setCurrentText(QStringLiteral("Título"));
                    dialog->Text1->setText(kSearchKey);
                    start = Clock::now();
                    cpuAtStart = cpuMs();
                    dialog->Command1[0]->click();
                });
            settle();
            searches.wall.push_back(msSince(start));
            searches.cpu.push_back(cpuMs() - cpuAtStart);
            require(answered, QStringLiteral("the search dialog was answered"));
            require(db::foldText(m_form->txttítulo->text()).contains(db::foldText(kSearchKey)),
                    QStringLiteral("a title with the word is shown"));
            requireNoMessage(QStringLiteral("the search"));
            if (m_floor) {
                rawSearches.push_back(elapsedMs([&] {
                    m_floor->writer.rewrite("Imprime", utf8(db::listingWhereContains(QStringLiteral("título"), kSearchKey)));
                    rawFirst = m_floor->firstText(m_floor->firstMatch, [&](RawRun& r) { r.bind(1, key); }, 1);
                    m_floor->showLoansOf(QString::fromStdString(rawFirst));
                }));
                require(m_form->Txtcod->text() == QString::fromStdString(rawFirst),
                        QStringLiteral("the first object found is shown"));
                scans.push_back(elapsedMs([&] { m_floor->firstInteger(m_floor->countMatches, [&](RawRun& r) { r.bind(1, key); }); }));
            }

            timeStep(closes, [&] { m_form->cmdFechar->click(); });
            requireNoMessage(QStringLiteral("closing the search"));
            if (m_floor) {
                rawCloses.push_back(elapsedMs([&] {
                    m_floor->writer.remove("pesquisa");
                    m_floor->writer.rewrite("Imprime", utf8(db::listingByCode()));
                    rawFirst = m_floor->firstText(m_floor->firstRow, {}, 1);
                    m_floor->showLoansOf(QString::fromStdString(rawFirst));
                }));
                require(m_form->Txtcod->text() == QString::fromStdString(rawFirst),
                        QStringLiteral("the whole catalogue is back"));
            }
        }
        add(QStringLiteral("a search (title contains \"%1\")").arg(kSearchKey), Target::Search, searches, rawSearches);
        note(QStringLiteral("a scan of every title for the word, as without an index: %1 ms")
                 .arg(median(scans), 0, 'f', 1));
        add(QStringLiteral("closing the search"), Target::Search, closes, rawCloses);
    }

    // The loans-register button of the catalogue, the loans window created
    // each time: it opens its handle, reads the count of the loans and
    // stands on the last loan of the catalogue's object, its counter showing
    // where that loan stands among them all.
    void openLoans()
    {
        std::string rawCode;
        QString rawCounter;
        measure(QStringLiteral("opening the loans window"), Target::LoansWindow,
            [&](int) {
                delete Frmemprestimos::existing();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            },
            [&](int) { m_form->ClarkTBButton2[0]->click(); },
            [&](int) {
                // Its own handle, as the window opens its own: the first
                // object (the lookup source), the object's last loan, its
                // place and the count as the file keeps them, the grid's rows.
                Floor& f = *m_floor;
                RawDatabase fresh(utf8(m_path));
                RawStatement place = fresh.prepare(loanPlaceSql());
                f.firstText(f.firstRow);
                auto [rowid, code] = f.loanOf(f.lastLoanOfCode, [&](RawRun& r) {
                    r.bind(1, utf8(db::foldText(m_form->Txtcod->text())));
                });
                if (rowid < 0)
                    std::tie(rowid, code) = f.loanOf(f.firstLoan);
                rawCode = code;
                rawCounter = f.counterOf(place, rowid);
                f.readRowsUpTo(rowid);
            });
        Frmemprestimos* loans = loansWindow();
        require(loans->isVisible(), QStringLiteral("the loans window is shown"));
        if (m_floor) {
            require(loans->Txtcod->text() == QString::fromStdString(rawCode),
                    QStringLiteral("the loans window stands on the object's last loan"));
            require(loans->lblRegistro->text() == rawCounter,
                    QStringLiteral("the counter shows %1, not %2").arg(rawCounter, loans->lblRegistro->text()));
        }
    }

    // Ctrl+End and Ctrl+Home in the grid, from the object's last loan again
    // (in the table's order, as the window opened); then "&Mostrar": the
    // loans not returned, and all of them again.
    void switchLoansView()
    {
        Frmemprestimos* loans = loansWindow();
        const QString code = loans->Txtcod->text();
        const auto standOnLastLoan = [&](int) {
            platform::use(loans->Data1->recordset()).findLast(db::loansOfObjectCriteria(code));
        };
        for (const bool last : {true, false}) {
            std::string rawCode;
            QString rawCounter;
            measure(last ? QStringLiteral("moving to the last loan") : QStringLiteral("moving to the first loan"),
                Target::Frame, standOnLastLoan,
                [&](int) { QTest::keyClick(loans->DBGrid1, last ? Qt::Key_End : Qt::Key_Home, Qt::ControlModifier); },
                [&](int) {
                    Floor& f = *m_floor;
                    const auto [rowid, loanCode] = f.loanOf(last ? f.lastLoan : f.firstLoan);
                    rawCode = loanCode;
                    rawCounter = f.counterOf(f.loanPlace, rowid);
                    f.readRowsUpTo(rowid);
                });
            if (m_floor)
                require(loans->Txtcod->text() == QString::fromStdString(rawCode) && loans->lblRegistro->text() == rawCounter,
                        QStringLiteral("the grid went to the %1 loan").arg(last ? u"last" : u"first"));
        }
        measure(QStringLiteral("loans view \"Emprestados\""), Target::Frame, nullptr,
            [&](int) { loans->mnuemprestados->trigger(); },
            [&](int) { m_floor->firstText(m_floor->notReturned); });
        require(loans->Combo1->currentText() == QStringLiteral("Não"), QStringLiteral("a loan not returned is shown"));
        std::string lateCode;
        measure(QStringLiteral("loans view \"Atrasados\""), Target::Frame, nullptr,
            [&](int) { loans->mnuatrasados->trigger(); },
            [&](int) { lateCode = m_floor->firstText(m_floor->lateLoan(), {}, 1); });
        if (m_floor)
            require(loans->Txtcod->text() == QString::fromStdString(lateCode), QStringLiteral("the most late loan is shown"));
        std::string rawCode;
        measure(QStringLiteral("loans view \"Todos\""), Target::Frame, nullptr,
            [&](int) { loans->mnutodos->trigger(); },
            [&](int) { rawCode = m_floor->firstText(m_floor->newestLoan, {}, 1); });
        if (m_floor)
            require(loans->Txtcod->text() == QString::fromStdString(rawCode), QStringLiteral("the newest loan is shown"));
    }

    std::int64_t loansOf(const QString& code)
    {
        return m_floor->firstInteger(m_floor->countLoansOfCode,
                                     [&](RawRun& r) { r.bind(1, utf8(db::foldText(code))); });
    }

    // "Emprestar" on an object that is in, the borrower's name typed in the
    // loans window, "Salvar": the loan stored with a synced commit and the
    // catalogue showing the object lent.
    void lend()
    {
        Frmemprestimos* loans = loansWindow();
        QString code;
        std::int64_t before = 0;
        const std::string floorCode = utf8(kFloorLoanCode);
        const std::string floorKey = utf8(db::foldText(kFloorLoanCode));
        const std::string today = utf8(QDate::currentDate().toString(Qt::ISODate));
        measure(QStringLiteral("a lend (Emprestar, name, Salvar)"), Target::Frame,
            [&](int) {
                for (int i = 0; i < 200 && !m_form->cmdEmprestar->isEnabled(); ++i) {
                    m_form->sscommand1[3]->click();
                    settle();
                }
                require(m_form->cmdEmprestar->isEnabled(), QStringLiteral("an object that may be lent"));
                code = m_form->Txtcod->text();
                if (m_floor)
                    before = loansOf(code);
            },
            [&](int) {
                m_form->cmdEmprestar->click();
                QTest::keyClicks(loans->Txtnome, kBorrower);
                loans->cmdSalvar->click();
            },
            [&](int) {
                m_floor->commit(
                    m_floor->insertLoan,
                    [&](RawRun& r) {
                        r.bind(1, floorCode);
                        r.bind(2, utf8(kBorrower));
                        r.bind(3, today);
                        r.bind(4, floorKey);
                    },
                    "empréstimos", +1);
                m_floor->showLoansOf(kFloorLoanCode);
            },
            [&](int) {
                return m_serverFloor->commit("INSERT INTO \"empréstimos\" (codobjeto, \"Nome\", \"Data\", \"Entregue\") "
                                             "VALUES ('" + QByteArray::fromStdString(floorCode) + "', '"
                                                 + kBorrower.toUtf8() + "', '" + QByteArray::fromStdString(today)
                                                 + "', 'Não')",
                                             "empréstimos", +1);
            });
        require(m_form->Txtcod->text() == code && m_form->Text2->text() == QStringLiteral("Não"),
                QStringLiteral("the catalogue shows the object lent"));
        if (m_floor) {
            require(loansOf(code) == before + 1, QStringLiteral("the loan was stored"));
            m_floor->commit(m_floor->deleteLoansOfCode, [&](RawRun& r) { r.bind(1, floorKey); }, "empréstimos", -1);
        }
        if (m_serverFloor)
            m_serverFloor->commit("DELETE FROM \"empréstimos\" WHERE codobjeto_chave = '"
                                      + QByteArray::fromStdString(floorKey) + "'",
                                  "empréstimos", -m_runs);
    }

    // "Editar", a letter typed at the end of the description, "Salvar"
    // (timed): the record stored with a fully synced commit.
    void save()
    {
        QString code;
        std::int64_t floorRow = 1;  // another object than the one the window saves
        std::vector<double> unsynced;
        measure(QStringLiteral("a save (Salvar after an edit)"), Target::None,
            [&](int) {
                m_form->cmdEditar->click();
                settle();
                require(objects().editMode() == db::EditMode::Editing, QStringLiteral("the object is being edited"));
                m_form->Txtdesc->moveCursor(QTextCursor::End);
                QTest::keyClick(m_form->Txtdesc, 'x');
                code = m_form->Txtcod->text();
                if (m_floor)
                    floorRow = m_floor->firstInteger(m_floor->rowidOfCode, [&](RawRun& r) {
                        r.bind(1, utf8(db::foldText(code)));
                    }) == 1 ? 2 : 1;
            },
            [&](int) { m_form->cmdSalvar->click(); },
            [&](int rep) { m_floor->saveDescription(floorRow, "Objeto do piso " + std::to_string(rep)); },
            [&](int rep) {
                return m_serverFloor->commit("UPDATE objetos SET \"Descrição\" = 'Objeto do piso "
                                                 + QByteArray::number(rep)
                                                 + "' WHERE ondrel_id = (SELECT min(ondrel_id) FROM objetos WHERE "
                                                   "cod_chave <> '"
                                                 + db::foldText(code).toUtf8().replace('\'', "''") + "')",
                                             "objetos", 0);
            });
        require(objects().editMode() == db::EditMode::None, QStringLiteral("the edit was stored"));
        if (!m_floor)
            return;
        require(QString::fromStdString(m_floor->firstText(m_floor->descriptionOfCode, [&](RawRun& r) {
                    r.bind(1, utf8(db::foldText(code)));
                })).endsWith(QStringLiteral("x")),
                QStringLiteral("the description was saved"));
        // The same commit without waiting for the disk: what is left of the
        // floor is the disk's sync.
        m_floor->db.exec("PRAGMA synchronous=OFF");
        for (int rep = 0; rep < m_runs; ++rep)
            unsynced.push_back(elapsedMs([&] { m_floor->saveDescription(floorRow, "Objeto do piso sem sync " + std::to_string(rep)); }));
        m_floor->db.exec("PRAGMA synchronous=FULL");
        note(QStringLiteral("the floor's commit without syncing: %1 ms; the rest of the floor is the disk's sync")
                 .arg(median(unsynced), 0, 'f', 2));
    }

    QString m_path;
    Size m_size;
    int m_runs;
    bool m_large;
    bool m_timing;  // the timing run (else the memory run)
    platform::RecordingServices& m_services;
    std::optional<Floor> m_floor;
    std::optional<ServerCommit> m_serverFloor;
    Frmobjetos* m_form = nullptr;
    std::vector<Figure> m_figures;
};

// ---------------------------------------------------------------------------
// The parent: sizes, child processes, the summary

const QStringList kSteps{QStringLiteral("move"),   QStringLiteral("keystroke"), QStringLiteral("orders"),
                         QStringLiteral("search"), QStringLiteral("loans"),     QStringLiteral("views"),
                         QStringLiteral("lend"),   QStringLiteral("save")};

struct Options {
    std::vector<Size> sizes{kSmall, kLarge};
    int runs = kDefaultRuns;
    bool quick = false;
    QStringList only;  // steps to run alone (for profiling); no memory run then
    bool file = true;    // the collection file
    bool server = true;  // the collection on a PostgreSQL server
};

std::optional<Options> parseOptions(const QStringList& args)
{
    Options o;
    std::optional<int> objects, loans;
    bool runsGiven = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == u"--windows") {
            continue;
        } else if (a == u"--quick") {
            o.quick = true;
        } else if (a == u"--objects" && hasValue) {
            objects = args[++i].toInt(&ok);
            ok = ok && *objects > 0;
        } else if (a == u"--loans" && hasValue) {
            loans = args[++i].toInt(&ok);
            ok = ok && *loans > 0;
        } else if (a == u"--runs" && hasValue) {
            o.runs = args[++i].toInt(&ok);
            ok = ok && o.runs > 0;
            runsGiven = true;
        } else if (a == u"--store" && hasValue) {
            const QString store = args[++i];
            o.file = store == u"file" || store == u"both";
            o.server = store == u"server" || store == u"both";
            ok = o.file || o.server;
        } else if (a == u"--only" && hasValue) {
            o.only = args[++i].split(u',');
            for (const QString& step : std::as_const(o.only))
                ok = ok && kSteps.contains(step);
        } else {
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    if (objects.has_value() != loans.has_value())
        return std::nullopt;
    if (o.quick) {
        o.sizes = {kQuick};
        if (!runsGiven)
            o.runs = 1;
    }
    if (objects)
        o.sizes = {Size{*objects, *loans}};
    return o;
}

void removeDatabase(const QString& path)
{
    for (const QString& f : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(f);
}

// Runs one child on a fresh copy of the collection; returns its figures.
// The offscreen platform's notes about what it cannot do for a window.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// Drives the windows on the collection in `folder` (or at a server's
// address): every step timed against its floor, or (memory run) every step
// without the floor, then the peak.
std::vector<Figure> driveWindows(bool timing, const QString& folder, Size size, int runs, const QStringList& only)
{
    const QtMessageHandler previous = qInstallMessageHandler(quietPlatformNotes);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    platform::RecordingServices services;
    const platform::RecordingServices::Installed installed(services);
    QTemporaryDir settings;
    if (db::isServerAddress(folder)) {
        // The windows take the server's collection as a user who chose it
        // does: from the settings.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
        db::Settings chosen;
        chosen.setValue(QString::fromLatin1(db::kCollectionKey), folder);
        if (!chosen.write().isEmpty())
            throw Failure("cannot write the settings");
        db::setPluginFolder(QString());
    } else {
        db::setPluginFolder(folder);
    }
    // The windows reach each other as in the plug-in.
    plugin::installWindowLinks();

    std::vector<Figure> figures;
    if (timing) {
        print(QStringLiteral("  load average before: %1").arg(loadAverage()));
        WindowBench bench(folder, size, runs, true, services);
        bench.run(only);
        figures = bench.figures();
        print(QStringLiteral("  load average after: %1").arg(loadAverage()));
        print(QStringLiteral("    (peak memory of this run, floor handle included: %1 MB)")
                  .arg(memoryMb("VmHWM:"), 0, 'f', 1));
    } else {
        WindowBench bench(folder, size, runs, false, services);
        bench.run(only);
        Figure peak{QStringLiteral("peak memory"), memoryMb("VmHWM:"), std::nan(""), std::nan(""), kPeakMb,
                    QStringLiteral("MB")};
        print(QStringLiteral("  ") + peak.line()
              + QStringLiteral("   (every step %1 times, no floor handle)").arg(runs));
        figures.push_back(peak);
    }
    db::setPluginFolder(QString());
    qInstallMessageHandler(previous);
    return figures;
}

// The revision of the collection's tables, indexes and triggers on a server,
// as the benchmark keeps its loaded copies.
constexpr int kServerFormat = 3;

// The server the benchmark starts, durable, and a fresh copy of a collection
// on it.
class BenchServer {
public:
    // `quick`: its data in a temporary folder; else in a folder kept beside
    // the cache, where the loaded collections stay for the next run.
    explicit BenchServer(bool quick) : m_server(true, quick ? QString() : dataFolder())
    {
        if (!m_server.failure().isEmpty())
            throw Failure("the PostgreSQL server did not start: " + utf8(m_server.failure()));
        // Copies loaded in an earlier format go.
        QStringList earlier;
        m_server.run(m_server.address(QStringLiteral("postgres")),
                     "SELECT datname FROM pg_database WHERE datname LIKE 'bench%' AND datname NOT LIKE 'bench"
                         + QByteArray::number(kServerFormat) + "\\_%'",
                     &earlier);
        for (const QString& name : std::as_const(earlier))
            run("DROP DATABASE " + name.toUtf8());
    }

    // A work database holding the collection of that size (the cached
    // `file`, loaded once into a database kept on the server).
    QString freshCopy(const QString& file, Size size)
    {
        // Named after the server's format of the collection: a later format
        // loads anew.
        const QString kept = QStringLiteral("bench%1_%2_%3").arg(kServerFormat).arg(size.objects).arg(size.loans);
        QStringList found;
        m_server.run(m_server.address(QStringLiteral("postgres")),
                     "SELECT datname FROM pg_database WHERE datname = '" + kept.toUtf8() + "'", &found);
        if (found.isEmpty() || db::Database::check(m_server.address(kept), QString()).problem != db::FileProblem::None) {
            print(QStringLiteral("loading %1 into the server (once)...").arg(file));
            run("DROP DATABASE IF EXISTS " + kept.toUtf8());
            run("CREATE DATABASE " + kept.toUtf8());
            QElapsedTimer took;
            took.start();
            db::Database::copyToServer(file, QString::fromLatin1(db::kConnectString), m_server.address(kept));
            run("VACUUM ANALYZE", kept);
            print(QStringLiteral("loaded in %1 s").arg(double(took.elapsed()) / 1000.0, 0, 'f', 1));
        }
        run("DROP DATABASE IF EXISTS work");
        run("CREATE DATABASE work TEMPLATE " + kept.toUtf8());
        run("CHECKPOINT");
        return m_server.address(QStringLiteral("work"));
    }
    void dropCopy() { run("DROP DATABASE IF EXISTS work"); }

private:
    // Beside the cache, where the server's user may reach it (a root's home
    // folder it may not).
    static QString dataFolder()
    {
        return ::geteuid() == 0 ? QStringLiteral("/var/tmp/ondrel-bench-postgresql")
                                : cacheFolder() + QStringLiteral("/postgresql");
    }
    void run(const QByteArray& sql, const QString& database = QStringLiteral("postgres"))
    {
        const QString error = m_server.run(m_server.address(database), sql);
        if (!error.isEmpty())
            throw Failure(utf8(QStringLiteral("the server refused %1: %2").arg(QString::fromUtf8(sql), error)));
    }

    testutil::PgServer m_server;
};

// Runs one size on a fresh copy of its collection (a file in `work`, or a
// database of `server`), in a child process of its own or, for a run of
// chosen steps, in this one (so that a profiler started on this process sees
// them); returns the figures.
std::vector<Figure> runSize(const QString& mode, const QString& collection, const QString& work, Size size, int runs,
                            const QStringList& only = {}, BenchServer* server = nullptr)
{
    const QString copy = db::databasePath(work);
    QString location = work;
    if (server) {
        location = server->freshCopy(collection, size);
    } else {
        removeDatabase(copy);
        // On the disk before the run, so that no commit timed pays for the copy.
        QFile copied(copy);
        if (!QFile::copy(collection, copy) || !copied.open(QIODevice::ReadWrite) || ::fsync(copied.handle()) != 0)
            throw Failure(utf8(QStringLiteral("could not copy %1 to %2").arg(collection, copy)));
        copied.close();
    }
    struct DropCopy {
        BenchServer* server;
        ~DropCopy()
        {
            if (server)
                server->dropCopy();
        }
    } dropCopy{server};
    if (!only.isEmpty()) {
        const std::vector<Figure> figures = driveWindows(mode == u"time", location, size, runs, only);
        removeDatabase(copy);
        return figures;
    }
    const QString results = work + QStringLiteral("/results-") + mode;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--windows-child"), mode, location, QString::number(size.objects),
                 QString::number(size.loans), QString::number(runs), results, only.join(u',')});
    const bool finished = child.waitForFinished(-1);
    removeDatabase(copy);
    if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        throw Failure(utf8(QStringLiteral("the %1 run of %2 objects failed").arg(mode).arg(size.objects)));
    std::vector<Figure> figures;
    QFile file(results);
    if (file.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            if (const auto f = Figure::parse(line))
                figures.push_back(*f);
    return figures;
}

QString sizeName(Size size)
{
    return QStringLiteral("%1 objects / %2 loans").arg(grouped(size.objects), grouped(size.loans));
}

// One column of the summary: a size on a store, and its figures.
struct Column {
    QString label;
    std::vector<Figure> figures;
};

void printSummary(const std::vector<Column>& columns)
{
    print(QStringLiteral("\nsummary (median wall-clock time, of which cpu this process's own, raw the floor; "
                         "[target], * over target)"));
    constexpr int kWidth = 36;
    QString header = QStringLiteral("%1").arg(QString(), -36);
    for (const Column& c : columns)
        header += QStringLiteral("%1").arg(c.label, -kWidth);
    print(header);
    int missed = 0;
    for (size_t row = 0; row < columns.front().figures.size(); ++row) {
        QString line = QStringLiteral("%1").arg(columns.front().figures[row].name.left(35), -36);
        for (const Column& c : columns) {
            // Each store's own rows, matched by name.
            const auto f = std::find_if(c.figures.cbegin(), c.figures.cend(),
                                        [&](const Figure& g) { return g.name == columns.front().figures[row].name; });
            if (f == c.figures.cend()) {
                line += QStringLiteral("%1").arg(QStringLiteral("-"), -kWidth);
                continue;
            }
            QString cell = f->text();
            if (f->target >= 0)
                cell += QStringLiteral(" [%1%2]").arg(f->target).arg(f->unit == u"ms cpu" ? QStringLiteral(" cpu") : QString());
            if (f->over()) {
                cell += u'*';
                ++missed;
            }
            line += QStringLiteral("%1").arg(cell, -kWidth);
        }
        print(line);
    }
    print(missed ? QStringLiteral("%1 figures over target").arg(missed) : QStringLiteral("every target met"));
}

}  // namespace

int runWindowBenchmark(const QStringList& arguments)
{
    const std::optional<Options> options = parseOptions(arguments);
    if (!options) {
        std::fprintf(stderr, "usage: ondrel-bench --windows [--objects N --loans M] [--runs N] [--quick] [--only STEPS] "
                             "[--store file|server|both]\n"
                             "       STEPS: a comma-separated list of %s\n",
                     qPrintable(kSteps.join(u',')));
        return 2;
    }
    QTemporaryDir scratch;  // --quick: the collection and the work copies
    std::optional<BenchServer> server;
    if (options->server)
        server.emplace(options->quick);
    std::vector<Column> results;
    for (const Size size : options->sizes) {
        QString collection;
        std::optional<QTemporaryDir> work;
        if (options->quick) {
            collection = scratch.filePath(QStringLiteral("collection.mdb"));
            ensureCollection(collection, size.objects, size.loans, false);
            work.emplace(scratch.filePath(QStringLiteral("work-XXXXXX")));
        } else {
            collection = cachedCollection(size.objects, size.loans);
            // The copies beside the cache: on the same disk.
            work.emplace(cacheFolder() + QStringLiteral("/work-XXXXXX"));
        }
        if (!work->isValid())
            throw Failure("cannot create a work folder");
        // The file (no server), then the server.
        std::vector<BenchServer*> stores;
        if (options->file)
            stores.push_back(nullptr);
        if (server)
            stores.push_back(&*server);
        for (BenchServer* store : stores) {
            const QString storeName = store ? QStringLiteral("server") : QStringLiteral("file");
            print(QStringLiteral("\n%1, %2, median of %3 runs, on a copy of %4")
                      .arg(sizeName(size), storeName)
                      .arg(options->runs)
                      .arg(collection));
            std::vector<Figure> figures = runSize(QStringLiteral("time"), collection, work->path(), size,
                                                  options->runs, options->only, store);
            if (options->only.isEmpty()) {
                const std::vector<Figure> memory = runSize(QStringLiteral("memory"), collection, work->path(), size,
                                                            std::min(options->runs, kMemoryRuns), {}, store);
                figures.insert(figures.end(), memory.begin(), memory.end());
            }
            results.push_back({grouped(size.objects) + u' ' + storeName, figures});
        }
    }
    if (!options->quick && options->only.isEmpty() && !results.empty())
        printSummary(results);
    return 0;
}

int runWindowChild(const QStringList& arguments)
{
    // --windows-child time|memory FOLDER OBJECTS LOANS RUNS RESULTS STEPS
    if (arguments.size() != 9)
        return 2;
    const QStringList only = arguments[8].split(u',', Qt::SkipEmptyParts);
    const bool timing = arguments[2] == u"time";
    const QString folder = arguments[3];
    const Size size{arguments[4].toInt(), arguments[5].toInt()};
    const int runs = arguments[6].toInt();

    const std::vector<Figure> figures = driveWindows(timing, folder, size, runs, only);
    QFile results(arguments[7]);
    if (!results.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    for (const Figure& f : figures)
        results.write(f.record().toUtf8());
    return 0;
}

}  // namespace ondrel::bench
