// Record-set semantics: keyset order, counts, positions, EOF/BOF, add, edit,
// cancel, delete, finds, values, and the order of the observer calls.
#include "database_testutil.h"

#include "collection/statements.h"

#include <QtTest>
#include <latch>
#include <thread>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;
using testutil::errorNumber;

namespace {

// A loan of `code` started as "Emprestar" starts one: pending, with the
// lending check.
std::shared_ptr<Recordset> pendingLend(Database& db, const QString& code, const QString& name)
{
    auto loans = db.openRecordset(QStringLiteral("empréstimos"));
    loans->addNew();
    for (const auto& [field, text] :
         P{{"codobjeto", code}, {"Nome", name}, {"Data", "10/03/2024"}, {"Entregue", "Não"}})
        loans->setText(field, text);
    loans->checkInsert(lendingCheck());
    return loans;
}

// Records every call; can refuse one action and run a nested reaction.
class RecordingObserver : public RecordsetObserver {
public:
    QStringList calls;
    int refuse = -1;
    std::function<void(Recordset&, int)> onChanged;

    bool recordsetAboutToChange(Recordset& rs, int action) override
    {
        calls.append(QStringLiteral("about %1 at %2").arg(action).arg(rs.absolutePosition()));
        return action != refuse;
    }
    void recordsetAboutToUpdate(Recordset&) override { calls.append(QStringLiteral("update")); }
    void recordsetChanged(Recordset& rs, int action) override
    {
        calls.append(QStringLiteral("changed %1 at %2").arg(action).arg(rs.absolutePosition()));
        if (onChanged)
            onChanged(rs, action);
    }
};

}  // namespace

class DatabaseRecordset : public QObject {
    Q_OBJECT
    std::unique_ptr<testutil::TempCollection> m_file;
    std::shared_ptr<Database> m_db;

    std::shared_ptr<Recordset> objects() { return m_db->openRecordset(QStringLiteral("objetos")); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void init()
    {
        m_file = std::make_unique<testutil::TempCollection>();
        m_db = m_file->open();
        auto rs = objects();
        for (const char* cod : {"A", "B", "C", "D"})
            testutil::addRecord(*rs, P{{"cod", QString::fromLatin1(cod)}});
    }
    void cleanup()
    {
        m_db.reset();
        m_file.reset();
    }

    void countsAndPositions()
    {
        auto rs = objects();
        QCOMPARE(rs->recordCount(), 1);  // only the first record reached
        QCOMPARE(rs->absolutePosition(), 0);
        QVERIFY(!rs->bof() && !rs->eof());
        rs->moveNext();
        QCOMPARE(rs->recordCount(), 2);
        rs->moveLast();
        QCOMPARE(rs->recordCount(), 4);
        QCOMPARE(rs->absolutePosition(), 3);
        rs->moveFirst();
        QCOMPARE(rs->recordCount(), 4);  // stays complete
        rs->movePrevious();
        QVERIFY(rs->bof());
        QVERIFY(!rs->hasCurrent());
        QCOMPARE(rs->absolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("cod")); }), int(ErrNoCurrentRecord));
        QCOMPARE(errorNumber([&] { rs->movePrevious(); }), int(ErrNoCurrentRecord));
        rs->moveNext();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("A"));
        rs->setAbsolutePosition(2);
        QCOMPARE(rs->text(QStringLiteral("COD")), QStringLiteral("C"));
        QCOMPARE(errorNumber([&] { rs->setAbsolutePosition(4); }), int(ErrInvalidArgument));
        rs->moveLast();
        rs->moveNext();
        QVERIFY(rs->eof());
        QCOMPARE(errorNumber([&] { rs->moveNext(); }), int(ErrNoCurrentRecord));
        rs->movePrevious();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("D"));
        QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("nada")); }), int(ErrNoField));
    }

    void emptySet()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos where cod='zz'"));
        QVERIFY(rs->eof() && rs->bof());
        QCOMPARE(rs->recordCount(), 0);
        QCOMPARE(rs->absolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs->moveFirst(); }), int(ErrNoCurrentRecord));
        rs->findFirst(QStringLiteral("cod='A'"));
        QVERIFY(rs->noMatch());
    }

    void addNewStandsAtEndAndPreviousIsCurrent()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos order by cod desc"));
        rs->moveNext();  // B... order is D C B A: now C
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("C"));
        rs->addNew();
        QCOMPARE(rs->absolutePosition(), -1);
        QVERIFY(rs->value(QStringLiteral("cod")).isNull());
        rs->setText(QStringLiteral("cod"), QStringLiteral("Z"));
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("Z"));
        rs->update();
        QCOMPARE(rs->editMode(), EditMode::None);
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("C"));  // the record current before add new
        QCOMPARE(rs->keyCount(), 5);
        rs->moveLast();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("Z"));  // at the end, not in "cod desc" order
        QCOMPARE(rs->recordCount(), 5);
        rs->requery();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("Z"));  // now first by order
    }

    void cancelAndNothingPending()
    {
        auto rs = objects();
        rs->moveNext();
        QCOMPARE(errorNumber([&] { rs->cancelUpdate(); }), int(ErrNoPendingUpdate));
        QCOMPARE(errorNumber([&] { rs->update(); }), int(ErrNoPendingUpdate));
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QStringLiteral("NOVO"));
        rs->cancelUpdate();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("B"));
        QCOMPARE(rs->keyCount(), 4);
        rs->edit();
        rs->setText(QStringLiteral("Título"), QStringLiteral("Abandonado"));
        QCOMPARE(rs->text(QStringLiteral("título")), QStringLiteral("Abandonado"));
        rs->cancelUpdate();
        QVERIFY(rs->value(QStringLiteral("Título")).isNull());
        // A move abandons a pending edit.
        rs->edit();
        rs->setText(QStringLiteral("Título"), QStringLiteral("Perdido"));
        rs->moveNext();
        rs->movePrevious();
        QVERIFY(rs->value(QStringLiteral("Título")).isNull());
    }

    void refusedValuesStoreNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("number");
        QTest::newRow("impossible date") << "Data" << "31/02/2003" << int(ErrDataType);
        QTest::newRow("bad amount") << "valor" << "doze reais" << int(ErrDataType);
        QTest::newRow("code too long") << "cod" << "12345678" << int(ErrFieldTooLong);
        QTest::newRow("title too long") << "Título" << QString(101, u'x') << int(ErrFieldTooLong);
        QTest::newRow("description too long") << "Descrição" << QString(256, u'x') << int(ErrFieldTooLong);
        QTest::newRow("code of another object") << "cod" << "b" << int(ErrDuplicateKey);
    }
    void refusedValuesStoreNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, number);
        auto rs = objects();
        rs->edit();
        rs->setText(QStringLiteral("Autor"), QStringLiteral("Alguém"));
        rs->setText(field, typed);
        QCOMPARE(errorNumber([&] { rs->update(); }), number);
        QCOMPARE(rs->editMode(), EditMode::Editing);
        QCOMPARE(rs->text(field), typed);  // still what was typed
        auto other = objects();
        QVERIFY(other->value(QStringLiteral("Autor")).isNull());  // nothing stored
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QStringLiteral("NEW"));
        rs->setText(field, typed);
        QCOMPARE(errorNumber([&] { rs->update(); }), number);
        QCOMPARE(objects()->keyCount(), 4);
    }

    void storedValues()
    {
        auto rs = objects();
        rs->edit();
        rs->setText(QStringLiteral("Data"), QStringLiteral("5/3/2003"));
        rs->setText(QStringLiteral("valor"), QStringLiteral("1.234,50"));
        rs->setText(QStringLiteral("Descrição"), QStringLiteral("linha 1\r\nlinha 2"));
        rs->update();
        auto again = objects();
        QCOMPARE(again->text(QStringLiteral("data")), QStringLiteral("05/03/2003"));
        QCOMPARE(again->value(QStringLiteral("data")).toDate(), QDate(2003, 3, 5));
        QCOMPARE(again->value(QStringLiteral("valor")).toLongLong(), qint64(12345000));
        QCOMPARE(again->text(QStringLiteral("valor")), QStringLiteral("1.234,50"));
        QCOMPARE(again->text(QStringLiteral("descrição")), QStringLiteral("linha 1\r\nlinha 2"));
        again->edit();
        again->setText(QStringLiteral("Data"), QString());
        again->setText(QStringLiteral("valor"), QString());
        again->update();
        QVERIFY(objects()->value(QStringLiteral("Data")).isNull());
        QVERIFY(objects()->value(QStringLiteral("valor")).isNull());
        QCOMPARE(testutil::plainQuery(m_file->path, "SELECT count(*) FROM objetos WHERE cod = 'A' AND \"Data\" IS NULL AND valor IS NULL"),
                 QStringLiteral("1"));
        // Ten times 0,1 is exactly 1.
        auto sum = objects();
        for (; !sum->eof(); sum->moveNext()) {
            sum->edit();
            sum->setText(QStringLiteral("valor"), QStringLiteral("0,1"));
            sum->update();
        }
        qint64 total = 0;
        auto snap = m_db->openRecordset(QStringLiteral("Select * from objetos"), RecordsetType::Snapshot);
        for (; !snap->eof(); snap->moveNext())
            total += snap->value(QStringLiteral("valor")).toLongLong();
        QCOMPARE(total, qint64(4000));
    }

    void deleteLeavesNoCurrentRecord()
    {
        auto rs = objects();
        rs->moveNext();
        rs->moveNext();
        QCOMPARE(rs->recordCount(), 3);
        rs->deleteRecord();  // C
        QVERIFY(!rs->hasCurrent());
        QCOMPARE(rs->absolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("cod")); }), int(ErrNoCurrentRecord));
        QCOMPARE(errorNumber([&] { rs->deleteRecord(); }), int(ErrNoCurrentRecord));
        QCOMPARE(rs->recordCount(), 2);
        rs->moveNext();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("D"));
        rs->deleteRecord();
        rs->movePrevious();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("B"));
        QCOMPARE(objects()->keyCount(), 2);
        auto snapshot = m_db->openRecordset(QStringLiteral("objetos"), RecordsetType::Snapshot);
        QCOMPARE(errorNumber([&] { snapshot->deleteRecord(); }), int(ErrReadOnly));
        QCOMPARE(errorNumber([&] { snapshot->addNew(); }), int(ErrReadOnly));
    }

    void finds()
    {
        auto rs = objects();
        testutil::addRecord(*rs, P{{"cod", "E"}, {"Autor", "Ana"}});
        testutil::addRecord(*rs, P{{"cod", "F"}, {"Autor", "ANA"}});
        rs->findFirst(QStringLiteral("autor='ana'"));
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("E"));
        rs->findNext(QStringLiteral("autor='ana'"));
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("F"));
        rs->findNext(QStringLiteral("autor='ana'"));
        QVERIFY(rs->noMatch());
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("F"));  // stays where it was
        rs->findPrevious(QStringLiteral("autor='ana'"));
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("E"));
        rs->findLast(QStringLiteral("autor='ana'"));
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("F"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->recordCount(), 6);
        rs->findFirst(QStringLiteral("cod='b'"));
        QCOMPARE(rs->absolutePosition(), 1);
    }

    void observerOrder_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("moveNext") << "moveNext" << QStringList{"about 3 at 0", "changed 3 at 1"};
        QTest::newRow("moveLast") << "moveLast" << QStringList{"about 4 at 0", "changed 4 at 3"};
        QTest::newRow("addNew") << "addNew" << QStringList{"about 5 at 0", "changed 5 at -1"};
        QTest::newRow("add+update") << "addUpdate"
                                    << QStringList{"about 5 at 0", "changed 5 at -1", "about 6 at -1", "update",
                                                   "changed 6 at 0"};
        QTest::newRow("add+cancel") << "addCancel"
                                    << QStringList{"about 5 at 0", "changed 5 at -1", "about 0 at -1", "changed 0 at 0"};
        QTest::newRow("edit+cancel") << "editCancel" << QStringList{"changed 0 at 0"};
        QTest::newRow("edit+update") << "editUpdate" << QStringList{"about 6 at 0", "update"};
        QTest::newRow("delete") << "delete" << QStringList{"about 7 at 0", "changed 7 at -1"};
        QTest::newRow("find") << "find" << QStringList{"about 8 at 0", "changed 8 at 2"};
        QTest::newRow("find no match") << "findNone" << QStringList{};
        QTest::newRow("bookmark") << "bookmark" << QStringList{"about 9 at 0", "changed 9 at 2"};
        QTest::newRow("close") << "close" << QStringList{"about 10 at 0"};
        QTest::newRow("failed cancel") << "failedCancel" << QStringList{};
    }
    void observerOrder()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, expected);
        auto rs = objects();
        RecordingObserver observer;
        rs->setObserver(&observer);
        if (operation == u"moveNext") rs->moveNext();
        else if (operation == u"moveLast") rs->moveLast();
        else if (operation == u"addNew") rs->addNew();
        else if (operation == u"addUpdate") { rs->addNew(); rs->setText("cod", "N"); rs->update(); }
        else if (operation == u"addCancel") { rs->addNew(); rs->cancelUpdate(); }
        else if (operation == u"editCancel") { rs->edit(); rs->cancelUpdate(); }
        else if (operation == u"editUpdate") { rs->edit(); rs->setText("Autor", "X"); rs->update(); }
        else if (operation == u"delete") rs->deleteRecord();
        else if (operation == u"find") rs->findFirst("cod='c'");
        else if (operation == u"findNone") rs->findFirst("cod='zz'");
        else if (operation == u"bookmark") rs->setAbsolutePosition(2);
        else if (operation == u"close") rs->close();
        else if (operation == u"failedCancel") QCOMPARE(errorNumber([&] { rs->cancelUpdate(); }), int(ErrNoPendingUpdate));
        QCOMPARE(observer.calls, expected);
    }

    void observerRefusalStopsTheOperation()
    {
        auto rs = objects();
        RecordingObserver observer;
        rs->setObserver(&observer);
        observer.refuse = ActionMoveNext;
        rs->moveNext();
        QCOMPARE(rs->absolutePosition(), 0);
        observer.refuse = ActionDelete;
        rs->deleteRecord();
        QCOMPARE(objects()->keyCount(), 4);
        observer.refuse = ActionCancel;
        rs->addNew();
        rs->cancelUpdate();
        QCOMPARE(rs->editMode(), EditMode::Adding);
        observer.refuse = ActionUpdate;
        rs->setText("cod", "N");
        rs->update();
        QCOMPARE(rs->editMode(), EditMode::Adding);
        QCOMPARE(objects()->keyCount(), 4);
        observer.refuse = ActionClose;
        rs->close();
        QCOMPARE(rs->keyCount(), 4);
    }

    void observerMayNest()
    {
        auto rs = objects();
        RecordingObserver observer;
        // A reposition handler that reads values and moves again once.
        bool moved = false;
        observer.onChanged = [&](Recordset& r, int action) {
            if (r.hasCurrent())
                r.value(QStringLiteral("cod"));
            if (action == ActionMoveNext && !moved) {
                moved = true;
                r.moveLast();
            }
        };
        rs->setObserver(&observer);
        rs->moveNext();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("D"));
        QCOMPARE(observer.calls, (QStringList{"about 3 at 0", "changed 3 at 1", "about 4 at 1", "changed 4 at 3"}));
    }

    void autoSaveFromAboutToChange()
    {
        // The bound source saves a typed edit when the user moves away.
        auto rs = objects();
        struct Saver : RecordsetObserver {
            bool recordsetAboutToChange(Recordset& r, int action) override
            {
                if (action != ActionUpdate && r.editMode() != EditMode::None)
                    r.update();
                return true;
            }
            void recordsetAboutToUpdate(Recordset&) override {}
            void recordsetChanged(Recordset&, int) override {}
        } saver;
        rs->setObserver(&saver);
        rs->edit();
        rs->setText(QStringLiteral("Autor"), QStringLiteral("Salvo"));
        rs->moveNext();
        QCOMPARE(rs->text(QStringLiteral("cod")), QStringLiteral("B"));
        QCOMPARE(objects()->text(QStringLiteral("Autor")), QStringLiteral("Salvo"));
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QStringLiteral("AUTO"));
        rs->moveFirst();
        QCOMPARE(objects()->keyCount(), 5);
    }

    void gridRowsWithoutMoving()
    {
        auto rs = m_db->openRecordset(QStringLiteral("select * from objetos order by cod desc"));
        QCOMPARE(rs->keyCount(), 4);
        QCOMPARE(rs->textAt(3, QStringLiteral("cod")), QStringLiteral("A"));
        QCOMPARE(rs->textAt(0, QStringLiteral("cod")), QStringLiteral("D"));
        QCOMPARE(rs->absolutePosition(), 0);
        QCOMPARE(rs->recordCount(), 1);
    }

    void closedSetRefuses()
    {
        auto rs = objects();
        rs->close();
        QCOMPARE(errorNumber([&] { rs->moveNext(); }), int(ErrClosed));
        QCOMPARE(errorNumber([&] { rs->value(QStringLiteral("cod")); }), int(ErrClosed));
    }

    // A lend is checked as it is stored, against the object's loans then:
    // refused while its latest loan is out, naming who has it, the typed
    // loan kept pending; stored when the latest loan is back, whatever older
    // loans say, or when the object was never lent.
    void lendCheckedAtSave_data()
    {
        QTest::addColumn<QStringList>("meanwhile");  // loans stored meanwhile by another handle: name|date|out
        QTest::addColumn<QString>("refusedFor");     // who is named, empty: stored
        QTest::newRow("never lent") << QStringList() << "";
        QTest::newRow("lent meanwhile") << QStringList{"Rui|09/03/2024|Não"} << "Rui desde 09/03/2024";
        QTest::newRow("returned meanwhile") << QStringList{"Rui|08/03/2024|Sim"} << "";
        QTest::newRow("latest back, older out") << QStringList{"Ana|01/03/2024|Não", "Rui|05/03/2024|Sim"} << "";
        QTest::newRow("latest out, older back") << QStringList{"Ana|01/03/2024|Sim", "Rui|05/03/2024|Não"}
                                                << "Rui desde 05/03/2024";
    }
    void lendCheckedAtSave()
    {
        QFETCH(QStringList, meanwhile);
        QFETCH(QString, refusedFor);
        auto loans = pendingLend(*m_db, QStringLiteral("B"), QStringLiteral("Maria"));
        {
            auto other = m_file->open()->openRecordset(QStringLiteral("empréstimos"));
            for (const QString& loan : meanwhile) {
                const QStringList f = loan.split(u'|');
                testutil::addRecord(*other, P{{"codobjeto", "B"}, {"Nome", f[0]}, {"Data", f[1]}, {"Entregue", f[2]}});
            }
            // Another object's open loan is no matter.
            testutil::addRecord(*other, P{{"codobjeto", "C"}, {"Nome", "Zé"}, {"Entregue", "Não"}});
        }
        const int before = m_db->openRecordset(QStringLiteral("empréstimos"))->keyCount();
        try {
            loans->update();
            QVERIFY2(refusedFor.isEmpty(), "stored");
            QCOMPARE(m_db->openRecordset(QStringLiteral("empréstimos"))->keyCount(), before + 1);
        } catch (const EngineError& e) {
            QVERIFY2(!refusedFor.isEmpty(), qPrintable(e.description()));
            QCOMPARE(e.number(), int(ErrCheckRefused));
            QVERIFY2(e.description().contains(refusedFor) && e.description().contains(QStringLiteral("\"B\"")),
                     qPrintable(e.description()));
            QCOMPARE(loans->editMode(), EditMode::Adding);
            QCOMPARE(loans->text(QStringLiteral("Nome")), QStringLiteral("Maria"));
            QCOMPARE(m_db->openRecordset(QStringLiteral("empréstimos"))->keyCount(), before);
        }
        // A plain new loan is never checked.
        testutil::addRecord(*loans, P{{"codobjeto", "B"}, {"Nome", "Lia"}, {"Entregue", "Não"}});
    }

    // Two handles lending one object at the same moment, each on a thread of
    // its own: exactly one loan is stored, the other refused, round after
    // round.
    void simultaneousLendsStoreOne()
    {
        for (int round = 0; round < 12; ++round) {
            const QString code = QStringLiteral("R%1").arg(round);
            std::latch ready(2);
            int refused = 0;
            std::mutex counting;
            const auto desk = [&](const QString& name) {
                auto db = m_file->open();
                auto loans = pendingLend(*db, code, name);
                ready.arrive_and_wait();
                try {
                    loans->update();
                } catch (const EngineError& e) {
                    const std::lock_guard lock(counting);
                    refused += e.number() == ErrCheckRefused ? 1 : 100;
                }
            };
            std::thread a(desk, QStringLiteral("Ana"));
            std::thread b(desk, QStringLiteral("Rui"));
            a.join();
            b.join();
            QCOMPARE(refused, 1);
            auto stored = m_db->openRecordset(QStringLiteral("select * from empréstimos where codobjeto='") + code + u'\'');
            QCOMPARE(stored->keyCount(), 1);
        }
    }

    // A save of a record another handle changed or deleted since it was
    // shown (before or after "Editar") is refused, the typed value kept
    // pending; a second save then stores it over the other's change, which
    // it keeps where nothing was typed. A record deleted elsewhere cannot be
    // deleted again.
    void saveRefusedWhenChangedElsewhere_data()
    {
        QTest::addColumn<QString>("meanwhile");  // what the other handle does: change, delete or nothing
        QTest::addColumn<bool>("beforeEdit");
        QTest::addColumn<int>("number");
        QTest::newRow("nothing") << "nothing" << false << 0;
        QTest::newRow("changed while editing") << "change" << false << int(ErrRecordChanged);
        QTest::newRow("changed before Editar") << "change" << true << int(ErrRecordChanged);
        QTest::newRow("deleted while editing") << "delete" << false << int(ErrRecordDeleted);
    }
    void saveRefusedWhenChangedElsewhere()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, beforeEdit);
        QFETCH(int, number);
        auto rs = objects();
        rs->findFirst(QStringLiteral("cod='B'"));
        const auto other = [&] {
            auto there = m_file->open()->openRecordset(QStringLiteral("objetos"));
            there->findFirst(QStringLiteral("cod='B'"));
            if (meanwhile == QLatin1String("change")) {
                there->edit();
                there->setText(QStringLiteral("Título"), QStringLiteral("Dela"));
                there->update();
            } else if (meanwhile == QLatin1String("delete")) {
                there->deleteRecord();
            }
        };
        if (beforeEdit)
            other();
        rs->edit();
        rs->setText(QStringLiteral("Autor"), QStringLiteral("Meu"));
        if (!beforeEdit)
            other();
        QCOMPARE(errorNumber([&] { rs->update(); }), number);
        const auto stored = [&] {
            auto now = m_db->openRecordset(QStringLiteral("select * from objetos where cod='B'"));
            return now->eof() ? QString() : now->text(QStringLiteral("Título")) + u'|' + now->text(QStringLiteral("Autor"));
        };
        if (number == 0) {
            QCOMPARE(stored(), QStringLiteral("|Meu"));
            return;
        }
        QCOMPARE(rs->editMode(), EditMode::Editing);
        QCOMPARE(rs->text(QStringLiteral("Autor")), QStringLiteral("Meu"));
        if (number == ErrRecordDeleted) {
            QCOMPARE(stored(), QString());
            // Deleting it here says it was gone already.
            rs->cancelUpdate();
            QCOMPARE(errorNumber([&] { rs->deleteRecord(); }), int(ErrRecordDeleted));
            return;
        }
        QCOMPARE(stored(), QStringLiteral("Dela|"));
        rs->update();
        QCOMPARE(stored(), QStringLiteral("Dela|Meu"));
    }
};

QTEST_GUILESS_MAIN(DatabaseRecordset)
#include "recordset_test.moc"
