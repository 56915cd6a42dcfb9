// Child process of the crash and hostile-file tests.
//
//   PATH START       adds objects (and rewrites a stored query) in a loop and
//                    prints "ok N" once each change is committed
//   work PATH SEED   adds, edits and deletes objects, rewrites "pesquisa" and
//                    "Imprime" and saves loans at random (drawn from SEED),
//                    printing "do <change>" before and "ok" after each commit
//   end PATH         stores an object, leaves an edit of it pending and ends
//                    the process as "Sair" does
//   read PATH        opens the file as a person without write access and
//                    prints what it reads and what a save and a stored query do
#include "collection/collection.h"
#include "database/database.h"

#include <QRandomGenerator>
#include <QStringList>

#include <QLocale>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace ondrel::db;

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

int addInLoop(const QString& path, int start)
{
    auto db = Database::open(path, QString::fromLatin1(kConnectString));
    auto rs = db->openRecordset(QStringLiteral("objetos"));
    for (int i = start;; ++i) {
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QString::number(i));
        rs->setText(QStringLiteral("Título"), QStringLiteral("Objeto nº %1").arg(i));
        rs->setText(QStringLiteral("valor"), QStringLiteral("1,5"));
        rs->update();
        db->deleteQueryDef(QStringLiteral("pesquisa"));
        db->createQueryDef(QStringLiteral("pesquisa"));
        db->setQueryDefSql(QStringLiteral("pesquisa"),
                           QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc").arg(i));
        say(QStringLiteral("ok %1").arg(i));
    }
}

int work(const QString& path, quint32 seed)
{
    auto db = Database::open(path, QString::fromLatin1(kConnectString));
    auto objects = db->openRecordset(QStringLiteral("objetos"));
    auto loans = db->openRecordset(QStringLiteral("empréstimos"));
    QStringList codes;
    for (; !objects->eof(); objects->moveNext())
        codes << objects->text(QStringLiteral("cod"));
    QRandomGenerator random(seed);
    say(QStringLiteral("ready"));
    for (int n = 0;; ++n) {
        const QString tag = QStringLiteral("%1-%2").arg(seed).arg(n);
        const int kind = codes.isEmpty() ? 0 : int(random.bounded(6));
        const QString code = codes.isEmpty() ? QString() : codes.at(int(random.bounded(codes.size())));
        switch (kind) {
        case 0: {
            const QString added = QStringLiteral("K%1").arg(tag);
            say(QStringLiteral("do add %1 t%2").arg(added, tag));
            objects->addNew();
            objects->setText(QStringLiteral("cod"), added);
            objects->setText(QStringLiteral("Título"), QStringLiteral("t") + tag);
            objects->update();
            codes << added;
            break;
        }
        case 1:
            say(QStringLiteral("do edit %1 e%2").arg(code, tag));
            objects->findFirst(QStringLiteral("cod='%1'").arg(code));
            objects->edit();
            objects->setText(QStringLiteral("Título"), QStringLiteral("e") + tag);
            objects->update();
            break;
        case 2:
            say(QStringLiteral("do del %1").arg(code));
            objects->findFirst(QStringLiteral("cod='%1'").arg(code));
            objects->deleteRecord();
            codes.removeAll(code);
            break;
        case 3:
            say(QStringLiteral("do query pesquisa %1").arg(code));
            db->writeQueryDef(QStringLiteral("pesquisa"),
                              QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc").arg(code));
            break;
        case 4:
            say(QStringLiteral("do query Imprime %1").arg(tag));
            db->writeQueryDef(QStringLiteral("Imprime"),
                              QStringLiteral("select cod, objeto, título, autor, valor from objetos where título like '*%1*'")
                                  .arg(tag));
            break;
        default:
            say(QStringLiteral("do loan %1 L%2").arg(code, tag));
            loans->addNew();
            loans->setText(QStringLiteral("codobjeto"), code);
            loans->setText(QStringLiteral("Nome"), QStringLiteral("L") + tag);
            loans->setText(QStringLiteral("Entregue"), QStringLiteral("Não"));
            loans->update();
            break;
        }
        say(QStringLiteral("ok"));
    }
}

int endAsSair(const QString& path)
{
    auto db = Database::open(path, QString::fromLatin1(kConnectString));
    auto objects = db->openRecordset(QStringLiteral("objetos"));
    objects->addNew();
    objects->setText(QStringLiteral("cod"), QStringLiteral("END1"));
    objects->setText(QStringLiteral("Título"), QStringLiteral("guardado"));
    objects->update();
    objects->moveLast();
    objects->edit();
    objects->setText(QStringLiteral("Título"), QStringLiteral("pendente"));
    say(QStringLiteral("ok"));
    // What the plug-in's end does: the file made whole, then the process
    // ends at once, without destructors.
    checkpointAndCloseAll();
    ::_exit(0);
}

int readAsStranger(const QString& path)
{
    const auto db = Database::open(path, QString::fromLatin1(kConnectString));
    auto objects = db->openRecordset(QStringLiteral("objetos"));
    objects->moveLast();
    say(QStringLiteral("readonly %1 objects %2").arg(db->readOnly()).arg(objects->recordCount()));
    int refused = 0;
    try {
        objects->edit();
        objects->setText(QStringLiteral("Título"), QStringLiteral("mudado"));
        objects->update();
    } catch (const EngineError& e) {
        refused = e.number();
    }
    say(QStringLiteral("save %1").arg(refused));
    db->writeQueryDef(QStringLiteral("pesquisa"), QStringLiteral("select * from empréstimos where codobjeto = 'A1'"));
    auto lent = db->openRecordset(QStringLiteral("pesquisa"), RecordsetType::Snapshot);
    say(QStringLiteral("pesquisa %1 %2").arg(lent->eof() ? QString() : lent->text(QStringLiteral("Nome")),
                                             Database::open(path, QString::fromLatin1(kConnectString))
                                                 ->queryDefSql(QStringLiteral("pesquisa"))));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));  // values are typed the Brazilian way
    const QString path = QString::fromUtf8(argv[2]);
    if (std::strcmp(argv[1], "work") == 0 && argc >= 4)
        return work(path, quint32(std::strtoul(argv[3], nullptr, 10)));
    if (std::strcmp(argv[1], "end") == 0)
        return endAsSair(path);
    if (std::strcmp(argv[1], "read") == 0)
        return readAsStranger(path);
    return addInLoop(QString::fromUtf8(argv[1]), std::atoi(argv[2]));
}
