#include "imports.h"

#include "collection.h"
#include "floor.h"

#include "collection/collection.h"
#include "database/database.h"
#include "import/jetconversion.h"
#include "import/listingimport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace ondrel::bench {

namespace {

constexpr double kJetTargetMs = 2000;
constexpr double kListingTargetMs = 5000;

// A listing of `rows` objects as a Brazilian spreadsheet saves it: the nine
// columns, ';', UTF-8 with its byte-order mark, CRLF, four-decimal amounts.
void writeListing(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure("cannot write " + utf8(path));
    QByteArray text = "\xEF\xBB\xBF" "Código;Objeto;Título;Autor(a);Valor;Assunto;Descrição;Data;Imagem\r\n";
    const char* kinds[] = {"Livro", "Revista", "Disco (CD)", "DVD", "Ferramenta"};
    for (int i = 0; i < rows; ++i) {
        text += QStringLiteral("C%1;%2;Canção do Sertão nº %3;\"Autor; %4\";%5,%6;Música;Descrição do objeto %3;"
                               "%7;/acervo/capas/C%1.jpg\r\n")
                    .arg(i, 6, 10, QChar(u'0'))
                    .arg(QLatin1String(kinds[i % 5]))
                    .arg(i)
                    .arg(i % 97)
                    .arg(i % 100000)
                    .arg(i % 10000, 4, 10, QChar(u'0'))
                    .arg(QDate(1990, 1, 1).addDays(i % 9000).toString(QStringLiteral("dd/MM/yyyy")))
                    .toUtf8();
    }
    file.write(text);
}

struct Figure {
    const char* name;
    std::vector<double> wall, cpu;
    double target;
};

void report(const Figure& f)
{
    const double wall = median(f.wall);
    std::printf("%-48s %9.1f ms (cpu %.1f)  target %.0f ms%s\n", f.name, wall, median(f.cpu), f.target,
                wall > f.target ? "  * over target" : "");
}

template <typename Work>
void timed(Figure& f, Work work)
{
    const double cpu = cpuMs(true);
    f.wall.push_back(elapsedMs(work));
    f.cpu.push_back(cpuMs(true) - cpu);
}

}  // namespace

int runImportBenchmark(const QStringList& arguments)
{
    const bool quick = arguments.contains(QStringLiteral("--quick"));
    const auto number = [&](const char* option, int fallback) {
        const qsizetype at = arguments.indexOf(QLatin1String(option));
        return at >= 0 ? arguments.value(at + 1).toInt() : fallback;
    };
    const int runs = std::max(1, number("--runs", quick ? 1 : 5));
    const int rows = std::max(1, number("--rows", quick ? 1000 : 100000));
    QTemporaryDir work(QDir(quick ? QDir::tempPath() : cacheFolder()).filePath(QStringLiteral("imports-XXXXXX")));
    if (!work.isValid())
        throw Failure("cannot make a work folder");
    const QString jet = QStringLiteral(ONDREL_SOURCE_DIR "/tests/import/jet/legacy-v2000-pw-5k.mdb");
    std::printf("work folder %s, median of %d runs, load average before: %s", qPrintable(work.path()), runs,
                qPrintable(QString::fromLatin1([] {
                    QFile load(QStringLiteral("/proc/loadavg"));
                    return load.open(QIODevice::ReadOnly) ? load.readLine() : QByteArray("?\n");
                }())));

    Figure conversion{"Jet conversion (5,000 objects, 15,000 loans)", {}, {}, kJetTargetMs};
    for (int i = 0; i < runs; ++i) {
        const QString into = work.filePath(QStringLiteral("jet-%1.mdb").arg(i));
        import::JetConversion done;
        timed(conversion, [&] { done = import::convertJetInto(jet, into); });
        if (done.objects != 5000 || done.loans != 15000)
            throw Failure("the conversion brought " + std::to_string(done.objects) + " objects and "
                          + std::to_string(done.loans) + " loans");
    }
    report(conversion);

    const QString csv = work.filePath(QStringLiteral("listagem.csv"));
    writeListing(csv, rows);
    const QByteArray name = QStringLiteral("CSV import (%1 rows, nine columns)").arg(rows).toUtf8();
    Figure listing{name.constData(), {}, {}, kListingTargetMs};
    for (int i = 0; i < runs; ++i) {
        const QString into = db::databasePath(work.filePath(QStringLiteral("csv-%1").arg(i)));
        QDir().mkpath(QFileInfo(into).absolutePath());
        import::ListingImport done;
        timed(listing, [&] { done = import::importListing(csv, into); });
        if (done.added != rows)
            throw Failure("the import added " + std::to_string(done.added) + " objects");
    }
    report(listing);
    return 0;
}

}  // namespace ondrel::bench
