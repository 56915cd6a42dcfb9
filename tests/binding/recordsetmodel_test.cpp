// The grid over a bound source on a real collection: columns, formats, current
// row and write-back.

#include "binding/recordsetmodel.h"
#include "database/recordset.h"
#include "database_testutil.h"

#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace ondrel::db;

namespace {

// A collection of three objects (and `extra` more, X0, X1...), and a grid
// over a dynaset of it bound the way the windows bind theirs.
struct Grid {
    testutil::TempCollection file;
    std::shared_ptr<Database> db = file.open();
    DataControl data1;
    QLineEdit titulo;
    RecordsetModel model{&data1};
    Recordset* rs = nullptr;

    explicit Grid(int extra = 0)
    {
        auto objetos = db->openRecordset(QStringLiteral("objetos"));
        testutil::addRecord(*objetos, {{"cod", "A1"}, {"Título", "Dom Casmurro"}, {"valor", "12,5"}, {"Data", "05/03/2003"}});
        testutil::addRecord(*objetos, {{"cod", "B2"}, {"Título", "Iracema"}});
        testutil::addRecord(*objetos, {{"cod", "C3"}, {"Título", "Senhora"}, {"valor", "1234,5"}});
        for (int i = 0; i < extra; ++i)
            testutil::addRecord(*objetos, {{"cod", QStringLiteral("X%1").arg(i)}});
        data1.bind(&titulo, "Título");
        model.addColumn("Cod", "cod");
        model.addColumn("Título", "Título");
        model.addColumn("Valor", "Valor", RecordsetModel::Format::Currency);
        model.addColumn("check", "check", RecordsetModel::Format::Plain, true);
        model.addColumn("Data", "Data", RecordsetModel::Format::Plain, true);
        data1.setRecordset(source());
        rs = data1.recordset();
    }
    std::shared_ptr<Recordset> source() const
    {
        return db->openRecordset(QStringLiteral("select cod, Título, valor, Data from objetos"));
    }
    QString cell(int row, int column) const { return model.data(model.index(row, column)).toString(); }
    // A field of the object at a table position, as the file holds it.
    QString stored(int position, const char* field) const
    {
        auto other = file.open()->openRecordset(QStringLiteral("select * from objetos"));
        other->setAbsolutePosition(position);
        return other->text(QString::fromUtf8(field));
    }
};

}  // namespace

class TestRecordsetModel : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }
    void columnsAndCells_data();
    void columnsAndCells();
    void headersAndHiddenColumns();
    void writeBack();
    void refusedWriteKeepsRecord();
    void readOnlyGrid();
    void viewFollowsSource();
    void newRecordSetResetsRows();
    void largeSetShowsRowsAroundTheCurrent();
};

void TestRecordsetModel::columnsAndCells_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");
    QTest::newRow("text") << 0 << 1 << "Dom Casmurro";
    // The grid shows the value as the value box does: a plain space after
    // the sign, never the locale's no-break space.
    QTest::newRow("currency") << 0 << 2 << QStringLiteral("R$ 12,50");
    QTest::newRow("currency with thousands") << 2 << 2 << QStringLiteral("R$ 1.234,50");
    QTest::newRow("empty currency") << 1 << 2 << "";
    QTest::newRow("missing field") << 0 << 3 << "";
    QTest::newRow("hidden existing field") << 0 << 4 << "05/03/2003";
}

void TestRecordsetModel::columnsAndCells()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, shown);
    Grid g;
    QCOMPARE(g.model.rowCount(), 3);
    QCOMPARE(g.model.columnCount(), 5);
    QCOMPARE(g.cell(row, column), shown);
    QVERIFY(g.cell(0, 2).contains(QStringLiteral("12,50")));
    // the edit role carries the engine's own text of the value, no currency sign
    QCOMPARE(g.model.data(g.model.index(0, 2), Qt::EditRole).toString(), QString("12,50"));
}

void TestRecordsetModel::headersAndHiddenColumns()
{
    Grid g;
    QTableView view;
    g.model.attachView(&view);
    QCOMPARE(g.model.headerData(1, Qt::Horizontal).toString(), QString("Título"));
    QVERIFY(view.isColumnHidden(3));
    QVERIFY(view.isColumnHidden(4));
    QVERIFY(!view.isColumnHidden(0));
    QVERIFY(!(g.model.flags(g.model.index(0, 3)) & Qt::ItemIsEditable));  // no such field
    QVERIFY(g.model.flags(g.model.index(0, 1)) & Qt::ItemIsEditable);
}

void TestRecordsetModel::writeBack()
{
    Grid g;
    QSignalSpy after(&g.model, &RecordsetModel::afterUpdate);
    QSignalSpy changed(&g.model, &QAbstractItemModel::dataChanged);
    QVERIFY(g.model.setData(g.model.index(1, 1), "Iracema (1865)"));
    QCOMPARE(after.count(), 1);
    QCOMPARE(g.stored(1, "Título"), QString("Iracema (1865)"));
    QCOMPARE(g.rs->absolutePosition(), 1);  // the edited row is current
    QCOMPARE(g.titulo.text(), QString("Iracema (1865)"));  // and the box shows the stored row
    QCOMPARE(g.rs->editMode(), EditMode::None);
    QVERIFY(changed.count() >= 1);
    // an unchanged cell stores nothing
    QVERIFY(g.model.setData(g.model.index(1, 1), "Iracema (1865)"));
    QCOMPARE(after.count(), 1);
    QCOMPARE(g.stored(1, "Título"), QString("Iracema (1865)"));
}

void TestRecordsetModel::refusedWriteKeepsRecord()
{
    Grid g;
    QSignalSpy after(&g.model, &RecordsetModel::afterUpdate);
    QSignalSpy errors(&g.model, &RecordsetModel::engineError);
    QVERIFY(!g.model.setData(g.model.index(0, 4), "31/02/2003"));
    QCOMPARE(after.count(), 0);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(ErrDataType));
    QCOMPARE(g.stored(0, "Data"), QString("05/03/2003"));
    QCOMPARE(g.rs->editMode(), EditMode::None);
    // the source still moves freely afterwards
    g.rs->moveNext();
    QCOMPARE(g.rs->absolutePosition(), 1);
}

void TestRecordsetModel::readOnlyGrid()
{
    Grid g;
    g.model.setEditable(false);
    QVERIFY(!(g.model.flags(g.model.index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(!g.model.setData(g.model.index(0, 1), "x"));
    QCOMPARE(g.stored(0, "Título"), QString("Dom Casmurro"));
}

void TestRecordsetModel::viewFollowsSource()
{
    Grid g;
    QTableView view;
    g.model.attachView(&view);
    QCOMPARE(view.currentIndex().row(), 0);
    g.rs->moveLast();
    QCOMPARE(view.currentIndex().row(), 2);
    view.setCurrentIndex(g.model.index(1, 1));
    QCOMPARE(g.rs->absolutePosition(), 1);
    QCOMPARE(g.titulo.text(), QString("Iracema"));
    // a typed value the engine refuses keeps the source, and the view, on its record
    QLineEdit data;
    g.data1.bind(&data, "Data");
    QTest::keyClicks(&data, "99/99/9999");
    view.setCurrentIndex(g.model.index(2, 1));
    QCOMPARE(g.rs->absolutePosition(), 1);
    QCOMPARE(view.currentIndex().row(), 1);
}

void TestRecordsetModel::newRecordSetResetsRows()
{
    Grid g(4);
    QSignalSpy reset(&g.model, &QAbstractItemModel::modelReset);
    g.data1.setRecordset(g.source());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(g.model.rowCount(), 7);
    QCOMPARE(g.cell(5, 0), QString("X2"));
    // a new record stored through the boxes grows the grid
    g.data1.recordset()->addNew();
    g.data1.recordset()->setText("cod", "N1");
    g.data1.recordset()->update();
    QCOMPARE(g.model.rowCount(), 8);
    g.data1.recordset()->deleteRecord();
    QCOMPARE(g.model.rowCount(), 7);
}

// Over thousands of records the grid holds those around the current one, a
// few hundred more when scrolled to its first row (the rows shown staying
// in place), and Ctrl+End and Ctrl+Home reach the set's last and first.
void TestRecordsetModel::largeSetShowsRowsAroundTheCurrent()
{
    testutil::TempCollection file;
    QFile::remove(file.path);
    generateBenchData(file.path, 6000, 0);
    DataControl data1;
    RecordsetModel model{&data1};
    model.addColumn("Cod", "cod");
    data1.setRecordset(file.open()->openRecordset(QStringLiteral("objetos")));
    Recordset* rs = data1.recordset();
    rs->setAbsolutePosition(5000);
    QTableView view;
    model.attachView(&view);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto currentCode = [&] { return model.data(view.currentIndex()).toString(); };
    QVERIFY(model.rowCount() < 1000);
    QCOMPARE(model.positionOf(view.currentIndex().row()), 5000);
    QCOMPARE(currentCode(), rs->text("cod"));

    const int rows = model.rowCount();
    const int top = model.positionOf(0);
    view.scrollToTop();
    QTRY_COMPARE(model.rowCount(), rows + 256);
    QCOMPARE(model.positionOf(view.rowAt(0)), top);
    QCOMPARE(model.data(model.index(0, 0)).toString(), rs->textAt(top - 256, "cod"));

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(rs->absolutePosition(), 5999);
    QCOMPARE(model.positionOf(view.currentIndex().row()), 5999);
    QCOMPARE(currentCode(), rs->text("cod"));
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(rs->absolutePosition(), 0);
    QCOMPARE(view.currentIndex().row(), 0);
}

QTEST_MAIN(TestRecordsetModel)
#include "recordsetmodel_test.moc"
