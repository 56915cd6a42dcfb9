// Another desk's work in the windows on a collection on a PostgreSQL
// server: a lend, return or delete committed by another connection shows in
// the catalogue's loan display, counter and object on screen within a
// second, without a sound or a message, and in the loans window's counter;
// a catalogue editing keeps what is typed until the person is browsing again.
#include "core/valuetext.h"
#include "loans_testutil.h"

#include <QLabel>
#include <QtTest>

using loanstest::Folder;
using ondrel::catalogue::Frmobjetos;
using ondrel::loans::Frmemprestimos;

namespace {

// How soon another desk's change shows.
constexpr int kWithinMs = 1000;

// A change committed at another desk: "lend" (to Carla), "return" (the
// object's open loan) or "delete", of the object `code`.
void changeThere(const Folder& folder, const QString& change, const QString& code)
{
    if (change == QLatin1String("lend")) {
        folder.addLoan({code, QStringLiteral("Carla"), QStringLiteral("Não"), QStringLiteral("07/12/2026"), {}});
        return;
    }
    auto db = folder.open();
    if (change == QLatin1String("return")) {
        auto rs = db->openRecordset(
            QStringLiteral("select * from empréstimos where codobjeto='%1' and Entregue='Não'").arg(code));
        rs->edit();
        rs->setText(QStringLiteral("Entregue"), QStringLiteral("Sim"));
        rs->update();
        return;
    }
    auto rs = db->openRecordset(QStringLiteral("objetos"));
    rs->findFirst(QStringLiteral("cod='%1'").arg(code));
    rs->deleteRecord();
}

}  // namespace

class CatalogueOtherDesks : public QObject {
    Q_OBJECT

    std::unique_ptr<Folder> m_folder;

    // A server collection of A1, B2 (lent to Bruno) and C3.
    bool createOnServer()
    {
        m_folder = std::make_unique<Folder>();
        if (m_folder->useServer().isEmpty())
            return false;
        m_folder->create({{"A1", "Livro", "Alfa", ""}, {"B2", "Livro", "Beta", ""}, {"C3", "Livro", "Gama", ""}},
                         {{"B2", "Bruno", "Não", "01/12/2026", ""}});
        return true;
    }
    // The catalogue on it, showing `code`, its sounds forgotten.
    Frmobjetos* showCatalogue(const QString& code)
    {
        if (!createOnServer())
            return nullptr;
        Frmobjetos* f = testutil::shown<Frmobjetos>();
        f->Data1->recordset()->findFirst(QStringLiteral("cod='%1'").arg(code));
        m_folder->services.sounds.clear();
        m_folder->services.beeps = 0;
        return f;
    }

private slots:
    void cleanup() { m_folder.reset(); }

    void otherDesksWorkShows_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("of");
        QTest::addColumn<QString>("code");      // on screen afterwards
        QTest::addColumn<QString>("borrower");  // in the loan display
        QTest::addColumn<bool>("lendable");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("total");
        QTest::newRow("lent there") << "A1" << "lend" << "A1" << "A1" << "Carla" << false << 1 << 3;
        QTest::newRow("returned there") << "B2" << "return" << "B2" << "B2" << "" << true << 2 << 3;
        QTest::newRow("another object deleted there") << "A1" << "delete" << "C3" << "A1" << "" << true << 1 << 2;
        // As a move onto it: the next object takes its place, quietly.
        QTest::newRow("the object shown deleted there")
            << "A1" << "delete" << "A1" << "B2" << "Bruno" << false << 1 << 2;
        QTest::newRow("the last object deleted there")
            << "C3" << "delete" << "C3" << "B2" << "Bruno" << false << 2 << 2;
    }
    void otherDesksWorkShows()
    {
        QFETCH(QString, shown);
        QFETCH(QString, change);
        QFETCH(QString, of);
        QFETCH(QString, code);
        QFETCH(QString, borrower);
        QFETCH(bool, lendable);
        QFETCH(int, position);
        QFETCH(int, total);
        Frmobjetos* f = showCatalogue(shown);
        QVERIFY(f);
        QCOMPARE(f->Txtcod->text(), shown);
        changeThere(*m_folder, change, of);
        const QString counter = ondrel::db::counterText(position, total);
        QTRY_COMPARE_WITH_TIMEOUT(f->lblCount->text(), counter, kWithinMs);
        QTRY_COMPARE_WITH_TIMEOUT(f->lblBorrow->text(), borrower, kWithinMs);
        QCOMPARE(f->Txtcod->text(), code);
        QCOMPARE(f->cmdEmprestar->isEnabled(), lendable);
        QCOMPARE(f->lblpanel->text().contains(of), code != shown);
        // The alarm and the beep answer the person's own moves only.
        QCOMPARE(m_folder->services.sounds, QStringList());
        QCOMPARE(m_folder->services.beeps, 0);
        QCOMPARE(m_folder->services.messageTexts(), QStringList());
    }

    // Lent and renamed there while the object is edited here: the boxes keep
    // what is typed; once editing ends the object shows as it now is.
    void editingKeepsWhatIsTyped()
    {
        Frmobjetos* f = showCatalogue(QStringLiteral("A1"));
        QVERIFY(f);
        f->cmdEditar->click();
        f->txttítulo->selectAll();
        QTest::keyClicks(f->txttítulo, QStringLiteral("Digitado"));
        changeThere(*m_folder, QStringLiteral("lend"), QStringLiteral("A1"));
        {
            auto rs = m_folder->open()->openRecordset(QStringLiteral("objetos"));
            rs->edit();
            rs->setText(QStringLiteral("Título"), QStringLiteral("Da outra mesa"));
            rs->update();
        }
        QTest::qWait(kWithinMs);
        QCOMPARE(f->txttítulo->text(), QStringLiteral("Digitado"));
        QCOMPARE(f->lblBorrow->text(), QString());
        f->cmdCancelar->click();
        QTRY_COMPARE_WITH_TIMEOUT(f->txttítulo->text(), QStringLiteral("Da outra mesa"), kWithinMs);
        QTRY_COMPARE_WITH_TIMEOUT(f->lblBorrow->text(), QStringLiteral("Carla"), kWithinMs);
        QCOMPARE(m_folder->services.sounds, QStringList());
    }

    void loansCounterFollows()
    {
        QVERIFY(createOnServer());
        Frmemprestimos* loans = loanstest::openLoans();
        QVERIFY(loans);
        QCOMPARE(loans->Data1->caption(), ondrel::db::counterText(1, 1));
        changeThere(*m_folder, QStringLiteral("lend"), QStringLiteral("A1"));
        QTRY_COMPARE_WITH_TIMEOUT(loans->Data1->caption(), ondrel::db::counterText(1, 2), kWithinMs);
    }
};

QTEST_MAIN(CatalogueOtherDesks)
#include "otherdesks_test.moc"
