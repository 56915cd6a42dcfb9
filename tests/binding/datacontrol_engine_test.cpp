// The bound record source and its grid on real collection files.

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "collection/collection.h"
#include "collection_testutil.h"
#include "database/database.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace ondrel::db;

namespace {

struct Object {
    QString cod, titulo, data, valor, desc;
};

const Object kObjects[] = {
    {"L001", "Dom Casmurro", "05/03/2003", "12,5", "Primeira edição.\r\nCapa dura."},
    {"L002", "Iracema", "", "", ""},
    {"R001", "Revista do Rádio", "10/10/1955", "2,25", ""},
};

// A collection file with three objects, and the catalogue boxes bound to
// the source the way the window binds them.
struct Catalogue {
    QTemporaryDir dir;
    QString path = testutil::collectionFile(dir.path());
    std::shared_ptr<Database> db;
    QWidget form;
    QLineEdit* cod = new QLineEdit(&form);
    QLineEdit* titulo = new QLineEdit(&form);
    QLineEdit* data = new QLineEdit(&form);
    QLineEdit* valor = new QLineEdit(&form);
    QPlainTextEdit* desc = new QPlainTextEdit(&form);
    QLineEdit* check = new QLineEdit(&form);
    DataControl data1;
    int total = 0;      // the window's TotalRegistros
    QString counter;    // what its reposition handler writes

    Catalogue()
    {
        testutil::createCollection(path);
        db = testutil::openCollection(path);
        auto rs = db->openRecordset("objetos");
        for (const Object& o : kObjects) {
            rs->addNew();
            rs->setText("cod", o.cod);
            rs->setText("Título", o.titulo);
            rs->setText("Data", o.data);
            rs->setText("valor", o.valor);
            rs->setText("Descrição", o.desc);
            rs->update();
        }
        cod->setMaxLength(7);
        titulo->setMaxLength(100);
        data1.bind(cod, "cod");
        data1.bind(titulo, "Título");
        data1.bind(data, "Data");
        data1.bind(valor, "valor", BindMode::DisplayOnly);
        data1.bind(desc, "Descrição");
        data1.bind(check, "check");
        data1.setDatabaseName(path);
        data1.setDatabase(db);
        data1.setRecordSource("select * from objetos");
        QObject::connect(&data1, &DataControl::validate, [this](int action) {
            if (action == ActionAddNew)
                ++total;
            else if (action == ActionDelete || action == ActionCancel)
                --total;
        });
        QObject::connect(&data1, &DataControl::reposition, [this] {
            Recordset* r = data1.recordset();
            counter = QString(" Registro : %1  de  %2").arg(r->absolutePosition() + 1).arg(total);
        });
        data1.refresh();
        total = countObjects();
    }

    int countObjects() const
    {
        auto other = testutil::openCollection(path)->openRecordset("objetos", RecordsetType::Snapshot);
        if (other->eof())
            return 0;
        other->moveLast();
        return other->recordCount();
    }
    QString storedTitle(const QString& code) const
    {
        auto other = testutil::openCollection(path)->openRecordset("select * from objetos where cod='" + code + "'");
        return other->eof() ? QString("<none>") : other->text("Título");
    }
};

}  // namespace

class TestDataControlEngine : public QObject {
    Q_OBJECT
private slots:
    // The values above are typed the Brazilian way.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }
    void refreshShowsFirstRecord();
    void refreshWithBadSourceKeepsRecordset();
    void addNewCounterCountsPendingRecord();
    void automaticSaveReachesFile();
    void refusedSaveStoresNothing_data();
    void refusedSaveStoresNothing();
    void untouchedNewRecordNotStored();
    void snapshotSource();
    void gridWritesBack();
    void gridOfALargeSetScrollsToItsEnd();
};

void TestDataControlEngine::refreshShowsFirstRecord()
{
    Catalogue c;
    QCOMPARE(c.cod->text(), QString("L001"));
    QCOMPARE(c.desc->toPlainText(), QString("Primeira edição.\nCapa dura."));
    QCOMPARE(c.check->text(), QString());
    QCOMPARE(c.data1.databaseName(), c.path);
    c.data1.recordset()->moveLast();
    QSignalSpy validate(&c.data1, &DataControl::validate);
    c.data1.setRecordSource("select * from objetos order by título");
    c.data1.refresh();
    QCOMPARE(validate.count(), 1);
    QCOMPARE(c.titulo->text(), QString("Dom Casmurro"));
    QCOMPARE(c.data1.recordset()->absolutePosition(), 0);
}

void TestDataControlEngine::refreshWithBadSourceKeepsRecordset()
{
    Catalogue c;
    Recordset* before = c.data1.recordset();
    c.data1.recordset()->moveNext();
    c.data1.setRecordSource("select * from objetos where");
    QVERIFY_THROWS_EXCEPTION(EngineError, c.data1.refresh());
    QCOMPARE(c.data1.recordset(), before);
    QCOMPARE(c.cod->text(), QString("L002"));
    c.data1.recordset()->moveNext();  // still bound
    QCOMPARE(c.cod->text(), QString("R001"));
}

void TestDataControlEngine::addNewCounterCountsPendingRecord()
{
    Catalogue c;
    c.data1.recordset()->moveLast();
    QCOMPARE(c.counter, QString(" Registro : 3  de  3"));
    c.data1.recordset()->addNew();
    QCOMPARE(c.counter, QString(" Registro : 0  de  4"));
    QCOMPARE(c.cod->text(), QString());
    c.data1.recordset()->cancelUpdate();
    QCOMPARE(c.counter, QString(" Registro : 3  de  3"));
    QCOMPARE(c.cod->text(), QString("R001"));
}

void TestDataControlEngine::automaticSaveReachesFile()
{
    Catalogue c;
    QTest::keyClicks(c.titulo, " (1899)");
    c.desc->moveCursor(QTextCursor::End);
    QTest::keyClick(c.desc, Qt::Key_Return);
    QTest::keyClicks(c.desc, "Autografado.");
    c.data1.recordset()->moveNext();
    QCOMPARE(c.cod->text(), QString("L002"));
    QCOMPARE(c.storedTitle("L001"), QString("Dom Casmurro (1899)"));
    auto other = testutil::openCollection(c.path)->openRecordset("select * from objetos where cod='L001'");
    QCOMPARE(other->text("Descrição"), QString("Primeira edição.\r\nCapa dura.\r\nAutografado."));
    QCOMPARE(other->text("Data"), QString("05/03/2003"));
}

void TestDataControlEngine::refusedSaveStoresNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("impossible date") << "data" << "31/02/2003";
    QTest::newRow("duplicate code") << "cod" << "l002";
}

void TestDataControlEngine::refusedSaveStoresNothing()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    Catalogue c;
    QSignalSpy refused(&c.data1, &DataControl::saveRefused);
    QLineEdit* edit = box == "data" ? c.data : c.cod;
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QTest::keyClicks(c.titulo, "!");
    c.data1.recordset()->moveNext();
    QCOMPARE(refused.count(), 1);
    QVERIFY(!refused.at(0).at(0).toString().isEmpty());
    QCOMPARE(c.data1.recordset()->absolutePosition(), 0);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(c.titulo->text(), QString("Dom Casmurro!"));
    QCOMPARE(c.storedTitle("L001"), QString("Dom Casmurro"));
}

void TestDataControlEngine::untouchedNewRecordNotStored()
{
    Catalogue c;
    c.data1.recordset()->addNew();
    QCOMPARE(c.total, 4);
    c.data1.recordset()->moveFirst();
    QCOMPARE(c.countObjects(), 3);
    QCOMPARE(c.total, 3);  // the dropped record is counted out
    QCOMPARE(c.counter, QString(" Registro : 1  de  3"));
    // typed, it is stored by the move
    c.data1.recordset()->addNew();
    QTest::keyClicks(c.cod, "F001");
    QTest::keyClicks(c.titulo, "Serrote");
    c.data1.recordset()->moveLast();
    QCOMPARE(c.countObjects(), 4);
    QCOMPARE(c.storedTitle("F001"), QString("Serrote"));
    QCOMPARE(c.cod->text(), QString("F001"));
}

void TestDataControlEngine::snapshotSource()
{
    Catalogue c;
    DataControl data2;
    QLineEdit nome;
    data2.bind(&nome, "Título");
    data2.setDatabase(c.db);
    data2.setReadOnly(true);
    data2.setRecordSource("select * from objetos where cod='R001'");
    data2.refresh();
    QCOMPARE(data2.recordset()->type(), RecordsetType::Snapshot);
    QCOMPARE(nome.text(), QString("Revista do Rádio"));
    data2.setRecordSource("select * from objetos where cod='none'");
    data2.refresh();
    QCOMPARE(nome.text(), QString());
}

void TestDataControlEngine::gridWritesBack()
{
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    Catalogue c;
    RecordsetModel model(&c.data1);
    model.addColumn("Cod", "cod");
    model.addColumn("Título", "Título");
    model.addColumn("Valor", "Valor", RecordsetModel::Format::Currency);
    model.addColumn("check", "check", RecordsetModel::Format::Plain, true);
    QTableView view;
    model.attachView(&view);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.data(model.index(2, 2)).toString(), QLocale().toCurrencyString(2.25).replace(QChar(0x00A0), u' '));
    QCOMPARE(model.data(model.index(0, 3)).toString(), QString());
    QSignalSpy after(&model, &RecordsetModel::afterUpdate);
    QVERIFY(model.setData(model.index(1, 2), "7,5"));
    QCOMPARE(after.count(), 1);
    QCOMPARE(view.currentIndex().row(), 1);
    QCOMPARE(c.cod->text(), QString("L002"));
    auto other = testutil::openCollection(c.path)->openRecordset("select * from objetos where cod='L002'");
    QCOMPARE(other->text("valor"), QStringLiteral("7,50"));
    // an impossible value is refused without leaving an edit pending
    QSignalSpy errors(&model, &RecordsetModel::engineError);
    QVERIFY(!model.setData(model.index(1, 2), "abc"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(c.data1.recordset()->editMode(), EditMode::None);
    // a refresh starts the grid again on the new list
    c.data1.setRecordSource("select * from objetos where cod like 'L*'");
    c.data1.refresh();
    QCOMPARE(model.rowCount(), 2);
}

// A grid over more records than its record set reads at once shows the
// first ones at once and the rest as it is scrolled down, to the last record.
void TestDataControlEngine::gridOfALargeSetScrollsToItsEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("livrano.mdb");
    constexpr int kCount = 900;
    generateBenchData(path, kCount, 0);
    DataControl data1;
    data1.setDatabaseName(path);
    data1.setDatabase(Database::open(path, kConnectString));
    data1.setRecordSource("select * from objetos order by título");
    data1.refresh();
    RecordsetModel model(&data1);
    model.addColumn("Cod", "cod");
    QTableView view;
    model.attachView(&view);
    view.resize(300, 200);
    view.show();
    QVERIFY(model.rowCount() < kCount);
    for (int rows = -1; rows != model.rowCount();) {
        rows = model.rowCount();
        view.scrollToBottom();
        QCoreApplication::processEvents();
    }
    QCOMPARE(model.rowCount(), kCount);
    auto last = Database::open(path, kConnectString)->openRecordset("select * from objetos order by título");
    last->moveLast();
    QCOMPARE(model.data(model.index(kCount - 1, 0)).toString(), last->text("cod"));
}

QTEST_MAIN(TestDataControlEngine)
#include "datacontrol_engine_test.moc"
