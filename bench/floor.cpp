#include "floor.h"

#include "core/values.h"
#include "database/database.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/resource.h>
#include <time.h>

namespace ondrel::bench {

namespace {

void fold(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray folded = db::foldUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                           sqlite3_value_bytes(argv[0]));
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

}  // namespace

double elapsedMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double cpuMs(bool children)
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    double ms = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    if (children) {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        ms += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
              + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return ms;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString generatedCode(int index)
{
    return QStringLiteral("B%1").arg(index, 5, 36, QChar(u'0')).toUpper();
}

std::string loansOfCodeSql()
{
    return std::string("SELECT ") + kLoanColumns
        + " FROM \"empréstimos\" WHERE codobjeto_chave = ? ORDER BY \"Data\" DESC, rowid DESC";
}

void registerFold(RawDatabase& db)
{
    if (sqlite3_create_function_v2(db.handle(), "ondrel_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fold,
                                   nullptr, nullptr, nullptr)
        != SQLITE_OK)
        db.fail("create function");
}

RawQueryWriter::RawQueryWriter(RawDatabase& db, std::string synchronous)
    : m_db(db), m_synchronous(std::move(synchronous)),
      m_delete(db.prepare("DELETE FROM ondrel_queries WHERE name = ?")),
      m_insert(db.prepare("INSERT INTO ondrel_queries (name, sql) VALUES (?, '')")),
      m_update(db.prepare("UPDATE ondrel_queries SET sql = ? WHERE name = ?"))
{
}

void RawQueryWriter::remove(const std::string& name)
{
    m_db.exec("PRAGMA synchronous=NORMAL");
    {
        RawRun run(m_delete);
        run.bind(1, name);
        run.step();
    }
    m_db.exec(("PRAGMA synchronous=" + m_synchronous).c_str());
}

void RawQueryWriter::rewrite(const std::string& name, const std::string& sql)
{
    m_db.exec("PRAGMA synchronous=NORMAL");
    {
        RawRun run(m_delete);
        run.bind(1, name);
        run.step();
    }
    {
        RawRun run(m_insert);
        run.bind(1, name);
        run.step();
    }
    {
        RawRun run(m_update);
        run.bind(1, sql);
        run.bind(2, name);
        run.step();
    }
    m_db.exec(("PRAGMA synchronous=" + m_synchronous).c_str());
}

}  // namespace ondrel::bench
