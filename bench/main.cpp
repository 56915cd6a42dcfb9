// ondrel-bench: how long the interactive steps of the collection windows take
// on a full-size collection, each next to the same minimum work done with raw
// SQLite calls on the same file in the same run.
//
//   ondrel-bench [--quick] [--runs N] [--database PATH] [--synchronous normal|full] [--only 1..7]
//   ondrel-bench --windows [--objects N --loans M] [--runs N] [--quick]   (windows.cpp)
//   ondrel-bench --imports [--runs N] [--rows N] [--quick]               (imports.cpp)
//
// Without --database the generated collection (32,767 objects, 100,000 loans)
// is cached in the benchmark's cache folder (collection.h) and reused by later
// runs. --quick uses a small collection in a temporary folder and three
// repetitions: a smoke run that checks the engine and the raw floor agree, not
// a measurement.
#include "collection.h"
#include "floor.h"
#include "imports.h"
#include "rawsqlite.h"
#include "windows.h"

#include "binding/datacontrol.h"
#include "collection/collection.h"
#include "collection/statements.h"
#include "database/connection.h"
#include "database/database.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

using namespace ondrel;
using bench::Failure;
using bench::RawDatabase;
using bench::elapsedMs;
using bench::median;
using bench::RawRun;
using bench::RawStatement;
using bench::generatedCode;
using bench::utf8;

constexpr int kFullObjects = 32767;
constexpr int kFullLoans = 100000;
constexpr int kQuickObjects = 2000;
constexpr int kQuickLoans = 6000;

// Targets on the reference machine (2 cores).
constexpr double kInteractiveMs = 2.0;
constexpr double kInteractiveRatio = 3.0;
constexpr double kOpenMs = 30.0;
constexpr double kPeakMb = 100.0;

const QString kQueryName = QStringLiteral("pesquisa");
// The six bound boxes of the catalogue window that show text fields.
const QStringList kBoundFields{QStringLiteral("cod"),   QStringLiteral("Objeto"),  QStringLiteral("Título"),
                               QStringLiteral("Autor"), QStringLiteral("Assunto"), QStringLiteral("Descrição")};

struct Options {
    bool quick = false;
    int runs = 21;
    QString database;     // empty: the cached generated collection
    QString synchronous;  // empty: the engine's own setting
    int only = 0;         // 1..7: run that figure alone (for profiling)
};

void require(bool condition, const QString& what)
{
    if (!condition)
        throw Failure(("engine and raw floor disagree: " + what).toStdString());
}

double peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

struct Result {
    QString name;
    double engineMs;
    double rawMs;
    enum class Target { Interactive, Open, None } target;
};

// ---------------------------------------------------------------------------
// The benchmark

class Bench {
public:
    Bench(const Options& options, const QString& path, int objects)
        : m_options(options), m_objects(objects), m_db(db::Database::open(path, QString::fromLatin1(db::kConnectString))),
          m_raw(utf8(path))
    {
        if (!options.synchronous.isEmpty())
            m_db->executeNative(QStringLiteral("PRAGMA synchronous=") + options.synchronous.toUpper());
        // The raw floor commits as durably as the engine's handle does.
        m_sync = engineSynchronous();
        m_raw.exec(("PRAGMA synchronous=" + m_sync.toStdString()).c_str());
        m_writer.emplace(m_raw, m_sync.toStdString());
        prepareRaw();
        loadRawKeys();
    }

    const QString& synchronous() const { return m_sync; }

    void run()
    {
        const std::vector<void (Bench::*)()> figures{&Bench::openAndMoveLast, &Bench::boundMove,
                                                     &Bench::sumOfValor,      &Bench::rewriteQuery,
                                                     &Bench::findByCode,      &Bench::openSearch,
                                                     &Bench::keystroke};
        for (int i = 0; i < int(figures.size()); ++i)
            if (m_options.only == 0 || m_options.only == i + 1)
                (this->*figures[size_t(i)])();
    }

    const std::vector<Result>& results() const { return m_results; }

private:
    // The durability the engine's own handle commits with.
    QString engineSynchronous() const
    {
        const std::unique_ptr<db::Statement> pragma = m_db->connection().prepare("PRAGMA synchronous");
        db::ScopedRun run(*pragma);
        static const char* const names[] = {"OFF", "NORMAL", "FULL", "EXTRA"};
        const qint64 level = run->step() ? run->columnInt(0) : 2;
        return QString::fromLatin1(names[std::clamp<qint64>(level, 0, 3)]);
    }

    // Runs setup (untimed), then the engine's and the raw floor's work, in
    // alternating order, m_options.runs times; records the medians.
    void measure(const QString& name, Result::Target target, const std::function<void(int)>& setup,
                 const std::function<void(int)>& engine, const std::function<void(int)>& raw)
    {
        std::vector<double> engineTimes, rawTimes;
        for (int rep = 0; rep < m_options.runs; ++rep) {
            if (setup)
                setup(rep);
            if (rep % 2 == 0) {
                engineTimes.push_back(elapsedMs([&] { engine(rep); }));
                rawTimes.push_back(elapsedMs([&] { raw(rep); }));
            } else {
                rawTimes.push_back(elapsedMs([&] { raw(rep); }));
                engineTimes.push_back(elapsedMs([&] { engine(rep); }));
            }
        }
        Result r{name, median(engineTimes), median(rawTimes), target};
        std::printf("%s: %.3f ms (raw %.3f ms, ratio %.1f)\n", qPrintable(r.name), r.engineMs, r.rawMs,
                    r.rawMs > 0 ? r.engineMs / r.rawMs : 0.0);
        std::fflush(stdout);
        m_results.push_back(r);
    }

    // A code spread over the collection, different for every repetition.
    QString codeFor(int rep) const { return generatedCode(int((qint64(rep) * 7919 + 1234) % m_objects)); }

    void prepareRaw()
    {
        const QByteArray six = "cod, \"Objeto\", \"Título\", \"Autor\", \"Assunto\", \"Descrição\"";
        const QByteArray all = bench::kObjectColumns;
        m_rawKeys.emplace(m_raw.prepare("SELECT rowid FROM objetos ORDER BY rowid"));
        m_rawRow.emplace(m_raw.prepare(("SELECT " + all + " FROM objetos WHERE rowid = ?").toStdString()));
        m_rawSix.emplace(m_raw.prepare(("SELECT " + six + " FROM objetos WHERE rowid = ?").toStdString()));
        m_rawSum.emplace(m_raw.prepare("SELECT sum(valor) FROM objetos"));
        m_rawAllRows.emplace(m_raw.prepare(("SELECT rowid, " + all + " FROM objetos ORDER BY rowid").toStdString()));
        m_rawByCode.emplace(m_raw.prepare(("SELECT " + all + " FROM objetos WHERE cod_chave = ?").toStdString()));
        m_rawLoans.emplace(m_raw.prepare(bench::loansOfCodeSql()));
    }

    void loadRawKeys()
    {
        m_keys = rawKeyset();
        require(int(m_keys.size()) == m_objects, QStringLiteral("number of objects"));
    }

    std::vector<std::int64_t> rawKeyset()
    {
        std::vector<std::int64_t> keys;
        RawRun run(*m_rawKeys);
        while (run.step())
            keys.push_back(run.integer(0));
        return keys;
    }

    // (1) Opening the catalogue's table and going to its last record.
    void openAndMoveLast()
    {
        QString engineLast;
        std::string rawLast;
        measure(QStringLiteral("open dynaset objetos + move last"), Result::Target::Open, nullptr,
            [&](int) {
                auto rs = m_db->openRecordset(QStringLiteral("objetos"));
                rs->moveLast();
                require(rs->recordCount() == m_objects, QStringLiteral("record count after move last"));
                engineLast = rs->value(QStringLiteral("cod")).toString();
            },
            [&](int) {
                const std::vector<std::int64_t> keys = rawKeyset();
                RawRun run(*m_rawRow);
                run.bind(1, keys.back());
                run.step();
                run.touchRow();
                rawLast = run.text(0);
            });
        require(engineLast == QString::fromStdString(rawLast), QStringLiteral("last record"));
    }

    // (2) One move of a bound source with six bound boxes refilled. Its floor
    // is the row read with raw SQLite plus the same six boxes set directly:
    // the least any window does to show a record. The SQLite read alone is
    // printed below it.
    void boundMove()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        db::DataControl source;
        source.setDatabase(m_db);
        source.setRecordSource(QStringLiteral("objetos"));
        std::vector<QWidget*> bound, plain;
        for (const QString& field : kBoundFields) {
            for (auto* list : {&bound, &plain}) {
                QWidget* box = field == u"Descrição" ? static_cast<QWidget*>(new QPlainTextEdit(&window))
                                                     : static_cast<QWidget*>(new QLineEdit(&window));
                layout->addWidget(box);
                list->push_back(box);
            }
            source.bind(bound.back(), field);
        }
        int repositions = 0;
        QObject::connect(&source, &db::DataControl::reposition, &source, [&] { ++repositions; });
        window.show();
        source.refresh();
        db::Recordset* rs = source.recordset();

        // The record the engine is about to show (or has just shown).
        auto nextKey = [&] {
            return m_keys[size_t(std::min<int>(rs->absolutePosition() + 1, int(m_keys.size()) - 1))];
        };
        auto showDirectly = [&](const RawRun& run) {
            for (size_t c = 0; c < plain.size(); ++c) {
                const std::string_view bytes = run.text(int(c));
                const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
                if (auto* line = qobject_cast<QLineEdit*>(plain[c]))
                    line->setText(text);
                else
                    static_cast<QPlainTextEdit*>(plain[c])->setPlainText(text);
            }
        };
        measure(QStringLiteral("bound source move (6 boxes refilled)"), Result::Target::Interactive,
            [&](int) {
                if (rs->absolutePosition() >= rs->keyCount() - 1)
                    rs->moveFirst();
            },
            [&](int) { rs->moveNext(); },
            [&](int) {
                RawRun run(*m_rawSix);
                run.bind(1, nextKey());
                run.step();
                showDirectly(run);
            });
        for (size_t c = 0; c < bound.size(); ++c) {
            const QString shown = c + 1 < bound.size() ? static_cast<QLineEdit*>(bound[c])->text()
                                                       : static_cast<QPlainTextEdit*>(bound[c])->toPlainText();
            require(shown == rs->text(kBoundFields[qsizetype(c)]).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                    QStringLiteral("bound box %1 shows the current record").arg(kBoundFields[qsizetype(c)]));
        }
        require(repositions >= m_options.runs, QStringLiteral("reposition after every move"));

        std::vector<double> reads;
        for (int rep = 0; rep < m_options.runs; ++rep) {
            reads.push_back(elapsedMs([&] {
                RawRun run(*m_rawSix);
                run.bind(1, m_keys[size_t(rep * 7919 % int(m_keys.size()))]);
                run.step();
                run.touchRow();
            }));
        }
        std::printf("  (of the floor, the SQLite row read alone: %.3f ms)\n", median(reads));
    }

    // (3) The sum of valor as the catalogue computes it after every move.
    void sumOfValor()
    {
        qint64 engineSum = 0, rawSum = 0;
        measure(QStringLiteral("sum of valor (snapshot)"), Result::Target::Interactive, nullptr,
            [&](int) {
                auto all = m_db->openRecordset(QStringLiteral("Select * from objetos"), db::RecordsetType::Snapshot);
                qint64 total = 0;
                while (!all->eof()) {
                    total += all->value(QStringLiteral("valor")).toLongLong();
                    all->moveNext();
                }
                all->close();
                engineSum = total;
            },
            [&](int) {
                RawRun run(*m_rawSum);
                run.step();
                rawSum = run.integer(0);
            });
        require(engineSum == rawSum, QStringLiteral("sum of valor"));

        // What a snapshot that copies every column of every row at open
        // cannot go below, for reading the ratio above.
        std::vector<double> copies;
        for (int rep = 0; rep < m_options.runs; ++rep) {
            copies.push_back(elapsedMs([&] {
                std::size_t seen = 0;
                RawRun run(*m_rawAllRows);
                while (run.step())
                    seen += run.touchRow();
                require(seen > 0, QStringLiteral("rows read"));
            }));
        }
        std::printf("  (raw read of every column of every row: %.3f ms)\n", median(copies));
    }

    void engineRewrite(const QString& code)
    {
        m_db->deleteQueryDef(kQueryName);
        m_db->createQueryDef(kQueryName);
        m_db->setQueryDefSql(kQueryName, db::loansOfObject(code));
    }

    // The engine writes stored queries without a sync per commit (they are
    // derived data); the floor does the same.
    void rawRewrite(const QString& code) { m_writer->rewrite(utf8(kQueryName), utf8(db::loansOfObject(code))); }

    // (4) Rewriting the stored query: three committed steps.
    void rewriteQuery()
    {
        measure(QStringLiteral("rewrite stored query"), Result::Target::Interactive, nullptr,
            [&](int rep) { engineRewrite(codeFor(rep)); },
            [&](int rep) { rawRewrite(codeFor(rep)); });
        require(m_db->queryDefSql(kQueryName) == db::loansOfObject(codeFor(m_options.runs - 1)),
                QStringLiteral("stored query text"));
    }

    // (5) Find first by code on the catalogue's dynaset.
    void findByCode()
    {
        auto rs = m_db->openRecordset(QStringLiteral("objetos"));
        QString found;
        std::string rawFound;
        measure(QStringLiteral("find first by code"), Result::Target::Interactive,
            [&](int) { rs->moveFirst(); },
            [&](int rep) {
                rs->findFirst(db::objectWithCode(codeFor(rep)));
                found = rs->value(QStringLiteral("cod")).toString();
            },
            [&](int rep) {
                RawRun run(*m_rawByCode);
                run.bind(1, utf8(db::foldText(codeFor(rep))));
                run.step();
                run.touchRow();
                rawFound = run.text(0);
            });
        require(found == codeFor(m_options.runs - 1) && QString::fromStdString(rawFound) == found,
                QStringLiteral("record found by code"));
    }

    // The current loan as both sides read it: (name, date text).
    QString engineSearch()
    {
        auto rs = m_db->openRecordset(kQueryName);
        if (rs->eof())
            return QString();
        // The whole first record as its bound boxes would show it.
        qsizetype shown = 0;
        for (const QString& field : rs->fieldNames())
            shown += rs->text(field).size();
        require(shown > 0, QStringLiteral("first loan shows text"));
        return rs->value(QStringLiteral("Nome")).toString() + u'@'
            + rs->value(QStringLiteral("Data")).toDate().toString(Qt::ISODate);
    }

    QString rawSearch(const QString& code)
    {
        RawRun run(*m_rawLoans);
        run.bind(1, utf8(db::foldText(code)));
        if (!run.step())
            return QString();
        run.touchRow();
        return QString::fromStdString(std::string(run.text(1))) + u'@'
            + QString::fromStdString(std::string(run.text(5)));
    }

    // (6) Opening "pesquisa" for one code and reading its first record.
    void openSearch()
    {
        QString engineSeen, rawSeen;
        int nonEmpty = 0;
        measure(QStringLiteral("open pesquisa + first record"), Result::Target::Interactive,
            [&](int rep) { engineRewrite(codeFor(rep)); },
            [&](int) { engineSeen = engineSearch(); },
            [&](int rep) { rawSeen = rawSearch(codeFor(rep)); });
        // A code with loans, checked once more outside the timing.
        for (int i = 0; i < 50 && nonEmpty == 0; ++i) {
            const QString code = generatedCode(i * 37 % m_objects);
            engineRewrite(code);
            engineSeen = engineSearch();
            rawSeen = rawSearch(code);
            require(engineSeen == rawSeen, QStringLiteral("current loan of %1").arg(code));
            nonEmpty += engineSeen.isEmpty() ? 0 : 1;
        }
        require(nonEmpty > 0, QStringLiteral("some object has loans"));
    }

    // The two boxes the catalogue fills from the current loan of the code
    // being typed (the hidden Label1 and Text2).
    struct LoanBoxes {
        QLineEdit* name;
        QLineEdit* state;
        QString shown() const { return name->text() + u'|' + state->text(); }
    };

    // The floor of a keystroke after the rewrite: the first loan of the code
    // read with raw SQLite, its name and state put straight into two boxes
    // (both emptied when the code has no loans, as the bound boxes are).
    void rawShowLoan(const QString& code, const LoanBoxes& boxes)
    {
        RawRun run(*m_rawLoans);
        run.bind(1, utf8(db::foldText(code)));
        const bool found = run.step();
        auto column = [&](int c) {
            if (!found)
                return QString();
            const std::string_view bytes = run.text(c);
            return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        };
        boxes.name->setText(column(1));   // "Nome"
        boxes.state->setText(column(6));  // "Entregue"
    }

    // (7) A keystroke in the catalogue's code box: the stored query rewritten
    // for the new code, the loans source reopened on it and its two bound
    // boxes refilled from the first loan.
    void keystroke()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto box = [&] {
            auto* edit = new QLineEdit(&window);
            layout->addWidget(edit);
            return edit;
        };
        const LoanBoxes bound{box(), box()}, plain{box(), box()};
        db::DataControl loans;
        loans.setDatabase(m_db);
        loans.setReadOnly(true);  // the catalogue opens its loans as a snapshot
        loans.bind(bound.name, QStringLiteral("Nome"));
        loans.bind(bound.state, QStringLiteral("Entregue"));
        window.show();

        auto engineKey = [&](const QString& code) {
            engineRewrite(code);
            loans.setRecordSource(kQueryName);
            loans.refresh();
        };
        auto rawKey = [&](const QString& code) {
            rawRewrite(code);
            rawShowLoan(code, plain);
        };
        measure(QStringLiteral("catalogue keystroke (rewrite + refill loan boxes)"), Result::Target::Interactive,
            nullptr, [&](int rep) { engineKey(codeFor(rep)); }, [&](int rep) { rawKey(codeFor(rep)); });
        require(bound.shown() == plain.shown(), QStringLiteral("loan boxes after the last keystroke"));

        // Codes with and without loans, checked once more outside the timing:
        // the boxes show the same on both sides and are emptied for a code
        // without loans.
        QStringList codes;
        for (int i = 0; i < 8; ++i)
            codes << generatedCode(i * 37 % m_objects);
        codes << QStringLiteral("sem empréstimos");
        int withLoans = 0;
        for (const QString& code : std::as_const(codes)) {
            engineKey(code);
            rawKey(code);
            require(bound.shown() == plain.shown(), QStringLiteral("loan boxes for %1").arg(code));
            require(m_db->queryDefSql(kQueryName) == db::loansOfObject(code), QStringLiteral("stored query for %1").arg(code));
            withLoans += bound.name->text().isEmpty() ? 0 : 1;
        }
        require(withLoans > 0, QStringLiteral("some object has loans"));
        require(bound.name->text().isEmpty() && bound.state->text().isEmpty(),
                QStringLiteral("loan boxes emptied for a code without loans"));
    }

    Options m_options;
    int m_objects;
    std::shared_ptr<db::Database> m_db;
    RawDatabase m_raw;
    QString m_sync;
    std::vector<std::int64_t> m_keys;
    std::optional<RawStatement> m_rawKeys, m_rawRow, m_rawSix, m_rawSum, m_rawAllRows, m_rawByCode, m_rawLoans;
    std::optional<bench::RawQueryWriter> m_writer;
    std::vector<Result> m_results;
};

// Prints the targets that were missed; returns how many.
int reportTargets(const std::vector<Result>& results, double peakMb)
{
    int missed = 0;
    auto miss = [&](const QString& text) {
        std::printf("  over target: %s\n", qPrintable(text));
        ++missed;
    };
    for (const Result& r : results) {
        const double ratio = r.rawMs > 0 ? r.engineMs / r.rawMs : 0.0;
        if (r.target == Result::Target::Open && r.engineMs > kOpenMs)
            miss(QStringLiteral("%1 > %2 ms").arg(r.name).arg(kOpenMs));
        if (r.target == Result::Target::Interactive) {
            if (r.engineMs > kInteractiveMs)
                miss(QStringLiteral("%1 > %2 ms").arg(r.name).arg(kInteractiveMs));
            if (ratio > kInteractiveRatio)
                miss(QStringLiteral("%1 > %2x its raw floor").arg(r.name).arg(kInteractiveRatio));
        }
    }
    if (peakMb > kPeakMb)
        miss(QStringLiteral("peak memory > %1 MB").arg(kPeakMb));
    if (missed == 0)
        std::printf("  every target met\n");
    return missed;
}

std::optional<Options> parseOptions(const QStringList& args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--quick") {
            o.quick = true;
        } else if (a == u"--runs" && hasValue) {
            o.runs = std::max(1, args[++i].toInt());
        } else if (a == u"--database" && hasValue) {
            o.database = args[++i];
        } else if (a == u"--only" && hasValue) {
            o.only = args[++i].toInt();
            if (o.only < 1 || o.only > 7)
                return std::nullopt;
        } else if (a == u"--synchronous" && hasValue) {
            o.synchronous = args[++i];
            if (o.synchronous.compare(u"normal", Qt::CaseInsensitive) != 0
                && o.synchronous.compare(u"full", Qt::CaseInsensitive) != 0)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (o.quick && !args.contains(QStringLiteral("--runs")))
        o.runs = 3;
    return o;
}

int runBenchmark(const Options& options)
{
    const int objects = options.quick ? kQuickObjects : kFullObjects;
    const int loans = options.quick ? kQuickLoans : kFullLoans;
    QTemporaryDir scratch;
    QString path = options.database;
    if (path.isEmpty() && options.quick) {
        path = scratch.filePath(QString::fromLatin1(db::kDatabaseFileName));
        bench::ensureCollection(path, objects, loans, false);
    } else if (path.isEmpty()) {
        path = bench::cachedCollection(objects, loans);
    } else {
        bench::ensureCollection(path, objects, loans, false);
    }

    Bench bench(options, path, objects);
    std::printf("collection: %s (%d objects, %d loans), median of %d runs, synchronous %s\n", qPrintable(path),
                objects, loans, options.runs, qPrintable(bench.synchronous()));
    bench.run();
    const double peak = peakMemoryMb();
    std::printf("peak memory: %.1f MB\n", peak);
    if (!options.quick)
        reportTargets(bench.results(), peak);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--generate") == 0) {
        QCoreApplication app(argc, argv);
        try {
            return bench::generateCollection(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), atoi(argv[4]));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ondrel-bench: %s\n", e.what());
            return 1;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"--windows-child" || arguments.contains(QStringLiteral("--windows"))) {
        try {
            return arguments.value(1) == u"--windows-child" ? bench::runWindowChild(arguments)
                                                            : bench::runWindowBenchmark(arguments);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ondrel-bench: %s\n", e.what());
            return 1;
        }
    }
    if (arguments.contains(QStringLiteral("--imports"))) {
        try {
            return bench::runImportBenchmark(arguments);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ondrel-bench: %s\n", e.what());
            return 1;
        }
    }
    const std::optional<Options> options = parseOptions(arguments);
    if (!options) {
        std::fprintf(stderr,
                     "usage: ondrel-bench [--quick] [--runs N] [--database PATH] [--synchronous normal|full] [--only 1..7]\n"
                     "       ondrel-bench --windows [--objects N --loans M] [--runs N] [--quick]\n"
                     "       ondrel-bench --imports [--runs N] [--rows N] [--quick]\n");
        return 2;
    }
    try {
        return runBenchmark(*options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel-bench: %s\n", e.what());
        return 1;
    }
}
