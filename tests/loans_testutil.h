#pragma once

// A plug-in folder with a collection database of a few objects and loans,
// and the windows torn down after each test.
#include "catalogue/Frmobjetos.h"
#include "database/database.h"
#include "database/recordset.h"
#include "loans/Frmemprestimos.h"
#include "platform/pluginfolder.h"
#include "platform/testservices.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace loanstest {

using ondrel::catalogue::Frmobjetos;
using ondrel::db::Database;
using ondrel::loans::Frmemprestimos;
using ondrel::platform::RecordingServices;

struct Loan {
    QString code, name, returned, date, remarks;
};

class Folder {
public:
    Folder()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        m_installed = std::make_unique<RecordingServices::Installed>(services);
        ondrel::platform::setPluginFolder(dir.path());
    }
    ~Folder()
    {
        delete Frmemprestimos::existing();
        delete Frmobjetos::existing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_installed.reset();
        ondrel::platform::setPluginFolder(QString());
    }

    QString path() const { return dir.filePath(QStringLiteral("livrano.mdb")); }
    std::shared_ptr<Database> open() const
    {
        return Database::open(path(), QString::fromLatin1(ondrel::db::kConnectString));
    }

    // Objects as (cod, kind, title, author).
    void create(const QList<QStringList>& objects, const QList<Loan>& loans)
    {
        Database::create(path(), QStringLiteral("7Borel3"));
        for (const QStringList& o : objects)
            m_objects.insert(o.value(0), o);
        auto db = open();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        for (const QStringList& o : objects) {
            rs->addNew();
            rs->setText(QStringLiteral("cod"), o.value(0));
            rs->setText(QStringLiteral("Objeto"), o.value(1));
            rs->setText(QStringLiteral("Título"), o.value(2));
            rs->setText(QStringLiteral("Autor"), o.value(3));
            rs->update();
        }
        for (const Loan& l : loans)
            addLoan(l);
    }
    void addLoan(const Loan& l) const
    {
        auto rs = open()->openRecordset(QStringLiteral("empréstimos"));
        rs->addNew();
        rs->setText(QStringLiteral("codobjeto"), l.code);
        rs->setText(QStringLiteral("Nome"), l.name);
        rs->setText(QStringLiteral("Entregue"), l.returned);
        rs->setText(QStringLiteral("Data"), l.date);
        rs->setText(QStringLiteral("observações"), l.remarks);
        // The object's kind, title and author, as the lookup copies them.
        const QStringList object = m_objects.value(l.code);
        rs->setText(QStringLiteral("objeto"), object.value(1));
        rs->setText(QStringLiteral("Título"), object.value(2));
        rs->setText(QStringLiteral("Autor"), object.value(3));
        rs->update();
    }
    // Every stored loan as "codobjeto|Nome|Entregue|Data|observações", in
    // the order they were stored.
    QStringList storedLoans() const
    {
        QStringList rows;
        auto rs = open()->openRecordset(QStringLiteral("select * from empréstimos"));
        for (; !rs->eof(); rs->moveNext()) {
            QStringList row;
            for (const char* f : {"codobjeto", "Nome", "Entregue", "Data", "observações"})
                row << rs->text(QString::fromUtf8(f));
            rows << row.join(QLatin1Char('|'));
        }
        return rows;
    }

    QTemporaryDir dir;
    RecordingServices services;

private:
    std::unique_ptr<RecordingServices::Installed> m_installed;
    QHash<QString, QStringList> m_objects;
};

// Objects and loans most tests start from. The loans of A1 are the first,
// third and fifth stored.
inline QList<QStringList> standardObjects()
{
    return {{"A1", "Livro", "Dom Casmurro", "Machado de Assis"},
            {"B2", "Revista", "Veja", "Abril"},
            {"D'A", "DVD", "O Auto da Compadecida", "Guel Arraes"},
            {"E5", "Disco (CD)", "Tropicália", "Vários"}};
}

inline QList<Loan> standardLoans()
{
    return {{"A1", "Ana", "Sim", "01/02/2003", "primeira"},
            {"B2", "Bruno", "Não", "02/02/2003", ""},
            {"A1", "Carla", "Sim", "03/02/2003", ""},
            {"D'A", "Davi", "Não", "04/02/2003", ""},
            {"A1", "Elisa", "Não", "05/02/2003", "linha 1\r\nlinha 2"},
            {"B2", "Fábio", "Sim", "06/02/2003", ""}};
}

// Types a text key by key, accented letters included.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Shows a window and waits until it has the keyboard focus, so focus moves
// raise their events.
inline bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

}  // namespace loanstest
