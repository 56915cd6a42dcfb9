// `ondrel --export-loans FILE.ics`: the loans as calendar to-dos, read back
// by a parser the project does not write (Python's icalendar): every loan
// once, its due day, its state and its texts exact, the same UID on every
// export; and nothing written when it cannot be.
#include "database_testutil.h"

#include "database/recordset.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using P = QList<QPair<QString, QString>>;

namespace {

QString run(const QString& program, const QStringList& arguments, int* code = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    if (code)
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// Each to-do as the parser reads it, one line of fields; the parser's
// complaints about any content line come first.
const char* kReader = R"(
import sys, icalendar
data = open(sys.argv[1], 'rb').read()
calendar = icalendar.Calendar.from_ical(data)
for c in calendar.walk():
    for e in c.errors:
        print('ERROR', c.name, e)
lines = data.split(b'\r\n')
assert lines[-1] == b'', 'no CRLF at the end'
assert all(len(l) <= 75 for l in lines), 'a line longer than 75 octets'
assert b'\n' not in data.replace(b'\r\n', b''), 'a bare line feed'
for t in calendar.walk('VTODO'):
    due = t.get('DUE')
    print('|'.join([str(t['UID']), due.dt.isoformat() if due else '-', str(t.get('STATUS', '-')),
                    str(t['SUMMARY']), str(t['DESCRIPTION']).replace('\n', '/')]))
)";

const QString kLongTitle = QStringLiteral("Memórias póstumas de Brás Cubas, edição crítica; com notas \\ índice e "
                                          "ilustrações à mão");

}  // namespace

class CalendarTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        testutil::createCollection(m_file);
        auto loans = testutil::openCollection(m_file)->openRecordset(QStringLiteral("empréstimos"));
        testutil::addRecord(*loans, P{{"codobjeto", "A1"}, {"Título", kLongTitle}, {"Nome", "Ana, a de Ávila"},
                                      {"Data", "31/01/2024"}, {"Entregue", "Não"},
                                      {"observações", "linha 1\r\nlinha 2; fim"}});
        testutil::addRecord(*loans, P{{"codobjeto", "B2"}, {"Título", "Veja"}, {"Nome", "Bia"}, {"Data", "01/02/2024"},
                                      {"prazo", "29/02/2024"}, {"Entregue", "Sim"}});
        testutil::addRecord(*loans, P{{"codobjeto", "C3"}, {"objeto", "DVD"}, {"Nome", "Caio"}, {"Entregue", "Não"}});
    }

    void loansReadBackExactly()
    {
        const QString ics = m_dir.filePath(QStringLiteral("emprestimos.ics"));
        int code = -1;
        const QString said = run(QStringLiteral(ONDREL_EXE),
                                 {QStringLiteral("--export-loans"), ics, QStringLiteral("--plugin-folder"), m_dir.path()},
                                 &code);
        QVERIFY2(code == 0, qPrintable(said));
        const QString read = run(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), ics}, &code);
        QVERIFY2(code == 0, qPrintable(read));
        QStringList todos = read.trimmed().split(u'\n');
        QVERIFY2(!read.contains(QLatin1String("ERROR")), qPrintable(read));
        QCOMPARE(todos.size(), 3);
        QStringList uids;
        for (QString& todo : todos) {
            uids << todo.section(u'|', 0, 0);
            todo = todo.section(u'|', 1);
        }
        QCOMPARE(todos, (QStringList{
                            "2024-03-01|NEEDS-ACTION|Devolução: " + kLongTitle + " (A1), com Ana, a de Ávila|"
                            "Emprestado a Ana, a de Ávila em 31/01/2024.//linha 1/linha 2; fim",
                            "2024-02-29|COMPLETED|Devolução: Veja (B2), com Bia|Emprestado a Bia em 01/02/2024.",
                            "-|NEEDS-ACTION|Devolução: DVD (C3), com Caio|Emprestado a Caio.",
                        }));
        QCOMPARE(QSet<QString>(uids.cbegin(), uids.cend()).size(), 3);
        // Exported again: the same UIDs, so a calendar updates its to-dos.
        QVERIFY(run(QStringLiteral(ONDREL_EXE), {QStringLiteral("--export-loans"), ics, QStringLiteral("--plugin-folder"),
                                                  m_dir.path()})
                    .contains(ics));
        const QString again = run(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), ics});
        QStringList uidsAgain;
        for (const QString& todo : again.trimmed().split(u'\n'))
            uidsAgain << todo.section(u'|', 0, 0);
        QCOMPARE(uidsAgain, uids);
    }

    void nothingWrittenWhenItCannotBe_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");  // the plug-in folder
        QTest::addColumn<QString>("why");
        QTest::newRow("not .ics") << "emprestimos.csv" << "" << "O nome do arquivo deve terminar em .ics.";
        QTest::newRow("no such folder") << "nada/emprestimos.ics" << "" << "não existe";
        QTest::newRow("no collection") << "emprestimos.ics" << "vazia" << "Não foi possível encontrar o arquivo";
    }
    void nothingWrittenWhenItCannotBe()
    {
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QFETCH(QString, why);
        QTemporaryDir out;
        const QString plugin = folder.isEmpty() ? m_dir.path() : out.filePath(folder);
        QDir().mkpath(plugin);
        int code = -1;
        const QString said = run(QStringLiteral(ONDREL_EXE),
                                 {QStringLiteral("--export-loans"), out.filePath(file), QStringLiteral("--plugin-folder"), plugin},
                                 &code);
        QCOMPARE(code, 1);
        QVERIFY2(said.contains(QStringLiteral("Os empréstimos não foram exportados")) && said.contains(why), qPrintable(said));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
    }

private:
    QTemporaryDir m_dir;
    QString m_file = testutil::collectionFile(m_dir.path());
};

QTEST_GUILESS_MAIN(CalendarTest)
#include "calendar_test.moc"
