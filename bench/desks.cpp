// ondrel-desks: several desks on one collection on a PostgreSQL server. Each
// desk is a process of its own that lends (as "Emprestar" does, with its
// check), returns and edits at random for a while, noting every change the
// engine acknowledged; then the collection is checked: no object has two
// open loans, and every acknowledged change is there. Prints operations per
// second and the slowest operation.
//
//   build/bench/ondrel-desks [--desks 4] [--seconds 120] [--objects 40]
#include "collection/collection.h"
#include "collection/statements.h"
#include "database/database.h"
#include "tests/testutil/pgserver_testutil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace ondrel::db;

namespace {

const QString kConnect = QString::fromLatin1(kConnectString);

QString code(int object)
{
    return QStringLiteral("M%1").arg(object, 3, 10, QChar(u'0'));
}

// One desk: its acknowledged changes, one a line ("L name", "R cod",
// "E code title"), then "T lends returns edits refused conflicts errors
// slowest-ms".
int desk(int number, const QString& address, int seconds, int objects, const QString& out)
{
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QTextStream log(&file);
    const std::shared_ptr<Database> db = Database::open(address, kConnect);
    QRandomGenerator random(quint32(number * 7919 + 1));
    qint64 lends = 0, returns = 0, edits = 0, refused = 0, conflicts = 0, errors = 0, slowest = 0;
    QElapsedTimer run;
    run.start();
    for (int i = 0; run.elapsed() < seconds * 1000; ++i) {
        const QString object = code(int(random.bounded(objects)));
        const int kind = int(random.bounded(10));
        QElapsedTimer op;
        op.start();
        try {
            if (kind < 5) {
                const QString name = QStringLiteral("mesa%1-%2").arg(number).arg(i);
                auto loans = db->openRecordset(QStringLiteral("empréstimos"));
                loans->addNew();
                loans->setText(QStringLiteral("codobjeto"), object);
                loans->setText(QStringLiteral("Nome"), name);
                loans->setText(QStringLiteral("Data"), QStringLiteral("08/12/2026"));
                loans->setText(QStringLiteral("Entregue"), kNotReturned);
                loans->checkInsert(lendingCheck());
                loans->update();
                log << "L " << name << '\n';
                ++lends;
            } else if (kind < 8) {
                auto open = db->openRecordset(loansNotReturned());
                if (open->eof())
                    continue;
                const int count = open->keyCount();
                open->setAbsolutePosition(int(random.bounded(count)));
                const QString cod = open->text(QStringLiteral("cod"));
                open->edit();
                open->setText(QStringLiteral("Entregue"), kReturned);
                open->update();
                log << "R " << cod << '\n';
                ++returns;
            } else {
                auto shown = db->openRecordset(allObjects());
                shown->findFirst(objectWithCode(object));
                const QString title = QStringLiteral("mesa%1 edição %2").arg(number).arg(i);
                shown->edit();
                shown->setText(QStringLiteral("Título"), title);
                shown->update();
                log << "E " << object << ' ' << title << '\n';
                ++edits;
            }
        } catch (const EngineError& e) {
            if (e.number() == ErrCheckRefused)
                ++refused;
            else if (e.number() == ErrRecordChanged || e.number() == ErrRecordDeleted)
                ++conflicts;
            else
                ++errors;
        }
        slowest = std::max(slowest, op.elapsed());
    }
    log << "T " << lends << ' ' << returns << ' ' << edits << ' ' << refused << ' ' << conflicts << ' ' << errors
        << ' ' << slowest << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const auto option = [&](const QString& name, int fallback) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const int seconds = option(QStringLiteral("--seconds"), 120);
    const int objects = option(QStringLiteral("--objects"), 40);
    if (args.size() > 5 && args[1] == QLatin1String("--desk"))
        return desk(args[2].toInt(), args[3], seconds, objects, args[4]);
    const int desks = option(QStringLiteral("--desks"), 4);

    testutil::PgServer& server = testutil::PgServer::instance();
    if (!server.failure().isEmpty()) {
        std::fprintf(stderr, "ondrel-desks: %s\n", qPrintable(server.failure()));
        return 1;
    }
    const QString address = server.createDatabase();
    Database::create(address, QString::fromLatin1(kPassword), [&](const QString& building) {
        auto rs = Database::open(building, kConnect)->openRecordset(QStringLiteral("objetos"));
        for (int i = 0; i < objects; ++i) {
            rs->addNew();
            rs->setText(QStringLiteral("cod"), code(i));
            rs->setText(QStringLiteral("Título"), QStringLiteral("Objeto %1").arg(i));
            rs->update();
        }
    });
    QTemporaryDir logs;
    std::vector<std::unique_ptr<QProcess>> running;
    for (int d = 1; d <= desks; ++d) {
        running.push_back(std::make_unique<QProcess>());
        running.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        running.back()->start(app.applicationFilePath(),
                              {QStringLiteral("--desk"), QString::number(d), address,
                               logs.filePath(QString::number(d)), QStringLiteral("--seconds"), QString::number(seconds),
                               QStringLiteral("--objects"), QString::number(objects)});
    }
    for (auto& p : running)
        p->waitForFinished(-1);

    // What the desks were told was stored.
    QSet<QString> lent, returned;
    QHash<QString, QSet<QString>> titles;
    qint64 totals[7] = {};
    for (int d = 1; d <= desks; ++d) {
        QFile file(logs.filePath(QString::number(d)));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        QTextStream in(&file);
        for (QString line; in.readLineInto(&line);) {
            const QString what = line.mid(2);
            if (line.startsWith(u'L'))
                lent.insert(what);
            else if (line.startsWith(u'R'))
                returned.insert(what);
            else if (line.startsWith(u'E'))
                titles[what.section(u' ', 0, 0)].insert(what.section(u' ', 1));
            else if (line.startsWith(u'T')) {
                const QStringList n = what.split(u' ');
                for (int k = 0; k < 6; ++k)
                    totals[k] += n.value(k).toLongLong();
                totals[6] = std::max(totals[6], n.value(6).toLongLong());
            }
        }
    }
    // What the collection holds.
    const std::shared_ptr<Database> db = Database::open(address, kConnect);
    QHash<QString, int> open;
    QSet<QString> names;
    qint64 missingReturns = 0;
    for (auto loans = db->openRecordset(allLoans(), RecordsetType::Snapshot); !loans->eof(); loans->moveNext()) {
        names.insert(loans->text(QStringLiteral("Nome")));
        const bool out = loans->text(QStringLiteral("Entregue")) == kNotReturned;
        if (out)
            ++open[loans->text(QStringLiteral("codobjeto"))];
        if (out && returned.contains(loans->text(QStringLiteral("cod"))))
            ++missingReturns;
    }
    int twice = 0;
    for (int n : std::as_const(open))
        twice += n > 1 ? 1 : 0;
    qint64 missingLends = 0, strayTitles = 0;
    for (const QString& name : std::as_const(lent))
        missingLends += names.contains(name) ? 0 : 1;
    for (auto objects = db->openRecordset(allObjects(), RecordsetType::Snapshot); !objects->eof(); objects->moveNext()) {
        const auto edited = titles.constFind(objects->text(QStringLiteral("cod")));
        if (edited != titles.cend() && !edited->contains(objects->text(QStringLiteral("Título"))))
            ++strayTitles;
    }
    const double ops = double(totals[0] + totals[1] + totals[2]);
    std::printf("%d desks, %d s, %d objects: %.0f operations acknowledged (%.1f per second): %lld lends, %lld "
                "returns, %lld edits; %lld lends refused (lent already), %lld saves refused (changed or deleted by "
                "another desk), %lld other failures; slowest operation %lld ms\n",
                desks, seconds, objects, ops, ops / seconds, totals[0], totals[1], totals[2], totals[3], totals[4],
                totals[5], totals[6]);
    std::printf("objects with two open loans: %d; acknowledged lends missing: %lld; acknowledged returns not "
                "returned: %lld; objects whose title is none of their acknowledged edits: %lld\n",
                twice, missingLends, missingReturns, strayTitles);
    return twice == 0 && missingLends == 0 && missingReturns == 0 && strayTitles == 0 ? 0 : 1;
}
