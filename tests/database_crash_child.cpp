// Writer child of the crash test: adds objects (and rewrites a stored query)
// in a loop and prints "ok N" once each change is committed.
#include "database/database.h"

#include <QLocale>
#include <cstdio>

using namespace ondrel::db;

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));  // the value below is typed the Brazilian way
    auto db = Database::open(QString::fromUtf8(argv[1]), QString::fromLatin1(kConnectString));
    auto rs = db->openRecordset(QStringLiteral("objetos"));
    const int start = atoi(argv[2]);
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
        std::printf("ok %d\n", i);
        std::fflush(stdout);
    }
}
