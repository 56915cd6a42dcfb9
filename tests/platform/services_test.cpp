// The desktop services (boxes with their buttons and answers, keys, pointer,
// sound, file dialog, ending the process), the recording double that the
// window tests use instead.

#include "platform/qttexts.h"
#include "platform/services.h"
#include "platform/testservices.h"
#include "widget_testutil.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

using namespace ondrel::platform;
using testutil::answerDialog;

namespace {

// The services in force when no double is installed.
Services& desktop()
{
    setServices(nullptr);
    return services();
}

QStringList buttonTexts(QMessageBox* box)
{
    QStringList texts;
    for (QAbstractButton* b : box->buttons())
        texts << b->text();
    texts.sort();
    return texts;
}

bool writeTinyWav(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const quint32 samples = 800;
    QByteArray data;
    QDataStream s(&data, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("RIFF", 4);
    s << quint32(36 + samples);
    s.writeRawData("WAVEfmt ", 8);
    s << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(8000) << quint16(1) << quint16(8);
    s.writeRawData("data", 4);
    s << samples;
    for (quint32 i = 0; i < samples; ++i)
        s << quint8((i / 8) % 2 ? 200 : 56);
    return f.write(data) == data.size();
}

}  // namespace

class ServicesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setServices(nullptr); }

    // ---- The recording double

    void recordingAnswersAsAUserPressingTheFirstButton_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << int(OkOnly) << int(ResultOk);
        QTest::newRow("OK/Cancel") << int(OkCancel) << int(ResultOk);
        QTest::newRow("Yes/No") << int(YesNo) << int(ResultYes);
        QTest::newRow("Yes/No + Question icon in one value") << int(YesNo) + int(Question) << int(ResultYes);
        QTest::newRow("Yes/No/Cancel") << int(YesNoCancel) << int(ResultYes);
        QTest::newRow("Abort/Retry/Ignore") << int(AbortRetryIgnore) << int(ResultAbort);
        QTest::newRow("Retry/Cancel") << int(RetryCancel) << int(ResultRetry);
    }
    void recordingAnswersAsAUserPressingTheFirstButton()
    {
        QFETCH(int, buttons);
        QFETCH(int, answer);
        RecordingServices rec;
        QCOMPARE(rec.msgBox(QStringLiteral("x"), buttons), answer);
    }

    void recordingRecordsAndAnswersFromItsQueues()
    {
        RecordingServices rec;
        RecordingServices::Installed installed(rec);
        rec.msgBoxAnswers << ResultNo;
        rec.inputBoxAnswers << QStringLiteral("Dom Casmurro");
        rec.fileNameAnswers << QStringLiteral("/tmp/capa.jpg");

        QCOMPARE(services().msgBox(QStringLiteral("Confirma?"), YesNo, Question), int(ResultNo));
        QCOMPARE(services().msgBox(QStringLiteral("Feito"), OkOnly, NoIcon, QStringLiteral("Objetos")), int(ResultOk));
        QCOMPARE(services().inputBox(QStringLiteral("Título:")), QStringLiteral("Dom Casmurro"));
        QCOMPARE(services().inputBox(QStringLiteral("Outro:"), QString(), QStringLiteral("padrão")),
                 QStringLiteral("padrão"));
        QCOMPARE(services().openFileName(nullptr, QStringLiteral("Imagem"), QStringLiteral("Todos|*.*")),
                 QStringLiteral("/tmp/capa.jpg"));
        QCOMPARE(services().openFileName(nullptr, QString(), QString()), QString());  // cancelled
        services().beep();
        services().beep();
        services().playSound(QStringLiteral("/x/alarme.wav"));
        services().sendKeys(QStringLiteral("{f1}"));
        QVERIFY(services().shellOpen(QStringLiteral("http://example.org")));
        services().setPointer(Pointer::Hourglass);
        services().endProcess();  // recorded, not done: we are still here

        QCOMPARE(rec.messageBoxes.size(), 2);
        QCOMPARE(rec.messageBoxes[0].text, QStringLiteral("Confirma?"));
        QCOMPARE(rec.messageBoxes[0].buttons, int(YesNo));
        QCOMPARE(rec.messageBoxes[0].icon, int(Question));
        QCOMPARE(rec.messageBoxes[0].title, QStringLiteral("Ulmix"));  // default title
        QCOMPARE(rec.messageBoxes[1].title, QStringLiteral("Objetos"));
        QCOMPARE(rec.inputBoxes.size(), 2);
        QCOMPARE(rec.inputBoxes[0].title, QStringLiteral("Ulmix"));
        QCOMPARE(rec.fileDialogs.size(), 2);
        QCOMPARE(rec.fileDialogs[0].filter, QStringLiteral("Todos|*.*"));
        QCOMPARE(rec.beeps, 2);
        QCOMPARE(rec.sounds, QStringList{QStringLiteral("/x/alarme.wav")});
        QCOMPARE(rec.keysSent, QStringList{QStringLiteral("{f1}")});
        QCOMPARE(rec.opened, QStringList{QStringLiteral("http://example.org")});
        QCOMPARE(rec.pointer(), Pointer::Hourglass);
        QCOMPARE(rec.endProcessCalls, 1);
    }

    // ---- Pure helpers

    void filterText_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one pair") << QStringLiteral("Bitmap (*.bmp)|*.bmp")
                                  << QStringList{QStringLiteral("Bitmap (*.bmp) (*.bmp)")};
        QTest::newRow("several patterns, several pairs")
            << QStringLiteral("Imagens|*.bmp;*.jpg;*.gif|Todos os arquivos|*.*")
            << QStringList{QStringLiteral("Imagens (*.bmp *.jpg *.gif)"), QStringLiteral("Todos os arquivos (*)")};
        QTest::newRow("spaces around patterns") << QStringLiteral("Ícones | *.ico ; *.cur ")
                                                << QStringList{QStringLiteral("Ícones (*.ico *.cur)")};
        QTest::newRow("pair without pattern") << QStringLiteral("Qualquer|")
                                              << QStringList{QStringLiteral("Qualquer (*)")};
        QTest::newRow("dangling description ignored") << QStringLiteral("A|*.a|B")
                                                      << QStringList{QStringLiteral("A (*.a)")};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void filterText()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(nameFiltersFromFilterText(filter), expected);
    }

    void sendKeysNames_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("key");
        QTest::newRow("{f1}") << QStringLiteral("{f1}") << int(Qt::Key_F1);
        QTest::newRow("{F1} upper case") << QStringLiteral("{F1}") << int(Qt::Key_F1);
        QTest::newRow("{f12}") << QStringLiteral("{f12}") << int(Qt::Key_F12);
        QTest::newRow("{f0} is nothing") << QStringLiteral("{f0}") << int(Qt::Key_unknown);
        QTest::newRow("{f99} is nothing") << QStringLiteral("{f99}") << int(Qt::Key_unknown);
        QTest::newRow("{enter}") << QStringLiteral("{enter}") << int(Qt::Key_Return);
        QTest::newRow("{esc}") << QStringLiteral("{esc}") << int(Qt::Key_Escape);
        QTest::newRow("plain letter") << QStringLiteral("a") << int(Qt::Key_A);
        QTest::newRow("unknown name") << QStringLiteral("{nada}") << int(Qt::Key_unknown);
        QTest::newRow("unclosed brace") << QStringLiteral("{f1") << int(Qt::Key_unknown);
        QTest::newRow("empty") << QString() << int(Qt::Key_unknown);
    }
    void sendKeysNames()
    {
        QFETCH(QString, keys);
        QFETCH(int, key);
        QCOMPARE(keyFromSendKeys(keys), key);
    }

    // ---- The desktop services, driven as a user would

    void messageBoxButtonsAndAnswers_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("texts");  // sorted
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("qtIcon");
        QTest::newRow("OK only") << int(OkOnly) << int(NoIcon) << QStringList{"OK"} << "OK" << int(ResultOk)
                                 << int(QMessageBox::NoIcon);
        QTest::newRow("OK/Cancel, cancel") << int(OkCancel) << int(Exclamation) << QStringList{"Cancelar", "OK"}
                                           << "Cancelar" << int(ResultCancel) << int(QMessageBox::Warning);
        QTest::newRow("Yes/No, no") << int(YesNo) << int(Question) << QStringList{"&Não", "&Sim"} << "&Não"
                                    << int(ResultNo) << int(QMessageBox::Question);
        QTest::newRow("Yes/No + Question in one value, yes")
            << int(YesNo) + int(Question) << int(NoIcon) << QStringList{"&Não", "&Sim"} << "&Sim" << int(ResultYes)
            << int(QMessageBox::Question);
        QTest::newRow("Yes/No/Cancel, cancel") << int(YesNoCancel) << int(Critical)
                                               << QStringList{"&Não", "&Sim", "Cancelar"} << "Cancelar"
                                               << int(ResultCancel) << int(QMessageBox::Critical);
        QTest::newRow("Abort/Retry/Ignore, ignore")
            << int(AbortRetryIgnore) << int(Information) << QStringList{"&Anular", "&Ignorar", "&Repetir"}
            << "&Ignorar" << int(ResultIgnore) << int(QMessageBox::Information);
        QTest::newRow("Retry/Cancel, retry") << int(RetryCancel) << int(NoIcon) << QStringList{"&Repetir", "Cancelar"}
                                             << "&Repetir" << int(ResultRetry) << int(QMessageBox::NoIcon);
    }
    void messageBoxButtonsAndAnswers()
    {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(QStringList, texts);
        QFETCH(QString, click);
        QFETCH(int, answer);
        QFETCH(int, qtIcon);
        QStringList seen;
        QString title;
        QString text;
        int seenIcon = -1;
        int result = -1;
        QVERIFY(answerDialog<QMessageBox>(
            [&] { result = desktop().msgBox(QStringLiteral("Esse código já existe!"), buttons, icon); },
            [&](QMessageBox* box) {
                seen = buttonTexts(box);
                title = box->windowTitle();
                text = box->text();
                seenIcon = box->icon();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == click)
                        b->click();
            }));
        QCOMPARE(seen, texts);
        QCOMPARE(title, QStringLiteral("Ulmix"));
        QCOMPARE(text, QStringLiteral("Esse código já existe!"));
        QCOMPARE(seenIcon, qtIcon);
        QCOMPARE(result, answer);
    }

    void messageBoxTitleAndDefaultButton()
    {
        QString title;
        QString defaultText;
        int result = -1;
        // 256: the second button is the default one.
        QVERIFY(answerDialog<QMessageBox>(
            [&] { result = desktop().msgBox(QStringLiteral("Excluir?"), YesNo + 256, Question, QStringLiteral("Objetos")); },
            [&](QMessageBox* box) {
                title = box->windowTitle();
                defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
                if (box->defaultButton())
                    box->defaultButton()->click();
            }));
        QCOMPARE(title, QStringLiteral("Objetos"));
        QCOMPARE(defaultText, QStringLiteral("&Não"));
        QCOMPARE(result, int(ResultNo));
    }

    void messageBoxEscapeIsCancel()
    {
        const auto escape = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
        int result = -1;
        QVERIFY(answerDialog<QMessageBox>([&] { result = desktop().msgBox(QStringLiteral("?"), YesNoCancel); }, escape));
        QCOMPARE(result, int(ResultCancel));
        QVERIFY(answerDialog<QMessageBox>([&] { result = desktop().msgBox(QStringLiteral("!"), OkOnly); }, escape));
        QCOMPARE(result, int(ResultOk));
    }

    void inputBoxTypedTextOrEmptyWhenCancelled()
    {
        QString title;
        QString typed;
        QString offered;
        QVERIFY(answerDialog<QInputDialog>(
            [&] { typed = desktop().inputBox(QStringLiteral("Autor:"), QString(), QStringLiteral("padrão")); },
            [&](QInputDialog* d) {
                title = d->windowTitle();
                offered = d->textValue();
                d->setTextValue(QStringLiteral("Machado de Assis"));
                d->accept();
            }));
        QCOMPARE(offered, QStringLiteral("padrão"));
        QCOMPARE(typed, QStringLiteral("Machado de Assis"));
        QCOMPARE(title, QStringLiteral("Ulmix"));
        QVERIFY(answerDialog<QInputDialog>([&] { typed = desktop().inputBox(QStringLiteral("Autor:")); },
                                           [](QInputDialog* d) {
                                               d->setTextValue(QStringLiteral("ignorado"));
                                               d->reject();
                                           }));
        QCOMPARE(typed, QString());
    }

    void fileDialogTakesTheFilterTextAndReturnsTheChoice()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("capa.jpg"));
        QFile(picture).open(QIODevice::WriteOnly);
        QStringList filters;
        QString chosen;
        QVERIFY(answerDialog<QFileDialog>(
            [&] {
                chosen = desktop().openFileName(nullptr, QStringLiteral("Imagem"),
                                                QStringLiteral("Imagens|*.jpg;*.bmp|Todos|*.*"), dir.path());
            },
            [&](QFileDialog* d) {
                filters = d->nameFilters();
                // The person types the name into the file name box and opens it;
                // selectFile() leaves that box alone while it has the focus.
                auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(picture);
                QTest::keyClick(name, Qt::Key_Return);
            }));
        QCOMPARE(filters, (QStringList{QStringLiteral("Imagens (*.jpg *.bmp)"), QStringLiteral("Todos (*)")}));
        QCOMPARE(chosen, picture);
        chosen = QStringLiteral("?");
        QVERIFY(answerDialog<QFileDialog>(
            [&] { chosen = desktop().openFileName(nullptr, QString(), QStringLiteral("Todos|*.*"), dir.path()); },
            [](QFileDialog* d) { static_cast<QDialog*>(d)->reject(); }));
        QCOMPARE(chosen, QString());
    }

    void fileDialogShowsEachFilterTextOnce()
    {
        QStringList kinds;
        QVERIFY(answerDialog<QFileDialog>(
            [&] {
                desktop().openFileName(nullptr, QString(),
                                       QStringLiteral("Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|Todos os Formatos|"
                                                      "*.bmp;*.jpg"));
            },
            [&](QFileDialog* d) {
                auto* list = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QVERIFY(list);
                for (int i = 0; i < list->count(); ++i)
                    kinds << list->itemText(i);
                static_cast<QDialog*>(d)->reject();
            }));
        QCOMPARE(kinds, (QStringList{"Bitmaps (*.bmp)", "JPEG (*.jpg)", "Todos os Formatos"}));
    }

    void sendKeysF1ReachesTheActiveWindowsShortcut()
    {
        QMainWindow window;
        auto* edit = new QLineEdit(&window);
        window.setCentralWidget(edit);
        QAction help(QStringLiteral("Ajuda"), &window);
        help.setShortcut(Qt::Key_F1);
        window.addAction(&help);
        QSignalSpy triggered(&help, &QAction::triggered);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        desktop().sendKeys(QStringLiteral("{f1}"));
        QCOMPARE(triggered.size(), 0);  // keystrokes are queued, not sent inside the call
        QTRY_COMPARE(triggered.size(), 1);
    }

    void pointerHourglassCustomAndBack()
    {
        QVERIFY(!QGuiApplication::overrideCursor());
        desktop().setPointer(Pointer::Hourglass);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        desktop().setPointer(Pointer::Hourglass);  // twice: still one level to undo
        desktop().setPointer(Pointer::Custom);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        desktop().setPointer(Pointer::Default);
        QVERIFY(!QGuiApplication::overrideCursor());
        // A default with nothing set leaves someone else's override alone.
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);
        desktop().setPointer(Pointer::Default);
        QVERIFY(QGuiApplication::overrideCursor());
        QGuiApplication::restoreOverrideCursor();
    }

    void soundIsNeverAnError()
    {
        // With or without an audio device, a sound that plays, one that
        // replaces it, a missing file and no file all return quietly.
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("alarme.wav"));
        QVERIFY(writeTinyWav(wav));
        desktop().playSound(wav);
        desktop().playSound(wav);  // a second call replaces the first
        desktop().playSound(dir.filePath(QStringLiteral("falta.wav")));  // missing: the default sound
        desktop().playSound(QString());
        QTest::qWait(50);
    }

    void endProcessEndsAtOnce()
    {
        // In a child: nothing registered with atexit runs, the exit code is 0.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ONDREL_TEST_END_PROCESS"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(out.contains("before"), out.constData());
        QVERIFY2(!out.contains("after"), out.constData());
        QVERIFY2(!out.contains("atexit"), out.constData());
    }

    // Last: the translation stays installed for the rest of the process.
    void qtOwnTextsArePortuguese()
    {
        QVERIFY(installQtPortugueseTexts());
        QLineEdit box;
        const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(texts.contains(QStringLiteral("&Copiar")) && texts.contains(QStringLiteral("C&olar")),
                 qPrintable(texts.join(QLatin1Char('|'))));
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("ONDREL_TEST_END_PROCESS")) {
        QApplication app(argc, argv);
        std::atexit([] { std::fputs("atexit\n", stdout); });
        std::fputs("before\n", stdout);
        std::fflush(stdout);
        services().endProcess();
        std::fputs("after\n", stdout);
        return 3;
    }
    QApplication app(argc, argv);
    ServicesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "services_test.moc"
