// The bound record source on a real collection: event order, automatic save,
// fills and bound boxes.

#include "binding/datacontrol.h"
#include "database/recordset.h"
#include "database_testutil.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace ondrel::db;

namespace {

// The boxes of a record window bound to one source.
struct Window {
    QWidget form;
    QLineEdit* cod = new QLineEdit(&form);
    QLineEdit* titulo = new QLineEdit(&form);
    QPlainTextEdit* desc = new QPlainTextEdit(&form);
    QComboBox* objeto = new QComboBox(&form);
    QLineEdit* data = new QLineEdit(&form);
    QLineEdit* valor = new QLineEdit(&form);  // display of the value, reformatted by the window
    QLabel* check = new QLabel(&form);         // bound to a field the table lacks
    DataControl data1;
    testutil::TempCollection file;
    std::shared_ptr<Recordset> rs;
    QStringList log;

    Window()
    {
        {
            auto objetos = file.open()->openRecordset(QStringLiteral("objetos"));
            testutil::addRecord(*objetos, {{"cod", "A1"}, {"Título", "Dom Casmurro"}, {"Descrição", "linha 1\r\nlinha 2"},
                                           {"Objeto", "Livro"}, {"Data", "05/03/2003"}, {"valor", "12,5"}});
            testutil::addRecord(*objetos, {{"cod", "B2"}, {"Título", "Iracema"}, {"Objeto", "Revista"}});
            testutil::addRecord(*objetos, {{"cod", "C3"}, {"Título", "Iracema"}, {"Descrição", "x"}, {"Objeto", "Revista"}});
        }
        rs = file.open()->openRecordset(QStringLiteral("select * from objetos"));
        cod->setMaxLength(7);
        titulo->setMaxLength(100);
        objeto->setEditable(true);
        objeto->addItems({"Livro", "Revista", "Documento"});
        data1.bind(cod, "cod");
        data1.bind(titulo, "Título");
        data1.bind(desc, "Descrição");
        data1.bind(objeto, "Objeto");
        data1.bind(data, "Data");
        data1.bind(valor, "valor", BindMode::DisplayOnly);
        data1.bind(check, "check");
        // Each change handler reads another bound box: it must see the new record.
        QObject::connect(cod, &QLineEdit::textChanged, [this](const QString& t) { log << "cod:" + t + "/" + titulo->text(); });
        QObject::connect(titulo, &QLineEdit::textChanged, [this](const QString& t) { log << "tit:" + t + "/" + cod->text(); });
        QObject::connect(desc, &QPlainTextEdit::textChanged, [this] { log << "desc:" + cod->text(); });
        QObject::connect(objeto, &QComboBox::currentTextChanged, [this](const QString& t) { log << "obj:" + t; });
        QObject::connect(&data1, &DataControl::validate, [this](int a) { log << QString("val%1").arg(a); });
        QObject::connect(&data1, &DataControl::reposition, [this] { log << "repos"; });
        data1.setRecordset(rs);
        log.clear();
    }
    QString joined() const { return log.join(' '); }
    // A field of the object at a table position, as the file holds it.
    QString stored(int position, const char* field) const
    {
        auto other = file.open()->openRecordset(QStringLiteral("select * from objetos"));
        other->setAbsolutePosition(position);
        return other->text(QString::fromUtf8(field));
    }
    int storedCount() const { return testutil::plainQuery(file.path, "SELECT count(*) FROM objetos").toInt(); }
};

using Op = std::function<void(Window&)>;

}  // namespace

Q_DECLARE_METATYPE(Op)

class TestDataControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }
    void showsFirstRecordOnAssignment();
    void eventOrder_data();
    void eventOrder();
    void nestedMoveFromChangeHandler();
    void automaticSave_data();
    void automaticSave();
    void untouchedNewRecordDropped_data();
    void untouchedNewRecordDropped();
    void typedNewRecordSavedOnMove();
    void refusedSaveKeepsRecord();
    void validateCancel_data();
    void validateCancel();
    void fillKeepsLongValues();
    void typingLimitStillApplies();
    void crlfRoundTrip();
    void displayOnlyNeverWritten();
    void programmaticTextIsNoUserChange();
    void codeSetBoxesOfNewRecordAreWritten();
    void missingFieldShowsNothing();
    void readOnlySourceDropsTypedValues();
};

void TestDataControl::showsFirstRecordOnAssignment()
{
    Window w;
    w.rs->moveLast();
    QCOMPARE(w.cod->text(), QString("C3"));
    QSignalSpy repos(&w.data1, &DataControl::reposition);
    w.data1.setRecordset(w.rs);
    QCOMPARE(w.rs->absolutePosition(), 0);
    QCOMPARE(w.cod->text(), QString("A1"));
    QCOMPARE(w.titulo->text(), QString("Dom Casmurro"));
    QCOMPARE(w.objeto->currentText(), QString("Livro"));
    QCOMPARE(w.data->text(), QString("05/03/2003"));
    QCOMPARE(repos.count(), 1);
    QVERIFY(!w.data1.userChanged());
}

void TestDataControl::eventOrder_data()
{
    QTest::addColumn<Op>("prepare");
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("expected");
    const Op none = [](Window&) {};
    const QString toB2 = "cod:B2/Iracema tit:Iracema/B2 desc:B2 obj:Revista repos";
    const QString toC3 = "cod:C3/Iracema desc:C3 repos";  // same title and kind: no signal for them
    const QString backToB2 = "cod:B2/Iracema tit:Iracema/B2 obj:Revista repos";  // B2 has no description
    const QString cleared = "cod:/ tit:/ desc: obj: repos";
    QTest::newRow("move next") << none << Op([](Window& w) { w.rs->moveNext(); }) << "val3 " + toB2;
    QTest::newRow("only changed boxes signal") << Op([](Window& w) { w.rs->moveNext(); })
                                               << Op([](Window& w) { w.rs->moveNext(); }) << "val3 " + toC3;
    QTest::newRow("move previous") << Op([](Window& w) { w.rs->moveLast(); })
                                   << Op([](Window& w) { w.rs->movePrevious(); }) << "val2 cod:B2/Iracema desc:B2 repos";
    QTest::newRow("move last") << none << Op([](Window& w) { w.rs->moveLast(); })
                               << "val4 cod:C3/Iracema tit:Iracema/C3 desc:C3 obj:Revista repos";
    QTest::newRow("move first") << Op([](Window& w) { w.rs->moveNext(); })
                                << Op([](Window& w) { w.rs->moveFirst(); })
                                << "val1 cod:A1/Dom Casmurro tit:Dom Casmurro/A1 desc:A1 obj:Livro repos";
    QTest::newRow("bookmark") << none << Op([](Window& w) { w.rs->setAbsolutePosition(1); }) << "val9 " + toB2;
    QTest::newRow("find") << none << Op([](Window& w) { w.rs->findFirst("cod='B2'"); }) << "val8 " + toB2;
    QTest::newRow("find without match raises nothing")
        << none << Op([](Window& w) { w.rs->findFirst("cod='ZZ'"); }) << QString();
    QTest::newRow("add new") << none << Op([](Window& w) { w.rs->addNew(); }) << "val5 " + cleared;
    QTest::newRow("delete") << none << Op([](Window& w) { w.rs->deleteRecord(); }) << "val7 " + cleared;
    QTest::newRow("cancel add new") << Op([](Window& w) { w.rs->moveNext(); w.rs->addNew(); })
                                    << Op([](Window& w) { w.rs->cancelUpdate(); }) << "val0 " + backToB2;
    QTest::newRow("cancel edit") << Op([](Window& w) { w.rs->edit(); })
                                 << Op([](Window& w) { w.rs->cancelUpdate(); }) << "repos";
    QTest::newRow("update of add new") << Op([](Window& w) { w.rs->moveNext(); w.rs->addNew(); })
                                       << Op([](Window& w) { w.rs->update(); }) << "val6 " + backToB2;
    QTest::newRow("assignment")
        << Op([](Window& w) { w.rs->moveNext(); }) << Op([](Window& w) { w.data1.setRecordset(w.rs); })
        << "val1 cod:A1/Dom Casmurro tit:Dom Casmurro/A1 desc:A1 obj:Livro repos";
}

void TestDataControl::eventOrder()
{
    QFETCH(Op, prepare);
    QFETCH(Op, op);
    QFETCH(QString, expected);
    Window w;
    prepare(w);
    w.log.clear();
    op(w);
    QCOMPARE(w.joined(), expected);
}

void TestDataControl::nestedMoveFromChangeHandler()
{
    Window w;
    // A handler that moves the source again: the outer fill must not raise
    // stale signals after the inner one showed the newer record.
    bool once = true;
    QObject::connect(w.cod, &QLineEdit::textChanged, [&](const QString& t) {
        if (t == "B2" && once) {
            once = false;
            w.rs->moveNext();
        }
    });
    w.rs->moveNext();
    QCOMPARE(w.cod->text(), QString("C3"));
    QCOMPARE(w.log.last(), QString("repos"));
    QCOMPARE(w.log.count("repos"), 1);
    QVERIFY(!w.log.contains("tit:Iracema/B2"));  // stale signal of the outer fill
}

void TestDataControl::automaticSave_data()
{
    QTest::addColumn<Op>("type");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("stored");
    QTest::newRow("line edit") << Op([](Window& w) { QTest::keyClicks(w.titulo, "!"); }) << "Título" << "Dom Casmurro!";
    QTest::newRow("multi-line box") << Op([](Window& w) {
        w.desc->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.desc, "3");
    }) << "Descrição" << "linha 1\r\nlinha 23";
    QTest::newRow("editable combo typed") << Op([](Window& w) { QTest::keyClicks(w.objeto->lineEdit(), "s"); })
                                          << "Objeto" << "Livros";
    QTest::newRow("combo chosen from the list") << Op([](Window& w) {
        w.objeto->setCurrentIndex(2);
        emit w.objeto->activated(2);
    }) << "Objeto" << "Documento";
}

void TestDataControl::automaticSave()
{
    QFETCH(Op, type);
    QFETCH(QString, field);
    QFETCH(QString, stored);
    Window w;
    w.titulo->setFocus();
    type(w);
    QVERIFY(w.data1.userChanged());
    w.rs->moveNext();
    QCOMPARE(w.rs->absolutePosition(), 1);
    QCOMPARE(w.stored(0, field.toUtf8().constData()), stored);
    QCOMPARE(w.stored(0, "cod"), QString("A1"));
    QCOMPARE(w.stored(0, "data"), QString("05/03/2003"));
    QCOMPARE(w.storedCount(), 3);
    QVERIFY(!w.data1.userChanged());
    QCOMPARE(w.log.count("val6"), 0);  // the save belongs to the move, not a validate of its own
}

void TestDataControl::untouchedNewRecordDropped_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<int>("position");
    QTest::newRow("move first") << Op([](Window& w) { w.rs->moveFirst(); }) << 0;
    QTest::newRow("move last") << Op([](Window& w) { w.rs->moveLast(); }) << 2;
    QTest::newRow("find") << Op([](Window& w) { w.rs->findFirst("cod='C3'"); }) << 2;
    QTest::newRow("assignment") << Op([](Window& w) { w.data1.setRecordset(w.rs); }) << 0;
}

void TestDataControl::untouchedNewRecordDropped()
{
    QFETCH(Op, op);
    QFETCH(int, position);
    Window w;
    w.rs->moveNext();
    w.rs->addNew();
    // the window fills boxes of the new record in code: still no user change
    w.objeto->setEditText("Livro");
    w.log.clear();
    op(w);
    QCOMPARE(w.rs->keyCount(), 3);
    QCOMPARE(w.storedCount(), 3);
    QCOMPARE(w.rs->editMode(), EditMode::None);
    QCOMPARE(w.rs->absolutePosition(), position);
    // the dropped record is counted out, once, after the action's own validate
    QCOMPARE(w.log.count("val0"), 1);
    QVERIFY(w.log.indexOf("val0") > 0);
    QCOMPARE(w.log.last(), QString("repos"));
}

void TestDataControl::typedNewRecordSavedOnMove()
{
    Window w;
    w.rs->addNew();
    QTest::keyClicks(w.cod, "D4");
    QTest::keyClicks(w.titulo, "Quincas Borba");
    QTest::keyClicks(w.desc, "um");
    QTest::keyClick(w.desc, Qt::Key_Return);
    QTest::keyClicks(w.desc, "dois");
    w.log.clear();
    w.rs->moveLast();
    QCOMPARE(w.rs->keyCount(), 4);
    QCOMPARE(w.stored(3, "cod"), QString("D4"));
    QCOMPARE(w.stored(3, "título"), QString("Quincas Borba"));
    QCOMPARE(w.stored(3, "descrição"), QString("um\r\ndois"));
    QCOMPARE(w.stored(3, "data"), QString());  // untouched boxes write nothing
    QCOMPARE(w.log.first(), QString("val4"));
    QVERIFY(!w.log.contains("val0"));
    QCOMPARE(w.cod->text(), QString("D4"));
}

void TestDataControl::refusedSaveKeepsRecord()
{
    Window w;
    QSignalSpy refused(&w.data1, &DataControl::saveRefused);
    w.data->clear();
    QTest::keyClicks(w.data, "31/02/2003");
    QTest::keyClicks(w.titulo, "?");
    w.log.clear();
    w.rs->moveNext();
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), QString("Tipo de dados incompatível: '31/02/2003' não é um valor válido para o campo 'Data'."));
    QCOMPARE(w.rs->absolutePosition(), 0);  // the move did not happen
    QCOMPARE(w.data->text(), QString("31/02/2003"));
    QCOMPARE(w.titulo->text(), QString("Dom Casmurro?"));
    QCOMPARE(w.stored(0, "data"), QString("05/03/2003"));
    QCOMPARE(w.joined(), QString("val3"));  // no fill, no reposition
    QVERIFY(w.data1.userChanged());
    // A second attempt is refused again rather than dropping the typing.
    w.rs->moveLast();
    QCOMPARE(refused.count(), 2);
    QCOMPARE(w.rs->absolutePosition(), 0);
    // Corrected, the move saves and goes on.
    w.data->selectAll();
    QTest::keyClicks(w.data, "28/02/2003");
    w.rs->moveNext();
    QCOMPARE(w.rs->absolutePosition(), 1);
    QCOMPARE(w.stored(0, "data"), QString("28/02/2003"));
    QCOMPARE(w.stored(0, "título"), QString("Dom Casmurro?"));
}

void TestDataControl::validateCancel_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<int>("cancels");
    QTest::newRow("cancel of add new") << Op([](Window& w) { w.rs->addNew(); w.rs->cancelUpdate(); }) << 1;
    QTest::newRow("cancel of typed add new") << Op([](Window& w) {
        w.rs->addNew();
        QTest::keyClicks(w.cod, "X");
        w.rs->cancelUpdate();
    }) << 1;
    QTest::newRow("cancel of edit") << Op([](Window& w) {
        w.rs->edit();
        QTest::keyClicks(w.cod, "X");
        w.rs->cancelUpdate();
    }) << 0;
    QTest::newRow("failed cancel") << Op([](Window& w) {
        try {
            w.rs->cancelUpdate();
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), int(ErrNoPendingUpdate));
        }
    }) << 0;
    QTest::newRow("stored add new") << Op([](Window& w) {
        w.rs->addNew();
        QTest::keyClicks(w.cod, "X");
        w.rs->update();
    }) << 0;
    QTest::newRow("add new refused by the engine then cancelled") << Op([](Window& w) {
        w.rs->addNew();
        QTest::keyClicks(w.data, "99/99/2003");
        try {
            w.rs->update();
        } catch (const EngineError&) {
        }
        w.rs->cancelUpdate();
    }) << 1;
}

void TestDataControl::validateCancel()
{
    QFETCH(Op, op);
    QFETCH(int, cancels);
    Window w;
    op(w);
    QCOMPARE(w.log.count("val0"), cancels);
    QCOMPARE(w.rs->editMode(), EditMode::None);
    QCOMPARE(w.cod->text(), QString("A1"));  // the record current before is shown again
}

void TestDataControl::fillKeepsLongValues()
{
    Window w;
    w.titulo->setMaxLength(5);  // set after binding: taken over on the next fill
    w.rs->moveNext();
    w.rs->moveFirst();
    QCOMPARE(w.titulo->text(), QString("Dom Casmurro"));
    // shortening a long value is allowed, growing it is not
    w.titulo->end(false);
    QTest::keyClick(w.titulo, Qt::Key_Backspace);
    QCOMPARE(w.titulo->text(), QString("Dom Casmurr"));
    QTest::keyClicks(w.titulo, "oo");
    QCOMPARE(w.titulo->text(), QString("Dom Casmurr"));
    // nothing cuts the value on its way back
    w.rs->moveNext();
    QCOMPARE(w.stored(0, "título"), QString("Dom Casmurr"));
}

void TestDataControl::typingLimitStillApplies()
{
    Window w;
    w.rs->addNew();
    QTest::keyClicks(w.cod, "ABCDEFGH");
    QCOMPARE(w.cod->text(), QString("ABCDEFG"));  // an eighth character cannot be typed
    QCOMPARE(w.cod->maxLength(), 32767);
}

void TestDataControl::crlfRoundTrip()
{
    Window w;
    QCOMPARE(w.desc->toPlainText(), QString("linha 1\nlinha 2"));
    w.desc->moveCursor(QTextCursor::End);
    QTest::keyClick(w.desc, Qt::Key_Return);
    QTest::keyClicks(w.desc, "linha 3");
    w.rs->moveNext();
    QCOMPARE(w.stored(0, "descrição"), QString("linha 1\r\nlinha 2\r\nlinha 3"));
    w.rs->moveFirst();
    QCOMPARE(w.desc->toPlainText(), QString("linha 1\nlinha 2\nlinha 3"));
    // an untouched multi-line box is never rewritten (no "\r\r\n")
    QTest::keyClicks(w.cod, "Z");
    w.rs->moveNext();
    QCOMPARE(w.stored(0, "descrição"), QString("linha 1\r\nlinha 2\r\nlinha 3"));
}

void TestDataControl::displayOnlyNeverWritten()
{
    Window w;
    QObject::connect(w.valor, &QLineEdit::textChanged, [&](const QString& t) {
        if (!t.startsWith("R$"))
            w.valor->setText("R$ " + t);  // the window formats its value box
    });
    w.rs->moveNext();
    w.rs->moveFirst();
    QCOMPARE(w.valor->text(), QString("R$ 12,50"));
    QTest::keyClicks(w.titulo, ".");
    QTest::keyClicks(w.valor, "0");  // even typed, a display box is not written
    w.rs->moveNext();
    QCOMPARE(w.stored(0, "título"), QString("Dom Casmurro."));
    QCOMPARE(w.stored(0, "valor"), QString("12,50"));
}

void TestDataControl::programmaticTextIsNoUserChange()
{
    Window w;
    w.titulo->setText("Outro título");
    w.desc->setPlainText("outro");
    w.objeto->setEditText("Outros");
    QVERIFY(!w.data1.userChanged());
    w.rs->moveNext();
    QCOMPARE(w.storedCount(), 3);
    QCOMPARE(w.stored(0, "título"), QString("Dom Casmurro"));
    QCOMPARE(w.titulo->text(), QString("Iracema"));
}

void TestDataControl::codeSetBoxesOfNewRecordAreWritten()
{
    Window w;
    w.rs->addNew();
    w.cod->setText("E5");  // set by the window in code, as a lending command does
    w.objeto->setEditText("Revista");
    QTest::keyClicks(w.titulo, "Senhora");
    w.rs->update();
    QCOMPARE(w.rs->keyCount(), 4);
    QCOMPARE(w.stored(3, "cod"), QString("E5"));
    QCOMPARE(w.stored(3, "objeto"), QString("Revista"));
    QCOMPARE(w.stored(3, "título"), QString("Senhora"));
}

void TestDataControl::missingFieldShowsNothing()
{
    Window w;
    QSignalSpy errors(&w.data1, &DataControl::engineError);
    w.check->setText("stale");
    w.rs->moveNext();
    QCOMPARE(w.check->text(), QString());
    w.rs->edit();
    QTest::keyClicks(w.titulo, "!");
    w.rs->update();
    QCOMPARE(errors.count(), 0);
    QCOMPARE(w.stored(1, "título"), QString("Iracema!"));
    // no current record: every box clears
    w.rs->deleteRecord();
    QCOMPARE(w.cod->text(), QString());
    QCOMPARE(w.desc->toPlainText(), QString());
    QCOMPARE(errors.count(), 0);
}

void TestDataControl::readOnlySourceDropsTypedValues()
{
    DataControl data2;
    QLineEdit nome;
    data2.bind(&nome, "Título");
    testutil::TempCollection file;
    {
        auto objetos = file.open()->openRecordset(QStringLiteral("objetos"));
        testutil::addRecord(*objetos, {{"cod", "A"}, {"Título", "a"}});
        testutil::addRecord(*objetos, {{"cod", "B"}, {"Título", "b"}});
    }
    auto snapshot = file.open()->openRecordset(QStringLiteral("select Título from objetos"), RecordsetType::Snapshot);
    data2.setReadOnly(true);
    data2.setRecordset(snapshot);
    QSignalSpy refused(&data2, &DataControl::saveRefused);
    QTest::keyClicks(&nome, "x");
    snapshot->moveNext();
    QCOMPARE(refused.count(), 0);
    QCOMPARE(nome.text(), QString("b"));
    QCOMPARE(testutil::plainQuery(file.path, "SELECT \"Título\" FROM objetos"), QStringLiteral("a\nb"));
}

QTEST_MAIN(TestDataControl)
#include "datacontrol_test.moc"
