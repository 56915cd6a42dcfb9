#pragma once

// A temporary plug-in folder with a collection database of a few objects, the
// catalogue window opened on it, and everything torn down after each test.
// Message boxes, input boxes, the file dialog, the shell and the keys sent go
// to a recording double.
#include "binding/datacontrol.h"
#include "database/recordset.h"
#include "database_testutil.h"
#include "folder_testutil.h"
#include "widget_testutil.h"

#include <QFile>
#include <QTest>

namespace cattest {

using ondrel::catalogue::Frmobjetos;
using ondrel::db::Database;
using ondrel::platform::RecordingServices;
using testutil::above;
using testutil::enter;
using testutil::leave;

struct Object {
    QString cod, kind, title, author, subject, valor, path;
};

// Table order A1, C3, B2, D4: no order of the four fields matches it.
inline QList<Object> standardObjects()
{
    return {{"A1", "Livro", "Dom Casmurro", "Machado de Assis", "Romance", "10", ""},
            {"C3", "DVD", "Auto da Compadecida", "Suassuna", "Comédia", "", ""},
            {"B2", "Revista", "Veja", "Abril", "Atualidades", "2,5", ""},
            {"D4", "Livro", "O'Brien", "Bandeira", "Biografia", "1000", ""}};
}

class Folder : public testutil::PluginFolder {
public:
    Folder()
    {
        for (const char* name : {"objetos.rpt", "Ulmix.hlp"})
            QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/assets/files/") + QLatin1String(name),
                        dir.filePath(QLatin1String(name)));
    }

    void create(const QList<Object>& objects = standardObjects()) const
    {
        PluginFolder::create(testutil::Collection::Empty);
        auto rs = open()->openRecordset(QStringLiteral("objetos"));
        for (const Object& o : objects) {
            rs->addNew();
            rs->setText(QStringLiteral("cod"), o.cod);
            rs->setText(QStringLiteral("Objeto"), o.kind);
            rs->setText(QStringLiteral("Título"), o.title);
            rs->setText(QStringLiteral("Autor"), o.author);
            rs->setText(QStringLiteral("Assunto"), o.subject);
            if (!o.valor.isEmpty())
                rs->setText(QStringLiteral("valor"), o.valor);
            if (!o.path.isEmpty())
                rs->setText(QStringLiteral("path"), o.path);
            rs->update();
        }
    }

    // The standard objects with two loans: D4 lent to Ana Souza, B2 returned.
    void createWithLoans() const
    {
        create();
        auto loans = open()->openRecordset(QStringLiteral("empréstimos"));
        testutil::addRecord(*loans, {{"codobjeto", "D4"}, {"Nome", "Ana Souza"}, {"Entregue", "Não"}});
        testutil::addRecord(*loans, {{"codobjeto", "B2"}, {"Nome", "João"}, {"Entregue", "Sim"}});
    }

    // The catalogue window, loaded and shown.
    Frmobjetos* openCatalogue() const { return testutil::shown<Frmobjetos>(); }

    // A collection of these objects, and the catalogue window shown on it.
    Frmobjetos* openCatalogueOn(const QList<Object>& objects = standardObjects()) const
    {
        create(objects);
        return openCatalogue();
    }

    // The statement of a stored query as the file holds it now (read through
    // a handle of our own), or "<none>".
    QString storedQuery(const QString& name) const
    {
        auto db = open();
        return db->hasQueryDef(name) ? db->queryDefSql(name) : QStringLiteral("<none>");
    }

    // A field of every object, in table order.
    QStringList stored(const QString& field) const
    {
        QStringList values;
        auto rs = open()->openRecordset(QStringLiteral("select * from objetos"));
        for (; !rs->eof(); rs->moveNext())
            values << rs->text(field);
        return values;
    }
};

// The codes of Data1's record set in its order, leaving the current record
// where it was.
inline QStringList listedCodes(Frmobjetos* f)
{
    QStringList codes;
    ondrel::db::Recordset* rs = f->Data1->recordset();
    for (int i = 0; rs && i < rs->keyCount(); ++i)
        codes << rs->textAt(i, QStringLiteral("cod"));
    return codes;
}

}  // namespace cattest
