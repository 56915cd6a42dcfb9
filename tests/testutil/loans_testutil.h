#pragma once

// A plug-in folder with a collection database of a few objects and loans,
// and the windows torn down after each test.
#include "binding/datacontrol.h"
#include "database/recordset.h"
#include "folder_testutil.h"
#include "widget_testutil.h"
#include "widgets/picturebutton.h"

#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace loanstest {

using ondrel::catalogue::Frmobjetos;
using ondrel::db::Database;
using ondrel::loans::Frmemprestimos;
using ondrel::platform::RecordingServices;
using testutil::above;
using testutil::enter;
using testutil::leave;
using testutil::showActive;
using testutil::typeText;

struct Loan {
    QString code, name, returned, date, remarks;
    QString due = {};  // "Devolver até"
};

class Folder : public testutil::PluginFolder {
public:
    Folder() = default;
    // Created with these objects and loans.
    Folder(const QList<QStringList>& objects, const QList<Loan>& loans) { create(objects, loans); }
    using PluginFolder::create;
    // Objects as (cod, kind, title, author).
    void create(const QList<QStringList>& objects, const QList<Loan>& loans)
    {
        create(testutil::Collection::Empty);
        for (const QStringList& o : objects)
            addObject(o);
        for (const Loan& l : loans)
            addLoan(l);
    }
    // An object as (cod, kind, title, author).
    void addObject(const QStringList& o)
    {
        m_objects.insert(o.value(0), o);
        auto rs = open()->openRecordset(QStringLiteral("objetos"));
        rs->addNew();
        rs->setText(QStringLiteral("cod"), o.value(0));
        rs->setText(QStringLiteral("Objeto"), o.value(1));
        rs->setText(QStringLiteral("Título"), o.value(2));
        rs->setText(QStringLiteral("Autor"), o.value(3));
        rs->update();
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
        rs->setText(QStringLiteral("prazo"), l.due);
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

private:
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

// The loans window, shown and active; nullptr when it never got the focus.
inline Frmemprestimos* openLoans()
{
    Frmemprestimos* loans = Frmemprestimos::instance();
    loans->Show();
    return showActive(loans) ? loans : nullptr;
}

// The set-up most loans tests start from: `folder` created with these objects
// and loans, and `loans`, the loans window shown and active on it; the test
// stops when the window never gets the focus.
#define OPEN_LOANS(...)                                                  \
    loanstest::Folder folder(__VA_ARGS__);                               \
    ondrel::loans::Frmemprestimos* loans = loanstest::openLoans();       \
    QVERIFY(loans)

// Borrowers of the listed loans, in list order, read from the record set.
inline QStringList listed(Frmemprestimos* loans)
{
    QStringList names;
    ondrel::db::Recordset* rs = loans->Data1->recordset();
    for (int i = 0; i < rs->keyCount(); ++i)
        names << rs->textAt(i, QStringLiteral("Nome"));
    return names;
}

// The loan of a borrower made current.
inline void goTo(Frmemprestimos* loans, const QString& name)
{
    loans->Data1->recordset()->findFirst(QStringLiteral("Nome='") + name + QStringLiteral("'"));
}

// A click on a button a person can click: shown and enabled.
inline void click(QWidget* widget)
{
    QVERIFY2(widget->isVisible() && widget->isEnabled(), qPrintable(widget->objectName()));
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A box's text replaced as a person does it: selected, then typed over.
inline void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        typeText(box, text);
}

// "Novo", a code typed and left with Tab, a borrower typed.
inline void startLoan(Frmemprestimos* loans, const QString& code, const QString& name)
{
    click(loans->cmdNovo);
    QVERIFY(loans->Txtcod->hasFocus());
    typeText(loans->Txtcod, code);
    QTest::keyClick(loans->Txtcod, Qt::Key_Tab);
    QVERIFY(loans->Txtnome->hasFocus());
    typeText(loans->Txtnome, name);
}

// The loans window browsing: the record commands of a shown loan on, those
// of an entry off.
inline bool browsing(Frmemprestimos* loans)
{
    return loans->cmdNovo->isEnabled() && loans->mnunovo->isEnabled() && !loans->cmdSalvar->isEnabled()
           && !loans->mnusalvar->isEnabled() && loans->cmdEditar->isEnabled() && loans->cmdExcluir->isEnabled()
           && !loans->cmdCancelar->isEnabled() && !loans->mnucancelar->isEnabled() && !loans->Txtcod->isEnabled();
}

// Whether a menu (its title in the menu bar) is enabled.
inline bool enabled(QMenu* menu)
{
    return menu->menuAction()->isEnabled();
}

}  // namespace loanstest
