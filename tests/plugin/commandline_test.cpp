// The command line of the built `ondrel` (and of the host): every wrong use
// is refused in Portuguese with status 2 before anything runs, and the help
// and version speak Portuguese under the program's own name.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT
private:
    struct Exit {
        int code;
        QString out;
        QString err;
    };
    Exit ondrel(const QStringList& arguments, const QString& program = QStringLiteral(ONDREL_PLUGIN_DIR "/ondrel"),
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.setWorkingDirectory(m_folder.path());
        p.start(program, arguments);
        if (!p.waitForFinished(30000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    QTemporaryDir m_folder;

private slots:
    void wrongUseIsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "opção desconhecida: \"--bogus\"";
        QTest::newRow("unknown short option") << QStringList{"-x"} << "opção desconhecida: \"-x\"";
        QTest::newRow("missing value") << QStringList{"--restore"} << "falta o valor de --restore (ARQUIVO)";
        QTest::newRow("option as value") << QStringList{"--restore", "--backup"} << "falta o valor de --restore";
        QTest::newRow("empty path") << QStringList{"--create-database", ""} << "o valor de --create-database";
        QTest::newRow("extra argument") << QStringList{"--export-listing", "x.csv", "y.csv"}
                                        << "argumento a mais: \"y.csv\"";
        QTest::newRow("argument without command") << QStringList{"x"} << "argumento a mais: \"x\"";
        QTest::newRow("two commands") << QStringList{"--export-listing", "x.csv", "--backup"}
                                      << "--export-listing e --backup são comandos diferentes";
        QTest::newRow("demo alone") << QStringList{"--demo"} << "--demo só vale para --create-database";
        QTest::newRow("demo with backup") << QStringList{"--backup", "--demo"} << "--demo só vale para --create-database";
        QTest::newRow("flag with value") << QStringList{"--demo=1", "--create-database", "x.mdb"}
                                         << "--demo não recebe valor";
        QTest::newRow("twice") << QStringList{"--restore", "a", "--restore", "b"} << "mais de uma vez";
        QTest::newRow("idle beyond a day") << QStringList{"--idle-timeout", "2147484"} << "de 1 a 86400";
        QTest::newRow("idle wrapping") << QStringList{"--idle-timeout", "4294968"} << "de 1 a 86400";
        QTest::newRow("idle zero") << QStringList{"--idle-timeout=0"} << "de 1 a 86400";
        QTest::newRow("into alone") << QStringList{"--into", "x.mdb"} << "--into só vale para --import-jet";
        QTest::newRow("pictures with a copy") << QStringList{"--backup", "--pictures-folder", "p"}
                                              << "--pictures-folder só vale para --import-jet";
        QTest::newRow("listing without file") << QStringList{"--import-listing"}
                                              << "falta o valor de --import-listing (ARQUIVO)";
        QTest::newRow("idle with a command") << QStringList{"--backup", "--idle-timeout", "5"}
                                             << "só vale para o atendimento ao hospedeiro (sem comando)";
    }
    void wrongUseIsRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Exit done = ondrel(arguments);
        QCOMPARE(done.code, 2);
        QVERIFY2(done.err.startsWith(QStringLiteral("ondrel: ")) && done.err.contains(says), qPrintable(done.err));
        QVERIFY(done.err.contains(QStringLiteral("ondrel --help")));
        QVERIFY(done.out.isEmpty());
        // Nothing ran: no collection, copy or listing appeared.
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void helpAndVersionArePortuguese()
    {
        const Exit help = ondrel({QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Uso: ondrel [COMANDO] [OPÇÕES]")), qPrintable(help.out));
        for (const char* option : {"--create-database CAMINHO", "--show-catalogue", "--backup [DESTINO]",
                                   "--restore ARQUIVO", "--export-listing ARQUIVO", "--demo", "--plugin-folder PASTA",
                                   "--idle-timeout SEGUNDOS", "--import-jet ARQUIVO", "--import-listing ARQUIVO",
                                   "--into DESTINO", "--pictures-folder PASTA", "-h, --help", "--version", "Comandos", "Opções:"})
            QVERIFY2(help.out.contains(QString::fromUtf8(option)), option);
        for (const char* english : {"Usage", "Options", "Arguments", "executable_name"})
            QVERIFY2(!help.out.contains(QLatin1String(english)), english);
        for (const QString& line : help.out.split(u'\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));

        const Exit version = ondrel({QStringLiteral("--version")});
        QCOMPARE(version.code, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^ondrel \\(Ulmix\\) \\d+\\.\\d+")).match(version.out).hasMatch(),
                 qPrintable(version.out));
    }

    // Started by hand where there is no session bus nor display (a bare
    // terminal): what the program is for and why it cannot serve, in
    // Portuguese, and none of the bus's or Qt's own English.
    void withoutASessionBus_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("says");
        QTest::newRow("ondrel") << QStringLiteral(ONDREL_PLUGIN_DIR "/ondrel") << "ondrel --show-catalogue";
        QTest::newRow("ondrel-host") << QStringLiteral(ONDREL_HOST_EXE) << "dbus-run-session";
    }
    void withoutASessionBus()
    {
        QFETCH(QString, program);
        QFETCH(QString, says);
        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_STARTER_BUS_TYPE", "DBUS_STARTER_ADDRESS", "DISPLAY",
                                 "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
            bare.remove(QString::fromLatin1(name));
        const Exit done = ondrel({}, program, bare);
        QCOMPARE(done.code, 1);
        QVERIFY2(done.err.contains(says) && done.err.contains(QStringLiteral("Não há barramento de sessão (D-Bus)")),
                 qPrintable(done.err));
        const QString name = QFileInfo(program).fileName() + QStringLiteral(": ");
        for (const QString& line : done.err.trimmed().split(u'\n'))
            QVERIFY2(line.startsWith(name) || line.startsWith(QStringLiteral("  ")), qPrintable(line));
    }

    // The host (the `ulmix` command) speaks through the same table.
    void hostHasItsOwnCommandLine()
    {
        const QString host = QStringLiteral(ONDREL_HOST_EXE);
        const Exit help = ondrel({QStringLiteral("--help")}, host);
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Uso: ondrel-host")), qPrintable(help.out));
        QVERIFY(help.out.contains(QStringLiteral("--run-plugin ")));
        QVERIFY(help.out.simplified().contains(QStringLiteral("Vale para a janela do hospedeiro (sem comando).")));
        const Exit wrong = ondrel({QStringLiteral("--run-plugin=1")}, host);
        QCOMPARE(wrong.code, 2);
        QVERIFY2(wrong.err.startsWith(QStringLiteral("ondrel-host: a opção --run-plugin não recebe valor.")),
                 qPrintable(wrong.err));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "commandline_test.moc"
