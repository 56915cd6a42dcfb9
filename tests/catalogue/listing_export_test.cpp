// The listing out of the program: `ondrel --export-listing` writes the
// collection's "Imprime" as a CSV file for a Brazilian spreadsheet or as the
// printed pages, without a display, and writes nothing when it cannot.
#include "catalogue_browse_testutil.h"

#include "collection/statements.h"

#include <sqlite3.h>

#include <QDir>
#include <QProcess>

using namespace cattest;

namespace {

struct Exit {
    int code = -1;
    QString err;
};

// The plug-in's executable run without a display (as an ordinary user for a
// folder's modes to count: the tests run as root).
Exit runOndrel(QStringList arguments, bool asNobody = false)
{
    QProcess ondrel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    ondrel.setProcessEnvironment(environment);
    QString program = QStringLiteral(ONDREL_EXE);
    if (asNobody) {
        arguments.prepend(program);
        arguments = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + arguments;
        program = QStringLiteral("setpriv");
    }
    ondrel.start(program, arguments);
    if (!ondrel.waitForFinished(30000))
        return {};
    return {ondrel.exitStatus() == QProcess::NormalExit ? ondrel.exitCode() : -1,
            QString::fromUtf8(ondrel.readAllStandardError())};
}

// The records of a CSV text as RFC 4180 reads them, ';' between fields and
// CRLF after each record; a bare line feed outside quotes stays in its field.
QList<QStringList> readCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && text.mid(i + 1, 1) == u"\"") {
            field += c;
            ++i;
        } else if (c == u'"' && (quoted || field.isEmpty())) {
            quoted = !quoted;
        } else if (!quoted && c == u';') {
            record << std::exchange(field, QString());
        } else if (!quoted && text.mid(i, 2) == u"\r\n") {
            record << std::exchange(field, QString());
            records << std::exchange(record, QStringList());
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        records << (record << field);  // no CRLF after the last record
    return records;
}

const QString kTitle = QStringLiteral("Sertão; o \"grande\"\nlivro d'água");

}  // namespace

class ListingExportTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_folder = std::make_unique<Folder>();
        QList<Object> objects = standardObjects();
        objects << Object{"E5", "Disco", kTitle, "Zé; \"Tom\"", "Música", "1234567,89", ""}
                // Texts a spreadsheet would run as formulas, and a negative amount.
                << Object{"F6", "-Disco", "=HYPERLINK(\"http://x\";\"clique\")", "@Tom", "", "-5", ""}
                << Object{"G7", "+Livro", "'Aspas'", "\tTab", "", "", ""};
        m_folder->create(objects);
        // The order chosen last in the window: by title.
        m_folder->open()->writeQueryDef(QStringLiteral("Imprime"),
                                        ondrel::db::listingOrderedBy(QStringLiteral("título")));
    }
    void cleanup() { m_folder.reset(); }

    void exportedListing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("CSV") << "listagem.csv";
        QTest::newRow("PDF") << "listagem.pdf";
    }
    void exportedListing()
    {
        QFETCH(QString, file);
        const QString out = m_folder->dir.filePath(file);
        const Exit done = runOndrel({QStringLiteral("--export-listing"), out, QStringLiteral("--plugin-folder"),
                                     m_folder->dir.path()});
        QVERIFY2(done.code == 0, qPrintable(done.err));
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        if (file.endsWith(QLatin1String(".pdf"))) {
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
            QVERIFY(text.waitForFinished(20000));
            const QString pages = QString::fromUtf8(text.readAllStandardOutput());
            QStringList codes;
            for (const QString& line : pages.split(u'\n'))
                if (QRegularExpression(QStringLiteral("^\\s*[A-E][1-5]\\s")).match(line).hasMatch())
                    codes << line.trimmed().left(2);
            QCOMPARE(codes, (QStringList{"C3", "A1", "D4", "E5", "B2"}));
            // Each page's foot: the date of printing and "Página N de M".
            QVERIFY2(QRegularExpression(QStringLiteral("\\n\\s*%1\\s+Página 1 de 1\\s*$")
                                            .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))))
                         .match(pages)
                         .hasMatch(),
                     qPrintable(pages.right(200)));
            return;
        }
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QStringList> expected = {
            {"Código", "Objeto", "Título", "Autor(a)", "Valor"},
            {"G7", "'+Livro", "''Aspas'", "'\tTab", ""},
            {"F6", "'-Disco", "'=HYPERLINK(\"http://x\";\"clique\")", "'@Tom", "-5,00"},
            {"C3", "DVD", "Auto da Compadecida", "Suassuna", ""},
            {"A1", "Livro", "Dom Casmurro", "Machado de Assis", "10,00"},
            {"D4", "Livro", "O'Brien", "Bandeira", "1000,00"},
            {"E5", "Disco", kTitle, "Zé; \"Tom\"", "1234567,89"},
            {"B2", "Revista", "Veja", "Abril", "2,50"},
        };
        QCOMPARE(readCsv(QString::fromUtf8(bytes.mid(3))), expected);
    }

    // Nothing written, the file already there left as it was, a reason on
    // standard error and exit status 1.
    void refusedExportWritesNothing_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Imprime nested past any sense") << "nested" << "listagem.csv" << "";
        QTest::newRow("Imprime without the listing's fields") << "fields" << "listagem.pdf" << "";
        QTest::newRow("Imprime that deletes") << "action" << "listagem.csv" << "";
        QTest::newRow("not a collection") << "garbage" << "listagem.csv" << "";
        QTest::newRow("no collection") << "none" << "listagem.csv" << "Não há coleção";
        QTest::newRow("unknown kind of file") << "" << "listagem.txt" << ".csv ou .pdf";
        QTest::newRow("folder missing") << "" << "falta/listagem.csv" << "não existe";
        QTest::newRow("read-only folder") << "read-only" << "leitura/listagem.pdf" << "Não há permissão para gravar";
        QTest::newRow("a folder") << "folder" << "listagem.csv" << "é uma pasta";
        QTest::newRow("a layout that is no text") << "binary layout" << "listagem.pdf" << "não é um layout";
    }
    void refusedExportWritesNothing()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        const QString out = m_folder->dir.filePath(file);
        QFile old(out);
        if (obstacle == u"folder")
            QVERIFY(QDir(m_folder->dir.path()).mkdir(file));
        else if (!file.contains(u'/'))
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("antigo") == 6);
        if (obstacle == u"read-only") {
            QVERIFY(QDir(m_folder->dir.path()).mkdir(QStringLiteral("leitura")));
            QVERIFY(QFile::setPermissions(m_folder->dir.filePath(QStringLiteral("leitura")),
                                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
            for (const QString& name : QDir(m_folder->dir.path()).entryList(QDir::Files))
                QFile::setPermissions(m_folder->dir.filePath(name),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
            QFile::setPermissions(m_folder->dir.path(),
                                  QFile::permissions(m_folder->dir.path()) | QFile::ReadOther | QFile::ExeOther);
        }
        old.close();
        // Written as another program could, past the engine's checks.
        const QHash<QString, QByteArray> imprime = {
            {"nested", "select cod from objetos where " + QByteArray(10000, '(') + "cod=cod" + QByteArray(10000, ')')},
            {"fields", "select cod from objetos"},
            {"action", "delete from objetos"}};
        if (imprime.contains(obstacle)) {
            sqlite3* db = nullptr;
            sqlite3_open(m_folder->path().toUtf8().constData(), &db);
            const QByteArray update =
                "UPDATE ondrel_queries SET sql = '" + imprime[obstacle] + "' WHERE name = 'Imprime'";
            QVERIFY2(sqlite3_exec(db, update.constData(), nullptr, nullptr, nullptr) == SQLITE_OK, sqlite3_errmsg(db));
            sqlite3_close(db);
        }
        if (obstacle == u"binary layout") {
            QFile layout(m_folder->dir.filePath(QStringLiteral("objetos.rpt")));
            QVERIFY(layout.open(QIODevice::WriteOnly));
            layout.write(QByteArray::fromHex("89504e470d0a1a0a001b5b324a07ff") + QByteArray(64, 1));
        }
        QFile collection(m_folder->path());
        if (obstacle == u"none")
            QVERIFY(collection.remove());
        if (obstacle == u"garbage")
            QVERIFY(collection.open(QIODevice::WriteOnly) && collection.write(QByteArray(8192, 'x')) == 8192);
        collection.close();
        const QString rows = testutil::everyRow(m_folder->path());
        // The folder's files, its journals aside.
        const auto files = [&] {
            return QDir(m_folder->dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden)
                .filter(QRegularExpression("^(?!.*-(wal|shm)$)"));
        };
        const QStringList before = files();

        const Exit done = runOndrel({QStringLiteral("--export-listing"), out, QStringLiteral("--plugin-folder"),
                                     m_folder->dir.path()}, obstacle == u"read-only");
        QCOMPARE(done.code, 1);
        QVERIFY2(done.err.contains(QStringLiteral("A listagem não foi exportada")) && done.err.contains(reason),
                 qPrintable(done.err));
        // Nothing of a file's bytes reaches the terminal.
        QVERIFY(!done.err.contains(QRegularExpression(QStringLiteral("[\\x00-\\x08\\x0b-\\x1f\\x7f\\x{fffd}]"))));
        QCOMPARE(files(), before);
        QCOMPARE(testutil::everyRow(m_folder->path()), rows);
        if (old.open(QIODevice::ReadOnly))
            QCOMPARE(old.readAll(), QByteArray("antigo"));
    }

private:
    std::unique_ptr<Folder> m_folder;
};

QTEST_MAIN(ListingExportTest)
#include "listing_export_test.moc"
