// Reading Jet files through the reader child: the values as Jet stores them
// (Jet 4 and Jet 3), and a reader that crashes, hangs or sends garbage
// ending the reading with a Portuguese message, never the program.
#include "jet_testutil.h"

#include "import/importerror.h"
#include "import/jetfile.h"
#include "import/reader/jetstream.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ondrel::import;

namespace {

// Every value line of the user tables, as the dumps write them; `byCode`
// puts the row's cod in place of its reading order.
QStringList valueLines(const QString& file, bool byCode)
{
    QStringList out;
    QMap<QString, int> read;
    readJet(
        file, [](const JetFile&, const JetTable&) {},
        [&](const JetTable& t, const JetRow& row) {
            if (t.system)
                return;
            const int number = read[t.name]++;
            const QString key = byCode ? row[t.indexOf(QStringLiteral("cod"))].toString() : QString::number(number);
            for (int i = 0; i < row.size(); ++i) {
                QVariant v = row[i];
                if (v.isValid() && t.columns[i].type == ondrel::jetstream::DateTime)
                    v = jetDateTime(v.toDouble());
                const bool money = t.columns[i].type == ondrel::jetstream::Money;
                out << t.name + u'\t' + key + u'\t' + t.columns[i].name + u'\t' + jettest::dumped(v, money);
            }
        });
    return out;
}

}  // namespace

class JetFileTest : public QObject {
    Q_OBJECT
private slots:
    void headerTellsAJetFile()
    {
        QVERIFY(isJetFile(jettest::fixture("legacy-v2003-pw.mdb")));
        QVERIFY(isJetFile(jettest::fixture("public/testV1997.mdb")));
        QVERIFY(!isJetFile(jettest::fixture("legacy-small.expected.txt")));
    }

    // Every value of the small file, read in order, is the expected dump's.
    void smallFileReadsAsStored()
    {
        const jettest::Dump dump = jettest::expected("legacy-small.expected.txt");
        QStringList want;
        for (auto t = dump.values.cbegin(); t != dump.values.cend(); ++t)
            for (auto r = t->cbegin(); r != t->cend(); ++r)
                for (auto c = r->cbegin(); c != r->cend(); ++c)
                    want << t.key() + u'\t' + QString::number(r.key()) + u'\t' + c.key() + u'\t' + c.value();
        QStringList got = valueLines(jettest::fixture("legacy-v2000-nopw.mdb"), false);
        want.sort();
        got.sort();
        QCOMPARE(got, want);
    }

    // 20,000 rows: both digests of the sorted value lines.
    void largeFileDigests()
    {
        const jettest::Dump dump = jettest::expected("legacy-v2000-pw-5k.expected.txt");
        const QString file = jettest::fixture("legacy-v2000-pw-5k.mdb");
        QCOMPARE(jettest::digest(valueLines(file, false)), dump.facts.value("sha256 sorted dump, row field = read order"));
        QCOMPARE(jettest::digest(valueLines(file, true)), dump.facts.value("sha256 sorted dump, row field = cod"));
    }

    // Jet 3: pages, types and code-page text of a public file.
    void jet3TableReadsAsListed()
    {
        QStringList rows;
        readJet(
            jettest::fixture("public/testV1997.mdb"), [](const JetFile& f, const JetTable&) { QVERIFY(f.jet3()); },
            [&](const JetTable& t, const JetRow& row) {
                if (t.name != QLatin1String("Table1"))
                    return;
                QStringList values;
                for (int i = 0; i < row.size(); ++i) {
                    const int type = t.columns[i].type;
                    QVariant v = row[i];
                    if (type == ondrel::jetstream::DateTime)
                        values << jetDateTime(v.toDouble()).date().toString(Qt::ISODate);
                    else if (type == ondrel::jetstream::Money)
                        values << jettest::money(v.toLongLong()).mid(2);
                    else if (type == ondrel::jetstream::Bool)
                        values << (v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
                    else
                        values << v.toString();
                }
                rows << values.join(u'|');
            });
        QCOMPARE(rows, QStringList({"a|b|0|0|0|0|1981-12-12|0.0000|false",
                                    "abcdefg|hijklmnop|2|222|333333333|444.555|1974-09-21|3.5000|true"}));
    }

    // A reader that crashes, hangs, stops half-way or talks nonsense.
    void brokenReaderFailsClearly_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("says");
        const QString real = QStringLiteral(ONDREL_PLUGIN_DIR "/ondrel-jet-reader \"$1\"");
        QTest::newRow("crash") << QStringLiteral("kill -SEGV $$") << "parou no meio";
        QTest::newRow("crash half-way") << real + QStringLiteral(" | head -c 3000; kill -SEGV $$") << "parou no meio";
        QTest::newRow("hang") << QStringLiteral("printf 'ONDJET1\\n'; exec sleep 30") << "não respondeu por 0,5 segundos";
        QTest::newRow("garbage") << QStringLiteral("head -c 5000 /dev/urandom") << "dados sem sentido";
        QTest::newRow("huge record") << QStringLiteral("printf 'ONDJET1\\nF\\377\\377\\377\\377'") << "dados sem sentido";
        QTest::newRow("refusal") << QStringLiteral("printf 'ONDJET1\\nX\\003\\000\\000\\000\\001\\000\\000'; exit 1")
                                 << "não se abre como um banco de dados Jet";
        QTest::newRow("missing") << QString() << "não pôde ser iniciado";
    }
    void brokenReaderFailsClearly()
    {
        QFETCH(QString, script);
        QFETCH(QString, says);
        QTemporaryDir dir;
        ReaderOptions options;
        options.silenceMs = 500;
        options.program = dir.filePath(QStringLiteral("reader"));
        if (!script.isEmpty()) {
            QFile program(options.program);
            QVERIFY(program.open(QIODevice::WriteOnly));
            program.write("#!/bin/sh\n" + script.toUtf8() + "\n");
            program.close();
            program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QString file = jettest::fixture("legacy-v2000-pw.mdb");
        try {
            readJet(file, [](const JetFile&, const JetTable&) {}, [](const JetTable&, const JetRow&) {}, options);
            QFAIL("the reading went on");
        } catch (const ImportError& e) {
            QVERIFY2(e.text().contains(says) && e.text().contains(file), qPrintable(e.text()));
        }
    }
};

QTEST_GUILESS_MAIN(JetFileTest)
#include "jetfile_test.moc"
